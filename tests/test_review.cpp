// Review before grading (the review screen and its pages) and after it
// (the read-only pages).
#include "gui_util.h"

#include <cstring>

#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"
#include "grading/grade.h"
#include "grading/review.h"
#include "run/form.h"

using namespace gui;

class ReviewTest : public RunTest {
protected:
    // A run of six single-choice items; those numbered in `answered` are
    // answered right and graded.
    void six(std::vector<int> answered = {})
    {
        std::vector<question *> items;
        for (int i = 1; i <= 6; i++) {
            items.push_back(make_item('S', 1, {"+Right", "-Wrong"}));
            items.back()->selected[0] = std::count(answered.begin(), answered.end(), i);
            check_question(items.back());
        }
        run_of(items);
    }
    static question *item(int n) { return n > 1 ? item(n - 1)->next : QP; }
    // The number of the item whose page is shown.
    static int page() { return atoi(line("Item ").c_str() + 5); }
    static std::string option()
    {
        for (GtkWidget *b : find_all_of_type(frame, GTK_TYPE_RADIO_BUTTON))
            if (on(b))
                return button_label(b);
        return "(none)";
    }
    const std::vector<std::string> first_bar{" Previous Item (off)", " Next Item ",
                                             " Show Answer ", " Grade Exam "};
    const std::vector<std::string> last_bar{" Previous Item ", " Review Screen ",
                                            " Show Answer ", " Grade Exam "};
};

TEST_F(ReviewTest, TheOptionChosenLastHoldsForTheProgramRun)
{
    six();
    createExamForm(item(6));
    click(" Review Screen ");
    EXPECT_EQ(option(), "Review only marked items");
    EXPECT_EQ(bar(), (std::vector<std::string>{" Review ", " Grade Exam "}));
    // Nothing is marked: the notice, then the screen anew.
    GtkWidget *before = frame;
    dialogs.plan(GTK_RESPONSE_CLOSE);
    click(" Review ");
    EXPECT_NE(frame, before);
    EXPECT_EQ(option(), "Review only marked items");
    click("Review only unanswered items");
    click("Review all items");
    EXPECT_EQ(std::string({reviewMarked, reviewEmpty, reviewMarkedEmpty, reviewAll}),
              std::string("\0\0\0\1", 4));

    // The next exam opens on it.
    screen_take_down();
    reviewExam(QP);
    EXPECT_EQ(option(), "Review all items");
}

TEST_F(ReviewTest, MarkedItemsAndUnmarkingTheLastOnItsPage)
{
    six();
    item(2)->marked = item(5)->marked = 1;
    reviewExam(QP);
    click(" Review ");
    EXPECT_EQ(page(), 2);
    EXPECT_EQ(bar(), first_bar);
    // An answer on a review page goes into the record; leaving grades nothing.
    gtk_button_clicked(GTK_BUTTON(choices().at(0)));
    click(" Next Item ");
    EXPECT_EQ(item(2)->OK, OK_UNANSWERED);
    EXPECT_EQ(page(), 5);
    EXPECT_EQ(bar(), last_bar);
    click("Mark Item for Review");
    click(" Previous Item ");
    EXPECT_EQ(page(), 2);
    EXPECT_EQ(bar().at(1), " Review Screen ");
    click(" Review Screen ");
    EXPECT_EQ(item(2)->OK, OK_RIGHT) << "the page's own item is graded";
    EXPECT_EQ(option(), "Review only marked items");
}

TEST_F(ReviewTest, AnswersGivenOnReviewPagesCountOnlyOnceGraded)
{
    six({1, 2, 4, 5});
    reviewExam(QP);
    click("Review only unanswered items");
    click(" Review ");
    EXPECT_EQ(page(), 3);
    gtk_button_clicked(GTK_BUTTON(choices().at(0)));
    click(" Next Item ");
    EXPECT_EQ(page(), 6);
    EXPECT_EQ(bar(), last_bar);
    click(" Previous Item ");
    EXPECT_EQ(page(), 3) << "answered, but not graded yet";
    EXPECT_EQ(bar(), first_bar);
    click(" Next Item ");
    click(" Review Screen ");   // grades item 6 only
    click(" Review ");
    EXPECT_EQ(page(), 3);

    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_NE(dialogs.seen.at(0).text.find("You have 1 unanswered"), std::string::npos);
    EXPECT_NE(find_label(frame, "Correct: 5"), nullptr);
}

