// Running Google Benchmark from our own main: defaults that suit noisy
// shared machines (repetitions, interleaved at random) and the medians
// collected for the table.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace bench {

struct Results {
    // Median real and CPU time of each benchmark, in milliseconds, by its
    // name.
    std::map<std::string, double> median_ms;
    std::map<std::string, double> median_cpu_ms;
    // The user counters of each benchmark's last run, by its name.
    std::map<std::string, std::map<std::string, double>> counters;
};

// Runs the registered benchmarks. `defaults` are flags that come before
// the command line's own, which so can override them. False when a
// benchmark failed or the command line was wrong.
bool run_benchmarks(int argc, char **argv, const std::vector<std::string> &defaults,
                    Results *results);

// The median real (or CPU) time of `name`, or a message on standard error
// and 0.
double median_of(const Results &results, const std::string &name, bool cpu = false);

} // namespace bench
