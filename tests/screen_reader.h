// A screen reader's view of the real trialix: its own D-Bus session bus,
// accessibility bus and registry, a window manager that gives windows the
// focus as a desktop does, the program started with the toolkit's
// accessibility bridge, keys sent through the X server, and every focus
// event heard as a screen reader hears it. SR_DEBUG=1 in the environment
// prints every announcement as it is heard.
#pragma once

#include <atspi/atspi.h>
#include <glib.h>

#include <string>
#include <utility>
#include <vector>

#include "test_util.h"

namespace sr {

// A program the test started; ended (SIGTERM, then SIGKILL) when it goes.
class Child {
public:
    Child() = default;
    ~Child() { stop(); }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    // Starts `argv` with `env` (the test's own when null). With `first_line`,
    // its standard output is read up to the first line break; `quiet`
    // sends its standard error to /dev/null.
    bool start(const std::vector<std::string> &argv, gchar **env = nullptr,
               std::string *first_line = nullptr, bool quiet = false);
    void stop();
    bool running();
    // Waits up to `usec` for it to end by itself.
    bool wait_exit(gint64 usec);

private:
    GPid pid_ = 0;
};

// What a screen reader says when the focus moves to one object (or a menu
// item is selected): the window
// (only when it is another than before) with its description, the names and
// descriptions of the named panels around the object, the object's name,
// role and description, and the texts of what it is labelled or described by.
struct Heard {
    bool focused = false;   // a focus event, not a menu item's selection
    std::string window;   // name of the window holding the object
    std::string role, name, description;
    std::string context;   // everything said, in order, one line each
};

// The bus, registry and window manager of one test, and what was heard.
class ScreenReader {
public:
    ScreenReader();
    ~ScreenReader();
    // False (with the reason in *why) when a piece could not be started.
    bool start(std::string *why);

    // The environment for a program to be heard: this test's bus, the
    // toolkit's accessibility modules.
    gchar **environment(const TempDir &root) const;

    // Sends a key (an xdotool key name, e.g. "Tab", "shift+Tab", "alt+y")
    // or types text through the X server.
    void key(const std::string &keys);
    void type(const std::string &text);

    // Waits up to `usec` for a focus event (or menu selection) after the `from`-th one heard;
    // returns its index, or -1.
    int wait_focus(size_t from, gint64 usec = 10 * G_USEC_PER_SEC);
    // Presses `keys` and waits for the focus event that follows.
    const Heard *press(const std::string &keys);
    // Presses `keys` until an object whose name is `name` has the focus,
    // at most `most` times; returns what was heard there, or null.
    const Heard *press_until(const std::string &keys, const std::string &name, int most = 12);
    // Waits until the focus lands on a window named `window`.
    bool wait_window_active(const std::string &window, gint64 usec = 10 * G_USEC_PER_SEC);

    std::vector<Heard> heard;
    std::vector<std::string> activated;   // windows activated, in order

private:
    static void on_focus(AtspiEvent *event, void *self);
    void hear(bool focused, AtspiAccessible *source);
    static void on_activate(AtspiEvent *event, void *self);
    void pump();

    TempDir dir_;
    std::string bus_;
    Child dbus_, launcher_, wm_;
    AtspiEventListener *focus_ = nullptr, *activate_ = nullptr;
    std::string last_window_;
    std::vector<std::pair<bool, AtspiAccessible *>> pending_;   // focused?, source
    std::vector<AtspiAccessible *> pending_windows_;            // activated, not yet named
    bool inited_ = false;
};

} // namespace sr
