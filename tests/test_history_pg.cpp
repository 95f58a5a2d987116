// The results history on a PostgreSQL server of the test's own: the same
// runs come back from it as from a file, a run graded while it is away is
// sent once it is back and held once however often it is sent, and the
// database, not the program, keeps examinees apart. The CTest entry
// `postgres` runs these; `unit` leaves them out.
#include <set>

#include "bank/history.h"
#include "bank/history_db.h"
#include "pack_run.h"
#include "pg_server.h"
#include "test_util.h"
#include "tools/history_cli.h"

namespace {

pg_server *server = nullptr;

class Postgres : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = new pg_server;
        if (!server->ready)
            return;
        // The schema makes the roles that the logins join.
        result init = run({"history", "init-db", server->conninfo()}, history_main);
        server->problem = init.status == 0 ? server->exec("CREATE ROLE alice LOGIN IN ROLE trialix_examinee;"
                                                          "CREATE ROLE bob LOGIN IN ROLE trialix_examinee;"
                                                          "CREATE ROLE carol LOGIN IN ROLE trialix_teacher;")
                                           : "init-db: " + init.err;
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(server->ready && server->problem.empty()) << server->problem; }
};

history_run run_of(const std::string &exam, long long taken, std::vector<int> oks)
{
    history_run r;
    r.exam = exam;
    r.title = "Networks <b>I</b>";
    r.taken = taken;
    r.examinee = "Zoë \"Z\" O'Neil";
    r.training = false;
    r.timer = true;
    r.time_used = 125;
    r.pass_mark = 60;
    const char *answers[] = {"Paris\nRome", "typed, \"quoted\"", ""};
    for (size_t i = 0; i < oks.size(); i++) {
        r.items.push_back({i % 3 == 2 ? "" : "cat0" + std::to_string(i % 2 + 1), (int)i / 2 + 1,
                           "fp" + std::to_string(i), (int)i % 3 + 1, oks[i], answers[i % 3]});
        r.total_points += r.items.back().points;
        r.reached_points += oks[i] == 1 ? r.items.back().points : 0;
    }
    r.score = r.total_points ? 100.0 * r.reached_points / r.total_points : 0;
    r.passed = r.score >= r.pass_mark;
    return r;
}

// Everything a history tells of an exam, as one text, to compare backends.
std::string told(const std::string &where, const char *exam)
{
    std::string error, t;
    history_db *db = history_open_read(where.c_str(), error_text(&error));
    if (!db)
        return "can't open: " + error;
    std::vector<history_run> runs;
    std::vector<history_file> files;
    std::vector<history_mistake> missed;
    std::vector<history_exam> exams;
    int all = 0, passed = 0;
    bool ok = history_runs(db, exam, true, &runs, 0, error_text(&error)) &&
              history_weak_files(db, exam, &files, error_text(&error)) &&
              history_mistakes(db, exam, &missed, error_text(&error)) &&
              history_count(db, exam, &all, &passed, error_text(&error)) &&
              history_exams(db, &exams, error_text(&error));
    history_close(db);
    if (!ok)
        return "can't read: " + error;
    for (const history_exam &e : exams)
        t += "exam " + e.exam + "|" + e.title + "|" + std::to_string(e.last_taken) + "|" +
             std::to_string(e.runs) + "\n";
    for (const history_run &r : runs) {
        t += "run " + r.exam + "|" + r.title + "|" + std::to_string(r.taken) + "|" + r.examinee +
             "|" + std::to_string(r.training) + std::to_string(r.timer) + "|" +
             std::to_string(r.time_used) + "|" + std::to_string(r.item_count) + "|" +
             std::to_string(r.total_points) + "|" + std::to_string(r.reached_points) + "|" +
             std::to_string(r.score) + "|" + std::to_string(r.pass_mark) + "|" +
             std::to_string(r.passed) + "|" + r.uuid + "\n";
        for (const history_item &i : r.items)
            t += "  " + i.file + "|" + std::to_string(i.item) + "|" + i.fingerprint + "|" +
                 std::to_string(i.points) + "|" + std::to_string(i.ok) + "|" + i.answer + "\n";
    }
    for (const history_file &f : files)
        t += "file " + f.file + "|" + std::to_string(f.runs) + "|" + std::to_string(f.drawn) + "|" +
             std::to_string(f.right) + "\n";
    for (const history_mistake &m : missed)
        t += "missed " + m.file + "|" + std::to_string(m.item) + "|" + m.fingerprint + "|" +
             std::to_string(m.missed) + "|" + std::to_string(m.drawn) + "\n";
    return t + "count " + std::to_string(all) + "|" + std::to_string(passed) + "\n";
}

