// Saving a run and resuming it: the file dialogs, what saving and loading
// tell the user, and the resume form.
#include "gui_util.h"

#include <glib/gstdio.h>

#include "app/functions.h"
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
    static GtkFileSelection *file_dialog() { return GTK_FILE_SELECTION(file_dialogs().at(0)); }
    // The path the open dialog would give, and the name filled into it.
    static std::string proposed()
    {
        return gtk_file_selection_get_filename(file_dialog()) + std::string("|") +
               gtk_entry_get_text(GTK_ENTRY(file_dialog()->selection_entry));
    }

    std::string saves = exams.mkdir("saves");
};

// The dialogs propose their names and hold their item off until they go;
// only Yes replaces a file, and failures are shown.
TEST_F(SaveLoadTest, OnlyYesReplacesAFileAndFailuresAreShown)
{
    g_strlcpy(examname, "net101", sizeof examname);
    g_strlcpy(username, "Jane Q Doe", sizeof username);
    run_of({make_item('S', 1, {"+A", "-B"}), make_item('F', 1, {"x"})});
    disable_exam_menus();
    menu(exam_save);
    GtkFileSelection *fs = file_dialog();
    // The date part is the default name's own test.
    EXPECT_EQ(proposed().rfind(saves + G_DIR_SEPARATOR_S "net101_Jane_Q_Doe_", 0), 0u) << proposed();
    EXPECT_FALSE(is_sensitive(exam_save));
    cb_save_exam(nullptr, nullptr);   // as a shortcut would: no second dialog
    EXPECT_EQ(file_dialogs().size(), 1u);
    gtk_button_clicked(GTK_BUTTON(fs->cancel_button));
    EXPECT_TRUE(file_dialogs().empty());
    EXPECT_TRUE(is_sensitive(exam_save));
    // No name; then an exam name that leaves no room for one: the folder.
    username[0] = '\0';
    menu(exam_save);
    EXPECT_NE(proposed().find("|net101_Unnamed_"), std::string::npos) << proposed();
    close_window(GTK_WIDGET(file_dialog()));
    EXPECT_TRUE(is_sensitive(exam_save)) << "closed through its frame";
    g_strlcpy(examname, std::string(250, 'x').c_str(), sizeof examname);
    menu(exam_save);
    EXPECT_EQ(proposed(), saves + "|");
    close_window(GTK_WIDGET(file_dialog()));

    std::string old = exams.write("saves/run.sav", "an older save");
    std::string folder = exams.mkdir("saves/folder");
    dialogs.plan(GTK_RESPONSE_NO).plan(CLOSE_WINDOW).plan(GTK_RESPONSE_CLOSE);
    choose(exam_save, old);
    choose(exam_save, old);
    EXPECT_EQ(read_file(old), "an older save");
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

    // The run ends: its save dialog goes, Save Exam stays off.
    menu(exam_save);
    screen_empty();
    EXPECT_TRUE(file_dialogs().empty());
    EXPECT_FALSE(is_sensitive(exam_save));
    menu(exam_open);
    EXPECT_EQ(proposed(), saves + "|");
    EXPECT_FALSE(is_sensitive(exam_open));
    // A run begins: nothing may be loaded over it.
    disable_exam_menus();
    EXPECT_TRUE(file_dialogs().empty());
    EXPECT_FALSE(is_sensitive(exam_open));
    // A run that drew no item has nothing to save.
    destroy_list(QP);
    QP = nullptr;
    dialogs.plan(GTK_RESPONSE_CLOSE);
    menu(exam_save);
    EXPECT_EQ(dialogs.seen.back().text, "There is no exam to save.\n\n");
}

