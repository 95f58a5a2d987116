// The benchmarks' data: exams of generated, deterministic content written
// with the library's own writer, and the settings file that points Trialix
// at them. The same seed gives the same bytes on every machine.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// The figures of the data set.
enum {
    POOL_ITEMS = 500,      // items in every question file of the two big exams
    ASSEMBLY_FILES = 60,   // question files of the exam that times assembly
    RUN_FILES = 127,       // question files of the exam of a whole run
    CATALOGUE_DIRS = 200,  // exam directories in the exam root
    SMALL_FILES = 3,       // question files of every other exam
    SMALL_ITEMS = 20,      // items in each of those
};

// Names of the two big exams inside the exam root.
extern const char ASSEMBLY_EXAM[];
extern const char RUN_EXAM[];

// A small, fast generator of its own, so that the data doesn't depend on
// the C library's rand() or on std:: distributions.
struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t next();
    int below(int n);                 // 0 to n - 1
    int between(int lo, int hi);      // lo to hi, both included
};

// What one generated item is made of.
struct ItemShape {
    int answers = 0;   // choices of an 'S' or 'M' item; 0 lets the generator pick 2 to 7
};

// The text of a question file of `items` items: kinds S, M and F mixed,
// 1 to 3 points, up to 7 answers, 40 to 80 words an item, now and then a
// markup tag in the question. `shape` forces the number of choices (and
// then only 'S' and 'M' items are made).
std::string pool_text(uint64_t seed, int items, ItemShape shape = {});

// Writes an exam directory: its configuration file (".xconfig") and
// `files` question files "cat001" ... of `items` items each.
bool write_exam(const std::string &dir, const std::string &title, int files, int items,
                uint64_t seed, std::string *error);

// Where the data set lives under its root.
struct Layout {
    std::string root;
    std::string exams;        // the exam root: CATALOGUE_DIRS directories
    std::string xdg;          // for XDG_CONFIG_DIRS: trialix/trialix.conf
    std::string config_home;  // for XDG_CONFIG_HOME: empty
    std::string scratch;      // for files the benchmarks write
};
Layout layout_of(const std::string &root);

// Makes the whole data set under root unless a finished one is there.
// Returns false with *error set on failure.
bool make_data(const std::string &root, std::string *error);

// The data set's root: $TRIALIX_BENCH_DATA, or one made in the temporary
// directory on the first call (made with make_data, removed at exit).
std::string data_root();

} // namespace bench
