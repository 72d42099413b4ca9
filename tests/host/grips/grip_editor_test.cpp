// The grip editor plays the host's part around a grip overrule: the order of its calls, what it
// hands each callback, and what it deletes when.
#include "host/testing/grip_editor.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/core/resbuf.h"
#include "host/ed/platform.h"
#include "host/entities/aligneddim.h"
#include "tests/host/grips/grips_test_support.h"

namespace griptest {
namespace {

// What the callbacks saw; reset by each test.
struct Seen {
    std::vector<std::string> events;
    int liveDims = 0;
    int drawType = -1;
    AcGePoint3d imagePoint;
    int contextFlags = -1;
    unsigned menuChoice = 12345;
    double typedValue = 0.0;
    bool entityWritable = false;
    AcGeVector3d typedOffset;
    AcDbObjectId entity;
};
Seen g_seen;

// A dimension that reports when it goes.
class TrackedDim : public AcDbAlignedDimension {
  public:
    TrackedDim() { ++g_seen.liveDims; }
    ~TrackedDim() override {
        --g_seen.liveDims;
        g_seen.events.push_back("dim deleted");
    }
};

// The overrule's own application data, freed when the editor says the grips go.
struct TestData {
    int tag = 0;
};

const ACHAR* toolTip(AcDbGripData*) {
    return L"Stretch";
}

bool drawGrip(AcDbGripData* g, AcGiViewportDraw* vd, const AcDbObjectId& ent,
              AcDbGripOperations::DrawType type, AcGePoint3d* at, int size) {
    g_seen.drawType = type;
    g_seen.entity = ent;
    if (at != nullptr) {
        g_seen.imagePoint = *at;
        AcGePoint3d box[2] = {*at, *at + AcGeVector3d(size, 0, 0)};
        vd->geometry().polylineDc(2, box);
    }
    return g != nullptr;
}

AcGeVector3d setValue(AcDbDimData* d, AcDbEntity* ent, double value, const AcGeVector3d& offset) {
    g_seen.typedValue = value;
    g_seen.entityWritable = ent != nullptr && ent->isWriteEnabled();
    g_seen.typedOffset = offset;
    g_seen.events.push_back("setValue");
    return AcGeVector3d(value, 0, 0);
}

void dims(AcDbGripData*, const AcDbObjectId& ent, double, AcDbDimDataPtrArray& out) {
    for (int i = 0; i < 2; ++i) {
        auto* d = new AcDbDimData();
        d->setDimension(new TrackedDim());
        d->setOwnerId(ent);
        d->setBitFlags(kxgrip::kDimEditable | kxgrip::kDimFocal);
        d->setDimValueFunc(&setValue);
        out.append(d);
    }
}

AcDbGripOperations::ReturnValue hotGrip(AcDbGripData*, const AcDbObjectId&, int flags) {
    g_seen.contextFlags = flags;
    g_seen.events.push_back("hotGrip");
    return AcDbGripOperations::eGetNewGripPoints;
}

AcDbGripOperations::ReturnValue snapToGrid(
    AcDbGripData*, const AcDbObjectId&, bool& changed, AcGePoint3d& newPoint, const AcGiViewport&,
    const AcDbObjectId&, bool, int history, const AcGePoint3d&, const AcGePoint3d& raw,
    const AcGePoint3d&, const AcGePoint3d&, const AcGePoint3d&, int, const AcDbVoidPtrArray&, int,
    const AcDbVoidPtrArray&, const AcDbObjectIdArray&, const AcArray<AcDbObjectIdArray>&,
    const AcArray<Adesk::LongPtr>&, const AcDbObjectIdArray&, const AcArray<AcDbObjectIdArray>&,
    const AcArray<Adesk::LongPtr>&, const AcArray<AcGeCurve3d*>&, const AcGePoint3d&) {
    g_seen.contextFlags = history;
    changed = true;
    newPoint = AcGePoint3d(std::round(raw.x), std::round(raw.y), 0.0);
    return AcDbGripOperations::eOk;
}

void menuPicked(unsigned item) {
    g_seen.menuChoice = item;
}

AcDbGripOperations::ReturnValue rightClick(AcDbGripDataArray& hot, const AcDbObjectIdArray& ents,
                                           ACHAR*& name, HMENU& menu, ContextMenuItemIndexPtr& cb) {
    g_seen.events.push_back("rtClk " + std::to_string(hot.length()) + " " +
                            std::to_string(ents.length()));
    name = acutNewString(L"States");
    menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 0x9401, L"Open");
    AppendMenuW(menu, MF_CHECKED, 0x9402, L"Closed");
    cb = &menuPicked;
    return AcDbGripOperations::eOk;
}

// One grip of its own with every callback, in front of the host's; it frees its data when the
// editor announces the records go, and records the order of what it is told.
class CallbackOverrule : public AcDbGripOverrule {
  public:
    Acad::ErrorStatus getGripPoints(const AcDbEntity* ent, AcDbGripDataPtrArray& grips, double vus,
                                    int size, const AcGeVector3d& dir, int flags) override {
        auto* g = new AcDbGripData();
        g->setGripPoint(AcGePoint3d(1, 1, 0));
        data = new TestData();
        g->setAppData(data);
        g->setToolTipFunc(&toolTip);
        g->setViewportDraw(&drawGrip);
        g->setHoverDimensionFunc(&dims);
        g->setHotGripDimensionFunc(&dims);
        g->setHotGripFunc(&hotGrip);
        g->setRtClk(&rightClick);
        g->setInputPointFunc(&snapToGrid);
        g->setBitFlags(menuGrip ? kxgrip::kMapGripHotToRtClk : 0);
        grips.append(g);
        return AcDbGripOverrule::getGripPoints(ent, grips, vus, size, dir, flags);
    }
    Acad::ErrorStatus moveGripPointsAt(AcDbEntity* ent, const AcDbVoidPtrArray& appData,
                                       const AcGeVector3d& offset, int flags) override {
        g_seen.events.push_back(ent->isWriteEnabled() && ent->objectId().isNull() ? "move image"
                                                                                  : "move ref");
        return AcDbGripOverrule::moveGripPointsAt(ent, appData, offset, flags);
    }
    void gripStatus(AcDbEntity* ent, AcDb::GripStat status) override {
        g_seen.events.push_back("status " + std::to_string(static_cast<int>(status)) + " dims " +
                                std::to_string(g_seen.liveDims));
        if (status == AcDb::kGripsToBeDeleted) {
            delete data;
            data = nullptr;
        }
        AcDbGripOverrule::gripStatus(ent, status);
    }
    TestData* data = nullptr;
    bool menuGrip = false;
};

class GripEditorTest : public GripTest {
  protected:
    void SetUp() override {
        GripTest::SetUp();
        g_seen = Seen();
    }
};

TEST_F(GripEditorTest, DraggingTheInsertionGripMovesTheReferenceOnceOnRelease) {
    kxhost::GripEditor editor(&db, ref);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    ASSERT_EQ(editor.gripCount(), 1);
    const int insertion = editor.hostGrip(0);
    ASSERT_EQ(insertion, 0);

    kxhost::RecordingViewportDraw vd;
    kxhost::GripEditor::HoverResult hover;
    ASSERT_EQ(editor.hover(insertion, vd, &hover), Acad::eOk);
    EXPECT_FALSE(hover.hasToolTip);
    EXPECT_FALSE(hover.viewportDrawn);
    EXPECT_EQ(hover.dimensionCount, 0);

    ASSERT_EQ(editor.beginDrag(insertion), Acad::eOk);
    // Offsets are from the drag start: the steps do not add up, and the reference stays put
    // until the release.
    kxhost::RecordingViewportDraw step1;
    ASSERT_EQ(editor.dragTo(AcGeVector3d(1, 2, 0), &step1), Acad::eOk);
    ASSERT_EQ(editor.dragTo(AcGeVector3d(3, 0, 0), &vd), Acad::eOk);
    const auto* image = AcDbBlockReference::cast(editor.dragImage());
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->objectId().isNull());
    EXPECT_TRUE(samePoint(kInsert + AcGeVector3d(3, 0, 0), image->position()));
    EXPECT_TRUE(samePoint(kInsert, position()));
    // The image was drawn: the block's line, shifted with it.
    bool shiftedLine = false;
    for (const kxhost::GiPrimitive& p : vd.primitives()) {
        if (p.kind == kxhost::GiKind::kPolyline && p.points.size() == 2 &&
            p.points[0].isEqualTo(kInsert + AcGeVector3d(3, 0, 0))) {
            shiftedLine = true;
        }
    }
    EXPECT_TRUE(shiftedLine) << vd.dump();