// A saved run comes back on the resume form and goes on from its time. A file
// of a header alone or an empty one is refused with the error;
// a resume form left with Cancel keeps its list until the next load replaces
// it (freed once: the sanitizer build would see a second free).
TEST_F(SaveLoadTest, ResumeFormTellsTheSavedRunAndStartsAtItemOne)
{
    exams.write("ccna/.xconfig", "title=Networking <b>101</b>\n");
    g_strlcpy(examname, "ccna", sizeof examname);
    g_strlcpy(username, "Jane", sizeof username);
    seconds = 1507, passed_time = 293, percentage = 70;
    training = 0, enableAnswer = 0, enableTimer = 1, exam_ended = 1;
    std::string header = saves + G_DIR_SEPARATOR_S "header.sav", full = saves + G_DIR_SEPARATOR_S "full.sav";
    ASSERT_EQ(save_list_file(header.c_str(), nullptr, header_of_run(), nullptr), 1);
    run_of({make_item('S', 1, {"+A", "-B"}), make_item('F', 1, {"x"}), make_item('S', 1, {"+A", "-B"})});
    ASSERT_EQ(save_list_file(full.c_str(), QP, header_of_run(), nullptr), 4);
    destroy_list(QP);
    QP = nullptr;
    examname[0] = '\0';
    std::string empty = exams.write("saves/empty.sav", "");
    for (const std::string &path : {header, empty}) {
        dialogs.plan(GTK_RESPONSE_CLOSE);
        choose(exam_open, path);
        EXPECT_EQ(dialogs.seen.back().text, "Error!\n\nI'm unable to read the file " + path + "\n\n");
        EXPECT_STREQ(examname, "");
        EXPECT_EQ(frame, nullptr);
        EXPECT_TRUE(is_sensitive(exam_open));
    }

    choose(exam_open, full);
    question *first = QP;
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(is_sensitive(exam_open));
    click(" Cancel ");
    EXPECT_EQ(QP, first);
    choose(exam_open, full);
    num_questions = 9;   // as a damaged file may announce
    createExamLoad(QP->next->next);
    for (const std::string &text : std::vector<std::string>{"Networking 101",
          "Exam was saved: " + std::string(savedate) + "\n\nIf you choose to use the timer and it was\n"
          "activated when you saved the exam, you will\nget the amount of time, you had when the\n"
          "exam was saved\n",
          "This practice exam contains 3 questions.", "You will have 25:7 minutes to finish the exam.",
          "You need 70% correct answers to pass."})
        EXPECT_NE(find_label(frame, text), nullptr) << text;
    EXPECT_TRUE(on(find_button(frame, "Exam Mode")));
    EXPECT_TRUE(on(cb_timer));
    EXPECT_FALSE(is_sensitive(cb_answer));
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(find_of_type(frame, GTK_TYPE_ENTRY))), "Jane");

    click(" Start Exam ");
    EXPECT_NE(find_label(frame, "Item 1 of 3"), nullptr);
    ASSERT_NE(timer_source, 0u) << "no countdown was started";
    EXPECT_TRUE(count_seconds(QP));
    EXPECT_EQ(status(), "  Time Remaining: 25:07");
    EXPECT_EQ(std::to_string(seconds) + " " + std::to_string(passed_time), "1506 294");
    EXPECT_FALSE(is_sensitive(exam_open));
    EXPECT_TRUE(is_sensitive(exam_save));
}

// A proposal whose folder is missing is saved there or not at all, never
// into the folder the program was started in.
TEST_F(SaveLoadTest, AProposalInAMissingFolderIsNotSavedElsewhere)
{
    TempDir launch;
    gchar *cwd = g_get_current_dir();
    ASSERT_EQ(g_chdir(launch.path().c_str()), 0);
    g_strlcpy(examname, "net101", sizeof examname);
    run_of({make_item('S', 1, {"+A", "-B"})});
    disable_exam_menus();
    auto save_as_proposed = [&] {
        menu(exam_save);
        std::string chosen = gtk_file_selection_get_filename(file_dialog());
        gtk_button_clicked(GTK_BUTTON(file_dialog()->ok_button));
        pump();
        return chosen;
    };
    // A separator in the examinee's name would make the folder "net101_Eve".
    g_strlcpy(username, "Eve/Adam", sizeof username);
    std::string chosen = save_as_proposed();
    EXPECT_EQ(chosen.rfind(saves + G_DIR_SEPARATOR_S "net101_Eve_Adam_", 0), 0u) << chosen;
    EXPECT_TRUE(g_file_test(chosen.c_str(), G_FILE_TEST_IS_REGULAR)) << chosen;

    std::string missing = saves + G_DIR_SEPARATOR_S "missing";
    g_strlcpy(savedir, missing.c_str(), sizeof savedir);
    dialogs.plan(GTK_RESPONSE_CLOSE);
    chosen = save_as_proposed();
    EXPECT_EQ(chosen.rfind(missing + G_DIR_SEPARATOR_S "net101_Eve_Adam_", 0), 0u) << chosen;
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].text, "Error!\n\nI'm unable to write the file " + chosen + "\n\n");
    EXPECT_EQ(names_in(launch.path()), std::vector<std::string>{}) << "written into the launch folder";
    g_chdir(cwd);
    g_free(cwd);
}

