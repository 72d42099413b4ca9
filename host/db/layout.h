// Layouts: the sheet a space is presented on. Every drawing has the model layout ("Model", for
// the model space block) and one paper layout ("Layout1", for the paper space block), listed in
// the named objects dictionary's "ACAD_LAYOUT" entry. The host keeps what files carry for them:
// the name, flags, tab order, limits, insertion base, extents, the block record the layout
// presents and its last active viewport. Plot settings are not modelled: they are kept as the
// groups a file gave (a new layout has the defaults other readers expect) and filed back as
// they are.
#pragma once

#include "host/db/dbobject.h"
#include "host/ge/point2d.h"
#include "host/ge/point3d.h"

#include "host/core/resbuf.h"

class AcDbLayout;

namespace kxhost {
// Makes the "ACAD_GROUP" and "ACAD_LAYOUT" dictionaries and the two layouts when the database
// lacks them (a default drawing, when its tables are made). Used by the database.
Acad::ErrorStatus makeStandardLayouts(AcDbDatabase* db, const AcDbObjectId& modelSpace,
                                      const AcDbObjectId& paperSpace);
}  // namespace kxhost

class AcDbLayout : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbLayout);

    AcDbLayout();
    ~AcDbLayout() override;

    Acad::ErrorStatus getLayoutName(AcString& name) const;
    const ACHAR* layoutName() const;
    // Needs write; eInvalidInput for an empty name.
    Acad::ErrorStatus setLayoutName(const ACHAR* name);
    int getTabOrder() const;
    Acad::ErrorStatus setTabOrder(int order);
    // The block record the layout presents (the model or paper space block).
    AcDbObjectId getBlockTableRecordId() const;
    Acad::ErrorStatus setBlockTableRecordId(const AcDbObjectId& id);
    bool modelType() const;

    // Binary: name, flags, tab order, limits, insertion base, extents, then the block record
    // (soft pointer) and the viewport (hard pointer). Text: "AcDbPlotSettings" with default plot
    // settings, then "AcDbLayout": 1 name, 70 flags, 71 tab order, 10/11 limits, 12 insertion
    // base, 14/15 extents, 146 elevation, 13 and 16/17 the UCS origin and axes, 76 UCS kind, 330
    // the block record, 331 the viewport.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcString m_name;
    Adesk::Int16 m_flags = 0;
    Adesk::Int16 m_tabOrder = 0;
    AcGePoint2d m_limMin{0.0, 0.0};
    AcGePoint2d m_limMax{12.0, 9.0};
    AcGePoint3d m_insBase{0.0, 0.0, 0.0};
    // Empty extents, as a drawing with nothing on the layout has.
    AcGePoint3d m_extMin{1e20, 1e20, 1e20};
    AcGePoint3d m_extMax{-1e20, -1e20, -1e20};
    AcDbObjectId m_block;
    AcDbObjectId m_viewport;
    // The plot settings as a file gave them, or the defaults (null only when that copy failed).
    resbuf* m_plotItems = nullptr;

    friend Acad::ErrorStatus kxhost::makeStandardLayouts(AcDbDatabase* db,
                                                         const AcDbObjectId& modelSpace,
                                                         const AcDbObjectId& paperSpace);
};

namespace kxhost {
// The model space and paper space layouts of the database, made with its tables (null when
// missing). The block record of a space names its layout in files; the writer finds it here.
AcDbObjectId layoutOfBlock(const AcDbDatabase* db, const AcDbObjectId& blockId);
}  // namespace kxhost
