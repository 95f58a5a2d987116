// The results history: what is recorded comes back whole, a crash or a
// second program never costs a run, a bad database is refused untouched;
// items find their question files; trialix-pack history prints it all.
#include <glib/gstdio.h>
#include <sqlite3.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <climits>
#include <cmath>
#include <cstring>
#include <set>

#include "bank/history.h"
#include "pack_run.h"
#include "tools/history_cli.h"
#include "tools/report_cli.h"
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
    r.items = {{"cat01", 2, "aa11", 1, ok_a, "Paris\nRome\n"},
               {"cat02", 1, "bb22", 2, ok_b, "typed ÿ"},
               {"", 0, "cc33", 1, 0, ""}};
    return r;
}

history_db *open_at(const std::string &path)
{
    std::string error;
    history_db *db = history_open(path.c_str(), error_text(&error));
    EXPECT_NE(db, nullptr) << error;
    return db;
}

bool exists(const std::string &path)
{
    return g_file_test(path.c_str(), G_FILE_TEST_EXISTS);
}

result history_cli(std::vector<std::string> args)
{
    return run(args, history_main);
}

// Records each run in a history opened for it alone.
void record_runs(const std::string &path, std::vector<history_run> runs)
{
    history_db *db = open_at(path);
    std::string error;
    for (history_run &r : runs)
        EXPECT_TRUE(db && history_record(db, &r, nullptr, error_text(&error))) << error;
    history_close(db);
}

std::vector<history_run> runs_of(const std::string &path, const char *exam)
{
    history_db *db = open_at(path);
    std::vector<history_run> runs;
    std::string error;
    EXPECT_TRUE(db && history_runs(db, exam, true, &runs, 0, error_text(&error))) << error;
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
        ASSERT_TRUE(history_record(db, r, nullptr, error_text(&error))) << error;
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
    ASSERT_TRUE(history_exams(db, &exams, error_text(&error)));
    ASSERT_EQ(exams.size(), 2u);
    EXPECT_TRUE(exams[0].exam == "net1" && exams[0].runs == 2 && exams[0].last_taken == 2000);
    EXPECT_EQ(exams[1].exam, "git");

    // cat02: 1 of 2 right; cat01: 1 of 2 right too, so by name. The item
    // of no known file is in neither.
    std::vector<history_file> files;
    ASSERT_TRUE(history_weak_files(db, "net1", &files, error_text(&error)));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(files[0].file == "cat01" && files[0].runs == 2 && files[0].drawn == 2 && files[0].right == 1);
    EXPECT_EQ(files[1].file, "cat02");

    std::vector<history_mistake> missed;
    ASSERT_TRUE(history_mistakes(db, "net1", &missed, error_text(&error)));
    ASSERT_EQ(missed.size(), 2u);
    EXPECT_TRUE(missed[0].file == "cat01" && missed[0].item == 2 && missed[0].missed == 1);
    EXPECT_EQ(missed[1].file, "cat02");
    history_close(db);
}

// The weakest file is the one with the smallest share right, as a
// fraction: 1 of 3 (0.33) is weaker than 2 of 5 (0.4), though both are 0
// in whole numbers and 2 of 5 was drawn more often.
TEST(History, WeakFilesRankByTheShareRightNotByWholeNumbers)
{
    TempDir dir;
    history_db *db = open_at(dir / "history.sqlite");
    ASSERT_NE(db, nullptr);
    history_run r = sample_run("net1", 1000, 1, 1);
    r.items.clear();
    auto add = [&](const char *file, int right, int drawn) {
        for (int i = 1; i <= drawn; i++)
            r.items.push_back({file, i, std::string(file) + std::to_string(i), 1, i <= right ? 1 : -1, ""});
    };
    add("all", 2, 2);
    add("twofifths", 2, 5);
    add("onethird", 1, 3);
    add("half", 1, 2);
    std::string error;
    ASSERT_TRUE(history_record(db, &r, {}, error_text(&error))) << error;
    std::vector<history_file> files;
    ASSERT_TRUE(history_weak_files(db, "net1", &files, error_text(&error))) << error;
    std::vector<std::string> order;
    for (const history_file &f : files)
        order.push_back(f.file);
    EXPECT_EQ(order, (std::vector<std::string>{"onethird", "twofifths", "half", "all"}));
    history_close(db);
}

