#include "grading/review2.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "app/access.h"
#include "app/dialogs.h"
#include "app/fit.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"
#include "grading/grade.h"
#include "run/callback.h"
#include "run/item_page.h"

static bool visited(const question *r)
{
    return reviewError == 0 || r->OK <= 0;
}

question *getNextItem2(question *r)
{
    return next_qualifying(r, visited);
}

question *getPrevItem2(question *r)
{
    return prev_qualifying(r, visited);
}

void cb_review2_start(GtkWidget *, void *request)
{
    auto *req = static_cast<review_request *>(request);
    reviewError = req->errorsOnly ? 1 : 0;
    question *head = list_head(req->list);
    if (!head)
        return;
    question *first = visited(head) ? head : getNextItem2(head);
    if (first)
        showReview2Page(first);
    else
        no_item_dialog2(head);
}

void next_rev2(GtkWidget *, void *record)
{
    if (question *next = getNextItem2(static_cast<question *>(record)))
        showReview2Page(next);
}

void prev_rev2(GtkWidget *, void *record)
{
    if (question *prev = getPrevItem2(static_cast<question *>(record)))
        showReview2Page(prev);
}

// The marks beside the choices, 16 x 16 on a transparent background, dark
// enough to stand out from the window's grey: a tick and a cross.
static const char *const right_xpm[] = {
    "16 16 2 1",
    "  c None",
    "g c #1E6E1E",
    "                ",
    "                ",
    "             gg ",
    "            ggg ",
    "           ggg  ",
    "          ggg   ",
    "         ggg    ",
    " gg     ggg     ",
    " ggg   ggg      ",
    "  ggg ggg       ",
    "   ggggg        ",
    "    ggg         ",
    "     g          ",
    "                ",
    "                ",
    "                ",
};

static const char *const wrong_xpm[] = {
    "16 16 2 1",
    "  c None",
    "r c #B00000",
    "                ",
    "                ",
    "  rr       rr   ",
    "  rrr     rrr   ",
    "   rrr   rrr    ",
    "    rrr rrr     ",
    "     rrrrr      ",
    "      rrr       ",
    "     rrrrr      ",
    "    rrr rrr     ",
    "   rrr   rrr    ",
    "  rrr     rrr   ",
    "  rr       rr   ",
    "                ",
    "                ",
    "                ",
};

// The choices' texts: the marks' shades, darker than the plain green and
// red, which reached only 2.1:1 and 2.9:1 on the window's grey.
static const char RIGHT_TEXT[] = "#186418";
static const char WRONG_TEXT[] = "#B00000";
// The instruction, greyed as on a page that takes no answer, still 5:1.
static const char GREYED_TEXT[] = "#595959";

static const char RIGHT_WORDS[] = "correct answer";
static const char WRONG_WORDS[] = "wrong";

// The mark that tells, without colour, whether a choice is right.
static GtkWidget *choice_mark(bool right)
{
    GdkPixbuf *icon = gdk_pixbuf_new_from_xpm_data(
        const_cast<const char **>(right ? right_xpm : wrong_xpm));
    GtkWidget *mark = gtk_image_new_from_pixbuf(icon);
    if (icon)
        g_object_unref(icon);
    const char *words = right ? RIGHT_WORDS : WRONG_WORDS;
    access_name(mark, words, words);
    return mark;
}

// The ticks of a read-only page as the examinee left them. The ticks take
// the focus, so that each choice is read with its result, but any toggle
// (a click, an arrow key in a group, a screen reader's press) is undone at
// once.
struct kept_ticks {
    std::vector<GtkWidget *> ticks;
    std::vector<bool> ticked;
    GtkWidget *leader = nullptr;   // a group's hidden first member
    bool restoring = false;
};

static void restore_ticks(GtkToggleButton *, gpointer data)
{
    auto *kept = static_cast<kept_ticks *>(data);
    if (kept->restoring)
        return;
    kept->restoring = true;
    // Ticked ones first: a group's member is only left by ticking another.
    bool any = false;
    for (size_t i = 0; i < kept->ticks.size(); i++)
        if (kept->ticked[i]) {
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(kept->ticks[i]), TRUE);
            any = true;
        }
    if (kept->leader && !any)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(kept->leader), TRUE);
    for (size_t i = 0; i < kept->ticks.size(); i++)
        if (!kept->ticked[i])
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(kept->ticks[i]), FALSE);
    kept->restoring = false;
}

static void free_kept(gpointer data)
{
    delete static_cast<kept_ticks *>(data);
}

