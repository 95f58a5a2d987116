#include "app/config.h"

void trialix_config(void)
{
}
