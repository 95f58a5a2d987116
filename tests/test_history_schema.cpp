// A results history written before fingerprints ignored the order of an
// item's choices: it opens, keeps every run, and practice still finds the
// items of its runs, also once new runs of the same items are recorded.
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>

#include "bank/exam_list.h"
#include "bank/history.h"
#include "test_util.h"

namespace {

// The tables and the fingerprint as the first version of the history
// wrote them, kept here on their own so that a change to the program's
// can't hide a history it no longer reads.
const std::string SCHEMA_1 = std::string(HISTORY_SCHEMA_1) +
    "CREATE TABLE kept_runs(key TEXT PRIMARY KEY) WITHOUT ROWID;"
    "PRAGMA user_version = 1;";

std::string first_fingerprint(const question *q)
{
    GChecksum *sum = g_checksum_new(G_CHECKSUM_SHA1);
    auto add = [sum](const char *text, size_t size) {
        g_checksum_update(sum, reinterpret_cast<const guchar *>(text), strnlen(text, size - 1) + 1);
    };
    char type[2] = {q->type, 0};
    add(type, sizeof type);
    add(q->text, sizeof q->text);
    for (const char *answer : q->answers)
        add(answer, ANSWER_SIZE);
    std::string hex = g_checksum_get_string(sum);
    g_checksum_free(sum);
    return hex;
}

int user_version(const std::string &path)
{
    sqlite3 *sql = nullptr;
    int version = -1;
    if (sqlite3_open(path.c_str(), &sql) == SQLITE_OK)
        sqlite3_exec(sql, "PRAGMA user_version", [](void *v, int, char **row, char **) {
            *static_cast<int *>(v) = atoi(row[0]);
            return 0;
        }, &version, nullptr);
    sqlite3_close(sql);
    return version;
}

} // namespace

TEST(HistorySchema, AnOldHistoryKeepsItsRunsAndPracticeFindsTheirItems)
{
    TempDir dir;
    std::string exam = dir.mkdir("geo");
    // The right choice not first: the file's order is not the sorted one.
    write_question_file(exam + "/cat01", "+++\nS1\nCapital of France?\n---\n-Rome\n+Paris\n-Oslo\n---\n\n"
                                          "+++\nF2\nCapital of Norway?\n---\nOslo\n---\n\n+++\n");
    question *capital = read_question(1, (exam + "/cat01").c_str(), nullptr);
    question *norway = read_question(2, (exam + "/cat01").c_str(), nullptr);
    ASSERT_TRUE(capital && norway);
    std::string old_capital = first_fingerprint(capital), old_norway = first_fingerprint(norway);
    EXPECT_EQ(item_fingerprint_file_order(capital), old_capital);

    // The same item shown in any order has one fingerprint, not the old one.
    question shown = *capital;
    std::swap(shown.answers[0], shown.answers[2]);
    EXPECT_EQ(item_fingerprint(&shown), item_fingerprint(capital));
    EXPECT_NE(item_fingerprint(capital), old_capital);
    shown.answers[1][0] = '-';   // but what is right still counts
    EXPECT_NE(item_fingerprint(&shown), item_fingerprint(capital));

    // A history as the first version wrote it: two runs, the first missing
    // the capital, the second both.
    std::string path = dir / "history.sqlite";
    sqlite3 *sql = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &sql), SQLITE_OK);
    std::string rows =
        SCHEMA_1 +
        "INSERT INTO runs VALUES(1, 'geo', 'Geo', 1000, 'Ann', 1, 0, 60, 2, 3, 2, 66.7, 50, 1);"
        "INSERT INTO runs VALUES(2, 'geo', 'Geo', 2000, 'Ann', 1, 0, 60, 2, 3, 0, 0, 50, 0);"
        "INSERT INTO items VALUES(1, 1, 'cat01', 1, '" + old_capital + "', 1, -1);"
        "INSERT INTO items VALUES(1, 2, 'cat01', 2, '" + old_norway + "', 2, 1);"
        "INSERT INTO items VALUES(2, 1, 'cat01', 2, '" + old_norway + "', 2, -1);"
        "INSERT INTO items VALUES(2, 2, 'cat01', 1, '" + old_capital + "', 1, 0);"
        "INSERT INTO file_stats VALUES('geo', 'cat01', 2, 4, 1);"
        "INSERT INTO item_stats VALUES('geo', 'cat01', 1, '" + old_capital + "', 2, 2);"
        "INSERT INTO item_stats VALUES('geo', 'cat01', 2, '" + old_norway + "', 2, 1);";
    ASSERT_EQ(sqlite3_exec(sql, rows.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(sql);
    sqlite3_close(sql);

    // Read as it stands, and then opened to record, which brings it up.
    for (bool writer : {false, true}) {
        history_db *db = writer ? history_open(path.c_str(), nullptr) : history_open_read(path.c_str(), nullptr);
        ASSERT_NE(db, nullptr) << writer;
        std::vector<history_run> runs;
        std::vector<history_mistake> mistakes;
        ASSERT_TRUE(history_runs(db, "geo", true, &runs, 0, nullptr));
        ASSERT_TRUE(history_mistakes(db, "geo", &mistakes, nullptr));
        history_close(db);
        ASSERT_EQ(runs.size(), 2u);
        ASSERT_EQ(runs[1].items.size(), 2u);
        EXPECT_TRUE(runs[1].items[0].file == "cat01" && runs[1].items[0].item == 1 &&
                    runs[1].items[0].fingerprint == old_capital && runs[1].items[0].ok == OK_WRONG);
        EXPECT_EQ(runs[0].reached_points, 0);
        ASSERT_EQ(mistakes.size(), 2u);
        std::vector<history_mistake> chosen = practice_items(mistakes, exam.c_str(), 5);
        ASSERT_EQ(chosen.size(), 1u);   // one per file: the most missed
        EXPECT_EQ(chosen[0].item, 1);
        EXPECT_EQ(user_version(path), writer ? HISTORY_SCHEMA_VERSION : 1);
    }

    // A new run misses the capital again, shown in another order: practice
    // counts its row and the old one's as one item's.
    history_run run;
    run.exam = "geo";
    run.taken = 3000;
    shown = *capital;
    std::swap(shown.answers[0], shown.answers[1]);
    shown.OK = OK_WRONG;
    run.items = history_items_of(&shown);
    run.items[0].file = "cat01";
    run.items[0].item = 1;
    history_db *db = history_open(path.c_str(), nullptr);
    ASSERT_TRUE(db && history_record(db, &run, nullptr, nullptr));
    std::vector<history_mistake> mistakes;
    ASSERT_TRUE(history_mistakes(db, "geo", &mistakes, nullptr));
    history_close(db);
    ASSERT_EQ(mistakes.size(), 3u);
    std::vector<history_mistake> chosen = practice_items(mistakes, exam.c_str(), 5);
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_TRUE(chosen[0].item == 1 && chosen[0].missed == 3 && chosen[0].drawn == 3 &&
                chosen[0].fingerprint == item_fingerprint(capital));
    question *practice = create_practice_list(chosen, exam.c_str(), choice_order::as_written, nullptr, nullptr, nullptr);
    ASSERT_NE(practice, nullptr);
    EXPECT_STREQ(practice->text, "Capital of France?");
    destroy_list(practice);
    destroy_list(capital);
    destroy_list(norway);
}
