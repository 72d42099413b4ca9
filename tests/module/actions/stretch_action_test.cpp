// The stretch action's settings, filing and stretch-point maps. Records come from files, so the
// readers are driven with hand-made streams: old layouts, truncation and damaged counts.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/ge/curves.h"
#include "module/actions/stretch_action.h"
#include "module/actions/stretch_action_imp.h"
#include "module/graph/eval_context.h"
#include "stretch_test_support.h"
#include "support/module_loader.h"

namespace {

using Kind = kxhost::DwgMemoryFiler::ItemKind;
using kxtest::copyItems;
using kxtest::fakeId;

// Items the stretch action files after the action's own when its frame and maps are empty.
constexpr int kEmptyOwnItems = 10;

KxDbImpTagStretchAction* imp(KxDbTagStretchAction* action) {
    return kxImpOf<KxDbImpTagStretchAction>(action);
}

// The own part of a record in a given layout.
struct OwnPart {
    bool softIds = true;
    bool withElementMap = true;
    Adesk::UInt32 frameCount = 3;
    Adesk::UInt32 entityCount = 3;

    void write(kxhost::DwgMemoryFiler& f) const {
        f.writeUInt32(11);
        f.writeString(L"UpdatedDistance");
        f.writeUInt32(12);
        f.writeString(L"UpdatedDistanceY");
        f.writeUInt32(frameCount);
        f.writePoint2d(AcGePoint2d(0, 0));
        f.writePoint2d(AcGePoint2d(10, 0));
        f.writePoint2d(AcGePoint2d(10, 5));
        f.writeUInt32(entityCount);
        // A null id is dropped, the others keep their indices.
        const Adesk::Int64 ids[] = {0x40, 0, 0x41};
        for (Adesk::Int64 raw : ids) {
            if (softIds)
                f.writeSoftPointerId(fakeId(raw));
            else
                f.writeHardPointerId(fakeId(raw));
            f.writeUInt32(1);
            f.writeUInt32(raw == 0x41 ? 57 : 1);
        }
        if (withElementMap) {
            f.writeUInt32(1);
            f.writeUInt32(5);
            f.writeUInt32(2);
            f.writeUInt32(0);
            f.writeUInt32(1);
        }
        f.writeDouble(2.0);
        f.writeDouble(0.5);
        f.writeUInt8(1);
    }
};

class StretchActionFilingTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        ModuleTest::SetUp();
        // The action's own part of a record, as a fresh action files it, and where its version
        // sits (the element's version pair is followed later by the own fields).
        KxDbTagStretchAction fresh;
        fresh.dwgOutFields(&m_fresh);
        m_baseItems = m_fresh.itemCount() - kEmptyOwnItems;
        KxDbTagStretchAction reader;
        m_fresh.rewind();
        ASSERT_EQ(reader.dwgInFields(&m_fresh), Acad::eOk);
        const Adesk::Int32 ver = imp(&reader)->readVersion();
        const Adesk::Int32 maint = imp(&reader)->readMaintenanceVersion();
        const auto& items = m_fresh.items();
        for (int i = 0; i + 1 < m_baseItems; ++i) {
            const auto& a = items[static_cast<size_t>(i)];
            const auto& b = items[static_cast<size_t>(i + 1)];
            if (a.kind == Kind::kInt32 && b.kind == Kind::kInt32 &&
                static_cast<Adesk::Int32>(a.bits) == ver &&
                static_cast<Adesk::Int32>(b.bits) == maint) {
                // The node's own version pair comes first: the element's is the last one.
                m_versionAt = i;
            }
        }
        ASSERT_GE(m_versionAt, 0);
    }

    // A record: the action's part with its version set to 25.`maint` (as written today for
    // 0), then `own`.
    void makeRecord(kxhost::DwgMemoryFiler& f, Adesk::Int32 maint, const OwnPart& own) {
        copyItems(m_fresh, f, m_baseItems, maint == 0 ? -1 : m_versionAt, 25, maint);
        own.write(f);
        f.rewind();
    }

    kxhost::DwgMemoryFiler m_fresh;
    int m_baseItems = 0;
    int m_versionAt = -1;
};

