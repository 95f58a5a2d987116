#include "screen_reader.h"

#include <gio/gio.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace sr {

static const gint64 START_USEC = 15 * G_USEC_PER_SEC;

bool Child::start(const std::vector<std::string> &argv, gchar **env, std::string *first_line,
                  bool quiet)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    int out = -1;
    GError *error = nullptr;
    GSpawnFlags flags = G_SPAWN_DO_NOT_REAP_CHILD;
    if (quiet)
        flags = GSpawnFlags(flags | G_SPAWN_STDERR_TO_DEV_NULL);
    if (!g_spawn_async_with_pipes(nullptr, args.data(), env, flags, nullptr,
                                  nullptr, &pid_, nullptr, first_line ? &out : nullptr, nullptr,
                                  &error)) {
        g_clear_error(&error);
        pid_ = 0;
        return false;
    }
    if (first_line) {
        first_line->clear();
        char c;
        while (read(out, &c, 1) == 1 && c != '\n')
            *first_line += c;
        close(out);
    }
    return true;
}

bool Child::running()
{
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_)
        pid_ = 0;
    return pid_ > 0;
}

bool Child::wait_exit(gint64 usec)
{
    gint64 end = g_get_monotonic_time() + usec;
    while (pid_ > 0 && g_get_monotonic_time() < end) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = 0;
            return true;
        }
        g_usleep(10000);
    }
    return pid_ == 0;
}

void Child::stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    if (!wait_exit(3 * G_USEC_PER_SEC)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = 0;
}

ScreenReader::ScreenReader() = default;

ScreenReader::~ScreenReader()
{
    for (auto &event : pending_)
        g_object_unref(event.second);
    for (AtspiAccessible *window : pending_windows_)
        g_object_unref(window);
    if (inited_)
        atspi_exit();
    wm_.stop();
    // The launcher ends the accessibility bus, and with it the registry.
    launcher_.stop();
    dbus_.stop();
}

// Whether a window manager has taken the display (it names itself on the
// root window).
static bool window_manager_running()
{
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return false;
    Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    bool found = XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type,
                                    &format, &count, &after, &data) == Success &&
                 count == 1;
    if (data)
        XFree(data);
    XCloseDisplay(d);
    return found;
}

