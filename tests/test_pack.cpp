// trialix-pack: what an exam author sees from pack, unpack, show and check.
#include <algorithm>

#include "test_util.h"
#include "pack_run.h"

TEST(Pack, ShowAgreesWithTheRecord)
{
    // Unpack gives back the very bytes packed.
    TempDir dir;
    std::string text = "+++\r\nS\r\nno final newline";
    for (int c = 0; c < 256; c++)
        text += (char)c;
    for (const std::string &bytes : {text, std::string()}) {
        EXPECT_EQ(run({"pack", dir.write("source.txt", bytes), dir / "cat01"}).status, PACK_OK);
        result unpacked = run({"unpack", dir / "cat01"});
        EXPECT_EQ(unpacked.status, PACK_OK);
        EXPECT_EQ(unpacked.out, bytes);
    }

    std::string choice = "-" + std::string(60, 'x') + " " + std::string(30, 'y');
    write_question_file(dir / "cat01", "+++\nM3 comment\nSay \"hi\" \\ back\ttab \xc3\xa9\nsecond\r\n---\n+ok\n"
                                           + choice + "\n\n---\nsee <i>this</i>\n+++\n");
    result shown = run({"show", dir / "cat01", "1", "--json"});
    ASSERT_EQ(shown.status, PACK_OK) << shown.err;
    std::string expected = R"({"type":"M","points":3,"keep_order":false,"text":"Say \"hi\" \\ back\ttab )"
                           "\xc3\xa9"
                           R"(\nsecond\r","answers":["+ok",")"
                           + choice.substr(0, 61) + "\\n" + choice.substr(62)
                           + R"(","","","","",""],"explanation":"see <i>this</i>"})" + "\n";
    EXPECT_EQ(shown.out, expected);
    EXPECT_EQ(json_string("\xff\x01", 2), "\"\\u00ff\\u0001\"");

    // Without --json: one line per field; an item the file doesn't hold is a problem.
    write_question_file(dir / "cat02", "+++\nF2\nCapital?\n---\nParis\n---\nSee a map.\n+++\n");
    EXPECT_EQ(run({"show", dir / "cat02", "1"}).out,
              "kind: F\npoints: 2\ntext:\nCapital?\nanswer 1: Paris\nanswer 2:\nanswer 3:\n"
              "answer 4:\nanswer 5:\nanswer 6:\nanswer 7:\nexplanation:\nSee a map.\n");
    // An item that keeps its choices' order says so.
    write_question_file(dir / "cat03", "+++\nS2 keep-order\nQ\n---\n+a\n---\n+++\n");
    EXPECT_EQ(run({"show", dir / "cat03", "1", "--json"}).out.rfind(R"({"type":"S","points":2,"keep_order":true,)", 0),
              0u);
    EXPECT_NE(run({"show", dir / "cat03", "1"}).out.find("\nchoices: in the order written"),
              std::string::npos);
    result none = run({"show", dir / "cat02", "2"});
    EXPECT_EQ(none.status, PACK_PROBLEM);
    EXPECT_EQ(none.err, "trialix-pack: " + dir / "cat02" + ": holds 1 items; there is no item 2\n");
}

TEST(Pack, UsageErrors)
{
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {}, {"frob"}, {"pack", "a"}, {"unpack"}, {"show", "f"}, {"check"}, {"check", "--prefix"},
             {"check", "--bogus", "x"}, {"check", "x", "--config", "a/b"}, {"import", "gift", "a"},
             {"import", "csv", "a", "b"}, {"import", "gift", "a", "b", "--timeout", "0"},
             {"import", "gift", "a", "b", "--percentage=101"}, {"import", "gift", "a", "b", "--title", " "}}) {
        result r = run(args);
        EXPECT_EQ(r.status, PACK_USAGE) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(run({"--help"}).status, PACK_OK);
}

