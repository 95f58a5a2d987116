#include "run/form.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <climits>
#include <string>

#include "app/access.h"
#include "app/dialogs.h"
#include "app/fit.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/buffer.h"
#include "bank/glib_ptr.h"
#include "bank/markup.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "run/callback.h"
#include "run/owner.h"

// ---- Start form ----

static GtkWidget *aligned_label(const char *text, GtkJustification justify, float x, float y)
{
    GtkWidget *label = gtk_label_new(text);
    gtk_label_set_justify(GTK_LABEL(label), justify);
    gtk_misc_set_alignment(GTK_MISC(label), x, y);
    // Beside the options, the panel wraps its lines only where the form
    // would be wider than the screen.
    fit_label(label, true);
    return label;
}

static GtkWidget *start_info_panel(const start_form_texts &t)
{
    std::string source = t.source ? t.source : "the exam";
    GtkWidget *title = aligned_label(nullptr, GTK_JUSTIFY_CENTER, 0.5, 0.0);
    set_label_markup_or_text(GTK_LABEL(title), t.title, ("the title in " + source).c_str(),
                             MARKUP_MAX_TITLE_HEIGHT);
    GtkWidget *message = aligned_label(nullptr, GTK_JUSTIFY_LEFT, 0.1, 0.0);
    set_label_markup_or_text(GTK_LABEL(message), t.message, ("the message in " + source).c_str(),
                             MARKUP_MAX_MESSAGE_HEIGHT);

    GtkWidget *info = gtk_vbox_new(FALSE, 10);
    gtk_box_pack_start(GTK_BOX(info), title, TRUE, TRUE, 5);
    gtk_box_pack_start(GTK_BOX(info), message, TRUE, TRUE, 1);
    for (const char *line : {t.count, t.time, t.pass})
        gtk_box_pack_start(GTK_BOX(info), aligned_label(line, GTK_JUSTIFY_LEFT, 0.1, 0.0), TRUE,
                           TRUE, 1);
    gtk_box_pack_end(GTK_BOX(info), aligned_label(t.prompt, GTK_JUSTIFY_RIGHT, 0.9, 0.9), TRUE,
                     TRUE, 1);

    return framed(colour_panel(info, "white"), nullptr, 0);
}

// Every button is preset from the globals before its handler is connected,
// so building the form runs no handler.
static GtkWidget *start_mode_group(void)
{
    GtkWidget *train = gtk_radio_button_new_with_label(nullptr, "Training Mode");
    GtkWidget *exam = gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(train),
                                                                  "Exam Mode");
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    for (GtkWidget *b : {train, exam}) {
        gtk_container_set_border_width(GTK_CONTAINER(b), 10);
        gtk_box_pack_start(GTK_BOX(box), b, FALSE, FALSE, 0);
    }
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(training == 1 ? train : exam), TRUE);
    // One group: every change of mode toggles "Training Mode" exactly once.
    g_signal_connect(train, "toggled", G_CALLBACK(set_mode2), nullptr);
    GtkWidget *group[] = {train, exam};
    access_radio_group(nullptr, group, G_N_ELEMENTS(group));
    return framed(box, "Exam Mode", 7);
}

static GtkWidget *start_option_group(void)
{
    cb_answer = gtk_check_button_new_with_label("Enable Answer Button");
    cb_timer = gtk_check_button_new_with_label("Enable Timer");
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    for (GtkWidget *b : {cb_answer, cb_timer}) {
        gtk_container_set_border_width(GTK_CONTAINER(b), 10);
        gtk_box_pack_start(GTK_BOX(box), b, FALSE, FALSE, 0);
    }
    gtk_widget_set_sensitive(cb_answer, training != 0);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(cb_answer), enableAnswer == 1);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(cb_timer), enableTimer == 1);
    g_signal_connect(cb_answer, "toggled", G_CALLBACK(set_answer_mode), nullptr);
    g_signal_connect(cb_timer, "toggled", G_CALLBACK(set_timer_mode), nullptr);
    return framed(box, "Exam Options", 7);
}

static GtkWidget *start_name_group(GtkWidget **name_entry)
{
    GtkWidget *entry = gtk_entry_new();
    gtk_entry_set_max_length(GTK_ENTRY(entry), ANSWER_SIZE);
    // Return in the name starts the exam.
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    GtkWidget *box = gtk_vbox_new(TRUE, 0);
    gtk_container_set_border_width(GTK_CONTAINER(box), 10);
    gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 5);
    if (username[0])
        gtk_entry_set_text(GTK_ENTRY(entry), username);
    g_signal_connect(entry, "changed", G_CALLBACK(set_examinee_name), entry);
    GtkWidget *group = framed(box, "Examinee Name", 0);
    access_labelled_by(entry, gtk_frame_get_label_widget(GTK_FRAME(group)));
    *name_entry = entry;
    return group;
}

