#include "host/entities/entity.h"

#include "host/db/blocktable.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/layer.h"
#include "host/db/objectstate.h"
#include "host/entities/entity_filing.h"
#include "host/grips/gripoverrule.h"

ACRX_HOST_CLASS(AcDbEntity, AcDbObject);

namespace {

kxhost::EntityGripRouting* g_routing = nullptr;

AcDbDatabase* databaseFor(const AcDbEntity* ent, AcDbDatabase* given = nullptr) {
    if (given != nullptr) {
        return given;
    }
    if (ent->database() != nullptr) {
        return ent->database();
    }
    return acdbHostApplicationServices()->workingDatabase();
}

bool validColor(int color) {
    return color >= 0 && color <= 256;
}

}  // namespace

namespace kxhost {

void setEntityGripRouting(EntityGripRouting* routing) {
    g_routing = routing;
}

EntityGripRouting* entityGripRouting() {
    return g_routing;
}

bool isOnLockedLayer(const AcDbEntity* ent) {
    return ent != nullptr && isLayerLocked(ent->layerId());
}

}  // namespace kxhost

// --- Construction and properties ----------------------------------------------------------------

AcDbEntity::AcDbEntity() = default;
AcDbEntity::~AcDbEntity() = default;

AcDbObjectId AcDbEntity::blockId() const {
    AcDbObjectId owner = ownerId();
    // Entities owned by entities (attributes by their reference) live in their owner's block.
    for (int depth = 0; depth < 16 && !owner.isNull(); ++depth) {
        const AcDbObject* obj = kxhost::detail::residentObject(owner);
        if (obj == nullptr) {
            return AcDbObjectId::kNull;
        }
        if (AcDbBlockTableRecord::cast(obj) != nullptr) {
            return owner;
        }
        if (AcDbEntity::cast(obj) == nullptr) {
            return AcDbObjectId::kNull;
        }
        owner = obj->ownerId();
    }
    return AcDbObjectId::kNull;
}

AcDbObjectId AcDbEntity::layerId() const {
    return m_layer;
}

AcString AcDbEntity::layer() const {
    assertReadEnabled();
    const auto* rec = AcDbLayerTableRecord::cast(kxhost::detail::residentObject(m_layer));
    return rec != nullptr ? AcString(rec->name()) : AcString(L"0");
}

Acad::ErrorStatus AcDbEntity::setLayer(const ACHAR* layerName, bool doSubents) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    AcDbDatabase* db = databaseFor(this);
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    const AcDbObjectId id = kxhost::findLayer(db, layerName);
    if (id.isNull()) {
        return Acad::eKeyNotFound;
    }
    assertWriteEnabled();
    m_layer = id;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLayer(AcDbObjectId id, bool doSubents) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (id.isNull()) {
        return Acad::eNullObjectId;
    }
    const auto* rec = AcDbLayerTableRecord::cast(kxhost::detail::residentObject(id));
    if (rec == nullptr) {
        return Acad::eWrongObjectType;
    }
    if (database() != nullptr && rec->database() != database()) {
        return Acad::eWrongDatabase;
    }
    assertWriteEnabled();
    m_layer = id;
    return Acad::eOk;
}

Adesk::UInt16 AcDbEntity::colorIndex() const {
    assertReadEnabled();
    return m_color;
}

Acad::ErrorStatus AcDbEntity::setColorIndex(Adesk::UInt16 color, bool doSubents) {
    if (!validColor(color)) {
        return Acad::eInvalidInput;
    }
    return setField(m_color, color);
}

AcDb::Visibility AcDbEntity::visibility() const {
    assertReadEnabled();
    return m_visibility;
}

Acad::ErrorStatus AcDbEntity::setVisibility(AcDb::Visibility visible, bool doSubents) {
    if (visible != AcDb::kVisible && visible != AcDb::kInvisible) {
        return Acad::eInvalidInput;
    }
    return setField(m_visibility, visible);
}

