// trialix-pack report over a results history of 100,000 runs of 50 items:
// the whole command, from opening the history to the last line printed.
// The history is made once and kept with the benchmark data.
#include <glib.h>
#include <glib/gstdio.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bank/glib_ptr.h"
#include "bank/history.h"
#include "bank/question.h"
#include "bench/bench_data.h"
#include "bench/gui.h"
#include "bench/report.h"
#include "tools/report_cli.h"

namespace {

const int RUNS = 100000, FILES = 50, POOL = 20, EXAMINEES = 2000;
const char EXAM[] = "class";

// A class of examinees of different ability on items of different
// difficulty, so that every figure of the report has something to compute.
bool fill_history(const std::string &path)
{
    for (const char *end : {"", "-wal", "-shm"})
        g_remove((path + end).c_str());
    gerror_ptr error;
    history_db *db = history_open(path.c_str(), out_error(error));
    if (!db) {
        fprintf(stderr, "%s: %s\n", path.c_str(), error->message);
        return false;
    }
    std::mt19937 random(28);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<double> ability(EXAMINEES), difficulty(FILES * POOL);
    for (double &a : ability)
        a = unit(random);
    for (double &d : difficulty)
        d = unit(random) * 0.8;
    std::vector<std::string> fingerprints;
    for (int i = 0; i < FILES * POOL; i++) {
        gchar *sum = g_compute_checksum_for_string(G_CHECKSUM_SHA1, std::to_string(i).c_str(), -1);
        fingerprints.push_back(sum);
        g_free(sum);
    }
    bool ok = true;
    for (int r = 0; ok && r < RUNS; r++) {
        history_run run;
        int who = (int)(random() % EXAMINEES);
        run.exam = EXAM;
        run.title = "A class";
        run.taken = 1700000000LL + 600LL * r;
        run.examinee = "Examinee " + std::to_string(who);
        for (int f = 0; f < FILES; f++) {
            int k = (int)(random() % POOL);
            history_item it;
            it.file = "cat" + std::to_string(f + 1);
            it.item = k + 1;
            it.fingerprint = fingerprints[(size_t)(f * POOL + k)];
            it.points = 1 + k % 3;
            it.ok = unit(random) < 0.2 + ability[(size_t)who] - difficulty[(size_t)(f * POOL + k)] ? OK_RIGHT : OK_WRONG;
            run.total_points += it.points;
            run.reached_points += it.ok == OK_RIGHT ? it.points : 0;
            run.items.push_back(it);
        }
        run.item_count = FILES;
        run.score = 100.0 * run.reached_points / run.total_points;
        run.pass_mark = 60;
        run.passed = run.score >= 60;
        ok = history_record(db, &run, nullptr, out_error(error));
    }
    history_close(db);
    if (!ok)
        fprintf(stderr, "%s: %s\n", path.c_str(), error->message);
    return ok;
}

bool has_every_run(const std::string &path)
{
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS))
        return false;
    history_db *db = history_open_read(path.c_str(), nullptr);
    int runs = 0, passed = 0;
    bool ok = db && history_count(db, EXAM, &runs, &passed, nullptr) && runs == RUNS;
    if (db)
        history_close(db, false);
    return ok;
}

double cpu_seconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

// Wall seconds of one `trialix-pack report`, its output thrown away; its
// CPU seconds into *cpu.
double report_seconds(const std::string &path, bool csv, double *cpu)
{
    std::vector<std::string> args = {"trialix-pack", "report", EXAM, "--db", path};
    if (csv)
        args.push_back("--csv");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(&a[0]);
    FILE *out = fopen("/dev/null", "w");
    double start = bench::now(), cpu_start = cpu_seconds();
    int status = report_main((int)argv.size(), argv.data(), out, stderr);
    double seconds = bench::now() - start;
    *cpu = cpu_seconds() - cpu_start;
    fclose(out);
    return status == 0 ? seconds : -1;
}

} // namespace

int main()
{
    bench::Layout data = bench::layout_of(bench::data_root());
    g_mkdir_with_parents(data.scratch.c_str(), 0755);
    std::string path = data.scratch + G_DIR_SEPARATOR_S "report-history.sqlite";
    if (!has_every_run(path)) {
        fprintf(stderr, "Making a history of %d runs in %s (once; a few minutes)\n", RUNS, path.c_str());
        double start = bench::now();
        if (!fill_history(path))
            return 1;
        fprintf(stderr, "made in %.0f s\n", bench::now() - start);
    }
    for (bool csv : {false, true}) {
        std::vector<double> times, cpu_times;
        for (int i = 0; i < 5; i++) {
            double cpu = 0, s = report_seconds(path, csv, &cpu);
            if (s < 0) {
                fprintf(stderr, "the report failed\n");
                return 1;
            }
            printf("report%s: %.3f s, CPU %.3f s\n", csv ? " --csv" : "", s, cpu);
            times.push_back(s);
            cpu_times.push_back(cpu);
        }
        std::sort(times.begin(), times.end());
        std::sort(cpu_times.begin(), cpu_times.end());
        double median = times[times.size() / 2], cpu = cpu_times[cpu_times.size() / 2];
        bench::row(std::string("`report") + (csv ? " --csv" : "") +
                       "` on an SQLite history of 100,000 runs of 50 items (s, median of 5)",
                   bench::fixed(median), "-", "-", "< 5 s", bench::yes_no(median < 5));
        if (!csv)
            bench::row("`report` on that history, CPU time (s)", bench::fixed(cpu), "-", "-", "reported", "-");
    }
    return 0;
}