    ASSERT_EQ(editor.release(), Acad::eOk);
    EXPECT_TRUE(samePoint(kInsert + AcGeVector3d(3, 0, 0), position()));
    EXPECT_EQ(editor.gripCount(), 0);
    EXPECT_EQ(editor.dragImage(), nullptr);
    const std::vector<std::string> tail(editor.log().end() - 5, editor.log().end());
    EXPECT_EQ(tail, (std::vector<std::string>{"move", "gripStatus 2", "gripStatus 1",
                                              "deleteDims 0", "deleteGrips 1"}));

    // Nothing is being dragged any more.
    EXPECT_EQ(editor.dragTo(AcGeVector3d(1, 0, 0)), Acad::eNotApplicable);
    EXPECT_EQ(editor.release(), Acad::eNotApplicable);
    EXPECT_EQ(editor.beginDrag(0), Acad::eInvalidIndex);
}

TEST_F(GripEditorTest, CancelAndMissingEntitiesLeaveTheReferenceAlone) {
    {
        kxhost::GripEditor editor(&db, ref);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        ASSERT_EQ(editor.dragTo(AcGeVector3d(5, 5, 0)), Acad::eOk);
        editor.cancel();
        EXPECT_EQ(editor.gripCount(), 0);
    }
    {
        // A session left open is ended by the editor going.
        kxhost::GripEditor editor(&db, ref);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        ASSERT_EQ(editor.dragTo(AcGeVector3d(5, 5, 0)), Acad::eOk);
    }
    EXPECT_TRUE(samePoint(kInsert, position()));
    kxhost::GripEditor none(&db, AcDbObjectId::kNull);
    EXPECT_EQ(none.collectGrips(), Acad::eNullObjectId);
    EXPECT_EQ(none.gripCount(), 0);
}

