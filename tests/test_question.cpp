// The question record: grading, the list and its counters, the image.
#include <gtest/gtest.h>
#include <glib.h>

#include <cstring>
#include <vector>

#include "bank/question.h"

namespace {

// A record of kind `type` whose slots are `answers`.
question *item(char type, std::vector<const char *> answers, int points = 1)
{
    question *q = new_question();
    q->type = type;
    q->points = (signed char)points;
    for (size_t i = 0; i < answers.size(); i++)
        g_strlcpy(q->answers[i], answers[i], ANSWER_SIZE);
    return q;
}

// Grades q with the choices in `ticked` ticked (and no others).
int grade(question *q, std::vector<int> ticked)
{
    memset(q->selected, 0, sizeof q->selected);
    for (int i : ticked)
        q->selected[i] = 1;
    check_question(q);
    return q->OK;
}

int grade_entry(question *q, const char *entry)
{
    g_strlcpy(q->entry, entry, sizeof q->entry);
    check_question(q);
    return q->OK;
}

} // namespace

TEST(Grading, SingleChoice)
{
    question *q = item('S', {"+Red", "-Blue", "-Green"});
    EXPECT_EQ(grade(q, {0}), OK_RIGHT);
    EXPECT_EQ(grade(q, {}), OK_UNANSWERED);
    EXPECT_EQ(grade(q, {1}), OK_WRONG);
    // Grading keeps no memory: a later change of ticks regrades.
    EXPECT_EQ(grade(q, {0}), OK_RIGHT);
    destroy_list(q);
}

TEST(Grading, MultipleChoiceNeedsAllRightAndNoWrong)
{
    question *q = item('M', {"+Alpha", "+Beta", "-Gamma"});
    EXPECT_EQ(grade(q, {0}), OK_WRONG);
    EXPECT_EQ(grade(q, {0, 1}), OK_RIGHT);
    EXPECT_EQ(grade(q, {0, 1, 2}), OK_WRONG);
    EXPECT_EQ(grade(q, {}), OK_UNANSWERED);
    destroy_list(q);
}

TEST(Grading, ItemWithoutRightChoiceIsNeverRight)
{
    question *q = item('M', {"-One", "-Two"});
    EXPECT_EQ(grade(q, {}), OK_UNANSWERED);
    EXPECT_EQ(grade(q, {0}), OK_WRONG);
    EXPECT_EQ(grade(q, {0, 1}), OK_WRONG);
    destroy_list(q);
}

TEST(Grading, FillInMatchesExactly)
{
    question *q = item('F', {"Paris", "paris"});
    EXPECT_EQ(grade_entry(q, "Paris"), OK_RIGHT);
    EXPECT_EQ(grade_entry(q, "paris"), OK_RIGHT);
    EXPECT_EQ(grade_entry(q, "PARIS"), OK_WRONG);
    EXPECT_EQ(grade_entry(q, " Paris"), OK_WRONG);
    EXPECT_EQ(grade_entry(q, ""), OK_UNANSWERED);
    destroy_list(q);
}

TEST(List, CountersOverUnknownKind)
{
    question *x = item('X', {"+a"}, 3);
    question *s = item('S', {"+a", "-b"}, 2);
    append_question(x, s);
    check_question(x);
    grade(s, {0});
    EXPECT_EQ(x->OK, OK_UNKNOWN_TYPE);
    for (question *from : {x, s}) {
        EXPECT_EQ(get_right_questions(from), 1);
        EXPECT_EQ(get_wrong_questions(from), 0);
        EXPECT_EQ(get_unanswered_questions(from), 0);
        EXPECT_EQ(get_total_points(from), 5);
        EXPECT_EQ(get_correct_points(from), 2);
    }
    destroy_list(s);
}

