#include "bench/bench_data.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "bank/buffer.h"

namespace bench {

const char ASSEMBLY_EXAM[] = "pool60";
const char RUN_EXAM[] = "run127";

// splitmix64: tiny, and good enough for text.
uint64_t Rng::next()
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int Rng::below(int n)
{
    return n <= 1 ? 0 : (int)(next() % (uint64_t)n);
}

int Rng::between(int lo, int hi)
{
    return lo + below(hi - lo + 1);
}

namespace {

// A lexicon of made-up words drawn with Zipf's law, as words of a language
// are: a few very common, most rare. That gives text that compresses like
// prose does, without shipping a dictionary.
class Lexicon {
public:
    Lexicon()
    {
        static const char *const syllables[] = {
            "a", "an", "ar", "ba", "be", "bi", "bo", "ca", "ce", "co", "da", "de", "di",
            "do", "e", "el", "en", "er", "es", "fa", "fe", "fi", "ga", "ge", "go", "ha",
            "he", "hi", "i", "in", "is", "it", "ka", "ke", "la", "le", "li", "lo", "ma",
            "me", "mi", "mo", "na", "ne", "ni", "no", "o", "on", "or", "pa", "pe", "po",
            "ra", "re", "ri", "ro", "sa", "se", "si", "so", "ta", "te", "ti", "to", "u",
            "un", "ur", "va", "ve", "vi", "wa", "we", "ya", "za",
        };
        Rng rng(0x7121A1E5);
        const int words = 3000;
        double total = 0;
        for (int rank = 0; rank < words; rank++) {
            // Common words are short, rare ones long.
            int parts = rank < 60 ? rng.between(1, 2) : rank < 600 ? rng.between(2, 3)
                                                                   : rng.between(2, 4);
            std::string w;
            for (int p = 0; p < parts; p++)
                w += syllables[rng.below((int)G_N_ELEMENTS(syllables))];
            words_.push_back(w);
            total += 1.0 / (rank + 1);
            cumulative_.push_back(total);
        }
    }

