// The linear grip: its construction, its connections (only to a linear parameter), the
// projection of a drag onto the parameter's line, the offset that turns with the parameter, its
// records, and the grips a linear parameter makes and drives in a database graph.
#include <gtest/gtest.h>

#include <cmath>

#include "host/core/heap.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/opened.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip_expr.h"
#include "module/grips/linear_grip.h"
#include "module/params/linear_tag.h"
#include "module/params/value_set.h"
#include "support/test_elements.h"

namespace {

using Filer = kxhost::DwgMemoryFiler;
using DxfFiler = kxhost::DxfMemoryFiler;

bool near(const AcGePoint3d& a, const AcGePoint3d& b) {
    return a.distanceTo(b) < 1e-9;
}
bool near(const AcGeVector3d& a, const AcGeVector3d& b) {
    return (a - b).length() < 1e-9;
}

using kxhost::Opened;

class LinearGripTest : public kxtest::TestElementsTest {
  protected:
    void SetUp() override {
        kxtest::TestElementsTest::SetUp();
        kxhost::resetAssertionViolations();
        kxhost::resetUnmatchedCloses();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        kxtest::TestElementsTest::TearDown();
    }
};

// --- The grip alone -----------------------------------------------------------------------------

TEST_F(LinearGripTest, Construction) {
    KxDbTagLinearGrip plain;
    EXPECT_TRUE(plain.insertionCycling());
    EXPECT_EQ(plain.insertionCyclingWeight(), -1);
    EXPECT_EQ(plain.orientation(), AcGeVector3d(1, 0, 0));
    EXPECT_EQ(plain.location(), AcGePoint3d::kOrigin);
    // A drag grip keeps nothing per reference.
    EXPECT_FALSE(plain.hasInstanceData());

    KxDbTagLinearGrip named(L"端点夹点", AcGePoint3d(3, 4, 5));
    EXPECT_EQ(named.getName(), AcString(L"端点夹点"));
    EXPECT_EQ(named.location(), AcGePoint3d(3, 4, 5));
    EXPECT_EQ(named.updatedLocation(), AcGePoint3d(3, 4, 5));
    EXPECT_EQ(named.expressionPosition(), AcGePoint3d(3, 4, 5));
    EXPECT_TRUE(named.insertionCycling());
    EXPECT_EQ(named.setOrientation(AcGeVector3d(0, -2, 0)), Acad::eOk);
    EXPECT_EQ(named.orientation(), AcGeVector3d(0, -2, 0));
    EXPECT_TRUE(KxDbTagGrip::cast(&named) != nullptr);
}

TEST_F(LinearGripTest, OnlyALinearParameterFeedsItsPosition) {
    auto* graph = new KxDbTagEvalGraph();
    KxTestParam* param = kxtest::makeTestParam(L"P", 1.0);
    auto* grip = new KxDbTagLinearGrip(L"G", AcGePoint3d(1, 1, 0));
    KxNodeId paramId = 0;
    KxNodeId gripId = 0;
    ASSERT_EQ(graph->addNode(param, paramId), Acad::eOk);
    ASSERT_EQ(graph->addNode(grip, gripId), Acad::eOk);

    EXPECT_EQ(grip->connectTo(L"X", paramId, L"Value"), Acad::eInvalidInput);
    EXPECT_FALSE(grip->canConnectTo(L"X", paramId, L"Value"));
    EXPECT_EQ(grip->disconnectFrom(L"X", paramId, L"Value"), Acad::eInvalidInput);
    EXPECT_EQ(grip->connectTo(L"X", 0, L"Value"), KxStatus::kNotInGraph);
    EXPECT_EQ(grip->disconnectFrom(L"X", 0, L"Value"), KxStatus::kNotInGraph);
    EXPECT_EQ(grip->connectTo(L"X", paramId, L""), Acad::eInvalidInput);
    EXPECT_NE(grip->connectTo(L"X", 99, L"Value"), Acad::eOk);

    KxDbTagGripExpr* node = nullptr;
    KxDbTagEvalExpr* expr = nullptr;
    ASSERT_EQ(graph->getNode(grip->xExpressionId(), AcDb::kForRead, expr), Acad::eOk);
    node = KxDbTagGripExpr::cast(expr);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->targetNodeId(), 0u);

