// Attribute definitions: the text fields of a block definition from which each reference gets
// its attributes.
#pragma once

#include "host/entities/text.h"

class AcDbAttributeDefinition : public AcDbText {
  public:
    ACRX_DECLARE_MEMBERS(AcDbAttributeDefinition);

    AcDbAttributeDefinition();
    AcDbAttributeDefinition(const AcGePoint3d& position, const ACHAR* text, const ACHAR* tag,
                            const ACHAR* prompt, AcDbObjectId style = AcDbObjectId::kNull);
    ~AcDbAttributeDefinition() override;

    // Tags are non-empty and hold no spaces (eInvalidInput otherwise).
    AcString tag() const;
    const ACHAR* tagConst() const;
    Acad::ErrorStatus setTag(const ACHAR* tag);
    AcString prompt() const;
    Acad::ErrorStatus setPrompt(const ACHAR* prompt);
    bool isInvisible() const;
    Acad::ErrorStatus setInvisible(bool invisible);
    bool isConstant() const;
    Acad::ErrorStatus setConstant(bool constant);
    bool isVerifiable() const;
    Acad::ErrorStatus setVerifiable(bool verifiable);
    bool isPreset() const;
    Acad::ErrorStatus setPreset(bool preset);
    bool lockPositionInBlock() const;
    Acad::ErrorStatus setLockPositionInBlock(bool locked);
    Adesk::UInt16 fieldLength() const;
    Acad::ErrorStatus setFieldLength(Adesk::UInt16 length);

    // A constant definition shows its value (the text string), any other its tag.
    bool subWorldDraw(AcGiWorldDraw* wd) override;

    // Binary: the text's fields, then tag, prompt, flags (1 invisible, 2 constant, 4 verifiable,
    // 8 preset), lock, field length. Text: "AcDbAttributeDefinition", 3, 2, 70, 73, 280.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    friend class AcDbAttribute;
    AcString m_tag;
    AcString m_prompt;
    int m_flags = 0;
    bool m_lockPosition = false;
    Adesk::UInt16 m_fieldLength = 0;
};

namespace kxhost {
namespace detail {
// Attribute tags: non-empty, no spaces or control characters.
bool isValidAttributeTag(const ACHAR* tag);
}  // namespace detail
}  // namespace kxhost
