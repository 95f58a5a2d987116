// Helpers for the question bank tests: a scratch directory that cleans up
// after itself, and question files made from text with our own packer.
#pragma once

#include <gtest/gtest.h>
#include <glib.h>
#include <glib/gstdio.h>

#include <string>

#include "bank/buffer.h"

class scratch_dir {
public:
    scratch_dir()
    {
        gchar *p = g_dir_make_tmp("trialix-test-XXXXXX", nullptr);
        path_ = p ? p : "";
        g_free(p);
    }
    ~scratch_dir() { remove_tree(path_); }
    scratch_dir(const scratch_dir &) = delete;
    scratch_dir &operator=(const scratch_dir &) = delete;

    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + G_DIR_SEPARATOR_S + name; }

private:
    static void remove_tree(const std::string &path)
    {
        if (GDir *d = g_dir_open(path.c_str(), 0, nullptr)) {
            while (const gchar *name = g_dir_read_name(d))
                remove_tree(path + G_DIR_SEPARATOR_S + name);
            g_dir_close(d);
            g_rmdir(path.c_str());
        } else {
            g_unlink(path.c_str());
        }
    }
    std::string path_;
};

// Writes bytes as they are.
inline void write_file(const std::string &path, const std::string &bytes)
{
    ASSERT_TRUE(g_file_set_contents(path.c_str(), bytes.data(), (gssize)bytes.size(), nullptr)) << path;
}

// Packs text into a question file.
inline void write_question_file(const std::string &path, const std::string &text)
{
    std::string error;
    ASSERT_TRUE(text2file(text.data(), text.size(), path.c_str(), &error)) << error;
}

inline std::string read_file(const std::string &path)
{
    gchar *data = nullptr;
    gsize size = 0;
    if (!g_file_get_contents(path.c_str(), &data, &size, nullptr))
        return "";
    std::string s(data, size);
    g_free(data);
    return s;
}
