// Moodle XML, the question bank format learning platforms export with
// everything kept: categories, HTML text with embedded pictures, feedback
// and answer fractions.
#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "bank/question.h"
#include "tools/import.h"
#include "tools/import_markup.h"
#include "tools/xml_tree.h"

namespace {

const char PLUGINFILE[] = "@@PLUGINFILE@@/";

text_format format_of(const xml_element &holder)
{
    std::string f = holder.attribute("format");
    if (f == "moodle_auto_format")
        return text_format::moodle;
    if (f == "plain_text")
        return text_format::plain;
    if (f == "markdown")
        return text_format::markdown;
    return text_format::html;
}

// A file name that can stand in the exam's images folder as it is.
bool safe_file_name(const std::string &name)
{
    if (name.empty() || name == "." || name.find("..") != std::string::npos ||
        name.find_first_of("/\\:") != std::string::npos)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7f; });
}

// Base64 as RFC 4648 writes it, blanks between allowed; false when it isn't.
bool decode_base64(const std::string &text, std::string *bytes)
{
    std::string clean;
    clean.reserve(text.size());
    for (char c : text) {
        if (markup_blank(c))
            continue;
        if (!g_ascii_isalnum(c) && c != '+' && c != '/' && c != '=')
            return false;
        clean += c;
    }
    size_t pad = clean.size() - std::min(clean.find('='), clean.size());
    if (clean.size() % 4 != 0 || pad > 2 || clean.find_first_not_of('=', clean.size() - pad) != std::string::npos)
        return false;
    bytes->assign(clean.size() / 4 * 3, '\0');
    gint state = 0;
    guint save = 0;
    gsize n = g_base64_decode_step(clean.c_str(), clean.size(), (guchar *)&(*bytes)[0], &state, &save);
    bytes->resize(n);
    return true;
}

// Every embedded file of the bank checked and decoded in place, before
// anything is written: a bad one refuses the whole bank.
bool decode_files(xml_element &e, std::string *why)
{
    if (e.name == "file") {
        std::string name = e.attribute("name");
        if (!safe_file_name(name)) {
            *why = "line " + std::to_string(e.line) + ": the embedded file name '" + name
                   + "' is not a plain file name (no '/', '\\' or '..')";
            return false;
        }
        if (e.attribute("encoding") != "base64" || !decode_base64(e.text, &e.text)) {
            *why = "line " + std::to_string(e.line) + ": the embedded file '" + name + "' is not base64";
            return false;
        }
    }
    for (xml_element &c : e.children)
        if (!decode_files(c, why))
            return false;
    return true;
}

// The embedded files of one question by the element that holds them and
// by name, found in one walk: looking each picture up stays linear
// however many pictures and files a question holds.
struct file_index {
    std::map<std::pair<const xml_element *, std::string>, const xml_element *> by_holder;
    std::map<std::string, const xml_element *> by_name;   // the first of each name

    void add(const xml_element &e)
    {
        for (const xml_element &c : e.children) {
            if (c.name == "file") {
                by_holder.emplace(std::make_pair(&e, c.attribute("name")), &c);
                by_name.emplace(c.attribute("name"), &c);
            }
            add(c);
        }
    }

    const xml_element *find(const xml_element &holder, const std::string &name) const
    {
        auto own = by_holder.find({&holder, name});
        if (own != by_holder.end())
            return own->second;
        auto any = by_name.find(name);
        return any == by_name.end() ? nullptr : any->second;
    }
};

bool true_value(const std::string &s)
{
    std::string t = trim(s);
    return t == "1" || g_ascii_strcasecmp(t.c_str(), "true") == 0;
}

double fraction_of(const xml_element &answer)
{
    std::string f = trim(answer.attribute("fraction"));
    char *end = nullptr;
    double v = g_ascii_strtod(f.c_str(), &end);
    return f.empty() || *end || !std::isfinite(v) ? 0 : v;
}

// A typed answer as the bank holds it: one line of plain text.
std::string answer_line(const std::string &s)
{
    size_t a = s.find_first_not_of(" \t\n"), b = s.find_last_not_of(" \t\n");
    std::string out = a == std::string::npos ? "" : s.substr(a, b - a + 1);
    for (char &c : out)
        if (((unsigned char)c < 0x20 && c != '\r') || c == 0x7f)
            c = ' ';
    return out;
}

// A short answer's '*' is a wildcard unless written as "\*": true when it
// holds a wildcard; else the escapes are taken out of *label.
bool wildcard(std::string *label)
{
    std::string plain;
    for (size_t i = 0; i < label->size(); i++) {
        if ((*label)[i] == '\\' && i + 1 < label->size() && (*label)[i + 1] == '*')
            plain += (*label)[++i];
        else if ((*label)[i] == '*')
            return true;
        else
            plain += (*label)[i];
    }
    *label = plain;
    return false;
}

