// One row of the table that scripts/bench prints. Every benchmark prints
// its rows to standard output as lines "ROW|figure|value|baseline|ratio|
// goal|met", which the script gathers; anything else it prints is shown
// as it is.
#pragma once

#include <cstdio>
#include <string>

namespace bench {

// A number for the table, with `digits` after the point.
inline std::string fixed(double v, int digits = 2)
{
    char s[64];
    snprintf(s, sizeof s, "%.*f", digits, v);
    return s;
}

inline void row(const std::string &figure, const std::string &value, const std::string &baseline,
                const std::string &ratio, const std::string &goal, const std::string &met)
{
    printf("ROW|%s|%s|%s|%s|%s|%s\n", figure.c_str(), value.c_str(), baseline.c_str(),
           ratio.c_str(), goal.c_str(), met.c_str());
    fflush(stdout);
}

inline const char *yes_no(bool met)
{
    return met ? "yes" : "NO";
}

} // namespace bench
