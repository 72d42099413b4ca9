// Proxy entities: stand-ins for entities of classes that are not loaded. A proxy keeps the
// original class's names; it has no geometry of its own, refuses transforms and draws nothing.
#pragma once

#include "host/entities/entity.h"

class AcDbProxyEntity : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbProxyEntity);

    AcDbProxyEntity();
    ~AcDbProxyEntity() override;

    const ACHAR* originalClassName() const;
    Acad::ErrorStatus setOriginalClassName(const ACHAR* name);
    const ACHAR* originalDxfName() const;
    Acad::ErrorStatus setOriginalDxfName(const ACHAR* name);

    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    bool subWorldDraw(AcGiWorldDraw* wd) override { return true; }

    // Binary: the two names. Text: "AcDbProxyEntity", 1 class name, 2 record name.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcString m_className;
    AcString m_dxfName;
};
