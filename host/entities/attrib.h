// Attributes: the text values a block reference owns, made from its block's attribute
// definitions.
#pragma once

#include "host/entities/text.h"

class AcDbAttributeDefinition;

class AcDbAttribute : public AcDbText {
  public:
    ACRX_DECLARE_MEMBERS(AcDbAttribute);

    AcDbAttribute();
    AcDbAttribute(const AcGePoint3d& position, const ACHAR* text, const ACHAR* tag,
                  AcDbObjectId style = AcDbObjectId::kNull);
    ~AcDbAttribute() override;

    // Tags are non-empty and hold no spaces (eInvalidInput otherwise).
    AcString tag() const;
    const ACHAR* tagConst() const;
    Acad::ErrorStatus setTag(const ACHAR* tag);
    bool isInvisible() const;
    Acad::ErrorStatus setInvisible(bool invisible);
    bool isConstant() const;
    bool isVerifiable() const;
    bool isPreset() const;
    bool lockPositionInBlock() const;
    Acad::ErrorStatus setLockPositionInBlock(bool locked);
    Adesk::UInt16 fieldLength() const;
    Acad::ErrorStatus setFieldLength(Adesk::UInt16 length);

    // Takes the definition's text, tag, flags, lock and properties, then transforms by the
    // block transform of the reference it is for. Needs write; eNullObjectPointer for null; the
    // transform's status otherwise.
    Acad::ErrorStatus setAttributeFromBlock(const AcDbAttributeDefinition* definition,
                                            const AcGeMatrix3d& blockTransform);

    // Drawn by the attribute display mode of its database (the working database outside one):
    // 0 none, 1 the visible ones, 2 all.
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // Binary: the text's fields, then tag, flags, lock, field length. Text: "AcDbAttribute", 2,
    // 70, 73, 280.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcString m_tag;
    int m_flags = 0;
    bool m_lockPosition = false;
    Adesk::UInt16 m_fieldLength = 0;
};