// check over an exam directory, with another prefix and configuration file
// name: the configuration's summary and problems, then every question
// file's items and problems, each problem with the line it stands on.
// Valid markup that would blow the window up is reported where it stands:
// too large by itself, only as a whole (a size given with a font
// description, spacing along a long line, line height over many lines),
// or only in the title's or the message's share of the start form.
TEST(Check, MarkupTooLargeToShow)
{
    const std::string tall = "<span line_height=\"409600\">W&#10;W&#10;W&#10;W&#10;W</span>";
    const struct {
        std::string title, message, question, explanation;
        std::vector<std::string> problems;   // lines of the config (c) or question file (f)
        const char *absent;
    } cases[] = {
        {"<span size=\"30000000\">T</span>", "<span letter_spacing=\"99999999\">m</span>",
         "<span font_desc=\"Serif 80000\">Q</span>", "<big><big><big>fine</big></big></big>",
         {"c:1: title is markup too large to show: ", "c:5: message is markup too large to show: ",
          "f:3: item 1: question text is markup too large to show: "},
         "explanation"},
        {"<span size=\"2147483647\" font=\"Sans 10\">W</span>",
         "<span size=\"204800\" line_height=\"10\">" + repeat("W\n", 16) + "</span>",
         "<span size=\"204800\" letter_spacing=\"204800\">" + repeat("W", 1900) + "</span>",
         "<span font_size=\"2147483647\" font_desc=\"Sans 10\">W</span>",
         {"c:1: title is markup too large to show: font size of ",
          "c:5: message is markup too large to show: laid out it could take ",
          "f:3: item 1: question text is markup too large to show: laid out ",
          "f:8: item 1: explanation is markup too large to show: font size of "},
         "(none)"},
        {tall, tall, tall, "Why.",
         {"c:1: title is markup too large to show: laid out ", "c:5: message is markup too large to show: laid out "},
         "question text"},
    };
    for (const auto &k : cases) {
        TempDir dir;
        std::string c = dir / "exam.cfg", f = dir / "q01";
        write_file(c, "title=" + k.title + "\ntimeout=5\npercentage=50\n[message]\n" + k.message + "\n");
        write_question_file(f, "+++\nS\n" + k.question + "\n---\n+a\n-b\n---\n" + k.explanation + "\n+++\n");
        result r = run({"check", "--prefix", "q", dir.path(), "--config=exam.cfg"});
        EXPECT_EQ(r.status, PACK_PROBLEM);
        for (const std::string &problem : k.problems) {
            std::string line = (problem[0] == 'c' ? c : f) + problem.substr(1);
            EXPECT_TRUE(has_line(r.out, line)) << line << "\n" << r.out;
        }
        EXPECT_EQ(r.out.find(k.absent), std::string::npos) << r.out;
    }
}

TEST(Check, ProblemsNameTheirLine)
{
    TempDir dir;
    const char *text = "comment\n+++\n"                                                 // 1-2
                       "Q2\ntext <b>unclosed\n---\n+a\n---\nfine\n+++\n"                // 3-9
                       "S\nwhich?\n---\n+one\n+two\nthree\n---\nx & y\n+++\n"           // 10-18
                       "M\nno plus\n---\n-a\n-b\n-c\n-d\n-e\n-f\n-g\n-h\n---\n\n+++\n"  // 19-32
                       "F\ncapital?\n---\nParis\r\n---\nok\n+++\n"                      // 33-39
                       "S10\nquestion without end line\n+++\n";                         // 40-42
    std::string f = dir / "q01", broken = dir / "q02", empty = dir / "q03", c = dir / "exam.cfg";
    write_file(c, "title=T\npercentage=150\n[message]\n<b>bad\n");
    write_question_file(f, text);
    write_file(broken, "plain text, not packed");
    write_question_file(empty, "+++\nS\n");
    write_question_file(dir / "cat01", "not a question file under --prefix q");
    result r = run({"check", "--prefix", "q", dir.path(), dir / "q04", "--config=exam.cfg"});
    EXPECT_EQ(r.status, PACK_PROBLEM);
    EXPECT_EQ(r.err, "trialix-pack: " + dir / "q04" + ": no such file or directory\n");
    std::vector<std::string> expected = {
        c + ": title: T", c + ": time: 0 minutes", c + ": pass mark: 150%", c + ": message: yes",
        c + ": no timeout line (timeout=MINUTES); it counts as 0",
        c + ":2: the pass mark must be from 0 to 100 percent", c + ":4: message is not valid markup: ",
        f + ": 5 items", broken + ": 0 items", broken + ": does not decompress (bzip2 error -5)",
        empty + ": 0 items", empty + ": no item: an item stands between two separator lines ('+++')",
    };
    for (const char *problem : {":3: item 1: unknown kind letter 'Q' (S, M or F expected)",
                                ":4: item 1: question text is not valid markup: at the end of the text: ",
                                ":14: item 2: more than one '+' choice in a single-choice item",
                                ":15: item 2: choice line without '+' or '-' in its first column",
                                ":17: item 2: explanation is not valid markup: line 1, column 3: ",
                                ":22: item 3: no '+' choice: the item can never be right",
                                ":29: item 3: more than 7 answer lines; the rest are ignored",
                                ":36: item 4: accepted answer ends with a carriage return (Windows line ends): "
                                "no typed answer can match it",
                                ":40: item 5: points must be one digit from 1 to 9; this item is worth 1",
                                ":42: item 5: no end-of-section line ('---') after the question text"})
        expected.push_back(f + problem);
    for (const std::string &line : expected)
        EXPECT_TRUE(has_line(r.out, line)) << line << "\n" << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), (long)expected.size()) << r.out;
}

