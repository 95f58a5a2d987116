// A question file in memory: loading (unscramble and decompress), reading
// it line by line, and the inverse, packing text into a question file.
#pragma once

#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

enum {
    QUESTION_HEADER_SIZE = 10,       // bytes before the compressed body
    QUESTION_KEY = 0xC6,             // every body byte is xor-ed with it
    LINE_SIZE = 2048,                // line array of bgets' callers
};

// Most text a question file may hold; more is refused as a likely bomb.
constexpr size_t MAX_QUESTION_TEXT = 64u * 1024 * 1024;
// Most an exam configuration or settings file may hold: a few lines of
// text, and a message of at most 2 KiB. A larger one is not read at all.
constexpr size_t MAX_CONFIG_FILE = 1024 * 1024;

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
// FIFO that has no writer would wait forever. On failure returns none with
// *error set (TRIALIX_ERROR_MISSING, _OPEN or _NOT_REGULAR; the message is
// why alone, without the path). Unless follow_link, a symbolic link is
// refused too (TRIALIX_ERROR_NOT_REGULAR) rather than followed.
FILE *open_regular_file(const char *path, GError **error, bool follow_link = true);
// The whole content of a regular file, refused as open_regular_file does,
// and (TRIALIX_ERROR_TOO_LARGE) when it holds more than max_size bytes.
bool read_regular_file(const char *path, std::string *contents, size_t max_size,
                       GError **error);
// Length of the file in bytes, -1 when it can't be opened or measured
// (*error as open_regular_file sets it, or TRIALIX_ERROR_READ).
long filesize(const char *path, GError **error);

// Why a question file could not be loaded, in *error: TRIALIX_ERROR_MISSING
// or _OPEN (can't be opened; the message is empty), _READ (opened but not
// read to its end), _NO_MEMORY (a block could not be had: the message says
// which), _TOO_LARGE (file or text over MAX_QUESTION_TEXT), or in
// TRIALIX_BZIP2_ERROR the library's return code. A message is one line for
// the user, without '\n'.

// Loads question files one after another into memory that it keeps: the
// text, the compressed body and the decompressor's own blocks serve the
// next file instead of going back to the allocator. A run reads a file per
// item; without this, each would grow the heap and fault in fresh pages.
struct question_loader {
    question_loader() = default;
    ~question_loader();
    question_loader(const question_loader &) = delete;
    question_loader &operator=(const question_loader &) = delete;

    // Loads the text of the question file at path. The text stays valid
    // until the next load.
    bool load(const char *path, GError **error);
    const char *text() const { return text_; }
    size_t size() const { return size_; }
    // Hands the text over as a malloc block of exactly its size (one byte
    // for an empty text); the loader forgets it.
    char *release(size_t *size);

    // A block the decompressor asked for, kept for the next file.
    struct kept_block {
        void *p;
        size_t size;
        bool used;
    };

private:
    char *body_ = nullptr;
    size_t body_capacity_ = 0;
    char *text_ = nullptr;
    size_t capacity_ = 0;
    size_t size_ = 0;
    std::vector<kept_block> blocks_;

    bool read_body(FILE *f, const char *path, size_t *length, GError **error);
    bool decompress(const char *path, size_t length, GError **error);
};

// Loads a question file.
membuf_ptr load_question_file(const char *path, GError **error);
// The same, for the readers of items (count_questions, read_question).
membuf_ptr file2buf(const char *path, GError **error);
// Whether a failed load is one the reader's callers report on standard
// output: any but a file that can't be opened (or a read_question of an
// item the file doesn't hold).
bool load_error_is_shown(const GError *error);

// Copies the next line (with its '\n') of b into line, at most max
// characters, and terminates it. Returns line, or none when b is exhausted.
char *bgets(char *line, int max, membuf *b);

// Writes text as a question file at path (replacing it whole).
// On failure returns false and sets *error (TRIALIX_ERROR_TOO_LARGE,
// _COMPRESS or _WRITE) to one line for the user.
bool text2file(const char *text, size_t size, const char *path, GError **error);
