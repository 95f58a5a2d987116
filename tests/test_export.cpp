// trialix-pack export, and import of what it wrote: every item reads the
// same through show --json.
#include <algorithm>
#include <set>

#include "bank/buffer.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "pack_run.h"
#include "test_util.h"

namespace {

// Every item of every question file of an exam, as show --json prints
// them, file by file in the order of their names.
std::vector<std::vector<std::string>> items_of(const std::string &dir)
{
    std::vector<std::string> names = filename_list(dir.c_str(), "cat");
    std::sort(names.begin(), names.end());
    std::vector<std::vector<std::string>> files;
    for (const std::string &name : names) {
        membuf_ptr b = load_question_file((dir + "/" + name).c_str(), nullptr);
        files.emplace_back();
        if (!b)
            continue;
        item_index index = index_items(b->data, b->size);
        for (int n = 1; n <= index.count(); n++) {
            question_list q(new_question());
            parse_item(b->data, b->size, index, n, q.get());
            files.back().push_back(item_json(q.get(), item_keeps_order(b->data, b->size, index, n)));
        }
    }
    return files;
}

// What GIFT can't carry set aside: the points, the kept choice order and the spellings an
// import may add to fill-in answers after those exported. *answers gets
// the answers array with its empty slots left off.
std::string for_gift(std::string json, std::string *answers)
{
    for (const char *field : {",\"points\":", ",\"keep_order\":"}) {
        size_t at = json.find(field);
        json.erase(at, json.find(',', at + 1) - at);
    }
    if (json.find("{\"type\":\"F\"") != 0)
        return json;
    size_t from = json.find("\"answers\":["), to = json.find("],\"explanation\"");
    *answers = json.substr(from, to - from);
    while (answers->size() > 3 && answers->compare(answers->size() - 3, 3, ",\"\"") == 0)
        answers->resize(answers->size() - 3);
    return json.erase(from, to - from);
}

// The answers of an answers array as for_gift cut it out, in order.
std::vector<std::string> answer_list(const std::string &answers)
{
    std::vector<std::string> out;
    size_t at = answers.find('[');
    while (at != std::string::npos && at + 1 < answers.size()) {
        size_t end = answers.find("\",\"", at + 2);
        out.push_back(answers.substr(at + 2, (end == std::string::npos ? answers.size() - 1 : end) - at - 2));
        at = end == std::string::npos ? end : end + 1;
    }
    return out;
}

// GIFT compares typed answers without letter case, so the import keeps one
// of the spellings an exam lists: every answer exported is still accepted,
// by an answer that stood among them.
void expect_same_answers_leniently(const std::string &exported, const std::string &imported)
{
    std::vector<std::string> before = answer_list(exported), after = answer_list(imported);
    std::set<std::string> forms;
    for (const std::string &a : after) {
        EXPECT_NE(std::find(before.begin(), before.end(), a), before.end()) << a;
        EXPECT_TRUE(forms.insert(lenient_form(a.c_str())).second) << a;
    }
    for (const std::string &b : before)
        EXPECT_TRUE(forms.count(lenient_form(b.c_str()))) << b << "\n" << imported;
}

// Exports `exam` in `format`, imports the bank and compares every item.
void round_trip(const std::string &exam, const std::string &format)
{
    TempDir dir;
    std::string bank = dir / ("bank." + format), back = dir / "back";
    result out = run({"export", format, exam, bank});
    ASSERT_EQ(out.status, PACK_OK) << exam << out.err;
    result in = run({"import", format, bank, back});
    ASSERT_NE(in.status, PACK_USAGE) << exam << in.err;
    auto before = items_of(exam), after = items_of(back);
    ASSERT_EQ(before.size(), after.size()) << exam << " " << format;
    for (size_t f = 0; f < before.size(); f++) {
        ASSERT_EQ(before[f].size(), after[f].size()) << exam << " file " << f + 1;
        for (size_t i = 0; i < before[f].size(); i++) {
            std::string a = before[f][i], b = after[f][i], exported, imported;
            if (format == "gift") {
                a = for_gift(a, &exported);
                b = for_gift(b, &imported);
                expect_same_answers_leniently(exported, imported);
            }
            EXPECT_EQ(a, b) << exam << " " << format << " file " << f + 1 << " item " << i + 1;
        }
    }
}

// The exams of the fuzz corpus that check finds nothing wrong with, each
// made an exam directory of its own under dir.
std::vector<std::string> corpus_exams(const TempDir &dir)
{
    std::vector<std::string> exams;
    for (const char *corpus : {"question_text", "question_file"}) {
        std::string path = std::string(TRIALIX_SOURCE_DIR) + "/fuzz/corpus/" + corpus;
        gdir_ptr d(g_dir_open(path.c_str(), 0, nullptr));
        for (const char *name; d && (name = g_dir_read_name(d.get()));) {
            std::string exam = dir / (std::string(corpus) + "-" + name), bytes = read_file(path + "/" + name);
            dir.write(std::string(corpus) + "-" + name + "/.xconfig", "title=t\ntimeout=5\npercentage=50\n[message]\nm\n");
            if (std::string(corpus) == "question_text")
                write_question_file(exam + "/cat01", bytes);
            else
                write_file(exam + "/cat01", bytes);
            if (run({"check", exam}).status == PACK_OK)
                exams.push_back(exam);
        }
    }
    return exams;
}

} // namespace

