#include "grading/grade.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/access.h"
#include "app/dialogs.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"
#include "grading/review2.h"
#include "run/callback.h"
#include "run/owner.h"

// Grades every record of the list that holds q; returns the head.
static question *grade_all(question *q)
{
    question *head = list_head(q);
    for (question *r = head; r; r = r->next)
        run_check(r);
    return head;
}

score_figures score_of(question *item, int pass_mark)
{
    score_figures f;
    f.correct = get_right_questions(item);
    f.incorrect = get_wrong_questions(item) + get_unanswered_questions(item);
    f.total_points = get_total_points(item);
    f.reached_points = get_correct_points(item);
    // Computed in double, kept and compared as a float. No points at all
    // (only damaged data) is a score of 0 that fails.
    f.score = f.total_points > 0 ? (float)((100.0 / f.total_points) * f.reached_points) : 0.0f;
    f.passed = f.total_points > 0 && f.score >= pass_mark;
    return f;
}

static GtkWidget *report_label(const std::string &markup, bool aligned = true)
{
    GtkWidget *label = gtk_label_new("");
    gtk_label_set_markup(GTK_LABEL(label), markup.c_str());
    if (aligned)
        gtk_misc_set_alignment(GTK_MISC(label), 0.02, 0.2);
    return label;
}

static std::string bold(const std::string &text)
{
    return "<b>" + text + "</b>";
}

// The report's figures, in reading order.
static std::vector<std::string> figure_texts(const score_figures &f)
{
    char score[64];
    g_snprintf(score, sizeof score, "Your Score: %.1f%% Correct", (double)f.score);
    return {"Questions: " + std::to_string(num_questions), "Correct: " + std::to_string(f.correct),
            "Incorrect: " + std::to_string(f.incorrect),
            "Total Points: " + std::to_string(f.total_points),
            "Reached Points: " + std::to_string(f.reached_points), score};
}

static GtkWidget *figures_table(const score_figures &f)
{
    std::vector<std::string> texts = figure_texts(f);
    GtkWidget *cells[6];
    for (size_t i = 0; i < G_N_ELEMENTS(cells); i++)
        cells[i] = report_label(bold(texts[i]));
    GtkWidget *table = gtk_table_new(2, 3, TRUE);
    gtk_table_set_row_spacings(GTK_TABLE(table), 7);
    // A table lists its cells last attached first, and a screen reader reads
    // them in that order: attached from the last, they read as they stand.
    for (guint i = G_N_ELEMENTS(cells); i-- > 0;)
        gtk_table_attach_defaults(GTK_TABLE(table), cells[i], i % 3, i % 3 + 1, i / 3, i / 3 + 1);

    GtkWidget *row = gtk_hbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), table, TRUE, FALSE, 0);
    GtkWidget *column = gtk_vbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), row, TRUE, FALSE, 10);
    return framed(column);
}

static GtkWidget *verdict_panel(bool passed)
{
    GtkWidget *verdict = report_label(passed ? "<b><big><big>\n   Passed   \n</big></big></b>"
                                             : "<b><big><big>\n   Failed   \n</big></big></b>",
                                      false);
    return framed(colour_panel(verdict, passed ? "green" : "red"), nullptr, 40);
}

static GtkWidget *add_review_button(GtkWidget *bar, const char *label, question *head,
                                    int errors_only)
{
    auto *request = static_cast<review_request *>(malloc(sizeof(review_request)));
    if (!request) {
        fputs("[gradeExam:malloc] Out of memory\n", stderr);
        exit(1);
    }
    request->list = head;
    request->errorsOnly = errors_only;
    return screen_add_button(bar, label, false, cb_review2_start, request, free_binding);
}

void gradeExam(question *item)
{
    int taken = passed_time;
    screen_take_down();
    question *head = grade_all(item);
    if (!head) {
        run_graded();
        return;
    }
    score_figures f = score_of(head, percentage);

    std::string time = "Time: Timer Off";
    if (enableTimer)
        time = "Time: " + std::to_string(taken / 60) + ":" + std::to_string(taken % 60);
    GtkWidget *header = gtk_hbox_new(FALSE, 10);
    gtk_box_pack_start(GTK_BOX(header),
                       report_label("<b><big><big>Your Score Report</big></big></b>"), FALSE,
                       FALSE, 5);
    gtk_box_pack_end(GTK_BOX(header), report_label(time, false), FALSE, FALSE, 5);

    GtkWidget *report = gtk_vbox_new(FALSE, 10);
    gtk_box_pack_start(GTK_BOX(report), header, FALSE, FALSE, 5);
    gtk_box_pack_start(GTK_BOX(report), figures_table(f), FALSE, FALSE, 5);
    gtk_box_pack_start(GTK_BOX(report),
                       report_label(bold("Needed Score to pass: " + std::to_string(percentage) +
                                         "%")),
                       FALSE, FALSE, 5);
    gtk_box_pack_start(GTK_BOX(report), verdict_panel(f.passed), TRUE, FALSE, 0);
    GtkWidget *r_frame = framed(report);

    GtkWidget *bar = screen_button_bar();
    GtkWidget *all = add_review_button(bar, " Review All ", head, 0);
    add_review_button(bar, " Review Errors ", head, 1);
    screen_add_button(bar, " End Exam ", true, cb_exam_end, head);
    // The report is labels alone: the button that takes the focus reads it.
    std::string said = "Your Score Report\n" + time;
    for (const std::string &figure : figure_texts(f))
        said += "\n" + figure;
    said += "\nNeeded Score to pass: " + std::to_string(percentage) + "%\n" +
            (f.passed ? "Passed" : "Failed");
    access_described_by(all, said);
    screen_put_up(r_frame, bar, all);
    // Graded once the report stands: what the run's observers tell of it
    // (a history that can't be used) comes over the report.
    run_graded();
}

void cb_grade_back(GtkWidget *, void *item)
{
    gradeExam(static_cast<question *>(item));
}

void cb_exam_end(GtkWidget *, void *head)
{
    screen_empty();
    if (statusbar)
        gtk_statusbar_pop(GTK_STATUSBAR(statusbar), STATUS_CONTEXT);
    // The report's list is the run's own.
    if (head != QP)
        destroy_list(static_cast<question *>(head));
    run_end();
}
