#include "app/timer.h"

#include <gtk/gtk.h>

#include <climits>

#include "app/dialogs.h"
#include "app/globals.h"
#include "app/navigator.h"
#include "bank/text.h"

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
    g_snprintf(text, sizeof text, "  Exam finished after %s minutes", minutes_seconds(passed_time).c_str());
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
    g_snprintf(text, sizeof text, "  Time Remaining: %s", minutes_seconds(seconds).c_str());
    timer_status(text);
    add_second_used();
    if (seconds > INT_MIN)
        seconds--;
    if (seconds > 0)
        return TRUE;
    countdown_over();
    if (!exam_ended)
        timeoutDialog(static_cast<question *>(list));
    // A run graded by the time-out was graded inside this tick, when the
    // countdown was already over: the closing text replaces "0:01" here.
    if (exam_ended)
        show_finished();
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
            show_screen(SCREEN_REPORT, list);
            return;
        }
        enableTimer = 0;
        timer_status("Time exceeded but exam continues");
        return;
    }
    run_message_dialog(main_window, GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE, nullptr,
                       "Your allotted time for this exam has expired\n\n"
                       "Close this window to grade your exam.\n");
    show_screen(SCREEN_REPORT, list);
}
