// The regeneration driver: what is drawn, where, in which order, and what is left out.
#include <gtest/gtest.h>

#include "host/db/sortents.h"
#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "host/entities/polyline.h"
#include "tests/host/regen/regen_test_support.h"

namespace {

using kxhost::GiKind;
using kxhost::GiPrimitive;
using kxhost::RecordingWorldDraw;
using kxhost::RegenReport;
using regentest::frame;
using regentest::mapped;
using regentest::Open;
using regentest::samePoint;
using regentest::samePoints;

const double kPi = 3.14159265358979323846;

class RegenDriverTest : public regentest::RegenTest {
  protected:
    // A block (origin (1,2,0)) with a line, a circle and an open polyline.
    AcDbObjectId shapesBlock() {
        const AcDbObjectId block = addBlock(L"SHAPES", AcGePoint3d(1, 2, 0));
        line = append(new AcDbLine(lineStart, lineEnd), block);
        circle = append(new AcDbCircle(circleCenter, AcGeVector3d::kZAxis, 0.5), block);
        auto* pl = new AcDbPolyline();
        for (unsigned i = 0; i < plVertices.size(); ++i) {
            pl->addVertexAt(i, AcGePoint2d(plVertices[i].x, plVertices[i].y));
        }
        polyline = append(pl, block);
        return block;
    }
    const GiPrimitive* drawnBy(const std::vector<GiPrimitive>& prims, AcDbObjectId drawable) {
        for (const GiPrimitive& p : prims) {
            if (p.drawable == drawable) {
                return &p;
            }
        }
        return nullptr;
    }

    const AcGePoint3d lineStart{1, 2, 0};
    const AcGePoint3d lineEnd{4, 2, 0};
    const AcGePoint3d circleCenter{2, 3, 0};
    const std::vector<AcGePoint3d> plVertices{{1, 2, 0}, {3, 2, 0}, {3, 5, 0}};
    AcDbObjectId line;
    AcDbObjectId circle;
    AcDbObjectId polyline;
};

TEST_F(RegenDriverTest, ReferenceDrawsItsBlockUnderItsTransform) {
    const AcDbObjectId block = shapesBlock();
    const AcGePoint3d position(10, 20, 0);
    const double rotation = 0.5;
    const AcGeScale3d scale(2, 2, 2);
    const AcDbObjectId ref = addReference(block, position, rotation, scale);
    const AcGeMatrix3d m = frame(position, rotation, scale, AcGePoint3d(1, 2, 0));

    RecordingWorldDraw wd;
    RegenReport report;
    ASSERT_EQ(kxhost::regenerate(&db, wd, &report), Acad::eOk);
    ASSERT_EQ(report.drawn.length(), 1);
    EXPECT_EQ(report.drawn[0], ref);

    const std::vector<GiPrimitive> prims = wd.recording().primitivesOf(ref);
    ASSERT_EQ(prims.size(), 3u) << wd.dump();
    const GiPrimitive* l = drawnBy(prims, line);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->kind, GiKind::kPolyline);
    EXPECT_TRUE(samePoints(mapped(m, {lineStart, lineEnd}), l->points));
    EXPECT_EQ(l->drawableClass, L"AcDbLine");
    EXPECT_EQ(l->nesting, 1);
    EXPECT_EQ(l->transformDepth, 1);

    const GiPrimitive* c = drawnBy(prims, circle);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, GiKind::kCircle);
    EXPECT_TRUE(samePoint(mapped(m, {circleCenter})[0], c->center));
    EXPECT_NEAR(c->radius, 1.0, 1e-9);
    EXPECT_NEAR(c->normal.z, 1.0, 1e-9);

    const GiPrimitive* p = drawnBy(prims, polyline);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->kind, GiKind::kPolyline);
    EXPECT_TRUE(samePoints(mapped(m, plVertices), p->points));

    // The reference agrees with the transform built from its parts.
    Open<AcDbBlockReference> open(ref, AcDb::kForRead);
    EXPECT_TRUE(open->blockTransform().isEqualTo(m));
    EXPECT_EQ(wd.depth(), 0);
}

