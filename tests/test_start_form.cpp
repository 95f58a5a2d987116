#include "gui_util.h"

#include <unistd.h>

#include "run/owner.h"
#include "saved/store.h"

using namespace gui;

class StartFormTest : public RunTest {
protected:
    // The exam "demo" with `files` question files of one item each.
    void make_demo(int files)
    {
        exams.write("demo/.xconfig",
                    "title=Tom & Jerry\ntimeout=45\npercentage=70\n[message]\nHello <i>you</i>.\n");
        for (int i = 0; i < files; i++)
            write_question_file(exams / ("demo/cat0" + std::to_string(i)),
                                "+++\nS2\nPick one.\n---\n+Yes\n-No\n---\nBecause.\n+++\n");
    }
    static bool active(const char *label) { return on(find_button(frame, label)); }
    void choose(const char *label) { gtk_button_clicked(GTK_BUTTON(find_button(frame, label))); }
    // training, enableAnswer and enableTimer, then what the form shows:
    // "T"raining or "E"xam mode, "A"nswer button (with "(off)" when it can't
    // be changed) and "T"imer when ticked, "-" when not.
    std::string modes()
    {
        return std::to_string(training) + std::to_string(enableAnswer) + std::to_string(enableTimer) + " "
               + (active("Training Mode") ? "T" : "E") + (active("Enable Answer Button") ? "A" : "-")
               + (is_sensitive(cb_answer) ? "" : "(off)") + (active("Enable Timer") ? "T" : "-");
    }
};

