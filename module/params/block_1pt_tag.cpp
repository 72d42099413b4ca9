#include "module/params/block_1pt_tag.h"

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/frame/opened.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip.h"
#include "module/params/block_1pt_tag_imp.h"
#include "module/params/param_grips.h"
#include "module/params/param_inputs.h"

KX_DEFINE_PAIR(KxDbBlock1PtTag, KxDbBlockTag, KxDbImpBlock1PtTag)

namespace {

KxDbImpBlock1PtTag* impOf(const KxDbBlock1PtTag* tag) {
    return kxImpOf<KxDbImpBlock1PtTag>(tag);
}

const ACHAR* const kOnePointMarker = L"AcDbBlock1PtParameter";

// The connections, in the order they are listed; all are reals.
const ACHAR* const kConnections[] = {L"X", L"Y", L"UpdatedX", L"UpdatedY", L"XDelta", L"YDelta"};

int connectionIndex(const ACHAR* name) {
    if (name == nullptr) {
        return -1;
    }
    for (int i = 0; i < static_cast<int>(sizeof(kConnections) / sizeof(kConnections[0])); ++i) {
        if (acCompareNoCase(AcString(name), AcString(kConnections[i])) == 0) {
            return i;
        }
    }
    return -1;
}

using kxframe::Opened;

}  // namespace

// --- Public: one-line forwarders --------------------------------------------------------------

KX_FORWARD(AcGePoint3d, KxDbBlock1PtTag, currentPoint, (), (), const, AcGePoint3d())
KX_FORWARD_STATUS(KxDbBlock1PtTag, setCurrentPoint, (const AcGePoint3d& point), (point), )
KX_FORWARD(AcGePoint3d, KxDbBlock1PtTag, updatedPoint, (), (), const, AcGePoint3d())
KX_FORWARD_STATUS(KxDbBlock1PtTag, setUpdatedPoint, (const AcGePoint3d& point), (point), )
KX_FORWARD(AcGePoint3d, KxDbBlock1PtTag, definitionPoint, (), (), const, AcGePoint3d())
KX_FORWARD_STATUS(KxDbBlock1PtTag, setDefinitionPoint, (const AcGePoint3d& point), (point), )
KX_FORWARD(KxNodeId, KxDbBlock1PtTag, gripId, (), (), const, 0)

// --- Implementation: points -------------------------------------------------------------------

const ACHAR* KxDbImpBlock1PtTag::inputName(Input which) {
    return which == kInputX ? L"UpdatedX" : L"UpdatedY";
}

