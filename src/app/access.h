// What assistive technology (a screen reader, switch access) is told about
// our controls where the widgets alone don't say it. Without an
// accessibility module loaded these calls cost next to nothing.
#pragma once

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
