// The benchmarks run with the plug-in loaded, as in a host session.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/bench_support.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (!kxbench::loadModule()) {
        std::fprintf(stderr, "kx_bench: the plug-in could not be loaded (set KXBLOCKS_MODULE)\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kxbench::unloadModule();
    return 0;
}
