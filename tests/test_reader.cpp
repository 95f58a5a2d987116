// Question files: loading, the item syntax, and the limits that keep
// over-long or broken items inside the record.
#include <bzlib.h>

#include <cstring>

#include "bank/buffer.h"
#include "bank/tools.h"
#include "test_util.h"

using namespace testing::internal;

namespace {

const char TWO_ITEMS[] = "Comment block, never shown.\n"
                         "+++\nM2\nWhich of these are prime numbers?\n---\n+Two\n+Three\n-Four\n"
                         "---\nFour is two times two.\n"
                         "+++\nF\nName the capital of France.\n---\nParis\nparis\n"
                         "---\nParis is the capital of France.\n+++\n";

// Item 1 of a question file made from text.
struct one_item {
    TempDir dir;
    question *q = nullptr;
    explicit one_item(const std::string &text)
    {
        write_question_file(dir / "cat01", text);
        q = read_question(1, (dir / "cat01").c_str(), nullptr);
    }
    ~one_item() { destroy_list(q); }
};

// Kind and points, text, the seven slots and the explanation, '|' between.
std::string fields(const question *q)
{
    std::string s = q->type + std::to_string(q->points) + "|" + q->text;
    for (const auto &a : q->answers)
        s += std::string("|") + a;
    return s + "|" + q->explanation;
}

// A body compressed by the library itself, with the given header, key and
// block size (our packer always takes the largest).
std::string question_file_bytes(const std::string &text, const std::string &header, int key,
                                int block100k = 9)
{
    std::vector<char> out(text.size() + text.size() / 100 + 600);
    unsigned len = (unsigned)out.size();
    EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &len, const_cast<char *>(text.data()),
                                       (unsigned)text.size(), block100k, 0, 0), BZ_OK);
    std::string bytes = header;
    for (unsigned i = 0; i < len; i++)
        bytes += (char)(out[i] ^ key);
    return bytes;
}

// The line a caller shows for a failed load, and "(loaded)" when it loaded.
std::string load_output(const std::string &path)
{
    gerror_ptr error;
    bool loaded = file2buf(path.c_str(), out_error(error)) != nullptr;
    EXPECT_EQ(loaded, !error) << path;
    return (load_error_is_shown(error.get()) ? std::string(error->message) + "\n" : "") +
           (loaded ? "(loaded)" : "");
}

// Item n of the question file at `path`, as fields() shows it; "(none)"
// when there is none.
std::string item_at(const std::string &path, int n)
{
    question *q = read_question(n, path.c_str(), nullptr);
    std::string s = q ? fields(q) : "(none)";
    destroy_list(q);
    return s;
}

} // namespace

