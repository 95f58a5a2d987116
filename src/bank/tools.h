// Exam configuration file, question file list, random order, and small
// text helpers shared by the bank, the screens and the tools.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

// The markup checks once lived here; the authoring tool still finds them
// through this header.
#include "bank/markup.h"

enum {
    MAX_PATH_CHARS = 255,   // longer paths are refused, never cut
    TITLE_SIZE = 256,       // an exam title, terminator included
    MESSAGE_SIZE = 2048,    // an exam message, terminator included
};

// ---- Text helpers ----

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

// dir + separator + name, or none when that would be over MAX_PATH_CHARS.
std::optional<std::string> join_path(const char *dir, const char *name);
// dir with a separator at its end (none is added to an empty dir or one
// that already ends in one), for a name to follow.
std::string dir_prefix(const char *dir);

// ---- Exam configuration file ----

// One numeric key: where it stands and what it gave.
struct config_number {
    int line = 0;        // line of the first line that begins with the key; 0 none
    bool parsed = false; // that line read as key=number
    int value = 0;       // the number, 0 when not parsed
};

// Everything the exam configuration file says, with the lines it says it on.
struct exam_config {
    config_number timeout;
    config_number percentage;
    int title_line = 0;        // 0: no line begins with "title"
    bool title_has_equals = false;
    bool title_cut = false;    // over TITLE_SIZE - 1 bytes
    std::string title;         // "UNKNOWN" unless a title line with '=' was found
    int message_line = 0;      // line of the last "[message]" line; 0 none
    bool message_cut = false;  // over MESSAGE_SIZE - 1 bytes
    std::string message;       // empty without a "[message]" line
};

// Reads an exam configuration file; false when it can't be opened.
// Lines are whole lines; a '\r' before a line's '\n' is dropped.
bool read_exam_config(const char *path, exam_config *config);

// The four readers take an exam's name and read its configuration file in
// examdir (the file name is examconfig).
int getTimeout(const char *name);
int getPercentage(const char *name);
// None when the file can't be opened; "UNKNOWN" when it has no title.
std::optional<std::string> getExamTitle(const char *name);
// "UNKNOWN" when the file can't be opened; empty without a message.
std::string getExamMessage(const char *name);

// ---- Question files and the order of a run ----

// Question files of dir: regular files whose names begin with prefix.
int count_files(const char *dir, const char *prefix);
// Their names in the order the directory lists them.
std::vector<std::string> filename_list(const char *dir, const char *prefix);

// A pseudo-random number from 0 to n - 1 (0 when n < 1). The generator is
// seeded at the first call of the process.
int random(int n);
// 0 to n - 1, each once, shuffled.
std::vector<int> create_random_list(int n);

// ---- Default name of a saved exam ----

enum { EXAMINEE_PART_MAX = 79 };   // bytes of the examinee part of the name

// The examinee part: `name` with every blank made '_', or "Unnamed" when it
// is empty; at most EXAMINEE_PART_MAX bytes (and size - 1), cut on a
// character boundary.
void check_name(const char *name, char *out, size_t size);
// The date part "_%02d.%02d_%02d_%02d": month, day, hour and minute of
// `when` in local time.
void create_filename(char *out, size_t size, time_t when = time(nullptr));
// The name proposed for saving: dir, a separator (unless dir is empty or
// ends in one), exam, '_', the examinee part and the date part. When that
// is over MAX_PATH_CHARS (or size - 1) the examinee part is cut further,
// down to one character; false, with `out` empty, when even that is over.
bool default_save_name(char *out, size_t size, const char *dir, const char *exam,
                       const char *name, time_t when = time(nullptr));
