// Actions of the application as a whole: menu sensitivity, About box,
// countdown, choosing an exam, and the start form's option handlers.
#pragma once

typedef struct _GtkWidget GtkWidget;

// A run begins: only Save Exam and Quit stay usable in the Exam menu.
void disable_exam_menus(void);

// Back to the empty main window: every Exam menu item usable but Save Exam.
void enable_exam_menus(void);

// One widget made insensitive or sensitive; `data` is ignored.
void disable_menu_item(GtkWidget *widget, void *data);
void enable_menu_item(GtkWidget *widget, void *data);

// Handler of Help > About: shows the About box.
void trialix_about(GtkWidget *widget, void *data);

// The About box's text.
extern const char ABOUT_TEXT[];

// Handler of an exam's "Start Practice Exam" item; `name` is the exam's
// directory within the exam root.
void start_exam(GtkWidget *widget, void *name);