Acad::ErrorStatus AcDbEntity::setPropertiesFrom(const AcDbEntity* other, bool doSubents) {
    if (other == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    other->assertReadEnabled();
    assertWriteEnabled();
    m_layer = other->m_layer;
    m_color = other->m_color;
    m_visibility = other->m_visibility;
    return Acad::eOk;
}

void AcDbEntity::setDatabaseDefaults(AcDbDatabase* db) {
    if (!isWriteEnabled()) {
        assertWriteEnabled();  // counts the violation
        return;
    }
    db = databaseFor(this, db);
    assertWriteEnabled();
    if (db != nullptr) {
        const AcDbObjectId zero = db->layerZero();
        if (!zero.isNull()) {
            m_layer = zero;
        }
    }
    m_color = 256;
    subSetDatabaseDefaults(db);
}

Acad::ErrorStatus AcDbEntity::beginModify() {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    assertWriteEnabled();
    return Acad::eOk;
}

// --- Geometry -----------------------------------------------------------------------------------

Acad::ErrorStatus AcDbEntity::transformBy(const AcGeMatrix3d& xform) {
    return isWriteEnabled() ? Acad::eNotApplicable : Acad::eNotOpenForWrite;
}

Acad::ErrorStatus AcDbEntity::getTransformedCopy(const AcGeMatrix3d& xform,
                                                 AcDbEntity*& copy) const {
    copy = nullptr;
    assertReadEnabled();
    AcRxObject* made = clone();
    auto* ent = AcDbEntity::cast(made);
    if (ent == nullptr) {
        delete made;
        return Acad::eNotApplicable;
    }
    const Acad::ErrorStatus es = ent->transformBy(xform);
    if (es != Acad::eOk) {
        delete ent;
        return es;
    }
    copy = ent;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    return Acad::eInvalidExtents;
}

Acad::ErrorStatus AcDbEntity::chooseIndices(const AcDbIntArray& indices, int count,
                                            std::vector<bool>& chosen) {
    chosen.assign(count > 0 ? static_cast<size_t>(count) : 0U, false);
    for (int index : indices) {
        if (index < 0 || index >= count) {
            return Acad::eInvalidIndex;
        }
        chosen[static_cast<size_t>(index)] = true;
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::getGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                            AcDbIntArray& geomIds) const {
    Acad::ErrorStatus es = Acad::eOk;
    if (g_routing != nullptr &&
        g_routing->getGripPoints(this, gripPoints, osnapModes, geomIds, es)) {
        return es;
    }
    return subGetGripPoints(gripPoints, osnapModes, geomIds);
}

Acad::ErrorStatus AcDbEntity::getGripPoints(AcGePoint3dArray& gripPoints) const {
    AcDbIntArray osnapModes;
    AcDbIntArray geomIds;
    return getGripPoints(gripPoints, osnapModes, geomIds);
}

Acad::ErrorStatus AcDbEntity::moveGripPointsAt(const AcDbIntArray& indices,
                                               const AcGeVector3d& offset) {
    Acad::ErrorStatus es = Acad::eOk;
    if (g_routing != nullptr && g_routing->moveGripPointsAt(this, indices, offset, es)) {
        return es;
    }
    return subMoveGripPointsAt(indices, offset);
}

Acad::ErrorStatus AcDbEntity::getStretchPoints(AcGePoint3dArray& stretchPoints) const {
    Acad::ErrorStatus es = Acad::eOk;
    if (g_routing != nullptr && g_routing->getStretchPoints(this, stretchPoints, es)) {
        return es;
    }
    return subGetStretchPoints(stretchPoints);
}

Acad::ErrorStatus AcDbEntity::moveStretchPointsAt(const AcDbIntArray& indices,
                                                  const AcGeVector3d& offset) {
    Acad::ErrorStatus es = Acad::eOk;
    if (g_routing != nullptr && g_routing->moveStretchPointsAt(this, indices, offset, es)) {
        return es;
    }
    return subMoveStretchPointsAt(indices, offset);
}

Acad::ErrorStatus AcDbEntity::getGripPoints(AcDbGripDataPtrArray& grips, double curViewUnitSize,
                                            int gripSize, const AcGeVector3d& curViewDir,
                                            int bitFlags) const {
    Acad::ErrorStatus es = Acad::eOk;
    if (g_routing != nullptr &&
        g_routing->getGripData(this, grips, curViewUnitSize, gripSize, curViewDir, bitFlags, es)) {
        return es;
    }
    return subGetGripPoints(grips, curViewUnitSize, gripSize, curViewDir, bitFlags);
}

Acad::ErrorStatus AcDbEntity::moveGripPointsAt(const AcDbVoidPtrArray& gripAppData,
                                               const AcGeVector3d& offset, int bitFlags) {
    Acad::ErrorStatus es = Acad::eOk;
    if (g_routing != nullptr && g_routing->moveGripData(this, gripAppData, offset, bitFlags, es)) {
        return es;
    }
    return subMoveGripPointsAt(gripAppData, offset, bitFlags);
}

void AcDbEntity::gripStatus(AcDb::GripStat status) {
    if (g_routing != nullptr && g_routing->gripStatus(this, status)) {
        return;
    }
    subGripStatus(status);
}

Acad::ErrorStatus AcDbEntity::subGetGripPoints(AcDbGripDataPtrArray& grips, double, int,
                                               const AcGeVector3d&, int) const {
    AcGePoint3dArray points;
    AcDbIntArray modes;
    AcDbIntArray ids;
    const Acad::ErrorStatus es = subGetGripPoints(points, modes, ids);
    if (es != Acad::eOk) {
        return es;
    }
    for (int i = 0; i < points.length(); ++i) {
        AcDbGripData* grip = new AcDbGripData();
        grip->setGripPoint(points[i]);
        grip->setAppData(kxhost::HostGripAppData::forIndex(i));
        grip->setAppDataAcRxClass(kxhost::HostGripAppData::desc());
        grips.append(grip);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::subMoveGripPointsAt(const AcDbVoidPtrArray& gripAppData,
                                                  const AcGeVector3d& offset, int) {
    // Only the host's own markers name grips of the entity; anything else belongs to whoever
    // offered that grip (an overrule) and is not ours to interpret.
    AcDbIntArray indices;
    for (void* data : gripAppData) {
        const int index = kxhost::HostGripAppData::indexOf(data);
        if (index >= 0 && !indices.contains(index)) {
            indices.append(index);
        }
    }
    if (indices.isEmpty()) {
        return Acad::eOk;
    }
    return subMoveGripPointsAt(indices, offset);
}

Acad::ErrorStatus AcDbEntity::subGetGripPoints(AcGePoint3dArray& gripPoints,
                                               AcDbIntArray& osnapModes,
                                               AcDbIntArray& geomIds) const {
    assertReadEnabled();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                  const AcGeVector3d& offset) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    AcGePoint3dArray points;
    AcDbIntArray modes;
    AcDbIntArray ids;
    subGetGripPoints(points, modes, ids);
    std::vector<bool> chosen;
    // An entity without grips of its own has nothing to move.
    return chooseIndices(indices, points.length(), chosen);
}

Acad::ErrorStatus AcDbEntity::subGetStretchPoints(AcGePoint3dArray& stretchPoints) const {
    AcDbIntArray modes;
    AcDbIntArray ids;
    return subGetGripPoints(stretchPoints, modes, ids);
}

Acad::ErrorStatus AcDbEntity::subMoveStretchPointsAt(const AcDbIntArray& indices,
                                                     const AcGeVector3d& offset) {
    return subMoveGripPointsAt(indices, offset);
}

Acad::ErrorStatus AcDbEntity::xDataTransformBy(const AcGeMatrix3d& xform) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    resbuf* chain = xData(nullptr);
    if (chain == nullptr) {
        return Acad::eOk;
    }
    const double scale = xform.scale();
    for (resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
        double* p = rb->resval.rpoint;
        switch (rb->restype) {
            case 1011: {
                const AcGePoint3d q = xform * AcGePoint3d(p[0], p[1], p[2]);
                p[0] = q.x;
                p[1] = q.y;
                p[2] = q.z;
                break;
            }
            case 1012:
            case 1013: {
                AcGeVector3d v = xform * AcGeVector3d(p[0], p[1], p[2]);
                if (rb->restype == 1013) {
                    v.normalize();
                }
                p[0] = v.x;
                p[1] = v.y;
                p[2] = v.z;
                break;
            }
            case 1041:
            case 1042:
                rb->resval.rreal *= scale;
                break;
            default:
                break;
        }
    }
    const Acad::ErrorStatus es = setXData(chain);
    acutRelRb(chain);
    return es;
}

// --- Filing -------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbEntity::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeHardPointerId(m_layer);
    filer->writeUInt16(m_color);
    filer->writeInt16(static_cast<Adesk::Int16>(m_visibility));
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbEntity::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbHardPointerId layer;
    Adesk::UInt16 color = 0;
    Adesk::Int16 visibility = 0;
    if ((es = filer->readHardPointerId(&layer)) != Acad::eOk ||
        (es = filer->readUInt16(&color)) != Acad::eOk ||
        (es = filer->readInt16(&visibility)) != Acad::eOk) {
        return es;
    }
    if (!validColor(color) || (visibility != AcDb::kVisible && visibility != AcDb::kInvisible)) {
        filer->setFilerStatus(Acad::eFilerError);
        return Acad::eFilerError;
    }
    m_layer = layer;
    m_color = color;
    m_visibility = static_cast<AcDb::Visibility>(visibility);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbEntity::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbEntity");
    filer->writeString(8, layer());
    filer->writeInt16(62, static_cast<Adesk::Int16>(m_color));
    filer->writeInt16(60, static_cast<Adesk::Int16>(m_visibility));
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbEntity::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if ((es = kxhost::detail::dxfExpectSubclass(filer, L"AcDbEntity")) != Acad::eOk) {
        return es;
    }
    AcString layerName;
    int color = m_color;
    int visibility = m_visibility;
    es = kxhost::detail::dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 8:
                layerName = AcString(rb.resval.rstring);
                return true;
            case 62:
                color = rb.resval.rint;
                return true;
            case 60:
                visibility = rb.resval.rint;
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk) {
        return es;
    }
    if (!validColor(color) || (visibility != AcDb::kVisible && visibility != AcDb::kInvisible)) {
        return Acad::eInvalidDxfCode;
    }
    if (!layerName.isEmpty()) {
        // Layers are named in text files; an unknown name leaves the entity on layer "0".
        AcDbDatabase* db = filer->database() != nullptr ? filer->database() : databaseFor(this);
        m_layer = kxhost::findLayer(db, layerName);
    }
    m_color = static_cast<Adesk::UInt16>(color);
    m_visibility = static_cast<AcDb::Visibility>(visibility);
    return filer->filerStatus();
}

// --- Opening ------------------------------------------------------------------------------------

Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& pEnt, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased, bool forceOpenOnLockedLayer) {
    pEnt = nullptr;
    // Refused before opening, so the refusal leaves no trace in the object's open state.
    if (mode == AcDb::kForWrite && !forceOpenOnLockedLayer) {
        const auto* peek = AcDbEntity::cast(kxhost::detail::residentObject(id));
        if (peek != nullptr && (openErased || !peek->isErased()) && kxhost::isOnLockedLayer(peek)) {
            return Acad::eOnLockedLayer;
        }
    }
    AcDbObject* obj = nullptr;
    const Acad::ErrorStatus es = acdbOpenAcDbObject(obj, id, mode, openErased);
    if (es != Acad::eOk) {
        return es;
    }
    pEnt = AcDbEntity::cast(obj);
    if (pEnt == nullptr) {
        obj->close();
        return Acad::eNotAnEntity;
    }
    return Acad::eOk;
}
