#include "tools/import_markup.h"

#include <glib.h>

#include <cstring>
#include <utility>

#include "bank/markup.h"

bool markup_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

size_t utf8_length(const std::string &s, size_t i)
{
    return (size_t)(g_utf8_next_char(s.c_str() + i) - (s.c_str() + i));
}

// Control characters other than line breaks and tabs have no place in a label.
void append_escaped(std::string &out, const char *p, size_t n)
{
    char c = *p;
    if (c == '<')
        out += "&lt;";
    else if (c == '>')
        out += "&gt;";
    else if (c == '&')
        out += "&amp;";
    else if (n > 1 || c == '\n' || c == '\t' || ((unsigned char)c >= 0x20 && c != 0x7f))
        out.append(p, n);
}

std::string trim(const std::string &s)
{
    size_t a = 0, b = s.size();
    while (a < b && markup_blank(s[a]))
        a++;
    while (b > a && markup_blank(s[b - 1]))
        b--;
    return s.substr(a, b - a);
}

std::string escape_markup(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size();) {
        size_t n = utf8_length(s, i);
        append_escaped(out, s.data() + i, n);
        i += n;
    }
    return out;
}

bool take_format(std::string *s, text_format *format)
{
    static const std::pair<const char *, text_format> FORMATS[] = {
        {"[moodle]", text_format::moodle},
        {"[html]", text_format::html},
        {"[plain]", text_format::plain},
        {"[markdown]", text_format::markdown},
    };
    size_t start = 0;
    while (start < s->size() && markup_blank((*s)[start]))
        start++;
    for (const auto &f : FORMATS) {
        size_t n = strlen(f.first);
        if (s->compare(start, n, f.first) == 0) {
            s->erase(0, start + n);
            *format = f.second;
            return true;
        }
    }
    return false;
}

std::string to_markup(const std::string &s, text_format format, int *images, image_keeper *keeper)
{
    switch (format) {
    case text_format::plain:
        return escape_markup(trim(s));
    case text_format::markdown:
        return markdown_to_markup(s, images);
    case text_format::html:
    case text_format::moodle:
        break;
    }
    return html_to_markup(s, format == text_format::moodle, images, keeper);
}

std::string markup_to_line(const std::string &markup)
{
    std::string text = markup;
    markup_plain_text(markup.c_str(), &text, nullptr);
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (markup_blank(c)) {
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}
