#include "run_fixture.h"

#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"
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
    // Nothing is marked: the notice, closed either way, then the screen anew.
    for (int how : {int(GTK_RESPONSE_CLOSE), CLOSE_WINDOW}) {
        GtkWidget *before = frame;
        dialogs.plan(how);
        click(" Review ");
        EXPECT_NE(frame, before);
        EXPECT_EQ(option(), "Review only marked items");
    }
    click("Review only unanswered items");
    click("Review all items");
    EXPECT_EQ(std::string({reviewMarked, reviewEmpty, reviewMarkedEmpty, reviewAll}),
              std::string("\0\0\0\1", 4));

    // The next exam opens on it; an item of unknown kind says nothing on
    // standard output here, and without the answer button there is none.
    screen_take_down();
    destroy_list(QP);
    question *x = make_item('X', 1, {"+Odd"});
    run_of({make_item('M', 1, {"+A"}), x});
    enableAnswer = 0;
    reviewExam(x);
    EXPECT_EQ(option(), "Review all items");
    ::testing::internal::CaptureStdout();
    click(" Review ");
    EXPECT_EQ(bar(), (std::vector<std::string>{" Previous Item (off)", " Next Item ",
                                               " Grade Exam "}));
    click(" Next Item ");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(bar(), (std::vector<std::string>{" Previous Item ", " Review Screen ",
                                               " Grade Exam "}));
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
