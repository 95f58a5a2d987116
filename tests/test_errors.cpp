// The core's failures as its callers get them: a GError of the core's
// domain with a code that tells one failure from another, and a message
// for the user.
#include <bzlib.h>
#include <glib/gstdio.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "bank/buffer.h"
#include "bank/error.h"
#include "bank/exam_list.h"
#include "bank/glib_ptr.h"
#include "bank/history.h"
#include "bank/recovery.h"
#include "bank/saved_file.h"
#include "bank/tools.h"
#include "test_util.h"

namespace {

struct error_case {
    const char *what;
    // Makes the failure happen in `dir`; returns whether the call failed.
    std::function<bool(const TempDir &dir, GError **error)> call;
    GQuark domain;
    int code;
    const char *message_part;   // the message holds this; "" for an empty message
};

void check_cases(const std::vector<error_case> &cases)
{
    for (const error_case &c : cases) {
        TempDir dir;
        gerror_ptr error;
        EXPECT_TRUE(c.call(dir, out_error(error))) << c.what << ": did not fail";
        ASSERT_TRUE(error) << c.what << ": failed without an error";
        EXPECT_EQ(error->domain, c.domain) << c.what << ": " << g_quark_to_string(error->domain);
        EXPECT_EQ(error->code, c.code) << c.what << ": " << error->message;
        std::string message = error->message;
        if (*c.message_part)
            EXPECT_NE(message.find(c.message_part), std::string::npos) << c.what << ": " << message;
        else
            EXPECT_EQ(message, "") << c.what;
        EXPECT_EQ(message.find('\n'), std::string::npos) << c.what << ": one line";
    }
}

const std::string ITEM = "+++\nS\nQ?\n---\n+a\n-b\n---\n\n+++\n";

#ifndef _WIN32   // Windows has neither FIFOs nor symbolic links for us to make
std::string make_fifo(const TempDir &dir, const char *name)
{
    std::string path = dir / name;
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
}
#endif

// A sparse file of `size` bytes: no disk, and too large to be read.
std::string make_sparse(const TempDir &dir, const char *name, off_t size)
{
    std::string path = dir.write(name, "x");
    EXPECT_EQ(truncate(path.c_str(), size), 0);
    return path;
}

} // namespace

