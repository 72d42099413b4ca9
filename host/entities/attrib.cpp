#include "host/entities/attrib.h"

#include "host/db/database.h"
#include "host/entities/attdef.h"
#include "host/entities/entity_filing.h"
#include "host/gi/worlddraw.h"

ACRX_HOST_DXF_CLASS(AcDbAttribute, AcDbText, "ATTRIB");

using namespace kxhost::detail;

namespace {
enum : int { kInvisible = 1, kConstant = 2, kVerifiable = 4, kPreset = 8, kAllFlags = 15 };
}  // namespace

AcDbAttribute::AcDbAttribute() = default;

AcDbAttribute::AcDbAttribute(const AcGePoint3d& position, const ACHAR* text, const ACHAR* tag,
                             AcDbObjectId style)
    : AcDbText(position, text, style) {
    if (isValidAttributeTag(tag)) {
        m_tag = AcString(tag);
    }
}

AcDbAttribute::~AcDbAttribute() = default;

AcString AcDbAttribute::tag() const {
    assertReadEnabled();
    return m_tag;
}
const ACHAR* AcDbAttribute::tagConst() const {
    assertReadEnabled();
    return m_tag.kwszPtr();
}
Acad::ErrorStatus AcDbAttribute::setTag(const ACHAR* tag) {
    return isValidAttributeTag(tag) ? setField(m_tag, AcString(tag)) : Acad::eInvalidInput;
}
bool AcDbAttribute::isInvisible() const {
    assertReadEnabled();
    return (m_flags & kInvisible) != 0;
}
Acad::ErrorStatus AcDbAttribute::setInvisible(bool invisible) {
    return setField(m_flags, invisible ? (m_flags | kInvisible) : (m_flags & ~kInvisible));
}
bool AcDbAttribute::isConstant() const {
    assertReadEnabled();
    return (m_flags & kConstant) != 0;
}
bool AcDbAttribute::isVerifiable() const {
    assertReadEnabled();
    return (m_flags & kVerifiable) != 0;
}
bool AcDbAttribute::isPreset() const {
    assertReadEnabled();
    return (m_flags & kPreset) != 0;
}
bool AcDbAttribute::lockPositionInBlock() const {
    assertReadEnabled();
    return m_lockPosition;
}
Acad::ErrorStatus AcDbAttribute::setLockPositionInBlock(bool locked) {
    return setField(m_lockPosition, locked);
}
Adesk::UInt16 AcDbAttribute::fieldLength() const {
    assertReadEnabled();
    return m_fieldLength;
}
Acad::ErrorStatus AcDbAttribute::setFieldLength(Adesk::UInt16 length) {
    return setField(m_fieldLength, length);
}

Acad::ErrorStatus AcDbAttribute::setAttributeFromBlock(const AcDbAttributeDefinition* definition,
                                                       const AcGeMatrix3d& blockTransform) {
    if (definition == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    definition->assertReadEnabled();
    assertWriteEnabled();
    copyTextFieldsFrom(*definition);
    m_tag = definition->m_tag;
    m_flags = definition->m_flags;
    m_lockPosition = definition->m_lockPosition;
    m_fieldLength = definition->m_fieldLength;
    setPropertiesFrom(definition);
    return transformBy(blockTransform);
}

bool AcDbAttribute::subWorldDraw(AcGiWorldDraw* wd) {
    assertReadEnabled();
    if (wd == nullptr) {
        return false;
    }
    const AcDbDatabase* db =
        database() != nullptr ? database() : acdbHostApplicationServices()->workingDatabase();
    const int mode = db != nullptr ? db->attmode() : 1;
    if (mode == 0 || (mode == 1 && (m_flags & kInvisible) != 0)) {
        return true;
    }
    drawString(wd, textStringConst());
    return true;
}

Acad::ErrorStatus AcDbAttribute::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbText::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(m_tag);
    filer->writeInt16(static_cast<Adesk::Int16>(m_flags));
    filer->writeBool(m_lockPosition);
    filer->writeUInt16(m_fieldLength);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbAttribute::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbText::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcString tag;
    Adesk::Int16 flags = 0;
    Adesk::Boolean lock = false;
    Adesk::UInt16 length = 0;
    if ((es = filer->readString(tag)) != Acad::eOk ||
        (es = filer->readInt16(&flags)) != Acad::eOk ||
        (es = filer->readBool(&lock)) != Acad::eOk ||
        (es = filer->readUInt16(&length)) != Acad::eOk) {
        return es;
    }
    if ((flags & ~kAllFlags) != 0 || (!tag.isEmpty() && !isValidAttributeTag(tag))) {
        return filerFail(filer);
    }
    m_tag = tag;
    m_flags = flags;
    m_lockPosition = lock;
    m_fieldLength = length;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbAttribute::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbText::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbAttribute");
    filer->writeString(2, m_tag);
    filer->writeInt16(70, static_cast<Adesk::Int16>(m_flags));
    filer->writeInt16(73, static_cast<Adesk::Int16>(m_fieldLength));
    filer->writeBool(280, m_lockPosition);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbAttribute::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbText::dxfInFields(filer);
    if (es != Acad::eOk || (es = dxfExpectSubclass(filer, L"AcDbAttribute")) != Acad::eOk) {
        return es;
    }
    AcString tag = m_tag;
    int flags = m_flags;
    int length = m_fieldLength;
    bool lock = m_lockPosition;
    es = dxfReadGroups(filer, [&](const resbuf& rb) {
        switch (rb.restype) {
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
    m_flags = flags;
    m_fieldLength = static_cast<Adesk::UInt16>(length);
    m_lockPosition = lock;
    return filer->filerStatus();
}
