// The save and open file selections as assistive technology meets them:
// what their fields are called, and OK and Cancel pressed through the
// accessibility layer.
#include "access_util.h"

#include "bank/saved_file.h"

using namespace a11y;
using namespace gui;

namespace {

class AccessFilesTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        g_strlcpy(savedir, saves.c_str(), sizeof savedir);
        g_strlcpy(examname, "demo", sizeof examname);
    }

    static GtkFileSelection *selection()
    {
        std::vector<GtkWidget *> open = file_dialogs();
        return open.size() == 1 ? GTK_FILE_SELECTION(open[0]) : nullptr;
    }

    // Presses `button` as a screen reader or switch access does, and lets
    // everything that follows run.
    static void press(GtkWidget *button)
    {
        AtkObject *acc = gtk_widget_get_accessible(button);
        ASSERT_TRUE(ATK_IS_ACTION(acc)) << "no accessibility module (libgail-common) loaded";
        ASSERT_TRUE(atk_action_do_action(ATK_ACTION(acc), 0));
        pump();
    }

    std::string saves = exams.mkdir("saves");
};

TEST_F(AccessFilesTest, FieldsAndListsOfBothSelectionsHaveNames)
{
    run_of({make_item('S', 1, {"+A", "-B"})});
    disable_exam_menus();
    for (GtkWidget *item : {exam_save, exam_open}) {
        if (item == exam_open)
            screen_empty();
        menu(item);
        GtkFileSelection *fs = selection();
        ASSERT_NE(fs, nullptr);
        std::vector<std::pair<GtkWidget *, std::string>> named = {
            {fs->selection_entry, "File name"}, {fs->dir_list, "Folders"}, {fs->file_list, "Files"}};
        for (const auto &n : named)
            EXPECT_EQ(name_of(gtk_widget_get_accessible(n.first)), n.second)
                << gtk_window_get_title(GTK_WINDOW(fs));
        gtk_button_clicked(GTK_BUTTON(fs->cancel_button));
        pump();
    }
}

// The layer still uses the button once its handlers have run: a selection
// destroyed inside them made GLib warn at every press.
TEST_F(AccessFilesTest, OkAndCancelPressedThroughTheLayerCloseWithoutAWarning)
{
    std::string path = saves + G_DIR_SEPARATOR_S "pressed.sav";
    run_of({make_item('S', 1, {"+A", "-B"}), make_item('F', 1, {"x"})});
    disable_exam_menus();
    LogCatcher log;

    for (GtkWidget *item : {exam_save, exam_open}) {
        if (item == exam_open)
            screen_empty();
        menu(item);
        ASSERT_NE(selection(), nullptr);
        press(selection()->cancel_button);
        EXPECT_TRUE(file_dialogs().empty());
        EXPECT_TRUE(is_sensitive(item));
        menu(item);
        ASSERT_NE(selection(), nullptr);
        gtk_file_selection_set_filename(selection(), path.c_str());
        press(selection()->ok_button);
        EXPECT_TRUE(file_dialogs().empty());
        if (item == exam_save) {   // usable again at once: a second selection opens
            EXPECT_TRUE(is_sensitive(item));
            menu(item);
            EXPECT_NE(selection(), nullptr);
        }
    }
    EXPECT_EQ(read_file(path).size(), 3u * RECORD_SIZE);
    EXPECT_EQ(line("This practice exam"), "This practice exam contains 2 questions.");
    EXPECT_FALSE(is_sensitive(exam_open)) << "the resume form holds it off";

    EXPECT_EQ(log.messages, std::vector<std::string>{});
    EXPECT_EQ(dialogs.seen.size(), 0u);
}

} // namespace
