// The item form, and the pieces of it that the review pages build on.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;
struct question;

using button_handler = void (*)(GtkWidget *, void *);

// ---- Item form ----

// Shows one item of the running list in the item form.
void createExamForm(question *q);

// The navigation of a page that shows one item. " Previous Item " calls
// `prev` with `prev_data` and is insensitive unless `prev_enabled`.
// " Next Item " calls `next` with `next_data`; when `next` is null the page
// has " Review Screen " in its place, calling cb_review with the item.
// `report_unknown` writes "QuestionType was %c" to standard output for an
// item of unknown kind.
struct item_nav {
    button_handler prev;
    void *prev_data;
    bool prev_enabled;
    button_handler next;
    void *next_data;
    bool report_unknown;
};

// Builds and puts up the page of item q: mark button, question, answer
// widgets bound to q, bottom line, and the button bar with `nav` and
// " Grade Exam " (and " Show Answer " when enableAnswer is set).
void showItemPage(question *q, const item_nav &nav);

// ---- Pieces of every page that shows one item ----

// The instruction for an item of kind `type`.
const char *item_instruction(char type);

// What a screen reader says of the page of item q with its first focus:
// the question's plain text, "Image: " and the words of each image it
// shows, and "Item %d of %d", one line each.
std::string item_context(const question *q);

// The question of q as markup on white, in a frame without label.
GtkWidget *item_question_panel(const question *q);

// The line below the answers: the instruction on the left (returned in
// *instruction when asked for) and "Item %d of %d" on the right.
GtkWidget *item_bottom_line(const question *q, GtkWidget **instruction = nullptr);

// The first button of a single-choice item's radio group, never shown: it
// holds the group's activity, so that every shown choice can be off. It
// lives as long as `box`.
GtkWidget *item_hidden_choice(GtkWidget *box);

// The page's frame, labelled `label` at the right of its top edge, holding
// from the top: mark button, question panel, answers, bottom line.
GtkWidget *item_page_frame(const char *label, GtkWidget *mark, GtkWidget *question_panel,
                           GtkWidget *answers, GtkWidget *bottom_line);
