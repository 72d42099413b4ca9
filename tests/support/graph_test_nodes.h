// Small node classes for the evaluation graph's tests: plain nodes that log every hook the graph
// calls on them, can be told to fail their evaluation, their addition to a database or their
// cloning, and file their label and settings so that graph copies carry them.
//
// Register them with kxtest::registerGraphTestNodes() while the module is loaded (the fixture
// kxtest::GraphTest does it), so that cloning can create them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph.h"
#include "support/module_loader.h"

class KxGraphTestNode : public KxDbTagEvalExpr {
  public:
    ACRX_DECLARE_MEMBERS(KxGraphTestNode);
    KxGraphTestNode();
    explicit KxGraphTestNode(const ACHAR* label);
    ~KxGraphTestNode() override;

    // Filed with the node.
    AcString label;
    Acad::ErrorStatus evaluateStatus = Acad::eOk;
    KxNodeIdArray extraActivation;
    // Not filed.
    Acad::ErrorStatus addToDatabaseStatus = Acad::eOk;
    bool cloneFails = false;
    int evaluations = 0;
    bool lastContextNull = false;
    // Called at the start of evaluate.
    std::function<void(KxGraphTestNode*, KxDbTagEvalContext*)> onEvaluate;

    Acad::ErrorStatus addedToGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus removedFromGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus nodeRemoved(KxNodeId id) override;
    Acad::ErrorStatus edgeRemoved(KxNodeId otherId) override;
    Acad::ErrorStatus edgeAdded(KxNodeId sourceId, KxNodeId targetId, bool bidirectional) override;
    Acad::ErrorStatus attachToGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus setOwnerGraph(KxDbTagEvalGraph* graph) override;
    void getExtraActivation(KxNodeIdArray& ids) const override;
    void beginEvaluation(bool isActive) override;
    void evaluationSucceeded(bool isActive) override;
    void evaluationFailed(bool isActive) override;
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;
    Acad::ErrorStatus addToDatabase(AcDbObjectId& id, AcDbDatabase* db) override;

    Acad::ErrorStatus decomposeForSave(AcDb::AcDbDwgVersion ver, AcDbObject*& replaceObj,
                                       AcDbObjectId& replaceId,
                                       Adesk::Boolean& exchangeXData) override;
    AcRxObject* clone() const override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;

  protected:
    void log(const std::wstring& what) const;
};

// Another class, for class comparisons.
class KxGraphOtherTestNode : public KxGraphTestNode {
  public:
    ACRX_DECLARE_MEMBERS(KxGraphOtherTestNode);
    KxGraphOtherTestNode() = default;
    explicit KxGraphOtherTestNode(const ACHAR* label) : KxGraphTestNode(label) {}
};

namespace kxtest {

// Hook log of the test nodes, oldest first: "<label>.<hook>" with arguments, for example
// "A.addedToGraph", "A.edgeAdded(1,2,0)", "A.edgeRemoved(2)", "A.nodeRemoved(3)",
// "A.removedFromGraph", "A.setOwnerGraph", "A.beginEvaluation(1)", "A.evaluate",
// "A.evaluationSucceeded(1)", "A.evaluationFailed(0)", "A.decomposeForSave".
std::vector<std::wstring>& graphNodeLog();
// The entries since the last call (the log is emptied).
std::vector<std::wstring> takeGraphNodeLog();
// The entries of the log that start with the prefix (for example ".evaluate" matches every
// node's evaluate when used with contains).
std::vector<std::wstring> graphNodeLogWith(const std::wstring& part);

// A graph outside any database, holding its test nodes by pointer; deleted with the harness.
class MemoryGraph {
  public:
    MemoryGraph();
    ~MemoryGraph();
    MemoryGraph(const MemoryGraph&) = delete;
    MemoryGraph& operator=(const MemoryGraph&) = delete;
    KxDbTagEvalGraph* graph() const { return m_graph; }
    KxDbTagEvalGraph* operator->() const { return m_graph; }
    // A new test node added to the graph (a failed add is a test failure).
    KxGraphTestNode* add(const ACHAR* label);
    KxNodeId addId(const ACHAR* label) { return add(label)->getNodeId(); }

