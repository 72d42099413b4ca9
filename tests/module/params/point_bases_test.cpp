// The one-point and two-point parameter bases: their connections and inputs, grips added,
// removed, counted, placed and carried along, evaluation from grip displacements and the commit,
// editing as geometry, the "Origin" property, instance data (with the layout of its own version),
// and the DWG and DXF records including damaged ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "param_bases_support.h"

namespace {

using Filer = kxhost::DwgMemoryFiler;
using DxfFiler = kxhost::DxfMemoryFiler;
using pbtest::makeAction;
using pbtest::onePtImp;
using pbtest::twoPtImp;
using Kind = KxDbParamActionLink;

constexpr double kPi = 3.14159265358979323846;

AcDb::AcDbDwgVersion ver(int v) {
    return static_cast<AcDb::AcDbDwgVersion>(v);
}
AcDb::MaintenanceReleaseVersion maint(int m) {
    return static_cast<AcDb::MaintenanceReleaseVersion>(m);
}

double real(const KxDbTagEvalVariant& v) {
    EXPECT_EQ(v.type(), 40);
    return v.resval.rreal;
}

AcGePoint3d pointOf(const KxDbTagEvalVariant& v) {
    EXPECT_EQ(v.type(), 11);
    return v.point();
}

::testing::AssertionResult nearPoint(const AcGePoint3d& p, double x, double y, double z) {
    if (std::fabs(p.x - x) <= 1e-9 && std::fabs(p.y - y) <= 1e-9 && std::fabs(p.z - z) <= 1e-9) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "(" << p.x << ", " << p.y << ", " << p.z << ") is not ("
                                         << x << ", " << y << ", " << z << ")";
}
#define EXPECT_POINT(actual, xx, yy, zz) EXPECT_TRUE(nearPoint((actual), (xx), (yy), (zz)))

class PointBasesTest : public pbtest::ParamBasesTest {
  protected:
    void TearDown() override {
        delete m_graph;
        m_graph = nullptr;
        pbtest::ParamBasesTest::TearDown();
    }

    // The graph now belongs to a database.
    void releaseGraph() { m_graph = nullptr; }
    KxDbTagEvalGraph* graph() {
        if (m_graph == nullptr) {
            m_graph = new KxDbTagEvalGraph();
        }
        return m_graph;
    }
    KxNodeId add(KxDbTagEvalExpr* node) {
        KxNodeId id = 0;
        EXPECT_EQ(graph()->addNode(node, id), Acad::eOk);
        return id;
    }
    // A two-point parameter from (0,0) to (10,0) in the test graph, with the grips asked for.
    Pb2Pt* twoPoint(int grips) {
        auto* p = new Pb2Pt();
        p->setName(L"Two");
        EXPECT_EQ(p->setDefinitionBasePoint(AcGePoint3d(0, 0, 0), false), Acad::eOk);
        EXPECT_EQ(p->setDefinitionEndPoint(AcGePoint3d(10, 0, 0)), Acad::eOk);
        add(p);
        EXPECT_EQ(p->setGripCount(grips), Acad::eOk);
        return p;
    }
    Pb1Pt* onePoint(bool grip) {
        auto* p = new Pb1Pt();
        p->setName(L"One");
        p->setDefinitionPoint(AcGePoint3d(2, 3, 0));
        add(p);
        EXPECT_EQ(p->setGripCount(grip ? 1 : 0), Acad::eOk);
        return p;
    }
    KxDbTagGrip* grip(KxNodeId id) {
        KxDbTagEvalExpr* node = nullptr;
        EXPECT_EQ(graph()->getNode(id, AcDb::kForRead, node), Acad::eOk);
        return KxDbTagGrip::cast(node);
    }
    // Makes the grip report a drag of `d` from where its expressions put it.
    void drag(KxNodeId id, const AcGeVector3d& d) {
        KxDbTagGrip* g = grip(id);
        ASSERT_NE(g, nullptr);
        g->setUpdatedLocation(g->expressionPosition() + d);
    }
    bool inGraph(KxNodeId id) {
        KxNodeIdArray ids;
        graph()->getAllNodeIds(ids);
        return ids.contains(id);
    }

