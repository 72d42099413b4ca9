// The authoring library: the demo drawing as the demo and the benchmarks see it (definition,
// graph in the root data, a linear parameter wired to two grips, references), the graph's DWG
// round trip, and each step's refusals, which must leave the drawing as it was and every object
// closed.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/dictionary.h"
#include "host/db/dwgfiler.h"
#include "host/entities/arc.h"
#include "host/entities/blockref.h"
#include "host/entities/polyline.h"
#include "module/actions/stretch_action.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip_expr.h"
#include "module/grips/linear_grip.h"
#include "module/params/linear_tag.h"
#include "module/params/value_set.h"
#include "module/rootdata/root_data.h"
#include "support/module_loader.h"
#include "tools/authoring/authoring.h"

namespace {

using P = AcGePoint3d;
using P2 = AcGePoint2d;
using kxauthor::DemoDrawing;
using kxauthor::ValueSetSpec;

constexpr double kTol = 1e-9;
constexpr Acad::ErrorStatus kNoDatabase = static_cast<Acad::ErrorStatus>(124);

#define EXPECT_POINT(actual, expected)     \
    do {                                   \
        const AcGePoint3d a_ = (actual);   \
        const AcGePoint3d e_ = (expected); \
        EXPECT_NEAR(a_.x, e_.x, kTol);     \
        EXPECT_NEAR(a_.y, e_.y, kTol);     \
        EXPECT_NEAR(a_.z, e_.z, kTol);     \
    } while (0)

// Deletes objects made outside a database while the plug-in is still loaded.
struct ObjectDeleter {
    void operator()(AcRxObject* obj) const { delete obj; }
};
using Owned = std::unique_ptr<AcRxObject, ObjectDeleter>;

// What a graph holds, by node class.
struct GraphCensus {
    int nodes = 0;
    int linears = 0;
    int linearGrips = 0;
    int expressions = 0;
    int others = 0;
};

class AuthoringTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetAssertionViolations();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
    }

    void TearDown() override {
        // Whatever a test did through the library, nothing stays open and the open protocol
        // was kept throughout.
        expectAllClosed(db);
        EXPECT_EQ(kxhost::assertionViolations(), 0);
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
        db = nullptr;
        kxtest::ModuleTest::TearDown();
    }

    // With strict opens, a write open fails for any object someone still holds open.
    static void expectAllClosed(AcDbDatabase* where) {
        kxhost::setStrictOpens(true);
        for (const AcDbObjectId& id : kxhost::objectIds(where)) {
            AcDbObject* obj = nullptr;
            const Acad::ErrorStatus es = acdbOpenObject(obj, id, AcDb::kForWrite, true);
            if (es == Acad::eOk) {
                obj->close();
            } else {
                ADD_FAILURE() << "object " << id.asOldId() << " still open (" << es << ")";
            }
        }
        kxhost::setStrictOpens(false);
    }

    static AcDbObjectIdArray blockEntities(const AcDbObjectId& btrId) {
        AcDbObjectIdArray ids;
        AcDbBlockTableRecord* btr = nullptr;
        if (acdbOpenObject(btr, btrId, AcDb::kForRead) != Acad::eOk) {
            ADD_FAILURE() << "block does not open";
            return ids;
        }
        AcDbBlockTableRecordIterator* it = nullptr;
        if (btr->newIterator(it) == Acad::eOk) {
            for (it->start(); !it->done(); it->step()) {
                AcDbObjectId id;
                it->getEntityId(id);
                ids.append(id);
            }
            delete it;
        }
        btr->close();
        return ids;
    }

    int blockCount() const {
        AcDbBlockTable* table = nullptr;
        EXPECT_EQ(db->getBlockTable(table, AcDb::kForRead), Acad::eOk);
        AcDbBlockTableIterator* it = nullptr;
        int n = 0;
        if (table->newIterator(it) == Acad::eOk) {
            for (it->start(); !it->done(); it->step()) {
                ++n;
            }
            delete it;
        }
        table->close();
        return n;
    }

    static GraphCensus census(const AcDbObjectId& graphId) {
        GraphCensus c;
        KxDbTagEvalGraph* graph = nullptr;
        if (acdbOpenObject(graph, graphId, AcDb::kForRead) != Acad::eOk) {
            ADD_FAILURE() << "graph does not open";
            return c;
        }
        KxNodeIdArray ids;
        EXPECT_EQ(graph->getAllNodeIds(ids), Acad::eOk);
        c.nodes = ids.length();
        for (KxNodeId id : ids) {
            KxDbTagEvalExpr* node = nullptr;
            if (graph->getNode(id, AcDb::kForRead, node) != Acad::eOk) {
                ADD_FAILURE() << "node " << id << " does not open";
                continue;
            }
            if (KxDbBlockLinearTag::cast(node) != nullptr) {
                ++c.linears;
            } else if (KxDbTagLinearGrip::cast(node) != nullptr) {
                ++c.linearGrips;
            } else if (KxDbTagGripExpr::cast(node) != nullptr) {
                ++c.expressions;
            } else {
                ++c.others;
            }
            node->close();
        }
        graph->close();
        return c;
    }

    AcDbDatabase* db = nullptr;
};

