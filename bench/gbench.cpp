#include "bench/gbench.h"

#include <benchmark/benchmark.h>

#include <cstdio>

#include <unistd.h>

namespace bench {

namespace {

class Collector : public benchmark::ConsoleReporter {
public:
    // Colour codes would end up in logs and in front of the table's rows.
    explicit Collector(Results *results)
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular),
          results_(results)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            const std::string &name = run.run_name.function_name;
            if (run.error_occurred) {
                failed = true;
                continue;
            }
            // A single repetition has no aggregates: its run is the median.
            if ((run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") ||
                (run.run_type == Run::RT_Iteration && run.repetitions <= 1)) {
                results_->median_ms[name] = run.GetAdjustedRealTime() / to_ms(run.time_unit);
                results_->median_cpu_ms[name] = run.GetAdjustedCPUTime() / to_ms(run.time_unit);
            }
            if (run.run_type == Run::RT_Iteration)
                for (const auto &c : run.counters)
                    results_->counters[name][c.first] = c.second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    bool failed = false;

private:
    static double to_ms(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond:
            return 1e6;
        case benchmark::kMicrosecond:
            return 1e3;
        case benchmark::kMillisecond:
            return 1;
        default:
            return 1e-3;
        }
    }

    Results *results_;
};

} // namespace

bool run_benchmarks(int argc, char **argv, const std::vector<std::string> &defaults,
                    Results *results)
{
    std::vector<std::string> args(defaults);
    std::vector<char *> argv2{argv[0]};
    for (std::string &a : args)
        argv2.push_back(a.data());
    for (int i = 1; i < argc; i++)
        argv2.push_back(argv[i]);
    int argc2 = (int)argv2.size();
    argv2.push_back(nullptr);
    benchmark::Initialize(&argc2, argv2.data());
    if (benchmark::ReportUnrecognizedArguments(argc2, argv2.data()))
        return false;
    Collector collector(results);
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    return !collector.failed;
}

double median_of(const Results &results, const std::string &name, bool cpu)
{
    const auto &medians = cpu ? results.median_cpu_ms : results.median_ms;
    auto it = medians.find(name);
    if (it != medians.end())
        return it->second;
    fprintf(stderr, "no result for %s (filtered out?)\n", name.c_str());
    return 0;
}

} // namespace bench
