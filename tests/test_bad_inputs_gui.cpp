// Bad inputs that reach the screens: exam text that isn't valid markup, on
// every screen of a run that goes through all of them (the leak check runs
// this walk under valgrind), and times no run can take. And an exam imported
// from a GIFT question bank, taken through the screens.
#include "gui_util.h"
#include "pack_run.h"

#include <algorithm>
#include <climits>

#include "app/functions.h"
#include "bank/question.h"

using namespace gui;

using BadInputsGui = RunTest;

// Every text of the shown screen but the time taken, in tree order.
static std::string screen_text()
{
    std::string text;
    for (GtkWidget *l : find_all_of_type(frame, GTK_TYPE_LABEL))
        if (label_text(l).rfind("Time: ", 0) != 0)
            text += label_text(l) + "|";
    return text;
}

// Titles, messages, questions and explanations that aren't valid markup (a
// bare '<' or '&', an unclosed or stray tag) are shown as they stand on every
// screen. The run is saved, ended, opened again and resumed, and grades as
// the run itself did.
TEST_F(BadInputsGui, EveryScreenShowsExamTextThatIsNotMarkupAsItStands)
{
    const std::string title = "<b>Tom & Jerry", message = "Bring a pen <i>and paper";
    exams.write("demo/.xconfig",
                "title=" + title + "\ntimeout=30\npercentage=50\n[message]\n" + message + "\n");
    write_question_file(exams / "demo/cat1", "+++\nS\nIs 1 < 2?\n---\n+Yes\n-No\n---\nOne & two.\n+++\n");
    write_question_file(exams / "demo/cat2", "+++\nM2\nPick <both\n---\n+A\n+B\n-C\n---\n</i>\n+++\n");
    write_question_file(exams / "demo/cat3", "+++\nF\nType a & b\n---\na & b\n---\n<<\n+++\n");
    const std::string saved = exams.path("demo.sav");
    auto shows = [](const question *q) { return find_label(frame, q->text) != nullptr; };
    auto entry = [] { return GTK_ENTRY(find_of_type(frame, GTK_TYPE_ENTRY)); };

    GtkWidget *item = find(exammenu, [](GtkWidget *w) {
        return GTK_IS_MENU_ITEM(w) && find_label(w, "  Start Practice Exam demo ");
    });
    stderr_of([item] { menu(item); });
    EXPECT_NE(find_label(frame, title), nullptr);
    EXPECT_NE(find_label(frame, message), nullptr);
    gtk_entry_set_text(entry(), "Ann <Lee> & Co");
    gtk_button_clicked(GTK_BUTTON(find_button(frame, "Enable Timer")));
    stderr_of([this] { click(" Start Exam "); });
    ASSERT_EQ(list_length(QP), 3);
    EXPECT_NE(timer_source, 0u) << "the timer was enabled";
    EXPECT_FALSE(is_sensitive(item));
    EXPECT_FALSE(is_sensitive(exam_open));
    EXPECT_TRUE(is_sensitive(exam_save));

    // The first choice of each item (the multiple choice wrong so), the right
    // entry; each explanation read in the answer window.
    for (question *q = QP; q; q = q->next) {
        EXPECT_TRUE(shows(q)) << q->text;
        if (q->type == 'F')
            gtk_entry_set_text(entry(), "a & b");
        else
            gtk_button_clicked(GTK_BUTTON(choices().at(0)));
        stderr_of([this] { click(" Show Answer "); });
        GtkWidget *answer = answer_windows().at(0);
        EXPECT_NE(find_label(answer, q->explanation), nullptr) << q->explanation;
        gtk_button_clicked(GTK_BUTTON(find_button(answer, " Close Window ")));
        if (q->next)
            stderr_of([this] { click(" Next Item "); });
    }
    choose(exam_save, saved);

    // Review screen and pages, grading, both read-only reviews, the end.
    auto walk = [&](const char *start, const char *back) {
        stderr_of([&] { click(start); });
        for (question *q = QP; q; q = q->next) {
            EXPECT_TRUE(shows(q)) << q->text;
            stderr_of([&] { click(q->next ? " Next Item " : back); });
        }
    };
    click(" Review Screen ");
    gtk_button_clicked(GTK_BUTTON(find_button(frame, "Review all items")));
    walk(" Review ", " Review Screen ");
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_NE(find_label(frame, "Correct: 2"), nullptr);
    const std::string report = screen_text();
    walk(" Review All ", " Back to Grade Exam ");
    stderr_of([this] { click(" Review Errors "); });
    for (question *q = QP; q; q = q->next)
        EXPECT_EQ(shows(q), q->type == 'M') << "the wrong item alone";
    click(" Back to Grade Exam ");
    click(" End Exam ");
    EXPECT_TRUE(children(box2).empty());
    EXPECT_EQ(frame, nullptr);
    EXPECT_EQ(QP, nullptr);
    EXPECT_TRUE(is_sensitive(item));
    EXPECT_TRUE(is_sensitive(exam_open));
    EXPECT_FALSE(is_sensitive(exam_save));

    username[0] = '\0';
    stderr_of([&] { choose(exam_open, saved); });
    EXPECT_NE(find_label(frame, title), nullptr);
    EXPECT_STREQ(username, "Ann <Lee> & Co");
    stderr_of([this] { click(" Start Exam "); });
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_EQ(screen_text(), report);
}

