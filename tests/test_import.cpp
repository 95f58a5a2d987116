// trialix-pack import: GIFT and Aiken question banks made into exams, with
// what the author is told about every question that didn't come over as is.
#include <sstream>

#include "bank/markup.h"
#include "bank/tools.h"
#include "test_util.h"
#include "pack_run.h"
#include "tools/import_markup.h"

namespace {

// Item n of the exam's question file: kind and points, text, the filled
// slots and the explanation, '|' between; "(none)" when it can't be read.
std::string item(const TempDir &dir, const std::string &file, int n = 1)
{
    question *q = read_question(n, (dir / ("exam/" + file)).c_str(), nullptr);
    if (!q)
        return "(none)";
    std::string s = q->type + std::to_string(q->points) + "|" + q->text;
    for (const auto &a : q->answers)
        if (a[0])
            s += std::string("|") + a;
    s += std::string("|") + q->explanation;
    destroy_list(q);
    return s;
}

// Imports text written to a source file named `name` into dir/exam.
result import(const TempDir &dir, const char *kind, const std::string &name, const std::string &text,
              std::vector<std::string> options = {})
{
    options.insert(options.begin(), {"import", kind, dir.write(name, text), dir / "exam"});
    return run(options);
}

// The report lines (skipped, changed) of an import, without the source's path.
std::string report(const result &r, const std::string &source)
{
    std::string out;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(source + ":", 0) == 0 && g_ascii_isdigit(line[source.size() + 1]))
            out += line.substr(source.size()) + "\n";
    return out;
}

} // namespace

TEST(ImportGift, ConstructsBecomeItems)
{
    TempDir dir;
    const char *source =
        "// A comment line; one stands inside a question as well.\n"                    // 1
        "::Capital:: What is the capital of France? {\n// this comment is no answer\n"  // 2-3
        "  =Paris#Right.\n  ~Lyon#Third city.\n"                                        // 4-5
        "  ####Paris has been the capital for centuries.\n}\n\n"                        // 6-8
        "::Q\\:1:: Escapes\\: \\~ \\= \\# \\{ \\} and a\\nbreak {=a \\= b ~c\\~d}\n\n"  // 9
        "Which are prime? {~%50%Two ~%50%Three ~%-100%Four}\n\n"                        // 11
        "Pick the even numbers. {=Two =Four ~Three}\n\n"                                // 13
        "Grass is green.{T}\n\n"                                                        // 15
        "The sun is cold.{FALSE#It is hot: you said true.#Right, it is hot.}\n\n"       // 17
        "Capital of Italy? {=Rome =Roma#Italian spelling =ROME}\n\n"                  // 19
        // Lines that look like the question file's own separators stay text.
        "[plain]First\\n--- not an end\\n+++ nor a separator {=++i ~---all}\n\n"       // 21
        // What can't come over is skipped, with the reason and its line.
        "The answer is {#42}.\n\n"                                                     // 23
        "Match {=cat -> feline =dog -> canine}\n\n"                                    // 25
        "Moodle costs {~lots =nothing} to download.\n\n"                               // 27
        "Write an essay. {}\n\n"                                                       // 29
        "Just a description.\n\n"                                                      // 31
        "Unclosed {=a ~b\n\n"                                                          // 33
        "Nothing right {~a ~b}\n\n"                                                    // 35
        "Too many {=1 ~2 ~3 ~4 ~5 ~6 ~7 ~8}\n";                                         // 37
    result r = import(dir, "gift", "bank.gift", source);
    EXPECT_EQ(r.status, PACK_PROBLEM) << r.out << r.err;
    EXPECT_EQ(report(r, dir / "bank.gift"),
              ":23: skipped: numerical question: Trialix has no items that take a number within a range\n"
              ":25: skipped: matching question: Trialix has no items that pair answers\n"
              ":27: skipped: missing-word question (answers inside the text): "
              "a Trialix item asks before its answers\n"
              ":29: skipped: essay question: Trialix has no items answered in free text\n"
              ":31: skipped: no answers in braces: a description, not a question\n"
              ":33: skipped: no '}' closing the answers (write \\} for a literal brace)\n"
              ":35: skipped: no answer is right: mark one with '=' or give weights above 0%\n"
              ":37: skipped: 8 choices; an item holds at most 7\n");
    EXPECT_TRUE(has_line(r.out, dir / "bank.gift" + ": 8 questions imported into " + dir / "exam"
                                    + " (8 question files); 8 skipped\n")) << r.out;
    EXPECT_TRUE(has_line(r.out, dir / "bank.gift" + ": typed answers are compared without letter case, "
                                    "as GIFT compares them (compare=lenient)\n")) << r.out;
    EXPECT_TRUE(has_line(r.out, dir / "exam/cat08: 1 item\n")) << r.out;
    EXPECT_EQ(read_file(dir / "exam/.xconfig"),
              "title=bank\ntimeout=16\npercentage=75\ncompare=lenient\n[message]\n"
              "Imported from <i>bank.gift</i>, a GIFT question bank.\n"
              "Each run asks all 8 questions in a random order.\n");

    const char *expected[] = {
        "S1|What is the capital of France?|+Paris|-Lyon|Paris has been the capital for centuries.\n"
        "<b>Paris</b>: Right.\n<b>Lyon</b>: Third city.",
        "S1|Escapes: ~ = # { } and a\nbreak|+a = b|-c~d|",
        "M1|Which are prime?|+Two|+Three|-Four|",
        "M1|Pick the even numbers.|+Two|+Four|-Three|",
        "S1|Grass is green.|+True|-False|",
        // The first feedback of a true/false question is for the wrong answer.
        "S1|The sun is cold.|-True|+False|"
        "<b>True</b>: It is hot: you said true.\n<b>False</b>: Right, it is hot.",
        "F1|Capital of Italy?|Rome|Roma|<b>Roma</b>: Italian spelling",
        // An entity, or an invisible word joiner in a choice, keeps the layout's lines out.
        "S1|First\n&#45;-- not an end\n&#43;++ nor a separator|+\u2060++i|-\u2060---all|",
    };
    for (size_t i = 0; i < G_N_ELEMENTS(expected); i++)
        EXPECT_EQ(item(dir, "cat0" + std::to_string(i + 1)), expected[i]);
    // The name stays out of the text; the head line tells where the item came from.
    EXPECT_TRUE(has_line(run({"unpack", dir / "exam/cat02"}).out, "S1 bank.gift:9 Q:1\n"));
}

