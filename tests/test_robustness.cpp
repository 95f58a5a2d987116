// Files that are not what their reader expects: each reader refuses them
// without blocking, crashing or changing anything it shouldn't.
#include <gtest/gtest.h>
#include <glib.h>
#include <glib/gstdio.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <sys/types.h>
#endif

#include <functional>

#include "app/config.h"
#include "app/globals.h"
#include "bank/buffer.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "test_util.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

class BadFiles : public ::testing::Test {
protected:
    void SetUp() override { globals_reset(); }
    void TearDown() override { globals_reset(); }
    TempDir dir;
};

// Every reader meets the same bad files in the place of its own: none of
// them may block (a FIFO without a writer), crash, or take the file.
TEST_F(BadFiles, EveryReaderRefusesWhatIsNotItsFile)
{
    struct Kind {
        const char *name;
        std::function<bool(const std::string &)> make;
        bool opens;   // a file the readers can open (then only its content is wrong)
    };
    const Kind kinds[] = {
        {"directory", [](const std::string &p) { return g_mkdir(p.c_str(), 0700) == 0; }, false},
#ifndef _WIN32
        {"FIFO", [](const std::string &p) { return mkfifo(p.c_str(), 0600) == 0; }, false},
#endif
        {"empty file", [](const std::string &p) { return g_file_set_contents(p.c_str(), "", 0, nullptr); }, true},
        {"random bytes", [](const std::string &p) {
             std::string bytes;
             for (int i = 0; i < 3000; i++)
                 bytes += (char)((i * 7919 + i / 13) & 0xFF);
             return (bool)g_file_set_contents(p.c_str(), bytes.data(), (gssize)bytes.size(), nullptr);
         }, true},
    };
    g_strlcpy(examdir, dir.path().c_str(), sizeof examdir);
    for (const Kind &k : kinds) {
        SCOPED_TRACE(k.name);
        TempDir place;
        std::string question = place / "cat01", saved = place / "run.sav";
        ASSERT_TRUE(k.make(question) && k.make(saved));
        g_mkdir_with_parents((place / "user" G_DIR_SEPARATOR_S "trialix").c_str(), 0700);
        ASSERT_TRUE(k.make(place / "user" G_DIR_SEPARATOR_S "trialix" G_DIR_SEPARATOR_S "trialix.conf"));
        g_mkdir((dir / "exam").c_str(), 0700);
        std::string config = dir / "exam" G_DIR_SEPARATOR_S ".xconfig";
        ASSERT_TRUE(k.make(config));

        CaptureStdout();
        EXPECT_EQ(count_questions(question.c_str()), -1);
        EXPECT_EQ(read_question(1, question.c_str()), nullptr);
        std::string out = GetCapturedStdout();
        EXPECT_NE(out.find(k.opens ? "Decompression failed (" : ": not a regular file"),
                  std::string::npos) << out;

        // A configuration that can't be read is one that is missing.
        EXPECT_EQ(getTimeout("exam"), 0);
        EXPECT_EQ(getExamTitle("exam"), k.opens ? std::optional<std::string>("UNKNOWN") : std::nullopt);
        EXPECT_EQ(getExamMessage("exam"), k.opens ? "" : "UNKNOWN");

        CaptureStderr();
        EXPECT_FALSE(config_xdg_load((place / "user").c_str(), nullptr, "/home/jane/Documents"));
        std::string err = GetCapturedStderr();
        EXPECT_NE(err.find(place.path()), std::string::npos) << err;
        EXPECT_STREQ(prefix, "cat");

        bool ok = true;
        std::string why;
        EXPECT_EQ(load_list_file(saved.c_str(), &ok, &why), nullptr);
        EXPECT_FALSE(ok) << why;
        g_remove(config.c_str());
    }
}

TEST_F(BadFiles, SavedExamLongerThanAnyRunIsRefused)
{
    std::string header(RECORD_SIZE, '\0'), item(RECORD_SIZE, '\0');
    header[IMAGE_TYPE] = 'H';
    item[IMAGE_TYPE] = 'F';
    std::string longest = header, longer;
    for (int i = 0; i < MAX_RUN_ITEMS; i++)
        longest += item;
    longer = longest + item;
    write_file(dir / "longest.sav", longest);
    write_file(dir / "longer.sav", longer);
    bool ok = false;
    std::string why;
    question *list = load_list_file((dir / "longest.sav").c_str(), &ok, &why);
    EXPECT_TRUE(ok) << why;
    EXPECT_EQ(list_length(list), MAX_RUN_ITEMS);
    destroy_list(list);
    EXPECT_EQ(load_list_file((dir / "longer.sav").c_str(), &ok, &why), nullptr);
    EXPECT_FALSE(ok);
    EXPECT_NE(why.find("at most 127 items"), std::string::npos) << why;
}

#ifndef _WIN32
// Saving renames a new file over the old one; that must never put a plain
// file in the place of a device or a FIFO, nor report success.
TEST_F(BadFiles, SavingNeverReplacesADeviceOrFifo)
{
    question *q = new_question();
    q->type = 'S';
    std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &path : {std::string("/dev/full"), fifo}) {
        std::string why;
        EXPECT_EQ(save_list_file(path.c_str(), q, &why), 0) << path;
        EXPECT_EQ(why, path + ": not a regular file");
    }
    GStatBuf st;
    ASSERT_EQ(g_stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(g_stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    destroy_list(q);
}
#endif

// An exam root or exam directory that is a file holds no question files;
// files that go between listing and reading are left out of the run.
TEST_F(BadFiles, ExamDirectoryThatIsAFileOrChangesUnderTheRun)
{
    write_file(dir / "root", "a file, not a directory");
    EXPECT_EQ(count_files((dir / "root").c_str(), "cat"), 0);
    EXPECT_TRUE(filename_list((dir / "root").c_str(), "cat").empty());

    write_question_file(dir / "cat1", "+++\nF\nOne?\n---\none\n---\n\n+++\n");
    write_question_file(dir / "cat2", "+++\nF\nTwo?\n---\ntwo\n---\n\n+++\n");
    std::vector<std::string> names = filename_list(dir.path().c_str(), "cat");
    ASSERT_EQ(names.size(), 2u);
    g_remove((dir / "cat2").c_str());
    // An order drawn for more files than were listed names none twice.
    CaptureStderr();
    question *run = create_exam_list({2, 1, 0}, 3, dir.path().c_str(), {"cat1", "cat2"});
    std::string err = GetCapturedStderr();
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(list_length(run), 1);
    EXPECT_STREQ(run->text, "One?");
    EXPECT_EQ(run->number, 1);
    EXPECT_NE(err.find("cat2"), std::string::npos) << err;
    destroy_list(run);
}
