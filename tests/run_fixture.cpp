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

void RunTest::menu(GtkWidget *item)
{
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    gui::pump();
}

void RunTest::choose(GtkWidget *item, const std::string &path)
{
    menu(item);
    std::vector<GtkWidget *> open = file_dialogs();
    ASSERT_EQ(open.size(), 1u);
    gtk_file_selection_set_filename(GTK_FILE_SELECTION(open[0]), path.c_str());
    gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(open[0])->ok_button));
    gui::pump();
}
