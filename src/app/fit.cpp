#include "app/fit.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "app/globals.h"

#ifdef G_OS_WIN32
#include <windows.h>
#endif

// ---- The room a window may take ----

GdkRectangle fit_work_area(GtkWidget *widget)
{
    GdkScreen *screen = gtk_widget_get_screen(widget);
    GdkWindow *window = widget ? gtk_widget_get_window(gtk_widget_get_toplevel(widget)) : nullptr;
    int monitor = window ? gdk_screen_get_monitor_at_window(screen, window) : 0;
    GdkRectangle area;
    gdk_screen_get_monitor_geometry(screen, monitor, &area);
#ifdef G_OS_WIN32
    // What the taskbar leaves of the primary monitor.
    RECT r;
    GdkRectangle work, both;
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) {
        work = {int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
        if (work.width > 0 && work.height > 0 && gdk_rectangle_intersect(&area, &work, &both))
            area = both;
    }
#else
    // The desktop's panels: what a window manager leaves to windows, which
    // it announces on the root window (none without one).
    GdkAtom type;
    int format = 0, length = 0;
    guchar *data = nullptr;
    if (gdk_property_get(gdk_screen_get_root_window(screen),
                         gdk_atom_intern_static_string("_NET_WORKAREA"),
                         gdk_atom_intern_static_string("CARDINAL"), 0, 4 * 4, FALSE, &type,
                         &format, &length, &data) &&
        data && format == 32 && length >= int(4 * sizeof(glong))) {
        const glong *v = reinterpret_cast<const glong *>(data);
        GdkRectangle work = {int(v[0]), int(v[1]), int(v[2]), int(v[3])}, both;
        if (work.width > 0 && work.height > 0 && gdk_rectangle_intersect(&area, &work, &both))
            area = both;
    }
    g_free(data);
#endif
    return area;
}

// What the window manager's frame adds to `toplevel`, once it has one.
static void decoration(GtkWidget *toplevel, int *width, int *height)
{
    *width = *height = 0;
    GdkWindow *window = gtk_widget_get_window(toplevel);
    if (!window || !gtk_widget_get_mapped(toplevel))
        return;
    GdkRectangle outer;
    gdk_window_get_frame_extents(window, &outer);
    int w = 0, h = 0;
    gdk_drawable_get_size(window, &w, &h);
    *width = std::max(0, outer.width - w);
    *height = std::max(0, outer.height - h);
}

// The room the rest of `widget`'s window takes beside it: every border on
// the way up and, in each vertical box, the other children, the padding and
// the spacing. (Our windows stack their parts in vertical boxes.)
static void room_around(GtkWidget *widget, int *width, int *height)
{
    *width = *height = 0;
    GtkWidget *child = widget;
    for (GtkWidget *p = gtk_widget_get_parent(child); p; child = p, p = gtk_widget_get_parent(p)) {
        int border = 2 * int(gtk_container_get_border_width(GTK_CONTAINER(p)));
        *width += border;
        *height += border;
        if (!GTK_IS_VBOX(p))
            continue;
        GList *kids = gtk_container_get_children(GTK_CONTAINER(p));
        int shown = 0;
        for (GList *l = kids; l; l = l->next) {
            GtkWidget *kid = GTK_WIDGET(l->data);
            if (kid != child && !gtk_widget_get_visible(kid))
                continue;
            gboolean expand, fill;
            guint padding;
            GtkPackType pack;
            gtk_box_query_child_packing(GTK_BOX(p), kid, &expand, &fill, &padding, &pack);
            *height += 2 * int(padding);
            shown++;
            if (kid != child) {
                GtkRequisition r;
                gtk_widget_size_request(kid, &r);
                *height += r.height;
            }
        }
        g_list_free(kids);
        *height += gtk_box_get_spacing(GTK_BOX(p)) * std::max(0, shown - 1);
    }
}

static const char AREA_KEY[] = "trialix-fit-area";

// The work area as a scroller last read it: asking the X server at every
// layout would cost a round trip each time. Read anew for every screen.
static GdkRectangle work_area_of(GtkWidget *scroller, bool fresh = false)
{
    auto *kept = static_cast<GdkRectangle *>(g_object_get_data(G_OBJECT(scroller), AREA_KEY));
    if (!kept || fresh) {
        kept = g_new(GdkRectangle, 1);
        *kept = fit_work_area(scroller);
        g_object_set_data_full(G_OBJECT(scroller), AREA_KEY, kept, g_free);
    }
    return *kept;
}

