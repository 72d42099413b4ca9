// Whole drawings built as a block editor would, then changed through a reference: what actions
// on a linear parameter change for the user. Whether the distance may be edited at all, which
// grips are flagged as driving nothing, and how the reference's own attributes follow a move.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/opened.h"
#include "host/entities/arc.h"
#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/objectiterator.h"
#include "module/graph/eval_connectable.h"
#include "module/params/linear_tag.h"
#include "module/params/property_desc.h"
#include "module/representation/ref_context.h"
#include "support/module_loader.h"
#include "tools/authoring/authoring.h"

namespace {

constexpr Adesk::Int32 kNoActionBit = 0x1;
constexpr Adesk::Int32 kIdleGripBit = 0x20;

using kxhost::Opened;

class ActionEndToEndTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
        kxtest::ModuleTest::TearDown();
    }

    void buildDemo() {
        ASSERT_EQ(demo.build(db), Acad::eOk);
        Opened<KxDbBlockLinearTag> linear(demo.parameterId, AcDb::kForRead);
        ASSERT_EQ(linear.status(), Acad::eOk);
        paramNode = linear->getNodeId();
    }

    static AcDbObjectIdArray entitiesOf(const AcDbObjectId& btrId) {
        AcDbObjectIdArray ids;
        Opened<AcDbBlockTableRecord> btr(btrId, AcDb::kForRead);
        if (btr.get() == nullptr) {
            return ids;
        }
        AcDbBlockTableRecordIterator* it = nullptr;
        if (btr->newIterator(it) == Acad::eOk) {
            for (it->start(); !it->done(); it->step()) {
                AcDbObjectId id;
                it->getEntityId(id);
                ids.append(id);
            }
            delete it;
        }
        return ids;
    }
    AcDbObjectId demoArc() const {
        for (const AcDbObjectId& id : entitiesOf(demo.definitionId)) {
            Opened<AcDbArc> arc(id, AcDb::kForRead);
            if (arc.get() != nullptr) {
                return id;
            }
        }
        return AcDbObjectId();
    }
    static std::vector<AcGePoint3d> arcCentres(const AcDbObjectId& btrId) {
        std::vector<AcGePoint3d> centres;
        for (const AcDbObjectId& id : entitiesOf(btrId)) {
            Opened<AcDbArc> arc(id, AcDb::kForRead);
            if (arc.get() != nullptr) {
                centres.push_back(arc->center());
            }
        }
        return centres;
    }
    static AcDbObjectId blockOf(const AcDbObjectId& refId) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        return ref.get() != nullptr ? ref->blockTableRecord() : AcDbObjectId();
    }

    // The distance property as the definition's parameter describes it.
    static bool definitionSaysReadOnly(const AcDbObjectId& paramId, const ACHAR* name) {
        Opened<KxDbBlockLinearTag> linear(paramId, AcDb::kForRead);
        EXPECT_EQ(linear.status(), Acad::eOk);
        if (linear.get() == nullptr) {
            return false;
        }
        KxDbBlockPropertyDescArray descs;
        EXPECT_EQ(linear->getPropertyDescriptions(descs), Acad::eOk);
        for (int i = 0; i < descs.length(); ++i) {
            if (descs[i].name == name) {
                EXPECT_EQ(descs[i].valueType, 40);
                return descs[i].readOnly != 0;
            }
        }
        ADD_FAILURE() << "no distance property";
        return false;
    }
    // The same, as the properties palette of a reference sees it.
    static bool referenceSaysReadOnly(const AcDbObjectId& refId, const ACHAR* name) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        EXPECT_EQ(ref.status(), Acad::eOk);
        if (ref.get() == nullptr) {
            return false;
        }
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        KxDbTagParameterList params;
        EXPECT_EQ(context.listParameters(params), Acad::eOk);
        for (const KxDbTagParameterEntry& entry : params) {
            KxDbBlockPropertyDescArray descs;
            if (context.getPropertyDescriptions(entry, descs) != Acad::eOk) {
                continue;
            }
            for (int i = 0; i < descs.length(); ++i) {
                if (descs[i].name == name) {
                    return descs[i].readOnly != 0;
                }
            }
        }
        ADD_FAILURE() << "the reference offers no distance property";
        return false;
    }
    // The distance the reference shows (in its own units).
    double referenceDistance(const AcDbObjectId& refId) const {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        if (ref.get() == nullptr) {
            return NAN;
        }
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        KxDbTagParameterList params;
        if (context.listParameters(params) != Acad::eOk) {
            return NAN;
        }
        for (const KxDbTagParameterEntry& entry : params) {
            KxDbTagEvalVariant value;
            if (entry.second == paramNode &&
                context.getPropertyValue(entry, kxauthor::DemoDrawing::kParameterName, value) ==
                    Acad::eOk) {
                return value.resval.rreal;
            }
        }
        return NAN;
    }
    Acad::ErrorStatus setDistance(const AcDbObjectId& refId, double distance) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        if (ref.status() != Acad::eOk) {
            return ref.status();
        }
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        Acad::ErrorStatus es = context.activateNode(paramNode);
        if (es == Acad::eOk) {
            es = context.setPropertyAndEvaluate(kxauthor::DemoDrawing::kParameterName,
                                                KxDbTagEvalVariant(distance));
        }
        return es;
    }
    static Adesk::Int32 stateFlagOf(const AcDbObjectId& paramId) {
        Opened<KxDbBlockLinearTag> linear(paramId, AcDb::kForRead);
        EXPECT_EQ(linear.status(), Acad::eOk);
        return linear.get() != nullptr ? linear->elementStateFlag() : 0;
    }

    void checkAttributesFollow(bool stretch);

    AcDbDatabase* db = nullptr;
    kxauthor::DemoDrawing demo;
    KxNodeId paramNode = 0;
};

