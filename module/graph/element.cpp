#include "module/graph/element.h"

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/element_class_names.h"
#include "module/graph/element_imp.h"
#include "module/graph/eval_graph.h"

KX_DEFINE_PAIR(KxDbTagElement, KxDbTagEvalConnectable, KxDbImpTagElement)

namespace {

KxDbImpTagElement* impOf(const KxDbTagElement* element) {
    return kxImpOf<KxDbImpTagElement>(element);
}

const ACHAR* const kElementMarker = L"AcDbBlockElement";

// The header version written with an element: drawings before version 26 get the layout they
// can read.
Adesk::Int32 writtenVersion(int filerVersion) {
    return filerVersion < 26 ? 25 : 33;
}
Adesk::Int32 writtenMaint(int filerVersion) {
    return filerVersion < 26 ? 104 : 228;
}

// Instance-data header: two hashes, then the version of the layout that follows.
constexpr int kHashCode = 1071;
constexpr int kVersionCode = 70;
constexpr Adesk::Int16 kHeaderMajor = 25;
constexpr Adesk::Int16 kHeaderMinor = 104;
// Data written before the header existed.
constexpr Adesk::Int32 kHeaderlessMajor = 25;
constexpr Adesk::Int32 kHeaderlessMinor = 67;

}  // namespace

// --- Public element: one-line forwarders ------------------------------------------------------

KX_FORWARD_STATUS(KxDbTagElement, getConnectionNames, (AcStringArray & names), (names), const)
KX_FORWARD(bool, KxDbTagElement, hasConnection, (const ACHAR* name), (name), const, false)
KX_FORWARD_STATUS(KxDbTagElement, getConnectionType, (const ACHAR* name, AcDb::DwgDataType& kind),
                  (name, kind), const)
KX_FORWARD_STATUS(KxDbTagElement, getConnectionValue,
                  (const ACHAR* name, KxDbTagEvalVariant& value), (name, value), const)
KX_FORWARD_STATUS(KxDbTagElement, connectTo,
                  (const ACHAR* name, KxNodeId otherId, const ACHAR* otherName),
                  (name, otherId, otherName), )

KX_FORWARD_STATUS(KxDbTagElement, disconnectFrom,
                  (const ACHAR* name, KxNodeId otherId, const ACHAR* otherName),
                  (name, otherId, otherName), )
KX_FORWARD(bool, KxDbTagElement, canConnectTo,
           (const ACHAR* name, KxNodeId otherId, const ACHAR* otherName),
           (name, otherId, otherName), const, false)
KX_FORWARD_STATUS(KxDbTagElement, getConnectedNodes, (const ACHAR* name, KxNodeIdArray& ids),
                  (name, ids), const)

KX_FORWARD_STATUS(KxDbTagElement, getConnectedConnections,
                  (const ACHAR* name, KxNodeId nodeId, AcStringArray& names), (name, nodeId, names),
                  const)
KX_FORWARD_STATUS(KxDbTagElement, addedToGraph, (KxDbTagEvalGraph * graph), (graph), )
KX_FORWARD_STATUS(KxDbTagElement, removedFromGraph, (KxDbTagEvalGraph * graph), (graph), )
KX_FORWARD_STATUS(KxDbTagElement, nodeRemoved, (KxNodeId id), (id), )
KX_FORWARD_STATUS(KxDbTagElement, edgeRemoved, (KxNodeId otherId), (otherId), )
KX_FORWARD_STATUS(KxDbTagElement, edgeAdded,
                  (KxNodeId sourceId, KxNodeId targetId, bool bidirectional),
                  (sourceId, targetId, bidirectional), )
