#include "tools/history_cli.h"

#include <glib.h>

#include <cstring>
#include <string>
#include <vector>

#include "bank/glib_ptr.h"
#include "bank/history.h"
#include "bank/settings.h"
#include "bank/text.h"
#include "tools/pack.h"

namespace {

struct exam_history {
    history_exam exam;
    std::vector<history_run> runs;
    std::vector<history_file> files;
};

// Scores with one decimal, as the score report shows them, whatever the locale.
std::string score_text(double score)
{
    char s[G_ASCII_DTOSTR_BUF_SIZE];
    return g_ascii_formatd(s, sizeof s, "%.1f", score);
}

std::string js(const std::string &s)
{
    return json_string(s.c_str(), s.size());
}

void print_json(FILE *out, const std::vector<exam_history> &all)
{
    fputs("[", out);
    for (size_t e = 0; e < all.size(); e++) {
        const exam_history &h = all[e];
        fprintf(out, "%s{\"exam\":%s,\"title\":%s,\"runs\":[", e ? "," : "", js(h.exam.exam).c_str(),
                js(h.exam.title).c_str());
        for (size_t i = 0; i < h.runs.size(); i++) {
            const history_run &r = h.runs[i];
            fprintf(out,
                    "%s{\"date\":%s,\"examinee\":%s,\"mode\":\"%s\",\"timer\":%s,\"time_used\":%d,"
                    "\"items\":%d,\"total_points\":%d,\"reached_points\":%d,\"score\":%s,"
                    "\"pass_mark\":%d,\"passed\":%s}",
                    i ? "," : "", js(format_time(r.taken, "%Y-%m-%dT%H:%M:%SZ", true)).c_str(), js(r.examinee).c_str(),
                    r.training ? "training" : "exam", r.timer ? "true" : "false", r.time_used,
                    r.item_count, r.total_points, r.reached_points, score_text(r.score).c_str(),
                    r.pass_mark, r.passed ? "true" : "false");
        }
        fputs("],\"weak_files\":[", out);
        for (size_t i = 0; i < h.files.size(); i++) {
            const history_file &f = h.files[i];
            fprintf(out, "%s{\"file\":%s,\"runs\":%d,\"drawn\":%d,\"right\":%d}", i ? "," : "",
                    js(f.file).c_str(), f.runs, f.drawn, f.right);
        }
        fputs("]}", out);
    }
    fputs("]\n", out);
}

void print_text(FILE *out, const std::vector<exam_history> &all)
{
    for (size_t e = 0; e < all.size(); e++) {
        const exam_history &h = all[e];
        fprintf(out, "%sExam %s: %s\n", e ? "\n" : "", history_shown_name(h.exam.exam).c_str(),
                history_shown_name(h.exam.title).c_str());
        fprintf(out, "%-16s  %-20s  %-8s  %6s  %-7s  %s\n", "Date", "Examinee", "Mode", "Score",
                "Verdict", "Time");
        for (const history_run &r : h.runs) {
            std::string time = r.timer ? minutes_seconds(r.time_used) : "Timer off";
            fprintf(out, "%-16s  %-20s  %-8s  %5s%%  %-7s  %s\n", format_time(r.taken, "%Y-%m-%d %H:%M").c_str(),
                    history_shown_name(r.examinee).c_str(), r.training ? "Training" : "Exam",
                    score_text(r.score).c_str(), r.passed ? "Passed" : "Failed", time.c_str());
        }
        fputs("Question files, weakest first (runs, right of drawn):\n", out);
        for (const history_file &f : h.files)
            fprintf(out, "  %-20s  %4d  %d of %d\n", history_shown_name(f.file).c_str(), f.runs, f.right,
                    f.drawn);
    }
}

} // namespace

// Whether `wanted`, as typed, names the exam stored as `stored`: as stored,
// or as this command and the program show a name that isn't UTF-8.
bool names_exam(const char *wanted, const std::string &stored)
{
    if (stored == wanted || history_shown_name(stored) == wanted)
        return true;
    gchar *display = g_filename_display_name(stored.c_str());
    bool same = strcmp(display, wanted) == 0;
    g_free(display);
    return same;
}

