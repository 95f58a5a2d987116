// Assembling a run, and saving and loading one, against the least work
// that could do the same: Trialix's assembly against a bare decompression
// of the same question files, and against the reader that decompresses
// every file three times in low-memory mode.
#include <benchmark/benchmark.h>
#include <bzlib.h>
#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "bank/buffer.h"
#include "bank/exam_list.h"
#include "bank/glib_ptr.h"
#include "bank/question.h"
#include "bank/saved_file.h"
#include "bank/tools.h"
#include "bench/bench_data.h"
#include "bench/gbench.h"
#include "bench/report.h"
#include "saved/store.h"

namespace {

std::string exam_dir(const char *exam)
{
    return bench::layout_of(bench::data_root()).exams + G_DIR_SEPARATOR_S + exam;
}

std::vector<std::string> question_paths(const std::string &dir)
{
    std::vector<std::string> paths;
    for (const std::string &name : filename_list(dir.c_str(), "cat"))
        paths.push_back(dir + G_DIR_SEPARATOR_S + name);
    return paths;
}

std::string read_file(const std::string &path)
{
    gchar *data = nullptr;
    gsize size = 0;
    if (!g_file_get_contents(path.c_str(), &data, &size, nullptr)) {
        fprintf(stderr, "cannot read %s\n", path.c_str());
        exit(1);
    }
    std::string s(data, size);
    g_free(data);
    return s;
}

// The compressed bodies of the assembly exam's files, read and unscrambled
// once: the bare decompression starts where the reading has been done.
struct Bodies {
    std::vector<std::string> body;
    std::vector<size_t> text_size;
    size_t largest = 0;
    size_t compressed = 0;