void show_start_form(const start_form_texts &texts, button_handler start)
{
    GtkWidget *name = nullptr;
    GtkWidget *column = gtk_vbox_new(FALSE, 0);
    for (GtkWidget *group : {start_mode_group(), start_option_group(), start_name_group(&name)})
        gtk_box_pack_start(GTK_BOX(column), group, TRUE, TRUE, 10);

    GtkWidget *sides = gtk_hbox_new(FALSE, 10);
    gtk_container_set_border_width(GTK_CONTAINER(sides), 7);
    gtk_box_pack_start(GTK_BOX(sides), start_info_panel(texts), TRUE, TRUE, 10);
    gtk_box_pack_start(GTK_BOX(sides), column, TRUE, TRUE, 10);
    GtkWidget *f = framed(sides, nullptr, 7);

    GtkWidget *bar = screen_button_bar();
    screen_add_button(bar, " Cancel ", true, cb_cancel, nullptr);
    GtkWidget *go = screen_add_button(bar, " Start Exam ", true, start, nullptr);
    // What the information panel says, read with whichever of the two takes
    // the focus first: no label there can take it.
    std::string about = access_plain(texts.title) + "\n" + access_plain(texts.message) + "\n" +
                        texts.count + "\n" + texts.time + "\n" + texts.pass;
    access_described_by(name, about);
    access_described_by(go, about);
    // A name still to give is what the examinee does next; with one given,
    // starting is.
    screen_put_up(f, bar, username[0] ? go : name);
    screen_set_default(go);
}

// The practice run whose start form comes next, if any.
static bool practice = false;
static std::string practice_count;
static button_handler practice_start = nullptr;

void start_form_for_practice(const std::string &count_line, button_handler start)
{
    practice = true;
    practice_count = count_line;
    practice_start = start;
}

void createExamStart(void)
{
    // A practice run of past mistakes says how many items it holds.
    bool practice_form = practice;
    practice = false;
    screen_take_down();

    std::string config = gchar_ptr(g_build_filename(examdir, examname, examconfig, nullptr)).get();
    if (config.size() > MAX_PATH_CHARS || !fileexists(config.c_str())) {
        installation_warning(("Can't find configfile " + config +
                              "\n\nUnable to run practice exam\n\nCheck your installation\n\n"
                              "examdir:" + examdir + "\nexamname:" + examname +
                              "\nexamconfig:" + examconfig).c_str());
        return;
    }

    // Read once for all four values. One that can't be read (too large,
    // or gone since the check) says so, as a missing one does.
    exam_config read;
    gerror_ptr why;
    if (!read_named_config(examdir, examconfig, examname, &read, out_error(why))) {
        installation_warning(("Can't read configfile " + config + ": " + why->message +
                              "\n\nUnable to run practice exam\n\nCheck your installation\n\n")
                                 .c_str());
        return;
    }
    const std::string &title = read.title;
    const std::string &message = read.message;
    // A damaged timeout must not overflow the seconds, either way.
    int minutes = std::clamp(read.timeout.value, INT_MIN / 60, INT_MAX / 60);
    seconds = 60 * minutes;
    percentage = read.percentage.value;

    std::string count = practice_form ? practice_count
                                 : "This practice exam contains " + std::to_string(num_questions) +
                                       " questions.";
    std::string time = "You will have " + std::to_string(seconds / 60) +
                       " minutes to finish the exam.";
    std::string pass = "You need " + std::to_string(percentage) + "% correct answers to pass.";
    show_start_form({title.c_str(), message.c_str(), count.c_str(), time.c_str(), pass.c_str(),
                     "Select your options and\npress \"Start Exam\" to begin", config.c_str()},
                    practice_form ? practice_start : cb_start);
}

// ---- Resume form ----

void createExamLoad(question *q)
{
    run_hold(q);
    q = QP;
    // A damaged file may announce more items than it holds.
    if (q)
        num_questions = list_length(q);

    // The date is our own text, never markup, whatever the file holds.
    gchar *date = g_markup_escape_text(savedate, -1);
    std::string message = std::string("Exam was saved: ") + date +
                          "\n\nIf you choose to use the timer and it was\n"
                          "activated when you saved the exam, you will\n"
                          "get the amount of time, you had when the\nexam was saved\n";
    g_free(date);
    std::string count = "This practice exam contains " + std::to_string(num_questions) +
                        " questions.";
    std::string time = "You will have " + std::to_string(seconds / 60) + ":" +
                       std::to_string(seconds % 60) + " minutes to finish the exam.";
    std::string pass = "You need " + std::to_string(percentage) + "% correct answers to pass.";
    show_start_form({examtitle, message.c_str(), count.c_str(), time.c_str(), pass.c_str(),
                     "Select your options and\npress \"Start Exam\" to begin", "the saved exam"},
                    cb_load_start);
}
