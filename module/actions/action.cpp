#include "module/actions/action.h"

#include <cwchar>

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/actions/action_imp.h"
#include "module/actions/action_transform.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_graph.h"
#include "module/params/basepoint_tag.h"
#include "module/params/block_tag.h"

KX_DEFINE_PAIR(KxDbTagAction, KxDbTagElement, KxDbImpTagAction)

namespace {

constexpr const ACHAR* kActionMarker = L"AcDbBlockAction";
// More ids than any block definition holds: a larger count comes from a damaged record.
constexpr Adesk::UInt32 kMaxFiledIds = 1u << 20;

KxDbImpTagAction* impOf(const KxDbTagAction* action) {
    return kxImpOf<KxDbImpTagAction>(action);
}

bool sameName(const ACHAR* a, const ACHAR* b, bool ignoreCase) {
    if (a == nullptr || b == nullptr) {
        return false;
    }
    return ignoreCase ? acCompareNoCase(AcString(a), AcString(b)) == 0 : std::wcscmp(a, b) == 0;
}

// Runs `work` with the object writable: an action told about a graph change is usually open for
// notify or read only, so it is upgraded for the moment and put back as it was.
template <class Work>
Acad::ErrorStatus withWriteAccess(AcDbObjectWrapper* pub, Work work) {
    if (pub == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (pub->isWriteEnabled()) {
        work();
        return Acad::eOk;
    }
    Acad::ErrorStatus es = pub->upgradeOpen();
    if (es == Acad::eOk) {
        work();
        pub->downgradeOpen();
        return Acad::eOk;
    }
    if (es == Acad::eWasOpenForNotify) {
        Adesk::Boolean wasWritable = false;
        es = pub->upgradeFromNotify(wasWritable);
        if (es == Acad::eOk) {
            work();
            pub->downgradeToNotify(wasWritable);
        }
    }
    return es;
}

// Downgrades a resident action open for write to notify while the graph works on edges, so that
// the graph's notifications can reach it; put back afterwards.
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

// Whether the graph should carry an edge from an action to this element of its selection set:
// actions and base point parameters always, other parameters only when they chain actions.
bool wantsDependencyEdge(const AcDbObject* obj) {
    if (KxDbTagAction::cast(obj) != nullptr || KxDbBlockBasepointTag::cast(obj) != nullptr) {
        return true;
    }
    const KxDbBlockTag* param = KxDbBlockTag::cast(obj);
    return param != nullptr && param->chainActions();
}

enum class EdgeResult { kAdded, kNotAdded, kCycle, kFailed };

// Adds the edge action -> target and checks that the graph stays free of cycles; an edge that
// would close a cycle (or whose check fails) is taken out again.
EdgeResult addCheckedEdge(KxDbImpTagAction& imp, KxNodeId target, Acad::ErrorStatus& es) {
    KxDbTagEvalGraph* graph = nullptr;
    es = imp.openOwnerGraph(graph, AcDb::kForWrite);
    if (es != Acad::eOk) {
        return EdgeResult::kFailed;
    }
    WriteDowngrade downgrade(imp.publicObject());
    es = graph->addEdge(imp.nodeId(), target);
    if (es == KxStatus::kEdgeExists) {
        // Already there (the element is listed twice): it counts one more use, no new path.
        graph->close();
        es = Acad::eOk;
        return EdgeResult::kAdded;
    }
    if (es != Acad::eOk) {
        graph->close();
        return EdgeResult::kNotAdded;
    }
    KxNodeIdArray ids;
    ids.append(target);
    KxNodeIdArray cycles;
    es = graph->activate(ids, nullptr, &cycles);
    if (es == Acad::eOk) {
        graph->close();
        return EdgeResult::kAdded;
    }
    graph->removeEdge(imp.nodeId(), target);
    graph->close();
    return es == KxStatus::kCycleFound ? EdgeResult::kCycle : EdgeResult::kFailed;
}

}  // namespace

// --- Public forwarders ------------------------------------------------------------------------

KX_FORWARD(AcGePoint3d, KxDbTagAction, displayLocation, (), (), const, AcGePoint3d())
KX_FORWARD_STATUS(KxDbTagAction, setDisplayLocation, (const AcGePoint3d& point), (point), )
KX_FORWARD(AcDbObjectIdArray, KxDbTagAction, selectionSet, (), (), const, AcDbObjectIdArray())
KX_FORWARD_STATUS(KxDbTagAction, setSelectionSet, (const AcDbObjectIdArray& ids), (ids), )
KX_FORWARD(AcDbObjectIdArray, KxDbTagAction, dependentElementIds, (), (), const,
           AcDbObjectIdArray())

Acad::ErrorStatus KxDbTagAction::openParameter(AcDbObject*& param, AcDb::OpenMode mode) const {
    param = nullptr;
    KxDbImpTagAction* imp = impOf(this);
    return imp != nullptr ? imp->openParameter(param, mode) : Acad::eNullObjectPointer;
}

KX_FORWARD(KxNodeId, KxDbTagAction, parameterNodeId, (), (), const, 0)
KX_FORWARD_STATUS(KxDbTagAction, transformInstanceBy, (const AcGeMatrix3d& xform), (xform), )
KX_FORWARD(KxDbParamActionLink::Kind, KxDbTagAction, actionLinkKind, (), (), const, kOtherKind)

KxNodeId KxDbTagAction::actionLinkParameterId() const {
    return parameterNodeId();
}

KX_FORWARD(void, KxDbTagAction, actionLinkSelection, (AcDbObjectIdArray & ids), (ids), const,
           (void)0)
KX_FORWARD(bool, KxDbTagAction, actionLinkHasOwnList, (), (), const, false)
KX_FORWARD_STATUS(KxDbTagAction, actionLinkReapplySelection, (), (), )

// --- Implementation: plain fields -------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagAction::setDisplayLocation(const AcGePoint3d& point) {
    assertWriteEnabled();
    m_displayLocation = point;
    return Acad::eOk;
}

