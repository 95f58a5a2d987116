// A saved exam file that can't be written or read is never a silent failure.
#include "gui_util.h"

#include "app/globals.h"
#include "bank/question.h"

using namespace gui;

class SavedDialogTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        build_main_window();
    }
};

TEST_F(SavedDialogTest, FailuresShowTheFileErrorDialogs)
{
    question *q = new_question();
    q->type = 'S';
    std::string missing = exams.path("missing/run.sav"), empty = exams.write("empty.sav", "");
    dialogs.plan(GTK_RESPONSE_CLOSE).plan(GTK_RESPONSE_CLOSE);
    EXPECT_EQ(write_list(missing.c_str(), q), 0);
    EXPECT_EQ(read_list(empty.c_str()), nullptr);
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[0].text, "Error!\n\nI'm unable to write the file " + missing + "\n\n");
    EXPECT_EQ(dialogs.seen[1].text, "Error!\n\nI'm unable to read the file " + empty + "\n\n");
    // A header alone is no failure.
    EXPECT_EQ(read_list(exams.write("header.sav", std::string(RECORD_SIZE, '\0')).c_str()), nullptr);
    EXPECT_EQ(dialogs.seen.size(), 2u);
    destroy_list(q);
}
