#include "tools/export.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "bank/buffer.h"
#include "bank/glib_ptr.h"
#include "bank/item_text.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "tools/pack.h"

namespace {

// Most one picture may hold.
constexpr size_t MAX_PICTURE = 16u * 1024 * 1024;

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The first character at or after i that is not inside a tag; '\0' at the end.
char next_text_char(const std::string &s, size_t i)
{
    while (i < s.size() && s[i] == '<') {
        size_t close = s.find('>', i);
        if (close == std::string::npos)
            return s[i];
        i = close + 1;
    }
    return i < s.size() ? s[i] : '\0';
}

// A choice slot as its answer line was written: the reader breaks long
// choices for display, at a blank or, without one, by adding a line break.
std::string unbroken(const char *slot)
{
    std::string s = slot;
    std::vector<size_t> breaks;
    for (size_t i = 0; i < s.size(); i++)
        if (s[i] == '\n')
            breaks.push_back(i);
    if (breaks.empty() || breaks.size() > 12)
        return s;
    // A piece cut hard at the width reads the same as one cut at a blank
    // standing just there; a hard cut, the reader's only way with a long
    // word, is taken to be what happened.
    for (unsigned mask = (1u << breaks.size()); mask-- > 0;) {
        std::string line;
        size_t from = 0;
        for (size_t k = 0; k < breaks.size(); k++) {
            line.append(s, from, breaks[k] - from);
            if (!(mask & (1u << k)))
                line += ' ';
            from = breaks[k] + 1;
        }
        line.append(s, from, std::string::npos);
        std::string shown = line_broken((line + "\n").data(), line.size() + 1, CHOICE_WIDTH);
        if (shown == s + "\n")
            return line;
    }
    return s;
}

// The picture of an exhibit into exam->pictures; a note when it can't be had.
void read_picture(const char *dir, const exhibit_ref &r, const std::string &file, int n, export_exam *exam)
{
    if (exam->pictures.count(r.src))
        return;
    std::string name = picture_name(r.src);
    std::string bytes;
    std::optional<std::string> folder = join_path(dir, "images", nullptr);
    std::optional<std::string> path = folder ? join_path(folder->c_str(), name.c_str(), nullptr) : std::nullopt;
    bool safe = r.src.compare(0, 7, "images/") == 0 && !name.empty() && name.find_first_of("/\\") == std::string::npos &&
                name.find("..") == std::string::npos;
    if (safe && path && read_regular_file(path->c_str(), &bytes, MAX_PICTURE, nullptr))
        exam->pictures[r.src] = bytes;
    else
        exam->note(file, n, "the picture " + r.src + " can't be read: its alternative text stands in");
}

// The value of the first line of the configuration that begins with key=.
std::string config_value(const std::string &config, const char *key)
{
    std::string k = std::string(key) + "=";
    size_t at = 0;
    while (at < config.size()) {
        size_t nl = config.find('\n', at);
        std::string line = config.substr(at, nl == std::string::npos ? std::string::npos : nl - at);
        if (line.compare(0, strlen(key), key) == 0) {
            std::string v = line.compare(0, k.size(), k) == 0 ? line.substr(k.size()) : "";
            while (!v.empty() && is_blank(v.back()))
                v.pop_back();
            return v;
        }
        if (nl == std::string::npos)
            break;
        at = nl + 1;
    }
    return "";
}

// Reads every item of every question file, in the order of their names,
// and the pictures they show; false after saying why on err.
bool read_exam(const char *dir, const char *prefix, const char *config_name, export_exam *exam, FILE *err)
{
    exam->dir = dir;
    exam->name = gchar_ptr(g_path_get_basename(dir)).get();
    std::optional<std::string> config_path = join_path(dir, config_name, nullptr);
    std::string config;
    if (!config_path || !read_regular_file(config_path->c_str(), &config, MAX_CONFIG_FILE, nullptr)) {
        fprintf(err, "trialix-pack: %s: no exam here (its configuration file %s can't be read)\n", dir, config_name);
        return false;
    }
    exam->shuffle = config_value(config, "shuffle") == "yes";
    exam->lenient = config_value(config, "compare") == "lenient";
    std::vector<std::string> names = filename_list(dir, prefix);
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        fprintf(err, "trialix-pack: %s: no question files (names beginning with %s)\n", dir, prefix);
        return false;
    }
    for (const std::string &name : names) {
        std::optional<std::string> path = join_path(dir, name.c_str(), nullptr);
        gerror_ptr e;
        membuf_ptr b = path ? load_question_file(path->c_str(), out_error(e)) : nullptr;
        if (!b) {
            fprintf(err, "trialix-pack: %s: %s\n", path ? path->c_str() : name.c_str(),
                    path ? load_problem(e.get()).c_str() : "path too long");
            return false;
        }
        item_index index = index_items(b->data, b->size);
        export_file file{name, {}};
        for (int n = 1; n <= index.count(); n++) {
            question_list q(new_question());
            parse_item(b->data, b->size, index, n, q.get());
            export_item item;
            item.type = q->type;
            item.points = q->points;
            item.keep_order = item_keeps_order(b->data, b->size, index, n);
            item.text = q->text;
            item.explanation = q->explanation;
            bool gap = false;
            for (const auto &slot : q->answers) {
                if (!slot[0]) {
                    gap = true;
                    continue;
                }
                if (gap)
                    exam->note(name, n, "an empty answer line is left out");
                gap = false;
                item.answers.push_back(kind_has_choices(q->type) ? unbroken(slot) : std::string(slot));
            }
            for (const std::string *t : {&item.text, &item.explanation})
                for (const exhibit_ref &r : exhibit_refs(t->c_str()))
                    read_picture(dir, r, name, n, exam);
            file.items.push_back(item);
        }
        exam->files.push_back(file);
    }
    return true;
}

} // namespace

