#pragma once

#include <algorithm>
#include <cmath>

#include "host/ge/matrix3d.h"
#include "host/ge/tol.h"

// Per-axis scale factors.
class AcGeScale3d {
  public:
    double sx = 1.0;
    double sy = 1.0;
    double sz = 1.0;

    constexpr AcGeScale3d() = default;
    constexpr explicit AcGeScale3d(double factor) : sx(factor), sy(factor), sz(factor) {}
    constexpr AcGeScale3d(double x, double y, double z) : sx(x), sy(y), sz(z) {}

    static const AcGeScale3d kIdentity;

    AcGeScale3d& set(double x, double y, double z) {
        sx = x;
        sy = y;
        sz = z;
        return *this;
    }

    AcGeScale3d operator*(const AcGeScale3d& s) const { return {sx * s.sx, sy * s.sy, sz * s.sz}; }
    AcGeScale3d operator*(double f) const { return {sx * f, sy * f, sz * f}; }
    AcGeScale3d& operator*=(const AcGeScale3d& s) { return set(sx * s.sx, sy * s.sy, sz * s.sz); }
    AcGeScale3d& operator*=(double f) { return set(sx * f, sy * f, sz * f); }

    // All three factors equal (same sign included), compared relative to the
    // largest magnitude.
    bool isProportional(const AcGeTol& tol = AcGeContext::gTol) const {
        const double big = std::max({std::fabs(sx), std::fabs(sy), std::fabs(sz)});
        const double eps = tol.equalVector() * (big > 1.0 ? big : 1.0);
        return std::fabs(sx - sy) <= eps && std::fabs(sy - sz) <= eps && std::fabs(sx - sz) <= eps;
    }

    bool isEqualTo(const AcGeScale3d& s, const AcGeTol& tol = AcGeContext::gTol) const {
        const double eps = tol.equalVector();
        return std::fabs(sx - s.sx) <= eps && std::fabs(sy - s.sy) <= eps &&
               std::fabs(sz - s.sz) <= eps;
    }
    bool operator==(const AcGeScale3d& s) const { return isEqualTo(s); }
    bool operator!=(const AcGeScale3d& s) const { return !isEqualTo(s); }

    double operator[](int i) const { return i == 0 ? sx : (i == 1 ? sy : sz); }
    double& operator[](int i) { return i == 0 ? sx : (i == 1 ? sy : sz); }

    // Scaling about the origin.
    AcGeMatrix3d& getMatrix(AcGeMatrix3d& m) const { return m.setToScaling(*this); }
};

inline AcGeScale3d operator*(double f, const AcGeScale3d& s) {
    return s * f;
}
