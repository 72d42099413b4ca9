#include "module/grips/grip.h"

#include <new>

#include "host/core/resbuf.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip_expr.h"
#include "module/grips/grip_imp.h"
#include "module/params/block_1pt_tag.h"
#include "module/params/block_2pt_tag.h"
#include "module/params/block_tag.h"

KX_DEFINE_PAIR(KxDbTagGrip, KxDbTagElement, KxDbImpTagGrip)

namespace {

KxDbImpTagGrip* impOf(const KxDbTagGrip* grip) {
    return kxImpOf<KxDbImpTagGrip>(grip);
}

const ACHAR* const kGripMarker = L"AcDbBlockGrip";

const ACHAR* const kX = L"X";
const ACHAR* const kY = L"Y";
const ACHAR* const kDisplacementX = L"DisplacementX";
const ACHAR* const kDisplacementY = L"DisplacementY";

// Which of the grip's connections a name is, without regard to case.
enum class GripConnection { kNone, kX, kY, kDisplacementX, kDisplacementY };

GripConnection connectionOf(const ACHAR* name) {
    if (name == nullptr) {
        return GripConnection::kNone;
    }
    if (acCompareNoCase(name, kX) == 0) {
        return GripConnection::kX;
    }
    if (acCompareNoCase(name, kY) == 0) {
        return GripConnection::kY;
    }
    if (acCompareNoCase(name, kDisplacementX) == 0) {
        return GripConnection::kDisplacementX;
    }
    if (acCompareNoCase(name, kDisplacementY) == 0) {
        return GripConnection::kDisplacementY;
    }
    return GripConnection::kNone;
}

// The inputs that can be connected are named with case: "x" reads the value of "X" but cannot
// be wired.
bool isExactInput(const ACHAR* name, bool& isX) {
    if (name == nullptr) {
        return false;
    }
    const AcString given(name);
    if (given == AcString(kX)) {
        isX = true;
        return true;
    }
    if (given == AcString(kY)) {
        isX = false;
        return true;
    }
    return false;
}

bool isEmptyName(const ACHAR* name) {
    return name == nullptr || name[0] == 0;
}

// The number a value holds, for the numeric kinds an expression can carry.
bool numberOf(const KxDbTagEvalVariant& value, double& number) {
    switch (acdbGroupCodeToType(value.type())) {
        case AcDb::kDwgReal:
            number = value.resval.rreal;
            return true;
        case AcDb::kDwgInt16:
        case AcDb::kDwgInt8:
            number = value.resval.rint;
            return true;
        case AcDb::kDwgInt32:
            number = value.resval.rlong;
            return true;
        default:
            return false;
    }
}

// Closes an object when it goes out of scope (closing an object outside a database does
// nothing, so in-memory graph nodes take the same path).
class ClosingHolder {
  public:
    ClosingHolder() = default;
    explicit ClosingHolder(AcDbObject* object) : m_object(object) {}
    ~ClosingHolder() { reset(); }
    ClosingHolder(const ClosingHolder&) = delete;
    ClosingHolder& operator=(const ClosingHolder&) = delete;
    void reset(AcDbObject* object = nullptr) {
        if (m_object != nullptr) {
            m_object->close();
        }
        m_object = object;
    }

