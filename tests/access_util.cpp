#include "access_util.h"

#include <gdk/gdk.h>

namespace a11y {

GtkWidget *key_window()
{
    GtkWidget *grab = gtk_grab_get_current();
    return grab ? gtk_widget_get_toplevel(grab) : main_window;
}

void key(guint keyval, GdkModifierType mods, GtkWidget *window)
{
    if (!window)
        window = key_window();
    GdkWindow *w = gtk_widget_get_window(window);
    ASSERT_NE(w, nullptr) << "no window to send keys to";
    EXPECT_TRUE(gdk_test_simulate_key(w, -1, -1, keyval, mods, GDK_KEY_PRESS));
    EXPECT_TRUE(gdk_test_simulate_key(w, -1, -1, keyval, mods, GDK_KEY_RELEASE));
    gdk_display_sync(gdk_display_get_default());
    gui::pump();
}

void type(const std::string &text, GtkWidget *window)
{
    for (char c : text)
        key(gdk_unicode_to_keyval((guchar)c), GdkModifierType(0), window);
}

GtkWidget *focused(GtkWidget *window)
{
    return gtk_window_get_focus(GTK_WINDOW(window ? window : main_window));
}

std::string describe(GtkWidget *widget)
{
    if (!widget)
        return "(nothing)";
    if (GTK_IS_BUTTON(widget) && !gui::button_label(widget).empty())
        return "\"" + gui::button_label(widget) + "\"";
    return G_OBJECT_TYPE_NAME(widget);
}

bool tab_to(const std::string &label, GtkWidget *window)
{
    GtkWidget *top = window ? window : main_window;
    size_t most = gui::find_all(top, [](GtkWidget *) { return true; }).size();
    for (size_t i = 0; i <= most; i++) {
        GtkWidget *f = focused(top);
        if (f && GTK_IS_BUTTON(f) && gui::button_label(f) == label)
            return true;
        key(GDK_Tab, GdkModifierType(0), top);
    }
    return false;
}

void write_small_exam(const TempDir &exams)
{
    exams.write("demo/.xconfig", "title=Keys\ntimeout=30\npercentage=50\n[message]\nHello.\n");
    write_question_file(exams / "demo/cat00",
                        "+++\nS1\nWhich is a colour of grass?\n---\n-Red\n+Green\n-Blue\n"
                        "---\nGrass is green.\n+++\n");
    write_question_file(exams / "demo/cat01",
                        "+++\nM1\nWhich are Greek letters?\n---\n+Alpha\n+Beta\n-Gamma bomb\n"
                        "---\nGamma bomb isn't.\n+++\n");
    write_question_file(exams / "demo/cat02",
                        "+++\nF1\nThe capital of France?\n---\nParis\n---\nParis.\n+++\n");
}

static void walk(AtkObject *obj, std::vector<AtkObject *> &out)
{
    out.push_back(obj);
    for (int i = 0; i < atk_object_get_n_accessible_children(obj); i++) {
        AtkObject *child = atk_object_ref_accessible_child(obj, i);
        if (!child)
            continue;
        walk(child, out);
        // The widget behind it keeps it alive while the screen stands.
        g_object_unref(child);
    }
}

std::vector<AtkObject *> accessibles(GtkWidget *window)
{
    std::vector<AtkObject *> out;
    walk(gtk_widget_get_accessible(window), out);
    return out;
}

std::string name_of(AtkObject *obj)
{
    const char *name = atk_object_get_name(obj);
    return name ? name : "";
}

bool has_state(AtkObject *obj, AtkStateType state)
{
    AtkStateSet *set = atk_object_ref_state_set(obj);
    bool has = set && atk_state_set_contains_state(set, state);
    if (set)
        g_object_unref(set);
    return has;
}

LogCatcher::LogCatcher()
{
    fatal_ = g_log_set_always_fatal(GLogLevelFlags(G_LOG_FATAL_MASK));
    old_ = g_log_set_default_handler(handle, this);
    old_data_ = nullptr;   // the only handler before ours is GLib's own
}

LogCatcher::~LogCatcher()
{
    g_log_set_default_handler(old_, old_data_);
    g_log_set_always_fatal(fatal_);
}

void LogCatcher::handle(const gchar *domain, GLogLevelFlags level, const gchar *message,
                        gpointer self)
{
    if (level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL))
        static_cast<LogCatcher *>(self)->messages.push_back(std::string(domain ? domain : "") +
                                                            ": " + message);
}

} // namespace a11y
