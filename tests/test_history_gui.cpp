// The results history as the examinee meets it: runs recorded at the score
// report, the history window's table, ranking and chart, practice of past
// mistakes, and a history that can't be used.
#include <gdk/gdkkeysyms.h>
#include <glib/gstdio.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>

#include "bank/history.h"
#include "grading/history_record.h"
#include "grading/history_window.h"
#include "gui_util.h"
#ifdef TRIALIX_POSTGRES_TESTS
#include "pg_server.h"
#endif
#include "saved/load.h"
#include "saved/store.h"

using namespace gui;

namespace {

class HistoryTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        fresh_history();
        forget_kept();
        write_three_item_exam();
    }
    void TearDown() override
    {
        for (GtkWidget *w : history_windows())
            gtk_widget_destroy(w);
        RunTest::TearDown();
    }

    // Takes a run of the shown start form's kind with `examinee`, answering
    // each item (by its text) right (1), wrong (-1) or not at all (0).
    void take_run(const char *examinee, const std::map<std::string, int> &plan, bool start = true,
                  const char *exam = "demo")
    {
        g_strlcpy(username, examinee, sizeof username);
        if (start)
            start_exam(nullptr, (void *)exam);
        click(" Start Exam ");
        ASSERT_NE(QP, nullptr);
        for (question *q = QP; q; q = q->next) {
            int how = plan.at(q->text);
            q->selected[0] = how == 1;
            q->selected[1] = how == -1;
        }
        dialogs.plan(GTK_RESPONSE_YES);
        click(" Grade Exam ");
        ASSERT_NE(line("Your Score:"), "(none)");
        click(" End Exam ");
    }

    static std::vector<GtkWidget *> history_windows()
    {
        return windows([](GtkWidget *w) {
            return GTK_IS_WINDOW(w) && g_strcmp0(gtk_window_get_title(GTK_WINDOW(w)), "Results History") == 0;
        });
    }
    // Runs kept aside by an earlier test are none of this one's.
    static void forget_kept()
    {
        for (const std::string &kept : paths_in(history_kept_dir()))
            g_remove(kept.c_str());
    }
    static int kept_count() { return (int)names_in(history_kept_dir()).size(); }
    static std::vector<history_run> recorded(const char *exam = "demo")
    {
        std::vector<history_run> runs;
        history_db *db = history_open_read(history_default_path().c_str(), nullptr);
        EXPECT_TRUE(db && history_runs(db, exam, true, &runs, 0, nullptr));
        history_close(db);
        return runs;
    }
    // The Exam menu's history item.
    static GtkWidget *menu_item() { return children(exammenu).at(2); }

    // The rows of a table, columns joined by '|'; the first column left out
    // when skip_first (a date).
    static std::vector<std::string> rows(GtkWidget *view, bool skip_first)
    {
        GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(view));
        std::vector<std::string> out;
        GtkTreeIter it;
        for (gboolean ok = gtk_tree_model_get_iter_first(model, &it); ok; ok = gtk_tree_model_iter_next(model, &it)) {
            std::string row;
            for (int c = skip_first ? 1 : 0; c < gtk_tree_model_get_n_columns(model); c++) {
                GValue v = G_VALUE_INIT;
                gtk_tree_model_get_value(model, &it, c, &v);
                row += (row.empty() ? "" : "|") + std::string(G_VALUE_HOLDS_INT(&v) ? std::to_string(g_value_get_int(&v))
                                                                                   : g_value_get_string(&v));
                g_value_unset(&v);
            }
            out.push_back(row);
        }
        return out;
    }
};

} // namespace

