// trialix-pack import on hostile GIFT: one question made of an unclosed
// tag or mark repeated, at sizes from 100 KB to 1.6 MB; and on Moodle XML
// banks from 100 KB to 10 MB: many ordinary questions, one question text
// of unclosed tags, one embedded picture. The time per KB must stay flat:
// a scan that runs to the end for every opening makes it grow with the size.
#include <glib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/report.h"
#include "tools/import.h"

namespace {

double cpu_ms()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

// The least CPU time per KB of importing `text` of `kb` KB, over a few
// tries (the machine is shared).
double ms_per_kb(const std::string &text, size_t kb, bool moodle)
{
    const int tries = kb > 2000 ? 3 : 5;
    double best = 0;
    for (int i = 0; i < tries; i++) {
        import_result r;
        std::string why;
        double start = cpu_ms();
        if (moodle)
            import_moodle(text, &r, &why);
        else
            import_gift(text, &r);
        double ms = cpu_ms() - start;
        best = i == 0 ? ms : std::min(best, ms);
    }
    return best / (double)kb;
}

// `unit` repeated to kb KB between head and tail.
std::string filled(const std::string &head, const std::string &unit, const std::string &tail, size_t kb)
{
    std::string text = head;
    while (text.size() < head.size() + kb * 1024)
        text += unit;
    if (unit.size() < 100)
        text.resize(head.size() + kb * 1024);
    return text + tail;
}

struct pattern {
    const char *figure, *head, *unit, *tail;
    bool moodle;
};

const char MOODLE_QUESTION[] =
    "<question type=\"multichoice\"><name><text>Layers</text></name>\n"
    "<questiontext format=\"html\"><text><![CDATA[<p>On which <b>layer</b> of the OSI model does "
    "<i>IP</i> work?</p>]]></text></questiontext>\n<generalfeedback format=\"html\"><text>"
    "<![CDATA[<p>IP moves packets &amp; routes them: layer 3.</p>]]></text></generalfeedback>\n"
    "<defaultgrade>2</defaultgrade><single>true</single><shuffleanswers>1</shuffleanswers>\n"
    "<answer fraction=\"100\" format=\"html\"><text>Layer 3</text></answer>\n"
    "<answer fraction=\"0\" format=\"html\"><text>Layer 2</text></answer>\n"
    "<answer fraction=\"0\" format=\"html\"><text>Layer 4</text></answer></question>\n";

} // namespace

int main()
{
    const pattern patterns[] = {
        {"GIFT question of `<b ` repeated", "", "<b ", " {=a ~b}\n", false},
        {"GIFT `[markdown]` question of `*a ` repeated", "[markdown]", "*a ", " {=a ~b}\n", false},
        {"GIFT question of `<script></script>` repeated", "", "<script></script>", " {=a ~b}\n", false},
        {"Moodle XML bank of ordinary questions", "<quiz>\n", MOODLE_QUESTION, "</quiz>\n", true},
        {"Moodle XML question text of `<b ` repeated",
         "<quiz><question type=\"truefalse\"><questiontext><text><![CDATA[", "<b ",
         "]]></text></questiontext></question></quiz>", true},
        {"Moodle XML question with one embedded picture",
         "<quiz><question type=\"truefalse\"><questiontext><text>&lt;img src=\"@@PLUGINFILE@@/a.png\" alt=\"A\"&gt;"
         "</text><file name=\"a.png\" encoding=\"base64\">iVBORw0KGgoA", "AAAA",
         "</file></questiontext><answer fraction=\"100\"><text>true</text></answer></question></quiz>", true},
    };
    const double goal = 1.5;
    const std::vector<size_t> gift_sizes = {100, 200, 400, 800, 1600}, moodle_sizes = {100, 400, 1600, 10000};
    bool first = true, first_moodle = true;
    for (const pattern &p : patterns) {
        double base = 0;
        const std::vector<size_t> &sizes = p.moodle ? moodle_sizes : gift_sizes;
        for (size_t kb : sizes) {
            double v = ms_per_kb(filled(p.head, p.unit, p.tail, kb), kb, p.moodle);
            printf("%s, %zu KB: %.4f ms per KB\n", p.figure, kb, v);
            if (kb == sizes[0])
                base = v;
            // The whole series for the first pattern, the largest size for the others.
            bool series = p.moodle ? first_moodle : first;
            bool shown = kb == sizes.back() || (series && (kb == sizes[0] || kb == 400 || kb == 1600));
            if (!shown)
                continue;
            std::string size = kb >= 10000 ? std::to_string(kb / 1000) + " MB"
                               : kb >= 1000 ? bench::fixed((double)kb / 1000, 1) + " MB" : std::to_string(kb) + " KB";
            std::string figure = "Import, " + size + " " + p.figure + " (CPU ms per KB)";
            if (kb == sizes[0])
                bench::row(figure, bench::fixed(v, 4), "-", "-", "reported", "-");
            else
                bench::row(figure, bench::fixed(v, 4), bench::fixed(base, 4) + " at 100 KB", bench::fixed(v / base),
                           "ratio <= " + bench::fixed(goal, 1), bench::yes_no(v / base <= goal));
        }
        if (p.moodle)
            first_moodle = false;
        else
            first = false;
    }
    return 0;
}
