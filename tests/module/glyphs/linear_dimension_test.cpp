// Dynamic dimensions of linear grips: how they are made, how they follow a drag, and what a
// typed distance does to a reference.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/db/database.h"
#include "host/db/dbobject.h"
#include "host/db/opened.h"
#include "host/ed/sysvars.h"
#include "host/entities/blockref.h"
#include "host/gi/recording.h"
#include "module/grips/dimensions.h"
#include "module/grips/glyphs.h"
#include "module/grips/grip.h"
#include "module/grips/nb_app_data.h"
#include "module/params/block_2pt_tag.h"
#include "module/params/linear_tag.h"
#include "module/params/value_set.h"
#include "module/representation/ref_context.h"
#include "support/module_loader.h"
#include "tools/authoring/authoring.h"

namespace {

void expectPoint(const AcGePoint3d& actual, const AcGePoint3d& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
    EXPECT_NEAR(actual.z, expected.z, 1e-9);
}

using kxhost::Opened;

// Releases what the editor would: the records and their dimensions (our data first).
void releaseRecords(AcDbDimDataPtrArray& records) {
    for (int i = 0; i < records.length(); ++i) {
        kxgrips::freeGripDimensionData(records[i]);
        delete records[i]->dimension();
        delete records[i];
    }
    records.setLogicalLength(0);
}

class LinearDimensionTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
        ModuleTest::TearDown();
    }

    void buildDemo() {
        ASSERT_EQ(demo.build(db), Acad::eOk);
        Opened<KxDbBlockLinearTag> linear(demo.parameterId, AcDb::kForRead);
        ASSERT_EQ(linear.status(), Acad::eOk);
        paramNode = linear->getNodeId();
    }

    // The grip node with the given index on the demo parameter, as the reference sees it.
    KxNodeId gripWithIndex(AcDbBlockReference* ref, int wanted) {
        KxDbTagRefContext context(kxref::kDefaultKey, ref);
        KxNodeIdArray ids;
        // Every grip node, offered to the user or not: the dimension names its grip by node.
        EXPECT_EQ(context.getNodeIds(ids), Acad::eOk);
        for (int i = 0; i < ids.length(); ++i) {
            KxDbTagEvalExpr* node = nullptr;
            if (context.getNode(ids[i], node) != Acad::eOk) {
                continue;
            }
            int index = -1;
            const KxDbTagGrip* grip = KxDbTagGrip::cast(node);
            const bool match =
                grip != nullptr && grip->gripIndex(index) == Acad::eOk && index == wanted;
            node->close();
            if (match) {
                return ids[i];
            }
        }
        return 0;
    }

    // The parameter's current base and end in world coordinates.
    bool worldPoints(AcDbBlockReference* ref, AcGePoint3d& base, AcGePoint3d& end) {
        KxDbTagRefContext context(kxref::kDefaultKey, ref);
        KxDbTagEvalExpr* node = nullptr;
        if (context.getNode(paramNode, node) != Acad::eOk) {
            return false;
        }
        const KxDbBlock2PtTag* twoPoint = KxDbBlock2PtTag::cast(node);
        const bool ok = twoPoint != nullptr;
        if (ok) {
            base = ref->blockTransform() * twoPoint->currentBasePoint();
            end = ref->blockTransform() * twoPoint->currentEndPoint();
        }
        node->close();
        return ok;
    }

    AcDbDatabase* db = nullptr;
    kxauthor::DemoDrawing demo;
    KxNodeId paramNode = 0;
};

