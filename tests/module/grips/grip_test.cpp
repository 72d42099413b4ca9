// The grip base: its two expression nodes as the grip joins and leaves graphs (in memory and in a
// database, and when adding them fails), graph copies, the grip connections, positions and
// offsets, the commit after an evaluation, and the DWG and DXF records with their older layouts.
#include <gtest/gtest.h>

#include "host/core/heap.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip.h"
#include "module/grips/grip_expr.h"
#include "module/grips/grip_imp.h"
#include "support/test_elements.h"

// A grip of the base class alone: its parameter point is the origin unless its parameter is a
// point parameter, so its grip offset is its location.
class KxTestGrip : public KxDbTagGrip {
  public:
    ACRX_DECLARE_MEMBERS(KxTestGrip);
};
ACRX_DEFINE_MEMBERS(KxTestGrip)

// A graph whose n-th addNode fails, before or after the node went into the database.
class KxFailingGraph : public KxDbTagEvalGraph {
  public:
    ACRX_DECLARE_MEMBERS(KxFailingGraph);
    int failAt = 0;
    bool addToDatabaseFirst = false;
    int calls = 0;

    Acad::ErrorStatus addNode(KxDbTagEvalExpr* node, KxNodeId& id) override {
        if (++calls == failAt) {
            if (addToDatabaseFirst && database() != nullptr && node->database() == nullptr) {
                database()->addAcDbObject(node);
            }
            return Acad::eOutOfMemory;
        }
        return KxDbTagEvalGraph::addNode(node, id);
    }
};
ACRX_DEFINE_MEMBERS(KxFailingGraph)

namespace {

using Filer = kxhost::DwgMemoryFiler;
using DxfFiler = kxhost::DxfMemoryFiler;

AcDb::AcDbDwgVersion ver(int v) {
    return static_cast<AcDb::AcDbDwgVersion>(v);
}
AcDb::MaintenanceReleaseVersion maint(int m) {
    return static_cast<AcDb::MaintenanceReleaseVersion>(m);
}

KxDbImpTagGrip* gripImp(const KxDbTagGrip* grip) {
    return kxImpOf<KxDbImpTagGrip>(grip);
}

// The value of an expression node of the graph (NaN when it cannot be read).
double exprValue(const KxDbTagEvalGraph* graph, KxNodeId id) {
    KxDbTagEvalExpr* node = nullptr;
    if (graph->getNode(id, AcDb::kForRead, node) != Acad::eOk) {
        return std::nan("");
    }
    const KxDbTagEvalVariant value = node->getValue();
    const bool isExpr = KxDbTagGripExpr::cast(node) != nullptr;
    node->close();
    return isExpr && value.type() == 40 ? value.resval.rreal : std::nan("");
}

// Writes a copy of one item of a stream; false for a kind it does not know.
bool copyItem(const Filer::Item& item, Filer& to) {
    using Kind = Filer::ItemKind;
    AcDbObjectId id;
    id.setFromOldId(static_cast<Adesk::Int64>(item.bits));
    switch (item.kind) {
        case Kind::kBool:
            to.writeBool(item.bits != 0);
            return true;
        case Kind::kInt16:
            to.writeInt16(static_cast<Adesk::Int16>(item.bits));
            return true;
        case Kind::kInt32:
            to.writeInt32(static_cast<Adesk::Int32>(item.bits));
            return true;
        case Kind::kUInt32:
            to.writeUInt32(static_cast<Adesk::UInt32>(item.bits));
            return true;
        case Kind::kDouble:
            to.writeDouble(item.v[0]);
            return true;
        case Kind::kString:
            to.writeString(item.text.c_str());
            return true;
        case Kind::kPoint3d:
            to.writePoint3d(AcGePoint3d(item.v[0], item.v[1], item.v[2]));
            return true;
        case Kind::kHardOwnershipId:
            to.writeHardOwnershipId(id);
            return true;
        case Kind::kSoftOwnershipId:
            to.writeSoftOwnershipId(id);
            return true;
        case Kind::kHardPointerId:
            to.writeHardPointerId(id);
            return true;
        case Kind::kSoftPointerId:
            to.writeSoftPointerId(id);
            return true;
        default:
            return false;
    }
}

int liveNodes(const KxDbTagEvalGraph* graph) {
    KxNodeIdArray ids;
    EXPECT_EQ(graph->getAllNodeIds(ids), Acad::eOk);
    return ids.length();
}

class GripTest : public kxtest::TestElementsTest {
  protected:
    void SetUp() override {
        kxtest::TestElementsTest::SetUp();
        KxTestGrip::descCache() = newAcRxClass(
            L"KxTestGrip", L"KxDbTagGrip", 33, 55, 1153,
            []() -> AcRxObject* { return new KxTestGrip(); }, L"KXTESTGRIP", L"KXTEST");
        KxFailingGraph::descCache() = newAcRxClass(
            L"KxFailingGraph", L"KxDbTagEvalGraph", 33, 55, 1153,
            []() -> AcRxObject* { return new KxFailingGraph(); }, L"KXFAILINGGRAPH", L"KXTEST");
        acrxBuildClassHierarchy();
        kxhost::resetAssertionViolations();
        kxhost::resetUnmatchedCloses();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        deleteAcRxClass(KxFailingGraph::desc());
        deleteAcRxClass(KxTestGrip::desc());
        KxFailingGraph::descCache() = nullptr;
        KxTestGrip::descCache() = nullptr;
        kxtest::TestElementsTest::TearDown();
    }
};

// An in-memory graph with a test parameter and a test grip.
struct MemoryGraphWithGrip {
    KxDbTagEvalGraph* graph = new KxDbTagEvalGraph();
    KxTestParam* param = kxtest::makeTestParam(L"Param", 2.5);
    KxTestGrip* grip = new KxTestGrip();
    KxNodeId paramId = 0;
    KxNodeId gripId = 0;

