// The behaviour every action shares: the selection set with its dependent elements and graph
// edges, the state flag, the single-source connections, the parameter, filing, and the
// base-point actions' base point.
#include <gtest/gtest.h>

#include "host/core/resbuf.h"
#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/opened.h"
#include "host/entities/line.h"
#include "module/actions/action_with_basept.h"
#include "module/actions/move_action.h"
#include "module/actions/move_action_imp.h"
#include "module/graph/eval_graph.h"
#include "module/params/linear_tag.h"
#include "module/rootdata/root_data.h"
#include "support/test_elements.h"

namespace {

using Dwg = kxhost::DwgMemoryFiler;
using Dxf = kxhost::DxfMemoryFiler;

using kxhost::Opened;

// A copy of the first `count` items of an action's stream, with the item at `replaceAt` (an
// unsigned 32-bit count) replaced by `value`.
void copyItems(const Dwg& from, Dwg& to, int count, int replaceAt = -1, Adesk::UInt32 value = 0) {
    using K = Dwg::ItemKind;
    const auto& items = from.items();
    for (int i = 0; i < count && i < static_cast<int>(items.size()); ++i) {
        const auto& it = items[static_cast<size_t>(i)];
        AcDbObjectId id;
        id.setFromOldId(static_cast<Adesk::Int64>(it.bits));
        switch (it.kind) {
            case K::kBool:
                to.writeBool(it.bits != 0);
                break;
            case K::kUInt8:
                to.writeUInt8(static_cast<Adesk::UInt8>(it.bits));
                break;
            case K::kInt32:
                to.writeInt32(static_cast<Adesk::Int32>(it.bits));
                break;
            case K::kUInt32:
                to.writeUInt32(i == replaceAt ? value : static_cast<Adesk::UInt32>(it.bits));
                break;
            case K::kDouble:
                to.writeDouble(it.v[0]);
                break;
            case K::kString:
                to.writeString(it.text.c_str());
                break;
            case K::kPoint3d:
                to.writePoint3d(AcGePoint3d(it.v[0], it.v[1], it.v[2]));
                break;
            case K::kVector3d:
                to.writeVector3d(AcGeVector3d(it.v[0], it.v[1], it.v[2]));
                break;
            case K::kSoftPointerId:
                to.writeSoftPointerId(AcDbSoftPointerId(id));
                break;
            case K::kHardPointerId:
                to.writeHardPointerId(AcDbHardPointerId(id));
                break;
            case K::kInt16:
                to.writeInt16(static_cast<Adesk::Int16>(it.bits));
                break;
            case K::kUInt16:
                to.writeUInt16(static_cast<Adesk::UInt16>(it.bits));
                break;
            case K::kHardOwnershipId:
                to.writeHardOwnershipId(AcDbHardOwnershipId(id));
                break;
            case K::kSoftOwnershipId:
                to.writeSoftOwnershipId(AcDbSoftOwnershipId(id));
                break;
            default:
                ADD_FAILURE() << "item kind not copied: " << AcString(it.description()).utf8();
                break;
        }
    }
}

// A block "B" with one line, and its graph: a linear parameter "L", move actions "A" and "B",
// a test parameter "TP" that does not chain actions and a linear parameter "TC" that does.
class ActionTest : public kxtest::TestElementsTest {
  protected:
    void SetUp() override {
        kxtest::TestElementsTest::SetUp();
        kxhost::resetUnmatchedCloses();
        {
            AcDbBlockTable* table = nullptr;
            ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
            auto* record = new AcDbBlockTableRecord();
            record->setName(L"B");
            ASSERT_EQ(table->add(blockId, record), Acad::eOk);
            table->close();
            auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0));
            ASSERT_EQ(record->appendAcDbEntity(lineId, line), Acad::eOk);
            line->close();
            record->close();
        }
        KxDbTagRootData* root = nullptr;
        ASSERT_EQ(KxDbTagRootData::openRootData(&db, AcDb::kForWrite, true, root), Acad::eOk);
        auto* graph = new KxDbTagEvalGraph();
        ASSERT_EQ(root->setGraph(blockId, graph), Acad::eOk);
        root->close();
        graphId = graph->objectId();

