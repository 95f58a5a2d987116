// Item analysis and `trialix-pack report`: a planned class with figures
// worked out by hand, the CSV read back, items too rarely drawn to judge,
// an empty history.
#include <glib/gstdio.h>

#include <cmath>
#include <cstring>

#include "bank/history.h"
#include "bank/item_analysis.h"
#include "pack_run.h"
#include "test_util.h"
#include "tools/report_cli.h"

namespace {

// Runs of a class: three items in every run, A and B of 1 point, C of 2.
struct planned {
    int runs, a, b, c;   // 1 right, 0 wrong
    const char *who, *answer_a, *answer_b, *answer_c;
};
const planned CLASS[] = {
    {8, 1, 1, 1, "Ann", "Paris\n", "2\n3\n", "Paris"},
    {7, 1, 1, 0, "Bob", "Paris\n", "2\n3\n", "paris "},
    {6, 1, 0, 0, "Bob", "Paris\n", "2\n", "Pa, \"ris\"\r\nx"},
    {5, 0, 1, 0, "Zoë", "Lyon\n", "2\n3\n", ""},
    {4, 0, 0, 0, "Zoë", "", "", ""},
};

std::vector<history_run> planned_class(const std::string &file_c = "catC", const std::string &bob = "Bob")
{
    std::vector<history_run> runs;
    for (const planned &g : CLASS)
        for (int i = 0; i < g.runs; i++) {
            history_run r;
            r.exam = "class";
            r.title = "A class";
            r.taken = 86400LL * (long long)(runs.size() + 1);
            r.examinee = g.who == std::string("Bob") ? bob : g.who;
            auto ok = [](int right, const char *answer) { return right ? OK_RIGHT : *answer ? OK_WRONG : OK_UNANSWERED; };
            r.items = {{"catA", 1, "fa", 1, ok(g.a, g.answer_a), g.answer_a},
                       {"catB", 4, "fb", 1, ok(g.b, g.answer_b), g.answer_b},
                       {file_c, 2, "fc", 2, ok(g.c, g.answer_c), g.answer_c}};
            r.item_count = 3;
            r.total_points = 4;
            r.reached_points = g.a + g.b + 2 * g.c;
            r.score = 25.0 * r.reached_points;
            r.pass_mark = 50;
            r.passed = r.score >= 50;
            runs.push_back(r);
        }
    return runs;
}

// Records as an RFC 4180 reader takes them: fields split at commas, quoted
// fields with "" for a quote and any CR or LF kept, records ended by CRLF.
std::vector<std::vector<std::string>> read_csv(const std::string &text, bool *well_formed)
{
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    *well_formed = true;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        std::string &field = records.back().back();
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"')
            field += text[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (quoted)
            field += c;
        else if (c == ',')
            records.back().emplace_back();
        else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n' && ++i)
            records.emplace_back(1);
        else if (c == '\r' || c == '\n')
            *well_formed = false;   // a bare line end outside quotes
        else
            field += c;
    }
    *well_formed = *well_formed && !quoted && records.back() == std::vector<std::string>(1);
    records.pop_back();
    return records;
}

std::string printed(void (*print)(FILE *, const exam_analysis &), const exam_analysis &a)
{
    FILE *f = tmpfile();
    print(f, a);
    std::string s;
    rewind(f);
    for (int c; (c = fgetc(f)) != EOF;)
        s += (char)c;
    fclose(f);
    return s;
}

const item_figures *item_named(const exam_analysis &a, const std::string &fingerprint)
{
    for (const item_figures &f : a.items)
        if (f.fingerprint == fingerprint)
            return &f;
    return nullptr;
}

history_db *history_at(const std::string &path, const std::vector<history_run> &runs)
{
    std::string error;
    history_db *db = history_open(path.c_str(), error_text(&error));
    EXPECT_NE(db, nullptr) << error;
    for (history_run r : runs)
        EXPECT_TRUE(db && history_record(db, &r, nullptr, error_text(&error))) << error;
    return db;
}

result report(std::vector<std::string> args)
{
    args.insert(args.begin(), "report");
    return run(args, report_main);
}

} // namespace

