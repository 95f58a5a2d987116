// Reading items out of question files and assembling the list of a run.
#pragma once

#include <glib.h>

#include <string>
#include <vector>

#include "bank/question.h"

// The order of a drawn item's choices.
enum class choice_order {
    as_written,
    shuffled,   // a random one, unless the item keeps its order (keep-order)
};

// Puts the filled answer slots of a choice item in a random order (empty
// slots stay where they are); any other item is left as it is.
void shuffle_choices(question *q);

// Items in a question file: separator lines minus one, so -1 for a text
// without one (no error); -1 too when it can't be read (*error set as
// load_question_file sets it).
int count_questions(const char *path, GError **error);
// A new record filled from item n of a question file, or none when the
// file can't be read or has no such item (TRIALIX_ERROR_NO_ITEMS).
question *read_question(int n, const char *path, GError **error);
// The same, its choices in the order `order` says, as a run draws it.
question *read_question(int n, const char *path, choice_order order, GError **error);

// Where an item of a run came from: its question file and its 1-based
// number in that file.
struct item_origin {
    std::string file;
    int item;
};

// A question file that a run was assembled without, and why: the reader's
// failure when it is one its callers show (load_error_is_shown; "" when
// not), and the line that says the file was left out. No '\n' in either.
struct left_out_file {
    std::string load_failure;
    std::string why;
};

// The question list of a run: from each file names[order[i]] in `dir`, one
// item drawn at random, numbered in order, its choices in the order
// `choices` says (once: the record keeps them so for the whole run). Each file is decompressed once.
// A file that yields no item is left out (noted in *left_out when given)
// and the run is numbered without it; at most MAX_RUN_ITEMS items are
// taken (what is past them noted too). Returns the head, or none
// (TRIALIX_ERROR_NO_ITEMS) when no item could be had. `origins`, when
// given, gets each item's origin in list order.
question *create_exam_list(const std::vector<int> &order, int n, const char *dir,
                           const std::vector<std::string> &names, choice_order choices,
                           std::vector<item_origin> *origins,
                           std::vector<left_out_file> *left_out, GError **error);
