// trialix-pack: makes, reads and checks Trialix question files.
#include <cstdio>
#include <cstring>

#include "tools/history_cli.h"
#include "tools/pack.h"

int main(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "history") == 0)
        return history_main(argc, argv, stdout, stderr);
    return pack_main(argc, argv, stdout, stderr);
}
