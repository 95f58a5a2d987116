// Process-wide state of Trialix. Every screen, handler and dialog reads and
// writes these; they live for the whole process and nobody frees them.
#pragma once

#include <glib.h>

#include <string>

#include "bank/tools.h"   // the sizes of the texts below
#include "trialix_version.h"

typedef struct _GtkWidget GtkWidget;
struct question;

// Settings read at start-up.
extern char examdir[PATH_SIZE];
extern char savedir[PATH_SIZE];
extern char examconfig[EXAMCONFIG_SIZE];
extern char prefix[PREFIX_SIZE];
// The results history's server (a libpq connection string), or "" for the
// history file of the examinee's own.
extern std::string results_database;

// Run options and exam data.
extern int training;
extern int enableAnswer;
extern int enableTimer;
extern char examname[PATH_SIZE];
extern char examtitle[PATH_SIZE];
extern char username[PATH_SIZE];
extern char savedate[PATH_SIZE];
extern int seconds;
extern int num_questions;
extern int percentage;
extern int passed_time;
extern int exam_ended;
// Set by the run's owner alone (run/owner.h).
extern question *QP;

// Review options, one byte each.
extern char reviewMarked;
extern char reviewEmpty;
extern char reviewMarkedEmpty;
extern char reviewAll;
extern char reviewError;

// Widgets; null until created.
extern GtkWidget *main_window;
extern GtkWidget *box2;
extern GtkWidget *statusbar;
extern GtkWidget *frame;
extern GtkWidget *bbox;
extern GtkWidget *exammenu;
extern GtkWidget *exam_open;
extern GtkWidget *exam_save;
extern GtkWidget *exam_quit;
extern GtkWidget *cb_answer;
extern GtkWidget *cb_timer;

// Source id of the running countdown, 0 when none is registered. Kept so
// that a second start or the end of a run never leaves a tick behind.
extern guint timer_source;

// The status bar context every message of the program uses.
enum { STATUS_CONTEXT = 1 };


// Puts every variable above but QP back to its initial value (widgets
// forgotten, not destroyed); the run's owner forgets QP. The program never needs it; tests start from it.
void globals_reset(void);
