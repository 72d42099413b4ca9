// Small helpers of the representation code: the lookups shared by the protocol extension and
// the representation context.
#pragma once

#include "host/db/blocktablerecord.h"
#include "host/db/dbobject.h"
#include "host/entities/blockref.h"
#include "host/entities/entity.h"
#include "module/frame/opened.h"

namespace kxrep {

using kxframe::Opened;

// The source definition recorded in the root data for a database-resident reference.
bool recordedSourceDefinition(const AcDbBlockReference* ref, AcDbObjectId& definitionId);
// Records (null: clears) the source definition of a database-resident reference.
Acad::ErrorStatus recordSourceDefinition(const AcDbBlockReference* ref,
                                         const AcDbObjectId& definitionId);
// True when the block holds a live proxy entity.
bool blockHasProxyEntities(const AcDbObjectId& blockId);

}  // namespace kxrep