        auto* linear = new KxDbBlockLinearTag();
        linear->setName(L"L");
        linear->setDefinitionBasePoint(AcGePoint3d(0, 0, 0));
        linear->setDefinitionEndPoint(AcGePoint3d(10, 0, 0));
        ASSERT_EQ(graph->addNode(linear, linearNode), Acad::eOk);
        linearObj = linear->objectId();
        linear->close();
        for (int i = 0; i < 2; ++i) {
            auto* move = new KxDbTagMoveAction();
            move->setName(i == 0 ? L"A" : L"B");
            ASSERT_EQ(graph->addNode(move, i == 0 ? aNode : bNode), Acad::eOk);
            (i == 0 ? aObj : bObj) = move->objectId();
            move->close();
        }
        KxTestParam* tp = kxtest::makeTestParam(L"TP");
        ASSERT_EQ(graph->addNode(tp, tpNode), Acad::eOk);
        tpObj = tp->objectId();
        tp->close();
        auto* tc = new KxDbBlockLinearTag();
        tc->setName(L"TC");
        tc->setDefinitionBasePoint(AcGePoint3d(0, 5, 0));
        tc->setDefinitionEndPoint(AcGePoint3d(10, 5, 0));
        ASSERT_EQ(graph->addNode(tc, tcNode), Acad::eOk);
        tcObj = tc->objectId();
        tc->close();
        graph->close();
        Opened<KxDbBlockLinearTag> chain(tcObj, AcDb::kForWrite);
        ASSERT_EQ(chain->setChainActions(true), Acad::eOk);
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        kxtest::TestElementsTest::TearDown();
    }

    bool hasEdge(KxNodeId from, KxNodeId to) {
        Opened<KxDbTagEvalGraph> graph(graphId, AcDb::kForRead);
        KxEdgeInfo info;
        return graph->getEdgeInfo(from, to, info) == Acad::eOk;
    }
    // The graph can be opened for write: nobody left it open.
    bool graphIsClosed() {
        kxhost::setStrictOpens(true);
        AcDbObject* obj = nullptr;
        const Acad::ErrorStatus es = acdbOpenObject(obj, graphId, AcDb::kForWrite);
        if (es == Acad::eOk) {
            obj->close();
        }
        kxhost::setStrictOpens(false);
        return es == Acad::eOk;
    }
    AcDbObjectIdArray ids(std::initializer_list<AcDbObjectId> list) {
        AcDbObjectIdArray out;
        for (const AcDbObjectId& id : list) {
            out.append(id);
        }
        return out;
    }
    KxNodeIdArray dependentsOf(const AcDbObjectId& action) {
        Opened<KxDbTagMoveAction> move(action, AcDb::kForRead);
        return kxImpOf<KxDbImpTagMoveAction>(move.get())->dependentNodeIds();
    }
    void connectToLinear(const AcDbObjectId& action) {
        Opened<KxDbTagMoveAction> move(action, AcDb::kForWrite);
        ASSERT_EQ(move->connectTo(L"DeltaX", linearNode, L"EndXDelta"), Acad::eOk);
        ASSERT_EQ(move->connectTo(L"DeltaY", linearNode, L"EndYDelta"), Acad::eOk);
    }

    AcDbDatabase db;
    AcDbObjectId blockId, lineId, graphId, linearObj, aObj, bObj, tpObj, tcObj;
    KxNodeId linearNode = 0, aNode = 0, bNode = 0, tpNode = 0, tcNode = 0;
};

// --- Selection set ------------------------------------------------------------------------------

