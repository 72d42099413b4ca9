#include "module/graph/eval_expr.h"

#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_expr_imp.h"
#include "module/graph/eval_graph.h"

KX_DEFINE_PAIR(KxDbTagEvalExpr, AcDbObjectWrapper, KxDbImpTagEvalExpr)

namespace {

KxDbImpTagEvalExpr* impOf(const KxDbTagEvalExpr* node) {
    return kxImpOf<KxDbImpTagEvalExpr>(node);
}

// Markers and the file version written with every node.
const ACHAR* const kNodeMarker = L"AcDbEvalExpr";
constexpr Adesk::Int32 kNewLayoutTag = -1;
constexpr Adesk::Int32 kWrittenVersion = 33;
constexpr Adesk::Int32 kWrittenMaint = 228;

}  // namespace

// --- Public node ------------------------------------------------------------------------------

KxDbTagEvalVariant KxDbTagEvalExpr::getValue() const {
    return m_value;
}

KxNodeId KxDbTagEvalExpr::getNodeId() const {
    KxDbImpTagEvalExpr* imp = impOf(this);
    return imp != nullptr ? imp->nodeId() : 0;
}

KX_FORWARD_STATUS(KxDbTagEvalExpr, setNodeId, (KxNodeId id), (id), )

Acad::ErrorStatus KxDbTagEvalExpr::openOwnerGraph(KxDbTagEvalGraph*& graph,
                                                  AcDb::OpenMode mode) const {
    graph = nullptr;
    KxDbImpTagEvalExpr* imp = impOf(this);
    return imp != nullptr ? imp->openOwnerGraph(graph, mode) : Acad::eNullObjectPointer;
}

KX_FORWARD_STATUS(KxDbTagEvalExpr, addedToGraph, (KxDbTagEvalGraph * graph), (graph), )
KX_FORWARD_STATUS(KxDbTagEvalExpr, removedFromGraph, (KxDbTagEvalGraph * graph), (graph), )
KX_FORWARD_STATUS(KxDbTagEvalExpr, nodeRemoved, (KxNodeId id), (id), )
KX_FORWARD_STATUS(KxDbTagEvalExpr, edgeRemoved, (KxNodeId otherId), (otherId), )
KX_FORWARD_STATUS(KxDbTagEvalExpr, edgeAdded,
                  (KxNodeId sourceId, KxNodeId targetId, bool bidirectional),
                  (sourceId, targetId, bidirectional), )
KX_FORWARD(void, KxDbTagEvalExpr, reservedHookA, (), (), , (void)0)
KX_FORWARD_STATUS(KxDbTagEvalExpr, attachToGraph, (KxDbTagEvalGraph * graph), (graph), )
KX_FORWARD(void, KxDbTagEvalExpr, reservedHookB, (), (), , (void)0)
KX_FORWARD_STATUS(KxDbTagEvalExpr, setOwnerGraph, (KxDbTagEvalGraph * graph), (graph), )
KX_FORWARD(bool, KxDbTagEvalExpr, evaluatesOnLoad, (), (), const, true)
KX_FORWARD(void, KxDbTagEvalExpr, getExtraActivation, (KxNodeIdArray & ids), (ids), const, (void)0)
KX_FORWARD(void, KxDbTagEvalExpr, beginEvaluation, (bool isActive), (isActive), , (void)0)
KX_FORWARD(void, KxDbTagEvalExpr, evaluationSucceeded, (bool isActive), (isActive), , (void)0)
KX_FORWARD(void, KxDbTagEvalExpr, evaluationFailed, (bool isActive), (isActive), , (void)0)

// A plain node has nothing to compute; classes with behaviour override this.
Acad::ErrorStatus KxDbTagEvalExpr::evaluate(KxDbTagEvalContext* context) {
    return Acad::eOk;
}

bool KxDbTagEvalExpr::isSameClass(const KxDbTagEvalExpr* other) const {
    KxDbImpTagEvalExpr* imp = impOf(this);
    if (imp == nullptr) {
        return other != nullptr && other->isA() == isA();
    }
    return imp->isSameClass(other);
}

