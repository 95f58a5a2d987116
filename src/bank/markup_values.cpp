#include "bank/markup_values.h"

#include <glib.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct attr_name {
    const char *name;
    span_attr attr;
};

const attr_name ATTR_NAMES[] = {
    {"font", span_attr::font}, {"font_desc", span_attr::font},
    {"font_family", span_attr::family}, {"face", span_attr::family},
    {"size", span_attr::size}, {"font_size", span_attr::size},
    {"style", span_attr::style}, {"font_style", span_attr::style},
    {"weight", span_attr::weight}, {"font_weight", span_attr::weight},
    {"variant", span_attr::variant}, {"font_variant", span_attr::variant},
    {"stretch", span_attr::stretch}, {"font_stretch", span_attr::stretch},
    {"foreground", span_attr::foreground}, {"fgcolor", span_attr::foreground},
    {"color", span_attr::foreground},
    {"background", span_attr::background}, {"bgcolor", span_attr::background},
    {"alpha", span_attr::alpha}, {"fgalpha", span_attr::alpha},
    {"bgalpha", span_attr::bgalpha},
    {"underline", span_attr::underline}, {"underline_color", span_attr::underline_color},
    {"overline", span_attr::overline}, {"overline_color", span_attr::overline_color},
    {"strikethrough", span_attr::strikethrough},
    {"strikethrough_color", span_attr::strikethrough_color},
    {"rise", span_attr::rise}, {"letter_spacing", span_attr::letter_spacing},
    {"lang", span_attr::lang}, {"fallback", span_attr::fallback},
    {"gravity", span_attr::gravity}, {"gravity_hint", span_attr::gravity_hint},
    {"font_features", span_attr::font_features},
    {"allow_breaks", span_attr::allow_breaks},
    {"insert_hyphens", span_attr::insert_hyphens}, {"show", span_attr::show},
    {"line_height", span_attr::line_height},
    {"text_transform", span_attr::text_transform}, {"segment", span_attr::segment},
    {"baseline_shift", span_attr::baseline_shift}, {"font_scale", span_attr::font_scale},
};

// Colour names; those of the first list also come with the suffixes 1 to 4,
// and gray and grey also with 0 to 100.
const char NUMBERED_COLORS[] =
    " antiquewhite aquamarine azure bisque blue brown burlywood cadetblue"
    " chartreuse chocolate coral cornsilk cyan darkgoldenrod darkolivegreen"
    " darkorange darkorchid darkseagreen darkslategray deeppink deepskyblue"
    " dodgerblue firebrick gold goldenrod green honeydew hotpink indianred ivory"
    " khaki lavenderblush lemonchiffon lightblue lightcyan lightgoldenrod"
    " lightpink lightsalmon lightskyblue lightsteelblue lightyellow magenta"
    " maroon mediumorchid mediumpurple mistyrose navajowhite olivedrab orange"
    " orangered orchid palegreen paleturquoise palevioletred peachpuff pink plum"
    " purple red rosybrown royalblue salmon seagreen seashell sienna skyblue"
    " slateblue slategray snow springgreen steelblue tan thistle tomato turquoise"
    " violetred wheat yellow ";
const char OTHER_COLORS[] =
    " aliceblue beige black blanchedalmond blueviolet cornflowerblue darkblue"
    " darkcyan darkgray darkgreen darkgrey darkkhaki darkmagenta darkred"
    " darksalmon darkslateblue darkslategrey darkturquoise darkviolet dimgray"
    " dimgrey floralwhite forestgreen gainsboro ghostwhite gray greenyellow grey"
    " lavender lawngreen lightcoral lightgoldenrodyellow lightgray lightgreen"
    " lightgrey lightseagreen lightslateblue lightslategray lightslategrey"
    " limegreen linen mediumaquamarine mediumblue mediumseagreen mediumslateblue"
    " mediumspringgreen mediumturquoise mediumvioletred midnightblue mintcream"
    " moccasin navy navyblue oldlace palegoldenrod papayawhip peru powderblue"
    " saddlebrown sandybrown slategrey violet white whitesmoke yellowgreen"
    " crimson indigo olive rebeccapurple silver teal aqua fuchsia lime ";

bool in_list(const char *list, const std::string &word)
{
    return strstr(list, (" " + word + " ").c_str()) != nullptr;
}

// A whole decimal integer that fits an int, blanks allowed before it.
bool whole_int(const char *s, long *out)
{
    char *end = nullptr;
    errno = 0;
    long v = strtol(s, &end, 10);
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX || *end != '\0')
        return false;
    *out = v;
    return true;
}