void KxDbImpBlock1PtTag::setGripId(KxNodeId id) {
    assertWriteEnabled();
    m_gripId = id;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::setCurrentPoint(const AcGePoint3d& point) {
    assertWriteEnabled();
    m_currentPoint = point;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::setUpdatedPoint(const AcGePoint3d& point) {
    assertWriteEnabled();
    m_updatedPoint = point;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::setDefinitionPoint(const AcGePoint3d& point) {
    assertWriteEnabled();
    const AcGePoint3d old = m_definitionPoint;
    m_definitionPoint = point;
    m_currentPoint = point;
    m_updatedPoint = point;
    if (m_gripId == 0 || !m_movingDefinition) {
        return Acad::eOk;
    }
    // The grip keeps its offset from the point it belongs to.
    Opened<KxDbTagEvalGraph> graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    Opened<KxDbTagEvalExpr> grip;
    if ((es = graph->getNode(m_gripId, AcDb::kForWrite, grip.slot())) != Acad::eOk) {
        return es;
    }
    AcGePoint3d location;
    if ((es = kxparam::gripLocation(grip.get(), location)) != Acad::eOk) {
        return es;
    }
    return kxparam::setGripLocation(grip.get(), point + (location - old));
}

// --- Implementation: grips --------------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock1PtTag::getGripCount(int& count) const {
    count = m_gripId != 0 ? 1 : 0;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::setGripCount(int count) {
    if (count < 0 || count > 1) {
        return Acad::eInvalidInput;
    }
    if ((count == 1) == (m_gripId != 0)) {
        return Acad::eOk;
    }
    Opened<KxDbTagEvalGraph> graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    if (count == 0) {
        return removeGripInGraph(0, graph.get());
    }
    KxNodeId id = 0;
    es = addGrip(0, id, graph.get());
    if (es == Acad::eOk && m_gripId == 0 && id != 0) {
        setGripId(id);
    }
    return es;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::getGripIndex(KxNodeId id, int& index) const {
    if (id == 0) {
        return KxStatus::kNotInGraph;
    }
    if (id != m_gripId) {
        return KxStatus::kNodeNotFound;
    }
    index = 0;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::getGrips(KxDbTagGripPtrArray& grips,
                                               AcDb::OpenMode mode) const {
    grips.setLogicalLength(0);
    if (m_gripId == 0) {
        return Acad::eOk;
    }
    Opened<KxDbTagEvalGraph> graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    Opened<KxDbTagEvalExpr> node;
    if ((es = graph->getNode(m_gripId, mode, node.slot())) != Acad::eOk) {
        return es;
    }
    KxDbTagGrip* grip = KxDbTagGrip::cast(node.get());
    if (grip == nullptr) {
        return Acad::eWrongObjectType;
    }
    node.release();
    grips.append(grip);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::removeGripInGraph(int index, KxDbTagEvalGraph* graph) {
    if (index != 0) {
        return Acad::eInvalidInput;
    }
    if (nodeId() == 0) {
        return KxStatus::kNotInGraph;
    }
    if (m_gripId == 0) {
        return KxStatus::kNodeNotFound;
    }
    assertWriteEnabled();
    const KxNodeId grip = m_gripId;
    m_inputs[kInputX].erase(grip);
    m_inputs[kInputY].erase(grip);
    m_gripId = 0;
    return removeGripNode(graph, grip);
}

Acad::ErrorStatus KxDbImpBlock1PtTag::detachFromGraph(KxDbTagEvalGraph* graph) {
    if (m_gripId != 0 && hasLeftGraph(graph)) {
        runWritable([this, graph]() { removeGripInGraph(0, graph); });
    }
    return KxDbImpBlockTag::detachFromGraph(graph);
}

Acad::ErrorStatus KxDbImpBlock1PtTag::nodeRemoved(KxNodeId id) {
    runWritable([this, id]() {
        // A node that is gone feeds nothing any more.
        if (id == m_gripId) {
            m_gripId = 0;
        }
        m_inputs[kInputX].erase(id);
        m_inputs[kInputY].erase(id);
    });
    return KxDbImpBlockTag::nodeRemoved(id);
}

Acad::ErrorStatus KxDbImpBlock1PtTag::placeGripsAtDefinition() {
    if (m_gripId == 0) {
        return Acad::eOk;
    }
    Opened<KxDbTagEvalGraph> graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    Opened<KxDbTagEvalExpr> grip;
    if ((es = graph->getNode(m_gripId, AcDb::kForWrite, grip.slot())) != Acad::eOk) {
        return es;
    }
    return kxparam::placeGripAt(grip.get(), m_definitionPoint);
}

// --- Implementation: connections --------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock1PtTag::getConnectionNames(AcStringArray& names) const {
    for (const ACHAR* name : kConnections) {
        names.append(AcString(name));
    }
    return Acad::eOk;
}

bool KxDbImpBlock1PtTag::hasConnection(const ACHAR* name) const {
    return connectionIndex(name) >= 0;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::getConnectionType(const ACHAR* name,
                                                        AcDb::DwgDataType& kind) const {
    if (connectionIndex(name) < 0) {
        kind = AcDb::kDwgNull;
        return Acad::eInvalidInput;
    }
    kind = AcDb::kDwgReal;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::getConnectionValue(const ACHAR* name,
                                                         KxDbTagEvalVariant& value) const {
    switch (connectionIndex(name)) {
        case 0:
            value.setReal(m_currentPoint.x);
            return Acad::eOk;
        case 1:
            value.setReal(m_currentPoint.y);
            return Acad::eOk;
        case 2:
            value.setReal(m_updatedPoint.x);
            return Acad::eOk;
        case 3:
            value.setReal(m_updatedPoint.y);
            return Acad::eOk;
        case 4:
            value.setReal(m_updatedPoint.x - m_currentPoint.x);
            return Acad::eOk;
        case 5:
            value.setReal(m_updatedPoint.y - m_currentPoint.y);
            return Acad::eOk;
        default:
            return Acad::eInvalidInput;
    }
}

namespace {
// The input a target name selects, compared with case; -1 for none.
int inputOf(const ACHAR* name) {
    if (name == nullptr) {
        return -1;
    }
    const AcString text(name);
    if (text == L"UpdatedX") {
        return KxDbImpBlock1PtTag::kInputX;
    }
    if (text == L"UpdatedY") {
        return KxDbImpBlock1PtTag::kInputY;
    }
    return -1;
}
// The input a connection name names, compared without regard to case; -1 for none.
int inputNamed(const ACHAR* name) {
    const int index = connectionIndex(name);
    return index == 2 ? KxDbImpBlock1PtTag::kInputX
                      : (index == 3 ? KxDbImpBlock1PtTag::kInputY : -1);
}
}  // namespace

Acad::ErrorStatus KxDbImpBlock1PtTag::checkIds(KxNodeId sourceId) const {
    if (nodeId() == 0 && sourceId == 0) {
        return KxStatus::kNotInGraph;
    }
    // A source the graph cannot have is no source at all; a parameter outside a graph has
    // nothing to connect.
    if (sourceId == 0) {
        return Acad::eInvalidInput;
    }
    return nodeId() == 0 ? KxStatus::kNotInGraph : Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::connectTo(const ACHAR* name, KxNodeId otherId,
                                                const ACHAR* otherName) {
    assertWriteEnabled();
    Acad::ErrorStatus es = checkIds(otherId);
    if (es != Acad::eOk) {
        return es;
    }
    const int input = inputOf(name);
    if (input < 0) {
        return Acad::eInvalidInput;
    }
    return connectInput(name, otherId, otherName, m_inputs[input]);
}

Acad::ErrorStatus KxDbImpBlock1PtTag::disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                                     const ACHAR* otherName) {
    assertWriteEnabled();
    Acad::ErrorStatus es = checkIds(otherId);
    if (es != Acad::eOk) {
        return es;
    }
    const int input = inputOf(name);
    if (input < 0) {
        return Acad::eInvalidInput;
    }
    return disconnectInput(otherId, otherName, m_inputs[input]);
}

bool KxDbImpBlock1PtTag::canConnectTo(const ACHAR* name, KxNodeId otherId,
                                      const ACHAR* otherName) const {
    const int input = inputOf(name);
    return input >= 0 && checkIds(otherId) == Acad::eOk &&
           checkInputConnection(name, otherId, otherName, m_inputs[input]) == Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::getConnectedNodes(const ACHAR* name,
                                                        KxNodeIdArray& ids) const {
    const int input = inputNamed(name);
    return connectedNodesOf(connectionIndex(name) >= 0, input >= 0 ? &m_inputs[input] : nullptr,
                            ids);
}

Acad::ErrorStatus KxDbImpBlock1PtTag::getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                                              AcStringArray& names) const {
    const int input = inputNamed(name);
    return connectedConnectionsOf(connectionIndex(name) >= 0,
                                  input >= 0 ? &m_inputs[input] : nullptr, nodeId, names);
}

// --- Implementation: evaluation ---------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock1PtTag::evaluate(KxDbTagEvalContext* context) {
    assertWriteEnabled();
    double d[kInputCount] = {0.0, 0.0};
    bool found[kInputCount] = {false, false};
    const Acad::ErrorStatus es = readInputDisplacements(m_inputs, kInputCount, d, found);
    if (es != Acad::eOk) {
        return es;
    }
    if (found[kInputX] || found[kInputY]) {
        m_updatedPoint = m_currentPoint + AcGeVector3d(d[kInputX], d[kInputY], 0.0);
    }
    return Acad::eOk;
}

void KxDbImpBlock1PtTag::evaluationSucceeded(bool isActive) {
    assertWriteEnabled();
    m_currentPoint = m_updatedPoint;
}

// --- Implementation: editing as geometry ------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock1PtTag::getGripPoints(AcGePoint3dArray& points) const {
    points.append(m_updatedPoint);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::moveGripPointsAt(const AcDbIntArray& indices,
                                                       const AcGeVector3d& offset) {
    assertWriteEnabled();
    for (int i = 0; i < indices.length(); ++i) {
        if (indices[i] != 0) {
            return Acad::eInvalidInput;
        }
        m_updatedPoint += offset;
        if (!chainActions()) {
            m_currentPoint += offset;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::transformInstanceBy(const AcGeMatrix3d& xform) {
    assertWriteEnabled();
    m_updatedPoint.transformBy(xform);
    if (!chainActions()) {
        m_currentPoint.transformBy(xform);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::transformBy(const AcGeMatrix3d& xform) {
    AcGePoint3d point = m_definitionPoint;
    point.transformBy(xform);
    m_movingDefinition = true;
    const Acad::ErrorStatus es = setDefinitionPoint(point);
    m_movingDefinition = false;
    return es;
}

// --- Implementation: instance data ------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock1PtTag::getInstanceData(resbuf*& chain) const {
    Acad::ErrorStatus es = KxDbImpBlockTag::getInstanceData(chain);
    if (es != Acad::eOk) {
        return es;
    }
    kxinst::ChainBuilder builder(chain);
    chain = nullptr;
    builder.point(10, m_currentPoint);
    es = builder.status();
    chain = builder.release();
    return es;
}

Acad::ErrorStatus KxDbImpBlock1PtTag::setInstanceData(const resbuf*& cursor, int option) {
    Acad::ErrorStatus es = KxDbImpBlockTag::setInstanceData(cursor, option);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d point;
    if ((es = kxinst::readPoint(cursor, 10, point)) != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    m_updatedPoint = point;
    if (option != 0) {
        m_currentPoint = point;
    }
    return Acad::eOk;
}

// --- Implementation: filing -------------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlock1PtTag::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpBlockTag::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    if (type == AcDb::kIdXlateFiler || type == AcDb::kIdFiler || type == AcDb::kPurgeFiler) {
        return Acad::eOk;
    }
    filer->writePoint3d(m_definitionPoint);
    kxparam::writeInputsDwg(filer, m_inputs[kInputX]);
    kxparam::writeInputsDwg(filer, m_inputs[kInputY]);
    filer->writeUInt32(m_gripId);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlock1PtTag::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = KxDbImpBlockTag::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (filer->filerType() == AcDb::kIdXlateFiler) {
        return Acad::eOk;
    }
    AcGePoint3d point;
    if ((es = filer->readPoint3d(&point)) != Acad::eOk) {
        return es;
    }
    setDefinitionPoint(point);
    KxConnectionMap xs;
    KxConnectionMap ys;
    Adesk::UInt32 grip = 0;
    if ((es = kxparam::readInputsDwg(filer, xs)) != Acad::eOk ||
        (es = kxparam::readInputsDwg(filer, ys)) != Acad::eOk ||
        (es = filer->readUInt32(&grip)) != Acad::eOk) {
        return es;
    }
    m_inputs[kInputX] = xs;
    m_inputs[kInputY] = ys;
    m_gripId = grip;
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlock1PtTag::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpBlockTag::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kOnePointMarker);
    filer->writePoint3d(1010, m_definitionPoint);
    filer->writeInt32(93, static_cast<Adesk::Int32>(m_gripId));
    kxparam::writeInputsDxf(filer, 170, 91, 301, m_inputs[kInputX]);
    kxparam::writeInputsDxf(filer, 171, 92, 302, m_inputs[kInputY]);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlock1PtTag::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = KxDbImpBlockTag::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kOnePointMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    AcGePoint3d point;
    KxNodeId grip = 0;
    KxConnectionMap xs;
    KxConnectionMap ys;
    bool havePoint = false;
    bool haveGrip = false;
    bool haveXs = false;
    bool haveYs = false;
    for (;;) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        if (rb.restype == 1010) {
            point.set(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
            havePoint = true;
        } else if (rb.restype == 93) {
            grip = static_cast<KxNodeId>(rb.resval.rlong);
            haveGrip = true;
        } else if (rb.restype == 170) {
            if ((es = kxparam::readInputsDxf(filer, rb.resval.rint, 91, 301, xs)) != Acad::eOk) {
                return es;
            }
            haveXs = true;
        } else if (rb.restype == 171) {
            if ((es = kxparam::readInputsDxf(filer, rb.resval.rint, 92, 302, ys)) != Acad::eOk) {
                return es;
            }
            haveYs = true;
        } else {
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            break;
        }
    }
    if (!havePoint || !haveGrip || !haveXs || !haveYs) {
        return Acad::eMissingDxfField;
    }
    assertWriteEnabled();
    m_definitionPoint = point;
    m_gripId = grip;
    m_inputs[kInputX] = xs;
    m_inputs[kInputY] = ys;
    return Acad::eOk;
}
