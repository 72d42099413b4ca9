#include "module/params/linear_tag.h"

#include <cmath>

#include "host/core/resbuf.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/display/labels.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_expr_imp.h"
#include "module/graph/eval_graph.h"
#include "module/grips/linear_grip.h"
#include "module/params/linear_tag_imp.h"
#include "module/params/param_inputs.h"

KX_DEFINE_PAIR(KxDbBlockLinearTag, KxDbBlock2PtTag, KxDbImpBlockLinearTag)

namespace {

using Base = KxDbImpBlock2PtTag;

// Lengths and distances at or below this are zero; requests below its negative are refused.
constexpr double kLengthTolerance = 1e-10;

const ACHAR* const kLinearMarker = L"AcDbBlockLinearParameter";
const ACHAR* const kDistanceConnection = L"UpdatedDistance";

// DXF group codes of the parameter's own fields and of its value set.
constexpr int kNameCode = 305;
constexpr int kDescriptionCode = 306;
constexpr int kLabelValueCode = 140;
constexpr int kValueSetStartCode = 307;
constexpr int kSetFlagsCode = 96;
constexpr int kSetMinCode = 141;
constexpr int kSetMaxCode = 142;
constexpr int kSetIncCode = 143;
constexpr int kSetCountCode = 175;
constexpr int kSetValueCode = 144;

// Base location 1: the parameter's base is the midpoint of its two points.
constexpr Adesk::Int16 kMidpointBase = 1;

KxDbImpBlockLinearTag* impOf(const KxDbBlockLinearTag* tag) {
    return kxImpOf<KxDbImpBlockLinearTag>(tag);
}

// The unit vector of v; zero for a vector too short to have a direction.
AcGeVector3d unitOrZero(const AcGeVector3d& v) {
    const double length = v.length();
    return length > kLengthTolerance ? v / length : AcGeVector3d(0.0, 0.0, 0.0);
}

bool isRealValue(const KxDbTagEvalVariant& value) {
    return acdbGroupCodeToType(value.type()) == AcDb::kDwgReal;
}

// An object opened for the length of a scope (only when `opened` says the open is ours).
class ScopedNode {
  public:
    ScopedNode() = default;
    ~ScopedNode() { reset(); }
    ScopedNode(const ScopedNode&) = delete;
    ScopedNode& operator=(const ScopedNode&) = delete;
    void set(KxDbTagEvalExpr* node, bool opened) {
        reset();
        m_node = node;
        m_opened = opened;
    }
    void reset() {
        if (m_node != nullptr && m_opened) {
            m_node->close();
        }
        m_node = nullptr;
        m_opened = false;
    }
    KxDbTagEvalExpr* get() const { return m_node; }

  private:
    KxDbTagEvalExpr* m_node = nullptr;
    bool m_opened = false;
};

// Lets other objects open the parameter while it calls out: a resident object open for write is
// turned into a notify open for the scope and made writable again after.
class NotifyScope {
  public:
    explicit NotifyScope(AcDbObjectWrapper* obj)
        : m_obj(obj),
          m_downgraded(obj != nullptr && obj->database() != nullptr && obj->isWriteEnabled() &&
                       obj->downgradeToNotify(false) == Acad::eOk) {}
    ~NotifyScope() {
        if (m_downgraded) {
            Adesk::Boolean wasWritable = false;
            m_obj->upgradeFromNotify(wasWritable);
        }
    }
    NotifyScope(const NotifyScope&) = delete;
    NotifyScope& operator=(const NotifyScope&) = delete;

  private:
    AcDbObjectWrapper* m_obj;
    bool m_downgraded;
};

}  // namespace

// --- Public linear parameter: one-line forwarders ---------------------------------------------

KX_FORWARD(AcString, KxDbBlockLinearTag, distanceName, (), (), const, AcString())
KX_FORWARD_STATUS(KxDbBlockLinearTag, setDistanceName, (const ACHAR* name), (name), )
KX_FORWARD(AcString, KxDbBlockLinearTag, distanceDescription, (), (), const, AcString())
KX_FORWARD_STATUS(KxDbBlockLinearTag, setDistanceDescription, (const ACHAR* description),
                  (description), )
