// The results history window: one exam's runs as a table, its score over
// time as a chart, its question files from the weakest, and a practice
// run of its past mistakes.
#pragma once

#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _GParamSpec GParamSpec;
typedef struct _cairo cairo_t;

// "activate" of the Exam menu's "  Results _History": opens the window
// (or raises it when open).
void cb_history(GtkWidget *widget, void *data);
// The window's line about runs kept aside and not yet sent (`waiting` of
// them), and why the history can't be reached when it can't; "" when
// there is nothing to say.
std::string history_waiting_line(int waiting, const std::string &unreachable);

// What the chart shows: the runs oldest first, and the pass mark of the
// newest run.
struct chart_point {
    long long taken;
    double score;
    bool passed;
};
struct chart_model {
    std::vector<chart_point> points;
    int pass_mark = 0;
    int all_runs = 0;     // of the exam; the points may be only the newest of them
    int all_passed = 0;   // of all_runs
};
// The model of the chart that `area` (the window's drawing area) shows.
const chart_model *history_chart_model(GtkWidget *area);
// Makes the drawing area of a chart that shows `model`.
GtkWidget *history_chart_new(void);

void history_chart_set(GtkWidget *area, const chart_model &model);
// What the chart shows, in words: its accessible description.
std::string history_chart_summary(const chart_model &model);
// Draws the chart of `model` into a width x height area of `cr`.
void history_chart_draw(cairo_t *cr, int width, int height, const chart_model &model);
