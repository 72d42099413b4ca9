#pragma once

// Tolerances used by every geometric comparison. equalPoint bounds the
// distance under which two points are the same; equalVector bounds the length
// of a difference vector (and, for unit vectors, the angle-like deviations)
// under which two vectors are the same.
class AcGeTol {
  public:
    constexpr AcGeTol() = default;
    constexpr AcGeTol(double pointTol, double vectorTol)
        : mEqualPoint(pointTol), mEqualVector(vectorTol) {}

    double equalPoint() const { return mEqualPoint; }
    double equalVector() const { return mEqualVector; }
    void setEqualPoint(double value) { mEqualPoint = value; }
    void setEqualVector(double value) { mEqualVector = value; }

  private:
    double mEqualPoint = 1e-10;
    double mEqualVector = 1e-10;
};

// Process-wide default tolerance, used wherever a caller passes none.
struct AcGeContext {
    static AcGeTol gTol;
};