int rows(const char *table, const std::string &where = "true")
{
    return atoi(server->value(std::string("SELECT count(*) FROM trialix.") + table + " WHERE " + where).c_str());
}

} // namespace

// The same runs recorded into a file and into the server come back the
// same, field by field, with every sum the history window shows.
TEST_F(Postgres, BothBackendsGiveBackWhatWasRecorded)
{
    TempDir dir;
    std::string file = dir / "history.sqlite", pg = server->conninfo("alice");
    std::vector<history_run> runs = {run_of("same", 1000, {1, -1, 0, 1, 1}),
                                     run_of("same", 3000, {-1, -1, 1}),
                                     run_of("same", 2000, {1, 1, 1, 1, -1, 0, 1}),
                                     run_of("other", 500, {}), run_of("same", 4000, {})};
    for (const std::string &where : {file, pg}) {
        std::string error;
        history_db *db = history_open(where.c_str(), error_text(&error));
        ASSERT_NE(db, nullptr) << where << ": " << error;
        for (history_run &r : runs) {
            history_run copy = r;   // the same uuid in both
            ASSERT_TRUE(history_record(db, &copy, nullptr, error_text(&error))) << where << ": " << error;
            EXPECT_GT(copy.id, 0) << where;
            r.uuid = copy.uuid;
        }
        history_close(db);
    }
    std::string from_file = told(file, "same");
    EXPECT_EQ(told(pg, "same"), from_file);

    // Run by run, oldest first, with their items, as long as asked for.
    history_db *db = history_open_read(pg.c_str(), nullptr);
    ASSERT_NE(db, nullptr);
    for (size_t wanted : {4, 2}) {
        std::vector<std::string> seen;
        ASSERT_TRUE(history_pg::each_run(db, "same", [&](const history_run &r) {
            seen.push_back(std::to_string(r.taken) + ":" + std::to_string(r.items.size()) + ":" +
                           (r.items.empty() ? "" : r.items.back().answer) + ":" + r.login);
            return seen.size() < wanted;
        }, nullptr));
        std::vector<std::string> all = {"1000:5:typed, \"quoted\":alice", "2000:7:Paris\nRome:alice",
                                        "3000:3::alice", "4000:0::alice"};
        EXPECT_EQ(seen, std::vector<std::string>(all.begin(), all.begin() + wanted));
    }
    // The connection is ready for the next query after a reading stopped early.
    int all = 0, passed = 0;
    EXPECT_TRUE(history_count(db, "same", &all, &passed, nullptr) && all == 4);
    history_close(db);
    // The text holds what was recorded, not only the same on both.
    for (const char *part : {"run same|Networks <b>I</b>|3000|Zoë \"Z\" O'Neil|01|125|3|",
                             "  cat01|1|fp0|1|1|Paris\nRome\n", "  cat02|1|fp1|2|-1|typed, \"quoted\"\n",
                             "file cat01|", "missed cat02|1|fp1|", "count 4|"})
        EXPECT_NE(from_file.find(part), std::string::npos) << part << "\n" << from_file;
    EXPECT_NE(from_file.find(runs[1].uuid), std::string::npos);
}

