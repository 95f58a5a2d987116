// Grading and the score report.
#pragma once

typedef struct _GtkWidget GtkWidget;
struct question;

// What the score report's " Review All " (errorsOnly 0) and " Review
// Errors " (errorsOnly 1) hand to the read-only review: the list's head.
// Made when the report is built, freed with its button.
struct review_request {
    question *list;
    int errorsOnly;
};

// Grades every item of the run that `item` belongs to and shows the score
// report, without asking. Ends the countdown at its next tick.
void gradeExam(question *item);

// " Back to Grade Exam ": the score report again, without asking.
void cb_grade_back(GtkWidget *widget, void *item);

// " End Exam ": empties the main window, frees the list (QP becomes none)
// and makes the Exam menu usable again.
void cb_exam_end(GtkWidget *widget, void *head);

// The report's figures for the graded list that holds `item`.
struct score_figures {
    int correct;
    int incorrect;
    int total_points;
    int reached_points;
    float score;   // percent, by points; 0 when there are no points at all
    bool passed;   // score >= percentage
};
score_figures score_of(question *item, int pass_mark);
