// A whole run taken with the keyboard alone: every step is a key press sent
// through the X server to the window that has the focus, as a keyboard
// user's would be. No click and no handler is called by the test.
#include "access_util.h"

using namespace a11y;
using namespace gui;

namespace {

// Answers the modal questions of the run by keys: Alt and the letter
// underlined in the button's label. It works from a timeout, since a modal
// dialog runs its own loop while the test waits for the key press that
// opened it to return.
class KeyDialogDriver {
public:
    // `mnemonic`: the letter underlined in the button's label.
    explicit KeyDialogDriver(guint mnemonic) : mnemonic_(mnemonic)
    {
        source_ = g_timeout_add(20, tick, this);
    }
    ~KeyDialogDriver() { g_source_remove(source_); }
    KeyDialogDriver(const KeyDialogDriver &) = delete;
    KeyDialogDriver &operator=(const KeyDialogDriver &) = delete;
    std::vector<std::string> texts;   // the dialogs answered

private:
    static gboolean tick(gpointer data)
    {
        auto *self = static_cast<KeyDialogDriver *>(data);
        std::vector<GtkWidget *> open =
            windows([](GtkWidget *w) { return GTK_IS_MESSAGE_DIALOG(w); });
        if (open.empty())
            return TRUE;
        GtkWidget *dialog = open.back();
        // A key that does nothing must not hang the test.
        if (++self->presses > 5) {
            ADD_FAILURE() << "the dialog didn't take Alt+" << gdk_keyval_name(self->mnemonic_);
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
            return TRUE;
        }
        if (dialog != self->last_) {
            self->last_ = dialog;
            char *text = nullptr;
            g_object_get(dialog, "text", &text, nullptr);
            self->texts.push_back(text ? text : "");
            g_free(text);
        }
        // No pumping here: the dialog's own loop handles the keys.
        GdkWindow *w = gtk_widget_get_window(dialog);
        for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE})
            gdk_test_simulate_key(w, -1, -1, self->mnemonic_, GDK_MOD1_MASK, type);
        gdk_display_sync(gdk_display_get_default());
        return TRUE;
    }
    guint mnemonic_;
    guint source_;
    int presses = 0;
    GtkWidget *last_ = nullptr;
};

class KeyboardTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        write_small_exam(exams);
        // The test presses the dialogs' buttons itself.
        dialogs.stop();
        gtk_window_present(GTK_WINDOW(main_window));
        pump();
    }

    static std::string menu_label(GtkWidget *item)
    {
        GtkWidget *label = item ? gtk_bin_get_child(GTK_BIN(item)) : nullptr;
        return label && GTK_IS_LABEL(label) ? label_text(label) : "";
    }

    // The record of the shown item page, by its "Item %d of %d" line.
    static question *shown_item()
    {
        int number = 0;
        if (sscanf(line("Item ").c_str(), "Item %d of", &number) != 1)
            return nullptr;
        for (question *q = QP; q; q = q->next)
            if (q->number == number)
                return q;
        return nullptr;
    }

    static std::string focus() { return describe(focused()); }
};

