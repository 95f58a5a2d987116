// Saving the running exam: the save dialog and its buttons, and the file
// selection dialog that the save and load dialogs share.
#pragma once

#include <string>

#include "bank/saved_file.h"

typedef struct _GtkWidget GtkWidget;

using file_button_handler = void (*)(GtkWidget *, void *);

// One kind of file dialog of the Exam menu: the menu item that is held
// insensitive while the dialog is open, where the open dialog is kept, and
// the handlers of its OK and Cancel buttons (given the dialog as data).
struct file_dialog_kind {
    GtkWidget **item;
    GtkWidget **open;
    file_button_handler ok;
    file_button_handler cancel;
};

// Shows a file selection titled `title` with `filename` filled in and no
// file operation buttons, and makes the kind's menu item insensitive. OK
// and Cancel run their handler and then close the dialog (destroyed once
// the press is over); however the dialog goes (its window's close box too)
// the item becomes sensitive again, unless keep_item_insensitive was called
// for it. The name field and the two lists carry accessible names. Returns at once.
// While one dialog of the kind is open it is brought to the front instead.
void show_file_dialog(const file_dialog_kind &kind, const char *filename, const char *title);
// Leaves the menu item insensitive when `dialog` goes.
void keep_item_insensitive(GtkWidget *dialog);
// The path chosen in a file selection dialog: the selection's own, or a
// whole path typed in while the folder it shows can't be read. Empty when
// there is none (a bare name typed there, or nothing); *typed, when given,
// is the text of the name field.
std::string chosen_file(GtkWidget *dialog, std::string *typed = nullptr);
// Tells that no file was chosen: one line on standard error, and the
// write (saving) or read error dialog with the name typed.
void no_file_chosen(const std::string &typed, bool saving);

// ---- The running exam into a saved exam file ----

// The header of the running exam: the globals, and the exam's title read
// afresh from its configuration file ("UNKNOWN" when that can't be read).
run_header header_of_run(void);
// Fills the RECORD_SIZE bytes of `area` with that header and the local
// time now.
void create_header(unsigned char *area);
// Writes the saved exam file of the running exam's list (any record of it)
// to `path`; a failure is told with the write error dialog. Returns the
// records written, header included, or 0.
int write_list(const char *path, question *q);

// ---- The save dialog ----

// "activate" handler of the Exam menu's Save Exam item: proposes a file
// name in savedir made of the exam, the examinee and the time now.
void cb_save_exam(GtkWidget *widget, void *data);
// Shows the save dialog with `filename` proposed.
void get_save_filename_dialog(const char *filename, const char *title);
// OK of the save dialog: writes QP to the chosen file, asking first when
// one is there; the run goes on.
void store_file(GtkWidget *widget, void *dialog);
// Cancel of the save dialog.
void cb_fns_cancel(GtkWidget *widget, void *dialog);
// Closes an open save dialog without saving.
void close_save_dialog(void);
