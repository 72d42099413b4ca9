// Drawable overrules during regeneration: they take over a reference's drawing, their base call
// reaches the reference's own drawing, nested entities draw through them, and the driver keeps
// the model-transform stack sound whatever they do.
#include <gtest/gtest.h>

#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "tests/host/regen/regen_test_support.h"

namespace {

using kxhost::GiKind;
using kxhost::GiPrimitive;
using kxhost::RecordingWorldDraw;
using kxhost::RegenReport;
using regentest::frame;
using regentest::mapped;
using regentest::OverruleScope;
using regentest::samePoint;
using regentest::samePoints;

// Draws a marker triangle in its own colour and then, when asked, the reference's own drawing.
// Applies to references of one block only when given one.
class MarkReferences : public AcGiDrawableOverrule {
  public:
    bool isApplicable(const AcRxObject* subject) const override {
        const AcDbBlockReference* ref = AcDbBlockReference::cast(subject);
        return ref != nullptr && (onlyBlock.isNull() || ref->blockTableRecord() == onlyBlock);
    }
    bool worldDraw(AcGiDrawable* subject, AcGiWorldDraw* wd) override {
        ++calls;
        const AcGePoint3d marker[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        wd->subEntityTraits().setColor(1);
        wd->subEntityTraits().setFillType(kAcGiFillAlways);
        wd->geometry().polygon(3, marker);
        return callBase ? AcGiDrawableOverrule::worldDraw(subject, wd) : true;
    }
    bool callBase = true;
    AcDbObjectId onlyBlock;
    int calls = 0;
};

class OverruleRegenTest : public regentest::RegenTest {
  protected:
    // A block holding a line in colour 3; a reference to it at (10,0,0) turned by 90 degrees.
    void SetUp() override {
        RegenTest::SetUp();
        block = addBlock(L"B");
        auto* l = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0));
        l->setColorIndex(3);
        line = append(l, block);
        ref = addReference(block, AcGePoint3d(10, 0, 0), kHalfPi, AcGeScale3d(1, 1, 1));
    }
    static constexpr double kHalfPi = 1.57079632679489661923;
    AcDbObjectId block;
    AcDbObjectId line;
    AcDbObjectId ref;
};

TEST_F(OverruleRegenTest, OverruleTakesOverAndItsBaseCallReachesTheReference) {
    const AcDbObjectId plain = append(new AcDbLine(AcGePoint3d(0, 5, 0), AcGePoint3d(1, 5, 0)));
    MarkReferences overrule;
    OverruleScope scope(AcDbBlockReference::desc(), &overrule);
    RecordingWorldDraw wd;
    RegenReport report;
    ASSERT_EQ(kxhost::regenerate(&db, wd, &report), Acad::eOk);
    EXPECT_EQ(overrule.calls, 1);  // the reference only, not the plain line

    const std::vector<GiPrimitive> prims = wd.recording().primitivesOf(ref);
    ASSERT_EQ(prims.size(), 2u) << wd.dump();
    // The marker is the reference's own primitive, drawn untransformed in the overrule's traits.
    EXPECT_EQ(prims[0].kind, GiKind::kPolygon);
    EXPECT_EQ(prims[0].nesting, 0);
    EXPECT_EQ(prims[0].drawable, ref);
    EXPECT_EQ(prims[0].color, 1);
    EXPECT_EQ(prims[0].fillType, kAcGiFillAlways);
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 0, 0), prims[0].points[1]));
    // The base call drew the block under the reference transform, the line in its own traits.
    const AcGeMatrix3d m =
        frame(AcGePoint3d(10, 0, 0), kHalfPi, AcGeScale3d(1, 1, 1), AcGePoint3d::kOrigin);
    EXPECT_EQ(prims[1].drawable, line);
    EXPECT_TRUE(
        samePoints(mapped(m, {AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0)}), prims[1].points));
    EXPECT_EQ(prims[1].color, 3);
    EXPECT_EQ(prims[1].fillType, kAcGiFillNever);
    // The overrule's traits did not leak into the next entity.
    const std::vector<GiPrimitive> after = wd.recording().primitivesOf(plain);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].color, 256);
    EXPECT_EQ(after[0].fillType, kAcGiFillNever);
}