// An enumeration: one of its names, or a whole number from 0 on.
bool enum_value(const char *s, const char *const *names, int *number = nullptr)
{
    for (; *names; ++names)
        if (strcmp(s, *names) == 0)
            return true;
    char *end = nullptr;
    errno = 0;
    long v = strtol(s, &end, 10);
    if (end == s || *end != '\0' || errno == ERANGE || v < 0 || v > INT_MAX)
        return false;
    if (number)
        *number = (int)v;
    return true;
}

// Font style, weight, variant and stretch: names compared without regard
// to case, where a '-' of the name may be left out, or a whole number.
bool font_field(const char *s, const char *const *names)
{
    size_t len = strlen(s);
    if (len == 0)
        return false;
    for (; *names; ++names) {
        const char *n = *names;
        size_t i = 0;
        while (i < len && *n) {
            if (g_ascii_tolower(*n) == g_ascii_tolower(s[i])) {
                ++n;
                ++i;
            } else if (*n == '-') {
                ++n;
            } else {
                break;
            }
        }
        if (i == len && *n == '\0')
            return true;
    }
    char *end = nullptr;
    errno = 0;
    long v = strtol(s, &end, 10);
    return end != s && *end == '\0' && errno != ERANGE && v >= 0 && v <= INT_MAX;
}

bool color_name(const char *s)
{
    std::string name;
    for (const char *p = s; *p; ++p) {
        if (*p == ' ') {
            // Blanks are skipped before a letter, never at the end.
            if (!p[strspn(p, " ")])
                return false;
            continue;
        }
        name += g_ascii_tolower(*p);
    }
    if (name.empty())
        return false;
    if (in_list(OTHER_COLORS, name) || in_list(NUMBERED_COLORS, name))
        return true;
    size_t digits = name.find_first_of("0123456789");
    if (digits == std::string::npos || name.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    std::string base = name.substr(0, digits), number = name.substr(digits);
    if (base == "gray" || base == "grey")
        return number == "0" || (number[0] != '0' && number.size() <= 3 && atoi(number.c_str()) <= 100);
    return number.size() == 1 && number[0] >= '1' && number[0] <= '4' && in_list(NUMBERED_COLORS, base);
}

bool color(const char *s, bool with_alpha)
{
    if (*s != '#')
        return color_name(s);
    size_t n = strlen(s + 1);
    if (strspn(s + 1, "0123456789abcdefABCDEF") != n)
        return false;
    if (n == 3 || n == 6 || n == 9 || n == 12)
        return true;
    return with_alpha && (n == 4 || n == 8 || n == 16);
}

// An opacity: 1 to 65535, or a percentage from 1 to 100.
bool alpha(const char *s)
{
    char *end = nullptr;
    errno = 0;
    long v = strtol(s, &end, 10);
    if (errno == ERANGE)
        return false;
    if (strcmp(end, "%") == 0)
        return v > 0 && v <= 100;
    return *end == '\0' && v > 0 && v <= 65535;
}

bool boolean(const char *s)
{
    static const char *const NAMES[] = {"true", "yes", "t", "y", "false", "no", "f", "n", nullptr};
    for (const char *const *n = NAMES; *n; ++n)
        if (strcmp(s, *n) == 0)
            return true;
    return false;
}

bool show_flags(const char *s)
{
    static const char *const NAMES[] = {"none", "spaces", "line-breaks", "ignorables", nullptr};
    if (*s == '\0' || enum_value(s, NAMES))
        return true;
    gchar **parts = g_strsplit(s, "|", -1);
    bool ok = true;
    for (gchar **p = parts; *p && ok; ++p) {
        g_strstrip(*p);
        ok = enum_value(*p, NAMES) && g_ascii_isalpha(**p);
    }
    g_strfreev(parts);
    return ok;
}

bool size(const char *s)
{
    static const char *const NAMES[] = {"xx-small", "x-small", "small", "medium", "large",
                                        "x-large", "xx-large", "smaller", "larger", nullptr};
    int units = 0;
    if (markup_length(s, &units) && units > 0)
        return true;
    char *end = nullptr;
    double v = g_ascii_strtod(s, &end);
    if (errno == 0 && strcmp(end, "%") == 0 && v > 0)
        return true;
    for (const char *const *n = NAMES; *n; ++n)
        if (strcmp(s, *n) == 0)
            return true;
    return false;
}

} // namespace

