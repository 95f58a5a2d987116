// How the folders of the program reach each other's screens without
// knowing each other: a screen is shown by name, a menu command is carried
// out by name, and a moment of the shell (started, quitting, the Exam
// menu's two states) runs what was asked for then. What stands behind
// each name is set once, where the program is put together (src/assemble).
#pragma once

typedef struct _GtkWidget GtkWidget;
struct question;

enum screen_name {
    SCREEN_START_FORM,    // the start form of the exam in examname
    SCREEN_ITEM_PAGE,     // the item form of an item
    SCREEN_REVIEW,        // the review screen of the run an item belongs to
    SCREEN_REPORT,        // the score report of a run, graded without asking
    SCREEN_RESUME_FORM,   // the resume form of a loaded list
    SCREEN_NAMES
};

// Builds and puts up one screen about `item` (none for the start form).
using screen_builder = void (*)(question *item);
void navigator_set_screen(screen_name name, screen_builder build);
void show_screen(screen_name name, question *item = nullptr);

enum command_name { COMMAND_OPEN_EXAM, COMMAND_SAVE_EXAM, COMMAND_RESULTS_HISTORY, COMMAND_NAMES };
using command_handler = void (*)(GtkWidget *widget, void *data);
void navigator_set_command(command_name name, command_handler handler);
// The "activate" handler of a menu item; `name` is the command_name as
// GINT_TO_POINTER.
void menu_command(GtkWidget *item, void *name);

enum shell_moment {
    SHELL_STARTED,    // the main window stands (start-up)
    SHELL_QUITTING,   // the main loop ended; the process is about to end
    MENUS_BUSY,       // a run begins: the Exam menu is down to Save and Quit
    MENUS_IDLE,       // between runs: the whole Exam menu but Save is usable
    SHELL_MOMENTS
};
// Adds an action to a moment (once however often it is added); they run in
// the order added.
void navigator_on(shell_moment moment, void (*action)(void));
void shell_reached(shell_moment moment);
