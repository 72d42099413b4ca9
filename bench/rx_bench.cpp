// Costs on the host's hot paths that every grip drag goes through: class tests and overrule
// dispatch.
#include <benchmark/benchmark.h>

#include "host/gi/drawable.h"
#include "host/rx/overrule.h"

namespace {

class NullOverrule : public AcGiDrawableOverrule {};

class Leaf : public AcGiDrawable {
  public:
    bool subWorldDraw(AcGiWorldDraw*) override { return true; }
};

void BM_IsKindOf(benchmark::State& state) {
    Leaf leaf;
    AcRxClass* root = AcRxObject::desc();
    for (auto _ : state) {
        benchmark::DoNotOptimize(leaf.isKindOf(root));
    }
}
BENCHMARK(BM_IsKindOf);

void BM_FindClass(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(acrxFindAcRxClass(L"AcGiDrawableOverrule"));
    }
}
BENCHMARK(BM_FindClass);

void BM_OverruledWorldDraw(benchmark::State& state) {
    NullOverrule overrule;
    AcRxOverrule::addOverrule(AcGiDrawable::desc(), &overrule);
    Leaf leaf;
    for (auto _ : state) {
        benchmark::DoNotOptimize(leaf.worldDraw(nullptr));
    }
    AcRxOverrule::removeOverrule(AcGiDrawable::desc(), &overrule);
}
BENCHMARK(BM_OverruledWorldDraw);

}  // namespace
