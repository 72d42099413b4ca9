// DWG and DXF filing of the graph: round trips, the dense form written after removals, node ids
// after reading, and readers facing damaged or hostile data.
#include <climits>

#include <gtest/gtest.h>

#include "host/db/auditinfo.h"
#include "module/graph/eval_context.h"
#include "support/graph_test_nodes.h"

namespace {

using kxtest::DatabaseGraph;
using kxtest::GraphLayout;
using kxtest::MemoryGraph;

class GraphFiling : public kxtest::GraphTest {};

KxNodeIdArray allIds(const KxDbTagEvalGraph* graph) {
    KxNodeIdArray ids;
    EXPECT_EQ(graph->getAllNodeIds(ids), Acad::eOk);
    return ids;
}

KxEdgeInfoArray outgoing(const KxDbTagEvalGraph* graph, KxNodeId id) {
    KxEdgeInfoArray edges;
    EXPECT_EQ(graph->getOutgoingEdges(id, edges), Acad::eOk);
    return edges;
}

// Three nodes with a doubly used edge, a bidirectional pair and a plain edge.
void buildResident(DatabaseGraph& g) {
    const KxNodeId a = g.add(L"A");
    const KxNodeId b = g.add(L"B");
    const KxNodeId c = g.add(L"C");
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
    ASSERT_EQ(graph->addEdge(a, b), Acad::eOk);
    ASSERT_EQ(graph->addEdge(a, b), KxStatus::kEdgeExists);
    ASSERT_EQ(graph->addEdge(b, c, true), Acad::eOk);
    ASSERT_EQ(graph->addEdge(a, c), Acad::eOk);
    graph->close();
}

// A graph object added to the database, open for write, to read into.
KxDbTagEvalGraph* newResidentGraph(AcDbDatabase* db) {
    auto* graph = new KxDbTagEvalGraph();
    AcDbObjectId id;
    EXPECT_EQ(db->addAcDbObject(id, graph), Acad::eOk);
    return graph;
}

kxhost::DxfMemoryFiler dxfOf(const GraphLayout& layout, AcDbDatabase* db) {
    kxhost::DxfMemoryFiler filer(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent, db);
    kxtest::writeGraphDxf(filer, layout);
    filer.rewind();
    return filer;
}

TEST_F(GraphFiling, AResidentGraphSurvivesADwgRoundTrip) {
    DatabaseGraph g;
    buildResident(g);
    kxhost::DwgMemoryFiler filer(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                 g.db());
    KxDbTagEvalGraph* original = g.open(AcDb::kForRead);
    ASSERT_EQ(original->dwgOut(&filer), Acad::eOk);

    KxDbTagEvalGraph* loaded = newResidentGraph(g.db());
    filer.rewind();
    ASSERT_EQ(loaded->dwgIn(&filer), Acad::eOk);
    EXPECT_TRUE(loaded->isGraphEquivalent(original));
    EXPECT_EQ(allIds(loaded), (KxNodeIdArray{1, 2, 3}));
    KxEdgeInfo e;
    ASSERT_EQ(loaded->getEdgeInfo(1, 2, e), Acad::eOk);
    EXPECT_EQ(e.refCount, 2);
    ASSERT_EQ(loaded->getEdgeInfo(3, 2, e), Acad::eOk);
    EXPECT_EQ(e.flags, 0x4);

    // Writing the loaded graph gives the same record.
    kxhost::DwgMemoryFiler again(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                 g.db());
    ASSERT_EQ(loaded->dwgOut(&again), Acad::eOk);
    EXPECT_TRUE(again.sameItems(filer)) << again.describe().utf8();

    // It evaluates its nodes by id, and hands out the next id after its high id.
    KxDbTagEvalContext context;
    kxtest::takeGraphNodeLog();
    EXPECT_EQ(loaded->evaluate(&context, KxNodeIdArray{1}), Acad::eOk);
    EXPECT_EQ(kxtest::graphNodeLogWith(L".evaluate"),
              (std::vector<std::wstring>{L"A.evaluate", L"B.evaluate", L"C.evaluate"}));
    auto* d = new KxGraphTestNode(L"D");
    KxNodeId id = 0;
    ASSERT_EQ(loaded->addNode(d, id), Acad::eOk);
    EXPECT_EQ(id, 4u);
    d->close();
    loaded->close();
    original->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(GraphFiling, AResidentGraphSurvivesADxfRoundTrip) {
    DatabaseGraph g;
    buildResident(g);
    kxhost::DxfMemoryFiler filer(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                 g.db());
    KxDbTagEvalGraph* original = g.open(AcDb::kForRead);
    ASSERT_EQ(original->dxfOut(&filer), Acad::eOk);
    ASSERT_GT(filer.itemCount(), 0);
    EXPECT_EQ(filer.items()[0].code, 100);
    EXPECT_EQ(filer.items()[0].text, L"AcDbEvalGraph");

    KxDbTagEvalGraph* loaded = newResidentGraph(g.db());
    filer.rewind();
    ASSERT_EQ(loaded->dxfIn(&filer), Acad::eOk);
    EXPECT_TRUE(loaded->isGraphEquivalent(original));
    kxhost::DxfMemoryFiler again(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                 g.db());
    ASSERT_EQ(loaded->dxfOut(&again), Acad::eOk);
    EXPECT_TRUE(again.sameItems(filer)) << again.describe().utf8();
    loaded->close();
    original->close();
}

TEST_F(GraphFiling, AnInMemoryGraphKeepsItsStructureWithoutItsObjects) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    const KxNodeId b = g.addId(L"B");
    const KxNodeId c = g.addId(L"C");
    ASSERT_EQ(g->addEdge(a, b), Acad::eOk);
    ASSERT_EQ(g->addEdge(c, a, true), Acad::eOk);
    kxhost::DwgMemoryFiler filer;
    ASSERT_EQ(g->dwgOut(&filer), Acad::eOk);

    GraphLayout written;
    ASSERT_TRUE(kxtest::parseGraphDwg(filer, kxtest::hostPartItems(AcDb::kFileFiler), written));
    ASSERT_EQ(written.nodes.size(), 3u);
    for (const auto& node : written.nodes) {
        EXPECT_TRUE(node.object.isNull());
    }

    MemoryGraph loaded;
    filer.rewind();
    ASSERT_EQ(loaded->dwgIn(&filer), Acad::eOk);
    EXPECT_TRUE(loaded->isStructureEqual(g.graph()));
    EXPECT_EQ(allIds(loaded.graph()), (KxNodeIdArray{a, b, c}));
    KxDbTagEvalExpr* node = nullptr;
    EXPECT_EQ(loaded->getNode(a, AcDb::kForRead, node), Acad::eNullObjectPointer);
    EXPECT_EQ(outgoing(loaded.graph(), c), outgoing(g.graph(), c));
}

TEST_F(GraphFiling, RemovedNodesAndTheirEdgesAreLeftOutAndIndicesAreDense) {
    MemoryGraph g;
    const KxNodeId a = g.addId(L"A");
    KxGraphTestNode* bNode = g.add(L"B");
    const KxNodeId b = bNode->getNodeId();
    const KxNodeId c = g.addId(L"C");
    const KxNodeId d = g.addId(L"D");
    ASSERT_EQ(g->addEdge(a, b), Acad::eOk);
    ASSERT_EQ(g->addEdge(b, c), Acad::eOk);
    ASSERT_EQ(g->addEdge(a, c), Acad::eOk);
    ASSERT_EQ(g->addEdge(c, d), Acad::eOk);
    ASSERT_EQ(g->removeNode(b), Acad::eOk);
    delete bNode;

    kxhost::DwgMemoryFiler filer;
    ASSERT_EQ(g->dwgOut(&filer), Acad::eOk);
    GraphLayout written;
    ASSERT_TRUE(kxtest::parseGraphDwg(filer, kxtest::hostPartItems(AcDb::kFileFiler), written));
    EXPECT_EQ(written.lastId, 4u);
    EXPECT_EQ(written.highId, 4u);
    ASSERT_EQ(written.nodes.size(), 3u);
    ASSERT_EQ(written.edges.size(), 2u);
    const KxNodeId ids[] = {a, c, d};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(written.nodes[i].index, i);
        EXPECT_EQ(written.nodes[i].id, ids[i]);
    }
    // The first edge is filed as index 0, which is not "none".
    EXPECT_EQ(written.edges[0].index, 0);
    EXPECT_EQ(written.edges[0].source, 0);
    EXPECT_EQ(written.edges[0].target, 1);
    EXPECT_EQ(written.edges[1].index, 1);
    EXPECT_EQ(written.edges[1].source, 1);
    EXPECT_EQ(written.edges[1].target, 2);
    EXPECT_EQ(written.nodes[0].firstOut, 0);
    EXPECT_EQ(written.nodes[0].lastOut, 0);
    EXPECT_EQ(written.nodes[1].firstIn, 0);
    EXPECT_EQ(written.nodes[1].firstOut, 1);
    EXPECT_EQ(written.nodes[2].lastIn, 1);
    EXPECT_EQ(written.edges[0].nextOut, -1);
    EXPECT_EQ(written.edges[0].prevIn, -1);

