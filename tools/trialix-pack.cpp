// trialix-pack: makes, reads and checks Trialix question files.
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/history_cli.h"
#include "tools/pack.h"
#include "tools/report_cli.h"

int main(int argc, char **argv)
{
#ifdef _WIN32
    // What unpack and show print is the same bytes as on other systems:
    // a text unpacked there packs back to the same question file.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (argc > 1 && strcmp(argv[1], "history") == 0)
        return history_main(argc, argv, stdout, stderr);
    if (argc > 1 && strcmp(argv[1], "report") == 0)
        return report_main(argc, argv, stdout, stderr);
    return pack_main(argc, argv, stdout, stderr);
}
