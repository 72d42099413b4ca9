#pragma once

#include <cmath>

#include "host/ge/tol.h"

class AcGeVector2d {
  public:
    double x = 0.0;
    double y = 0.0;

    constexpr AcGeVector2d() = default;
    constexpr AcGeVector2d(double xx, double yy) : x(xx), y(yy) {}

    static const AcGeVector2d kIdentity;  // the zero vector
    static const AcGeVector2d kXAxis;
    static const AcGeVector2d kYAxis;

    AcGeVector2d& set(double xx, double yy) {
        x = xx;
        y = yy;
        return *this;
    }

    AcGeVector2d operator+(const AcGeVector2d& v) const { return {x + v.x, y + v.y}; }
    AcGeVector2d operator-(const AcGeVector2d& v) const { return {x - v.x, y - v.y}; }
    AcGeVector2d operator-() const { return {-x, -y}; }
    AcGeVector2d operator*(double s) const { return {x * s, y * s}; }
    AcGeVector2d operator/(double s) const { return {x / s, y / s}; }
    AcGeVector2d& operator+=(const AcGeVector2d& v) { return set(x + v.x, y + v.y); }
    AcGeVector2d& operator-=(const AcGeVector2d& v) { return set(x - v.x, y - v.y); }
    AcGeVector2d& operator*=(double s) { return set(x * s, y * s); }
    AcGeVector2d& operator/=(double s) { return set(x / s, y / s); }

    double length() const { return std::hypot(x, y); }
    double lengthSqrd() const { return x * x + y * y; }
    double dotProduct(const AcGeVector2d& v) const { return x * v.x + y * v.y; }

    // Angle from +X, counter-clockwise, in [0, 2*pi). The zero vector gives 0.
    double angle() const {
        const double twoPi = 6.283185307179586476925286766559;
        double a = std::atan2(y, x);
        if (a < 0.0) {
            a += twoPi;
        }
        if (a >= twoPi) {
            a -= twoPi;
        }
        return a + 0.0;  // folds -0.0 into +0.0
    }

    bool isZeroLength(const AcGeTol& tol = AcGeContext::gTol) const {
        return length() <= tol.equalVector();
    }

    // Vectors not longer than the tolerance are left as they are, so a zero
    // vector stays zero rather than turning into NaNs.
    AcGeVector2d normal(const AcGeTol& tol = AcGeContext::gTol) const {
        const double len = length();
        return len <= tol.equalVector() ? *this : AcGeVector2d(x / len, y / len);
    }
    AcGeVector2d& normalize(const AcGeTol& tol = AcGeContext::gTol) { return *this = normal(tol); }

    bool isEqualTo(const AcGeVector2d& v, const AcGeTol& tol = AcGeContext::gTol) const {
        return (*this - v).length() <= tol.equalVector();
    }
    bool operator==(const AcGeVector2d& v) const { return isEqualTo(v); }
    bool operator!=(const AcGeVector2d& v) const { return !isEqualTo(v); }

    double operator[](int i) const { return i == 0 ? x : y; }
    double& operator[](int i) { return i == 0 ? x : y; }
};

inline AcGeVector2d operator*(double s, const AcGeVector2d& v) {
    return v * s;
}
