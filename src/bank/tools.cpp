#include "bank/tools.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "bank/buffer.h"
#include "bank/error.h"
#include "bank/glib_ptr.h"

// ---- Exam configuration file ----

static bool begins_with(const char *line, size_t len, const char *key)
{
    size_t n = strlen(key);
    return len >= n && memcmp(line, key, n) == 0;
}

// key=number, number as strtol reads it, with nothing between '=' and it.
static void parse_number(const std::string &line, size_t key_len, config_number *key, int lineno)
{
    key->line = lineno;
    if (line.size() <= key_len + 1 || line[key_len] != '=')
        return;
    const char *s = line.c_str() + key_len + 1;
    bool sign = (s[0] == '-' || s[0] == '+');
    if (!g_ascii_isdigit(s[sign ? 1 : 0]))
        return;
    errno = 0;
    long v = strtol(s, nullptr, 10);
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return;
    key->parsed = true;
    key->value = (int)v;
}

// key=WORD: the word with blanks at both ends dropped, known when it is
// one of `words` (two of them).
static void parse_word(const std::string &line, size_t key_len, config_word *key,
                       const char *const words[2], int lineno)
{
    key->line = lineno;
    if (line.size() <= key_len || line[key_len] != '=')
        return;
    size_t from = line.find_first_not_of(" \t", key_len + 1);
    size_t to = line.find_last_not_of(" \t");
    if (from != std::string::npos)
        key->value = line.substr(from, to + 1 - from);
    key->known = key->value == words[0] || key->value == words[1];
}

static const char *const SHUFFLE_WORDS[2] = {"yes", "no"};
static const char *const COMPARE_WORDS[2] = {"lenient", "exact"};

bool config_shuffles(const exam_config &config)
{
    return config.shuffle.known && config.shuffle.value == SHUFFLE_WORDS[0];
}

answer_compare config_comparison(const exam_config &config)
{
    return config.compare.known && config.compare.value == COMPARE_WORDS[0] ? answer_compare::lenient
                                                                           : answer_compare::exact;
}

bool read_exam_config(const char *path, exam_config *config, GError **error)
{
    *config = exam_config();
    config->title = "UNKNOWN";
    std::string text;
    if (!read_regular_file(path, &text, MAX_CONFIG_FILE, error))
        return false;
    const char *contents = text.data();
    size_t length = text.size();

    bool in_message = false;
    std::string message;
    const char *p = contents, *end = contents + length;
    for (int lineno = 1; p < end; lineno++) {
        const char *nl = (const char *)memchr(p, '\n', (size_t)(end - p));
        const char *stop = nl ? nl : end;
        std::string line(p, (size_t)(stop - p));
        if (nl && !line.empty() && line.back() == '\r')
            line.pop_back();
        p = nl ? nl + 1 : end;

        if (in_message && message.size() <= MESSAGE_SIZE) {
            message += line;
            if (nl)
                message += '\n';
        }
        if (begins_with(line.data(), line.size(), "[message]")) {
            in_message = true;
            message.clear();
            config->message_line = lineno;
        }
        if (!config->timeout.line && begins_with(line.data(), line.size(), "timeout"))
            parse_number(line, 7, &config->timeout, lineno);
        if (!config->percentage.line && begins_with(line.data(), line.size(), "percentage"))
            parse_number(line, 10, &config->percentage, lineno);
        // The message may well hold a line that begins "compare".
        if (!in_message && !config->shuffle.line && begins_with(line.data(), line.size(), "shuffle"))
            parse_word(line, 7, &config->shuffle, SHUFFLE_WORDS, lineno);
        if (!in_message && !config->compare.line && begins_with(line.data(), line.size(), "compare"))
            parse_word(line, 7, &config->compare, COMPARE_WORDS, lineno);
        if (!config->title_line && begins_with(line.data(), line.size(), "title")) {
            config->title_line = lineno;
            size_t eq = line.find('=');
            if (eq != std::string::npos) {
                config->title_has_equals = true;
                size_t n = utf8_cut(line.data() + eq + 1, line.size() - eq - 1, TITLE_SIZE - 1);
                config->title_cut = n < line.size() - eq - 1;
                config->title.assign(line, eq + 1, n);
            }
        }
    }

    if (!message.empty() && message.back() == '\n')
        message.pop_back();
    size_t n = utf8_cut(message.data(), message.size(), MESSAGE_SIZE - 1);
    config->message_cut = n < message.size();
    message.resize(n);
    config->message = message;
    return true;
}

bool read_named_config(const char *root, const char *config_name, const char *name,
                       exam_config *config, GError **error)
{
    std::optional<std::string> dir = join_path(root, name, nullptr);
    std::optional<std::string> path = dir ? join_path(dir->c_str(), config_name, nullptr) : std::nullopt;
    if (!path) {
        trialix_set_error(error, TRIALIX_ERROR_TOO_LONG, "path too long");
        return false;
    }
    return read_exam_config(path->c_str(), config, error);
}

exam_options read_exam_options(const char *root, const char *config_name, const char *name,
                               bool *found)
{
    exam_config config;
    exam_options options;
    bool read = read_named_config(root, config_name, name, &config, nullptr);
    if (found)
        *found = read;
    if (read) {
        options.shuffle = config_shuffles(config);
        options.compare = config_comparison(config);
    }
    return options;
}

