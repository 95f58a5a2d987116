// The one owner of a run: its question list (QP) and its countdown. Every
// start, resume, load, grading and end goes through these, so that no list
// is freed twice, kept after its run, or ticked on after it is gone.
#pragma once

struct question;

// Begins a run with the list that holds `list` (any record of it; none is
// allowed): any countdown is stopped, the list QP held is freed unless it
// is this one, QP becomes the head, and the countdown starts when `timed`.
void run_begin(question *list, bool timed);

// " Start Exam " of the start or the resume form: run_begin, and from now
// until the run is graded or ended a recovery copy of it is kept.
void run_start(question *list, bool timed);

// The run was graded: exam_ended becomes 1 and seconds 1, which a saved
// file records, and the countdown stops now with its closing text.
void run_graded(void);

// Ends the run: the countdown stops, the list is freed and QP is none.
void run_end(void);
