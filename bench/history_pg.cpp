// Recording a graded run of 127 items into a class's PostgreSQL database
// over a local socket, as the score report does it: connecting as an
// examinee, sending the run with its items in one transaction, closing.
// The server is a private one (tests/pg_server.cpp) with its default
// settings, so every commit waits for the disk as a real server's does.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bank/glib_ptr.h"
#include "bank/history.h"
#include "bench/gbench.h"
#include "bench/report.h"
#include "tests/pg_server.h"
#include "tools/history_cli.h"

namespace {

pg_server *server = nullptr;
std::string where, kept;

history_run run_of(int seed)
{
    history_run r;
    r.exam = "net1";
    r.title = "Networking basics";
    r.taken = 1700000000LL + seed;
    r.examinee = "Examinee";
    r.time_used = 1800;
    r.pass_mark = 70;
    for (int i = 0; i < 127; i++) {
        history_item it;
        it.file = "cat" + std::to_string(100 + i);
        it.item = i % 9 + 1;
        it.fingerprint = std::string(40, "0123456789abcdef"[(i + seed) % 16]);
        it.points = i % 3 + 1;
        it.ok = (i + seed) % 4 == 0 ? -1 : 1;
        it.answer = i % 2 ? "Choice text of a usual length\nAnother" : "a typed answer";
        r.total_points += it.points;
        r.reached_points += it.ok == 1 ? it.points : 0;
        r.items.push_back(it);
    }
    r.score = 100.0 * r.reached_points / r.total_points;
    r.passed = r.score >= r.pass_mark;
    return r;
}

// On a connection open already: the recording itself, durable once done.
void BM_record_open(benchmark::State &state)
{
    gerror_ptr error;
    history_db *db = history_open(where.c_str(), out_error(error));
    if (!db) {
        state.SkipWithError(error->message);
        return;
    }
    int seed = 1000000;
    for (auto _ : state) {
        history_run r = run_of(seed++);
        if (!history_record(db, &r, nullptr, out_error(error)) || r.id == 0) {
            state.SkipWithError(error ? error->message : "not recorded");
            break;
        }
    }
    history_close(db);
}

// What the score report does: connecting (a new server process), the
// runs kept aside looked for, the run recorded, the connection closed.
void BM_record(benchmark::State &state)
{
    int seed = 0;
    for (auto _ : state) {
        history_run r = run_of(seed++);   // a new run each time: a new id
        gerror_ptr error;
        if (history_record_or_keep(where.c_str(), kept.c_str(), &r, false, out_error(error)) !=
            HISTORY_RECORDED) {
            state.SkipWithError(error ? error->message : "not recorded");
            return;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    server = new pg_server;
    if (!server->ready) {
        fprintf(stderr, "bench_history_pg: no server: %s\n", server->problem.c_str());
        delete server;
        return 1;
    }
    char *init[] = {(char *)"trialix-pack", (char *)"history", (char *)"init-db", nullptr, nullptr};
    std::string admin = server->conninfo();
    init[3] = &admin[0];
    std::string made;
    if (history_main(4, init, stdout, stderr) != 0 ||
        !(made = server->exec("CREATE ROLE ann LOGIN IN ROLE trialix_examinee")).empty()) {
        fprintf(stderr, "bench_history_pg: %s\n", made.c_str());
        delete server;
        return 1;
    }
    where = server->conninfo("ann");
    gchar *dir = g_dir_make_tmp("trialix-bench-kept-XXXXXX", nullptr);
    kept = std::string(dir) + "/pending";
    g_free(dir);

    benchmark::RegisterBenchmark("history/record_pg", BM_record_open)
        ->Iterations(20)
        ->Repetitions(9)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("history/connect_record_pg", BM_record)
        ->Iterations(20)
        ->Repetitions(9)
        ->Unit(benchmark::kMillisecond);
    bench::Results r;
    bool ok = bench::run_benchmarks(argc, argv, {}, &r);
    double record = ok ? bench::median_of(r, "history/record_pg") : 0;
    double whole = ok ? bench::median_of(r, "history/connect_record_pg") : 0;
    std::string rows = server->value("SELECT count(*) FROM trialix.items");
    delete server;
    if (!ok)
        return 1;
    printf("items recorded: %s\n", rows.c_str());
    bench::row("Record a 127-item run into PostgreSQL over a local socket (ms)", bench::fixed(record),
               "-", "-", "< 20 ms", bench::yes_no(record < 20));
    bench::row("The same with connecting and closing, as at the score report (ms)", bench::fixed(whole),
               "-", "-", "-", "-");
    return 0;
}
