// Cloning blocks, their entities and references: the commands that build blocks, insert and
// wblock drawings, explode references, and the draw order that travels with a block.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "host/db/blocktable.h"
#include "host/db/sortents.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/line.h"
#include "host/entities/objectiterator.h"
#include "tests/host/clone/clone_test_support.h"

using clonetest::Chain;
using clonetest::Open;

namespace {

class BlockCloneTest : public CloneTest {
  protected:
    static std::wstring handleText(AcDbObjectId id) {
        return id.handle().getIntoAsciiBuffer().kwszPtr();
    }

    // A new block of that name ("*U" for an anonymous one).
    static AcDbObjectId addBlock(AcDbDatabase& db, const ACHAR* name) {
        auto* record = new AcDbBlockTableRecord();
        EXPECT_EQ(record->setName(name), Acad::eOk);
        AcDbBlockTable* table = nullptr;
        EXPECT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(table->add(id, record), Acad::eOk);
        record->close();
        table->close();
        return id;
    }

    // Appends an entity to the block and closes it.
    static AcDbObjectId append(AcDbObjectId blockId, AcDbEntity* ent) {
        Open<AcDbBlockTableRecord> block(blockId, AcDb::kForWrite);
        EXPECT_EQ(block.status, Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(block->appendAcDbEntity(id, ent), Acad::eOk);
        ent->close();
        return id;
    }

    static AcDbObjectId addLine(AcDbObjectId blockId, double x) {
        return append(blockId, new AcDbLine(AcGePoint3d(x, 0, 0), AcGePoint3d(x, 1, 0)));
    }

    static AcDbObjectId addReference(AcDbObjectId ownerBlock, AcDbObjectId block,
                                     const AcGePoint3d& at = AcGePoint3d::kOrigin) {
        return append(ownerBlock, new AcDbBlockReference(at, block));
    }

    // Tags an entity as a representation entity does: a flag, its index and its own handle.
    static void tagEntity(AcDbObjectId id, int index) {
        Open<AcDbEntity> ent(id, AcDb::kForWrite);
        ASSERT_EQ(ent.status, Acad::eOk);
        Chain tag(acutBuildList(1001, L"AcDbBlockRepETag", 1070, 1, 1071, index, 1005,
                                handleText(id).c_str(), 0));
        ASSERT_EQ(ent->setXData(tag.head), Acad::eOk);
    }

    static Chain* tagOf(AcDbObjectId id) {
        Open<AcDbEntity> ent(id, AcDb::kForRead);
        return new Chain(ent.obj != nullptr ? ent->xData(L"AcDbBlockRepETag") : nullptr);
    }

    static AcDbObjectIdArray entitiesOf(AcDbObjectId blockId) {
        return kxhost::blockEntityIds(blockId);
    }

    static AcString nameOf(AcDbObjectId recordId) {
        Open<AcDbSymbolTableRecord> rec(recordId, AcDb::kForRead);
        return rec.obj != nullptr ? AcString(rec->name()) : AcString(L"");
    }

    static AcDbObjectId blockOfReference(AcDbObjectId refId) {
        Open<AcDbBlockReference> ref(refId, AcDb::kForRead);
        return ref.obj != nullptr ? ref->blockTableRecord() : AcDbObjectId::kNull;
    }

    static AcGePoint3d startOf(AcDbObjectId lineId) {
        Open<AcDbLine> line(lineId, AcDb::kForRead);
        return line.obj != nullptr ? line->startPoint() : AcGePoint3d(-1e9, 0, 0);
    }
};

TEST_F(BlockCloneTest, EntitiesClonedIntoANewBlockKeepTheirTagsNamingThemselves) {
    AcDbDatabase db;
    const AcDbObjectId definition = addBlock(db, L"DOOR");
    const AcDbObjectId first = addLine(definition, 1);
    const AcDbObjectId second = addLine(definition, 2);
    tagEntity(first, 1);
    tagEntity(second, 2);

    RecordingEventReactor reactor;
    AcDbIdMapping map;
    AcDbObjectId made;
    ASSERT_EQ(kxhost::makeBlock(AcDbObjectIdArray{first, second}, L"DOOR_COPY", made, map),
              Acad::eOk);
    EXPECT_EQ(reactor.beginContext, AcDb::kDcBlock);
    EXPECT_EQ(nameOf(made), AcString(L"DOOR_COPY"));

    const AcDbObjectIdArray copies = entitiesOf(made);
    ASSERT_EQ(copies.length(), 2);
    EXPECT_EQ(copies[0], cloneOf(map, first));
    EXPECT_EQ(copies[1], cloneOf(map, second));
    for (int i = 0; i < 2; ++i) {
        Open<AcDbEntity> ent(copies[i], AcDb::kForRead);
        EXPECT_EQ(ent->ownerId(), made);
        std::unique_ptr<Chain> tag(tagOf(copies[i]));
        ASSERT_NE(tag->head, nullptr);
        EXPECT_EQ(tag->head->rbnext->resval.rint, 1);
        EXPECT_EQ(tag->head->rbnext->rbnext->resval.rlong, i + 1);
        EXPECT_EQ(clonetest::textAt(tag->head, 1005), handleText(copies[i]));
    }
    // The definition keeps its entities and its own tags.
    EXPECT_EQ(entitiesOf(definition).length(), 2);
    std::unique_ptr<Chain> original(tagOf(first));
    EXPECT_EQ(clonetest::textAt(original->head, 1005), handleText(first));

    // A block name that is taken fails, and the failed command leaves no block behind.
    AcDbIdMapping again;
    AcDbObjectId none;
    EXPECT_EQ(kxhost::makeBlock(AcDbObjectIdArray{first}, L"DOOR", none, again),
              Acad::eDuplicateRecordName);
    EXPECT_TRUE(none.isNull());
}

TEST_F(BlockCloneTest, WblockOfAReferenceBringsItsBlocksOnce) {
    AcDbDatabase source;
    const AcDbObjectId inner = addBlock(source, L"INNER");
    addLine(inner, 5);
    const AcDbObjectId outer = addBlock(source, L"OUTER");
    addLine(outer, 1);
    addReference(outer, inner);
    const AcDbObjectId space = source.modelSpaceId();
    const AcDbObjectId ref1 = addReference(space, outer, AcGePoint3d(10, 0, 0));
    const AcDbObjectId ref2 = addReference(space, outer, AcGePoint3d(20, 0, 0));

    RecordingEventReactor reactor;
    AcDbIdMapping map;
    AcDbDatabase* target = nullptr;
    ASSERT_EQ(kxhost::wblockToNewDrawing(AcDbObjectIdArray{ref1, ref2}, target, map), Acad::eOk);
    ASSERT_NE(target, nullptr);
    std::unique_ptr<AcDbDatabase> owned(target);
    EXPECT_EQ(reactor.beginContext, AcDb::kDcWblock);
    EXPECT_EQ(reactor.beginDest, target);
    EXPECT_EQ(acdbHostApplicationServices()->workingDatabase() == target, false);

    const AcDbObjectIdArray placed = entitiesOf(target->modelSpaceId());
    ASSERT_EQ(placed.length(), 2);
    const AcDbObjectId outerCopy = blockOfReference(placed[0]);
    EXPECT_EQ(outerCopy, blockOfReference(placed[1]));
    ASSERT_EQ(outerCopy.database(), target);
    EXPECT_EQ(outerCopy, cloneOf(map, outer));
    EXPECT_EQ(nameOf(outerCopy), AcString(L"OUTER"));

    // The nested block came along with the block that uses it.
    const AcDbObjectIdArray outerEntities = entitiesOf(outerCopy);
    ASSERT_EQ(outerEntities.length(), 2);
    const AcDbObjectId innerCopy = blockOfReference(outerEntities[1]);
    ASSERT_EQ(innerCopy.database(), target);
    EXPECT_EQ(nameOf(innerCopy), AcString(L"INNER"));
    ASSERT_EQ(entitiesOf(innerCopy).length(), 1);
    EXPECT_EQ(startOf(entitiesOf(innerCopy)[0]).x, 5);

    AcDbBlockTable* table = nullptr;
    ASSERT_EQ(target->getBlockTable(table, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(table->numEntries(), 4);  // model space, paper space, OUTER, INNER
    table->close();
}

TEST_F(BlockCloneTest, InsertingADrawingTwiceReusesItsNamedBlocksAndRenamesAnonymousOnes) {
    AcDbDatabase source;
    const AcDbObjectId named = addBlock(source, L"CHAIR");
    addLine(named, 1);
    const AcDbObjectId anonymous = addBlock(source, L"*U");
    addLine(anonymous, 2);
    addReference(source.modelSpaceId(), named);
    addReference(source.modelSpaceId(), anonymous);
    AcDbDatabase dest;

    AcDbIdMapping first;
    AcDbObjectId room1;
    RecordingEventReactor reactor;
    ASSERT_EQ(kxhost::insertDrawing(&source, &dest, L"ROOM1", room1, first), Acad::eOk);
    EXPECT_EQ(reactor.beginContext, AcDb::kDcInsert);
    const AcDbObjectId chair = cloneOf(first, named);
    ASSERT_FALSE(chair.isNull());
    const AcDbObjectId anon1 = cloneOf(first, anonymous);
    ASSERT_FALSE(anon1.isNull());

    AcDbIdMapping second;
    AcDbObjectId room2;
    ASSERT_EQ(kxhost::insertXrefDrawing(&source, &dest, L"ROOM2", room2, second), Acad::eOk);
    EXPECT_EQ(reactor.beginContext, AcDb::kDcXrefInsert);
    // The named block is there already: it stands for the source's, nothing is cloned.
    AcDbIdPair pair(named, AcDbObjectId::kNull, false);
    ASSERT_TRUE(second.compute(pair));
    EXPECT_FALSE(pair.isCloned());
    EXPECT_EQ(pair.value(), chair);
    // The anonymous one is cloned again under a new anonymous name.
    const AcDbObjectId anon2 = cloneOf(second, anonymous);
    ASSERT_FALSE(anon2.isNull());
    EXPECT_NE(anon2, anon1);
    EXPECT_NE(nameOf(anon2), nameOf(anon1));
    EXPECT_TRUE(kxhost::isAnonymousBlockName(nameOf(anon2).kwszPtr()));

    const AcDbObjectIdArray placed = entitiesOf(room2);
    ASSERT_EQ(placed.length(), 2);
    EXPECT_EQ(blockOfReference(placed[0]), chair);
    EXPECT_EQ(blockOfReference(placed[1]), anon2);
    EXPECT_EQ(entitiesOf(chair).length(), 1);
}

TEST_F(BlockCloneTest, MangledRecordCloningRenamesInsteadOfReusing) {
    AcDbDatabase source;
    AcDbDatabase dest;
    const AcDbObjectId block = addBlock(source, L"TABLE");
    addLine(block, 3);
    addBlock(dest, L"TABLE");
    AcDbIdMapping map;
    ASSERT_EQ(source.wblockCloneObjects(AcDbObjectIdArray{block}, dest.blockTableId(), map,
                                        AcDb::kDrcMangleName),
              Acad::eOk);
    const AcDbObjectId copy = cloneOf(map, block);
    ASSERT_FALSE(copy.isNull());
    EXPECT_EQ(nameOf(copy), AcString(L"$0$TABLE"));
    ASSERT_EQ(entitiesOf(copy).length(), 1);
    EXPECT_EQ(startOf(entitiesOf(copy)[0]).x, 3);

    AcDbIdMapping ignore;
    ASSERT_EQ(source.wblockCloneObjects(AcDbObjectIdArray{block}, dest.blockTableId(), ignore,
                                        AcDb::kDrcIgnore),
              Acad::eOk);
    EXPECT_TRUE(cloneOf(ignore, block).isNull());
}

TEST_F(BlockCloneTest, DrawOrderTravelsWithTheBlockThroughTheMap) {
    AcDbDatabase source;
    const AcDbObjectId block = addBlock(source, L"*U");
    const AcDbObjectId a = addLine(block, 1);
    const AcDbObjectId b = addLine(block, 2);
    const AcDbObjectId c = addLine(block, 3);
    {
        Open<AcDbBlockTableRecord> rec(block, AcDb::kForWrite);
        AcDbSortentsTable* sort = nullptr;
        ASSERT_EQ(rec->getSortentsTable(sort, AcDb::kForWrite, true), Acad::eOk);
        ASSERT_EQ(sort->setRelativeDrawOrder(AcDbObjectIdArray{c, a, b}), Acad::eOk);
        sort->close();
    }
    const AcDbObjectId ref = addReference(source.modelSpaceId(), block);

    for (bool acrossDrawings : {false, true}) {
        SCOPED_TRACE(acrossDrawings ? "pasted into another drawing" : "copied in place");
        AcDbDatabase other;
        AcDbDatabase& dest = acrossDrawings ? other : source;
        AcDbIdMapping map;
        AcDbObjectId copiedBlock;
        if (acrossDrawings) {
            // The reference brings its block along.
            ASSERT_EQ(kxhost::pasteObjects(AcDbObjectIdArray{ref}, dest.modelSpaceId(), map),
                      Acad::eOk);
            copiedBlock = blockOfReference(cloneOf(map, ref));
        } else {
            ASSERT_EQ(kxhost::copyObjects(AcDbObjectIdArray{block}, source.blockTableId(), map),
                      Acad::eOk);
            copiedBlock = cloneOf(map, block);
        }
        ASSERT_FALSE(copiedBlock.isNull());
        ASSERT_NE(copiedBlock, block);
        ASSERT_EQ(copiedBlock.database(), &dest);

        Open<AcDbBlockTableRecord> rec(copiedBlock, AcDb::kForWrite);
        ASSERT_EQ(rec.status, Acad::eOk);
        AcDbSortentsTable* sort = nullptr;
        ASSERT_EQ(rec->getSortentsTable(sort, AcDb::kForRead), Acad::eOk);
        EXPECT_EQ(sort->blockId(), copiedBlock);
        AcDbObjectIdArray order;
        EXPECT_EQ(sort->getFullDrawOrder(order), Acad::eOk);
        sort->close();
        EXPECT_EQ(order, (AcDbObjectIdArray{cloneOf(map, c), cloneOf(map, a), cloneOf(map, b)}));
    }
}

TEST_F(BlockCloneTest, ReferenceAttributesAreClonedWithTheirReference) {
    AcDbDatabase source;
    AcDbDatabase dest;
    const AcDbObjectId block = addBlock(source, L"TAGGED");
    addLine(block, 0);
    const AcDbObjectId ref = addReference(source.modelSpaceId(), block);
    AcDbObjectId attId;
    {
        Open<AcDbBlockReference> r(ref, AcDb::kForWrite);
        auto* att = new AcDbAttribute(AcGePoint3d(1, 2, 0), L"value", L"TAG");
        ASSERT_EQ(r->appendAttribute(attId, att), Acad::eOk);
        att->close();
    }
    AcDbIdMapping map;
    ASSERT_EQ(kxhost::pasteObjects(AcDbObjectIdArray{ref}, dest.modelSpaceId(), map), Acad::eOk);
    const AcDbObjectId copy = cloneOf(map, ref);
    const AcDbObjectId attCopy = cloneOf(map, attId);
    ASSERT_FALSE(attCopy.isNull());
    Open<AcDbBlockReference> r(copy, AcDb::kForRead);
    std::unique_ptr<AcDbObjectIterator> it(r->attributeIterator());
    ASSERT_NE(it, nullptr);
    it->start();
    ASSERT_FALSE(it->done());
    EXPECT_EQ(it->objectId(), attCopy);
    it->step();
    EXPECT_TRUE(it->done());
    Open<AcDbAttribute> att(attCopy, AcDb::kForRead);
    EXPECT_EQ(att->ownerId(), copy);
    EXPECT_EQ(att->tag(), AcString(L"TAG"));
    EXPECT_EQ(att->layerId(), dest.layerZero());  // never a layer of the other drawing
}

TEST_F(BlockCloneTest, ExplodePutsTheBlockEntitiesWhereTheReferenceShowedThem) {
    AcDbDatabase db;
    const AcDbObjectId block = addBlock(db, L"POST");
    const AcDbObjectId line = addLine(block, 1);
    const AcDbObjectId ref = addReference(db.modelSpaceId(), block, AcGePoint3d(100, 50, 0));
    RecordingEventReactor reactor;
    AcDbIdMapping map;
    ASSERT_EQ(kxhost::explodeReference(ref, map), Acad::eOk);
    EXPECT_EQ(reactor.events, (std::vector<std::wstring>{L"begin", L"xlation", L"end"}));
    EXPECT_EQ(reactor.beginContext, AcDb::kDcExplode);
    EXPECT_TRUE(ref.isErased());
    const AcDbObjectId piece = cloneOf(map, line);
    ASSERT_FALSE(piece.isNull());
    EXPECT_EQ(startOf(piece), AcGePoint3d(101, 50, 0));
    EXPECT_EQ(startOf(line), AcGePoint3d(1, 0, 0));
    Open<AcDbEntity> ent(piece, AcDb::kForRead);
    EXPECT_EQ(ent->ownerId(), db.modelSpaceId());

    AcDbIdMapping notARef;
    EXPECT_EQ(kxhost::explodeReference(line, notARef), Acad::eWrongObjectType);
}

}  // namespace
