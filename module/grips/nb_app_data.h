// Application data of one grip record offered on a block reference.
//
// The grip overrule puts one of these into every grip record it hands to the host: it names the
// grip node of the definition's graph and the block reference the grip belongs to, and carries
// what the grip's callbacks need between the host's calls (where the grip was drawn, the block
// transform at that time, the glyph direction, the alignment found by the input-point filter).
// The overrule owns these objects and frees them when the host deletes the grips.
#pragma once

#include "host/core/array.h"
#include "host/db/objectid.h"
#include "host/ge/matrix3d.h"
#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"
#include "host/rx/rxobject.h"
#include "module/frame/export.h"
#include "module/graph/node_types.h"

class AcDbDimData;

typedef AcArray<AcDbDimData*> KxDbDimDataPtrArray;

class KXDB_EXPORT KxDbNimbleBlockNBAppData : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbNimbleBlockNBAppData);

    // Grip index before the overrule has asked the grip: no index a parameter hands out.
    static constexpr int kNoGripIndex = 4;

    KxDbNimbleBlockNBAppData(KxNodeId gripId, const AcDbObjectId& referenceId);
    // Frees the list of dimension records (the records belong to whoever made them).
    ~KxDbNimbleBlockNBAppData() override;
    KxDbNimbleBlockNBAppData(const KxDbNimbleBlockNBAppData&) = delete;
    KxDbNimbleBlockNBAppData& operator=(const KxDbNimbleBlockNBAppData&) = delete;

    KxNodeId gripId() const { return m_gripId; }
    const AcDbObjectId& referenceId() const { return m_referenceId; }

    // Dynamic dimensions made for this grip; null until the first is added.
    KxDbDimDataPtrArray* dimensions() const { return m_dimensions; }
    // Adds a record once; false when it is null, already listed or the list cannot be made.
    bool addDimension(AcDbDimData* dimension);
    // Forgets every record (without freeing them).
    void clearDimensions();

    // The grip's position in definition coordinates when the grips were made.
    const AcGePoint3d& definitionPosition() const { return m_definitionPosition; }
    void setDefinitionPosition(const AcGePoint3d& point) { m_definitionPosition = point; }

    // A world point the drag is measured from instead of the grip itself (polar and rotation
    // grips).
    bool hasAlternateBasePoint() const { return m_hasAlternateBasePoint; }
    const AcGePoint3d& alternateBasePoint() const { return m_alternateBasePoint; }
    void setAlternateBasePoint(const AcGePoint3d& point) {
        m_alternateBasePoint = point;
        m_hasAlternateBasePoint = true;
    }

    // What the alignment input-point filter found.
    bool alignmentFound() const { return m_alignmentFound; }
    void setAlignmentFound(bool found) { m_alignmentFound = found; }
    const AcGeVector3d& alignmentDisplacement() const { return m_alignmentDisplacement; }
    void setAlignmentDisplacement(const AcGeVector3d& v) { m_alignmentDisplacement = v; }
    const AcGeVector3d& alignmentTargetDirection() const { return m_alignmentTargetDirection; }
    void setAlignmentTargetDirection(const AcGeVector3d& v) { m_alignmentTargetDirection = v; }

    // Glyph direction in definition coordinates; degenerate when the grip had none and the X
    // axis stands in.
    const AcGeVector3d& direction() const { return m_direction; }
    void setDirection(const AcGeVector3d& v) { m_direction = v; }
    bool isDirectionDegenerate() const { return m_degenerateDirection; }
    void setDirectionDegenerate(bool degenerate) { m_degenerateDirection = degenerate; }

    // The reference's normal, normalised.
    const AcGeVector3d& normal() const { return m_normal; }
    void setNormal(const AcGeVector3d& v) { m_normal = v; }

    int gripIndex() const { return m_gripIndex; }
    void setGripIndex(int index) { m_gripIndex = index; }

    bool dynamicInput() const { return m_dynamicInput; }
    void setDynamicInput(bool on) { m_dynamicInput = on; }

    bool isAlignmentGrip() const { return m_isAlignmentGrip; }
    void setIsAlignmentGrip(bool alignment) { m_isAlignmentGrip = alignment; }

    // The reference's block transform when the grips were made.
    const AcGeMatrix3d& blockTransform() const { return m_blockTransform; }
    void setBlockTransform(const AcGeMatrix3d& m) { m_blockTransform = m; }

    // False: the overrule drops the grip record instead of offering it.
    bool show() const { return m_show; }
    void setShow(bool show) { m_show = show; }

    bool annotative() const { return m_annotative; }
    void setAnnotative(bool annotative) { m_annotative = annotative; }

    // The application data of a grip record, when the record's class says it is one of these.
    static KxDbNimbleBlockNBAppData* fromRecord(void* appData, const AcRxClass* appDataClass);

  private:
    KxDbDimDataPtrArray* m_dimensions = nullptr;
    KxNodeId m_gripId = 0;
    AcDbObjectId m_referenceId;
    AcGePoint3d m_definitionPosition;
    AcGePoint3d m_alternateBasePoint;
    AcGeVector3d m_alignmentDisplacement{0.0, 0.0, 0.0};
    AcGeVector3d m_alignmentTargetDirection{1.0, 0.0, 0.0};
    AcGeVector3d m_direction{1.0, 0.0, 0.0};
    AcGeVector3d m_normal{0.0, 0.0, 1.0};
    bool m_alignmentFound = false;
    bool m_hasAlternateBasePoint = false;
    int m_gripIndex = kNoGripIndex;
    bool m_degenerateDirection = false;
    bool m_dynamicInput = false;
    bool m_isAlignmentGrip = false;
    AcGeMatrix3d m_blockTransform;
    bool m_show = true;
    bool m_annotative = true;
};
