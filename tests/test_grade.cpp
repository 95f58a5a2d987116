#include "gui_util.h"

#include "grading/grade.h"

using namespace gui;

// A single-choice item worth `points`, answered right (1), wrong (-1) or
// not at all (0); how 2 makes it an item of unknown kind.
static question *answered(int points, int how)
{
    question *q = make_item(how == 2 ? 'X' : 'S', points, {"+Right", "-Wrong"});
    q->selected[0] = how == 1, q->selected[1] = how == -1;
    return q;
}

// "Passed" or "Failed" and the colour of the panel behind it.
static std::string verdict()
{
    for (const char *word : {"Passed", "Failed"})
        if (GtkWidget *l = find_label(frame, std::string("\n   ") + word + "   \n")) {
            const GdkColor &c = gtk_widget_get_modifier_style(gtk_widget_get_parent(l))->bg[GTK_STATE_NORMAL];
            return std::string(word) + (c.green > c.red ? " green" : " red");
        }
    return "(none)";
}

using GradeTest = RunTest;

// No, or closing the question, keeps the item on screen, though every item
// was graded to count the unanswered; with none left the question changes.
TEST_F(GradeTest, OnlyYesGradesAndTheCountOfUnansweredIsAsked)
{
    question *first = answered(1, 1);
    run_of({first, answered(1, 0), answered(1, 0), answered(1, 0)});
    createExamForm(QP->next);
    GtkWidget *form = frame;
    dialogs.plan(GTK_RESPONSE_NO).plan(CLOSE_WINDOW);
    click(" Grade Exam ");
    click(" Grade Exam ");
    EXPECT_EQ(dialogs.seen.at(1).text, "You have 3 unanswered items remaining. Items left unanswered "
                                       "will be marked as incorrect\n\nAre you sure you want to "
                                       "grade this exam?");
    EXPECT_EQ(frame, form);
    EXPECT_EQ(first->OK, OK_RIGHT);

    for (question *q = QP; q; q = q->next)
        q->selected[1] = 1;
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_EQ(dialogs.seen.at(2).text, "Are you certain you want to grade this exam now?");
    EXPECT_EQ(line("Your Score:"), "Your Score: 0.0% Correct");
}

TEST_F(GradeTest, FiguresScoreAndVerdict)
{
    struct Case {
        std::vector<std::pair<int, int>> items;   // points, how answered
        int pass_mark;
        bool timer;                               // on, 65 seconds taken
        const char *figures, *score, *verdict;    // figures: correct incorrect total reached
    } cases[] = {
        {{{1, 1}, {2, 1}}, 100, true, "2 0 3 3 ", "100.0", "Passed green"},
        {{{1, 0}, {2, -1}}, 0, false, "0 2 3 0 ", "0.0", "Passed green"},
        {{{7, 1}, {3, -1}}, 70, true, "1 1 10 7 ", "70.0", "Passed green"},
        {{{1, 1}, {1, 1}, {1, 0}}, 67, false, "2 1 3 2 ", "66.7", "Failed red"},
        {{{0, 0}}, 0, false, "0 1 0 0 ", "0.0", "Failed red"},   // no points: damaged data
        // An item of unknown kind is neither correct nor incorrect; its points count.
        {{{3, 2}, {2, 1}, {1, -1}}, 30, false, "1 1 6 2 ", "33.3", "Passed green"},
    };
    for (const Case &c : cases) {
        std::vector<question *> items;
        for (auto [points, how] : c.items)
            items.push_back(answered(points, how));
        run_of(items);
        percentage = c.pass_mark, enableTimer = c.timer, passed_time = 65;
        gradeExam(items.back());
        EXPECT_EQ(line("Time"), c.timer ? "Time: 1:5" : "Time: Timer Off");
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
        destroy_list(QP), QP = nullptr;
    }
}
