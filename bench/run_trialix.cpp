// A whole run as an examinee makes it, for the peak memory of the process:
// Trialix's start-up, the exam of 127 question files chosen from the
// catalogue and started, every item answered and left with " Next Item ",
// the exam graded and the score report shown. Prints the resident memory
// at each stage and the items answered.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "assemble.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bench/bench_data.h"
#include "bench/gui.h"

namespace {

// The catalogue item that starts `exam`.
GtkWidget *catalogue_item(const char *exam)
{
    std::string label = std::string("  Start Practice Exam ") + exam + " ";
    GList *items = gtk_container_get_children(GTK_CONTAINER(exammenu));
    GtkWidget *found = nullptr;
    for (GList *i = items; i && !found; i = i->next) {
        GtkWidget *child = gtk_bin_get_child(GTK_BIN(i->data));
        if (child && GTK_IS_LABEL(child) && label == gtk_label_get_text(GTK_LABEL(child)))
            found = GTK_WIDGET(i->data);
    }
    g_list_free(items);
    return found;
}

// Answers the grading question with Yes once it is open.
gboolean answer_yes(gpointer)
{
    GList *windows = gtk_window_list_toplevels();
    bool answered = false;
    for (GList *w = windows; w && !answered; w = w->next)
        if (GTK_IS_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data))) {
            gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_YES);
            answered = true;
        }
    g_list_free(windows);
    return answered ? FALSE : TRUE;
}

// Answers the item on show: the first choice ticked, or the entry filled;
// every fifth item is marked for review.
void answer_item(int n)
{
    GtkWidget *mark = bench::find_button(frame, "Mark Item for Review");
    if (GtkWidget *entry = bench::find_of_type(frame, GTK_TYPE_ENTRY))
        gtk_entry_set_text(GTK_ENTRY(entry), "an answer");
    else if (GtkWidget *choice = bench::find_of_type(frame, GTK_TYPE_TOGGLE_BUTTON, mark))
        gtk_button_clicked(GTK_BUTTON(choice));
    if (n % 5 == 0 && mark)
        gtk_button_clicked(GTK_BUTTON(mark));
    bench::settle();
}

// VmHWM and VmRSS of the process, in kB.
void memory_kb(long *peak, long *now)
{
    *peak = *now = -1;
    if (FILE *f = fopen("/proc/self/status", "r")) {
        char line[256];
        while (fgets(line, sizeof line, f)) {
            if (strncmp(line, "VmHWM:", 6) == 0)
                *peak = strtol(line + 6, nullptr, 10);
            if (strncmp(line, "VmRSS:", 6) == 0)
                *now = strtol(line + 6, nullptr, 10);
        }
        fclose(f);
    }
}

// Where the memory went: one line per stage of the run.
void stage(const char *what)
{
    long peak, now;
    memory_kb(&peak, &now);
    printf("%-28s resident %6ld kB, peak %6ld kB\n", what, now, peak);
}

int fail(const char *what)
{
    fprintf(stderr, "bench_run: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    trialix_assemble();
    trialix_start(&argc, &argv);
    bench::wait_for_map(main_window);
    stage("main window mapped:");

    GtkWidget *item = catalogue_item(bench::RUN_EXAM);
    if (!item)
        return fail("the exam is not in the catalogue");
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    bench::settle();
    GtkWidget *start = bbox ? bench::find_button(bbox, " Start Exam ") : nullptr;
    if (!start)
        return fail("no start form");
    gtk_button_clicked(GTK_BUTTON(start));
    bench::settle();
    stage("run assembled, item 1:");

    int answered = 0;
    for (;;) {
        answer_item(++answered);
        GtkWidget *next = bench::find_button(bbox, " Next Item ");
        if (!next)
            break;
        gtk_button_clicked(GTK_BUTTON(next));
        bench::settle();
    }
    stage("last item answered:");
    GtkWidget *grade = bench::find_button(bbox, " Grade Exam ");
    if (!grade)
        return fail("no Grade Exam button");
    g_timeout_add(20, answer_yes, nullptr);
    gtk_button_clicked(GTK_BUTTON(grade));
    bench::settle();
    if (!bench::find_button(bbox, " End Exam "))
        return fail("no score report");

    stage("score report:");
    printf("items answered: %d of %d\n", answered, num_questions);
    return answered == num_questions ? 0 : 1;
}
