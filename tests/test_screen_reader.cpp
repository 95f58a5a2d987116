// A whole run of the real trialix taken by keys through the X server while
// a screen reader listens: what is announced at every step, from the focus
// events alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "screen_reader.h"
#include "test_util.h"

namespace {

using sr::Heard;

struct Item {
    const char *question, *explanation, *source;
    std::vector<std::string> choices;   // shown, with their results
    std::vector<bool> right;
};

// One item of each kind, each in its own question file.
const std::map<char, Item> ITEMS = {
    {'S', {"Which is a colour of grass?", "Grass is green.", "+++\nS1\nWhich is a colour of grass?\n---\n-Red\n+Green\n-Blue\n---\nGrass is green.\n+++\n",
           {"Red", "Green", "Blue"}, {false, true, false}}},
    {'M', {"Which are Greek letters?", "Gamma bomb isn't.", "+++\nM1\nWhich are <b>Greek</b> letters?\n---\n+Alpha\n+Beta\n-Gamma bomb\n---\nGamma bomb isn't.\n+++\n",
           {"Alpha", "Beta", "Gamma bomb"}, {true, true, false}}},
    {'F', {"The capital of France?", "Paris it is.", "+++\nF1\nThe capital of France?\n---\nParis\n---\nParis it is.\n+++\n",
           {}, {}}},
};

bool says(const Heard *h, const std::string &text)
{
    return h && h->context.find(text) != std::string::npos;
}

class ScreenReaderRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.write("config/trialix/trialix.conf",
                   "[Trialix]\nexamdir=" + root.mkdir("exams") + "\nexamconfig=.xconfig\nprefix=cat\n");
        root.write("config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + root.mkdir("Documents") + "\"\n");
        root.mkdir("home");
        root.mkdir("etc");
        root.write("exams/demo/.xconfig", "title=Keys <i>only</i>\ntimeout=30\npercentage=50\n[message]\nHello.\n");
        int n = 0;
        for (const auto &[kind, item] : ITEMS)
            write_question_file(root / ("exams/demo/cat0" + std::to_string(n++)), item.source);
    }

    void TearDown() override
    {
        // What was announced, step by step, for whoever reads a failure.
        if (HasFailure())
            for (const std::string &line : transcript)
                std::printf("%s\n", line.c_str());
    }

    // Notes what the screen reader said at `step`.
    const Heard *note(const std::string &step, const Heard *h)
    {
        std::string said = h ? h->context : "(nothing)";
        std::replace(said.begin(), said.end(), '\n', '|');
        transcript.push_back(step + ": " + said);
        return h;
    }

    // The item whose question the screen reader said, or 0.
    static char item_said(const Heard *h)
    {
        for (const auto &[kind, item] : ITEMS)
            if (says(h, item.question))
                return kind;
        return 0;
    }

    TempDir root;
    std::vector<std::string> transcript;
};

