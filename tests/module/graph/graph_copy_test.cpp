// Copies of a graph, moving an in-memory graph into a database, and structural comparison.
#include <gtest/gtest.h>

#include "host/db/clone.h"
#include "module/graph/eval_context.h"
#include "support/graph_test_nodes.h"

namespace {

using kxtest::DatabaseGraph;
using kxtest::graphNodeLogWith;
using kxtest::MemoryGraph;
using kxtest::takeGraphNodeLog;
using Log = std::vector<std::wstring>;

class GraphCopy : public kxtest::GraphTest {};

KxNodeIdArray allIds(const KxDbTagEvalGraph* graph) {
    KxNodeIdArray ids;
    EXPECT_EQ(graph->getAllNodeIds(ids), Acad::eOk);
    return ids;
}

kxhost::DwgMemoryFiler fileOut(const KxDbTagEvalGraph* graph) {
    kxhost::DwgMemoryFiler filer(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                 graph->database());
    EXPECT_EQ(graph->dwgOut(&filer), Acad::eOk);
    return filer;
}

TEST_F(GraphCopy, AClonedGraphHoldsClonesOfTheNodesAndEvaluatesOnItsOwn) {
    DatabaseGraph g;
    const KxNodeId a = g.add(L"A");
    const KxNodeId b = g.add(L"B");
    const KxNodeId c = g.add(L"C");
    const KxNodeId d = g.add(L"D");
    {
        KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
        ASSERT_EQ(graph->addEdge(a, b), Acad::eOk);
        ASSERT_EQ(graph->addEdge(a, b), KxStatus::kEdgeExists);
        ASSERT_EQ(graph->addEdge(b, c, true), Acad::eOk);
        ASSERT_EQ(graph->addEdge(d, c), Acad::eOk);
        ASSERT_EQ(graph->removeNode(d), Acad::eOk);
        graph->close();
    }
    KxGraphTestNode* aNode = g.openNode(a, AcDb::kForWrite);
    aNode->extraActivation = KxNodeIdArray{c};
    aNode->close();

    kxhost::setStrictOpens(true);
    KxDbTagEvalGraph* source = g.open(AcDb::kForRead);
    const kxhost::DwgMemoryFiler before = fileOut(source);
    takeGraphNodeLog();
    AcRxObject* made = source->clone();
    auto* copy = KxDbTagEvalGraph::cast(made);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->objectId().isNull());
    // The source is only read.
    EXPECT_TRUE(fileOut(source).sameItems(before));
    EXPECT_EQ(kxhost::assertionViolations(), 0);

