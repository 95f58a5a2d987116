// The results history: what is recorded comes back whole, a crash or a
// second program never costs a run, a bad database is refused untouched;
// items find their question files; trialix-pack history prints it all.
#include <sqlite3.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "bank/history.h"
#include "pack_run.h"
#include "tools/history_cli.h"
#include "test_util.h"

namespace {

history_run sample_run(const std::string &exam, long long taken, int ok_a, int ok_b)
{
    history_run r;
    r.exam = exam;
    r.title = "Sample <i>exam</i>";
    r.taken = taken;
    r.examinee = "Zoë \"Z\" O'Neil";
    r.training = false;
    r.timer = true;
    r.time_used = 125;
    r.total_points = 3;
    r.reached_points = (ok_a == 1) * 1 + (ok_b == 1) * 2;
    r.score = 100.0 / 3 * r.reached_points;
    r.pass_mark = 60;
    r.passed = r.score >= 60;
    r.items = {{"cat01", 2, "aa11", 1, ok_a}, {"cat02", 1, "bb22", 2, ok_b}, {"", 0, "cc33", 1, 0}};
    return r;
}

history_db *open_at(const std::string &path)
{
    std::string error;
    history_db *db = history_open(path.c_str(), &error);
    EXPECT_NE(db, nullptr) << error;
    return db;
}

std::vector<history_run> runs_of(const std::string &path, const char *exam)
{
    history_db *db = open_at(path);
    std::vector<history_run> runs;
    std::string error;
    EXPECT_TRUE(db && history_runs(db, exam, true, &runs, &error)) << error;
    history_close(db);
    return runs;
}

#ifndef _WIN32
// Runs `child` in a forked process; returns how it ended (waitpid status).
template <typename F> int in_child(F child)
{
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        child();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}
#endif

} // namespace

TEST(History, RunsComeBackFieldByFieldAndRankTheExam)
{
    TempDir dir;
    std::string path = dir / "deep/folder/history.sqlite";
    history_db *db = open_at(path);
    ASSERT_NE(db, nullptr);
    std::string error;
    history_run first = sample_run("net1", 1000, -1, 1), second = sample_run("net1", 2000, 1, 0);
    history_run other = sample_run("git", 1500, 1, 1);
    for (history_run *r : {&first, &other, &second})
        ASSERT_TRUE(history_record(db, r, &error)) << error;
    EXPECT_GT(second.id, first.id);
    history_close(db);

    std::vector<history_run> runs = runs_of(path, "net1");
    ASSERT_EQ(runs.size(), 2u);
    const history_run &r = runs[0];   // newest first
    EXPECT_EQ(r.id, second.id);
    EXPECT_EQ(r.exam, "net1");
    EXPECT_EQ(r.title, "Sample <i>exam</i>");
    EXPECT_EQ(r.taken, 2000);
    EXPECT_EQ(r.examinee, "Zoë \"Z\" O'Neil");
    EXPECT_TRUE(!r.training && r.timer && r.time_used == 125 && r.item_count == 3);
    EXPECT_TRUE(r.total_points == 3 && r.reached_points == 1 && r.pass_mark == 60 && !r.passed);
    EXPECT_DOUBLE_EQ(r.score, second.score);
    ASSERT_EQ(r.items.size(), 3u);
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(r.items[i].file, second.items[i].file);
        EXPECT_EQ(r.items[i].item, second.items[i].item);
        EXPECT_EQ(r.items[i].fingerprint, second.items[i].fingerprint);
        EXPECT_EQ(r.items[i].points, second.items[i].points);
        EXPECT_EQ(r.items[i].ok, second.items[i].ok);
    }

    db = open_at(path);
    std::vector<history_exam> exams;
    ASSERT_TRUE(history_exams(db, &exams, &error));
    ASSERT_EQ(exams.size(), 2u);
    EXPECT_TRUE(exams[0].exam == "net1" && exams[0].runs == 2 && exams[0].last_taken == 2000);
    EXPECT_EQ(exams[1].exam, "git");

    // cat02: 1 of 2 right; cat01: 1 of 2 right too, so by name. The item
    // of no known file is in neither.
    std::vector<history_file> files;
    ASSERT_TRUE(history_weak_files(db, "net1", &files, &error));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(files[0].file == "cat01" && files[0].runs == 2 && files[0].drawn == 2 && files[0].right == 1);
    EXPECT_EQ(files[1].file, "cat02");

    std::vector<history_mistake> missed;
    ASSERT_TRUE(history_mistakes(db, "net1", &missed, &error));
    ASSERT_EQ(missed.size(), 2u);
    EXPECT_TRUE(missed[0].file == "cat01" && missed[0].item == 2 && missed[0].missed == 1);
    EXPECT_EQ(missed[1].file, "cat02");
    history_close(db);
}