TEST_F(ScreenReaderRun, EveryScreenQuestionResultAndWindowIsAnnounced)
{
    sr::ScreenReader reader;
    std::string why;
    ASSERT_TRUE(reader.start(&why)) << why;
    sr::Child app;
    gchar **env = reader.environment(root);
    ASSERT_TRUE(app.start({TRIALIX_PROGRAM}, env));
    g_strfreev(env);
    ASSERT_TRUE(reader.wait_window_active("Trialix 1.0")) << "the main window never had the focus";

    // The Exam menu, by F10 and the arrows.
    reader.key("F10");
    ASSERT_NE(reader.press_until("Down", "  Start Practice Exam demo "), nullptr);

    // The start form: the exam's title and figures with the first focus.
    const Heard *h = note("start form", reader.press("Return"));
    ASSERT_NE(h, nullptr) << "no focus event on the start form";
    EXPECT_EQ(h->name, "Examinee Name");
    for (const char *part : {"Keys only", "Hello.", "This practice exam contains 3 questions.",
                             "You will have 30 minutes to finish the exam.",
                             "You need 50% correct answers to pass."})
        EXPECT_TRUE(says(h, part)) << "start form: " << part;
    reader.type("Ann");

    // The items: question and position with the first focus of every page.
    std::map<char, int> position;
    h = note("item 1", reader.press("Return"));
    for (int page = 1; page <= 3; page++) {
        ASSERT_NE(h, nullptr) << "no focus event on item page " << page;
        char kind = item_said(h);
        ASSERT_NE(kind, 0) << "item page " << page << ": no question said";
        position[kind] = page;
        EXPECT_TRUE(says(h, "Item " + std::to_string(page) + " of 3")) << "item page " << page;
        std::string forward = page < 3 ? " Next Item " : " Review Screen ";
        if (kind == 'S') {
            reader.press("Down");   // Green
        } else if (kind == 'M') {
            reader.key("space");   // Alpha
            reader.press("Tab");
            reader.key("space");   // Beta
        } else {
            reader.type("Paris");
        }
        ASSERT_NE(reader.press_until("Tab", forward), nullptr) << "item page " << page;
        h = note(page < 3 ? "item " + std::to_string(page + 1) : "review screen", reader.press("Return"));
    }
    ASSERT_NE(h, nullptr) << "no focus event on the review screen";
    EXPECT_EQ(h->name, "Review only marked items");

    // Grading, by Alt+Y in the question; the report says its figures and verdict.
    ASSERT_NE(reader.press_until("Tab", " Grade Exam "), nullptr);
    ASSERT_NE(reader.press("Return"), nullptr) << "no focus event in the question";
    h = note("score report", reader.press("alt+y"));
    ASSERT_NE(h, nullptr) << "no focus event on the score report";
    EXPECT_EQ(h->name, " Review All ");
    for (const char *part : {"Questions: 3", "Correct: 3", "Incorrect: 0", "Total Points: 3",
                             "Reached Points: 3", "Your Score: 100.0% Correct",
                             "Needed Score to pass: 50%", "Passed"})
        EXPECT_TRUE(says(h, part)) << "score report: " << part;

    // The read-only pages: position and question with the first focus, then
    // every choice by the keys, each with its result.
    h = note("read-only item 1", reader.press("Return"));
    for (int page = 1; page <= 3; page++) {
        ASSERT_NE(h, nullptr) << "no focus event on read-only page " << page;
        char kind = item_said(h);
        ASSERT_NE(kind, 0) << "read-only page " << page << ": no question said";
        EXPECT_EQ(position[kind], page);
        EXPECT_TRUE(says(h, "Item " + std::to_string(page) + " of 3"));
        EXPECT_TRUE(says(h, "(ReadOnly Review after Grade)"));
        const Item &item = ITEMS.at(kind);
        // Back from the forward button into the answer, then along it.
        const Heard *c = nullptr;
        auto answer = [](const Heard *c) {
            return c && (c->role == "check box" || c->role == "radio button" || c->role == "text");
        };
        for (int i = 0; i < 8 && !answer(c); i++)
            c = note("read-only page", reader.press("shift+Tab"));
        ASSERT_TRUE(answer(c)) << "read-only page " << page << ": the answer never had the focus";
        if (kind == 'F') {
            EXPECT_EQ(c->name, "Your answer");
            EXPECT_TRUE(says(c, "Your answer was right")) << c->context;
            EXPECT_TRUE(says(c, "Paris")) << c->context;
        } else {
            std::map<std::string, const Heard *> choices;
            std::string keys = kind == 'S' ? "Down" : "shift+Tab";
            for (size_t i = 0; answer(c) && i < item.choices.size(); i++) {
                choices[c->name] = c;
                c = note("read-only choice", reader.press(keys));
            }
            for (size_t i = 0; i < item.choices.size(); i++) {
                const Heard *said = choices[item.choices[i]];
                ASSERT_NE(said, nullptr) << "never reached " << item.choices[i];
                EXPECT_TRUE(says(said, item.right[i] ? "correct answer" : "wrong"))
                    << item.choices[i] << ": " << said->context;
                EXPECT_TRUE(says(said, "(ReadOnly Review after Grade)")) << said->context;
            }
        }
        if (page == 3) {
            // The answer window: a dialog that says the verdict and why.
            ASSERT_NE(reader.press_until("Tab", " Show Answer "), nullptr);
            const Heard *a = note("answer window", reader.press("Return"));
            ASSERT_NE(a, nullptr) << "no focus event in the answer window";
            EXPECT_EQ(a->window, "Answer for Question 3");
            EXPECT_TRUE(says(a, "Your answer was right")) << a->context;
            EXPECT_TRUE(says(a, item.explanation)) << a->context;
            const Heard *back = note("answer window closed", reader.press("Escape"));
            ASSERT_NE(back, nullptr) << "no focus event back in the main window";
            EXPECT_EQ(back->window, "Trialix 1.0");
        }
        std::string forward = page < 3 ? " Next Item " : " Back to Grade Exam ";
        ASSERT_NE(reader.press_until("Tab", forward), nullptr);
        h = note(page < 3 ? "read-only item " + std::to_string(page + 1) : "score report again",
                 reader.press("Return"));
    }
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(says(h, "Passed"));

    // Nothing was changed by all those keys on the read-only pages.
    EXPECT_TRUE(says(h, "Correct: 3"));

    ASSERT_NE(reader.press_until("Tab", " End Exam "), nullptr);
    reader.key("Return");
    reader.key("ctrl+q");
    EXPECT_TRUE(app.wait_exit(10 * G_USEC_PER_SEC)) << "Ctrl+Q did not end the program";
}

} // namespace