// The address of the accessibility bus that the launcher on `session` runs.
static std::string a11y_bus_address(const std::string &session)
{
    GError *error = nullptr;
    GDBusConnection *c = g_dbus_connection_new_for_address_sync(
        session.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!c) {
        g_clear_error(&error);
        return "";
    }
    std::string address;
    gint64 end = g_get_monotonic_time() + START_USEC;
    while (address.empty() && g_get_monotonic_time() < end) {
        GVariant *owner = g_dbus_connection_call_sync(
            c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "NameHasOwner", g_variant_new("(s)", "org.a11y.Bus"), G_VARIANT_TYPE("(b)"),
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        gboolean has = FALSE;
        if (owner) {
            g_variant_get(owner, "(b)", &has);
            g_variant_unref(owner);
        }
        if (has) {
            GVariant *reply = g_dbus_connection_call_sync(
                c, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
                G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, nullptr);
            if (reply) {
                const char *a = nullptr;
                g_variant_get(reply, "(&s)", &a);
                address = a ? a : "";
                g_variant_unref(reply);
            }
        }
        if (address.empty())
            g_usleep(20000);
    }
    g_object_unref(c);
    return address;
}

bool ScreenReader::start(std::string *why)
{
    // A bus of our own, never the desktop's.
    if (!dbus_.start({DBUS_DAEMON, "--session", "--nofork", "--print-address=1"}, nullptr, &bus_, true) ||
        bus_.empty()) {
        *why = "no D-Bus session bus (" DBUS_DAEMON ")";
        return false;
    }
    g_setenv("DBUS_SESSION_BUS_ADDRESS", bus_.c_str(), TRUE);
    g_unsetenv("AT_SPI_BUS_ADDRESS");
    if (!launcher_.start({AT_SPI_BUS_LAUNCHER, "--launch-immediately"}, nullptr, nullptr, true)) {
        *why = "no accessibility bus launcher (" AT_SPI_BUS_LAUNCHER ")";
        return false;
    }
    std::string a11y = a11y_bus_address(bus_);
    if (a11y.empty()) {
        *why = "the accessibility bus did not come up";
        return false;
    }
    // Asked first, so nothing on the display can send us to another bus.
    g_setenv("AT_SPI_BUS_ADDRESS", a11y.c_str(), TRUE);

    // The window manager now and then fails to open a display that has just
    // come up; it is started again then.
    for (int attempt = 0; attempt < 5 && !window_manager_running(); attempt++) {
        if (!wm_.start({WINDOW_MANAGER, "-use_titlebar", "no", "-use_cursor", "no"}, nullptr,
                       nullptr, true)) {
            *why = "no window manager (" WINDOW_MANAGER ")";
            return false;
        }
        gint64 end = g_get_monotonic_time() + START_USEC;
        while (wm_.running() && !window_manager_running() && g_get_monotonic_time() < end)
            g_usleep(10000);
    }
    if (!window_manager_running()) {
        *why = "the window manager did not take the display";
        return false;
    }

    if (atspi_init() > 1) {
        *why = "libatspi did not start";
        return false;
    }
    inited_ = true;
    focus_ = atspi_event_listener_new(on_focus, this, nullptr);
    activate_ = atspi_event_listener_new(on_activate, this, nullptr);
    // A menu's items are announced as they are selected.
    if (!atspi_event_listener_register(focus_, "object:state-changed:focused", nullptr) ||
        !atspi_event_listener_register(focus_, "object:state-changed:selected", nullptr) ||
        !atspi_event_listener_register(activate_, "object:state-changed:active", nullptr)) {
        *why = "the registry took no listener";
        return false;
    }
    return true;
}

gchar **ScreenReader::environment(const TempDir &root) const
{
    gchar **env = environment_in(root, {{"GTK_MODULES", "gail:atk-bridge"}, {"GNOME_ACCESSIBILITY", "1"}});
    env = g_environ_unsetenv(env, "NO_AT_BRIDGE");
    return env;
}

static void xdotool(const std::vector<std::string> &args)
{
    std::vector<char *> argv{const_cast<char *>(XDOTOOL)};
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                 nullptr, nullptr, nullptr);
}

void ScreenReader::key(const std::string &keys)
{
    xdotool({"key", "--clearmodifiers", keys});
}

void ScreenReader::type(const std::string &text)
{
    xdotool({"type", "--delay", "20", text});
}

static std::string name_of(AtspiAccessible *a);

void ScreenReader::pump()
{
    bool busy = g_main_context_iteration(nullptr, FALSE);
    // Messages read while waiting for a reply wait for no more traffic.
    DBusConnection *bus = atspi_get_a11y_bus();
    while (bus && dbus_connection_dispatch(bus) == DBUS_DISPATCH_DATA_REMAINS)
        busy = true;
    std::vector<AtspiAccessible *> windows;
    windows.swap(pending_windows_);
    for (AtspiAccessible *window : windows) {
        activated.push_back(name_of(window));
        g_object_unref(window);
    }
    std::vector<std::pair<bool, AtspiAccessible *>> events;
    events.swap(pending_);
    for (auto &[focused, source] : events) {
        hear(focused, source);
        g_object_unref(source);
    }
    if (!busy && events.empty() && windows.empty())
        g_usleep(2000);
}

int ScreenReader::wait_focus(size_t from, gint64 usec)
{
    gint64 end = g_get_monotonic_time() + usec;
    while (heard.size() <= from && g_get_monotonic_time() < end)
        pump();
    // Whatever follows at once (a group's member after the group) is
    // heard too before the caller looks.
    gint64 settle = g_get_monotonic_time() + 100000;
    while (g_get_monotonic_time() < settle)
        pump();
    return heard.size() > from ? (int)heard.size() - 1 : -1;
}

const Heard *ScreenReader::press(const std::string &keys)
{
    size_t from = heard.size();
    key(keys);
    int at = wait_focus(from);
    return at < 0 ? nullptr : &heard[at];
}

const Heard *ScreenReader::press_until(const std::string &keys, const std::string &name, int most)
{
    if (!heard.empty() && heard.back().name == name)
        return &heard.back();
    for (int i = 0; i < most; i++) {
        const Heard *h = press(keys);
        if (h && h->name == name)
            return h;
    }
    return nullptr;
}

