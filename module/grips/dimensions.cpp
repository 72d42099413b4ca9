#include "module/grips/dimensions.h"

#include <cmath>

#include "host/entities/blockref.h"
#include "module/graph/eval_variant.h"
#include "module/grips/grip.h"
#include "module/grips/nb_app_data.h"
#include "module/params/block_2pt_tag.h"
#include "module/params/linear_tag.h"
#include "module/representation/ref_context.h"

namespace kxgrips {
namespace {

AcDbDatabase* databaseOr(AcDbDatabase* db) {
    if (db != nullptr) {
        return db;
    }
    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    return services != nullptr ? services->workingDatabase() : nullptr;
}

// A node of the context's graph copy, closed whatever path leaves.
class CopyNode {
  public:
    CopyNode() = default;
    ~CopyNode() { reset(); }
    CopyNode(const CopyNode&) = delete;
    CopyNode& operator=(const CopyNode&) = delete;
    Acad::ErrorStatus open(KxDbTagRefContext& context, KxNodeId id) {
        reset();
        return context.getNode(id, m_node);
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

// The two-point parameter behind a grip of the context's copy: its node id, current points
// (definition coordinates) and the grip's index on it.
struct GripParameter {
    KxNodeId paramNode = 0;
    AcGePoint3d base;
    AcGePoint3d end;
    int gripIndex = -1;
    bool linear = false;
};

Acad::ErrorStatus readGripParameter(KxDbTagRefContext& context, KxNodeId gripNode,
                                    GripParameter& out) {
    CopyNode node;
    Acad::ErrorStatus es = node.open(context, gripNode);
    if (es != Acad::eOk) {
        return es;
    }
    const KxDbTagGrip* grip = KxDbTagGrip::cast(node.get());
    if (grip == nullptr) {
        return Acad::eWrongObjectType;
    }
    if ((es = grip->gripIndex(out.gripIndex)) != Acad::eOk) {
        return es;
    }
    KxDbBlockTag* param = nullptr;
    if ((es = grip->openParameter(param)) != Acad::eOk) {
        return es;
    }
    const KxDbBlock2PtTag* twoPoint = KxDbBlock2PtTag::cast(param);
    if (twoPoint == nullptr) {
        param->close();
        return Acad::eWrongObjectType;
    }
    out.linear = KxDbBlockLinearTag::cast(param) != nullptr;
    out.paramNode = twoPoint->getNodeId();
    out.base = twoPoint->currentBasePoint();
    out.end = twoPoint->currentEndPoint();
    param->close();
    return Acad::eOk;
}

bool finitePoint(const AcGePoint3d& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

}  // namespace

AcGeVector3d ucsPerpendicular(const AcGeVector3d& direction, AcDbDatabase* db) {
    db = databaseOr(db);
    AcGeVector3d ucsX(1.0, 0.0, 0.0);
    AcGeVector3d ucsY(0.0, 1.0, 0.0);
    if (db != nullptr) {
        ucsX = db->ucsxdir();
        ucsY = db->ucsydir();
    }
    const AcGeVector3d ucsZ = ucsX.crossProduct(ucsY);
    AcGeVector3d perp = ucsZ.crossProduct(direction);
    if (perp.isZeroLength() || !std::isfinite(perp.x) || !std::isfinite(perp.y) ||
        !std::isfinite(perp.z)) {
        return ucsY.isZeroLength() ? AcGeVector3d(0.0, 1.0, 0.0) : ucsY.normal();
    }
    return perp.normal();
}

AcDbAlignedDimension* makeAlignedDimension(const AcGePoint3d& first, const AcGePoint3d& second,
                                           const AcGeVector3d& offsetDirection, double scale,
                                           const AcGeVector3d& normal, AcDbDatabase* db) {
    db = databaseOr(db);
    const AcGePoint3d middle = first + (second - first) * 0.5;
    auto* dim = new AcDbAlignedDimension(first, second, middle + offsetDirection * scale);
    dim->setDatabaseDefaults(db);
    const AcGeVector3d n = normal.isZeroLength() ? AcGeVector3d(0.0, 0.0, 1.0) : normal.normal();
    dim->setNormal(n);
    dim->setElevation(AcGeVector3d(first.x, first.y, first.z).dotProduct(n));
    dim->setDynamicDimension(true);
    if (db != nullptr) {
        dim->setDimdec(db->luprec());
        dim->setDimlunit(db->lunits());
    }
    return dim;
}

AcDbAlignedDimension* makeLinearGripDimension(const AcGePoint3d& base, const AcGePoint3d& end,
                                              double scale, const AcGeVector3d& normal,
                                              AcDbDatabase* db) {
    if (base.isEqualTo(end) || !finitePoint(base) || !finitePoint(end)) {
        return nullptr;
    }
    return makeAlignedDimension(base, end, ucsPerpendicular(end - base, db), scale, normal, db);
}

bool appendLinearGripDimension(const AcGePoint3d& base, const AcGePoint3d& end, double scale,
                               const AcGeVector3d& normal, KxNodeId gripNode,
                               const AcDbObjectId& entityId, bool editable,
                               AcDbDimDataPtrArray& dimData, AcDbDatabase* db) {
    AcDbAlignedDimension* dim = makeLinearGripDimension(base, end, scale, normal, db);
    if (dim == nullptr) {
        return false;
    }
    auto* data = new AcDbDimData();
    data->setDimension(dim);
    data->setOwnerId(entityId);
    data->setBitFlags(editable ? (kxgrip::kDimEditable | kxgrip::kDimFocal) : 0u);
    data->setDimValueFunc(&setDimensionValue);
    auto* custom = new KxGripDimensionData();
    custom->gripNode = gripNode;
    custom->scale = scale;
    custom->index = 0;
    data->setAppData(custom);
    dimData.append(data);
    return true;
}

Acad::ErrorStatus followLinearDimension(AcDbDimData* data, const AcGePoint3d& base,
                                        const AcGePoint3d& end) {
    if (data == nullptr) {
        return Acad::eNullObjectPointer;
    }
    auto* dim = AcDbAlignedDimension::cast(data->dimension());
    if (dim == nullptr) {
        return Acad::eInvalidInput;
    }
    // The line keeps the offset it had from the middle of the measured points.
    const AcGePoint3d oldFirst = dim->xLine1Point();
    const AcGePoint3d oldMiddle = oldFirst + (dim->xLine2Point() - oldFirst) * 0.5;
    const AcGeVector3d previousOffset = dim->dimLinePoint() - oldMiddle;
    const AcGePoint3d middle = base + (end - base) * 0.5;
    Acad::ErrorStatus es = dim->setXLine1Point(base);
    if (es == Acad::eOk) {
        es = dim->setXLine2Point(end);
    }
    if (es == Acad::eOk) {
        es = dim->setDimLinePoint(middle + previousOffset);
    }
    return es;
}

bool pointForTypedDistance(const AcGePoint3d& base, const AcGePoint3d& end, int gripIndex,
                           double value, AcGePoint3d& moved) {
    if (!std::isfinite(value) || (gripIndex != 0 && gripIndex != 1)) {
        return false;
    }
    const AcGeVector3d d = end - base;
    const double length = d.length();
    if (!(length > 1e-10) || !std::isfinite(length)) {
        return false;
    }
    const AcGeVector3d u = d / length;
    moved = gripIndex == 0 ? end - u * value : base + u * value;
    return true;
}

Acad::ErrorStatus applyTypedDistance(AcDbBlockReference* ref, KxNodeId gripNode, double value,
                                     AcGeVector3d& worldOffset) {
    worldOffset.set(0.0, 0.0, 0.0);
    if (ref == nullptr) {
        return Acad::eNullObjectPointer;
    }
    KxDbTagRefContext context(kxref::kDefaultKey, ref);
    if (!context.isBound()) {
        return Acad::eInvalidInput;
    }
    GripParameter gp;
    Acad::ErrorStatus es = readGripParameter(context, gripNode, gp);
    if (es != Acad::eOk) {
        return es;
    }
    const AcGeMatrix3d toWorld = ref->blockTransform();
    AcGeMatrix3d toDefinition;
    if (!toWorld.inverse(toDefinition)) {
        return Acad::eInvalidInput;  // a reference scaled to nothing has no distances
    }
    const AcGePoint3d b = toWorld * gp.base;
    const AcGePoint3d e = toWorld * gp.end;
    AcGePoint3d moved;
    if (!pointForTypedDistance(b, e, gp.gripIndex, value, moved)) {
        return Acad::eInvalidInput;
    }
    const bool movesBase = gp.gripIndex == 0;
    const AcGePoint3d before = movesBase ? gp.base : gp.end;
    const AcGeVector3d displacement = toDefinition * moved - before;
    if ((es = context.activateNode(gp.paramNode)) != Acad::eOk) {
        return es;
    }
    es = context.setValueAndEvaluate(
        movesBase ? kxref::kTwoPointBase : kxref::kTwoPointEnd,
        KxDbTagEvalVariant(AcGePoint3d(displacement.x, displacement.y, displacement.z)));
    if (es != Acad::eOk) {
        return es;
    }
    // The parameter may have moved less than asked (a value set, a fixed point): report where
    // the point really went.
    GripParameter after;
    if (readGripParameter(context, gripNode, after) == Acad::eOk) {
        worldOffset = toWorld * (movesBase ? after.base : after.end) - toWorld * before;
    } else {
        worldOffset = moved - (movesBase ? b : e);
    }
    return Acad::eOk;
}

AcGeVector3d setDimensionValue(AcDbDimData* data, AcDbEntity* entity, double newValue,
                               const AcGeVector3d& offset) {
    AcGeVector3d moved(0.0, 0.0, 0.0);
    if (data == nullptr || data->dimValueFunc() != &setDimensionValue) {
        return moved;
    }
    const auto* custom = static_cast<const KxGripDimensionData*>(data->appData());
    auto* ref = AcDbBlockReference::cast(entity);
    if (custom == nullptr || ref == nullptr || custom->index != 0 ||
        AcDbAlignedDimension::cast(data->dimension()) == nullptr) {
        return moved;
    }
    if (applyTypedDistance(ref, custom->gripNode, newValue, moved) != Acad::eOk) {
        moved.set(0.0, 0.0, 0.0);
    }
    return moved;
}

void gripDimensions(AcDbGripData* record, const AcDbObjectId& entityId, double dimScale,
                    AcDbDimDataPtrArray& dimData) {
    if (record == nullptr) {
        return;
    }
    KxDbNimbleBlockNBAppData* appData =
        KxDbNimbleBlockNBAppData::fromRecord(record->appData(), record->appDataAcRxClass());
    if (appData == nullptr) {
        return;
    }
    AcDbObject* obj = nullptr;
    if (acdbOpenObject(obj, entityId, AcDb::kForRead) != Acad::eOk) {
        return;
    }
    auto* ref = AcDbBlockReference::cast(obj);
    if (ref != nullptr) {
        KxDbTagRefContext context(kxref::kDefaultKey, ref);
        GripParameter gp;
        if (context.isBound() && readGripParameter(context, appData->gripId(), gp) == Acad::eOk &&
            gp.linear && !gp.base.isEqualTo(gp.end)) {
            const bool editable =
                !context.definitionHasProxyEntities() && !context.hasSecondRestriction();
            const AcGeMatrix3d& toWorld = appData->blockTransform();
            const int before = dimData.length();
            if (appendLinearGripDimension(toWorld * gp.base, toWorld * gp.end, dimScale,
                                          appData->normal(), appData->gripId(), entityId, editable,
                                          dimData, ref->database())) {
                for (int i = before; i < dimData.length(); ++i) {
                    appData->addDimension(dimData[i]);
                }
            }
        }
    }
    obj->close();
}

Acad::ErrorStatus followDimensions(KxDbNimbleBlockNBAppData* appData, const KxDbTagGrip* grip,
                                   AcDbBlockReference* /*ref*/) {
    if (appData == nullptr || grip == nullptr) {
        return Acad::eNullObjectPointer;
    }
    KxDbDimDataPtrArray* records = appData->dimensions();
    if (records == nullptr || records->length() == 0) {
        return Acad::eOk;
    }
    KxDbBlockTag* param = nullptr;
    Acad::ErrorStatus es = grip->openParameter(param);
    if (es != Acad::eOk) {
        return es;
    }
    const KxDbBlock2PtTag* twoPoint = KxDbBlockLinearTag::cast(param);
    AcGePoint3d base;
    AcGePoint3d end;
    if (twoPoint != nullptr) {
        base = appData->blockTransform() * twoPoint->currentBasePoint();
        end = appData->blockTransform() * twoPoint->currentEndPoint();
    }
    param->close();
    if (twoPoint == nullptr) {
        return Acad::eOk;  // the other grip types keep their own dimensions
    }
    for (int i = 0; i < records->length(); ++i) {
        AcDbDimData* data = (*records)[i];
        if (data == nullptr || data->appData() == nullptr || data->dimension() == nullptr) {
            break;
        }
        if ((es = followLinearDimension(data, base, end)) != Acad::eOk) {
            return es;
        }
    }
    return Acad::eOk;
}

void freeGripDimensionData(AcDbDimData* data) {
    if (data == nullptr || data->dimValueFunc() != &setDimensionValue) {
        return;
    }
    delete static_cast<KxGripDimensionData*>(data->appData());
    data->setAppData(nullptr);
}

}  // namespace kxgrips
