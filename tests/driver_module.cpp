// A GTK module that lets a test drive the real trialix (GTK_MODULES) the
// way a user would, by the labels on the screen, without coordinates.
//
// The test writes one request, "SEQ\tCOMMAND\tARGUMENT", to
// $TRIALIX_DRIVER.req; the module takes it and answers in $TRIALIX_DRIVER
// with "SEQ\tok" or "SEQ\tfail", then for `dump` one mapped widget a line:
//   KIND  SENSITIVE  ACTIVE  TEXT
// KIND window, button, check, radio, menuitem, entry or label; ACTIVE 1 or
// 0 for check and radio buttons, - for the rest; texts on one line.
// `label PART` answers with the whole text of the first label shown that
// holds PART, in C escapes (g_strescape) on one line.
// Commands: click LABEL (a sensitive, mapped button whose label is LABEL,
// blanks around it ignored), menu START (the menu item whose label begins
// with START), type TEXT (into the first sensitive entry shown), dump.
// Clicks run from an idle of their own, so a dialog they open runs its
// loop while the module goes on answering.
#include <glib/gstdio.h>
#include <gtk/gtk.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

std::string answer_path, request_path;

std::string one_line(const char *text)
{
    std::string s = text ? text : "";
    for (char &c : s)
        if (c == '\n' || c == '\t')
            c = ' ';
    return s;
}

std::string trimmed(const char *text)
{
    gchar *copy = g_strstrip(g_strdup(text ? text : ""));
    std::string s = copy;
    g_free(copy);
    return s;
}

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

using visit = std::function<bool(GtkWidget *)>;   // true: stop

bool walk(GtkWidget *w, const visit &f)
{
    if (f(w))
        return true;
    if (!GTK_IS_CONTAINER(w))
        return false;
    bool stop = false;
    GList *kids = gtk_container_get_children(GTK_CONTAINER(w));
    for (GList *k = kids; k && !stop; k = k->next)
        stop = walk(GTK_WIDGET(k->data), f);
    g_list_free(kids);
    return stop;
}

// The first widget of all windows (menus' too) that `match` accepts.
GtkWidget *find(const std::function<bool(GtkWidget *)> &match)
{
    GtkWidget *found = nullptr;
    GList *tops = gtk_window_list_toplevels();
    for (GList *t = tops; t && !found; t = t->next)
        walk(GTK_WIDGET(t->data), [&](GtkWidget *w) {
            if (match(w))
                found = w;
            return found != nullptr;
        });
    g_list_free(tops);
    return found;
}

bool usable(GtkWidget *w)
{
    return gtk_widget_get_mapped(w) && gtk_widget_is_sensitive(w);
}

struct deferred {
    gpointer widget;   // a reference, so that the widget outlives the wait
    std::function<void()> action;
};

gboolean run_later(gpointer data)
{
    auto *d = static_cast<deferred *>(data);
    // A widget destroyed meanwhile is one the user could no longer use.
    if (gtk_widget_get_parent(GTK_WIDGET(d->widget)))
        d->action();
    g_object_unref(d->widget);
    delete d;
    return FALSE;
}

void later(gpointer widget, std::function<void()> action)
{
    g_idle_add(run_later, new deferred{widget, std::move(action)});
}

void dump(std::string &out)
{
    GList *tops = gtk_window_list_toplevels();
    for (GList *t = tops; t; t = t->next) {
        GtkWidget *top = GTK_WIDGET(t->data);
        if (!gtk_widget_get_mapped(top))
            continue;
        out += "window\t1\t-\t" + one_line(gtk_window_get_title(GTK_WINDOW(top))) + "\n";
        walk(top, [&](GtkWidget *w) {
            const char *kind = kind_of(w);
            if (!kind || !gtk_widget_get_mapped(w))
                return false;
            const char *text = GTK_IS_ENTRY(w) ? gtk_entry_get_text(GTK_ENTRY(w)) : inner_label(w);
            const char *active = "-";
            if (GTK_IS_CHECK_BUTTON(w))
                active = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)) ? "1" : "0";
            out += std::string(kind) + "\t" + (gtk_widget_is_sensitive(w) ? "1" : "0") + "\t" +
                   active + "\t" + one_line(text) + "\n";
            return false;
        });
    }
    g_list_free(tops);
}

bool perform(const std::string &command, const std::string &arg, std::string &out)
{
    if (command == "dump") {
        dump(out);
        return true;
    }
    if (command == "click") {
        GtkWidget *b = find([&](GtkWidget *w) {
            return GTK_IS_BUTTON(w) && usable(w) && trimmed(inner_label(w)) == arg;
        });
        if (b)
            later(g_object_ref(b), [b] { gtk_button_clicked(GTK_BUTTON(b)); });
        return b != nullptr;
    }
    if (command == "menu") {
        GtkWidget *m = find([&](GtkWidget *w) {
            return GTK_IS_MENU_ITEM(w) && gtk_widget_is_sensitive(w) &&
                   g_str_has_prefix(trimmed(inner_label(w)).c_str(), arg.c_str());
        });
        if (m)
            later(g_object_ref(m), [m] { gtk_menu_item_activate(GTK_MENU_ITEM(m)); });
        return m != nullptr;
    }
    if (command == "label") {
        // The whole text of the first label that holds ARGUMENT, newlines
        // and all, in C escapes on one line.
        GtkWidget *l = find([&](GtkWidget *w) {
            return GTK_IS_LABEL(w) && gtk_widget_get_mapped(w) &&
                   strstr(gtk_label_get_text(GTK_LABEL(w)), arg.c_str());
        });
        if (l) {
            gchar *escaped = g_strescape(gtk_label_get_text(GTK_LABEL(l)), nullptr);
            out += std::string(escaped) + "\n";
            g_free(escaped);
        }
        return l != nullptr;
    }
    if (command == "type") {
        GtkWidget *e = find([](GtkWidget *w) { return GTK_IS_ENTRY(w) && usable(w); });
        if (e)
            later(g_object_ref(e), [e, arg] { gtk_entry_set_text(GTK_ENTRY(e), arg.c_str()); });
        return e != nullptr;
    }
    return false;
}

gboolean poll(gpointer)
{
    gchar *raw = nullptr;
    if (!g_file_get_contents(request_path.c_str(), &raw, nullptr, nullptr))
        return TRUE;
    g_unlink(request_path.c_str());
    gchar **parts = g_strsplit(raw, "\t", 3);
    g_free(raw);
    std::string seq = parts[0] ? parts[0] : "";
    std::string command = parts[0] && parts[1] ? parts[1] : "";
    std::string arg = command.empty() || !parts[2] ? "" : parts[2];
    g_strfreev(parts);
    std::string body;
    bool ok = perform(command, arg, body);
    std::string text = seq + "\t" + (ok ? "ok" : "fail") + "\n" + body;
    std::string tmp = answer_path + ".tmp";
    if (g_file_set_contents(tmp.c_str(), text.c_str(), -1, nullptr))
        g_rename(tmp.c_str(), answer_path.c_str());
    return TRUE;
}

} // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint *, gchar ***)
{
    const char *base = g_getenv("TRIALIX_DRIVER");
    if (!base || !*base)
        return;
    answer_path = base;
    request_path = answer_path + ".req";
    g_timeout_add(20, poll, nullptr);
}
