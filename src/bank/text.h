// Small text helpers shared by the bank, the screens and the tools: line
// breaking, UTF-8-safe copies, and joining paths.
#pragma once

#include <glib.h>

#include <cstddef>
#include <optional>
#include <string>

enum {
    MAX_PATH_CHARS = 255,   // longer paths are refused, never cut
};

// Removes one '\n' from the end of s, if there is one.
void chop(char *s);

// Breaks s for display so that no piece holds more than width - 1
// characters (UTF-8 characters; a piece's '\n' counts): at the last blank
// that keeps a piece within that, else hard at the width. Breaking at a
// blank keeps the length; a hard break adds a '\n', and what no longer
// fits into size bytes is cut on a character boundary.
void line_break(char *s, size_t size, int width);
// The same on a text of `len` bytes, returning the broken text.
std::string line_broken(const char *s, size_t len, int width);

// Copies src into dst of `size` bytes, cut on a UTF-8 character boundary
// when it doesn't fit. Returns strlen(src): a result >= size means cut.
size_t utf8_strlcpy(char *dst, const char *src, size_t size);
// The same for `len` bytes of src; returns true when it had to cut.
bool utf8_copy(char *dst, size_t size, const char *src, size_t len);
// The longest prefix of s[0..len) of at most max bytes that ends on a
// character boundary.
size_t utf8_cut(const char *s, size_t len, size_t max);

// A time in seconds since the epoch, in local time (UTC when `utc`), through
// g_date_time_format's `format`; empty when it can't be shown.
std::string format_time(long long seconds, const char *format, bool utc = false);
// A time span as minutes and seconds, the seconds in two digits: "5:03".
std::string minutes_seconds(int seconds);

// dir + separator + name, or none when that would be over MAX_PATH_CHARS
// (TRIALIX_ERROR_TOO_LONG) or either is none (TRIALIX_ERROR_MISSING).
std::optional<std::string> join_path(const char *dir, const char *name, GError **error);
// dir with a separator at its end (none is added to an empty dir or one
// that already ends in one), for a name to follow.
std::string dir_prefix(const char *dir);
