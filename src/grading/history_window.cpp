#include "grading/history_window.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <optional>

#include "app/globals.h"
#include "app/trialix.h"
#include "bank/exam_list.h"
#include "bank/glib_ptr.h"
#include "bank/history.h"
#include "bank/question.h"
#include "bank/text.h"
#include "bank/tools.h"
#include "grading/history_parts.h"
#include "grading/history_record.h"

namespace {

enum { RUN_DATE, RUN_EXAMINEE, RUN_MODE, RUN_SCORE, RUN_VERDICT, RUN_TIME, RUN_COLUMNS };
enum { FILE_NAME, FILE_RUNS, FILE_RIGHT_TEXT, FILE_RIGHT_PERCENT, FILE_COLUMNS };

// With a long history the runs' table shows the newest runs only: a table
// of many thousand rows is slow to build and close for assistive
// technology, and no one reads that far.
constexpr int RUNS_SHOWN = 300;

struct history_view {
    GtkWidget *window = nullptr, *chooser = nullptr, *chart = nullptr, *runs_heading = nullptr;
    GtkListStore *runs = nullptr, *files = nullptr;
    GtkWidget *runs_view = nullptr;
    GtkWidget *practise = nullptr;
    GtkWidget *waiting = nullptr;   // the line about runs not sent yet
    std::vector<history_exam> exams;
    std::string exam;                          // the exam shown
    std::vector<history_mistake> mistakes;     // its items missed, most often first
};

GtkWidget *open_window = nullptr;

void delete_view(gpointer view)
{
    delete static_cast<history_view *>(view);
}

// An exam's title is markup; the chooser shows its text. Whatever the
// file holds, what is shown is UTF-8.
std::string plain_title(const std::string &markup)
{
    gchar *valid = g_utf8_make_valid(markup.c_str(), (gssize)markup.size());
    char *text = nullptr;
    std::string plain = pango_parse_markup(valid, -1, 0, nullptr, &text, nullptr, nullptr) ? text : valid;
    g_free(text);
    g_free(valid);
    return plain;
}

// A name stored as the file system gave it, as the Exam menu shows it.
std::string shown_name(const std::string &stored)
{
    gchar *shown = g_filename_display_name(stored.c_str());
    std::string s = shown;
    g_free(shown);
    return s;
}

std::string valid_text(const std::string &text)
{
    gchar *valid = g_utf8_make_valid(text.c_str(), (gssize)text.size());
    std::string s = valid;
    g_free(valid);
    return s;
}

std::string minutes(int seconds_used)
{
    return minutes_seconds(seconds_used);
}

void fill_runs(history_view *v, const std::vector<history_run> &runs, int all_runs, int all_passed)
{
    std::string heading = "Runs";
    if (all_runs > (int)runs.size())
        heading += " (the newest " + std::to_string(runs.size()) + " of " + std::to_string(all_runs) + ")";
    gchar *markup = g_markup_printf_escaped("<b>%s</b>", heading.c_str());
    gtk_label_set_markup(GTK_LABEL(v->runs_heading), markup);
    g_free(markup);
    // Filled apart from the table and handed to it whole: a row added to a
    // shown table costs a signal to it each.
    GtkTreeView *view = GTK_TREE_VIEW(v->runs_view);
    g_object_ref(v->runs);   // the table holds the only other reference
    gtk_tree_view_set_model(view, nullptr);
    gtk_list_store_clear(v->runs);
    chart_model model;
    for (const history_run &r : runs) {
        char score[32];
        g_snprintf(score, sizeof score, "%.1f%%", r.score);
        GtkTreeIter it;
        gtk_list_store_append(v->runs, &it);
        gtk_list_store_set(v->runs, &it, RUN_DATE, format_time(r.taken, "%Y-%m-%d %H:%M").c_str(),
                           RUN_EXAMINEE, valid_text(r.examinee).c_str(), RUN_MODE,
                           r.training ? "Training" : "Exam", RUN_SCORE, score, RUN_VERDICT,
                           r.passed ? "Passed" : "Failed", RUN_TIME,
                           r.timer ? minutes(r.time_used).c_str() : "Timer off", -1);
    }
    // The table is newest first, the chart oldest first.
    for (auto r = runs.rbegin(); r != runs.rend(); ++r)
        model.points.push_back({r->taken, r->score, r->passed});
    gtk_tree_view_set_model(view, GTK_TREE_MODEL(v->runs));
    g_object_unref(v->runs);
    if (!runs.empty())
        model.pass_mark = runs.front().pass_mark;
    model.all_runs = std::max(all_runs, (int)runs.size());
    model.all_passed = all_passed;
    history_chart_set(v->chart, model);
}

void fill_files(history_view *v, const std::vector<history_file> &files)
{
    gtk_list_store_clear(v->files);
    for (const history_file &f : files) {
        int percent = f.drawn ? (int)((long long)f.right * 100 / f.drawn) : 0;
        std::string right = std::to_string(f.right) + " of " + std::to_string(f.drawn);
        GtkTreeIter it;
        gtk_list_store_append(v->files, &it);
        gtk_list_store_set(v->files, &it, FILE_NAME, shown_name(f.file).c_str(), FILE_RUNS, f.runs,
                           FILE_RIGHT_TEXT, right.c_str(), FILE_RIGHT_PERCENT, percent, -1);
    }
}

void say_practice(history_view *v, bool any)
{
    gtk_button_set_label(GTK_BUTTON(v->practise),
                         any ? " Practise Mistakes " : " No Mistakes to Practise ");
    gtk_widget_set_sensitive(v->practise, any);
}

void show_exam(history_view *v, const std::string &exam)
{
    v->exam = exam;
    std::vector<history_run> runs;
    std::vector<history_file> files;
    std::vector<history_mistake> mistakes;
    int all_runs = 0, passed = 0;
    gerror_ptr error;
    // Read only: the window never waits for another program writing.
    history_db *db = exam.empty() ? nullptr
                                  : history_open_read(history_default_path().c_str(), out_error(error));
    if (db) {
        if (!history_count(db, exam.c_str(), &all_runs, &passed, out_error(error)) ||
            !history_runs(db, exam.c_str(), false, &runs, RUNS_SHOWN, out_error(error)) ||
            !history_weak_files(db, exam.c_str(), &files, out_error(error)) ||
            !history_mistakes(db, exam.c_str(), &mistakes, out_error(error)))
            fprintf(stderr, "results history: %s\n", error->message);
        history_close(db);
    } else if (!exam.empty()) {
        fprintf(stderr, "results history: %s\n", error->message);
    }
    fill_runs(v, runs, all_runs, passed);
    fill_files(v, files);
    v->mistakes = std::move(mistakes);
    say_practice(v, !v->mistakes.empty());
}

void on_exam_chosen(GtkComboBox *chooser, gpointer data)
{
    auto *v = static_cast<history_view *>(data);
    int i = gtk_combo_box_get_active(chooser);
    if (i >= 0 && i < (int)v->exams.size())
        show_exam(v, v->exams[(size_t)i].exam);
}

// Whatever pressed a button of the window (a click, or the accessibility
// layer's press and release) still uses it once the handler returns.
void close_window(GtkWidget *window)
{
    if (open_window == window)
        open_window = nullptr;
    window_close_later(window);
}

void on_practise(GtkWidget *, gpointer data)
{
    auto *v = static_cast<history_view *>(data);
    // Only items still in their files as they were can be practised. That
    // reads the files, so it waits for the button.
    std::optional<std::string> dir = join_path(examdir, v->exam.c_str(), nullptr);
    std::vector<history_mistake> items;
    if (dir)
        items = practice_items(v->mistakes, dir->c_str(), MAX_RUN_ITEMS);
    if (items.empty()) {
        say_practice(v, false);
        return;
    }
    std::string exam = v->exam;
    close_window(v->window);
    start_practice(exam.c_str(), items);
}

gboolean on_key(GtkWidget *window, GdkEventKey *event, gpointer)
{
    if (event->keyval != GDK_Escape)
        return FALSE;
    close_window(window);
    return TRUE;
}

void on_close(GtkWidget *, gpointer window)
{
    close_window(GTK_WIDGET(window));
}

void on_destroy(GtkWidget *window, gpointer)
{
    if (open_window == window)
        open_window = nullptr;
}

GtkWidget *files_table(history_view *v)
{
    v->files = gtk_list_store_new(FILE_COLUMNS, G_TYPE_STRING, G_TYPE_INT, G_TYPE_STRING, G_TYPE_INT);
    GtkWidget *view = table_of(v->files, {"File", "Runs"});
    GtkCellRenderer *bar = history_bar_new();
    GtkTreeViewColumn *right = gtk_tree_view_column_new_with_attributes(
        "Right", bar, "text", FILE_RIGHT_TEXT, "value", FILE_RIGHT_PERCENT, nullptr);
    gtk_tree_view_column_set_min_width(right, 80);
    gtk_tree_view_append_column(GTK_TREE_VIEW(view), right);
    return view;
}

GtkWidget *build_window(history_view *v)
{
    v->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow *w = GTK_WINDOW(v->window);
    gtk_window_set_title(w, "Results History");
    if (main_window)
        gtk_window_set_transient_for(w, GTK_WINDOW(main_window));
    gtk_window_set_modal(w, TRUE);
    gtk_window_set_destroy_with_parent(w, TRUE);
    gtk_window_set_position(w, GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_default_size(w, 640, 480);
    g_object_set_data_full(G_OBJECT(v->window), "history-view", v, delete_view);

    GtkWidget *top = gtk_vbox_new(FALSE, 12);
    gtk_container_set_border_width(GTK_CONTAINER(top), 12);
    gtk_container_add(GTK_CONTAINER(v->window), top);

    GtkWidget *row = gtk_hbox_new(FALSE, 6);
    GtkWidget *label = gtk_label_new_with_mnemonic("_Exam:");
    // A list for a chooser, not a menu: a menu makes an item (and an
    // accessible object) for every exam at once, which freezes the window
    // for a history of thousands of exams; a list makes rows as they show.
    static bool styled = false;
    if (!styled) {
        gtk_rc_parse_string("style \"trialix-history-chooser\" { GtkComboBox::appears-as-list = 1 }\n"
                            "widget \"*.trialix-history-chooser\" style \"trialix-history-chooser\"\n");
        styled = true;
    }
    v->chooser = gtk_combo_box_new();
    GtkCellRenderer *cell = gtk_cell_renderer_text_new();
    gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(v->chooser), cell, TRUE);
    gtk_cell_layout_set_attributes(GTK_CELL_LAYOUT(v->chooser), cell, "text", 0, nullptr);
    gtk_widget_set_name(v->chooser, "trialix-history-chooser");
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), v->chooser);
    gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), v->chooser, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(top), row, FALSE, FALSE, 0);

    // The chart and the weakest files side by side, the runs below them
    // across the whole width: their table is the widest part.
    v->chart = history_chart_new();
    GtkWidget *chart_frame = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(chart_frame), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(chart_frame), v->chart);
    GtkWidget *files_view = files_table(v);
    GtkWidget *files = scrolled(files_view);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(files), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    GtkWidget *upper = gtk_hbox_new(FALSE, 12);
    gtk_box_pack_start(GTK_BOX(upper), section("Score over time", chart_frame, v->chart), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(upper), section("Weakest question files", files, files_view), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(top), upper, TRUE, TRUE, 0);

    v->runs = gtk_list_store_new(RUN_COLUMNS, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING,
                                 G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING);
    GtkWidget *runs = table_of(v->runs, {"Date", "Examinee", "Mode", "Score", "Verdict", "Time"},
                               {"0000-00-00 00:00", "Examinee name", "Training", "100.0%", "Passed",
                                "Timer off"});
    v->runs_view = runs;
    gtk_box_pack_start(GTK_BOX(top), section("Runs", scrolled(runs), runs, &v->runs_heading), TRUE, TRUE, 0);

    v->waiting = gtk_label_new(nullptr);
    gtk_misc_set_alignment(GTK_MISC(v->waiting), 0, 0.5);
    gtk_label_set_line_wrap(GTK_LABEL(v->waiting), TRUE);
    gtk_box_pack_start(GTK_BOX(top), v->waiting, FALSE, FALSE, 0);

    GtkWidget *buttons = gtk_hbutton_box_new();
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
    gtk_box_set_spacing(GTK_BOX(buttons), 6);
    v->practise = gtk_button_new_with_label(" Practise Mistakes ");
    GtkWidget *close = gtk_button_new_from_stock(GTK_STOCK_CLOSE);
    gtk_container_add(GTK_CONTAINER(buttons), v->practise);
    gtk_button_box_set_child_secondary(GTK_BUTTON_BOX(buttons), v->practise, TRUE);
    gtk_container_add(GTK_CONTAINER(buttons), close);
    gtk_box_pack_start(GTK_BOX(top), buttons, FALSE, FALSE, 0);

    g_signal_connect(v->practise, "clicked", G_CALLBACK(on_practise), v);
    g_signal_connect(close, "clicked", G_CALLBACK(on_close), v->window);
    g_signal_connect(v->window, "key-press-event", G_CALLBACK(on_key), nullptr);
    g_signal_connect(v->window, "destroy", G_CALLBACK(on_destroy), nullptr);
    return close;
}

} // namespace

