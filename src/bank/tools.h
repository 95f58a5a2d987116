// Exam configuration file, question file list, random order, and the
// default name of a saved exam.
#pragma once

#include <glib.h>

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "bank/question.h"
#include "bank/text.h"

enum {
    TITLE_SIZE = 256,       // an exam title, terminator included
    MESSAGE_SIZE = 2048,    // an exam message, terminator included
};

// Buffer sizes of the installation settings and of the texts a run keeps
// (terminator included).
enum {
    PATH_SIZE = 256,      // exam root, save folder, exam name, title, examinee, date
    EXAMCONFIG_SIZE = 30, // name of an exam's configuration file
    PREFIX_SIZE = 16,     // beginning of a question file's name
};

// ---- Exam configuration file ----

// One numeric key: where it stands and what it gave.
struct config_number {
    int line = 0;        // line of the first line that begins with the key; 0 none
    bool parsed = false; // that line read as key=number
    int value = 0;       // the number, 0 when not parsed
};

// One key whose value is a word (shuffle=yes).
struct config_word {
    int line = 0;        // line of the first line that begins with the key; 0 none
    bool known = false;  // that line read as key=WORD with a word the key knows
    std::string value;   // what follows '=', blanks at both ends dropped
};

// Everything the exam configuration file says, with the lines it says it on.
struct exam_config {
    config_number timeout;
    config_number percentage;
    config_word shuffle;       // yes: choices in a new order each run; no (default)
    config_word compare;       // lenient: fill-in answers compared leniently; exact (default)
    int title_line = 0;        // 0: no line begins with "title"
    bool title_has_equals = false;
    bool title_cut = false;    // over TITLE_SIZE - 1 bytes
    std::string title;         // "UNKNOWN" unless a title line with '=' was found
    int message_line = 0;      // line of the last "[message]" line; 0 none
    bool message_cut = false;  // over MESSAGE_SIZE - 1 bytes
    std::string message;       // empty without a "[message]" line
};

// Reads an exam configuration file; false, with *error set as
// read_regular_file sets it, when it can't be opened or is over
// MAX_CONFIG_FILE bytes. Lines are whole lines; a '\r' before a line's '\n'
// is dropped.
bool read_exam_config(const char *path, exam_config *config, GError **error);

// What the keys choose; a key missing or with an unknown value gives the
// default (as written, exact comparison).
bool config_shuffles(const exam_config &config);
answer_compare config_comparison(const exam_config &config);

// How an exam's runs are drawn and graded.
struct exam_options {
    bool shuffle = false;
    answer_compare compare = answer_compare::exact;
};
// The options of the exam `name` from its configuration file; the defaults
// when it can't be read (the exam's folder gone since a run was saved):
// choices as written, answers compared byte for byte.
// *found (when given) tells whether the file could be read.
exam_options read_exam_options(const char *root, const char *config_name, const char *name,
                               bool *found = nullptr);

// Reads the configuration file `config_name` of the exam `name` in the exam
// root `root`; false when the path is too long (TRIALIX_ERROR_TOO_LONG) or
// the file can't be read.
bool read_named_config(const char *root, const char *config_name, const char *name,
                       exam_config *config, GError **error);

// The four readers take the exam root, the configuration file's name and
// an exam's name, and read that exam's configuration file.
int getTimeout(const char *root, const char *config_name, const char *name);
int getPercentage(const char *root, const char *config_name, const char *name);
// *title is "UNKNOWN" when the file has no title; false, with *title
// untouched and *error set, when it can't be opened.
bool getExamTitle(const char *root, const char *config_name, const char *name,
                  std::string *title, GError **error);
// "UNKNOWN" when the file can't be opened; empty without a message.
std::string getExamMessage(const char *root, const char *config_name, const char *name);

// ---- Question files and the order of a run ----

// Question files of dir: regular files whose names begin with prefix.
int count_files(const char *dir, const char *prefix);
// Their names in the order the directory lists them.
std::vector<std::string> filename_list(const char *dir, const char *prefix);

// A pseudo-random number from 0 to n - 1 (0 when n < 1). The generator is
// seeded at the first call of the process.
int random(int n);
// Seeds the generator: the same seed gives the same numbers again.
void random_seed(unsigned seed);
// 0 to n - 1, each once, shuffled.
std::vector<int> create_random_list(int n);

// ---- Default name of a saved exam ----

enum { EXAMINEE_PART_MAX = 79 };   // bytes of the examinee part of the name

// The examinee part: `name` with every blank and path separator made '_',
// or "Unnamed" when it is empty; at most EXAMINEE_PART_MAX bytes (and
// size - 1), cut on a character boundary.
void check_name(const char *name, char *out, size_t size);
// The date part "_%02d.%02d_%02d_%02d": month, day, hour and minute of
// `when` in local time.
void create_filename(char *out, size_t size, time_t when = time(nullptr));
// The name proposed for saving: dir, a separator (unless dir is empty or
// ends in one), exam, '_', the examinee part and the date part. When that
// is over MAX_PATH_CHARS (or size - 1) the examinee part is cut further,
// down to one character; false, with `out` empty and *error
// (TRIALIX_ERROR_TOO_LONG) set, when even that is over.
bool default_save_name(char *out, size_t size, const char *dir, const char *exam,
                       const char *name, time_t when, GError **error);
