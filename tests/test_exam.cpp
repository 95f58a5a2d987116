// Exam configuration, question file lists, the random order and the
// assembly of a run.
#include <gtest/gtest.h>
#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/globals.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "test_util.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

// An exam root in a scratch directory, set as examdir for the test.
class ExamConfig : public testing::Test {
protected:
    TempDir root;
    void SetUp() override
    {
        globals_reset();
        g_strlcpy(examdir, root.path().c_str(), sizeof examdir);
        g_mkdir(exam_dir().c_str(), 0700);
    }
    void TearDown() override { globals_reset(); }
    std::string exam_dir() const { return root / "net"; }
    void config(const std::string &text) { write_file(exam_dir() + "/" + examconfig, text); }
};

// A question file whose every item names the file it comes from.
std::string items_naming(const std::string &name, int count)
{
    std::string text = "+++\n";
    for (int i = 1; i <= count; i++)
        text += "F\n" + name + "\n---\n" + std::to_string(i) + "\n---\n\n+++\n";
    return text;
}

} // namespace

TEST_F(ExamConfig, WorkedExample)
{
    config("title=Networking basics\ntimeout=90\npercentage=75\n[message]\nYou have <b>90 minutes</b>.\nGood luck!\n");
    EXPECT_EQ(getTimeout("net"), 90);
    EXPECT_EQ(getPercentage("net"), 75);
    EXPECT_EQ(getExamTitle("net"), "Networking basics");
    EXPECT_EQ(getExamMessage("net"), "You have <b>90 minutes</b>.\nGood luck!");
}

TEST_F(ExamConfig, MissingFile)
{
    EXPECT_EQ(getTimeout("net"), 0);
    EXPECT_EQ(getPercentage("net"), 0);
    EXPECT_EQ(getExamTitle("net"), std::nullopt);
    EXPECT_EQ(getExamMessage("net"), "UNKNOWN");
    EXPECT_EQ(getExamTitle("no such exam"), std::nullopt);
}

TEST_F(ExamConfig, NumberKeys)
{
    config("timeout = 90\ntimeout=45\npercentage=50x\n");
    EXPECT_EQ(getTimeout("net"), 0);        // only the first timeout line counts
    EXPECT_EQ(getPercentage("net"), 50);
    config("timeouts=5\ntimeout=45\npercentage= 50\n");
    EXPECT_EQ(getTimeout("net"), 0);
    EXPECT_EQ(getPercentage("net"), 0);
    config("timeout=99999999999\npercentage=-1\n");
    EXPECT_EQ(getTimeout("net"), 0);
    EXPECT_EQ(getPercentage("net"), -1);
}

TEST_F(ExamConfig, TitleRules)
{
    config("title=  spaced\n");
    EXPECT_EQ(getExamTitle("net"), "  spaced");
    config("title=a=b\ntitle=second\n");
    EXPECT_EQ(getExamTitle("net"), "a=b");
    config("timeout=5\n");
    EXPECT_EQ(getExamTitle("net"), "UNKNOWN");
    config("title without equals\ntitle=later\n");
    EXPECT_EQ(getExamTitle("net"), "UNKNOWN");
    config("title=Windows line\r\n[message]\r\nfirst\r\nsecond\r\n");
    EXPECT_EQ(getExamTitle("net"), "Windows line");
    EXPECT_EQ(getExamMessage("net"), "first\nsecond");

    // Over 255 bytes: cut whole, on a character boundary.
    std::string title;
    for (int i = 0; i < 200; i++)
        title += "\xc3\xa9";
    config("title=" + title + "\n");
    EXPECT_EQ(getExamTitle("net"), title.substr(0, 254));
}

