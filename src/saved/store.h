// Saving the running exam.
#pragma once

typedef struct _GtkWidget GtkWidget;

// "activate" handler of the Exam menu's Save Exam item.
void cb_save_exam(GtkWidget *widget, void *data);
