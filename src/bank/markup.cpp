#include "bank/markup.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bank/error.h"
#include "bank/glib_ptr.h"
#include "bank/markup_extent.h"
#include "bank/markup_place.h"
#include "bank/markup_values.h"

namespace {

constexpr double PANGO_UNITS = 1024;   // units of a point in sizes and offsets
constexpr double SCALE_STEP = 1.2;     // one step of big and larger

struct markup_parse {
    std::string *plain = nullptr;       // collects the text when wanted
    bool check_safe = false;
    std::string unsafe;                 // the first reason found, if any
    const char *text = "";              // the text being parsed
    std::vector<text_style> styles{text_style(MARKUP_NOMINAL_POINTS)};
    // The text as marked up, and plain.
    extent_bound marked{MARKUP_NOMINAL_POINTS}, unmarked{MARKUP_NOMINAL_POINTS};
};

const char *const PLAIN_ELEMENTS[] = {"b", "big", "i", "s", "sub", "sup", "small", "tt", "u", "markup"};

// Raised in a start tag: the place is the tag's.
void set_error(GMarkupParseContext *context, GError **error, GMarkupError code, const std::string &what)
{
    int line = 0, chr = 0;
    g_markup_parse_context_get_position(context, &line, &chr);
    auto *p = static_cast<const markup_parse *>(g_markup_parse_context_get_user_data(context));
    g_set_error(error, G_MARKUP_ERROR, code, "%s: %s",
                markup_place(p->text, line, chr, true).c_str(), what.c_str());
}

void note_unsafe(markup_parse *p, const std::string &why)
{
    if (p->unsafe.empty())
        p->unsafe = why;
}

std::string points_text(double points)
{
    char buf[G_ASCII_DTOSTR_BUF_SIZE];
    return g_ascii_formatd(buf, sizeof buf, "%.4g", points);
}

void check_offset(markup_parse *p, const char *name, double points)
{
    if (!(std::fabs(points) <= MARKUP_MAX_OFFSET_POINTS))
        note_unsafe(p, std::string(name) + " of " + points_text(points) + " points is beyond "
                           + points_text(MARKUP_MAX_OFFSET_POINTS));
}

// A number as a font description's size: points, or pixels with "px".
bool desc_number(const std::string &word, double *value)
{
    char *end = nullptr;
    double v = g_ascii_strtod(word.c_str(), &end);
    if (word.empty() || end == word.c_str() || (*end && strcmp(end, "px") != 0))
        return false;
    *value = std::fabs(v);
    return true;
}

// The size a font description sets, in points (pixels counted as points,
// which is more on any screen of 72 dots per inch or more). As Pango reads
// it, the size is the last word, blanks at the end aside, before a word of
// variations ("@wght=200"); then it replaces the size around it. Any other
// number might pass for a size, so the largest of them is kept when it is
// larger.
void apply_font_desc(const char *desc, text_style *style)
{
    std::string d = desc;
    for (int pass = 0; pass < 2; ++pass) {
        d.erase(d.find_last_not_of(" \t\n\r\f\v") + 1);
        size_t cut = d.find_last_of(" \t\n\r\f\v,");
        std::string last = d.substr(cut == std::string::npos ? 0 : cut + 1);
        double size = 0;
        if (pass == 0 && !last.empty() && last[0] == '@') {
            d.erase(cut == std::string::npos ? 0 : cut);
            continue;
        }
        // Pango takes "+10", "0x10" or "10," for no size, or other ones.
        size_t digits = last.size() - (g_str_has_suffix(last.c_str(), "px") ? 2 : 0);
        bool plain_number = (g_ascii_isdigit(last[0]) || last[0] == '.')
                            && strspn(last.c_str(), "0123456789.eE+-") == digits;
        if (plain_number && desc_number(last, &size)) {
            style->points = size;
            return;
        }
        break;
    }
    gchar **words = g_strsplit_set(desc, " \t\n\r\f\v,", -1);
    for (gchar **w = words; *w; ++w) {
        double size = 0;
        if (desc_number(*w, &size) && !(size <= style->points))
            style->points = size;
    }
    g_strfreev(words);
    // Small capitals are made of capitals.
    gchar *lower = g_ascii_strdown(desc, -1);
    if (strstr(lower, "caps") || strstr(lower, "unicase"))
        style->transformed = true;
    g_free(lower);
}

void check_line_height(markup_parse *p, const char *value)
{
    double v = g_ascii_strtod(value, nullptr);
    const char *digits = value + strspn(value, " \t\n\r\f\v+");
    bool whole = *digits && strspn(digits, "0123456789") == strlen(digits);
    // Up to a point's units the value is a factor of the font's height,
    // above it a height in units if it is written as a whole number.
    if (std::fabs(v) <= MARKUP_MAX_LINE_HEIGHT_FACTOR)
        return;
    if (whole && v > PANGO_UNITS && v / PANGO_UNITS <= MARKUP_MAX_LINE_HEIGHT_POINTS)
        return;
    note_unsafe(p, std::string("line height of ") + value + " is beyond "
                       + points_text(MARKUP_MAX_LINE_HEIGHT_FACTOR) + " times the font or "
                       + points_text(MARKUP_MAX_LINE_HEIGHT_POINTS) + " points");
}

// The enlargement a named size or a percentage gives: a scale of the size
// around it. Reductions are not counted.
double size_factor(const char *value)
{
    static const char *const LARGER[] = {"large", "x-large", "xx-large"};
    if (strcmp(value, "larger") == 0)
        return SCALE_STEP;
    for (int i = 0; i < 3; ++i)
        if (strcmp(value, LARGER[i]) == 0)
            return pow(SCALE_STEP, i + 1);
    if (strchr(value, '%')) {
        double v = g_ascii_strtod(value, nullptr) / 100;
        return v > 1 || std::isnan(v) ? v : 1;
    }
    return 1;
}

bool named_or_zero(const char *value, const char *name)
{
    return g_ascii_strcasecmp(value, name) == 0 || strcmp(value, "0") == 0;
}

// What one span attribute does to the size of its text and to its offsets.
void check_span_value(markup_parse *p, span_attr attr, const char *value, text_style *style)
{
    int units = 0;
    switch (attr) {
    case span_attr::size:
        if (markup_length(value, &units))
            style->points = units / PANGO_UNITS;
        else
            style->factor *= size_factor(value);
        break;
    case span_attr::font:
        apply_font_desc(value, style);
        break;
    case span_attr::rise:
        markup_length(value, &units);
        check_offset(p, "rise", units / PANGO_UNITS);
        style->shift += std::fabs(units / PANGO_UNITS);
        break;
    case span_attr::baseline_shift:
        if (markup_length(value, &units)) {
            check_offset(p, "baseline shift", units / PANGO_UNITS);
            style->shift += std::fabs(units / PANGO_UNITS);
        } else if (strcmp(value, "none") != 0 && strcmp(value, "0") != 0) {
            ++style->raised;
        }
        break;
    case span_attr::letter_spacing:
        check_offset(p, "letter spacing", atol(value) / PANGO_UNITS);
        style->spacing = std::max(style->spacing, std::fabs(atol(value) / PANGO_UNITS));
        break;
    case span_attr::line_height: {
        check_line_height(p, value);
        double v = std::fabs(g_ascii_strtod(value, nullptr));
        if (v <= MARKUP_MAX_LINE_HEIGHT_FACTOR)
            style->line_factor = std::max(style->line_factor, v);
        else
            style->line_points = std::max(style->line_points, v / PANGO_UNITS);
        break;
    }
    case span_attr::gravity:
        style->rotated = style->rotated || !named_or_zero(value, "south");
        break;
    case span_attr::variant:
        style->transformed = style->transformed || !named_or_zero(value, "normal");
        break;
    case span_attr::text_transform:
        style->transformed = style->transformed || !named_or_zero(value, "none");
        break;
    default:
        break;
    }
}

bool check_span(GMarkupParseContext *context, markup_parse *p, const char **names,
                const char **values, text_style *style, GError **error)
{
    bool given[(int)span_attr::count] = {};
    for (int i = 0; names[i]; ++i) {
        span_attr attr;
        if (!span_attr_by_name(names[i], &attr)) {
            set_error(context, error, G_MARKUP_ERROR_UNKNOWN_ATTRIBUTE,
                      std::string("Attribute '") + names[i] + "' is not allowed on the <span> tag");
            return false;
        }
        if (given[(int)attr]) {
            set_error(context, error, G_MARKUP_ERROR_INVALID_CONTENT,
                      std::string("Attribute '") + names[i] + "' occurs twice on <span> tag");
            return false;
        }
        given[(int)attr] = true;
    }
    for (int i = 0; names[i]; ++i) {
        span_attr attr;
        span_attr_by_name(names[i], &attr);
        if (!span_value_ok(attr, values[i])) {
            set_error(context, error, G_MARKUP_ERROR_INVALID_CONTENT,
                      std::string("'") + values[i] + "' is not a valid value for the '" + names[i]
                          + "' attribute on <span> tag");
            return false;
        }
    }
    // Pango sets the size after the font description, whatever their order.
    for (bool font : {true, false})
        for (int i = 0; p->check_safe && names[i]; ++i) {
            span_attr attr;
            span_attr_by_name(names[i], &attr);
            if ((attr == span_attr::font) == font)
                check_span_value(p, attr, values[i], style);
        }
    return true;
}

void start_element(GMarkupParseContext *context, const char *name, const char **names,
                   const char **values, gpointer data, GError **error)
{
    auto *p = static_cast<markup_parse *>(data);
    text_style style = p->styles.back();
    if (strcmp(name, "span") == 0) {
        if (!check_span(context, p, names, values, &style, error))
            return;
    } else {
        bool known = false;
        for (const char *element : PLAIN_ELEMENTS)
            known = known || strcmp(name, element) == 0;
        if (!known) {
            set_error(context, error, G_MARKUP_ERROR_UNKNOWN_ELEMENT,
                      std::string("Unknown tag '") + name + "'");
            return;
        }
        if (names[0]) {
            set_error(context, error, G_MARKUP_ERROR_UNKNOWN_ATTRIBUTE,
                      std::string("Tag '") + name + "' does not support attribute '" + names[0] + "'");
            return;
        }
        if (strcmp(name, "big") == 0)
            style.factor *= SCALE_STEP;
        else if (strcmp(name, "sup") == 0 || strcmp(name, "sub") == 0)
            ++style.raised;
    }
    double points = style.size();
    if (p->check_safe && !(points <= MARKUP_MAX_POINTS))
        note_unsafe(p, "font size of " + points_text(points) + " points is beyond "
                           + points_text(MARKUP_MAX_POINTS));
    p->marked.note_start(style);
    p->styles.push_back(style);
}

void end_element(GMarkupParseContext *, const char *, gpointer data, GError **)
{
    auto *p = static_cast<markup_parse *>(data);
    if (p->styles.size() > 1)
        p->styles.pop_back();
}

void text(GMarkupParseContext *, const char *text, gsize len, gpointer data, GError **)
{
    auto *p = static_cast<markup_parse *>(data);
    if (p->plain)
        p->plain->append(text, len);
    if (p->check_safe) {
        p->marked.add(p->styles.back(), text, len);
        p->unmarked.add(p->styles.front(), text, len);
    }
}

// Parses text as Pango does: inside a <markup> element of its own.
static_assert(sizeof "<markup>" - 1 == MARKUP_WRAPPER_LENGTH, "the places of faults count it");
bool parse(const char *markup, markup_parse *p, GError **why)
{
    static const GMarkupParser PARSER = {start_element, end_element, text, nullptr, nullptr};
    p->text = markup;
    GMarkupParseContext *context = g_markup_parse_context_new(&PARSER, (GMarkupParseFlags)0, p, nullptr);
    gerror_ptr error;
    bool ok = g_markup_parse_context_parse(context, "<markup>", -1, out_error(error))
              && g_markup_parse_context_parse(context, markup, -1, out_error(error))
              && g_markup_parse_context_parse(context, "</markup>", -1, out_error(error))
              && g_markup_parse_context_end_parse(context, out_error(error));
    if (!ok && why) {
        int line = 0, chr = 0;
        g_markup_parse_context_get_position(context, &line, &chr);
        trialix_set_error(why, TRIALIX_ERROR_MARKUP,
                          error ? markup_error_text(markup, error->message, line, chr)
                                : "invalid markup");
    }
    g_markup_parse_context_free(context);
    return ok;
}

markup_extent extent_in_pixels(const markup_parse &p)
{
    markup_extent e;
    e.width = p.marked.width() * MARKUP_PIXELS_PER_POINT;
    e.height = p.marked.height() * MARKUP_PIXELS_PER_POINT;
    e.plain_width = p.unmarked.width() * MARKUP_PIXELS_PER_POINT;
    e.plain_height = p.unmarked.height() * MARKUP_PIXELS_PER_POINT;
    return e;
}

} // namespace

