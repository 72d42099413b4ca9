// The implementation of KxDbTagElement, the base of the implementations of parameters, actions
// and grips: the name, the state flag, the versions, the display flag, the instance-data header,
// and the generic part of the connection protocol that subclasses build their connections on.
#pragma once

#include <map>

#include "host/core/acstring.h"
#include "host/ge/point3d.h"
#include "module/graph/element.h"
#include "module/graph/eval_connectable_imp.h"

// The sources feeding one input connection, ordered by node id: source node id -> the source's
// connection name. A node feeds an input at most once.
typedef std::map<KxNodeId, AcString> KxConnectionMap;

class KXDB_EXPORT KxDbImpTagElement : public KxDbImpTagEvalConnectable {
    KX_DECLARE_IMP(KxDbImpTagElement, KxDbImpTagEvalConnectable)

    // "Unknown" markers of the read version and of the instance-data version.
    static constexpr Adesk::Int32 kUnknownVersion = 254;
    static constexpr Adesk::Int32 kUnknownMaint = 2147483646;

    KxDbTagElement* element() const { return static_cast<KxDbTagElement*>(publicObject()); }

    // Connection protocol. The base has no connections: eNotImplementedYet, or false.
    virtual Acad::ErrorStatus getConnectionNames(AcStringArray& names) const;
    virtual bool hasConnection(const ACHAR* name) const;
    virtual Acad::ErrorStatus getConnectionType(const ACHAR* name, AcDb::DwgDataType& kind) const;
    virtual Acad::ErrorStatus getConnectionValue(const ACHAR* name,
                                                 KxDbTagEvalVariant& value) const;
    virtual Acad::ErrorStatus connectTo(const ACHAR* name, KxNodeId otherId,
                                        const ACHAR* otherName);
    virtual Acad::ErrorStatus disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                             const ACHAR* otherName);
    virtual bool canConnectTo(const ACHAR* name, KxNodeId otherId, const ACHAR* otherName) const;
    virtual Acad::ErrorStatus getConnectedNodes(const ACHAR* name, KxNodeIdArray& ids) const;
    virtual Acad::ErrorStatus getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                                      AcStringArray& names) const;

    // Node hooks: being added to a graph, losing a neighbour and gaining an edge clear the state
    // flag (subclasses recompute it in clearElementStateFlag).
    Acad::ErrorStatus addedToGraph(KxDbTagEvalGraph* graph) override;
    Acad::ErrorStatus nodeRemoved(KxNodeId id) override;
    Acad::ErrorStatus edgeAdded(KxNodeId sourceId, KxNodeId targetId, bool bidirectional) override;

    // Element operations.
    virtual AcString getName() const { return m_name; }
    virtual Acad::ErrorStatus setName(const ACHAR* name);
    virtual Acad::ErrorStatus clearElementStateFlag();
    virtual Adesk::Int32 elementStateFlag() const { return m_stateFlag; }
    // setInstanceData with the option that makes the values current.
    virtual Acad::ErrorStatus applyInstanceData(const resbuf*& cursor);
    // Reads the header and leaves the cursor after it; subclasses call this first and then read
    // their own items from the cursor. A chain without a header is data of the oldest layout
    // (version 25.67) and is left whole.
    virtual Acad::ErrorStatus setInstanceData(const resbuf*& cursor, int option);
    virtual Adesk::Int32 instanceDataVersionMajor() const { return m_instVersionMajor; }
    virtual Adesk::Int32 instanceDataVersionMinor() const { return m_instVersionMinor; }
    virtual bool hasInstanceData() const { return false; }
    // Builds the header; subclasses call this first and append their own items.
    virtual Acad::ErrorStatus getInstanceData(resbuf*& chain) const;
    virtual void setDisplayFlag(Adesk::Int32 flag) { m_displayFlag = flag; }
    virtual Adesk::Int32 displayFlag() const { return m_displayFlag; }
    virtual Acad::ErrorStatus getGripPoints(AcGePoint3dArray& points) const { return Acad::eOk; }
    virtual Acad::ErrorStatus moveGripPointsAt(const AcDbIntArray& indices,
                                               const AcGeVector3d& offset) {
        return Acad::eOk;
    }
    virtual Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) { return Acad::eOk; }
    virtual bool wantsHistory() const { return false; }
    virtual int historyMergeMode() const { return 2; }

    // The write side of the state flag.
    void setElementStateFlag(Adesk::Int32 flag);
    // True when the element was read with a known version later than 25 maintenance `maint`.
    // Filing readers choose old layouts with it; an element that was never read, or whose record
    // carried no version, answers false.
    bool isReadVersionAfter(Adesk::Int32 maint) const;
    Adesk::Int32 readVersion() const { return m_readVersion; }
    Adesk::Int32 readMaintenanceVersion() const { return m_readMaint; }
    // The two hashes of the drawing-format name of this element's class that open its instance
    // data.
    void instanceDataHashes(Adesk::Int32& forward, Adesk::Int32& backward) const;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  protected:
    // Runs clearElementStateFlag with the element write-enabled: an element told about a graph
    // change is usually open for notify or read only, so it is upgraded for the moment and put
    // back as it was.
    Acad::ErrorStatus clearStateFlagForTheMoment();

    // --- The generic connection protocol, over the map of one input connection ---
    // The checks of a connection from the source's `sourceName` into the own input `name`: both
    // node ids set (else 450); the source an element that has that connection with the same value
    // kind as the own input (else eInvalidInput); the source not already feeding the input (else
    // eIllegalReplacement). Nothing changes.
    Acad::ErrorStatus checkInputConnection(const ACHAR* name, KxNodeId sourceId,
                                           const ACHAR* sourceName,
                                           const KxConnectionMap& inputs) const;
    // The checks, then the graph edge source -> this node (an existing edge counts), then the
    // entry in `inputs`.
    Acad::ErrorStatus connectInput(const ACHAR* name, KxNodeId sourceId, const ACHAR* sourceName,
                                   KxConnectionMap& inputs);
    // Removes the entry of the source (eInvalidInput when the input holds no such pair; names
    // compare without regard to case) and the graph edge source -> this node.
    Acad::ErrorStatus disconnectInput(KxNodeId sourceId, const ACHAR* sourceName,
                                      KxConnectionMap& inputs);
    // Appends the source ids of the input that `ids` does not hold yet.
    static void appendConnectedNodes(const KxConnectionMap& inputs, KxNodeIdArray& ids);
    // Appends the connection name through which `nodeId` feeds the input, if it does.
    static void appendConnectedConnections(const KxConnectionMap& inputs, KxNodeId nodeId,
                                           AcStringArray& names);
    // Graph edges added and removed on behalf of this element: the owner graph is opened for
    // write, and this element, when database resident and open for write, is downgraded to
    // notify around the graph call so that the notifications the graph sends can open it. An edge
    // that already exists counts as added; an edge already gone counts as removed.
    Acad::ErrorStatus addGraphEdge(KxNodeId sourceId, KxNodeId targetId,
                                   bool bidirectional = false);
    Acad::ErrorStatus removeGraphEdge(KxNodeId sourceId, KxNodeId targetId);
    // Opens a node of the owner graph. For this element's own id the element itself is handed
    // out without an open, and `opened` is false (the caller must not close it).
    Acad::ErrorStatus openGraphNode(KxNodeId id, AcDb::OpenMode mode, KxDbTagEvalExpr*& node,
                                    bool& opened) const;

  private:
    AcString m_name;
    Adesk::Int32 m_stateFlag = 0;
    Adesk::Int32 m_readVersion = kUnknownVersion;
    Adesk::Int32 m_readMaint = kUnknownMaint;
    Adesk::Int32 m_instVersionMajor = kUnknownVersion;
    Adesk::Int32 m_instVersionMinor = kUnknownMaint;
    Adesk::Int32 m_displayFlag = 1;
};

