// Copies left behind by programs that are gone: asked about once at
// start-up, resumed, or kept as saved exams.
#include "saved/recovery.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/globals.h"
#include "app/navigator.h"
#include "bank/glib_ptr.h"
#include "bank/markup.h"
#include "bank/question.h"
#include "bank/recovery.h"
#include "bank/saved_file.h"
#include "bank/text.h"
#include "bank/tools.h"
#include "run/owner.h"
#include "saved/load.h"

namespace {

enum { RESPONSE_RESUME = RECOVERY_RESPONSE_RESUME, RESPONSE_KEEP_ALL = RECOVERY_RESPONSE_KEEP_ALL };
// A notice lists this many kept files by name, and counts the rest.
enum { KEPT_NAMED = 10 };
// The list of copies scrolls beyond this height (pixels).
enum { LIST_HEIGHT_MAX = 320 };

// A copy found whose program is gone, as far as it could be read.
struct left_copy {
    recovery_slot slot;
    run_header header;
};

// What became of a copy that was not resumed.
struct kept_copy {
    std::string path;    // "" when it could not be kept
    std::string error;   // why it could not be kept
    bool damaged = false;
    std::string why;     // why a damaged one could not be read
};

int tell(GtkMessageType type, GtkButtonsType buttons, const std::string &text)
{
    return run_message_dialog(main_window, type, buttons, nullptr, text.c_str());
}

std::string shown_path(const std::string &path)
{
    gchar_ptr absolute(g_canonicalize_filename(path.c_str(), nullptr));
    gchar_ptr shown(g_filename_display_name(absolute.get()));
    return shown.get();
}

// When a copy was last written, as the resume form gives a save's time.
std::string written_at(gint64 mtime)
{
    return format_time(mtime / G_USEC_PER_SEC, "%m/%d %H:%M:%S");
}

// A copy's list, read as copies are (bank/recovery); none with *why.
question *load_copy(const recovery_slot &slot, run_header *h, std::string *why)
{
    gerror_ptr error;
    FILE *f = recovery_open_copy(slot.copy, out_error(error));
    if (!f) {
        *why = slot.copy + ": " + error->message;
        return nullptr;
    }
    question *list = load_list_file(slot.copy.c_str(), f, h, out_error(error));
    if (list)
        return list;
    *why = error->message;
    return nullptr;
}

// The header of a copy the loader refused, as far as it can be read.
run_header header_if_any(const std::string &path)
{
    run_header h;
    if (FILE *f = recovery_open_copy(path, nullptr)) {
        unsigned char record[RECORD_SIZE];
        if (fread(record, RECORD_SIZE, 1, f) == 1)
            h = read_header(record);
        fclose(f);
    }
    return h;
}

// Saves proposed in a folder given relative to where Trialix was started
// (no documents folder is set) land there; the examinee is told so.
std::string fallback_note(void)
{
    if (g_path_is_absolute(savedir))
        return "";
    return "\nNo documents folder is set, so Trialix keeps exams in the folder it was started "
           "from, where Save Exam proposes to save too.\n";
}

// Keeps a copy as a saved exam under the name Save Exam would propose (its
// time the copy's), in savedir, or in the state folder when savedir takes
// nothing.
kept_copy keep_aside(recovery_slot *slot, const run_header &h)
{
    kept_copy k;
    char name[PATH_SIZE];
    time_t when = (time_t)(slot->mtime / G_USEC_PER_SEC);
    if (!default_save_name(name, sizeof name, "", h.examname[0] ? h.examname : "recovered",
                           h.username, when, nullptr))
        g_strlcpy(name, "recovered", sizeof name);
    gerror_ptr error;
    k.path = recovery_set_aside(slot->copy.c_str(), savedir, name, out_error(error));
    if (k.path.empty()) {
        k.error = error->message;
        gchar_ptr state(g_build_filename(g_get_user_state_dir(), "trialix", "kept", nullptr));
        std::string first = k.error;
        if (g_mkdir_with_parents(state.get(), 0700) == 0) {
            error.reset();
            k.path = recovery_set_aside(slot->copy.c_str(), state.get(), name, out_error(error));
            if (error)
                k.error = error->message;
        }
        if (k.path.empty())
            k.error = first + "; " + k.error;
    }
    if (!k.path.empty())
        recovery_discard(slot);
    else
        recovery_release(slot);
    return k;
}

// One notice for everything kept: the texts of old for a single copy, a
// list for several.
void tell_kept(const std::vector<kept_copy> &kept)
{
    if (kept.empty())
        return;
    if (kept.size() == 1) {
        const kept_copy &k = kept[0];
        if (k.path.empty())
            tell(GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE,
                 "An exam left running could not be kept as a saved exam (" + k.error +
                     ").\n\nIt is offered again at the next start.\n");
        else if (k.damaged)
            tell(GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE,
                 "An exam left running could not be read (" + k.why +
                     ").\n\nIts file was kept as:\n" + shown_path(k.path) + "\n" + fallback_note());
        else
            tell(GTK_MESSAGE_INFO, GTK_BUTTONS_CLOSE,
                 "The exam was kept as a saved exam:\n" + shown_path(k.path) + "\n" +
                     fallback_note() +
                     "\nOpen it with Open Exam in the Exam menu to go on with it.\n");
        return;
    }
    std::string named, failed_error;
    int done = 0, damaged = 0, failed = 0;
    for (const kept_copy &k : kept) {
        if (k.path.empty()) {
            if (!failed++)
                failed_error = k.error;
            continue;
        }
        damaged += k.damaged;
        if (done++ < KEPT_NAMED)
            named += shown_path(k.path) + (k.damaged ? " (could not be read)" : "") + "\n";
    }
    std::string text;
    if (done) {
        text = std::to_string(done) + (done == 1 ? " exam" : " exams") +
               " left running " + (done == 1 ? "was" : "were") + " kept as saved exams:\n" +
               named;
        if (done > KEPT_NAMED)
            text += "and " + std::to_string(done - KEPT_NAMED) + " more beside them\n";
        text += fallback_note();
        text += "\nOpen them with Open Exam in the Exam menu to go on with them.\n";
    }
    if (failed)
        text += (done ? "\n" : "") + std::to_string(failed) +
                (failed == 1 ? " exam" : " exams") + " left running could not be kept (" +
                failed_error + ").\nThey are offered again at the next start.\n";
    tell(damaged || failed ? GTK_MESSAGE_WARNING : GTK_MESSAGE_INFO, GTK_BUTTONS_CLOSE, text);
}

std::string title_of(const run_header &h)
{
    std::string title;
    if (!markup_plain_text(h.examtitle, &title, nullptr))
        title = h.examtitle;
    return title;
}

std::string time_left(const run_header &h)
{
    return minutes_seconds(h.seconds);
}

bool timed(const run_header &h)
{
    return h.enableTimer && h.seconds_valid;
}

// Said in the question when the copies' folder can't be written.
std::string read_only_note(const std::string &why)
{
    if (why.empty())
        return "";
    return "\n\nThe recovery folder can't be written (" + why +
           "): the copies stay in it and are offered again at the next start.";
}

bool ask_resume(const left_copy &c, const std::string &read_only)
{
    const run_header &h = c.header;
    std::string text = "An exam was still running when Trialix last ended.\n\nExam: " +
                       title_of(h) + "\nExaminee: " + (h.username[0] ? h.username : "(no name)") +
                       "\nLast written: " + written_at(c.slot.mtime);
    if (timed(h))
        text += "\nTime left: " + time_left(h);
    text += read_only_note(read_only) + "\n\nDo you want to resume it?";
    return tell(GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, text) == GTK_RESPONSE_YES;
}

// Several copies: one question listing them, newest first, one chosen to
// resume (the newest to begin with) or all kept. The index of the one to
// resume, or -1.
int choose_copy(const std::vector<left_copy> &copies, const std::string &read_only)
{
    std::string text = std::to_string(copies.size()) +
                       " exams were still running when Trialix last ended, newest first.\n\n"
                       "Choose the one to resume: the others are kept as saved exams. Or keep "
                       "them all as saved exams." +
                       read_only_note(read_only);
    GtkWidget *dialog = gtk_message_dialog_new(
        main_window ? GTK_WINDOW(main_window) : nullptr,
        GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), GTK_MESSAGE_QUESTION,
        GTK_BUTTONS_NONE, "%s", text.c_str());
    gtk_dialog_add_button(GTK_DIALOG(dialog), "_Keep All as Saved Exams", RESPONSE_KEEP_ALL);
    gtk_dialog_add_button(GTK_DIALOG(dialog), "_Resume", RESPONSE_RESUME);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), RESPONSE_RESUME);

    GtkWidget *rows = gtk_vbox_new(FALSE, 2);
    atk_object_set_name(gtk_widget_get_accessible(rows), "Exams left running");
    std::vector<GtkWidget *> radios;
    GSList *group = nullptr;
    for (const left_copy &c : copies) {
        const run_header &h = c.header;
        std::string row = title_of(h) + ", " + (h.username[0] ? h.username : "(no name)") +
                          ", last written " + written_at(c.slot.mtime);
        if (timed(h))
            row += ", time left " + time_left(h);
        // A plain label: nothing of the file is taken as markup or mnemonic.
        GtkWidget *radio = gtk_radio_button_new_with_label(group, row.c_str());
        group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(radio));
        gtk_box_pack_start(GTK_BOX(rows), radio, FALSE, FALSE, 0);
        radios.push_back(radio);
    }
    GtkWidget *scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(scroll), rows);
    // Moving through the list by keys scrolls it to the focused row.
    gtk_container_set_focus_vadjustment(
        GTK_CONTAINER(rows), gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scroll)));
    gtk_widget_show_all(rows);   // a hidden widget asks for no room
    GtkRequisition natural;
    gtk_widget_size_request(rows, &natural);
    gtk_widget_set_size_request(scroll, -1, std::min<int>(natural.height + 4, LIST_HEIGHT_MAX));
    gtk_box_pack_start(GTK_BOX(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog))),
                       scroll, TRUE, TRUE, 0);
    gtk_widget_show_all(scroll);
    gtk_widget_grab_focus(radios[0]);

    int response = gtk_dialog_run(GTK_DIALOG(dialog));
    int chosen = -1;
    if (response == RESPONSE_RESUME)
        for (size_t i = 0; i < radios.size(); i++)
            if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(radios[i])))
                chosen = (int)i;
    gtk_widget_destroy(dialog);
    return chosen;
}

