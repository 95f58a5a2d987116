// An exam that shuffles its choices and compares typed answers leniently,
// driven through the real screens: one order for the whole run on every
// screen and in every file, and grading by the exam's comparison, also for
// a run resumed from a saved file.
#include <glib/gstdio.h>

#include "app/functions.h"
#include "bank/saved_file.h"
#include "bank/tools.h"
#include "grading/grade.h"
#include "gui_util.h"
#include "run/callback.h"
#include "run/form.h"
#include "run/owner.h"
#include "saved/recovery.h"
#include "saved/store.h"

using namespace gui;

namespace {

class ChoiceOrderTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        exams.write("demo/.xconfig", "title=Mix\ntimeout=30\npercentage=50\nshuffle=yes\ncompare=lenient\n");
        write_question_file(exams / "demo/cat01", "+++\nS1\nPick one\n---\n+Right\n-Two\n-Three\n-Four\n---\n\n+++\n");
        write_question_file(exams / "demo/cat02",
                            "+++\nM1 keep-order\nAll?\n---\n-A\n-B\n+All of the above\n---\n\n+++\n");
        write_question_file(exams / "demo/cat03", "+++\nF1\nCapital of France?\n---\nParis\n---\n\n+++\n");
        g_strlcpy(examname, "demo", sizeof examname);
    }

    // The item of the run in QP whose text is `text`.
    static question *item(const char *text)
    {
        for (question *q = QP; q; q = q->next)
            if (strcmp(q->text, text) == 0)
                return q;
        ADD_FAILURE() << "no item " << text;
        return QP;
    }
    // A record's choices as "Right|Two|...|", marks left out.
    static std::string order(const question *q)
    {
        std::string s;
        for (const char *a : q->answers)
            if (a[0])
                s += std::string(a + 1) + "|";
        return s;
    }
    // The shown page's choices, top to bottom, in the same form (a
    // read-only page's text stands beside its button).
    std::string shown()
    {
        std::string s;
        for (GtkWidget *c : choices()) {
            std::string text = button_label(c);
            s += (text.empty() ? label_text(find_of_type(gtk_widget_get_parent(c), GTK_TYPE_LABEL)) : text) + "|";
        }
        return s;
    }
    // Pages on with " Next Item " until the page of `text` shows.
    void page_to(const char *text)
    {
        for (int i = 0; i < 3 && !find_label(frame, text); i++)
            click(" Next Item ");
        ASSERT_NE(find_label(frame, text), nullptr) << text;
    }
    // Types `text` into the fill-in item's entry.
    void type_answer(const char *text)
    {
        createExamForm(item("Capital of France?"));
        pump();
        gtk_entry_set_text(GTK_ENTRY(find_of_type(frame, GTK_TYPE_ENTRY)), text);
        pump();
    }
    // A saved file of a run begun, answered "  paris " and left; the run ends.
    void save_answered_run(const std::string &path)
    {
        start_exam(nullptr, (void *)"demo");
        click(" Start Exam ");
        ASSERT_NE(QP, nullptr);
        type_answer("  paris ");
        ASSERT_EQ(write_list(path.c_str(), QP), 4);
        run_end();
        enable_exam_menus();
    }
    // Loads `path` with Open Exam, starts it and grades it.
    void resume_and_grade(const std::string &path)
    {
        choose(exam_open, path);
        click(" Start Exam ");
        ASSERT_NE(QP, nullptr);
        dialogs.plan(GTK_RESPONSE_YES);
        click(" Grade Exam ");
        ASSERT_NE(line("Your Score:"), "(none)");
    }
};

TEST_F(ChoiceOrderTest, OneOrderOnEveryScreenInTheCopyAndInASavedFile)
{
    random_seed(11);
    start_exam(nullptr, (void *)"demo");
    click(" Start Exam ");
    ASSERT_NE(QP, nullptr);
    std::string drawn = order(item("Pick one"));
    EXPECT_NE(drawn, "Right|Two|Three|Four|");   // this seed moves them
    EXPECT_EQ(order(item("All?")), "A|B|All of the above|");
    createExamForm(item("Pick one"));
    pump();
    EXPECT_EQ(shown(), drawn);

    // The recovery copy holds the order shown.
    recovery_flush();
    gerror_ptr error;
    run_header header;
    question_list copy(load_list_file(recovery_copy_path().c_str(), nullptr, &header, out_error(error)));
    ASSERT_TRUE(copy) << error->message;
    for (question *q = copy.get(); q; q = q->next) {
        if (strcmp(q->text, "Pick one") == 0) {
            EXPECT_EQ(order(q), drawn);
        }
    }

    // Saved and opened again: the same order on the page, the review
    // screen and the pages after grading.
    std::string path = exams / "run.sav";
    ASSERT_EQ(write_list(path.c_str(), QP), 4);
    run_end();
    enable_exam_menus();
    choose(exam_open, path);
    click(" Start Exam ");
    ASSERT_NE(QP, nullptr);
    EXPECT_EQ(order(item("Pick one")), drawn);
    page_to("Pick one");
    EXPECT_EQ(shown(), drawn);
    cb_review(nullptr, QP);
    pump();
    reviewAll = 1, reviewMarked = 0;
    click(" Review ");
    page_to("Pick one");
    EXPECT_EQ(shown(), drawn);
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    click(" Review All ");
    page_to("Pick one");
    EXPECT_EQ(shown(), drawn);
}

// The exam's comparison grades a resumed run too: a file saved before
// the exam had the key is graded byte for byte as it was; with the exam
// gone the comparison can't be known, and the run is graded byte for byte,
// which is said.
TEST_F(ChoiceOrderTest, AResumedRunIsGradedAsItsExamCompares)
{
    std::string path = exams / "run.sav";
    save_answered_run(path);
    const std::string config = exams / "demo/.xconfig";
    struct {
        const char *config;   // nullptr: the file is gone
        int ok;
        bool said;
    } cases[] = {
        {"title=Mix\ncompare=lenient\n", OK_RIGHT, false},
        {"title=Mix\n", OK_WRONG, false},
        {"title=Mix\ncompare=Lenient\n", OK_WRONG, false},
        {nullptr, OK_WRONG, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.config ? c.config : "(gone)");
        if (c.config)
            write_file(config, c.config);
        else
            ASSERT_EQ(g_remove(config.c_str()), 0);
        std::string said = stderr_of([&] { resume_and_grade(path); });
        EXPECT_EQ(item("Capital of France?")->OK, c.ok);
        EXPECT_EQ(said.find("demo: the exam configuration file can't be read; typed answers are compared "
                            "exactly") != std::string::npos, c.said) << said;
        click(" End Exam ");
        enable_exam_menus();
    }
}

// Without the keys a run shows the choices as written and compares byte
// for byte, as before there were keys.
TEST_F(ChoiceOrderTest, WithoutTheKeysNothingMoves)
{
    exams.write("demo/.xconfig", "title=Mix\ntimeout=30\npercentage=50\n");
    for (int run = 0; run < 5; run++) {
        start_exam(nullptr, (void *)"demo");
        click(" Start Exam ");
        ASSERT_NE(QP, nullptr);
        EXPECT_EQ(order(item("Pick one")), "Right|Two|Three|Four|");
        type_answer("paris");
        dialogs.plan(GTK_RESPONSE_YES);
        click(" Grade Exam ");
        EXPECT_EQ(item("Capital of France?")->OK, OK_WRONG);
        click(" End Exam ");
        enable_exam_menus();
    }
}

} // namespace
