#include "bank/item_text.h"

#include <glib.h>

#include <algorithm>
#include <cstring>

#include "bank/error.h"
#include "bank/exhibit.h"
#include "bank/glib_ptr.h"
#include "bank/markup.h"
#include "bank/text.h"

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

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// Nothing but blanks and a Windows line end.
bool is_blank_line(const char *s, size_t len)
{
    for (size_t i = 0; i < len; i++)
        if (!is_blank(s[i]) && s[i] != '\r' && s[i] != '\n')
            return false;
    return true;
}

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

// What keeps the image a reference names from being shown.
template <typename Report>
void check_exhibit_file(const char *exam_dir, const std::string &src, Report report)
{
    gerror_ptr why;
    std::optional<std::string> path = exhibit_path(exam_dir, src, out_error(why));
    std::string bytes;
    exhibit_info info;
    if (path && exhibit_read(path->c_str(), &bytes, &info, out_error(why)))
        return;
    if (why->code == TRIALIX_ERROR_MISSING)
        report("no such file");
    else if (why->code == TRIALIX_ERROR_FORMAT)
        report("unsupported image: " + std::string(why->message) + " (by its content)");
    else if (why->code == TRIALIX_ERROR_TOO_LARGE)
        report(std::string("image over the limits: ") + why->message + " (at most 10 MiB, " +
               std::to_string(EXHIBIT_MAX_SIDE) + " pixels a side, 40 megapixels)");
    else
        report(why->message);
}

// What is wrong with a parsed item beyond its layout: choices that can't
// be graded as meant, and markup that the screens could not show.
void check_item(const question &q, int n, const item_lines &lines, answer_compare compare, const char *exam_dir,
                std::vector<item_problem> *problems)
{
    auto report = [&](int line, std::string what) { problems->push_back({line, n, std::move(what)}); };
    const item_kind_info *kind = kind_of_letter(q.type);
    if (kind && kind->answer == answer_form::choices) {
        int right = 0;
        for (int i = 0; i < NUM_ANSWERS && lines.slot[i]; i++) {
            char mark = q.answers[i][0];
            if (mark == '+' && ++right == 2 && kind->one_tick)
                report(lines.slot[i], std::string("more than one '+' choice in a ") + kind->name + " item");
            if (mark != '+' && mark != '-' && mark != '\0')
                report(lines.slot[i], "choice line without '+' or '-' in its first column");
            else if (mark && (q.answers[i][1] == ' ' || q.answers[i][1] == '\t'))
                report(lines.slot[i], "blank after the choice's '+' or '-': the choice is shown "
                                      "with a leading blank");
        }
        if (right == 0)
            report(lines.slot[0] ? lines.slot[0] : lines.head, "no '+' choice: the item can never be right");
    } else if (kind && kind->answer == answer_form::typed) {
        bool any = false;
        for (int i = 0; i < NUM_ANSWERS; i++) {
            size_t len = strlen(q.answers[i]);
            any = any || len > 0;
            // A source saved with Windows line ends keeps the CR in every
            // answer, and nothing an examinee types can match it.
            if (len > 0 && q.answers[i][len - 1] == '\r')
                report(lines.slot[i], "accepted answer ends with a carriage return (Windows line ends): "
                                      "no typed answer can match it");
            // Answers are compared blank for blank, and nobody types "pwd ".
            else if (compare == answer_compare::exact && len > 0 &&
                     (is_blank(q.answers[i][0]) || is_blank(q.answers[i][len - 1])))
                report(lines.slot[i], "accepted answer begins or ends with a blank: "
                                      "the answer typed without it does not match");
            for (int j = 0; j < i && len > 0; j++) {
                if (!answer_matches(q.answers[i], q.answers[j], compare))
                    continue;
                report(lines.slot[i], "accepted answer is the same as line " + std::to_string(lines.slot[j]) +
                                          (compare == answer_compare::exact ? "'s" : "'s when compared leniently")
                                          + ": the slot is wasted");
                break;
            }
        }
        if (!any)
            report(lines.slot[0] ? lines.slot[0] : lines.head, "no accepted answer: the item can never be right");
    }
    auto check_markup = [&](const char *text, int line, const std::string &what) {
        gerror_ptr why;
        std::string shown = exhibit_strip(text);
        if (!markup_is_valid(shown.c_str(), out_error(why)))
            report(line, what + " is not valid markup: " + why->message);
        else if (!markup_is_safe(shown.c_str(), MARKUP_MAX_PIXELS, out_error(why)))
            report(line, what + " is markup too large to show: " + why->message);
        for (const exhibit_ref &ref : exhibit_refs(text)) {
            int at = line + (int)std::count(text, text + ref.start, '\n');
            std::string image = "image \"" + ref.src + "\": ";
            if (!exhibit_has_alt(ref))
                report(at, image + "no alternative text (alt=\"WHAT THE IMAGE SHOWS\")");
            std::optional<std::string> problem = exhibit_src_problem(ref.src);
            if (problem)
                report(at, image + *problem);
            else if (exam_dir)
                check_exhibit_file(exam_dir, ref.src, [&](const std::string &w) { report(at, image + w); });
        }
    };
    check_markup(q.text, lines.text, "question text");
    check_markup(q.explanation, lines.explanation, "explanation");
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

bool item_keeps_order(const char *text, size_t size, const item_index &index, int n)
{
    if (n < 1 || n > index.count())
        return false;
    line_reader r{text + index.after[(size_t)n - 1], text + size, 0};
    const char *s;
    size_t len;
    if (!r.next(s, len) || len < 2)
        return false;
    // A word of its own after the kind letter and points digit.
    std::string head(s + 1, without_newline(s + 1, len - 1));
    const char word[] = "keep-order";
    for (size_t at = head.find(word); at != std::string::npos; at = head.find(word, at + 1)) {
        size_t after = at + sizeof word - 1;
        bool starts = at > 0 && is_blank(head[at - 1]);
        bool ends = after == head.size() || is_blank(head[after]) || head[after] == '\r';
        if (starts && ends)
            return true;
    }
    return false;
}

void parse_item(const char *text, size_t size, const item_index &index, int n,
                question *q, std::vector<item_problem> *problems, answer_compare compare, const char *exam_dir)
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
        if (is_blank_line(s, len))
            report(r.line, std::string("the line after +++ is blank: it must start with ") + kind_letters()
                               + " (the item's kind)");
        else if (!kind_of_letter(q->type))
            report(r.line, std::string("unknown kind letter '") + (g_ascii_isprint(q->type) ? q->type : '?')
                               + "' (" + kind_letters() + " expected)");
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
            if (kind_is_typed(q->type)) {
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
        check_item(*q, n, lines, compare, exam_dir, problems);
}

