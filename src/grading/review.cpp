#include "grading/review.h"

#include <gtk/gtk.h>

#include "app/access.h"
#include "app/dialogs.h"
#include "app/fit.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"
#include "grading/grade.h"
#include "run/callback.h"
#include "run/item_page.h"
#include "run/owner.h"

// Whether the walk visits r under the review option chosen.
static bool qualifies(const question *r)
{
    return (reviewMarked && r->marked) || (reviewEmpty && r->OK == OK_UNANSWERED) ||
           (reviewMarkedEmpty && (r->marked || r->OK == OK_UNANSWERED)) || reviewAll;
}

question *getNextItem(question *r)
{
    return next_qualifying(r, qualifies);
}

question *getPrevItem(question *r)
{
    return prev_qualifying(r, qualifies);
}

static void flip(char *flag)
{
    *flag = *flag ? 0 : 1;
}

void cb_review_setM(GtkWidget *, void *)
{
    flip(&reviewMarked);
}

void cb_review_setE(GtkWidget *, void *)
{
    flip(&reviewEmpty);
}

void cb_review_setME(GtkWidget *, void *)
{
    flip(&reviewMarkedEmpty);
}

void cb_review_setA(GtkWidget *, void *)
{
    flip(&reviewAll);
}

static const struct {
    const char *label;
    char *flag;
    button_handler toggled;
} OPTIONS[] = {
    {"Review only marked items", &reviewMarked, cb_review_setM},
    {"Review only unanswered items", &reviewEmpty, cb_review_setE},
    {"Review marked and unanswered items", &reviewMarkedEmpty, cb_review_setME},
    {"Review all items", &reviewAll, cb_review_setA},
};

// The options in their frame; *active is the button of the option chosen.
static GtkWidget *review_options(GtkWidget **active)
{
    GtkWidget *box = gtk_vbox_new(FALSE, 10);
    gtk_container_set_border_width(GTK_CONTAINER(box), 5);
    GtkWidget *buttons[G_N_ELEMENTS(OPTIONS)];
    size_t chosen = G_N_ELEMENTS(OPTIONS);
    for (size_t i = 0; i < G_N_ELEMENTS(OPTIONS); i++) {
        buttons[i] = i == 0 ? gtk_radio_button_new_with_label(nullptr, OPTIONS[i].label)
                            : gtk_radio_button_new_with_label_from_widget(
                                  GTK_RADIO_BUTTON(buttons[0]), OPTIONS[i].label);
        gtk_box_pack_start(GTK_BOX(box), buttons[i], FALSE, FALSE, 2);
        if (chosen == G_N_ELEMENTS(OPTIONS) && *OPTIONS[i].flag)
            chosen = i;
    }
    if (chosen == G_N_ELEMENTS(OPTIONS))
        chosen = 0;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(buttons[chosen]), TRUE);
    *active = buttons[chosen];
    // The handlers flip their flags, so flags and buttons must agree when
    // they are connected: then exactly the active button's flag stays 1.
    for (size_t i = 0; i < G_N_ELEMENTS(OPTIONS); i++) {
        *OPTIONS[i].flag = i == chosen ? 1 : 0;
        g_signal_connect(buttons[i], "toggled", G_CALLBACK(OPTIONS[i].toggled), nullptr);
    }
    access_radio_group(nullptr, buttons, G_N_ELEMENTS(buttons));

    return framed(box);
}

static GtkWidget *review_label(const char *text, bool markup, float x, float y)
{
    GtkWidget *label = gtk_label_new(markup ? "" : text);
    if (markup)
        gtk_label_set_markup(GTK_LABEL(label), text);
    gtk_misc_set_alignment(GTK_MISC(label), x, y);
    fit_label(label, true);
    return label;
}

void reviewExam(question *item)
{
    if (!item)
        return;
    GtkWidget *screen = gtk_vbox_new(FALSE, 10);
    GtkWidget *option = nullptr;
    GtkWidget *parts[] = {
        review_label("<b><big><big>Review Exam</big></big></b>", true, 0.02, 0.2),
        review_label("You finished the last question of the practice exam. Now you can either "
                     "review your\nanswers or grade the exam. If you want to review your "
                     "answers, you have the\nfollowing options:",
                     true, 0.1, 0.2),
        review_options(&option),
        review_label("Make your selection and press \"Review\" to start the review. Press "
                     "\"Grade Exam\" to\nget your results.",
                     false, 0.08, 0.2),
    };
    for (GtkWidget *part : parts)
        gtk_box_pack_start(GTK_BOX(screen), part, FALSE, FALSE, 10);
    GtkWidget *f = framed(screen);

    GtkWidget *bar = screen_button_bar();
    screen_add_button(bar, " Review ", false, cb_review_start, item);
    screen_add_button(bar, " Grade Exam ", true, cb_grade, item);
    // The group lets focus in through its active option.
    screen_put_up(f, bar, option);
}

void cb_review_start(GtkWidget *, void *item)
{
    question *head = list_head(static_cast<question *>(item));
    if (!head)
        return;
    question *first = qualifies(head) ? head : getNextItem(head);
    if (first)
        showReviewPage(first);
    else
        no_item_dialog(head);
}

void showReviewPage(question *r)
{
    if (!r)
        return;
    // Both buttons use the test the steps use, so a step always finds a page.
    showItemPage(r, {prev_rev, r, getPrevItem(r) != nullptr, getNextItem(r) ? next_rev : nullptr,
                     r, false});
}

void next_rev(GtkWidget *, void *record)
{
    if (question *next = getNextItem(static_cast<question *>(record)))
        showReviewPage(next);
    run_changed();
}

void prev_rev(GtkWidget *, void *record)
{
    if (question *prev = getPrevItem(static_cast<question *>(record)))
        showReviewPage(prev);
    run_changed();
}
