// The chart of the history window: the score of each run over time, the
// pass mark as a dashed line, passed runs as filled circles and failed
// runs as crosses, so that they differ without colour too.
#include <gtk/gtk.h>

#include <algorithm>

#include "bank/text.h"
#include "grading/history_window.h"

namespace {

// Room for the axis labels around the plot, in pixels.
constexpr double LEFT = 44, RIGHT = 14, TOP = 14, BOTTOM = 26;
constexpr double MARK = 4.5;   // radius of a run's mark
constexpr int GRID_STEP = 25;  // percent between grid lines
constexpr int FULL = 100;      // percent at the top of the plot

void delete_model(gpointer model)
{
    delete static_cast<chart_model *>(model);
}

void text_at(cairo_t *cr, const char *text, double x, double y, double align_x)
{
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text, &ext);
    cairo_move_to(cr, x - ext.width * align_x - ext.x_bearing, y);
    cairo_show_text(cr, text);
}

std::string day_of(long long taken, const char *format = "%e %b")
{
    // "%e" pads a one-digit day with a blank.
    std::string day = format_time(taken, format);
    size_t start = day.find_first_not_of(' ');
    return start == std::string::npos ? "" : day.substr(start);
}

gboolean on_expose(GtkWidget *area, GdkEventExpose *, gpointer)
{
    const chart_model *model = history_chart_model(area);
    if (!model)
        return FALSE;
    cairo_t *cr = gdk_cairo_create(area->window);
    history_chart_draw(cr, area->allocation.width, area->allocation.height, *model);
    cairo_destroy(cr);
    // It takes the focus, so that the keyboard and a screen reader reach it.
    if (gtk_widget_has_focus(area))
        gtk_paint_focus(area->style, area->window, GTK_STATE_NORMAL, nullptr, area, "drawingarea", 1, 1,
                        area->allocation.width - 2, area->allocation.height - 2);
    return TRUE;
}

std::string percent(double score)
{
    char s[32];
    g_snprintf(s, sizeof s, "%.1f%%", score);
    return s;
}

} // namespace

GtkWidget *history_chart_new(void)
{
    GtkWidget *area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, 240, 120);
    g_object_set_data_full(G_OBJECT(area), "chart-model", new chart_model, delete_model);
    g_signal_connect(area, "expose-event", G_CALLBACK(on_expose), nullptr);
    gtk_widget_set_can_focus(area, TRUE);
    // A chart, read by its name and its description, which say what it draws.
    AtkObject *acc = gtk_widget_get_accessible(area);
    atk_object_set_role(acc, ATK_ROLE_CHART);
    atk_object_set_name(acc, "Score over time");
    atk_object_set_description(acc, history_chart_summary(chart_model{}).c_str());
    return area;
}

std::string history_chart_summary(const chart_model &model)
{
    size_t n = model.points.size();
    if (n == 0)
        return "No runs yet";
    int passed = 0;
    double best = model.points[0].score, lowest = best;
    for (const chart_point &p : model.points) {
        passed += p.passed;
        best = std::max(best, p.score);
        lowest = std::min(lowest, p.score);
    }
    std::string runs = n == 1 ? "1 run" : std::to_string(n) + " runs";
    if (model.all_runs > (int)n)
        runs = "The newest " + std::to_string(n) + " of " + std::to_string(model.all_runs) + " runs (" +
               std::to_string(model.all_passed) + " of them passed)";
    else
        runs[0] = g_ascii_toupper(runs[0]);
    std::string first = day_of(model.points.front().taken, "%e %b %Y"),
                last = day_of(model.points.back().taken, "%e %b %Y");
    std::string text = runs + (first == last ? ", on " + first : ", from " + first + " to " + last) +
                       ", against the pass mark of " + std::to_string(model.pass_mark) + "%: " +
                       std::to_string(passed) + " passed, " + std::to_string((int)n - passed) +
                       " failed. ";
    const chart_point &latest = model.points.back();
    text += "Latest score " + percent(latest.score) + (latest.passed ? ", passed" : ", failed");
    if (n > 1)
        text += "; best " + percent(best) + ", lowest " + percent(lowest);
    return text + ".";
}

