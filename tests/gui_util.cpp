#include "gui_util.h"

#include <glib/gstdio.h>

#include "assemble.h"
#include "bank/history.h"
#include "grading/history_record.h"
#include "run/owner.h"
#include "saved/recovery.h"

namespace gui {

using Search = std::pair<const Match *, std::vector<GtkWidget *>>;

static void collect(GtkWidget *widget, gpointer data)
{
    auto *search = static_cast<Search *>(data);
    if ((*search->first)(widget))
        search->second.push_back(widget);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), collect, data);
}

std::vector<GtkWidget *> find_all(GtkWidget *root, const Match &match)
{
    Search search{&match, {}};
    if (root)
        collect(root, &search);
    return search.second;
}

GtkWidget *find(GtkWidget *root, const Match &match)
{
    std::vector<GtkWidget *> all = find_all(root, match);
    return all.empty() ? nullptr : all.front();
}

GtkWidget *find_label(GtkWidget *root, const std::string &text)
{
    return find(root, [&](GtkWidget *w) { return GTK_IS_LABEL(w) && label_text(w) == text; });
}

GtkWidget *find_button(GtkWidget *root, const std::string &label)
{
    return find(root, [&](GtkWidget *w) { return GTK_IS_BUTTON(w) && button_label(w) == label; });
}

// The button's own label widget shows the text as the user sees it: stock
// texts looked up, mnemonic underscores gone.
std::string button_label(GtkWidget *button)
{
    GtkWidget *inner = find_of_type(gtk_bin_get_child(GTK_BIN(button)), GTK_TYPE_LABEL);
    return inner ? label_text(inner) : "";
}

// The widgets of a list of ours, which goes.
static std::vector<GtkWidget *> take(GList *list)
{
    std::vector<GtkWidget *> out;
    for (GList *l = list; l; l = l->next)
        out.push_back(GTK_WIDGET(l->data));
    g_list_free(list);
    return out;
}

std::vector<GtkWidget *> children(GtkWidget *container)
{
    return take(gtk_container_get_children(GTK_CONTAINER(container)));
}

std::vector<GtkWidget *> windows(const Match &match)
{
    std::vector<GtkWidget *> out;
    for (GtkWidget *w : take(gtk_window_list_toplevels()))
        if (gtk_widget_get_visible(w) && match(w))
            out.push_back(w);
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

void close_window(GtkWidget *window)
{
    GdkEvent *event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->any.send_event = TRUE;
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// The answer a dialog was given when it first appeared.
struct Assigned {
    int response;
    gint64 due;   // monotonic time from which it may be answered
    bool expected, answered;
};

gboolean DialogAnswerer::tick(gpointer data)
{
    auto *self = static_cast<DialogAnswerer *>(data);
    GtkWidget *newest = nullptr;
    Assigned *newest_a = nullptr;
    // Oldest first, so plans go to dialogs in the order they came. File
    // selections stay open beside the main window; tests drive them.
    for (GtkWidget *w : windows([](GtkWidget *w) { return GTK_IS_DIALOG(w) && !GTK_IS_FILE_SELECTION(w); })) {
        auto *a = static_cast<Assigned *>(g_object_get_data(G_OBJECT(w), "gui-test-assigned"));
        if (!a) {
            bool expected = !self->plans_.empty();
            auto [response, after] = expected ? self->plans_.front() : std::make_pair(CLOSE_WINDOW, 0);
            a = new Assigned{response, g_get_monotonic_time() + gint64(after) * 1000, expected, false};
            if (expected)
                self->plans_.pop_front();
            g_object_set_data_full(G_OBJECT(w), "gui-test-assigned", a,
                                   [](gpointer p) { delete static_cast<Assigned *>(p); });
        }
        if (!a->answered)
            newest = w, newest_a = a;
    }
    if (newest && (!newest_a->expected || newest_a->due <= g_get_monotonic_time())) {
        newest_a->answered = true;
        self->answer(newest, newest_a->response, newest_a->expected);
    }
    return TRUE;
}

void DialogAnswerer::answer(GtkWidget *dialog, int response, bool expected)
{
    // Every dialog of ours is a message dialog.
    SeenDialog d;
    char *title = nullptr, *text = nullptr;
    g_object_get(dialog, "title", &title, "text", &text, "message-type", &d.type, nullptr);
    d.title = title ? title : "";
    d.text = text ? text : "";
    g_free(title);
    g_free(text);
    d.parent = gtk_window_get_transient_for(GTK_WINDOW(dialog));
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
    trialix_assemble();
    globals_reset();
    run_forget();
    exams.mkdir("demo");
    g_strlcpy(examdir, exams.path().c_str(), sizeof examdir);
}

void GuiTest::TearDown()
{
    // A countdown left registered would tick into the next test, and so
    // would a recovery copy's watch.
    trialix_stop_timer();
    recovery_run_over();
    if (main_window)
        gtk_widget_destroy(main_window);
    gui::pump();
    EXPECT_EQ(dialogs.pending(), 0u) << "a planned dialog never came";
    globals_reset();
    run_forget();
}

void RunTest::fresh_history()
{
    history_record_reset();
    for (const char *end : {"", "-wal", "-shm"})
        g_remove((history_default_path() + end).c_str());
}

void RunTest::write_three_item_exam()
{
    exams.write("demo/.xconfig", "title=History <b>demo</b>\ntimeout=30\npercentage=50\n"
                                 "[message]\nThree items.\n");
    for (const char *name : {"A", "B", "C"})
        write_question_file(exams / (std::string("demo/cat0") + name),
                            std::string("+++\nS1\nItem ") + name + "?\n---\n+Right\n-Wrong\n---\n\n+++\n");
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
    std::vector<GtkWidget *> out = gui::find_all_of_type(frame, GTK_TYPE_TOGGLE_BUTTON);
    out.erase(std::remove(out.begin(), out.end(), gui::find_button(frame, "Mark Item for Review")), out.end());
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

void RunTest::choose(GtkWidget *item, const std::string &path)
{
    menu(item);
    std::vector<GtkWidget *> open = file_dialogs();
    ASSERT_EQ(open.size(), 1u);
    gtk_file_selection_set_filename(GTK_FILE_SELECTION(open[0]), path.c_str());
    gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(open[0])->ok_button));
    gui::pump();
}
