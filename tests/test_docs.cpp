// The authors' guide and the manual page against the tool: every problem
// `check` can print has its row in the guide's table, and every command's
// options in --help stand in the manual page's synopsis.
#include <algorithm>
#include <map>
#include <set>

#include "test_util.h"
#include "pack_run.h"

namespace {

std::string source_file(const std::string &rel)
{
    std::string text = read_file(std::string(TRIALIX_SOURCE_DIR) + "/" + rel);
    EXPECT_FALSE(text.empty()) << rel;
    return text;
}

// The C string literals of code[from, to), adjacent ones joined, escapes
// undone.
std::vector<std::string> literals(const std::string &code, size_t from, size_t to)
{
    std::vector<std::string> found;
    bool adjacent = false;
    for (size_t i = from; i < to; i++) {
        char c = code[i];
        if (c == '\'' ) {   // a character literal such as '\0' or '"'
            i = code.find('\'', i + (code[i + 1] == '\\' ? 3 : 2));
            adjacent = false;
            continue;
        }
        if (c != '"') {
            if (!g_ascii_isspace(c))
                adjacent = false;
            continue;
        }
        std::string s;
        for (i++; i < to && code[i] != '"'; i++) {
            if (code[i] == '\\') {
                char e = code[++i];
                s += e == 'n' ? '\n' : e == 't' ? '\t' : e;
            } else {
                s += code[i];
            }
        }
        if (adjacent)
            found.back() += s;
        else
            found.push_back(s);
        adjacent = true;
    }
    return found;
}

// The end of the parenthesised argument list that opens at code[open].
size_t closing_paren(const std::string &code, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < code.size(); i++) {
        if (code[i] == '"') {
            for (i++; code[i] != '"'; i++)
                i += code[i] == '\\';
        } else if (code[i] == '\'') {
            i = code.find('\'', i + (code[i + 1] == '\\' ? 3 : 2));
        } else if (code[i] == '(') {
            depth++;
        } else if (code[i] == ')' && --depth == 0) {
            return i;
        }
    }
    return code.size();
}

// The literals of every problem `check` can print: the arguments of the
// calls that report one, and the functions whose result is one.
std::set<std::string> problem_texts()
{
    std::set<std::string> texts;
    for (const char *file : {"tools/check.cpp", "src/bank/item_text.cpp", "tools/pack.cpp"}) {
        std::string code = source_file(file);
        for (const char *call : {"flag(", "report("})
            for (size_t at = code.find(call); at != std::string::npos; at = code.find(call, at + 1)) {
                size_t open = at + strlen(call) - 1;
                for (const std::string &s : literals(code, open, closing_paren(code, open)))
                    texts.insert(s);
            }
        for (const char *function : {"std::string load_problem(", "const char *section_end_problem("}) {
            size_t at = code.find(function);
            if (at == std::string::npos)
                continue;
            for (const std::string &s : literals(code, at, code.find("\n}\n", at)))
                texts.insert(s);
        }
    }
    return texts;
}

} // namespace

TEST(Guide, EveryProblemOfCheckIsInTheAuthorsTable)
{
    std::string guide = source_file("docs/authoring.md");
    size_t section = guide.find("\n## Checking an exam\n");
    size_t table = guide.find("\n| Problem | What to do |", section);
    ASSERT_NE(table, std::string::npos);
    // The first column of every row.
    std::string problems;
    for (size_t at = guide.find("\n| ", table + 1); at != std::string::npos && at < guide.find("\n\n", table);
         at = guide.find("\n| ", at + 1))
        problems += guide.substr(at + 3, guide.find(" | ", at + 3) - at - 3) + "\n";

    std::set<std::string> texts = problem_texts();
    EXPECT_GT(texts.size(), 30u);
    for (const std::string &text : texts)
        EXPECT_NE(problems.find(text), std::string::npos) << "not in the table: \"" << text << "\"";
}

// The options of each command: in --help, from the command's line and the
// lines that continue it; in the manual page, from its .SY block.
TEST(Guide, ManPageSynopsisHasTheOptionsOfHelp)
{
    auto options = [](const std::string &text, size_t from, size_t to) {
        std::set<std::string> found;
        for (size_t at = text.find("--", from); at < to; at = text.find("--", at + 2)) {
            size_t end = at + 2;
            while (end < text.size() && (g_ascii_isalnum(text[end]) || text[end] == '-'))
                end++;
            if (end > at + 2)
                found.insert(text.substr(at, end - at));
            at = end - 2;
        }
        return found;
    };
    std::string help = run({"--help"}).out;
    std::string man = source_file("data/man/trialix-pack.1.in");
    // groff writes a minus as \- ; the synopsis ends at the next section.
    for (size_t at; (at = man.find("\\-")) != std::string::npos;)
        man.erase(at, 1);
    size_t synopsis_end = man.find(".SH DESCRIPTION");

    for (const char *command : {"pack", "unpack", "show", "check", "import", "export", "report"}) {
        std::string head = std::string("  trialix-pack ") + command + " ";
        size_t from = help.find(head);
        ASSERT_NE(from, std::string::npos) << command;
        size_t to = from;
        // Continuation lines are indented past the command's name.
        do
            to = help.find('\n', to + 1);
        while (to != std::string::npos && help.compare(to + 1, 4, "    ") == 0
               && help.find_first_not_of(' ', to + 1) < help.find('\n', to + 1)
               && help[help.find_first_not_of(' ', to + 1)] == '[');
        std::set<std::string> in_help = options(help, from, to);

        size_t block = man.find(std::string(".SY \"trialix-pack ") + command + "\"");
        ASSERT_LT(block, synopsis_end) << command;
        std::set<std::string> in_man = options(man, block, man.find(".YS", block));
        EXPECT_EQ(in_help, in_man) << command;
    }
    EXPECT_NE(man.find(".TH TRIALIX-PACK 1 \"December 2026\" \"Trialix @PROJECT_VERSION@\""), std::string::npos);
}

// The guide's worked example is the exam shipped in examples/: each of its
// files stands in the guide whole, as an indented block.
TEST(Guide, WorkedExampleIsTheShippedExam)
{
    std::string guide = source_file("docs/authoring.md");
    for (const char *file : {".xconfig", "cat01.txt", "cat02.txt", "cat03.txt"}) {
        std::string text = source_file(std::string("examples/exams/geography/") + file), block;
        for (size_t at = 0; at < text.size();) {
            size_t nl = text.find('\n', at);
            std::string line = text.substr(at, nl - at);
            block += (line.empty() ? "" : "    ") + line + "\n";
            at = nl + 1;
        }
        EXPECT_NE(guide.find("\n\n" + block + "\n"), std::string::npos) << file;
    }
}
