// The implementation of KxDbTagEvalExpr: the node id, the graph that holds the node in memory and
// the file version, with the default behaviour of every node hook.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/graph/eval_expr.h"

class KXDB_EXPORT KxDbImpTagEvalExpr : public AcDbImpObjectWrapper {
    KX_DECLARE_IMP(KxDbImpTagEvalExpr, AcDbImpObjectWrapper)

    // The public node; its value lives there.
    KxDbTagEvalExpr* node() const { return static_cast<KxDbTagEvalExpr*>(publicObject()); }

    KxNodeId nodeId() const { return m_nodeId; }
    Acad::ErrorStatus setNodeId(KxNodeId id);
    Acad::ErrorStatus openOwnerGraph(KxDbTagEvalGraph*& graph, AcDb::OpenMode mode) const;
    // The graph remembered while it holds the node in memory; null otherwise.
    KxDbTagEvalGraph* rememberedGraph() const { return m_ownerGraph; }
    // The version recorded with the node's own fields when it was last read.
    Adesk::Int32 fileVersion() const { return m_fileVersion; }
    Adesk::Int32 fileMaintenanceVersion() const { return m_fileMaint; }

    // Node hooks.
    virtual Acad::ErrorStatus addedToGraph(KxDbTagEvalGraph* graph);
    virtual Acad::ErrorStatus removedFromGraph(KxDbTagEvalGraph* graph);
    virtual Acad::ErrorStatus nodeRemoved(KxNodeId id);
    virtual Acad::ErrorStatus edgeRemoved(KxNodeId otherId);
    virtual Acad::ErrorStatus edgeAdded(KxNodeId sourceId, KxNodeId targetId, bool bidirectional);
    virtual void reservedHookA() {}
    virtual Acad::ErrorStatus attachToGraph(KxDbTagEvalGraph* graph);
    virtual void reservedHookB() {}
    virtual Acad::ErrorStatus setOwnerGraph(KxDbTagEvalGraph* graph);
    virtual bool evaluatesOnLoad() const { return true; }
    virtual void getExtraActivation(KxNodeIdArray& ids) const {}
    virtual void beginEvaluation(bool isActive) {}
    virtual void evaluationSucceeded(bool isActive) {}
    virtual void evaluationFailed(bool isActive) {}
    virtual Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) { return Acad::eOk; }
    virtual bool isSameClass(const KxDbTagEvalExpr* other) const;
    virtual Acad::ErrorStatus addToDatabase(AcDbObjectId& id, AcDbDatabase* db);

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    // Remembers the graph while it is not database resident: a resident graph is always reached
    // through the node's owner id, and a pointer to it would outlive its open.
    void rememberGraph(KxDbTagEvalGraph* graph);

  private:
    KxNodeId m_nodeId = 0;
    KxDbTagEvalGraph* m_ownerGraph = nullptr;
    Adesk::Int32 m_fileVersion = 33;
    Adesk::Int32 m_fileMaint = 228;
};

// Helpers shared by the node readers of the module.
namespace kxnode {
// Frees the text or binary data a DXF item read by AcDbDxfFiler::readItem owns.
KXDB_EXPORT void releaseDxfItem(resbuf& item);
// The filer's status when it reports a failure, else `fallback`.
KXDB_EXPORT Acad::ErrorStatus dxfFailure(const AcDbDxfFiler* filer, Acad::ErrorStatus fallback);
}  // namespace kxnode
