#include "host/entities/blockref.h"

#include <algorithm>
#include <cmath>

#include "host/db/blocktable.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"
#include "host/db/symboltable.h"
#include "host/entities/annotative.h"
#include "host/entities/attdef.h"
#include "host/entities/attrib.h"
#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"
#include "host/entities/objectiterator.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbBlockReference, AcDbEntity, "INSERT");
// After the reference's own registration, so its descriptor exists (same translation unit).
static const kxhost::HostClassRegistrar s_annotativeOnReferences([] {
    kxhost::detail::attachAnnotativePE(AcDbBlockReference::desc());
});

using namespace kxhost::detail;

namespace {

// Closes what it holds when it goes.
template <class T>
struct Opened {
    T* obj = nullptr;
    Opened() = default;
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    ~Opened() {
        if (obj != nullptr) {
            obj->close();
        }
    }
};

bool validScale(const AcGeScale3d& s) {
    for (double f : {s.sx, s.sy, s.sz}) {
        if (!std::isfinite(f) || f == 0.0) {
            return false;
        }
    }
    return true;
}

double sign(double v) {
    return v < 0.0 ? -1.0 : 1.0;
}

// Blocks being drawn or measured on the current call chain: a block that holds a reference to
// itself (directly or through others) stops there instead of recursing without end.
struct BlockStack {
    std::vector<AcDbObjectId> ids;
    bool contains(const AcDbObjectId& id) const {
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    }
};
BlockStack& drawingStack() {
    static BlockStack s;
    return s;
}
BlockStack& measuringStack() {
    static BlockStack s;
    return s;
}
struct StackEntry {
    BlockStack& stack;
    StackEntry(BlockStack& s, const AcDbObjectId& id) : stack(s) { stack.ids.push_back(id); }
    ~StackEntry() { stack.ids.pop_back(); }
    StackEntry(const StackEntry&) = delete;
    StackEntry& operator=(const StackEntry&) = delete;
};

// The frame of a reference: what blockTransform() is built from.
struct Frame {
    AcGePoint3d position;
    AcGeVector3d normal;
    double rotation = 0.0;
    AcGeScale3d scale;
};

// Writes `full` (block coordinates to world) as a reference's frame. The normal is the image of
// the old normal, the X scale keeps its sign, so a mirroring shows in the Y scale. False when
// the images of the block axes are not perpendicular to each other or to the normal (a shear,
// or a scaling along axes that are not the block's).
bool frameOf(const AcGeMatrix3d& full, const AcGePoint3d& origin, const AcGeVector3d& newNormal,
             double xSign, Frame& out) {
    const AcGeVector3d x(full(0, 0), full(1, 0), full(2, 0));
    const AcGeVector3d y(full(0, 1), full(1, 1), full(2, 1));
    const AcGeVector3d z(full(0, 2), full(1, 2), full(2, 2));
    const double lx = x.length();
    const double ly = y.length();
    const double lz = z.length();
    if (lx == 0.0 || ly == 0.0 || lz == 0.0 || !std::isfinite(lx + ly + lz)) {
        return false;
    }
    const double tol = 1e-9;
    const double sz = z.dotProduct(newNormal);
    if ((z - newNormal * sz).length() > tol * lz || std::fabs(x.dotProduct(y)) > tol * lx * ly ||
        std::fabs(x.dotProduct(newNormal)) > tol * lx ||
        std::fabs(y.dotProduct(newNormal)) > tol * ly) {
        return false;
    }
    const AcGeMatrix3d toPlane = AcGeMatrix3d::worldToPlane(newNormal);
    const AcGeVector3d a = toPlane * x;  // (sx cos r, sx sin r, 0)
    const AcGeVector3d b = toPlane * y;  // (-sy sin r, sy cos r, 0)
    const double sx = xSign * std::hypot(a.x, a.y);
    const double rotation = std::atan2(a.y / sx, a.x / sx);
    const double sy = b.x * -std::sin(rotation) + b.y * std::cos(rotation);
    out.position = full * origin;
    out.normal = newNormal;
    out.rotation = normalizeAngle(rotation);
    out.scale = AcGeScale3d(sx, sy, sz);
    return true;
}

const AcDbDatabase* attmodeDatabase(const AcDbBlockReference* ref, const AcDbObjectId& block) {
    if (ref->database() != nullptr) {
        return ref->database();
    }
    if (block.database() != nullptr) {
        return block.database();
    }
    return acdbHostApplicationServices()->workingDatabase();
}

}  // namespace

