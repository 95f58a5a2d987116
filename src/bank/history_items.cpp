// Items of the history and their question files: fingerprints, telling
// where a run's items came from, and assembling a practice run.
#include <glib.h>

#include <algorithm>
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

namespace {

// SHA-1 over the kind, the text and the answer slots in the order given,
// each field with its terminator, so that text can't slide from one field
// into the next and keep the sum.
std::string fingerprint_of(const question *q, const std::vector<std::string> &answers)
{
    GChecksum *sum = g_checksum_new(G_CHECKSUM_SHA1);
    auto add = [sum](const char *text, size_t length) {
        g_checksum_update(sum, reinterpret_cast<const guchar *>(text), length + 1);
    };
    char type[2] = {q->type, 0};
    add(type, strnlen(type, 1));
    add(q->text, strnlen(q->text, sizeof q->text - 1));
    for (const std::string &answer : answers)
        add(answer.c_str(), answer.size());
    std::string hex = g_checksum_get_string(sum);
    g_checksum_free(sum);
    return hex;
}

std::vector<std::string> answer_slots(const question *q)
{
    std::vector<std::string> slots;
    for (const char *answer : q->answers)
        slots.emplace_back(answer, strnlen(answer, ANSWER_SIZE - 1));
    return slots;
}

} // namespace

std::string item_fingerprint(const question *q)
{
    // The slots sorted: the same item whatever order its choices were shown in.
    std::vector<std::string> slots = answer_slots(q);
    std::sort(slots.begin(), slots.end());
    return fingerprint_of(q, slots);
}

std::string item_fingerprint_file_order(const question *q)
{
    return fingerprint_of(q, answer_slots(q));
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
    // Mistakes by file, so that each file is read once.
    std::map<std::string, std::vector<const history_mistake *>> by_file;
    for (const history_mistake &m : mistakes)
        by_file[m.file].push_back(&m);
    // Every item that still stands at its place with the same text, with
    // the sums of all its rows: a history from before choices were shown
    // in a new order holds an item under its file-order fingerprint too.
    std::vector<history_mistake> found;
    question_loader loader;
    item_index index;
    question *q = new_question();
    for (const auto &[file, rows] : by_file) {
        if (!load_file(loader, dir, file, &index))
            continue;
        std::map<int, size_t> at;   // item number to its place in `found`
        for (const history_mistake *m : rows) {
            if (m->item < 1 || m->item > index.count())
                continue;
            *q = question{};
            parse_item(loader.text(), loader.size(), index, m->item, q);
            std::string now = item_fingerprint(q);
            if (m->fingerprint != now && m->fingerprint != item_fingerprint_file_order(q))
                continue;
            auto [place, fresh] = at.emplace(m->item, found.size());
            if (fresh) {
                found.push_back(*m);
                found.back().fingerprint = now;
            } else {
                found[place->second].missed += m->missed;
                found[place->second].drawn += m->drawn;
            }
        }
    }
    destroy_list(q);
    // Most missed first, as the history orders them; one item per file.
    std::sort(found.begin(), found.end(), [](const history_mistake &a, const history_mistake &b) {
        if (a.missed != b.missed)
            return a.missed > b.missed;
        if (a.drawn != b.drawn)
            return a.drawn < b.drawn;
        if (a.file != b.file)
            return a.file < b.file;
        return a.item < b.item;
    });
    std::vector<history_mistake> chosen;
    std::set<std::string> files_taken;
    for (const history_mistake &m : found) {
        if ((int)chosen.size() >= max)
            break;
        if (files_taken.insert(m.file).second)
            chosen.push_back(m);
    }
    return chosen;
}

question *create_practice_list(const std::vector<history_mistake> &items, const char *dir,
                               choice_order choices, std::vector<item_origin> *origins,
                               std::vector<left_out_file> *left_out, GError **error)
{
    question *head = nullptr;
    int taken = 0;
    for (const history_mistake &m : items) {
        if (taken == MAX_RUN_ITEMS)
            break;
        std::optional<std::string> path = join_path(dir, m.file.c_str(), nullptr);
        gerror_ptr failure;
        question *q = path ? read_question(m.item, path->c_str(), choices, out_error(failure)) : nullptr;
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
