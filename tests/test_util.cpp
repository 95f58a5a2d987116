#include "test_util.h"

#include <algorithm>
#include <filesystem>
#include <ctime>
#include <stdexcept>

#include <sqlite3.h>
#include <utime.h>

#include "bank/buffer.h"

TempDir::TempDir()
{
    char *dir = g_dir_make_tmp("trialix-test-XXXXXX", nullptr);
    if (!dir)
        throw std::runtime_error("cannot make a temporary directory");
    root_ = dir;
    g_free(dir);
}

TempDir::~TempDir()
{
    std::error_code ignored;   // symbolic links are removed, not followed
    std::filesystem::remove_all(root_, ignored);
}

std::string native(std::string path)
{
    std::replace(path.begin(), path.end(), '/', G_DIR_SEPARATOR);
    return path;
}

std::string TempDir::path(const std::string &rel) const
{
    return rel.empty() ? root_ : root_ + G_DIR_SEPARATOR_S + native(rel);
}

std::string TempDir::mkdir(const std::string &rel) const
{
    std::string p = path(rel);
    if (g_mkdir_with_parents(p.c_str(), 0755) != 0)
        throw std::runtime_error("cannot make " + p);
    return p;
}

std::string TempDir::write(const std::string &rel, const std::string &content) const
{
    std::string p = path(rel);
    char *parent = g_path_get_dirname(p.c_str());
    g_mkdir_with_parents(parent, 0755);
    g_free(parent);
    write_file(p, content);
    return p;
}

void write_file(const std::string &path, const std::string &bytes)
{
    EXPECT_TRUE(g_file_set_contents(path.c_str(), bytes.data(), gssize(bytes.size()), nullptr)) << path;
}

void write_question_file(const std::string &path, const std::string &text)
{
    gerror_ptr error;
    EXPECT_TRUE(text2file(text.data(), text.size(), path.c_str(), out_error(error)))
        << (error ? error->message : "");
}

std::string read_file(const std::string &path)
{
    gchar *data = nullptr;
    gsize size = 0;
    std::string s = g_file_get_contents(path.c_str(), &data, &size, nullptr) ? std::string(data, size) : "";
    g_free(data);
    return s;
}

std::string repeat(const std::string &s, int n)
{
    std::string out;
    while (n-- > 0)
        out += s;
    return out;
}

question *make_item(char type, int points, const std::vector<std::string> &answers,
                    const char *text, const char *explanation)
{
    question *q = new_question();
    q->type = type;
    q->points = (signed char)points;
    g_strlcpy(q->text, text, sizeof q->text);
    g_strlcpy(q->explanation, explanation, sizeof q->explanation);
    for (size_t i = 0; i < answers.size() && i < NUM_ANSWERS; i++)
        g_strlcpy(q->answers[i], answers[i].c_str(), sizeof q->answers[i]);
    return q;
}

bool set_file_age(const std::string &path, int ago)
{
    struct utimbuf t;
    t.actime = t.modtime = time(nullptr) - ago;
    return utime(path.c_str(), &t) == 0;
}

