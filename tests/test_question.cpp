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
