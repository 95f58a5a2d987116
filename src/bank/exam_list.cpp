#include "bank/exam_list.h"

#include <cstdio>
#include <optional>

#include "bank/buffer.h"
#include "bank/item_text.h"
#include "bank/tools.h"

int count_questions(const char *path)
{
    membuf_ptr b = file2buf(path);
    if (!b)
        return -1;
    return index_items(b->data, b->size).count();
}

question *read_question(int n, const char *path)
{
    membuf_ptr b = file2buf(path);
    if (!b)
        return nullptr;
    item_index index = index_items(b->data, b->size);
    if (n < 1 || n > index.count())
        return nullptr;
    question *q = new_question();
    parse_item(b->data, b->size, index, n, q);
    return q;
}

question *create_exam_list(const std::vector<int> &order, int n, const char *dir,
                           const std::vector<std::string> &names,
                           std::vector<item_origin> *origins)
{
    question *head = nullptr, *tail = nullptr;
    int taken = 0;
    question_loader loader;   // one for all files: its memory serves each in turn
    if (n > (int)order.size())
        n = (int)order.size();
    for (int i = 0; i < n; i++) {
        if (taken == MAX_RUN_ITEMS) {
            fprintf(stderr, "Only %d items fit in a run; %d question files left out\n",
                    MAX_RUN_ITEMS, n - i);
            break;
        }
        int file = order[(size_t)i];
        if (file < 0 || file >= (int)names.size())
            continue;   // an order longer than the list of names: nothing to read
        const char *name = names[(size_t)file].c_str();
        std::optional<std::string> path = join_path(dir, name);
        if (!path) {
            fprintf(stderr, "%s: path longer than %d characters; question file left out\n",
                    name, MAX_PATH_CHARS);
            continue;
        }
        // One decompression serves both the count and the item.
        load_error error;
        bool loaded = loader.load(path->c_str(), &error);
        if (!loaded)
            print_load_error(error);
        item_index index;
        if (loaded)
            index = index_items(loader.text(), loader.size());
        int count = loaded ? index.count() : -1;
        if (count < 1) {
            fprintf(stderr, "%s: no item can be read; question file left out\n", path->c_str());
            continue;
        }
        question *q = new_question();
        int drawn = random(count) + 1;
        parse_item(loader.text(), loader.size(), index, drawn, q);
        q->number = (signed char)++taken;
        if (origins)
            origins->push_back({name, drawn});
        append_to(&head, &tail, q);
    }
    return head;
}
