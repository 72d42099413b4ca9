#include "tests/host/db/db_test_support.h"

#include <cstring>

#include "host/db/dwgfiler.h"

ACRX_HOST_DXF_CLASS(KxDbTestRecord, AcDbObject, "KXDBTESTRECORD");
ACRX_HOST_DXF_CLASS(KxDbOtherRecord, AcDbObject, "KXDBOTHERRECORD");
ACRX_HOST_CLASS(KxDbProxyChild, AcDbProxyObject);

Acad::ErrorStatus KxDbTestRecord::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeInt32(m_count);
    filer->writeDouble(m_scale);
    filer->writeString(m_label);
    filer->writePoint3d(m_where);
    filer->writeHardPointerId(m_ref);
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbTestRecord::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbHardPointerId ref;
    if ((es = filer->readInt32(&m_count)) != Acad::eOk ||
        (es = filer->readDouble(&m_scale)) != Acad::eOk ||
        (es = filer->readString(m_label)) != Acad::eOk ||
        (es = filer->readPoint3d(&m_where)) != Acad::eOk ||
        (es = filer->readHardPointerId(&ref)) != Acad::eOk) {
        return es;
    }
    m_ref = ref;
    return filer->filerStatus();
}

AcDbObjectId DbTest::addRecord(AcDbDatabase& db, Adesk::Int32 count) {
    auto* rec = new KxDbTestRecord();
    rec->setCount(count);
    AcDbObjectId id;
    EXPECT_EQ(db.addAcDbObject(id, rec), Acad::eOk);
    rec->close();
    return id;
}

namespace dbtest {

AcDbObjectId idOf(Adesk::Int64 raw) {
    AcDbObjectId id;
    id.setFromOldId(raw);
    return id;
}

int chainLength(const resbuf* rb) {
    int n = 0;
    for (; rb != nullptr; rb = rb->rbnext) {
        ++n;
    }
    return n;
}

namespace {
::testing::AssertionResult sameValue(const resbuf& a, const resbuf& b) {
    const ads_u_val& x = a.resval;
    const ads_u_val& y = b.resval;
    switch (acdbGroupCodeToType(a.restype)) {
        case AcDb::kDwgText:
        case AcDb::kDwgHandle: {
            const std::wstring sx = x.rstring != nullptr ? x.rstring : L"";
            const std::wstring sy = y.rstring != nullptr ? y.rstring : L"";
            if (sx == sy) {
                return ::testing::AssertionSuccess();
            }
            return ::testing::AssertionFailure()
                   << "text " << AcString(sx).utf8() << " != " << AcString(sy).utf8();
        }
        case AcDb::kDwgReal:
            if (x.rreal == y.rreal) {
                return ::testing::AssertionSuccess();
            }
            return ::testing::AssertionFailure() << x.rreal << " != " << y.rreal;
        case AcDb::kDwg3Real:
            if (x.rpoint[0] == y.rpoint[0] && x.rpoint[1] == y.rpoint[1] &&
                x.rpoint[2] == y.rpoint[2]) {
                return ::testing::AssertionSuccess();
            }
            return ::testing::AssertionFailure() << "points differ";
        case AcDb::kDwgInt16:
        case AcDb::kDwgInt8:
            if (x.rint == y.rint) {
                return ::testing::AssertionSuccess();
            }
            return ::testing::AssertionFailure() << x.rint << " != " << y.rint;
        case AcDb::kDwgInt32:
            if (x.rlong == y.rlong) {
                return ::testing::AssertionSuccess();
            }
            return ::testing::AssertionFailure() << x.rlong << " != " << y.rlong;
        case AcDb::kDwgInt64:
            if (x.mnInt64 == y.mnInt64) {
                return ::testing::AssertionSuccess();
            }
            return ::testing::AssertionFailure() << x.mnInt64 << " != " << y.mnInt64;
        case AcDb::kDwgHardOwnershipId:
        case AcDb::kDwgSoftOwnershipId:
        case AcDb::kDwgHardPointerId:
        case AcDb::kDwgSoftPointerId:
            if (x.rlname[0] == y.rlname[0]) {
                return ::testing::AssertionSuccess();
            }
            return ::testing::AssertionFailure() << "id " << x.rlname[0] << " != " << y.rlname[0];
        case AcDb::kDwgBChunk:
            if (x.rbinary.clen == y.rbinary.clen &&
                (x.rbinary.clen == 0 ||
                 std::memcmp(x.rbinary.buf, y.rbinary.buf, x.rbinary.clen) == 0)) {
                return ::testing::AssertionSuccess();
            }
            return ::testing::AssertionFailure() << "binary data differs";
        default:
            return ::testing::AssertionFailure() << "unclassified code " << a.restype;
    }
}
}  // namespace

::testing::AssertionResult sameChain(const resbuf* expected, const resbuf* actual) {
    int i = 0;
    for (; expected != nullptr && actual != nullptr;
         expected = expected->rbnext, actual = actual->rbnext, ++i) {
        if (expected->restype != actual->restype) {
            return ::testing::AssertionFailure()
                   << "item " << i << ": code " << expected->restype << " != " << actual->restype;
        }
        ::testing::AssertionResult same = sameValue(*expected, *actual);
        if (!same) {
            return ::testing::AssertionFailure()
                   << "item " << i << " (code " << expected->restype << "): " << same.message();
        }
    }
    if (expected != nullptr || actual != nullptr) {
        return ::testing::AssertionFailure()
               << "lengths differ at item " << i
               << (expected != nullptr ? ": actual is shorter" : ": actual is longer");
    }
    return ::testing::AssertionSuccess();
}

}  // namespace dbtest
