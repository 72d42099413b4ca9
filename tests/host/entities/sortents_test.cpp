#include <gtest/gtest.h>

#include "host/db/dictionary.h"
#include "host/db/sortents.h"
#include "host/entities/line.h"
#include "tests/host/entities/entities_test_support.h"

namespace {

using enttest::Open;

class SortentsTest : public enttest::EntityTest {
  protected:
    void SetUp() override {
        EntityTest::SetUp();
        block = addBlock(L"B");
        for (int i = 0; i < 5; ++i) {
            e.append(append(new AcDbLine(AcGePoint3d(i, 0, 0), AcGePoint3d(i, 1, 0)), block));
        }
    }
    AcDbObjectId tableId() {
        Open<AcDbBlockTableRecord> rec(block, AcDb::kForWrite);
        AcDbSortentsTable* table = nullptr;
        EXPECT_EQ(rec->getSortentsTable(table, AcDb::kForRead, true), Acad::eOk);
        const AcDbObjectId id = table->objectId();
        table->close();
        return id;
    }
    AcDbObjectIdArray order() {
        Open<AcDbSortentsTable> table(tableId(), AcDb::kForRead);
        AcDbObjectIdArray ids;
        EXPECT_EQ(table->getFullDrawOrder(ids), Acad::eOk);
        return ids;
    }
    AcDbObjectId block;
    AcDbObjectIdArray e;
};

TEST_F(SortentsTest, TableLivesInTheExtensionDictionaryAndStartsInNaturalOrder) {
    {
        Open<AcDbBlockTableRecord> rec(block, AcDb::kForRead);
        AcDbSortentsTable* table = nullptr;
        EXPECT_EQ(rec->getSortentsTable(table, AcDb::kForRead, false), Acad::eKeyNotFound);
        // Creating needs the block open for write.
        EXPECT_EQ(rec->getSortentsTable(table, AcDb::kForRead, true), Acad::eNotOpenForWrite);
    }
    const AcDbObjectId id = tableId();
    EXPECT_EQ(tableId(), id);  // made once
    Open<AcDbBlockTableRecord> rec(block, AcDb::kForRead);
    Open<AcDbDictionary> dict(rec->extensionDictionary(), AcDb::kForRead);
    AcDbObjectId found;
    ASSERT_EQ(dict->getAt(L"ACAD_SORTENTS", found), Acad::eOk);
    EXPECT_EQ(found, id);
    Open<AcDbSortentsTable> table(id, AcDb::kForRead);
    EXPECT_EQ(table->blockId(), block);
    EXPECT_EQ(table->ownerId(), dict->objectId());
    AcDbObjectIdArray ids;
    ASSERT_EQ(table->getFullDrawOrder(ids), Acad::eOk);
    EXPECT_EQ(ids, e);
}

TEST_F(SortentsTest, RelativeOrderMovesOnlyTheGivenEntities) {
    {
        Open<AcDbSortentsTable> table(tableId(), AcDb::kForWrite);
        // e4 before e1 before e2: they take the places 1, 2, 4 in that order.
        ASSERT_EQ(table->setRelativeDrawOrder(AcDbObjectIdArray({e[4], e[1], e[2]})), Acad::eOk);
    }
    EXPECT_EQ(order(), AcDbObjectIdArray({e[0], e[4], e[1], e[3], e[2]}));
    {
        Open<AcDbSortentsTable> table(tableId(), AcDb::kForWrite);
        ASSERT_EQ(table->moveToTop(AcDbObjectIdArray({e[0]})), Acad::eOk);
        ASSERT_EQ(table->moveToBottom(AcDbObjectIdArray({e[3]})), Acad::eOk);
        bool before = false;
        ASSERT_EQ(table->firstEntityIsDrawnBeforeSecond(e[0], e[2], before), Acad::eOk);
        EXPECT_FALSE(before);
        AcDbObjectIdArray some({e[0], e[3], e[1]});
        ASSERT_EQ(table->getRelativeDrawOrder(some), Acad::eOk);
        EXPECT_EQ(some, AcDbObjectIdArray({e[3], e[1], e[0]}));
    }
    EXPECT_EQ(order(), AcDbObjectIdArray({e[3], e[4], e[1], e[2], e[0]}));
}

TEST_F(SortentsTest, BadInputChangesNothing) {
    Open<AcDbSortentsTable> table(tableId(), AcDb::kForWrite);
    const AcDbObjectId outsider = append(new AcDbLine());
    EXPECT_EQ(table->setRelativeDrawOrder(AcDbObjectIdArray({e[1], outsider})),
              Acad::eInvalidInput);
    EXPECT_EQ(table->setRelativeDrawOrder(AcDbObjectIdArray({e[1], e[1]})), Acad::eInvalidInput);
    EXPECT_EQ(table->setRelativeDrawOrder(AcDbObjectIdArray({AcDbObjectId::kNull})),
              Acad::eInvalidInput);
    EXPECT_EQ(table->moveToTop(AcDbObjectIdArray({block})), Acad::eInvalidInput);
    AcDbObjectIdArray ids;
    table->getFullDrawOrder(ids);
    EXPECT_EQ(ids, e);
    table->downgradeOpen();
    EXPECT_EQ(table->setRelativeDrawOrder(AcDbObjectIdArray({e[1], e[0]})), Acad::eNotOpenForWrite);
    AcDbSortentsTable loose;
    EXPECT_EQ(loose.getFullDrawOrder(ids), Acad::eNullObjectId);
}

TEST_F(SortentsTest, ErasedEntitiesDropOutAndNewOnesAreDrawnLast) {
    {
        Open<AcDbSortentsTable> table(tableId(), AcDb::kForWrite);
        ASSERT_EQ(table->setRelativeDrawOrder(AcDbObjectIdArray({e[3], e[0]})), Acad::eOk);
    }
    {
        Open<AcDbLine> line(e[1], AcDb::kForWrite);
        line->erase();
    }
    const AcDbObjectId added = append(new AcDbLine(), block);
    EXPECT_EQ(order(), AcDbObjectIdArray({e[3], e[2], e[0], e[4], added}));
}

TEST_F(SortentsTest, FilingKeepsTheOrderAsSoftPointers) {
    {
        Open<AcDbSortentsTable> table(tableId(), AcDb::kForWrite);
        table->setRelativeDrawOrder(AcDbObjectIdArray({e[4], e[0]}));
    }
    Open<AcDbSortentsTable> table(tableId(), AcDb::kForRead);
    enttest::Owned<AcDbObject> copy;
    ASSERT_TRUE(enttest::dwgRoundTrip(table.obj, AcDb::kFileFiler, &copy));
    ASSERT_TRUE(enttest::dxfRoundTrip(table.obj, &db));
    kxhost::DwgMemoryFiler filer(AcDb::kIdXlateFiler);
    table->dwgOutFields(&filer);
    int softPointers = 0;
    for (const auto& item : filer.items()) {
        softPointers += item.kind == kxhost::DwgMemoryFiler::ItemKind::kSoftPointerId ? 1 : 0;
    }
    EXPECT_GE(softPointers, 6);  // the block and the five entities (the owner too)

    // Ids that a translation made null are dropped when read.
    kxhost::DwgMemoryFiler nulled(AcDb::kFileFiler);
    enttest::replay(filer, nulled, -1, [&](int, kxhost::DwgMemoryFiler::Item& item) {
        if (static_cast<Adesk::Int64>(item.bits) == e[4].asOldId()) {
            item.bits = 0;
        }
    });
    nulled.setFilerType(AcDb::kIdXlateFiler);
    nulled.rewind();
    AcDbSortentsTable read;
    ASSERT_EQ(read.dwgInFields(&nulled), Acad::eOk);
    ASSERT_EQ(read.setBlockId(block), Acad::eOk);
    AcDbObjectIdArray ids;
    ASSERT_EQ(read.getFullDrawOrder(ids), Acad::eOk);
    // The stored order was e4, e1, e2, e3, e0; e4 lost its place and is drawn after the others.
    EXPECT_EQ(ids, AcDbObjectIdArray({e[1], e[2], e[3], e[0], e[4]}));
}

}  // namespace
