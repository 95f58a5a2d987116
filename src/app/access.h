// What assistive technology (a screen reader, switch access) is told about
// our controls where the widgets alone don't say it. Without an
// accessibility module loaded these calls cost next to nothing.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;

// Gives `widget` an accessible name and, when given, a description.
void access_name(GtkWidget *widget, const char *name, const char *description = nullptr);

// Links `widget` to the label that names it, both ways, and takes the
// label's text as its name.
void access_labelled_by(GtkWidget *widget, GtkWidget *label);

// Settles a radio group for assistive technology once all its members are
// made; `shown` holds the members on screen, top to bottom. `hidden`, when
// given, is the group's member that is never shown and holds the group's
// activity while no shown choice is ticked: it never takes focus, no shown
// member counts it in its group, and while it is active the first shown
// member lets focus in (a group otherwise admits focus only through its
// active member).
void access_radio_group(GtkWidget *hidden, GtkWidget *const *shown, int count);

// Text from an exam's files, shown as markup, as a screen reader reads it:
// the markup's plain text, or the text itself when it isn't markup.
std::string access_plain(const char *markup);

// Tells `widget` what a screen reader says with it once it has the focus:
// `text` as its description, and `by` (labels whose texts make it up, up
// to `count`) as what describes it, both ways.
void access_described_by(GtkWidget *widget, const std::string &text, GtkWidget *const *by = nullptr,
                         int count = 0);

// Makes `window` a dialog to assistive technology, whose text is `text`:
// what a screen reader reads when it comes up.
void access_dialog(GtkWidget *window, const std::string &text);