struct skip_reason {
    const char *type, *summary, *why;
};

const skip_reason SKIPPED[] = {
    {"essay", "essay", "essay question: Trialix has no items answered in free text"},
    {"matching", "matching", "matching question: Trialix has no items that pair answers"},
    {"randomsamatch", "matching", "matching question: Trialix has no items that pair answers"},
    {"multianswer", "cloze", "cloze question (answers inside the text): a Trialix item asks before its answers"},
    {"ddwtos", "ddwtos", "drag-and-drop question: Trialix has no items answered by dragging"},
    {"gapselect", "gapselect", "missing-word question (answers inside the text): a Trialix item asks before its answers"},
    {"description", "description", "description: no question to answer"},
};

struct moodle_parser {
    import_result *result = nullptr;
    const xml_element *question = nullptr;
    file_index files;   // the question's
    std::string category;
    std::vector<import_note> changes;
    int images = 0;
    int shuffled = 0;
    std::vector<int> case_sensitive;   // lines of short answers that match letter case

    void change(const std::string &what) { changes.push_back({question->line, what, false}); }

    // A picture of the bank made an exhibit; false when its description stands in.
    bool exhibit(const xml_element &holder, const std::string &src, const std::string &alt, std::string *markup)
    {
        if (src.compare(0, strlen(PLUGINFILE), PLUGINFILE) != 0)
            return false;
        gchar *unescaped = g_uri_unescape_string(src.c_str() + strlen(PLUGINFILE), nullptr);
        std::string name = unescaped ? unescaped : "";
        g_free(unescaped);
        const xml_element *file = files.find(holder, name);
        if (!file) {
            change("the image '" + name + "' is not embedded in the bank: its description stands in");
            return false;
        }
        std::string target = add_picture(result, name, file->text);
        if (target.empty()) {
            change("the image '" + name + "' is neither PNG nor JPEG: its description stands in");
            return false;
        }
        std::string text = alt;
        if (text.empty()) {
            change("the image '" + name + "' has no alternative text: its file name stands in; write a description");
            text = name;
        }
        *markup = exhibit_markup(target, text);
        return true;
    }

    // The text a holder element (questiontext, feedback, answer) carries,
    // as markup; pictures become exhibits unless `pictures` is false.
    std::string markup_of(const xml_element *holder, bool pictures = true)
    {
        if (!holder)
            return "";
        const xml_element *t = holder->child("text");
        image_hook hook = [&](const std::string &src, const std::string &alt, std::string *m) {
            return exhibit(*holder, src, alt, m);
        };
        return to_markup(t ? t->text : holder->text, format_of(*holder), &images, pictures ? &hook : nullptr);
    }

    void skip(const std::string &why) { result->notes.push_back({question->line, why, true}); }

    std::string feedback_line(const std::string &label, const xml_element &answer)
    {
        std::string f = markup_of(answer.child("feedback"));
        return f.empty() ? "" : "<b>" + escape_markup(label) + "</b>: " + f;
    }

    void points(imported_item *item)
    {
        std::string grade = trim(question->text_of("defaultgrade"));
        if (grade.empty())
            return;
        double v = g_ascii_strtod(grade.c_str(), nullptr);
        long p = std::isfinite(v) ? std::lround(std::min(std::max(v, 1.0), 9.0)) : 1;
        if (!std::isfinite(v) || std::fabs(v - (double)p) > 1e-6)
            change("worth " + grade + " points in the bank, " + std::to_string(p)
                   + " here (whole points from 1 to 9)");
        item->points = (int)p;
    }

    // Multiple choice and true/false; false when skipped.
    bool choices(imported_item *item, std::vector<std::string> *paragraphs, bool truefalse)
    {
        struct choice {
            std::string label;
            double fraction;
        };
        std::vector<choice> all;
        for (const xml_element &a : question->children) {
            if (a.name != "answer")
                continue;
            std::string label = markup_to_line(markup_of(&a, false));
            if (truefalse)
                label = g_ascii_strcasecmp(label.c_str(), "true") == 0 ? "True" : "False";
            if (label.empty())
                return skip("an answer is empty"), false;
            all.push_back({label, fraction_of(a)});
            paragraphs->push_back(feedback_line(label, a));
        }
        if (truefalse)
            std::stable_sort(all.begin(), all.end(), [](const choice &a, const choice &b) { return a.label > b.label; });
        bool single = truefalse || true_value(question->text_of("single"));
        int right = 0, full = 0;
        double sum = 0;
        for (const choice &c : all) {
            right += c.fraction > 0;
            full += c.fraction > 99.999;
            sum += c.fraction > 0 ? c.fraction : 0;
        }
        if (right == 0)
            return skip("no answer is right: none has a fraction above 0"), false;
        if (single && full != 1)
            return skip(full ? "several answers are worth 100% in a single-answer question"
                             : "no answer is worth 100% in a single-answer question"),
                   false;
        if (single && right > 1)
            change("partial credit dropped: only the answer worth 100% counts as right");
        if (!single && std::fabs(sum - 100) > 0.5)
            change("the fractions above 0 add up to " + std::to_string((int)std::lround(sum))
                   + "%, not 100%: here the question is right when all of those answers are ticked");
        item->kind = single ? item_kind::single : item_kind::multiple;
        for (const choice &c : all)
            item->answers.push_back(((single ? c.fraction > 99.999 : c.fraction > 0) ? "+" : "-") + c.label);
        if (truefalse) {
            item->keep_order = true;   // True before False, as the platforms show it
        } else if (true_value(question->child("shuffleanswers") ? question->text_of("shuffleanswers") : "1")) {
            shuffled++;
        } else {
            item->keep_order = true;
        }
        return true;
    }