TEST_F(ExamConfig, MessageRules)
{
    config("title=t\n");
    EXPECT_EQ(getExamMessage("net"), "");
    config("[message]\ndropped\n[message]\npercentage=50\nlast line");
    EXPECT_EQ(getExamMessage("net"), "percentage=50\nlast line");
    EXPECT_EQ(getPercentage("net"), 50);

    std::string line(300, 'm');
    config("[message]\n" + line + "\n" + line + "\n" + line + "\n" + line + "\n" + line + "\n"
           + line + "\n" + line + "\n" + line + "\n");
    EXPECT_EQ(getExamMessage("net").size(), (size_t)MESSAGE_SIZE - 1);
}

TEST_F(ExamConfig, LongLinesAreWholeLines)
{
    // The tail of a long line never passes for a line of its own.
    config("title=" + std::string(300, 'x') + "timeout=5\n");
    EXPECT_EQ(getTimeout("net"), 0);
}

TEST_F(ExamConfig, OverlongPathIsRefused)
{
    std::string name(250, 'n');   // examdir + name + config: over 255
    g_mkdir((root / name).c_str(), 0700);
    write_file(root / name + "/" + examconfig, "timeout=5\n");
    EXPECT_EQ(getTimeout(name.c_str()), 0);
    EXPECT_EQ(getExamTitle(name.c_str()), std::nullopt);
}

TEST(QuestionFiles, PrefixAndKindRules)
{
    TempDir dir;
    for (const char *name : {"cat01", "cat02", "catalog.txt", "Cat03", ".xconfig", "xcat"})
        write_file(dir / name, "x");
    g_mkdir((dir / "cat04").c_str(), 0700);
    std::vector<std::string> names = filename_list(dir.path().c_str(), "cat");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"cat01", "cat02", "catalog.txt"}));
    EXPECT_EQ(count_files(dir.path().c_str(), "cat"), 3);
    EXPECT_EQ(count_files((dir / "missing").c_str(), "cat"), 0);
    EXPECT_TRUE(filename_list((dir / "missing").c_str(), "cat").empty());

    // An entry whose path would be over 255 characters is not taken.
    // A directory whose path leaves room for "/cat01" and no more.
    std::string deep = dir / std::string(MAX_PATH_CHARS - dir.path().size() - 1 - 6, 'd');
    g_mkdir(deep.c_str(), 0700);
    write_file(deep + "/cat01", "x");
    write_file(deep + "/cat" + std::string(20, '9'), "x");
    EXPECT_EQ(filename_list(deep.c_str(), "cat"), std::vector<std::string>{"cat01"});
}

TEST(RandomOrder, IsAPermutationAndEveryOrderOccurs)
{
    EXPECT_TRUE(create_random_list(0).empty());
    EXPECT_EQ(create_random_list(1), std::vector<int>{0});
    std::set<std::vector<int>> seen;
    for (int run = 0; run < 3000; run++) {
        std::vector<int> order = create_random_list(4);
        std::vector<int> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, (std::vector<int>{0, 1, 2, 3}));
        seen.insert(order);
    }
    EXPECT_EQ(seen.size(), 24u);
}

TEST(RandomOrder, SeededOnceAtTheFirstDraw)
{
    random(1);   // the first draw of the process seeds
    srand(42);
    std::vector<int> a = {random(1000), random(1000), random(1000)};
    srand(42);
    std::vector<int> b = {random(1000), random(1000), random(1000)};
    EXPECT_EQ(a, b);   // no draw seeds again
    EXPECT_EQ(random(0), 0);
}

TEST(Assembly, OneItemFromEachFileNumberedInOrder)
{
    TempDir dir;
    for (const char *name : {"cat1", "cat2", "cat3", "cat4"})
        write_question_file(dir / name, items_naming(name, 3));
    std::vector<std::string> names = filename_list(dir.path().c_str(), "cat");
    std::vector<int> order = {2, 0, 3, 1};
    question *head = create_exam_list(order, 4, dir.path().c_str(), names);
    int i = 0;
    for (question *q = head; q; q = q->next, i++) {
        EXPECT_EQ(q->number, i + 1);
        EXPECT_EQ(q->text, names[(size_t)order[(size_t)i]]);
        int k = atoi(q->answers[0]);
        EXPECT_TRUE(k >= 1 && k <= 3) << q->answers[0];
    }
    EXPECT_EQ(i, 4);
    destroy_list(head);
    EXPECT_EQ(create_exam_list({}, 0, dir.path().c_str(), names), nullptr);
}

