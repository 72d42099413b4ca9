#include "host/testing/grip_editor.h"

#include "host/core/resbuf.h"
#include "host/entities/dimension.h"

namespace kxhost {

namespace {

// An entity open for the length of a scope. The editor opens on locked layers too: grip
// editing of a locked entity is refused before a session starts, not half-way through one.
class OpenEntity {
  public:
    OpenEntity(AcDbObjectId id, AcDb::OpenMode mode)
        : m_status(acdbOpenAcDbEntity(m_ent, id, mode, false, true)) {}
    ~OpenEntity() {
        if (m_ent != nullptr) {
            m_ent->close();
        }
    }
    OpenEntity(const OpenEntity&) = delete;
    OpenEntity& operator=(const OpenEntity&) = delete;
    AcDbEntity* get() const { return m_ent; }
    Acad::ErrorStatus status() const { return m_status; }

  private:
    AcDbEntity* m_ent = nullptr;
    Acad::ErrorStatus m_status;
};

void deleteDimRecords(AcDbDimDataPtrArray& dims) {
    for (AcDbDimData* d : dims) {
        if (d != nullptr) {
            delete d->dimension();
            delete d;
        }
    }
    dims.setLogicalLength(0);
}

}  // namespace

GripEditor::GripEditor(AcDbDatabase* db, AcDbObjectId entityId) : m_db(db), m_id(entityId) {}

GripEditor::~GripEditor() {
    cancel();
}

void GripEditor::setView(double viewUnitSize, int gripSizePixels, const AcGeVector3d& viewDir,
                         int bitFlags) {
    m_viewUnitSize = viewUnitSize;
    m_gripSize = gripSizePixels;
    m_viewDir = viewDir;
    m_bitFlags = bitFlags;
}

AcDbGripData* GripEditor::grip(int index) const {
    return index >= 0 && index < m_grips.length() ? m_grips[index] : nullptr;
}

int GripEditor::hostGrip(int ownIndex) const {
    for (int i = 0; i < m_grips.length(); ++i) {
        if (m_grips[i] != nullptr && HostGripAppData::indexOf(m_grips[i]->appData()) == ownIndex &&
            ownIndex >= 0) {
            return i;
        }
    }
    return -1;
}

Acad::ErrorStatus GripEditor::collectGrips() {
    cancel();
    if (m_id.isNull()) {
        return Acad::eNullObjectId;
    }
    Acad::ErrorStatus es = Acad::eOk;
    {
        OpenEntity ent(m_id, AcDb::kForRead);
        if (ent.get() == nullptr) {
            return ent.status();
        }
        m_log.push_back("getGripPoints");
        es = ent.get()->getGripPoints(m_grips, m_viewUnitSize, m_gripSize, m_viewDir, m_bitFlags);
    }
    // A null record is not a grip; the editor never shows it.
    for (int i = m_grips.length() - 1; i >= 0; --i) {
        if (m_grips[i] == nullptr) {
            m_grips.removeAt(i);
        }
    }
    if (es != Acad::eOk) {
        endSession();
    }
    return es;
}

void GripEditor::tellGripStatus(AcDb::GripStat status) {
    OpenEntity ent(m_id, AcDb::kForRead);
    m_log.push_back("gripStatus " + std::to_string(static_cast<int>(status)));
    if (ent.get() != nullptr) {
        ent.get()->gripStatus(status);
    }
}

void GripEditor::dropDims(bool tellEntity) {
    if (tellEntity) {
        tellGripStatus(AcDb::kDimDataToBeDeleted);
    }
    m_log.push_back("deleteDims " + std::to_string(m_dims.length()));
    deleteDimRecords(m_dims);
}

void GripEditor::dropImage() {
    // The image never joined the database: it is simply deleted.
    delete m_image;
    m_image = nullptr;
}

void GripEditor::endSession() {
    dropImage();
    tellGripStatus(AcDb::kDimDataToBeDeleted);
    tellGripStatus(AcDb::kGripsToBeDeleted);
    // From here on the application data may be gone: only the records themselves are touched.
    m_log.push_back("deleteDims " + std::to_string(m_dims.length()));
    deleteDimRecords(m_dims);
    m_log.push_back("deleteGrips " + std::to_string(m_grips.length()));
    for (AcDbGripData* g : m_grips) {
        delete g;
    }
    m_grips.setLogicalLength(0);
    m_hot.setLogicalLength(0);
    m_dragging = false;
    m_offset = AcGeVector3d();
}

void GripEditor::cancel() {
    if (m_grips.isEmpty() && m_dims.isEmpty() && m_image == nullptr) {
        return;
    }
    endSession();
}

Acad::ErrorStatus GripEditor::hover(int index, RecordingViewportDraw& vd, HoverResult* result) {
    AcDbGripData* g = grip(index);
    if (g == nullptr) {
        return Acad::eInvalidIndex;
    }
    if (!m_dims.isEmpty()) {
        dropDims(true);
    }
    HoverResult out;
    m_log.push_back("hover " + std::to_string(index));
    if (GripWorldOrViewportDrawPtr draw = g->viewportDraw()) {
        AcGePoint3d at = g->gripPoint();
        out.viewportDrawn = draw(g, &vd, m_id, AcDbGripOperations::kHoverGrip, &at, m_gripSize);
    }
    if (GripToolTipPtr tip = g->toolTipFunc()) {
        // The text stays its maker's: it is copied, never freed.
        if (const ACHAR* text = tip(g)) {
            out.hasToolTip = true;
            out.toolTip = text;
        }
    }
    if (GripDimensionPtr dims = g->hoverDimensionFunc()) {
        const int before = m_dims.length();
        dims(g, m_id, m_viewUnitSize, m_dims);
        out.dimensionCount = m_dims.length() - before;
        for (int i = before; i < m_dims.length(); ++i) {
            if (m_dims[i] != nullptr && m_dims[i]->dimension() != nullptr) {
                vd.drawEntity(m_dims[i]->dimension());
            }
        }
    }
    if (result != nullptr) {
        *result = out;
    }
    return Acad::eOk;
}

void GripEditor::unhover() {
    if (!m_dims.isEmpty() && !m_dragging) {
        dropDims(true);
    }
}

AcDbGripOperations::ReturnValue GripEditor::clickHotGrip(int index, int contextFlags,
                                                         unsigned menuChoice) {
    AcDbGripData* g = grip(index);
    if (g == nullptr) {
        return AcDbGripOperations::eFailure;
    }
    if (g->mapGripHotToRtClk() && g->rtClk() != nullptr) {
        AcDbIntArray hot;
        hot.append(index);
        return rightClick(hot, menuChoice).status;
    }
    GripOperationPtr hotFn = g->hotGripFunc();
    if (hotFn == nullptr) {
        return AcDbGripOperations::eGripHotToo;
    }
    m_log.push_back("hotGrip " + std::to_string(index));
    const AcDbGripOperations::ReturnValue rv = hotFn(g, m_id, contextFlags);
    if (rv == AcDbGripOperations::eGetNewGripPoints) {
        collectGrips();
    }
    return rv;
}

GripEditor::MenuResult GripEditor::rightClick(const AcDbIntArray& hotGrips, unsigned menuChoice) {
    MenuResult out;
    AcDbGripDataArray hot;
    for (int index : hotGrips) {
        if (AcDbGripData* g = grip(index)) {
            hot.append(*g);
        }
    }
    if (hot.isEmpty() || hot[0].rtClk() == nullptr) {
        return out;
    }
    AcDbObjectIdArray ents;
    ents.append(m_id);
    ACHAR* menuName = nullptr;
    HMENU menu = nullptr;
    ContextMenuItemIndexPtr callback = nullptr;
    m_log.push_back("rightClick");
    out.handled = true;
    out.status = hot[0].rtClk()(hot, ents, menuName, menu, callback);
    if (menuName != nullptr) {
        out.menuName = menuName;
    }
    if (const std::vector<MenuItem>* items = menuItems(menu)) {
        out.items = *items;
    }
    unsigned choice = 0;
    for (const MenuItem& item : out.items) {
        if ((item.flags & MF_SEPARATOR) == 0 && item.id == menuChoice) {
            choice = menuChoice;
        }
    }
    if (callback != nullptr) {
        out.callbackCalled = true;
        out.passedChoice = choice;
        callback(choice);
    }
    // The menu and its name were handed over.
    if (menu != nullptr) {
        DestroyMenu(menu);
    }
    acutDelBuffer(menuName);
    return out;
}

Acad::ErrorStatus GripEditor::beginDrag(int index) {
    AcDbIntArray indices;
    indices.append(index);
    return beginDrag(indices);
}

Acad::ErrorStatus GripEditor::beginDrag(const AcDbIntArray& indices) {
    if (indices.isEmpty()) {
        return Acad::eInvalidInput;
    }
    for (int index : indices) {
        if (grip(index) == nullptr) {
            return Acad::eInvalidIndex;
        }
    }
    if (!m_dims.isEmpty()) {
        dropDims(true);
    }
    m_hot.setLogicalLength(0);
    for (int index : indices) {
        if (!m_hot.contains(index)) {
            m_hot.append(index);
        }
    }
    m_dragging = true;
    m_offset = AcGeVector3d();
    m_lastDragStatus = Acad::eOk;
    for (int index : m_hot) {
        AcDbGripData* g = grip(index);
        if (GripDimensionPtr dims = g->hotGripDimensionFunc()) {
            dims(g, m_id, m_viewUnitSize, m_dims);
        }
    }
    return Acad::eOk;
}

AcDbVoidPtrArray GripEditor::hotAppData() const {
    AcDbVoidPtrArray data;
    for (int index : m_hot) {
        if (AcDbGripData* g = grip(index)) {
            data.append(g->appData());
        }
    }
    return data;
}

Acad::ErrorStatus GripEditor::dragTo(const AcGeVector3d& offsetFromStart,
                                     RecordingViewportDraw* vd) {
    if (!m_dragging) {
        return Acad::eNotApplicable;
    }
    dropImage();
    AcDbEntity* image = nullptr;
    {
        OpenEntity ent(m_id, AcDb::kForRead);
        if (ent.get() == nullptr) {
            return ent.status();
        }
        AcRxObject* copy = ent.get()->clone();
        image = AcDbEntity::cast(copy);
        if (image == nullptr) {
            delete copy;
            return Acad::eOutOfMemory;
        }
    }
    m_image = image;
    m_offset = offsetFromStart;
    m_log.push_back("dragMove");
    m_lastDragStatus = image->moveGripPointsAt(hotAppData(), offsetFromStart, m_bitFlags);
    if (vd != nullptr) {
        vd->drawEntity(image);
        for (int index : m_hot) {
            AcDbGripData* g = grip(index);
            if (GripWorldOrViewportDrawPtr draw = g->viewportDraw()) {
                AcGePoint3d at = g->gripPoint() + offsetFromStart;
                draw(g, vd, m_id, AcDbGripOperations::kDragImageGrip, &at, m_gripSize);
            }
        }
        for (AcDbDimData* d : m_dims) {
            if (d != nullptr && d->dimension() != nullptr) {
                vd->drawEntity(d->dimension());
            }
        }
    }
    return m_lastDragStatus;
}

Acad::ErrorStatus GripEditor::release() {
    if (!m_dragging) {
        return Acad::eNotApplicable;
    }
    dropImage();
    Acad::ErrorStatus es = Acad::eOk;
    {
        OpenEntity ent(m_id, AcDb::kForWrite);
        es = ent.status();
        if (ent.get() != nullptr) {
            m_log.push_back("move");
            es = ent.get()->moveGripPointsAt(hotAppData(), m_offset, m_bitFlags);
        }
    }
    endSession();
    return es;
}

AcDbGripOperations::ReturnValue GripEditor::inputPoint(int index, AcGePoint3d& point, int history,
                                                       bool* changed) {
    AcDbGripData* g = grip(index);
    if (changed != nullptr) {
        *changed = false;
    }
    if (g == nullptr) {
        return AcDbGripOperations::eFailure;
    }
    GripInputPointPtr fn = g->inputPointFunc();
    if (fn == nullptr) {
        return AcDbGripOperations::eOk;
    }
    RecordingViewport viewport;
    const AcGePoint3d raw = point;
    AcGePoint3d newPoint = point;
    bool didChange = false;
    const AcDbVoidPtrArray noSnaps;
    const AcDbObjectIdArray noIds;
    const AcArray<AcDbObjectIdArray> noNested;
    const AcArray<Adesk::LongPtr> noMarkers;
    const AcArray<AcGeCurve3d*> noPaths;
    m_log.push_back("inputPoint " + std::to_string(index));
    const AcDbGripOperations::ReturnValue rv =
        fn(g, m_id, didChange, newPoint, viewport, AcDbObjectId::kNull, false, history, raw, raw,
           g->gripPoint(), raw, raw, 0, noSnaps, 0, noSnaps, noIds, noNested, noMarkers, noIds,
           noNested, noMarkers, noPaths, raw);
    if (didChange) {
        point = newPoint;
    }
    if (changed != nullptr) {
        *changed = didChange;
    }
    return rv;
}

Acad::ErrorStatus GripEditor::typeDimensionValue(int dimIndex, double value, AcGeVector3d* result) {
    if (dimIndex < 0 || dimIndex >= m_dims.length() || m_dims[dimIndex] == nullptr) {
        return Acad::eInvalidIndex;
    }
    AcDbDimData* d = m_dims[dimIndex];
    DimDataSetValueFuncPtr setValue = d->dimValueFunc();
    if (setValue == nullptr) {
        return Acad::eNotApplicable;
    }
    dropImage();
    AcGeVector3d answered;
    Acad::ErrorStatus es = Acad::eOk;
    {
        OpenEntity ent(m_id, AcDb::kForWrite);
        es = ent.status();
        if (ent.get() != nullptr) {
            m_log.push_back("setDimValue " + std::to_string(dimIndex));
            answered = setValue(d, ent.get(), value, m_offset);
        }
    }
    if (result != nullptr) {
        *result = answered;
    }
    endSession();
    return es;
}

}  // namespace kxhost
