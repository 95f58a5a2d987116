#include "gui_util.h"

#include "grading/review.h"

using namespace gui;

using ItemFormTest = RunTest;

TEST_F(ItemFormTest, AnswersGoIntoTheRecordAndComeBackUnchanged)
{
    question *s = make_item('S', 1, {"+A", "-B", "-C", "-D", "", "-F"}, "Pick <b>one</b>.");
    question *m = make_item('M', 2, {"+Alpha", "+Beta", "", "", "-Gamma"});
    question *f = make_item('F', 1, {"Paris", "paris"}, "Is a < b?");
    question *x = make_item('X', 3, {"+Odd"});
    run_of({s, m, f, x});
    g_strlcpy(examname, "demo", sizeof examname);
    createExamForm(QP);

    for (const char *text : {"Pick one.", "Select the best answer.", "Item 1 of 4"})
        EXPECT_NE(find_label(frame, text), nullptr) << text;
    EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(frame)), "demo");
    EXPECT_EQ(bar(), (std::vector<std::string>{" Previous Item (off)", " Next Item ",
                                               " Show Answer ", " Grade Exam "}));
    // Five filled slots, none ticked; the group's hidden button is not shown.
    std::vector<GtkWidget *> c = choices();
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(button_label(c[4]), "F");
    EXPECT_TRUE(std::none_of(c.begin(), c.end(), on));
    gtk_button_clicked(GTK_BUTTON(c[3]));   // slot 3
    gtk_button_clicked(GTK_BUTTON(c[4]));   // slot 5
    EXPECT_EQ(std::string(s->selected, NUM_ANSWERS), std::string("\0\0\0\0\0\1\0", 7));
    click("Mark Item for Review");
    click(" Next Item ");
    EXPECT_EQ(s->marked, 1);
    EXPECT_EQ(s->OK, OK_WRONG) << "the item left is graded";
    c = choices();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(button_label(c[2]), "Gamma");
    gtk_button_clicked(GTK_BUTTON(c[0]));
    gtk_button_clicked(GTK_BUTTON(c[1]));

    stderr_of([this] { click(" Next Item "); });   // names the question that isn't markup
    EXPECT_EQ(m->OK, OK_RIGHT);
    EXPECT_NE(find_label(frame, "Is a < b?"), nullptr);
    EXPECT_NE(find_label(frame, "Fill in the right answer."), nullptr);
    // Typing is cut to the field on a character boundary.
    GtkEntry *entry = GTK_ENTRY(find_of_type(frame, GTK_TYPE_ENTRY));
    std::string euros;
    for (int i = 0; i < 200; i++)
        euros += "\xe2\x82\xac";
    gtk_entry_set_text(entry, euros.c_str());
    EXPECT_EQ(strlen(f->entry), 255u);
    EXPECT_TRUE(g_utf8_validate(f->entry, -1, nullptr));
    gtk_entry_set_text(entry, "Paris");
    EXPECT_STREQ(f->entry, "Paris");

    ::testing::internal::CaptureStdout();
    click(" Next Item ");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "QuestionType was X\n");
    EXPECT_EQ(f->OK, OK_RIGHT);
    EXPECT_NE(find_label(frame, "Unknown question type"), nullptr);
    EXPECT_NE(find_label(frame, "Unknown question type!"), nullptr);
    EXPECT_EQ(bar(), (std::vector<std::string>{" Previous Item ", " Review Screen ",
                                               " Show Answer ", " Grade Exam "}));

    // Going back rebuilds each item from its record and changes nothing.
    std::vector<char> before(sizeof(question));
    for (question *q : {f, m, s}) {
        memcpy(before.data(), q, sizeof(question));
        click(" Previous Item ");
        EXPECT_EQ(memcmp(before.data(), q, sizeof(question)), 0) << q->type;
        GtkWidget *e = find_of_type(frame, GTK_TYPE_ENTRY);
        EXPECT_STREQ(e ? gtk_entry_get_text(GTK_ENTRY(e)) : "", q == f ? "Paris" : "");
    }
    c = choices();
    EXPECT_TRUE(on(c[4]));
    EXPECT_TRUE(on(find_button(frame, "Mark Item for Review")));
    EXPECT_FALSE(on(c[0]));
    EXPECT_FALSE(on(c[3]));

    enableAnswer = 0;
    createExamForm(m);
    EXPECT_TRUE(on(choices()[0]));
    EXPECT_TRUE(on(choices()[1]));
    EXPECT_EQ(bar(), (std::vector<std::string>{" Previous Item ", " Next Item ", " Grade Exam "}));
}

