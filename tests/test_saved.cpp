// Saved exam files: the byte layout both ways, round trips, damaged files,
// failed writes; and the name proposed for saving.
#include <glib/gstdio.h>

#include <cstring>
#include <ctime>
#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/globals.h"
#include "saved/load.h"
#include "saved/store.h"
#include "bank/buffer.h"
#include "bank/tools.h"
#include "test_util.h"

namespace {

const size_t REC = 6164;

// Three items, one of each kind: a wrong choice, a marked right pair, a
// wrong entry.
question *sample_list()
{
    question *head = make_item('S', 1, {"+Red", "-Blue", "-Green"}, "Question <b>1</b>", "Because.");
    question *m = make_item('M', 2, {"+Alpha", "+Beta", "-Gamma"}, "Question <b>2</b>", "Because.");
    question *f = make_item('F', 3, {"Paris", "paris"}, "Question <b>3</b>", "Because.");
    append_question(head, m);
    append_question(head, f);
    head->selected[1] = 1;
    m->selected[0] = m->selected[1] = m->marked = 1;
    g_strlcpy(f->entry, "Lyon", ANSWER_SIZE);
    for (question *q = head; q; q = q->next) {
        q->number = q->points;
        check_question(q);
    }
    return head;
}

// Every global a saved file touches, as one comparable text.
std::string globals_snapshot()
{
    return std::string(examname) + "|" + username + "|" + savedate + "|" + examtitle + "|" +
           std::to_string(seconds) + "|" + std::to_string(passed_time) + "|" + std::to_string(num_questions) +
           "|" + std::to_string(percentage) + "|" + std::to_string(exam_ended) + std::to_string(training) +
           std::to_string(enableTimer) + std::to_string(enableAnswer);
}

void put(std::string &file, size_t offset, const char *text, size_t len = 0)
{
    memcpy(&file[offset], text, len ? len : strlen(text));
}

class SavedFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        globals_reset();
        g_strlcpy(examdir, dir.path().c_str(), sizeof examdir);
        dir.write("net101/.xconfig", "title=Networking Basics\n");
        g_strlcpy(examname, "net101", sizeof examname);
        g_strlcpy(username, "Jane Doe", sizeof username);
        g_strlcpy(examtitle, "Stale title", sizeof examtitle);
        seconds = 1800, passed_time = 754, num_questions = 3, percentage = 70;
        exam_ended = 0, training = 1, enableTimer = 0, enableAnswer = 1;
    }
    void TearDown() override { globals_reset(); }

    // Loads as Open Exam does, the globals taking the header's values.
    question *load(const std::string &path, bool expect_ok = true)
    {
        std::string error;
        run_header header;
        question *list = load_list_file(path.c_str(), nullptr, &header, error_text(&error));
        bool ok = list != nullptr;
        EXPECT_EQ(ok, expect_ok) << path << ": " << error;
        EXPECT_EQ(error.empty(), expect_ok);
        if (ok)
            apply_header(header);
        return list;
    }

    TempDir dir;
};

} // namespace

