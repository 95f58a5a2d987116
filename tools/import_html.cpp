// HTML as question banks write it (Moodle's and GIFT's [html] text): the
// tags Pango knows are kept, block tags become line breaks, entities are
// decoded, everything else is text.
#include <glib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "bank/markup.h"
#include "tools/import_markup.h"

namespace {

struct entity {
    const char *name;
    gunichar code;
};

// The named entities question banks use most; others stay as written.
const entity ENTITIES[] = {
    {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0},
    {"copy", 0xA9}, {"reg", 0xAE}, {"trade", 0x2122}, {"hellip", 0x2026}, {"mdash", 0x2014},
    {"ndash", 0x2013}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D},
    {"laquo", 0xAB}, {"raquo", 0xBB}, {"times", 0xD7}, {"divide", 0xF7}, {"deg", 0xB0},
    {"plusmn", 0xB1}, {"middot", 0xB7}, {"bull", 0x2022}, {"euro", 0x20AC}, {"pound", 0xA3},
    {"yen", 0xA5}, {"cent", 0xA2}, {"sect", 0xA7}, {"para", 0xB6}, {"micro", 0xB5},
    {"frac12", 0xBD}, {"frac14", 0xBC}, {"frac34", 0xBE}, {"sup2", 0xB2}, {"sup3", 0xB3},
    {"le", 0x2264}, {"ge", 0x2265}, {"ne", 0x2260}, {"asymp", 0x2248}, {"infin", 0x221E},
    {"minus", 0x2212}, {"larr", 0x2190}, {"rarr", 0x2192}, {"uarr", 0x2191}, {"darr", 0x2193},
    {"harr", 0x2194}, {"rArr", 0x21D2}, {"hArr", 0x21D4}, {"alpha", 0x3B1}, {"beta", 0x3B2},
    {"gamma", 0x3B3}, {"delta", 0x3B4}, {"epsilon", 0x3B5}, {"theta", 0x3B8}, {"lambda", 0x3BB},
    {"mu", 0x3BC}, {"pi", 0x3C0}, {"sigma", 0x3C3}, {"omega", 0x3C9}, {"Delta", 0x394},
    {"Sigma", 0x3A3}, {"Omega", 0x3A9}, {"auml", 0xE4}, {"ouml", 0xF6}, {"uuml", 0xFC},
    {"Auml", 0xC4}, {"Ouml", 0xD6}, {"Uuml", 0xDC}, {"szlig", 0xDF}, {"eacute", 0xE9},
    {"egrave", 0xE8}, {"ecirc", 0xEA}, {"Eacute", 0xC9}, {"aacute", 0xE1}, {"agrave", 0xE0},
    {"acirc", 0xE2}, {"iacute", 0xED}, {"oacute", 0xF3}, {"uacute", 0xFA}, {"ccedil", 0xE7},
    {"ntilde", 0xF1}, {"Ntilde", 0xD1}, {"iexcl", 0xA1}, {"iquest", 0xBF},
};

// The entity at s[i] ('&'): its character and the offset after it.
bool decode_entity(const std::string &s, size_t i, gunichar *u, size_t *next)
{
    size_t j = i + 1;
    if (j < s.size() && s[j] == '#') {
        bool hex = j + 1 < s.size() && (s[j + 1] == 'x' || s[j + 1] == 'X');
        size_t k = j + (hex ? 2 : 1), start = k;
        gunichar v = 0;
        while (k < s.size() && k - start < 8 && (hex ? g_ascii_isxdigit(s[k]) : g_ascii_isdigit(s[k])))
            v = v * (hex ? 16 : 10) + (gunichar)(hex ? g_ascii_xdigit_value(s[k]) : s[k] - '0'), k++;
        if (k == start || k >= s.size() || s[k] != ';' || v == 0 || !g_unichar_validate(v))
            return false;
        *u = v;
        *next = k + 1;
        return true;
    }
    size_t k = j;
    while (k < s.size() && k - j < 10 && g_ascii_isalnum(s[k]))
        k++;
    if (k == j || k >= s.size() || s[k] != ';')
        return false;
    std::string name = s.substr(j, k - j);
    for (const entity &e : ENTITIES) {
        if (name == e.name) {
            *u = e.code;
            *next = k + 1;
            return true;
        }
    }
    return false;
}

// HTML elements understood; any other '<' is text. `pango` is the Pango tag
// that stands for the element (none: the element is dropped, its text
// kept); `block` the line breaks it stands between (1 a line, 2 a blank line).
struct html_tag {
    const char *name;
    const char *pango;
    int block;
};