    Bodies()
    {
        for (const std::string &path : question_paths(exam_dir(bench::ASSEMBLY_EXAM))) {
            std::string file = read_file(path);
            std::string b = file.substr(QUESTION_HEADER_SIZE);
            for (char &c : b)
                c ^= (char)QUESTION_KEY;
            membuf_ptr text = file2buf(path.c_str(), nullptr);
            text_size.push_back(text->size);
            largest = std::max(largest, text->size);
            compressed += file.size();
            body.push_back(std::move(b));
        }
    }
};

const Bodies &bodies()
{
    static const Bodies b;
    return b;
}

// What the examinee waits for after " Start Exam ": the listing, the
// random order, and one item from each file.
void BM_assembly_trialix(benchmark::State &state)
{
    std::string dir = exam_dir(bench::ASSEMBLY_EXAM);
    for (auto _ : state) {
        int files = count_files(dir.c_str(), prefix);
        std::vector<std::string> names = filename_list(dir.c_str(), prefix);
        std::vector<int> order = create_random_list((int)names.size());
        question *list = create_exam_list(order, (int)order.size(), dir.c_str(), names,
                                          choice_order::as_written, nullptr, nullptr, nullptr);
        if (!list || list_length(list) != files) {
            state.SkipWithError("the run is not complete");
            break;
        }
        destroy_list(list);
    }
}

// The floor: each body decompressed with the streaming interface in its
// fast mode, into one buffer large enough for any of them. No file is
// read, nothing is parsed.
void BM_assembly_bare(benchmark::State &state)
{
    const Bodies &b = bodies();
    std::vector<char> out(b.largest + 1);
    for (auto _ : state) {
        for (size_t i = 0; i < b.body.size(); i++) {
            bz_stream strm;
            memset(&strm, 0, sizeof strm);
            BZ2_bzDecompressInit(&strm, 0, 0);
            strm.next_in = const_cast<char *>(b.body[i].data());
            strm.avail_in = (unsigned)b.body[i].size();
            strm.next_out = out.data();
            strm.avail_out = (unsigned)out.size();
            int ret = BZ2_bzDecompress(&strm);
            size_t produced = out.size() - strm.avail_out;
            BZ2_bzDecompressEnd(&strm);
            if (ret != BZ_STREAM_END || produced != b.text_size[i]) {
                state.SkipWithError("bare decompression failed");
                return;
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
}

// The reader that keeps nothing: every item costs three reads of its file,
// each decompressed in one call in low-memory mode into a block five times
// the file's size, and copied into a block of its own length.
void BM_assembly_naive(benchmark::State &state)
{
    std::vector<std::string> paths = question_paths(exam_dir(bench::ASSEMBLY_EXAM));
    for (auto _ : state) {
        for (const std::string &path : paths) {
            for (int pass = 0; pass < 3; pass++) {
                std::string file = read_file(path);
                std::string body = file.substr(QUESTION_HEADER_SIZE);
                for (char &c : body)
                    c ^= (char)QUESTION_KEY;
                std::vector<char> out(5 * file.size());
                unsigned length = (unsigned)out.size();
                int ret = BZ2_bzBuffToBuffDecompress(out.data(), &length, body.data(),
                                                     (unsigned)body.size(), 1, 0);
                if (ret != BZ_OK) {
                    state.SkipWithError("naive decompression failed");
                    return;
                }
                std::vector<char> text(out.data(), out.data() + length);
                benchmark::DoNotOptimize(text.data());
            }
        }
    }
}

// A run of RUN_FILES items, each with its answers as an examinee leaves
// them.
question *whole_run()
{
    std::string dir = exam_dir(bench::RUN_EXAM);
    std::vector<std::string> names = filename_list(dir.c_str(), prefix);
    question *list = create_exam_list(create_random_list((int)names.size()), (int)names.size(),
                                      dir.c_str(), names, choice_order::as_written, nullptr, nullptr, nullptr);
    int i = 0;
    for (question *q = list; q; q = q->next, i++) {
        if (q->type == 'F')
            g_strlcpy(q->entry, "an answer", sizeof q->entry);
        else
            q->selected[i % 2] = 1;
        q->marked = (char)(i % 5 == 0);
        check_question(q);
    }
    return list;
}

std::string saved_path()
{
    return bench::layout_of(bench::data_root()).scratch + G_DIR_SEPARATOR_S "run127.trialix";
}

void BM_save(benchmark::State &state)
{
    question *list = whole_run();
    std::string path = saved_path();
    for (auto _ : state) {
        gerror_ptr error;
        if (save_list_file(path.c_str(), list, header_of_run(), out_error(error)) != bench::RUN_FILES + 1) {
            state.SkipWithError(error ? error->message : "too few records");
            break;
        }
    }
    destroy_list(list);
}

void BM_load(benchmark::State &state)
{
    std::string path = saved_path();
    question *list = whole_run();
    save_list_file(path.c_str(), list, header_of_run(), nullptr);
    destroy_list(list);
    for (auto _ : state) {
        run_header header;
        question *loaded = load_list_file(path.c_str(), nullptr, &header, nullptr);
        if (!loaded || list_length(loaded) != bench::RUN_FILES) {
            state.SkipWithError("load failed");
            break;
        }
        destroy_list(loaded);
    }
}

} // namespace

int main(int argc, char **argv)
{
    bench::Layout data = bench::layout_of(bench::data_root());
    g_strlcpy(examdir, data.exams.c_str(), sizeof examdir);
    g_strlcpy(prefix, "cat", sizeof prefix);
    g_strlcpy(examname, bench::RUN_EXAM, sizeof examname);
    num_questions = bench::RUN_FILES;

    benchmark::RegisterBenchmark("assembly/trialix", BM_assembly_trialix)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("assembly/bare", BM_assembly_bare)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("assembly/naive", BM_assembly_naive)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("saved/save", BM_save)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("saved/load", BM_load)->Unit(benchmark::kMillisecond)->UseRealTime();

    bench::Results r;
    if (!bench::run_benchmarks(argc, argv,
                               {"--benchmark_repetitions=15",
                                "--benchmark_enable_random_interleaving=true",
                                "--benchmark_min_time=0.3"},
                               &r))
        return 1;

    const Bodies &b = bodies();
    size_t text = 0;
    for (size_t s : b.text_size)
        text += s;
    printf("Assembly exam: %zu files, %.1f MB of text, %.1f MB on disk (%.1f:1)\n",
           b.body.size(), text / 1e6, b.compressed / 1e6, (double)text / (double)b.compressed);

    // Assembly keeps a core busy and waits for nothing: its CPU time is its
    // cost, whatever else the machine runs. Saving waits for the disk, so
    // the files' times are wall-clock.
    double trialix = bench::median_of(r, "assembly/trialix", true);
    double bare = bench::median_of(r, "assembly/bare", true);
    double naive = bench::median_of(r, "assembly/naive", true);
    double save = bench::median_of(r, "saved/save");
    double load = bench::median_of(r, "saved/load");
    if (trialix > 0 && bare > 0)
        bench::row("Run assembly, 60 files x 500 items (CPU ms)", bench::fixed(trialix, 1),
                   bench::fixed(bare, 1) + " bare decompression", bench::fixed(trialix / bare),
                   "ratio <= 1.15", bench::yes_no(trialix / bare <= 1.15));
    if (trialix > 0 && naive > 0)
        bench::row("Run assembly against the naive reader (CPU ms)", bench::fixed(trialix, 1),
                   bench::fixed(naive, 1) + " 3 low-memory decompressions per item",
                   bench::fixed(trialix / naive), "reported", "-");
    if (save > 0)
        bench::row("Save a 127-item run, 790 KB (ms)", bench::fixed(save), "-", "-", "< 10 ms",
                   bench::yes_no(save < 10));
    if (load > 0)
        bench::row("Load a 127-item run, 790 KB (ms)", bench::fixed(load), "-", "-", "< 10 ms",
                   bench::yes_no(load < 10));
    return 0;
}