TEST(Export, RoundTripOfTheDemoTestAndCorpusExams)
{
    TempDir dir;
    std::vector<std::string> exams = corpus_exams(dir);
    EXPECT_GE(exams.size(), 3u);
    for (const char *root : {TRIALIX_BUILD_EXAMS, TEST_EXAMS_DIR}) {
        gdir_ptr d(g_dir_open(root, 0, nullptr));
        for (const char *name; d && (name = g_dir_read_name(d.get()));)
            exams.push_back(std::string(root) + "/" + name);
    }
    EXPECT_GE(exams.size(), 8u);
    for (const std::string &exam : exams)
        for (const char *format : {"moodle", "gift"})
            round_trip(exam, format);
}

// An exam with what only some formats hold: pictures, a fixed choice
// order, long choices the reader breaks, blanks HTML would fold, a star in
// a fill-in answer, and items no format takes.
TEST(Export, WhatEachFormatHoldsAndWhatItCant)
{
    TempDir dir;
    const std::string png = png_image(4, 4);
    gchar_ptr png64(g_base64_encode(reinterpret_cast<const guchar *>(png.data()), png.size()));
    std::string exam = dir.mkdir("exam");
    dir.write("exam/.xconfig", "title=T\ntimeout=5\npercentage=50\nshuffle=yes\ncompare=lenient\n[message]\nm\n");
    dir.write("exam/images/map.png", png);
    std::string long_choice = "-" + repeat("word ", 30) + std::string(90, 'x');
    write_question_file(exam + "/cat01",
                        "+++\nS3 keep-order\nSee <img src=\"images/map.png\" alt=\"The &quot;map&quot;\"/>:\n"
                        "  two  blanks\ttab <b> bold </b>\n---\n+Yes & <no>\n" + long_choice + "\n-%50 off\n-a -> b\n"
                        "---\nWhy <img src=\"images/gone.png\" alt=\"Gone\"/>\n+++\n"
                        "M2\nOne right\n---\n+only\n-not\n---\n+++\n"
                        "F1\nStar?\n---\na*b\n{=}~#:\\\n---\n+++\n"
                        "X1\nNo kind\n---\n+a\n---\n+++\n"
                        "S1\nNone right\n---\n-a\n-b\n---\n+++\n");
    write_question_file(exam + "/cat02", "+++\nS1\nSecond file\n---\n+a\n-b\n---\n+++\n");

    result moodle = run({"export", "moodle", exam, dir / "bank.xml"});
    EXPECT_EQ(moodle.status, PACK_PROBLEM) << moodle.err;
    std::string xml = read_file(dir / "bank.xml");
    run({"export", "moodle", exam, dir / "again.xml"});
    EXPECT_EQ(read_file(dir / "again.xml"), xml);   // the same bank every time
    EXPECT_EQ(moodle.out,
              exam + ": not carried: the title, time allowed, pass mark and message: Moodle XML has no place for them\n"
              + exam + "/cat01: item 1: not carried: the picture images/gone.png can't be read: its alternative text stands in\n"
              + exam + "/cat01: item 4: not carried: left out: 'X' is no kind of item\n"
              + exam + "/cat01: item 5: not carried: left out: a single-choice item needs exactly one right choice\n"
              + dir / "bank.xml" + ": 4 items of 2 question files exported from " + exam
              + " as Moodle XML, 1 picture embedded; 2 left out\n");
    for (const std::string &part : {"<file name=\"map.png\" path=\"/\" encoding=\"base64\">" + std::string(png64.get()) + "</file>",
                             std::string("<category>\n      <text>$course$/top/exam/cat02</text>"),
                             std::string("<defaultgrade>3</defaultgrade>"), std::string("<shuffleanswers>0</shuffleanswers>"),
                             std::string("<shuffleanswers>1</shuffleanswers>"), std::string("<usecase>0</usecase>"),
                             std::string("<text>a\\*b</text>"), std::string("<answer fraction=\"-100\"")})
        EXPECT_NE(xml.find(part), std::string::npos) << part;
    // The long choice as written, not as the reader breaks it for the screen.
    EXPECT_NE(xml.find("word " + std::string(90, 'x') + "]]>"), std::string::npos);

    dir.mkdir("gift");
    result gift = run({"export", "gift", exam, dir / "gift/bank.gift"});
    EXPECT_EQ(gift.status, PACK_PROBLEM);
    EXPECT_EQ(read_file(dir / "gift/images/map.png"), png);
    for (const char *line : {
             ": not carried: choices in a random order: GIFT has no place for it\n",
             "/cat01: not carried: the points of items 1, 2: GIFT has no place for them (each counts 1)\n",
             "/cat01: item 1: not carried: the choices' fixed order: GIFT has no place for it\n",
             "/cat01: item 2: not carried: multiple choice with one right choice: GIFT makes it single choice\n",
             "/cat01: item 3: not carried: the answer 'a*b': '*' is a wildcard in GIFT's short answers\n"})
        EXPECT_TRUE(has_line(gift.out, exam + line)) << line << gift.out;

    // Back from Moodle XML: the same items, the picture in the images folder.
    result back = run({"import", "moodle", dir / "bank.xml", dir / "back"});
    EXPECT_EQ(read_file(dir / "back/images/map.png"), png);
    EXPECT_NE(read_file(dir / "back/.xconfig").find("\nshuffle=yes\ncompare=lenient\n"), std::string::npos) << back.out;
    auto before = items_of(exam), after = items_of(dir / "back");
    ASSERT_EQ(after.size(), 2u);
    ASSERT_EQ(after[0].size(), 3u);
    std::string gone = before[0][0];
    gone.replace(gone.find("<img src=\\\"images/gone.png\\\" alt=\\\"Gone\\\"/>"), 43, "[image: Gone]");
    EXPECT_EQ(after[0][0], gone);
    EXPECT_EQ(after[0][1], before[0][1]);
    EXPECT_EQ(after[0][2], before[0][2]);
    EXPECT_EQ(after[1], before[1]);
    EXPECT_TRUE(has_line(run({"unpack", dir / "back/cat01"}).out, "S3 keep-order ")) << back.out;

    // Back from GIFT, with its picture beside the bank.
    run({"import", "gift", dir / "gift/bank.gift", dir / "gback"});
    EXPECT_EQ(read_file(dir / "gback/images/map.png"), png);
    std::string unused;
    EXPECT_EQ(for_gift(items_of(dir / "gback")[0][0], &unused), for_gift(gone, &unused));
}

TEST(Export, UsageAndExamsThatCantBeRead)
{
    TempDir dir;
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"export"}, {"export", "csv", "a", "b"}, {"export", "moodle", "a"}, {"export", "gift", "a", "b", "--x"}})
        EXPECT_EQ(run(args).status, PACK_USAGE);
    result none = run({"export", "moodle", dir / "nothing", dir / "bank.xml"});
    EXPECT_EQ(none.status, PACK_PROBLEM);
    EXPECT_NE(none.err.find("no exam here"), std::string::npos) << none.err;
    dir.write("empty/.xconfig", "title=t\n");
    EXPECT_NE(run({"export", "gift", dir / "empty", dir / "bank.gift"}).err.find("no question files"), std::string::npos);
    EXPECT_FALSE(g_file_test((dir / "bank.xml").c_str(), G_FILE_TEST_EXISTS));
}
