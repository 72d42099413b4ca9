// Entities: database objects that live in a block and are drawn. The base keeps what every entity
// has (layer, colour, visibility), the geometric protocol (transform, grips, stretch points,
// extents), extended-data transformation and the locked-layer rule of opening for write.
#pragma once

#include <vector>

#include "host/core/array.h"
#include "host/db/dbobject.h"
#include "host/db/extents.h"
#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"

class AcDbGripData;
using AcDbGripDataPtrArray = AcArray<AcDbGripData*>;

class AcDbEntity : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbEntity);

    AcDbEntity();
    ~AcDbEntity() override;

    // The block table record the entity lives in: its owner, or for an entity owned by another
    // entity (an attribute owned by its block reference) that entity's block. Null outside a
    // block.
    AcDbObjectId blockId() const;

    // Layer. An entity without a layer (not yet in a block) counts as being on layer "0".
    // setLayer by name looks in the entity's database, or the working database for an entity
    // outside one (eKeyNotFound when there is no such layer, eNoDatabase when there is no
    // database); by id it takes a layer record (eNullObjectId, eWrongObjectType, and
    // eWrongDatabase for another database's layer of a resident entity). Setters need write.
    AcDbObjectId layerId() const;
    AcString layer() const;
    Acad::ErrorStatus setLayer(const ACHAR* layerName, bool doSubents = true);
    Acad::ErrorStatus setLayer(AcDbObjectId layerId, bool doSubents = true);
    // Colour index: 0 by block, 1..255 the palette, 256 by layer (eInvalidInput otherwise).
    Adesk::UInt16 colorIndex() const;
    Acad::ErrorStatus setColorIndex(Adesk::UInt16 color, bool doSubents = true);
    AcDb::Visibility visibility() const;
    Acad::ErrorStatus setVisibility(AcDb::Visibility visible, bool doSubents = true);
    // Layer, colour and visibility of the other entity.
    Acad::ErrorStatus setPropertiesFrom(const AcDbEntity* other, bool doSubents = true);
    // Layer "0" and colour by layer from the database (the working database when null), then the
    // class's own defaults (subSetDatabaseDefaults). Needs write.
    void setDatabaseDefaults(AcDbDatabase* db = nullptr);
    virtual void subSetDatabaseDefaults(AcDbDatabase* db) {}

    // Geometry. transformBy needs write (eNotOpenForWrite) and answers eNotApplicable for a
    // transform the entity cannot take (a non-uniform scaling of a circle, for instance), leaving
    // the entity unchanged. getTransformedCopy makes a copy outside the database and transforms
    // it. getGeomExtents answers eInvalidExtents for an entity without geometry.
    virtual Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform);
    virtual Acad::ErrorStatus getTransformedCopy(const AcGeMatrix3d& xform,
                                                 AcDbEntity*& copy) const;
    virtual Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const;

    // Grip and stretch points, in world coordinates. The entry points go through the grip
    // overrules (see kxhost::setEntityGripRouting) and end in the entity's own sub... members.
    // Moving takes indices into the points reported, each at most once: an index out of range
    // answers eInvalidIndex and moves nothing. Moving needs write.
    Acad::ErrorStatus getGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                    AcDbIntArray& geomIds) const;
    Acad::ErrorStatus getGripPoints(AcGePoint3dArray& gripPoints) const;
    Acad::ErrorStatus moveGripPointsAt(const AcDbIntArray& indices, const AcGeVector3d& offset);
    Acad::ErrorStatus getStretchPoints(AcGePoint3dArray& stretchPoints) const;
    Acad::ErrorStatus moveStretchPointsAt(const AcDbIntArray& indices, const AcGeVector3d& offset);
    // The grip-record form: records are appended to `grips` (the caller deletes them); moving
    // takes the application data of the grips to move. gripStatus tells the entity what the
    // grip editor is about to do with the records it was given.
    Acad::ErrorStatus getGripPoints(AcDbGripDataPtrArray& grips, double curViewUnitSize,
                                    int gripSize, const AcGeVector3d& curViewDir,
                                    int bitFlags) const;
    Acad::ErrorStatus moveGripPointsAt(const AcDbVoidPtrArray& gripAppData,
                                       const AcGeVector3d& offset, int bitFlags);
    void gripStatus(AcDb::GripStat status);

    // The entity's own grips and stretch points. By default an entity's stretch points are its
    // grip points and moving them moves the grips.
    virtual Acad::ErrorStatus subGetGripPoints(AcGePoint3dArray& gripPoints,
                                               AcDbIntArray& osnapModes,
                                               AcDbIntArray& geomIds) const;
    virtual Acad::ErrorStatus subMoveGripPointsAt(const AcDbIntArray& indices,
                                                  const AcGeVector3d& offset);
    virtual Acad::ErrorStatus subGetStretchPoints(AcGePoint3dArray& stretchPoints) const;
    virtual Acad::ErrorStatus subMoveStretchPointsAt(const AcDbIntArray& indices,
                                                     const AcGeVector3d& offset);
    // By default one record per own grip point, its application data the shared
    // kxhost::HostGripAppData marker of the point's index; moving moves the own grips whose
    // markers are listed (other pointers are not the entity's and are skipped).
    virtual Acad::ErrorStatus subGetGripPoints(AcDbGripDataPtrArray& grips, double curViewUnitSize,
                                               int gripSize, const AcGeVector3d& curViewDir,
                                               int bitFlags) const;
    virtual Acad::ErrorStatus subMoveGripPointsAt(const AcDbVoidPtrArray& gripAppData,
                                                  const AcGeVector3d& offset, int bitFlags);
    virtual void subGripStatus(AcDb::GripStat status) {}

    // Transforms the extended data that carries geometry: 1011 positions (as points), 1012
    // displacements (as vectors), 1013 directions (as vectors, kept unit length), 1041
    // distances and 1042 scale factors (multiplied by the transform's scale). Needs write.
    virtual Acad::ErrorStatus xDataTransformBy(const AcGeMatrix3d& xform);

    // Binary filing: after the base object's fields the layer (hard pointer), the colour and the
    // visibility. Text filing: "AcDbEntity", 8 layer name, 62 colour, 60 visibility.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    // Assigns a member after checking the entity is write-enabled.
    template <class T>
    Acad::ErrorStatus setField(T& field, const T& value) {
        if (!isWriteEnabled()) {
            return Acad::eNotOpenForWrite;
        }
        assertWriteEnabled();
        field = value;
        return Acad::eOk;
    }
    // eNotOpenForWrite unless write-enabled; otherwise records the modification.
    Acad::ErrorStatus beginModify();
    // Marks which of `count` points the indices choose; eInvalidIndex for an index out of range.
    static Acad::ErrorStatus chooseIndices(const AcDbIntArray& indices, int count,
                                           std::vector<bool>& chosen);
    // Called by the block table record once the entity has joined the database through
    // appendAcDbEntity (still open for write): an entity that holds objects of its own outside
    // the database adds them now.
    virtual Acad::ErrorStatus subAppendedToBlock() { return Acad::eOk; }

  private:
    friend class AcDbBlockTableRecord;
    AcDbObjectId m_layer;
    Adesk::UInt16 m_color = 256;
    AcDb::Visibility m_visibility = AcDb::kVisible;
};

