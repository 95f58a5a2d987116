// trialix-pack history: the results history of an exam, as a table or as
// JSON, for authors and scripts.
#pragma once

#include <cstdio>
#include <string>

// Runs `trialix-pack history [EXAM] [--json] [--db FILE|URL]` (argv[1] is
// "history"). Without --db the user's own history is read.
int history_main(int argc, char **argv, FILE *out, FILE *err);
struct history_db;
// Opens for reading the history `db_path` names (a file or a libpq
// connection string), or the user's own (the server the settings name, else
// the file in the user's data folder); *where is how messages name it. None,
// with the reason printed to `err`, when there is none or it can't be read.
history_db *open_history_to_read(const char *db_path, std::string *where, FILE *err);
// Whether `wanted`, as typed, names the exam stored as `stored`: as stored,
// or as this command and the program show a name that isn't UTF-8.
bool names_exam(const char *wanted, const std::string &stored);