    MemoryGraphWithGrip() {
        EXPECT_EQ(graph->addNode(param, paramId), Acad::eOk);
        EXPECT_EQ(graph->addNode(grip, gripId), Acad::eOk);
    }
    ~MemoryGraphWithGrip() { delete graph; }
};

// --- Expression nodes -------------------------------------------------------------------------

TEST_F(GripTest, JoiningAndLeavingAnInMemoryGraphKeepsThePosition) {
    const long blocks = kxhost::heapLiveBlocks();
    {
        auto* graph = new KxDbTagEvalGraph();
        auto* grip = new KxTestGrip();
        // Out of a graph the position is the fallback position.
        ASSERT_EQ(grip->setGripPosition(AcGePoint3d(3, 4, 5)), Acad::eOk);
        EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(3, 4, 5));
        EXPECT_EQ(grip->xExpressionId(), 0u);

        KxNodeId gripId = 0;
        ASSERT_EQ(graph->addNode(grip, gripId), Acad::eOk);
        EXPECT_EQ(liveNodes(graph), 3);
        const KxNodeId xId = grip->xExpressionId();
        const KxNodeId yId = grip->yExpressionId();
        ASSERT_NE(xId, 0u);
        ASSERT_NE(yId, 0u);
        EXPECT_NE(xId, yId);
        EXPECT_NE(xId, gripId);
        // The expressions start from the fallback position; z has no expression.
        EXPECT_EQ(exprValue(graph, xId), 3.0);
        EXPECT_EQ(exprValue(graph, yId), 4.0);
        EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(3, 4, 0));

        // In a graph the expressions take the position.
        ASSERT_EQ(grip->setGripPosition(AcGePoint3d(7, 8, 9)), Acad::eOk);
        EXPECT_EQ(exprValue(graph, xId), 7.0);
        EXPECT_EQ(exprValue(graph, yId), 8.0);
        EXPECT_EQ(gripImp(grip)->fallbackPosition(), AcGePoint3d(3, 4, 5));