// The slips of an author new to the format, each reported where it stands:
// a blank kind line, a blank after a choice's mark, blanks around a fill-in
// answer, and the text itself given where a packed file belongs.
TEST(Check, AuthorsTraps)
{
    TempDir dir;
    std::string f = dir / "cat01";
    write_question_file(f, "+++\n\nWhat?\n---\n+Yes\n---\n+++\n"         // 1-7
                           "S\nSure?\n---\n+ Yes\n-\tNo\n-Maybe\n---\n+++\n"  // 8-15
                           "F\nWhere are you?\n---\npwd \n\tpwd\npwd\n---\n+++\n");  // 16-23
    result r = run({"check", f});
    EXPECT_EQ(r.status, PACK_PROBLEM);
    std::vector<std::string> expected = {
        f + ": 3 items",
        f + ":2: item 1: the line after +++ is blank: it must start with S, M or F (the item's kind)",
        f + ":11: item 2: blank after the choice's '+' or '-': the choice is shown with a leading blank",
        f + ":12: item 2: blank after the choice's '+' or '-': the choice is shown with a leading blank",
        f + ":19: item 3: accepted answer begins or ends with a blank: the answer typed without it does not match",
        f + ":20: item 3: accepted answer begins or ends with a blank: the answer typed without it does not match",
    };
    for (const std::string &line : expected)
        EXPECT_TRUE(has_line(r.out, line)) << line << "\n" << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), (long)expected.size()) << r.out;

    // show says what is wrong with the kind rather than printing nothing.
    for (const auto &[head, kind] : std::vector<std::pair<std::string, std::string>>{
             {"\n", "none"}, {"\r\n", "none"}, {"X\n", "X"}, {"M\n", "M"}}) {
        write_question_file(dir / "cat02", "+++\n" + head + "Q\n---\n+a\n---\n+++\n");
        std::string shown = run({"show", dir / "cat02", "1"}).out;
        std::string want = head == "M\n" ? "kind: M\n" : "kind: " + kind + " (the line after +++ must start with S, M or F)\n";
        EXPECT_EQ(shown.substr(0, shown.find('\n') + 1), want) << shown;
    }

    std::string text = dir.write("cat03.txt", "+++\nS\nQ\n---\n+a\n---\n+++\n");
    r = run({"check", text});
    EXPECT_EQ(r.out, text + ": 0 items\n" + text + ": does not decompress (bzip2 error -5): "
                         "not a packed question file; pack it first with trialix-pack pack\n");
}