#ifndef _WIN32   // forks a program of its own
TEST(History, AKilledRecordingLeavesTheEarlierRunsWhole)
{
    TempDir dir;
    std::string path = dir / "history.sqlite";
    record_runs(path, {sample_run("net1", 1000, 1, 1)});
    std::string error;
    int status = in_child([&] {
        history_db *child = open_at(path);
        history_run doomed = sample_run("net1", 3000, -1, -1);
        history_record(child, &doomed, [] { raise(SIGKILL); }, nullptr);
    });
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    std::vector<history_run> runs = runs_of(path, "net1");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].items.size(), 3u);
    // Nothing of the killed run is left, not even its items.
    history_db *db = open_at(path);
    std::vector<history_file> files;
    ASSERT_TRUE(history_weak_files(db, "net1", &files, error_text(&error)));
    EXPECT_EQ(files.at(0).drawn, 1);
    history_run next = sample_run("net1", 4000, 1, 1);
    EXPECT_TRUE(history_record(db, &next, nullptr, error_text(&error))) << error;
    history_close(db);
}
#endif

TEST(History, ADamagedOrNewerDatabaseIsRefusedAsItIs)
{
    TempDir dir;
    std::string junk(8192, '\x5a');
    std::string damaged = dir.write("damaged.sqlite", junk);
    std::string error;
    EXPECT_EQ(history_open(damaged.c_str(), error_text(&error)), nullptr);
    EXPECT_NE(error.find("not a database"), std::string::npos) << error;
    EXPECT_EQ(read_file(damaged), junk);

    std::string newer = dir / "newer.sqlite";
    sqlite3 *sql = nullptr;
    ASSERT_EQ(sqlite3_open(newer.c_str(), &sql), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(sql, "CREATE TABLE runs(x); PRAGMA user_version = 7", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(sql);
    error.clear();
    EXPECT_EQ(history_open(newer.c_str(), error_text(&error)), nullptr);
    EXPECT_NE(error.find("newer version"), std::string::npos) << error;

    // A folder in the way of the database's own folder.
    dir.write("file", "x");
    EXPECT_EQ(history_open((dir / "file/history.sqlite").c_str(), error_text(&error)), nullptr);
}

// Two programs recording at once: what one can't record at the moment is
// kept aside and recorded later, once.
#ifndef _WIN32   // forks programs of their own
TEST(History, TwoProgramsRecordingAtOnceLoseNothing)
{
    TempDir dir;
    std::string path = dir / "history.sqlite", kept = dir / "pending";
    history_close(open_at(path));
    constexpr int PROGRAMS = 2, RUNS = 40;
    std::vector<pid_t> pids;
    fflush(nullptr);
    for (int p = 0; p < PROGRAMS; p++) {
        pid_t pid = fork();
        if (pid == 0) {
            // A forked child carries its parent's random state, and would
            // make its parent's run ids; a program started anew seeds its own.
            g_random_set_seed((guint32)getpid());
            int lost = 0;
            for (int i = 0; i < RUNS; i++) {
                history_run r = sample_run("net1", 100 * p + i, 1, -1);
                lost += history_record_or_keep(path.c_str(), kept.c_str(), &r, true, nullptr) == HISTORY_LOST;
            }
            _exit(lost);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    history_db *db = open_at(path);
    EXPECT_EQ(history_record_kept(db, kept.c_str(), nullptr), 0);
    history_close(db);
    std::vector<history_run> runs = runs_of(path, "net1");
    EXPECT_EQ(runs.size(), (size_t)(PROGRAMS * RUNS));
    std::set<long long> taken;
    for (const history_run &r : runs) {
        EXPECT_EQ(r.items.size(), 3u);
        taken.insert(r.taken);
    }
    EXPECT_EQ(taken.size(), (size_t)(PROGRAMS * RUNS)) << "a run recorded twice";
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
    question *list = read_question(1, (exam / "cat02").c_str(), nullptr);
    append_question(list, read_question(2, (exam / "cat01").c_str(), nullptr));
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
        {"cat01", 1, "feed", 4, 4},                  // edited since: not practised
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

    question *practice = create_practice_list(chosen, exam.path().c_str(), choice_order::as_written, nullptr, nullptr, nullptr);
    ASSERT_NE(practice, nullptr);
    EXPECT_EQ(list_length(practice), 2);
    EXPECT_STREQ(practice->text, "Grass?");
    EXPECT_TRUE(practice->number == 1 && practice->next->number == 2);
    destroy_list(practice);

    // A fresh run tells where its items came from as it is assembled.
    std::vector<item_origin> origins;
    practice = create_exam_list({1, 0}, 2, exam.path().c_str(), names, choice_order::as_written, &origins, nullptr, nullptr);
    ASSERT_EQ(origins.size(), 2u);
    EXPECT_EQ(origins[0].file, "cat02");
    question *again = read_question(origins[1].item, (exam / origins[1].file).c_str(), nullptr);
    EXPECT_STREQ(again->text, practice->next->text);
    destroy_list(again);
    destroy_list(practice);
    // Items that can't be read are left out, each named for the caller to
    // report; a damaged file with what the reader says about it.
    write_file(exam / "cat08", "0123456789 plain text, not packed");
    std::vector<left_out_file> left_out;
    gerror_ptr none;
    EXPECT_EQ(create_practice_list({{"cat09", 1, "beef", 1, 1}, {"cat08", 2, "beef", 1, 1}},
                                   exam.path().c_str(), choice_order::as_written, nullptr, &left_out, out_error(none)),
              nullptr);
    EXPECT_TRUE(g_error_matches(none.get(), TRIALIX_ERROR, TRIALIX_ERROR_NO_ITEMS));
    ASSERT_EQ(left_out.size(), 2u);
    EXPECT_EQ(left_out[0].load_failure, "");
    EXPECT_EQ(left_out[0].why, "cat09: item 1 can't be read; left out of the practice run");
    EXPECT_EQ(left_out[1].load_failure, "Decompression failed (-5)");
    EXPECT_EQ(left_out[1].why, "cat08: item 2 can't be read; left out of the practice run");
}

TEST(History, ThePackToolPrintsTheTableAndTheWeakFiles)
{
    TempDir dir;
    std::string path = dir / "history.sqlite";
    result none = history_cli({"history", "--db", path});
    EXPECT_EQ(none.status, PACK_PROBLEM);
    EXPECT_FALSE(exists(path)) << "reading made a database";

    record_runs(path, {sample_run("net1", 86400, -1, 1), sample_run("git", 90000, 1, 1)});

    result json = history_cli({"history", "net1", "--json", "--db", path});
    ASSERT_EQ(json.status, PACK_OK) << json.err;
    EXPECT_EQ(json.out,
              R"([{"exam":"net1","title":"Sample <i>exam</i>","runs":[{"date":"1970-01-02T00:00:00Z",)"
              R"("examinee":"Zoë \"Z\" O'Neil","mode":"exam","timer":true,"time_used":125,"items":3,)"
              R"("total_points":3,"reached_points":2,"score":66.7,"pass_mark":60,"passed":true}],)"
              R"("weak_files":[{"file":"cat01","runs":1,"drawn":1,"right":0},)"
              R"({"file":"cat02","runs":1,"drawn":1,"right":1}]}])" "\n");

    // Without an exam: every exam, the last one taken first.
    result all = history_cli({"history", "--db=" + path});
    ASSERT_EQ(all.status, PACK_OK);
    EXPECT_LT(all.out.find("Exam git:"), all.out.find("Exam net1:"));
    EXPECT_TRUE(has_line(all.out, "  cat01                    1  0 of 1")) << all.out;
    EXPECT_NE(all.out.find(" 66.7%  Passed   2:05\n"), std::string::npos) << all.out;

    EXPECT_EQ(history_cli({"history", "nosuch", "--db", path}).status, PACK_PROBLEM);
    for (std::vector<std::string> bad : {std::vector<std::string>{"history", "a", "b"},
                                         {"history", "--db"}, {"history", "--csv"}})
        EXPECT_EQ(history_cli(bad).status, PACK_USAGE) << bad.back();
}

// The file the guide names holds every run once its programs are done
// with it: no log is left beside it, and a copy of the file alone has them.
TEST(History, TheFileHoldsEveryRunOnceClosed)
{
    TempDir dir, copy;
    std::string path = dir / "history.sqlite", kept = dir / "pending";
    for (int i = 0; i < 5; i++) {
        history_run r = sample_run("net1", 1000 + i, 1, 1);
        ASSERT_EQ(history_record_or_keep(path.c_str(), kept.c_str(), &r, true, nullptr), HISTORY_RECORDED);
    }
    EXPECT_FALSE(exists(path + "-wal"));
    write_file(copy / "history.sqlite", read_file(path));
    EXPECT_EQ(runs_in(copy / "history.sqlite"), 5);

    // A reader still has it open when a run is recorded: the log stays
    // until the last of them closes.
    history_db *reader = history_open_read(path.c_str(), nullptr);
    ASSERT_NE(reader, nullptr);
    std::vector<history_run> runs;
    ASSERT_TRUE(history_runs(reader, "net1", false, &runs, 0, nullptr));
    history_run r = sample_run("net1", 2000, 1, 1);
    ASSERT_EQ(history_record_or_keep(path.c_str(), kept.c_str(), &r, true, nullptr), HISTORY_RECORDED);
    history_close(reader);
    EXPECT_FALSE(exists(path + "-wal"));
    EXPECT_FALSE(exists(path + "-shm"));
    EXPECT_EQ(runs_in(path), 6);

    // An older Trialix left every run in the log: a copy of the file alone
    // is told to hold no history, and a history without runs says so too.
    std::string old = dir / "old.sqlite";
    sqlite3 *sql = nullptr;
    ASSERT_EQ(sqlite3_open(old.c_str(), &sql), SQLITE_OK);
    sqlite3_db_config(sql, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    ASSERT_EQ(sqlite3_exec(sql, "PRAGMA journal_mode=WAL; CREATE TABLE runs(x); CREATE TABLE items(x);"
                                " CREATE TABLE file_stats(x); CREATE TABLE item_stats(x); PRAGMA user_version = 1",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    write_file(copy / "old.sqlite", read_file(old));
    sqlite3_close(sql);
    result leftover = history_cli({"history", "--db", copy / "old.sqlite"});
    EXPECT_EQ(leftover.status, PACK_PROBLEM);
    EXPECT_NE(leftover.err.find("not a Trialix results history"), std::string::npos) << leftover.err;
    std::string none = dir / "none.sqlite";
    history_close(open_at(none));
    result empty = history_cli({"history", "--json", "--db", none});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "[]\n");
    EXPECT_NE(empty.err.find("the results history holds no runs"), std::string::npos) << empty.err;
}

// Reading never writes: an empty file and another program's database are
// refused as they are, by the tool and by the reader.
TEST(History, AFileThatIsNoHistoryIsRefusedUntouched)
{
    TempDir dir;
    std::string empty = dir.write("empty.sqlite", "");
    std::string other = dir / "notes.sqlite";
    sqlite3 *sql = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &sql), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(sql, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine')", nullptr,
                           nullptr, nullptr), SQLITE_OK);
    sqlite3_close(sql);
    std::string other_bytes = read_file(other);
    // One that keeps a write-ahead log, as ours does.
    std::string logged = dir / "logged.sqlite";
    ASSERT_EQ(sqlite3_open(logged.c_str(), &sql), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(sql, "PRAGMA journal_mode=WAL; CREATE TABLE runs(x); PRAGMA user_version = 1",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(sql);
    ASSERT_FALSE(exists(logged + "-wal"));
    for (const std::string &file : {empty, other, logged}) {
        std::string before = read_file(file);
        result r = history_cli({"history", "--db", file});
        EXPECT_EQ(r.status, PACK_PROBLEM) << file;
        EXPECT_NE(r.err.find("not a Trialix results history"), std::string::npos) << r.err;
        EXPECT_EQ(read_file(file), before) << file;
        std::string error;
        EXPECT_EQ(history_open_read(file.c_str(), error_text(&error)), nullptr);
        EXPECT_EQ(read_file(file), before) << file;
        EXPECT_FALSE(exists(file + "-wal") || exists(file + "-shm") || exists(file + "-journal")) << file;
    }
    EXPECT_EQ(read_file(other), other_bytes);
}

// Another program holding the history (writing, or stuck in a
// transaction) neither stops the reading nor costs a run: the run is kept
// aside, recorded with the next one, and recorded once only.
TEST(History, ALockedHistoryIsReadAtOnceAndItsRunKeptAndRecordedOnce)
{
    TempDir dir;
    std::string path = dir / "history.sqlite", kept = dir / "pending";
    history_run first = sample_run("net1", 1000, 1, 1);
    ASSERT_EQ(history_record_or_keep(path.c_str(), kept.c_str(), &first, true, nullptr), HISTORY_RECORDED);

    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; DELETE FROM item_stats", nullptr, nullptr, nullptr), SQLITE_OK);
    gint64 start = g_get_monotonic_time();
    history_db *reader = history_open_read(path.c_str(), nullptr);
    std::vector<history_run> runs;
    EXPECT_TRUE(reader && history_runs(reader, "net1", false, &runs, 0, nullptr) && runs.size() == 1);
    history_close(reader);
    history_run second = sample_run("net1", 2000, -1, 1);
    gerror_ptr busy;
    EXPECT_EQ(history_record_or_keep(path.c_str(), kept.c_str(), &second, true, out_error(busy)), HISTORY_KEPT_BUSY);
    EXPECT_TRUE(g_error_matches(busy.get(), TRIALIX_ERROR, TRIALIX_ERROR_BUSY)) << (busy ? busy->message : "");
    std::string error;
    EXPECT_LT(g_get_monotonic_time() - start, G_USEC_PER_SEC) << "waited for the other program";
    EXPECT_EQ((int)names_in(kept).size(), 1);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    history_run third = sample_run("net1", 3000, 1, -1);
    ASSERT_EQ(history_record_or_keep(path.c_str(), kept.c_str(), &third, true, error_text(&error)), HISTORY_RECORDED) << error;
    EXPECT_EQ((int)names_in(kept).size(), 0);
    runs = runs_of(path, "net1");
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].taken, 2000);
    EXPECT_EQ(runs[1].items.size(), 3u);
    EXPECT_EQ(runs[1].examinee, "Zoë \"Z\" O'Neil");

    // Recorded, but the program ended before the kept file went: the next
    // time it is only removed.
    ASSERT_TRUE(history_keep(kept.c_str(), sample_run("net1", 4000, 1, 1), error_text(&error))) << error;
    std::string name = names_in(kept).at(0);
    std::string bytes = read_file(kept + "/" + name);
    history_db *db = open_at(path);
    EXPECT_EQ(history_record_kept(db, kept.c_str(), error_text(&error)), 0) << error;
    write_file(kept + "/" + name, bytes);
    EXPECT_EQ(history_record_kept(db, kept.c_str(), error_text(&error)), 0) << error;
    history_close(db);
    EXPECT_EQ((int)names_in(kept).size(), 0);
    EXPECT_EQ(runs_of(path, "net1").size(), 4u);
}

// Numbers a damaged or tampered file holds come back within their ranges,
// and the tool's JSON holds only numbers JSON can.
TEST(History, StoredNumbersComeBackWithinTheirRanges)
{
    TempDir dir;
    std::string path = dir / "history.sqlite";
    record_runs(path, {sample_run("net1", 1000, 1, 1), sample_run("net1", 2000, 1, 1),
                       sample_run("net1", 3000, 1, 1)});
    sqlite3 *sql = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &sql), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(sql,
                           "UPDATE runs SET score = 9e999, pass_mark = 1000000, time_used = -7 WHERE taken = 1000;"
                           "UPDATE runs SET score = -9e999, pass_mark = -5, time_used = 9000000000000000000,"
                           " total_points = 3, reached_points = 99999999999 WHERE taken = 2000;"
                           "UPDATE runs SET score = 1e308 WHERE taken = 3000;"
                           "UPDATE file_stats SET drawn = 9000000000000000000, correct = -3, runs = -1;",
                           nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(sql);
    sqlite3_close(sql);

    std::vector<history_run> runs = runs_of(path, "net1");
    ASSERT_EQ(runs.size(), 3u);
    for (const history_run &r : runs) {
        EXPECT_TRUE(r.score >= 0 && r.score <= 100) << r.score;
        EXPECT_TRUE(r.pass_mark >= 0 && r.pass_mark <= 100) << r.pass_mark;
        EXPECT_TRUE(r.time_used >= 0 && r.reached_points >= 0 && r.reached_points <= r.total_points);
    }
    EXPECT_EQ(runs[0].score, 100);   // 1e308
    EXPECT_EQ(runs[1].score, 0);     // -inf
    EXPECT_EQ(runs[2].score, 100);   // inf
    EXPECT_EQ(runs[2].pass_mark, 100);
    EXPECT_EQ(runs[1].time_used, INT_MAX);

    result json = history_cli({"history", "--json", "--db", path});
    ASSERT_EQ(json.status, PACK_OK) << json.err;
    EXPECT_EQ(json.out.find("inf"), std::string::npos) << json.out;
    EXPECT_EQ(json.out.find("nan"), std::string::npos) << json.out;
    GRegex *number = g_regex_new("\"(score|pass_mark|time_used|runs|drawn|right)\":(-?[0-9.e+]+)",
                                 GRegexCompileFlags(0), GRegexMatchFlags(0), nullptr);
    GMatchInfo *m = nullptr;
    int seen = 0;
    for (g_regex_match(number, json.out.c_str(), GRegexMatchFlags(0), &m); g_match_info_matches(m);
         g_match_info_next(m, nullptr), seen++) {
        gchar *value = g_match_info_fetch(m, 2);
        EXPECT_LE(strlen(value), 10u) << value;
        double v = g_ascii_strtod(value, nullptr);
        EXPECT_TRUE(std::isfinite(v) && v >= 0 && v <= INT_MAX) << value;
        g_free(value);
    }
    g_match_info_free(m);
    g_regex_unref(number);
    EXPECT_GE(seen, 12);
}

#ifndef _WIN32   // drops to another user in a forked process
// A history the user may read but not write (another user's, a read-only
// mount) is read by the tool and by the reader all the same.
TEST(History, AHistoryThatCanOnlyBeReadIsRead)
{
    TempDir dir;
    std::string path = dir / "history.sqlite";
    record_runs(path, {sample_run("net1", 1000, 1, 1)});
    ASSERT_EQ(g_chmod(dir.path().c_str(), 0555), 0);
    ASSERT_EQ(g_chmod(path.c_str(), 0444), 0);
    std::string before = read_file(path);

    // Root may write anything: the reading is done as nobody then.
    int status = in_child([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(10);
        int failed = 0;
        std::string error;
        history_db *reader = history_open_read(path.c_str(), error_text(&error));
        std::vector<history_run> runs;
        failed |= !(reader && history_runs(reader, "net1", true, &runs, 0, error_text(&error)) && runs.size() == 1) << 1;
        if (failed)
            fprintf(stderr, "%s\n", error.c_str());
        history_close(reader);
        result cli = history_cli({"history", "net1", "--db", path});
        failed |= !(cli.status == PACK_OK && cli.out.find("Exam net1:") != std::string::npos) << 2;
        failed |= (history_open(path.c_str(), nullptr) != nullptr) << 3;
        _exit(failed);
    });
    g_chmod(dir.path().c_str(), 0700);
    g_chmod(path.c_str(), 0600);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the reader, 2: the tool, 4: it was opened for writing, 10: no user";
    EXPECT_EQ(read_file(path), before);
}

#endif

// An exam folder whose name isn't UTF-8: shown by the tool as JSON and as
// text the same way, and found by the name shown as by the name stored.
TEST(History, AnExamNameThatIsNotUtf8IsShownAndFound)
{
    TempDir dir;
    std::string path = dir / "history.sqlite";
    record_runs(path, {sample_run("caf\xe9", 1000, 1, 1)});

    result json = history_cli({"history", "--json", "--db", path});
    ASSERT_EQ(json.status, PACK_OK);
    EXPECT_NE(json.out.find("\"exam\":\"caf\\u00e9\""), std::string::npos) << json.out;
    for (const char *name : {"café", "caf\xe9"}) {
        result text = history_cli({"history", name, "--db", path});
        EXPECT_EQ(text.status, PACK_OK) << name << ": " << text.err;
        EXPECT_TRUE(has_line(text.out, "Exam café: Sample <i>exam</i>")) << text.out;
        EXPECT_TRUE(g_utf8_validate(text.out.c_str(), (gssize)text.out.size(), nullptr));
    }
    EXPECT_EQ(history_cli({"history", "cafe", "--db", path}).status, PACK_PROBLEM);
    EXPECT_EQ(history_shown_name("caf\xe9 ok \xc3\xa9"), "café ok é");
}

// Every command of the tool answers --help (and -h) with its usage.
TEST(History, EveryToolCommandAnswersHelp)
{
    for (const char *command : {"pack", "unpack", "show", "check", "import", "history", "report"})
        for (const char *ask : {"--help", "-h"}) {
            std::vector<std::string> args = {command, ask};
            std::string c = command;
            result r = c == "history" ? run(args, history_main) : c == "report" ? run(args, report_main) : run(args);
            EXPECT_EQ(r.status, PACK_OK) << command << " " << ask << ": " << r.err;
            EXPECT_TRUE(has_line(r.out, "Usage:")) << command;
            EXPECT_NE(r.out.find("trialix-pack " + std::string(command)), std::string::npos) << command;
        }
    // After "--" it is a name like any.
    EXPECT_EQ(run({"check", "--", "--help"}).status, PACK_PROBLEM);
}

// A history an older Trialix wrote (schema 1 or 2) is read as it stands,
// and brought up to this version the first time it is opened to record:
// every run kept, each given an id of its own, no answers made up.
TEST(History, AnOlderHistoryOpensMigratedWithEveryRunKept)
{
    const std::string OLD_SCHEMA = std::string(HISTORY_SCHEMA_1) +
        "INSERT INTO runs VALUES(1, 'net1', 'Net', 1000, 'Ann', 1, 0, 60, 2, 3, 1, 33.3, 60, 0);"
        "INSERT INTO runs VALUES(2, 'net1', 'Net', 2000, 'Ann', 0, 1, 90, 2, 3, 3, 100, 60, 1);"
        "INSERT INTO runs VALUES(3, 'git', 'Git', 1500, 'Bo', 1, 0, 10, 0, 0, 0, 0, 50, 0);"
        "INSERT INTO items VALUES(1, 1, 'cat01', 1, 'aa', 1, 1), (1, 2, 'cat02', 1, 'bb', 2, -1),"
        " (2, 1, 'cat01', 1, 'aa', 1, 1), (2, 2, 'cat02', 1, 'bb', 2, 1);"
        "INSERT INTO file_stats VALUES('net1', 'cat01', 2, 2, 2), ('net1', 'cat02', 2, 2, 1);"
        "INSERT INTO item_stats VALUES('net1', 'cat02', 1, 'bb', 2, 1);";
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        TempDir dir;
        std::string path = dir / "history.sqlite";
        sqlite3 *sql = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &sql), SQLITE_OK);
        std::string make = OLD_SCHEMA + "PRAGMA user_version = " + std::to_string(version);
        ASSERT_EQ(sqlite3_exec(sql, make.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(sql);

        // Read as it stands: nothing written.
        std::string before = read_file(path), error;
        history_db *reader = history_open_read(path.c_str(), error_text(&error));
        ASSERT_NE(reader, nullptr) << error;
        std::vector<history_run> runs;
        EXPECT_TRUE(history_runs(reader, "net1", true, &runs, 0, error_text(&error))) << error;
        history_close(reader, false);
        ASSERT_EQ(runs.size(), 2u);
        EXPECT_TRUE(runs[0].uuid.empty() && runs[0].items.at(1).answer.empty());
        EXPECT_EQ(read_file(path), before);

        history_db *db = open_at(path);
        ASSERT_NE(db, nullptr);
        history_run added = sample_run("net1", 3000, 1, 1);
        EXPECT_TRUE(history_record(db, &added, nullptr, error_text(&error))) << error;
        history_close(db);
        EXPECT_EQ(runs_in(path), 4);
        runs = runs_of(path, "net1");
        ASSERT_EQ(runs.size(), 3u);
        std::set<std::string> ids;
        for (const history_run &r : runs) {
            EXPECT_TRUE(g_uuid_string_is_valid(r.uuid.c_str())) << r.uuid;
            ids.insert(r.uuid);
        }
        EXPECT_EQ(ids.size(), 3u);
        EXPECT_EQ(runs[0].items.at(0).answer, "Paris\nRome\n");
        EXPECT_TRUE(runs[2].taken == 1000 && runs[2].examinee == "Ann" && runs[2].time_used == 60 &&
                    runs[2].items.size() == 2 && runs[2].items[1].ok == -1 &&
                    runs[2].items[1].answer.empty());
        // The sums go on from the old ones.
        db = open_at(path);
        std::vector<history_file> files;
        EXPECT_TRUE(history_weak_files(db, "net1", &files, error_text(&error)));
        history_close(db);
        ASSERT_EQ(files.size(), 2u);
        EXPECT_TRUE(files[0].file == "cat02" && files[0].drawn == 3 && files[0].right == 2);
        sqlite3_open(path.c_str(), &sql);
        sqlite3_stmt *v = nullptr;
        sqlite3_prepare_v2(sql, "PRAGMA user_version", -1, &v, nullptr);
        EXPECT_EQ(sqlite3_step(v), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(v, 0), HISTORY_SCHEMA_VERSION);
        sqlite3_finalize(v);
        sqlite3_close(sql);
    }
}

// A run's answers and its id travel through the kept file unchanged, and
// the id holds it once: recorded twice, kept and then sent, one row.
TEST(History, ARunIsHeldOnceByItsIdWhicheverWayItComes)
{
    TempDir dir;
    std::string path = dir / "history.sqlite", kept = dir / "pending", error;
    history_run r = sample_run("net1", 1000, 1, -1);
    r.items[1].answer = std::string("bytes \xff\x01 and\nlines", 17);
    history_db *db = open_at(path);
    ASSERT_TRUE(history_record(db, &r, nullptr, error_text(&error))) << error;
    long long first = r.id;
    EXPECT_TRUE(history_record(db, &r, nullptr, error_text(&error)) && r.id == 0) << error;
    ASSERT_TRUE(history_keep(kept.c_str(), r, error_text(&error))) << error;
    EXPECT_EQ(history_kept_count(kept.c_str()), 1);
    EXPECT_EQ(history_record_kept(db, kept.c_str(), error_text(&error)), 0) << error;
    history_close(db);
    EXPECT_EQ(runs_in(path), 1);

    history_run other = sample_run("net1", 2000, 1, -1);
    other.items[0].answer = "Kept\nanswer";
    ASSERT_TRUE(history_keep(kept.c_str(), other, error_text(&error)));
    db = open_at(path);
    EXPECT_EQ(history_record_kept(db, kept.c_str(), error_text(&error)), 0) << error;
    history_close(db);
    std::vector<history_run> runs = runs_of(path, "net1");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].id, first);
    EXPECT_EQ(runs[1].uuid, r.uuid);
    EXPECT_EQ(runs[1].items[1].answer, r.items[1].answer);
    EXPECT_EQ(runs[0].items[0].answer, "Kept\nanswer");
    EXPECT_TRUE(g_uuid_string_is_valid(runs[0].uuid.c_str()));
}

