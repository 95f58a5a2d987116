// The review screen before grading and its review pages.
#pragma once

typedef struct _GtkWidget GtkWidget;
struct question;

// Shows the review screen for the run that `item` belongs to: the four
// review options, " Review " and " Grade Exam ".
void reviewExam(question *item);

// "toggled" handlers of the four options ("Review only marked items",
// "... unanswered items", "... marked and unanswered items", "Review all
// items"): each flips its own flag, so the one chosen is kept for the whole
// program run.
void cb_review_setM(GtkWidget *widget, void *data);
void cb_review_setE(GtkWidget *widget, void *data);
void cb_review_setME(GtkWidget *widget, void *data);
void cb_review_setA(GtkWidget *widget, void *data);

// " Review ": the review page of the list's first record that the chosen
// option takes in, or the notice that there is none and the review screen
// again.
void cb_review_start(GtkWidget *widget, void *item);

// The nearest record after (before) r that the chosen option takes in,
// never r itself; none when there is none.
question *getNextItem(question *r);
question *getPrevItem(question *r);

// " Next Item " and " Previous Item " of a review page, given the page's
// own record. Leaving a review page grades nothing.
void next_rev(GtkWidget *widget, void *record);
void prev_rev(GtkWidget *widget, void *record);

// The review page of r: r's item form page, whose navigation steps only
// over the records the chosen option takes in and whose last page leads
// back to the review screen.
void showReviewPage(question *r);