// Opens an entity. A write open of an entity on a locked layer answers eOnLockedLayer (and
// opens nothing) unless forceOpenOnLockedLayer is true. eNotAnEntity for an object that is not
// an entity; otherwise as acdbOpenObject.
Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& pEnt, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased = false, bool forceOpenOnLockedLayer = false);

// The typed entity form with the locked-layer choice (the four-argument acdbOpenObject does not
// look at layers). eNotThatKindOfClass when the entity is not a T.
template <class T>
Acad::ErrorStatus acdbOpenObject(T*& pObj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased,
                                 bool forceOpenOnLockedLayer) {
    pObj = nullptr;
    AcDbEntity* ent = nullptr;
    const Acad::ErrorStatus es =
        acdbOpenAcDbEntity(ent, id, mode, openErased, forceOpenOnLockedLayer);
    if (es != Acad::eOk) {
        return es;
    }
    T* typed = T::cast(ent);
    if (typed == nullptr) {
        ent->close();
        return Acad::eNotThatKindOfClass;
    }
    pObj = typed;
    return Acad::eOk;
}

namespace kxhost {

// The grip overrules take over an entity's grips and stretch points through this routing: the
// grip overrule code installs one (null removes it). Each call returns true when an applicable
// overrule handled it, with the result in `es`; false hands the call to the entity's own code.
class EntityGripRouting {
  public:
    virtual ~EntityGripRouting() = default;
    virtual bool getGripPoints(const AcDbEntity* ent, AcGePoint3dArray& gripPoints,
                               AcDbIntArray& osnapModes, AcDbIntArray& geomIds,
                               Acad::ErrorStatus& es) = 0;
    virtual bool moveGripPointsAt(AcDbEntity* ent, const AcDbIntArray& indices,
                                  const AcGeVector3d& offset, Acad::ErrorStatus& es) = 0;
    virtual bool getStretchPoints(const AcDbEntity* ent, AcGePoint3dArray& stretchPoints,
                                  Acad::ErrorStatus& es) = 0;
    virtual bool moveStretchPointsAt(AcDbEntity* ent, const AcDbIntArray& indices,
                                     const AcGeVector3d& offset, Acad::ErrorStatus& es) = 0;
    // The grip-record forms; a routing that does not take them over leaves them to the entity.
    virtual bool getGripData(const AcDbEntity* ent, AcDbGripDataPtrArray& grips,
                             double curViewUnitSize, int gripSize, const AcGeVector3d& curViewDir,
                             int bitFlags, Acad::ErrorStatus& es) {
        return false;
    }
    virtual bool moveGripData(AcDbEntity* ent, const AcDbVoidPtrArray& gripAppData,
                              const AcGeVector3d& offset, int bitFlags, Acad::ErrorStatus& es) {
        return false;
    }
    virtual bool gripStatus(AcDbEntity* ent, AcDb::GripStat status) { return false; }
};
void setEntityGripRouting(EntityGripRouting* routing);
EntityGripRouting* entityGripRouting();

// True when the entity's layer is locked. No open needed.
bool isOnLockedLayer(const AcDbEntity* ent);

}  // namespace kxhost
