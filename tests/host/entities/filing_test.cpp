#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "host/db/layer.h"
#include "host/entities/aligneddim.h"
#include "host/entities/angulardim.h"
#include "host/entities/arc.h"
#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/circle.h"
#include "host/entities/ellipse.h"
#include "host/entities/line.h"
#include "host/entities/minsert.h"
#include "host/entities/mtext.h"
#include "host/entities/point.h"
#include "host/entities/polyline.h"
#include "host/entities/proxyentity.h"
#include "host/entities/solid.h"
#include "host/entities/text.h"
#include "tests/host/entities/entities_test_support.h"

namespace {

using enttest::Open;
using enttest::Owned;
using Item = kxhost::DwgMemoryFiler::Item;
using ItemKind = kxhost::DwgMemoryFiler::ItemKind;

struct Sample {
    const char* name;
    std::function<AcDbEntity*(AcDbObjectId block, AcDbObjectId layer)> make;
};

// Every entity kind with every field away from its default, so a field that is not filed shows.
std::vector<Sample> samples() {
    return {
        {"line",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbLine(AcGePoint3d(1, 2, 3), AcGePoint3d(4, 5, 6));
             e->setNormal(AcGeVector3d(0, 1, 1));
             e->setThickness(0.5);
             return e;
         }},
        {"circle",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbCircle(AcGePoint3d(1, 2, 3), AcGeVector3d(1, 0, 1), 4.5);
             e->setThickness(-1);
             return e;
         }},
        {"arc",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbArc(AcGePoint3d(1, 2, 3), AcGeVector3d(0, 1, 0), 2, 0.25, 5.5);
             e->setThickness(2);
             return e;
         }},
        {"ellipse",
         [](AcDbObjectId, AcDbObjectId) {
             return new AcDbEllipse(AcGePoint3d(1, 2, 3), AcGeVector3d::kZAxis,
                                    AcGeVector3d(3, 4, 0), 0.25, 0.5, 2.5);
         }},
        {"polyline",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbPolyline();
             e->addVertexAt(0, AcGePoint2d(1, 2), 0.5, 0.1, 0.2);
             e->addVertexAt(1, AcGePoint2d(3, 4), -0.25);
             e->addVertexAt(2, AcGePoint2d(5, -1), 0.0, 0.3, 0.0);
             e->setClosed(true);
             e->setElevation(2.5);
             e->setThickness(1.5);
             e->setNormal(AcGeVector3d(0, 0, -1));
             return e;
         }},
        {"text",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbText(AcGePoint3d(1, 2, 3), L"t\u00e9xt \u4e2d", AcDbObjectId::kNull,
                                    2.5, 0.5);
             e->setAlignmentPoint(AcGePoint3d(4, 5, 6));
             e->setWidthFactor(0.8);
             e->setOblique(0.1);
             e->setThickness(0.2);
             e->mirrorInX(true);
             e->setHorizontalMode(2);
             e->setVerticalMode(3);
             return e;
         }},
        {"mtext",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbMText();
             e->setLocation(AcGePoint3d(1, 2, 3));
             e->setNormal(AcGeVector3d(0, 0, -1));
             e->setRotation(0.75);
             e->setTextHeight(0.4);
             e->setWidth(12);
             e->setAttachment(AcDbMText::kBottomRight);
             e->setContents(L"one\\Ptwo");
             return e;
         }},
        {"point",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbPoint(AcGePoint3d(1, 2, 3));
             e->setNormal(AcGeVector3d(1, 1, 0));
             e->setThickness(4);
             return e;
         }},
        {"solid",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbSolid(AcGePoint3d(1, 0, 0), AcGePoint3d(2, 0, 0),
                                     AcGePoint3d(1, 3, 0), AcGePoint3d(2, 4, 0));
             e->setThickness(3);
             return e;
         }},
        {"attdef",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbAttributeDefinition(AcGePoint3d(1, 2, 0), L"dflt", L"TAG", L"Ask");
             e->setConstant(true);
             e->setInvisible(true);
             e->setVerifiable(true);
             e->setPreset(true);
             e->setLockPositionInBlock(true);
             e->setFieldLength(12);
             return e;
         }},
        {"attrib",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbAttribute(AcGePoint3d(1, 2, 0), L"v", L"TAG");
             e->setInvisible(true);
             e->setLockPositionInBlock(true);
             e->setFieldLength(3);
             return e;
         }},
        {"proxy",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbProxyEntity();
             e->setOriginalClassName(L"SomeoneElsesEntity");
             e->setOriginalDxfName(L"OTHERENT");
             return e;
         }},
        {"aligned",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDbAlignedDimension(AcGePoint3d(0, 0, 0), AcGePoint3d(3, 4, 0),
                                                AcGePoint3d(1, 5, 0), L"<> mm");
             e->setOblique(0.2);
             e->setElevation(1.5);
             e->setDynamicDimension(true);
             e->setDimdec(1);
             e->setDimlunit(4);
             e->setDimadec(3);
             e->setDimaunit(1);
             return e;
         }},
        {"angular",
         [](AcDbObjectId, AcDbObjectId) {
             auto* e = new AcDb3PointAngularDimension(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0),
                                                      AcGePoint3d(0, 2, 0), AcGePoint3d(1, 1, 0));
             e->setNormal(AcGeVector3d(0, 0, -1));
             e->setTextPosition(AcGePoint3d(2, 2, 2));
             e->setDimadec(-1);
             return e;
         }},
        {"reference",
         [](AcDbObjectId block, AcDbObjectId) {
             auto* e = new AcDbBlockReference(AcGePoint3d(1, 2, 3), block);
             e->setScaleFactors(AcGeScale3d(2, -3, 4));
             e->setRotation(1.25);
             e->setNormal(AcGeVector3d(1, 2, 3));
             return e;
         }},
        {"minsert",
         [](AcDbObjectId block, AcDbObjectId) {
             auto* e = new AcDbMInsertBlock(AcGePoint3d(1, 2, 3), block, 4, 3, 2.5, -1.5);
             e->setRotation(0.5);
             return e;
         }},
    };
}

