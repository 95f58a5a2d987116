// Saving a run and resuming it: the file dialogs, what saving and loading
// tell the user, and the resume form.
#include "gui_util.h"

#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "run/form.h"
#include "saved/store.h"

using namespace gui;

class SaveLoadTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        g_strlcpy(savedir, saves.c_str(), sizeof savedir);
    }
    static GtkFileSelection *file_dialog()
    {
        std::vector<GtkWidget *> open = file_dialogs();
        EXPECT_EQ(open.size(), 1u);
        return open.empty() ? nullptr : GTK_FILE_SELECTION(open[0]);
    }
    // The path the dialog would give, and the name filled into it.
    static std::string proposed() { return gtk_file_selection_get_filename(file_dialog()); }
    static std::string entry() { return gtk_entry_get_text(GTK_ENTRY(file_dialog()->selection_entry)); }

    std::string saves = exams.mkdir("saves");
};

TEST_F(SaveLoadTest, DialogsProposeTheirNamesAndHoldTheirItemUntilTheyGo)
{
    g_strlcpy(examname, "net101", sizeof examname);
    g_strlcpy(username, "Jane Q Doe", sizeof username);
    run_of({make_item('S', 1, {"+A", "-B"})});
    disable_exam_menus();
    char before[32], after[32];
    create_filename(before, sizeof before);
    menu(exam_save);
    create_filename(after, sizeof after);
    GtkFileSelection *fs = file_dialog();
    ASSERT_NE(fs, nullptr);
    std::string name = saves + G_DIR_SEPARATOR_S "net101_Jane_Q_Doe";
    EXPECT_TRUE(proposed() == name + before || proposed() == name + after) << proposed();
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(fs)), "Select filename to save the exam");
    EXPECT_TRUE(!fs->fileop_c_dir && !fs->fileop_del_file && !fs->fileop_ren_file);
    EXPECT_FALSE(is_sensitive(exam_save));
    cb_save_exam(nullptr, nullptr);   // as a shortcut would: no second dialog
    EXPECT_EQ(file_dialogs().size(), 1u);
    gtk_button_clicked(GTK_BUTTON(fs->cancel_button));
    EXPECT_TRUE(file_dialogs().empty() && is_sensitive(exam_save));

    // No name; then an exam name that leaves no room for one: the folder.
    username[0] = '\0';
    menu(exam_save);
    EXPECT_NE(entry().find("net101_Unnamed_"), std::string::npos) << entry();
    close_window(GTK_WIDGET(file_dialog()));
    EXPECT_TRUE(is_sensitive(exam_save)) << "closed through its frame";
    g_strlcpy(examname, std::string(250, 'x').c_str(), sizeof examname);
    menu(exam_save);
    EXPECT_EQ(proposed() + "|" + entry(), saves + "|");
    // The run ends: its save dialog goes, Save Exam stays off.
    screen_empty();
    EXPECT_TRUE(file_dialogs().empty() && !is_sensitive(exam_save));

    menu(exam_open);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(file_dialog())), "Select filename to load");
    EXPECT_EQ(proposed() + "|" + entry(), saves + "|");
    EXPECT_FALSE(is_sensitive(exam_open));
    close_window(GTK_WIDGET(file_dialog()));
    EXPECT_TRUE(is_sensitive(exam_open));
    // A run begins: nothing may be loaded over it.
    menu(exam_open);
    disable_exam_menus();
    EXPECT_TRUE(file_dialogs().empty() && !is_sensitive(exam_open));
}

TEST_F(SaveLoadTest, OnlyYesReplacesAFileAndFailuresAreShown)
{
    g_strlcpy(examname, "demo", sizeof examname);
    std::string old = exams.write("saves/run.sav", "an older save");
    std::string folder = exams.mkdir("saves/folder");
    run_of({make_item('S', 1, {"+A", "-B"}), make_item('F', 1, {"x"})});
    disable_exam_menus();
    dialogs.plan(GTK_RESPONSE_NO).plan(CLOSE_WINDOW).plan(GTK_RESPONSE_CLOSE);
    choose(exam_save, old);
    choose(exam_save, old);
    EXPECT_EQ(read_file(old), "an older save");
    EXPECT_TRUE(is_sensitive(exam_save));
    // A folder is not offered for overwriting; writing it fails.
    choose(exam_save, folder);
    ASSERT_EQ(dialogs.seen.size(), 3u);
    EXPECT_EQ(dialogs.seen[0].text,
              "The file " + old + " already exists\n\nDo you really want to overwrite it?\n\n");
    EXPECT_EQ(dialogs.seen[2].text, "Error!\n\nI'm unable to write the file " + folder + "\n\n");
    EXPECT_TRUE(is_sensitive(exam_save));

    dialogs.plan(GTK_RESPONSE_YES);
    choose(exam_save, old);
    EXPECT_EQ(read_file(old).size(), 3u * RECORD_SIZE);

    // A run that drew no item has nothing to save.
    destroy_list(QP);
    QP = nullptr;
    dialogs.plan(GTK_RESPONSE_CLOSE);
    menu(exam_save);
    EXPECT_EQ(dialogs.seen.back().text, "There is no exam to save.\n\n");
}

