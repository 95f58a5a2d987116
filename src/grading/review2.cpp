#include "grading/review2.h"

#include <gtk/gtk.h>

#include <string>

#include "app/dialogs.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"
#include "grading/grade.h"
#include "run/callback.h"
#include "run/form.h"

static bool visited(const question *r)
{
    return reviewError == 0 || r->OK <= 0;
}

question *getNextItem2(question *r)
{
    return next_qualifying(r, visited);
}

question *getPrevItem2(question *r)
{
    return prev_qualifying(r, visited);
}

void cb_review2_start(GtkWidget *, void *request)
{
    auto *req = static_cast<review_request *>(request);
    reviewError = req->errorsOnly ? 1 : 0;
    question *head = list_head(req->list);
    if (!head)
        return;
    question *first = visited(head) ? head : getNextItem2(head);
    if (first)
        showReview2Page(first);
    else
        no_item_dialog2(head);
}

void next_rev2(GtkWidget *, void *record)
{
    if (question *next = getNextItem2(static_cast<question *>(record)))
        showReview2Page(next);
}

void prev_rev2(GtkWidget *, void *record)
{
    if (question *prev = getPrevItem2(static_cast<question *>(record)))
        showReview2Page(prev);
}

// One row per filled slot: the examinee's tick, off limits, beside the
// choice's text in green when it is right and red when it is wrong.
static void graded_choices(GtkWidget *box, const question *r, bool single)
{
    GdkColor right, wrong;
    gdk_color_parse("#45ac45", &right);
    gdk_color_parse("red", &wrong);
    GtkWidget *leader = single ? item_hidden_choice(box) : nullptr;
    for (int i = 0; i < NUM_ANSWERS; i++) {
        if (!r->answers[i][0])
            continue;
        GtkWidget *text = gtk_label_new(r->answers[i] + 1);
        gtk_widget_modify_fg(text, GTK_STATE_NORMAL, r->answers[i][0] == '+' ? &right : &wrong);
        GtkWidget *panel = gtk_event_box_new();
        gtk_container_add(GTK_CONTAINER(panel), text);
        GtkWidget *tick = single ? gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(leader))
                                 : gtk_check_button_new();
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(tick), r->selected[i] != 0);
        GtkWidget *row = gtk_hbox_new(FALSE, 5);
        gtk_box_pack_start(GTK_BOX(row), tick, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(row), panel, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 0);
        gtk_widget_set_sensitive(tick, FALSE);
    }
}

// "Correct Answers: " and, on the next line, every accepted answer, joined
// by " OR ". Seven answers of 255 bytes don't fit a fixed line, so it is
// built whole.
static std::string accepted_answers(const question *r)
{
    std::string joined;
    for (int i = 0; i < NUM_ANSWERS; i++) {
        if (!r->answers[i][0])
            continue;
        if (!joined.empty())
            joined += " OR ";
        joined += r->answers[i];
    }
    return "Correct Answers: \n" + joined;
}

static void graded_entry(GtkWidget *box, const question *r)
{
    GtkWidget *entry = gtk_entry_new();
    gtk_entry_set_max_length(GTK_ENTRY(entry), ANSWER_SIZE);
    gtk_entry_set_text(GTK_ENTRY(entry), r->entry);
    gtk_box_pack_start(GTK_BOX(box), entry, TRUE, TRUE, 2);
    gtk_widget_set_sensitive(entry, FALSE);

    GtkWidget *line = gtk_label_new(accepted_answers(r).c_str());
    gtk_misc_set_alignment(GTK_MISC(line), 0, 0);
    gtk_box_pack_start(GTK_BOX(box), line, FALSE, FALSE, 2);
}

// Nothing here gets a handler, and every widget that could take input is
// insensitive: the page never writes to the record.
static GtkWidget *graded_answers(const question *r)
{
    GtkWidget *box = gtk_vbox_new(TRUE, 0);
    switch (r->type) {
    case 'S':
    case 'M':
        graded_choices(box, r, r->type == 'S');
        break;
    case 'F':
        graded_entry(box, r);
        break;
    default:
        gtk_box_pack_start(GTK_BOX(box), gtk_label_new("Unknown question type"), TRUE, TRUE, 2);
        break;
    }
    return box;
}

void showReview2Page(question *r)
{
    if (!r)
        return;
    GtkWidget *mark = gtk_check_button_new_with_label("Mark Item for Review");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(mark), r->marked != 0);
    gtk_widget_set_sensitive(mark, FALSE);
    GtkWidget *instruction = nullptr;
    GtkWidget *bottom = item_bottom_line(r, &instruction);
    gtk_widget_set_sensitive(instruction, FALSE);
    // The exam's name may take all of its 255 bytes.
    std::string label = std::string(examname) + " (ReadOnly Review after Grade)";
    GtkWidget *f = item_page_frame(label.c_str(), mark, item_question_panel(r), graded_answers(r),
                                   bottom);

    GtkWidget *bar = screen_button_bar();
    GtkWidget *prev = screen_add_button(bar, " Previous Item ", false, prev_rev2, r);
    gtk_widget_set_sensitive(prev, getPrevItem2(r) != nullptr);
    GtkWidget *next = screen_add_button(bar, " Next Item ", false, next_rev2, r);
    gtk_widget_set_sensitive(next, getNextItem2(r) != nullptr);
    screen_add_button(bar, " Back to Grade Exam ", true, cb_grade_back, r);
    screen_add_button(bar, " Show Answer ", true, answer, r);
    screen_put_up(f, bar);
}