    MemoryGraph loaded;
    filer.rewind();
    ASSERT_EQ(loaded->dwgIn(&filer), Acad::eOk);
    KxEdgeInfoArray in;
    ASSERT_EQ(loaded->getIncomingEdges(c, in), Acad::eOk);
    ASSERT_EQ(in.length(), 1);
    EXPECT_EQ(in[0].sourceId, a);
}

TEST_F(GraphFiling, IdsHandedOutAfterReadingRaiseTheHighId) {
    DatabaseGraph g;
    const KxNodeId a = g.add(L"A");
    const KxNodeId b = g.add(L"B");
    const KxNodeId c = g.add(L"C");
    GraphLayout layout;
    layout.lastId = 0;
    layout.highId = 3;
    layout.node(a, g.objectOf(a));
    layout.node(b, g.objectOf(b));
    layout.node(c, g.objectOf(c));
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
    kxhost::DxfMemoryFiler in = dxfOf(layout, g.db());
    ASSERT_EQ(graph->dxfIn(&in), Acad::eOk);
    graph->close();

    EXPECT_EQ(g.add(L"D"), 4u);
    graph = g.open(AcDb::kForWrite);
    kxhost::DxfMemoryFiler out(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                               g.db());
    ASSERT_EQ(graph->dxfOut(&out), Acad::eOk);
    EXPECT_EQ(out.items()[2].code, 97);
    EXPECT_EQ(out.items()[2].integer, 4);
    out.rewind();
    ASSERT_EQ(graph->dxfIn(&out), Acad::eOk);
    EXPECT_EQ(allIds(graph), (KxNodeIdArray{1, 2, 3, 4}));
    AcDbAuditInfo info;
    info.setFixErrors(true);
    EXPECT_EQ(graph->audit(&info), Acad::eOk);
    EXPECT_EQ(info.numErrors(), 0);
    graph->close();
}