    // Short answer and numerical; false when skipped.
    bool typed(imported_item *item, std::vector<std::string> *paragraphs, bool numerical)
    {
        for (const xml_element &a : question->children) {
            if (a.name != "answer")
                continue;
            std::string label = answer_line(a.child("text") ? a.child("text")->text : a.text);
            double f = fraction_of(a);
            paragraphs->push_back(feedback_line(label, a));
            if (!numerical && wildcard(&label) && f > 0)
                change("the answer '" + label + "' holds the wildcard '*', which Trialix can't match; left out");
            else if (f > 99.999 && !label.empty())
                item->answers.push_back(label);
            else if (f > 0)
                change("partial credit dropped: the answer '" + label + "' is graded wrong");
        }
        if (item->answers.empty())
            return skip("no answer earns full credit"), false;
        item->kind = item_kind::fill_in;
        if (numerical)
            change("numerical question: only the numbers as written are accepted (no tolerance, no units)");
        else if (question->child("usecase") && true_value(question->text_of("usecase")))
            case_sensitive.push_back(question->line);
        else
            result->lenient = true;
        return true;
    }

    void parse(const xml_element &q)
    {
        question = &q;
        files = file_index();
        files.add(q);
        changes.clear();
        images = 0;
        std::string type = q.attribute("type");
        if (type == "category") {
            category = trim(q.text_of("category"));
            result->categories = true;
            return;
        }
        bool truefalse = type == "truefalse", numerical = type == "numerical";
        if (type != "multichoice" && !truefalse && type != "shortanswer" && !numerical) {
            const skip_reason *r = std::find_if(std::begin(SKIPPED), std::end(SKIPPED),
                                                [&](const skip_reason &s) { return type == s.type; });
            std::string name = r != std::end(SKIPPED) ? r->summary : type.empty() ? "untyped" : type;
            result->skipped_kinds[name]++;
            return skip(r != std::end(SKIPPED) ? r->why : name + " question: Trialix has no items of this type");
        }
        imported_item item;
        item.line = q.line;
        item.name = trim(q.text_of("name"));
        item.category = category;
        item.text = markup_of(q.child("questiontext"));
        points(&item);
        std::vector<std::string> paragraphs = {markup_of(q.child("generalfeedback"))};
        bool ok = type == "multichoice" || truefalse ? choices(&item, &paragraphs, truefalse)
                                                      : typed(&item, &paragraphs, numerical);
        if (!ok)
            return;
        int dropped = 0;
        item.explanation = join_explanation(paragraphs, &dropped);
        if (dropped)
            change("explanation over 2047 bytes: " + std::to_string(dropped) + " feedback text(s) left out");
        if (images)
            change("images that can't be shown here are replaced by their description in brackets");
        add_item(result, std::move(item), std::move(changes));
    }
};

} // namespace

bool import_moodle(const std::string &text, import_result *result, std::string *why)
{
    xml_element root;
    if (!xml_read(text, &root, why))
        return false;
    if (root.name != "quiz") {
        *why = "the root element is <" + root.name + ">, not <quiz>: not a Moodle XML question bank";
        return false;
    }
    if (!decode_files(root, why))
        return false;
    moodle_parser p;
    p.result = result;
    for (const xml_element &q : root.children)
        if (q.name == "question")
            p.parse(q);
    result->shuffle = p.shuffled > 0;
    for (imported_item &item : result->items)
        item.keep_order = item.keep_order && result->shuffle;
    auto imported = [&](int line) {
        return std::any_of(result->items.begin(), result->items.end(),
                           [&](const imported_item &i) { return i.line == line; });
    };
    if (result->lenient)
        for (int line : p.case_sensitive)
            if (imported(line))
                result->notes.push_back({line, "letter case matters in the bank, but this exam compares fill-in "
                                               "answers without it, as other questions ask", false});
    return true;
}