TEST_F(ActionTest, SelectedElementsBecomeDependentsWithEdgesOnlyWhereTheyChain) {
    connectToLinear(aObj);
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
        ASSERT_EQ(a->setSelectionSet(ids({lineId, bObj, tpObj, tcObj, linearObj})), Acad::eOk);
        EXPECT_EQ(a->selectionSet().length(), 5);
        // The action's own parameter is not a dependent.
        const AcDbObjectIdArray dependents = a->dependentElementIds();
        EXPECT_EQ(dependents.length(), 3);
        EXPECT_TRUE(dependents.contains(bObj));
        EXPECT_TRUE(dependents.contains(tpObj));
        EXPECT_TRUE(dependents.contains(tcObj));
        EXPECT_FALSE(dependents.contains(linearObj));
        EXPECT_EQ(a->elementStateFlag(), 0);
    }
    EXPECT_TRUE(hasEdge(aNode, bNode));
    EXPECT_TRUE(hasEdge(aNode, tcNode));
    EXPECT_FALSE(hasEdge(aNode, tpNode));

    // A new set takes the old dependencies away.
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
        ASSERT_EQ(a->setSelectionSet(ids({lineId})), Acad::eOk);
        EXPECT_TRUE(a->dependentElementIds().isEmpty());
    }
    EXPECT_FALSE(hasEdge(aNode, bNode));
    EXPECT_FALSE(hasEdge(aNode, tcNode));
    EXPECT_TRUE(hasEdge(linearNode, aNode));
    EXPECT_TRUE(graphIsClosed());
}

TEST_F(ActionTest, ASetThatClosesACycleIsRefusedAndTheOldOneStays) {
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
        ASSERT_EQ(a->setSelectionSet(ids({bObj})), Acad::eOk);
        Opened<KxDbTagMoveAction> b(bObj, AcDb::kForWrite);
        ASSERT_EQ(b->setSelectionSet(ids({tcObj, tpObj})), Acad::eOk);
    }
    const KxNodeIdArray before = dependentsOf(bObj);
    {
        Opened<KxDbTagMoveAction> b(bObj, AcDb::kForWrite);
        EXPECT_EQ(b->setSelectionSet(ids({lineId, aObj})), KxStatus::kCycleFound);
        EXPECT_EQ(b->selectionSet(), ids({tcObj, tpObj}));
    }
    EXPECT_EQ(dependentsOf(bObj), before);
    EXPECT_TRUE(hasEdge(bNode, tcNode));
    EXPECT_FALSE(hasEdge(bNode, aNode));
    EXPECT_TRUE(hasEdge(aNode, bNode));
    EXPECT_TRUE(graphIsClosed());
}

TEST_F(ActionTest, ReapplyingASetThatNowClosesACycleKeepsItsEdgesAndDependents) {
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
        ASSERT_EQ(a->setSelectionSet(ids({tcObj, tpObj, bObj})), Acad::eOk);
        // The selected action now feeds this one: the set re-applied closes a cycle.
        ASSERT_EQ(a->connectTo(L"DeltaY", bNode, L"DeltaX"), Acad::eOk);
    }
    const KxNodeIdArray before = dependentsOf(aObj);
    ASSERT_EQ(before.length(), 3);
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
        EXPECT_EQ(a->actionLinkReapplySelection(), KxStatus::kCycleFound);
        EXPECT_EQ(a->selectionSet(), ids({tcObj, tpObj, bObj}));
    }
    EXPECT_EQ(dependentsOf(aObj), before);
    EXPECT_TRUE(hasEdge(aNode, tcNode));
    EXPECT_TRUE(hasEdge(aNode, bNode));
    EXPECT_FALSE(hasEdge(aNode, tpNode));
    EXPECT_TRUE(hasEdge(bNode, aNode));
    EXPECT_TRUE(graphIsClosed());
}

