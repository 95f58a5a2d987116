// The real trialix in a process of its own, driven by the labels on its
// screen (tests/driver_module.cpp), killed in the middle of a run and
// started again: what the recovery copy keeps, and what becomes of copies
// left behind.
#include <gtest/gtest.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bank/recovery.h"
#include "bank/saved_file.h"
#include "process_driver.h"
#include "test_util.h"

namespace {

using namespace proc;

class RecoveryProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.write("config/trialix/trialix.conf", std::string("[Trialix]\nexamdir=") +
                                                      TEST_EXAMS_DIR +
                                                      "\nexamconfig=.xconfig\nprefix=cat\n");
        root.write("config/user-dirs.dirs",
                   "XDG_DOCUMENTS_DIR=\"" + root.mkdir("Documents") + "\"\n");
        root.mkdir("home");
        root.mkdir("etc");
        recovery = root.mkdir("state/trialix/recovery");
    }

    TempDir root;
    std::string recovery;
};

// What the examinee did to one item, and how to see it again.
struct Done {
    char kind;
    std::vector<std::string> ticked;   // choice labels
    std::string typed;
    bool marked;
};

Done answer_item(Trialix &app, const Screen &s, int index)
{
    Done d{'F', {}, "", index != 1};
    std::vector<const Widget *> radios = all(s, "radio"), checks = all(s, "check");
    if (!radios.empty()) {
        d = {'S', {radios.back()->text}, "", d.marked};
    } else if (!checks.empty()) {
        d = {'M', {checks.front()->text, checks.back()->text}, "", d.marked};
    } else {
        d.typed = "Mercury " + std::to_string(index);
        app.act("type", d.typed);
    }
    for (const std::string &t : d.ticked)
        app.click(trim(t));
    if (d.marked)
        app.click("Mark Item for Review");
    return d;
}

bool shows(const Screen &s, const Done &d)
{
    const Widget *mark = find(s, "check", "Mark Item for Review");
    if (!mark || (mark->active == "1") != d.marked)
        return false;
    if (d.kind == 'F') {
        const Widget *entry = nullptr;
        for (const Widget &w : s)
            if (w.kind == "entry")
                entry = &w;
        return entry && entry->text == d.typed;
    }
    std::vector<const Widget *> choices = all(s, d.kind == 'S' ? "radio" : "check");
    if (choices.empty())
        return false;
    for (const Widget *c : choices) {
        bool want = std::find(d.ticked.begin(), d.ticked.end(), c->text) != d.ticked.end();
        if ((c->active == "1") != want)
            return false;
    }
    return true;
}

bool copy_holds(const std::string &path, const std::vector<Done> &done)
{
    run_header h;
    question *list = load_list_file(path.c_str(), nullptr, &h, nullptr);
    bool same = list && std::string(h.username) == "Jane Doe";
    int i = 0;
    for (question *r = list; same && r; r = r->next, i++)
        same = i < (int)done.size() && (r->marked != 0) == done[i].marked &&
               (done[i].kind != 'F' || done[i].typed == r->entry);
    destroy_list(list);
    return same && i == (int)done.size();
}