  private:
    KxDbTagEvalGraph* m_graph = nullptr;
};

// --- Two-point: defaults, connections and angles ----------------------------------------------

TEST_F(PointBasesTest, TwoPointDefaults) {
    Pb2Pt p;
    Adesk::UInt64 bits = 0;
    const double x = p.definitionBasePoint().x;
    std::memcpy(&bits, &x, sizeof(bits));
    EXPECT_EQ(bits, 0x000FFFFFFFFFFFFFull);
    EXPECT_EQ(p.definitionBasePoint().z, 0.0);
    EXPECT_EQ(p.definitionEndPoint().x, 1.7976931348623157e+308);
    EXPECT_EQ(p.definitionEndPoint().y, 1.7976931348623157e+308);
    EXPECT_EQ(p.normal(), AcGeVector3d(0, 0, -1));
    EXPECT_EQ(p.baseLocation(), 0);
    EXPECT_TRUE(p.hasInstanceData());
    int count = -1;
    EXPECT_EQ(p.getGripCount(count), Acad::eOk);
    EXPECT_EQ(count, 0);
}

TEST_F(PointBasesTest, TwoPointConnectionValues) {
    Pb2Pt p;
    p.setCurrentBasePoint(AcGePoint3d(1, 2, 0));
    p.setCurrentEndPoint(AcGePoint3d(4, 6, 0));
    p.setUpdatedBasePoint(AcGePoint3d(2, 2, 0));
    p.setUpdatedEndPoint(AcGePoint3d(5, 10, 0));
    AcStringArray names;
    ASSERT_EQ(p.getConnectionNames(names), Acad::eOk);
    ASSERT_EQ(names.length(), 29);
    EXPECT_EQ(names[0], AcString(L"Base"));
    EXPECT_EQ(names[28], AcString(L"Origin"));

    auto value = [&p](const ACHAR* name) {
        KxDbTagEvalVariant v;
        EXPECT_EQ(p.getConnectionValue(name, v), Acad::eOk) << AcString(name).utf8();
        return v;
    };
    EXPECT_POINT(pointOf(value(L"Base")), 1, 2, 0);
    EXPECT_POINT(pointOf(value(L"End")), 4, 6, 0);
    EXPECT_POINT(pointOf(value(L"UpdatedBase")), 2, 2, 0);
    EXPECT_POINT(pointOf(value(L"updatedend")), 5, 10, 0);
    EXPECT_EQ(real(value(L"BaseX")), 1);
    EXPECT_EQ(real(value(L"EndY")), 6);
    EXPECT_DOUBLE_EQ(real(value(L"Distance")), 5);
    EXPECT_DOUBLE_EQ(real(value(L"Angle")), std::atan2(4.0, 3.0));
    EXPECT_DOUBLE_EQ(real(value(L"UpdatedDistance")), std::sqrt(9.0 + 64.0));
    EXPECT_DOUBLE_EQ(real(value(L"UpdatedAngle")), std::atan2(8.0, 3.0));
    EXPECT_EQ(real(value(L"BaseXDelta")), 1);
    EXPECT_EQ(real(value(L"BaseYDelta")), 0);
    EXPECT_EQ(real(value(L"EndXDelta")), 1);
    EXPECT_EQ(real(value(L"EndYDelta")), 4);
    EXPECT_DOUBLE_EQ(real(value(L"AngleDelta")), std::atan2(8.0, 3.0) - std::atan2(4.0, 3.0));
    EXPECT_DOUBLE_EQ(real(value(L"DistanceDelta")), std::sqrt(73.0) - 5.0);
    EXPECT_DOUBLE_EQ(real(value(L"Scale")), std::sqrt(73.0) / 5.0);
    EXPECT_DOUBLE_EQ(real(value(L"XScale")), 1.0);
    EXPECT_DOUBLE_EQ(real(value(L"YScale")), 2.0);
    // The "updated" distances along the axes come from the current points.
    EXPECT_EQ(real(value(L"UpdatedDistanceX")), 3);
    EXPECT_EQ(real(value(L"UpdatedDistanceY")), 4);
    EXPECT_POINT(pointOf(value(L"Normal")), 0, 0, -1);
    EXPECT_POINT(pointOf(value(L"Origin")), 2, 2, 0);

    AcDb::DwgDataType kind = AcDb::kDwgNull;
    EXPECT_EQ(p.getConnectionType(L"origin", kind), Acad::eOk);
    EXPECT_EQ(kind, AcDb::kDwg3Real);
    EXPECT_EQ(p.getConnectionType(L"XSCALE", kind), Acad::eOk);
    EXPECT_EQ(kind, AcDb::kDwgReal);
    EXPECT_EQ(p.getConnectionType(L"Width", kind), Acad::eInvalidInput);
    EXPECT_EQ(kind, AcDb::kDwgNull);
    KxDbTagEvalVariant v;
    EXPECT_EQ(p.getConnectionValue(L"Width", v), Acad::eInvalidInput);
    EXPECT_FALSE(p.hasConnection(L"Width"));
    EXPECT_TRUE(p.hasConnection(L"distancedelta"));
}

TEST_F(PointBasesTest, TwoPointDivisionsByTinyValuesGiveZero) {
    Pb2Pt p;
    p.setCurrentBasePoint(AcGePoint3d(3, 3, 0));
    p.setCurrentEndPoint(AcGePoint3d(3 + 1e-11, 3 - 1e-11, 0));
    p.setUpdatedBasePoint(AcGePoint3d(0, 0, 0));
    p.setUpdatedEndPoint(AcGePoint3d(7, 9, 0));
    for (const ACHAR* name : {L"Scale", L"XScale", L"YScale", L"Angle"}) {
        KxDbTagEvalVariant v;
        ASSERT_EQ(p.getConnectionValue(name, v), Acad::eOk);
        EXPECT_EQ(real(v), 0.0) << AcString(name).utf8();
    }
    EXPECT_EQ(p.currentAngle(), 0.0);
}

TEST_F(PointBasesTest, AnglesTurnAboutTheReversedNormal) {
    Pb2Pt p;
    p.setCurrentBasePoint(AcGePoint3d(1, 1, 0));
    p.setCurrentEndPoint(AcGePoint3d(1, 3, 5));  // z does not count
    EXPECT_NEAR(p.currentAngle(), kPi / 2, 1e-12);
    p.setUpdatedBasePoint(AcGePoint3d(0, 0, 0));
    p.setUpdatedEndPoint(AcGePoint3d(0, -1, 0));
    EXPECT_NEAR(p.updatedAngle(), 3 * kPi / 2, 1e-12) << "angles lie in [0, 2pi)";
    // With the normal turned up, angles run the other way.
    kxImpOf<KxDbImpBlock2PtTag>(&p)->setNormal(AcGeVector3d(0, 0, 1));
    EXPECT_NEAR(p.currentAngle(), 3 * kPi / 2, 1e-12);
    EXPECT_NEAR(p.updatedAngle(), kPi / 2, 1e-12);
    // The definition angle is the plain angle of the definition's vector.
    p.setDefinitionBasePoint(AcGePoint3d(0, 0, 0), false);
    p.setDefinitionEndPoint(AcGePoint3d(0, -2, 0));
    EXPECT_NEAR(p.definitionAngle(), 3 * kPi / 2, 1e-12);
    EXPECT_DOUBLE_EQ(p.definitionDistance(), 2.0);
}

TEST_F(PointBasesTest, WhichConnectionsEachGripAffects) {
    Pb2Pt p;
    struct Row {
        const ACHAR* name;
        bool affects[4];
    };
    const Row rows[] = {
        {L"BaseX", {true, false, true, false}},
        {L"updatedbasey", {true, false, false, true}},
        {L"EndXDelta", {false, true, false, true}},
        {L"UpdatedEndY", {false, true, true, false}},
        {L"Distance", {true, true, true, true}},
        {L"Scale", {true, true, true, true}},
        {L"YScale", {true, true, true, true}},
        {L"AngleDelta", {true, true, true, true}},
        {L"UpdatedBase", {true, false, true, true}},
        {L"End", {false, true, true, true}},
        {L"Normal", {false, false, false, false}},
        {L"UpdatedDistanceX", {false, false, false, false}},
        {L"NoSuchName", {false, false, false, false}},
    };
    for (const Row& row : rows) {
        for (int g = 0; g < 4; ++g) {
            EXPECT_EQ(p.gripAffectsConnection(row.name, g), row.affects[g])
                << AcString(row.name).utf8() << " grip " << g;
        }
        EXPECT_FALSE(p.gripAffectsConnection(row.name, 4));
    }
    EXPECT_TRUE(p.grip0Affects(L"BaseYDelta"));
    EXPECT_FALSE(p.grip1Affects(L"BaseYDelta"));
    EXPECT_TRUE(p.grip2Affects(L"EndYDelta"));
    EXPECT_TRUE(p.grip3Affects(L"EndX"));
}

// --- Two-point: inputs ------------------------------------------------------------------------

TEST_F(PointBasesTest, TwoPointInputConnections) {
    Pb2Pt* p = twoPoint(0);
    KxTestParam* src = kxtest::makeTestParam(L"Src", 1.0);
    const KxNodeId sid = add(src);
    const KxNodeId pid = p->getNodeId();

    Pb2Pt lone;
    EXPECT_EQ(lone.connectTo(L"UpdatedBaseX", sid, L"Value"), KxStatus::kNotInGraph);
    EXPECT_EQ(p->connectTo(L"UpdatedBaseX", 0, L"Value"), KxStatus::kNotInGraph);
    EXPECT_EQ(p->connectTo(L"updatedbasex", sid, L"Value"), Acad::eInvalidInput)
        << "targets compare with case";
    EXPECT_EQ(p->connectTo(L"Distance", sid, L"Value"), Acad::eInvalidInput);
    EXPECT_EQ(p->connectTo(L"UpdatedBaseX", sid, L"Count"), Acad::eInvalidInput)
        << "an integer does not feed a coordinate";
    EXPECT_EQ(p->connectTo(L"UpdatedBaseX", sid, L""), Acad::eInvalidInput);
    EXPECT_EQ(p->connectTo(L"UpdatedBaseX", sid, L"Nothing"), Acad::eInvalidInput);
    EXPECT_EQ(p->connectTo(L"UpdatedBaseX", 77, L"Value"), Acad::eInvalidInput);
    EXPECT_TRUE(p->canConnectTo(L"UpdatedEndY", sid, L"Value"));

    ASSERT_EQ(p->connectTo(L"UpdatedEndY", sid, L"Value"), Acad::eOk);
    KxEdgeInfo info;
    EXPECT_EQ(graph()->getEdgeInfo(sid, pid, info), Acad::eOk);
    EXPECT_FALSE(p->canConnectTo(L"UpdatedEndY", sid, L"Value"));
    EXPECT_EQ(p->connectTo(L"UpdatedEndY", sid, L"Value"), Acad::eIllegalReplacement);
    // The same source may feed another input over the same edge.
    ASSERT_EQ(p->connectTo(L"UpdatedBaseX", sid, L"Value"), Acad::eOk);

    KxNodeIdArray ids;
    EXPECT_EQ(p->getConnectedNodes(L"updatedendy", ids), Acad::eOk);
    ASSERT_EQ(ids.length(), 1);
    EXPECT_EQ(ids[0], sid);
    AcStringArray sources;
    EXPECT_EQ(p->getConnectedConnections(L"UpdatedEndY", sid, sources), Acad::eOk);
    ASSERT_EQ(sources.length(), 1);
    EXPECT_EQ(sources[0], AcString(L"Value"));
    EXPECT_EQ(p->getConnectedNodes(L"NoSuch", ids), Acad::eInvalidInput);

    EXPECT_EQ(p->disconnectFrom(L"UpdatedEndY", sid, L"Count"), Acad::eInvalidInput);
    EXPECT_EQ(p->disconnectFrom(L"UpdatedEndX", sid, L"Value"), Acad::eInvalidInput);
    EXPECT_EQ(p->disconnectFrom(L"UpdatedEndY", sid, L"VALUE"), Acad::eOk);
    EXPECT_TRUE(twoPtImp(p)->inputs(KxDbImpBlock2PtTag::kEndY).empty());
    EXPECT_EQ(graph()->getEdgeInfo(sid, pid, info), Acad::eOk) << "base X still uses the edge";
    EXPECT_EQ(p->disconnectFrom(L"UpdatedBaseX", sid, L"Value"), Acad::eOk);
    EXPECT_NE(graph()->getEdgeInfo(sid, pid, info), Acad::eOk);
}

// --- Two-point: grips -------------------------------------------------------------------------

TEST_F(PointBasesTest, GripCountsAddAndRemoveTheRightGrips) {
    Pb2Pt* p = twoPoint(2);
    Pb2PtImp* imp = twoPtImp(p);
    const KxNodeId g0 = p->gripId(0);
    const KxNodeId g1 = p->gripId(1);
    ASSERT_NE(g0, 0u);
    ASSERT_NE(g1, 0u);
    EXPECT_EQ(p->gripId(2), 0u);
    int count = 0;
    p->getGripCount(count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(imp->inputs(KxDbImpBlock2PtTag::kBaseX).count(g0), 1u);
    EXPECT_EQ(imp->inputs(KxDbImpBlock2PtTag::kEndY).count(g1), 1u);
    int index = -1;
    EXPECT_EQ(p->getGripIndex(g1, index), Acad::eOk);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(p->getGripIndex(0, index), KxStatus::kNotInGraph);
    EXPECT_EQ(p->getGripIndex(9999, index), KxStatus::kNodeNotFound);
    // The grip finds its parameter and its index.
    int gripIndex = -1;
    EXPECT_EQ(grip(g1)->gripIndex(gripIndex), Acad::eOk);
    EXPECT_EQ(gripIndex, 1);

    const int calls = imp->addGripCalls;
    EXPECT_EQ(p->setGripCount(3), Acad::eInvalidInput);
    EXPECT_EQ(p->setGripCount(-1), Acad::eInvalidInput);
    EXPECT_EQ(imp->addGripCalls, calls);
    EXPECT_EQ(p->gripId(0), g0);

    ASSERT_EQ(p->setGripCount(4), Acad::eOk);
    EXPECT_EQ(p->gripId(0), g0) << "existing grips stay";
    EXPECT_NE(p->gripId(2), 0u);
    EXPECT_NE(p->gripId(3), 0u);
    EXPECT_EQ(imp->inputs(KxDbImpBlock2PtTag::kBaseX).count(p->gripId(2)), 1u);
    EXPECT_EQ(imp->inputs(KxDbImpBlock2PtTag::kBaseY).count(p->gripId(3)), 1u);
    KxDbTagGripPtrArray grips;
    ASSERT_EQ(p->getGrips(grips, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(grips.length(), 4);
    EXPECT_EQ(grips[2]->getNodeId(), p->gripId(2));
    for (KxDbTagGrip* g : grips) {
        g->close();
    }

    const KxNodeId g2 = p->gripId(2);
    ASSERT_EQ(p->setGripCount(1), Acad::eOk);
    EXPECT_EQ(p->gripId(0), 0u);
    EXPECT_EQ(p->gripId(1), g1);
    EXPECT_EQ(p->gripId(2), 0u);
    EXPECT_FALSE(inGraph(g0));
    EXPECT_FALSE(inGraph(g2));
    EXPECT_TRUE(imp->inputs(KxDbImpBlock2PtTag::kBaseX).empty());
    EXPECT_TRUE(imp->inputs(KxDbImpBlock2PtTag::kBaseY).empty());

    ASSERT_EQ(p->setGripCount(0), Acad::eOk);
    KxNodeIdArray ids;
    graph()->getAllNodeIds(ids);
    EXPECT_EQ(ids.length(), 1) << "only the parameter is left: grips and their expressions went";
    for (int i = 0; i < KxDbImpBlock2PtTag::kInputCount; ++i) {
        EXPECT_TRUE(imp->inputs(static_cast<KxDbImpBlock2PtTag::Input>(i)).empty());
    }
}

TEST_F(PointBasesTest, RemovingGripsAndWhatDependsOnThem) {
    Pb2Pt* p = twoPoint(4);
    EXPECT_EQ(p->removeGrip(4), Acad::eInvalidInput);
    EXPECT_EQ(p->removeGrip(-1), Acad::eInvalidInput);
    ASSERT_EQ(p->removeGrip(3), Acad::eOk);
    EXPECT_EQ(p->removeGrip(3), KxStatus::kNodeNotFound);
    // Deleting grip 0 takes the corners with it.
    ASSERT_EQ(p->setGripCount(4), Acad::eOk);
    ASSERT_EQ(p->gripDeleted(0), Acad::eOk);
    EXPECT_NE(p->gripId(0), 0u) << "the deleted grip itself is not the parameter's to remove";
    EXPECT_EQ(p->gripId(2), 0u);
    EXPECT_EQ(p->gripId(3), 0u);
    ASSERT_EQ(p->setGripCount(4), Acad::eOk);
    ASSERT_EQ(p->gripDeleted(1), Acad::eOk);
    EXPECT_EQ(p->gripId(0), 0u);
    EXPECT_NE(p->gripId(1), 0u);
    EXPECT_EQ(p->gripId(2), 0u);
    EXPECT_EQ(p->gripId(3), 0u);
    ASSERT_EQ(p->setGripCount(4), Acad::eOk);
    ASSERT_EQ(p->gripDeleted(2), Acad::eOk);
    EXPECT_NE(p->gripId(2), 0u);
    EXPECT_EQ(p->gripId(3), 0u);
    ASSERT_EQ(p->setGripCount(4), Acad::eOk);
    ASSERT_EQ(p->gripDeleted(3), Acad::eOk);
    EXPECT_EQ(p->gripId(2), 0u);
    EXPECT_NE(p->gripId(3), 0u);

    Pb2Pt lone;
    twoPtImp(&lone)->setGripId(0, 5);
    EXPECT_EQ(lone.removeGrip(0), KxStatus::kNotInGraph);
}

TEST_F(PointBasesTest, GripsRemovedByOthersAreForgotten) {
    Pb2Pt* p = twoPoint(2);
    const KxNodeId g0 = p->gripId(0);
    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(graph()->getNode(g0, AcDb::kForWrite, node), Acad::eOk);
    ASSERT_EQ(graph()->removeNode(node), Acad::eOk);
    delete node;
    EXPECT_EQ(p->gripId(0), 0u);
    EXPECT_TRUE(twoPtImp(p)->inputs(KxDbImpBlock2PtTag::kBaseX).empty());
    EXPECT_NE(p->gripId(1), 0u);
}

TEST_F(PointBasesTest, AParameterLeavingItsGraphTakesItsGrips) {
    Pb2Pt* p = twoPoint(4);
    add(kxtest::makeTestParam(L"Stays"));
    ASSERT_EQ(graph()->removeNode(p), Acad::eOk);
    KxNodeIdArray ids;
    graph()->getAllNodeIds(ids);
    EXPECT_EQ(ids.length(), 1);
    EXPECT_EQ(p->gripId(0), 0u);
    EXPECT_EQ(p->getNodeId(), 0u);
    delete p;
}

TEST_F(PointBasesTest, GripsArePlacedAndCarriedWithTheDefinition) {
    Pb2Pt* p = twoPoint(4);
    // Offsets of the grips from their points.
    for (int i = 0; i < 4; ++i) {
        KxDbTagGrip* g = grip(p->gripId(i));
        g->setLocation(g->location() + AcGeVector3d(1, 1, 0));
    }
    // Moving the definition keeps every offset.
    ASSERT_EQ(p->transformBy(AcGeMatrix3d::translation(AcGeVector3d(5, 0, 0))), Acad::eOk);
    EXPECT_POINT(p->definitionBasePoint(), 5, 0, 0);
    EXPECT_POINT(p->definitionEndPoint(), 15, 0, 0);
    EXPECT_POINT(p->currentBasePoint(), 5, 0, 0);
    EXPECT_POINT(p->updatedEndPoint(), 15, 0, 0);
    EXPECT_POINT(grip(p->gripId(0))->location(), 6, 1, 0);
    EXPECT_POINT(grip(p->gripId(1))->location(), 16, 1, 0);
    EXPECT_POINT(grip(p->gripId(2))->location(), 6, 1, 0);
    EXPECT_POINT(grip(p->gripId(3))->location(), 16, 1, 0);

    // Setting a point outside a transformation leaves the grips where they are.
    ASSERT_EQ(p->setDefinitionEndPoint(AcGePoint3d(20, 4, 0)), Acad::eOk);
    EXPECT_POINT(grip(p->gripId(1))->location(), 16, 1, 0);

    ASSERT_EQ(p->placeGripsAtDefinition(), Acad::eOk);
    EXPECT_POINT(grip(p->gripId(0))->location(), 5, 0, 0);
    EXPECT_POINT(grip(p->gripId(1))->location(), 20, 4, 0);
    EXPECT_POINT(grip(p->gripId(2))->location(), 5, 4, 0);
    EXPECT_POINT(grip(p->gripId(3))->updatedLocation(), 20, 0, 0);
}

TEST_F(PointBasesTest, StrictDefinitionSettersRefuseCoincidentPoints) {
    Pb2Pt p;
    p.setDefinitionBasePoint(AcGePoint3d(1, 1, 0), false);
    p.setDefinitionEndPoint(AcGePoint3d(3, 1, 0));
    p.setUpdatedBasePoint(AcGePoint3d(9, 9, 9));
    EXPECT_EQ(p.setDefinitionBasePoint(AcGePoint3d(3, 1, 0)), KxParamStatus::kPointsCoincide);
    EXPECT_POINT(p.definitionBasePoint(), 1, 1, 0);
    EXPECT_POINT(p.updatedBasePoint(), 9, 9, 9);
    EXPECT_EQ(p.setDefinitionEndPoint(AcGePoint3d(1, 1, 0), true), KxParamStatus::kPointsCoincide);
    EXPECT_POINT(p.definitionEndPoint(), 3, 1, 0);
    EXPECT_EQ(p.setDefinitionEndPoint(AcGePoint3d(1, 1, 0), false), Acad::eOk);
    EXPECT_POINT(p.definitionEndPoint(), 1, 1, 0);
    EXPECT_POINT(p.currentEndPoint(), 1, 1, 0);
}

TEST_F(PointBasesTest, IsGripUsedAsksTheActionsOfTheParameter) {
    Pb2Pt* p = twoPoint(4);
    const KxNodeId pid = p->getNodeId();
    Pb2Pt lone;
    EXPECT_FALSE(lone.isGripUsed(0));
    for (int g = 0; g < 4; ++g) {
        EXPECT_FALSE(p->isGripUsed(g)) << g;
    }

    // A move action reading the updated end X.
    PbAction* move = makeAction(L"Move", Kind::kMoveLike, pid);
    add(move);
    ASSERT_EQ(move->connectTo(L"Reads", pid, L"UpdatedEndX"), Acad::eOk);
    EXPECT_FALSE(p->isGripUsed(0));
    EXPECT_TRUE(p->isGripUsed(1));
    EXPECT_FALSE(p->isGripUsed(2));
    EXPECT_TRUE(p->isGripUsed(3));

    // An action of another parameter does not count, even when it reads this one.
    PbAction* foreign = makeAction(L"Foreign", Kind::kRotate, 9999);
    add(foreign);
    ASSERT_EQ(foreign->connectTo(L"Reads", pid, L"Distance"), Acad::eOk);
    EXPECT_FALSE(p->isGripUsed(0));

    // A rotate action uses every grip.
    PbAction* rotate = makeAction(L"Rotate", Kind::kRotate, pid);
    add(rotate);
    ASSERT_EQ(rotate->connectTo(L"Reads", pid, L"BaseX"), Acad::eOk);
    EXPECT_TRUE(p->isGripUsed(0));
    // Asked about one action only.
    EXPECT_FALSE(p->isGripUsed(0, move));
    EXPECT_TRUE(p->isGripUsed(1, move));
    EXPECT_TRUE(p->isGripUsed(2, rotate));
    EXPECT_FALSE(p->isGripUsed(0, foreign));
}

TEST_F(PointBasesTest, GettingGripsClosesThemAgainOnFailure) {
    AcDbDatabase db;
    auto* graph = new KxDbTagEvalGraph();
    AcDbObjectId graphId;
    ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
    auto* p = new Pb2Pt();
    p->setDefinitionBasePoint(AcGePoint3d(0, 0, 0), false);
    p->setDefinitionEndPoint(AcGePoint3d(4, 0, 0));
    KxNodeId pid = 0;
    ASSERT_EQ(graph->addNode(p, pid), Acad::eOk);
    KxTestParam* other = kxtest::makeTestParam(L"NoGrip");
    KxNodeId oid = 0;
    ASSERT_EQ(graph->addNode(other, oid), Acad::eOk);
    other->close();
    ASSERT_EQ(p->setGripCount(2), Acad::eOk);
    const KxNodeId g0 = p->gripId(0);
    const AcDbObjectId pObj = p->objectId();
    p->close();
    graph->close();

    pbtest::StrictOpens strict;
    Pb2Pt* opened = nullptr;
    ASSERT_EQ(acdbOpenObject(opened, pObj, AcDb::kForWrite), Acad::eOk);
    KxDbTagGripPtrArray grips;
    ASSERT_EQ(opened->getGrips(grips, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(grips.length(), 2);
    for (KxDbTagGrip* g : grips) {
        g->close();
    }
    twoPtImp(opened)->setGripId(1, oid);
    EXPECT_EQ(opened->getGrips(grips, AcDb::kForWrite), Acad::eWrongObjectType);
    EXPECT_TRUE(grips.isEmpty());
    opened->close();
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);

    // Grip 0 was closed again: it opens for write.
    ASSERT_EQ(acdbOpenObject(graph, graphId, AcDb::kForRead), Acad::eOk);
    KxDbTagEvalExpr* node = nullptr;
    EXPECT_EQ(graph->getNode(g0, AcDb::kForWrite, node), Acad::eOk);
    if (node != nullptr) {
        node->close();
    }
    graph->close();
}

TEST_F(PointBasesTest, ResidentParameterLeavingItsGraphErasesItsGrips) {
    AcDbDatabase db;
    auto* graph = new KxDbTagEvalGraph();
    AcDbObjectId graphId;
    ASSERT_EQ(db.addAcDbObject(graphId, graph), Acad::eOk);
    auto* p = new Pb2Pt();
    p->setDefinitionBasePoint(AcGePoint3d(0, 0, 0), false);
    p->setDefinitionEndPoint(AcGePoint3d(4, 0, 0));
    KxNodeId pid = 0;
    ASSERT_EQ(graph->addNode(p, pid), Acad::eOk);
    ASSERT_EQ(p->setGripCount(2), Acad::eOk);
    KxDbTagEvalExpr* g = nullptr;
    ASSERT_EQ(graph->getNode(p->gripId(1), AcDb::kForRead, g), Acad::eOk);
    const AcDbObjectId gripObj = g->objectId();
    g->close();
    ASSERT_EQ(graph->removeNode(p), Acad::eOk);
    EXPECT_EQ(p->gripId(1), 0u);
    p->erase();
    p->close();
    KxNodeIdArray ids;
    graph->getAllNodeIds(ids);
    EXPECT_TRUE(ids.isEmpty());
    graph->close();
    EXPECT_TRUE(gripObj.isErased());
    EXPECT_EQ(kxhost::assertionViolations(), 0);
}

TEST_F(PointBasesTest, MovingTheGraphIntoADatabaseKeepsTheGrips) {
    Pb2Pt* p = twoPoint(2);
    const KxNodeId pid = p->getNodeId();
    const KxNodeId g0 = p->gripId(0);
    const KxNodeId g1 = p->gripId(1);
    AcDbDatabase db;
    KxDbTagEvalGraph* moved = graph();
    AcDbObjectId graphId;
    ASSERT_EQ(moved->addGraphToDatabase(graphId, &db), Acad::eOk);
    moved->close();
    ASSERT_EQ(acdbOpenObject(moved, graphId, AcDb::kForRead), Acad::eOk);
    KxDbTagEvalExpr* node = nullptr;
    ASSERT_EQ(moved->getNode(pid, AcDb::kForRead, node), Acad::eOk);
    Pb2Pt* resident = Pb2Pt::cast(node);
    ASSERT_NE(resident, nullptr);
    EXPECT_EQ(resident->gripId(0), g0);
    EXPECT_EQ(resident->gripId(1), g1);
    node->close();
    ASSERT_EQ(moved->getNode(g1, AcDb::kForRead, node), Acad::eOk);
    EXPECT_NE(KxDbTagGrip::cast(node), nullptr);
    node->close();
    moved->close();
    releaseGraph();
}

// --- Two-point: evaluation and editing --------------------------------------------------------

TEST_F(PointBasesTest, EvaluationReadsGripDisplacements) {
    Pb2Pt* p = twoPoint(4);
    // The corner grip 2 drives base X and end Y.
    drag(p->gripId(2), AcGeVector3d(2, 3, 0));
    // Only the dragged grip's edge carries values in this evaluation.
    KxNodeIdArray start;
    start.append(p->gripId(2));
    ASSERT_EQ(graph()->activate(start), Acad::eOk);
    ASSERT_EQ(p->evaluate(nullptr), Acad::eOk);
    EXPECT_POINT(p->updatedBasePoint(), 2, 0, 0);
    EXPECT_POINT(p->updatedEndPoint(), 10, 3, 0);
    EXPECT_POINT(p->currentBasePoint(), 0, 0, 0);
    p->evaluationSucceeded(true);
    EXPECT_POINT(p->currentBasePoint(), 2, 0, 0);
    EXPECT_POINT(p->currentEndPoint(), 10, 3, 0);
}

TEST_F(PointBasesTest, EvaluationIgnoresSuppressedInputsAndCountsNonGripSources) {
    Pb2Pt* p = twoPoint(0);
    const KxNodeId pid = p->getNodeId();
    ASSERT_EQ(p->setGripCount(1), Acad::eOk);  // end grip only
    drag(p->gripId(1), AcGeVector3d(1, 1, 0));
    p->setUpdatedEndPoint(AcGePoint3d(50, 50, 0));
    p->setUpdatedBasePoint(AcGePoint3d(60, 60, 0));
    // The parameter changed by itself: its grip's edge carries nothing.
    KxNodeIdArray start;
    start.append(pid);
    ASSERT_EQ(graph()->activate(start), Acad::eOk);
    ASSERT_EQ(p->evaluate(nullptr), Acad::eOk);
    EXPECT_POINT(p->updatedEndPoint(), 50, 50, 0);
    EXPECT_POINT(p->updatedBasePoint(), 60, 60, 0) << "no base input at all";

    // A source that is no grip counts as found with displacement 0.
    KxTestParam* src = kxtest::makeTestParam(L"Src", 7.0);
    const KxNodeId sid = add(src);
    ASSERT_EQ(p->connectTo(L"UpdatedBaseY", sid, L"Value"), Acad::eOk);
    start.setLogicalLength(0);
    start.append(sid);
    ASSERT_EQ(graph()->activate(start), Acad::eOk);
    ASSERT_EQ(p->evaluate(nullptr), Acad::eOk);
    EXPECT_POINT(p->updatedBasePoint(), 0, 0, 0);

    Pb2Pt lone;
    EXPECT_EQ(lone.evaluate(nullptr), KxStatus::kNotInGraph);
}

TEST_F(PointBasesTest, AGripDragThroughTheWholeGraph) {
    Pb2Pt* p = twoPoint(2);
    const KxNodeId g1 = p->gripId(1);
    drag(g1, AcGeVector3d(0, 4, 0));
    KxNodeIdArray start;
    start.append(g1);
    ASSERT_EQ(graph()->evaluate(nullptr, start), Acad::eOk);
    EXPECT_POINT(p->currentEndPoint(), 10, 4, 0);
    EXPECT_POINT(p->currentBasePoint(), 0, 0, 0);
    // The grip's expressions followed the parameter.
    EXPECT_POINT(grip(g1)->expressionPosition(), 10, 4, 0);
}

TEST_F(PointBasesTest, MovingGripPointsAndChainActions) {
    Pb2Pt p;
    AcGePoint3dArray points;
    p.setUpdatedEndPoint(AcGePoint3d(1, 0, 0));
    ASSERT_EQ(p.getGripPoints(points), Acad::eOk);
    ASSERT_EQ(points.length(), 2);
    EXPECT_POINT(points[1], 1, 0, 0);

    AcDbIntArray indices;
    indices.append(0);
    indices.append(5);
    EXPECT_EQ(p.moveGripPointsAt(indices, AcGeVector3d(1, 2, 0)), Acad::eInvalidInput);
    EXPECT_POINT(p.updatedBasePoint(), 1, 2, 0) << "the index before the bad one was applied";
    EXPECT_POINT(p.currentBasePoint(), 1, 2, 0);

    p.setChainActions(true);
    AcDbIntArray one;
    one.append(1);
    ASSERT_EQ(p.moveGripPointsAt(one, AcGeVector3d(0, 1, 0)), Acad::eOk);
    EXPECT_POINT(p.updatedEndPoint(), 1, 1, 0);
    EXPECT_POINT(p.currentEndPoint(), 0, 0, 0) << "chained: the difference drives the actions";
}

TEST_F(PointBasesTest, TransformingAnInstanceMovesPointsAndTheNormal) {
    Pb2Pt p;
    p.setCurrentEndPoint(AcGePoint3d(1, 0, 0));
    p.setUpdatedEndPoint(AcGePoint3d(1, 0, 0));
    ASSERT_EQ(p.transformInstanceBy(AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d(1, 0, 0))),
              Acad::eOk);
    EXPECT_EQ(p.normal(), AcGeVector3d(0, 1, 0));
    EXPECT_POINT(p.currentEndPoint(), 1, 0, 0);

    Pb2Pt m;
    m.setCurrentEndPoint(AcGePoint3d(2, 1, 0));
    m.setUpdatedEndPoint(AcGePoint3d(2, 1, 0));
    AcGeMatrix3d mirror;
    mirror(0, 0) = -1.0;  // mirror in the YZ plane
    ASSERT_EQ(m.transformInstanceBy(mirror), Acad::eOk);
    EXPECT_EQ(m.normal(), AcGeVector3d(0, 0, 1)) << "a mirror reverses the normal";
    EXPECT_POINT(m.updatedEndPoint(), -2, 1, 0);
    EXPECT_POINT(m.currentEndPoint(), -2, 1, 0);

    m.setChainActions(true);
    ASSERT_EQ(m.transformInstanceBy(AcGeMatrix3d::translation(AcGeVector3d(0, 5, 0))), Acad::eOk);
    EXPECT_POINT(m.updatedEndPoint(), -2, 6, 0);
    EXPECT_POINT(m.currentEndPoint(), -2, 1, 0);
}

// --- Two-point: the "Origin" property ---------------------------------------------------------

TEST_F(PointBasesTest, OriginPropertyMovesTheUpdatedPointsOnly) {
    Pb2Pt* p = twoPoint(1);
    KxDbBlockPropertyDescArray descs;
    ASSERT_EQ(p->getPropertyDescriptions(descs), Acad::eOk);
    ASSERT_EQ(descs.length(), 1);
    EXPECT_EQ(descs[0].name, AcString(L"Origin"));
    EXPECT_EQ(descs[0].connectionName, AcString(L"Origin"));
    EXPECT_EQ(descs[0].valueType, 11);
    EXPECT_EQ(descs[0].readOnly, 1) << "fewer than two grips";
    AcString connection;
    EXPECT_EQ(p->getPropertyConnectionName(L"ORIGIN", connection), Acad::eOk);
    EXPECT_EQ(connection, AcString(L"Origin"));

    const KxDbTagEvalVariant target(AcGePoint3d(105, 2, 0));
    EXPECT_EQ(p->setPropertyValue(L"Origin", target), KxParamStatus::kOriginNeedsGrips);
    ASSERT_EQ(p->setGripCount(2), Acad::eOk);
    descs.setLogicalLength(0);
    p->getPropertyDescriptions(descs);
    EXPECT_EQ(descs[0].readOnly, 0);
    EXPECT_EQ(p->setPropertyValue(L"Origin", KxDbTagEvalVariant(1.0)), Acad::eInvalidInput);
    EXPECT_EQ(p->setPropertyValue(L"origin", target), Acad::eKeyNotFound);

    const AcGeMatrix3d toReference = AcGeMatrix3d::translation(AcGeVector3d(100, 0, 0));
    ASSERT_EQ(p->setPropertyValueTransformed(L"Origin", toReference, target), Acad::eOk);
    EXPECT_POINT(p->updatedBasePoint(), 5, 2, 0);
    EXPECT_POINT(p->updatedEndPoint(), 15, 2, 0);
    EXPECT_POINT(p->currentBasePoint(), 0, 0, 0);
    EXPECT_POINT(p->currentEndPoint(), 10, 0, 0);

    KxDbTagEvalVariant value;
    ASSERT_EQ(p->getPropertyValue(L"Origin", value), Acad::eOk);
    EXPECT_POINT(pointOf(value), 5, 2, 0);
    ASSERT_EQ(p->getPropertyValueTransformed(L"Origin", toReference, value), Acad::eOk);
    EXPECT_POINT(pointOf(value), 105, 2, 0);
    EXPECT_EQ(p->getPropertyValue(L"Distance", value), Acad::eKeyNotFound);
    EXPECT_EQ(p->setPropertyValue(L"Distance", value), Acad::eKeyNotFound);
}

// --- Two-point: instance data -----------------------------------------------------------------

TEST_F(PointBasesTest, TwoPointInstanceDataRoundTrip) {
    Pb2Pt p;
    p.setCurrentBasePoint(AcGePoint3d(1, 2, 0));
    p.setCurrentEndPoint(AcGePoint3d(3, 4, 0));
    kxImpOf<KxDbImpBlock2PtTag>(&p)->setNormal(AcGeVector3d(0, 0, 1));
    resbuf* chain = nullptr;
    ASSERT_EQ(p.getInstanceData(chain), Acad::eOk);
    int items = 0;
    for (resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
        ++items;
    }
    EXPECT_EQ(items, 7);

    Pb2Pt back;
    back.setCurrentEndPoint(AcGePoint3d(9, 9, 9));
    const resbuf* cursor = chain;
    ASSERT_EQ(back.applyInstanceData(cursor), Acad::eOk);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_POINT(back.updatedBasePoint(), 1, 2, 0);
    EXPECT_POINT(back.updatedEndPoint(), 3, 4, 0);
    EXPECT_POINT(back.currentBasePoint(), 1, 2, 0);
    EXPECT_POINT(back.currentEndPoint(), 9, 9, 9) << "only the base is made current";
    EXPECT_EQ(back.normal(), AcGeVector3d(0, 0, 1));

    Pb2Pt keep;
    cursor = chain;
    ASSERT_EQ(keep.setInstanceData(cursor, 0), Acad::eOk);
    EXPECT_POINT(keep.currentBasePoint(), 0, 0, 0);
    EXPECT_POINT(keep.updatedBasePoint(), 1, 2, 0);
    acutRelRb(chain);
}

TEST_F(PointBasesTest, InstanceDataLayoutFollowsItsOwnVersion) {
    // Written before the normal was kept: no header, two points, then the next element's data.
    kxinst::ChainBuilder builder;
    builder.point(10, AcGePoint3d(1, 1, 0))
        .point(10, AcGePoint3d(2, 2, 0))
        .point(10, AcGePoint3d(7, 7, 7));
    resbuf* chain = builder.release();
    // Even a definition read from a current file takes the old layout from the data.
    Pb2Pt p;
    {
        Filer f;
        Pb2Pt written;
        written.dwgOut(&f);
        f.rewind();
        ASSERT_EQ(p.dwgIn(&f), Acad::eOk);
    }
    const resbuf* cursor = chain;
    ASSERT_EQ(p.applyInstanceData(cursor), Acad::eOk);
    EXPECT_POINT(p.updatedEndPoint(), 2, 2, 0);
    EXPECT_EQ(p.normal(), AcGeVector3d(0, 0, -1));
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->resval.rpoint[2], 7.0) << "the next element's item is left for it";
    acutRelRb(chain);

    // A header of version 25.70 has no normal either; 25.71 has one.
    for (int minor : {70, 71}) {
        Pb2Pt q;
        resbuf* header = nullptr;
        ASSERT_EQ(q.getInstanceData(header), Acad::eOk);
        // Rewrite the minor version and drop the normal for 70.
        resbuf* minorItem = header->rbnext->rbnext->rbnext;
        minorItem->resval.rint = static_cast<short>(minor);
        resbuf* end = minorItem->rbnext->rbnext;
        end->rbnext->resval.rpoint[2] = 1.0;  // the normal (0,0,1) or the next element's point
        const resbuf* at = header;
        ASSERT_EQ(q.applyInstanceData(at), Acad::eOk) << minor;
        EXPECT_EQ(q.normal(), minor == 70 ? AcGeVector3d(0, 0, -1) : AcGeVector3d(0, 0, 1));
        EXPECT_EQ(at == nullptr, minor == 71);
        acutRelRb(header);
    }
}

TEST_F(PointBasesTest, TruncatedInstanceDataIsRefused) {
    Pb2Pt p;
    resbuf* full = nullptr;
    ASSERT_EQ(p.getInstanceData(full), Acad::eOk);
    // Cut the chain after each of its items (the header alone included).
    for (int keep = 4; keep < 7; ++keep) {
        kxinst::ChainBuilder builder;
        int i = 0;
        for (resbuf* rb = full; rb != nullptr && i < keep; rb = rb->rbnext, ++i) {
            if (rb->restype == 10) {
                builder.point(10, AcGePoint3d(rb->resval.rpoint[0], rb->resval.rpoint[1], 0));
            } else if (rb->restype == 70) {
                builder.int16(70, rb->resval.rint);
            } else {
                builder.int32(rb->restype, rb->resval.rlong);
            }
        }
        resbuf* chain = builder.release();
        Pb2Pt target;
        target.setUpdatedBasePoint(AcGePoint3d(8, 8, 8));
        const resbuf* cursor = chain;
        EXPECT_EQ(target.applyInstanceData(cursor), Acad::eInvalidInput) << keep;
        EXPECT_POINT(target.updatedBasePoint(), 8, 8, 8);
        acutRelRb(chain);
    }
    // A point item of another code is no point of this layout.
    kxinst::ChainBuilder other;
    other.point(11, AcGePoint3d()).point(10, AcGePoint3d());
    resbuf* chain = other.release();
    const resbuf* cursor = chain;
    EXPECT_EQ(p.applyInstanceData(cursor), Acad::eInvalidInput);
    acutRelRb(chain);
    acutRelRb(full);
}

// --- Two-point: DWG ---------------------------------------------------------------------------

// The index of the element's name in a record (its read version follows).
int nameIndex(const Filer& f, const wchar_t* name) {
    for (int i = 0; i < f.itemCount(); ++i) {
        if (f.items()[i].text == name) {
            return i;
        }
    }
    return -1;
}

TEST_F(PointBasesTest, TwoPointDwgRoundTrip) {
    Pb2Pt* p = twoPoint(4);
    p->setBaseLocation(1);
    Filer f;
    ASSERT_EQ(p->dwgOut(&f), Acad::eOk);
    Pb2Pt back;
    f.rewind();
    ASSERT_EQ(back.dwgIn(&f), Acad::eOk);
    EXPECT_POINT(back.definitionBasePoint(), 0, 0, 0);
    EXPECT_POINT(back.definitionEndPoint(), 10, 0, 0);
    EXPECT_POINT(back.currentEndPoint(), 10, 0, 0) << "stored through the setters";
    EXPECT_EQ(back.baseLocation(), 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(back.gripId(i), p->gripId(i));
        const auto which = static_cast<KxDbImpBlock2PtTag::Input>(i);
        EXPECT_EQ(twoPtImp(&back)->inputs(which), twoPtImp(p)->inputs(which));
    }
    EXPECT_EQ(f.tell(), f.itemCount());
}

TEST_F(PointBasesTest, DwgEndPointEqualToTheBaseIsNotTaken) {
    Pb2Pt same;
    same.setDefinitionBasePoint(AcGePoint3d(1, 1, 0), false);
    same.setDefinitionEndPoint(AcGePoint3d(1, 1, 0), false);
    Filer f;
    same.dwgOut(&f);
    Pb2Pt back;
    back.setDefinitionEndPoint(AcGePoint3d(5, 5, 0));
    f.rewind();
    ASSERT_EQ(back.dwgIn(&f), Acad::eOk);
    EXPECT_POINT(back.definitionBasePoint(), 1, 1, 0);
    EXPECT_POINT(back.definitionEndPoint(), 5, 5, 0);
}

TEST_F(PointBasesTest, DwgBaseLocationOnlyAfter25Point64) {
    Pb2Pt p;
    p.setName(L"Old");
    p.setBaseLocation(1);
    Filer full(AcDb::kFileFiler, ver(25), maint(104));
    p.dwgOut(&full);
    const int name = nameIndex(full, L"Old");
    ASSERT_GE(name, 0);
    for (int readMaint : {64, 65}) {
        Filer f(AcDb::kFileFiler, ver(25), maint(104));
        // The record as an older drawing has it: its read version, and the base location only
        // when that version files it.
        const int count = readMaint == 64 ? full.itemCount() - 1 : full.itemCount();
        pbtest::copyItems(full, f, count, {{name + 1, 25}, {name + 2, readMaint}});
        f.writeInt32(4711);
        f.rewind();
        Pb2Pt back;
        ASSERT_EQ(back.dwgIn(&f), Acad::eOk) << readMaint;
        EXPECT_EQ(back.baseLocation(), readMaint == 64 ? 0 : 1);
        Adesk::Int32 next = 0;
        ASSERT_EQ(f.readInt32(&next), Acad::eOk);
        EXPECT_EQ(next, 4711);
    }
}

TEST_F(PointBasesTest, DamagedDwgRecordsFail) {
    Pb2Pt* p = twoPoint(2);
    Filer full;
    p->dwgOut(&full);
    const int name = nameIndex(full, L"Two");
    ASSERT_GE(name, 0);
    // Every cut after the parameter's flags fails.
    for (int keep = name + 6; keep < full.itemCount(); ++keep) {
        Filer f;
        pbtest::copyItems(full, f, keep);
        f.rewind();
        Pb2Pt back;
        EXPECT_NE(back.dwgIn(&f), Acad::eOk) << keep;
    }
    // The first input count: huge, negative; then an entry naming node 0.
    const int countAt = name + 4 + 2 + 2;
    ASSERT_EQ(full.items()[countAt].kind, Filer::ItemKind::kInt32);
    ASSERT_EQ(full.items()[countAt].bits, 1u);
    for (Adesk::Int64 bad : {0x7FFFFFF0LL, -5LL}) {
        Filer f;
        pbtest::copyItems(full, f, full.itemCount(), {{countAt, bad}});
        f.rewind();
        Pb2Pt back;
        EXPECT_NE(back.dwgIn(&f), Acad::eOk) << bad;
        EXPECT_TRUE(twoPtImp(&back)->inputs(KxDbImpBlock2PtTag::kBaseX).empty());
    }
    Filer f;
    pbtest::copyItems(full, f, full.itemCount(), {{countAt + 1, 0}});
    f.rewind();
    Pb2Pt back;
    EXPECT_NE(back.dwgIn(&f), Acad::eOk);
}

// --- Two-point: DXF ---------------------------------------------------------------------------

resbuf item(int code, Adesk::Int32 value) {
    resbuf rb{};
    rb.restype = static_cast<short>(code);
    if (acdbGroupCodeToType(code) == AcDb::kDwgInt32) {
        rb.resval.rlong = value;
    } else {
        rb.resval.rint = static_cast<short>(value);
    }
    return rb;
}
resbuf textItem(int code, const ACHAR* text) {
    resbuf rb{};
    rb.restype = static_cast<short>(code);
    rb.resval.rstring = const_cast<ACHAR*>(text);
    return rb;
}
resbuf pointItem(int code, double x, double y) {
    resbuf rb{};
    rb.restype = static_cast<short>(code);
    rb.resval.rpoint[0] = x;
    rb.resval.rpoint[1] = y;
    return rb;
}

// The record's groups up to and including the marker `marker`, then `tail`. The element's
// version groups can be rewritten.
DxfFiler rebuilt(const DxfFiler& source, const ACHAR* marker, const std::vector<resbuf>& tail,
                 int readVer = 33, int readMaint = 228) {
    DxfFiler out(AcDb::kFileFiler, ver(33), maint(228));
    resbuf* chain = source.toChain();
    for (resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
        if (rb->restype == 98) {
            rb->resval.rlong = readVer;
        } else if (rb->restype == 99) {
            rb->resval.rlong = readMaint;
        }
        out.appendItem(*rb);
        if (rb->restype == 100 && AcString(rb->resval.rstring) == marker) {
            break;
        }
    }
    acutRelRb(chain);
    for (const resbuf& rb : tail) {
        out.appendItem(rb);
    }
    out.rewind();
    return out;
}

std::vector<resbuf> twoPointTail(std::vector<resbuf> grips, std::vector<resbuf> baseX) {
    std::vector<resbuf> tail = {pointItem(1010, 0, 0), pointItem(1011, 5, 0)};
    tail.insert(tail.end(), grips.begin(), grips.end());
    tail.push_back(item(171, 0));
    tail.insert(tail.end(), baseX.begin(), baseX.end());
    for (int code : {172, 173, 174}) {
        tail.push_back(item(code, 0));
    }
    tail.push_back(item(177, 0));
    return tail;
}

const std::vector<resbuf> kFourGrips = {item(170, 4), item(91, 0), item(91, 0), item(91, 0),
                                        item(91, 0)};

TEST_F(PointBasesTest, TwoPointDxfRoundTripAndGroups) {
    Pb2Pt* p = twoPoint(4);
    p->setBaseLocation(1);
    DxfFiler f;
    ASSERT_EQ(p->dxfOut(&f), Acad::eOk);
    bool sawMarker = false;
    for (const auto& it : f.items()) {
        sawMarker = sawMarker || it.text == L"AcDbBlock2PtParameter";
    }
    EXPECT_TRUE(sawMarker);
    Pb2Pt back;
    back.setCurrentBasePoint(AcGePoint3d(7, 7, 7));
    f.rewind();
    ASSERT_EQ(back.dxfIn(&f), Acad::eOk) << f.describe().utf8();
    EXPECT_TRUE(f.atEOF());
    EXPECT_POINT(back.definitionEndPoint(), 10, 0, 0);
    EXPECT_POINT(back.currentBasePoint(), 7, 7, 7) << "DXF stores the definition points alone";
    EXPECT_EQ(back.baseLocation(), 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(back.gripId(i), p->gripId(i));
        const auto which = static_cast<KxDbImpBlock2PtTag::Input>(i);
        EXPECT_EQ(twoPtImp(&back)->inputs(which), twoPtImp(p)->inputs(which));
    }
}

TEST_F(PointBasesTest, TwoPointDxfListsAreChecked) {
    Pb2Pt p;
    p.setDefinitionBasePoint(AcGePoint3d(0, 0, 0), false);
    p.setDefinitionEndPoint(AcGePoint3d(1, 0, 0));
    DxfFiler written;
    p.dxfOut(&written);
    const ACHAR* marker = L"AcDbBlock2PtParameter";
    {
        DxfFiler f = rebuilt(written, marker, twoPointTail(kFourGrips, {}));
        Pb2Pt back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eOk);
    }
    {
        // Room for four grip ids only.
        std::vector<resbuf> five = {item(170, 5)};
        for (int i = 0; i < 5; ++i) {
            five.push_back(item(91, i + 1));
        }
        DxfFiler f = rebuilt(written, marker, twoPointTail(five, {}));
        Pb2Pt back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eBadDxfSequence);
    }
    {
        std::vector<resbuf> three = {item(170, 4), item(91, 1), item(91, 2), item(91, 3)};
        DxfFiler f = rebuilt(written, marker, twoPointTail(three, {}));
        Pb2Pt back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eBadDxfSequence);
    }
    // Input lists: an entry may reuse the previous id; the first one has none to reuse.
    {
        std::vector<resbuf> list = {item(92, 7), textItem(301, L"A"), textItem(301, L"B")};
        std::vector<resbuf> tail = twoPointTail(kFourGrips, list);
        tail[7] = item(171, 2);
        DxfFiler f = rebuilt(written, marker, tail);
        Pb2Pt back;
        ASSERT_EQ(back.dxfIn(&f), Acad::eOk) << f.describe().utf8();
        const KxConnectionMap& inputs = twoPtImp(&back)->inputs(KxDbImpBlock2PtTag::kBaseX);
        ASSERT_EQ(inputs.size(), 1u);
        EXPECT_EQ(inputs.at(7), AcString(L"B"));
    }
    {
        std::vector<resbuf> list = {textItem(301, L"A")};
        std::vector<resbuf> tail = twoPointTail(kFourGrips, list);
        tail[7] = item(171, 1);
        DxfFiler f = rebuilt(written, marker, tail);
        Pb2Pt back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eBadDxfSequence);
    }
    {
        // Fewer entries than announced.
        std::vector<resbuf> list = {item(92, 7), textItem(301, L"A")};
        std::vector<resbuf> tail = twoPointTail(kFourGrips, list);
        tail[7] = item(171, 3);
        DxfFiler f = rebuilt(written, marker, tail);
        Pb2Pt back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eBadDxfSequence);
    }
    {
        // A huge announced count ends with the data.
        std::vector<resbuf> tail = twoPointTail(kFourGrips, {});
        tail[7] = item(171, 32000);
        DxfFiler f = rebuilt(written, marker, tail);
        Pb2Pt back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eBadDxfSequence);
    }
}

