// Draw order of a block's entities. The table lives in the block's extension dictionary under
// "ACAD_SORTENTS" (see AcDbBlockTableRecord::getSortentsTable) and records an order for the
// entities it lists; entities it does not list are drawn after them, in the block's own order,
// so an entity appended later is drawn on top.
#pragma once

#include "host/db/dbobject.h"

class AcDbSortentsTable : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbSortentsTable);

    AcDbSortentsTable();
    ~AcDbSortentsTable() override;

    AcDbObjectId blockId() const;
    // Needs write.
    Acad::ErrorStatus setBlockId(AcDbObjectId blockId);

    // Every live entity of the block, in draw order. eNullObjectId when the table has no block,
    // eKeyNotFound when its block is gone. The honour mask is accepted for its shape only.
    Acad::ErrorStatus getFullDrawOrder(AcDbObjectIdArray& ids, Adesk::UInt8 honorMask = 0) const;
    // The given entities sorted into draw order (eInvalidInput for one that is not a live entity
    // of the block).
    Acad::ErrorStatus getRelativeDrawOrder(AcDbObjectIdArray& ids,
                                           Adesk::UInt8 honorMask = 0) const;
    // The given entities take the places they hold among themselves in the given order; every
    // other entity keeps its place. Needs write; eInvalidInput (nothing changes) for a null id,
    // an id given twice, or one that is not a live entity of the block.
    Acad::ErrorStatus setRelativeDrawOrder(const AcDbObjectIdArray& ids);
    // The given entities are drawn after (on top of) / before all others, in the given order.
    Acad::ErrorStatus moveToTop(const AcDbObjectIdArray& ids);
    Acad::ErrorStatus moveToBottom(const AcDbObjectIdArray& ids);
    Acad::ErrorStatus firstEntityIsDrawnBeforeSecond(AcDbObjectId first, AcDbObjectId second,
                                                     bool& result) const;

    // Binary filing: the block and the ordered entities as soft pointers, so cloning and id
    // translation carry them to the copies (entities of another drawing that were not copied
    // come back null and are dropped). Text filing: "AcDbSortentsTable", 330 block, 331 per
    // entity in order.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    // The order as it stands: listed entities that are still live, then the rest.
    Acad::ErrorStatus currentOrder(AcDbObjectIdArray& order) const;
    Acad::ErrorStatus checkEntities(const AcDbObjectIdArray& ids,
                                    const AcDbObjectIdArray& order) const;

    AcDbObjectId m_block;
    AcDbObjectIdArray m_order;
};
