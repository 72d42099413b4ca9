// Cloning objects within and between drawings, and the commands that do it the way the host's
// own commands do, firing the event reactors around each clone.
//
// Object level (AcDbObject::deepClone / wblockClone): the object is cloned for its owner (an
// object; for wblockClone also a database, or null for the map's destination), its owned objects
// go along, every pair is recorded in the id map, and the clones still carry the source's ids
// until the map is translated. The clone comes back open for write: the caller closes it. An id
// that the map already holds as cloned answers that clone (opened for write again). A class
// without a pseudo-constructor cannot be cloned (eNotApplicable). No event reactor is told.
// Entities cloned for a block are appended to it and records cloned for a symbol table are added
// to it. A record whose name the table has already is not cloned when it is a named record and
// the map's record cloning neither mangles names: the pair maps the source to the record there
// (not cloned) and the call answers eOk with no clone. Anonymous blocks get a fresh anonymous
// name; mangling gives "$<n>$name". A block reference cloned into another drawing brings the
// block it points at (and its entities) unless the map has that block already.
//
// Database level (AcDbDatabase::deepCloneObjects / wblockCloneObjects and the commands below):
//   1. the map gets its source and destination drawings and its context (the call's default
//      unless the caller set one), and beginDeepClone is sent;
//   2. each object asked for is cloned as a primary object for the owner;
//   3. beginDeepCloneXlation is sent: reactors may clone more objects into the same map with
//      the object-level calls; a status other than eOk through the pointer aborts;
//   4. every pair marked cloned (those added in step 3 included) is translated;
//   5. endDeepClone is sent.
// Any failure sends abortDeepClone instead of the later steps, erases the clones the map holds
// (they would otherwise stay in the destination half made, pointing into the source) and returns
// the failure. With deferXlation, steps 3-5 wait for a later call on the same map without it, so
// several calls share one round of notifications.
#pragma once

#include "host/db/database.h"
#include "host/db/idmapping.h"

namespace kxhost {

// The translation pass alone: every pair marked cloned has its clone filed out and in through an
// id-translation filer, which maps each id read: a key of the map becomes its value; other ids
// stay when they are of the clone's own drawing and become null when they are of another. Owner
// ids, persistent reactors, extension dictionaries and the ids in xrecord chains (330-369) go
// through the same filer. Extended-data handles (1005) naming a cloned object of the source
// drawing become the handle of its clone; other handles are kept. Pairs assigned as not cloned
// only serve for the mapping. Returns the first failure; the other pairs are still translated.
Acad::ErrorStatus translateClonedIds(const AcDbIdMapping& idMap);

// True for the contexts whose clones go through wblockClone (xref bind, wblock, xref insert,
// wblock of objects); the others use deepClone.
bool isWblockContext(AcDb::DeepCloneType context);

// Runs a whole clone operation (see above) in the given context: wblock or deep cloning by the
// context. The objects must all be of one drawing; the owner may be of any drawing.
Acad::ErrorStatus cloneObjectsInContext(AcDb::DeepCloneType context, const AcDbObjectIdArray& ids,
                                        AcDbObjectId ownerId, AcDbIdMapping& idMap);

// Commands, each on a fresh map (the map's context is set to the command's own):
// COPY (kDcCopy): clones of the objects for the owner, in the same drawing.
Acad::ErrorStatus copyObjects(const AcDbObjectIdArray& ids, AcDbObjectId ownerId,
                              AcDbIdMapping& idMap);
// Paste (kDcInsertCopy): clones of objects of one drawing for an owner in another.
Acad::ErrorStatus pasteObjects(const AcDbObjectIdArray& ids, AcDbObjectId ownerId,
                               AcDbIdMapping& idMap);
// XREF BIND (kDcXrefBind): wblock clones of objects of an attached drawing for an owner in the
// drawing that binds them.
Acad::ErrorStatus bindXrefObjects(const AcDbObjectIdArray& ids, AcDbObjectId ownerId,
                                  AcDbIdMapping& idMap);
// EXPLODE (kDcExplode): the entities of the reference's block are cloned into the block the
// reference lives in, moved by the reference's block transform, and the reference is erased.
// A transform an entity cannot take aborts the round.
Acad::ErrorStatus explodeReference(AcDbObjectId referenceId, AcDbIdMapping& idMap);
// BLOCK (kDcBlock): a new block of that name in the entities' drawing holds clones of them (the
// entities themselves stay). A failed round erases the new block.
Acad::ErrorStatus makeBlock(const AcDbObjectIdArray& entityIds, const ACHAR* blockName,
                            AcDbObjectId& blockId, AcDbIdMapping& idMap);
// INSERT of a drawing (kDcInsert, deep clones) and XREF insert (kDcXrefInsert, wblock clones):
// a new block of that name in `dest` holds clones of the model space entities of `source`; the
// blocks their references point at come along. A failed round erases the new block.
Acad::ErrorStatus insertDrawing(AcDbDatabase* source, AcDbDatabase* dest, const ACHAR* blockName,
                                AcDbObjectId& blockId, AcDbIdMapping& idMap);
Acad::ErrorStatus insertXrefDrawing(AcDbDatabase* source, AcDbDatabase* dest,
                                    const ACHAR* blockName, AcDbObjectId& blockId,
                                    AcDbIdMapping& idMap);
// WBLOCK into a new drawing (kDcWblock): a new database (no document; the caller deletes it)
// whose model space holds wblock clones of the entities. Null when the round fails.
Acad::ErrorStatus wblockToNewDrawing(const AcDbObjectIdArray& entityIds, AcDbDatabase*& newDb,
                                     AcDbIdMapping& idMap);

}  // namespace kxhost
