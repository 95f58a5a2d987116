// One lifecycle for every kind of run: what the run's owner tells its
// observers for a started, a loaded, a recovered and a practice run, in
// which order and how often, as the examinee drives the real screens.
#include <glib/gstdio.h>

#include <algorithm>

#include "app/navigator.h"
#include "bank/history.h"
#include "bank/recovery.h"
#include "bank/saved_file.h"
#include "grading/grade.h"
#include "grading/history_record.h"
#include "gui_util.h"
#include "run/owner.h"
#include "saved/recovery.h"
#include "saved/store.h"

using namespace gui;

namespace {

// What an observer saw: the event, and whether the run had begun then.
struct seen_event {
    run_event event;
    bool begun;
};

class LifecycleTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        fresh_history();
        write_three_item_exam();
        g_strlcpy(examname, "demo", sizeof examname);
        run_observe(count, &events);
    }
    void TearDown() override
    {
        run_unobserve(count, &events);
        RunTest::TearDown();
    }

    static void count(run_event event, run_record *run, void *events)
    {
        static_cast<std::vector<seen_event> *>(events)->push_back({event, run->begun});
    }
    int times(run_event event) const
    {
        return (int)std::count_if(events.begin(), events.end(),
                                  [event](const seen_event &e) { return e.event == event; });
    }
    // "B" begun, "C" changed, "G" graded, "E" ended ("e" a held list that
    // never began), in the order told.
    std::string story() const
    {
        std::string s;
        for (const seen_event &e : events)
            s += e.event == RUN_BEGUN     ? "B"
                 : e.event == RUN_CHANGED ? "C"
                 : e.event == RUN_GRADED  ? "G"
                 : e.begun                ? "E"
                                          : "e";
        return s;
    }

    // Grades the shown run with Yes, reads it through, back to the report
    // (which is built again) and ends it.
    void grade_review_and_end()
    {
        dialogs.plan(GTK_RESPONSE_YES);
        click(" Grade Exam ");
        ASSERT_NE(line("Your Score:"), "(none)");
        click(" Review All ");
        click(" Back to Grade Exam ");
        ASSERT_NE(line("Your Score:"), "(none)");
        click(" End Exam ");
        EXPECT_EQ(QP, nullptr);
    }

    // A saved run of "demo" in `path`, made in memory.
    void save_run(const std::string &path)
    {
        question *list = make_item('M', 1, {"+Right", "-Wrong"}, "Item A?");
        append_question(list, make_item('M', 1, {"+Right", "-Wrong"}, "Item B?"));
        std::string error;
        ASSERT_GT(save_list_file(path.c_str(), list, header_of_run(), error_text(&error)), 0) << error;
        destroy_list(list);
    }

    std::vector<seen_event> events;
};

TEST_F(LifecycleTest, AStartedRunBeginsOnceTellsEveryChangeAndIsGradedOnce)
{
    start_exam(nullptr, (void *)"demo");
    EXPECT_EQ(story(), "");
    click(" Start Exam ");
    ASSERT_NE(QP, nullptr);
    EXPECT_EQ(story(), "B");
    // One "changed" for each answer, mark and page the examinee changes.
    gtk_button_clicked(GTK_BUTTON(choices()[0]));
    gtk_button_clicked(GTK_BUTTON(find_button(frame, "Mark Item for Review")));
    click(" Next Item ");
    click(" Previous Item ");
    click(" Next Item ");
    click(" Next Item ");
    click(" Review Screen ");
    EXPECT_EQ(story(), "BCCCCCCC");
    reviewAll = 1, reviewMarked = 0;
    click(" Review ");
    click(" Next Item ");
    click(" Previous Item ");
    EXPECT_EQ(times(RUN_CHANGED), 9);
    grade_review_and_end();
    EXPECT_EQ(story(), "BCCCCCCCCCGE");
}

TEST_F(LifecycleTest, ALoadedRunBeginsOnceAtTheResumeFormsStart)
{
    std::string path = exams / "run.sav";
    save_run(path);
    choose(exam_open, path);
    ASSERT_NE(QP, nullptr);
    EXPECT_EQ(bar(), (std::vector<std::string>{" Start Exam ", " Cancel "}));
    EXPECT_EQ(story(), "");
    click(" Start Exam ");
    EXPECT_EQ(story(), "B");
    grade_review_and_end();
    EXPECT_EQ(story(), "BGE");
}

TEST_F(LifecycleTest, ARecoveredRunBeginsOnceAndALeftResumeFormEndsWithoutBeginning)
{
    for (int round = 0; round < 2; round++) {
        std::string dir = recovery_dir(), error;
        recovery_slot slot;
        ASSERT_TRUE(recovery_claim(dir, &slot, error_text(&error))) << error;
        question *list = make_item('M', 1, {"+Right", "-Wrong"}, "Item A?");
        ASSERT_GT(save_list_file(slot.copy.c_str(), list, header_of_run(), error_text(&error)), 0) << error;
        destroy_list(list);
        recovery_release(&slot);
        dialogs.plan(GTK_RESPONSE_YES);
        recovery_offer_left();
        ASSERT_NE(QP, nullptr);
        EXPECT_EQ(bar(), (std::vector<std::string>{" Start Exam ", " Cancel "}));
        if (round == 0) {
            // Left for another exam: the held list ends, never begun, and
            // its copy waits for the next start.
            click(" Cancel ");
            start_exam(nullptr, (void *)"demo");
            click(" Start Exam ");
            EXPECT_EQ(story(), "eB");
            grade_review_and_end();
            EXPECT_EQ(story(), "eBGE");
            std::vector<recovery_slot> left = recovery_find_left(recovery_dir());
            ASSERT_EQ(left.size(), 1u);
            recovery_discard(&left[0]);
            events.clear();
            continue;
        }
        EXPECT_EQ(story(), "");
        click(" Start Exam ");
        EXPECT_EQ(story(), "B");
        grade_review_and_end();
        EXPECT_EQ(story(), "BGE");
    }
    EXPECT_TRUE(recovery_find_left(recovery_dir()).empty());
}

