// trialix-pack import: an exam made from a question bank in another
// platform's text format (GIFT, Aiken).
#pragma once

#include <cstdio>
#include <map>
#include <set>
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
    int points = 1;                    // 1 to 9
    bool keep_order = false;           // choices shown as written, never shuffled
};

// A picture an item shows, written into the exam's images folder.
struct imported_image {
    std::string name;    // file name in that folder
    std::string bytes;   // PNG or JPEG
};

// What the author is told about one question of the source.
struct import_note {
    int line;
    std::string what;
    bool skipped;   // false: imported, but not quite as the source meant
};

struct import_result {
    std::vector<imported_item> items;
    std::vector<import_note> notes;
    bool categories = false;   // the source groups its questions itself
    std::vector<imported_image> images;
    std::map<std::string, int> skipped_kinds;   // question types left out, by name
    bool lenient = false;      // fill-in answers compared without letter case
    bool shuffle = false;      // choices shown in a random order
    std::map<std::string, std::string> picture_names;   // bytes -> name in the images folder
    std::set<std::string> picture_files;   // those names, in lower case
    std::map<std::string, int> picture_suffix;   // the next number to try after a name taken
};

// The parsers take valid UTF-8 text without a byte-order mark.
// GIFT's pictures: an <img> whose file sits beside the source (in
// source_dir or a folder below it) and is a PNG or JPEG image within the
// exhibits' limits becomes an exhibit.
void import_gift(const std::string &text, import_result *result, const char *source_dir = nullptr);
void import_aiken(const std::string &text, import_result *result);
// Moodle XML; false, with *why, when the file is refused as a whole
// (not well-formed, a DTD, an embedded file that is unsafe or not base64).
bool import_moodle(const std::string &text, import_result *result, std::string *why);

// Adds item with the notes on how it was changed, or, when it can't be
// written as a Trialix item, a note saying why it was skipped.
void add_item(import_result *result, imported_item item, std::vector<import_note> changes = {});

// A picture kept for the exam: its name in the images folder (the wanted
// one, made safe and unique; the same bytes keep one name), or "" when
// the bytes are neither PNG nor JPEG.
std::string add_picture(import_result *result, const std::string &wanted, const std::string &bytes);
// The exhibit that shows the picture `name` of the images folder.
std::string exhibit_markup(const std::string &name, const std::string &alt);

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
