// Settings files in a user directory and two system directories, read
// without a display.
#include <gtest/gtest.h>
#include <glib.h>

#include <algorithm>

#include "app/config.h"
#include "app/globals.h"
#include "bank/history.h"
#include "test_util.h"

TEST(Config, SettingsFiles)
{
    globals_reset();
    const std::string root = examdir, docs = "/home/jane/Documents";
    const std::string dir(255, 'd'), config(29, 'c'), pre(15, 'p'), home = g_get_home_dir();
    auto keys = [](const std::string &d, const std::string &c, const std::string &p) {
        return "[Trialix]\nexamdir=" + d + "\nexamconfig=" + c + "\nprefix=" + p + "\n";
    };
    struct {
        std::string user, sys1, sys2;   // "" for no file
        bool documents_known, found;
        std::string globals;            // examdir|examconfig|prefix|savedir
        int err_lines;
        const char *err_names;          // a text the lines hold; "" for none at all
    } cases[] = {
        {"", "", "", true, false, "(default)|.xconfig|cat|.", 0, ""},
        {"", "[Trialix]\nexamdir=/opt/exams\n", "", true, true, "/opt/exams|.xconfig|cat|" + docs, 0, ""},
        {"[Trialix]\nprefix=q\n", "", "", false, true, "(default)|.xconfig|q|.", 0, ""},
        // Only the first file found is read.
        {"[Trialix]\nexamdir=/home/jane/exams\n", "[Trialix]\nexamdir=/usr/share/x\nprefix=sys\n", "", true,
         true, "/home/jane/exams|.xconfig|cat|" + docs, 0, ""},
        // Files without the group, or broken, are passed over.
        {"[Other]\nexamdir=/wrong\n", "this is not a key file\n", "[Trialix]\nexamconfig=exam.cfg\n", true,
         true, "(default)|exam.cfg|cat|" + docs, 2, "sys1"},
        {"[Trialix]\nprefix=\n", "", "", true, true, "(default)|.xconfig||" + docs, 0, ""},
        // A leading ~/ is the home folder; no other ~ is.
        {"[Trialix]\nexamdir=~/my exams\n", "", "", true, true, home + "/my exams|.xconfig|cat|" + docs, 0, ""},
        {"[Trialix]\nexamdir=~\n", "", "", true, true, home + "|.xconfig|cat|" + docs, 0, ""},
        {"[Trialix]\nexamdir=~jane/exams\n", "", "", true, true, "~jane/exams|.xconfig|cat|" + docs, 0, ""},
        {"[Trialix]\nexamdir=/srv/~/exams\n", "", "", true, true, "/srv/~/exams|.xconfig|cat|" + docs, 0, ""},
        {keys(dir, config, pre), "", "", true, true, dir + "|" + config + "|" + pre + "|" + docs, 0, ""},
        // Longer than their globals: the default stays, with one line each.
        {keys(dir + "d", config + "c", pre + "p"), "", "", true, true, "(default)|.xconfig|cat|" + docs, 3,
         "examconfig"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.user + c.sys1 + c.sys2);
        TempDir dirs;
        const std::string files[] = {c.user, c.sys1, c.sys2}, names[] = {"user", "sys1", "sys2"};
        for (size_t i = 0; i < G_N_ELEMENTS(files); i++)
            if (!files[i].empty())
                dirs.write(names[i] + "/trialix/trialix.conf", files[i]);
        std::string s1 = dirs.path("sys1"), s2 = dirs.path("sys2");
        const char *system[] = {s1.c_str(), s2.c_str(), nullptr};
        globals_reset();
        testing::internal::CaptureStderr();
        EXPECT_EQ(config_xdg_load(dirs.path("user").c_str(), system, c.documents_known ? docs.c_str() : nullptr),
                  c.found);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ((examdir == root ? "(default)" : std::string(examdir)) + "|" + examconfig + "|" + prefix + "|"
                      + savedir, c.globals);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.err_lines) << err;
        // No name expected: nothing at all on standard error.
        if (*c.err_names)
            EXPECT_NE(err.find(c.err_names), std::string::npos) << err;
        else
            EXPECT_EQ(err, "");
    }
    EXPECT_FALSE(config_xdg_load(nullptr, nullptr, docs.c_str()));
    // The file scripts/run puts on XDG_CONFIG_DIRS points at the build's exams.
    const char *build[] = {TRIALIX_BUILD_XDG, nullptr};
    EXPECT_TRUE(config_xdg_load(nullptr, build, nullptr));
    EXPECT_STREQ(examdir, TRIALIX_BUILD_EXAMS);
    globals_reset();
}

// `database` names the results history's server: a service name alone, or
// a connection string as it is; without it, the examinee's own file.
TEST(Config, TheDatabaseSettingNamesAServer)
{
    struct {
        const char *file, *database;
    } cases[] = {
        {"[Trialix]\nprefix=cat\n", ""},
        {"[Trialix]\ndatabase=\n", ""},
        {"[Trialix]\ndatabase=trialix\n", "service=trialix"},
        {"[Trialix]\ndatabase=postgresql://db.school.example/trialix?sslmode=verify-full\n",
         "postgresql://db.school.example/trialix?sslmode=verify-full"},
        {"[Trialix]\ndatabase=host=/run/postgresql dbname=trialix\n", "host=/run/postgresql dbname=trialix"},
    };
    for (const auto &c : cases) {
        TempDir dirs;
        dirs.write("user/trialix/trialix.conf", c.file);
        globals_reset();
        results_database = "left over";
        EXPECT_TRUE(config_xdg_load(dirs.path("user").c_str(), nullptr, nullptr));
        EXPECT_EQ(results_database, c.database) << c.file;
    }
    struct {
        const char *where;
        bool server;
    } places[] = {
        {"/home/ann/.local/share/trialix/history.sqlite", false},
        {"C:\\Users\\Ann\\history.sqlite", false},
        {"history.sqlite", false},
        {"/tmp/a=b/history.sqlite", false},
        {"", false},
        {"5=x", false},
        {"postgresql://host/db", true},
        {"postgres:///trialix", true},
        {"service=trialix", true},
        {"  host = /run/postgresql dbname=x", true},
    };
    for (const auto &p : places)
        EXPECT_EQ(history_is_server(p.where), p.server) << p.where;
    globals_reset();
}
