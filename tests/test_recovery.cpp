// The recovery copy inside the program: when it is written, what it holds,
// when it goes, and how a copy left behind is taken up again.
#include "gui_util.h"

#include <glib/gstdio.h>

#include "bank/recovery.h"
#include "grading/grade.h"
#include "grading/review.h"
#include "run/callback.h"
#include "run/owner.h"
#include "saved/recovery.h"
#include "saved/store.h"

namespace {

class RecoveryTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        g_strlcpy(examname, "demo", sizeof examname);
        g_strlcpy(username, "Kim Park", sizeof username);
        run_of({make_item('S', 1, {"+Yes", "-No"}), make_item('M', 1, {"+A", "+B", "-C"}),
                make_item('F', 1, {"Paris"})});
    }

    // " Start Exam " of the resume form for the list in QP.
    static std::string start()
    {
        cb_load_start(nullptr, nullptr);
        gui::pump();
        return recovery_copy_path();
    }
    // The copy's list; *h its header.
    static question *copy_list(run_header *h = nullptr)
    {
        run_header header;
        bool ok = false;
        std::string error;
        question *list = load_list_file(recovery_copy_path().c_str(), &header, &ok, &error);
        EXPECT_TRUE(ok) << error;
        if (h)
            *h = header;
        return list;
    }
    // The change `change` makes waits for its second; then it is written once.
    static void written_once_after(const std::function<void()> &change)
    {
        int before = recovery_write_count();
        change();
        gui::pump();
        EXPECT_TRUE(recovery_write_waiting());
        EXPECT_EQ(recovery_write_count(), before);
        recovery_flush();
        EXPECT_EQ(recovery_write_count(), before + 1);
        EXPECT_FALSE(recovery_write_waiting());
    }
};

TEST_F(RecoveryTest, CopyIsKeptFromStartUntilGradingAndSaveExamLeavesIt)
{
    std::string copy = start();
    ASSERT_FALSE(copy.empty());
    run_header h;
    question *list = copy_list(&h);
    EXPECT_EQ(list_length(list), 3);
    EXPECT_STREQ(h.username, "Kim Park");
    EXPECT_STREQ(h.examname, "demo");
    destroy_list(list);

    TempDir saves;
    EXPECT_EQ(write_list((saves / "kept").c_str(), QP), 4);
    EXPECT_TRUE(g_file_test(copy.c_str(), G_FILE_TEST_EXISTS));

    gradeExam(QP);
    EXPECT_FALSE(g_file_test(copy.c_str(), G_FILE_TEST_EXISTS));
    EXPECT_EQ(recovery_copy_path(), "");
    // Nothing of the run is left in the folder: no copy, no lock.
    gchar *dir = g_path_get_dirname(copy.c_str());
    EXPECT_TRUE(recovery_find_left(dir).empty());
    GDir *d = g_dir_open(dir, 0, nullptr);
    ASSERT_TRUE(d);
    EXPECT_EQ(g_dir_read_name(d), nullptr);
    g_dir_close(d);
    g_free(dir);
}

TEST_F(RecoveryTest, EndExamRemovesTheCopyAndLaterChangesWriteNothing)
{
    std::string copy = start();
    run_end();
    EXPECT_FALSE(g_file_test(copy.c_str(), G_FILE_TEST_EXISTS));
    // A changed answer after the end writes nothing.
    recovery_changed();
    EXPECT_FALSE(recovery_write_waiting());
}

