#include "bank/saved_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/stat.h>

#include <gio/gio.h>
#include <glib/gstdio.h>

#include "bank/buffer.h"
#include "bank/error.h"
#include "bank/glib_ptr.h"
#include "bank/text.h"

static_assert(IMAGE_ANSWERS == IMAGE_TEXT + TEXT_SIZE, "image layout");
static_assert(IMAGE_EXPLANATION == IMAGE_ANSWERS + NUM_ANSWERS * ANSWER_SIZE, "image layout");
static_assert(IMAGE_SELECTED == IMAGE_EXPLANATION + TEXT_SIZE, "image layout");
static_assert(IMAGE_ENTRY == IMAGE_SELECTED + NUM_ANSWERS, "image layout");
static_assert(IMAGE_MARKED == IMAGE_ENTRY + ANSWER_SIZE, "image layout");
static_assert(IMAGE_NEXT == IMAGE_MARKED + 1 && IMAGE_PREV == IMAGE_NEXT + 4, "image layout");
static_assert(RECORD_SIZE == IMAGE_PREV + 4, "image layout");

// ---- Record image ----

static void text_to_image(unsigned char *dst, const char *src, size_t size)
{
    size_t n = strnlen(src, size - 1);
    memcpy(dst, src, n);
}

// A field without its terminator is cut on a character boundary, so that
// what the screens show from it stays UTF-8.
static void text_from_image(char *dst, const unsigned char *src, size_t size)
{
    const char *text = (const char *)src;
    utf8_copy(dst, size, text, strnlen(text, size));
}

void record_to_image(const question *q, unsigned char *image)
{
    memset(image, 0, RECORD_SIZE);
    image[IMAGE_TYPE] = (unsigned char)q->type;
    image[IMAGE_POINTS] = (unsigned char)q->points;
    image[IMAGE_NUMBER] = (unsigned char)q->number;
    image[IMAGE_OK] = (unsigned char)q->OK;
    text_to_image(image + IMAGE_TEXT, q->text, TEXT_SIZE);
    for (int i = 0; i < NUM_ANSWERS; i++)
        text_to_image(image + IMAGE_ANSWERS + ANSWER_SIZE * i, q->answers[i], ANSWER_SIZE);
    text_to_image(image + IMAGE_EXPLANATION, q->explanation, TEXT_SIZE);
    memcpy(image + IMAGE_SELECTED, q->selected, NUM_ANSWERS);
    text_to_image(image + IMAGE_ENTRY, q->entry, ANSWER_SIZE);
    image[IMAGE_MARKED] = (unsigned char)q->marked;
}

void record_from_image(const unsigned char *image, question *q)
{
    q->type = (char)image[IMAGE_TYPE];
    q->points = (signed char)image[IMAGE_POINTS];
    q->number = (signed char)image[IMAGE_NUMBER];
    q->OK = (signed char)image[IMAGE_OK];
    text_from_image(q->text, image + IMAGE_TEXT, TEXT_SIZE);
    for (int i = 0; i < NUM_ANSWERS; i++)
        text_from_image(q->answers[i], image + IMAGE_ANSWERS + ANSWER_SIZE * i, ANSWER_SIZE);
    text_from_image(q->explanation, image + IMAGE_EXPLANATION, TEXT_SIZE);
    memcpy(q->selected, image + IMAGE_SELECTED, NUM_ANSWERS);
    text_from_image(q->entry, image + IMAGE_ENTRY, ANSWER_SIZE);
    q->marked = (char)image[IMAGE_MARKED];
}

// ---- Header record ----

static_assert((int)PATH_SIZE == (int)ANSWER_SIZE, "a header slot fills a run text exactly");

// The text of a header slot, terminated within the slot.
static void header_text(char *dst, const unsigned char *slot)
{
    text_from_image(dst, slot, ANSWER_SIZE);
}

