// The program as assistive technology sees it: buttons pressed through
// the accessibility layer, every screen's accessible tree, the dialogs.
#include "access_util.h"

#include <glib/gstdio.h>

#include "app/dialogs.h"
#include "bank/history.h"
#include "grading/grade.h"
#include "grading/history_record.h"
#include "grading/history_window.h"
#include "grading/review.h"
#include "grading/review2.h"
#include "run/answer.h"
#include "run/form.h"
#include "run/item_page.h"

using namespace a11y;
using namespace gui;

namespace {

class AccessTest : public RunTest {
protected:
    // Presses the button labelled `label` as a screen reader or switch
    // access does, through its accessible action, and lets it run.
    static void press(const std::string &label, GtkWidget *in = nullptr)
    {
        GtkWidget *button = in ? find_button(in, label) : find_button(bbox, label);
        if (!button && !in)
            button = find_button(frame, label);
        ASSERT_NE(button, nullptr) << "no button \"" << label << "\"";
        AtkObject *acc = gtk_widget_get_accessible(button);
        ASSERT_TRUE(ATK_IS_ACTION(acc)) << "no accessibility module (libgail-common) loaded";
        ASSERT_TRUE(atk_action_do_action(ATK_ACTION(acc), 0)) << label;
        pump();
    }

