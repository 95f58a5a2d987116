// The results history: every graded run, and what it tells about an exam
// (its runs, its weakest question files, the items most often got wrong).
// It is kept in an SQLite file of the examinee's own (the default) or in a
// PostgreSQL database a class shares; the functions below work alike on
// both. Everything comes in as parameters, so the store serves the
// program, the authoring tool and the tests alike.
#pragma once

#include <glib.h>

#include <functional>
#include <string>
#include <vector>

#include "bank/exam_list.h"

struct question;

enum { HISTORY_SCHEMA_VERSION = 3 };

// One item of a recorded run.
struct history_item {
    std::string file;          // question file name; "" when it couldn't be told
    int item = 0;              // 1-based item number in that file; 0 unknown
    std::string fingerprint;   // item_fingerprint of the item's text
    int points = 0;
    int ok = 0;                // the grading result (OK_RIGHT, OK_WRONG, ...)
    // The answer given. For a single or multiple choice the text of every
    // ticked choice (without its '+'/'-' mark), each ended by a line feed:
    // choices are told by their text, as their order changes from run to
    // run. For a fill-in the text typed. "" when nothing was given (and in
    // runs recorded before answers were).
    std::string answer;
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
    // The run's id, made when it began (a UUID): the history holds a run
    // once however often it is sent. history_record makes one for a run
    // that has none.
    std::string uuid;
    // On a server, the login that recorded it: who the examinee is on any
    // machine (the database sets it; "" in a history file).
    std::string login;
    // A run kept aside for later (history_keep) carries its name: recording
    // it a second time, after a crash between recording and forgetting it,
    // does nothing.
    std::string key;
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

// Whether `where` names a PostgreSQL database (a libpq connection string:
// "postgresql://..." or "postgres://...", or "keyword=value ...") rather
// than an SQLite file. Every function below that takes a path takes either.
bool history_is_server(const char *where);
// A connection string for the `database` setting: a service name (of
// pg_service.conf) becomes "service=NAME"; a connection string stays.
std::string history_server_setting(const std::string &value);

// Opens the database at `path` for recording, making it and its folder
// when missing. A server's database is never made here (that is
// `trialix-pack history init-db`): one that has no Trialix tables is
// refused as TRIALIX_ERROR_FORMAT, one that can't be reached is
// TRIALIX_ERROR_DATABASE. A file that isn't such a database, or that a newer program
// wrote (a higher schema version), is refused and left as it is: none,
// with *error set: TRIALIX_ERROR_BUSY when another program held it,
// TRIALIX_ERROR_NEWER for a newer program's, TRIALIX_ERROR_FORMAT for a
// database that is no history, else TRIALIX_ERROR_DATABASE.
history_db *history_open(const char *path, GError **error);
// Opens an existing history for reading only: it never writes to the file
// nor needs its write lock, so a history the user may only read, or one
// another program is writing, can be read. A missing file, an empty one
// and any database that isn't a Trialix history are refused untouched
// (*error as history_open sets it).
history_db *history_open_read(const char *path, GError **error);
// Closes the database. The last of the program's connections to close
// folds the history's write-ahead log back into the file, so that the file
// the guide names holds every run once the program is done with it; with
// `fold` false that is left to a history_fold later.
void history_close(history_db *db, bool fold = true);
// Folds the log of the history at `path` back into the file if there is
// one and no one else has the file open. Costs two syncs of the disk.
void history_fold(const char *path);

// Prepares the server's database that `conninfo` names to hold a class's
// histories: the tables and the roles of trialix-history.sql (applying it
// again changes nothing). Needs the database owner's rights; false with
// *error (TRIALIX_ERROR_DATABASE) when it can't.
bool history_init_db(const char *conninfo, GError **error);

// Records one run with its items in one transaction: all of it or nothing.
// A run whose uuid the history holds already is not recorded again (true,
// id 0).
// Another program recording at the same moment is waited for briefly, then
// given up (TRIALIX_ERROR_BUSY). `before_commit` (if given) runs inside
// the transaction, just before it is committed. A run with a key that was
// recorded before is not recorded again (true, id 0).
bool history_record(history_db *db, history_run *run, const std::function<void()> &before_commit,
                    GError **error);

// ---- Runs kept aside while the history can't take them ----

// <user data dir>/trialix/pending: one file per run waiting to be recorded.
std::string history_kept_dir(void);
// How many runs are kept in `dir`, waiting to be recorded.
int history_kept_count(const char *dir);
// Keeps `run` (with its items) as a file of `dir`, made when missing.
// False with *error (TRIALIX_ERROR_WRITE) when it can't.
bool history_keep(const char *dir, const history_run &run, GError **error);
// Records every run kept in `dir` into `db`, oldest first, each exactly
// once, and forgets it once recorded. Returns how many are still waiting
// (-1 when `dir` can't be read: TRIALIX_ERROR_READ); stops at the first
// that can't be recorded, with *error set as history_record sets it. A
// kept file that can't be read stays waiting, and is no error.
int history_record_kept(history_db *db, const char *dir, GError **error);

// How one graded run fared with history_record_or_keep.
enum history_outcome {
    HISTORY_RECORDED,    // in the history, with every run kept before it
    HISTORY_KEPT_BUSY,   // kept: another program held the history
    HISTORY_KEPT,        // kept: the history can't be used (*error says why)
    HISTORY_LOST,        // neither recorded nor kept (*error says why)
};
// Records the runs kept in `kept_dir`, then `run`, into the history at
// `path`; keeps `run` in `kept_dir` when it can't be recorded now. With
// `fold` false the log is left for a history_fold later. Whenever the run
// isn't recorded, *error says why: as history_open or history_record set
// it when kept, TRIALIX_ERROR_WRITE when lost.
history_outcome history_record_or_keep(const char *path, const char *kept_dir, history_run *run,
                                       bool fold, GError **error);

// ---- Reading ----

// Names and numbers come back as stored, but every number within its
// range: a score and a pass mark within 0..100, counts from 0 to INT_MAX,
// whatever a damaged or tampered file holds.

// Exams with history, the last one taken first.
// Each of these is false with *error (as history_open sets it) when the
// database can't be read.
bool history_exams(history_db *db, std::vector<history_exam> *out, GError **error);
// An exam's runs, newest first (only the newest `limit` when it is above
// 0); with_items reads their items too.
bool history_runs(history_db *db, const char *exam, bool with_items,
                  std::vector<history_run> *out, int limit, GError **error);
// Every run of `exam` with its items, oldest first, handed to `each` one at
// a time: a long history is read without holding it all. A false from
// `each` stops the reading (and is no error).
bool history_each_run(history_db *db, const char *exam,
                      const std::function<bool(const history_run &)> &each, GError **error);
// How many runs of `exam` there are, and how many of them passed.
bool history_count(history_db *db, const char *exam, int *runs, int *passed, GError **error);
// An exam's name as the history's readers show it: valid UTF-8 as it is,
// any other byte as the character of that code (Latin-1), as the JSON of
// `trialix-pack history` writes it.
std::string history_shown_name(const std::string &stored);
// An exam's question files, the weakest first (fewest right of those
// drawn, then most drawn, then by name). Items of an unknown file are left out.
bool history_weak_files(history_db *db, const char *exam, std::vector<history_file> *out,
                        GError **error);
// An exam's items that were missed at least once, most often missed first.
bool history_mistakes(history_db *db, const char *exam, std::vector<history_mistake> *out,
                      GError **error);

// ---- Items and their question files ----

// A fingerprint of an item's kind, text and answers (hex): an item edited
// in its question file no longer has the same one. Points and explanation
// don't count, nor the order of the answers (choices may be shown in a
// new order each run).
std::string item_fingerprint(const question *q);
// The fingerprint histories of schema 1 hold: the answers in the order
// given, which for those was the file's. Only for matching such rows.
std::string item_fingerprint_file_order(const question *q);

// The answer given to q, as history_item::answer holds it.
std::string history_answer_of(const question *q);

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

// The items of a practice run: from the mistakes those whose file in `dir`
// still holds the same item at the same place (by either fingerprint, and
// the rows of one item under both summed), most missed first, at most one
// per file and at most `max` items; each with the item's fingerprint as
// item_fingerprint gives it now. Reads each file at most once.
std::vector<history_mistake> practice_items(const std::vector<history_mistake> &mistakes,
                                            const char *dir, int max);
// The question list of those items in that order, numbered from 1, their
// choices in the order `choices` says, or none when not one could be read;
// `origins` as for create_exam_list.
// Items that can't be read are left out and noted in *left_out (when given);
// none left gives TRIALIX_ERROR_NO_ITEMS.
question *create_practice_list(const std::vector<history_mistake> &items, const char *dir,
                               choice_order choices, std::vector<item_origin> *origins,
                               std::vector<left_out_file> *left_out, GError **error);