bool markup_is_valid(const char *text, GError **error)
{
    markup_parse p;
    return parse(text, &p, error);
}

bool markup_plain_text(const char *text, std::string *plain, GError **error)
{
    std::string collected;
    markup_parse p;
    p.plain = &collected;
    if (!parse(text, &p, error))
        return false;
    *plain = collected;
    return true;
}

bool markup_extent_of(const char *text, markup_extent *extent, GError **error)
{
    markup_parse p;
    p.check_safe = true;
    if (!parse(text, &p, error))
        return false;
    *extent = extent_in_pixels(p);
    return true;
}

bool markup_is_safe(const char *text, double max_height, GError **error)
{
    markup_parse p;
    p.check_safe = true;
    if (!parse(text, &p, error))
        return false;
    // A text wider or taller than the screen as plain text may stay so: it
    // is shown so either way, and markup may not make it larger.
    markup_extent e = extent_in_pixels(p);
    if (!(e.width <= std::max(MARKUP_MAX_PIXELS, e.plain_width))
        || !(e.height <= std::max(max_height, e.plain_height)))
        note_unsafe(&p, "laid out it could take " + points_text(e.width) + " by "
                            + points_text(e.height) + " pixels, beyond "
                            + points_text(MARKUP_MAX_PIXELS) + " by " + points_text(max_height));
    if (p.unsafe.empty())
        return true;
    trialix_set_error(error, TRIALIX_ERROR_UNSAFE_MARKUP, p.unsafe);
    return false;
}
