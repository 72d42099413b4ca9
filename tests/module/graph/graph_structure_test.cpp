// The evaluation graph's structure: node ids, adding and removing nodes with their
// notifications, edges with their reference counts and bidirectional partners, and the queries.
#include <gtest/gtest.h>

#include "support/graph_test_nodes.h"
#include "support/test_elements.h"

namespace {

using kxtest::DatabaseGraph;
using kxtest::MemoryGraph;
using kxtest::takeGraphNodeLog;
using Log = std::vector<std::wstring>;

class GraphStructure : public kxtest::GraphTest {};

KxEdgeInfo info(KxNodeId source, KxNodeId target, Adesk::Int32 flags, Adesk::Int32 refCount) {
    KxEdgeInfo e;
    e.sourceId = source;
    e.targetId = target;
    e.flags = flags;
    e.refCount = refCount;
    return e;
}

KxEdgeInfoArray outgoing(const KxDbTagEvalGraph* graph, KxNodeId id) {
    KxEdgeInfoArray edges;
    EXPECT_EQ(graph->getOutgoingEdges(id, edges), Acad::eOk);
    return edges;
}

KxEdgeInfoArray incoming(const KxDbTagEvalGraph* graph, KxNodeId id) {
    KxEdgeInfoArray edges;
    EXPECT_EQ(graph->getIncomingEdges(id, edges), Acad::eOk);
    return edges;
}

KxNodeIdArray allIds(const KxDbTagEvalGraph* graph) {
    KxNodeIdArray ids;
    EXPECT_EQ(graph->getAllNodeIds(ids), Acad::eOk);
    return ids;
}

TEST_F(GraphStructure, NodesGetIncreasingIdsAndHearTheyWereAdded) {
    MemoryGraph g;
    KxGraphTestNode* a = g.add(L"A");
    KxGraphTestNode* b = g.add(L"B");
    EXPECT_EQ(a->getNodeId(), 1u);
    EXPECT_EQ(b->getNodeId(), 2u);
    EXPECT_EQ(takeGraphNodeLog(), (Log{L"A.addedToGraph", L"B.addedToGraph"}));
    EXPECT_EQ(allIds(g.graph()), (KxNodeIdArray{1, 2}));

    // In memory the node itself is handed out, and it finds its graph.
    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(g->getNode(2, AcDb::kForRead, node), Acad::eOk);
    EXPECT_EQ(node, b);
    KxDbTagEvalGraph* owner = nullptr;
    ASSERT_EQ(a->openOwnerGraph(owner, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(owner, g.graph());
    EXPECT_EQ(g->getNode(7, AcDb::kForRead, node), Acad::eKeyNotFound);
    EXPECT_EQ(node, nullptr);

    KxNodeId id = 0;
    EXPECT_EQ(g->addNode(a, id), KxStatus::kNodeExists);
    EXPECT_EQ(g->addNode(nullptr, id), Acad::eNullObjectPointer);
    EXPECT_EQ(allIds(g.graph()).length(), 2);

    bool flag = true;
    EXPECT_EQ(g->getNodeStateFlag(1, flag), Acad::eOk);
    EXPECT_FALSE(flag);
    EXPECT_EQ(g->getNodeStateFlag(9, flag), KxStatus::kNodeNotFound);
}

TEST_F(GraphStructure, ObjectsOfOtherOwnersAndDatabasesAreRefused) {
    MemoryGraph g;
    DatabaseGraph other;
    KxNodeId id = 0;

    // A node in a database cannot join a graph outside it.
    KxDbTagEvalGraph* graph = other.open(AcDb::kForWrite);
    auto* resident = new KxGraphTestNode(L"R");
    ASSERT_EQ(graph->addNode(resident, id), Acad::eOk);
    EXPECT_EQ(g->addNode(resident, id), Acad::eWrongDatabase);
    EXPECT_EQ(g->validateNodeObject(resident), Acad::eWrongDatabase);
    resident->close();

    // Nor can a node that belongs to someone else.
    KxGraphTestNode owned(L"O");
    owned.setOwnerId(other.graphId());
    EXPECT_EQ(g->addNode(&owned, id), Acad::eInvalidContext);

    // A resident node must be open for write.
    auto* closed = new KxGraphTestNode(L"C");
    AcDbObjectId closedId;
    ASSERT_EQ(other.db()->addAcDbObject(closedId, closed), Acad::eOk);
    closed->close();
    EXPECT_EQ(graph->addNode(closed, id), Acad::eNotOpenForWrite);
    EXPECT_EQ(graph->validateNodeObject(closed), Acad::eNotOpenForWrite);
    EXPECT_EQ(graph->validateNodeObject(graph), Acad::eMissingSymbolTableRec);
    EXPECT_EQ(graph->validateNodeObject(nullptr), Acad::eNullObjectPointer);
    KxGraphTestNode loose(L"L");
    EXPECT_EQ(graph->validateNodeObject(&loose), Acad::eOk);
    graph->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
}

TEST_F(GraphStructure, ANodeAddedToAResidentGraphJoinsItsDatabase) {
    DatabaseGraph g;
    const KxNodeId a = g.add(L"A");
    ASSERT_EQ(a, 1u);
    const AcDbObjectId object = g.objectOf(a);
    ASSERT_FALSE(object.isNull());
    KxGraphTestNode* node = g.openNode(a, AcDb::kForRead);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->ownerId(), g.graphId());
    EXPECT_EQ(node->getNodeId(), 1u);
    KxDbTagEvalGraph* owner = nullptr;
    ASSERT_EQ(node->openOwnerGraph(owner, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(owner->objectId(), g.graphId());
    owner->close();
    node->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(GraphStructure, AddingAnEdgeAgainCountsOneMoreUse) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    const KxNodeId b = g.addId(L"B");
    takeGraphNodeLog();

    ASSERT_EQ(g->addEdge(a, b), Acad::eOk);
    EXPECT_EQ(takeGraphNodeLog(), (Log{L"A.edgeAdded(1,2,0)", L"B.edgeAdded(1,2,0)"}));
    EXPECT_EQ(g->addEdge(a, b), KxStatus::kEdgeExists);
    // The nodes still hear about it.
    EXPECT_EQ(takeGraphNodeLog(), (Log{L"A.edgeAdded(1,2,0)", L"B.edgeAdded(1,2,0)"}));
    KxEdgeInfo e;
    ASSERT_EQ(g->getEdgeInfo(a, b, e), Acad::eOk);
    EXPECT_EQ(e, info(a, b, 0, 2));

    // An edge of the other kind leaves the edge as it is.
    EXPECT_EQ(g->addEdge(a, b, true), KxStatus::kEdgeExists);
    ASSERT_EQ(g->getEdgeInfo(a, b, e), Acad::eOk);
    EXPECT_EQ(e, info(a, b, 0, 2));
    takeGraphNodeLog();

    ASSERT_EQ(g->removeEdge(a, b), Acad::eOk);
    EXPECT_EQ(takeGraphNodeLog(), (Log{L"B.edgeRemoved(1)", L"A.edgeRemoved(2)"}));
    ASSERT_EQ(g->getEdgeInfo(a, b, e), Acad::eOk);
    EXPECT_EQ(e.refCount, 1);
    ASSERT_EQ(g->removeEdge(a, b), Acad::eOk);
    EXPECT_EQ(g->getEdgeInfo(a, b, e), Acad::eNullObjectPointer);
    EXPECT_EQ(g->removeEdge(a, b), KxStatus::kEdgeNotFound);
    EXPECT_TRUE(outgoing(g.graph(), a).isEmpty());
    EXPECT_TRUE(incoming(g.graph(), b).isEmpty());

    EXPECT_EQ(g->removeEdge(a, 42), KxStatus::kNodeNotFound);
    EXPECT_EQ(g->addEdge(a, 42), Acad::eNullObjectPointer);
    // A node never feeds itself.
    EXPECT_EQ(g->addEdge(a, a), Acad::eInvalidInput);
    EXPECT_TRUE(outgoing(g.graph(), a).isEmpty());
}

TEST_F(GraphStructure, ABidirectionalEdgeIsAPairOfPartners) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    const KxNodeId b = g.addId(L"B");
    takeGraphNodeLog();

    ASSERT_EQ(g->addEdge(a, b, true), Acad::eOk);
    EXPECT_EQ(takeGraphNodeLog(), (Log{L"A.edgeAdded(1,2,1)", L"A.edgeAdded(2,1,1)",
                                       L"B.edgeAdded(1,2,1)", L"B.edgeAdded(2,1,1)"}));
    EXPECT_EQ(outgoing(g.graph(), a), (KxEdgeInfoArray{info(a, b, 0x4, 1)}));
    EXPECT_EQ(outgoing(g.graph(), b), (KxEdgeInfoArray{info(b, a, 0x4, 1)}));
    EXPECT_EQ(incoming(g.graph(), a), (KxEdgeInfoArray{info(b, a, 0x4, 1)}));

    // A use of one half is a use of both.
    EXPECT_EQ(g->addEdge(a, b, true), KxStatus::kEdgeExists);
    EXPECT_EQ(outgoing(g.graph(), b), (KxEdgeInfoArray{info(b, a, 0x4, 2)}));
    ASSERT_EQ(g->removeEdge(b, a), Acad::eOk);
    EXPECT_EQ(outgoing(g.graph(), a), (KxEdgeInfoArray{info(a, b, 0x4, 1)}));
    ASSERT_EQ(g->removeEdge(a, b), Acad::eOk);
    EXPECT_TRUE(outgoing(g.graph(), a).isEmpty());
    EXPECT_TRUE(outgoing(g.graph(), b).isEmpty());
}

TEST_F(GraphStructure, ABidirectionalEdgeTakesOverAPlainEdgeBack) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    const KxNodeId b = g.addId(L"B");
    ASSERT_EQ(g->addEdge(b, a), Acad::eOk);
    takeGraphNodeLog();
    ASSERT_EQ(g->addEdge(a, b, true), Acad::eOk);
    const Log log = takeGraphNodeLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], L"A.edgeRemoved(2)");
    EXPECT_EQ(log[1], L"B.edgeRemoved(1)");
    EXPECT_EQ(outgoing(g.graph(), b), (KxEdgeInfoArray{info(b, a, 0x4, 1)}));
    EXPECT_EQ(incoming(g.graph(), a), (KxEdgeInfoArray{info(b, a, 0x4, 1)}));
}

