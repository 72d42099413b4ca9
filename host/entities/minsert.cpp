#include "host/entities/minsert.h"

#include <cmath>

#include "host/entities/entity_filing.h"
#include "host/entities/geom_util.h"

ACRX_HOST_DXF_CLASS(AcDbMInsertBlock, AcDbBlockReference, "INSERT");

using namespace kxhost::detail;

namespace {
// Cells beyond this are damage, not drawings: drawing and measuring visit every cell.
constexpr int kMaxCells = 1000000;

bool validCount(int columns, int rows) {
    return columns >= 1 && rows >= 1 && columns * rows <= kMaxCells;
}
}  // namespace

AcDbMInsertBlock::AcDbMInsertBlock() = default;

AcDbMInsertBlock::AcDbMInsertBlock(const AcGePoint3d& position, AcDbObjectId blockTableRecord,
                                   Adesk::UInt16 columns, Adesk::UInt16 rows, double columnSpacing,
                                   double rowSpacing)
    : AcDbBlockReference(position, blockTableRecord),
      m_columns(validCount(columns, rows) ? columns : 1),
      m_rows(validCount(columns, rows) ? rows : 1),
      m_columnSpacing(columnSpacing),
      m_rowSpacing(rowSpacing) {}

AcDbMInsertBlock::~AcDbMInsertBlock() = default;

Adesk::UInt16 AcDbMInsertBlock::columns() const {
    assertReadEnabled();
    return m_columns;
}
Acad::ErrorStatus AcDbMInsertBlock::setColumns(Adesk::UInt16 columns) {
    return validCount(columns, m_rows) ? setField(m_columns, columns) : Acad::eInvalidInput;
}
Adesk::UInt16 AcDbMInsertBlock::rows() const {
    assertReadEnabled();
    return m_rows;
}
Acad::ErrorStatus AcDbMInsertBlock::setRows(Adesk::UInt16 rows) {
    return validCount(m_columns, rows) ? setField(m_rows, rows) : Acad::eInvalidInput;
}
double AcDbMInsertBlock::columnSpacing() const {
    assertReadEnabled();
    return m_columnSpacing;
}
Acad::ErrorStatus AcDbMInsertBlock::setColumnSpacing(double spacing) {
    return std::isfinite(spacing) ? setField(m_columnSpacing, spacing) : Acad::eInvalidInput;
}
double AcDbMInsertBlock::rowSpacing() const {
    assertReadEnabled();
    return m_rowSpacing;
}
Acad::ErrorStatus AcDbMInsertBlock::setRowSpacing(double spacing) {
    return std::isfinite(spacing) ? setField(m_rowSpacing, spacing) : Acad::eInvalidInput;
}

void AcDbMInsertBlock::drawTransforms(std::vector<AcGeMatrix3d>& transforms) const {
    const AcGeMatrix3d base = blockTransform();
    const AcGeVector3d xAxis = ocsDirection(rotation(), normal());
    const AcGeVector3d yAxis = normal().crossProduct(xAxis);
    for (int r = 0; r < m_rows; ++r) {
        for (int c = 0; c < m_columns; ++c) {
            const AcGeVector3d offset = xAxis * (c * m_columnSpacing) + yAxis * (r * m_rowSpacing);
            transforms.push_back(AcGeMatrix3d::translation(offset) * base);
        }
    }
}

void AcDbMInsertBlock::frameScaled(const AcGeScale3d& oldScale, const AcGeScale3d& newScale) {
    m_columnSpacing *= newScale.sx / oldScale.sx;
    m_rowSpacing *= newScale.sy / oldScale.sy;
}

Acad::ErrorStatus AcDbMInsertBlock::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbBlockReference::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeUInt16(m_columns);
    filer->writeUInt16(m_rows);
    filer->writeDouble(m_columnSpacing);
    filer->writeDouble(m_rowSpacing);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbMInsertBlock::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbBlockReference::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    Adesk::UInt16 columns = 0;
    Adesk::UInt16 rows = 0;
    double columnSpacing = 0.0;
    double rowSpacing = 0.0;
    if ((es = filer->readUInt16(&columns)) != Acad::eOk ||
        (es = filer->readUInt16(&rows)) != Acad::eOk ||
        (es = filer->readDouble(&columnSpacing)) != Acad::eOk ||
        (es = filer->readDouble(&rowSpacing)) != Acad::eOk) {
        return es;
    }
    if (!validCount(columns, rows) || !std::isfinite(columnSpacing) || !std::isfinite(rowSpacing)) {
        return filerFail(filer);
    }
    m_columns = columns;
    m_rows = rows;
    m_columnSpacing = columnSpacing;
    m_rowSpacing = rowSpacing;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbMInsertBlock::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbBlockReference::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbMInsertBlock");
    filer->writeInt16(70, static_cast<Adesk::Int16>(m_columns));
    filer->writeInt16(71, static_cast<Adesk::Int16>(m_rows));
    filer->writeDouble(44, m_columnSpacing);
    filer->writeDouble(45, m_rowSpacing);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbMInsertBlock::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbBlockReference::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbMInsertBlock")) != Acad::eOk) {
        return es;
    }
    int columns = m_columns;
    int rows = m_rows;
    double columnSpacing = m_columnSpacing;
    double rowSpacing = m_rowSpacing;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 70:
                columns = rb.resval.rint;
                return true;
            case 71:
                rows = rb.resval.rint;
                return true;
            case 44:
                columnSpacing = rb.resval.rreal;
                return true;
            case 45:
                rowSpacing = rb.resval.rreal;
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk) {
        return es;
    }
    if (!validCount(columns, rows) || columns > 0xFFFF || rows > 0xFFFF ||
        !std::isfinite(columnSpacing) || !std::isfinite(rowSpacing)) {
        return Acad::eInvalidDxfCode;
    }
    m_columns = static_cast<Adesk::UInt16>(columns);
    m_rows = static_cast<Adesk::UInt16>(rows);
    m_columnSpacing = columnSpacing;
    m_rowSpacing = rowSpacing;
    return filer->filerStatus();
}
