// trialix-pack history: the results history of an exam, as a table or as
// JSON, for authors and scripts.
#pragma once

#include <cstdio>

// Runs `trialix-pack history [EXAM] [--json] [--db FILE]` (argv[1] is
// "history"). Without --db the user's own history is read.
int history_main(int argc, char **argv, FILE *out, FILE *err);
