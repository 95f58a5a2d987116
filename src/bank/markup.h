// Checks of the markup that exam texts (titles, messages, questions,
// explanations) are shown with.
#pragma once

#include <string>

// True when text is valid Pango markup; otherwise *why (if given) says why.
bool markup_is_valid(const char *text, std::string *why = nullptr);