TEST(Report, APlannedClassGivesTheFiguresWorkedOutByHand)
{
    exam_analysis a = analyse_runs(planned_class());
    EXPECT_EQ(a.runs, 30);
    EXPECT_EQ(a.first_taken, 86400);
    EXPECT_EQ(a.last_taken, 30 * 86400);
    // The rest score of an item: the share of the run's other points
    // reached, in percent. Groups as CLASS lists them: g1 8 runs, g2 7,
    // g3 6, g4 5, g5 4. r = (M1 - M0) / s * sqrt(p q), s dividing by n.
    struct expected {
        const char *fingerprint, *file;
        int item, right;
        double facility, discrimination;
    } table[] = {
        // A: rest (b + 2c) / 3 = 100, 33.3, 0, 33.3, 0 by group. Right: g1-g3 (21).
        // M1 = (8*100 + 7*33.33) / 21 = 49.206; M0 = 5*33.33 / 9 = 18.519;
        // mean = 1200 / 30 = 40; var = (80000 + 12*1111.1) / 30 - 1600 = 1511.1;
        // r = 30.688 / 38.873 * sqrt(.7 * .3) = 0.36177
        {"fa", "catA", 1, 21, 21 / 30.0, 0.361766},
        // B: rest (a + 2c) / 3 = 100, 33.3, 33.3, 0, 0. Right: g1, g2, g4 (20).
        // M1 = (800 + 7*33.33) / 20 = 51.667; M0 = 6*33.33 / 10 = 20;
        // mean = 1233.3 / 30 = 41.111; var = (80000 + 13*1111.1) / 30 - 1690.1 = 1458.0;
        // r = 31.667 / 38.184 * sqrt(2/3 * 1/3) = 0.39094
        {"fb", "catB", 4, 20, 20 / 30.0, 0.390943},
        // C (2 points): rest (a + b) / 2 = 100, 100, 50, 50, 0. Right: g1 (8).
        // M1 = 100; M0 = (700 + 300 + 250) / 22 = 56.818; mean = 2050 / 30 = 68.333;
        // var = (150000 + 11*2500) / 30 - 4669.4 = 1247.2;
        // r = 43.182 / 35.316 * sqrt(8/30 * 22/30) = 0.54071
        {"fc", "catC", 2, 8, 8 / 30.0, 0.540710},
    };
    ASSERT_EQ(a.items.size(), 3u);
    for (const expected &e : table) {
        const item_figures *f = item_named(a, e.fingerprint);
        ASSERT_NE(f, nullptr) << e.fingerprint;
        EXPECT_EQ(f->file, e.file);
        EXPECT_EQ(f->item, e.item);
        EXPECT_EQ(f->drawn, 30);
        EXPECT_EQ(f->right, e.right) << e.fingerprint;
        EXPECT_NEAR(f->facility, e.facility, 1e-9) << e.fingerprint;
        EXPECT_TRUE(f->has_discrimination) << e.fingerprint;
        EXPECT_NEAR(f->discrimination, e.discrimination, 1e-6) << e.fingerprint;
        EXPECT_FALSE(f->too_few) << e.fingerprint;
    }
    // The answers: choices ticked (each of a multiple choice apart), or texts typed.
    struct given {
        const char *fingerprint;
        bool choices;
        std::vector<std::pair<std::string, int>> answers;
        int unanswered;
    } answers[] = {
        {"fa", true, {{"Paris", 21}, {"Lyon", 5}}, 4},
        {"fb", true, {{"2", 26}, {"3", 20}}, 4},
        {"fc", false, {{"Paris", 8}, {"paris ", 7}, {"Pa, \"ris\"\r\nx", 6}}, 9},
    };
    for (const given &g : answers) {
        const item_figures *f = item_named(a, g.fingerprint);
        std::vector<std::pair<std::string, int>> got;
        for (const answer_count &c : f->answers)
            got.push_back({c.text, c.times});
        EXPECT_EQ(f->choices, g.choices) << g.fingerprint;
        EXPECT_EQ(got, g.answers) << g.fingerprint;
        EXPECT_EQ(f->unanswered, g.unanswered) << g.fingerprint;
    }
    // Ann: g1, 4 of 4. Bob: g2 2 of 4, g3 1 of 4. Zoë: g4 1 of 4, g5 none.
    ASSERT_EQ(a.examinees.size(), 3u);
    const std::pair<int, double> who[] = {{8, 100}, {13, 50}, {9, 25}};
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(a.examinees[i].examinee, CLASS[2 * i].who);
        EXPECT_EQ(a.examinees[i].runs, who[i].first);
        EXPECT_EQ(a.examinees[i].best_score, who[i].second);
    }
}

