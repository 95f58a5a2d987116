// Handlers of the start form's buttons and of the item form's buttons and
// answer widgets, with the small records the answer widgets are bound by.
#pragma once

#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _GClosure GClosure;
struct question;
struct item_origin;

// A choice button's binding: answer slot `index` of `item`.
struct mc_data {
    unsigned char index;
    question *item;
};

// A fill-in entry's binding: the entry widget and its item.
struct entry_data {
    GtkWidget *entry;
    question *item;
};

// New bindings on the heap, to be freed with free_binding when their
// widget's handler goes (the signal's destroy notify). End the process
// when out of memory.
mc_data *new_mc_data(int index, question *item);
entry_data *new_entry_data(GtkWidget *entry, question *item);
void free_binding(void *binding, GClosure *closure);

// " Start Exam " of the start form: assembles the run into QP and shows its
// first item. " Cancel " of the start and resume forms: back to the empty
// main window.
void cb_start(GtkWidget *widget, void *data);
// What " Start Exam " of the start form does once the run's items are
// drawn (a normal or a practice run): the run's owner begins the run of
// `list`, with the origins of its items, then the first item shows. With no list, whatever run was held ends and `failure` is
// shown in a warning.
void start_drawn_run(question *list, const std::vector<item_origin> &origins,
                     const char *failure);
void cb_cancel(GtkWidget *widget, void *data);
// " Start Exam " of the resume form: continues the run in QP at its first
// item, the countdown from the time that was left.
void cb_load_start(GtkWidget *widget, void *data);

// " Next Item " and " Previous Item ", given the item to go to: grade the
// item being left, then show the other.
void next_form(GtkWidget *widget, void *item);
void prev_form(GtkWidget *widget, void *item);
// " Review Screen ": grades the item, then shows the review screen.
void cb_review(GtkWidget *widget, void *item);
// " Grade Exam " of the item form, the review screen and the review pages:
// grades every item of the run that `item` belongs to, asks for
// confirmation, and on Yes shows the score report.
void cb_grade(GtkWidget *widget, void *item);
// " Show Answer ": opens the answer window for the item.
void answer(GtkWidget *widget, void *item);

// The answer widgets write into their item at once: "Mark Item for Review"
// (data: the item) and a choice button (data: its mc_data) store their
// button's state, the fill-in entry (data: its entry_data) its text, cut to
// fit on a character boundary.
void setRevBut(GtkWidget *widget, void *item);
void setMCBut(GtkWidget *widget, void *binding);
void setEntryBut(GtkWidget *widget, void *binding);
