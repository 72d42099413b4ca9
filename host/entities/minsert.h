// Multi-inserts: a block reference repeated in rows and columns. Cell (row, column) is the
// reference moved by column * columnSpacing along its rotated X axis and row * rowSpacing along
// its rotated Y axis (spacings are not scaled by the scale factors).
#pragma once

#include "host/entities/blockref.h"

class AcDbMInsertBlock : public AcDbBlockReference {
  public:
    ACRX_DECLARE_MEMBERS(AcDbMInsertBlock);

    AcDbMInsertBlock();
    AcDbMInsertBlock(const AcGePoint3d& position, AcDbObjectId blockTableRecord,
                     Adesk::UInt16 columns, Adesk::UInt16 rows, double columnSpacing,
                     double rowSpacing);
    ~AcDbMInsertBlock() override;

    // At least one row and one column (eInvalidInput otherwise).
    Adesk::UInt16 columns() const;
    Acad::ErrorStatus setColumns(Adesk::UInt16 columns);
    Adesk::UInt16 rows() const;
    Acad::ErrorStatus setRows(Adesk::UInt16 rows);
    double columnSpacing() const;
    Acad::ErrorStatus setColumnSpacing(double spacing);
    double rowSpacing() const;
    Acad::ErrorStatus setRowSpacing(double spacing);

    // Binary: the reference's fields, then columns, rows, column and row spacing. Text:
    // "AcDbMInsertBlock", 70, 71, 44, 45.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    void drawTransforms(std::vector<AcGeMatrix3d>& transforms) const override;
    // The spacings follow the scaling of the reference's axes (and their sign under mirroring).
    void frameScaled(const AcGeScale3d& oldScale, const AcGeScale3d& newScale) override;

  private:
    Adesk::UInt16 m_columns = 1;
    Adesk::UInt16 m_rows = 1;
    double m_columnSpacing = 0.0;
    double m_rowSpacing = 0.0;
};
