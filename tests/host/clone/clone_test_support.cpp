#include "tests/host/clone/clone_test_support.h"

#include "host/db/dwgfiler.h"

ACRX_HOST_DXF_CLASS(KxCloneNode, AcDbObject, "KXCLONENODE");
ACRX_HOST_CLASS(KxCloneAbstract, AcDbObject);
ACRX_HOST_DXF_CLASS(KxCloneBroken, AcDbObject, "KXCLONEBROKEN");

Acad::ErrorStatus KxCloneNode::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeInt32(value);
    filer->writeInt32(hardOwned.length());
    for (const AcDbObjectId& id : hardOwned) {
        filer->writeHardOwnershipId(id);
    }
    filer->writeSoftOwnershipId(softOwned);
    filer->writeHardPointerId(hardPointer);
    filer->writeSoftPointerId(softPointer);
    return filer->filerStatus();
}

Acad::ErrorStatus KxCloneNode::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    Adesk::Int32 v = 0;
    Adesk::Int32 n = 0;
    if ((es = filer->readInt32(&v)) != Acad::eOk || (es = filer->readInt32(&n)) != Acad::eOk) {
        return es;
    }
    if (n < 0 || n > 1000) {
        filer->setFilerStatus(Acad::eFilerError);
        return Acad::eFilerError;
    }
    AcDbObjectIdArray owned;
    for (Adesk::Int32 i = 0; i < n; ++i) {
        AcDbHardOwnershipId id;
        if ((es = filer->readHardOwnershipId(&id)) != Acad::eOk) {
            return es;
        }
        owned.append(id);
    }
    AcDbSoftOwnershipId soft;
    AcDbHardPointerId hard;
    AcDbSoftPointerId softPtr;
    if ((es = filer->readSoftOwnershipId(&soft)) != Acad::eOk ||
        (es = filer->readHardPointerId(&hard)) != Acad::eOk ||
        (es = filer->readSoftPointerId(&softPtr)) != Acad::eOk) {
        return es;
    }
    value = v;
    hardOwned = owned;
    softOwned = soft;
    hardPointer = hard;
    softPointer = softPtr;
    return filer->filerStatus();
}

Acad::ErrorStatus KxCloneBroken::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es == Acad::eOk) {
        filer->writeInt32(7);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxCloneBroken::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    if (type == AcDb::kDeepCloneFiler || type == AcDb::kWblockCloneFiler) {
        double wrongKind = 0.0;
        return filer->readDouble(&wrongKind);  // an int32 was written: the read fails
    }
    Adesk::Int32 v = 0;
    return filer->readInt32(&v);
}

RecordingEventReactor::RecordingEventReactor() {
    acrxEvent()->addReactor(this);
}

RecordingEventReactor::~RecordingEventReactor() {
    acrxEvent()->removeReactor(this);
}

void RecordingEventReactor::beginDeepClone(AcDbDatabase* pTo, AcDbIdMapping& idMap) {
    events.push_back(L"begin");
    beginDest = pTo;
    beginContext = idMap.deepCloneContext();
}

void RecordingEventReactor::beginDeepCloneXlation(AcDbIdMapping& idMap,
                                                  Acad::ErrorStatus* pRetStatus) {
    events.push_back(L"xlation");
    pairsAtXlation = idMap.numPairs();
    if (onXlation) {
        onXlation(idMap, pRetStatus);
    }
}

void RecordingEventReactor::abortDeepClone(AcDbIdMapping&) {
    events.push_back(L"abort");
}

void RecordingEventReactor::endDeepClone(AcDbIdMapping& idMap) {
    events.push_back(L"end");
    pairsAtEnd = idMap.numPairs();
    if (onEnd) {
        onEnd(idMap);
    }
}

void CloneTest::SetUp() {
    kxhost::setStrictOpens(false);
    kxhost::resetAssertionViolations();
    kxhost::resetUnmatchedCloses();
}

void CloneTest::TearDown() {
    EXPECT_EQ(kxhost::assertionViolations(), 0);
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    kxhost::setStrictOpens(false);
}

AcDbObjectId CloneTest::addNode(AcDbDatabase& db, Adesk::Int32 value) {
    auto* node = new KxCloneNode();
    node->value = value;
    AcDbObjectId id;
    EXPECT_EQ(db.addAcDbObject(id, node), Acad::eOk);
    node->close();
    return id;
}

void CloneTest::editNode(AcDbObjectId id, const std::function<void(KxCloneNode*)>& edit) {
    clonetest::Open<KxCloneNode> node(id, AcDb::kForWrite);
    ASSERT_EQ(node.status, Acad::eOk);
    node->assertWriteEnabled();
    edit(node.obj);
}

CloneTest::NodeView CloneTest::viewNode(AcDbObjectId id) {
    NodeView view;
    clonetest::Open<KxCloneNode> node(id, AcDb::kForRead, true);
    EXPECT_EQ(node.status, Acad::eOk);
    if (node.obj != nullptr) {
        view.value = node->value;
        view.hardOwned = node->hardOwned;
        view.softOwned = node->softOwned;
        view.hardPointer = node->hardPointer;
        view.softPointer = node->softPointer;
        view.owner = node->ownerId();
        view.reactors = node->persistentReactors();
    }
    return view;
}

AcDbObjectId CloneTest::cloneOf(const AcDbIdMapping& map, AcDbObjectId key) {
    AcDbIdPair pair(key, AcDbObjectId::kNull, false);
    if (!map.compute(pair) || !pair.isCloned()) {
        return AcDbObjectId::kNull;
    }
    return pair.value();
}

namespace clonetest {

std::wstring textAt(const resbuf* chain, int code, int n) {
    for (const resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
        if (rb->restype == code && n-- == 0) {
            return rb->resval.rstring != nullptr ? rb->resval.rstring : L"";
        }
    }
    return L"";
}

}  // namespace clonetest
