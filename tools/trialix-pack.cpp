// trialix-pack: makes, reads and checks Trialix question files.
#include <cstdio>

#include "tools/pack.h"

int main(int argc, char **argv)
{
    return pack_main(argc, argv, stdout, stderr);
}
