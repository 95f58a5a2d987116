#include "saved/store.h"

void cb_save_exam(GtkWidget *, void *)
{
}
