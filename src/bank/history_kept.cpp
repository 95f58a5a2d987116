// Runs kept aside while the history can't take them (another program holds
// it, it can't be written): one small key file per run, recorded at the
// next chance and then removed. Its name goes into the history with it, so
// a run is recorded once even when the program ends between the two.
#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "bank/error.h"
#include "bank/glib_ptr.h"
#include "bank/history.h"

namespace {

const char PREFIX[] = "run-", SUFFIX[] = ".kept";
constexpr goffset MAX_KEPT_SIZE = 1 << 20;   // far above any run's
constexpr int MAX_KEPT_ITEMS = 10000;

// Strings as hex, so that any bytes (a name that isn't UTF-8) come back
// as they were.
std::string hex(const std::string &s)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool unhex(const char *s, std::string *out)
{
    out->clear();
    size_t n = s ? strlen(s) : 1;
    if (n % 2)
        return false;
    for (size_t i = 0; i < n; i += 2) {
        int hi = g_ascii_xdigit_value(s[i]), lo = g_ascii_xdigit_value(s[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        *out += (char)(hi * 16 + lo);
    }
    return true;
}

struct reader {
    GKeyFile *file;
    bool ok = true;
    std::string text(const char *group, const char *key)
    {
        gchar *v = g_key_file_get_value(file, group, key, nullptr);
        std::string s;
        ok = unhex(v, &s) && ok;
        g_free(v);
        return s;
    }
    long long number(const char *group, const char *key)
    {
        GError *e = nullptr;
        gint64 v = g_key_file_get_int64(file, group, key, &e);
        ok = !e && ok;
        g_clear_error(&e);
        return v;
    }
};

bool read_kept(const std::string &path, history_run *run)
{
    gchar *contents = nullptr;
    gsize size = 0;
    GStatBuf st;
    if (g_lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > MAX_KEPT_SIZE ||
        !g_file_get_contents(path.c_str(), &contents, &size, nullptr))
        return false;
    GKeyFile *kf = g_key_file_new();
    bool parsed = g_key_file_load_from_data(kf, contents, size, G_KEY_FILE_NONE, nullptr);
    g_free(contents);
    reader r{kf};
    r.ok = parsed;
    run->exam = r.text("run", "exam");
    run->title = r.text("run", "title");
    run->taken = r.number("run", "taken");
    run->examinee = r.text("run", "examinee");
    run->training = r.number("run", "training") != 0;
    run->timer = r.number("run", "timer") != 0;
    run->time_used = (int)r.number("run", "time_used");
    run->total_points = (int)r.number("run", "total_points");
    run->reached_points = (int)r.number("run", "reached_points");
    gchar *score = g_key_file_get_value(kf, "run", "score", nullptr);
    run->score = score ? g_ascii_strtod(score, nullptr) : 0;
    r.ok = score && r.ok;
    g_free(score);
    run->pass_mark = (int)r.number("run", "pass_mark");
    run->passed = r.number("run", "passed") != 0;
    // Kept by a program that made no ids: it gets none here either, and
    // one is made from its file's name.
    if (g_key_file_has_key(kf, "run", "uuid", nullptr))
        run->uuid = r.text("run", "uuid");
    long long n = r.number("run", "items");
    r.ok = r.ok && n >= 0 && n <= MAX_KEPT_ITEMS;
    for (long long i = 1; r.ok && i <= n; i++) {
        std::string group = "item " + std::to_string(i);
        history_item item;
        item.file = r.text(group.c_str(), "file");
        item.item = (int)r.number(group.c_str(), "item");
        item.fingerprint = r.text(group.c_str(), "fingerprint");
        item.points = (int)r.number(group.c_str(), "points");
        item.ok = (int)r.number(group.c_str(), "ok");
        if (g_key_file_has_key(kf, group.c_str(), "answer", nullptr))
            item.answer = r.text(group.c_str(), "answer");
        run->items.push_back(item);
    }
    g_key_file_free(kf);
    return r.ok && !run->exam.empty() && (run->uuid.empty() || g_uuid_string_is_valid(run->uuid.c_str()));
}

// A UUID of the form of version 4 made from a kept file's name: the same
// name gives the same id, so that a run kept without one is sent once too.
std::string uuid_of_name(const std::string &name)
{
    gchar *sum = g_compute_checksum_for_string(G_CHECKSUM_SHA1, name.c_str(), -1);
    std::string h = sum;
    g_free(sum);
    h[12] = '4';
    h[16] = "89ab"[g_ascii_xdigit_value(h[16]) & 3];
    return h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" + h.substr(16, 4) +
           "-" + h.substr(20, 12);
}

bool is_kept_name(const char *n)
{
    return g_str_has_prefix(n, PREFIX) && g_str_has_suffix(n, SUFFIX);
}

} // namespace

std::string history_kept_dir(void)
{
    gchar *p = g_build_filename(g_get_user_data_dir(), "trialix", "pending", nullptr);
    std::string path = p;
    g_free(p);
    return path;
}

int history_kept_count(const char *dir)
{
    GDir *d = g_dir_open(dir, 0, nullptr);
    int n = 0;
    while (const char *name = d ? g_dir_read_name(d) : nullptr)
        n += is_kept_name(name);
    if (d)
        g_dir_close(d);
    return n;
}

bool history_keep(const char *dir, const history_run &run, GError **error)
{
    if (g_mkdir_with_parents(dir, 0700) != 0) {
        trialix_set_error(error, TRIALIX_ERROR_WRITE, g_strerror(errno));
        return false;
    }
    GKeyFile *kf = g_key_file_new();
    auto text = [&](const char *group, const char *key, const std::string &v) {
        g_key_file_set_value(kf, group, key, hex(v).c_str());
    };
    auto number = [&](const char *group, const char *key, long long v) {
        g_key_file_set_int64(kf, group, key, v);
    };
    text("run", "exam", run.exam);
    text("run", "title", run.title);
    number("run", "taken", run.taken);
    text("run", "examinee", run.examinee);
    number("run", "training", run.training);
    number("run", "timer", run.timer);
    number("run", "time_used", run.time_used);
    number("run", "total_points", run.total_points);
    number("run", "reached_points", run.reached_points);
    char score[G_ASCII_DTOSTR_BUF_SIZE];
    g_key_file_set_value(kf, "run", "score", g_ascii_dtostr(score, sizeof score, run.score));
    number("run", "pass_mark", run.pass_mark);
    number("run", "passed", run.passed);
    text("run", "uuid", run.uuid);
    number("run", "items", (long long)run.items.size());
    for (size_t i = 0; i < run.items.size(); i++) {
        std::string group = "item " + std::to_string(i + 1);
        const history_item &item = run.items[i];
        text(group.c_str(), "file", item.file);
        number(group.c_str(), "item", item.item);
        text(group.c_str(), "fingerprint", item.fingerprint);
        number(group.c_str(), "points", item.points);
        number(group.c_str(), "ok", item.ok);
        text(group.c_str(), "answer", item.answer);
    }
    gsize size = 0;
    gchar *data = g_key_file_to_data(kf, &size, nullptr);
    g_key_file_free(kf);
    // Named by the moment it was kept, so that names sort as the runs came,
    // and by the process and a random number, so that no two are alike.
    char name[96];
    g_snprintf(name, sizeof name, "%s%020" G_GINT64_FORMAT "-%d-%08x%s", PREFIX, g_get_real_time(),
               (int)getpid(), g_random_int(), SUFFIX);
    gchar *path = g_build_filename(dir, name, nullptr);
    GError *e = nullptr;
    bool ok = g_file_set_contents_full(path, data, (gssize)size, G_FILE_SET_CONTENTS_CONSISTENT, 0600, &e);
    if (!ok)
        trialix_set_error(error, TRIALIX_ERROR_WRITE, e->message);
    g_clear_error(&e);
    g_free(path);
    g_free(data);
    return ok;
}

int history_record_kept(history_db *db, const char *dir, GError **error)
{
    GError *cant = nullptr;
    GDir *d = g_dir_open(dir, 0, &cant);
    if (!d) {
        bool there = g_file_test(dir, G_FILE_TEST_EXISTS);
        if (there)
            trialix_set_error(error, TRIALIX_ERROR_READ, cant->message);
        g_clear_error(&cant);
        return there ? -1 : 0;
    }
    std::vector<std::string> names;
    while (const char *n = g_dir_read_name(d))
        if (is_kept_name(n))
            names.push_back(n);
    g_dir_close(d);
    std::sort(names.begin(), names.end());
    int waiting = (int)names.size();
    for (const std::string &name : names) {
        std::string path = std::string(dir) + G_DIR_SEPARATOR_S + name;
        history_run run;
        // One that can't be read stays for someone to look at; the rest go on.
        if (!read_kept(path, &run))
            continue;
        run.key = name.substr(0, name.size() - strlen(SUFFIX));
        if (run.uuid.empty())
            run.uuid = uuid_of_name(run.key);
        if (!history_record(db, &run, nullptr, error))
            break;
        // Recorded (now or before): only now may it go.
        if (g_remove(path.c_str()) == 0 || errno == ENOENT)
            waiting--;
    }
    return waiting;
}

history_outcome history_record_or_keep(const char *path, const char *kept_dir, history_run *run,
                                       bool fold, GError **error)
{
    bool busy = false;
    gerror_ptr why;
    // Made before the history is tried, so that a run kept aside carries it.
    if (run->uuid.empty()) {
        gchar *id = g_uuid_string_random();
        run->uuid = id;
        g_free(id);
    }
    history_db *db = history_open(path, out_error(why));
    if (db) {
        // The runs kept before come first, in the order they were taken.
        history_record_kept(db, kept_dir, nullptr);
        bool recorded = history_record(db, run, nullptr, out_error(why));
        history_close(db, fold);
        if (recorded)
            return HISTORY_RECORDED;
    }
    // Busy whenever the history was found held, opening or recording.
    busy = g_error_matches(why.get(), TRIALIX_ERROR, TRIALIX_ERROR_BUSY);
    gerror_ptr keep_error;
    if (history_keep(kept_dir, *run, out_error(keep_error))) {
        if (error)
            *error = g_error_copy(why.get());
        return busy ? HISTORY_KEPT_BUSY : HISTORY_KEPT;
    }
    trialix_set_error(error, TRIALIX_ERROR_WRITE,
                      std::string(why->message) + "; nor could the run be kept aside: " +
                          keep_error->message);
    return HISTORY_LOST;
}
