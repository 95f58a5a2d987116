#include "app/trialix.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "app/config.h"
#include "app/fit.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/menu.h"
#include "app/navigator.h"
#include "bank/glib_ptr.h"
#include "bank/markup.h"
#include "bank/tools.h"

void trialix_quit(GtkWidget *, void *)
{
    gtk_main_quit();
}

static gboolean on_main_delete(GtkWidget *, GdkEvent *, gpointer)
{
    gtk_main_quit();
    return TRUE;
}

void trialix_create_main_window(void)
{
    char title[64];
    g_snprintf(title, sizeof title, "Trialix %s", TRIALIX_VERSION);

    main_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(main_window), title);
    gtk_window_resize(GTK_WINDOW(main_window), 640, 480);
    g_signal_connect(main_window, "delete_event", G_CALLBACK(on_main_delete), nullptr);
    gtk_container_set_border_width(GTK_CONTAINER(main_window), 0);

    GtkWidget *outer = gtk_vbox_new(FALSE, 0);
    gtk_box_set_spacing(GTK_BOX(outer), 0);

    GtkWidget *menubar = createMenuBar();

    statusbar = gtk_statusbar_new();
    box2 = gtk_vbox_new(FALSE, 0);

    gtk_box_pack_start(GTK_BOX(outer), menubar, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(outer), box2, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(outer), statusbar, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(main_window), outer);
    gtk_widget_show_all(main_window);
}

void trialix_use_icon(void)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // The installed icon, so window lists and task bars show ours.
    gtk_window_set_default_icon_name(TRIALIX_APP_ID);
    // A window realised without an icon doesn't take up a later default.
    if (main_window && gtk_widget_get_realized(main_window))
        gtk_window_set_icon_name(GTK_WINDOW(main_window), TRIALIX_APP_ID);
}

static gboolean use_icon_when_idle(gpointer)
{
    trialix_use_icon();
    return FALSE;
}

static gboolean on_first_map(GtkWidget *window, GdkEvent *, gpointer)
{
    g_signal_handlers_disconnect_by_func(window, (gpointer)on_first_map, nullptr);
    // An idle runs below the redraw priority: the window is painted first.
    g_idle_add(use_icon_when_idle, nullptr);
    return FALSE;
}

void trialix_start(int *argc, char ***argv)
{
    gtk_init(argc, argv);
    trialix_config();
    trialix_create_main_window();
    g_signal_connect(main_window, "map-event", G_CALLBACK(on_first_map), nullptr);
    // What waits for the window comes before anything else the user does
    // (an exam cut short last time is offered).
    shell_reached(SHELL_STARTED);
}

int trialix_main(int argc, char **argv)
{
    trialix_start(&argc, &argv);
    gtk_main();
    // Quit ends the program at once; what must outlive it is done now.
    shell_reached(SHELL_QUITTING);
    return 0;
}

// Forgets a form's check button that lives inside `old`, which is about to
// go. A button of the screen being built is not inside it and is kept, so a
// builder may set cb_answer and cb_timer before it puts its screen up.
static void forget_inside(GtkWidget **button, GtkWidget *old)
{
    if (*button && old && (*button == old || gtk_widget_is_ancestor(*button, old)))
        *button = nullptr;
}

static gboolean destroy_retired(gpointer widget)
{
    gtk_widget_destroy(GTK_WIDGET(widget));
    g_object_unref(widget);
    return FALSE;
}

// Takes `w` out of the content area and destroys it once the main loop is
// idle. The screen is usually taken down by one of its own buttons, and the
// code that activated that button (a click, or the accessibility layer's
// press and release) still uses it after our handler returns.
static void retire(GtkWidget *w)
{
    g_object_ref(w);
    gtk_container_remove(GTK_CONTAINER(gtk_widget_get_parent(w)), w);
    g_idle_add(destroy_retired, w);
}

void window_close_later(GtkWidget *window)
{
    gtk_widget_hide(window);
    g_object_ref(window);
    g_idle_add(destroy_retired, window);
}

// The scroller the screens' frames stand in. It stays in the content area
// from one screen to the next (making one anew is much of a step's time),
// and leaves it once the main loop is idle with no screen up.
static GtkWidget *page_scroller = nullptr;
static bool scroller_check_queued = false;

static gboolean drop_unused_scroller(gpointer)
{
    scroller_check_queued = false;
    if (page_scroller && !frame) {
        GtkWidget *s = page_scroller;
        g_object_remove_weak_pointer(G_OBJECT(s), reinterpret_cast<gpointer *>(&page_scroller));
        page_scroller = nullptr;
        retire(s);
    }
    return FALSE;
}

void screen_take_down(void)
{
    forget_inside(&cb_answer, frame);
    forget_inside(&cb_timer, frame);
    if (frame)
        retire(frame);
    if (page_scroller && !scroller_check_queued) {
        scroller_check_queued = true;
        g_idle_add(drop_unused_scroller, nullptr);
    }
    if (bbox)
        retire(bbox);
    frame = nullptr;
    bbox = nullptr;
}

