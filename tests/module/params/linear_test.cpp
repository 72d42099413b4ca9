// The linear parameter: points constrained by the value set along the current axis, requests
// past the other end, midpoint mode, setUpdatedDistance, the distance property, the grips it
// creates and accepts, the state flag of idle grips, evaluation, instance data, and its DWG and
// DXF records (round trips, damaged input, older layouts).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/display/labels.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip.h"
#include "module/grips/linear_grip.h"
#include "module/params/linear_tag.h"
#include "module/params/linear_tag_imp.h"
#include "module/params/value_set.h"
#include "param_bases_support.h"
#include "support/graph_test_nodes.h"

namespace {

using Dwg = kxhost::DwgMemoryFiler;
using Dxf = kxhost::DxfMemoryFiler;
using P = AcGePoint3d;
using V = AcGeVector3d;

constexpr double kTol = 1e-9;

#define EXPECT_POINT(actual, expected)     \
    do {                                   \
        const AcGePoint3d a_ = (actual);   \
        const AcGePoint3d e_ = (expected); \
        EXPECT_NEAR(a_.x, e_.x, kTol);     \
        EXPECT_NEAR(a_.y, e_.y, kTol);     \
        EXPECT_NEAR(a_.z, e_.z, kTol);     \
    } while (0)

KxDbBlockLinearTag* makeLinear(const P& base, const P& end) {
    auto* linear = new KxDbBlockLinearTag();
    EXPECT_EQ(linear->setDefinitionBasePoint(base), Acad::eOk);
    EXPECT_EQ(linear->setDefinitionEndPoint(end), Acad::eOk);
    return linear;
}

KxDbBlockTagValueSet listSet(std::initializer_list<double> values) {
    KxDbBlockTagValueSet set;
    EXPECT_EQ(set.setList(AcGeDoubleArray(values)), Acad::eOk);
    return set;
}

KxDbBlockTagValueSet incrementSet(double inc) {
    KxDbBlockTagValueSet set;
    set.setIncrement(inc);
    return set;
}

// Copies the items of a DWG stream into a new one, skipping some and replacing 32-bit integers.
Dwg rewriteDwg(const Dwg& source, const std::vector<int>& skip,
               const std::vector<std::pair<int, Adesk::Int32>>& ints, int keep = -1) {
    Dwg out;
    const auto& items = source.items();
    const int n = keep >= 0 ? keep : static_cast<int>(items.size());
    for (int i = 0; i < n; ++i) {
        if (std::find(skip.begin(), skip.end(), i) != skip.end()) {
            continue;
        }
        const auto& it = items[i];
        using K = Dwg::ItemKind;
        switch (it.kind) {
            case K::kBool:
                out.writeBool(it.bits != 0);
                break;
            case K::kInt16:
                out.writeInt16(static_cast<Adesk::Int16>(it.bits));
                break;
            case K::kInt32: {
                Adesk::Int32 v = static_cast<Adesk::Int32>(it.bits);
                for (const auto& r : ints) {
                    if (r.first == i) {
                        v = r.second;
                    }
                }
                out.writeInt32(v);
                break;
            }
            case K::kUInt32:
                out.writeUInt32(static_cast<Adesk::UInt32>(it.bits));
                break;
            case K::kDouble:
                out.writeDouble(it.v[0]);
                break;
            case K::kString:
                out.writeString(it.text.c_str());
                break;
            case K::kPoint3d:
                out.writePoint3d(P(it.v[0], it.v[1], it.v[2]));
                break;
            case K::kVector3d:
                out.writeVector3d(V(it.v[0], it.v[1], it.v[2]));
                break;
            case K::kHardOwnershipId:
            case K::kSoftOwnershipId:
            case K::kHardPointerId:
            case K::kSoftPointerId: {
                AcDbObjectId id;
                id.setFromOldId(static_cast<Adesk::Int64>(it.bits));
                if (it.kind == K::kHardOwnershipId) {
                    out.writeHardOwnershipId(id);
                } else if (it.kind == K::kSoftOwnershipId) {
                    out.writeSoftOwnershipId(id);
                } else if (it.kind == K::kHardPointerId) {
                    out.writeHardPointerId(id);
                } else {
                    out.writeSoftPointerId(id);
                }
                break;
            }
            default:
                ADD_FAILURE() << "unexpected item kind " << static_cast<int>(it.kind);
        }
    }
    return out;
}

int findItem(const Dwg& f, const std::function<bool(const Dwg::Item&)>& match, int from = 0) {
    for (int i = from; i < f.itemCount(); ++i) {
        if (match(f.items()[i])) {
            return i;
        }
    }
    return -1;
}

// A DXF stream whose items are those of the source passed through `edit` (which may change an
// item or return false to drop it).
Dxf rewriteDxf(const Dxf& source, const std::function<bool(resbuf&)>& edit) {
    resbuf* chain = source.toChain();
    resbuf* kept = nullptr;
    resbuf** tail = &kept;
    for (resbuf* rb = chain; rb != nullptr;) {
        resbuf* next = rb->rbnext;
        rb->rbnext = nullptr;
        if (edit(*rb)) {
            *tail = rb;
            tail = &rb->rbnext;
        } else {
            acutRelRb(rb);
        }
        rb = next;
    }
    Dxf out;
    EXPECT_EQ(out.load(kept), Acad::eOk);
    acutRelRb(kept);
    return out;
}

class LinearTest : public pbtest::ParamBasesTest {
  protected:
    void TearDown() override {
        delete m_graph;
        m_graph = nullptr;
        pbtest::ParamBasesTest::TearDown();
    }

