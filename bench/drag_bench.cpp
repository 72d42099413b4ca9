// One drag step of a dynamic block reference against the floor of what it must at least do:
// moving the same entities with transformBy.
//
// The step is the host's release of a grip (moveGripPointsAt on the database reference open for
// write, through the module's grip overrule): the reference context evaluates the stretch, writes
// the reference's records and its representation block, and offers the block for sharing. The
// reference is dragged once before measuring, so no step is its first change (which copies the
// definition), and the steps alternate between two offsets so that every one changes geometry.
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench/bench_support.h"
#include "host/testing/grip_editor.h"

namespace {

void BM_DragStep(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    kxbench::StretchDrawing drawing;
    Acad::ErrorStatus es = drawing.build(lines, 1);
    kxbench::HeldGrip grip;
    if (es == Acad::eOk) {
        es = grip.collect(drawing.references[0]);
    }
    if (es == Acad::eOk) {
        es = grip.drag(1.0);
    }
    if (es != Acad::eOk ||
        std::fabs(kxbench::firstLineRight(drawing.references[0]) - 11.0) > 1e-9) {
        state.SkipWithError("the drawing could not be built or primed");
        return;
    }
    double dx = -1.0;
    for (auto _ : state) {
        if (grip.drag(dx) != Acad::eOk) {
            state.SkipWithError("a drag step failed");
            break;
        }
        dx = -dx;
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["entities"] = lines;
}
BENCHMARK(BM_DragStep)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The floor: each entity of the definition opened for write, moved, closed.
void BM_TransformFloor(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    kxbench::StretchDrawing drawing;
    if (drawing.build(lines, 1) != Acad::eOk) {
        state.SkipWithError("the drawing could not be built");
        return;
    }
    double dx = 1.0;
    for (auto _ : state) {
        if (kxbench::transformEntities(drawing.definitionEntities, dx) != Acad::eOk) {
            state.SkipWithError("transformBy failed");
            break;
        }
        dx = -dx;
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["entities"] = lines;
}
BENCHMARK(BM_TransformFloor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// One step of the drag image while the grip moves (the grip editor's dragTo: a fresh copy of the
// reference moved by the offset from the drag start, which changes its private entity copies).
void BM_DragImageStep(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    kxbench::StretchDrawing drawing;
    kxbench::HeldGrip prime;
    if (drawing.build(lines, 1) != Acad::eOk || prime.collect(drawing.references[0]) != Acad::eOk ||
        prime.drag(1.0) != Acad::eOk) {
        state.SkipWithError("the drawing could not be built or primed");
        return;
    }
    prime.release();
    kxhost::GripEditor editor(drawing.db, drawing.references[0]);
    if (editor.collectGrips() != Acad::eOk || editor.gripCount() == 0 ||
        editor.beginDrag(0) != Acad::eOk) {
        state.SkipWithError("the grip editor could not start the drag");
        return;
    }
    double dx = 1.0;
    for (auto _ : state) {
        if (editor.dragTo(AcGeVector3d(dx, 0, 0)) != Acad::eOk ||
            editor.lastDragStatus() != Acad::eOk) {
            state.SkipWithError("a drag image step failed");
            break;
        }
        dx = dx == 1.0 ? 2.0 : 1.0;
    }
    editor.cancel();
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["entities"] = lines;
}
BENCHMARK(BM_DragImageStep)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
