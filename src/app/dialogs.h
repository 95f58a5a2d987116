// Message dialogs: the questions and notices put to the examinee during a
// run, and the shared helper that start-up warnings and the About box use.
#pragma once

#include <gtk/gtk.h>

struct question;

// Runs a modal message dialog over `parent` (null for none) until it is
// answered or closed, destroys it and returns the response id. `title` may
// be null for none; `text` is shown exactly as it stands.
int run_message_dialog(GtkWidget *parent, GtkMessageType type, GtkButtonsType buttons,
                       const char *title, const char *text);

// An installation problem found at start-up or when an exam is chosen:
// modal, no parent, warning type, one OK button, titled "Warning".
void installation_warning(const char *text);

// "You have N unanswered items remaining..."; returns the response id.
int unanswered_dialog(int count);

// "Are you certain you want to grade this exam now?"; returns the response id.
int realend_dialog(void);

// No item meets the review options: tells so, then shows the review screen
// (no_item_dialog) or the score report (no_item_dialog2) again for `list`.
void no_item_dialog(question *list);
void no_item_dialog2(question *list);

// A saved exam file could not be written or read.
void file_write_error_dialog(const char *filename);
void file_read_error_dialog(const char *filename);

// Asks before an existing file is replaced. Returns 1 only when the
// examinee answered Yes; No or closing the dialog keeps the file (0).
int overwrite_file_dialog(const char *filename);
