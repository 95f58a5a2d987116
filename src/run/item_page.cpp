#include "run/item_page.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "app/access.h"
#include "app/fit.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/exhibit.h"
#include "bank/glib_ptr.h"
#include "bank/item_kind.h"
#include "bank/question.h"
#include "run/callback.h"
#include "run/exhibit_view.h"

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
