// Grips: the records an entity hands the grip editor for each grip it offers, the callbacks the
// editor calls on them while the user hovers, clicks and drags, the dimension records shown
// around a grip, and the grip overrule that takes over the grips an entity offers and what
// dragging them does.
//
// Ownership, as the editor handles it:
// - A grip record owns its alternate base point; its application data belongs to whoever made
//   the record. The editor deletes the records after telling the entity gripStatus
//   (kGripsToBeDeleted), and never touches their application data after that call.
// - Dimension records and their dimensions belong to the editor once handed over: it deletes
//   both after gripStatus(kDimDataToBeDeleted). A record's application data stays its maker's.
// - Tooltip text stays with the maker. A right-click menu and its menu-name buffer (made with
//   acutNewString) are handed to the editor, which destroys and frees them.
#pragma once

#include "host/core/array.h"
#include "host/core/types.h"
#include "host/db/objectid.h"
#include "host/ed/platform.h"
#include "host/entities/entity.h"
#include "host/ge/point3d.h"
#include "host/ge/vector3d.h"
#include "host/rx/overrule.h"

class AcDbDimension;
class AcDbDimData;
class AcDbGripData;
class AcGeCurve3d;
class AcGiViewport;
class AcGiViewportDraw;

using AcDbGripDataArray = AcArray<AcDbGripData>;
using AcDbDimDataPtrArray = AcArray<AcDbDimData*>;

namespace AcDbGripOperations {
enum ReturnValue {
    eOk = 0,
    eFailure = 1,
    eNoRedrawGrip = 2,
    eGripHotToo = 3,
    eGetNewGripPoints = 4
};
enum DrawType { kWarmGrip = 0, kHoverGrip = 1, kHotGrip = 2, kDragImageGrip = 3 };
// Context flags of a hot-grip call.
enum HotGripContext { kSharedGrip = 0x1, kMultiHotGrips = 0x2 };
}  // namespace AcDbGripOperations

// Grip record flags the host looks at.
namespace kxgrip {
enum GripFlags : int {
    kSkipWhenShared = 0x1,
    kDisableRubberBandLine = 0x2,
    kDisableModeKeywords = 0x4,
    kDrawAtDragImageGripPoint = 0x8,
    kTriggerGrip = 0x10,
    kTurnOnForcedPick = 0x20,
    kMapGripHotToRtClk = 0x40,
    kGizmosEnabled = 0x80,
    kGripIsPerViewport = 0x100,
    kGripEditCursorOnly = 0x200,
    kGripIsDisabled = 0x400,
    kGripRightClickIsNewStyle = 0x800
};
// Dimension record flags.
enum DimDataFlags : unsigned { kDimEditable = 0x1, kDimInvisible = 0x2, kDimFocal = 0x4 };
}  // namespace kxgrip

// The item callback of a right-click menu: the chosen item id, 0 when the menu was dismissed.
typedef void (*ContextMenuItemIndexPtr)(unsigned itemIndex);

typedef AcDbGripOperations::ReturnValue (*GripOperationPtr)(AcDbGripData* pThis,
                                                            const AcDbObjectId& entId,
                                                            int contextFlags);
typedef AcDbGripOperations::ReturnValue (*GripRtClkHandler)(AcDbGripDataArray& hotGrips,
                                                            const AcDbObjectIdArray& ents,
                                                            ACHAR*& menuName, HMENU& menu,
                                                            ContextMenuItemIndexPtr& cb);
typedef const ACHAR* (*GripToolTipPtr)(AcDbGripData* pThis);
typedef bool (*GripWorldOrViewportDrawPtr)(AcDbGripData* pThis, AcGiViewportDraw* pWd,
                                           const AcDbObjectId& entId,
                                           AcDbGripOperations::DrawType type,
                                           AcGePoint3d* imageGripPoint, int gripSizeInPixels);
typedef void (*GripDimensionPtr)(AcDbGripData* pThis, const AcDbObjectId& entId, double dimScale,
                                 AcDbDimDataPtrArray& dimData);
