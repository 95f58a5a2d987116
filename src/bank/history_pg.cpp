// The results history in a PostgreSQL database that a class shares: the
// tables of trialix-history.sql, reached through libpq. Who may read and
// add what is the database's own business (its roles and row-level
// security); this side only records and reads.
#include <glib.h>
#include <libpq-fe.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <memory>

#include "bank/error.h"
#include "bank/history.h"
#include "bank/history_db.h"
#include "trialix_history_sql.h"

namespace {

struct result_deleter {
    void operator()(PGresult *r) const { PQclear(r); }
};
using result = std::unique_ptr<PGresult, result_deleter>;

PGconn *conn(history_db *db)
{
    return reinterpret_cast<PGconn *>(db->pg);
}

// libpq's messages end in a newline and may run to several lines: the
// first says what went wrong.
std::string first_line(const char *message)
{
    std::string s = message ? message : "";
    size_t end = s.find('\n');
    s = s.substr(0, end);
    return s.empty() ? "the database did not answer" : s;
}

bool fail(PGconn *c, const PGresult *r, GError **error)
{
    const char *why = r ? PQresultErrorMessage(r) : nullptr;
    trialix_set_error(error, TRIALIX_ERROR_DATABASE, first_line(why && *why ? why : PQerrorMessage(c)));
    return false;
}

// The database holds text as UTF-8: a name that isn't is sent as the
// history's readers show it.
std::string utf8(const std::string &s)
{
    return g_utf8_validate(s.data(), (gssize)s.size(), nullptr) ? s : history_shown_name(s);
}

result run(history_db *db, const char *sql, const std::vector<std::string> &params = {},
           ExecStatusType wanted = PGRES_TUPLES_OK, GError **error = nullptr)
{
    std::vector<const char *> values;
    for (const std::string &p : params)
        values.push_back(p.c_str());
    result r(PQexecParams(conn(db), sql, (int)values.size(), nullptr, values.data(), nullptr,
                          nullptr, 0));
    if (!r || PQresultStatus(r.get()) != wanted) {
        fail(conn(db), r.get(), error);
        return nullptr;
    }
    return r;
}

bool command(history_db *db, const char *sql, GError **error)
{
    return run(db, sql, {}, PGRES_COMMAND_OK, error) != nullptr;
}

std::string text_at(const PGresult *r, int row, int col)
{
    return PQgetisnull(r, row, col) ? "" : PQgetvalue(r, row, col);
}

long long int_at(const PGresult *r, int row, int col)
{
    return g_ascii_strtoll(PQgetvalue(r, row, col), nullptr, 10);
}

int count_at(const PGresult *r, int row, int col)
{
    long long v = int_at(r, row, col);
    return v < 0 ? 0 : v > INT_MAX ? INT_MAX : (int)v;
}

double percent_at(const PGresult *r, int row, int col)
{
    double v = g_ascii_strtod(PQgetvalue(r, row, col), nullptr);
    return std::isnan(v) ? 0 : v < 0 ? 0 : v > 100 ? 100 : v;
}

bool flag_at(const PGresult *r, int row, int col)
{
    return PQgetvalue(r, row, col)[0] == 't';
}

// The columns of a run, in the order run_at reads them.
const char RUN_COLUMNS[] =
    "r.id, r.exam, r.title, r.taken, r.examinee, r.training, r.timer, r.time_used, r.item_count,"
    " r.total_points, r.reached_points, r.score, r.pass_mark, r.passed, r.uuid, r.login";
constexpr int RUN_COLUMN_COUNT = 16;

history_run run_at(const PGresult *p, int i)
{
    history_run h;
    h.id = int_at(p, i, 0);
    h.exam = text_at(p, i, 1);
    h.title = text_at(p, i, 2);
    h.taken = int_at(p, i, 3);
    h.examinee = text_at(p, i, 4);
    h.training = flag_at(p, i, 5);
    h.timer = flag_at(p, i, 6);
    h.time_used = count_at(p, i, 7);
    h.item_count = count_at(p, i, 8);
    h.total_points = count_at(p, i, 9);
    h.reached_points = std::min(count_at(p, i, 10), h.total_points);
    h.score = percent_at(p, i, 11);
    h.pass_mark = (int)percent_at(p, i, 12);
    h.passed = flag_at(p, i, 13);
    h.uuid = text_at(p, i, 14);
    h.login = text_at(p, i, 15);
    return h;
}

// An item's columns from `first` on: file, item, fingerprint, points, ok, answer.
history_item item_at(const PGresult *p, int i, int first)
{
    return {text_at(p, i, first), count_at(p, i, first + 1), text_at(p, i, first + 2),
            count_at(p, i, first + 3), (int)int_at(p, i, first + 4), text_at(p, i, first + 5)};
}

PGconn *connect(const char *conninfo, GError **error)
{
    // Ours come first: what the connection string says overrides them.
    const char *keys[] = {"connect_timeout", "client_encoding", "fallback_application_name",
                          "dbname", nullptr};
    const char *values[] = {"5", "UTF8", "trialix", conninfo, nullptr};
    PGconn *c = PQconnectdbParams(keys, values, 1);
    if (!c) {
        trialix_set_error(error, TRIALIX_ERROR_DATABASE, "out of memory");
        return nullptr;
    }
    if (PQstatus(c) != CONNECTION_OK) {
        fail(c, nullptr, error);
        PQfinish(c);
        return nullptr;
    }
    // The server's notices ("already exists, skipping") are for no one:
    // libpq would print them.
    PQsetNoticeProcessor(c, [](void *, const char *) {}, nullptr);
    return c;
}

} // namespace

