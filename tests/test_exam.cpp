// Exam configuration, question file lists, the random order and the
// assembly of a run.
#include <algorithm>
#include <set>

#include "bank/tools.h"
#include "test_util.h"

using namespace testing::internal;

namespace {

// A question file whose every item names the file it comes from.
std::string items_naming(const std::string &name, int count)
{
    std::string text = "+++\n";
    for (int i = 1; i <= count; i++)
        text += "F\n" + name + "\n---\n" + std::to_string(i) + "\n---\n\n+++\n";
    return text;
}

// What the four readers make of the exam `name`: timeout, pass mark,
// title ("(none)" when the file can't be opened) and message.
std::string config_of(const std::string &root, const char *name)
{
    const char *r = root.c_str(), *c = ".xconfig";
    std::string read_title;
    std::optional<std::string> title;
    if (getExamTitle(r, c, name, &read_title, nullptr))
        title = read_title;
    return std::to_string(getTimeout(r, c, name)) + "|" + std::to_string(getPercentage(r, c, name)) + "|"
           + title.value_or("(none)") + "|" + getExamMessage(r, c, name);
}

} // namespace

TEST(ExamConfig, KeyRules)
{
    TempDir root;
    root.mkdir("net");
    EXPECT_EQ(config_of(root.path(), "net"), "0|0|(none)|UNKNOWN");

    std::string e_acute = repeat("\xc3\xa9", 200);
    std::string message = "[message]\n" + repeat(std::string(300, 'm') + "\n", 8);
    struct {
        std::string config, read;
    } cases[] = {
        {"title=Networking basics\ntimeout=90\npercentage=75\n"
         "[message]\nYou have <b>90 minutes</b>.\nGood luck!\n",
         "90|75|Networking basics|You have <b>90 minutes</b>.\nGood luck!"},
        // Only the first line that begins with a key counts, and only as key=number.
        {"timeout = 90\ntimeout=45\npercentage=50x\n", "0|50|UNKNOWN|"},
        {"timeouts=5\ntimeout=45\npercentage= 50\n", "0|0|UNKNOWN|"},
        {"timeout=99999999999\npercentage=-1\n", "0|-1|UNKNOWN|"},
        {"title=  spaced\n", "0|0|  spaced|"},
        {"title=a=b\ntitle=second\n", "0|0|a=b|"},
        {"title without equals\ntitle=later\n", "0|0|UNKNOWN|"},
        {"title=Windows line\r\n[message]\r\nfirst\r\nsecond\r\n", "0|0|Windows line|first\nsecond"},
        // The last [message] line starts the message; keys after it still count.
        {"[message]\ndropped\n[message]\npercentage=50\nlast line", "0|50|UNKNOWN|percentage=50\nlast line"},
        // The tail of a long line never passes for a line of its own.
        {"title=" + std::string(300, 'x') + "timeout=5\n", "0|0|" + std::string(255, 'x') + "|"},
        // Over their width: cut whole, on a character boundary.
        {"title=" + e_acute + "\n", "0|0|" + e_acute.substr(0, 254) + "|"},
        {message, "0|0|UNKNOWN|" + message.substr(10, MESSAGE_SIZE - 1)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.config.substr(0, 60));
        write_file(root / "net/.xconfig", c.config);
        EXPECT_EQ(config_of(root.path(), "net"), c.read);
    }

    // A path over 255 characters is refused, not cut.
    std::string name(250, 'n');
    root.write(name + "/.xconfig", "timeout=5\n");
    EXPECT_EQ(config_of(root.path(), name.c_str()), "0|0|(none)|UNKNOWN");
}

