// Pieces of the history window: its tables, its headed sections, and the
// "Right" cells of the weakest files' table.
#include "grading/history_parts.h"

#include <algorithm>

// The bar cell: a text cell underneath, so that what a screen reader reads
// of it is the text it shows ("2 of 3"); the toolkit's progress cell tells
// it nothing.
namespace {

struct HistoryBar {
    GtkCellRendererText parent;
    int value;   // percent
};
struct HistoryBarClass {
    GtkCellRendererTextClass parent_class;
};

enum { PROP_0, PROP_VALUE };

} // namespace

G_DEFINE_TYPE(HistoryBar, history_bar, GTK_TYPE_CELL_RENDERER_TEXT)

static void history_bar_init(HistoryBar *bar)
{
    bar->value = 0;
    g_object_set(bar, "xalign", 0.5, nullptr);
}

static void set_property(GObject *object, guint id, const GValue *value, GParamSpec *pspec)
{
    if (id == PROP_VALUE)
        reinterpret_cast<HistoryBar *>(object)->value = std::clamp(g_value_get_int(value), 0, 100);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static void get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec)
{
    if (id == PROP_VALUE)
        g_value_set_int(value, reinterpret_cast<HistoryBar *>(object)->value);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

// Drawn as the toolkit draws a progress cell: a trough, the bar over the
// share, the text centred, in the bar's colours where it lies on the bar.
static void render(GtkCellRenderer *cell, GdkDrawable *window, GtkWidget *widget, GdkRectangle *,
                   GdkRectangle *area, GdkRectangle *, GtkCellRendererState)
{
    auto *bar = reinterpret_cast<HistoryBar *>(cell);
    GtkStyle *style = widget->style;
    int x = area->x + (int)cell->xpad, y = area->y + (int)cell->ypad;
    int w = area->width - (int)cell->xpad * 2, h = area->height - (int)cell->ypad * 2;
    gtk_paint_box(style, window, GTK_STATE_NORMAL, GTK_SHADOW_IN, nullptr, widget, nullptr, x, y, w, h);
    GdkRectangle filled = {x + style->xthickness, y + style->ythickness,
                           std::max(0, w - style->xthickness * 2) * bar->value / 100,
                           std::max(0, h - style->ythickness * 2)};
    if (filled.width > 0)
        gtk_paint_box(style, window, GTK_STATE_SELECTED, GTK_SHADOW_OUT, &filled, widget, "bar",
                      filled.x, filled.y, filled.width, filled.height);

    gchar *text = nullptr;
    g_object_get(cell, "text", &text, nullptr);
    PangoLayout *layout = gtk_widget_create_pango_layout(widget, text ? text : "");
    g_free(text);
    int tw = 0, th = 0;
    pango_layout_get_pixel_size(layout, &tw, &th);
    int tx = x + (w - tw) / 2, ty = y + (h - th) / 2;
    GdkRectangle rest = {filled.x + filled.width, y, x + w - (filled.x + filled.width), h};
    if (filled.width > 0)
        gtk_paint_layout(style, window, GTK_STATE_SELECTED, FALSE, &filled, widget, "progressbar", tx, ty, layout);
    if (rest.width > 0)
        gtk_paint_layout(style, window, GTK_STATE_NORMAL, FALSE, &rest, widget, "progressbar", tx, ty, layout);
    g_object_unref(layout);
}

static void history_bar_class_init(HistoryBarClass *klass)
{
    GObjectClass *object = G_OBJECT_CLASS(klass);
    object->set_property = set_property;
    object->get_property = get_property;
    GTK_CELL_RENDERER_CLASS(klass)->render = render;
    g_object_class_install_property(
        object, PROP_VALUE,
        g_param_spec_int("value", "Value", "The share drawn as a bar, in percent", 0, 100, 0,
                         GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
}

GtkCellRenderer *history_bar_new(void)
{
    return GTK_CELL_RENDERER(g_object_new(history_bar_get_type(), nullptr));
}

GtkWidget *table_of(GtkListStore *store, const std::vector<const char *> &titles,
                    const std::vector<const char *> &widest)
{
    GtkWidget *view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);   // the view holds it
    gtk_tree_view_set_rules_hint(GTK_TREE_VIEW(view), TRUE);
    for (size_t i = 0; i < titles.size(); i++) {
        GtkCellRenderer *cell = gtk_cell_renderer_text_new();
        GtkTreeViewColumn *column =
            gtk_tree_view_column_new_with_attributes(titles[i], cell, "text", (int)i, nullptr);
        gtk_tree_view_column_set_resizable(column, TRUE);
        if (i < widest.size()) {
            g_object_set(cell, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
            int width = 0, title = 0;
            PangoLayout *layout = gtk_widget_create_pango_layout(view, widest[i]);
            pango_layout_get_pixel_size(layout, &width, nullptr);
            pango_layout_set_text(layout, titles[i], -1);
            pango_layout_get_pixel_size(layout, &title, nullptr);
            g_object_unref(layout);
            const int PADDING = 16;   // the cell's and the header's own
            gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
            gtk_tree_view_column_set_fixed_width(column, std::max(width, title) + PADDING);
        }
        gtk_tree_view_append_column(GTK_TREE_VIEW(view), column);
    }
    if (!widest.empty())
        gtk_tree_view_set_fixed_height_mode(GTK_TREE_VIEW(view), TRUE);
    return view;
}

GtkWidget *scrolled(GtkWidget *child)
{
    GtkWidget *s = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(s), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(s), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(s), child);
    return s;
}

// As GNOME lays out its dialogs.
GtkWidget *section(const char *heading, GtkWidget *child, GtkWidget *named, GtkWidget **heading_label)
{
    GtkWidget *label = gtk_label_new(nullptr);
    if (heading_label)
        *heading_label = label;
    if (named) {
        AtkObject *acc = gtk_widget_get_accessible(named);
        atk_object_set_name(acc, heading);
        atk_object_add_relationship(acc, ATK_RELATION_LABELLED_BY, gtk_widget_get_accessible(label));
        atk_object_add_relationship(gtk_widget_get_accessible(label), ATK_RELATION_LABEL_FOR, acc);
    }
    gchar *markup = g_markup_printf_escaped("<b>%s</b>", heading);
    gtk_label_set_markup(GTK_LABEL(label), markup);
    g_free(markup);
    gtk_misc_set_alignment(GTK_MISC(label), 0, 0.5);
    GtkWidget *box = gtk_vbox_new(FALSE, 6);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), child, TRUE, TRUE, 0);
    return box;
}