TEST_F(StartFormTest, ShowsTheExamAndSwitchesModesWhateverWasTicked)
{
    make_demo(3);
    exams.write("demo/notes.txt", "not a question file");
    // A title that isn't valid markup is shown as it stands, and named once.
    std::string err = stderr_of([] { start_exam(nullptr, (void *)"demo"); });
    EXPECT_NE(err.find("the title in " + exams.path("demo/.xconfig")), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_EQ(num_questions, 3);
    EXPECT_EQ(seconds, 2700);
    EXPECT_EQ(percentage, 70);
    for (const char *text : {"Tom & Jerry", "Hello you.", "This practice exam contains 3 questions.",
                             "You will have 45 minutes to finish the exam.",
                             "You need 70% correct answers to pass.",
                             "Select your options and\npress \"Start Exam\" to begin"})
        EXPECT_NE(find_label(frame, text), nullptr) << text;
    EXPECT_EQ(bar(), (std::vector<std::string>{" Start Exam ", " Cancel "}));

    EXPECT_EQ(modes(), "110 TA-");
    // The user's own ticks give way to each mode's options, both ways.
    choose("Enable Answer Button");
    choose("Enable Timer");
    EXPECT_EQ(modes(), "101 T-T");
    choose("Exam Mode");
    EXPECT_EQ(modes(), "001 E-(off)T");
    choose("Enable Timer");
    choose("Training Mode");
    EXPECT_EQ(modes(), "110 TA-");

    // The name is cut to fit on a character boundary.
    std::string name;
    for (int i = 0; i < 300; i++)
        name += "\xc3\xa9";
    gtk_entry_set_text(GTK_ENTRY(find_of_type(frame, GTK_TYPE_ENTRY)), name.c_str());
    EXPECT_EQ(strlen(username), 254u);
    EXPECT_TRUE(g_utf8_validate(username, -1, nullptr));
}

// The focus is where the examinee goes on: the name while none is given,
// " Start Exam " once one is.
TEST_F(StartFormTest, FocusIsOnTheNameOnlyWhileNoneIsGiven)
{
    make_demo(1);
    for (const char *name : {"", "Kim Park"}) {
        SCOPED_TRACE(std::string("name '") + name + "'");
        g_strlcpy(username, name, sizeof username);
        start_exam(nullptr, (void *)"demo");
        pump();
        GtkWidget *focus = gtk_window_get_focus(GTK_WINDOW(main_window));
        ASSERT_NE(focus, nullptr);
        if (name[0])
            EXPECT_EQ(focus, find_button(bbox, " Start Exam "));
        else
            EXPECT_EQ(focus, find_of_type(frame, GTK_TYPE_ENTRY));
    }
}

// Exams that can't be started: no configuration file, no question file
// with an item, more question files than a run holds.
TEST_F(StartFormTest, ExamsThatCantBeStarted)
{
    gtk_widget_set_sensitive(exam_open, FALSE);   // as the resume form leaves it
    dialogs.plan(GTK_RESPONSE_OK);
    start_exam(nullptr, (void *)"demo");
    const SeenDialog &d = dialogs.seen.at(0);
    EXPECT_EQ(d.text, "Can't find configfile " + exams.path("demo/.xconfig") + "\n\nUnable to run practice exam"
                          "\n\nCheck your installation\n\nexamdir:" + exams.path()
                          + "\nexamname:demo\nexamconfig:.xconfig");
    EXPECT_EQ(d.title, "Warning");
    EXPECT_EQ(d.type, GTK_MESSAGE_WARNING);
    EXPECT_EQ(frame, nullptr);
    EXPECT_TRUE(children(box2).empty());
    EXPECT_TRUE(is_sensitive(exam_open));
    // A configuration far too large to be one is not read (sparse: no disk).
    write_file(exams / "demo/.xconfig", "title=Big\n");
    ASSERT_EQ(truncate(exams.path("demo/.xconfig").c_str(), 64 << 20), 0);
    dialogs.plan(GTK_RESPONSE_OK);
    start_exam(nullptr, (void *)"demo");
    EXPECT_EQ(dialogs.seen.at(1).text, "Can't read configfile " + exams.path("demo/.xconfig") +
                                           ": larger than 1 MiB, not read\n\nUnable to run practice exam"
                                           "\n\nCheck your installation\n\n");
    EXPECT_EQ(frame, nullptr);
    EXPECT_TRUE(children(box2).empty());

    // No question files: the form stays, the menus as a begun run has them.
    make_demo(0);
    start_exam(nullptr, (void *)"demo");
    GtkWidget *form = frame;
    dialogs.plan(GTK_RESPONSE_CLOSE);
    EXPECT_EQ(stderr_of([&] { click(" Start Exam "); }), "Error\n");
    EXPECT_EQ(dialogs.seen.back().text,
              "No question file of this exam holds an item, so it can't be started.\n\n");
    EXPECT_EQ(frame, form);
    EXPECT_EQ(QP, nullptr);
    EXPECT_FALSE(is_sensitive(exam_open));
    click(" Cancel ");
    EXPECT_EQ(frame, nullptr);
    EXPECT_TRUE(is_sensitive(exam_open));
    EXPECT_FALSE(is_sensitive(exam_save));

    // 128 question files: refused, and another exam can be chosen.
    for (int i = 0; i < 128; i++)
        exams.write("demo/cat" + std::to_string(1000 + i), "");
    start_exam(nullptr, (void *)"demo");
    form = frame;
    dialogs.plan(GTK_RESPONSE_CLOSE);
    click(" Start Exam ");
    EXPECT_EQ(dialogs.seen.back().text, "This exam has 128 question files.\n\nA run can hold at most "
                                        "127 items, so this exam can't be started.\n\n");
    EXPECT_EQ(dialogs.seen.back().parent, GTK_WINDOW(main_window));
    EXPECT_EQ(frame, form);
    EXPECT_EQ(QP, nullptr);
    EXPECT_TRUE(is_sensitive(exam_open));
}

// What a saved exam file does to a start form on screen: one without an
// item is refused and leaves the form's exam alone; after a loaded exam,
// a start that draws no item leaves nothing for Save Exam to write.
TEST_F(StartFormTest, SavedFilesNeverChangeTheExamBehindTheForm)
{
    make_demo(1);
    std::string saves = exams.mkdir("saves");
    run_header other;
    g_strlcpy(other.examname, "other", sizeof other.examname);
    other.seconds = 99, other.percentage = 0, other.num_questions = 5;
    other.training = 0, other.enableTimer = 1, other.enableAnswer = 0;
    std::string header = saves + G_DIR_SEPARATOR_S "header.sav";
    ASSERT_EQ(save_list_file(header.c_str(), nullptr, other, nullptr), 1);

    start_exam(nullptr, (void *)"demo");
    GtkWidget *form = frame;
    std::string before = modes() + " " + examname + " " + std::to_string(seconds) + " " +
                         std::to_string(percentage) + " " + std::to_string(num_questions);
    EXPECT_EQ(before, "110 TA- demo 2700 70 1");
    dialogs.plan(GTK_RESPONSE_CLOSE);
    RunTest::choose(exam_open, header);
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].text, "Error!\n\nI'm unable to read the file " + header + "\n\n");
    EXPECT_EQ(modes() + " " + examname + " " + std::to_string(seconds) + " " +
                  std::to_string(percentage) + " " + std::to_string(num_questions),
              before);
    EXPECT_TRUE(frame == form && is_sensitive(exam_open));
    click(" Start Exam ");
    EXPECT_TRUE(QP && timer_source == 0u) << "the training run shown, untimed";

    // A saved run of "demo" is loaded; then an exam whose files hold no item
    // is chosen and started.
    std::string full = saves + G_DIR_SEPARATOR_S "full.sav";
    ASSERT_EQ(save_list_file(full.c_str(), QP, header_of_run(), nullptr), 2);
    screen_empty();
    run_end();
    RunTest::choose(exam_open, full);
    ASSERT_NE(QP, nullptr);
    exams.write("empty/.xconfig", "title=Empty\n");
    write_question_file(exams / "empty/cat01", "no item here\n");
    exams.write("empty/cat02", "+++\nS\nnot packed\n---\n+a\n---\n\n+++\n");
    start_exam(nullptr, (void *)"empty");
    dialogs.plan(GTK_RESPONSE_CLOSE);
    // Each file left out is named on standard error, and what the reader
    // says about a damaged one on standard output.
    ::testing::internal::CaptureStdout();
    std::string err = stderr_of([&] { click(" Start Exam "); });
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Decompression failed (-5)\n");
    for (const char *file : {"empty/cat01", "empty/cat02"})
        EXPECT_NE(err.find(exams / file + ": no item can be read; question file left out\n"),
                  std::string::npos) << err;
    EXPECT_EQ(err.substr(err.size() - 6), "Error\n");
    EXPECT_EQ(dialogs.seen.back().text,
              "No question file of this exam holds an item, so it can't be started.\n\n");
    EXPECT_EQ(QP, nullptr);
    dialogs.plan(GTK_RESPONSE_CLOSE);
    menu(exam_save);
    EXPECT_EQ(dialogs.seen.back().text, "There is no exam to save.\n\n");
    EXPECT_TRUE(file_dialogs().empty());
}
