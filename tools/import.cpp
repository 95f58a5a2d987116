#include "tools/import.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "bank/buffer.h"
#include "bank/exhibit.h"
#include "bank/glib_ptr.h"
#include "bank/item_text.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "tools/import_markup.h"
#include "tools/pack.h"

namespace {

// The question file name for group i of n: prefix and a number with at
// least two digits, all of the same width so that they sort in order.
std::string file_name(const char *prefix, size_t i, size_t n)
{
    int width = std::max(2, (int)std::to_string(n).size());
    char number[16];
    g_snprintf(number, sizeof number, "%0*d", width, (int)i + 1);
    return std::string(prefix) + number;
}

// A file name for the configuration file, where a line break would start
// a line of its own: control characters become blanks.
std::string without_controls(const char *utf8)
{
    std::string out;
    for (const char *p = utf8; *p; p = g_utf8_next_char(p)) {
        if (g_unichar_iscntrl(g_utf8_get_char(p)))
            out += ' ';
        else
            out.append(p, (size_t)(g_utf8_next_char(p) - p));
    }
    return out;
}

// Plain text as a title: escaped, and within the title's width.
std::string title_markup(std::string plain)
{
    std::string title = escape_markup(plain);
    while (title.size() > TITLE_SIZE - 1) {
        plain.resize(utf8_cut(plain.data(), plain.size(), plain.size() - 1));
        title = escape_markup(plain);
    }
    return title;
}

struct import_options {
    const char *kind = nullptr, *source = nullptr, *examdir = nullptr, *title = nullptr;
    const char *prefix = "cat", *config = ".xconfig";
    int timeout = 0;   // 0: two minutes an item
    int percentage = 75;
};

bool parse_number(const char *value, int low, int high, int *number)
{
    if (!value || !g_ascii_isdigit(value[0]))
        return false;
    char *end = nullptr;
    errno = 0;
    long v = strtol(value, &end, 10);
    if (*end || errno == ERANGE || v < low || v > high)
        return false;
    *number = (int)v;
    return true;
}

// Reads the command line; returns -1 when it is good, else the exit status.
int parse_options(int argc, char **argv, FILE *err, import_options *o)
{
    std::vector<const char *> args;
    auto bad = [err](const char *what) {
        pack_usage(err, what);
        return -1;
    };
    auto option = [&](int *i) {
        const char *value = nullptr;
        if (option_value(argc, argv, i, "--title", &value)) {
            if (!value || !g_utf8_validate(value, -1, nullptr) || strpbrk(value, "\r\n") || trim(value).empty())
                return bad("--title needs a title on one line, in UTF-8");
            o->title = value;
        } else if (option_value(argc, argv, i, "--timeout", &value)) {
            if (!parse_number(value, 1, 10000, &o->timeout))
                return bad("--timeout needs the minutes allowed, 1 to 10000");
        } else if (option_value(argc, argv, i, "--percentage", &value)) {
            if (!parse_number(value, 0, 100, &o->percentage))
                return bad("--percentage needs the pass mark, 0 to 100");
        } else {
            return 0;
        }
        return 1;
    };
    if (!command_args(argc, argv, err, &o->prefix, &o->config, option, &args))
        return PACK_USAGE;
    if (args.size() != 3 || (strcmp(args[0], "gift") != 0 && strcmp(args[0], "aiken") != 0))
        return pack_usage(err, "import takes gift or aiken, SOURCE and EXAMDIR");
    o->kind = args[0];
    o->source = args[1];
    o->examdir = args[2];
    if (o->title && title_markup(o->title) != escape_markup(o->title))
        return pack_usage(err, "--title takes at most 255 bytes (with <, > and & written as markup)");
    return -1;
}

// The source as UTF-8 text without a byte-order mark; false after saying why not.
bool read_source(const char *path, FILE *err, std::string *text)
{
    gchar *data = nullptr;
    gsize size = 0;
    gerror_ptr gerror;
    if (!g_file_get_contents(path, &data, &size, out_error(gerror))) {
        fprintf(err, "trialix-pack: %s: %s\n", path, gerror->message);
        return false;
    }
    text->assign(gchar_ptr(data).get(), size);
    const char *bad = nullptr;
    if (!g_utf8_validate(text->data(), (gssize)text->size(), &bad)) {
        long line = 1 + std::count(text->c_str(), bad, '\n');
        fprintf(err, "trialix-pack: %s:%ld: not UTF-8 text (convert it first, for example with iconv)\n",
                path, line);
        return false;
    }
    if (text->compare(0, 3, "\xEF\xBB\xBF") == 0)
        text->erase(0, 3);
    return true;
}

bool dir_is_empty(const char *path)
{
    gdir_ptr d(g_dir_open(path, 0, nullptr));
    return d && g_dir_read_name(d.get()) == nullptr;
}

// Writes the exam; on failure takes back what it wrote and says why.
bool write_exam(const import_options &o, const std::vector<import_group> &groups, const std::string &config,
                const std::string &source, const image_keeper &keeper, FILE *err)
{
    bool made = !g_file_test(o.examdir, G_FILE_TEST_EXISTS);
    if (made && g_mkdir_with_parents(o.examdir, 0755) != 0) {
        fprintf(err, "trialix-pack: %s: can't create the directory: %s\n", o.examdir, g_strerror(errno));
        return false;
    }
    std::vector<std::string> written;
    std::string why;
    std::optional<std::string> path = join_path(o.examdir, o.config, nullptr);
    bool ok = path && g_file_set_contents(path->c_str(), config.data(), (gssize)config.size(), nullptr);
    if (ok)
        written.push_back(*path);
    else
        why = (path ? *path : o.config) + ": can't be written";
    for (size_t i = 0; ok && i < groups.size(); i++) {
        std::string text = group_text(groups[i], source, strcmp(o.kind, "gift") == 0 ? "GIFT" : "Aiken");
        path = join_path(o.examdir, file_name(o.prefix, i, groups.size()).c_str(), nullptr);
        gerror_ptr failure;
        ok = path && text2file(text.data(), text.size(), path->c_str(), out_error(failure));
        if (ok)
            written.push_back(*path);
        else
            why = (path ? *path : std::string(o.examdir)) + ": " +
                  (path ? std::string(failure->message) : "path too long");
    }
    // The images the items reference, into the exam's images folder.
    std::optional<std::string> images = join_path(o.examdir, EXHIBIT_FOLDER, nullptr);
    bool images_made = false;
    if (ok && !keeper.files.empty()) {
        images_made = images && g_mkdir_with_parents(images->c_str(), 0755) == 0;
        ok = images_made;
        if (!ok)
            why = (images ? *images : std::string(o.examdir)) + ": can't create the directory";
    }
    for (auto file = keeper.files.begin(); ok && file != keeper.files.end(); ++file) {
        path = join_path(images->c_str(), file->first.c_str(), nullptr);
        ok = path && g_file_set_contents(path->c_str(), file->second.data(), (gssize)file->second.size(), nullptr);
        if (ok)
            written.push_back(*path);
        else
            why = (path ? *path : *images) + ": can't be written";
    }
    if (ok)
        return true;
    fprintf(err, "trialix-pack: %s\n", why.c_str());
    for (const std::string &p : written)
        g_unlink(p.c_str());
    if (images_made)
        g_rmdir(images->c_str());
    if (made)
        g_rmdir(o.examdir);
    return false;
}

std::string plural(size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

int import_main(int argc, char **argv, FILE *out, FILE *err)
{
    import_options o;
    int status = parse_options(argc, argv, err, &o);
    if (status >= 0)
        return status;
    std::string longest = file_name(o.prefix, MAX_RUN_ITEMS - 1, MAX_RUN_ITEMS);
    if (!join_path(o.examdir, o.config, nullptr) || !join_path(o.examdir, longest.c_str(), nullptr)) {
        fprintf(err, "trialix-pack: %s: path too long for an exam directory\n", o.examdir);
        return PACK_USAGE;
    }
    if (g_file_test(o.examdir, G_FILE_TEST_EXISTS) && !dir_is_empty(o.examdir)) {
        fprintf(err, "trialix-pack: %s: exists and is not an empty directory; nothing was imported\n", o.examdir);
        return PACK_USAGE;
    }
    std::string text;
    if (!read_source(o.source, err, &text))
        return PACK_USAGE;

    bool gift = strcmp(o.kind, "gift") == 0;
    import_result r;
    image_keeper keeper;
    gchar_ptr bank_dir(g_path_get_dirname(o.source));
    keeper.bank_dir = bank_dir.get();
    r.keeper = &keeper;
    if (gift)
        import_gift(text, &r);
    else
        import_aiken(text, &r);
    std::stable_sort(r.notes.begin(), r.notes.end(),
                     [](const import_note &a, const import_note &b) { return a.line < b.line; });
    size_t skipped = 0;
    for (const import_note &n : r.notes) {
        fprintf(out, "%s:%d: %s: %s\n", o.source, n.line, n.skipped ? "skipped" : "changed", n.what.c_str());
        skipped += n.skipped;
    }

    std::vector<import_group> groups = make_groups(r);
    if (groups.empty()) {
        fprintf(err, "trialix-pack: %s: no question could be imported\n", o.source);
        return PACK_USAGE;
    }
    if (groups.size() > MAX_RUN_ITEMS) {
        fprintf(err, "trialix-pack: %s: would make %s question files (one per %s), but a run takes at most %d; %s\n",
                o.source, std::to_string(groups.size()).c_str(), r.categories ? "category" : "question", MAX_RUN_ITEMS,
                r.categories ? "use fewer categories"
                             : gift ? "group the questions with $CATEGORY lines" : "split the source");
        return PACK_USAGE;
    }

    std::string source = without_controls(gchar_ptr(g_filename_display_basename(o.source)).get());
    size_t dot = source.rfind('.');
    std::string stem = dot != std::string::npos && dot > 0 ? source.substr(0, dot) : source;
    std::string config = "title=" + (o.title ? title_markup(o.title) : title_markup(stem)) + "\n";
    config += "timeout=" + std::to_string(o.timeout ? o.timeout : 2 * (int)groups.size()) + "\n";
    config += "percentage=" + std::to_string(o.percentage) + "\n[message]\n";
    config += "Imported from <i>" + escape_markup(source) + "</i>, " + (gift ? "a GIFT" : "an Aiken")
              + " question bank.\n";
    if (r.categories)
        config += "Each run draws one question from each of its " + plural(groups.size(), "category", "categories")
                  + " (" + plural(r.items.size(), "question", "questions") + " in all).\n";
    else
        config += "Each run asks all " + plural(r.items.size(), "question", "questions") + " in a random order.\n";
    if (!write_exam(o, groups, config, source, keeper, err))
        return PACK_USAGE;

    fprintf(out, "%s: %s imported into %s (%s)", o.source, plural(r.items.size(), "question", "questions").c_str(),
            o.examdir, plural(groups.size(), "question file", "question files").c_str());
    if (skipped)
        fprintf(out, "; %s skipped", std::to_string(skipped).c_str());
    fputc('\n', out);
    bool clean = check_exam_dir(out, o.examdir, o.prefix, o.config);
    return skipped || !clean ? PACK_PROBLEM : PACK_OK;
}
