// Helpers for tests of real widgets: finding and reading widgets, answering
// modal dialogs; fixtures that start each test from the program's initial
// state, with a main window and question lists made in memory for a run's.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/functions.h"
#include "app/timer.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"
#include "run/form.h"
#include "run/item_page.h"
#include "test_util.h"

namespace gui {

// Lets GTK handle everything pending: allocations, redraws, idle handlers.
inline void pump()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

// Widget tree search, depth first, `root` and internal children included.
using Match = std::function<bool(GtkWidget *)>;
std::vector<GtkWidget *> find_all(GtkWidget *root, const Match &match);
GtkWidget *find(GtkWidget *root, const Match &match);
inline Match of_type(GType t) { return [t](GtkWidget *w) { return G_TYPE_CHECK_INSTANCE_TYPE(w, t); }; }
inline std::vector<GtkWidget *> find_all_of_type(GtkWidget *root, GType t) { return find_all(root, of_type(t)); }
inline GtkWidget *find_of_type(GtkWidget *root, GType t) { return find(root, of_type(t)); }

// Texts as shown (a label's, a button's), and a label's as set (markup included).
inline std::string label_text(GtkWidget *label) { return gtk_label_get_text(GTK_LABEL(label)); }
inline std::string label_markup(GtkWidget *label) { return gtk_label_get_label(GTK_LABEL(label)); }
std::string button_label(GtkWidget *button);
// A label whose shown text equals `text`; a button whose label reads `label`.
GtkWidget *find_label(GtkWidget *root, const std::string &text);
GtkWidget *find_button(GtkWidget *root, const std::string &label);
// Whether the user can use the widget (sensitive, itself and its parents).
inline bool is_sensitive(GtkWidget *widget) { return gtk_widget_is_sensitive(widget); }

// The children of a container; a box gives them in the order it lays them out.
std::vector<GtkWidget *> children(GtkWidget *container);
// The labels of a button bar's buttons, left to right, "(off)" after an insensitive one's.
std::vector<std::string> bar_labels(GtkWidget *bar);

// The visible top-level windows that match, oldest first.
std::vector<GtkWidget *> windows(const Match &match);
// Sends `window` the delete event a window manager sends for its close box.
void close_window(GtkWidget *window);

// Answers modal dialogs from a timeout in the dialog's own nested loop, in the
// order they appear, with the planned response ids (CLOSE_WINDOW closes the
// dialog as the window manager would); of those open at once, the newest
// first. A dialog nobody planned for fails the test and is closed, so a test
// never hangs. (gtk_dialog_run makes every dialog modal.)
constexpr int CLOSE_WINDOW = GTK_RESPONSE_DELETE_EVENT;

struct SeenDialog {
    std::string title, text;   // text: a message dialog's primary text
    GtkMessageType type = GTK_MESSAGE_OTHER;
    std::vector<std::string> buttons;   // as shown, left to right
    GtkWindow *parent = nullptr;
};

class DialogAnswerer {
public:
    DialogAnswerer() { source_ = g_timeout_add(50, tick, this); }
    ~DialogAnswerer() { stop(); }
    // Leaves every dialog to the test itself from now on.
    void stop()
    {
        if (source_)
            g_source_remove(source_);
        source_ = 0;
    }
    // A copy would remove the same timeout twice.
    DialogAnswerer(const DialogAnswerer &) = delete;
    DialogAnswerer &operator=(const DialogAnswerer &) = delete;
    // Answers the next dialog to appear with `response` once it has been open `after_ms`.
    DialogAnswerer &plan(int response, int after_ms = 0)
    {
        plans_.emplace_back(response, after_ms);
        return *this;
    }
    size_t pending() const { return plans_.size(); }
    std::vector<SeenDialog> seen;   // in the order answered

private:
    static gboolean tick(gpointer self);
    void answer(GtkWidget *dialog, int response, bool expected);
    std::deque<std::pair<int, int>> plans_;   // response, after_ms
    guint source_ = 0;
};

} // namespace gui

// Starts every test from the program's initial state, with an exam root of
// one exam ("demo") in `exams` as `examdir`, and cleans up after it.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void build_main_window() { trialix_create_main_window(), gui::pump(); }

    TempDir exams;
    gui::DialogAnswerer dialogs;
};

// A main window for every test, and what the tests of a run's screens use.
class RunTest : public GuiTest {
protected:
    void SetUp() override { GuiTest::SetUp(), build_main_window(); }
    void TearDown() override
    {
        question *list = QP;   // the fixture's own reset forgets it
        GuiTest::TearDown();
        if (list)
            destroy_list(list);
    }

    // A results history of the test's own: no file (nor its log), and
    // nothing of an earlier test's left in the recorder.
    static void fresh_history();
    // The exam "demo" in `exams`: "Item A?" to "Item C?", single-choice
    // items (+Right -Wrong) each in its own question file.
    void write_three_item_exam();

    // Links the records in order into QP and sets num_questions.
    question *run_of(const std::vector<question *> &items);

    // The choice buttons of the shown item, top to bottom.
    std::vector<GtkWidget *> choices();
    // The labels of the shown screen's buttons (see gui::bar_labels).
    static std::vector<std::string> bar() { return gui::bar_labels(bbox); }
    static bool on(GtkWidget *w) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)); }
    static std::string status() { return gui::label_text(gui::find_of_type(statusbar, GTK_TYPE_LABEL)); }
    // The shown screen's first label that begins with `start`, or "(none)".
    static std::string line(const std::string &start);
    // Clicks the button labelled `label` on the shown screen.
    void click(const std::string &label);
    static void menu(GtkWidget *item) { gtk_menu_item_activate(GTK_MENU_ITEM(item)), gui::pump(); }
    // The open file selections, and the answer windows (oldest first).
    static std::vector<GtkWidget *> file_dialogs()
    {
        return gui::windows([](GtkWidget *w) { return GTK_IS_FILE_SELECTION(w); });
    }
    static std::vector<GtkWidget *> answer_windows()
    {
        return gui::windows([](GtkWidget *w) { return gui::find_button(w, " Close Window ") != nullptr; });
    }
    // Opens the item's file dialog and chooses `path` in it with OK.
    static void choose(GtkWidget *item, const std::string &path);
    // What `f` writes to standard error.
    template <typename F> static std::string stderr_of(F f)
    {
        return ::testing::internal::CaptureStderr(), f(), ::testing::internal::GetCapturedStderr();
    }
};
