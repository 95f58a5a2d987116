// A Moodle XML question bank of arbitrary bytes through the importer:
// whatever it holds, the reader refuses it or every item that comes over
// is one Trialix can show and hold, and every picture it shows is one of
// the bank's, PNG or JPEG, under a plain file name.
#include <glib.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "bank/exhibit.h"
#include "bank/markup.h"
#include "bank/question.h"
#include "tools/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The importer takes UTF-8 text, as the tool hands it over.
    gchar *valid = g_utf8_make_valid((const gchar *)data, (gssize)size);
    std::string text = valid;
    g_free(valid);

    import_result result;
    std::string why;
    if (!import_moodle(text, &result, &why)) {
        if (why.empty())
            __builtin_trap();
        return 0;
    }
    for (const imported_image &image : result.images) {
        bool png = image.bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0, jpeg = image.bytes.compare(0, 3, "\xFF\xD8\xFF") == 0;
        if ((!png && !jpeg) || image.name.empty() || image.name[0] == '.' ||
            image.name.find_first_of("/\\") != std::string::npos || image.name.find("..") != std::string::npos)
            __builtin_trap();
    }
    for (const imported_item &item : result.items) {
        std::string text_shown = exhibit_strip(item.text.c_str()), explanation = exhibit_strip(item.explanation.c_str());
        if (!kind_of_letter(kind_info(item.kind).letter) || item.points < 1 || item.points > 9 ||
            item.answers.size() > NUM_ANSWERS || item.text.size() >= TEXT_SIZE ||
            item.explanation.size() >= TEXT_SIZE || !markup_is_valid(text_shown.c_str(), nullptr) ||
            !markup_is_valid(explanation.c_str(), nullptr))
            __builtin_trap();
        for (const std::string *t : {&item.text, &item.explanation})
            for (const exhibit_ref &r : exhibit_refs(t->c_str()))
                if (std::none_of(result.images.begin(), result.images.end(),
                                 [&](const imported_image &i) { return r.src == "images/" + i.name; }))
                    __builtin_trap();
    }
    return 0;
}