TEST_F(GraphStructure, EdgeQueriesFollowListOrderAndAppend) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    const KxNodeId b = g.addId(L"B");
    const KxNodeId c = g.addId(L"C");
    const KxNodeId d = g.addId(L"D");
    ASSERT_EQ(g->addEdge(a, c), Acad::eOk);
    ASSERT_EQ(g->addEdge(a, b), Acad::eOk);
    ASSERT_EQ(g->addEdge(d, a), Acad::eOk);

    KxEdgeInfoArray edges{info(9, 9, 0, 0)};
    ASSERT_EQ(g->getOutgoingEdges(a, edges), Acad::eOk);
    EXPECT_EQ(edges, (KxEdgeInfoArray{info(9, 9, 0, 0), info(a, c, 0, 1), info(a, b, 0, 1)}));
    EXPECT_EQ(incoming(g.graph(), a), (KxEdgeInfoArray{info(d, a, 0, 1)}));
    EXPECT_EQ(g->getOutgoingEdges(77, edges), Acad::eNullObjectPointer);
    EXPECT_EQ(g->getIncomingEdges(77, edges), Acad::eNullObjectPointer);
    KxEdgeInfo e;
    EXPECT_EQ(g->getEdgeInfo(b, a, e), Acad::eNullObjectPointer);
    EXPECT_EQ(g->getEdgeInfo(77, a, e), Acad::eNullObjectPointer);
}