TEST_F(LinearDimensionTest, DimensionRunsFromBaseToEndOffsetInTheUcsPlane) {
    ASSERT_EQ(db->setLuprec(2), Acad::eOk);
    AcDbAlignedDimension* dim = kxgrips::makeLinearGripDimension(
        AcGePoint3d(1.0, 1.0, 0.0), AcGePoint3d(1.0, 7.0, 0.0), 2.0, AcGeVector3d::kZAxis, db);
    ASSERT_NE(dim, nullptr);
    expectPoint(dim->xLine1Point(), AcGePoint3d(1.0, 1.0, 0.0));
    expectPoint(dim->xLine2Point(), AcGePoint3d(1.0, 7.0, 0.0));
    // Offset across the line (to its left), by the editor's dimension scale.
    expectPoint(dim->dimLinePoint(), AcGePoint3d(-1.0, 4.0, 0.0));
    double measured = 0.0;
    ASSERT_EQ(dim->measurement(measured), Acad::eOk);
    EXPECT_NEAR(measured, 6.0, 1e-12);
    EXPECT_TRUE(dim->isDynamicDimension());
    EXPECT_EQ(dim->dimdec(), 2);
    EXPECT_EQ(dim->dimlunit(), db->lunits());
    delete dim;

    // Coincident or broken points give no dimension.
    EXPECT_EQ(
        kxgrips::makeLinearGripDimension(AcGePoint3d(1.0, 1.0, 0.0), AcGePoint3d(1.0, 1.0, 0.0),
                                         2.0, AcGeVector3d::kZAxis, db),
        nullptr);
    EXPECT_EQ(kxgrips::makeLinearGripDimension(
                  AcGePoint3d(1.0, 1.0, 0.0),
                  AcGePoint3d(std::numeric_limits<double>::quiet_NaN(), 1.0, 0.0), 2.0,
                  AcGeVector3d::kZAxis, db),
              nullptr);
    // A line along the UCS Z axis is offset along the UCS Y axis.
    expectPoint(AcGePoint3d::kOrigin + kxgrips::ucsPerpendicular(AcGeVector3d::kZAxis, db),
                AcGePoint3d(0.0, 1.0, 0.0));
}

TEST_F(LinearDimensionTest, RecordsCarryTheirGripAndFollowADrag) {
    AcDbDimDataPtrArray records;
    const AcDbObjectId owner;
    ASSERT_TRUE(kxgrips::appendLinearGripDimension(
        AcGePoint3d(0.0, 0.0, 0.0), AcGePoint3d(10.0, 0.0, 0.0), 3.0, AcGeVector3d::kZAxis, 77,
        owner, true, records, db));
    ASSERT_TRUE(kxgrips::appendLinearGripDimension(
        AcGePoint3d(0.0, 0.0, 0.0), AcGePoint3d(10.0, 0.0, 0.0), 3.0, AcGeVector3d::kZAxis, 78,
        owner, false, records, db));
    EXPECT_FALSE(kxgrips::appendLinearGripDimension(
        AcGePoint3d(), AcGePoint3d(), 3.0, AcGeVector3d::kZAxis, 79, owner, true, records, db));
    ASSERT_EQ(records.length(), 2);
    EXPECT_TRUE(records[0]->isEditable());
    EXPECT_TRUE(records[0]->isFocal());
    EXPECT_FALSE(records[1]->isEditable());
    EXPECT_FALSE(records[1]->isFocal());
    EXPECT_EQ(records[0]->dimValueFunc(), &kxgrips::setDimensionValue);
    const auto* custom = static_cast<const kxgrips::KxGripDimensionData*>(records[0]->appData());
    ASSERT_NE(custom, nullptr);
    EXPECT_EQ(custom->gripNode, 77u);
    EXPECT_EQ(custom->scale, 3.0);
    EXPECT_EQ(custom->index, 0);

    // A drag of the end: the measured points follow, the line keeps its distance from them.
    ASSERT_EQ(kxgrips::followLinearDimension(records[0], AcGePoint3d(0.0, 0.0, 0.0),
                                             AcGePoint3d(4.0, 0.0, 0.0)),
              Acad::eOk);
    auto* dim = AcDbAlignedDimension::cast(records[0]->dimension());
    ASSERT_NE(dim, nullptr);
    expectPoint(dim->xLine2Point(), AcGePoint3d(4.0, 0.0, 0.0));
    expectPoint(dim->dimLinePoint(), AcGePoint3d(2.0, 3.0, 0.0));

    // A record without a dimension, or with another kind, cannot follow.
    AcDbDimData empty;
    EXPECT_EQ(kxgrips::followLinearDimension(&empty, AcGePoint3d(), AcGePoint3d(1.0, 0.0, 0.0)),
              Acad::eInvalidInput);
    EXPECT_EQ(kxgrips::followLinearDimension(nullptr, AcGePoint3d(), AcGePoint3d()),
              Acad::eNullObjectPointer);

    // Releasing twice, or a record made elsewhere, is harmless.
    kxgrips::freeGripDimensionData(records[0]);
    EXPECT_EQ(records[0]->appData(), nullptr);
    kxgrips::freeGripDimensionData(records[0]);
    int foreign = 0;
    empty.setAppData(&foreign);
    kxgrips::freeGripDimensionData(&empty);
    EXPECT_EQ(empty.appData(), &foreign);
    releaseRecords(records);
}