const html_tag TAGS[] = {
    {"b", "b", 0}, {"strong", "b", 0}, {"i", "i", 0}, {"em", "i", 0}, {"cite", "i", 0},
    {"var", "i", 0}, {"dfn", "i", 0}, {"u", "u", 0}, {"ins", "u", 0}, {"s", "s", 0},
    {"strike", "s", 0}, {"del", "s", 0}, {"sub", "sub", 0}, {"sup", "sup", 0},
    {"small", "small", 0}, {"big", "big", 0}, {"tt", "tt", 0}, {"code", "tt", 0},
    {"kbd", "tt", 0}, {"samp", "tt", 0}, {"span", "", 0}, {"font", "", 0}, {"a", "", 0},
    {"abbr", "", 0}, {"label", "", 0}, {"br", "", 0}, {"img", "", 0}, {"td", "", 0},
    {"th", "", 0}, {"script", "", 0}, {"style", "", 0}, {"p", "", 2}, {"div", "", 1},
    {"blockquote", "", 2}, {"pre", "tt", 2}, {"h1", "b", 2}, {"h2", "b", 2}, {"h3", "b", 2},
    {"h4", "b", 2}, {"h5", "b", 2}, {"h6", "b", 2}, {"ul", "", 1}, {"ol", "", 1},
    {"li", "", 1}, {"dl", "", 1}, {"dt", "", 1}, {"dd", "", 1}, {"table", "", 1},
    {"thead", "", 1}, {"tbody", "", 1}, {"tr", "", 1}, {"hr", "", 1},
};

const html_tag *find_tag(const std::string &name)
{
    for (const html_tag &t : TAGS)
        if (name == t.name)
            return &t;
    return nullptr;
}

// One attribute's value out of a tag's attribute text, entities left as written.
std::string attribute(const std::string &attrs, const char *wanted)
{
    size_t i = 0, n = attrs.size();
    while (i < n) {
        while (i < n && (markup_blank(attrs[i]) || attrs[i] == '/'))
            i++;
        size_t start = i;
        while (i < n && !markup_blank(attrs[i]) && attrs[i] != '=' && attrs[i] != '/')
            i++;
        std::string name = attrs.substr(start, i - start);
        while (i < n && markup_blank(attrs[i]))
            i++;
        std::string value;
        if (i < n && attrs[i] == '=') {
            i++;
            while (i < n && markup_blank(attrs[i]))
                i++;
            char quote = i < n && (attrs[i] == '"' || attrs[i] == '\'') ? attrs[i++] : '\0';
            size_t v = i;
            while (i < n && (quote ? attrs[i] != quote : !markup_blank(attrs[i])))
                i++;
            value = attrs.substr(v, i - v);
            if (quote && i < n)
                i++;
        }
        if (g_ascii_strcasecmp(name.c_str(), wanted) == 0)
            return value;
        if (i == start)
            i++;
    }
    return "";
}

// The first "</name" at or after s[from], in any letter case, or npos.
size_t end_tag(const std::string &s, const std::string &name, size_t from)
{
    for (size_t k = s.find("</", from); k != std::string::npos; k = s.find("</", k + 1))
        if (g_ascii_strncasecmp(s.c_str() + k + 2, name.c_str(), name.size()) == 0)
            return k;
    return std::string::npos;
}

class html_converter {
public:
    html_converter(bool newline_breaks, int *images, const image_hook *hook = nullptr)
        : newline_breaks_(newline_breaks), images_(images), hook_(hook)
    {
    }

    std::string run(const std::string &s)
    {
        tag_end_.assign(s.size() + 1, UNKNOWN);
        for (size_t i = 0; i < s.size();) {
            char c = s[i];
            gunichar u;
            size_t next;
            if (c == '<' && tag_at(s, i, &next)) {
                i = next;
            } else if (c == '&' && decode_entity(s, i, &u, &next)) {
                // A blank written by its number is meant as it stands.
                if (u < 0x80 && markup_blank((char)u) && s[i + 1] != '#')
                    blank((char)u);
                else
                    text_unichar(u);
                i = next;
            } else if (markup_blank(c)) {
                blank(c);
                i++;
            } else {
                size_t n = utf8_length(s, i);
                text(s.data() + i, n);
                i += n;
            }
        }
        while (!open_.empty())
            close_top();
        return out_;
    }

private:
    bool newline_breaks_;
    int *images_;
    const image_hook *hook_;
    std::string out_;
    std::vector<std::pair<std::string, const char *>> open_;   // element, Pango tag
    bool started_ = false;   // some text has been written
    int trailing_ = 0;       // line breaks at the end of the text written
    int want_ = 0;           // line breaks due before the next text
    bool space_ = false;     // a blank due before the next text
    int pre_ = 0;
    std::map<std::string, int> open_count_;   // elements of open_, by name
    // Where a tag whose attributes start at a position ends; see tag_end.
    static constexpr size_t UNKNOWN = std::string::npos - 1;
    std::vector<size_t> tag_end_, path_;

    // Writes the line breaks or the blank due before what comes next.
    void pending()
    {
        if (!started_) {
            want_ = 0;
            space_ = false;
        }
        while (trailing_ < want_) {
            out_ += '\n';
            trailing_++;
        }
        if (space_ && !want_ && trailing_ == 0)
            out_ += ' ';
        want_ = 0;
        space_ = false;
    }

    void text(const char *p, size_t n)
    {
        pending();
        append_escaped(out_, p, n);
        started_ = true;
        trailing_ = *p == '\n' ? trailing_ + 1 : 0;
    }

    void text_unichar(gunichar u)
    {
        char buf[8];
        text(buf, (size_t)g_unichar_to_utf8(u, buf));
    }

