// Dimensions: the base of the measuring entities. It keeps the plane (normal and elevation), the
// text position and override, the dynamic flag of dimensions shown while dragging grips, and the
// per-dimension overrides of the precision and unit variables.
#pragma once

#include "host/entities/entity.h"

class AcDbDimension : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbDimension);

    AcDbDimension();
    ~AcDbDimension() override;

    AcGeVector3d normal() const;
    Acad::ErrorStatus setNormal(const AcGeVector3d& normal);  // eInvalidInput for zero
    double elevation() const;
    Acad::ErrorStatus setElevation(double elevation);
    AcGePoint3d textPosition() const;
    Acad::ErrorStatus setTextPosition(const AcGePoint3d& position);
    // Empty shows the measurement; "<>" in the text stands for it.
    AcString dimensionText() const;
    Acad::ErrorStatus setDimensionText(const ACHAR* text);
    bool isDynamicDimension() const;
    Acad::ErrorStatus setDynamicDimension(bool dynamic);

    // Linear precision 0..8 and units 1..6; angular precision -1..8 and units 0..4
    // (eInvalidInput outside).
    int dimdec() const;
    Acad::ErrorStatus setDimdec(int value);
    int dimlunit() const;
    Acad::ErrorStatus setDimlunit(int value);
    int dimadec() const;
    Acad::ErrorStatus setDimadec(int value);
    int dimaunit() const;
    Acad::ErrorStatus setDimaunit(int value);

    // The measured value (a length or an angle in radians).
    virtual Acad::ErrorStatus measurement(double& value) const { return Acad::eNotApplicable; }
    // The text shown: the override with "<>" replaced by the formatted measurement.
    AcString formattedText() const;

    // Overrides back to the drawing's dimension style: precision 4, units 2, angular 0 and 0.
    void subSetDatabaseDefaults(AcDbDatabase* db) override;

    // Binary: normal, elevation, text position, text, dynamic, the four overrides. Text:
    // "AcDbDimension", 210, 38, 11, 1, 290, 271 dimdec, 277 dimlunit, 179 dimadec, 275 dimaunit.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    // True for angular dimensions: formats with the angular variables, in degrees.
    virtual bool isAngular() const { return false; }
    // Transforms what the base keeps (after the caller checked write).
    void transformBase(const AcGeMatrix3d& xform);

  private:
    AcGeVector3d m_normal{0.0, 0.0, 1.0};
    double m_elevation = 0.0;
    AcGePoint3d m_textPosition;
    AcString m_text;
    bool m_dynamic = false;
    int m_dimdec = 4;
    int m_dimlunit = 2;
    int m_dimadec = 0;
    int m_dimaunit = 0;
};