TEST_F(StretchActionFilingTest, CurrentRecordReadsEveryField) {
    kxhost::DwgMemoryFiler f;
    makeRecord(f, 0, OwnPart());
    KxDbTagStretchAction action;
    ASSERT_EQ(action.dwgInFields(&f), Acad::eOk);
    KxDbImpTagStretchAction* s = imp(&action);
    EXPECT_EQ(action.parameterNodeId(), 11u);
    ASSERT_EQ(action.stretchFrame().length(), 3);
    EXPECT_EQ(action.stretchFrame()[2].y, 5.0);
    ASSERT_EQ(s->entityStretchPoints().size(), 2u);
    EXPECT_EQ(s->entityStretchPoints().count(fakeId(0)), 0u);
    EXPECT_EQ(s->entityStretchPoints().at(fakeId(0x41))[0], 57);
    ASSERT_EQ(s->elementStretchPoints().size(), 1u);
    EXPECT_EQ(s->elementStretchPoints().at(5).length(), 2);
    EXPECT_EQ(s->distanceMultiplier(), 2.0);
    EXPECT_EQ(s->angleOffset(), 0.5);
    EXPECT_EQ(s->xyType(), 1);
    // Elements with points in the frame are stretched, the rest carried along.
    EXPECT_FALSE(s->acceptsDependent(5));
    EXPECT_TRUE(s->acceptsDependent(6));

    // Writing and reading again gives the same record.
    kxhost::DwgMemoryFiler out;
    ASSERT_EQ(action.dwgOutFields(&out), Acad::eOk);
    out.rewind();
    KxDbTagStretchAction copy;
    ASSERT_EQ(copy.dwgInFields(&out), Acad::eOk);
    kxhost::DwgMemoryFiler again;
    ASSERT_EQ(copy.dwgOutFields(&again), Acad::eOk);
    EXPECT_TRUE(out.sameItems(again)) << AcString(again.describe()).utf8();
}

TEST_F(StretchActionFilingTest, OlderRecordsHaveHardIdsAndNoElementMap) {
    // 25.65: soft ids, no element map yet.
    {
        kxhost::DwgMemoryFiler f;
        OwnPart own;
        own.withElementMap = false;
        makeRecord(f, 65, own);
        KxDbTagStretchAction action;
        ASSERT_EQ(action.dwgInFields(&f), Acad::eOk);
        EXPECT_EQ(imp(&action)->entityStretchPoints().size(), 2u);
        EXPECT_TRUE(imp(&action)->elementStretchPoints().empty());
        EXPECT_EQ(imp(&action)->xyType(), 1);
    }
    // 25.64: hard ids.
    {
        kxhost::DwgMemoryFiler f;
        OwnPart own;
        own.withElementMap = false;
        own.softIds = false;
        makeRecord(f, 64, own);
        KxDbTagStretchAction action;
        ASSERT_EQ(action.dwgInFields(&f), Acad::eOk);
        EXPECT_EQ(imp(&action)->entityStretchPoints().count(fakeId(0x40)), 1u);
        EXPECT_EQ(imp(&action)->distanceMultiplier(), 2.0);
    }
}

TEST_F(StretchActionFilingTest, TruncatedRecordsFailAndChangeNothing) {
    kxhost::DwgMemoryFiler whole;
    makeRecord(whole, 0, OwnPart());
    for (int n = m_baseItems; n < whole.itemCount(); ++n) {
        kxhost::DwgMemoryFiler cut;
        copyItems(whole, cut, n);
        cut.rewind();
        KxDbTagStretchAction action;
        EXPECT_NE(action.dwgInFields(&cut), Acad::eOk) << "items: " << n;
        EXPECT_EQ(action.stretchFrame().length(), 0) << "items: " << n;
        EXPECT_EQ(imp(&action)->distanceMultiplier(), 1.0) << "items: " << n;
        EXPECT_TRUE(imp(&action)->entityStretchPoints().empty()) << "items: " << n;
    }
}

