#include "bank/question.h"

#include <glib.h>

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

static bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

std::string lenient_form(const char *text)
{
    gchar *nfc = g_utf8_normalize(text, -1, G_NORMALIZE_NFC);
    gchar *folded = nfc ? g_utf8_casefold(nfc, -1) : nullptr;
    // Folding can undo the composition (a capital with a combining mark).
    gchar *again = folded ? g_utf8_normalize(folded, -1, G_NORMALIZE_NFC) : nullptr;
    std::string out;
    bool gap = false;
    for (const char *p = again ? again : text; *p; p++) {
        if (is_blank(*p)) {
            gap = !out.empty();
            continue;
        }
        if (gap)
            out += ' ';
        gap = false;
        out += *p;
    }
    g_free(again);
    g_free(folded);
    g_free(nfc);
    return out;
}

bool answer_matches(const char *typed, const char *accepted, answer_compare compare)
{
    if (compare == answer_compare::exact)
        return accepted[0] != '\0' && strcmp(typed, accepted) == 0;
    std::string want = lenient_form(accepted);
    return !want.empty() && lenient_form(typed) == want;
}

void check_question(question *q, answer_compare compare)
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
    case answer_form::typed: {
        // Blanks alone are nothing typed, when blanks don't count.
        bool empty = compare == answer_compare::exact ? q->entry[0] == '\0'
                                                      : lenient_form(q->entry).empty();
        if (empty) {
            q->OK = OK_UNANSWERED;
            break;
        }
        q->OK = OK_WRONG;
        for (int i = 0; i < NUM_ANSWERS; i++)
            if (answer_matches(q->entry, q->answers[i], compare))
                q->OK = OK_RIGHT;
        break;
    }
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

