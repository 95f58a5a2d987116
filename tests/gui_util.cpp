#include "gui_util.h"

#include <algorithm>

#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"

namespace gui {

void pump()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

struct Search {
    const Match &match;
    std::vector<GtkWidget *> found;
};

static void collect(GtkWidget *widget, gpointer data)
{
    auto *search = static_cast<Search *>(data);
    if (search->match(widget))
        search->found.push_back(widget);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), collect, data);
}

std::vector<GtkWidget *> find_all(GtkWidget *root, const Match &match)
{
    Search search{match, {}};
    if (root)
        collect(root, &search);
    return search.found;
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

GtkWidget *find_of_type(GtkWidget *root, GType type)
{
    return find(root, [type](GtkWidget *w) { return G_TYPE_CHECK_INSTANCE_TYPE(w, type); });
}

GtkWidget *find_label(GtkWidget *root, const std::string &text)
{
    return find(root, [&](GtkWidget *w) { return GTK_IS_LABEL(w) && label_text(w) == text; });
}

GtkWidget *find_button(GtkWidget *root, const std::string &label)
{
    return find(root, [&](GtkWidget *w) { return GTK_IS_BUTTON(w) && button_label(w) == label; });
}

std::string label_text(GtkWidget *label) { return gtk_label_get_text(GTK_LABEL(label)); }
std::string label_markup(GtkWidget *label) { return gtk_label_get_label(GTK_LABEL(label)); }

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

std::vector<GtkWidget *> children(GtkWidget *container)
{
    std::vector<GtkWidget *> out;
    GList *kids = gtk_container_get_children(GTK_CONTAINER(container));
    for (GList *k = kids; k; k = k->next)
        out.push_back(GTK_WIDGET(k->data));
    g_list_free(kids);
    return out;
}

std::vector<GtkWidget *> windows(const Match &match)
{
    std::vector<GtkWidget *> out;
    GList *all = gtk_window_list_toplevels();
    for (GList *w = all; w; w = w->next)
        if (gtk_widget_get_visible(GTK_WIDGET(w->data)) && match(GTK_WIDGET(w->data)))
            out.push_back(GTK_WIDGET(w->data));
    g_list_free(all);
    return out;
}

std::vector<std::string> bar_labels(GtkWidget *bar)
{
    std::vector<std::string> out;
    for (GtkWidget *w : children(bar))
        if (GTK_IS_BUTTON(w))
            out.push_back(button_label(w) + (is_sensitive(w) ? "" : "(off)"));
    return out;
}

DialogAnswerer &DialogAnswerer::plan(int response, int after_ms)
{
    plans_.emplace_back(response, after_ms);
    return *this;
}

// The answer a dialog was given when it first appeared.
struct Assigned {
    int response;
    gint64 due;   // monotonic time from which it may be answered
    int order;    // 1 for the first dialog seen, and so on
    bool expected, answered;
};
static const char ASSIGNED[] = "gui-test-assigned";

gboolean DialogAnswerer::tick(gpointer data)
{
    auto *self = static_cast<DialogAnswerer *>(data);
    GtkWidget *newest = nullptr;
    Assigned *newest_a = nullptr;
    // File selections stay open beside the main window; tests drive them.
    for (GtkWidget *w : windows([](GtkWidget *w) { return GTK_IS_DIALOG(w) && !GTK_IS_FILE_SELECTION(w); })) {
        auto *a = static_cast<Assigned *>(g_object_get_data(G_OBJECT(w), ASSIGNED));
        if (!a) {
            a = new Assigned{CLOSE_WINDOW, g_get_monotonic_time(), ++self->dialogs_seen_, false, false};
            if (!self->plans_.empty()) {
                a->response = self->plans_.front().first;
                a->due += gint64(self->plans_.front().second) * 1000;
                a->expected = true;
                self->plans_.pop_front();
            }
            g_object_set_data_full(G_OBJECT(w), ASSIGNED, a,
                                   [](gpointer p) { delete static_cast<Assigned *>(p); });
        }
        if (!a->answered && (!newest_a || a->order > newest_a->order))
            newest = w, newest_a = a;
    }
    if (newest && (!newest_a->expected || newest_a->due <= g_get_monotonic_time())) {
        newest_a->answered = true;
        self->answer(newest, newest_a->response, newest_a->expected);
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
        char *text = nullptr;
        g_object_get(dialog, "message-type", &d.type, "text", &text, nullptr);
        d.text = text ? text : "";
        g_free(text);
    }
    // A button box places its buttons by its own rules: read them in the
    // order they stand on screen.
    std::vector<std::pair<int, std::string>> buttons;
    for (GtkWidget *b : children(gtk_dialog_get_action_area(GTK_DIALOG(dialog))))
        if (GTK_IS_BUTTON(b) && gtk_widget_get_visible(b)) {
            GtkAllocation a;
            gtk_widget_get_allocation(b, &a);
            buttons.emplace_back(a.x, button_label(b));
        }
    std::sort(buttons.begin(), buttons.end());
    for (const auto &b : buttons)
        d.buttons.push_back(b.second);

    if (!expected)
        ADD_FAILURE() << "unexpected dialog: \"" << d.text << "\"";
    seen.push_back(d);
    if (response == CLOSE_WINDOW)
        close_window(dialog);
    else
        gtk_dialog_response(GTK_DIALOG(dialog), response);
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

void RunTest::SetUp()
{
    GuiTest::SetUp();
    build_main_window();
}

void RunTest::TearDown()
{
    question *list = QP;
    GuiTest::TearDown();
    if (list)
        destroy_list(list);
}

question *RunTest::run_of(const std::vector<question *> &items)
{
    for (size_t i = 0; i < items.size(); i++) {
        items[i]->number = (signed char)(i + 1);
        if (i)
            append_question(items[0], items[i]);
    }
    QP = items.empty() ? nullptr : items[0];
    num_questions = (int)items.size();
    return QP;
}

std::vector<GtkWidget *> RunTest::choices()
{
    std::vector<GtkWidget *> out;
    GtkWidget *mark = gui::find_button(frame, "Mark Item for Review");
    for (GtkWidget *w : gui::find_all_of_type(frame, GTK_TYPE_TOGGLE_BUTTON))
        if (w != mark)
            out.push_back(w);
    return out;
}

void RunTest::click(const std::string &label)
{
    GtkWidget *button = gui::find_button(bbox, label);
    if (!button)
        button = gui::find_button(frame, label);
    ASSERT_NE(button, nullptr) << "no button \"" << label << "\"";
    gtk_button_clicked(GTK_BUTTON(button));
    gui::pump();
}

std::string RunTest::line(const std::string &start)
{
    GtkWidget *l = gui::find(frame, [&](GtkWidget *w) {
        return GTK_IS_LABEL(w) && gui::label_text(w).rfind(start, 0) == 0;
    });
    return l ? gui::label_text(l) : "(none)";
}

void RunTest::menu(GtkWidget *item)
{
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    gui::pump();
}

void RunTest::choose(GtkWidget *item, const std::string &path)
{
    menu(item);
    std::vector<GtkWidget *> open = file_dialogs();
    ASSERT_EQ(open.size(), 1u);
    gtk_file_selection_set_filename(GTK_FILE_SELECTION(open[0]), path.c_str());
    gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(open[0])->ok_button));
    gui::pump();
}
