// Saved exam files: the byte layout both ways, round trips, damaged files,
// failed writes; and the name proposed for saving.
#include <gtest/gtest.h>
#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>
#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include "app/globals.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "bank_fixture.h"

namespace {

const size_t REC = 6164;

question *item(char type, int number, const char *text, std::vector<const char *> answers)
{
    question *q = new_question();
    q->type = type;
    q->points = (signed char)number;
    q->number = (signed char)number;
    g_strlcpy(q->text, text, sizeof q->text);
    g_strlcpy(q->explanation, "Because.", sizeof q->explanation);
    for (size_t i = 0; i < answers.size(); i++)
        g_strlcpy(q->answers[i], answers[i], ANSWER_SIZE);
    return q;
}

// Three answered items, one of each kind, the second marked for review.
question *sample_list()
{
    question *s = item('S', 1, "Pick <b>one</b>", {"+Red", "-Blue", "-Green"});
    s->selected[1] = 1;
    question *m = item('M', 2, "Pick two", {"+Alpha", "+Beta", "-Gamma"});
    m->selected[0] = m->selected[1] = 1;
    m->marked = 1;
    question *f = item('F', 3, "Capital of France?", {"Paris", "paris"});
    g_strlcpy(f->entry, "Lyon", sizeof f->entry);
    append_question(s, m);
    append_question(s, f);
    for (question *r = s; r; r = r->next)
        check_question(r);
    return s;
}

// Every global a saved file touches, as one comparable text.
std::string globals_snapshot()
{
    return std::string(examname) + "|" + username + "|" + savedate + "|" + examtitle + "|" +
           std::to_string(seconds) + "|" + std::to_string(passed_time) + "|" +
           std::to_string(num_questions) + "|" + std::to_string(percentage) + "|" +
           std::to_string(exam_ended) + std::to_string(training) + std::to_string(enableTimer) +
           std::to_string(enableAnswer);
}

std::vector<std::string> entries(const std::string &dir)
{
    std::vector<std::string> names;
    if (GDir *d = g_dir_open(dir.c_str(), 0, nullptr)) {
        while (const gchar *name = g_dir_read_name(d))
            names.emplace_back(name);
        g_dir_close(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void put(std::string &file, size_t offset, const char *text, size_t len = 0)
{
    memcpy(&file[offset], text, len ? len : strlen(text));
}

std::string make_file(const std::string &path, const std::string &bytes)
{
    write_file(path, bytes);
    return path;
}

class SavedFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        globals_reset();
        g_strlcpy(examdir, dir.path().c_str(), sizeof examdir);
        ASSERT_EQ(g_mkdir((dir / "net101").c_str(), 0755), 0);
        write_file(dir / ("net101" G_DIR_SEPARATOR_S ".xconfig"), "timeout=1800\ntitle=Networking Basics\n");
        g_strlcpy(examname, "net101", sizeof examname);
        g_strlcpy(username, "Jane Doe", sizeof username);
        g_strlcpy(examtitle, "Stale title", sizeof examtitle);
        seconds = 1800;
        passed_time = 754;
        num_questions = 3;
        percentage = 70;
        training = 1;
        enableTimer = 0;
        enableAnswer = 1;
        exam_ended = 0;
    }
    void TearDown() override { globals_reset(); }

    question *load(const std::string &path, bool expect_ok = true)
    {
        bool ok = !expect_ok;
        std::string error;
        question *list = load_list_file(path.c_str(), &ok, &error);
        EXPECT_EQ(ok, expect_ok) << path << ": " << error;
        EXPECT_EQ(error.empty(), expect_ok);
        return list;
    }

    scratch_dir dir;
};

} // namespace

TEST_F(SavedFile, WrittenBytesStandAtTheirOffsets)
{
    question *list = sample_list();
    std::string path = dir / "run.sav", error;
    // Handed the middle record, the whole list is written from its head.
    ASSERT_EQ(save_list_file(path.c_str(), list->next, &error), 4) << error;
    std::string b = read_file(path);
    ASSERT_EQ(b.size(), 24656u);
    auto text = [&](size_t offset) { return std::string(b.c_str() + offset); };

    EXPECT_EQ(b[0], 'H');
    EXPECT_EQ(text(2052), "net101");
    EXPECT_EQ(text(2308), "Jane Doe");
    EXPECT_EQ(text(2564), "1800");
    EXPECT_EQ(text(2820), "754");
    EXPECT_TRUE(g_regex_match_simple("^[01]\\d/[0-3]\\d [0-2]\\d:[0-5]\\d:[0-5]\\d$", text(3076).c_str(),
                                     (GRegexCompileFlags)0, (GRegexMatchFlags)0)) << text(3076);
    EXPECT_EQ(text(3332), "Networking Basics");   // afresh, not examtitle
    EXPECT_EQ(b.substr(5892, 7), std::string("\x03\x46\x00\x01\x00\x01\x00", 7));
    // Nothing but the fields and their texts: no stray memory in the file.
    std::string expected(REC, '\0');
    expected[0] = 'H';
    for (size_t slot = 2052; slot < 3588; slot += 256)
        put(expected, slot, b.c_str() + slot);
    put(expected, 5892, b.data() + 5892, 6);
    EXPECT_EQ(b.substr(0, REC), expected);

    EXPECT_EQ(b.substr(REC, 4), "S\x01\x01\xFF");          // ticked a wrong choice
    EXPECT_EQ(text(REC + 4), "Pick <b>one</b>");
    EXPECT_EQ(text(REC + 2052 + 256), "-Blue");
    EXPECT_EQ(b.substr(REC + 5892, 7), std::string("\0\1\0\0\0\0\0", 7));
    EXPECT_EQ(text(REC + 3844), "Because.");
    EXPECT_EQ(b.substr(2 * REC, 4), "M\x02\x02\x01");
    EXPECT_EQ(b[2 * REC + 6155], 1);                      // marked
    EXPECT_EQ(b.substr(3 * REC, 4), "F\x03\x03\xFF");
    EXPECT_EQ(text(3 * REC + 5899), "Lyon");
    EXPECT_EQ(b.substr(3 * REC + 6156, 8), std::string(8, '\0'));   // links
    destroy_list(list);
}

TEST_F(SavedFile, HandMadeFileIsReadAsLaidOut)
{
    std::string f(5 * REC, '\0');
    f[0] = 'H';
    put(f, 2052, "ccna");
    put(f, 2308, "Ann Lee");
    put(f, 2564, "95");
    put(f, 2820, "1705");
    put(f, 3076, "12/06 03:25:09");
    put(f, 3332, "Routing &amp; Switching");
    put(f, 5892, "\x02\x4B\x01\x00\x07\x00", 6);   // 2 items, 75 %, ended, exam mode, timer (7), no answer

    // An 'S' item with points out of range and a non-0/1 review mark.
    put(f, REC, "S\x0C\x01\x01");
    put(f, REC + 4, "Pick one");
    put(f, REC + 2052, "+Red");
    put(f, REC + 2052 + 256, "-Blue");
    f[REC + 5892] = 1;
    f[REC + 6155] = 5;
    memset(&f[REC + 6156], 0xFF, 8);                 // links mean nothing
    put(f, 2 * REC, "X\x01\x02\x00");                // dropped
    // A fill-in item with an impossible grade and an unterminated text.
    put(f, 3 * REC, "F\x03\x02\x85");
    memset(&f[3 * REC + 4], 'a', 2048);
    put(f, 3 * REC + 2052, "Paris");
    put(f, 3 * REC + 5899, "Paris");
    put(f, 4 * REC, "H\x01\x03\x00");                // a second header: dropped too
    std::string path = dir / "hand.sav";
    write_file(path, f);

    question *list = load(path);
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(examname, "ccna");
    EXPECT_STREQ(username, "Ann Lee");
    EXPECT_STREQ(savedate, "12/06 03:25:09");
    EXPECT_STREQ(examtitle, "Routing &amp; Switching");
    EXPECT_EQ(seconds, 95);
    EXPECT_EQ(passed_time, 1705);
    EXPECT_EQ(num_questions, 2);
    EXPECT_EQ(percentage, 75);
    EXPECT_EQ(exam_ended, 1);
    EXPECT_EQ(training, 0);
    EXPECT_EQ(enableTimer, 1);
    EXPECT_EQ(enableAnswer, 0);

    question *s = list, *fill = list->next;
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(s->prev, nullptr);
    EXPECT_EQ(fill->prev, s);
    EXPECT_EQ(fill->next, nullptr);
    EXPECT_EQ(s->type, 'S');
    EXPECT_EQ(s->points, 1);
    EXPECT_EQ(s->number, 1);
    EXPECT_EQ(s->OK, 1);
    EXPECT_STREQ(s->text, "Pick one");
    EXPECT_STREQ(s->answers[1], "-Blue");
    EXPECT_EQ(s->selected[0], 1);
    EXPECT_EQ(s->marked, 1);
    EXPECT_EQ(fill->type, 'F');
    EXPECT_EQ(fill->points, 3);
    EXPECT_EQ(fill->number, 2);
    EXPECT_EQ(fill->OK, OK_RIGHT);
    EXPECT_EQ(strlen(fill->text), 2047u);
    EXPECT_STREQ(fill->entry, "Paris");
    destroy_list(list);
}

TEST_F(SavedFile, RoundTripRestoresTheRunOverAnOldFile)
{
    question *list = sample_list();
    std::string path = make_file(dir / "run.sav", "an older save"), error;
    ASSERT_EQ(save_list_file(path.c_str(), list, &error), 4) << error;

    // Whatever the state before loading, the saved one comes back.
    training = 0;
    enableTimer = 1;
    seconds = 5;
    passed_time = 0;
    username[0] = '\0';
    question *back = load(path);
    EXPECT_EQ(training, 1);
    EXPECT_EQ(enableTimer, 0);
    EXPECT_EQ(enableAnswer, 1);
    EXPECT_EQ(seconds, 1800);
    EXPECT_EQ(passed_time, 754);
    EXPECT_STREQ(username, "Jane Doe");
    EXPECT_STREQ(examtitle, "Networking Basics");

    question *a = list, *b = back;
    for (; a && b; a = a->next, b = b->next) {
        EXPECT_EQ(b->type, a->type);
        EXPECT_EQ(b->points, a->points);
        EXPECT_EQ(b->number, a->number);
        EXPECT_EQ(b->OK, a->OK);
        EXPECT_EQ(memcmp(b->answers, a->answers, sizeof a->answers), 0);
        EXPECT_EQ(memcmp(b->selected, a->selected, sizeof a->selected), 0);
        EXPECT_STREQ(b->text, a->text);
        EXPECT_STREQ(b->explanation, a->explanation);
        EXPECT_STREQ(b->entry, a->entry);
        EXPECT_EQ(b->marked, a->marked);
        EXPECT_EQ(b->next ? b->next->prev : b, b);
    }
    EXPECT_EQ(a, b);   // same length
    destroy_list(back);

    // An exam whose configuration is gone still gets a title.
    g_strlcpy(examname, "gone", sizeof examname);
    ASSERT_EQ(save_list_file(path.c_str(), list, &error), 4) << error;
    destroy_list(load(path));
    EXPECT_STREQ(examtitle, "UNKNOWN");
    destroy_list(list);
}

TEST_F(SavedFile, HeaderAloneSetsTheGlobalsAndGivesNoList)
{
    std::string f(REC, '\0');
    put(f, 2052, "ccna");
    put(f, 2564, "600");
    put(f, 2820, "12abc");   // not a number: passed_time stays
    f[5895] = 0;
    std::string path = make_file(dir / "header.sav", f);
    EXPECT_EQ(load(path), nullptr);
    EXPECT_STREQ(examname, "ccna");
    EXPECT_EQ(seconds, 600);
    EXPECT_EQ(passed_time, 754);
    EXPECT_EQ(training, 0);
}

TEST_F(SavedFile, DamagedFilesAreRefusedWithoutChangingAnything)
{
    std::string header(REC, '\0');
    put(header, 2052, "ccna");
    std::string leading_out = header;
    put(leading_out, 2052, "../../elsewhere");
    const std::vector<std::string> paths = {
        make_file(dir / "empty.sav", ""),
        make_file(dir / "short.sav", header.substr(0, REC - 1)),
        make_file(dir / "partial.sav", header + header.substr(0, 100)),
        make_file(dir / "outside.sav", leading_out),
        dir.path(),
        dir / "missing.sav",
    };
    std::string before = globals_snapshot();
    for (const std::string &path : paths) {
        EXPECT_EQ(load(path, false), nullptr);
        EXPECT_EQ(globals_snapshot(), before) << path;
    }
}

TEST_F(SavedFile, FailedWriteLeavesTheOldFileAndNoLitter)
{
    question *list = sample_list();
    std::string error;
    std::string missing = dir / ("missing" G_DIR_SEPARATOR_S "run.sav");
    EXPECT_EQ(save_list_file(missing.c_str(), list, &error), 0);
    EXPECT_NE(error, "");

    // A directory where the file should go: the rename fails.
    error.clear();
    std::string taken = dir / "taken";
    ASSERT_EQ(g_mkdir(taken.c_str(), 0755), 0);
    EXPECT_EQ(save_list_file(taken.c_str(), list, &error), 0);
    EXPECT_NE(error, "");
    EXPECT_TRUE(g_file_test(taken.c_str(), G_FILE_TEST_IS_DIR));

    std::string old = make_file(dir / "run.sav", "an older save");
#ifndef _WIN32
    // The disk fills up after the first record.
    struct rlimit saved, small = {10000, 10000};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    small.rlim_max = saved.rlim_max;
    void (*handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int records = save_list_file(old.c_str(), list, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, handler);
    EXPECT_EQ(records, 0);
    EXPECT_EQ(read_file(old), "an older save");
#endif
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"net101", "run.sav", "taken"}));
    destroy_list(list);
}

