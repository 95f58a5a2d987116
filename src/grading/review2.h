// The read-only review after grading: every item, or only those not
// answered right, with the examinee's answer and the right one.
#pragma once

typedef struct _GtkWidget GtkWidget;
struct question;

// " Review All " and " Review Errors " of the score report; `request` is
// the button's review_request. Sets reviewError from it and shows the first
// page, or, when no item was missed, the notice and the report again.
void cb_review2_start(GtkWidget *widget, void *request);

// The nearest record after (before) r that the read-only review visits
// (any record, or with reviewError set only those whose OK is 0 or less),
// never r itself; none when there is none.
question *getNextItem2(question *r);
question *getPrevItem2(question *r);

// " Next Item " and " Previous Item " of a read-only page, given the page's
// own record.
void next_rev2(GtkWidget *widget, void *record);
void prev_rev2(GtkWidget *widget, void *record);

// The read-only page of r: the question, the examinee's answer on widgets
// that can't be changed, right choices in green and wrong ones in red, and
// for a fill-in item the accepted answers.
void showReview2Page(question *r);
