#include "app/dialogs.h"

#include <string>

#include "app/globals.h"
#include "app/navigator.h"
#include "app/trialix.h"

int run_message_dialog(GtkWidget *parent, GtkMessageType type, GtkButtonsType buttons,
                       const char *title, const char *text)
{
    // The text goes in as an argument, never as the format, so a percent
    // sign in a file name is shown as it is.
    GtkWidget *dialog = gtk_message_dialog_new(parent ? GTK_WINDOW(parent) : nullptr,
                                               GTK_DIALOG_MODAL, type, buttons, "%s", text);
    if (title)
        gtk_window_set_title(GTK_WINDOW(dialog), title);
    int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response;
}

void installation_warning(const char *text)
{
    // It may come before the main window, which sets the icon once shown.
    trialix_use_icon();
    run_message_dialog(nullptr, GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "Warning", text);
}

// One of the run's questions or notices, over the main window.
static int run_dialog(GtkMessageType type, GtkButtonsType buttons, const std::string &text)
{
    return run_message_dialog(main_window, type, buttons, nullptr, text.c_str());
}

// A file name as the examinee should read it, whatever its encoding.
static std::string display_name(const char *filename)
{
    char *shown = g_filename_display_name(filename);
    std::string s(shown);
    g_free(shown);
    return s;
}

int unanswered_dialog(int count)
{
    std::string text = "You have " + std::to_string(count) +
                       " unanswered items remaining. Items left unanswered will be marked as"
                       " incorrect\n\nAre you sure you want to grade this exam?";
    return run_dialog(GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, text);
}

int realend_dialog(void)
{
    return run_dialog(GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO,
                      "Are you certain you want to grade this exam now?");
}

static const char NO_ITEM_TEXT[] =
    "There is no item which fullfills your review options.\n\nClose this window to return.\n";

void no_item_dialog(question *list)
{
    // The countdown ticks in the notice's nested loop; when its time-out
    // grades the run meanwhile, the score report it put up must stay, or
    // the examinee could change answers after the time is up.
    GtkWidget *shown = frame;
    if (shown)
        g_object_add_weak_pointer(G_OBJECT(shown), reinterpret_cast<gpointer *>(&shown));
    run_dialog(GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE, NO_ITEM_TEXT);
    if (shown)
        g_object_remove_weak_pointer(G_OBJECT(shown), reinterpret_cast<gpointer *>(&shown));
    if (shown == frame)
        show_screen(SCREEN_REVIEW, list);
}

void no_item_dialog2(question *list)
{
    run_dialog(GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE, NO_ITEM_TEXT);
    show_screen(SCREEN_REPORT, list);
}

void file_write_error_dialog(const char *filename)
{
    run_dialog(GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE,
               "Error!\n\nI'm unable to write the file " + display_name(filename) + "\n\n");
}

void file_read_error_dialog(const char *filename)
{
    run_dialog(GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE,
               "Error!\n\nI'm unable to read the file " + display_name(filename) + "\n\n");
}

int overwrite_file_dialog(const char *filename)
{
    int response = run_dialog(GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO,
                              "The file " + display_name(filename) +
                                  " already exists\n\nDo you really want to overwrite it?\n\n");
    // Closing the question must not destroy the saved exam that is there.
    return response == GTK_RESPONSE_YES ? 1 : 0;
}
