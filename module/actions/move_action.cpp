#include "module/actions/move_action.h"

#include <cmath>

#include "host/core/resbuf.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/ge/plane.h"
#include "module/actions/action_transform.h"
#include "module/actions/move_action_imp.h"
#include "module/graph/eval_context.h"

KX_DEFINE_PAIR(KxDbTagMoveAction, KxDbTagAction, KxDbImpTagMoveAction)

namespace {

constexpr const ACHAR* kMoveMarker = L"AcDbBlockMoveAction";
constexpr const ACHAR* kDeltaX = L"DeltaX";
constexpr const ACHAR* kDeltaY = L"DeltaY";

bool isRealValue(const KxDbTagEvalVariant& value) {
    return acdbGroupCodeToType(value.type()) == AcDb::kDwgReal;
}

}  // namespace

// --- The delta inputs and settings -------------------------------------------------------------

void KxMoveDelta::listInputs(KxActionInputRefs& inputs) {
    KxActionInputRef x;
    x.name = kDeltaX;
    x.type = AcDb::kDwgReal;
    x.input = &sourceX;
    inputs.push_back(x);
    KxActionInputRef y = x;
    y.name = kDeltaY;
    y.input = &sourceY;
    inputs.push_back(y);
}

bool KxMoveDelta::inputValue(const ACHAR* name, KxDbTagEvalVariant& value) const {
    if (name == nullptr) {
        return false;
    }
    if (acCompareNoCase(AcString(name), AcString(kDeltaX)) == 0) {
        value.setReal(deltaX);
        return true;
    }
    if (acCompareNoCase(AcString(name), AcString(kDeltaY)) == 0) {
        value.setReal(deltaY);
        return true;
    }
    return false;
}

bool KxMoveDelta::clearSource(KxNodeId nodeId) {
    bool cleared = false;
    if (nodeId != 0 && sourceX.sourceId == nodeId) {
        sourceX.clear();
        cleared = true;
    }
    if (nodeId != 0 && sourceY.sourceId == nodeId) {
        sourceY.clear();
        cleared = true;
    }
    return cleared;
}

AcGeVector3d KxMoveDelta::vector() const {
    double dx = multiplier * deltaX;
    double dy = multiplier * deltaY;
    if (xyType == 1) {
        dy = 0.0;
    } else if (xyType == 2) {
        dx = 0.0;
    }
    AcGeVector3d v(dx, dy, 0.0);
    v.rotateBy(angleOffset, AcGeVector3d::kZAxis);
    return v;
}

double KxMoveDelta::carriedAngleOffset(const AcGeMatrix3d& xform) const {
    if (xform.det() < 0.0) {
        // A mirroring turns the direction the other way round.
        return kxaction::normalizeAngle(-angleOffset);
    }
    AcGeVector3d direction = AcGeVector3d::kXAxis;
    direction.rotateBy(angleOffset, AcGeVector3d::kZAxis);
    direction.transformBy(xform);
    return direction.angleOnPlane(AcGePlane::kXYPlane);
}

Acad::ErrorStatus KxMoveDelta::dwgOut(AcDbDwgFiler* filer) const {
    filer->writeUInt32(sourceX.sourceId);
    filer->writeString(sourceX.sourceName);
    filer->writeUInt32(sourceY.sourceId);
    filer->writeString(sourceY.sourceName);
    filer->writeDouble(multiplier);
    filer->writeDouble(angleOffset);
    filer->writeUInt8(xyType);
    return filer->filerStatus();
}

Acad::ErrorStatus KxMoveDelta::dwgIn(AcDbDwgFiler* filer) {
    KxActionInput x;
    KxActionInput y;
    double m = 1.0;
    double angle = 0.0;
    Adesk::UInt8 type = 0;
    Acad::ErrorStatus es = Acad::eOk;
    if ((es = filer->readUInt32(&x.sourceId)) != Acad::eOk ||
        (es = filer->readString(x.sourceName)) != Acad::eOk ||
        (es = filer->readUInt32(&y.sourceId)) != Acad::eOk ||
        (es = filer->readString(y.sourceName)) != Acad::eOk ||
        (es = filer->readDouble(&m)) != Acad::eOk ||
        (es = filer->readDouble(&angle)) != Acad::eOk ||
        (es = filer->readUInt8(&type)) != Acad::eOk) {
        return es;
    }
    sourceX = x;
    sourceY = y;
    multiplier = m;
    angleOffset = angle;
    xyType = type;
    return filer->filerStatus();
}

Acad::ErrorStatus KxMoveDelta::dxfOut(AcDbDxfFiler* filer) const {
    filer->writeUInt32(92, sourceX.sourceId);
    filer->writeString(301, sourceX.sourceName);
    filer->writeUInt32(93, sourceY.sourceId);
    filer->writeString(302, sourceY.sourceName);
    filer->writeDouble(140, multiplier);
    filer->writeDouble(141, angleOffset);
    filer->writeInt16(280, xyType);
    return filer->filerStatus();
}

