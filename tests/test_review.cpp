// Review before grading (the review screen and its pages) and after it
// (the read-only pages); the countdown.
#include "gui_util.h"

#include <cstring>

#include "app/functions.h"
#include "app/trialix.h"
#include "bank/question.h"
#include "grading/grade.h"
#include "grading/review.h"
#include "run/item_page.h"

using namespace gui;
using Texts = std::vector<std::string>;

class ReviewTest : public RunTest {
protected:
    // A run of single-choice items, one a letter: R answered right, W wrong,
    // - not at all; each graded.
    void singles(const char *picks)
    {
        std::vector<question *> items;
        for (const char *p = picks; *p; p++) {
            items.push_back(make_item('S', 1, {"+Right", "-Wrong"}));
            items.back()->selected[0] = *p == 'R';
            items.back()->selected[1] = *p == 'W';
            check_question(items.back());
        }
        run_of(items);
    }
    static question *item(int n) { return n > 1 ? item(n - 1)->next : QP; }
    // The number of the item whose page is shown.
    static int page() { return atoi(line("Item ").c_str() + 5); }
    static std::string option()
    {
        GtkWidget *b = find(frame, [](GtkWidget *w) { return GTK_IS_RADIO_BUTTON(w) && on(w); });
        return b ? button_label(b) : "(none)";
    }
    // Each choice of a read-only page: its text, its colour, and whether its
    // button is on. The buttons take the focus, but a click undoes itself.
    std::vector<std::string> rows()
    {
        std::vector<std::string> out;
        for (GtkWidget *tick : choices()) {
            EXPECT_TRUE(is_sensitive(tick) && gtk_widget_get_can_focus(tick));
            bool was = on(tick);
            gtk_button_clicked(GTK_BUTTON(tick));
            EXPECT_EQ(on(tick), was) << "a click changed a read-only choice";
            GtkWidget *text = find_of_type(gtk_widget_get_parent(tick), GTK_TYPE_LABEL);
            const GdkColor &c = gtk_widget_get_modifier_style(text)->fg[GTK_STATE_NORMAL];
            char colour[16];
            g_snprintf(colour, sizeof colour, "#%02x%02x%02x", c.red >> 8, c.green >> 8, c.blue >> 8);
            out.push_back(label_text(text) + " " + colour + (on(tick) ? " on" : " off"));
        }
        return out;
    }
    static bool has(const Texts &labels, const std::string &label)
    {
        return std::find(labels.begin(), labels.end(), label) != labels.end();
    }
    static std::string figures() { return line("Correct: ") + " " + line("Incorrect: "); }
    // The shown item's number and its page's buttons.
    static std::string at()
    {
        std::string s = std::to_string(page());
        for (const std::string &b : bar())
            s += "," + b;
        return s;
    }
};
// After grading: the read-only review.
using Review2Test = ReviewTest;

// One road over the review screen's options. Leaving a review page grades
// nothing; " Review Screen " grades the page's own item.
TEST_F(ReviewTest, OptionsPagesAndWhatGetsGraded)
{
    singles("RR-RR-");
    createExamForm(item(6));
    click(" Review Screen ");
    EXPECT_EQ(option(), "Review only marked items");
    EXPECT_EQ(bar(), (Texts{" Review ", " Grade Exam "}));
    // Nothing is marked: the notice, then the screen anew.
    GtkWidget *before = frame;
    dialogs.plan(GTK_RESPONSE_CLOSE);
    click(" Review ");
    EXPECT_NE(frame, before);
    EXPECT_EQ(option(), "Review only marked items");

    // Items 2 and 5 marked; 2 answered anew on its page, 5 unmarked on its own.
    item(2)->marked = item(5)->marked = 1;
    click(" Review ");
    EXPECT_EQ(at(), "2, Previous Item (off), Next Item , Show Answer , Grade Exam ");
    gtk_button_clicked(GTK_BUTTON(choices().at(1)));
    click(" Next Item ");
    EXPECT_EQ(at(), "5, Previous Item , Review Screen , Show Answer , Grade Exam ");
    click("Mark Item for Review");
    click(" Previous Item ");
    EXPECT_EQ(at(), "2, Previous Item (off), Review Screen , Show Answer , Grade Exam ");
    EXPECT_EQ(item(2)->OK, OK_RIGHT);
    click(" Review Screen ");
    EXPECT_EQ(item(2)->OK, OK_WRONG);

    // Items 3 and 6 unanswered; the options exclude each other.
    click("Review all items");
    click("Review only unanswered items");
    EXPECT_EQ(std::string({reviewMarked, reviewEmpty, reviewMarkedEmpty, reviewAll}),
              std::string("\0\1\0\0", 4));
    click(" Review ");
    gtk_button_clicked(GTK_BUTTON(choices().at(0)));
    click(" Next Item ");
    EXPECT_EQ(page(), 6);
    click(" Previous Item ");
    EXPECT_EQ(at(), "3, Previous Item (off), Next Item , Show Answer , Grade Exam ") << "not graded yet";
    click(" Next Item ");
    click(" Review Screen ");   // grades item 6 only
    click(" Review ");
    EXPECT_EQ(page(), 3);
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_NE(dialogs.seen.at(1).text.find("You have 1 unanswered"), std::string::npos);
    EXPECT_NE(find_label(frame, "Correct: 4"), nullptr);
    // The option chosen last holds for the next exam of the program's run.
    screen_take_down();
    reviewExam(QP);
    EXPECT_EQ(option(), "Review only unanswered items");
}

