#include "saved/load.h"

#include <gtk/gtk.h>

#include <string>

#include "app/functions.h"
#include "app/globals.h"
#include "bank/buffer.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "run/form.h"
#include "saved/store.h"

static GtkWidget *load_dialog = nullptr;
static const file_dialog_kind LOAD_DIALOG = {&exam_open, &load_dialog, load_file,
                                             cb_fns_cancel2};

int file_exists(const char *path)
{
    return fileexists(path);
}

void cb_load_exam(GtkWidget *, void *)
{
    get_load_filename_dialog(dir_prefix(savedir).c_str(), "Select filename to load");
}

void get_load_filename_dialog(const char *filename, const char *title)
{
    show_file_dialog(LOAD_DIALOG, filename, title);
}

static void open_usable(void)
{
    if (exam_open)
        gtk_widget_set_sensitive(exam_open, TRUE);
}

void load_file(GtkWidget *, void *dialog)
{
    std::string path = chosen_file(GTK_WIDGET(dialog));
    question *list = read_list(path.c_str());
    if (!list) {
        open_usable();
        return;
    }
    // No run is going on (the load dialog closes when one begins), and a
    // run's own list is freed when it ends: a list still held is one whose
    // resume form was left without starting, and nothing shows it.
    trialix_stop_timer();
    if (QP)
        destroy_list(QP);
    QP = list;
    keep_item_insensitive(GTK_WIDGET(dialog));
    createExamLoad(list);
}

void cb_fns_cancel2(GtkWidget *, void *)
{
    open_usable();
}

void close_load_dialog(void)
{
    if (load_dialog)
        gtk_widget_destroy(load_dialog);
}