const chart_model *history_chart_model(GtkWidget *area)
{
    return static_cast<const chart_model *>(g_object_get_data(G_OBJECT(area), "chart-model"));
}

void history_chart_set(GtkWidget *area, const chart_model &model)
{
    auto *held = static_cast<chart_model *>(g_object_get_data(G_OBJECT(area), "chart-model"));
    *held = model;
    atk_object_set_description(gtk_widget_get_accessible(area), history_chart_summary(model).c_str());
    gtk_widget_queue_draw(area);
}

void history_chart_draw(cairo_t *cr, int width, int height, const chart_model &model)
{
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 10);
    double w = std::max(1.0, width - LEFT - RIGHT), h = std::max(1.0, height - TOP - BOTTOM);
    auto y_of = [&](double score) { return TOP + h - std::clamp(score, 0.0, (double)FULL) / FULL * h; };

    // Grid and its percent labels.
    cairo_set_line_width(cr, 1);
    for (int p = 0; p <= FULL; p += GRID_STEP) {
        double y = (int)y_of(p) + 0.5;
        cairo_set_source_rgb(cr, 0.85, 0.85, 0.85);
        cairo_move_to(cr, LEFT, y);
        cairo_line_to(cr, LEFT + w, y);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        text_at(cr, (std::to_string(p) + "%").c_str(), LEFT - 6, y + 3.5, 1.0);
    }
    if (model.points.empty()) {
        text_at(cr, "No runs yet", LEFT + w / 2, TOP + h / 2, 0.5);
        return;
    }

    // The pass mark.
    double pass_y = (int)y_of(model.pass_mark) + 0.5;
    double dash[] = {6, 4};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_source_rgb(cr, 0.1, 0.3, 0.7);
    cairo_set_line_width(cr, 1.5);
    cairo_move_to(cr, LEFT, pass_y);
    cairo_line_to(cr, LEFT + w, pass_y);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    std::string pass = "Pass " + std::to_string(model.pass_mark) + "%";
    text_at(cr, pass.c_str(), LEFT + w, pass_y - 4, 1.0);

    // Runs evenly spaced, oldest at the left, joined by a thin line.
    size_t n = model.points.size();
    auto x_of = [&](size_t i) { return n == 1 ? LEFT + w / 2 : LEFT + MARK + (w - 2 * MARK) * i / (n - 1); };
    cairo_set_source_rgb(cr, 0.55, 0.55, 0.55);
    cairo_set_line_width(cr, 1);
    for (size_t i = 0; i < n; i++)
        (i ? cairo_line_to : cairo_move_to)(cr, x_of(i), y_of(model.points[i].score));
    cairo_stroke(cr);
    cairo_set_line_width(cr, 2);
    for (size_t i = 0; i < n; i++) {
        double x = x_of(i), y = y_of(model.points[i].score);
        if (model.points[i].passed) {
            cairo_arc(cr, x, y, MARK, 0, 2 * G_PI);
            cairo_set_source_rgb(cr, 0.1, 0.6, 0.1);
            cairo_fill(cr);
        } else {
            cairo_set_source_rgb(cr, 0.8, 0.1, 0.1);
            cairo_move_to(cr, x - MARK, y - MARK);
            cairo_line_to(cr, x + MARK, y + MARK);
            cairo_move_to(cr, x - MARK, y + MARK);
            cairo_line_to(cr, x + MARK, y - MARK);
            cairo_stroke(cr);
        }
    }

    // The days of the first and the last run under the axis.
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    // Runs of one day are told apart by their time.
    double base = TOP + h + 16;
    std::string first = day_of(model.points.front().taken), last = day_of(model.points.back().taken);
    if (first == last) {
        first += " " + day_of(model.points.front().taken, "%H:%M");
        last = day_of(model.points.back().taken, "%H:%M");
    }
    text_at(cr, first.c_str(), LEFT, base, 0.0);
    if (n > 1)
        text_at(cr, last.c_str(), LEFT + w, base, 1.0);
}