    // Without a parameter there is nothing to project onto.
    grip->setUpdatedLocation(AcGePoint3d(5, 5, 0));
    EXPECT_EQ(grip->evaluate(nullptr), KxStatus::kNodeNotFound);
    EXPECT_EQ(grip->updatedLocation(), AcGePoint3d(5, 5, 0));
    // While stored state is replayed the grip does nothing at all.
    KxDbTagEvalContext context;
    kxSetEvalMode(&context, kEvalModeLoad);
    EXPECT_EQ(grip->evaluate(&context), Acad::eOk);
    EXPECT_EQ(grip->updatedLocation(), AcGePoint3d(5, 5, 0));
    delete graph;
}

// --- Records ------------------------------------------------------------------------------------

TEST_F(LinearGripTest, DwgRoundTrip) {
    KxDbTagLinearGrip grip(L"G", AcGePoint3d(1, 2, 3));
    grip.setOrientation(AcGeVector3d(-10, 0.5, 0));
    grip.setInsertionCyclingWeight(2);
    Filer f;
    ASSERT_EQ(grip.dwgOut(&f), Acad::eOk);
    ASSERT_EQ(f.items().back().kind, Filer::ItemKind::kVector3d);
    f.rewind();
    KxDbTagLinearGrip back;
    ASSERT_EQ(back.dwgIn(&f), Acad::eOk);
    EXPECT_EQ(back.getName(), AcString(L"G"));
    EXPECT_EQ(back.location(), AcGePoint3d(1, 2, 3));
    EXPECT_EQ(back.orientation(), AcGeVector3d(-10, 0.5, 0));
    EXPECT_EQ(back.insertionCyclingWeight(), 2);

    // The id filers see no orientation; the id-translation filer reads none.
    for (AcDb::FilerType type : {AcDb::kIdXlateFiler, AcDb::kIdFiler, AcDb::kPurgeFiler}) {
        Filer out(type);
        ASSERT_EQ(grip.dwgOutFields(&out), Acad::eOk);
        for (const auto& item : out.items()) {
            EXPECT_NE(item.kind, Filer::ItemKind::kVector3d) << type;
        }
    }
    Filer xlate(AcDb::kIdXlateFiler);
    grip.dwgOutFields(&xlate);
    xlate.rewind();
    KxDbTagLinearGrip keeps;
    keeps.setOrientation(AcGeVector3d(0, 0, 1));
    ASSERT_EQ(keeps.dwgInFields(&xlate), Acad::eOk);
    EXPECT_EQ(keeps.orientation(), AcGeVector3d(0, 0, 1));

    // A record that ends before the orientation (as the base grip files) is refused.
    KxDbTagLinearGrip other;
    other.setOrientation(AcGeVector3d(0, 1, 0));
    Filer baseOnly;
    {
        KxDbTagEvalExpr plain;
        plain.dwgOut(&baseOnly);
        baseOnly.writeString(L"G");
        baseOnly.writeInt32(33);
        baseOnly.writeInt32(228);
        baseOnly.writeInt32(0);
        baseOnly.writeUInt32(0);
        baseOnly.writeUInt32(0);
        baseOnly.writePoint3d(AcGePoint3d(1, 2, 3));
        baseOnly.writeBool(true);
        baseOnly.writeInt32(-1);
    }
    baseOnly.rewind();
    EXPECT_NE(other.dwgIn(&baseOnly), Acad::eOk);
    EXPECT_EQ(other.orientation(), AcGeVector3d(0, 1, 0));
}