// The largest size the scroller may ask for without its window passing the
// work area.
static void room_for(GtkWidget *widget, int *width, int *height)
{
    GdkRectangle area = work_area_of(widget);
    int deco_w, deco_h, rest_w, rest_h;
    decoration(gtk_widget_get_toplevel(widget), &deco_w, &deco_h);
    room_around(widget, &rest_w, &rest_h);
    *width = std::max(1, area.width - deco_w - rest_w);
    *height = std::max(1, area.height - deco_h - rest_h);
}

// ---- Labels that wrap ----

static const char FIT_KEY[] = "trialix-fit";          // 1 a fitting label, 2 up to the screen
static const char CHROME_KEY[] = "trialix-fit-room";  // 1 + the room beside it
static const char NATURAL_KEY[] = "trialix-fit-natural";  // 1 + its unwrapped width
static const char LABELS_KEY[] = "trialix-fit-labels";    // on the content: its fitting labels

// A narrower column than this reads worse than scrolling sideways.
static const int NARROWEST = 60;

void fit_label(GtkWidget *label, bool up_to_screen)
{
    g_object_set_data(G_OBJECT(label), FIT_KEY, GINT_TO_POINTER(up_to_screen ? 2 : 1));
}

static void collect_labels(GtkWidget *widget, gpointer out)
{
    if (GTK_IS_LABEL(widget) && g_object_get_data(G_OBJECT(widget), FIT_KEY))
        static_cast<std::vector<GtkWidget *> *>(out)->push_back(widget);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), collect_labels, out);
}

static std::vector<GtkWidget *> fitting_labels(GtkWidget *root)
{
    std::vector<GtkWidget *> labels;
    collect_labels(root, &labels);
    return labels;
}

// The label's width with no wrap at all, as it asks for it unwrapped.
static int natural_width(GtkWidget *label)
{
    PangoLayout *layout = gtk_label_get_layout(GTK_LABEL(label));
    PangoRectangle logical;
    if (pango_layout_get_width(layout) == -1) {
        pango_layout_get_extents(layout, nullptr, &logical);
    } else {
        layout = pango_layout_copy(layout);
        pango_layout_set_width(layout, -1);
        pango_layout_get_extents(layout, nullptr, &logical);
        g_object_unref(layout);
    }
    int xpad;
    gtk_misc_get_padding(GTK_MISC(label), &xpad, nullptr);
    return PANGO_PIXELS(logical.width) + 2 * xpad;
}

// Lets the label be as wide as `room` and no wider: unwrapped, as ever,
// when its longest line fits; else wrapped at that width.
static void set_wrap(GtkWidget *label, int room)
{
    int natural = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(label), NATURAL_KEY)) - 1;
    bool wrap = room != INT_MAX && natural > room;
    int want = wrap ? std::max(room, NARROWEST) : -1;
    int w, h;
    gtk_widget_get_size_request(label, &w, &h);
    if (w != want || h != -1)
        gtk_widget_set_size_request(label, want, -1);
    if (bool(gtk_label_get_line_wrap(GTK_LABEL(label))) != wrap) {
        gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
        gtk_label_set_line_wrap(GTK_LABEL(label), wrap);
    }
}

static int request_width(GtkWidget *w)
{
    GtkRequisition r;
    gtk_widget_size_request(w, &r);
    return r.width;
}

// The room beside `label` within `content`, with its lines unwrapped: a
// vertical box, a frame or an event box adds its borders (and a frame its
// edge), whatever else it holds; a horizontal box or a tick box whatever
// else stands in its row. -1 for a container of another kind.
static int room_beside(GtkWidget *label, GtkWidget *content)
{
    int room = 0;
    for (GtkWidget *child = label; child != content;) {
        GtkWidget *p = gtk_widget_get_parent(child);
        if (!p)
            return -1;
        int border = 2 * int(gtk_container_get_border_width(GTK_CONTAINER(p)));
        if (GTK_IS_VBOX(p) || GTK_IS_EVENT_BOX(p))
            room += border;
        else if (GTK_IS_FRAME(p))
            room += border + 2 * gtk_widget_get_style(p)->xthickness;
        else if (GTK_IS_HBOX(p) || GTK_IS_BUTTON(p))
            room += request_width(p) - request_width(child);
        else
            return -1;
        child = p;
    }
    return std::max(0, room);
}

