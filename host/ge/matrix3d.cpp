#include "host/ge/matrix3d.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "host/ge/curves.h"
#include "host/ge/plane.h"
#include "host/ge/scale3d.h"

const AcGeMatrix3d AcGeMatrix3d::kIdentity;

namespace {

AcGeVector3d column(const AcGeMatrix3d& m, int c) {
    return {m.entry[0][c], m.entry[1][c], m.entry[2][c]};
}

// Writes a 3x3 linear part and a translation; the last row becomes (0,0,0,1).
void setAffine(AcGeMatrix3d& m, const double lin[3][3], const AcGeVector3d& t) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            m.entry[r][c] = lin[r][c];
        }
        m.entry[3][r] = 0.0;
    }
    m.entry[0][3] = t.x;
    m.entry[1][3] = t.y;
    m.entry[2][3] = t.z;
    m.entry[3][3] = 1.0;
}

// Translation that keeps center fixed under the linear part lin.
AcGeVector3d fixedPointTranslation(const double lin[3][3], const AcGePoint3d& center) {
    const double c[3] = {center.x, center.y, center.z};
    double t[3];
    for (int r = 0; r < 3; ++r) {
        t[r] = c[r] - (lin[r][0] * c[0] + lin[r][1] * c[1] + lin[r][2] * c[2]);
    }
    return {t[0], t[1], t[2]};
}

}  // namespace

AcGeMatrix3d& AcGeMatrix3d::setToIdentity() {
    return *this = AcGeMatrix3d();
}

AcGeMatrix3d& AcGeMatrix3d::setToTranslation(const AcGeVector3d& v) {
    setToIdentity();
    entry[0][3] = v.x;
    entry[1][3] = v.y;
    entry[2][3] = v.z;
    return *this;
}

AcGeMatrix3d AcGeMatrix3d::translation(const AcGeVector3d& v) {
    return AcGeMatrix3d().setToTranslation(v);
}

AcGeVector3d AcGeMatrix3d::translation() const {
    return {entry[0][3], entry[1][3], entry[2][3]};
}

AcGeMatrix3d& AcGeMatrix3d::setToRotation(double angle, const AcGeVector3d& axis,
                                          const AcGePoint3d& center) {
    const double len = axis.length();
    if (len == 0.0) {
        return setToIdentity();
    }
    const AcGeVector3d k = axis / len;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double t = 1.0 - c;
    const double lin[3][3] = {
        {c + k.x * k.x * t, k.x * k.y * t - k.z * s, k.x * k.z * t + k.y * s},
        {k.y * k.x * t + k.z * s, c + k.y * k.y * t, k.y * k.z * t - k.x * s},
        {k.z * k.x * t - k.y * s, k.z * k.y * t + k.x * s, c + k.z * k.z * t},
    };
    setAffine(*this, lin, fixedPointTranslation(lin, center));
    return *this;
}

AcGeMatrix3d AcGeMatrix3d::rotation(double angle, const AcGeVector3d& axis,
                                    const AcGePoint3d& center) {
    return AcGeMatrix3d().setToRotation(angle, axis, center);
}

AcGeMatrix3d& AcGeMatrix3d::setToScaling(double factor, const AcGePoint3d& center) {
    return setToScaling(AcGeScale3d(factor), center);
}

AcGeMatrix3d& AcGeMatrix3d::setToScaling(const AcGeScale3d& factors, const AcGePoint3d& center) {
    const double lin[3][3] = {
        {factors.sx, 0.0, 0.0}, {0.0, factors.sy, 0.0}, {0.0, 0.0, factors.sz}};
    setAffine(*this, lin, fixedPointTranslation(lin, center));
    return *this;
}

AcGeMatrix3d AcGeMatrix3d::scaling(double factor, const AcGePoint3d& center) {
    return AcGeMatrix3d().setToScaling(factor, center);
}

AcGeMatrix3d AcGeMatrix3d::scaling(const AcGeScale3d& factors, const AcGePoint3d& center) {
    return AcGeMatrix3d().setToScaling(factors, center);
}