// The answer recorded for each kind of item: the ticked choices by their
// text (without the author's mark), or the text typed.
TEST(History, TheAnswerGivenIsRecordedByTextNotPlace)
{
    struct {
        char type;
        std::vector<std::string> answers;
        std::vector<int> ticked;
        const char *entry, *recorded;
    } cases[] = {
        {'S', {"+Blue", "-Red", "-Green"}, {1}, "", "Red\n"},
        {'S', {"+Blue", "-Red"}, {}, "", ""},
        {'M', {"-One", "+Two", "+Three", "-", "+Seven"}, {1, 2, 4}, "", "Two\nThree\nSeven\n"},
        {'M', {"+", "-x"}, {0, 1}, "", "\nx\n"},
        {'F', {"Paris", "paris"}, {}, "  Paris, France ", "  Paris, France "},
        {'F', {"Paris"}, {}, "", ""},
        {'Q', {"+Blue"}, {0}, "typed", ""},   // no kind: nothing to tell
    };
    for (const auto &c : cases) {
        question_list q(make_item(c.type, 1, c.answers));
        for (int i : c.ticked)
            q->selected[i] = 1;
        g_strlcpy(q->entry, c.entry, sizeof q->entry);
        EXPECT_EQ(history_answer_of(q.get()), c.recorded) << c.type << " " << c.recorded;
        EXPECT_EQ(history_items_of(q.get()).at(0).answer, c.recorded);
    }
}
