#include "bank/markup_extent.h"

#include <glib.h>

#include <algorithm>

namespace {

double glyph_em(unsigned int c, bool transformed)
{
    if (c >= 0x20 && c < 0x7f)
        return GLYPH_EM_ASCII;
    // A case change turns one character into up to three (U+0390 into
    // three letters, ß into SS); ASCII letters stay one.
    double times = transformed ? 3 : 1;
    return times * (c >= 0xa0 && c < 0x530 ? GLYPH_EM_LATIN : GLYPH_EM_OTHER);
}

// The height a glyph of style s asks of its line, its shift aside.
double glyph_height(const text_style &s, double em)
{
    double h = s.size() * LINE_EM * std::max(1.0, s.line_factor);
    if (s.rotated)
        h = std::max(h, s.size() * em);
    return std::max(h, s.line_points);
}

double glyph_shift(const text_style &s)
{
    return s.shift + s.raised * RAISE_EM * s.size();
}

} // namespace

void extent_bound::note_start(const text_style &s)
{
    if (!started)
        first_size = std::max(first_size, s.size());
}

void extent_bound::end_line()
{
    widest = std::max(widest, line_width + line_tabs * GLYPH_EM_TAB * first_size);
    // A shift moves a run up or down, so it can add to either side.
    total += line_height + 2 * line_shift;
    line_width = 0;
    line_tabs = 0;
    line_height = floor;
    line_shift = 0;
}

void extent_bound::add_char(const text_style &s, unsigned int c)
{
    note_start(s);
    started = true;
    double em = glyph_em(c, s.transformed);
    double height = glyph_height(s, em), shift = glyph_shift(s);
    if (s.rotated)
        em = std::max(em, LINE_EM);
    line_height = std::max(line_height, height);
    line_shift = std::max(line_shift, shift);
    if (c == '\n' || c == 0x2029) {
        // Its style gives the height of the lines on either side.
        end_line();
        line_height = std::max(floor, height);
        line_shift = shift;
        return;
    }
    if (c == '\t') {
        ++line_tabs;
        line_width += s.spacing;
        return;
    }
    line_width += s.size() * em + s.spacing;
    // Breaks that a label may or may not make: counted as a glyph of the
    // line and as a line of their own.
    if (c == '\r' || c == 0x85 || c == 0x2028)
        total += height + 2 * shift;
}

void extent_bound::add(const text_style &s, const char *text, size_t len)
{
    const char *end = text + len;
    for (const char *p = text; p < end; p = g_utf8_next_char(p))
        add_char(s, g_utf8_get_char(p));
}

double extent_bound::width() const
{
    return std::max(widest, line_width + line_tabs * GLYPH_EM_TAB * first_size);
}

double extent_bound::height() const
{
    return total + line_height + 2 * line_shift;
}