// The server stops during a run: the graded run is kept, sent when the
// server is back (the next run or the next start), and held once however
// often the program tries.
TEST_F(Postgres, ARunGradedWhileTheServerIsAwayIsSentOnce)
{
    TempDir dir;
    std::string pg = server->conninfo("bob"), kept = dir / "pending";
    ASSERT_TRUE(server->stop()) << server->problem;
    history_run away = run_of("away", 1000, {1, -1});
    gerror_ptr why;
    EXPECT_EQ(history_record_or_keep(pg.c_str(), kept.c_str(), &away, false, out_error(why)), HISTORY_KEPT);
    EXPECT_TRUE(g_error_matches(why.get(), TRIALIX_ERROR, TRIALIX_ERROR_DATABASE));
    EXPECT_EQ(history_kept_count(kept.c_str()), 1);
    EXPECT_FALSE(away.uuid.empty());
    ASSERT_TRUE(server->start()) << server->problem;

    // Started twice: the second finds nothing left to send. The kept file
    // put back (the program ended before removing it) is held once too.
    std::string kept_copy = dir / "copy";
    std::string name;
    if (GDir *d = g_dir_open(kept.c_str(), 0, nullptr)) {
        name = g_dir_read_name(d);
        g_dir_close(d);
    }
    std::string bytes = read_file(kept + "/" + name);
    for (int start = 0; start < 3; start++) {
        if (start == 2)
            write_file(kept + "/" + name, bytes);
        std::string error;
        history_db *db = history_open(pg.c_str(), error_text(&error));
        ASSERT_NE(db, nullptr) << error;
        EXPECT_EQ(history_record_kept(db, kept.c_str(), error_text(&error)), 0) << error;
        history_close(db);
        EXPECT_EQ(rows("runs", "exam = 'away'"), 1) << "start " << start;
    }
    EXPECT_EQ(rows("items", "run IN (SELECT id FROM trialix.runs WHERE exam = 'away')"), 2);
    std::vector<history_run> runs;
    history_db *db = history_open(pg.c_str(), nullptr);
    ASSERT_TRUE(db && history_runs(db, "away", false, &runs, 0, nullptr));
    history_close(db);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].login + " " + runs[0].uuid, "bob " + away.uuid);

    // The next graded run sends what waits first; the same run sent again
    // stores nothing.
    history_run next = run_of("away", 2000, {1});
    ASSERT_TRUE(history_keep(kept.c_str(), run_of("away", 1500, {-1}), nullptr));
    EXPECT_EQ(history_record_or_keep(pg.c_str(), kept.c_str(), &next, false, nullptr), HISTORY_RECORDED);
    EXPECT_EQ(history_record_or_keep(pg.c_str(), kept.c_str(), &next, false, nullptr), HISTORY_RECORDED);
    EXPECT_EQ(history_kept_count(kept.c_str()), 0);
    EXPECT_EQ(rows("runs", "exam = 'away'"), 3);
}

