// Curves: entities with a start, an end and a nearest point.
#pragma once

#include "host/entities/entity.h"

class AcDbCurve : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbCurve);

    virtual bool isClosed() const { return false; }
    virtual Acad::ErrorStatus getStartPoint(AcGePoint3d& point) const {
        return Acad::eNotApplicable;
    }
    virtual Acad::ErrorStatus getEndPoint(AcGePoint3d& point) const { return Acad::eNotApplicable; }
    // The point of the curve nearest to the given one; with extend, of the curve's unbounded
    // carrier where it has one (the line through a line segment).
    virtual Acad::ErrorStatus getClosestPointTo(const AcGePoint3d& givenPoint,
                                                AcGePoint3d& pointOnCurve,
                                                bool extend = false) const {
        return Acad::eNotApplicable;
    }
};
