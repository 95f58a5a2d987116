#include "run/form.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "app/access.h"
#include "app/dialogs.h"
#include "app/fit.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/buffer.h"
#include "bank/exhibit.h"
#include "bank/glib_ptr.h"
#include "bank/markup.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "run/callback.h"
#include "run/exhibit_view.h"
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

// ---- Pieces of every page that shows one item ----

const char *item_instruction(char type)
{
    const item_kind_info *kind = kind_of_letter(type);
    return kind ? kind->instruction : "Unknown question type!";
}

GtkWidget *item_question_panel(const question *q)
{
    GtkWidget *label = gtk_label_new(nullptr);
    char what[64];
    g_snprintf(what, sizeof what, "the question of item %d", q->number);
    std::string shown = exhibit_strip(q->text);
    set_label_markup_or_text(GTK_LABEL(label), shown.c_str(), what);
    fit_label(label);
    return framed(colour_panel(with_exhibits(label, q->text, what), "white"), nullptr, 0);
}

static std::string item_position(const question *q)
{
    char position[64];
    g_snprintf(position, sizeof position, "Item %d of %d", q->number, num_questions);
    return position;
}

std::string item_context(const question *q)
{
    // The images' words follow the text, as the images follow it on the page.
    std::string said = access_plain(exhibit_strip(q->text).c_str());
    for (const exhibit_ref &ref : exhibit_refs(q->text))
        said += "\nImage: " + ref.alt;
    return said + "\n" + item_position(q);
}

GtkWidget *item_bottom_line(const question *q, GtkWidget **instruction)
{
    GtkWidget *what = gtk_label_new(item_instruction(q->type));
    GtkWidget *line = gtk_hbox_new(FALSE, 10);
    gtk_box_pack_start(GTK_BOX(line), what, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(line), gtk_label_new(item_position(q).c_str()), FALSE, FALSE, 0);
    if (instruction)
        *instruction = what;
    return line;
}

GtkWidget *item_page_frame(const char *label, GtkWidget *mark, GtkWidget *question_panel,
                           GtkWidget *answers, GtkWidget *bottom_line)
{
    GtkWidget *page = gtk_vbox_new(FALSE, 10);
    gtk_container_set_border_width(GTK_CONTAINER(page), 7);
    gtk_box_pack_start(GTK_BOX(page), mark, FALSE, FALSE, 5);
    gtk_box_pack_start(GTK_BOX(page), question_panel, TRUE, TRUE, 5);
    gtk_box_pack_end(GTK_BOX(page), bottom_line, FALSE, FALSE, 5);
    gtk_box_pack_end(GTK_BOX(page), answers, TRUE, TRUE, 5);

    // The label holds the exam's folder name, which need not be UTF-8.
    gchar_ptr shown(g_utf8_make_valid(label, -1));
    GtkWidget *f = framed(page, shown.get(), 7);
    gtk_frame_set_label_align(GTK_FRAME(f), 0.99, 0.5);
    return f;
}

static void release_hidden_choice(gpointer button)
{
    gtk_widget_destroy(GTK_WIDGET(button));
    g_object_unref(button);
}

GtkWidget *item_hidden_choice(GtkWidget *box)
{
    GtkWidget *hidden = gtk_radio_button_new(nullptr);
    g_object_ref_sink(hidden);
    // It lives as long as the box its group-mates stand in.
    g_object_set_data_full(G_OBJECT(box), "hidden-choice", hidden, release_hidden_choice);
    return hidden;
}

// ---- Item form ----

// One button per filled slot, in slot order. A single-choice item's
// buttons share a group with a hidden first button that holds the group's
// activity until the examinee picks, so no visible choice starts ticked.
static GtkWidget *fill_choices(GtkWidget *box, question *q, bool single)
{
    GtkWidget *hidden = single ? item_hidden_choice(box) : nullptr;
    std::string context = item_context(q);
    GtkWidget *buttons[NUM_ANSWERS] = {};
    GtkWidget *shown[NUM_ANSWERS];
    int count = 0;
    GtkWidget *ticked = nullptr;
    for (int i = 0; i < NUM_ANSWERS; i++) {
        if (!q->answers[i][0])
            continue;
        const char *text = q->answers[i] + 1;
        GtkWidget *b = single ? gtk_radio_button_new_with_label_from_widget(
                                    GTK_RADIO_BUTTON(hidden), text)
                              : gtk_check_button_new_with_label(text);
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(b), q->selected[i] != 0);
        // Broken at width 80 when read; wrapped further only where still too wide.
        fit_label(gtk_bin_get_child(GTK_BIN(b)));
        // Whichever choice the focus lands on says what is asked.
        access_described_by(b, context);
        gtk_box_pack_start(GTK_BOX(box), b, FALSE, FALSE, 0);
        buttons[i] = b;
        shown[count++] = b;
        if (single && !ticked && q->selected[i])
            ticked = b;
    }
    if (hidden)
        access_radio_group(hidden, shown, count);
    // Connected only when all are restored: restoring one radio button may
    // untick another, which must not reach the record.
    for (int i = 0; i < NUM_ANSWERS; i++)
        if (buttons[i])
            g_signal_connect_data(buttons[i], "toggled", G_CALLBACK(setMCBut), new_mc_data(i, q),
                                  free_binding, GConnectFlags(0));
    // Focus goes to the ticked choice of a group, which is where the group
    // lets it in, or to the first.
    return ticked ? ticked : count ? shown[0] : nullptr;
}

