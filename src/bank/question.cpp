#include "bank/question.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- Record and list ----

question *new_question(void)
{
    question *q = (question *)calloc(1, sizeof(question));
    if (!q) {
        fputs("[new_question:malloc] Out of memory\n", stderr);
        exit(1);
    }
    return q;
}

void append_question(question *list, question *q)
{
    if (!list || !q)
        return;
    while (list->next)
        list = list->next;
    list->next = q;
    q->prev = list;
}

question *list_head(question *q)
{
    while (q && q->prev)
        q = q->prev;
    return q;
}

const question *list_head(const question *q)
{
    return list_head(const_cast<question *>(q));
}

void append_to(question **head, question **tail, question *q)
{
    if (*tail)
        append_question(*tail, q);
    else
        *head = q;
    *tail = q;
}

question *next_qualifying(question *r, bool (*qualifies)(const question *))
{
    for (r = r ? r->next : nullptr; r; r = r->next)
        if (qualifies(r))
            return r;
    return nullptr;
}

question *prev_qualifying(question *r, bool (*qualifies)(const question *))
{
    for (r = r ? r->prev : nullptr; r; r = r->prev)
        if (qualifies(r))
            return r;
    return nullptr;
}

void destroy_list(question *q)
{
    q = list_head(q);
    while (q) {
        question *next = q->next;
        free(q);
        q = next;
    }
}

int list_length(const question *q)
{
    int n = 0;
    for (q = list_head(q); q; q = q->next)
        n++;
    return n;
}

void check_question(question *q)
{
    const item_kind_info *kind = kind_of_letter(q->type);
    if (!kind) {
        q->OK = OK_UNKNOWN_TYPE;
        return;
    }
    switch (kind->answer) {
    case answer_form::choices: {
        bool answered = false, right = true;
        for (int i = 0; i < NUM_ANSWERS; i++) {
            bool ticked = q->selected[i] != 0;
            answered = answered || ticked;
            char mark = q->answers[i][0];
            if ((mark == '+' && !ticked) || (mark == '-' && ticked))
                right = false;
        }
        q->OK = !answered ? OK_UNANSWERED : right ? OK_RIGHT : OK_WRONG;
        break;
    }
    case answer_form::typed:
        if (q->entry[0] == '\0') {
            q->OK = OK_UNANSWERED;
            break;
        }
        q->OK = OK_WRONG;
        for (int i = 0; i < NUM_ANSWERS; i++)
            if (strcmp(q->entry, q->answers[i]) == 0)
                q->OK = OK_RIGHT;
        break;
    }
}

// Sum over the whole list of what `value` gives for each record.
template <typename Value>
static int sum_list(question *q, Value value)
{
    int sum = 0;
    for (q = list_head(q); q; q = q->next)
        sum += value(q);
    return sum;
}

int get_right_questions(question *q)
{
    return sum_list(q, [](question *r) { return r->OK == OK_RIGHT ? 1 : 0; });
}

int get_wrong_questions(question *q)
{
    return sum_list(q, [](question *r) { return r->OK == OK_WRONG ? 1 : 0; });
}

int get_unanswered_questions(question *q)
{
    return sum_list(q, [](question *r) { return r->OK == OK_UNANSWERED ? 1 : 0; });
}

int get_total_points(question *q)
{
    return sum_list(q, [](question *r) { return (int)r->points; });
}

int get_correct_points(question *q)
{
    return sum_list(q, [](question *r) { return r->OK == OK_RIGHT ? (int)r->points : 0; });
}

