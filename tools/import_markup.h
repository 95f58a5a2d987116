// Question text as authors write it in other question banks (HTML, Moodle
// auto-format, Markdown, plain text), turned into what Trialix shows:
// Pango markup for texts and explanations, one plain line for choices.
#pragma once

#include <cstddef>
#include <map>
#include <string>

enum class text_format { moodle, html, plain, markdown };

// Takes a leading "[moodle]", "[html]", "[plain]" or "[markdown]" (after
// blanks) off s. True when there was one; *format is then set.
bool take_format(std::string *s, text_format *format);

// The images of a bank being imported that sit beside it (in its folder or
// one below it), kept for the exam's images folder.
struct image_keeper {
    std::string bank_dir;
    std::map<std::string, std::string> names;   // file beside the bank: its name under images/
    std::map<std::string, std::string> files;   // name under images/: the file's bytes

    // The reference that shows the image `src` (as the bank names it,
    // entities decoded) with `alt`, or "" when its file isn't beside the
    // bank or isn't a PNG or JPEG image Trialix shows.
    std::string reference(const std::string &src, const std::string &alt);
};

// s as valid Pango markup. Tags Pango knows are kept (b, i, u, s, sub, sup,
// small, big, tt and their HTML synonyms), block tags become line breaks,
// other tags are dropped with their text kept, entities are decoded.
// *images (if given) counts the images replaced by their description;
// with `keeper`, an HTML image it keeps becomes a reference instead.
std::string to_markup(const std::string &s, text_format format, int *images = nullptr,
                      image_keeper *keeper = nullptr);

// HTML as Pango markup (what to_markup does for text_format::html and,
// with newline_breaks, for text_format::moodle).
std::string html_to_markup(const std::string &s, bool newline_breaks, int *images,
                           image_keeper *keeper = nullptr);

// Markdown as Pango markup (what to_markup does for text_format::markdown).
std::string markdown_to_markup(const std::string &s, int *images);

// The text that Pango markup shows, on one line: line breaks and runs of
// blanks become one blank, none at either end.
std::string markup_to_line(const std::string &markup);

// Plain text escaped for Pango markup.
std::string escape_markup(const std::string &s);

// Blanks, tabs and line breaks taken off both ends.
std::string trim(const std::string &s);

// Shared by the converters: a blank of HTML text (blank, tab, line break,
// form feed); the length of the UTF-8 character at s[i]; the character at
// p[0..n) appended to out escaped for markup, control characters other
// than line breaks and tabs dropped.
bool markup_blank(char c);
size_t utf8_length(const std::string &s, size_t i);
void append_escaped(std::string &out, const char *p, size_t n);
