// The extended-data tags that tie representation blocks and their entities back to the block
// definition they were made from.
//
// - Block tag, on a representation block record: 1001 "AcDbBlockRepBTag", 1070 1, 1005 handle of
//   the definition block record ("0" for none).
// - Entity tag, on every entity of a definition and of its representation blocks:
//   1001 "AcDbBlockRepETag", 1070 1, 1071 entity index, 1005 handle of the definition entity
//   ("0" for an attribute definition).
// - Next-index tag, on a definition block record: 1001 "AcDbBlockRepETag", 1070 1, 1071 next free
//   entity index.
//
// Representation entities are matched to definition entities by the entity index only: copies
// between drawings translate the 1005 handle, so it cannot be trusted to name the definition
// entity once a representation block has been cloned.
#pragma once

#include "host/db/dbobject.h"
#include "module/frame/export.h"

class AcDbBlockTableRecord;
class AcDbEntity;

namespace kxtags {

inline constexpr const ACHAR* kBlockTagApp = L"AcDbBlockRepBTag";
inline constexpr const ACHAR* kEntityTagApp = L"AcDbBlockRepETag";
// A null entity handed to the entity-tag functions.
inline constexpr Acad::ErrorStatus kNullEntity = static_cast<Acad::ErrorStatus>(20);

// --- Block tag -------------------------------------------------------------------------------

// Writes the block tag naming `definitionId` (null: "0") on a block open for write.
// eNullObjectPointer for a null block; setXData's status otherwise.
KXDB_EXPORT Acad::ErrorStatus writeBlockTag(AcDbObject* block, const AcDbObjectId& definitionId);
// Reads the block tag: eNullObjectPointer for a null block, eInvalidKey when the block has no tag
// or a malformed one. `definitionId` is the null id for a "0" handle or one that names no object
// of the block's database.
KXDB_EXPORT Acad::ErrorStatus readBlockTag(const AcDbObject* block, AcDbObjectId& definitionId);
// True when the block carries a well-formed block tag.
KXDB_EXPORT bool hasBlockTag(const AcDbObject* block);

// --- Entity tags -----------------------------------------------------------------------------

// Writes the entity tag on an object open for write: kNullEntity for a null object, eInvalidKey
// for a negative index.
KXDB_EXPORT Acad::ErrorStatus writeEntityTag(AcDbObject* entity, Adesk::Int32 index,
                                             const AcDbHandle& definitionEntity);
// Reads the entity tag: kNullEntity for a null object, eInvalidKey when it has no tag, a
// malformed one (a next-index tag without handle included) or a negative index.
KXDB_EXPORT Acad::ErrorStatus readEntityTag(const AcDbObject* entity, Adesk::Int32& index,
                                            AcDbHandle& definitionEntity);
// Gives `to` (open for write) the entity tag of `from`; statuses as readEntityTag/writeEntityTag.
KXDB_EXPORT Acad::ErrorStatus copyEntityTag(const AcDbObject* from, AcDbObject* to);
// Removes the entity tag (a no-op when there is none).
KXDB_EXPORT Acad::ErrorStatus removeEntityTag(AcDbObject* entity);

// --- Next-index tag --------------------------------------------------------------------------

KXDB_EXPORT Acad::ErrorStatus writeNextIndexTag(AcDbObject* block, Adesk::Int32 nextIndex);
// eInvalidKey when the block has no (well-formed, non-negative) next-index tag.
KXDB_EXPORT Acad::ErrorStatus readNextIndexTag(const AcDbObject* block, Adesk::Int32& nextIndex);

// --- Tagging a definition --------------------------------------------------------------------

// Gives every live entity of the definition block a tag of its own: an entity keeps its tag when
// the tag names the entity itself (or it is an attribute definition) and its index is not used
// by an earlier entity; every other entity gets a fresh index above every index in use. The
// next-index tag written on the block ends above every index used. Running it again changes
// nothing. Entities on locked layers are tagged too.
KXDB_EXPORT Acad::ErrorStatus tagDefinition(const AcDbObjectId& definitionId);

}  // namespace kxtags
