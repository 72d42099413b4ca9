// Activation, ordering and evaluation of the graph.
#include <gtest/gtest.h>

#include "module/graph/eval_context.h"
#include "support/graph_test_nodes.h"

namespace {

using kxtest::DatabaseGraph;
using kxtest::GraphLayout;
using kxtest::graphNodeLogWith;
using kxtest::MemoryGraph;
using kxtest::takeGraphNodeLog;
using Log = std::vector<std::wstring>;

class GraphEvaluation : public kxtest::GraphTest {};

Adesk::Int32 edgeFlags(const KxDbTagEvalGraph* graph, KxNodeId source, KxNodeId target) {
    KxEdgeInfo e;
    EXPECT_EQ(graph->getEdgeInfo(source, target, e), Acad::eOk);
    return e.flags;
}

// Replaces the records of a resident graph by those of the layout, read as the drawing's DXF.
Acad::ErrorStatus loadLayout(const DatabaseGraph& g, const GraphLayout& layout) {
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
    kxhost::DxfMemoryFiler filer(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                 g.db());
    kxtest::writeGraphDxf(filer, layout);
    filer.rewind();
    const Acad::ErrorStatus es = graph->dxfIn(&filer);
    graph->close();
    return es;
}

TEST_F(GraphEvaluation, ActivationFollowsTheEdgesAndMarksTheRestInactive) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    const KxNodeId b = g.addId(L"B");
    const KxNodeId c = g.addId(L"C");
    const KxNodeId d = g.addId(L"D");
    const KxNodeId e = g.addId(L"E");
    ASSERT_EQ(g->addEdge(a, b), Acad::eOk);
    ASSERT_EQ(g->addEdge(b, c), Acad::eOk);
    ASSERT_EQ(g->addEdge(e, c), Acad::eOk);
    (void)d;

    KxNodeIdArray activated{99};
    ASSERT_EQ(g->activate(KxNodeIdArray{a}, &activated), Acad::eOk);
    EXPECT_EQ(activated, (KxNodeIdArray{a, b, c}));
    // The marks stay for the evaluation that follows.
    EXPECT_EQ(edgeFlags(g.graph(), e, c), 0x10);
    EXPECT_EQ(edgeFlags(g.graph(), a, b), 0);
    takeGraphNodeLog();

    KxDbTagEvalContext context;
    ASSERT_EQ(g->evaluate(&context), Acad::eOk);
    EXPECT_EQ(takeGraphNodeLog(),
              (Log{L"A.beginEvaluation(1)", L"B.beginEvaluation(1)", L"C.beginEvaluation(1)",
                   L"D.beginEvaluation(0)", L"E.beginEvaluation(0)", L"A.evaluate", L"B.evaluate",
                   L"C.evaluate", L"A.evaluationSucceeded(1)", L"B.evaluationSucceeded(1)",
                   L"C.evaluationSucceeded(1)", L"D.evaluationSucceeded(0)",
                   L"E.evaluationSucceeded(0)"}));
    // The evaluation ends every mark.
    EXPECT_EQ(edgeFlags(g.graph(), e, c), 0);

    // Without an activation nothing runs.
    ASSERT_EQ(g->evaluate(&context), Acad::eOk);
    EXPECT_TRUE(graphNodeLogWith(L".evaluate").empty());
}

TEST_F(GraphEvaluation, ABidirectionalEdgeIsNotTakenBackInTheSameActivation) {
    MemoryGraph g;
    KxGraphTestNode* aNode = g.add(L"A");
    KxGraphTestNode* bNode = g.add(L"B");
    const KxNodeId a = aNode->getNodeId();
    const KxNodeId b = bNode->getNodeId();
    ASSERT_EQ(g->addEdge(a, b, true), Acad::eOk);

    KxNodeIdArray activated;
    KxNodeIdArray cycles;
    ASSERT_EQ(g->activate(KxNodeIdArray{a}, &activated, &cycles), Acad::eOk);
    EXPECT_EQ(activated, (KxNodeIdArray{a, b}));
    EXPECT_TRUE(cycles.isEmpty());
    EXPECT_EQ(edgeFlags(g.graph(), b, a), 0x4 | 0x10);
    EXPECT_EQ(edgeFlags(g.graph(), a, b), 0x4);

    // What B sees while it evaluates.
    Adesk::Int32 backFlags = -1;
    bNode->onEvaluate = [&](KxGraphTestNode*, KxDbTagEvalContext*) {
        backFlags = edgeFlags(g.graph(), b, a);
    };
    takeGraphNodeLog();
    KxDbTagEvalContext context;
    ASSERT_EQ(g->evaluate(&context, KxNodeIdArray{b}), Acad::eOk);
    EXPECT_EQ(graphNodeLogWith(L".evaluate"), (Log{L"B.evaluate", L"A.evaluate"}));
    EXPECT_EQ(backFlags, 0x4);
    EXPECT_EQ(edgeFlags(g.graph(), a, b), 0x4);
}

