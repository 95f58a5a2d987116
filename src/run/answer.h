// The answer window: one item's explanation and whether the examinee's
// current answer is right, in a window of its own.
#pragma once

typedef struct _GtkWidget GtkWidget;
struct question;

// Grades q as it stands and opens a new answer window for it.
void showAnswer(question *q);

// " Close Window ": destroys the answer window given as `window`.
void answer_quit(GtkWidget *widget, void *window);
