#include "run/callback.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/navigator.h"
#include "app/trialix.h"
#include "bank/exam_list.h"
#include "bank/question.h"
#include "bank/tools.h"
#include "run/answer.h"
#include "run/item_page.h"
#include "run/owner.h"

// ---- Bindings ----

static void *binding_alloc(size_t size, const char *who)
{
    void *p = malloc(size);
    if (!p) {
        fprintf(stderr, "[%s:malloc] Out of memory\n", who);
        exit(1);
    }
    return p;
}

mc_data *new_mc_data(int index, question *item)
{
    auto *d = static_cast<mc_data *>(binding_alloc(sizeof(mc_data), "new_mc_data"));
    d->index = (unsigned char)index;
    d->item = item;
    return d;
}

entry_data *new_entry_data(GtkWidget *entry, question *item)
{
    auto *d = static_cast<entry_data *>(binding_alloc(sizeof(entry_data), "new_entry_data"));
    d->entry = entry;
    d->item = item;
    return d;
}

void free_binding(void *binding, GClosure *)
{
    free(binding);
}

// ---- Start form ----

// A run numbers its items in one signed byte, and a saved exam stores their
// count in one: more question files than that can't make a run.
static void too_many_files(int count)
{
    std::string text = "This exam has " + std::to_string(count) +
                       " question files.\n\nA run can hold at most " +
                       std::to_string(MAX_RUN_ITEMS) +
                       " items, so this exam can't be started.\n\n";
    run_message_dialog(main_window, GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE, nullptr,
                       text.c_str());
}

void cb_start(GtkWidget *, void *)
{
    std::optional<std::string> dir = join_path(examdir, examname, nullptr);
    int files = dir ? count_files(dir->c_str(), prefix) : 0;
    // Refused before the menus go: the start form stays as it was, with a
    // usable Exam menu to choose another exam.
    if (files > MAX_RUN_ITEMS) {
        too_many_files(files);
        return;
    }
    disable_exam_menus();

    question *list = nullptr;
    std::vector<item_origin> origins;
    if (dir) {
        std::vector<std::string> names = filename_list(dir->c_str(), prefix);
        std::vector<int> order = create_random_list((int)names.size());
        std::vector<left_out_file> left_out;
        exam_options options = read_exam_options(examdir, examconfig, examname);
        list = create_exam_list(order, (int)order.size(), dir->c_str(), names,
                                options.shuffle ? choice_order::shuffled : choice_order::as_written,
                                &origins, &left_out, nullptr);
        for (const left_out_file &f : left_out) {
            if (!f.load_failure.empty())
                printf("%s\n", f.load_failure.c_str());
            fprintf(stderr, "%s\n", f.why.c_str());
        }
    }
    start_drawn_run(list, origins,
                    "No question file of this exam holds an item, so it can't be started.\n\n");
}

void start_drawn_run(question *list, const std::vector<item_origin> &origins,
                     const char *failure)
{
    if (!list) {
        fputs("Error\n", stderr);
        // Nothing of an earlier run may be left for Save Exam to write
        // under this exam's name.
        run_end();
        // The line on standard error is all a user would otherwise get.
        run_message_dialog(main_window, GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE, nullptr, failure);
        return;
    }
    // A list still held here belongs to no screen any more (a resumed exam
    // whose form was left for this one); the owner frees it.
    run_start(list, enableTimer == 1, origins);
    // Files that yield no item are left out of the run.
    num_questions = list_length(QP);
    createExamForm(QP);
}

void cb_cancel(GtkWidget *, void *)
{
    screen_empty();
}

void cb_load_start(GtkWidget *, void *)
{
    disable_exam_menus();
    if (!QP) {
        fputs("Error\n", stderr);
        return;
    }
    run_start(QP, enableTimer == 1);
    createExamForm(QP);
}

// ---- Item form ----

void next_form(GtkWidget *, void *item)
{
    auto *q = static_cast<question *>(item);
    if (!q)
        return;
    if (q->prev)
        run_check(q->prev);
    createExamForm(q);
    run_changed();
}

void prev_form(GtkWidget *, void *item)
{
    auto *q = static_cast<question *>(item);
    if (!q)
        return;
    if (q->next)
        run_check(q->next);
    createExamForm(q);
    run_changed();
}

void cb_review(GtkWidget *, void *item)
{
    auto *q = static_cast<question *>(item);
    run_check(q);
    show_screen(SCREEN_REVIEW, q);
    run_changed();
}

void cb_grade(GtkWidget *, void *item)
{
    question *head = list_head(static_cast<question *>(item));
    if (!head)
        return;
    for (question *r = head; r; r = r->next)
        run_check(r);
    int unanswered = get_unanswered_questions(head);
    int response = unanswered > 0 ? unanswered_dialog(unanswered) : realend_dialog();
    if (response == GTK_RESPONSE_YES)
        show_screen(SCREEN_REPORT, head);
}

void answer(GtkWidget *, void *item)
{
    showAnswer(static_cast<question *>(item));
}

// The flags follow their buttons: a flag flipped on each toggle would go
// wrong for good once it disagreed with its button (a radio group shows one
// tick however many flags a record holds).
static char toggle_state(GtkWidget *button)
{
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button)) ? 1 : 0;
}

void setRevBut(GtkWidget *button, void *item)
{
    static_cast<question *>(item)->marked = toggle_state(button);
    run_changed();
}

void setMCBut(GtkWidget *button, void *binding)
{
    auto *b = static_cast<mc_data *>(binding);
    b->item->selected[b->index] = toggle_state(button);
    run_changed();
}

void setEntryBut(GtkWidget *, void *binding)
{
    auto *b = static_cast<entry_data *>(binding);
    utf8_strlcpy(b->item->entry, gtk_entry_get_text(GTK_ENTRY(b->entry)), sizeof b->item->entry);
    run_changed();
}