TEST(Assembly, EveryItemOfAFileCanBeDrawn)
{
    TempDir dir;
    write_question_file(dir / "cat", items_naming("cat", 3));
    write_question_file(dir / "single", items_naming("single", 1));
    std::set<std::string> drawn;
    for (int run = 0; run < 200; run++) {
        question *head = create_exam_list({0, 1}, 2, dir.path().c_str(), {"cat", "single"});
        ASSERT_NE(head, nullptr);
        drawn.insert(head->answers[0]);
        EXPECT_STREQ(head->next->answers[0], "1");
        destroy_list(head);
    }
    EXPECT_EQ(drawn, (std::set<std::string>{"1", "2", "3"}));
}

TEST(Assembly, FilesWithoutItemsAreLeftOut)
{
    TempDir dir;
    write_question_file(dir / "cat1", items_naming("cat1", 2));
    write_question_file(dir / "cat2", "+++\nonly one separator\n");
    write_file(dir / "cat3", "not compressed");
    write_question_file(dir / "cat4", items_naming("cat4", 1));
    std::vector<std::string> names = {"cat1", "cat2", "cat3", "cat4"};
    CaptureStderr();
    testing::internal::CaptureStdout();
    question *head = create_exam_list({1, 0, 2, 3}, 4, dir.path().c_str(), names);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = GetCapturedStderr();
    ASSERT_NE(head, nullptr);
    EXPECT_STREQ(head->text, "cat1");
    EXPECT_EQ(head->number, 1);
    EXPECT_STREQ(head->next->text, "cat4");
    EXPECT_EQ(head->next->number, 2);
    EXPECT_EQ(head->next->next, nullptr);
    EXPECT_NE(err.find(dir / "cat2" + ": no item"), std::string::npos) << err;
    EXPECT_NE(err.find(dir / "cat3" + ": no item"), std::string::npos) << err;
    EXPECT_EQ(out, "Decompression failed (-5)\n");
    destroy_list(head);

    CaptureStderr();
    EXPECT_EQ(create_exam_list({0}, 1, dir.path().c_str(), {"cat2"}), nullptr);
    GetCapturedStderr();
}

TEST(Assembly, RunHoldsAtMost127Items)
{
    TempDir dir;
    write_question_file(dir / "cat", items_naming("cat", 1));
    std::vector<std::string> names(130, "cat");
    std::vector<int> order = create_random_list(130);
    CaptureStderr();
    question *head = create_exam_list(order, 130, dir.path().c_str(), names);
    EXPECT_NE(GetCapturedStderr(), "");
    int n = 0;
    for (question *q = head; q; q = q->next)
        n++;
    EXPECT_EQ(n, MAX_RUN_ITEMS);
    destroy_list(head);
}

TEST(Assembly, PackedSampleExam)
{
    const char *dir = TEST_EXAMS_DIR "/sample";
    exam_config c;
    ASSERT_TRUE(read_exam_config(TEST_EXAMS_DIR "/sample/.xconfig", &c));
    EXPECT_EQ(c.title, "Sample <i>exam</i>");
    EXPECT_EQ(c.timeout.value, 20);
    std::vector<std::string> names = filename_list(dir, "cat");
    ASSERT_EQ(names.size(), 3u);
    question *head = create_exam_list(create_random_list(3), 3, dir, names);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(get_unanswered_questions(head), 3);
    int n = 0;
    for (question *q = head; q; q = q->next)
        EXPECT_EQ(q->number, ++n);
    EXPECT_EQ(n, 3);
    destroy_list(head);
}
