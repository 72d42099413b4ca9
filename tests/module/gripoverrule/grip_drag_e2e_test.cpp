// One grip drag as the host's grip editor plays it: the grips offered on a stretchable panel,
// the drag image while the grip moves, and the reference after the grip is released.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/ed/sysvars.h"
#include "host/entities/blockref.h"
#include "host/entities/polyline.h"
#include "host/gi/recording.h"
#include "host/testing/grip_editor.h"
#include "module/grips/grip_callbacks.h"
#include "module/grips/grip_overrule.h"
#include "module/grips/nb_app_data.h"
#include "module/params/linear_tag.h"
#include "module/rootdata/root_data.h"
#include "support/module_loader.h"
#include "tools/authoring/authoring.h"

namespace {

constexpr double kWidth = 10.0;
constexpr double kHeight = 20.0;
constexpr double kStep = 2.5;
constexpr double kSpacing = 50.0;

class GripDragEndToEndTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
        buildDrawing();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        if (KxDbNimbleBlockGripOverrule* overrule = KxDbNimbleBlockGripOverrule::instance()) {
            EXPECT_EQ(overrule->heldReferenceCount(), 0);
        }
        delete db;
        kxtest::ModuleTest::TearDown();
    }

    // A 10 x 20 panel whose right edge a linear parameter stretches (grips on both ends,
    // distances in steps of 2.5), inserted three times side by side.
    void buildDrawing() {
        kxauthor::Author author(db);
        author.rootData().definition(L"PANEL",
                                     {kxauthor::rectangle(AcGePoint2d(0, 0), kWidth, kHeight)});
        author.graph().linear(AcGePoint3d(0, 0, 0), AcGePoint3d(kWidth, 0, 0), L"Width", 2);
        author.valueSet(kxauthor::ValueSetSpec::grid(kStep));
        ASSERT_TRUE(author.ok()) << author.status();
        definitionId = author.definitionId();
        parameterId = author.parameterId();
        AcDbObjectIdArray selection;
        selection.append(firstEntity(definitionId));
        AcDbObjectId actionId;
        ASSERT_EQ(
            kxauthor::addStretchAction(db, author.graphId(), author.parameterId(), selection,
                                       AcGePoint2d(kWidth - 1, -1),
                                       AcGePoint2d(kWidth + 1, kHeight + 1), L"Stretch", actionId),
            Acad::eOk);
        for (int i = 0; i < 3; ++i) {
            AcDbObjectId refId;
            ASSERT_EQ(kxauthor::insertReference(db, definitionId, AcGePoint3d(kSpacing * i, 0, 0),
                                                0.0, 1.0, refId),
                      Acad::eOk);
            refs.append(refId);
        }
    }

    static AcDbObjectId firstEntity(const AcDbObjectId& btrId) {
        AcDbBlockTableRecord* btr = nullptr;
        AcDbObjectId id;
        if (acdbOpenObject(btr, btrId, AcDb::kForRead) != Acad::eOk) {
            return id;
        }
        AcDbBlockTableRecordIterator* it = nullptr;
        if (btr->newIterator(it) == Acad::eOk) {
            it->start();
            if (!it->done()) {
                it->getEntityId(id);
            }
            delete it;
        }
        btr->close();
        return id;
    }
    static AcDbObjectId blockOf(const AcDbObjectId& refId) {
        AcDbBlockReference* ref = nullptr;
        if (acdbOpenObject(ref, refId, AcDb::kForRead) != Acad::eOk) {
            return AcDbObjectId();
        }
        const AcDbObjectId id = ref->blockTableRecord();
        ref->close();
        return id;
    }
    // The panel's right edge in the reference's block (definition coordinates).
    static double rightEdge(const AcDbObjectId& refId) {
        AcDbPolyline* pline = nullptr;
        double right = -1e300;
        if (acdbOpenObject(pline, firstEntity(blockOf(refId)), AcDb::kForRead) != Acad::eOk) {
            return right;
        }
        for (unsigned i = 0; i < pline->numVerts(); ++i) {
            AcGePoint2d p;
            pline->getPointAt(i, p);
            right = std::max(right, p.x);
        }
        pline->close();
        return right;
    }
    bool hasHistory(const AcDbObjectId& refId) {
        KxDbTagRootData* root = nullptr;
        if (KxDbTagRootData::openRootData(db, AcDb::kForRead, root) != Acad::eOk) {
            return false;
        }
        AcDbObjectId historyId;
        const bool has = root->getHistory(refId, historyId);
        root->close();
        return has;
    }
    bool hasInstanceData(const AcDbObjectId& refId) {
        KxDbTagRootData* root = nullptr;
        if (KxDbTagRootData::openRootData(db, AcDb::kForRead, root) != Acad::eOk) {
            return false;
        }
        KxDbTagRootDataEntryMap entries;
        const bool has = root->getDataEntries(refId, entries) && !entries.empty();
        root->close();
        return has;
    }

    AcDbDatabase* db = nullptr;
    AcDbObjectId definitionId;
    AcDbObjectId parameterId;
    AcDbObjectIdArray refs;
};

TEST_F(GripDragEndToEndTest, OnlyTheStretchingGripIsOfferedAheadOfTheHostsGrips) {
    kxhost::GripEditor editor(db, refs[1]);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    ASSERT_GE(editor.gripCount(), 2);
    const KxDbNimbleBlockNBAppData* data = kxgrips::appDataOf(editor.grip(0));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->gripIndex(), 1);  // the end grip; the base grip drives nothing
    EXPECT_TRUE(editor.grip(0)->gripPoint().isEqualTo(AcGePoint3d(kSpacing + kWidth, 0, 0)));
    for (int i = 1; i < editor.gripCount(); ++i) {
        EXPECT_EQ(kxgrips::appDataOf(editor.grip(i)), nullptr) << i;
    }
    EXPECT_EQ(editor.hostGrip(0), 1);
}

