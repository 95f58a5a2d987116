// The question record and the question list of a run, with its grading
// and counters.
#pragma once

#include <memory>
#include <string>

#include "bank/item_kind.h"

// Widths of the record's fields (terminator included).
enum {
    TEXT_SIZE = 2048,       // text, explanation
    ANSWER_SIZE = 256,      // one answer slot, entry
    NUM_ANSWERS = 7,        // answer slots and selected flags
    RECORD_SIZE = 6164,     // the record image in a saved exam file
    MAX_RUN_ITEMS = 127,    // `number` is one signed byte
    CHOICE_WIDTH = 80,      // line_break width for choice lines
};

// Offsets of the fields in the record image.
enum {
    IMAGE_TYPE = 0,
    IMAGE_POINTS = 1,
    IMAGE_NUMBER = 2,
    IMAGE_OK = 3,
    IMAGE_TEXT = 4,
    IMAGE_ANSWERS = 2052,
    IMAGE_EXPLANATION = 3844,
    IMAGE_SELECTED = 5892,
    IMAGE_ENTRY = 5899,
    IMAGE_MARKED = 6155,
    IMAGE_NEXT = 6156,
    IMAGE_PREV = 6160,
};

// How a typed answer is compared with the accepted ones.
enum class answer_compare {
    exact,     // byte for byte
    lenient,   // as lenient_form gives both
};

// Grading results kept in `OK`.
enum { OK_RIGHT = 1, OK_WRONG = -1, OK_UNANSWERED = 0, OK_UNKNOWN_TYPE = -123 };

struct question {
    char type;            // a kind's letter (item_kind.h); 'H' only in a saved file's header
    signed char points;   // 1 to 9
    signed char number;   // position in the run, 1 to 127
    signed char OK;       // see the OK_ values
    char text[TEXT_SIZE];
    char answers[NUM_ANSWERS][ANSWER_SIZE];
    char explanation[TEXT_SIZE];
    char selected[NUM_ANSWERS];
    char entry[ANSWER_SIZE];
    char marked;
    question *next;
    question *prev;
};

// A new record with every field empty. Ends the process when out of memory.
question *new_question(void);
// Links the unlinked record q after the tail of the list that holds `list`.
void append_question(question *list, question *q);
// Frees every record of the list that holds q (any record of it).
void destroy_list(question *q);
// The first record of the list that holds q; none for none.
question *list_head(question *q);
const question *list_head(const question *q);

// The owner of a whole list: destroy_list when it goes.
struct question_list_deleter {
    void operator()(question *q) const { destroy_list(q); }
};
using question_list = std::unique_ptr<question, question_list_deleter>;

// Appends q to the list whose head is *head and whose tail is *tail (both
// none for an empty list), for building a list in order.
void append_to(question **head, question **tail, question *q);

// The nearest record after (before) r for which qualifies(r) holds, never r
// itself; none when there is none.
question *next_qualifying(question *r, bool (*qualifies)(const question *));
question *prev_qualifying(question *r, bool (*qualifies)(const question *));
// Records in the list that holds q (any record of it); 0 for none.
int list_length(const question *q);
// Grades q from its current ticks or entry into q->OK; a typed answer is
// compared as `compare` says.
void check_question(question *q, answer_compare compare = answer_compare::exact);
// A typed answer as lenient comparison sees it: NFC-normalised and
// case-folded, blanks at both ends dropped and every inner run of blanks
// made one. Text that isn't UTF-8 is taken as it is, blanks aside.
std::string lenient_form(const char *text);
// Whether `typed` is `accepted` under `compare`. An empty accepted answer
// (or one of blanks alone, compared leniently) is no answer and matches
// nothing.
bool answer_matches(const char *typed, const char *accepted, answer_compare compare);

// Counters over the whole list that holds q; they read OK without grading.
int get_right_questions(question *q);
int get_wrong_questions(question *q);
int get_unanswered_questions(question *q);
int get_total_points(question *q);
int get_correct_points(question *q);