namespace history_pg {

history_db *open(const char *conninfo, GError **error)
{
    PGconn *c = connect(conninfo, error);
    if (!c)
        return nullptr;
    auto db = std::make_unique<history_db>();
    db->pg = reinterpret_cast<pg_conn *>(c);
    db->path = conninfo;
    result r(PQexec(c, "SELECT max(version) FROM trialix.meta"));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
        const char *state = PQresultErrorField(r.get(), PG_DIAG_SQLSTATE);
        std::string s = state ? state : "";
        // No such table or schema: a database nobody prepared for Trialix.
        if (s == "42P01" || s == "3F000")
            trialix_set_error(error, TRIALIX_ERROR_FORMAT,
                              "not a Trialix results history (trialix-pack history init-db "
                              "prepares a database)");
        else
            fail(c, r.get(), error);
        close(db.release());
        return nullptr;
    }
    db->version = (int)int_at(r.get(), 0, 0);
    if (db->version > HISTORY_SCHEMA_VERSION) {
        trialix_set_error(error, TRIALIX_ERROR_NEWER,
                          "it was written by a newer version of Trialix (schema " +
                              std::to_string(db->version) + ")");
        close(db.release());
        return nullptr;
    }
    return db.release();
}

void close(history_db *db)
{
    PQfinish(conn(db));
    delete db;
}

// An array literal of the strings, for a text[] parameter.
std::string array_of(const std::vector<std::string> &values)
{
    std::string a = "{";
    for (const std::string &v : values) {
        a += a.size() > 1 ? ",\"" : "\"";
        for (char c : v) {
            if (c == '"' || c == '\\')
                a += '\\';
            a += c;
        }
        a += '"';
    }
    return a + "}";
}

const char RUN_SQL[] =
    "INSERT INTO trialix.runs(uuid, exam, title, taken, examinee, training, timer, time_used,"
    " item_count, total_points, reached_points, score, pass_mark, passed)"
    " VALUES($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12,$13,$14)"
    " ON CONFLICT (uuid) DO NOTHING RETURNING id";
// The items of the run of that uuid, unless it has them (sent before).
const char ITEMS_SQL[] =
    "INSERT INTO trialix.items(run, position, file, item, fingerprint, points, ok, answer)"
    " SELECT r.id, u.position, u.file, u.item, u.fingerprint, u.points, u.ok, u.answer"
    " FROM trialix.runs r, unnest($2::text[], $3::int[], $4::text[], $5::int[], $6::int[],"
    " $7::text[]) WITH ORDINALITY AS u(file, item, fingerprint, points, ok, answer, position)"
    " WHERE r.uuid = $1 ON CONFLICT DO NOTHING";

