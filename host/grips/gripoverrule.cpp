#include "host/grips/gripoverrule.h"

#include <memory>
#include <unordered_map>
#include <vector>

ACRX_HOST_CLASS(AcDbGripOverrule, AcRxOverrule);

namespace kxhost {
ACRX_HOST_CLASS(HostGripAppData, AcRxObject);
}  // namespace kxhost

// --- Grip records --------------------------------------------------------------------------------

AcDbGripData::AcDbGripData() = default;

AcDbGripData::AcDbGripData(const AcDbGripData& other)
    : m_point(other.m_point),
      m_appData(other.m_appData),
      m_appDataClass(other.m_appDataClass),
      m_hotGrip(other.m_hotGrip),
      m_rtClk(other.m_rtClk),
      m_viewportDraw(other.m_viewportDraw),
      m_toolTip(other.m_toolTip),
      m_hoverDim(other.m_hoverDim),
      m_hotDim(other.m_hotDim),
      m_inputPoint(other.m_inputPoint),
      m_altBase(other.m_altBase != nullptr ? new AcGePoint3d(*other.m_altBase) : nullptr),
      m_flags(other.m_flags) {}

AcDbGripData& AcDbGripData::operator=(const AcDbGripData& other) {
    if (this != &other) {
        AcDbGripData copy(other);
        std::swap(m_altBase, copy.m_altBase);
        m_point = other.m_point;
        m_appData = other.m_appData;
        m_appDataClass = other.m_appDataClass;
        m_hotGrip = other.m_hotGrip;
        m_rtClk = other.m_rtClk;
        m_viewportDraw = other.m_viewportDraw;
        m_toolTip = other.m_toolTip;
        m_hoverDim = other.m_hoverDim;
        m_hotDim = other.m_hotDim;
        m_inputPoint = other.m_inputPoint;
        m_flags = other.m_flags;
    }
    return *this;
}

AcDbGripData::~AcDbGripData() {
    delete m_altBase;
}

void AcDbGripData::setAlternateBasePoint(AcGePoint3d* pt) {
    if (pt != m_altBase) {
        delete m_altBase;
        m_altBase = pt;
    }
}

// --- The host's own grip markers -----------------------------------------------------------------

namespace kxhost {
namespace {
// No entity offers anywhere near this many grips; the bound keeps a corrupt index from growing
// the table without limit.
constexpr int kMaxHostGrips = 1 << 20;

struct MarkerTable {
    std::vector<std::unique_ptr<HostGripAppData>> markers;
    std::unordered_map<const void*, int> indexOf;
};
MarkerTable& markerTable() {
    static MarkerTable table;
    return table;
}
}  // namespace

HostGripAppData* HostGripAppData::forIndex(int index) {
    if (index < 0 || index >= kMaxHostGrips) {
        return nullptr;
    }
    MarkerTable& table = markerTable();
    while (static_cast<int>(table.markers.size()) <= index) {
        const int next = static_cast<int>(table.markers.size());
        table.markers.emplace_back(new HostGripAppData(next));
        table.indexOf.emplace(table.markers.back().get(), next);
    }
    return table.markers[static_cast<size_t>(index)].get();
}

int HostGripAppData::indexOf(const void* appData) {
    const MarkerTable& table = markerTable();
    const auto it = table.indexOf.find(appData);
    return it != table.indexOf.end() ? it->second : -1;
}
}  // namespace kxhost

// --- The overrule's base behaviour ---------------------------------------------------------------

