#include "module/params/block_2pt_tag.h"

#include <cmath>

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/ed/sysvars.h"
#include "module/frame/opened.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip.h"
#include "module/params/block_2pt_tag_imp.h"
#include "module/params/param_action_link.h"
#include "module/params/param_grips.h"
#include "module/params/param_inputs.h"

KX_DEFINE_PAIR(KxDbBlock2PtTag, KxDbBlockTag, KxDbImpBlock2PtTag)

namespace {

KxDbImpBlock2PtTag* impOf(const KxDbBlock2PtTag* tag) {
    return kxImpOf<KxDbImpBlock2PtTag>(tag);
}

const ACHAR* const kTwoPointMarker = L"AcDbBlock2PtParameter";
const ACHAR* const kOrigin = L"Origin";
// The base location is filed from this maintenance release of version 25 on.
constexpr Adesk::Int32 kBaseLocationMaint = 64;
// Instance data carries the normal from this maintenance release of version 25 on.
constexpr Adesk::Int32 kNormalMaint = 70;
constexpr double kTiny = 1e-10;
constexpr double kTwoPi = 6.283185307179586476925286766559;

// The connections, in the order they are listed.
enum Connection {
    kcBase,
    kcEnd,
    kcUpdatedBase,
    kcUpdatedEnd,
    kcBaseX,
    kcBaseY,
    kcEndX,
    kcEndY,
    kcDistance,
    kcAngle,
    kcUpdatedBaseX,
    kcUpdatedBaseY,
    kcUpdatedEndX,
    kcUpdatedEndY,
    kcUpdatedDistance,
    kcUpdatedAngle,
    kcBaseXDelta,
    kcBaseYDelta,
    kcEndXDelta,
    kcEndYDelta,
    kcAngleDelta,
    kcDistanceDelta,
    kcScale,
    kcXScale,
    kcYScale,
    kcUpdatedDistanceX,
    kcUpdatedDistanceY,
    kcNormal,
    kcOriginConnection,
    kConnectionCount
};

const ACHAR* const kConnectionNames[kConnectionCount] = {L"Base",
                                                         L"End",
                                                         L"UpdatedBase",
                                                         L"UpdatedEnd",
                                                         L"BaseX",
                                                         L"BaseY",
                                                         L"EndX",
                                                         L"EndY",
                                                         L"Distance",
                                                         L"Angle",
                                                         L"UpdatedBaseX",
                                                         L"UpdatedBaseY",
                                                         L"UpdatedEndX",
                                                         L"UpdatedEndY",
                                                         L"UpdatedDistance",
                                                         L"UpdatedAngle",
                                                         L"BaseXDelta",
                                                         L"BaseYDelta",
                                                         L"EndXDelta",
                                                         L"EndYDelta",
                                                         L"AngleDelta",
                                                         L"DistanceDelta",
                                                         L"Scale",
                                                         L"XScale",
                                                         L"YScale",
                                                         L"UpdatedDistanceX",
                                                         L"UpdatedDistanceY",
                                                         L"Normal",
                                                         L"Origin"};

bool isPointConnection(int index) {
    return index == kcBase || index == kcEnd || index == kcUpdatedBase || index == kcUpdatedEnd ||
           index == kcNormal || index == kcOriginConnection;
}

int connectionIndex(const ACHAR* name) {
    if (name == nullptr) {
        return -1;
    }
    // Asked for every connection at every step: the names are compared in place, and only
    // those starting with the same letter are compared whole.
    const ACHAR first = acFoldCase(name[0]);
    for (int i = 0; i < kConnectionCount; ++i) {
        if (acFoldCase(kConnectionNames[i][0]) == first &&
            acCompareNoCase(name, kConnectionNames[i]) == 0) {
            return i;
        }
    }
    return -1;
}

// The input a target name selects, compared with case; -1 for none.
int inputOf(const ACHAR* name) {
    if (name == nullptr) {
        return -1;
    }
    for (int i = 0; i < KxDbImpBlock2PtTag::kInputCount; ++i) {
        if (AcString(name) ==
            KxDbImpBlock2PtTag::inputName(static_cast<KxDbImpBlock2PtTag::Input>(i))) {
            return i;
        }
    }
    return -1;
}

// The input a connection name names, compared without regard to case; -1 for none.
int inputNamed(const ACHAR* name) {
    switch (connectionIndex(name)) {
        case kcUpdatedBaseX:
            return KxDbImpBlock2PtTag::kBaseX;
        case kcUpdatedBaseY:
            return KxDbImpBlock2PtTag::kBaseY;
        case kcUpdatedEndX:
            return KxDbImpBlock2PtTag::kEndX;
        case kcUpdatedEndY:
            return KxDbImpBlock2PtTag::kEndY;
        default:
            return -1;
    }
}

// The connections every grip changes.
bool isScalarConnection(int index) {
    switch (index) {
        case kcDistance:
        case kcAngle:
        case kcUpdatedDistance:
        case kcUpdatedAngle:
        case kcAngleDelta:
        case kcDistanceDelta:
        case kcScale:
        case kcXScale:
        case kcYScale:
            return true;
        default:
            return false;
    }
}
bool isBaseXConnection(int index) {
    return index == kcBaseX || index == kcUpdatedBaseX || index == kcBaseXDelta;
}
bool isBaseYConnection(int index) {
    return index == kcBaseY || index == kcUpdatedBaseY || index == kcBaseYDelta;
}
bool isEndXConnection(int index) {
    return index == kcEndX || index == kcUpdatedEndX || index == kcEndXDelta;
}
bool isEndYConnection(int index) {
    return index == kcEndY || index == kcUpdatedEndY || index == kcEndYDelta;
}
bool isBasePointConnection(int index) {
    return index == kcBase || index == kcUpdatedBase;
}
bool isEndPointConnection(int index) {
    return index == kcEnd || index == kcUpdatedEnd;
}

using kxframe::Opened;

Acad::ErrorStatus openForLook(const KxDbTagEvalGraph* graph, KxNodeId id, KxDbTagEvalExpr*& node) {
    Acad::ErrorStatus es = graph->getNode(id, AcDb::kForRead, node);
    if (es == Acad::eWasOpenForWrite || es == Acad::eWasOpenForRead) {
        es = graph->getNode(id, AcDb::kForNotify, node);
    }
    return es;
}

}  // namespace

