// Object-level deep and wblock cloning: what is cloned, where it goes, what the map records.
#include <gtest/gtest.h>

#include "host/core/heap.h"
#include "host/db/dictionary.h"
#include "host/db/regapp.h"
#include "host/db/xrecord.h"
#include "tests/host/clone/clone_test_support.h"

using clonetest::Chain;
using clonetest::Open;

namespace {

class ObjectCloneTest : public CloneTest {
  protected:
    // A source node with one object of each id kind around it:
    //   hard-owned child, soft-owned child, hard pointer target, soft pointer target.
    void buildSource(AcDbDatabase& db) {
        source = addNode(db, 1);
        hardChild = addNode(db, 2);
        softChild = addNode(db, 3);
        hardTarget = addNode(db, 4);
        softTarget = addNode(db, 5);
        grandChild = addNode(db, 6);
        editNode(source, [&](KxCloneNode* n) {
            n->hardOwned.append(hardChild);
            n->softOwned = softChild;
            n->hardPointer = hardTarget;
            n->softPointer = softTarget;
        });
        editNode(hardChild, [&](KxCloneNode* n) {
            n->setOwnerId(source);
            n->hardOwned.append(grandChild);
        });
        editNode(softChild, [&](KxCloneNode* n) { n->setOwnerId(source); });
        editNode(grandChild, [&](KxCloneNode* n) { n->setOwnerId(hardChild); });
    }

    AcDbObjectId source, hardChild, softChild, hardTarget, softTarget, grandChild;
};

TEST_F(ObjectCloneTest, DeepCloneFollowsOwnershipIdsOnly) {
    AcDbDatabase db;
    buildSource(db);
    const AcDbObjectId owner = addNode(db, 100);
    const long objectsBefore = kxhost::objectCount(&db);

    AcDbIdMapping map;
    AcDbObject* clone = nullptr;
    {
        Open<KxCloneNode> src(source, AcDb::kForRead);
        Open<KxCloneNode> own(owner, AcDb::kForWrite);
        ASSERT_EQ(src->deepClone(own.obj, clone, map, true), Acad::eOk);
    }
    ASSERT_NE(clone, nullptr);
    EXPECT_TRUE(clone->isWriteEnabled());  // handed back open: the caller closes it
    const AcDbObjectId cloneId = clone->objectId();
    EXPECT_EQ(clone->isA(), KxCloneNode::desc());
    clone->close();

    // The source, its two owned children and the grandchild: four clones, nothing else.
    EXPECT_EQ(kxhost::objectCount(&db), objectsBefore + 4);
    EXPECT_EQ(map.numPairs(), 4);
    EXPECT_EQ(cloneOf(map, hardTarget), AcDbObjectId::kNull);
    EXPECT_EQ(cloneOf(map, softTarget), AcDbObjectId::kNull);

    AcDbIdPair pair(source, AcDbObjectId::kNull, false);
    ASSERT_TRUE(map.compute(pair));
    EXPECT_EQ(pair.value(), cloneId);
    EXPECT_TRUE(pair.isCloned());
    EXPECT_TRUE(pair.isPrimary());
    EXPECT_TRUE(pair.isOwnerXlated());
    for (AcDbObjectId owned : {hardChild, softChild, grandChild}) {
        AcDbIdPair child(owned, AcDbObjectId::kNull, false);
        ASSERT_TRUE(map.compute(child));
        EXPECT_TRUE(child.isCloned());
        EXPECT_FALSE(child.isPrimary());
        EXPECT_TRUE(child.isOwnerXlated());
        EXPECT_NE(child.value(), owned);
    }

    // The clone belongs to the owner it was cloned for; owned clones belong to their owner's
    // clone. Until the map is translated the clone still names the source's objects.
    const NodeView view = viewNode(cloneId);
    EXPECT_EQ(view.value, 1);
    EXPECT_EQ(view.owner, owner);
    ASSERT_EQ(view.hardOwned.length(), 1);
    EXPECT_EQ(view.hardOwned[0], hardChild);
    EXPECT_EQ(viewNode(cloneOf(map, hardChild)).owner, cloneId);
    EXPECT_EQ(viewNode(cloneOf(map, softChild)).owner, cloneId);
    EXPECT_EQ(viewNode(cloneOf(map, grandChild)).owner, cloneOf(map, hardChild));
    EXPECT_EQ(viewNode(cloneOf(map, grandChild)).value, 6);

    ASSERT_EQ(kxhost::translateClonedIds(map), Acad::eOk);
    const NodeView after = viewNode(cloneId);
    ASSERT_EQ(after.hardOwned.length(), 1);
    EXPECT_EQ(after.hardOwned[0], cloneOf(map, hardChild));
    EXPECT_EQ(after.softOwned, cloneOf(map, softChild));
    // Pointers to objects that were not cloned stay: they are of the same drawing.
    EXPECT_EQ(after.hardPointer, hardTarget);
    EXPECT_EQ(after.softPointer, softTarget);
    EXPECT_EQ(after.owner, owner);

    // The source is untouched.
    const NodeView src = viewNode(source);
    EXPECT_EQ(src.hardOwned[0], hardChild);
    EXPECT_EQ(src.softOwned, softChild);
}

TEST_F(ObjectCloneTest, AnIdClonedAlreadyAnswersItsCloneAndOwnershipCyclesEnd) {
    AcDbDatabase db;
    const AcDbObjectId a = addNode(db, 1);
    const AcDbObjectId b = addNode(db, 2);
    // A damaged drawing: each owns the other.
    editNode(a, [&](KxCloneNode* n) { n->hardOwned.append(b); });
    editNode(b, [&](KxCloneNode* n) { n->hardOwned.append(a); });
    const AcDbObjectId owner = addNode(db);

    AcDbIdMapping map;
    AcDbObject* first = nullptr;
    {
        Open<KxCloneNode> src(a, AcDb::kForRead);
        Open<KxCloneNode> own(owner, AcDb::kForWrite);
        ASSERT_EQ(src->deepClone(own.obj, first, map, true), Acad::eOk);
        ASSERT_NE(first, nullptr);
        const AcDbObjectId firstId = first->objectId();
        first->close();
        EXPECT_EQ(map.numPairs(), 2);

        // Asking again gives the same clone, opened for the caller, and adds nothing.
        AcDbObject* again = nullptr;
        ASSERT_EQ(src->deepClone(own.obj, again, map, false), Acad::eOk);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->objectId(), firstId);
        again->close();
        AcDbObject* viaWblock = nullptr;
        ASSERT_EQ(src->wblockClone(own.obj, viaWblock, map, false), Acad::eOk);
        ASSERT_NE(viaWblock, nullptr);
        EXPECT_EQ(viaWblock->objectId(), firstId);
        viaWblock->close();
    }
    EXPECT_EQ(map.numPairs(), 2);
    ASSERT_EQ(kxhost::translateClonedIds(map), Acad::eOk);
    EXPECT_EQ(viewNode(cloneOf(map, a)).hardOwned[0], cloneOf(map, b));
    EXPECT_EQ(viewNode(cloneOf(map, b)).hardOwned[0], cloneOf(map, a));
}

