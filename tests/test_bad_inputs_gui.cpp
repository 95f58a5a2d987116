// Bad inputs that reach the screens: exam text that isn't valid markup, on
// every screen of a run that goes through all of them (the leak check runs
// this walk under valgrind), and installations whose exam root is no
// directory.
#include "run_fixture.h"

#include <glib/gstdio.h>

#include <algorithm>
#include <climits>

#include "app/config.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/menu.h"
#include "bank/question.h"

using namespace gui;

class BadInputsGui : public RunTest {
protected:
    static void menu(GtkWidget *item)
    {
        gtk_menu_item_activate(GTK_MENU_ITEM(item));
        pump();
    }
    // The open window (not the main window) of the given type.
    static GtkWidget *other_window(GType type)
    {
        GtkWidget *found = nullptr;
        GList *windows = gtk_window_list_toplevels();
        for (GList *w = windows; w; w = w->next)
            if (w->data != main_window && G_TYPE_CHECK_INSTANCE_TYPE(w->data, type)
                && gtk_widget_get_visible(GTK_WIDGET(w->data)))
                found = GTK_WIDGET(w->data);
        g_list_free(windows);
        return found;
    }
    // Chooses `path` with OK in the file dialog that `item` opens.
    static void choose(GtkWidget *item, const std::string &path)
    {
        menu(item);
        GtkWidget *fs = other_window(GTK_TYPE_FILE_SELECTION);
        ASSERT_NE(fs, nullptr);
        gtk_file_selection_set_filename(GTK_FILE_SELECTION(fs), path.c_str());
        gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(fs)->ok_button));
        pump();
    }
    // The shown question is `q`'s text exactly as the file has it.
    static void expect_question(const question *q)
    {
        EXPECT_NE(find_label(frame, q->text), nullptr) << "item " << (int)q->number << ": " << q->text;
    }
};

// Titles, messages, questions and explanations that aren't valid markup
// (a bare '<' or '&', an unclosed or stray tag) are shown as they stand on
// every screen; the run goes through every screen, with a save and a
// resume, and is graded as the answers say.
TEST_F(BadInputsGui, EveryScreenShowsExamTextThatIsNotMarkupAsItStands)
{
    const std::string title = "<b>Tom & Jerry", message = "Bring a pen <i>and paper";
    exams.write("demo/.xconfig", "title=" + title + "\ntimeout=30\npercentage=50\n[message]\n" + message + "\n");
    write_question_file(exams.mkdir("demo") + "/cat1", "+++\nS\nIs 1 < 2?\n---\n+Yes\n-No\n---\nOne & two.\n+++\n");
    write_question_file(exams.mkdir("demo") + "/cat2", "+++\nM2\nPick <both\n---\n+A\n+B\n-C\n---\n</i>\n+++\n");
    write_question_file(exams.mkdir("demo") + "/cat3", "+++\nF\nType a & b\n---\na & b\n---\n<<\n+++\n");
    const std::string saved = exams.path("demo.sav");

    stderr_of([] {
        menu(find(exammenu, [](GtkWidget *w) {
            return GTK_IS_MENU_ITEM(w) && find_label(w, "  Start Practice Exam demo ");
        }));
    });
    EXPECT_NE(find_label(frame, title), nullptr);
    EXPECT_NE(find_label(frame, message), nullptr);
    gtk_entry_set_text(GTK_ENTRY(find_of_type(frame, GTK_TYPE_ENTRY)), "Ann <Lee> & Co");
    gtk_button_clicked(GTK_BUTTON(find_button(frame, "Enable Timer")));
    stderr_of([this] { click(" Start Exam "); });
    ASSERT_NE(QP, nullptr);
    ASSERT_EQ(list_length(QP), 3);
    ASSERT_NE(timer_source, 0u);

    // Every item answered right but the multiple choice; item 2 marked,
    // each explanation read in the answer window, a save after the second.
    for (question *q = QP; q; q = q->next) {
        stderr_of([&] { expect_question(q); });
        if (q->type == 'F')
            gtk_entry_set_text(GTK_ENTRY(find_of_type(frame, GTK_TYPE_ENTRY)), "a & b");
        else
            gtk_button_clicked(GTK_BUTTON(choices().at(0)));
        if (q->number == 2)
            click("Mark Item for Review");
        stderr_of([this] { click(" Show Answer "); });
        GtkWidget *answer = other_window(GTK_TYPE_WINDOW);
        ASSERT_NE(answer, nullptr);
        EXPECT_NE(find_label(answer, q->explanation), nullptr) << q->explanation;
        gtk_button_clicked(GTK_BUTTON(find_button(answer, " Close Window ")));
        if (q->number == 2)
            choose(exam_save, saved);
        if (q->next)
            stderr_of([this] { click(" Next Item "); });
    }

    // Review screen and pages, grading, both read-only reviews, the end.
    auto walk = [&](const char *start, const char *back) {
        stderr_of([&] { click(start); });
        for (question *q = QP; q; q = q->next) {
            expect_question(q);
            stderr_of([&] { click(q->next ? " Next Item " : back); });
        }
    };
    click(" Review Screen ");
    gtk_button_clicked(GTK_BUTTON(find_button(frame, "Review all items")));
    walk(" Review ", " Review Screen ");
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_NE(find_label(frame, "Correct: 2"), nullptr);
    walk(" Review All ", " Back to Grade Exam ");
    stderr_of([this] { click(" Review Errors "); });
    for (question *q = QP; q; q = q->next)
        if (q->type == 'M')
            expect_question(q);
    click(" Back to Grade Exam ");
    click(" End Exam ");
    EXPECT_EQ(QP, nullptr);

    // The saved run resumes with its title as it stands and grades alike.
    stderr_of([&] { choose(exam_open, saved); });
    EXPECT_NE(find_label(frame, title), nullptr);
    EXPECT_STREQ(username, "Ann <Lee> & Co");
    stderr_of([this] { click(" Start Exam "); });
    ASSERT_NE(QP, nullptr);
    dialogs.plan(GTK_RESPONSE_YES);   // asks about the unanswered item
    click(" Grade Exam ");
    // Only the two items before the save were answered, the M item wrong.
    int right = (QP->type != 'M') + (QP->next->type != 'M');
    EXPECT_NE(find_label(frame, "Correct: " + std::to_string(right)), nullptr);
    click(" End Exam ");
    EXPECT_EQ(QP, nullptr);
}

