#include "param_bases_support.h"

#include <gtest/gtest.h>

#include "host/db/dbobject.h"

ACRX_DEFINE_MEMBERS(PbParam)
ACRX_DEFINE_MEMBERS(Pb1Pt)
ACRX_DEFINE_MEMBERS(Pb2Pt)
ACRX_DEFINE_MEMBERS(PbAction)
KX_DEFINE_PAIR(PbParam, KxDbBlockTag, PbParamImp)
KX_DEFINE_PAIR(Pb1Pt, KxDbBlock1PtTag, Pb1PtImp)
KX_DEFINE_PAIR(Pb2Pt, KxDbBlock2PtTag, Pb2PtImp)
KX_DEFINE_PAIR(PbAction, KxDbTagElement, PbActionImp)

// --- PbParam ----------------------------------------------------------------------------------

Acad::ErrorStatus PbParamImp::getPropertyDescriptions(KxDbBlockPropertyDescArray& out) const {
    out.append(descs);
    return Acad::eOk;
}

Acad::ErrorStatus PbParamImp::getPropertyValue(const ACHAR* name, KxDbTagEvalVariant& value) const {
    const auto it = values.find(name);
    if (it == values.end()) {
        return Acad::eKeyNotFound;
    }
    value = it->second;
    return Acad::eOk;
}