// --- Read-only distance -----------------------------------------------------------------------

TEST_F(ActionEndToEndTest, TheDistanceIsReadOnlyUntilAnActionHangsOnIt) {
    buildDemo();
    const ACHAR* name = kxauthor::DemoDrawing::kParameterName;
    EXPECT_TRUE(definitionSaysReadOnly(demo.parameterId, name));
    EXPECT_NE(stateFlagOf(demo.parameterId) & kNoActionBit, 0);
    EXPECT_TRUE(referenceSaysReadOnly(demo.referenceIds[0], name));

    AcDbObjectIdArray selection;
    selection.append(demoArc());
    AcDbObjectId moveId;
    ASSERT_EQ(
        kxauthor::addMoveAction(db, demo.graphId, demo.parameterId, selection, L"Move", moveId),
        Acad::eOk);
    EXPECT_FALSE(definitionSaysReadOnly(demo.parameterId, name));
    EXPECT_EQ(stateFlagOf(demo.parameterId) & kNoActionBit, 0);
    // Every reference, old or new, offers it for editing now.
    EXPECT_FALSE(referenceSaysReadOnly(demo.referenceIds[0], name));
    EXPECT_FALSE(referenceSaysReadOnly(demo.referenceIds[2], name));

    // An action on another parameter does not make this one writable.
    AcDbObjectId widthId;
    ASSERT_EQ(kxauthor::addLinearParameter(db, demo.graphId, AcGePoint3d(0, 30, 0),
                                           AcGePoint3d(4, 30, 0), L"Width", widthId, 1),
              Acad::eOk);
    EXPECT_TRUE(definitionSaysReadOnly(widthId, L"Width"));
    EXPECT_TRUE(referenceSaysReadOnly(demo.referenceIds[1], L"Width"));
    EXPECT_FALSE(referenceSaysReadOnly(demo.referenceIds[1], name));
}

