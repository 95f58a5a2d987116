// Recording graded runs into the results history, and practice runs of
// past mistakes.
#pragma once

#include <string>
#include <vector>

#include "run/owner.h"

typedef struct _GtkWidget GtkWidget;
struct question;
struct history_db;
struct history_mistake;
struct item_origin;

// Where the program's history is: the server of the `database` setting, or
// the history file of the examinee's own.
std::string history_where(void);
// The program's history, opened for reading; none when there is none yet
// (*missing) or when it can't be read, which is told to the user. A
// server that can't be reached now counts as none yet: *unreachable
// says why.
history_db *history_read_or_tell(bool *missing, std::string *unreachable = nullptr);
// Records the runs kept aside earlier (history_keep) once the main loop is
// idle: start-up calls it.
void history_record_waiting(void);
// The program ends: the history file is left holding every run.
void history_done(void);

// Records the graded run that `head` leads; `origins` are where its items
// were drawn from, in list order (none: they are looked for in the exam's
// files by their text). `score` and `passed` are the report's.
// `uuid` is the run's id (one is made when it has none).
void history_note_graded(question *head, const std::vector<item_origin> &origins, float score,
                         bool passed, const std::string &uuid = "");
// The run owner's observer: a run graded goes into the history, once (the
// owner tells it once, however often the report is rebuilt).
void history_on_run(run_event event, run_record *run, void *data);

// Forgets that a failure was told, as at start-up. The program never needs
// it; tests start from it.
void history_record_reset(void);

// Shows the start form of a practice run of `exam` made of `items`.
void start_practice(const char *exam, const std::vector<history_mistake> &items);
// " Start Exam " of a practice run's form.
void cb_practice_start(GtkWidget *widget, void *data);