TEST_F(RecoveryProcess, KilledRunIsResumedWithEveryAnswerMarkNameAndTheTimeLeft)
{
    Trialix app(root);
    app.start();
    app.act("menu", "Start Practice Exam");
    app.wait_for("the start form", [](const Screen &s) { return find(s, "button", "Start Exam"); });
    app.act("type", "Jane Doe");
    app.click("Enable Timer");
    app.wait_for("the timer ticked", [](const Screen &s) {
        const Widget *t = find(s, "check", "Enable Timer");
        return t && t->active == "1";
    });
    app.click("Start Exam");

    std::vector<Done> done;
    for (int i = 0; i < 3; i++) {
        Screen s = app.wait_for("item " + std::to_string(i + 1), [](const Screen &s) {
            return find(s, "check", "Mark Item for Review") != nullptr;
        });
        done.push_back(answer_item(app, s, i));
        app.wait_for("the answer shown", [&](const Screen &s) { return shows(s, done.back()); });
        if (i < 2)
            app.click("Next Item");
    }

    // The copy catches up within a second of the last change.
    std::string copy;
    gint64 end = g_get_monotonic_time() + WAIT_USEC;
    while (g_get_monotonic_time() < end) {
        std::vector<std::string> copies = paths_in(recovery, ".trx");
        if (copies.size() == 1 && copy_holds(copies[0], done)) {
            copy = copies[0];
            break;
        }
        g_usleep(POLL_MS * 1000);
    }
    ASSERT_FALSE(copy.empty()) << "no recovery copy with every answer";
    int left_at_kill = seconds_after(label_with(app.dump(), "Time Remaining:"), "Time Remaining: ");
    ASSERT_GT(left_at_kill, 0);
    app.stop(SIGKILL);

    app.start();
    Screen q = app.wait_for("the question", [](const Screen &s) {
        return !label_with(s, "Do you want to resume it?").empty();
    });
    std::string text = label_with(q, "Do you want to resume it?");
    EXPECT_NE(text.find("Exam: Sample exam"), std::string::npos) << text;
    EXPECT_NE(text.find("Examinee: Jane Doe"), std::string::npos) << text;
    EXPECT_NE(text.find("Last written: "), std::string::npos) << text;
    app.click("Yes");
    Screen form = app.wait_for("the resume form", [](const Screen &s) {
        return find(s, "button", "Start Exam") && !label_with(s, "Exam was saved:").empty();
    });
    EXPECT_TRUE(find(form, "entry", "Jane Doe"));
    const Widget *timer = find(form, "check", "Enable Timer");
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->active, "1");
    int left = seconds_after(label_with(form, "You will have"), "You will have ");
    // Written at most one countdown watch ago, and the status bar showed
    // the time before its tick's second went.
    EXPECT_GE(left, left_at_kill - 1);
    EXPECT_LE(left, left_at_kill + 31);

    app.click("Start Exam");
    for (int i = 0; i < 3; i++) {
        app.wait_for("item " + std::to_string(i + 1) + " as answered",
                     [&](const Screen &s) { return shows(s, done[i]); });
        if (i < 2)
            app.click("Next Item");
    }
    // The resumed run keeps the copy it came from, and grading removes it.
    EXPECT_EQ(paths_in(recovery, ".trx"), std::vector<std::string>{copy});
    app.click("Grade Exam");
    app.click("Yes");
    app.wait_for("the score report", [](const Screen &s) { return find(s, "button", "End Exam"); });
    EXPECT_TRUE(paths_in(recovery, ".trx").empty());
    EXPECT_TRUE(paths_in(recovery, ".lock").empty());
}

TEST_F(RecoveryProcess, CopiesAnsweredNoOrDamagedAreKeptAsSavedExamsAndALiveOneIsLeftAlone)
{
    run_header h;
    g_strlcpy(h.examname, "sample", sizeof h.examname);
    g_strlcpy(h.username, "Ann Lee", sizeof h.username);
    g_strlcpy(h.examtitle, "Sample", sizeof h.examtitle);
    h.seconds = 600;
    h.num_questions = 1;
    question *item = make_item('S', 1, {"+Yes", "-No"});
    item->selected[0] = 1;
    std::string error;
    std::string good = recovery + "/run-1-aaaaaa.trx";
    ASSERT_EQ(save_list_file(good.c_str(), item, h, error_text(&error)), 2) << error;
    std::string damaged = recovery + "/run-2-bbbbbb.trx";
    write_file(damaged, "not a saved exam");
    ASSERT_TRUE(set_file_age(damaged, 120));
    // A copy whose program still runs: this test holds its lock.
    recovery_slot live;
    ASSERT_TRUE(recovery_claim(recovery, &live, error_text(&error))) << error;
    ASSERT_EQ(save_list_file(live.copy.c_str(), item, h, error_text(&error)), 2) << error;
    destroy_list(item);
    std::string good_bytes = read_file(good), live_bytes = read_file(live.copy);

    Trialix app(root);
    app.start();
    Screen q = app.wait_for("the question", [](const Screen &s) {
        return !label_with(s, "Do you want to resume it?").empty();
    });
    EXPECT_NE(label_with(q, "resume it").find("Exam: Sample Examinee: Ann Lee Last written"), std::string::npos);
    app.click("No");
    // One notice for both: where each was kept.
    Screen kept = app.wait_for("where they were kept", [](const Screen &s) {
        return !label_with(s, "2 exams left running were kept as saved exams:").empty();
    });
    std::string told = label_with(kept, "were kept as");
    EXPECT_NE(told.find(root / "Documents/sample_Ann_Lee_"), std::string::npos) << told;
    EXPECT_NE(told.find(root / "Documents/recovered_Unnamed_"), std::string::npos) << told;
    EXPECT_NE(told.find(" (could not be read)"), std::string::npos) << told;
    app.click("Close");
    app.wait_for("the empty main window", [](const Screen &s) {
        return find(s, "window", "Trialix 1.0") && label_with(s, "were kept as").empty();
    });

    std::vector<std::string> saved = paths_in(root / "Documents");
    ASSERT_EQ(saved.size(), 2u);
    std::vector<std::string> contents = {read_file(saved[0]), read_file(saved[1])};
    EXPECT_NE(std::find(contents.begin(), contents.end(), good_bytes), contents.end());
    EXPECT_NE(std::find(contents.begin(), contents.end(), "not a saved exam"), contents.end());
    EXPECT_EQ(paths_in(recovery, ".trx"), std::vector<std::string>{live.copy});
    EXPECT_EQ(read_file(live.copy), live_bytes);
    recovery_discard(&live);
}