TEST_F(GraphFiling, IdsLeftFreeBelowTheHighIdAreUsedFirst) {
    DatabaseGraph g;
    const KxNodeId a = g.add(L"A");
    const KxNodeId b = g.add(L"B");
    const KxNodeId c = g.add(L"C");
    GraphLayout layout;
    layout.lastId = 0;
    layout.highId = 5;
    layout.node(1, g.objectOf(a));
    layout.node(2, g.objectOf(b));
    layout.node(4, g.objectOf(c));
    // The node objects keep the ids they are filed under.
    KxGraphTestNode* node = g.openNode(c, AcDb::kForWrite);
    node->setNodeId(4);
    node->close();
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
    kxhost::DxfMemoryFiler in = dxfOf(layout, g.db());
    ASSERT_EQ(graph->dxfIn(&in), Acad::eOk);
    graph->close();

    EXPECT_EQ(g.add(L"D"), 3u);
    EXPECT_EQ(g.add(L"E"), 5u);
    EXPECT_EQ(g.add(L"F"), 6u);
    graph = g.open(AcDb::kForRead);
    EXPECT_EQ(allIds(graph), (KxNodeIdArray{1, 2, 4, 3, 5, 6}));
    graph->close();
}

// DXF groups of a graph with one node and one edge to itself's neighbour, written by hand.
struct DxfWriter {
    kxhost::DxfMemoryFiler filer;
    void marker() { filer.writeString(100, L"AcDbEvalGraph"); }
    void i32(int code, Adesk::Int32 v) { filer.writeInt32(code, v); }
    void id(const AcDbObjectId& object) { filer.writeObjectId(360, object); }
    void node(Adesk::Int32 index, KxNodeId nodeId, const AcDbObjectId& object, int ends = 4) {
        i32(91, index);
        i32(93, 0);
        i32(95, static_cast<Adesk::Int32>(nodeId));
        id(object);
        for (int i = 0; i < ends; ++i) {
            i32(92, -1);
        }
    }
};