TEST_F(GripEditorTest, HoverCallsTheRecordsCallbacksAndDropsItsDimensionsInOrder) {
    CallbackOverrule overrule;
    OverruleScope scope(AcDbBlockReference::desc(), &overrule);
    {
        kxhost::GripEditor editor(&db, ref);
        ASSERT_EQ(editor.collectGrips(), Acad::eOk);
        ASSERT_EQ(editor.gripCount(), 2);  // the overrule's, then the insertion point
        EXPECT_EQ(editor.hostGrip(0), 1);

        kxhost::RecordingViewportDraw vd;
        kxhost::GripEditor::HoverResult hover;
        ASSERT_EQ(editor.hover(0, vd, &hover), Acad::eOk);
        EXPECT_TRUE(hover.viewportDrawn);
        EXPECT_EQ(g_seen.drawType, AcDbGripOperations::kHoverGrip);
        EXPECT_EQ(g_seen.entity, ref);
        EXPECT_EQ(vd.count(kxhost::GiKind::kPolylineDc), 1);
        ASSERT_TRUE(hover.hasToolTip);
        EXPECT_EQ(hover.toolTip, L"Stretch");
        EXPECT_EQ(hover.dimensionCount, 2);
        EXPECT_EQ(g_seen.liveDims, 2);
        EXPECT_EQ(editor.dimData()[0]->ownerId(), ref);

        // Hovering again: the first hover's dimensions are announced and go first.
        ASSERT_EQ(editor.hover(0, vd, &hover), Acad::eOk);
        EXPECT_EQ(g_seen.liveDims, 2);
        EXPECT_EQ(g_seen.events,
                  (std::vector<std::string>{"status 2 dims 2", "dim deleted", "dim deleted"}));
        g_seen.events.clear();
        editor.unhover();
        EXPECT_EQ(g_seen.liveDims, 0);
        EXPECT_EQ(editor.gripCount(), 2);
        g_seen.events.clear();

        // The drag: hot-grip dimensions live through the drag and go after both statuses, and
        // the overrule frees its data in between without the editor touching it afterwards.
        ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
        EXPECT_EQ(g_seen.liveDims, 2);
        kxhost::RecordingViewportDraw drag;
        ASSERT_EQ(editor.dragTo(AcGeVector3d(2, 0, 0), &drag), Acad::eOk);
        EXPECT_EQ(g_seen.drawType, AcDbGripOperations::kDragImageGrip);
        EXPECT_TRUE(samePoint(AcGePoint3d(3, 1, 0), g_seen.imagePoint));
        ASSERT_EQ(editor.release(), Acad::eOk);
        EXPECT_EQ(g_seen.events,
                  (std::vector<std::string>{"move image", "move ref", "status 2 dims 2",
                                            "status 1 dims 2", "dim deleted", "dim deleted"}));
        EXPECT_EQ(overrule.data, nullptr);
    }
    // The overrule's grip is not the host's: the reference did not move.
    EXPECT_TRUE(samePoint(kInsert, position()));
}

