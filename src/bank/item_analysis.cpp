// Item analysis: facility, discrimination and the answers given per item,
// runs and best score per examinee.
#include "bank/item_analysis.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "bank/question.h"

bool analysis_sums::item_key::operator<(const item_key &o) const
{
    return std::tie(file, item, fingerprint) < std::tie(o.file, o.item, o.fingerprint);
}

std::vector<std::string> answer_parts(const std::string &answer, bool *choices)
{
    std::vector<std::string> parts;
    *choices = !answer.empty() && answer.back() == '\n';
    if (!*choices) {
        if (!answer.empty())
            parts.push_back(answer);
        return parts;
    }
    size_t start = 0;
    for (size_t end; (end = answer.find('\n', start)) != std::string::npos; start = end + 1)
        parts.push_back(answer.substr(start, end - start));
    return parts;
}

namespace {

analysis_sums::item_sums &sums_of(analysis_sums *sums, const history_item &it)
{
    auto &same = sums->items[it.fingerprint];
    for (auto &entry : same)
        if (entry.first.item == it.item && entry.first.file == it.file)
            return entry.second;
    same.push_back({{it.file, it.item, it.fingerprint}, {}});
    return same.back().second;
}

bool right(const history_item &it)
{
    return it.ok == OK_RIGHT;
}

} // namespace

void analysis_add(analysis_sums *sums, const history_run &run)
{
    sums->first_taken = sums->runs == 0 ? run.taken : std::min(sums->first_taken, run.taken);
    sums->last_taken = sums->runs == 0 ? run.taken : std::max(sums->last_taken, run.taken);
    sums->runs++;
    examinee_figures &who = sums->examinees[run.examinee];
    who.examinee = run.examinee;
    who.best_score = who.runs == 0 ? run.score : std::max(who.best_score, run.score);
    who.runs++;

    // The run's points from its items, so that an item's own share is
    // taken out of exactly what it was added to.
    long long total = 0, reached = 0;
    for (const history_item &it : run.items) {
        total += it.points;
        reached += right(it) ? it.points : 0;
    }
    for (const history_item &it : run.items) {
        analysis_sums::item_sums &s = sums_of(sums, it);
        s.drawn++;
        s.right += right(it);
        long long rest_total = total - it.points;
        if (rest_total > 0) {
            double rest = 100.0 * (double)(reached - (right(it) ? it.points : 0)) / (double)rest_total;
            s.n++;
            s.n_right += right(it);
            s.rest += rest;
            s.rest_squared += rest * rest;
            s.rest_right += right(it) ? rest : 0;
        }
        bool choices = false;
        std::vector<std::string> parts = answer_parts(it.answer, &choices);
        s.choices = s.choices || choices;
        s.unanswered += it.ok == OK_UNANSWERED;
        for (std::string &p : parts)
            s.answers[std::move(p)]++;
    }
}

namespace {

// r = (M1 - M0) / s * sqrt(p q): M1 and M0 the mean rest score of the draws
// answered right and of the others, s the standard deviation of all rest
// scores (dividing by n), p the share right and q = 1 - p.
bool point_biserial(const analysis_sums::item_sums &s, double *r)
{
    if (s.n_right == 0 || s.n_right == s.n)
        return false;
    double n = s.n, mean = s.rest / n;
    double variance = s.rest_squared / n - mean * mean;
    // Rest scores that are all the same leave only rounding in `variance`.
    if (variance <= 1e-9 * std::max(1.0, mean * mean))
        return false;
    double p = s.n_right / n, m1 = s.rest_right / s.n_right,
           m0 = (s.rest - s.rest_right) / (n - s.n_right);
    *r = std::max(-1.0, std::min(1.0, (m1 - m0) / std::sqrt(variance) * std::sqrt(p * (1 - p))));
    return true;
}

} // namespace

exam_analysis analysis_result(const analysis_sums &sums)
{
    exam_analysis a;
    a.runs = sums.runs;
    a.first_taken = sums.first_taken;
    a.last_taken = sums.last_taken;
    std::vector<const std::pair<analysis_sums::item_key, analysis_sums::item_sums> *> order;
    for (const auto &same : sums.items)
        for (const auto &entry : same.second)
            order.push_back(&entry);
    std::sort(order.begin(), order.end(), [](auto *x, auto *y) { return x->first < y->first; });
    for (const auto *entry : order) {
        const analysis_sums::item_sums &s = entry->second;
        item_figures f;
        f.file = entry->first.file;
        f.item = entry->first.item;
        f.fingerprint = entry->first.fingerprint;
        f.drawn = s.drawn;
        f.right = s.right;
        f.facility = s.drawn ? (double)s.right / s.drawn : 0;
        f.has_discrimination = point_biserial(s, &f.discrimination);
        f.too_few = s.drawn < ANALYSIS_MIN_DRAWN;
        f.choices = s.choices;
        f.unanswered = s.unanswered;
        for (const auto &given : s.answers)
            f.answers.push_back({given.first, given.second});
        std::sort(f.answers.begin(), f.answers.end(), [](const answer_count &x, const answer_count &y) {
            return x.times != y.times ? x.times > y.times : x.text < y.text;
        });
        a.items.push_back(std::move(f));
    }
    for (const auto &who : sums.examinees)
        a.examinees.push_back(who.second);
    return a;
}

exam_analysis analyse_runs(const std::vector<history_run> &runs)
{
    analysis_sums sums;
    for (const history_run &r : runs)
        analysis_add(&sums, r);
    return analysis_result(sums);
}
