// The graph's audit: each kind of damage a drawing can bring is found, reported once and, when
// fixes are asked for, repaired so that a second audit finds nothing.
#include <gtest/gtest.h>

#include "host/db/auditinfo.h"
#include "support/graph_test_nodes.h"

namespace {

using kxtest::GraphLayout;
using kxtest::MemoryGraph;

class GraphAudit : public kxtest::GraphTest {};

// Reads a hand-made record into an in-memory graph (its nodes have no objects, which the audit
// does not need).
void load(MemoryGraph& g, const GraphLayout& layout) {
    kxhost::DwgMemoryFiler filer;
    kxtest::writeHostPartDwg(filer);
    kxtest::writeGraphDwg(filer, layout);
    filer.rewind();
    ASSERT_EQ(g->dwgIn(&filer), Acad::eOk);
}

int audit(KxDbTagEvalGraph* graph, bool fix) {
    AcDbAuditInfo info;
    info.setFixErrors(fix);
    EXPECT_EQ(graph->audit(&info), Acad::eOk);
    EXPECT_EQ(info.numFixes(), fix ? info.numErrors() : 0);
    EXPECT_EQ(static_cast<int>(info.messages().length()), info.numErrors());
    return info.numErrors();
}

// What the graph files now, for comparing before and after.
GraphLayout filed(const KxDbTagEvalGraph* graph) {
    kxhost::DwgMemoryFiler filer;
    EXPECT_EQ(graph->dwgOut(&filer), Acad::eOk);
    GraphLayout layout;
    EXPECT_TRUE(kxtest::parseGraphDwg(filer, kxtest::hostPartItems(AcDb::kFileFiler), layout));
    return layout;
}

KxEdgeInfoArray edgesOf(const KxDbTagEvalGraph* graph, KxNodeId id, bool in) {
    KxEdgeInfoArray edges;
    EXPECT_EQ(in ? graph->getIncomingEdges(id, edges) : graph->getOutgoingEdges(id, edges),
              Acad::eOk);
    return edges;
}

// Nodes 1, 2 and 3 with edges 1->2 and 3->2 (both in node 2's in-list).
GraphLayout threeNodes() {
    GraphLayout layout;
    layout.lastId = layout.highId = 3;
    layout.node(1);
    layout.node(2);
    layout.node(3);
    layout.edge(0, 1);
    layout.edge(2, 1);
    layout.link();
    return layout;
}

TEST_F(GraphAudit, ASoundGraphHasNothingToReport) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    const KxNodeId b = g.addId(L"B");
    ASSERT_EQ(g->addEdge(a, b, true), Acad::eOk);
    EXPECT_EQ(audit(g.graph(), true), 0);
    MemoryGraph loaded;
    load(loaded, threeNodes());
    EXPECT_EQ(audit(loaded.graph(), true), 0);
}

TEST_F(GraphAudit, AHighIdBelowTheLastIdIsRaised) {
    MemoryGraph g;
    GraphLayout layout = threeNodes();
    layout.lastId = 5;
    load(g, layout);
    // Reported without fixes, and left alone.
    EXPECT_EQ(audit(g.graph(), false), 1);
    EXPECT_EQ(audit(g.graph(), false), 1);
    EXPECT_EQ(audit(g.graph(), true), 1);
    EXPECT_EQ(audit(g.graph(), true), 0);
    EXPECT_EQ(filed(g.graph()).highId, 5u);
    EXPECT_EQ(g.addId(L"D"), 6u);
}

TEST_F(GraphAudit, StoredIndicesAreRewrittenToTheirPositions) {
    MemoryGraph g;
    GraphLayout layout = threeNodes();
    layout.nodes[0].index = 7;
    layout.edges[1].index = 0;
    load(g, layout);
    EXPECT_EQ(audit(g.graph(), true), 2);
    EXPECT_EQ(audit(g.graph(), true), 0);
}

TEST_F(GraphAudit, ListEndsThatDisagreeEmptyTheListAndItsEdgesGo) {
    MemoryGraph g;
    GraphLayout layout = threeNodes();
    layout.nodes[1].lastIn = -1;  // first set, last not
    load(g, layout);
    // The ends, then each edge no longer in its target's list.
    EXPECT_EQ(audit(g.graph(), true), 3);
    EXPECT_EQ(audit(g.graph(), true), 0);
    EXPECT_TRUE(edgesOf(g.graph(), 2, true).isEmpty());
    EXPECT_TRUE(edgesOf(g.graph(), 1, false).isEmpty());
    EXPECT_TRUE(edgesOf(g.graph(), 3, false).isEmpty());
}

TEST_F(GraphAudit, LinksAtTheEndsOfAListAreCleared) {
    {
        MemoryGraph g;
        GraphLayout layout = threeNodes();
        layout.edges[0].prevIn = 1;  // the first in-edge of node 2 claims a previous one
        load(g, layout);
        EXPECT_EQ(audit(g.graph(), true), 1);
        EXPECT_EQ(audit(g.graph(), true), 0);
        EXPECT_EQ(edgesOf(g.graph(), 2, true).length(), 2);
    }
    {
        MemoryGraph g;
        GraphLayout layout = threeNodes();
        layout.edges[1].nextOut = 0;  // the last out-edge of node 3 claims a next one
        load(g, layout);
        EXPECT_EQ(audit(g.graph(), true), 1);
        EXPECT_EQ(audit(g.graph(), true), 0);
        EXPECT_EQ(edgesOf(g.graph(), 3, false).length(), 1);
        EXPECT_EQ(edgesOf(g.graph(), 1, false).length(), 1);
    }
}