TEST_F(LinearDimensionTest, TypedDistanceMovesTheGrippedPointAlongTheLine) {
    AcGePoint3d moved;
    const AcGePoint3d b(1.0, 1.0, 0.0);
    const AcGePoint3d e(4.0, 5.0, 0.0);  // length 5 along (0.6, 0.8)
    ASSERT_TRUE(kxgrips::pointForTypedDistance(b, e, 1, 10.0, moved));
    expectPoint(moved, AcGePoint3d(7.0, 9.0, 0.0));
    ASSERT_TRUE(kxgrips::pointForTypedDistance(b, e, 0, 10.0, moved));
    expectPoint(moved, AcGePoint3d(-2.0, -3.0, 0.0));
    EXPECT_FALSE(kxgrips::pointForTypedDistance(b, b, 1, 10.0, moved));
    EXPECT_FALSE(kxgrips::pointForTypedDistance(b, e, 2, 10.0, moved));
    EXPECT_FALSE(
        kxgrips::pointForTypedDistance(b, e, 1, std::numeric_limits<double>::quiet_NaN(), moved));
}

TEST_F(LinearDimensionTest, TypingIntoTheEndGripDimensionPlacesTheEndFromTheBase) {
    buildDemo();
    // Reference 1 is scaled by 2: the typed distance is a world distance.
    for (int which : {0, 1, 2}) {
        SCOPED_TRACE(which);
        Opened<AcDbBlockReference> ref(demo.referenceIds[which], AcDb::kForWrite);
        ASSERT_EQ(ref.status(), Acad::eOk);
        AcGePoint3d base0;
        AcGePoint3d end0;
        ASSERT_TRUE(worldPoints(ref.get(), base0, end0));
        const KxNodeId endGrip = gripWithIndex(ref.get(), 1);
        ASSERT_NE(endGrip, 0u);

        AcDbDimDataPtrArray records;
        ASSERT_TRUE(kxgrips::appendLinearGripDimension(
            base0, end0, 1.0, AcGeVector3d::kZAxis, endGrip, ref->objectId(), true, records, db));
        const AcGeVector3d offset =
            records[0]->dimValueFunc()(records[0], ref.get(), 14.0, AcGeVector3d::kIdentity);
        AcGePoint3d base1;
        AcGePoint3d end1;
        ASSERT_TRUE(worldPoints(ref.get(), base1, end1));
        expectPoint(base1, base0);
        EXPECT_NEAR((end1 - base1).length(), 14.0, 1e-9);
        EXPECT_TRUE((end1 - base1).isCodirectionalTo(end0 - base0));
        expectPoint(AcGePoint3d::kOrigin + offset, AcGePoint3d::kOrigin + (end1 - end0));

        // The dimension follows the new state.
        ASSERT_EQ(kxgrips::followLinearDimension(records[0], base1, end1), Acad::eOk);
        double measured = 0.0;
        ASSERT_EQ(records[0]->dimension()->measurement(measured), Acad::eOk);
        EXPECT_NEAR(measured, 14.0, 1e-9);
        releaseRecords(records);
    }
}

TEST_F(LinearDimensionTest, TypingIntoTheBaseGripDimensionMovesTheBase) {
    buildDemo();
    Opened<AcDbBlockReference> ref(demo.referenceIds[0], AcDb::kForWrite);
    ASSERT_EQ(ref.status(), Acad::eOk);
    AcGePoint3d base0;
    AcGePoint3d end0;
    ASSERT_TRUE(worldPoints(ref.get(), base0, end0));
    const KxNodeId baseGrip = gripWithIndex(ref.get(), 0);
    ASSERT_NE(baseGrip, 0u);
    AcGeVector3d offset;
    ASSERT_EQ(kxgrips::applyTypedDistance(ref.get(), baseGrip, 6.0, offset), Acad::eOk);
    AcGePoint3d base1;
    AcGePoint3d end1;
    ASSERT_TRUE(worldPoints(ref.get(), base1, end1));
    expectPoint(end1, end0);
    EXPECT_NEAR((end1 - base1).length(), 6.0, 1e-9);
    expectPoint(AcGePoint3d::kOrigin + offset, AcGePoint3d::kOrigin + (base1 - base0));
}

