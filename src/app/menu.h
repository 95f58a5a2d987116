// The menu bar: the Exam menu with the catalogue of installed exams, and
// the Help menu.
#pragma once

typedef struct _GtkWidget GtkWidget;

GtkWidget *createMenuBar(void);
