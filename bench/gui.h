// Helpers of the benchmarks that drive real widgets.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace bench {

// Lets GTK do everything pending, including the X server's answers to what
// it asked (maps, exposes), until nothing is left: the screen is drawn and
// the program idle.
void settle();

// Runs the main loop until `window` is mapped on the X server.
void wait_for_map(GtkWidget *window);

// The first button (check and radio buttons too) under `root` whose label
// is `label`, or none.
GtkWidget *find_button(GtkWidget *root, const std::string &label);

// The first widget under `root` of `type` that `skip` is not, or none.
GtkWidget *find_of_type(GtkWidget *root, GType type, GtkWidget *skip = nullptr);

// Seconds on a monotonic clock.
double now();

} // namespace bench
