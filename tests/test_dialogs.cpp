#include "gui_util.h"

#include "app/dialogs.h"
#include "app/globals.h"

using namespace gui;

static const std::vector<std::string> YES_NO = {"No", "Yes"};
static const std::vector<std::string> CLOSE = {"Close"};

// Every dialog of the run stands over the main window, modal, untitled.
class DialogTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        build_main_window();
    }
    SeenDialog only_dialog()
    {
        EXPECT_EQ(dialogs.seen.size(), 1u);
        SeenDialog d = dialogs.seen.at(0);
        EXPECT_TRUE(d.is_message);
        EXPECT_TRUE(d.modal);
        EXPECT_EQ(d.parent, GTK_WINDOW(main_window));
        EXPECT_EQ(d.title, "");
        EXPECT_EQ(d.secondary, "");
        return d;
    }
};

TEST_F(DialogTest, UnansweredQuestionReturnsTheResponse)
{
    dialogs.plan(GTK_RESPONSE_YES);
    EXPECT_EQ(unanswered_dialog(3), GTK_RESPONSE_YES);
    SeenDialog d = only_dialog();
    EXPECT_EQ(d.text, "You have 3 unanswered items remaining. Items left unanswered will be "
                      "marked as incorrect\n\nAre you sure you want to grade this exam?");
    EXPECT_EQ(d.type, GTK_MESSAGE_QUESTION);
    EXPECT_EQ(d.buttons, YES_NO);

    dialogs.plan(GTK_RESPONSE_NO).plan(CLOSE_WINDOW);
    EXPECT_EQ(unanswered_dialog(1), GTK_RESPONSE_NO);
    EXPECT_EQ(unanswered_dialog(12), GTK_RESPONSE_DELETE_EVENT);
}

TEST_F(DialogTest, RealEndQuestionReturnsTheResponse)
{
    dialogs.plan(GTK_RESPONSE_NO);
    EXPECT_EQ(realend_dialog(), GTK_RESPONSE_NO);
    SeenDialog d = only_dialog();
    EXPECT_EQ(d.text, "Are you certain you want to grade this exam now?");
    EXPECT_EQ(d.type, GTK_MESSAGE_QUESTION);
    EXPECT_EQ(d.buttons, YES_NO);

    dialogs.plan(GTK_RESPONSE_YES).plan(CLOSE_WINDOW);
    EXPECT_EQ(realend_dialog(), GTK_RESPONSE_YES);
    EXPECT_EQ(realend_dialog(), GTK_RESPONSE_DELETE_EVENT);
}

TEST_F(DialogTest, NoItemNoticesCloseEitherWay)
{
    dialogs.plan(GTK_RESPONSE_CLOSE);
    no_item_dialog(nullptr);
    SeenDialog d = only_dialog();
    EXPECT_EQ(d.text, "There is no item which fullfills your review options.\n\n"
                      "Close this window to return.\n");
    EXPECT_EQ(d.type, GTK_MESSAGE_WARNING);
    EXPECT_EQ(d.buttons, CLOSE);

    dialogs.plan(CLOSE_WINDOW);
    no_item_dialog2(nullptr);
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[1].text, d.text);
    EXPECT_EQ(dialogs.seen[1].type, GTK_MESSAGE_WARNING);
    EXPECT_EQ(dialogs.seen[1].buttons, CLOSE);
}

TEST_F(DialogTest, FileErrorsShowTheNameLiterally)
{
    dialogs.plan(GTK_RESPONSE_CLOSE);
    file_write_error_dialog("/tmp/100%done_%d%s.sav");
    SeenDialog d = only_dialog();
    EXPECT_EQ(d.text, "Error!\n\nI'm unable to write the file /tmp/100%done_%d%s.sav\n\n");
    EXPECT_EQ(d.type, GTK_MESSAGE_WARNING);
    EXPECT_EQ(d.buttons, CLOSE);

    dialogs.plan(CLOSE_WINDOW);
    file_read_error_dialog("net1_%d_12.06_03_25");
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[1].text, "Error!\n\nI'm unable to read the file net1_%d_12.06_03_25\n\n");
    EXPECT_EQ(dialogs.seen[1].buttons, CLOSE);
}

TEST_F(DialogTest, OverwriteOnlyOnYes)
{
    dialogs.plan(GTK_RESPONSE_YES);
    EXPECT_EQ(overwrite_file_dialog("saves/a%d"), 1);
    SeenDialog d = only_dialog();
    EXPECT_EQ(d.text, "The file saves/a%d already exists\n\nDo you really want to overwrite it?\n\n");
    EXPECT_EQ(d.type, GTK_MESSAGE_QUESTION);
    EXPECT_EQ(d.buttons, YES_NO);

    dialogs.plan(GTK_RESPONSE_NO);
    EXPECT_EQ(overwrite_file_dialog("saves/a"), 0);
    // Closing the question keeps the existing file.
    dialogs.plan(CLOSE_WINDOW);
    EXPECT_EQ(overwrite_file_dialog("saves/a"), 0);
}
