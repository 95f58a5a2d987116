// The one place that knows every GUI folder: none of them includes another
// folder's screens, so the names they show each other by are filled here.
#include "assemble.h"

#include "app/navigator.h"
#include "grading/grade.h"
#include "grading/history_record.h"
#include "grading/history_window.h"
#include "grading/review.h"
#include "run/exhibit_view.h"
#include "run/form.h"
#include "run/item_page.h"
#include "run/owner.h"
#include "saved/load.h"
#include "saved/recovery.h"
#include "saved/store.h"

static void start_form(question *)
{
    createExamStart();
}

void trialix_assemble(void)
{
    navigator_set_screen(SCREEN_START_FORM, start_form);
    navigator_set_screen(SCREEN_ITEM_PAGE, createExamForm);
    navigator_set_screen(SCREEN_REVIEW, reviewExam);
    navigator_set_screen(SCREEN_REPORT, gradeExam);
    navigator_set_screen(SCREEN_RESUME_FORM, createExamLoad);

    navigator_set_command(COMMAND_OPEN_EXAM, cb_load_exam);
    navigator_set_command(COMMAND_SAVE_EXAM, cb_save_exam);
    navigator_set_command(COMMAND_RESULTS_HISTORY, cb_history);

    // An exam cut short last time (Quit, a crash, a power loss) is offered
    // before anything else, and runs the history couldn't take last time are
    // recorded. Quit ends the program at once: the last second's answers
    // still go into the recovery copy, and the history's log into its file.
    navigator_on(SHELL_STARTED, recovery_offer_left);
    navigator_on(SHELL_STARTED, history_record_waiting);
    navigator_on(SHELL_QUITTING, recovery_flush);
    navigator_on(SHELL_QUITTING, history_done);
    navigator_on(MENUS_BUSY, close_load_dialog);
    navigator_on(MENUS_IDLE, close_save_dialog);

    // Recovery first: a graded run's copy is gone before the history may
    // stop for the examinee (a history that can't be used says so).
    run_observe(recovery_on_run, nullptr);
    run_observe(history_on_run, nullptr);
    run_observe(exhibit_on_run, nullptr);
}
