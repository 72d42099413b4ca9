#include "module/grips/linear_grip.h"

#include "module/grips/linear_grip_imp.h"

#include <new>

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_graph.h"
#include "module/grips/dimensions.h"
#include "module/grips/glyphs.h"
#include "module/grips/grip_callbacks.h"
#include "module/grips/nb_app_data.h"
#include "module/params/linear_tag.h"

KX_DEFINE_PAIR(KxDbTagLinearGrip, KxDbTagGrip, KxDbImpTagLinearGrip)

KxDbTagLinearGrip::KxDbTagLinearGrip(const ACHAR* name, const AcGePoint3d& point)
    : KxDbTagGrip(AcDbObjectWrapper::NoImp{}) {
    AcDbObjectWrapper::setImp(this, new (std::nothrow) KxDbImpTagLinearGrip(this, name, point));
}

namespace {
KxDbImpTagLinearGrip* impOf(const KxDbTagLinearGrip* grip) {
    return kxImpOf<KxDbImpTagLinearGrip>(grip);
}
}  // namespace

KX_FORWARD(AcGeVector3d, KxDbTagLinearGrip, orientation, (), (), const, AcGeVector3d(1.0, 0.0, 0.0))
KX_FORWARD_STATUS(KxDbTagLinearGrip, setOrientation, (const AcGeVector3d& direction), (direction), )

KxDbImpTagLinearGrip::KxDbImpTagLinearGrip(AcDbObjectWrapper* pub) : KxDbImpTagGrip(pub) {
    setInsertionCycling(true);
}

KxDbImpTagLinearGrip::KxDbImpTagLinearGrip(AcDbObjectWrapper* pub, const ACHAR* name,
                                           const AcGePoint3d& point)
    : KxDbImpTagGrip(pub, name, point) {
    setInsertionCycling(true);
}

AcGeVector3d KxDbImpTagLinearGrip::orientation() const {
    return m_orientation;
}

Acad::ErrorStatus KxDbImpTagLinearGrip::setOrientation(const AcGeVector3d& direction) {
    assertWriteEnabled();
    m_orientation = direction;
    return Acad::eOk;
}

namespace {

// Lengths at or below this count as no line.
constexpr double kLineTolerance = 1e-10;

bool isLinearParameter(const AcRxObject* object) {
    return KxDbBlockLinearTag::cast(object) != nullptr;
}

}  // namespace

Acad::ErrorStatus KxDbImpTagLinearGrip::connectTo(const ACHAR* name, KxNodeId otherId,
                                                  const ACHAR* otherName) {
    Acad::ErrorStatus es = checkSource(otherId, otherName);
    if (es == Acad::eOk) {
        es = checkSourceClass(otherId, isLinearParameter);
    }
    return es == Acad::eOk ? KxDbImpTagGrip::connectTo(name, otherId, otherName) : es;
}

Acad::ErrorStatus KxDbImpTagLinearGrip::disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                                       const ACHAR* otherName) {
    if (nodeId() == 0 || otherId == 0) {
        return KxStatus::kNotInGraph;
    }
    const Acad::ErrorStatus es = checkSourceClass(otherId, isLinearParameter);
    return es == Acad::eOk ? KxDbImpTagGrip::disconnectFrom(name, otherId, otherName) : es;
}

bool KxDbImpTagLinearGrip::canConnectTo(const ACHAR* name, KxNodeId otherId,
                                        const ACHAR* otherName) const {
    return checkSource(otherId, otherName) == Acad::eOk &&
           checkSourceClass(otherId, isLinearParameter) == Acad::eOk &&
           KxDbImpTagGrip::canConnectTo(name, otherId, otherName);
}

Acad::ErrorStatus KxDbImpTagLinearGrip::evaluate(KxDbTagEvalContext* context) {
    // While a reference's stored state is replayed the grip was not dragged: its updated
    // location means nothing then.
    if (kxIsEvalMode(context, kEvalModeLoad)) {
        return Acad::eOk;
    }
    KxDbBlockTag* param = nullptr;
    Acad::ErrorStatus es = openParameter(param);
    if (es != Acad::eOk) {
        return es;
    }
    const KxDbBlockLinearTag* linear = KxDbBlockLinearTag::cast(param);
    if (linear == nullptr) {
        param->close();
        return Acad::eWrongObjectType;
    }
    // The parameter's line as the running evaluation has it, else as the definition has it, else
    // the X axis.
    AcGeVector3d direction = linear->updatedEndPoint() - linear->updatedBasePoint();
    if (direction.length() <= kLineTolerance) {
        direction = linear->definitionEndPoint() - linear->definitionBasePoint();
    }
    param->close();
    if (direction.length() <= kLineTolerance) {
        direction = AcGeVector3d::kXAxis;
    }
    direction /= direction.length();

    // The drag is taken from where the grip is drawn and applied from the expression position,
    // so the parameter reads a displacement along its line only.
    const AcGePoint3d expression = expressionPosition();
    const AcGeVector3d drag = updatedLocation() - gripPosition();
    return setUpdatedLocation(expression + direction * drag.dotProduct(direction));
}

