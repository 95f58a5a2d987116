#include "app/functions.h"

#include <gtk/gtk.h>

#include "app/dialogs.h"
#include "app/globals.h"
#include "bank/tools.h"

const char ABOUT_TEXT[] = "Trialix " TRIALIX_VERSION "\n\n"
                          "Written by the Trialix developers.";

void disable_menu_item(GtkWidget *widget, void *)
{
    gtk_widget_set_sensitive(widget, FALSE);
}

void enable_menu_item(GtkWidget *widget, void *)
{
    gtk_widget_set_sensitive(widget, TRUE);
}

void disable_exam_menus(void)
{
    if (!exammenu)
        return;
    gtk_container_foreach(GTK_CONTAINER(exammenu), disable_menu_item, nullptr);
    enable_menu_item(exam_save, nullptr);
    enable_menu_item(exam_quit, nullptr);
}

void enable_exam_menus(void)
{
    if (!exammenu)
        return;
    gtk_container_foreach(GTK_CONTAINER(exammenu), enable_menu_item, nullptr);
    disable_menu_item(exam_save, nullptr);
    enable_menu_item(exam_quit, nullptr);
}

void trialix_about(GtkWidget *, void *)
{
    run_message_dialog(nullptr, GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "About Trialix", ABOUT_TEXT);
}

void start_exam(GtkWidget *, void *name)
{
    utf8_strlcpy(examname, static_cast<const char *>(name), sizeof examname);
}
