#include "saved/store.h"

#include <gtk/gtk.h>

#include <string>

#include "app/access.h"
#include "app/dialogs.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/glib_ptr.h"
#include "bank/question.h"
#include "bank/saved_file.h"
#include "bank/tools.h"
#include "saved/load.h"

// ---- The running exam into a saved exam file ----

run_header header_of_run(void)
{
    run_header h;
    g_strlcpy(h.examname, examname, sizeof h.examname);
    g_strlcpy(h.username, username, sizeof h.username);
    // An exam whose configuration has gone since it was started gets the
    // same title as one whose configuration has none.
    std::string title = "UNKNOWN";
    getExamTitle(examdir, examconfig, examname, &title, nullptr);
    utf8_strlcpy(h.examtitle, title.c_str(), sizeof h.examtitle);
    h.seconds = seconds;
    h.passed_time = passed_time;
    h.num_questions = num_questions;
    h.percentage = percentage;
    h.exam_ended = exam_ended;
    h.training = training;
    h.enableTimer = enableTimer;
    h.enableAnswer = enableAnswer;
    return h;
}

void create_header(unsigned char *area)
{
    create_header(area, header_of_run());
}

int write_list(const char *path, question *q)
{
    gerror_ptr error;
    int records = save_list_file(path, q, header_of_run(), out_error(error));
    if (!records) {
        g_printerr("%s\n", error->message);
        file_write_error_dialog(path ? path : "");
    }
    return records;
}

// ---- The file dialogs of the Exam menu ----

static const char KEEP_ITEM[] = "trialix-keep-item";

static void file_dialog_gone(GtkWidget *dialog, void *data)
{
    auto *kind = static_cast<const file_dialog_kind *>(data);
    if (*kind->open == dialog)
        *kind->open = nullptr;
    // Closed through its window frame too: the command must be usable again.
    if (*kind->item && !g_object_get_data(G_OBJECT(dialog), KEEP_ITEM))
        gtk_widget_set_sensitive(*kind->item, TRUE);
}

// After the OK or Cancel handler: the dialog is done with at once (the
// command may be used again), but destroyed only once the press is over.
static void close_file_dialog(GtkWidget *button, void *data)
{
    GtkWidget *dialog = gtk_widget_get_toplevel(button);
    g_signal_handlers_disconnect_by_func(dialog, (gpointer)file_dialog_gone, data);
    file_dialog_gone(dialog, data);
    window_close_later(dialog);
}

void show_file_dialog(const file_dialog_kind &kind, const char *filename, const char *title)
{
    // The item can be made usable under an open dialog (a start form gives
    // the idle menus back); a second dialog of the kind would only confuse.
    if (*kind.open) {
        gtk_window_present(GTK_WINDOW(*kind.open));
        return;
    }
    GtkWidget *dialog = gtk_file_selection_new(title);
    GtkFileSelection *fs = GTK_FILE_SELECTION(dialog);
    gtk_file_selection_set_filename(fs, filename);
    // The selection can't go into a folder that isn't there and would stay
    // in the current one, putting the name there. The whole path in the
    // name field keeps it: OK then fails with the error dialog instead of
    // writing elsewhere.
    gchar_ptr folder(g_path_get_dirname(filename));
    if (!g_file_test(folder.get(), G_FILE_TEST_IS_DIR))
        gtk_entry_set_text(GTK_ENTRY(fs->selection_entry), filename);
    gtk_file_selection_hide_fileop_buttons(fs);
    // The lists' column titles and the line above the entry (which shows
    // the selection or an error) name nothing for a screen reader.
    access_name(fs->selection_entry, "File name");
    access_name(fs->dir_list, "Folders");
    access_name(fs->file_list, "Files");
    if (main_window) {
        // Above the main window, so that it isn't lost behind it.
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(main_window));
        gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
    }
    void *data = const_cast<file_dialog_kind *>(&kind);
    g_signal_connect(fs->ok_button, "clicked", G_CALLBACK(kind.ok), dialog);
    g_signal_connect(fs->ok_button, "clicked", G_CALLBACK(close_file_dialog), data);
    g_signal_connect(fs->cancel_button, "clicked", G_CALLBACK(kind.cancel), dialog);
    g_signal_connect(fs->cancel_button, "clicked", G_CALLBACK(close_file_dialog), data);
    g_signal_connect(dialog, "destroy", G_CALLBACK(file_dialog_gone), data);
    *kind.open = dialog;
    gtk_widget_show(dialog);
    if (*kind.item)
        gtk_widget_set_state(*kind.item, GTK_STATE_INSENSITIVE);
}