  private:
    AcDbObject* m_object = nullptr;
};

// Opens an expression node of the grip in the graph; eWrongObjectType when the id names another
// kind of node (a damaged record can point anywhere).
Acad::ErrorStatus openExpression(const KxDbTagEvalGraph* graph, KxNodeId id, KxNodeId ownId,
                                 AcDb::OpenMode mode, KxDbTagGripExpr*& expr) {
    expr = nullptr;
    if (id == 0) {
        return KxStatus::kNodeNotFound;
    }
    if (id == ownId) {
        return Acad::eWrongObjectType;
    }
    KxDbTagEvalExpr* node = nullptr;
    const Acad::ErrorStatus es = graph->getNode(id, mode, node);
    if (es != Acad::eOk) {
        return es;
    }
    expr = KxDbTagGripExpr::cast(node);
    if (expr == nullptr) {
        node->close();
        return Acad::eWrongObjectType;
    }
    return Acad::eOk;
}

// Takes an expression node back out of the graph it was added to and disposes of it: a node in
// the database is erased (the database owns it), an in-memory node is handed back by the graph
// and deleted here.
void discardExpression(KxDbTagEvalGraph* graph, KxDbTagGripExpr* expr) {
    if (expr == nullptr) {
        return;
    }
    if (expr->getNodeId() != 0) {
        graph->removeNode(expr);
    }
    if (expr->database() != nullptr) {
        expr->erase();
        expr->close();
    } else {
        delete expr;
    }
}

// The parameter's definition point under its grip of that index: for a two-point parameter
// the base point, the end point, or one of the two corners they span; for a one-point parameter
// its point.
bool parameterPointOf(const KxDbBlockTag* param, int index, AcGePoint3d& point) {
    if (const KxDbBlock2PtTag* twoPt = KxDbBlock2PtTag::cast(param)) {
        const AcGePoint3d base = twoPt->definitionBasePoint();
        const AcGePoint3d end = twoPt->definitionEndPoint();
        switch (index) {
            case 0:
                point = base;
                return true;
            case 1:
                point = end;
                return true;
            case 2:
                point.set(base.x, end.y, end.z);
                return true;
            case 3:
                point.set(end.x, base.y, end.z);
                return true;
            default:
                return false;
        }
    }
    if (const KxDbBlock1PtTag* onePt = KxDbBlock1PtTag::cast(param)) {
        point = onePt->definitionPoint();
        return true;
    }
    return false;
}

}  // namespace

// --- Public grip: one-line forwarders ---------------------------------------------------------

KX_FORWARD(AcGePoint3d, KxDbTagGrip, gripPosition, (), (), const, AcGePoint3d())
KX_FORWARD(AcGePoint3d, KxDbTagGrip, updatedLocation, (), (), const, AcGePoint3d())
KX_FORWARD_STATUS(KxDbTagGrip, setUpdatedLocation, (const AcGePoint3d& point), (point), )
KX_FORWARD(AcGeVector3d, KxDbTagGrip, offsetFromParameterPoint, (), (), const, AcGeVector3d())
KX_FORWARD(AcGeVector3d, KxDbTagGrip, gripOffset, (), (), const, AcGeVector3d())
KX_FORWARD(AcGePoint3d, KxDbTagGrip, location, (), (), const, AcGePoint3d())
KX_FORWARD_STATUS(KxDbTagGrip, setLocation, (const AcGePoint3d& point), (point), )
KX_FORWARD(bool, KxDbTagGrip, insertionCycling, (), (), const, false)
KX_FORWARD_STATUS(KxDbTagGrip, setInsertionCycling, (bool flag), (flag), )
KX_FORWARD(Adesk::Int32, KxDbTagGrip, insertionCyclingWeight, (), (), const, -1)
KX_FORWARD_STATUS(KxDbTagGrip, setInsertionCyclingWeight, (Adesk::Int32 weight), (weight), )
KX_FORWARD_STATUS(KxDbTagGrip, fillGripData, (AcDbGripData * data), (data), )
KX_FORWARD_STATUS(KxDbTagGrip, gripIndex, (int& index), (index), const)
KX_FORWARD_STATUS(KxDbTagGrip, setGripPosition, (const AcGePoint3d& point), (point), )
KX_FORWARD(AcGePoint3d, KxDbTagGrip, expressionPosition, (), (), const, AcGePoint3d())

Acad::ErrorStatus KxDbTagGrip::openParameter(KxDbBlockTag*& param, AcDb::OpenMode mode) const {
    param = nullptr;
    KxDbImpTagGrip* imp = impOf(this);
    return imp != nullptr ? imp->openParameter(param, mode) : Acad::eNullObjectPointer;
}

KX_FORWARD(AcGePoint3d, KxDbTagGrip, parameterPoint, (), (), const, AcGePoint3d())
KX_FORWARD(KxNodeId, KxDbTagGrip, xExpressionId, (), (), const, 0)
KX_FORWARD(KxNodeId, KxDbTagGrip, yExpressionId, (), (), const, 0)

// --- Implementation: construction and plain members -------------------------------------------

KxDbImpTagGrip::KxDbImpTagGrip(AcDbObjectWrapper* pub, const ACHAR* name, const AcGePoint3d& point)
    : KxDbImpTagElement(pub), m_updatedLocation(point), m_fallback(point), m_location(point) {
    // A grip being made is in no graph yet: the name cannot clash with anything.
    KxDbImpTagElement::setName(name);
}