TEST_F(LinearGripTest, DxfRoundTripAndRequiredGroups) {
    KxDbTagLinearGrip grip(L"G", AcGePoint3d(1, 2, 3));
    grip.setOrientation(AcGeVector3d(0.25, -4, 1));
    DxfFiler f;
    ASSERT_EQ(grip.dxfOut(&f), Acad::eOk);
    const auto& items = f.items();
    const int n = f.itemCount();
    ASSERT_GE(n, 4);
    EXPECT_EQ(items[n - 4].text, L"AcDbBlockLinearGrip");
    EXPECT_EQ(items[n - 3].code, 140);
    EXPECT_EQ(items[n - 2].code, 141);
    EXPECT_EQ(items[n - 1].code, 142);
    f.rewind();
    KxDbTagLinearGrip back;
    ASSERT_EQ(back.dxfIn(&f), Acad::eOk);
    EXPECT_EQ(back.orientation(), AcGeVector3d(0.25, -4, 1));
    EXPECT_EQ(back.location(), AcGePoint3d(1, 2, 3));

    // Each orientation group is required; the groups come in any order.
    for (int missing = -1; missing < 3; ++missing) {
        SCOPED_TRACE(missing);
        DxfFiler g;
        resbuf* all = f.toChain();
        ASSERT_NE(all, nullptr);
        // Drop the three orientation groups and append them in reverse order, less one.
        resbuf* head = nullptr;
        resbuf** tail = &head;
        for (resbuf* rb = all; rb != nullptr;) {
            resbuf* next = rb->rbnext;
            rb->rbnext = nullptr;
            if (rb->restype >= 140 && rb->restype <= 142) {
                acutRelRb(rb);
            } else {
                *tail = rb;
                tail = &rb->rbnext;
            }
            rb = next;
        }
        g.load(head);
        acutRelRb(head);
        for (int code = 142; code >= 140; --code) {
            if (code - 140 != missing) {
                g.writeDouble(code, code - 139.0);
            }
        }
        g.writeString(100, L"AcDbNext");
        g.rewind();
        KxDbTagLinearGrip reader;
        if (missing < 0) {
            ASSERT_EQ(reader.dxfIn(&g), Acad::eOk);
            EXPECT_EQ(reader.orientation(), AcGeVector3d(1, 2, 3));
        } else {
            EXPECT_EQ(reader.dxfIn(&g), Acad::eMissingDxfField);
        }
    }
}

// --- With a linear parameter in a database graph -------------------------------------------------

class LinearParameterGripTest : public LinearGripTest {
  protected:
    void SetUp() override {
        LinearGripTest::SetUp();
        graph = new KxDbTagEvalGraph();
        ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
        auto* param = new KxDbBlockLinearTag();
        param->setDefinitionBasePoint(AcGePoint3d(0, 0, 0));
        param->setDefinitionEndPoint(AcGePoint3d(10, 0, 0));
        ASSERT_EQ(graph->addNode(param, paramId), Acad::eOk);
        paramObject = param->objectId();
        param->close();
        graph->close();
    }

    // Counts the live nodes of the graph.
    int nodeCount() const {
        Opened<KxDbTagEvalGraph> g(graphId, AcDb::kForRead);
        KxNodeIdArray ids;
        EXPECT_EQ(g->getAllNodeIds(ids), Acad::eOk);
        return ids.length();
    }
    AcDbObjectId objectOf(KxNodeId id) const {
        Opened<KxDbTagEvalGraph> g(graphId, AcDb::kForRead);
        KxDbTagEvalExpr* node = nullptr;
        if (g->getNode(id, AcDb::kForRead, node) != Acad::eOk) {
            return AcDbObjectId();
        }
        const AcDbObjectId object = node->objectId();
        node->close();
        return object;
    }
    KxNodeId gripId(int index) const {
        Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForRead);
        return p->gripId(index);
    }
    Acad::ErrorStatus setGripCount(int count) {
        Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForWrite);
        return p->setGripCount(count);
    }
    // Evaluates the graph from the given nodes, as an interactive change.
    Acad::ErrorStatus evaluateFrom(KxNodeId id) {
        Opened<KxDbTagEvalGraph> g(graphId, AcDb::kForWrite);
        KxDbTagEvalContext context;
        kxSetEvalMode(&context, kEvalModeInteractive);
        KxNodeIdArray ids;
        ids.append(id);
        return g->evaluate(&context, ids);
    }

    AcDbDatabase db;
    KxDbTagEvalGraph* graph = nullptr;
    AcDbObjectId graphId;
    AcDbObjectId paramObject;
    KxNodeId paramId = 0;
};

