// trialix-pack check: what Trialix will make of an exam or a question
// file, and every problem an author can fix.
#include <glib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bank/buffer.h"
#include "bank/glib_ptr.h"
#include "bank/item_text.h"
#include "bank/markup.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "tools/pack.h"

namespace {

std::string plural(size_t n, const char *one, const char *many);

struct checker {
    FILE *out;
    const char *prefix = "cat";
    const char *config = ".xconfig";
    bool problem = false;
    int problems = 0;   // problems found so far
    int items = 0;      // items in the question files checked so far
    // How the exam being checked compares typed answers (a question file
    // checked alone: exactly).
    answer_compare compare = answer_compare::exact;

    void say(const std::string &name, int line, const std::string &what)
    {
        if (line > 0)
            fprintf(out, "%s:%d: %s\n", name.c_str(), line, what.c_str());
        else
            fprintf(out, "%s: %s\n", name.c_str(), what.c_str());
    }

    void flag(const std::string &name, int line, const std::string &what)
    {
        say(name, line, what);
        problem = true;
        problems++;
    }

    void check_file(const std::string &path)
    {
        gerror_ptr e;
        membuf_ptr b = load_question_file(path.c_str(), out_error(e));
        if (!b) {
            say(path, 0, "0 items");
            flag(path, 0, load_problem(e.get()));
            return;
        }
        item_index index = index_items(b->data, b->size);
        int count = std::max(index.count(), 0);
        items += count;
        say(path, 0, std::to_string(count) + (count == 1 ? " item" : " items"));
        if (count == 0)
            flag(path, 0, "no item: an item stands between two separator lines ('+++')");
        std::vector<item_problem> problems;
        question_list q(new_question());
        // Images are looked for in the exam folder the file stands in.
        gchar_ptr dir(g_path_get_dirname(path.c_str()));
        for (int n = 1; n <= count; n++) {
            memset(q.get(), 0, sizeof(question));
            parse_item(b->data, b->size, index, n, q.get(), &problems, compare, dir.get());
        }
        std::stable_sort(problems.begin(), problems.end(),
                         [](const item_problem &a, const item_problem &b) { return a.line < b.line; });
        for (const item_problem &p : problems)
            flag(path, p.line, "item " + std::to_string(p.item) + ": " + p.what);
    }

    void check_number(const std::string &name, const config_number &key, const char *what,
                      const char *form)
    {
        if (!key.line)
            flag(name, 0, std::string("no ") + what + " line (" + form + "); it counts as 0");
        else if (!key.parsed)
            flag(name, key.line, std::string("does not read as ") + form + "; it counts as 0");
    }

    void check_config(const std::string &dir)
    {
        compare = answer_compare::exact;
        std::optional<std::string> path = join_path(dir.c_str(), config, nullptr);
        std::string name = path ? *path : dir + G_DIR_SEPARATOR_S + config;
        exam_config c;
        gerror_ptr cant;
        if (!path || !read_exam_config(path->c_str(), &c, out_error(cant))) {
            flag(name, 0, "exam configuration file can't be opened" +
                              (!cant ? std::string() : std::string(": ") + cant->message));
            return;
        }
        say(name, 0, "title: " + c.title);
        say(name, 0, "time: " + std::to_string(c.timeout.value) + " minutes");
        say(name, 0, "pass mark: " + std::to_string(c.percentage.value) + "%");
        say(name, 0, std::string("message: ") + (c.message_line ? "yes" : "no"));
        for (const config_word *key : {&c.shuffle, &c.compare})
            if (key->known)
                say(name, 0, std::string(key == &c.shuffle ? "shuffle: " : "compare: ") + key->value);
        compare = config_comparison(c);

        gerror_ptr why;
        if (!c.title_line)
            flag(name, 0, "no title line (title=TEXT); the exam is shown as UNKNOWN");
        else if (!c.title_has_equals)
            flag(name, c.title_line, "title line without '='; the exam is shown as UNKNOWN");
        else if (c.title_cut)
            flag(name, c.title_line, "title over 255 bytes; cut");
        else if (!markup_is_valid(c.title.c_str(), out_error(why)))
            flag(name, c.title_line, std::string("title is not valid markup: ") + why->message);
        else if (!markup_is_safe(c.title.c_str(), MARKUP_MAX_TITLE_HEIGHT, out_error(why)))
            flag(name, c.title_line, std::string("title is markup too large to show: ") + why->message);

        check_number(name, c.timeout, "timeout", "timeout=MINUTES");
        if (c.timeout.parsed && c.timeout.value <= 0)
            flag(name, c.timeout.line, "the time allowed must be more than 0 minutes");
        check_number(name, c.percentage, "percentage", "percentage=PERCENT");
        if (c.shuffle.line && !c.shuffle.known)
            flag(name, c.shuffle.line, "does not read as shuffle=yes or shuffle=no; choices are shown as written");
        if (c.compare.line && !c.compare.known)
            flag(name, c.compare.line,
                 "does not read as compare=lenient or compare=exact; typed answers are compared exactly");
        if (c.percentage.parsed && (c.percentage.value < 0 || c.percentage.value > 100))
            flag(name, c.percentage.line, "the pass mark must be from 0 to 100 percent");

        if (c.message_cut)
            flag(name, c.message_line + 1, "message over 2047 bytes; cut");
        else if (c.message_line && !markup_is_valid(c.message.c_str(), out_error(why)))
            flag(name, c.message_line + 1, std::string("message is not valid markup: ") + why->message);
        else if (c.message_line && !markup_is_safe(c.message.c_str(), MARKUP_MAX_MESSAGE_HEIGHT, out_error(why)))
            flag(name, c.message_line + 1, std::string("message is markup too large to show: ") + why->message);
    }