AcGeVector3d KxDbImpTagLinearGrip::gripOffset() const {
    AcGeVector3d offset = offsetFromParameterPoint();
    KxDbBlockTag* param = nullptr;
    if (openParameter(param) != Acad::eOk) {
        return offset;
    }
    if (const KxDbBlock2PtTag* twoPt = KxDbBlock2PtTag::cast(param)) {
        // The offset is kept in the definition's frame; a parameter turned in the reference
        // turns it along.
        const AcGeVector3d current = twoPt->currentBasePoint() - twoPt->currentEndPoint();
        const AcGeVector3d definition = twoPt->definitionBasePoint() - twoPt->definitionEndPoint();
        const double turn = current.angleTo(definition, AcGeVector3d::kZAxis);
        if (turn != 0.0 && offset.lengthSqrd() != 0.0) {
            offset.rotateBy(-turn, AcGeVector3d::kZAxis);
        }
    }
    param->close();
    return offset;
}

Acad::ErrorStatus KxDbImpTagLinearGrip::fillGripData(AcDbGripData* data) {
    KxDbNimbleBlockNBAppData* appData = kxgrips::appDataOf(data);
    if (appData == nullptr) {
        return Acad::eInvalidInput;
    }
    KxDbBlockTag* param = nullptr;
    Acad::ErrorStatus es = openParameter(param);
    if (es != Acad::eOk) {
        return es;
    }
    const KxDbBlockLinearTag* linear = KxDbBlockLinearTag::cast(param);
    if (linear == nullptr) {
        param->close();
        return Acad::eWrongObjectType;
    }
    // The glyph points away from the parameter's other end, so that it shows which way the
    // grip lengthens the distance.
    AcGeVector3d direction(0.0, 0.0, 0.0);
    if (appData->gripIndex() == 0) {
        direction = linear->currentBasePoint() - linear->currentEndPoint();
    } else if (appData->gripIndex() == 1) {
        direction = linear->currentEndPoint() - linear->currentBasePoint();
    }
    param->close();
    if (direction.isZeroLength()) {
        appData->setDirection(AcGeVector3d::kXAxis);
        appData->setDirectionDegenerate(true);
    } else {
        appData->setDirection(direction);
    }
    data->setViewportDraw(kxgrips::drawLinearGlyph);
    data->setToolTipFunc(kxgrips::gripTooltip);
    // Dynamic dimensions only while the host's dynamic input shows them.
    if (appData->dynamicInput()) {
        data->setHoverDimensionFunc(kxgrips::gripDimensions);
        data->setHotGripDimensionFunc(kxgrips::gripDimensions);
    }
    return Acad::eOk;
}

namespace {

const ACHAR* const kLinearGripMarker = L"AcDbBlockLinearGrip";

}  // namespace

Acad::ErrorStatus KxDbImpTagLinearGrip::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagGrip::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    if (type == AcDb::kIdXlateFiler || type == AcDb::kIdFiler || type == AcDb::kPurgeFiler) {
        return filer->filerStatus();
    }
    filer->writeVector3d(m_orientation);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagLinearGrip::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagGrip::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (filer->filerType() == AcDb::kIdXlateFiler) {
        return filer->filerStatus();
    }
    AcGeVector3d orientation;
    if ((es = filer->readVector3d(&orientation)) != Acad::eOk) {
        return es;
    }
    m_orientation = orientation;
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagLinearGrip::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagGrip::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kLinearGripMarker);
    filer->writeDouble(140, m_orientation.x);
    filer->writeDouble(141, m_orientation.y);
    filer->writeDouble(142, m_orientation.z);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagLinearGrip::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = KxDbImpTagGrip::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kLinearGripMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    AcGeVector3d orientation;
    bool have[3] = {false, false, false};
    for (;;) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return Acad::eFilerError;
        }
        if (rb.restype >= 140 && rb.restype <= 142) {
            const int i = rb.restype - 140;
            orientation[i] = rb.resval.rreal;
            have[i] = true;
            continue;
        }
        kxnode::releaseDxfItem(rb);
        filer->pushBackItem();
        break;
    }
    if (!have[0] || !have[1] || !have[2]) {
        return Acad::eMissingDxfField;
    }
    m_orientation = orientation;
    return Acad::eOk;
}
