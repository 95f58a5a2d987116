#include "grading/history_record.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <optional>

#include "app/dialogs.h"
#include "app/functions.h"
#include "app/globals.h"
#include "bank/exam_list.h"
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

void tell_once(const std::string &path, const std::string &why, bool always = false)
{
    fprintf(stderr, "%s: results history not used: %s\n", path.c_str(), why.c_str());
    if (told && !always)
        return;
    told = true;
    std::string text = "The results history in " + path + " can't be used:\n" + why +
                       "\n\nYour exams work as before, but their results are not kept.\n\n";
    run_message_dialog(main_window, GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE, nullptr, text.c_str());
}

} // namespace

history_db *history_open_or_tell(bool always)
{
    std::string path = history_default_path();
    std::string error;
    history_db *db = history_open(path.c_str(), &error);
    if (!db)
        tell_once(path, error, always);
    return db;
}

void history_note_graded(question *head, const std::vector<item_origin> &origins, float score,
                         bool passed)
{
    // A run has an exam; a list with none has no place in the history.
    if (!head || !examname[0])
        return;

    history_run run;
    run.exam = examname;
    run.title = getExamTitle(examdir, examconfig, examname).value_or(examtitle);
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
    run.items = history_items_of(head);
    bool all_known = origins.size() == run.items.size();
    for (size_t i = 0; all_known && i < origins.size(); i++) {
        run.items[i].file = origins[i].file;
        run.items[i].item = origins[i].item;
    }
    // A resumed run: its items are looked for in the exam's files.
    std::optional<std::string> dir = join_path(examdir, examname);
    if (!all_known && dir)
        match_items(&run.items, dir->c_str(), filename_list(dir->c_str(), prefix));

    history_db *db = history_open_or_tell();
    if (!db)
        return;
    std::string error;
    if (!history_record(db, &run, &error))
        tell_once(history_default_path(), error);
    history_close(db);
}

void history_on_run(run_event event, run_record *run, void *)
{
    // The report's figures: the run was graded before it was told.
    if (event != RUN_GRADED || !run->list)
        return;
    score_figures f = score_of(run->list, percentage);
    history_note_graded(run->list, run->origins, f.score, f.passed);
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
    std::optional<std::string> dir = join_path(examdir, examname);
    disable_exam_menus();
    std::vector<item_origin> origins;
    question *list = dir ? create_practice_list(practice_plan, dir->c_str(), &origins) : nullptr;
    start_drawn_run(list, origins,
                    "None of the items to practise can be read any more, so the practice run "
                    "can't be started.\n\n");
}