TEST_F(GraphStructure, RemovingANodeTellsEachNeighbourOncePerEdge) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    KxGraphTestNode* bNode = g.add(L"B");
    const KxNodeId b = bNode->getNodeId();
    const KxNodeId c = g.addId(L"C");
    const KxNodeId d = g.addId(L"D");
    ASSERT_EQ(g->addEdge(a, b), Acad::eOk);
    ASSERT_EQ(g->addEdge(b, c), Acad::eOk);
    ASSERT_EQ(g->addEdge(b, d, true), Acad::eOk);
    ASSERT_EQ(g->addEdge(a, c), Acad::eOk);
    takeGraphNodeLog();

    ASSERT_EQ(g->removeNode(b), Acad::eOk);
    // Targets first (C, D), then sources (A, D); then the removals; then the node itself.
    EXPECT_EQ(
        takeGraphNodeLog(),
        (Log{L"C.edgeRemoved(2)", L"B.edgeRemoved(3)", L"D.edgeRemoved(2)", L"B.edgeRemoved(4)",
             L"A.edgeRemoved(2)", L"B.edgeRemoved(1)", L"D.edgeRemoved(2)", L"B.edgeRemoved(4)",
             L"C.nodeRemoved(2)", L"D.nodeRemoved(2)", L"A.nodeRemoved(2)", L"D.nodeRemoved(2)",
             L"B.removedFromGraph"}));
    EXPECT_EQ(bNode->getNodeId(), 0u);
    EXPECT_EQ(allIds(g.graph()), (KxNodeIdArray{a, c, d}));
    EXPECT_EQ(outgoing(g.graph(), a), (KxEdgeInfoArray{info(a, c, 0, 1)}));
    EXPECT_TRUE(outgoing(g.graph(), d).isEmpty());
    EXPECT_EQ(incoming(g.graph(), c), (KxEdgeInfoArray{info(a, c, 0, 1)}));
    EXPECT_EQ(g->removeNode(b), Acad::eNullObjectPointer);
    EXPECT_EQ(g->removeEdge(a, b), KxStatus::kNodeNotFound);

    // The removed in-memory node is the remover's now: it can join again under a new id, and
    // the graph never frees it twice.
    KxNodeId again = 0;
    ASSERT_EQ(g->addNode(bNode, again), Acad::eOk);
    EXPECT_EQ(again, 5u);
    ASSERT_EQ(g->removeNode(bNode), Acad::eOk);
    delete bNode;
    EXPECT_EQ(allIds(g.graph()), (KxNodeIdArray{a, c, d}));
}