namespace {

// `history init-db URL`: the server's database made ready for a class.
int init_db(int argc, char **argv, FILE *err)
{
    if (argc != 4)
        return pack_usage(err, "init-db takes one URL (a libpq connection string)");
    if (!history_is_server(argv[3]))
        return pack_usage(err, std::string("'") + argv[3] +
                                   "' is no database URL (postgresql://... or keyword=value)");
    gerror_ptr error;
    if (!history_init_db(argv[3], out_error(error))) {
        fprintf(err, "trialix-pack: %s\n", error->message);
        return PACK_PROBLEM;
    }
    return PACK_OK;
}

} // namespace

history_db *open_history_to_read(const char *db_path, std::string *where, FILE *err)
{
    // The program's own history: the server its settings name, if any.
    settings_values settings;
    settings_find(g_get_user_config_dir(), g_get_system_config_dirs(), &settings);
    std::string path = db_path                                       ? db_path
                       : settings.database && !settings.database->empty() ? *settings.database
                                                                     : history_default_path();
    gchar *shown_path = g_filename_display_name(path.c_str());
    *where = shown_path;
    g_free(shown_path);
    if (!history_is_server(path.c_str()) && !g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) {
        fprintf(err, "trialix-pack: %s: no results history yet\n", where->c_str());
        return nullptr;
    }
    // Reading opens the file read-only and refuses what isn't a history:
    // nothing is ever written to it.
    gerror_ptr error;
    history_db *db = history_open_read(path.c_str(), out_error(error));
    if (!db)
        fprintf(err, "trialix-pack: %s: %s\n", where->c_str(), error->message);
    return db;
}

int history_main(int argc, char **argv, FILE *out, FILE *err)
{
    if (asks_help(argc, argv))
        return pack_help(out);
    if (argc >= 3 && strcmp(argv[2], "init-db") == 0)
        return init_db(argc, argv, err);
    const char *exam = nullptr, *db_path = nullptr;
    bool json = false;
    for (int i = 2; i < argc; i++) {
        const char *value = nullptr;
        if (strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (option_value(argc, argv, &i, "--db", &value)) {
            if (!value)
                return pack_usage(err, "--db takes a FILE or a database URL");
            db_path = value;
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            return pack_usage(err, std::string("unknown option '") + argv[i] + "'");
        } else if (!exam) {
            exam = argv[i];
        } else {
            return pack_usage(err, "history takes at most one EXAM");
        }
    }
    std::string where;
    history_db *db = open_history_to_read(db_path, &where, err);
    if (!db)
        return PACK_PROBLEM;
    gerror_ptr error;
    std::vector<history_exam> exams;
    std::vector<exam_history> all;
    bool ok = history_exams(db, &exams, out_error(error));
    // A name as stored is taken before one that only shows the same.
    bool exact = false;
    for (const history_exam &e : exams)
        exact = exact || (exam && e.exam == exam);
    for (size_t i = 0; ok && i < exams.size(); i++) {
        if (exam && (exact ? exams[i].exam != exam : !names_exam(exam, exams[i].exam)))
            continue;
        exam_history h{exams[i], {}, {}};
        ok = history_runs(db, h.exam.exam.c_str(), false, &h.runs, 0, out_error(error)) &&
             history_weak_files(db, h.exam.exam.c_str(), &h.files, out_error(error));
        all.push_back(std::move(h));
    }
    history_close(db);
    if (!ok) {
        fprintf(err, "trialix-pack: %s: %s\n", where.c_str(), error->message);
        return PACK_PROBLEM;
    }
    // A history with no runs yet is no failure, but an empty listing alone
    // can't be told from a file that holds nothing: say so.
    if (exams.empty()) {
        fprintf(err, "trialix-pack: %s: the results history holds no runs\n", where.c_str());
        if (json)
            print_json(out, all);
        return 0;
    }
    if (exam && all.empty()) {
        fprintf(err, "trialix-pack: no runs of %s in the results history\n", exam);
        return PACK_PROBLEM;
    }
    if (json)
        print_json(out, all);
    else
        print_text(out, all);
    return PACK_OK;
}
