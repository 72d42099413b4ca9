// Multiline text. Lines are separated by "\P" or a line feed; the stand-in's font makes every
// character a square cell of the text height, so a box is as wide as the longest line (or the
// given width) and as tall as its lines.
#pragma once

#include "host/entities/entity.h"

class AcDbMText : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbMText);

    // Attachment points: 1 top left .. 3 top right, 4 middle left .. 6, 7 bottom left .. 9.
    enum AttachmentPoint {
        kTopLeft = 1,
        kTopCenter = 2,
        kTopRight = 3,
        kMiddleLeft = 4,
        kMiddleCenter = 5,
        kMiddleRight = 6,
        kBottomLeft = 7,
        kBottomCenter = 8,
        kBottomRight = 9
    };

    AcDbMText();
    ~AcDbMText() override;

    AcGePoint3d location() const;
    Acad::ErrorStatus setLocation(const AcGePoint3d& location);
    AcGeVector3d normal() const;
    // eInvalidInput for zero; the direction is brought back into the new plane.
    Acad::ErrorStatus setNormal(const AcGeVector3d& normal);
    // The unit direction the lines run in (perpendicular to the normal).
    AcGeVector3d direction() const;
    // eInvalidInput for zero or a vector along the normal.
    Acad::ErrorStatus setDirection(const AcGeVector3d& direction);
    // The direction as an angle from the normal's object X axis.
    double rotation() const;
    Acad::ErrorStatus setRotation(double rotation);
    double textHeight() const;
    Acad::ErrorStatus setTextHeight(double height);  // eInvalidInput unless > 0
    // 0 means as wide as the longest line.
    double width() const;
    Acad::ErrorStatus setWidth(double width);  // eInvalidInput when negative
    AttachmentPoint attachment() const;
    Acad::ErrorStatus setAttachment(AttachmentPoint attachment);
    AcString contents() const;
    Acad::ErrorStatus setContents(const ACHAR* contents);

    int numLines() const;
    double actualWidth() const;
    double actualHeight() const;
    // The corners of the text box: top left, top right, bottom right, bottom left.
    void getBoundingPoints(AcGePoint3dArray& corners) const;

    // Transforms that keep the text's axes perpendicular: the box maps onto the image of the old
    // one (a mirroring turns the normal over). eNotApplicable for a shear of the box.
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;
    // Grip and stretch point: the location.
    Acad::ErrorStatus subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                       AcDbIntArray& geomIds) const override;
    Acad::ErrorStatus subMoveGripPointsAt(const AcDbIntArray& indices,
                                          const AcGeVector3d& offset) override;
    // One text primitive per line.
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // Binary: location, normal, direction, height, width, attachment, contents. Text:
    // "AcDbMText", 10, 40, 41, 71, 1, 210, 11.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcStringArray lines() const;
    AcGePoint3d topLeft() const;

    AcGePoint3d m_location;
    AcGeVector3d m_normal{0.0, 0.0, 1.0};
    AcGeVector3d m_direction{1.0, 0.0, 0.0};
    double m_height = 1.0;
    double m_width = 0.0;
    AttachmentPoint m_attachment = kTopLeft;
    AcString m_contents;
};
