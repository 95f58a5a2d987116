// The read-only review after grading.
#pragma once

typedef struct _GtkWidget GtkWidget;

// " Review All " and " Review Errors " of the score report; `request` is
// the button's review_request.
void cb_review2_start(GtkWidget *widget, void *request);