AcGeMatrix3d& AcGeMatrix3d::setToMirroring(const AcGePlane& plane) {
    // I - 2 n n^T about a plane through the origin, then shifted so that the
    // plane's own points stay put.
    const AcGeVector3d n = plane.normal();
    const double nv[3] = {n.x, n.y, n.z};
    double lin[3][3];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            lin[r][c] = (r == c ? 1.0 : 0.0) - 2.0 * nv[r] * nv[c];
        }
    }
    setAffine(*this, lin, fixedPointTranslation(lin, plane.pointOnPlane()));
    return *this;
}

AcGeMatrix3d& AcGeMatrix3d::setToMirroring(const AcGePoint3d& center) {
    const double lin[3][3] = {{-1.0, 0.0, 0.0}, {0.0, -1.0, 0.0}, {0.0, 0.0, -1.0}};
    setAffine(*this, lin, fixedPointTranslation(lin, center));
    return *this;
}

AcGeMatrix3d& AcGeMatrix3d::setToMirroring(const AcGeLine3d& line) {
    // Half-turn about the line: 2 d d^T - I.
    const AcGeVector3d d = line.direction();
    const double dv[3] = {d.x, d.y, d.z};
    double lin[3][3];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            lin[r][c] = 2.0 * dv[r] * dv[c] - (r == c ? 1.0 : 0.0);
        }
    }
    setAffine(*this, lin, fixedPointTranslation(lin, line.pointOnLine()));
    return *this;
}

AcGeMatrix3d AcGeMatrix3d::mirroring(const AcGePlane& plane) {
    return AcGeMatrix3d().setToMirroring(plane);
}
AcGeMatrix3d AcGeMatrix3d::mirroring(const AcGePoint3d& center) {
    return AcGeMatrix3d().setToMirroring(center);
}
AcGeMatrix3d AcGeMatrix3d::mirroring(const AcGeLine3d& line) {
    return AcGeMatrix3d().setToMirroring(line);
}

AcGeMatrix3d& AcGeMatrix3d::setToAlignCoordSys(
    const AcGePoint3d& fromOrigin, const AcGeVector3d& fromXAxis, const AcGeVector3d& fromYAxis,
    const AcGeVector3d& fromZAxis, const AcGePoint3d& toOrigin, const AcGeVector3d& toXAxis,
    const AcGeVector3d& toYAxis, const AcGeVector3d& toZAxis) {
    AcGeMatrix3d from;
    from.setCoordSystem(fromOrigin, fromXAxis, fromYAxis, fromZAxis);
    AcGeMatrix3d fromInv;
    if (!from.inverse(fromInv)) {
        return setToIdentity();
    }
    AcGeMatrix3d to;
    to.setCoordSystem(toOrigin, toXAxis, toYAxis, toZAxis);
    return setToProduct(to, fromInv);
}

AcGeMatrix3d AcGeMatrix3d::alignCoordSys(const AcGePoint3d& fromOrigin,
                                         const AcGeVector3d& fromXAxis,
                                         const AcGeVector3d& fromYAxis,
                                         const AcGeVector3d& fromZAxis, const AcGePoint3d& toOrigin,
                                         const AcGeVector3d& toXAxis, const AcGeVector3d& toYAxis,
                                         const AcGeVector3d& toZAxis) {
    return AcGeMatrix3d().setToAlignCoordSys(fromOrigin, fromXAxis, fromYAxis, fromZAxis, toOrigin,
                                             toXAxis, toYAxis, toZAxis);
}

AcGeMatrix3d& AcGeMatrix3d::setCoordSystem(const AcGePoint3d& origin, const AcGeVector3d& xAxis,
                                           const AcGeVector3d& yAxis, const AcGeVector3d& zAxis) {
    const double lin[3][3] = {
        {xAxis.x, yAxis.x, zAxis.x},
        {xAxis.y, yAxis.y, zAxis.y},
        {xAxis.z, yAxis.z, zAxis.z},
    };
    setAffine(*this, lin, origin.asVector());
    return *this;
}