// An exam root that is a file, or a settings file naming one that doesn't
// exist: the first catalogue warning, and an Exam menu that still opens
// saved exams.
TEST_F(GuiTest, ExamRootThatIsAFileOrMissingWarnsAndKeepsOpenExam)
{
    std::string xdg = g_getenv("TRIALIX_TEST_XDG");
    std::string conf = xdg + "/config/trialix/trialix.conf";
    g_mkdir_with_parents((xdg + "/config/trialix").c_str(), 0755);
    for (const std::string &root : {exams.write("root-file", "not a directory"), exams.path("gone")}) {
        g_file_set_contents(conf.c_str(), ("[Trialix]\nexamdir=" + root + "\n").c_str(), -1, nullptr);
        trialix_config();
        EXPECT_EQ(std::string(examdir), root);
        dialogs.plan(GTK_RESPONSE_OK);
        GtkWidget *bar = createMenuBar();
        g_object_ref_sink(bar);
        ASSERT_EQ(dialogs.seen.size(), 1u);
        EXPECT_EQ(dialogs.seen[0].text, "There are no exam directories in " + root +
                                            "\n\nThe simulation will not work!\n\nCheck your installation\n\n");
        EXPECT_TRUE(is_sensitive(exam_open));
        gtk_widget_destroy(bar);
        g_object_unref(bar);
        dialogs.seen.clear();
    }
    g_remove(conf.c_str());
}

// Time limits far outside what a run can take neither overflow the seconds
// (the sanitizer build stops at that) nor stop the start form.
TEST_F(BadInputsGui, TimeLimitsOutOfRangeStayWithinTheSeconds)
{
    write_question_file(exams.mkdir("demo") + "/cat1", "+++\nF\nOne?\n---\none\n---\n\n+++\n");
    for (const char *timeout : {"-2147483648", "2147483647", "-1"}) {
        exams.write("demo/.xconfig", std::string("title=Demo\ntimeout=") + timeout + "\n");
        start_exam(nullptr, (void *)"demo");
        long long minutes = std::stoll(timeout);
        EXPECT_EQ(seconds, 60 * std::max<long long>(INT_MIN / 60, std::min<long long>(minutes, INT_MAX / 60)));
        EXPECT_NE(find_label(frame, "You will have " + std::to_string(seconds / 60) +
                                        " minutes to finish the exam."), nullptr) << timeout;
    }
}

// A saved exam may hold any int as its times: the countdown neither
// overflows them (the sanitizer build stops at that) nor loses the run.
TEST_F(BadInputsGui, CountdownFromTimesAtTheEndsOfAnIntNeverOverflows)
{
    run_of({make_item('F', 1, {"x"})});
    training = 0;
    seconds = INT_MIN;
    passed_time = INT_MAX;
    trialix_start_timer(nullptr, QP);
    dialogs.plan(GTK_RESPONSE_CLOSE);   // time is up: the notice, then grading
    EXPECT_FALSE(count_seconds(QP));
    EXPECT_EQ(seconds, 1) << "graded";
    EXPECT_NE(find_label(frame, "Your Score Report"), nullptr);

    trialix_start_timer(nullptr, QP);
    exam_ended = 1;
    passed_time = INT_MAX;
    trialix_stop_timer();
    EXPECT_EQ(passed_time, INT_MAX);
}