TEST_F(LifecycleTest, APracticeRunBeginsOnceWithTheOriginsOfItsItems)
{
    // A first run leaves every item unanswered: all three are mistakes.
    start_exam(nullptr, (void *)"demo");
    click(" Start Exam ");
    grade_review_and_end();
    history_db *db = history_open(history_default_path().c_str(), nullptr);
    std::vector<history_mistake> mistakes;
    ASSERT_TRUE(db && history_mistakes(db, "demo", &mistakes, nullptr));
    history_close(db);
    ASSERT_EQ(mistakes.size(), 3u);
    events.clear();

    start_practice("demo", mistakes);
    EXPECT_EQ(line("This practice"), "This practice run holds 3 items you missed.");
    click(" Start Exam ");
    ASSERT_NE(QP, nullptr);
    EXPECT_EQ(story(), "B");
    EXPECT_EQ(run_current()->origins.size(), 3u);
    gtk_button_clicked(GTK_BUTTON(choices()[0]));
    EXPECT_EQ(story(), "BC");
    grade_review_and_end();
    EXPECT_EQ(story(), "BCGE");
}

// The observers hear of a grading once the score report stands, so that
// whatever they tell the examinee (a history that can't be used) comes over
// the report; a started run's items go into the history with the files
// they were drawn from, however those files changed since.
TEST_F(LifecycleTest, GradedIsToldOverTheReportWithTheItemsOrigins)
{
    std::string shown_when_graded;
    auto note = [](run_event event, run_record *, void *shown) {
        if (event == RUN_GRADED)
            *static_cast<std::string *>(shown) = line("Your Score:");
    };
    run_observe(note, &shown_when_graded);
    start_exam(nullptr, (void *)"demo");
    click(" Start Exam ");
    for (const char *name : {"A", "B", "C"})
        write_question_file(exams / (std::string("demo/cat0") + name),
                            "+++\nM1\nRewritten?\n---\n+Yes\n-No\n---\n\n+++\n");
    grade_review_and_end();
    run_unobserve(note, &shown_when_graded);
    EXPECT_EQ(shown_when_graded, "Your Score: 0.0% Correct");

    history_db *db = history_open(history_default_path().c_str(), nullptr);
    std::vector<history_run> runs;
    ASSERT_TRUE(db && history_runs(db, "demo", true, &runs, 0, nullptr));
    history_close(db);
    ASSERT_EQ(runs.size(), 1u);
    std::vector<std::string> files;
    for (const history_item &i : runs[0].items)
        files.push_back(i.file + ":" + std::to_string(i.item));
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"cat0A:1", "cat0B:1", "cat0C:1"}));
}

// Quitting writes at once the change still waiting for its second, so the
// last answers are in the copy the next start offers.
TEST_F(LifecycleTest, QuittingWritesTheWaitingChangeIntoTheCopy)
{
    start_exam(nullptr, (void *)"demo");
    click(" Start Exam ");
    std::string copy = recovery_copy_path();
    ASSERT_FALSE(copy.empty());
    gtk_button_clicked(GTK_BUTTON(choices()[1]));
    pump();
    ASSERT_TRUE(recovery_write_waiting());
    shell_reached(SHELL_QUITTING);
    EXPECT_FALSE(recovery_write_waiting());
    run_header h;
    std::string error;
    question *list = load_list_file(copy.c_str(), nullptr, &h, error_text(&error));
    ASSERT_TRUE(list) << error;
    EXPECT_EQ(list->selected[1], 1);
    destroy_list(list);
}

// A list held in place of a timed run's (the owner frees the old one)
// leaves no countdown ticking on the list that went.
TEST_F(LifecycleTest, AHeldListStopsTheCountdownOfTheRunItReplaces)
{
    question *running = run_of({make_item('M', 1, {"+Right", "-Wrong"})});
    run_start(running, true);
    ASSERT_NE(timer_source, 0u);
    run_hold(make_item('M', 1, {"+Right", "-Wrong"}));
    EXPECT_EQ(timer_source, 0u);
    EXPECT_EQ(story(), "BE");
}

// Starting or grading again (a time-out under the confirmation, a report
// rebuilt) is one beginning and one grading; the end comes once, and
// nothing after it.
TEST_F(LifecycleTest, AfterTheEndNothingMoreIsTold)
{
    start_exam(nullptr, (void *)"demo");
    click(" Start Exam ");
    question *head = QP;
    // Started again (a second press that got through): still one run.
    run_start(head, false);
    EXPECT_EQ(story(), "B");
    gradeExam(head);
    gradeExam(head);
    EXPECT_EQ(story(), "BG");
    run_end();
    run_changed();
    EXPECT_EQ(story(), "BGE");
    EXPECT_EQ(QP, nullptr);
}

} // namespace