TEST_F(LinearParameterGripTest, TwoGripsAndTheirExpressionsAreWired) {
    ASSERT_EQ(setGripCount(2), Acad::eOk);
    EXPECT_EQ(nodeCount(), 7);
    const ACHAR* xNames[2] = {L"UpdatedBaseX", L"UpdatedEndX"};
    const ACHAR* yNames[2] = {L"UpdatedBaseY", L"UpdatedEndY"};
    const AcGePoint3d points[2] = {AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)};
    const AcGeVector3d directions[2] = {AcGeVector3d(-10, 0, 0), AcGeVector3d(10, 0, 0)};
    Opened<KxDbTagEvalGraph> g(graphId, AcDb::kForRead);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const KxNodeId id = gripId(i);
        ASSERT_NE(id, 0u);
        Opened<KxDbTagLinearGrip> grip(objectOf(id), AcDb::kForRead);
        ASSERT_EQ(grip.status(), Acad::eOk);
        EXPECT_TRUE(near(grip->gripPosition(), points[i]));
        EXPECT_TRUE(near(grip->orientation(), directions[i]));
        int index = -1;
        EXPECT_EQ(grip->gripIndex(index), Acad::eOk);
        EXPECT_EQ(index, i);
        EXPECT_TRUE(near(grip->parameterPoint(), points[i]));
        KxDbBlockTag* param = nullptr;
        ASSERT_EQ(grip->openParameter(param), Acad::eOk);
        EXPECT_EQ(param->objectId(), paramObject);
        param->close();

        const KxNodeId exprIds[2] = {grip->xExpressionId(), grip->yExpressionId()};
        const ACHAR* names[2] = {xNames[i], yNames[i]};
        for (int c = 0; c < 2; ++c) {
            Opened<KxDbTagGripExpr> expr(objectOf(exprIds[c]), AcDb::kForRead);
            ASSERT_EQ(expr.status(), Acad::eOk);
            EXPECT_EQ(expr->targetNodeId(), paramId);
            EXPECT_EQ(expr->targetConnectionName(), AcString(names[c]));
            KxEdgeInfo info;
            EXPECT_EQ(g->getEdgeInfo(paramId, exprIds[c], info), Acad::eOk);
        }
        // The parameter reads the grip's displacement.
        KxEdgeInfo info;
        EXPECT_EQ(g->getEdgeInfo(id, paramId, info), Acad::eOk);
    }
}

TEST_F(LinearParameterGripTest, ADragMovesTheEndAlongTheAxisToAnAllowedDistance) {
    {
        Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForWrite);
        KxDbBlockTagValueSet values;
        AcGeDoubleArray list;
        list.append(5.0);
        list.append(15.0);
        list.append(20.0);
        ASSERT_EQ(values.setList(list), Acad::eOk);
        ASSERT_EQ(p->setValueSet(values), Acad::eOk);
    }
    ASSERT_EQ(setGripCount(2), Acad::eOk);
    const KxNodeId end = gripId(1);
    {
        Opened<KxDbTagLinearGrip> grip(objectOf(end), AcDb::kForWrite);
        // Dragged by (4, 3): along the axis 4, sideways 3.
        grip->setUpdatedLocation(AcGePoint3d(14, 3, 0));
    }
    ASSERT_EQ(evaluateFrom(end), Acad::eOk);
    {
        Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForRead);
        EXPECT_TRUE(near(p->updatedEndPoint(), AcGePoint3d(15, 0, 0)))
            << p->updatedEndPoint().x << "," << p->updatedEndPoint().y;
        EXPECT_TRUE(near(p->updatedBasePoint(), AcGePoint3d(0, 0, 0)))
            << p->updatedBasePoint().x << "," << p->updatedBasePoint().y;
        EXPECT_TRUE(near(p->currentEndPoint(), AcGePoint3d(15, 0, 0)));
    }
    {
        Opened<KxDbTagLinearGrip> grip(objectOf(end), AcDb::kForRead);
        // The grip follows the parameter; its own drag lost the sideways part.
        EXPECT_TRUE(near(grip->gripPosition(), AcGePoint3d(15, 0, 0)))
            << grip->gripPosition().x << "," << grip->gripPosition().y;
        EXPECT_TRUE(near(grip->updatedLocation(), AcGePoint3d(14, 0, 0)))
            << grip->updatedLocation().x << "," << grip->updatedLocation().y;
    }
    {
        Opened<KxDbTagLinearGrip> base(objectOf(gripId(0)), AcDb::kForRead);
        EXPECT_TRUE(near(base->gripPosition(), AcGePoint3d(0, 0, 0)));
    }
}