// Each option's walk over the same run, forward to its end and back.
TEST_F(ReviewTest, EachOptionWalksItsOwnItems)
{
    singles("R-RR-");
    item(4)->marked = 1;
    auto walk = [this](const char *option) {
        screen_take_down();
        reviewExam(QP);
        click(option);
        click(" Review ");
        std::string pages = std::to_string(page());
        for (int i = 0; i < num_questions && has(bar(), " Next Item "); i++) {
            click(" Next Item ");
            pages += " " + std::to_string(page());
        }
        pages += " |";
        for (int i = 0; i < num_questions && has(bar(), " Previous Item "); i++) {
            click(" Previous Item ");
            pages += " " + std::to_string(page());
        }
        return pages;
    };
    createExamForm(QP);
    EXPECT_EQ(walk("Review only marked items"), "4 |");
    EXPECT_EQ(walk("Review only unanswered items"), "2 5 | 2");
    EXPECT_EQ(walk("Review marked and unanswered items"), "2 4 5 | 4 2");
    EXPECT_EQ(walk("Review all items"), "1 2 3 4 5 | 4 3 2 1");
}

TEST_F(Review2Test, ErrorsOnlyAllItemsAndNothingMissed)
{
    singles("RWR-R");
    enableAnswer = 0;
    gradeExam(QP);
    click(" Review Errors ");
    EXPECT_EQ(at(), "2, Previous Item (off), Next Item , Show Answer , Back to Grade Exam ");
    click(" Next Item ");
    EXPECT_EQ(at(), "4, Previous Item , Next Item (off), Show Answer , Back to Grade Exam ");
    EXPECT_EQ(rows(), (Texts{"Right #186418 off", "Wrong #b00000 off"}));
    click(" Back to Grade Exam ");
    // Every item right: the notice, then the same report.
    item(2)->selected[1] = 0;
    item(2)->selected[0] = item(4)->selected[0] = 1;
    gradeExam(QP);
    dialogs.plan(CLOSE_WINDOW);
    click(" Review Errors ");
    EXPECT_EQ(figures(), "Correct: 5 Incorrect: 0");
}