// Valid markup whose font sizes would make a window the X server refuses
// (which ends the program) is shown as the text it stands for.
TEST_F(BadInputsGui, GiantMarkupIsShownAsTextAndTheWindowStaysUsable)
{
    const std::string title = "<span font=\"Sans 9999999\">T</span>";
    const std::string huge = "<span size=\"2147483647\">W</span>";
    exams.write("demo/.xconfig", "title=" + title + "\ntimeout=30\npercentage=50\n[message]\n"
                                 "<big><big><big><big><big><big><big><big><big><big><big><big><big>"
                                 "<big><big><big><big><big>M</big></big></big></big></big></big></big>"
                                 "</big></big></big></big></big></big></big></big></big></big></big>\n");
    write_question_file(exams / "demo/cat1", "+++\nS\n" + huge + "\n---\n+Yes\n-No\n---\nWhy.\n+++\n");
    GtkWidget *item = find(exammenu, [](GtkWidget *w) {
        return GTK_IS_MENU_ITEM(w) && find_label(w, "  Start Practice Exam demo ");
    });
    std::string err = stderr_of([item] { menu(item); });
    EXPECT_NE(find_label(frame, title), nullptr) << "the title as it stands";
    EXPECT_NE(err.find("markup too large to show"), std::string::npos) << err;
    stderr_of([this] { click(" Start Exam "); });
    EXPECT_NE(find_label(frame, huge), nullptr);
    GtkRequisition size;
    gtk_widget_size_request(main_window, &size);
    EXPECT_LT(size.width, 2000);
    EXPECT_LT(size.height, 2000);
    gui::pump();
}

// Markup whose elements each pass but whose whole text is too large: a size
// given with a font description, spacing along a long line, line height over
// many lines, in the title, the questions and an explanation. Each is shown
// as the text it stands for, and the windows stay within the screen (the X
// server ended the program at each).
TEST_F(BadInputsGui, MarkupTooLargeAsAWholeIsShownAsText)
{
    auto times = [](const std::string &piece, int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += piece;
        return text;
    };
    const std::string title = "<span size=\"2147483647\" font=\"Sans 10\">W</span>";
    const std::vector<std::string> texts = {
        "<span font_size=\"2147483647\" font_desc=\"Sans 10\">W</span>",
        "<span size=\"204800\" letter_spacing=\"204800\">" + times("W", 1900) + "</span>",
        "<span size=\"204800\" line_height=\"10\">" + times("W\n", 15) + "W</span>",
    };
    exams.write("demo/.xconfig", "title=" + title + "\ntimeout=30\npercentage=50\n[message]\nHello\n");
    for (size_t i = 0; i < texts.size(); ++i)
        write_question_file(exams / ("demo/cat" + std::to_string(i + 1)),
                            "+++\nS\n" + texts[i] + "\n---\n+Yes\n-No\n---\n" + texts[2 - i] + "\n+++\n");
    // Within the screen, but for the width the text takes as plain text
    // (the line of 1,900 W: a wide window the program has always made).
    auto fits = [](GtkWidget *window, const std::string &text) {
        gui::pump();
        GtkWidget *plain = g_object_ref_sink(gtk_label_new(text.c_str()));
        GtkRequisition size, plain_size;
        gtk_widget_size_request(plain, &plain_size);
        g_object_unref(plain);
        gtk_widget_size_request(window, &size);
        EXPECT_LE(size.width, 4096 + plain_size.width);
        EXPECT_LE(size.height, 4096 + plain_size.height);
    };
    GtkWidget *item = find(exammenu, [](GtkWidget *w) {
        return GTK_IS_MENU_ITEM(w) && find_label(w, "  Start Practice Exam demo ");
    });
    std::string err = stderr_of([item] { menu(item); });
    EXPECT_NE(find_label(frame, title), nullptr) << "the title as it stands";
    EXPECT_NE(err.find("the title in"), std::string::npos) << err;
    EXPECT_NE(err.find("markup too large to show"), std::string::npos) << err;
    fits(main_window, title);
    stderr_of([this] { click(" Start Exam "); });
    ASSERT_EQ(list_length(QP), 3);
    for (question *q = QP; q; q = q->next) {
        EXPECT_NE(find_label(frame, q->text), nullptr) << q->text;
        fits(main_window, q->text);
        err = stderr_of([this] { click(" Show Answer "); });
        EXPECT_NE(err.find("markup too large to show"), std::string::npos) << err;
        GtkWidget *answer = answer_windows().at(0);
        EXPECT_NE(find_label(answer, q->explanation), nullptr);
        fits(answer, q->explanation);
        gtk_button_clicked(GTK_BUTTON(find_button(answer, " Close Window ")));
        if (q->next)
            stderr_of([this] { click(" Next Item "); });
    }
}