TEST(ImportGift, CategoriesMakeQuestionFiles)
{
    TempDir dir;
    const char *source =
        "Before any category {=a ~b}\n\n"  // 1
        "$CATEGORY: $course$/top/Net\n"    // 3
        "Net one {=a ~b}\n\n"              // 4
        "Net two {=a ~b}\n"                // 6
        "$CATEGORY: $course$/top/Unix\n"   // 7
        "Unix one {=a ~%50%b ~c}\n\n"      // 8
        "$CATEGORY: $course$/top/Net\n"    // 10
        "Net three {=a ~b}\n";             // 11
    result r = import(dir, "gift", "net.txt", source,
                      {"--title", "Nets & <Unix>", "--timeout=45", "--percentage", "80"});
    EXPECT_EQ(r.status, PACK_OK) << r.out << r.err;   // a change is no problem
    EXPECT_EQ(report(r, dir / "net.txt"),
              ":8: changed: partial credit dropped: only the answer worth 100% counts as right\n");
    EXPECT_EQ(read_file(dir / "exam/.xconfig"),
              "title=Nets &amp; &lt;Unix&gt;\ntimeout=45\npercentage=80\n[message]\n"
              "Imported from <i>net.txt</i>, a GIFT question bank.\n"
              "Each run draws one question from each of its 3 categories (5 questions in all).\n");
    EXPECT_EQ(count_files((dir / "exam").c_str(), "cat"), 3);
    EXPECT_EQ(item(dir, "cat02", 3), "S1|Net three|+a|-b|");
    EXPECT_EQ(item(dir, "cat03"), "S1|Unix one|+a|-b|-c|");
    EXPECT_TRUE(has_line(run({"unpack", dir / "exam/cat03"}).out, "Category: $course$/top/Unix\n"));
}