TEST_F(SavedFile, BytesStandAtTheirOffsetsAndComeBack)
{
    question *list = sample_list();
    std::string path = dir.write("run.sav", "an older save"), error;
    // Handed the middle record, the whole list is written from its head.
    ASSERT_EQ(save_list_file(path.c_str(), list->next, header_of_run(), error_text(&error)), 4) << error;
    std::string b = read_file(path);
    ASSERT_EQ(b.size(), 24656u);
    auto text = [&](size_t offset) { return std::string(b.c_str() + offset); };
    EXPECT_EQ(b.substr(0, 2052), 'H' + std::string(2051, '\0'));
    EXPECT_EQ(text(2052) + "|" + text(2308) + "|" + text(2564) + "|" + text(2820), "net101|Jane Doe|1800|754");
    EXPECT_TRUE(g_regex_match_simple("^[01]\\d/[0-3]\\d [0-2]\\d:[0-5]\\d:[0-5]\\d$", text(3076).c_str(),
                                     (GRegexCompileFlags)0, (GRegexMatchFlags)0)) << text(3076);
    EXPECT_EQ(text(3332), "Networking Basics");   // afresh, not examtitle
    EXPECT_EQ(b.substr(5892, 7), std::string("\x03\x46\x00\x01\x00\x01\x00", 7));
    EXPECT_EQ(b.substr(REC, 4) + text(REC + 4), "S\x01\x01\xFFQuestion <b>1</b>");
    EXPECT_EQ(text(REC + 2052 + 256) + text(REC + 3844), "-BlueBecause.");
    EXPECT_EQ(b.substr(REC + 5892, 7), std::string("\0\1\0\0\0\0\0", 7));
    EXPECT_EQ(b.substr(2 * REC, 4) + b[2 * REC + 6155], "M\x02\x02\x01\x01");   // right, marked
    EXPECT_EQ(b.substr(3 * REC, 4) + text(3 * REC + 5899), "F\x03\x03\xFFLyon");
    EXPECT_EQ(b.substr(3 * REC + 6156, 8), std::string(8, '\0'));   // links

    // Whatever the state before loading, the saved one comes back.
    training = 0, enableTimer = 1, seconds = 5, passed_time = 0;
    question *back = load(path);
    EXPECT_EQ(globals_snapshot(),
              "net101|Jane Doe|" + std::string(savedate) + "|Networking Basics|1800|754|3|70|0101");
    auto images = [](question *q) {
        std::string all(RECORD_SIZE * list_length(q), '\0');
        for (unsigned char *p = (unsigned char *)&all[0]; q; q = q->next, p += RECORD_SIZE)
            record_to_image(q, p);
        return all;
    };
    EXPECT_TRUE(images(back) == images(list));
    destroy_list(back);

    // An exam whose configuration is gone still gets a title.
    g_strlcpy(examname, "gone", sizeof examname);
    ASSERT_EQ(save_list_file(path.c_str(), list, header_of_run(), error_text(&error)), 4) << error;
    destroy_list(load(path));
    EXPECT_STREQ(examtitle, "UNKNOWN");
    destroy_list(list);
}

TEST_F(SavedFile, HandMadeFileIsReadAsLaidOut)
{
    std::string f(5 * REC, '\0');
    put(f, 2052, "ccna");
    put(f, 2308, "Ann Lee");
    put(f, 2564, "95");
    put(f, 2820, "17x05");                          // not a number: passed_time stays
    put(f, 3076, "12/06 03:25:09");
    put(f, 3332, "Routing &amp; Switching");
    put(f, 5892, "\x03\x4B\x01\x00\x07\x00", 6);   // 3 items, 75 %, ended, exam mode, timer (7), no answer
    put(f, REC, "S\x0C\x01\x01Pick one");          // 12 points
    put(f, REC + 2052, "+Yes");
    f[REC + 5892] = 1;
    f[REC + 6155] = 5;                              // marked
    memset(&f[REC + 6156], 0xFF, 8);                // links mean nothing
    put(f, 2 * REC, "X\x01\x02");                   // dropped
    put(f, 3 * REC, "F\x03\x03\x85");               // item 3, impossible grade
    memset(&f[3 * REC + 4], 'a', 2048);             // unterminated text
    put(f, 3 * REC + 2052, "Paris");
    put(f, 3 * REC + 5899, "Paris");
    put(f, 4 * REC, "H\x01\x03");                   // a second header: dropped too

    // The items loaded are counted and numbered as they are shown: 1 and 2
    // of 2, not 1 and 3 of 3.
    question *s = load(dir.write("hand.sav", f));
    EXPECT_EQ(globals_snapshot(), "ccna|Ann Lee|12/06 03:25:09|Routing &amp; Switching|95|754|2|75|1010");
    ASSERT_TRUE(s && s->next);
    question *fill = s->next;
    EXPECT_EQ(s->prev, nullptr);
    EXPECT_EQ(fill->prev, s);
    EXPECT_EQ(fill->next, nullptr);
    EXPECT_EQ(std::string(&s->type, 4) + s->text, "S\x01\x01\x01Pick one");
    EXPECT_EQ(s->selected[0] + 10 * s->marked, 11);
    EXPECT_EQ(std::string(&fill->type, 4) + fill->entry, "F\x03\x02\x01Paris");   // item 2, regraded: right
    EXPECT_EQ(strlen(fill->text), 2047u);
    destroy_list(s);

    // The header's two halves alone: set_globals reads what create_header
    // writes, the title read afresh (this exam has no configuration).
    globals_reset();
    set_globals((const unsigned char *)f.data());
    EXPECT_EQ(globals_snapshot(), "ccna|Ann Lee|12/06 03:25:09|Routing &amp; Switching|95|0|3|75|1010");
    unsigned char area[RECORD_SIZE];
    create_header(area);
    globals_reset();
    set_globals(area);
    EXPECT_EQ(globals_snapshot(), "ccna|Ann Lee|" + std::string(savedate) + "|UNKNOWN|95|0|3|75|1010");

    // A time just beyond an int is no time either; the ends of an int are.
    for (const std::string t : {"-2147483649", "2147483648", "-2147483648", "2147483647"}) {
        std::string file = 'H' + std::string(REC - 1, '\0') + "S\x01\x01" + std::string(REC - 3, '\0');
        put(file, 2564, t.c_str());
        put(file, 2820, t.c_str());
        seconds = 1800, passed_time = 754;
        destroy_list(load(dir.write("times.sav", file)));
        bool in_range = t == "-2147483648" || t == "2147483647";
        EXPECT_EQ(std::to_string(seconds) + " " + std::to_string(passed_time), in_range ? t + " " + t : "1800 754")
            << t;
    }
}

