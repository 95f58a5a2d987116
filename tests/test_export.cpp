// trialix-pack export, and import of what it wrote: every item reads the
// same through show --json.
#include <algorithm>

#include "bank/buffer.h"
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
            files.back().push_back(item_json(q.get()));
        }
    }
    return files;
}

// What GIFT can't carry set aside: the points, and the spellings an
// import may add to fill-in answers after those exported. *answers gets
// the answers array with its empty slots left off.
std::string for_gift(std::string json, std::string *answers)
{
    size_t at = json.find(",\"points\":");
    json.erase(at, json.find(',', at + 1) - at);
    if (json.find("{\"type\":\"F\"") != 0)
        return json;
    size_t from = json.find("\"answers\":["), to = json.find("],\"explanation\"");
    *answers = json.substr(from, to - from);
    while (answers->size() > 3 && answers->compare(answers->size() - 3, 3, ",\"\"") == 0)
        answers->resize(answers->size() - 3);
    return json.erase(from, to - from);
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
                EXPECT_EQ(imported.compare(0, exported.size(), exported), 0) << exported << "\n" << imported;
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
