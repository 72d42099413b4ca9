#include "module/grips/grip_overrule.h"

#include <new>

#include "host/core/resbuf.h"
#include "host/ed/sysvars.h"
#include "host/entities/annotative.h"
#include "host/entities/blockref.h"
#include "host/entities/dynblockref.h"
#include "module/display/drawable_overrule.h"
#include "module/frame/module_services.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_variant.h"
#include "module/grips/dimensions.h"
#include "module/grips/grip.h"
#include "module/grips/grip_callbacks.h"
#include "module/grips/nb_app_data.h"
#include "module/representation/ref_context.h"
#include "module/representation/representation.h"

KxDbNimbleBlockGripOverrule::KxDbNimbleBlockGripOverrule() = default;

KxDbNimbleBlockGripOverrule::~KxDbNimbleBlockGripOverrule() {
    for (auto& entry : m_appData) {
        if (entry.second != nullptr) {
            for (int i = 0; i < entry.second->length(); ++i) {
                delete entry.second->at(i);
            }
            delete entry.second;
        }
    }
    m_appData.clear();
    // The overrule goes at unload: what the callbacks kept goes with it.
    kxgrips::releaseCallbackState();
}

KxDbNimbleBlockGripOverrule* KxDbNimbleBlockGripOverrule::instance() {
    kxframe::ModuleServices* services = kxframe::moduleServices();
    return services != nullptr ? services->gripOverrule : nullptr;
}

bool KxDbNimbleBlockGripOverrule::isApplicable(const AcRxObject* pOverruledSubject) const {
    auto* ref = const_cast<AcDbBlockReference*>(AcDbBlockReference::cast(pOverruledSubject));
    if (ref == nullptr) {
        return false;
    }
    // References of the host's own dynamic blocks are the host's to edit.
    if (AcDbDynBlockReference(ref).isDynamicBlock()) {
        return false;
    }
    if (const KxDbTagRepresentation* representation = KxDbTagRepresentation::of(ref)) {
        AcDbObjectId definition = representation->getSourceDefinition(ref);
        if (definition.isNull()) {
            definition = ref->blockTableRecord();
        }
        if (AcDbDynBlockReference::isDynamicBlock(definition)) {
            return false;
        }
    }
    return true;
}

const KxDbNBAppDataArray* KxDbNimbleBlockGripOverrule::appDataOf(
    const AcDbObjectId& referenceId) const {
    auto it = m_appData.find(referenceId);
    return it != m_appData.end() ? it->second : nullptr;
}

void KxDbNimbleBlockGripOverrule::keepAppData(const AcDbObjectId& referenceId,
                                              KxDbNBAppDataArray& list) {
    if (list.isEmpty()) {
        return;
    }
    KxDbNBAppDataArray*& held = m_appData[referenceId];
    if (held == nullptr) {
        held = new (std::nothrow) KxDbNBAppDataArray();
    }
    if (held == nullptr) {
        // Nowhere to keep them: the host's records would outlive them, so the caller's grips
        // must not be offered. Free them rather than leak.
        m_appData.erase(referenceId);
        for (int i = 0; i < list.length(); ++i) {
            delete list[i];
        }
        list.setLogicalLength(0);
        return;
    }
    for (int i = 0; i < list.length(); ++i) {
        held->append(list[i]);
    }
    list.setLogicalLength(0);
}

void KxDbNimbleBlockGripOverrule::releaseAppData(const AcDbObjectId& referenceId) {
    auto it = m_appData.find(referenceId);
    if (it == m_appData.end()) {
        return;
    }
    if (KxDbNBAppDataArray* held = it->second) {
        for (int i = 0; i < held->length(); ++i) {
            delete held->at(i);
        }
        delete held;
    }
    m_appData.erase(it);
}

namespace {

// Closes a node of the reference context's copy when it goes out of scope.
class OpenedNode {
  public:
    explicit OpenedNode(KxDbTagEvalExpr* node) : m_node(node) {}
    ~OpenedNode() {
        if (m_node != nullptr) {
            m_node->close();
        }
    }
    OpenedNode(const OpenedNode&) = delete;
    OpenedNode& operator=(const OpenedNode&) = delete;

  private:
    KxDbTagEvalExpr* m_node;
};

// The context can be used for grips: bound to a graph, with a block transform that is uniformly
// scaled, orthogonal and invertible (drags are mapped back through its inverse).
bool isUsable(KxDbTagRefContext& context, const AcDbBlockReference* ref) {
    return context.isBoundAndUniform() && !ref->blockTransform().isSingular();
}

bool isAnnotative(const AcDbBlockReference* ref) {
    AcDbObjectId definition;
    if (const KxDbTagRepresentation* representation = KxDbTagRepresentation::of(ref)) {
        definition = representation->getSourceDefinition(ref);
    }
    if (definition.isNull()) {
        definition = ref->blockTableRecord();
    }
    AcDbObject* obj = nullptr;
    if (acdbOpenObject(obj, definition, AcDb::kForRead) != Acad::eOk) {
        return false;
    }
    bool annotative = false;
    if (auto* pe = AcDbAnnotativeObjectPE::cast(obj->queryX(AcDbAnnotativeObjectPE::desc()))) {
        annotative = pe->annotative(obj);
    }
    obj->close();
    return annotative;
}

// "DYNMODE", 3 when it cannot be read.
int dynamicInputMode() {
    resbuf rb{};
    if (acedGetVar(L"DYNMODE", &rb) == RTNORM && rb.restype == RTSHORT) {
        return rb.resval.rint;
    }
    if (rb.restype == RTSTR) {
        acutDelBuffer(rb.resval.rstring);
    }
    return 3;
}

}  // namespace