    // Returns the number of question files.
    size_t check_dir(const std::string &dir)
    {
        check_config(dir);
        std::vector<std::string> names = filename_list(dir.c_str(), prefix);
        std::sort(names.begin(), names.end());
        if (names.empty())
            flag(dir, 0, std::string("no question files (names beginning with \"") + prefix + "\")");
        if (names.size() > MAX_RUN_ITEMS)
            flag(dir, 0, std::to_string(names.size()) + " question files; a run takes at most "
                             + std::to_string(MAX_RUN_ITEMS));
        for (const std::string &name : names) {
            std::optional<std::string> path = join_path(dir.c_str(), name.c_str(), nullptr);
            if (path)
                check_file(*path);
            else
                flag(dir + G_DIR_SEPARATOR_S + name, 0, "path longer than 255 characters");
        }
        return names.size();
    }

    // Every exam of an exam root, as Trialix's Exam menu lists them, each
    // closed by a summary line.
    void check_root(const std::string &root, const std::vector<std::string> &exams)
    {
        say(root, 0, "exam root: " + plural(exams.size(), "exam", "exams"));
        for (const std::string &exam : exams) {
            int problems_before = problems, items_before = items;
            size_t files = check_dir(exam);
            int found = problems - problems_before;
            say(exam, 0, "summary: " + plural(files, "question file", "question files") + ", "
                             + plural((size_t)(items - items_before), "item", "items") + ", "
                             + (found ? plural((size_t)found, "problem", "problems") : "no problem"));
        }
    }
};

std::string plural(size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The exams of dir when it is an exam root rather than an exam: it has no
// configuration file of its own, and a folder in it has one. Empty otherwise.
std::vector<std::string> exams_of_root(const std::string &dir, const char *config)
{
    std::vector<std::string> exams;
    std::optional<std::string> own = join_path(dir.c_str(), config, nullptr);
    if (own && g_file_test(own->c_str(), G_FILE_TEST_EXISTS))
        return exams;
    bool any_config = false;
    gdir_ptr d(g_dir_open(dir.c_str(), 0, nullptr));
    while (const char *name = d ? g_dir_read_name(d.get()) : nullptr) {
        std::optional<std::string> path = join_path(dir.c_str(), name, nullptr);
        if (name[0] == '.' || !path || !g_file_test(path->c_str(), G_FILE_TEST_IS_DIR))
            continue;
        std::optional<std::string> exam_config = join_path(path->c_str(), config, nullptr);
        any_config = any_config || (exam_config && g_file_test(exam_config->c_str(), G_FILE_TEST_IS_REGULAR));
        exams.push_back(*path);
    }
    if (!any_config)
        exams.clear();
    std::sort(exams.begin(), exams.end());
    return exams;
}

} // namespace

int check_main(int argc, char **argv, FILE *out, FILE *err)
{
    checker c{out};
    std::vector<const char *> paths;
    if (!command_args(argc, argv, err, &c.prefix, &c.config, nullptr, &paths))
        return PACK_USAGE;
    if (paths.empty())
        return pack_usage(err, "check needs a question file or an exam directory");
    int status = PACK_OK;
    for (const char *path : paths) {
        std::vector<std::string> exams;
        if (g_file_test(path, G_FILE_TEST_IS_DIR) && !(exams = exams_of_root(path, c.config)).empty())
            c.check_root(path, exams);
        else if (g_file_test(path, G_FILE_TEST_IS_DIR))
            c.check_dir(path);
        else if (g_file_test(path, G_FILE_TEST_EXISTS))
            c.check_file(path);
        else {
            fprintf(err, "trialix-pack: %s: no such file or directory\n", path);
            status = PACK_PROBLEM;
        }
    }
    return c.problem ? PACK_PROBLEM : status;
}

bool check_exam_dir(FILE *out, const char *dir, const char *prefix, const char *config)
{
    checker c{out, prefix, config};
    c.check_dir(dir);
    return !c.problem;
}
