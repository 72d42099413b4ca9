#include "host/entities/attdef.h"

#include "host/entities/entity_filing.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbAttributeDefinition, AcDbText, "ATTDEF");

using namespace kxhost::detail;

namespace {
enum : int { kInvisible = 1, kConstant = 2, kVerifiable = 4, kPreset = 8, kAllFlags = 15 };
}  // namespace

namespace kxhost {
namespace detail {
bool isValidAttributeTag(const ACHAR* tag) {
    if (tag == nullptr || *tag == 0) {
        return false;
    }
    for (const ACHAR* p = tag; *p != 0; ++p) {
        if (*p <= L' ') {
            return false;
        }
    }
    return true;
}
}  // namespace detail
}  // namespace kxhost

AcDbAttributeDefinition::AcDbAttributeDefinition() = default;

AcDbAttributeDefinition::AcDbAttributeDefinition(const AcGePoint3d& position, const ACHAR* text,
                                                 const ACHAR* tag, const ACHAR* prompt,
                                                 AcDbObjectId style)
    : AcDbText(position, text, style), m_prompt(prompt) {
    if (isValidAttributeTag(tag)) {
        m_tag = AcString(tag);
    }
}

AcDbAttributeDefinition::~AcDbAttributeDefinition() = default;

AcString AcDbAttributeDefinition::tag() const {
    assertReadEnabled();
    return m_tag;
}
const ACHAR* AcDbAttributeDefinition::tagConst() const {
    assertReadEnabled();
    return m_tag.kwszPtr();
}
Acad::ErrorStatus AcDbAttributeDefinition::setTag(const ACHAR* tag) {
    return isValidAttributeTag(tag) ? setField(m_tag, AcString(tag)) : Acad::eInvalidInput;
}
AcString AcDbAttributeDefinition::prompt() const {
    assertReadEnabled();
    return m_prompt;
}
Acad::ErrorStatus AcDbAttributeDefinition::setPrompt(const ACHAR* prompt) {
    return setField(m_prompt, AcString(prompt));
}
bool AcDbAttributeDefinition::isInvisible() const {
    assertReadEnabled();
    return (m_flags & kInvisible) != 0;
}
Acad::ErrorStatus AcDbAttributeDefinition::setInvisible(bool invisible) {
    return setField(m_flags, invisible ? (m_flags | kInvisible) : (m_flags & ~kInvisible));
}
bool AcDbAttributeDefinition::isConstant() const {
    assertReadEnabled();
    return (m_flags & kConstant) != 0;
}
Acad::ErrorStatus AcDbAttributeDefinition::setConstant(bool constant) {
    return setField(m_flags, constant ? (m_flags | kConstant) : (m_flags & ~kConstant));
}
bool AcDbAttributeDefinition::isVerifiable() const {
    assertReadEnabled();
    return (m_flags & kVerifiable) != 0;
}
Acad::ErrorStatus AcDbAttributeDefinition::setVerifiable(bool verifiable) {
    return setField(m_flags, verifiable ? (m_flags | kVerifiable) : (m_flags & ~kVerifiable));
}
bool AcDbAttributeDefinition::isPreset() const {
    assertReadEnabled();
    return (m_flags & kPreset) != 0;
}
Acad::ErrorStatus AcDbAttributeDefinition::setPreset(bool preset) {
    return setField(m_flags, preset ? (m_flags | kPreset) : (m_flags & ~kPreset));
}
bool AcDbAttributeDefinition::lockPositionInBlock() const {
    assertReadEnabled();
    return m_lockPosition;
}
Acad::ErrorStatus AcDbAttributeDefinition::setLockPositionInBlock(bool locked) {
    return setField(m_lockPosition, locked);
}
Adesk::UInt16 AcDbAttributeDefinition::fieldLength() const {
    assertReadEnabled();
    return m_fieldLength;
}
Acad::ErrorStatus AcDbAttributeDefinition::setFieldLength(Adesk::UInt16 length) {
    return setField(m_fieldLength, length);
}

bool AcDbAttributeDefinition::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    drawString(wd, (m_flags & kConstant) != 0 ? textStringConst() : m_tag.kwszPtr());
    return true;
}

Acad::ErrorStatus AcDbAttributeDefinition::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbText::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(m_tag);
    filer->writeString(m_prompt);
    filer->writeInt16(static_cast<Adesk::Int16>(m_flags));
    filer->writeBool(m_lockPosition);
    filer->writeUInt16(m_fieldLength);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbAttributeDefinition::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbText::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcString tag;
    AcString prompt;
    Adesk::Int16 flags = 0;
    Adesk::Boolean lock = false;
    Adesk::UInt16 length = 0;
    if ((es = filer->readString(tag)) != Acad::eOk ||
        (es = filer->readString(prompt)) != Acad::eOk ||
        (es = filer->readInt16(&flags)) != Acad::eOk ||
        (es = filer->readBool(&lock)) != Acad::eOk ||
        (es = filer->readUInt16(&length)) != Acad::eOk) {
        return es;
    }
    if ((flags & ~kAllFlags) != 0 || (!tag.isEmpty() && !isValidAttributeTag(tag))) {
        return filerFail(filer);
    }
    m_tag = tag;
    m_prompt = prompt;
    m_flags = flags;
    m_lockPosition = lock;
    m_fieldLength = length;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbAttributeDefinition::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbText::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbAttributeDefinition");
    filer->writeString(3, m_prompt);
    filer->writeString(2, m_tag);
    filer->writeInt16(70, static_cast<Adesk::Int16>(m_flags));
    filer->writeInt16(73, static_cast<Adesk::Int16>(m_fieldLength));
    filer->writeBool(280, m_lockPosition);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbAttributeDefinition::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbText::dxfInFields(filer);
    if (es != Acad::eOk ||
        (es = dxfExpectSubclass(filer, L"AcDbAttributeDefinition")) != Acad::eOk) {
        return es;
    }
    AcString tag = m_tag;
    AcString prompt = m_prompt;
    int flags = m_flags;
    int length = m_fieldLength;
    bool lock = m_lockPosition;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
            case 3:
                prompt = AcString(rb.resval.rstring);
                return true;
            case 2:
                tag = AcString(rb.resval.rstring);
                return true;
            case 70:
                flags = rb.resval.rint;
                return true;
            case 73:
                length = static_cast<Adesk::UInt16>(rb.resval.rint);
                return true;
            case 280:
                lock = rb.resval.rint != 0;
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk) {
        return es;
    }
    if ((flags & ~kAllFlags) != 0 || !isValidAttributeTag(tag)) {
        return Acad::eInvalidDxfCode;
    }
    m_tag = tag;
    m_prompt = prompt;
    m_flags = flags;
    m_fieldLength = static_cast<Adesk::UInt16>(length);
    m_lockPosition = lock;
    return filer->filerStatus();
}