    // An in-memory graph holding the parameter (deleted with the test).
    KxNodeId addToGraph(KxDbTagEvalExpr* node) {
        if (m_graph == nullptr) {
            m_graph = new KxDbTagEvalGraph();
        }
        KxNodeId id = 0;
        EXPECT_EQ(m_graph->addNode(node, id), Acad::eOk);
        return id;
    }

    KxDbTagLinearGrip* gripNode(KxNodeId id) {
        KxDbTagEvalExpr* node = nullptr;
        if (m_graph == nullptr || m_graph->getNode(id, AcDb::kForRead, node) != Acad::eOk) {
            return nullptr;
        }
        return KxDbTagLinearGrip::cast(node);
    }

    KxDbTagEvalGraph* m_graph = nullptr;
};

// --- Own fields
// ------------------------------------------------------------------------------------

TEST_F(LinearTest, DefaultsAndOwnFields) {
    KxDbBlockLinearTag linear;
    EXPECT_EQ(linear.distanceName(), kxdisplay::loadLabel(1128));
    EXPECT_EQ(linear.distanceName(), AcString(L"距离"));
    EXPECT_TRUE(linear.distanceDescription().isEmpty());
    EXPECT_EQ(linear.labelValue(), 0.0);
    EXPECT_EQ(linear.valueSet().flags(), 1);

    EXPECT_EQ(linear.setDistanceName(L"Length"), Acad::eOk);
    EXPECT_EQ(linear.distanceName(), AcString(L"Length"));
    EXPECT_EQ(linear.setDistanceName(nullptr), Acad::eInvalidInput);
    EXPECT_EQ(linear.setDistanceDescription(L"how long"), Acad::eOk);
    EXPECT_EQ(linear.distanceDescription(), AcString(L"how long"));
    EXPECT_EQ(linear.setLabelValue(2.5), Acad::eOk);
    EXPECT_EQ(linear.labelValue(), 2.5);

    AcStringArray labels;
    EXPECT_EQ(linear.getLabelNames(labels), Acad::eOk);
    EXPECT_TRUE(labels.contains(AcString(L"Length")));
}

TEST_F(LinearTest, DistanceNamesAreUniqueInTheBlock) {
    KxDbBlockLinearTag* a = makeLinear(P(0, 0, 0), P(10, 0, 0));
    KxDbBlockLinearTag* b = makeLinear(P(0, 0, 0), P(0, 10, 0));
    addToGraph(a);
    addToGraph(b);
    ASSERT_EQ(a->setDistanceName(L"Width"), Acad::eOk);
    EXPECT_EQ(b->setDistanceName(L"width"), Acad::eDuplicateKey);
    EXPECT_EQ(b->distanceName(), kxdisplay::loadLabel(1128));
    // A parameter may change the case of its own name.
    EXPECT_EQ(a->setDistanceName(L"WIDTH"), Acad::eOk);
    EXPECT_EQ(b->setDistanceName(L"Height"), Acad::eOk);
}

// --- Constrained points
// ---------------------------------------------------------------------------

TEST_F(LinearTest, ListSetSnapsToTheNearerValueAlongTheCurrentAxis) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    ASSERT_EQ(linear->setValueSet(listSet({10.0, 20.0, 40.0})), Acad::eOk);

