#include "module/params/block_tag.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/frame/opened.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip.h"
#include "module/params/block_tag_imp.h"
#include "module/params/param_action_link.h"
#include "module/params/param_inputs.h"

KX_DEFINE_PAIR(KxDbBlockTag, KxDbTagElement, KxDbImpBlockTag)

namespace {

KxDbImpBlockTag* impOf(const KxDbBlockTag* tag) {
    return kxImpOf<KxDbImpBlockTag>(tag);
}

const ACHAR* const kParameterMarker = L"AcDbBlockParameter";
// The chain-actions flag is filed from this maintenance release of version 25 on.
constexpr Adesk::Int32 kChainActionsMaint = 63;
// Edge flags of edges that carry nothing in the running evaluation: inactive for this
// evaluation, or never traversed.
constexpr Adesk::Int32 kSuppressedEdge = 0x10 | 0x80;

using OpenNode = kxframe::Opened<KxDbTagEvalExpr>;
using OpenGraph = kxframe::Opened<KxDbTagEvalGraph>;

// Downgrades a resident object open for write to notify for the life of the guard, so that the
// objects it calls can open it; the write is restored at the end. In-memory objects have no open
// state and are left alone.
class NotifyDowngrade {
  public:
    explicit NotifyDowngrade(AcDbObjectWrapper* obj)
        : m_obj(obj),
          m_downgraded(obj != nullptr && obj->database() != nullptr && obj->isWriteEnabled() &&
                       obj->downgradeToNotify(false) == Acad::eOk) {}
    ~NotifyDowngrade() {
        if (m_downgraded) {
            Adesk::Boolean wasWritable = false;
            m_obj->upgradeFromNotify(wasWritable);
        }
    }
    NotifyDowngrade(const NotifyDowngrade&) = delete;
    NotifyDowngrade& operator=(const NotifyDowngrade&) = delete;

  private:
    AcDbObjectWrapper* m_obj;
    bool m_downgraded;
};

// Opens a node for reading its state; a node already open in a way that bars a read (it is being
// changed further up the call chain) is opened for notify instead.
Acad::ErrorStatus openForLook(const KxDbTagEvalGraph* graph, KxNodeId id, KxDbTagEvalExpr*& node) {
    Acad::ErrorStatus es = graph->getNode(id, AcDb::kForRead, node);
    if (es == Acad::eWasOpenForWrite || es == Acad::eWasOpenForRead) {
        es = graph->getNode(id, AcDb::kForNotify, node);
    }
    return es;
}

}  // namespace

// --- Public parameter: one-line forwarders ----------------------------------------------------

KX_FORWARD_STATUS(KxDbBlockTag, addGrip, (int index, KxNodeId& gripId, KxDbTagEvalGraph* graph),
                  (index, gripId, graph), )
KX_FORWARD_STATUS(KxDbBlockTag, removeGrip, (int index), (index), )
KX_FORWARD_STATUS(KxDbBlockTag, gripDeleted, (int index), (index), )

Acad::ErrorStatus KxDbBlockTag::getGripCount(int& count) const {
    count = 0;
    KxDbImpBlockTag* imp = impOf(this);
    return imp != nullptr ? imp->getGripCount(count) : Acad::eNullObjectPointer;
}

KX_FORWARD_STATUS(KxDbBlockTag, setGripCount, (int count), (count), )

Acad::ErrorStatus KxDbBlockTag::getGrips(KxDbTagGripPtrArray& grips, AcDb::OpenMode mode) const {
    KxDbImpBlockTag* imp = impOf(this);
    if (imp == nullptr) {
        grips.setLogicalLength(0);
        return Acad::eNullObjectPointer;
    }
    return imp->getGrips(grips, mode);
}

