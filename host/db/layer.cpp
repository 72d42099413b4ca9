#include "host/db/layer.h"

#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"

ACRX_HOST_DXF_CLASS(AcDbLayerTable, AcDbSymbolTable, "TABLE");
ACRX_HOST_DXF_CLASS(AcDbLayerTableRecord, AcDbSymbolTableRecord, "LAYER");
ACRX_HOST_CLASS(AcDbLayerTableIterator, AcDbSymbolTableIterator);

namespace kxhost {

bool isLayerLocked(const AcDbObjectId& layerId) {
    const auto* layer = AcDbLayerTableRecord::cast(detail::residentObject(layerId));
    if (layer == nullptr || layer->isErased()) {
        return false;
    }
    return layer->m_locked;
}

AcDbObjectId findLayer(const AcDbDatabase* db, const ACHAR* name) {
    if (db == nullptr) {
        return AcDbObjectId::kNull;
    }
    const auto* table = AcDbLayerTable::cast(detail::residentObject(db->layerTableId()));
    return table != nullptr ? table->findRecord(name, false) : AcDbObjectId::kNull;
}

}  // namespace kxhost

// --- Table --------------------------------------------------------------------------------------

AcDbLayerTable::AcDbLayerTable() = default;
AcDbLayerTable::~AcDbLayerTable() = default;

bool AcDbLayerTable::acceptsRecord(const AcDbSymbolTableRecord* record) const {
    return AcDbLayerTableRecord::cast(record) != nullptr;
}

AcDbSymbolTableIterator* AcDbLayerTable::makeIterator() const {
    return new AcDbLayerTableIterator(recordIds());
}

Acad::ErrorStatus AcDbLayerTable::add(AcDbLayerTableRecord* record) {
    return AcDbSymbolTable::add(record);
}

Acad::ErrorStatus AcDbLayerTable::add(AcDbObjectId& id, AcDbLayerTableRecord* record) {
    return AcDbSymbolTable::add(id, record);
}

Acad::ErrorStatus AcDbLayerTable::newIterator(AcDbLayerTableIterator*& iterator, bool atBeginning,
                                              bool skipDeleted) const {
    AcDbSymbolTableIterator* it = nullptr;
    const Acad::ErrorStatus es = AcDbSymbolTable::newIterator(it, atBeginning, skipDeleted);
    iterator = static_cast<AcDbLayerTableIterator*>(it);
    return es;
}

Acad::ErrorStatus AcDbLayerTableIterator::getRecord(AcDbLayerTableRecord*& record,
                                                    AcDb::OpenMode mode, bool openErased) const {
    record = nullptr;
    const AcDbObjectId id = current();
    if (id.isNull()) {
        return Acad::eInvalidIndex;
    }
    return acdbOpenObject(record, id, mode, openErased);
}

// --- Record -------------------------------------------------------------------------------------

AcDbLayerTableRecord::AcDbLayerTableRecord() = default;
AcDbLayerTableRecord::~AcDbLayerTableRecord() = default;

bool AcDbLayerTableRecord::isLocked() const {
    assertReadEnabled();
    return m_locked;
}

void AcDbLayerTableRecord::setIsLocked(bool locked) {
    assertWriteEnabled();
    if (isWriteEnabled()) {
        m_locked = locked;
    }
}

bool AcDbLayerTableRecord::isOff() const {
    assertReadEnabled();
    return m_off;
}

void AcDbLayerTableRecord::setIsOff(bool off) {
    assertWriteEnabled();
    if (isWriteEnabled()) {
        m_off = off;
    }
}

bool AcDbLayerTableRecord::isFrozen() const {
    assertReadEnabled();
    return m_frozen;
}

void AcDbLayerTableRecord::setIsFrozen(bool frozen) {
    assertWriteEnabled();
    if (isWriteEnabled()) {
        m_frozen = frozen;
    }
}

Adesk::UInt16 AcDbLayerTableRecord::colorIndex() const {
    assertReadEnabled();
    return m_color;
}

Acad::ErrorStatus AcDbLayerTableRecord::setColorIndex(Adesk::UInt16 color) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (color < 1 || color > 255) {
        return Acad::eInvalidInput;
    }
    m_color = color;
    assertWriteEnabled();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLayerTableRecord::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbSymbolTableRecord::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeBool(m_locked);
    filer->writeBool(m_off);
    filer->writeBool(m_frozen);
    filer->writeUInt16(m_color);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbLayerTableRecord::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbSymbolTableRecord::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    Adesk::Boolean locked = false;
    Adesk::Boolean off = false;
    Adesk::Boolean frozen = false;
    Adesk::UInt16 color = 7;
    if ((es = filer->readBool(&locked)) != Acad::eOk || (es = filer->readBool(&off)) != Acad::eOk ||
        (es = filer->readBool(&frozen)) != Acad::eOk ||
        (es = filer->readUInt16(&color)) != Acad::eOk) {
        return es;
    }
    if (color < 1 || color > 255) {
        filer->setFilerStatus(Acad::eFilerError);
        return Acad::eFilerError;
    }
    m_locked = locked;
    m_off = off;
    m_frozen = frozen;
    m_color = color;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbLayerTableRecord::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbSymbolTableRecord::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbLayerTableRecord");
    filer->writeString(2, name());
    filer->writeInt16(70, static_cast<Adesk::Int16>((m_frozen ? 1 : 0) | (m_locked ? 4 : 0)));
    const auto color = static_cast<Adesk::Int16>(m_color);
    filer->writeInt16(62, m_off ? static_cast<Adesk::Int16>(-color) : color);
    // Linetypes and lineweights are not modelled: every layer draws continuous lines of the
    // default weight, and says so for readers that require both groups.
    filer->writeString(6, L"Continuous");
    filer->writeInt16(370, -3);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbLayerTableRecord::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbSymbolTableRecord::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(L"AcDbLayerTableRecord")) {
        return filer->filerStatus() != Acad::eOk ? filer->filerStatus() : Acad::eBadDxfSequence;
    }
    AcString name;
    Adesk::Int16 flags = 0;
    Adesk::Int16 color = 7;
    for (;;) {
        resbuf item{};
        es = filer->readItem(&item);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        if (item.restype == 2) {
            name = AcString(item.resval.rstring);
        } else if (item.restype == 70) {
            flags = item.resval.rint;
        } else if (item.restype == 62) {
            color = item.resval.rint;
        } else if (item.restype == 6 || item.restype == 370 || item.restype == 290 ||
                   item.restype == 390 || item.restype == 347 || item.restype == 348) {
            // Linetype, lineweight, plotting and material: not modelled, taken and dropped.
        } else {
            kxhost::detail::releaseItemValue(item);
            filer->pushBackItem();
            break;
        }
        kxhost::detail::releaseItemValue(item);
    }
    const int magnitude = color < 0 ? -static_cast<int>(color) : color;
    if (name.isEmpty()) {
        return Acad::eMissingDxfField;
    }
    if (magnitude < 1 || magnitude > 255) {
        return Acad::eInvalidDxfCode;
    }
    setNameRaw(name);
    m_frozen = (flags & 1) != 0;
    m_locked = (flags & 4) != 0;
    m_off = color < 0;
    m_color = static_cast<Adesk::UInt16>(magnitude);
    return filer->filerStatus();
}