    // The three items of the small exam, in memory, as a run.
    question *small_run()
    {
        return run_of({make_item('S', 1, {"-Red", "+Green", "-Blue"}, "Which is a colour of grass?"),
                       make_item('M', 1, {"+Alpha", "+Beta", "-Gamma bomb"}, "Greek <b>letters</b>?"),
                       make_item('F', 1, {"Paris"}, "The capital of France?")});
    }
};

// Every button that replaces the screen it stands on, and the answer
// window's, which closes its window: pressed through the accessibility
// layer, each must work without a single warning (the layer still uses the
// button after the press).
TEST_F(AccessTest, ScreenReplacingButtonsWorkThroughTheAccessibilityLayer)
{
    write_small_exam(exams);
    g_strlcpy(examname, "demo", sizeof examname);
    LogCatcher log;
    auto changes = [&](const std::string &label) {
        GtkWidget *before = frame;
        press(label);
        EXPECT_NE(frame, before) << label << " left its screen up";
    };

    start_exam(nullptr, (void *)"demo");
    changes(" Cancel ");
    start_exam(nullptr, (void *)"demo");
    changes(" Start Exam ");
    changes(" Next Item ");
    changes(" Previous Item ");
    changes(" Next Item ");
    changes(" Next Item ");
    press("Mark Item for Review");
    press(" Show Answer ");
    ASSERT_EQ(answer_windows().size(), 1u);
    press(" Close Window ", answer_windows()[0]);
    EXPECT_TRUE(answer_windows().empty());
    changes(" Review Screen ");
    changes(" Review ");
    changes(" Review Screen ");
    changes(" Review ");
    dialogs.plan(GTK_RESPONSE_YES);
    changes(" Grade Exam ");
    changes(" Review All ");
    changes(" Next Item ");
    changes(" Previous Item ");
    changes(" Back to Grade Exam ");
    changes(" Review Errors ");
    changes(" Back to Grade Exam ");
    changes(" End Exam ");

    createExamLoad(small_run());
    changes(" Cancel ");
    createExamLoad(QP);
    changes(" Start Exam ");
    EXPECT_EQ(line("Item "), "Item 1 of 3");

    EXPECT_EQ(log.messages, std::vector<std::string>{});
}

// The Results History as a screen reader has it: a chart with a role, a
// name and a description of what it draws, named tables whose "Right"
// cells read as they show, and buttons that close the window when pressed
// through the accessibility layer without a warning.
TEST_F(AccessTest, TheHistoryWindowIsReadAndItsButtonsPressedThroughTheAccessibilityLayer)
{
    fresh_history();
    write_small_exam(exams);
    start_exam(nullptr, (void *)"demo");
    press(" Start Exam ");
    dialogs.plan(GTK_RESPONSE_YES);
    press(" Grade Exam ");   // nothing answered: three mistakes
    press(" End Exam ");

    auto history_window = [] {
        std::vector<GtkWidget *> open = windows([](GtkWidget *w) {
            return GTK_IS_WINDOW(w) && gtk_widget_get_visible(w) &&
                   g_strcmp0(gtk_window_get_title(GTK_WINDOW(w)), "Results History") == 0;
        });
        return open.empty() ? nullptr : open[0];
    };
    cb_history(nullptr, nullptr);
    GtkWidget *win = history_window();
    ASSERT_NE(win, nullptr);

    AtkObject *chart = gtk_widget_get_accessible(find_of_type(win, GTK_TYPE_DRAWING_AREA));
    EXPECT_EQ(atk_object_get_role(chart), ATK_ROLE_CHART);
    EXPECT_EQ(name_of(chart), "Score over time");
    std::string about = atk_object_get_description(chart) ? atk_object_get_description(chart) : "";
    EXPECT_EQ(about.rfind("1 run, on ", 0), 0u) << about;
    EXPECT_NE(about.find(", against the pass mark of 50%: 0 passed, 1 failed. Latest score 0.0%, failed."),
              std::string::npos) << about;
    EXPECT_TRUE(gtk_widget_get_can_focus(find_of_type(win, GTK_TYPE_DRAWING_AREA))) << "reached by Tab";

    std::vector<std::string> names;
    GtkWidget *files = nullptr;
    for (GtkWidget *t : find_all_of_type(win, GTK_TYPE_TREE_VIEW)) {
        names.push_back(name_of(gtk_widget_get_accessible(t)));
        if (names.back() == "Weakest question files")
            files = t;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Runs", "Weakest question files"}));
    ASSERT_NE(files, nullptr);
    AtkObject *table = gtk_widget_get_accessible(files);
    ASSERT_TRUE(ATK_IS_TABLE(table));
    std::vector<std::string> right;
    for (int row = 0; row < atk_table_get_n_rows(ATK_TABLE(table)); row++) {
        AtkObject *cell = atk_table_ref_at(ATK_TABLE(table), row, 2);
        right.push_back(name_of(cell));
        g_object_unref(cell);
    }
    EXPECT_EQ(right, (std::vector<std::string>{"0 of 1", "0 of 1", "0 of 1"}));

    LogCatcher log;
    press(" Practise Mistakes ", win);
    EXPECT_EQ(history_window(), nullptr);
    EXPECT_EQ(line("This practice"), "This practice run holds 3 items you missed.");
    screen_empty();
    cb_history(nullptr, nullptr);
    win = history_window();
    ASSERT_NE(win, nullptr);
    press("Close", win);
    EXPECT_EQ(history_window(), nullptr);
    pump();
    EXPECT_EQ(log.messages, std::vector<std::string>{});
}

// What a screen reader finds on every screen: a focus in the new screen,
// a name on every control, the read-only results told without colour, the
// score's figures in reading order, single-choice groups of their shown
// choices only.
class AccessTreeTest : public AccessTest {
protected:
    // Fails for a shown control without a name and for a screen without focus.
    static void check_screen(const std::string &screen, GtkWidget *window = nullptr)
    {
        if (!window) {
            GtkWidget *f = focused();
            EXPECT_TRUE(f && ((frame && gtk_widget_is_ancestor(f, frame)) ||
                              (bbox && gtk_widget_is_ancestor(f, bbox))))
                << screen << ": the focus is on " << describe(f);
        }
        for (AtkObject *obj : accessibles(window ? window : main_window)) {
            GtkWidget *w = GTK_IS_ACCESSIBLE(obj) ? gtk_accessible_get_widget(GTK_ACCESSIBLE(obj)) : nullptr;
            if (!w || !(GTK_IS_BUTTON(w) || GTK_IS_ENTRY(w)) || !has_state(obj, ATK_STATE_SHOWING))
                continue;
            std::string name = name_of(obj);
            EXPECT_NE(name.find_first_not_of(' '), std::string::npos)
                << screen << ": a " << G_OBJECT_TYPE_NAME(w) << " without a name";
        }
    }

    // The description of the control that has the focus: what is read with it.
    static std::string said()
    {
        GtkWidget *f = focused();
        const char *d = f ? atk_object_get_description(gtk_widget_get_accessible(f)) : nullptr;
        return d ? d : "";
    }

    // The description of each read-only choice's tick, and of each mark.
    static std::pair<std::vector<std::string>, std::vector<std::string>> results()
    {
        std::vector<std::string> ticks, marks;
        for (AtkObject *obj : accessibles(main_window)) {
            GtkWidget *w = gtk_accessible_get_widget(GTK_ACCESSIBLE(obj));
            const char *d = atk_object_get_description(obj);
            if (GTK_IS_TOGGLE_BUTTON(w) && button_label(w) != "Mark Item for Review")
                ticks.push_back(d ? d : "(colour only)");
            if (GTK_IS_IMAGE(w) && gtk_widget_is_ancestor(w, frame))
                marks.push_back(d ? d : "");
        }
        return {ticks, marks};
    }
};

TEST_F(AccessTreeTest, EveryScreenNamesItsControlsAndTellsResultsWithoutColour)
{
    write_small_exam(exams);
    start_exam(nullptr, (void *)"demo");
    check_screen("start form");
    EXPECT_TRUE(GTK_IS_ENTRY(focused())) << "a name to give";
    EXPECT_EQ(name_of(gtk_widget_get_accessible(focused())), "Examinee Name");
    // The information panel is read with the first focus.
    EXPECT_EQ(said(), "Keys\nHello.\nThis practice exam contains 3 questions.\n"
                      "You will have 30 minutes to finish the exam.\n"
                      "You need 50% correct answers to pass.");

    small_run();
    question *s = QP, *m = s->next, *f = m->next;
    createExamForm(s);
    check_screen("single-choice item");
    EXPECT_EQ(describe(focused()), "\"Red\"");
    // Every choice says the question and where the examinee is.
    for (GtkWidget *c : choices())
        EXPECT_STREQ(atk_object_get_description(gtk_widget_get_accessible(c)),
                     "Which is a colour of grass?\nItem 1 of 3");
    // Each shown choice is one of three, not of four.
    for (GtkWidget *c : choices()) {
        AtkRelationSet *set = atk_object_ref_relation_set(gtk_widget_get_accessible(c));
        AtkRelation *group = atk_relation_set_get_relation_by_type(set, ATK_RELATION_MEMBER_OF);
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(atk_relation_get_target(group)->len, 3u);
        g_object_unref(set);
    }
    createExamForm(m);
    check_screen("multiple-choice item");
    EXPECT_EQ(said(), "Greek letters?\nItem 2 of 3") << "the question's plain text";
    createExamForm(f);
    check_screen("fill-in item");
    AtkObject *entry = gtk_widget_get_accessible(focused());
    EXPECT_EQ(name_of(entry), "Fill in the right answer.");
    EXPECT_STREQ(atk_object_get_description(entry), "The capital of France?\nItem 3 of 3");
    showAnswer(f);
    ASSERT_EQ(answer_windows().size(), 1u);
    GtkWidget *window = answer_windows()[0];
    check_screen("answer window", window);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Answer for Question 3");
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(window)), GTK_WINDOW(main_window));
    // A dialog whose text is the verdict and the explanation; its button
    // reads them too.
    AtkObject *dialog = gtk_widget_get_accessible(window);
    EXPECT_EQ(atk_object_get_role(dialog), ATK_ROLE_DIALOG);
    EXPECT_STREQ(atk_object_get_description(dialog), "You didn't answer yet\n");
    EXPECT_STREQ(atk_object_get_description(gtk_widget_get_accessible(focused(window))),
                 "You didn't answer yet\n");
    key(GDK_Escape, GdkModifierType(0), window);
    EXPECT_TRUE(answer_windows().empty()) << "Escape closes it";

