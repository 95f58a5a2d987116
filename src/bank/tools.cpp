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

#include "app/globals.h"
#include "bank/buffer.h"

// ---- Text helpers ----

void chop(char *s)
{
    size_t n = strlen(s);
    if (n > 0 && s[n - 1] == '\n')
        s[n - 1] = '\0';
}

static bool is_continuation(char c)
{
    return ((unsigned char)c & 0xC0) == 0x80;
}

size_t utf8_cut(const char *s, size_t len, size_t max)
{
    if (len <= max)
        return len;
    size_t p = max;
    for (int k = 0; k < 3 && p > 0 && is_continuation(s[p]); k++)
        p--;
    // Not UTF-8 here: any cut will do.
    return is_continuation(s[p]) ? max : p;
}

bool utf8_copy(char *dst, size_t size, const char *src, size_t len)
{
    if (size == 0)
        return len > 0;
    size_t n = utf8_cut(src, len, size - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
    return n < len;
}

size_t utf8_strlcpy(char *dst, const char *src, size_t size)
{
    size_t len = strlen(src);
    utf8_copy(dst, size, src, len);
    return len;
}

// Offset of the character after the one at p (stray bytes count alone).
static size_t next_char(const char *s, size_t len, size_t p)
{
    p++;
    for (int k = 0; k < 3 && p < len && is_continuation(s[p]); k++)
        p++;
    return p;
}

static size_t count_chars(const char *s, size_t len, size_t p)
{
    size_t n = 0;
    for (; p < len; p = next_char(s, len, p))
        n++;
    return n;
}

std::string line_broken(const char *s, size_t len, int width)
{
    size_t rest = count_chars(s, len, 0);
    if (width < 2 || rest <= (size_t)width)
        return std::string(s, len);

    std::string out;
    out.reserve(len + len / (size_t)(width - 1) + 1);
    size_t p = 0;
    while (rest > (size_t)width) {
        // Offsets of the characters 0 .. width - 1 of the rest, looking
        // for the last blank among 1 .. width - 1.
        size_t blank = 0, blank_index = 0, q = p, hard = p;
        for (int i = 0; i < width; i++) {
            if (i > 0 && s[q] == ' ') {
                blank = q;
                blank_index = (size_t)i;
            }
            if (i == width - 1)
                hard = q;
            q = next_char(s, len, q);
        }
        if (blank_index > 0) {
            out.append(s + p, blank - p);
            out += '\n';
            p = blank + 1;
            rest -= blank_index + 1;
        } else {
            out.append(s + p, hard - p);
            out += '\n';
            p = hard;
            rest -= (size_t)width - 1;
        }
    }
    out.append(s + p, len - p);
    return out;
}

void line_break(char *s, size_t size, int width)
{
    std::string broken = line_broken(s, strlen(s), width);
    utf8_copy(s, size, broken.data(), broken.size());
}

std::optional<std::string> join_path(const char *dir, const char *name)
{
    if (!dir || !name)
        return std::nullopt;
    gchar *joined = g_build_filename(dir, name, nullptr);
    std::string path(joined);
    g_free(joined);
    if (path.size() > MAX_PATH_CHARS)
        return std::nullopt;
    return path;
}

std::string dir_prefix(const char *dir)
{
    std::string path = dir ? dir : "";
    if (!path.empty() && !G_IS_DIR_SEPARATOR(path.back()))
        path += G_DIR_SEPARATOR_S;
    return path;
}

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

bool read_exam_config(const char *path, exam_config *config)
{
    *config = exam_config();
    config->title = "UNKNOWN";
    std::string text, why;
    if (!read_regular_file(path, &text, &why))
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

// The configuration file of an exam in examdir, if its path is not too long.
static std::optional<std::string> config_path(const char *name)
{
    std::optional<std::string> dir = join_path(examdir, name);
    if (!dir)
        return std::nullopt;
    return join_path(dir->c_str(), examconfig);
}

static bool read_named_config(const char *name, exam_config *config)
{
    std::optional<std::string> path = config_path(name);
    return path && read_exam_config(path->c_str(), config);
}

int getTimeout(const char *name)
{
    exam_config config;
    return read_named_config(name, &config) ? config.timeout.value : 0;
}

int getPercentage(const char *name)
{
    exam_config config;
    return read_named_config(name, &config) ? config.percentage.value : 0;
}

std::optional<std::string> getExamTitle(const char *name)
{
    exam_config config;
    if (!read_named_config(name, &config))
        return std::nullopt;
    return config.title;
}

std::string getExamMessage(const char *name)
{
    exam_config config;
    if (!read_named_config(name, &config))
        return "UNKNOWN";
    return config.message;
}

// ---- Question files and the order of a run ----

// Calls take(name) for every question file of dir.
template <typename Take>
static void scan_question_files(const char *dir, const char *prefix, Take take)
{
    GDir *d = dir ? g_dir_open(dir, 0, nullptr) : nullptr;
    if (!d)
        return;
    size_t plen = strlen(prefix);
    while (const gchar *name = g_dir_read_name(d)) {
        if (strncmp(name, prefix, plen) != 0)
            continue;
        std::optional<std::string> path = join_path(dir, name);
        if (path && g_file_test(path->c_str(), G_FILE_TEST_IS_REGULAR))
            take(name);
    }
    g_dir_close(d);
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
    for (size_t i = 0; i < n; i++)
        out[i] = name[i] == ' ' ? '_' : name[i];
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
                       const char *name, time_t when)
{
    if (size == 0)
        return false;
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
    if (n == 0)
        return false;
    path.append(examinee, n);
    path += date;
    g_strlcpy(out, path.c_str(), size);
    return true;
}
