// Item analysis of an exam's history: how each item fared over the runs
// that drew it (facility, discrimination, the answers given) and how each
// examinee did. A computation over runs alone, with no reading or writing,
// so that it serves whichever store the runs come from; runs are added one
// at a time, and a long history is never held whole.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bank/history.h"

// Fewer draws than this and an item's figures are marked as too few to
// judge: below 20 the standard error of a correlation (about 1 / sqrt(n))
// is above 0.2, as large as the step between a good item and a poor one.
enum { ANALYSIS_MIN_DRAWN = 20 };

// How often one answer was given to an item.
struct answer_count {
    std::string text;
    int times = 0;
};

struct item_figures {
    std::string file;          // "" when the history couldn't tell it
    int item = 0;              // 0 likewise
    std::string fingerprint;
    int drawn = 0;
    int right = 0;
    double facility = 0;       // right / drawn
    // The point-biserial correlation of the item's result (1 right, 0 not)
    // with the share of the rest of the run's points reached; false when it
    // has no value (answered right every time or never, or the rest of the
    // run scored the same in every run).
    bool has_discrimination = false;
    double discrimination = 0;
    bool too_few = true;       // drawn < ANALYSIS_MIN_DRAWN
    // What was given: for choices (S, M) each choice ticked, by its text;
    // for fill-in (F) each text typed. Most often first, then by text.
    // Empty where the history doesn't hold the answers.
    bool choices = false;
    std::vector<answer_count> answers;
    int unanswered = 0;        // draws graded unanswered
};

struct examinee_figures {
    std::string examinee;
    int runs = 0;
    double best_score = 0;     // percent, as the score report showed it
};

struct exam_analysis {
    int runs = 0;
    long long first_taken = 0, last_taken = 0;
    std::vector<item_figures> items;           // by file, item, fingerprint
    std::vector<examinee_figures> examinees;   // by name
};

// The sums the analysis is made of, run by run.
struct analysis_sums {
    struct item_sums {
        int drawn = 0, right = 0;
        // Over the draws whose run had other points: their count, and the
        // sums of the rest score, of its square, and of it where right.
        int n = 0, n_right = 0;
        double rest = 0, rest_squared = 0, rest_right = 0;
        bool choices = false;
        std::unordered_map<std::string, int> answers;
        int unanswered = 0;
    };
    struct item_key {
        std::string file;
        int item;
        std::string fingerprint;
        bool operator<(const item_key &o) const;
    };
    // A fingerprint is a checksum already: a part of it is hash enough.
    struct fingerprint_hash {
        size_t operator()(const std::string &f) const
        {
            return std::hash<std::string_view>()(std::string_view(f).substr(0, 16));
        }
    };
    // Items by fingerprint first: a hash finds them, and (file, item) sets
    // apart the rare item found in two places.
    std::unordered_map<std::string, std::vector<std::pair<item_key, item_sums>>, fingerprint_hash> items;
    std::map<std::string, examinee_figures> examinees;
    int runs = 0;
    long long first_taken = 0, last_taken = 0;
};

void analysis_add(analysis_sums *sums, const history_run &run);
exam_analysis analysis_result(const analysis_sums &sums);
// The analysis of `runs` at once.
exam_analysis analyse_runs(const std::vector<history_run> &runs);

// The parts of a history_item::answer: each choice ticked, or the one text
// typed (*choices telling which); none for "".
std::vector<std::string> answer_parts(const std::string &answer, bool *choices);