        // Leaving the graph takes the expressions along and keeps their last values.
        ASSERT_EQ(graph->removeNode(grip), Acad::eOk);
        EXPECT_EQ(liveNodes(graph), 0);
        EXPECT_EQ(grip->xExpressionId(), 0u);
        EXPECT_EQ(grip->yExpressionId(), 0u);
        EXPECT_EQ(grip->getNodeId(), 0u);
        EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(7, 8, 5));

        // Joining again starts the new expressions there.
        ASSERT_EQ(graph->addNode(grip, gripId), Acad::eOk);
        EXPECT_EQ(exprValue(graph, grip->xExpressionId()), 7.0);
        EXPECT_EQ(exprValue(graph, grip->yExpressionId()), 8.0);
        delete graph;
    }
    EXPECT_EQ(kxhost::heapLiveBlocks(), blocks);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(GripTest, JoiningAndLeavingADatabaseGraphKeepsThePosition) {
    AcDbDatabase db;
    auto* graph = new KxDbTagEvalGraph();
    AcDbObjectId graphId;
    ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
    auto* grip = new KxTestGrip();
    grip->setGripPosition(AcGePoint3d(-1, 2, 0));
    KxNodeId gripId = 0;
    ASSERT_EQ(graph->addNode(grip, gripId), Acad::eOk);
    const AcDbObjectId gripObject = grip->objectId();
    const KxNodeId xId = grip->xExpressionId();
    const KxNodeId yId = grip->yExpressionId();
    grip->close();
    graph->close();
    ASSERT_NE(xId, 0u);
    ASSERT_NE(yId, 0u);

    // Every node is a database object owned by the graph.
    ASSERT_EQ(acdbOpenObject(graph, graphId, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(liveNodes(graph), 3);
    KxDbTagEvalExpr* xNode = nullptr;
    ASSERT_EQ(graph->getNode(xId, AcDb::kForRead, xNode), Acad::eOk);
    EXPECT_EQ(xNode->ownerId(), graphId);
    const AcDbObjectId xObject = xNode->objectId();
    xNode->close();
    graph->close();

    // Positions are read and written through the graph.
    ASSERT_EQ(acdbOpenObject(grip, gripObject, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(-1, 2, 0));
    ASSERT_EQ(grip->setGripPosition(AcGePoint3d(6, -6, 0)), Acad::eOk);
    EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(6, -6, 0));
    grip->close();

    ASSERT_EQ(acdbOpenObject(graph, graphId, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(graph->removeNode(gripId), Acad::eOk);
    EXPECT_EQ(liveNodes(graph), 0);
    graph->close();
    // The expression objects are erased with the grip's leaving.
    AcDbObject* erased = nullptr;
    EXPECT_EQ(acdbOpenObject(erased, xObject, AcDb::kForRead), Acad::eWasErased);

    ASSERT_EQ(acdbOpenObject(grip, gripObject, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(grip->xExpressionId(), 0u);
    EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(6, -6, 0));
    grip->close();
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

// Adding the expressions fails at every step in turn: nothing is left behind, nothing is freed
// twice, and the grip is in the graph with no expression or with both.
TEST_F(GripTest, FailingToAddTheExpressionsLeavesNothingBehind) {
    for (int failAt = 2; failAt <= 3; ++failAt) {
        SCOPED_TRACE(failAt);
        const long blocks = kxhost::heapLiveBlocks();
        {
            auto* graph = new KxFailingGraph();
            graph->failAt = failAt;
            auto* grip = new KxTestGrip();
            grip->setGripPosition(AcGePoint3d(1, 2, 0));
            KxNodeId gripId = 0;
            ASSERT_EQ(graph->addNode(grip, gripId), Acad::eOk);
            EXPECT_EQ(liveNodes(graph), 1);
            EXPECT_EQ(grip->xExpressionId(), 0u);
            EXPECT_EQ(grip->yExpressionId(), 0u);
            // The grip still knows its graph, and its position is its fallback position.
            EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(1, 2, 0));
            KxDbTagEvalGraph* owner = nullptr;
            EXPECT_EQ(grip->openOwnerGraph(owner, AcDb::kForRead), Acad::eOk);
            EXPECT_EQ(owner, graph);
            ASSERT_EQ(graph->removeNode(grip), Acad::eOk);
            delete grip;
            delete graph;
        }
        EXPECT_EQ(kxhost::heapLiveBlocks(), blocks);
    }

    for (bool addedFirst : {false, true}) {
        for (int failAt = 2; failAt <= 3; ++failAt) {
            SCOPED_TRACE(failAt + (addedFirst ? 10 : 0));
            AcDbDatabase db;
            auto* graph = new KxFailingGraph();
            AcDbObjectId graphId;
            ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
            graph->failAt = failAt;
            graph->addToDatabaseFirst = addedFirst;
            auto* grip = new KxTestGrip();
            KxNodeId gripId = 0;
            ASSERT_EQ(graph->addNode(grip, gripId), Acad::eOk);
            EXPECT_EQ(grip->xExpressionId(), 0u);
            grip->close();
            EXPECT_EQ(liveNodes(graph), 1);
            graph->close();
        }
    }
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

// The allocation of either expression fails: the other one is not leaked.
TEST_F(GripTest, AllocationFailuresLeakNothing) {
    int without = 0;
    int with = 0;
    for (long n = 1; n <= 12; ++n) {
        SCOPED_TRACE(n);
        const long blocks = kxhost::heapLiveBlocks();
        auto* graph = new KxDbTagEvalGraph();
        auto* grip = new KxTestGrip();
        ASSERT_NE(grip, nullptr);
        KxNodeId gripId = 0;
        kxhost::heapFailAfter(n);
        const Acad::ErrorStatus es = graph->addNode(grip, gripId);
        kxhost::heapFailAfter(0);
        ASSERT_EQ(es, Acad::eOk);
        const bool both = grip->xExpressionId() != 0 && grip->yExpressionId() != 0;
        EXPECT_TRUE(both || (grip->xExpressionId() == 0 && grip->yExpressionId() == 0));
        EXPECT_EQ(liveNodes(graph), both ? 3 : 1);
        (both ? with : without) += 1;
        delete graph;
        EXPECT_EQ(kxhost::heapLiveBlocks(), blocks);
    }
    // Both expressions were refused in turn (the first two allocations), and later failures
    // missed them.
    EXPECT_GE(without, 2);
    EXPECT_GE(with, 1);
}

// A graph copy copies the expression nodes with the grip; it never makes new ones.
TEST_F(GripTest, AGraphCopyHasTheSameNodesAndExpressionIds) {
    MemoryGraphWithGrip g;
    ASSERT_EQ(g.grip->connectTo(L"X", g.paramId, L"Value"), Acad::eOk);
    ASSERT_EQ(g.grip->connectTo(L"Y", g.paramId, L"Value"), Acad::eOk);
    g.grip->setGripPosition(AcGePoint3d(4, 5, 0));

    AcRxObject* made = g.graph->clone();
    auto* copy = KxDbTagEvalGraph::cast(made);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(liveNodes(copy), liveNodes(g.graph));
    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(copy->getNode(g.gripId, AcDb::kForRead, node), Acad::eOk);
    auto* grip = KxTestGrip::cast(node);
    ASSERT_NE(grip, nullptr);
    EXPECT_NE(grip, g.grip);
    EXPECT_EQ(grip->xExpressionId(), g.grip->xExpressionId());
    EXPECT_EQ(grip->yExpressionId(), g.grip->yExpressionId());
    EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(4, 5, 0));

    // The copy's grip follows the copy's parameter.
    KxDbTagEvalExpr* paramNode = nullptr;
    ASSERT_EQ(copy->getNode(g.paramId, AcDb::kForWrite, paramNode), Acad::eOk);
    kxtest::testImp(paramNode)->value = 9.0;
    KxNodeIdArray active;
    active.append(g.paramId);
    ASSERT_EQ(copy->evaluate(nullptr, active), Acad::eOk);
    EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(9, 9, 0));
    EXPECT_EQ(g.grip->expressionPosition(), AcGePoint3d(4, 5, 0));

    // Removing the copy's grip removes the copy's expressions only.
    ASSERT_EQ(copy->removeNode(grip), Acad::eOk);
    delete grip;
    EXPECT_EQ(liveNodes(copy), 1);
    EXPECT_EQ(liveNodes(g.graph), 4);
    delete copy;
}

// An in-memory graph moved into a database takes the grips' expressions along, wired as they
// were.
TEST_F(GripTest, MovingAnInMemoryGraphIntoADatabaseKeepsTheExpressions) {
    MemoryGraphWithGrip g;
    ASSERT_EQ(g.grip->connectTo(L"X", g.paramId, L"Value"), Acad::eOk);
    ASSERT_EQ(g.grip->connectTo(L"Y", g.paramId, L"Value"), Acad::eOk);
    g.grip->setGripPosition(AcGePoint3d(4, 5, 0));
    const KxNodeId xId = g.grip->xExpressionId();
    const KxNodeId yId = g.grip->yExpressionId();

    AcDbDatabase db;
    KxDbTagEvalGraph* graph = g.graph;
    g.graph = nullptr;
    AcDbObjectId graphId;
    ASSERT_EQ(graph->addGraphToDatabase(graphId, &db), Acad::eOk);
    EXPECT_EQ(liveNodes(graph), 4);
    graph->close();

    ASSERT_EQ(acdbOpenObject(graph, graphId, AcDb::kForWrite), Acad::eOk);
    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(graph->getNode(g.gripId, AcDb::kForRead, node), Acad::eOk);
    auto* grip = KxTestGrip::cast(node);
    ASSERT_NE(grip, nullptr);
    EXPECT_EQ(grip->xExpressionId(), xId);
    EXPECT_EQ(grip->yExpressionId(), yId);
    EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(4, 5, 0));
    grip->close();
    KxNodeIdArray active;
    active.append(g.paramId);
    ASSERT_EQ(graph->evaluate(nullptr, active), Acad::eOk);
    ASSERT_EQ(graph->getNode(g.gripId, AcDb::kForRead, node), Acad::eOk);
    EXPECT_EQ(KxTestGrip::cast(node)->expressionPosition(), AcGePoint3d(2.5, 2.5, 0));
    node->close();
    graph->close();
}

// --- Connections ------------------------------------------------------------------------------

TEST_F(GripTest, ConnectionNamesTypesAndValues) {
    MemoryGraphWithGrip g;
    AcStringArray names;
    ASSERT_EQ(g.grip->getConnectionNames(names), Acad::eOk);
    ASSERT_EQ(names.length(), 4);
    EXPECT_EQ(names[0], AcString(L"X"));
    EXPECT_EQ(names[1], AcString(L"Y"));
    EXPECT_EQ(names[2], AcString(L"DisplacementX"));
    EXPECT_EQ(names[3], AcString(L"DisplacementY"));
    for (const ACHAR* name : {L"x", L"Y", L"displacementx", L"DISPLACEMENTY"}) {
        EXPECT_TRUE(g.grip->hasConnection(name));
        AcDb::DwgDataType kind = AcDb::kDwgNull;
        EXPECT_EQ(g.grip->getConnectionType(name, kind), Acad::eOk);
        EXPECT_EQ(kind, AcDb::kDwgReal);
    }
    AcDb::DwgDataType kind = AcDb::kDwgReal;
    EXPECT_FALSE(g.grip->hasConnection(L"Z"));
    EXPECT_FALSE(g.grip->hasConnection(nullptr));
    EXPECT_EQ(g.grip->getConnectionType(L"Displacement", kind), Acad::eInvalidInput);
    EXPECT_EQ(kind, AcDb::kDwgNull);

    // Position (7, 8) with the grip offset (its location here) on top; displacement from the
    // expressions to the updated location.
    g.grip->setGripPosition(AcGePoint3d(8, 10, 0));
    g.grip->setLocation(AcGePoint3d(1, 2, 0));
    EXPECT_EQ(g.grip->gripOffset(), AcGeVector3d(1, 2, 0));
    g.grip->setUpdatedLocation(AcGePoint3d(10, 20, 0));
    KxDbTagEvalVariant value;
    ASSERT_EQ(g.grip->getConnectionValue(L"x", value), Acad::eOk);
    EXPECT_EQ(value.type(), 40);
    EXPECT_EQ(value.resval.rreal, 9.0);
    ASSERT_EQ(g.grip->getConnectionValue(L"Y", value), Acad::eOk);
    EXPECT_EQ(value.resval.rreal, 12.0);
    ASSERT_EQ(g.grip->getConnectionValue(L"DisplacementX", value), Acad::eOk);
    EXPECT_EQ(value.resval.rreal, 2.0);
    ASSERT_EQ(g.grip->getConnectionValue(L"displacementY", value), Acad::eOk);
    EXPECT_EQ(value.resval.rreal, 10.0);
    EXPECT_EQ(g.grip->getConnectionValue(L"W", value), Acad::eInvalidInput);
}

TEST_F(GripTest, AGripOutOfAGraphUsesItsFallbackPosition) {
    KxTestGrip grip;
    grip.setLocation(AcGePoint3d(0.5, 0, 0));
    ASSERT_EQ(grip.setGripPosition(AcGePoint3d(2, 3, 4)), Acad::eOk);
    EXPECT_EQ(grip.expressionPosition(), AcGePoint3d(1.5, 3, 4));
    EXPECT_EQ(grip.gripPosition(), AcGePoint3d(2, 3, 4));
    KxDbTagEvalVariant value;
    ASSERT_EQ(grip.getConnectionValue(L"X", value), Acad::eOk);
    EXPECT_EQ(value.resval.rreal, 2.0);
    // Nothing that needs the graph works.
    int index = 0;
    EXPECT_EQ(grip.gripIndex(index), KxStatus::kNotInGraph);
    KxDbBlockTag* param = nullptr;
    EXPECT_EQ(grip.openParameter(param), KxStatus::kNotInGraph);
    EXPECT_EQ(grip.parameterPoint(), AcGePoint3d::kOrigin);
    EXPECT_EQ(grip.connectTo(L"X", 1, L"Value"), KxStatus::kNotInGraph);
    EXPECT_EQ(grip.disconnectFrom(L"X", 1, L"Value"), KxStatus::kNotInGraph);
    EXPECT_FALSE(grip.canConnectTo(L"X", 1, L"Value"));
}

TEST_F(GripTest, ConnectingXAndYToAParameter) {
    MemoryGraphWithGrip g;
    KxTestAction* action = kxtest::makeTestAction(L"Action", 1.0);
    KxNodeId actionId = 0;
    ASSERT_EQ(g.graph->addNode(action, actionId), Acad::eOk);

    EXPECT_TRUE(g.grip->canConnectTo(L"X", g.paramId, L"Value"));
    // Only "X" and "Y", with case; a source offering a real value of that name.
    EXPECT_EQ(g.grip->connectTo(L"x", g.paramId, L"Value"), Acad::eInvalidInput);
    EXPECT_FALSE(g.grip->canConnectTo(L"x", g.paramId, L"Value"));
    EXPECT_EQ(g.grip->connectTo(L"DisplacementX", g.paramId, L"Value"), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->connectTo(L"X", g.paramId, L""), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->connectTo(L"X", g.paramId, nullptr), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->connectTo(L"X", g.paramId, L"Count"), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->connectTo(L"X", g.paramId, L"Nope"), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->connectTo(L"X", 77, L"Value"), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->connectTo(L"X", 0, L"Value"), KxStatus::kNotInGraph);
    EXPECT_FALSE(g.grip->canConnectTo(L"X", g.paramId, L"Count"));

    ASSERT_EQ(g.grip->connectTo(L"X", g.paramId, L"value"), Acad::eOk);
    const KxNodeId xId = g.grip->xExpressionId();
    KxEdgeInfo info;
    EXPECT_EQ(g.graph->getEdgeInfo(g.paramId, xId, info), Acad::eOk);
    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(g.graph->getNode(xId, AcDb::kForRead, node), Acad::eOk);
    EXPECT_EQ(KxDbTagGripExpr::cast(node)->targetNodeId(), g.paramId);
    EXPECT_EQ(KxDbTagGripExpr::cast(node)->targetConnectionName(), AcString(L"value"));

    // A second source for "X" is refused and the first one stays.
    EXPECT_FALSE(g.grip->canConnectTo(L"X", actionId, L"Distance"));
    EXPECT_EQ(g.grip->connectTo(L"X", actionId, L"Distance"), Acad::eIllegalReplacement);
    EXPECT_EQ(KxDbTagGripExpr::cast(node)->targetNodeId(), g.paramId);
    EXPECT_NE(g.graph->getEdgeInfo(actionId, xId, info), Acad::eOk);
    EXPECT_TRUE(g.grip->canConnectTo(L"Y", actionId, L"Distance"));

    // Disconnecting needs the very source; the connection name compares without case.
    EXPECT_EQ(g.grip->disconnectFrom(L"X", actionId, L"Distance"), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->disconnectFrom(L"X", g.paramId, L"Other"), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->disconnectFrom(L"x", g.paramId, L"Value"), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->disconnectFrom(L"X", g.paramId, L""), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->disconnectFrom(L"X", 0, L"Value"), KxStatus::kNotInGraph);
    ASSERT_EQ(g.grip->disconnectFrom(L"X", g.paramId, L"VALUE"), Acad::eOk);
    EXPECT_EQ(KxDbTagGripExpr::cast(node)->targetNodeId(), 0u);
    EXPECT_TRUE(KxDbTagGripExpr::cast(node)->targetConnectionName().isEmpty());
    EXPECT_NE(g.graph->getEdgeInfo(g.paramId, xId, info), Acad::eOk);
    EXPECT_EQ(g.grip->disconnectFrom(L"X", g.paramId, L"Value"), Acad::eInvalidInput);
    EXPECT_TRUE(g.grip->canConnectTo(L"X", actionId, L"Distance"));
    node->close();
}

TEST_F(GripTest, ConnectingInADatabaseGraph) {
    AcDbDatabase db;
    auto* graph = new KxDbTagEvalGraph();
    AcDbObjectId graphId;
    ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
    KxTestParam* param = kxtest::makeTestParam(L"P", 1.5);
    auto* grip = new KxTestGrip();
    KxNodeId paramId = 0;
    KxNodeId gripId = 0;
    ASSERT_EQ(graph->addNode(param, paramId), Acad::eOk);
    ASSERT_EQ(graph->addNode(grip, gripId), Acad::eOk);
    const AcDbObjectId gripObject = grip->objectId();
    param->close();
    grip->close();
    graph->close();

    ASSERT_EQ(acdbOpenObject(grip, gripObject, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(grip->connectTo(L"X", paramId, L"Value"), Acad::eOk);
    ASSERT_EQ(grip->connectTo(L"Y", paramId, L"Value"), Acad::eOk);
    EXPECT_TRUE(grip->isWriteEnabled());
    grip->close();

    KxNodeIdArray active;
    active.append(paramId);
    ASSERT_EQ(acdbOpenObject(graph, graphId, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(graph->evaluate(nullptr, active), Acad::eOk);
    graph->close();
    ASSERT_EQ(acdbOpenObject(grip, gripObject, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(grip->expressionPosition(), AcGePoint3d(1.5, 1.5, 0));
    grip->close();

    ASSERT_EQ(acdbOpenObject(grip, gripObject, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(grip->disconnectFrom(L"Y", paramId, L"Value"), Acad::eOk);
    grip->close();
    ASSERT_EQ(acdbOpenObject(graph, graphId, AcDb::kForRead), Acad::eOk);
    KxEdgeInfoArray edges;
    ASSERT_EQ(graph->getOutgoingEdges(paramId, edges), Acad::eOk);
    EXPECT_EQ(edges.length(), 1);
    graph->close();
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

// --- Evaluation -------------------------------------------------------------------------------

TEST_F(GripTest, TheExpressionsFollowTheParameter) {
    MemoryGraphWithGrip g;
    ASSERT_EQ(g.grip->connectTo(L"X", g.paramId, L"Value"), Acad::eOk);
    ASSERT_EQ(g.grip->connectTo(L"Y", g.paramId, L"Value"), Acad::eOk);
    kxtest::testImp(g.param)->value = -3.0;
    KxNodeIdArray active;
    active.append(g.paramId);
    ASSERT_EQ(g.graph->evaluate(nullptr, active), Acad::eOk);
    EXPECT_EQ(g.grip->expressionPosition(), AcGePoint3d(-3, -3, 0));
    // The grip was not evaluated: its updated location is left alone.
    g.grip->setLocation(AcGePoint3d(1, 1, 0));
    g.grip->setUpdatedLocation(AcGePoint3d(5, 5, 0));
    ASSERT_EQ(g.graph->evaluate(nullptr, active), Acad::eOk);
    EXPECT_EQ(g.grip->updatedLocation(), AcGePoint3d(5, 5, 0));
}

TEST_F(GripTest, ASuccessfulEvaluationPutsTheOffsetBack) {
    MemoryGraphWithGrip g;
    g.grip->setLocation(AcGePoint3d(1, 2, 0));
    g.grip->setUpdatedLocation(AcGePoint3d(5, 5, 0));
    KxNodeIdArray active;
    active.append(g.gripId);
    ASSERT_EQ(g.graph->evaluate(nullptr, active), Acad::eOk);
    EXPECT_EQ(g.grip->updatedLocation(), AcGePoint3d(6, 7, 0));

    // A failed evaluation leaves it.
    kxtest::testImp(g.param)->evaluateStatus = Acad::eInvalidInput;
    active.append(g.paramId);
    EXPECT_EQ(g.graph->evaluate(nullptr, active), Acad::eInvalidInput);
    EXPECT_EQ(g.grip->updatedLocation(), AcGePoint3d(6, 7, 0));
}

// --- Damaged references -----------------------------------------------------------------------

// A record whose expression id names the parameter: removing the grip leaves the parameter.
TEST_F(GripTest, ExpressionIdsNamingOtherNodesAreNotTrusted) {
    MemoryGraphWithGrip g;
    ASSERT_EQ(g.grip->connectTo(L"X", g.paramId, L"Value"), Acad::eOk);
    const KxNodeId yId = g.grip->yExpressionId();
    Filer out;
    ASSERT_EQ(g.grip->dwgOut(&out), Acad::eOk);
    // The grip's fields are the last five items: X id, Y id, location, cycling, weight.
    const int n = out.itemCount();
    Filer in;
    for (int i = 0; i < n; ++i) {
        if (i == n - 5) {
            in.writeUInt32(g.paramId);
        } else if (i == n - 4) {
            in.writeUInt32(g.gripId);  // its own id
        } else {
            ASSERT_TRUE(copyItem(out.items()[i], in))
                << AcString(out.items()[i].description()).utf8();
        }
    }
    ASSERT_EQ(g.grip->dwgIn(&in), Acad::eOk);
    // Read back, the grip is handed its graph again as a graph copy does.
    g.grip->setOwnerGraph(g.graph);
    EXPECT_EQ(g.grip->xExpressionId(), g.paramId);

    KxDbBlockTag* param = nullptr;
    EXPECT_EQ(g.grip->openParameter(param), Acad::eWrongObjectType);
    EXPECT_EQ(g.grip->expressionPosition(), AcGePoint3d::kOrigin);
    EXPECT_EQ(g.grip->setGripPosition(AcGePoint3d(1, 1, 0)), Acad::eWrongObjectType);
    EXPECT_EQ(g.grip->connectTo(L"X", g.paramId, L"Value"), Acad::eWrongObjectType);
    EXPECT_EQ(g.grip->connectTo(L"Y", g.paramId, L"Value"), Acad::eWrongObjectType);

    ASSERT_EQ(g.graph->removeNode(g.grip), Acad::eOk);
    KxDbTagEvalExpr* node = nullptr;
    EXPECT_EQ(g.graph->getNode(g.paramId, AcDb::kForRead, node), Acad::eOk);
    EXPECT_EQ(node, g.param);
    // The expression the record no longer names is not the grip's to remove.
    EXPECT_EQ(g.graph->getNode(yId, AcDb::kForRead, node), Acad::eOk);
    delete g.grip;
}

// --- Filing -----------------------------------------------------------------------------------

class GripFilingTest : public GripTest {
  protected:
    // A grip with every field set.
    static void fill(KxDbTagGrip* grip) {
        grip->setName(L"夹点");
        grip->setLocation(AcGePoint3d(1.5, -2.5, 3.25));
        grip->setInsertionCycling(true);
        grip->setInsertionCyclingWeight(7);
        grip->setNodeId(12);
    }
    // The ids filed with a grip in a graph.
    static void inGraph(KxTestGrip*& grip, KxDbTagEvalGraph*& graph) {
        graph = new KxDbTagEvalGraph();
        grip = new KxTestGrip();
        KxNodeId id = 0;
        EXPECT_EQ(graph->addNode(grip, id), Acad::eOk);
    }
};

TEST_F(GripFilingTest, DwgRoundTrip) {
    KxTestGrip* grip = nullptr;
    KxDbTagEvalGraph* graph = nullptr;
    inGraph(grip, graph);
    grip->setName(L"夹点");
    grip->setLocation(AcGePoint3d(1.5, -2.5, 3.25));
    grip->setInsertionCyclingWeight(7);
    grip->setUpdatedLocation(AcGePoint3d(9, 9, 9));

    Filer f;
    ASSERT_EQ(grip->dwgOut(&f), Acad::eOk);
    f.rewind();
    KxTestGrip back;
    ASSERT_EQ(back.dwgIn(&f), Acad::eOk);
    EXPECT_EQ(back.getName(), AcString(L"夹点"));
    EXPECT_EQ(back.getNodeId(), grip->getNodeId());
    EXPECT_EQ(back.xExpressionId(), grip->xExpressionId());
    EXPECT_EQ(back.yExpressionId(), grip->yExpressionId());
    EXPECT_EQ(back.location(), AcGePoint3d(1.5, -2.5, 3.25));
    EXPECT_FALSE(back.insertionCycling());
    EXPECT_EQ(back.insertionCyclingWeight(), 7);
    // Drag state is not filed.
    EXPECT_EQ(back.updatedLocation(), AcGePoint3d::kOrigin);

    grip->setInsertionCycling(true);
    grip->setInsertionCyclingWeight(-1);
    Filer again;
    ASSERT_EQ(grip->dwgOut(&again), Acad::eOk);
    again.rewind();
    ASSERT_EQ(back.dwgIn(&again), Acad::eOk);
    EXPECT_TRUE(back.insertionCycling());
    EXPECT_EQ(back.insertionCyclingWeight(), -1);
    delete graph;
}

TEST_F(GripFilingTest, TheIdFilersSeeOnlyTheElement) {
    KxTestGrip grip;
    fill(&grip);
    KxDbTagElement plain;
    plain.setName(L"夹点");
    plain.setNodeId(12);
    for (AcDb::FilerType type : {AcDb::kIdXlateFiler, AcDb::kIdFiler, AcDb::kPurgeFiler}) {
        Filer gripOut(type);
        Filer plainOut(type);
        grip.dwgOutFields(&gripOut);
        plain.dwgOutFields(&plainOut);
        EXPECT_EQ(gripOut.itemCount(), plainOut.itemCount()) << type;
    }
    // Reading with the id-translation filer leaves the grip's own fields.
    Filer xlate(AcDb::kIdXlateFiler);
    grip.dwgOutFields(&xlate);
    xlate.rewind();
    KxTestGrip back;
    back.setLocation(AcGePoint3d(4, 4, 4));
    ASSERT_EQ(back.dwgInFields(&xlate), Acad::eOk);
    EXPECT_EQ(back.location(), AcGePoint3d(4, 4, 4));
    EXPECT_EQ(back.insertionCyclingWeight(), -1);
}

// Writes the host part and the node part of a grip record, then the element and grip fields the
// reader of that version expects, as an older writer did.
void writeOldRecord(Filer& f, bool withElementVersion, bool withCycling, bool withWeight,
                    int fields = 99) {
    KxDbTagEvalExpr plain;
    plain.setNodeId(5);
    plain.dwgOut(&f);
    int written = 0;
    auto more = [&]() { return written++ < fields; };
    if (more())
        f.writeString(L"Grip");
    if (withElementVersion) {
        if (more())
            f.writeInt32(25);
        if (more())
            f.writeInt32(64);
        if (more())
            f.writeInt32(0);
    }
    if (more())
        f.writeUInt32(6);
    if (more())
        f.writeUInt32(7);
    if (more())
        f.writePoint3d(AcGePoint3d(1, 2, 3));
    if (withCycling && more())
        f.writeBool(false);
    if (withWeight && more())
        f.writeInt32(4);
}

TEST_F(GripFilingTest, OlderDwgLayouts) {
    // Version 25 maintenance 58: no insertion cycling and no weight; cycling then is on.
    {
        Filer f(AcDb::kFileFiler, ver(25), maint(58));
        writeOldRecord(f, false, false, false);
        f.rewind();
        KxTestGrip grip;
        ASSERT_EQ(grip.dwgIn(&f), Acad::eOk);
        EXPECT_EQ(grip.xExpressionId(), 6u);
        EXPECT_EQ(grip.yExpressionId(), 7u);
        EXPECT_EQ(grip.location(), AcGePoint3d(1, 2, 3));
        EXPECT_TRUE(grip.insertionCycling());
        EXPECT_EQ(grip.insertionCyclingWeight(), 0);
    }
    // Version 25 maintenance 64 with a recorded version after 62: both.
    {
        Filer f(AcDb::kFileFiler, ver(25), maint(64));
        writeOldRecord(f, true, true, true);
        f.rewind();
        KxTestGrip grip;
        ASSERT_EQ(grip.dwgIn(&f), Acad::eOk);
        EXPECT_FALSE(grip.insertionCycling());
        EXPECT_EQ(grip.insertionCyclingWeight(), 4);
    }
    // Version 25 maintenance 61 carries cycling, but its elements record no version: no weight.
    {
        Filer f(AcDb::kFileFiler, ver(25), maint(61));
        KxDbTagEvalExpr plain;
        plain.setNodeId(5);
        plain.dwgOut(&f);
        f.writeString(L"Grip");
        f.writeInt32(0);  // state flag
        f.writeUInt32(6);
        f.writeUInt32(7);
        f.writePoint3d(AcGePoint3d(1, 2, 3));
        f.writeBool(false);
        f.rewind();
        KxTestGrip grip;
        ASSERT_EQ(grip.dwgIn(&f), Acad::eOk);
        EXPECT_FALSE(grip.insertionCycling());
        EXPECT_EQ(grip.insertionCyclingWeight(), 0);
    }
}

TEST_F(GripFilingTest, TruncatedDwgRecordsAreRefused) {
    for (int fields = 0; fields < 9; ++fields) {
        SCOPED_TRACE(fields);
        Filer f(AcDb::kFileFiler, ver(25), maint(64));
        writeOldRecord(f, true, true, true, fields);
        f.rewind();
        KxTestGrip grip;
        grip.setLocation(AcGePoint3d(8, 8, 8));
        EXPECT_NE(grip.dwgIn(&f), Acad::eOk);
    }
}

// The items of a DXF record without the groups of the given codes (after the marker of `from`).
DxfFiler withoutGroups(const DxfFiler& full, std::initializer_list<int> codes,
                       const ACHAR* from = nullptr) {
    AcDb::AcDbDwgVersion v = AcDb::kDHL_CURRENT;
    AcDb::MaintenanceReleaseVersion m = AcDb::kMReleaseCurrent;
    full.dwgVersion(v, m);
    DxfFiler out(AcDb::kFileFiler, v, m);
    resbuf* chain = full.toChain();
    resbuf* head = nullptr;
    resbuf** tail = &head;
    bool inPart = from == nullptr;
    for (resbuf* rb = chain; rb != nullptr;) {
        resbuf* next = rb->rbnext;
        rb->rbnext = nullptr;
        if (rb->restype == 100 && from != nullptr) {
            inPart = AcString(rb->resval.rstring) == AcString(from);
        }
        bool drop = false;
        for (int code : codes) {
            drop = drop || (inPart && rb->restype == code);
        }
        if (drop) {
            acutRelRb(rb);
        } else {
            *tail = rb;
            tail = &rb->rbnext;
        }
        rb = next;
    }
    out.load(head);
    acutRelRb(head);
    return out;
}

TEST_F(GripFilingTest, DxfRoundTripAndRequiredGroups) {
    KxTestGrip grip;
    fill(&grip);
    DxfFiler f;
    ASSERT_EQ(grip.dxfOut(&f), Acad::eOk);
    const auto& items = f.items();
    const int n = f.itemCount();
    ASSERT_GE(n, 6);
    EXPECT_EQ(items[n - 6].text, L"AcDbBlockGrip");
    EXPECT_EQ(items[n - 5].code, 91);
    EXPECT_EQ(items[n - 4].code, 92);
    EXPECT_EQ(items[n - 3].code, 1010);
    EXPECT_EQ(items[n - 2].code, 280);
    EXPECT_EQ(items[n - 1].code, 93);

    f.rewind();
    KxTestGrip back;
    ASSERT_EQ(back.dxfIn(&f), Acad::eOk);
    EXPECT_EQ(back.getName(), AcString(L"夹点"));
    EXPECT_EQ(back.location(), AcGePoint3d(1.5, -2.5, 3.25));
    EXPECT_TRUE(back.insertionCycling());
    EXPECT_EQ(back.insertionCyclingWeight(), 7);

    for (int code : {91, 92, 1010, 280, 93}) {
        SCOPED_TRACE(code);
        DxfFiler missing = withoutGroups(f, {code}, L"AcDbBlockGrip");
        KxTestGrip reader;
        EXPECT_EQ(reader.dxfIn(&missing), Acad::eMissingDxfField);
    }
    // Without the marker the record is not a grip's.
    DxfFiler noMarker = withoutGroups(f, {100}, L"AcDbBlockGrip");
    KxTestGrip reader;
    EXPECT_NE(reader.dxfIn(&noMarker), Acad::eOk);
}

TEST_F(GripFilingTest, DxfGroupsInAnyOrderAndTheFlagUnderEitherCode) {
    DxfFiler f;
    KxDbTagElement element;
    element.setName(L"G");
    element.dxfOutFields(&f);
    // The element part, then the grip's groups shuffled, the flag as a 290, then another part.
    f.writeString(100, L"AcDbBlockGrip");
    f.writeInt32(93, 3);
    f.writePoint3d(1010, AcGePoint3d(0, 1, 0));
    f.writeBool(290, true);
    f.writeInt32(92, 5);
    f.writeInt32(91, 4);
    f.writeString(100, L"AcDbNext");
    f.rewind();
    KxTestGrip grip;
    ASSERT_EQ(grip.dxfInFields(&f), Acad::eOk);
    EXPECT_EQ(grip.xExpressionId(), 4u);
    EXPECT_EQ(grip.yExpressionId(), 5u);
    EXPECT_TRUE(grip.insertionCycling());
    EXPECT_EQ(grip.insertionCyclingWeight(), 3);
    EXPECT_TRUE(f.atSubclassData(L"AcDbNext")) << "the next part is left for its reader";
}

TEST_F(GripFilingTest, OlderDxfLayouts) {
    KxTestGrip grip;
    fill(&grip);
    grip.setInsertionCycling(false);
    // Written as a version 25 maintenance 58 drawing, whose elements record no version.
    DxfFiler f(AcDb::kFileFiler, ver(25), maint(58));
    ASSERT_EQ(grip.dxfOut(&f), Acad::eOk);
    DxfFiler old = withoutGroups(f, {98, 99}, L"AcDbBlockElement");
    KxTestGrip back;
    ASSERT_EQ(back.dxfIn(&old), Acad::eOk);
    EXPECT_FALSE(back.insertionCycling());
    EXPECT_EQ(back.insertionCyclingWeight(), 7);

    DxfFiler lacking = withoutGroups(old, {280, 93}, L"AcDbBlockGrip");
    back.setInsertionCyclingWeight(9);
    ASSERT_EQ(back.dxfIn(&lacking), Acad::eOk);
    EXPECT_TRUE(back.insertionCycling());
    EXPECT_EQ(back.insertionCyclingWeight(), 0);

    // The same drawing version with elements that record a later version must carry both.
    for (int code : {280, 93}) {
        DxfFiler missing = withoutGroups(f, {code}, L"AcDbBlockGrip");
        EXPECT_EQ(back.dxfIn(&missing), Acad::eMissingDxfField) << code;
    }
    // A drawing of version 25 maintenance 61 must carry the flag even without element versions.
    DxfFiler later(AcDb::kFileFiler, ver(25), maint(61));
    ASSERT_EQ(grip.dxfOut(&later), Acad::eOk);
    DxfFiler laterOld = withoutGroups(later, {98, 99}, L"AcDbBlockElement");
    DxfFiler noFlag = withoutGroups(laterOld, {280}, L"AcDbBlockGrip");
    EXPECT_EQ(back.dxfIn(&noFlag), Acad::eMissingDxfField);
    DxfFiler noWeight = withoutGroups(laterOld, {93}, L"AcDbBlockGrip");
    EXPECT_EQ(back.dxfIn(&noWeight), Acad::eOk);
}

}  // namespace
