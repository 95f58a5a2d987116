// bench_gen ROOT: makes the benchmarks' data set under ROOT (nothing when
// a finished one is there) and prints where its parts are.
#include <cstdio>
#include <string>

#include "bench/bench_data.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s ROOT\n", argv[0]);
        return 2;
    }
    std::string error;
    if (!bench::make_data(argv[1], &error)) {
        fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    bench::Layout l = bench::layout_of(argv[1]);
    printf("exams=%s\nxdg=%s\nconfig_home=%s\nscratch=%s\n", l.exams.c_str(), l.xdg.c_str(),
           l.config_home.c_str(), l.scratch.c_str());
    return 0;
}