// --- Public: one-line forwarders --------------------------------------------------------------

KX_FORWARD(bool, KxDbBlock2PtTag, isGripUsed, (int index, const KxDbTagElement* action),
           (index, action), const, false)
KX_FORWARD(bool, KxDbBlock2PtTag, gripAffectsConnection, (const ACHAR* name, int index),
           (name, index), const, false)
KX_FORWARD(bool, KxDbBlock2PtTag, grip0Affects, (const ACHAR* name), (name), const, false)
KX_FORWARD(bool, KxDbBlock2PtTag, grip1Affects, (const ACHAR* name), (name), const, false)
KX_FORWARD(bool, KxDbBlock2PtTag, grip2Affects, (const ACHAR* name), (name), const, false)
KX_FORWARD(bool, KxDbBlock2PtTag, grip3Affects, (const ACHAR* name), (name), const, false)
KX_FORWARD(Adesk::Int16, KxDbBlock2PtTag, baseLocation, (), (), const, 0)
KX_FORWARD_STATUS(KxDbBlock2PtTag, setBaseLocation, (Adesk::Int16 location), (location), )
KX_FORWARD(AcGePoint3d, KxDbBlock2PtTag, currentBasePoint, (), (), const, AcGePoint3d())
KX_FORWARD(AcGePoint3d, KxDbBlock2PtTag, currentEndPoint, (), (), const, AcGePoint3d())
KX_FORWARD(double, KxDbBlock2PtTag, currentDistance, (), (), const, 0.0)
KX_FORWARD(double, KxDbBlock2PtTag, currentAngle, (), (), const, 0.0)
KX_FORWARD_STATUS(KxDbBlock2PtTag, setCurrentBasePoint, (const AcGePoint3d& point), (point), )
KX_FORWARD_STATUS(KxDbBlock2PtTag, setCurrentEndPoint, (const AcGePoint3d& point), (point), )
KX_FORWARD(AcGePoint3d, KxDbBlock2PtTag, updatedBasePoint, (), (), const, AcGePoint3d())
KX_FORWARD(AcGePoint3d, KxDbBlock2PtTag, updatedEndPoint, (), (), const, AcGePoint3d())
KX_FORWARD(double, KxDbBlock2PtTag, updatedDistance, (), (), const, 0.0)
KX_FORWARD(double, KxDbBlock2PtTag, updatedAngle, (), (), const, 0.0)
KX_FORWARD_STATUS(KxDbBlock2PtTag, setUpdatedBasePoint, (const AcGePoint3d& point), (point), )
KX_FORWARD_STATUS(KxDbBlock2PtTag, setUpdatedEndPoint, (const AcGePoint3d& point), (point), )
KX_FORWARD(AcGePoint3d, KxDbBlock2PtTag, definitionBasePoint, (), (), const, AcGePoint3d())
KX_FORWARD(AcGePoint3d, KxDbBlock2PtTag, definitionEndPoint, (), (), const, AcGePoint3d())
KX_FORWARD(double, KxDbBlock2PtTag, definitionDistance, (), (), const, 0.0)
KX_FORWARD(double, KxDbBlock2PtTag, definitionAngle, (), (), const, 0.0)
KX_FORWARD_STATUS(KxDbBlock2PtTag, setDefinitionBasePoint, (const AcGePoint3d& point), (point), )
KX_FORWARD_STATUS(KxDbBlock2PtTag, setDefinitionBasePoint, (const AcGePoint3d& point, bool strict),
                  (point, strict), )
KX_FORWARD_STATUS(KxDbBlock2PtTag, setDefinitionEndPoint, (const AcGePoint3d& point), (point), )
KX_FORWARD_STATUS(KxDbBlock2PtTag, setDefinitionEndPoint, (const AcGePoint3d& point, bool strict),
                  (point, strict), )
KX_FORWARD(AcGeVector3d, KxDbBlock2PtTag, normal, (), (), const, (AcGeVector3d(0.0, 0.0, -1.0)))
KX_FORWARD(KxNodeId, KxDbBlock2PtTag, gripId, (int index), (index), const, 0)

// --- Implementation: grip correspondence ------------------------------------------------------

bool KxDbImpBlock2PtTag::grip0Affects(const ACHAR* name) const {
    const int c = connectionIndex(name);
    return isScalarConnection(c) || isBasePointConnection(c) || isBaseXConnection(c) ||
           isBaseYConnection(c);
}

bool KxDbImpBlock2PtTag::grip1Affects(const ACHAR* name) const {
    const int c = connectionIndex(name);
    return isScalarConnection(c) || isEndPointConnection(c) || isEndXConnection(c) ||
           isEndYConnection(c);
}

// The corner grips change one coordinate of each point, and so each point as a whole.
bool KxDbImpBlock2PtTag::grip2Affects(const ACHAR* name) const {
    const int c = connectionIndex(name);
    return isScalarConnection(c) || isBasePointConnection(c) || isEndPointConnection(c) ||
           isBaseXConnection(c) || isEndYConnection(c);
}

bool KxDbImpBlock2PtTag::grip3Affects(const ACHAR* name) const {
    const int c = connectionIndex(name);
    return isScalarConnection(c) || isBasePointConnection(c) || isEndPointConnection(c) ||
           isEndXConnection(c) || isBaseYConnection(c);
}

