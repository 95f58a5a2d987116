// Reading the results history: its exams, an exam's runs and what they
// tell, every number kept within its range whatever the file holds.
#include <glib.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "bank/history.h"
#include "bank/history_db.h"

using namespace history_sql;

namespace {

int count_at(statement &s, int i)
{
    long long v = s.column_int64(i);
    return v < 0 ? 0 : v > INT_MAX ? INT_MAX : (int)v;
}

// A percentage: a NaN reads as NULL, so as 0; infinities and the rest
// are brought within 0..100.
double percent_at(statement &s, int i)
{
    double v = sqlite3_column_double(s.s, i);
    return std::isnan(v) ? 0 : v < 0 ? 0 : v > 100 ? 100 : v;
}

} // namespace

bool history_exams(history_db *db, std::vector<history_exam> *out, GError **error)
{
    if (db->pg)
        return history_pg::exams(db, out, error);
    // The title of an exam's latest run: titles may change between runs.
    statement s(db->sql, "SELECT exam, (SELECT title FROM runs r2 WHERE r2.exam = runs.exam"
                         " ORDER BY taken DESC, id DESC LIMIT 1), MAX(taken), COUNT(*)"
                         " FROM runs GROUP BY exam ORDER BY MAX(taken) DESC, MAX(id) DESC");
    if (!s)
        return fail(db->sql, error);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW)
        out->push_back({s.column_text(0), s.column_text(1), s.column_int64(2), count_at(s, 3)});
    return rc == SQLITE_DONE || fail(db->sql, error);
}

namespace {

// A history read as it stands may be older than its runs' ids and answers.
std::string run_columns(const history_db *db)
{
    return std::string("SELECT id, exam, title, taken, examinee, training, timer, time_used,"
                       " item_count, total_points, reached_points, score, pass_mark, passed, ") +
           (db->version >= 3 ? "uuid" : "''") + " FROM runs WHERE exam = ?";
}

// A run from a row of run_columns.
history_run run_at(statement &s)
{
    history_run r;
    r.id = s.column_int64(0);
    r.exam = s.column_text(1);
    r.title = s.column_text(2);
    r.taken = s.column_int64(3);
    r.examinee = s.column_text(4);
    r.training = s.column_int64(5) != 0;
    r.timer = s.column_int64(6) != 0;
    r.time_used = count_at(s, 7);
    r.item_count = count_at(s, 8);
    r.total_points = count_at(s, 9);
    r.reached_points = std::min(count_at(s, 10), r.total_points);
    r.score = percent_at(s, 11);
    r.pass_mark = (int)percent_at(s, 12);
    r.passed = s.column_int64(13) != 0;
    r.uuid = s.column_text(14);
    return r;
}

// The items of one run after another through one prepared statement,
// into the run's items as they stand: a reader that hands out one run at
// a time reuses their room instead of allocating every row anew.
struct item_reader {
    statement s;
    explicit item_reader(history_db *db)
        : s(db->sql, (std::string("SELECT file, item, fingerprint, points, ok, ") +
                      (db->version >= 3 ? "answer" : "''") + " FROM items WHERE run = ? ORDER BY position")
                         .c_str())
    {
    }
    static void text_at(statement &s, int i, std::string *to)
    {
        const unsigned char *t = sqlite3_column_text(s.s, i);
        to->assign(t ? reinterpret_cast<const char *>(t) : "", t ? (size_t)sqlite3_column_bytes(s.s, i) : 0);
    }
    bool read(history_db *db, history_run *run, GError **error)
    {
        if (!s)
            return fail(db->sql, error);
        sqlite3_reset(s.s);
        s.integer(1, run->id);
        std::vector<history_item> &items = run->items;
        size_t n = 0;
        int rc;
        while ((rc = sqlite3_step(s.s)) == SQLITE_ROW) {
            if (n == items.size())
                items.emplace_back();
            history_item &it = items[n++];
            text_at(s, 0, &it.file);
            it.item = count_at(s, 1);
            text_at(s, 2, &it.fingerprint);
            it.points = count_at(s, 3);
            it.ok = s.column_int(4);
            text_at(s, 5, &it.answer);
        }
        items.resize(n);
        return rc == SQLITE_DONE || fail(db->sql, error);
    }
};

} // namespace

