// Shared pieces of the entity suites: a drawing with the default tables, an open holder, a
// graphics context that records what is drawn, and filing round trips.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/blocktable.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/entities/entity.h"
#include "host/gi/worlddraw.h"

namespace enttest {

// Closes what it holds when it goes.
template <class T>
struct Open {
    Open() = default;
    Open(AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false) {
        status = acdbOpenObject(obj, id, mode, openErased);
    }
    ~Open() { reset(); }
    Open(const Open&) = delete;
    Open& operator=(const Open&) = delete;
    void reset() {
        if (obj != nullptr) {
            obj->close();
            obj = nullptr;
        }
    }
    T* operator->() const { return obj; }
    explicit operator bool() const { return obj != nullptr; }
    T* obj = nullptr;
    Acad::ErrorStatus status = Acad::eOk;
};

// A chain owned by the test.
struct Chain {
    explicit Chain(resbuf* rb = nullptr) : head(rb) {}
    ~Chain() { acutRelRb(head); }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    resbuf* head;
};

// Objects made by tests outside a database.
struct RxDeleter {
    void operator()(AcRxObject* p) const { delete p; }
};
template <class T>
using Owned = std::unique_ptr<T, RxDeleter>;

::testing::AssertionResult samePoint(const AcGePoint3d& expected, const AcGePoint3d& actual,
                                     double tol = 1e-9);
::testing::AssertionResult sameVector(const AcGeVector3d& expected, const AcGeVector3d& actual,
                                      double tol = 1e-9);
::testing::AssertionResult sameMatrix(const AcGeMatrix3d& expected, const AcGeMatrix3d& actual,
                                      double tol = 1e-9);
::testing::AssertionResult sameExtents(const AcGePoint3d& min, const AcGePoint3d& max,
                                       const AcDbExtents& actual, double tol = 1e-9);

// Every suite starts with the default open rule and fresh counters and checks at the end that
// nothing was left open or asserted wrongly.
class EntityTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Appends to model space (or the given block) and closes; the id of the entity.
    AcDbObjectId append(AcDbEntity* ent, AcDbObjectId block = AcDbObjectId::kNull);
    // A new block record with that name (and origin), added to the table and closed.
    AcDbObjectId addBlock(const ACHAR* name, const AcGePoint3d& origin = AcGePoint3d::kOrigin);
    AcDbObjectId modelSpace() const { return db.modelSpaceId(); }

    AcDbDatabase db{true, true};
    bool checkOpens = true;
};

// DWG round trip: files the object out with a filer of the given type, reads that into a new
// object of its class and files the new object out again. Both streams must match.
::testing::AssertionResult dwgRoundTrip(const AcDbObject* obj,
                                        AcDb::FilerType type = AcDb::kFileFiler,
                                        Owned<AcDbObject>* copyOut = nullptr);
// The same through the DXF filer.
::testing::AssertionResult dxfRoundTrip(const AcDbObject* obj, AcDbDatabase* db,
                                        Owned<AcDbObject>* copyOut = nullptr);
// Copies the first `keep` items of one stream into another (all with keep < 0), letting `edit`
// change each item on the way.
void replay(const kxhost::DwgMemoryFiler& from, kxhost::DwgMemoryFiler& to, int keep,
            const std::function<void(int, kxhost::DwgMemoryFiler::Item&)>& edit = nullptr);
// Files the object out, damages the stream (truncated to `keep` items, edited) and reads it into
// `target`. Returns the read's status.
Acad::ErrorStatus readDamaged(
    const AcDbObject* obj, AcDbObject* target, int keep,
    const std::function<void(int, kxhost::DwgMemoryFiler::Item&)>& edit = nullptr);

// One drawn primitive, in world coordinates.
struct Primitive {
    std::wstring kind;  // polyline, polygon, circle, arc, text
    std::vector<AcGePoint3d> points;
    double radius = 0.0;
    std::wstring text;
};

// A world-draw context that records primitives after the model transforms.
class RecordingDraw : public AcGiWorldDraw {
  public:
    RecordingDraw();
    ~RecordingDraw() override;
    AcGiWorldGeometry& geometry() const override;
    AcGiSubEntityTraits& subEntityTraits() const override;
    AcGiRegenType regenType() const override { return kAcGiStandardDisplay; }

    std::vector<Primitive>& primitives() const;
    int depth() const;  // model transforms still pushed
    int count(const std::wstring& kind) const;
    std::vector<std::wstring> texts() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace enttest