TEST_F(GripDragEndToEndTest, DragLandsOnTheNearestStepAndChangesThatReferenceOnly) {
    const AcDbObjectId sharedBlock = blockOf(refs[0]);
    {
        kxhost::GripEditor editor(db, refs[1]);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        // 10 + 3.4 lands on 12.5; the image shows the stretched panel while the grip moves.
        kxhost::RecordingViewportDraw vd;
        ASSERT_EQ(editor.dragTo(AcGeVector3d(3.4, 0.3, 0), &vd), Acad::eOk);
        EXPECT_EQ(editor.lastDragStatus(), Acad::eOk);
        // Only what was drawn for the image itself counts (the grip glyph follows it).
        double imageRight = -1e300;
        const auto& draws = vd.recording().entityDraws();
        ASSERT_FALSE(draws.empty());
        const kxhost::GiEntityDraw& image = draws.front();
        ASSERT_GT(image.primitiveCount, 0u);
        for (size_t i = image.firstPrimitive; i < image.firstPrimitive + image.primitiveCount;
             ++i) {
            for (const AcGePoint3d& pt : vd.primitives()[i].points) {
                imageRight = std::max(imageRight, pt.x);
            }
        }
        EXPECT_NEAR(imageRight, kSpacing + 12.5, 1e-9);
        // Nothing in the drawing moved during the drag.
        EXPECT_NEAR(rightEdge(refs[1]), kWidth, 1e-9);
        ASSERT_EQ(editor.release(), Acad::eOk);
    }
    EXPECT_NEAR(rightEdge(refs[1]), 12.5, 1e-9);
    EXPECT_NE(blockOf(refs[1]), sharedBlock);
    EXPECT_TRUE(hasInstanceData(refs[1]));
    EXPECT_FALSE(hasHistory(refs[1]));
    for (int i : {0, 2}) {
        EXPECT_EQ(blockOf(refs[i]), sharedBlock) << i;
        EXPECT_NEAR(rightEdge(refs[i]), kWidth, 1e-9) << i;
        EXPECT_FALSE(hasInstanceData(refs[i])) << i;
    }

    // The grips offered afterwards sit where the parameter now ends.
    kxhost::GripEditor again(db, refs[1]);
    ASSERT_EQ(again.collectGrips(), Acad::eOk);
    ASSERT_NE(kxgrips::appDataOf(again.grip(0)), nullptr);
    EXPECT_TRUE(again.grip(0)->gripPoint().isEqualTo(AcGePoint3d(kSpacing + 12.5, 0, 0)));
}

TEST_F(GripDragEndToEndTest, HoverShowsTheParametersDescription) {
    {
        KxDbBlockLinearTag* linear = nullptr;
        ASSERT_EQ(acdbOpenObject(linear, parameterId, AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(linear->setDistanceDescription(L"Panel width"), Acad::eOk);
        linear->close();
    }
    kxhost::GripEditor editor(db, refs[0]);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    kxhost::RecordingViewportDraw vd;
    kxhost::GripEditor::HoverResult hover;
    ASSERT_EQ(editor.hover(0, vd, &hover), Acad::eOk);
    EXPECT_TRUE(hover.viewportDrawn);  // the arrow glyph
    EXPECT_TRUE(hover.hasToolTip);
    EXPECT_EQ(hover.toolTip, L"Panel width");
    // The text stays readable after every object it came from is closed.
    const ACHAR* text = kxgrips::gripTooltip(editor.grip(0));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::wstring(text), L"Panel width");
}

TEST_F(GripDragEndToEndTest, DragAlongTheNormalOrCancelledChangesNothing) {
    const AcDbObjectId sharedBlock = blockOf(refs[2]);
    {
        kxhost::GripEditor editor(db, refs[2]);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        EXPECT_EQ(editor.dragTo(AcGeVector3d(0, 0, 5.0)), Acad::eOk);
        ASSERT_EQ(editor.release(), Acad::eOk);
    }
    EXPECT_NEAR(rightEdge(refs[2]), kWidth, 1e-9);
    {
        kxhost::GripEditor editor(db, refs[2]);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        EXPECT_EQ(editor.dragTo(AcGeVector3d(5.0, 0, 0)), Acad::eOk);
        editor.cancel();
    }
    EXPECT_NEAR(rightEdge(refs[2]), kWidth, 1e-9);
    EXPECT_EQ(blockOf(refs[2]), sharedBlock);
}

}  // namespace

namespace {

TEST_F(GripDragEndToEndTest, TypingADistanceIntoTheEndGripsDimensionPlacesTheEnd) {
    kxhost::setSystemVariableInt(L"DYNMODE", 3);
    kxhost::GripEditor editor(db, refs[2]);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    kxhost::RecordingViewportDraw vd;
    kxhost::GripEditor::HoverResult hovered;
    ASSERT_EQ(editor.hover(0, vd, &hovered), Acad::eOk);
    ASSERT_EQ(hovered.dimensionCount, 1);
    ASSERT_EQ(editor.dimData().length(), 1);
    // 15 lies on the 2.5 grid: the end lands exactly there, and the stretch follows it.
    ASSERT_EQ(editor.typeDimensionValue(0, 15.0), Acad::eOk);
    EXPECT_NEAR(rightEdge(refs[2]), 15.0, 1e-9);
    EXPECT_NEAR(rightEdge(refs[0]), kWidth, 1e-9);
    EXPECT_TRUE(hasInstanceData(refs[2]));
}

}  // namespace
