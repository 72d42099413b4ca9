// How the representation reaches the private entity copies of a drag image (a block reference
// in no database), which the drawable overrule keeps in place of a block.
#pragma once

#include <vector>

#include "host/db/objectid.h"

class AcDbBlockReference;
class AcDbEntity;

namespace kxdrag {

// The database reference the drag image was made from, or the null id.
AcDbObjectId sourceReferenceOf(const AcDbBlockReference* image);
// The drag image's copies, made on first request. The overrule keeps owning them.
Acad::ErrorStatus entitiesOf(const AcDbBlockReference* image, std::vector<AcDbEntity*>& entities);
// Makes the drag image's copies unless they exist already (without listing them).
Acad::ErrorStatus ensureEntities(const AcDbBlockReference* image);
// Appends a new entity to the copies; on success the overrule owns it.
Acad::ErrorStatus append(const AcDbBlockReference* image, AcDbEntity* entity);
// Takes the entity out of the copies; on success it is the caller's to delete.
Acad::ErrorStatus remove(const AcDbBlockReference* image, AcDbEntity* entity);

}  // namespace kxdrag