class FilingTest : public enttest::EntityTest {
  protected:
    void SetUp() override {
        EntityTest::SetUp();
        block = addBlock(L"Blk");
        Open<AcDbLayerTable> table(db.layerTableId(), AcDb::kForWrite);
        auto* rec = new AcDbLayerTableRecord();
        rec->setName(L"Walls");
        table->add(layer, rec);
        rec->close();
    }
    // A resident entity with the common fields and extended data set.
    AcDbObjectId place(const Sample& sample) {
        AcDbEntity* ent = sample.make(block, layer);
        const AcDbObjectId id = append(ent);
        Open<AcDbEntity> open(id, AcDb::kForWrite);
        open->setLayer(layer);
        open->setColorIndex(42);
        open->setVisibility(AcDb::kInvisible);
        enttest::Chain xd(acutBuildList(1001, L"KXFILE", 1000, L"x", 1071, 7, 0));
        open->setXData(xd.head);
        return id;
    }
    AcDbObjectId block;
    AcDbObjectId layer;
};

TEST_F(FilingTest, DwgRoundTripsKeepEveryField) {
    for (const Sample& sample : samples()) {
        SCOPED_TRACE(sample.name);
        const AcDbObjectId id = place(sample);
        Open<AcDbEntity> ent(id, AcDb::kForRead);
        for (AcDb::FilerType type :
             {AcDb::kFileFiler, AcDb::kCopyFiler, AcDb::kDeepCloneFiler, AcDb::kIdXlateFiler}) {
            Owned<AcDbObject> copy;
            ASSERT_TRUE(enttest::dwgRoundTrip(ent.obj, type, &copy)) << type;
        }
        Owned<AcDbObject> copy;
        ASSERT_TRUE(enttest::dwgRoundTrip(ent.obj, AcDb::kFileFiler, &copy));
        auto* read = AcDbEntity::cast(copy.get());
        EXPECT_EQ(read->layerId(), layer);
        EXPECT_EQ(read->colorIndex(), 42);
        EXPECT_EQ(read->visibility(), AcDb::kInvisible);
        EXPECT_EQ(read->ownerId(), modelSpace());
        enttest::Chain xd(read->xData(L"KXFILE"));
        EXPECT_NE(xd.head, nullptr);
    }
}

