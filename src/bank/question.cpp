#include "bank/question.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <glib.h>
#include <glib/gstdio.h>

#include "app/dialogs.h"
#include "app/globals.h"
#include "bank/buffer.h"
#include "bank/tools.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif

static_assert(IMAGE_ANSWERS == IMAGE_TEXT + TEXT_SIZE, "image layout");
static_assert(IMAGE_EXPLANATION == IMAGE_ANSWERS + NUM_ANSWERS * ANSWER_SIZE, "image layout");
static_assert(IMAGE_SELECTED == IMAGE_EXPLANATION + TEXT_SIZE, "image layout");
static_assert(IMAGE_ENTRY == IMAGE_SELECTED + NUM_ANSWERS, "image layout");
static_assert(IMAGE_MARKED == IMAGE_ENTRY + ANSWER_SIZE, "image layout");
static_assert(IMAGE_NEXT == IMAGE_MARKED + 1 && IMAGE_PREV == IMAGE_NEXT + 4, "image layout");
static_assert(RECORD_SIZE == IMAGE_PREV + 4, "image layout");

// ---- Record and list ----

question *new_question(void)
{
    question *q = (question *)calloc(1, sizeof(question));
    if (!q) {
        fputs("[new_question:malloc] Out of memory\n", stderr);
        exit(1);
    }
    return q;
}

void append_question(question *list, question *q)
{
    if (!list || !q)
        return;
    while (list->next)
        list = list->next;
    list->next = q;
    q->prev = list;
}

static question *head_of(question *q)
{
    while (q && q->prev)
        q = q->prev;
    return q;
}

void destroy_list(question *q)
{
    q = head_of(q);
    while (q) {
        question *next = q->next;
        free(q);
        q = next;
    }
}

int list_length(const question *q)
{
    int n = 0;
    for (q = head_of(const_cast<question *>(q)); q; q = q->next)
        n++;
    return n;
}

void check_question(question *q)
{
    switch (q->type) {
    case 'S':
    case 'M': {
        bool answered = false, right = true;
        for (int i = 0; i < NUM_ANSWERS; i++) {
            bool ticked = q->selected[i] != 0;
            answered = answered || ticked;
            char mark = q->answers[i][0];
            if ((mark == '+' && !ticked) || (mark == '-' && ticked))
                right = false;
        }
        q->OK = !answered ? OK_UNANSWERED : right ? OK_RIGHT : OK_WRONG;
        break;
    }
    case 'F':
        if (q->entry[0] == '\0') {
            q->OK = OK_UNANSWERED;
            break;
        }
        q->OK = OK_WRONG;
        for (int i = 0; i < NUM_ANSWERS; i++)
            if (strcmp(q->entry, q->answers[i]) == 0)
                q->OK = OK_RIGHT;
        break;
    default:
        q->OK = OK_UNKNOWN_TYPE;
    }
}

// Sum over the whole list of what `value` gives for each record.
template <typename Value>
static int sum_list(question *q, Value value)
{
    int sum = 0;
    for (q = head_of(q); q; q = q->next)
        sum += value(q);
    return sum;
}

int get_right_questions(question *q)
{
    return sum_list(q, [](question *r) { return r->OK == OK_RIGHT ? 1 : 0; });
}

int get_wrong_questions(question *q)
{
    return sum_list(q, [](question *r) { return r->OK == OK_WRONG ? 1 : 0; });
}

int get_unanswered_questions(question *q)
{
    return sum_list(q, [](question *r) { return r->OK == OK_UNANSWERED ? 1 : 0; });
}

int get_total_points(question *q)
{
    return sum_list(q, [](question *r) { return (int)r->points; });
}

int get_correct_points(question *q)
{
    return sum_list(q, [](question *r) { return r->OK == OK_RIGHT ? (int)r->points : 0; });
}

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

// ---- Saved exam file ----

static_assert((int)PATH_SIZE == (int)ANSWER_SIZE, "a header slot fills a global text exactly");

