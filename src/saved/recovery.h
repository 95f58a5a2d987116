// The recovery copy of the running exam: kept in the saved exam format from
// " Start Exam " until the run is graded or ended, so that a run cut short
// by Quit, a closed window, a crash or a power loss can be resumed at the
// next start. The folder, the lock and the search for copies left behind
// are bank/recovery's.
#pragma once

#include <string>

#include "run/owner.h"

struct recovery_slot;

// The run owner's observer. A run began (" Start Exam " of the start or
// the resume form): its copy is written now, and the time is watched every
// RECOVERY_TIME_MS. It changed (an answer, a mark, the item shown): the
// copy is written within a second, once for a whole burst of changes. It
// was graded or ended: its copy is removed; a copy left behind that was
// resumed into a list whose run never began is left for the next start.
void recovery_on_run(run_event event, run_record *run, void *data);
// What the observer does on a change, and on grading or the end.
void recovery_changed(void);
void recovery_run_over(void);
// Writes at once a change that is waiting (the program is about to end).
void recovery_flush(void);

// A copy that can't be written is told once in a notice beside the
// window (the run goes on), tried again every RECOVERY_RETRY_MS, and told
// again once it is written.

// At start-up, over the main window (saved/recovery_left): asks once about
// the copies left behind by programs that are gone. One copy is offered
// for resuming with Yes or No; several are listed newest first, one to
// resume or all to keep. Copies not resumed, and those that can't be read,
// are kept as saved exams in savedir, and the examinee is told where, in
// one notice.
void recovery_offer_left(void);
// The answers of the question about several copies.
enum { RECOVERY_RESPONSE_RESUME = 1, RECOVERY_RESPONSE_KEEP_ALL = 2 };
// The copy left behind that the examinee chose to resume into the list the
// run owner holds: kept with that run until it begins, when it becomes the
// run's copy.
void recovery_resume_from(const recovery_slot &slot);

// Every this often the copy is written again if the countdown has moved.
enum { RECOVERY_TIME_MS = 30000 };
// Every this often a copy that could not be written is tried again.
enum { RECOVERY_RETRY_MS = 5000 };

// ---- For tests ----

// The path of the running exam's copy ("" when none is kept).
std::string recovery_copy_path(void);
// How many copies this program has written.
int recovery_write_count(void);
// Whether a write is waiting for its second to pass.
bool recovery_write_waiting(void);
// What the RECOVERY_TIME_MS and RECOVERY_RETRY_MS timers do.
void recovery_time_check(void);
// The RECOVERY_TIME_MS timer's source in the main context; 0 when none.
unsigned recovery_time_source(void);
// Whether the last write of the copy failed (the examinee was told), and
// whether it is to be tried again by the RECOVERY_RETRY_MS timer.
bool recovery_failing(void);
bool recovery_retry_waiting(void);
