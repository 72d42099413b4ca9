#include "module/grips/grip_expr.h"

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip_expr_imp.h"
#include "module/params/block_tag.h"

KX_DEFINE_PAIR(KxDbTagGripExpr, KxDbTagEvalExpr, KxDbImpTagGripExpr)

namespace {

KxDbImpTagGripExpr* impOf(const KxDbTagGripExpr* expr) {
    return kxImpOf<KxDbImpTagGripExpr>(expr);
}

const ACHAR* const kGripExprMarker = L"AcDbBlockGripExpr";

}  // namespace

// --- Public -----------------------------------------------------------------------------------

KxNodeId KxDbTagGripExpr::targetNodeId() const {
    KxDbImpTagGripExpr* imp = impOf(this);
    return imp != nullptr ? imp->targetNodeId() : 0;
}

Acad::ErrorStatus KxDbTagGripExpr::setTargetNodeId(KxNodeId id) {
    KxDbImpTagGripExpr* imp = impOf(this);
    return imp != nullptr ? imp->setTargetNodeId(id) : Acad::eNullObjectPointer;
}

AcString KxDbTagGripExpr::targetConnectionName() const {
    KxDbImpTagGripExpr* imp = impOf(this);
    return imp != nullptr ? imp->targetConnectionName() : AcString();
}

Acad::ErrorStatus KxDbTagGripExpr::setTargetConnectionName(const ACHAR* name) {
    KxDbImpTagGripExpr* imp = impOf(this);
    return imp != nullptr ? imp->setTargetConnectionName(name) : Acad::eNullObjectPointer;
}

Acad::ErrorStatus KxDbTagGripExpr::evaluate(KxDbTagEvalContext* context) {
    KxDbImpTagGripExpr* imp = impOf(this);
    return imp != nullptr ? imp->evaluate(context) : Acad::eNullObjectPointer;
}

int KxDbTagGripExpr::setIntegerValue(Adesk::Int16 value) {
    KxDbImpTagGripExpr* imp = impOf(this);
    return imp != nullptr ? imp->setIntegerValue(value) : 0;
}

int KxDbTagGripExpr::setRealValue(double value) {
    KxDbImpTagGripExpr* imp = impOf(this);
    return imp != nullptr ? imp->setRealValue(value) : 0;
}

// --- Implementation ---------------------------------------------------------------------------

KxNodeId KxDbImpTagGripExpr::targetNodeId() const {
    assertReadEnabled();
    return m_targetId;
}

Acad::ErrorStatus KxDbImpTagGripExpr::setTargetNodeId(KxNodeId id) {
    assertWriteEnabled();
    m_targetId = id;
    return Acad::eOk;
}

AcString KxDbImpTagGripExpr::targetConnectionName() const {
    assertReadEnabled();
    return m_connectionName;
}

Acad::ErrorStatus KxDbImpTagGripExpr::setTargetConnectionName(const ACHAR* name) {
    assertWriteEnabled();
    m_connectionName = AcString(name);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagGripExpr::evaluate(KxDbTagEvalContext* context) {
    assertWriteEnabled();
    if (nodeId() == 0 || m_targetId == 0) {
        return KxStatus::kNotInGraph;
    }
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    KxDbTagEvalExpr* target = nullptr;
    es = graph->getNode(m_targetId, AcDb::kForRead, target);
    if (es != Acad::eOk) {
        graph->close();
        return es;
    }
    const KxDbBlockTag* param = KxDbBlockTag::cast(target);
    if (param == nullptr) {
        es = Acad::eWrongObjectType;
    } else {
        KxDbTagEvalVariant value;
        es = param->getConnectionValue(m_connectionName, value);
        if (es == Acad::eOk) {
            node()->value() = std::move(value);
        }
    }
    target->close();
    graph->close();
    return es;
}

int KxDbImpTagGripExpr::setIntegerValue(Adesk::Int16 value) {
    assertWriteEnabled();
    node()->value() = KxDbTagEvalVariant(value);
    return 70;
}

int KxDbImpTagGripExpr::setRealValue(double value) {
    assertWriteEnabled();
    node()->value() = KxDbTagEvalVariant(value);
    return 40;
}

Acad::ErrorStatus KxDbImpTagGripExpr::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagEvalExpr::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    if (type == AcDb::kIdXlateFiler || type == AcDb::kIdFiler || type == AcDb::kPurgeFiler) {
        return filer->filerStatus();
    }
    filer->writeInt32(static_cast<Adesk::Int32>(m_targetId));
    filer->writeString(m_connectionName);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagGripExpr::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagEvalExpr::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (filer->filerType() == AcDb::kIdXlateFiler) {
        return filer->filerStatus();
    }
    Adesk::Int32 target = 0;
    AcString name;
    if ((es = filer->readInt32(&target)) != Acad::eOk ||
        (es = filer->readString(name)) != Acad::eOk) {
        return es;
    }
    m_targetId = static_cast<KxNodeId>(target);
    m_connectionName = name;
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagGripExpr::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagEvalExpr::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kGripExprMarker);
    filer->writeInt32(91, static_cast<Adesk::Int32>(m_targetId));
    filer->writeString(300, m_connectionName);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagGripExpr::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagEvalExpr::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kGripExprMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    KxNodeId target = 0;
    AcString name;
    bool haveTarget = false;
    bool haveName = false;
    for (;;) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        if (rb.restype == 91) {
            target = static_cast<KxNodeId>(rb.resval.rlong);
            haveTarget = true;
        } else if (rb.restype == 300) {
            name = AcString(rb.resval.rstring);
            haveName = true;
            kxnode::releaseDxfItem(rb);
        } else {
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            break;
        }
    }
    if (!haveTarget || !haveName) {
        return Acad::eMissingDxfField;
    }
    m_targetId = target;
    m_connectionName = name;
    return Acad::eOk;
}