TEST(Errors, QuestionFilesAndTheirItems)
{
    check_cases({
        {"a missing question file", [](const TempDir &d, GError **e) {
             return !load_question_file((d / "gone").c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_MISSING, ""},
        {"a folder as a question file", [](const TempDir &d, GError **e) {
             return !load_question_file(d.mkdir("cat01").c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_READ, "cat01: not a regular file"},
#ifndef _WIN32
        {"a FIFO as a question file", [](const TempDir &d, GError **e) {
             return !file2buf(make_fifo(d, "cat01").c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_READ, "not a regular file"},
#endif
        {"plain text, not packed", [](const TempDir &d, GError **e) {
             return !load_question_file(d.write("cat01", "0123456789" + ITEM).c_str(), e);
         }, TRIALIX_BZIP2_ERROR, BZ_DATA_ERROR_MAGIC, "Decompression failed (-5)"},
        {"an empty file", [](const TempDir &d, GError **e) {
             return !load_question_file(d.write("cat01", "").c_str(), e);
         }, TRIALIX_BZIP2_ERROR, BZ_UNEXPECTED_EOF, "Decompression failed (-7)"},
        {"a file over 64 MiB", [](const TempDir &d, GError **e) {
             return !load_question_file(make_sparse(d, "cat01", 65 << 20).c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_TOO_LARGE, "file larger than 64 MiB"},
        {"an item the file doesn't hold", [](const TempDir &d, GError **e) {
             write_question_file(d / "cat01", ITEM);
             return !read_question(2, (d / "cat01").c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_NO_ITEMS, "no item 2"},
        {"counting the items of a missing file", [](const TempDir &d, GError **e) {
             return count_questions((d / "gone").c_str(), e) == -1;
         }, TRIALIX_ERROR, TRIALIX_ERROR_MISSING, ""},
        {"a run of files without items", [](const TempDir &d, GError **e) {
             write_question_file(d / "cat01", "+++\nno second separator\n");
             return !create_exam_list({0, 1}, 2, d.path().c_str(), {"cat01", "gone"},
                                      choice_order::as_written, nullptr, nullptr, e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_NO_ITEMS, "no item"},
        {"packing into a missing folder", [](const TempDir &d, GError **e) {
             return !text2file(ITEM.data(), ITEM.size(), (d / "nodir/cat01").c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_WRITE, "nodir" G_DIR_SEPARATOR_S "cat01"},
        {"packing more text than is read", [](const TempDir &d, GError **e) {
             // Refused before a byte of it is looked at.
             return !text2file(ITEM.data(), MAX_QUESTION_TEXT + 1, (d / "cat01").c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_TOO_LARGE, "larger than 64 MiB"},
    });
}

// What the readers' callers show: every failure but a file that can't be
// opened, and but an item that isn't there.
TEST(Errors, LoadFailuresShownAreAllButAMissingFile)
{
    TempDir dir;
    write_question_file(dir / "cat01", ITEM);
    const struct {
        std::string path;
        int item;
        bool shown;
    } cases[] = {
        {dir / "gone", 1, false},
        {dir / "cat01", 2, false},
        {dir.write("plain", "0123456789" + ITEM), 1, true},
        {dir.mkdir("folder"), 1, true},
    };
    for (const auto &c : cases) {
        gerror_ptr error;
        EXPECT_EQ(read_question(c.item, c.path.c_str(), out_error(error)), nullptr) << c.path;
        EXPECT_EQ(load_error_is_shown(error.get()), c.shown) << c.path;
    }
    EXPECT_FALSE(load_error_is_shown(nullptr));
}

TEST(Errors, ConfigurationFilesPathsAndMarkup)
{
    check_cases({
        {"a missing configuration", [](const TempDir &d, GError **e) {
             exam_config c;
             return !read_named_config(d.path().c_str(), ".xconfig", "exam", &c, e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_MISSING, "No such file"},
        {"an exam name over the longest path", [](const TempDir &d, GError **e) {
             exam_config c;
             return !read_named_config(d.path().c_str(), ".xconfig", std::string(300, 'x').c_str(),
                                       &c, e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_TOO_LONG, "path too long"},
        {"a folder as configuration", [](const TempDir &d, GError **e) {
             exam_config c;
             return !read_exam_config(d.mkdir("exam/.xconfig").c_str(), &c, e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_NOT_REGULAR, "not a regular file"},
        {"a configuration over 1 MiB", [](const TempDir &d, GError **e) {
             d.mkdir("exam");
             make_sparse(d, "exam/.xconfig", 2 << 20);
             std::string title = "(untouched)";
             bool failed = !getExamTitle(d.path().c_str(), ".xconfig", "exam", &title, e);
             EXPECT_EQ(title, "(untouched)");
             return failed;
         }, TRIALIX_ERROR, TRIALIX_ERROR_TOO_LARGE, "larger than 1 MiB"},
        {"a file over a reader's limit", [](const TempDir &d, GError **e) {
             std::string text;
             return !read_regular_file(d.write("f", "12345").c_str(), &text, 4, e) && text.empty();
         }, TRIALIX_ERROR, TRIALIX_ERROR_TOO_LARGE, "larger than 4 bytes"},
        {"opening a missing file", [](const TempDir &d, GError **e) {
             return !open_regular_file((d / "gone").c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_MISSING, "No such file"},
#ifndef _WIN32
        {"opening a FIFO", [](const TempDir &d, GError **e) {
             return !open_regular_file(make_fifo(d, "fifo").c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_NOT_REGULAR, "not a regular file"},
#endif
        {"a path over the longest", [](const TempDir &d, GError **e) {
             return !join_path(d.path().c_str(), std::string(300, 'x').c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_TOO_LONG, "longer than 255 characters"},
        {"a save folder leaving no room for a name", [](const TempDir &, GError **e) {
             char out[PATH_SIZE];
             std::string folder(250, 'f');
             bool failed = !default_save_name(out, sizeof out, folder.c_str(), "net101", "Kim",
                                              0, e);
             EXPECT_STREQ(out, "");
             return failed;
         }, TRIALIX_ERROR, TRIALIX_ERROR_TOO_LONG, "too long"},
        {"the size of a missing file", [](const TempDir &d, GError **e) {
             return filesize((d / "gone").c_str(), e) == -1;
         }, TRIALIX_ERROR, TRIALIX_ERROR_MISSING, "No such file"},
        {"the plain text of markup that isn't", [](const TempDir &, GError **e) {
             std::string plain = "untouched";
             bool failed = !markup_plain_text("<b>a & b</b>", &plain, e);
             EXPECT_EQ(plain, "untouched");
             return failed;
         }, TRIALIX_ERROR, TRIALIX_ERROR_MARKUP, "line 1"},
        {"markup that isn't", [](const TempDir &, GError **e) {
             return !markup_is_valid("<blink>x</blink>", e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_MARKUP, "blink"},
        {"invalid markup asked to be safe", [](const TempDir &, GError **e) {
             return !markup_is_safe("a & b", MARKUP_MAX_PIXELS, e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_MARKUP, "line 1"},
        {"markup too large to show", [](const TempDir &, GError **e) {
             return !markup_is_safe("<span rise=\"300pt\">x</span>", MARKUP_MAX_PIXELS, e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_UNSAFE_MARKUP, "rise"},
    });
}

TEST(Errors, SavedExamsAndRecoveryCopies)
{
    auto one_item = [](const std::string &path) {
        run_header h;
        g_strlcpy(h.examname, "exam", sizeof h.examname);
        question *q = make_item('S', 1, {"+a", "-b"});
        EXPECT_EQ(save_list_file(path.c_str(), q, h, nullptr), 2) << path;
        destroy_list(q);
        return path;
    };
    auto load = [](const std::string &path, GError **e) {
        run_header h;
        question *list = load_list_file(path.c_str(), nullptr, &h, e);
        destroy_list(list);
        return list == nullptr;
    };
    check_cases({
        {"loading a missing file", [&](const TempDir &d, GError **e) {
             return load(d / "gone.trx", e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_MISSING, "gone.trx: No such file"},
        {"loading a folder", [&](const TempDir &d, GError **e) {
             return load(d.mkdir("saved.trx"), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_NOT_REGULAR, "saved.trx: not a regular file"},
        {"loading part of a record", [&](const TempDir &d, GError **e) {
             return load(d.write("saved.trx", std::string(RECORD_SIZE + 1, '\0')), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_FORMAT, "not a whole number"},
        {"loading a header whose exam name leads elsewhere", [&](const TempDir &d, GError **e) {
             std::string path = d / "saved.trx";
             run_header h;
             g_strlcpy(h.examname, "../up", sizeof h.examname);
             question *q = make_item('S', 1, {"+a", "-b"});
             EXPECT_EQ(save_list_file(path.c_str(), q, h, nullptr), 2);
             destroy_list(q);
             return load(path, e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_FORMAT, "not the name of an exam directory"},
        {"loading a header alone", [&](const TempDir &d, GError **e) {
             std::string path = d / "saved.trx";
             run_header h;
             g_strlcpy(h.examname, "exam", sizeof h.examname);
             EXPECT_EQ(save_list_file(path.c_str(), nullptr, h, nullptr), 1);
             return load(path, e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_FORMAT, "no item after the header"},
        {"saving without a name", [](const TempDir &, GError **e) {
             return save_list_file("", nullptr, run_header(), e) == 0;
         }, TRIALIX_ERROR, TRIALIX_ERROR_WRITE, "no file name given"},
#ifndef _WIN32
        {"saving over a FIFO", [](const TempDir &d, GError **e) {
             return save_list_file(make_fifo(d, "fifo").c_str(), nullptr, run_header(), e) == 0;
         }, TRIALIX_ERROR, TRIALIX_ERROR_NOT_REGULAR, "fifo: not a regular file"},
#endif
        {"saving into a missing folder", [](const TempDir &d, GError **e) {
             return save_list_file((d / "nodir/saved.trx").c_str(), nullptr, run_header(), e) == 0;
         }, TRIALIX_ERROR, TRIALIX_ERROR_WRITE, "nodir" G_DIR_SEPARATOR_S "saved.trx: "},
#ifndef _WIN32
        {"a link as recovery copy", [&](const TempDir &d, GError **e) {
             std::string copy = one_item(d / "copy.trx");
             EXPECT_EQ(symlink(copy.c_str(), (d / "link.trx").c_str()), 0);
             return !recovery_open_copy(d / "link.trx", e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_NOT_REGULAR, "a link, not a file"},
#endif
        {"a recovery copy larger than a run leaves", [](const TempDir &d, GError **e) {
             return !recovery_open_copy(make_sparse(d, "copy.trx", RECOVERY_MAX_COPY + 1), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_TOO_LARGE, "larger than a run can leave"},
        {"setting aside a missing copy", [](const TempDir &d, GError **e) {
             return recovery_set_aside((d / "gone.trx").c_str(), d.path().c_str(), "x", e).empty();
         }, TRIALIX_ERROR, TRIALIX_ERROR_MISSING, "gone.trx: No such file"},
        {"setting aside into a missing folder", [&](const TempDir &d, GError **e) {
             std::string copy = one_item(d / "copy.trx");
             bool failed = recovery_set_aside(copy.c_str(), (d / "nodir").c_str(), "x", e).empty();
             EXPECT_TRUE(g_file_test(copy.c_str(), G_FILE_TEST_EXISTS)) << "the copy stays";
             return failed;
         }, TRIALIX_ERROR, TRIALIX_ERROR_WRITE, "nodir"},
        {"a recovery folder under a file", [](const TempDir &d, GError **e) {
             d.write("file", "x");
             recovery_slot slot;
             return !recovery_claim(d / "file/recovery", &slot, e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_WRITE, "file" G_DIR_SEPARATOR_S "recovery"},
    });
}

TEST(Errors, History)
{
    check_cases({
        {"a file that is no database", [](const TempDir &d, GError **e) {
             return !history_open(d.write("h.sqlite", std::string(8192, 'Z')).c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_DATABASE, "not a database"},
        {"a newer program's history", [](const TempDir &d, GError **e) {
             std::string path = d / "h.sqlite";
             sqlite3 *sql = nullptr;
             EXPECT_EQ(sqlite3_open(path.c_str(), &sql), SQLITE_OK);
             sqlite3_exec(sql, "CREATE TABLE runs(x); PRAGMA user_version = 9", nullptr, nullptr,
                          nullptr);
             sqlite3_close(sql);
             return !history_open(path.c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_NEWER, "newer version of Trialix (schema 9)"},
        {"reading an empty file", [](const TempDir &d, GError **e) {
             return !history_open_read(d.write("h.sqlite", "").c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_FORMAT, "not a Trialix results history"},
        {"reading another program's database", [](const TempDir &d, GError **e) {
             std::string path = d / "h.sqlite";
             sqlite3 *sql = nullptr;
             EXPECT_EQ(sqlite3_open(path.c_str(), &sql), SQLITE_OK);
             sqlite3_exec(sql, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
             sqlite3_close(sql);
             return !history_open_read(path.c_str(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_FORMAT, "not a Trialix results history"},
        {"keeping a run under a file", [](const TempDir &d, GError **e) {
             d.write("file", "x");
             return !history_keep((d / "file/pending").c_str(), history_run(), e);
         }, TRIALIX_ERROR, TRIALIX_ERROR_WRITE, "Not a directory"},
        {"a run neither recorded nor kept", [](const TempDir &d, GError **e) {
             d.write("file", "x");
             history_run run;
             return history_record_or_keep((d / "file/h.sqlite").c_str(),
                                           (d / "file/pending").c_str(), &run, true,
                                           e) == HISTORY_LOST;
         }, TRIALIX_ERROR, TRIALIX_ERROR_WRITE, "nor could the run be kept aside"},
    });
}