// After grading: the read-only review.
class Review2Test : public RunTest {
protected:
    // Each choice of the shown page: its text, its colour, and whether
    // its button is on. The buttons can't be used.
    std::vector<std::string> rows()
    {
        std::vector<std::string> out;
        for (GtkWidget *tick : choices()) {
            EXPECT_FALSE(is_sensitive(tick));
            GtkWidget *text = find_of_type(gtk_widget_get_parent(tick), GTK_TYPE_LABEL);
            const GdkColor &c = gtk_widget_get_modifier_style(text)->fg[GTK_STATE_NORMAL];
            char colour[16];
            g_snprintf(colour, sizeof colour, "#%02x%02x%02x", c.red >> 8, c.green >> 8,
                       c.blue >> 8);
            out.push_back(label_text(text) + " " + colour + (on(tick) ? " on" : " off"));
        }
        return out;
    }
    static std::string figures() { return line("Correct: ") + " " + line("Incorrect: "); }
};

TEST_F(Review2Test, ErrorsOnlyAllItemsAndNothingMissed)
{
    std::vector<question *> items;
    for (int i = 0; i < 5; i++)
        items.push_back(make_item('S', 1, {"+Right", "-Wrong"}));
    for (int i : {0, 2, 4})
        items[i]->selected[0] = 1;
    items[1]->selected[1] = 1;   // item 2 wrong, item 4 unanswered
    run_of(items);
    enableAnswer = 0;
    gradeExam(QP);

    click(" Review Errors ");
    EXPECT_NE(find_label(frame, "Item 2 of 5"), nullptr);
    EXPECT_EQ(bar(), (std::vector<std::string>{" Previous Item (off)", " Next Item ",
                                               " Show Answer ", " Back to Grade Exam "}));
    click(" Next Item ");
    EXPECT_NE(find_label(frame, "Item 4 of 5"), nullptr);
    EXPECT_EQ(bar().at(1), " Next Item (off)");
    EXPECT_EQ(rows(), (std::vector<std::string>{"Right #45ac45 off", "Wrong #ff0000 off"}));

    click(" Back to Grade Exam ");

    // Every item right: the notice, then the same report.
    items[1]->selected[1] = 0;
    items[1]->selected[0] = items[3]->selected[0] = 1;
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
    for (char c = 'a'; c < 'a' + NUM_ANSWERS; c++)
        longest.push_back(std::string(ANSWER_SIZE - 1, c));
    std::string name(PATH_SIZE - 1, 'n');
    g_strlcpy(examname, name.c_str(), sizeof examname);
    run_of({m, f, make_item('F', 1, longest), make_item('F', 1, {"a", "", "c"}),
            make_item('X', 1, {"+Odd"})});
    gradeExam(QP);
    click(" Review All ");

    auto untouched = [&](question *q) {
        std::vector<char> before((char *)q, (char *)q + sizeof(question));
        // What clicks would do to the widgets, were they usable.
        for (GtkWidget *w : find_all_of_type(frame, GTK_TYPE_TOGGLE_BUTTON))
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), !on(w));
        if (GtkWidget *e = find_of_type(frame, GTK_TYPE_ENTRY))
            gtk_entry_set_text(GTK_ENTRY(e), "changed");
        EXPECT_EQ(memcmp(before.data(), q, sizeof(question)), 0) << (int)q->number;
    };
    EXPECT_EQ(gtk_frame_get_label(GTK_FRAME(frame)), name + " (ReadOnly Review after Grade)");
    EXPECT_EQ(rows(), (std::vector<std::string>{"Alpha #45ac45 on", "Beta #45ac45 off",
                                               "Gamma #ff0000 on"}));
    GtkWidget *mark = find_button(frame, "Mark Item for Review");
    EXPECT_TRUE(on(mark) && !is_sensitive(mark));
    EXPECT_FALSE(is_sensitive(find_label(frame, "Select every correct answer.")));
    untouched(m);

    click(" Next Item ");
    GtkWidget *entry = find_of_type(frame, GTK_TYPE_ENTRY);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "PARIS");
    EXPECT_FALSE(is_sensitive(entry));
    EXPECT_NE(find_label(frame, "Correct Answers: \nParis OR paris"), nullptr);
    untouched(f);

    click(" Next Item ");
    std::string all = "Correct Answers: \n" + longest[0];
    for (size_t i = 1; i < longest.size(); i++)
        all += " OR " + longest[i];
    EXPECT_NE(find_label(frame, all), nullptr);
    click(" Next Item ");
    EXPECT_NE(find_label(frame, "Correct Answers: \na OR c"), nullptr);
    click(" Next Item ");
    untouched(QP->next->next->next->next);

    click(" Back to Grade Exam ");
    EXPECT_EQ(figures(), "Correct: 0 Incorrect: 4");
}