TEST_F(GraphFiling, TheDxfReaderRefusesGroupsOutOfOrder) {
    DatabaseGraph g;
    const KxNodeId a = g.add(L"A");
    const KxNodeId b = g.add(L"B");
    const AcDbObjectId oa = g.objectOf(a);
    const AcDbObjectId ob = g.objectOf(b);
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);

    {  // A node with three list ends, then the next node.
        DxfWriter w;
        w.marker();
        w.i32(96, 2);
        w.i32(97, 2);
        w.node(0, a, oa, 3);
        w.node(1, b, ob);
        w.filer.rewind();
        EXPECT_EQ(graph->dxfIn(&w.filer), Acad::eInvalidInput);
        EXPECT_EQ(w.filer.filerStatus(), Acad::eInvalidInput);
        EXPECT_TRUE(allIds(graph).isEmpty());
    }
    {  // An edge's links before its ends.
        DxfWriter w;
        w.marker();
        w.i32(96, 2);
        w.i32(97, 2);
        w.node(0, a, oa);
        w.node(1, b, ob);
        w.i32(92, 0);
        w.i32(93, 0);
        w.i32(94, 1);
        w.i32(92, -1);
        w.filer.rewind();
        EXPECT_EQ(graph->dxfIn(&w.filer), Acad::eInvalidInput);
    }
    {  // A group that is not the graph's is left for the next reader.
        DxfWriter w;
        w.marker();
        w.i32(96, 2);
        w.filer.writeDouble(40, 1.5);
        w.i32(97, 2);
        w.filer.rewind();
        EXPECT_EQ(graph->dxfIn(&w.filer), Acad::eInvalidResBuf);
        w.filer.resetFilerStatus();
        resbuf item{};
        ASSERT_EQ(w.filer.readItem(&item), Acad::eOk);
        EXPECT_EQ(item.restype, 40);
    }
    {  // Without the subclass marker nothing is read, and that is not a success.
        DxfWriter w;
        w.i32(96, 2);
        w.filer.rewind();
        EXPECT_NE(graph->dxfIn(&w.filer), Acad::eOk);
        EXPECT_NE(w.filer.filerStatus(), Acad::eOk);
    }
    {  // The well-formed record reads.
        DxfWriter w;
        w.marker();
        w.i32(96, 2);
        w.i32(97, 2);
        w.node(0, a, oa);
        w.node(1, b, ob);
        w.filer.rewind();
        EXPECT_EQ(graph->dxfIn(&w.filer), Acad::eOk);
        EXPECT_EQ(allIds(graph), (KxNodeIdArray{a, b}));
    }
    graph->close();
}

// One way to break an otherwise sound record.
struct Damage {
    const char* what;
    void (*apply)(GraphLayout&);
};