TEST_F(PointBasesTest, TwoPointDxfRequiredGroups) {
    Pb2Pt p;
    DxfFiler written;
    p.dxfOut(&written);
    const ACHAR* marker = L"AcDbBlock2PtParameter";
    std::vector<resbuf> full = twoPointTail(kFourGrips, {});
    // Without 177: missing in a current record, fine in one of 25.64.
    std::vector<resbuf> noLocation(full.begin(), full.end() - 1);
    {
        DxfFiler f = rebuilt(written, marker, noLocation);
        Pb2Pt back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eMissingDxfField);
    }
    {
        DxfFiler f = rebuilt(written, marker, noLocation, 25, 64);
        Pb2Pt back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eOk);
    }
    // Without 1011 or without a list.
    for (size_t drop : {size_t(1), size_t(7)}) {
        std::vector<resbuf> tail = full;
        tail.erase(tail.begin() + static_cast<long>(drop));
        DxfFiler f = rebuilt(written, marker, tail);
        Pb2Pt back;
        EXPECT_EQ(back.dxfIn(&f), Acad::eMissingDxfField) << drop;
    }
    // A foreign group ends the subclass and stays for the next reader.
    std::vector<resbuf> tail = full;
    tail.push_back(item(90, 3));
    DxfFiler f = rebuilt(written, marker, tail);
    Pb2Pt back;
    ASSERT_EQ(back.dxfIn(&f), Acad::eOk);
    resbuf rb{};
    ASSERT_EQ(f.readItem(&rb), Acad::eOk);
    EXPECT_EQ(rb.restype, 90);
}

