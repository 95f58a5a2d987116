// trialix-pack import: an exam made from a question bank in another
// platform's text format (GIFT, Aiken).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "bank/item_kind.h"

// One question as it goes into a question file.
struct imported_item {
    int line = 0;                      // source line where the question starts
    std::string name;                  // its name in the source; may be empty
    std::string category;              // the group it is drawn from; "" none
    item_kind kind = item_kind::single;
    std::string text;                  // Pango markup
    std::vector<std::string> answers;  // choices: '+' or '-' and the choice; typed: accepted answers
    std::string explanation;           // Pango markup
};

// What the author is told about one question of the source.
struct import_note {
    int line;
    std::string what;
    bool skipped;   // false: imported, but not quite as the source meant
};

struct image_keeper;

struct import_result {
    // Where a GIFT bank's images are kept from, when they can be; none:
    // each is replaced by its description.
    image_keeper *keeper = nullptr;
    std::vector<imported_item> items;
    std::vector<import_note> notes;
    bool categories = false;   // the source groups its questions itself
};

// The parsers take valid UTF-8 text without a byte-order mark.
void import_gift(const std::string &text, import_result *result);
void import_aiken(const std::string &text, import_result *result);

// Adds item with the notes on how it was changed, or, when it can't be
// written as a Trialix item, a note saying why it was skipped.
void add_item(import_result *result, imported_item item, std::vector<import_note> changes = {});

// Paragraphs of Pango markup joined by line breaks, as many as fit into an
// explanation; *dropped counts those left out.
std::string join_explanation(const std::vector<std::string> &paragraphs, int *dropped);

// The questions of one question file: one category, or one question when
// the source has no categories.
struct import_group {
    std::string category;
    std::vector<const imported_item *> items;
};
std::vector<import_group> make_groups(const import_result &r);
// The whole text of the question file of one group; source names the
// source file and kind its format in the file's comments.
std::string group_text(const import_group &g, const std::string &source, const char *kind);

// Runs `trialix-pack import ...` (argv[1] is "import").
int import_main(int argc, char **argv, FILE *out, FILE *err);