// What the database lets each login do, whatever program connects.
TEST_F(Postgres, AnExamineeReadsAndAddsOnlyTheirOwnRuns)
{
    for (const char *who : {"alice", "bob"}) {
        history_run r = run_of(std::string("apart-") + who, 1000, {1, -1});
        std::string error, where = server->conninfo(who);
        history_db *db = history_open(where.c_str(), error_text(&error));
        ASSERT_NE(db, nullptr) << error;
        ASSERT_TRUE(history_record(db, &r, nullptr, error_text(&error))) << error;
        history_close(db);
    }
    std::string bobs = server->value("SELECT id FROM trialix.runs WHERE exam = 'apart-bob'");
    struct {
        const char *user;
        std::string sql;
        const char *expected;   // the value it gives, or nullptr: refused
    } cases[] = {
        {"alice", "SELECT count(*) FROM trialix.runs WHERE exam LIKE 'apart-%'", "1"},
        {"alice", "SELECT string_agg(DISTINCT login, ',') FROM trialix.runs", "alice"},
        {"alice", "SELECT count(*) FROM trialix.items i JOIN trialix.runs r ON r.id = i.run"
                  " WHERE r.exam = 'apart-bob'", "0"},
        {"alice", "SELECT count(*) FROM trialix.items WHERE run = " + bobs, "0"},
        {"carol", "SELECT count(*) FROM trialix.runs WHERE exam LIKE 'apart-%'", "2"},
        {"carol", "SELECT count(*) FROM trialix.items i JOIN trialix.runs r ON r.id = i.run"
                  " WHERE r.exam LIKE 'apart-%'", "4"},
        // Nobody but the owner changes a run, removes one or adds one for another.
        {"alice", "UPDATE trialix.runs SET score = 100", nullptr},
        {"alice", "DELETE FROM trialix.runs", nullptr},
        {"alice", "DELETE FROM trialix.items", nullptr},
        {"alice", "UPDATE trialix.items SET ok = 1", nullptr},
        {"alice", "INSERT INTO trialix.runs(uuid, login, exam, title, taken, examinee, training,"
                  " timer, time_used, item_count, total_points, reached_points, score, pass_mark,"
                  " passed) VALUES(gen_random_uuid(), 'bob', 'x', 'x', 0, 'x', true, true, 0, 0,"
                  " 0, 0, 0, 0, true)", nullptr},
        {"alice", "INSERT INTO trialix.items(run, position, file, item, fingerprint, points, ok)"
                  " VALUES(" + bobs + ", 99, 'f', 1, 'x', 1, 1)", nullptr},
        {"alice", "UPDATE trialix.meta SET version = 1", nullptr},
        {"carol", "UPDATE trialix.runs SET score = 100", nullptr},
        {"carol", "DELETE FROM trialix.items", nullptr},
        {"carol", "INSERT INTO trialix.runs(uuid, exam, title, taken, examinee, training, timer,"
                  " time_used, item_count, total_points, reached_points, score, pass_mark, passed)"
                  " VALUES(gen_random_uuid(), 'x', 'x', 0, 'x', true, true, 0, 0, 0, 0, 0, 0, true)",
         nullptr},
    };
    int score_changes_before = rows("runs", "score = 100");
    for (const auto &c : cases) {
        bool failed = false;
        std::string got = server->value(c.sql, c.user, &failed);
        SCOPED_TRACE(c.sql);
        if (c.expected)
            EXPECT_TRUE(!failed && got == c.expected) << c.user << ": " << c.sql << " gave " << got;
        else
            EXPECT_TRUE(failed) << c.user << " could: " << c.sql;
    }
    EXPECT_EQ(rows("runs", "score = 100"), score_changes_before);
    EXPECT_EQ(rows("items", "position = 99"), 0);
    EXPECT_EQ(rows("runs", "exam LIKE 'apart-%'"), 2);
}

// The schema applied again changes nothing; a database without it, or of
// a newer version, is refused as such, and its runs would be kept aside.
TEST_F(Postgres, OnlyAPreparedDatabaseOfThisVersionIsUsed)
{
    result again = run({"history", "init-db", server->conninfo()}, history_main);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(server->value("SELECT count(*) FROM trialix.meta"), "1");
    result refused = run({"history", "init-db", server->conninfo("alice")}, history_main);
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.err.find("trialix-pack: "), std::string::npos) << refused.err;

    ASSERT_EQ(server->exec("CREATE DATABASE bare"), "");
    std::string bare = server->conninfo("admin");
    bare.replace(bare.find("dbname=trialix"), 14, "dbname=bare");
    struct {
        std::string where;
        int code;
    } cases[] = {
        {bare, TRIALIX_ERROR_FORMAT},
        {"postgresql:///trialix?host=/nonexistent&port=5432", TRIALIX_ERROR_DATABASE},
    };
    for (const auto &c : cases) {
        gerror_ptr why;
        EXPECT_EQ(history_open(c.where.c_str(), out_error(why)), nullptr) << c.where;
        EXPECT_TRUE(g_error_matches(why.get(), TRIALIX_ERROR, c.code)) << (why ? why->message : "");
    }
    ASSERT_EQ(server->exec("UPDATE trialix.meta SET version = 99"), "");
    gerror_ptr newer;
    EXPECT_EQ(history_open(server->conninfo("alice").c_str(), out_error(newer)), nullptr);
    EXPECT_TRUE(g_error_matches(newer.get(), TRIALIX_ERROR, TRIALIX_ERROR_NEWER));
    ASSERT_EQ(server->exec("UPDATE trialix.meta SET version = 3"), "");

    // trialix-pack history reads the server as it reads a file.
    history_run r = run_of("listed", 1000, {1});
    ASSERT_EQ(history_record_or_keep(server->conninfo("alice").c_str(), "", &r, false, nullptr),
              HISTORY_RECORDED);
    result listed = run({"history", "listed", "--db", server->conninfo("alice")}, history_main);
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("Exam listed: Networks <b>I</b>"), std::string::npos) << listed.out;
}