KX_FORWARD_STATUS(KxDbBlockLinearTag, setUpdatedDistance, (double distance), (distance), )
KX_FORWARD(double, KxDbBlockLinearTag, labelValue, (), (), const, 0.0)
KX_FORWARD_STATUS(KxDbBlockLinearTag, setLabelValue, (double value), (value), )
KX_FORWARD(KxDbBlockTagValueSet, KxDbBlockLinearTag, valueSet, (), (), const,
           KxDbBlockTagValueSet())
KX_FORWARD_STATUS(KxDbBlockLinearTag, setValueSet, (const KxDbBlockTagValueSet& valueSet),
                  (valueSet), )

// --- Implementation: own fields ---------------------------------------------------------------

KxDbImpBlockLinearTag::KxDbImpBlockLinearTag(AcDbObjectWrapper* pub)
    : KxDbImpBlock2PtTag(pub), m_distanceName(kxdisplay::loadLabel(kDistanceLabel)) {}

Acad::ErrorStatus KxDbImpBlockLinearTag::setDistanceName(const ACHAR* name) {
    if (name == nullptr) {
        return Acad::eInvalidInput;
    }
    assertWriteEnabled();
    const Acad::ErrorStatus es = validatePropertyName(m_distanceName, name);
    if (es != Acad::eOk) {
        return es;
    }
    m_distanceName = name;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setDistanceDescription(const ACHAR* description) {
    assertWriteEnabled();
    m_distanceDescription = description != nullptr ? description : L"";
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setLabelValue(double value) {
    assertWriteEnabled();
    m_labelValue = value;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setValueSet(const KxDbBlockTagValueSet& valueSet) {
    assertWriteEnabled();
    m_valueSet = valueSet;
    return m_valueSet.imp() != nullptr ? Acad::eOk : Acad::eOutOfMemory;
}

Acad::ErrorStatus KxDbImpBlockLinearTag::getLabelNames(AcStringArray& names) const {
    const Acad::ErrorStatus es = Base::getLabelNames(names);
    names.append(m_distanceName);
    return es;
}

// --- Implementation: grips --------------------------------------------------------------------

bool KxDbImpBlockLinearTag::isLinearGrip(KxNodeId id) const {
    KxDbTagEvalExpr* node = nullptr;
    bool opened = false;
    Acad::ErrorStatus es = openGraphNode(id, AcDb::kForRead, node, opened);
    if (es == Acad::eWasOpenForWrite || es == Acad::eWasOpenForRead) {
        // Open elsewhere for write: a notify open is enough to look at its class.
        es = openGraphNode(id, AcDb::kForNotify, node, opened);
    }
    if (es != Acad::eOk) {
        return false;
    }
    ScopedNode scoped;
    scoped.set(node, opened);
    return KxDbTagLinearGrip::cast(node) != nullptr;
}

void KxDbImpBlockLinearTag::orientGrips() {
    const AcGeVector3d along = definitionEndPoint() - definitionBasePoint();
    for (int index = 0; index < 2; ++index) {
        const KxNodeId id = gripId(index);
        if (id == 0) {
            continue;
        }
        KxDbTagEvalExpr* node = nullptr;
        bool opened = false;
        if (openGraphNode(id, AcDb::kForWrite, node, opened) != Acad::eOk) {
            continue;
        }
        ScopedNode scoped;
        scoped.set(node, opened);
        if (auto* grip = KxDbTagLinearGrip::cast(node)) {
            // Each grip points away from the other end.
            grip->setOrientation(index == 0 ? -along : along);
        }
    }
}

Acad::ErrorStatus KxDbImpBlockLinearTag::addGrip(int index, KxNodeId& newGripId,
                                                 KxDbTagEvalGraph* graph) {
    assertWriteEnabled();
    if (index < 0 || index > 1) {
        return Acad::eInvalidInput;
    }
    if (gripId(index) != 0) {
        return KxStatus::kNodeExists;
    }
    if (nodeId() == 0) {
        return KxStatus::kNotInGraph;
    }
    const bool base = index == 0;

    // Into the graph: the caller's open graph, or the owner graph opened here.
    KxDbTagEvalGraph* target = graph;
    bool ownOpen = false;
    if (target == nullptr) {
        const Acad::ErrorStatus es = openOwnerGraph(target, AcDb::kForWrite);
        if (es != Acad::eOk) {
            return es;
        }
        ownOpen = true;
    }
    const AcString name = kxdisplay::loadLabel(base ? kBaseGripLabel : kEndGripLabel);
    auto* grip = new KxDbTagLinearGrip(name, base ? definitionBasePoint() : definitionEndPoint());
    if (grip == nullptr) {
        if (ownOpen) {
            target->close();
        }
        return Acad::eOutOfMemory;
    }
    KxNodeId id = 0;
    Acad::ErrorStatus es = target->addNode(grip, id);
    if (ownOpen) {
        target->close();
    }
    if (es != Acad::eOk) {
        if (grip->objectId().isNull()) {
            delete grip;
        } else {
            grip->close();
        }
        return es;
    }

    // Takes the grip out of the graph again when it cannot be wired: a grip that drives
    // nothing must not stay behind.
    auto discard = [this, id]() {
        KxDbTagEvalGraph* owner = nullptr;
        if (openOwnerGraph(owner, AcDb::kForWrite) == Acad::eOk) {
            NotifyScope notify(publicObject());
            removeGripNode(owner, id);
            owner->close();
        }
    };

    // The grip's position follows this parameter's updated point.
    {
        NotifyScope notify(publicObject());
        es = grip->connectTo(L"X", nodeId(), base ? L"UpdatedBaseX" : L"UpdatedEndX");
    }
    if (es == Acad::eOk) {
        NotifyScope notify(publicObject());
        es = grip->connectTo(L"Y", nodeId(), base ? L"UpdatedBaseY" : L"UpdatedEndY");
    }
    grip->close();
    if (es != Acad::eOk) {
        discard();
        return es;
    }

    // The updated point follows the grip's drag.
    es = connectTo(inputName(base ? kBaseX : kEndX), id, L"DisplacementX");
    if (es == Acad::eOk) {
        es = connectTo(inputName(base ? kBaseY : kEndY), id, L"DisplacementY");
    }
    if (es != Acad::eOk) {
        discard();
        return es;
    }
    setGripId(index, id);
    newGripId = id;
    orientGrips();
    // The edges were added before the grip was recorded: only now does the grip count as one
    // that may drive nothing.
    clearElementStateFlag();
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpBlockLinearTag::removeGripInGraph(int index, KxDbTagEvalGraph* graph) {
    if (index != 0 && index != 1) {
        return Acad::eInvalidInput;
    }
    return Base::removeGripInGraph(index, graph);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setGripCount(int count) {
    if (count < 0 || count > 2) {
        return Acad::eInvalidInput;
    }
    return Base::setGripCount(count);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::connectTo(const ACHAR* name, KxNodeId otherId,
                                                   const ACHAR* otherName) {
    if (nodeId() == 0 || otherId == 0) {
        return KxStatus::kNotInGraph;
    }
    if (!isLinearGrip(otherId)) {
        return Acad::eInvalidInput;
    }
    return Base::connectTo(name, otherId, otherName);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                                        const ACHAR* otherName) {
    if (nodeId() == 0 || otherId == 0) {
        return KxStatus::kNotInGraph;
    }
    if (!isLinearGrip(otherId)) {
        return Acad::eInvalidInput;
    }
    return Base::disconnectFrom(name, otherId, otherName);
}

bool KxDbImpBlockLinearTag::canConnectTo(const ACHAR* name, KxNodeId otherId,
                                         const ACHAR* otherName) const {
    return nodeId() != 0 && otherId != 0 && isLinearGrip(otherId) &&
           Base::canConnectTo(name, otherId, otherName);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::evaluate(KxDbTagEvalContext* context) {
    // Stored instance data is being applied: the grips were not dragged.
    if (kxIsEvalMode(context, kEvalModeLoad)) {
        return Acad::eOk;
    }
    assertWriteEnabled();
    if (nodeId() == 0) {
        return KxStatus::kNotInGraph;
    }
    pullLookupValues();
    KxDbTagEvalGraph* graph = nullptr;
    Acad::ErrorStatus es = openOwnerGraph(graph, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    KxNodeIdArray live;
    es = kxparam::liveSources(graph, nodeId(), live);
    bool found[kInputCount] = {false, false, false, false};
    double d[kInputCount] = {0.0, 0.0, 0.0, 0.0};
    if (es == Acad::eOk) {
        for (int i = 0; i < kInputCount; ++i) {
            d[i] = kxparam::inputDisplacement(graph, inputs(static_cast<Input>(i)), live, found[i]);
        }
    }
    graph->close();
    if (es != Acad::eOk) {
        return es;
    }
    // A drag is a request like any other: through the constrained setters, so that the value
    // set and the base location apply to it.
    if (found[kBaseX] || found[kBaseY]) {
        es = setUpdatedBasePoint(currentBasePoint() + AcGeVector3d(d[kBaseX], d[kBaseY], 0.0));
    }
    if (es == Acad::eOk && (found[kEndX] || found[kEndY])) {
        es = setUpdatedEndPoint(currentEndPoint() + AcGeVector3d(d[kEndX], d[kEndY], 0.0));
    }
    return es;
}

Acad::ErrorStatus KxDbImpBlockLinearTag::clearElementStateFlag() {
    const Acad::ErrorStatus es = Base::clearElementStateFlag();
    const bool idleGrip =
        (gripId(0) != 0 && !isGripUsed(0, nullptr)) || (gripId(1) != 0 && !isGripUsed(1, nullptr));
    const Adesk::Int32 flag = elementStateFlag();
    setElementStateFlag(idleGrip ? (flag | kIdleGripFlag) : (flag & ~kIdleGripFlag));
    return es;
}

// --- Implementation: constrained points -------------------------------------------------------

double KxDbImpBlockLinearTag::symmetricLength(double dragged) const {
    // The other end moves as far as the dragged one: the length grows by twice the drag.
    const AcGeVector3d present = updatedEndPoint() - updatedBasePoint();
    return 2.0 * dragged - std::hypot(present.x, present.y);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::recentre(const AcGePoint3d& dragged, double length,
                                                  bool baseDragged) {
    if (dynamic_cast<KxDbBlockLinearTag*>(publicObject()) == nullptr) {
        return Acad::eInvalidInput;
    }
    const AcGePoint3d base = updatedBasePoint();
    const AcGePoint3d end = updatedEndPoint();
    const AcGePoint3d middle = base + (end - base) * 0.5;
    const AcGeVector3d half = unitOrZero(dragged - (baseDragged ? end : base)) * (length / 2.0);
    const AcGePoint3d newBase = baseDragged ? middle + half : middle - half;
    const AcGePoint3d newEnd = baseDragged ? middle - half : middle + half;
    Base::setUpdatedBasePoint(newBase);
    return Base::setUpdatedEndPoint(newEnd);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::constrainPoint(const AcGePoint3d& requested,
                                                        bool baseDragged) {
    assertWriteEnabled();
    const AcGePoint3d anchor = baseDragged ? updatedEndPoint() : updatedBasePoint();
    // The axis the parameter has now, else the one of the definition.
    AcGeVector3d axis = baseDragged ? currentBasePoint() - currentEndPoint()
                                    : currentEndPoint() - currentBasePoint();
    if (axis.isZeroLength()) {
        axis = baseDragged ? definitionBasePoint() - definitionEndPoint()
                           : definitionEndPoint() - definitionBasePoint();
    }
    double distance = requested.distanceTo(anchor);
    if ((requested - anchor).dotProduct(axis) < 0.0) {
        distance = -distance;
    }
    // Dragged past the other end: the request is not taken.
    if (distance < -kLengthTolerance) {
        return Acad::eOk;
    }
    const double reference = definitionDistance();
    if (baseLocation() == kMidpointBase) {
        double length = symmetricLength(distance);
        // Shorter than nothing would turn the parameter over.
        if (length < -kLengthTolerance) {
            return Acad::eOk;
        }
        if (!m_valueSet.isValid(length, reference)) {
            length = m_valueSet.nearestValid(length, reference);
        }
        return recentre(requested, length, baseDragged);
    }
    AcGePoint3d point = requested;
    if (!m_valueSet.isValid(distance, reference)) {
        // The nearest allowed distance, along the axis (not towards the requested point).
        point = anchor + unitOrZero(axis) * m_valueSet.nearestValid(distance, reference);
    }
    return baseDragged ? Base::setUpdatedBasePoint(point) : Base::setUpdatedEndPoint(point);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setUpdatedBasePoint(const AcGePoint3d& point) {
    return constrainPoint(point, true);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setUpdatedEndPoint(const AcGePoint3d& point) {
    return constrainPoint(point, false);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setUpdatedDistance(double distance) {
    assertWriteEnabled();
    const AcGePoint3d base = updatedBasePoint();
    AcGeVector3d direction = updatedEndPoint() - base;
    if (direction.length() <= kLengthTolerance) {
        direction = definitionEndPoint() - definitionBasePoint();
        if (direction.length() <= kLengthTolerance) {
            direction = AcGeVector3d(1.0, 0.0, 0.0);
        }
    }
    const AcGeVector3d unit = unitOrZero(direction);
    if (baseLocation() == kMidpointBase) {
        // A negative length would turn the parameter over.
        if (distance < -kLengthTolerance) {
            return Acad::eOk;
        }
        const double reference = definitionDistance();
        if (!m_valueSet.isValid(distance, reference)) {
            distance = m_valueSet.nearestValid(distance, reference);
        }
        return recentre(base + unit * distance, distance, false);
    }
    // Through the constrained end point, so that the value set applies there.
    return setUpdatedEndPoint(base + unit * distance);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setDefinitionBasePoint(const AcGePoint3d& point) {
    const Acad::ErrorStatus es = Base::setDefinitionBasePoint(point, true);
    if (es != KxParamStatus::kPointsCoincide) {
        orientGrips();
    }
    return es;
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setDefinitionBasePoint(const AcGePoint3d& point,
                                                                bool strict) {
    const Acad::ErrorStatus es = Base::setDefinitionBasePoint(point, strict);
    if (strict && es != KxParamStatus::kPointsCoincide) {
        orientGrips();
    }
    return es;
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setDefinitionEndPoint(const AcGePoint3d& point) {
    const Acad::ErrorStatus es = Base::setDefinitionEndPoint(point, true);
    if (es != KxParamStatus::kPointsCoincide) {
        orientGrips();
    }
    return es;
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setDefinitionEndPoint(const AcGePoint3d& point,
                                                               bool strict) {
    const Acad::ErrorStatus es = Base::setDefinitionEndPoint(point, strict);
    if (strict && es != KxParamStatus::kPointsCoincide) {
        orientGrips();
    }
    return es;
}

// --- Implementation: the distance property ----------------------------------------------------

Acad::ErrorStatus KxDbImpBlockLinearTag::getPropertyDescriptions(
    KxDbBlockPropertyDescArray& descs) const {
    KxDbBlockPropertyDesc desc(m_distanceName, kDistanceConnection, 40);
    desc.readOnly = (elementStateFlag() & kNoActionFlag) != 0 ? 1 : 0;
    desc.visible = showProperties() ? 1 : 0;
    desc.description = m_distanceDescription;
    desc.listFlag = m_valueSet.isList() ? 1 : 0;
    if (m_valueSet.isList()) {
        const AcGeDoubleArray values = m_valueSet.listWithReference(definitionDistance());
        for (double v : values) {
            desc.allowedValues.append(KxDbTagEvalVariant(v));
        }
    }
    desc.unitKind = 2;
    descs.append(desc);
    return Base::getPropertyDescriptions(descs);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::getPropertyValue(const ACHAR* name,
                                                          KxDbTagEvalVariant& value) const {
    if (name != nullptr && m_distanceName == name) {
        value.setReal(currentDistance());
        return Acad::eOk;
    }
    return Base::getPropertyValue(name, value);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::getPropertyValueTransformed(
    const ACHAR* name, const AcGeMatrix3d& xform, KxDbTagEvalVariant& value) const {
    if (name != nullptr && m_distanceName == name) {
        value.setReal(currentDistance() * xform.scale());
        return Acad::eOk;
    }
    return Base::getPropertyValueTransformed(name, xform, value);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setPropertyValue(const ACHAR* name,
                                                          const KxDbTagEvalVariant& value) {
    if (name != nullptr && m_distanceName == name) {
        if (!isRealValue(value)) {
            return Acad::eInvalidInput;
        }
        setUpdatedDistance(value.resval.rreal);
        return Acad::eOk;
    }
    return Base::setPropertyValue(name, value);
}

Acad::ErrorStatus KxDbImpBlockLinearTag::setPropertyValueTransformed(
    const ACHAR* name, const AcGeMatrix3d& xform, const KxDbTagEvalVariant& value) {
    if (name != nullptr && m_distanceName == name) {
        // A value of another kind, or a reference scaled to nothing, leaves the distance alone.
        const double scale = xform.scale();
        if (isRealValue(value) && std::fabs(scale) > kLengthTolerance) {
            setUpdatedDistance(value.resval.rreal / scale);
        }
        return Acad::eOk;
    }
    return Base::setPropertyValueTransformed(name, xform, value);
}

// --- Implementation: filing -------------------------------------------------------------------

Acad::ErrorStatus KxDbImpBlockLinearTag::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = Base::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    if (type == AcDb::kIdXlateFiler || type == AcDb::kIdFiler || type == AcDb::kPurgeFiler) {
        return filer->filerStatus();
    }
    filer->writeString(m_distanceName);
    filer->writeString(m_distanceDescription);
    filer->writeDouble(m_labelValue);
    // The range written always holds the definition distance.
    KxDbBlockTagValueSet written(m_valueSet);
    written.setReferenceValue(definitionDistance());
    if ((es = written.dwgOutFields(filer)) != Acad::eOk) {
        return es;
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlockLinearTag::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = Base::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (filer->filerType() == AcDb::kIdXlateFiler) {
        return filer->filerStatus();
    }
    AcString name;
    AcString description;
    double labelValue = 0.0;
    if ((es = filer->readString(name)) != Acad::eOk ||
        (es = filer->readString(description)) != Acad::eOk ||
        (es = filer->readDouble(&labelValue)) != Acad::eOk) {
        return es;
    }
    KxDbBlockTagValueSet valueSet(m_valueSet);
    if ((es = valueSet.dwgInFields(filer)) != Acad::eOk) {
        return es;
    }
    m_distanceName = name;
    m_distanceDescription = description;
    m_labelValue = labelValue;
    m_valueSet = valueSet;
    m_valueSet.setReferenceValue(definitionDistance());
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlockLinearTag::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = Base::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kLinearMarker);
    filer->writeString(kNameCode, m_distanceName);
    filer->writeString(kDescriptionCode, m_distanceDescription);
    filer->writeDouble(kLabelValueCode, m_labelValue);
    // An empty text announces the value set.
    filer->writeString(kValueSetStartCode, L"");
    if ((es = m_valueSet.dxfOutFields(filer, kSetFlagsCode, kSetMinCode, kSetMaxCode, kSetIncCode,
                                      kSetCountCode, kSetValueCode)) != Acad::eOk) {
        return es;
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpBlockLinearTag::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = Base::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kLinearMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    AcString name;
    AcString description;
    double labelValue = 0.0;
    bool haveName = false;
    bool haveDescription = false;
    bool haveLabelValue = false;
    bool haveSetStart = false;
    for (;;) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return Acad::eInvalidResBuf;
        }
        const int code = rb.restype;
        if (code == kNameCode || code == kDescriptionCode) {
            (code == kNameCode ? name : description) =
                rb.resval.rstring != nullptr ? rb.resval.rstring : L"";
            (code == kNameCode ? haveName : haveDescription) = true;
            kxnode::releaseDxfItem(rb);
        } else if (code == kLabelValueCode) {
            labelValue = rb.resval.rreal;
            haveLabelValue = true;
        } else if (code == kValueSetStartCode) {
            haveSetStart = true;
            kxnode::releaseDxfItem(rb);
        } else {
            // The value set's groups (or whatever follows): read below.
            kxnode::releaseDxfItem(rb);
            filer->pushBackItem();
            break;
        }
    }
    if (!haveName || !haveDescription || !haveLabelValue || !haveSetStart) {
        const int missing = !haveName          ? kNameCode
                            : !haveDescription ? kDescriptionCode
                            : !haveLabelValue  ? kLabelValueCode
                                               : kValueSetStartCode;
        filer->setError(Acad::eMissingDxfField, L"AcDbBlockLinearParameter: missing group %d",
                        missing);
        return Acad::eMissingDxfField;
    }
    KxDbBlockTagValueSet valueSet(m_valueSet);
    if ((es = valueSet.dxfInFields(filer, kSetFlagsCode, kSetMinCode, kSetMaxCode, kSetIncCode,
                                   kSetCountCode, kSetValueCode)) != Acad::eOk) {
        return es;
    }
    m_distanceName = name;
    m_distanceDescription = description;
    m_labelValue = labelValue;
    m_valueSet = valueSet;
    m_valueSet.setReferenceValue(definitionDistance());
    return Acad::eOk;
}
