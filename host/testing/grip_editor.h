// The host's grip editing, played for tests and tools: one editor session on one entity (a block
// reference, usually). It asks for the grips, hovers them, clicks them, drags them and releases
// them the way the host's editor does, so that grip overrules and the callbacks on their grip
// records run in the host's order and under its open and ownership rules:
// - grips are asked for with the entity open for read (grip-record form);
// - every drag step moves a fresh, non-resident copy of the entity (the drag image) by the offset
//   from the start of the drag and draws it through the drawable overrules; the entity itself is
//   changed only on release, once, by the whole offset, with the entity open for write;
// - ending a session tells the entity gripStatus(kDimDataToBeDeleted) and then
//   gripStatus(kGripsToBeDeleted), and only then deletes the dimension records (with their
//   dimensions) and the grip records. Application data is never touched after that.
// Nothing is held open between calls.
#pragma once

#include <string>
#include <vector>

#include "host/db/database.h"
#include "host/gi/recording.h"
#include "host/grips/gripoverrule.h"

namespace kxhost {

class GripEditor {
  public:
    GripEditor(AcDbDatabase* db, AcDbObjectId entityId);
    // Ends a session still in progress as cancel() does.
    ~GripEditor();
    GripEditor(const GripEditor&) = delete;
    GripEditor& operator=(const GripEditor&) = delete;

    // What getGripPoints is told about the view (defaults: 1 unit per pixel, 5-pixel grips,
    // looking down world Z, no flags).
    void setView(double viewUnitSize, int gripSizePixels, const AcGeVector3d& viewDir,
                 int bitFlags = 0);

    // Asks the entity for its grips (open for read, getGripPoints in the grip-record form).
    // Grips still held from before are let go first, as cancel() does. On failure no grips are
    // held (any records appended are let go the same way).
    Acad::ErrorStatus collectGrips();
    int gripCount() const { return m_grips.length(); }
    AcDbGripData* grip(int index) const;
    const AcDbGripDataPtrArray& grips() const { return m_grips; }
    // The first grip whose application data is the host's own marker of the given index (the
    // entity's own grip points), else -1.
    int hostGrip(int ownIndex) const;

    // Hovering a grip: its viewport draw (kHoverGrip, into `vd`), its tooltip, and its hover
    // dimensions (drawn into `vd` too). Dimensions of an earlier hover are let go first.
    struct HoverResult {
        bool viewportDrawn = false;  // the record has a viewport draw and it answered true
        bool hasToolTip = false;
        std::wstring toolTip;
        int dimensionCount = 0;
    };
    Acad::ErrorStatus hover(int index, RecordingViewportDraw& vd, HoverResult* result = nullptr);
    // Leaving the hover: gripStatus(kDimDataToBeDeleted), then its dimension records go.
    void unhover();
    // The dimension records held now (hover or hot-grip dimensions).
    const AcDbDimDataPtrArray& dimData() const { return m_dims; }

    // Clicking a grip hot: its hot-grip function with the context flags. A record flagged
    // 0x40 (kMapGripHotToRtClk) with a right-click handler opens that menu instead, choosing
    // `menuChoice` (0 dismisses it). eGetNewGripPoints makes the editor ask for the grips again.
    // A record without a hot-grip function answers eGripHotToo (the grip just turns hot).
    AcDbGripOperations::ReturnValue clickHotGrip(int index, int contextFlags = 0,
                                                 unsigned menuChoice = 0);

    // Right-clicking hot grips: the first hot grip's right-click handler gets copies of the hot
    // grip records and the entity id; the menu it builds is shown and `menuChoice` is passed to
    // its item callback (0 when dismissed, and when the choice is not an item of the menu).
    // The menu and the menu name are destroyed and freed afterwards.
    struct MenuResult {
        AcDbGripOperations::ReturnValue status = AcDbGripOperations::eFailure;
        bool handled = false;  // a handler was called
        std::wstring menuName;
        std::vector<MenuItem> items;
        bool callbackCalled = false;
        unsigned passedChoice = 0;
    };
    MenuResult rightClick(const AcDbIntArray& hotGrips, unsigned menuChoice);

    // Dragging: beginDrag makes the grips hot (hover dimensions go, hot-grip dimensions are
    // asked for); each dragTo moves a fresh drag image by the offset from the drag start and,
    // with a context, draws it (drawEntity) followed by each hot grip's viewport draw
    // (kDragImageGrip, at the moved grip point). The image stays alive until the next step or
    // the end of the drag. release() applies the last offset to the entity and ends the
    // session; cancel() ends it without changing the entity.
    Acad::ErrorStatus beginDrag(int index);
    Acad::ErrorStatus beginDrag(const AcDbIntArray& indices);
    Acad::ErrorStatus dragTo(const AcGeVector3d& offsetFromStart,
                             RecordingViewportDraw* vd = nullptr);
    Acad::ErrorStatus release();
    void cancel();
    bool dragging() const { return m_dragging; }
    const AcGeVector3d& dragOffset() const { return m_offset; }
    // The status of the last drag image move, and the image itself (null when none).
    Acad::ErrorStatus lastDragStatus() const { return m_lastDragStatus; }
    const AcDbEntity* dragImage() const { return m_image; }

    // A point given while grip `index` is hot: its input-point function is called with the
    // point as raw, gripped, snapped and computed point, a recording viewport and no picked
    // entities or snaps. The point it answers (when it says it changed the point) is stored in
    // `point`. eOk without a function (the point stays as given); eFailure for a bad index.
    AcDbGripOperations::ReturnValue inputPoint(int index, AcGePoint3d& point, int history = 0,
                                               bool* changed = nullptr);

    // Typing a value into dimension record `dimIndex`: its set-value function is called with
    // the entity open for write, the value and the current drag offset; the session then ends
    // as after a release (the function made the change, so no move is applied). The vector the
    // function answered is stored in `result`. eInvalidIndex for a bad index, eNotApplicable
    // for a record without a set-value function.
    Acad::ErrorStatus typeDimensionValue(int dimIndex, double value,
                                         AcGeVector3d* result = nullptr);

    // The host steps taken, in order: "getGripPoints", "gripStatus 2", "gripStatus 1",
    // "deleteDims <n>", "deleteGrips <n>", "move", "dragMove", ...
    const std::vector<std::string>& log() const { return m_log; }
    void clearLog() { m_log.clear(); }

  private:
    // Ends the session: the drag image goes, the entity (open for read) is told
    // gripStatus(kDimDataToBeDeleted) and gripStatus(kGripsToBeDeleted), then the dimension
    // records with their dimensions and the grip records are deleted.
    void endSession();
    void dropDims(bool tellEntity);
    void dropImage();
    void tellGripStatus(AcDb::GripStat status);
    AcDbVoidPtrArray hotAppData() const;

    AcDbDatabase* m_db;
    AcDbObjectId m_id;
    double m_viewUnitSize = 1.0;
    int m_gripSize = 5;
    AcGeVector3d m_viewDir{0.0, 0.0, 1.0};
    int m_bitFlags = 0;
    AcDbGripDataPtrArray m_grips;
    AcDbDimDataPtrArray m_dims;
    AcDbIntArray m_hot;
    bool m_dragging = false;
    AcGeVector3d m_offset;
    AcDbEntity* m_image = nullptr;
    Acad::ErrorStatus m_lastDragStatus = Acad::eOk;
    std::vector<std::string> m_log;
};

}  // namespace kxhost
