#include "gui_util.h"

#include "app/dialogs.h"
#include "app/globals.h"

using namespace gui;

// Every message dialog of a run: its text, type and buttons, and what the
// caller gets for each answer, closing the window included. All of them
// stand over the main window, modal and untitled.
TEST_F(GuiTest, MessageDialogsTextsButtonsAndReturns)
{
    build_main_window();
    const std::vector<std::string> yes_no = {"No", "Yes"}, close = {"Close"};
    const std::string unanswered = " unanswered items remaining. Items left unanswered will be marked as "
                                   "incorrect\n\nAre you sure you want to grade this exam?";
    const std::string realend = "Are you certain you want to grade this exam now?";
    const std::string no_item =
        "There is no item which fullfills your review options.\n\nClose this window to return.\n";
    const std::string overwrite =
        "The file saves/a%d already exists\n\nDo you really want to overwrite it?\n\n";
    struct {
        int (*show)();
        int answer, returned;
        std::string text;
        GtkMessageType type;
        std::vector<std::string> buttons;
    } cases[] = {
        {[] { return unanswered_dialog(3); }, GTK_RESPONSE_YES, GTK_RESPONSE_YES, "You have 3" + unanswered,
         GTK_MESSAGE_QUESTION, yes_no},
        {[] { return unanswered_dialog(12); }, CLOSE_WINDOW, GTK_RESPONSE_DELETE_EVENT,
         "You have 12" + unanswered, GTK_MESSAGE_QUESTION, yes_no},
        {realend_dialog, GTK_RESPONSE_NO, GTK_RESPONSE_NO, realend, GTK_MESSAGE_QUESTION, yes_no},
        {realend_dialog, CLOSE_WINDOW, GTK_RESPONSE_DELETE_EVENT, realend, GTK_MESSAGE_QUESTION, yes_no},
        {[] { return no_item_dialog(nullptr), 0; }, GTK_RESPONSE_CLOSE, 0, no_item, GTK_MESSAGE_WARNING, close},
        {[] { return no_item_dialog2(nullptr), 0; }, CLOSE_WINDOW, 0, no_item, GTK_MESSAGE_WARNING, close},
        // Names are shown as they are, a "%d" in them included.
        {[] { return file_write_error_dialog("/tmp/100%done_%d%s.sav"), 0; }, GTK_RESPONSE_CLOSE, 0,
         "Error!\n\nI'm unable to write the file /tmp/100%done_%d%s.sav\n\n", GTK_MESSAGE_WARNING, close},
        {[] { return file_read_error_dialog("net1_%d_12.06_03_25"), 0; }, CLOSE_WINDOW, 0,
         "Error!\n\nI'm unable to read the file net1_%d_12.06_03_25\n\n", GTK_MESSAGE_WARNING, close},
        {[] { return overwrite_file_dialog("saves/a%d"); }, GTK_RESPONSE_YES, 1, overwrite,
         GTK_MESSAGE_QUESTION, yes_no},
        {[] { return overwrite_file_dialog("saves/a%d"); }, GTK_RESPONSE_NO, 0, overwrite,
         GTK_MESSAGE_QUESTION, yes_no},
        // Closing the question keeps the existing file.
        {[] { return overwrite_file_dialog("saves/a%d"); }, CLOSE_WINDOW, 0, overwrite,
         GTK_MESSAGE_QUESTION, yes_no},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text + " answered " + std::to_string(c.answer));
        dialogs.plan(c.answer);
        EXPECT_EQ(c.show(), c.returned);
        ASSERT_FALSE(dialogs.seen.empty());
        SeenDialog d = dialogs.seen.back();
        dialogs.seen.clear();
        EXPECT_EQ(d.text, c.text);
        EXPECT_EQ(d.type, c.type);
        EXPECT_EQ(d.buttons, c.buttons);
        EXPECT_TRUE(d.modal && d.parent == GTK_WINDOW(main_window));
        EXPECT_EQ(d.title, "");
    }
}
