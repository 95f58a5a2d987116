// Choices drawn in a random order, items that keep theirs, the exam keys
// that ask for it, and typed answers compared leniently.
#include <algorithm>
#include <map>
#include <set>

#include "bank/exam_list.h"
#include "bank/history.h"
#include "bank/item_text.h"
#include "bank/tools.h"
#include "test_util.h"

namespace {

// The '+' choice's slot in q; -1 when there is none.
int right_at(const question *q)
{
    for (int i = 0; i < NUM_ANSWERS; i++)
        if (q->answers[i][0] == '+')
            return i;
    return -1;
}

std::string slots(const question *q)
{
    std::string s;
    for (const char *a : q->answers)
        s += std::string(a) + "|";
    return s;
}

} // namespace

TEST(ChoiceOrder, ShuffledPositionsAreUniformAndKeptItemsNeverMove)
{
    TempDir dir;
    write_question_file(dir / "cat1", "+++\nS1\nPick\n---\n+Right\n-Two\n-Three\n-Four\n---\n\n+++\n");
    write_question_file(dir / "cat2", "+++\nM2 keep-order\nAll?\n---\n+A\n-B\n+All of the above\n---\n\n+++\n");
    write_question_file(dir / "cat3", "+++\nF\nType\n---\nB\nA\n---\n\n+++\n");
    std::vector<std::string> names = {"cat1", "cat2", "cat3"};
    random_seed(20261207);
    const int draws = 10000;
    int at[4] = {0};
    std::map<std::string, int> orders;
    for (int run = 0; run < draws; run++) {
        question_list list(create_exam_list({0, 1, 2}, 3, dir.path().c_str(), names,
                                            choice_order::shuffled, nullptr, nullptr, nullptr));
        question *s = list.get(), *kept = s->next, *typed = kept->next;
        ASSERT_TRUE(right_at(s) >= 0 && right_at(s) < 4) << slots(s);
        at[right_at(s)]++;
        orders[slots(s)]++;
        ASSERT_EQ(slots(kept), "+A|-B|+All of the above|||||");
        ASSERT_EQ(slots(typed), "B|A||||||");
        ASSERT_EQ(kept->points, 2);
    }
    // Chi-square with 3 degrees of freedom: above 16.27 has p < 0.001.
    double chi2 = 0, expected = draws / 4.0;
    for (int n : at)
        chi2 += (n - expected) * (n - expected) / expected;
    EXPECT_LT(chi2, 16.27) << at[0] << " " << at[1] << " " << at[2] << " " << at[3];
    EXPECT_EQ(orders.size(), 24u);   // every order of the four, not only rotations

    // Without the key every choice stays where the author wrote it.
    for (int run = 0; run < 20; run++) {
        question_list list(create_exam_list({0}, 1, dir.path().c_str(), names, choice_order::as_written,
                                            nullptr, nullptr, nullptr));
        ASSERT_EQ(slots(list.get()), "+Right|-Two|-Three|-Four||||");
    }
    // A practice run draws an order of its own for each item too.
    std::set<std::string> practised;
    for (int run = 0; run < 50; run++) {
        question_list list(create_practice_list({{"cat1", 1, "", 1, 1}, {"cat2", 1, "", 1, 1}}, dir.path().c_str(),
                                                choice_order::shuffled, nullptr, nullptr, nullptr));
        ASSERT_EQ(list_length(list.get()), 2);
        practised.insert(slots(list.get()));
        ASSERT_EQ(slots(list->next), "+A|-B|+All of the above|||||");
    }
    EXPECT_GT(practised.size(), 1u);
    // The same seed draws the same order again.
    std::string first[2];
    for (std::string &order : first) {
        random_seed(7);
        question_list q(read_question(1, (dir / "cat1").c_str(), choice_order::shuffled, nullptr));
        order = slots(q.get());
    }
    EXPECT_EQ(first[0], first[1]);
}

TEST(ChoiceOrder, EmptySlotsStayAndKeepOrderIsAWordOfItsOwn)
{
    random_seed(3);
    question *q = make_item('S', 1, {"+a", "", "-b", "-c"});
    for (int i = 0; i < 50; i++) {
        shuffle_choices(q);
        ASSERT_EQ(q->answers[1][0], '\0');
        ASSERT_EQ(q->answers[4][0], '\0');
    }
    destroy_list(q);

    struct {
        const char *head;
        bool keeps;
    } cases[] = {
        {"S2 keep-order", true},  {"S keep-order", true},      {"M3 keep-order\r", true},
        {"S2 x keep-order", true}, {"S2\tkeep-order y", true}, {"Skeep-order", false},
        {"S2keep-order", false},  {"S2 keep-orders", false},   {"S2 no-keep-order", false},
        {"S2", false},            {"S", false},
    };
    for (const auto &c : cases) {
        std::string text = std::string("+++\n") + c.head + "\nQ\n---\n+a\n-b\n---\n\n+++\n";
        item_index index = index_items(text.data(), text.size());
        EXPECT_EQ(item_keeps_order(text.data(), text.size(), index, 1), c.keeps) << c.head;
        question_list parsed(new_question());
        parse_item(text.data(), text.size(), index, 1, parsed.get());
        EXPECT_EQ(parsed->type, c.head[0]) << c.head;   // the head reads as it did
    }
}