// --- One-point --------------------------------------------------------------------------------

TEST_F(PointBasesTest, OnePointConnections) {
    Pb1Pt p;
    p.setCurrentPoint(AcGePoint3d(1, 2, 0));
    p.setUpdatedPoint(AcGePoint3d(4, 8, 0));
    AcStringArray names;
    p.getConnectionNames(names);
    ASSERT_EQ(names.length(), 6);
    const double expected[] = {1, 2, 4, 8, 3, 6};
    for (int i = 0; i < 6; ++i) {
        KxDbTagEvalVariant v;
        ASSERT_EQ(p.getConnectionValue(names[i], v), Acad::eOk);
        EXPECT_EQ(real(v), expected[i]) << names[i].utf8();
    }
    KxDbTagEvalVariant v;
    EXPECT_EQ(p.getConnectionValue(L"ydelta", v), Acad::eOk);
    EXPECT_EQ(p.getConnectionValue(L"Z", v), Acad::eInvalidInput);
    AcDb::DwgDataType kind = AcDb::kDwgNull;
    EXPECT_EQ(p.getConnectionType(L"z", kind), Acad::eInvalidInput);
    EXPECT_EQ(kind, AcDb::kDwgNull);
    EXPECT_EQ(p.getConnectionType(L"x", kind), Acad::eOk);
    EXPECT_EQ(kind, AcDb::kDwgReal);
    AcGePoint3dArray points;
    p.getGripPoints(points);
    ASSERT_EQ(points.length(), 1);
    EXPECT_POINT(points[0], 4, 8, 0);
}