void AcGeMatrix3d::getCoordSystem(AcGePoint3d& origin, AcGeVector3d& xAxis, AcGeVector3d& yAxis,
                                  AcGeVector3d& zAxis) const {
    origin.set(entry[0][3], entry[1][3], entry[2][3]);
    xAxis = column(*this, 0);
    yAxis = column(*this, 1);
    zAxis = column(*this, 2);
}

AcGeMatrix3d AcGeMatrix3d::planeToWorld(const AcGeVector3d& normal) {
    const double len = normal.length();
    if (len == 0.0) {
        return AcGeMatrix3d();
    }
    const AcGeVector3d n = normal / len;
    const AcGeVector3d xAxis = n.perpVector();  // the arbitrary-axis rule lives there
    const AcGeVector3d yAxis = n.crossProduct(xAxis).normal();
    AcGeMatrix3d m;
    return m.setCoordSystem(AcGePoint3d::kOrigin, xAxis, yAxis, n);
}

AcGeMatrix3d AcGeMatrix3d::planeToWorld(const AcGePlane& plane) {
    AcGePoint3d origin;
    AcGeVector3d u;
    AcGeVector3d v;
    plane.getCoordSystem(origin, u, v);
    AcGeMatrix3d m;
    return m.setCoordSystem(origin, u, v, plane.normal());
}

AcGeMatrix3d AcGeMatrix3d::worldToPlane(const AcGeVector3d& normal) {
    // Orthonormal frame without translation: the inverse is the transpose.
    return planeToWorld(normal).transposeIt();
}

AcGeMatrix3d AcGeMatrix3d::worldToPlane(const AcGePlane& plane) {
    return planeToWorld(plane).inverse();
}

bool AcGeMatrix3d::isAffine() const {
    return entry[3][0] == 0.0 && entry[3][1] == 0.0 && entry[3][2] == 0.0 && entry[3][3] == 1.0;
}

double AcGeMatrix3d::det() const {
    double a[4][4];
    std::copy(&entry[0][0], &entry[0][0] + 16, &a[0][0]);
    double result = 1.0;
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) {
                pivot = r;
            }
        }
        if (a[pivot][c] == 0.0) {
            return 0.0;
        }
        if (pivot != c) {
            std::swap(a[pivot], a[c]);
            result = -result;
        }
        result *= a[c][c];
        for (int r = c + 1; r < 4; ++r) {
            const double f = a[r][c] / a[c][c];
            for (int k = c; k < 4; ++k) {
                a[r][k] -= f * a[c][k];
            }
        }
    }
    return result;
}

bool AcGeMatrix3d::isSingular(const AcGeTol& tol) const {
    // Hadamard: |det| <= product of the column lengths, with equality for
    // orthogonal columns. Their ratio measures degeneracy independently of the
    // overall scale (and, for affine matrices, of the translation).
    const int n = isAffine() ? 3 : 4;
    double bound = 1.0;
    for (int c = 0; c < n; ++c) {
        double sq = 0.0;
        for (int r = 0; r < n; ++r) {
            sq += entry[r][c] * entry[r][c];
        }
        bound *= std::sqrt(sq);
    }
    if (bound == 0.0) {
        return true;
    }
    // For an affine matrix the 4x4 determinant equals that of the 3x3 block.
    return std::fabs(det()) <= tol.equalVector() * bound;
}

bool AcGeMatrix3d::inverse(AcGeMatrix3d& result, const AcGeTol& tol) const {
    if (isSingular(tol)) {
        return false;
    }
    // Gauss-Jordan with partial pivoting on [A | I].
    double a[4][4];
    std::copy(&entry[0][0], &entry[0][0] + 16, &a[0][0]);
    AcGeMatrix3d inv;
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) {
                pivot = r;
            }
        }
        if (a[pivot][c] == 0.0) {
            return false;
        }
        if (pivot != c) {
            std::swap(a[pivot], a[c]);
            std::swap(inv.entry[pivot], inv.entry[c]);
        }
        const double p = a[c][c];
        for (int k = 0; k < 4; ++k) {
            a[c][k] /= p;
            inv.entry[c][k] /= p;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == c || a[r][c] == 0.0) {
                continue;
            }
            const double f = a[r][c];
            for (int k = 0; k < 4; ++k) {
                a[r][k] -= f * a[c][k];
                inv.entry[r][k] -= f * inv.entry[c][k];
            }
        }
    }
    result = inv;
    return true;
}

