#pragma once

#include "host/ge/point3d.h"
#include "host/ge/tol.h"
#include "host/ge/vector3d.h"

class AcGeMatrix3d;

class AcGeCurve3d {
  public:
    virtual ~AcGeCurve3d() = default;

    virtual AcGePoint3d closestPointTo(const AcGePoint3d& pt,
                                       const AcGeTol& tol = AcGeContext::gTol) const = 0;
    // On the curve when the closest point is within tol.equalPoint().
    virtual bool isOn(const AcGePoint3d& pt, const AcGeTol& tol = AcGeContext::gTol) const;

  protected:
    AcGeCurve3d() = default;
    AcGeCurve3d(const AcGeCurve3d&) = default;
    AcGeCurve3d& operator=(const AcGeCurve3d&) = default;
};

// A straight carrier through a point with a unit direction. The base answers
// for the unbounded line; bounded kinds override closestPointTo/isOn.
class AcGeLinearEnt3d : public AcGeCurve3d {
  public:
    AcGePoint3d pointOnLine() const { return mPoint; }
    // Unit length, or zero for a degenerate entity.
    AcGeVector3d direction() const { return mDir; }

    AcGePoint3d closestPointTo(const AcGePoint3d& pt,
                               const AcGeTol& tol = AcGeContext::gTol) const override;

    bool isParallelTo(const AcGeLinearEnt3d& other, const AcGeTol& tol = AcGeContext::gTol) const;
    // Intersection point of the two entities (respecting bounds). False for
    // parallel or skew carriers, or when the crossing lies outside a bound.
    bool intersectWith(const AcGeLinearEnt3d& other, AcGePoint3d& result,
                       const AcGeTol& tol = AcGeContext::gTol) const;

  protected:
    AcGeLinearEnt3d() = default;
    AcGeLinearEnt3d(const AcGePoint3d& point, const AcGeVector3d& direction);

    AcGePoint3d mPoint;
    AcGeVector3d mDir{1.0, 0.0, 0.0};
};

// Unbounded line.
class AcGeLine3d : public AcGeLinearEnt3d {
  public:
    AcGeLine3d() = default;  // the X axis
    AcGeLine3d(const AcGePoint3d& point, const AcGeVector3d& direction);
    AcGeLine3d(const AcGePoint3d& p1, const AcGePoint3d& p2);

    AcGeLine3d& set(const AcGePoint3d& point, const AcGeVector3d& direction);
    AcGeLine3d& set(const AcGePoint3d& p1, const AcGePoint3d& p2);
    AcGeLine3d& transformBy(const AcGeMatrix3d& m);
};

class AcGeLineSeg3d : public AcGeLinearEnt3d {
  public:
    AcGeLineSeg3d();  // (0,0,0) to (1,0,0)
    AcGeLineSeg3d(const AcGePoint3d& start, const AcGePoint3d& end);

    AcGeLineSeg3d& set(const AcGePoint3d& start, const AcGePoint3d& end);
    AcGeLineSeg3d& transformBy(const AcGeMatrix3d& m);

    AcGePoint3d startPoint() const { return mPoint; }
    AcGePoint3d endPoint() const { return mEnd; }
    AcGePoint3d midPoint() const;
    double length() const { return mPoint.distanceTo(mEnd); }

    // Clamped to the segment.
    AcGePoint3d closestPointTo(const AcGePoint3d& pt,
                               const AcGeTol& tol = AcGeContext::gTol) const override;

  private:
    AcGePoint3d mEnd{1.0, 0.0, 0.0};
};

// Circular arc: center + r * (cos(a) * ref + sin(a) * (normal x ref)) for a
// running counter-clockwise about the normal from startAng to endAng. The
// normal and reference vector are kept unit length and perpendicular; the
// angles are stored with startAng <= endAng <= startAng + 2*pi.
class AcGeCircArc3d : public AcGeCurve3d {
  public:
    AcGeCircArc3d();  // unit circle in the XY plane
    AcGeCircArc3d(const AcGePoint3d& center, const AcGeVector3d& normal,
                  double radius);  // full circle
    AcGeCircArc3d(const AcGePoint3d& center, const AcGeVector3d& normal, const AcGeVector3d& refVec,
                  double radius, double startAng, double endAng);
    // See set(p1, p2, p3).
    AcGeCircArc3d(const AcGePoint3d& p1, const AcGePoint3d& p2, const AcGePoint3d& p3);

    // A reference vector parallel to the normal is replaced by
    // normal.perpVector().
    AcGeCircArc3d& set(const AcGePoint3d& center, const AcGeVector3d& normal,
                       const AcGeVector3d& refVec, double radius, double startAng, double endAng);
    AcGeCircArc3d& set(const AcGePoint3d& center, const AcGeVector3d& normal, double radius);
    // The arc that starts at p1, passes through p2 and ends at p3 (the normal
    // follows p1 -> p2 -> p3, the reference vector points at p1, startAng = 0).
    // Collinear or coincident points give false and leave a degenerate arc of
    // radius 0 at p1.
    bool set(const AcGePoint3d& p1, const AcGePoint3d& p2, const AcGePoint3d& p3);

    AcGeCircArc3d& setCenter(const AcGePoint3d& center);
    AcGeCircArc3d& setRadius(double radius);
    AcGeCircArc3d& setAngles(double startAng, double endAng);
    AcGeCircArc3d& setAxes(const AcGeVector3d& normal, const AcGeVector3d& refVec);

    AcGePoint3d center() const { return mCenter; }
    AcGeVector3d normal() const { return mNormal; }
    AcGeVector3d refVec() const { return mRef; }
    double radius() const { return mRadius; }
    double startAng() const { return mStart; }
    double endAng() const { return mEnd; }
    double sweep() const { return mEnd - mStart; }
    double length() const { return mRadius * sweep(); }
    bool isClosed(const AcGeTol& tol = AcGeContext::gTol) const;

    // Point at the given angle (measured like startAng/endAng).
    AcGePoint3d evalPoint(double angle) const;
    AcGePoint3d startPoint() const { return evalPoint(mStart); }
    AcGePoint3d endPoint() const { return evalPoint(mEnd); }

    AcGePoint3d closestPointTo(const AcGePoint3d& pt,
                               const AcGeTol& tol = AcGeContext::gTol) const override;

    // Unit tangent, pointing the way the angle grows, at the arc point closest
    // to pt. Zero for a zero radius.
    AcGeVector3d tangent(const AcGePoint3d& pt) const;
    // Tangent line at pt; false (line untouched) when pt is not on the arc.
    bool tangent(const AcGePoint3d& pt, AcGeLine3d& line,
                 const AcGeTol& tol = AcGeContext::gTol) const;

    // Only similarity transforms keep an arc circular: for any other matrix
    // (see AcGeMatrix3d::isUniScaledOrtho) this returns false and leaves the arc
    // unchanged. Mirroring keeps the angles and flips the normal.
    bool transformBy(const AcGeMatrix3d& m);

  private:
    AcGePoint3d mCenter;
    AcGeVector3d mNormal{0.0, 0.0, 1.0};
    AcGeVector3d mRef{1.0, 0.0, 0.0};
    double mRadius = 1.0;
    double mStart = 0.0;
    double mEnd = 6.283185307179586476925286766559;
};
