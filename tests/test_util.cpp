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