bool KxDbImpBlock2PtTag::gripAffectsConnection(const ACHAR* name, int index) const {
    switch (index) {
        case 0:
            return grip0Affects(name);
        case 1:
            return grip1Affects(name);
        case 2:
            return grip2Affects(name);
        case 3:
            return grip3Affects(name);
        default:
            return false;
    }
}

bool KxDbImpBlock2PtTag::isGripUsed(int index, const KxDbTagElement* action) const {
    if (nodeId() == 0) {
        return false;
    }
    if (action != nullptr && !action->isReadEnabled()) {
        return false;
    }
    Opened<KxDbTagEvalGraph> graph;
    if (openOwnerGraph(graph.slot(), AcDb::kForRead) != Acad::eOk) {
        return false;
    }
    KxEdgeInfoArray edges;
    if (graph->getOutgoingEdges(nodeId(), edges) != Acad::eOk) {
        return false;
    }
    KxNodeIdArray seen;
    for (int i = 0; i < edges.length(); ++i) {
        const KxNodeId target = edges[i].targetId;
        if (seen.contains(target)) {
            continue;
        }
        seen.append(target);
        if (action != nullptr && action->getNodeId() != target) {
            continue;
        }
        Opened<KxDbTagEvalExpr> opened;
        const KxDbTagEvalExpr* node = action;
        if (node == nullptr) {
            if (openForLook(graph.get(), target, opened.slot()) != Acad::eOk) {
                continue;
            }
            node = opened.get();
        }
        const KxDbParamActionLink* link = KxDbParamActionLink::of(node);
        if (link == nullptr || node->isErased() || link->actionLinkParameterId() != nodeId()) {
            continue;
        }
        switch (link->actionLinkKind()) {
            case KxDbParamActionLink::kScale:
            case KxDbParamActionLink::kArray:
            case KxDbParamActionLink::kRotate:
            case KxDbParamActionLink::kFlip:
                return true;
            default:
                break;
        }
        // Other actions count when they read a connection that the grip changes.
        const KxDbTagEvalConnectable* reader = KxDbTagEvalConnectable::cast(node);
        if (reader == nullptr) {
            continue;
        }
        AcStringArray own;
        reader->getConnectionNames(own);
        for (int k = 0; k < own.length(); ++k) {
            AcStringArray sources;
            reader->getConnectedConnections(own[k], nodeId(), sources);
            for (int s = 0; s < sources.length(); ++s) {
                if (gripAffectsConnection(sources[s], index)) {
                    return true;
                }
            }
        }
    }
    return false;
}

// --- Implementation: points -------------------------------------------------------------------

const ACHAR* KxDbImpBlock2PtTag::inputName(Input which) {
    switch (which) {
        case kBaseX:
            return L"UpdatedBaseX";
        case kBaseY:
            return L"UpdatedBaseY";
        case kEndX:
            return L"UpdatedEndX";
        default:
            return L"UpdatedEndY";
    }
}

bool KxDbImpBlock2PtTag::gripInputs(int index, Input& xInput, Input& yInput) {
    switch (index) {
        case 0:
            xInput = kBaseX;
            yInput = kBaseY;
            return true;
        case 1:
            xInput = kEndX;
            yInput = kEndY;
            return true;
        case 2:
            xInput = kBaseX;
            yInput = kEndY;
            return true;
        case 3:
            xInput = kEndX;
            yInput = kBaseY;
            return true;
        default:
            return false;
    }
}

KxNodeId KxDbImpBlock2PtTag::gripId(int index) const {
    return (index >= 0 && index < kMaxGrips) ? m_gripIds[index] : 0;
}

void KxDbImpBlock2PtTag::setGripId(int index, KxNodeId id) {
    assertWriteEnabled();
    if (index >= 0 && index < kMaxGrips) {
        m_gripIds[index] = id;
    }
}

