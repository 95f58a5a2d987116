#include "grading/history_record.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <optional>

#include "app/dialogs.h"
#include "app/functions.h"
#include "app/globals.h"
#include "bank/error.h"
#include "bank/exam_list.h"
#include "bank/glib_ptr.h"
#include "bank/history.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "grading/grade.h"
#include "run/callback.h"
#include "run/form.h"
#include "run/owner.h"

namespace {

bool told = false;

std::vector<history_mistake> practice_plan;

const char KEPT_ASIDE[] = "Your exams work as before; their results are kept aside and added to the "
                         "history once it can be used.";

void tell_once(const std::string &path, const std::string &why, bool always = false,
               const char *outcome = "Your exams work as before, but their results are not kept.")
{
    fprintf(stderr, "%s: results history not used: %s\n", path.c_str(), why.c_str());
    if (told && !always)
        return;
    told = true;
    std::string text = "The results history in " + path + " can't be used:\n" + why + "\n\n" +
                       outcome + "\n\n";
    run_message_dialog(main_window, GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE, nullptr, text.c_str());
}

gboolean fold_when_idle(gpointer)
{
    history_fold(history_where().c_str());
    return FALSE;
}

// Records the runs kept aside before, if any; quietly, as nothing of the
// examinee's is at stake yet.
gboolean record_waiting(gpointer)
{
    std::string kept = history_kept_dir(), path = history_where();
    if (history_kept_count(kept.c_str()) == 0)
        return FALSE;
    gerror_ptr error;
    history_db *db = history_open(path.c_str(), out_error(error));
    int waiting = db ? history_record_kept(db, kept.c_str(), out_error(error)) : -1;
    history_close(db);
    if (waiting != 0)
        fprintf(stderr, "%s: runs kept aside not recorded yet: %s\n", path.c_str(),
                error ? error->message : "");
    return FALSE;
}

} // namespace

std::string history_where(void)
{
    return results_database.empty() ? history_default_path() : results_database;
}

history_db *history_read_or_tell(bool *missing, std::string *unreachable)
{
    std::string path = history_where();
    bool server = history_is_server(path.c_str());
    *missing = !server && !g_file_test(path.c_str(), G_FILE_TEST_EXISTS);
    if (*missing)
        return nullptr;
    gerror_ptr error;
    history_db *db = history_open_read(path.c_str(), out_error(error));
    // A server away is no fault of the history's: the runs wait for it.
    if (!db && server && g_error_matches(error.get(), TRIALIX_ERROR, TRIALIX_ERROR_DATABASE)) {
        fprintf(stderr, "%s: results history not reached: %s\n", path.c_str(), error->message);
        *missing = true;
        if (unreachable)
            *unreachable = error->message;
        return nullptr;
    }
    if (!db)
        tell_once(path, error->message, true, KEPT_ASIDE);
    return db;
}

void history_record_waiting(void)
{
    g_idle_add(record_waiting, nullptr);
}

void history_done(void)
{
    history_fold(history_where().c_str());
}

void history_note_graded(question *head, const std::vector<item_origin> &origins, float score,
                         bool passed, const std::string &uuid)
{
    // A run has an exam; a list with none has no place in the history.
    if (!head || !examname[0])
        return;

    history_run run;
    run.exam = examname;
    run.title = examtitle;
    getExamTitle(examdir, examconfig, examname, &run.title, nullptr);
    run.taken = g_get_real_time() / G_USEC_PER_SEC;
    run.examinee = username;
    run.training = training != 0;
    run.timer = enableTimer != 0;
    run.time_used = passed_time;
    run.total_points = get_total_points(head);
    run.reached_points = get_correct_points(head);
    run.score = score;
    run.pass_mark = percentage;
    run.passed = passed;
    run.uuid = uuid;
    run.items = history_items_of(head);
    bool all_known = origins.size() == run.items.size();
    for (size_t i = 0; all_known && i < origins.size(); i++) {
        run.items[i].file = origins[i].file;
        run.items[i].item = origins[i].item;
    }
    // A resumed run: its items are looked for in the exam's files.
    std::optional<std::string> dir = join_path(examdir, examname, nullptr);
    if (!all_known && dir)
        match_items(&run.items, dir->c_str(), filename_list(dir->c_str(), prefix));

    // A run the history can't take now is kept aside and recorded later,
    // never lost; only a history that can't be used is worth a dialog. The
    // log is folded into the file once the score report is up: that syncs
    // the disk twice, which the report needn't wait for.
    std::string path = history_where(), error;
    gerror_ptr why;
    history_outcome outcome =
        history_record_or_keep(path.c_str(), history_kept_dir().c_str(), &run, false, out_error(why));
    if (why)
        error = why->message;
    switch (outcome) {
    case HISTORY_RECORDED:
        g_idle_add(fold_when_idle, nullptr);
        break;
    case HISTORY_KEPT_BUSY:
        fprintf(stderr, "%s: results history busy (%s): the run is kept and recorded later\n",
                path.c_str(), error.c_str());
        break;
    case HISTORY_KEPT:
        tell_once(path, error, false, KEPT_ASIDE);
        break;
    case HISTORY_LOST:
        tell_once(path, error);
        break;
    }
}

void history_on_run(run_event event, run_record *run, void *)
{
    // The report's figures: the run was graded before it was told.
    if (event != RUN_GRADED || !run->list)
        return;
    score_figures f = score_of(run->list, percentage);
    history_note_graded(run->list, run->origins, f.score, f.passed, run->uuid);
}

void history_record_reset(void)
{
    told = false;
    practice_plan.clear();
}

void start_practice(const char *exam, const std::vector<history_mistake> &items)
{
    utf8_strlcpy(examname, exam, sizeof examname);
    practice_plan = items;
    num_questions = (int)items.size();
    passed_time = 0;
    enable_exam_menus();
    size_t n = practice_plan.size();
    start_form_for_practice("This practice run holds " + std::to_string(n) +
                                (n == 1 ? " item" : " items") + " you missed.",
                            cb_practice_start);
    createExamStart();
}

void cb_practice_start(GtkWidget *, void *)
{
    std::optional<std::string> dir = join_path(examdir, examname, nullptr);
    disable_exam_menus();
    std::vector<item_origin> origins;
    std::vector<left_out_file> left_out;
    bool shuffle = read_exam_options(examdir, examconfig, examname).shuffle;
    question *list = dir ? create_practice_list(practice_plan, dir->c_str(),
                                                shuffle ? choice_order::shuffled : choice_order::as_written,
                                                &origins, &left_out, nullptr)
                         : nullptr;
    for (const left_out_file &f : left_out) {
        if (!f.load_failure.empty())
            printf("%s\n", f.load_failure.c_str());
        fprintf(stderr, "%s\n", f.why.c_str());
    }
    start_drawn_run(list, origins,
                    "None of the items to practise can be read any more, so the practice run "
                    "can't be started.\n\n");
}
