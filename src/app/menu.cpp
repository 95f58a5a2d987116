#include "app/menu.h"

#include <gtk/gtk.h>

GtkWidget *createMenuBar(void)
{
    return gtk_menu_bar_new();
}
