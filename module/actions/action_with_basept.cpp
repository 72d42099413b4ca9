#include "module/actions/action_with_basept.h"

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/actions/action_with_basept_imp.h"
#include "module/graph/eval_graph.h"

KX_DEFINE_PAIR(KxDbTagActionWithBasePt, KxDbTagAction, KxDbImpTagActionWithBasePt)

namespace {

constexpr const ACHAR* kBasePtMarker = L"AcDbBlockActionWithBasePt";
constexpr const ACHAR* kBaseX = L"BaseX";
constexpr const ACHAR* kBaseY = L"BaseY";

KxDbImpTagActionWithBasePt* impOf(const KxDbTagActionWithBasePt* action) {
    return kxImpOf<KxDbImpTagActionWithBasePt>(action);
}

// Records of version 25 maintenance 55 to 61 carry neither the dependent flag nor the offset.
template <class Filer>
bool carriesDependentAndOffset(const Filer* filer) {
    AcDb::AcDbDwgVersion ver = AcDb::kDHL_CURRENT;
    AcDb::MaintenanceReleaseVersion maint = AcDb::kMReleaseCurrent;
    filer->dwgVersion(ver, maint);
    const int v = static_cast<int>(ver);
    const int m = static_cast<int>(maint);
    return v < 25 || (v == 25 && m < 55) || v > 25 || (v == 25 && m >= 62);
}

}  // namespace

// --- Public forwarders ------------------------------------------------------------------------

KX_FORWARD(AcGePoint3d, KxDbTagActionWithBasePt, basePoint, (), (), const, AcGePoint3d())
KX_FORWARD_STATUS(KxDbTagActionWithBasePt, setBasePoint, (const AcGePoint3d& point), (point), )
KX_FORWARD(bool, KxDbTagActionWithBasePt, isDependent, (), (), const, false)
KX_FORWARD_STATUS(KxDbTagActionWithBasePt, setDependent, (bool dependent), (dependent), )
KX_FORWARD(AcGeVector3d, KxDbTagActionWithBasePt, baseOffset, (), (), const, AcGeVector3d())
KX_FORWARD_STATUS(KxDbTagActionWithBasePt, setBaseOffset, (const AcGeVector3d& offset), (offset), )

