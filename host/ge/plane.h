#pragma once

#include "host/ge/point3d.h"
#include "host/ge/tol.h"
#include "host/ge/vector3d.h"

class AcGeLinearEnt3d;

// A planar surface parametrised as origin + s * u + t * v. The normal is
// u x v normalised (unit length unless the plane was built degenerate).
class AcGePlanarEnt {
  public:
    AcGePoint3d pointOnPlane() const { return mOrigin; }
    AcGeVector3d normal() const { return mNormal; }
    void getCoordSystem(AcGePoint3d& origin, AcGeVector3d& uAxis, AcGeVector3d& vAxis) const {
        origin = mOrigin;
        uAxis = mU;
        vAxis = mV;
    }

    bool isOn(const AcGePoint3d& pt, const AcGeTol& tol = AcGeContext::gTol) const;
    AcGePoint3d closestPointTo(const AcGePoint3d& pt) const;

  protected:
    constexpr AcGePlanarEnt(const AcGePoint3d& origin, const AcGeVector3d& uAxis,
                            const AcGeVector3d& vAxis, const AcGeVector3d& unitNormal)
        : mOrigin(origin), mU(uAxis), mV(vAxis), mNormal(unitNormal) {}

    AcGePoint3d mOrigin;
    AcGeVector3d mU;
    AcGeVector3d mV;
    AcGeVector3d mNormal;
};

class AcGePlane : public AcGePlanarEnt {
  public:
    // The XY plane.
    constexpr AcGePlane()
        : AcGePlanarEnt(AcGePoint3d(0.0, 0.0, 0.0), AcGeVector3d(1.0, 0.0, 0.0),
                        AcGeVector3d(0.0, 1.0, 0.0), AcGeVector3d(0.0, 0.0, 1.0)) {}
    // The normal is normalised; u and v are unit vectors derived from it with
    // the arbitrary-axis rule (see AcGeMatrix3d::planeToWorld). A zero normal
    // gives a degenerate plane whose axes are all zero.
    AcGePlane(const AcGePoint3d& origin, const AcGeVector3d& normal);
    // u and v are kept as given (they define the parametrisation); the normal
    // is u x v normalised.
    AcGePlane(const AcGePoint3d& origin, const AcGeVector3d& uAxis, const AcGeVector3d& vAxis);

    static const AcGePlane kXYPlane;
    static const AcGePlane kYZPlane;  // u = Y, v = Z, normal = X
    static const AcGePlane kZXPlane;  // u = Z, v = X, normal = Y

    AcGePlane& set(const AcGePoint3d& origin, const AcGeVector3d& normal);
    AcGePlane& set(const AcGePoint3d& origin, const AcGeVector3d& uAxis, const AcGeVector3d& vAxis);

    // Positive on the side the normal points to.
    double signedDistanceTo(const AcGePoint3d& pt) const;
    double distanceTo(const AcGePoint3d& pt) const;
    // Coefficients of a*x + b*y + c*z + d = 0 with (a, b, c) the unit normal.
    void getCoefficients(double& a, double& b, double& c, double& d) const;

    // False when the line is parallel to the plane (also when it lies in it)
    // or when the crossing point falls outside a bounded linear entity.
    bool intersectWith(const AcGeLinearEnt3d& line, AcGePoint3d& result,
                       const AcGeTol& tol = AcGeContext::gTol) const;

  private:
    constexpr AcGePlane(const AcGePoint3d& origin, const AcGeVector3d& uAxis,
                        const AcGeVector3d& vAxis, const AcGeVector3d& unitNormal)
        : AcGePlanarEnt(origin, uAxis, vAxis, unitNormal) {}
};
