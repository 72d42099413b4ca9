// Circular arcs: counter-clockwise about their normal from the start angle to the end angle
// (angles in the plane of the normal, from its object X axis). Equal angles make a full turn.
#pragma once

#include "host/entities/curve.h"

class AcDbArc : public AcDbCurve {
  public:
    ACRX_DECLARE_MEMBERS(AcDbArc);

    AcDbArc();
    AcDbArc(const AcGePoint3d& center, double radius, double startAngle, double endAngle);
    AcDbArc(const AcGePoint3d& center, const AcGeVector3d& normal, double radius, double startAngle,
            double endAngle);
    ~AcDbArc() override;

    AcGePoint3d center() const;
    Acad::ErrorStatus setCenter(const AcGePoint3d& center);
    double radius() const;
    Acad::ErrorStatus setRadius(double radius);  // eInvalidInput unless > 0
    AcGeVector3d normal() const;
    Acad::ErrorStatus setNormal(const AcGeVector3d& normal);  // eInvalidInput for zero
    double thickness() const;
    Acad::ErrorStatus setThickness(double thickness);
    // Kept in [0, 2*pi).
    double startAngle() const;
    Acad::ErrorStatus setStartAngle(double angle);
    double endAngle() const;
    Acad::ErrorStatus setEndAngle(double angle);
    // The angle the arc runs through, in (0, 2*pi].
    double totalAngle() const;

    Acad::ErrorStatus getStartPoint(AcGePoint3d& point) const override;
    Acad::ErrorStatus getEndPoint(AcGePoint3d& point) const override;
    Acad::ErrorStatus getClosestPointTo(const AcGePoint3d& givenPoint, AcGePoint3d& pointOnCurve,
                                        bool extend = false) const override;

    // Similarities only (eNotApplicable otherwise). Under a mirroring the arc keeps the image of
    // its normal and its sense reverses: it now starts at the image of its old end point.
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;
    // Grips: start, end, midpoint, centre. The centre moves the arc; the others give the arc
    // through the three (moved) points. Stretch points: start and end; moving one keeps the
    // included angle (the arc is rebuilt on its new chord), moving both moves the arc.
    // Offsets are taken in the arc's plane.
    Acad::ErrorStatus subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                       AcDbIntArray& geomIds) const override;
    Acad::ErrorStatus subMoveGripPointsAt(const AcDbIntArray& indices,
                                          const AcGeVector3d& offset) override;
    Acad::ErrorStatus subGetStretchPoints(AcGePoint3dArray& stretchPoints) const override;
    Acad::ErrorStatus subMoveStretchPointsAt(const AcDbIntArray& indices,
                                             const AcGeVector3d& offset) override;
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // Binary: centre, radius, normal, thickness, start and end angle. Text: "AcDbCircle", 39, 10,
    // 40, 210, then "AcDbArc", 50, 51.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcGePoint3d pointAt(double angle) const;
    // Sets the arc to the given centre, radius and angles in one go (after beginModify).
    void store(const AcGePoint3d& center, double radius, double startAngle, double endAngle);

    AcGePoint3d m_center;
    double m_radius = 1.0;
    AcGeVector3d m_normal{0.0, 0.0, 1.0};
    double m_thickness = 0.0;
    double m_start = 0.0;
    double m_end = 0.0;
};