void keep_item_insensitive(GtkWidget *dialog)
{
    g_object_set_data(G_OBJECT(dialog), KEEP_ITEM, GINT_TO_POINTER(1));
}

std::string chosen_file(GtkWidget *dialog, std::string *typed)
{
    GtkFileSelection *fs = GTK_FILE_SELECTION(dialog);
    const char *name = gtk_entry_get_text(GTK_ENTRY(fs->selection_entry));
    if (typed)
        *typed = name;
    std::string path = gtk_file_selection_get_filename(fs);
    if (!path.empty())
        return path;
    // While the folder it shows can't be read, the selection gives no
    // name at all, not even for a whole path typed in; that path is still
    // the examinee's choice. A bare name has no folder to go in.
    gchar_ptr local(g_filename_from_utf8(name, -1, nullptr, nullptr, nullptr));
    if (local && g_path_is_absolute(local.get()))
        return local.get();
    return std::string();
}

void no_file_chosen(const std::string &typed, bool saving)
{
    if (typed.empty())
        g_printerr("Trialix: no file name given\n");
    else
        g_printerr("Trialix: %s: the folder the file selection shows can't be read; "
                   "type the whole path\n", typed.c_str());
    if (saving)
        file_write_error_dialog(typed.c_str());
    else
        file_read_error_dialog(typed.c_str());
}

// ---- Saving ----

static GtkWidget *save_dialog = nullptr;
static const file_dialog_kind SAVE_DIALOG = {&exam_save, &save_dialog, store_file, cb_fns_cancel};

// Save Exam is usable from the moment a run is started, even when no item
// could be drawn; a file of a header alone would later open as nothing.
static void nothing_to_save(void)
{
    run_message_dialog(main_window, GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE, nullptr,
                       "There is no exam to save.\n\n");
}

static void save_usable(void)
{
    if (exam_save)
        gtk_widget_set_sensitive(exam_save, TRUE);
}

void cb_save_exam(GtkWidget *, void *)
{
    if (!QP) {
        nothing_to_save();
        return;
    }
    char name[PATH_SIZE];
    // With no room left for a name the folder is proposed; the examinee
    // types one.
    std::string proposal = default_save_name(name, sizeof name, savedir, examname, username,
                                             time(nullptr), nullptr)
                               ? std::string(name)
                               : dir_prefix(savedir);
    get_save_filename_dialog(proposal.c_str(), "Select filename to save the exam");
}

void get_save_filename_dialog(const char *filename, const char *title)
{
    show_file_dialog(SAVE_DIALOG, filename, title);
}

void store_file(GtkWidget *, void *dialog)
{
    std::string typed;
    std::string path = chosen_file(GTK_WIDGET(dialog), &typed);
    if (path.empty()) {
        no_file_chosen(typed, true);
        save_usable();
        return;
    }
    // A folder is no file to replace: writing it fails with the write
    // error, without first asking to overwrite it. A file the examinee
    // can't read is asked about like any other.
    bool replaces = save_replaces_a_file(path.c_str());
    if (!QP)
        nothing_to_save();
    else if (!replaces || overwrite_file_dialog(path.c_str()))
        write_list(path.c_str(), QP);
    save_usable();
}

void cb_fns_cancel(GtkWidget *, void *)
{
    save_usable();
}

void close_save_dialog(void)
{
    if (save_dialog)
        gtk_widget_destroy(save_dialog);
}
