// The root data's index: finding it in a drawing, the graph map, the reference records with
// their lifetime, adoption of the objects handed in, and the erasure of what it lets go.
#include "host/core/heap.h"
#include "root_data_fixture.h"

namespace {

using kxrdtest::RootDataTest;

// --- Finding the root data ----------------------------------------------------------------------

TEST_F(RootDataTest, FindingWithoutDatabaseOrEntry) {
    KxDbTagRootData sentinel;
    KxDbTagRootData* rd = &sentinel;  // every failure must reset it
    AcDbObjectId id;
    id.setFromOldId(99);
    EXPECT_EQ(KxDbTagRootData::getRootDataId(nullptr, id), 124);
    EXPECT_TRUE(id.isNull());
    EXPECT_EQ(KxDbTagRootData::openRootData(nullptr, AcDb::kForRead, rd), 124);
    EXPECT_EQ(rd, nullptr);
    EXPECT_EQ(KxDbTagRootData::openRootData(nullptr, AcDb::kForRead, true, rd), 124);

    // A drawing without root data answers the dictionary's status, and opening does not create.
    rd = &sentinel;
    EXPECT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForRead, rd), Acad::eKeyNotFound);
    EXPECT_EQ(rd, nullptr);
    EXPECT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForWrite, false, rd), Acad::eKeyNotFound);
    EXPECT_EQ(KxDbTagRootData::getRootDataId(db, id), Acad::eKeyNotFound);
}

TEST_F(RootDataTest, OpenOrCreateMakesOneRootDataInTheNamedObjectsDictionary) {
    KxDbTagRootData* rd = nullptr;
    ASSERT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForRead, true, rd), Acad::eOk);
    ASSERT_NE(rd, nullptr);
    EXPECT_TRUE(rd->isReadEnabled());
    EXPECT_FALSE(rd->isWriteEnabled());
    EXPECT_EQ(rd->ownerId(), db->namedObjectsDictionaryId());
    EXPECT_EQ(rd->numGraphs(), 0);
    EXPECT_EQ(rd->numReferences(), 0);
    const AcDbObjectId first = rd->objectId();
    rd->close();

    AcDbDictionary* nod = nullptr;
    ASSERT_EQ(db->getNamedObjectsDictionary(nod, AcDb::kForRead), Acad::eOk);
    AcDbObjectId entry;
    EXPECT_EQ(nod->getAt(L"TOLM_TAG_ROOTDATA", entry), Acad::eOk);
    const int entries = nod->numEntries();
    nod->close();
    EXPECT_EQ(entry, first);

    // Later opens, with or without creation, find the same object in the mode asked for.
    ASSERT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForWrite, true, rd), Acad::eOk);
    EXPECT_EQ(rd->objectId(), first);
    EXPECT_TRUE(rd->isWriteEnabled());
    rd->close();
    ASSERT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForRead, rd), Acad::eOk);
    EXPECT_EQ(rd->objectId(), first);
    rd->close();
    AcDbObjectId id;
    EXPECT_EQ(KxDbTagRootData::getRootDataId(db, id), Acad::eOk);
    EXPECT_EQ(id, first);
    ASSERT_EQ(db->getNamedObjectsDictionary(nod, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(nod->numEntries(), entries);
    nod->close();
}

TEST_F(RootDataTest, AnotherObjectUnderTheKeyIsNotTakenForRootData) {
    AcDbDictionary* nod = nullptr;
    ASSERT_EQ(db->getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
    auto* squatter = new AcDbXrecord();
    AcDbObjectId squatterId;
    ASSERT_EQ(nod->setAt(L"tolm_tag_rootdata", squatter, squatterId), Acad::eOk);
    squatter->close();
    nod->close();

    KxDbTagRootData* rd = nullptr;
    EXPECT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForWrite, true, rd),
              Acad::eNotThatKindOfClass);
    EXPECT_EQ(rd, nullptr);
    EXPECT_FALSE(squatterId.isErased());
}