// Instance data chains: readers walk a chain through a cursor and never free items (the owner of
// the chain releases it once); builders make new chains.
namespace kxinst {
// Each reader checks that the cursor names an item of group code `code` (eInvalidInput
// otherwise, with the cursor and the value unchanged), takes its value and moves the cursor past
// it. Text comes out as a copy.
KXDB_EXPORT Acad::ErrorStatus readInt16(const resbuf*& cursor, int code, Adesk::Int16& value);
KXDB_EXPORT Acad::ErrorStatus readInt32(const resbuf*& cursor, int code, Adesk::Int32& value);
KXDB_EXPORT Acad::ErrorStatus readReal(const resbuf*& cursor, int code, double& value);
KXDB_EXPORT Acad::ErrorStatus readPoint(const resbuf*& cursor, int code, AcGePoint3d& value);
KXDB_EXPORT Acad::ErrorStatus readText(const resbuf*& cursor, int code, AcString& value);

// Builds a chain item by item. Appending after a failure does nothing; the first failure stays
// in status(). A chain not released is freed with the builder.
class KXDB_EXPORT ChainBuilder {
  public:
    ChainBuilder() = default;
    // Continues an existing chain, taking it over.
    explicit ChainBuilder(resbuf* chain);
    ~ChainBuilder();
    ChainBuilder(const ChainBuilder&) = delete;
    ChainBuilder& operator=(const ChainBuilder&) = delete;

    ChainBuilder& int16(int code, Adesk::Int16 value);
    ChainBuilder& int32(int code, Adesk::Int32 value);
    ChainBuilder& real(int code, double value);
    ChainBuilder& point(int code, const AcGePoint3d& value);
    ChainBuilder& text(int code, const ACHAR* value);

    Acad::ErrorStatus status() const { return m_status; }
    // Hands the chain over (null after a failure, whose partial chain is freed).
    resbuf* release();

  private:
    resbuf* append(int code);
    resbuf* m_head = nullptr;
    resbuf* m_tail = nullptr;
    Acad::ErrorStatus m_status = Acad::eOk;
};
}  // namespace kxinst