TEST_F(OverruleRegenTest, OverruleWithoutBaseCallReplacesTheDrawing) {
    MarkReferences overrule;
    overrule.callBase = false;
    {
        OverruleScope scope(AcDbBlockReference::desc(), &overrule);
        RecordingWorldDraw wd;
        ASSERT_EQ(kxhost::regenerate(&db, wd), Acad::eOk);
        ASSERT_EQ(wd.primitives().size(), 1u);
        EXPECT_EQ(wd.primitives()[0].kind, GiKind::kPolygon);
    }
    // Once removed, the host draws the reference again.
    RecordingWorldDraw wd;
    ASSERT_EQ(kxhost::regenerate(&db, wd), Acad::eOk);
    ASSERT_EQ(wd.primitives().size(), 1u);
    EXPECT_EQ(wd.primitives()[0].drawable, line);
    EXPECT_EQ(overrule.calls, 1);
}

TEST_F(OverruleRegenTest, NestedReferencesDrawThroughTheOverruleToo) {
    const AcDbObjectId outer = addBlock(L"OUTER");
    addReference(block, AcGePoint3d(0, 0, 0), 0.0, AcGeScale3d(2, 2, 2), outer);
    const AcDbObjectId top = addReference(outer, AcGePoint3d(0, 100, 0), 0.0, AcGeScale3d(1, 1, 1));
    MarkReferences overrule;
    overrule.onlyBlock = block;  // the inner references only
    OverruleScope scope(AcDbBlockReference::desc(), &overrule);
    RecordingWorldDraw wd;
    ASSERT_EQ(kxhost::regenerate(&db, wd), Acad::eOk);
    EXPECT_EQ(overrule.calls, 2);  // `ref` in model space and the one inside OUTER
    const std::vector<GiPrimitive> prims = wd.recording().primitivesOf(top);
    ASSERT_EQ(prims.size(), 2u) << wd.dump();
    // The marker of the nested reference sits under OUTER's reference transform.
    EXPECT_EQ(prims[0].kind, GiKind::kPolygon);
    EXPECT_EQ(prims[0].nesting, 1);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 100, 0), prims[0].points[0]));
    // The line under both transforms.
    EXPECT_TRUE(samePoints({AcGePoint3d(0, 100, 0), AcGePoint3d(4, 100, 0)}, prims[1].points));
    EXPECT_EQ(prims[1].nesting, 2);
}

// Pushes a transform and never pops it.
class LeakTransform : public AcGiDrawableOverrule {
  public:
    bool worldDraw(AcGiDrawable* subject, AcGiWorldDraw* wd) override {
        wd->geometry().pushModelTransform(AcGeMatrix3d::translation(AcGeVector3d(0, 0, 50)));
        return AcGiDrawableOverrule::worldDraw(subject, wd);
    }
};

// Pops twice what it never pushed, then draws.
class PopTooMuch : public AcGiDrawableOverrule {
  public:
    bool worldDraw(AcGiDrawable* subject, AcGiWorldDraw* wd) override {
        refused += wd->geometry().popModelTransform() ? 0 : 1;
        refused += wd->geometry().popModelTransform() ? 0 : 1;
        return AcGiDrawableOverrule::worldDraw(subject, wd);
    }
    int refused = 0;
};

