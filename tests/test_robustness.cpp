// Files that are no files: each reader refuses a directory or a FIFO in the
// place of its own file, without blocking or taking it. (What any bytes in a
// regular file do is the fuzz targets' part: their corpora replay as tests;
// saved exams are the damaged saved file test's.)
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bank/buffer.h"
#include "bank/settings.h"
#include "bank/tools.h"
#include "pack_run.h"
#include "test_util.h"

using namespace testing::internal;

TEST(BadFiles, EveryReaderRefusesWhatIsNotItsFile)
{
    std::vector<std::pair<const char *, int (*)(const char *)>> kinds = {
        {"directory", [](const char *p) { return g_mkdir(p, 0700); }},
#ifndef _WIN32
        {"FIFO", [](const char *p) { return mkfifo(p, 0600); }},   // a read would wait for a writer
#endif
    };
    for (const auto &kind : kinds) {
        SCOPED_TRACE(kind.first);
        TempDir place;
        std::string question = place / "cat01";
        std::string config = place.mkdir("exam") + G_DIR_SEPARATOR_S ".xconfig";
        std::string settings =
            place.mkdir("user" G_DIR_SEPARATOR_S "trialix") + G_DIR_SEPARATOR_S "trialix.conf";
        for (const std::string &path : {question, config, settings})
            ASSERT_EQ(kind.second(path.c_str()), 0) << path;

        std::string out;
        EXPECT_EQ(count_questions(question.c_str(), error_text(&out)), -1);
        EXPECT_NE(out.find(question + ": not a regular file"), std::string::npos) << out;
        out.clear();
        EXPECT_EQ(read_question(1, question.c_str(), error_text(&out)), nullptr);
        EXPECT_NE(out.find(question + ": not a regular file"), std::string::npos) << out;

        // A configuration that can't be read is one that is missing.
        const std::string root = place.path();
        EXPECT_EQ(getTimeout(root.c_str(), ".xconfig", "exam"), 0);
        EXPECT_EQ(getPercentage(root.c_str(), ".xconfig", "exam"), 0);
        std::string title;
        EXPECT_FALSE(getExamTitle(root.c_str(), ".xconfig", "exam", &title, nullptr));
        EXPECT_EQ(getExamMessage(root.c_str(), ".xconfig", "exam"), "UNKNOWN");

        settings_values values;
        EXPECT_FALSE(settings_find(place.path("user").c_str(), nullptr, &values));
        ASSERT_EQ(values.problems.size(), 1u);
        std::string err = values.problems[0];
        EXPECT_NE(err.find(settings), std::string::npos) << err;
    }
}

// Configuration and settings files are a few lines: one far larger (here a
// sparse 64 MiB, which costs no disk) is refused, named, and not read into
// memory.
TEST(BadFiles, ConfigurationFilesHaveACap)
{
    TempDir place;
    auto huge = [](const std::string &path, const std::string &start) {
        write_file(path, start);
        ASSERT_EQ(truncate(path.c_str(), 64 << 20), 0) << path;
    };
    std::string config = place.mkdir("exam") + G_DIR_SEPARATOR_S ".xconfig";
    std::string settings = place.mkdir("user" G_DIR_SEPARATOR_S "trialix") + G_DIR_SEPARATOR_S "trialix.conf";
    huge(config, "title=Big\ntimeout=5\n");
    huge(settings, "[Trialix]\nprefix=q\n");

    exam_config read;
    gerror_ptr why;
    EXPECT_FALSE(read_named_config(place.path().c_str(), ".xconfig", "exam", &read, out_error(why)));
    EXPECT_TRUE(g_error_matches(why.get(), TRIALIX_ERROR, TRIALIX_ERROR_TOO_LARGE));
    EXPECT_NE(std::string(why->message).find("larger than 1 MiB"), std::string::npos) << why->message;
    std::string title = "(untouched)";
    EXPECT_FALSE(getExamTitle(place.path().c_str(), ".xconfig", "exam", &title, nullptr));
    EXPECT_EQ(title, "(untouched)");

    settings_values values;
    EXPECT_FALSE(settings_find(place.path("user").c_str(), nullptr, &values));
    ASSERT_EQ(values.problems.size(), 1u);
    std::string err = values.problems[0];
    EXPECT_NE(err.find(settings + ": larger than 1 MiB"), std::string::npos) << err;

    result r = run({"check", place.path("exam")});
    EXPECT_TRUE(has_line(r.out, config + ": exam configuration file can't be opened: larger than 1 MiB"))
        << r.out;

    // As large as allowed is read.
    write_file(config, "title=Big\n" + std::string(MAX_CONFIG_FILE - 10, '#'));
    title.clear();
    EXPECT_TRUE(getExamTitle(place.path().c_str(), ".xconfig", "exam", &title, nullptr));
    EXPECT_EQ(title, "Big");
}