TEST_F(LinearParameterGripTest, ReplayingStoredStateLeavesTheDragAlone) {
    ASSERT_EQ(setGripCount(2), Acad::eOk);
    const KxNodeId end = gripId(1);
    Opened<KxDbTagLinearGrip> grip(objectOf(end), AcDb::kForWrite);
    grip->setUpdatedLocation(AcGePoint3d(14, 3, 0));
    KxDbTagEvalContext context;
    kxSetEvalMode(&context, kEvalModeLoad);
    EXPECT_EQ(grip->evaluate(&context), Acad::eOk);
    EXPECT_EQ(grip->updatedLocation(), AcGePoint3d(14, 3, 0));
    kxSetEvalMode(&context, kEvalModeInteractive);
    EXPECT_EQ(grip->evaluate(&context), Acad::eOk);
    EXPECT_TRUE(near(grip->updatedLocation(), AcGePoint3d(14, 0, 0)));
}

TEST_F(LinearParameterGripTest, WithoutALineTheDragFollowsTheXAxis) {
    {
        Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForWrite);
        ASSERT_EQ(p->setDefinitionBasePoint(AcGePoint3d(5, 5, 0), false), Acad::eOk);
        ASSERT_EQ(p->setDefinitionEndPoint(AcGePoint3d(5, 5, 0), false), Acad::eOk);
    }
    ASSERT_EQ(setGripCount(2), Acad::eOk);
    Opened<KxDbTagLinearGrip> grip(objectOf(gripId(1)), AcDb::kForWrite);
    EXPECT_TRUE(near(grip->expressionPosition(), AcGePoint3d(5, 5, 0)));
    grip->setUpdatedLocation(AcGePoint3d(8, 9, 0));
    EXPECT_EQ(grip->evaluate(nullptr), Acad::eOk);
    EXPECT_TRUE(near(grip->updatedLocation(), AcGePoint3d(8, 5, 0)));
}

TEST_F(LinearParameterGripTest, TheUpdatedLineWinsOverTheDefinition) {
    ASSERT_EQ(setGripCount(2), Acad::eOk);
    {
        // The reference's parameter points up the Y axis.
        Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForWrite);
        p->setUpdatedEndPoint(AcGePoint3d(0, 10, 0));
    }
    Opened<KxDbTagLinearGrip> grip(objectOf(gripId(1)), AcDb::kForWrite);
    const AcGePoint3d from = grip->gripPosition();
    grip->setUpdatedLocation(from + AcGeVector3d(4, 3, 0));
    EXPECT_EQ(grip->evaluate(nullptr), Acad::eOk);
    EXPECT_TRUE(near(grip->updatedLocation(), grip->expressionPosition() + AcGeVector3d(0, 3, 0)));
}