// A folder of exam folders is checked exam by exam, each with a summary;
// an exam whose folder holds a folder of its own is still one exam.
TEST(Check, ExamRoot)
{
    TempDir dir;
    dir.write("root/good/.xconfig", "title=Good\ntimeout=5\npercentage=50\n");
    write_question_file(dir / "root/good/cat01", "+++\nS\nQ\n---\n+a\n-b\n---\n+++\nS\nQ2\n---\n+a\n---\n+++\n");
    write_question_file(dir / "root/good/cat02", "+++\nF\nQ\n---\na\n---\n+++\n");
    dir.write("root/bad/.xconfig", "title=Bad\ntimeout=5\npercentage=50\n");
    write_question_file(dir / "root/bad/cat01", "+++\nS\nQ\n---\n-a\n---\n+++\n");
    dir.mkdir("root/.hidden");
    dir.mkdir("root/bad/pictures");
    std::string root = dir / "root";
    result r = run({"check", root});
    EXPECT_EQ(r.status, PACK_PROBLEM);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), root + ": exam root: 2 exams");
    EXPECT_TRUE(has_line(r.out, native(root + "/bad/cat01:5: item 1: no '+' choice"))) << r.out;
    EXPECT_TRUE(has_line(r.out, native(root + "/bad: summary: 1 question file, 1 item, 1 problem\n" + root +
                                       "/good/.xconfig")))
        << r.out;
    EXPECT_TRUE(has_line(r.out, native(root + "/good: summary: 2 question files, 3 items, no problem\n")))
        << r.out;
    EXPECT_EQ(r.out.find(".hidden"), std::string::npos) << r.out;

    // The exam itself, with its subfolder: no root, no summary.
    r = run({"check", dir / "root/bad"});
    EXPECT_EQ(r.out.find("summary"), std::string::npos) << r.out;
    EXPECT_TRUE(has_line(r.out, native(root + "/bad/.xconfig: title: Bad"))) << r.out;
}

// The exam's keys: their values said, an unknown one reported; accepted
// answers that the exam's comparison makes the same reported, each exam
// by its own comparison.
TEST(Check, ExamKeysAndTheAnswersTheyMakeTheSame)
{
    TempDir dir;
    const std::string item = "+++\nF\nCapital?\n---\nParis\nparis\n Paris\nParis\n---\n+++\n";
    dir.write("strict/.xconfig", "title=S\ntimeout=5\npercentage=50\ncompare=exact\n");
    dir.write("mild/.xconfig", "title=M\ntimeout=5\npercentage=50\nshuffle=maybe\ncompare=lenient\n");
    for (const char *exam : {"strict", "mild"})
        write_question_file(dir / exam + "/cat01", item);
    const std::string same = ": item 1: accepted answer is the same as line 5's";
    struct {
        const char *exam;
        std::vector<std::string> lines;
    } cases[] = {
        {"strict", {".xconfig: compare: exact",
                    "cat01:7: item 1: accepted answer begins or ends with a blank: the answer typed without it does not match",
                    "cat01:8" + same + ": the slot is wasted"}},
        {"mild", {".xconfig: compare: lenient",
                  ".xconfig:4: does not read as shuffle=yes or shuffle=no; choices are shown as written",
                  "cat01:6" + same + " when compared leniently: the slot is wasted",
                  "cat01:7" + same + " when compared leniently: the slot is wasted",
                  "cat01:8" + same + " when compared leniently: the slot is wasted"}},
    };
    for (const auto &c : cases) {
        result r = run({"check", dir / c.exam});
        EXPECT_EQ(r.status, PACK_PROBLEM);
        for (const std::string &line : c.lines)
            EXPECT_TRUE(has_line(r.out, native(dir / c.exam + "/" + line))) << line << "\n" << r.out;
        // Title, time, pass mark, message, item count, and the lines above.
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), (long)c.lines.size() + 5) << r.out;
    }
}

// A pack that can't write says which file it couldn't write: the target,
// not the temporary file it writes first.
TEST(Pack, FailureNamesTheTarget)
{
    TempDir dir;
    std::string source = dir.write("cat01.txt", "+++\nS\nQ\n---\n+a\n---\n+++\n");
    std::string target = dir / "nodir/cat01";
    result r = run({"pack", source, target});
    EXPECT_EQ(r.status, PACK_PROBLEM);
    EXPECT_EQ(r.err.rfind("trialix-pack: " + target + ": ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find(target + "."), std::string::npos) << r.err;
}
