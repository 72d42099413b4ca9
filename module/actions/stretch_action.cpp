#include "module/actions/stretch_action.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/entity.h"
#include "module/actions/action_transform.h"
#include "module/actions/action_with_basept.h"
#include "module/actions/stretch_action_imp.h"
#include "module/actions/stretch_frame.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_expr_imp.h"
#include "module/params/block_tag.h"
#include "module/representation/representation_context.h"

KX_DEFINE_PAIR(KxDbTagStretchAction, KxDbTagAction, KxDbImpTagStretchAction)

namespace {

using Base = KxDbImpTagAction;

KxDbImpTagStretchAction* impOf(const KxDbTagStretchAction* pub) {
    return kxImpOf<KxDbImpTagStretchAction>(pub);
}

const ACHAR* const kStretchMarker = L"AcDbBlockStretchAction";
const ACHAR* const kDeltaX = L"DeltaX";
const ACHAR* const kDeltaY = L"DeltaY";

// The element map is filed from this maintenance version on; soft pointer ids from the one before.
constexpr Adesk::Int32 kElementMapMaint = 65;
constexpr Adesk::Int32 kSoftIdMaint = 64;

// No real frame or selection set comes near these; a count beyond them is damage.
constexpr Adesk::UInt32 kMaxFilerCount = 1u << 20;
// A two-point parameter has four grips at most, and entity stretch points stay few; the indices
// of one entry are bounded accordingly generously.
constexpr Adesk::UInt32 kMaxIndexCount = 1u << 16;

// The instance data item after the element's header.
constexpr int kAngleOffsetCode = 40;

// DXF groups of the action's own fields.
constexpr int kSourceXIdCode = 92;
constexpr int kSourceXNameCode = 301;
constexpr int kSourceYIdCode = 93;
constexpr int kSourceYNameCode = 302;
constexpr int kFrameCountCode = 72;
constexpr int kFramePointCode = 1011;
constexpr int kEntityCountCode = 73;
constexpr int kEntitySoftIdCode = 331;
constexpr int kEntityHardIdCode = 341;
constexpr int kEntityIndexCountCode = 74;
constexpr int kIndexCode = 94;
constexpr int kElementCountCode = 75;
constexpr int kElementIdCode = 95;
constexpr int kElementIndexCountCode = 76;
constexpr int kMultiplierCode = 140;
constexpr int kAngleOffsetDxfCode = 141;
constexpr int kXYTypeCode = 280;

// Closes an object opened here on every path.
class OpenedObject {
  public:
    OpenedObject() = default;
    ~OpenedObject() {
        if (m_obj != nullptr)
            m_obj->close();
    }
    OpenedObject(const OpenedObject&) = delete;
    OpenedObject& operator=(const OpenedObject&) = delete;
    AcDbObject*& ref() { return m_obj; }
    AcDbObject* get() const { return m_obj; }

