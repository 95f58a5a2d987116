#include "tools/report_cli.h"

#include <glib.h>

#include <cstring>
#include <string>
#include <vector>

#include "bank/glib_ptr.h"
#include "bank/history.h"
#include "bank/item_analysis.h"
#include "bank/text.h"
#include "tools/history_cli.h"
#include "tools/pack.h"

namespace {

// A number with `digits` decimals and a point, whatever the locale.
std::string number(double v, int digits)
{
    char s[G_ASCII_DTOSTR_BUF_SIZE];
    return g_ascii_formatd(s, sizeof s, digits == 1 ? "%.1f" : "%.3f", v);
}

std::string shown(const std::string &s)
{
    return history_shown_name(s);
}

// `text` shown, and filled with blanks to `width` characters (not bytes).
std::string padded(const std::string &text, long width)
{
    std::string s = shown(text);
    long length = g_utf8_strlen(s.c_str(), (gssize)s.size());
    return length < width ? s + std::string((size_t)(width - length), ' ') : s;
}

// What the answers of an item are, in the table and in the CSV.
const char *given_word(const item_figures &f)
{
    return f.choices ? "ticked" : "typed";
}

} // namespace

void print_report_text(FILE *out, const std::string &exam, const std::string &title,
                       const exam_analysis &a)
{
    fprintf(out, "Item analysis of exam %s%s%s\n", shown(exam).c_str(), title.empty() ? "" : ": ",
            shown(title).c_str());
    if (a.runs == 0) {
        fputs("No runs.\n", out);
        return;
    }
    fprintf(out, "%d %s, %s to %s.\n", a.runs, a.runs == 1 ? "run" : "runs",
            format_time(a.first_taken, "%Y-%m-%d").c_str(), format_time(a.last_taken, "%Y-%m-%d").c_str());
    fprintf(out, "Facility: share of draws answered right. Discrimination: point-biserial\n"
                 "correlation of the item's result with the rest of the run's score (- none).\n"
                 "* drawn fewer than %d times: too few to judge.\n\n",
            (int)ANALYSIS_MIN_DRAWN);
    fprintf(out, "%-20s  %4s  %6s  %6s  %9s  %14s  %s\n", "File", "Item", "Drawn", "Right", "Facility",
            "Discrimination", "Fingerprint");
    for (const item_figures &f : a.items) {
        std::string file = padded(f.file.empty() ? "?" : f.file, 20);
        std::string item = f.item ? std::to_string(f.item) : "?";
        std::string discrimination = f.has_discrimination ? number(f.discrimination, 3) : "-";
        fprintf(out, "%s  %4s  %6d  %6d  %7s%s  %14s  %.12s\n", file.c_str(), item.c_str(), f.drawn,
                f.right, number(f.facility, 3).c_str(), f.too_few ? " *" : "  ", discrimination.c_str(),
                shown(f.fingerprint).c_str());
        for (const answer_count &given : f.answers)
            fprintf(out, "      %6d  %s %s\n", given.times, given_word(f), shown(given.text).c_str());
        if (f.unanswered)
            fprintf(out, "      %6d  unanswered\n", f.unanswered);
    }
    fputs("\nExaminees (runs, best score):\n", out);
    for (const examinee_figures &e : a.examinees)
        fprintf(out, "  %s  %5d  %5s%%\n", padded(e.examinee.empty() ? "(no name)" : e.examinee, 30).c_str(),
                e.runs, number(e.best_score, 1).c_str());
}

