#include "bank/exam_list.h"

#include <optional>
#include <utility>

#include "bank/buffer.h"
#include "bank/error.h"
#include "bank/glib_ptr.h"
#include "bank/item_text.h"
#include "bank/tools.h"

int count_questions(const char *path, GError **error)
{
    membuf_ptr b = file2buf(path, error);
    if (!b)
        return -1;
    return index_items(b->data, b->size).count();
}

void shuffle_choices(question *q)
{
    if (!kind_has_choices(q->type))
        return;
    int filled[NUM_ANSWERS], count = 0;
    for (int i = 0; i < NUM_ANSWERS; i++)
        if (q->answers[i][0])
            filled[count++] = i;
    for (int i = count - 1; i > 0; i--) {
        int j = random(i + 1);
        if (j != i)
            std::swap(q->answers[filled[i]], q->answers[filled[j]]);
    }
}

namespace {

// Item n of an indexed text into q, its choices in the order asked for.
void draw_item(const char *text, size_t size, const item_index &index, int n, choice_order order,
               question *q)
{
    parse_item(text, size, index, n, q);
    if (order == choice_order::shuffled && !item_keeps_order(text, size, index, n))
        shuffle_choices(q);
}

} // namespace

question *read_question(int n, const char *path, GError **error)
{
    return read_question(n, path, choice_order::as_written, error);
}

question *read_question(int n, const char *path, choice_order order, GError **error)
{
    membuf_ptr b = file2buf(path, error);
    if (!b)
        return nullptr;
    item_index index = index_items(b->data, b->size);
    if (n < 1 || n > index.count()) {
        trialix_set_error(error, TRIALIX_ERROR_NO_ITEMS,
                          std::string(path) + ": no item " + std::to_string(n));
        return nullptr;
    }
    question *q = new_question();
    draw_item(b->data, b->size, index, n, order, q);
    return q;
}

question *create_exam_list(const std::vector<int> &order, int n, const char *dir,
                           const std::vector<std::string> &names, choice_order choices,
                           std::vector<item_origin> *origins,
                           std::vector<left_out_file> *left_out, GError **error)
{
    auto note = [left_out](std::string load_failure, std::string why) {
        if (left_out)
            left_out->push_back({std::move(load_failure), std::move(why)});
    };
    question *head = nullptr, *tail = nullptr;
    int taken = 0;
    question_loader loader;   // one for all files: its memory serves each in turn
    if (n > (int)order.size())
        n = (int)order.size();
    for (int i = 0; i < n; i++) {
        if (taken == MAX_RUN_ITEMS) {
            note("", "Only " + std::to_string(MAX_RUN_ITEMS) + " items fit in a run; " +
                         std::to_string(n - i) + " question files left out");
            break;
        }
        int file = order[(size_t)i];
        if (file < 0 || file >= (int)names.size())
            continue;   // an order longer than the list of names: nothing to read
        const char *name = names[(size_t)file].c_str();
        std::optional<std::string> path = join_path(dir, name, nullptr);
        if (!path) {
            note("", std::string(name) + ": path longer than " + std::to_string(MAX_PATH_CHARS) +
                         " characters; question file left out");
            continue;
        }
        // One decompression serves both the count and the item.
        gerror_ptr failure;
        bool loaded = loader.load(path->c_str(), out_error(failure));
        item_index index;
        if (loaded)
            index = index_items(loader.text(), loader.size());
        int count = loaded ? index.count() : -1;
        if (count < 1) {
            note(load_error_is_shown(failure.get()) ? failure->message : "",
                 *path + ": no item can be read; question file left out");
            continue;
        }
        question *q = new_question();
        int drawn = random(count) + 1;
        draw_item(loader.text(), loader.size(), index, drawn, choices, q);
        q->number = (signed char)++taken;
        if (origins)
            origins->push_back({name, drawn});
        append_to(&head, &tail, q);
    }
    if (!head)
        trialix_set_error(error, TRIALIX_ERROR_NO_ITEMS, "no item could be read");
    return head;
}
