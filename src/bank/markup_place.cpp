#include "bank/markup_place.h"

#include <glib.h>

#include <cstring>

namespace {

// The start of line `line` (from 1) of text, or none when it has fewer.
const char *line_start(const char *text, int line)
{
    const char *p = text;
    for (int l = 1; l < line; l++) {
        p = strchr(p, '\n');
        if (!p)
            return nullptr;
        p++;
    }
    return p;
}

// "line L, column C" of the character at `at` in text.
std::string place_of(const char *text, const char *at)
{
    int line = 1;
    const char *start = text;
    for (const char *p = text; p < at; p++)
        if (*p == '\n')
            line++, start = p + 1;
    long column = g_utf8_strlen(start, at - start) + 1;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// Whether `p` (at a '&') begins one of the references GMarkup knows.
bool is_reference(const char *p)
{
    static const char *const NAMED[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
    for (const char *named : NAMED)
        if (strncmp(p, named, strlen(named)) == 0)
            return true;
    if (strncmp(p, "&#x", 3) == 0) {
        size_t digits = strspn(p + 3, "0123456789abcdefABCDEF");
        return digits && p[3 + digits] == ';';
    }
    if (strncmp(p, "&#", 2) == 0) {
        size_t digits = strspn(p + 2, "0123456789");
        return digits && p[2 + digits] == ';';
    }
    return false;
}

// `message` without a leading `prefix`, when it has it.
bool strip(const std::string &message, const std::string &prefix, std::string *rest)
{
    if (message.compare(0, prefix.size(), prefix) != 0)
        return false;
    *rest = message.substr(prefix.size());
    return true;
}

} // namespace

std::string markup_place(const char *text, int line, int chr, bool in_tag)
{
    const char *start = line_start(text, line);
    if (!start)
        return "at the end of the text";
    // GMarkup's count on this line, less what isn't the text's; a stop just
    // after a start tag is taken back to its '>'.
    long pos = (start - text) + (line == 1 ? chr - 1 - MARKUP_WRAPPER_LENGTH : chr - 2) - in_tag;
    if (pos >= (long)strlen(text))
        return "at the end of the text";
    const char *at = text + (pos < 0 ? 0 : pos);
    if (*at == '>') {
        // A fault in a tag: where the tag begins.
        const char *p = at;
        while (p > text && *p != '<')
            p--;
        if (*p == '<')
            at = p;
    } else if (at > text && at[-1] == '<') {
        at--;
    }
    return place_of(text, at);
}

std::string markup_error_text(const char *text, const char *message, int line, int chr)
{
    std::string rest;
    gchar *prefix = g_strdup_printf(g_dgettext("glib20", "Error on line %d char %d: "), line, chr);
    bool placed = strip(message, prefix, &rest);
    g_free(prefix);
    if (placed)
        return markup_place(text, line, chr, false) + ": " + rest;

    // "Error on line %d: %s", the line being the entity's own.
    std::string form = g_dgettext("glib20", "Error on line %d: %s");
    size_t d = form.find("%d"), s = form.find("%s");
    if (d == std::string::npos || s == std::string::npos || s < d)
        return message;
    std::string before = form.substr(0, d), between = form.substr(d + 2, s - d - 2);
    if (!strip(message, before, &rest))
        return message;
    size_t digits = 0;
    while (digits < rest.size() && g_ascii_isdigit(rest[digits]))
        digits++;
    if (!digits || rest.compare(digits, between.size(), between) != 0)
        return message;
    int entity_line = atoi(rest.substr(0, digits).c_str());
    rest = rest.substr(digits + between.size());
    if (const char *start = line_start(text, entity_line)) {
        const char *end = start + strcspn(start, "\n");
        for (const char *p = start; p < end; p++)
            if (*p == '&' && !is_reference(p))
                return place_of(text, p) + ": " + rest;
    }
    return "line " + std::to_string(entity_line) + ": " + rest;
}