    s->marked = 1;
    reviewExam(f);
    check_screen("review screen");
    showReviewPage(s);
    check_screen("review page");

    s->selected[1] = 1;   // Green, right
    m->selected[0] = m->selected[2] = 1;   // Alpha and Gamma bomb, wrong
    gradeExam(s);
    check_screen("score report");
    EXPECT_EQ(describe(focused()), "\" Review All \"");
    EXPECT_EQ(said(), "Your Score Report\nTime: Timer Off\nQuestions: 3\nCorrect: 1\nIncorrect: 2\n"
                      "Total Points: 3\nReached Points: 1\nYour Score: 33.3% Correct\n"
                      "Needed Score to pass: 50%\nFailed");
    // The figures read as they stand: row by row, left to right.
    std::vector<std::string> figures;
    for (AtkObject *obj : accessibles(main_window)) {
        std::string name = name_of(obj);
        for (const char *start : {"Questions", "Correct", "Incorrect", "Total Points", "Reached Points", "Your Score:"})
            if (name.rfind(start, 0) == 0)
                figures.push_back(start);
    }
    EXPECT_EQ(figures, (std::vector<std::string>{"Questions", "Correct", "Incorrect", "Total Points",
                                                  "Reached Points", "Your Score:"}));

    using Texts = std::vector<std::string>;
    showReview2Page(s);
    check_screen("read-only single choice");
    EXPECT_EQ(results(), std::make_pair(Texts{"wrong", "correct answer", "wrong"},
                                        Texts{"wrong", "correct answer", "wrong"}));
    for (GtkWidget *tick : choices()) {
        EXPECT_NE(name_of(gtk_widget_get_accessible(tick)), "") << "named by its choice";
        EXPECT_TRUE(gtk_widget_get_can_focus(tick) && gtk_widget_is_sensitive(tick)) << "reached by Tab";
    }
    EXPECT_EQ(describe(focused()), "\" Next Item \"");
    EXPECT_EQ(said(), "demo (ReadOnly Review after Grade)\nWhich is a colour of grass?\nItem 1 of 3");
    showReview2Page(m);
    check_screen("read-only multiple choice");
    EXPECT_EQ(results(), std::make_pair(Texts{"correct answer", "correct answer", "wrong"},
                                        Texts{"correct answer", "correct answer", "wrong"}));
    showReview2Page(f);
    check_screen("read-only fill-in");
    AtkObject *answer = gtk_widget_get_accessible(find_of_type(frame, GTK_TYPE_ENTRY));
    EXPECT_EQ(name_of(answer), "Your answer");
    EXPECT_STREQ(atk_object_get_description(answer), "You didn't answer\nCorrect Answers: \nParis");

