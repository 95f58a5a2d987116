// A build without libpq: a server's history is refused as one this build
// can't reach, and the runs meant for it are kept aside.
#include "bank/error.h"
#include "bank/history.h"
#include "bank/history_db.h"

namespace {

const char NONE[] = "this build of Trialix can't use a PostgreSQL server";

bool refuse(GError **error)
{
    trialix_set_error(error, TRIALIX_ERROR_DATABASE, NONE);
    return false;
}

} // namespace

namespace history_pg {

history_db *open(const char *, GError **error)
{
    refuse(error);
    return nullptr;
}
void close(history_db *db)
{
    delete db;
}
bool record(history_db *, history_run *, const std::function<void()> &, GError **error)
{
    return refuse(error);
}
bool exams(history_db *, std::vector<history_exam> *, GError **error)
{
    return refuse(error);
}
bool runs(history_db *, const char *, bool, std::vector<history_run> *, int, GError **error)
{
    return refuse(error);
}
bool each_run(history_db *, const char *, const std::function<bool(const history_run &)> &,
              GError **error)
{
    return refuse(error);
}
bool count(history_db *, const char *, int *, int *, GError **error)
{
    return refuse(error);
}
bool weak_files(history_db *, const char *, std::vector<history_file> *, GError **error)
{
    return refuse(error);
}
bool mistakes(history_db *, const char *, std::vector<history_mistake> *, GError **error)
{
    return refuse(error);
}

} // namespace history_pg

bool history_init_db(const char *, GError **error)
{
    return refuse(error);
}