TEST_F(ActionTest, AParameterThatStartsOrStopsChainingChangesTheActionsEdges) {
    AcDbObjectId chainObj;
    KxNodeId chainNode = 0;
    {
        Opened<KxDbTagEvalGraph> graph(graphId, AcDb::kForWrite);
        auto* linear = new KxDbBlockLinearTag();
        linear->setName(L"L3");
        linear->setDefinitionBasePoint(AcGePoint3d(0, 8, 0));
        linear->setDefinitionEndPoint(AcGePoint3d(10, 8, 0));
        ASSERT_EQ(graph->addNode(linear, chainNode), Acad::eOk);
        chainObj = linear->objectId();
        linear->close();
    }
    connectToLinear(aObj);
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
        ASSERT_EQ(a->setSelectionSet(ids({lineId, chainObj})), Acad::eOk);
        AcDbObjectIdArray linked;
        a->actionLinkSelection(linked);
        EXPECT_EQ(linked, ids({lineId, chainObj}));
        EXPECT_FALSE(a->actionLinkHasOwnList());
    }
    EXPECT_FALSE(hasEdge(aNode, chainNode));
    {
        Opened<KxDbBlockLinearTag> chain(chainObj, AcDb::kForWrite);
        ASSERT_EQ(chain->setChainActions(true), Acad::eOk);
    }
    EXPECT_TRUE(hasEdge(aNode, chainNode));
    {
        Opened<KxDbBlockLinearTag> chain(chainObj, AcDb::kForWrite);
        ASSERT_EQ(chain->setChainActions(false), Acad::eOk);
    }
    EXPECT_FALSE(hasEdge(aNode, chainNode));

    // Fed by the action's other input, the parameter cannot start chaining: that would close a
    // cycle, and everything stays as it was.
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
        ASSERT_EQ(a->disconnectFrom(L"DeltaY", linearNode, L"EndYDelta"), Acad::eOk);
        ASSERT_EQ(a->connectTo(L"DeltaY", chainNode, L"EndYDelta"), Acad::eOk);
    }
    const KxNodeIdArray before = dependentsOf(aObj);
    {
        Opened<KxDbBlockLinearTag> chain(chainObj, AcDb::kForWrite);
        EXPECT_EQ(chain->setChainActions(true), KxStatus::kCycleFound);
        EXPECT_FALSE(chain->chainActions());
    }
    EXPECT_EQ(dependentsOf(aObj), before);
    EXPECT_FALSE(hasEdge(aNode, chainNode));
    EXPECT_TRUE(hasEdge(chainNode, aNode));
    EXPECT_TRUE(graphIsClosed());
}

TEST_F(ActionTest, AnActionOutsideAGraphTakesNoSelectionOrConnection) {
    KxDbTagMoveAction loose;
    EXPECT_EQ(loose.setSelectionSet(ids({lineId})), KxStatus::kNodeNotFound);
    EXPECT_TRUE(loose.selectionSet().isEmpty());
    EXPECT_EQ(loose.connectTo(L"DeltaX", linearNode, L"EndXDelta"), KxStatus::kNotInGraph);
    EXPECT_FALSE(loose.canConnectTo(L"DeltaX", linearNode, L"EndXDelta"));
    AcDbObject* param = nullptr;
    EXPECT_NE(loose.openParameter(param, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(param, nullptr);
}

// --- State flag, parameter and removal -----------------------------------------------------------

TEST_F(ActionTest, TheStateFlagTellsAMissingParameterAndAnEmptySelection) {
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
        ASSERT_EQ(a->clearElementStateFlag(), Acad::eOk);
        EXPECT_EQ(a->elementStateFlag(), 6);
    }
    connectToLinear(aObj);
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
        EXPECT_EQ(a->elementStateFlag(), 4);
        ASSERT_EQ(a->setSelectionSet(ids({lineId})), Acad::eOk);
        EXPECT_EQ(a->elementStateFlag(), 0);
    }
    {
        Opened<AcDbLine> line(lineId, AcDb::kForWrite);
        ASSERT_EQ(line->erase(), Acad::eOk);
    }
    Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
    ASSERT_EQ(a->clearElementStateFlag(), Acad::eOk);
    EXPECT_EQ(a->elementStateFlag(), 4);
}

TEST_F(ActionTest, TheParameterOpensOnlyWhenItIsAParameter) {
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForRead);
        AcDbObject* param = nullptr;
        EXPECT_EQ(a->openParameter(param, AcDb::kForRead), KxStatus::kNodeNotFound);
        EXPECT_EQ(a->actionLinkParameterId(), 0u);
    }
    connectToLinear(aObj);
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForRead);
        AcDbObject* param = nullptr;
        ASSERT_EQ(a->openParameter(param, AcDb::kForRead), Acad::eOk);
        EXPECT_EQ(param->objectId(), linearObj);
        param->close();
        EXPECT_EQ(a->actionLinkParameterId(), linearNode);
        EXPECT_EQ(a->actionLinkKind(), KxDbParamActionLink::kMoveLike);
    }
    // Fed by another action: no parameter to hand out.
    Opened<KxDbTagMoveAction> b(bObj, AcDb::kForWrite);
    ASSERT_EQ(b->connectTo(L"DeltaX", aNode, L"DeltaX"), Acad::eOk);
    AcDbObject* param = nullptr;
    EXPECT_EQ(b->openParameter(param, AcDb::kForRead), Acad::eWrongObjectType);
    EXPECT_EQ(param, nullptr);
}