TEST_F(FilingTest, DxfRoundTripsKeepEveryField) {
    for (const Sample& sample : samples()) {
        SCOPED_TRACE(sample.name);
        const AcDbObjectId id = place(sample);
        Open<AcDbEntity> ent(id, AcDb::kForRead);
        Owned<AcDbObject> copy;
        ASSERT_TRUE(enttest::dxfRoundTrip(ent.obj, &db, &copy));
        auto* read = AcDbEntity::cast(copy.get());
        EXPECT_EQ(read->layerId(), layer);  // by name, through the drawing
        EXPECT_EQ(read->colorIndex(), 42);
    }
}

TEST_F(FilingTest, SpecificFieldsComeBack) {
    // Spot checks that the round trip compares real values, not two empty streams.
    auto* ref = new AcDbBlockReference(AcGePoint3d(1, 2, 3), block);
    ref->setScaleFactors(AcGeScale3d(2, -3, 4));
    const AcDbObjectId refId = append(ref);
    Open<AcDbBlockReference> open(refId, AcDb::kForRead);
    Owned<AcDbObject> copy;
    ASSERT_TRUE(enttest::dwgRoundTrip(open.obj, AcDb::kFileFiler, &copy));
    auto* read = AcDbBlockReference::cast(copy.get());
    EXPECT_EQ(read->blockTableRecord(), block);
    EXPECT_DOUBLE_EQ(read->scaleFactors().sy, -3.0);
    ASSERT_TRUE(enttest::dxfRoundTrip(open.obj, &db, &copy));
    read = AcDbBlockReference::cast(copy.get());
    EXPECT_EQ(read->blockTableRecord(), block);  // found again by the block's name

    AcDbPolyline pl;
    pl.addVertexAt(0, AcGePoint2d(1, 2), 0.5);
    pl.addVertexAt(1, AcGePoint2d(3, 4));
    ASSERT_TRUE(enttest::dxfRoundTrip(&pl, &db, &copy));
    auto* readPl = AcDbPolyline::cast(copy.get());
    ASSERT_EQ(readPl->numVerts(), 2u);
    double bulge = 0;
    readPl->getBulgeAt(0, bulge);
    EXPECT_DOUBLE_EQ(bulge, 0.5);
}

TEST_F(FilingTest, TruncatedStreamsFailWithoutChangingTheEntity) {
    for (const Sample& sample : samples()) {
        SCOPED_TRACE(sample.name);
        Owned<AcDbEntity> source(sample.make(block, layer));
        kxhost::DwgMemoryFiler full(AcDb::kFileFiler);
        source->dwgOutFields(&full);
        for (int keep = 0; keep < full.itemCount(); ++keep) {
            Owned<AcDbEntity> target(sample.make(block, layer));
            kxhost::DwgMemoryFiler before(AcDb::kCopyFiler);
            target->dwgOutFields(&before);
            ASSERT_NE(enttest::readDamaged(source.get(), target.get(), keep), Acad::eOk) << keep;
            kxhost::DwgMemoryFiler after(AcDb::kCopyFiler);
            target->dwgOutFields(&after);
            EXPECT_TRUE(before.sameItems(after)) << keep;
        }
    }
}