TEST_F(GraphStructure, RemovingByObjectNeedsTheGraphsOwnNode) {
    MemoryGraph g;
    MemoryGraph other;
    KxGraphTestNode* a = g.add(L"A");
    KxGraphTestNode* stranger = other.add(L"S");  // also id 1, but of the other graph
    EXPECT_EQ(g->removeNode(stranger), Acad::eNullObjectPointer);
    EXPECT_EQ(g->removeNode(static_cast<KxDbTagEvalExpr*>(nullptr)), Acad::eNullObjectPointer);
    EXPECT_EQ(allIds(g.graph()).length(), 1);
    ASSERT_EQ(g->removeNode(a), Acad::eOk);
    EXPECT_EQ(a->getNodeId(), 0u);
    delete a;
}

TEST_F(GraphStructure, RemovingAResidentNodeKeepsItInTheDatabase) {
    DatabaseGraph g;
    const KxNodeId a = g.add(L"A");
    const KxNodeId b = g.add(L"B");
    const AcDbObjectId bObject = g.objectOf(b);
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
    ASSERT_EQ(graph->addEdge(a, b), Acad::eOk);
    takeGraphNodeLog();
    ASSERT_EQ(graph->removeNode(b), Acad::eOk);
    EXPECT_EQ(takeGraphNodeLog(), (Log{L"A.edgeRemoved(2)", L"B.edgeRemoved(1)",
                                       L"A.nodeRemoved(2)", L"B.removedFromGraph"}));
    KxNodeIdArray ids;
    EXPECT_EQ(graph->getAllNodeIds(ids), Acad::eOk);
    EXPECT_EQ(ids, (KxNodeIdArray{a}));
    graph->close();
    KxGraphTestNode* removed = nullptr;
    ASSERT_EQ(acdbOpenObject(removed, bObject, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(removed->getNodeId(), 0u);
    removed->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(GraphStructure, AResidentElementCanBeRenamedWhileItIsOpenForWrite) {
    kxtest::registerTestElements();
    DatabaseGraph g;
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
    KxTestParam* p1 = kxtest::makeTestParam(L"P1");
    KxTestParam* p2 = kxtest::makeTestParam(L"P2");
    KxNodeId id1 = 0;
    KxNodeId id2 = 0;
    ASSERT_EQ(graph->addNode(p1, id1), Acad::eOk);
    ASSERT_EQ(graph->addNode(p2, id2), Acad::eOk);
    p2->close();
    graph->close();

    // The element being renamed is open for write while the graph looks at every node.
    kxhost::setStrictOpens(true);
    KxNodeIdArray ids;
    KxDbTagEvalGraph* reader = g.open(AcDb::kForRead);
    EXPECT_EQ(reader->getAllNodeIds(ids), Acad::eOk);
    EXPECT_EQ(ids, (KxNodeIdArray{id1, id2}));
    reader->close();
    EXPECT_EQ(p1->setName(L"p2"), Acad::eDuplicateKey);
    EXPECT_EQ(p1->setName(L"P3"), Acad::eOk);
    EXPECT_EQ(p1->getName(), AcString(L"P3"));
    kxhost::setStrictOpens(false);
    p1->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    kxtest::unregisterTestElements();
}

TEST_F(GraphStructure, LabelNamesComeFromTheParameters) {
    kxtest::registerTestElements();
    {
        MemoryGraph g;
        KxTestParam* p1 = kxtest::makeTestParam(L"P1");
        KxTestParam* p2 = kxtest::makeTestParam(L"P2");
        kxtest::testImp(p1)->labels.append(L"Distance1");
        kxtest::testImp(p2)->labels.append(L"Angle1");
        KxNodeId id1 = 0;
        KxNodeId id2 = 0;
        ASSERT_EQ(g->addNode(p1, id1), Acad::eOk);
        ASSERT_EQ(g->addNode(p2, id2), Acad::eOk);
        g.add(L"plain");

        AcStringArray names;
        ASSERT_EQ(g->getParameterLabelNames(names), Acad::eOk);
        EXPECT_EQ(names, (AcStringArray{L"Distance1", L"Angle1"}));
        names.setLogicalLength(0);
        ASSERT_EQ(g->getParameterLabelNames(names, id1), Acad::eOk);
        EXPECT_EQ(names, (AcStringArray{L"Angle1"}));

        EXPECT_FALSE(g->isPropertyNameUnique(L"distance1", 0));
        EXPECT_TRUE(g->isPropertyNameUnique(L"distance1", id1));
        EXPECT_TRUE(g->isPropertyNameUnique(L"Distance2", 0));
    }
    kxtest::unregisterTestElements();
}

}  // namespace