const Damage kDamages[] = {
    {"edge source out of range", [](GraphLayout& s) { s.edges[0].source = 5; }},
    {"edge target negative", [](GraphLayout& s) { s.edges[0].target = -1; }},
    {"node id 0", [](GraphLayout& s) { s.nodes[1].id = 0; }},
    {"node id above the high id", [](GraphLayout& s) { s.nodes[1].id = 9; }},
    {"list end past the edges", [](GraphLayout& s) { s.nodes[0].lastOut = 2; }},
    {"link past the edges", [](GraphLayout& s) { s.edges[0].nextIn = 7; }},
    {"unused edge", [](GraphLayout& s) { s.edges[0].refCount = 0; }},
    {"partner without the flag", [](GraphLayout& s) { s.edges[0].partner = 0; }},
    {"flag without a partner", [](GraphLayout& s) { s.edges[0].flags = 0x4; }},
    {"own partner",
     [](GraphLayout& s) {
         s.edges[0].flags = 0x4;
         s.edges[0].partner = 0;
     }},
};

GraphLayout soundLayout(KxNodeId a, const AcDbObjectId& oa, KxNodeId b, const AcDbObjectId& ob) {
    GraphLayout layout;
    layout.lastId = layout.highId = 2;
    layout.node(a, oa);
    layout.node(b, ob);
    layout.edge(0, 1);
    layout.link();
    return layout;
}

TEST_F(GraphFiling, BothReadersRefuseInconsistentRecords) {
    DatabaseGraph g;
    const KxNodeId a = g.add(L"A");
    const KxNodeId b = g.add(L"B");
    const AcDbObjectId oa = g.objectOf(a);
    const AcDbObjectId ob = g.objectOf(b);
    KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
    for (const Damage& damage : kDamages) {
        GraphLayout layout = soundLayout(a, oa, b, ob);
        damage.apply(layout);
        kxhost::DxfMemoryFiler dxf = dxfOf(layout, g.db());
        EXPECT_EQ(graph->dxfIn(&dxf), Acad::eBadDxfSequence) << damage.what;
        EXPECT_EQ(dxf.filerStatus(), Acad::eBadDxfSequence) << damage.what;
        EXPECT_TRUE(allIds(graph).isEmpty()) << damage.what;

        kxhost::DwgMemoryFiler dwg(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                   g.db());
        kxtest::writeHostPartDwg(dwg);
        kxtest::writeGraphDwg(dwg, layout);
        dwg.rewind();
        EXPECT_EQ(graph->dwgIn(&dwg), Acad::eBadDxfSequence) << damage.what;
        EXPECT_EQ(dwg.filerStatus(), Acad::eBadDxfSequence) << damage.what;
        EXPECT_TRUE(allIds(graph).isEmpty()) << damage.what;
    }
    {  // DXF nodes must name their objects; DWG ones need not (in-memory graphs file none).
        GraphLayout layout = soundLayout(a, oa, b, ob);
        layout.nodes[0].object = AcDbObjectId();
        kxhost::DxfMemoryFiler dxf = dxfOf(layout, g.db());
        EXPECT_EQ(graph->dxfIn(&dxf), Acad::eBadDxfSequence);
    }
    {  // Two nodes under one id.
        GraphLayout layout = soundLayout(a, oa, b, ob);
        layout.nodes[1].id = a;
        kxhost::DxfMemoryFiler dxf = dxfOf(layout, g.db());
        EXPECT_EQ(graph->dxfIn(&dxf), KxStatus::kNodeExists);
        EXPECT_TRUE(allIds(graph).isEmpty());
    }
    {  // A count that cannot be right.
        kxhost::DwgMemoryFiler dwg;
        kxtest::writeHostPartDwg(dwg);
        dwg.writeInt32(2);
        dwg.writeInt32(2);
        dwg.writeInt32(-3);
        dwg.rewind();
        EXPECT_EQ(graph->dwgIn(&dwg), Acad::eBadDxfSequence);
    }
    {  // The sound record reads in both forms.
        GraphLayout layout = soundLayout(a, oa, b, ob);
        kxhost::DxfMemoryFiler dxf = dxfOf(layout, g.db());
        EXPECT_EQ(graph->dxfIn(&dxf), Acad::eOk);
        EXPECT_EQ(allIds(graph), (KxNodeIdArray{a, b}));
    }
    graph->close();
}