bool markup_length(const char *value, int *units)
{
    long whole = 0;
    if (whole_int(value, &whole)) {
        *units = (int)whole;
        return true;
    }
    char *end = nullptr;
    double points = g_ascii_strtod(value, &end);
    if (errno != 0 || strcmp(end, "pt") != 0)
        return false;
    // A size out of the int range turns into the least int, as in Pango.
    double v = points * 1024;
    *units = v > -2147483649.0 && v < 2147483648.0 ? (int)v : INT_MIN;
    return true;
}

bool span_attr_by_name(const char *name, span_attr *attr)
{
    for (const attr_name &a : ATTR_NAMES)
        if (strcmp(a.name, name) == 0) {
            *attr = a.attr;
            return true;
        }
    return false;
}

bool span_value_ok(span_attr attr, const char *value)
{
    static const char *const STYLES[] = {"Normal", "Oblique", "Italic", nullptr};
    static const char *const WEIGHTS[] = {
        "Normal", "Thin", "Ultra-Light", "Extra-Light", "Light", "Semi-Light", "Demi-Light",
        "Book", "Regular", "Medium", "Semi-Bold", "Demi-Bold", "Bold", "Ultra-Bold",
        "Extra-Bold", "Heavy", "Black", "Ultra-Heavy", "Extra-Heavy", "Ultra-Black",
        "Extra-Black", nullptr};
    static const char *const VARIANTS[] = {"Normal", "Small-Caps", "All-Small-Caps", "Petite-Caps",
                                           "All-Petite-Caps", "Unicase", "Title-Caps", nullptr};
    static const char *const STRETCHES[] = {
        "Normal", "Ultra-Condensed", "Extra-Condensed", "Condensed", "Semi-Condensed",
        "Semi-Expanded", "Expanded", "Extra-Expanded", "Ultra-Expanded", nullptr};
    static const char *const UNDERLINES[] = {"none", "single", "double", "low", "error",
                                             "single-line", "double-line", "error-line", nullptr};
    static const char *const OVERLINES[] = {"none", "single", nullptr};
    static const char *const GRAVITIES[] = {"south", "east", "north", "west", "auto", nullptr};
    static const char *const HINTS[] = {"natural", "strong", "line", nullptr};
    static const char *const TRANSFORMS[] = {"none", "lowercase", "uppercase", "capitalize", nullptr};
    static const char *const SCALES[] = {"none", "superscript", "subscript", "small-caps", nullptr};
    static const char *const SHIFTS[] = {"none", "superscript", "subscript", nullptr};
    enum { GRAVITY_AUTO = 4 };
    long whole = 0;
    int number = -1, units = 0;

    switch (attr) {
    case span_attr::font:
    case span_attr::family:
    case span_attr::lang:
    case span_attr::font_features:
    case span_attr::count:
        return true;
    case span_attr::line_height:
        // Any text reads as a number; only one out of range is refused.
        g_ascii_strtod(value, nullptr);
        return errno == 0;
    case span_attr::size: return size(value);
    case span_attr::style: return font_field(value, STYLES);
    case span_attr::weight: return font_field(value, WEIGHTS);
    case span_attr::variant: return font_field(value, VARIANTS);
    case span_attr::stretch: return font_field(value, STRETCHES);
    case span_attr::foreground:
    case span_attr::background: return color(value, true);
    case span_attr::underline_color:
    case span_attr::overline_color:
    case span_attr::strikethrough_color: return color(value, false);
    case span_attr::alpha:
    case span_attr::bgalpha: return alpha(value);
    case span_attr::underline: return enum_value(value, UNDERLINES);
    case span_attr::overline: return enum_value(value, OVERLINES);
    case span_attr::strikethrough:
    case span_attr::fallback:
    case span_attr::allow_breaks:
    case span_attr::insert_hyphens: return boolean(value);
    case span_attr::rise: return markup_length(value, &units);
    case span_attr::letter_spacing: return whole_int(value, &whole);
    case span_attr::gravity:
        return enum_value(value, GRAVITIES, &number) && number != GRAVITY_AUTO
               && strcmp(value, "auto") != 0;
    case span_attr::gravity_hint: return enum_value(value, HINTS);
    case span_attr::show: return show_flags(value);
    case span_attr::text_transform: return enum_value(value, TRANSFORMS);
    case span_attr::segment: return strcmp(value, "word") == 0 || strcmp(value, "sentence") == 0;
    case span_attr::font_scale: return enum_value(value, SCALES);
    case span_attr::baseline_shift:
        // Small lengths would read as the names' numbers, so a length must
        // be more than a point either way.
        return enum_value(value, SHIFTS)
               || (markup_length(value, &units) && (units > 1024 || units < -1024));
    }
    return false;
}
