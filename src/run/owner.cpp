#include "run/owner.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/globals.h"
#include "app/timer.h"
#include "bank/question.h"
#include "bank/tools.h"

namespace {

std::vector<std::pair<run_observer, void *>> observers;
run_record current;

void tell(run_event event)
{
    // A copy: an observer may come or go while it is told.
    auto told = observers;
    for (auto &o : told)
        o.first(event, &current, o.second);
}

// The record always describes QP. Only a test sets QP behind the owner's
// back; the run it held then ends for the observers, its list untouched.
void follow_qp(void)
{
    if (current.list == QP)
        return;
    if (current.list)
        tell(RUN_ENDED);
    current = run_record();
    current.list = QP;
}

// Makes `head` the held list, ending and freeing the one held before.
void hold(question *head)
{
    follow_qp();
    if (QP == head)
        return;
    if (QP) {
        tell(RUN_ENDED);
        destroy_list(QP);
    }
    QP = head;
    current = run_record();
    current.list = head;
    if (!head)
        return;
    bool found = false;
    current.compare = read_exam_options(examdir, examconfig, examname, &found).compare;
    bool typed = false;
    for (question *r = head; r; r = r->next)
        typed = typed || kind_is_typed(r->type);
    // A saved exam whose exam is gone or unreadable is graded byte for
    // byte: that never takes for right an answer its author didn't write.
    if (!found && typed)
        fprintf(stderr, "%s: the exam configuration file can't be read; typed answers are "
                        "compared exactly\n", examname);
}

} // namespace

void run_observe(run_observer observer, void *data)
{
    auto entry = std::make_pair(observer, data);
    if (std::find(observers.begin(), observers.end(), entry) == observers.end())
        observers.push_back(entry);
}

void run_unobserve(run_observer observer, void *data)
{
    observers.erase(std::remove(observers.begin(), observers.end(), std::make_pair(observer, data)),
                    observers.end());
}

void run_hold(question *list)
{
    trialix_stop_timer();
    hold(list_head(list));
}

void run_start(question *list, bool timed, const std::vector<item_origin> &origins)
{
    trialix_stop_timer();
    hold(list_head(list));
    if (QP && !current.begun) {
        current.begun = true;
        current.origins = origins;
        gchar *id = g_uuid_string_random();
        current.uuid = id;
        g_free(id);
        tell(RUN_BEGUN);
    }
    if (timed && QP)
        trialix_start_timer(nullptr, QP);
}

void run_changed(void)
{
    follow_qp();
    if (current.begun)
        tell(RUN_CHANGED);
}

void run_graded(void)
{
    follow_qp();
    exam_ended = 1;
    seconds = 1;
    trialix_stop_timer();
    if (!current.graded) {
        current.graded = true;
        tell(RUN_GRADED);
    }
}

void run_end(void)
{
    follow_qp();
    trialix_stop_timer();
    tell(RUN_ENDED);
    destroy_list(QP);
    QP = nullptr;
    current = run_record();
}

void run_check(question *q)
{
    check_question(q, run_current()->compare);
}

run_record *run_current(void)
{
    follow_qp();
    return &current;
}

void run_forget(void)
{
    QP = nullptr;
    current = run_record();
}
