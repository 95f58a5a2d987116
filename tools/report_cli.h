// trialix-pack report: the item analysis of an exam's results history, as
// a table or as CSV, for authors and teachers.
#pragma once

#include <cstdio>
#include <string>

struct exam_analysis;

// Runs `trialix-pack report EXAM [--db URL] [--csv]` (argv[1] is "report").
// Without --db the user's own history is read.
int report_main(int argc, char **argv, FILE *out, FILE *err);

// The analysis as the report's table (header lines included).
void print_report_text(FILE *out, const std::string &exam, const std::string &title,
                       const exam_analysis &a);
// The analysis as CSV (RFC 4180: CRLF line ends, fields quoted where they
// hold a comma, a quote, CR or LF), UTF-8 with a byte order mark.
void print_report_csv(FILE *out, const exam_analysis &a);
// One CSV field as print_report_csv writes a text: quoted when needed, and
// a text a spreadsheet would take for a formula made plain text.
std::string csv_text(const std::string &text);
