// Finding the private copies of a drag image that stand for definition entities: each definition
// entity gets exactly its own copy, copies added and removed during the change are found or no
// longer found, and a later image never gets the copies of an earlier one.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/blockref.h"
#include "host/entities/line.h"
#include "module/display/drawable_overrule.h"
#include "module/representation/representation.h"
#include "module/representation/representation_context.h"
#include "support/module_loader.h"

namespace {

constexpr int kLines = 40;

class DragImageLookupTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        overrule = KxGiNimbleBlockDrawableOverrule::instance();
        ASSERT_NE(overrule, nullptr);
        db = new AcDbDatabase(true, true);
        AcDbBlockTable* table = nullptr;
        ASSERT_EQ(db->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        auto* record = new AcDbBlockTableRecord();
        record->setName(L"LINES");
        ASSERT_EQ(table->add(defId, record), Acad::eOk);
        for (int i = 0; i < kLines; ++i) {
            auto* line = new AcDbLine(AcGePoint3d(0, i, 0), AcGePoint3d(10, i, 0));
            AcDbObjectId id;
            ASSERT_EQ(record->appendAcDbEntity(id, line), Acad::eOk);
            line->close();
            lines.push_back(id);
        }
        record->close();
        table->close();
        auto* ref = new AcDbBlockReference(AcGePoint3d(0, 0, 0), defId);
        AcDbBlockTableRecord* space = nullptr;
        ASSERT_EQ(acdbOpenObject(space, db->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(space->appendAcDbEntity(refId, ref), Acad::eOk);
        ref->close();
        space->close();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
        kxtest::ModuleTest::TearDown();
    }

    // A drag image of the reference, as the grip editor makes one.
    AcDbBlockReference* makeImage() {
        AcDbBlockReference* ref = nullptr;
        EXPECT_EQ(acdbOpenObject(ref, refId, AcDb::kForRead), Acad::eOk);
        AcDbBlockReference* image = AcDbBlockReference::cast(ref->clone());
        ref->close();
        EXPECT_NE(image, nullptr);
        EXPECT_EQ(overrule->noteDraggedReference(image, refId), Acad::eOk);
        return image;
    }
    void dropImage(AcDbBlockReference* image) {
        overrule->releaseClone(image);
        delete image;
    }
    std::vector<AcDbEntity*> copiesOf(const AcDbBlockReference* image) const {
        std::vector<AcDbEntity*> copies;
        for (int i = 0; i < overrule->cloneEntityCount(image); ++i) {
            copies.push_back(overrule->cloneEntityAt(image, i));
        }
        return copies;
    }
    // The start point of each copy found for each definition line, in definition order; a
    // definition entity with other than one copy gives a huge y.
    std::vector<double> lookup(KxDbTagRepresentationContext* ctx) {
        std::vector<double> found;
        for (const AcDbObjectId& id : lines) {
            KxDbTagEntityList objects;
            EXPECT_EQ(ctx->getObjectsForDefinitionEntity(id, AcDb::kForWrite, objects), Acad::eOk);
            const AcDbLine* copy = objects.size() == 1 ? AcDbLine::cast(objects[0]) : nullptr;
            found.push_back(copy != nullptr ? copy->startPoint().y : 1e300);
            for (AcDbEntity* ent : objects) {
                ent->close();
            }
        }
        return found;
    }

    KxGiNimbleBlockDrawableOverrule* overrule = nullptr;
    AcDbDatabase* db = nullptr;
    AcDbObjectId defId, refId;
    std::vector<AcDbObjectId> lines;
};

TEST_F(DragImageLookupTest, EachDefinitionEntityFindsItsOwnCopy) {
    AcDbBlockReference* image = makeImage();
    KxDbTagRepresentationContext* ctx =
        KxDbTagRepresentation::of(image)->newRepresentationContext(image);
    const std::vector<double> found = lookup(ctx);
    for (int i = 0; i < kLines; ++i) {
        EXPECT_EQ(found[static_cast<size_t>(i)], i) << i;
    }
    // Every one is a private copy of the image, never a database entity.
    KxDbTagEntityList objects;
    ASSERT_EQ(ctx->getObjectsForDefinitionEntity(lines[7], AcDb::kForRead, objects), Acad::eOk);
    ASSERT_EQ(objects.size(), 1u);
    const std::vector<AcDbEntity*> copies = copiesOf(image);
    EXPECT_NE(std::find(copies.begin(), copies.end(), objects[0]), copies.end());
    EXPECT_EQ(objects[0]->database(), nullptr);
    delete ctx;
    dropImage(image);
}

TEST_F(DragImageLookupTest, CopiesAddedAndRemovedDuringTheChangeAreFollowed) {
    AcDbBlockReference* image = makeImage();
    KxDbTagRepresentationContext* ctx =
        KxDbTagRepresentation::of(image)->newRepresentationContext(image);
    lookup(ctx);  // the lookups are set up before the copies change
    auto* extra = new AcDbLine(AcGePoint3d(0, 100, 0), AcGePoint3d(1, 100, 0));
    ASSERT_EQ(ctx->addEntity(extra, lines[3]), Acad::eOk);
    KxDbTagEntityList objects;
    ASSERT_EQ(ctx->getObjectsForDefinitionEntity(lines[3], AcDb::kForWrite, objects), Acad::eOk);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_NE(std::find(objects.begin(), objects.end(), extra), objects.end());
    for (AcDbEntity* ent : objects) {
        ent->close();
    }

    // The original copy goes: only the added one stands for the line now, and the removed copy
    // (deleted) is never handed out again.
    ASSERT_EQ(ctx->getObjectsForDefinitionEntity(lines[3], AcDb::kForWrite, objects), Acad::eOk);
    AcDbEntity* original = objects[0] == extra ? objects[1] : objects[0];
    ASSERT_EQ(ctx->removeEntity(original), Acad::eOk);
    ASSERT_EQ(ctx->getObjectsForDefinitionEntity(lines[3], AcDb::kForWrite, objects), Acad::eOk);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0], extra);
    EXPECT_EQ(overrule->cloneEntityCount(image), kLines);
    delete ctx;
    dropImage(image);
}

TEST_F(DragImageLookupTest, ALaterImageNeverGetsTheCopiesOfAnEarlierOne) {
    for (int round = 0; round < 3; ++round) {
        AcDbBlockReference* image = makeImage();
        KxDbTagRepresentationContext* ctx =
            KxDbTagRepresentation::of(image)->newRepresentationContext(image);
        std::vector<AcDbEntity*> copies;
        for (const AcDbObjectId& id : lines) {
            KxDbTagEntityList objects;
            ASSERT_EQ(ctx->getObjectsForDefinitionEntity(id, AcDb::kForWrite, objects), Acad::eOk);
            ASSERT_EQ(objects.size(), 1u) << round;
            if (copies.empty()) {
                // Made by the first request.
                copies = copiesOf(image);
                ASSERT_EQ(copies.size(), static_cast<size_t>(kLines));
            }
            EXPECT_NE(std::find(copies.begin(), copies.end(), objects[0]), copies.end()) << round;
        }
        delete ctx;
        // The next image is made after this one and its copies are gone, possibly at the very
        // same address.
        dropImage(image);
    }
}

}  // namespace
