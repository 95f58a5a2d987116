// A question file of arbitrary bytes through every reader that opens one:
// loading, line reading, counting, reading items and assembling a run.
#include <cstdint>
#include <string>
#include <vector>

#include "bank/buffer.h"
#include "bank/exam_list.h"
#include "bank/question.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = fuzz_write("exam/cat01", data, size);
    if (membuf_ptr b = file2buf(path.c_str(), nullptr)) {
        char line[LINE_SIZE];
        while (bgets(line, LINE_SIZE - 1, b.get())) {
        }
    }
    int n = count_questions(path.c_str(), nullptr);
    for (int k : {0, 1, n, n + 1})
        destroy_list(read_question(k, path.c_str(), nullptr));
    for (choice_order order : {choice_order::as_written, choice_order::shuffled})
        destroy_list(create_exam_list({0}, 1, (fuzz_dir() + "/exam").c_str(), {"cat01"}, order, nullptr,
                                      nullptr, nullptr));
    return 0;
}
