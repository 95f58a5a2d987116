#include "app/functions.h"

#include <gtk/gtk.h>

#include <climits>

#include "app/dialogs.h"
#include "app/globals.h"
#include "bank/tools.h"
#include "grading/grade.h"
#include "run/form.h"
#include "saved/load.h"
#include "saved/store.h"

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
    close_load_dialog();
    if (!exammenu)
        return;
    gtk_container_foreach(GTK_CONTAINER(exammenu), disable_menu_item, nullptr);
    enable_menu_item(exam_save, nullptr);
    enable_menu_item(exam_quit, nullptr);
}

void enable_exam_menus(void)
{
    close_save_dialog();
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
    std::optional<std::string> dir = join_path(examdir, examname);
    num_questions = dir ? count_files(dir->c_str(), prefix) : 0;
    passed_time = 0;
    // The catalogue is usable only between runs and on the resume form,
    // which leaves Open Exam off; a start form has the idle menus.
    enable_exam_menus();
    createExamStart();
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

// ---- Countdown ----

// Every text of the countdown replaces the one before it.
static void timer_status(const char *text)
{
    if (!statusbar)
        return;
    gtk_statusbar_pop(GTK_STATUSBAR(statusbar), STATUS_CONTEXT);
    gtk_statusbar_push(GTK_STATUSBAR(statusbar), STATUS_CONTEXT, text);
}

static void show_finished(void)
{
    char text[80];
    g_snprintf(text, sizeof text, "  Exam finished after %d:%02d minutes", passed_time / 60,
               passed_time % 60);
    timer_status(text);
}

// The times may come from a saved file with any int in them: at the end
// of its range a time stays there instead of overflowing.
static void add_second_used(void)
{
    if (passed_time < INT_MAX)
        passed_time++;
}

static void remove_countdown(void)
{
    if (timer_source)
        g_source_remove(timer_source);
    timer_source = 0;
}

void trialix_start_timer(GtkWidget *, question *list)
{
    exam_ended = 0;
    // Two registered ticks would run the time down twice as fast.
    remove_countdown();
    timer_source = g_timeout_add(1000, count_seconds, list);
}

void trialix_stop_timer(void)
{
    if (!timer_source)
        return;
    remove_countdown();
    if (exam_ended) {
        add_second_used();
        seconds = 0;
        show_finished();
    }
}

// The countdown is over. A tick run by its own source ends it by returning
// 0, so only the id is forgotten, unless it already names a countdown
// started since (the time-out dialog runs a nested loop). A tick called
// directly removes the registered one, which would tick on.
static void countdown_over(void)
{
    GSource *self = g_main_current_source();
    if (!self)
        remove_countdown();
    else if (g_source_get_id(self) == timer_source)
        timer_source = 0;
}

gboolean count_seconds(gpointer list)
{
    char text[64];
    g_snprintf(text, sizeof text, "  Time Remaining: %d:%02d", seconds / 60, seconds % 60);
    timer_status(text);
    add_second_used();
    if (seconds > INT_MIN)
        seconds--;
    if (seconds > 0)
        return TRUE;
    countdown_over();
    if (exam_ended)
        show_finished();
    else
        timeoutDialog(static_cast<question *>(list));
    return FALSE;
}

void timeoutDialog(question *list)
{
    if (training) {
        int response = run_message_dialog(
            main_window, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, nullptr,
            "Your allotted time for this exam has expired\n"
            "Would you like to continue taking this exam?");
        if (response == GTK_RESPONSE_NO) {
            gradeExam(list);
            return;
        }
        enableTimer = 0;
        timer_status("Time exceeded but exam continues");
        return;
    }
    run_message_dialog(main_window, GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE, nullptr,
                       "Your allotted time for this exam has expired\n\n"
                       "Close this window to grade your exam.\n");
    gradeExam(list);
}
