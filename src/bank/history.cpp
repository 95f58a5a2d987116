// The results history's file: opening it to record or to read, its schema,
// and recording a run.
#include "bank/history.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <map>
#include <memory>

#include "bank/history_db.h"

using namespace history_sql;

namespace {

// A program recording at the same moment holds the lock for milliseconds;
// this outwaits it without freezing the window. A program that holds the
// lock longer is not waited for: the run is kept and recorded later.
constexpr int BUSY_TIMEOUT_MS = 250;

// The tables as schema 1 made them; the steps below bring them up to
// HISTORY_SCHEMA_VERSION, a new database as much as an old one.
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

// Each run's id, so that a run sent twice is held once, and the answer
// given to each item. Runs recorded before get an id of their own (a
// random version-4 UUID) and no answers.
const char SCHEMA_V3[] =
    "ALTER TABLE runs ADD COLUMN uuid TEXT;"
    "UPDATE runs SET uuid = lower(hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4'"
    " || substr(hex(randomblob(2)), 2) || '-' || substr('89ab', 1 + (abs(random()) % 4), 1)"
    " || substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)));"
    "CREATE UNIQUE INDEX runs_by_uuid ON runs(uuid);"
    "ALTER TABLE items ADD COLUMN answer TEXT NOT NULL DEFAULT '';";

// One step from schema `to` - 1 to schema `to`, in order, the last one's
// `to` being HISTORY_SCHEMA_VERSION. Each runs in the transaction that
// sets the new version, so a history is at one version or the next.
struct schema_step {
    int to;
    const char *sql;
};
const schema_step STEPS[] = {
    // Fingerprints no longer depend on the order of an item's answers.
    // Rows of schema 1 keep theirs, computed with the answers in file
    // order: practice still recognises that form from the question file,
    // so every old run stays matched to its items. The version keeps a
    // program that knows only that form from missing the new rows.
    {2, ""},
    {3, SCHEMA_V3},
};
static_assert(sizeof STEPS / sizeof STEPS[0] == HISTORY_SCHEMA_VERSION - 1,
              "a step for every schema after the first");

// The names of the runs that were kept aside and then recorded. A table of
// its own, so that a history without it is still of the same version and
// older programs go on using it.
const char KEYS_SCHEMA[] = "CREATE TABLE IF NOT EXISTS kept_runs(key TEXT PRIMARY KEY) WITHOUT ROWID;";

const char *const TABLES[] = {"runs", "items", "file_stats", "item_stats"};

// The schema version and how many of the history's tables (and the
// table of kept runs' names) the database holds.
bool read_schema(sqlite3 *sql, int *version, int *tables, bool *keys, std::string *error,
                 bool *was_busy = nullptr)
{
    statement v(sql, "PRAGMA user_version");
    if (!v || sqlite3_step(v.s) != SQLITE_ROW)
        return fail(sql, error, was_busy);
    *version = v.column_int(0);
    statement t(sql, "SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!t)
        return fail(sql, error, was_busy);
    *tables = 0;
    *keys = false;
    int rc;
    while ((rc = sqlite3_step(t.s)) == SQLITE_ROW) {
        std::string name = t.column_text(0);
        for (const char *ours : TABLES)
            *tables += name == ours;
        *keys = *keys || name == "kept_runs";
    }
    return rc == SQLITE_DONE || fail(sql, error, was_busy);
}

std::string newer_version(int found)
{
    return "it was written by a newer version of Trialix (schema " + std::to_string(found) + ")";
}

// Opens `target` read-only (with `flags` besides) and reads its schema;
// none when that fails (*code: SQLite's result).
sqlite3 *open_schema(const char *target, int flags, int *version, int *tables, std::string *error,
                     int *code = nullptr)
{
    sqlite3 *sql = nullptr;
    bool keys = false;
    if (sqlite3_open_v2(target, &sql, SQLITE_OPEN_READONLY | flags, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(sql, BUSY_TIMEOUT_MS);
        if (read_schema(sql, version, tables, &keys, error))
            return sql;
    } else {
        fail(sql, error);
    }
    if (code)
        *code = sqlite3_errcode(sql) & 0xff;
    sqlite3_close(sql);
    return nullptr;
}

// Why a database of that schema is none the reader may read, or "".
std::string not_ours(int version, int tables)
{
    if (version > HISTORY_SCHEMA_VERSION)
        return newer_version(version);
    if (version < 1 || tables != (int)G_N_ELEMENTS(TABLES))
        return "not a Trialix results history";
    return "";
}

// The schema of a new database, or an older one's brought up to this one.
// The write lock is taken only when something is missing.
bool prepare_schema(sqlite3 *sql, std::string *error, bool *was_busy)
{
    int found = 0, tables = 0;
    bool keys = false;
    if (!read_schema(sql, &found, &tables, &keys, error, was_busy))
        return false;
    if (found > HISTORY_SCHEMA_VERSION) {
        if (error)
            *error = newer_version(found);
        return false;
    }
    if (found == HISTORY_SCHEMA_VERSION && keys)
        return true;
    if (!exec(sql, "BEGIN IMMEDIATE", error, was_busy))
        return false;
    auto give_up = [&] {
        exec(sql, "ROLLBACK", nullptr);
        return false;
    };
    // Another program may have done it meanwhile.
    if (!read_schema(sql, &found, &tables, &keys, error, was_busy))
        return give_up();
    if (found > HISTORY_SCHEMA_VERSION) {
        if (error)
            *error = newer_version(found);
        return give_up();
    }
    if (found < 1 && !exec(sql, SCHEMA, error))
        return give_up();
    for (const schema_step &step : STEPS)
        if (step.to > found && !exec(sql, step.sql, error))
            return give_up();
    if (found < HISTORY_SCHEMA_VERSION) {
        std::string set = "PRAGMA user_version = " + std::to_string(HISTORY_SCHEMA_VERSION);
        if (!exec(sql, set.c_str(), error))
            return give_up();
    }
    if (!exec(sql, KEYS_SCHEMA, error, was_busy))
        return give_up();
    return exec(sql, "COMMIT", error, was_busy) || give_up();
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

// Folds the write-ahead log back into the file when no one else has it
// open: a connection that may write does it as it closes.
void fold_log(const std::string &path)
{
    std::string log = path + "-wal";
    if (!g_file_test(log.c_str(), G_FILE_TEST_EXISTS) || g_access(path.c_str(), W_OK) != 0)
        return;
    sqlite3 *sql = nullptr;
    if (sqlite3_open_v2(path.c_str(), &sql, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        !sqlite3_db_readonly(sql, "main"))
        exec(sql, "SELECT COUNT(*) FROM sqlite_master", nullptr);   // opens the log
    sqlite3_close(sql);   // folds it in, and removes it when last
}

} // namespace

std::string history_default_path(void)
{
    gchar *p = g_build_filename(g_get_user_data_dir(), "trialix", "history.sqlite", nullptr);
    std::string path = p;
    g_free(p);
    return path;
}

namespace {

history_db *open_writer(const char *path, std::string *error, bool *busy)
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
    db->path = path;
    int rc = sqlite3_open_v2(path, &db->sql, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        fail(db->sql, error);
        history_close(db.release());
        return nullptr;
    }
    // SQLite opens a file it may not write for reading instead.
    if (sqlite3_db_readonly(db->sql, "main")) {
        if (error)
            *error = "the file can't be written";
        history_close(db.release());
        return nullptr;
    }
    sqlite3_busy_timeout(db->sql, BUSY_TIMEOUT_MS);
    // WAL lets a reader and a writer go on together; a commit in it is
    // atomic, and NORMAL syncing loses at most the last run to a power cut,
    // never the file.
    if (!exec(db->sql, "PRAGMA journal_mode=WAL", error, busy) ||
        !exec(db->sql, "PRAGMA synchronous=NORMAL", error) ||
        !exec(db->sql, "PRAGMA foreign_keys=ON", error) || !prepare_schema(db->sql, error, busy)) {
        history_close(db.release());
        return nullptr;
    }
    return db.release();
}

history_db *open_reader(const char *path, std::string *error)
{
    auto refuse = [&](const std::string &why) -> history_db * {
        if (error)
            *error = why;
        return nullptr;
    };
    GStatBuf st;
    if (g_stat(path, &st) != 0)
        return refuse(g_strerror(errno));
    if (!S_ISREG(st.st_mode))
        return refuse("not a file");
    // SQLite would take an empty file for an empty database (and remove a
    // log beside it).
    if (st.st_size == 0)
        return refuse("the file is empty: not a Trialix results history");
    bool log_there = g_file_test((std::string(path) + "-wal").c_str(), G_FILE_TEST_EXISTS);
    // A URI takes an absolute path: a name relative to the working folder
    // would give none, and the file couldn't be opened.
    gchar *absolute = g_canonicalize_filename(path, nullptr);
    gchar *uri = g_filename_to_uri(absolute, nullptr, nullptr);
    g_free(absolute);
    std::string as_is = std::string(uri ? uri : "") + "?immutable=1";
    g_free(uri);
    int version = 0, tables = 0;
    std::string why;
    if (!log_there) {
        // Looked at as it stands first: a database that isn't a history
        // gets no log nor index made beside it.
        sqlite3 *peek = open_schema(as_is.c_str(), SQLITE_OPEN_URI, &version, &tables, &why);
        if (!peek)
            return refuse(why);
        sqlite3_close(peek);
        if (!(why = not_ours(version, tables)).empty())
            return refuse(why);
    }
    auto db = std::make_unique<history_db>();
    db->path = path;
    db->read_only = true;
    int code = SQLITE_OK;
    // A reader's connection serves one thread: SQLite's own locks around
    // every call are left out, which a long report feels.
    db->sql = open_schema(path, SQLITE_OPEN_NOMUTEX, &version, &tables, &why, &code);
    // A history in a folder we may not write: its log and the log's index
    // can't be made beside it. With no log there, the file holds it all and
    // is read as it stands.
    if (!db->sql && (code == SQLITE_READONLY || code == SQLITE_CANTOPEN) && !log_there)
        db->sql = open_schema(as_is.c_str(), SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, &version, &tables, &why);
    if (!db->sql)
        return refuse(why);
    if (!(why = not_ours(version, tables)).empty()) {
        history_close(db.release(), false);
        return refuse(why);
    }
    db->version = version;
    return db.release();
}

} // namespace

bool history_is_server(const char *where)
{
    if (g_str_has_prefix(where, "postgresql://") || g_str_has_prefix(where, "postgres://"))
        return true;
    // "keyword = value ...": a file's path doesn't begin with a word and '='.
    const char *p = where;
    while (*p == ' ')
        p++;
    const char *word = p;
    while (g_ascii_isalnum(*p) || *p == '_')
        p++;
    while (*p == ' ')
        p++;
    return p > word && *p == '=' && !g_ascii_isdigit(*word);
}

std::string history_server_setting(const std::string &value)
{
    return history_is_server(value.c_str()) ? value : "service=" + value;
}

history_db *history_open(const char *path, GError **error)
{
    if (history_is_server(path))
        return history_pg::open(path, error);
    std::string why;
    bool busy = false;
    history_db *db = open_writer(path, &why, &busy);
    if (!db)
        set_error(error, why, busy);
    return db;
}

history_db *history_open_read(const char *path, GError **error)
{
    if (history_is_server(path))
        return history_pg::open(path, error);
    std::string why;
    history_db *db = open_reader(path, &why);
    if (!db)
        set_error(error, why, false);
    return db;
}

void history_close(history_db *db, bool fold)
{
    if (!db)
        return;
    if (db->pg) {
        history_pg::close(db);
        return;
    }
    // A writer folds the log into the file as it closes, if it is the last
    // to have the file open; a reader can't, and leaves that to one that may.
    if (!fold && !db->read_only)
        sqlite3_db_config(db->sql, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close(db->sql);
    if (fold && db->read_only)
        fold_log(db->path);
    delete db;
}

void history_fold(const char *path)
{
    if (!history_is_server(path))
        fold_log(path);
}

namespace {

bool record_run(history_db *db, history_run *run, std::string *error,
                const std::function<void()> &before_commit, bool *busy)
{
    sqlite3 *sql = db->sql;
    if (!exec(sql, "BEGIN IMMEDIATE", error, busy))
        return false;
    auto give_up = [&] {
        fail(sql, error, busy);
        exec(sql, "ROLLBACK", nullptr);
        return false;
    };
    if (!run->key.empty()) {
        statement k(sql, "INSERT OR IGNORE INTO kept_runs(key) VALUES(?)");
        if (!k)
            return give_up();
        k.text(1, run->key);
        if (sqlite3_step(k.s) != SQLITE_DONE)
            return give_up();
        if (sqlite3_changes(sql) == 0) {   // recorded before
            exec(sql, "ROLLBACK", nullptr);
            run->id = 0;
            return true;
        }
    }
    statement r(sql, "INSERT INTO runs(exam, title, taken, examinee, training, timer, time_used,"
                     " item_count, total_points, reached_points, score, pass_mark, passed, uuid)"
                     " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?) ON CONFLICT(uuid) DO NOTHING");
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
    r.text(14, run->uuid);
    if (sqlite3_step(r.s) != SQLITE_DONE)
        return give_up();
    if (sqlite3_changes(sql) == 0) {   // sent before
        exec(sql, "ROLLBACK", nullptr);
        run->id = 0;
        return true;
    }
    long long id = sqlite3_last_insert_rowid(sql);

    statement it(sql, "INSERT INTO items(run, position, file, item, fingerprint, points, ok, answer)"
                      " VALUES(?,?,?,?,?,?,?,?)");
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
        it.text(8, item.answer);
        if (sqlite3_step(it.s) != SQLITE_DONE)
            return give_up();
        sqlite3_reset(it.s);
    }
    if (!add_to_sums(sql, *run))
        return give_up();
    if (before_commit)
        before_commit();
    if (!exec(sql, "COMMIT", error, busy)) {
        exec(sql, "ROLLBACK", nullptr);
        return false;
    }
    run->id = id;
    return true;
}

} // namespace

bool history_record(history_db *db, history_run *run, const std::function<void()> &before_commit,
                    GError **error)
{
    if (run->uuid.empty()) {
        gchar *id = g_uuid_string_random();
        run->uuid = id;
        g_free(id);
    }
    if (db->pg)
        return history_pg::record(db, run, before_commit, error);
    std::string why;
    bool busy = false;
    if (record_run(db, run, &why, before_commit, &busy))
        return true;
    return set_error(error, why, busy);
}