Acad::ErrorStatus KxDbNimbleBlockGripOverrule::getGripPoints(const AcDbEntity* pSubject,
                                                             AcDbGripDataPtrArray& grips,
                                                             double curViewUnitSize, int gripSize,
                                                             const AcGeVector3d& curViewDir,
                                                             int bitFlags) {
    auto* ref = const_cast<AcDbBlockReference*>(AcDbBlockReference::cast(pSubject));
    if (ref == nullptr) {
        return Acad::eInvalidInput;
    }
    KxDbTagRefContext context(kxref::kDefaultKey, ref);
    if (!isUsable(context, ref)) {
        return AcDbGripOverrule::getGripPoints(pSubject, grips, curViewUnitSize, gripSize,
                                               curViewDir, bitFlags);
    }
    const bool annotative = isAnnotative(ref);
    KxNodeIdArray ids;
    Acad::ErrorStatus es = context.listGrips(ids);
    if (es != Acad::eOk) {
        return es;
    }
    const bool dynamicInput = dynamicInputMode() > 0;
    const AcGeMatrix3d xform = ref->blockTransform();
    AcGeVector3d normal = ref->normal();
    if (!normal.isZeroLength()) {
        normal.normalize();
    }
    const AcDbObjectId refId = ref->objectId();

    // Application data handed out in this call. Whatever happens below they are recorded for the
    // reference, so that the host's kGripsToBeDeleted frees them.
    KxDbNBAppDataArray made;
    bool addHostGrips = true;
    for (int i = 0; i < ids.length() && es == Acad::eOk; ++i) {
        KxDbTagEvalExpr* node = nullptr;
        es = context.getNode(ids[i], node);
        if (es != Acad::eOk) {
            break;
        }
        OpenedNode nodeHolder(node);
        KxDbTagGrip* grip = KxDbTagGrip::cast(node);
        if (grip == nullptr) {
            es = Acad::eNullObjectPointer;
            break;
        }
        auto* record = new (std::nothrow) AcDbGripData();
        auto* data = new KxDbNimbleBlockNBAppData(ids[i], refId);
        if (record == nullptr || data == nullptr) {
            delete record;
            delete data;
            es = Acad::eOutOfMemory;
            break;
        }
        record->setAppData(data);
        record->setAppDataAcRxClass(KxDbNimbleBlockNBAppData::desc());
        data->setAnnotative(annotative);
        data->setDynamicInput(dynamicInput);
        data->setNormal(normal);

        int index = 0;
        if (grip->gripIndex(index) != Acad::eOk) {
            // A grip that cannot say which point it drives ends the listing; the host's own
            // grips are left out of this call as well.
            delete record;
            delete data;
            addHostGrips = false;
            break;
        }
        data->setGripIndex(index);
        data->setBlockTransform(xform);
        const AcGePoint3d position = grip->gripPosition();
        data->setDefinitionPosition(position);
        AcGePoint3d world = position;
        world.transformBy(xform);
        record->setGripPoint(world);
        int flags = (record->bitFlags() & ~kxgrip::kGripRightClickIsNewStyle) |
                    kxgrip::kDisableModeKeywords;
        if (!annotative) {
            flags |= kxgrip::kSkipWhenShared;
        }
        record->setBitFlags(flags);
        record->setRtClk(kxgrips::defaultRightClick);
        grip->fillGripData(record);

        if (data->show()) {
            grips.append(record);
            made.append(data);
        } else {
            delete record;
            delete data;
        }
    }
    keepAppData(refId, made);
    if (es != Acad::eOk) {
        return es;
    }
    if (!addHostGrips) {
        return Acad::eOk;
    }
    return AcDbGripOverrule::getGripPoints(pSubject, grips, curViewUnitSize, gripSize, curViewDir,
                                           bitFlags);
}

