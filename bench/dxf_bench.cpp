// Writing and reading a generated drawing of 200,000 entities as ASCII DXF, in memory.
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

#include "bench/bench_support.h"
#include "host/db/blocktablerecord.h"
#include "host/dxf/dxf_reader.h"
#include "host/dxf/dxf_writer.h"
#include "host/entities/arc.h"
#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "host/entities/polyline.h"

namespace {

constexpr int kEntities = 200000;

// Lines, circles, arcs and four-vertex polylines in turn, on a grid of model space.
std::unique_ptr<AcDbDatabase> generatedDrawing(int count) {
    auto db = std::make_unique<AcDbDatabase>(true, true);
    AcDbBlockTableRecord* space = nullptr;
    if (acdbOpenObject(space, db->modelSpaceId(), AcDb::kForWrite) != Acad::eOk) {
        return nullptr;
    }
    Acad::ErrorStatus es = Acad::eOk;
    for (int i = 0; i < count && es == Acad::eOk; ++i) {
        const double x = (i % 500) * 3.0;
        const double y = (i / 500) * 3.0;
        AcDbEntity* entity = nullptr;
        switch (i % 4) {
            case 0:
                entity = new AcDbLine(AcGePoint3d(x, y, 0), AcGePoint3d(x + 2, y + 1, 0));
                break;
            case 1:
                entity = new AcDbCircle(AcGePoint3d(x + 1, y + 1, 0), AcGeVector3d::kZAxis, 0.75);
                break;
            case 2:
                entity = new AcDbArc(AcGePoint3d(x + 1, y + 1, 0), 1.0, 0.25, 2.5);
                break;
            default: {
                auto* pline = new AcDbPolyline();
                pline->addVertexAt(0, AcGePoint2d(x, y));
                pline->addVertexAt(1, AcGePoint2d(x + 2, y));
                pline->addVertexAt(2, AcGePoint2d(x + 2, y + 2));
                pline->addVertexAt(3, AcGePoint2d(x, y + 2));
                pline->setClosed(true);
                entity = pline;
                break;
            }
        }
        es = space->appendAcDbEntity(entity);
        if (es == Acad::eOk) {
            entity->close();
        } else {
            delete entity;
        }
    }
    space->close();
    return es == Acad::eOk ? std::move(db) : nullptr;
}

void BM_DxfWrite(benchmark::State& state) {
    const std::unique_ptr<AcDbDatabase> db = generatedDrawing(kEntities);
    if (db == nullptr) {
        state.SkipWithError("the drawing could not be generated");
        return;
    }
    size_t bytes = 0;
    for (auto _ : state) {
        std::ostringstream out;
        if (kxhost::dxf::writeDxf(db.get(), out) != Acad::eOk) {
            state.SkipWithError("writing failed");
            break;
        }
        bytes = out.str().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["entities"] = kEntities;
}
BENCHMARK(BM_DxfWrite)->Unit(benchmark::kMillisecond);

void BM_DxfRead(benchmark::State& state) {
    std::string text;
    {
        const std::unique_ptr<AcDbDatabase> db = generatedDrawing(kEntities);
        std::ostringstream out;
        if (db == nullptr || kxhost::dxf::writeDxf(db.get(), out) != Acad::eOk) {
            state.SkipWithError("the drawing could not be generated and written");
            return;
        }
        text = out.str();
    }
    for (auto _ : state) {
        std::istringstream in(text);
        AcDbDatabase* db = nullptr;
        const Acad::ErrorStatus es = kxhost::dxf::readDxf(in, db);
        state.PauseTiming();
        delete db;
        state.ResumeTiming();
        if (es != Acad::eOk) {
            state.SkipWithError("reading failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["entities"] = kEntities;
}
BENCHMARK(BM_DxfRead)->Unit(benchmark::kMillisecond);

}  // namespace