TEST_F(GraphAudit, BrokenBackLinksAreSet) {
    MemoryGraph g;
    GraphLayout layout = threeNodes();
    layout.edges[1].prevIn = -1;  // node 2's second in-edge forgets the first
    load(g, layout);
    EXPECT_EQ(audit(g.graph(), true), 1);
    EXPECT_EQ(audit(g.graph(), true), 0);
    const KxEdgeInfoArray in = edgesOf(g.graph(), 2, true);
    ASSERT_EQ(in.length(), 2);
    EXPECT_EQ(in[0].sourceId, 1u);
    EXPECT_EQ(in[1].sourceId, 3u);
}

TEST_F(GraphAudit, AnEdgeInAnotherNodesListTakesThatNodeAsItsEnd) {
    MemoryGraph g;
    GraphLayout layout;
    layout.lastId = layout.highId = 3;
    layout.node(1);
    layout.node(2);
    layout.node(3);
    layout.edge(0, 1);
    layout.link();
    // The edge sits in node 3's in-list while it says it feeds node 2.
    layout.nodes[1].firstIn = layout.nodes[1].lastIn = -1;
    layout.nodes[2].firstIn = layout.nodes[2].lastIn = 0;
    load(g, layout);
    EXPECT_EQ(audit(g.graph(), true), 1);
    EXPECT_EQ(audit(g.graph(), true), 0);
    KxEdgeInfo e;
    EXPECT_EQ(g->getEdgeInfo(1, 3, e), Acad::eOk);
    EXPECT_EQ(g->getEdgeInfo(1, 2, e), Acad::eNullObjectPointer);
}

TEST_F(GraphAudit, ListsRunningInACircleAreCut) {
    MemoryGraph g;
    GraphLayout layout = threeNodes();
    // Node 2's in-list: edge 0, edge 1, then back to edge 0.
    layout.edges[1].nextIn = 0;
    layout.edges[0].prevIn = 1;
    load(g, layout);
    // Damaged lists are walked with a bound even before the audit.
    EXPECT_EQ(edgesOf(g.graph(), 2, true).length(), 2);
    ASSERT_EQ(g->activate(KxNodeIdArray{1, 3}), Acad::eOk);
    EXPECT_GT(audit(g.graph(), true), 0);
    EXPECT_EQ(audit(g.graph(), true), 0);
    EXPECT_EQ(edgesOf(g.graph(), 2, true).length(), 2);
}

TEST_F(GraphAudit, AnEdgeNoListReachesIsDeleted) {
    MemoryGraph g;
    GraphLayout layout = threeNodes();
    layout.nodes[2].firstOut = layout.nodes[2].lastOut = -1;  // node 3 lost its out-edge
    load(g, layout);
    EXPECT_EQ(audit(g.graph(), false), 1);
    EXPECT_EQ(edgesOf(g.graph(), 2, true).length(), 2);
    EXPECT_EQ(audit(g.graph(), true), 1);
    EXPECT_EQ(audit(g.graph(), true), 0);
    // Taken out of the list it was still in.
    const KxEdgeInfoArray in = edgesOf(g.graph(), 2, true);
    ASSERT_EQ(in.length(), 1);
    EXPECT_EQ(in[0].sourceId, 1u);
}

TEST_F(GraphAudit, BidirectionalPartnersArePairedOrLoseTheirFlag) {
    {  // A reverse pair whose second half points at a third edge, which points back at it.
        MemoryGraph g;
        GraphLayout layout;
        layout.lastId = layout.highId = 3;
        layout.node(1);
        layout.node(2);
        layout.node(3);
        layout.edge(0, 1, 0x4).partner = 1;  // 1->2
        layout.edge(1, 0, 0x4).partner = 2;  // 2->1
        layout.edge(1, 2, 0x4).partner = 1;  // 2->3
        layout.link();
        load(g, layout);
        // Reported, each edge that is not half of a sound pair counts.
        EXPECT_EQ(audit(g.graph(), false), 3);
        EXPECT_EQ(audit(g.graph(), true), 2);
        EXPECT_EQ(audit(g.graph(), true), 0);
        // The reverse pair is whole; the edge that runs elsewhere is plain.
        KxEdgeInfo e;
        ASSERT_EQ(g->getEdgeInfo(2, 1, e), Acad::eOk);
        EXPECT_EQ(e.flags, 0x4);
        ASSERT_EQ(g->getEdgeInfo(1, 2, e), Acad::eOk);
        EXPECT_EQ(e.flags, 0x4);
        ASSERT_EQ(g->getEdgeInfo(2, 3, e), Acad::eOk);
        EXPECT_EQ(e.flags, 0);
        // The pair now behaves as one: removing one half uses up both.
        ASSERT_EQ(g->removeEdge(1, 2), Acad::eOk);
        EXPECT_EQ(g->getEdgeInfo(2, 1, e), Acad::eNullObjectPointer);
    }
    {  // A partner that runs between other nodes.
        MemoryGraph g;
        GraphLayout layout = threeNodes();
        layout.edges[0].flags = 0x4;
        layout.edges[0].partner = 1;
        layout.edges[1].flags = 0x4;
        layout.edges[1].partner = 0;
        load(g, layout);
        EXPECT_EQ(audit(g.graph(), true), 2);
        EXPECT_EQ(audit(g.graph(), true), 0);
        EXPECT_EQ(edgesOf(g.graph(), 2, true)[0].flags, 0);
    }
}

}  // namespace
