// Question files: loading, line reading, the item syntax, and the limits
// that keep over-long or broken items inside the record.
#include <gtest/gtest.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <bzlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "bank/buffer.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "test_util.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const char TWO_ITEMS[] =
    "Comment block, never shown.\n"
    "+++\n"
    "M2\n"
    "Which of these are prime numbers?\n"
    "---\n"
    "+Two\n"
    "+Three\n"
    "-Four\n"
    "---\n"
    "Four is two times two.\n"
    "+++\n"
    "F\n"
    "Name the capital of France.\n"
    "---\n"
    "Paris\n"
    "paris\n"
    "---\n"
    "Paris is the capital of France.\n"
    "+++\n";

// Item 1 of a question file made from text.
struct one_item {
    TempDir dir;
    question *q = nullptr;
    explicit one_item(const std::string &text)
    {
        write_question_file(dir / "cat01", text);
        q = read_question(1, (dir / "cat01").c_str());
    }
    ~one_item() { destroy_list(q); }
};

// A body compressed by the library itself, with the given header and key.
std::string question_file_bytes(const std::string &text, const std::string &header, int key)
{
    std::vector<char> out(text.size() + text.size() / 100 + 600);
    unsigned len = (unsigned)out.size();
    EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &len, const_cast<char *>(text.data()),
                                       (unsigned)text.size(), 9, 0, 0), BZ_OK);
    std::string bytes = header;
    for (unsigned i = 0; i < len; i++)
        bytes += (char)(out[i] ^ key);
    return bytes;
}

std::string load_output(const std::string &path, bool *loaded)
{
    CaptureStdout();
    membuf_ptr b = file2buf(path.c_str());
    *loaded = b != nullptr;
    return GetCapturedStdout();
}

} // namespace

TEST(Reader, WorkedExample)
{
    TempDir dir;
    std::string path = dir / "cat01";
    write_question_file(path, TWO_ITEMS);
    EXPECT_EQ(count_questions(path.c_str()), 2);

    question *m = read_question(1, path.c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->type, 'M');
    EXPECT_EQ(m->points, 2);
    EXPECT_STREQ(m->text, "Which of these are prime numbers?");
    EXPECT_STREQ(m->answers[0], "+Two");
    EXPECT_STREQ(m->answers[2], "-Four");
    EXPECT_STREQ(m->answers[3], "");
    EXPECT_STREQ(m->explanation, "Four is two times two.");
    EXPECT_EQ(m->number, 0);
    EXPECT_EQ(m->next, nullptr);

    question *f = read_question(2, path.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->type, 'F');
    EXPECT_EQ(f->points, 1);
    EXPECT_STREQ(f->answers[1], "paris");
    EXPECT_STREQ(f->explanation, "Paris is the capital of France.");

    EXPECT_EQ(read_question(3, path.c_str()), nullptr);
    EXPECT_EQ(read_question(0, path.c_str()), nullptr);
    destroy_list(m);
    destroy_list(f);
}

