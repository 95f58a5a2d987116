#include "gui_util.h"

#include <algorithm>

#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"

namespace gui {

void pump()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

static void collect(GtkWidget *widget, const Match &match, std::vector<GtkWidget *> &out)
{
    if (match(widget))
        out.push_back(widget);
    if (GTK_IS_CONTAINER(widget)) {
        GList *kids = nullptr;
        gtk_container_forall(
            GTK_CONTAINER(widget),
            [](GtkWidget *kid, gpointer list) {
                *static_cast<GList **>(list) = g_list_append(*static_cast<GList **>(list), kid);
            },
            &kids);
        for (GList *k = kids; k; k = k->next)
            collect(GTK_WIDGET(k->data), match, out);
        g_list_free(kids);
    }
}

std::vector<GtkWidget *> find_all(GtkWidget *root, const Match &match)
{
    std::vector<GtkWidget *> out;
    if (root)
        collect(root, match, out);
    return out;
}

GtkWidget *find(GtkWidget *root, const Match &match)
{
    std::vector<GtkWidget *> all = find_all(root, match);
    return all.empty() ? nullptr : all.front();
}

std::vector<GtkWidget *> find_all_of_type(GtkWidget *root, GType type)
{
    return find_all(root, [type](GtkWidget *w) { return G_TYPE_CHECK_INSTANCE_TYPE(w, type); });
}

GtkWidget *find_of_type(GtkWidget *root, GType type, size_t nth)
{
    std::vector<GtkWidget *> all = find_all_of_type(root, type);
    return nth < all.size() ? all[nth] : nullptr;
}

GtkWidget *find_label(GtkWidget *root, const std::string &text)
{
    return find(root, [&](GtkWidget *w) { return GTK_IS_LABEL(w) && label_text(w) == text; });
}

GtkWidget *find_label_containing(GtkWidget *root, const std::string &part)
{
    return find(root, [&](GtkWidget *w) {
        return GTK_IS_LABEL(w) && label_text(w).find(part) != std::string::npos;
    });
}

GtkWidget *find_button(GtkWidget *root, const std::string &label)
{
    return find(root, [&](GtkWidget *w) { return GTK_IS_BUTTON(w) && button_label(w) == label; });
}

std::string label_text(GtkWidget *label)
{
    const char *text = gtk_label_get_text(GTK_LABEL(label));
    return text ? text : "";
}

std::string label_markup(GtkWidget *label)
{
    const char *text = gtk_label_get_label(GTK_LABEL(label));
    return text ? text : "";
}

// "_Yes" as shown: a single underscore marks the mnemonic, a double one
// stands for itself.
static std::string without_mnemonic(const std::string &label)
{
    std::string out;
    for (size_t i = 0; i < label.size(); i++) {
        if (label[i] == '_' && i + 1 < label.size())
            i++;
        out += label[i];
    }
    return out;
}

std::string button_label(GtkWidget *button)
{
    const char *label = gtk_button_get_label(GTK_BUTTON(button));
    if (label) {
        GtkStockItem stock;
        if (gtk_button_get_use_stock(GTK_BUTTON(button)) && gtk_stock_lookup(label, &stock))
            return without_mnemonic(stock.label);
        if (gtk_button_get_use_underline(GTK_BUTTON(button)))
            return without_mnemonic(label);
        return label;
    }
    GtkWidget *inner = find_of_type(gtk_bin_get_child(GTK_BIN(button)), GTK_TYPE_LABEL);
    return inner ? label_text(inner) : "";
}

bool is_sensitive(GtkWidget *widget)
{
    return gtk_widget_is_sensitive(widget);
}

std::vector<BoxChild> box_children(GtkWidget *box)
{
    // A box lists its children as it lays them out: those packed from the
    // start, then those packed from the end, the last one packed first.
    std::vector<BoxChild> out;
    GList *kids = gtk_container_get_children(GTK_CONTAINER(box));
    for (GList *k = kids; k; k = k->next) {
        GtkWidget *w = GTK_WIDGET(k->data);
        gboolean expand = FALSE, fill = FALSE;
        guint padding = 0;
        GtkPackType pack = GTK_PACK_START;
        gtk_box_query_child_packing(GTK_BOX(box), w, &expand, &fill, &padding, &pack);
        out.push_back({w, pack == GTK_PACK_END, bool(expand), bool(fill), padding});
    }
    g_list_free(kids);
    return out;
}

std::vector<BarButton> bar_buttons(GtkWidget *bar)
{
    std::vector<BarButton> out;
    for (const BoxChild &c : box_children(bar))
        if (GTK_IS_BUTTON(c.widget))
            out.push_back({c.widget, button_label(c.widget), is_sensitive(c.widget), c.from_end});
    return out;
}

std::vector<MenuEntry> menu_entries(GtkWidget *menu_shell)
{
    std::vector<MenuEntry> out;
    GList *kids = gtk_container_get_children(GTK_CONTAINER(menu_shell));
    for (GList *k = kids; k; k = k->next) {
        GtkWidget *w = GTK_WIDGET(k->data);
        MenuEntry e{w, GTK_IS_SEPARATOR_MENU_ITEM(w) != FALSE, "", "", false, is_sensitive(w), false, false};
        GtkWidget *child = gtk_bin_get_child(GTK_BIN(w));
        if (child && GTK_IS_LABEL(child)) {
            e.label = label_markup(child);
            e.text = label_text(child);
            e.mnemonic = gtk_label_get_use_underline(GTK_LABEL(child));
        }
        e.has_image = GTK_IS_IMAGE_MENU_ITEM(w) &&
                      gtk_image_menu_item_get_image(GTK_IMAGE_MENU_ITEM(w)) != nullptr;
        e.right_justified = GTK_IS_MENU_ITEM(w) && gtk_menu_item_get_right_justified(GTK_MENU_ITEM(w));
        out.push_back(e);
    }
    g_list_free(kids);
    return out;
}

static DialogAnswerer *active_answerer = nullptr;
static const char ANSWERED[] = "gui-test-answered";

DialogAnswerer::DialogAnswerer()
{
    if (active_answerer)
        ADD_FAILURE() << "two DialogAnswerers at once";
    active_answerer = this;
    source_ = g_timeout_add(50, tick, this);
}

DialogAnswerer::~DialogAnswerer()
{
    g_source_remove(source_);
    if (active_answerer == this)
        active_answerer = nullptr;
}

DialogAnswerer &DialogAnswerer::plan(int response, int after_ms)
{
    plans_.emplace_back(response, after_ms);
    return *this;
}

// The answer a dialog was given when it first appeared.
struct Assigned {
    int response;
    gint64 due;     // monotonic time from which it may be answered
    int order;      // 1 for the first dialog seen, and so on
    bool expected;
};
static const char ASSIGNED[] = "gui-test-assigned";

gboolean DialogAnswerer::tick(gpointer data)
{
    auto *self = static_cast<DialogAnswerer *>(data);
    GList *windows = gtk_window_list_toplevels();
    GtkWidget *newest = nullptr;
    int newest_order = 0;
    for (GList *w = windows; w; w = w->next) {
        // File selections stay open beside the main window; tests drive them.
        if (!GTK_IS_DIALOG(w->data) || GTK_IS_FILE_SELECTION(w->data) ||
            !gtk_widget_get_visible(GTK_WIDGET(w->data)) ||
            g_object_get_data(G_OBJECT(w->data), ANSWERED))
            continue;
        auto *a = static_cast<Assigned *>(g_object_get_data(G_OBJECT(w->data), ASSIGNED));
        if (!a) {
            a = new Assigned{CLOSE_WINDOW, g_get_monotonic_time(), ++self->dialogs_seen_, false};
            if (!self->plans_.empty()) {
                a->response = self->plans_.front().first;
                a->due += gint64(self->plans_.front().second) * 1000;
                a->expected = true;
                self->plans_.pop_front();
            }
            g_object_set_data_full(G_OBJECT(w->data), ASSIGNED, a,
                                   [](gpointer p) { delete static_cast<Assigned *>(p); });
        }
        if (a->order > newest_order) {
            newest = GTK_WIDGET(w->data);
            newest_order = a->order;
        }
    }
    g_list_free(windows);
    if (newest) {
        auto *a = static_cast<Assigned *>(g_object_get_data(G_OBJECT(newest), ASSIGNED));
        if (!a->expected || a->due <= g_get_monotonic_time())
            self->answer(newest, a->response, a->expected);
    }
    return TRUE;
}

void close_window(GtkWidget *window)
{
    GdkEvent *event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->any.send_event = TRUE;
    gtk_main_do_event(event);
    gdk_event_free(event);
}

void DialogAnswerer::answer(GtkWidget *dialog, int response, bool expected)
{
    SeenDialog d;
    const char *title = gtk_window_get_title(GTK_WINDOW(dialog));
    d.title = title ? title : "";
    d.modal = gtk_window_get_modal(GTK_WINDOW(dialog));
    d.parent = gtk_window_get_transient_for(GTK_WINDOW(dialog));
    if (GTK_IS_MESSAGE_DIALOG(dialog)) {
        d.is_message = true;
        char *text = nullptr, *secondary = nullptr;
        g_object_get(dialog, "message-type", &d.type, "text", &text, "secondary-text", &secondary,
                     nullptr);
        d.text = text ? text : "";
        d.secondary = secondary ? secondary : "";
        g_free(text);
        g_free(secondary);
    }
    // A button box places its buttons by its own rules: read them in the
    // order they stand on screen.
    std::vector<std::pair<int, std::string>> buttons;
    GList *kids = gtk_container_get_children(
        GTK_CONTAINER(gtk_dialog_get_action_area(GTK_DIALOG(dialog))));
    for (GList *k = kids; k; k = k->next)
        if (GTK_IS_BUTTON(k->data) && gtk_widget_get_visible(GTK_WIDGET(k->data))) {
            GtkAllocation a;
            gtk_widget_get_allocation(GTK_WIDGET(k->data), &a);
            buttons.emplace_back(a.x, button_label(GTK_WIDGET(k->data)));
        }
    g_list_free(kids);
    std::stable_sort(buttons.begin(), buttons.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &b : buttons)
        d.buttons.push_back(b.second);

    if (!expected)
        ADD_FAILURE() << "unexpected dialog: \"" << d.text << "\"";
    d.answer = response;
    seen.push_back(d);
    g_object_set_data(G_OBJECT(dialog), ANSWERED, GINT_TO_POINTER(1));
    if (d.answer == CLOSE_WINDOW)
        close_window(dialog);
    else
        gtk_dialog_response(GTK_DIALOG(dialog), d.answer);
}

bool DialogAnswerer::wait_for(size_t count, int timeout_ms)
{
    gint64 end = g_get_monotonic_time() + gint64(timeout_ms) * 1000;
    while (seen.size() < count && g_get_monotonic_time() < end)
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(5000);
    return seen.size() >= count;
}

} // namespace gui

void GuiTest::SetUp()
{
    globals_reset();
    exams.mkdir("demo");
    g_strlcpy(examdir, exams.path().c_str(), sizeof examdir);
}

void GuiTest::TearDown()
{
    // A countdown left registered would tick into the next test.
    trialix_stop_timer();
    if (main_window)
        gtk_widget_destroy(main_window);
    gui::pump();
    EXPECT_EQ(dialogs.pending(), 0u) << "a planned dialog never came";
    globals_reset();
}

void GuiTest::build_main_window()
{
    trialix_create_main_window();
    gui::pump();
}