#ifndef _WIN32   // forks a program of its own
TEST(History, AKilledRecordingLeavesTheEarlierRunsWhole)
{
    TempDir dir;
    std::string path = dir / "history.sqlite";
    history_db *db = open_at(path);
    history_run first = sample_run("net1", 1000, 1, 1);
    std::string error;
    ASSERT_TRUE(history_record(db, &first, &error));
    history_close(db);

    int status = in_child([&] {
        history_db *child = open_at(path);
        history_run doomed = sample_run("net1", 3000, -1, -1);
        history_record(child, &doomed, nullptr, [] { raise(SIGKILL); });
    });
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    std::vector<history_run> runs = runs_of(path, "net1");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].items.size(), 3u);
    // Nothing of the killed run is left, not even its items.
    db = open_at(path);
    std::vector<history_file> files;
    ASSERT_TRUE(history_weak_files(db, "net1", &files, &error));
    EXPECT_EQ(files.at(0).drawn, 1);
    history_run next = sample_run("net1", 4000, 1, 1);
    EXPECT_TRUE(history_record(db, &next, &error)) << error;
    history_close(db);
}
#endif

TEST(History, ADamagedOrNewerDatabaseIsRefusedAsItIs)
{
    TempDir dir;
    std::string junk(8192, '\x5a');
    std::string damaged = dir.write("damaged.sqlite", junk);
    std::string error;
    EXPECT_EQ(history_open(damaged.c_str(), &error), nullptr);
    EXPECT_NE(error.find("not a database"), std::string::npos) << error;
    EXPECT_EQ(read_file(damaged), junk);

    std::string newer = dir / "newer.sqlite";
    sqlite3 *sql = nullptr;
    ASSERT_EQ(sqlite3_open(newer.c_str(), &sql), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(sql, "CREATE TABLE runs(x); PRAGMA user_version = 7", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(sql);
    error.clear();
    EXPECT_EQ(history_open(newer.c_str(), &error), nullptr);
    EXPECT_NE(error.find("newer version"), std::string::npos) << error;

    // A folder in the way of the database's own folder.
    dir.write("file", "x");
    EXPECT_EQ(history_open((dir / "file/history.sqlite").c_str(), &error), nullptr);
}

#ifndef _WIN32   // forks programs of their own
TEST(History, TwoProgramsRecordingAtOnceLoseNothing)
{
    TempDir dir;
    std::string path = dir / "history.sqlite";
    history_close(open_at(path));
    constexpr int PROGRAMS = 2, RUNS = 40;
    std::vector<pid_t> pids;
    fflush(nullptr);
    for (int p = 0; p < PROGRAMS; p++) {
        pid_t pid = fork();
        if (pid == 0) {
            int failed = 0;
            for (int i = 0; i < RUNS; i++) {
                // Each run opens the database afresh, as the program does.
                history_db *db = history_open(path.c_str(), nullptr);
                history_run r = sample_run("net1", 100 * p + i, 1, -1);
                failed += !db || !history_record(db, &r, nullptr);
                history_close(db);
            }
            _exit(failed);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<history_run> runs = runs_of(path, "net1");
    EXPECT_EQ(runs.size(), (size_t)(PROGRAMS * RUNS));
    for (const history_run &r : runs)
        EXPECT_EQ(r.items.size(), 3u);
}
#endif

TEST(History, ItemsFindTheirFilesAndPracticeTakesOnlyUnchangedOnes)
{
    TempDir exam;
    auto item = [](const char *text, const char *right) {
        return std::string("+++\nS1\n") + text + "\n---\n+" + right + "\n-Wrong\n---\n\n";
    };
    write_question_file(exam / "cat01", item("Sky?", "Blue") + item("Grass?", "Green") + "+++\n");
    write_question_file(exam / "cat02", item("Snow?", "White") + "+++\n");
    std::vector<std::string> names = {"cat01", "cat02"};

    // A run of cat02's item, then cat01's second; then an item of no file.
    question *list = read_question(1, (exam / "cat02").c_str());
    append_question(list, read_question(2, (exam / "cat01").c_str()));
    question *stranger = make_item('S', 1, {"+Yes"}, "Edited?");
    append_question(list, stranger);
    list->next->OK = OK_WRONG;
    std::vector<history_item> found = history_items_of(list->next);
    ASSERT_EQ(found.size(), 3u);
    match_items(&found, exam.path().c_str(), names);
    EXPECT_TRUE(found[0].file == "cat02" && found[0].item == 1);
    EXPECT_TRUE(found[1].file == "cat01" && found[1].item == 2 && found[1].ok == OK_WRONG);
    EXPECT_TRUE(found[2].file.empty() && found[2].item == 0);
    EXPECT_EQ(found[1].fingerprint, item_fingerprint(list->next));
    // Kind, text and every answer count; the points don't.
    question copy = *list->next;
    copy.points = 5;
    EXPECT_EQ(item_fingerprint(&copy), found[1].fingerprint);
    for (char *field : {copy.text, copy.answers[6]}) {
        copy = *list->next;
        field[0] ^= 1;
        EXPECT_NE(item_fingerprint(&copy), found[1].fingerprint);
    }
    destroy_list(list);

    // Most missed first, one per file, none edited since; at most `max`.
    std::vector<history_mistake> mistakes = {
        {"cat01", 2, found[1].fingerprint, 3, 3},
        {"cat01", 1, "feed", 2, 2},                  // edited since
        {"cat02", 1, found[0].fingerprint, 1, 4},
        {"cat01", 1, found[1].fingerprint, 1, 1},   // same text, other place
        {"cat09", 1, "beef", 1, 1},                 // file gone
    };
    std::vector<history_mistake> chosen = practice_items(mistakes, exam.path().c_str(), MAX_RUN_ITEMS);
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_TRUE(chosen[0].file == "cat01" && chosen[0].item == 2);
    EXPECT_EQ(chosen[1].file, "cat02");
    EXPECT_EQ(practice_items(mistakes, exam.path().c_str(), 1).size(), 1u);

    question *practice = create_practice_list(chosen, exam.path().c_str());
    ASSERT_NE(practice, nullptr);
    EXPECT_EQ(list_length(practice), 2);
    EXPECT_STREQ(practice->text, "Grass?");
    EXPECT_TRUE(practice->number == 1 && practice->next->number == 2);
    destroy_list(practice);

    // A fresh run tells where its items came from as it is assembled.
    std::vector<item_origin> origins;
    practice = create_exam_list({1, 0}, 2, exam.path().c_str(), names, &origins);
    ASSERT_EQ(origins.size(), 2u);
    EXPECT_EQ(origins[0].file, "cat02");
    question *again = read_question(origins[1].item, (exam / origins[1].file).c_str());
    EXPECT_STREQ(again->text, practice->next->text);
    destroy_list(again);
    destroy_list(practice);
    EXPECT_EQ(create_practice_list({{"cat09", 1, "beef", 1, 1}}, exam.path().c_str()), nullptr);
}

TEST(History, ThePackToolPrintsTheTableAndTheWeakFiles)
{
    TempDir dir;
    std::string path = dir / "history.sqlite";
    auto history = [](std::vector<std::string> args) { return run(args, history_main); };
    result none = history({"history", "--db", path});
    EXPECT_EQ(none.status, PACK_PROBLEM);
    EXPECT_FALSE(g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) << "reading made a database";

    history_db *db = open_at(path);
    history_run a = sample_run("net1", 86400, -1, 1), b = sample_run("git", 90000, 1, 1);
    for (history_run *r : {&a, &b})
        ASSERT_TRUE(history_record(db, r, nullptr));
    history_close(db);

    result json = history({"history", "net1", "--json", "--db", path});
    ASSERT_EQ(json.status, PACK_OK) << json.err;
    EXPECT_EQ(json.out,
              R"([{"exam":"net1","title":"Sample <i>exam</i>","runs":[{"date":"1970-01-02T00:00:00Z",)"
              R"("examinee":"Zoë \"Z\" O'Neil","mode":"exam","timer":true,"time_used":125,"items":3,)"
              R"("total_points":3,"reached_points":2,"score":66.7,"pass_mark":60,"passed":true}],)"
              R"("weak_files":[{"file":"cat01","runs":1,"drawn":1,"right":0},)"
              R"({"file":"cat02","runs":1,"drawn":1,"right":1}]}])" "\n");

    // Without an exam: every exam, the last one taken first.
    result all = history({"history", "--db=" + path});
    ASSERT_EQ(all.status, PACK_OK);
    EXPECT_LT(all.out.find("Exam git:"), all.out.find("Exam net1:"));
    EXPECT_TRUE(has_line(all.out, "  cat01                    1  0 of 1")) << all.out;
    EXPECT_NE(all.out.find(" 66.7%  Passed   2:05\n"), std::string::npos) << all.out;

    EXPECT_EQ(history({"history", "nosuch", "--db", path}).status, PACK_PROBLEM);
    for (std::vector<std::string> bad : {std::vector<std::string>{"history", "a", "b"},
                                         {"history", "--db"}, {"history", "--csv"}})
        EXPECT_EQ(history(bad).status, PACK_USAGE) << bad.back();
}
