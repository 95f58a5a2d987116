// Runs trialix-pack in the test process and collects what it prints.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/pack.h"

struct result {
    int status;
    std::string out, err;
};

// Runs the tool with args (without the program name); `tool` is the
// command's entry point.
inline result run(std::vector<std::string> args,
                  int (*tool)(int, char **, FILE *, FILE *) = pack_main)
{
    args.insert(args.begin(), "trialix-pack");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(&a[0]);
    FILE *out = tmpfile(), *err = tmpfile();
    int status = tool((int)argv.size(), argv.data(), out, err);
    auto slurp = [](FILE *f) {
        std::string s;
        rewind(f);
        for (int c; (c = fgetc(f)) != EOF;)
            s += (char)c;
        fclose(f);
        return s;
    };
    return {status, slurp(out), slurp(err)};
}

// True when out holds a line that begins with `line`.
inline bool has_line(const std::string &out, const std::string &line)
{
    return ("\n" + out).find("\n" + line) != std::string::npos;
}
