// Block references: an insertion of a block's entities under a transform, with the attributes
// the reference owns.
#pragma once

#include <vector>

#include "host/entities/entity.h"
#include "host/ge/scale3d.h"

class AcDbAttribute;
class AcDbBlockReference;
class AcDbObjectIterator;

namespace kxhost {
// The block the reference points at, without opening it.
AcDbObjectId referencedBlock(const AcDbBlockReference* ref);
}  // namespace kxhost

class AcDbBlockReference : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbBlockReference);

    AcDbBlockReference();
    AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId blockTableRecord);
    ~AcDbBlockReference() override;

    AcDbObjectId blockTableRecord() const;
    // Needs write. eNullObjectId for null, eWrongObjectType for an id that is not a block table
    // record, eWrongDatabase for a block of another database than the reference's,
    // eSelfReference for the block the reference itself lives in.
    virtual Acad::ErrorStatus setBlockTableRecord(AcDbObjectId blockTableRecord);
    // The insertion point, in world coordinates.
    AcGePoint3d position() const;
    virtual Acad::ErrorStatus setPosition(const AcGePoint3d& position);
    // eInvalidInput for a zero or non-finite factor.
    AcGeScale3d scaleFactors() const;
    virtual Acad::ErrorStatus setScaleFactors(const AcGeScale3d& scale);
    // About the normal, from the normal's object X axis; kept in [0, 2*pi).
    double rotation() const;
    virtual Acad::ErrorStatus setRotation(double rotation);
    // eInvalidInput for a zero vector; kept unit length.
    AcGeVector3d normal() const;
    virtual Acad::ErrorStatus setNormal(const AcGeVector3d& normal);

    // Block coordinates to world coordinates: translation(position) . planeToWorld(normal) .
    // rotation(about Z) . scaling(scale factors) . translation(-block origin).
    AcGeMatrix3d blockTransform() const;
    AcGeMatrix3d nonAnnotationBlockTransform() const { return blockTransform(); }

    // Attributes. A reference in a database adds the attribute to the database, owned by the
    // reference; it comes back open for write (the caller closes it). A reference outside a
    // database (a drag image) holds it in memory and adds it when it is appended to a block.
    // Needs write; eNullObjectPointer for null, eAlreadyInDb for a resident attribute.
    Acad::ErrorStatus appendAttribute(AcDbAttribute* attribute);
    Acad::ErrorStatus appendAttribute(AcDbObjectId& id, AcDbAttribute* attribute);
    // A walk over the attributes (resident ones by id, ones held in memory by address); the
    // caller deletes it. Null when out of memory.
    AcDbObjectIterator* attributeIterator() const;

    // The new block transform is xform times the old one: position, normal, rotation and scale
    // factors are recomputed so. Translations, rotations, uniform scalings and mirrorings always
    // work (a mirroring shows as a negative scale factor); a transform that cannot be written as
    // a reference's frame answers eNotApplicable and changes nothing. The attributes are
    // transformed along (those that cannot take the transform are left as they are).
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    // The union of the block's entities under the block transform, and the attributes.
    // eInvalidExtents for an empty block.
    Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;
    // Grips: the insertion point (moving it moves the reference and its attributes), then the
    // position of each attribute that is not locked in the block (moving it moves that
    // attribute). Stretch point: the insertion point.
    Acad::ErrorStatus subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                       AcDbIntArray& geomIds) const override;
    Acad::ErrorStatus subMoveGripPointsAt(const AcDbIntArray& indices,
                                          const AcGeVector3d& offset) override;
    Acad::ErrorStatus subGetStretchPoints(AcGePoint3dArray& stretchPoints) const override;
    Acad::ErrorStatus subMoveStretchPointsAt(const AcDbIntArray& indices,
                                             const AcGeVector3d& offset) override;
    // Pushes the block transform, draws the block's visible entities (attribute definitions only
    // when constant, and then by the attribute display mode), pops it, then draws the
    // attributes. A block that holds a reference to itself is not drawn again inside itself.
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // A copy outside the database with the same block, frame and extended data, holding copies
    // of the attributes in memory (the drag image of grip editing).
    AcRxObject* clone() const override;
    // The attributes are erased and unerased with the reference.
    Acad::ErrorStatus subErase(Adesk::Boolean erasing) override;

    // Binary: block (hard pointer), position, scale factors, rotation, normal, then the
    // attributes as hard ownership ids (files and clones leave erased ones out; a copy files
    // none and keeps its own). Text: "AcDbBlockReference", 66 attributes follow, 2 block name, 10,
    // 41, 42, 43, 50, 210, 360 per attribute.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    // The transforms the block is drawn under: one for a reference, one per cell of a
    // multi-insert.
    virtual void drawTransforms(std::vector<AcGeMatrix3d>& transforms) const;
    // Called by transformBy with the old and new scale factors, before they are stored.
    virtual void frameScaled(const AcGeScale3d& oldScale, const AcGeScale3d& newScale) {}
    Acad::ErrorStatus subAppendedToBlock() override;

  private:
    friend AcDbObjectId kxhost::referencedBlock(const AcDbBlockReference* ref);
    struct AttributeRef {
        AcDbObjectId id;
        AcDbAttribute* held = nullptr;
    };
    std::vector<AttributeRef> attributes() const;
    std::vector<AttributeRef> gripAttributes() const;
    // Moves the reference and its attributes.
    void translate(const AcGeVector3d& offset);
    void transformAttributes(const AcGeMatrix3d& xform);

    AcDbObjectId m_block;
    AcGePoint3d m_position;
    AcGeScale3d m_scale;
    double m_rotation = 0.0;
    AcGeVector3d m_normal{0.0, 0.0, 1.0};
    AcDbObjectIdArray m_attributes;
    std::vector<AcDbAttribute*> m_held;  // owned; only while the reference is not resident
};