namespace kxhost {
AcDbObjectId referencedBlock(const AcDbBlockReference* ref) {
    return ref != nullptr ? ref->m_block : AcDbObjectId::kNull;
}
}  // namespace kxhost

// --- Construction and frame ---------------------------------------------------------------------

AcDbBlockReference::AcDbBlockReference() = default;

AcDbBlockReference::AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId blockTableRecord)
    : m_block(blockTableRecord), m_position(position) {}

AcDbBlockReference::~AcDbBlockReference() {
    for (AcDbAttribute* att : m_held) {
        delete att;
    }
}

AcDbObjectId AcDbBlockReference::blockTableRecord() const {
    assertReadEnabled();
    return m_block;
}

Acad::ErrorStatus AcDbBlockReference::setBlockTableRecord(AcDbObjectId blockTableRecord) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (blockTableRecord.isNull()) {
        return Acad::eNullObjectId;
    }
    if (AcDbBlockTableRecord::cast(residentObject(blockTableRecord)) == nullptr) {
        return Acad::eWrongObjectType;
    }
    if (database() != nullptr && blockTableRecord.database() != database()) {
        return Acad::eWrongDatabase;
    }
    if (blockTableRecord == blockId() && !blockTableRecord.isNull()) {
        return Acad::eSelfReference;
    }
    assertWriteEnabled();
    m_block = blockTableRecord;
    return Acad::eOk;
}

AcGePoint3d AcDbBlockReference::position() const {
    assertReadEnabled();
    return m_position;
}

Acad::ErrorStatus AcDbBlockReference::setPosition(const AcGePoint3d& position) {
    return setField(m_position, position);
}

AcGeScale3d AcDbBlockReference::scaleFactors() const {
    assertReadEnabled();
    return m_scale;
}

Acad::ErrorStatus AcDbBlockReference::setScaleFactors(const AcGeScale3d& scale) {
    return validScale(scale) ? setField(m_scale, scale) : Acad::eInvalidInput;
}

double AcDbBlockReference::rotation() const {
    assertReadEnabled();
    return m_rotation;
}

Acad::ErrorStatus AcDbBlockReference::setRotation(double rotation) {
    return setField(m_rotation, normalizeAngle(rotation));
}

AcGeVector3d AcDbBlockReference::normal() const {
    assertReadEnabled();
    return m_normal;
}

Acad::ErrorStatus AcDbBlockReference::setNormal(const AcGeVector3d& normal) {
    if (normal.isZeroLength() || !isFiniteVector(normal)) {
        return Acad::eInvalidInput;
    }
    return setField(m_normal, normal.normal());
}

AcGeMatrix3d AcDbBlockReference::blockTransform() const {
    assertReadEnabled();
    const AcGePoint3d origin = kxhost::blockOrigin(m_block);
    return AcGeMatrix3d::translation(m_position.asVector()) * AcGeMatrix3d::planeToWorld(m_normal) *
           AcGeMatrix3d::rotation(m_rotation, AcGeVector3d::kZAxis) *
           AcGeMatrix3d::scaling(m_scale) * AcGeMatrix3d::translation(-origin.asVector());
}

// --- Attributes ---------------------------------------------------------------------------------

std::vector<AcDbBlockReference::AttributeRef> AcDbBlockReference::attributes() const {
    std::vector<AttributeRef> out;
    for (const AcDbObjectId& id : m_attributes) {
        if (id.isValid() && !id.isErased()) {
            out.push_back(AttributeRef{id, nullptr});
        }
    }
    for (AcDbAttribute* att : m_held) {
        out.push_back(AttributeRef{AcDbObjectId::kNull, att});
    }
    return out;
}

Acad::ErrorStatus AcDbBlockReference::appendAttribute(AcDbAttribute* attribute) {
    AcDbObjectId ignored;
    return appendAttribute(ignored, attribute);
}