// Texts from a file go to the screens, which take UTF-8 only: a stray byte
// becomes U+FFFD, and what no longer fits is cut on a character boundary.
// Returns whether the text changed.
static bool make_valid(char *text, size_t size)
{
    if (g_utf8_validate(text, -1, nullptr))
        return false;
    gchar_ptr valid(g_utf8_make_valid(text, -1));
    utf8_strlcpy(text, valid.get(), size);
    return true;
}

// A text into a zeroed header slot, cut on a character boundary.
static void put_text(unsigned char *slot, const char *text)
{
    memcpy(slot, text, utf8_cut(text, strlen(text), ANSWER_SIZE - 1));
}

// A name the exam menu can have given: one directory of the exam root. The
// name is joined to paths when the exam is saved again, so a saved file must
// not be able to lead anywhere else.
static bool is_exam_name(const char *name)
{
    return name[0] != '.' && !strchr(name, '/') && !strchr(name, G_DIR_SEPARATOR);
}

// A slot holding a decimal int and nothing else.
static bool parse_int(const unsigned char *slot, int *value)
{
    char text[ANSWER_SIZE];
    header_text(text, slot);
    const char *digits = text + (text[0] == '-' || text[0] == '+');
    if (!g_ascii_isdigit(digits[0]))
        return false;
    char *end = nullptr;
    errno = 0;
    gint64 v = g_ascii_strtoll(text, &end, 10);
    if (errno || *end || v < INT_MIN || v > INT_MAX)
        return false;
    *value = (int)v;
    return true;
}

void create_header(unsigned char *area, const run_header &h)
{
    memset(area, 0, RECORD_SIZE);
    area[IMAGE_TYPE] = 'H';
    put_text(area + HEADER_EXAMNAME, h.examname);
    put_text(area + HEADER_USERNAME, h.username);
    g_snprintf((char *)area + HEADER_SECONDS, ANSWER_SIZE, "%d", h.seconds);
    g_snprintf((char *)area + HEADER_PASSED_TIME, ANSWER_SIZE, "%d", h.passed_time);
    if (GDateTime *now = g_date_time_new_now_local()) {
        g_snprintf((char *)area + HEADER_SAVEDATE, ANSWER_SIZE, "%02d/%02d %02d:%02d:%02d",
                   g_date_time_get_month(now), g_date_time_get_day_of_month(now),
                   g_date_time_get_hour(now), g_date_time_get_minute(now),
                   g_date_time_get_second(now));
        g_date_time_unref(now);
    }
    put_text(area + HEADER_TITLE, h.examtitle);
    area[HEADER_NUM_QUESTIONS] = (unsigned char)h.num_questions;
    area[HEADER_PERCENTAGE] = (unsigned char)h.percentage;
    area[HEADER_EXAM_ENDED] = (unsigned char)h.exam_ended;
    area[HEADER_TRAINING] = (unsigned char)h.training;
    area[HEADER_ENABLE_TIMER] = (unsigned char)h.enableTimer;
    area[HEADER_ENABLE_ANSWER] = (unsigned char)h.enableAnswer;
}

run_header read_header(const unsigned char *header)
{
    run_header h;
    header_text(h.examname, header + HEADER_EXAMNAME);
    if (!is_exam_name(h.examname))
        h.examname[0] = '\0';
    header_text(h.username, header + HEADER_USERNAME);
    header_text(h.savedate, header + HEADER_SAVEDATE);
    header_text(h.examtitle, header + HEADER_TITLE);
    // The exam name stays as it is: it names a directory, not a text.
    for (char *text : {h.username, h.savedate, h.examtitle})
        make_valid(text, PATH_SIZE);
    h.num_questions = (signed char)header[HEADER_NUM_QUESTIONS];
    h.percentage = (signed char)header[HEADER_PERCENTAGE];
    h.exam_ended = header[HEADER_EXAM_ENDED] != 0;
    h.training = header[HEADER_TRAINING] != 0;
    h.enableTimer = header[HEADER_ENABLE_TIMER] != 0;
    h.enableAnswer = header[HEADER_ENABLE_ANSWER] != 0;
    h.seconds_valid = parse_int(header + HEADER_SECONDS, &h.seconds);
    h.passed_time_valid = parse_int(header + HEADER_PASSED_TIME, &h.passed_time);
    return h;
}