Acad::ErrorStatus KxDbNimbleBlockGripOverrule::moveGripPointsAt(AcDbEntity* pSubject,
                                                                const AcDbVoidPtrArray& gripAppData,
                                                                const AcGeVector3d& offset,
                                                                int bitFlags) {
    auto* ref = AcDbBlockReference::cast(pSubject);
    if (ref == nullptr || gripAppData.isEmpty() || offset.isZeroLength()) {
        return Acad::eInvalidInput;
    }
    // Every pointer in the list is an AcRxObject (the host's own grips carry one too), so the
    // class tells the module's grips from the host's.
    auto ours = [](void* p) {
        return p != nullptr ? KxDbNimbleBlockNBAppData::cast(static_cast<AcRxObject*>(p)) : nullptr;
    };
    if (KxGiNimbleBlockDrawableOverrule* drawable = KxGiNimbleBlockDrawableOverrule::instance()) {
        for (int i = 0; i < gripAppData.length() && gripAppData[i] != nullptr; ++i) {
            if (const KxDbNimbleBlockNBAppData* data = ours(gripAppData[i])) {
                drawable->noteDraggedReference(ref, data->referenceId());
            }
        }
    }
    KxDbTagRefContext context(kxref::kDefaultKey, ref);
    if (!isUsable(context, ref)) {
        return AcDbGripOverrule::moveGripPointsAt(pSubject, gripAppData, offset, bitFlags);
    }

    AcGeVector3d normal = ref->normal();
    if (!normal.isZeroLength()) {
        normal.normalize();
    }
    // Only the part of the drag in the reference's plane moves anything.
    const AcGeVector3d inPlane = offset - normal * normal.dotProduct(offset);

    AcDbVoidPtrArray passOn;
    for (int i = 0; i < gripAppData.length(); ++i) {
        void* p = gripAppData[i];
        if (p == nullptr) {
            continue;
        }
        KxDbNimbleBlockNBAppData* data = ours(p);
        KxDbTagEvalExpr* node = nullptr;
        if (data == nullptr || context.getNode(data->gripId(), node) != Acad::eOk ||
            KxDbTagGrip::cast(node) == nullptr) {
            if (node != nullptr) {
                node->close();
            }
            passOn.append(p);
            continue;
        }
        OpenedNode nodeHolder(node);
        if (inPlane.isZeroLength()) {
            // A drag straight along the normal moves nothing; evaluating it would still give
            // the reference a representation of its own.
            continue;
        }
        const AcGeMatrix3d& xform = data->blockTransform();
        AcGeMatrix3d inverse;
        if (!xform.inverse(inverse)) {
            // Grips made while the reference was flattened cannot map a drag back.
            return Acad::eInvalidInput;
        }
        AcGePoint3d gripPoint = data->definitionPosition();
        gripPoint.transformBy(xform);

        if (data->isAlignmentGrip()) {
            // Without an alignment target the whole reference follows the drag in its plane.
            AcGeVector3d move = inPlane;
            move.transformBy(inverse);
            move.z = 0.0;
            move.transformBy(xform);
            const Acad::ErrorStatus es = ref->transformBy(AcGeMatrix3d::translation(move));
            if (es != Acad::eOk) {
                return es;
            }
            continue;
        }
        AcGeVector3d drag = inPlane;
        if (data->hasAlternateBasePoint()) {
            drag += data->alternateBasePoint() - gripPoint;
        }
        drag.transformBy(inverse);
        Acad::ErrorStatus es = context.activateNode(data->gripId());
        if (es != Acad::eOk) {
            return es;
        }
        KxDbTagEvalVariant value;
        value.setPoint(AcGePoint3d(drag.x, drag.y, drag.z));
        es = context.setValueAndEvaluate(kxref::kGripLocation, value);
        if (es != Acad::eOk) {
            return es;
        }
        // The dimensions shown for the grip follow the evaluated parameter.
        if (data->dimensions() != nullptr) {
            KxDbTagEvalExpr* node = nullptr;
            if (context.getNode(data->gripId(), node) == Acad::eOk) {
                OpenedNode nodeHolder(node);
                kxgrips::followDimensions(data, KxDbTagGrip::cast(node), ref);
            }
        }
    }
    if (!passOn.isEmpty()) {
        return AcDbGripOverrule::moveGripPointsAt(pSubject, passOn, offset, bitFlags);
    }
    return Acad::eOk;
}

void KxDbNimbleBlockGripOverrule::gripStatus(AcDbEntity* pSubject, AcDb::GripStat status) {
    if (pSubject != nullptr && AcDbBlockReference::cast(pSubject) != nullptr) {
        const AcDbObjectId refId = pSubject->objectId();
        if (status == AcDb::kGripsToBeDeleted) {
            releaseAppData(refId);
            if (KxGiNimbleBlockDrawableOverrule* drawable =
                    KxGiNimbleBlockDrawableOverrule::instance()) {
                drawable->dropImageOf(refId);
            }
        } else if (status == AcDb::kDimDataToBeDeleted) {
            // The editor deletes the records and their dimensions; what the module attached to
            // each record and the list are the module's.
            if (const KxDbNBAppDataArray* held = appDataOf(refId)) {
                for (int i = 0; i < held->length(); ++i) {
                    KxDbNimbleBlockNBAppData* data = held->at(i);
                    if (const KxDbDimDataPtrArray* dims = data->dimensions()) {
                        for (int j = 0; j < dims->length(); ++j) {
                            kxgrips::freeGripDimensionData(dims->at(j));
                        }
                    }
                    data->clearDimensions();
                }
            }
        }
    }
    AcDbGripOverrule::gripStatus(pSubject, status);
}