// The start form shows the title above the message, so each may take only
// its share of the screen's height: tall lines in both made a window
// taller than the screen, though each alone fits.
TEST_F(BadInputsGui, TitleAndMessageShareTheScreen)
{
    const std::string tall = "<span line_height=\"409600\">W&#10;W&#10;W&#10;W&#10;W</span>";
    exams.write("demo/.xconfig", "title=" + tall + "\ntimeout=30\npercentage=50\n[message]\n" + tall + "\n");
    write_question_file(exams / "demo/cat1", "+++\nS\n" + tall + "\n---\n+Yes\n-No\n---\nWhy.\n+++\n");
    GtkWidget *item = find(exammenu, [](GtkWidget *w) {
        return GTK_IS_MENU_ITEM(w) && find_label(w, "  Start Practice Exam demo ");
    });
    std::string err = stderr_of([item] { menu(item); });
    EXPECT_NE(err.find("the title in"), std::string::npos) << err;
    EXPECT_NE(err.find("the message in"), std::string::npos) << err;
    GtkRequisition size;
    gtk_widget_size_request(main_window, &size);
    EXPECT_LE(size.height, 4096);
    // Alone on its panel, the same text is shown as written.
    err = stderr_of([this] { click(" Start Exam "); });
    EXPECT_EQ(err.find("markup too large"), std::string::npos) << err;
    EXPECT_EQ(find_label(frame, tall), nullptr);
}

// Time limits far outside what a run can take neither overflow the seconds
// (the sanitizer build stops at that) nor stop the start form.
TEST_F(BadInputsGui, TimeLimitsOutOfRangeStayWithinTheSeconds)
{
    write_question_file(exams / "demo/cat1", "+++\nF\nOne?\n---\none\n---\n\n+++\n");
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
// overflows them (the sanitizer build stops at that) nor loses the run. The
// first tick is the last, and the notice grades however it is closed.
TEST_F(BadInputsGui, CountdownFromTimesAtTheEndsOfAnIntNeverOverflows)
{
    run_of({make_item('F', 1, {"x"})});
    training = 0;
    seconds = INT_MIN;
    passed_time = INT_MAX;
    trialix_start_timer(nullptr, QP);
    dialogs.plan(CLOSE_WINDOW);
    EXPECT_FALSE(count_seconds(QP));
    EXPECT_EQ(seconds, 1);
    EXPECT_NE(find_label(frame, "Your Score Report"), nullptr) << "graded";

    trialix_start_timer(nullptr, QP);
    exam_ended = 1;
    passed_time = INT_MAX;
    trialix_stop_timer();
    EXPECT_EQ(passed_time, INT_MAX);
}

using ImportRun = RunTest;

// Ticking what the source calls right passes the exam.
TEST_F(ImportRun, ImportedGiftExamStartsAndGradesAsTheSourceMeant)
{
    // One question per category, so that every run asks all four; the
    // right choices say so in their text.
    std::string source = exams.write(
        "bank.gift", "$CATEGORY: single\n::Capital:: Which city is the capital of France? {\n"
                     "  =Paris, right ~Lyon ~Marseille#Second city.\n}\n\n"
                     "$CATEGORY: multiple\nWhich of these are prime? {~%50%Two, right ~%50%Three, right "
                     "~%-100%Four}\n\n$CATEGORY: true or false\nThe earth goes round the sun.{TRUE}\n\n"
                     "$CATEGORY: fill in\nType the word yes. {=yes}\n");
    result imported = run({"import", "gift", source, exams.path("bank"), "--title", "Imported",
                           "--percentage", "100"});
    ASSERT_EQ(imported.status, PACK_OK) << imported.out << imported.err;

    start_exam(nullptr, const_cast<char *>("bank"));
    ASSERT_NE(find_label(frame, "Imported"), nullptr);
    click(" Start Exam ");
    ASSERT_EQ(list_length(QP), 4);
    for (question *q = QP; q; q = q->next) {
        // The platforms ignore letter case in typed answers; so does the import.
        if (GtkWidget *entry = find_of_type(frame, GTK_TYPE_ENTRY))
            gtk_entry_set_text(GTK_ENTRY(entry), "Yes");
        for (GtkWidget *b : q->type == 'F' ? std::vector<GtkWidget *>() : choices())
            if (button_label(b).find("right") != std::string::npos || button_label(b) == "True")
                gtk_button_clicked(GTK_BUTTON(b));
        if (q->next)
            click(" Next Item ");
    }
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    EXPECT_EQ(line("Correct: ") + "|" + line("Incorrect: "), "Correct: 4|Incorrect: 0");
    EXPECT_NE(find_label(frame, "\n   Passed   \n"), nullptr);
    // Without the timer no countdown runs, and the end has no time to tell.
    EXPECT_EQ(timer_source, 0u);
    click(" End Exam ");
    EXPECT_EQ(status(), "");
}
