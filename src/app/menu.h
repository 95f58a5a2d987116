// The menu bar: the Exam menu with the catalogue of installed exams, and
// the Help menu.
#pragma once

typedef struct _GtkWidget GtkWidget;

// Builds both menus, scanning the exam root once for the catalogue, and
// returns the menu bar. Sets exammenu, exam_open, exam_save and exam_quit.
GtkWidget *createMenuBar(void);

// Warnings of the catalogue scan; each is filled with the exam root.
extern const char NO_EXAM_ROOT_TEXT[];
extern const char NO_EXAMS_TEXT[];
