// A main window and exams made on the spot, for the tests of a run's
// screens: exam directories with packed question files, question lists
// made in memory, and clicks on the shown screen's buttons.
#pragma once

#include <string>
#include <vector>

#include "gui_util.h"

struct question;

// A record of kind `type` worth `points`, with the given slots and text.
question *make_item(char type, int points, const std::vector<std::string> &answers,
                    const char *text = "Question?", const char *explanation = "");

class RunTest : public GuiTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // exams/<exam>/<file> packed from `text`.
    void write_questions(const std::string &exam, const std::string &file,
                         const std::string &text);
    // Links the records in order into QP and sets num_questions.
    question *run_of(const std::vector<question *> &items);

    // The choice buttons of the shown item, top to bottom.
    std::vector<GtkWidget *> choices();
    // The labels of the shown screen's buttons, left to right, "(off)"
    // after an insensitive one's.
    std::vector<std::string> bar();
    static bool on(GtkWidget *w) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)); }
    // The status bar's text.
    static std::string status();
    // Clicks the button labelled `label` on the shown screen.
    void click(const std::string &label);
    // What `f` writes to standard error.
    template <typename F> static std::string stderr_of(F f)
    {
        ::testing::internal::CaptureStderr();
        f();
        return ::testing::internal::GetCapturedStderr();
    }
};
