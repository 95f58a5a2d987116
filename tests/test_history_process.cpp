// The real trialix in a process of its own (tests/driver_module.cpp):
// the runs it records are in the history file itself once it has ended,
// and a run it can't record while another program holds the history is
// kept and recorded at the next start.
#include <gtest/gtest.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sqlite3.h>

#include <string>

#include "process_driver.h"
#include "test_util.h"

namespace {

using namespace proc;

class HistoryProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.write("config/trialix/trialix.conf", std::string("[Trialix]\nexamdir=") + TEST_EXAMS_DIR +
                                                      "\nexamconfig=.xconfig\nprefix=cat\n");
        root.write("config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + root.mkdir("Documents") + "\"\n");
        root.mkdir("home");
        root.mkdir("etc");
        history = root / "data/trialix/history.sqlite";
        kept = root / "data/trialix/pending";
    }

    // One run, graded with nothing answered; how long grading took.
    gint64 graded_run(Trialix &app)
    {
        app.act("menu", "Start Practice Exam");
        app.click("Start Exam");
        app.click("Grade Exam");
        gint64 asked = g_get_monotonic_time();
        app.click("Yes");
        app.wait_for("the score report", [](const Screen &s) { return find(s, "button", "End Exam"); });
        gint64 took = g_get_monotonic_time() - asked;
        app.click("End Exam");
        app.wait_for("the empty window", [](const Screen &s) { return !find(s, "button", "End Exam"); });
        return took;
    }

    void quit(Trialix &app)
    {
        app.act("menu", "Quit");
        EXPECT_EQ(app.wait_exit(), 0);
    }

    int runs_in_file() { return runs_in(history); }

    int kept_runs() { return (int)names_in(kept).size(); }

    bool log_beside() { return g_file_test((history + "-wal").c_str(), G_FILE_TEST_EXISTS); }

    TempDir root;
    std::string history, kept;
};

TEST_F(HistoryProcess, TheRunsAreInTheFileOnceTheProgramHasEnded)
{
    Trialix app(root);
    app.start();
    graded_run(app);
    graded_run(app);
    quit(app);
    EXPECT_FALSE(log_beside());
    EXPECT_EQ(runs_in_file(), 2);
}

TEST_F(HistoryProcess, ARunTheHistoryCantTakeIsKeptAndRecordedAtTheNextStart)
{
    Trialix app(root);
    app.start();
    graded_run(app);
    ASSERT_EQ(runs_in_file(), 1);

    // Another program writing, stuck in its transaction.
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(history.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; DELETE FROM item_stats", nullptr, nullptr, nullptr), SQLITE_OK);
    gint64 took = graded_run(app);
    EXPECT_LT(took, 2 * G_USEC_PER_SEC) << "grading waited for the other program";
    EXPECT_EQ(kept_runs(), 1);
    // The window reads it all the same.
    app.act("menu", "Results History");
    app.wait_for("the history window", [](const Screen &s) { return find(s, "window", "Results History"); });
    app.click("Close");
    quit(app);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(runs_in_file(), 1);

    app.start();
    gint64 end = g_get_monotonic_time() + WAIT_USEC;
    while (kept_runs() > 0 && g_get_monotonic_time() < end)
        g_usleep(POLL_MS * 1000);
    EXPECT_EQ(kept_runs(), 0);
    quit(app);
    EXPECT_FALSE(log_beside());
    EXPECT_EQ(runs_in_file(), 2);
}

} // namespace
