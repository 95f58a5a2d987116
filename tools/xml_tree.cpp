#include "tools/xml_tree.h"

#include <glib.h>

#include <algorithm>
#include <cstring>

#include "bank/glib_ptr.h"

const xml_element *xml_element::child(const char *wanted) const
{
    for (const xml_element &c : children)
        if (c.name == wanted)
            return &c;
    return nullptr;
}

std::string xml_element::attribute(const char *wanted) const
{
    for (const auto &a : attributes)
        if (a.first == wanted)
            return a.second;
    return "";
}

std::string xml_element::text_of(const char *wanted) const
{
    const xml_element *c = child(wanted);
    if (!c)
        return "";
    const xml_element *t = c->child("text");
    return t ? t->text : c->text;
}

namespace {

struct builder {
    xml_element *root;
    std::vector<xml_element *> open;
    void fail(GError **error, const char *what) const
    {
        // The parser puts the place in front.
        g_set_error_literal(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT, what);
    }
};

void on_start(GMarkupParseContext *context, const gchar *name, const gchar **names, const gchar **values,
              gpointer data, GError **error)
{
    builder *b = static_cast<builder *>(data);
    if (b->open.size() >= XML_MAX_DEPTH)
        return b->fail(error, "elements nested too deeply");
    xml_element *parent = b->open.empty() ? nullptr : b->open.back();
    if (!parent && !b->root->name.empty())
        return b->fail(error, "a second root element");
    // The parent's children grow only while no child of it is open, so the
    // pointers on the stack stay valid.
    xml_element *e = parent ? &parent->children.emplace_back() : b->root;
    e->name = name;
    int line = 0, column = 0;
    g_markup_parse_context_get_position(context, &line, &column);
    e->line = line;
    for (int i = 0; names[i]; i++)
        e->attributes.emplace_back(names[i], values[i]);
    b->open.push_back(e);
}

void on_end(GMarkupParseContext *, const gchar *, gpointer data, GError **)
{
    static_cast<builder *>(data)->open.pop_back();
}

void on_text(GMarkupParseContext *, const gchar *text, gsize len, gpointer data, GError **error)
{
    builder *b = static_cast<builder *>(data);
    if (b->open.empty())
        return;
    // Blanks between elements (the indentation of a large bank) are kept
    // only where no element stands yet: they count for nothing there.
    xml_element *e = b->open.back();
    if (!e->children.empty() && std::all_of(text, text + len, [](char c) { return g_ascii_isspace(c); }))
        return;
    std::string &t = e->text;
    if (t.size() + len > XML_MAX_TEXT)
        return b->fail(error, "an element's text over 16 MiB");
    t.append(text, len);
}

// Comments and the XML declaration pass; a document type declaration (and
// with it every entity of its own, inside or outside) is refused.
void on_passthrough(GMarkupParseContext *, const gchar *text, gsize len, gpointer data, GError **error)
{
    builder *b = static_cast<builder *>(data);
    if ((len >= 4 && strncmp(text, "<!--", 4) == 0) || (len >= 2 && strncmp(text, "<?", 2) == 0))
        return;
    b->fail(error, "a document type declaration (DTD), which is refused: its entities could expand without end or fetch files");
}

} // namespace

bool xml_read(const std::string &data, xml_element *root, std::string *why)
{
    *root = xml_element();
    builder b{root, {}};
    GMarkupParser parser = {on_start, on_end, on_text, on_passthrough, nullptr};
    GMarkupParseContext *context = g_markup_parse_context_new(
        &parser, GMarkupParseFlags(G_MARKUP_TREAT_CDATA_AS_TEXT | G_MARKUP_PREFIX_ERROR_POSITION), &b, nullptr);
    gerror_ptr error;
    bool ok = g_markup_parse_context_parse(context, data.data(), (gssize)data.size(), out_error(error)) &&
              g_markup_parse_context_end_parse(context, out_error(error));
    g_markup_parse_context_free(context);
    if (ok && root->name.empty()) {
        *why = "no element";
        return false;
    }
    if (!ok)
        *why = error ? error->message : "not well-formed";
    return ok;
}
