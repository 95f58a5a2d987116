// An upper bound of the space a marked-up text takes when laid out (used by
// bank/markup.cpp only). The core can't ask Pango, so every character is
// taken at the largest size and width it could be given, with generous
// widths per glyph, and every offset at its full length.
#pragma once

#include <cstddef>

// What the elements around a piece of text do to it. Sizes and lengths are
// in points; reductions are never counted, so each value is at least what
// Pango uses.
struct text_style {
    double points;           // the innermost absolute size
    double factor = 1;       // the product of the enlargements around it
    double spacing = 0;      // letter spacing, either way
    double shift = 0;        // rise and baseline shift, summed either way
    int raised = 0;          // superscript and subscript levels
    double line_factor = 1;  // line height as a factor of the font's
    double line_points = 0;  // line height as a length
    bool rotated = false;    // a gravity that turns the glyphs
    bool transformed = false; // case changes: one character may become three

    explicit text_style(double nominal) : points(nominal) {}
    double size() const { return points * factor; }
};

// Widths and heights of the glyphs of one em of the font's size. Measured
// with the DejaVu families and their fallbacks (the widest glyph, a lone
// combining mark on a dotted circle, takes 2.5 em; the tallest line 1.6
// em); other fonts are rarely wider.
constexpr double GLYPH_EM_ASCII = 1.25;   // printable ASCII and the blank
constexpr double GLYPH_EM_LATIN = 2.0;    // Latin, Greek, Cyrillic, combining marks
constexpr double GLYPH_EM_OTHER = 3.0;    // everything else, control boxes too
constexpr double GLYPH_EM_TAB = 8.0;      // a tab stop: eight blanks of the first character's font
constexpr double LINE_EM = 2.0;           // height of a line
constexpr double RAISE_EM = 1.0;          // shift of a superscript or subscript

// Sums the widths of a text's lines and the heights of its lines.
class extent_bound {
public:
    // Every line is at least as tall as one of the nominal size: the
    // label's own font gives a line that markup makes smaller.
    explicit extent_bound(double nominal) : floor(nominal * LINE_EM), line_height(floor) {}
    // Adds UTF-8 text shown in style s.
    void add(const text_style &s, const char *text, size_t len);
    // Notes the style of an element: a tab stop is set by the font at the
    // text's start, which an empty element there may give.
    void note_start(const text_style &s);
    // The extent in points, the last line included.
    double width() const;
    double height() const;

private:
    void add_char(const text_style &s, unsigned int c);
    void end_line();

    double floor;
    double first_size = 0;   // largest size at the start of the text
    bool started = false;    // a character has been seen
    double widest = 0;       // the widest line ended so far
    double total = 0;        // the heights of the lines ended so far
    double line_width = 0;   // the line being added to, without its tabs
    int line_tabs = 0;
    double line_height = 0;  // its tallest glyph
    double line_shift = 0;   // its largest shift
};
