// Pieces of the results history window: tables, headed sections and the
// bar cell of its weakest files.
#pragma once

#include <gtk/gtk.h>

#include <vector>

// A table of the store's first columns under `titles`; the table takes the
// store. With `widest` (a text as wide as a column's widest, per column)
// every column gets a fixed width and every row the same height, so that a
// long table is laid out without measuring each of its rows.
GtkWidget *table_of(GtkListStore *store, const std::vector<const char *> &titles,
                    const std::vector<const char *> &widest = {});
// `child` in a scrolled window with a sunken edge.
GtkWidget *scrolled(GtkWidget *child);
// A part of the window under a bold heading. `named`, when given, is the
// control the heading names for assistive technology; *heading_label, when
// asked for, is the heading's label.
GtkWidget *section(const char *heading, GtkWidget *child, GtkWidget *named = nullptr,
                   GtkWidget **heading_label = nullptr);
// A cell that draws its "value" (percent) as a bar under its "text", and
// is read as that text.
GtkCellRenderer *history_bar_new(void);