TEST_F(FilingTest, ImpossibleValuesAreRefused) {
    // Each case edits the first item of a kind counted from the end of the entity's own data.
    struct Case {
        const char* name;
        std::function<AcDbEntity*()> make;
        ItemKind kind;
        int backIndex;  // 0 = the last item of that kind
        std::function<void(Item&)> damage;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases = {
        {"zero normal", [] { return new AcDbLine(); }, ItemKind::kVector3d, 0,
         [](Item& i) { i.v[0] = i.v[1] = i.v[2] = 0; }},
        {"NaN normal", [] { return new AcDbCircle(); }, ItemKind::kVector3d, 0,
         [nan](Item& i) { i.v[2] = nan; }},
        {"negative radius", [] { return new AcDbCircle(); }, ItemKind::kDouble, 1,
         [](Item& i) { i.v[0] = -1; }},
        {"zero arc radius", [] { return new AcDbArc(); }, ItemKind::kDouble, 3,
         [](Item& i) { i.v[0] = 0; }},
        {"ellipse ratio above one", [] { return new AcDbEllipse(); }, ItemKind::kDouble, 2,
         [](Item& i) { i.v[0] = 1.5; }},
        {"vertex count too large",
         [] {
             auto* p = new AcDbPolyline();
             p->addVertexAt(0, AcGePoint2d(0, 0));
             return p;
         },
         ItemKind::kInt32, 0, [](Item& i) { i.bits = 0x7FFFFFFF; }},
        {"negative vertex count", [] { return new AcDbPolyline(); }, ItemKind::kInt32, 0,
         [](Item& i) { i.bits = static_cast<Adesk::UInt32>(-5); }},
        {"NaN bulge",
         [] {
             auto* p = new AcDbPolyline();
             p->addVertexAt(0, AcGePoint2d(0, 0), 0.5);
             return p;
         },
         ItemKind::kDouble, 2, [nan](Item& i) { i.v[0] = nan; }},
        {"zero text height", [] { return new AcDbText(); }, ItemKind::kDouble, 3,
         [](Item& i) { i.v[0] = 0; }},
        {"unknown text flags", [] { return new AcDbText(); }, ItemKind::kInt16, 2,
         [](Item& i) { i.bits = 64; }},
        {"bad attachment", [] { return new AcDbMText(); }, ItemKind::kInt16, 0,
         [](Item& i) { i.bits = 12; }},
        {"zero scale factor",
         [] { return new AcDbBlockReference(AcGePoint3d(), AcDbObjectId::kNull); },
         ItemKind::kScale3d, 0, [](Item& i) { i.v[1] = 0; }},
        {"attribute count too large",
         [] { return new AcDbBlockReference(AcGePoint3d(), AcDbObjectId::kNull); },
         ItemKind::kInt32, 0, [](Item& i) { i.bits = 0x7FFFFFFF; }},
        {"no rows", [] { return new AcDbMInsertBlock(); }, ItemKind::kUInt16, 0,
         [](Item& i) { i.bits = 0; }},
        {"far too many cells", [] { return new AcDbMInsertBlock(); }, ItemKind::kUInt16, 1,
         [](Item& i) { i.bits = 60000; }},
        {"colour out of range", [] { return new AcDbPoint(); }, ItemKind::kUInt16, 0,
         [](Item& i) { i.bits = 999; }},
        {"dimension precision out of range", [] { return new AcDbAlignedDimension(); },
         ItemKind::kInt16, 3, [](Item& i) { i.bits = 40; }},
        {"attribute tag with a space", [] { return new AcDbAttribute(); }, ItemKind::kString, 0,
         [](Item& i) { i.text = L"A B"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Owned<AcDbEntity> source(c.make());
        if (auto* mi = AcDbMInsertBlock::cast(source.get())) {
            mi->setRows(100);  // so sixty thousand columns are far too many cells
        }
        kxhost::DwgMemoryFiler full(AcDb::kFileFiler);
        source->dwgOutFields(&full);
        int target = -1;
        int seen = 0;
        for (int i = full.itemCount() - 1; i >= 0; --i) {
            if (full.items()[static_cast<size_t>(i)].kind == c.kind && seen++ == c.backIndex) {
                target = i;
                break;
            }
        }
        ASSERT_GE(target, 0);
        Owned<AcDbEntity> into(c.make());
        EXPECT_NE(enttest::readDamaged(source.get(), into.get(), -1,
                                       [&](int i, Item& item) {
                                           if (i == target) {
                                               c.damage(item);
                                           }
                                       }),
                  Acad::eOk);
    }
}

TEST_F(FilingTest, DamagedTextDataIsRefused) {
    // A polyline whose vertex count disagrees with its vertices.
    AcDbPolyline pl;
    pl.addVertexAt(0, AcGePoint2d(0, 0));
    pl.addVertexAt(1, AcGePoint2d(1, 0));
    kxhost::DxfMemoryFiler out(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent, &db);
    pl.dxfOutFields(&out);
    enttest::Chain chain(out.toChain());
    for (resbuf* rb = chain.head; rb != nullptr; rb = rb->rbnext) {
        if (rb->restype == 90) {
            rb->resval.rlong = 5;
        }
    }
    kxhost::DxfMemoryFiler in = kxhost::DxfMemoryFiler::fromChain(chain.head);
    AcDbPolyline read;
    EXPECT_EQ(read.dxfInFields(&in), Acad::eBadDxfSequence);
    EXPECT_EQ(read.numVerts(), 0u);

    // A missing subclass marker.
    resbuf* items =
        acutBuildList(100, L"AcDbEntity", 8, L"0", 10, std::vector<double>{1, 2, 3}.data(), 0);
    enttest::Chain noMarker(items);
    kxhost::DxfMemoryFiler bad = kxhost::DxfMemoryFiler::fromChain(noMarker.head);
    AcDbLine line;
    EXPECT_EQ(line.dxfInFields(&bad), Acad::eBadDxfSequence);

    // A zero radius.
    AcDbCircle circle;
    kxhost::DxfMemoryFiler circleOut(AcDb::kFileFiler);
    circle.dxfOutFields(&circleOut);
    enttest::Chain circleChain(circleOut.toChain());
    for (resbuf* rb = circleChain.head; rb != nullptr; rb = rb->rbnext) {
        if (rb->restype == 40) {
            rb->resval.rreal = 0.0;
        }
    }
    kxhost::DxfMemoryFiler circleIn = kxhost::DxfMemoryFiler::fromChain(circleChain.head);
    AcDbCircle readCircle;
    EXPECT_EQ(readCircle.dxfInFields(&circleIn), Acad::eInvalidDxfCode);
    EXPECT_DOUBLE_EQ(readCircle.radius(), 1.0);
}

TEST_F(FilingTest, OwnedAndPointedIdsAreFiledByKind) {
    // What cloning relies on: a block's entities and a reference's attributes as hard ownership,
    // the referenced block as a hard pointer.
    auto* ref = new AcDbBlockReference(AcGePoint3d(), block);
    const AcDbObjectId refId = append(ref);
    AcDbObjectId attId;
    {
        Open<AcDbBlockReference> open(refId, AcDb::kForWrite);
        auto* att = new AcDbAttribute(AcGePoint3d(), L"v", L"T");
        open->appendAttribute(attId, att);
        att->close();
    }
    Open<AcDbBlockReference> open(refId, AcDb::kForRead);
    kxhost::DwgMemoryFiler filer(AcDb::kDeepCloneFiler);
    open->dwgOutFields(&filer);
    bool blockAsPointer = false;
    bool attributeOwned = false;
    for (const Item& item : filer.items()) {
        const auto raw = static_cast<Adesk::Int64>(item.bits);
        blockAsPointer =
            blockAsPointer || (item.kind == ItemKind::kHardPointerId && raw == block.asOldId());
        attributeOwned =
            attributeOwned || (item.kind == ItemKind::kHardOwnershipId && raw == attId.asOldId());
    }
    EXPECT_TRUE(blockAsPointer);
    EXPECT_TRUE(attributeOwned);
}

}  // namespace
