// The implementation of KxDbTagRepresentationContext.
#pragma once

#include "host/core/array.h"
#include "host/db/objectid.h"

class AcDbBlockReference;

class KxDbImpTagRepresentationContext {
  public:
    explicit KxDbImpTagRepresentationContext(AcDbBlockReference* ref) : m_ref(ref) {}

    AcDbBlockReference* m_ref;
    bool m_changed = false;
    bool m_unique = false;
    bool m_touched = false;
    // The change made through the context failed: it is never offered for sharing.
    bool m_failed = false;
    bool m_restrictionsComputed = false;
    bool m_proxyEntities = false;
    bool m_secondRestriction = false;
    // What making the representation unique did, so a failed change can be taken back.
    AcDbObjectId m_formerBlock;
    AcDbObjectId m_createdBlock;
    bool m_recordedSource = false;
    // Scratch list of the ids standing for one definition entity, kept for its storage.
    AcDbObjectIdArray m_ids;
    bool m_idsInUse = false;
};