TEST_F(StretchActionFilingTest, HugeCountsAreRefusedWithoutLooping) {
    for (int which = 0; which < 2; ++which) {
        kxhost::DwgMemoryFiler f;
        OwnPart own;
        (which == 0 ? own.frameCount : own.entityCount) = 0xFFFFFFF0u;
        makeRecord(f, 0, own);
        KxDbTagStretchAction action;
        EXPECT_NE(action.dwgInFields(&f), Acad::eOk);
        EXPECT_EQ(action.stretchFrame().length(), 0);
    }
}

TEST_F(StretchActionFilingTest, DxfRoundTripAndMissingGroups) {
    kxhost::DwgMemoryFiler f;
    makeRecord(f, 0, OwnPart());
    KxDbTagStretchAction action;
    ASSERT_EQ(action.dwgInFields(&f), Acad::eOk);

    kxhost::DxfMemoryFiler dxf;
    ASSERT_EQ(action.dxfOutFields(&dxf), Acad::eOk);
    dxf.rewind();
    KxDbTagStretchAction copy;
    ASSERT_EQ(copy.dxfInFields(&dxf), Acad::eOk) << AcString(dxf.describe()).utf8();
    EXPECT_EQ(copy.parameterNodeId(), 11u);
    EXPECT_EQ(copy.stretchFrame().length(), 3);
    EXPECT_EQ(imp(&copy)->elementStretchPoints().size(), 1u);
    EXPECT_EQ(imp(&copy)->entityStretchPoints().size(), 2u);
    EXPECT_EQ(imp(&copy)->angleOffset(), 0.5);
    EXPECT_EQ(imp(&copy)->xyType(), 1);

    // Dropping a required group, or one frame point, spoils the record.
    const int total = dxf.itemCount();
    resbuf* chain = dxf.toChain();
    ASSERT_NE(chain, nullptr);
    const int dropCodes[] = {140, 92, 1011, 75};
    for (int code : dropCodes) {
        // Unlink the first item of `code` for one read.
        resbuf* prev = nullptr;
        resbuf* at = chain;
        while (at != nullptr && at->restype != code) {
            prev = at;
            at = at->rbnext;
        }
        ASSERT_NE(at, nullptr) << code;
        ASSERT_NE(prev, nullptr);
        prev->rbnext = at->rbnext;
        kxhost::DxfMemoryFiler damaged = kxhost::DxfMemoryFiler::fromChain(chain);
        prev->rbnext = at;
        ASSERT_EQ(damaged.itemCount(), total - 1);
        KxDbTagStretchAction reader;
        const Acad::ErrorStatus es = reader.dxfInFields(&damaged);
        EXPECT_TRUE(es == Acad::eMissingDxfField || es == Acad::eBadDxfSequence)
            << code << " gave " << es;
        EXPECT_EQ(reader.stretchFrame().length(), 0);
    }
    acutRelRb(chain);
}

