// The block table: the drawing's block table records by name. Records named with a bare
// anonymous prefix ("*U") are given unique anonymous names as they are added.
#pragma once

#include "host/db/blocktablerecord.h"
#include "host/db/symboltable.h"

class AcDbBlockTableIterator : public AcDbSymbolTableIterator {
  public:
    ACRX_DECLARE_MEMBERS(AcDbBlockTableIterator);
    using AcDbSymbolTableIterator::AcDbSymbolTableIterator;
    using AcDbSymbolTableIterator::getRecord;
    Acad::ErrorStatus getRecord(AcDbBlockTableRecord*& record, AcDb::OpenMode mode,
                                bool openErased = false) const;
};

class AcDbBlockTable : public AcDbSymbolTable {
  public:
    ACRX_DECLARE_MEMBERS(AcDbBlockTable);

    AcDbBlockTable();
    ~AcDbBlockTable() override;

    using AcDbSymbolTable::add;
    using AcDbSymbolTable::getAt;
    using AcDbSymbolTable::newIterator;
    // See AcDbSymbolTable::add; a record named "*U" (or another bare anonymous prefix) is renamed
    // to the next free "*U<n>" first, so any number of them can be added. An anonymous name
    // that is taken already ("*U3" arriving from another drawing) is replaced the same way.
    Acad::ErrorStatus add(AcDbBlockTableRecord* record);
    Acad::ErrorStatus add(AcDbObjectId& id, AcDbBlockTableRecord* record);
    Acad::ErrorStatus newIterator(AcDbBlockTableIterator*& iterator, bool atBeginning = true,
                                  bool skipDeleted = true) const;

    // The next anonymous name with the prefix ("*U" -> "*U1", "*U2", ...) that no record of the
    // table has, erased ones included.
    AcString uniqueAnonymousName(const ACHAR* prefix) const;

  protected:
    bool acceptsRecord(const AcDbSymbolTableRecord* record) const override;
    bool isValidName(const ACHAR* name) const override;
    Acad::ErrorStatus prepareRecord(AcDbSymbolTableRecord* record) override;
    AcDbSymbolTableIterator* makeIterator() const override;

  private:
    mutable int m_nextAnonymous = 1;
};

namespace kxhost {
// True for "*U", "*D", "*X", "*E", "*T" or "*A" with nothing after it: names that ask the table
// for a unique anonymous name.
bool isAnonymousBlockPrefix(const ACHAR* name);
// The block name rule: a symbol name, optionally preceded by '*'.
bool isValidBlockName(const ACHAR* name);
}  // namespace kxhost