// The answer widgets of q in a box; *first is the one the examinee works
// with first (none for an item of unknown kind), *entry the fill-in entry.
static GtkWidget *item_answers(question *q, bool report_unknown, GtkWidget **first,
                               GtkWidget **fill_in)
{
    GtkWidget *box = gtk_vbox_new(TRUE, 0);
    *first = *fill_in = nullptr;
    const item_kind_info *kind = kind_of_letter(q->type);
    if (!kind) {
        gtk_box_pack_start(GTK_BOX(box), gtk_label_new("Unknown question type"), TRUE, TRUE, 2);
        if (report_unknown)
            printf("QuestionType was %c\n", q->type);
        return box;
    }
    // Each kind's own answer widgets.
    switch (kind->kind) {
    case item_kind::single:
    case item_kind::multiple:
        *first = fill_choices(box, q, kind->one_tick);
        break;
    case item_kind::fill_in: {
        GtkWidget *entry = gtk_entry_new();
        // Named by what to do, described by the question and the position,
        // as the choices are.
        access_name(entry, kind->instruction);
        access_described_by(entry, item_context(q));
        *first = *fill_in = entry;
        gtk_entry_set_max_length(GTK_ENTRY(entry), ANSWER_SIZE);
        gtk_entry_set_text(GTK_ENTRY(entry), q->entry);
        gtk_box_pack_start(GTK_BOX(box), entry, TRUE, TRUE, 2);
        g_signal_connect_data(entry, "changed", G_CALLBACK(setEntryBut),
                              new_entry_data(entry, q), free_binding, GConnectFlags(0));
        break;
    }
    }
    return box;
}

// Return in the fill-in entry: the page's forward button.
static void press_forward(GtkWidget *, gpointer button)
{
    gtk_button_clicked(GTK_BUTTON(button));
}

void showItemPage(question *q, const item_nav &nav)
{
    GtkWidget *mark = gtk_check_button_new_with_label("Mark Item for Review");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(mark), q->marked != 0);
    g_signal_connect(mark, "toggled", G_CALLBACK(setRevBut), q);

    GtkWidget *first, *fill_in;
    GtkWidget *answers = item_answers(q, nav.report_unknown, &first, &fill_in);
    GtkWidget *f = item_page_frame(examname, mark, item_question_panel(q), answers,
                                   item_bottom_line(q));

    GtkWidget *bar = screen_button_bar();
    GtkWidget *prev = screen_add_button(bar, " Previous Item ", false, nav.prev, nav.prev_data);
    gtk_widget_set_sensitive(prev, nav.prev_enabled);
    GtkWidget *forward = nav.next
                             ? screen_add_button(bar, " Next Item ", false, nav.next, nav.next_data)
                             : screen_add_button(bar, " Review Screen ", false, cb_review, q);
    if (fill_in)
        g_signal_connect_object(fill_in, "activate", G_CALLBACK(press_forward), forward,
                                GConnectFlags(0));
    screen_add_button(bar, " Grade Exam ", true, cb_grade, q);
    if (enableAnswer == 1)
        screen_add_button(bar, " Show Answer ", true, answer, q);
    screen_put_up(f, bar, first);
    // Taking focus selected the whole answer, which the first key typed
    // would replace: the examinee goes on from its end instead.
    if (fill_in && gtk_widget_is_focus(fill_in))
        gtk_editable_set_position(GTK_EDITABLE(fill_in), -1);
}

void createExamForm(question *q)
{
    if (!q)
        return;
    showItemPage(q, {prev_form, q->prev, q->prev != nullptr, q->next ? next_form : nullptr,
                     q->next, true});
}