TEST_F(Review2Test, PagesShowTheAnswersWholeAndWriteNothing)
{
    question *m = make_item('M', 1, {"+Alpha", "+Beta", "-Gamma"});
    m->selected[0] = m->selected[2] = m->marked = 1;
    question *f = make_item('F', 1, {"Paris", "paris"});
    g_strlcpy(f->entry, "PARIS", sizeof f->entry);
    // The longest name and answers there can be, and an empty slot between two.
    std::vector<std::string> longest;
    std::string all = "Correct Answers: \n";
    for (char c = 'a'; c < 'a' + NUM_ANSWERS; c++) {
        longest.push_back(std::string(ANSWER_SIZE - 1, c));
        all += (c > 'a' ? " OR " : "") + longest.back();
    }
    std::string name(PATH_SIZE - 1, 'n');
    g_strlcpy(examname, name.c_str(), sizeof examname);
    run_of({m, f, make_item('F', 1, longest), make_item('F', 1, {"a", "", "c"}),
            make_item('X', 1, {"+Odd"})});
    gradeExam(QP);
    click(" Review All ");

    auto untouched = [&](question *q) {
        std::vector<char> before((char *)q, (char *)q + sizeof(question));
        std::vector<bool> shown;
        for (GtkWidget *tick : choices())
            shown.push_back(on(tick));
        // What clicks would do to the widgets, were they usable.
        for (GtkWidget *w : find_all_of_type(frame, GTK_TYPE_TOGGLE_BUTTON))
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), !on(w));
        if (GtkWidget *e = find_of_type(frame, GTK_TYPE_ENTRY))
            gtk_entry_set_text(GTK_ENTRY(e), "changed");
        EXPECT_EQ(memcmp(before.data(), q, sizeof(question)), 0) << (int)q->number;
        // Nor do they show a change.
        std::vector<bool> after;
        for (GtkWidget *tick : choices())
            after.push_back(on(tick));
        EXPECT_EQ(after, shown) << (int)q->number;
    };
    EXPECT_EQ(gtk_frame_get_label(GTK_FRAME(frame)), name + " (ReadOnly Review after Grade)");
    EXPECT_EQ(rows(), (Texts{"Alpha #186418 on", "Beta #186418 off", "Gamma #b00000 on"}));
    GtkWidget *mark = find_button(frame, "Mark Item for Review");
    EXPECT_TRUE(on(mark));
    EXPECT_FALSE(is_sensitive(mark));
    // Greyed by its colour, readable at 5:1, not by being insensitive.
    GtkWidget *instruction = find_label(frame, "Select every correct answer.");
    EXPECT_EQ(gtk_widget_get_modifier_style(instruction)->fg[GTK_STATE_NORMAL].red >> 8, 0x59);
    untouched(m);

    click(" Next Item ");
    GtkWidget *entry = find_of_type(frame, GTK_TYPE_ENTRY);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "PARIS");
    EXPECT_TRUE(is_sensitive(entry));
    EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(entry)));
    EXPECT_NE(find_label(frame, "Correct Answers: \nParis OR paris"), nullptr);
    untouched(f);
    click(" Next Item ");
    EXPECT_NE(find_label(frame, all), nullptr);
    click(" Next Item ");
    EXPECT_NE(find_label(frame, "Correct Answers: \na OR c"), nullptr);
    click(" Next Item ");
    untouched(item(5));
    click(" Back to Grade Exam ");
    EXPECT_EQ(figures(), "Correct: 0 Incorrect: 4");
}

// The countdown, driven by hand.
static const char EXAM_TIMEOUT[] =
    "Your allotted time for this exam has expired\n\nClose this window to grade your exam.\n";
static const char TRAINING_TIMEOUT[] =
    "Your allotted time for this exam has expired\nWould you like to continue taking this exam?";

class TimerTest : public RunTest {
protected:
    // A fresh run of two items on screen in exam mode, with `left` seconds
    // to go and `used` used.
    void run(int left, int used = 0)
    {
        if (QP) {
            screen_take_down();
            destroy_list(QP);
        }
        run_of({make_item('S', 1, {"+A", "-B"}), make_item('S', 1, {"+A", "-B"})});
        createExamForm(QP);
        seconds = left, passed_time = used;
        enableTimer = 1, exam_ended = 0, training = 0;
    }
    static gboolean tick() { return count_seconds(QP); }
    static bool report() { return find_label(frame, "Your Score Report") != nullptr; }
    static bool registered(guint id) { return g_main_context_find_source_by_id(nullptr, id); }
};

