#include <gtest/gtest.h>

#include <algorithm>

#include "app/config.h"
#include "app/globals.h"
#include "test_util.h"

// Settings files in a user directory and two system directories, read
// without a display.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override { globals_reset(); }
    void TearDown() override { globals_reset(); }

    std::string user() const { return dirs.path("user"); }
    void write_user(const std::string &text) const { dirs.write("user/trialix/trialix.conf", text); }
    void write_system(int n, const std::string &text) const
    {
        dirs.write("sys" + std::to_string(n) + "/trialix/trialix.conf", text);
    }
    bool load(const char *documents = "/home/jane/Documents")
    {
        std::string s1 = dirs.path("sys1"), s2 = dirs.path("sys2");
        const char *system[] = {s1.c_str(), s2.c_str(), nullptr};
        return config_xdg_load(user().c_str(), system, documents);
    }
    TempDir dirs;
};

TEST_F(ConfigTest, NoSettingsFileKeepsEveryDefault)
{
    char root[PATH_SIZE];
    g_strlcpy(root, examdir, sizeof root);
    EXPECT_FALSE(load());
    EXPECT_STREQ(examdir, root);
    EXPECT_STREQ(examconfig, ".xconfig");
    EXPECT_STREQ(prefix, "cat");
    EXPECT_STREQ(savedir, ".");
    EXPECT_FALSE(config_xdg_load(nullptr, nullptr, "/home/jane/Documents"));
}

TEST_F(ConfigTest, FileWithOnlyExamdir)
{
    write_system(1, "[Trialix]\nexamdir=/opt/exams\n");
    EXPECT_TRUE(load());
    EXPECT_STREQ(examdir, "/opt/exams");
    EXPECT_STREQ(examconfig, ".xconfig");
    EXPECT_STREQ(prefix, "cat");
    EXPECT_STREQ(savedir, "/home/jane/Documents");
}

TEST_F(ConfigTest, UnknownDocumentsFolderLeavesSavedirCurrent)
{
    write_user("[Trialix]\nprefix=q\n");
    EXPECT_TRUE(load(nullptr));
    EXPECT_STREQ(prefix, "q");
    EXPECT_STREQ(savedir, ".");
}

TEST_F(ConfigTest, UserFileWinsOverSystemFiles)
{
    write_user("[Trialix]\nexamdir=/home/jane/exams\n");
    write_system(1, "[Trialix]\nexamdir=/usr/share/x\nprefix=sys\n");
    EXPECT_TRUE(load());
    EXPECT_STREQ(examdir, "/home/jane/exams");
    EXPECT_STREQ(prefix, "cat") << "only the first file found is read";
}

TEST_F(ConfigTest, FilesWithoutTheGroupOrBrokenArePassedOver)
{
    write_user("[Other]\nexamdir=/wrong\n");
    write_system(1, "this is not a key file\n");
    write_system(2, "[Trialix]\nexamconfig=exam.cfg\n");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(load());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_STREQ(examconfig, "exam.cfg");
    EXPECT_NE(err.find(dirs.path("sys1")), std::string::npos) << err;
}

TEST_F(ConfigTest, EmptyValueReplacesTheDefault)
{
    write_user("[Trialix]\nprefix=\n");
    EXPECT_TRUE(load());
    EXPECT_STREQ(prefix, "");
}

TEST_F(ConfigTest, ValuesUpToTheirWidthAreTaken)
{
    std::string dir(255, 'd'), config(29, 'c'), pre(15, 'p');
    write_user("[Trialix]\nexamdir=" + dir + "\nexamconfig=" + config + "\nprefix=" + pre + "\n");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(load());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(examdir, dir);
    EXPECT_EQ(examconfig, config);
    EXPECT_EQ(prefix, pre);
}

TEST_F(ConfigTest, LongerValuesKeepTheDefaultWithOneLineEach)
{
    char root[PATH_SIZE];
    g_strlcpy(root, examdir, sizeof root);
    std::string dir(256, 'd'), config(30, 'c'), pre(16, 'p');
    write_user("[Trialix]\nexamdir=" + dir + "\nexamconfig=" + config + "\nprefix=" + pre + "\n");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(load());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_STREQ(examdir, root);
    EXPECT_STREQ(examconfig, ".xconfig");
    EXPECT_STREQ(prefix, "cat");
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 3) << err;
    EXPECT_NE(err.find("examconfig"), std::string::npos);
}

TEST_F(ConfigTest, BuildTreeSettingsFilePointsAtTheBuildsExams)
{
    // The file scripts/run puts on XDG_CONFIG_DIRS.
    const char *system[] = {TRIALIX_BUILD_XDG, nullptr};
    EXPECT_TRUE(config_xdg_load(nullptr, system, nullptr));
    EXPECT_STREQ(examdir, TRIALIX_BUILD_EXAMS);
}
