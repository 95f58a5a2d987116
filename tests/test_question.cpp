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

} // namespace

TEST(Grading, EachKindByItsRules)
{
    const std::vector<const char *> s = {"+Red", "-Blue", "-Green"}, m = {"+Alpha", "+Beta", "-Gamma"},
                                    f = {"Paris", "paris"};
    struct {
        char type;
        std::vector<const char *> answers;
        std::vector<int> ticked;
        const char *entry;
        int ok;
    } cases[] = {
        {'S', s, {0}, "", OK_RIGHT},
        {'S', s, {}, "Red", OK_UNANSWERED},   // an entry counts only for 'F'
        {'S', s, {1}, "", OK_WRONG},
        {'M', m, {0}, "", OK_WRONG},
        {'M', m, {0, 1}, "", OK_RIGHT},
        {'M', m, {0, 1, 2}, "", OK_WRONG},
        {'M', m, {}, "", OK_UNANSWERED},
        {'M', {"-One", "-Two"}, {}, "", OK_UNANSWERED},   // no right choice: never right
        {'M', {"-One", "-Two"}, {0, 1}, "", OK_WRONG},
        {'F', f, {}, "Paris", OK_RIGHT},
        {'F', f, {}, "paris", OK_RIGHT},
        {'F', f, {}, "PARIS", OK_WRONG},
        {'F', f, {}, " Paris", OK_WRONG},
        {'F', f, {0}, "", OK_UNANSWERED},
        {'X', {"+a"}, {0}, "", OK_UNKNOWN_TYPE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(1, c.type) + " '" + c.entry + "' ticks " + std::to_string(c.ticked.size()));
        question *q = item(c.type, c.answers);
        for (int i : c.ticked)
            q->selected[i] = 1;
        g_strlcpy(q->entry, c.entry, sizeof q->entry);
        q->OK = c.ok == OK_RIGHT ? OK_WRONG : OK_RIGHT;   // grading keeps no memory
        check_question(q);
        EXPECT_EQ(q->OK, c.ok);
        destroy_list(q);
    }
}

TEST(List, AnyRecordServesAsTheListAndUnknownKindsCountOnlyTheirPoints)
{
    question *a = item('S', {"+a"}, 1), *b = item('S', {"+a"}, 2), *c = item('X', {"+a"}, 4);
    append_question(a, b);
    append_question(a, c);
    question *d = item('F', {"x"}, 8);
    append_question(b, d);   // handed a middle record: still after the tail
    EXPECT_TRUE(c->next == d && d->prev == c && !a->prev && !d->next);
    a->selected[0] = 1;
    g_strlcpy(b->entry, "a", sizeof b->entry);   // 'S' grades its ticks, not the entry
    for (question *q : {a, b, c, d})
        check_question(q);
    for (question *from : {a, b, c, d}) {
        EXPECT_EQ(list_length(from), 4);
        EXPECT_EQ(get_total_points(from), 15);
        EXPECT_EQ(get_right_questions(from), 1);
        EXPECT_EQ(get_wrong_questions(from), 0);
        EXPECT_EQ(get_unanswered_questions(from), 2);
        EXPECT_EQ(get_correct_points(from), 1);
    }
    d->selected[0] = 1;
    g_strlcpy(d->entry, "x", sizeof d->entry);
    b->selected[0] = 1;
    check_question(b);
    check_question(d);
    EXPECT_EQ(get_correct_points(c), 11);
    destroy_list(c);
}

TEST(Image, FieldsStandAtTheirOffsets)
{
    question *q = item('M', {"+first", "-second", "", "", "", "", "-seventh"}, 9);
    q->number = 127;
    q->OK = OK_UNKNOWN_TYPE;
    g_strlcpy(q->text, "question", sizeof q->text);
    g_strlcpy(q->explanation, "because", sizeof q->explanation);
    g_strlcpy(q->entry, "typed", sizeof q->entry);
    q->selected[0] = q->selected[6] = q->marked = 1;

    std::vector<unsigned char> image(RECORD_SIZE, 0xAA);
    record_to_image(q, image.data());
    auto text = [&](size_t offset) { return std::string((const char *)&image[offset]); };
    EXPECT_EQ(std::string((const char *)image.data(), 4), "M\x09\x7f\x85");
    EXPECT_EQ(text(4) + "|" + text(2052 + 256) + "|" + text(2052 + 256 * 6) + "|" + text(3844) + "|"
                  + text(5899), "question|-second|-seventh|because|typed");
    EXPECT_EQ(std::string((const char *)&image[5892], 7), std::string("\1\0\0\0\0\0\1", 7));
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
    EXPECT_TRUE(back->selected[6] && back->marked);
    EXPECT_TRUE(back->next == &sentinel && back->prev == &sentinel);   // links are the reader's own
    back->next = back->prev = nullptr;

    // Every text is terminated within its field.
    std::fill(image.begin(), image.end(), 'z');
    record_from_image(image.data(), back);
    EXPECT_EQ(strlen(back->text) + strlen(back->explanation), 2u * (TEXT_SIZE - 1));
    EXPECT_EQ(strlen(back->answers[3]) + strlen(back->entry), 2u * (ANSWER_SIZE - 1));
    destroy_list(back);
    destroy_list(q);
}
