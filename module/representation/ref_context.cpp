#include "module/representation/ref_context.h"

#include <cwchar>
#include <new>
#include <string>

#include "host/db/xrecord.h"
#include "host/entities/blockref.h"
#include "host/ge/tol.h"
#include "module/actions/action.h"
#include "module/actions/lookup_action.h"
#include "module/display/labels.h"
#include "module/graph/element.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_graph.h"
#include "module/grips/alignment_grip.h"
#include "module/grips/grip.h"
#include "module/grips/lookup_grip.h"
#include "module/grips/visibility_grip.h"
#include "module/params/block_2pt_tag.h"
#include "module/params/block_tag.h"
#include "module/params/flip_tag.h"
#include "module/params/properties_table.h"
#include "module/representation/history.h"
#include "module/representation/ref_context_imp.h"
#include "module/representation/rep_drag.h"
#include "module/representation/representation.h"
#include "module/representation/representation_context.h"

namespace {

// The label under which a properties table is listed among the parameters.
constexpr unsigned kPropertiesTableLabel = 1151;

// Holds a database object opened by id and closes it on every path.
template <class T>
class Opened {
  public:
    Opened() = default;
    ~Opened() { reset(); }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    Acad::ErrorStatus open(const AcDbObjectId& id, AcDb::OpenMode mode) {
        reset();
        AcDbObject* obj = nullptr;
        Acad::ErrorStatus es = acdbOpenObject(obj, id, mode);
        if (es != Acad::eOk) {
            return es;
        }
        m_obj = T::cast(obj);
        if (m_obj == nullptr) {
            obj->close();
            return Acad::eWrongObjectType;
        }
        return Acad::eOk;
    }
    void reset() {
        if (m_obj != nullptr) {
            m_obj->close();
            m_obj = nullptr;
        }
    }
    T* operator->() const { return m_obj; }
    T* get() const { return m_obj; }

  private:
    T* m_obj = nullptr;
};

// Holds a node of the graph copy and closes it (a no-op for in-memory nodes, kept for symmetry
// with database graphs).
class CopyNode {
  public:
    CopyNode() = default;
    ~CopyNode() { reset(); }
    CopyNode(const CopyNode&) = delete;
    CopyNode& operator=(const CopyNode&) = delete;
    Acad::ErrorStatus open(KxDbTagEvalGraph* graph, KxNodeId id, AcDb::OpenMode mode) {
        reset();
        if (graph == nullptr) {
            return Acad::eNullObjectPointer;
        }
        return graph->getNode(id, mode, m_node);
    }
    void reset() {
        if (m_node != nullptr) {
            m_node->close();
            m_node = nullptr;
        }
    }
    KxDbTagEvalExpr* get() const { return m_node; }

  private:
    KxDbTagEvalExpr* m_node = nullptr;
};

// Holds the root data of a database.
class RootData {
  public:
    ~RootData() {
        if (m_root != nullptr) {
            m_root->close();
        }
    }
    Acad::ErrorStatus open(AcDbDatabase* db, AcDb::OpenMode mode, bool create = false) {
        return KxDbTagRootData::openRootData(db, mode, create, m_root);
    }
    KxDbTagRootData* operator->() const { return m_root; }

  private:
    KxDbTagRootData* m_root = nullptr;
};

// Releases a result-buffer chain.
class Chain {
  public:
    Chain() = default;
    ~Chain() { acutRelRb(m_head); }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    resbuf*& slot() { return m_head; }
    resbuf* get() const { return m_head; }

  private:
    resbuf* m_head = nullptr;
};

AcString entryName(KxNodeId id) {
    return AcString(std::to_wstring(id).c_str());
}

bool sameKind(const ACHAR* suffix, const ACHAR* kind) {
    return suffix != nullptr && acCompareNoCase(suffix, kind) == 0;
}

// A new xrecord holding a copy of the chain (an empty chain gives an empty record).
Acad::ErrorStatus makeXrecord(const resbuf* chain, AcDbXrecord*& xrecord) {
    xrecord = new AcDbXrecord();
    if (xrecord == nullptr) {
        return Acad::eOutOfMemory;
    }
    if (chain != nullptr) {
        const Acad::ErrorStatus es = xrecord->setFromRbChain(*chain);
        if (es != Acad::eOk) {
            delete xrecord;
            xrecord = nullptr;
            return es;
        }
    }
    return Acad::eOk;
}

// Ends the hand-over of an xrecord to the root data: an adopted record is resident and open for
// write (closed here); one that was refused is still ours (deleted here).
void finishHandOver(AcDbXrecord* xrecord) {
    if (xrecord->objectId().isNull()) {
        delete xrecord;
    } else {
        xrecord->close();
    }
}

// A failure of a clear that only says there was nothing to clear is no failure.
Acad::ErrorStatus tolerateMissing(Acad::ErrorStatus es) {
    return es == Acad::eKeyNotFound ? Acad::eOk : es;
}

}  // namespace

// --- Public object ----------------------------------------------------------------------------

KxDbTagRefContext::KxDbTagRefContext(const ACHAR* key, AcDbBlockReference* ref)
    : m_pImp(new (std::nothrow) KxDbImpTagRefContext(this, key)) {
    if (m_pImp != nullptr) {
        m_pImp->bind(ref);
    }
}

KxDbTagRefContext::~KxDbTagRefContext() {
    delete m_pImp;
}

#define KX_REF_FORWARD(EXPR, FALLBACK) return m_pImp != nullptr ? (EXPR) : (FALLBACK)

