// The recovery folder: slots of running programs, copies of programs that
// are gone, and keeping a copy aside without ever replacing a file.
#include <glib/gstdio.h>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "bank/recovery.h"
#include "bank/buffer.h"
#include "test_util.h"

namespace {

// A saved exam of one item, as a run's copy holds it.
[[maybe_unused]] std::string one_item_copy(const std::string &path)
{
    run_header h;
    g_strlcpy(h.examname, "sample", sizeof h.examname);
    h.num_questions = 1;
    question *item = make_item('S', 1, {"+Yes", "-No"});
    std::string error;
    gchar *parent = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(parent, 0755);
    g_free(parent);
    EXPECT_EQ(save_list_file(path.c_str(), item, h, error_text(&error)), 2) << error;
    destroy_list(item);
    return path;
}

} // namespace

TEST(RecoveryFiles, HeldSlotsAreNeverOfferedAndGoneOnesAreNewestFirst)
{
    TempDir dir;
    std::string folder = dir / "state/trialix/recovery", error;
    recovery_slot a, b, c;
    // The folder is made by the first claim.
    ASSERT_TRUE(recovery_claim(folder, &a, error_text(&error))) << error;
    ASSERT_TRUE(recovery_claim(folder, &b, error_text(&error))) << error;
    ASSERT_TRUE(recovery_claim(folder, &c, error_text(&error))) << error;
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
    ASSERT_TRUE(recovery_claim(folder, &d, error_text(&error))) << error;
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
    EXPECT_FALSE(recovery_claim(dir / "file/recovery", &s, error_text(&error)));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(s.fd, -1);
}

TEST(RecoveryFiles, SettingAsideNeverReplacesAFileAndKeepsTheCopyOnFailure)
{
    TempDir dir;
    std::string saves = dir.mkdir("saves"), error;
    write_file(saves + "/exam_Kim_01.02_03_04", "older save");
    std::string from = dir.write("recovery/run-1-aaaaaa.trx", std::string("copy\0bytes", 10));
    std::string kept = recovery_set_aside(from.c_str(), saves.c_str(), "exam_Kim_01.02_03_04", error_text(&error));
    EXPECT_EQ(kept, native(saves + "/exam_Kim_01.02_03_04-2")) << error;
    EXPECT_EQ(read_file(kept), std::string("copy\0bytes", 10));
    EXPECT_EQ(read_file(saves + "/exam_Kim_01.02_03_04"), "older save");
    EXPECT_FALSE(g_file_test(from.c_str(), G_FILE_TEST_EXISTS));

    from = dir.write("recovery/run-1-bbbbbb.trx", "second");
    kept = recovery_set_aside(from.c_str(), (dir / "missing").c_str(), "exam", error_text(&error));
    EXPECT_EQ(kept, "");
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    EXPECT_EQ(read_file(from), "second");
}

