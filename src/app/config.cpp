#include "app/config.h"

#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/dialogs.h"
#include "app/globals.h"
#include "bank/settings.h"

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
    std::optional<std::string> settings_values::*value;   // its value in a settings file
};

const Setting SETTINGS[] = {
    {"examdir", examdir, sizeof examdir, &settings_values::examdir},
    {"examconfig", examconfig, sizeof examconfig, &settings_values::examconfig},
    {"prefix", prefix, sizeof prefix, &settings_values::prefix},
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

bool config_xdg_load(const char *user_dir, const char *const *system_dirs,
                     const char *documents_dir)
{
    settings_values values;
    bool found = settings_find(user_dir, system_dirs, &values);
    for (const std::string &problem : values.problems)
        std::fprintf(stderr, "trialix: %s\n", problem.c_str());
    if (!found)
        return false;
    for (const Setting &s : SETTINGS) {
        const std::optional<std::string> &value = values.*s.value;
        if (value)
            take_value(values.path.c_str(), s.name, value->c_str(), s.global, s.size);
    }
    results_database = values.database.value_or("");
    if (documents_dir)
        take_value("documents folder", "savedir", documents_dir, savedir, sizeof savedir);
    return true;
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
