// The recovery folder: slots of running programs, copies of programs that
// are gone, and keeping a copy aside without ever replacing a file.
#include <glib/gstdio.h>

#include "bank/recovery.h"
#include "test_util.h"

TEST(RecoveryFiles, HeldSlotsAreNeverOfferedAndGoneOnesAreNewestFirst)
{
    TempDir dir;
    std::string folder = dir / "state/trialix/recovery", error;
    recovery_slot a, b, c;
    // The folder is made by the first claim.
    ASSERT_TRUE(recovery_claim(folder, &a, &error)) << error;
    ASSERT_TRUE(recovery_claim(folder, &b, &error)) << error;
    ASSERT_TRUE(recovery_claim(folder, &c, &error)) << error;
    EXPECT_NE(a.copy, b.copy);
    EXPECT_TRUE(g_str_has_suffix(a.copy.c_str(), ".trx"));
    EXPECT_TRUE(g_str_has_suffix(a.lock.c_str(), ".lock"));
    for (recovery_slot *s : {&a, &b})
        write_file(s->copy, "copy");
    ASSERT_TRUE(set_file_age(a.copy, 300));
    ASSERT_TRUE(set_file_age(b.copy, 60));
    EXPECT_TRUE(recovery_find_left(folder).empty());

    // a and b are let go (their program ended); c never wrote a copy.
    recovery_release(&a);
    recovery_release(&b);
    std::vector<recovery_slot> left = recovery_find_left(folder);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].copy, b.copy);
    EXPECT_EQ(left[1].copy, a.copy);
    // Found copies are held by whoever found them.
    EXPECT_TRUE(recovery_find_left(folder).empty());
    recovery_discard(&left[0]);
    EXPECT_FALSE(g_file_test(b.copy.c_str(), G_FILE_TEST_EXISTS));
    EXPECT_FALSE(g_file_test(b.lock.c_str(), G_FILE_TEST_EXISTS));
    recovery_release(&left[1]);

    // A lock file left without a copy goes; one still held stays.
    recovery_release(&c);
    recovery_slot d;
    ASSERT_TRUE(recovery_claim(folder, &d, &error)) << error;
    left = recovery_find_left(folder);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(g_file_test(c.lock.c_str(), G_FILE_TEST_EXISTS));
    EXPECT_TRUE(g_file_test(d.lock.c_str(), G_FILE_TEST_EXISTS));
    recovery_discard(&left[0]);
    recovery_discard(&d);
}

TEST(RecoveryFiles, ACopyWithoutALockFileIsOfferedAndAClaimIsRefusedWhereNoFolderCanBe)
{
    TempDir dir;
    std::string copy = dir.write("run-7-abcdef.trx", "copy");
    dir.write("notes.txt", "not ours");
    std::vector<recovery_slot> left = recovery_find_left(dir.path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].copy, copy);
    recovery_release(&left[0]);

    std::string error;
    recovery_slot s;
    dir.write("file", "x");
    EXPECT_FALSE(recovery_claim(dir / "file/recovery", &s, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(s.fd, -1);
}

TEST(RecoveryFiles, SettingAsideNeverReplacesAFileAndKeepsTheCopyOnFailure)
{
    TempDir dir;
    std::string saves = dir.mkdir("saves"), error;
    write_file(saves + "/exam_Kim_01.02_03_04", "older save");
    std::string from = dir.write("recovery/run-1-aaaaaa.trx", std::string("copy\0bytes", 10));
    std::string kept = recovery_set_aside(from.c_str(), saves.c_str(), "exam_Kim_01.02_03_04", &error);
    EXPECT_EQ(kept, native(saves + "/exam_Kim_01.02_03_04-2")) << error;
    EXPECT_EQ(read_file(kept), std::string("copy\0bytes", 10));
    EXPECT_EQ(read_file(saves + "/exam_Kim_01.02_03_04"), "older save");
    EXPECT_FALSE(g_file_test(from.c_str(), G_FILE_TEST_EXISTS));

    from = dir.write("recovery/run-1-bbbbbb.trx", "second");
    kept = recovery_set_aside(from.c_str(), (dir / "missing").c_str(), "exam", &error);
    EXPECT_EQ(kept, "");
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    EXPECT_EQ(read_file(from), "second");
}