KX_FORWARD_STATUS(KxDbTagEvalExpr, addToDatabase, (AcDbObjectId & id, AcDbDatabase* db), (id, db), )

// --- Implementation ---------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagEvalExpr::setNodeId(KxNodeId id) {
    assertWriteEnabled();
    m_nodeId = id;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalExpr::openOwnerGraph(KxDbTagEvalGraph*& graph,
                                                     AcDb::OpenMode mode) const {
    graph = nullptr;
    if (m_nodeId == 0) {
        return KxStatus::kNotInGraph;
    }
    if (database() != nullptr) {
        return acdbOpenObject(graph, ownerId(), mode);
    }
    if (m_ownerGraph == nullptr) {
        return Acad::eNullObjectPointer;
    }
    graph = m_ownerGraph;
    return Acad::eOk;
}

void KxDbImpTagEvalExpr::rememberGraph(KxDbTagEvalGraph* graph) {
    m_ownerGraph = (graph != nullptr && graph->objectId().isNull()) ? graph : nullptr;
}

Acad::ErrorStatus KxDbImpTagEvalExpr::addedToGraph(KxDbTagEvalGraph* graph) {
    rememberGraph(graph);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalExpr::removedFromGraph(KxDbTagEvalGraph* graph) {
    m_ownerGraph = nullptr;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalExpr::nodeRemoved(KxNodeId id) {
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalExpr::edgeRemoved(KxNodeId otherId) {
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalExpr::edgeAdded(KxNodeId sourceId, KxNodeId targetId,
                                                bool bidirectional) {
    return Acad::eOk;
}

// Attaching and setting the owner (what a graph copy does with each cloned node) only remember
// the graph: they must not run what classes do when they are first added to a graph, such as
// creating nodes of their own.
Acad::ErrorStatus KxDbImpTagEvalExpr::attachToGraph(KxDbTagEvalGraph* graph) {
    rememberGraph(graph);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagEvalExpr::setOwnerGraph(KxDbTagEvalGraph* graph) {
    rememberGraph(graph);
    return Acad::eOk;
}

bool KxDbImpTagEvalExpr::isSameClass(const KxDbTagEvalExpr* other) const {
    const AcDbObjectWrapper* pub = publicObject();
    if (pub == nullptr) {
        return other == nullptr;
    }
    return other != nullptr && other->isA() == pub->isA();
}

Acad::ErrorStatus KxDbImpTagEvalExpr::addToDatabase(AcDbObjectId& id, AcDbDatabase* db) {
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    if (publicObject() == nullptr) {
        return Acad::eNullObjectPointer;
    }
    return db->addAcDbObject(id, publicObject());
}

// --- Filing -----------------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagEvalExpr::dwgOutFields(AcDbDwgFiler* filer) const {
    filer->writeInt32(kNewLayoutTag);
    filer->writeInt32(kWrittenVersion);
    filer->writeInt32(kWrittenMaint);
    node()->value().dwgOutFields(filer);
    filer->writeInt32(static_cast<Adesk::Int32>(m_nodeId));
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagEvalExpr::dwgInFields(AcDbDwgFiler* filer) {
    assertWriteEnabled();
    AcDb::AcDbDwgVersion ver = AcDb::kDHL_CURRENT;
    AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseCurrent;
    filer->dwgVersion(ver, maint);
    // Whatever the layout, the node no longer belongs to the graph it was in memory with.
    m_ownerGraph = nullptr;

    Adesk::Int32 first = 0;
    Acad::ErrorStatus es = filer->readInt32(&first);
    if (es != Acad::eOk) {
        return es;
    }
    KxDbTagEvalVariant& value = node()->value();
    if (first == kNewLayoutTag) {
        Adesk::Int32 fileVer = 0;
        Adesk::Int32 fileMaint = 0;
        if ((es = filer->readInt32(&fileVer)) != Acad::eOk ||
            (es = filer->readInt32(&fileMaint)) != Acad::eOk) {
            return es;
        }
        m_fileVersion = fileVer;
        m_fileMaint = fileMaint;
        if ((es = value.dwgInFields(filer)) != Acad::eOk) {
            return es;
        }
        Adesk::Int32 id = 0;
        if ((es = filer->readInt32(&id)) != Acad::eOk) {
            return es;
        }
        m_nodeId = static_cast<KxNodeId>(id);
        return filer->filerStatus();
    }

    // Older layouts carry no node id; the graph's record still knows it.
    m_nodeId = 0;
    value.clear();
    if (static_cast<int>(ver) == 25 && static_cast<int>(maint) == 69) {
        Adesk::Int32 fileVer = 0;
        Adesk::Int32 fileMaint = 0;
        if ((es = filer->readInt32(&fileVer)) != Acad::eOk ||
            (es = filer->readInt32(&fileMaint)) != Acad::eOk) {
            return es;
        }
        m_fileVersion = fileVer;
        m_fileMaint = fileMaint;
        if ((es = value.dwgInFields(filer)) != Acad::eOk) {
            return es;
        }
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagEvalExpr::dxfOutFields(AcDbDxfFiler* filer) const {
    filer->writeString(100, kNodeMarker);
    filer->writeInt32(90, static_cast<Adesk::Int32>(m_nodeId));
    filer->writeInt32(98, kWrittenVersion);
    filer->writeInt32(99, kWrittenMaint);
    const KxDbTagEvalVariant& value = node()->value();
    if (!value.isNull()) {
        value.dxfOutFields(filer);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagEvalExpr::dxfInFields(AcDbDxfFiler* filer) {
    assertWriteEnabled();
    if (!filer->atSubclassData(kNodeMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    KxNodeId id = 0;
    Adesk::Int32 fileVer = 0;
    Adesk::Int32 fileMaint = 0;
    bool haveId = false;
    bool haveVer = false;
    bool haveMaint = false;
    for (;;) {
        resbuf rb{};
        const Acad::ErrorStatus es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        const int code = rb.restype;
        if (code == 1) {
            // An empty text announces a value.
            kxnode::releaseDxfItem(rb);
            const Acad::ErrorStatus vs = node()->value().dxfInFields(filer);
            if (vs != Acad::eOk) {
                return vs;
            }
        } else if (code == 90) {
            id = static_cast<KxNodeId>(rb.resval.rlong);
            haveId = true;
        } else if (code == 98) {
            fileVer = rb.resval.rlong;
            haveVer = true;
        } else if (code == 99) {
            fileMaint = rb.resval.rlong;
            haveMaint = true;
        } else {
            // The next subclass's data: leave it to the reader that follows.
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            break;
        }
    }
    if (!haveId || !haveVer || !haveMaint) {
        filer->setError(Acad::eMissingDxfField, L"AcDbEvalExpr: missing group %d",
                        !haveId ? 90 : (!haveVer ? 98 : 99));
        return Acad::eMissingDxfField;
    }
    m_nodeId = id;
    m_fileVersion = fileVer;
    m_fileMaint = fileMaint;
    m_ownerGraph = nullptr;
    return Acad::eOk;
}

namespace kxnode {

void releaseDxfItem(resbuf& item) {
    if (acutRbOwnsString(item.restype)) {
        acutDelBuffer(item.resval.rstring);
    } else if (acutRbOwnsBinary(item.restype)) {
        acHeapFree(item.resval.rbinary.buf);
        item.resval.rbinary.buf = nullptr;
        item.resval.rbinary.clen = 0;
    }
}

Acad::ErrorStatus dxfFailure(const AcDbDxfFiler* filer, Acad::ErrorStatus fallback) {
    const Acad::ErrorStatus es = filer->filerStatus();
    return es != Acad::eOk ? es : fallback;
}

}  // namespace kxnode