void KxDbImpTagAction::actionLinkSelection(AcDbObjectIdArray& ids) const {
    ids.append(m_selection);
}

Acad::ErrorStatus KxDbImpTagAction::actionLinkReapplySelection() {
    const AcDbObjectIdArray ids = m_selection;
    return setSelectionSet(ids);
}

AcDbObjectIdArray KxDbImpTagAction::dependentElementIds() const {
    AcDbObjectIdArray ids;
    if (m_dependents.isEmpty()) {
        return ids;
    }
    KxDbTagEvalGraph* graph = nullptr;
    if (openOwnerGraph(graph, AcDb::kForRead) != Acad::eOk) {
        return ids;
    }
    for (int i = 0; i < m_dependents.length(); ++i) {
        KxDbTagEvalExpr* node = nullptr;
        if (graph->getNode(m_dependents[i], AcDb::kForRead, node) == Acad::eOk) {
            ids.append(node->objectId());
            node->close();
        }
    }
    graph->close();
    return ids;
}

Acad::ErrorStatus KxDbImpTagAction::openParameter(AcDbObject*& param, AcDb::OpenMode mode) const {
    param = nullptr;
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    const KxNodeId paramId = parameterNodeId();
    if (paramId == 0) {
        graph->close();
        return KxStatus::kNodeNotFound;
    }
    KxDbTagEvalExpr* node = nullptr;
    es = graph->getNode(paramId, mode, node);
    graph->close();
    if (es != Acad::eOk) {
        return es;
    }
    if (KxDbBlockTag::cast(node) == nullptr) {
        node->close();
        return Acad::eWrongObjectType;
    }
    param = node;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagAction::clearElementStateFlag() {
    Adesk::Int32 flag = 0;
    if (parameterNodeId() == 0) {
        flag += 2;
    }
    bool anyLive = false;
    for (int i = 0; i < m_selection.length() && !anyLive; ++i) {
        anyLive = m_selection[i].isValid() && !m_selection[i].isErased();
    }
    if (!anyLive) {
        flag += 4;
    }
    if (flag != elementStateFlag()) {
        setElementStateFlag(flag);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagAction::nodeRemoved(KxNodeId id) {
    assertNotifyEnabled();
    withWriteAccess(publicObject(), [this, id]() {
        KxActionInputRefs inputs;
        listInputs(inputs);
        for (const KxActionInputRef& ref : inputs) {
            if (ref.input != nullptr && ref.input->sourceId == id) {
                ref.input->clear();
            }
        }
        for (int i = m_dependents.length() - 1; i >= 0; --i) {
            if (m_dependents[i] == id) {
                m_dependents.removeAt(i);
            }
        }
    });
    return KxDbImpTagElement::nodeRemoved(id);
}

bool KxDbImpTagAction::isLoadReplay(const KxDbTagEvalContext* context) {
    return kxIsEvalMode(context, kEvalModeLoad);
}

Acad::ErrorStatus KxDbImpTagAction::transformSelection(const AcGeMatrix3d& xform,
                                                       KxDbTagEvalContext* context) {
    const AcDbObjectIdArray ids = m_selection;
    return kxaction::transformSelection(*this, xform, ids, context);
}

Acad::ErrorStatus KxDbImpTagAction::readInputValues(const KxActionInput* const* inputs, int count,
                                                    KxDbTagEvalVariant* values) const {
    if (nodeId() == 0) {
        return KxStatus::kNotInGraph;
    }
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    std::vector<KxDbTagEvalExpr*> nodes(static_cast<size_t>(count), nullptr);
    for (int i = 0; i < count && es == Acad::eOk; ++i) {
        es = graph->getNode(inputs[i]->sourceId, AcDb::kForRead, nodes[static_cast<size_t>(i)]);
        if (es != Acad::eOk) {
            nodes[static_cast<size_t>(i)] = nullptr;
        }
    }
    graph->close();
    for (int i = 0; i < count && es == Acad::eOk; ++i) {
        if (KxDbTagEvalConnectable::cast(nodes[static_cast<size_t>(i)]) == nullptr) {
            es = Acad::eWrongObjectType;
        }
    }
    for (int i = 0; i < count; ++i) {
        KxDbTagEvalExpr* node = nodes[static_cast<size_t>(i)];
        if (node == nullptr) {
            continue;
        }
        if (es == Acad::eOk) {
            const Acad::ErrorStatus vs = KxDbTagEvalConnectable::cast(node)->getConnectionValue(
                inputs[i]->sourceName, values[i]);
            if (vs != Acad::eOk) {
                es = vs;
            }
        }
        node->close();
    }
    return es;
}

// --- Implementation: connections --------------------------------------------------------------

void KxDbImpTagAction::listInputs(KxActionInputRefs& inputs) {}

Acad::ErrorStatus KxDbImpTagAction::getInputValue(const KxActionInputRef& input,
                                                  KxDbTagEvalVariant& value) const {
    return Acad::eInvalidInput;
}

const KxActionInputRef* KxDbImpTagAction::findInput(const KxActionInputRefs& inputs,
                                                    const ACHAR* name, bool ignoreCase) const {
    for (const KxActionInputRef& ref : inputs) {
        if (sameName(ref.name, name, ignoreCase)) {
            return &ref;
        }
    }
    return nullptr;
}

Acad::ErrorStatus KxDbImpTagAction::getConnectionNames(AcStringArray& names) const {
    KxActionInputRefs inputs;
    const_cast<KxDbImpTagAction*>(this)->listInputs(inputs);
    for (const KxActionInputRef& ref : inputs) {
        names.append(AcString(ref.name));
    }
    return Acad::eOk;
}

bool KxDbImpTagAction::hasConnection(const ACHAR* name) const {
    KxActionInputRefs inputs;
    const_cast<KxDbImpTagAction*>(this)->listInputs(inputs);
    return findInput(inputs, name, true) != nullptr;
}

Acad::ErrorStatus KxDbImpTagAction::getConnectionType(const ACHAR* name,
                                                      AcDb::DwgDataType& kind) const {
    KxActionInputRefs inputs;
    const_cast<KxDbImpTagAction*>(this)->listInputs(inputs);
    const KxActionInputRef* ref = findInput(inputs, name, true);
    if (ref == nullptr) {
        kind = AcDb::kDwgNull;
        return Acad::eInvalidInput;
    }
    kind = ref->type;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagAction::getConnectionValue(const ACHAR* name,
                                                       KxDbTagEvalVariant& value) const {
    KxActionInputRefs inputs;
    const_cast<KxDbImpTagAction*>(this)->listInputs(inputs);
    const KxActionInputRef* ref = findInput(inputs, name, true);
    return ref != nullptr ? getInputValue(*ref, value) : Acad::eInvalidInput;
}

Acad::ErrorStatus KxDbImpTagAction::checkConnect(const ACHAR* name, KxNodeId otherId,
                                                 const ACHAR* otherName, bool forChange) const {
    if (nodeId() == 0 || otherId == 0) {
        return KxStatus::kNotInGraph;
    }
    if (otherName == nullptr || *otherName == 0) {
        return Acad::eInvalidInput;
    }
    KxActionInputRefs inputs;
    const_cast<KxDbImpTagAction*>(this)->listInputs(inputs);
    const KxActionInputRef* ref = findInput(inputs, name, false);
    if (ref == nullptr || ref->input == nullptr) {
        return Acad::eInvalidInput;
    }
    KxDbTagEvalExpr* source = nullptr;
    bool opened = false;
    Acad::ErrorStatus es = openGraphNode(otherId, AcDb::kForRead, source, opened);
    if (es == Acad::eKeyNotFound || es == KxStatus::kNodeNotFound) {
        return Acad::eInvalidInput;
    }
    if (es != Acad::eOk) {
        return es;
    }
    bool matches = false;
    const KxDbTagEvalConnectable* connectable = KxDbTagEvalConnectable::cast(source);
    if (connectable != nullptr && connectable->hasConnection(otherName)) {
        AcDb::DwgDataType sourceKind = AcDb::kDwgNull;
        matches = connectable->getConnectionType(otherName, sourceKind) == Acad::eOk &&
                  sourceKind == ref->type;
    }
    if (opened) {
        source->close();
    }
    if (!matches) {
        return Acad::eInvalidInput;
    }
    if (forChange && ref->input->isSet()) {
        return Acad::eIllegalReplacement;
    }
    return Acad::eOk;
}

bool KxDbImpTagAction::canConnectTo(const ACHAR* name, KxNodeId otherId,
                                    const ACHAR* otherName) const {
    return checkConnect(name, otherId, otherName, true) == Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagAction::connectTo(const ACHAR* name, KxNodeId otherId,
                                              const ACHAR* otherName) {
    assertWriteEnabled();
    Acad::ErrorStatus es = checkConnect(name, otherId, otherName, true);
    if (es != Acad::eOk) {
        return es;
    }
    es = addGraphEdge(otherId, nodeId());
    if (es != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    KxActionInputRefs inputs;
    listInputs(inputs);
    const KxActionInputRef* ref = findInput(inputs, name, false);
    if (ref != nullptr && ref->input != nullptr) {
        ref->input->sourceId = otherId;
        ref->input->sourceName = AcString(otherName);
    }
    // The parameter may just have been connected.
    clearElementStateFlag();
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagAction::disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                                   const ACHAR* otherName) {
    assertWriteEnabled();
    if (nodeId() == 0 || otherId == 0) {
        return KxStatus::kNotInGraph;
    }
    if (otherName == nullptr || *otherName == 0) {
        return Acad::eInvalidInput;
    }
    KxActionInputRefs inputs;
    listInputs(inputs);
    const KxActionInputRef* ref = findInput(inputs, name, false);
    if (ref == nullptr || ref->input == nullptr || ref->input->sourceId != otherId ||
        !sameName(ref->input->sourceName, otherName, false)) {
        return Acad::eInvalidInput;
    }
    ref->input->clear();
    const Acad::ErrorStatus es = removeGraphEdge(otherId, nodeId());
    assertWriteEnabled();
    clearElementStateFlag();
    return es;
}

Acad::ErrorStatus KxDbImpTagAction::getConnectedNodes(const ACHAR* name, KxNodeIdArray& ids) const {
    KxActionInputRefs inputs;
    const_cast<KxDbImpTagAction*>(this)->listInputs(inputs);
    const KxActionInputRef* ref = findInput(inputs, name, true);
    if (ref != nullptr && ref->reportedAsConnected && ref->input != nullptr &&
        ref->input->sourceId != 0 && !ids.contains(ref->input->sourceId)) {
        ids.append(ref->input->sourceId);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagAction::getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                                            AcStringArray& names) const {
    KxActionInputRefs inputs;
    const_cast<KxDbImpTagAction*>(this)->listInputs(inputs);
    const KxActionInputRef* ref = findInput(inputs, name, true);
    if (ref != nullptr && ref->reportedAsConnected && ref->input != nullptr && nodeId != 0 &&
        ref->input->sourceId == nodeId) {
        names.append(ref->input->sourceName);
    }
    return Acad::eOk;
}

// --- Implementation: selection set ------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagAction::removeDependencyEdges() {
    for (int i = m_dependents.length() - 1; i >= 0; --i) {
        // removeGraphEdge counts an edge or node already gone as removed: parameters that do
        // not chain actions never had one.
        const Acad::ErrorStatus es = removeGraphEdge(nodeId(), m_dependents[i]);
        if (es != Acad::eOk) {
            return es;
        }
        assertWriteEnabled();
        m_dependents.removeAt(i);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagAction::restoreDependencies(const KxNodeIdArray& oldDependents) {
    assertWriteEnabled();
    m_dependents.setLogicalLength(0);
    for (int i = 0; i < oldDependents.length(); ++i) {
        const KxNodeId id = oldDependents[i];
        KxDbTagEvalExpr* node = nullptr;
        bool opened = false;
        bool edge = false;
        if (openGraphNode(id, AcDb::kForRead, node, opened) == Acad::eOk) {
            edge = wantsDependencyEdge(node);
            if (opened) {
                node->close();
            }
        }
        if (edge && addGraphEdge(nodeId(), id) != Acad::eOk) {
            continue;
        }
        assertWriteEnabled();
        m_dependents.append(id);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagAction::setSelectionSet(const AcDbObjectIdArray& ids) {
    assertWriteEnabled();
    if (nodeId() == 0) {
        return KxStatus::kNodeNotFound;
    }
    // Copies first: the caller may pass the action's own array.
    const AcDbObjectIdArray newSelection = ids;
    const AcDbObjectIdArray oldSelection = m_selection;
    const KxNodeIdArray oldDependents = m_dependents;

    Acad::ErrorStatus es = removeDependencyEdges();
    if (es != Acad::eOk) {
        return es;
    }
    m_selection = newSelection;
    clearElementStateFlag();
    if (newSelection.isEmpty()) {
        return Acad::eOk;
    }

    // The action's own parameter drives it and is not carried along.
    KxNodeId paramId = 0;
    {
        AcDbObject* param = nullptr;
        if (openParameter(param, AcDb::kForRead) == Acad::eOk) {
            paramId = parameterNodeId();
            param->close();
        }
    }
    for (int i = newSelection.length() - 1; i >= 0; --i) {
        AcDbObject* obj = nullptr;
        if (!newSelection[i].isValid() ||
            acdbOpenObject(obj, newSelection[i], AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        const KxDbTagElement* element = nullptr;
        if (KxDbBlockTag::cast(obj) != nullptr || KxDbTagAction::cast(obj) != nullptr) {
            element = KxDbTagElement::cast(obj);
        }
        const KxNodeId elementId = element != nullptr ? element->getNodeId() : 0;
        const bool edge = element != nullptr && wantsDependencyEdge(obj);
        obj->close();
        // The action cannot depend on itself.
        if (elementId == 0 || elementId == paramId || elementId == nodeId()) {
            continue;
        }
        if (!edge) {
            m_dependents.append(elementId);
            continue;
        }
        const EdgeResult result = addCheckedEdge(*this, elementId, es);
        assertWriteEnabled();
        if (result == EdgeResult::kAdded || result == EdgeResult::kNotAdded) {
            m_dependents.append(elementId);
            continue;
        }
        // Refused: the old selection set, dependent list and edges come back.
        const Acad::ErrorStatus refusal = es;
        removeDependencyEdges();
        m_selection = oldSelection;
        restoreDependencies(oldDependents);
        clearElementStateFlag();
        return refusal;
    }
    return Acad::eOk;
}

// --- Implementation: filing -------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagAction::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagElement::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writePoint3d(m_displayLocation);
    filer->writeUInt32(static_cast<Adesk::UInt32>(m_selection.length()));
    for (int i = 0; i < m_selection.length(); ++i) {
        filer->writeSoftPointerId(AcDbSoftPointerId(m_selection[i]));
    }
    filer->writeUInt32(static_cast<Adesk::UInt32>(m_dependents.length()));
    for (int i = 0; i < m_dependents.length(); ++i) {
        filer->writeUInt32(m_dependents[i]);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagAction::dwgInFields(AcDbDwgFiler* filer) {
    assertWriteEnabled();
    Acad::ErrorStatus es = KxDbImpTagElement::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d location;
    Adesk::UInt32 count = 0;
    if ((es = filer->readPoint3d(&location)) != Acad::eOk ||
        (es = filer->readUInt32(&count)) != Acad::eOk) {
        return es;
    }
    if (count > kMaxFiledIds) {
        return Acad::eFilerError;
    }
    const bool soft = isReadVersionAfter(64);
    AcDbObjectIdArray selection;
    for (Adesk::UInt32 i = 0; i < count; ++i) {
        AcDbObjectId id;
        if (soft) {
            AcDbSoftPointerId softId;
            es = filer->readSoftPointerId(&softId);
            id = softId;
        } else {
            AcDbHardPointerId hardId;
            es = filer->readHardPointerId(&hardId);
            id = hardId;
        }
        if (es != Acad::eOk) {
            return es;
        }
        if (!id.isNull()) {
            selection.append(id);
        }
    }
    if ((es = filer->readUInt32(&count)) != Acad::eOk) {
        return es;
    }
    if (count > kMaxFiledIds) {
        return Acad::eFilerError;
    }
    KxNodeIdArray dependents;
    for (Adesk::UInt32 i = 0; i < count; ++i) {
        Adesk::UInt32 id = 0;
        if ((es = filer->readUInt32(&id)) != Acad::eOk) {
            return es;
        }
        dependents.append(id);
    }
    m_displayLocation = location;
    m_selection = selection;
    m_dependents = dependents;
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagAction::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagElement::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kActionMarker);
    filer->writeInt16(70, static_cast<Adesk::Int16>(m_dependents.length()));
    for (int i = 0; i < m_dependents.length(); ++i) {
        filer->writeInt32(91, static_cast<Adesk::Int32>(m_dependents[i]));
    }
    filer->writeInt16(71, static_cast<Adesk::Int16>(m_selection.length()));
    for (int i = 0; i < m_selection.length(); ++i) {
        filer->writeObjectId(330, m_selection[i]);
    }
    filer->writePoint3d(1010, m_displayLocation);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagAction::dxfInFields(AcDbDxfFiler* filer) {
    assertWriteEnabled();
    Acad::ErrorStatus es = KxDbImpTagElement::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kActionMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    const int idCode = isReadVersionAfter(64) ? 330 : 340;
    KxNodeIdArray dependents;
    AcDbObjectIdArray selection;
    AcGePoint3d location;
    bool haveDependents = false;
    bool haveSelection = false;
    bool haveLocation = false;
    bool done = false;
    while (!done) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        if (rb.restype == 70 || rb.restype == 71) {
            const bool isDependents = rb.restype == 70;
            const int count = rb.resval.rint;
            if (count < 0) {
                filer->pushBackItem();
                return Acad::eBadDxfSequence;
            }
            (isDependents ? haveDependents : haveSelection) = true;
            if (isDependents) {
                dependents.setLogicalLength(0);
            } else {
                selection.setLogicalLength(0);
            }
            // The list ends at its count or at the first group of another kind.
            for (int i = 0; i < count; ++i) {
                resbuf item{};
                es = filer->readItem(&item);
                if (es == Acad::eEndOfFile) {
                    done = true;
                    break;
                }
                if (es != Acad::eOk) {
                    return es;
                }
                if (isDependents && item.restype == 91) {
                    dependents.append(static_cast<KxNodeId>(item.resval.rlong));
                } else if (!isDependents && item.restype == idCode) {
                    AcDbObjectId id;
                    acdbGetObjectId(id, item.resval.rlname);
                    if (!id.isNull()) {
                        selection.append(id);
                    }
                } else {
                    kxnode::releaseDxfItem(item);
                    filer->pushBackItem();
                    break;
                }
            }
        } else if (rb.restype == 1010) {
            location = AcGePoint3d(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
            haveLocation = true;
        } else {
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            break;
        }
    }
    if (!haveDependents || !haveSelection || !haveLocation) {
        return Acad::eMissingDxfField;
    }
    m_displayLocation = location;
    m_selection = selection;
    m_dependents = dependents;
    return Acad::eOk;
}
