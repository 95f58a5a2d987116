#include "run_fixture.h"

#include "app/globals.h"
#include "bank/question.h"

question *make_item(char type, int points, const std::vector<std::string> &answers,
                    const char *text, const char *explanation)
{
    question *q = new_question();
    q->type = type;
    q->points = (signed char)points;
    g_strlcpy(q->text, text, sizeof q->text);
    g_strlcpy(q->explanation, explanation, sizeof q->explanation);
    for (size_t i = 0; i < answers.size() && i < NUM_ANSWERS; i++)
        g_strlcpy(q->answers[i], answers[i].c_str(), sizeof q->answers[i]);
    return q;
}

void RunTest::SetUp()
{
    GuiTest::SetUp();
    build_main_window();
}

void RunTest::TearDown()
{
    question *list = QP;
    GuiTest::TearDown();
    if (list)
        destroy_list(list);
}

GtkWidget *RunTest::open_demo(const std::string &name)
{
    exams.write("demo/.xconfig", "title=Demo\ntimeout=30\npercentage=60\n");
    write_question_file(exams / "demo/cat1", "+++\nS\nOne?\n---\n-No\n-No\n+Yes\n---\n\n+++\n");
    write_question_file(exams / "demo/cat2", "+++\nM3\nTwo?\n---\n+A\n-B\n+C\n---\n\n+++\n");
    write_question_file(exams / "demo/cat3", "+++\nF\nThree?\n---\nthree\n---\n\n+++\n");
    write_question_file(exams / "demo/cat4", "+++\nS2\nFour?\n---\n+Yes\n-No\n---\n\n+++\n");
    write_question_file(exams / "demo/cat5", "no items here\n");
    GtkWidget *item = gui::find(exammenu, [](GtkWidget *w) {
        return GTK_IS_MENU_ITEM(w) && gui::find_label(w, "  Start Practice Exam demo ");
    });
    EXPECT_NE(item, nullptr);
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    gui::pump();
    gtk_entry_set_text(GTK_ENTRY(gui::find_of_type(frame, GTK_TYPE_ENTRY)), name.c_str());
    return item;
}

question *RunTest::run_of(const std::vector<question *> &items)
{
    for (size_t i = 0; i < items.size(); i++) {
        items[i]->number = (signed char)(i + 1);
        if (i)
            append_question(items[0], items[i]);
    }
    QP = items.empty() ? nullptr : items[0];
    num_questions = (int)items.size();
    return QP;
}

std::vector<GtkWidget *> RunTest::choices()
{
    std::vector<GtkWidget *> out;
    GtkWidget *mark = gui::find_button(frame, "Mark Item for Review");
    for (GtkWidget *w : gui::find_all_of_type(frame, GTK_TYPE_TOGGLE_BUTTON))
        if (w != mark)
            out.push_back(w);
    return out;
}

void RunTest::click(const std::string &label)
{
    GtkWidget *button = gui::find_button(bbox, label);
    if (!button)
        button = gui::find_button(frame, label);
    ASSERT_NE(button, nullptr) << "no button \"" << label << "\"";
    gtk_button_clicked(GTK_BUTTON(button));
    gui::pump();
}

std::string RunTest::line(const std::string &start)
{
    GtkWidget *l = gui::find(frame, [&](GtkWidget *w) {
        return GTK_IS_LABEL(w) && gui::label_text(w).rfind(start, 0) == 0;
    });
    return l ? gui::label_text(l) : "(none)";
}

std::string RunTest::status()
{
    return gui::label_text(gui::find_of_type(statusbar, GTK_TYPE_LABEL));
}
