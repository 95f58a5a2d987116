// Copies left behind, inside the program: how they are asked about once,
// resumed, kept as saved exams, and offered from a folder that can't be
// written.
#include "recovery_test.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A copy left by a program that is gone, written by the core writer.
static std::string left_copy(question *list)
{
    std::string dir = recovery_dir(), error;
    recovery_slot slot;
    EXPECT_TRUE(recovery_claim(dir, &slot, error_text(&error))) << error;
    run_header h = header_of_run();
    EXPECT_GT(save_list_file(slot.copy.c_str(), list, h, error_text(&error)), 0) << error;
    recovery_release(&slot);
    return slot.copy;
}

TEST_F(RecoveryTest, YesResumesTheCopyWhichGoesOnAsTheRunsOwn)
{
    QP->selected[0] = 1;
    QP->next->marked = 1;
    std::string copy = left_copy(QP);
    destroy_list(QP);
    QP = nullptr;
    username[0] = '\0';
    dialogs.plan(GTK_RESPONSE_YES);
    recovery_offer_left();
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_NE(dialogs.seen[0].text.find("Examinee: Kim Park\n"), std::string::npos);
    // The time as the resume form gives a save's: month/day, no year.
    EXPECT_TRUE(g_regex_match_simple("\nLast written: [01][0-9]/[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\n",
                                     dialogs.seen[0].text.c_str(), GRegexCompileFlags(0),
                                     GRegexMatchFlags(0)))
        << dialogs.seen[0].text;
    EXPECT_STREQ(username, "Kim Park");
    EXPECT_EQ(bar(), (std::vector<std::string>{" Start Exam ", " Cancel "}));
    EXPECT_FALSE(gui::is_sensitive(exam_open));
    // Until its run starts the copy is held: no other program offers it.
    EXPECT_TRUE(recovery_find_left(recovery_dir()).empty());

    EXPECT_EQ(start(), copy);
    EXPECT_TRUE(on(choices()[0]));
    gradeExam(QP);
    EXPECT_FALSE(g_file_test(copy.c_str(), G_FILE_TEST_EXISTS));
}

TEST_F(RecoveryTest, AResumedCopyWhoseFormIsLeftForAnotherRunWaitsForTheNextStart)
{
    std::string copy = left_copy(QP);
    destroy_list(QP);
    QP = nullptr;
    dialogs.plan(GTK_RESPONSE_YES);
    recovery_offer_left();
    cb_cancel(nullptr, nullptr);
    run_start(make_item('S', 1, {"+Yes", "-No"}), false);
    std::string own = recovery_copy_path();
    EXPECT_NE(own, copy);
    std::vector<recovery_slot> left = recovery_find_left(recovery_dir());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].copy, copy);
    recovery_discard(&left[0]);
}

// Three copies left by Ann (oldest), Bo and Cy (newest).
static std::vector<std::string> three_left(question **list)
{
    std::vector<std::string> copies;
    const std::pair<const char *, int> who[] = {{"Ann Lee", 300}, {"Bo Day", 200}, {"Cy Ng", 100}};
    for (const auto &w : who) {
        g_strlcpy(username, w.first, sizeof username);
        copies.push_back(left_copy(*list));
        EXPECT_TRUE(set_file_age(copies.back(), w.second));
    }
    destroy_list(*list);
    *list = nullptr;
    username[0] = '\0';
    return copies;
}

TEST_F(RecoveryTest, SeveralCopiesAreAskedAboutOnceNewestFirstAndTheChosenOneIsResumed)
{
    std::vector<std::string> copies = three_left(&QP);
    TempDir saves;
    g_strlcpy(savedir, saves.path().c_str(), sizeof savedir);
    // Bo's run is chosen before the answer is given.
    struct Pick {
        std::vector<std::string> rows;
        bool done = false;
    } pick;
    g_timeout_add(20, [](gpointer data) -> gboolean {
        auto *p = static_cast<Pick *>(data);
        for (GtkWidget *w : notices()) {
            std::vector<GtkWidget *> radios = gui::find_all_of_type(w, GTK_TYPE_RADIO_BUTTON);
            if (radios.size() != 3)
                continue;
            for (GtkWidget *r : radios)
                p->rows.push_back(gui::button_label(r));
            EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(radios[0])));
            // The list shows its rows, not a sliver of them.
            GtkWidget *list = gtk_widget_get_ancestor(radios[0], GTK_TYPE_SCROLLED_WINDOW);
            GtkAllocation shown, row;
            gtk_widget_get_allocation(list, &shown);
            gtk_widget_get_allocation(radios[0], &row);
            EXPECT_GE(shown.height, 3 * row.height);
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(radios[1]), TRUE);
            p->done = true;
            return FALSE;
        }
        return TRUE;
    }, &pick);
    dialogs.plan(RECOVERY_RESPONSE_RESUME, 300).plan(GTK_RESPONSE_CLOSE);
    recovery_offer_left();
    ASSERT_TRUE(pick.done);
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_TRUE(g_str_has_prefix(dialogs.seen[0].text.c_str(),
                                 "3 exams were still running when Trialix last ended, newest first."))
        << dialogs.seen[0].text;
    EXPECT_EQ(dialogs.seen[0].buttons, (std::vector<std::string>{"Keep All as Saved Exams", "Resume"}));
    ASSERT_EQ(pick.rows.size(), 3u);
    const char *order[] = {"Cy Ng", "Bo Day", "Ann Lee"};
    for (int i = 0; i < 3; i++)
        EXPECT_NE(pick.rows[i].find(std::string(", ") + order[i] + ", last written "), std::string::npos)
            << pick.rows[i];
    // Bo's run waits on its resume form; the two others are saved exams, told in one notice.
    EXPECT_STREQ(username, "Bo Day");
    EXPECT_EQ(bar(), (std::vector<std::string>{" Start Exam ", " Cancel "}));
    EXPECT_EQ(paths_in(saves.path()).size(), 2u);
    EXPECT_TRUE(g_str_has_prefix(dialogs.seen[1].text.c_str(),
                                 "2 exams left running were kept as saved exams:\n"))
        << dialogs.seen[1].text;
    for (const std::string &f : paths_in(saves.path()))
        EXPECT_NE(dialogs.seen[1].text.find(f + "\n"), std::string::npos) << dialogs.seen[1].text;
    EXPECT_EQ(start(), copies[1]);
    EXPECT_FALSE(g_file_test(copies[0].c_str(), G_FILE_TEST_EXISTS));
    EXPECT_FALSE(g_file_test(copies[2].c_str(), G_FILE_TEST_EXISTS));
}