TEST_F(SavedFile, DamagedFilesAreRefusedWithoutChangingAnything)
{
    std::string header = 'H' + std::string(REC - 1, '\0'), leading_out(REC, '\0');
    std::string longest = header + repeat('F' + std::string(REC - 1, '\0'), MAX_RUN_ITEMS);
    put(leading_out, 2052, "../../elsewhere");
    std::vector<std::string> paths = {
        dir.write("empty.sav", ""),
        dir.write("short.sav", header.substr(0, REC - 1)),
        dir.write("partial.sav", header + 'F' + std::string(REC - 1, '\0') + header.substr(0, 100)),
        dir.write("longer.sav", longest + longest.substr(REC, REC)),
        dir.write("outside.sav", leading_out),
        // No item to run: taking the header's settings anyway would change
        // the start form's exam behind its back.
        dir.write("header.sav", header),
        dir.write("no_items.sav", header + 'X' + std::string(REC - 1, '\0') + header),
        dir.path(),
        dir / "missing.sav",
    };
#ifndef _WIN32
    paths.push_back(dir / "fifo");   // never waits for a writer
    ASSERT_EQ(mkfifo(paths.back().c_str(), 0600), 0);
#endif
    std::string before = globals_snapshot();
    for (const std::string &path : paths) {
        EXPECT_EQ(load(path, false), nullptr);
        EXPECT_EQ(globals_snapshot(), before) << path;
    }
    question *run = load(dir.write("longest.sav", longest));   // as long as a run can be
    EXPECT_EQ(list_length(run), MAX_RUN_ITEMS);
    destroy_list(run);
    // Records that are skipped don't count against that.
    run = load(dir.write("skipped.sav", longest + 'X' + std::string(REC - 1, '\0') + header));
    EXPECT_EQ(list_length(run), MAX_RUN_ITEMS);
    destroy_list(run);
}