TEST_F(GripEditorTest, TypedValueCallsTheSetValueFunctionWithTheReferenceOpenForWrite) {
    CallbackOverrule overrule;
    OverruleScope scope(AcDbBlockReference::desc(), &overrule);
    kxhost::GripEditor editor(&db, ref);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    ASSERT_EQ(editor.beginDrag(0), Acad::eOk);
    ASSERT_EQ(editor.dragTo(AcGeVector3d(0, 4, 0)), Acad::eOk);
    EXPECT_EQ(editor.typeDimensionValue(7, 1.0), Acad::eInvalidIndex);
    AcGeVector3d answered;
    ASSERT_EQ(editor.typeDimensionValue(1, 2.5, &answered), Acad::eOk);
    EXPECT_DOUBLE_EQ(g_seen.typedValue, 2.5);
    EXPECT_TRUE(g_seen.entityWritable);
    EXPECT_TRUE(g_seen.typedOffset.isEqualTo(AcGeVector3d(0, 4, 0)));
    EXPECT_TRUE(answered.isEqualTo(AcGeVector3d(2.5, 0, 0)));
    // The typed value ends the session; no move of its own is applied.
    EXPECT_EQ(editor.gripCount(), 0);
    EXPECT_EQ(g_seen.liveDims, 0);
    EXPECT_EQ(std::count(g_seen.events.begin(), g_seen.events.end(), "move ref"), 0);
    EXPECT_TRUE(samePoint(kInsert, position()));
}

TEST_F(GripEditorTest, HotGripClickAndMenus) {
    CallbackOverrule overrule;
    OverruleScope scope(AcDbBlockReference::desc(), &overrule);
    kxhost::GripEditor editor(&db, ref);
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);

    // A plain hot grip: the function runs; asking for new grips makes the editor ask again
    // (the old records announced and deleted first).
    editor.clearLog();
    EXPECT_EQ(editor.clickHotGrip(0, AcDbGripOperations::kSharedGrip),
              AcDbGripOperations::eGetNewGripPoints);
    EXPECT_EQ(g_seen.contextFlags, AcDbGripOperations::kSharedGrip);
    EXPECT_EQ(editor.log(),
              (std::vector<std::string>{"hotGrip 0", "gripStatus 2", "gripStatus 1", "deleteDims 0",
                                        "deleteGrips 2", "getGripPoints"}));
    EXPECT_EQ(editor.gripCount(), 2);
    // The host's own grip has no function: it just turns hot.
    EXPECT_EQ(editor.clickHotGrip(1), AcDbGripOperations::eGripHotToo);
    EXPECT_EQ(editor.clickHotGrip(9), AcDbGripOperations::eFailure);

    // A menu grip routes the click to its right-click handler; the choice reaches the item
    // callback, a choice that is not on the menu counts as dismissed, and the menu is gone.
    overrule.menuGrip = true;
    ASSERT_EQ(editor.collectGrips(), Acad::eOk);
    const int menusBefore = kxhost::liveMenus();
    g_seen.events.clear();
    EXPECT_EQ(editor.clickHotGrip(0, 0, 0x9402), AcDbGripOperations::eOk);
    EXPECT_EQ(g_seen.menuChoice, 0x9402U);
    EXPECT_EQ(g_seen.events, (std::vector<std::string>{"rtClk 1 1"}));
    EXPECT_EQ(kxhost::liveMenus(), menusBefore);

    AcDbIntArray hot;
    hot.append(0);
    const kxhost::GripEditor::MenuResult menu = editor.rightClick(hot, 0x7777);
    EXPECT_TRUE(menu.handled);
    EXPECT_EQ(menu.menuName, L"States");
    ASSERT_EQ(menu.items.size(), 2U);
    EXPECT_EQ(menu.items[1].text, L"Closed");
    EXPECT_TRUE(menu.callbackCalled);
    EXPECT_EQ(menu.passedChoice, 0U);
    EXPECT_EQ(g_seen.menuChoice, 0U);
    EXPECT_EQ(kxhost::liveMenus(), menusBefore);

    // An input point goes through the grip's function; the host's grip has none.
    AcGePoint3d pt(1.4, 2.6, 0.0);
    bool changed = false;
    EXPECT_EQ(editor.inputPoint(0, pt, kInputPointHistoryReset, &changed), AcDbGripOperations::eOk);
    EXPECT_TRUE(changed);
    EXPECT_EQ(g_seen.contextFlags, kInputPointHistoryReset);
    EXPECT_TRUE(samePoint(AcGePoint3d(1, 3, 0), pt));
    AcGePoint3d kept(1.4, 2.6, 0.0);
    EXPECT_EQ(editor.inputPoint(1, kept, 0, &changed), AcDbGripOperations::eOk);
    EXPECT_FALSE(changed);
    EXPECT_TRUE(samePoint(AcGePoint3d(1.4, 2.6, 0), kept));
    EXPECT_EQ(editor.inputPoint(5, kept), AcDbGripOperations::eFailure);

    // The host's grip has no handler.
    AcDbIntArray hostOnly;
    hostOnly.append(1);
    EXPECT_FALSE(editor.rightClick(hostOnly, 1).handled);
}

}  // namespace
}  // namespace griptest