Acad::ErrorStatus AcDbBlockReference::appendAttribute(AcDbObjectId& id, AcDbAttribute* attribute) {
    id.setNull();
    if (attribute == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (attribute->database() != nullptr) {
        return Acad::eAlreadyInDb;
    }
    if (std::find(m_held.begin(), m_held.end(), attribute) != m_held.end()) {
        return Acad::eAlreadyInDb;
    }
    AcDbDatabase* db = database();
    if (db == nullptr) {
        assertWriteEnabled();
        m_held.push_back(attribute);
        return Acad::eOk;
    }
    const AcDbObjectId previousOwner = attribute->ownerId();
    attribute->setOwnerId(objectId());
    if (attribute->layerId().isNull() || attribute->layerId().database() != db) {
        attribute->setLayer(layerId().isNull() ? db->layerZero() : layerId());
    }
    AcDbObjectId added;
    const Acad::ErrorStatus es = db->addAcDbObject(added, attribute);
    if (es != Acad::eOk) {
        attribute->setOwnerId(previousOwner);
        return es;
    }
    assertWriteEnabled();
    m_attributes.append(added);
    id = added;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::subAppendedToBlock() {
    AcDbDatabase* db = database();
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    Acad::ErrorStatus result = Acad::eOk;
    std::vector<AcDbAttribute*> kept;
    for (AcDbAttribute* att : m_held) {
        att->setOwnerId(objectId());
        if (att->layerId().isNull() || att->layerId().database() != db) {
            att->setLayer(layerId());
        }
        AcDbObjectId added;
        const Acad::ErrorStatus es = db->addAcDbObject(added, att);
        if (es != Acad::eOk) {
            // Still held in memory: it goes with the reference.
            kept.push_back(att);
            result = es;
            continue;
        }
        m_attributes.append(added);
        att->close();
    }
    m_held = kept;
    return result;
}

AcDbObjectIterator* AcDbBlockReference::attributeIterator() const {
    assertReadEnabled();
    std::vector<AcDbObjectIterator::Item> items;
    for (const AcDbObjectId& id : m_attributes) {
        items.push_back(AcDbObjectIterator::Item{id, nullptr});
    }
    for (AcDbAttribute* att : m_held) {
        items.push_back(AcDbObjectIterator::Item{AcDbObjectId::kNull, att});
    }
    return new AcDbObjectIterator(std::move(items));
}

void AcDbBlockReference::transformAttributes(const AcGeMatrix3d& xform) {
    for (const AttributeRef& ref : attributes()) {
        if (ref.held != nullptr) {
            ref.held->transformBy(xform);
            continue;
        }
        Opened<AcDbAttribute> att;
        if (acdbOpenObject(att.obj, ref.id, AcDb::kForWrite, false, true) == Acad::eOk) {
            att.obj->transformBy(xform);
        }
    }
}

void AcDbBlockReference::translate(const AcGeVector3d& offset) {
    assertWriteEnabled();
    m_position += offset;
    transformAttributes(AcGeMatrix3d::translation(offset));
}

Acad::ErrorStatus AcDbBlockReference::subErase(Adesk::Boolean erasing) {
    for (const AcDbObjectId& id : m_attributes) {
        AcDbObject* att = nullptr;
        if (id.isValid() && id.isErased() != erasing &&
            acdbOpenAcDbObject(att, id, AcDb::kForWrite, true) == Acad::eOk) {
            att->erase(erasing);
            att->close();
        }
    }
    return Acad::eOk;
}

AcRxObject* AcDbBlockReference::clone() const {
    AcRxObject* made = AcDbEntity::clone();
    auto* copy = AcDbBlockReference::cast(made);
    if (copy == nullptr) {
        return made;
    }
    for (const AttributeRef& ref : attributes()) {
        AcRxObject* attCopy = nullptr;
        if (ref.held != nullptr) {
            attCopy = ref.held->clone();
        } else {
            Opened<AcDbAttribute> att;
            if (acdbOpenObject(att.obj, ref.id, AcDb::kForRead) == Acad::eOk) {
                attCopy = att.obj->clone();
            }
        }
        if (auto* typed = AcDbAttribute::cast(attCopy)) {
            copy->m_held.push_back(typed);
        } else {
            delete attCopy;
        }
    }
    return copy;
}

// --- Geometry -----------------------------------------------------------------------------------

Acad::ErrorStatus AcDbBlockReference::transformBy(const AcGeMatrix3d& xform) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    const AcGeMatrix3d full = xform * blockTransform();
    Frame frame;
    if (!frameOf(full, kxhost::blockOrigin(m_block), transformNormal(xform, m_normal),
                 sign(m_scale.sx), frame) ||
        !validScale(frame.scale)) {
        return Acad::eNotApplicable;
    }
    assertWriteEnabled();
    frameScaled(m_scale, frame.scale);
    m_position = frame.position;
    m_normal = frame.normal;
    m_rotation = frame.rotation;
    m_scale = frame.scale;
    transformAttributes(xform);
    return Acad::eOk;
}

void AcDbBlockReference::drawTransforms(std::vector<AcGeMatrix3d>& transforms) const {
    transforms.push_back(blockTransform());
}

Acad::ErrorStatus AcDbBlockReference::getGeomExtents(AcDbExtents& extents) const {
    assertReadEnabled();
    extents.setEmpty();
    std::vector<AcGeMatrix3d> transforms;
    drawTransforms(transforms);
    if (!measuringStack().contains(m_block)) {
        StackEntry entry(measuringStack(), m_block);
        for (const AcDbObjectId& id : kxhost::blockEntityIds(m_block)) {
            Opened<AcDbEntity> ent;
            if (acdbOpenAcDbEntity(ent.obj, id, AcDb::kForRead) != Acad::eOk) {
                continue;
            }
            for (const AcGeMatrix3d& xform : transforms) {
                // Measuring a transformed copy keeps the box tight under rotations; a copy that
                // cannot take the transform gives the transformed box of the entity instead.
                AcDbEntity* copy = nullptr;
                AcDbExtents ext;
                if (ent.obj->getTransformedCopy(xform, copy) == Acad::eOk &&
                    copy->getGeomExtents(ext) == Acad::eOk) {
                    extents.addExt(ext);
                } else if (ent.obj->getGeomExtents(ext) == Acad::eOk) {
                    ext.transformBy(xform);
                    extents.addExt(ext);
                }
                delete copy;
            }
        }
    }
    for (const AttributeRef& ref : attributes()) {
        AcDbExtents ext;
        if (ref.held != nullptr) {
            if (ref.held->getGeomExtents(ext) == Acad::eOk) {
                extents.addExt(ext);
            }
            continue;
        }
        Opened<AcDbAttribute> att;
        if (acdbOpenObject(att.obj, ref.id, AcDb::kForRead) == Acad::eOk &&
            att.obj->getGeomExtents(ext) == Acad::eOk) {
            extents.addExt(ext);
        }
    }
    return extents.isEmpty() ? Acad::eInvalidExtents : Acad::eOk;
}

std::vector<AcDbBlockReference::AttributeRef> AcDbBlockReference::gripAttributes() const {
    std::vector<AttributeRef> out;
    for (const AttributeRef& ref : attributes()) {
        if (ref.held != nullptr) {
            if (!ref.held->lockPositionInBlock()) {
                out.push_back(ref);
            }
            continue;
        }
        Opened<AcDbAttribute> att;
        if (acdbOpenObject(att.obj, ref.id, AcDb::kForRead) == Acad::eOk &&
            !att.obj->lockPositionInBlock()) {
            out.push_back(ref);
        }
    }
    return out;
}

Acad::ErrorStatus AcDbBlockReference::subGetGripPoints(AcGePoint3dArray& gripPoints,
                                                       AcDbIntArray& osnapModes,
                                                       AcDbIntArray& geomIds) const {
    assertReadEnabled();
    gripPoints.append(m_position);
    for (const AttributeRef& ref : gripAttributes()) {
        if (ref.held != nullptr) {
            gripPoints.append(ref.held->position());
            continue;
        }
        Opened<AcDbAttribute> att;
        if (acdbOpenObject(att.obj, ref.id, AcDb::kForRead) == Acad::eOk) {
            gripPoints.append(att.obj->position());
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::subMoveGripPointsAt(const AcDbIntArray& indices,
                                                          const AcGeVector3d& offset) {
    const std::vector<AttributeRef> grips = gripAttributes();
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 1 + static_cast<int>(grips.size()), chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    if (chosen[0]) {
        // The insertion point carries the attributes along.
        translate(offset);
        return Acad::eOk;
    }
    const AcGeMatrix3d move = AcGeMatrix3d::translation(offset);
    for (size_t i = 0; i < grips.size(); ++i) {
        if (!chosen[i + 1]) {
            continue;
        }
        if (grips[i].held != nullptr) {
            grips[i].held->transformBy(move);
            continue;
        }
        Opened<AcDbAttribute> att;
        if ((es = acdbOpenObject(att.obj, grips[i].id, AcDb::kForWrite, false, true)) !=
                Acad::eOk ||
            (es = att.obj->transformBy(move)) != Acad::eOk) {
            return es;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::subGetStretchPoints(AcGePoint3dArray& stretchPoints) const {
    assertReadEnabled();
    stretchPoints.append(m_position);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::subMoveStretchPointsAt(const AcDbIntArray& indices,
                                                             const AcGeVector3d& offset) {
    std::vector<bool> chosen;
    Acad::ErrorStatus es = chooseIndices(indices, 1, chosen);
    if (es != Acad::eOk || (es = beginModify()) != Acad::eOk) {
        return es;
    }
    if (chosen[0]) {
        translate(offset);
    }
    return Acad::eOk;
}

bool AcDbBlockReference::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    const AcDbDatabase* db = attmodeDatabase(this, m_block);
    const int attmode = db != nullptr ? db->attmode() : 1;
    std::vector<AcGeMatrix3d> transforms;
    drawTransforms(transforms);
    if (!drawingStack().contains(m_block)) {
        StackEntry entry(drawingStack(), m_block);
        const AcDbObjectIdArray ids = kxhost::blockEntityIds(m_block);
        for (const AcGeMatrix3d& xform : transforms) {
            wd->geometry().pushModelTransform(xform);
            for (const AcDbObjectId& id : ids) {
                Opened<AcDbEntity> ent;
                if (acdbOpenAcDbEntity(ent.obj, id, AcDb::kForRead) != Acad::eOk ||
                    ent.obj->visibility() == AcDb::kInvisible) {
                    continue;
                }
                if (const auto* def = AcDbAttributeDefinition::cast(ent.obj)) {
                    // Definitions that vary per reference show through the attributes instead.
                    if (!def->isConstant() || attmode == 0 ||
                        (attmode == 1 && def->isInvisible())) {
                        continue;
                    }
                }
                wd->geometry().draw(ent.obj);
            }
            wd->geometry().popModelTransform();
        }
    }
    for (const AttributeRef& ref : attributes()) {
        if (ref.held != nullptr) {
            if (ref.held->visibility() == AcDb::kVisible) {
                wd->geometry().draw(ref.held);
            }
            continue;
        }
        Opened<AcDbAttribute> att;
        if (acdbOpenObject(att.obj, ref.id, AcDb::kForRead) == Acad::eOk &&
            att.obj->visibility() == AcDb::kVisible) {
            wd->geometry().draw(att.obj);
        }
    }
    return true;
}

// --- Filing -------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbBlockReference::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeHardPointerId(m_block);
    filer->writePoint3d(m_position);
    filer->writeScale3d(m_scale);
    filer->writeDouble(m_rotation);
    filer->writeVector3d(m_normal);
    const AcDb::FilerType type = filer->filerType();
    const bool dropErased = type == AcDb::kFileFiler || type == AcDb::kDeepCloneFiler ||
                            type == AcDb::kWblockCloneFiler;
    AcDbObjectIdArray filed;
    // A copy cannot own the reference's attributes (clone() copies them into memory instead).
    if (type != AcDb::kCopyFiler) {
        for (const AcDbObjectId& id : m_attributes) {
            if (!(dropErased && id.isErased())) {
                filed.append(id);
            }
        }
    }
    filer->writeInt32(filed.length());
    for (const AcDbObjectId& id : filed) {
        filer->writeHardOwnershipId(id);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbBlockReference::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbHardPointerId block;
    AcGePoint3d position;
    AcGeScale3d scale;
    double rotation = 0.0;
    AcGeVector3d normal;
    AcDbObjectIdArray attributes;
    if ((es = filer->readHardPointerId(&block)) != Acad::eOk ||
        (es = filer->readPoint3d(&position)) != Acad::eOk ||
        (es = filer->readScale3d(&scale)) != Acad::eOk ||
        (es = filer->readDouble(&rotation)) != Acad::eOk ||
        (es = readNormal(filer, normal)) != Acad::eOk ||
        (es = readIdList(filer, attributes, true)) != Acad::eOk) {
        return es;
    }
    if (!validScale(scale)) {
        return filerFail(filer);
    }
    m_block = block;
    m_position = position;
    m_scale = scale;
    m_rotation = normalizeAngle(rotation);
    m_normal = normal;
    if (filer->filerType() != AcDb::kCopyFiler) {
        m_attributes = attributes;
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbBlockReference::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbEntity::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const auto* block = AcDbBlockTableRecord::cast(residentObject(m_block));
    filer->writeString(100, L"AcDbBlockReference");
    // The attributes themselves follow the reference in a file (ATTRIB records up to a
    // SEQEND); 66 tells readers to expect them.
    bool attributesFollow = false;
    for (const AcDbObjectId& id : m_attributes) {
        attributesFollow = attributesFollow || !id.isErased();
    }
    filer->writeInt16(66, attributesFollow ? 1 : 0);
    filer->writeString(2, block != nullptr ? block->name() : L"");
    filer->writePoint3d(10, m_position);
    filer->writeDouble(41, m_scale.sx);
    filer->writeDouble(42, m_scale.sy);
    filer->writeDouble(43, m_scale.sz);
    filer->writeAngle(50, m_rotation);
    filer->writeVector3d(210, m_normal);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbBlockReference::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbEntity::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbBlockReference")) != Acad::eOk) {
        return es;
    }
    AcString blockName;
    AcGePoint3d position = m_position;
    AcGeScale3d scale = m_scale;
    double rotation = m_rotation;
    AcGeVector3d normal = m_normal;
    AcDbObjectIdArray attributes;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        AcDbObjectId id;
        switch (rb.restype) {
            case 66:
                return true;
            case 2:
                blockName = AcString(rb.resval.rstring);
                return true;
            case 10:
                position = rbPoint(rb);
                return true;
            case 41:
                scale.sx = rb.resval.rreal;
                return true;
            case 42:
                scale.sy = rb.resval.rreal;
                return true;
            case 43:
                scale.sz = rb.resval.rreal;
                return true;
            case 50:
                rotation = rb.resval.rreal;
                return true;
            case 210:
                normal = rbVector(rb);
                return true;
            case 360:
                acdbGetObjectId(id, rb.resval.rlname);
                if (!id.isNull()) {
                    attributes.append(id);
                }
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk || (es = checkDxfNormal(normal)) != Acad::eOk) {
        return es;
    }
    if (!validScale(scale)) {
        return Acad::eInvalidDxfCode;
    }
    // Blocks are named in text files: the name is looked up in the drawing being read.
    AcDbObjectId block;
    const AcDbDatabase* db = filer->database() != nullptr ? filer->database() : database();
    if (db == nullptr) {
        db = acdbHostApplicationServices()->workingDatabase();
    }
    if (db != nullptr && !blockName.isEmpty()) {
        const auto* table = AcDbBlockTable::cast(residentObject(db->blockTableId()));
        if (table != nullptr) {
            block = table->findRecord(blockName, false);
        }
    }
    m_block = block;
    m_position = position;
    m_scale = scale;
    m_rotation = normalizeAngle(rotation);
    m_normal = normal;
    // Files list no attributes here (their reader appends the ATTRIB records that follow);
    // 360 groups are still taken from files of earlier versions of the host.
    if (!attributes.isEmpty()) {
        m_attributes = attributes;
    }
    return filer->filerStatus();
}
