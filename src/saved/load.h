// Opening a saved exam: the load dialog and its buttons.
#pragma once

typedef struct _GtkWidget GtkWidget;

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
