// GIFT, the question format of Moodle and other learning platforms: one
// question per paragraph, the answers in braces.
#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "bank/buffer.h"
#include "bank/exhibit.h"
#include "bank/glib_ptr.h"
#include "bank/question.h"
#include "tools/import.h"
#include "tools/import_markup.h"

namespace {

const size_t npos = std::string::npos;

// Text with GIFT's escapes taken out; lit[i] marks a character that was
// escaped and so has no special meaning.
struct gift_text {
    std::string s;
    std::vector<bool> lit;

    bool special(size_t i, char c) const { return i < s.size() && s[i] == c && !lit[i]; }

    size_t find(const char *seq, size_t from = 0) const
    {
        size_t n = strlen(seq);
        for (size_t i = from; i + n <= s.size(); i++) {
            size_t k = 0;
            while (k < n && special(i + k, seq[k]))
                k++;
            if (k == n)
                return i;
        }
        return npos;
    }

    gift_text sub(size_t from, size_t to) const
    {
        to = std::min(to, s.size());
        from = std::min(from, to);
        return {s.substr(from, to - from), std::vector<bool>(lit.begin() + (long)from, lit.begin() + (long)to)};
    }

    size_t skip_blanks(size_t i) const
    {
        while (i < s.size() && !lit[i] && strchr(" \t\n", s[i]))
            i++;
        return i;
    }
};

gift_text unescape(const std::string &raw)
{
    gift_text t;
    for (size_t i = 0; i < raw.size(); i++) {
        char c = raw[i], next = i + 1 < raw.size() ? raw[i + 1] : '\0';
        bool escape = c == '\\' && next && (strchr("~=#{}:\\", next) || next == 'n');
        if (escape) {
            c = next == 'n' ? '\n' : next;
            i++;
        }
        t.s += c;
        t.lit.push_back(escape);
    }
    return t;
}

struct gift_answer {
    char mark;            // '=' or '~'
    double weight;        // percent of the marks
    std::string label;    // the answer as plain text on one line
    std::string feedback; // Pango markup
};

// Text in the question's format unless it names its own.
std::string markup_of(std::string s, text_format format, int *images, const image_hook *hook = nullptr)
{
    take_format(&s, &format);
    return to_markup(s, format, images, hook);
}

// A weight "%50%" at the start of an answer; false when malformed.
bool take_weight(const gift_text &a, size_t *pos, double *weight, std::string *why)
{
    if (!a.special(*pos, '%'))
        return true;
    size_t end = a.find("%", *pos + 1);
    std::string number = end == npos ? "" : a.s.substr(*pos + 1, end - *pos - 1);
    char *stop = nullptr;
    double w = g_ascii_strtod(number.c_str(), &stop);
    if (end == npos || number.empty() || *stop || !std::isfinite(w) || w < -100 || w > 100) {
        *why = "the weight '" + a.s.substr(*pos, end == npos ? npos : end - *pos + 1)
               + "' is not a percentage from -100 to 100 between two '%'";
        return false;
    }
    *weight = w;
    *pos = end + 1;
    return true;
}

bool full_credit(double w)
{
    return w > 99.999;
}

// Whether one of `accepted` is `label` to GIFT, which compares without
// letter case: a slot for it would be wasted.
bool answered_by(const std::vector<std::string> &accepted, const std::string &label)
{
    for (const std::string &a : accepted)
        if (answer_matches(label.c_str(), a.c_str(), answer_compare::lenient))
            return true;
    return false;
}

struct question_parser {
    import_result *result;
    int line;
    imported_item item;
    std::vector<import_note> changes;
    text_format format = text_format::moodle;
    int images = 0;
    const image_hook *hook = nullptr;   // pictures kept as exhibits

    void skip(const std::string &why) { result->notes.push_back({line, why, true}); }
    void change(const std::string &what) { changes.push_back({line, what, false}); }

    void finish(const std::vector<std::string> &paragraphs)
    {
        int dropped = 0;
        item.explanation = join_explanation(paragraphs, &dropped);
        if (dropped)
            change("explanation over 2047 bytes: " + std::to_string(dropped) + " feedback text(s) left out");
        if (images)
            change("images can't be shown: each is replaced by its description in brackets");
        add_item(result, std::move(item), std::move(changes));
    }

    std::string feedback_line(const std::string &label, const std::string &feedback)
    {
        return "<b>" + escape_markup(label) + "</b>: " + feedback;
    }

    void true_false(bool truth, const gift_text &rest, const std::string &general)
    {
        // The first feedback is for the wrong answer, the second for the right one.
        size_t hash = rest.find("#");
        std::string wrong = rest.s.substr(0, hash);
        std::string right = hash == npos ? "" : rest.s.substr(hash + 1);
        item.kind = item_kind::single;
        item.answers = {truth ? "+True" : "-True", truth ? "-False" : "+False"};
        std::string on_true = markup_of(truth ? right : wrong, format, &images, hook);
        std::string on_false = markup_of(truth ? wrong : right, format, &images, hook);
        std::vector<std::string> paragraphs = {general};
        if (!on_true.empty())
            paragraphs.push_back(feedback_line("True", on_true));
        if (!on_false.empty())
            paragraphs.push_back(feedback_line("False", on_false));
        finish(paragraphs);
    }

