// The images an item's question text or explanation references, as the
// pages and the answer window show them: under the text, scaled down to
// fit the content area, with a button (and a click) that opens each at full
// size in a window of its own. An image that can't be shown stands as its
// alternative text in a frame. Decoded images are kept until the run ends.
#pragma once

#include <cstddef>

#include "run/owner.h"

typedef struct _GtkWidget GtkWidget;

// `text_widget` (which shows `text` without its references) with the
// images that `text` references under it, in a vertical box; the widget
// itself when there are none. `what` names the text's place ("the question
// of item 3") in the line on standard error about an image not shown.
GtkWidget *with_exhibits(GtkWidget *text_widget, const char *text, const char *what);

// The largest size an image is shown at on a page: the content area's
// width less the page's frames and borders, and two fifths of its height.
void exhibit_fit_box(int *width, int *height);

// The run's observer: the images decoded for a run go when it ends.
void exhibit_on_run(run_event event, run_record *run, void *data);

// The most the full pictures kept for a run take together (256 MiB unless
// told): past it the ones decoded before the newest are let go, and
// decoded again when they come back.
void exhibit_keep_at_most(size_t bytes);

// How often an image has been decoded since the program started (the
// benchmark and the tests see the cache work).
int exhibit_decode_count(void);
