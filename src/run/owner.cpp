#include "run/owner.h"

#include "app/globals.h"
#include "app/timer.h"
#include "bank/question.h"
#include "saved/recovery.h"

void run_begin(question *list, bool timed)
{
    trialix_stop_timer();
    question *head = list_head(list);
    if (QP && QP != head) {
        recovery_list_dropped(QP);
        destroy_list(QP);
    }
    QP = head;
    if (timed && QP)
        trialix_start_timer(nullptr, QP);
}

void run_start(question *list, bool timed)
{
    run_begin(list, timed);
    recovery_run_started();
}

void run_graded(void)
{
    recovery_run_over();
    exam_ended = 1;
    seconds = 1;
    trialix_stop_timer();
}

void run_end(void)
{
    recovery_run_over();
    recovery_list_dropped(QP);
    trialix_stop_timer();
    destroy_list(QP);
    QP = nullptr;
}