TEST(List, AnyRecordServesAsTheList)
{
    question *a = item('S', {"+a"}, 1), *b = item('S', {"+a"}, 2), *c = item('S', {"+a"}, 4);
    append_question(a, b);
    append_question(a, c);
    question *d = item('F', {"x"}, 8);
    append_question(b, d);   // handed a middle record: still after the tail
    EXPECT_EQ(c->next, d);
    EXPECT_EQ(d->prev, c);
    EXPECT_EQ(a->prev, nullptr);
    EXPECT_EQ(d->next, nullptr);
    grade(a, {0});
    grade(c, {});
    check_question(d);
    grade_entry(b, "a");   // 'S' grades its ticks, not the entry
    for (question *from : {a, b, c, d}) {
        EXPECT_EQ(get_total_points(from), 15);
        EXPECT_EQ(get_right_questions(from), 1);
        EXPECT_EQ(get_unanswered_questions(from), 3);
        EXPECT_EQ(get_correct_points(from), 1);
    }
    destroy_list(c);

    question *one = item('S', {"+a"}, 7);
    grade(one, {0});
    EXPECT_EQ(get_correct_points(one), 7);
    EXPECT_EQ(get_right_questions(one), 1);
    destroy_list(one);
}

TEST(Image, FieldsStandAtTheirOffsets)
{
    question *q = item('M', {"+first", "-second", "", "", "", "", "-seventh"}, 9);
    q->number = 127;
    q->OK = OK_UNKNOWN_TYPE;
    g_strlcpy(q->text, "question", sizeof q->text);
    g_strlcpy(q->explanation, "because", sizeof q->explanation);
    g_strlcpy(q->entry, "typed", sizeof q->entry);
    q->selected[0] = 1;
    q->selected[6] = 1;
    q->marked = 1;

    std::vector<unsigned char> image(RECORD_SIZE, 0xAA);
    record_to_image(q, image.data());
    EXPECT_EQ(image[0], 'M');
    EXPECT_EQ(image[1], 9);
    EXPECT_EQ(image[2], 127);
    EXPECT_EQ(image[3], 0x85);
    EXPECT_STREQ((const char *)&image[4], "question");
    EXPECT_STREQ((const char *)&image[2052 + 256], "-second");
    EXPECT_STREQ((const char *)&image[2052 + 256 * 6], "-seventh");
    EXPECT_STREQ((const char *)&image[3844], "because");
    EXPECT_EQ(image[5892], 1);
    EXPECT_EQ(image[5898], 1);
    EXPECT_STREQ((const char *)&image[5899], "typed");
    EXPECT_EQ(image[6155], 1);
    for (int i = 6156; i < RECORD_SIZE; i++)
        EXPECT_EQ(image[i], 0) << i;

    question *back = new_question();
    question sentinel;
    back->next = back->prev = &sentinel;
    image[3] = 0xFF;
    record_from_image(image.data(), back);
    EXPECT_EQ(back->OK, OK_WRONG);
    EXPECT_EQ(back->number, 127);
    EXPECT_STREQ(back->answers[6], "-seventh");
    EXPECT_STREQ(back->entry, "typed");
    EXPECT_EQ(back->selected[6], 1);
    EXPECT_EQ(back->marked, 1);
    EXPECT_EQ(back->next, &sentinel);   // links are the reader's own
    EXPECT_EQ(back->prev, &sentinel);
    back->next = back->prev = nullptr;
    destroy_list(back);
    destroy_list(q);
}

TEST(Image, ReaderTerminatesEveryText)
{
    std::vector<unsigned char> image(RECORD_SIZE, 'z');
    question *q = new_question();
    record_from_image(image.data(), q);
    EXPECT_EQ(strlen(q->text), (size_t)TEXT_SIZE - 1);
    EXPECT_EQ(strlen(q->answers[3]), (size_t)ANSWER_SIZE - 1);
    EXPECT_EQ(strlen(q->explanation), (size_t)TEXT_SIZE - 1);
    EXPECT_EQ(strlen(q->entry), (size_t)ANSWER_SIZE - 1);
    destroy_list(q);
}
