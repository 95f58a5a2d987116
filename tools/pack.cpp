#include "tools/pack.h"

#include <bzlib.h>
#include <glib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bank/buffer.h"
#include "bank/error.h"
#include "bank/exhibit.h"
#include "bank/glib_ptr.h"
#include "bank/item_text.h"
#include "bank/markup.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "tools/export.h"
#include "tools/import.h"

static const char USAGE[] =
    "Usage:\n"
    "  trialix-pack pack SOURCE.txt QUESTIONFILE   pack a text into a question file\n"
    "  trialix-pack unpack QUESTIONFILE            write a question file's text to standard output\n"
    "  trialix-pack show QUESTIONFILE K [--json]   show item K as Trialix reads it\n"
    "  trialix-pack check PATH... [--prefix P] [--config NAME]\n"
    "                                              check question files and exam directories\n"
    "                                              (defaults: prefix \"cat\", config \".xconfig\")\n"
    "  trialix-pack import gift|aiken|moodle SOURCE EXAMDIR [--title TEXT] [--timeout MIN]\n"
    "                      [--percentage P] [--prefix P] [--config NAME]\n"
    "                                              make an exam out of a GIFT, Aiken or Moodle XML\n"
    "                                              question bank\n"
    "  trialix-pack export moodle|gift EXAMDIR OUT [--prefix P] [--config NAME]\n"
    "                                              write every item of an exam as a Moodle XML or\n"
    "                                              GIFT question bank\n"
    "  trialix-pack history [EXAM] [--json] [--db FILE|URL]\n"
    "                                              print the results history of an exam, or of all\n"
    "  trialix-pack history init-db URL            prepare a PostgreSQL database for a class's results\n"
    "  trialix-pack report EXAM [--csv] [--db FILE|URL]\n"
    "                                              item analysis of an exam's results history\n"
    "Exit status: 0 all well, 1 a problem was found (import: a question was skipped;\n"
    "export: an item was left out),\n"
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

int cmd_pack(const tool &t, const char *source, const char *target)
{
    gchar *contents = nullptr;
    gsize size = 0;
    gerror_ptr gerror;
    if (!g_file_get_contents(source, &contents, &size, out_error(gerror)))
        return t.error(source, gerror->message);
    gchar_ptr text(contents);
    gerror_ptr why;
    if (!text2file(text.get(), size, target, out_error(why)))
        return t.error(target, why->message);
    return PACK_OK;
}

int cmd_unpack(const tool &t, const char *path)
{
    gerror_ptr e;
    membuf_ptr b = load_question_file(path, out_error(e));
    if (!b)
        return t.error(path, load_problem(e.get()));
    if (fwrite(b->data, 1, b->size, t.out) != b->size || fflush(t.out) != 0)
        return t.error(path, "could not write the text to standard output");
    return PACK_OK;
}

void print_field(FILE *out, const char *label, const char *text)
{
    fprintf(out, "%s:\n%s\n", label, text);
}

// Each image a text references, and its size or why it can't be shown.
void print_exhibits(FILE *out, const char *exam_dir, const char *text)
{
    for (const exhibit_ref &ref : exhibit_refs(text)) {
        fprintf(out, "image: %s (alt: %s): ", ref.src.c_str(), ref.alt.c_str());
        gerror_ptr why;
        std::optional<std::string> file = exhibit_path(exam_dir, ref.src, out_error(why));
        std::string bytes;
        exhibit_info info;
        if (file && exhibit_read(file->c_str(), &bytes, &info, out_error(why)))
            fprintf(out, "%s %d\xC3\x97%d pixels\n", info.format == exhibit_format::png ? "PNG" : "JPEG",
                    info.width, info.height);
        else
            fprintf(out, "not shown: %s\n", why->message);
    }
}