KX_FORWARD_STATUS(KxDbTagElement, attachToGraph, (KxDbTagEvalGraph * graph), (graph), )
KX_FORWARD_STATUS(KxDbTagElement, setOwnerGraph, (KxDbTagEvalGraph * graph), (graph), )
KX_FORWARD(bool, KxDbTagElement, evaluatesOnLoad, (), (), const, true)
KX_FORWARD(void, KxDbTagElement, getExtraActivation, (KxNodeIdArray & ids), (ids), const, (void)0)
KX_FORWARD(void, KxDbTagElement, beginEvaluation, (bool isActive), (isActive), , (void)0)
KX_FORWARD(void, KxDbTagElement, evaluationSucceeded, (bool isActive), (isActive), , (void)0)
KX_FORWARD(void, KxDbTagElement, evaluationFailed, (bool isActive), (isActive), , (void)0)
KX_FORWARD_STATUS(KxDbTagElement, evaluate, (KxDbTagEvalContext * context), (context), )
KX_FORWARD(AcString, KxDbTagElement, getName, (), (), const, AcString())
KX_FORWARD_STATUS(KxDbTagElement, setName, (const ACHAR* name), (name), )
KX_FORWARD_STATUS(KxDbTagElement, clearElementStateFlag, (), (), )
KX_FORWARD(Adesk::Int32, KxDbTagElement, elementStateFlag, (), (), const, 0)
KX_FORWARD_STATUS(KxDbTagElement, applyInstanceData, (const resbuf*& cursor), (cursor), )
KX_FORWARD_STATUS(KxDbTagElement, setInstanceData, (const resbuf*& cursor, int option),
                  (cursor, option), )
KX_FORWARD(Adesk::Int32, KxDbTagElement, instanceDataVersionMajor, (), (), const, 0)
KX_FORWARD(Adesk::Int32, KxDbTagElement, instanceDataVersionMinor, (), (), const, 0)
KX_FORWARD(bool, KxDbTagElement, hasInstanceData, (), (), const, false)

Acad::ErrorStatus KxDbTagElement::getInstanceData(resbuf*& chain) const {
    chain = nullptr;
    KxDbImpTagElement* imp = impOf(this);
    return imp != nullptr ? imp->getInstanceData(chain) : Acad::eNullObjectPointer;
}

KX_FORWARD(void, KxDbTagElement, setDisplayFlag, (Adesk::Int32 flag), (flag), , (void)0)
KX_FORWARD(Adesk::Int32, KxDbTagElement, displayFlag, (), (), const, 1)
KX_FORWARD_STATUS(KxDbTagElement, getGripPoints, (AcGePoint3dArray & points), (points), const)
KX_FORWARD_STATUS(KxDbTagElement, moveGripPointsAt,
                  (const AcDbIntArray& indices, const AcGeVector3d& offset), (indices, offset), )
KX_FORWARD_STATUS(KxDbTagElement, transformBy, (const AcGeMatrix3d& xform), (xform), )
KX_FORWARD(bool, KxDbTagElement, wantsHistory, (), (), const, false)
KX_FORWARD(int, KxDbTagElement, historyMergeMode, (), (), const, 2)

// --- Implementation: connection protocol defaults ---------------------------------------------

Acad::ErrorStatus KxDbImpTagElement::getConnectionNames(AcStringArray& names) const {
    return Acad::eNotImplementedYet;
}

bool KxDbImpTagElement::hasConnection(const ACHAR* name) const {
    return false;
}

Acad::ErrorStatus KxDbImpTagElement::getConnectionType(const ACHAR* name,
                                                       AcDb::DwgDataType& kind) const {
    return Acad::eNotImplementedYet;
}

Acad::ErrorStatus KxDbImpTagElement::getConnectionValue(const ACHAR* name,
                                                        KxDbTagEvalVariant& value) const {
    return Acad::eNotImplementedYet;
}

Acad::ErrorStatus KxDbImpTagElement::connectTo(const ACHAR* name, KxNodeId otherId,
                                               const ACHAR* otherName) {
    return Acad::eNotImplementedYet;
}

Acad::ErrorStatus KxDbImpTagElement::disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                                    const ACHAR* otherName) {
    return Acad::eNotImplementedYet;
}

bool KxDbImpTagElement::canConnectTo(const ACHAR* name, KxNodeId otherId,
                                     const ACHAR* otherName) const {
    return false;
}

Acad::ErrorStatus KxDbImpTagElement::getConnectedNodes(const ACHAR* name,
                                                       KxNodeIdArray& ids) const {
    return Acad::eNotImplementedYet;
}

