// Exhibits: pictures an item's text refers to, written in the text as
// <img src="images/NAME.png" alt="ALTERNATIVE TEXT"/>.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct exhibit_ref {
    std::string src, alt;       // attribute values, escapes decoded
    size_t start = 0, end = 0;  // byte range of the element in the text
};

// Every reference in text, in order.
std::vector<exhibit_ref> exhibit_refs(const char *text);
// text with every reference removed, for showing as markup.
std::string exhibit_strip(const char *text);
