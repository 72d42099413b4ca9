// Entities: database objects that live in a block and are drawn.
#pragma once

#include "host/db/dbobject.h"

class AcDbEntity : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbEntity);
};