TEST_F(ActionEndToEndTest, SettingTheDistanceOfAReferenceWithoutActionsChangesNothing) {
    buildDemo();
    const std::vector<AcGePoint3d> arcs = arcCentres(demo.definitionId);
    const int entityCount = entitiesOf(demo.definitionId).length();
    const double scale = kxauthor::DemoDrawing::referenceScale(1);
    const double before = referenceDistance(demo.referenceIds[1]);
    EXPECT_NEAR(before, 10.0 * scale, 1e-9);

    // The palette does not offer it; a caller that sets it anyway moves no geometry: the
    // reference keeps the definition's shape, and nothing else is touched.
    setDistance(demo.referenceIds[1], 15.0 * scale);

    const AcDbObjectId block = blockOf(demo.referenceIds[1]);
    EXPECT_EQ(arcCentres(block), arcs);
    EXPECT_EQ(entitiesOf(block).length(), entityCount);
    EXPECT_EQ(arcCentres(demo.definitionId), arcs);
    EXPECT_NEAR(referenceDistance(demo.referenceIds[0]),
                10.0 * kxauthor::DemoDrawing::referenceScale(0), 1e-9);
}

// --- Grips that drive nothing -----------------------------------------------------------------

TEST_F(ActionEndToEndTest, GripsThatDriveNoActionAreFlagged) {
    buildDemo();
    // No action: both grips drive nothing.
    EXPECT_NE(stateFlagOf(demo.parameterId) & kIdleGripBit, 0);

    // A parameter with no grips has none idle.
    AcDbObjectId bareId;
    ASSERT_EQ(kxauthor::addLinearParameter(db, demo.graphId, AcGePoint3d(0, 40, 0),
                                           AcGePoint3d(5, 40, 0), L"Bare", bareId, 0),
              Acad::eOk);
    EXPECT_EQ(stateFlagOf(bareId) & kIdleGripBit, 0);

    // A move fed by the end point's change: the end grip drives it, the base grip still
    // drives nothing.
    AcDbObjectIdArray selection;
    selection.append(demoArc());
    AcDbObjectId moveId;
    ASSERT_EQ(
        kxauthor::addMoveAction(db, demo.graphId, demo.parameterId, selection, L"Move", moveId),
        Acad::eOk);
    {
        Opened<KxDbBlockLinearTag> linear(demo.parameterId, AcDb::kForRead);
        ASSERT_EQ(linear.status(), Acad::eOk);
        EXPECT_TRUE(linear->isGripUsed(1));
        EXPECT_FALSE(linear->isGripUsed(0));
    }
    EXPECT_NE(stateFlagOf(demo.parameterId) & kIdleGripBit, 0);
    EXPECT_EQ(stateFlagOf(demo.parameterId) & kNoActionBit, 0);
}