// DXF records follow the element's recorded version as the DWG ones do: hard ids (341) up to
// 25.64, and no element map (group 75) up to 25.65.
TEST_F(StretchActionFilingTest, OlderDxfRecordsReadWithoutTheElementMap) {
    kxhost::DwgMemoryFiler f;
    OwnPart own;
    own.withElementMap = false;
    makeRecord(f, 65, own);
    KxDbTagStretchAction source;
    ASSERT_EQ(source.dwgInFields(&f), Acad::eOk);
    kxhost::DxfMemoryFiler dxf;
    ASSERT_EQ(source.dxfOutFields(&dxf), Acad::eOk);
    resbuf* chain = dxf.toChain();
    ASSERT_NE(chain, nullptr);

    // Old versions written into the element's groups; the element map group taken out.
    auto rewrite = [&](Adesk::Int32 maint, bool hardIds) {
        for (resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
            if (rb->restype == 98)
                rb->resval.rlong = 25;
            else if (rb->restype == 99)
                rb->resval.rlong = maint;
            else if (rb->restype == 331 || rb->restype == 341)
                rb->restype = static_cast<short>(hardIds ? 341 : 331);
        }
    };
    resbuf* prev = chain;
    while (prev->rbnext != nullptr && prev->rbnext->restype != 75)
        prev = prev->rbnext;
    ASSERT_NE(prev->rbnext, nullptr);
    resbuf* group75 = prev->rbnext;
    prev->rbnext = group75->rbnext;

    rewrite(64, true);
    {
        kxhost::DxfMemoryFiler old = kxhost::DxfMemoryFiler::fromChain(chain);
        KxDbTagStretchAction reader;
        ASSERT_EQ(reader.dxfInFields(&old), Acad::eOk) << AcString(old.describe()).utf8();
        EXPECT_EQ(imp(&reader)->entityStretchPoints().size(), 2u);
        EXPECT_TRUE(imp(&reader)->elementStretchPoints().empty());
        EXPECT_EQ(reader.stretchFrame().length(), 3);
    }
    // From 25.66 on the element map is required.
    rewrite(66, false);
    {
        kxhost::DxfMemoryFiler newer = kxhost::DxfMemoryFiler::fromChain(chain);
        KxDbTagStretchAction reader;
        EXPECT_EQ(reader.dxfInFields(&newer), Acad::eMissingDxfField);
    }
    prev->rbnext = group75;
    acutRelRb(chain);
}

TEST_F(StretchActionFilingTest, TruncatedDxfRecordsFail) {
    kxhost::DwgMemoryFiler f;
    makeRecord(f, 0, OwnPart());
    KxDbTagStretchAction source;
    ASSERT_EQ(source.dwgInFields(&f), Acad::eOk);
    kxhost::DxfMemoryFiler dxf;
    ASSERT_EQ(source.dxfOutFields(&dxf), Acad::eOk);
    resbuf* chain = dxf.toChain();
    ASSERT_NE(chain, nullptr);
    // Cut the chain after each item of the stretch action's own groups.
    resbuf* marker = chain;
    while (marker != nullptr &&
           !(marker->restype == 100 &&
             AcString(marker->resval.rstring) == AcString(L"AcDbBlockStretchAction")))
        marker = marker->rbnext;
    ASSERT_NE(marker, nullptr);
    for (resbuf* last = marker; last != nullptr && last->rbnext != nullptr; last = last->rbnext) {
        resbuf* rest = last->rbnext;
        last->rbnext = nullptr;
        kxhost::DxfMemoryFiler cut = kxhost::DxfMemoryFiler::fromChain(chain);
        last->rbnext = rest;
        KxDbTagStretchAction reader;
        EXPECT_NE(reader.dxfInFields(&cut), Acad::eOk) << "cut before group " << rest->restype;
        EXPECT_EQ(reader.stretchFrame().length(), 0);
    }
    acutRelRb(chain);
}

class StretchActionSettingsTest : public kxtest::ModuleTest {};

TEST_F(StretchActionSettingsTest, DisplacementFollowsMultiplierTypeAndAngle) {
    KxDbTagStretchAction action;
    KxDbImpTagStretchAction* s = imp(&action);
    // No sources yet: the delta values are 0 and nothing moves.
    EXPECT_TRUE(s->displacement().isZeroLength());
    EXPECT_EQ(action.parameterNodeId(), 0u);

    AcStringArray names;
    ASSERT_EQ(action.getConnectionNames(names), Acad::eOk);
    ASSERT_EQ(names.length(), 2);
    EXPECT_EQ(names[0], AcString(L"DeltaX"));
    EXPECT_EQ(names[1], AcString(L"DeltaY"));
    AcDb::DwgDataType kind = AcDb::kDwgNull;
    EXPECT_EQ(action.getConnectionType(L"deltay", kind), Acad::eOk);
    EXPECT_EQ(kind, AcDb::kDwgReal);
}