TEST_F(TimerTest, OneCountdownCountsTheTimeTakenAndTimesOut)
{
    run(1800);
    trialix_start_timer(nullptr, QP);
    guint first = timer_source;
    trialix_start_timer(nullptr, QP);
    EXPECT_NE(timer_source, 0u);
    EXPECT_TRUE(registered(timer_source));
    EXPECT_FALSE(registered(first)) << "a second start replaces the first";
    trialix_stop_timer();
    EXPECT_FALSE(timer_source);
    EXPECT_TRUE(tick());
    EXPECT_EQ(status(), "  Time Remaining: 30:00");
    for (int i = 1; i < 125; i++)
        ASSERT_TRUE(tick()) << i;
    // Grading ends the countdown, with the time taken.
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_NE(find_label(frame, "Time: 2:5"), nullptr);
    EXPECT_FALSE(tick());
    EXPECT_EQ(status(), "  Exam finished after 2:06 minutes");

    // A resumed run: grading stops its countdown at once, with the closing
    // text, and End Exam clears the status bar.
    run(90, 510);
    trialix_start_timer(nullptr, QP);
    guint id = timer_source;
    tick();
    EXPECT_EQ(status(), "  Time Remaining: 1:30");
    for (int i = 1; i < 10; i++)
        tick();
    gradeExam(QP);
    EXPECT_FALSE(timer_source);
    EXPECT_FALSE(registered(id));
    EXPECT_EQ(status(), "  Exam finished after 8:41 minutes");
    click(" End Exam ");
    EXPECT_EQ(status(), "");

    // The time runs out in exam mode: the notice, then the report.
    run(2);
    EXPECT_TRUE(tick());
    dialogs.plan(GTK_RESPONSE_CLOSE);
    EXPECT_FALSE(tick());
    EXPECT_EQ(dialogs.seen.back().text, EXAM_TIMEOUT);
    EXPECT_EQ(dialogs.seen.back().parent, GTK_WINDOW(main_window));
    EXPECT_TRUE(report());
    EXPECT_NE(find_label(frame, "Time: 0:2"), nullptr);
    EXPECT_EQ(status(), "  Exam finished after 0:02 minutes") << "the status bar agrees with the notice";
}

TEST_F(TimerTest, TrainingModeAsksAndGoesOnUntimedUnlessTheAnswerIsNo)
{
    for (int answer : {int(GTK_RESPONSE_YES), int(GTK_RESPONSE_NO), CLOSE_WINDOW}) {
        run(1, 59);
        training = 1;
        GtkWidget *shown = frame;
        dialogs.plan(answer);
        EXPECT_FALSE(tick());
        EXPECT_EQ(dialogs.seen.back().text, TRAINING_TIMEOUT);
        if (answer != GTK_RESPONSE_NO) {
            EXPECT_EQ(frame, shown) << answer;
            EXPECT_EQ(status(), "Time exceeded but exam continues") << answer;
            gradeExam(QP);
        }
        EXPECT_NE(find_label(frame, answer == GTK_RESPONSE_NO ? "Time: 1:0" : "Time: Timer Off"), nullptr);
        if (answer == GTK_RESPONSE_NO) {
            EXPECT_EQ(status(), "  Exam finished after 1:00 minutes");
        }
    }
}

// Closing the "no item" notice must not put the review screen back over
// the report that a time-out in its nested loop put up.
TEST_F(TimerTest, TimeOutInsideTheNoItemNoticeLeavesTheReport)
{
    run(1);
    reviewExam(QP);   // nothing is marked
    // The tick comes inside the notice, ahead of the answerer however long
    // the notice takes to show; the time-out, on top, is answered first.
    dialogs.plan(GTK_RESPONSE_CLOSE).plan(GTK_RESPONSE_CLOSE);
    g_idle_add_full(G_PRIORITY_HIGH, [](gpointer) -> gboolean { return count_seconds(QP) && FALSE; },
                    nullptr, nullptr);
    click(" Review ");
    EXPECT_TRUE(report());
    EXPECT_EQ(dialogs.seen.at(0).text, EXAM_TIMEOUT);
}

// The real countdown times out while the grading question is open; its No
// comes when the report is already up.
TEST_F(TimerTest, RealCountdownTimesOutWhileTheGradingQuestionIsOpen)
{
    run(1);
    trialix_start_timer(nullptr, QP);
    dialogs.plan(GTK_RESPONSE_NO, 1500).plan(GTK_RESPONSE_CLOSE);
    click(" Grade Exam ");
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[0].text, EXAM_TIMEOUT);
    EXPECT_NE(dialogs.seen[1].text.find("unanswered"), std::string::npos);
    EXPECT_TRUE(report());
    EXPECT_EQ(timer_source, 0u);
    EXPECT_EQ(status(), "  Exam finished after 0:01 minutes");
}
