#include "run_fixture.h"

#include <algorithm>

#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"
#include "grading/grade.h"
#include "run/form.h"

using namespace gui;

// A single-choice item worth `points`, answered right (1), wrong (-1) or
// not at all (0); how 2 makes it an item of unknown kind.
static question *answered(int points, int how)
{
    question *q = make_item(how == 2 ? 'X' : 'S', points, {"+Right", "-Wrong"});
    if (how == 1 || how == -1)
        q->selected[how > 0 ? 0 : 1] = 1;
    return q;
}

class GradeTest : public RunTest {
protected:
    // "Passed" or "Failed" and the colour of the panel behind it.
    std::string verdict()
    {
        for (const char *word : {"Passed", "Failed"})
            if (GtkWidget *l = find_label(frame, std::string("\n   ") + word + "   \n")) {
                GtkRcStyle *style = gtk_widget_get_modifier_style(gtk_widget_get_parent(l));
                const GdkColor &c = style->bg[GTK_STATE_NORMAL];
                return std::string(word) + (c.green > c.red ? " green" : " red");
            }
        return "(none)";
    }
};

TEST_F(GradeTest, OnlyYesGradesAndTheCountOfUnansweredIsAsked)
{
    question *first = answered(1, 1);
    run_of({first, answered(1, 0), answered(1, 0), answered(1, 0)});
    createExamForm(QP->next);
    GtkWidget *form = frame;
    dialogs.plan(GTK_RESPONSE_NO).plan(CLOSE_WINDOW);
    click(" Grade Exam ");
    click(" Grade Exam ");
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[1].text, "You have 3 unanswered items remaining. Items left unanswered "
                                    "will be marked as incorrect\n\nAre you sure you want to "
                                    "grade this exam?");
    EXPECT_EQ(frame, form) << "the item stays";
    EXPECT_EQ(first->OK, OK_RIGHT) << "every item was graded all the same";

    for (question *q = QP; q; q = q->next)
        q->selected[1] = 1;
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_EQ(dialogs.seen.at(2).text, "Are you certain you want to grade this exam now?");
    EXPECT_EQ(line("Your Score:"), "Your Score: 0.0% Correct");
    EXPECT_EQ(bar().size(), 3u);
}

TEST_F(GradeTest, FiguresScoreAndVerdict)
{
    struct Case {
        std::vector<std::pair<int, int>> items;   // points, how answered
        int pass_mark;
        const char *figures;                     // correct incorrect total reached
        const char *score;
        const char *verdict;
    } cases[] = {
        {{{1, 1}, {2, 1}}, 100, "2 0 3 3 ", "100.0", "Passed green"},
        {{{1, 0}, {2, -1}}, 0, "0 2 3 0 ", "0.0", "Passed green"},
        {{{7, 1}, {3, -1}}, 70, "1 1 10 7 ", "70.0", "Passed green"},
        {{{1, 1}, {1, 1}, {1, 0}}, 67, "2 1 3 2 ", "66.7", "Failed red"},
        {{{0, 0}}, 0, "0 1 0 0 ", "0.0", "Failed red"},   // no points: damaged data
        // An item of unknown kind is neither correct nor incorrect; its points count.
        {{{3, 2}, {2, 1}, {1, -1}}, 30, "1 1 6 2 ", "33.3", "Passed green"},
    };
    for (const Case &c : cases) {
        std::vector<question *> items;
        for (auto [points, how] : c.items)
            items.push_back(answered(points, how));
        run_of(items);
        percentage = c.pass_mark;
        gradeExam(items.back());
        std::string figures;
        for (const char *start : {"Correct: ", "Incorrect: ", "Total Points: ", "Reached Points: "})
            figures += line(start).substr(strlen(start)) + " ";
        std::string score = line("Your Score:");
        std::replace(score.begin(), score.end(), ',', '.');   // a locale's decimal comma
        EXPECT_EQ(figures, c.figures) << c.score;
        EXPECT_EQ(score, std::string("Your Score: ") + c.score + "% Correct");
        EXPECT_EQ(verdict(), c.verdict) << c.score;
        EXPECT_EQ(line("Needed"), "Needed Score to pass: " + std::to_string(c.pass_mark) + "%");
        EXPECT_EQ(line("Questions"), "Questions: " + std::to_string(c.items.size()));
        screen_take_down();
        destroy_list(QP);
        QP = nullptr;
    }
}

