// A question file in memory: loading (unscramble and decompress), reading
// it line by line, and the inverse, packing text into a question file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

enum {
    QUESTION_HEADER_SIZE = 10,       // bytes before the compressed body
    QUESTION_KEY = 0xC6,             // every body byte is xor-ed with it
    LINE_SIZE = 2048,                // line array of bgets' callers
};

// Most text a question file may hold; more is refused as a likely bomb.
constexpr size_t MAX_QUESTION_TEXT = 64u * 1024 * 1024;

// The decompressed text of a question file. `data` is not zero-terminated.
struct membuf {
    char *data;
    size_t size;
    char *pos;   // next character to hand out
    char *end;   // one past the last character; exhausted when pos == end
};

void free_membuf(membuf *b);
struct membuf_deleter {
    void operator()(membuf *b) const { free_membuf(b); }
};
using membuf_ptr = std::unique_ptr<membuf, membuf_deleter>;

// 1 when the file can be opened for reading, else 0. Never waits on a FIFO.
int fileexists(const char *path);
// Opens `path` for binary reading when it is a regular file. Anything else
// (a directory, a FIFO, a device) is refused without blocking: opening a
// FIFO that has no writer would wait forever. On failure returns none,
// sets *why and, when given, *code to the errno (0 for "not a regular file").
FILE *open_regular_file(const char *path, std::string *why, int *code = nullptr);
// The whole content of a regular file, refused as open_regular_file does.
bool read_regular_file(const char *path, std::string *contents, std::string *why,
                       int *code = nullptr);
// Length of the file in bytes, -1 when it can't be opened.
long filesize(const char *path);

// Why a question file could not be loaded.
enum class load_status {
    ok,
    missing,      // can't be opened
    unreadable,   // opened but not read to its end
    no_memory,    // a block could not be had (`detail` says which)
    too_large,    // file or text over MAX_QUESTION_TEXT
    decompress,   // the library failed; `code` is its return code
};
struct load_error {
    load_status status = load_status::ok;
    int code = 0;
    std::string detail;   // one line for the user, without '\n'
};

// Loads a question file without printing anything.
membuf_ptr load_question_file(const char *path, load_error *error);
// Loads a question file; failures other than a missing file are reported
// on standard output with one line each.
membuf_ptr file2buf(const char *path);

// Copies the next line (with its '\n') of b into line, at most max
// characters, and terminates it. Returns line, or none when b is exhausted.
char *bgets(char *line, int max, membuf *b);

// Writes text as a question file at path (replacing it whole).
// On failure returns false and sets *error to one line for the user.
bool text2file(const char *text, size_t size, const char *path, std::string *error);
