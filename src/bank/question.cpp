#include "bank/question.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <glib.h>

#include "bank/buffer.h"
#include "bank/tools.h"

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
        for (int i = 0; i < NUM_ANSWERS; i++)
            any = any || q.answers[i][0] != '\0';
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
                           const std::vector<std::string> &names)
{
    question *head = nullptr, *tail = nullptr;
    int taken = 0;
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
        membuf_ptr b = file2buf(path->c_str());
        item_index index;
        if (b)
            index = index_items(b->data, b->size);
        int count = b ? index.count() : -1;
        if (count < 1) {
            fprintf(stderr, "%s: no item can be read; question file left out\n", path->c_str());
            continue;
        }
        question *q = new_question();
        parse_item(b->data, b->size, index, random(count) + 1, q);
        q->number = (signed char)++taken;
        if (tail)
            append_question(tail, q);
        else
            head = q;
        tail = q;
    }
    return head;
}
