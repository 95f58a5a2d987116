// A saved exam file of arbitrary bytes through the loader; what loads is
// graded, counted, saved again, and must load again unchanged.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bank/question.h"
#include "bank/glib_ptr.h"
#include "bank/saved_file.h"
#include "fuzz/fuzz_util.h"

static std::vector<unsigned char> images(question *q)
{
    std::vector<unsigned char> all;
    unsigned char image[RECORD_SIZE];
    for (; q; q = q->next) {
        record_to_image(q, image);
        all.insert(all.end(), image, image + RECORD_SIZE);
    }
    return all;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = fuzz_write("saved.trx", data, size);
    gerror_ptr error;
    run_header header;
    question *list = load_list_file(path.c_str(), nullptr, &header, out_error(error));
    if (!list) {
        if (!error)
            __builtin_trap();   // a refused file says why
        return 0;
    }
    list_length(list);
    get_right_questions(list);
    get_wrong_questions(list);
    get_unanswered_questions(list);
    get_total_points(list);
    get_correct_points(list);

    const std::string again = fuzz_dir() + "/again.trx";
    if (!save_list_file(again.c_str(), list, header, nullptr))
        __builtin_trap();
    run_header header_again;
    question *reloaded = load_list_file(again.c_str(), nullptr, &header_again, nullptr);
    if (!reloaded || images(list) != images(reloaded))
        __builtin_trap();
    destroy_list(reloaded);
    destroy_list(list);
    return 0;
}
