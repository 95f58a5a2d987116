// The least a GTK+ 2 program does to show a window like Trialix's: 640 x
// 480, a menu bar, an empty box and a status bar. Ends as soon as the
// window is mapped, so that its whole run is its start-up.
#include <gtk/gtk.h>

static gboolean on_map(GtkWidget *, GdkEvent *, gpointer)
{
    gtk_main_quit();
    return FALSE;
}

int main(int argc, char **argv)
{
    gtk_init(&argc, &argv);
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Minimal");
    gtk_window_resize(GTK_WINDOW(window), 640, 480);

    GtkWidget *menu = gtk_menu_new();
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_menu_item_new_with_label("Quit"));
    GtkWidget *file = gtk_menu_item_new_with_label("File");
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(file), menu);
    GtkWidget *menubar = gtk_menu_bar_new();
    gtk_menu_shell_append(GTK_MENU_SHELL(menubar), file);

    GtkWidget *outer = gtk_vbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(outer), menubar, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(outer), gtk_vbox_new(FALSE, 0), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(outer), gtk_statusbar_new(), FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), outer);
    g_signal_connect(window, "map-event", G_CALLBACK(on_map), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
