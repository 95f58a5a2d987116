// What the history's source files share: the connection, the server's
// side of the store, and a few small wrappers around SQLite's calls. Not
// for outside the history.
#pragma once

#include <glib.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "bank/error.h"
#include "bank/history.h"

struct pg_conn;   // libpq's PGconn

// One open history: an SQLite file (sql) or a server's database (pg).
struct history_db {
    sqlite3 *sql = nullptr;
    pg_conn *pg = nullptr;
    std::string path;
    bool read_only = false;
    int version = HISTORY_SCHEMA_VERSION;   // of the file, which a reader doesn't bring up
};

// The same operations on a server's database (history_pg.cpp); each public
// function of the history hands a server's history over to its namesake.
namespace history_pg {
history_db *open(const char *conninfo, GError **error);
void close(history_db *db);
bool record(history_db *db, history_run *run, const std::function<void()> &before_commit,
            GError **error);
bool exams(history_db *db, std::vector<history_exam> *out, GError **error);
bool runs(history_db *db, const char *exam, bool with_items, std::vector<history_run> *out,
          int limit, GError **error);
// Every run of `exam` with its items, oldest first, one at a time, until
// `each` gives false.
bool each_run(history_db *db, const char *exam, const std::function<bool(const history_run &)> &each,
              GError **error);
bool count(history_db *db, const char *exam, int *runs, int *passed, GError **error);
bool weak_files(history_db *db, const char *exam, std::vector<history_file> *out, GError **error);
bool mistakes(history_db *db, const char *exam, std::vector<history_mistake> *out, GError **error);
} // namespace history_pg

namespace history_sql {

// Another program held the lock or the file (the last call's result).
inline bool busy(sqlite3 *sql)
{
    int code = sqlite3_errcode(sql) & 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

inline bool fail(sqlite3 *sql, std::string *error, bool *was_busy = nullptr)
{
    if (error)
        *error = sqlite3_errmsg(sql);
    if (was_busy && busy(sql))
        *was_busy = true;
    return false;
}

// A failure as the core's callers get it: TRIALIX_ERROR_BUSY when another
// program held the file, TRIALIX_ERROR_NEWER or TRIALIX_ERROR_FORMAT for a
// file that is no history this program may use, else
// TRIALIX_ERROR_DATABASE.
inline bool set_error(GError **error, const std::string &why, bool was_busy)
{
    trialix_error_code code = TRIALIX_ERROR_DATABASE;
    if (was_busy)
        code = TRIALIX_ERROR_BUSY;
    else if (why.compare(0, 33, "it was written by a newer version") == 0)
        code = TRIALIX_ERROR_NEWER;
    else if (why.find("not a Trialix results history") != std::string::npos)
        code = TRIALIX_ERROR_FORMAT;
    trialix_set_error(error, code, why);
    return false;
}

inline bool fail(sqlite3 *sql, GError **error)
{
    return set_error(error, sqlite3_errmsg(sql), busy(sql));
}

inline bool exec(sqlite3 *sql, const char *text, std::string *error, bool *was_busy = nullptr)
{
    char *message = nullptr;
    if (sqlite3_exec(sql, text, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = message ? message : sqlite3_errmsg(sql);
    if (was_busy && busy(sql))
        *was_busy = true;
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
        return t ? std::string(reinterpret_cast<const char *>(t), (size_t)sqlite3_column_bytes(s, i)) : "";
    }
    int column_int(int i) { return sqlite3_column_int(s, i); }
    long long column_int64(int i) { return sqlite3_column_int64(s, i); }
};

} // namespace history_sql
