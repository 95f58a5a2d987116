// Every coloured text of the result screens against the background it is
// actually drawn on: at least 4.5:1, as normal text needs (3:1 for the
// score report's large bold verdict).
#include <cmath>

#include "access_util.h"

#include "grading/grade.h"
#include "grading/review2.h"
#include "run/answer.h"

using namespace gui;

namespace {

double channel(double c)
{
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const GdkColor &c)
{
    return 0.2126 * channel(c.red / 65535.0) + 0.7152 * channel(c.green / 65535.0) +
           0.0722 * channel(c.blue / 65535.0);
}

double ratio(const GdkColor &a, const GdkColor &b)
{
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::string hex(const GdkColor &c)
{
    char s[16];
    g_snprintf(s, sizeof s, "#%02x%02x%02x", c.red >> 8, c.green >> 8, c.blue >> 8);
    return s;
}

// The background a widget is drawn on: that of the nearest widget, itself
// or above, with a window of its own (a label has none).
GdkColor background_of(GtkWidget *w)
{
    while (w && !gtk_widget_get_has_window(w))
        w = gtk_widget_get_parent(w);
    return gtk_widget_get_style(w)->bg[GTK_STATE_NORMAL];
}

struct TextRun {
    std::string text;
    GdkColor fg, bg;
};

// The label's text in runs of one colour pair: its own colours, and those
// its markup gives to parts of it.
std::vector<TextRun> runs_of(GtkWidget *label)
{
    GdkColor fg = gtk_widget_get_style(label)->fg[GTK_STATE_NORMAL];
    GdkColor bg = background_of(label);
    const char *text = pango_layout_get_text(gtk_label_get_layout(GTK_LABEL(label)));
    std::vector<TextRun> out;
    PangoAttrList *attrs = pango_layout_get_attributes(gtk_label_get_layout(GTK_LABEL(label)));
    if (!attrs)
        return {{text, fg, bg}};
    PangoAttrIterator *it = pango_attr_list_get_iterator(attrs);
    do {
        int start, end;
        pango_attr_iterator_range(it, &start, &end);
        end = std::min<int>(end, strlen(text));
        if (start >= end)
            continue;
        TextRun r{std::string(text + start, end - start), fg, bg};
        if (auto *a = (PangoAttrColor *)pango_attr_iterator_get(it, PANGO_ATTR_FOREGROUND))
            r.fg = {0, a->color.red, a->color.green, a->color.blue};
        if (auto *a = (PangoAttrColor *)pango_attr_iterator_get(it, PANGO_ATTR_BACKGROUND))
            r.bg = {0, a->color.red, a->color.green, a->color.blue};
        if (r.text.find_first_not_of(" \n") != std::string::npos)
            out.push_back(r);
    } while (pango_attr_iterator_next(it));
    pango_attr_iterator_destroy(it);
    return out;
}

class ContrastTest : public RunTest {
protected:
    // Fails for every run of text of a shown, usable label under `least`.
    static void check(GtkWidget *root, const std::string &screen, double least = 4.5)
    {
        for (GtkWidget *label : find_all_of_type(root, GTK_TYPE_LABEL)) {
            if (!gtk_widget_is_drawable(label) || !gtk_widget_is_sensitive(label))
                continue;
            for (const TextRun &r : runs_of(label))
                EXPECT_GE(ratio(r.fg, r.bg), least)
                    << screen << ": \"" << r.text << "\" " << hex(r.fg) << " on " << hex(r.bg);
        }
    }
};

TEST_F(ContrastTest, ReadOnlyPagesAndTheAnswerWindowReach4point5To1)
{
    run_of({make_item('S', 1, {"-Red", "+Green", "-Blue"}, "Which?", "Grass."),
            make_item('M', 1, {"+Alpha", "+Beta", "-Gamma"}, "Which?", "Letters."),
            make_item('F', 1, {"Paris"}, "Capital?", "Paris.")});
    question *s = QP, *m = s->next, *f = m->next;
    s->selected[1] = 1;   // right
    m->selected[2] = 1;   // wrong
    gradeExam(s);
    // The verdict is large bold text, for which 3:1 is enough.
    check(frame, "score report", 3.0);
    // The theme's grey, on which the choices stand.
    EXPECT_EQ(hex(background_of(find_label(frame, "Your Score Report"))), "#dcdad5");

    for (question *q : {s, m, f}) {
        showReview2Page(q);
        check(frame, "read-only page of item " + std::to_string(q->number));
        showAnswer(q);
        GtkWidget *window = answer_windows().back();
        check(window, "answer window of item " + std::to_string(q->number));
        gtk_widget_destroy(window);
    }
}

} // namespace
