// A question bank of arbitrary text through the authoring tool's importers:
// the first byte chooses GIFT or Aiken. Whatever the bank says, every item
// that comes over is one Trialix can show and hold.
#include <glib.h>

#include <cstdint>
#include <string>

#include "bank/markup.h"
#include "bank/question.h"
#include "bank/markup.h"
#include "bank/tools.h"
#include "tools/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The importers take UTF-8 text without a byte-order mark, as the tool
    // hands it to them.
    gchar *valid = g_utf8_make_valid((const gchar *)data + 1, (gssize)size - 1);
    std::string text = valid;
    g_free(valid);
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);

    import_result result;
    if (data[0] & 1)
        import_aiken(text, &result);
    else
        import_gift(text, &result);
    for (const imported_item &item : result.items) {
        if (!kind_of_letter(kind_info(item.kind).letter)
            || item.answers.size() > NUM_ANSWERS || item.text.size() >= TEXT_SIZE
            || item.explanation.size() >= TEXT_SIZE || !markup_is_valid(item.text.c_str(), nullptr)
            || !markup_is_valid(item.explanation.c_str(), nullptr))
            __builtin_trap();
    }
    return 0;
}
