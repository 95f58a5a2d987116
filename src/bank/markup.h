// Checks of the markup that exam texts are shown with, using GLib only so
// that the authoring tool can check texts without a display library. The
// rules follow those of Pango 1.50: the text is wrapped in a <markup>
// element, the elements are b, big, i, s, span, sub, sup, small, tt, u and
// markup, and only span takes attributes.
#pragma once

#include <glib.h>

#include <string>

// Bounds beyond which valid markup is refused by markup_is_safe: larger
// sizes and offsets make a window the X server can't give a pixmap to.
// Sizes are in points; a plain text is taken to start at the nominal size.
constexpr double MARKUP_NOMINAL_POINTS = 10.0;   // size of unmarked text
constexpr double MARKUP_MAX_POINTS = 200.0;      // effective font size
constexpr double MARKUP_MAX_OFFSET_POINTS = 200.0; // rise, baseline shift, letter spacing
constexpr double MARKUP_MAX_LINE_HEIGHT_POINTS = 400.0; // absolute line height
constexpr double MARKUP_MAX_LINE_HEIGHT_FACTOR = 10.0;  // line height as a factor
// The whole text, laid out, stays within a square of this many pixels on a
// screen of up to 120 dots per inch, which leaves room for the rest of the
// window within 4096 pixels. A text that markup makes larger than that and
// than its plain text would be is refused.
constexpr double MARKUP_MAX_PIXELS = 3584.0;
constexpr double MARKUP_PIXELS_PER_POINT = 120.0 / 72.0;
// The start form shows the title above the message: they share the height.
constexpr double MARKUP_MAX_TITLE_HEIGHT = 1024.0;
constexpr double MARKUP_MAX_MESSAGE_HEIGHT = MARKUP_MAX_PIXELS - MARKUP_MAX_TITLE_HEIGHT;

// An upper bound of the space a text takes when shown, in pixels: as marked
// up, and as its plain text at the nominal size.
struct markup_extent {
    double width = 0, height = 0;
    double plain_width = 0, plain_height = 0;
};

// True when Pango would accept text as markup; otherwise *error
// (TRIALIX_ERROR_MARKUP) says why in one line.
bool markup_is_valid(const char *text, GError **error);

// The text that valid markup shows: entities decoded, tags dropped. False,
// with *plain untouched and *error set as markup_is_valid sets it, when
// the markup is not valid.
bool markup_plain_text(const char *text, std::string *plain, GError **error);

// True when text is valid markup whose sizes, offsets and extent stay
// within the bounds above, its height within max_height pixels; otherwise
// *error says why: TRIALIX_ERROR_MARKUP as markup_is_valid, or
// TRIALIX_ERROR_UNSAFE_MARKUP.
bool markup_is_safe(const char *text, double max_height, GError **error);

// The extent of valid markup; false, with *extent untouched and *error set
// as markup_is_valid sets it, when it is not valid.
bool markup_extent_of(const char *text, markup_extent *extent, GError **error);