// ---- The whole file ----

static std::string errno_text(int error)
{
    return g_strerror(error);
}

// The file a save writes: a symbolic link's target (replacing the link
// itself would leave its target with the old bytes), else `path`.
static std::string save_target(const char *path)
{
#ifndef _WIN32
    if (g_file_test(path, G_FILE_TEST_IS_SYMLINK)) {
        if (char *target = realpath(path, nullptr)) {
            std::string resolved = target;
            free(target);
            return resolved;
        }
    }
#endif
    return path;
}

bool save_replaces_a_file(const char *path)
{
    // Asked of the file system, not by opening it: a file the user can't
    // read is still there to be replaced.
    return path && g_file_test(path, G_FILE_TEST_EXISTS) &&
           !g_file_test(path, G_FILE_TEST_IS_DIR);
}

int put_list_file(question *q, const run_header &h,
                  const std::function<bool(const unsigned char *, size_t)> &put)
{
    // A few records at a time: few enough writes, and a block small
    // enough that malloc hands it back, where a whole file in memory stayed
    // in the process's memory after every save.
    enum { CHUNK_RECORDS = 16 };
    std::vector<unsigned char> chunk((size_t)CHUNK_RECORDS * RECORD_SIZE);
    create_header(chunk.data(), h);
    int records = 1, filled = 1;
    for (question *r = list_head(q); r; r = r->next, records++) {
        if (filled == CHUNK_RECORDS) {
            if (!put(chunk.data(), chunk.size()))
                return 0;
            filled = 0;
        }
        record_to_image(r, chunk.data() + (size_t)filled++ * RECORD_SIZE);
    }
    return put(chunk.data(), (size_t)filled * RECORD_SIZE) ? records : 0;
}

int save_list_file(const char *path, question *q, const run_header &h, GError **error)
{
    auto fail = [&](const std::string &what, trialix_error_code code = TRIALIX_ERROR_WRITE) {
        trialix_set_error(error, code, std::string(path ? path : "") + ": " + what);
        return 0;
    };
    if (!path || !*path)
        return fail("no file name given");
    // A device or FIFO is never replaced by a plain file.
    GStatBuf st;
    if (g_stat(path, &st) == 0 && (st.st_mode & S_IFMT) != S_IFREG)
        return fail("not a regular file", TRIALIX_ERROR_NOT_REGULAR);

    // GIO writes a new file beside the old one and renames it over it only
    // once all of it is written, keeping the old file's permissions and
    // owner; a failure leaves the old file as it was.
    std::string target = save_target(path);
    GFile *file = g_file_new_for_path(target.c_str());
    gerror_ptr gerror;
    GFileOutputStream *out = g_file_replace(file, nullptr, FALSE, G_FILE_CREATE_NONE, nullptr,
                                            out_error(gerror));
    g_object_unref(file);
    if (!out)
        return fail(gerror->message);
    gsize written = 0;
    int records = put_list_file(q, h, [&](const unsigned char *data, size_t size) {
        return g_output_stream_write_all(G_OUTPUT_STREAM(out), data, size, &written, nullptr,
                                         out_error(gerror)) != FALSE;
    });
    bool ok = records > 0;
    if (ok) {
        ok = g_output_stream_close(G_OUTPUT_STREAM(out), nullptr, out_error(gerror));
    } else {
        // Closed as cancelled, the new file is dropped and the old one kept.
        GCancellable *cancel = g_cancellable_new();
        g_cancellable_cancel(cancel);
        g_output_stream_close(G_OUTPUT_STREAM(out), cancel, nullptr);
        g_object_unref(cancel);
    }
    g_object_unref(out);
    if (!ok)
        return fail(gerror->message);
    return records;
}

