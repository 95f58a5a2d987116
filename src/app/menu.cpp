#include "app/menu.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include "app/dialogs.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/navigator.h"
#include "app/trialix.h"
#include "bank/glib_ptr.h"

const char NO_EXAM_ROOT_TEXT[] =
    "There are no exam directories in %s\n\nThe simulation will not work!\n\n"
    "Check your installation\n\n";
const char NO_EXAMS_TEXT[] =
    "There are no exams in %s\n\nThe simulation will not work!\n\nCheck your installation\n\n";

// The menu icons, 16 x 16, transparent background.

// A new, blank page with a folded corner.
static const char *const filenew_xpm[] = {
    "16 16 4 1",
    "  c None",
    ". c #404040",
    "+ c #FFFFFF",
    "@ c #C0C0C0",
    "                ",
    "   ........     ",
    "   .++++++..    ",
    "   .++++++.@.   ",
    "   .++++++.@@.  ",
    "   .++++++....  ",
    "   .+++++++++.  ",
    "   .+++++++++.  ",
    "   .+++++++++.  ",
    "   .+++++++++.  ",
    "   .+++++++++.  ",
    "   .+++++++++.  ",
    "   .+++++++++.  ",
    "   .+++++++++.  ",
    "   ...........  ",
    "                ",
};

// An opened folder: the back panel and the front flap tilted open.
static const char *const fileopen_xpm[] = {
    "16 16 4 1",
    "  c None",
    "o c #6B4E0E",
    "d c #D4A12A",
    "y c #FCE07C",
    "                ",
    "                ",
    "  oooo          ",
    " oddddo         ",
    " oddddooooooo   ",
    " oddddddddddo   ",
    " oddooooooooooo ",
    " odoyyyyyyyyyyo ",
    " odoyyyyyyyyyo  ",
    " ooyyyyyyyyyyo  ",
    " ooyyyyyyyyyo   ",
    " oyyyyyyyyyyo   ",
    " oooooooooooo   ",
    "                ",
    "                ",
    "                ",
};

// A floppy disk: label at the top, shutter at the bottom.
static const char *const filesave_xpm[] = {
    "16 16 6 1",
    "  c None",
    "o c #101040",
    "b c #3050A0",
    "w c #FFFFFF",
    "g c #A0A0A0",
    "s c #C8C8C8",
    "                ",
    " oooooooooooooo ",
    " obwwwwwwwwwwbo ",
    " obwwwwwwwwwwbo ",
    " obwggggggggwbo ",
    " obwwwwwwwwwwbo ",
    " obwggggggggwbo ",
    " obwwwwwwwwwwbo ",
    " obbbbbbbbbbbbo ",
    " obbbbbbbbbbbbo ",
    " obbssssssssbbo ",
    " obbssbbssssbbo ",
    " obbssbbssssbbo ",
    " obbssssssssbbo ",
    " oooooooooooooo ",
    "                ",
};

// A door with an arrow leading out of it.
static const char *const exit_xpm[] = {
    "16 16 5 1",
    "  c None",
    "o c #5A3A1A",
    "d c #B07840",
    "k c #FFD700",
    "a c #20A020",
    "                ",
    " ooooooo        ",
    " odddddo        ",
    " odddddo   a    ",
    " odddddo   aa   ",
    " odddddo   aaa  ",
    " odddddoaaaaaaa ",
    " odddkdoaaaaaaaa",
    " odddkdoaaaaaaaa",
    " odddddoaaaaaaa ",
    " odddddo   aaa  ",
    " odddddo   aa   ",
    " odddddo   a    ",
    " odddddo        ",
    " ooooooo        ",
    "                ",
};

static GdkPixbuf *pixbuf_from(const char *const *xpm)
{
    return gdk_pixbuf_new_from_xpm_data(const_cast<const char **>(xpm));
}

// An image menu item whose icon shows even where the desktop hides menu
// icons: the icons are how the items are told apart at a glance.
static GtkWidget *image_item(GtkWidget *item, GdkPixbuf *icon)
{
    if (icon) {
        gtk_image_menu_item_set_image(GTK_IMAGE_MENU_ITEM(item), gtk_image_new_from_pixbuf(icon));
        gtk_image_menu_item_set_always_show_image(GTK_IMAGE_MENU_ITEM(item), TRUE);
    }
    return item;
}

// Ctrl+`key` activates the item and is shown beside it; the toolkit lets
// it act only while the item is sensitive.
static void add_key(GtkWidget *item, GtkAccelGroup *keys, guint key)
{
    gtk_widget_add_accelerator(item, "activate", keys, key, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
}

static void append_separator(GtkWidget *menu)
{
    GtkWidget *separator = gtk_separator_menu_item_new();
    gtk_widget_show(separator);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), separator);
}

// The item's copy of its exam's name goes with the item.
static void free_name(gpointer name, GClosure *)
{
    g_free(name);
}

static void catalogue_warning(const char *format)
{
    gchar_ptr root(g_filename_display_name(examdir));
    gchar_ptr text(g_strdup_printf(format, root.get()));
    installation_warning(text.get());
}