TEST(QuestionFiles, PrefixAndKindRules)
{
    TempDir dir;
    for (const char *name : {"cat01", "cat02", "catalog.txt", "Cat03", ".xconfig", "xcat"})
        write_file(dir / name, "x");
    dir.mkdir("cat04");
    std::vector<std::string> names = filename_list(dir.path().c_str(), "cat");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"cat01", "cat02", "catalog.txt"}));
    EXPECT_EQ(count_files(dir.path().c_str(), "cat"), 3);
    EXPECT_EQ(count_files((dir / "missing").c_str(), "cat"), 0);
    EXPECT_TRUE(filename_list((dir / "missing").c_str(), "cat").empty());

    // A directory whose path leaves room for "/cat01" and no more: an entry
    // whose path would be over 255 characters is not taken.
    std::string deep = dir.mkdir(std::string(MAX_PATH_CHARS - dir.path().size() - 1 - 6, 'd'));
    write_file(deep + "/cat01", "x");
    write_file(deep + "/cat" + std::string(20, '9'), "x");
    EXPECT_EQ(filename_list(deep.c_str(), "cat"), std::vector<std::string>{"cat01"});
}

TEST(RandomOrder, IsAPermutationAndEveryOrderOccurs)
{
    EXPECT_TRUE(create_random_list(0).empty());
    EXPECT_EQ(random(0), 0);
    std::set<std::vector<int>> seen;
    for (int run = 0; run < 3000; run++) {
        std::vector<int> order = create_random_list(4), sorted = order;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, (std::vector<int>{0, 1, 2, 3}));
        seen.insert(order);
    }
    EXPECT_EQ(seen.size(), 24u) << "a generator seeded again for each draw gives few orders";
}

// One item from each file, in the order's sequence and numbered from 1, any
// of its items drawn. Files without items, and files gone since the
// directory was listed, are left out; so is what an order longer than the
// listing names.
TEST(Assembly, FilesWithoutItemsAreLeftOutAndARunHoldsAtMost127)
{
    TempDir dir;
    write_question_file(dir / "cat1", items_naming("cat1", 3));
    write_question_file(dir / "cat2", "+++\nonly one separator\n");
    write_file(dir / "cat3", "not compressed");
    write_question_file(dir / "cat4", items_naming("cat4", 3));
    std::set<std::string> drawn;
    for (int run = 0; run < 200; run++) {
        std::vector<left_out_file> left_out;
        question *head = create_exam_list({3, 1, 4, 0, 2, 5}, 6, dir.path().c_str(),
                                          {"cat1", "cat2", "cat3", "cat4", "gone"}, choice_order::as_written, nullptr,
                                          &left_out, nullptr);
        std::string out, err, got;
        for (const left_out_file &f : left_out) {
            out += f.load_failure.empty() ? "" : f.load_failure + "\n";
            err += f.why + "\n";
        }
        ASSERT_EQ(out, "Decompression failed (-5)\n");
        for (const char *left_out : {"cat2", "cat3", "gone"})
            ASSERT_NE(err.find(dir / left_out + ": no item"), std::string::npos) << err;
        for (question *q = head; q; q = q->next) {
            got += std::to_string(q->number) + q->text + " ";
            drawn.insert(std::string(q->text) + q->answers[0]);
        }
        destroy_list(head);
        ASSERT_EQ(got, "1cat4 2cat1 ");
    }
    EXPECT_EQ(drawn.size(), 6u);
    gerror_ptr none;
    EXPECT_EQ(create_exam_list({0}, 1, dir.path().c_str(), {"cat2"}, choice_order::as_written, nullptr, nullptr,
                               out_error(none)),
              nullptr);
    EXPECT_TRUE(g_error_matches(none.get(), TRIALIX_ERROR, TRIALIX_ERROR_NO_ITEMS));

    std::vector<std::string> many(130, "cat4");
    std::vector<left_out_file> left_out;
    question *head = create_exam_list(create_random_list(130), 130, dir.path().c_str(), many,
                                      choice_order::as_written, nullptr, &left_out, nullptr);
    ASSERT_EQ(left_out.size(), 1u);
    EXPECT_EQ(left_out[0].why, "Only 127 items fit in a run; 3 question files left out");
    EXPECT_EQ(list_length(head), MAX_RUN_ITEMS);
    destroy_list(head);
}
