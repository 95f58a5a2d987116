#include "bank/exhibit.h"

#include <glib.h>

#include <cstring>

namespace {

// The value of a double-quoted attribute with XML's escapes decoded; false
// when an escape is not one XML knows.
bool decode_value(const char *p, size_t n, std::string *out)
{
    static const struct {
        const char *name;
        char c;
    } NAMED[] = {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
    out->clear();
    for (size_t i = 0; i < n;) {
        if (p[i] != '&') {
            *out += p[i++];
            continue;
        }
        bool known = false;
        for (const auto &e : NAMED) {
            size_t len = strlen(e.name);
            if (i + 1 + len <= n && strncmp(p + i + 1, e.name, len) == 0) {
                *out += e.c;
                i += 1 + len;
                known = true;
                break;
            }
        }
        if (known)
            continue;
        if (i + 2 < n && p[i + 1] == '#') {
            bool hex = p[i + 2] == 'x';
            size_t k = i + (hex ? 3 : 2), start = k;
            gunichar v = 0;
            while (k < n && k - start < 8 && (hex ? g_ascii_isxdigit(p[k]) : g_ascii_isdigit(p[k])))
                v = v * (hex ? 16 : 10) + (gunichar)(hex ? g_ascii_xdigit_value(p[k]) : p[k] - '0'), k++;
            if (k > start && k < n && p[k] == ';' && v && g_unichar_validate(v)) {
                char buf[8];
                out->append(buf, (size_t)g_unichar_to_utf8(v, buf));
                i = k + 1;
                continue;
            }
        }
        return false;
    }
    return true;
}

// The reference that begins at text[i] ("<img "), with its end; false when
// it is not one.
bool parse_ref(const char *text, size_t i, exhibit_ref *ref)
{
    const char *p = text + i + 4;
    bool have_src = false, have_alt = false;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\n')
            p++;
        if (p[0] == '/' && p[1] == '>') {
            ref->start = i;
            ref->end = (size_t)(p + 2 - text);
            return have_src;
        }
        const char *name = p;
        while (g_ascii_isalpha(*p))
            p++;
        size_t name_len = (size_t)(p - name);
        if (!name_len || p[0] != '=' || p[1] != '"')
            return false;
        const char *value = p + 2, *close = strchr(value, '"');
        if (!close || memchr(value, '<', (size_t)(close - value)))
            return false;
        std::string decoded;
        if (!decode_value(value, (size_t)(close - value), &decoded))
            return false;
        if (name_len == 3 && strncmp(name, "src", 3) == 0 && !have_src) {
            ref->src = decoded;
            have_src = true;
        } else if (name_len == 3 && strncmp(name, "alt", 3) == 0 && !have_alt) {
            ref->alt = decoded;
            have_alt = true;
        } else {
            return false;
        }
        p = close + 1;
    }
}

} // namespace

std::vector<exhibit_ref> exhibit_refs(const char *text)
{
    std::vector<exhibit_ref> refs;
    for (const char *p = strstr(text, "<img"); p; p = strstr(p + 1, "<img")) {
        size_t i = (size_t)(p - text);
        if (p[4] != ' ' && p[4] != '\t' && p[4] != '\n')
            continue;
        exhibit_ref ref;
        if (parse_ref(text, i, &ref)) {
            refs.push_back(ref);
            p = text + ref.end - 1;
        }
    }
    return refs;
}

std::string exhibit_strip(const char *text)
{
    std::string out;
    size_t from = 0;
    for (const exhibit_ref &r : exhibit_refs(text)) {
        out.append(text + from, r.start - from);
        from = r.end;
    }
    out += text + from;
    return out;
}
