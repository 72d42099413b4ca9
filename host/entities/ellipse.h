// Ellipses and elliptical arcs: center + cos(t) * majorAxis + sin(t) * minorAxis for the
// parameter t from the start to the end parameter (equal parameters make the whole ellipse),
// where minorAxis = radiusRatio * (normal x majorAxis).
#pragma once

#include "host/entities/curve.h"

class AcDbEllipse : public AcDbCurve {
  public:
    ACRX_DECLARE_MEMBERS(AcDbEllipse);

    AcDbEllipse();
    // The major axis must be perpendicular to the normal and the ratio in (0, 1]; otherwise the
    // ellipse keeps its defaults (see set()).
    AcDbEllipse(const AcGePoint3d& center, const AcGeVector3d& normal,
                const AcGeVector3d& majorAxis, double radiusRatio, double startParam = 0.0,
                double endParam = 0.0);
    ~AcDbEllipse() override;

    // eInvalidInput for a zero normal or major axis, a major axis not perpendicular to the normal,
    // or a ratio outside (0, 1]. Needs write.
    Acad::ErrorStatus set(const AcGePoint3d& center, const AcGeVector3d& normal,
                          const AcGeVector3d& majorAxis, double radiusRatio,
                          double startParam = 0.0, double endParam = 0.0);
    AcGePoint3d center() const;
    Acad::ErrorStatus setCenter(const AcGePoint3d& center);
    AcGeVector3d normal() const;
    AcGeVector3d majorAxis() const;
    AcGeVector3d minorAxis() const;
    double radiusRatio() const;
    Acad::ErrorStatus setRadiusRatio(double ratio);
    // Parameters, kept in [0, 2*pi).
    double startParam() const;
    Acad::ErrorStatus setStartParam(double param);
    double endParam() const;
    Acad::ErrorStatus setEndParam(double param);
    AcGePoint3d pointAtParam(double param) const;

    bool isClosed() const override;
    Acad::ErrorStatus getStartPoint(AcGePoint3d& point) const override;
    Acad::ErrorStatus getEndPoint(AcGePoint3d& point) const override;

    // Similarities only (eNotApplicable otherwise). A mirroring reverses the parameter sense: the
    // arc [s, e] becomes [-e, -s].
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;
    // Grips: centre (moves the ellipse), the ends of the major axis and of the minor axis (each
    // sets that semi-axis to its new distance from the centre; eNotApplicable when the minor
    // one would become the longer). Stretch point: the centre.
    Acad::ErrorStatus subGetGripPoints(AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                       AcDbIntArray& geomIds) const override;
    Acad::ErrorStatus subMoveGripPointsAt(const AcDbIntArray& indices,
                                          const AcGeVector3d& offset) override;
    Acad::ErrorStatus subGetStretchPoints(AcGePoint3dArray& stretchPoints) const override;
    Acad::ErrorStatus subMoveStretchPointsAt(const AcDbIntArray& indices,
                                             const AcGeVector3d& offset) override;
    // Drawn as a polyline of 64 segments per full turn.
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // Binary: centre, major axis, normal, ratio, start and end parameter. Text: "AcDbEllipse", 10,
    // 11, 210, 40, 41, 42.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    double sweep() const;

    AcGePoint3d m_center;
    AcGeVector3d m_normal{0.0, 0.0, 1.0};
    AcGeVector3d m_major{1.0, 0.0, 0.0};
    double m_ratio = 1.0;
    double m_start = 0.0;
    double m_end = 0.0;
};