TEST_F(PointBasesTest, OnePointGripAndEvaluation) {
    Pb1Pt* p = onePoint(true);
    const KxNodeId g = p->gripId();
    ASSERT_NE(g, 0u);
    int count = 0;
    p->getGripCount(count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(p->setGripCount(2), Acad::eInvalidInput);
    int index = -1;
    EXPECT_EQ(p->getGripIndex(g, index), Acad::eOk);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(p->getGripIndex(0, index), KxStatus::kNotInGraph);
    EXPECT_EQ(p->getGripIndex(g + 100, index), KxStatus::kNodeNotFound);
    KxDbTagGripPtrArray grips;
    ASSERT_EQ(p->getGrips(grips, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(grips.length(), 1);
    grips[0]->close();
    EXPECT_EQ(p->connectTo(L"UpdatedX", g, L"DisplacementX"), Acad::eIllegalReplacement);

    drag(g, AcGeVector3d(1, -1, 0));
    ASSERT_EQ(p->evaluate(nullptr), Acad::eOk);
    EXPECT_POINT(p->updatedPoint(), 3, 2, 0);
    EXPECT_POINT(p->currentPoint(), 2, 3, 0);
    p->evaluationSucceeded(true);
    EXPECT_POINT(p->currentPoint(), 3, 2, 0);

    // Moving the definition carries the grip's offset along.
    KxDbTagGrip* gr = grip(g);
    gr->setLocation(AcGePoint3d(2.5, 3, 0));
    ASSERT_EQ(p->transformBy(AcGeMatrix3d::translation(AcGeVector3d(0, 10, 0))), Acad::eOk);
    EXPECT_POINT(p->definitionPoint(), 2, 13, 0);
    EXPECT_POINT(p->currentPoint(), 2, 13, 0);
    EXPECT_POINT(gr->location(), 2.5, 13, 0);
    ASSERT_EQ(p->placeGripsAtDefinition(), Acad::eOk);
    EXPECT_POINT(gr->location(), 2, 13, 0);

    ASSERT_EQ(p->setGripCount(0), Acad::eOk);
    EXPECT_EQ(p->gripId(), 0u);
    EXPECT_FALSE(inGraph(g));
    EXPECT_TRUE(onePtImp(p)->inputs(KxDbImpBlock1PtTag::kInputX).empty());
    EXPECT_EQ(p->removeGrip(0), KxStatus::kNodeNotFound);
    EXPECT_EQ(p->removeGrip(1), Acad::eInvalidInput);
}

TEST_F(PointBasesTest, OnePointEditingAndInputs) {
    Pb1Pt p;
    AcDbIntArray indices;
    indices.append(0);
    ASSERT_EQ(p.moveGripPointsAt(indices, AcGeVector3d(1, 1, 0)), Acad::eOk);
    EXPECT_POINT(p.currentPoint(), 1, 1, 0);
    indices.append(1);
    EXPECT_EQ(p.moveGripPointsAt(indices, AcGeVector3d(1, 1, 0)), Acad::eInvalidInput);
    EXPECT_POINT(p.updatedPoint(), 2, 2, 0);
    p.setChainActions(true);
    ASSERT_EQ(p.transformInstanceBy(AcGeMatrix3d::translation(AcGeVector3d(0, 0, 1))), Acad::eOk);
    EXPECT_POINT(p.updatedPoint(), 2, 2, 1);
    EXPECT_POINT(p.currentPoint(), 2, 2, 0);

    Pb1Pt* q = onePoint(false);
    KxTestParam* src = kxtest::makeTestParam(L"Src");
    const KxNodeId sid = add(src);
    EXPECT_EQ(q->connectTo(L"updatedx", sid, L"Value"), Acad::eInvalidInput);
    EXPECT_EQ(q->connectTo(L"X", sid, L"Value"), Acad::eInvalidInput);
    EXPECT_EQ(q->connectTo(L"UpdatedY", 0, L"Value"), Acad::eInvalidInput);
    Pb1Pt lone;
    EXPECT_EQ(lone.connectTo(L"UpdatedY", 0, L"Value"), KxStatus::kNotInGraph);
    EXPECT_EQ(lone.connectTo(L"UpdatedY", sid, L"Value"), KxStatus::kNotInGraph);
    EXPECT_FALSE(q->canConnectTo(L"UpdatedY", 0, L"Value"));
    ASSERT_EQ(q->connectTo(L"UpdatedY", sid, L"Value"), Acad::eOk);
    // A plain source contributes nothing, but it is a source.
    q->setUpdatedPoint(AcGePoint3d(9, 9, 9));
    ASSERT_EQ(q->evaluate(nullptr), Acad::eOk);
    EXPECT_POINT(q->updatedPoint(), 2, 3, 0);
    // Removing the source forgets it.
    ASSERT_EQ(graph()->removeNode(src), Acad::eOk);
    delete src;
    EXPECT_TRUE(onePtImp(q)->inputs(KxDbImpBlock1PtTag::kInputY).empty());
}

TEST_F(PointBasesTest, OnePointInstanceData) {
    Pb1Pt p;
    p.setCurrentPoint(AcGePoint3d(4, 5, 6));
    resbuf* chain = nullptr;
    ASSERT_EQ(p.getInstanceData(chain), Acad::eOk);
    Pb1Pt back;
    const resbuf* cursor = chain;
    ASSERT_EQ(back.setInstanceData(cursor, 0), Acad::eOk);
    EXPECT_POINT(back.updatedPoint(), 4, 5, 6);
    EXPECT_POINT(back.currentPoint(), 0, 0, 0);
    cursor = chain;
    ASSERT_EQ(back.applyInstanceData(cursor), Acad::eOk);
    EXPECT_POINT(back.currentPoint(), 4, 5, 6);
    EXPECT_EQ(cursor, nullptr);
    // The header alone, or a point under another code, is refused.
    resbuf* last = chain;
    while (last->rbnext->rbnext != nullptr) {
        last = last->rbnext;
    }
    resbuf* point = last->rbnext;
    last->rbnext = nullptr;
    Pb1Pt target;
    cursor = chain;
    EXPECT_EQ(target.applyInstanceData(cursor), Acad::eInvalidInput);
    point->restype = 11;
    last->rbnext = point;
    cursor = chain;
    EXPECT_EQ(target.applyInstanceData(cursor), Acad::eInvalidInput);
    EXPECT_POINT(target.updatedPoint(), 0, 0, 0);
    acutRelRb(chain);
}

TEST_F(PointBasesTest, OnePointFiling) {
    Pb1Pt* p = onePoint(true);
    {
        Filer f;
        ASSERT_EQ(p->dwgOut(&f), Acad::eOk);
        Pb1Pt back;
        f.rewind();
        ASSERT_EQ(back.dwgIn(&f), Acad::eOk);
        EXPECT_POINT(back.definitionPoint(), 2, 3, 0);
        EXPECT_POINT(back.currentPoint(), 2, 3, 0);
        EXPECT_EQ(back.gripId(), p->gripId());
        EXPECT_EQ(onePtImp(&back)->inputs(KxDbImpBlock1PtTag::kInputY),
                  onePtImp(p)->inputs(KxDbImpBlock1PtTag::kInputY));
        // Cut records fail.
        const int name = nameIndex(f, L"One");
        for (int keep = name + 6; keep < f.itemCount(); ++keep) {
            Filer cut;
            pbtest::copyItems(f, cut, keep);
            cut.rewind();
            Pb1Pt c;
            EXPECT_NE(c.dwgIn(&cut), Acad::eOk) << keep;
        }
    }
    {
        DxfFiler f;
        ASSERT_EQ(p->dxfOut(&f), Acad::eOk);
        Pb1Pt back;
        f.rewind();
        ASSERT_EQ(back.dxfIn(&f), Acad::eOk) << f.describe().utf8();
        EXPECT_POINT(back.definitionPoint(), 2, 3, 0);
        EXPECT_POINT(back.currentPoint(), 0, 0, 0);
        EXPECT_EQ(back.gripId(), p->gripId());
        EXPECT_EQ(onePtImp(&back)->inputs(KxDbImpBlock1PtTag::kInputX),
                  onePtImp(p)->inputs(KxDbImpBlock1PtTag::kInputX));

        const ACHAR* marker = L"AcDbBlock1PtParameter";
        const std::vector<resbuf> tail = {pointItem(1010, 1, 1), item(93, 0), item(170, 0),
                                          item(171, 0)};
        for (size_t drop = 0; drop < tail.size(); ++drop) {
            std::vector<resbuf> t = tail;
            t.erase(t.begin() + static_cast<long>(drop));
            DxfFiler g = rebuilt(f, marker, t);
            Pb1Pt b;
            EXPECT_EQ(b.dxfIn(&g), Acad::eMissingDxfField) << drop;
        }
        std::vector<resbuf> zero = {
            pointItem(1010, 1, 1),           item(93, 0), item(170, 1), item(91, 0),
            textItem(301, L"DisplacementX"), item(171, 0)};
        DxfFiler g = rebuilt(f, marker, zero);
        Pb1Pt b;
        EXPECT_EQ(b.dxfIn(&g), Acad::eBadDxfSequence) << "an entry without a node";
    }
}

}  // namespace