#ifndef _WIN32   // FIFOs and symbolic links
TEST(RecoveryFiles, WhatIsNoCopyIsSetAsideOnceWithoutBeingReadAndNoLinkIsFollowed)
{
    TempDir dir;
    std::string folder = dir.mkdir("recovery");
    std::string saved = one_item_copy(dir / "Documents/my_exam");
    std::string saved_bytes = read_file(saved);
    std::string good = one_item_copy(folder + "/run-6-ffffff.trx");
    ASSERT_EQ(mkfifo((folder + "/run-1-aaaaaa.trx").c_str(), 0600), 0);
    ASSERT_EQ(symlink(saved.c_str(), (folder + "/run-2-bbbbbb.trx").c_str()), 0);
    ASSERT_EQ(symlink("/dev/zero", (folder + "/run-3-cccccc.trx").c_str()), 0);
    dir.mkdir("recovery/run-4-dddddd.trx");
    // Sparse: as large as it says, without the disk it would take.
    int fd = g_open((folder + "/run-5-eeeeee.trx").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, (off_t)RECORD_SIZE * 348000), 0);   // 2 GiB, whole records
    close(fd);
    // A lock file that is a link: its target must not be made.
    ASSERT_EQ(symlink((dir / "made-through-a-link").c_str(), (folder + "/run-7-gggggg.lock").c_str()), 0);
    one_item_copy(folder + "/run-7-gggggg.trx");

    std::vector<std::string> aside;
    gint64 began = g_get_monotonic_time();
    std::vector<recovery_slot> left = recovery_find_left(folder, &aside);
    EXPECT_LT(g_get_monotonic_time() - began, 2 * G_USEC_PER_SEC);
    // run-7's copy is one: its lock goes aside and a lock file of its own is made.
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].copy, good);
    EXPECT_EQ(left[1].copy, folder + "/run-7-gggggg.trx");
    std::sort(aside.begin(), aside.end());
    std::vector<std::string> want;
    for (const char *n : {"run-1-aaaaaa.trx", "run-2-bbbbbb.trx", "run-3-cccccc.trx",
                          "run-4-dddddd.trx", "run-5-eeeeee.trx", "run-7-gggggg.lock"})
        want.push_back(folder + "/" + n);
    EXPECT_EQ(aside, want);
    EXPECT_FALSE(g_file_test((dir / "made-through-a-link").c_str(), G_FILE_TEST_EXISTS));
    EXPECT_EQ(read_file(saved), saved_bytes);
    for (recovery_slot &s : left)
        recovery_release(&s);

    // Once: the next start finds them no more, and what is set aside stays.
    aside.clear();
    left = recovery_find_left(folder, &aside);
    EXPECT_TRUE(aside.empty());
    ASSERT_EQ(left.size(), 2u);
    for (recovery_slot &s : left)
        recovery_release(&s);
    EXPECT_EQ(names_in(folder),
              (std::vector<std::string>{"run-1-aaaaaa.trx.not-a-copy", "run-2-bbbbbb.trx.not-a-copy",
                                        "run-3-cccccc.trx.not-a-copy", "run-4-dddddd.trx.not-a-copy",
                                        "run-5-eeeeee.trx.not-a-copy", "run-6-ffffff.lock",
                                        "run-6-ffffff.trx", "run-7-gggggg.lock",
                                        "run-7-gggggg.lock.not-a-copy", "run-7-gggggg.trx"}));
}

TEST(RecoveryFiles, CopiesAreOpenedOnlyAsRegularFilesOfARunsSizeWithoutWaiting)
{
    TempDir dir;
    std::string saved = one_item_copy(dir / "saved");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(symlink(saved.c_str(), (dir / "link").c_str()), 0);
    dir.mkdir("folder");
    write_file(dir / "largest", std::string((size_t)RECOVERY_MAX_COPY, 'x'));
    write_file(dir / "larger", std::string((size_t)RECOVERY_MAX_COPY + 1, 'x'));
    struct Case {
        const char *name, *why;   // why "" for a copy that opens
    } cases[] = {
        {"saved", ""},
        {"largest", ""},
        {"larger", "larger than a run can leave"},
        {"fifo", "not a regular file"},
        {"link", "a link, not a file"},
        {"folder", "not a regular file"},
        {"missing", "No such file or directory"},
    };
    for (const Case &c : cases) {
        std::string why;
        FILE *f = recovery_open_copy(dir / c.name, error_text(&why));
        EXPECT_EQ(f != nullptr, !*c.why) << c.name;
        EXPECT_EQ(why, c.why) << c.name;
        if (f)
            fclose(f);
    }
    // Keeping one aside reads it the same way: a FIFO neither blocks nor is copied.
    std::string error;
    EXPECT_EQ(recovery_set_aside((dir / "fifo").c_str(), dir.mkdir("kept").c_str(), "x", error_text(&error)), "");
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_EQ(recovery_set_aside((dir / "larger").c_str(), (dir / "kept").c_str(), "x", error_text(&error)), "");
    EXPECT_TRUE(names_in(dir / "kept").empty());
}

#endif

TEST(RecoveryFiles, LeftoversOfACutWriteGoButNotThoseOfAWriteGoingOn)
{
    TempDir dir;
    std::string folder = dir.mkdir("recovery");
    // Ours, and GIO's of the versions that wrote the copies through it.
    for (const char *start : {".part-", ".goutputstream-"}) {
        std::string old_one = dir.write(std::string("recovery/") + start + "ABC123", "half a copy");
        ASSERT_TRUE(set_file_age(old_one, RECOVERY_LEFTOVER_AGE + 5));
        dir.write(std::string("recovery/") + start + "DEF456", "being written");
    }
    std::string other = dir.write("recovery/notes.txt", "not ours");
    ASSERT_TRUE(set_file_age(other, 3600));
    EXPECT_TRUE(recovery_find_left(folder).empty());
    EXPECT_EQ(names_in(folder),
              (std::vector<std::string>{".goutputstream-DEF456", ".part-DEF456", "notes.txt"}));
}

