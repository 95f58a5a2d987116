// Reading items out of question files and assembling the list of a run.
#pragma once

#include <string>
#include <vector>

#include "bank/question.h"

// Items in a question file, or -1 when it can't be read.
int count_questions(const char *path);
// A new record filled from item n of a question file, or none when there
// is no such item or the file can't be read.
question *read_question(int n, const char *path);

// Where an item of a run came from: its question file and its 1-based
// number in that file.
struct item_origin {
    std::string file;
    int item;
};

// The question list of a run: from each file names[order[i]] in `dir`, one
// item drawn at random, numbered in order. Each file is decompressed once.
// A file that yields no item is left out (one line on standard error) and
// the run is numbered without it; at most MAX_RUN_ITEMS items are taken.
// Returns the head, or none when no item could be had. `origins`, when
// given, gets each item's origin in list order.
question *create_exam_list(const std::vector<int> &order, int n, const char *dir,
                           const std::vector<std::string> &names,
                           std::vector<item_origin> *origins = nullptr);
