// The screens that open a run: the start form, and the resume form that
// builds on it.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;
struct question;

using button_handler = void (*)(GtkWidget *, void *);

// ---- Start form ----

// Shows the start form of the exam in examname: reads its configuration
// file (seconds, percentage), or shows a warning when there is none.
void createExamStart(void);

// The next start form is a practice run's: it says `count_line` where the
// exam's count stands, and its " Start Exam " calls `start`.
void start_form_for_practice(const std::string &count_line, button_handler start);

// What a start-like form says. `title` and `message` come from the exam's
// files and are shown as markup; `source` names the file they come from in
// the warning about text that isn't valid markup.
struct start_form_texts {
    const char *title;
    const char *message;
    const char *count;
    const char *time;
    const char *pass;
    const char *prompt;
    const char *source;
};

// Builds and puts up a start-like form: the information panel with the
// texts, the mode, option and name groups preset from the globals with
// their handlers, and " Start Exam " (calling `start`) left of " Cancel ".
void show_start_form(const start_form_texts &texts, button_handler start);

// ---- Resume form ----

// Shows the resume form of a loaded list, given any record of it: QP
// becomes its head, and the form tells what the globals restored from the
// saved file say. " Start Exam " continues the run at its first item.
void createExamLoad(question *q);