AcGeMatrix3d AcGeMatrix3d::inverse() const {
    AcGeMatrix3d result;
    return inverse(result) ? result : *this;
}

AcGeMatrix3d& AcGeMatrix3d::invert() {
    AcGeMatrix3d result;
    if (inverse(result)) {
        *this = result;
    }
    return *this;
}

double AcGeMatrix3d::scale() const {
    return std::max(
        {column(*this, 0).length(), column(*this, 1).length(), column(*this, 2).length()});
}

bool AcGeMatrix3d::isScaledOrtho(const AcGeTol& tol) const {
    const double eps = tol.equalVector();
    // A perspective row would make the column images meaningless.
    if (std::fabs(entry[3][0]) > eps || std::fabs(entry[3][1]) > eps ||
        std::fabs(entry[3][2]) > eps || std::fabs(entry[3][3] - 1.0) > eps) {
        return false;
    }
    const AcGeVector3d cols[3] = {column(*this, 0), column(*this, 1), column(*this, 2)};
    const double len[3] = {cols[0].length(), cols[1].length(), cols[2].length()};
    const double longest = std::max({len[0], len[1], len[2]});
    if (std::min({len[0], len[1], len[2]}) <= eps * longest || longest == 0.0) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = i + 1; j < 3; ++j) {
            if (std::fabs(cols[i].dotProduct(cols[j])) > eps * len[i] * len[j]) {
                return false;
            }
        }
    }
    return true;
}

bool AcGeMatrix3d::isUniScaledOrtho(const AcGeTol& tol) const {
    if (!isScaledOrtho(tol)) {
        return false;
    }
    const double len[3] = {column(*this, 0).length(), column(*this, 1).length(),
                           column(*this, 2).length()};
    const double eps = tol.equalVector() * std::max({len[0], len[1], len[2]});
    return std::fabs(len[0] - len[1]) <= eps && std::fabs(len[1] - len[2]) <= eps &&
           std::fabs(len[0] - len[2]) <= eps;
}

AcGeMatrix3d AcGeMatrix3d::operator*(const AcGeMatrix3d& m) const {
    AcGeMatrix3d result;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += entry[r][k] * m.entry[k][c];
            }
            result.entry[r][c] = sum;
        }
    }
    return result;
}

AcGeMatrix3d& AcGeMatrix3d::operator*=(const AcGeMatrix3d& m) {
    return *this = *this * m;
}
AcGeMatrix3d& AcGeMatrix3d::preMultBy(const AcGeMatrix3d& left) {
    return *this = left * *this;
}
AcGeMatrix3d& AcGeMatrix3d::postMultBy(const AcGeMatrix3d& right) {
    return *this = *this * right;
}
AcGeMatrix3d& AcGeMatrix3d::setToProduct(const AcGeMatrix3d& a, const AcGeMatrix3d& b) {
    return *this = a * b;
}

AcGeMatrix3d& AcGeMatrix3d::transposeIt() {
    for (int r = 0; r < 4; ++r) {
        for (int c = r + 1; c < 4; ++c) {
            std::swap(entry[r][c], entry[c][r]);
        }
    }
    return *this;
}

AcGeMatrix3d AcGeMatrix3d::transpose() const {
    AcGeMatrix3d m = *this;
    return m.transposeIt();
}

bool AcGeMatrix3d::isEqualTo(const AcGeMatrix3d& m, const AcGeTol& tol) const {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (std::fabs(entry[r][c] - m.entry[r][c]) > tol.equalVector()) {
                return false;
            }
        }
    }
    return true;
}
