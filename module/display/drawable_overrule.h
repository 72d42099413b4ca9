// Draws block references being dragged from private copies of their entities.
#pragma once

#include "host/gi/drawable.h"
#include "module/frame/export.h"

class KXDB_EXPORT KxGiNimbleBlockDrawableOverrule : public AcGiDrawableOverrule {
  public:
    ACRX_DECLARE_MEMBERS(KxGiNimbleBlockDrawableOverrule);
};