// Drawn fewer than the threshold: marked. A figure that can't be had:
// no discrimination rather than a number made of rounding or a division by 0.
TEST(Report, ItemsTooRarelyDrawnOrWithoutSpreadAreMarked)
{
    struct odd_case {
        const char *what;
        int runs;
        bool too_few, has_discrimination;
        std::function<void(history_run &, int)> shape;
    } cases[] = {
        {"drawn 19 times", ANALYSIS_MIN_DRAWN - 1, true, true, [](history_run &, int) {}},
        {"drawn 20 times", ANALYSIS_MIN_DRAWN, false, true, [](history_run &, int) {}},
        {"always right", 30, false, false, [](history_run &r, int) { r.items[0].ok = OK_RIGHT; }},
        {"never right", 30, false, false, [](history_run &r, int) { r.items[0].ok = OK_WRONG; }},
        {"the rest scores the same every time", 30, false, false,
         [](history_run &r, int) { r.items[1].ok = OK_RIGHT; }},
        {"alone in its runs", 30, false, false, [](history_run &r, int) { r.items.resize(1); }},
    };
    for (const odd_case &c : cases) {
        std::vector<history_run> runs;
        for (int i = 0; i < c.runs; i++) {
            history_run r;
            // Right every other run, and the rest right every third.
            r.items = {{"cat1", 1, "f1", 1, i % 2 ? OK_RIGHT : OK_WRONG, ""},
                       {"cat2", 1, "f2", 3, i % 3 ? OK_WRONG : OK_RIGHT, ""}};
            c.shape(r, i);
            runs.push_back(r);
        }
        exam_analysis a = analyse_runs(runs);
        const item_figures *f = item_named(a, "f1");
        ASSERT_NE(f, nullptr) << c.what;
        EXPECT_EQ(f->drawn, c.runs) << c.what;
        EXPECT_EQ(f->too_few, c.too_few) << c.what;
        EXPECT_EQ(f->has_discrimination, c.has_discrimination) << c.what;
        EXPECT_TRUE(std::isfinite(f->discrimination) && std::fabs(f->discrimination) <= 1) << c.what;
    }
}