    // The answers of a multiple-choice or short-answer question.
    bool split_answers(const gift_text &body, std::vector<gift_answer> *answers)
    {
        std::vector<size_t> starts;
        for (size_t i = 0; i < body.s.size(); i++)
            if (body.special(i, '=') || body.special(i, '~'))
                starts.push_back(i);
        if (starts.empty() || body.skip_blanks(0) != starts[0]) {
            skip("text before the first answer: begin each answer with '=' (right) or '~' (wrong)");
            return false;
        }
        for (size_t k = 0; k < starts.size(); k++) {
            gift_text a = body.sub(starts[k] + 1, k + 1 < starts.size() ? starts[k + 1] : npos);
            gift_answer answer{body.s[starts[k]], body.s[starts[k]] == '=' ? 100.0 : 0.0, "", ""};
            size_t pos = a.skip_blanks(0);
            std::string why;
            if (!take_weight(a, &pos, &answer.weight, &why)) {
                skip(why);
                return false;
            }
            size_t hash = a.find("#", pos);
            answer.label = a.s.substr(pos, hash == npos ? npos : hash - pos);
            if (hash != npos)
                answer.feedback = markup_of(a.s.substr(hash + 1), format, &images, hook);
            answers->push_back(answer);
        }
        return true;
    }

    void choices(std::vector<gift_answer> &answers, const std::string &general)
    {
        std::vector<std::string> paragraphs = {general};
        int right = 0, full = 0;
        double sum = 0;
        for (gift_answer &a : answers) {
            a.label = markup_to_line(markup_of(a.label, format, &images));
            if (a.label.empty())
                return skip("an answer is empty");
            if (a.weight > 0) {
                right++;
                sum += a.weight;
            }
            full += full_credit(a.weight);
            if (!a.feedback.empty())
                paragraphs.push_back(feedback_line(a.label, a.feedback));
        }
        if (right == 0)
            return skip("no answer is right: mark one with '=' or give weights above 0%");
        // One answer worth all the marks makes a single-choice question.
        item.kind = full == 1 ? item_kind::single : item_kind::multiple;
        if (full == 1 && right > 1)
            change("partial credit dropped: only the answer worth 100% counts as right");
        if (full == 0 && std::fabs(sum - 100) > 0.5)
            change("the weights above 0% add up to " + std::to_string((int)std::lround(sum))
                   + "%, not 100%: here the question is right when all of those answers are ticked");
        for (const gift_answer &a : answers) {
            bool plus = item.kind == item_kind::single ? full_credit(a.weight) : a.weight > 0;
            item.answers.push_back((plus ? "+" : "-") + a.label);
        }
        finish(paragraphs);
    }

    void short_answer(std::vector<gift_answer> &answers, const std::string &general)
    {
        std::vector<std::string> paragraphs = {general}, accepted;
        for (gift_answer &a : answers) {
            a.label = markup_to_line(markup_of(a.label, format, &images));
            if (a.label.empty())
                return skip("an answer is empty");
            if (!a.feedback.empty())
                paragraphs.push_back(feedback_line(a.label, a.feedback));
            if (a.label.find('*') != npos && a.weight > 0)
                change("the answer '" + a.label + "' holds the wildcard '*', which Trialix can't match; left out");
            else if (full_credit(a.weight)) {
                if (!answered_by(accepted, a.label))   // else the same answer to GIFT
                    accepted.push_back(a.label);
            }
            else if (a.weight > 0)
                change("partial credit dropped: the answer '" + a.label + "' is graded wrong");
        }
        if (accepted.empty())
            return skip("no answer earns full credit");
        if (accepted.size() > NUM_ANSWERS)
            return skip(std::to_string(accepted.size()) + " accepted answers; an item holds at most "
                        + std::to_string(NUM_ANSWERS));
        item.kind = item_kind::fill_in;
        item.answers = accepted;
        finish(paragraphs);
    }

