#include "app/functions.h"

#include <gtk/gtk.h>

#include "app/dialogs.h"
#include "app/globals.h"
#include "app/navigator.h"
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
    shell_reached(MENUS_BUSY);
    if (!exammenu)
        return;
    gtk_container_foreach(GTK_CONTAINER(exammenu), disable_menu_item, nullptr);
    enable_menu_item(exam_save, nullptr);
    enable_menu_item(exam_quit, nullptr);
}

void enable_exam_menus(void)
{
    shell_reached(MENUS_IDLE);
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
    std::optional<std::string> dir = join_path(examdir, examname, nullptr);
    num_questions = dir ? count_files(dir->c_str(), prefix) : 0;
    passed_time = 0;
    // The catalogue is usable only between runs and on the resume form,
    // which leaves Open Exam off; a start form has the idle menus.
    enable_exam_menus();
    show_screen(SCREEN_START_FORM);
}

// Puts `flag` to `value` through its check button, whose own handler flips
// the flag, so that the tick and the flag agree afterwards.
static void set_through(GtkWidget *check, int *flag, int value)
{
    if (*flag == value)
        return;
    if (check && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check)) != (value != 0))
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), value);
    // No handler ran when there was no button or it already showed the value.
    *flag = value;
}

void set_mode2(GtkWidget *, void *)
{
    int to_training = training ? 0 : 1;
    // Each mode brings its own options, whatever the user had ticked.
    set_through(cb_timer, &enableTimer, to_training ? 0 : 1);
    set_through(cb_answer, &enableAnswer, to_training ? 1 : 0);
    if (cb_answer)
        gtk_widget_set_sensitive(cb_answer, to_training);
    training = to_training;
}

void set_answer_mode(GtkWidget *, void *)
{
    enableAnswer = enableAnswer ? 0 : 1;
}

void set_timer_mode(GtkWidget *, void *)
{
    enableTimer = enableTimer ? 0 : 1;
}

void set_examinee_name(GtkWidget *, void *entry)
{
    utf8_strlcpy(username, gtk_entry_get_text(GTK_ENTRY(entry)), sizeof username);
}
