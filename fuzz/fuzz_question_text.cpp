// The decompressed text of a question file through the item parser, with
// and without the author's report, and grading of what it gives; and the
// choice-line breaking at a width taken from the input.
#include <cstdint>
#include <cstring>
#include <vector>

#include "bank/item_text.h"
#include "bank/question.h"
#include "bank/tools.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = (const char *)data;
    item_index index = index_items(text, size);
    for (int n = 1; n <= index.count(); n++) {
        question q = {};
        std::vector<item_problem> problems;
        parse_item(text, size, index, n, &q, &problems);
        question plain = {};
        parse_item(text, size, index, n, &plain);
        if (memcmp(&q, &plain, sizeof q) != 0)
            __builtin_trap();   // the report must not change the item
        check_question(&q);
        // The exam's comparison changes what is reported, never the item.
        std::vector<item_problem> lenient_problems;
        question lenient = {};
        parse_item(text, size, index, n, &lenient, &lenient_problems, answer_compare::lenient);
        if (memcmp(&lenient, &plain, sizeof q) != 0)
            __builtin_trap();
        item_keeps_order(text, size, index, n);
        // An accepted answer typed as written is right.
        memcpy(q.entry, q.answers[0], sizeof q.entry);
        check_question(&q, answer_compare::lenient);
        if (kind_is_typed(q.type) && !lenient_form(q.entry).empty() && q.OK != OK_RIGHT)
            __builtin_trap();
    }

    if (size > 0) {
        int width = 2 + data[0] % 100;
        line_broken(text + 1, size - 1, width);
        char line[ANSWER_SIZE];
        utf8_copy(line, sizeof line, text + 1, strnlen(text + 1, size - 1));
        line_break(line, sizeof line, width);
        if (strlen(line) >= sizeof line)
            __builtin_trap();
    }
    return 0;
}
