// Opening a saved exam.
#pragma once

typedef struct _GtkWidget GtkWidget;

// "activate" handler of the Exam menu's Open Exam item.
void cb_load_exam(GtkWidget *widget, void *data);
