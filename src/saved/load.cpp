#include "saved/load.h"

void cb_load_exam(GtkWidget *, void *)
{
}
