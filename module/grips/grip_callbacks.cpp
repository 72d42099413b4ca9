#include "module/grips/grip_callbacks.h"

#include <new>

#include "host/core/acstring.h"
#include "host/core/resbuf.h"
#include "host/db/database.h"
#include "host/entities/blockref.h"
#include "module/frame/pair_macros.h"
#include "module/graph/eval_graph.h"
#include "module/grips/grip.h"
#include "module/grips/nb_app_data.h"
#include "module/params/block_tag.h"
#include "module/params/block_tag_imp.h"
#include "module/params/linear_tag.h"
#include "module/representation/representation.h"
#include "module/rootdata/root_data.h"

namespace kxgrips {

namespace {

// The last tooltip handed to the host. The host reads the text after the callback returns, when
// the parameter it came from may be closed, paged out or (in a graph copy) destroyed.
AcString* g_tooltip = nullptr;

// Closes an opened database object when it goes out of scope.
template <class T>
class OpenedObject {
  public:
    OpenedObject() = default;
    ~OpenedObject() { reset(); }
    OpenedObject(const OpenedObject&) = delete;
    OpenedObject& operator=(const OpenedObject&) = delete;
    void reset(T* obj = nullptr) {
        if (m_obj != nullptr) {
            m_obj->close();
        }
        m_obj = obj;
    }
    T* get() const { return m_obj; }

  private:
    T* m_obj = nullptr;
};

// The definition a reference stands for: the source definition of a representation, else its
// own block.
AcDbObjectId definitionOf(const AcDbBlockReference* ref) {
    if (const KxDbTagRepresentation* representation = KxDbTagRepresentation::of(ref)) {
        const AcDbObjectId source = representation->getSourceDefinition(ref);
        if (!source.isNull()) {
            return source;
        }
    }
    return ref->blockTableRecord();
}

AcString parameterText(const KxDbBlockTag* param) {
    AcString text;
    if (const KxDbImpBlockTag* imp = kxImpOf<KxDbImpBlockTag>(param)) {
        text = imp->descriptionText();
    }
    if (text.isEmpty()) {
        if (const KxDbBlockLinearTag* linear = KxDbBlockLinearTag::cast(param)) {
            text = linear->distanceDescription();
        }
    }
    return text;
}

}  // namespace

KxDbNimbleBlockNBAppData* appDataOf(const AcDbGripData* record) {
    if (record == nullptr) {
        return nullptr;
    }
    return KxDbNimbleBlockNBAppData::fromRecord(record->appData(), record->appDataAcRxClass());
}

bool setAlternateBasePoint(AcDbGripData* record, const AcGePoint3d& worldPoint) {
    KxDbNimbleBlockNBAppData* data = appDataOf(record);
    if (data == nullptr) {
        return false;
    }
    auto* point = new (std::nothrow) AcGePoint3d(worldPoint);
    if (point == nullptr) {
        return false;
    }
    record->setAlternateBasePoint(point);
    data->setAlternateBasePoint(worldPoint);
    return true;
}

AcDbGripOperations::ReturnValue defaultRightClick(AcDbGripDataArray& /*hotGrips*/,
                                                  const AcDbObjectIdArray& /*ents*/,
                                                  ACHAR*& menuName, HMENU& /*menu*/,
                                                  ContextMenuItemIndexPtr& /*cb*/) {
    // The editor frees the name buffer.
    menuName = acutNewString(kDefaultMenuName);
    return AcDbGripOperations::eOk;
}

AcDbGripOperations::ReturnValue menuHotGrip(AcDbGripData* /*record*/, const AcDbObjectId& /*entId*/,
                                            int contextFlags) {
    if ((contextFlags & (AcDbGripOperations::kSharedGrip | AcDbGripOperations::kMultiHotGrips)) !=
        0) {
        return AcDbGripOperations::eGripHotToo;
    }
    return AcDbGripOperations::eOk;
}

const ACHAR* gripTooltip(AcDbGripData* record) {
    const KxDbNimbleBlockNBAppData* data = appDataOf(record);
    if (data == nullptr) {
        return nullptr;
    }
    AcDbObjectId definitionId;
    AcDbDatabase* db = nullptr;
    {
        AcDbObject* obj = nullptr;
        if (acdbOpenObject(obj, data->referenceId(), AcDb::kForRead) != Acad::eOk) {
            return nullptr;
        }
        OpenedObject<AcDbObject> ref;
        ref.reset(obj);
        const AcDbBlockReference* blockRef = AcDbBlockReference::cast(obj);
        if (blockRef == nullptr) {
            return nullptr;
        }
        definitionId = definitionOf(blockRef);
        db = blockRef->database();
    }
    AcDbObjectId graphId;
    {
        KxDbTagRootData* rootData = nullptr;
        if (KxDbTagRootData::openRootData(db, AcDb::kForRead, rootData) != Acad::eOk) {
            return nullptr;
        }
        OpenedObject<KxDbTagRootData> holder;
        holder.reset(rootData);
        if (!rootData->getGraph(definitionId, graphId)) {
            return nullptr;
        }
    }
    AcDbObject* obj = nullptr;
    if (acdbOpenObject(obj, graphId, AcDb::kForRead) != Acad::eOk) {
        return nullptr;
    }
    OpenedObject<AcDbObject> graphHolder;
    graphHolder.reset(obj);
    const KxDbTagEvalGraph* graph = KxDbTagEvalGraph::cast(obj);
    if (graph == nullptr) {
        return nullptr;
    }
    KxDbTagEvalExpr* node = nullptr;
    if (graph->getNode(data->gripId(), AcDb::kForRead, node) != Acad::eOk || node == nullptr) {
        return nullptr;
    }
    OpenedObject<KxDbTagEvalExpr> nodeHolder;
    nodeHolder.reset(node);
    const KxDbTagGrip* grip = KxDbTagGrip::cast(node);
    if (grip == nullptr) {
        return nullptr;
    }
    KxDbBlockTag* param = nullptr;
    if (grip->openParameter(param) != Acad::eOk || param == nullptr) {
        return nullptr;
    }
    OpenedObject<KxDbBlockTag> paramHolder;
    paramHolder.reset(param);
    const AcString text = parameterText(param);

    if (g_tooltip == nullptr) {
        g_tooltip = new (std::nothrow) AcString();
        if (g_tooltip == nullptr) {
            return nullptr;
        }
    }
    *g_tooltip = text;
    return g_tooltip->kwszPtr();
}

void releaseCallbackState() {
    delete g_tooltip;
    g_tooltip = nullptr;
}

}  // namespace kxgrips
