// Grip records and the grip overrule's dispatch: what an entity offers on its own, how
// overrules put their grips in front of the host's and pass the rest on, and that every base
// call ends in the entity's own code.
#include <vector>

#include "tests/host/grips/grips_test_support.h"

namespace griptest {
namespace {

// The application data an overrule hangs on its own grips.
struct OwnGrip {
    int tag;
};

// Offers one grip of its own in front of whatever follows, moves it by recording the offset,
// and hands every other grip to the base.
class PrependingOverrule : public AcDbGripOverrule {
  public:
    explicit PrependingOverrule(int tag) : own{tag} {}

    Acad::ErrorStatus getGripPoints(const AcDbEntity* ent, AcDbGripDataPtrArray& grips, double vus,
                                    int size, const AcGeVector3d& dir, int flags) override {
        auto* g = new AcDbGripData();
        g->setGripPoint(AcGePoint3d(own.tag, 0, 0));
        g->setAppData(&own);
        grips.append(g);
        return AcDbGripOverrule::getGripPoints(ent, grips, vus, size, dir, flags);
    }
    Acad::ErrorStatus moveGripPointsAt(AcDbEntity* ent, const AcDbVoidPtrArray& data,
                                       const AcGeVector3d& offset, int flags) override {
        AcDbVoidPtrArray rest;
        for (void* p : data) {
            if (p == &own) {
                ownMoves.push_back(offset);
            } else {
                rest.append(p);
            }
        }
        return AcDbGripOverrule::moveGripPointsAt(ent, rest, offset, flags);
    }
    Acad::ErrorStatus getGripPoints(const AcDbEntity* ent, AcGePoint3dArray& pts,
                                    AcDbIntArray& modes, AcDbIntArray& ids) override {
        pts.append(AcGePoint3d(-1, -1, 0));
        return AcDbGripOverrule::getGripPoints(ent, pts, modes, ids);
    }
    bool isApplicable(const AcRxObject*) const override { return applicable; }

    OwnGrip own;
    bool applicable = true;
    std::vector<AcGeVector3d> ownMoves;
};

void deleteAll(AcDbGripDataPtrArray& grips) {
    for (AcDbGripData* g : grips) {
        delete g;
    }
    grips.setLogicalLength(0);
}

using GripRecordTest = GripTest;

TEST_F(GripRecordTest, RecordStartsEmptyAndOwnsItsAlternateBasePoint) {
    AcDbGripData g;
    EXPECT_EQ(g.appData(), nullptr);
    EXPECT_EQ(g.appDataAcRxClass(), nullptr);
    EXPECT_EQ(g.hotGripFunc(), nullptr);
    EXPECT_EQ(g.rtClk(), nullptr);
    EXPECT_EQ(g.viewportDraw(), nullptr);
    EXPECT_EQ(g.toolTipFunc(), nullptr);
    EXPECT_EQ(g.hoverDimensionFunc(), nullptr);
    EXPECT_EQ(g.hotGripDimensionFunc(), nullptr);
    EXPECT_EQ(g.inputPointFunc(), nullptr);
    EXPECT_EQ(g.alternateBasePoint(), nullptr);
    EXPECT_EQ(g.bitFlags(), 0);

    // Replacing and copying: each record frees its own point exactly once (the sanitizer run
    // catches a double free or a leak here).
    g.setAlternateBasePoint(new AcGePoint3d(1, 2, 3));
    g.setAlternateBasePoint(new AcGePoint3d(4, 5, 6));
    AcDbGripData copy(g);
    ASSERT_NE(copy.alternateBasePoint(), nullptr);
    EXPECT_NE(copy.alternateBasePoint(), g.alternateBasePoint());
    EXPECT_TRUE(samePoint(AcGePoint3d(4, 5, 6), *copy.alternateBasePoint()));
    AcDbGripDataArray arr;
    arr.append(g);
    arr.append(copy);
    copy = arr[0];
    EXPECT_TRUE(samePoint(AcGePoint3d(4, 5, 6), *copy.alternateBasePoint()));
    g.setAlternateBasePoint(nullptr);
    EXPECT_EQ(g.alternateBasePoint(), nullptr);
}

TEST_F(GripRecordTest, ReferenceOffersItsInsertionPointWithHostAppData) {
    AcDbGripDataPtrArray grips;
    {
        Open<AcDbBlockReference> r(ref, AcDb::kForRead);
        ASSERT_EQ(r->getGripPoints(grips, 1.0, 5, AcGeVector3d::kZAxis, 0), Acad::eOk);
    }
    ASSERT_EQ(grips.length(), 1);
    EXPECT_TRUE(samePoint(kInsert, grips[0]->gripPoint()));
    // The host's data is a run-time object of a host class, so a class check on the pointer
    // tells it apart from anyone else's.
    auto* data = static_cast<AcRxObject*>(grips[0]->appData());
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->isKindOf(kxhost::HostGripAppData::desc()));
    EXPECT_EQ(grips[0]->appDataAcRxClass(), kxhost::HostGripAppData::desc());
    EXPECT_EQ(kxhost::HostGripAppData::indexOf(grips[0]->appData()), 0);
    OwnGrip stranger{7};
    EXPECT_EQ(kxhost::HostGripAppData::indexOf(&stranger), -1);
    EXPECT_EQ(kxhost::HostGripAppData::indexOf(nullptr), -1);

