// A record that keeps a representation block from being purged.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/representation/representation_data.h"

class KXDB_EXPORT KxDbTagPurgePreventer : public KxDbTagRepresentationData {
    KX_DECLARE_PAIR(KxDbTagPurgePreventer, KxDbTagRepresentationData)
};
