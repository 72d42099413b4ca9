// The module-wide index of the entity tags of one representation block at a time.
//
// During one evaluation the representation context looks up, many times, the entities of a
// reference's representation that stand for one definition entity. Walking the block each time
// would be quadratic, so the entities of one block (database mode, kept by id) or of one drag
// image's private list (pointer mode, kept by address) are indexed by the entity index of their
// entity tag. Only one block is indexed at a time; a watcher reactor on that block and its
// database drops the index when the database goes away or the block is changed or erased by
// anything but the module's own edits (which keep the index current themselves).
#pragma once

#include "host/core/array.h"
#include "host/core/resbuf.h"
#include "host/db/objectid.h"
#include "module/frame/export.h"

class AcDbBlockReference;
class AcDbEntity;

namespace kxindex {

// The entity index carried by the entity's tag; false for a null entity or one without a
// well-formed entity tag.
KXDB_EXPORT bool entityTagIndex(const AcDbEntity* entity, Adesk::Int32& index);

// Database mode: makes the index describe the block (rebuilt unless it already does) and
// watches it. eNullObjectId for the null id, or the status of opening the block.
KXDB_EXPORT Acad::ErrorStatus indexBlock(AcDbObjectId blockId);
// Pointer mode: makes the index describe the drag image's private list (kept by the drawable
// overrule). An image without a list gives an empty, valid index. eInvalidInput for null.
KXDB_EXPORT Acad::ErrorStatus indexDragImage(const AcDbBlockReference* image);

// What the index describes now.
KXDB_EXPORT bool isBuilt();
KXDB_EXPORT bool isDatabaseMode();
KXDB_EXPORT AcDbObjectId indexedBlock();
KXDB_EXPORT const AcDbBlockReference* indexedReference();
KXDB_EXPORT bool isIndexed(AcDbObjectId blockId);
KXDB_EXPORT bool isIndexed(const AcDbBlockReference* image);

// Keep the index current while the representation context adds or removes entities. An entity
// without a tag is not indexed (eOk). eNullObjectPointer for null, eNullObjectId for an entity
// without id in database mode, eOutOfMemory when the index cannot grow (the index is then
// dropped rather than left incomplete). Both are eOk without effect while no index is built.
KXDB_EXPORT Acad::ErrorStatus addToIndex(const AcDbEntity* entity);
KXDB_EXPORT Acad::ErrorStatus removeFromIndex(const AcDbEntity* entity);

// The entities indexed under an entity index (cleared first; empty when none or not built).
KXDB_EXPORT void findIds(Adesk::Int32 index, AcDbObjectIdArray& ids);
KXDB_EXPORT void findEntities(Adesk::Int32 index, AcArray<AcDbEntity*>& entities);
KXDB_EXPORT int indexedCount();

// Empties the index and invalidates it (the watcher stays).
KXDB_EXPORT void clearIndex();
// Clears the index when it is in pointer mode for that image: its entities are being deleted.
KXDB_EXPORT void clearIndexFor(const AcDbBlockReference* image);

// The watcher: on the block as object reactor, on its database as database reactor.
// eInvalidInput for an invalid id; watching the block already does nothing.
KXDB_EXPORT Acad::ErrorStatus attachWatcher(AcDbObjectId blockId);
KXDB_EXPORT void detachWatcher();
KXDB_EXPORT AcDbObjectId watchedBlock();

// While one of these lives, changes to the indexed block are the module's own and do not drop
// the index (the code making them keeps it current with addToIndex/removeFromIndex).
class KXDB_EXPORT OwnEditScope {
  public:
    OwnEditScope();
    ~OwnEditScope();
    OwnEditScope(const OwnEditScope&) = delete;
    OwnEditScope& operator=(const OwnEditScope&) = delete;
};

// True when the root data knows a graph for the block holding at least one node that is not a
// block proxy node; false for the null id or when the graph cannot be opened.
KXDB_EXPORT bool isDynamicBlockDefinition(AcDbObjectId blockId);

// The history of a reference that is in no database. The module never records one, so it is an
// empty chain (null) and eOk; the caller releases what it gets.
KXDB_EXPORT Acad::ErrorStatus substituteHistory(resbuf*& chain);

// Called once at unload: detaches the watcher from its block and database, clears the index and
// frees the module-wide substitute records, so that no host callback reaches unloaded code.
KXDB_EXPORT void releaseModuleCaches();

}  // namespace kxindex