TEST_F(ObjectCloneTest, ObjectsThatCannotBeClonedAreRefused) {
    AcDbDatabase db;
    const AcDbObjectId owner = addNode(db);
    const long before = kxhost::objectCount(&db);
    AcDbIdMapping map;
    Open<KxCloneNode> own(owner, AcDb::kForWrite);

    // No pseudo-constructor.
    auto* abstractObj = new KxCloneAbstract();
    AcDbObjectId abstractId;
    ASSERT_EQ(db.addAcDbObject(abstractId, abstractObj), Acad::eOk);
    AcDbObject* clone = reinterpret_cast<AcDbObject*>(0x1);
    EXPECT_EQ(abstractObj->deepClone(own.obj, clone, map, true), Acad::eNotApplicable);
    EXPECT_EQ(clone, nullptr);
    EXPECT_EQ(abstractObj->wblockClone(own.obj, clone, map, true), Acad::eNotApplicable);
    abstractObj->close();

    // Not in a database: there is no key to record.
    KxCloneNode loose;
    EXPECT_EQ(loose.deepClone(own.obj, clone, map, true), Acad::eNotInDatabase);
    EXPECT_EQ(clone, nullptr);

    // An owner that is neither an object nor a database.
    AcDbIdMapping notAnOwner;
    {
        Open<KxCloneNode> src(owner, AcDb::kForRead);
        EXPECT_EQ(src->wblockClone(&notAnOwner, clone, map, true), Acad::eWrongObjectType);
    }

    // The clone filing breaks: nothing stays behind.
    auto* broken = new KxCloneBroken();
    AcDbObjectId brokenId;
    ASSERT_EQ(db.addAcDbObject(brokenId, broken), Acad::eOk);
    const long heapBefore = kxhost::heapLiveBlocks();
    EXPECT_EQ(broken->deepClone(own.obj, clone, map, true), Acad::eFilerError);
    EXPECT_EQ(clone, nullptr);
    EXPECT_EQ(kxhost::heapLiveBlocks(), heapBefore);
    broken->close();

    EXPECT_EQ(map.numPairs(), 0);
    EXPECT_EQ(kxhost::objectCount(&db), before + 2);  // the two objects made above, no clone
}