std::string picture_name(const std::string &src)
{
    return src.compare(0, 7, "images/") == 0 ? src.substr(7) : src;
}

std::string html_escape(const std::string &plain)
{
    std::string out;
    for (char c : plain)
        out += c == '&' ? std::string("&amp;") : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

std::string markup_to_html(const std::string &markup, const char *newline,
                           const std::function<std::string(const exhibit_ref &)> &picture)
{
    std::vector<exhibit_ref> refs = exhibit_refs(markup.c_str());
    size_t next_ref = 0;
    std::string out;
    char last = '\0';   // the last character of text written; '\0' none yet
    for (size_t i = 0; i < markup.size();) {
        if (next_ref < refs.size() && refs[next_ref].start == i) {
            out += picture(refs[next_ref]);
            i = refs[next_ref++].end;
            last = 'x';
            continue;
        }
        char c = markup[i];
        if (c == '<') {
            size_t close = markup.find('>', i);
            close = close == std::string::npos ? markup.size() : close + 1;
            out.append(markup, i, close - i);
            i = close;
            continue;
        }
        if (c == '\n') {
            out += "<br>";
            out += newline;
            last = '\n';
        } else if (is_blank(c)) {
            // HTML folds blanks: one stands as it is only between two
            // characters of text; any other is written by its number.
            char after = next_text_char(markup, i + 1);
            bool folds = c != ' ' || last == '\0' || is_blank(last) || after == '\0' || is_blank(after);
            out += folds ? (c == ' ' ? "&#32;" : c == '\t' ? "&#9;" : "&#13;") : " ";
            last = c;
        } else {
            out += c;
            last = c;
        }
        i++;
    }
    return out;
}

int export_main(int argc, char **argv, FILE *out, FILE *err)
{
    const char *prefix = "cat", *config = ".xconfig";
    std::vector<const char *> args;
    if (!command_args(argc, argv, err, &prefix, &config, nullptr, &args))
        return PACK_USAGE;
    if (args.size() != 3 || (strcmp(args[0], "moodle") != 0 && strcmp(args[0], "gift") != 0))
        return pack_usage(err, "export takes moodle or gift, EXAMDIR and OUT");
    bool moodle = strcmp(args[0], "moodle") == 0;
    const char *dir = args[1], *target = args[2];
    export_exam exam;
    if (!read_exam(dir, prefix, config, &exam, err))
        return PACK_PROBLEM;
    std::string bank = moodle ? export_moodle(&exam) : export_gift(&exam);
    gerror_ptr e;
    if (!g_file_set_contents(target, bank.data(), (gssize)bank.size(), out_error(e))) {
        fprintf(err, "trialix-pack: %s\n", e->message);
        return PACK_PROBLEM;
    }
    if (!moodle && !exam.pictures.empty()) {
        // Beside the bank, where its <img> elements find them.
        std::string folder = gchar_ptr(g_path_get_dirname(target)).get();
        std::optional<std::string> images = join_path(folder.c_str(), "images", nullptr);
        if (!images || (g_mkdir(images->c_str(), 0755) != 0 && errno != EEXIST)) {
            fprintf(err, "trialix-pack: %s: can't create the folder for the pictures\n", images ? images->c_str() : folder.c_str());
            return PACK_PROBLEM;
        }
        for (const auto &p : exam.pictures) {
            std::optional<std::string> path = join_path(images->c_str(), picture_name(p.first).c_str(), nullptr);
            if (!path || !g_file_set_contents(path->c_str(), p.second.data(), (gssize)p.second.size(), nullptr)) {
                fprintf(err, "trialix-pack: %s: can't be written\n", path ? path->c_str() : p.first.c_str());
                return PACK_PROBLEM;
            }
        }
    }
    size_t items = 0;
    for (const export_file &f : exam.files)
        items += f.items.size();
    std::stable_sort(exam.notes.begin(), exam.notes.end(), [&](const export_note &a, const export_note &b) {
        return a.file != b.file ? a.file < b.file : a.item < b.item;
    });
    for (const export_note &n : exam.notes) {
        std::string where = n.file.empty() ? std::string(dir) : std::string(dir) + "/" + n.file;
        if (n.item)
            where += ": item " + std::to_string(n.item);
        fprintf(out, "%s: not carried: %s\n", where.c_str(), n.what.c_str());
    }
    fprintf(out, "%s: %zu item%s of %zu question file%s exported from %s as %s", target, items - (size_t)exam.left_out,
            items - (size_t)exam.left_out == 1 ? "" : "s", exam.files.size(), exam.files.size() == 1 ? "" : "s", dir,
            moodle ? "Moodle XML" : "GIFT");
    if (!exam.pictures.empty())
        fprintf(out, ", %zu picture%s%s", exam.pictures.size(), exam.pictures.size() == 1 ? "" : "s",
                moodle ? " embedded" : " in images/ beside it");
    if (exam.left_out)
        fprintf(out, "; %d left out", exam.left_out);
    fputc('\n', out);
    return exam.left_out ? PACK_PROBLEM : PACK_OK;
}
