#include "app/trialix.h"
#include "assemble.h"

int main(int argc, char **argv)
{
    trialix_assemble();
    return trialix_main(argc, argv);
}