Acad::ErrorStatus KxDbTagRefContext::bind(AcDbBlockReference* ref) {
    KX_REF_FORWARD(m_pImp->bind(ref), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::bindStatus() const {
    KX_REF_FORWARD(m_pImp->bindStatus(), Acad::eOutOfMemory);
}
bool KxDbTagRefContext::isBound() const {
    KX_REF_FORWARD(m_pImp->isBound(), false);
}
bool KxDbTagRefContext::isBoundAndUniform() const {
    KX_REF_FORWARD(m_pImp->isBoundAndUniform(), false);
}
bool KxDbTagRefContext::definitionHasProxyEntities() const {
    KX_REF_FORWARD(m_pImp->definitionHasProxyEntities(), false);
}
bool KxDbTagRefContext::hasSecondRestriction() const {
    KX_REF_FORWARD(m_pImp->hasSecondRestriction(), false);
}
AcDbBlockReference* KxDbTagRefContext::blockReference() const {
    KX_REF_FORWARD(m_pImp->blockReference(), nullptr);
}
const AcString& KxDbTagRefContext::key() const {
    static const AcString kNone;
    return m_pImp != nullptr ? m_pImp->key() : kNone;
}
AcDbObjectId KxDbTagRefContext::definitionId() const {
    KX_REF_FORWARD(m_pImp->definitionId(), AcDbObjectId());
}
KxDbTagEvalGraph* KxDbTagRefContext::graphCopy() {
    KX_REF_FORWARD(m_pImp->graphCopy(), nullptr);
}
KxDbTagEvalContext* KxDbTagRefContext::evaluationContext() {
    KX_REF_FORWARD(m_pImp->evaluationContext(), nullptr);
}
Acad::ErrorStatus KxDbTagRefContext::listGrips(KxNodeIdArray& ids) {
    ids.setLogicalLength(0);
    KX_REF_FORWARD(m_pImp->listGrips(ids), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::getNode(KxNodeId id, KxDbTagEvalExpr*& node) {
    node = nullptr;
    KX_REF_FORWARD(m_pImp->getNode(id, node), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::getNodeIds(KxNodeIdArray& ids) {
    KX_REF_FORWARD(m_pImp->getNodeIds(ids), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::listParameters(KxDbTagParameterList& params) {
    KX_REF_FORWARD(m_pImp->listParameters(params), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::getPropertyValue(const KxDbTagParameterEntry& entry,
                                                      const ACHAR* name,
                                                      KxDbTagEvalVariant& value) {
    KX_REF_FORWARD(m_pImp->getPropertyValue(entry, name, false, value), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::getPropertyValueUntransformed(
    const KxDbTagParameterEntry& entry, const ACHAR* name, KxDbTagEvalVariant& value) {
    KX_REF_FORWARD(m_pImp->getPropertyValue(entry, name, true, value), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::getPropertyDescriptions(const KxDbTagParameterEntry& entry,
                                                             KxDbBlockPropertyDescArray& descs) {
    KX_REF_FORWARD(m_pImp->getPropertyDescriptions(entry, descs), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::activateNode(KxNodeId id) {
    KX_REF_FORWARD(m_pImp->activateNode(id), Acad::eOutOfMemory);
}
KxNodeId KxDbTagRefContext::activeNode() const {
    KX_REF_FORWARD(m_pImp->activeNode(), 0);
}
const KxNodeIdArray& KxDbTagRefContext::activatedIds() const {
    static const KxNodeIdArray kNone;
    return m_pImp != nullptr ? m_pImp->activatedIds() : kNone;
}
Acad::ErrorStatus KxDbTagRefContext::setValue(const ACHAR* name, const KxDbTagEvalVariant& value,
                                              bool asProperty) {
    KX_REF_FORWARD(m_pImp->setValue(name, value, asProperty), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::evaluateChange() {
    KX_REF_FORWARD(m_pImp->evaluateChange(), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::setPropertyAndEvaluate(const ACHAR* name,
                                                            const KxDbTagEvalVariant& value) {
    const Acad::ErrorStatus es = setValue(name, value, true);
    return es == Acad::eOk ? evaluateChange() : es;
}
Acad::ErrorStatus KxDbTagRefContext::setValueAndEvaluate(const ACHAR* name,
                                                         const KxDbTagEvalVariant& value) {
    const Acad::ErrorStatus es = setValue(name, value, false);
    return es == Acad::eOk ? evaluateChange() : es;
}
Acad::ErrorStatus KxDbTagRefContext::applyRecords(const ACHAR* kindSuffix,
                                                  KxNodeIdArray& received) {
    KX_REF_FORWARD(m_pImp->applyRecords(kindSuffix, received), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::writeRecords() {
    KX_REF_FORWARD(m_pImp->writeRecords(), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::readHistory(resbuf*& chain) const {
    chain = nullptr;
    KX_REF_FORWARD(m_pImp->readHistory(chain), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::replayHistory(const resbuf* chain) {
    KX_REF_FORWARD(m_pImp->replayHistory(chain), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::replayProperties(const ACHAR* kindSuffix) {
    KX_REF_FORWARD(m_pImp->replayProperties(kindSuffix), Acad::eOutOfMemory);
}
Acad::ErrorStatus KxDbTagRefContext::rebuildFromRecords() {
    KX_REF_FORWARD(m_pImp->rebuildFromRecords(), Acad::eOutOfMemory);
}

#undef KX_REF_FORWARD

// --- Binding and the graph copy -----------------------------------------------------------------

KxDbImpTagRefContext::KxDbImpTagRefContext(KxDbTagRefContext* pub, const ACHAR* key)
    : m_pub(pub), m_key(key != nullptr ? key : kxref::kDefaultKey) {}

KxDbImpTagRefContext::~KxDbImpTagRefContext() {
    resetCopy();
}

void KxDbImpTagRefContext::resetTransient() {
    m_activeNode = 0;
    m_lastValue.clear();
    m_lastName = AcString();
    m_previousLocation = AcGePoint3d::kOrigin;
    m_activatedIds.setLogicalLength(0);
}

void KxDbImpTagRefContext::resetCopy() {
    resetTransient();
    delete m_evalContext;
    m_evalContext = nullptr;
    // The representation context goes after the evaluation context that refers to it; its
    // destruction may offer the reference a shared representation.
    delete m_repContext;
    m_repContext = nullptr;
    delete m_copy;
    m_copy = nullptr;
    m_nodeIds.setLogicalLength(0);
    m_unusable = false;
    m_dataLoaded = false;
    m_restrictionsCached = false;
    m_proxyEntities = false;
    m_secondRestriction = false;
}

Acad::ErrorStatus KxDbImpTagRefContext::bind(AcDbBlockReference* ref) {
    resetCopy();
    m_bound = false;
    m_representation = nullptr;
    m_definitionId = AcDbObjectId();
    m_graphId = AcDbObjectId();
    m_ref = ref;
    m_bindStatus = Acad::eOk;
    if (ref == nullptr) {
        return m_bindStatus = Acad::eInvalidInput;
    }
    // Multi-inserts and other derived references carry no per-reference state of their own.
    if (ref->isA() != AcDbBlockReference::desc()) {
        return m_bindStatus = Acad::eWrongObjectType;
    }
    m_representation = KxDbTagRepresentation::cast(ref->queryX(KxDbTagRepresentation::desc()));
    if (m_representation == nullptr) {
        return m_bindStatus = Acad::eOk;
    }
    AcDbObjectId definition = m_representation->getSourceDefinition(ref);
    if (definition.isNull()) {
        definition = ref->blockTableRecord();
    }
    if (definition.isNull()) {
        return m_bindStatus = Acad::eNotHandled;
    }
    RootData root;
    Acad::ErrorStatus es = root.open(definition.database(), AcDb::kForRead);
    if (es == Acad::eKeyNotFound) {
        // A drawing without dynamic blocks has no root data.
        return m_bindStatus = Acad::eOk;
    }
    if (es != Acad::eOk) {
        return m_bindStatus = es;
    }
    AcDbObjectId graphId;
    if (!root->getGraph(definition, graphId)) {
        return m_bindStatus = Acad::eOk;
    }
    m_definitionId = definition;
    m_graphId = graphId;
    m_bound = true;
    return m_bindStatus = Acad::eOk;
}

// The copy is made once per binding: it carries the reference's loaded state from one operation
// to the next, so it is never replaced behind the node ids and the active node.
Acad::ErrorStatus KxDbImpTagRefContext::prepareCopy() {
    if (m_unusable) {
        return KxStatus::kGraphCopyUnusable;
    }
    if (m_copy != nullptr) {
        return Acad::eOk;
    }
    AcRxObject* made = nullptr;
    {
        Opened<KxDbTagEvalGraph> source;
        const Acad::ErrorStatus es = source.open(m_graphId, AcDb::kForRead);
        if (es != Acad::eOk) {
            return es;
        }
        made = source->clone();
    }
    m_copy = KxDbTagEvalGraph::cast(made);
    if (m_copy == nullptr) {
        delete made;
        return Acad::eOutOfMemory;
    }
    Acad::ErrorStatus es = m_copy->getAllNodeIds(m_nodeIds);
    for (int i = 0; es == Acad::eOk && i < m_nodeIds.length(); ++i) {
        CopyNode node;
        if (node.open(m_copy, m_nodeIds[i], AcDb::kForRead) != Acad::eOk ||
            node.get()->isAProxy()) {
            es = KxStatus::kGraphCopyUnusable;
        }
    }
    if (es != Acad::eOk) {
        delete m_copy;
        m_copy = nullptr;
        m_nodeIds.setLogicalLength(0);
        m_unusable = true;
        return KxStatus::kGraphCopyUnusable;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRefContext::buildEvalContext() {
    if (m_evalContext != nullptr) {
        return Acad::eOk;
    }
    if (!m_bound || m_representation == nullptr || m_copy == nullptr) {
        return Acad::eNotHandled;
    }
    if (m_repContext == nullptr) {
        m_repContext = m_representation->newRepresentationContext(m_ref);
        if (m_repContext == nullptr) {
            return Acad::eOutOfMemory;
        }
    }
    m_evalContext = new KxDbTagEvalContext();
    if (m_evalContext == nullptr) {
        return Acad::eOutOfMemory;
    }
    m_evalContext->addPair(KxDbTagEvalContextPair(m_key.kwszPtr(), m_repContext));
    m_evalContext->addPair(KxDbTagEvalContextPair(KX_EVAL_KEY_REFERENCE, m_ref));
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRefContext::evaluateCopy(int mode) {
    if (m_evalContext == nullptr || m_copy == nullptr) {
        return Acad::eInvalidInput;
    }
    // The mode replaces whatever an earlier step left in the context.
    kxSetEvalMode(m_evalContext, static_cast<KxEvalMode>(mode));
    return m_copy->evaluate(m_evalContext);
}

Acad::ErrorStatus KxDbImpTagRefContext::loadRecords() {
    return loadRecordsOfKind(kxref::kDataSuffix);
}

Acad::ErrorStatus KxDbImpTagRefContext::loadRecordsOfKind(const ACHAR* kindSuffix) {
    if (!m_bound || m_representation == nullptr) {
        return Acad::eNotHandled;
    }
    Acad::ErrorStatus es = prepareCopy();
    if (es != Acad::eOk) {
        return es;
    }
    m_blockTransform = m_ref->blockTransform();
    if (m_dataLoaded) {
        return Acad::eOk;
    }
    // Marked first: a failing replay is reported once, not repeated by every later operation.
    m_dataLoaded = true;
    KxNodeIdArray received;
    es = applyEntries(kindSuffix, received);
    if (es != Acad::eOk) {
        return es;
    }
    if ((es = buildEvalContext()) != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < received.length(); ++i) {
        bool onLoad = false;
        {
            CopyNode node;
            if (node.open(m_copy, received[i], AcDb::kForRead) == Acad::eOk) {
                onLoad = node.get()->evaluatesOnLoad();
            }
        }
        if (!onLoad) {
            continue;
        }
        KxNodeIdArray one;
        one.append(received[i]);
        if ((es = m_copy->activate(one)) == Acad::eOk) {
            es = evaluateCopy(kEvalModeLoad);
        }
        if (es != Acad::eOk) {
            break;
        }
    }
    resetTransient();
    return es;
}

AcDbDatabase* KxDbImpTagRefContext::recordDatabase() const {
    return recordReferenceId().database();
}

AcDbObjectId KxDbImpTagRefContext::recordReferenceId() const {
    if (m_ref == nullptr) {
        return AcDbObjectId();
    }
    const AcDbObjectId own = m_ref->objectId();
    return own.isNull() ? kxdrag::sourceReferenceOf(m_ref) : own;
}

AcDbObjectId KxDbImpTagRefContext::referenceId() const {
    return m_ref != nullptr ? m_ref->objectId() : AcDbObjectId();
}

// --- Queries ------------------------------------------------------------------------------------

bool KxDbImpTagRefContext::isBound() {
    return m_bound && m_representation != nullptr && prepareCopy() == Acad::eOk;
}

bool KxDbImpTagRefContext::isBoundAndUniform() {
    if (!isBound()) {
        return false;
    }
    const AcGeMatrix3d xform = m_ref->blockTransform();
    const double scale = xform.scale();
    const AcGeTol tol(AcGeContext::gTol.equalPoint() * scale,
                      AcGeContext::gTol.equalVector() * scale);
    return xform.isUniScaledOrtho(tol);
}

void KxDbImpTagRefContext::cacheRestrictions() {
    if (m_restrictionsCached) {
        return;
    }
    if (m_repContext == nullptr && m_representation != nullptr && m_ref != nullptr) {
        m_repContext = m_representation->newRepresentationContext(m_ref);
    }
    if (m_repContext != nullptr) {
        m_proxyEntities = m_repContext->definitionHasProxyEntities();
        m_secondRestriction = m_repContext->hasSecondRestriction();
        m_restrictionsCached = true;
    }
}

bool KxDbImpTagRefContext::definitionHasProxyEntities() {
    cacheRestrictions();
    return m_proxyEntities;
}

bool KxDbImpTagRefContext::hasSecondRestriction() {
    cacheRestrictions();
    return m_secondRestriction;
}

KxDbTagEvalGraph* KxDbImpTagRefContext::graphCopy() {
    return loadRecords() == Acad::eOk ? m_copy : nullptr;
}

KxDbTagEvalContext* KxDbImpTagRefContext::evaluationContext() {
    return loadRecords() == Acad::eOk ? m_evalContext : nullptr;
}

Acad::ErrorStatus KxDbImpTagRefContext::isGripOffered(const KxDbTagGrip* grip, bool& offered) {
    offered = false;
    if (grip->displayFlag() == 0) {
        return Acad::eOk;
    }
    if (KxDbTagVisibilityGrip::cast(grip) != nullptr || KxDbTagLookupGrip::cast(grip) != nullptr ||
        KxDbTagAlignmentGrip::cast(grip) != nullptr) {
        offered = true;
        return Acad::eOk;
    }
    KxDbBlockTag* param = nullptr;
    if (grip->openParameter(param, AcDb::kForRead) != Acad::eOk || param == nullptr) {
        // A grip of its own, driving no parameter.
        offered = true;
        return Acad::eOk;
    }
    const KxNodeId paramId = param->getNodeId();
    const KxDbBlock2PtTag* twoPoint = KxDbBlock2PtTag::cast(param);
    const bool byEnd = twoPoint != nullptr && KxDbBlockFlipTag::cast(param) == nullptr;
    int index = -1;
    if (byEnd) {
        grip->gripIndex(index);
    }
    KxEdgeInfoArray edges;
    Acad::ErrorStatus es = m_copy->getOutgoingEdges(paramId, edges);
    for (int i = 0; es == Acad::eOk && !offered && i < edges.length(); ++i) {
        CopyNode target;
        if ((es = target.open(m_copy, edges[i].targetId, AcDb::kForRead)) != Acad::eOk) {
            break;
        }
        const KxDbTagAction* action = KxDbTagAction::cast(target.get());
        if (action == nullptr) {
            continue;
        }
        offered = !byEnd || (KxDbTagLookupAction::cast(action) == nullptr &&
                             twoPoint->isGripUsed(index, action));
    }
    param->close();
    return es;
}

Acad::ErrorStatus KxDbImpTagRefContext::listGrips(KxNodeIdArray& ids) {
    ids.setLogicalLength(0);
    Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < m_nodeIds.length(); ++i) {
        CopyNode node;
        if ((es = node.open(m_copy, m_nodeIds[i], AcDb::kForRead)) != Acad::eOk) {
            return es;
        }
        const KxDbTagGrip* grip = KxDbTagGrip::cast(node.get());
        if (grip == nullptr) {
            continue;
        }
        bool offered = false;
        if ((es = isGripOffered(grip, offered)) != Acad::eOk) {
            return es;
        }
        if (offered) {
            ids.append(m_nodeIds[i]);
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRefContext::getNode(KxNodeId id, KxDbTagEvalExpr*& node) {
    node = nullptr;
    const Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    return m_copy->getNode(id, AcDb::kForRead, node);
}

Acad::ErrorStatus KxDbImpTagRefContext::getNodeIds(KxNodeIdArray& ids) {
    ids.setLogicalLength(0);
    const Acad::ErrorStatus es = loadRecords();
    if (es == Acad::eOk) {
        ids = m_nodeIds;
    }
    return es;
}

Acad::ErrorStatus KxDbImpTagRefContext::listParameters(KxDbTagParameterList& params) {
    params.clear();
    Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < m_nodeIds.length(); ++i) {
        CopyNode node;
        if ((es = node.open(m_copy, m_nodeIds[i], AcDb::kForRead)) != Acad::eOk) {
            return es;
        }
        const KxDbBlockTag* param = KxDbBlockTag::cast(node.get());
        if (param == nullptr) {
            continue;
        }
        if (KxDbTagPropertiesTable::cast(param) != nullptr) {
            params.emplace_back(kxdisplay::loadLabel(kPropertiesTableLabel), m_nodeIds[i]);
        } else {
            params.emplace_back(param->getName(), m_nodeIds[i]);
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRefContext::getPropertyValue(const KxDbTagParameterEntry& entry,
                                                         const ACHAR* name, bool identity,
                                                         KxDbTagEvalVariant& value) {
    Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    if (!m_nodeIds.contains(entry.second)) {
        return Acad::eInvalidInput;
    }
    CopyNode node;
    if ((es = node.open(m_copy, entry.second, AcDb::kForRead)) != Acad::eOk) {
        return es;
    }
    const KxDbBlockTag* param = KxDbBlockTag::cast(node.get());
    if (param == nullptr) {
        return Acad::eInvalidInput;
    }
    const AcGeMatrix3d xform = identity ? AcGeMatrix3d::kIdentity : m_blockTransform;
    return param->getPropertyValueTransformed(name, xform, value);
}

Acad::ErrorStatus KxDbImpTagRefContext::getPropertyDescriptions(const KxDbTagParameterEntry& entry,
                                                                KxDbBlockPropertyDescArray& descs) {
    descs.setLogicalLength(0);
    Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    if (!m_nodeIds.contains(entry.second)) {
        return Acad::eInvalidInput;
    }
    CopyNode node;
    if ((es = node.open(m_copy, entry.second, AcDb::kForRead)) != Acad::eOk) {
        return es;
    }
    const KxDbBlockTag* param = KxDbBlockTag::cast(node.get());
    if (param == nullptr) {
        return Acad::eInvalidInput;
    }
    if ((es = param->getPropertyDescriptions(descs)) != Acad::eOk) {
        return es;
    }
    if (param->displayFlag() == 0) {
        for (int i = 0; i < descs.length(); ++i) {
            descs[i].visible = 0;
        }
    }
    return Acad::eOk;
}

// --- Changing values ----------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagRefContext::activateNode(KxNodeId id) {
    Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    if (!m_nodeIds.contains(id)) {
        return Acad::eInvalidInput;
    }
    resetTransient();
    KxNodeIdArray one;
    one.append(id);
    KxNodeIdArray activated;
    if ((es = m_copy->activate(one, &activated)) != Acad::eOk) {
        return es;
    }
    m_activatedIds = activated;
    m_activeNode = id;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRefContext::setValue(const ACHAR* name, const KxDbTagEvalVariant& value,
                                                 bool asProperty) {
    Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    if (m_activeNode == 0) {
        return KxStatus::kNoActiveNode;
    }
    if (name == nullptr) {
        return Acad::eInvalidInput;
    }
    if (definitionHasProxyEntities() || hasSecondRestriction()) {
        return kxref::kCannotChange;
    }
    CopyNode node;
    if ((es = node.open(m_copy, m_activeNode, AcDb::kForWrite)) != Acad::eOk) {
        return es;
    }
    const bool isPoint = value.type() == 10 || value.type() == 11;
    const AcGeVector3d offset(value.point().x, value.point().y, 0.0);
    KxDbTagGrip* grip = KxDbTagGrip::cast(node.get());
    KxDbBlock2PtTag* twoPoint = KxDbBlock2PtTag::cast(node.get());
    KxDbBlockTag* param = KxDbBlockTag::cast(node.get());
    if (wcscmp(name, kxref::kGripLocation) == 0 && isPoint && grip != nullptr) {
        // The drag moves the grip's requested location away from where the grip stands now; the
        // grip's stored location (its offset from the parameter) is not touched.
        m_previousLocation = grip->gripPosition();
        es = grip->setUpdatedLocation(m_previousLocation + offset);
    } else if (wcscmp(name, kxref::kTwoPointBase) == 0 && isPoint && twoPoint != nullptr) {
        m_previousLocation = twoPoint->currentBasePoint();
        es = twoPoint->setUpdatedBasePoint(m_previousLocation + offset);
    } else if (wcscmp(name, kxref::kTwoPointEnd) == 0 && isPoint && twoPoint != nullptr) {
        m_previousLocation = twoPoint->currentEndPoint();
        es = twoPoint->setUpdatedEndPoint(m_previousLocation + offset);
    } else if (param != nullptr) {
        es = asProperty ? param->setPropertyValueTransformed(name, m_blockTransform, value)
                        : param->setPropertyValue(name, value);
    }
    m_lastName = name;
    return es;
}

Acad::ErrorStatus KxDbImpTagRefContext::evaluateChange() {
    Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    if (m_activeNode == 0) {
        return KxStatus::kNoActiveNode;
    }
    es = evaluateCopy(kEvalModeInteractive);
    if (es == Acad::eOk && !referenceId().isNull()) {
        es = writeRecords();
        if (es == Acad::eOk && m_repContext != nullptr) {
            es = m_repContext->update();
        }
    }
    if (es != Acad::eOk && m_repContext != nullptr) {
        // A failed change must not leave a representation block made for it, nor be offered
        // for sharing with blocks whose state it does not show.
        m_repContext->abandonChange();
    }
    resetTransient();
    return es;
}

// --- Records ------------------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagRefContext::applyRecords(const ACHAR* kindSuffix,
                                                     KxNodeIdArray& received) {
    received.setLogicalLength(0);
    const Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    return applyEntries(kindSuffix, received);
}

Acad::ErrorStatus KxDbImpTagRefContext::applyEntries(const ACHAR* kindSuffix,
                                                     KxNodeIdArray& received) {
    received.setLogicalLength(0);
    if (m_copy == nullptr || m_nodeIds.isEmpty()) {
        return Acad::eOk;
    }
    const AcDbObjectId refId = recordReferenceId();
    RootData root;
    if (refId.isNull() || root.open(recordDatabase(), AcDb::kForRead) != Acad::eOk) {
        // A reference outside a database, or a drawing without root data: nothing stored.
        return Acad::eOk;
    }
    KxDbTagRootDataEntryMap entries;
    if (sameKind(kindSuffix, kxref::kHDataSuffix)) {
        root->getHDataEntries(refId, entries);
    } else {
        root->getDataEntries(refId, entries);
    }
    for (int i = 0; i < m_nodeIds.length(); ++i) {
        const auto found = entries.find(entryName(m_nodeIds[i]));
        if (found == entries.end()) {
            continue;
        }
        Chain chain;
        {
            Opened<AcDbXrecord> xrecord;
            if (xrecord.open(found->second, AcDb::kForRead) != Acad::eOk) {
                continue;
            }
            Acad::ErrorStatus es = xrecord->rbChain(&chain.slot());
            if (es != Acad::eOk) {
                return es;
            }
        }
        CopyNode node;
        Acad::ErrorStatus es = node.open(m_copy, m_nodeIds[i], AcDb::kForWrite);
        if (es != Acad::eOk) {
            return es;
        }
        KxDbTagElement* element = KxDbTagElement::cast(node.get());
        if (element == nullptr) {
            continue;
        }
        const resbuf* cursor = chain.get();
        if ((es = element->applyInstanceData(cursor)) != Acad::eOk) {
            return es;
        }
        received.append(m_nodeIds[i]);
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRefContext::historyValue(KxDbTagEvalVariant& value, bool& empty) {
    empty = false;
    value.clear();
    CopyNode node;
    Acad::ErrorStatus es = node.open(m_copy, m_activeNode, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    const KxDbTagGrip* grip = KxDbTagGrip::cast(node.get());
    const KxDbBlock2PtTag* twoPoint = KxDbBlock2PtTag::cast(node.get());
    const KxDbBlockTag* param = KxDbBlockTag::cast(node.get());
    bool isDisplacement = true;
    AcGeVector3d moved;
    if (m_lastName == kxref::kGripLocation && grip != nullptr) {
        // What the grip really moved once constrained: replaying it gives the same state.
        moved = grip->gripPosition() - m_previousLocation;
    } else if (m_lastName == kxref::kTwoPointBase && twoPoint != nullptr) {
        moved = twoPoint->updatedBasePoint() - m_previousLocation;
    } else if (m_lastName == kxref::kTwoPointEnd && twoPoint != nullptr) {
        moved = twoPoint->updatedEndPoint() - m_previousLocation;
    } else if (param != nullptr) {
        isDisplacement = false;
        es = param->getPropertyValue(m_lastName.kwszPtr(), value);
    } else {
        return Acad::eInvalidInput;
    }
    if (isDisplacement) {
        value.setPoint(AcGePoint3d(moved.x, moved.y, moved.z));
        empty = moved.isZeroLength();
    }
    return es;
}

Acad::ErrorStatus KxDbImpTagRefContext::readHistory(resbuf*& chain) const {
    chain = nullptr;
    const AcDbObjectId refId = recordReferenceId();
    if (refId.isNull()) {
        return Acad::eKeyNotFound;
    }
    AcDbObjectId historyId;
    {
        RootData root;
        const Acad::ErrorStatus es = root.open(recordDatabase(), AcDb::kForRead);
        if (es != Acad::eOk) {
            return es;
        }
        if (!root->getHistory(refId, historyId)) {
            return Acad::eKeyNotFound;
        }
    }
    Opened<AcDbXrecord> xrecord;
    const Acad::ErrorStatus es = xrecord.open(historyId, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    return xrecord->rbChain(&chain);
}

namespace {

struct InstanceChain {
    KxNodeId id = 0;
    resbuf* chain = nullptr;
};

class InstanceChains {
  public:
    InstanceChains() = default;
    ~InstanceChains() {
        for (InstanceChain& item : items) {
            acutRelRb(item.chain);
        }
    }
    InstanceChains(const InstanceChains&) = delete;
    InstanceChains& operator=(const InstanceChains&) = delete;
    std::vector<InstanceChain> items;
};

// Gathers the instance data of every element of the graph, and whether any element wants
// history.
Acad::ErrorStatus gatherInstanceData(KxDbTagEvalGraph* graph, const KxNodeIdArray& ids,
                                     InstanceChains& chains, bool& anyHistory) {
    anyHistory = false;
    for (int i = 0; i < ids.length(); ++i) {
        CopyNode node;
        Acad::ErrorStatus es = node.open(graph, ids[i], AcDb::kForRead);
        if (es != Acad::eOk) {
            return es;
        }
        const KxDbTagElement* element = KxDbTagElement::cast(node.get());
        if (element == nullptr) {
            continue;
        }
        anyHistory = anyHistory || element->wantsHistory();
        if (!element->hasInstanceData()) {
            continue;
        }
        InstanceChain item;
        item.id = ids[i];
        if ((es = element->getInstanceData(item.chain)) != Acad::eOk) {
            acutRelRb(item.chain);
            return es;
        }
        chains.items.push_back(item);
    }
    return Acad::eOk;
}

// Replaces the reference's data entries with the chains.
Acad::ErrorStatus storeInstanceData(AcDbDatabase* db, const AcDbObjectId& refId,
                                    const InstanceChains& chains) {
    RootData root;
    Acad::ErrorStatus es = root.open(db, AcDb::kForWrite, true);
    if (es != Acad::eOk) {
        return es;
    }
    if ((es = tolerateMissing(root->clearData(refId))) != Acad::eOk) {
        return es;
    }
    for (const InstanceChain& item : chains.items) {
        AcDbXrecord* xrecord = nullptr;
        if ((es = makeXrecord(item.chain, xrecord)) != Acad::eOk) {
            return es;
        }
        es = root->setDataEntry(refId, entryName(item.id).kwszPtr(), xrecord);
        finishHandOver(xrecord);
        if (es != Acad::eOk) {
            return es;
        }
    }
    return Acad::eOk;
}

}  // namespace

Acad::ErrorStatus KxDbImpTagRefContext::storeHistory(const resbuf* chain) {
    RootData root;
    Acad::ErrorStatus es = root.open(recordDatabase(), AcDb::kForWrite, true);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDbObjectId refId = referenceId();
    if (chain == nullptr) {
        return tolerateMissing(root->clearHistory(refId));
    }
    AcDbXrecord* xrecord = nullptr;
    if ((es = makeXrecord(chain, xrecord)) != Acad::eOk) {
        return es;
    }
    es = root->setHistory(refId, xrecord);
    finishHandOver(xrecord);
    return es;
}

Acad::ErrorStatus KxDbImpTagRefContext::rewriteDataEntries() {
    InstanceChains chains;
    bool anyHistory = false;
    Acad::ErrorStatus es = gatherInstanceData(m_copy, m_nodeIds, chains, anyHistory);
    if (es != Acad::eOk) {
        return es;
    }
    return storeInstanceData(recordDatabase(), referenceId(), chains);
}

Acad::ErrorStatus KxDbImpTagRefContext::collectState(bool& anyInstance, bool& anyHistory) {
    anyInstance = false;
    anyHistory = false;
    for (int i = 0; i < m_nodeIds.length(); ++i) {
        CopyNode node;
        const Acad::ErrorStatus es = node.open(m_copy, m_nodeIds[i], AcDb::kForRead);
        if (es != Acad::eOk) {
            return es;
        }
        if (const KxDbTagElement* element = KxDbTagElement::cast(node.get())) {
            anyInstance = anyInstance || element->hasInstanceData();
            anyHistory = anyHistory || element->wantsHistory();
        }
    }
    return Acad::eOk;
}

// Everything new is built before anything stored is cleared, so a failure leaves the reference's
// previous records in place.
Acad::ErrorStatus KxDbImpTagRefContext::writeRecords() {
    Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    if (m_nodeIds.isEmpty()) {
        return Acad::eOk;
    }
    const AcDbObjectId refId = referenceId();
    if (refId.isNull()) {
        return Acad::eInvalidInput;
    }
    InstanceChains chains;
    bool anyHistory = false;
    if ((es = gatherInstanceData(m_copy, m_nodeIds, chains, anyHistory)) != Acad::eOk) {
        return es;
    }
    if (chains.items.empty()) {
        return Acad::eOk;
    }

    // The new history, when one is kept and the change moved something.
    Chain newHistory;
    bool historyChanged = false;
    if (anyHistory && m_activeNode != 0) {
        KxDbTagEvalVariant value;
        bool empty = false;
        if ((es = historyValue(value, empty)) != Acad::eOk) {
            return es;
        }
        if (!empty) {
            int mergeMode = 2;
            bool gripOrTwoPoint = false;
            {
                CopyNode node;
                if ((es = node.open(m_copy, m_activeNode, AcDb::kForRead)) != Acad::eOk) {
                    return es;
                }
                if (const KxDbTagElement* element = KxDbTagElement::cast(node.get())) {
                    mergeMode = element->historyMergeMode();
                }
                gripOrTwoPoint = KxDbTagGrip::cast(node.get()) != nullptr ||
                                 KxDbBlock2PtTag::cast(node.get()) != nullptr;
            }
            std::vector<kxhistory::Entry> entries;
            {
                Chain old;
                int version = 0;
                if (readHistory(old.slot()) == Acad::eOk) {
                    // Damaged old entries are not carried forward; the sound ones are.
                    kxhistory::readChain(old.get(), version, entries);
                }
            }
            kxhistory::Entry change;
            change.nodeId = m_activeNode;
            change.name = m_lastName;
            change.value = value;
            m_lastValue = value;
            kxhistory::merge(entries, change, mergeMode,
                             kxhistory::isAdditive(gripOrTwoPoint, m_lastName.kwszPtr(), value));
            if ((es = kxhistory::buildChain(entries, newHistory.slot())) != Acad::eOk) {
                return es;
            }
            historyChanged = true;
        }
    }

    if ((es = storeInstanceData(recordDatabase(), refId, chains)) != Acad::eOk) {
        return es;
    }
    if (!anyHistory) {
        return storeHistory(nullptr);
    }
    return historyChanged ? storeHistory(newHistory.get()) : Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRefContext::replayHistory(const resbuf* chain) {
    Acad::ErrorStatus es = loadRecords();
    if (es != Acad::eOk) {
        return es;
    }
    if (chain == nullptr || chain->restype != 1070 || m_evalContext == nullptr) {
        return Acad::eInvalidInput;
    }
    int version = 0;
    std::vector<kxhistory::Entry> entries;
    // Damaged entries are left out of the replay and of the history written back.
    kxhistory::readChain(chain, version, entries);
    std::vector<kxhistory::Entry> kept;
    for (kxhistory::Entry& entry : entries) {
        if (activateNode(entry.nodeId) != Acad::eOk ||
            setValue(entry.name.kwszPtr(), entry.value, false) != Acad::eOk ||
            evaluateCopy(kEvalModeReplay) != Acad::eOk) {
            continue;
        }
        kept.push_back(std::move(entry));
    }
    resetTransient();
    if (referenceId().isNull()) {
        return Acad::eOk;
    }
    if ((es = rewriteDataEntries()) != Acad::eOk) {
        return es;
    }
    Chain rewritten;
    if ((es = kxhistory::buildChain(kept, rewritten.slot())) != Acad::eOk) {
        return es;
    }
    return storeHistory(rewritten.get());
}

Acad::ErrorStatus KxDbImpTagRefContext::replayProperties(const ACHAR* kindSuffix) {
    // Read the writable property values from a copy holding the records of the kind.
    resetCopy();
    Acad::ErrorStatus es = loadRecordsOfKind(kindSuffix);
    if (es != Acad::eOk) {
        return es;
    }
    struct Triple {
        KxNodeId id;
        AcString name;
        KxDbTagEvalVariant value;
    };
    std::vector<Triple> triples;
    KxDbTagParameterList params;
    if ((es = listParameters(params)) != Acad::eOk) {
        return es;
    }
    for (const KxDbTagParameterEntry& param : params) {
        KxDbBlockPropertyDescArray descs;
        if (getPropertyDescriptions(param, descs) != Acad::eOk) {
            continue;
        }
        for (int i = 0; i < descs.length(); ++i) {
            if (descs[i].readOnly != 0) {
                continue;
            }
            Triple triple{param.second, descs[i].name, KxDbTagEvalVariant()};
            if (getPropertyValue(param, descs[i].name.kwszPtr(), true, triple.value) == Acad::eOk) {
                triples.push_back(std::move(triple));
            }
        }
    }

    // Replay them on a fresh copy of the definition state.
    resetCopy();
    if ((es = prepareCopy()) != Acad::eOk) {
        return es;
    }
    m_dataLoaded = true;
    m_blockTransform = m_ref->blockTransform();
    if (buildEvalContext() != Acad::eOk) {
        return Acad::eInvalidInput;
    }
    for (const Triple& triple : triples) {
        if (activateNode(triple.id) == Acad::eOk &&
            setValue(triple.name.kwszPtr(), triple.value, false) == Acad::eOk) {
            evaluateCopy(kEvalModeReplay);
        }
    }
    resetTransient();
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagRefContext::rebuildFromRecords() {
    Acad::ErrorStatus es = bind(m_ref);
    if (es != Acad::eOk || !m_bound) {
        return es;
    }
    if (m_representation == nullptr) {
        return Acad::eInvalidInput;
    }
    if ((es = prepareCopy()) != Acad::eOk) {
        return es;
    }
    bool anyInstance = false;
    bool anyHistory = false;
    if ((es = collectState(anyInstance, anyHistory)) != Acad::eOk) {
        return es;
    }
    if (!anyInstance) {
        return Acad::eOk;
    }
    const AcDbObjectId refId = referenceId();
    if (refId.isNull()) {
        return Acad::eInvalidInput;
    }
    KxDbTagRootDataEntryMap data;
    KxDbTagRootDataEntryMap hdata;
    {
        RootData root;
        if (root.open(recordDatabase(), AcDb::kForRead) == Acad::eOk) {
            root->getDataEntries(refId, data);
            root->getHDataEntries(refId, hdata);
        }
    }
    if (anyHistory) {
        Chain history;
        if (readHistory(history.slot()) == Acad::eOk) {
            // The history replays from the definition state: the stored data is not applied
            // (it is replaced once the replay has rewritten it).
            m_dataLoaded = true;
            m_blockTransform = m_ref->blockTransform();
            if ((es = buildEvalContext()) != Acad::eOk) {
                return es;
            }
            return replayHistory(history.get());
        }
        const ACHAR* source = kxref::kHDataSuffix;
        if (!data.empty()) {
            RootData root;
            if (root.open(recordDatabase(), AcDb::kForWrite) == Acad::eOk) {
                tolerateMissing(root->clearHData(refId));
            }
            source = kxref::kDataSuffix;
        }
        if ((es = replayProperties(source)) != Acad::eOk) {
            return es;
        }
        return rewriteDataEntries();
    }
    // The state is read before anything stored is cleared: from the hidden data when there is
    // any, else from the data itself.
    if ((es = replayProperties(hdata.empty() ? kxref::kDataSuffix : kxref::kHDataSuffix)) !=
        Acad::eOk) {
        return es;
    }
    if ((es = storeHistory(nullptr)) != Acad::eOk) {
        return es;
    }
    return rewriteDataEntries();
}
