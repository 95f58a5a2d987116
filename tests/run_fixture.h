// A main window for the tests of a run's screens: question lists made in
// memory, and clicks on the shown screen's buttons.
#pragma once

#include <string>
#include <vector>

#include "app/globals.h"
#include "gui_util.h"

struct question;

// A record of kind `type` worth `points`, with the given slots and text.
question *make_item(char type, int points, const std::vector<std::string> &answers,
                    const char *text = "Question?", const char *explanation = "");

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