  private:
    KxDbTagEvalGraph* m_graph;
};

// A graph in its own database, closed between calls.
class DatabaseGraph {
  public:
    DatabaseGraph();
    ~DatabaseGraph();
    DatabaseGraph(const DatabaseGraph&) = delete;
    DatabaseGraph& operator=(const DatabaseGraph&) = delete;
    AcDbDatabase* db() const { return m_db; }
    AcDbObjectId graphId() const { return m_graphId; }
    // Opens the graph; the caller closes it.
    KxDbTagEvalGraph* open(AcDb::OpenMode mode) const;
    // A new test node added through the graph; returns its node id (0 on failure).
    KxNodeId add(const ACHAR* label);
    // The database object of a node.
    AcDbObjectId objectOf(KxNodeId id) const;
    // The test node of a node id, opened; the caller closes it.
    KxGraphTestNode* openNode(KxNodeId id, AcDb::OpenMode mode) const;

  private:
    AcDbDatabase* m_db;
    AcDbObjectId m_graphId;
};

// The graph part of a record, by index as it is filed.
struct GraphLayoutNode {
    Adesk::Int32 index = 0;
    Adesk::Int32 flags = 0;
    KxNodeId id = 0;
    AcDbObjectId object;
    Adesk::Int32 firstIn = -1;
    Adesk::Int32 lastIn = -1;
    Adesk::Int32 firstOut = -1;
    Adesk::Int32 lastOut = -1;
};
struct GraphLayoutEdge {
    Adesk::Int32 index = 0;
    Adesk::Int32 flags = 0;
    Adesk::Int32 refCount = 1;
    Adesk::Int32 source = -1;
    Adesk::Int32 target = -1;
    Adesk::Int32 prevIn = -1;
    Adesk::Int32 nextIn = -1;
    Adesk::Int32 prevOut = -1;
    Adesk::Int32 nextOut = -1;
    Adesk::Int32 partner = -1;
};
struct GraphLayout {
    KxNodeId lastId = 0;
    KxNodeId highId = 0;
    std::vector<GraphLayoutNode> nodes;
    std::vector<GraphLayoutEdge> edges;

    // Appends a node with the next index.
    GraphLayoutNode& node(KxNodeId id, AcDbObjectId object = AcDbObjectId(),
                          Adesk::Int32 flags = 0);
    // Appends an edge with the next index (bidirectional pairs: set the partners yourself).
    GraphLayoutEdge& edge(Adesk::Int32 source, Adesk::Int32 target, Adesk::Int32 flags = 0,
                          Adesk::Int32 refCount = 1);
    // Fills every list end and link from the edges, each list in edge order.
    void link();
};

// The graph's own part of a DWG record, and the host's part before it (as an empty object files
// it), so that a whole record can be made for a graph to read.
void writeGraphDwg(kxhost::DwgMemoryFiler& filer, const GraphLayout& layout);
void writeHostPartDwg(kxhost::DwgMemoryFiler& filer);
void writeGraphDxf(kxhost::DxfMemoryFiler& filer, const GraphLayout& layout);
// Reads the graph part written by a graph, after `skip` items of the host's part.
bool parseGraphDwg(const kxhost::DwgMemoryFiler& filer, int skip, GraphLayout& layout);
// The number of items the host's part of a graph takes in this filer's type.
int hostPartItems(AcDb::FilerType type);
// A copy of the first `count` items of a stream, optionally with the integer or id at `replaceAt`
// replaced by `value`.
void copyDwgItems(const kxhost::DwgMemoryFiler& from, kxhost::DwgMemoryFiler& to, int count,
                  int replaceAt = -1, Adesk::Int64 value = 0);

void registerGraphTestNodes();
void unregisterGraphTestNodes();

// The module loaded, the test node classes registered, an empty log, and the host's open and
// assertion counters reset.
class GraphTest : public ModuleTest {
  protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace kxtest