TEST(Reader, UnreadableFilesCountMinusOne)
{
    TempDir dir;
    write_question_file(dir / "none", "no separator at all\n");
    write_question_file(dir / "one", "+++\nS\nq\n---\n+a\n---\n\n");
    EXPECT_EQ(count_questions((dir / "none").c_str()), -1);
    EXPECT_EQ(count_questions((dir / "one").c_str()), 0);
    EXPECT_EQ(read_question(1, (dir / "one").c_str()), nullptr);
    CaptureStdout();
    EXPECT_EQ(count_questions((dir / "missing").c_str()), -1);
    EXPECT_EQ(read_question(1, (dir / "missing").c_str()), nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");   // a missing file says nothing
}

TEST(Reader, HeadLines)
{
    struct {
        const char *head;
        char type;
        int points;
    } cases[] = {{"S0", 'S', 1}, {"M9", 'M', 9}, {"F", 'F', 1}, {"S12", 'S', 1}, {"Fx", 'F', 1}, {"X5", 'X', 5}};
    for (const auto &c : cases) {
        one_item it(std::string("+++\n") + c.head + "\nq\n---\nanswer\n---\ne\n+++\n");
        ASSERT_NE(it.q, nullptr) << c.head;
        EXPECT_EQ(it.q->type, c.type) << c.head;
        EXPECT_EQ(it.q->points, c.points) << c.head;
    }
}

TEST(Reader, UnknownKindIsBrokenLikeChoicesAndGradesUnknown)
{
    std::string choice = "-" + std::string(85, 'x') + " tail";
    one_item it("+++\nX\nq\n---\n" + choice + "\n---\n\n+++\n");
    ASSERT_NE(it.q, nullptr);
    EXPECT_EQ(std::string(it.q->answers[0]), choice.substr(0, 79) + "\n" + choice.substr(79));
    check_question(it.q);
    EXPECT_EQ(it.q->OK, OK_UNKNOWN_TYPE);
}

TEST(Reader, ChoiceLinesBreakAtTheLastBlankWithinWidth)
{
    // 100 characters whose only blanks are the 40th and the 85th.
    std::string line(100, 'a');
    line[39] = ' ';
    line[84] = ' ';
    std::string fits = "+" + std::string(78, 'b');            // 79 + '\n' = 80
    std::string over = "+" + std::string(40, 'c') + " " + std::string(38, 'd');   // 80 + '\n'
    one_item it("+++\nM\nq\n---\n+" + line.substr(1) + "\n" + fits + "\n" + over + "\n---\n\n+++\n");
    ASSERT_NE(it.q, nullptr);
    EXPECT_EQ(std::string(it.q->answers[0]), "+" + line.substr(1, 38) + "\n" + line.substr(40));
    EXPECT_EQ(std::string(it.q->answers[1]), fits);
    EXPECT_EQ(std::string(it.q->answers[2]), "+" + std::string(40, 'c') + "\n" + std::string(38, 'd'));
}

TEST(Reader, EmptyAnswerLineUsesASlot)
{
    one_item it("+++\nS\nq\n---\n+a\n\n-b\n---\n\n+++\n");
    ASSERT_NE(it.q, nullptr);
    EXPECT_STREQ(it.q->answers[1], "");
    EXPECT_STREQ(it.q->answers[2], "-b");
    it.q->selected[0] = 1;
    check_question(it.q);
    EXPECT_EQ(it.q->OK, OK_RIGHT);
}

TEST(Reader, CarriageReturnsAreKept)
{
    one_item it("+++\r\nF\r\nline one\r\nline two\r\n---\r\nParis\r\n---\r\nwhy\r\n+++\r\n");
    ASSERT_NE(it.q, nullptr);
    EXPECT_STREQ(it.q->text, "line one\r\nline two\r");
    EXPECT_STREQ(it.q->answers[0], "Paris\r");
    EXPECT_STREQ(it.q->explanation, "why\r");
    g_strlcpy(it.q->entry, "Paris", sizeof it.q->entry);
    check_question(it.q);
    EXPECT_EQ(it.q->OK, OK_WRONG);
}

TEST(Reader, BodyMustBeScrambledAfterTenHeaderBytes)
{
    TempDir dir;
    bool loaded = true;
    write_file(dir / "plain", question_file_bytes(TWO_ITEMS, "0123456789", 0));
    EXPECT_EQ(load_output(dir / "plain", &loaded), "Decompression failed (-5)\n");
    EXPECT_FALSE(loaded);
    write_file(dir / "headerless", question_file_bytes(TWO_ITEMS, "", QUESTION_KEY));
    EXPECT_EQ(load_output(dir / "headerless", &loaded), "Decompression failed (-5)\n");
    write_file(dir / "empty", "");
    EXPECT_EQ(load_output(dir / "empty", &loaded), "Decompression failed (-7)\n");

    // Any ten header bytes serve.
    write_file(dir / "ok", question_file_bytes(TWO_ITEMS, std::string(10, '\0'), QUESTION_KEY));
    EXPECT_EQ(load_output(dir / "ok", &loaded), "");
    EXPECT_TRUE(loaded);
    EXPECT_EQ(count_questions((dir / "ok").c_str()), 2);

    std::string truncated = read_file(dir / "ok");
    write_file(dir / "short", truncated.substr(0, truncated.size() - 20));
    EXPECT_EQ(load_output(dir / "short", &loaded), "Decompression failed (-7)\n");
}

TEST(Reader, TextFarLargerThanTheFileIsRead)
{
    // 500 items compress far better than 5:1.
    std::string text;
    for (int i = 0; i < 500; i++)
        text += "+++\nS2\nWhich is the right choice of this item?\n---\n+the right one\n-a wrong one\n"
                "---\nBecause the first one is right.\n";
    text += "+++\n";
    TempDir dir;
    write_question_file(dir / "cat", text);
    ASSERT_GT(text.size(), 5 * read_file(dir / "cat").size());
    EXPECT_EQ(count_questions((dir / "cat").c_str()), 500);
    question *q = read_question(500, (dir / "cat").c_str());
    ASSERT_NE(q, nullptr);
    EXPECT_STREQ(q->answers[1], "-a wrong one");
    destroy_list(q);
}

TEST(Reader, TextOverTheCapIsRefused)
{
    TempDir dir;
    std::string text(MAX_QUESTION_TEXT + 1, '\n');
    write_file(dir / "bomb", question_file_bytes(text, "0123456789", QUESTION_KEY));
    text.clear();
    bool loaded = true;
    EXPECT_EQ(load_output(dir / "bomb", &loaded), dir / "bomb" + ": text larger than 64 MiB, not read\n");
    EXPECT_FALSE(loaded);
}

TEST(Reader, BgetsHandsOutLinesAndPieces)
{
    TempDir dir;
    write_question_file(dir / "f", "first\n0123456789\nlast");
    membuf_ptr b = file2buf((dir / "f").c_str());
    ASSERT_TRUE(b);
    char line[LINE_SIZE];
    EXPECT_STREQ(bgets(line, LINE_SIZE - 1, b.get()), "first\n");
    EXPECT_STREQ(bgets(line, 4, b.get()), "0123");
    EXPECT_STREQ(bgets(line, LINE_SIZE - 1, b.get()), "456789\n");
    EXPECT_STREQ(bgets(line, LINE_SIZE - 1, b.get()), "last");
    EXPECT_EQ(bgets(line, LINE_SIZE - 1, b.get()), nullptr);
}

TEST(Reader, FieldsAreCutAtTheirWidthOnACharacterBoundary)
{
    // "é" is two bytes: 1024 of them are 2048 bytes, one too many.
    std::string e_acute = "\xc3\xa9";
    std::string long_text;
    for (int i = 0; i < 1024; i++)
        long_text += e_acute;
    std::string long_answer = "-" + std::string(300, 'w');
    std::string text = "+++\nS\n" + long_text + "\nmore text\n---\n+a\n" + long_answer
                       + "\n-3\n-4\n-5\n-6\n-7\n-8 is one too many\n---\n" + long_text + "\n+++\n";
    one_item it(text);
    ASSERT_NE(it.q, nullptr);
    EXPECT_EQ(strlen(it.q->text), 2046u);   // not half a character
    EXPECT_EQ(strlen(it.q->explanation), 2046u);
    EXPECT_TRUE(g_utf8_validate(it.q->text, -1, nullptr));
    EXPECT_EQ(strlen(it.q->answers[1]), 255u);
    EXPECT_STREQ(it.q->answers[6], "-7");
}

TEST(Reader, SectionWithoutEndLineStopsAtTheEndOfTheText)
{
    one_item it("+++\nS\nquestion only\n+++\ntrailing\n");
    ASSERT_NE(it.q, nullptr);
    EXPECT_STREQ(it.q->text, "question only\n+++\ntrailing");
    EXPECT_STREQ(it.q->answers[0], "");
    EXPECT_STREQ(it.q->explanation, "");
}

TEST(TextHelpers, Chop)
{
    char s[16] = "ab\n\n";
    chop(s);
    EXPECT_STREQ(s, "ab\n");
    g_strlcpy(s, "ab\r", sizeof s);
    chop(s);
    EXPECT_STREQ(s, "ab\r");
    s[0] = '\0';
    chop(s);
    EXPECT_STREQ(s, "");
}

TEST(TextHelpers, LineBreakAlwaysEnds)
{
    char s[ANSWER_SIZE];
    std::string word(200, 'x');
    g_strlcpy(s, word.c_str(), sizeof s);
    line_break(s, sizeof s, 80);
    EXPECT_EQ(std::string(s), word.substr(0, 79) + "\n" + word.substr(79, 79) + "\n" + word.substr(158));

    // Characters, not bytes: 100 two-byte letters break once, whole.
    std::string greek;
    for (int i = 0; i < 100; i++)
        greek += "\xce\xb1";
    std::string broken = line_broken(greek.data(), greek.size(), 80);
    EXPECT_EQ(broken, greek.substr(0, 158) + "\n" + greek.substr(158));

    // A hard break adds a character; what no longer fits is cut whole.
    std::string full(ANSWER_SIZE - 1, 'y');
    g_strlcpy(s, full.c_str(), sizeof s);
    line_break(s, sizeof s, 80);
    EXPECT_EQ(strlen(s), (size_t)ANSWER_SIZE - 1);
    EXPECT_EQ(s[79], '\n');
}

TEST(TextHelpers, Utf8CopyCutsOnBoundary)
{
    char dst[4];
    EXPECT_EQ(utf8_strlcpy(dst, "ab\xc3\xa9", sizeof dst), 4u);
    EXPECT_STREQ(dst, "ab");
    EXPECT_EQ(utf8_strlcpy(dst, "a\xe2\x82\xac", sizeof dst), 4u);
    EXPECT_STREQ(dst, "a");
    EXPECT_EQ(utf8_strlcpy(dst, "abc", sizeof dst), 3u);
    EXPECT_STREQ(dst, "abc");
}