// While the selection shows a folder it can't read (one gone since, here;
// one without permission to read, for a user), it gives no name at all:
// a whole path typed in is still saved to and opened, a bare name is told
// by name and written nowhere.
TEST_F(SaveLoadTest, AWholePathTypedWhileTheFolderShownCantBeReadIsUsed)
{
    TempDir launch;
    gchar *cwd = g_get_current_dir();
    ASSERT_EQ(g_chdir(launch.path().c_str()), 0);
    g_strlcpy(examname, "net101", sizeof examname);
    run_of({make_item('S', 1, {"+A", "-B"}), make_item('F', 1, {"x"})});
    disable_exam_menus();
    std::string gone = exams.mkdir("saves/gone");
    std::string typed = saves + G_DIR_SEPARATOR_S "typed.sav";
    auto ok_in_unreadable_folder = [&](GtkWidget *item, const std::string &name) {
        menu(item);
        GtkFileSelection *fs = file_dialog();
        gtk_file_selection_set_filename(fs, (gone + G_DIR_SEPARATOR_S).c_str());
        g_rmdir(gone.c_str());
        gtk_file_selection_set_filename(fs, (gone + G_DIR_SEPARATOR_S).c_str());
        EXPECT_EQ(label_text(fs->selection_text).rfind("Folder unreadable", 0), 0u)
            << label_text(fs->selection_text);
        gtk_entry_set_text(GTK_ENTRY(fs->selection_entry), name.c_str());
        gtk_button_clicked(GTK_BUTTON(fs->ok_button));
        pump();
        g_mkdir(gone.c_str(), 0700);
    };

    ok_in_unreadable_folder(exam_save, typed);
    EXPECT_EQ(read_file(typed).size(), 3u * RECORD_SIZE);
    EXPECT_TRUE(dialogs.seen.empty());
    dialogs.plan(GTK_RESPONSE_CLOSE);
    std::string err = stderr_of([&] { ok_in_unreadable_folder(exam_save, "bare.sav"); });
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].text, "Error!\n\nI'm unable to write the file bare.sav\n\n");
    EXPECT_NE(err.find("bare.sav: the folder the file selection shows can't be read"), std::string::npos)
        << err;
    EXPECT_TRUE(is_sensitive(exam_save));

    screen_empty();
    dialogs.plan(GTK_RESPONSE_CLOSE);
    ok_in_unreadable_folder(exam_open, "bare.sav");
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[1].text, "Error!\n\nI'm unable to read the file bare.sav\n\n");
    EXPECT_TRUE(is_sensitive(exam_open));
    ok_in_unreadable_folder(exam_open, typed);
    EXPECT_EQ(line("This practice exam"), "This practice exam contains 2 questions.");

    EXPECT_EQ(names_in(launch.path()), std::vector<std::string>{}) << "written into the launch folder";
    g_chdir(cwd);
    g_free(cwd);
}

// A record of another kind between the items of a saved run: the resume
// form, the item pages and the score report count the items shown.
TEST_F(SaveLoadTest, ASkippedRecordLeavesNoGapInTheNumbering)
{
    exams.write("net101/.xconfig", "title=Net\n");
    g_strlcpy(examname, "net101", sizeof examname);
    run_of({make_item('S', 1, {"+A", "-B"}), make_item('S', 1, {"+A", "-B"}), make_item('F', 1, {"x"})});
    std::string path = saves + G_DIR_SEPARATOR_S "odd.sav";
    ASSERT_EQ(save_list_file(path.c_str(), QP, header_of_run(), nullptr), 4);
    destroy_list(QP);
    QP = nullptr;
    std::string bytes = read_file(path);
    bytes[2 * RECORD_SIZE] = 'X';   // item 2 becomes a record of no known kind
    exams.write("saves/odd.sav", bytes);

    choose(exam_open, path);
    EXPECT_EQ(line("This practice exam"), "This practice exam contains 2 questions.");
    click(" Start Exam ");
    EXPECT_EQ(line("Item "), "Item 1 of 2");
    click(" Next Item ");
    EXPECT_EQ(line("Item "), "Item 2 of 2");
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_EQ(line("Questions"), "Questions: 2");
}