TEST_F(ActionEndToEndTest, AnEndGripDrivingAMoveOrStretchIsNotIdle) {
    buildDemo();
    // Parameters with their end grip only, one per action kind.
    AcDbObjectId moveParamId;
    AcDbObjectId stretchParamId;
    ASSERT_EQ(kxauthor::addLinearParameter(db, demo.graphId, AcGePoint3d(0, 30, 0),
                                           AcGePoint3d(4, 30, 0), L"MoveWidth", moveParamId, 1),
              Acad::eOk);
    ASSERT_EQ(
        kxauthor::addLinearParameter(db, demo.graphId, AcGePoint3d(0, 50, 0), AcGePoint3d(4, 50, 0),
                                     L"StretchWidth", stretchParamId, 1),
        Acad::eOk);
    EXPECT_NE(stateFlagOf(moveParamId) & kIdleGripBit, 0);
    EXPECT_NE(stateFlagOf(stretchParamId) & kIdleGripBit, 0);

    AcDbObjectIdArray selection;
    selection.append(demoArc());
    AcDbObjectId moveId;
    ASSERT_EQ(kxauthor::addMoveAction(db, demo.graphId, moveParamId, selection, L"MoveIt", moveId),
              Acad::eOk);
    EXPECT_EQ(stateFlagOf(moveParamId) & kIdleGripBit, 0);
    EXPECT_EQ(stateFlagOf(moveParamId) & kNoActionBit, 0);

    AcDbObjectId stretchId;
    ASSERT_EQ(
        kxauthor::addStretchAction(db, demo.graphId, stretchParamId, selection, AcGePoint2d(-1, -1),
                                   AcGePoint2d(5, 11), L"StretchIt", stretchId),
        Acad::eOk);
    EXPECT_EQ(stateFlagOf(stretchParamId) & kIdleGripBit, 0);
    EXPECT_EQ(stateFlagOf(stretchParamId) & kNoActionBit, 0);
    // The other parameters keep their own state.
    EXPECT_NE(stateFlagOf(demo.parameterId) & kIdleGripBit, 0);
    EXPECT_NE(stateFlagOf(demo.parameterId) & kNoActionBit, 0);

    // Cutting the end's inputs leaves the grip driving nothing again.
    {
        Opened<KxDbTagEvalConnectable> move(moveId, AcDb::kForWrite);
        ASSERT_EQ(move.status(), Acad::eOk);
        KxNodeId moveParamNode = 0;
        {
            Opened<KxDbBlockLinearTag> linear(moveParamId, AcDb::kForRead);
            moveParamNode = linear->getNodeId();
        }
        EXPECT_EQ(move->disconnectFrom(L"DeltaX", moveParamNode, L"EndXDelta"), Acad::eOk);
        EXPECT_EQ(move->disconnectFrom(L"DeltaY", moveParamNode, L"EndYDelta"), Acad::eOk);
    }
    EXPECT_NE(stateFlagOf(moveParamId) & kIdleGripBit, 0);
}

// --- Attributes in a move's selection ---------------------------------------------------------

