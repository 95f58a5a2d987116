// The results history: every graded run, kept in an SQLite database, and
// what it tells about an exam (its runs, its weakest question files, the
// items most often got wrong). Everything comes in as parameters, so the
// store serves the program, the authoring tool and the tests alike.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "bank/exam_list.h"

struct question;

enum { HISTORY_SCHEMA_VERSION = 1 };

// One item of a recorded run.
struct history_item {
    std::string file;          // question file name; "" when it couldn't be told
    int item = 0;              // 1-based item number in that file; 0 unknown
    std::string fingerprint;   // item_fingerprint of the item's text
    int points = 0;
    int ok = 0;                // the grading result (OK_RIGHT, OK_WRONG, ...)
};

// One graded run.
struct history_run {
    long long id = 0;          // given by the store
    std::string exam;          // exam directory name
    std::string title;
    long long taken = 0;       // when it was graded, seconds since the epoch (UTC)
    std::string examinee;
    bool training = true;
    bool timer = false;
    int time_used = 0;         // seconds
    int total_points = 0;
    int reached_points = 0;
    double score = 0;          // percent, as the score report shows it
    int pass_mark = 0;
    bool passed = false;
    int item_count = 0;        // items of the run (also when `items` isn't read)
    std::vector<history_item> items;
};

// An exam with history, for the chooser: the last one taken first.
struct history_exam {
    std::string exam, title;
    long long last_taken = 0;
    int runs = 0;
};

// A question file of an exam, as its history tells it.
struct history_file {
    std::string file;
    int runs = 0;    // runs that drew an item from it
    int drawn = 0;   // items drawn from it
    int right = 0;   // of those, answered right
};

// An item that was answered wrong or left unanswered at least once.
struct history_mistake {
    std::string file;
    int item = 0;
    std::string fingerprint;
    int missed = 0;   // times wrong or unanswered
    int drawn = 0;
};

struct history_db;

// <user data dir>/trialix/history.sqlite
std::string history_default_path(void);

// Opens the database at `path`, making it and its folder when missing. A
// file that isn't such a database, or that a newer program wrote (a higher
// schema version), is refused and left as it is: none, with *error set.
history_db *history_open(const char *path, std::string *error);
void history_close(history_db *db);

// Records one run with its items in one transaction: all of it or nothing.
// Another program recording at the same time is waited for. `before_commit`
// (if given) runs inside the transaction, just before it is committed.
bool history_record(history_db *db, history_run *run, std::string *error,
                    const std::function<void()> &before_commit = nullptr);

// Exams with history, the last one taken first.
bool history_exams(history_db *db, std::vector<history_exam> *out, std::string *error);
// An exam's runs, newest first; with_items reads their items too.
bool history_runs(history_db *db, const char *exam, bool with_items,
                  std::vector<history_run> *out, std::string *error);
// An exam's question files, the weakest first (fewest right of those
// drawn, then most drawn, then by name). Items of an unknown file are left out.
bool history_weak_files(history_db *db, const char *exam, std::vector<history_file> *out,
                        std::string *error);
// An exam's items that were missed at least once, most often missed first.
bool history_mistakes(history_db *db, const char *exam, std::vector<history_mistake> *out,
                      std::string *error);

// ---- Items and their question files ----

// A fingerprint of an item's kind, text and answers (hex): an item edited
// in its question file no longer has the same one. Points and explanation
// don't count.
std::string item_fingerprint(const question *q);

// A history_item for every record of the list that holds q (any record
// of it), in list order: fingerprint, points and result, no file yet.
std::vector<history_item> history_items_of(question *q);

// Finds the question file of every item that has none: the item of the
// files `names` in `dir` with the same fingerprint. A resumed run needs
// it, as a saved exam file has no room for its items' files. Files are
// read in `names` order only until every item is found (each costs a
// decompression); an item found in several is given the first. One found
// in none (edited or removed since) keeps file "" and item 0.
void match_items(std::vector<history_item> *items, const char *dir,
                 const std::vector<std::string> &names);

// The items of a practice run: from the mistakes (most missed first) those
// whose file in `dir` still holds the same item at the same place, at most
// one per file and at most `max` items. Reads each file at most once.
std::vector<history_mistake> practice_items(const std::vector<history_mistake> &mistakes,
                                            const char *dir, int max);
// The question list of those items in that order, numbered from 1, or none
// when not one could be read; `origins` as for create_exam_list.
question *create_practice_list(const std::vector<history_mistake> &items, const char *dir,
                               std::vector<item_origin> *origins = nullptr);