typedef AcDbGripOperations::ReturnValue (*GripInputPointPtr)(
    AcDbGripData* pThis, const AcDbObjectId& entId, bool& changedPoint, AcGePoint3d& newPoint,
    const AcGiViewport& viewContext, const AcDbObjectId& viewportId, bool pointComputed,
    int history, const AcGePoint3d& lastPoint, const AcGePoint3d& rawPoint,
    const AcGePoint3d& grippedPoint, const AcGePoint3d& cartesianSnappedPoint,
    const AcGePoint3d& osnappedPoint, int osnapMask, const AcDbVoidPtrArray& customOsnapModes,
    int osnapOverrides, const AcDbVoidPtrArray& customOsnapOverrides,
    const AcDbObjectIdArray& pickedEntities, const AcArray<AcDbObjectIdArray>& nestedPickedEntities,
    const AcArray<Adesk::LongPtr>& gsSelectionMark, const AcDbObjectIdArray& keyPointEntities,
    const AcArray<AcDbObjectIdArray>& nestedKeyPointEntities,
    const AcArray<Adesk::LongPtr>& keyPointGsSelectionMark,
    const AcArray<AcGeCurve3d*>& alignmentPaths, const AcGePoint3d& computedPoint);
typedef AcGeVector3d (*DimDataSetValueFuncPtr)(AcDbDimData* pThis, AcDbEntity* pEnt,
                                               double newValue, const AcGeVector3d& offset);

// History flag of an input-point call that starts a new point (forgets earlier input).
constexpr int kInputPointHistoryReset = 0x80000;

class AcDbGripData {
  public:
    // Everything null, flags 0.
    AcDbGripData();
    // Copies carry their own copy of the alternate base point.
    AcDbGripData(const AcDbGripData& other);
    AcDbGripData& operator=(const AcDbGripData& other);
    ~AcDbGripData();

    const AcGePoint3d& gripPoint() const { return m_point; }
    void setGripPoint(const AcGePoint3d& pt) { m_point = pt; }
    void* appData() const { return m_appData; }
    void setAppData(void* appData) { m_appData = appData; }
    AcRxClass* appDataAcRxClass() const { return m_appDataClass; }
    void setAppDataAcRxClass(AcRxClass* cls) { m_appDataClass = cls; }

    GripOperationPtr hotGripFunc() const { return m_hotGrip; }
    void setHotGripFunc(GripOperationPtr f) { m_hotGrip = f; }
    GripRtClkHandler rtClk() const { return m_rtClk; }
    void setRtClk(GripRtClkHandler f) { m_rtClk = f; }
    GripWorldOrViewportDrawPtr viewportDraw() const { return m_viewportDraw; }
    void setViewportDraw(GripWorldOrViewportDrawPtr f) { m_viewportDraw = f; }
    GripToolTipPtr toolTipFunc() const { return m_toolTip; }
    void setToolTipFunc(GripToolTipPtr f) { m_toolTip = f; }
    GripDimensionPtr hoverDimensionFunc() const { return m_hoverDim; }
    void setHoverDimensionFunc(GripDimensionPtr f) { m_hoverDim = f; }
    GripDimensionPtr hotGripDimensionFunc() const { return m_hotDim; }
    void setHotGripDimensionFunc(GripDimensionPtr f) { m_hotDim = f; }
    GripInputPointPtr inputPointFunc() const { return m_inputPoint; }
    void setInputPointFunc(GripInputPointPtr f) { m_inputPoint = f; }

    // The record takes the point (null clears it); the previous one is freed.
    AcGePoint3d* alternateBasePoint() const { return m_altBase; }
    void setAlternateBasePoint(AcGePoint3d* pt);

    int bitFlags() const { return m_flags; }
    void setBitFlags(int flags) { m_flags = flags; }
    bool mapGripHotToRtClk() const { return (m_flags & kxgrip::kMapGripHotToRtClk) != 0; }

  private:
    AcGePoint3d m_point;
    void* m_appData = nullptr;
    AcRxClass* m_appDataClass = nullptr;
    GripOperationPtr m_hotGrip = nullptr;
    GripRtClkHandler m_rtClk = nullptr;
    GripWorldOrViewportDrawPtr m_viewportDraw = nullptr;
    GripToolTipPtr m_toolTip = nullptr;
    GripDimensionPtr m_hoverDim = nullptr;
    GripDimensionPtr m_hotDim = nullptr;
    GripInputPointPtr m_inputPoint = nullptr;
    AcGePoint3d* m_altBase = nullptr;
    int m_flags = 0;
};