TEST_F(LinearParameterGripTest, TheOffsetTurnsWithTheParameter) {
    ASSERT_EQ(setGripCount(2), Acad::eOk);
    Opened<KxDbTagLinearGrip> grip(objectOf(gripId(1)), AcDb::kForWrite);
    // Drawn 2 to the left of the end point.
    grip->setLocation(AcGePoint3d(10, 2, 0));
    EXPECT_TRUE(near(grip->offsetFromParameterPoint(), AcGeVector3d(0, 2, 0)));
    EXPECT_TRUE(near(grip->gripOffset(), AcGeVector3d(0, 2, 0)));
    {
        // The parameter turned a quarter turn counter-clockwise in the reference.
        Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForWrite);
        p->setCurrentBasePoint(AcGePoint3d(0, 0, 0));
        p->setCurrentEndPoint(AcGePoint3d(0, 10, 0));
    }
    EXPECT_TRUE(near(grip->gripOffset(), AcGeVector3d(-2, 0, 0)));
    {
        Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForWrite);
        p->setCurrentEndPoint(AcGePoint3d(-10, 0, 0));
    }
    EXPECT_TRUE(near(grip->gripOffset(), AcGeVector3d(0, -2, 0)));
    // The position written is taken without the offset.
    ASSERT_EQ(grip->setGripPosition(AcGePoint3d(-10, -2, 0)), Acad::eOk);
    EXPECT_TRUE(near(grip->expressionPosition(), AcGePoint3d(-10, 0, 0)));
}

TEST_F(LinearParameterGripTest, ACopyOfTheGraphHasTheSameNodesAndExpressionIds) {
    ASSERT_EQ(setGripCount(2), Acad::eOk);
    AcRxObject* made = nullptr;
    {
        Opened<KxDbTagEvalGraph> g(graphId, AcDb::kForRead);
        made = g->clone();
    }
    auto* copy = KxDbTagEvalGraph::cast(made);
    ASSERT_NE(copy, nullptr);
    KxNodeIdArray ids;
    ASSERT_EQ(copy->getAllNodeIds(ids), Acad::eOk);
    EXPECT_EQ(ids.length(), nodeCount());
    for (int i = 0; i < 2; ++i) {
        KxDbTagEvalExpr* node = nullptr;
        ASSERT_EQ(copy->getNode(gripId(i), AcDb::kForRead, node), Acad::eOk);
        auto* copied = KxDbTagLinearGrip::cast(node);
        ASSERT_NE(copied, nullptr);
        Opened<KxDbTagLinearGrip> source(objectOf(gripId(i)), AcDb::kForRead);
        EXPECT_EQ(copied->xExpressionId(), source->xExpressionId());
        EXPECT_EQ(copied->yExpressionId(), source->yExpressionId());
        EXPECT_TRUE(near(copied->gripPosition(), source->gripPosition()));
        EXPECT_TRUE(near(copied->orientation(), source->orientation()));
        int index = -1;
        EXPECT_EQ(copied->gripIndex(index), Acad::eOk);
        EXPECT_EQ(index, i);
    }

    // Dragging in the copy leaves the source alone.
    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(copy->getNode(gripId(1), AcDb::kForWrite, node), Acad::eOk);
    auto* copied = KxDbTagLinearGrip::cast(node);
    copied->setUpdatedLocation(AcGePoint3d(13, -1, 0));
    KxDbTagEvalContext context;
    kxSetEvalMode(&context, kEvalModeInteractive);
    KxNodeIdArray active;
    active.append(gripId(1));
    ASSERT_EQ(copy->evaluate(&context, active), Acad::eOk);
    EXPECT_TRUE(near(copied->gripPosition(), AcGePoint3d(13, 0, 0)));
    Opened<KxDbTagLinearGrip> source(objectOf(gripId(1)), AcDb::kForRead);
    EXPECT_TRUE(near(source->gripPosition(), AcGePoint3d(10, 0, 0)));
    delete copy;
}

TEST_F(LinearParameterGripTest, ARemovedGripKeepsItsPositionWhenAddedAgain) {
    ASSERT_EQ(setGripCount(2), Acad::eOk);
    const KxNodeId end = gripId(1);
    const AcDbObjectId endObject = objectOf(end);
    {
        Opened<KxDbTagLinearGrip> grip(endObject, AcDb::kForWrite);
        ASSERT_EQ(grip->setGripPosition(AcGePoint3d(12, 1, 0)), Acad::eOk);
    }
    Opened<KxDbTagEvalGraph> g(graphId, AcDb::kForWrite);
    {
        Opened<KxDbTagLinearGrip> grip(endObject, AcDb::kForWrite);
        ASSERT_EQ(g->removeNode(grip.get()), Acad::eOk);
        EXPECT_EQ(grip->xExpressionId(), 0u);
        EXPECT_TRUE(near(grip->expressionPosition(), AcGePoint3d(12, 1, 0)));
        KxNodeId again = 0;
        ASSERT_EQ(g->addNode(grip.get(), again), Acad::eOk);
        EXPECT_TRUE(near(grip->expressionPosition(), AcGePoint3d(12, 1, 0)));
    }
}