static GtkWidget *content_of(GtkWidget *scroller)
{
    GtkWidget *view = gtk_bin_get_child(GTK_BIN(scroller));
    return view ? gtk_bin_get_child(GTK_BIN(view)) : nullptr;
}

static void free_labels(gpointer labels)
{
    delete static_cast<std::vector<GtkWidget *> *>(labels);
}

// Wraps every fitting label of the scroller's content for a view `width`
// pixels wide, or `widest`, the most the work area leaves it, for those
// that widen the window up to the screen.
static void wrap_for(GtkWidget *scroller, int width, int widest)
{
    GtkWidget *content = content_of(scroller);
    auto *labels = content ? static_cast<std::vector<GtkWidget *> *>(
                                 g_object_get_data(G_OBJECT(content), LABELS_KEY))
                           : nullptr;
    if (!labels)
        return;
    for (GtkWidget *label : *labels) {
        int room = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(label), CHROME_KEY)) - 1;
        bool up_to_screen = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(label), FIT_KEY)) == 2;
        if (room >= 0)
            set_wrap(label, (up_to_screen ? std::max(width, widest) : width) - room);
    }
}

// The width of the vertical scroll bar where it shows.
static int bar_width(GtkWidget *scroller)
{
    GtkRequisition bar;
    gtk_widget_size_request(gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(scroller)), &bar);
    int spacing = 0;
    gtk_widget_style_get(scroller, "scrollbar-spacing", &spacing, nullptr);
    return bar.width + spacing;
}

void fit_prepare(GtkWidget *scroller)
{
    GtkWidget *content = content_of(scroller);
    if (!content)
        return;
    GdkRectangle area = work_area_of(scroller, true);
    auto *labels = new std::vector<GtkWidget *>(fitting_labels(content));
    g_object_set_data_full(G_OBJECT(content), LABELS_KEY, labels, free_labels);
    if (labels->empty())
        return;
    GtkWidget *toplevel = gtk_widget_get_toplevel(scroller);
    int deco_w, deco_h, rest_w, rest_h;
    decoration(toplevel, &deco_w, &deco_h);
    room_around(scroller, &rest_w, &rest_h);
    int widest = area.width - deco_w - rest_w;
    int width = 0;
    if (main_window) {
        int w, h;
        gtk_window_get_size(GTK_WINDOW(main_window), &w, &h);
        width = w;
    }
    // Each label's own width and the room beside it; when all fit the
    // window as it is, that is all (the common case, and the quick one).
    bool all_fit = true;
    for (GtkWidget *label : *labels) {
        set_wrap(label, INT_MAX);   // unwrapped, as asked for by itself
        int natural = natural_width(label);
        g_object_set_data(G_OBJECT(label), NATURAL_KEY, GINT_TO_POINTER(natural + 1));
        int room = room_beside(label, content);
        g_object_set_data(G_OBJECT(label), CHROME_KEY, GINT_TO_POINTER(room + 1));
        bool up_to_screen = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(label), FIT_KEY)) == 2;
        if (room < 0 || natural + room > (up_to_screen ? widest : std::min(width, widest)))
            all_fit = false;
    }
    if (all_fit)
        return;
    // What the window needs without these labels sets the width it will have.
    for (GtkWidget *label : *labels)
        gtk_widget_set_size_request(label, 1, -1);
    GtkRequisition needed;
    gtk_widget_size_request(toplevel, &needed);
    for (GtkWidget *label : *labels) {
        if (GPOINTER_TO_INT(g_object_get_data(G_OBJECT(label), CHROME_KEY)) > 0)
            continue;
        // Measured as wide as no screen is, beside what else content holds.
        const int huge = 1 << 20;
        gtk_widget_set_size_request(label, huge, 1);
        GtkRequisition r;
        gtk_widget_size_request(content, &r);
        gtk_widget_set_size_request(label, 1, -1);
        g_object_set_data(G_OBJECT(label), CHROME_KEY, GINT_TO_POINTER(std::max(0, r.width - huge) + 1));
    }
    width = std::min(std::max(width, needed.width), area.width - deco_w) - rest_w;
    wrap_for(scroller, width, widest);
    // Taller than the room: the vertical scroll bar takes its share of the
    // width, which the window must not grow by.
    int max_w, max_h;
    room_for(scroller, &max_w, &max_h);
    GtkRequisition r;
    gtk_widget_size_request(content, &r);
    if (r.height > max_h)
        wrap_for(scroller, width - bar_width(scroller), widest - bar_width(scroller));
}

