// An exam imported from a GIFT question bank, taken through the program's
// own screens: it starts, every item shows with its choices, and ticking
// what the source calls right passes the exam.
#include "pack_run.h"
#include "gui_util.h"

#include "app/functions.h"
#include "app/globals.h"
#include "bank/question.h"

using namespace gui;

using ImportRun = RunTest;

TEST_F(ImportRun, ImportedGiftExamStartsAndGradesAsTheSourceMeant)
{
    // One question per category, so that every run asks all four; the
    // right choices say so in their text.
    std::string source = exams.write("bank.gift",
                                     "$CATEGORY: single\n"
                                     "::Capital:: Which city is the capital of France? {\n"
                                     "  =Paris, right ~Lyon ~Marseille#Second city.\n"
                                     "}\n\n"
                                     "$CATEGORY: multiple\n"
                                     "Which of these are prime? {~%50%Two, right ~%50%Three, right "
                                     "~%-100%Four}\n\n"
                                     "$CATEGORY: true or false\n"
                                     "The earth goes round the sun.{TRUE}\n\n"
                                     "$CATEGORY: fill in\n"
                                     "Type the word yes. {=yes}\n");
    result imported = run({"import", "gift", source, exams.path("bank"), "--title", "Imported",
                           "--percentage", "100"});
    ASSERT_EQ(imported.status, PACK_OK) << imported.out << imported.err;

    start_exam(nullptr, const_cast<char *>("bank"));
    ASSERT_NE(find_label(frame, "Imported"), nullptr);
    EXPECT_NE(find_label(frame, "This practice exam contains 4 questions."), nullptr);
    click(" Start Exam ");
    ASSERT_EQ(list_length(QP), 4);
    EXPECT_EQ(timer_source, 0u) << "the countdown starts only with the timer";
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
    click(" End Exam ");
    EXPECT_EQ(status(), "") << "no countdown, no time to tell";
}
