// Single-line text. The stand-in draws with a font whose characters are cells of height x
// (height * width factor), which is also what the extents report.
#pragma once

#include "host/entities/entity.h"

class AcDbText : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbText);

    AcDbText();
    AcDbText(const AcGePoint3d& position, const ACHAR* text,
             AcDbObjectId style = AcDbObjectId::kNull, double height = 0.0, double rotation = 0.0);
    ~AcDbText() override;

    // Points are in world coordinates; the rotation is measured in the plane of the normal from
    // its object X axis.
    AcGePoint3d position() const;
    Acad::ErrorStatus setPosition(const AcGePoint3d& position);
    AcGePoint3d alignmentPoint() const;
    Acad::ErrorStatus setAlignmentPoint(const AcGePoint3d& point);
    AcGeVector3d normal() const;
    Acad::ErrorStatus setNormal(const AcGeVector3d& normal);  // eInvalidInput for zero
    double thickness() const;
    Acad::ErrorStatus setThickness(double thickness);
    double height() const;
    Acad::ErrorStatus setHeight(double height);  // eInvalidInput unless > 0
    double rotation() const;
    Acad::ErrorStatus setRotation(double rotation);  // kept in [0, 2*pi)
    double widthFactor() const;
    Acad::ErrorStatus setWidthFactor(double factor);  // eInvalidInput unless > 0
    double oblique() const;
    Acad::ErrorStatus setOblique(double angle);
    AcString textString() const;
    const ACHAR* textStringConst() const;
    Acad::ErrorStatus setTextString(const ACHAR* text);
    // Backwards (mirrored in X) and upside down (mirrored in Y).
    bool isMirroredInX() const;
    Acad::ErrorStatus mirrorInX(bool mirrored);
    bool isMirroredInY() const;
    Acad::ErrorStatus mirrorInY(bool mirrored);
    // Justification codes as in drawing files: horizontal 0..5, vertical 0..3 (eInvalidInput
    // otherwise). The stand-in keeps them but lays text out from the position.
    int horizontalMode() const;
    Acad::ErrorStatus setHorizontalMode(int mode);
    int verticalMode() const;
    Acad::ErrorStatus setVerticalMode(int mode);

    // Transforms that keep the text's axes perpendicular (similarities, and scalings along the
    // text's own axes): the baseline follows the image of the old one, height and width factor
    // follow the scaling, and a mirroring turns the text upside down (mirrored in Y) about its
    // kept normal. eNotApplicable for a shear of the text's frame.
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;
    // Grip and stretch point: the position; moving it moves the text (alignment point along).
    Acad::ErrorStatus subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                       AcDbIntArray& geomIds) const override;
    Acad::ErrorStatus subMoveGripPointsAt(const AcDbIntArray& indices,
                                          const AcGeVector3d& offset) override;
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // The corners of the text's box: position, along the baseline, opposite, above position.
    void getBoundingPoints(AcGePoint3dArray& corners) const;

    // Binary: points, normal, thickness, height, rotation, width, oblique, string, mirror flags,
    // modes. Text: "AcDbText", 39, 10, 40, 1, 50, 41, 51, 71 (2 backwards, 4 upside down), 72,
    // 11, 210, 73.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    // Draws the string with the text's frame (attributes draw their value, definitions their
    // tag).
    void drawString(AcGiWorldDraw* wd, const ACHAR* text) const;
    // Takes every text field of the other text (the caller checked write).
    void copyTextFieldsFrom(const AcDbText& other) { m = other.m; }

  private:
    struct Fields {
        AcGePoint3d position;
        AcGePoint3d alignment;
        AcGeVector3d normal{0.0, 0.0, 1.0};
        double thickness = 0.0;
        double height = 1.0;
        double rotation = 0.0;
        double widthFactor = 1.0;
        double oblique = 0.0;
        AcString text;
        bool mirroredX = false;
        bool mirroredY = false;
        int hmode = 0;
        int vmode = 0;
    };
    Fields m;
    AcGeVector3d baseline() const;  // unit direction the characters run in
    AcGeVector3d upward() const;    // unit direction from baseline to cap line
};
