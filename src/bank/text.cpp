#include "bank/text.h"

#include <glib.h>

#include "bank/error.h"
#include "bank/glib_ptr.h"

#include <cstring>

// ---- Text helpers ----

void chop(char *s)
{
    size_t n = strlen(s);
    if (n > 0 && s[n - 1] == '\n')
        s[n - 1] = '\0';
}

static bool is_continuation(char c)
{
    return ((unsigned char)c & 0xC0) == 0x80;
}

size_t utf8_cut(const char *s, size_t len, size_t max)
{
    if (len <= max)
        return len;
    size_t p = max;
    for (int k = 0; k < 3 && p > 0 && is_continuation(s[p]); k++)
        p--;
    // Not UTF-8 here: any cut will do.
    return is_continuation(s[p]) ? max : p;
}

bool utf8_copy(char *dst, size_t size, const char *src, size_t len)
{
    if (size == 0)
        return len > 0;
    size_t n = utf8_cut(src, len, size - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
    return n < len;
}

size_t utf8_strlcpy(char *dst, const char *src, size_t size)
{
    size_t len = strlen(src);
    utf8_copy(dst, size, src, len);
    return len;
}

// Offset of the character after the one at p (stray bytes count alone).
static size_t next_char(const char *s, size_t len, size_t p)
{
    p++;
    for (int k = 0; k < 3 && p < len && is_continuation(s[p]); k++)
        p++;
    return p;
}

static size_t count_chars(const char *s, size_t len, size_t p)
{
    size_t n = 0;
    for (; p < len; p = next_char(s, len, p))
        n++;
    return n;
}

std::string line_broken(const char *s, size_t len, int width)
{
    size_t rest = count_chars(s, len, 0);
    if (width < 2 || rest <= (size_t)width)
        return std::string(s, len);

    std::string out;
    out.reserve(len + len / (size_t)(width - 1) + 1);
    size_t p = 0;
    while (rest > (size_t)width) {
        // Offsets of the characters 0 .. width - 1 of the rest, looking
        // for the last blank among 1 .. width - 1.
        size_t blank = 0, blank_index = 0, q = p, hard = p;
        for (int i = 0; i < width; i++) {
            if (i > 0 && s[q] == ' ') {
                blank = q;
                blank_index = (size_t)i;
            }
            if (i == width - 1)
                hard = q;
            q = next_char(s, len, q);
        }
        if (blank_index > 0) {
            out.append(s + p, blank - p);
            out += '\n';
            p = blank + 1;
            rest -= blank_index + 1;
        } else {
            out.append(s + p, hard - p);
            out += '\n';
            p = hard;
            rest -= (size_t)width - 1;
        }
    }
    out.append(s + p, len - p);
    return out;
}

void line_break(char *s, size_t size, int width)
{
    std::string broken = line_broken(s, strlen(s), width);
    utf8_copy(s, size, broken.data(), broken.size());
}

std::string minutes_seconds(int seconds)
{
    char s[32];
    g_snprintf(s, sizeof s, "%d:%02d", seconds / 60, seconds % 60);
    return s;
}

std::string format_time(long long seconds, const char *format, bool utc)
{
    GDateTime *t = utc ? g_date_time_new_from_unix_utc(seconds)
                       : g_date_time_new_from_unix_local(seconds);
    if (!t)
        return "";
    gchar_ptr text(g_date_time_format(t, format));
    g_date_time_unref(t);
    return text ? text.get() : "";
}

std::optional<std::string> join_path(const char *dir, const char *name, GError **error)
{
    if (!dir || !name) {
        trialix_set_error(error, TRIALIX_ERROR_MISSING, "no folder or no name given");
        return std::nullopt;
    }
    std::string path = gchar_ptr(g_build_filename(dir, name, nullptr)).get();
    if (path.size() > MAX_PATH_CHARS) {
        trialix_set_error(error, TRIALIX_ERROR_TOO_LONG,
                          "path longer than " + std::to_string(MAX_PATH_CHARS) + " characters");
        return std::nullopt;
    }
    return path;
}

std::string dir_prefix(const char *dir)
{
    std::string path = dir ? dir : "";
    if (!path.empty() && !G_IS_DIR_SEPARATOR(path.back()))
        path += G_DIR_SEPARATOR_S;
    return path;
}