TEST_F(RegenDriverTest, NonUniformScaleAndMirrorReachEveryPoint) {
    const AcDbObjectId block = addBlock(L"LINES", AcGePoint3d(0, 1, 0));
    const AcDbObjectId l = append(new AcDbLine(AcGePoint3d(1, 1, 0), AcGePoint3d(2, 3, 0)), block);
    const AcGeScale3d scale(2, -3, 1);
    const AcDbObjectId ref = addReference(block, AcGePoint3d(-5, 0, 0), kPi / 2, scale);
    const AcGeMatrix3d m = frame(AcGePoint3d(-5, 0, 0), kPi / 2, scale, AcGePoint3d(0, 1, 0));

    RecordingWorldDraw wd;
    ASSERT_EQ(kxhost::regenerate(&db, wd), Acad::eOk);
    const std::vector<GiPrimitive> prims = wd.recording().primitivesOf(ref);
    ASSERT_EQ(prims.size(), 1u);
    EXPECT_EQ(prims[0].drawable, l);
    EXPECT_TRUE(
        samePoints(mapped(m, {AcGePoint3d(1, 1, 0), AcGePoint3d(2, 3, 0)}), prims[0].points));
}

TEST_F(RegenDriverTest, NestedReferencesComposeTheirTransforms) {
    const AcDbObjectId inner = addBlock(L"INNER");
    const AcDbObjectId innerLine =
        append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), inner);
    const AcDbObjectId outer = addBlock(L"OUTER", AcGePoint3d(5, 0, 0));
    const AcDbObjectId outerLine =
        append(new AcDbLine(AcGePoint3d(5, 0, 0), AcGePoint3d(5, 1, 0)), outer);
    addReference(inner, AcGePoint3d(6, 0, 0), kPi / 2, AcGeScale3d(2, 2, 2), outer);
    const AcDbObjectId top =
        addReference(outer, AcGePoint3d(100, 0, 0), 0.25, AcGeScale3d(3, 3, 3));

    const AcGeMatrix3d mOuter =
        frame(AcGePoint3d(100, 0, 0), 0.25, AcGeScale3d(3, 3, 3), AcGePoint3d(5, 0, 0));
    const AcGeMatrix3d mInner =
        frame(AcGePoint3d(6, 0, 0), kPi / 2, AcGeScale3d(2, 2, 2), AcGePoint3d::kOrigin);

    RecordingWorldDraw wd;
    ASSERT_EQ(kxhost::regenerate(&db, wd), Acad::eOk);
    const std::vector<GiPrimitive> prims = wd.recording().primitivesOf(top);
    ASSERT_EQ(prims.size(), 2u) << wd.dump();
    const GiPrimitive* direct = drawnBy(prims, outerLine);
    const GiPrimitive* nested = drawnBy(prims, innerLine);
    ASSERT_NE(direct, nullptr);
    ASSERT_NE(nested, nullptr);
    EXPECT_TRUE(
        samePoints(mapped(mOuter, {AcGePoint3d(5, 0, 0), AcGePoint3d(5, 1, 0)}), direct->points));
    EXPECT_EQ(direct->transformDepth, 1);
    EXPECT_EQ(direct->nesting, 1);
    EXPECT_TRUE(samePoints(mapped(mOuter * mInner, {AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)}),
                           nested->points));
    EXPECT_EQ(nested->transformDepth, 2);
    EXPECT_EQ(nested->nesting, 2);
    EXPECT_TRUE(nested->modelToWorld.isEqualTo(mOuter * mInner));
    // Both references pushed and popped their transforms.
    const kxhost::GiEntityDraw* record = wd.recording().entityDraw(top);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->pushes, 2);
    EXPECT_EQ(record->pops, 2);
    EXPECT_TRUE(record->balanced());
    EXPECT_EQ(wd.depth(), 0);
}

