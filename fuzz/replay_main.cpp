// Feeds every file named on the command line, or found in a directory
// named there, to the fuzz target once: the seed corpus and every input
// that once failed are replayed by the test suite without libFuzzer.
#include <glib.h>

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static int replay(const std::string &path, int *count)
{
    if (g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) {
        GDir *d = g_dir_open(path.c_str(), 0, nullptr);
        if (!d)
            return 1;
        int failed = 0;
        while (const char *name = g_dir_read_name(d))
            failed += replay(path + G_DIR_SEPARATOR_S + name, count);
        g_dir_close(d);
        return failed;
    }
    gchar *contents = nullptr;
    gsize length = 0;
    GError *error = nullptr;
    if (!g_file_get_contents(path.c_str(), &contents, &length, &error)) {
        std::fprintf(stderr, "%s\n", error->message);
        g_error_free(error);
        return 1;
    }
    LLVMFuzzerTestOneInput((const uint8_t *)contents, length);
    g_free(contents);
    ++*count;
    return 0;
}

int main(int argc, char **argv)
{
    int failed = 0, count = 0;
    for (int i = 1; i < argc; i++)
        failed += replay(argv[i], &count);
    std::printf("replayed %d inputs, %d unreadable\n", count, failed);
    return failed || count == 0 ? 1 : 0;
}
