// The installation settings file (trialix/trialix.conf with a [Trialix]
// group) of the XDG configuration folders.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The values one settings file gives; a key that is missing stays none.
struct settings_values {
    std::string path;   // the file they come from
    std::optional<std::string> examdir;
    std::optional<std::string> examconfig;
    std::optional<std::string> prefix;
    // The results history's server: `database` as a libpq connection
    // string (a service name given alone becomes "service=NAME").
    std::optional<std::string> database;
    // What was passed over on the way, one "PATH: why" each, in the order
    // met, for the caller to report: files that are there but can't be
    // used, values that can't be read.
    std::vector<std::string> problems;
};

// Looks for trialix/trialix.conf with a [Trialix] group in `user_dir`, then
// in each of `system_dirs` (null-terminated, may be null), and takes the
// first one found. A file that is there but can't be used, and a value
// that can't be read, are passed over and noted in out->problems.
// A leading "~/" in examdir is the home folder. Returns whether a file was
// found.
bool settings_find(const char *user_dir, const char *const *system_dirs, settings_values *out);
