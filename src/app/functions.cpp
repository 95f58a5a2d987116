#include "app/functions.h"

void disable_exam_menus(void)
{
}

void enable_exam_menus(void)
{
}