// Lists every directory of the exam root whose name doesn't begin with "."
// as one "Start Practice Exam" item, in the order the listing returns them.
static void build_catalogue(GtkWidget *menu, GdkPixbuf *icon)
{
    gdir_ptr root(g_dir_open(examdir, 0, nullptr));
    if (!root) {
        catalogue_warning(NO_EXAM_ROOT_TEXT);
        return;
    }
    int count = 0;
    while (const char *name = g_dir_read_name(root.get())) {
        gchar_ptr path(g_build_filename(examdir, name, nullptr));
        if (!g_file_test(path.get(), G_FILE_TEST_IS_DIR) || name[0] == '.')
            continue;
        count++;
        // The label shows the name as text whatever its encoding; the handler
        // gets the name as it is on disk.
        gchar_ptr shown(g_filename_display_name(name));
        gchar_ptr label(g_strdup_printf("  Start Practice Exam %s ", shown.get()));
        GtkWidget *item = image_item(gtk_image_menu_item_new_with_label(label.get()), icon);
        gtk_widget_show(item);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
        g_signal_connect_data(item, "activate", G_CALLBACK(start_exam), g_strdup(name),
                              free_name, GConnectFlags(0));
    }
    if (count == 0)
        catalogue_warning(NO_EXAMS_TEXT);
}

// "notify::sensitive" of Open Exam: the results history is there whenever
// a saved exam could be opened.
static void follow_sensitivity(GtkWidget *open_item, GParamSpec *, void *history_item)
{
    gtk_widget_set_sensitive(GTK_WIDGET(history_item), GTK_WIDGET_SENSITIVE(open_item));
}

GtkWidget *createMenuBar(void)
{
    GdkPixbuf *filenew = pixbuf_from(filenew_xpm);
    GdkPixbuf *fileopen = pixbuf_from(fileopen_xpm);
    GdkPixbuf *exit_icon = pixbuf_from(exit_xpm);
    GdkPixbuf *filesave = pixbuf_from(filesave_xpm);

    exammenu = gtk_menu_new();
    GtkWidget *helpmenu = gtk_menu_new();
    // The menus' keys work wherever the main window has the focus.
    GtkAccelGroup *keys = gtk_accel_group_new();
    if (main_window)
        gtk_window_add_accel_group(GTK_WINDOW(main_window), keys);

    exam_open = image_item(gtk_image_menu_item_new_with_mnemonic("  _Open Exam       "), fileopen);
    gtk_widget_show(exam_open);
    g_signal_connect(exam_open, "activate", G_CALLBACK(menu_command),
                     GINT_TO_POINTER(COMMAND_OPEN_EXAM));
    add_key(exam_open, keys, GDK_o);
    gtk_menu_shell_append(GTK_MENU_SHELL(exammenu), exam_open);

    exam_save = image_item(gtk_image_menu_item_new_with_mnemonic("  _Save Exam"), filesave);
    gtk_widget_show(exam_save);
    g_signal_connect(exam_save, "activate", G_CALLBACK(menu_command),
                     GINT_TO_POINTER(COMMAND_SAVE_EXAM));
    add_key(exam_save, keys, GDK_s);
    gtk_menu_shell_append(GTK_MENU_SHELL(exammenu), exam_save);
    gtk_widget_set_sensitive(exam_save, FALSE);

    // The results history is there whenever a saved exam could be opened.
    GtkWidget *history = gtk_image_menu_item_new_with_mnemonic("  Results _History");
    gtk_image_menu_item_set_image(GTK_IMAGE_MENU_ITEM(history),
                                  gtk_image_new_from_stock(GTK_STOCK_INDEX, GTK_ICON_SIZE_MENU));
    gtk_image_menu_item_set_always_show_image(GTK_IMAGE_MENU_ITEM(history), TRUE);
    gtk_widget_show(history);
    g_signal_connect(history, "activate", G_CALLBACK(menu_command),
                     GINT_TO_POINTER(COMMAND_RESULTS_HISTORY));
    gtk_menu_shell_append(GTK_MENU_SHELL(exammenu), history);
    g_signal_connect(exam_open, "notify::sensitive", G_CALLBACK(follow_sensitivity), history);

    append_separator(exammenu);
    build_catalogue(exammenu, filenew);
    append_separator(exammenu);

    exam_quit = image_item(gtk_image_menu_item_new_with_mnemonic("  _Quit"), exit_icon);
    g_signal_connect(exam_quit, "activate", G_CALLBACK(trialix_quit), nullptr);
    add_key(exam_quit, keys, GDK_q);
    gtk_widget_show(exam_quit);
    gtk_menu_shell_append(GTK_MENU_SHELL(exammenu), exam_quit);

    GtkWidget *about = gtk_image_menu_item_new_with_label("About");
    gtk_menu_shell_append(GTK_MENU_SHELL(helpmenu), about);
    gtk_widget_show(about);
    g_signal_connect(about, "activate", G_CALLBACK(trialix_about), nullptr);

    GtkWidget *menubar = gtk_menu_bar_new();
    GtkWidget *exam_item = gtk_menu_item_new_with_label("Exam");
    GtkWidget *help_item = gtk_menu_item_new_with_label("Help");
    gtk_widget_show(exam_item);
    gtk_widget_show(help_item);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(exam_item), exammenu);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(help_item), helpmenu);
    gtk_menu_shell_append(GTK_MENU_SHELL(menubar), exam_item);
    gtk_menu_item_set_right_justified(GTK_MENU_ITEM(help_item), TRUE);
    gtk_menu_shell_append(GTK_MENU_SHELL(menubar), help_item);

    // The image widgets hold their own references.
    GdkPixbuf *icons[] = {filenew, fileopen, exit_icon, filesave};
    for (GdkPixbuf *icon : icons)
        if (icon)
            g_object_unref(icon);
    // The items' keys must outlive the items, which go before the bar itself.
    g_object_set_data_full(G_OBJECT(menubar), "trialix-keys", keys, g_object_unref);
    return menubar;
}
