// The exam as Moodle XML and as GIFT. Both hold every item of every
// question file under one category per file, in the order of the files'
// names and of the items in them.
#include <glib.h>

#include <algorithm>
#include <cstring>

#include "bank/item_kind.h"
#include "tools/export.h"

namespace {

// What the formats make of an item's kind: one right choice, several, or
// a typed answer.
enum class shape { none, single, multiple, typed };

shape shape_of(char type)
{
    const item_kind_info *k = kind_of_letter(type);
    if (!k)
        return shape::none;
    if (k->answer == answer_form::typed)
        return shape::typed;
    return k->one_tick ? shape::single : shape::multiple;
}

// The checks both formats share; false (with a note) when the item can't
// be written at all.
bool writable(export_exam *exam, const export_file &file, int n, const export_item &item)
{
    int right = (int)std::count_if(item.answers.begin(), item.answers.end(),
                                   [](const std::string &a) { return a[0] == '+'; });
    std::string why;
    shape kind = shape_of(item.type);
    if (kind == shape::none)
        why = std::string("'") + (g_ascii_isgraph(item.type) ? std::string(1, item.type) : "?")
              + "' is no kind of item";
    else if (kind == shape::single && right != 1)
        why = "a single-choice item needs exactly one right choice";
    else if (kind == shape::multiple && right == 0)
        why = "a multiple-choice item with no right choice has no counterpart";
    else if (kind == shape::typed && item.answers.empty())
        why = "a fill-in item without an accepted answer";
    if (why.empty())
        return true;
    exam->note(file.name, n, "left out: " + why);
    exam->left_out++;
    return false;
}

// 100 shared among the right choices, as the formats write a fraction.
std::string share(int right)
{
    char buf[G_ASCII_DTOSTR_BUF_SIZE];
    std::string s = g_ascii_formatd(buf, sizeof buf, "%.5f", 100.0 / right);
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.')
        s.pop_back();
    return s;
}

std::string xml_escape(const std::string &s)
{
    std::string out;
    for (char c : s)
        // A carriage return written as it is would be read as a line break.
        out += c == '"' ? std::string("&quot;") : c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;"
               : c == '\r' ? "&#13;" : std::string(1, c);
    return out;
}

std::string cdata(const std::string &s)
{
    std::string out = "<![CDATA[";
    for (size_t i = 0; i < s.size(); i++) {
        if (s.compare(i, 3, "]]>") == 0) {
            out += "]]]]><![CDATA[>";
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out + "]]>";
}

// A text element of Moodle XML with the pictures its HTML shows embedded.
std::string moodle_text(const char *tag, const std::string &markup, export_exam *exam, const char *indent)
{
    std::vector<std::pair<std::string, std::string>> embedded;   // name, base64
    std::string html = markup_to_html(markup, "\n", [&](const exhibit_ref &r) {
        auto p = exam->pictures.find(r.src);
        if (p == exam->pictures.end())
            return html_escape("[image: " + r.alt + "]");
        std::string name = picture_name(r.src);
        if (std::none_of(embedded.begin(), embedded.end(), [&](const auto &e) { return e.first == name; })) {
            gchar *b64 = g_base64_encode((const guchar *)p->second.data(), p->second.size());
            embedded.emplace_back(name, b64);
            g_free(b64);
        }
        gchar *escaped = g_uri_escape_string(name.c_str(), nullptr, FALSE);
        std::string img = "<img src=\"@@PLUGINFILE@@/" + xml_escape(escaped) + "\" alt=\"" + xml_escape(r.alt) + "\">";
        g_free(escaped);
        return img;
    });
    std::string out = std::string(indent) + "<" + tag + " format=\"html\">\n" + indent + "  <text>" + cdata(html)
                      + "</text>\n";
    for (const auto &e : embedded)
        out += std::string(indent) + "  <file name=\"" + xml_escape(e.first) + "\" path=\"/\" encoding=\"base64\">"
               + e.second + "</file>\n";
    return out + indent + "</" + tag + ">\n";
}

std::string moodle_question(export_exam *exam, const export_file &file, int n, const export_item &item)
{
    shape kind = shape_of(item.type);
    bool typed = kind == shape::typed;
    std::string q = std::string("  <question type=\"") + (typed ? "shortanswer" : "multichoice") + "\">\n";
    q += "    <name>\n      <text>" + xml_escape(file.name + " item " + std::to_string(n)) + "</text>\n    </name>\n";
    q += moodle_text("questiontext", item.text, exam, "    ");
    q += moodle_text("generalfeedback", item.explanation, exam, "    ");
    q += "    <defaultgrade>" + std::to_string(item.points) + "</defaultgrade>\n";
    q += "    <penalty>0</penalty>\n    <hidden>0</hidden>\n";
    int right = (int)std::count_if(item.answers.begin(), item.answers.end(),
                                   [](const std::string &a) { return a[0] == '+'; });
    if (typed) {
        q += std::string("    <usecase>") + (exam->lenient ? "0" : "1") + "</usecase>\n";
    } else {
        q += std::string("    <single>") + (kind == shape::single ? "true" : "false") + "</single>\n";
        q += std::string("    <shuffleanswers>") + (exam->shuffle && !item.keep_order ? "1" : "0")
             + "</shuffleanswers>\n    <answernumbering>abc</answernumbering>\n";
    }
    for (const std::string &a : item.answers) {
        std::string fraction = "100", text;
        if (typed) {
            // A '*' in a short answer is Moodle's wildcard unless escaped.
            for (char c : a)
                text += c == '*' ? std::string("\\*") : std::string(1, c);
            text = xml_escape(text);
        } else {
            bool plus = a[0] == '+';
            bool multiple = kind == shape::multiple;
            fraction = !plus ? (multiple ? "-100" : "0") : multiple ? share(right) : "100";
            text = cdata(markup_to_html(html_escape(a.substr(1)), "", nullptr));
        }
        q += "    <answer fraction=\"" + fraction + "\" format=\"" + (typed ? "moodle_auto_format" : "html")
             + "\">\n      <text>" + text + "</text>\n      <feedback format=\"html\">\n        <text></text>\n"
               "      </feedback>\n    </answer>\n";
    }
    return q + "  </question>\n";
}

// Text as GIFT holds it: its special characters escaped, on one line.
std::string gift_escape(const std::string &s)
{
    std::string out;
    for (char c : s) {
        if (strchr("~=#{}:\\", c))
            out += '\\';
        out += c == '\n' ? ' ' : c;
    }
    return out;
}

std::string gift_html(const std::string &markup, export_exam *exam)
{
    return gift_escape(markup_to_html(markup, "", [&](const exhibit_ref &r) {
        if (!exam->pictures.count(r.src))
            return html_escape("[image: " + r.alt + "]");
        return "<img src=\"" + xml_escape(r.src) + "\" alt=\"" + xml_escape(r.alt) + "\">";
    }));
}

// A choice or accepted answer in GIFT: HTML, so that a leading '%' or an
// arrow "->" reads as text, not as a weight or a pair.
std::string gift_answer(const std::string &plain)
{
    std::string html;
    for (char c : html_escape(plain))
        html += c == '%' ? std::string("&#37;") : std::string(1, c);
    return gift_escape(markup_to_html(html, "", nullptr));
}

std::string gift_question(export_exam *exam, const export_file &file, int n, const export_item &item)
{
    std::string q = "::" + gift_escape(file.name + " item " + std::to_string(n)) + "::[html]"
                    + gift_html(item.text, exam) + " {\n";
    int right = (int)std::count_if(item.answers.begin(), item.answers.end(),
                                   [](const std::string &a) { return a[0] == '+'; });
    shape kind = shape_of(item.type);
    if (kind == shape::multiple && right == 1)
        exam->note(file.name, n, "multiple choice with one right choice: GIFT makes it single choice");
    if (item.keep_order && exam->shuffle)
        exam->note(file.name, n, "the choices' fixed order: GIFT has no place for it");
    for (const std::string &a : item.answers) {
        if (kind == shape::typed) {
            if (a.find('*') != std::string::npos)
                exam->note(file.name, n, "the answer '" + a + "': '*' is a wildcard in GIFT's short answers");
            q += "  =" + gift_answer(a) + "\n";
        } else if (kind == shape::single) {
            q += std::string("  ") + (a[0] == '+' ? "=" : "~") + gift_answer(a.substr(1)) + "\n";
        } else {
            q += "  ~%" + (a[0] == '+' ? share(right) : std::string("-100")) + "%" + gift_answer(a.substr(1)) + "\n";
        }
    }
    if (!item.explanation.empty())
        q += "  ####" + gift_html(item.explanation, exam) + "\n";
    return q + "}\n\n";
}

void exam_notes(export_exam *exam, const char *format)
{
    exam->note("", 0, std::string("the title, time allowed, pass mark and message: ") + format
                          + " has no place for them");
}

} // namespace

std::string export_moodle(export_exam *exam)
{
    exam_notes(exam, "Moodle XML");
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- Exported by trialix-pack from "
                      + xml_escape(exam->name) + " -->\n<quiz>\n";
    for (const export_file &f : exam->files) {
        xml += "  <question type=\"category\">\n    <category>\n      <text>"
               + xml_escape("$course$/top/" + exam->name + "/" + f.name) + "</text>\n    </category>\n  </question>\n";
        for (size_t i = 0; i < f.items.size(); i++)
            if (writable(exam, f, (int)i + 1, f.items[i]))
                xml += moodle_question(exam, f, (int)i + 1, f.items[i]);
    }
    return xml + "</quiz>\n";
}

std::string export_gift(export_exam *exam)
{
    exam_notes(exam, "GIFT");
    if (exam->shuffle)
        exam->note("", 0, "choices in a random order: GIFT has no place for it");
    bool typed = false;
    std::string gift = "// Exported by trialix-pack from " + gift_escape(exam->name) + "\n\n";
    for (const export_file &f : exam->files) {
        gift += "$CATEGORY: " + gift_escape("$course$/top/" + exam->name + "/" + f.name) + "\n\n";
        std::string weighty;   // items worth more than a point
        for (size_t i = 0; i < f.items.size(); i++) {
            if (!writable(exam, f, (int)i + 1, f.items[i]))
                continue;
            typed = typed || shape_of(f.items[i].type) == shape::typed;
            if (f.items[i].points != 1)
                weighty += (weighty.empty() ? "" : ", ") + std::to_string(i + 1);
            gift += gift_question(exam, f, (int)i + 1, f.items[i]);
        }
        if (!weighty.empty())
            exam->note(f.name, 0, "the points of items " + weighty + ": GIFT has no place for them (each counts 1)");
    }
    if (typed && !exam->lenient)
        exam->note("", 0, "fill-in answers matched with letter case: GIFT's short answers ignore it");
    return gift;
}