TEST_F(StretchActionSettingsTest, EvaluationOutsideAGraphOrWhileLoadingDoesNothing) {
    KxDbTagStretchAction action;
    KxDbTagEvalContext context;
    // Outside a graph the action cannot read its sources.
    EXPECT_EQ(static_cast<int>(imp(&action)->evaluate(&context)), 450);
    // Stored instance data being applied: nothing to do, whatever the state.
    kxSetEvalMode(&context, kEvalModeLoad);
    EXPECT_EQ(imp(&action)->evaluate(&context), Acad::eOk);
    EXPECT_EQ(imp(&action)->deltaX(), 0.0);
}

TEST_F(StretchActionSettingsTest, InstanceDataCarriesTheAngleOffset) {
    KxDbTagStretchAction action;
    ASSERT_EQ(imp(&action)->setAngleOffset(1.25), Acad::eOk);
    resbuf* chain = nullptr;
    ASSERT_EQ(imp(&action)->getInstanceData(chain), Acad::eOk);
    ASSERT_NE(chain, nullptr);

    KxDbTagStretchAction other;
    const resbuf* cursor = chain;
    EXPECT_EQ(imp(&other)->setInstanceData(cursor, 0), Acad::eOk);
    EXPECT_EQ(imp(&other)->angleOffset(), 1.25);
    EXPECT_EQ(cursor, nullptr);

    // A chain that ends before the angle is refused and changes nothing.
    resbuf* last = chain;
    resbuf* beforeLast = nullptr;
    while (last->rbnext != nullptr) {
        beforeLast = last;
        last = last->rbnext;
    }
    if (beforeLast != nullptr) {
        beforeLast->rbnext = nullptr;
        KxDbTagStretchAction third;
        cursor = chain;
        EXPECT_EQ(imp(&third)->setInstanceData(cursor, 0), Acad::eInvalidInput);
        EXPECT_EQ(imp(&third)->angleOffset(), 0.0);
        beforeLast->rbnext = last;
    }
    acutRelRb(chain);
}

TEST_F(StretchActionSettingsTest, CarriedAlongTurnsTheAngleOffset) {
    KxDbTagStretchAction action;
    KxDbImpTagStretchAction* s = imp(&action);
    ASSERT_EQ(s->setAngleOffset(M_PI / 6), Acad::eOk);
    AcGeMatrix3d mirror;
    mirror.setToMirroring(AcGeLine3d(AcGePoint3d(0, 0, 0), AcGeVector3d::kXAxis));
    ASSERT_EQ(action.transformInstanceBy(mirror), Acad::eOk);
    EXPECT_NEAR(s->angleOffset(), 11 * M_PI / 6, 1e-12);

    ASSERT_EQ(s->setAngleOffset(0.0), Acad::eOk);
    ASSERT_EQ(action.transformInstanceBy(
                  AcGeMatrix3d::rotation(M_PI / 2, AcGeVector3d::kZAxis, AcGePoint3d(5, 7, 0))),
              Acad::eOk);
    EXPECT_NEAR(s->angleOffset(), M_PI / 2, 1e-12);
}

TEST_F(StretchActionSettingsTest, EditingTransformsTheFrame) {
    KxDbTagStretchAction action;
    AcGePoint2dArray frame;
    frame.append(AcGePoint2d(0, 0));
    frame.append(AcGePoint2d(10, 5));
    // Outside a graph the selection set is empty: the maps stay empty whatever the frame.
    ASSERT_EQ(action.setStretchFrame(frame), Acad::eOk);
    ASSERT_EQ(action.transformBy(AcGeMatrix3d::translation(AcGeVector3d(1, 2, 3))), Acad::eOk);
    const AcGePoint2dArray moved = action.stretchFrame();
    ASSERT_EQ(moved.length(), 2);
    EXPECT_EQ(moved[0].x, 1.0);
    EXPECT_EQ(moved[0].y, 2.0);
    EXPECT_EQ(moved[1].x, 11.0);
    EXPECT_EQ(moved[1].y, 7.0);
    EXPECT_TRUE(imp(&action)->entityStretchPoints().empty());
}

}  // namespace