TEST_F(RecoveryProcess, ManyCopiesAreAskedAboutOnceAndWhatIsNoCopyNeverStallsTheStart)
{
    // 150 copies left behind, and beside them what a careless or hostile
    // hand leaves: a FIFO, a link to /dev/zero, a folder, a 2 GiB sparse
    // file, a link to the examinee's own saved exam, a cut write's leftover.
    run_header h;
    g_strlcpy(h.examname, "sample", sizeof h.examname);
    g_strlcpy(h.examtitle, "Sample", sizeof h.examtitle);
    h.num_questions = 1;
    question *item = make_item('S', 1, {"+Yes", "-No"});
    std::string error;
    const int copies = 150;
    for (int i = 0; i < copies; i++) {
        g_strlcpy(h.username, ("Examinee " + std::to_string(i)).c_str(), sizeof h.username);
        std::string path = recovery + "/run-" + std::to_string(1000 + i) + "-aaaaaa.trx";
        ASSERT_EQ(save_list_file(path.c_str(), item, h, error_text(&error)), 2) << error;
        ASSERT_TRUE(set_file_age(path, 1000 - i));
    }
    std::string mine = root / "Documents/my_exam";
    ASSERT_EQ(save_list_file(mine.c_str(), item, h, error_text(&error)), 2) << error;
    destroy_list(item);
    std::string mine_bytes = read_file(mine);
    ASSERT_EQ(mkfifo((recovery + "/run-1-fifo00.trx").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (recovery + "/run-2-zero00.trx").c_str()), 0);
    root.mkdir("state/trialix/recovery/run-3-folder.trx");
    int fd = g_open((recovery + "/run-4-sparse.trx").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, (off_t)RECORD_SIZE * 348000), 0);
    close(fd);
    ASSERT_EQ(symlink(mine.c_str(), (recovery + "/run-5-mine00.trx").c_str()), 0);
    std::string leftover = root.write("state/trialix/recovery/.goutputstream-X1Y2Z3", "half");
    ASSERT_TRUE(set_file_age(leftover, 3600));

    Trialix app(root);
    app.start();
    Screen q = app.wait_for("the one question", [](const Screen &s) {
        return !label_with(s, "150 exams were still running").empty();
    });
    EXPECT_EQ(all(q, "radio").size(), (size_t)copies);
    EXPECT_NE(all(q, "radio")[0]->text.find("Examinee 149, last written "), std::string::npos);
    app.click("Keep All as Saved Exams");
    app.wait_for("the one notice", [](const Screen &s) {
        return !label_with(s, "150 exams left running were kept as saved exams:").empty();
    });
    app.click("Close");
    app.wait_for("the empty main window", [](const Screen &s) {
        return find(s, "window", "Trialix 1.0") && label_with(s, "were kept as").empty() &&
               !find(s, "button", "Close");
    });
    // Kept: the copies, and nothing else; no link was written through.
    EXPECT_EQ(paths_in(root / "Documents").size(), (size_t)copies + 1);
    EXPECT_EQ(read_file(mine), mine_bytes);
    EXPECT_TRUE(paths_in(recovery, ".trx").empty());
    EXPECT_EQ(paths_in(recovery, ".not-a-copy").size(), 5u);
    EXPECT_FALSE(g_file_test(leftover.c_str(), G_FILE_TEST_EXISTS));
    app.stop();

    // Once: the next start asks nothing.
    app.start();
    Screen s = app.dump();
    EXPECT_TRUE(label_with(s, "still running").empty());
    EXPECT_FALSE(find(s, "button", "Close"));
}

} // namespace
