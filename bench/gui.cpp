#include "bench/gui.h"

#include <functional>

namespace bench {

void settle()
{
    GdkDisplay *display = gdk_display_get_default();
    for (;;) {
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
        // Whatever the server still owes us (exposes of new windows) is
        // queued once it has answered a round trip.
        gdk_display_sync(display);
        if (!gtk_events_pending())
            return;
    }
}

static gboolean quit_on_map(GtkWidget *, GdkEvent *, gpointer)
{
    gtk_main_quit();
    return FALSE;
}

void wait_for_map(GtkWidget *window)
{
    if (gtk_widget_get_mapped(window) && gdk_window_is_viewable(gtk_widget_get_window(window))) {
        settle();
        return;
    }
    gulong id = g_signal_connect(window, "map-event", G_CALLBACK(quit_on_map), nullptr);
    gtk_main();
    g_signal_handler_disconnect(window, id);
    settle();
}

static GtkWidget *find(GtkWidget *root, const std::function<bool(GtkWidget *)> &match)
{
    if (match(root))
        return root;
    if (!GTK_IS_CONTAINER(root))
        return nullptr;
    GList *children = gtk_container_get_children(GTK_CONTAINER(root));
    GtkWidget *found = nullptr;
    for (GList *c = children; c && !found; c = c->next)
        found = find(GTK_WIDGET(c->data), match);
    g_list_free(children);
    return found;
}

GtkWidget *find_button(GtkWidget *root, const std::string &label)
{
    return find(root, [&](GtkWidget *w) {
        const char *l = GTK_IS_BUTTON(w) ? gtk_button_get_label(GTK_BUTTON(w)) : nullptr;
        return l && label == l;
    });
}

GtkWidget *find_of_type(GtkWidget *root, GType type, GtkWidget *skip)
{
    return find(root, [&](GtkWidget *w) { return w != skip && G_TYPE_CHECK_INSTANCE_TYPE(w, type); });
}

double now()
{
    return (double)g_get_monotonic_time() / 1e6;
}

} // namespace bench