Acad::ErrorStatus KxDbImpTagElement::getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                                             AcStringArray& names) const {
    return Acad::eNotImplementedYet;
}

// --- Implementation: hooks --------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagElement::clearStateFlagForTheMoment() {
    AcDbObjectWrapper* pub = publicObject();
    if (pub == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (pub->isWriteEnabled()) {
        return clearElementStateFlag();
    }
    // Open for read: upgrade the caller's open and give it back as a read.
    Acad::ErrorStatus es = pub->upgradeOpen();
    if (es == Acad::eOk) {
        es = clearElementStateFlag();
        pub->downgradeOpen();
        return es;
    }
    // Open for notify (how the graph hands a node its notifications).
    if (es == Acad::eWasOpenForNotify) {
        Adesk::Boolean wasWritable = false;
        es = pub->upgradeFromNotify(wasWritable);
        if (es == Acad::eOk) {
            es = clearElementStateFlag();
            pub->downgradeToNotify(wasWritable);
        }
    }
    return es;
}

Acad::ErrorStatus KxDbImpTagElement::addedToGraph(KxDbTagEvalGraph* graph) {
    assertNotifyEnabled();
    // The graph is remembered first: recomputing the flag may need to reach it.
    KxDbImpTagEvalConnectable::addedToGraph(graph);
    clearStateFlagForTheMoment();
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagElement::nodeRemoved(KxNodeId id) {
    assertNotifyEnabled();
    clearStateFlagForTheMoment();
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagElement::edgeAdded(KxNodeId sourceId, KxNodeId targetId,
                                               bool bidirectional) {
    assertNotifyEnabled();
    clearStateFlagForTheMoment();
    return Acad::eOk;
}

// --- Implementation: element operations -------------------------------------------------------

Acad::ErrorStatus KxDbImpTagElement::setName(const ACHAR* name) {
    assertWriteEnabled();
    const AcString newName(name);
    if (!newName.isEmpty() && nodeId() != 0 && acCompareNoCase(newName, m_name) != 0) {
        KxDbTagEvalGraph* graph = nullptr;
        Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForRead);
        if (es == Acad::eOk) {
            KxNodeIdArray ids;
            es = graph->getAllNodeIds(ids);
            for (int i = 0; es == Acad::eOk && i < ids.length(); ++i) {
                // The element itself keeps its old name until the check is done.
                if (ids[i] == nodeId()) {
                    continue;
                }
                KxDbTagEvalExpr* other = nullptr;
                const Acad::ErrorStatus os = graph->getNode(ids[i], AcDb::kForRead, other);
                if (os == Acad::eWasOpenForWrite || os == Acad::eWasOpenForRead) {
                    // Open elsewhere in this call chain: nothing to compare against here.
                    continue;
                }
                if (os != Acad::eOk) {
                    es = os;
                    break;
                }
                const KxDbTagElement* otherElement = KxDbTagElement::cast(other);
                if (otherElement != nullptr &&
                    acCompareNoCase(otherElement->getName(), newName) == 0) {
                    es = Acad::eDuplicateKey;
                }
                other->close();
            }
            graph->close();
            if (es != Acad::eOk) {
                return es;
            }
        } else if (es != Acad::eNullObjectPointer) {
            // A node id without a reachable graph (a lone copy) has nobody to clash with.
            return es;
        }
    }
    m_name = newName;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagElement::clearElementStateFlag() {
    setElementStateFlag(0);
    return Acad::eOk;
}

void KxDbImpTagElement::setElementStateFlag(Adesk::Int32 flag) {
    assertWriteEnabled();
    m_stateFlag = flag;
}

bool KxDbImpTagElement::isReadVersionAfter(Adesk::Int32 maint) const {
    if (m_readVersion == kUnknownVersion || m_readMaint == kUnknownMaint) {
        return false;
    }
    return m_readVersion > 25 || (m_readVersion == 25 && m_readMaint > maint);
}

void KxDbImpTagElement::instanceDataHashes(Adesk::Int32& forward, Adesk::Int32& backward) const {
    const AcDbObjectWrapper* pub = publicObject();
    const AcRxClass* cls = pub != nullptr ? pub->isA() : nullptr;
    kxClassNameHashes(cls != nullptr ? kxDrawingClassName(cls->name()) : nullptr, forward,
                      backward);
}

Acad::ErrorStatus KxDbImpTagElement::applyInstanceData(const resbuf*& cursor) {
    return setInstanceData(cursor, 1);
}

Acad::ErrorStatus KxDbImpTagElement::setInstanceData(const resbuf*& cursor, int option) {
    if (cursor == nullptr) {
        return Acad::eInvalidInput;
    }
    if (cursor->restype != kHashCode) {
        assertWriteEnabled();
        m_instVersionMajor = kHeaderlessMajor;
        m_instVersionMinor = kHeaderlessMinor;
        return Acad::eOk;
    }
    const resbuf* at = cursor;
    Adesk::Int32 forward = 0;
    Adesk::Int32 backward = 0;
    Adesk::Int16 major = 0;
    Adesk::Int16 minor = 0;
    if (kxinst::readInt32(at, kHashCode, forward) != Acad::eOk ||
        kxinst::readInt32(at, kHashCode, backward) != Acad::eOk ||
        kxinst::readInt16(at, kVersionCode, major) != Acad::eOk ||
        kxinst::readInt16(at, kVersionCode, minor) != Acad::eOk) {
        return Acad::eInvalidInput;
    }
    Adesk::Int32 ownForward = 0;
    Adesk::Int32 ownBackward = 0;
    instanceDataHashes(ownForward, ownBackward);
    if (forward != ownForward || backward != ownBackward) {
        // Data of another class of element.
        return Acad::eInvalidInput;
    }
    assertWriteEnabled();
    m_instVersionMajor = major;
    m_instVersionMinor = minor;
    cursor = at;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagElement::getInstanceData(resbuf*& chain) const {
    chain = nullptr;
    Adesk::Int32 forward = 0;
    Adesk::Int32 backward = 0;
    instanceDataHashes(forward, backward);
    kxinst::ChainBuilder builder;
    builder.int32(kHashCode, forward)
        .int32(kHashCode, backward)
        .int16(kVersionCode, kHeaderMajor)
        .int16(kVersionCode, kHeaderMinor);
    if (builder.status() != Acad::eOk) {
        return builder.status();
    }
    chain = builder.release();
    return Acad::eOk;
}

// --- Implementation: connection protocol helpers ----------------------------------------------

Acad::ErrorStatus KxDbImpTagElement::openGraphNode(KxNodeId id, AcDb::OpenMode mode,
                                                   KxDbTagEvalExpr*& node, bool& opened) const {
    node = nullptr;
    opened = false;
    if (id != 0 && id == nodeId()) {
        // Opening itself again would clash with the caller's own open.
        node = this->node();
        return Acad::eOk;
    }
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    es = graph->getNode(id, mode, node);
    graph->close();
    if (es != Acad::eOk) {
        node = nullptr;
        return es;
    }
    opened = true;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagElement::checkInputConnection(const ACHAR* name, KxNodeId sourceId,
                                                          const ACHAR* sourceName,
                                                          const KxConnectionMap& inputs) const {
    if (nodeId() == 0 || sourceId == 0) {
        return KxStatus::kNotInGraph;
    }
    AcDb::DwgDataType ownKind = AcDb::kDwgNull;
    if (name == nullptr || getConnectionType(name, ownKind) != Acad::eOk) {
        return Acad::eInvalidInput;
    }
    KxDbTagEvalExpr* source = nullptr;
    bool opened = false;
    Acad::ErrorStatus es = openGraphNode(sourceId, AcDb::kForRead, source, opened);
    if (es == Acad::eKeyNotFound || es == KxStatus::kNodeNotFound) {
        return Acad::eInvalidInput;
    }
    if (es != Acad::eOk) {
        return es;
    }
    bool matches = false;
    const KxDbTagElement* sourceElement = KxDbTagElement::cast(source);
    if (sourceElement != nullptr && sourceName != nullptr &&
        sourceElement->hasConnection(sourceName)) {
        AcDb::DwgDataType sourceKind = AcDb::kDwgNull;
        matches = sourceElement->getConnectionType(sourceName, sourceKind) == Acad::eOk &&
                  sourceKind == ownKind;
    }
    if (opened) {
        source->close();
    }
    if (!matches) {
        return Acad::eInvalidInput;
    }
    if (inputs.find(sourceId) != inputs.end()) {
        return Acad::eIllegalReplacement;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagElement::connectInput(const ACHAR* name, KxNodeId sourceId,
                                                  const ACHAR* sourceName,
                                                  KxConnectionMap& inputs) {
    Acad::ErrorStatus es = checkInputConnection(name, sourceId, sourceName, inputs);
    if (es != Acad::eOk) {
        return es;
    }
    es = addGraphEdge(sourceId, nodeId());
    if (es != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    inputs[sourceId] = AcString(sourceName);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagElement::disconnectInput(KxNodeId sourceId, const ACHAR* sourceName,
                                                     KxConnectionMap& inputs) {
    if (nodeId() == 0 || sourceId == 0) {
        return KxStatus::kNotInGraph;
    }
    const auto it = inputs.find(sourceId);
    if (it == inputs.end() ||
        acCompareNoCase(it->second, sourceName != nullptr ? sourceName : L"") != 0) {
        return Acad::eInvalidInput;
    }
    const Acad::ErrorStatus es = removeGraphEdge(sourceId, nodeId());
    if (es != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    // Erased by key: the notifications of the edge removal may have changed the map.
    inputs.erase(sourceId);
    return Acad::eOk;
}

void KxDbImpTagElement::appendConnectedNodes(const KxConnectionMap& inputs, KxNodeIdArray& ids) {
    for (const auto& entry : inputs) {
        if (!ids.contains(entry.first)) {
            ids.append(entry.first);
        }
    }
}

void KxDbImpTagElement::appendConnectedConnections(const KxConnectionMap& inputs, KxNodeId nodeId,
                                                   AcStringArray& names) {
    const auto it = inputs.find(nodeId);
    if (it != inputs.end()) {
        names.append(it->second);
    }
}

namespace {

// Downgrades a resident object open for write to notify for the life of the guard, so that the
// graph's notifications can open it and its hooks can still make it writable for the moment (a
// downgrade to read would count as another reader). In-memory objects have no open state and are
// left alone.
class WriteDowngrade {
  public:
    explicit WriteDowngrade(AcDbObjectWrapper* obj)
        : m_obj(obj),
          m_downgraded(obj != nullptr && obj->database() != nullptr && obj->isWriteEnabled() &&
                       obj->downgradeToNotify(false) == Acad::eOk) {}
    ~WriteDowngrade() {
        if (m_downgraded) {
            Adesk::Boolean wasWritable = false;
            m_obj->upgradeFromNotify(wasWritable);
        }
    }
    WriteDowngrade(const WriteDowngrade&) = delete;
    WriteDowngrade& operator=(const WriteDowngrade&) = delete;

  private:
    AcDbObjectWrapper* m_obj;
    bool m_downgraded;
};

}  // namespace

Acad::ErrorStatus KxDbImpTagElement::addGraphEdge(KxNodeId sourceId, KxNodeId targetId,
                                                  bool bidirectional) {
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    {
        WriteDowngrade downgrade(publicObject());
        es = graph->addEdge(sourceId, targetId, bidirectional);
        graph->close();
    }
    return es == KxStatus::kEdgeExists ? Acad::eOk : es;
}

Acad::ErrorStatus KxDbImpTagElement::removeGraphEdge(KxNodeId sourceId, KxNodeId targetId) {
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    {
        WriteDowngrade downgrade(publicObject());
        es = graph->removeEdge(sourceId, targetId);
        graph->close();
    }
    // A missing edge or a node that is already gone leaves nothing to remove.
    if (es == KxStatus::kEdgeNotFound || es == KxStatus::kNodeNotFound) {
        return Acad::eOk;
    }
    return es;
}

// --- Implementation: filing -------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagElement::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagEvalConnectable::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcDb::AcDbDwgVersion ver = AcDb::kDHL_CURRENT;
    AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseCurrent;
    filer->dwgVersion(ver, maint);
    filer->writeString(m_name);
    filer->writeInt32(writtenVersion(static_cast<int>(ver)));
    filer->writeInt32(writtenMaint(static_cast<int>(ver)));
    filer->writeInt32(m_stateFlag);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagElement::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagEvalConnectable::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcDb::AcDbDwgVersion ver = AcDb::kDHL_CURRENT;
    AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseCurrent;
    filer->dwgVersion(ver, maint);
    const int v = static_cast<int>(ver);
    const int m = static_cast<int>(maint);

    AcString name;
    if ((es = filer->readString(name)) != Acad::eOk) {
        return es;
    }
    m_name = name;
    m_stateFlag = 0;
    // Records without a version say nothing about their layout: readers then take the oldest.
    m_readVersion = kUnknownVersion;
    m_readMaint = kUnknownMaint;
    Adesk::Int32 flag = 0;
    if (v == 25 && m >= 61 && m <= 62) {
        if ((es = filer->readInt32(&flag)) != Acad::eOk) {
            return es;
        }
        m_stateFlag = flag;
    } else if (v < 25 || (v == 25 && m < 55) || (v == 25 && m >= 63) || v > 25) {
        Adesk::Int32 readVer = 0;
        Adesk::Int32 readMaint = 0;
        if ((es = filer->readInt32(&readVer)) != Acad::eOk ||
            (es = filer->readInt32(&readMaint)) != Acad::eOk ||
            (es = filer->readInt32(&flag)) != Acad::eOk) {
            return es;
        }
        m_readVersion = readVer;
        m_readMaint = readMaint;
        m_stateFlag = flag;
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagElement::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagEvalConnectable::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcDb::AcDbDwgVersion ver = AcDb::kDHL_CURRENT;
    AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseCurrent;
    filer->dwgVersion(ver, maint);
    filer->writeString(100, kElementMarker);
    filer->writeString(300, m_name);
    filer->writeInt32(98, writtenVersion(static_cast<int>(ver)));
    filer->writeInt32(99, writtenMaint(static_cast<int>(ver)));
    filer->writeInt32(1071, m_stateFlag);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagElement::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagEvalConnectable::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kElementMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    AcDb::AcDbDwgVersion ver = AcDb::kDHL_CURRENT;
    AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseCurrent;
    filer->dwgVersion(ver, maint);
    const int v = static_cast<int>(ver);
    const int m = static_cast<int>(maint);

    AcString name;
    Adesk::Int32 flag = 0;
    Adesk::Int32 readVer = 0;
    Adesk::Int32 readMaint = 0;
    bool haveName = false;
    bool haveFlag = false;
    bool haveVer = false;
    bool haveMaint = false;
    for (;;) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        if (rb.restype == 300) {
            name = AcString(rb.resval.rstring);
            haveName = true;
            kxnode::releaseDxfItem(rb);
        } else if (rb.restype == 98) {
            readVer = rb.resval.rlong;
            haveVer = true;
        } else if (rb.restype == 99) {
            readMaint = rb.resval.rlong;
            haveMaint = true;
        } else if (rb.restype == 1071) {
            // The flag is a set of bits: every bit is kept.
            flag = rb.resval.rlong;
            haveFlag = true;
        } else {
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            break;
        }
    }
    const bool flagRequired = (v == 25 && m >= 61) || v > 25;
    const bool versionRequired = !(v == 25 && m >= 55 && m <= 62);
    if (!haveName || (flagRequired && !haveFlag) || (versionRequired && (!haveVer || !haveMaint))) {
        return Acad::eMissingDxfField;
    }
    m_name = name;
    m_stateFlag = flag;
    if (haveVer && haveMaint) {
        m_readVersion = readVer;
        m_readMaint = readMaint;
    } else {
        m_readVersion = kUnknownVersion;
        m_readMaint = kUnknownMaint;
    }
    return Acad::eOk;
}

// --- Instance data chains ---------------------------------------------------------------------

namespace kxinst {

namespace {
const resbuf* expect(const resbuf* cursor, int code) {
    return (cursor != nullptr && cursor->restype == code) ? cursor : nullptr;
}
}  // namespace

Acad::ErrorStatus readInt16(const resbuf*& cursor, int code, Adesk::Int16& value) {
    const resbuf* item = expect(cursor, code);
    if (item == nullptr) {
        return Acad::eInvalidInput;
    }
    value = item->resval.rint;
    cursor = item->rbnext;
    return Acad::eOk;
}

Acad::ErrorStatus readInt32(const resbuf*& cursor, int code, Adesk::Int32& value) {
    const resbuf* item = expect(cursor, code);
    if (item == nullptr) {
        return Acad::eInvalidInput;
    }
    value = item->resval.rlong;
    cursor = item->rbnext;
    return Acad::eOk;
}

Acad::ErrorStatus readReal(const resbuf*& cursor, int code, double& value) {
    const resbuf* item = expect(cursor, code);
    if (item == nullptr) {
        return Acad::eInvalidInput;
    }
    value = item->resval.rreal;
    cursor = item->rbnext;
    return Acad::eOk;
}

Acad::ErrorStatus readPoint(const resbuf*& cursor, int code, AcGePoint3d& value) {
    const resbuf* item = expect(cursor, code);
    if (item == nullptr) {
        return Acad::eInvalidInput;
    }
    value.set(item->resval.rpoint[0], item->resval.rpoint[1], item->resval.rpoint[2]);
    cursor = item->rbnext;
    return Acad::eOk;
}

Acad::ErrorStatus readText(const resbuf*& cursor, int code, AcString& value) {
    const resbuf* item = expect(cursor, code);
    if (item == nullptr) {
        return Acad::eInvalidInput;
    }
    value = AcString(item->resval.rstring);
    cursor = item->rbnext;
    return Acad::eOk;
}

ChainBuilder::ChainBuilder(resbuf* chain) : m_head(chain), m_tail(chain) {
    while (m_tail != nullptr && m_tail->rbnext != nullptr) {
        m_tail = m_tail->rbnext;
    }
}

ChainBuilder::~ChainBuilder() {
    acutRelRb(m_head);
}

resbuf* ChainBuilder::append(int code) {
    if (m_status != Acad::eOk) {
        return nullptr;
    }
    resbuf* rb = acutNewRb(code);
    if (rb == nullptr) {
        m_status = Acad::eOutOfMemory;
        return nullptr;
    }
    if (m_tail == nullptr) {
        m_head = rb;
    } else {
        m_tail->rbnext = rb;
    }
    m_tail = rb;
    return rb;
}

ChainBuilder& ChainBuilder::int16(int code, Adesk::Int16 value) {
    if (resbuf* rb = append(code)) {
        rb->resval.rint = value;
    }
    return *this;
}

ChainBuilder& ChainBuilder::int32(int code, Adesk::Int32 value) {
    if (resbuf* rb = append(code)) {
        rb->resval.rlong = value;
    }
    return *this;
}

ChainBuilder& ChainBuilder::real(int code, double value) {
    if (resbuf* rb = append(code)) {
        rb->resval.rreal = value;
    }
    return *this;
}

ChainBuilder& ChainBuilder::point(int code, const AcGePoint3d& value) {
    if (resbuf* rb = append(code)) {
        rb->resval.rpoint[0] = value.x;
        rb->resval.rpoint[1] = value.y;
        rb->resval.rpoint[2] = value.z;
    }
    return *this;
}

ChainBuilder& ChainBuilder::text(int code, const ACHAR* value) {
    if (resbuf* rb = append(code)) {
        rb->resval.rstring = acutNewString(value != nullptr ? value : L"");
        if (rb->resval.rstring == nullptr) {
            m_status = Acad::eOutOfMemory;
        }
    }
    return *this;
}

resbuf* ChainBuilder::release() {
    resbuf* chain = m_head;
    m_head = nullptr;
    m_tail = nullptr;
    if (m_status != Acad::eOk) {
        acutRelRb(chain);
        return nullptr;
    }
    return chain;
}

}  // namespace kxinst
