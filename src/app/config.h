// Installation settings: where the exams are, how their files are named,
// where saved exams go.
#pragma once

// Fills examdir, examconfig, prefix and savedir from the platform's
// settings; shows the settings warning when there are none.
void trialix_config(void);

// The warning shown when no settings are found at all.
extern const char CONFIG_MISSING_TEXT[];

#ifdef _WIN32

// Reads the settings from the registry key "Software\\Trialix" and the
// user's personal folder from the shell folders.
void config_windows(void);

#else

// Looks for trialix/trialix.conf with a [Trialix] group in `user_dir`, then
// in each of `system_dirs` (null-terminated, may be null), and takes the
// first one found: its examdir, examconfig and prefix replace the globals.
// A key that is missing keeps its global; a value too long for its global
// keeps it too and is reported on standard error. When a file was found,
// `savedir` becomes `documents_dir` (when given). Returns whether a file
// was found. Shows nothing.
bool config_xdg_load(const char *user_dir, const char *const *system_dirs,
                     const char *documents_dir);

// config_xdg_load over the XDG configuration directories and documents
// folder; shows the settings warning when no file was found.
void config_xdg(void);

#endif
