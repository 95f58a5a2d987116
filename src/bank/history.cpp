#include "bank/history.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <sqlite3.h>

#include <cerrno>
#include <map>
#include <memory>

struct history_db {
    sqlite3 *sql = nullptr;
};

namespace {

// A program recording at the same moment holds the lock for milliseconds;
// this is long enough to outwait it and short enough not to hang a run.
constexpr int BUSY_TIMEOUT_MS = 5000;

const char SCHEMA[] =
    "CREATE TABLE IF NOT EXISTS runs("
    " id INTEGER PRIMARY KEY,"
    " exam TEXT NOT NULL, title TEXT NOT NULL, taken INTEGER NOT NULL,"
    " examinee TEXT NOT NULL, training INTEGER NOT NULL, timer INTEGER NOT NULL,"
    " time_used INTEGER NOT NULL, item_count INTEGER NOT NULL,"
    " total_points INTEGER NOT NULL, reached_points INTEGER NOT NULL,"
    " score REAL NOT NULL, pass_mark INTEGER NOT NULL, passed INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS runs_by_exam ON runs(exam, taken);"
    "CREATE TABLE IF NOT EXISTS items("
    " run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " position INTEGER NOT NULL, file TEXT NOT NULL, item INTEGER NOT NULL,"
    " fingerprint TEXT NOT NULL, points INTEGER NOT NULL, ok INTEGER NOT NULL,"
    " PRIMARY KEY(run, position)) WITHOUT ROWID;"
    // Sums over the items above, kept with every run, so that opening an
    // exam with a long history reads a row per file and per item ever
    // drawn instead of every item of every run.
    "CREATE TABLE IF NOT EXISTS file_stats("
    " exam TEXT NOT NULL, file TEXT NOT NULL, runs INTEGER NOT NULL,"
    " drawn INTEGER NOT NULL, correct INTEGER NOT NULL,"
    " PRIMARY KEY(exam, file)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS item_stats("
    " exam TEXT NOT NULL, file TEXT NOT NULL, item INTEGER NOT NULL, fingerprint TEXT NOT NULL,"
    " drawn INTEGER NOT NULL, missed INTEGER NOT NULL,"
    " PRIMARY KEY(exam, file, item, fingerprint)) WITHOUT ROWID;";

bool fail(sqlite3 *sql, std::string *error)
{
    if (error)
        *error = sqlite3_errmsg(sql);
    return false;
}

bool exec(sqlite3 *sql, const char *text, std::string *error)
{
    char *message = nullptr;
    if (sqlite3_exec(sql, text, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = message ? message : sqlite3_errmsg(sql);
    sqlite3_free(message);
    return false;
}

struct statement {
    sqlite3_stmt *s = nullptr;
    statement(sqlite3 *sql, const char *text) { sqlite3_prepare_v2(sql, text, -1, &s, nullptr); }
    ~statement() { sqlite3_finalize(s); }
    statement(const statement &) = delete;
    statement &operator=(const statement &) = delete;
    explicit operator bool() const { return s != nullptr; }
    void text(int i, const std::string &v) { sqlite3_bind_text(s, i, v.c_str(), (int)v.size(), SQLITE_TRANSIENT); }
    void integer(int i, long long v) { sqlite3_bind_int64(s, i, v); }
    std::string column_text(int i)
    {
        const unsigned char *t = sqlite3_column_text(s, i);
        return t ? reinterpret_cast<const char *>(t) : "";
    }
    int column_int(int i) { return sqlite3_column_int(s, i); }
    long long column_int64(int i) { return sqlite3_column_int64(s, i); }
};

// The schema of a new database; an older one would be brought up here.
bool prepare_schema(sqlite3 *sql, std::string *error)
{
    if (!exec(sql, "BEGIN IMMEDIATE", error))
        return false;
    statement version(sql, "PRAGMA user_version");
    if (!version || sqlite3_step(version.s) != SQLITE_ROW) {
        fail(sql, error);
        exec(sql, "ROLLBACK", nullptr);
        return false;
    }
    int found = version.column_int(0);
    sqlite3_reset(version.s);
    if (found > HISTORY_SCHEMA_VERSION) {
        if (error)
            *error = "it was written by a newer version of Trialix (schema " +
                     std::to_string(found) + ")";
        exec(sql, "ROLLBACK", nullptr);
        return false;
    }
    if (found < HISTORY_SCHEMA_VERSION) {
        std::string set = "PRAGMA user_version = " + std::to_string(HISTORY_SCHEMA_VERSION);
        if (!exec(sql, SCHEMA, error) || !exec(sql, set.c_str(), error)) {
            exec(sql, "ROLLBACK", nullptr);
            return false;
        }
    }
    return exec(sql, "COMMIT", error);
}

// Adds a run's items to the sums of its exam's files and items. Items of
// no known file have no place there.
bool add_to_sums(sqlite3 *sql, const history_run &run)
{
    struct file_sum {
        int drawn = 0, correct = 0;
    };
    std::map<std::string, file_sum> files;
    statement item(sql, "INSERT INTO item_stats(exam, file, item, fingerprint, drawn, missed)"
                        " VALUES(?1, ?2, ?3, ?4, 1, ?5) ON CONFLICT DO UPDATE SET"
                        " drawn = drawn + 1, missed = missed + excluded.missed");
    if (!item)
        return false;
    for (const history_item &i : run.items) {
        if (i.file.empty())
            continue;
        file_sum &f = files[i.file];
        f.drawn++;
        f.correct += i.ok == 1;
        item.text(1, run.exam);
        item.text(2, i.file);
        item.integer(3, i.item);
        item.text(4, i.fingerprint);
        item.integer(5, i.ok != 1);
        if (sqlite3_step(item.s) != SQLITE_DONE)
            return false;
        sqlite3_reset(item.s);
    }
    statement file(sql, "INSERT INTO file_stats(exam, file, runs, drawn, correct)"
                        " VALUES(?1, ?2, 1, ?3, ?4) ON CONFLICT DO UPDATE SET runs = runs + 1,"
                        " drawn = drawn + excluded.drawn, correct = correct + excluded.correct");
    if (!file)
        return false;
    for (const auto &[name, sum] : files) {
        file.text(1, run.exam);
        file.text(2, name);
        file.integer(3, sum.drawn);
        file.integer(4, sum.correct);
        if (sqlite3_step(file.s) != SQLITE_DONE)
            return false;
        sqlite3_reset(file.s);
    }
    return true;
}

} // namespace

std::string history_default_path(void)
{
    gchar *p = g_build_filename(g_get_user_data_dir(), "trialix", "history.sqlite", nullptr);
    std::string path = p;
    g_free(p);
    return path;
}

history_db *history_open(const char *path, std::string *error)
{
    gchar *folder = g_path_get_dirname(path);
    int made = g_mkdir_with_parents(folder, 0700);
    g_free(folder);
    if (made != 0) {
        if (error)
            *error = g_strerror(errno);
        return nullptr;
    }
    auto db = std::make_unique<history_db>();
    int rc = sqlite3_open_v2(path, &db->sql, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        fail(db->sql, error);
        history_close(db.release());
        return nullptr;
    }
    sqlite3_busy_timeout(db->sql, BUSY_TIMEOUT_MS);
    // The program opens the history for each run it records; a checkpoint
    // at every close would sync the whole file each time. The log is
    // checkpointed as it grows instead.
    sqlite3_db_config(db->sql, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // WAL lets a reader and a writer go on together; a commit in it is
    // atomic, and NORMAL syncing loses at most the last run to a power cut,
    // never the file.
    if (!exec(db->sql, "PRAGMA journal_mode=WAL", error) ||
        !exec(db->sql, "PRAGMA synchronous=NORMAL", error) ||
        !exec(db->sql, "PRAGMA foreign_keys=ON", error) || !prepare_schema(db->sql, error)) {
        history_close(db.release());
        return nullptr;
    }
    return db.release();
}

void history_close(history_db *db)
{
    if (!db)
        return;
    sqlite3_close(db->sql);
    delete db;
}

bool history_record(history_db *db, history_run *run, std::string *error,
                    const std::function<void()> &before_commit)
{
    sqlite3 *sql = db->sql;
    if (!exec(sql, "BEGIN IMMEDIATE", error))
        return false;
    auto give_up = [&] {
        fail(sql, error);
        exec(sql, "ROLLBACK", nullptr);
        return false;
    };
    statement r(sql, "INSERT INTO runs(exam, title, taken, examinee, training, timer, time_used,"
                     " item_count, total_points, reached_points, score, pass_mark, passed)"
                     " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)");
    if (!r)
        return give_up();
    run->item_count = (int)run->items.size();
    r.text(1, run->exam);
    r.text(2, run->title);
    r.integer(3, run->taken);
    r.text(4, run->examinee);
    r.integer(5, run->training);
    r.integer(6, run->timer);
    r.integer(7, run->time_used);
    r.integer(8, run->item_count);
    r.integer(9, run->total_points);
    r.integer(10, run->reached_points);
    sqlite3_bind_double(r.s, 11, run->score);
    r.integer(12, run->pass_mark);
    r.integer(13, run->passed);
    if (sqlite3_step(r.s) != SQLITE_DONE)
        return give_up();
    long long id = sqlite3_last_insert_rowid(sql);

    statement it(sql, "INSERT INTO items(run, position, file, item, fingerprint, points, ok)"
                      " VALUES(?,?,?,?,?,?,?)");
    if (!it)
        return give_up();
    for (size_t i = 0; i < run->items.size(); i++) {
        const history_item &item = run->items[i];
        it.integer(1, id);
        it.integer(2, (long long)i + 1);
        it.text(3, item.file);
        it.integer(4, item.item);
        it.text(5, item.fingerprint);
        it.integer(6, item.points);
        it.integer(7, item.ok);
        if (sqlite3_step(it.s) != SQLITE_DONE)
            return give_up();
        sqlite3_reset(it.s);
    }
    if (!add_to_sums(sql, *run))
        return give_up();
    if (before_commit)
        before_commit();
    if (!exec(sql, "COMMIT", error)) {
        exec(sql, "ROLLBACK", nullptr);
        return false;
    }
    run->id = id;
    return true;
}

bool history_exams(history_db *db, std::vector<history_exam> *out, std::string *error)
{
    // The title of an exam's latest run: titles may change between runs.
    statement s(db->sql, "SELECT exam, (SELECT title FROM runs r2 WHERE r2.exam = runs.exam"
                         " ORDER BY taken DESC, id DESC LIMIT 1), MAX(taken), COUNT(*)"
                         " FROM runs GROUP BY exam ORDER BY MAX(taken) DESC, MAX(id) DESC");
    if (!s)
        return fail(db->sql, error);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW)
        out->push_back({s.column_text(0), s.column_text(1), s.column_int64(2), s.column_int(3)});
    return rc == SQLITE_DONE || fail(db->sql, error);
}

static bool read_items(history_db *db, history_run *run, std::string *error)
{
    statement s(db->sql, "SELECT file, item, fingerprint, points, ok FROM items WHERE run = ?"
                         " ORDER BY position");
    if (!s)
        return fail(db->sql, error);
    s.integer(1, run->id);
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW)
        run->items.push_back({s.column_text(0), s.column_int(1), s.column_text(2), s.column_int(3),
                              s.column_int(4)});
    return rc == SQLITE_DONE || fail(db->sql, error);
}

bool history_runs(history_db *db, const char *exam, bool with_items,
                  std::vector<history_run> *out, std::string *error)
{
    statement s(db->sql, "SELECT id, exam, title, taken, examinee, training, timer, time_used,"
                         " item_count, total_points, reached_points, score, pass_mark, passed"
                         " FROM runs WHERE exam = ? ORDER BY taken DESC, id DESC");
    if (!s)
        return fail(db->sql, error);
    s.text(1, exam);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW) {
        history_run r;
        r.id = s.column_int64(0);
        r.exam = s.column_text(1);
        r.title = s.column_text(2);
        r.taken = s.column_int64(3);
        r.examinee = s.column_text(4);
        r.training = s.column_int(5) != 0;
        r.timer = s.column_int(6) != 0;
        r.time_used = s.column_int(7);
        r.item_count = s.column_int(8);
        r.total_points = s.column_int(9);
        r.reached_points = s.column_int(10);
        r.score = sqlite3_column_double(s.s, 11);
        r.pass_mark = s.column_int(12);
        r.passed = s.column_int(13) != 0;
        out->push_back(std::move(r));
    }
    if (rc != SQLITE_DONE)
        return fail(db->sql, error);
    if (with_items)
        for (history_run &r : *out)
            if (!read_items(db, &r, error))
                return false;
    return true;
}

bool history_weak_files(history_db *db, const char *exam, std::vector<history_file> *out,
                        std::string *error)
{
    statement s(db->sql, "SELECT file, runs, drawn, correct FROM file_stats WHERE exam = ?"
                         " ORDER BY CAST(correct AS REAL) / drawn, drawn DESC, file");
    if (!s)
        return fail(db->sql, error);
    s.text(1, exam);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW)
        out->push_back({s.column_text(0), s.column_int(1), s.column_int(2), s.column_int(3)});
    return rc == SQLITE_DONE || fail(db->sql, error);
}

bool history_mistakes(history_db *db, const char *exam, std::vector<history_mistake> *out,
                      std::string *error)
{
    statement s(db->sql, "SELECT file, item, fingerprint, missed, drawn FROM item_stats"
                         " WHERE exam = ? AND missed > 0 ORDER BY missed DESC, drawn, file, item");
    if (!s)
        return fail(db->sql, error);
    s.text(1, exam);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW)
        out->push_back({s.column_text(0), s.column_int(1), s.column_text(2), s.column_int(3),
                        s.column_int(4)});
    return rc == SQLITE_DONE || fail(db->sql, error);
}
