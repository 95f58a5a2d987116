#include "saved/recovery.h"

#include <glib/gstdio.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <string>

#include "app/globals.h"
#include "bank/glib_ptr.h"
#include "bank/question.h"
#include "bank/recovery.h"
#include "bank/saved_file.h"
#include "run/owner.h"
#include "saved/store.h"

// A burst of changes (typing a word) writes once, a second after it began.
enum { RECOVERY_DELAY_MS = 1000 };

static const char RECOVERY_FAILED_TEXT[] =
    "This run is no longer kept safe: its recovery copy can't be written (";
static const char RECOVERY_FAILED_MORE[] =
    "Should Trialix end now, what you answered since is lost. Trialix keeps trying and tells "
    "you when the copy is written again; meanwhile Save Exam keeps the run in a file of your "
    "choice.\n";
static const char RECOVERY_AGAIN_TEXT[] =
    "This run is kept safe again: its recovery copy is written.\n";

namespace {

recovery_slot own;            // the running exam's copy and lock
bool running = false;
bool failing = false;         // the last write failed: the examinee was told
guint delay_source = 0;
guint time_source = 0;
guint retry_source = 0;
int writes = 0;
GtkWidget *notice = nullptr;  // the open notice about the copy, if any

// What the copy holds of the countdown, to write again only when it moved.
struct time_state {
    int seconds, passed_time, enableTimer;
    bool operator!=(const time_state &o) const
    {
        return seconds != o.seconds || passed_time != o.passed_time ||
               enableTimer != o.enableTimer;
    }
};
time_state written = {0, 0, 0};

time_state time_now(void)
{
    return {seconds, passed_time, enableTimer};
}

// Tells the examinee about the copy without stopping the run: a notice
// beside the window, replacing one still open from before.
void show_notice(GtkMessageType type, const std::string &text)
{
    if (notice)
        gtk_widget_destroy(notice);
    notice = gtk_message_dialog_new(main_window ? GTK_WINDOW(main_window) : nullptr,
                                    GTK_DIALOG_DESTROY_WITH_PARENT, type, GTK_BUTTONS_CLOSE, "%s",
                                    text.c_str());
    gtk_window_set_title(GTK_WINDOW(notice), "Trialix");
    g_signal_connect(notice, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    g_signal_connect(notice, "destroy", G_CALLBACK(gtk_widget_destroyed), &notice);
    gtk_widget_show(notice);
}

void close_notice(void)
{
    if (notice)
        gtk_widget_destroy(notice);
}

gboolean retry_tick(gpointer)
{
    recovery_time_check();
    return TRUE;
}

// The copy can't be written: told once, on standard error and in a
// notice, and tried again every RECOVERY_RETRY_MS until it works.
void write_failed(const std::string &error)
{
    if (!retry_source)
        retry_source = g_timeout_add(RECOVERY_RETRY_MS, retry_tick, nullptr);
    if (failing)
        return;
    failing = true;
    g_printerr("Trialix: the recovery copy can't be written: %s\n", error.c_str());
    show_notice(GTK_MESSAGE_WARNING, RECOVERY_FAILED_TEXT + error +
                                         ").\n\n" + RECOVERY_FAILED_MORE);
}

void write_worked(void)
{
    if (retry_source)
        g_source_remove(retry_source);
    retry_source = 0;
    if (!failing)
        return;
    failing = false;
    g_printerr("Trialix: the recovery copy is written again\n");
    show_notice(GTK_MESSAGE_INFO, RECOVERY_AGAIN_TEXT);
}

// A link at the copy's place would have the write go into whatever it
// points at; the name is this run's, so the link goes instead.
void no_link_at(const std::string &path)
{
#ifdef S_ISLNK
    GStatBuf st;
    if (g_lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        g_unlink(path.c_str());
#else
    (void)path;
#endif
}

void write_now(void)
{
    if (!running || !QP)
        return;
    gerror_ptr error;
    if (own.fd < 0 && !recovery_claim(recovery_dir(), &own, out_error(error))) {
        write_failed(error->message);
        return;
    }
    no_link_at(own.copy);
    if (!recovery_write(own.copy, QP, header_of_run(), out_error(error))) {
        write_failed(error->message);
        return;
    }
    writes++;
    written = time_now();
    write_worked();
}

gboolean delay_over(gpointer)
{
    delay_source = 0;
    write_now();
    return FALSE;
}

gboolean time_tick(gpointer)
{
    recovery_time_check();
    return TRUE;
}

void stop_sources(void)
{
    for (guint *source : {&delay_source, &time_source, &retry_source}) {
        if (*source)
            g_source_remove(*source);
        *source = 0;
    }
}

void run_started(run_record *run)
{
    stop_sources();
    running = true;
    failing = false;
    if (run->resumed.fd >= 0) {
        // The resumed copy goes on as this run's: nothing is lost if the
        // program ends before the first write.
        recovery_discard(&own);
        own = run->resumed;
        run->resumed = recovery_slot();
    }
    write_now();
    time_source = g_timeout_add(RECOVERY_TIME_MS, time_tick, nullptr);
}

} // namespace

void recovery_on_run(run_event event, run_record *run, void *)
{
    switch (event) {
    case RUN_BEGUN:
        run_started(run);
        break;
    case RUN_CHANGED:
        recovery_changed();
        break;
    case RUN_GRADED:
        recovery_run_over();
        break;
    case RUN_ENDED:
        recovery_run_over();
        // A resumed copy whose run never began waits for the next start.
        recovery_release(&run->resumed);
        run->resumed = recovery_slot();
        break;
    }
}

void recovery_changed(void)
{
    if (running && !delay_source)
        delay_source = g_timeout_add(RECOVERY_DELAY_MS, delay_over, nullptr);
}

void recovery_run_over(void)
{
    stop_sources();
    running = false;
    // A notice about the copy of a run that is over says nothing any more.
    if (failing)
        close_notice();
    failing = false;
    recovery_discard(&own);
}

void recovery_resume_from(const recovery_slot &slot)
{
    run_record *run = run_current();
    recovery_release(&run->resumed);
    run->resumed = slot;
}

void recovery_flush(void)
{
    if (!delay_source)
        return;
    g_source_remove(delay_source);
    delay_source = 0;
    write_now();
}

void recovery_time_check(void)
{
    if (running && (failing || time_now() != written))
        write_now();
}

unsigned recovery_time_source(void)
{
    return time_source;
}

bool recovery_failing(void)
{
    return failing;
}

bool recovery_retry_waiting(void)
{
    return retry_source != 0;
}

std::string recovery_copy_path(void)
{
    return own.fd >= 0 ? own.copy : "";
}

int recovery_write_count(void)
{
    return writes;
}

bool recovery_write_waiting(void)
{
    return delay_source != 0;
}

