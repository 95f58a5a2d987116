// Value syntax of the span attributes (used by bank/markup.cpp only).
#pragma once

// The attributes a span takes. Aliases share a kind: giving both is an
// attribute given twice.
enum class span_attr {
    font, family, size, style, weight, variant, stretch, foreground,
    background, alpha, bgalpha, underline, underline_color, overline,
    overline_color, strikethrough, strikethrough_color, rise, letter_spacing,
    lang, fallback, gravity, gravity_hint, font_features, allow_breaks,
    insert_hyphens, show, line_height, text_transform, segment,
    baseline_shift, font_scale, count
};

// The attribute `name` stands for; false when a span doesn't take it.
bool span_attr_by_name(const char *name, span_attr *attr);

// True when value is one the attribute accepts.
bool span_value_ok(span_attr attr, const char *value);

// A length as rise and size take it: an integer in 1024ths of a point, or
// a number of points with "pt". False when it is neither.
bool markup_length(const char *value, int *units);
