// A GTK module that scripts/screenshots loads into trialix (GTK_MODULES)
// so that it can click buttons by their labels instead of by guessed
// coordinates: on request it writes where every visible window, button,
// menu item, entry and label is on the screen. It reads no input and
// changes nothing in the program.
//
// Request: create the file $TRIALIX_PROBE.req. The module removes it and
// writes $TRIALIX_PROBE, one widget a line, fields separated by tabs:
//   KIND  SENSITIVE  ACTIVE  X  Y  WIDTH  HEIGHT  WINDOW  TEXT
// KIND is window, button, check, radio, menuitem, entry or label;
// SENSITIVE is 1 or 0; ACTIVE is 1 or 0 for check and radio buttons
// (ticked or not) and - for the rest; X and Y are root coordinates;
// WINDOW is the X id of the widget's top-level window; TEXT is the
// title, label or entry text, line breaks and tabs as blanks.
#include <gdk/gdkx.h>
#include <glib/gstdio.h>
#include <gtk/gtk.h>

#include <string>

namespace {

std::string request_path, answer_path;

std::string one_line(const char *text)
{
    std::string s = text ? text : "";
    for (char &c : s)
        if (c == '\n' || c == '\t')
            c = ' ';
    return s;
}

// The text of the first label inside `widget` (a button's or menu item's).
const char *inner_label(GtkWidget *widget)
{
    if (GTK_IS_LABEL(widget))
        return gtk_label_get_text(GTK_LABEL(widget));
    if (!GTK_IS_CONTAINER(widget))
        return nullptr;
    const char *found = nullptr;
    GList *kids = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList *k = kids; k && !found; k = k->next)
        found = inner_label(GTK_WIDGET(k->data));
    g_list_free(kids);
    return found;
}

const char *kind_of(GtkWidget *w)
{
    if (GTK_IS_RADIO_BUTTON(w))
        return "radio";
    if (GTK_IS_CHECK_BUTTON(w))
        return "check";
    if (GTK_IS_BUTTON(w))
        return "button";
    if (GTK_IS_MENU_ITEM(w))
        return "menuitem";
    if (GTK_IS_ENTRY(w))
        return "entry";
    if (GTK_IS_LABEL(w))
        return "label";
    return nullptr;
}

struct dump {
    FILE *out;
    GtkWidget *top;
    int top_x, top_y;
    unsigned long xid;

    void line(const char *kind, bool sensitive, const char *active, int x, int y, int w, int h,
              const char *text)
    {
        fprintf(out, "%s\t%d\t%s\t%d\t%d\t%d\t%d\t%lu\t%s\n", kind, sensitive ? 1 : 0, active, x,
                y, w, h, xid, one_line(text).c_str());
    }

    void widget(GtkWidget *w)
    {
        if (!gtk_widget_get_mapped(w))
            return;
        if (const char *kind = kind_of(w)) {
            int x = 0, y = 0;
            gtk_widget_translate_coordinates(w, top, 0, 0, &x, &y);
            const char *text = GTK_IS_ENTRY(w) ? gtk_entry_get_text(GTK_ENTRY(w))
                                               : inner_label(w);
            const char *active = "-";
            if (GTK_IS_CHECK_BUTTON(w))
                active = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)) ? "1" : "0";
            line(kind, gtk_widget_is_sensitive(w), active, top_x + x, top_y + y,
                 w->allocation.width, w->allocation.height, text);
        }
        if (GTK_IS_CONTAINER(w))
            gtk_container_forall(
                GTK_CONTAINER(w), [](GtkWidget *kid, gpointer self) {
                    static_cast<dump *>(self)->widget(kid);
                },
                this);
    }
};

void write_answer(void)
{
    std::string tmp = answer_path + ".tmp";
    FILE *out = g_fopen(tmp.c_str(), "w");
    if (!out)
        return;
    GList *tops = gtk_window_list_toplevels();
    for (GList *t = tops; t; t = t->next) {
        GtkWidget *top = GTK_WIDGET(t->data);
        if (!gtk_widget_get_mapped(top) || !top->window)
            continue;
        dump d{out, top, 0, 0, GDK_WINDOW_XID(top->window)};
        gdk_window_get_origin(top->window, &d.top_x, &d.top_y);
        d.line("window", true, "-", d.top_x, d.top_y, top->allocation.width, top->allocation.height,
               gtk_window_get_title(GTK_WINDOW(top)));
        gtk_container_forall(
            GTK_CONTAINER(top), [](GtkWidget *kid, gpointer self) {
                static_cast<dump *>(self)->widget(kid);
            },
            &d);
    }
    g_list_free(tops);
    fclose(out);
    g_rename(tmp.c_str(), answer_path.c_str());
}

gboolean poll(gpointer)
{
    if (g_file_test(request_path.c_str(), G_FILE_TEST_EXISTS)) {
        g_unlink(request_path.c_str());
        write_answer();
    }
    return TRUE;
}

} // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint *, gchar ***)
{
    const char *base = g_getenv("TRIALIX_PROBE");
    if (!base || !*base)
        return;
    answer_path = base;
    request_path = answer_path + ".req";
    g_timeout_add(50, poll, nullptr);
}
