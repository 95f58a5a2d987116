#include "tools/pack.h"

#include <glib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/globals.h"
#include "bank/buffer.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "tools/import.h"

static const char USAGE[] =
    "Usage:\n"
    "  trialix-pack pack SOURCE.txt QUESTIONFILE   pack a text into a question file\n"
    "  trialix-pack unpack QUESTIONFILE            write a question file's text to standard output\n"
    "  trialix-pack show QUESTIONFILE K [--json]   show item K as Trialix reads it\n"
    "  trialix-pack check PATH... [--prefix P] [--config NAME]\n"
    "                                              check question files and exam directories\n"
    "                                              (defaults: prefix \"cat\", config \".xconfig\")\n"
    "  trialix-pack import gift|aiken SOURCE EXAMDIR [--title TEXT] [--timeout MIN]\n"
    "                      [--percentage P] [--prefix P] [--config NAME]\n"
    "                                              make an exam out of a GIFT or Aiken question bank\n"
    "  trialix-pack history [EXAM] [--json] [--db FILE]\n"
    "                                              print the results history of an exam, or of all\n"
    "Exit status: 0 all well, 1 a problem was found (import: a question was skipped),\n"
    "2 bad usage (import: nothing could be imported).\n";

namespace {

struct tool {
    FILE *out, *err;

    int usage(const std::string &what) const { return pack_usage(err, what); }

    int error(const std::string &path, const std::string &what) const
    {
        fprintf(err, "trialix-pack: %s: %s\n", path.c_str(), what.c_str());
        return PACK_PROBLEM;
    }
};

std::string load_problem(const load_error &e)
{
    switch (e.status) {
    case load_status::ok:
        return "";
    case load_status::missing:
        return "can't be opened";
    case load_status::unreadable:
        return "can't be read";
    case load_status::no_memory:
        return "out of memory";
    case load_status::too_large:
        return "text larger than 64 MiB; Trialix does not read it";
    case load_status::decompress:
        break;
    }
    return "does not decompress (bzip2 error " + std::to_string(e.code) + ")";
}

struct question_deleter {
    void operator()(question *q) const { destroy_list(q); }
};
using question_ptr = std::unique_ptr<question, question_deleter>;

int cmd_pack(const tool &t, const char *source, const char *target)
{
    gchar *text = nullptr;
    gsize size = 0;
    GError *gerror = nullptr;
    if (!g_file_get_contents(source, &text, &size, &gerror)) {
        std::string message = gerror->message;
        g_error_free(gerror);
        return t.error(source, message);
    }
    std::string why;
    bool ok = text2file(text, size, target, &why);
    g_free(text);
    return ok ? PACK_OK : t.error(target, why);
}

int cmd_unpack(const tool &t, const char *path)
{
    load_error e;
    membuf_ptr b = load_question_file(path, &e);
    if (!b)
        return t.error(path, load_problem(e));
    if (fwrite(b->data, 1, b->size, t.out) != b->size || fflush(t.out) != 0)
        return t.error(path, "could not write the text to standard output");
    return PACK_OK;
}

void print_field(FILE *out, const char *label, const char *text)
{
    fprintf(out, "%s:\n%s\n", label, text);
}

int cmd_show(const tool &t, const char *path, const char *number, bool json)
{
    char *end = nullptr;
    long k = strtol(number, &end, 10);
    if (!*number || *end || k < 1 || k > INT_MAX)
        return t.usage(std::string("item number must be a whole number from 1 on, not '") + number + "'");
    load_error e;
    membuf_ptr b = load_question_file(path, &e);
    if (!b)
        return t.error(path, load_problem(e));
    item_index index = index_items(b->data, b->size);
    if (k > index.count())
        return t.error(path, "holds " + std::to_string(std::max(index.count(), 0))
                                 + " items; there is no item " + std::to_string(k));
    question_ptr q(new_question());
    parse_item(b->data, b->size, index, (int)k, q.get());
    if (json) {
        fprintf(t.out, "%s\n", item_json(q.get()).c_str());
        return PACK_OK;
    }
    fprintf(t.out, "kind: %c\npoints: %d\n", q->type, q->points);
    print_field(t.out, "text", q->text);
    for (int i = 0; i < NUM_ANSWERS; i++)
        fprintf(t.out, "answer %d:%s%s\n", i + 1, q->answers[i][0] ? " " : "", q->answers[i]);
    print_field(t.out, "explanation", q->explanation);
    return PACK_OK;
}

// ---- check ----

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
        question_ptr q(new_question());
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

int cmd_check(const tool &t, int argc, char **argv)
{
    checker c{t.out};
    std::vector<const char *> paths;
    bool options = true;
    for (int i = 2; i < argc; i++) {
        int taken = options ? exam_option(argc, argv, &i, &c.prefix, &c.config, t.err) : 0;
        if (taken < 0)
            return PACK_USAGE;
        if (taken > 0)
            continue;
        if (options && strcmp(argv[i], "--") == 0) {
            options = false;
        } else if (options && argv[i][0] == '-' && argv[i][1] == '-') {
            return t.usage(std::string("unknown option '") + argv[i] + "'");
        } else {
            paths.push_back(argv[i]);
        }
    }
    if (paths.empty())
        return t.usage("check needs a question file or an exam directory");
    int status = PACK_OK;
    for (const char *path : paths) {
        if (g_file_test(path, G_FILE_TEST_IS_DIR))
            c.check_dir(path);
        else if (g_file_test(path, G_FILE_TEST_EXISTS))
            c.check_file(path);
        else
            status = t.error(path, "no such file or directory");
    }
    return c.problem ? PACK_PROBLEM : status;
}

} // namespace