TEST(Reader, ItemSyntax)
{
    // 100 characters whose only blanks are the 40th and the 85th; a line
    // that just fits (79 + '\n') and one just over it.
    std::string blanks(99, 'a');
    blanks[38] = blanks[83] = ' ';
    std::string fits = "+" + std::string(78, 'b');
    std::string over = "+" + std::string(40, 'c') + " " + std::string(38, 'd');
    std::string unknown = "-" + std::string(85, 'x') + " tail";
    struct {
        std::string text, fields;
    } cases[] = {
        {"+++\nS0\nq\n---\na\n---\ne\n+++\n", "S1|q|a|||||||e"},
        {"+++\nM9\nq\n---\na\n---\ne\n+++\n", "M9|q|a|||||||e"},
        {"+++\nS12\nq\n---\na\n---\ne\n+++\n", "S1|q|a|||||||e"},
        {"+++\nFx\nq\n---\na\n---\ne\n+++\n", "F1|q|a|||||||e"},
        {"+++\nX5\nq\n---\na\n---\ne\n+++\n", "X5|q|a|||||||e"},
        {"+++\nM\nq\n---\n+" + blanks + "\n" + fits + "\n" + over + "\n---\n\n+++\n",
         "M1|q|+" + blanks.substr(0, 38) + "\n" + blanks.substr(39) + "|" + fits + "|+" + std::string(40, 'c')
             + "\n" + std::string(38, 'd') + "|||||"},
        // An unknown kind's lines are broken like choices.
        {"+++\nX\nq\n---\n" + unknown + "\n---\n\n+++\n",
         "X1|q|" + unknown.substr(0, 79) + "\n" + unknown.substr(79) + "|||||||"},
        {"+++\nS\nq\n---\n+a\n\n-b\n---\n\n+++\n", "S1|q|+a||-b|||||"},
        {"+++\r\nF\r\nline one\r\nline two\r\n---\r\nParis\r\n---\r\nwhy\r\n+++\r\n",
         "F1|line one\r\nline two\r|Paris\r|||||||why\r"},
        {"+++\nS\nquestion only\n+++\ntrailing\n", "S1|question only\n+++\ntrailing||||||||"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        one_item it(c.text);
        ASSERT_NE(it.q, nullptr);
        EXPECT_EQ(fields(it.q), c.fields);
    }
    // An empty answer slot takes no part in grading; a kept '\r' does.
    one_item empty_slot(cases[7].text), crlf(cases[8].text), x(cases[6].text);
    empty_slot.q->selected[0] = 1;
    g_strlcpy(crlf.q->entry, "Paris", sizeof crlf.q->entry);
    for (question *q : {empty_slot.q, crlf.q, x.q})
        check_question(q);
    EXPECT_EQ(empty_slot.q->OK, OK_RIGHT);
    EXPECT_EQ(crlf.q->OK, OK_WRONG);
    EXPECT_EQ(x.q->OK, OK_UNKNOWN_TYPE);
}

TEST(Reader, FieldsAreCutAtTheirWidthOnACharacterBoundary)
{
    // "é" is two bytes: 1024 of them are 2048 bytes, one too many.
    std::string long_text = repeat("\xc3\xa9", 1024);
    std::string text = "+++\nS\n" + long_text + "\nmore text\n---\n+a\n-" + std::string(300, 'w')
                       + "\n-3\n-4\n-5\n-6\n-7\n-8 is one too many\n---\n" + long_text + "\n+++\n";
    one_item it(text);
    ASSERT_NE(it.q, nullptr);
    EXPECT_EQ(strlen(it.q->text), 2046u);   // not half a character
    EXPECT_EQ(strlen(it.q->explanation), 2046u);
    EXPECT_EQ(strlen(it.q->answers[1]), 255u);
    EXPECT_STREQ(it.q->answers[6], "-7");
}

// Every width a character can have, cut at every byte: the longest whole
// prefix, never part of a character.
TEST(Reader, CutsKeepWholeCharactersOfEveryWidth)
{
    for (const std::string ch : {"a", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"}) {
        const std::string s = "ab" + repeat(ch, 3);
        for (size_t max = 0; max <= s.size(); max++) {
            size_t n = utf8_cut(s.data(), s.size(), max);
            size_t whole = max < 2 ? max : 2 + (max - 2) / ch.size() * ch.size();
            EXPECT_EQ(n, whole) << ch.size() << "-byte characters cut at " << max;
        }
    }
}

TEST(Reader, FilesAndTheirItems)
{
    // The body must be scrambled, after any ten header bytes.
    TempDir dir;
    write_file(dir / "plain", question_file_bytes(TWO_ITEMS, "0123456789", 0));
    write_file(dir / "headerless", question_file_bytes(TWO_ITEMS, "", QUESTION_KEY));
    write_file(dir / "empty", "");
    std::string ok = question_file_bytes(TWO_ITEMS, std::string(10, '\0'), QUESTION_KEY);
    write_file(dir / "ok", ok);
    write_file(dir / "short", ok.substr(0, ok.size() - 20));
    EXPECT_EQ(load_output(dir / "plain"), "Decompression failed (-5)\n");
    EXPECT_EQ(load_output(dir / "headerless"), "Decompression failed (-5)\n");
    EXPECT_EQ(load_output(dir / "empty"), "Decompression failed (-7)\n");
    EXPECT_EQ(load_output(dir / "short"), "Decompression failed (-7)\n");
    EXPECT_EQ(load_output(dir / "ok"), "(loaded)");

    std::string path = dir / "ok";
    EXPECT_EQ(count_questions(path.c_str(), nullptr), 2);
    EXPECT_EQ(item_at(path, 0) + item_at(path, 1) + "\n" + item_at(path, 2) + item_at(path, 3),
              "(none)M2|Which of these are prime numbers?|+Two|+Three|-Four|||||Four is two times two.\n"
              "F1|Name the capital of France.|Paris|paris||||||Paris is the capital of France.(none)");

    // Files without items; a missing file says nothing.
    write_question_file(dir / "none", "no separator at all\n");
    write_question_file(dir / "one", "+++\nS\nq\n---\n+a\n---\n\n");
    EXPECT_EQ(count_questions((dir / "none").c_str(), nullptr), -1);
    EXPECT_EQ(count_questions((dir / "one").c_str(), nullptr), 0);
    gerror_ptr missing;
    EXPECT_EQ(count_questions((dir / "missing").c_str(), out_error(missing)), -1);
    EXPECT_FALSE(load_error_is_shown(missing.get()));
    EXPECT_EQ(item_at(dir / "one", 1) + item_at(dir / "missing", 1), "(none)(none)");

    // Text far over five times the file (and over the loader's first guess
    // of the text's size) is read; text over the cap is not.
    std::string text = repeat("+++\nS2\nWhich is the right choice of this item?\n---\n+the right one\n"
                              "-a wrong one\n---\nBecause the first one is right.\n", 1000);
    write_question_file(dir / "cat", text + "+++\n");
    ASSERT_GT(text.size(), 65536 + 12 * read_file(dir / "cat").size());
    EXPECT_EQ(count_questions((dir / "cat").c_str(), nullptr), 1000);
    EXPECT_EQ(item_at(dir / "cat", 1000), "S2|Which is the right choice of this item?|+the right one|"
                                          "-a wrong one||||||Because the first one is right.");

    // One loader reading file after file, as the assembly of a run does,
    // keeping its memory: each comes out as it does alone, whatever came before.
    write_file(dir / "blocks", question_file_bytes(text, "0123456789", QUESTION_KEY, 1));
    question_loader loader;
    for (const char *name : {"blocks", "ok", "cat", "plain", "missing", "blocks", "cat", "ok"}) {
        bool loaded = loader.load((dir / name).c_str(), nullptr);
        membuf_ptr alone = file2buf((dir / name).c_str(), nullptr);
        EXPECT_EQ(loaded ? std::string(loader.text(), loader.size()) : "(not loaded)",
                  alone ? std::string(alone->data, alone->size) : "(not loaded)") << name;
    }

    write_file(dir / "bomb", question_file_bytes(std::string(MAX_QUESTION_TEXT + 1, '\n'), "0123456789",
                                                 QUESTION_KEY));
    EXPECT_EQ(load_output(dir / "bomb"), dir / "bomb" + ": text larger than 64 MiB, not read\n");
}

TEST(Reader, SmallFileAndLineHelpers)
{
    char line[] = "one\n\n";
    chop(line);
    EXPECT_STREQ(line, "one\n");
    chop(line);
    chop(line);
    EXPECT_STREQ(line, "one");
    TempDir dir;
    EXPECT_EQ(filesize(dir.write("five", "12345").c_str(), nullptr), 5);
    EXPECT_EQ(filesize(dir.write("none", "").c_str(), nullptr), 0);
    EXPECT_EQ(filesize((dir / "missing").c_str(), nullptr), -1);
    EXPECT_EQ(fileexists(dir.write("here", "x").c_str()), 1);
    EXPECT_EQ(fileexists((dir / "missing").c_str()), 0);

    // bgets hands out lines with their '\n', a long one in pieces of max.
    char text[] = "one\nlonger line\nlast";
    membuf b{text, sizeof text - 1, text, text + sizeof text - 1};
    char piece[8];
    std::string got;
    while (bgets(piece, 7, &b))
        got += std::string(piece) + "|";
    EXPECT_EQ(got, "one\n|longer |line\n|last|");
}

// One format for every time span shown: the countdown, the score's
// time, the history, the copies left behind.
TEST(Reader, TimeSpansAreMinutesAndTwoDigitSeconds)
{
    const struct {
        int seconds;
        const char *shown;
    } cases[] = {{0, "0:00"}, {5, "0:05"}, {59, "0:59"}, {60, "1:00"}, {125, "2:05"},
                 {2700, "45:00"}, {6001, "100:01"}};
    for (const auto &c : cases)
        EXPECT_EQ(minutes_seconds(c.seconds), c.shown) << c.seconds;
}

TEST(LineBreak, AlwaysEndsAndCountsCharacters)
{
    char s[ANSWER_SIZE];
    std::string word(160, 'x');   // one hard break leaves 81: one too many for a line
    g_strlcpy(s, word.c_str(), sizeof s);
    line_break(s, sizeof s, 80);
    EXPECT_EQ(std::string(s), word.substr(0, 79) + "\n" + word.substr(79, 79) + "\n" + word.substr(158));

    // 100 two-byte letters break once, whole.
    std::string greek = repeat("\xce\xb1", 100);
    EXPECT_EQ(line_broken(greek.data(), greek.size(), 80), greek.substr(0, 158) + "\n" + greek.substr(158));

    // A hard break adds a character; what no longer fits is cut whole.
    g_strlcpy(s, std::string(ANSWER_SIZE - 1, 'y').c_str(), sizeof s);
    line_break(s, sizeof s, 80);
    EXPECT_EQ(strlen(s), (size_t)ANSWER_SIZE - 1);
    EXPECT_EQ(s[79], '\n');
}