TEST_F(RegenDriverTest, ErasedAndInvisibleEntitiesAreNotDrawn) {
    const AcDbObjectId block = addBlock(L"B");
    const AcDbObjectId kept =
        append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), block);
    const AcDbObjectId gone =
        append(new AcDbLine(AcGePoint3d(0, 5, 0), AcGePoint3d(1, 5, 0)), block);
    erase(gone);
    const AcDbObjectId a = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 1, 0)));
    const AcDbObjectId b = append(new AcDbLine(AcGePoint3d(7, 0, 0), AcGePoint3d(7, 1, 0)));
    erase(b);
    auto* hidden = new AcDbCircle(AcGePoint3d(3, 3, 0), AcGeVector3d::kZAxis, 1.0);
    hidden->setVisibility(AcDb::kInvisible);
    const AcDbObjectId h = append(hidden);
    const AcDbObjectId ref = addReference(block, AcGePoint3d(0, 0, 0), 0.0, AcGeScale3d(1, 1, 1));
    const AcDbObjectId erasedRef =
        addReference(block, AcGePoint3d(50, 0, 0), 0.0, AcGeScale3d(1, 1, 1));
    erase(erasedRef);

    RecordingWorldDraw wd;
    RegenReport report;
    ASSERT_EQ(kxhost::regenerate(&db, wd, &report), Acad::eOk);
    ASSERT_EQ(report.drawn.length(), 2);
    EXPECT_EQ(report.drawn[0], a);
    EXPECT_EQ(report.drawn[1], ref);
    ASSERT_EQ(report.invisible.length(), 1);
    EXPECT_EQ(report.invisible[0], h);
    EXPECT_TRUE(report.notOpened.isEmpty());
    EXPECT_EQ(wd.recording().entityOrder(), report.drawn);
    // The reference shows only its block's live entity; nothing else was drawn.
    ASSERT_EQ(wd.primitives().size(), 2u) << wd.dump();
    const std::vector<GiPrimitive> prims = wd.recording().primitivesOf(ref);
    ASSERT_EQ(prims.size(), 1u);
    EXPECT_EQ(prims[0].drawable, kept);
    EXPECT_EQ(wd.count(GiKind::kCircle), 0);
}

TEST_F(RegenDriverTest, DrawOrderFollowsTheSortTable) {
    AcDbObjectIdArray lines;
    for (int i = 0; i < 3; ++i) {
        lines.append(append(new AcDbLine(AcGePoint3d(i, 0, 0), AcGePoint3d(i, 1, 0))));
    }
    {
        RecordingWorldDraw wd;
        ASSERT_EQ(kxhost::regenerate(&db, wd), Acad::eOk);
        EXPECT_EQ(wd.recording().entityOrder(), lines);  // the block's own order
    }
    {
        Open<AcDbBlockTableRecord> space(modelSpace(), AcDb::kForWrite);
        AcDbSortentsTable* table = nullptr;
        ASSERT_EQ(space->getSortentsTable(table, AcDb::kForWrite, true), Acad::eOk);
        AcDbObjectIdArray bottom;
        bottom.append(lines[2]);
        EXPECT_EQ(table->moveToBottom(bottom), Acad::eOk);
        table->close();
    }
    // An entity the table does not list yet comes after the listed ones.
    const AcDbObjectId later = append(new AcDbLine(AcGePoint3d(9, 0, 0), AcGePoint3d(9, 1, 0)));
    AcDbObjectIdArray expected;
    expected.append(lines[2]);
    expected.append(lines[0]);
    expected.append(lines[1]);
    expected.append(later);

    AcDbObjectIdArray order;
    ASSERT_EQ(kxhost::drawOrder(modelSpace(), order), Acad::eOk);
    EXPECT_EQ(order, expected);
    RecordingWorldDraw wd;
    RegenReport report;
    ASSERT_EQ(kxhost::regenerate(&db, wd, &report), Acad::eOk);
    EXPECT_EQ(report.drawn, expected);
    EXPECT_EQ(wd.recording().entityOrder(), expected);
    // The primitives come in the same order.
    ASSERT_EQ(wd.primitives().size(), 4u);
    EXPECT_TRUE(samePoint(AcGePoint3d(2, 0, 0), wd.primitives()[0].points[0]));
    EXPECT_TRUE(samePoint(AcGePoint3d(9, 0, 0), wd.primitives()[3].points[0]));
}

