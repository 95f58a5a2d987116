// The imported questions as the text of question files: every item
// checked against what Trialix can show, lines guarded, grouped by category.
#include <glib.h>

#include <algorithm>
#include <cstring>

#include "bank/exhibit.h"
#include "bank/item_text.h"
#include "bank/question.h"
#include "bank/text.h"
#include "tools/import.h"
#include "tools/import_markup.h"

namespace {

// A text line that begins like a separator or an end-of-section line would
// end the item early; a character reference shows the same character.
std::string guard_lines(const std::string &markup)
{
    std::string guarded;
    size_t start = 0;
    for (;;) {
        size_t nl = markup.find('\n', start);
        size_t end = nl == std::string::npos ? markup.size() : nl, from = start;
        if (markup.compare(start, 3, "---") == 0 || markup.compare(start, 3, "+++") == 0) {
            guarded += markup[start] == '-' ? "&#45;" : "&#43;";
            from++;
        }
        guarded.append(markup, from, end - from);
        if (nl == std::string::npos)
            return guarded;
        guarded += '\n';
        start = nl + 1;
    }
}

// The answer line of a choice or accepted answer. A choice such as "--all"
// that is wrong would make "---all", an end-of-section line: an invisible
// word joiner after the mark keeps it a choice and shows the same label.
std::string answer_line(item_kind kind, const std::string &answer)
{
    if (kind_info(kind).answer == answer_form::choices && (answer.compare(0, 3, "---") == 0 || answer.compare(0, 3, "+++") == 0))
        return answer.substr(0, 1) + "\u2060" + answer.substr(1);
    return answer;
}

// The item's text in a question file, from its head line to its explanation.
std::string item_text(const imported_item &item, const std::string &origin)
{
    std::string s = std::string(1, kind_info(item.kind).letter) + std::to_string(item.points)
                    + (item.keep_order ? " keep-order " : " ") + origin + "\n" + item.text + "\n---\n";
    for (const std::string &a : item.answers)
        s += answer_line(item.kind, a) + "\n";
    s += "---\n";
    if (!item.explanation.empty())
        s += item.explanation + "\n";
    return s;
}

// Why the item can't be a Trialix item; empty when it can.
std::string why_not_an_item(const imported_item &item)
{
    bool fill_in = kind_info(item.kind).answer == answer_form::typed;
    if (markup_to_line(item.text).empty())
        return "no question text";
    if (item.text.size() > TEXT_SIZE - 1)
        return "question text over " + std::to_string(TEXT_SIZE - 1) + " bytes";
    if (item.answers.size() > NUM_ANSWERS)
        return std::to_string(item.answers.size()) + (fill_in ? " accepted answers" : " choices")
               + "; an item holds at most " + std::to_string(NUM_ANSWERS);
    if (item.explanation.size() > TEXT_SIZE - 1)
        return "explanation over " + std::to_string(TEXT_SIZE - 1) + " bytes";
    for (const std::string &a : item.answers) {
        if (fill_in && (a.compare(0, 3, "---") == 0 || a.compare(0, 3, "+++") == 0))
            return "the accepted answer '" + a + "' begins with '---' or '+++', which the question file can't hold";
        std::string line = answer_line(item.kind, a) + "\n";
        std::string shown = fill_in ? line : line_broken(line.data(), line.size(), CHOICE_WIDTH);
        if (shown.size() - 1 > ANSWER_SIZE - 1)
            return std::string(fill_in ? "accepted answer" : "choice") + " over "
                   + std::to_string(ANSWER_SIZE - 1) + " bytes";
    }
    // The item as the reader will see it: the checks of `check`, on the
    // text without its exhibits (their pictures are checked with the exam).
    imported_item bare = item;
    bare.text = exhibit_strip(item.text.c_str());
    bare.explanation = exhibit_strip(item.explanation.c_str());
    if (markup_to_line(bare.text).empty() && !exhibit_refs(item.text.c_str()).empty())
        bare.text = "?";
    std::string text = "+++\n" + item_text(bare, "") + "+++\n";
    item_index index = index_items(text.data(), text.size());
    if (index.count() != 1)
        return "the item would not stand alone in a question file";
    std::vector<item_problem> problems;
    question_list q(new_question());
    parse_item(text.data(), text.size(), index, 1, q.get(), &problems);
    return problems.empty() ? "" : problems.front().what;
}

// A name from the source for a comment line: one line, not too long.
std::string one_line(const std::string &s, size_t max)
{
    std::string out = s;
    for (char &c : out)
        if ((unsigned char)c < 0x20)
            c = ' ';
    out.resize(utf8_cut(out.data(), out.size(), max));
    return out;
}

} // namespace