TEST_F(ActionTest, RemovingANodeClearsItsInputsAndDependents) {
    connectToLinear(aObj);
    {
        Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
        ASSERT_EQ(a->setSelectionSet(ids({lineId, tcObj, tpObj})), Acad::eOk);
    }
    {
        Opened<KxDbTagEvalGraph> graph(graphId, AcDb::kForWrite);
        ASSERT_EQ(graph->removeNode(linearNode), Acad::eOk);
        ASSERT_EQ(graph->removeNode(tcNode), Acad::eOk);
    }
    Opened<KxDbTagMoveAction> a(aObj, AcDb::kForRead);
    KxNodeIdArray sources;
    a->getConnectedNodes(L"DeltaX", sources);
    a->getConnectedNodes(L"DeltaY", sources);
    EXPECT_TRUE(sources.isEmpty());
    EXPECT_EQ(a->parameterNodeId(), 0u);
    EXPECT_EQ(a->elementStateFlag(), 2);
    EXPECT_EQ(dependentsOf(aObj).length(), 1);
}

// --- Connections
// ----------------------------------------------------------------------------------

TEST_F(ActionTest, AnInputTakesOneSourceOfItsOwnKind) {
    Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
    AcStringArray names;
    ASSERT_EQ(a->getConnectionNames(names), Acad::eOk);
    ASSERT_EQ(names.length(), 2);
    EXPECT_EQ(names[0], AcString(L"DeltaX"));
    EXPECT_EQ(names[1], AcString(L"DeltaY"));
    // Asking ignores case, connecting does not.
    EXPECT_TRUE(a->hasConnection(L"deltax"));
    EXPECT_EQ(a->connectTo(L"deltax", linearNode, L"EndXDelta"), Acad::eInvalidInput);
    EXPECT_EQ(a->connectTo(L"Other", linearNode, L"EndXDelta"), Acad::eInvalidInput);
    EXPECT_EQ(a->connectTo(L"DeltaX", linearNode, L""), Acad::eInvalidInput);
    EXPECT_EQ(a->connectTo(L"DeltaX", linearNode, L"NoSuchConnection"), Acad::eInvalidInput);
    EXPECT_EQ(a->connectTo(L"DeltaX", tpNode, L"Count"), Acad::eInvalidInput);  // integer
    EXPECT_EQ(a->connectTo(L"DeltaX", 0, L"EndXDelta"), KxStatus::kNotInGraph);

    ASSERT_EQ(a->connectTo(L"DeltaX", linearNode, L"EndXDelta"), Acad::eOk);
    EXPECT_FALSE(a->canConnectTo(L"DeltaX", tpNode, L"Value"));
    EXPECT_EQ(a->connectTo(L"DeltaX", tpNode, L"Value"), Acad::eIllegalReplacement);
    EXPECT_EQ(a->disconnectFrom(L"DeltaX", linearNode, L"EndYDelta"), Acad::eInvalidInput);
    AcStringArray sources;
    a->getConnectedConnections(L"DELTAX", linearNode, sources);
    ASSERT_EQ(sources.length(), 1);
    EXPECT_EQ(sources[0], AcString(L"EndXDelta"));
    EXPECT_TRUE(hasEdge(linearNode, aNode));

    ASSERT_EQ(a->disconnectFrom(L"DeltaX", linearNode, L"EndXDelta"), Acad::eOk);
    KxNodeIdArray nodes;
    a->getConnectedNodes(L"DeltaX", nodes);
    EXPECT_TRUE(nodes.isEmpty());
    EXPECT_FALSE(hasEdge(linearNode, aNode));
    EXPECT_TRUE(a->canConnectTo(L"DeltaX", tpNode, L"Value"));
}

// --- Filing
// ---------------------------------------------------------------------------------------

