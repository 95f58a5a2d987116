// Aiken, the plain single-choice format: the question, its choices "A."
// or "A)" one to a line, and "ANSWER: X".
#include <glib.h>

#include <string>
#include <vector>

#include "tools/import.h"
#include "tools/import_markup.h"

namespace {

struct aiken_question {
    int line = 0;                       // first line of its text
    std::vector<std::string> text;      // the question's lines
    std::vector<std::string> choices;
    int problem_line = 0;               // the first thing wrong with it, if any
    std::string problem;

    bool empty() const { return text.empty(); }
    void fault(int at, const std::string &what)
    {
        if (problem.empty()) {
            problem_line = at;
            problem = what;
        }
    }
};

// "A. text" or "A) text": the letter and the text.
bool choice_line(const std::string &t, char *letter, std::string *text)
{
    if (t.size() < 2 || t[0] < 'A' || t[0] > 'Z' || (t[1] != '.' && t[1] != ')'))
        return false;
    if (t.size() > 2 && t[2] != ' ' && t[2] != '\t')
        return false;
    *letter = t[0];
    *text = trim(t.substr(2));
    return true;
}

// "ANSWER: X" (the word in any case): what follows the colon.
bool answer_line(const std::string &t, std::string *answer)
{
    if (g_ascii_strncasecmp(t.c_str(), "ANSWER", 6) != 0)
        return false;
    std::string rest = trim(t.substr(6));
    if (rest.empty() || rest[0] != ':')
        return false;
    *answer = trim(rest.substr(1));
    return true;
}

struct aiken_parser {
    import_result *result;
    aiken_question q;

    void skip(int line, const std::string &why) { result->notes.push_back({line, why, true}); }

    void finish(int line, const std::string &answer)
    {
        aiken_question done = q;
        q = aiken_question();
        if (!done.problem.empty())
            return skip(done.problem_line, done.problem);
        if (done.choices.size() < 2)
            return skip(done.line, "fewer than two choices before the ANSWER line");
        if (answer.size() != 1 || !g_ascii_isalpha(answer[0]))
            return skip(line, "the ANSWER line must name one choice by its letter");
        size_t right = (size_t)(g_ascii_toupper(answer[0]) - 'A');
        if (right >= done.choices.size())
            return skip(line, std::string("the ANSWER line names ") + answer + ", but the last choice is "
                                  + (char)('A' + done.choices.size() - 1));
        imported_item item;
        item.line = done.line;
        item.kind = item_kind::single;
        std::string text;
        for (const std::string &t : done.text)
            text += (text.empty() ? "" : "\n") + t;
        item.text = escape_markup(text);
        for (size_t i = 0; i < done.choices.size(); i++)
            item.answers.push_back((i == right ? "+" : "-") + markup_to_line(escape_markup(done.choices[i])));
        add_item(result, std::move(item));
    }

    void unfinished()
    {
        if (!q.empty())
            skip(q.line, q.choices.empty() ? "no choices and no ANSWER line" : "no ANSWER line after the choices");
        q = aiken_question();
    }

    void line(int lineno, const std::string &t)
    {
        char letter;
        std::string text;
        if (answer_line(t, &text)) {
            if (q.empty())
                skip(lineno, "an ANSWER line without a question before it");
            else
                finish(lineno, text);
        } else if (!q.empty() && choice_line(t, &letter, &text)) {
            char expected = (char)('A' + q.choices.size());
            if (letter != expected)
                q.fault(lineno, std::string("choice ") + letter + " where " + expected + " was expected");
            if (text.empty())
                q.fault(lineno, std::string("choice ") + letter + " is empty");
            q.choices.push_back(text);
        } else {
            // Text after the choices begins the next question.
            if (!q.choices.empty())
                unfinished();
            if (q.empty())
                q.line = lineno;
            q.text.push_back(t);
        }
    }
};

} // namespace

void import_aiken(const std::string &text, import_result *result)
{
    aiken_parser p{result, {}};
    gchar **lines = g_strsplit(text.c_str(), "\n", -1);
    int lineno = 0;
    for (gchar **l = lines; *l; l++) {
        std::string t = trim(*l);
        lineno++;
        if (!t.empty())
            p.line(lineno, t);
    }
    g_strfreev(lines);
    p.unfinished();
}
