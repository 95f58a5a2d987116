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
    std::optional<std::string> title = getExamTitle(root.c_str(), ".xconfig", "exam");
    std::string message = getExamMessage(root.c_str(), ".xconfig", "exam");
    // What the start form takes into its fixed-size labels must fit them.
    if (!title || title->size() >= TITLE_SIZE || message.size() >= MESSAGE_SIZE)
        __builtin_trap();
    markup_is_valid(title->c_str());
    markup_is_valid(message.c_str());
    return 0;
}