TEST_F(ActionTest, TheSharedFieldsRoundTripThroughDwgAndDxf) {
    connectToLinear(aObj);
    Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
    ASSERT_EQ(a->setSelectionSet(ids({lineId, tcObj, tpObj})), Acad::eOk);
    ASSERT_EQ(a->setDisplayLocation(AcGePoint3d(1, 2, 3)), Acad::eOk);

    Dwg dwg;
    ASSERT_EQ(a->dwgOutFields(&dwg), Acad::eOk);
    KxDbTagMoveAction fromDwg;
    dwg.rewind();
    ASSERT_EQ(fromDwg.dwgInFields(&dwg), Acad::eOk);
    EXPECT_EQ(fromDwg.selectionSet(), a->selectionSet());
    EXPECT_EQ(fromDwg.displayLocation(), AcGePoint3d(1, 2, 3));
    EXPECT_EQ(kxImpOf<KxDbImpTagMoveAction>(&fromDwg)->dependentNodeIds(), dependentsOf(aObj));
    EXPECT_EQ(kxImpOf<KxDbImpTagMoveAction>(&fromDwg)->parameterNodeId(), linearNode);

    Dxf dxf;
    ASSERT_EQ(a->dxfOutFields(&dxf), Acad::eOk);
    KxDbTagMoveAction fromDxf;
    dxf.rewind();
    ASSERT_EQ(fromDxf.dxfInFields(&dxf), Acad::eOk);
    EXPECT_EQ(fromDxf.selectionSet(), a->selectionSet());
    EXPECT_EQ(fromDxf.displayLocation(), AcGePoint3d(1, 2, 3));
    EXPECT_EQ(kxImpOf<KxDbImpTagMoveAction>(&fromDxf)->dependentNodeIds(), dependentsOf(aObj));
    AcStringArray names;
    a->getConnectionNames(names);
    AcStringArray sources;
    fromDxf.getConnectedConnections(L"DeltaY", linearNode, sources);
    ASSERT_EQ(sources.length(), 1);
    EXPECT_EQ(sources[0], AcString(L"EndYDelta"));
}

TEST_F(ActionTest, DamagedDwgRecordsFailWithoutHanging) {
    connectToLinear(aObj);
    Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
    ASSERT_EQ(a->setSelectionSet(ids({lineId, tcObj})), Acad::eOk);
    Dwg full;
    ASSERT_EQ(a->dwgOutFields(&full), Acad::eOk);
    for (int keep = 0; keep < full.itemCount(); ++keep) {
        Dwg cut;
        copyItems(full, cut, keep);
        cut.rewind();
        KxDbTagMoveAction back;
        EXPECT_NE(back.dwgInFields(&cut), Acad::eOk) << keep;
    }
    // A selection count far beyond the record: refused at once.
    int countAt = -1;
    for (int i = 0; i < full.itemCount(); ++i) {
        if (full.items()[static_cast<size_t>(i)].kind == Dwg::ItemKind::kPoint3d) {
            countAt = i + 1;  // the count follows the display location
        }
    }
    ASSERT_GT(countAt, 0);
    Dwg huge;
    copyItems(full, huge, full.itemCount(), countAt, 0xFFFFFFF0u);
    huge.rewind();
    KxDbTagMoveAction back;
    EXPECT_NE(back.dwgInFields(&huge), Acad::eOk);
}

TEST_F(ActionTest, DxfRecordsNeedTheirGroupsAndAValidCount) {
    Opened<KxDbTagMoveAction> a(aObj, AcDb::kForWrite);
    Dxf full;
    ASSERT_EQ(a->dxfOutFields(&full), Acad::eOk);
    for (int code : {70, 71, 1010, 92, 140, 280}) {
        resbuf* chain = full.toChain();
        resbuf* kept = nullptr;
        resbuf** tail = &kept;
        for (resbuf* rb = chain; rb != nullptr;) {
            resbuf* next = rb->rbnext;
            rb->rbnext = nullptr;
            if (rb->restype == code) {
                acutRelRb(rb);
            } else {
                *tail = rb;
                tail = &rb->rbnext;
            }
            rb = next;
        }
        Dxf without;
        ASSERT_EQ(without.load(kept), Acad::eOk);
        acutRelRb(kept);
        KxDbTagMoveAction back;
        EXPECT_EQ(back.dxfInFields(&without), Acad::eMissingDxfField) << code;
    }
}

// --- Base point
// -----------------------------------------------------------------------------------