TEST_F(OverruleRegenTest, BalancedDrawingLeavesTheStackAsFound) {
    append(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1.0));
    RecordingWorldDraw wd;
    RegenReport report;
    ASSERT_EQ(kxhost::regenerate(&db, wd, &report), Acad::eOk);
    EXPECT_TRUE(report.unbalanced.isEmpty());
    for (const kxhost::GiEntityDraw& e : wd.recording().entityDraws()) {
        EXPECT_TRUE(e.balanced()) << AcString(e.className).utf8();
    }
    EXPECT_EQ(wd.recording().entityDraw(ref)->pushes, 1);
    EXPECT_EQ(wd.recording().pushCount(), wd.recording().popCount());
    EXPECT_EQ(wd.depth(), 0);
}

TEST_F(OverruleRegenTest, TransformsLeftPushedAreUndoneBeforeTheNextEntity) {
    const AcDbObjectId c = append(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1.0));
    const AcDbObjectId after = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    LeakTransform leak;
    OverruleScope scope(AcDbCircle::desc(), &leak);
    RecordingWorldDraw wd;
    RegenReport report;
    ASSERT_EQ(kxhost::regenerate(&db, wd, &report), Acad::eOk);
    ASSERT_EQ(report.unbalanced.length(), 1);
    EXPECT_EQ(report.unbalanced[0], c);
    EXPECT_EQ(wd.recording().entityDraw(c)->leftPushed, 1);
    // The circle was drawn under its leaked transform; the next line is not.
    EXPECT_NEAR(wd.recording().primitivesOf(c)[0].center.z, 50.0, 1e-9);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 0, 0), wd.recording().primitivesOf(after)[0].points[0]));
    EXPECT_EQ(wd.depth(), 0);
}

TEST_F(OverruleRegenTest, PopsBelowTheDrawablesOwnTransformsAreRefused) {
    const AcDbObjectId after = append(new AcDbLine(AcGePoint3d(0, 7, 0), AcGePoint3d(1, 7, 0)));
    PopTooMuch pops;
    OverruleScope scope(AcDbLine::desc(), &pops);
    RecordingWorldDraw wd;
    RegenReport report;
    ASSERT_EQ(kxhost::regenerate(&db, wd, &report), Acad::eOk);
    EXPECT_EQ(pops.refused, 4);  // two for the nested line, two for the model-space line
    // The nested line is still drawn under the reference's transform.
    const AcGeMatrix3d m =
        frame(AcGePoint3d(10, 0, 0), kHalfPi, AcGeScale3d(1, 1, 1), AcGePoint3d::kOrigin);
    EXPECT_TRUE(samePoints(mapped(m, {AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0)}),
                           wd.recording().primitivesOf(ref)[0].points));
    EXPECT_EQ(wd.recording().entityDraw(ref)->refusedPops, 2);
    EXPECT_EQ(wd.recording().entityDraw(ref)->pops, 1);  // the reference's own pop went through
    EXPECT_EQ(report.unbalanced.length(), 2);
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 7, 0), wd.recording().primitivesOf(after)[0].points[0]));
    EXPECT_EQ(wd.recording().refusedPopCount(), 4);
    EXPECT_EQ(wd.depth(), 0);
}

// Draws its subject again from inside its own drawing.
class DrawSelf : public AcGiDrawableOverrule {
  public:
    bool worldDraw(AcGiDrawable* subject, AcGiWorldDraw* wd) override {
        ++calls;
        wd->geometry().draw(subject);
        return AcGiDrawableOverrule::worldDraw(subject, wd);
    }
    int calls = 0;
};

TEST_F(OverruleRegenTest, SelfDrawingIsCutOffAtTheNestingLimit) {
    const AcDbObjectId l = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    DrawSelf self;
    OverruleScope scope(AcDbLine::desc(), &self);
    RecordingWorldDraw wd;
    ASSERT_EQ(kxhost::regenerate(&db, wd), Acad::eOk);
    const kxhost::GiEntityDraw* record = wd.recording().entityDraw(l);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->refusedDraws, 1);
    EXPECT_EQ(wd.recording().count(GiKind::kPolyline, l), kxhost::GiRecording::kMaxNesting);
    EXPECT_EQ(wd.depth(), 0);
}

}  // namespace