TEST(ExamConfig, ShuffleAndCompareKeys)
{
    TempDir root;
    struct {
        std::string config;
        bool shuffle, lenient, shuffle_known, compare_known;
    } cases[] = {
        {"title=T\n", false, false, false, false},
        {"shuffle=yes\ncompare=lenient\n", true, true, true, true},
        {"shuffle = yes\ncompare=exact\n", false, false, false, true},
        {"shuffle=  yes \r\ncompare=no\n", true, false, true, false},
        {"shuffle=no\nshuffle=yes\ncompare=Lenient\n", false, false, true, false},
        {"shuffled=yes\ncompare\n", false, false, false, false},
        // A message's lines are its own.
        {"[message]\ncompare=lenient\nshuffle=yes\n", false, false, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.config);
        write_file(root / "x.conf", c.config);
        exam_config config;
        ASSERT_TRUE(read_exam_config((root / "x.conf").c_str(), &config, nullptr));
        EXPECT_EQ(config_shuffles(config), c.shuffle);
        EXPECT_EQ(config_comparison(config) == answer_compare::lenient, c.lenient);
        EXPECT_EQ(config.shuffle.known, c.shuffle_known);
        EXPECT_EQ(config.compare.known, c.compare_known);
    }
    // An exam that can't be read (gone since a run was saved) runs as
    // written and compares byte for byte.
    bool found = true;
    exam_options none = read_exam_options(root.path().c_str(), ".xconfig", "gone", &found);
    EXPECT_FALSE(found || none.shuffle || none.compare != answer_compare::exact);
}

TEST(Grading, LenientComparisonAndExactWithoutTheKey)
{
    const std::string nfc = "Z\xc3\xbcrich", nfd = "Zu\xcc\x88rich";
    struct {
        std::vector<std::string> accepted;
        std::string typed;
        int lenient, exact;
    } cases[] = {
        {{"Paris"}, "Paris", OK_RIGHT, OK_RIGHT},
        {{"Paris"}, "paris", OK_RIGHT, OK_WRONG},
        {{"Paris"}, " Paris  ", OK_RIGHT, OK_WRONG},
        {{"Paris"}, "PARIS", OK_RIGHT, OK_WRONG},
        {{"Paris"}, "Pari", OK_WRONG, OK_WRONG},
        {{"Paris"}, "P aris", OK_WRONG, OK_WRONG},
        {{nfc}, nfd, OK_RIGHT, OK_WRONG},
        {{nfd}, nfc, OK_RIGHT, OK_WRONG},
        {{"Stra\xc3\x9f" "e"}, "STRASSE", OK_RIGHT, OK_WRONG},
        {{"New  York"}, "new york", OK_RIGHT, OK_WRONG},
        {{"New York"}, "New\t \tYork ", OK_RIGHT, OK_WRONG},
        {{"ls -l", "Paris"}, "paris", OK_RIGHT, OK_WRONG},
        // Blanks alone are nothing typed; an empty slot matches nothing.
        {{"Paris", ""}, "   ", OK_UNANSWERED, OK_WRONG},
        {{"Paris", "  "}, " ", OK_UNANSWERED, OK_WRONG},
        {{"Paris"}, "", OK_UNANSWERED, OK_UNANSWERED},
        // Bytes that aren't UTF-8 are compared as they are, blanks aside.
        {{"caf\xe9"}, " caf\xe9", OK_RIGHT, OK_WRONG},
        {{"caf\xe9"}, "CAF\xe9", OK_WRONG, OK_WRONG},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("'" + c.typed + "'");
        question *q = make_item('F', 1, c.accepted);
        g_strlcpy(q->entry, c.typed.c_str(), sizeof q->entry);
        check_question(q, answer_compare::lenient);
        EXPECT_EQ(q->OK, c.lenient);
        check_question(q);
        EXPECT_EQ(q->OK, c.exact);
        destroy_list(q);
    }
}
