// trialix-pack import on hostile GIFT: one question made of an unclosed
// tag or mark repeated, at sizes from 100 KB to 1.6 MB. The time per KB
// must stay flat: a scan that runs to the end for every opening makes it
// grow with the size.
#include <glib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/report.h"
#include "tools/import.h"

namespace {

double cpu_ms()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

// The least CPU time per KB of importing `unit` repeated to `kb` KB, over
// a few tries (the machine is shared).
double ms_per_kb(const std::string &format, const std::string &unit, size_t kb)
{
    const int tries = 5;
    std::string text = format;
    while (text.size() < format.size() + kb * 1024)
        text += unit;
    text.resize(format.size() + kb * 1024);
    text += " {=a ~b}\n";
    double best = 0;
    for (int i = 0; i < tries; i++) {
        import_result r;
        double start = cpu_ms();
        import_gift(text, &r);
        double ms = cpu_ms() - start;
        best = i == 0 ? ms : std::min(best, ms);
    }
    return best / (double)kb;
}

struct pattern {
    const char *figure, *format, *unit;
};

} // namespace

int main()
{
    const pattern patterns[] = {
        {"GIFT question of `<b ` repeated", "", "<b "},
        {"GIFT `[markdown]` question of `*a ` repeated", "[markdown]", "*a "},
        {"GIFT question of `<script></script>` repeated", "", "<script></script>"},
    };
    const size_t sizes[] = {100, 200, 400, 800, 1600};
    const double goal = 1.5;
    bool first = true;
    for (const pattern &p : patterns) {
        double base = 0;
        for (size_t kb : sizes) {
            double v = ms_per_kb(p.format, p.unit, kb);
            printf("%s, %zu KB: %.4f ms per KB\n", p.figure, kb, v);
            if (kb == sizes[0])
                base = v;
            // The whole series for the first pattern, the largest size for the others.
            bool shown = kb == sizes[G_N_ELEMENTS(sizes) - 1] || (first && (kb == sizes[0] || kb == 400));
            if (!shown)
                continue;
            std::string size = kb >= 1000 ? bench::fixed((double)kb / 1000, 1) + " MB" : std::to_string(kb) + " KB";
            std::string figure = "Import, " + size + " " + p.figure + " (CPU ms per KB)";
            if (kb == sizes[0])
                bench::row(figure, bench::fixed(v, 4), "-", "-", "reported", "-");
            else
                bench::row(figure, bench::fixed(v, 4), bench::fixed(base, 4) + " at 100 KB", bench::fixed(v / base),
                           "ratio <= " + bench::fixed(goal, 1), bench::yes_no(v / base <= goal));
        }
        first = false;
    }
    return 0;
}
