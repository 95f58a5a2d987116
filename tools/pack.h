// trialix-pack, the authoring tool for question files: pack, unpack, show,
// check and import. The commands live in the library so that tests can run them.
#pragma once

#include <glib.h>

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct question;
struct load_error;

// Exit statuses of the tool.
enum { PACK_OK = 0, PACK_PROBLEM = 1, PACK_USAGE = 2 };

// Runs the tool on argv (argv[0] is the program), writing to out and err.
int pack_main(int argc, char **argv, FILE *out, FILE *err);

// Prints the tool's usage on out; returns PACK_OK.
int pack_help(FILE *out);
// True when a command's arguments (argv[2] on, up to "--") ask for help
// ("--help" or "-h"): every command answers it with the usage.
bool asks_help(int argc, char **argv);
// Prints a usage error on err; returns PACK_USAGE.
int pack_usage(FILE *err, const std::string &what);
// The value of an option given as "--name VALUE" or "--name=VALUE" at
// argv[*i] (advancing *i past a separate value); false when argv[*i] is
// not that option. *value is none when the value is missing.
bool option_value(int argc, char **argv, int *i, const char *name, const char **value);
// Takes "--prefix P" or "--config NAME" at argv[*i]: 1 when taken, 0 when
// argv[*i] is neither, -1 when its value is bad (the usage error printed).
int exam_option(int argc, char **argv, int *i, const char **prefix, const char **config, FILE *err);
// The arguments of a command from argv[2] on: --prefix and --config, the
// command's own options through `option` (if given: 1 taken, 0 not its
// option, -1 bad with the usage error printed; it may advance *i past a
// value), "--" ending the options, the rest into *args. False after a
// usage error.
bool command_args(int argc, char **argv, FILE *err, const char **prefix, const char **config,
                  const std::function<int(int *)> &option, std::vector<const char *> *args);
// Runs `trialix-pack check ...` (argv[1] is "check").
int check_main(int argc, char **argv, FILE *out, FILE *err);
// Why a question file could not be loaded, as the tool reports it.
std::string load_problem(const GError *e);
// Runs the checks of `check` on an exam directory, printing what it finds
// to out. True when nothing needs fixing.
bool check_exam_dir(FILE *out, const char *dir, const char *prefix, const char *config);

// s[0..len) as a JSON string; bytes that are not UTF-8 become \u00XX.
std::string json_string(const char *s, size_t len);
// One item as the JSON object that `show --json` prints (no newline);
// `keep_order`: its head line asks to keep its choices' order.
std::string item_json(const question *q, bool keep_order);