// What a record shows is what it is graded on: a single-choice item keeps
// one tick, a slot without a choice none; every text is UTF-8.
TEST_F(SavedFile, TicksAndTextsAreMadeConsistentOnLoading)
{
    std::string f(4 * REC, '\0');
    put(f, 2052, "net101");
    put(f, 2308, "J\xF6rg");                       // Latin-1
    put(f, 3332, "Title \xC3");                    // a cut character
    put(f, REC, "S\x01\x01\xFFPick \xFF one");
    put(f, REC + 2052, "+Red");
    put(f, REC + 2052 + 256, "-Bl\xE9ue");
    put(f, REC + 2052 + 512, "-Green");
    put(f, REC + 5892, "\x01\x00\x01\x00\x00\x01\x00", 7);   // two ticks, one on no choice
    put(f, 2 * REC, "M\x02\x02\xFF");
    put(f, 2 * REC + 2052, "+A");
    put(f, 2 * REC + 2052 + 256, "\xC3\xA9" "B");     // a marker that isn't one byte
    put(f, 2 * REC + 5892, "\x01\x00\x00\x00\x00\x00\x01", 7);
    put(f, 3 * REC, "F\x01\x03\x00");
    put(f, 3 * REC + 2052, "Z\xFCrich");
    put(f, 3 * REC + 3844, "Because \xFF");
    put(f, 3 * REC + 5899, "Z\xFCrich");
    memset(&f[3 * REC + 5899 + 200], 0xFF, 55);     // invalid up to the field's end

    question *s = load(dir.write("ticks.sav", f));
    ASSERT_EQ(list_length(s), 3);
    question *m = s->next, *fill = m->next;
    EXPECT_EQ(std::string(s->selected, 7), std::string("\1\0\0\0\0\0\0", 7));
    EXPECT_EQ(s->OK, OK_RIGHT);   // graded afresh on what is shown
    EXPECT_EQ(std::string(m->selected, 7), std::string("\1\0\0\0\0\0\0", 7));
    EXPECT_EQ(m->OK, OK_RIGHT);
    EXPECT_EQ(m->answers[1][0], '?');   // neither right nor wrong, as before
    std::vector<const char *> texts = {username, examtitle};
    for (question *q = s; q; q = q->next) {
        texts.insert(texts.end(), {q->text, q->explanation, q->entry});
        for (const char *slot : q->answers)
            texts.push_back(q->type == 'F' ? slot : slot[0] ? slot + 1 : slot);
    }
    for (const char *text : texts)
        EXPECT_TRUE(g_utf8_validate(text, -1, nullptr)) << text;
    EXPECT_STREQ(s->answers[1], "-Bl\xEF\xBF\xBDue");
    EXPECT_STREQ(username, "J\xEF\xBF\xBDrg");
    EXPECT_LT(strlen(fill->entry), (size_t)ANSWER_SIZE);
    // The same both ways, so an entry that matched still matches.
    EXPECT_EQ(std::string(fill->entry, 8), std::string(fill->answers[0], 8));
    destroy_list(s);
}

TEST_F(SavedFile, FailedWriteLeavesTheOldFileAndNoLitter)
{
    question *list = sample_list();
    // No directory to write in; a directory where the file should go.
    std::string taken = dir.mkdir("taken");
    std::vector<std::string> paths = {dir / ("missing" G_DIR_SEPARATOR_S "run.sav"), taken};
#ifndef _WIN32
    // Nor may a new file be renamed over a device or a FIFO.
    paths.insert(paths.end(), {"/dev/full", dir / "fifo"});
    ASSERT_EQ(mkfifo(paths.back().c_str(), 0600), 0);
#endif
    for (const std::string &path : paths) {
        std::string error;
        EXPECT_EQ(save_list_file(path.c_str(), list, header_of_run(), error_text(&error)), 0) << path;
        EXPECT_NE(error, "");
    }
    EXPECT_TRUE(g_file_test(taken.c_str(), G_FILE_TEST_IS_DIR));
#ifndef _WIN32
    GStatBuf st;
    ASSERT_EQ(g_stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(g_stat(paths.back().c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
#endif

    std::string old = dir.write("run.sav", "an older save");
#ifndef _WIN32
    // The disk fills up after the first record.
    struct rlimit saved, small = {10000, 10000};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    small.rlim_max = saved.rlim_max;
    void (*handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int records = save_list_file(old.c_str(), list, header_of_run(), nullptr);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, handler);
    EXPECT_EQ(records, 0);
    EXPECT_EQ(read_file(old), "an older save");
#endif
    for (const std::string &name : names_in(dir.path()))
        EXPECT_NE(name[0], '.') << "a temporary file is left: " << name;
    destroy_list(list);
}

#ifndef _WIN32
// Saving over a file keeps what the file system says about it: its mode,
// a symbolic link and its target, a second hard link; and a file the user
// can't read is still one to ask about before it is replaced.
TEST_F(SavedFile, SavesKeepTheFileAsAFileManagerWould)
{
    question *list = sample_list();
    auto mode_of = [](const std::string &path) {
        GStatBuf st;
        return g_lstat(path.c_str(), &st) == 0 ? (int)(st.st_mode & 07777) : -1;
    };
    std::string priv = dir.write("private.sav", "old"), error;
    ASSERT_EQ(g_chmod(priv.c_str(), 0600), 0);
    ASSERT_EQ(save_list_file(priv.c_str(), list, header_of_run(), error_text(&error)), 4) << error;
    EXPECT_EQ(mode_of(priv), 0600);
    EXPECT_EQ(read_file(priv).size(), 4 * REC);

    std::string target = dir.write("target.sav", "old"), link = dir / "link.sav";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(save_list_file(link.c_str(), list, header_of_run(), error_text(&error)), 4) << error;
    EXPECT_TRUE(g_file_test(link.c_str(), G_FILE_TEST_IS_SYMLINK));
    EXPECT_EQ(read_file(target).size(), 4 * REC);

    std::string first = dir.write("first.sav", "old"), second = dir / "second.sav";
    ASSERT_EQ(::link(first.c_str(), second.c_str()), 0);
    ASSERT_EQ(save_list_file(first.c_str(), list, header_of_run(), error_text(&error)), 4) << error;
    EXPECT_EQ(read_file(second).size(), 4 * REC);
    destroy_list(list);

    // Write-only to its owner. Run as root, the check runs as nobody, who
    // owns the file: root could read it anyway.
    ASSERT_EQ(g_chmod(dir.path().c_str(), 0777), 0);
    std::string unreadable = dir.write("unreadable.sav", "old");
    ASSERT_EQ(g_chmod(unreadable.c_str(), 0200), 0);
    bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(unreadable.c_str(), 65534, 65534), 0);
    }
    auto check = [&]() -> int {
        if (fileexists(unreadable.c_str()))
            return 2;   // readable after all: nothing to show
        return save_replaces_a_file(unreadable.c_str()) ? 0 : 1;
    };
    int result;
    if (root) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            _exit(setgid(65534) == 0 && setuid(65534) == 0 ? check() : 3);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        result = WEXITSTATUS(status);
    } else {
        result = check();
    }
    if (result == 2)
        GTEST_SKIP() << "the file is readable to this user";
    EXPECT_EQ(result, 0) << "a file that can't be read is replaced without asking";
    EXPECT_FALSE(save_replaces_a_file(dir.path().c_str())) << "a folder";
    EXPECT_FALSE(save_replaces_a_file((dir / "none.sav").c_str()));
}
#endif