AcGePoint3d KxDbImpTagGrip::updatedLocation() const {
    return m_updatedLocation;
}

Acad::ErrorStatus KxDbImpTagGrip::setUpdatedLocation(const AcGePoint3d& point) {
    assertWriteEnabled();
    m_updatedLocation = point;
    return Acad::eOk;
}

AcGePoint3d KxDbImpTagGrip::location() const {
    return m_location;
}

Acad::ErrorStatus KxDbImpTagGrip::setLocation(const AcGePoint3d& point) {
    assertWriteEnabled();
    m_location = point;
    return Acad::eOk;
}

bool KxDbImpTagGrip::insertionCycling() const {
    return m_insertionCycling;
}

Acad::ErrorStatus KxDbImpTagGrip::setInsertionCycling(bool flag) {
    assertWriteEnabled();
    m_insertionCycling = flag;
    return Acad::eOk;
}

Adesk::Int32 KxDbImpTagGrip::insertionCyclingWeight() const {
    return m_weight;
}

Acad::ErrorStatus KxDbImpTagGrip::setInsertionCyclingWeight(Adesk::Int32 weight) {
    assertWriteEnabled();
    m_weight = weight;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagGrip::fillGripData(AcDbGripData* data) {
    return Acad::eOk;
}

// --- Implementation: position -----------------------------------------------------------------

AcGePoint3d KxDbImpTagGrip::expressionPosition() const {
    if (m_xId == 0 || m_yId == 0) {
        return m_fallback;
    }
    AcGePoint3d position;
    KxDbTagEvalGraph* graph = nullptr;
    if (openOwnerGraph(graph, AcDb::kForRead) != Acad::eOk) {
        return position;
    }
    ClosingHolder graphHolder(graph);
    const KxNodeId ids[2] = {m_xId, m_yId};
    for (int i = 0; i < 2; ++i) {
        KxDbTagGripExpr* expr = nullptr;
        if (openExpression(graph, ids[i], nodeId(), AcDb::kForRead, expr) != Acad::eOk) {
            continue;
        }
        double number = 0.0;
        if (numberOf(expr->value(), number)) {
            position[i] = number;
        }
        expr->close();
    }
    return position;
}

AcGePoint3d KxDbImpTagGrip::gripPosition() const {
    return expressionPosition() + gripOffset();
}

Acad::ErrorStatus KxDbImpTagGrip::setGripPosition(const AcGePoint3d& point) {
    const AcGePoint3d d = point - gripOffset();
    if (m_xId == 0 || m_yId == 0) {
        assertWriteEnabled();
        m_fallback = d;
        return Acad::eOk;
    }
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    ClosingHolder graphHolder(graph);
    const KxNodeId ids[2] = {m_xId, m_yId};
    for (int i = 0; i < 2; ++i) {
        KxDbTagGripExpr* expr = nullptr;
        es = openExpression(graph, ids[i], nodeId(), AcDb::kForWrite, expr);
        if (es != Acad::eOk) {
            return es;
        }
        expr->setRealValue(d[i]);
        expr->close();
    }
    return Acad::eOk;
}

AcGeVector3d KxDbImpTagGrip::offsetFromParameterPoint() const {
    return m_location - parameterPoint();
}

AcGeVector3d KxDbImpTagGrip::gripOffset() const {
    return offsetFromParameterPoint();
}

// --- Implementation: the parameter ------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagGrip::openParameter(KxDbBlockTag*& param, AcDb::OpenMode mode) const {
    param = nullptr;
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    ClosingHolder graphHolder(graph);
    if (m_xId == 0) {
        return KxStatus::kNodeNotFound;
    }
    KxDbTagGripExpr* expr = nullptr;
    es = openExpression(graph, m_xId, nodeId(), AcDb::kForRead, expr);
    if (es != Acad::eOk) {
        return es;
    }
    const KxNodeId targetId = expr->targetNodeId();
    expr->close();
    if (targetId == 0) {
        // An expression that reads nothing has no parameter behind it.
        return KxStatus::kNodeNotFound;
    }
    if (targetId == nodeId()) {
        return Acad::eWrongObjectType;
    }
    KxDbTagEvalExpr* node = nullptr;
    es = graph->getNode(targetId, mode, node);
    if (es != Acad::eOk) {
        return es;
    }
    param = KxDbBlockTag::cast(node);
    if (param == nullptr) {
        node->close();
        return Acad::eWrongObjectType;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagGrip::gripIndex(int& index) const {
    if (nodeId() == 0) {
        return KxStatus::kNotInGraph;
    }
    KxDbBlockTag* param = nullptr;
    Acad::ErrorStatus es = openParameter(param);
    if (es != Acad::eOk) {
        return es;
    }
    es = param->getGripIndex(nodeId(), index);
    param->close();
    return es;
}

AcGePoint3d KxDbImpTagGrip::parameterPoint() const {
    if (nodeId() == 0) {
        return AcGePoint3d();
    }
    KxDbBlockTag* param = nullptr;
    if (openParameter(param) != Acad::eOk) {
        return AcGePoint3d();
    }
    AcGePoint3d point;
    int index = 0;
    if (param->getGripIndex(nodeId(), index) == Acad::eOk) {
        parameterPointOf(param, index, point);
    }
    param->close();
    return point;
}

// --- Implementation: connections --------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagGrip::getConnectionNames(AcStringArray& names) const {
    names.append(AcString(kX));
    names.append(AcString(kY));
    names.append(AcString(kDisplacementX));
    names.append(AcString(kDisplacementY));
    return Acad::eOk;
}

bool KxDbImpTagGrip::hasConnection(const ACHAR* name) const {
    return connectionOf(name) != GripConnection::kNone;
}

Acad::ErrorStatus KxDbImpTagGrip::getConnectionType(const ACHAR* name,
                                                    AcDb::DwgDataType& kind) const {
    if (connectionOf(name) == GripConnection::kNone) {
        kind = AcDb::kDwgNull;
        return Acad::eInvalidInput;
    }
    kind = AcDb::kDwgReal;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagGrip::getConnectionValue(const ACHAR* name,
                                                     KxDbTagEvalVariant& value) const {
    switch (connectionOf(name)) {
        case GripConnection::kX:
            value.setReal(gripPosition().x);
            return Acad::eOk;
        case GripConnection::kY:
            value.setReal(gripPosition().y);
            return Acad::eOk;
        case GripConnection::kDisplacementX:
            value.setReal(m_updatedLocation.x - expressionPosition().x);
            return Acad::eOk;
        case GripConnection::kDisplacementY:
            value.setReal(m_updatedLocation.y - expressionPosition().y);
            return Acad::eOk;
        default:
            return Acad::eInvalidInput;
    }
}

Acad::ErrorStatus KxDbImpTagGrip::openSource(KxNodeId sourceId, KxDbTagEvalExpr*& source,
                                             bool& opened) const {
    Acad::ErrorStatus es = openGraphNode(sourceId, AcDb::kForRead, source, opened);
    if (es == Acad::eWasOpenForWrite || es == Acad::eWasOpenForRead) {
        // The parameter that makes its grips holds itself open while it wires them: a notify
        // open is enough to look at its class and its connections.
        es = openGraphNode(sourceId, AcDb::kForNotify, source, opened);
    }
    return es;
}

Acad::ErrorStatus KxDbImpTagGrip::checkSource(KxNodeId sourceId, const ACHAR* sourceName) const {
    if (nodeId() == 0 || sourceId == 0) {
        return KxStatus::kNotInGraph;
    }
    if (isEmptyName(sourceName)) {
        return Acad::eInvalidInput;
    }
    KxDbTagEvalExpr* source = nullptr;
    bool opened = false;
    const Acad::ErrorStatus es = openSource(sourceId, source, opened);
    if (es == Acad::eKeyNotFound || es == KxStatus::kNodeNotFound) {
        return Acad::eInvalidInput;
    }
    if (es != Acad::eOk) {
        return es;
    }
    // The source must offer a real value under that name: what every grip input carries.
    bool offersReal = false;
    const KxDbTagElement* element = KxDbTagElement::cast(source);
    if (element != nullptr && element->hasConnection(sourceName)) {
        AcDb::DwgDataType kind = AcDb::kDwgNull;
        offersReal =
            element->getConnectionType(sourceName, kind) == Acad::eOk && kind == AcDb::kDwgReal;
    }
    if (opened) {
        source->close();
    }
    return offersReal ? Acad::eOk : Acad::eInvalidInput;
}

Acad::ErrorStatus KxDbImpTagGrip::checkSourceClass(KxNodeId sourceId,
                                                   bool (*accepts)(const AcRxObject*)) const {
    KxDbTagEvalExpr* source = nullptr;
    bool opened = false;
    const Acad::ErrorStatus es = openSource(sourceId, source, opened);
    if (es != Acad::eOk) {
        return es;
    }
    const bool ok = accepts(source);
    if (opened) {
        source->close();
    }
    return ok ? Acad::eOk : Acad::eInvalidInput;
}

Acad::ErrorStatus KxDbImpTagGrip::connectTo(const ACHAR* name, KxNodeId otherId,
                                            const ACHAR* otherName) {
    if (nodeId() == 0 || otherId == 0) {
        return KxStatus::kNotInGraph;
    }
    bool isX = true;
    if (!isExactInput(name, isX)) {
        return Acad::eInvalidInput;
    }
    Acad::ErrorStatus es = checkSource(otherId, otherName);
    if (es != Acad::eOk) {
        return es;
    }
    const KxNodeId exprId = isX ? m_xId : m_yId;
    {
        KxDbTagEvalGraph* graph = nullptr;
        es = openOwnerGraph(graph, AcDb::kForWrite);
        if (es != Acad::eOk) {
            return es;
        }
        KxDbTagGripExpr* expr = nullptr;
        es = openExpression(graph, exprId, nodeId(), AcDb::kForWrite, expr);
        graph->close();
        if (es != Acad::eOk) {
            return es;
        }
        if (expr->targetNodeId() != 0 || !expr->targetConnectionName().isEmpty()) {
            expr->close();
            return Acad::eIllegalReplacement;
        }
        expr->setTargetNodeId(otherId);
        expr->setTargetConnectionName(otherName);
        // Closed before the edge is added: the graph tells the expression about its new edge.
        expr->close();
    }
    es = addGraphEdge(otherId, exprId);
    if (es != Acad::eOk) {
        // Without its edge the expression would read a value the graph never updates: it goes
        // back to reading nothing.
        KxDbTagEvalGraph* graph = nullptr;
        if (openOwnerGraph(graph, AcDb::kForWrite) == Acad::eOk) {
            KxDbTagGripExpr* expr = nullptr;
            if (openExpression(graph, exprId, nodeId(), AcDb::kForWrite, expr) == Acad::eOk) {
                expr->setTargetNodeId(0);
                expr->setTargetConnectionName(L"");
                expr->close();
            }
            graph->close();
        }
    }
    return es;
}

Acad::ErrorStatus KxDbImpTagGrip::disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                                 const ACHAR* otherName) {
    if (nodeId() == 0 || otherId == 0) {
        return KxStatus::kNotInGraph;
    }
    if (isEmptyName(otherName)) {
        return Acad::eInvalidInput;
    }
    bool isX = true;
    if (!isExactInput(name, isX)) {
        return Acad::eInvalidInput;
    }
    const KxNodeId exprId = isX ? m_xId : m_yId;
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    KxDbTagGripExpr* expr = nullptr;
    es = openExpression(graph, exprId, nodeId(), AcDb::kForWrite, expr);
    graph->close();
    if (es != Acad::eOk) {
        return es;
    }
    if (expr->targetNodeId() != otherId ||
        acCompareNoCase(expr->targetConnectionName(), otherName) != 0) {
        expr->close();
        return Acad::eInvalidInput;
    }
    expr->setTargetNodeId(0);
    expr->setTargetConnectionName(L"");
    expr->close();
    // The grip's own open is lowered around the graph call so the graph can notify it.
    return removeGraphEdge(otherId, exprId);
}

bool KxDbImpTagGrip::canConnectTo(const ACHAR* name, KxNodeId otherId,
                                  const ACHAR* otherName) const {
    bool isX = true;
    if (!isExactInput(name, isX) || checkSource(otherId, otherName) != Acad::eOk) {
        return false;
    }
    KxDbTagEvalGraph* graph = nullptr;
    if (openOwnerGraph(graph, AcDb::kForRead) != Acad::eOk) {
        return true;
    }
    KxDbTagGripExpr* expr = nullptr;
    const Acad::ErrorStatus es =
        openExpression(graph, isX ? m_xId : m_yId, nodeId(), AcDb::kForRead, expr);
    graph->close();
    if (es != Acad::eOk) {
        // An expression that cannot be read does not stand in the way.
        return true;
    }
    const bool free = expr->targetNodeId() == 0 && expr->targetConnectionName().isEmpty();
    expr->close();
    return free;
}

// --- Implementation: graph membership ---------------------------------------------------------

Acad::ErrorStatus KxDbImpTagGrip::addedToGraph(KxDbTagEvalGraph* graph) {
    return addExpressionNodes(graph);
}

Acad::ErrorStatus KxDbImpTagGrip::removedFromGraph(KxDbTagEvalGraph* graph) {
    // An in-memory graph that moves into a database tells each node it leaves the memory graph
    // while it still holds them all: the grip keeps its place and its expressions, which move
    // along, and only forgets the graph. A grip that is really removed is no longer held.
    if (graph != nullptr && graph->objectId().isNull() && nodeId() != 0) {
        KxDbTagEvalExpr* held = nullptr;
        if (graph->getNode(nodeId(), AcDb::kForRead, held) == Acad::eOk) {
            const bool stays = held == node();
            held->close();
            if (stays) {
                return KxDbImpTagElement::removedFromGraph(graph);
            }
        }
    }
    return removeExpressionNodes(graph);
}

Acad::ErrorStatus KxDbImpTagGrip::addExpressionNodes(KxDbTagEvalGraph* graph) {
    if (graph != nullptr) {
        // Nodes come from the host heap, whose allocation answers null on failure; a node
        // without its implementation is as unusable as none.
        KxDbTagGripExpr* x = new KxDbTagGripExpr();
        KxDbTagGripExpr* y = new KxDbTagGripExpr();
        if (x == nullptr || y == nullptr || AcDbObjectWrapper::getImp(x) == nullptr ||
            AcDbObjectWrapper::getImp(y) == nullptr) {
            // Nothing was added yet: the one that was made goes again.
            delete x;
            delete y;
        } else {
            x->setRealValue(m_fallback.x);
            y->setRealValue(m_fallback.y);
            KxNodeId xId = 0;
            KxNodeId yId = 0;
            Acad::ErrorStatus es = graph->addNode(x, xId);
            if (es == Acad::eOk) {
                es = graph->addNode(y, yId);
            }
            if (es != Acad::eOk) {
                // Neither half of a position is kept: a grip with one expression would read
                // its other coordinate from nowhere. The grip is a node of the graph all the
                // same, so it still takes the element's part of joining it and keeps working
                // from its fallback position.
                discardExpression(graph, x);
                discardExpression(graph, y);
                KxDbImpTagElement::addedToGraph(graph);
                return es;
            }
            x->close();
            y->close();
            assertWriteEnabled();
            m_xId = xId;
            m_yId = yId;
        }
    }
    return KxDbImpTagElement::addedToGraph(graph);
}

Acad::ErrorStatus KxDbImpTagGrip::removeExpressionNodes(KxDbTagEvalGraph* graph) {
    if (graph != nullptr) {
        const KxNodeId ids[2] = {m_xId, m_yId};
        for (int i = 0; i < 2; ++i) {
            if (i == 1 && ids[1] == ids[0]) {
                continue;  // a damaged record naming one node twice
            }
            KxDbTagGripExpr* expr = nullptr;
            if (openExpression(graph, ids[i], nodeId(), AcDb::kForWrite, expr) != Acad::eOk) {
                continue;
            }
            double number = 0.0;
            if (numberOf(expr->value(), number)) {
                // The position the grip had in the graph stays its position out of it.
                assertWriteEnabled();
                m_fallback[i] = number;
            }
            if (graph->removeNode(expr) == Acad::eOk && expr->database() == nullptr) {
                // The graph handed the in-memory node back.
                delete expr;
                continue;
            }
            if (expr->database() != nullptr) {
                expr->erase();
            }
            expr->close();
        }
    }
    assertWriteEnabled();
    m_xId = 0;
    m_yId = 0;
    return KxDbImpTagElement::removedFromGraph(graph);
}

void KxDbImpTagGrip::evaluationSucceeded(bool isActive) {
    KxDbImpTagElement::evaluationSucceeded(isActive);
    // Only a grip that was evaluated had its offset taken off the updated location; putting it
    // back on any other grip would shift it on every evaluation of the graph.
    if (isActive) {
        const AcGeVector3d offset = gripOffset();
        assertWriteEnabled();
        m_updatedLocation += offset;
    }
}

// --- Implementation: filing -------------------------------------------------------------------

namespace {

bool isIdOnlyFiler(AcDb::FilerType type) {
    return type == AcDb::kIdXlateFiler || type == AcDb::kIdFiler || type == AcDb::kPurgeFiler;
}

// Drawings of version 25 with maintenance versions 55 to 60 were written before the insertion
// cycling flag existed.
bool lacksInsertionCycling(int ver, int maint) {
    return ver == 25 && maint >= 55 && maint <= 60;
}

}  // namespace

Acad::ErrorStatus KxDbImpTagGrip::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagElement::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (isIdOnlyFiler(filer->filerType())) {
        return filer->filerStatus();
    }
    filer->writeUInt32(m_xId);
    filer->writeUInt32(m_yId);
    filer->writePoint3d(m_location);
    filer->writeBool(m_insertionCycling);
    filer->writeInt32(m_weight);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagGrip::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagElement::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (filer->filerType() == AcDb::kIdXlateFiler) {
        return filer->filerStatus();
    }
    AcDb::AcDbDwgVersion ver = AcDb::kDHL_CURRENT;
    AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseCurrent;
    filer->dwgVersion(ver, maint);
    const int v = static_cast<int>(ver);
    const int m = static_cast<int>(maint);

    Adesk::UInt32 xId = 0;
    Adesk::UInt32 yId = 0;
    AcGePoint3d location;
    if ((es = filer->readUInt32(&xId)) != Acad::eOk ||
        (es = filer->readUInt32(&yId)) != Acad::eOk ||
        (es = filer->readPoint3d(&location)) != Acad::eOk) {
        return es;
    }
    Adesk::Boolean cycling = true;
    if (!lacksInsertionCycling(v, m) && (es = filer->readBool(&cycling)) != Acad::eOk) {
        return es;
    }
    Adesk::Int32 weight = 0;
    if (isReadVersionAfter(62) && (es = filer->readInt32(&weight)) != Acad::eOk) {
        return es;
    }
    m_xId = xId;
    m_yId = yId;
    m_location = location;
    m_insertionCycling = cycling;
    m_weight = weight;
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagGrip::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagElement::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kGripMarker);
    filer->writeInt32(91, static_cast<Adesk::Int32>(m_xId));
    filer->writeInt32(92, static_cast<Adesk::Int32>(m_yId));
    filer->writePoint3d(1010, m_location);
    filer->writeInt8(280, m_insertionCycling ? 1 : 0);
    filer->writeInt32(93, m_weight);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagGrip::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagElement::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kGripMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    AcDb::AcDbDwgVersion ver = AcDb::kDHL_CURRENT;
    AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseCurrent;
    filer->dwgVersion(ver, maint);

    Adesk::Int32 xId = 0;
    Adesk::Int32 yId = 0;
    Adesk::Int32 weight = 0;
    bool cycling = true;
    AcGePoint3d location;
    bool haveX = false;
    bool haveY = false;
    bool haveLocation = false;
    bool haveCycling = false;
    bool haveWeight = false;
    for (;;) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return Acad::eFilerError;
        }
        switch (rb.restype) {
            case 91:
                xId = rb.resval.rlong;
                haveX = true;
                continue;
            case 92:
                yId = rb.resval.rlong;
                haveY = true;
                continue;
            case 93:
                weight = rb.resval.rlong;
                haveWeight = true;
                continue;
            case 280:
            case 290:
                cycling = rb.resval.rint != 0;
                haveCycling = true;
                continue;
            case 1010:
                location.set(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
                haveLocation = true;
                continue;
            default:
                break;
        }
        kxnode::releaseDxfItem(rb);
        filer->pushBackItem();
        break;
    }
    if (!haveX || !haveY || !haveLocation) {
        return Acad::eMissingDxfField;
    }
    const bool after62 = isReadVersionAfter(62);
    if (!haveCycling &&
        !(lacksInsertionCycling(static_cast<int>(ver), static_cast<int>(maint)) && !after62)) {
        return Acad::eMissingDxfField;
    }
    if (!haveWeight && after62) {
        return Acad::eMissingDxfField;
    }
    m_xId = static_cast<KxNodeId>(xId);
    m_yId = static_cast<KxNodeId>(yId);
    m_location = location;
    m_insertionCycling = cycling;
    m_weight = weight;
    return Acad::eOk;
}