TEST_F(RegenDriverTest, NamedSpacesAndFailures) {
    const AcDbObjectId block = shapesBlock();
    append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    RecordingWorldDraw wd;
    RegenReport report;
    // A block drawn as a space: its entities untransformed.
    ASSERT_EQ(kxhost::regenerate(&db, block, wd, &report), Acad::eOk);
    EXPECT_EQ(report.drawn.length(), 3);
    EXPECT_TRUE(samePoints({lineStart, lineEnd}, wd.recording().primitivesOf(line)[0].points));

    EXPECT_EQ(kxhost::regenerate(nullptr, wd), Acad::eNullObjectPointer);
    EXPECT_EQ(kxhost::regenerate(&db, line, wd), Acad::eNotThatKindOfClass);
    AcDbDatabase other(true, true);
    EXPECT_EQ(kxhost::regenerate(&db, other.modelSpaceId(), wd), Acad::eWrongDatabase);
    AcDbObjectIdArray ids;
    EXPECT_EQ(kxhost::drawOrder(AcDbObjectId::kNull, ids), Acad::eNullObjectId);
    erase(block);
    EXPECT_EQ(kxhost::regenerate(&db, block, wd), Acad::eWasErased);
}

TEST_F(RegenDriverTest, EntitiesThatCannotBeOpenedAreReportedAndSkipped) {
    const AcDbObjectId a = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    const AcDbObjectId busy = append(new AcDbLine(AcGePoint3d(0, 1, 0), AcGePoint3d(1, 1, 0)));
    const AcDbObjectId c = append(new AcDbLine(AcGePoint3d(0, 2, 0), AcGePoint3d(1, 2, 0)));
    kxhost::setStrictOpens(true);
    Open<AcDbLine> held(busy, AcDb::kForWrite);
    ASSERT_EQ(held.status, Acad::eOk);
    RecordingWorldDraw wd;
    RegenReport report;
    ASSERT_EQ(kxhost::regenerate(&db, wd, &report), Acad::eOk);
    ASSERT_EQ(report.notOpened.length(), 1);
    EXPECT_EQ(report.notOpened[0], busy);
    EXPECT_EQ(report.notOpenedStatus[0], Acad::eWasOpenForWrite);
    ASSERT_EQ(report.drawn.length(), 2);
    EXPECT_EQ(report.drawn[0], a);
    EXPECT_EQ(report.drawn[1], c);
}

TEST_F(RegenDriverTest, AbandonedRegenerationStopsDrawing) {
    for (int i = 0; i < 4; ++i) {
        append(new AcDbLine(AcGePoint3d(i, 0, 0), AcGePoint3d(i, 1, 0)));
    }
    RecordingWorldDraw wd;
    wd.recording().abortAfter(2);
    RegenReport report;
    ASSERT_EQ(kxhost::regenerate(&db, wd, &report), Acad::eOk);
    EXPECT_TRUE(report.aborted);
    EXPECT_TRUE(wd.regenAbort());
    EXPECT_EQ(report.drawn.length(), 2);
    EXPECT_EQ(wd.primitives().size(), 2u);
    // Clearing starts afresh.
    wd.recording().clear();
    EXPECT_FALSE(wd.regenAbort());
    ASSERT_EQ(kxhost::regenerate(&db, wd, &report), Acad::eOk);
    EXPECT_EQ(wd.primitives().size(), 4u);
}

}  // namespace
