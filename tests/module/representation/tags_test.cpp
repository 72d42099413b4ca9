// Block and entity tags on extended data, and the tagging of block definitions.
#include <gtest/gtest.h>

#include "host/core/resbuf.h"
#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/layer.h"
#include "host/entities/attdef.h"
#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "module/representation/tags.h"

namespace {

resbuf* chain(std::initializer_list<std::pair<int, const void*>> items) {
    resbuf* head = nullptr;
    resbuf* tail = nullptr;
    for (const auto& item : items) {
        resbuf* rb = acutNewRb(item.first);
        if (item.first == 1001 || item.first == 1005 || item.first == 1000) {
            rb->resval.rstring = acutNewString(static_cast<const ACHAR*>(item.second));
        } else if (item.first == 1070) {
            rb->resval.rint = static_cast<short>(*static_cast<const int*>(item.second));
        } else {
            rb->resval.rlong = *static_cast<const int*>(item.second);
        }
        (tail == nullptr ? head : tail->rbnext) = rb;
        tail = rb;
    }
    return head;
}

class RepTagsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kxhost::resetAssertionViolations();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
        AcDbBlockTable* table = nullptr;
        ASSERT_EQ(db->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        auto* record = new AcDbBlockTableRecord();
        record->setName(L"DEF");
        ASSERT_EQ(table->add(defId, record), Acad::eOk);
        record->close();
        table->close();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::assertionViolations(), 0);
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
    }

    AcDbObjectId append(AcDbEntity* ent) {
        AcDbBlockTableRecord* block = nullptr;
        EXPECT_EQ(acdbOpenObject(block, defId, AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(block->appendAcDbEntity(id, ent), Acad::eOk);
        ent->close();
        block->close();
        return id;
    }
    AcDbObjectId appendLine(double y) {
        return append(new AcDbLine(AcGePoint3d(0, y, 0), AcGePoint3d(1, y, 0)));
    }
    void setXData(const AcDbObjectId& id, resbuf* data) {
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenObject(obj, id, AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(obj->setXData(data), Acad::eOk);
        obj->close();
        acutRelRb(data);
    }
    void tag(const AcDbObjectId& id, int index, const AcDbHandle& handle) {
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenObject(obj, id, AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(kxtags::writeEntityTag(obj, index, handle), Acad::eOk);
        obj->close();
    }
    // The entity tag of the object: index (-1 without tag) and handle.
    std::pair<int, AcDbHandle> tagOf(const AcDbObjectId& id) {
        AcDbObject* obj = nullptr;
        EXPECT_EQ(acdbOpenObject(obj, id, AcDb::kForRead, true), Acad::eOk);
        Adesk::Int32 index = -1;
        AcDbHandle handle;
        kxtags::readEntityTag(obj, index, handle);
        obj->close();
        return {index, handle};
    }
    int nextIndex() {
        AcDbObject* obj = nullptr;
        EXPECT_EQ(acdbOpenObject(obj, defId, AcDb::kForRead), Acad::eOk);
        Adesk::Int32 next = -1;
        EXPECT_EQ(kxtags::readNextIndexTag(obj, next), Acad::eOk);
        obj->close();
        return next;
    }

    AcDbDatabase* db = nullptr;
    AcDbObjectId defId;
};

TEST_F(RepTagsTest, BlockTagRoundTripsAndRefusesMalformedData) {
    AcDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(acdbOpenObject(block, defId, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId read;
    EXPECT_EQ(kxtags::readBlockTag(block, read), Acad::eInvalidKey);  // no tag yet
    EXPECT_EQ(kxtags::writeBlockTag(block, defId), Acad::eOk);
    EXPECT_EQ(kxtags::readBlockTag(block, read), Acad::eOk);
    EXPECT_EQ(read, defId);
    EXPECT_TRUE(kxtags::hasBlockTag(block));

    // A null definition is written as "0" and read back as the null id.
    EXPECT_EQ(kxtags::writeBlockTag(block, AcDbObjectId()), Acad::eOk);
    resbuf* data = block->xData(kxtags::kBlockTagApp);
    ASSERT_NE(data, nullptr);
    ASSERT_NE(data->rbnext, nullptr);
    ASSERT_NE(data->rbnext->rbnext, nullptr);
    EXPECT_EQ(data->rbnext->rbnext->restype, 1005);
    EXPECT_STREQ(data->rbnext->rbnext->resval.rstring, L"0");
    acutRelRb(data);
    EXPECT_EQ(kxtags::readBlockTag(block, read), Acad::eOk);
    EXPECT_TRUE(read.isNull());

    // Wrong version, missing handle, trailing groups: all refused.
    const int two = 2;
    const int one = 1;
    const AcString handle = defId.handle().getIntoAsciiBuffer();
    for (resbuf* bad :
         {chain({{1001, kxtags::kBlockTagApp}, {1070, &two}, {1005, handle.kwszPtr()}}),
          chain({{1001, kxtags::kBlockTagApp}, {1070, &one}}),
          chain({{1001, kxtags::kBlockTagApp},
                 {1070, &one},
                 {1005, handle.kwszPtr()},
                 {1000, L"extra"}})}) {
        EXPECT_EQ(block->setXData(bad), Acad::eOk);
        acutRelRb(bad);
        EXPECT_EQ(kxtags::readBlockTag(block, read), Acad::eInvalidKey);
        EXPECT_FALSE(kxtags::hasBlockTag(block));
    }
    block->close();
    EXPECT_EQ(kxtags::readBlockTag(nullptr, read), Acad::eNullObjectPointer);
}

TEST_F(RepTagsTest, EntityTagRoundTripsAndCoexistsWithOtherApplications) {
    const AcDbObjectId line = appendLine(0);
    const AcDbObjectId other = appendLine(1);
    const int one = 1;
    setXData(line, chain({{1001, L"AcDbBlockArrayActionTag"}, {1070, &one}}));
    tag(line, 12, AcDbHandle(0x2A));
    EXPECT_EQ(tagOf(line).first, 12);
    EXPECT_EQ(tagOf(line).second, AcDbHandle(0x2A));

    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenObject(obj, line, AcDb::kForWrite), Acad::eOk);
    resbuf* mark = obj->xData(L"AcDbBlockArrayActionTag");
    EXPECT_NE(mark, nullptr);  // the other application's data stays
    acutRelRb(mark);
    EXPECT_EQ(kxtags::writeEntityTag(obj, -1, AcDbHandle(1)), Acad::eInvalidKey);
    AcDbObject* target = nullptr;
    ASSERT_EQ(acdbOpenObject(target, other, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(kxtags::copyEntityTag(obj, target), Acad::eOk);
    target->close();
    EXPECT_EQ(kxtags::removeEntityTag(obj), Acad::eOk);
    obj->close();
    EXPECT_EQ(tagOf(line).first, -1);
    EXPECT_EQ(tagOf(other).first, 12);
    EXPECT_EQ(tagOf(other).second, AcDbHandle(0x2A));

    Adesk::Int32 index = 0;
    AcDbHandle handle;
    EXPECT_EQ(kxtags::readEntityTag(nullptr, index, handle), kxtags::kNullEntity);
    EXPECT_EQ(kxtags::writeEntityTag(nullptr, 1, handle), kxtags::kNullEntity);
}

TEST_F(RepTagsTest, DamagedEntityTagsAreRefused) {
    const AcDbObjectId line = appendLine(0);
    const int one = 1;
    const int negative = -4;
    const int five = 5;
    for (resbuf* bad :
         {chain({{1001, kxtags::kEntityTagApp}, {1070, &one}, {1071, &five}}),
          chain({{1001, kxtags::kEntityTagApp}, {1070, &one}, {1071, &negative}, {1005, L"2A"}}),
          chain({{1001, kxtags::kEntityTagApp}, {1070, &five}, {1071, &five}, {1005, L"2A"}})}) {
        setXData(line, bad);
        EXPECT_EQ(tagOf(line).first, -1);
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenObject(obj, line, AcDb::kForRead), Acad::eOk);
        Adesk::Int32 index = 0;
        AcDbHandle handle;
        EXPECT_EQ(kxtags::readEntityTag(obj, index, handle), Acad::eInvalidKey);
        obj->close();
    }
}

TEST_F(RepTagsTest, TaggingAFreshDefinitionNumbersEveryLiveEntity) {
    const AcDbObjectId a = appendLine(0);
    const AcDbObjectId erased = appendLine(1);
    const AcDbObjectId b = append(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 2));
    const AcDbObjectId att =
        append(new AcDbAttributeDefinition(AcGePoint3d(0, 0, 0), L"v", L"TAG", L"prompt"));
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenObject(obj, erased, AcDb::kForWrite), Acad::eOk);
    obj->erase();
    obj->close();

    ASSERT_EQ(kxtags::tagDefinition(defId), Acad::eOk);
    EXPECT_EQ(tagOf(a), std::make_pair(0, a.handle()));
    EXPECT_EQ(tagOf(b), std::make_pair(1, b.handle()));
    EXPECT_EQ(tagOf(att), std::make_pair(2, AcDbHandle()));  // attribute definitions: "0"
    EXPECT_EQ(tagOf(erased).first, -1);
    EXPECT_EQ(nextIndex(), 3);

    // Tagging again changes nothing.
    ASSERT_EQ(kxtags::tagDefinition(defId), Acad::eOk);
    EXPECT_EQ(tagOf(a), std::make_pair(0, a.handle()));
    EXPECT_EQ(tagOf(b), std::make_pair(1, b.handle()));
    EXPECT_EQ(tagOf(att), std::make_pair(2, AcDbHandle()));
    EXPECT_EQ(nextIndex(), 3);
    EXPECT_EQ(kxtags::tagDefinition(AcDbObjectId()), Acad::eNullObjectId);
}

TEST_F(RepTagsTest, DuplicateAndForeignTagsAreRenumberedAboveEveryIndexInUse) {
    // No next-index tag: the kept indices 0 and 7 must not be handed out again.
    const AcDbObjectId a = appendLine(0);
    const AcDbObjectId duplicate = appendLine(1);
    const AcDbObjectId untagged = appendLine(2);
    const AcDbObjectId seven = appendLine(3);
    const AcDbObjectId foreign = appendLine(4);
    tag(a, 0, a.handle());
    tag(duplicate, 0, duplicate.handle());  // same index as a
    tag(seven, 7, seven.handle());
    tag(foreign, 3, a.handle());  // copied from another entity

    // The untagged entity sits on a locked layer: it is tagged all the same.
    AcDbLayerTable* layers = nullptr;
    ASSERT_EQ(db->getLayerTable(layers, AcDb::kForWrite), Acad::eOk);
    auto* locked = new AcDbLayerTableRecord();
    locked->setName(L"LOCKED");
    locked->setIsLocked(true);
    AcDbObjectId lockedId;
    ASSERT_EQ(layers->add(lockedId, locked), Acad::eOk);
    locked->close();
    layers->close();
    AcDbEntity* ent = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(ent, untagged, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(ent->setLayer(lockedId), Acad::eOk);
    ent->close();

    ASSERT_EQ(kxtags::tagDefinition(defId), Acad::eOk);
    EXPECT_EQ(tagOf(a), std::make_pair(0, a.handle()));
    EXPECT_EQ(tagOf(seven), std::make_pair(7, seven.handle()));
    EXPECT_EQ(tagOf(duplicate), std::make_pair(8, duplicate.handle()));
    EXPECT_EQ(tagOf(untagged), std::make_pair(9, untagged.handle()));
    EXPECT_EQ(tagOf(foreign), std::make_pair(10, foreign.handle()));
    EXPECT_EQ(nextIndex(), 11);
}

TEST_F(RepTagsTest, AStaleNextIndexTagIsRaisedAboveKeptIndices) {
    const AcDbObjectId a = appendLine(0);
    const AcDbObjectId b = appendLine(1);
    tag(a, 4, a.handle());
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenObject(obj, defId, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(kxtags::writeNextIndexTag(obj, 2), Acad::eOk);
    obj->close();

    ASSERT_EQ(kxtags::tagDefinition(defId), Acad::eOk);
    EXPECT_EQ(tagOf(a).first, 4);
    EXPECT_EQ(tagOf(b).first, 5);
    EXPECT_EQ(nextIndex(), 6);
}

}  // namespace