namespace {
AcDbGripOverrule* first(const AcDbEntity* e) {
    return static_cast<AcDbGripOverrule*>(kxhost::firstOverrule(e, AcDbGripOverrule::desc()));
}
AcDbGripOverrule* after(const AcDbEntity* e, const AcDbGripOverrule* o) {
    return static_cast<AcDbGripOverrule*>(kxhost::nextOverrule(e, AcDbGripOverrule::desc(), o));
}

// The entity entry points reach the grip overrules through this routing.
class GripOverruleRouting : public kxhost::EntityGripRouting {
  public:
    bool getGripPoints(const AcDbEntity* ent, AcGePoint3dArray& gripPoints,
                       AcDbIntArray& osnapModes, AcDbIntArray& geomIds,
                       Acad::ErrorStatus& es) override {
        AcDbGripOverrule* o = first(ent);
        if (o != nullptr) {
            es = o->getGripPoints(ent, gripPoints, osnapModes, geomIds);
        }
        return o != nullptr;
    }
    bool moveGripPointsAt(AcDbEntity* ent, const AcDbIntArray& indices, const AcGeVector3d& offset,
                          Acad::ErrorStatus& es) override {
        AcDbGripOverrule* o = first(ent);
        if (o != nullptr) {
            es = o->moveGripPointsAt(ent, indices, offset);
        }
        return o != nullptr;
    }
    bool getStretchPoints(const AcDbEntity* ent, AcGePoint3dArray& stretchPoints,
                          Acad::ErrorStatus& es) override {
        AcDbGripOverrule* o = first(ent);
        if (o != nullptr) {
            es = o->getStretchPoints(ent, stretchPoints);
        }
        return o != nullptr;
    }
    bool moveStretchPointsAt(AcDbEntity* ent, const AcDbIntArray& indices,
                             const AcGeVector3d& offset, Acad::ErrorStatus& es) override {
        AcDbGripOverrule* o = first(ent);
        if (o != nullptr) {
            es = o->moveStretchPointsAt(ent, indices, offset);
        }
        return o != nullptr;
    }
    bool getGripData(const AcDbEntity* ent, AcDbGripDataPtrArray& grips, double curViewUnitSize,
                     int gripSize, const AcGeVector3d& curViewDir, int bitFlags,
                     Acad::ErrorStatus& es) override {
        AcDbGripOverrule* o = first(ent);
        if (o != nullptr) {
            es = o->getGripPoints(ent, grips, curViewUnitSize, gripSize, curViewDir, bitFlags);
        }
        return o != nullptr;
    }
    bool moveGripData(AcDbEntity* ent, const AcDbVoidPtrArray& gripAppData,
                      const AcGeVector3d& offset, int bitFlags, Acad::ErrorStatus& es) override {
        AcDbGripOverrule* o = first(ent);
        if (o != nullptr) {
            es = o->moveGripPointsAt(ent, gripAppData, offset, bitFlags);
        }
        return o != nullptr;
    }
    bool gripStatus(AcDbEntity* ent, AcDb::GripStat status) override {
        AcDbGripOverrule* o = first(ent);
        if (o != nullptr) {
            o->gripStatus(ent, status);
        }
        return o != nullptr;
    }
};

GripOverruleRouting g_gripRouting;
// g_routing in entity.cpp is constant-initialised, so installing at dynamic initialisation is
// safe in any order.
const bool g_installed = [] {
    kxhost::setEntityGripRouting(&g_gripRouting);
    return true;
}();
}  // namespace

Acad::ErrorStatus AcDbGripOverrule::getGripPoints(const AcDbEntity* pSubject,
                                                  AcGePoint3dArray& gripPoints,
                                                  AcDbIntArray& osnapModes, AcDbIntArray& geomIds) {
    if (pSubject == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (AcDbGripOverrule* next = after(pSubject, this)) {
        return next->getGripPoints(pSubject, gripPoints, osnapModes, geomIds);
    }
    return pSubject->subGetGripPoints(gripPoints, osnapModes, geomIds);
}

Acad::ErrorStatus AcDbGripOverrule::moveGripPointsAt(AcDbEntity* pSubject,
                                                     const AcDbIntArray& indices,
                                                     const AcGeVector3d& offset) {
    if (pSubject == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (AcDbGripOverrule* next = after(pSubject, this)) {
        return next->moveGripPointsAt(pSubject, indices, offset);
    }
    return pSubject->subMoveGripPointsAt(indices, offset);
}

Acad::ErrorStatus AcDbGripOverrule::getGripPoints(const AcDbEntity* pSubject,
                                                  AcDbGripDataPtrArray& grips,
                                                  double curViewUnitSize, int gripSize,
                                                  const AcGeVector3d& curViewDir, int bitFlags) {
    if (pSubject == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (AcDbGripOverrule* next = after(pSubject, this)) {
        return next->getGripPoints(pSubject, grips, curViewUnitSize, gripSize, curViewDir,
                                   bitFlags);
    }
    return pSubject->subGetGripPoints(grips, curViewUnitSize, gripSize, curViewDir, bitFlags);
}

Acad::ErrorStatus AcDbGripOverrule::moveGripPointsAt(AcDbEntity* pSubject,
                                                     const AcDbVoidPtrArray& gripAppData,
                                                     const AcGeVector3d& offset, int bitFlags) {
    if (pSubject == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (AcDbGripOverrule* next = after(pSubject, this)) {
        return next->moveGripPointsAt(pSubject, gripAppData, offset, bitFlags);
    }
    return pSubject->subMoveGripPointsAt(gripAppData, offset, bitFlags);
}

Acad::ErrorStatus AcDbGripOverrule::getStretchPoints(const AcDbEntity* pSubject,
                                                     AcGePoint3dArray& stretchPoints) {
    if (pSubject == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (AcDbGripOverrule* next = after(pSubject, this)) {
        return next->getStretchPoints(pSubject, stretchPoints);
    }
    return pSubject->subGetStretchPoints(stretchPoints);
}

Acad::ErrorStatus AcDbGripOverrule::moveStretchPointsAt(AcDbEntity* pSubject,
                                                        const AcDbIntArray& indices,
                                                        const AcGeVector3d& offset) {
    if (pSubject == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (AcDbGripOverrule* next = after(pSubject, this)) {
        return next->moveStretchPointsAt(pSubject, indices, offset);
    }
    return pSubject->subMoveStretchPointsAt(indices, offset);
}

void AcDbGripOverrule::gripStatus(AcDbEntity* pSubject, AcDb::GripStat status) {
    if (pSubject == nullptr) {
        return;
    }
    if (AcDbGripOverrule* next = after(pSubject, this)) {
        next->gripStatus(pSubject, status);
        return;
    }
    pSubject->subGripStatus(status);
}