TEST_F(GraphEvaluation, NodesOnACycleAreReportedAndEvaluatedAfterTheOthers) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    const KxNodeId b = g.addId(L"B");
    const KxNodeId c = g.addId(L"C");
    const KxNodeId d = g.addId(L"D");
    const KxNodeId e = g.addId(L"E");
    ASSERT_EQ(g->addEdge(a, b), Acad::eOk);
    ASSERT_EQ(g->addEdge(b, a), Acad::eOk);
    ASSERT_EQ(g->addEdge(b, c), Acad::eOk);  // behind the cycle
    ASSERT_EQ(g->addEdge(d, e), Acad::eOk);

    KxNodeIdArray activated;
    KxNodeIdArray cycles{42};
    EXPECT_EQ(g->activate(KxNodeIdArray{a, d}, &activated, &cycles), KxStatus::kCycleFound);
    EXPECT_EQ(activated, (KxNodeIdArray{a, b, c, d, e}));
    EXPECT_EQ(cycles, (KxNodeIdArray{a, b, c}));

    takeGraphNodeLog();
    KxDbTagEvalContext context;
    EXPECT_EQ(g->evaluate(&context, KxNodeIdArray{a, d}), Acad::eOk);
    EXPECT_EQ(graphNodeLogWith(L".evaluate"),
              (Log{L"D.evaluate", L"E.evaluate", L"A.evaluate", L"B.evaluate", L"C.evaluate"}));

    // Without cycles the status is plain success.
    EXPECT_EQ(g->activate(KxNodeIdArray{d}, &activated, &cycles), Acad::eOk);
    EXPECT_TRUE(cycles.isEmpty());
}

TEST_F(GraphEvaluation, AFailingNodeFailsTheWholeEvaluation) {
    MemoryGraph g;
    KxGraphTestNode* aNode = g.add(L"A");
    KxGraphTestNode* bNode = g.add(L"B");
    KxGraphTestNode* cNode = g.add(L"C");
    g.add(L"D");
    ASSERT_EQ(g->addEdge(aNode->getNodeId(), bNode->getNodeId()), Acad::eOk);
    ASSERT_EQ(g->addEdge(bNode->getNodeId(), cNode->getNodeId()), Acad::eOk);
    bNode->evaluateStatus = Acad::eInvalidInput;
    cNode->evaluateStatus = Acad::eInvalidKey;
    takeGraphNodeLog();

    KxDbTagEvalContext context;
    EXPECT_EQ(g->evaluate(&context, KxNodeIdArray{aNode->getNodeId()}), Acad::eInvalidInput);
    // Every active node still runs; nobody commits.
    EXPECT_EQ(graphNodeLogWith(L".evaluate"), (Log{L"A.evaluate", L"B.evaluate", L"C.evaluate"}));
    EXPECT_TRUE(graphNodeLogWith(L"Succeeded").empty());
    EXPECT_EQ(graphNodeLogWith(L"Failed"),
              (Log{L"A.evaluationFailed(1)", L"B.evaluationFailed(1)", L"C.evaluationFailed(1)",
                   L"D.evaluationFailed(0)"}));
}

TEST_F(GraphEvaluation, WithoutAContextNodesGetAnEmptyOne) {
    MemoryGraph g;
    KxGraphTestNode* a = g.add(L"A");
    int mode = -1;
    a->onEvaluate = [&](KxGraphTestNode*, KxDbTagEvalContext* context) {
        mode = kxEvalMode(context);
    };
    ASSERT_EQ(g->activate(KxNodeIdArray{a->getNodeId()}), Acad::eOk);
    EXPECT_EQ(g->evaluate(), Acad::eOk);
    EXPECT_EQ(a->evaluations, 1);
    EXPECT_FALSE(a->lastContextNull);
    EXPECT_EQ(mode, 0);
}

