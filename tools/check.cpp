// trialix-pack check: what Trialix will make of an exam or a question
// file, and every problem an author can fix.
#include <glib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bank/buffer.h"
#include "bank/item_text.h"
#include "bank/markup.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "tools/pack.h"

namespace {

struct checker {
    FILE *out;
    const char *prefix = "cat";
    const char *config = ".xconfig";
    bool problem = false;

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
    }

    void check_file(const std::string &path)
    {
        load_error e;
        membuf_ptr b = load_question_file(path.c_str(), &e);
        if (!b) {
            say(path, 0, "0 items");
            flag(path, 0, load_problem(e));
            return;
        }
        item_index index = index_items(b->data, b->size);
        int count = std::max(index.count(), 0);
        say(path, 0, std::to_string(count) + (count == 1 ? " item" : " items"));
        if (count == 0)
            flag(path, 0, "no item: an item stands between two separator lines ('+++')");
        std::vector<item_problem> problems;
        question_list q(new_question());
        for (int n = 1; n <= count; n++) {
            memset(q.get(), 0, sizeof(question));
            parse_item(b->data, b->size, index, n, q.get(), &problems);
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
        std::optional<std::string> path = join_path(dir.c_str(), config);
        std::string name = path ? *path : dir + G_DIR_SEPARATOR_S + config;
        exam_config c;
        if (!path || !read_exam_config(path->c_str(), &c)) {
            flag(name, 0, "exam configuration file can't be opened");
            return;
        }
        say(name, 0, "title: " + c.title);
        say(name, 0, "time: " + std::to_string(c.timeout.value) + " minutes");
        say(name, 0, "pass mark: " + std::to_string(c.percentage.value) + "%");
        say(name, 0, std::string("message: ") + (c.message_line ? "yes" : "no"));

        std::string why;
        if (!c.title_line)
            flag(name, 0, "no title line (title=TEXT); the exam is shown as UNKNOWN");
        else if (!c.title_has_equals)
            flag(name, c.title_line, "title line without '='; the exam is shown as UNKNOWN");
        else if (c.title_cut)
            flag(name, c.title_line, "title over 255 bytes; cut");
        else if (!markup_is_valid(c.title.c_str(), &why))
            flag(name, c.title_line, "title is not valid markup: " + why);
        else if (!markup_is_safe(c.title.c_str(), &why))
            flag(name, c.title_line, "title is markup too large to show: " + why);

        check_number(name, c.timeout, "timeout", "timeout=MINUTES");
        if (c.timeout.parsed && c.timeout.value <= 0)
            flag(name, c.timeout.line, "the time allowed must be more than 0 minutes");
        check_number(name, c.percentage, "percentage", "percentage=PERCENT");
        if (c.percentage.parsed && (c.percentage.value < 0 || c.percentage.value > 100))
            flag(name, c.percentage.line, "the pass mark must be from 0 to 100 percent");

        if (c.message_cut)
            flag(name, c.message_line + 1, "message over 2047 bytes; cut");
        else if (c.message_line && !markup_is_valid(c.message.c_str(), &why))
            flag(name, c.message_line + 1, "message is not valid markup: " + why);
        else if (c.message_line && !markup_is_safe(c.message.c_str(), &why))
            flag(name, c.message_line + 1, "message is markup too large to show: " + why);
    }

    void check_dir(const std::string &dir)
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
            std::optional<std::string> path = join_path(dir.c_str(), name.c_str());
            if (path)
                check_file(*path);
            else
                flag(dir + G_DIR_SEPARATOR_S + name, 0, "path longer than 255 characters");
        }
    }
};

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
        if (g_file_test(path, G_FILE_TEST_IS_DIR))
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
