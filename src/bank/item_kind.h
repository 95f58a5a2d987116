// The kinds of item, in one table: the letter that stands for each in a
// question file, a saved exam and the record's `type`, how its answer is
// given and graded, and what the screens and trialix-pack say about it.
// Adding a kind is a row here and the kind's own answer widgets.
#pragma once

enum class item_kind { single, multiple, fill_in };

// How the examinee gives the answer, and so how it is graded.
enum class answer_form {
    choices,   // ticks on the choices; right when the ticks are the '+' choices
    typed,     // one typed line; right when it is one of the accepted answers
};

struct item_kind_info {
    item_kind kind;
    char letter;              // the record's `type`, byte for byte
    const char *name;         // "single-choice", as `check` names it
    answer_form answer;
    bool one_tick;            // at most one choice ticked, one '+' choice
    const char *instruction;  // the item page's line under the answers
};

// The row of the kind whose letter is `letter`; none for a letter of no kind.
const item_kind_info *kind_of_letter(char letter);
// The row of `kind`.
const item_kind_info &kind_info(item_kind kind);
// Every kind's letter, as an author reads them: "S, M or F".
const char *kind_letters(void);
// Whether `letter` is a kind's whose answer is given as choices / typed.
bool kind_has_choices(char letter);
bool kind_is_typed(char letter);
