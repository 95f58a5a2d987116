// The recovery copy inside the program: when it is written, what it holds,
// when it goes, and what the examinee is told when it can't be written.
#include "recovery_test.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

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
    EXPECT_TRUE(g_file_test(dir, G_FILE_TEST_IS_DIR));
    EXPECT_EQ(names_in(dir), std::vector<std::string>{});
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

TEST_F(RecoveryTest, ACopyThatCantBeWrittenIsToldOnceTriedAgainAndToldWhenItWorks)
{
    std::string copy = start();
    ASSERT_FALSE(copy.empty());
    // A folder in the copy's place: every write fails, as on a full disk.
    ASSERT_EQ(g_unlink(copy.c_str()), 0);
    ASSERT_EQ(g_mkdir(copy.c_str(), 0700), 0);
    dialogs.plan(GTK_RESPONSE_CLOSE).plan(GTK_RESPONSE_CLOSE);
    int before = recovery_write_count();
    std::string err = stderr_of([&] {
        gtk_button_clicked(GTK_BUTTON(choices()[0]));
        recovery_flush();
        // Beside the window, which goes on taking answers.
        std::vector<GtkWidget *> shown = notices();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_FALSE(gtk_window_get_modal(GTK_WINDOW(shown[0])));
        // More changes and the time watch while it fails: nothing more is said.
        gtk_button_clicked(GTK_BUTTON(choices()[1]));
        recovery_flush();
        recovery_time_check();
        EXPECT_EQ(notices().size(), 1u);
    });
    EXPECT_TRUE(recovery_failing());
    EXPECT_TRUE(recovery_retry_waiting());
    EXPECT_EQ(recovery_write_count(), before);
    ASSERT_TRUE(answered(1));
    EXPECT_EQ(dialogs.seen[0].type, GTK_MESSAGE_WARNING);
    EXPECT_EQ(dialogs.seen[0].parent, GTK_WINDOW(main_window));
    EXPECT_TRUE(g_str_has_prefix(dialogs.seen[0].text.c_str(),
                                 "This run is no longer kept safe: its recovery copy can't be written ("))
        << dialogs.seen[0].text;
    EXPECT_NE(dialogs.seen[0].text.find(copy), std::string::npos);
    EXPECT_NE(err.find("can't be written"), std::string::npos);
    EXPECT_EQ(err.find("can't be written"), err.rfind("can't be written")) << err;

    // Tried again without a change; once it works the examinee is told.
    ASSERT_EQ(g_rmdir(copy.c_str()), 0);
    stderr_of([] { recovery_time_check(); });
    EXPECT_FALSE(recovery_failing());
    EXPECT_FALSE(recovery_retry_waiting());
    EXPECT_EQ(recovery_write_count(), before + 1);
    ASSERT_TRUE(answered(2));
    EXPECT_EQ(dialogs.seen[1].type, GTK_MESSAGE_INFO);
    EXPECT_EQ(dialogs.seen[1].text, "This run is kept safe again: its recovery copy is written.\n");
    question *list = copy_list();
    EXPECT_EQ(list->selected[1], 1);
    destroy_list(list);
}

TEST_F(RecoveryTest, ALinkInTheCopysPlaceIsReplacedNotWrittenThrough)
{
    std::string copy = start();
    TempDir saves;
    std::string mine = saves.write("my_exam", "the examinee's own file");
    ASSERT_EQ(g_unlink(copy.c_str()), 0);
    ASSERT_EQ(symlink(mine.c_str(), copy.c_str()), 0);
    written_once_after([&] { gtk_button_clicked(GTK_BUTTON(choices()[0])); });
    EXPECT_EQ(read_file(mine), "the examinee's own file");
    GStatBuf st;
    ASSERT_EQ(g_lstat(copy.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

// The watch writes when the countdown moved, and only then, for the whole
// run, not only at its first tick. Its timer is made due at once instead of
// waited for.
TEST_F(RecoveryTest, TheTimeWatchWritesWhenTheCountdownMovedTickAfterTick)
{
    enableTimer = 1;
    seconds = 600;
    start();
    int before = recovery_write_count();
    recovery_time_check();
    EXPECT_EQ(recovery_write_count(), before) << "written though the countdown stood still";
    unsigned id = recovery_time_source();
    ASSERT_NE(id, 0u);
    for (int tick = 1; tick <= 3; tick++) {
        SCOPED_TRACE("tick " + std::to_string(tick));
        GSource *source = g_main_context_find_source_by_id(nullptr, id);
        ASSERT_NE(source, nullptr) << "the watch stopped";
        before = recovery_write_count();
        count_seconds(QP);
        g_source_set_ready_time(source, 0);
        gui::pump();
        EXPECT_EQ(recovery_write_count(), before + 1);
    }
    run_header h;
    destroy_list(copy_list(&h));
    EXPECT_EQ(h.seconds, 597);
    EXPECT_EQ(h.passed_time, 3);
    // Going on untimed after the time ran out is written too.
    enableTimer = 0;
    recovery_time_check();
    destroy_list(copy_list(&h));
    EXPECT_EQ(h.enableTimer, 0);
}

} // namespace
