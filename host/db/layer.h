// Layers: the layer table and its records. Entities name their layer by id; a locked layer keeps
// its entities from being opened for write unless the opener forces it (see acdbOpenAcDbEntity).
#pragma once

#include "host/db/symboltable.h"

class AcDbLayerTableRecord;

namespace kxhost {
// True when the layer record behind the id exists, is not erased and is locked. No open needed.
bool isLayerLocked(const AcDbObjectId& layerId);
// The database's layer of that name (null id when there is none). No open needed.
AcDbObjectId findLayer(const AcDbDatabase* db, const ACHAR* name);
}  // namespace kxhost

class AcDbLayerTableIterator : public AcDbSymbolTableIterator {
  public:
    ACRX_DECLARE_MEMBERS(AcDbLayerTableIterator);
    using AcDbSymbolTableIterator::AcDbSymbolTableIterator;
    using AcDbSymbolTableIterator::getRecord;
    Acad::ErrorStatus getRecord(AcDbLayerTableRecord*& record, AcDb::OpenMode mode,
                                bool openErased = false) const;
};

class AcDbLayerTable : public AcDbSymbolTable {
  public:
    ACRX_DECLARE_MEMBERS(AcDbLayerTable);

    AcDbLayerTable();
    ~AcDbLayerTable() override;

    using AcDbSymbolTable::add;
    using AcDbSymbolTable::getAt;
    Acad::ErrorStatus add(AcDbLayerTableRecord* record);
    Acad::ErrorStatus add(AcDbObjectId& id, AcDbLayerTableRecord* record);
    using AcDbSymbolTable::newIterator;
    Acad::ErrorStatus newIterator(AcDbLayerTableIterator*& iterator, bool atBeginning = true,
                                  bool skipDeleted = true) const;

  protected:
    bool acceptsRecord(const AcDbSymbolTableRecord* record) const override;
    AcDbSymbolTableIterator* makeIterator() const override;
};

class AcDbLayerTableRecord : public AcDbSymbolTableRecord {
  public:
    ACRX_DECLARE_MEMBERS(AcDbLayerTableRecord);

    AcDbLayerTableRecord();
    ~AcDbLayerTableRecord() override;

    bool isLocked() const;
    // Needs write (a violation is counted and nothing changes).
    void setIsLocked(bool locked);
    bool isOff() const;
    void setIsOff(bool off);
    bool isFrozen() const;
    void setIsFrozen(bool frozen);
    // Palette index 1..255 (eInvalidInput otherwise; needs write).
    Adesk::UInt16 colorIndex() const;
    Acad::ErrorStatus setColorIndex(Adesk::UInt16 color);

    // Binary filing: the name, then the flags and the colour. Text filing: "AcDbLayerTableRecord",
    // 2 name, 70 flags (1 frozen, 4 locked), 62 colour (negative when the layer is off).
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    friend bool kxhost::isLayerLocked(const AcDbObjectId& layerId);
    bool m_locked = false;
    bool m_off = false;
    bool m_frozen = false;
    Adesk::UInt16 m_color = 7;
};