    void parse(const std::string &raw)
    {
        gift_text g = unescape(raw);
        size_t pos = g.skip_blanks(0);
        if (g.find("::", pos) == pos) {
            size_t end = g.find("::", pos + 2);
            if (end == npos)
                return skip("question name without its closing '::'");
            item.name = trim(g.s.substr(pos + 2, end - pos - 2));
            pos = end + 2;
        }
        size_t open = g.find("{", pos);
        if (open == npos)
            return skip("no answers in braces: a description, not a question");
        size_t close = g.find("}", open + 1);
        if (close == npos)
            return skip("no '}' closing the answers (write \\} for a literal brace)");
        if (g.find("{", open + 1) < close)
            return skip("'{' inside the answers (write \\{ for a literal brace)");
        std::string text = g.s.substr(pos, open - pos);
        take_format(&text, &format);
        item.text = to_markup(text, format, &images, hook);

        gift_text body = g.sub(open + 1, close);
        std::string general;
        size_t hashes = body.find("####");
        if (hashes != npos) {
            general = markup_of(body.s.substr(hashes + 4), format, &images, hook);
            body = body.sub(0, hashes);
        }
        size_t first = body.skip_blanks(0);
        if (first == body.s.size())
            return skip("essay question: Trialix has no items answered in free text");
        if (body.special(first, '#'))
            return skip("numerical question: Trialix has no items that take a number within a range");
        size_t hash = body.find("#", first);
        std::string head = trim(body.s.substr(first, hash == npos ? npos : hash - first));
        for (char &c : head)
            c = g_ascii_toupper(c);
        bool truth = head == "T" || head == "TRUE", untruth = head == "F" || head == "FALSE";
        std::vector<gift_answer> answers;
        if (!truth && !untruth && !split_answers(body, &answers))
            return;
        bool all_right = true, arrows = false;
        for (const gift_answer &a : answers) {
            all_right = all_right && a.mark == '=';
            arrows = arrows || a.label.find("->") != npos;
        }
        if (all_right && arrows)
            return skip("matching question: Trialix has no items that pair answers");
        gift_text after = g.sub(close + 1, npos);
        if (after.skip_blanks(0) < after.s.size())
            return skip(after.find("{") != npos
                            ? "more than one set of answers in braces"
                            : "missing-word question (answers inside the text): a Trialix item asks before its answers");
        if (truth || untruth)
            return true_false(truth, hash == npos ? gift_text() : body.sub(hash + 1, npos), general);
        if (all_right)
            short_answer(answers, general);
        else
            choices(answers, general);
    }
};

// The path below the bank's folder that an image's `src` names, with '/'
// between its parts, or "" for one that leaves it or is no file of the
// bank's own (a web address, a data URI, an absolute path).
std::string beside_the_bank(std::string src)
{
    // Moodle names the files of a question so.
    const std::string moodle = "@@PLUGINFILE@@/";
    if (src.compare(0, moodle.size(), moodle) == 0)
        src.erase(0, moodle.size());
    gchar_ptr unescaped(g_uri_unescape_string(src.c_str(), nullptr));
    if (!unescaped)
        return "";
    src = unescaped.get();
    if (src.empty() || src[0] == '/' || src.find_first_of(":\\") != npos)
        return "";
    gchar **parts = g_strsplit(src.c_str(), "/", -1);
    bool ok = true;
    for (gchar **p = parts; *p; p++)
        ok = ok && **p && strcmp(*p, ".") != 0 && strcmp(*p, "..") != 0;
    g_strfreev(parts);
    return ok ? src : "";
}

} // namespace

void import_gift(const std::string &text, import_result *result, const char *source_dir)
{
    image_hook hook = [&](const std::string &src, const std::string &alt, std::string *markup) {
        std::string rel = source_dir ? beside_the_bank(src) : "";
        if (rel.empty())
            return false;
        std::string native = rel;
        std::replace(native.begin(), native.end(), '/', G_DIR_SEPARATOR);
        gchar_ptr path(g_build_filename(source_dir, native.c_str(), nullptr));
        std::string bytes;
        exhibit_info info;
        std::string name = rel.substr(rel.rfind('/') + 1);
        std::string kept = exhibit_read(path.get(), &bytes, &info, nullptr) ? add_picture(result, name, bytes) : "";
        if (kept.empty())
            return false;
        *markup = exhibit_markup(kept, alt.empty() ? kept : alt);
        return true;
    };
    std::string category, block;
    int block_line = 0, lineno = 0;
    auto flush = [&] {
        if (!block.empty()) {
            question_parser p{result, block_line, {}, {}};
            p.hook = &hook;
            p.item.line = block_line;
            p.item.category = category;
            p.parse(block);
        }
        block.clear();
    };
    gchar **lines = g_strsplit(text.c_str(), "\n", -1);
    for (gchar **l = lines; *l; l++) {
        lineno++;
        std::string line = *l;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string t = trim(line);
        if (g_str_has_prefix(t.c_str(), "//"))
            continue;
        if (t.empty()) {
            flush();
        } else if (g_str_has_prefix(t.c_str(), "$CATEGORY:")) {
            flush();
            category = trim(t.substr(10));
            result->categories = true;
        } else {
            if (block.empty())
                block_line = lineno;
            else
                block += '\n';
            block += line;
        }
    }
    g_strfreev(lines);
    flush();
    // GIFT compares short answers without letter case; so does the exam.
    for (const imported_item &item : result->items)
        result->lenient = result->lenient || item.kind == item_kind::fill_in;
}