std::string join_explanation(const std::vector<std::string> &paragraphs, int *dropped)
{
    std::string out;
    *dropped = 0;
    for (const std::string &p : paragraphs) {
        if (p.empty())
            continue;
        size_t size = out.size() + (out.empty() ? 0 : 1) + p.size();
        if (size > TEXT_SIZE - 1) {
            ++*dropped;
            continue;
        }
        out += (out.empty() ? "" : "\n") + p;
    }
    return out;
}

void add_item(import_result *result, imported_item item, std::vector<import_note> changes)
{
    item.text = guard_lines(item.text);
    item.explanation = guard_lines(item.explanation);
    std::string why = why_not_an_item(item);
    if (!why.empty()) {
        result->notes.push_back({item.line, why, true});
        return;
    }
    result->notes.insert(result->notes.end(), changes.begin(), changes.end());
    result->items.push_back(std::move(item));
}

std::vector<import_group> make_groups(const import_result &r)
{
    std::vector<import_group> groups;
    for (const imported_item &item : r.items) {
        auto same = std::find_if(groups.begin(), groups.end(),
                                 [&](const import_group &g) { return g.category == item.category; });
        if (!r.categories || same == groups.end()) {
            groups.push_back({item.category, {}});
            same = groups.end() - 1;
        }
        same->items.push_back(&item);
    }
    return groups;
}

std::string group_text(const import_group &g, const std::string &source, const char *kind)
{
    std::string text = "Imported by trialix-pack from " + one_line(source, 200) + " (" + kind + ").\n";
    if (!g.category.empty())
        text += "Category: " + one_line(g.category, 200) + "\n";
    text += "+++\n";
    for (const imported_item *item : g.items) {
        std::string origin = source + ":" + std::to_string(item->line);
        if (!item->name.empty())
            origin += " " + item->name;
        text += item_text(*item, one_line(origin, 250)) + "+++\n";
    }
    return text;
}

std::string add_picture(import_result *result, const std::string &wanted, const std::string &bytes)
{
    bool png = bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0, jpeg = bytes.compare(0, 3, "\xFF\xD8\xFF") == 0;
    if (!png && !jpeg)
        return "";
    auto known = result->picture_names.find(bytes);
    if (known != result->picture_names.end())
        return known->second;
    size_t dot = wanted.rfind('.');
    std::string stem = wanted.substr(0, dot), ext = dot == std::string::npos ? "" : wanted.substr(dot);
    for (char &c : ext)
        c = g_ascii_tolower(c);
    if (png ? ext != ".png" : ext != ".jpg" && ext != ".jpeg")
        ext = png ? ".png" : ".jpg";
    // Letters, digits, '-', '_' and inner dots: a name any file system takes.
    for (char &c : stem)
        if (!g_ascii_isalnum(c) && c != '-' && c != '_' && c != '.')
            c = '_';
    if (stem.empty() || stem[0] == '.')
        stem = "image" + stem;
    std::string name = stem + ext;
    // Names differing only in letter case would meet on some file systems.
    auto taken = [&](const std::string &n) {
        gchar *lower = g_ascii_strdown(n.c_str(), -1);
        bool is = result->picture_files.count(lower) > 0;
        g_free(lower);
        return is;
    };
    // Counting on from where the last picture of this name stopped keeps
    // many pictures of one name from trying every number again.
    int &n = result->picture_suffix[stem + ext];
    if (n < 2)
        n = 2;
    while (taken(name))
        name = stem + "-" + std::to_string(n++) + ext;
    gchar *lower = g_ascii_strdown(name.c_str(), -1);
    result->picture_files.insert(lower);
    g_free(lower);
    result->images.push_back({name, bytes});
    result->picture_names[bytes] = name;
    return name;
}

std::string exhibit_markup(const std::string &name, const std::string &alt)
{
    auto escaped = [](const std::string &s) {
        std::string out;
        for (char c : s)
            out += c == '"' ? std::string("&quot;") : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;"
                                                                                             : std::string(1, c);
        return out;
    };
    return "<img src=\"images/" + escaped(name) + "\" alt=\"" + escaped(alt) + "\"/>";
}
