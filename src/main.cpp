#include "app/trialix.h"

int main(int argc, char **argv)
{
    return trialix_main(argc, argv);
}
