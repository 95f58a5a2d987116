// Helpers for tests of real widgets: finding widgets in the screens, reading
// labels and button bars, answering modal dialogs; a fixture that starts
// each test from the program's initial state, and one for the tests of a
// run's screens, with question lists made in memory.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/globals.h"
#include "test_util.h"

namespace gui {

// Lets GTK handle everything pending: allocations, redraws, idle handlers.
void pump();

// Widget tree search, depth first, `root` and internal children included.
using Match = std::function<bool(GtkWidget *)>;
std::vector<GtkWidget *> find_all(GtkWidget *root, const Match &match);
GtkWidget *find(GtkWidget *root, const Match &match);
std::vector<GtkWidget *> find_all_of_type(GtkWidget *root, GType type);
GtkWidget *find_of_type(GtkWidget *root, GType type);
// A label whose shown text (markup removed) equals `text`.
GtkWidget *find_label(GtkWidget *root, const std::string &text);
// A button (check and radio buttons too) whose label reads `label`.
GtkWidget *find_button(GtkWidget *root, const std::string &label);

// Text of a label as shown, and as it was set (markup included).
std::string label_text(GtkWidget *label);
std::string label_markup(GtkWidget *label);
// The label of a button as shown, mnemonic underscores removed.
std::string button_label(GtkWidget *button);
// Whether the user can use the widget (sensitive, itself and its parents).
inline bool is_sensitive(GtkWidget *widget) { return gtk_widget_is_sensitive(widget); }

// The children of a container; a box gives them in the order it lays them
// out (those packed from the end come last, the last packed first).
std::vector<GtkWidget *> children(GtkWidget *container);
// The labels of a button bar's buttons, left to right, "(off)" after an
// insensitive one's.
std::vector<std::string> bar_labels(GtkWidget *bar);

// The visible top-level windows that match, oldest first.
std::vector<GtkWidget *> windows(const Match &match);
// Sends `window` the delete event a window manager sends for its close box.
void close_window(GtkWidget *window);

// Answers modal dialogs from a timeout in the dialog's own nested loop, in
// the order they appear, with the planned response ids (CLOSE_WINDOW closes
// the dialog as the window manager would). Of the dialogs open at once the
// newest is answered first. A dialog nobody planned for fails the test and
// is closed, so a test never hangs.
constexpr int CLOSE_WINDOW = GTK_RESPONSE_DELETE_EVENT;

struct SeenDialog {
    std::string title, text;   // text: a message dialog's primary text
    GtkMessageType type = GTK_MESSAGE_OTHER;
    std::vector<std::string> buttons;   // as shown, left to right
    bool modal = false;
    GtkWindow *parent = nullptr;
};

class DialogAnswerer {
public:
    DialogAnswerer() { source_ = g_timeout_add(50, tick, this); }
    ~DialogAnswerer() { g_source_remove(source_); }
    DialogAnswerer(const DialogAnswerer &) = delete;
    DialogAnswerer &operator=(const DialogAnswerer &) = delete;

    // Answers the next dialog to appear with `response` once it has been
    // open `after_ms`.
    DialogAnswerer &plan(int response, int after_ms = 0);
    size_t pending() const { return plans_.size(); }
    std::vector<SeenDialog> seen;   // in the order answered

private:
    static gboolean tick(gpointer self);
    void answer(GtkWidget *dialog, int response, bool expected);
    std::deque<std::pair<int, int>> plans_;   // response, after_ms
    int dialogs_seen_ = 0;
    guint source_ = 0;
};

} // namespace gui

// Starts every test from the program's initial state, with an exam root of
// one exam ("demo") in `exams` as `examdir`, and cleans up after it.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void build_main_window();

    TempDir exams;
    gui::DialogAnswerer dialogs;
};

// A main window for every test, and what the tests of a run's screens use.
class RunTest : public GuiTest {
protected:
    void SetUp() override;
    void TearDown() override;

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
    static void menu(GtkWidget *item);
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
        ::testing::internal::CaptureStderr();
        f();
        return ::testing::internal::GetCapturedStderr();
    }
};