TEST_F(GradeTest, WholeRunsFromTheMenuToTheScoreWithAndWithoutTimer)
{
    // Four question files of one item each, 7 points in all, and one without items.
    exams.write("demo/.xconfig", "title=Demo\ntimeout=30\npercentage=60\n");
    const char *items[] = {"S\nOne?\n---\n-No\n-No\n+Yes", "M3\nTwo?\n---\n+A\n-B\n+C",
                           "F\nThree?\n---\nthree", "S2\nFour?\n---\n+Yes\n-No", ""};
    for (size_t i = 0; i < G_N_ELEMENTS(items); i++)
        write_question_file(exams / ("demo/cat" + std::to_string(i)),
                            *items[i] ? std::string("+++\n") + items[i] + "\n---\n\n+++\n" : "no items\n");
    GtkWidget *item = find(exammenu, [](GtkWidget *w) {
        return GTK_IS_MENU_ITEM(w) && find_label(w, "  Start Practice Exam demo ");
    });
    ASSERT_NE(item, nullptr);
    for (int timer : {1, 0}) {
        gtk_menu_item_activate(GTK_MENU_ITEM(item));
        gtk_entry_set_text(GTK_ENTRY(find_of_type(frame, GTK_TYPE_ENTRY)), "Ann");
        enableTimer = timer;
        exam_ended = 1;
        click(" Start Exam ");
        ASSERT_NE(QP, nullptr);
        EXPECT_EQ(exam_ended, timer ? 0 : 1) << "the countdown starts only with the timer";
        // The file without items is left out, and the count follows.
        EXPECT_EQ(line("Item "), "Item 1 of 4");
        EXPECT_TRUE(!is_sensitive(item) && !is_sensitive(exam_open) && is_sensitive(exam_save));

        // Answer each item right through its widgets, whatever order was drawn.
        for (question *q = QP; q; q = q->next) {
            if (q->type == 'F')
                gtk_entry_set_text(GTK_ENTRY(find_of_type(frame, GTK_TYPE_ENTRY)), "three");
            for (int i = 0; q->type != 'F' && i < NUM_ANSWERS; i++)
                if (q->answers[i][0] == '+')
                    gtk_button_clicked(GTK_BUTTON(choices().at((size_t)i)));
            if (q->next)
                click(" Next Item ");
        }
        passed_time = 65;
        dialogs.plan(GTK_RESPONSE_YES);
        click(" Grade Exam ");
        EXPECT_EQ(line("Questions") + "|" + line("Total Points") + "|" + line("Time"),
                  std::string("Questions: 4|Total Points: 7|Time: ") + (timer ? "1:5" : "Timer Off"));
        EXPECT_EQ(verdict(), "Passed green");
        EXPECT_EQ(exam_ended + seconds, 2) << "the countdown ends at its next tick";
        EXPECT_STREQ(username, "Ann");
        EXPECT_EQ(bar(), (std::vector<std::string>{" Review All ", " Review Errors ", " End Exam "}));
        // The countdown's next tick is its last.
        if (timer) {
            EXPECT_FALSE(count_seconds(QP));
            EXPECT_EQ(status(), "  Exam finished after 1:06 minutes");
            EXPECT_EQ(timer_source, 0u);
        }
        click(" End Exam ");
        EXPECT_TRUE(children(box2).empty() && !frame && !QP);
        EXPECT_TRUE(is_sensitive(item) && is_sensitive(exam_open) && !is_sensitive(exam_save));
        EXPECT_EQ(status(), "");
    }
}
