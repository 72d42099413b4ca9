// The implementation of KxDbTagRefContext.
#pragma once

#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "module/representation/ref_context.h"
#include "module/rootdata/root_data.h"

class KxDbTagGrip;
class KxDbTagRepresentationContext;

class KxDbImpTagRefContext {
  public:
    KxDbImpTagRefContext(KxDbTagRefContext* pub, const ACHAR* key);
    ~KxDbImpTagRefContext();
    KxDbImpTagRefContext(const KxDbImpTagRefContext&) = delete;
    KxDbImpTagRefContext& operator=(const KxDbImpTagRefContext&) = delete;

    Acad::ErrorStatus bind(AcDbBlockReference* ref);
    Acad::ErrorStatus bindStatus() const { return m_bindStatus; }
    bool isBound();
    bool isBoundAndUniform();
    bool definitionHasProxyEntities();
    bool hasSecondRestriction();

    AcDbBlockReference* blockReference() const { return m_ref; }
    const AcString& key() const { return m_key; }
    AcDbObjectId definitionId() const { return m_definitionId; }
    KxDbTagEvalGraph* graphCopy();
    KxDbTagEvalContext* evaluationContext();

    Acad::ErrorStatus listGrips(KxNodeIdArray& ids);
    Acad::ErrorStatus getNode(KxNodeId id, KxDbTagEvalExpr*& node);
    Acad::ErrorStatus getNodeIds(KxNodeIdArray& ids);
    Acad::ErrorStatus listParameters(KxDbTagParameterList& params);
    Acad::ErrorStatus getPropertyValue(const KxDbTagParameterEntry& entry, const ACHAR* name,
                                       bool identity, KxDbTagEvalVariant& value);
    Acad::ErrorStatus getPropertyDescriptions(const KxDbTagParameterEntry& entry,
                                              KxDbBlockPropertyDescArray& descs);

    Acad::ErrorStatus activateNode(KxNodeId id);
    KxNodeId activeNode() const { return m_activeNode; }
    const KxNodeIdArray& activatedIds() const { return m_activatedIds; }
    Acad::ErrorStatus setValue(const ACHAR* name, const KxDbTagEvalVariant& value, bool asProperty);
    Acad::ErrorStatus evaluateChange();

    Acad::ErrorStatus applyRecords(const ACHAR* kindSuffix, KxNodeIdArray& received);
    Acad::ErrorStatus writeRecords();
    Acad::ErrorStatus readHistory(resbuf*& chain) const;
    Acad::ErrorStatus replayHistory(const resbuf* chain);
    Acad::ErrorStatus replayProperties(const ACHAR* kindSuffix);
    Acad::ErrorStatus rebuildFromRecords();

  private:
    // Drops the copy, the evaluation context and every cached value (the binding stays).
    void resetCopy();
    void resetTransient();
    // Clones the definition graph once per binding and checks every node of the copy.
    Acad::ErrorStatus prepareCopy();
    // Prepares the copy and, once, applies the stored instance data of the kind and replays the
    // nodes that evaluate on load.
    Acad::ErrorStatus loadRecords();
    Acad::ErrorStatus loadRecordsOfKind(const ACHAR* kindSuffix);
    Acad::ErrorStatus buildEvalContext();
    Acad::ErrorStatus evaluateCopy(int mode);
    Acad::ErrorStatus applyEntries(const ACHAR* kindSuffix, KxNodeIdArray& received);
    // The value to record for the change just evaluated; `empty` when it moved nothing.
    Acad::ErrorStatus historyValue(KxDbTagEvalVariant& value, bool& empty);
    // Replaces the reference's data entries with the instance data of the copy's elements.
    // `anyInstance` and `anyHistory` report what the elements keep.
    Acad::ErrorStatus collectState(bool& anyInstance, bool& anyHistory);
    Acad::ErrorStatus rewriteDataEntries();
    Acad::ErrorStatus storeHistory(const resbuf* chain);
    AcDbDatabase* recordDatabase() const;
    AcDbObjectId referenceId() const;
    // The reference whose records apply: the reference itself, or for a drag image the database
    // reference it was made from.
    AcDbObjectId recordReferenceId() const;
    // Whether the grip is to be offered (see listGrips).
    Acad::ErrorStatus isGripOffered(const KxDbTagGrip* grip, bool& offered);
    void cacheRestrictions();

    KxDbTagRefContext* m_pub;
    bool m_bound = false;
    bool m_unusable = false;
    bool m_dataLoaded = false;
    bool m_restrictionsCached = false;
    bool m_secondRestriction = false;
    bool m_proxyEntities = false;
    KxNodeId m_activeNode = 0;
    AcDbBlockReference* m_ref = nullptr;
    AcString m_key;
    AcDbObjectId m_definitionId;
    AcDbObjectId m_graphId;
    KxDbTagEvalGraph* m_copy = nullptr;
    KxDbTagRepresentation* m_representation = nullptr;
    KxDbTagRepresentationContext* m_repContext = nullptr;
    KxDbTagEvalContext* m_evalContext = nullptr;
    AcGeMatrix3d m_blockTransform;
    KxDbTagEvalVariant m_lastValue;
    AcString m_lastName;
    AcGePoint3d m_previousLocation;
    KxNodeIdArray m_nodeIds;
    KxNodeIdArray m_activatedIds;
    Acad::ErrorStatus m_bindStatus = Acad::eOk;
};