int pack_usage(FILE *err, const std::string &what)
{
    fprintf(err, "trialix-pack: %s (see trialix-pack --help)\n", what.c_str());
    return PACK_USAGE;
}

// The value of an option given as "--name VALUE" or "--name=VALUE".
bool option_value(int argc, char **argv, int *i, const char *name, const char **value)
{
    size_t n = strlen(name);
    const char *arg = argv[*i];
    if (strncmp(arg, name, n) != 0)
        return false;
    if (arg[n] == '=') {
        *value = arg + n + 1;
        return true;
    }
    if (arg[n] != '\0')
        return false;
    *value = *i + 1 < argc ? argv[++*i] : nullptr;
    return true;
}

int exam_option(int argc, char **argv, int *i, const char **prefix, const char **config, FILE *err)
{
    const char *value = nullptr;
    if (option_value(argc, argv, i, "--prefix", &value)) {
        if (!value || strlen(value) >= PREFIX_SIZE) {
            pack_usage(err, "--prefix needs a prefix of at most 15 characters");
            return -1;
        }
        *prefix = value;
        return 1;
    }
    if (option_value(argc, argv, i, "--config", &value)) {
        if (!value || !*value || strlen(value) >= EXAMCONFIG_SIZE || strchr(value, G_DIR_SEPARATOR)) {
            pack_usage(err, "--config needs a file name of 1 to 29 characters");
            return -1;
        }
        *config = value;
        return 1;
    }
    return 0;
}

bool check_exam_dir(FILE *out, const char *dir, const char *prefix, const char *config)
{
    checker c{out, prefix, config};
    c.check_dir(dir);
    return !c.problem;
}

std::string json_string(const char *s, size_t len)
{
    std::string out = "\"";
    const char *end = s + len;
    for (const char *p = s; p < end;) {
        unsigned char c = (unsigned char)*p;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c >= 0x80) {
            gunichar u = g_utf8_get_char_validated(p, end - p);
            if (u != (gunichar)-1 && u != (gunichar)-2) {
                const char *next = g_utf8_next_char(p);
                out.append(p, (size_t)(next - p));
                p = next;
                continue;
            }
            char escaped[8];
            g_snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            g_snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += (char)c;
        }
        p++;
    }
    out += '"';
    return out;
}

static std::string json_text(const char *s)
{
    return json_string(s, strlen(s));
}

std::string item_json(const question *q)
{
    std::string out = "{\"type\":" + json_string(&q->type, q->type ? 1 : 0);
    out += ",\"points\":" + std::to_string(q->points);
    out += ",\"text\":" + json_text(q->text);
    out += ",\"answers\":[";
    for (int i = 0; i < NUM_ANSWERS; i++)
        out += (i ? "," : "") + json_text(q->answers[i]);
    out += "],\"explanation\":" + json_text(q->explanation) + "}";
    return out;
}

int pack_main(int argc, char **argv, FILE *out, FILE *err)
{
    tool t{out, err};
    const char *cmd = argc > 1 ? argv[1] : "";
    if (strcmp(cmd, "--help") == 0 || strcmp(cmd, "-h") == 0 || strcmp(cmd, "help") == 0) {
        fputs(USAGE, out);
        return PACK_OK;
    }
    if (strcmp(cmd, "pack") == 0)
        return argc == 4 ? cmd_pack(t, argv[2], argv[3]) : t.usage("pack takes SOURCE.txt QUESTIONFILE");
    if (strcmp(cmd, "unpack") == 0)
        return argc == 3 ? cmd_unpack(t, argv[2]) : t.usage("unpack takes QUESTIONFILE");
    if (strcmp(cmd, "show") == 0) {
        bool json = argc == 5 && strcmp(argv[4], "--json") == 0;
        if (argc != 4 && !json)
            return t.usage("show takes QUESTIONFILE K [--json]");
        return cmd_show(t, argv[2], argv[3], json);
    }
    if (strcmp(cmd, "check") == 0)
        return cmd_check(t, argc, argv);
    if (strcmp(cmd, "import") == 0)
        return import_main(argc, argv, out, err);
    return t.usage(argc > 1 ? std::string("unknown command '") + cmd + "'" : std::string("no command given"));
}