// The text of a header slot into a global, terminated within the slot.
static void header_text(char *dst, const unsigned char *slot)
{
    text_from_image(dst, slot, ANSWER_SIZE);
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

void create_header(unsigned char *area)
{
    memset(area, 0, RECORD_SIZE);
    area[IMAGE_TYPE] = 'H';
    put_text(area + HEADER_EXAMNAME, examname);
    put_text(area + HEADER_USERNAME, username);
    g_snprintf((char *)area + HEADER_SECONDS, ANSWER_SIZE, "%d", seconds);
    g_snprintf((char *)area + HEADER_PASSED_TIME, ANSWER_SIZE, "%d", passed_time);
    if (GDateTime *now = g_date_time_new_now_local()) {
        g_snprintf((char *)area + HEADER_SAVEDATE, ANSWER_SIZE, "%02d/%02d %02d:%02d:%02d",
                   g_date_time_get_month(now), g_date_time_get_day_of_month(now),
                   g_date_time_get_hour(now), g_date_time_get_minute(now),
                   g_date_time_get_second(now));
        g_date_time_unref(now);
    }
    // An exam whose configuration has gone since it was started gets the
    // same title as one whose configuration has none.
    std::optional<std::string> title = getExamTitle(examname);
    put_text(area + HEADER_TITLE, title ? title->c_str() : "UNKNOWN");
    area[HEADER_NUM_QUESTIONS] = (unsigned char)num_questions;
    area[HEADER_PERCENTAGE] = (unsigned char)percentage;
    area[HEADER_EXAM_ENDED] = (unsigned char)exam_ended;
    area[HEADER_TRAINING] = (unsigned char)training;
    area[HEADER_ENABLE_TIMER] = (unsigned char)enableTimer;
    area[HEADER_ENABLE_ANSWER] = (unsigned char)enableAnswer;
}

void set_globals(const unsigned char *header)
{
    header_text(examname, header + HEADER_EXAMNAME);
    if (!is_exam_name(examname))
        examname[0] = '\0';
    header_text(username, header + HEADER_USERNAME);
    header_text(savedate, header + HEADER_SAVEDATE);
    header_text(examtitle, header + HEADER_TITLE);
    num_questions = (signed char)header[HEADER_NUM_QUESTIONS];
    percentage = (signed char)header[HEADER_PERCENTAGE];
    exam_ended = header[HEADER_EXAM_ENDED] != 0;
    training = header[HEADER_TRAINING] != 0;
    enableTimer = header[HEADER_ENABLE_TIMER] != 0;
    enableAnswer = header[HEADER_ENABLE_ANSWER] != 0;
    parse_int(header + HEADER_SECONDS, &seconds);
    parse_int(header + HEADER_PASSED_TIME, &passed_time);
}

static std::string errno_text(int error)
{
    return g_strerror(error);
}

// fsync: the rename must not reach the disk before the data does.
static bool sync_file(FILE *f)
{
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

// Puts `from` in the place of `to`, replacing a file that is there.
static bool replace_file(const char *from, const char *to, std::string *why)
{
#ifdef _WIN32
    // rename() refuses to replace an existing file on Windows.
    gunichar2 *wfrom = g_utf8_to_utf16(from, -1, nullptr, nullptr, nullptr);
    gunichar2 *wto = g_utf8_to_utf16(to, -1, nullptr, nullptr, nullptr);
    bool done = wfrom && wto &&
                MoveFileExW((wchar_t *)wfrom, (wchar_t *)wto,
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done) {
        gchar *message = g_win32_error_message(GetLastError());
        *why = message;
        g_free(message);
    }
    g_free(wfrom);
    g_free(wto);
    return done;
#else
    if (g_rename(from, to) == 0)
        return true;
    *why = errno_text(errno);
    return false;
#endif
}

namespace {

// A file under a unique name that goes again unless it was kept.
struct temp_file {
    std::string path;
    FILE *f = nullptr;
    bool keep = false;

    ~temp_file()
    {
        if (f)
            fclose(f);
        if (!path.empty() && !keep)
            g_unlink(path.c_str());
    }
};

} // namespace

int save_list_file(const char *path, question *q, std::string *error)
{
    std::string why;
    auto fail = [&](const std::string &what) {
        if (error)
            *error = std::string(path ? path : "") + ": " + what;
        return 0;
    };
    if (!path || !*path)
        return fail("no file name given");
    // The file is replaced by renaming a new one over it, which would put a
    // plain file in the place of a device or FIFO: only a regular file (or
    // none) is replaced.
    GStatBuf st;
    if (g_stat(path, &st) == 0 && (st.st_mode & S_IFMT) != S_IFREG)
        return fail("not a regular file");

    // Beside the target, so that the rename stays on one file system; a
    // short name of our own, so that a long target name still leaves room.
    gchar *dir = g_path_get_dirname(path);
    gchar *pattern = g_build_filename(dir, ".trialix-XXXXXX", nullptr);
    std::string dirname = dir;
    g_free(dir);
    int fd = g_mkstemp_full(pattern, O_WRONLY | O_BINARY, 0666);
    int e = errno;
    temp_file temp;
    if (fd >= 0)
        temp.path = pattern;
    g_free(pattern);
    if (fd < 0)
        return fail("cannot create a temporary file in " + dirname + ": " + errno_text(e));
    temp.f = fdopen(fd, "wb");
    if (!temp.f) {
        e = errno;
        g_close(fd, nullptr);
        return fail("cannot write " + temp.path + ": " + errno_text(e));
    }

    unsigned char image[RECORD_SIZE];
    create_header(image);
    int records = 0;
    bool written = fwrite(image, RECORD_SIZE, 1, temp.f) == 1;
    for (question *r = head_of(q); written && r; r = r->next) {
        records++;
        record_to_image(r, image);
        written = fwrite(image, RECORD_SIZE, 1, temp.f) == 1;
    }
    if (!written || fflush(temp.f) != 0 || !sync_file(temp.f))
        return fail("cannot write " + temp.path + ": " + errno_text(errno));
    FILE *f = temp.f;
    temp.f = nullptr;
    if (fclose(f) != 0)
        return fail("cannot write " + temp.path + ": " + errno_text(errno));
    if (!replace_file(temp.path.c_str(), path, &why))
        return fail("cannot rename " + temp.path + " to it: " + why);
    temp.keep = true;
    return records + 1;
}

question *load_list_file(const char *path, bool *ok, std::string *error)
{
    *ok = false;
    auto fail = [&](const std::string &what) -> question * {
        if (error)
            *error = std::string(path ? path : "") + ": " + what;
        return nullptr;
    };
    std::string why;
    FILE *f = open_regular_file(path, &why);
    if (!f)
        return fail(why);
    std::unique_ptr<FILE, int (*)(FILE *)> closer(f, fclose);

    // Everything is checked before a global changes.
    struct stat st;
    if (fstat(fileno(f), &st) != 0)
        return fail(errno_text(errno));
    if (st.st_size < RECORD_SIZE || st.st_size % RECORD_SIZE != 0)
        return fail("not a saved exam: " + std::to_string((long long)st.st_size) +
                    " bytes are not a whole number of " + std::to_string(RECORD_SIZE) +
                    "-byte records");
    long long items = (long long)st.st_size / RECORD_SIZE - 1;
    // No run is longer, so no saved exam is: a larger file would only cost
    // memory and give items the run can't number.
    if (items > MAX_RUN_ITEMS)
        return fail("not a saved exam: " + std::to_string(items) + " records after the header, "
                    "but a run holds at most " + std::to_string((int)MAX_RUN_ITEMS) + " items");

    unsigned char header[RECORD_SIZE], image[RECORD_SIZE];
    if (fread(header, RECORD_SIZE, 1, f) != 1)
        return fail("cannot read the header");
    char name[PATH_SIZE];
    header_text(name, header + HEADER_EXAMNAME);
    if (!is_exam_name(name))
        return fail("the exam name is not the name of an exam directory");

    question *head = nullptr, *tail = nullptr;
    for (long long i = 0; i < items; i++) {
        if (fread(image, RECORD_SIZE, 1, f) != 1) {
            destroy_list(head);
            return fail("cannot read record " + std::to_string(i + 1));
        }
        char type = (char)image[IMAGE_TYPE];
        if (type != 'S' && type != 'M' && type != 'F')
            continue;
        question *r = new_question();
        record_from_image(image, r);
        if (r->points < 1 || r->points > 9)
            r->points = 1;
        for (char &flag : r->selected)
            flag = flag != 0;
        r->marked = r->marked != 0;
        if (r->OK != OK_RIGHT && r->OK != OK_WRONG && r->OK != OK_UNANSWERED)
            check_question(r);
        if (tail)
            append_question(tail, r);
        else
            head = r;
        tail = r;
    }
    set_globals(header);
    *ok = true;
    return head;
}

int write_list(const char *path, question *q)
{
    std::string error;
    int records = save_list_file(path, q, &error);
    if (!records) {
        g_printerr("%s\n", error.c_str());
        file_write_error_dialog(path ? path : "");
    }
    return records;
}

question *read_list(const char *path)
{
    bool ok = false;
    std::string error;
    question *list = load_list_file(path, &ok, &error);
    if (!ok) {
        g_printerr("%s\n", error.c_str());
        file_read_error_dialog(path ? path : "");
    }
    return list;
}

// ---- Items in the text of a question file ----

namespace {

bool begins_with3(const char *s, size_t len, const char *tag)
{
    return len >= 3 && memcmp(s, tag, 3) == 0;
}

// Hands out the lines of a text without copying them.
struct line_reader {
    const char *p, *end;
    int line;   // number of the line handed out last

    // s and len (with the '\n', if the line has one) of the next line.
    bool next(const char *&s, size_t &len)
    {
        if (p >= end)
            return false;
        const char *nl = (const char *)memchr(p, '\n', (size_t)(end - p));
        s = p;
        p = nl ? nl + 1 : end;
        len = (size_t)(p - s);
        line++;
        return true;
    }
};

size_t without_newline(const char *s, size_t len)
{
    return len > 0 && s[len - 1] == '\n' ? len - 1 : len;
}

// A text field filled line by line: the lines joined with '\n' (which is
// what appending each line with its '\n' and chopping the last one gives),
// cut on a character boundary when it is full.
struct text_field {
    char *dst;
    size_t size;
    size_t used = 0;
    bool lines = false;
    bool cut = false;

    text_field(char *d, size_t s) : dst(d), size(s) { dst[0] = '\0'; }

    // Adds one line; true when this line is where the field filled up.
    bool add(const char *s, size_t len)
    {
        if (cut)
            return false;
        if (lines && !append("\n", 1))
            return true;
        lines = true;
        return !append(s, len);
    }

    bool append(const char *s, size_t len)
    {
        size_t n = utf8_cut(s, len, size - 1 - used);
        memcpy(dst + used, s, n);
        used += n;
        dst[used] = '\0';
        cut = n < len;
        return !cut;
    }
};

// Where the parts of an item stand in the text.
struct item_lines {
    int head = 0, text = 0, explanation = 0;
    int slot[NUM_ANSWERS] = {0};   // 0: no line for this slot
};

// What is wrong with a parsed item beyond its layout: choices that can't
// be graded as meant, and markup that the screens could not show.
void check_item(const question &q, int n, const item_lines &lines, std::vector<item_problem> *problems)
{
    auto report = [&](int line, std::string what) { problems->push_back({line, n, std::move(what)}); };
    if (q.type == 'S' || q.type == 'M') {
        int right = 0;
        for (int i = 0; i < NUM_ANSWERS && lines.slot[i]; i++) {
            char mark = q.answers[i][0];
            if (mark == '+' && ++right == 2 && q.type == 'S')
                report(lines.slot[i], "more than one '+' choice in a single-choice item");
            if (mark != '+' && mark != '-' && mark != '\0')
                report(lines.slot[i], "choice line without '+' or '-' in its first column");
        }
        if (right == 0)
            report(lines.slot[0] ? lines.slot[0] : lines.head, "no '+' choice: the item can never be right");
    } else if (q.type == 'F') {
        bool any = false;
        for (int i = 0; i < NUM_ANSWERS; i++) {
            size_t len = strlen(q.answers[i]);
            any = any || len > 0;
            // A source saved with Windows line ends keeps the CR in every
            // answer, and nothing an examinee types can match it.
            if (len > 0 && q.answers[i][len - 1] == '\r')
                report(lines.slot[i], "accepted answer ends with a carriage return (Windows line ends): "
                                      "no typed answer can match it");
        }
        if (!any)
            report(lines.slot[0] ? lines.slot[0] : lines.head, "no accepted answer: the item can never be right");
    }
    std::string why;
    if (!markup_is_valid(q.text, &why))
        report(lines.text, "question text is not valid markup: " + why);
    if (!markup_is_valid(q.explanation, &why))
        report(lines.explanation, "explanation is not valid markup: " + why);
}

const char *section_end_problem(int section)
{
    return section == 0 ? "no end-of-section line ('---') after the question text"
                        : "no end-of-section line ('---') after the answers";
}

} // namespace

item_index index_items(const char *text, size_t size)
{
    item_index index;
    line_reader r{text, text + size, 0};
    const char *s;
    size_t len;
    while (r.next(s, len)) {
        if (begins_with3(s, len, "+++")) {
            index.after.push_back((size_t)(r.p - text));
            index.line.push_back(r.line);
        }
    }
    return index;
}

void parse_item(const char *text, size_t size, const item_index &index, int n,
                question *q, std::vector<item_problem> *problems)
{
    if (n < 1 || n > index.count())
        return;
    auto report = [&](int line, std::string what) {
        if (problems)
            problems->push_back({line, n, std::move(what)});
    };
    line_reader r{text + index.after[(size_t)n - 1], text + size, index.line[(size_t)n - 1]};
    const char *s;
    size_t len;

    // Head line: kind letter, then an optional points digit.
    if (!r.next(s, len))
        return;
    q->type = len > 0 ? s[0] : '\0';
    q->points = (len > 1 && s[1] >= '1' && s[1] <= '9') ? (signed char)(s[1] - '0') : 1;
    if (problems) {
        if (q->type != 'S' && q->type != 'M' && q->type != 'F')
            report(r.line, std::string("unknown kind letter '")
                               + (g_ascii_isprint(q->type) ? q->type : '?') + "' (S, M or F expected)");
        if (len > 1 && g_ascii_isdigit(s[1]) && (s[1] == '0' || (len > 2 && g_ascii_isdigit(s[2]))))
            report(r.line, "points must be one digit from 1 to 9; this item is worth "
                               + std::to_string(q->points));
    }

    // Question text, then the answer lines, each up to a "---" line.
    item_lines lines;
    lines.head = r.line;
    lines.text = r.line + 1;
    text_field body(q->text, TEXT_SIZE);
    int answer_lines = 0;
    bool layout_broken = false;
    for (int section = 0; section < 2; section++) {
        bool ended = false, separator_seen = false;
        while (r.next(s, len)) {
            if (begins_with3(s, len, "---")) {
                ended = true;
                break;
            }
            if (begins_with3(s, len, "+++") && !separator_seen) {
                separator_seen = true;
                report(r.line, section_end_problem(section));
            }
            size_t content = without_newline(s, len);
            if (section == 0) {
                if (body.add(s, content))
                    report(r.line, "question text over 2047 bytes; the rest is cut");
                continue;
            }
            if (answer_lines >= NUM_ANSWERS) {
                if (answer_lines++ == NUM_ANSWERS)
                    report(r.line, "more than 7 answer lines; the rest are ignored");
                continue;
            }
            char *slot = q->answers[answer_lines];
            bool cut;
            if (q->type == 'F') {
                cut = utf8_copy(slot, ANSWER_SIZE, s, content);
            } else {
                std::string broken = line_broken(s, len, CHOICE_WIDTH);
                cut = utf8_copy(slot, ANSWER_SIZE, broken.data(), without_newline(broken.data(), broken.size()));
            }
            if (cut)
                report(r.line, "answer line over 255 bytes; cut");
            lines.slot[answer_lines++] = r.line;
        }
        if (!ended) {
            // The rest of the item ran into the end of the text.
            if (!separator_seen)
                report(r.line, section_end_problem(section));
            return;
        }
        if (separator_seen)
            layout_broken = true;
    }

    // Explanation, up to the separator that begins the next item.
    lines.explanation = r.line + 1;
    text_field explanation(q->explanation, TEXT_SIZE);
    while (r.next(s, len) && !begins_with3(s, len, "+++")) {
        if (explanation.add(s, without_newline(s, len)))
            report(r.line, "explanation over 2047 bytes; the rest is cut");
    }

    // A swallowed separator makes every later complaint about this item
    // a consequence of the missing end line.
    if (problems && !layout_broken)
        check_item(*q, n, lines, problems);
}

int count_questions(const char *path)
{
    membuf_ptr b = file2buf(path);
    if (!b)
        return -1;
    return index_items(b->data, b->size).count();
}

question *read_question(int n, const char *path)
{
    membuf_ptr b = file2buf(path);
    if (!b)
        return nullptr;
    item_index index = index_items(b->data, b->size);
    if (n < 1 || n > index.count())
        return nullptr;
    question *q = new_question();
    parse_item(b->data, b->size, index, n, q);
    return q;
}

question *create_exam_list(const std::vector<int> &order, int n, const char *dir,
                           const std::vector<std::string> &names,
                           std::vector<item_origin> *origins)
{
    question *head = nullptr, *tail = nullptr;
    int taken = 0;
    question_loader loader;   // one for all files: its memory serves each in turn
    if (n > (int)order.size())
        n = (int)order.size();
    for (int i = 0; i < n; i++) {
        if (taken == MAX_RUN_ITEMS) {
            fprintf(stderr, "Only %d items fit in a run; %d question files left out\n",
                    MAX_RUN_ITEMS, n - i);
            break;
        }
        int file = order[(size_t)i];
        if (file < 0 || file >= (int)names.size())
            continue;   // an order longer than the list of names: nothing to read
        const char *name = names[(size_t)file].c_str();
        std::optional<std::string> path = join_path(dir, name);
        if (!path) {
            fprintf(stderr, "%s: path longer than %d characters; question file left out\n",
                    name, MAX_PATH_CHARS);
            continue;
        }
        // One decompression serves both the count and the item.
        load_error error;
        bool loaded = loader.load(path->c_str(), &error);
        if (!loaded)
            print_load_error(error);
        item_index index;
        if (loaded)
            index = index_items(loader.text(), loader.size());
        int count = loaded ? index.count() : -1;
        if (count < 1) {
            fprintf(stderr, "%s: no item can be read; question file left out\n", path->c_str());
            continue;
        }
        question *q = new_question();
        int drawn = random(count) + 1;
        parse_item(loader.text(), loader.size(), index, drawn, q);
        q->number = (signed char)++taken;
        if (origins)
            origins->push_back({name, drawn});
        if (tail)
            append_question(tail, q);
        else
            head = q;
        tail = q;
    }
    return head;
}