TEST(DefaultSaveName, ExamineeAndDateParts)
{
    struct tm t = {};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_hour = 3;
    t.tm_min = 25;
    t.tm_isdst = -1;
    time_t when = mktime(&t);
    char out[256];
    ASSERT_TRUE(default_save_name(out, sizeof out, "saves", "net101", "Jane Q Doe", when));
    EXPECT_STREQ(out, "saves" G_DIR_SEPARATOR_S "net101_Jane_Q_Doe_12.06_03_25");
    ASSERT_TRUE(default_save_name(out, sizeof out, "saves" G_DIR_SEPARATOR_S, "net101", "", when));
    EXPECT_STREQ(out, "saves" G_DIR_SEPARATOR_S "net101_Unnamed_12.06_03_25");

    char part[256];
    check_name("a\tb/c d", part, sizeof part);
    EXPECT_STREQ(part, "a\tb/c_d");
    std::string long_name;
    for (int i = 0; i < 60; i++)
        long_name += "\xC3\xA9";   // é, two bytes
    check_name(long_name.c_str(), part, sizeof part);
    EXPECT_EQ(strlen(part), 78u);  // 79 would split a character
    EXPECT_TRUE(g_utf8_validate(part, -1, nullptr));

    // A long directory leaves less room for the examinee, never none.
    std::string dir200(200, 'd');
    ASSERT_TRUE(default_save_name(out, sizeof out, dir200.c_str(), "net101", long_name.c_str(), when));
    EXPECT_EQ(strlen(out), 254u);
    EXPECT_TRUE(g_str_has_suffix(out, "_12.06_03_25"));
    EXPECT_TRUE(g_utf8_validate(out, -1, nullptr));
    std::string dir240(240, 'd');
    EXPECT_FALSE(default_save_name(out, sizeof out, dir240.c_str(), "net101", "Jo", when));
    EXPECT_STREQ(out, "");
}
