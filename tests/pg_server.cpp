#include "pg_server.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

const char OWNER[] = "trialixtest";

std::string bin(const char *program)
{
    const char *dir = g_getenv("TRIALIX_PG_BIN");
    return std::string(dir ? dir : "/usr/lib/postgresql/15/bin") + "/" + program;
}

} // namespace

bool pg_server::run_as_owner(const std::vector<std::string> &args)
{
    std::vector<std::string> all;
    if (geteuid() == 0)
        all = {"runuser", "-u", OWNER, "--"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : all)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    gchar *out = nullptr, *err = nullptr;
    gint status = 0;
    GError *e = nullptr;
    bool ok = g_spawn_sync(dir_.c_str(), argv.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                           &out, &err, &status, &e) &&
              g_spawn_check_wait_status(status, nullptr);
    if (!ok)
        problem = all[geteuid() == 0 ? 4 : 0] + ": " + (e ? e->message : err ? err : "failed");
    g_clear_error(&e);
    g_free(out);
    g_free(err);
    return ok;
}

pg_server::pg_server()
{
    gchar *made = g_dir_make_tmp("trialix-pg-XXXXXX", nullptr);
    if (!made) {
        problem = "no temporary folder";
        return;
    }
    dir_ = made;
    g_free(made);
    // The server's user makes its files here; the tests reach the socket.
    g_chmod(dir_.c_str(), 0755);
    if (geteuid() == 0) {
        struct passwd *pw = getpwnam(OWNER);
        if (!pw || chown(dir_.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
            problem = std::string("no system user ") + OWNER + " (scripts/deps makes it)";
            return;
        }
    }
    ready = run_as_owner({bin("initdb"), "-D", dir_ + "/data", "-U", "admin", "-A", "trust", "-E",
                          "UTF8", "--no-locale", "--no-sync"}) &&
            start() && exec("CREATE DATABASE trialix").empty();
}

pg_server::~pg_server()
{
    if (!dir_.empty()) {
        stop();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

bool pg_server::start()
{
    return run_as_owner({bin("pg_ctl"), "-D", dir_ + "/data", "-w", "-s", "-l", dir_ + "/log", "-o",
                         "-h '' -k " + dir_ + " -p 5432", "start"});
}

bool pg_server::stop()
{
    return run_as_owner({bin("pg_ctl"), "-D", dir_ + "/data", "-w", "-s", "-m", "fast", "stop"});
}

std::string pg_server::conninfo(const std::string &user) const
{
    return "host=" + dir_ + " port=5432 dbname=trialix user=" + user;
}

std::string pg_server::value(const std::string &sql, const std::string &user, bool *failed) const
{
    std::string info = conninfo(user);
    if (sql.rfind("CREATE DATABASE", 0) == 0)
        info.replace(info.find("dbname=trialix"), 14, "dbname=postgres");
    PGconn *c = PQconnectdb(info.c_str());
    PGresult *r = PQexec(c, sql.c_str());
    ExecStatusType status = PQresultStatus(r);
    bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    std::string v = !ok ? PQerrorMessage(c)
                    : status == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0)
                                                                     : "";
    if (failed)
        *failed = !ok;
    PQclear(r);
    PQfinish(c);
    return v;
}

std::string pg_server::exec(const std::string &sql, const std::string &user) const
{
    bool failed = false;
    std::string v = value(sql, user, &failed);
    return failed ? (v.empty() ? "failed" : v) : "";
}
