#include "bank/item_kind.h"

#include <string>

namespace {

const item_kind_info kinds[] = {
    {item_kind::single, 'S', "single-choice", answer_form::choices, true, "Select the best answer."},
    {item_kind::multiple, 'M', "multiple-choice", answer_form::choices, false,
     "Select every correct answer."},
    {item_kind::fill_in, 'F', "fill-in", answer_form::typed, false, "Fill in the right answer."},
};

} // namespace

const item_kind_info *kind_of_letter(char letter)
{
    for (const item_kind_info &k : kinds)
        if (k.letter == letter)
            return &k;
    return nullptr;
}

const item_kind_info &kind_info(item_kind kind)
{
    for (const item_kind_info &k : kinds)
        if (k.kind == kind)
            return k;
    return kinds[0];
}

const char *kind_letters(void)
{
    static const std::string letters = [] {
        std::string s;
        size_t n = sizeof kinds / sizeof kinds[0];
        for (size_t i = 0; i < n; i++) {
            if (i > 0)
                s += i + 1 == n ? " or " : ", ";
            s += kinds[i].letter;
        }
        return s;
    }();
    return letters.c_str();
}

bool kind_has_choices(char letter)
{
    const item_kind_info *k = kind_of_letter(letter);
    return k && k->answer == answer_form::choices;
}

bool kind_is_typed(char letter)
{
    const item_kind_info *k = kind_of_letter(letter);
    return k && k->answer == answer_form::typed;
}