TEST_F(RecoveryTest, SeveralCopiesCanAllBeKeptAsSavedExamsAtOnce)
{
    std::vector<std::string> copies = three_left(&QP);
    TempDir saves;
    g_strlcpy(savedir, saves.path().c_str(), sizeof savedir);
    dialogs.plan(RECOVERY_RESPONSE_KEEP_ALL).plan(GTK_RESPONSE_CLOSE);
    recovery_offer_left();
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_TRUE(g_str_has_prefix(dialogs.seen[1].text.c_str(),
                                 "3 exams left running were kept as saved exams:\n"));
    EXPECT_EQ(dialogs.seen[1].type, GTK_MESSAGE_INFO);
    EXPECT_EQ(paths_in(saves.path()).size(), 3u);
    EXPECT_EQ(QP, nullptr);
    EXPECT_TRUE(recovery_find_left(recovery_dir()).empty());
}

TEST_F(RecoveryTest, NoWithoutADocumentsFolderKeepsTheRunWhereSaveProposesAndSaysWhere)
{
    left_copy(QP);
    destroy_list(QP);
    QP = nullptr;
    // No documents folder set: saves are proposed in the folder Trialix was started from.
    ASSERT_STREQ(savedir, ".");
    TempDir launch;
    gchar *was = g_get_current_dir();
    ASSERT_EQ(g_chdir(launch.path().c_str()), 0);
    dialogs.plan(GTK_RESPONSE_NO).plan(GTK_RESPONSE_CLOSE);
    recovery_offer_left();
    EXPECT_EQ(g_chdir(was), 0);
    g_free(was);
    std::vector<std::string> kept = paths_in(launch.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(g_str_has_prefix(kept[0].c_str(), (launch / "demo_Kim_Park_").c_str())) << kept[0];
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[1].text, "The exam was kept as a saved exam:\n" + kept[0] +
                                        "\n\nNo documents folder is set, so Trialix keeps exams in "
                                        "the folder it was started from, where Save Exam proposes "
                                        "to save too.\n\nOpen it with Open Exam in the Exam menu "
                                        "to go on with it.\n");
}

TEST_F(RecoveryTest, ACopyInAFolderThatCantBeWrittenIsOfferedAndResumedWithoutWritingIt)
{
    std::string copy = left_copy(QP);
    std::string bytes = read_file(copy);
    destroy_list(QP);
    QP = nullptr;
    std::string folder = recovery_dir(), state = g_get_user_state_dir();
    // Root writes anywhere: the program runs as nobody meanwhile, whose files they are.
    bool root = geteuid() == 0;
    std::vector<std::string> up = {g_getenv("TRIALIX_TEST_XDG"), state, state + "/trialix"};
    for (const std::string &d : up)
        ASSERT_EQ(chmod(d.c_str(), 0755), 0) << d;
    std::vector<std::string> own = paths_in(folder);
    own.push_back(folder);
    for (const std::string &f : own)
        ASSERT_EQ(!root || lchown(f.c_str(), 65534, 65534) == 0, true) << f;
    // As on a read-only mount: neither the folder nor its files can be written.
    for (const std::string &f : own)
        ASSERT_EQ(chmod(f.c_str(), f == folder ? 0555 : 0444), 0) << f;
    ASSERT_TRUE(!root || seteuid(65534) == 0);

    dialogs.plan(GTK_RESPONSE_YES).plan(GTK_RESPONSE_CLOSE);
    std::string err = stderr_of([&] {
        recovery_offer_left();
        EXPECT_EQ(start(), copy);
        ASSERT_TRUE(answered(2));
    });
    EXPECT_TRUE(!root || seteuid(0) == 0);
    for (const std::string &f : own)
        EXPECT_EQ(lchown(f.c_str(), 0, 0) == 0 && chmod(f.c_str(), 0700) == 0, true) << f;
    for (const std::string &d : up)
        chmod(d.c_str(), 0700);

    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_NE(dialogs.seen[0].text.find("\n\nThe recovery folder can't be written (" + folder),
              std::string::npos)
        << dialogs.seen[0].text;
    EXPECT_TRUE(g_str_has_suffix(dialogs.seen[0].text.c_str(), "\n\nDo you want to resume it?"));
    // Resumed, and told that the run isn't kept safe; the old copy as it was.
    EXPECT_TRUE(g_str_has_prefix(dialogs.seen[1].text.c_str(), "This run is no longer kept safe"));
    EXPECT_EQ(read_file(copy), bytes);
}

} // namespace