// The first button of a bar that can be used, left to right.
static GtkWidget *first_button(GtkWidget *bar)
{
    GList *all = gtk_container_get_children(GTK_CONTAINER(bar));
    GtkWidget *found = nullptr;
    GtkWidget *found_end = nullptr;
    for (GList *l = all; l; l = l->next) {
        GtkWidget *w = GTK_WIDGET(l->data);
        if (!GTK_IS_BUTTON(w) || !gtk_widget_is_sensitive(w))
            continue;
        gboolean expand, fill;
        guint padding;
        GtkPackType pack;
        gtk_box_query_child_packing(GTK_BOX(bar), w, &expand, &fill, &padding, &pack);
        // Of those packed from the end, the last packed stands leftmost.
        if (pack == GTK_PACK_START) {
            found = w;
            break;
        }
        found_end = w;
    }
    g_list_free(all);
    return found ? found : found_end;
}

static void make_accessible(GtkWidget *widget, gpointer)
{
    gtk_widget_get_accessible(widget);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), make_accessible, nullptr);
}

void screen_put_up(GtkWidget *new_frame, GtkWidget *new_bbox, GtkWidget *focus)
{
    screen_take_down();
    frame = new_frame;
    bbox = new_bbox;
    // A page taller than the screen scrolls; the button bar stays in view.
    if (!page_scroller) {
        page_scroller = fit_scroller(nullptr);
        g_object_add_weak_pointer(G_OBJECT(page_scroller), reinterpret_cast<gpointer *>(&page_scroller));
        gtk_box_pack_start(GTK_BOX(box2), page_scroller, TRUE, TRUE, 10);
    }
    fit_scroller_show(page_scroller, frame);
    gtk_box_pack_end(GTK_BOX(box2), bbox, FALSE, FALSE, 10);
    gtk_widget_show_all(box2);
    fit_prepare(page_scroller);
    // The toolkit's accessible side of a widget tells of its focus only once
    // it exists, and it is made on demand: a control that had none when it
    // took the focus (the new screen's first, or any reached by Tab) was
    // never announced.
    make_accessible(frame, nullptr);
    make_accessible(bbox, nullptr);
    // Focus goes where the examinee works next, so that the keyboard works
    // at once and a screen reader announces the new screen.
    if (!focus || !gtk_widget_get_can_focus(focus) || !gtk_widget_is_sensitive(focus))
        focus = first_button(bbox);
    if (focus)
        gtk_widget_grab_focus(focus);
}

void screen_set_default(GtkWidget *button)
{
    gtk_widget_set_can_default(button, TRUE);
    gtk_widget_grab_default(button);
}

void screen_empty(void)
{
    screen_take_down();
    enable_exam_menus();
}

GtkWidget *screen_button_bar(void)
{
    GtkWidget *bar = gtk_hbox_new(FALSE, 5);
    gtk_container_set_border_width(GTK_CONTAINER(bar), 7);
    return bar;
}

GtkWidget *screen_add_button(GtkWidget *bar, const char *label, bool from_end,
                             void (*handler)(GtkWidget *, void *), void *data,
                             GClosureNotify destroy)
{
    GtkWidget *button = gtk_button_new_with_label(label);
    if (handler)
        g_signal_connect_data(button, "clicked", G_CALLBACK(handler), data,
                              destroy, GConnectFlags(0));
    if (from_end)
        gtk_box_pack_end(GTK_BOX(bar), button, FALSE, FALSE, 2);
    else
        gtk_box_pack_start(GTK_BOX(bar), button, FALSE, FALSE, 2);
    return button;
}

GtkWidget *framed(GtkWidget *child, const char *label, int border)
{
    GtkWidget *f = gtk_frame_new(label);
    gtk_container_set_border_width(GTK_CONTAINER(f), border);
    gtk_container_add(GTK_CONTAINER(f), child);
    return f;
}

GtkWidget *colour_panel(GtkWidget *child, const char *colour)
{
    GtkWidget *panel = gtk_event_box_new();
    GdkColor c;
    if (gdk_color_parse(colour, &c))
        gtk_widget_modify_bg(panel, GTK_STATE_NORMAL, &c);
    gtk_container_add(GTK_CONTAINER(panel), child);
    return panel;
}

void set_label_markup_or_text(GtkLabel *label, const char *text, const char *what, double max_height)
{
    // A label holds UTF-8 only; an exam's text may have other bytes.
    gchar_ptr valid;
    if (!g_utf8_validate(text, -1, nullptr)) {
        valid.reset(g_utf8_make_valid(text, -1));
        text = valid.get();
    }
    gerror_ptr why;
    if (markup_is_safe(text, max_height > 0 ? max_height : MARKUP_MAX_PIXELS, out_error(why))) {
        gtk_label_set_markup(label, text);
        return;
    }
    // An author's stray '&' must not cost the examinee the whole text, nor
    // a giant font size the whole run (the X server refuses such a window).
    if (markup_is_valid(text, nullptr))
        fprintf(stderr, "Trialix: %s is markup too large to show (%s); shown as plain text\n",
                what, why->message);
    else
        fprintf(stderr, "Trialix: %s is not valid markup (%s); shown as plain text\n", what,
                why->message);
    gtk_label_set_text(label, text);
}
