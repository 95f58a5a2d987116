// A small XML document read into memory with GLib's GMarkup: elements,
// their attributes and text. Safe on any input: no document type
// declaration, no entity but XML's five and character references, nothing
// fetched, bounded depth, linear time in the input.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct xml_element {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;   // the text directly inside, CDATA included, joined
    std::vector<xml_element> children;
    int line = 0;       // where its start tag stands

    // The first child named `name`, or none.
    const xml_element *child(const char *name) const;
    // The attribute's value, or "" when it has none.
    std::string attribute(const char *name) const;
    // The text of the child `name`'s <text> child (Moodle's way of holding
    // a text), or of the child itself when it has none; "" without the child.
    std::string text_of(const char *name) const;
};

enum {
    XML_MAX_DEPTH = 32,                  // elements inside one another
};
// Most one element's text may hold (an embedded picture is the largest).
constexpr size_t XML_MAX_TEXT = 16u * 1024 * 1024;

// Reads the document in data (UTF-8) into *root; false with *why (one
// line, with the place) when it is not well-formed or breaks a rule above.
bool xml_read(const std::string &data, xml_element *root, std::string *why);
