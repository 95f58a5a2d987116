#include "bank/settings.h"

#include <glib.h>

#include <vector>

#include "bank/buffer.h"
#include "bank/error.h"
#include "bank/glib_ptr.h"
#include "bank/history.h"

static const char GROUP[] = "Trialix";

// Loads `path` when it is a settings file with our group. A file that is
// there but can't be used is added to *problems and passed over.
static gkeyfile_ptr open_settings(const char *path, std::vector<std::string> *problems)
{
    std::string text;
    gerror_ptr why;
    if (!read_regular_file(path, &text, MAX_CONFIG_FILE, out_error(why))) {
        if (!g_error_matches(why.get(), TRIALIX_ERROR, TRIALIX_ERROR_MISSING))
            problems->push_back(std::string(path) + ": " + why->message);
        return nullptr;
    }
    gkeyfile_ptr keys(g_key_file_new());
    gerror_ptr error;
    if (!g_key_file_load_from_data(keys.get(), text.data(), text.size(), G_KEY_FILE_NONE,
                                   out_error(error))) {
        problems->push_back(std::string(path) + ": " + error->message);
        return nullptr;
    }
    if (!g_key_file_has_group(keys.get(), GROUP)) {
        problems->push_back(std::string(path) + ": no [" + GROUP + "] group");
        return nullptr;
    }
    return keys;
}

static std::optional<std::string> read_value(GKeyFile *keys, const char *path, const char *name,
                                             std::vector<std::string> *problems)
{
    gerror_ptr error;
    gchar_ptr value(g_key_file_get_string(keys, GROUP, name, out_error(error)));
    if (value)
        return std::string(value.get());
    if (!g_error_matches(error.get(), G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_KEY_NOT_FOUND))
        problems->push_back(std::string(path) + ": " + error->message);
    return std::nullopt;
}

// A leading "~/" (or a lone "~") stands for the home folder, as people
// write it in settings files; other '~' are taken as they are.
static std::string home_expanded(const std::string &dir)
{
    if (dir == "~")
        return g_get_home_dir();
    if (dir.compare(0, 2, "~/") == 0) {
        gchar_ptr full(g_build_filename(g_get_home_dir(), dir.c_str() + 2, nullptr));
        return full.get();
    }
    return dir;
}

bool settings_find(const char *user_dir, const char *const *system_dirs, settings_values *out)
{
    std::vector<const char *> dirs;
    if (user_dir)
        dirs.push_back(user_dir);
    for (const char *const *d = system_dirs; d && *d; d++)
        dirs.push_back(*d);

    for (const char *dir : dirs) {
        gchar_ptr path(g_build_filename(dir, "trialix", "trialix.conf", nullptr));
        gkeyfile_ptr keys = open_settings(path.get(), &out->problems);
        if (!keys)
            continue;
        out->path = path.get();
        out->examdir = read_value(keys.get(), path.get(), "examdir", &out->problems);
        if (out->examdir)
            *out->examdir = home_expanded(*out->examdir);
        out->examconfig = read_value(keys.get(), path.get(), "examconfig", &out->problems);
        out->prefix = read_value(keys.get(), path.get(), "prefix", &out->problems);
        out->database = read_value(keys.get(), path.get(), "database", &out->problems);
        if (out->database && !out->database->empty())
            *out->database = history_server_setting(*out->database);
        return true;
    }
    return false;
}
