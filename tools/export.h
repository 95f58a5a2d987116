// trialix-pack export: every item of an exam written as a question bank
// for a learning platform (Moodle XML or GIFT).
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bank/exhibit.h"

// One item as the question file holds it.
struct export_item {
    char type = 0;
    int points = 1;
    bool keep_order = false;
    std::string text, explanation;      // Pango markup, exhibits included
    std::vector<std::string> answers;   // choices with their mark, unbroken; or accepted answers
};

struct export_file {
    std::string name;
    std::vector<export_item> items;
};

// What a format can't hold, said about one item (item 0: the whole file
// or, with an empty file name, the whole exam).
struct export_note {
    std::string file;
    int item;
    std::string what;
};

struct export_exam {
    std::string dir, name;    // the exam directory and its last part
    bool shuffle = false;     // choices in a random order
    bool lenient = false;     // fill-in answers compared without letter case
    std::vector<export_file> files;
    std::map<std::string, std::string> pictures;   // exhibit src -> the picture's bytes
    std::vector<export_note> notes;
    int left_out = 0;         // items not written at all

    void note(const std::string &file, int item, const std::string &what) { notes.push_back({file, item, what}); }
};

// Pango markup as the HTML the formats carry: tags and entities as they
// are, line breaks as <br> (followed by `newline`), blanks HTML would fold
// written as character references, each exhibit through `picture`.
std::string markup_to_html(const std::string &markup, const char *newline,
                           const std::function<std::string(const exhibit_ref &)> &picture);
// Plain text escaped for HTML.
std::string html_escape(const std::string &plain);
// The file name of an exhibit's picture inside the images folder.
std::string picture_name(const std::string &src);

// The bank in each format; notes go to exam->notes. GIFT's pictures are
// written by the caller beside the bank.
std::string export_moodle(export_exam *exam);
std::string export_gift(export_exam *exam);

// Runs `trialix-pack export ...` (argv[1] is "export").
int export_main(int argc, char **argv, FILE *out, FILE *err);