TEST_F(HistoryTest, ThreeRunsMakeTheTableTheRankingAndTheChartAndMistakesArePractised)
{
    // Only between runs, like Open Exam, and right after Save Exam.
    EXPECT_EQ(label_text(gtk_bin_get_child(GTK_BIN(menu_item()))), "  Results History");
    EXPECT_TRUE(is_sensitive(menu_item()));
    menu(exam_open);
    EXPECT_FALSE(is_sensitive(menu_item())) << "off while Open Exam's chooser is open";
    ASSERT_EQ(file_dialogs().size(), 1u);
    gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(file_dialogs()[0])->cancel_button));
    pump();
    EXPECT_TRUE(is_sensitive(menu_item()));
    take_run("Ann", {{"Item A?", 1}, {"Item B?", -1}, {"Item C?", -1}});
    g_strlcpy(username, "Bob", sizeof username);
    start_exam(nullptr, (void *)"demo");
    click(" Start Exam ");
    EXPECT_FALSE(is_sensitive(menu_item()));
    for (question *q = QP; q; q = q->next) {
        bool right = q->text != std::string("Item B?");
        q->selected[0] = right;
        q->selected[1] = !right;
    }
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    // The report rebuilt after a review is the same run.
    click(" Review All ");
    click(" Back to Grade Exam ");
    click(" End Exam ");
    EXPECT_TRUE(is_sensitive(menu_item()));
    take_run("Cy", {{"Item A?", 1}, {"Item B?", 0}, {"Item C?", 1}});

    menu(menu_item());
    std::vector<GtkWidget *> open = history_windows();
    ASSERT_EQ(open.size(), 1u);
    GtkWidget *win = open[0];
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(win)), GTK_WINDOW(main_window));
    GtkWidget *chooser = find_of_type(win, GTK_TYPE_COMBO_BOX);
    gchar *exam = gtk_combo_box_get_active_text(GTK_COMBO_BOX(chooser));
    EXPECT_STREQ(exam, "History demo (demo)");
    g_free(exam);

    // The runs' table, then the files' (told apart by their columns).
    std::vector<GtkWidget *> tables = find_all_of_type(win, GTK_TYPE_TREE_VIEW);
    ASSERT_EQ(tables.size(), 2u);
    auto columns = [](GtkWidget *t) { return gtk_tree_model_get_n_columns(gtk_tree_view_get_model(GTK_TREE_VIEW(t))); };
    if (columns(tables[0]) < columns(tables[1]))
        std::swap(tables[0], tables[1]);
    EXPECT_EQ(rows(tables[0], true), (std::vector<std::string>{"Cy|Training|66.7%|Passed|Timer off",
                                                                "Bob|Training|66.7%|Passed|Timer off",
                                                                "Ann|Training|33.3%|Failed|Timer off"}));
    std::string date = rows(tables[0], false)[0];
    EXPECT_TRUE(g_regex_match_simple("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d\\|", date.c_str(), GRegexCompileFlags(0),
                                     GRegexMatchFlags(0))) << date;
    EXPECT_EQ(rows(tables[1], false), (std::vector<std::string>{"cat0B|3|0 of 3|0", "cat0C|3|2 of 3|66",
                                                                 "cat0A|3|3 of 3|100"}));

    const chart_model *chart = history_chart_model(find_of_type(win, GTK_TYPE_DRAWING_AREA));
    ASSERT_NE(chart, nullptr);
    ASSERT_EQ(chart->points.size(), 3u);
    EXPECT_EQ(chart->pass_mark, 50);
    EXPECT_NEAR(chart->points[0].score, 33.33, 0.01);
    EXPECT_FALSE(chart->points[0].passed);
    EXPECT_TRUE(chart->points[1].passed && chart->points[2].passed);
    EXPECT_LE(chart->points[0].taken, chart->points[2].taken);

    // Practice: B (missed three times) and C (once), and nothing else.
    gtk_button_clicked(GTK_BUTTON(find_button(win, " Practise Mistakes ")));
    pump();
    EXPECT_TRUE(history_windows().empty());
    EXPECT_EQ(line("This practice"), "This practice run holds 2 items you missed.");
    take_run("Dee", {{"Item B?", 1}, {"Item C?", 1}}, false);
    history_db *db = history_open(history_default_path().c_str(), nullptr);
    std::vector<history_run> runs;
    ASSERT_TRUE(db && history_runs(db, "demo", true, &runs, 0, nullptr));
    history_close(db);
    ASSERT_EQ(runs.size(), 4u);
    std::vector<std::string> files;
    for (const history_item &i : runs[0].items)
        files.push_back(i.file + ":" + std::to_string(i.item) + ":" + std::to_string(i.ok));
    EXPECT_EQ(files, (std::vector<std::string>{"cat0B:1:1", "cat0C:1:1"}));
    EXPECT_EQ(runs[0].examinee, "Dee");
}

TEST_F(HistoryTest, WithoutMistakesTheButtonSaysSoAndEscapeCloses)
{
    take_run("Ann", {{"Item A?", 1}, {"Item B?", 1}, {"Item C?", 1}});
    menu(menu_item());
    ASSERT_EQ(history_windows().size(), 1u);
    GtkWidget *win = history_windows()[0];
    GtkWidget *button = find_button(win, " No Mistakes to Practise ");
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(is_sensitive(button));

    GdkEvent *key = gdk_event_new(GDK_KEY_PRESS);
    key->key.window = GDK_WINDOW(g_object_ref(win->window));
    key->key.keyval = GDK_Escape;
    gtk_widget_event(win, key);
    gdk_event_free(key);
    pump();
    EXPECT_TRUE(history_windows().empty());
}