TEST_F(GraphFiling, AFailedReadDropsTheNodesTheGraphHeld) {
    MemoryGraph g;
    g.add(L"A");
    g.add(L"B");
    kxhost::DwgMemoryFiler truncated;
    kxtest::writeHostPartDwg(truncated);
    truncated.writeInt32(2);
    truncated.rewind();
    EXPECT_NE(g->dwgIn(&truncated), Acad::eOk);
    EXPECT_TRUE(allIds(g.graph()).isEmpty());
}

// Runs everything a loaded graph offers; damaged data must never crash or hang it, and an audit
// with fixes must leave nothing for a second audit to find.
void exercise(KxDbTagEvalGraph* graph, const std::string& where) {
    KxNodeIdArray ids;
    graph->getAllNodeIds(ids);
    KxNodeIdArray activated;
    KxNodeIdArray cycles;
    graph->activate(ids, &activated, &cycles);
    KxDbTagEvalContext context;
    graph->evaluate(&context, ids);
    for (KxNodeId id : ids) {
        KxEdgeInfoArray edges;
        graph->getIncomingEdges(id, edges);
        graph->getOutgoingEdges(id, edges);
    }
    AcDbAuditInfo fix;
    fix.setFixErrors(true);
    EXPECT_EQ(graph->audit(&fix), Acad::eOk) << where;
    AcDbAuditInfo check;
    check.setFixErrors(true);
    graph->audit(&check);
    std::string messages;
    for (const AcString& line : check.messages()) {
        messages += line.utf8() + "\n";
    }
    EXPECT_EQ(check.numErrors(), 0) << where << "\n" << messages;
    graph->evaluate(&context, ids);
    if (ids.length() >= 2) {
        graph->addEdge(ids[ids.length() - 1], ids[0], true);
        graph->removeEdge(ids[0], ids[ids.length() - 1]);
        graph->removeNode(ids[0]);
    }
    kxhost::DwgMemoryFiler out;
    graph->dwgOut(&out);
}

TEST_F(GraphFiling, DamagedDwgRecordsNeverCrashOrHang) {
    DatabaseGraph g;
    buildResident(g);
    g.add(L"D");
    {
        KxDbTagEvalGraph* graph = g.open(AcDb::kForWrite);
        ASSERT_EQ(graph->addEdge(3, 4), Acad::eOk);
        ASSERT_EQ(graph->addEdge(4, 1, true), Acad::eOk);
        graph->close();
    }
    kxhost::DwgMemoryFiler sound(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                 g.db());
    KxDbTagEvalGraph* source = g.open(AcDb::kForRead);
    ASSERT_EQ(source->dwgOut(&sound), Acad::eOk);
    source->close();
    const int count = sound.itemCount();
    const int skip = kxtest::hostPartItems(AcDb::kFileFiler);

    KxDbTagEvalGraph* graph = newResidentGraph(g.db());
    // Every truncation fails.
    for (int n = 0; n < count; ++n) {
        kxhost::DwgMemoryFiler cut(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                   g.db());
        kxtest::copyDwgItems(sound, cut, n);
        cut.rewind();
        EXPECT_NE(graph->dwgIn(&cut), Acad::eOk) << "cut at " << n;
        EXPECT_TRUE(allIds(graph).isEmpty());
    }
    // Every item of the graph's part replaced by odd values: refused or usable.
    const Adesk::Int64 values[] = {-7, -1, 0, 1, 2, 3, 5, 1000, INT_MAX, INT_MIN};
    int accepted = 0;
    for (int at = skip; at < count; ++at) {
        for (Adesk::Int64 value : values) {
            kxhost::DwgMemoryFiler bent(AcDb::kFileFiler, AcDb::kDHL_CURRENT,
                                        AcDb::kMReleaseCurrent, g.db());
            kxtest::copyDwgItems(sound, bent, count, at, value);
            bent.rewind();
            if (graph->dwgIn(&bent) == Acad::eOk) {
                ++accepted;
                exercise(graph, "item " + std::to_string(at) + " = " + std::to_string(value));
            } else {
                EXPECT_TRUE(allIds(graph).isEmpty());
            }
        }
    }
    EXPECT_GT(accepted, 0);
    graph->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
}

}  // namespace
