// From a click on " Next Item " to the next item's form drawn and the
// program idle, on items of 7 choices, in a real main window on an X
// server. Every step is timed on its own: the median and the 99th
// percentile are what an examinee feels.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "assemble.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/item_text.h"
#include "bank/question.h"
#include "bench/bench_data.h"
#include "bench/gbench.h"
#include "bench/gui.h"
#include "bench/report.h"
#include "run/item_page.h"

namespace {

const int ITEMS = 127;     // a run as long as a run can be
const int WARM_UP = 20;    // steps before the timed ones: fonts, styles, caches
const int STEPS = 500;

question *head = nullptr;

// A run of ITEMS items of 7 choices each, single and multiple choice mixed.
question *seven_choice_run()
{
    std::string text = bench::pool_text(77, ITEMS, bench::ItemShape{7});
    item_index index = index_items(text.data(), text.size());
    question *list = nullptr;
    for (int n = 1; n <= index.count(); n++) {
        question *q = new_question();
        parse_item(text.data(), text.size(), index, n, q);
        q->number = (signed char)n;
        if (list)
            append_question(list, q);
        else
            list = q;
    }
    return list;
}

// One step: " Next Item " clicked; the wrap from the last item back to the
// first is not a step and is left untimed.
double step()
{
    GtkWidget *next = bench::find_button(bbox, " Next Item ");
    if (!next) {
        createExamForm(head);
        bench::settle();
        next = bench::find_button(bbox, " Next Item ");
    }
    double start = bench::now();
    gtk_button_clicked(GTK_BUTTON(next));
    bench::settle();
    double seconds = bench::now() - start;
    if (!frame || !gtk_widget_get_mapped(frame))
        return -1;
    return seconds;
}

void BM_next_item(benchmark::State &state)
{
    for (int i = 0; i < WARM_UP; i++)
        step();
    std::vector<double> ms;
    for (auto _ : state) {
        double s = step();
        if (s < 0) {
            state.SkipWithError("the next item's form is not mapped");
            return;
        }
        state.SetIterationTime(s);
        ms.push_back(s * 1000);
    }
    std::sort(ms.begin(), ms.end());
    // Nearest rank: the value that 99 % of the steps don't exceed.
    size_t p99 = (size_t)((ms.size() * 99 + 99) / 100) - 1;
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["p99_ms"] = ms[p99];
    state.counters["max_ms"] = ms.back();
}

} // namespace

int main(int argc, char **argv)
{
    if (!gtk_init_check(&argc, &argv)) {
        fprintf(stderr, "%s: no display; run it under xvfb-run\n", argv[0]);
        return 1;
    }
    bench::Layout data = bench::layout_of(bench::data_root());
    g_strlcpy(examdir, data.exams.c_str(), sizeof examdir);
    g_strlcpy(examname, bench::ASSEMBLY_EXAM, sizeof examname);
    enableAnswer = 1;
    trialix_assemble();
    trialix_create_main_window();
    bench::wait_for_map(main_window);

    head = seven_choice_run();
    QP = head;
    num_questions = ITEMS;
    createExamForm(head);
    bench::settle();

    benchmark::RegisterBenchmark("item/next", BM_next_item)
        ->Iterations(STEPS)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    bench::Results r;
    if (!bench::run_benchmarks(argc, argv, {}, &r))
        return 1;
    auto c = r.counters["item/next"];
    double median = c["median_ms"], p99 = c["p99_ms"];
    bench::row("Next Item, 7 choices: median of 500 steps (ms)", bench::fixed(median), "-", "-",
               "< 5 ms", bench::yes_no(median < 5));
    bench::row("Next Item, 7 choices: 99th percentile (ms)", bench::fixed(p99), "-", "-",
               "< 16 ms", bench::yes_no(p99 < 16));
    return 0;
}
