// The implementation of KxDbTagGrip: the ids of the two expression nodes, the locations, the
// insertion cycling settings, the grip connections and the filing of every grip.
#pragma once

#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"
#include "module/graph/element_imp.h"
#include "module/grips/grip.h"

class KxDbTagGripExpr;

class KXDB_EXPORT KxDbImpTagGrip : public KxDbImpTagElement {
    KX_DECLARE_IMP(KxDbImpTagGrip, KxDbImpTagElement)

    // A grip with a name (given to the element) whose updated location, fallback position and
    // location are the point.
    KxDbImpTagGrip(AcDbObjectWrapper* pub, const ACHAR* name, const AcGePoint3d& point);

    KxDbTagGrip* grip() const { return static_cast<KxDbTagGrip*>(publicObject()); }

    virtual AcGePoint3d gripPosition() const;
    virtual Acad::ErrorStatus setGripPosition(const AcGePoint3d& point);
    virtual AcGePoint3d updatedLocation() const;
    virtual Acad::ErrorStatus setUpdatedLocation(const AcGePoint3d& point);
    virtual AcGeVector3d offsetFromParameterPoint() const;
    virtual AcGeVector3d gripOffset() const;
    virtual AcGePoint3d location() const;
    virtual Acad::ErrorStatus setLocation(const AcGePoint3d& point);
    virtual bool insertionCycling() const;
    virtual Acad::ErrorStatus setInsertionCycling(bool flag);
    virtual Adesk::Int32 insertionCyclingWeight() const;
    virtual Acad::ErrorStatus setInsertionCyclingWeight(Adesk::Int32 weight);
    virtual Acad::ErrorStatus fillGripData(AcDbGripData* data);
    // Creates the two expression nodes in the graph (which is open for write: the graph is
    // adding this grip), then does the element's own step.
    virtual Acad::ErrorStatus addExpressionNodes(KxDbTagEvalGraph* graph);
    // Removes the expression nodes from the graph, keeping their last values as the fallback
    // position, then does the inherited step.
    virtual Acad::ErrorStatus removeExpressionNodes(KxDbTagEvalGraph* graph);
    virtual Acad::ErrorStatus gripIndex(int& index) const;
    virtual AcGePoint3d expressionPosition() const;

    Acad::ErrorStatus openParameter(KxDbBlockTag*& param,
                                    AcDb::OpenMode mode = AcDb::kForRead) const;
    AcGePoint3d parameterPoint() const;
    KxNodeId xExpressionId() const { return m_xId; }
    KxNodeId yExpressionId() const { return m_yId; }
    AcGePoint3d fallbackPosition() const { return m_fallback; }

    // Connections.
    Acad::ErrorStatus getConnectionNames(AcStringArray& names) const override;
    bool hasConnection(const ACHAR* name) const override;
    Acad::ErrorStatus getConnectionType(const ACHAR* name, AcDb::DwgDataType& kind) const override;
    Acad::ErrorStatus getConnectionValue(const ACHAR* name,
                                         KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus connectTo(const ACHAR* name, KxNodeId otherId,
                                const ACHAR* otherName) override;
    Acad::ErrorStatus disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                     const ACHAR* otherName) override;
    bool canConnectTo(const ACHAR* name, KxNodeId otherId, const ACHAR* otherName) const override;

    // Graph hooks: joining a graph creates the expression nodes and leaving it removes them
    // (an in-memory graph moving into a database still holds the grip: nothing is removed).
    // Being copied along with a graph (setOwnerGraph, attachToGraph) keeps the inherited
    // behaviour: the copy's expression nodes are copies too, and the ids filed with the grip
    // already name them.
    Acad::ErrorStatus addedToGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus removedFromGraph(KxDbTagEvalGraph* graph) override;
    // A successful evaluation puts the grip offset back onto the updated location.
    void evaluationSucceeded(bool isActive) override;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    // Opens a source node for a look at it: for read, or for notify when an enclosing caller
    // holds it open (the parameter wiring its grips). `opened` false: the grip itself, not to
    // be closed.
    Acad::ErrorStatus openSource(KxNodeId sourceId, KxDbTagEvalExpr*& source, bool& opened) const;
    // The checks every grip type makes before it connects its "X"/"Y": a node id and a source id
    // (450), a non-empty source connection offering a real value (eInvalidInput).
    Acad::ErrorStatus checkSource(KxNodeId sourceId, const ACHAR* sourceName) const;
    // Opens the source node through the graph and tests its class with `accepts`: eInvalidInput
    // for another class, the open status when it cannot be opened.
    Acad::ErrorStatus checkSourceClass(KxNodeId sourceId, bool (*accepts)(const AcRxObject*)) const;

  private:
    KxNodeId m_xId = 0;
    KxNodeId m_yId = 0;
    AcGePoint3d m_updatedLocation;
    AcGePoint3d m_fallback;
    AcGePoint3d m_location;
    bool m_insertionCycling = false;
    Adesk::Int32 m_weight = -1;
};
