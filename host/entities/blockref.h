// Block references: an insertion of a block's entities under a transform.
#pragma once

#include "host/entities/entity.h"

class AcDbBlockReference : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbBlockReference);
};

// A block reference repeated in rows and columns.
class AcDbMInsertBlock : public AcDbBlockReference {
  public:
    ACRX_DECLARE_MEMBERS(AcDbMInsertBlock);
};