TEST_F(KeyboardTest, AWholeRunByKeysAlone)
{
    // The Exam menu: F10 opens it, the arrows go to the exam, Return starts it.
    key(GDK_F10);
    GtkMenuShell *shell = GTK_MENU_SHELL(exammenu);
    for (int i = 0; i < 10 && menu_label(shell->active_menu_item) != "  Start Practice Exam demo "; i++)
        key(GDK_Down);
    ASSERT_EQ(menu_label(shell->active_menu_item), "  Start Practice Exam demo ");
    key(GDK_Return);

    // The start form waits for the name; Return in it starts the exam.
    ASSERT_TRUE(frame && GTK_IS_ENTRY(focused())) << focus();
    type("Ann Lee");
    EXPECT_STREQ(username, "Ann Lee");
    key(GDK_Return);
    ASSERT_NE(QP, nullptr) << "Return in the name starts the exam";

    question *s = nullptr, *m = nullptr, *f = nullptr;
    for (int page = 0; page < 3; page++) {
        question *q = shown_item();
        ASSERT_NE(q, nullptr) << "page " << page;
        std::string forward = q->next ? " Next Item " : " Review Screen ";
        switch (q->type) {
        case 'S':
            s = q;
            // The group lets focus in on its first choice while none is ticked.
            EXPECT_EQ(focus(), "\"Red\"");
            key(GDK_Down);   // the arrow moves to Green and ticks it
            EXPECT_EQ(focus(), "\"Green\"");
            key(GDK_Tab, GDK_SHIFT_MASK);
            EXPECT_EQ(focus(), "\"Mark Item for Review\"");
            key(GDK_space);
            ASSERT_TRUE(tab_to(forward)) << focus();
            key(GDK_Return);
            break;
        case 'M':
            m = q;
            EXPECT_EQ(focus(), "\"Alpha\"");
            key(GDK_space);
            key(GDK_Tab);
            key(GDK_Tab);
            EXPECT_EQ(focus(), "\"Gamma bomb\"");
            key(GDK_space);
            ASSERT_TRUE(tab_to(forward)) << focus();
            key(GDK_Return);
            break;
        case 'F':
            f = q;
            ASSERT_TRUE(GTK_IS_ENTRY(focused())) << focus();
            type("Paris");
            key(GDK_Return);   // the entry's Return is the page's forward button
            break;
        default:
            FAIL() << "item of kind " << q->type;
        }
    }
    ASSERT_TRUE(s && m && f);
    EXPECT_EQ(std::string(s->selected, 3), std::string("\0\1\0", 3));
    EXPECT_EQ(s->marked, 1);

    // The review screen: its active option has the focus; " Review " walks
    // the marked item, where the examinee changes the choice to Blue.
    ASSERT_NE(find_label(frame, "Review Exam"), nullptr);
    EXPECT_EQ(focus(), "\"Review only marked items\"");
    ASSERT_TRUE(tab_to(" Review "));
    key(GDK_Return);
    ASSERT_EQ(shown_item(), s);
    EXPECT_EQ(focus(), "\"Green\"") << "the ticked choice";
    key(GDK_Down);
    EXPECT_EQ(std::string(s->selected, 3), std::string("\0\0\1", 3));

    // Grading, with its question answered Yes by keys.
    {
        KeyDialogDriver yes(GDK_y);
        ASSERT_TRUE(tab_to(" Grade Exam "));
        key(GDK_Return);
        ASSERT_EQ(yes.texts.size(), 1u);
        EXPECT_EQ(yes.texts[0], "Are you certain you want to grade this exam now?");
    }
    ASSERT_NE(find_label(frame, "Correct: 1"), nullptr) << "Green became Blue; Gamma bomb is wrong";
    EXPECT_NE(find_label(frame, "Incorrect: 2"), nullptr);
    EXPECT_EQ(focus(), "\" Review All \"");

    // " Review Errors " to the end: the two missed items, then back.
    ASSERT_TRUE(tab_to(" Review Errors "));
    key(GDK_Return);
    std::vector<question *> pages{shown_item()};
    while (focus() == "\" Next Item \"") {
        key(GDK_Return);
        pages.push_back(shown_item());
        ASSERT_LE(pages.size(), 3u);
    }
    EXPECT_EQ(pages.size(), 2u);
    EXPECT_TRUE(std::count(pages.begin(), pages.end(), s) == 1 && std::count(pages.begin(), pages.end(), m) == 1);
    EXPECT_EQ(focus(), "\" Back to Grade Exam \"");
    key(GDK_Return);
    ASSERT_NE(find_label(frame, "Your Score Report"), nullptr);

    // Ctrl+S: the save dialog takes a name typed in and Return.
    key(GDK_s, GDK_CONTROL_MASK);
    std::vector<GtkWidget *> open = file_dialogs();
    ASSERT_EQ(open.size(), 1u);
    GtkWidget *fs = open[0];
    ASSERT_TRUE(GTK_IS_ENTRY(focused(fs))) << describe(focused(fs));
    key(GDK_a, GDK_CONTROL_MASK, fs);
    std::string saved = exams / "keys.sav";
    type(saved, fs);
    key(GDK_Return, GdkModifierType(0), fs);
    EXPECT_TRUE(file_dialogs().empty());
    EXPECT_TRUE(g_file_test(saved.c_str(), G_FILE_TEST_IS_REGULAR)) << saved;

    // " End Exam ".
    ASSERT_TRUE(tab_to(" End Exam "));
    key(GDK_Return);
    EXPECT_TRUE(frame == nullptr && bbox == nullptr && QP == nullptr);
}

} // namespace