// --- Implementation ---------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagActionWithBasePt::setBasePoint(const AcGePoint3d& point) {
    assertWriteEnabled();
    if (m_dependent) {
        // The point follows its connections.
        return Acad::eInvalidInput;
    }
    m_basePoint = point;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::setDependent(bool dependent) {
    assertWriteEnabled();
    if (dependent) {
        m_dependent = true;
        return Acad::eOk;
    }
    const AcGePoint3d point = m_basePoint;
    m_dependent = false;
    return setBasePoint(point);
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::setBaseOffset(const AcGeVector3d& offset) {
    assertWriteEnabled();
    m_baseOffset = offset;
    return Acad::eOk;
}

void KxDbImpTagActionWithBasePt::listInputs(KxActionInputRefs& inputs) {
    KxDbImpTagAction::listInputs(inputs);
    KxActionInputRef x;
    x.name = kBaseX;
    x.type = AcDb::kDwgReal;
    x.input = &m_baseX;
    x.reportedAsConnected = false;
    inputs.push_back(x);
    KxActionInputRef y = x;
    y.name = kBaseY;
    y.input = &m_baseY;
    inputs.push_back(y);
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::getInputValue(const KxActionInputRef& input,
                                                            KxDbTagEvalVariant& value) const {
    if (input.input == &m_baseX) {
        value.setReal(m_basePoint.x);
        return Acad::eOk;
    }
    if (input.input == &m_baseY) {
        value.setReal(m_basePoint.y);
        return Acad::eOk;
    }
    return KxDbImpTagAction::getInputValue(input, value);
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::evaluate(KxDbTagEvalContext* context) {
    Acad::ErrorStatus es = KxDbImpTagAction::evaluate(context);
    if (es != Acad::eOk) {
        return es;
    }
    if (!m_dependent || nodeId() == 0 || !m_baseX.isConnected() || !m_baseY.isConnected()) {
        return Acad::eOk;
    }
    const KxActionInput* inputs[2] = {&m_baseX, &m_baseY};
    KxDbTagEvalVariant values[2];
    es = readInputValues(inputs, 2, values);
    if (es == Acad::eWrongObjectType) {
        // A source that is no connectable node leaves the point where it is.
        return Acad::eOk;
    }
    if (es != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    m_basePoint.x = values[0].resval.rreal;
    m_basePoint.y = values[1].resval.rreal;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::transformInstanceBy(const AcGeMatrix3d& xform) {
    assertWriteEnabled();
    m_basePoint.transformBy(xform);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::getGripPoints(AcGePoint3dArray& points) const {
    points.append(m_basePoint);
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::moveGripPointsAt(const AcDbIntArray& indices,
                                                               const AcGeVector3d& offset) {
    assertWriteEnabled();
    for (int i = 0; i < indices.length(); ++i) {
        if (indices[i] != 0) {
            return Acad::eInvalidInput;
        }
        m_basePoint += offset;
    }
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::transformBy(const AcGeMatrix3d& xform) {
    AcGePoint3d point = m_basePoint;
    point.transformBy(xform);
    return setBasePoint(point);
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::getInstanceData(resbuf*& chain) const {
    Acad::ErrorStatus es = KxDbImpTagAction::getInstanceData(chain);
    if (es != Acad::eOk) {
        return es;
    }
    kxinst::ChainBuilder builder(chain);
    chain = nullptr;
    builder.point(10, m_basePoint);
    es = builder.status();
    chain = builder.release();
    return es;
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::setInstanceData(const resbuf*& cursor, int option) {
    Acad::ErrorStatus es = KxDbImpTagAction::setInstanceData(cursor, option);
    if (es != Acad::eOk) {
        return es;
    }
    AcGePoint3d point;
    if ((es = kxinst::readPoint(cursor, 10, point)) != Acad::eOk) {
        return es;
    }
    assertWriteEnabled();
    m_basePoint = point;
    return Acad::eOk;
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagAction::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    if (type == AcDb::kIdXlateFiler || type == AcDb::kIdFiler || type == AcDb::kPurgeFiler) {
        return Acad::eOk;
    }
    filer->writePoint3d(m_basePoint);
    filer->writeUInt32(m_baseX.sourceId);
    filer->writeString(m_baseX.sourceName);
    filer->writeUInt32(m_baseY.sourceId);
    filer->writeString(m_baseY.sourceName);
    filer->writeBool(m_dependent);
    filer->writeVector3d(m_baseOffset);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::dwgInFields(AcDbDwgFiler* filer) {
    assertWriteEnabled();
    Acad::ErrorStatus es = KxDbImpTagAction::dwgInFields(filer);
    if (es != Acad::eOk || filer->filerType() == AcDb::kIdXlateFiler) {
        return es;
    }
    AcGePoint3d point;
    KxActionInput x;
    KxActionInput y;
    if ((es = filer->readPoint3d(&point)) != Acad::eOk ||
        (es = filer->readUInt32(&x.sourceId)) != Acad::eOk ||
        (es = filer->readString(x.sourceName)) != Acad::eOk ||
        (es = filer->readUInt32(&y.sourceId)) != Acad::eOk ||
        (es = filer->readString(y.sourceName)) != Acad::eOk) {
        return es;
    }
    Adesk::Boolean dependent = true;
    AcGeVector3d offset;
    if (carriesDependentAndOffset(filer)) {
        if ((es = filer->readBool(&dependent)) != Acad::eOk ||
            (es = filer->readVector3d(&offset)) != Acad::eOk) {
            return es;
        }
    }
    m_basePoint = point;
    m_baseX = x;
    m_baseY = y;
    m_dependent = dependent;
    m_baseOffset = offset;
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = KxDbImpTagAction::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kBasePtMarker);
    filer->writeUInt32(92, m_baseX.sourceId);
    filer->writeUInt32(93, m_baseY.sourceId);
    filer->writeString(301, m_baseX.sourceName);
    filer->writeString(302, m_baseY.sourceName);
    filer->writePoint3d(1011, m_basePoint);
    filer->writeInt16(280, m_dependent ? 1 : 0);
    filer->writeVector3d(1012, m_baseOffset);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagActionWithBasePt::dxfInFields(AcDbDxfFiler* filer) {
    assertWriteEnabled();
    Acad::ErrorStatus es = KxDbImpTagAction::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kBasePtMarker)) {
        return kxnode::dxfFailure(filer, Acad::eBadDxfSequence);
    }
    AcGePoint3d point;
    KxActionInput x;
    KxActionInput y;
    bool dependent = true;
    AcGeVector3d offset;
    unsigned seen = 0;
    enum : unsigned { k92 = 1, k93 = 2, k301 = 4, k302 = 8, k1011 = 16, kFlag = 32, k1012 = 64 };
    for (;;) {
        resbuf rb{};
        es = filer->readItem(&rb);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        switch (rb.restype) {
            case 92:
                x.sourceId = static_cast<KxNodeId>(rb.resval.rlong);
                seen |= k92;
                break;
            case 93:
                y.sourceId = static_cast<KxNodeId>(rb.resval.rlong);
                seen |= k93;
                break;
            case 301:
                x.sourceName = AcString(rb.resval.rstring);
                kxnode::releaseDxfItem(rb);
                seen |= k301;
                break;
            case 302:
                y.sourceName = AcString(rb.resval.rstring);
                kxnode::releaseDxfItem(rb);
                seen |= k302;
                break;
            case 1011:
                point = AcGePoint3d(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
                seen |= k1011;
                break;
            case 280:
            case 290:
                dependent = rb.resval.rint != 0;
                seen |= kFlag;
                break;
            case 1012:
                offset =
                    AcGeVector3d(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
                seen |= k1012;
                break;
            default:
                kxnode::releaseDxfItem(rb);
                filer->pushBackItem();
                goto done;
        }
    }
done:
    unsigned required = k92 | k93 | k301 | k302 | k1011;
    if (carriesDependentAndOffset(filer)) {
        required |= kFlag | k1012;
    }
    if ((seen & required) != required) {
        return Acad::eMissingDxfField;
    }
    m_basePoint = point;
    m_baseX = x;
    m_baseY = y;
    m_dependent = dependent;
    m_baseOffset = offset;
    return Acad::eOk;
}