std::string history_waiting_line(int waiting, const std::string &unreachable)
{
    std::string line;
    if (waiting > 0)
        line = (waiting == 1 ? "1 run is" : std::to_string(waiting) + " runs are") +
               " waiting to be sent to the results history.";
    if (!unreachable.empty())
        line += std::string(line.empty() ? "" : " ") + "The results history can't be reached now: " +
                unreachable;
    return line;
}

void cb_history(GtkWidget *, void *)
{
    if (open_window) {
        gtk_window_present(GTK_WINDOW(open_window));
        return;
    }
    bool missing = false;
    std::string unreachable;
    history_db *db = history_read_or_tell(&missing, &unreachable);
    if (!db && !missing)
        return;
    auto *v = new history_view;
    gerror_ptr error;
    if (db && !history_exams(db, &v->exams, out_error(error)))
        fprintf(stderr, "results history: %s\n", error->message);
    history_close(db);

    GtkWidget *close = build_window(v);
    open_window = v->window;
    // Filled apart and handed over whole, once the chooser knows its style.
    GtkListStore *names = gtk_list_store_new(1, G_TYPE_STRING);
    for (const history_exam &e : v->exams) {
        GtkTreeIter it;
        gtk_list_store_append(names, &it);
        gtk_list_store_set(names, &it, 0, (plain_title(e.title) + " (" + shown_name(e.exam) + ")").c_str(), -1);
    }
    gtk_widget_ensure_style(v->chooser);
    gtk_combo_box_set_model(GTK_COMBO_BOX(v->chooser), GTK_TREE_MODEL(names));
    g_object_unref(names);
    g_signal_connect(v->chooser, "changed", G_CALLBACK(on_exam_chosen), v);
    if (v->exams.empty())
        show_exam(v, "");
    else
        gtk_combo_box_set_active(GTK_COMBO_BOX(v->chooser), 0);
    gtk_widget_show_all(v->window);
    std::string waiting = history_waiting_line(history_kept_count(history_kept_dir().c_str()),
                                               unreachable);
    gtk_label_set_text(GTK_LABEL(v->waiting), waiting.c_str());
    if (waiting.empty())
        gtk_widget_hide(v->waiting);
    gtk_widget_grab_focus(close);
}