// One row per filled slot: the examinee's tick, kept as it is, the mark of
// a right or wrong choice, and the choice's text in green when it is right
// and red when it is wrong (dark shades, at least 4.5:1 on the grey).
static void graded_choices(GtkWidget *box, const question *r, bool single)
{
    GdkColor right, wrong;
    gdk_color_parse(RIGHT_TEXT, &right);
    gdk_color_parse(WRONG_TEXT, &wrong);
    GtkWidget *leader = single ? item_hidden_choice(box) : nullptr;
    auto *kept = new kept_ticks;
    kept->leader = leader;
    g_object_set_data_full(G_OBJECT(box), "kept-ticks", kept, free_kept);
    for (int i = 0; i < NUM_ANSWERS; i++) {
        if (!r->answers[i][0])
            continue;
        bool is_right = r->answers[i][0] == '+';
        GtkWidget *text = gtk_label_new(r->answers[i] + 1);
        gtk_widget_modify_fg(text, GTK_STATE_NORMAL, is_right ? &right : &wrong);
        fit_label(text);
        GtkWidget *panel = gtk_event_box_new();
        gtk_container_add(GTK_CONTAINER(panel), text);
        GtkWidget *tick = single ? gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(leader))
                                 : gtk_check_button_new();
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(tick), r->selected[i] != 0);
        // The tick is read as its choice, and says whether that is right.
        access_labelled_by(tick, text);
        access_name(tick, nullptr, is_right ? RIGHT_WORDS : WRONG_WORDS);
        GtkWidget *row = gtk_hbox_new(FALSE, 5);
        gtk_box_pack_start(GTK_BOX(row), tick, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(row), choice_mark(is_right), FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(row), panel, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 0);
        kept->ticks.push_back(tick);
        kept->ticked.push_back(r->selected[i] != 0);
    }
    if (leader)
        access_radio_group(leader, kept->ticks.data(), (int)kept->ticks.size());
    for (GtkWidget *tick : kept->ticks)
        g_signal_connect(tick, "toggled", G_CALLBACK(restore_ticks), kept);
}

// "Correct Answers: " and, on the next line, every accepted answer, joined
// by " OR ". Seven answers of 255 bytes don't fit a fixed line, so it is
// built whole.
static std::string accepted_answers(const question *r)
{
    std::string joined;
    for (int i = 0; i < NUM_ANSWERS; i++) {
        if (!r->answers[i][0])
            continue;
        if (!joined.empty())
            joined += " OR ";
        joined += r->answers[i];
    }
    return "Correct Answers: \n" + joined;
}

static const char *verdict_words(int ok)
{
    switch (ok) {
    case OK_RIGHT:
        return "Your answer was right";
    case OK_WRONG:
        return "Your answer was wrong";
    default:
        return "You didn't answer";
    }
}

static void graded_entry(GtkWidget *box, const question *r)
{
    GtkWidget *entry = gtk_entry_new();
    gtk_entry_set_max_length(GTK_ENTRY(entry), ANSWER_SIZE);
    gtk_entry_set_text(GTK_ENTRY(entry), r->entry);
    gtk_box_pack_start(GTK_BOX(box), entry, TRUE, TRUE, 2);
    // Read, and reached by Tab, but not changed.
    gtk_editable_set_editable(GTK_EDITABLE(entry), FALSE);

    GtkWidget *line = gtk_label_new(accepted_answers(r).c_str());
    access_name(entry, "Your answer");
    access_described_by(entry, std::string(verdict_words(r->OK)) + "\n" + accepted_answers(r),
                        &line, 1);
    gtk_misc_set_alignment(GTK_MISC(line), 0, 0);
    gtk_box_pack_start(GTK_BOX(box), line, FALSE, FALSE, 2);
}

// Nothing here writes to the record: the ticks undo every toggle, the
// entry can't be edited.
static GtkWidget *graded_answers(const question *r)
{
    GtkWidget *box = gtk_vbox_new(TRUE, 0);
    const item_kind_info *kind = kind_of_letter(r->type);
    if (!kind) {
        gtk_box_pack_start(GTK_BOX(box), gtk_label_new("Unknown question type"), TRUE, TRUE, 2);
        return box;
    }
    // Each kind's own graded answer widgets.
    switch (kind->kind) {
    case item_kind::single:
    case item_kind::multiple:
        graded_choices(box, r, kind->one_tick);
        break;
    case item_kind::fill_in:
        graded_entry(box, r);
        break;
    }
    return box;
}

void showReview2Page(question *r)
{
    if (!r)
        return;
    GtkWidget *mark = gtk_check_button_new_with_label("Mark Item for Review");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(mark), r->marked != 0);
    gtk_widget_set_sensitive(mark, FALSE);
    GtkWidget *instruction = nullptr;
    GtkWidget *bottom = item_bottom_line(r, &instruction);
    GdkColor grey;
    gdk_color_parse(GREYED_TEXT, &grey);
    gtk_widget_modify_fg(instruction, GTK_STATE_NORMAL, &grey);
    // The exam's name may take all of its 255 bytes.
    std::string label = std::string(examname) + " (ReadOnly Review after Grade)";
    GtkWidget *f = item_page_frame(label.c_str(), mark, item_question_panel(r), graded_answers(r),
                                   bottom);

    GtkWidget *bar = screen_button_bar();
    GtkWidget *prev = screen_add_button(bar, " Previous Item ", false, prev_rev2, r);
    gtk_widget_set_sensitive(prev, getPrevItem2(r) != nullptr);
    GtkWidget *next = screen_add_button(bar, " Next Item ", false, next_rev2, r);
    gtk_widget_set_sensitive(next, getNextItem2(r) != nullptr);
    GtkWidget *back = screen_add_button(bar, " Back to Grade Exam ", true, cb_grade_back, r);
    screen_add_button(bar, " Show Answer ", true, answer, r);
    // Nothing on the page takes input: the way on is next, or back. It
    // says where the examinee is, as the first focus of an item page does.
    GtkWidget *first = gtk_widget_is_sensitive(next) ? next : back;
    access_described_by(first, label + "\n" + item_context(r));
    screen_put_up(f, bar, first);
}
