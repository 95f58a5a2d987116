// An exam imported from a GIFT question bank, taken through the program's
// own screens: it starts, every item shows with its choices, and ticking
// what the source calls right passes the exam.
#include "pack_run.h"
#include "run_fixture.h"

#include <algorithm>

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
    EXPECT_NE(find_label(frame, "You need 100% correct answers to pass."), nullptr);
    click(" Start Exam ");
    ASSERT_NE(QP, nullptr);

    std::string kinds;
    for (int n = 1;; n++) {
        ASSERT_NE(find_label(frame, "Item " + std::to_string(n) + " of 4"), nullptr);
        if (GtkWidget *entry = find_of_type(frame, GTK_TYPE_ENTRY)) {
            // The platforms accept any letter case; so does the import.
            gtk_entry_set_text(GTK_ENTRY(entry), "Yes");
            kinds += 'F';
        } else {
            std::vector<GtkWidget *> buttons = choices();
            ASSERT_FALSE(buttons.empty()) << "item " << n;
            kinds += GTK_IS_RADIO_BUTTON(buttons[0]) ? 'S' : 'M';
            for (GtkWidget *b : buttons) {
                std::string label = button_label(b);
                if (label.find("right") != std::string::npos || label == "True")
                    gtk_button_clicked(GTK_BUTTON(b));
            }
        }
        if (!find_button(bbox, " Next Item "))
            break;
        click(" Next Item ");
    }
    std::sort(kinds.begin(), kinds.end());
    EXPECT_EQ(kinds, "FMSS");

    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].text, "Are you certain you want to grade this exam now?");
    EXPECT_NE(find_label(frame, "Correct: 4"), nullptr);
    EXPECT_NE(find_label(frame, "Incorrect: 0"), nullptr);
    EXPECT_NE(find_label(frame, "\n   Passed   \n"), nullptr);
}