bool history_runs(history_db *db, const char *exam, bool with_items,
                  std::vector<history_run> *out, int limit, GError **error)
{
    if (db->pg)
        return history_pg::runs(db, exam, with_items, out, limit, error);
    statement s(db->sql, (run_columns(db) + " ORDER BY taken DESC, id DESC LIMIT ?").c_str());
    if (!s)
        return fail(db->sql, error);
    s.text(1, exam);
    s.integer(2, limit > 0 ? limit : -1);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW)
        out->push_back(run_at(s));
    if (rc != SQLITE_DONE)
        return fail(db->sql, error);
    if (with_items) {
        item_reader items(db);
        for (history_run &r : *out)
            if (!items.read(db, &r, error))
                return false;
    }
    return true;
}

bool history_each_run(history_db *db, const char *exam,
                      const std::function<bool(const history_run &)> &each, GError **error)
{
    if (db->pg)
        return history_pg::each_run(db, exam, each, error);
    statement s(db->sql, (run_columns(db) + " ORDER BY taken, id").c_str());
    if (!s)
        return fail(db->sql, error);
    s.text(1, exam);
    item_reader items(db);
    history_run r;
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW) {
        std::vector<history_item> room = std::move(r.items);
        r = run_at(s);
        r.items = std::move(room);
        if (!items.read(db, &r, error))
            return false;
        if (!each(r))
            return true;
    }
    return rc == SQLITE_DONE || fail(db->sql, error);
}

bool history_count(history_db *db, const char *exam, int *runs, int *passed, GError **error)
{
    if (db->pg)
        return history_pg::count(db, exam, runs, passed, error);
    statement s(db->sql, "SELECT COUNT(*), COUNT(CASE WHEN passed != 0 THEN 1 END) FROM runs"
                         " WHERE exam = ?");
    if (!s)
        return fail(db->sql, error);
    s.text(1, exam);
    if (sqlite3_step(s.s) != SQLITE_ROW)
        return fail(db->sql, error);
    *runs = count_at(s, 0);
    *passed = count_at(s, 1);
    return true;
}

bool history_weak_files(history_db *db, const char *exam, std::vector<history_file> *out,
                        GError **error)
{
    if (db->pg)
        return history_pg::weak_files(db, exam, out, error);
    statement s(db->sql, "SELECT file, runs, drawn, correct FROM file_stats WHERE exam = ?"
                         " ORDER BY CAST(correct AS REAL) / drawn, drawn DESC, file");
    if (!s)
        return fail(db->sql, error);
    s.text(1, exam);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW) {
        int drawn = count_at(s, 2);
        out->push_back({s.column_text(0), count_at(s, 1), drawn, std::min(count_at(s, 3), drawn)});
    }
    return rc == SQLITE_DONE || fail(db->sql, error);
}

bool history_mistakes(history_db *db, const char *exam, std::vector<history_mistake> *out,
                      GError **error)
{
    if (db->pg)
        return history_pg::mistakes(db, exam, out, error);
    statement s(db->sql, "SELECT file, item, fingerprint, missed, drawn FROM item_stats"
                         " WHERE exam = ? AND missed > 0 ORDER BY missed DESC, drawn, file, item");
    if (!s)
        return fail(db->sql, error);
    s.text(1, exam);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW)
        out->push_back({s.column_text(0), count_at(s, 1), s.column_text(2), count_at(s, 3),
                        count_at(s, 4)});
    return rc == SQLITE_DONE || fail(db->sql, error);
}

std::string history_shown_name(const std::string &stored)
{
    std::string shown;
    const char *p = stored.data(), *end = p + stored.size();
    while (p < end) {
        gunichar u = g_utf8_get_char_validated(p, end - p);
        if (u != (gunichar)-1 && u != (gunichar)-2 && u != 0) {
            const char *next = g_utf8_next_char(p);
            shown.append(p, (size_t)(next - p));
            p = next;
            continue;
        }
        char c[8];
        shown.append(c, (size_t)g_unichar_to_utf8((unsigned char)*p, c));
        p++;
    }
    return shown;
}