TEST(ImportText, FormatsBecomeValidMarkup)
{
    struct {
        text_format format;
        const char *in, *out;
    } examples[] = {
        {text_format::html, "<p>One &amp; two</p><p>Three<br>four</p>", "One &amp; two\n\nThree\nfour"},
        {text_format::html, "a <x> b < c && d", "a &lt;x&gt; b &lt; c &amp;&amp; d"},
        {text_format::html, "&eacute;&#233;&#xE9; &bogus; &#0;", "\u00e9\u00e9\u00e9 &amp;bogus; &amp;#0;"},
        {text_format::html, "<span style=\"a>b\">s</span><img alt='pic'>", "s[image: pic]"},
        {text_format::moodle, "a\n   b <i>c</i>", "a\nb <i>c</i>"},
        {text_format::plain, "<b>x</b> & y\nz", "&lt;b&gt;x&lt;/b&gt; &amp; y\nz"},
        {text_format::markdown, "**bold** and *it* and `a<b` and snake_case_name and [link](http://x)",
         "<b>bold</b> and <i>it</i> and <tt>a&lt;b</tt> and snake_case_name and link"},
        {text_format::markdown, "# Title\n- one\n- two\n\nlast\nline",
         "<b>Title</b>\n\n\u2022 one\n\u2022 two\n\nlast line"},
    };
    for (const auto &e : examples)
        EXPECT_EQ(to_markup(e.in, e.format), e.out) << e.in;
    // Whatever an author wrote, the result is markup Trialix can show.
    for (const char *nasty : {"</b>x", "<b", "<b>unclosed", "&", "<img alt='<b>'>", "a <!-- open",
                              "<i><b><u>x</i>", "<a href='x'>", "\x01\x7f<pre>", "&#xD800;",
                              "<b><i>x</b>y</i>", "<script>alert('<b>')</script>"})
        for (auto f : {text_format::html, text_format::moodle, text_format::markdown, text_format::plain})
            EXPECT_TRUE(markup_is_valid(to_markup(nasty, f).c_str(), nullptr)) << nasty << " as format " << (int)f;
}

TEST(ImportAiken, WellFormedAndMalformed)
{
    TempDir dir;
    const char *source =
        "\xEF\xBB\xBFWhat is the largest planet?\r\nA. Mars\r\nB. Jupiter\r\nANSWER: B\r\n\r\n"  // 1-5
        "Which <protocol> & resolves\r\nnames?\r\nA) ARP\r\nB) DNS\r\nanswer: b\r\n"             // 6-10
        "A question without an answer line\nA. one\nB. two\n"                                    // 11-13
        "Letters out of order\nA. one\nC. two\nANSWER: A\n"                                      // 14-17
        "ANSWER: B\n"                                                                            // 18
        "One choice\nA. only\nANSWER: A\n"                                                       // 19-21
        "Out of range\nA. x\nB. y\nANSWER: E\n"                                                  // 22-25
        "Eight\nA. 1\nB. 2\nC. 3\nD. 4\nE. 5\nF. 6\nG. 7\nH. 8\nANSWER: A\n"                     // 26-35
        "Trailing question\n";                                                                   // 36
    result r = import(dir, "aiken", "bank.txt", source);
    EXPECT_EQ(r.status, PACK_PROBLEM) << r.err;
    EXPECT_EQ(report(r, dir / "bank.txt"),
              ":11: skipped: no ANSWER line after the choices\n"
              ":16: skipped: choice C where B was expected\n"
              ":18: skipped: an ANSWER line without a question before it\n"
              ":19: skipped: fewer than two choices before the ANSWER line\n"
              ":25: skipped: the ANSWER line names E, but the last choice is B\n"
              ":26: skipped: 8 choices; an item holds at most 7\n"
              ":36: skipped: no choices and no ANSWER line\n");
    EXPECT_EQ(item(dir, "cat01"), "S1|What is the largest planet?|-Mars|+Jupiter|");
    EXPECT_EQ(item(dir, "cat02"), "S1|Which &lt;protocol&gt; &amp; resolves\nnames?|-ARP|+DNS|");
    EXPECT_EQ(count_files((dir / "exam").c_str(), "cat"), 2);
    EXPECT_TRUE(has_line(read_file(dir / "exam/.xconfig"),
                         "Imported from <i>bank.txt</i>, an Aiken question bank.\n"));
}