int runs_in(const std::string &path)
{
    sqlite3 *sql = nullptr;
    int n = -1;
    if (sqlite3_open_v2(path.c_str(), &sql, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(sql, "SELECT COUNT(*) FROM runs", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            n = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
    }
    sqlite3_close(sql);
    return n;
}

// ---- Images made here, so no picture file comes from outside ----

namespace {

void put32(std::string &s, unsigned long v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        s += (char)((v >> shift) & 0xFF);
}

unsigned long crc32(const std::string &s, size_t from)
{
    unsigned long c = 0xFFFFFFFFUL;
    for (size_t i = from; i < s.size(); i++) {
        c ^= (unsigned char)s[i];
        for (int k = 0; k < 8; k++)
            c = c & 1 ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFUL;
}

void chunk(std::string &png, const char *type, const std::string &data)
{
    put32(png, data.size());
    size_t from = png.size();
    png += type;
    png += data;
    put32(png, crc32(png, from));
}

std::string ihdr(int width, int height)
{
    std::string h;
    put32(h, (unsigned long)width);
    put32(h, (unsigned long)height);
    h += std::string("\x08\x02\x00\x00\x00", 5);   // 8 bits, RGB
    return h;
}

} // namespace

std::string png_header(int width, int height)
{
    std::string png("\x89PNG\r\n\x1A\n", 8);
    chunk(png, "IHDR", ihdr(width, height));
    return png;
}

std::string png_image(int width, int height)
{
    // Rows of a diagonal gradient, each after its filter byte 0, in
    // uncompressed ("stored") deflate blocks.
    std::string raw;
    raw.reserve((size_t)(width * 3 + 1) * height);
    for (int y = 0; y < height; y++) {
        raw += '\0';
        for (int x = 0; x < width; x++) {
            raw += (char)((x * 255) / std::max(1, width - 1));
            raw += (char)((y * 255) / std::max(1, height - 1));
            raw += (char)0x80;
        }
    }
    std::string z("\x78\x01", 2);
    unsigned long a = 1, b = 0;
    for (unsigned char c : raw)
        a = (a + c) % 65521, b = (b + a) % 65521;
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        size_t len = std::min<size_t>(65535, raw.size() - at);
        z += (char)(at + len >= raw.size() ? 1 : 0);
        z += (char)(len & 0xFF), z += (char)(len >> 8);
        z += (char)(~len & 0xFF), z += (char)((~len >> 8) & 0xFF);
        z.append(raw, at, len);
    }
    put32(z, (b << 16) | a);
    std::string png = png_header(width, height);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", "");
    return png;
}

gchar **environment_in(const TempDir &root, const std::vector<std::pair<const char *, std::string>> &set)
{
    gchar **env = g_get_environ();
    const std::pair<const char *, const char *> folders[] = {
        {"HOME", "home"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_CONFIG_DIRS", "etc"},
        {"XDG_STATE_HOME", "state"}, {"XDG_DATA_HOME", "data"}};
    for (const auto &f : folders)
        env = g_environ_setenv(env, f.first, (root / f.second).c_str(), TRUE);
    for (const auto &s : set)
        env = g_environ_setenv(env, s.first, s.second.c_str(), TRUE);
    return env;
}

std::vector<std::string> names_in(const std::string &dir, const std::string &end)
{
    std::vector<std::string> names;
    if (GDir *d = g_dir_open(dir.c_str(), 0, nullptr)) {
        while (const char *n = g_dir_read_name(d))
            if (g_str_has_suffix(n, end.c_str()))
                names.push_back(n);
        g_dir_close(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> paths_in(const std::string &dir, const std::string &end)
{
    std::vector<std::string> paths;
    for (const std::string &n : names_in(dir, end))
        paths.push_back(dir + G_DIR_SEPARATOR_S + n);
    return paths;
}

// The first history's tables, as the first version of Trialix made them:
// kept here, apart from the program's, so that a change to those can't
// hide a history the program no longer reads.
const char HISTORY_SCHEMA_1[] =
    "CREATE TABLE runs(id INTEGER PRIMARY KEY, exam TEXT NOT NULL, title TEXT NOT NULL,"
    " taken INTEGER NOT NULL, examinee TEXT NOT NULL, training INTEGER NOT NULL,"
    " timer INTEGER NOT NULL, time_used INTEGER NOT NULL, item_count INTEGER NOT NULL,"
    " total_points INTEGER NOT NULL, reached_points INTEGER NOT NULL, score REAL NOT NULL,"
    " pass_mark INTEGER NOT NULL, passed INTEGER NOT NULL);"
    "CREATE INDEX runs_by_exam ON runs(exam, taken);"
    "CREATE TABLE items(run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " position INTEGER NOT NULL, file TEXT NOT NULL, item INTEGER NOT NULL,"
    " fingerprint TEXT NOT NULL, points INTEGER NOT NULL, ok INTEGER NOT NULL,"
    " PRIMARY KEY(run, position)) WITHOUT ROWID;"
    "CREATE TABLE file_stats(exam TEXT NOT NULL, file TEXT NOT NULL, runs INTEGER NOT NULL,"
    " drawn INTEGER NOT NULL, correct INTEGER NOT NULL, PRIMARY KEY(exam, file)) WITHOUT ROWID;"
    "CREATE TABLE item_stats(exam TEXT NOT NULL, file TEXT NOT NULL, item INTEGER NOT NULL,"
    " fingerprint TEXT NOT NULL, drawn INTEGER NOT NULL, missed INTEGER NOT NULL,"
    " PRIMARY KEY(exam, file, item, fingerprint)) WITHOUT ROWID;";
