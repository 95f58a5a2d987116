// The countdown of a timed run.
//
// One main-loop tick a second shows the time left in the status bar,
// counts the time used and acts when the time is up. Its registration is
// kept in timer_source, so that there is never more than one and none
// outlives the list it was given. Runs start and stop it through their
// owner (run/owner.h).
#pragma once

#include <glib.h>

typedef struct _GtkWidget GtkWidget;
struct question;

// Starts the countdown of the run whose question list is `list`; the
// widget is ignored. A countdown still registered is removed first.
void trialix_start_timer(GtkWidget *widget, question *list);

// The tick; `list` is the run's question list. Returns 1 to be called
// again in a second, 0 when the countdown is over: after grading (with the
// closing text) or once the time is up (after timeoutDialog).
gboolean count_seconds(gpointer list);

// Time is up. Exam mode: tells so and grades, however the notice is
// closed. Training mode: asks; No grades, anything else lets the run go on
// untimed.
void timeoutDialog(question *list);

// Removes a countdown that is still registered. Call it before the list it
// was given is freed. When the run was graded and the countdown's last tick
// was still to come, the closing text that tick would have shown is shown
// now.
void trialix_stop_timer(void);
