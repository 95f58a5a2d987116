// Items in the text of a question file: finding them, and filling a record
// from one, with what an author should fix.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "bank/question.h"

// One thing an author should fix, at a line of the file's text.
struct item_problem {
    int line;   // 1-based line of the text; 0 for the file as a whole
    int item;   // 1-based item number; 0 for the file as a whole
    std::string what;
};

// Where the separator lines ("+++") of a text stand.
struct item_index {
    std::vector<size_t> after;  // offset of the line after each separator
    std::vector<int> line;      // 1-based line number of each separator

    // Items in the text: separator lines minus one (-1 when there are none).
    int count() const { return (int)after.size() - 1; }
};

// Finds the separator lines of a text in one pass.
item_index index_items(const char *text, size_t size);

// Whether item n's head line holds the word "keep-order" after its kind
// letter: its choices stay in the order written when others are shuffled.
bool item_keeps_order(const char *text, size_t size, const item_index &index, int n);

// Fills q (type, points, text, answers, explanation) from item n of the
// text, 1 <= n <= index.count(). Text over a field's width is cut on a
// character boundary, answer lines past the seventh are ignored, a section
// without its end line stops at the end of the text. When `problems` is
// given, everything an author should fix is added to it, typed answers
// judged as `compare` (the exam's comparison) will compare them; with
// `exam_dir` too, that includes what keeps the images the item references
// from being shown (their files are looked for in that exam folder).
void parse_item(const char *text, size_t size, const item_index &index, int n,
                question *q, std::vector<item_problem> *problems = nullptr,
                answer_compare compare = answer_compare::exact, const char *exam_dir = nullptr);