// A history that can't be used is told once; the runs are kept aside
// meanwhile and recorded, each once, when it can be used again.
TEST_F(HistoryTest, ADamagedHistoryIsToldOnceAndExamsGoOn)
{
    std::string path = history_default_path();
    gchar *folder = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(folder, 0700);
    g_free(folder);
    write_file(path, std::string(4096, 'x'));
    start_exam(nullptr, (void *)"demo");
    click(" Start Exam ");
    dialogs.plan(GTK_RESPONSE_YES).plan(GTK_RESPONSE_CLOSE);
    std::string err = stderr_of([&] { click(" Grade Exam "); });
    EXPECT_EQ(line("Your Score:"), "Your Score: 0.0% Correct");
    click(" End Exam ");
    ASSERT_EQ(dialogs.seen.size(), 2u);   // the confirmation, then the history's
    EXPECT_EQ(dialogs.seen[1].text.rfind("The results history in " + path + " can't be used:", 0), 0u)
        << dialogs.seen[1].text;
    EXPECT_NE(err.find("results history not used"), std::string::npos);
    // The second run is not held up by it again; asked for, the history
    // says why it can't be shown.
    take_run("Bob", {{"Item A?", 1}, {"Item B?", 1}, {"Item C?", 1}});
    EXPECT_EQ(dialogs.seen.size(), 3u);
    dialogs.plan(GTK_RESPONSE_CLOSE);
    menu(menu_item());
    EXPECT_TRUE(history_windows().empty());
    ASSERT_EQ(dialogs.seen.size(), 4u);
    EXPECT_NE(dialogs.seen[1].text.find("their results are kept aside and added to the history once it can be used"),
              std::string::npos) << dialogs.seen[1].text;
    EXPECT_NE(dialogs.seen[3].text.find("file is not a database"), std::string::npos);
    EXPECT_EQ(read_file(path), std::string(4096, 'x'));
    EXPECT_EQ(kept_count(), 2);

    // The damaged file moved away: the next run brings the two kept ones.
    g_remove(path.c_str());
    take_run("Cy", {{"Item A?", 1}, {"Item B?", -1}, {"Item C?", 1}});
    std::vector<history_run> runs = recorded();
    std::vector<std::string> who;
    for (const history_run &r : runs)
        who.push_back(r.examinee + " " + std::to_string(r.items.size()));
    EXPECT_EQ(who, (std::vector<std::string>{"Cy 3", "Bob 3", " 3"}));
    EXPECT_EQ(kept_count(), 0);
    EXPECT_EQ(dialogs.seen.size(), 5u) << "the grading's question only";
}

// A run saved and resumed in a later process is recorded like any: its
// items are found in their files by their text.
TEST_F(HistoryTest, AResumedRunIsRecordedWithItsFiles)
{
    start_exam(nullptr, (void *)"demo");
    click(" Start Exam ");
    for (question *q = QP; q; q = q->next)
        q->selected[q->text == std::string("Item C?") ? 1 : 0] = 1;
    std::string saved = exams / "run.sav", error;
    ASSERT_GT(save_list_file(saved.c_str(), QP, header_of_run(), error_text(&error)), 0) << error;
    destroy_list(QP);
    QP = nullptr;
    screen_empty();
    history_record_reset();   // what a new process knows

    question *list = read_list(saved.c_str());
    ASSERT_NE(list, nullptr);
    createExamLoad(list);
    click(" Start Exam ");
    dialogs.plan(GTK_RESPONSE_YES);
    click(" Grade Exam ");
    click(" End Exam ");

    history_db *db = history_open(history_default_path().c_str(), nullptr);
    std::vector<history_file> files;
    ASSERT_TRUE(db && history_weak_files(db, "demo", &files, nullptr));
    history_close(db);
    std::vector<std::string> got;
    for (const history_file &f : files)
        got.push_back(f.file + " " + std::to_string(f.right) + "/" + std::to_string(f.drawn));
    EXPECT_EQ(got, (std::vector<std::string>{"cat0C 0/1", "cat0A 1/1", "cat0B 1/1"}));
}

