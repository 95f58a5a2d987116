#include "bank/exhibit.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bank/error.h"
#include "bank/glib_ptr.h"

// ---- References in a text ----

namespace {

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_name_start(char c)
{
    return g_ascii_isalpha(c) || c == '_' || c == ':';
}

bool is_name_char(char c)
{
    return is_name_start(c) || g_ascii_isdigit(c) || c == '-' || c == '.';
}

// Decodes one escape at s (just after its '&') into out; returns the bytes
// it took up to and with its ';', or 0 when it is none of XML's.
size_t decode_escape(const char *s, std::string *out)
{
    static const struct {
        const char *name;
        char c;
    } named[] = {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
    for (const auto &n : named) {
        size_t len = strlen(n.name);
        if (strncmp(s, n.name, len) == 0) {
            *out += n.c;
            return len;
        }
    }
    if (s[0] != '#')
        return 0;
    bool hex = s[1] == 'x';
    const char *digits = s + (hex ? 2 : 1);
    gunichar c = 0;
    size_t i = 0;
    for (; g_ascii_isxdigit(digits[i]) && (hex || g_ascii_isdigit(digits[i])); i++) {
        c = c * (hex ? 16 : 10) + (gunichar)(hex ? g_ascii_xdigit_value(digits[i]) : digits[i] - '0');
        if (c > 0x10FFFF)
            return 0;
    }
    if (i == 0 || digits[i] != ';' || c == 0 || !g_unichar_validate(c))
        return 0;
    char utf8[8];
    out->append(utf8, (size_t)g_unichar_to_utf8(c, utf8));
    return (size_t)(digits + i + 1 - s);
}

// Parses the element that begins at text + start ("<img"); false when it
// is malformed.
bool parse_element(const char *text, size_t start, exhibit_ref *ref)
{
    const char *p = text + start + 4;
    bool have_src = false, have_alt = false;
    for (;;) {
        bool spaced = is_space(*p);
        while (is_space(*p))
            p++;
        if (p[0] == '/' && p[1] == '>') {
            ref->start = start;
            ref->end = (size_t)(p + 2 - text);
            return true;
        }
        if (!spaced || !is_name_start(*p))
            return false;
        const char *name = p;
        while (is_name_char(*p))
            p++;
        std::string attr(name, (size_t)(p - name));
        while (is_space(*p))
            p++;
        if (*p++ != '=')
            return false;
        while (is_space(*p))
            p++;
        char quote = *p++;
        if (quote != '"' && quote != '\'')
            return false;
        std::string value;
        while (*p != quote) {
            if (*p == '\0' || *p == '<')
                return false;
            if (*p == '&') {
                size_t used = decode_escape(p + 1, &value);
                if (!used)
                    return false;
                p += 1 + used;
            } else {
                value += *p++;
            }
        }
        p++;
        if (!g_utf8_validate(value.data(), (gssize)value.size(), nullptr))
            return false;
        bool *seen = attr == "src" ? &have_src : attr == "alt" ? &have_alt : nullptr;
        if (seen && *seen)
            return false;
        if (seen) {
            *seen = true;
            (attr == "src" ? ref->src : ref->alt) = value;
        }
    }
}

} // namespace

std::vector<exhibit_ref> exhibit_refs(const char *text)
{
    std::vector<exhibit_ref> refs;
    if (!text)
        return refs;
    for (const char *p = strstr(text, "<img"); p; p = strstr(p, "<img")) {
        exhibit_ref ref;
        if ((is_space(p[4]) || p[4] == '/') && parse_element(text, (size_t)(p - text), &ref)) {
            refs.push_back(ref);
            p = text + ref.end;
        } else {
            p += 4;
        }
    }
    return refs;
}

std::string exhibit_strip(const char *text)
{
    if (!text)
        return std::string();
    std::vector<exhibit_ref> refs = exhibit_refs(text);
    // Each line as left, and whether a reference stood on it.
    std::vector<std::pair<std::string, bool>> lines(1);
    size_t next = 0;
    for (size_t i = 0; text[i];) {
        if (next < refs.size() && i == refs[next].start) {
            lines.back().second = true;
            i = refs[next++].end;
        } else if (text[i] == '\n') {
            lines.emplace_back();
            i++;
        } else {
            lines.back().first += text[i++];
        }
    }
    std::string out;
    bool first = true;
    for (const auto &line : lines) {
        bool blank = line.first.find_first_not_of(" \t\r") == std::string::npos;
        if (line.second && blank)
            continue;
        if (!first)
            out += '\n';
        out += line.first;
        first = false;
    }
    return out;
}

// ---- Where a reference's file is ----

std::optional<std::string> exhibit_src_problem(const std::string &src)
{
    if (src.empty())
        return std::string("no image file named (src=\"") + EXHIBIT_FOLDER + "/NAME.png\")";
    if (src.find('\\') != std::string::npos)
        return std::string("image path with a backslash: write it with '/'");
    if (src[0] == '/' || src.find(':') != std::string::npos)
        return std::string("image path outside the exam folder (absolute)");
    std::vector<std::string> parts(1);
    for (char c : src) {
        if (c == '/')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    bool empty_part = false;
    for (const std::string &part : parts) {
        if (part == "..")
            return std::string("image path outside the exam folder ('..')");
        empty_part = empty_part || part.empty() || part == ".";
    }
    if (parts.size() < 2 || parts[0] != EXHIBIT_FOLDER || empty_part)
        return std::string("image not in the exam's ") + EXHIBIT_FOLDER + " folder (src=\"" +
               EXHIBIT_FOLDER + "/NAME.png\")";
    return std::nullopt;
}

bool exhibit_has_alt(const exhibit_ref &ref)
{
    return ref.alt.find_first_not_of(" \t\r\n") != std::string::npos;
}

namespace {

// The path with every link followed, or none with errno set.
std::optional<std::string> real_path(const char *path)
{
#ifdef G_OS_WIN32
    char *real = _fullpath(nullptr, path, 0);
    if (real && !g_file_test(real, G_FILE_TEST_EXISTS)) {
        free(real);
        errno = ENOENT;
        return std::nullopt;
    }
#else
    char *real = realpath(path, nullptr);
#endif
    if (!real)
        return std::nullopt;
    std::string out(real);
    free(real);
    return out;
}

} // namespace

std::optional<std::string> exhibit_path(const char *exam_dir, const std::string &src, GError **error)
{
    if (std::optional<std::string> problem = exhibit_src_problem(src)) {
        trialix_set_error(error, TRIALIX_ERROR_OUTSIDE, *problem);
        return std::nullopt;
    }
    std::string native = src;
    for (char &c : native)
        if (c == '/')
            c = G_DIR_SEPARATOR;
    gchar_ptr joined(g_build_filename(exam_dir ? exam_dir : ".", native.c_str(), nullptr));
    std::optional<std::string> dir = real_path(exam_dir ? exam_dir : ".");
    std::optional<std::string> file = dir ? real_path(joined.get()) : std::nullopt;
    if (!file) {
        int e = errno;
        trialix_set_error(error, e == ENOENT || e == ENOTDIR ? TRIALIX_ERROR_MISSING : TRIALIX_ERROR_OPEN,
                          g_strerror(e));
        return std::nullopt;
    }
    std::string inside = *dir;
    if (inside.empty() || inside.back() != G_DIR_SEPARATOR)
        inside += G_DIR_SEPARATOR;
    // A link in the folder may lead anywhere; what counts is where it ends.
    if (file->compare(0, inside.size(), inside) != 0) {
        trialix_set_error(error, TRIALIX_ERROR_OUTSIDE,
                          "image path outside the exam folder (through a link)");
        return std::nullopt;
    }
    return file;
}