Acad::ErrorStatus KxMoveDelta::dxfIn(AcDbDxfFiler* filer) {
    KxActionInput x;
    KxActionInput y;
    double m = 1.0;
    double angle = 0.0;
    Adesk::UInt8 type = 0;
    unsigned seen = 0;
    for (;;) {
        resbuf rb{};
        const Acad::ErrorStatus es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return Acad::eFilerError;
        }
        bool foreign = false;
        switch (rb.restype) {
            case 92:
                x.sourceId = static_cast<KxNodeId>(rb.resval.rlong);
                seen |= 1;
                break;
            case 301:
                x.sourceName = AcString(rb.resval.rstring);
                seen |= 2;
                break;
            case 93:
                y.sourceId = static_cast<KxNodeId>(rb.resval.rlong);
                seen |= 4;
                break;
            case 302:
                y.sourceName = AcString(rb.resval.rstring);
                seen |= 8;
                break;
            case 140:
                m = rb.resval.rreal;
                seen |= 16;
                break;
            case 141:
                angle = rb.resval.rreal;
                seen |= 32;
                break;
            case 280:
                type = static_cast<Adesk::UInt8>(rb.resval.rint);
                seen |= 64;
                break;
            default:
                foreign = true;
                break;
        }
        kxnode::releaseDxfItem(rb);
        if (foreign) {
            filer->pushBackItem();
            break;
        }
    }
    if (seen != 127) {
        return Acad::eMissingDxfField;
    }
    sourceX = x;
    sourceY = y;
    multiplier = m;
    angleOffset = angle;
    xyType = type;
    return Acad::eOk;
}

// --- Implementation ---------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagMoveAction::setMultiplier(double multiplier) {
    assertWriteEnabled();
    m_delta.multiplier = multiplier;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagMoveAction::setAngleOffset(double angle) {
    assertWriteEnabled();
    m_delta.angleOffset = angle;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagMoveAction::setXYType(Adesk::UInt8 type) {
    assertWriteEnabled();
    m_delta.xyType = type;
    return Acad::eOk;
}

void KxDbImpTagMoveAction::listInputs(KxActionInputRefs& inputs) {
    KxDbImpTagAction::listInputs(inputs);
    m_delta.listInputs(inputs);
}

Acad::ErrorStatus KxDbImpTagMoveAction::getInputValue(const KxActionInputRef& input,
                                                      KxDbTagEvalVariant& value) const {
    return m_delta.inputValue(input.name, value) ? Acad::eOk
                                                 : KxDbImpTagAction::getInputValue(input, value);
}

Acad::ErrorStatus KxDbImpTagMoveAction::evaluate(KxDbTagEvalContext* context) {
    assertWriteEnabled();
    Acad::ErrorStatus es = KxDbImpTagAction::evaluate(context);
    if (es != Acad::eOk || isLoadReplay(context)) {
        return es;
    }
    if (nodeId() == 0) {
        return KxStatus::kNotInGraph;
    }
    if (!m_delta.isConnected()) {
        return Acad::eOk;
    }
    const KxActionInput* inputs[2] = {&m_delta.sourceX, &m_delta.sourceY};
    KxDbTagEvalVariant values[2];
    if ((es = readInputValues(inputs, 2, values)) != Acad::eOk) {
        return es;
    }
    if (!isRealValue(values[0]) || !isRealValue(values[1])) {
        return Acad::eInvalidInput;
    }
    m_delta.deltaX = values[0].resval.rreal;
    m_delta.deltaY = values[1].resval.rreal;
    AcGeMatrix3d xform;
    xform.setToTranslation(m_delta.vector());
    return transformSelection(xform, context);
}

Acad::ErrorStatus KxDbImpTagMoveAction::transformInstanceBy(const AcGeMatrix3d& xform) {
    const double angle = m_delta.carriedAngleOffset(xform);
    assertWriteEnabled();
    m_delta.angleOffset = angle;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagMoveAction::getInstanceData(resbuf*& chain) const {
    Acad::ErrorStatus es = KxDbImpTagAction::getInstanceData(chain);
    if (es != Acad::eOk) {
        return es;
    }
    kxinst::ChainBuilder builder(chain);
    chain = nullptr;
    builder.real(40, m_delta.angleOffset);
    es = builder.status();
    chain = builder.release();
    return es;
}

Acad::ErrorStatus KxDbImpTagMoveAction::setInstanceData(const resbuf*& cursor, int option) {
    Acad::ErrorStatus es = KxDbImpTagAction::setInstanceData(cursor, option);
    if (es != Acad::eOk) {
        return es;
    }
    double angle = 0.0;
    if ((es = kxinst::readReal(cursor, 40, angle)) != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    m_delta.angleOffset = angle;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagMoveAction::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagAction::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    if (type == AcDb::kIdXlateFiler || type == AcDb::kIdFiler || type == AcDb::kPurgeFiler) {
        return Acad::eOk;
    }
    return m_delta.dwgOut(filer);
}

Acad::ErrorStatus KxDbImpTagMoveAction::dwgInFields(AcDbDwgFiler* filer) {
    assertWriteEnabled();
    Acad::ErrorStatus es = KxDbImpTagAction::dwgInFields(filer);
    if (es != Acad::eOk || filer->filerType() == AcDb::kIdXlateFiler) {
        return es;
    }
    return m_delta.dwgIn(filer);
}

Acad::ErrorStatus KxDbImpTagMoveAction::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagAction::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kMoveMarker);
    return m_delta.dxfOut(filer);
}

Acad::ErrorStatus KxDbImpTagMoveAction::dxfInFields(AcDbDxfFiler* filer) {
    assertWriteEnabled();
    Acad::ErrorStatus es = KxDbImpTagAction::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kMoveMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    return m_delta.dxfIn(filer);
}
