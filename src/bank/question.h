// The question record, the question list of a run with its grading and
// counters, reading items out of question files, and assembling a run.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

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

// Grading results kept in `OK`.
enum { OK_RIGHT = 1, OK_WRONG = -1, OK_UNANSWERED = 0, OK_UNKNOWN_TYPE = -123 };

struct question {
    char type;            // 'S', 'M', 'F' ('H' only in a saved file's header)
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
// Records in the list that holds q (any record of it); 0 for none.
int list_length(const question *q);
// Grades q from its current ticks or entry into q->OK.
void check_question(question *q);

// Counters over the whole list that holds q; they read OK without grading.
int get_right_questions(question *q);
int get_wrong_questions(question *q);
int get_unanswered_questions(question *q);
int get_total_points(question *q);
int get_correct_points(question *q);

// The RECORD_SIZE-byte image of a record. Texts are written up to their
// terminator and zero-filled; the link bytes are zero.
void record_to_image(const question *q, unsigned char *image);
// Fills q from an image, every text terminated within its field; next and
// prev are left alone.
void record_from_image(const unsigned char *image, question *q);

// ---- Saved exam file ----
//
// A header record (an image whose type is 'H') with the run's settings,
// then every record of the list as its image, head first.

// Where the header keeps the run's settings: texts in answer slots 0 to 5,
// one-byte values in selected flags 0 to 5.
enum {
    HEADER_EXAMNAME = IMAGE_ANSWERS,
    HEADER_USERNAME = IMAGE_ANSWERS + ANSWER_SIZE,
    HEADER_SECONDS = IMAGE_ANSWERS + 2 * ANSWER_SIZE,
    HEADER_PASSED_TIME = IMAGE_ANSWERS + 3 * ANSWER_SIZE,
    HEADER_SAVEDATE = IMAGE_ANSWERS + 4 * ANSWER_SIZE,
    HEADER_TITLE = IMAGE_ANSWERS + 5 * ANSWER_SIZE,
    HEADER_NUM_QUESTIONS = IMAGE_SELECTED,
    HEADER_PERCENTAGE = IMAGE_SELECTED + 1,
    HEADER_EXAM_ENDED = IMAGE_SELECTED + 2,
    HEADER_TRAINING = IMAGE_SELECTED + 3,
    HEADER_ENABLE_TIMER = IMAGE_SELECTED + 4,
    HEADER_ENABLE_ANSWER = IMAGE_SELECTED + 5,
};

// Fills the RECORD_SIZE bytes of `area` with the header of the running
// exam: the globals, the local time now, and the exam's title read afresh
// from its configuration file ("UNKNOWN" when that can't be read). Bytes
// the header doesn't use are zero.
void create_header(unsigned char *area);
// Sets the globals the header holds. Texts are terminated within their
// slots; the four flags become 0 or 1; a time that isn't a plain decimal
// int leaves its global alone; an exam name that could lead out of the
// exam root (a separator, or a leading '.') becomes empty.
void set_globals(const unsigned char *header);

// Writes the header and every record of the list that holds q (any record
// of it; none writes the header alone) to `path`. The file is written
// under a temporary name beside it and renamed over `path` only when all
// of it is on disk, so a failure leaves whatever was at `path` as it was.
// Returns the records written, header included, or 0 with *error set.
int save_list_file(const char *path, question *q, std::string *error);
// Reads a saved exam file. A file that can't be read, isn't a whole number
// of records, or whose header names no valid exam directory is refused:
// *ok is false, *error says why, and no global changes. Otherwise the
// globals take the header's values and the result is the list of the
// file's 'S', 'M' and 'F' records (other kinds are skipped), or none when
// it holds none. Points outside 1 to 9 become 1, flags 0 or 1, and a
// grading result that can't be right is graded afresh.
question *load_list_file(const char *path, bool *ok, std::string *error);

// The same, telling the examinee about a failure with the file error
// dialogs. write_list returns what save_list_file returns; read_list
// returns the list, or none (a file of a header alone is no failure).
int write_list(const char *path, question *q);
question *read_list(const char *path);

// ---- Items in the text of a question file ----

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

// Fills q (type, points, text, answers, explanation) from item n of the
// text, 1 <= n <= index.count(). Text over a field's width is cut on a
// character boundary, answer lines past the seventh are ignored, a section
// without its end line stops at the end of the text. When `problems` is
// given, everything an author should fix is added to it.
void parse_item(const char *text, size_t size, const item_index &index, int n,
                question *q, std::vector<item_problem> *problems = nullptr);

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
