// Helpers for driving the program as a keyboard-only user and reading it
// as a screen reader does: key presses sent through the X server, the
// accessible tree, and a catcher for GLib's warnings.
#pragma once

#include <gdk/gdkkeysyms.h>

#include "gui_util.h"

namespace a11y {

// The window that takes keys now: the one holding the toolkit's grab (an
// open menu, a modal dialog), else the main window.
GtkWidget *key_window();

// Presses and releases `keyval` with `mods` on `window` (key_window() when
// none) through the X server, and lets GTK handle what follows.
void key(guint keyval, GdkModifierType mods = GdkModifierType(0), GtkWidget *window = nullptr);
// Types `text` (ASCII) key by key.
void type(const std::string &text, GtkWidget *window = nullptr);

// The widget that has the keyboard focus in `window` (main window if none).
GtkWidget *focused(GtkWidget *window = nullptr);
// What the focus is, for messages: a button's label, or the widget's type.
std::string describe(GtkWidget *widget);
// Presses Tab until the focus is on a button labelled `label`; false when
// it never comes within as many presses as the window has widgets.
bool tab_to(const std::string &label, GtkWidget *window = nullptr);

// The exam "demo" in `exams`: one single-choice item (-Red +Green -Blue),
// one multiple-choice item (+Alpha +Beta -Gamma bomb), one fill-in item
// (Paris), each in its own question file.
void write_small_exam(const TempDir &exams);

// Accessible tree of a window, depth first, in the tree's own order.
std::vector<AtkObject *> accessibles(GtkWidget *window);
std::string name_of(AtkObject *obj);
bool has_state(AtkObject *obj, AtkStateType state);

// Collects every warning and critical that GLib, GTK or the accessibility
// layer logs while it exists, instead of stopping the tests at one.
class LogCatcher {
public:
    LogCatcher();
    ~LogCatcher();
    LogCatcher(const LogCatcher &) = delete;
    LogCatcher &operator=(const LogCatcher &) = delete;
    std::vector<std::string> messages;

private:
    static void handle(const gchar *domain, GLogLevelFlags level, const gchar *message, gpointer self);
    GLogLevelFlags fatal_;
    GLogFunc old_;
    gpointer old_data_;
};

} // namespace a11y
