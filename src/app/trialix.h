// Start-up, the main window, quitting, and the screen protocol that every
// screen uses to replace the one before it.
#pragma once

#include <glib-object.h>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkLabel GtkLabel;

// Everything `main` does: trialix_start, then the main loop. Returns 0
// when the main loop ends.
int trialix_main(int argc, char **argv);

// Start-up up to the main loop: initialises the toolkit with the command
// line (which it may shorten), reads the settings and shows the main
// window. Benchmarks call it to time start-up without the main loop.
void trialix_start(int *argc, char ***argv);

// Builds the main window (menu bar, content area `box2`, status bar) into
// the globals and shows it. Expects the toolkit to be initialised.
void trialix_create_main_window(void);

// Gives our windows the installed application icon; calls after the first
// do nothing. Looking the icon up reads the icon theme's whole index, a
// sixth of start-up's own work, so start-up leaves it until the main
// window is on screen, and a warning shown before then asks for it itself.
void trialix_use_icon(void);

// Handler of the Quit item: ends the main loop.
void trialix_quit(GtkWidget *widget, void *data);

// Takes the current screen down: removes `frame` (with the scroller it
// stands in), then `bbox` from `box2` (each only if set) and forgets both, and `cb_answer` and `cb_timer` when
// they were inside the old frame. The widgets are destroyed when the main
// loop is next idle, so a button may take down its own screen.
void screen_take_down(void);

// Takes the window `window` off the screen now and destroys it once the
// main loop is idle: for a button that closes its own window, which the
// code that activated it (a click, or the accessibility layer's press and
// release) still uses after the handlers return.
void window_close_later(GtkWidget *window);

// Puts a new screen up: `frame`, in a scroller of its own (app/fit.h), from
// the start of `box2` (expand, fill, padding 10), `bbox` from the end (no
// expand, no fill, padding 10), shows `box2` with all its children. The
// window grows for the screen as far as the work area lets it; a taller
// screen scrolls above its button bar. Takes the old screen down first. Gives
// `focus` the keyboard focus, or, when it is none or can't take it, the
// leftmost usable button of the bar.
void screen_put_up(GtkWidget *new_frame, GtkWidget *new_bbox, GtkWidget *focus = nullptr);

// Makes `button` of the shown screen its default: Return in an entry that
// activates the default presses it.
void screen_set_default(GtkWidget *button);

// Back to the empty main window: screen taken down, Exam menu re-enabled.
void screen_empty(void);

// A new button bar: horizontal box, not homogeneous, spacing 5, border 7.
GtkWidget *screen_button_bar(void);

// A button with `label` put into `bar` (no expand, no fill, padding 2),
// from the start or from the end, its "clicked" handler connected with
// `data`; `destroy`, when given, frees `data` when the button goes (the
// signal's destroy notify). Returns the button.
GtkWidget *screen_add_button(GtkWidget *bar, const char *label, bool from_end,
                             void (*handler)(GtkWidget *, void *), void *data,
                             GClosureNotify destroy = nullptr);

// ---- Pieces that many screens show ----

// A frame holding `child`, with `label` on its edge (none for none) and
// `border` pixels around it (7, the screens' own, unless told).
GtkWidget *framed(GtkWidget *child, const char *label = nullptr, int border = 7);

// `child` on a panel whose background is the named colour ("white",
// "green", "red"): an event box. Returns the event box.
GtkWidget *colour_panel(GtkWidget *child, const char *colour);

// Shows text from an exam's files (title, message, question, explanation)
// as Pango markup. Text that isn't valid markup (a bare '&' or '<') is
// shown as plain text instead of an empty label, and one line on standard
// error names `what`, the text's place ("the question of item 3"). So is
// markup that could be taller than max_height pixels (0: the screen's
// share of one text alone) or too large otherwise.
void set_label_markup_or_text(GtkLabel *label, const char *text, const char *what,
                              double max_height = 0);
