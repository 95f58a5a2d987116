// Opening a saved exam: the load dialog and its buttons.
#pragma once

typedef struct _GtkWidget GtkWidget;
struct question;
struct run_header;

// ---- A saved exam file into the running exam ----

// Sets the globals the header holds: texts terminated within their slots,
// the four flags 0 or 1; a time that isn't a plain decimal int leaves its
// global alone; an exam name that could lead out of the exam root becomes
// empty.
void set_globals(const unsigned char *header);
// The same from a header already read.
void apply_header(const run_header &h);
// Reads a saved exam file; the globals take its header's values. A file
// that is refused is told with the read error dialog and changes no
// global. Returns the list, or none (a file of a header alone is no
// failure).
question *read_list(const char *path);

// ---- The load dialog ----

// "activate" handler of the Exam menu's Open Exam item: the load dialog
// opens in savedir.
void cb_load_exam(GtkWidget *widget, void *data);
// Shows the load dialog with `filename` filled in.
void get_load_filename_dialog(const char *filename, const char *title);
// OK of the load dialog: reads the chosen file into QP and shows its resume
// form. Open Exam stays insensitive then, and is usable again when nothing
// could be loaded.
void load_file(GtkWidget *widget, void *dialog);
// Cancel of the load dialog.
void cb_fns_cancel2(GtkWidget *widget, void *dialog);
// Closes an open load dialog without loading.
void close_load_dialog(void);

// 1 when the file can be opened for reading, else 0.
int file_exists(const char *path);