// The date part and a long name; the save dialog's tests take the rest.
TEST(DefaultSaveName, ExamineeAndDateParts)
{
    struct tm t = {};
    t.tm_year = 2024 - 1900, t.tm_mon = 11, t.tm_mday = 6, t.tm_hour = 3, t.tm_min = 25;
    t.tm_isdst = -1;
    time_t when = mktime(&t);   // 6 December, 03:25 here
    char out[256];
    ASSERT_TRUE(default_save_name(out, sizeof out, "saves", "net101", "Jane Q Doe", when, nullptr));
    EXPECT_STREQ(out, "saves" G_DIR_SEPARATOR_S "net101_Jane_Q_Doe_12.06_03_25");
    // The examinee part is one file name: a separator in it leads nowhere.
    ASSERT_TRUE(default_save_name(out, sizeof out, "saves", "net101", "Eve/Adam" G_DIR_SEPARATOR_S "x", when, nullptr));
    EXPECT_STREQ(out, "saves" G_DIR_SEPARATOR_S "net101_Eve_Adam_x_12.06_03_25");
    // A long directory leaves less room for the examinee, cut on a character.
    std::string long_name = repeat("\xC3\xA9", 60), folder(200, 'd');   // é, two bytes
    ASSERT_TRUE(default_save_name(out, sizeof out, folder.c_str(), "net101", long_name.c_str(), when, nullptr));
    EXPECT_EQ(strlen(out), 254u);
    EXPECT_TRUE(g_str_has_suffix(out, "\xC3\xA9_12.06_03_25"));

    // Its two parts on their own.
    char part[EXAMINEE_PART_MAX + 1];
    check_name("", part, sizeof part);
    EXPECT_STREQ(part, "Unnamed");
    check_name("Ann  Lee", part, sizeof part);
    EXPECT_STREQ(part, "Ann__Lee");
    create_filename(part, sizeof part, when);
    EXPECT_STREQ(part, "_12.06_03_25");

    // Whether Save asks before replacing: a file that can be opened.
    TempDir dir;
    EXPECT_EQ(file_exists(dir.write("saved", "x").c_str()), 1);
    EXPECT_EQ(file_exists((dir / "missing").c_str()), 0);
}