int cmd_show(const tool &t, const char *path, const char *number, bool json)
{
    char *end = nullptr;
    long k = strtol(number, &end, 10);
    if (!*number || *end || k < 1 || k > INT_MAX)
        return t.usage(std::string("item number must be a whole number from 1 on, not '") + number + "'");
    gerror_ptr e;
    membuf_ptr b = load_question_file(path, out_error(e));
    if (!b)
        return t.error(path, load_problem(e.get()));
    item_index index = index_items(b->data, b->size);
    if (k > index.count())
        return t.error(path, "holds " + std::to_string(std::max(index.count(), 0))
                                 + " items; there is no item " + std::to_string(k));
    question_list q(new_question());
    parse_item(b->data, b->size, index, (int)k, q.get());
    bool keep_order = item_keeps_order(b->data, b->size, index, (int)k);
    if (json) {
        fprintf(t.out, "%s\n", item_json(q.get(), keep_order).c_str());
        return PACK_OK;
    }
    if (kind_of_letter(q->type))
        fprintf(t.out, "kind: %c\n", q->type);
    else
        fprintf(t.out, "kind: %s (the line after +++ must start with %s)\n",
                g_ascii_isgraph(q->type) ? std::string(1, q->type).c_str() : "none", kind_letters());
    fprintf(t.out, "points: %d\n", q->points);
    if (keep_order)
        fprintf(t.out, "choices: in the order written, also when the exam shuffles\n");
    print_field(t.out, "text", q->text);
    for (int i = 0; i < NUM_ANSWERS; i++)
        fprintf(t.out, "answer %d:%s%s\n", i + 1, q->answers[i][0] ? " " : "", q->answers[i]);
    print_field(t.out, "explanation", q->explanation);
    gchar_ptr dir(g_path_get_dirname(path));
    print_exhibits(t.out, dir.get(), q->text);
    print_exhibits(t.out, dir.get(), q->explanation);
    return PACK_OK;
}

} // namespace

std::string load_problem(const GError *e)
{
    if (!e)
        return "";
    if (e->domain == TRIALIX_ERROR) {
        switch (e->code) {
        case TRIALIX_ERROR_MISSING:
        case TRIALIX_ERROR_OPEN:
            return "can't be opened";
        case TRIALIX_ERROR_NO_MEMORY:
            return "out of memory";
        case TRIALIX_ERROR_TOO_LARGE:
            return "text larger than 64 MiB; Trialix does not read it";
        default:
            return "can't be read";
        }
    }
    std::string problem = "does not decompress (bzip2 error " + std::to_string(e->code) + ")";
    // No compressed data at all: most likely the text itself.
    if (e->code == BZ_DATA_ERROR_MAGIC)
        problem += ": not a packed question file; pack it first with trialix-pack pack";
    return problem;
}

int pack_help(FILE *out)
{
    fputs(USAGE, out);
    return PACK_OK;
}

bool asks_help(int argc, char **argv)
{
    for (int i = 2; i < argc && strcmp(argv[i], "--") != 0; i++)
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0)
            return true;
    return false;
}

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
        // The question files' names begin with it: it must not lead elsewhere.
        if (strpbrk(value, "/" G_DIR_SEPARATOR_S) || strcmp(value, ".") == 0 || strcmp(value, "..") == 0) {
            pack_usage(err, "--prefix must not hold a path separator or be . or ..");
            return -1;
        }
        *prefix = value;
        return 1;
    }
    if (option_value(argc, argv, i, "--config", &value)) {
        if (!value || !*value || strlen(value) >= EXAMCONFIG_SIZE ||
            strpbrk(value, "/" G_DIR_SEPARATOR_S)) {
            pack_usage(err, "--config needs a file name of 1 to 29 characters");
            return -1;
        }
        *config = value;
        return 1;
    }
    return 0;
}

bool command_args(int argc, char **argv, FILE *err, const char **prefix, const char **config,
                  const std::function<int(int *)> &option, std::vector<const char *> *args)
{
    bool options = true;
    for (int i = 2; i < argc; i++) {
        int taken = options ? exam_option(argc, argv, &i, prefix, config, err) : 0;
        if (taken == 0 && options && option)
            taken = option(&i);
        if (taken < 0)
            return false;
        if (taken > 0)
            continue;
        if (options && strcmp(argv[i], "--") == 0) {
            options = false;
        } else if (options && argv[i][0] == '-' && argv[i][1] == '-') {
            pack_usage(err, std::string("unknown option '") + argv[i] + "'");
            return false;
        } else {
            args->push_back(argv[i]);
        }
    }
    return true;
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

std::string item_json(const question *q, bool keep_order)
{
    std::string out = "{\"type\":" + json_string(&q->type, q->type ? 1 : 0);
    out += ",\"points\":" + std::to_string(q->points);
    out += std::string(",\"keep_order\":") + (keep_order ? "true" : "false");
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
    if (strcmp(cmd, "--help") == 0 || strcmp(cmd, "-h") == 0 || strcmp(cmd, "help") == 0 ||
        asks_help(argc, argv))
        return pack_help(out);
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
        return check_main(argc, argv, out, err);
    if (strcmp(cmd, "import") == 0)
        return import_main(argc, argv, out, err);
    if (strcmp(cmd, "export") == 0)
        return export_main(argc, argv, out, err);
    return t.usage(argc > 1 ? std::string("unknown command '") + cmd + "'" : std::string("no command given"));
}
