// Items of the history and their question files: fingerprints, telling
// where a run's items came from, and assembling a practice run.
#include <glib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "bank/buffer.h"
#include "bank/error.h"
#include "bank/glib_ptr.h"
#include "bank/exam_list.h"
#include "bank/history.h"
#include "bank/item_kind.h"
#include "bank/item_text.h"
#include "bank/question.h"
#include "bank/tools.h"

std::string item_fingerprint(const question *q)
{
    GChecksum *sum = g_checksum_new(G_CHECKSUM_SHA1);
    auto add = [sum](const char *text, size_t size) {
        // Each field with its terminator, so that text can't slide from one
        // field into the next and keep the sum.
        g_checksum_update(sum, reinterpret_cast<const guchar *>(text), strnlen(text, size - 1) + 1);
    };
    char type[2] = {q->type, 0};
    add(type, sizeof type);
    add(q->text, sizeof q->text);
    for (const char *answer : q->answers)
        add(answer, ANSWER_SIZE);
    std::string hex = g_checksum_get_string(sum);
    g_checksum_free(sum);
    return hex;
}

namespace {

// The fingerprints of every item of one question file, read once: by item
// number, and fingerprint to the first item that has it.
struct file_items {
    std::vector<std::string> fingerprints;   // of item n at n - 1
    std::map<std::string, int> by_fingerprint;
};

bool load_file(question_loader &loader, const char *dir, const std::string &name, item_index *index)
{
    std::optional<std::string> path = join_path(dir, name.c_str(), nullptr);
    if (!path || !loader.load(path->c_str(), nullptr))
        return false;
    *index = index_items(loader.text(), loader.size());
    return true;
}

file_items read_file_items(question_loader &loader, const char *dir, const std::string &name)
{
    file_items f;
    item_index index;
    if (!load_file(loader, dir, name, &index))
        return f;
    question *q = new_question();
    for (int n = 1; n <= index.count(); n++) {
        *q = question{};   // nothing of the item before may stay
        parse_item(loader.text(), loader.size(), index, n, q);
        f.fingerprints.push_back(item_fingerprint(q));
        f.by_fingerprint.emplace(f.fingerprints.back(), n);
    }
    destroy_list(q);
    return f;
}

} // namespace

std::string history_answer_of(const question *q)
{
    const item_kind_info *kind = kind_of_letter(q->type);
    if (!kind)
        return "";
    if (kind->answer == answer_form::typed)
        return std::string(q->entry, strnlen(q->entry, sizeof q->entry));
    std::string ticked;
    for (int i = 0; i < NUM_ANSWERS; i++) {
        if (!q->selected[i])
            continue;
        const char *choice = q->answers[i];
        size_t n = strnlen(choice, ANSWER_SIZE);
        // The first byte is the mark that tells a right choice, which the
        // item page doesn't show either.
        if (n) {
            choice++;
            n--;
        }
        ticked.append(choice, n);
        ticked += '\n';
    }
    return ticked;
}

std::vector<history_item> history_items_of(question *q)
{
    std::vector<history_item> items;
    for (question *r = list_head(q); r; r = r->next)
        items.push_back({"", 0, item_fingerprint(r), r->points, r->OK, history_answer_of(r)});
    return items;
}

void match_items(std::vector<history_item> *items, const char *dir,
                 const std::vector<std::string> &names)
{
    size_t unmatched = 0;
    for (const history_item &item : *items)
        unmatched += item.item == 0;
    question_loader loader;
    for (const std::string &name : names) {
        if (unmatched == 0)
            break;
        file_items f = read_file_items(loader, dir, name);
        for (history_item &item : *items) {
            if (item.item)
                continue;
            auto found = f.by_fingerprint.find(item.fingerprint);
            if (found != f.by_fingerprint.end()) {
                item.file = name;
                item.item = found->second;
                unmatched--;
            }
        }
    }
}

std::vector<history_mistake> practice_items(const std::vector<history_mistake> &mistakes,
                                            const char *dir, int max)
{
    std::vector<history_mistake> chosen;
    std::set<std::string> files_taken, files_unreadable;
    question_loader loader;
    std::string loaded;   // the file the loader holds
    item_index index;
    question *q = new_question();
    for (const history_mistake &m : mistakes) {
        if ((int)chosen.size() >= max)
            break;
        if (files_taken.count(m.file) || files_unreadable.count(m.file))
            continue;
        // Mistakes come by count, not by file: a file may be wanted again
        // after another's, and is then read again.
        if (loaded != m.file) {
            loaded.clear();
            if (!load_file(loader, dir, m.file, &index)) {
                files_unreadable.insert(m.file);
                continue;
            }
            loaded = m.file;
        }
        // The item must still stand at its place with the same text.
        if (m.item < 1 || m.item > index.count())
            continue;
        *q = question{};
        parse_item(loader.text(), loader.size(), index, m.item, q);
        if (item_fingerprint(q) != m.fingerprint)
            continue;
        chosen.push_back(m);
        files_taken.insert(m.file);
    }
    destroy_list(q);
    return chosen;
}

question *create_practice_list(const std::vector<history_mistake> &items, const char *dir,
                               std::vector<item_origin> *origins,
                               std::vector<left_out_file> *left_out, GError **error)
{
    question *head = nullptr;
    int taken = 0;
    for (const history_mistake &m : items) {
        if (taken == MAX_RUN_ITEMS)
            break;
        std::optional<std::string> path = join_path(dir, m.file.c_str(), nullptr);
        gerror_ptr failure;
        question *q = path ? read_question(m.item, path->c_str(), out_error(failure)) : nullptr;
        if (!q) {
            if (left_out)
                left_out->push_back({load_error_is_shown(failure.get()) ? failure->message : "",
                                     m.file + ": item " + std::to_string(m.item) +
                                      " can't be read; left out of the practice run"});
            continue;
        }
        q->number = (signed char)++taken;
        if (origins)
            origins->push_back({m.file, m.item});
        if (head)
            append_question(head, q);
        else
            head = q;
    }
    if (!head)
        trialix_set_error(error, TRIALIX_ERROR_NO_ITEMS, "no item could be read");
    return head;
}