TEST_F(ItemFormTest, ShowAnswerTellsRightWrongUnansweredAndUnknown)
{
    question *m = make_item('M', 1, {"+Alpha", "+Beta", "-Gamma"}, "Q", "<b>Why</b> so.");
    question *x = make_item('X', 1, {"+Odd"});
    run_of({m, x});
    const char *right = "Your answer was <span background=\"#1E6E1E\" foreground=\"white\"><b>  right  </b></span>";
    const char *wrong = "Your answer was <span background=\"#B00000\" foreground=\"white\"><b>  wrong  </b></span>";
    struct { question *item; int tick; const char *markup; } steps[] = {
        {m, -1, "You didn't answer yet"}, {m, 0, wrong}, {m, 1, right}, {x, -1, "Wrong value in qp->OK"},
    };
    std::vector<GtkWidget *> opened;
    for (const auto &step : steps) {
        createExamForm(step.item);
        if (step.tick >= 0)
            gtk_button_clicked(GTK_BUTTON(choices()[step.tick]));
        click(" Show Answer ");
        std::vector<GtkWidget *> now = answer_windows();
        ASSERT_EQ(now.size(), opened.size() + 1) << "every click opens another window";
        opened.push_back(now.back());
        EXPECT_NE(find_label(opened.back(), "Answer for Question " +
                                                std::to_string(step.item->number)), nullptr);
    }
    // Every window keeps what it showed when it opened: explanation, then
    // the frame's label, then the result.
    EXPECT_NE(find_label(opened[0], "Why so."), nullptr);
    for (size_t i = 0; i < opened.size(); i++)
        EXPECT_EQ(label_markup(find_all_of_type(opened[i], GTK_TYPE_LABEL).at(2)), steps[i].markup);
    for (GtkWidget *w : opened)
        gtk_button_clicked(GTK_BUTTON(find_button(w, " Close Window ")));
    EXPECT_TRUE(answer_windows().empty());
}

// A tick is stored as the button shows it, whatever the record held: two
// ticks on a single-choice item made in memory show one button ticked.
TEST_F(ItemFormTest, TicksAreStoredAsTheButtonsShowThem)
{
    question *s = make_item('S', 1, {"+Red", "-Blue", "-Green"});
    s->selected[0] = s->selected[2] = 1;
    s->marked = 7;
    run_of({s});
    createExamForm(QP);
    std::vector<GtkWidget *> c = choices();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_TRUE(!on(c[0]) && on(c[2]));
    gtk_button_clicked(GTK_BUTTON(c[0]));
    EXPECT_EQ(std::string(s->selected, 3), std::string("\1\0\0", 3));
    check_question(s);
    EXPECT_EQ(s->OK, OK_RIGHT);
    click("Mark Item for Review");
    EXPECT_EQ(s->marked, 0);
    click("Mark Item for Review");
    EXPECT_EQ(s->marked, 1);
}

// The exam's name is a folder's, which need not be UTF-8 (nor is one from a
// saved file): the frame shows it as UTF-8.
TEST_F(ItemFormTest, ExamNameThatIsNotUtf8IsShownAsUtf8)
{
    g_strlcpy(examname, "\xE9t\xE9", sizeof examname);
    run_of({make_item('S', 1, {"+A", "-B"})});
    createExamForm(QP);
    EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(frame)), "\xEF\xBF\xBDt\xEF\xBF\xBD");
}

// Back on a fill-in item, the first key typed goes on from the answer:
// the caret at its end, nothing selected. So on its review page too.
TEST_F(ItemFormTest, ReturningToAFillInItemPutsTheCaretAfterTheAnswer)
{
    question *f = make_item('F', 1, {"Paris"}, "The capital of France?");
    run_of({f, make_item('S', 1, {"+A", "-B"})});
    g_strlcpy(f->entry, "Par\xc3\xad" "s", ANSWER_SIZE);   // 5 characters in 6 bytes
    g_strlcpy(examname, "demo", sizeof examname);
    for (int page = 0; page < 2; page++) {
        if (page == 0)
            createExamForm(f);
        else
            showReviewPage(f);
        GtkWidget *entry = find_of_type(frame, GTK_TYPE_ENTRY);
        ASSERT_NE(entry, nullptr);
        ASSERT_TRUE(gtk_widget_is_focus(entry));
        gint start = -1, end = -1;
        EXPECT_FALSE(gtk_editable_get_selection_bounds(GTK_EDITABLE(entry), &start, &end))
            << "selected " << start << " to " << end << " on page " << page;
        EXPECT_EQ(gtk_editable_get_position(GTK_EDITABLE(entry)), 5) << page;
    }
}