    // Moving by the host's data translates the reference; foreign pointers are skipped.
    {
        Open<AcDbBlockReference> r(ref, AcDb::kForWrite);
        AcDbVoidPtrArray data2;
        data2.append(&stranger);
        data2.append(grips[0]->appData());
        data2.append(grips[0]->appData());  // listed twice, moved once
        EXPECT_EQ(r->moveGripPointsAt(data2, AcGeVector3d(1, 2, 0), 0), Acad::eOk);
        AcDbVoidPtrArray none;
        none.append(&stranger);
        EXPECT_EQ(r->moveGripPointsAt(none, AcGeVector3d(100, 0, 0), 0), Acad::eOk);
    }
    EXPECT_TRUE(samePoint(kInsert + AcGeVector3d(1, 2, 0), position()));
    // Moving needs write.
    {
        Open<AcDbBlockReference> r(ref, AcDb::kForRead);
        AcDbVoidPtrArray data3;
        data3.append(grips[0]->appData());
        EXPECT_EQ(r->moveGripPointsAt(data3, AcGeVector3d(1, 0, 0), 0), Acad::eNotOpenForWrite);
    }
    deleteAll(grips);
}

TEST_F(GripRecordTest, OtherEntitiesOfferTheirOwnPointsByIndex) {
    const AcDbObjectId line = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(4, 0, 0)));
    AcDbGripDataPtrArray grips;
    Open<AcDbLine> l(line, AcDb::kForWrite);
    ASSERT_EQ(l->getGripPoints(grips, 1.0, 5, AcGeVector3d::kZAxis, 0), Acad::eOk);
    ASSERT_GE(grips.length(), 2);
    AcDbVoidPtrArray end;
    for (AcDbGripData* g : grips) {
        if (g->gripPoint().isEqualTo(AcGePoint3d(4, 0, 0))) {
            end.append(g->appData());
        }
    }
    ASSERT_EQ(end.length(), 1);
    EXPECT_EQ(l->moveGripPointsAt(end, AcGeVector3d(0, 3, 0), 0), Acad::eOk);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 0, 0), l->startPoint()));
    EXPECT_TRUE(samePoint(AcGePoint3d(4, 3, 0), l->endPoint()));
    deleteAll(grips);
}

using GripOverruleTest = GripTest;

