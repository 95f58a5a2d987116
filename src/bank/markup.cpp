#include "bank/markup.h"

#include <glib.h>
#include <pango/pango.h>

bool markup_is_valid(const char *text, std::string *why)
{
    GError *error = nullptr;
    if (pango_parse_markup(text, -1, 0, nullptr, nullptr, nullptr, &error))
        return true;
    if (why)
        *why = error ? error->message : "invalid markup";
    if (error)
        g_error_free(error);
    return false;
}