TEST_F(GraphEvaluation, ExtraActivationReachesNodesWithoutEdges) {
    MemoryGraph g;
    KxGraphTestNode* a = g.add(L"A");
    KxGraphTestNode* b = g.add(L"B");
    KxGraphTestNode* c = g.add(L"C");
    a->extraActivation = KxNodeIdArray{c->getNodeId(), 77};
    // Two nodes naming each other end the activation all the same.
    c->extraActivation = KxNodeIdArray{a->getNodeId()};
    KxNodeIdArray activated;
    ASSERT_EQ(g->activate(KxNodeIdArray{a->getNodeId()}, &activated), Acad::eOk);
    EXPECT_EQ(activated, (KxNodeIdArray{a->getNodeId(), c->getNodeId()}));
    (void)b;
}

TEST_F(GraphEvaluation, FiledNodeFlagsSteerActivationAndWhatNodesAreTold) {
    DatabaseGraph g;
    const KxNodeId a = g.add(L"A");
    const KxNodeId b = g.add(L"B");
    const KxNodeId c = g.add(L"C");
    {
        KxGraphTestNode* node = g.openNode(a, AcDb::kForWrite);
        node->extraActivation = KxNodeIdArray{c};
        node->close();
    }
    // B is evaluated as active but told it is not; C cannot be reached by extra activation.
    GraphLayout layout;
    layout.lastId = layout.highId = 3;
    layout.node(a, g.objectOf(a));
    layout.node(b, g.objectOf(b), 0x200);
    layout.node(c, g.objectOf(c), 0x4);
    layout.edge(0, 1);
    layout.link();
    ASSERT_EQ(loadLayout(g, layout), Acad::eOk);

    takeGraphNodeLog();
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
    KxDbTagEvalContext context;
    EXPECT_EQ(graph->evaluate(&context, KxNodeIdArray{a}), Acad::eOk);
    graph->close();
    EXPECT_EQ(takeGraphNodeLog(),
              (Log{L"A.beginEvaluation(1)", L"B.beginEvaluation(0)", L"C.beginEvaluation(0)",
                   L"A.evaluate", L"B.evaluate", L"A.evaluationSucceeded(1)",
                   L"B.evaluationSucceeded(0)", L"C.evaluationSucceeded(0)"}));
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(GraphEvaluation, AResidentNodeThatCannotBeOpenedFailsTheEvaluation) {
    DatabaseGraph g;
    const KxNodeId a = g.add(L"A");
    AcDbObjectId gone;
    {
        AcDbDatabase scratch(true, true);
        auto* node = new KxGraphTestNode(L"X");
        ASSERT_EQ(scratch.addAcDbObject(gone, node), Acad::eOk);
        node->close();
    }
    GraphLayout layout;
    layout.lastId = layout.highId = 2;
    layout.node(a, g.objectOf(a));
    layout.node(2, gone);
    layout.edge(0, 1);
    layout.link();
    ASSERT_EQ(loadLayout(g, layout), Acad::eOk);

    takeGraphNodeLog();
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
    KxDbTagEvalContext context;
    EXPECT_EQ(graph->evaluate(&context, KxNodeIdArray{a}), Acad::eBrokenHandle);
    graph->close();
    EXPECT_EQ(takeGraphNodeLog(), (Log{L"A.evaluationFailed(1)"}));
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
}

TEST_F(GraphEvaluation, ANodeRemovedDuringTheEvaluationIsNotEvaluated) {
    MemoryGraph g;
    KxGraphTestNode* a = g.add(L"A");
    KxGraphTestNode* b = g.add(L"B");
    KxGraphTestNode* c = g.add(L"C");
    ASSERT_EQ(g->addEdge(a->getNodeId(), b->getNodeId()), Acad::eOk);
    ASSERT_EQ(g->addEdge(b->getNodeId(), c->getNodeId()), Acad::eOk);
    b->onEvaluate = [&](KxGraphTestNode*, KxDbTagEvalContext*) {
        EXPECT_EQ(g->removeNode(c), Acad::eOk);
    };
    takeGraphNodeLog();
    KxDbTagEvalContext context;
    EXPECT_EQ(g->evaluate(&context, KxNodeIdArray{a->getNodeId()}), Acad::eOk);
    EXPECT_EQ(graphNodeLogWith(L".evaluate"), (Log{L"A.evaluate", L"B.evaluate"}));
    EXPECT_EQ(c->evaluations, 0);
    delete c;
}

}  // namespace
