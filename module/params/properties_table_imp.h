// The implementation of KxDbTagPropertiesTable.
#pragma once

#include "module/params/block_1pt_tag_imp.h"
#include "module/params/properties_table.h"

class KxDbImpTagPropertiesTable : public KxDbImpBlock1PtTag {
    KX_DECLARE_IMP(KxDbImpTagPropertiesTable, KxDbImpBlock1PtTag)
};
