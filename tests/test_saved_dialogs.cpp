// The saved exam file's failures reach the examinee; a file of a header
// alone is no failure.
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
    std::string missing = exams.path("missing/run.sav");
    dialogs.plan(GTK_RESPONSE_CLOSE);
    EXPECT_EQ(write_list(missing.c_str(), q), 0);
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].text, "Error!\n\nI'm unable to write the file " + missing + "\n\n");

    std::string empty = exams.write("empty.sav", "");
    dialogs.plan(GTK_RESPONSE_CLOSE);
    EXPECT_EQ(read_list(empty.c_str()), nullptr);
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[1].text, "Error!\n\nI'm unable to read the file " + empty + "\n\n");

    // Written and read back without a word.
    std::string path = exams.path("run.sav");
    EXPECT_EQ(write_list(path.c_str(), q), 2);
    question *back = read_list(path.c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->type, 'S');
    destroy_list(back);
    destroy_list(q);

    std::string header(RECORD_SIZE, '\0');
    header[HEADER_TRAINING] = 0;
    training = 1;
    EXPECT_EQ(read_list(exams.write("header.sav", header).c_str()), nullptr);
    EXPECT_EQ(training, 0);
    EXPECT_EQ(dialogs.seen.size(), 2u);
}