bool ScreenReader::wait_window_active(const std::string &window, gint64 usec)
{
    gint64 end = g_get_monotonic_time() + usec;
    auto found = [&] {
        for (const std::string &w : activated)
            if (w == window)
                return true;
        return false;
    };
    while (!found() && g_get_monotonic_time() < end)
        pump();
    return found();
}

static std::string text_of(gchar *s)
{
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

static std::string name_of(AtspiAccessible *a)
{
    return text_of(atspi_accessible_get_name(a, nullptr));
}

static std::string description_of(AtspiAccessible *a)
{
    return text_of(atspi_accessible_get_description(a, nullptr));
}

static bool is_window(AtspiRole role)
{
    return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_DIALOG || role == ATSPI_ROLE_ALERT ||
           role == ATSPI_ROLE_WINDOW || role == ATSPI_ROLE_FILE_CHOOSER;
}

// The texts of the objects `a` is labelled or described by.
static std::string related_texts(AtspiAccessible *a)
{
    std::string out;
    GArray *set = atspi_accessible_get_relation_set(a, nullptr);
    if (!set)
        return out;
    for (guint i = 0; i < set->len; i++) {
        AtspiRelation *r = g_array_index(set, AtspiRelation *, i);
        AtspiRelationType type = atspi_relation_get_relation_type(r);
        if (type == ATSPI_RELATION_LABELLED_BY || type == ATSPI_RELATION_DESCRIBED_BY)
            for (gint t = 0; t < atspi_relation_get_n_targets(r); t++) {
                AtspiAccessible *target = atspi_relation_get_target(r, t);
                out += name_of(target) + "\n";
                g_object_unref(target);
            }
        g_object_unref(r);
    }
    g_array_free(set, TRUE);
    return out;
}

void ScreenReader::on_focus(AtspiEvent *event, void *data)
{
    auto *self = static_cast<ScreenReader *>(data);
    // Asked about after the dispatch: a call to the program from inside it
    // holds up the events that arrive meanwhile.
    if (event->detail1 == 1 && event->source)
        self->pending_.push_back({g_str_has_suffix(event->type, ":focused"),
                                  ATSPI_ACCESSIBLE(g_object_ref(event->source))});
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

void ScreenReader::hear(bool focused, AtspiAccessible *source)
{
    if (!focused && atspi_accessible_get_role(source, nullptr) != ATSPI_ROLE_MENU_ITEM)
        return;
    Heard h;
    h.focused = focused;
    h.name = name_of(source);
    h.role = text_of(atspi_accessible_get_role_name(source, nullptr));
    h.description = description_of(source);

    // The object's surroundings, innermost first: named panels, the window.
    std::string panels, window_said;
    AtspiAccessible *up = atspi_accessible_get_parent(source, nullptr);
    while (up) {
        AtspiRole role = atspi_accessible_get_role(up, nullptr);
        if (role == ATSPI_ROLE_APPLICATION) {
            g_object_unref(up);
            break;
        }
        std::string name = name_of(up);
        if (is_window(role)) {
            h.window = name;
            window_said = name + "\n" + description_of(up) + "\n";
        } else if (!name.empty()) {
            panels = name + "\n" + description_of(up) + "\n" + panels;
        }
        AtspiAccessible *next = atspi_accessible_get_parent(up, nullptr);
        g_object_unref(up);
        up = next;
    }
    // An object already gone from its window is no announcement.
    if (h.window.empty())
        return;
    if (h.window != last_window_)
        h.context = window_said;
    last_window_ = h.window;
    h.context += panels + h.name + "\n" + h.role + "\n" + h.description + "\n" +
                 related_texts(source);
    if (g_getenv("SR_DEBUG"))
        fprintf(stderr, "FOCUS [%s] %s (%s) {%s}\n", h.window.c_str(), h.name.c_str(),
                h.role.c_str(), h.description.c_str());
    heard.push_back(h);
}

void ScreenReader::on_activate(AtspiEvent *event, void *data)
{
    auto *self = static_cast<ScreenReader *>(data);
    // Named after the dispatch, as focus events are: libatspi loses what it
    // holds for events that arrive during a call made from inside one.
    if (event->source && event->detail1 == 1)
        self->pending_windows_.push_back(ATSPI_ACCESSIBLE(g_object_ref(event->source)));
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

} // namespace sr