bool record(history_db *db, history_run *r, const std::function<void()> &before_commit,
            GError **error)
{
    PGconn *c = conn(db);
    char score[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_dtostr(score, sizeof score, r->score);
    r->item_count = (int)r->items.size();
    auto yes = [](bool b) { return std::string(b ? "true" : "false"); };
    std::vector<std::string> files, numbers, fingerprints, points, oks, answers;
    for (const history_item &it : r->items) {
        files.push_back(utf8(it.file));
        numbers.push_back(std::to_string(it.item));
        fingerprints.push_back(utf8(it.fingerprint));
        points.push_back(std::to_string(it.points));
        oks.push_back(std::to_string(it.ok));
        answers.push_back(utf8(it.answer));
    }
    std::vector<std::string> run_params = {
        r->uuid, utf8(r->exam), utf8(r->title), std::to_string(r->taken), utf8(r->examinee),
        yes(r->training), yes(r->timer), std::to_string(r->time_used), std::to_string(r->item_count),
        std::to_string(r->total_points), std::to_string(r->reached_points), score,
        std::to_string(r->pass_mark), yes(r->passed)};
    std::vector<std::string> item_params = {r->uuid, array_of(files), array_of(numbers),
                                            array_of(fingerprints), array_of(points), array_of(oks),
                                            array_of(answers)};
    struct step {
        const char *sql;
        const std::vector<std::string> *params;
    };
    const std::vector<std::string> none;
    // Sent at once and answered at once: one round trip to the server. The
    // commit waits for before_commit when there is one.
    std::vector<step> steps = {{"BEGIN", &none}, {RUN_SQL, &run_params}, {ITEMS_SQL, &item_params}};
    if (!before_commit)
        steps.push_back({"COMMIT", &none});
    bool sent = PQenterPipelineMode(c) == 1;
    for (const step &s : steps) {
        std::vector<const char *> values;
        for (const std::string &p : *s.params)
            values.push_back(p.c_str());
        sent = sent && PQsendQueryParams(c, s.sql, (int)values.size(), nullptr, values.data(),
                                         nullptr, nullptr, 0) == 1;
    }
    if (!sent || PQpipelineSync(c) != 1) {
        fail(c, nullptr, error);
        return false;
    }
    std::string why;
    long long id = 0;
    for (size_t i = 0; i < steps.size(); i++) {
        while (PGresult *got = PQgetResult(c)) {
            result hold(got);
            ExecStatusType status = PQresultStatus(got);
            if (status == PGRES_FATAL_ERROR && why.empty())
                why = first_line(PQresultErrorMessage(got));
            if (i == 1 && status == PGRES_TUPLES_OK && PQntuples(got) == 1)
                id = int_at(got, 0, 0);
        }
    }
    result sync(PQgetResult(c));   // the end of the pipeline
    bool idle = PQresultStatus(sync.get()) == PGRES_PIPELINE_SYNC && PQexitPipelineMode(c) == 1;
    if (!idle && why.empty())
        why = first_line(PQerrorMessage(c));
    if (why.empty() && before_commit) {
        before_commit();
        if (!command(db, "COMMIT", error))
            return false;
    }
    if (!why.empty()) {
        if (idle)
            command(db, "ROLLBACK", nullptr);
        trialix_set_error(error, TRIALIX_ERROR_DATABASE, why);
        return false;
    }
    r->id = id;   // 0: sent before
    return true;
}

bool exams(history_db *db, std::vector<history_exam> *out, GError **error)
{
    result r = run(db,
                   "SELECT exam, (SELECT title FROM trialix.runs r2 WHERE r2.exam = r.exam"
                   " ORDER BY taken DESC, id DESC LIMIT 1), max(taken), count(*)"
                   " FROM trialix.runs r GROUP BY exam ORDER BY max(taken) DESC, max(id) DESC",
                   {}, PGRES_TUPLES_OK, error);
    if (!r)
        return false;
    out->clear();
    for (int i = 0; i < PQntuples(r.get()); i++)
        out->push_back({text_at(r.get(), i, 0), text_at(r.get(), i, 1), int_at(r.get(), i, 2),
                        count_at(r.get(), i, 3)});
    return true;
}

bool runs(history_db *db, const char *exam, bool with_items, std::vector<history_run> *out,
          int limit, GError **error)
{
    std::vector<std::string> params{utf8(exam)};
    std::string sql = std::string("SELECT ") + RUN_COLUMNS +
                      " FROM trialix.runs r WHERE exam = $1 ORDER BY taken DESC, id DESC";
    if (limit > 0)
        sql += " LIMIT " + std::to_string(limit);
    result r = run(db, sql.c_str(), params, PGRES_TUPLES_OK, error);
    if (!r)
        return false;
    out->clear();
    std::map<long long, size_t> by_id;
    std::string ids = "{";
    for (int i = 0; i < PQntuples(r.get()); i++) {
        history_run h = run_at(r.get(), i);
        by_id[h.id] = out->size();
        ids += (i ? "," : "") + std::to_string(h.id);
        out->push_back(std::move(h));
    }
    if (!with_items || out->empty())
        return true;
    // The items of every run read at once, not a round trip per run.
    result items = run(db,
                       "SELECT run, file, item, fingerprint, points, ok, answer FROM trialix.items"
                       " WHERE run = ANY($1::bigint[]) ORDER BY run, position",
                       {ids + "}"}, PGRES_TUPLES_OK, error);
    if (!items)
        return false;
    const PGresult *p = items.get();
    for (int i = 0; i < PQntuples(p); i++) {
        auto found = by_id.find(int_at(p, i, 0));
        if (found == by_id.end())
            continue;
        (*out)[found->second].items.push_back(item_at(p, i, 1));
    }
    return true;
}

bool each_run(history_db *db, const char *exam, const std::function<bool(const history_run &)> &each,
              GError **error)
{
    PGconn *c = conn(db);
    // One query, its rows taken as they come: a class's long history is
    // never held whole, here or in libpq.
    std::string sql = std::string("SELECT ") + RUN_COLUMNS +
                      ", i.file, i.item, i.fingerprint, i.points, i.ok, i.answer"
                      " FROM trialix.runs r LEFT JOIN trialix.items i ON i.run = r.id"
                      " WHERE r.exam = $1 ORDER BY r.taken, r.id, i.position";
    std::string name = utf8(exam);
    const char *values[] = {name.c_str()};
    if (PQsendQueryParams(c, sql.c_str(), 1, nullptr, values, nullptr, nullptr, 0) != 1 ||
        PQsetSingleRowMode(c) != 1)
        return fail(c, nullptr, error);
    history_run run;
    bool have = false, going = true;
    std::string why;
    // Every result is taken, also after `each` has had enough, so that the
    // connection is ready for the next query.
    while (PGresult *got = PQgetResult(c)) {
        result hold(got);
        ExecStatusType status = PQresultStatus(got);
        if (status == PGRES_FATAL_ERROR && why.empty())
            why = first_line(PQresultErrorMessage(got));
        if (status != PGRES_SINGLE_TUPLE || !going)
            continue;
        if (!have || int_at(got, 0, 0) != run.id) {
            if (have && !(going = each(run)))
                continue;
            run = run_at(got, 0);
            have = true;
        }
        if (!PQgetisnull(got, 0, RUN_COLUMN_COUNT))
            run.items.push_back(item_at(got, 0, RUN_COLUMN_COUNT));
    }
    if (!why.empty()) {
        trialix_set_error(error, TRIALIX_ERROR_DATABASE, why);
        return false;
    }
    if (have && going)
        each(run);
    return true;
}

bool count(history_db *db, const char *exam, int *runs, int *passed, GError **error)
{
    result r = run(db, "SELECT count(*), count(*) FILTER (WHERE passed) FROM trialix.runs"
                       " WHERE exam = $1",
                   {utf8(exam)}, PGRES_TUPLES_OK, error);
    if (!r)
        return false;
    *runs = count_at(r.get(), 0, 0);
    *passed = count_at(r.get(), 0, 1);
    return true;
}

// The sums the SQLite file keeps with every run are worked out here as
// they are asked for: the server does it near the data, and each examinee
// sees the sums of the runs they may read.
bool weak_files(history_db *db, const char *exam, std::vector<history_file> *out, GError **error)
{
    result r = run(db,
                   "SELECT file, runs, drawn, correct FROM (SELECT i.file,"
                   " count(DISTINCT i.run) AS runs, count(*) AS drawn,"
                   " count(*) FILTER (WHERE i.ok = 1) AS correct FROM trialix.items i"
                   " JOIN trialix.runs r ON r.id = i.run WHERE r.exam = $1 AND i.file <> ''"
                   " GROUP BY i.file) s"
                   " ORDER BY correct::float8 / drawn, drawn DESC, file COLLATE \"C\"",
                   {utf8(exam)}, PGRES_TUPLES_OK, error);
    if (!r)
        return false;
    out->clear();
    const PGresult *p = r.get();
    for (int i = 0; i < PQntuples(p); i++) {
        int drawn = count_at(p, i, 2);
        out->push_back({text_at(p, i, 0), count_at(p, i, 1), drawn, std::min(count_at(p, i, 3), drawn)});
    }
    return true;
}

bool mistakes(history_db *db, const char *exam, std::vector<history_mistake> *out, GError **error)
{
    result r = run(db,
                   "SELECT file, item, fingerprint, missed, drawn FROM (SELECT i.file, i.item,"
                   " i.fingerprint, count(*) FILTER (WHERE i.ok <> 1) AS missed,"
                   " count(*) AS drawn FROM trialix.items i JOIN trialix.runs r ON r.id = i.run"
                   " WHERE r.exam = $1 AND i.file <> '' GROUP BY i.file, i.item, i.fingerprint) s"
                   " WHERE missed > 0 ORDER BY missed DESC, drawn, file COLLATE \"C\", item",
                   {utf8(exam)}, PGRES_TUPLES_OK, error);
    if (!r)
        return false;
    out->clear();
    const PGresult *p = r.get();
    for (int i = 0; i < PQntuples(p); i++)
        out->push_back({text_at(p, i, 0), count_at(p, i, 1), text_at(p, i, 2), count_at(p, i, 3),
                        count_at(p, i, 4)});
    return true;
}

} // namespace history_pg

bool history_init_db(const char *conninfo, GError **error)
{
    PGconn *c = connect(conninfo, error);
    if (!c)
        return false;
    result r(PQexec(c, TRIALIX_HISTORY_SQL));
    bool ok = PQresultStatus(r.get()) == PGRES_COMMAND_OK;
    if (!ok)
        fail(c, r.get(), error);
    PQfinish(c);
    return ok;
}