    createExamLoad(QP);
    check_screen("resume form");
    EXPECT_NE(said().find("Exam was saved: "), std::string::npos) << said();
    EXPECT_NE(said().find("This practice exam contains 3 questions."), std::string::npos) << said();
}

// The toolkit's accessible side of a widget reports its focus only once it
// exists: every control of a new screen has one before anyone asks for it
// (the toolkit keeps it as the widget's "gtk-accessible-object").
TEST_F(AccessTest, EveryControlOfANewScreenCanReportItsFocus)
{
    question *s = small_run(), *m = s->next;
    s->selected[1] = 1;
    auto check = [](const std::string &screen) {
        for (GtkWidget *root : {frame, bbox})
            for (GtkWidget *w : find_all(root, [](GtkWidget *w) { return gtk_widget_get_can_focus(w); }))
                EXPECT_NE(g_object_get_data(G_OBJECT(w), "gtk-accessible-object"), nullptr)
                    << screen << ": " << describe(w) << " has no accessible side";
    };
    createExamForm(m);
    check("multiple-choice item");
    gradeExam(s);
    check("score report");
    showReview2Page(m);
    check("read-only page");
}

// The message dialogs have no title; a screen reader still learns what
// they are and what they say.
TEST_F(AccessTreeTest, MessageDialogsReachAScreenReader)
{
    struct Heard {
        std::string name, texts;
        AtkRole role = ATK_ROLE_INVALID;
    } heard;
    guint inspector = g_timeout_add(10, [](gpointer data) -> gboolean {
        auto *h = static_cast<Heard *>(data);
        std::vector<GtkWidget *> open = windows([](GtkWidget *w) { return GTK_IS_MESSAGE_DIALOG(w); });
        if (open.empty() || !h->name.empty())
            return TRUE;
        AtkObject *dialog = gtk_widget_get_accessible(open[0]);
        h->name = name_of(dialog);
        h->role = atk_object_get_role(dialog);
        for (AtkObject *obj : accessibles(open[0]))
            if (atk_object_get_role(obj) == ATK_ROLE_LABEL)
                h->texts += name_of(obj) + "|";
        return TRUE;
    }, &heard);
    dialogs.plan(GTK_RESPONSE_NO, 100);
    unanswered_dialog(2);
    g_source_remove(inspector);
    EXPECT_EQ(heard.role, ATK_ROLE_ALERT);
    EXPECT_EQ(heard.name, "Question");
    EXPECT_NE(heard.texts.find("You have 2 unanswered items remaining."), std::string::npos) << heard.texts;
}

} // namespace