TEST(Report, TheCsvReadBackIsTheReport)
{
    // Texts that need quoting, and a name a spreadsheet would run as a formula.
    std::vector<history_run> runs = planned_class("c,\"2\"\r\n", "=HYPERLINK(\"x\")");
    for (history_run &r : runs)
        r.items[1].fingerprint = "f,\"b\"";   // not as Trialix writes one
    exam_analysis a = analyse_runs(runs);
    std::string csv = printed(print_report_csv, a);
    ASSERT_EQ(csv.compare(0, 3, "\xEF\xBB\xBF"), 0) << "no byte order mark";
    bool well_formed = false;
    std::vector<std::vector<std::string>> rows = read_csv(csv.substr(3), &well_formed);
    EXPECT_TRUE(well_formed);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], "record");
    std::vector<std::vector<std::string>> items, answers, examinees;
    for (size_t i = 1; i < rows.size(); i++) {
        EXPECT_EQ(rows[i].size(), rows[0].size()) << "record " << i;
        const std::string &kind = rows[i][0];
        (kind == "item" ? items : kind == "examinee" ? examinees : answers).push_back(rows[i]);
    }
    ASSERT_EQ(items.size(), a.items.size());
    size_t given = 0;
    for (size_t i = 0; i < items.size(); i++) {
        const item_figures &f = a.items[i];
        const std::vector<std::string> &r = items[i];
        EXPECT_EQ(r[1], f.file);
        EXPECT_EQ(r[2], std::to_string(f.item));
        EXPECT_EQ(r[3], f.fingerprint);
        EXPECT_EQ(r[4], std::to_string(f.drawn));
        EXPECT_EQ(r[5], std::to_string(f.right));
        EXPECT_NEAR(g_ascii_strtod(r[6].c_str(), nullptr), f.facility, 0.0005);
        EXPECT_NEAR(g_ascii_strtod(r[7].c_str(), nullptr), f.discrimination, 0.0005);
        EXPECT_EQ(r[8], f.too_few ? "yes" : "no");
        given += f.answers.size() + (f.unanswered ? 1 : 0);
        for (const answer_count &c : f.answers) {
            bool found = false;
            for (const std::vector<std::string> &g : answers)
                found = found || (g[0] == (f.choices ? "ticked" : "typed") && g[3] == f.fingerprint &&
                                  g[1] == f.file && g[9] == c.text && g[10] == std::to_string(c.times));
            EXPECT_TRUE(found) << f.fingerprint << " " << c.text;
        }
    }
    EXPECT_EQ(answers.size(), given);
    ASSERT_EQ(examinees.size(), a.examinees.size());
    for (size_t i = 0; i < examinees.size(); i++) {
        const std::string &name = a.examinees[i].examinee;
        EXPECT_EQ(examinees[i][11], name[0] == '=' ? "'" + name : name);
        EXPECT_EQ(examinees[i][12], std::to_string(a.examinees[i].runs));
        EXPECT_NEAR(g_ascii_strtod(examinees[i][13].c_str(), nullptr), a.examinees[i].best_score, 0.05);
    }
}

TEST(Report, TheCommandReadsTheClassFromTheHistory)
{
    TempDir dir;
    std::string path = dir / "history.sqlite";
    std::vector<history_run> runs = planned_class();
    history_run other = runs[0];
    other.exam = "other";
    runs.push_back(other);
    history_close(history_at(path, runs));

    result text = report({"class", "--db", path});
    ASSERT_EQ(text.status, PACK_OK) << text.err;
    EXPECT_TRUE(has_line(text.out, "Item analysis of exam class: A class")) << text.out;
    EXPECT_TRUE(has_line(text.out, "30 runs, ")) << text.out;
    EXPECT_TRUE(has_line(text.out, "catA                     1      30      21    0.700             0.362  fa"))
        << text.out;
    EXPECT_TRUE(has_line(text.out, "catC                     2      30       8    0.267             0.541  fc"))
        << text.out;
    EXPECT_TRUE(has_line(text.out, "  Bob                                13   50.0%")) << text.out;
    EXPECT_TRUE(has_line(text.out, "  Zoë                                 9   25.0%")) << text.out;
    // What the grading tells, also where the answers themselves aren't kept.
    EXPECT_TRUE(has_line(text.out, "           9  unanswered")) << text.out;

    result csv = report({"class", "--csv", "--db", path});
    ASSERT_EQ(csv.status, PACK_OK) << csv.err;
    EXPECT_NE(csv.out.find("\r\nitem,catB,4,fb,30,20,0.667,0.391,no,,,,,\r\n"), std::string::npos) << csv.out;
    EXPECT_NE(csv.out.find("\r\nexaminee,,,,,,,,,,,Zoë,9,25.0\r\n"), std::string::npos) << csv.out;

    // A history named relative to the working folder, with no log beside it.
    gchar_ptr here(g_get_current_dir());
    ASSERT_EQ(g_chdir(dir.path().c_str()), 0);
    result relative = report({"class", "--db", "history.sqlite"});
    EXPECT_EQ(g_chdir(here.get()), 0);
    EXPECT_EQ(relative.status, PACK_OK) << relative.err;
    EXPECT_EQ(relative.out, text.out);
}

