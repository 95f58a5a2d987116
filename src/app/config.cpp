#include "app/config.h"

#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/dialogs.h"
#include "app/globals.h"
#include "bank/buffer.h"

#ifdef _WIN32
#include "app/reg2.h"
#endif

const char CONFIG_MISSING_TEXT[] =
    "Can't find a valid entry in the registry\n\nFalling back to default values\n\n"
    "Check your installation\n\n";

namespace {

// The three settings and the globals they replace, in reading order.
struct Setting {
    const char *name;
    char *global;
    gsize size;
};

const Setting SETTINGS[] = {
    {"examdir", examdir, sizeof examdir},
    {"examconfig", examconfig, sizeof examconfig},
    {"prefix", prefix, sizeof prefix},
};

} // namespace

// Copies `value` into `global` when it fits; otherwise keeps the global's
// value and says so on standard error.
static void take_value(const char *source, const char *name, const char *value,
                       char *global, gsize size)
{
    if (strlen(value) < size) {
        g_strlcpy(global, value, size);
        return;
    }
    std::fprintf(stderr, "trialix: %s: %s is longer than %u characters; keeping \"%s\"\n",
                 source, name, unsigned(size - 1), global);
}

#ifdef _WIN32

static const char SETTINGS_KEY[] = "Software\\Trialix";
static const char SHELL_FOLDERS_KEY[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Reads one registry value into `global` when it is there, fits the
// 80-byte read and fits the global; otherwise the global keeps its value.
static void read_into(HKEY hive, const char *key, const char *name, char *global, gsize size)
{
    char buffer[256];
    if (ReadStringValue(hive, key, name, buffer) == 1)
        take_value(key, name, buffer, global, size);
}

void config_windows(void)
{
    if (KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY) == 0) {
        installation_warning(CONFIG_MISSING_TEXT);
        return;
    }
    for (const Setting &s : SETTINGS)
        read_into(HKEY_LOCAL_MACHINE, SETTINGS_KEY, s.name, s.global, s.size);
    read_into(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Personal", savedir, sizeof savedir);
}

void trialix_config(void)
{
    config_windows();
}

#else

static const char GROUP[] = "Trialix";

// Loads `path` when it is a settings file with our group. A file that is
// there but can't be used is reported on standard error and passed over.
static GKeyFile *open_settings(const char *path)
{
    std::string text, why;
    int code = 0;
    if (!read_regular_file(path, &text, &why, &code)) {
        if (code != ENOENT)
            std::fprintf(stderr, "trialix: %s: %s\n", path, why.c_str());
        return nullptr;
    }
    GKeyFile *keys = g_key_file_new();
    GError *error = nullptr;
    if (!g_key_file_load_from_data(keys, text.data(), text.size(), G_KEY_FILE_NONE, &error)) {
        std::fprintf(stderr, "trialix: %s: %s\n", path, error->message);
        g_error_free(error);
        g_key_file_free(keys);
        return nullptr;
    }
    if (!g_key_file_has_group(keys, GROUP)) {
        std::fprintf(stderr, "trialix: %s: no [%s] group\n", path, GROUP);
        g_key_file_free(keys);
        return nullptr;
    }
    return keys;
}

// Takes examdir, examconfig and prefix from `keys` into the globals.
static void apply_settings(GKeyFile *keys, const char *path)
{
    for (const Setting &s : SETTINGS) {
        GError *error = nullptr;
        char *value = g_key_file_get_string(keys, GROUP, s.name, &error);
        if (value) {
            take_value(path, s.name, value, s.global, s.size);
            g_free(value);
        } else {
            if (!g_error_matches(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_KEY_NOT_FOUND))
                std::fprintf(stderr, "trialix: %s: %s\n", path, error->message);
            g_error_free(error);
        }
    }
}

bool config_xdg_load(const char *user_dir, const char *const *system_dirs,
                     const char *documents_dir)
{
    GPtrArray *dirs = g_ptr_array_new();
    if (user_dir)
        g_ptr_array_add(dirs, const_cast<char *>(user_dir));
    for (const char *const *d = system_dirs; d && *d; d++)
        g_ptr_array_add(dirs, const_cast<char *>(*d));

    bool found = false;
    for (guint i = 0; i < dirs->len && !found; i++) {
        char *path = g_build_filename(static_cast<const char *>(g_ptr_array_index(dirs, i)),
                                      "trialix", "trialix.conf", nullptr);
        if (GKeyFile *keys = open_settings(path)) {
            apply_settings(keys, path);
            g_key_file_free(keys);
            found = true;
        }
        g_free(path);
    }
    g_ptr_array_free(dirs, TRUE);

    if (found && documents_dir)
        take_value("documents folder", "savedir", documents_dir, savedir, sizeof savedir);
    return found;
}

void config_xdg(void)
{
    if (!config_xdg_load(g_get_user_config_dir(), g_get_system_config_dirs(),
                         g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS)))
        installation_warning(CONFIG_MISSING_TEXT);
}

void trialix_config(void)
{
    config_xdg();
}

#endif