  private:
    AcDbObject* m_obj = nullptr;
};

bool sameFrame(const AcGePoint2dArray& a, const AcGePoint2dArray& b) {
    if (a.length() != b.length())
        return false;
    for (int i = 0; i < a.length(); ++i)
        if (a[i].x != b[i].x || a[i].y != b[i].y)
            return false;
    return true;
}

// Indices read from a file that the entity no longer has are dropped: they would reach the
// entity's own point arrays.
bool allInRange(const AcDbIntArray& indices, int count) {
    for (int i = 0; i < indices.length(); ++i)
        if (indices[i] < 0 || indices[i] >= count)
            return false;
    return true;
}

AcDbIntArray indicesInRange(const AcDbIntArray& indices, int count) {
    AcDbIntArray kept;
    for (int i = 0; i < indices.length(); ++i)
        if (indices[i] >= 0 && indices[i] < count)
            kept.append(indices[i]);
    return kept;
}

Acad::ErrorStatus readIndices(AcDbDwgFiler* filer, AcDbIntArray& indices) {
    Adesk::UInt32 count = 0;
    Acad::ErrorStatus es = filer->readUInt32(&count);
    if (es != Acad::eOk)
        return es;
    if (count > kMaxIndexCount)
        return Acad::eInvalidInput;
    // Room for the usual few at once (the record is read at every copy of the graph); a long
    // list claimed by a damaged record still grows only as far as items are really there.
    if (indices.isEmpty())
        indices = AcDbIntArray(static_cast<int>(std::min<Adesk::UInt32>(count, 16)));
    for (Adesk::UInt32 i = 0; i < count; ++i) {
        Adesk::UInt32 index = 0;
        if ((es = filer->readUInt32(&index)) != Acad::eOk)
            return es;
        indices.append(static_cast<int>(index));
    }
    return Acad::eOk;
}

void writeIndices(AcDbDwgFiler* filer, const AcDbIntArray& indices) {
    filer->writeUInt32(static_cast<Adesk::UInt32>(indices.length()));
    for (int i = 0; i < indices.length(); ++i)
        filer->writeUInt32(static_cast<Adesk::UInt32>(indices[i]));
}

// Reads one DXF group that must carry `code`; anything else is pushed back.
Acad::ErrorStatus readExpected(AcDbDxfFiler* filer, int code, resbuf& rb) {
    rb = resbuf{};
    const Acad::ErrorStatus es = filer->readItem(&rb);
    if (es != Acad::eOk)
        return Acad::eBadDxfSequence;
    if (rb.restype != code) {
        kxnode::releaseDxfItem(rb);
        filer->pushBackItem();
        return Acad::eBadDxfSequence;
    }
    return Acad::eOk;
}

Acad::ErrorStatus readDxfIndices(AcDbDxfFiler* filer, int countCode, AcDbIntArray& indices) {
    resbuf rb{};
    Acad::ErrorStatus es = readExpected(filer, countCode, rb);
    if (es != Acad::eOk)
        return es;
    const int count = rb.resval.rint;
    if (count < 0 || static_cast<Adesk::UInt32>(count) > kMaxIndexCount)
        return Acad::eBadDxfSequence;
    for (int i = 0; i < count; ++i) {
        if ((es = readExpected(filer, kIndexCode, rb)) != Acad::eOk)
            return es;
        indices.append(static_cast<int>(rb.resval.rlong));
    }
    return Acad::eOk;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Public forwarders

KX_FORWARD(AcGePoint2dArray, KxDbTagStretchAction, stretchFrame, (), (), const, AcGePoint2dArray())
KX_FORWARD_STATUS(KxDbTagStretchAction, setStretchFrame, (const AcGePoint2dArray& frame), (frame), )

// ---------------------------------------------------------------------------------------------
// Settings and connections

Acad::ErrorStatus KxDbImpTagStretchAction::setDistanceMultiplier(double multiplier) {
    assertWriteEnabled();
    m_multiplier = multiplier;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagStretchAction::setAngleOffset(double angle) {
    assertWriteEnabled();
    m_angleOffset = angle;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagStretchAction::setXYType(Adesk::UInt8 type) {
    assertWriteEnabled();
    m_xyType = type;
    return Acad::eOk;
}

AcGeVector3d KxDbImpTagStretchAction::displacement() const {
    double dx = m_multiplier * m_deltaX;
    double dy = m_multiplier * m_deltaY;
    if (m_xyType == 1)
        dy = 0.0;
    else if (m_xyType == 2)
        dx = 0.0;
    AcGeVector3d v(dx, dy, 0.0);
    v.rotateBy(m_angleOffset, AcGeVector3d::kZAxis);
    return v;
}

void KxDbImpTagStretchAction::listInputs(KxActionInputRefs& inputs) {
    Base::listInputs(inputs);
    inputs.push_back({kDeltaX, AcDb::kDwgReal, &m_sourceX, true});
    inputs.push_back({kDeltaY, AcDb::kDwgReal, &m_sourceY, true});
}

Acad::ErrorStatus KxDbImpTagStretchAction::getInputValue(const KxActionInputRef& input,
                                                         KxDbTagEvalVariant& value) const {
    if (input.input == &m_sourceX) {
        value.setReal(m_deltaX);
        return Acad::eOk;
    }
    if (input.input == &m_sourceY) {
        value.setReal(m_deltaY);
        return Acad::eOk;
    }
    return Base::getInputValue(input, value);
}

Acad::ErrorStatus KxDbImpTagStretchAction::nodeRemoved(KxNodeId id) {
    // The entry of a node that is gone must not be looked up at the next evaluation. The action
    // hears of the removal open for notify or read, so it is made writable for the moment.
    if (m_elementPoints.count(id) != 0) {
        AcDbObjectWrapper* pub = publicObject();
        if (pub == nullptr || pub->isWriteEnabled()) {
            m_elementPoints.erase(id);
        } else if (pub->upgradeOpen() == Acad::eOk) {
            m_elementPoints.erase(id);
            pub->downgradeOpen();
        } else {
            Adesk::Boolean wasWritable = false;
            const bool upgraded = pub->upgradeFromNotify(wasWritable) == Acad::eOk;
            // The map only mirrors the frame and the selection set: a stale entry is worse than
            // a change made without the write open.
            m_elementPoints.erase(id);
            if (upgraded)
                pub->downgradeToNotify(wasWritable);
        }
    }
    return Base::nodeRemoved(id);
}

bool KxDbImpTagStretchAction::acceptsDependent(KxNodeId nodeId) const {
    // An element with points in the frame is stretched, not carried along.
    return m_elementPoints.find(nodeId) == m_elementPoints.end();
}

// ---------------------------------------------------------------------------------------------
// The frame and the stretch points

Acad::ErrorStatus KxDbImpTagStretchAction::setStretchFrame(const AcGePoint2dArray& frame) {
    assertWriteEnabled();
    const bool changed = !sameFrame(frame, m_frame);
    m_frame = frame;
    return changed ? rebuildStretchPoints() : Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagStretchAction::setSelectionSet(const AcDbObjectIdArray& ids) {
    const Acad::ErrorStatus es = Base::setSelectionSet(ids);
    if (es != Acad::eOk)
        return es;
    return rebuildStretchPoints();
}

Acad::ErrorStatus KxDbImpTagStretchAction::refreshStretchPoints() {
    return rebuildStretchPoints();
}

Acad::ErrorStatus KxDbImpTagStretchAction::rebuildStretchPoints() {
    m_entityPoints.reset();
    m_elementPoints.clear();
    const KxStretchFrame frame(m_frame);
    if (!frame.isActive())
        return Acad::eOk;
    const AcDbObjectIdArray selection = selectionSet();
    std::vector<EntityPoints::value_type> entities;
    // The entries found so far are kept also when a failure ends the rebuild.
    auto keep = [this, &entities]() {
        EntityPoints points;
        points.assign(std::move(entities));
        setEntityPoints(std::move(points));
    };
    for (int i = 0; i < selection.length(); ++i) {
        OpenedObject opened;
        if (acdbOpenObject(opened.ref(), selection[i], AcDb::kForRead) != Acad::eOk ||
            opened.get() == nullptr)
            continue;
        AcDbObject* obj = opened.get();
        AcGePoint3dArray points;
        if (AcDbEntity* entity = AcDbEntity::cast(obj)) {
            const Acad::ErrorStatus es = entity->getStretchPoints(points);
            if (es != Acad::eOk) {
                keep();
                return es;
            }
            const AcDbIntArray inside = frame.insideIndices(points);
            if (!inside.isEmpty())
                entities.emplace_back(selection[i], inside);
            continue;
        }
        KxDbTagElement* element = nullptr;
        if (KxDbBlockTag* param = KxDbBlockTag::cast(obj)) {
            const Acad::ErrorStatus es = param->getGripPoints(points);
            if (es != Acad::eOk) {
                keep();
                return es;
            }
            element = param;
        } else if (KxDbTagActionWithBasePt* action = KxDbTagActionWithBasePt::cast(obj)) {
            if (action->getGripPoints(points) != Acad::eOk)
                continue;
            element = action;
        } else {
            continue;
        }
        const AcDbIntArray inside = frame.insideIndices(points);
        if (!inside.isEmpty())
            m_elementPoints[element->getNodeId()] = inside;
    }
    keep();
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagStretchAction::transformBy(const AcGeMatrix3d& xform) {
    AcGePoint2dArray moved;
    for (int i = 0; i < m_frame.length(); ++i) {
        AcGePoint3d p(m_frame[i].x, m_frame[i].y, 0.0);
        p.transformBy(xform);
        moved.append(AcGePoint2d(p.x, p.y));
    }
    return setStretchFrame(moved);
}

Acad::ErrorStatus KxDbImpTagStretchAction::transformInstanceBy(const AcGeMatrix3d& xform) {
    double angle = 0.0;
    if (xform.det() >= 0.0) {
        AcGeVector3d dir = AcGeVector3d::kXAxis;
        dir.rotateBy(m_angleOffset, AcGeVector3d::kZAxis);
        dir.transformBy(xform);
        angle = kxaction::normalizeAngle(std::atan2(dir.y, dir.x));
    } else {
        angle = kxaction::normalizeAngle(-m_angleOffset);
    }
    assertWriteEnabled();
    m_angleOffset = angle;
    return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------
// Evaluation

Acad::ErrorStatus KxDbImpTagStretchAction::evaluate(KxDbTagEvalContext* context) {
    assertWriteEnabled();
    Acad::ErrorStatus es = Base::evaluate(context);
    if (es != Acad::eOk)
        return es;
    if (isLoadReplay(context))
        return Acad::eOk;
    if (nodeId() == 0)
        return static_cast<Acad::ErrorStatus>(450);
    if (!m_sourceX.isConnected() || !m_sourceY.isConnected())
        return Acad::eOk;
    const KxActionInput* inputs[2] = {&m_sourceX, &m_sourceY};
    KxDbTagEvalVariant values[2];
    if ((es = readInputValues(inputs, 2, values)) != Acad::eOk)
        return es;
    m_deltaX = values[0].resval.rreal;
    m_deltaY = values[1].resval.rreal;

    const AcGeVector3d v = displacement();
    const AcGeMatrix3d move = AcGeMatrix3d::translation(v);

    // Objects without points in the frame move whole (and the accepted dependents with them).
    // The stretched entries are sorted by id: one binary search per selected object.
    const AcDbObjectIdArray selection = selectionSet();
    AcDbObjectIdArray whole(selection.length());
    for (int i = 0; i < selection.length(); ++i)
        if (!entityStretchPoints().contains(selection[i]))
            whole.append(selection[i]);
    kxaction::transformSelection(*this, move, whole, context);

    if ((es = stretchEntities(v, context)) != Acad::eOk)
        return es;
    return stretchElements(v);
}

Acad::ErrorStatus KxDbImpTagStretchAction::stretchEntities(const AcGeVector3d& v,
                                                           KxDbTagEvalContext* context) {
    KxDbTagEvalContextPair refPair(KX_EVAL_KEY_REFERENCE, nullptr);
    Acad::ErrorStatus es = context != nullptr ? context->getPair(refPair) : Acad::eInvalidKey;
    if (es != Acad::eOk)
        return es;
    AcDbBlockReference* ref = AcDbBlockReference::cast(refPair.value());
    if (ref == nullptr)
        return Acad::eNullObjectPointer;
    // The reference's own attributes live in world coordinates.
    AcGeVector3d vw = v;
    vw.transformBy(ref->blockTransform());
    const bool moves = !v.isZeroLength();
    const bool movesWorld = !vw.isZeroLength();
    // Held for the loop: whatever replaces the entries meanwhile, these stay alive.
    const std::shared_ptr<const EntityPoints> held = m_entityPoints;
    if (held == nullptr || held->empty())
        return Acad::eOk;
    // Nothing below changes the context's pairs: the representation is looked up once.
    KxDbTagEvalContextPair repPair(KX_EVAL_KEY_REPRESENTATION, nullptr);
    if ((es = context->getPair(repPair)) != Acad::eOk)
        return es;
    KxDbTagRepresentationContext* rep = KxDbTagRepresentationContext::cast(repPair.value());
    // One list for all the entries: every lookup clears it and it keeps its storage. The same
    // for the stretch points of each entity.
    KxDbTagEntityList objects;
    AcGePoint3dArray points;
    // Stretching entities of the representation does not add attributes to the reference.
    const bool withAttributes = kxaction::carriesAttributes(ref);
    const AcRxClass* plainClass = nullptr;

    for (const auto& entry : *held) {
        if (!entry.first.isValid())
            continue;
        if (rep == nullptr)
            return Acad::eNullObjectPointer;
        if (rep->getObjectsForDefinitionEntity(entry.first, AcDb::kForWrite, objects) != Acad::eOk)
            continue;
        if (withAttributes)
            kxaction::appendConstantAttributes(entry.first, ref, objects);
        Acad::ErrorStatus failure = Acad::eOk;
        for (AcDbEntity* entity : objects) {
            if (failure == Acad::eOk) {
                // A class already seen not to be an attribute is not walked again.
                const AcRxClass* cls = entity->isA();
                AcDbAttribute* attribute =
                    cls == plainClass ? nullptr : AcDbAttribute::cast(entity);
                if (attribute == nullptr)
                    plainClass = cls;
                const bool free = attribute != nullptr && !attribute->isConstant() &&
                                  !attribute->lockPositionInBlock();
                const bool go = attribute != nullptr ? movesWorld : moves;
                if (!free && go && !entry.second.isEmpty()) {
                    points.setLogicalLength(0);
                    if (entity->getStretchPoints(points) == Acad::eOk) {
                        // The recorded indices are nearly always all in range: they are then
                        // passed as they are rather than copied for every entity.
                        const AcGeVector3d& offset = attribute != nullptr ? vw : v;
                        if (allInRange(entry.second, points.length())) {
                            failure = entity->moveStretchPointsAt(entry.second, offset);
                        } else {
                            const AcDbIntArray indices =
                                indicesInRange(entry.second, points.length());
                            if (!indices.isEmpty())
                                failure = entity->moveStretchPointsAt(indices, offset);
                        }
                    }
                }
            }
            entity->close();
        }
        if (failure != Acad::eOk)
            return failure;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagStretchAction::stretchElements(const AcGeVector3d& v) {
    for (const auto& entry : m_elementPoints) {
        if (entry.first == 0)
            continue;
        KxDbTagEvalExpr* node = nullptr;
        bool opened = false;
        const Acad::ErrorStatus es = openGraphNode(entry.first, AcDb::kForWrite, node, opened);
        // An entry left from a file for a node the graph no longer has is passed over.
        if (es == Acad::eKeyNotFound)
            continue;
        if (es != Acad::eOk)
            return es;
        Acad::ErrorStatus moved = Acad::eOk;
        KxDbTagElement* element = KxDbTagElement::cast(node);
        if (element != nullptr && !entry.second.isEmpty() && !v.isZeroLength())
            moved = element->moveGripPointsAt(entry.second, v);
        if (opened)
            node->close();
        if (moved != Acad::eOk)
            return moved;
    }
    return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------
// Instance data

Acad::ErrorStatus KxDbImpTagStretchAction::getInstanceData(resbuf*& chain) const {
    Acad::ErrorStatus es = Base::getInstanceData(chain);
    if (es != Acad::eOk)
        return es;
    kxinst::ChainBuilder builder(chain);
    chain = nullptr;
    builder.real(kAngleOffsetCode, m_angleOffset);
    es = builder.status();
    chain = builder.release();
    return es;
}

Acad::ErrorStatus KxDbImpTagStretchAction::setInstanceData(const resbuf*& cursor, int option) {
    Acad::ErrorStatus es = Base::setInstanceData(cursor, option);
    if (es != Acad::eOk)
        return es;
    double angle = 0.0;
    if (kxinst::readReal(cursor, kAngleOffsetCode, angle) != Acad::eOk)
        return Acad::eInvalidInput;
    assertWriteEnabled();
    m_angleOffset = angle;
    return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------
// Filing

Acad::ErrorStatus KxDbImpTagStretchAction::copyFrom(const AcRxObject* other) {
    Acad::ErrorStatus es = Base::copyFrom(other);
    if (es != Acad::eOk)
        return es;
    const KxDbTagStretchAction* source = KxDbTagStretchAction::cast(other);
    const KxDbImpTagStretchAction* from =
        source != nullptr ? kxImpOf<KxDbImpTagStretchAction>(source) : nullptr;
    if (from == nullptr)
        return Acad::eWrongObjectType;
    if (from != this) {
        assertWriteEnabled();
        m_entityPoints = from->m_entityPoints;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagStretchAction::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = Base::dwgOutFields(filer);
    if (es != Acad::eOk)
        return es;
    filer->writeUInt32(m_sourceX.sourceId);
    filer->writeString(m_sourceX.sourceName);
    filer->writeUInt32(m_sourceY.sourceId);
    filer->writeString(m_sourceY.sourceName);
    filer->writeUInt32(static_cast<Adesk::UInt32>(m_frame.length()));
    for (int i = 0; i < m_frame.length(); ++i)
        filer->writePoint2d(m_frame[i]);
    // A copy filer's reader is a copy of this action: it shares the entries (copyFrom).
    static const EntityPoints kNone;
    const EntityPoints& entityPoints =
        filer->filerType() == AcDb::kCopyFiler ? kNone : entityStretchPoints();
    filer->writeUInt32(static_cast<Adesk::UInt32>(entityPoints.size()));
    for (const auto& entry : entityPoints) {
        filer->writeSoftPointerId(AcDbSoftPointerId(entry.first));
        writeIndices(filer, entry.second);
    }
    filer->writeUInt32(static_cast<Adesk::UInt32>(m_elementPoints.size()));
    for (const auto& entry : m_elementPoints) {
        filer->writeUInt32(entry.first);
        writeIndices(filer, entry.second);
    }
    filer->writeDouble(m_multiplier);
    filer->writeDouble(m_angleOffset);
    filer->writeUInt8(m_xyType);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagStretchAction::dwgInFields(AcDbDwgFiler* filer) {
    assertWriteEnabled();
    Acad::ErrorStatus es = Base::dwgInFields(filer);
    if (es != Acad::eOk)
        return es;
    // Everything is read aside first, so a damaged record leaves the action as it was.
    KxActionInput sourceX;
    KxActionInput sourceY;
    AcGePoint2dArray frame;
    EntityPoints entityPoints;
    ElementPoints elementPoints;
    double multiplier = 1.0;
    double angleOffset = 0.0;
    Adesk::UInt8 xyType = 0;
    Adesk::UInt32 count = 0;

    if ((es = filer->readUInt32(&sourceX.sourceId)) != Acad::eOk ||
        (es = filer->readString(sourceX.sourceName)) != Acad::eOk ||
        (es = filer->readUInt32(&sourceY.sourceId)) != Acad::eOk ||
        (es = filer->readString(sourceY.sourceName)) != Acad::eOk ||
        (es = filer->readUInt32(&count)) != Acad::eOk)
        return es;
    if (count > kMaxFilerCount)
        return Acad::eInvalidInput;
    for (Adesk::UInt32 i = 0; i < count; ++i) {
        AcGePoint2d p;
        if ((es = filer->readPoint2d(&p)) != Acad::eOk)
            return es;
        frame.append(p);
    }

    if ((es = filer->readUInt32(&count)) != Acad::eOk)
        return es;
    if (count > kMaxFilerCount)
        return Acad::eInvalidInput;
    const bool softIds = isReadVersionAfter(kSoftIdMaint);
    std::vector<EntityPoints::value_type> entries;
    for (Adesk::UInt32 i = 0; i < count; ++i) {
        AcDbObjectId id;
        if (softIds) {
            AcDbSoftPointerId soft;
            es = filer->readSoftPointerId(&soft);
            id = soft;
        } else {
            AcDbHardPointerId hard;
            es = filer->readHardPointerId(&hard);
            id = hard;
        }
        AcDbIntArray indices;
        if (es != Acad::eOk || (es = readIndices(filer, indices)) != Acad::eOk)
            return es;
        // Gathered first and sorted once: a damaged record out of order must not cost an
        // insertion in the middle per entry (a repeated id still ends with its last indices).
        if (!id.isNull())
            entries.emplace_back(id, std::move(indices));
    }
    entityPoints.assign(std::move(entries));

    if (isReadVersionAfter(kElementMapMaint)) {
        if ((es = filer->readUInt32(&count)) != Acad::eOk)
            return es;
        if (count > kMaxFilerCount)
            return Acad::eInvalidInput;
        for (Adesk::UInt32 i = 0; i < count; ++i) {
            KxNodeId id = 0;
            AcDbIntArray indices;
            if ((es = filer->readUInt32(&id)) != Acad::eOk ||
                (es = readIndices(filer, indices)) != Acad::eOk)
                return es;
            elementPoints.emplace_hint(elementPoints.end(), id, AcDbIntArray())->second =
                std::move(indices);
        }
    }

    if ((es = filer->readDouble(&multiplier)) != Acad::eOk ||
        (es = filer->readDouble(&angleOffset)) != Acad::eOk ||
        (es = filer->readUInt8(&xyType)) != Acad::eOk)
        return es;

    m_sourceX = sourceX;
    m_sourceY = sourceY;
    m_frame = frame;
    setEntityPoints(std::move(entityPoints));
    m_elementPoints.swap(elementPoints);
    m_multiplier = multiplier;
    m_angleOffset = angleOffset;
    m_xyType = xyType;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagStretchAction::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = Base::dxfOutFields(filer);
    if (es != Acad::eOk)
        return es;
    filer->writeString(100, kStretchMarker);
    filer->writeUInt32(kSourceXIdCode, m_sourceX.sourceId);
    filer->writeString(kSourceXNameCode, m_sourceX.sourceName);
    filer->writeUInt32(kSourceYIdCode, m_sourceY.sourceId);
    filer->writeString(kSourceYNameCode, m_sourceY.sourceName);
    filer->writeInt16(kFrameCountCode, static_cast<Adesk::Int16>(m_frame.length()));
    for (int i = 0; i < m_frame.length(); ++i)
        filer->writePoint2d(kFramePointCode, m_frame[i]);
    const EntityPoints& entityPoints = entityStretchPoints();
    filer->writeInt16(kEntityCountCode, static_cast<Adesk::Int16>(entityPoints.size()));
    for (const auto& entry : entityPoints) {
        filer->writeObjectId(kEntitySoftIdCode, entry.first);
        filer->writeInt16(kEntityIndexCountCode, static_cast<Adesk::Int16>(entry.second.length()));
        for (int i = 0; i < entry.second.length(); ++i)
            filer->writeInt32(kIndexCode, entry.second[i]);
    }
    filer->writeInt16(kElementCountCode, static_cast<Adesk::Int16>(m_elementPoints.size()));
    for (const auto& entry : m_elementPoints) {
        filer->writeUInt32(kElementIdCode, entry.first);
        filer->writeInt16(kElementIndexCountCode, static_cast<Adesk::Int16>(entry.second.length()));
        for (int i = 0; i < entry.second.length(); ++i)
            filer->writeInt32(kIndexCode, entry.second[i]);
    }
    filer->writeDouble(kMultiplierCode, m_multiplier);
    filer->writeDouble(kAngleOffsetDxfCode, m_angleOffset);
    filer->writeUInt8(kXYTypeCode, m_xyType);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagStretchAction::dxfInFields(AcDbDxfFiler* filer) {
    assertWriteEnabled();
    Acad::ErrorStatus es = Base::dxfInFields(filer);
    if (es != Acad::eOk)
        return es;
    if (!filer->atSubclassData(kStretchMarker))
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);

    KxActionInput sourceX;
    KxActionInput sourceY;
    AcGePoint2dArray frame;
    EntityPoints entityPoints;
    std::vector<EntityPoints::value_type> entries;
    ElementPoints elementPoints;
    double multiplier = 1.0;
    double angleOffset = 0.0;
    Adesk::UInt8 xyType = 0;
    // Which required groups were seen, in the order of kRequired.
    const int kRequired[] = {kSourceXIdCode,   kSourceYIdCode,      kSourceXNameCode,
                             kSourceYNameCode, kFrameCountCode,     kEntityCountCode,
                             kMultiplierCode,  kAngleOffsetDxfCode, kXYTypeCode,
                             kElementCountCode};
    bool seen[10] = {};
    auto mark = [&](int code) {
        for (int i = 0; i < 10; ++i)
            if (kRequired[i] == code)
                seen[i] = true;
    };
    const int entityIdCode =
        isReadVersionAfter(kSoftIdMaint) ? kEntitySoftIdCode : kEntityHardIdCode;

    for (;;) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile)
            break;
        if (es != Acad::eOk)
            return Acad::eFilerError;
        const int code = rb.restype;
        int count = 0;
        switch (code) {
            case kSourceXIdCode:
                sourceX.sourceId = static_cast<KxNodeId>(rb.resval.rlong);
                break;
            case kSourceYIdCode:
                sourceY.sourceId = static_cast<KxNodeId>(rb.resval.rlong);
                break;
            case kSourceXNameCode:
            case kSourceYNameCode:
                (code == kSourceXNameCode ? sourceX : sourceY).sourceName =
                    rb.resval.rstring != nullptr ? rb.resval.rstring : L"";
                kxnode::releaseDxfItem(rb);
                break;
            case kMultiplierCode:
                multiplier = rb.resval.rreal;
                break;
            case kAngleOffsetDxfCode:
                angleOffset = rb.resval.rreal;
                break;
            case kXYTypeCode:
                xyType = static_cast<Adesk::UInt8>(rb.resval.rint);
                break;
            case kFrameCountCode:
                count = rb.resval.rint;
                if (count < 0)
                    return Acad::eBadDxfSequence;
                frame.setLogicalLength(0);
                for (int i = 0; i < count; ++i) {
                    if ((es = readExpected(filer, kFramePointCode, rb)) != Acad::eOk)
                        return es;
                    frame.append(AcGePoint2d(rb.resval.rpoint[0], rb.resval.rpoint[1]));
                }
                break;
            case kEntityCountCode:
                count = rb.resval.rint;
                if (count < 0)
                    return Acad::eBadDxfSequence;
                entityPoints.clear();
                entries.clear();
                for (int i = 0; i < count; ++i) {
                    if ((es = readExpected(filer, entityIdCode, rb)) != Acad::eOk)
                        return es;
                    AcDbObjectId id;
                    acdbGetObjectId(id, rb.resval.rlname);
                    AcDbIntArray indices;
                    if ((es = readDxfIndices(filer, kEntityIndexCountCode, indices)) != Acad::eOk)
                        return es;
                    entries.emplace_back(id, std::move(indices));
                }
                // Sorted once (see dwgInFields); a repeated id leaves fewer entries than claimed.
                entityPoints.assign(std::move(entries));
                if (entityPoints.size() < static_cast<size_t>(count))
                    return Acad::eBadDxfSequence;
                break;
            case kElementCountCode:
                count = rb.resval.rint;
                if (count < 0)
                    return Acad::eBadDxfSequence;
                elementPoints.clear();
                for (int i = 0; i < count; ++i) {
                    if ((es = readExpected(filer, kElementIdCode, rb)) != Acad::eOk)
                        return es;
                    const KxNodeId id = static_cast<KxNodeId>(rb.resval.rlong);
                    AcDbIntArray indices;
                    if ((es = readDxfIndices(filer, kElementIndexCountCode, indices)) != Acad::eOk)
                        return es;
                    elementPoints[id] = indices;
                }
                if (elementPoints.size() < static_cast<size_t>(count))
                    return Acad::eBadDxfSequence;
                break;
            default:
                kxnode::releaseDxfItem(rb);
                filer->pushBackItem();
                goto done;
        }
        mark(code);
    }
done:
    const int required = isReadVersionAfter(kElementMapMaint) ? 10 : 9;
    for (int i = 0; i < required; ++i) {
        if (!seen[i]) {
            filer->setError(Acad::eMissingDxfField, L"AcDbBlockStretchAction: missing group %d",
                            kRequired[i]);
            return Acad::eMissingDxfField;
        }
    }
    m_sourceX = sourceX;
    m_sourceY = sourceY;
    m_frame = frame;
    setEntityPoints(std::move(entityPoints));
    m_elementPoints.swap(elementPoints);
    m_multiplier = multiplier;
    m_angleOffset = angleOffset;
    m_xyType = xyType;
    return Acad::eOk;
}
