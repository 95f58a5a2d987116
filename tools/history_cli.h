// trialix-pack history: the results history of an exam, as a table or as
// JSON, for authors and scripts.
#pragma once

#include <cstdio>
#include <string>

// Runs `trialix-pack history [EXAM] [--json] [--db FILE]` (argv[1] is
// "history"). Without --db the user's own history is read.
int history_main(int argc, char **argv, FILE *out, FILE *err);
// Whether `wanted`, as typed, names the exam stored as `stored`: as stored,
// or as this command and the program show a name that isn't UTF-8.
bool names_exam(const char *wanted, const std::string &stored);