int getTimeout(const char *root, const char *config_name, const char *name)
{
    exam_config config;
    return read_named_config(root, config_name, name, &config, nullptr) ? config.timeout.value : 0;
}

int getPercentage(const char *root, const char *config_name, const char *name)
{
    exam_config config;
    return read_named_config(root, config_name, name, &config, nullptr) ? config.percentage.value : 0;
}

bool getExamTitle(const char *root, const char *config_name, const char *name,
                  std::string *title, GError **error)
{
    exam_config config;
    if (!read_named_config(root, config_name, name, &config, error))
        return false;
    *title = config.title;
    return true;
}

std::string getExamMessage(const char *root, const char *config_name, const char *name)
{
    exam_config config;
    if (!read_named_config(root, config_name, name, &config, nullptr))
        return "UNKNOWN";
    return config.message;
}

// ---- Question files and the order of a run ----

// Calls take(name) for every question file of dir.
template <typename Take>
static void scan_question_files(const char *dir, const char *prefix, Take take)
{
    gdir_ptr d(dir ? g_dir_open(dir, 0, nullptr) : nullptr);
    if (!d)
        return;
    size_t plen = strlen(prefix);
    while (const gchar *name = g_dir_read_name(d.get())) {
        if (strncmp(name, prefix, plen) != 0)
            continue;
        std::optional<std::string> path = join_path(dir, name, nullptr);
        if (path && g_file_test(path->c_str(), G_FILE_TEST_IS_REGULAR))
            take(name);
    }
}

int count_files(const char *dir, const char *prefix)
{
    int n = 0;
    scan_question_files(dir, prefix, [&n](const char *) { n++; });
    return n;
}

std::vector<std::string> filename_list(const char *dir, const char *prefix)
{
    std::vector<std::string> names;
    try {
        scan_question_files(dir, prefix, [&names](const char *name) { names.emplace_back(name); });
    } catch (const std::bad_alloc &) {
        fputs("[filename_list:malloc] Out of memory\n", stderr);
        exit(1);
    }
    return names;
}

static bool initialized = false;

int random(int n)
{
    if (!initialized) {
        srand((unsigned)(time(nullptr) / getpid()));
        initialized = true;
    }
    if (n < 1)
        return 0;
    return rand() % n;
}

void random_seed(unsigned seed)
{
    srand(seed);
    initialized = true;
}

std::vector<int> create_random_list(int n)
{
    std::vector<int> order;
    if (n <= 0)
        return order;
    try {
        order.resize((size_t)n);
    } catch (const std::bad_alloc &) {
        fputs("[create_random_list:calloc] Out of memory\n", stderr);
        exit(1);
    }
    for (int i = 0; i < n; i++)
        order[(size_t)i] = i;
    for (int pass = 0; pass < 20; pass++) {
        for (int i = n - 1; i >= 0; i--) {
            int j = random(n);
            int t = order[(size_t)i];
            order[(size_t)i] = order[(size_t)j];
            order[(size_t)j] = t;
        }
    }
    return order;
}

// ---- Default name of a saved exam ----

void check_name(const char *name, char *out, size_t size)
{
    if (size == 0)
        return;
    if (!name || !*name)
        name = "Unnamed";
    size_t max = std::min(size - 1, (size_t)EXAMINEE_PART_MAX);
    size_t n = utf8_cut(name, strlen(name), max);
    // The part is one file name: a separator would lead into a folder.
    for (size_t i = 0; i < n; i++)
        out[i] = name[i] == ' ' || name[i] == '/' || name[i] == G_DIR_SEPARATOR ? '_' : name[i];
    out[n] = '\0';
}

void create_filename(char *out, size_t size, time_t when)
{
    int month = 0, day = 0, hour = 0, minute = 0;
    if (GDateTime *t = g_date_time_new_from_unix_local((gint64)when)) {
        month = g_date_time_get_month(t);
        day = g_date_time_get_day_of_month(t);
        hour = g_date_time_get_hour(t);
        minute = g_date_time_get_minute(t);
        g_date_time_unref(t);
    }
    g_snprintf(out, (gulong)size, "_%02d.%02d_%02d_%02d", month, day, hour, minute);
}

bool default_save_name(char *out, size_t size, const char *dir, const char *exam,
                       const char *name, time_t when, GError **error)
{
    if (size == 0) {
        trialix_set_error(error, TRIALIX_ERROR_TOO_LONG, "no room for a name");
        return false;
    }
    out[0] = '\0';
    char examinee[EXAMINEE_PART_MAX + 1], date[32];
    check_name(name, examinee, sizeof examinee);
    create_filename(date, sizeof date, when);

    std::string path = dir_prefix(dir);
    path += exam ? exam : "";
    path += '_';
    size_t limit = std::min(size - 1, (size_t)MAX_PATH_CHARS);
    size_t fixed = path.size() + strlen(date);
    size_t n = fixed < limit ? utf8_cut(examinee, strlen(examinee), limit - fixed) : 0;
    if (n == 0) {
        trialix_set_error(error, TRIALIX_ERROR_TOO_LONG, "the folder's path is too long for a name");
        return false;
    }
    path.append(examinee, n);
    path += date;
    g_strlcpy(out, path.c_str(), size);
    return true;
}