TEST_F(RecoveryTest, EveryChangeOfTheExamineeIsWrittenOnceForAWholeBurst)
{
    start();
    // The first item: a tick and a mark in one burst.
    written_once_after([&] {
        gtk_button_clicked(GTK_BUTTON(choices()[0]));
        gtk_button_clicked(GTK_BUTTON(gui::find_button(frame, "Mark Item for Review")));
    });
    written_once_after([&] { click(" Next Item "); });
    written_once_after([&] { gtk_button_clicked(GTK_BUTTON(choices()[1])); });
    written_once_after([&] { click(" Previous Item "); });
    written_once_after([&] { click(" Next Item "), click(" Next Item "); });
    // Typing a word is one burst.
    GtkWidget *entry = gui::find_of_type(frame, GTK_TYPE_ENTRY);
    written_once_after([&] {
        std::string typed;
        for (char c : std::string("Paris, France"))
            gtk_entry_set_text(GTK_ENTRY(entry), (typed += c).c_str());
    });
    written_once_after([&] { click(" Review Screen "); });
    reviewAll = 1, reviewMarked = 0;
    cb_review_start(nullptr, QP);
    written_once_after([&] { click(" Next Item "); });

    question *list = copy_list();
    ASSERT_EQ(list_length(list), 3);
    EXPECT_EQ(list->selected[0], 1);
    EXPECT_EQ(list->marked, 1);
    EXPECT_EQ(list->next->selected[1], 1);
    EXPECT_STREQ(list->next->next->entry, "Paris, France");
    destroy_list(list);
}

TEST_F(RecoveryTest, TheTimeWatchWritesOnlyWhenTheCountdownMoved)
{
    enableTimer = 1;
    seconds = 600;
    start();
    int before = recovery_write_count();
    recovery_time_check();
    EXPECT_EQ(recovery_write_count(), before);
    count_seconds(QP);
    recovery_time_check();
    EXPECT_EQ(recovery_write_count(), before + 1);
    run_header h;
    destroy_list(copy_list(&h));
    EXPECT_EQ(h.seconds, 599);
    EXPECT_EQ(h.passed_time, 1);
    // Going on untimed after the time ran out is written too.
    enableTimer = 0;
    recovery_time_check();
    destroy_list(copy_list(&h));
    EXPECT_EQ(h.enableTimer, 0);
}

// A copy left by a program that is gone, written by the core writer.
static std::string left_copy(question *list)
{
    std::string dir = recovery_dir(), error;
    recovery_slot slot;
    EXPECT_TRUE(recovery_claim(dir, &slot, &error)) << error;
    run_header h = header_of_run();
    EXPECT_GT(save_list_file(slot.copy.c_str(), list, h, &error), 0) << error;
    recovery_release(&slot);
    return slot.copy;
}

TEST_F(RecoveryTest, YesResumesTheCopyWhichGoesOnAsTheRunsOwn)
{
    QP->selected[0] = 1;
    QP->next->marked = 1;
    std::string copy = left_copy(QP);
    destroy_list(QP);
    QP = nullptr;
    username[0] = '\0';
    dialogs.plan(GTK_RESPONSE_YES);
    recovery_offer_left();
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_NE(dialogs.seen[0].text.find("Examinee: Kim Park\n"), std::string::npos);
    EXPECT_STREQ(username, "Kim Park");
    EXPECT_EQ(bar(), (std::vector<std::string>{" Start Exam ", " Cancel "}));
    EXPECT_FALSE(gui::is_sensitive(exam_open));
    // Until its run starts the copy is held: no other program offers it.
    EXPECT_TRUE(recovery_find_left(recovery_dir()).empty());

    EXPECT_EQ(start(), copy);
    EXPECT_TRUE(on(choices()[0]));
    gradeExam(QP);
    EXPECT_FALSE(g_file_test(copy.c_str(), G_FILE_TEST_EXISTS));
}

TEST_F(RecoveryTest, AResumedCopyWhoseFormIsLeftForAnotherRunWaitsForTheNextStart)
{
    std::string copy = left_copy(QP);
    destroy_list(QP);
    QP = nullptr;
    dialogs.plan(GTK_RESPONSE_YES);
    recovery_offer_left();
    cb_cancel(nullptr, nullptr);
    run_start(make_item('S', 1, {"+Yes", "-No"}), false);
    std::string own = recovery_copy_path();
    EXPECT_NE(own, copy);
    std::vector<recovery_slot> left = recovery_find_left(recovery_dir());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].copy, copy);
    recovery_discard(&left[0]);
}

} // namespace