TEST_F(ObjectCloneTest, AFailingOwnedObjectFailsItsOwnersClone) {
    AcDbDatabase db;
    const AcDbObjectId parent = addNode(db, 1);
    auto* broken = new KxCloneBroken();
    AcDbObjectId brokenId;
    ASSERT_EQ(db.addAcDbObject(brokenId, broken), Acad::eOk);
    broken->close();
    editNode(parent, [&](KxCloneNode* n) { n->hardOwned.append(brokenId); });
    const AcDbObjectId owner = addNode(db);

    AcDbIdMapping map;
    AcDbObject* clone = nullptr;
    Open<KxCloneNode> src(parent, AcDb::kForRead);
    Open<KxCloneNode> own(owner, AcDb::kForWrite);
    EXPECT_EQ(src->deepClone(own.obj, clone, map, true), Acad::eFilerError);
    EXPECT_EQ(clone, nullptr);
    // The owner's clone was made and recorded before its owned objects; the database-level
    // calls erase it when they abort.
    const AcDbObjectId made = cloneOf(map, parent);
    ASSERT_FALSE(made.isNull());
    Open<KxCloneNode> check(made, AcDb::kForRead);
    EXPECT_EQ(check.status, Acad::eOk);  // closed by the failed call, so it opens again
}

TEST_F(ObjectCloneTest, ClonesKeepExtendedDataAndRegisterItsApplications) {
    AcDbDatabase source;
    AcDbDatabase dest;
    const AcDbObjectId node = addNode(source, 1);
    editNode(node, [](KxCloneNode* n) {
        Chain xdata(acutBuildList(1001, L"KX_CLONE_APP", 1070, 7, 1071, 123456, 1000, L"tag", 1001,
                                  L"KX_OTHER_APP", 1040, 2.5, 0));
        ASSERT_EQ(n->setXData(xdata.head), Acad::eOk);
    });
    const AcDbObjectId destOwner = addNode(dest);

    for (bool wblock : {false, true}) {
        AcDbIdMapping map;
        AcDbObject* clone = nullptr;
        {
            Open<KxCloneNode> src(node, AcDb::kForRead);
            Open<KxCloneNode> own(destOwner, AcDb::kForWrite);
            ASSERT_EQ(wblock ? src->wblockClone(own.obj, clone, map, true)
                             : src->deepClone(own.obj, clone, map, true),
                      Acad::eOk);
        }
        ASSERT_NE(clone, nullptr);
        EXPECT_EQ(clone->database(), &dest);
        Chain got(clone->xData());
        Chain want(nullptr);
        {
            Open<KxCloneNode> src(node, AcDb::kForRead);
            want.head = src->xData();
        }
        clone->close();
        ASSERT_NE(got.head, nullptr);
        int n = 0;
        for (const resbuf *g = got.head, *w = want.head; g != nullptr || w != nullptr;
             g = g->rbnext, w = w->rbnext, ++n) {
            ASSERT_TRUE(g != nullptr && w != nullptr) << "item " << n;
            EXPECT_EQ(g->restype, w->restype) << "item " << n;
        }
        EXPECT_EQ(clonetest::textAt(got.head, 1000), L"tag");
        EXPECT_EQ(got.head->rbnext->rbnext->resval.rlong, 123456);
    }
    AcDbRegAppTable* table = nullptr;
    ASSERT_EQ(dest.getRegAppTable(table, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(table->has(L"KX_CLONE_APP"));
    EXPECT_TRUE(table->has(L"KX_OTHER_APP"));
    table->close();
}

TEST_F(ObjectCloneTest, WblockCloneIntoADatabaseKeepsTheOwnerForTheMapToTranslate) {
    AcDbDatabase source;
    AcDbDatabase dest;
    const AcDbObjectId sourceOwner = addNode(source, 10);
    const AcDbObjectId mappedChild = addNode(source, 1);
    const AcDbObjectId strayChild = addNode(source, 2);
    editNode(mappedChild, [&](KxCloneNode* n) { n->setOwnerId(sourceOwner); });
    const AcDbObjectId strayOwner = addNode(source, 11);
    editNode(strayChild, [&](KxCloneNode* n) { n->setOwnerId(strayOwner); });
    const AcDbObjectId destOwner = addNode(dest, 20);

    AcDbIdMapping map;
    map.setDestDb(&dest);
    // Used for mapping only: the source owner stands for the destination owner.
    map.assign(AcDbIdPair(sourceOwner, destOwner, false, true, true));
    for (AcDbObjectId id : {mappedChild, strayChild}) {
        AcDbObject* clone = nullptr;
        Open<KxCloneNode> src(id, AcDb::kForRead);
        ASSERT_EQ(src->wblockClone(&dest, clone, map, true), Acad::eOk);
        ASSERT_NE(clone, nullptr);
        EXPECT_EQ(clone->database(), &dest);
        EXPECT_EQ(clone->ownerId(), id == mappedChild ? sourceOwner : strayOwner);
        clone->close();
    }
    // A null owner means the map's destination as well.
    AcDbObject* third = nullptr;
    {
        const AcDbObjectId another = addNode(source, 3);
        Open<KxCloneNode> src(another, AcDb::kForRead);
        ASSERT_EQ(src->wblockClone(nullptr, third, map, true), Acad::eOk);
        ASSERT_NE(third, nullptr);
        EXPECT_EQ(third->database(), &dest);
        third->close();
    }

    ASSERT_EQ(kxhost::translateClonedIds(map), Acad::eOk);
    EXPECT_EQ(viewNode(cloneOf(map, mappedChild)).owner, destOwner);
    EXPECT_TRUE(viewNode(cloneOf(map, strayChild)).owner.isNull());
    // The pair assigned as not cloned was used, not translated: the destination owner is as it
    // was (its value is not of the source).
    EXPECT_EQ(viewNode(destOwner).value, 20);
}

TEST_F(ObjectCloneTest, DictionaryEntriesAndExtensionDictionariesGoAlong) {
    AcDbDatabase db;
    const AcDbObjectId node = addNode(db, 1);
    AcDbObjectId entryId;
    {
        Open<KxCloneNode> n(node, AcDb::kForWrite);
        ASSERT_EQ(n->createExtensionDictionary(), Acad::eOk);
        Open<AcDbDictionary> ext(n->extensionDictionary(), AcDb::kForWrite);
        ASSERT_EQ(ext.status, Acad::eOk);
        auto* entry = new AcDbXrecord();
        Chain items(acutBuildList(1, L"payload", 0));
        ASSERT_EQ(entry->setFromRbChain(*items.head), Acad::eOk);
        ASSERT_EQ(ext->setAt(L"KX_ENTRY", entry, entryId), Acad::eOk);
        entry->close();
    }
    const AcDbObjectId owner = addNode(db);
    AcDbIdMapping map;
    ASSERT_EQ(kxhost::copyObjects(AcDbObjectIdArray{node}, owner, map), Acad::eOk);

    const AcDbObjectId clone = cloneOf(map, node);
    ASSERT_FALSE(clone.isNull());
    Open<KxCloneNode> c(clone, AcDb::kForRead);
    const AcDbObjectId ext = c->extensionDictionary();
    ASSERT_FALSE(ext.isNull());
    Open<KxCloneNode> src(node, AcDb::kForRead);
    EXPECT_NE(ext, src->extensionDictionary());
    Open<AcDbDictionary> dict(ext, AcDb::kForRead);
    ASSERT_EQ(dict.status, Acad::eOk);
    EXPECT_EQ(dict->ownerId(), clone);
    AcDbObjectId copiedEntry;
    ASSERT_EQ(dict->getAt(L"KX_ENTRY", copiedEntry), Acad::eOk);
    EXPECT_EQ(copiedEntry, cloneOf(map, entryId));
    Open<AcDbXrecord> rec(copiedEntry, AcDb::kForRead);
    ASSERT_EQ(rec.status, Acad::eOk);
    EXPECT_EQ(rec->ownerId(), ext);
    resbuf* items = nullptr;
    ASSERT_EQ(rec->rbChain(&items), Acad::eOk);
    Chain held(items);
    EXPECT_EQ(clonetest::textAt(items, 1), L"payload");
}

}  // namespace
