#include "fuzz/fuzz_util.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

std::string dir;

void remove_dir()
{
    std::error_code ignored;   // symbolic links are removed, not followed
    std::filesystem::remove_all(dir, ignored);
}

} // namespace

const std::string &fuzz_dir()
{
    if (dir.empty()) {
        const char *base = g_file_test("/dev/shm", G_FILE_TEST_IS_DIR) ? "/dev/shm" : g_get_tmp_dir();
        gchar *pattern = g_build_filename(base, "trialix-fuzz-XXXXXX", nullptr);
        if (!g_mkdtemp(pattern)) {
            std::perror(pattern);
            std::abort();
        }
        dir = pattern;
        g_free(pattern);
        std::atexit(remove_dir);
    }
    return dir;
}

std::string fuzz_write(const std::string &rel, const uint8_t *data, size_t size)
{
    gchar *path = g_build_filename(fuzz_dir().c_str(), rel.c_str(), nullptr);
    std::string result = path;
    gchar *parent = g_path_get_dirname(path);
    g_mkdir_with_parents(parent, 0700);
    g_free(parent);
    g_free(path);
    GError *error = nullptr;
    if (!g_file_set_contents(result.c_str(), (const gchar *)data, (gssize)size, &error)) {
        std::fprintf(stderr, "%s\n", error->message);
        std::abort();
    }
    return result;
}