// As Open Exam does: the header's settings, then the resume form. The
// copy is held until its run starts.
void resume(left_copy *c)
{
    std::string why;
    run_header h;
    question *list = load_copy(c->slot, &h, &why);
    if (!list) {
        // Held under our lock since it was read, so this is a failing disk.
        kept_copy k = keep_aside(&c->slot, header_if_any(c->slot.copy));
        k.damaged = true;
        k.why = why;
        tell_kept({k});
        return;
    }
    apply_header(h);
    run_hold(list);
    recovery_resume_from(c->slot);
    if (exam_open)
        gtk_widget_set_sensitive(exam_open, FALSE);
    show_screen(SCREEN_RESUME_FORM, list);
}

} // namespace

void recovery_offer_left(void)
{
    std::string dir = recovery_dir();
    std::vector<std::string> aside;
    std::vector<recovery_slot> found = recovery_find_left(dir, &aside);
    for (const std::string &path : aside) {
        gchar_ptr shown(g_filename_display_name(path.c_str()));
        g_printerr("Trialix: %s is no recovery copy; it was set aside and is no longer looked at\n",
                   shown.get());
    }
    if (found.empty())
        return;
    std::string read_only;
    gerror_ptr not_writable;
    if (!recovery_dir_writable(dir, out_error(not_writable)))
        read_only = not_writable->message;

    std::vector<kept_copy> kept;
    std::vector<left_copy> readable;
    for (recovery_slot &slot : found) {
        std::string why;
        run_header h;
        question *list = load_copy(slot, &h, &why);
        if (!list) {
            kept_copy k = keep_aside(&slot, header_if_any(slot.copy));
            k.damaged = true;
            k.why = why;
            kept.push_back(k);
            continue;
        }
        // Read again when chosen: a hundred lists at once would be large.
        destroy_list(list);
        readable.push_back({slot, h});
    }
    int chosen = -1;
    if (readable.size() == 1)
        chosen = ask_resume(readable[0], read_only) ? 0 : -1;
    else if (readable.size() > 1)
        chosen = choose_copy(readable, read_only);
    for (size_t i = 0; i < readable.size(); i++)
        if ((int)i != chosen)
            kept.push_back(keep_aside(&readable[i].slot, readable[i].header));
    tell_kept(kept);
    if (chosen >= 0)
        resume(&readable[chosen]);
}