// A definition with free, constant and locked attribute definitions moved by an action, and a
// turned, scaled reference carrying an attribute made from each.
void ActionEndToEndTest::checkAttributesFollow(bool stretch) {
    // The definition: a frame and three attribute definitions, all moved by the distance.
    auto* free = new AcDbAttributeDefinition(AcGePoint3d(2, 2, 0), L"F", L"FREE", L"Free?");
    auto* fixed = new AcDbAttributeDefinition(AcGePoint3d(4, 4, 0), L"C", L"FIXED", L"");
    fixed->setConstant(true);
    auto* locked = new AcDbAttributeDefinition(AcGePoint3d(6, 6, 0), L"L", L"LOCKED", L"Lock?");
    locked->setLockPositionInBlock(true);
    AcDbObjectId definitionId;
    ASSERT_EQ(
        kxauthor::makeDefinition(
            db, L"TAGGED", {kxauthor::rectangle(AcGePoint2d(0, 0), 10, 10), free, fixed, locked},
            definitionId),
        Acad::eOk);
    AcDbObjectIdArray attdefIds;
    for (const AcDbObjectId& id : entitiesOf(definitionId)) {
        Opened<AcDbAttributeDefinition> attdef(id, AcDb::kForRead);
        if (attdef.get() != nullptr) {
            attdefIds.append(id);
        }
    }
    ASSERT_EQ(attdefIds.length(), 3);
    AcDbObjectId graphId;
    AcDbObjectId paramId;
    AcDbObjectId moveId;
    ASSERT_EQ(kxauthor::addGraph(db, definitionId, graphId), Acad::eOk);
    ASSERT_EQ(kxauthor::addLinearParameter(db, graphId, AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0),
                                           L"Distance1", paramId, 1),
              Acad::eOk);
    if (stretch) {
        // The frame holds the three attribute positions and none of the rectangle's corners.
        ASSERT_EQ(kxauthor::addStretchAction(db, graphId, paramId, attdefIds, AcGePoint2d(1, 1),
                                             AcGePoint2d(7, 7), L"Stretch", moveId),
                  Acad::eOk);
    } else {
        ASSERT_EQ(kxauthor::addMoveAction(db, graphId, paramId, attdefIds, L"Move", moveId),
                  Acad::eOk);
    }
    {
        Opened<KxDbBlockLinearTag> linear(paramId, AcDb::kForRead);
        paramNode = linear->getNodeId();
    }

    // A turned and scaled reference with an attribute made from each definition.
    constexpr double kScale = 2.0;
    AcDbObjectId refId;
    ASSERT_EQ(kxauthor::insertReference(db, definitionId, AcGePoint3d(100, 50, 0), M_PI / 2, kScale,
                                        refId),
              Acad::eOk);
    std::map<AcString, AcGePoint3d> before;
    {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        ASSERT_EQ(ref.status(), Acad::eOk);
        for (const AcDbObjectId& id : attdefIds) {
            Opened<AcDbAttributeDefinition> attdef(id, AcDb::kForRead);
            auto* attribute = new AcDbAttribute();
            ASSERT_EQ(attribute->setAttributeFromBlock(attdef.get(), ref->blockTransform()),
                      Acad::eOk);
            before[attribute->tag()] = attribute->position();
            ASSERT_EQ(ref->appendAttribute(attribute), Acad::eOk);
            attribute->close();
        }
    }
    const auto attributePositions = [&]() {
        std::map<AcString, AcGePoint3d> positions;
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        AcDbObjectIterator* it = ref->attributeIterator();
        for (; it != nullptr && !it->done(); it->step()) {
            Opened<AcDbAttribute> attribute(it->objectId(), AcDb::kForRead);
            if (attribute.get() != nullptr) {
                positions[attribute->tag()] = attribute->position();
            }
        }
        delete it;
        return positions;
    };

    // The definition's distance grows by 5 along its X, which is the world's +Y at twice the
    // size.
    ASSERT_EQ(setDistance(refId, 15.0 * kScale), Acad::eOk);
    std::map<AcString, AcGePoint3d> after = attributePositions();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_TRUE(after[L"FREE"].isEqualTo(before[L"FREE"]))
        << after[L"FREE"].x << "," << after[L"FREE"].y;
    for (const ACHAR* tag : {L"FIXED", L"LOCKED"}) {
        EXPECT_NEAR(after[tag].x, before[tag].x, 1e-9) << AcString(tag).utf8();
        EXPECT_NEAR(after[tag].y, before[tag].y + 5.0 * kScale, 1e-9) << AcString(tag).utf8();
    }

    // Back to the definition's distance: the moved ones return, the free one stays put.
    ASSERT_EQ(setDistance(refId, 10.0 * kScale), Acad::eOk);
    after = attributePositions();
    for (const ACHAR* tag : {L"FREE", L"FIXED", L"LOCKED"}) {
        EXPECT_TRUE(after[tag].isEqualTo(before[tag])) << AcString(tag).utf8();
    }

    // The definition's own attribute definitions never move.
    const std::vector<AcGePoint3d> defined = {AcGePoint3d(2, 2, 0), AcGePoint3d(4, 4, 0),
                                              AcGePoint3d(6, 6, 0)};
    for (int i = 0; i < attdefIds.length(); ++i) {
        Opened<AcDbAttributeDefinition> attdef(attdefIds[i], AcDb::kForRead);
        EXPECT_TRUE(attdef->position().isEqualTo(defined[i])) << i;
    }
}

TEST_F(ActionEndToEndTest, AMoveCarriesConstantAndLockedAttributesOfTheReferenceOnly) {
    checkAttributesFollow(false);
}

TEST_F(ActionEndToEndTest, AStretchCarriesConstantAndLockedAttributesOfTheReferenceOnly) {
    checkAttributesFollow(true);
}

}  // namespace