TEST(Report, AnEmptyHistoryGivesAnEmptyReport)
{
    exam_analysis none = analyse_runs({});
    EXPECT_EQ(none.runs, 0);
    EXPECT_TRUE(none.items.empty() && none.examinees.empty());

    TempDir dir;
    std::string path = dir / "history.sqlite";
    result missing = report({"class", "--db", path});
    EXPECT_EQ(missing.status, PACK_PROBLEM);
    EXPECT_NE(missing.err.find("no results history yet"), std::string::npos) << missing.err;

    history_close(history_at(path, {}));
    result text = report({"class", "--db", path});
    EXPECT_EQ(text.status, PACK_OK) << text.err;
    EXPECT_NE(text.err.find("holds no runs"), std::string::npos) << text.err;
    EXPECT_EQ(text.out, "Item analysis of exam class\nNo runs.\n");
    result csv = report({"class", "--csv", "--db", path});
    EXPECT_EQ(csv.status, PACK_OK) << csv.err;
    EXPECT_EQ(csv.out, "\xEF\xBB\xBFrecord,file,item,fingerprint,drawn,right,facility,discrimination,too_few,"
                       "answer,times,examinee,runs,best_score\r\n");

    // Runs of another exam only: that one has none.
    history_close(history_at(path, {planned_class()[0]}));
    result other = report({"net1", "--db", path});
    EXPECT_EQ(other.status, PACK_PROBLEM);
    EXPECT_NE(other.err.find("no runs of net1"), std::string::npos) << other.err;
}

// Each run with its own items, oldest first, whatever came before it; a
// false from the reader's callback stops it.
TEST(Report, RunsAreReadOneAtATimeEachWithItsOwnItems)
{
    TempDir dir;
    std::string path = dir / "history.sqlite";
    const std::vector<std::vector<std::string>> shapes = {{"c1", "c2", "c3"}, {"c4"}, {}, {"c5", "c6"}};
    std::vector<history_run> runs;
    for (size_t i = 0; i < shapes.size(); i++) {
        history_run r;
        r.exam = "e";
        r.taken = 1000 - (long long)i;   // recorded newest first
        for (const std::string &file : shapes[i])
            r.items.push_back({file, (int)i + 1, "f" + file, 1, OK_RIGHT, ""});
        runs.push_back(r);
    }
    history_db *db = history_at(path, runs);
    std::vector<std::vector<std::string>> seen;
    std::string error;
    EXPECT_TRUE(history_each_run(db, "e", [&seen](const history_run &r) {
        seen.emplace_back();
        for (const history_item &it : r.items)
            seen.back().push_back(it.file + "/" + std::to_string(it.item) + "/" + it.fingerprint);
        return true;
    }, error_text(&error))) << error;
    const std::vector<std::vector<std::string>> oldest_first = {
        {"c5/4/fc5", "c6/4/fc6"}, {}, {"c4/2/fc4"}, {"c1/1/fc1", "c2/1/fc2", "c3/1/fc3"}};
    EXPECT_EQ(seen, oldest_first);
    int calls = 0;
    EXPECT_TRUE(history_each_run(db, "e", [&calls](const history_run &) { return ++calls < 2; }, nullptr));
    EXPECT_EQ(calls, 2);
    history_close(db);
}

TEST(Report, BadUseIsRefusedPlainly)
{
    const struct {
        std::vector<std::string> args;
        int status;
        const char *says;
    } table[] = {
        {{}, PACK_USAGE, "report takes an EXAM"},
        {{"a", "b"}, PACK_USAGE, "report takes one EXAM"},
        {{"a", "--db"}, PACK_USAGE, "--db takes"},
        {{"a", "--tsv"}, PACK_USAGE, "unknown option '--tsv'"},
        // A server that isn't there is named with the reason, not taken for a file.
        {{"a", "--db", "host=/nonexistent dbname=results"}, PACK_PROBLEM, "trialix-pack: host=/nonexistent dbname=results: "},
        {{"a", "--db", "/tmp/a=b/history.sqlite"}, PACK_PROBLEM, "no results history yet"},
    };
    for (const auto &t : table) {
        result r = report(t.args);
        EXPECT_EQ(r.status, t.status) << t.says;
        EXPECT_NE(r.err.find(t.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}