    const std::string &draw(Rng &rng) const
    {
        double u = (double)(rng.next() >> 11) * (1.0 / 9007199254740992.0) * cumulative_.back();
        size_t i = (size_t)(std::upper_bound(cumulative_.begin(), cumulative_.end(), u) -
                            cumulative_.begin());
        return words_[std::min(i, words_.size() - 1)];
    }

private:
    std::vector<std::string> words_;
    std::vector<double> cumulative_;
};

const Lexicon &lexicon()
{
    static const Lexicon l;
    return l;
}

// `count` words as sentences of 5 to 12 words, each capitalised and ended
// by `stop` (the last) or '.' (the others); a line break where a line
// would pass `width` characters (0: one line). With `tag`, one word of
// the text is set in bold or italics.
std::string sentences(Rng &rng, int count, char stop, size_t width, bool tag)
{
    const Lexicon &lex = lexicon();
    int tagged = tag ? rng.below(count) : -1;
    const char *tag_name = rng.below(2) ? "b" : "i";
    std::string out;
    size_t line_start = 0;
    int in_sentence = 0, sentence_length = rng.between(5, 12);
    for (int i = 0; i < count; i++) {
        std::string word = lex.draw(rng);
        if (in_sentence == 0)
            word[0] = g_ascii_toupper(word[0]);
        if (i == tagged)
            word = std::string("<") + tag_name + ">" + word + "</" + tag_name + ">";
        bool last = i == count - 1;
        if (++in_sentence == sentence_length || last) {
            word += last ? stop : '.';
            in_sentence = 0;
            sentence_length = rng.between(5, 12);
        } else if (rng.below(9) == 0) {
            word += ',';
        }
        if (i > 0) {
            if (width && out.size() - line_start + 1 + word.size() > width) {
                out += '\n';
                line_start = out.size();
            } else {
                out += ' ';
            }
        }
        out += word;
    }
    return out;
}

// Choice text: a short phrase without a final stop.
std::string phrase(Rng &rng, int count)
{
    std::string s = sentences(rng, count, '.', 0, false);
    s.pop_back();
    return s;
}

void append_item(std::string &out, Rng &rng, const ItemShape &shape)
{
    char kind;
    if (shape.answers)
        kind = rng.below(2) ? 'S' : 'M';
    else {
        int k = rng.below(20);
        kind = k < 9 ? 'S' : k < 16 ? 'M' : 'F';
    }
    int budget = rng.between(40, 80);
    std::vector<std::string> answers;
    if (kind == 'F') {
        // The word, then the spellings an author would also accept.
        std::string word = lexicon().draw(rng);
        std::string capital = word;
        capital[0] = g_ascii_toupper(capital[0]);
        const std::string spellings[] = {word, capital, word + "s"};
        int n = rng.between(1, 3);
        for (int i = 0; i < n; i++)
            answers.push_back(spellings[i]);
        budget -= 1;
    } else {
        int n = shape.answers ? shape.answers : rng.between(2, 7);
        int right = rng.below(n);
        for (int i = 0; i < n; i++) {
            int length = rng.between(2, 5);
            budget -= length;
            bool correct = kind == 'S' ? i == right : (i == right || rng.below(2) == 0);
            answers.push_back(std::string(correct ? "+" : "-") + phrase(rng, length));
        }
    }
    int explanation = rng.between(8, 16);
    budget -= explanation;
    int question = std::max(10, budget);

    out += "+++\n";
    out += kind;
    out += (char)('0' + rng.between(1, 3));
    out += '\n';
    out += sentences(rng, question, '?', 70, rng.below(5) == 0);
    out += "\n---\n";
    for (const std::string &a : answers)
        out += a + '\n';
    out += "---\n";
    out += sentences(rng, explanation, '.', 70, false);
    out += '\n';
}

bool write_file(const std::string &path, const std::string &text, std::string *error)
{
    GError *e = nullptr;
    if (g_file_set_contents(path.c_str(), text.data(), (gssize)text.size(), &e))
        return true;
    *error = e->message;
    g_error_free(e);
    return false;
}

bool make_dir(const std::string &path, std::string *error)
{
    if (g_mkdir_with_parents(path.c_str(), 0755) == 0)
        return true;
    *error = "cannot make " + path;
    return false;
}

void remove_tree(const std::string &path)
{
    std::error_code ignored;   // symbolic links are removed, not followed
    std::filesystem::remove_all(path, ignored);
}

std::string temp_root;

void remove_temp_root()
{
    if (!temp_root.empty())
        remove_tree(temp_root);
}

} // namespace

std::string pool_text(uint64_t seed, int items, ItemShape shape)
{
    Rng rng(seed);
    std::string out = "Generated question pool for the Trialix benchmarks.\n";
    for (int i = 0; i < items; i++)
        append_item(out, rng, shape);
    out += "+++\n";
    return out;
}

bool write_exam(const std::string &dir, const std::string &title, int files, int items,
                uint64_t seed, std::string *error)
{
    if (!make_dir(dir, error))
        return false;
    char config[512];
    g_snprintf(config, sizeof config,
               "title=%s\ntimeout=90\npercentage=75\n[message]\n"
               "Generated for the benchmarks: %d question files of %d items.\n",
               title.c_str(), files, items);
    if (!write_file(dir + G_DIR_SEPARATOR_S ".xconfig", config, error))
        return false;
    for (int f = 1; f <= files; f++) {
        char name[32];
        g_snprintf(name, sizeof name, "cat%03d", f);
        std::string text = pool_text(seed * 1000 + (uint64_t)f, items);
        GError *failure = nullptr;
        if (!text2file(text.data(), text.size(), (dir + G_DIR_SEPARATOR_S + name).c_str(), &failure)) {
            *error = failure->message;
            g_error_free(failure);
            return false;
        }
    }
    return true;
}

Layout layout_of(const std::string &given)
{
    // Absolute, since the settings file names the exam root.
    gchar *absolute = g_canonicalize_filename(given.c_str(), nullptr);
    std::string root = absolute;
    g_free(absolute);
    const std::string s = G_DIR_SEPARATOR_S;
    return {root, root + s + "exams", root + s + "xdg", root + s + "config-home",
            root + s + "scratch"};
}

bool make_data(const std::string &root, std::string *error)
{
    Layout l = layout_of(root);
    const std::string s = G_DIR_SEPARATOR_S;
    // The stamp names the figures, so a data set of other figures is redone.
    char stamp_name[96];
    g_snprintf(stamp_name, sizeof stamp_name, ".complete-%d-%d-%d-%d-%d-%d-v1", POOL_ITEMS,
               ASSEMBLY_FILES, RUN_FILES, CATALOGUE_DIRS, SMALL_FILES, SMALL_ITEMS);
    std::string stamp = l.root + s + stamp_name;
    if (g_file_test(stamp.c_str(), G_FILE_TEST_EXISTS))
        return true;
    remove_tree(l.exams);
    if (!make_dir(l.exams, error) || !make_dir(l.config_home, error) ||
        !make_dir(l.scratch, error) || !make_dir(l.xdg + G_DIR_SEPARATOR_S "trialix", error))
        return false;

    if (!write_exam(l.exams + s + ASSEMBLY_EXAM, "Assembly benchmark", ASSEMBLY_FILES,
                    POOL_ITEMS, 1, error) ||
        !write_exam(l.exams + s + RUN_EXAM, "Whole run benchmark", RUN_FILES, POOL_ITEMS, 2,
                    error))
        return false;
    for (int d = 1; d <= CATALOGUE_DIRS - 2; d++) {
        char name[32];
        g_snprintf(name, sizeof name, "exam%03d", d);
        if (!write_exam(l.exams + s + name, std::string("Exam ") + name, SMALL_FILES,
                        SMALL_ITEMS, 100 + (uint64_t)d, error))
            return false;
    }

    std::string settings = "[Trialix]\nexamdir=" + l.exams + "\nexamconfig=.xconfig\nprefix=cat\n";
    if (!write_file(l.xdg + s + "trialix" + s + "trialix.conf", settings, error))
        return false;
    return write_file(stamp, "", error);
}

std::string data_root()
{
    if (const char *env = g_getenv("TRIALIX_BENCH_DATA"))
        return env;
    if (temp_root.empty()) {
        gchar *dir = g_dir_make_tmp("trialix-bench-XXXXXX", nullptr);
        if (!dir) {
            fputs("cannot make a temporary directory for the benchmark data\n", stderr);
            exit(1);
        }
        temp_root = dir;
        g_free(dir);
        atexit(remove_temp_root);
        std::string error;
        fputs("Generating the benchmark data...\n", stderr);
        if (!make_data(temp_root, &error)) {
            fprintf(stderr, "benchmark data: %s\n", error.c_str());
            exit(1);
        }
    }
    return temp_root;
}

} // namespace bench
