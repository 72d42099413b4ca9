// The same drag step (a definition of 100 lines) in drawings with more and more references, each
// in a state of its own, so that each has a representation block of its own: the step must not
// grow with the drawing.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

#include "bench/bench_support.h"

namespace {

constexpr int kLines = 100;

void BM_DragStepAmongReferences(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const auto start = std::chrono::steady_clock::now();
    kxbench::StretchDrawing drawing;
    if (drawing.build(kLines, count) != Acad::eOk) {
        state.SkipWithError("the drawing could not be built");
        return;
    }
    // Every other reference dragged once to a width of its own (10.001, 10.002, ...), none of
    // which the measured reference ever takes (10.0005 and 11.0005).
    for (int i = 1; i < count; ++i) {
        kxbench::HeldGrip grip;
        if (grip.collect(drawing.references[i]) != Acad::eOk || grip.drag(0.001 * i) != Acad::eOk) {
            state.SkipWithError("a reference could not be given its state");
            return;
        }
    }
    kxbench::HeldGrip grip;
    if (grip.collect(drawing.references[0]) != Acad::eOk || grip.drag(0.0005) != Acad::eOk ||
        std::fabs(kxbench::firstLineRight(drawing.references[0]) - 10.0005) > 1e-9) {
        state.SkipWithError("the measured reference could not be primed");
        return;
    }
    state.counters["setup_s"] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double dx = 1.0;
    for (auto _ : state) {
        if (grip.drag(dx) != Acad::eOk) {
            state.SkipWithError("a drag step failed");
            break;
        }
        dx = -dx;
    }
    state.counters["references"] = count;
}
BENCHMARK(BM_DragStepAmongReferences)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);

// A first change (the reference's own representation block is made from the definition) in the
// same drawings: each iteration inserts a fresh reference (not timed) and drags it once.
void BM_FirstChangeAmongReferences(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    kxbench::StretchDrawing drawing;
    if (drawing.build(kLines, count) != Acad::eOk) {
        state.SkipWithError("the drawing could not be built");
        return;
    }
    for (int i = 1; i < count; ++i) {
        kxbench::HeldGrip grip;
        if (grip.collect(drawing.references[i]) != Acad::eOk || grip.drag(0.001 * i) != Acad::eOk) {
            state.SkipWithError("a reference could not be given its state");
            return;
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        AcDbObjectId fresh;
        kxbench::HeldGrip grip;
        const bool ready = drawing.insert(fresh) == Acad::eOk && grip.collect(fresh) == Acad::eOk;
        state.ResumeTiming();
        if (!ready || grip.drag(0.0005) != Acad::eOk) {
            state.SkipWithError("a first change failed");
            break;
        }
        state.PauseTiming();
        grip.release();
        state.ResumeTiming();
    }
    state.counters["references"] = count;
}
BENCHMARK(BM_FirstChangeAmongReferences)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