// ---- The scroller ----

// Asks for the content's size up to the room the window leaves, and for
// the scroll bar that then shows beside or under it.
static void on_scroller_request(GtkWidget *scroller, GtkRequisition *req, gpointer)
{
    GtkWidget *view = gtk_bin_get_child(GTK_BIN(scroller));
    if (!view)
        return;
    GtkRequisition child, vbar, hbar;
    gtk_widget_size_request(view, &child);
    GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(scroller);
    gtk_widget_size_request(gtk_scrolled_window_get_vscrollbar(sw), &vbar);
    gtk_widget_size_request(gtk_scrolled_window_get_hscrollbar(sw), &hbar);
    int spacing = 0;
    gtk_widget_style_get(scroller, "scrollbar-spacing", &spacing, nullptr);
    int max_w, max_h;
    room_for(scroller, &max_w, &max_h);
    int w = child.width, h = child.height;
    if (h > max_h) {
        h = max_h;
        w += vbar.width + spacing;
    }
    if (w > max_w) {
        w = max_w;
        h = std::min(h + hbar.height + spacing, max_h);
    }
    req->width = w;
    req->height = h;
}

static bool overflows(GtkAdjustment *a)
{
    return gtk_adjustment_get_upper(a) - gtk_adjustment_get_lower(a) >
           gtk_adjustment_get_page_size(a) + 0.5;
}

// The scroller itself is a stop of the Tab chain, where the keys scroll
// it, only while it has more than it shows (and none of its content takes
// the focus, the toolkit's own rule). Once the window stands, a new width
// of the view (the window widened, a scroll bar come or gone) wraps the
// labels anew; the scroller's own rounds of trying scroll bars, and the
// first layout of a window before it shows, are no such change.
static void on_scroller_allocate(GtkWidget *scroller, GtkAllocation *, gpointer)
{
    GtkWidget *view = gtk_bin_get_child(GTK_BIN(scroller));
    if (!view)
        return;
    gtk_widget_set_can_focus(scroller, overflows(gtk_viewport_get_vadjustment(GTK_VIEWPORT(view))) ||
                                           overflows(gtk_viewport_get_hadjustment(GTK_VIEWPORT(view))));
    GtkAllocation shown;
    gtk_widget_get_allocation(view, &shown);
    GtkWidget *content = gtk_bin_get_child(GTK_BIN(view));
    if (!gtk_widget_get_mapped(gtk_widget_get_toplevel(scroller)) || shown.width <= 1 || !content ||
        !g_object_get_data(G_OBJECT(content), LABELS_KEY))
        return;
    int max_w, max_h;
    room_for(scroller, &max_w, &max_h);
    GtkWidget *bar = gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(scroller));
    wrap_for(scroller, shown.width, max_w - (gtk_widget_get_visible(bar) ? bar_width(scroller) : 0));
}

GtkWidget *fit_scroller(GtkWidget *content)
{
    GtkWidget *scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_NONE);
    gtk_widget_set_can_focus(scroller, FALSE);
    GtkAdjustment *h = gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(scroller));
    GtkAdjustment *v = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scroller));
    GtkWidget *view = gtk_viewport_new(h, v);
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(view), GTK_SHADOW_NONE);
    if (content)
        gtk_container_add(GTK_CONTAINER(view), content);
    gtk_container_add(GTK_CONTAINER(scroller), view);
    // Tab to a control out of view scrolls it in.
    gtk_container_set_focus_hadjustment(GTK_CONTAINER(view), h);
    gtk_container_set_focus_vadjustment(GTK_CONTAINER(view), v);
    g_signal_connect(scroller, "size-request", G_CALLBACK(on_scroller_request), nullptr);
    g_signal_connect_after(scroller, "size-allocate", G_CALLBACK(on_scroller_allocate), nullptr);
    return scroller;
}

void fit_scroller_show(GtkWidget *scroller, GtkWidget *content)
{
    GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(scroller);
    for (GtkAdjustment *a : {gtk_scrolled_window_get_hadjustment(sw), gtk_scrolled_window_get_vadjustment(sw)})
        gtk_adjustment_set_value(a, gtk_adjustment_get_lower(a));
    gtk_container_add(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(scroller))), content);
}
