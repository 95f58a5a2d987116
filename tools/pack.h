// trialix-pack, the authoring tool for question files: pack, unpack, show
// and check. The commands live in the library so that tests can run them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

struct question;

// Exit statuses of the tool.
enum { PACK_OK = 0, PACK_PROBLEM = 1, PACK_USAGE = 2 };

// Runs the tool on argv (argv[0] is the program), writing to out and err.
int pack_main(int argc, char **argv, FILE *out, FILE *err);

// s[0..len) as a JSON string; bytes that are not UTF-8 become \u00XX.
std::string json_string(const char *s, size_t len);
// One item as the JSON object that `show --json` prints (no newline).
std::string item_json(const question *q);