// A long history: the table shows the newest runs with the count of all,
// and the window opens and closes at once with the accessibility layer on.
TEST_F(HistoryTest, ALongHistoryShowsItsNewestRunsAndCountsThemAll)
{
    std::string path = history_default_path();
    history_close(history_open(path.c_str(), nullptr));
    sqlite3 *sql = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &sql), SQLITE_OK);
    const char *fill =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)"
        " INSERT INTO runs(exam, title, taken, examinee, training, timer, time_used, item_count,"
        " total_points, reached_points, score, pass_mark, passed)"
        " SELECT 'demo', 'Demo', 1000000 + i, 'Ann', 1, 0, 0, 3, 3, i % 4, (i % 4) * 100.0 / 3, 50,"
        " i % 4 >= 2 FROM n;"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000)"
        " INSERT INTO runs(exam, title, taken, examinee, training, timer, time_used, item_count,"
        " total_points, reached_points, score, pass_mark, passed)"
        " SELECT 'exam' || i, 'Exam ' || i, 1000 + i, 'Bo', 1, 0, 0, 1, 1, 1, 100, 50, 1 FROM n;";
    ASSERT_EQ(sqlite3_exec(sql, fill, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(sql);
    sqlite3_close(sql);

    gint64 start = g_get_monotonic_time();
    menu(menu_item());
    ASSERT_EQ(history_windows().size(), 1u);
    GtkWidget *win = history_windows()[0];
    pump();
    GtkWidget *runs = nullptr;
    for (GtkWidget *t : find_all_of_type(win, GTK_TYPE_TREE_VIEW))
        if (gtk_tree_model_get_n_columns(gtk_tree_view_get_model(GTK_TREE_VIEW(t))) == 6)
            runs = t;
    ASSERT_NE(runs, nullptr);
    EXPECT_EQ(rows(runs, true).size(), 300u);
    EXPECT_EQ(rows(runs, true)[0], "Ann|Training|0.0%|Failed|Timer off") << "the newest first";
    std::vector<std::string> headings;
    for (GtkWidget *l : find_all_of_type(win, GTK_TYPE_LABEL))
        headings.push_back(label_text(l));
    EXPECT_NE(std::find(headings.begin(), headings.end(), "Runs (the newest 300 of 100000)"), headings.end());
    const chart_model *chart = history_chart_model(find_of_type(win, GTK_TYPE_DRAWING_AREA));
    EXPECT_EQ(chart->points.size(), 300u);
    EXPECT_EQ(chart->all_runs, 100000);
    EXPECT_EQ(history_chart_summary(*chart).rfind("The newest 300 of 100000 runs (50000 of them passed), on ", 0), 0u)
        << history_chart_summary(*chart);

    gtk_button_clicked(GTK_BUTTON(find_button(win, "Close")));
    pump();
    EXPECT_TRUE(history_windows().empty());
    gint64 closed = g_get_monotonic_time();
    EXPECT_LT(closed - start, 5 * G_USEC_PER_SEC);
}

// An exam folder whose name isn't UTF-8: the window shows it as the Exam
// menu does (the accessibility layer passes on only UTF-8), and still
// finds its runs and its items by the name as stored.
TEST_F(HistoryTest, AnExamNameThatIsNotUtf8IsShownValidAndItsItemsFound)
{
    const char *name = "caf\xe9";
    exams.write(std::string(name) + "/.xconfig", "title=Caf\xe9 <b>demo</b>\ntimeout=30\npercentage=50\n");
    for (const char *file : {"A", "B", "C"})
        write_question_file(exams / (std::string(name) + "/cat0" + file),
                            std::string("+++\nS1\nItem ") + file + "?\n---\n+Right\n-Wrong\n---\n\n+++\n");
    take_run("Ann", {{"Item A?", 1}, {"Item B?", -1}, {"Item C?", -1}}, true, name);
    menu(menu_item());
    ASSERT_EQ(history_windows().size(), 1u);
    GtkWidget *win = history_windows()[0];
    gchar *shown = gtk_combo_box_get_active_text(GTK_COMBO_BOX(find_of_type(win, GTK_TYPE_COMBO_BOX)));
    ASSERT_NE(shown, nullptr);
    std::string chosen = shown;
    g_free(shown);
    EXPECT_TRUE(g_utf8_validate(chosen.c_str(), -1, nullptr)) << chosen;
    gchar *expected = g_filename_display_name(name);
    EXPECT_EQ(chosen, std::string("Caf\xef\xbf\xbd demo (") + expected + ")");
    g_free(expected);
    std::vector<GtkWidget *> tables = find_all_of_type(win, GTK_TYPE_TREE_VIEW);
    for (GtkWidget *t : tables)
        for (const std::string &row : rows(t, false))
            EXPECT_TRUE(g_utf8_validate(row.c_str(), -1, nullptr)) << row;
    size_t total = 0;
    for (GtkWidget *t : tables)
        total += rows(t, false).size();
    EXPECT_EQ(total, 4u) << "one run, three files";

    gtk_button_clicked(GTK_BUTTON(find_button(win, " Practise Mistakes ")));
    pump();
    EXPECT_EQ(line("This practice"), "This practice run holds 2 items you missed.");
    // Its title too is shown (and read) as UTF-8, its markup kept.
    EXPECT_EQ(line("Caf"), "Caf\xef\xbf\xbd demo");
    EXPECT_STREQ(examname, name);
}

// A class's server away: the run is kept, and the window opens all the
// same and says in a line what waits to be sent and why; once sent, the
// line is gone.
TEST_F(HistoryTest, RunsWaitingForTheServerAreToldInTheWindow)
{
    results_database = "host=/nonexistent port=5432 dbname=trialix";
    start_exam(nullptr, (void *)"demo");
    click(" Start Exam ");
    dialogs.plan(GTK_RESPONSE_YES).plan(GTK_RESPONSE_CLOSE);
    stderr_of([&] { click(" Grade Exam "); });
    click(" End Exam ");
    EXPECT_EQ(kept_count(), 1);
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_NE(dialogs.seen[1].text.find("their results are kept aside"), std::string::npos);
    auto waiting_line = [&]() -> std::string {
        menu(menu_item());
        EXPECT_EQ(history_windows().size(), 1u);
        if (history_windows().empty())
            return "(no window)";
        GtkWidget *win = history_windows()[0];
        std::string shown;
        for (GtkWidget *l : find_all_of_type(win, GTK_TYPE_LABEL))
            if (label_text(l).find("waiting") != std::string::npos ||
                label_text(l).find("reached") != std::string::npos)
                shown = gtk_widget_get_visible(l) ? label_text(l) : "(hidden) " + label_text(l);
        gtk_widget_destroy(win);
        pump();
        return shown;
    };
    std::string line;
    stderr_of([&] { line = waiting_line(); });
    EXPECT_EQ(line.rfind("1 run is waiting to be sent to the results history. The results history "
                         "can't be reached now: ", 0), 0u) << line;
    EXPECT_EQ(dialogs.seen.size(), 2u) << "a server away is no fault to be told again";

    // Back on a history it can reach: the next run sends the kept one first.
    results_database.clear();
    take_run("Bo", {{"Item A?", 1}, {"Item B?", 1}, {"Item C?", 1}});
    EXPECT_EQ(kept_count(), 0);
    EXPECT_EQ(recorded().size(), 2u);
    EXPECT_EQ(waiting_line(), "");
    EXPECT_EQ(history_waiting_line(3, ""), "3 runs are waiting to be sent to the results history.");
}

#ifdef TRIALIX_POSTGRES_TESTS
// The class's server stopped while a run is on the screen: the run is
// graded and kept, and once the server is back the next start sends it;
// a second start finds nothing more to send. Its id is the one made when
// the run began. (The CTest entry postgres_gui.)
TEST_F(HistoryTest, PostgresServerStoppedDuringARunGetsTheRunOnce)
{
    pg_server server;
    ASSERT_TRUE(server.ready) << server.problem;
    ASSERT_TRUE(history_init_db(server.conninfo().c_str(), nullptr));
    ASSERT_EQ(server.exec("CREATE ROLE ann LOGIN IN ROLE trialix_examinee"), "");
    results_database = server.conninfo("ann");

    start_exam(nullptr, (void *)"demo");
    click(" Start Exam ");
    std::string begun = run_current()->uuid;
    ASSERT_TRUE(g_uuid_string_is_valid(begun.c_str()));
    ASSERT_TRUE(server.stop()) << server.problem;
    QP->selected[0] = 1;
    dialogs.plan(GTK_RESPONSE_YES).plan(GTK_RESPONSE_CLOSE);
    stderr_of([&] { click(" Grade Exam "); });
    click(" End Exam ");
    EXPECT_EQ(kept_count(), 1);
    ASSERT_TRUE(server.start()) << server.problem;
    for (int start = 0; start < 2; start++) {
        history_record_waiting();
        pump();
        EXPECT_EQ(kept_count(), 0);
        EXPECT_EQ(server.value("SELECT count(*) || ' ' || min(uuid::text) FROM trialix.runs"), "1 " + begun);
    }
    EXPECT_EQ(server.value("SELECT string_agg(answer, '|' ORDER BY position) FROM trialix.items"),
              "Right\n||");
    std::vector<history_run> runs;
    history_db *db = history_open_read(results_database.c_str(), nullptr);
    EXPECT_TRUE(db && history_runs(db, "demo", true, &runs, 0, nullptr) && runs.size() == 1);
    history_close(db);
    results_database.clear();
}
#endif
