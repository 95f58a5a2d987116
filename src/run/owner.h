// The one owner of a run: its question list (QP), its countdown, and what
// the parts that follow a run keep of it. A run is held (a loaded or
// resumed exam waits on its resume form), begins once (" Start Exam "),
// changes, is graded and ends, and every step goes through here, so that no
// list is freed twice, kept after its run, or ticked on after it is gone.
// The recovery copy and the results history learn of each step as
// observers; no handler calls them.
#pragma once

#include <string>
#include <vector>

#include "bank/exam_list.h"
#include "bank/question.h"
#include "bank/recovery.h"

struct question;

// What the observers are told, in the order a run goes through them: begun
// once, changed any number of times, graded at most once, ended once. A
// held list that never began is ended too (run_record::begun tells).
enum run_event { RUN_BEGUN, RUN_CHANGED, RUN_GRADED, RUN_ENDED };

// What the owner keeps of the run in QP, for its observers.
struct run_record {
    question *list = nullptr;   // the head, as QP
    bool begun = false;
    bool graded = false;
    // The history's: where each item was drawn from, in list order; none
    // for a loaded or resumed run, whose items are looked for by text.
    std::vector<item_origin> origins;
    // How typed answers are graded: as the exam's configuration file says
    // when the list is held (a resumed run included); exactly when it
    // can't be read.
    answer_compare compare = answer_compare::exact;
    // The run's id (a UUID), made as it begins: the history holds it once.
    std::string uuid;
    // The recovery copy's: the copy left behind that this run was resumed
    // from, held until the run begins and goes on in it.
    recovery_slot resumed;
};

using run_observer = void (*)(run_event event, run_record *run, void *data);

// Adds an observer (once however often it is added), or takes it off.
void run_observe(run_observer observer, void *data);
void run_unobserve(run_observer observer, void *data);

// Holds the list that holds `list` (any record of it) as the run to come:
// the countdown stops, a different list held before ends and is freed, QP
// becomes the head. Nothing begins.
void run_hold(question *list);

// " Start Exam " of the start, practice or resume form: holds `list`, notes
// where its items came from, begins the run, and starts the countdown when
// `timed`. A run that began already is not begun again.
void run_start(question *list, bool timed, const std::vector<item_origin> &origins = {});

// The examinee changed an answer, a mark or the page shown.
void run_changed(void);

// The run was graded: exam_ended becomes 1 and seconds 1, which a saved
// file records, and the countdown stops now with its closing text. The
// observers are told once, however often the report is rebuilt.
void run_graded(void);

// Ends the run: the countdown stops, the list is freed and QP is none.
void run_end(void);

// Grades q (a record of the run) as its exam compares typed answers.
void run_check(question *q);

// The record of the run in QP (never none).
run_record *run_current(void);

// Forgets the run without a word to anyone and without freeing its list,
// as at start-up. The program never needs it; tests start from it.
void run_forget(void);
