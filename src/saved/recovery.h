// The recovery copy of the running exam: kept in the saved exam format from
// " Start Exam " until the run is graded or ended, so that a run cut short
// by Quit, a closed window, a crash or a power loss can be resumed at the
// next start. The folder, the lock and the search for copies left behind
// are bank/recovery's.
#pragma once

#include <string>

struct question;

// A run began (" Start Exam " of the start or the resume form): its copy
// is written now, and the time is watched every RECOVERY_TIME_MS.
void recovery_run_started(void);
// The examinee changed something (an answer, a mark, the item shown): the
// copy is written within a second, once for a whole burst of changes.
void recovery_changed(void);
// The run was graded or ended: its copy is removed.
void recovery_run_over(void);
// `list` is freed: a copy left behind that was resumed into it and whose
// run never started is left for the next start.
void recovery_list_dropped(question *list);
// Writes at once a change that is waiting (the program is about to end).
void recovery_flush(void);

// At start-up, over the main window: offers each copy left behind by a
// program that is gone, newest first, for resuming; one answered No, and
// one that can't be read, is kept as a saved exam in savedir, and the
// examinee is told where. After a Yes the remaining copies wait for the
// next start.
void recovery_offer_left(void);

// Every this often the copy is written again if the countdown has moved.
enum { RECOVERY_TIME_MS = 30000 };

// ---- For tests ----

// The path of the running exam's copy ("" when none is kept).
std::string recovery_copy_path(void);
// How many copies this program has written.
int recovery_write_count(void);
// Whether a write is waiting for its second to pass.
bool recovery_write_waiting(void);
// What the RECOVERY_TIME_MS timer does.
void recovery_time_check(void);
