// Helpers shared by both test executables: scratch directories and files.
#pragma once

#include <gtest/gtest.h>
#include <glib.h>

#include <string>
#include <utility>
#include <vector>

#include "bank/error.h"
#include "bank/glib_ptr.h"

// Hands a GError** to a call of the core and puts the message of the error
// it sets (if any) into *text: `markup_is_valid(t, error_text(&why))`.
struct error_text {
    std::string *text;
    GError *raw = nullptr;
    explicit error_text(std::string *t) : text(t) {}
    ~error_text()
    {
        if (raw) {
            *text = raw->message;
            g_error_free(raw);
        }
    }
    operator GError **() { return &raw; }
};

#include "bank/exam_list.h"
#include "bank/item_text.h"
#include "bank/markup.h"
#include "bank/question.h"
#include "bank/saved_file.h"
#include "bank/text.h"

// `path` with each '/' as the system's separator (a backslash on Windows).
std::string native(std::string path);

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // The directory itself, or `rel` (slash-separated) inside it.
    std::string path(const std::string &rel = "") const;
    std::string operator/(const std::string &rel) const { return path(rel); }
    // Makes the directory `rel` with its parents; returns its path.
    std::string mkdir(const std::string &rel) const;
    // Writes `content` to the file `rel`, making its parents; returns its path.
    std::string write(const std::string &rel, const std::string &content) const;

private:
    std::string root_;
};

// Writes bytes as they are; packs text into a question file with our own
// packer. Both fail the test when they can't.
void write_file(const std::string &path, const std::string &bytes);
void write_question_file(const std::string &path, const std::string &text);
// The file's bytes, or "" when it can't be read.
std::string read_file(const std::string &path);
// Sets a file's times `ago` seconds back; false when that fails.
bool set_file_age(const std::string &path, int ago);
// `s` n times over.
std::string repeat(const std::string &s, int n);

// A PNG image of a gradient, width by height, that any decoder reads; and
// a PNG's signature and header alone, which say its size and hold no picture.
std::string png_image(int width, int height);
std::string png_header(int width, int height);

// A record of kind `type` worth `points`, with the given slots and text.
question *make_item(char type, int points, const std::vector<std::string> &answers,
                    const char *text = "Question?", const char *explanation = "");

// The runs a results history file holds by itself, as
// `sqlite3 FILE 'select count(*) from runs'` counts them; -1 when it can't.
int runs_in(const std::string &path);

// The environment of a program run with folders of its own under `root`:
// home, settings (its own and the system's), state and data, each a
// subfolder named so; `set` adds or replaces more. g_strfreev it.
gchar **environment_in(const TempDir &root, const std::vector<std::pair<const char *, std::string>> &set = {});

// The names in folder `dir` that end in `end`, sorted; none when it can't
// be read. paths_in gives each as a path in `dir`.
std::vector<std::string> names_in(const std::string &dir, const std::string &end = "");
std::vector<std::string> paths_in(const std::string &dir, const std::string &end = "");

// The tables of the first results history (schema 1), without its version.
extern const char HISTORY_SCHEMA_1[];