// A record as the item form can show it and as it is graded: points 1 to
// 9, flags 0 or 1, no tick on a slot without a choice and at most one on a
// single-choice item (the first: the form shows one, and grading must see
// the same), every text UTF-8. A grade that can't be right, or ticks that
// changed, are graded afresh.
static void tidy_record(question *r)
{
    if (r->points < 1 || r->points > 9)
        r->points = 1;
    const item_kind_info *kind = kind_of_letter(r->type);
    bool choices = kind && kind->answer == answer_form::choices, changed = false, ticked = false;
    for (int i = 0; i < NUM_ANSWERS; i++) {
        char *slot = r->answers[i];
        char flag = r->selected[i] != 0 && slot[0] && !(choices && kind->one_tick && ticked);
        changed |= flag != r->selected[i];
        r->selected[i] = flag;
        ticked |= flag != 0;
        if (!choices) {
            make_valid(slot, ANSWER_SIZE);
        } else if (slot[0]) {
            // The first byte is the right/wrong mark and is never shown; one
            // that is part of a longer character marks neither.
            if ((unsigned char)slot[0] >= 0x80)
                slot[0] = '?';
            make_valid(slot + 1, ANSWER_SIZE - 1);
        }
    }
    make_valid(r->text, TEXT_SIZE);
    make_valid(r->explanation, TEXT_SIZE);
    make_valid(r->entry, ANSWER_SIZE);
    r->marked = r->marked != 0;
    if (changed || (r->OK != OK_RIGHT && r->OK != OK_WRONG && r->OK != OK_UNANSWERED))
        check_question(r);
}

question *load_list_file(const char *path, FILE *opened, run_header *header_out,
                         GError **error)
{
    auto fail = [&](const std::string &what,
                    trialix_error_code code = TRIALIX_ERROR_FORMAT) -> question * {
        trialix_set_error(error, code, std::string(path ? path : "") + ": " + what);
        return nullptr;
    };
    gerror_ptr why;
    FILE *f = opened ? opened : open_regular_file(path, out_error(why));
    if (!f)
        return fail(why->message, (trialix_error_code)why->code);
    std::unique_ptr<FILE, int (*)(FILE *)> closer(f, fclose);

    // Everything is checked before a global changes.
    struct stat st;
    if (fstat(fileno(f), &st) != 0)
        return fail(errno_text(errno), TRIALIX_ERROR_READ);
    if (st.st_size < RECORD_SIZE || st.st_size % RECORD_SIZE != 0)
        return fail("not a saved exam: " + std::to_string((long long)st.st_size) +
                    " bytes are not a whole number of " + std::to_string(RECORD_SIZE) +
                    "-byte records");
    long long records = (long long)st.st_size / RECORD_SIZE - 1;

    unsigned char header[RECORD_SIZE], image[RECORD_SIZE];
    if (fread(header, RECORD_SIZE, 1, f) != 1)
        return fail("cannot read the header", TRIALIX_ERROR_READ);
    char name[PATH_SIZE];
    header_text(name, header + HEADER_EXAMNAME);
    if (!is_exam_name(name))
        return fail("the exam name is not the name of an exam directory");

    question *head = nullptr, *tail = nullptr;
    int kept = 0;
    for (long long i = 0; i < records; i++) {
        if (fread(image, RECORD_SIZE, 1, f) != 1) {
            destroy_list(head);
            return fail("cannot read record " + std::to_string(i + 1), TRIALIX_ERROR_READ);
        }
        if (!kind_of_letter((char)image[IMAGE_TYPE]))
            continue;
        // A run holds no more items; records that are skipped don't count.
        if (++kept > MAX_RUN_ITEMS) {
            destroy_list(head);
            return fail("not a saved exam: more than " + std::to_string((int)MAX_RUN_ITEMS) +
                        " items, but a run holds at most that many");
        }
        question *r = new_question();
        record_from_image(image, r);
        tidy_record(r);
        // The items loaded are the run: pages count them as the resume
        // form and the score report do, without a gap where a record was
        // skipped ("Item 3 of 2").
        r->number = (signed char)kept;
        append_to(&head, &tail, r);
    }
    // Nothing to resume: the header's settings alone would only change the
    // exam on screen behind its back.
    if (!head)
        return fail("not a saved exam: no item after the header");
    *header_out = read_header(header);
    header_out->num_questions = kept;
    return head;
}