TEST_F(ActionTest, ABasePointFollowsItsConnectionsUntilMadeIndependent) {
    KxDbTagActionWithBasePt action;
    EXPECT_TRUE(action.isDependent());
    EXPECT_EQ(action.setBasePoint(AcGePoint3d(1, 1, 0)), Acad::eInvalidInput);
    EXPECT_EQ(action.basePoint(), AcGePoint3d());
    EXPECT_EQ(action.transformInstanceBy(AcGeMatrix3d::translation(AcGeVector3d(2, 3, 0))),
              Acad::eOk);
    EXPECT_EQ(action.basePoint(), AcGePoint3d(2, 3, 0));
    ASSERT_EQ(action.setDependent(false), Acad::eOk);
    EXPECT_EQ(action.basePoint(), AcGePoint3d(2, 3, 0));
    ASSERT_EQ(action.setBasePoint(AcGePoint3d(5, 6, 0)), Acad::eOk);
    KxDbTagEvalVariant value;
    ASSERT_EQ(action.getConnectionValue(L"basey", value), Acad::eOk);
    EXPECT_DOUBLE_EQ(value.resval.rreal, 6.0);
    EXPECT_EQ(action.getConnectionValue(L"Other", value), Acad::eInvalidInput);

    AcDbIntArray indices;
    indices.append(0);
    indices.append(0);
    ASSERT_EQ(action.moveGripPointsAt(indices, AcGeVector3d(1, 0, 0)), Acad::eOk);
    EXPECT_EQ(action.basePoint(), AcGePoint3d(7, 6, 0));
    indices.append(1);
    EXPECT_EQ(action.moveGripPointsAt(indices, AcGeVector3d(1, 0, 0)), Acad::eInvalidInput);
}

TEST_F(ActionTest, OldBasePointRecordsReadWithoutFlagAndOffset) {
    KxDbTagActionWithBasePt action;
    ASSERT_EQ(action.setDependent(false), Acad::eOk);
    ASSERT_EQ(action.setBasePoint(AcGePoint3d(4, 5, 0)), Acad::eOk);
    ASSERT_EQ(action.setBaseOffset(AcGeVector3d(1, 1, 0)), Acad::eOk);
    Dxf full;
    ASSERT_EQ(action.dxfOutFields(&full), Acad::eOk);
    resbuf* chain = full.toChain();
    resbuf* kept = nullptr;
    resbuf** tail = &kept;
    for (resbuf* rb = chain; rb != nullptr;) {
        resbuf* next = rb->rbnext;
        rb->rbnext = nullptr;
        if (rb->restype == 280 || rb->restype == 1012) {
            acutRelRb(rb);
        } else {
            *tail = rb;
            tail = &rb->rbnext;
        }
        rb = next;
    }
    for (int maint : {58, 62}) {
        Dxf old(AcDb::kFileFiler, static_cast<AcDb::AcDbDwgVersion>(25),
                static_cast<AcDb::MaintenanceReleaseVersion>(maint));
        ASSERT_EQ(old.load(kept), Acad::eOk);
        KxDbTagActionWithBasePt back;
        const Acad::ErrorStatus es = back.dxfInFields(&old);
        if (maint == 58) {
            EXPECT_EQ(es, Acad::eOk);
            EXPECT_EQ(back.basePoint(), AcGePoint3d(4, 5, 0));
            EXPECT_TRUE(back.isDependent());
        } else {
            EXPECT_EQ(es, Acad::eMissingDxfField);
        }
    }
    acutRelRb(kept);

    Dwg dwg;
    ASSERT_EQ(action.dwgOutFields(&dwg), Acad::eOk);
    dwg.rewind();
    KxDbTagActionWithBasePt back;
    ASSERT_EQ(back.dwgInFields(&dwg), Acad::eOk);
    EXPECT_FALSE(back.isDependent());
    EXPECT_EQ(back.baseOffset(), AcGeVector3d(1, 1, 0));
    EXPECT_EQ(back.basePoint(), AcGePoint3d(4, 5, 0));

    // A record that ends early is refused, wherever it ends.
    for (int keep = 0; keep < dwg.itemCount(); ++keep) {
        Dwg cut;
        copyItems(dwg, cut, keep);
        cut.rewind();
        KxDbTagActionWithBasePt partial;
        EXPECT_NE(partial.dwgInFields(&cut), Acad::eOk) << keep;
    }
}

}  // namespace