void KxDbImpBlock2PtTag::setNormal(const AcGeVector3d& normal) {
    assertWriteEnabled();
    m_normal = normal;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setBaseLocation(Adesk::Int16 location) {
    assertWriteEnabled();
    m_baseLocation = location;
    return Acad::eOk;
}

double KxDbImpBlock2PtTag::angleOf(const AcGeVector3d& v) const {
    const AcGeVector3d flat(v.x, v.y, 0.0);
    if (flat.length() <= kTiny) {
        return 0.0;
    }
    AcGeVector3d axis = -m_normal;
    if (axis.length() <= kTiny) {
        axis = AcGeVector3d::kZAxis;
    }
    return AcGeVector3d::kXAxis.angleTo(flat, axis);
}

double KxDbImpBlock2PtTag::currentDistance() const {
    return m_currentBase.distanceTo(m_currentEnd);
}

double KxDbImpBlock2PtTag::currentAngle() const {
    return angleOf(m_currentEnd - m_currentBase);
}

double KxDbImpBlock2PtTag::updatedDistance() const {
    return m_updatedBase.distanceTo(m_updatedEnd);
}

double KxDbImpBlock2PtTag::updatedAngle() const {
    return angleOf(m_updatedEnd - m_updatedBase);
}

double KxDbImpBlock2PtTag::definitionDistance() const {
    return m_definitionBase.distanceTo(m_definitionEnd);
}

double KxDbImpBlock2PtTag::definitionAngle() const {
    const double dx = m_definitionEnd.x - m_definitionBase.x;
    const double dy = m_definitionEnd.y - m_definitionBase.y;
    if (std::sqrt(dx * dx + dy * dy) <= kTiny) {
        return 0.0;
    }
    double angle = std::atan2(dy, dx);
    if (angle < 0.0) {
        angle += kTwoPi;
    }
    return angle >= kTwoPi ? 0.0 : angle;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setCurrentBasePoint(const AcGePoint3d& point) {
    assertWriteEnabled();
    m_currentBase = point;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setCurrentEndPoint(const AcGePoint3d& point) {
    assertWriteEnabled();
    m_currentEnd = point;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setUpdatedBasePoint(const AcGePoint3d& point) {
    assertWriteEnabled();
    m_updatedBase = point;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setUpdatedEndPoint(const AcGePoint3d& point) {
    assertWriteEnabled();
    m_updatedEnd = point;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::carryGrip(int index, const AcGePoint3d& oldNominal,
                                                const AcGePoint3d& newNominal, bool* offsetZero) {
    const KxNodeId id = gripId(index);
    if (id == 0) {
        return Acad::eOk;
    }
    Opened<KxDbTagEvalGraph> graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    Opened<KxDbTagEvalExpr> grip;
    es = graph->getNode(id, m_movingDefinition ? AcDb::kForWrite : AcDb::kForRead, grip.slot());
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d location;
    if ((es = kxparam::gripLocation(grip.get(), location)) != Acad::eOk) {
        return es;
    }
    const AcGeVector3d offset = location - oldNominal;
    if (offsetZero != nullptr) {
        *offsetZero = offset.isZeroLength();
    }
    if (!m_movingDefinition) {
        return Acad::eOk;
    }
    return kxparam::setGripLocation(grip.get(), newNominal + offset);
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setDefinitionBasePoint(const AcGePoint3d& point) {
    return setDefinitionBasePoint(point, true);
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setDefinitionBasePoint(const AcGePoint3d& point,
                                                             bool strict) {
    if (strict && point.isEqualTo(m_definitionEnd)) {
        return KxParamStatus::kPointsCoincide;
    }
    assertWriteEnabled();
    const AcGePoint3d old = m_definitionBase;
    m_currentBase = point;
    m_updatedBase = point;
    m_definitionBase = point;
    const AcGePoint3d& end = m_definitionEnd;

    Acad::ErrorStatus es = carryGrip(0, old, point, nullptr);
    if (es != Acad::eOk) {
        return es;
    }
    es = carryGrip(2, AcGePoint3d(old.x, end.y, 0.0), AcGePoint3d(point.x, end.y, 0.0), nullptr);
    if (es != Acad::eOk) {
        return es;
    }
    bool offsetZero = false;
    es =
        carryGrip(3, AcGePoint3d(end.x, old.y, 0.0), AcGePoint3d(end.x, point.y, 0.0), &offsetZero);
    if (offsetZero) {
        acutPrintf(L"KxDbImpBlock2PtTag::setDefinitionBasePoint\n");
    }
    return es;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setDefinitionEndPoint(const AcGePoint3d& point) {
    return setDefinitionEndPoint(point, true);
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setDefinitionEndPoint(const AcGePoint3d& point, bool strict) {
    if (strict && point.isEqualTo(m_definitionBase)) {
        return KxParamStatus::kPointsCoincide;
    }
    assertWriteEnabled();
    const AcGePoint3d old = m_definitionEnd;
    m_currentEnd = point;
    m_updatedEnd = point;
    m_definitionEnd = point;
    const AcGePoint3d& base = m_definitionBase;

    Acad::ErrorStatus es = carryGrip(1, old, point, nullptr);
    if (es != Acad::eOk) {
        return es;
    }
    es = carryGrip(2, AcGePoint3d(base.x, old.y, 0.0), AcGePoint3d(base.x, point.y, 0.0), nullptr);
    if (es != Acad::eOk) {
        return es;
    }
    return carryGrip(3, AcGePoint3d(old.x, base.y, 0.0), AcGePoint3d(point.x, base.y, 0.0),
                     nullptr);
}

// --- Implementation: grips --------------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock2PtTag::getGripCount(int& count) const {
    count = 0;
    for (KxNodeId id : m_gripIds) {
        if (id != 0) {
            ++count;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setGripCount(int count) {
    // Which grips each accepted count keeps.
    bool wanted[kMaxGrips] = {false, false, false, false};
    switch (count) {
        case 0:
            break;
        case 1:
            wanted[1] = true;
            break;
        case 2:
            wanted[0] = wanted[1] = true;
            break;
        case 4:
            wanted[0] = wanted[1] = wanted[2] = wanted[3] = true;
            break;
        default:
            return Acad::eInvalidInput;
    }
    bool changes = false;
    for (int i = 0; i < kMaxGrips; ++i) {
        changes = changes || (wanted[i] != (m_gripIds[i] != 0));
    }
    if (!changes) {
        return Acad::eOk;
    }
    Opened<KxDbTagEvalGraph> graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    // Grips that go are removed first: an end grip alone replaces the pair.
    for (int i = 0; i < kMaxGrips; ++i) {
        if (!wanted[i] && m_gripIds[i] != 0 &&
            (es = removeGripInGraph(i, graph.get())) != Acad::eOk) {
            return es;
        }
    }
    for (int i = 0; i < kMaxGrips; ++i) {
        if (wanted[i] && m_gripIds[i] == 0) {
            KxNodeId id = 0;
            if ((es = addGrip(i, id, graph.get())) != Acad::eOk) {
                return es;
            }
            if (m_gripIds[i] == 0 && id != 0) {
                setGripId(i, id);
            }
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::getGripIndex(KxNodeId id, int& index) const {
    if (id == 0) {
        return KxStatus::kNotInGraph;
    }
    for (int i = 0; i < kMaxGrips; ++i) {
        if (m_gripIds[i] == id) {
            index = i;
            return Acad::eOk;
        }
    }
    return KxStatus::kNodeNotFound;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::getGrips(KxDbTagGripPtrArray& grips,
                                               AcDb::OpenMode mode) const {
    grips.setLogicalLength(0);
    bool any = false;
    for (KxNodeId id : m_gripIds) {
        any = any || id != 0;
    }
    if (!any) {
        return Acad::eOk;
    }
    Opened<KxDbTagEvalGraph> graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < kMaxGrips && es == Acad::eOk; ++i) {
        if (m_gripIds[i] == 0) {
            continue;
        }
        KxDbTagEvalExpr* node = nullptr;
        es = graph->getNode(m_gripIds[i], mode, node);
        if (es == KxStatus::kNodeNotFound) {
            es = Acad::eOk;
            continue;
        }
        if (es != Acad::eOk) {
            break;
        }
        KxDbTagGrip* grip = KxDbTagGrip::cast(node);
        if (grip == nullptr) {
            node->close();
            es = Acad::eWrongObjectType;
            break;
        }
        grips.append(grip);
    }
    if (es != Acad::eOk) {
        // The grips already handed out are closed again: the caller gets none.
        for (int i = 0; i < grips.length(); ++i) {
            grips[i]->close();
        }
        grips.setLogicalLength(0);
    }
    return es;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::removeGripInGraph(int index, KxDbTagEvalGraph* graph) {
    Input xInput = kBaseX;
    Input yInput = kBaseY;
    if (!gripInputs(index, xInput, yInput)) {
        return Acad::eInvalidInput;
    }
    const KxNodeId grip = m_gripIds[index];
    if (grip == 0) {
        return KxStatus::kNodeNotFound;
    }
    if (nodeId() == 0) {
        return KxStatus::kNotInGraph;
    }
    assertWriteEnabled();
    m_inputs[xInput].erase(grip);
    m_inputs[yInput].erase(grip);
    m_gripIds[index] = 0;
    return removeGripNode(graph, grip);
}

Acad::ErrorStatus KxDbImpBlock2PtTag::gripDeleted(int index) {
    // The grips that cannot exist without the deleted one.
    static const int kDependents[kMaxGrips][3] = {{2, 3, -1}, {0, 2, 3}, {3, -1, -1}, {2, -1, -1}};
    if (index < 0 || index >= kMaxGrips) {
        return Acad::eOk;
    }
    for (int k = 0; k < 3; ++k) {
        const int dependent = kDependents[index][k];
        if (dependent < 0 || m_gripIds[dependent] == 0) {
            continue;
        }
        const Acad::ErrorStatus es = removeGrip(dependent);
        if (es != Acad::eOk) {
            return es;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::detachFromGraph(KxDbTagEvalGraph* graph) {
    bool any = false;
    for (KxNodeId id : m_gripIds) {
        any = any || id != 0;
    }
    if (any && hasLeftGraph(graph)) {
        runWritable([this, graph]() {
            for (int i = 0; i < kMaxGrips; ++i) {
                if (m_gripIds[i] != 0) {
                    removeGripInGraph(i, graph);
                }
            }
        });
    }
    return KxDbImpBlockTag::detachFromGraph(graph);
}

Acad::ErrorStatus KxDbImpBlock2PtTag::nodeRemoved(KxNodeId id) {
    runWritable([this, id]() {
        // A node that is gone feeds nothing any more.
        for (KxNodeId& grip : m_gripIds) {
            if (grip == id) {
                grip = 0;
            }
        }
        for (KxConnectionMap& inputs : m_inputs) {
            inputs.erase(id);
        }
    });
    return KxDbImpBlockTag::nodeRemoved(id);
}

Acad::ErrorStatus KxDbImpBlock2PtTag::placeGripsAtDefinition() {
    bool any = false;
    for (KxNodeId id : m_gripIds) {
        any = any || id != 0;
    }
    if (!any) {
        return Acad::eOk;
    }
    Opened<KxDbTagEvalGraph> graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    const AcGePoint3d& base = m_definitionBase;
    const AcGePoint3d& end = m_definitionEnd;
    const AcGePoint3d places[kMaxGrips] = {base, end, AcGePoint3d(base.x, end.y, end.z),
                                           AcGePoint3d(end.x, base.y, end.z)};
    for (int i = 0; i < kMaxGrips; ++i) {
        if (m_gripIds[i] == 0) {
            continue;
        }
        Opened<KxDbTagEvalExpr> grip;
        if ((es = graph->getNode(m_gripIds[i], AcDb::kForWrite, grip.slot())) != Acad::eOk ||
            (es = kxparam::placeGripAt(grip.get(), places[i])) != Acad::eOk) {
            return es;
        }
    }
    return Acad::eOk;
}

// --- Implementation: the "Origin" property ----------------------------------------------------

Acad::ErrorStatus KxDbImpBlock2PtTag::getPropertyDescriptions(
    KxDbBlockPropertyDescArray& descs) const {
    KxDbBlockPropertyDesc origin(kOrigin, kOrigin, 11);
    int grips = 0;
    getGripCount(grips);
    origin.readOnly = grips < 2 ? 1 : 0;
    origin.visible = 0;
    descs.append(origin);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::getPropertyValue(const ACHAR* name,
                                                       KxDbTagEvalVariant& value) const {
    if (name == nullptr || AcString(name) != kOrigin) {
        return Acad::eKeyNotFound;
    }
    return getConnectionValue(kOrigin, value);
}

Acad::ErrorStatus KxDbImpBlock2PtTag::getPropertyValueTransformed(const ACHAR* name,
                                                                  const AcGeMatrix3d& xform,
                                                                  KxDbTagEvalVariant& value) const {
    if (name == nullptr || AcString(name) != kOrigin) {
        return Acad::eKeyNotFound;
    }
    KxDbTagEvalVariant origin;
    Acad::ErrorStatus es = getConnectionValue(kOrigin, origin);
    if (es != Acad::eOk) {
        return es;
    }
    if (acdbGroupCodeToType(origin.type()) != AcDb::kDwg3Real) {
        return Acad::eInvalidInput;
    }
    AcGePoint3d point = origin.point();
    point.transformBy(xform);
    value.setPoint(point);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setPropertyValue(const ACHAR* name,
                                                       const KxDbTagEvalVariant& value) {
    return setPropertyValueTransformed(name, AcGeMatrix3d::kIdentity, value);
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setPropertyValueTransformed(const ACHAR* name,
                                                                  const AcGeMatrix3d& xform,
                                                                  const KxDbTagEvalVariant& value) {
    if (name == nullptr || AcString(name) != kOrigin) {
        return Acad::eKeyNotFound;
    }
    if (acdbGroupCodeToType(value.type()) != AcDb::kDwg3Real) {
        return Acad::eInvalidInput;
    }
    int grips = 0;
    getGripCount(grips);
    if (grips < 2) {
        return KxParamStatus::kOriginNeedsGrips;
    }
    assertWriteEnabled();
    AcGeMatrix3d inverse;
    if (!xform.inverse(inverse)) {
        return Acad::eInvalidInput;
    }
    AcGePoint3d point = value.point();
    point.transformBy(inverse);
    // The parameter moves as a whole: its updated points go, its current points stay, so that
    // its actions move what they act on by the difference.
    const AcGeVector3d move = point - m_updatedBase;
    m_movingAsWhole = true;
    const Acad::ErrorStatus es = transformInstanceBy(AcGeMatrix3d::translation(move));
    m_movingAsWhole = false;
    return es;
}

// --- Implementation: connections --------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock2PtTag::getConnectionNames(AcStringArray& names) const {
    for (const ACHAR* name : kConnectionNames) {
        names.append(AcString(name));
    }
    return Acad::eOk;
}

bool KxDbImpBlock2PtTag::hasConnection(const ACHAR* name) const {
    return connectionIndex(name) >= 0;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::getConnectionType(const ACHAR* name,
                                                        AcDb::DwgDataType& kind) const {
    const int index = connectionIndex(name);
    if (index < 0) {
        kind = AcDb::kDwgNull;
        return Acad::eInvalidInput;
    }
    kind = isPointConnection(index) ? AcDb::kDwg3Real : AcDb::kDwgReal;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::getConnectionValue(const ACHAR* name,
                                                         KxDbTagEvalVariant& value) const {
    const AcGePoint3d& cb = m_currentBase;
    const AcGePoint3d& ce = m_currentEnd;
    const AcGePoint3d& ub = m_updatedBase;
    const AcGePoint3d& ue = m_updatedEnd;
    auto ratio = [](double numerator, double divisor) {
        return divisor > kTiny ? numerator / divisor : 0.0;
    };
    switch (connectionIndex(name)) {
        case kcBase:
            value.setPoint(cb);
            break;
        case kcEnd:
            value.setPoint(ce);
            break;
        case kcUpdatedBase:
        case kcOriginConnection:
            value.setPoint(ub);
            break;
        case kcUpdatedEnd:
            value.setPoint(ue);
            break;
        case kcBaseX:
            value.setReal(cb.x);
            break;
        case kcBaseY:
            value.setReal(cb.y);
            break;
        case kcEndX:
            value.setReal(ce.x);
            break;
        case kcEndY:
            value.setReal(ce.y);
            break;
        case kcDistance:
            value.setReal(currentDistance());
            break;
        case kcAngle:
            value.setReal(currentAngle());
            break;
        case kcUpdatedBaseX:
            value.setReal(ub.x);
            break;
        case kcUpdatedBaseY:
            value.setReal(ub.y);
            break;
        case kcUpdatedEndX:
            value.setReal(ue.x);
            break;
        case kcUpdatedEndY:
            value.setReal(ue.y);
            break;
        case kcUpdatedDistance:
            value.setReal(updatedDistance());
            break;
        case kcUpdatedAngle:
            value.setReal(updatedAngle());
            break;
        case kcBaseXDelta:
            value.setReal(ub.x - cb.x);
            break;
        case kcBaseYDelta:
            value.setReal(ub.y - cb.y);
            break;
        case kcEndXDelta:
            value.setReal(ue.x - ce.x);
            break;
        case kcEndYDelta:
            value.setReal(ue.y - ce.y);
            break;
        case kcAngleDelta:
            value.setReal(updatedAngle() - currentAngle());
            break;
        case kcDistanceDelta:
            value.setReal(updatedDistance() - currentDistance());
            break;
        case kcScale:
            value.setReal(ratio(updatedDistance(), currentDistance()));
            break;
        case kcXScale:
            value.setReal(ratio(ue.x - ub.x, std::fabs(ce.x - cb.x)));
            break;
        case kcYScale:
            value.setReal(ratio(ue.y - ub.y, std::fabs(ce.y - cb.y)));
            break;
        case kcUpdatedDistanceX:
            value.setReal(std::fabs(ce.x - cb.x));
            break;
        case kcUpdatedDistanceY:
            value.setReal(std::fabs(ce.y - cb.y));
            break;
        case kcNormal:
            value.setPoint(AcGePoint3d(m_normal.x, m_normal.y, m_normal.z));
            break;
        default:
            return Acad::eInvalidInput;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::connectTo(const ACHAR* name, KxNodeId otherId,
                                                const ACHAR* otherName) {
    assertWriteEnabled();
    if (nodeId() == 0 || otherId == 0) {
        return KxStatus::kNotInGraph;
    }
    const int input = inputOf(name);
    if (input < 0) {
        return Acad::eInvalidInput;
    }
    return connectInput(name, otherId, otherName, m_inputs[input]);
}

Acad::ErrorStatus KxDbImpBlock2PtTag::disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                                     const ACHAR* otherName) {
    assertWriteEnabled();
    if (nodeId() == 0 || otherId == 0) {
        return KxStatus::kNotInGraph;
    }
    const int input = inputOf(name);
    if (input < 0) {
        return Acad::eInvalidInput;
    }
    return disconnectInput(otherId, otherName, m_inputs[input]);
}

bool KxDbImpBlock2PtTag::canConnectTo(const ACHAR* name, KxNodeId otherId,
                                      const ACHAR* otherName) const {
    const int input = inputOf(name);
    return input >= 0 &&
           checkInputConnection(name, otherId, otherName, m_inputs[input]) == Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::getConnectedNodes(const ACHAR* name,
                                                        KxNodeIdArray& ids) const {
    const int input = inputNamed(name);
    return connectedNodesOf(connectionIndex(name) >= 0, input >= 0 ? &m_inputs[input] : nullptr,
                            ids);
}

Acad::ErrorStatus KxDbImpBlock2PtTag::getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                                              AcStringArray& names) const {
    const int input = inputNamed(name);
    return connectedConnectionsOf(connectionIndex(name) >= 0,
                                  input >= 0 ? &m_inputs[input] : nullptr, nodeId, names);
}

// --- Implementation: evaluation ---------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock2PtTag::evaluate(KxDbTagEvalContext* context) {
    assertWriteEnabled();
    bool found[kInputCount] = {false, false, false, false};
    double d[kInputCount] = {0.0, 0.0, 0.0, 0.0};
    const Acad::ErrorStatus es = readInputDisplacements(m_inputs, kInputCount, d, found);
    if (es != Acad::eOk) {
        return es;
    }
    if (found[kBaseX] || found[kBaseY]) {
        m_updatedBase = m_currentBase + AcGeVector3d(d[kBaseX], d[kBaseY], 0.0);
    }
    if (found[kEndX] || found[kEndY]) {
        m_updatedEnd = m_currentEnd + AcGeVector3d(d[kEndX], d[kEndY], 0.0);
    }
    return Acad::eOk;
}

void KxDbImpBlock2PtTag::evaluationSucceeded(bool isActive) {
    assertWriteEnabled();
    m_currentBase = m_updatedBase;
    m_currentEnd = m_updatedEnd;
}

// --- Implementation: editing as geometry ------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock2PtTag::getGripPoints(AcGePoint3dArray& points) const {
    points.append(m_updatedBase);
    points.append(m_updatedEnd);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::moveGripPointsAt(const AcDbIntArray& indices,
                                                       const AcGeVector3d& offset) {
    assertWriteEnabled();
    const bool currentToo = !chainActions();
    for (int i = 0; i < indices.length(); ++i) {
        if (indices[i] == 0) {
            m_updatedBase += offset;
            if (currentToo) {
                m_currentBase += offset;
            }
        } else if (indices[i] == 1) {
            m_updatedEnd += offset;
            if (currentToo) {
                m_currentEnd += offset;
            }
        } else {
            return Acad::eInvalidInput;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::transformInstanceBy(const AcGeMatrix3d& xform) {
    assertWriteEnabled();
    m_updatedBase.transformBy(xform);
    m_updatedEnd.transformBy(xform);
    if (!chainActions() && !m_movingAsWhole) {
        m_currentBase.transformBy(xform);
        m_currentEnd.transformBy(xform);
    }
    if (xform.det() >= 0.0) {
        m_normal.transformBy(xform);
    } else {
        // A mirror turns the plane over: the normal is reversed, not mirrored with it.
        m_normal.negate();
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::transformBy(const AcGeMatrix3d& xform) {
    AcGePoint3d base = m_definitionBase;
    AcGePoint3d end = m_definitionEnd;
    base.transformBy(xform);
    end.transformBy(xform);
    m_movingDefinition = true;
    Acad::ErrorStatus es = setDefinitionBasePoint(base, false);
    if (es == Acad::eOk) {
        es = setDefinitionEndPoint(end, false);
    }
    m_movingDefinition = false;
    return es;
}

// --- Implementation: instance data ------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock2PtTag::getInstanceData(resbuf*& chain) const {
    Acad::ErrorStatus es = KxDbImpBlockTag::getInstanceData(chain);
    if (es != Acad::eOk) {
        return es;
    }
    kxinst::ChainBuilder builder(chain);
    chain = nullptr;
    builder.point(10, m_currentBase)
        .point(10, m_currentEnd)
        .point(10, AcGePoint3d(m_normal.x, m_normal.y, m_normal.z));
    es = builder.status();
    chain = builder.release();
    return es;
}

Acad::ErrorStatus KxDbImpBlock2PtTag::setInstanceData(const resbuf*& cursor, int option) {
    Acad::ErrorStatus es = KxDbImpBlockTag::setInstanceData(cursor, option);
    if (es != Acad::eOk) {
        return es;
    }
    // The layout is that of the data's own version, not that of the definition's file: data
    // written before the normal was kept has none.
    const Adesk::Int32 major = instanceDataVersionMajor();
    const Adesk::Int32 minor = instanceDataVersionMinor();
    const bool withNormal = major != kUnknownVersion && minor != kUnknownMaint &&
                            (major > 25 || (major == 25 && minor > kNormalMaint));
    const resbuf* at = cursor;
    AcGePoint3d base;
    AcGePoint3d end;
    AcGePoint3d normal;
    if ((es = kxinst::readPoint(at, 10, base)) != Acad::eOk ||
        (es = kxinst::readPoint(at, 10, end)) != Acad::eOk ||
        (withNormal && (es = kxinst::readPoint(at, 10, normal)) != Acad::eOk)) {
        return es;
    }
    assertWriteEnabled();
    cursor = at;
    m_updatedBase = base;
    m_updatedEnd = end;
    if (withNormal) {
        m_normal.set(normal.x, normal.y, normal.z);
    }
    if (option != 0) {
        m_currentBase = m_updatedBase;
    }
    return Acad::eOk;
}

// --- Implementation: filing -------------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock2PtTag::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpBlockTag::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    if (type == AcDb::kIdXlateFiler || type == AcDb::kIdFiler || type == AcDb::kPurgeFiler) {
        return Acad::eOk;
    }
    filer->writePoint3d(m_definitionBase);
    filer->writePoint3d(m_definitionEnd);
    for (const KxConnectionMap& inputs : m_inputs) {
        kxparam::writeInputsDwg(filer, inputs);
    }
    for (KxNodeId id : m_gripIds) {
        filer->writeUInt32(id);
    }
    filer->writeInt16(m_baseLocation);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlock2PtTag::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = KxDbImpBlockTag::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (filer->filerType() == AcDb::kIdXlateFiler) {
        return Acad::eOk;
    }
    AcGePoint3d base;
    AcGePoint3d end;
    if ((es = filer->readPoint3d(&base)) != Acad::eOk ||
        (es = filer->readPoint3d(&end)) != Acad::eOk) {
        return es;
    }
    // Through the setters, so that current and updated points follow; an end point equal to the
    // base is not taken.
    setDefinitionBasePoint(base, false);
    setDefinitionEndPoint(end, true);
    KxConnectionMap inputs[kInputCount];
    for (KxConnectionMap& map : inputs) {
        if ((es = kxparam::readInputsDwg(filer, map)) != Acad::eOk) {
            return es;
        }
    }
    Adesk::UInt32 grips[kMaxGrips] = {0, 0, 0, 0};
    for (Adesk::UInt32& id : grips) {
        if ((es = filer->readUInt32(&id)) != Acad::eOk) {
            return es;
        }
    }
    Adesk::Int16 location = 0;
    if (isReadVersionAfter(kBaseLocationMaint) && (es = filer->readInt16(&location)) != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < kInputCount; ++i) {
        m_inputs[i] = inputs[i];
    }
    for (int i = 0; i < kMaxGrips; ++i) {
        m_gripIds[i] = grips[i];
    }
    m_baseLocation = location;
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlock2PtTag::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpBlockTag::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kTwoPointMarker);
    filer->writePoint3d(1010, m_definitionBase);
    filer->writePoint3d(1011, m_definitionEnd);
    filer->writeInt16(170, kMaxGrips);
    for (KxNodeId id : m_gripIds) {
        filer->writeInt32(91, static_cast<Adesk::Int32>(id));
    }
    kxparam::writeInputsDxf(filer, 171, 92, 301, m_inputs[kBaseX]);
    kxparam::writeInputsDxf(filer, 172, 93, 302, m_inputs[kBaseY]);
    kxparam::writeInputsDxf(filer, 173, 94, 303, m_inputs[kEndX]);
    kxparam::writeInputsDxf(filer, 174, 95, 304, m_inputs[kEndY]);
    filer->writeInt16(177, m_baseLocation);
    return filer->filerStatus();
}

namespace {

// The grip ids after group 170: exactly four 91 items.
Acad::ErrorStatus readGripIds(AcDbDxfFiler* filer, int count, KxNodeId (&ids)[4]) {
    if (count != 4) {
        return Acad::eBadDxfSequence;
    }
    for (KxNodeId& id : ids) {
        resbuf rb{};
        const Acad::ErrorStatus es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            return Acad::eBadDxfSequence;
        }
        if (es != Acad::eOk) {
            return es;
        }
        if (rb.restype != 91) {
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            return Acad::eBadDxfSequence;
        }
        id = static_cast<KxNodeId>(rb.resval.rlong);
    }
    return Acad::eOk;
}

}  // namespace

Acad::ErrorStatus KxDbImpBlock2PtTag::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = KxDbImpBlockTag::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kTwoPointMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    // The lists: count code, id code, name code.
    static const int kLists[kInputCount][3] = {
        {171, 92, 301}, {172, 93, 302}, {173, 94, 303}, {174, 95, 304}};
    AcGePoint3d base;
    AcGePoint3d end;
    KxNodeId grips[kMaxGrips] = {0, 0, 0, 0};
    KxConnectionMap inputs[kInputCount];
    Adesk::Int16 location = 0;
    bool haveBase = false;
    bool haveEnd = false;
    bool haveGrips = false;
    bool haveList[kInputCount] = {false, false, false, false};
    bool haveLocation = false;
    for (;;) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        int list = -1;
        for (int i = 0; i < kInputCount; ++i) {
            if (rb.restype == kLists[i][0]) {
                list = i;
            }
        }
        if (rb.restype == 1010) {
            base.set(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
            haveBase = true;
        } else if (rb.restype == 1011) {
            end.set(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
            haveEnd = true;
        } else if (rb.restype == 170) {
            if ((es = readGripIds(filer, rb.resval.rint, grips)) != Acad::eOk) {
                return es;
            }
            haveGrips = true;
        } else if (list >= 0) {
            es = kxparam::readInputsDxf(filer, rb.resval.rint, kLists[list][1], kLists[list][2],
                                        inputs[list]);
            if (es != Acad::eOk) {
                return es;
            }
            haveList[list] = true;
        } else if (rb.restype == 177) {
            location = rb.resval.rint;
            haveLocation = true;
        } else {
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            break;
        }
    }
    bool complete = haveBase && haveEnd && haveGrips;
    for (bool have : haveList) {
        complete = complete && have;
    }
    if (!complete || (!haveLocation && isReadVersionAfter(kBaseLocationMaint))) {
        return Acad::eMissingDxfField;
    }
    assertWriteEnabled();
    m_definitionBase = base;
    m_definitionEnd = end;
    for (int i = 0; i < kMaxGrips; ++i) {
        m_gripIds[i] = grips[i];
    }
    for (int i = 0; i < kInputCount; ++i) {
        m_inputs[i] = inputs[i];
    }
    m_baseLocation = location;
    return Acad::eOk;
}