TEST_F(LinearDimensionTest, BadRecordsAndTargetsChangeNothing) {
    buildDemo();
    Opened<AcDbBlockReference> ref(demo.referenceIds[0], AcDb::kForWrite);
    ASSERT_EQ(ref.status(), Acad::eOk);
    AcGePoint3d base0;
    AcGePoint3d end0;
    ASSERT_TRUE(worldPoints(ref.get(), base0, end0));
    AcGeVector3d offset(1.0, 1.0, 1.0);

    // Not a grip, an unknown node, a null reference.
    EXPECT_NE(kxgrips::applyTypedDistance(ref.get(), paramNode, 3.0, offset), Acad::eOk);
    EXPECT_TRUE(offset.isZeroLength());
    EXPECT_NE(kxgrips::applyTypedDistance(ref.get(), 987654, 3.0, offset), Acad::eOk);
    EXPECT_NE(kxgrips::applyTypedDistance(nullptr, 1, 3.0, offset), Acad::eOk);
    const KxNodeId endGrip = gripWithIndex(ref.get(), 1);
    ASSERT_NE(endGrip, 0u);
    EXPECT_NE(kxgrips::applyTypedDistance(ref.get(), endGrip,
                                          std::numeric_limits<double>::infinity(), offset),
              Acad::eOk);

    // A record without our data, or with data of another dimension index, does nothing.
    AcDbDimData bare;
    bare.setDimValueFunc(&kxgrips::setDimensionValue);
    EXPECT_TRUE(kxgrips::setDimensionValue(&bare, ref.get(), 3.0, AcGeVector3d()).isZeroLength());
    EXPECT_TRUE(kxgrips::setDimensionValue(nullptr, ref.get(), 3.0, AcGeVector3d()).isZeroLength());
    AcDbDimDataPtrArray records;
    ASSERT_TRUE(kxgrips::appendLinearGripDimension(base0, end0, 1.0, AcGeVector3d::kZAxis, endGrip,
                                                   ref->objectId(), true, records, db));
    // Another entity than a block reference.
    EXPECT_TRUE(
        kxgrips::setDimensionValue(records[0], nullptr, 3.0, AcGeVector3d()).isZeroLength());
    static_cast<kxgrips::KxGripDimensionData*>(records[0]->appData())->index = 1;
    EXPECT_TRUE(
        kxgrips::setDimensionValue(records[0], ref.get(), 3.0, AcGeVector3d()).isZeroLength());
    releaseRecords(records);

    AcGePoint3d base1;
    AcGePoint3d end1;
    ASSERT_TRUE(worldPoints(ref.get(), base1, end1));
    expectPoint(base1, base0);
    expectPoint(end1, end0);
}

// The editor's view: grip records carrying the overrule's application data.
TEST_F(LinearDimensionTest, RecordCallbacksDrawDimensionAndFollow) {
    buildDemo();
    const AcDbObjectId refId = demo.referenceIds[1];  // scaled by 2
    KxNodeId endGrip = 0;
    AcGePoint3d base0;
    AcGePoint3d end0;
    AcGeMatrix3d toWorld;
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        ASSERT_EQ(ref.status(), Acad::eOk);
        endGrip = gripWithIndex(ref.get(), 1);
        ASSERT_TRUE(worldPoints(ref.get(), base0, end0));
        toWorld = ref->blockTransform();
    }
    ASSERT_NE(endGrip, 0u);
    KxDbNimbleBlockNBAppData appData(endGrip, refId);
    appData.setBlockTransform(toWorld);
    appData.setDirection(toWorld.inverse() * (end0 - base0));
    appData.setDefinitionPosition(toWorld.inverse() * end0);
    appData.setGripIndex(1);
    AcDbGripData record;
    record.setAppData(&appData);
    record.setAppDataAcRxClass(KxDbNimbleBlockNBAppData::desc());
    record.setGripPoint(end0);

    AcDbDimDataPtrArray dims;
    kxgrips::gripDimensions(&record, refId, 1.5, dims);
    ASSERT_EQ(dims.length(), 1);
    ASSERT_NE(appData.dimensions(), nullptr);
    ASSERT_EQ(appData.dimensions()->length(), 1);
    EXPECT_EQ((*appData.dimensions())[0], dims[0]);
    EXPECT_TRUE(dims[0]->isEditable());
    EXPECT_EQ(dims[0]->ownerId(), refId);
    auto* dim = AcDbAlignedDimension::cast(dims[0]->dimension());
    ASSERT_NE(dim, nullptr);
    expectPoint(dim->xLine1Point(), base0);
    expectPoint(dim->xLine2Point(), end0);

    // A record that is not a block grip's gets nothing.
    AcDbGripData foreign;
    AcDbDimDataPtrArray none;
    kxgrips::gripDimensions(&foreign, refId, 1.5, none);
    kxgrips::gripDimensions(nullptr, refId, 1.5, none);
    EXPECT_EQ(none.length(), 0);

    // Typing 30 into it, then the follow-up after the evaluation.
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        ASSERT_EQ(ref.status(), Acad::eOk);
        dims[0]->dimValueFunc()(dims[0], ref.get(), 30.0, AcGeVector3d());
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        KxDbTagEvalExpr* node = nullptr;
        ASSERT_EQ(context.getNode(endGrip, node), Acad::eOk);
        EXPECT_EQ(kxgrips::followDimensions(&appData, KxDbTagGrip::cast(node), ref.get()),
                  Acad::eOk);
        node->close();
    }
    double measured = 0.0;
    ASSERT_EQ(dim->measurement(measured), Acad::eOk);
    EXPECT_NEAR(measured, 30.0, 1e-9);
    expectPoint(dim->xLine1Point(), base0);
    EXPECT_EQ(kxgrips::followDimensions(nullptr, nullptr, nullptr), Acad::eNullObjectPointer);

    // The glyph through the record: drawn for a block grip, not for a foreign record or an
    // entity that cannot be opened.
    kxhost::RecordingViewportDraw vd;
    AcGePoint3d at = end0;
    EXPECT_TRUE(
        kxgrips::drawLinearGlyph(&record, &vd, refId, AcDbGripOperations::kWarmGrip, &at, 5));
    EXPECT_EQ(vd.count(kxhost::GiKind::kPolygon), 1);
    vd.recording().clear();
    EXPECT_FALSE(
        kxgrips::drawLinearGlyph(&foreign, &vd, refId, AcDbGripOperations::kWarmGrip, &at, 5));
    EXPECT_FALSE(kxgrips::drawLinearGlyph(&record, &vd, AcDbObjectId(),
                                          AcDbGripOperations::kWarmGrip, &at, 5));
    EXPECT_TRUE(vd.primitives().empty());

    appData.clearDimensions();
    releaseRecords(dims);
}

