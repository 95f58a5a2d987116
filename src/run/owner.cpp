#include "run/owner.h"

#include "app/globals.h"
#include "app/timer.h"
#include "bank/question.h"

void run_begin(question *list, bool timed)
{
    trialix_stop_timer();
    question *head = list_head(list);
    if (QP && QP != head)
        destroy_list(QP);
    QP = head;
    if (timed && QP)
        trialix_start_timer(nullptr, QP);
}

void run_graded(void)
{
    exam_ended = 1;
    seconds = 1;
    trialix_stop_timer();
}

void run_end(void)
{
    trialix_stop_timer();
    destroy_list(QP);
    QP = nullptr;
}