TEST(Import, NothingToImportOrBadUsage)
{
    TempDir dir;
    result r = import(dir, "gift", "bank.gift", "// only a comment\n\n$CATEGORY: x\n\nJust a description.\n");
    EXPECT_EQ(r.status, PACK_USAGE);
    EXPECT_EQ(r.err, "trialix-pack: " + dir / "bank.gift" + ": no question could be imported\n");
    EXPECT_FALSE(g_file_test((dir / "exam").c_str(), G_FILE_TEST_EXISTS));

    result latin = import(dir, "gift", "bank.gift", "Fine {=a ~b}\n\nCaf\xe9 {=a ~b}\n");
    EXPECT_EQ(latin.status, PACK_USAGE);
    EXPECT_EQ(latin.err, "trialix-pack: " + dir / "bank.gift"
                             + ":3: not UTF-8 text (convert it first, for example with iconv)\n");
    EXPECT_EQ(run({"import", "gift", dir / "missing.gift", dir / "exam"}).status, PACK_USAGE);

    // More question files than a run can take.
    r = import(dir, "gift", "many.gift", repeat("Q {=a ~b}\n\n", MAX_RUN_ITEMS + 1));
    EXPECT_EQ(r.status, PACK_USAGE);
    EXPECT_NE(r.err.find("would make 128 question files (one per question), but a run takes at most 127"),
              std::string::npos) << r.err;
    EXPECT_FALSE(g_file_test((dir / "exam").c_str(), G_FILE_TEST_EXISTS));

    // An existing directory is filled only when it is empty.
    dir.mkdir("exam");
    r = import(dir, "gift", "bank.gift", "Q {=a ~b}\n");
    EXPECT_EQ(r.status, PACK_OK);
    EXPECT_TRUE(has_line(r.out, dir / "bank.gift" + ": 1 question imported into " + dir / "exam"
                                    + " (1 question file)\n")) << r.out;
    r = import(dir, "gift", "bank.gift", "Other {=a ~b}\n");
    EXPECT_EQ(r.status, PACK_USAGE);
    EXPECT_EQ(item(dir, "cat01"), "S1|Q|+a|-b|");
}

// Unclosed tags and marks each sent a scan to the end of the text, so time
// grew with the square of the length: 400 KB took seconds to minutes.
TEST(ImportText, HostileTextTakesLinearTime)
{
    const int size = 400 * 1024;
    struct {
        const char *format, *first, *second;   // first, then second, half the text each
    } hostile[] = {
        {"", "<b ", nullptr},        {"", "<b \"", nullptr},       {"", "<script></script>", nullptr},
        {"", "<b>", "</i>"},         {"[markdown]", "*a ", nullptr}, {"[markdown]", "_a ", nullptr},
        {"[markdown]", "[a ", nullptr}, {"[markdown]", "[a](", nullptr},
    };
    for (const auto &h : hostile) {
        TempDir dir;
        auto part = [&](const std::string &unit, int bytes) {
            return repeat(unit, bytes / (int)unit.size() + 1).substr(0, (size_t)bytes);
        };
        std::string text = h.second ? part(h.first, size / 2) + part(h.second, size / 2) : part(h.first, size);
        gint64 start = g_get_monotonic_time();
        result r = import(dir, "gift", "bank.gift", h.format + text + " {=a ~b}\n");
        double seconds = (double)(g_get_monotonic_time() - start) / G_USEC_PER_SEC;
        EXPECT_LT(seconds, 3.0) << h.format << h.first;
        EXPECT_NE(r.out.find("bank.gift"), std::string::npos) << h.first << r.err;
    }
}

// A file name is the title and part of the message of the configuration
// file; a line break in it must not start a line there.
TEST(Import, ControlCharactersOfTheSourceNameStayOutOfTheConfiguration)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows allows no control characters in file names";
#endif
    TempDir dir;
    result r = import(dir, "gift", "quiz\ntimeout=0\npercentage=101\n\x01x.gift", "Q {=a ~b}\n");
    EXPECT_EQ(r.status, PACK_OK) << r.err;
    EXPECT_EQ(read_file(dir / "exam/.xconfig"),
              "title=quiz timeout=0 percentage=101  x\ntimeout=2\npercentage=75\n[message]\n"
              "Imported from <i>quiz timeout=0 percentage=101  x.gift</i>, a GIFT question bank.\n"
              "Each run asks all 1 question in a random order.\n");
}

// The prefix is part of the question files' names: with a path separator
// it wrote them outside the exam directory.
TEST(Import, PrefixIsAFileNamePrefix)
{
    TempDir dir;
    dir.write("x01", "keep me");
    for (const char *prefix : {"../x", "a/b", ".", ".."}) {
        result r = import(dir, "gift", "bank.gift", "Q {=a ~b}\n", {"--prefix", prefix});
        EXPECT_EQ(r.status, PACK_USAGE) << prefix;
        EXPECT_NE(r.err.find("--prefix"), std::string::npos) << r.err;
        EXPECT_FALSE(g_file_test((dir / "exam").c_str(), G_FILE_TEST_EXISTS)) << prefix;
    }
    EXPECT_EQ(read_file(dir / "x01"), "keep me");
    result r = import(dir, "gift", "bank.gift", "Q {=a ~b}\n", {"--prefix", "q."});
    EXPECT_EQ(r.status, PACK_OK) << r.err;
    EXPECT_EQ(item(dir, "q.01"), "S1|Q|+a|-b|");
}