TEST_F(SaveLoadTest, FilesThatGiveNoRunAndAListLeftUnstarted)
{
    g_strlcpy(examname, "ccna", sizeof examname);
    seconds = 600;
    std::string header = saves + G_DIR_SEPARATOR_S "header.sav";
    std::string full = saves + G_DIR_SEPARATOR_S "full.sav";
    question *item = make_item('F', 1, {"x"});
    ASSERT_EQ(save_list_file(header.c_str(), nullptr, nullptr), 1);
    ASSERT_EQ(save_list_file(full.c_str(), item, nullptr), 2);
    destroy_list(item);
    examname[0] = '\0';
    choose(exam_open, header);
    EXPECT_EQ(examname + std::string("|") + std::to_string(seconds), "ccna|600");
    EXPECT_TRUE(frame == nullptr && is_sensitive(exam_open));
    dialogs.plan(GTK_RESPONSE_CLOSE);
    std::string empty = exams.write("saves/empty.sav", "");
    choose(exam_open, empty);
    EXPECT_EQ(dialogs.seen.at(0).text, "Error!\n\nI'm unable to read the file " + empty + "\n\n");
    EXPECT_TRUE(is_sensitive(exam_open));

    // A resume form left with Cancel keeps its list until the next load
    // replaces it (freed once: the sanitizer build would see a second free).
    choose(exam_open, full);
    question *first = QP;
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(is_sensitive(exam_open));
    click(" Cancel ");
    EXPECT_EQ(QP, first);
    choose(exam_open, full);
    EXPECT_NE(find_label(frame, "This practice exam contains 1 questions."), nullptr);
}

TEST_F(SaveLoadTest, ResumeFormTellsTheSavedRunAndStartsAtItemOne)
{
    g_strlcpy(examtitle, "Networking <b>101</b>", sizeof examtitle);
    g_strlcpy(savedate, "12/06 03:25:07", sizeof savedate);
    g_strlcpy(username, "Jane", sizeof username);
    seconds = 1507, passed_time = 293, percentage = 70, num_questions = 9;
    training = 0, enableAnswer = 0, enableTimer = 1, exam_ended = 1;
    question *head = run_of({make_item('S', 1, {"+A", "-B"}), make_item('F', 1, {"x"}),
                             make_item('S', 1, {"+A", "-B"})});
    createExamLoad(head->next->next);
    EXPECT_EQ(QP, head);
    for (const char *text :
         {"Networking 101",
          "Exam was saved: 12/06 03:25:07\n\nIf you choose to use the timer and it was\n"
          "activated when you saved the exam, you will\nget the amount of time, you had when "
          "the\nexam was saved\n",
          "This practice exam contains 3 questions.", "You will have 25:7 minutes to finish the exam.",
          "You need 70% correct answers to pass.",
          "Select your options and\npress \"Start Exam\" to begin"})
        EXPECT_NE(find_label(frame, text), nullptr) << text;
    EXPECT_TRUE(on(find_button(frame, "Exam Mode")) && on(cb_timer));
    EXPECT_FALSE(is_sensitive(cb_answer));
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(find_of_type(frame, GTK_TYPE_ENTRY))), "Jane");

    // The countdown goes on from the time that was left.
    click(" Start Exam ");
    EXPECT_NE(find_label(frame, "Item 1 of 3"), nullptr);
    ASSERT_NE(timer_source, 0u) << "no countdown was started";
    EXPECT_TRUE(count_seconds(QP));
    EXPECT_EQ(status(), "  Time Remaining: 25:07");
    EXPECT_EQ(std::to_string(seconds) + " " + std::to_string(passed_time), "1506 294");
    EXPECT_TRUE(!is_sensitive(exam_open) && is_sensitive(exam_save));

    // Time run out and the run went on: 0:0. No list: Error, the form stays.
    seconds = 0;
    createExamLoad(nullptr);
    EXPECT_NE(find_label(frame, "You will have 0:0 minutes to finish the exam."), nullptr);
    GtkWidget *form = frame;
    EXPECT_EQ(stderr_of([&] { click(" Start Exam "); }), "Error\n");
    EXPECT_EQ(frame, form);
    destroy_list(head);
}