// The copy is replaced whole or not at all, and nothing of a write is left
// beside it either way.
TEST(RecoveryFiles, ACopyIsReplacedWholeOrNotAtAll)
{
    TempDir dir;
    std::string folder = dir.mkdir("recovery");
    std::string copy = folder + "/run-1-abcdef.trx";
    run_header h;
    g_strlcpy(h.examname, "sample", sizeof h.examname);
    question *list = nullptr;
    std::string error;
    // A full run is written in pieces; every record comes back in order.
    for (int items : {(int)MAX_RUN_ITEMS, 1}) {
        SCOPED_TRACE(std::to_string(items) + " items");
        destroy_list(list);
        list = make_item('S', 1, {"+Yes", "-No"}, "Item 1");
        for (int n = 2; n <= items; n++)
            append_question(list, make_item(n % 2 ? 'M' : 'F', 2, {"+A", "B"}, ("Item " + std::to_string(n)).c_str()));
        h.num_questions = items;
        ASSERT_TRUE(recovery_write(copy, list, h, error_text(&error))) << error;
        EXPECT_EQ(names_in(folder), std::vector<std::string>{"run-1-abcdef.trx"});
        run_header back;
        question *read = load_list_file(copy.c_str(), nullptr, &back, error_text(&error));
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(list_length(read), items);
        int n = 1;
        for (question *r = read; r; r = r->next, n++)
            EXPECT_EQ(r->text, "Item " + std::to_string(n));
        EXPECT_STREQ(back.examname, "sample");
        EXPECT_EQ(filesize(copy.c_str(), nullptr), (long)RECORD_SIZE * (items + 1));
        destroy_list(read);
    }
#ifndef _WIN32
    // A link in the copy's place is replaced, never written through.
    std::string elsewhere = dir.write("elsewhere", "mine");
    ASSERT_EQ(g_unlink(copy.c_str()), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), copy.c_str()), 0);
    ASSERT_TRUE(recovery_write(copy, list, h, error_text(&error))) << error;
    EXPECT_EQ(filesize(elsewhere.c_str(), nullptr), 4);
    struct stat st;
    ASSERT_EQ(lstat(copy.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
#endif
    // What can't be replaced (a folder in its place, no folder at all)
    // fails with the copy's path, and leaves nothing behind.
    std::string taken = dir.mkdir("recovery/run-2-ghijkl.trx");
    dir.write("recovery/run-2-ghijkl.trx/inside", "x");
    for (const std::string &path : {taken, dir / "gone/run-3-mnopqr.trx"}) {
        error.clear();
        EXPECT_FALSE(recovery_write(path, list, h, error_text(&error))) << path;
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    }
    EXPECT_EQ(names_in(folder), (std::vector<std::string>{"run-1-abcdef.trx", "run-2-ghijkl.trx"}));
    destroy_list(list);
}

#ifndef _WIN32   // another user in a forked process
TEST(RecoveryFiles, CopiesInAFolderThatCantBeWrittenAreFoundAndLeftAsTheyAre)
{
    TempDir dir;
    std::string folder = dir.mkdir("recovery");
    recovery_slot with_lock;
    std::string error;
    ASSERT_TRUE(recovery_claim(folder, &with_lock, error_text(&error))) << error;
    one_item_copy(with_lock.copy);
    ASSERT_TRUE(set_file_age(with_lock.copy, 60));
    recovery_release(&with_lock);
    std::string lockless = one_item_copy(folder + "/run-9-zzzzzz.trx");
    std::vector<std::string> before = names_in(folder);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    // Root writes anywhere: the check runs as nobody, whose files they are.
    if (geteuid() == 0) {
        for (const std::string &n : before)
            ASSERT_EQ(lchown((folder + "/" + n).c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        gerror_ptr why;
        bool writable = recovery_dir_writable(folder, out_error(why));
        if (writable || !g_error_matches(why.get(), TRIALIX_ERROR, TRIALIX_ERROR_WRITE) ||
            std::string(why->message).find(folder) != 0)
            _exit(4);
        std::vector<recovery_slot> left = recovery_find_left(folder);
        if (left.size() != 2 || left[0].copy != lockless || left[1].copy != with_lock.copy)
            _exit(5);
        // Held: a second program is offered neither.
        if (fork() == 0)
            _exit(recovery_find_left(folder).empty() ? 0 : 6);
        int status = 0;
        wait(&status);
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 7);
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(folder.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(names_in(folder), before);
    std::string writable_why;
    EXPECT_TRUE(recovery_dir_writable(folder, error_text(&writable_why))) << writable_why;
}
#endif
