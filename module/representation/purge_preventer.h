// A record that keeps a representation block from being purged. It holds what its base holds,
// but the purge filer sees nothing of it (so the block it points at is not kept alive through
// it by a purge), and in DXF only its version is written.
#pragma once

#include "module/frame/pair_macros.h"
#include "module/representation/representation_data.h"

class KXDB_EXPORT KxDbTagPurgePreventer : public KxDbTagRepresentationData {
    KX_DECLARE_PAIR(KxDbTagPurgePreventer, KxDbTagRepresentationData)
};
