// Block table records: named collections of entities (the model and paper spaces, block
// definitions, anonymous blocks) with an origin, and the walk over a block's entities.
#pragma once

#include "host/db/symboltable.h"
#include "host/ge/point3d.h"

#define ACDB_MODEL_SPACE L"*Model_Space"
#define ACDB_PAPER_SPACE L"*Paper_Space"

class AcDbEntity;
class AcDbBlockTableRecordIterator;
class AcDbSortentsTable;

namespace kxhost {
// The ids of a block's entities in order, without opening it (erased ones only when asked).
AcDbObjectIdArray blockEntityIds(const AcDbObjectId& blockId, bool includeErased = false);
// True for the names AcDbBlockTableRecord::isAnonymous() accepts.
bool isAnonymousBlockName(const ACHAR* name);
// The origin of the block behind the id, without opening it (the world origin when there is no
// such block).
AcGePoint3d blockOrigin(const AcDbObjectId& blockId);
// The annotative flag of the block behind the id, without opening it (false when there is no
// such block).
bool isBlockAnnotative(const AcDbObjectId& blockId);
}  // namespace kxhost

class AcDbBlockTableRecord : public AcDbSymbolTableRecord {
  public:
    ACRX_DECLARE_MEMBERS(AcDbBlockTableRecord);

    enum BlockScaling { kAny = 0, kUniform = 1 };

    AcDbBlockTableRecord();
    ~AcDbBlockTableRecord() override;

    // Block names may start with '*' (anonymous blocks and layouts). A record of a block table
    // named with a bare anonymous prefix ("*U") gets the table's next unique anonymous name
    // ("*U1", "*U2", ...), as when it is added.
    Acad::ErrorStatus setName(const ACHAR* name) override;
    // Named "*U", "*D", "*X", "*E", "*T" or "*A", optionally followed by digits.
    bool isAnonymous() const;
    // The model space or a paper space block.
    bool isLayout() const;

    AcGePoint3d origin() const;
    Acad::ErrorStatus setOrigin(const AcGePoint3d& origin);
    bool explodable() const;
    Acad::ErrorStatus setExplodable(bool explodable);
    BlockScaling blockScaling() const;
    Acad::ErrorStatus setBlockScaling(BlockScaling scaling);
    // External references are not modelled beyond these flags; the setters exist for tests.
    // An overlay is an external reference as well.
    bool isFromExternalReference() const;
    bool isFromOverlayReference() const;
    Acad::ErrorStatus setIsFromExternalReference(bool fromXref);
    Acad::ErrorStatus setIsFromOverlayReference(bool fromOverlay);
    // Read by the annotative protocol extension (AcDbAnnotativeObjectPE).
    bool isAnnotative() const;
    Acad::ErrorStatus setAnnotative(bool annotative);
    // True when a live entity of the block is an attribute definition.
    bool hasAttributeDefinitions() const;

    // Appends a new entity: needs the record write-enabled (eNotOpenForWrite) and resident
    // (eNoDatabase). The entity becomes resident, owned by the record, and stays open for write
    // until the caller closes it. An entity without a layer of this database goes on the layer of
    // the same name, else on layer "0". eNullEntityPointer for null, eAlreadyInDb for a
    // resident entity.
    Acad::ErrorStatus appendAcDbEntity(AcDbEntity* entity);
    Acad::ErrorStatus appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity);
    // A walk over the entities in the order they were appended; the caller deletes it.
    Acad::ErrorStatus newIterator(AcDbBlockTableRecordIterator*& iterator, bool atBeginning = true,
                                  bool skipDeleted = true) const;

    // The resident, non-erased block references (multi-inserts included) that point at this
    // block; references outside the database (drag images) never count. With directOnly false,
    // also the references of the blocks that hold such references, and so on. eNotInDatabase
    // for a record outside a database.
    Acad::ErrorStatus getBlockReferenceIds(AcDbObjectIdArray& ids, bool directOnly = true,
                                           bool forceValidity = false) const;

    // The draw-order table in the record's extension dictionary under "ACAD_SORTENTS", opened
    // in the given mode (the caller closes it). Missing: eKeyNotFound, unless createIfNecessary,
    // which creates it (and the extension dictionary) and needs the record write-enabled
    // (eNotOpenForWrite).
    Acad::ErrorStatus getSortentsTable(AcDbSortentsTable*& table, AcDb::OpenMode mode,
                                       bool createIfNecessary = false);

    // Erasing a block erases its entities.
    Acad::ErrorStatus subErase(Adesk::Boolean erasing) override;

    // Binary filing: the name, the origin, the flags, then the entities as hard ownership ids
    // (files and clones leave erased entities out; a copy owns no entities; a clone filed in
    // through a deep-clone or wblock filer keeps no entity list, its cloned entities are
    // appended one by one). Text filing: "AcDbBlockTableRecord", 2 name, 70 flags (1 anonymous,
    // 4 external reference, 8 overlay), 10 origin, 280 explodable, 281 scaling, 290 annotative,
    // 360 per entity.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    bool acceptsName(const ACHAR* name) const override;

  private:
    friend AcDbObjectIdArray kxhost::blockEntityIds(const AcDbObjectId& blockId,
                                                    bool includeErased);
    friend AcGePoint3d kxhost::blockOrigin(const AcDbObjectId& blockId);
    friend bool kxhost::isBlockAnnotative(const AcDbObjectId& blockId);
    AcGePoint3d m_origin;
    bool m_explodable = true;
    BlockScaling m_scaling = kAny;
    bool m_fromXref = false;
    bool m_fromOverlay = false;
    bool m_annotative = false;
    AcDbObjectIdArray m_entities;
};

// Walks a block's entities as they were when the iterator was made; erased flags are checked as
// the walk goes.
class AcDbBlockTableRecordIterator : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbBlockTableRecordIterator);

    AcDbBlockTableRecordIterator(const AcDbObjectId& block, const AcDbObjectIdArray& ids);
    ~AcDbBlockTableRecordIterator() override;

    void start(bool atBeginning = true, bool skipDeleted = true);
    bool done() const;
    void step(bool forward = true, bool skipDeleted = true);
    Acad::ErrorStatus getEntityId(AcDbObjectId& id) const;
    // Opens the entity (the caller closes it); a write open of an entity on a locked layer
    // answers eOnLockedLayer.
    Acad::ErrorStatus getEntity(AcDbEntity*& entity, AcDb::OpenMode mode,
                                bool openErased = false) const;
    // Moves to the entity; eKeyNotFound (and no move) when it is not in the walk.
    Acad::ErrorStatus seek(AcDbObjectId id);
    Acad::ErrorStatus seek(const AcDbEntity* entity);
    AcDbObjectId blockTableRecord() const { return m_block; }

  private:
    void skipErased(bool forward);

    AcDbObjectId m_block;
    AcDbObjectIdArray m_ids;
    int m_pos = 0;
};
