// bench_proc startup|memory RUNS -- PROGRAM ARGS... -- BASELINE ARGS...
//
// Runs the program and its baseline as whole processes, alternating (one
// pair at a time, the order swapped from pair to pair, so that both meet
// the same load), and prints the table rows of the figure: for "startup"
// the median wall time from fork to exit (and the CPU time), for "memory"
// the median peak resident memory. A run that fails or takes over a minute ends it all.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "bench/report.h"

namespace {

struct Sample {
    double ms;        // wall time from fork to exit
    double cpu_ms;    // user and system time of the process
    long peak_kb;
};

volatile pid_t running = 0;

void on_alarm(int)
{
    if (running > 0)
        kill(running, SIGKILL);
}

double seconds_now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

bool run(const std::vector<char *> &argv, Sample *sample)
{
    double start = seconds_now();
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        execvp(argv[0], argv.data());
        perror(argv[0]);
        _exit(127);
    }
    running = pid;
    alarm(60);
    int status = 0;
    rusage usage;
    pid_t done;
    do
        done = wait4(pid, &status, 0, &usage);
    while (done < 0 && errno == EINTR && running > 0 && kill(pid, 0) == 0);
    alarm(0);
    running = 0;
    sample->ms = (seconds_now() - start) * 1000;
    sample->cpu_ms = (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
                     (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
    sample->peak_kb = usage.ru_maxrss;
    if (done != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "bench_proc: %s failed (status %d)\n", argv[0], status);
        return false;
    }
    return true;
}

template <typename Value>
double median(const std::vector<Sample> &samples, Value value)
{
    std::vector<double> v;
    for (const Sample &s : samples)
        v.push_back(value(s));
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int usage(const char *self)
{
    fprintf(stderr, "usage: %s startup|memory RUNS -- PROGRAM ARGS... -- BASELINE ARGS...\n",
            self);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 6 || strcmp(argv[3], "--") != 0)
        return usage(argv[0]);
    std::string figure = argv[1];
    int runs = atoi(argv[2]);
    if ((figure != "startup" && figure != "memory") || runs < 1)
        return usage(argv[0]);
    std::vector<char *> program, baseline;
    int i = 4;
    for (; i < argc && strcmp(argv[i], "--") != 0; i++)
        program.push_back(argv[i]);
    for (i++; i < argc; i++)
        baseline.push_back(argv[i]);
    if (program.empty() || baseline.empty())
        return usage(argv[0]);
    program.push_back(nullptr);
    baseline.push_back(nullptr);
    signal(SIGALRM, on_alarm);

    // One pair first, untimed: the files into the page cache, the X
    // server's fonts and atoms into its memory.
    Sample ignored;
    if (!run(program, &ignored) || !run(baseline, &ignored))
        return 1;
    std::vector<Sample> a, b;
    for (int r = 0; r < runs; r++) {
        Sample sa, sb;
        bool ok = r % 2 ? run(baseline, &sb) && run(program, &sa)
                        : run(program, &sa) && run(baseline, &sb);
        if (!ok)
            return 1;
        a.push_back(sa);
        b.push_back(sb);
    }

    if (figure == "startup") {
        double ta = median(a, [](const Sample &s) { return s.ms; });
        double tb = median(b, [](const Sample &s) { return s.ms; });
        bench::row("Start-up to the main window mapped, 200 exams (ms, median of " +
                       std::to_string(runs) + ")",
                   bench::fixed(ta, 1), bench::fixed(tb, 1) + " minimal GTK+ 2 window",
                   bench::fixed(ta / tb), "ratio <= 1.25", bench::yes_no(ta / tb <= 1.25));
        // Most of the wall time is spent waiting (X server, font set-up in
        // a thread of its own); the CPU time shows the work itself.
        double ca = median(a, [](const Sample &s) { return s.cpu_ms; });
        double cb = median(b, [](const Sample &s) { return s.cpu_ms; });
        bench::row("Start-up, CPU time of the process (ms)", bench::fixed(ca, 1),
                   bench::fixed(cb, 1) + " minimal GTK+ 2 window", bench::fixed(ca / cb),
                   "reported", "-");
    } else {
        double ma = median(a, [](const Sample &s) { return s.peak_kb / 1024.0; });
        double mb = median(b, [](const Sample &s) { return s.peak_kb / 1024.0; });
        bench::row("Peak memory of a whole 127-item run (MB)", bench::fixed(ma, 1),
                   bench::fixed(mb, 1) + " minimal GTK+ 2 window",
                   "+" + bench::fixed(ma - mb, 1) + " MB", "<= +8 MB",
                   bench::yes_no(ma - mb <= 8));
    }
    return 0;
}
