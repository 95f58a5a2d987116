// The saved exam file: the RECORD_SIZE-byte image of a record, the header
// record with the run's settings, and reading and writing the whole file.
#pragma once

#include <glib.h>

#include <cstdio>
#include <functional>
#include <string>

#include "bank/question.h"
#include "bank/tools.h"

// The RECORD_SIZE-byte image of a record. Texts are written up to their
// terminator and zero-filled; the link bytes are zero.
void record_to_image(const question *q, unsigned char *image);
// Fills q from an image, every text terminated within its field; next and
// prev are left alone.
void record_from_image(const unsigned char *image, question *q);

// ---- Header record ----
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

// What a header holds: the settings and state of a run.
struct run_header {
    char examname[PATH_SIZE] = "";
    char username[PATH_SIZE] = "";
    char savedate[PATH_SIZE] = "";   // "%02d/%02d %02d:%02d:%02d"
    char examtitle[PATH_SIZE] = "";
    int seconds = 0;
    bool seconds_valid = false;      // reading: slot 2 held a plain decimal int
    int passed_time = 0;
    bool passed_time_valid = false;  // reading: slot 3 held a plain decimal int
    int num_questions = 0;
    int percentage = 0;
    int exam_ended = 0;
    int training = 0;
    int enableTimer = 0;
    int enableAnswer = 0;
};

// Fills the RECORD_SIZE bytes of `area` with a header of `h`: every field
// but savedate, for which the local time now is taken. Bytes the header
// doesn't use are zero.
void create_header(unsigned char *area, const run_header &h);
// Reads a header. Texts are terminated within their slots; the four flags
// become 0 or 1; an exam name that could lead out of the exam root (a
// separator, or a leading '.') becomes empty.
run_header read_header(const unsigned char *header);

// ---- The whole file ----

// The bytes of the saved exam file of h and the list that holds q, handed
// to put in order, a few records at a time, never the whole file at once
// (790 KB for a full run). Stops at the first put that returns false.
// Returns the records given, header included, or 0 when a put failed.
int put_list_file(question *q, const run_header &h,
                  const std::function<bool(const unsigned char *, size_t)> &put);

// Writes a header of `h` and every record of the list that holds q (any
// record of it; none writes the header alone) to `path`, through GIO as a
// file manager saves: the new file replaces the old one only when all of
// it is written, a failure leaves whatever was at `path` as it was, the
// old file's permissions stay, and a symbolic link's target is written. A
// device or FIFO at `path` is refused (TRIALIX_ERROR_NOT_REGULAR). Returns
// the records written, header included, or 0 with *error set ("PATH: why";
// TRIALIX_ERROR_WRITE when the writing failed).
int save_list_file(const char *path, question *q, const run_header &h, GError **error);
// Whether saving to `path` would replace a file that is there (readable or
// not); a folder is none.
bool save_replaces_a_file(const char *path);
// Reads a saved exam file. A file that can't be read, isn't a whole number
// of records, whose header names no valid exam directory, or that holds no
// item or more than a run can (records of a known kind; others are
// skipped and not counted) is refused: none, with *error ("PATH: why") set
// as open_regular_file sets it, TRIALIX_ERROR_READ or TRIALIX_ERROR_FORMAT.
// Otherwise *header holds the header's values and the result is the list
// of the file's items, numbered 1 to n in file order, n being also the
// header's item count whatever the file says. Points outside 1 to 9
// become 1, flags 0 or 1; ticks on slots without a choice are cleared and
// a single-choice item keeps its first tick only; every text is made
// UTF-8; a grading result that can't be right, or whose ticks changed, is
// graded afresh.
// `opened`, when given, is `path` already open for reading, and is closed.
question *load_list_file(const char *path, FILE *opened, run_header *header, GError **error);