    // 29 lies nearer 20, 31 nearer 40; the point moves along the axis, not to the request.
    EXPECT_EQ(linear->setUpdatedEndPoint(P(29, 0, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(20, 0, 0));
    EXPECT_EQ(linear->setUpdatedEndPoint(P(31, 2, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(40, 0, 0));
    EXPECT_POINT(linear->updatedBasePoint(), P(0, 0, 0));
    // An allowed distance takes the requested point as it is.
    EXPECT_EQ(linear->setUpdatedEndPoint(P(0, 20, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(0, 20, 0));

    // The axis is the current one: turned to +Y in the reference.
    linear->setCurrentEndPoint(P(0, 10, 0));
    EXPECT_EQ(linear->setUpdatedEndPoint(P(3, 14, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(0, 10, 0));
    // Without a current axis, the definition's.
    linear->setCurrentEndPoint(P(0, 0, 0));
    EXPECT_EQ(linear->setUpdatedEndPoint(P(0, 16, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(20, 0, 0));

    // The base point mirrors it, measured from the updated end.
    KxDbBlockLinearTag* other = makeLinear(P(0, 0, 0), P(10, 0, 0));
    other->setValueSet(listSet({10.0, 20.0, 40.0}));
    EXPECT_EQ(other->setUpdatedBasePoint(P(-7, 1, 0)), Acad::eOk);
    EXPECT_POINT(other->updatedBasePoint(), P(-10, 0, 0));
    EXPECT_POINT(other->updatedEndPoint(), P(10, 0, 0));
    delete linear;
    delete other;
}

TEST_F(LinearTest, IncrementSetSnapsWithinItsBoundsAnchoredAtTheDefinitionDistance) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(5, 0, 0));
    ASSERT_EQ(linear->setValueSet(incrementSet(10.0)), Acad::eOk);
    linear->setUpdatedEndPoint(P(17, 0, 0));
    EXPECT_POINT(linear->updatedEndPoint(), P(15, 0, 0));
    linear->setUpdatedEndPoint(P(20, 0, 0));
    EXPECT_POINT(linear->updatedEndPoint(), P(15, 0, 0));
    linear->setUpdatedEndPoint(P(35, 0, 0));
    EXPECT_POINT(linear->updatedEndPoint(), P(35, 0, 0));

    KxDbBlockTagValueSet bounded = incrementSet(10.0);
    bounded.setMinimum(20.0);
    linear->setValueSet(bounded);
    linear->setUpdatedEndPoint(P(17, 0, 0));
    EXPECT_POINT(linear->updatedEndPoint(), P(25, 0, 0));
    delete linear;
}

TEST_F(LinearTest, RequestsPastTheOtherEndChangeNothing) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    EXPECT_EQ(linear->setUpdatedEndPoint(P(-3, 0, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(10, 0, 0));
    EXPECT_POINT(linear->updatedBasePoint(), P(0, 0, 0));
    EXPECT_EQ(linear->setUpdatedBasePoint(P(12, 0, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedBasePoint(), P(0, 0, 0));

    // A distance of exactly 0, and one a hair below, are taken.
    EXPECT_EQ(linear->setUpdatedEndPoint(P(0, 0, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(0, 0, 0));
    linear->setUpdatedEndPoint(P(10, 0, 0));
    linear->setUpdatedEndPoint(P(-1e-11, 0, 0));
    EXPECT_POINT(linear->updatedEndPoint(), P(0, 0, 0));
    delete linear;
}

TEST_F(LinearTest, MidpointModeMovesBothPointsSymmetrically) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    ASSERT_EQ(linear->setBaseLocation(1), Acad::eOk);
    EXPECT_EQ(linear->setUpdatedEndPoint(P(12, 0, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedBasePoint(), P(-2, 0, 0));
    EXPECT_POINT(linear->updatedEndPoint(), P(12, 0, 0));

    // Dragged inside the first half: the length would be negative; nothing changes.
    EXPECT_EQ(linear->setUpdatedEndPoint(P(4, 0, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedBasePoint(), P(-2, 0, 0));
    EXPECT_POINT(linear->updatedEndPoint(), P(12, 0, 0));
    // To the midpoint: length 0 is allowed.
    EXPECT_EQ(linear->setUpdatedEndPoint(P(12 - 7, 0, 0)), Acad::eOk);
    EXPECT_POINT(linear->updatedBasePoint(), P(5, 0, 0));
    EXPECT_POINT(linear->updatedEndPoint(), P(5, 0, 0));

    // The base dragged outwards.
    KxDbBlockLinearTag* b = makeLinear(P(0, 0, 0), P(10, 0, 0));
    b->setBaseLocation(1);
    EXPECT_EQ(b->setUpdatedBasePoint(P(-1, 0, 0)), Acad::eOk);
    EXPECT_POINT(b->updatedBasePoint(), P(-1, 0, 0));
    EXPECT_POINT(b->updatedEndPoint(), P(11, 0, 0));

    // The symmetric length is subject to the value set.
    KxDbBlockLinearTag* c = makeLinear(P(0, 0, 0), P(10, 0, 0));
    c->setBaseLocation(1);
    c->setValueSet(listSet({14.0}));
    c->setUpdatedEndPoint(P(11.5, 0, 0));
    EXPECT_POINT(c->updatedBasePoint(), P(-2, 0, 0));
    EXPECT_POINT(c->updatedEndPoint(), P(12, 0, 0));
    delete linear;
    delete b;
    delete c;
}

TEST_F(LinearTest, SetUpdatedDistance) {
    // Along the updated direction, through the value set.
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(0, 10, 0));
    EXPECT_EQ(linear->setUpdatedDistance(25.0), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(0, 25, 0));
    linear->setValueSet(listSet({10.0, 20.0, 40.0}));
    linear->setUpdatedDistance(33.0);
    EXPECT_POINT(linear->updatedEndPoint(), P(0, 40, 0));
    // Negative distances are refused like a drag past the base.
    EXPECT_EQ(linear->setUpdatedDistance(-5.0), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(0, 40, 0));
    // Coincident updated points: the definition's direction.
    linear->setValueSet(KxDbBlockTagValueSet());
    linear->setUpdatedEndPoint(P(0, 0, 0));
    linear->setUpdatedDistance(7.0);
    EXPECT_POINT(linear->updatedEndPoint(), P(0, 7, 0));

    // No direction at all: the X axis.
    KxDbBlockLinearTag* flat = makeLinear(P(1, 1, 0), P(5, 1, 0));
    ASSERT_EQ(flat->setDefinitionEndPoint(P(1, 1, 0), false), Acad::eOk);
    flat->setUpdatedDistance(3.0);
    EXPECT_POINT(flat->updatedEndPoint(), P(4, 1, 0));

    // Midpoint mode re-centres, and ignores negative lengths.
    KxDbBlockLinearTag* mid = makeLinear(P(0, 0, 0), P(10, 0, 0));
    mid->setBaseLocation(1);
    EXPECT_EQ(mid->setUpdatedDistance(20.0), Acad::eOk);
    EXPECT_POINT(mid->updatedBasePoint(), P(-5, 0, 0));
    EXPECT_POINT(mid->updatedEndPoint(), P(15, 0, 0));
    EXPECT_EQ(mid->setUpdatedDistance(-4.0), Acad::eOk);
    EXPECT_POINT(mid->updatedBasePoint(), P(-5, 0, 0));
    EXPECT_POINT(mid->updatedEndPoint(), P(15, 0, 0));
    mid->setValueSet(listSet({30.0}));
    mid->setUpdatedDistance(26.0);
    EXPECT_POINT(mid->updatedBasePoint(), P(-10, 0, 0));
    EXPECT_POINT(mid->updatedEndPoint(), P(20, 0, 0));
    delete linear;
    delete flat;
    delete mid;
}

// --- The distance property
// --------------------------------------------------------------------------

TEST_F(LinearTest, DistancePropertyDescription) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    linear->setDistanceDescription(L"span");
    KxDbBlockPropertyDescArray descs;
    ASSERT_EQ(linear->getPropertyDescriptions(descs), Acad::eOk);
    ASSERT_EQ(descs.length(), 2);
    EXPECT_EQ(descs[0].name, kxdisplay::loadLabel(1128));
    EXPECT_EQ(descs[0].connectionName, AcString(L"UpdatedDistance"));
    EXPECT_EQ(descs[0].valueType, 40);
    EXPECT_EQ(descs[0].visible, 1);
    EXPECT_EQ(descs[0].description, AcString(L"span"));
    EXPECT_EQ(descs[0].listFlag, 0);
    EXPECT_TRUE(descs[0].allowedValues.isEmpty());
    EXPECT_EQ(descs[0].unitKind, 2);
    EXPECT_EQ(descs[1].name, AcString(L"Origin"));

    // A list offers its values with the definition distance, sorted.
    linear->setValueSet(listSet({40.0, 20.0}));
    linear->setShowProperties(false);
    descs.setLogicalLength(0);
    linear->getPropertyDescriptions(descs);
    EXPECT_EQ(descs[0].listFlag, 1);
    EXPECT_EQ(descs[0].visible, 0);
    ASSERT_EQ(descs[0].allowedValues.length(), 3);
    const double expected[] = {10.0, 20.0, 40.0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(descs[0].allowedValues[i].type(), 40);
        EXPECT_EQ(descs[0].allowedValues[i].resval.rreal, expected[i]);
    }
    delete linear;
}

TEST_F(LinearTest, DistancePropertyIsReadOnlyWithoutAnAction) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    const KxNodeId id = addToGraph(linear);
    linear->clearElementStateFlag();
    KxDbBlockPropertyDescArray descs;
    linear->getPropertyDescriptions(descs);
    EXPECT_EQ(descs[0].readOnly, 1);

    PbAction* action = pbtest::makeAction(L"Move", KxDbParamActionLink::kMoveLike, id);
    const KxNodeId actionId = addToGraph(action);
    ASSERT_NE(actionId, 0u);
    ASSERT_EQ(action->connectTo(L"Reads", id, L"Distance"), Acad::eOk);
    linear->clearElementStateFlag();
    descs.setLogicalLength(0);
    linear->getPropertyDescriptions(descs);
    EXPECT_EQ(descs[0].readOnly, 0);
}

TEST_F(LinearTest, DistancePropertyValues) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    const AcString name = linear->distanceName();
    KxDbTagEvalVariant v;
    ASSERT_EQ(linear->getPropertyValue(name, v), Acad::eOk);
    EXPECT_EQ(v.type(), 40);
    EXPECT_DOUBLE_EQ(v.resval.rreal, 10.0);
    AcGeMatrix3d twice;
    twice.setToScaling(2.0);
    ASSERT_EQ(linear->getPropertyValueTransformed(name, twice, v), Acad::eOk);
    EXPECT_DOUBLE_EQ(v.resval.rreal, 20.0);

    // Only reals are taken.
    EXPECT_EQ(linear->setPropertyValue(name, KxDbTagEvalVariant(Adesk::Int32(20))),
              Acad::eInvalidInput);
    EXPECT_POINT(linear->updatedEndPoint(), P(10, 0, 0));
    EXPECT_EQ(
        linear->setPropertyValueTransformed(name, twice, KxDbTagEvalVariant(Adesk::Int32(20))),
        Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(10, 0, 0));

    EXPECT_EQ(linear->setPropertyValue(name, KxDbTagEvalVariant(16.0)), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(16, 0, 0));
    // The value the reference shows is scaled back into the definition.
    EXPECT_EQ(linear->setPropertyValueTransformed(name, twice, KxDbTagEvalVariant(30.0)),
              Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(15, 0, 0));
    AcGeMatrix3d flat;
    flat.setToScaling(0.0);
    EXPECT_EQ(linear->setPropertyValueTransformed(name, flat, KxDbTagEvalVariant(30.0)), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(15, 0, 0));

    // The name compares with case; other names go to "Origin" and beyond.
    linear->setDistanceName(L"Length");
    EXPECT_EQ(linear->getPropertyValue(L"length", v), Acad::eKeyNotFound);
    EXPECT_EQ(linear->getPropertyValue(L"Length", v), Acad::eOk);
    EXPECT_EQ(linear->getPropertyValue(L"Origin", v), Acad::eOk);
    EXPECT_EQ(v.type(), 11);
    delete linear;
}

TEST_F(LinearTest, RatiosAreZeroForAZeroDivisor) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    linear->setCurrentEndPoint(P(0, 0, 0));
    linear->setUpdatedEndPoint(P(10, 5, 0));
    for (const ACHAR* name : {L"Scale", L"XScale", L"YScale"}) {
        KxDbTagEvalVariant v;
        ASSERT_EQ(linear->getConnectionValue(name, v), Acad::eOk) << name;
        EXPECT_EQ(v.resval.rreal, 0.0) << name;
    }
    linear->setCurrentEndPoint(P(5, 0, 0));
    KxDbTagEvalVariant v;
    ASSERT_EQ(linear->getConnectionValue(L"XScale", v), Acad::eOk);
    EXPECT_DOUBLE_EQ(v.resval.rreal, 2.0);
    ASSERT_EQ(linear->getConnectionValue(L"DistanceDelta", v), Acad::eOk);
    EXPECT_DOUBLE_EQ(v.resval.rreal, std::hypot(10.0, 5.0) - 5.0);
    delete linear;
}

// --- Grips
// -----------------------------------------------------------------------------------------

TEST_F(LinearTest, GripCountsOfALinearParameter) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    // Four grips (and three) are for other two-point parameters.
    EXPECT_EQ(linear->setGripCount(4), Acad::eInvalidInput);
    EXPECT_EQ(linear->setGripCount(3), Acad::eInvalidInput);
    KxNodeId gripId = 0;
    EXPECT_EQ(linear->addGrip(0, gripId, nullptr), KxStatus::kNotInGraph);

    addToGraph(linear);
    EXPECT_EQ(linear->setGripCount(4), Acad::eInvalidInput);
    int count = -1;
    linear->getGripCount(count);
    EXPECT_EQ(count, 0);

    ASSERT_EQ(linear->setGripCount(2), Acad::eOk);
    linear->getGripCount(count);
    EXPECT_EQ(count, 2);
    KxDbTagLinearGrip* base = gripNode(linear->gripId(0));
    KxDbTagLinearGrip* end = gripNode(linear->gripId(1));
    ASSERT_NE(base, nullptr);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(base->getName(), kxdisplay::loadLabel(1130));
    EXPECT_EQ(end->getName(), kxdisplay::loadLabel(1131));
    EXPECT_POINT(base->location(), P(0, 0, 0));
    EXPECT_POINT(end->location(), P(10, 0, 0));
    // Each grip points away from the other end.
    EXPECT_TRUE(base->orientation().isEqualTo(V(-10, 0, 0)));
    EXPECT_TRUE(end->orientation().isEqualTo(V(10, 0, 0)));
    // Wired both ways: the grip reads the parameter, the parameter reads the grip.
    KxNodeIdArray sources;
    linear->getConnectedNodes(L"UpdatedEndX", sources);
    ASSERT_EQ(sources.length(), 1);
    EXPECT_EQ(sources[0], linear->gripId(1));

    EXPECT_EQ(linear->addGrip(1, gripId, nullptr), KxStatus::kNodeExists);
    EXPECT_EQ(linear->addGrip(2, gripId, nullptr), Acad::eInvalidInput);
    EXPECT_EQ(linear->removeGrip(2), Acad::eInvalidInput);
    EXPECT_EQ(linear->removeGrip(3), Acad::eInvalidInput);

    ASSERT_EQ(linear->setGripCount(1), Acad::eOk);
    EXPECT_EQ(linear->gripId(0), 0u);
    EXPECT_NE(linear->gripId(1), 0u);
    ASSERT_EQ(linear->setGripCount(0), Acad::eOk);
    linear->getGripCount(count);
    EXPECT_EQ(count, 0);
}

TEST_F(LinearTest, GripsOfAResidentParameterKeepTheOpenProtocol) {
    kxtest::DatabaseGraph db;
    KxNodeId id = 0;
    {
        KxDbTagEvalGraph* graph = db.open(AcDb::kForWrite);
        ASSERT_NE(graph, nullptr);
        KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
        ASSERT_EQ(graph->addNode(linear, id), Acad::eOk);
        linear->close();
        graph->close();
    }
    const KxNodeId otherId = db.add(L"other");
    ASSERT_NE(otherId, 0u);

    pbtest::StrictOpens strict;
    KxDbBlockLinearTag* linear = nullptr;
    ASSERT_EQ(acdbOpenObject(linear, db.objectOf(id), AcDb::kForWrite), Acad::eOk);
    KxNodeId base = 0;
    KxNodeId end = 0;
    EXPECT_EQ(linear->addGrip(0, base, nullptr), Acad::eOk);
    EXPECT_EQ(linear->addGrip(1, end, nullptr), Acad::eOk);
    EXPECT_EQ(linear->gripId(0), base);
    EXPECT_EQ(linear->gripId(1), end);
    EXPECT_EQ(linear->connectTo(L"UpdatedEndY", otherId, L"X"), Acad::eInvalidInput);
    EXPECT_EQ(linear->setDistanceName(L"Span"), Acad::eOk);
    linear->clearElementStateFlag();
    EXPECT_EQ(linear->elementStateFlag() & 0x20, 0x20);
    EXPECT_EQ(linear->close(), Acad::eOk);
    EXPECT_EQ(kxhost::assertionViolations(), 0);

    KxDbTagLinearGrip* grip = nullptr;
    ASSERT_EQ(acdbOpenObject(grip, db.objectOf(end), AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(grip->orientation().isEqualTo(V(10, 0, 0)));
    EXPECT_EQ(grip->getName(), kxdisplay::loadLabel(1131));
    grip->close();
}

TEST_F(LinearTest, StrictDefinitionChangesTurnTheGrips) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    addToGraph(linear);
    ASSERT_EQ(linear->setGripCount(2), Acad::eOk);
    linear->setDefinitionEndPoint(P(0, 10, 0));
    EXPECT_TRUE(gripNode(linear->gripId(1))->orientation().isEqualTo(V(0, 10, 0)));
    EXPECT_TRUE(gripNode(linear->gripId(0))->orientation().isEqualTo(V(0, -10, 0)));
    // The non-strict form (used while the definition is transformed) leaves them.
    linear->setDefinitionEndPoint(P(0, 20, 0), false);
    EXPECT_TRUE(gripNode(linear->gripId(1))->orientation().isEqualTo(V(0, 10, 0)));
    // A refused point changes nothing.
    EXPECT_EQ(linear->setDefinitionBasePoint(P(0, 20, 0)), KxParamStatus::kPointsCoincide);
}

TEST_F(LinearTest, InputsComeFromLinearGripsOnly) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    addToGraph(linear);
    auto* plain = new KxDbTagGrip();
    const KxNodeId plainId = addToGraph(plain);
    KxDbBlockLinearTag* other = makeLinear(P(0, 0, 0), P(5, 0, 0));
    const KxNodeId otherId = addToGraph(other);

    EXPECT_EQ(linear->connectTo(L"UpdatedEndX", 0, L"DisplacementX"), KxStatus::kNotInGraph);
    EXPECT_EQ(linear->connectTo(L"UpdatedEndX", plainId, L"DisplacementX"), Acad::eInvalidInput);
    EXPECT_FALSE(linear->canConnectTo(L"UpdatedEndX", plainId, L"DisplacementX"));
    EXPECT_EQ(linear->connectTo(L"UpdatedEndX", otherId, L"UpdatedEndX"), Acad::eInvalidInput);
    EXPECT_EQ(linear->disconnectFrom(L"UpdatedEndX", plainId, L"DisplacementX"),
              Acad::eInvalidInput);
    EXPECT_EQ(linear->disconnectFrom(L"UpdatedEndX", 0, L"DisplacementX"), KxStatus::kNotInGraph);

    ASSERT_EQ(linear->setGripCount(1), Acad::eOk);
    const KxNodeId gripId = linear->gripId(1);
    EXPECT_EQ(linear->connectTo(L"UpdatedEndX", gripId, L"DisplacementX"),
              Acad::eIllegalReplacement);
    EXPECT_TRUE(linear->canConnectTo(L"UpdatedBaseX", gripId, L"DisplacementX"));
    EXPECT_EQ(linear->disconnectFrom(L"UpdatedEndX", gripId, L"DisplacementX"), Acad::eOk);
    EXPECT_TRUE(linear->canConnectTo(L"UpdatedEndX", gripId, L"DisplacementX"));
}

TEST_F(LinearTest, IdleGripsSetStateBitFive) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    const KxNodeId id = addToGraph(linear);
    linear->clearElementStateFlag();
    EXPECT_EQ(linear->elementStateFlag() & 0x20, 0);

    ASSERT_EQ(linear->setGripCount(2), Acad::eOk);
    linear->clearElementStateFlag();
    EXPECT_EQ(linear->elementStateFlag() & 0x20, 0x20);
    EXPECT_EQ(linear->elementStateFlag() & 0x1, 0x1);

    // A scale action uses every grip.
    PbAction* action = pbtest::makeAction(L"Scale", KxDbParamActionLink::kScale, id);
    addToGraph(action);
    ASSERT_EQ(action->connectTo(L"Reads", id, L"Distance"), Acad::eOk);
    linear->clearElementStateFlag();
    EXPECT_EQ(linear->elementStateFlag() & 0x20, 0);
    EXPECT_EQ(linear->elementStateFlag() & 0x1, 0);
}

// --- Evaluation
// --------------------------------------------------------------------------------------

TEST_F(LinearTest, EvaluationSnapsDragsAndSkipsStoredState) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    const KxNodeId id = addToGraph(linear);
    linear->setValueSet(listSet({20.0, 40.0}));
    ASSERT_EQ(linear->setGripCount(1), Acad::eOk);
    const KxNodeId gripId = linear->gripId(1);
    KxDbTagLinearGrip* grip = gripNode(gripId);
    ASSERT_NE(grip, nullptr);

    // Applying stored data: nothing is read from the grips.
    KxDbTagEvalContext load;
    kxSetEvalMode(&load, kEvalModeLoad);
    ASSERT_EQ(grip->setUpdatedLocation(P(17, 0, 0)), Acad::eOk);
    EXPECT_EQ(linear->evaluate(&load), Acad::eOk);
    EXPECT_POINT(linear->updatedEndPoint(), P(10, 0, 0));

    // A drag of 7 to the right: 17 snaps to 20 along the axis.
    KxDbTagEvalContext drag;
    kxSetEvalMode(&drag, kEvalModeInteractive);
    KxNodeIdArray ids;
    ids.append(gripId);
    EXPECT_EQ(m_graph->evaluate(&drag, ids), Acad::eOk);
    EXPECT_POINT(linear->currentEndPoint(), P(20, 0, 0));

    // Dragged past the base: nothing moves.
    grip = gripNode(gripId);
    ASSERT_EQ(grip->setUpdatedLocation(grip->gripPosition() + V(-25, 0, 0)), Acad::eOk);
    EXPECT_EQ(m_graph->evaluate(&drag, ids), Acad::eOk);
    EXPECT_POINT(linear->currentEndPoint(), P(20, 0, 0));
    EXPECT_EQ(linear->getNodeId(), id);
}

// --- Instance data
// -----------------------------------------------------------------------------------

TEST_F(LinearTest, InstanceDataChainsAreCheckedBeforeUse) {
    KxDbBlockLinearTag* linear = makeLinear(P(0, 0, 0), P(10, 0, 0));
    linear->setCurrentEndPoint(P(14, 0, 0));
    resbuf* chain = nullptr;
    ASSERT_EQ(linear->getInstanceData(chain), Acad::eOk);
    int length = 0;
    for (resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
        ++length;
    }
    ASSERT_EQ(length, 7);  // header, base, end, normal

    KxDbBlockLinearTag* copy = makeLinear(P(0, 0, 0), P(10, 0, 0));
    const resbuf* cursor = chain;
    ASSERT_EQ(copy->setInstanceData(cursor, 1), Acad::eOk);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_POINT(copy->updatedEndPoint(), P(14, 0, 0));

    // Every shorter chain is refused without reading past its end.
    for (int cut = 5; cut < length; ++cut) {
        resbuf* last = chain;
        for (int i = 1; i < cut; ++i) {
            last = last->rbnext;
        }
        resbuf* rest = last->rbnext;
        last->rbnext = nullptr;
        KxDbBlockLinearTag* target = makeLinear(P(0, 0, 0), P(10, 0, 0));
        cursor = chain;
        EXPECT_EQ(target->setInstanceData(cursor, 1), Acad::eInvalidInput) << cut;
        EXPECT_POINT(target->updatedEndPoint(), P(10, 0, 0));
        last->rbnext = rest;
        delete target;
    }

    // Data written before the header existed has no normal, and still applies.
    const resbuf* points = chain->rbnext->rbnext->rbnext->rbnext;
    resbuf* headerless = acutNewRb(10);
    headerless->resval.rpoint[0] = 3.0;
    headerless->rbnext = acutNewRb(10);
    headerless->rbnext->resval.rpoint[0] = 8.0;
    cursor = headerless;
    KxDbBlockLinearTag* old = makeLinear(P(0, 0, 0), P(10, 0, 0));
    EXPECT_EQ(old->setInstanceData(cursor, 1), Acad::eOk);
    EXPECT_POINT(old->updatedBasePoint(), P(3, 0, 0));
    EXPECT_POINT(old->updatedEndPoint(), P(8, 0, 0));
    EXPECT_NE(points, nullptr);
    acutRelRb(headerless);
    acutRelRb(chain);
    delete linear;
    delete copy;
    delete old;
}

// --- Filing
// ------------------------------------------------------------------------------------------

KxDbBlockLinearTag* fullLinear() {
    KxDbBlockLinearTag* linear = makeLinear(P(1, 2, 0), P(11, 2, 0));
    linear->setName(L"Linear1");
    linear->setDistanceName(L"Length");
    linear->setDistanceDescription(L"how long");
    linear->setLabelValue(2.5);
    linear->setValueSet(listSet({30.0, 20.0}));
    linear->setBaseLocation(1);
    linear->setShowProperties(false);
    EXPECT_EQ(linear->setChainActions(true), Acad::eOk);
    return linear;
}

void expectSameLinear(const KxDbBlockLinearTag* a, const KxDbBlockLinearTag* b) {
    EXPECT_EQ(a->getName(), b->getName());
    EXPECT_EQ(a->distanceName(), b->distanceName());
    EXPECT_EQ(a->distanceDescription(), b->distanceDescription());
    EXPECT_EQ(a->labelValue(), b->labelValue());
    EXPECT_EQ(a->baseLocation(), b->baseLocation());
    EXPECT_EQ(a->showProperties(), b->showProperties());
    EXPECT_EQ(a->chainActions(), b->chainActions());
    EXPECT_POINT(a->definitionBasePoint(), b->definitionBasePoint());
    EXPECT_POINT(a->definitionEndPoint(), b->definitionEndPoint());
    const KxDbBlockTagValueSet sa = a->valueSet();
    const KxDbBlockTagValueSet sb = b->valueSet();
    EXPECT_EQ(sa.flags(), sb.flags());
    EXPECT_EQ(sa.minimum(), sb.minimum());
    EXPECT_EQ(sa.maximum(), sb.maximum());
    EXPECT_EQ(sa.increment(), sb.increment());
    ASSERT_EQ(sa.list().length(), sb.list().length());
    for (int i = 0; i < sa.list().length(); ++i) {
        EXPECT_EQ(sa.list()[i], sb.list()[i]);
    }
}

TEST_F(LinearTest, DwgRoundTripKeepsEveryField) {
    KxDbBlockLinearTag* linear = fullLinear();
    Dwg f;
    ASSERT_EQ(linear->dwgOutFields(&f), Acad::eOk) << f.describe().kwszPtr();
    KxDbBlockLinearTag back;
    f.rewind();
    ASSERT_EQ(back.dwgInFields(&f), Acad::eOk) << f.describe().kwszPtr();
    expectSameLinear(&back, linear);
    EXPECT_EQ(f.tell(), f.itemCount());

    // Copies (graph copies, clones) go through the same record.
    AcRxObject* copy = linear->clone();
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(KxDbBlockLinearTag::cast(copy), nullptr);
    expectSameLinear(KxDbBlockLinearTag::cast(copy), linear);
    delete copy;

    // The range written holds the definition distance; the parameter keeps its own.
    KxDbBlockTagValueSet range;
    range.setMinimum(12.0);
    range.setMaximum(30.0);
    linear->setValueSet(range);
    Dwg g;
    linear->dwgOutFields(&g);
    EXPECT_EQ(linear->valueSet().minimum(), 12.0);
    KxDbBlockLinearTag back2;
    g.rewind();
    ASSERT_EQ(back2.dwgInFields(&g), Acad::eOk);
    EXPECT_EQ(back2.valueSet().minimum(), 10.0);
    EXPECT_EQ(back2.valueSet().maximum(), 30.0);
    delete linear;
}

TEST_F(LinearTest, TruncatedDwgRecordsFail) {
    KxDbBlockLinearTag* linear = fullLinear();
    Dwg f;
    ASSERT_EQ(linear->dwgOutFields(&f), Acad::eOk);
    for (int keep = 0; keep < f.itemCount(); ++keep) {
        Dwg cut = rewriteDwg(f, {}, {}, keep);
        KxDbBlockLinearTag back;
        EXPECT_NE(back.dwgInFields(&cut), Acad::eOk) << keep;
    }
    delete linear;
}

TEST_F(LinearTest, OldDwgRecordsReadWithDefaults) {
    KxDbBlockLinearTag* linear = fullLinear();
    Dwg f;
    ASSERT_EQ(linear->dwgOutFields(&f), Acad::eOk);
    // The element's recorded version says 25 maintenance 60: no chain-actions flag, no base
    // location in the record.
    const int name = findItem(f, [](const Dwg::Item& it) {
        return it.kind == Dwg::ItemKind::kString && it.text == L"Linear1";
    });
    ASSERT_GE(name, 0);
    const int show = findItem(
        f, [](const Dwg::Item& it) { return it.kind == Dwg::ItemKind::kBool; }, name);
    const int location = findItem(
        f, [](const Dwg::Item& it) { return it.kind == Dwg::ItemKind::kInt16; }, name);
    ASSERT_GT(show, name);
    ASSERT_GT(location, show);
    Dwg old = rewriteDwg(f, {show + 1, location}, {{name + 1, 25}, {name + 2, 60}});
    KxDbBlockLinearTag back;
    ASSERT_EQ(back.dwgInFields(&old), Acad::eOk) << old.describe().kwszPtr();
    EXPECT_FALSE(back.chainActions());
    EXPECT_EQ(back.baseLocation(), 0);
    EXPECT_FALSE(back.showProperties());
    EXPECT_EQ(back.distanceName(), AcString(L"Length"));
    EXPECT_EQ(back.valueSet().list().length(), 2);
    delete linear;
}

TEST_F(LinearTest, DxfRoundTripKeepsEveryField) {
    KxDbBlockLinearTag* linear = fullLinear();
    Dxf f;
    ASSERT_EQ(linear->dxfOutFields(&f), Acad::eOk) << f.describe().kwszPtr();
    // The parameter's own groups.
    const int marker = [&] {
        for (int i = 0; i < f.itemCount(); ++i) {
            if (f.items()[i].code == 100 && f.items()[i].text == L"AcDbBlockLinearParameter") {
                return i;
            }
        }
        return -1;
    }();
    ASSERT_GE(marker, 0);
    const int codes[] = {305, 306, 140, 307, 96, 141, 142, 143, 175, 144, 144};
    ASSERT_EQ(f.itemCount(), marker + 1 + 11);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(f.items()[marker + 1 + i].code, codes[i]) << i;
    }
    EXPECT_EQ(f.items()[marker + 4].text, L"");

    KxDbBlockLinearTag back;
    f.rewind();
    ASSERT_EQ(back.dxfInFields(&f), Acad::eOk) << f.describe().kwszPtr();
    expectSameLinear(&back, linear);

    // The parameter's groups in another order.
    Dxf swapped = rewriteDxf(f, [](resbuf& rb) {
        if (rb.restype == 305) {
            rb.restype = 306;
            return true;
        }
        if (rb.restype == 306) {
            rb.restype = 305;
        }
        return true;
    });
    KxDbBlockLinearTag back2;
    ASSERT_EQ(back2.dxfInFields(&swapped), Acad::eOk);
    EXPECT_EQ(back2.distanceName(), AcString(L"how long"));
    EXPECT_EQ(back2.distanceDescription(), AcString(L"Length"));
    delete linear;
}

TEST_F(LinearTest, DamagedDxfRecordsAreRefused) {
    KxDbBlockLinearTag* linear = fullLinear();
    Dxf f;
    ASSERT_EQ(linear->dxfOutFields(&f), Acad::eOk);
    for (int code : {305, 306, 140, 307}) {
        Dxf without = rewriteDxf(f, [code](resbuf& rb) { return rb.restype != code; });
        KxDbBlockLinearTag back;
        EXPECT_EQ(back.dxfInFields(&without), Acad::eMissingDxfField) << code;
    }
    // The value set's own failures come back.
    Dxf noFlags = rewriteDxf(f, [](resbuf& rb) { return rb.restype != 96; });
    KxDbBlockLinearTag back;
    EXPECT_EQ(back.dxfInFields(&noFlags), Acad::eMissingDxfField);
    Dxf shortList = rewriteDxf(f, [](resbuf& rb) {
        if (rb.restype == 175) {
            rb.resval.rint = 3;
        }
        return true;
    });
    KxDbBlockLinearTag back2;
    EXPECT_EQ(back2.dxfInFields(&shortList), Acad::eBadDxfSequence);
    // Another subclass where the parameter's should be.
    Dxf wrong = rewriteDxf(f, [](resbuf& rb) {
        if (rb.restype == 100 && std::wstring(rb.resval.rstring) == L"AcDbBlockLinearParameter") {
            acutDelBuffer(rb.resval.rstring);
            rb.resval.rstring = acutNewString(L"AcDbBlockXYParameter");
        }
        return true;
    });
    KxDbBlockLinearTag back3;
    EXPECT_NE(back3.dxfInFields(&wrong), Acad::eOk);
    delete linear;
}

TEST_F(LinearTest, OldDxfRecordsReadWithDefaults) {
    KxDbBlockLinearTag* linear = fullLinear();
    Dxf f;
    ASSERT_EQ(linear->dxfOutFields(&f), Acad::eOk);
    // Recorded as 25 maintenance 60: the chain-actions flag and the base location are absent.
    bool inElement = false;
    Dxf old = rewriteDxf(f, [&inElement](resbuf& rb) {
        if (rb.restype == 100) {
            inElement = std::wstring(rb.resval.rstring) == L"AcDbBlockElement";
        }
        if (inElement && rb.restype == 98) {
            rb.resval.rlong = 25;
        }
        if (inElement && rb.restype == 99) {
            rb.resval.rlong = 60;
        }
        return rb.restype != 281 && rb.restype != 177;
    });
    KxDbBlockLinearTag back;
    ASSERT_EQ(back.dxfInFields(&old), Acad::eOk) << old.describe().kwszPtr();
    EXPECT_FALSE(back.chainActions());
    EXPECT_EQ(back.baseLocation(), 0);
    EXPECT_EQ(back.distanceName(), AcString(L"Length"));
    EXPECT_EQ(back.labelValue(), 2.5);
    delete linear;
}

}  // namespace