// A dimension shown at a grip. The record does not own its dimension: whoever deletes the
// record (the grip editor) deletes the dimension too.
class AcDbDimData {
  public:
    AcDbDimData() = default;
    AcDbDimension* dimension() const { return m_dim; }
    void setDimension(AcDbDimension* dim) { m_dim = dim; }
    AcDbObjectId ownerId() const { return m_owner; }
    void setOwnerId(const AcDbObjectId& id) { m_owner = id; }
    unsigned bitFlags() const { return m_flags; }
    void setBitFlags(unsigned flags) { m_flags = flags; }
    bool isEditable() const { return (m_flags & kxgrip::kDimEditable) != 0; }
    bool isFocal() const { return (m_flags & kxgrip::kDimFocal) != 0; }
    DimDataSetValueFuncPtr dimValueFunc() const { return m_setValue; }
    void setDimValueFunc(DimDataSetValueFuncPtr f) { m_setValue = f; }
    void* appData() const { return m_appData; }
    void setAppData(void* appData) { m_appData = appData; }

  private:
    AcDbDimension* m_dim = nullptr;
    AcDbObjectId m_owner;
    unsigned m_flags = 0;
    DimDataSetValueFuncPtr m_setValue = nullptr;
    void* m_appData = nullptr;
};

namespace kxhost {
// The application data of the host's own grips (an entity's own grip points, e.g. a block
// reference's insertion point): the index of the grip among the entity's own grip points.
// Being an AcRxObject, a class check on any grip's application data is safe. The markers are
// shared and live as long as the process; nobody frees them.
class HostGripAppData : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(HostGripAppData);
    int index() const { return m_index; }
    // The marker for an index (null for a negative one).
    static HostGripAppData* forIndex(int index);
    // The index a grip's application data names when it is one of the markers, else -1 (the
    // pointer is compared, never dereferenced, so any application data may be asked about).
    static int indexOf(const void* appData);

  private:
    explicit HostGripAppData(int index) : m_index(index) {}
    int m_index;
};
}  // namespace kxhost

class AcDbGripOverrule : public AcRxOverrule {
  public:
    ACRX_DECLARE_MEMBERS(AcDbGripOverrule);

    // Base implementations pass the call to the next applicable grip overrule, and after the
    // last one to the entity's own code. An overrule that offers grips of its own appends them
    // and then calls the base, so the host's grips follow its own.
    virtual Acad::ErrorStatus getGripPoints(const AcDbEntity* pSubject,
                                            AcGePoint3dArray& gripPoints, AcDbIntArray& osnapModes,
                                            AcDbIntArray& geomIds);
    virtual Acad::ErrorStatus moveGripPointsAt(AcDbEntity* pSubject, const AcDbIntArray& indices,
                                               const AcGeVector3d& offset);
    virtual Acad::ErrorStatus getGripPoints(const AcDbEntity* pSubject, AcDbGripDataPtrArray& grips,
                                            double curViewUnitSize, int gripSize,
                                            const AcGeVector3d& curViewDir, int bitFlags);
    // Moves the grips whose application data is listed. The entity's own code moves the host
    // grips in the list (HostGripAppData) and ignores every other pointer.
    virtual Acad::ErrorStatus moveGripPointsAt(AcDbEntity* pSubject,
                                               const AcDbVoidPtrArray& gripAppData,
                                               const AcGeVector3d& offset, int bitFlags);
    virtual Acad::ErrorStatus getStretchPoints(const AcDbEntity* pSubject,
                                               AcGePoint3dArray& stretchPoints);
    virtual Acad::ErrorStatus moveStretchPointsAt(AcDbEntity* pSubject, const AcDbIntArray& indices,
                                                  const AcGeVector3d& offset);
    virtual void gripStatus(AcDbEntity* pSubject, AcDb::GripStat status);
};
