// Helpers for tests of real widgets: finding widgets in the screens, reading
// labels and button bars, answering modal dialogs, and a fixture that starts
// each test from the program's initial state.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "test_util.h"

namespace gui {

// Lets GTK handle everything pending: allocations, redraws, idle handlers.
void pump();

// Widget tree search, depth first, `root` included. Containers' internal
// children are searched too (gtk_container_forall).
using Match = std::function<bool(GtkWidget *)>;
GtkWidget *find(GtkWidget *root, const Match &match);
std::vector<GtkWidget *> find_all(GtkWidget *root, const Match &match);
std::vector<GtkWidget *> find_all_of_type(GtkWidget *root, GType type);
GtkWidget *find_of_type(GtkWidget *root, GType type, size_t nth = 0);
// A label whose shown text (markup removed) equals `text`.
GtkWidget *find_label(GtkWidget *root, const std::string &text);
// A button (check and radio buttons too) whose label reads `label`.
GtkWidget *find_button(GtkWidget *root, const std::string &label);

// Text of a label as shown, markup and mnemonic underscores removed.
std::string label_text(GtkWidget *label);
// Text of a label as it was set, markup included.
std::string label_markup(GtkWidget *label);
// The label of a button, from its own label or the label inside it.
std::string button_label(GtkWidget *button);
// Whether the user can use the widget (sensitive, itself and its parents).
bool is_sensitive(GtkWidget *widget);

// The children of a box from left to right (or top to bottom) as they are
// laid out: those packed from the start in packing order, then those packed
// from the end, the last packed first.
struct BoxChild {
    GtkWidget *widget;
    bool from_end;
    bool expand;
    bool fill;
    guint padding;
};
std::vector<BoxChild> box_children(GtkWidget *box);

// The labels of a button bar's buttons, left to right, "(off)" after an
// insensitive one's.
std::vector<std::string> bar_labels(GtkWidget *bar);

// Sends `window` the delete event a window manager sends when its close
// box is clicked.
void close_window(GtkWidget *window);

// Answers modal dialogs from a timeout in the dialog's own nested loop, in
// the order they appear, with the planned response ids. CLOSE_WINDOW
// closes the dialog as the window manager would. A dialog that comes when
// no answer is planned fails the test and is closed, so a test never hangs.
// Only one answerer may be active at a time.
constexpr int CLOSE_WINDOW = GTK_RESPONSE_DELETE_EVENT;

struct SeenDialog {
    std::string title;
    std::string text;      // a message dialog's primary text
    std::string secondary; // its secondary text, if any
    bool is_message = false;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    std::vector<std::string> buttons; // labels as shown, left to right
    bool modal = false;
    GtkWindow *parent = nullptr;
    int answer = 0;
};

class DialogAnswerer {
public:
    DialogAnswerer();
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer &) = delete;
    DialogAnswerer &operator=(const DialogAnswerer &) = delete;

    // Answers the next dialog to appear with `response` (a response id or
    // CLOSE_WINDOW), once it has been open `after_ms`. Of the dialogs open
    // at once the newest, the innermost nested loop, is answered first.
    DialogAnswerer &plan(int response, int after_ms = 0);
    // Planned answers not used yet.
    size_t pending() const { return plans_.size(); }
    // Every dialog answered so far, in the order answered.
    std::vector<SeenDialog> seen;

private:
    static gboolean tick(gpointer self);
    void answer(GtkWidget *dialog, int response, bool expected);
    std::deque<std::pair<int, int>> plans_; // response, after_ms
    int dialogs_seen_ = 0;
    guint source_ = 0;
};

} // namespace gui

// Starts every test from the program's initial state, with an exam root of
// one exam ("demo") in `exams` as `examdir`, and cleans up after it.
// `dialogs` answers whatever the test plans. build_main_window() makes the
// main window as the program does.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void build_main_window();

    TempDir exams;
    gui::DialogAnswerer dialogs;
};