std::string csv_text(const std::string &text)
{
    std::string field = shown(text);
    // A spreadsheet runs a cell that begins so as a formula: an examinee's
    // name must not run anything on the teacher's machine.
    if (!field.empty() && strchr("=+-@\t\r", field[0]))
        field.insert(0, "'");
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

void print_report_csv(FILE *out, const exam_analysis &a)
{
    auto line = [out](const std::vector<std::string> &fields) {
        for (size_t i = 0; i < fields.size(); i++)
            fprintf(out, "%s%s", i ? "," : "", fields[i].c_str());
        fputs("\r\n", out);
    };
    // The mark a spreadsheet needs to read the file as UTF-8.
    fputs("\xEF\xBB\xBF", out);
    line({"record", "file", "item", "fingerprint", "drawn", "right", "facility", "discrimination",
          "too_few", "answer", "times", "examinee", "runs", "best_score"});
    for (const item_figures &f : a.items) {
        // Every stored text is quoted as it needs, whatever wrote the file.
        std::string file = csv_text(f.file), item = f.item ? std::to_string(f.item) : "",
                    fingerprint = csv_text(f.fingerprint);
        line({"item", file, item, fingerprint, std::to_string(f.drawn), std::to_string(f.right),
              number(f.facility, 3), f.has_discrimination ? number(f.discrimination, 3) : "",
              f.too_few ? "yes" : "no", "", "", "", "", ""});
        for (const answer_count &given : f.answers)
            line({given_word(f), file, item, fingerprint, "", "", "", "", "", csv_text(given.text),
                  std::to_string(given.times), "", "", ""});
        if (f.unanswered)
            line({"unanswered", file, item, fingerprint, "", "", "", "", "", "",
                  std::to_string(f.unanswered), "", "", ""});
    }
    for (const examinee_figures &e : a.examinees)
        line({"examinee", "", "", "", "", "", "", "", "", "", "", csv_text(e.examinee),
              std::to_string(e.runs), number(e.best_score, 1)});
}

int report_main(int argc, char **argv, FILE *out, FILE *err)
{
    if (asks_help(argc, argv))
        return pack_help(out);
    const char *exam = nullptr, *db_path = nullptr;
    bool csv = false;
    for (int i = 2; i < argc; i++) {
        const char *value = nullptr;
        if (strcmp(argv[i], "--csv") == 0) {
            csv = true;
        } else if (option_value(argc, argv, &i, "--db", &value)) {
            if (!value)
                return pack_usage(err, "--db takes a FILE or a URL");
            db_path = value;
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            return pack_usage(err, std::string("unknown option '") + argv[i] + "'");
        } else if (!exam) {
            exam = argv[i];
        } else {
            return pack_usage(err, "report takes one EXAM");
        }
    }
    if (!exam)
        return pack_usage(err, "report takes an EXAM");
    std::string where;
    history_db *db = open_history_to_read(db_path, &where, err);
    if (!db)
        return PACK_PROBLEM;
    gerror_ptr error;
    std::vector<history_exam> exams;
    bool ok = history_exams(db, &exams, out_error(error));
    // A name as stored is taken before one that only shows the same.
    const history_exam *found = nullptr;
    for (const history_exam &e : exams)
        if (!found && e.exam == exam)
            found = &e;
    for (const history_exam &e : exams)
        if (!found && names_exam(exam, e.exam))
            found = &e;
    analysis_sums sums;
    if (ok && found)
        ok = history_each_run(db, found->exam.c_str(), [&sums](const history_run &r) {
            analysis_add(&sums, r);
            return true;
        }, out_error(error));
    history_close(db);
    if (!ok) {
        fprintf(err, "trialix-pack: %s: %s\n", where.c_str(), error->message);
        return PACK_PROBLEM;
    }
    // An empty history is no failure, as for `history`: an empty report,
    // and a word on why it is empty.
    if (exams.empty())
        fprintf(err, "trialix-pack: %s: the results history holds no runs\n", where.c_str());
    else if (!found) {
        fprintf(err, "trialix-pack: no runs of %s in the results history\n", exam);
        return PACK_PROBLEM;
    }
    exam_analysis a = analysis_result(sums);
    if (csv)
        print_report_csv(out, a);
    else
        print_report_text(out, found ? found->exam : exam, found ? found->title : "", a);
    return PACK_OK;
}