TEST_F(LinearDimensionTest, HotRecordGlyphMarksTheParametersValueSet) {
    buildDemo();
    {
        Opened<KxDbBlockLinearTag> linear(demo.parameterId, AcDb::kForWrite);
        ASSERT_EQ(linear.status(), Acad::eOk);
        KxDbBlockTagValueSet set;
        set.setIncrement(2.0);
        set.setMinimum(2.0);
        set.setHasMinimum(true);
        set.setMaximum(20.0);
        set.setHasMaximum(true);
        ASSERT_EQ(linear->setValueSet(set), Acad::eOk);
    }
    kxhost::setSystemVariableInt(L"BTMARKDISPLAY", 1);
    const AcDbObjectId refId = demo.referenceIds[0];
    KxNodeId endGrip = 0;
    AcGePoint3d base0;
    AcGePoint3d end0;
    AcGeMatrix3d toWorld;
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        ASSERT_EQ(ref.status(), Acad::eOk);
        endGrip = gripWithIndex(ref.get(), 1);
        ASSERT_TRUE(worldPoints(ref.get(), base0, end0));
        toWorld = ref->blockTransform();
    }
    KxDbNimbleBlockNBAppData appData(endGrip, refId);
    appData.setBlockTransform(toWorld);
    appData.setDirection(toWorld.inverse() * (end0 - base0));
    appData.setDefinitionPosition(toWorld.inverse() * end0);
    AcDbGripData record;
    record.setAppData(&appData);
    record.setAppDataAcRxClass(KxDbNimbleBlockNBAppData::desc());
    kxhost::RecordingViewportDraw vd;
    vd.recordingViewport().setPixelsPerUnit(10.0, 10.0);
    AcGePoint3d at = end0;
    ASSERT_TRUE(
        kxgrips::drawLinearGlyph(&record, &vd, refId, AcDbGripOperations::kHotGrip, &at, 5));
    // Distances 2, 4, ..., 20 from the base, along the parameter.
    std::vector<double> along;
    const AcGeVector3d u = (end0 - base0).normal();
    for (const kxhost::GiPrimitive& p : vd.primitives()) {
        if (p.kind == kxhost::GiKind::kPolyline && p.color == kxgrips::kValueSetMarkColor) {
            along.push_back(
                (p.points[0] + (p.points[1] - p.points[0]) * 0.5 - base0).dotProduct(u));
        }
    }
    ASSERT_EQ(along.size(), 10u);
    for (std::size_t i = 0; i < along.size(); ++i) {
        EXPECT_NEAR(along[i], 2.0 * (i + 1), 1e-9);
    }
    kxhost::resetSystemVariables();
}

}  // namespace