    EXPECT_TRUE(copy->isGraphEquivalent(source));
    EXPECT_EQ(allIds(copy), (KxNodeIdArray{a, b, c}));
    // The clones are told who holds them now; they are not added anew.
    EXPECT_EQ(graphNodeLogWith(L"setOwnerGraph"),
              (Log{L"A.setOwnerGraph", L"B.setOwnerGraph", L"C.setOwnerGraph"}));
    EXPECT_TRUE(graphNodeLogWith(L"addedToGraph").empty());

    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(copy->getNode(a, AcDb::kForRead, node), Acad::eOk);
    auto* aCopy = KxGraphTestNode::cast(node);
    ASSERT_NE(aCopy, nullptr);
    EXPECT_TRUE(aCopy->objectId().isNull());
    EXPECT_EQ(aCopy->label, AcString(L"A"));
    EXPECT_EQ(aCopy->getNodeId(), a);
    EXPECT_EQ(aCopy->extraActivation, (KxNodeIdArray{c}));
    KxDbTagEvalGraph* owner = nullptr;
    ASSERT_EQ(aCopy->openOwnerGraph(owner, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(owner, copy);

    KxDbTagEvalContext context;
    takeGraphNodeLog();
    EXPECT_EQ(copy->evaluate(&context, KxNodeIdArray{a}), Acad::eOk);
    // A activates C directly, so the pair B-C is taken from C to B.
    EXPECT_EQ(graphNodeLogWith(L".evaluate"), (Log{L"A.evaluate", L"C.evaluate", L"B.evaluate"}));
    EXPECT_EQ(aCopy->evaluations, 1);
    source->close();
    kxhost::setStrictOpens(false);
    KxGraphTestNode* aSource = g.openNode(a, AcDb::kForRead);
    EXPECT_EQ(aSource->evaluations, 0);
    aSource->close();

    // Changing the copy leaves the source alone. The removed clone is the remover's.
    KxDbTagEvalExpr* bCopy = nullptr;
    ASSERT_EQ(copy->getNode(b, AcDb::kForRead, bCopy), Acad::eOk);
    ASSERT_EQ(copy->removeNode(b), Acad::eOk);
    delete bCopy;
    source = g.open(AcDb::kForRead);
    EXPECT_EQ(allIds(source), (KxNodeIdArray{a, b, c}));
    EXPECT_TRUE(fileOut(source).sameItems(before));
    source->close();

    KxDbTagEvalExpr* removed = nullptr;
    EXPECT_EQ(copy->getNode(b, AcDb::kForRead, removed), Acad::eKeyNotFound);
    delete made;
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
}

TEST_F(GraphCopy, AnInMemoryGraphCopiesLikeAResidentOne) {
    MemoryGraph g;
    KxGraphTestNode* a = g.add(L"A");
    KxGraphTestNode* b = g.add(L"B");
    ASSERT_EQ(g->addEdge(a->getNodeId(), b->getNodeId(), true), Acad::eOk);
    b->evaluateStatus = Acad::eInvalidKey;

    KxDbTagEvalGraph copy;
    ASSERT_EQ(copy.copyFrom(g.graph()), Acad::eOk);
    EXPECT_TRUE(copy.isGraphEquivalent(g.graph()));
    // A copy of the copy is as good.
    AcRxObject* again = copy.clone();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(KxDbTagEvalGraph::cast(again)->isGraphEquivalent(g.graph()));
    delete again;

    // The filed setting travelled with the clone.
    KxDbTagEvalContext context;
    EXPECT_EQ(copy.evaluate(&context, KxNodeIdArray{a->getNodeId()}), Acad::eInvalidKey);
    EXPECT_EQ(a->evaluations, 0);
    EXPECT_EQ(b->evaluations, 0);

    // Copying over a graph replaces what it held.
    ASSERT_EQ(copy.copyFrom(g.graph()), Acad::eOk);
    EXPECT_EQ(allIds(&copy).length(), 2);
    KxGraphTestNode other(L"O");
    EXPECT_EQ(copy.copyFrom(&other), Acad::eWrongObjectType);
}

TEST_F(GraphCopy, ANodeWithoutACloneFailsTheCopy) {
    MemoryGraph g;
    KxGraphTestNode* a = g.add(L"A");
    KxGraphTestNode* b = g.add(L"B");
    ASSERT_EQ(g->addEdge(a->getNodeId(), b->getNodeId()), Acad::eOk);
    b->cloneFails = true;
    KxDbTagEvalGraph copy;
    EXPECT_EQ(copy.copyFrom(g.graph()), Acad::eNullObjectPointer);
    EXPECT_TRUE(allIds(&copy).isEmpty());
    EXPECT_EQ(g->clone(), nullptr);
    EXPECT_EQ(allIds(g.graph()).length(), 2);
}

TEST_F(GraphCopy, AnInMemoryGraphMovesIntoADatabaseWithItsNodes) {
    AcDbDatabase db(true, true);
    auto* graph = new KxDbTagEvalGraph();
    KxNodeId a = 0;
    KxNodeId b = 0;
    ASSERT_EQ(graph->addNode(new KxGraphTestNode(L"A"), a), Acad::eOk);
    ASSERT_EQ(graph->addNode(new KxGraphTestNode(L"B"), b), Acad::eOk);
    ASSERT_EQ(graph->addEdge(a, b), Acad::eOk);
    takeGraphNodeLog();

    KxDbTagEvalGraph unplaced;
    AcDbObjectId id;
    EXPECT_EQ(unplaced.addGraphToDatabase(id, nullptr), Acad::eNoDatabase);

    ASSERT_EQ(graph->addGraphToDatabase(id, &db), Acad::eOk);
    EXPECT_EQ(graph->objectId(), id);
    EXPECT_EQ(takeGraphNodeLog(), (Log{L"A.removedFromGraph", L"B.removedFromGraph"}));
    EXPECT_EQ(graph->addGraphToDatabase(id, &db), Acad::eWrongDatabase);
    graph->close();

    KxDbTagEvalGraph* resident = nullptr;
    ASSERT_EQ(acdbOpenObject(resident, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(allIds(resident), (KxNodeIdArray{a, b}));
    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(resident->getNode(a, AcDb::kForRead, node), Acad::eOk);
    EXPECT_FALSE(node->objectId().isNull());
    EXPECT_EQ(node->ownerId(), id);
    node->close();
    KxDbTagEvalContext context;
    EXPECT_EQ(resident->evaluate(&context, KxNodeIdArray{a}), Acad::eOk);
    EXPECT_EQ(graphNodeLogWith(L".evaluate"), (Log{L"A.evaluate", L"B.evaluate"}));
    resident->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(GraphCopy, AFailureWhileMovingIntoADatabaseDeletesNothingTheDatabaseOwns) {
    AcDbDatabase db(true, true);
    const long objectsBefore = kxhost::objectCount(&db);
    auto* graph = new KxDbTagEvalGraph();
    KxNodeId id = 0;
    ASSERT_EQ(graph->addNode(new KxGraphTestNode(L"A"), id), Acad::eOk);
    ASSERT_EQ(graph->addNode(new KxGraphTestNode(L"B"), id), Acad::eOk);
    auto* c = new KxGraphTestNode(L"C");
    c->addToDatabaseStatus = Acad::eInvalidInput;
    ASSERT_EQ(graph->addNode(c, id), Acad::eOk);
    ASSERT_EQ(graph->addNode(new KxGraphTestNode(L"D"), id), Acad::eOk);

    AcDbObjectId graphId;
    EXPECT_EQ(graph->addGraphToDatabase(graphId, &db), Acad::eInvalidInput);
    EXPECT_TRUE(graph->objectId().isNull());
    EXPECT_TRUE(allIds(graph).isEmpty());
    // A and B got into the database and stay there, erased; C and D went with the graph's
    // records.
    const AcDbObjectIdArray ids = kxhost::objectIds(&db);
    EXPECT_EQ(kxhost::objectCount(&db), objectsBefore + 2);
    int erased = 0;
    for (const AcDbObjectId& object : ids) {
        erased += object.isErased() ? 1 : 0;
    }
    EXPECT_EQ(erased, 2);
    delete graph;
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
}

TEST_F(GraphCopy, AGraphPastedIntoAnotherDrawingOwnsClonesOfItsNodes) {
    DatabaseGraph g;
    const KxNodeId a = g.add(L"A");
    const KxNodeId b = g.add(L"B");
    {
        KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
        ASSERT_EQ(graph->addEdge(a, b, true), Acad::eOk);
        graph->close();
    }
    AcDbDatabase target(true, true);
    AcDbIdMapping map;
    ASSERT_EQ(kxhost::pasteObjects(AcDbObjectIdArray{g.graphId()},
                                   target.namedObjectsDictionaryId(), map),
              Acad::eOk);
    AcDbIdPair pair(g.graphId(), AcDbObjectId(), false);
    ASSERT_TRUE(map.compute(pair));
    KxDbTagEvalGraph* pasted = nullptr;
    ASSERT_EQ(acdbOpenObject(pasted, pair.value(), AcDb::kForRead), Acad::eOk);
    KxDbTagEvalGraph* source = g.open(AcDb::kForRead);
    EXPECT_TRUE(pasted->isGraphEquivalent(source));
    for (KxNodeId id : allIds(pasted)) {
        KxDbTagEvalExpr* node = nullptr;
        ASSERT_EQ(pasted->getNode(id, AcDb::kForRead, node), Acad::eOk);
        EXPECT_EQ(node->database(), &target);
        EXPECT_EQ(node->ownerId(), pasted->objectId());
        EXPECT_EQ(node->getNodeId(), id);
        node->close();
    }
    source->close();
    pasted->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
}

TEST_F(GraphCopy, SavingForAnOlderFormatReachesEveryResidentNode) {
    DatabaseGraph g;
    g.add(L"A");
    g.add(L"B");
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
    takeGraphNodeLog();
    AcDbObject* replaceObj = nullptr;
    AcDbObjectId replaceId;
    Adesk::Boolean exchange = true;
    EXPECT_EQ(graph->decomposeForSave(AcDb::kDHL_1800, replaceObj, replaceId, exchange), Acad::eOk);
    EXPECT_EQ(replaceObj, nullptr);
    EXPECT_TRUE(replaceId.isNull());
    EXPECT_EQ(takeGraphNodeLog(), (Log{L"A.decomposeForSave", L"B.decomposeForSave"}));
    graph->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
}

TEST_F(GraphCopy, StructureComparisonLooksAtIdsClassesAndEdges) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    const KxNodeId b = g.addId(L"B");
    ASSERT_EQ(g->addEdge(a, b), Acad::eOk);

    MemoryGraph same;
    same.add(L"X");
    same.add(L"Y");
    ASSERT_EQ(same->addEdge(a, b), Acad::eOk);
    EXPECT_TRUE(g->isGraphEquivalent(same.graph()));

    MemoryGraph moreUses;
    moreUses.add(L"A");
    moreUses.add(L"B");
    ASSERT_EQ(moreUses->addEdge(a, b), Acad::eOk);
    ASSERT_EQ(moreUses->addEdge(a, b), KxStatus::kEdgeExists);
    EXPECT_FALSE(g->isGraphEquivalent(moreUses.graph()));

    MemoryGraph otherClass;
    otherClass.add(L"A");
    KxNodeId id = 0;
    ASSERT_EQ(otherClass->addNode(new KxGraphOtherTestNode(L"B"), id), Acad::eOk);
    ASSERT_EQ(otherClass->addEdge(a, b), Acad::eOk);
    EXPECT_FALSE(g->isGraphEquivalent(otherClass.graph()));

    MemoryGraph larger;
    larger.add(L"A");
    larger.add(L"B");
    larger.add(L"C");
    ASSERT_EQ(larger->addEdge(a, b), Acad::eOk);
    EXPECT_TRUE(g->isStructureEqual(larger.graph()));
    EXPECT_FALSE(larger->isStructureEqual(g.graph()));
    EXPECT_FALSE(g->isGraphEquivalent(larger.graph()));
    EXPECT_FALSE(g->isGraphEquivalent(nullptr));
}

}  // namespace
