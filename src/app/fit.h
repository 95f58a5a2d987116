// Screens that fit the screen: text that wraps where a line would be wider
// than the room its window has, and content that scrolls where it would be
// taller (or wider) than the monitor's work area.
#pragma once

#include <gdk/gdk.h>

typedef struct _GtkWidget GtkWidget;

// The work area (the monitor less panels and docks) of the monitor that
// shows `widget`'s window, or of the first monitor while it has none.
GdkRectangle fit_work_area(GtkWidget *widget);

// Marks `label` as text of an exam's (a question, a choice, an explanation):
// a line wider than the room its scroller's window has wraps at that width
// (at a word, or inside one that alone is too wide); the author's own line
// breaks stay. A label whose lines fit is laid out exactly as before.
// `up_to_screen`: the label widens the window as ever, and wraps only where
// the window would pass the work area (texts of screens that were wider
// than the window from the first).
void fit_label(GtkWidget *label, bool up_to_screen = false);

// `content` (none for none yet) in a scrolled window without a frame of its
// own, which asks for all the room `content` needs up to what the work area
// leaves beside the rest of its window, and scrolls beyond that; keyboard
// focus scrolls what it reaches into view. Its fitting labels wrap at the
// width it shows.
GtkWidget *fit_scroller(GtkWidget *content);

// Puts `content` into the empty `scroller`, scrolled to its top left.
void fit_scroller_show(GtkWidget *scroller, GtkWidget *content);

// Sets the wrap of every fitting label in `scroller` (made by
// fit_scroller, packed into its window and shown) for the width its window
// will have: the main window's width or what the rest of the window needs,
// whichever is wider, within the work area. A screen calls it once it is
// up, before the toolkit lays it out, so that a long line never widens the
// window first.
void fit_prepare(GtkWidget *scroller);