KX_FORWARD_STATUS(KxDbBlockTag, getGripIndex, (KxNodeId gripId, int& index), (gripId, index), const)
KX_FORWARD_STATUS(KxDbBlockTag, placeGripsAtDefinition, (), (), )
KX_FORWARD_STATUS(KxDbBlockTag, transformInstanceBy, (const AcGeMatrix3d& xform), (xform), )
KX_FORWARD(bool, KxDbBlockTag, showProperties, (), (), const, true)
KX_FORWARD_STATUS(KxDbBlockTag, setShowProperties, (bool show), (show), )
KX_FORWARD(bool, KxDbBlockTag, chainActions, (), (), const, false)
KX_FORWARD_STATUS(KxDbBlockTag, setChainActions, (bool chain), (chain), )
KX_FORWARD_STATUS(KxDbBlockTag, getPropertyDescriptions, (KxDbBlockPropertyDescArray & descs),
                  (descs), const)
KX_FORWARD_STATUS(KxDbBlockTag, getPropertyValueTransformed,
                  (const ACHAR* name, const AcGeMatrix3d& xform, KxDbTagEvalVariant& value),
                  (name, xform, value), const)
KX_FORWARD_STATUS(KxDbBlockTag, getPropertyValue, (const ACHAR* name, KxDbTagEvalVariant& value),
                  (name, value), const)
KX_FORWARD_STATUS(KxDbBlockTag, setPropertyValueTransformed,
                  (const ACHAR* name, const AcGeMatrix3d& xform, const KxDbTagEvalVariant& value),
                  (name, xform, value), )
KX_FORWARD_STATUS(KxDbBlockTag, setPropertyValue,
                  (const ACHAR* name, const KxDbTagEvalVariant& value), (name, value), )
KX_FORWARD_STATUS(KxDbBlockTag, getPropertyConnectionName,
                  (const ACHAR* name, AcString& connectionName), (name, connectionName), const)
KX_FORWARD(Acad::ErrorStatus, KxDbBlockTag, getLabelNames, (AcStringArray & names), (names), const,
           Acad::eOk)
KX_FORWARD_STATUS(KxDbBlockTag, validatePropertyName, (const ACHAR* oldName, const ACHAR* newName),
                  (oldName, newName), const)

// --- Implementation: grips --------------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlockTag::detachFromGraph(KxDbTagEvalGraph* graph) {
    return KxDbImpTagElement::removedFromGraph(graph);
}

