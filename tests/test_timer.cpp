#include "gui_util.h"

#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"
#include "grading/grade.h"
#include "grading/review.h"
#include "run/form.h"

using namespace gui;

static const char EXAM_TIMEOUT[] =
    "Your allotted time for this exam has expired\n\nClose this window to grade your exam.\n";
static const char TRAINING_TIMEOUT[] =
    "Your allotted time for this exam has expired\nWould you like to continue taking this exam?";

class TimerTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        training = 0;
    }
    // A fresh run of two items on screen, with `left` seconds to go and
    // `used` used, its countdown started but driven by hand.
    void run(int left, int used = 0)
    {
        if (QP) {
            screen_take_down();
            destroy_list(QP);
        }
        run_of({make_item('S', 1, {"+A", "-B"}), make_item('S', 1, {"+A", "-B"})});
        createExamForm(QP);
        seconds = left;
        passed_time = used;
        enableTimer = 1;
        exam_ended = 0;
    }
    static gboolean tick() { return count_seconds(QP); }
    static bool report() { return find_label(frame, "Your Score Report") != nullptr; }
    static bool registered(guint id) { return g_main_context_find_source_by_id(nullptr, id); }
};

TEST_F(TimerTest, OneCountdownThatTimesOutInExamModeHoweverTheNoticeIsClosed)
{
    run(1800);
    trialix_start_timer(nullptr, QP);
    guint first = timer_source;
    trialix_start_timer(nullptr, QP);
    EXPECT_TRUE(timer_source && timer_source != first && registered(timer_source));
    EXPECT_FALSE(registered(first)) << "a second start replaces the first";
    trialix_stop_timer();
    EXPECT_FALSE(timer_source);

    EXPECT_TRUE(tick());
    EXPECT_EQ(status(), "  Time Remaining: 30:00");
    for (int i = 2; i < 1800; i++)
        ASSERT_TRUE(tick()) << i;
    EXPECT_EQ(status(), "  Time Remaining: 0:02");
    dialogs.plan(GTK_RESPONSE_CLOSE);
    EXPECT_FALSE(tick());
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].text, EXAM_TIMEOUT);
    EXPECT_EQ(dialogs.seen[0].parent, GTK_WINDOW(main_window));
    EXPECT_TRUE(report());
    EXPECT_EQ(status(), "  Time Remaining: 0:01");

    // An exam without a time: the first tick is the last.
    run(0);
    dialogs.plan(CLOSE_WINDOW);
    EXPECT_FALSE(tick());
    EXPECT_EQ(status(), "  Time Remaining: 0:00");
    EXPECT_TRUE(report());
}

TEST_F(TimerTest, TrainingModeAsksAndGoesOnUntimedUnlessTheAnswerIsNo)
{
    training = 1;
    for (int answer : {int(GTK_RESPONSE_YES), int(GTK_RESPONSE_NO), CLOSE_WINDOW}) {
        run(1, 59);
        GtkWidget *shown = frame;
        dialogs.plan(answer);
        EXPECT_FALSE(tick());
        EXPECT_EQ(dialogs.seen.back().text, TRAINING_TIMEOUT);
        if (answer != GTK_RESPONSE_NO) {
            EXPECT_EQ(frame, shown) << answer;
            EXPECT_EQ(status(), "Time exceeded but exam continues");
            gradeExam(QP);
        }
        EXPECT_NE(find_label(frame, answer == GTK_RESPONSE_NO ? "Time: 1:0" : "Time: Timer Off"),
                  nullptr);
    }
}

TEST_F(TimerTest, GradingEndsTheCountdownAtItsNextTickWithTheTimeTaken)
{
    run(1800);
    for (int i = 0; i < 125; i++)
        tick();
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_NE(find_label(frame, "Time: 2:5"), nullptr);
    EXPECT_FALSE(tick());
    EXPECT_EQ(status(), "  Exam finished after 2:06 minutes");

    // A resumed run, whose list is freed before the last tick comes.
    run(90, 510);
    trialix_start_timer(nullptr, QP);
    guint id = timer_source;
    tick();
    EXPECT_EQ(status(), "  Time Remaining: 1:30");
    for (int i = 1; i < 10; i++)
        tick();
    gradeExam(QP);
    click(" End Exam ");
    EXPECT_FALSE(timer_source || registered(id));
    EXPECT_EQ(status(), "  Exam finished after 8:41 minutes");
}

// Closing the "no item" notice must not put the review screen back over
// the report that a time-out in its nested loop put up.
TEST_F(TimerTest, TimeOutInsideTheNoItemNoticeLeavesTheReport)
{
    run(1);
    reviewExam(QP);   // nothing is marked
    dialogs.plan(GTK_RESPONSE_CLOSE).plan(GTK_RESPONSE_CLOSE);
    // The tick comes inside the notice; the time-out, on top, is answered first.
    g_idle_add([](gpointer) -> gboolean { return count_seconds(QP) && FALSE; }, nullptr);
    click(" Review ");
    EXPECT_TRUE(report());
    EXPECT_EQ(dialogs.seen.at(0).text, EXAM_TIMEOUT);
}

TEST_F(TimerTest, RealCountdownTimesOutWhileTheGradingQuestionIsOpen)
{
    run(1);
    trialix_start_timer(nullptr, QP);
    // The question stays open past the countdown's first second; its No
    // comes when the report is already up.
    dialogs.plan(GTK_RESPONSE_NO, 1500).plan(GTK_RESPONSE_CLOSE);
    click(" Grade Exam ");
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[0].text, EXAM_TIMEOUT);
    EXPECT_NE(dialogs.seen[1].text.find("unanswered"), std::string::npos);
    EXPECT_TRUE(report());
    EXPECT_EQ(timer_source, 0u);
    EXPECT_EQ(status(), "  Time Remaining: 0:01");
}