    void text_string(const std::string &s)
    {
        for (size_t i = 0; i < s.size(); i += utf8_length(s, i))
            text(s.data() + i, utf8_length(s, i));
    }

    void line_break() { want_ = std::max(want_, trailing_) + 1; }
    void block(int level) { want_ = std::max(want_, level); }

    void blank(char c)
    {
        if (pre_)
            text(&c, 1);
        else if (c == '\n' && newline_breaks_)
            line_break();
        else
            space_ = true;
    }

    void close_top()
    {
        out_ += "</";
        out_ += open_.back().second;
        out_ += '>';
        open_count_[open_.back().first]--;
        open_.pop_back();
    }

    // Closes the element and whatever was left open inside it. The count
    // spares a walk through a deep stack for a closing tag never opened.
    void close(const std::string &name)
    {
        auto count = open_count_.find(name);
        if (count == open_count_.end() || count->second == 0)
            return;
        for (size_t k = open_.size(); k-- > 0;) {
            if (open_[k].first == name) {
                while (open_.size() > k)
                    close_top();
                return;
            }
        }
    }

    // The '>' outside quotes that ends a tag whose attributes start at
    // s[j], or npos. The scans of unclosed tags run on to the same tails,
    // so the answer is kept for every position a scan passes: text full of
    // unclosed tags is still read in linear time.
    size_t tag_end(const std::string &s, size_t j)
    {
        path_.clear();
        size_t k = j, end = std::string::npos;
        while (k < s.size()) {
            if (tag_end_[k] != UNKNOWN) {
                end = tag_end_[k];
                break;
            }
            path_.push_back(k);
            if (s[k] == '>') {
                end = k;
                break;
            }
            if (s[k] == '"' || s[k] == '\'') {
                size_t quote = s.find(s[k], k + 1);
                if (quote == std::string::npos)
                    break;
                k = quote;
            }
            k++;
        }
        for (size_t p : path_)
            tag_end_[p] = end;
        return end;
    }

    // Handles the tag or comment at s[i] ('<'); false when it is text.
    bool tag_at(const std::string &s, size_t i, size_t *next)
    {
        if (s.compare(i, 4, "<!--") == 0) {
            size_t end = s.find("-->", i + 4);
            *next = end == std::string::npos ? s.size() : end + 3;
            return true;
        }
        size_t j = i + 1;
        bool closing = j < s.size() && s[j] == '/';
        if (closing)
            j++;
        std::string name;
        while (j < s.size() && g_ascii_isalnum(s[j]))
            name += g_ascii_tolower(s[j++]);
        const html_tag *tag = find_tag(name);
        if (!tag || j >= s.size() || !(markup_blank(s[j]) || s[j] == '/' || s[j] == '>'))
            return false;
        size_t k = tag_end(s, j);
        if (k == std::string::npos)
            return false;
        *next = k + 1;
        if (closing)
            end_element(*tag);
        else
            start_element(*tag, s.substr(j, k - j), s, next);
        return true;
    }

    void start_element(const html_tag &tag, const std::string &attrs, const std::string &s, size_t *next)
    {
        std::string name = tag.name;
        if (name == "br") {
            line_break();
        } else if (name == "img") {
            std::string alt = trim(attribute(attrs, "alt")), plain;
            if (!alt.empty() && !markup_plain_text(html_converter(false, nullptr).run(alt).c_str(), &plain, nullptr))
                plain.clear();
            std::string kept;
            if (hook_ && *hook_) {
                std::string src;
                markup_plain_text(html_converter(false, nullptr).run(attribute(attrs, "src")).c_str(), &src, nullptr);
                if ((*hook_)(src, plain, &kept)) {
                    pending();
                    out_ += kept;
                    started_ = true;
                    trailing_ = 0;
                    return;
                }
            }
            text_string(plain.empty() ? "[image]" : "[image: " + plain + "]");
            if (images_)
                ++*images_;
        } else if (name == "script" || name == "style") {
            // Their content is no text to show.
            size_t end = end_tag(s, name, *next);
            end = end == std::string::npos ? std::string::npos : s.find('>', end);
            *next = end == std::string::npos ? s.size() : end + 1;
        } else if (name == "td" || name == "th") {
            space_ = true;
        } else {
            block(tag.block);
            if (name == "li")
                text_string("\u2022 ");
            if (name == "pre")
                pre_++;
            std::string a = trim(attrs);
            bool empty_element = !a.empty() && a.back() == '/';
            if (*tag.pango && !empty_element) {
                pending();
                open_.emplace_back(name, tag.pango);
                open_count_[name]++;
                out_ += '<';
                out_ += tag.pango;
                out_ += '>';
            }
        }
    }

    // An attribute's value as plain text, entities decoded.
    void end_element(const html_tag &tag)
    {
        std::string name = tag.name;
        if (name == "pre" && pre_ > 0)
            pre_--;
        if (*tag.pango)
            close(name);
        block(tag.block);
    }
};

} // namespace

std::string html_to_markup(const std::string &s, bool newline_breaks, int *images, const image_hook *hook)
{
    return html_converter(newline_breaks, images, hook).run(s);
}