TEST_F(GripOverruleTest, OverrulesPutTheirGripsInFrontAndPassTheHostsThrough) {
    PrependingOverrule first(1);
    PrependingOverrule second(2);
    OverruleScope a(AcDbBlockReference::desc(), &first);
    OverruleScope b(AcDbBlockReference::desc(), &second);  // added at the front: asked first

    AcDbGripDataPtrArray grips;
    {
        Open<AcDbBlockReference> r(ref, AcDb::kForRead);
        ASSERT_EQ(r->getGripPoints(grips, 1.0, 5, AcGeVector3d::kZAxis, 0), Acad::eOk);
    }
    ASSERT_EQ(grips.length(), 3);
    EXPECT_EQ(grips[0]->appData(), &second.own);
    EXPECT_EQ(grips[1]->appData(), &first.own);
    EXPECT_EQ(kxhost::HostGripAppData::indexOf(grips[2]->appData()), 0);
    EXPECT_TRUE(samePoint(kInsert, grips[2]->gripPoint()));

    // Moving an overrule's own grip reaches that overrule only; the reference stays.
    {
        Open<AcDbBlockReference> r(ref, AcDb::kForWrite);
        AcDbVoidPtrArray data;
        data.append(grips[1]->appData());
        EXPECT_EQ(r->moveGripPointsAt(data, AcGeVector3d(1, 0, 0), 0), Acad::eOk);
    }
    EXPECT_EQ(first.ownMoves.size(), 1U);
    EXPECT_TRUE(second.ownMoves.empty());
    EXPECT_TRUE(samePoint(kInsert, position()));

    // The host's grip passes through both overrules to the reference.
    {
        Open<AcDbBlockReference> r(ref, AcDb::kForWrite);
        AcDbVoidPtrArray data;
        data.append(grips[2]->appData());
        data.append(grips[0]->appData());
        EXPECT_EQ(r->moveGripPointsAt(data, AcGeVector3d(0, 5, 0), 0), Acad::eOk);
    }
    EXPECT_EQ(second.ownMoves.size(), 1U);
    EXPECT_TRUE(samePoint(kInsert + AcGeVector3d(0, 5, 0), position()));
    deleteAll(grips);
}

TEST_F(GripOverruleTest, BaseCallsReachTheEntityAndSkipOverrulesThatDoNotApply) {
    PrependingOverrule idle(1);
    idle.applicable = false;
    PrependingOverrule active(2);
    OverruleScope a(AcDbBlockReference::desc(), &active);
    OverruleScope b(AcDbBlockReference::desc(), &idle);

    AcGePoint3dArray pts;
    AcDbIntArray modes;
    AcDbIntArray ids;
    {
        Open<AcDbBlockReference> r(ref, AcDb::kForRead);
        ASSERT_EQ(r->getGripPoints(pts, modes, ids), Acad::eOk);
        // The inapplicable overrule is skipped: one extra point, then the reference's own.
        ASSERT_EQ(pts.length(), 2);
        EXPECT_TRUE(samePoint(AcGePoint3d(-1, -1, 0), pts[0]));
        EXPECT_TRUE(samePoint(kInsert, pts[1]));
        AcGePoint3dArray stretch;
        ASSERT_EQ(r->getStretchPoints(stretch), Acad::eOk);
        ASSERT_EQ(stretch.length(), 1);
        EXPECT_TRUE(samePoint(kInsert, stretch[0]));
    }
    {
        // Index and stretch forms go through the overrule's base to the reference's own code.
        Open<AcDbBlockReference> r(ref, AcDb::kForWrite);
        AcDbIntArray first;
        first.append(0);
        EXPECT_EQ(r->moveGripPointsAt(first, AcGeVector3d(1, 0, 0)), Acad::eOk);
        EXPECT_EQ(r->moveStretchPointsAt(first, AcGeVector3d(0, 1, 0)), Acad::eOk);
        AcDbIntArray bad;
        bad.append(5);
        EXPECT_EQ(r->moveStretchPointsAt(bad, AcGeVector3d(0, 1, 0)), Acad::eInvalidIndex);
    }
    EXPECT_TRUE(samePoint(kInsert + AcGeVector3d(1, 1, 0), position()));

    // Called directly with nothing to work on, the base answers a status.
    AcDbGripDataPtrArray none;
    EXPECT_EQ(
        active.AcDbGripOverrule::getGripPoints(nullptr, none, 1.0, 5, AcGeVector3d::kZAxis, 0),
        Acad::eNullObjectPointer);
    active.AcDbGripOverrule::gripStatus(nullptr, AcDb::kGripsToBeDeleted);

    // With overruling off the entity answers alone.
    AcRxOverrule::setIsOverruling(false);
    {
        Open<AcDbBlockReference> r(ref, AcDb::kForRead);
        AcGePoint3dArray own;
        EXPECT_EQ(r->getGripPoints(own), Acad::eOk);
        EXPECT_EQ(own.length(), 1);
    }
    AcRxOverrule::setIsOverruling(true);
}

}  // namespace
}  // namespace griptest
