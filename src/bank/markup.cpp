#include "bank/markup.h"

#include <glib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bank/glib_ptr.h"
#include "bank/markup_place.h"
#include "bank/markup_values.h"

namespace {

constexpr double PANGO_UNITS = 1024;   // units of a point in sizes and offsets
constexpr double SCALE_STEP = 1.2;     // one step of big and larger

// The size of the text at one element: the last absolute size and the
// product of the enlargements around it. Reductions are not counted, so
// the product is an upper bound of what is shown.
struct text_size {
    double points = MARKUP_NOMINAL_POINTS;
    double factor = 1;
};

struct markup_parse {
    std::string *plain = nullptr;       // collects the text when wanted
    bool check_safe = false;
    std::string unsafe;                 // the first reason found, if any
    std::vector<text_size> sizes{text_size{}};
    const char *text = "";              // the text being parsed
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

// The largest number among the words of a font description: its size, in
// points or pixels. Zero when there is none.
double font_desc_size(const char *desc)
{
    double largest = 0;
    gchar **words = g_strsplit_set(desc, " \t\n,", -1);
    for (gchar **w = words; *w; ++w) {
        char *end = nullptr;
        double v = g_ascii_strtod(*w, &end);
        if (end != *w && (*end == '\0' || strcmp(end, "px") == 0) && !(std::fabs(v) <= largest))
            largest = std::fabs(v);
    }
    g_strfreev(words);
    return largest;
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

// What one span attribute does to the size of its text and to its offsets.
void check_span_value(markup_parse *p, span_attr attr, const char *value, text_size *size)
{
    int units = 0;
    switch (attr) {
    case span_attr::size:
        if (strcmp(value, "larger") == 0) {
            size->factor *= SCALE_STEP;
        } else if (strchr(value, '%')) {
            double v = g_ascii_strtod(value, nullptr) / 100;
            size->factor *= v > 1 ? v : 1;
        } else if (markup_length(value, &units)) {
            size->points = units / PANGO_UNITS;
        } else if (strstr(value, "large")) {
            // x-large and the like: steps above the nominal size.
            size->points = MARKUP_NOMINAL_POINTS * pow(SCALE_STEP, strcmp(value, "large") == 0 ? 1
                                                          : strcmp(value, "x-large") == 0 ? 2 : 3);
        }
        break;
    case span_attr::font:
        if (double s = font_desc_size(value))
            size->points = s;
        break;
    case span_attr::rise:
        markup_length(value, &units);
        check_offset(p, "rise", units / PANGO_UNITS);
        break;
    case span_attr::baseline_shift:
        if (markup_length(value, &units))
            check_offset(p, "baseline shift", units / PANGO_UNITS);
        break;
    case span_attr::letter_spacing:
        check_offset(p, "letter spacing", atol(value) / PANGO_UNITS);
        break;
    case span_attr::line_height:
        check_line_height(p, value);
        break;
    default:
        break;
    }
}

bool check_span(GMarkupParseContext *context, markup_parse *p, const char **names,
                const char **values, text_size *size, GError **error)
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
        if (p->check_safe)
            check_span_value(p, attr, values[i], size);
    }
    return true;
}

void start_element(GMarkupParseContext *context, const char *name, const char **names,
                   const char **values, gpointer data, GError **error)
{
    auto *p = static_cast<markup_parse *>(data);
    text_size size = p->sizes.back();
    if (strcmp(name, "span") == 0) {
        if (!check_span(context, p, names, values, &size, error))
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
            size.factor *= SCALE_STEP;
    }
    double points = size.points * size.factor;
    if (p->check_safe && !(points <= MARKUP_MAX_POINTS))
        note_unsafe(p, "font size of " + points_text(points) + " points is beyond "
                           + points_text(MARKUP_MAX_POINTS));
    p->sizes.push_back(size);
}

void end_element(GMarkupParseContext *, const char *, gpointer data, GError **)
{
    auto *p = static_cast<markup_parse *>(data);
    if (p->sizes.size() > 1)
        p->sizes.pop_back();
}

void text(GMarkupParseContext *, const char *text, gsize len, gpointer data, GError **)
{
    auto *p = static_cast<markup_parse *>(data);
    if (p->plain)
        p->plain->append(text, len);
}

// Parses text as Pango does: inside a <markup> element of its own.
static_assert(sizeof "<markup>" - 1 == MARKUP_WRAPPER_LENGTH, "the places of faults count it");
bool parse(const char *markup, markup_parse *p, std::string *why)
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
        *why = error ? markup_error_text(markup, error->message, line, chr) : "invalid markup";
    }
    g_markup_parse_context_free(context);
    return ok;
}

} // namespace

bool markup_is_valid(const char *text, std::string *why)
{
    markup_parse p;
    return parse(text, &p, why);
}

bool markup_plain_text(const char *text, std::string *plain)
{
    std::string collected;
    markup_parse p;
    p.plain = &collected;
    if (!parse(text, &p, nullptr))
        return false;
    *plain = collected;
    return true;
}

bool markup_is_safe(const char *text, std::string *why)
{
    markup_parse p;
    p.check_safe = true;
    if (!parse(text, &p, why))
        return false;
    if (p.unsafe.empty())
        return true;
    if (why)
        *why = p.unsafe;
    return false;
}