bool KxDbImpBlockTag::hasLeftGraph(const KxDbTagEvalGraph* graph) const {
    bool flag = false;
    return graph != nullptr && nodeId() != 0 &&
           graph->getNodeStateFlag(nodeId(), flag) != Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::removedFromGraph(KxDbTagEvalGraph* graph) {
    return detachFromGraph(graph);
}

Acad::ErrorStatus KxDbImpBlockTag::addGrip(int index, KxNodeId& gripId, KxDbTagEvalGraph* graph) {
    return Acad::eNotApplicable;
}

Acad::ErrorStatus KxDbImpBlockTag::removeGrip(int index) {
    OpenGraph graph;
    const Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    return removeGripInGraph(index, graph.get());
}

Acad::ErrorStatus KxDbImpBlockTag::removeGripInGraph(int index, KxDbTagEvalGraph* graph) {
    return Acad::eNotApplicable;
}

Acad::ErrorStatus KxDbImpBlockTag::gripDeleted(int index) {
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::getGripCount(int& count) const {
    count = 0;
    OpenGraph graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    KxEdgeInfoArray edges;
    es = graph->getIncomingEdges(nodeId(), edges);
    if (es != Acad::eOk) {
        return es;
    }
    KxNodeIdArray seen;
    int found = 0;
    for (int i = 0; i < edges.length(); ++i) {
        const KxNodeId source = edges[i].sourceId;
        if (seen.contains(source)) {
            continue;
        }
        seen.append(source);
        OpenNode node;
        es = openForLook(graph.get(), source, node.slot());
        if (es != Acad::eOk) {
            return es;
        }
        if (KxDbTagGrip::cast(node.get()) != nullptr) {
            ++found;
        }
    }
    count = found;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::setGripCount(int count) {
    return Acad::eNotApplicable;
}

Acad::ErrorStatus KxDbImpBlockTag::getGrips(KxDbTagGripPtrArray& grips, AcDb::OpenMode mode) const {
    grips.setLogicalLength(0);
    return Acad::eNotApplicable;
}

Acad::ErrorStatus KxDbImpBlockTag::getGripIndex(KxNodeId gripId, int& index) const {
    return Acad::eNotApplicable;
}

Acad::ErrorStatus KxDbImpBlockTag::placeGripsAtDefinition() {
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::transformInstanceBy(const AcGeMatrix3d& xform) {
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::removeGripNode(KxDbTagEvalGraph* graph, KxNodeId gripId) {
    if (graph == nullptr) {
        return Acad::eNullObjectPointer;
    }
    KxDbTagEvalExpr* node = nullptr;
    Acad::ErrorStatus es = graph->getNode(gripId, AcDb::kForWrite, node);
    if (es != Acad::eOk) {
        return es;
    }
    const bool resident = node->database() != nullptr;
    es = graph->removeNode(node);
    if (es != Acad::eOk) {
        node->close();
        return es;
    }
    if (resident) {
        es = node->erase();
        node->close();
        return es;
    }
    // The graph hands a node it held in memory back to whoever removed it.
    delete node;
    return Acad::eOk;
}

// --- Implementation: flags --------------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlockTag::setShowProperties(bool show) {
    assertWriteEnabled();
    m_showProperties = show;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::reapplyActionSelections(KxDbTagEvalGraph* graph) const {
    KxNodeIdArray ids;
    Acad::ErrorStatus es = graph->getAllNodeIds(ids);
    if (es != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < ids.length(); ++i) {
        if (ids[i] == nodeId()) {
            continue;
        }
        // Looked at first: only actions are opened for write.
        bool isAction = false;
        {
            OpenNode look;
            es = openForLook(graph, ids[i], look.slot());
            if (es != Acad::eOk) {
                return es;
            }
            isAction = KxDbParamActionLink::of(look.get()) != nullptr;
        }
        if (!isAction) {
            continue;
        }
        OpenNode node;
        es = graph->getNode(ids[i], AcDb::kForWrite, node.slot());
        if (es != Acad::eOk) {
            return es;
        }
        KxDbParamActionLink* link = KxDbParamActionLink::of(node.get());
        if (link != nullptr && (es = link->actionLinkReapplySelection()) != Acad::eOk) {
            return es;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::setChainActions(bool chain) {
    if (chain == m_chainActions) {
        return Acad::eOk;
    }
    assertWriteEnabled();
    const bool previous = m_chainActions;
    m_chainActions = chain;
    if (nodeId() == 0) {
        return Acad::eOk;
    }
    // The actions re-check the objects they act on, among them this parameter: it is downgraded
    // so that they can open it, and put back whatever happens.
    auto walk = [this]() {
        NotifyDowngrade downgrade(publicObject());
        OpenGraph graph;
        Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForNotify);
        if (es != Acad::eOk) {
            return es;
        }
        return reapplyActionSelections(graph.get());
    };
    const Acad::ErrorStatus es = walk();
    if (es == Acad::eNullObjectPointer) {
        // A parameter held by no graph has no actions to tell.
        return Acad::eOk;
    }
    if (es != Acad::eOk) {
        // The change is refused as a whole: the previous value comes back and the actions see
        // it again.
        assertWriteEnabled();
        m_chainActions = previous;
        walk();
    }
    return es;
}

// --- Implementation: properties ---------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlockTag::getPropertyDescriptions(
    KxDbBlockPropertyDescArray& descs) const {
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::getPropertyValueTransformed(const ACHAR* name,
                                                               const AcGeMatrix3d& xform,
                                                               KxDbTagEvalVariant& value) const {
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus KxDbImpBlockTag::getPropertyValue(const ACHAR* name,
                                                    KxDbTagEvalVariant& value) const {
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus KxDbImpBlockTag::setPropertyValueTransformed(const ACHAR* name,
                                                               const AcGeMatrix3d& xform,
                                                               const KxDbTagEvalVariant& value) {
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus KxDbImpBlockTag::setPropertyValue(const ACHAR* name,
                                                    const KxDbTagEvalVariant& value) {
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus KxDbImpBlockTag::getPropertyConnectionName(const ACHAR* name,
                                                             AcString& connectionName) const {
    KxDbBlockPropertyDescArray descs;
    getPropertyDescriptions(descs);
    if (descs.isEmpty()) {
        return Acad::eKeyNotFound;
    }
    const AcString wanted(name);
    for (int i = 0; i < descs.length(); ++i) {
        if (acCompareNoCase(descs[i].name, wanted) == 0) {
            connectionName = descs[i].connectionName;
            break;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::validatePropertyName(const ACHAR* oldName,
                                                        const ACHAR* newName) const {
    const AcString oldText(oldName);
    const AcString newText(newName);
    if (acCompareNoCase(oldText, newText) == 0 || nodeId() == 0) {
        return Acad::eOk;
    }
    OpenGraph graph;
    if (openOwnerGraph(graph.slot(), AcDb::kForRead) != Acad::eOk) {
        // Nobody to clash with can be reached.
        return Acad::eOk;
    }
    return graph->isPropertyNameUnique(newText, nodeId()) ? Acad::eOk : Acad::eDuplicateKey;
}

Acad::ErrorStatus KxDbImpBlockTag::pullLookupValues() {
    OpenGraph graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    KxEdgeInfoArray edges;
    es = graph->getIncomingEdges(nodeId(), edges);
    if (es != Acad::eOk) {
        return es;
    }
    KxNodeId source = 0;
    int live = 0;
    for (int i = 0; i < edges.length(); ++i) {
        if ((edges[i].flags & kSuppressedEdge) == 0) {
            source = edges[i].sourceId;
            ++live;
        }
    }
    // Values come from a lookup action only when it is the parameter's single live input.
    if (live != 1) {
        return Acad::eOk;
    }
    OpenNode node;
    es = openForLook(graph.get(), source, node.slot());
    if (es != Acad::eOk) {
        return es;
    }
    const KxDbParamActionLink* link = KxDbParamActionLink::of(node.get());
    const KxDbTagEvalConnectable* lookup = KxDbTagEvalConnectable::cast(node.get());
    if (link == nullptr || lookup == nullptr ||
        link->actionLinkKind() != KxDbParamActionLink::kLookup) {
        return Acad::eOk;
    }
    KxDbBlockPropertyDescArray descs;
    getPropertyDescriptions(descs);
    for (int i = 0; i < descs.length(); ++i) {
        ACHAR suffix[16];
        std::swprintf(suffix, sizeof(suffix) / sizeof(suffix[0]), L" %d",
                      static_cast<int>(nodeId()));
        AcString connection = descs[i].connectionName;
        connection += suffix;
        KxDbTagEvalVariant value;
        if (lookup->hasConnection(connection) &&
            lookup->getConnectionValue(connection, value) == Acad::eOk) {
            setPropertyValue(descs[i].name, value);
        }
    }
    return Acad::eOk;
}

// --- Implementation: associated actions and history -------------------------------------------

bool KxDbImpBlockTag::hasAssociatedAction(const KxDbTagEvalGraph* graph) const {
    KxEdgeInfoArray edges;
    if (graph->getOutgoingEdges(nodeId(), edges) != Acad::eOk) {
        return false;
    }
    for (int i = 0; i < edges.length(); ++i) {
        OpenNode node;
        if (openForLook(graph, edges[i].targetId, node.slot()) != Acad::eOk) {
            continue;
        }
        const KxDbParamActionLink* link = KxDbParamActionLink::of(node.get());
        if (link == nullptr || node.get()->isErased()) {
            continue;
        }
        if (link->actionLinkKind() == KxDbParamActionLink::kLookup ||
            link->actionLinkParameterId() == nodeId()) {
            return true;
        }
    }
    return false;
}

Acad::ErrorStatus KxDbImpBlockTag::clearElementStateFlag() {
    Acad::ErrorStatus es = KxDbImpTagElement::clearElementStateFlag();
    if (es != Acad::eOk) {
        return es;
    }
    bool associated = false;
    if (nodeId() != 0) {
        OpenGraph graph;
        if (openOwnerGraph(graph.slot(), AcDb::kForNotify) == Acad::eOk) {
            associated = hasAssociatedAction(graph.get());
        }
    }
    const Adesk::Int32 flag = elementStateFlag();
    setElementStateFlag(associated ? (flag & ~kNoActionFlag) : (flag | kNoActionFlag));
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::edgeRemoved(KxNodeId otherId) {
    const Acad::ErrorStatus es = KxDbImpTagElement::edgeRemoved(otherId);
    clearStateFlagForTheMoment();
    return es;
}

bool KxDbImpBlockTag::wantsHistory() const {
    if (nodeId() == 0) {
        return false;
    }
    OpenGraph graph;
    if (openOwnerGraph(graph.slot(), AcDb::kForRead) != Acad::eOk) {
        // Without the graph nothing can be ruled out.
        return true;
    }
    KxEdgeInfoArray edges;
    if (graph->getOutgoingEdges(nodeId(), edges) != Acad::eOk) {
        return true;
    }
    if (edges.isEmpty()) {
        return false;
    }
    // History is wanted when one object is acted on by two actions of which one is not move-like
    // (their order then matters), or when an action keeps a list of its own. Every acting node is
    // looked at first; a single acting action cannot conflict with itself, which spares the
    // commonest case (one stretch over the whole block) any work per selected object.
    struct Acting {
        AcDbObjectIdArray selection;
        bool moveLike = false;
    };
    std::vector<Acting> acting;
    KxNodeIdArray seen;
    for (int i = 0; i < edges.length(); ++i) {
        const KxNodeId target = edges[i].targetId;
        if (seen.contains(target)) {
            continue;
        }
        seen.append(target);
        OpenNode node;
        if (openForLook(graph.get(), target, node.slot()) != Acad::eOk) {
            return true;
        }
        const KxDbParamActionLink* link = KxDbParamActionLink::of(node.get());
        if (link == nullptr || node.get()->isErased()) {
            continue;
        }
        if (link->actionLinkHasOwnList()) {
            return true;
        }
        Acting one;
        link->actionLinkSelection(one.selection);
        one.moveLike = KxDbParamActionLink::isMoveLike(link->actionLinkKind());
        acting.push_back(std::move(one));
    }
    if (acting.size() < 2) {
        return false;
    }
    // Each action's objects once (a selection naming an object twice still counts one action on
    // it), then all of them together in object order: an object met more than once is acted on
    // by several actions.
    std::vector<std::pair<Adesk::Int64, bool>> uses;
    for (const Acting& one : acting) {
        std::vector<Adesk::Int64> ids;
        ids.reserve(static_cast<size_t>(one.selection.length()));
        for (int k = 0; k < one.selection.length(); ++k) {
            if (!one.selection[k].isNull()) {
                ids.push_back(one.selection[k].asOldId());
            }
        }
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        for (const Adesk::Int64 id : ids) {
            uses.emplace_back(id, one.moveLike);
        }
    }
    std::sort(uses.begin(), uses.end());
    for (size_t first = 0; first < uses.size();) {
        size_t last = first + 1;
        bool other = !uses[first].second;
        for (; last < uses.size() && uses[last].first == uses[first].first; ++last) {
            other = other || !uses[last].second;
        }
        if (last - first > 1 && other) {
            return true;
        }
        first = last;
    }
    return false;
}

Acad::ErrorStatus KxDbImpBlockTag::readInputDisplacements(const KxConnectionMap* inputs, int count,
                                                          double* displacements, bool* found) {
    if (nodeId() == 0) {
        return KxStatus::kNotInGraph;
    }
    pullLookupValues();
    OpenGraph graph;
    Acad::ErrorStatus es = openOwnerGraph(graph.slot(), AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    KxNodeIdArray live;
    if ((es = kxparam::liveSources(graph.get(), nodeId(), live)) != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < count; ++i) {
        displacements[i] = kxparam::inputDisplacement(graph.get(), inputs[i], live, found[i]);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::connectedNodesOf(bool isConnection,
                                                    const KxConnectionMap* inputs,
                                                    KxNodeIdArray& ids) {
    if (!isConnection) {
        return Acad::eInvalidInput;
    }
    if (inputs != nullptr) {
        appendConnectedNodes(*inputs, ids);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockTag::connectedConnectionsOf(bool isConnection,
                                                          const KxConnectionMap* inputs,
                                                          KxNodeId nodeId, AcStringArray& names) {
    if (!isConnection) {
        return Acad::eInvalidInput;
    }
    if (inputs != nullptr) {
        appendConnectedConnections(*inputs, nodeId, names);
    }
    return Acad::eOk;
}

// --- Implementation: filing -------------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlockTag::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagElement::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    if (type == AcDb::kIdXlateFiler || type == AcDb::kIdFiler || type == AcDb::kPurgeFiler) {
        return Acad::eOk;
    }
    filer->writeBool(m_showProperties);
    filer->writeBool(m_chainActions);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlockTag::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagElement::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (filer->filerType() == AcDb::kIdXlateFiler) {
        return Acad::eOk;
    }
    Adesk::Boolean show = true;
    if ((es = filer->readBool(&show)) != Acad::eOk) {
        return es;
    }
    Adesk::Boolean chain = false;
    if (isReadVersionAfter(kChainActionsMaint) && (es = filer->readBool(&chain)) != Acad::eOk) {
        return es;
    }
    m_showProperties = show;
    m_chainActions = chain;
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlockTag::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagElement::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kParameterMarker);
    filer->writeInt8(280, m_showProperties ? 1 : 0);
    filer->writeInt8(281, m_chainActions ? 1 : 0);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlockTag::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagElement::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kParameterMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    bool show = true;
    bool chain = false;
    bool haveShow = false;
    bool haveChain = false;
    for (;;) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return Acad::eFilerError;
        }
        if (rb.restype == 280 || rb.restype == 290) {
            show = rb.resval.rint != 0;
            haveShow = true;
        } else if (rb.restype == 281 || rb.restype == 291) {
            chain = rb.resval.rint != 0;
            haveChain = true;
        } else {
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            break;
        }
    }
    if (!haveShow || (!haveChain && isReadVersionAfter(kChainActionsMaint))) {
        return Acad::eMissingDxfField;
    }
    m_showProperties = show;
    m_chainActions = chain;
    return Acad::eOk;
}

// --- Implementation: the modification guard ---------------------------------------------------

namespace {
enum OpenChange { kAlreadyWritable = 0, kUpgradedFromRead = 1, kUpgradedFromNotify = 2 };
}  // namespace

bool KxDbImpBlockTag::makeWritable(int& how) {
    how = kAlreadyWritable;
    AcDbObjectWrapper* pub = publicObject();
    if (pub == nullptr || pub->isErased()) {
        return false;
    }
    if (pub->isWriteEnabled()) {
        return true;
    }
    Acad::ErrorStatus es = pub->upgradeOpen();
    if (es == Acad::eOk) {
        how = kUpgradedFromRead;
        return true;
    }
    if (es == Acad::eWasOpenForNotify) {
        Adesk::Boolean wasWritable = false;
        if (pub->upgradeFromNotify(wasWritable) == Acad::eOk) {
            how = wasWritable ? kAlreadyWritable : kUpgradedFromNotify;
            return true;
        }
    }
    return false;
}

void KxDbImpBlockTag::restoreOpen(int how) {
    AcDbObjectWrapper* pub = publicObject();
    if (how == kUpgradedFromRead) {
        pub->downgradeOpen();
    } else if (how == kUpgradedFromNotify) {
        pub->downgradeToNotify(false);
    }
}