TEST_F(LinearParameterGripTest, RemovingGripsRemovesTheirExpressions) {
    ASSERT_EQ(setGripCount(2), Acad::eOk);
    const KxNodeId base = gripId(0);
    const KxNodeId end = gripId(1);
    KxNodeId baseExprs[2] = {0, 0};
    {
        Opened<KxDbTagLinearGrip> grip(objectOf(base), AcDb::kForRead);
        baseExprs[0] = grip->xExpressionId();
        baseExprs[1] = grip->yExpressionId();
    }
    {
        Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForWrite);
        ASSERT_EQ(p->removeGrip(0), Acad::eOk);
        EXPECT_EQ(p->gripId(0), 0u);
        EXPECT_EQ(p->gripId(1), end);
        EXPECT_EQ(p->gripDeleted(0), Acad::eOk);
        EXPECT_EQ(p->gripId(1), end) << "the end grip stands on its own";
    }
    EXPECT_EQ(nodeCount(), 4);
    EXPECT_TRUE(objectOf(base).isNull());
    EXPECT_TRUE(objectOf(baseExprs[0]).isNull());
    EXPECT_TRUE(objectOf(baseExprs[1]).isNull());

    // Without its end grip the parameter keeps no grip at all.
    {
        Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForWrite);
        ASSERT_EQ(p->setGripCount(2), Acad::eOk);
        ASSERT_EQ(p->removeGrip(1), Acad::eOk);
        ASSERT_EQ(p->gripDeleted(1), Acad::eOk);
        EXPECT_EQ(p->gripId(0), 0u);
        EXPECT_EQ(p->gripId(1), 0u);
    }
    EXPECT_EQ(nodeCount(), 1);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

}  // namespace

namespace {
// Strict opens: every open that conflicts with one already held is refused.
class StrictLinearParameterGripTest : public LinearParameterGripTest {
  protected:
    void SetUp() override {
        LinearParameterGripTest::SetUp();
        kxhost::setStrictOpens(true);
    }
    void TearDown() override {
        kxhost::setStrictOpens(false);
        LinearParameterGripTest::TearDown();
    }
};

// The parameter holds itself open for write while it rewires a grip: the grip still looks at it.
TEST_F(StrictLinearParameterGripTest, RewiringWhileTheParameterIsHeldOpen) {
    kxhost::setStrictOpens(false);
    ASSERT_EQ(setGripCount(2), Acad::eOk);
    const AcDbObjectId endObject = objectOf(gripId(1));
    kxhost::setStrictOpens(true);

    Opened<KxDbBlockLinearTag> p(paramObject, AcDb::kForWrite);
    Opened<KxDbTagLinearGrip> grip(endObject, AcDb::kForWrite);
    ASSERT_EQ(p.status(), Acad::eOk);
    ASSERT_EQ(grip.status(), Acad::eOk);
    EXPECT_FALSE(grip->canConnectTo(L"X", paramId, L"UpdatedEndX"));
    EXPECT_EQ(grip->disconnectFrom(L"X", paramId, L"UpdatedEndX"), Acad::eOk);
    EXPECT_TRUE(grip->canConnectTo(L"X", paramId, L"UpdatedEndX"));
    EXPECT_EQ(grip->connectTo(L"X", paramId, L"UpdatedEndX"), Acad::eOk);
    EXPECT_EQ(grip->connectTo(L"X", paramId, L"UpdatedEndX"), Acad::eIllegalReplacement);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}
}  // namespace
