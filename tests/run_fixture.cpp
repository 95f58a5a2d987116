#include "run_fixture.h"

#include "app/globals.h"
#include "bank/buffer.h"
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

void RunTest::write_questions(const std::string &exam, const std::string &file,
                              const std::string &text)
{
    std::string path = exams.path(exam + "/" + file);
    exams.mkdir(exam);
    std::string error;
    ASSERT_TRUE(text2file(text.data(), text.size(), path.c_str(), &error)) << error;
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

std::vector<std::string> RunTest::bar()
{
    std::vector<std::string> out;
    for (const gui::BarButton &b : gui::bar_buttons(bbox))
        out.push_back(b.label + (b.sensitive ? "" : "(off)"));
    return out;
}

std::string RunTest::status()
{
    return gui::label_text(gui::find_of_type(statusbar, GTK_TYPE_LABEL));
}
