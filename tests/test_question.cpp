// Grading a question record. (The counters over a list are the score
// report's tests' part, its image the saved file tests'.)
#include "test_util.h"

TEST(Grading, EachKindByItsRules)
{
    const std::vector<std::string> s = {"+Red", "-Blue", "-Green"}, m = {"+Alpha", "+Beta", "-Gamma"},
                                   f = {"Paris", "paris"};
    struct {
        char type;
        std::vector<std::string> answers;
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
        question *q = make_item(c.type, 1, c.answers);
        for (int i : c.ticked)
            q->selected[i] = 1;
        g_strlcpy(q->entry, c.entry, sizeof q->entry);
        q->OK = c.ok == OK_RIGHT ? OK_WRONG : OK_RIGHT;   // grading keeps no memory
        check_question(q);
        EXPECT_EQ(q->OK, c.ok);
        destroy_list(q);
    }
}

// The kind table: each letter names one kind and comes back from it; no
// other letter is a kind (a saved file's header record is 'H'). What the
// item form says and how each kind is answered are the table's.
TEST(ItemKinds, EachLetterIsOneKindAndNoOtherLetterIsAny)
{
    const struct {
        char letter;
        item_kind kind;
        answer_form answer;
        bool one_tick;
        const char *instruction;
    } kinds[] = {
        {'S', item_kind::single, answer_form::choices, true, "Select the best answer."},
        {'M', item_kind::multiple, answer_form::choices, false, "Select every correct answer."},
        {'F', item_kind::fill_in, answer_form::typed, false, "Fill in the right answer."},
    };
    for (const auto &k : kinds) {
        SCOPED_TRACE(std::string(1, k.letter));
        const item_kind_info *row = kind_of_letter(k.letter);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->kind, k.kind);
        EXPECT_EQ(row->answer, k.answer);
        EXPECT_EQ(row->one_tick, k.one_tick);
        EXPECT_STREQ(row->instruction, k.instruction);
        EXPECT_EQ(kind_info(k.kind).letter, k.letter);
        EXPECT_EQ(kind_has_choices(k.letter), k.answer == answer_form::choices);
        EXPECT_EQ(kind_is_typed(k.letter), k.answer == answer_form::typed);
    }
    for (char other : {'H', 's', 'm', 'f', 'X', ' ', '\0', '\xff'}) {
        EXPECT_EQ(kind_of_letter(other), nullptr) << (int)other;
        EXPECT_FALSE(kind_has_choices(other) || kind_is_typed(other)) << (int)other;
    }
    EXPECT_STREQ(kind_letters(), "S, M or F");
}
