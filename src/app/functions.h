// Actions of the application as a whole: menu sensitivity, About box,
// choosing an exam, and the start form's option handlers.
#pragma once

typedef struct _GtkWidget GtkWidget;

// A run begins: only Save Exam and Quit stay usable in the Exam menu, and
// what waits for MENUS_BUSY runs (the open load dialog closes: nothing may
// be loaded over a run).
void disable_exam_menus(void);

// Back to the empty main window: every Exam menu item usable but Save
// Exam, and what waits for MENUS_IDLE runs (the open save dialog closes:
// its run is over).
void enable_exam_menus(void);

// One widget made insensitive or sensitive; `data` is ignored.
void disable_menu_item(GtkWidget *widget, void *data);
void enable_menu_item(GtkWidget *widget, void *data);

// Handler of Help > About: shows the About box.
void trialix_about(GtkWidget *widget, void *data);

// The About box's text.
extern const char ABOUT_TEXT[];

// Handler of an exam's "Start Practice Exam" item; `name` is the exam's
// directory within the exam root. Shows the exam's start form.
void start_exam(GtkWidget *widget, void *name);

// Option handlers of the start and resume forms. set_mode2 is the
// "toggled" handler of "Training Mode" and switches every option to the
// new mode's values; set_answer_mode and set_timer_mode flip enableAnswer
// and enableTimer; set_examinee_name copies the text of the entry given as
// `entry` into username, cut to fit on a character boundary.
void set_mode2(GtkWidget *widget, void *data);
void set_answer_mode(GtkWidget *widget, void *data);
void set_timer_mode(GtkWidget *widget, void *data);
void set_examinee_name(GtkWidget *widget, void *entry);
