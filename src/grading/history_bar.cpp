// The "Right" cells of the weakest files' table: a bar of the share
// answered right with its text ("2 of 3") on it. A text cell underneath, so
// that what a screen reader reads of the cell is the text it shows (the
// toolkit's progress cell tells it nothing).
#include <gtk/gtk.h>

#include <algorithm>

#include "grading/history_window.h"

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
