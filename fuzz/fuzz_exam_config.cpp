// An exam configuration file of arbitrary bytes through its four readers.
#include <glib.h>

#include <cstdint>
#include <string>

#include "bank/markup.h"
#include "bank/tools.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string root = fuzz_dir() + "/exams";
    fuzz_write("exams/exam/.xconfig", data, size);

    getTimeout(root.c_str(), ".xconfig", "exam");
    getPercentage(root.c_str(), ".xconfig", "exam");
    std::optional<std::string> title;
    std::string read_title;
    if (getExamTitle(root.c_str(), ".xconfig", "exam", &read_title, nullptr))
        title = read_title;
    std::string message = getExamMessage(root.c_str(), ".xconfig", "exam");
    read_exam_options(root.c_str(), ".xconfig", "exam");
    // What the start form takes into its fixed-size labels must fit them.
    if (!title || title->size() >= TITLE_SIZE || message.size() >= MESSAGE_SIZE)
        __builtin_trap();
    // The markup checks agree with each other: safe markup is valid, and
    // valid markup has a plain text.
    for (const std::string *text : {&*title, &message}) {
        std::string plain;
        bool valid = markup_is_valid(text->c_str(), nullptr);
        if (markup_plain_text(text->c_str(), &plain, nullptr) != valid || (markup_is_safe(text->c_str(), MARKUP_MAX_PIXELS, nullptr) && !valid))
            __builtin_trap();
    }
    return 0;
}