TEST_F(RootDataTest, PseudoConstructorBuildsAPairOnTheHostHeap) {
    const long before = kxhost::heapLiveBlocks();
    AcRxObject* made = KxDbTagRootData::desc()->create();
    auto* rd = KxDbTagRootData::cast(made);
    ASSERT_NE(rd, nullptr);
    EXPECT_GT(kxhost::heapLiveBlocks(), before);
    EXPECT_NE(kxrdtest::impOf(rd), nullptr);
    EXPECT_EQ(rd->numGraphs(), 0);
    delete rd;
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

// --- Graphs -------------------------------------------------------------------------------------

TEST_F(RootDataTest, SetGraphRefusesBadKeysAndGraphs) {
    KxDbTagRootData* rd = openRootData();
    const AcDbObjectId def = newKey();
    auto* graph = new KxDbTagEvalGraph();

    EXPECT_EQ(rd->setGraph(AcDbObjectId::kNull, graph), Acad::eInvalidInput);
    EXPECT_EQ(rd->setGraph(def, nullptr), Acad::eInvalidInput);
    EXPECT_EQ(rd->setGraph(strayId(), graph), 124);

    AcDbDatabase other(true, true);
    EXPECT_EQ(rd->setGraph(newKey(&other), graph), Acad::eWrongDatabase);
    EXPECT_TRUE(graph->objectId().isNull());  // refused graphs stay out of the database

    // A resident graph must be open for write.
    AcDbObjectId graphId;
    ASSERT_EQ(db->addAcDbObject(graphId, graph), Acad::eOk);
    graph->close();
    KxDbTagEvalGraph* readGraph = nullptr;
    ASSERT_EQ(acdbOpenObject(readGraph, graphId, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(rd->setGraph(def, readGraph), Acad::eInvalidInput);
    readGraph->close();
    EXPECT_EQ(rd->numGraphs(), 0);

    // A root data outside a database cannot own anything.
    KxDbTagRootData loose;
    auto* looseGraph = new KxDbTagEvalGraph();
    EXPECT_EQ(loose.setGraph(def, looseGraph), 124);
    delete looseGraph;
    rd->close();
}

TEST_F(RootDataTest, SetGraphAddsOwnsAndReplaces) {
    KxDbTagRootData* rd = openRootData();
    const AcDbObjectId self = rd->objectId();
    const AcDbObjectId def = newKey();
    AcDbObjectId found;
    EXPECT_FALSE(rd->getGraph(def, found));

    auto* graph = new KxDbTagEvalGraph();
    ASSERT_EQ(rd->setGraph(def, graph), Acad::eOk);
    const AcDbObjectId firstId = graph->objectId();
    ASSERT_FALSE(firstId.isNull());
    EXPECT_EQ(graph->database(), db);
    EXPECT_EQ(graph->ownerId(), self);
    EXPECT_TRUE(graph->hasPersistentReactor(self));
    graph->close();
    ASSERT_TRUE(rd->getGraph(def, found));
    EXPECT_EQ(found, firstId);

    // A graph already in the database keeps its id (the host's "already in" answer is fine).
    auto* second = new KxDbTagEvalGraph();
    AcDbObjectId secondId;
    ASSERT_EQ(db->addAcDbObject(secondId, second), Acad::eOk);
    ASSERT_EQ(rd->setGraph(def, second), Acad::eOk);
    EXPECT_EQ(second->ownerId(), self);
    second->close();
    ASSERT_TRUE(rd->getGraph(def, found));
    EXPECT_EQ(found, secondId);
    EXPECT_TRUE(firstId.isErased());
    EXPECT_FALSE(secondId.isErased());
    EXPECT_EQ(rd->numGraphs(), 1);

    // Registering the same graph again keeps it.
    KxDbTagEvalGraph* again = nullptr;
    ASSERT_EQ(acdbOpenObject(again, secondId, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(rd->setGraph(def, again), Acad::eOk);
    again->close();
    EXPECT_FALSE(secondId.isErased());
    ASSERT_TRUE(rd->getGraph(def, found));
    EXPECT_EQ(found, secondId);

    // Graphs of different definitions live side by side.
    const AcDbObjectId def2 = newKey();
    auto* third = new KxDbTagEvalGraph();
    ASSERT_EQ(rd->setGraph(def2, third), Acad::eOk);
    third->close();
    EXPECT_EQ(rd->numGraphs(), 2);
    EXPECT_FALSE(secondId.isErased());
    rd->close();
}

// --- Reference records --------------------------------------------------------------------------

TEST_F(RootDataTest, SetOperationsRefuseNullAndForeignKeys) {
    KxDbTagRootData* rd = openRootData();
    AcDbDatabase other(true, true);
    const AcDbObjectId foreign = newKey(&other);
    const AcDbObjectId def = newKey();
    AcDbXrecord* xrec = newXrecord(1);

    for (const AcDbObjectId& key : {AcDbObjectId::kNull, strayId(), foreign}) {
        const Acad::ErrorStatus want = key.isNull()                ? Acad::eNullObjectId
                                       : key.database() == nullptr ? Acad::ErrorStatus(124)
                                                                   : Acad::eWrongDatabase;
        EXPECT_EQ(rd->setSourceDefinition(key, def), want);
        EXPECT_EQ(rd->setHistory(key, xrec), want);
        EXPECT_EQ(rd->setDataEntry(key, L"1", xrec), want);
        EXPECT_EQ(rd->setHDataEntry(key, L"1", xrec), want);
    }
    EXPECT_EQ(rd->numReferences(), 0);
    EXPECT_TRUE(xrec->objectId().isNull());

    // The clears check the key and whether there is a record.
    EXPECT_EQ(rd->clearData(AcDbObjectId::kNull), Acad::eInvalidInput);
    EXPECT_EQ(rd->clearHData(AcDbObjectId::kNull), Acad::eInvalidInput);
    EXPECT_EQ(rd->clearHistory(AcDbObjectId::kNull), Acad::eInvalidInput);
    const AcDbObjectId ref = newKey();
    EXPECT_EQ(rd->clearData(ref), Acad::eKeyNotFound);
    EXPECT_EQ(rd->clearHData(ref), Acad::eKeyNotFound);
    EXPECT_EQ(rd->clearHistory(ref), Acad::eKeyNotFound);

    // Null names and null objects.
    EXPECT_EQ(rd->setDataEntry(ref, nullptr, xrec), Acad::eInvalidInput);
    EXPECT_EQ(rd->setHistory(ref, nullptr), Acad::eInvalidInput);
    EXPECT_EQ(rd->setDataEntry(ref, L"1", nullptr), Acad::eInvalidInput);
    EXPECT_EQ(rd->numReferences(), 0);
    delete xrec;
    rd->close();
}

TEST_F(RootDataTest, AdoptionTakesOwnershipWithinOneDatabase) {
    KxDbTagRootData* rd = openRootData();
    const AcDbObjectId self = rd->objectId();
    AcDbObjectId id;

    AcDbXrecord* loose = newXrecord(1);
    ASSERT_EQ(rd->adoptObject(loose, id), Acad::eOk);
    EXPECT_EQ(loose->objectId(), id);
    EXPECT_EQ(loose->ownerId(), self);
    loose->close();

    // A resident object keeps its id and changes owner.
    AcDbXrecord* resident = newXrecord(2);
    AcDbObjectId residentId;
    ASSERT_EQ(db->addAcDbObject(residentId, resident), Acad::eOk);
    ASSERT_EQ(rd->adoptObject(resident, id), Acad::eOk);
    EXPECT_EQ(id, residentId);
    EXPECT_EQ(resident->ownerId(), self);
    resident->close();

    AcDbDatabase other(true, true);
    AcDbXrecord* foreign = newXrecord(3);
    AcDbObjectId foreignId;
    ASSERT_EQ(other.addAcDbObject(foreignId, foreign), Acad::eOk);
    EXPECT_EQ(rd->adoptObject(foreign, id), Acad::eWrongDatabase);
    EXPECT_NE(foreign->ownerId(), self);
    foreign->close();
    EXPECT_EQ(rd->adoptObject(nullptr, id), Acad::eInvalidInput);

    KxDbTagRootData outside;
    AcDbXrecord* orphan = newXrecord(4);
    EXPECT_EQ(outside.adoptObject(orphan, id), Acad::eInvalidInput);
    EXPECT_TRUE(orphan->objectId().isNull());
    delete orphan;
    rd->close();
}

TEST_F(RootDataTest, RecordLivesWhileOneMemberIsSet) {
    KxDbTagRootData* rd = openRootData();
    const AcDbObjectId ref = newKey();
    const AcDbObjectId def = newKey();
    AcDbObjectId id;
    KxDbTagRootDataEntryMap entries;

    EXPECT_FALSE(rd->getSourceDefinition(ref, id));
    EXPECT_FALSE(rd->getHistory(ref, id));
    EXPECT_FALSE(rd->getDataEntries(ref, entries));

    ASSERT_EQ(rd->setSourceDefinition(ref, def), Acad::eOk);
    ASSERT_TRUE(rd->getSourceDefinition(ref, id));
    EXPECT_EQ(id, def);
    // A record without history says so, rather than handing out a null id.
    EXPECT_FALSE(rd->getHistory(ref, id));
    EXPECT_TRUE(rd->getDataEntries(ref, entries));
    EXPECT_TRUE(entries.empty());

    AcDbXrecord* hist = newXrecord(1);
    ASSERT_EQ(rd->setHistory(ref, hist), Acad::eOk);
    const AcDbObjectId histId = hist->objectId();
    hist->close();
    AcDbXrecord* data = newXrecord(2);
    ASSERT_EQ(rd->setDataEntry(ref, L"7", data), Acad::eOk);
    const AcDbObjectId dataId = data->objectId();
    data->close();
    AcDbXrecord* hdata = newXrecord(3);
    ASSERT_EQ(rd->setHDataEntry(ref, L"7", hdata), Acad::eOk);
    const AcDbObjectId hdataId = hdata->objectId();
    hdata->close();

    // Clears that leave the source definition keep the record.
    EXPECT_EQ(rd->clearHistory(ref), Acad::eOk);
    EXPECT_TRUE(histId.isErased());
    EXPECT_FALSE(rd->getHistory(ref, id));
    EXPECT_EQ(rd->clearData(ref), Acad::eOk);
    EXPECT_EQ(rd->clearHData(ref), Acad::eOk);
    EXPECT_TRUE(dataId.isErased());
    EXPECT_TRUE(hdataId.isErased());
    EXPECT_EQ(rd->numReferences(), 1);
    EXPECT_TRUE(rd->getSourceDefinition(ref, id));

    // Clearing the source definition removes the now empty record.
    ASSERT_EQ(rd->setSourceDefinition(ref, AcDbObjectId::kNull), Acad::eOk);
    EXPECT_EQ(rd->numReferences(), 0);
    EXPECT_EQ(rd->clearData(ref), Acad::eKeyNotFound);

    // A record kept only by its history goes with the history.
    AcDbXrecord* onlyHist = newXrecord(4);
    ASSERT_EQ(rd->setHistory(ref, onlyHist), Acad::eOk);
    onlyHist->close();
    EXPECT_EQ(rd->numReferences(), 1);
    EXPECT_EQ(rd->clearData(ref), Acad::eOk);  // nothing to clear, the record stays
    EXPECT_EQ(rd->numReferences(), 1);
    EXPECT_EQ(rd->clearHistory(ref), Acad::eOk);
    EXPECT_EQ(rd->numReferences(), 0);

    // A record kept only by hidden data goes with it.
    AcDbXrecord* onlyHData = newXrecord(5);
    ASSERT_EQ(rd->setHDataEntry(ref, L"1", onlyHData), Acad::eOk);
    onlyHData->close();
    EXPECT_EQ(rd->clearHData(ref), Acad::eOk);
    EXPECT_EQ(rd->numReferences(), 0);
    rd->close();
}

TEST_F(RootDataTest, ReplacingHistoryAndEntriesErasesTheOldXrecords) {
    KxDbTagRootData* rd = openRootData();
    const AcDbObjectId self = rd->objectId();
    const AcDbObjectId ref = newKey();
    AcDbObjectId id;

    AcDbXrecord* h1 = newXrecord(1);
    ASSERT_EQ(rd->setHistory(ref, h1), Acad::eOk);
    const AcDbObjectId h1Id = h1->objectId();
    EXPECT_EQ(h1->ownerId(), self);
    h1->close();
    AcDbXrecord* h2 = newXrecord(2);
    ASSERT_EQ(rd->setHistory(ref, h2), Acad::eOk);
    const AcDbObjectId h2Id = h2->objectId();
    h2->close();
    EXPECT_TRUE(h1Id.isErased());
    ASSERT_TRUE(rd->getHistory(ref, id));
    EXPECT_EQ(id, h2Id);

    // The history it already has stays.
    AcDbXrecord* same = nullptr;
    ASSERT_EQ(acdbOpenObject(same, h2Id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(rd->setHistory(ref, same), Acad::eOk);
    same->close();
    EXPECT_FALSE(h2Id.isErased());

    AcDbXrecord* a1 = newXrecord(10);
    AcDbXrecord* b1 = newXrecord(11);
    ASSERT_EQ(rd->setDataEntry(ref, L"12", a1), Acad::eOk);
    ASSERT_EQ(rd->setDataEntry(ref, L"3", b1), Acad::eOk);
    const AcDbObjectId a1Id = a1->objectId();
    const AcDbObjectId b1Id = b1->objectId();
    a1->close();
    b1->close();
    AcDbXrecord* a2 = newXrecord(20);
    ASSERT_EQ(rd->setDataEntry(ref, L"12", a2), Acad::eOk);
    const AcDbObjectId a2Id = a2->objectId();
    a2->close();
    EXPECT_TRUE(a1Id.isErased());
    EXPECT_FALSE(b1Id.isErased());

    // Data and hidden data are separate name spaces.
    AcDbXrecord* h = newXrecord(30);
    ASSERT_EQ(rd->setHDataEntry(ref, L"12", h), Acad::eOk);
    const AcDbObjectId hId = h->objectId();
    h->close();
    EXPECT_FALSE(a2Id.isErased());

    // The caller's map is emptied first, then filled in case-sensitive name order.
    KxDbTagRootDataEntryMap entries;
    entries[AcString(L"stale")] = ref;
    ASSERT_TRUE(rd->getDataEntries(ref, entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.begin()->first, AcString(L"12"));
    EXPECT_EQ(entries.begin()->second, a2Id);
    EXPECT_EQ(entries.rbegin()->second, b1Id);
    ASSERT_TRUE(rd->getHDataEntries(ref, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.begin()->second, hId);

    // Names compare with case.
    AcDbXrecord* upper = newXrecord(40);
    AcDbXrecord* lower = newXrecord(41);
    ASSERT_EQ(rd->setDataEntry(ref, L"Ab", upper), Acad::eOk);
    ASSERT_EQ(rd->setDataEntry(ref, L"ab", lower), Acad::eOk);
    const AcDbObjectId upperId = upper->objectId();
    upper->close();
    lower->close();
    EXPECT_FALSE(upperId.isErased());
    ASSERT_TRUE(rd->getDataEntries(ref, entries));
    EXPECT_EQ(entries.size(), 4u);
    rd->close();
}

TEST_F(RootDataTest, RewritingDataLeavesOneXrecordPerName) {
    KxDbTagRootData* rd = openRootData();
    const AcDbObjectId self = rd->objectId();
    const AcDbObjectId ref = newKey();
    ASSERT_EQ(rd->setSourceDefinition(ref, newKey()), Acad::eOk);
    // What a reference context does after each change: clear the data, write one record per
    // element.
    for (int change = 0; change < 100; ++change) {
        if (change > 0) {
            ASSERT_EQ(rd->clearData(ref), Acad::eOk);
        }
        for (const ACHAR* name : {L"4", L"9", L"15"}) {
            AcDbXrecord* x = newXrecord(change);
            ASSERT_EQ(rd->setDataEntry(ref, name, x), Acad::eOk);
            x->close();
        }
    }
    EXPECT_EQ(liveOwnedBy(db, self), 3);
    KxDbTagRootDataEntryMap entries;
    ASSERT_TRUE(rd->getDataEntries(ref, entries));
    ASSERT_EQ(entries.size(), 3u);
    for (const auto& entry : entries) {
        AcDbXrecord* x = nullptr;
        ASSERT_EQ(acdbOpenObject(x, entry.second, AcDb::kForRead), Acad::eOk);
        resbuf* chain = nullptr;
        ASSERT_EQ(x->rbChain(&chain), Acad::eOk);
        ASSERT_NE(chain, nullptr);
        EXPECT_EQ(chain->resval.rlong, 99);
        acutRelRb(chain);
        x->close();
    }
    rd->close();
}

TEST_F(RootDataTest, RemovingByRecordNameDispatchesWithoutCase) {
    KxDbTagRootData* rd = openRootData();
    const AcDbObjectId ref = newKey();
    AcDbObjectId id;
    KxDbTagRootDataEntryMap entries;
    auto fill = [&]() {
        AcDbXrecord* h = newXrecord(1);
        AcDbXrecord* d = newXrecord(2);
        AcDbXrecord* hd = newXrecord(3);
        ASSERT_EQ(rd->setHistory(ref, h), Acad::eOk);
        ASSERT_EQ(rd->setDataEntry(ref, L"1", d), Acad::eOk);
        ASSERT_EQ(rd->setHDataEntry(ref, L"1", hd), Acad::eOk);
        h->close();
        d->close();
        hd->close();
    };
    fill();
    EXPECT_EQ(rd->removeRecords(ref, L"ACAD_ENHANCEDBLOCKRECORD"), Acad::eNotHandled);
    EXPECT_EQ(rd->removeRecords(ref, L"DATA"), Acad::eNotHandled);
    EXPECT_EQ(rd->removeRecords(ref, nullptr), Acad::eInvalidInput);
    ASSERT_TRUE(rd->getDataEntries(ref, entries));
    EXPECT_EQ(entries.size(), 1u);

    EXPECT_EQ(rd->removeRecords(ref, L"acad_enhancedblockdata"), Acad::eOk);
    ASSERT_TRUE(rd->getDataEntries(ref, entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_TRUE(rd->getHistory(ref, id));
    EXPECT_EQ(rd->removeRecords(ref, L"Acad_EnhancedBlockHistory"), Acad::eOk);
    EXPECT_FALSE(rd->getHistory(ref, id));
    EXPECT_EQ(rd->removeRecords(ref, L"ACAD_ENHANCEDBLOCKHDATA"), Acad::eOk);
    EXPECT_EQ(rd->numReferences(), 0);
    // No record any more: the clear's own status comes back.
    EXPECT_EQ(rd->removeRecords(ref, L"ACAD_ENHANCEDBLOCKHDATA"), Acad::eKeyNotFound);
    EXPECT_EQ(rd->removeRecords(AcDbObjectId::kNull, L"ACAD_ENHANCEDBLOCKDATA"),
              Acad::eInvalidInput);
    rd->close();
}

TEST_F(RootDataTest, MapsHashIdsWithFnv1aOverTheirBytes) {
    const KxDbTagRootDataIdHash hash;
    AcDbObjectId id;
    EXPECT_EQ(hash(id), static_cast<size_t>(0xa8c7f832281a39c5ull));
    id.setFromOldId(0x0123456789ABCDEFLL);
    EXPECT_EQ(hash(id), static_cast<size_t>(0x37eb3f3347761c55ull));

    KxDbTagRootData rd;
    const KxDbImpTagRootData* imp = kxrdtest::impOf(&rd);
    ASSERT_NE(imp, nullptr);
    EXPECT_GE(imp->graphs().bucket_count(), 8u);
    EXPECT_FLOAT_EQ(imp->graphs().max_load_factor(), 1.0f);
    EXPECT_FLOAT_EQ(imp->records().max_load_factor(), 1.0f);
}

}  // namespace
