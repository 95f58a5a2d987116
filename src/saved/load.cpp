#include "saved/load.h"

#include <gtk/gtk.h>

#include <string>

#include "app/dialogs.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/navigator.h"
#include "bank/buffer.h"
#include "bank/glib_ptr.h"
#include "bank/question.h"
#include "bank/saved_file.h"
#include "bank/tools.h"
#include "saved/store.h"

// ---- A saved exam file into the running exam ----

void apply_header(const run_header &h)
{
    g_strlcpy(examname, h.examname, sizeof examname);
    g_strlcpy(username, h.username, sizeof username);
    g_strlcpy(savedate, h.savedate, sizeof savedate);
    g_strlcpy(examtitle, h.examtitle, sizeof examtitle);
    num_questions = h.num_questions;
    percentage = h.percentage;
    exam_ended = h.exam_ended;
    training = h.training;
    enableTimer = h.enableTimer;
    enableAnswer = h.enableAnswer;
    if (h.seconds_valid)
        seconds = h.seconds;
    if (h.passed_time_valid)
        passed_time = h.passed_time;
}

void set_globals(const unsigned char *header)
{
    apply_header(read_header(header));
}

question *read_list(const char *path)
{
    gerror_ptr error;
    run_header header;
    question *list = load_list_file(path, nullptr, &header, out_error(error));
    if (!list) {
        g_printerr("%s\n", error->message);
        file_read_error_dialog(path ? path : "");
        return nullptr;
    }
    apply_header(header);
    return list;
}

// ---- The load dialog ----

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
    std::string typed;
    std::string path = chosen_file(GTK_WIDGET(dialog), &typed);
    if (path.empty())
        no_file_chosen(typed, false);
    question *list = path.empty() ? nullptr : read_list(path.c_str());
    if (!list) {
        open_usable();
        return;
    }
    // No run is going on (the load dialog closes when one begins): the
    // resume form has the run's owner hold the list in place of any held
    // before, whose resume form was left without starting. The run begins,
    // and the countdown starts, with its " Start Exam ".
    keep_item_insensitive(GTK_WIDGET(dialog));
    show_screen(SCREEN_RESUME_FORM, list);
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
