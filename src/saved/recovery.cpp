#include "saved/recovery.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/globals.h"
#include "bank/glib_ptr.h"
#include "bank/markup.h"
#include "bank/question.h"
#include "bank/recovery.h"
#include "bank/saved_file.h"
#include "bank/text.h"
#include "bank/tools.h"
#include "run/form.h"
#include "run/owner.h"
#include "saved/load.h"
#include "saved/store.h"

// A burst of changes (typing a word) writes once, a second after it began.
enum { RECOVERY_DELAY_MS = 1000 };

namespace {

recovery_slot own;            // the running exam's copy and lock
bool running = false;
bool failure_told = false;    // one line a run on standard error is enough
guint delay_source = 0;
guint time_source = 0;
int writes = 0;

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

// A copy left behind that the examinee chose to resume: held until its
// run starts, when it becomes that run's copy.
recovery_slot resumed;
question *resumed_list = nullptr;

time_state time_now(void)
{
    return {seconds, passed_time, enableTimer};
}

void write_now(void)
{
    if (!running || !QP || own.fd < 0)
        return;
    std::string error;
    if (!save_list_file(own.copy.c_str(), QP, header_of_run(), &error)) {
        if (!failure_told)
            g_printerr("Trialix: the recovery copy can't be written: %s\n", error.c_str());
        failure_told = true;
        return;
    }
    writes++;
    written = time_now();
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
    if (delay_source)
        g_source_remove(delay_source);
    if (time_source)
        g_source_remove(time_source);
    delay_source = time_source = 0;
}

} // namespace

void recovery_run_started(void)
{
    stop_sources();
    running = true;
    failure_told = false;
    if (resumed.fd >= 0 && resumed_list == QP) {
        // The resumed copy goes on as this run's: nothing is lost if the
        // program ends before the first write.
        recovery_discard(&own);
        own = resumed;
        resumed = recovery_slot();
        resumed_list = nullptr;
    }
    std::string error;
    if (own.fd < 0 && !recovery_claim(recovery_dir(), &own, &error)) {
        g_printerr("Trialix: no recovery copy for this run: %s\n", error.c_str());
        failure_told = true;
    }
    write_now();
    time_source = g_timeout_add(RECOVERY_TIME_MS, time_tick, nullptr);
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
    recovery_discard(&own);
}

void recovery_list_dropped(question *list)
{
    if (!list || list != resumed_list)
        return;
    recovery_release(&resumed);
    resumed = recovery_slot();
    resumed_list = nullptr;
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
    if (running && time_now() != written)
        write_now();
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

// ---- Copies left behind ----

static int tell(GtkMessageType type, GtkButtonsType buttons, const std::string &text)
{
    return run_message_dialog(main_window, type, buttons, nullptr, text.c_str());
}

static std::string shown_path(const std::string &path)
{
    gchar_ptr absolute(g_canonicalize_filename(path.c_str(), nullptr));
    gchar_ptr shown(g_filename_display_name(absolute.get()));
    return shown.get();
}

// Keeps a copy as a saved exam under the name Save Exam would propose (its
// time the copy's), in savedir, or in the state folder when savedir takes
// nothing. Returns where, or "" with *error.
static std::string keep_aside(recovery_slot *slot, const run_header &h, std::string *error)
{
    char name[PATH_SIZE];
    time_t when = (time_t)(slot->mtime / G_USEC_PER_SEC);
    if (!default_save_name(name, sizeof name, "", h.examname[0] ? h.examname : "recovered",
                           h.username, when))
        g_strlcpy(name, "recovered", sizeof name);
    std::string kept = recovery_set_aside(slot->copy.c_str(), savedir, name, error);
    if (kept.empty()) {
        gchar_ptr state(g_build_filename(g_get_user_state_dir(), "trialix", "kept", nullptr));
        std::string first = *error;
        if (g_mkdir_with_parents(state.get(), 0700) == 0)
            kept = recovery_set_aside(slot->copy.c_str(), state.get(), name, error);
        if (kept.empty())
            *error = first + "; " + *error;
    }
    if (!kept.empty())
        recovery_discard(slot);
    else
        recovery_release(slot);
    return kept;
}

// The header of a copy the loader refused, as far as it can be read.
static run_header header_if_any(const std::string &path)
{
    run_header h;
    gchar *raw = nullptr;
    gsize size = 0;
    if (g_file_get_contents(path.c_str(), &raw, &size, nullptr) && size >= RECORD_SIZE)
        h = read_header(reinterpret_cast<unsigned char *>(raw));
    g_free(raw);
    return h;
}

static void tell_kept(const std::string &kept, const std::string &error, bool damaged,
                      const std::string &why)
{
    if (kept.empty()) {
        tell(GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE,
             "An exam left running could not be kept as a saved exam (" + error +
                 ").\n\nIt is offered again at the next start.\n");
    } else if (damaged) {
        tell(GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE,
             "An exam left running could not be read (" + why + ").\n\nIts file was kept as:\n" +
                 shown_path(kept) + "\n");
    } else {
        tell(GTK_MESSAGE_INFO, GTK_BUTTONS_CLOSE,
             "The exam was kept as a saved exam:\n" + shown_path(kept) +
                 "\n\nOpen it with Open Exam in the Exam menu to go on with it.\n");
    }
}

static bool ask_resume(const run_header &h, gint64 mtime)
{
    std::string title;
    if (!markup_plain_text(h.examtitle, &title))
        title = h.examtitle;
    std::string text = "An exam was still running when Trialix last ended.\n\nExam: " + title +
                       "\nExaminee: " + (h.username[0] ? h.username : "(no name)") +
                       "\nLast written: " + format_time(mtime / G_USEC_PER_SEC, "%Y-%m-%d %H:%M:%S");
    if (h.enableTimer && h.seconds_valid)
        text += "\nTime left: " + std::to_string(h.seconds / 60) + ":" +
                (h.seconds % 60 < 10 ? "0" : "") + std::to_string(h.seconds % 60);
    text += "\n\nDo you want to resume it?";
    return tell(GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, text) == GTK_RESPONSE_YES;
}

void recovery_offer_left(void)
{
    std::vector<recovery_slot> left = recovery_find_left(recovery_dir());
    for (size_t i = 0; i < left.size(); i++) {
        recovery_slot &slot = left[i];
        bool ok = false;
        std::string why, error;
        run_header h;
        question *list = load_list_file(slot.copy.c_str(), &h, &ok, &why);
        if (!ok || !list) {
            if (ok)
                why = "it holds no item";
            std::string kept = keep_aside(&slot, header_if_any(slot.copy), &error);
            tell_kept(kept, error, true, why);
            continue;
        }
        if (ask_resume(h, slot.mtime)) {
            // As Open Exam does: the header's settings, then the resume form.
            apply_header(h);
            run_begin(list, false);
            resumed = slot;
            resumed_list = QP;
            for (size_t j = i + 1; j < left.size(); j++)
                recovery_release(&left[j]);
            if (exam_open)
                gtk_widget_set_sensitive(exam_open, FALSE);
            createExamLoad(list);
            return;
        }
        destroy_list(list);
        std::string kept = keep_aside(&slot, h, &error);
        tell_kept(kept, error, false, "");
    }
}
