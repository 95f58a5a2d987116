// Where in an exam text a markup fault stands (used by bank/markup.cpp
// only). The text is parsed inside a "<markup>" element of its own, and
// GMarkup counts bytes: on the first line from 1 at the start of what it
// was given, on every later line from 2 (the line break is the line's
// first). An author needs the character of the text itself.
#pragma once

#include <string>

// Length of the element the text is wrapped in before parsing: "<markup>".
constexpr int MARKUP_WRAPPER_LENGTH = 8;

// The place where GMarkup stopped (its `line` and `chr`) in `text`:
// "line L, column C", counting characters from 1, or "at the end of the
// text" when it stopped past it (an element left open). `in_tag`: the stop
// is just after a start tag's '>'. A stop on a tag's '>' is placed at the
// tag's '<', and one on the character after a '<' that begins no tag at
// that '<'.
std::string markup_place(const char *text, int line, int chr, bool in_tag);

// GMarkup's error message, which begins with the place in the wrapped
// text ("Error on line 1 char 12: "), with the place in `text` instead;
// one that gives a line alone (a bad entity: "Error on line 1: ") gets the
// column of the first '&' on that line that begins no entity. A message in
// neither form is returned as it is.
std::string markup_error_text(const char *text, const char *message, int line, int chr);