Acad::ErrorStatus PbParamImp::setPropertyValue(const ACHAR* name, const KxDbTagEvalVariant& value) {
    for (int i = 0; i < descs.length(); ++i) {
        if (descs[i].name == name) {
            values[name] = value;
            ++sets;
            return Acad::eOk;
        }
    }
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus PbParamImp::getLabelNames(AcStringArray& names) const {
    names.append(labels);
    return Acad::eOk;
}

// --- Grips ------------------------------------------------------------------------------------

Acad::ErrorStatus pbAddGrip(KxDbImpTagElement* param, KxDbTagEvalGraph* graph,
                            const AcGePoint3d& point, const ACHAR* xName, const ACHAR* yName,
                            KxNodeId& gripId, const std::function<void(KxNodeId)>& store) {
    auto* grip = new KxDbTagGrip();
    grip->setLocation(point);
    grip->setUpdatedLocation(point);
    Acad::ErrorStatus es = graph->addNode(grip, gripId);
    if (es != Acad::eOk) {
        delete grip;
        return es;
    }
    store(gripId);
    // The parameter is downgraded while the grip looks at it, as a concrete parameter does.
    AcDbObjectWrapper* pub = param->publicObject();
    const bool downgrade = pub->database() != nullptr && pub->isWriteEnabled() &&
                           pub->downgradeToNotify(false) == Acad::eOk;
    if (es == Acad::eOk) {
        es = grip->connectTo(L"X", param->nodeId(), xName);
    }
    if (es == Acad::eOk) {
        es = grip->connectTo(L"Y", param->nodeId(), yName);
    }
    if (downgrade) {
        Adesk::Boolean wasWritable = false;
        pub->upgradeFromNotify(wasWritable);
    }
    grip->close();
    if (es == Acad::eOk) {
        es = param->connectTo(xName, gripId, L"DisplacementX");
    }
    if (es == Acad::eOk) {
        es = param->connectTo(yName, gripId, L"DisplacementY");
    }
    return es;
}

Acad::ErrorStatus Pb1PtImp::addGrip(int index, KxNodeId& gripId, KxDbTagEvalGraph* graph) {
    if (index != 0) {
        return Acad::eInvalidInput;
    }
    return pbAddGrip(this, graph, definitionPoint(), L"UpdatedX", L"UpdatedY", gripId,
                     [this](KxNodeId id) { setGripId(id); });
}

Acad::ErrorStatus Pb2PtImp::addGrip(int index, KxNodeId& gripId, KxDbTagEvalGraph* graph) {
    ++addGripCalls;
    Input xInput = kBaseX;
    Input yInput = kBaseY;
    if (!gripInputs(index, xInput, yInput)) {
        return Acad::eInvalidInput;
    }
    const AcGePoint3d base = definitionBasePoint();
    const AcGePoint3d end = definitionEndPoint();
    const AcGePoint3d places[4] = {base, end, AcGePoint3d(base.x, end.y, end.z),
                                   AcGePoint3d(end.x, base.y, end.z)};
    return pbAddGrip(this, graph, places[index], inputName(xInput), inputName(yInput), gripId,
                     [this, index](KxNodeId id) { setGripId(index, id); });
}

// --- PbAction ---------------------------------------------------------------------------------

Acad::ErrorStatus PbActionImp::getConnectionNames(AcStringArray& names) const {
    names.append(AcString(L"Reads"));
    names.append(AcString(L"Reads2"));
    for (const auto& output : outputs) {
        names.append(AcString(output.first.c_str()));
    }
    return Acad::eOk;
}

bool PbActionImp::hasConnection(const ACHAR* name) const {
    AcStringArray names;
    getConnectionNames(names);
    for (int i = 0; i < names.length(); ++i) {
        if (acCompareNoCase(names[i], AcString(name)) == 0) {
            return true;
        }
    }
    return false;
}

Acad::ErrorStatus PbActionImp::getConnectionType(const ACHAR* name, AcDb::DwgDataType& kind) const {
    kind = hasConnection(name) ? AcDb::kDwgReal : AcDb::kDwgNull;
    return hasConnection(name) ? Acad::eOk : Acad::eInvalidInput;
}

Acad::ErrorStatus PbActionImp::getConnectionValue(const ACHAR* name,
                                                  KxDbTagEvalVariant& value) const {
    for (const auto& output : outputs) {
        if (acCompareNoCase(AcString(output.first.c_str()), AcString(name)) == 0) {
            value.setReal(output.second);
            return Acad::eOk;
        }
    }
    return Acad::eInvalidInput;
}

Acad::ErrorStatus PbActionImp::connectTo(const ACHAR* name, KxNodeId otherId,
                                         const ACHAR* otherName) {
    if (AcString(name) == L"Reads") {
        return connectInput(name, otherId, otherName, reads);
    }
    if (AcString(name) == L"Reads2") {
        return connectInput(name, otherId, otherName, reads2);
    }
    return Acad::eInvalidInput;
}

Acad::ErrorStatus PbActionImp::getConnectedConnections(const ACHAR* name, KxNodeId nodeId,
                                                       AcStringArray& names) const {
    if (acCompareNoCase(AcString(name), AcString(L"Reads")) == 0) {
        appendConnectedConnections(reads, nodeId, names);
    } else if (acCompareNoCase(AcString(name), AcString(L"Reads2")) == 0) {
        appendConnectedConnections(reads2, nodeId, names);
    }
    return Acad::eOk;
}

Acad::ErrorStatus PbAction::actionLinkReapplySelection() {
    PbActionImp* i = imp();
    ++i->reapplies;
    if (!i->openWhileReapplying.isNull()) {
        AcDbObject* obj = nullptr;
        i->openStatus = acdbOpenObject(obj, i->openWhileReapplying, AcDb::kForRead);
        if (i->openStatus == Acad::eOk) {
            obj->close();
        }
    }
    return i->reapplyStatus;
}

namespace pbtest {

PbParamImp* paramImp(const AcDbObjectWrapper* obj) {
    return kxImpOf<PbParamImp>(obj);
}
Pb1PtImp* onePtImp(const AcDbObjectWrapper* obj) {
    return kxImpOf<Pb1PtImp>(obj);
}
Pb2PtImp* twoPtImp(const AcDbObjectWrapper* obj) {
    return kxImpOf<Pb2PtImp>(obj);
}
PbActionImp* actionImp(const AcDbObjectWrapper* obj) {
    return kxImpOf<PbActionImp>(obj);
}

PbAction* makeAction(const ACHAR* name, KxDbParamActionLink::Kind kind, KxNodeId parameterId) {
    auto* action = new PbAction();
    action->setName(name);
    action->imp()->kind = kind;
    action->imp()->parameterId = parameterId;
    return action;
}

namespace {
template <class T>
void registerClass(const ACHAR* name, const ACHAR* parent, const ACHAR* dxf) {
    if (acrxFindAcRxClass(name) == nullptr) {
        T::descCache() = newAcRxClass(
            name, parent, 33, 55, 1153, []() -> AcRxObject* { return new T(); }, dxf, L"PBTEST");
    }
}
void unregisterClass(const ACHAR* name) {
    if (AcRxClass* cls = acrxFindAcRxClass(name)) {
        deleteAcRxClass(cls);
    }
}
}  // namespace

void ParamBasesTest::SetUp() {
    kxtest::TestElementsTest::SetUp();
    registerClass<PbParam>(L"PbParam", L"KxDbBlockTag", L"PBPARAM");
    registerClass<Pb1Pt>(L"Pb1Pt", L"KxDbBlock1PtTag", L"PB1PT");
    registerClass<Pb2Pt>(L"Pb2Pt", L"KxDbBlock2PtTag", L"PB2PT");
    registerClass<PbAction>(L"PbAction", L"KxDbTagElement", L"PBACTION");
    acrxBuildClassHierarchy();
    kxhost::resetAssertionViolations();
    kxhost::resetUnmatchedCloses();
}

void ParamBasesTest::TearDown() {
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    unregisterClass(L"PbAction");
    unregisterClass(L"Pb2Pt");
    unregisterClass(L"Pb1Pt");
    unregisterClass(L"PbParam");
    PbAction::descCache() = nullptr;
    Pb2Pt::descCache() = nullptr;
    Pb1Pt::descCache() = nullptr;
    PbParam::descCache() = nullptr;
    kxtest::TestElementsTest::TearDown();
}

void copyItems(const kxhost::DwgMemoryFiler& from, kxhost::DwgMemoryFiler& to, int count,
               const std::map<int, Adesk::Int64>& replace) {
    using Kind = kxhost::DwgMemoryFiler::ItemKind;
    for (int i = 0; i < count && i < from.itemCount(); ++i) {
        const auto& item = from.items()[i];
        const auto it = replace.find(i);
        const Adesk::UInt64 bits =
            it != replace.end() ? static_cast<Adesk::UInt64>(it->second) : item.bits;
        switch (item.kind) {
            case Kind::kBool:
                to.writeBool(bits != 0);
                break;
            case Kind::kInt16:
                to.writeInt16(static_cast<Adesk::Int16>(bits));
                break;
            case Kind::kUInt16:
                to.writeUInt16(static_cast<Adesk::UInt16>(bits));
                break;
            case Kind::kInt32:
                to.writeInt32(static_cast<Adesk::Int32>(bits));
                break;
            case Kind::kUInt32:
                to.writeUInt32(static_cast<Adesk::UInt32>(bits));
                break;
            case Kind::kDouble:
                to.writeDouble(item.v[0]);
                break;
            case Kind::kString:
                to.writeString(AcString(item.text.c_str()));
                break;
            case Kind::kPoint3d:
                to.writePoint3d(AcGePoint3d(item.v[0], item.v[1], item.v[2]));
                break;
            case Kind::kSoftPointerId:
                to.writeSoftPointerId(AcDbSoftPointerId(
                    AcDbObjectId().setFromOldId(static_cast<Adesk::Int64>(bits))));
                break;
            case Kind::kHardOwnershipId:
                to.writeHardOwnershipId(AcDbHardOwnershipId(
                    AcDbObjectId().setFromOldId(static_cast<Adesk::Int64>(bits))));
                break;
            case Kind::kHardPointerId:
                to.writeHardPointerId(AcDbHardPointerId(
                    AcDbObjectId().setFromOldId(static_cast<Adesk::Int64>(bits))));
                break;
            case Kind::kSoftOwnershipId:
                to.writeSoftOwnershipId(AcDbSoftOwnershipId(
                    AcDbObjectId().setFromOldId(static_cast<Adesk::Int64>(bits))));
                break;
            default:
                ADD_FAILURE() << "item kind not copied: " << item.description().utf8();
        }
    }
}

StrictOpens::StrictOpens() {
    kxhost::setStrictOpens(true);
    kxhost::resetAssertionViolations();
    kxhost::resetUnmatchedCloses();
}

StrictOpens::~StrictOpens() {
    kxhost::setStrictOpens(false);
}

}  // namespace pbtest