// --- The demo drawing ---------------------------------------------------------------------------

TEST_F(AuthoringTest, DemoDrawingHoldsTheDoorWithItsParameterAndReferences) {
    DemoDrawing demo;
    ASSERT_EQ(demo.build(db), Acad::eOk);
    ASSERT_FALSE(demo.definitionId.isNull());
    ASSERT_FALSE(demo.graphId.isNull());
    ASSERT_FALSE(demo.parameterId.isNull());

    // The definition: the door leaf as a closed rectangle, and its swing.
    {
        AcDbBlockTable* table = nullptr;
        ASSERT_EQ(db->getBlockTable(table, AcDb::kForRead), Acad::eOk);
        AcDbObjectId byName;
        EXPECT_EQ(table->getAt(L"DOOR", byName), Acad::eOk);
        table->close();
        EXPECT_EQ(byName, demo.definitionId);
    }
    const AcDbObjectIdArray entities = blockEntities(demo.definitionId);
    ASSERT_EQ(entities.length(), 2);
    AcDbPolyline* leaf = nullptr;
    ASSERT_EQ(acdbOpenObject(leaf, entities[0], AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(leaf->isClosed());
    ASSERT_EQ(leaf->numVerts(), 4u);
    P corner;
    leaf->getPointAt(2, corner);
    EXPECT_POINT(corner, P(10, 20, 0));
    leaf->close();
    AcDbArc* swing = nullptr;
    ASSERT_EQ(acdbOpenObject(swing, entities[1], AcDb::kForRead), Acad::eOk);
    EXPECT_NEAR(swing->radius(), 10.0, kTol);
    swing->close();

    // The graph is the definition's in the root data, and owned by it.
    AcDbObjectId found;
    EXPECT_EQ(kxauthor::findGraph(db, demo.definitionId, found), Acad::eOk);
    EXPECT_EQ(found, demo.graphId);
    AcDbObjectId rootDataId;
    ASSERT_EQ(KxDbTagRootData::getRootDataId(db, rootDataId), Acad::eOk);
    KxDbTagEvalGraph* graph = nullptr;
    ASSERT_EQ(acdbOpenObject(graph, demo.graphId, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(graph->ownerId(), rootDataId);
    graph->close();

    // One linear parameter, its two grips, and the grips' X and Y expressions.
    const GraphCensus c = census(demo.graphId);
    EXPECT_EQ(c.nodes, 7);
    EXPECT_EQ(c.linears, 1);
    EXPECT_EQ(c.linearGrips, 2);
    EXPECT_EQ(c.expressions, 4);
    EXPECT_EQ(c.others, 0);

    KxDbBlockLinearTag* linear = nullptr;
    ASSERT_EQ(acdbOpenObject(linear, demo.parameterId, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(linear->distanceName(), AcString(L"Distance1"));
    EXPECT_EQ(linear->getName(), AcString(L"Distance1"));
    EXPECT_POINT(linear->definitionBasePoint(), P(0, 0, 0));
    EXPECT_POINT(linear->definitionEndPoint(), P(10, 0, 0));
    int grips = 0;
    EXPECT_EQ(linear->getGripCount(grips), Acad::eOk);
    EXPECT_EQ(grips, 2);
    const KxNodeId paramNode = linear->getNodeId();
    const KxNodeId gripNodes[2] = {linear->gripId(0), linear->gripId(1)};
    linear->close();

    // Each grip sits on its point and reads the parameter through its two expressions.
    ASSERT_EQ(acdbOpenObject(graph, demo.graphId, AcDb::kForRead), Acad::eOk);
    const P gripAt[2] = {P(0, 0, 0), P(10, 0, 0)};
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(gripNodes[i], 0u);
        KxDbTagEvalExpr* node = nullptr;
        ASSERT_EQ(graph->getNode(gripNodes[i], AcDb::kForRead, node), Acad::eOk);
        KxDbTagLinearGrip* grip = KxDbTagLinearGrip::cast(node);
        ASSERT_NE(grip, nullptr);
        EXPECT_POINT(grip->gripPosition(), gripAt[i]);
        grip->close();
    }
    // The parameter feeds exactly the four expressions, and each reads it.
    KxEdgeInfoArray outgoing;
    EXPECT_EQ(graph->getOutgoingEdges(paramNode, outgoing), Acad::eOk);
    int expressionsOfParam = 0;
    for (const KxEdgeInfo& edge : outgoing) {
        KxDbTagEvalExpr* target = nullptr;
        if (graph->getNode(edge.targetId, AcDb::kForRead, target) == Acad::eOk) {
            KxDbTagGripExpr* expr = KxDbTagGripExpr::cast(target);
            if (expr != nullptr && expr->targetNodeId() == paramNode) {
                ++expressionsOfParam;
            }
            target->close();
        }
    }
    EXPECT_EQ(outgoing.length(), 4);
    EXPECT_EQ(expressionsOfParam, 4);
    graph->close();

    // Three references of the door in model space, as placed.
    ASSERT_EQ(demo.referenceIds.length(), 3);
    AcDbBlockTableRecord* door = nullptr;
    ASSERT_EQ(acdbOpenObject(door, demo.definitionId, AcDb::kForRead), Acad::eOk);
    AcDbObjectIdArray refsOfDoor;
    EXPECT_EQ(door->getBlockReferenceIds(refsOfDoor), Acad::eOk);
    door->close();
    EXPECT_EQ(refsOfDoor.length(), 3);
    for (int i = 0; i < 3; ++i) {
        AcDbBlockReference* ref = nullptr;
        ASSERT_EQ(acdbOpenObject(ref, demo.referenceIds[i], AcDb::kForRead), Acad::eOk);
        EXPECT_EQ(ref->blockTableRecord(), demo.definitionId);
        EXPECT_EQ(ref->ownerId(), db->modelSpaceId());
        EXPECT_POINT(ref->position(), DemoDrawing::referencePosition(i));
        EXPECT_NEAR(ref->rotation(), DemoDrawing::referenceRotation(i), kTol);
        EXPECT_NEAR(ref->scaleFactors().sx, DemoDrawing::referenceScale(i), kTol);
        ref->close();
        EXPECT_TRUE(refsOfDoor.contains(demo.referenceIds[i]));
    }
}

// The graph, each of its nodes and the root data are written to DWG and read into fresh objects:
// what they read back is what they wrote (written again, the streams are the same), the
// parameter keeps its points, name, grips and edges, and the root data still names the graph.
TEST_F(AuthoringTest, DemoGraphRoundTripsThroughDwg) {
    DemoDrawing demo;
    ASSERT_EQ(demo.build(db), Acad::eOk);

    AcDbObjectIdArray objects;
    objects.append(demo.graphId);
    KxNodeIdArray nodeIds;
    {
        KxDbTagEvalGraph* graph = nullptr;
        ASSERT_EQ(acdbOpenObject(graph, demo.graphId, AcDb::kForRead), Acad::eOk);
        EXPECT_EQ(graph->getAllNodeIds(nodeIds), Acad::eOk);
        for (KxNodeId id : nodeIds) {
            KxDbTagEvalExpr* node = nullptr;
            ASSERT_EQ(graph->getNode(id, AcDb::kForRead, node), Acad::eOk);
            objects.append(node->objectId());
            node->close();
        }
        graph->close();
    }
    ASSERT_EQ(objects.length(), 8);
    // The root data, which names the graph as the definition's, goes along.
    AcDbObjectId rootDataId;
    ASSERT_EQ(KxDbTagRootData::getRootDataId(db, rootDataId), Acad::eOk);
    objects.append(rootDataId);

    std::vector<Owned> copies;
    for (const AcDbObjectId& id : objects) {
        AcDbObject* original = nullptr;
        ASSERT_EQ(acdbOpenObject(original, id, AcDb::kForRead), Acad::eOk);
        kxhost::DwgMemoryFiler out(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                   db);
        EXPECT_EQ(original->dwgOut(&out), Acad::eOk);
        AcRxObject* made = original->isA()->create();
        original->close();
        ASSERT_NE(made, nullptr);
        copies.emplace_back(made);
        AcDbObject* copy = AcDbObject::cast(made);
        ASSERT_NE(copy, nullptr);
        out.rewind();
        ASSERT_EQ(copy->dwgIn(&out), Acad::eOk) << out.describe().kwszPtr();
        EXPECT_EQ(out.filerStatus(), Acad::eOk);
        kxhost::DwgMemoryFiler again(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                     db);
        EXPECT_EQ(copy->dwgOut(&again), Acad::eOk);
        EXPECT_TRUE(again.sameItems(out)) << "written:\n"
                                          << out.describe().kwszPtr() << "\nread back:\n"
                                          << again.describe().kwszPtr();
    }

    // The graph read back lists the same nodes, by the same database objects.
    auto* graphCopy = KxDbTagEvalGraph::cast(copies[0].get());
    ASSERT_NE(graphCopy, nullptr);
    KxNodeIdArray copyIds;
    EXPECT_EQ(graphCopy->getAllNodeIds(copyIds), Acad::eOk);
    EXPECT_EQ(copyIds, nodeIds);
    KxEdgeInfoArray originalEdges;
    KxEdgeInfoArray copyEdges;
    KxDbBlockLinearTag* linearCopy = nullptr;
    for (const Owned& made : copies) {
        if (KxDbBlockLinearTag::cast(made.get()) != nullptr) {
            linearCopy = KxDbBlockLinearTag::cast(made.get());
        }
    }
    ASSERT_NE(linearCopy, nullptr);
    EXPECT_EQ(linearCopy->distanceName(), AcString(L"Distance1"));
    EXPECT_POINT(linearCopy->definitionBasePoint(), P(0, 0, 0));
    EXPECT_POINT(linearCopy->definitionEndPoint(), P(10, 0, 0));
    EXPECT_NE(linearCopy->gripId(0), 0u);
    EXPECT_NE(linearCopy->gripId(1), 0u);
    EXPECT_EQ(graphCopy->getOutgoingEdges(linearCopy->getNodeId(), copyEdges), Acad::eOk);
    KxDbTagEvalGraph* graph = nullptr;
    ASSERT_EQ(acdbOpenObject(graph, demo.graphId, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(graph->getOutgoingEdges(linearCopy->getNodeId(), originalEdges), Acad::eOk);
    graph->close();
    EXPECT_EQ(copyEdges, originalEdges);
    EXPECT_EQ(copyEdges.length(), 4);

    auto* rootDataCopy = KxDbTagRootData::cast(copies.back().get());
    ASSERT_NE(rootDataCopy, nullptr);
    AcDbObjectId graphOfDoor;
    EXPECT_TRUE(rootDataCopy->getGraph(demo.definitionId, graphOfDoor));
    EXPECT_EQ(graphOfDoor, demo.graphId);
    EXPECT_EQ(rootDataCopy->numGraphs(), 1);
}

// --- Steps one by one ---------------------------------------------------------------------------

TEST_F(AuthoringTest, RootDataIsMadeOnceAndFoundAfterwards) {
    AcDbObjectId none;
    EXPECT_EQ(kxauthor::ensureRootData(nullptr, none), kNoDatabase);
    EXPECT_TRUE(none.isNull());
    // A drawing without root data has no graphs to find.
    EXPECT_EQ(kxauthor::findGraph(db, db->modelSpaceId(), none), Acad::eKeyNotFound);

    AcDbObjectId first;
    AcDbObjectId second;
    ASSERT_EQ(kxauthor::ensureRootData(db, first), Acad::eOk);
    const long objects = kxhost::objectCount(db);
    ASSERT_EQ(kxauthor::ensureRootData(db, second), Acad::eOk);
    EXPECT_EQ(first, second);
    EXPECT_EQ(kxhost::objectCount(db), objects);
    AcDbObjectId registered;
    EXPECT_EQ(KxDbTagRootData::getRootDataId(db, registered), Acad::eOk);
    EXPECT_EQ(registered, first);
}

TEST_F(AuthoringTest, RefusedDefinitionsLeaveTheBlockTableAsItWas) {
    AcDbObjectId door;
    ASSERT_EQ(kxauthor::makeDefinition(db, L"DOOR", {kxauthor::line(P(0, 0, 0), P(1, 0, 0))}, door),
              Acad::eOk);
    const int blocks = blockCount();
    const long objects = kxhost::objectCount(db);

    // Each refusal consumes the entities handed in (the sanitizer build checks none leaks).
    AcDbObjectId id;
    EXPECT_EQ(kxauthor::makeDefinition(db, L"DOOR", {kxauthor::circle(P(0, 0, 0), 2.0)}, id),
              Acad::eDuplicateRecordName);
    EXPECT_TRUE(id.isNull());
    EXPECT_EQ(kxauthor::makeDefinition(db, L"", {kxauthor::circle(P(0, 0, 0), 2.0)}, id),
              Acad::eInvalidInput);
    EXPECT_EQ(kxauthor::makeDefinition(db, nullptr, {}, id), Acad::eInvalidInput);
    EXPECT_EQ(
        kxauthor::makeDefinition(
            db, L"WINDOW",
            {kxauthor::circle(P(0, 0, 0), 2.0), nullptr, kxauthor::rectangle(P2(0, 0), 1, 1)}, id),
        Acad::eInvalidInput);
    EXPECT_EQ(
        kxauthor::makeDefinition(nullptr, L"WINDOW", {kxauthor::line(P(0, 0, 0), P(1, 1, 0))}, id),
        kNoDatabase);
    EXPECT_EQ(blockCount(), blocks);
    EXPECT_EQ(kxhost::objectCount(db), objects);

    // A definition may be empty; its entities keep their order.
    AcDbObjectId empty;
    EXPECT_EQ(kxauthor::makeDefinition(db, L"EMPTY", {}, empty), Acad::eOk);
    EXPECT_EQ(blockEntities(empty).length(), 0);
    AcDbObjectId window;
    ASSERT_EQ(kxauthor::makeDefinition(db, L"WINDOW",
                                       {kxauthor::circle(P(0, 0, 0), 2.0),
                                        kxauthor::polyline({P2(0, 0), P2(3, 0), P2(3, 4)}, false)},
                                       window),
              Acad::eOk);
    const AcDbObjectIdArray entities = blockEntities(window);
    ASSERT_EQ(entities.length(), 2);
    AcDbPolyline* pline = nullptr;
    ASSERT_EQ(acdbOpenObject(pline, entities[1], AcDb::kForRead), Acad::eOk);
    EXPECT_FALSE(pline->isClosed());
    EXPECT_EQ(pline->numVerts(), 3u);
    pline->close();
}

TEST_F(AuthoringTest, ReferencesNeedADefinitionOfTheSameDrawingAndAScale) {
    AcDbObjectId door;
    ASSERT_EQ(kxauthor::makeDefinition(db, L"DOOR", {kxauthor::line(P(0, 0, 0), P(1, 0, 0))}, door),
              Acad::eOk);
    AcDbObjectId graphId;
    ASSERT_EQ(kxauthor::addGraph(db, door, graphId), Acad::eOk);
    AcDbDatabase other(true, true);
    AcDbObjectId foreign;
    ASSERT_EQ(kxauthor::makeDefinition(&other, L"DOOR", {}, foreign), Acad::eOk);
    const long objects = kxhost::objectCount(db);

    AcDbObjectId ref;
    EXPECT_EQ(kxauthor::insertReference(db, graphId, P(0, 0, 0), 0, 1, ref),
              Acad::eWrongObjectType);
    EXPECT_EQ(kxauthor::insertReference(db, foreign, P(0, 0, 0), 0, 1, ref), Acad::eWrongDatabase);
    EXPECT_EQ(kxauthor::insertReference(db, AcDbObjectId(), P(0, 0, 0), 0, 1, ref),
              Acad::eNullObjectId);
    // Model space cannot be inserted into itself.
    EXPECT_EQ(kxauthor::insertReference(db, db->modelSpaceId(), P(0, 0, 0), 0, 1, ref),
              Acad::eInvalidInput);
    EXPECT_EQ(kxauthor::insertReference(db, door, P(0, 0, 0), 0, 0.0, ref), Acad::eInvalidInput);
    EXPECT_EQ(kxauthor::insertReference(db, door, P(0, 0, 0), NAN, 1, ref), Acad::eInvalidInput);
    EXPECT_EQ(kxauthor::insertReference(nullptr, door, P(0, 0, 0), 0, 1, ref), kNoDatabase);
    EXPECT_TRUE(ref.isNull());
    EXPECT_EQ(kxhost::objectCount(db), objects);
    EXPECT_EQ(blockEntities(db->modelSpaceId()).length(), 0);

    // A mirrored reference is a reference like any other.
    ASSERT_EQ(kxauthor::insertReference(db, door, P(5, 5, 0), 0.5, -2.0, ref), Acad::eOk);
    AcDbBlockReference* inserted = nullptr;
    ASSERT_EQ(acdbOpenObject(inserted, ref, AcDb::kForRead), Acad::eOk);
    EXPECT_NEAR(inserted->scaleFactors().sx, -2.0, kTol);
    EXPECT_NEAR(inserted->rotation(), 0.5, kTol);
    inserted->close();
    expectAllClosed(&other);
}

TEST_F(AuthoringTest, ADefinitionKeepsItsFirstGraph) {
    AcDbObjectId door;
    ASSERT_EQ(kxauthor::makeDefinition(db, L"DOOR", {}, door), Acad::eOk);
    AcDbObjectId graphId;
    EXPECT_EQ(kxauthor::findGraph(db, door, graphId), Acad::eKeyNotFound);
    ASSERT_EQ(kxauthor::addGraph(db, door, graphId), Acad::eOk);
    AcDbObjectId paramId;
    ASSERT_EQ(kxauthor::addLinearParameter(db, graphId, P(0, 0, 0), P(5, 0, 0), L"Width", paramId),
              Acad::eOk);

    // A second graph would erase the first with its parameter: refused, the first is named.
    AcDbObjectId again;
    EXPECT_EQ(kxauthor::addGraph(db, door, again), Acad::eDuplicateKey);
    EXPECT_EQ(again, graphId);
    EXPECT_FALSE(graphId.isErased());
    EXPECT_FALSE(paramId.isErased());
    EXPECT_EQ(census(graphId).linears, 1);

    // Only block definitions get graphs.
    EXPECT_EQ(kxauthor::addGraph(db, paramId, again), Acad::eWrongObjectType);
    EXPECT_EQ(kxauthor::addGraph(db, db->modelSpaceId(), again), Acad::eInvalidInput);
    KxDbTagRootData* rd = nullptr;
    ASSERT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForRead, rd), Acad::eOk);
    EXPECT_EQ(rd->numGraphs(), 1);
    rd->close();
}

TEST_F(AuthoringTest, RefusedParametersLeaveTheGraphAsItWas) {
    DemoDrawing demo;
    ASSERT_EQ(demo.build(db), Acad::eOk);
    const long objects = kxhost::objectCount(db);

    AcDbObjectId id;
    // Property names are unique in the block, compared without case.
    EXPECT_EQ(
        kxauthor::addLinearParameter(db, demo.graphId, P(0, 0, 0), P(0, 5, 0), L"DISTANCE1", id),
        Acad::eDuplicateKey);
    EXPECT_EQ(kxauthor::addLinearParameter(db, demo.graphId, P(3, 3, 0), P(3, 3, 0), L"Height", id),
              static_cast<Acad::ErrorStatus>(402));
    EXPECT_EQ(
        kxauthor::addLinearParameter(db, demo.graphId, P(0, 0, 0), P(0, 5, 0), L"Height", id, 3),
        Acad::eInvalidInput);
    EXPECT_EQ(kxauthor::addLinearParameter(db, demo.graphId, P(0, 0, 0), P(0, 5, 0), L"", id),
              Acad::eInvalidInput);
    EXPECT_EQ(
        kxauthor::addLinearParameter(db, demo.definitionId, P(0, 0, 0), P(0, 5, 0), L"Height", id),
        Acad::eWrongObjectType);
    AcDbDatabase other(true, true);
    EXPECT_EQ(
        kxauthor::addLinearParameter(&other, demo.graphId, P(0, 0, 0), P(0, 5, 0), L"Height", id),
        Acad::eWrongDatabase);
    EXPECT_TRUE(id.isNull());
    EXPECT_EQ(kxhost::objectCount(db), objects);
    EXPECT_EQ(census(demo.graphId).nodes, 7);

    // One grip goes on the end point: three more nodes (the grip and its expressions).
    ASSERT_EQ(
        kxauthor::addLinearParameter(db, demo.graphId, P(0, 0, 0), P(0, 20, 0), L"Height", id, 1),
        Acad::eOk);
    KxDbBlockLinearTag* linear = nullptr;
    ASSERT_EQ(acdbOpenObject(linear, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(linear->gripId(0), 0u);
    EXPECT_NE(linear->gripId(1), 0u);
    linear->close();
    const GraphCensus c = census(demo.graphId);
    EXPECT_EQ(c.linears, 2);
    EXPECT_EQ(c.linearGrips, 3);
    EXPECT_EQ(c.expressions, 6);
    // None: the parameter alone.
    ASSERT_EQ(
        kxauthor::addLinearParameter(db, demo.graphId, P(0, 0, 0), P(4, 0, 0), L"Depth", id, 0),
        Acad::eOk);
    EXPECT_EQ(census(demo.graphId).nodes, c.nodes + 1);
    expectAllClosed(&other);
}

TEST_F(AuthoringTest, ValueSetsConstrainTheDistance) {
    DemoDrawing demo;
    ASSERT_EQ(demo.build(db), Acad::eOk);

    ASSERT_EQ(kxauthor::setValueSet(demo.parameterId, ValueSetSpec::list({20.0, 40.0})), Acad::eOk);
    KxDbBlockLinearTag* linear = nullptr;
    ASSERT_EQ(acdbOpenObject(linear, demo.parameterId, AcDb::kForWrite), Acad::eOk);
    EXPECT_TRUE(linear->valueSet().isList());
    // The definition distance is always allowed; others snap to the nearest listed one.
    EXPECT_EQ(linear->setUpdatedDistance(27.0), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(20, 0, 0));
    EXPECT_EQ(linear->setUpdatedDistance(12.0), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(10, 0, 0));
    linear->close();

    ASSERT_EQ(kxauthor::setValueSet(demo.parameterId, ValueSetSpec::grid(5.0, 5.0, 50.0)),
              Acad::eOk);
    ASSERT_EQ(acdbOpenObject(linear, demo.parameterId, AcDb::kForWrite), Acad::eOk);
    KxDbBlockTagValueSet set = linear->valueSet();
    EXPECT_FALSE(set.isList());
    EXPECT_TRUE(set.hasIncrement());
    EXPECT_DOUBLE_EQ(set.increment(), 5.0);
    EXPECT_DOUBLE_EQ(set.minimum(), 5.0);
    EXPECT_DOUBLE_EQ(set.maximum(), 50.0);
    EXPECT_EQ(linear->setUpdatedDistance(73.0), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(50, 0, 0));
    EXPECT_EQ(linear->setUpdatedDistance(23.0), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(25, 0, 0));
    linear->close();

    // Requests the value set would bend into something else are refused; the grid stays.
    for (const ValueSetSpec& bad :
         {ValueSetSpec::list({}), ValueSetSpec::list({10.0, -1.0}), ValueSetSpec::grid(0.0),
          ValueSetSpec::grid(-2.0), ValueSetSpec::grid(1.0, 10.0, 5.0),
          ValueSetSpec::grid(1.0, -1.0), ValueSetSpec::grid(NAN)}) {
        EXPECT_EQ(kxauthor::setValueSet(demo.parameterId, bad), Acad::eInvalidInput);
    }
    ASSERT_EQ(acdbOpenObject(linear, demo.parameterId, AcDb::kForRead), Acad::eOk);
    EXPECT_DOUBLE_EQ(linear->valueSet().increment(), 5.0);
    linear->close();

    // Back to any distance.
    ASSERT_EQ(kxauthor::setValueSet(demo.parameterId, ValueSetSpec::any()), Acad::eOk);
    ASSERT_EQ(acdbOpenObject(linear, demo.parameterId, AcDb::kForWrite), Acad::eOk);
    EXPECT_FALSE(linear->valueSet().hasIncrement());
    EXPECT_EQ(linear->setUpdatedDistance(73.0), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(73, 0, 0));
    linear->close();

    // Only linear parameters take one.
    EXPECT_EQ(kxauthor::setValueSet(demo.graphId, ValueSetSpec::list({1.0})),
              Acad::eWrongObjectType);
    EXPECT_EQ(kxauthor::setValueSet(AcDbObjectId(), ValueSetSpec::list({1.0})),
              Acad::eNullObjectId);
}

TEST_F(AuthoringTest, AStretchActionJoinsTheGraphOrNothingDoes) {
    DemoDrawing demo;
    ASSERT_EQ(demo.build(db), Acad::eOk);
    const long objects = kxhost::objectCount(db);
    AcDbObjectId actionId;
    // Refusals leave the drawing as it was.
    EXPECT_EQ(kxauthor::addStretchAction(db, demo.graphId, demo.parameterId,
                                         blockEntities(demo.definitionId), P2(5, -1), P2(11, 21),
                                         L"", actionId),
              Acad::eInvalidInput);
    EXPECT_EQ(
        kxauthor::addStretchAction(db, demo.graphId, demo.graphId, blockEntities(demo.definitionId),
                                   P2(5, -1), P2(11, 21), L"Stretch", actionId),
        Acad::eWrongObjectType);
    EXPECT_TRUE(actionId.isNull());
    EXPECT_EQ(kxhost::objectCount(db), objects);
    EXPECT_EQ(census(demo.graphId).nodes, 7);

    ASSERT_EQ(kxauthor::addStretchAction(db, demo.graphId, demo.parameterId,
                                         blockEntities(demo.definitionId), P2(5, -1), P2(11, 21),
                                         L"Stretch", actionId),
              Acad::eOk);
    EXPECT_FALSE(actionId.isNull());
    EXPECT_EQ(census(demo.graphId).nodes, 8);
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenObject(obj, actionId, AcDb::kForRead), Acad::eOk);
    KxDbTagStretchAction* stretch = KxDbTagStretchAction::cast(obj);
    ASSERT_NE(stretch, nullptr);
    EXPECT_EQ(stretch->stretchFrame().length(), 2);
    EXPECT_EQ(stretch->selectionSet().length(), blockEntities(demo.definitionId).length());
    obj->close();
}

TEST_F(AuthoringTest, AMoveActionJoinsTheGraphOrNothingDoes) {
    DemoDrawing demo;
    ASSERT_EQ(demo.build(db), Acad::eOk);
    const long objects = kxhost::objectCount(db);
    AcDbObjectId actionId;
    // Refusals leave the drawing as it was.
    EXPECT_EQ(kxauthor::addMoveAction(db, demo.graphId, demo.parameterId,
                                      blockEntities(demo.definitionId), L"", actionId),
              Acad::eInvalidInput);
    EXPECT_EQ(kxauthor::addMoveAction(db, demo.graphId, demo.graphId,
                                      blockEntities(demo.definitionId), L"Move", actionId),
              Acad::eWrongObjectType);
    EXPECT_TRUE(actionId.isNull());
    EXPECT_EQ(kxhost::objectCount(db), objects);
    EXPECT_EQ(census(demo.graphId).nodes, 7);

    ASSERT_EQ(kxauthor::addMoveAction(db, demo.graphId, demo.parameterId,
                                      blockEntities(demo.definitionId), L"Move", actionId),
              Acad::eOk);
    EXPECT_FALSE(actionId.isNull());
    EXPECT_EQ(census(demo.graphId).nodes, 8);
}

// --- Chained authoring --------------------------------------------------------------------------

TEST_F(AuthoringTest, AChainStopsAtItsFirstFailure) {
    AcDbObjectId door;
    ASSERT_EQ(kxauthor::makeDefinition(db, L"DOOR", {}, door), Acad::eOk);
    const long objects = kxhost::objectCount(db);

    // The definition is refused: no graph, parameter or reference follows, and the entities of
    // the later definition step are freed all the same.
    kxauthor::Author author(db);
    author.definition(L"DOOR", {kxauthor::circle(P(0, 0, 0), 1.0)})
        .graph()
        .linear(P(0, 0, 0), P(1, 0, 0), L"Distance1")
        .definition(L"OTHER", {kxauthor::line(P(0, 0, 0), P(1, 0, 0))})
        .reference(P(0, 0, 0));
    EXPECT_EQ(author.status(), Acad::eDuplicateRecordName);
    EXPECT_FALSE(author.ok());
    EXPECT_TRUE(author.definitionId().isNull());
    EXPECT_TRUE(author.graphId().isNull());
    EXPECT_EQ(author.referenceIds().length(), 0);
    EXPECT_EQ(kxhost::objectCount(db), objects);

    // A second drawing built in one chain; the demo is one of these.
    kxauthor::Author window(db);
    window.rootData()
        .definition(L"WINDOW", {kxauthor::rectangle(P2(0, 0), 12, 8)})
        .graph()
        .linear(P(0, 0, 0), P(12, 0, 0), L"Width")
        .valueSet(ValueSetSpec::grid(2.0, 6.0, 24.0))
        .reference(P(0, 0, 0))
        .reference(P(30, 0, 0), 0.0, 0.5);
    ASSERT_EQ(window.status(), Acad::eOk);
    EXPECT_EQ(window.referenceIds().length(), 2);
    AcDbObjectId found;
    EXPECT_EQ(kxauthor::findGraph(db, window.definitionId(), found), Acad::eOk);
    EXPECT_EQ(found, window.graphId());
    EXPECT_EQ(census(found).nodes, 7);

    // The demo cannot be built twice into one drawing.
    DemoDrawing demo;
    EXPECT_EQ(demo.build(db), Acad::eDuplicateRecordName);
}

}  // namespace
