// Finding representation blocks that might be shared, and the references of a block, without
// walking the drawing on every change.
//
// After each change of a reference the module looks for another representation block of the same
// definition in the same state. Walking every block (and measuring each) would make every drag
// step grow with the number of references in the drawing, so each database the module works in
// gets an index, built on first use:
// - every anonymous block whose block tag names a definition is kept under (definition, entity
//   count) with its extents, so the blocks of the same shape are found by a range search;
// - every live block reference is kept under the block it points at.
// A database reactor marks what the host says changed (blocks, entities of blocks, references);
// marked entries are measured or read again on the next lookup. Whatever a lookup hands out is
// also checked against the drawing itself before it is returned, so an entry that went stale
// without a notification costs time but never gives a wrong answer. (The one thing a lookup cannot
// see is a reference the host points at another block while keeping it open: the host announces
// it on close. The module's own switches are noted at once, see noteReferenceBlock.)
#pragma once

#include "host/core/acstring.h"
#include "host/db/extents.h"
#include "host/db/objectid.h"
#include "module/frame/export.h"

class AcDbBlockReference;
class AcDbDatabase;

namespace kxshare {

// Entity count and extents (the union of the extents of the live entities) of a block.
struct BlockShape {
    int count = 0;
    AcDbExtents extents;
};

// Measures the block now (entities that cannot be opened count, without extents).
KXDB_EXPORT BlockShape shapeOf(const AcDbObjectId& blockId);
// Same count, and extents both empty or with corners equal within the point tolerance.
KXDB_EXPORT bool sameShape(const BlockShape& a, const BlockShape& b);

// In handle order, the other anonymous blocks tagged with `definitionId` whose shape is the same
// as that of `blockId`, each measured again before it is returned. `shape` is the shape of
// `blockId` measured now; when no other block of the definition has its entity count, only the
// count is set (the extents are not measured then).
// eNoDatabase for a null database, eNullObjectId for a null definition or block.
KXDB_EXPORT Acad::ErrorStatus findSameShape(AcDbDatabase* db, const AcDbObjectId& definitionId,
                                            const AcDbObjectId& blockId, BlockShape& shape,
                                            AcDbObjectIdArray& candidates);

// The live references that point at the block directly (as AcDbBlockTableRecord::
// getBlockReferenceIds with directOnly answers), each read again before it is returned.
KXDB_EXPORT Acad::ErrorStatus referencesOf(AcDbDatabase* db, const AcDbObjectId& blockId,
                                           AcDbObjectIdArray& references);

// The module pointed the reference at another block: the index learns it now, as the host only
// tells when the reference is closed.
KXDB_EXPORT void noteReferenceBlock(const AcDbBlockReference* ref);

// What the representation reads of a definition entity on every change of every reference: its
// entity tag, its owner and, for an attribute definition, whether references carry an attribute
// for it and under which tag.
struct EntityFacts {
    bool tagged = false;
    Adesk::Int32 index = -1;
    AcDbObjectId owner;
    bool attributeWanted = false;
    AcString attributeTag;
};
// Facts kept for a live entity of an indexed database until the host announces a change of the
// entity; false when none are kept (the caller reads the entity and may keep what it read).
KXDB_EXPORT bool cachedEntityFacts(const AcDbObjectId& entityId, EntityFacts& facts);
// Whether facts are kept for the id: then it names a live entity (an id never changes its
// object, and facts are kept only for entities).
KXDB_EXPORT bool hasEntityFacts(const AcDbObjectId& entityId);
KXDB_EXPORT void keepEntityFacts(const AcDbObjectId& entityId, const EntityFacts& facts);
// Whether a block holds a proxy entity, kept until the host announces a change of the block or
// of an entity in it; same protocol.
KXDB_EXPORT bool cachedHasProxyEntities(const AcDbObjectId& blockId, bool& hasProxies);
KXDB_EXPORT void keepHasProxyEntities(const AcDbObjectId& blockId, bool hasProxies);

// What the index of a database holds (0 when it has none): anonymous tagged blocks, references.
KXDB_EXPORT int indexedBlockCount(const AcDbDatabase* db);
KXDB_EXPORT int indexedReferenceCount(const AcDbDatabase* db);
// True while the database has an index (and the index's reactor on it).
KXDB_EXPORT bool isIndexed(const AcDbDatabase* db);

// Drops the index of one database (its reactor comes off), or of every database at unload.
KXDB_EXPORT void forget(AcDbDatabase* db);
KXDB_EXPORT void releaseAll();

}  // namespace kxshare
