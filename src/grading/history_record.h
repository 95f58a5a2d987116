// Recording graded runs into the results history, and practice runs of
// past mistakes.
#pragma once

#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;
struct question;
struct history_db;
struct history_mistake;
struct item_origin;

// The program's history, opened for reading; none when there is none yet
// (*missing) or when it can't be read, which is told to the user.
history_db *history_read_or_tell(bool *missing);
// Records the runs kept aside earlier (history_keep) once the main loop is
// idle: start-up calls it.
void history_record_waiting(void);
// The program ends: the history file is left holding every run.
void history_done(void);

// Remembers where the items of a newly assembled run came from (origins
// in list order), for the history to record them without reading any
// question file again.
void history_note_origins(question *list, const std::vector<item_origin> &origins);

// Records the graded run that `head` leads, once: the score report is
// rebuilt after a read-only review, and that is the same run. `score` and
// `passed` are the report's.
void history_note_graded(question *head, float score, bool passed);
// The run that `head` leads has ended; its list is about to go.
void history_run_ended(question *head);

// Forgets which lists were recorded and that a failure was told, as at
// start-up. The program never needs it; tests start from it.
void history_record_reset(void);

// Shows the start form of a practice run of `exam` made of `items`.
void start_practice(const char *exam, const std::vector<history_mistake> &items);
// For the start form: true once after start_practice, with the count line
// the practice run's form shows.
bool practice_form_pending(std::string *count_line);
// " Start Exam " of a practice run's form.
void cb_practice_start(GtkWidget *widget, void *data);
