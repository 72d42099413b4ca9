#include <gtest/gtest.h>

#include <algorithm>

#include "host/entities/arc.h"
#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "host/entities/mtext.h"
#include "host/entities/polyline.h"
#include "host/entities/solid.h"
#include "host/gi/drawable.h"
#include "tests/host/entities/entities_test_support.h"

namespace {

using enttest::Open;
using enttest::samePoint;

class DrawingTest : public enttest::EntityTest {
  protected:
    // A block (origin (1,0,0)) with a line, a varying and a constant attribute definition (the
    // constant one invisible when asked), and a reference to it at (10,0,0) with one attribute.
    AcDbObjectId referenceWithAttributes(bool constantInvisible, bool attributeInvisible) {
        const AcDbObjectId block = addBlock(L"B", AcGePoint3d(1, 0, 0));
        append(new AcDbLine(AcGePoint3d(1, 0, 0), AcGePoint3d(2, 0, 0)), block);
        append(new AcDbAttributeDefinition(AcGePoint3d(1, 1, 0), L"dflt", L"VARY", L"?"), block);
        auto* constant = new AcDbAttributeDefinition(AcGePoint3d(1, 2, 0), L"fixed", L"CONST", L"");
        constant->setConstant(true);
        constant->setInvisible(constantInvisible);
        append(constant, block);
        const AcDbObjectId refId = append(new AcDbBlockReference(AcGePoint3d(10, 0, 0), block));
        Open<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        auto* att = new AcDbAttribute(AcGePoint3d(10, 1, 0), L"typed", L"VARY");
        att->setInvisible(attributeInvisible);
        ref->appendAttribute(att);
        att->close();
        return refId;
    }
    std::vector<std::wstring> draw(AcDbObjectId id) {
        Open<AcDbEntity> ent(id, AcDb::kForRead);
        enttest::RecordingDraw wd;
        EXPECT_TRUE(ent->worldDraw(&wd));
        EXPECT_EQ(wd.depth(), 0);  // every push was popped
        return wd.texts();
    }
    static bool has(const std::vector<std::wstring>& texts, const wchar_t* text) {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
};

TEST_F(DrawingTest, ReferencesDrawTheirBlockUnderTheBlockTransform) {
    const AcDbObjectId refId = referenceWithAttributes(false, false);
    Open<AcDbBlockReference> ref(refId, AcDb::kForRead);
    enttest::RecordingDraw wd;
    ASSERT_TRUE(ref->worldDraw(&wd));
    ASSERT_GE(wd.count(L"polyline"), 1);
    const enttest::Primitive& line = wd.primitives().front();
    ASSERT_EQ(line.kind, L"polyline");
    EXPECT_TRUE(samePoint(AcGePoint3d(10, 0, 0), line.points[0]));
    EXPECT_TRUE(samePoint(AcGePoint3d(11, 0, 0), line.points[1]));
    // The varying definition shows through the attribute; the constant one shows its value.
    const std::vector<std::wstring> texts = wd.texts();
    EXPECT_TRUE(has(texts, L"typed"));
    EXPECT_TRUE(has(texts, L"fixed"));
    EXPECT_FALSE(has(texts, L"dflt"));
    EXPECT_FALSE(has(texts, L"VARY"));
}

TEST_F(DrawingTest, AttributeDisplayModeDecidesWhatIsShown) {
    const AcDbObjectId refId = referenceWithAttributes(true, true);
    // Normal: invisible ones are hidden, the constant definition included.
    std::vector<std::wstring> texts = draw(refId);
    EXPECT_FALSE(has(texts, L"typed"));
    EXPECT_FALSE(has(texts, L"fixed"));
    ASSERT_EQ(db.setAttmode(2), Acad::eOk);  // all
    texts = draw(refId);
    EXPECT_TRUE(has(texts, L"typed"));
    EXPECT_TRUE(has(texts, L"fixed"));
    ASSERT_EQ(db.setAttmode(0), Acad::eOk);  // none
    texts = draw(refId);
    EXPECT_TRUE(texts.empty());
}

TEST_F(DrawingTest, InvisibleEntitiesOfABlockAreSkipped) {
    const AcDbObjectId block = addBlock(L"B");
    auto* hidden = new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1.0);
    hidden->setVisibility(AcDb::kInvisible);
    append(hidden, block);
    append(new AcDbCircle(AcGePoint3d(5, 0, 0), AcGeVector3d::kZAxis, 2.0), block);
    AcDbBlockReference ref(AcGePoint3d(0, 0, 0), block);
    ref.setScaleFactors(AcGeScale3d(3, 3, 3));
    enttest::RecordingDraw wd;
    ref.worldDraw(&wd);
    ASSERT_EQ(wd.count(L"circle"), 1);
    EXPECT_TRUE(samePoint(AcGePoint3d(15, 0, 0), wd.primitives()[0].points[0]));
    EXPECT_DOUBLE_EQ(wd.primitives()[0].radius, 6.0);
}

TEST_F(DrawingTest, EntitiesDrawTheirOwnPrimitives) {
    enttest::RecordingDraw wd;
    AcDbArc arc(AcGePoint3d(0, 0, 0), 2.0, 0.0, 3.14159265358979323846 / 2);
    arc.worldDraw(&wd);
    ASSERT_EQ(wd.count(L"arc"), 1);
    EXPECT_TRUE(samePoint(AcGePoint3d(2, 0, 0), wd.primitives()[0].points[1]));
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 2, 0), wd.primitives()[0].points[2]));

    AcDbPolyline pl;
    pl.addVertexAt(0, AcGePoint2d(0, 0), 1.0);
    pl.addVertexAt(1, AcGePoint2d(2, 0));
    pl.addVertexAt(2, AcGePoint2d(2, 2));
    pl.worldDraw(&wd);
    const enttest::Primitive& drawn = wd.primitives().back();
    ASSERT_EQ(drawn.kind, L"polyline");
    EXPECT_TRUE(samePoint(AcGePoint3d(0, 0, 0), drawn.points.front()));
    EXPECT_TRUE(samePoint(AcGePoint3d(2, 2, 0), drawn.points.back()));
    // The arc is drawn through its lowest point.
    bool passes = false;
    for (const AcGePoint3d& p : drawn.points) {
        passes = passes || p.distanceTo(AcGePoint3d(1, -1, 0)) < 1e-9;
    }
    EXPECT_TRUE(passes);

    AcDbSolid solid(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0),
                    AcGePoint3d(1, 1, 0));
    solid.worldDraw(&wd);
    ASSERT_EQ(wd.primitives().back().kind, L"polygon");
    // The outline runs 0, 1, 3, 2.
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 1, 0), wd.primitives().back().points[2]));

    AcDbMText text;
    text.setContents(L"a\\Pb");
    const size_t before = wd.primitives().size();
    text.worldDraw(&wd);
    EXPECT_EQ(wd.primitives().size(), before + 2);
}

// A drawable overrule on lines that replaces their drawing: reaches entities drawn inside a
// reference too, since nested entities draw through their own worldDraw.
class HideLines : public AcGiDrawableOverrule {
  public:
    bool worldDraw(AcGiDrawable* subject, AcGiWorldDraw* wd) override {
        ++calls;
        return true;
    }
    int calls = 0;
};

TEST_F(DrawingTest, NestedEntitiesDrawThroughOverrules) {
    const AcDbObjectId block = addBlock(L"B");
    append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), block);
    append(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1.0), block);
    HideLines overrule;
    ASSERT_EQ(AcRxOverrule::addOverrule(AcDbLine::desc(), &overrule), Acad::eOk);
    AcDbBlockReference ref(AcGePoint3d(), block);
    enttest::RecordingDraw wd;
    ref.worldDraw(&wd);
    AcRxOverrule::removeOverrule(AcDbLine::desc(), &overrule);
    EXPECT_EQ(overrule.calls, 1);
    EXPECT_EQ(wd.count(L"polyline"), 0);
    EXPECT_EQ(wd.count(L"circle"), 1);
}

}  // namespace
