// Files that are no files: each reader refuses a directory or a FIFO in the
// place of its own file, without blocking or taking it. (What any bytes in a
// regular file do is the fuzz targets' part: their corpora replay as tests;
// saved exams are the damaged saved file test's.)
#include <glib/gstdio.h>
#include <sys/stat.h>

#include "bank/settings.h"
#include "bank/tools.h"
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

        CaptureStdout();
        EXPECT_TRUE(count_questions(question.c_str()) == -1 && !read_question(1, question.c_str()));
        std::string out = GetCapturedStdout();
        EXPECT_NE(out.find(question + ": not a regular file"), std::string::npos) << out;

        // A configuration that can't be read is one that is missing.
        std::string root_dir = place.path();
        const char *root = root_dir.c_str();
        EXPECT_EQ(getTimeout(root, ".xconfig", "exam"), 0);
        EXPECT_EQ(getPercentage(root, ".xconfig", "exam"), 0);
        EXPECT_FALSE(getExamTitle(root, ".xconfig", "exam"));
        EXPECT_EQ(getExamMessage(root, ".xconfig", "exam"), "UNKNOWN");

        CaptureStderr();
        settings_values values;
        EXPECT_FALSE(settings_find(place.path("user").c_str(), nullptr, &values));
        std::string err = GetCapturedStderr();
        EXPECT_NE(err.find(settings), std::string::npos) << err;
    }
}
