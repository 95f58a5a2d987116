// The results history: recording a run at the score report, and opening
// the history window on an exam with 1,000 recorded runs, each of 127
// items, in a real main window on an X server.
#include <benchmark/benchmark.h>
#include <glib/gstdio.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <string>
#include <vector>

#include "assemble.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/glib_ptr.h"
#include "bank/history.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "bench/bench_data.h"
#include "bench/gbench.h"
#include "bench/gui.h"
#include "bench/report.h"
#include "grading/history_record.h"
#include "grading/history_window.h"

namespace {

const int RUNS = 1000;

// A run of the 127-file exam as " Start Exam " assembles it, with where its
// items came from, and every item answered one way or another.
question *graded_run(int seed, std::vector<item_origin> *origins)
{
    std::string dir = bench::layout_of(bench::data_root()).exams + G_DIR_SEPARATOR_S + bench::RUN_EXAM;
    std::vector<std::string> names = filename_list(dir.c_str(), "cat");
    question *list = create_exam_list(create_random_list((int)names.size()), (int)names.size(),
                                      dir.c_str(), names, choice_order::as_written, origins, nullptr, nullptr);
    int i = 0;
    for (question *q = list; q; q = q->next, i++)
        q->OK = (signed char)((i + seed) % 3 == 0 ? OK_WRONG : OK_RIGHT);
    return list;
}

// RUNS runs of the 127-file exam, a day apart; a few lists of items serve
// them all, with their results varied.
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
    const int LISTS = 10;
    std::vector<std::vector<history_item>> lists;
    for (int l = 0; l < LISTS; l++) {
        std::vector<item_origin> origins;
        question *list = graded_run(l, &origins);
        lists.push_back(history_items_of(list));
        for (size_t i = 0; i < origins.size(); i++) {
            lists.back()[i].file = origins[i].file;
            lists.back()[i].item = origins[i].item;
        }
        destroy_list(list);
    }
    bool ok = true;
    for (int r = 0; ok && r < RUNS; r++) {
        history_run run;
        run.exam = bench::RUN_EXAM;
        run.title = "Run exam";
        run.taken = 1700000000LL + 86400LL * r;
        run.examinee = "Examinee";
        run.items = lists[(size_t)(r % LISTS)];
        for (size_t i = 0; i < run.items.size(); i++) {
            run.items[i].ok = (i * 7 + (size_t)r) % 4 == 0 ? OK_WRONG : OK_RIGHT;
            run.total_points += run.items[i].points;
            run.reached_points += run.items[i].ok == OK_RIGHT ? run.items[i].points : 0;
        }
        run.score = 100.0 * run.reached_points / run.total_points;
        run.pass_mark = 70;
        run.passed = run.score >= 70;
        ok = history_record(db, &run, nullptr, out_error(error));
    }
    history_close(db);
    if (!ok)
        fprintf(stderr, "%s: %s\n", path.c_str(), error->message);
    return ok;
}

GtkWidget *history_window()
{
    GtkWidget *found = nullptr;
    GList *all = gtk_window_list_toplevels();
    for (GList *i = all; i && !found; i = i->next)
        if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(i->data)), "Results History") == 0)
            found = GTK_WIDGET(i->data);
    g_list_free(all);
    return found;
}

// From the menu item's handler until the window is mapped, filled, drawn
// and the program idle; closing it is not timed.
void BM_open(benchmark::State &state)
{
    for (auto _ : state) {
        double start = bench::now();
        cb_history(nullptr, nullptr);
        GtkWidget *w = history_window();
        if (!w) {
            state.SkipWithError("no history window");
            return;
        }
        bench::wait_for_map(w);
        bench::settle();
        state.SetIterationTime(bench::now() - start);
        gtk_widget_destroy(w);
        bench::settle();
    }
}

// What the score report does: the run's items and their origins, the
// database opened, the run written and committed, the database closed.
void BM_record(benchmark::State &state)
{
    std::vector<item_origin> origins;
    question *list = graded_run(0, &origins);
    for (auto _ : state)
        history_note_graded(list, origins, 70.0f, true);
    destroy_list(list);
}

} // namespace

int main(int argc, char **argv)
{
    bench::Layout data = bench::layout_of(bench::data_root());
    // The history goes into the scratch folder, never the user's own.
    g_setenv("XDG_DATA_HOME", (data.scratch + G_DIR_SEPARATOR_S "data-home").c_str(), TRUE);
    if (!gtk_init_check(&argc, &argv)) {
        fprintf(stderr, "%s: no display; run it under xvfb-run\n", argv[0]);
        return 1;
    }
    g_strlcpy(examdir, data.exams.c_str(), sizeof examdir);
    g_strlcpy(examname, bench::RUN_EXAM, sizeof examname);
    if (!fill_history(history_default_path()))
        return 1;
    trialix_assemble();
    trialix_create_main_window();
    bench::wait_for_map(main_window);
    bench::settle();

    // In this order: the window is timed on exactly RUNS runs.
    benchmark::RegisterBenchmark("history/open", BM_open)
        ->Iterations(5)
        ->Repetitions(9)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("history/record", BM_record)
        ->Iterations(5)
        ->Repetitions(9)
        ->Unit(benchmark::kMillisecond);
    bench::Results r;
    if (!bench::run_benchmarks(argc, argv, {"--benchmark_enable_random_interleaving=false"}, &r))
        return 1;
    double open = bench::median_of(r, "history/open"), record = bench::median_of(r, "history/record");
    bench::row("Open the history of an exam with 1,000 runs of 127 items (ms)", bench::fixed(open),
               "-", "-", "< 100 ms", bench::yes_no(open < 100));
    bench::row("Record a 127-item run into that history (ms)", bench::fixed(record), "-", "-",
               "< 20 ms", bench::yes_no(record < 20));
    return 0;
}
