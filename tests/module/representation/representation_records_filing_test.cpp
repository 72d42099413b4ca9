// Filing of the representation data and purge preventer records: round trips through DWG and
// DXF, what the purge filer sees, and damaged or foreign streams.
#include <gtest/gtest.h>

#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/xrecord.h"
#include "module/representation/purge_preventer.h"
#include "module/representation/purge_preventer_imp.h"
#include "module/representation/representation_data.h"
#include "module/representation/representation_data_imp.h"
#include "support/module_loader.h"

namespace {

using kxhost::DwgMemoryFiler;
using kxhost::DxfMemoryFiler;

constexpr Acad::ErrorStatus kNotAccepted = static_cast<Acad::ErrorStatus>(301);

class RecordsFilingTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        ModuleTest::SetUp();
        kxhost::resetAssertionViolations();
        // Something in the drawing for the records to point at.
        auto* target = new AcDbXrecord();
        ASSERT_EQ(db.addAcDbObject(targetId, target), Acad::eOk);
        target->close();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::assertionViolations(), 0);
        ModuleTest::TearDown();
    }
    template <class T>
    static auto* imp(T* record) {
        return kxImpOf<KxDbImpTagRepresentationData>(record);
    }

    AcDbDatabase db{true, true};
    AcDbObjectId targetId;
};

TEST_F(RecordsFilingTest, RepresentationDataRoundTripsThroughDwgAndDxf) {
    KxDbTagRepresentationData record;
    EXPECT_EQ(record.version(), 1);
    EXPECT_TRUE(record.dataId().isNull());
    ASSERT_EQ(record.setDataId(targetId), Acad::eOk);

    DwgMemoryFiler dwg;
    ASSERT_EQ(record.dwgOutFields(&dwg), Acad::eOk);
    dwg.rewind();
    KxDbTagRepresentationData fromDwg;
    ASSERT_EQ(fromDwg.dwgInFields(&dwg), Acad::eOk) << AcString(dwg.describe()).utf8();
    EXPECT_EQ(fromDwg.dataId(), targetId);
    EXPECT_EQ(fromDwg.version(), 1);

    DxfMemoryFiler dxf;
    ASSERT_EQ(record.dxfOutFields(&dxf), Acad::eOk);
    dxf.rewind();
    KxDbTagRepresentationData fromDxf;
    ASSERT_EQ(fromDxf.dxfInFields(&dxf), Acad::eOk) << AcString(dxf.describe()).utf8();
    EXPECT_EQ(fromDxf.dataId(), targetId);

    // Its own part in DXF: the marker naming the class, the version and the pointer.
    DxfMemoryFiler own;
    ASSERT_EQ(imp(&record)->dxfOutFields(&own), Acad::eOk);
    ASSERT_EQ(own.itemCount(), 3);
    EXPECT_EQ(own.items()[0].code, 100);
    EXPECT_EQ(own.items()[0].text, L"KxDbTagRepresentationData");
    EXPECT_EQ(own.items()[1].code, 70);
    EXPECT_EQ(own.items()[1].integer, 1);
    EXPECT_EQ(own.items()[2].code, 340);

    // copyFrom carries both members.
    KxDbTagRepresentationData copy;
    ASSERT_EQ(copy.copyFrom(&record), Acad::eOk);
    EXPECT_EQ(copy.dataId(), targetId);
}

TEST_F(RecordsFilingTest, RepresentationDataRefusesUnknownVersionsAndDamagedStreams) {
    KxDbTagRepresentationData record;
    KxDbImpTagRepresentationData* p = imp(&record);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(record.setDataId(targetId), Acad::eOk);
    EXPECT_EQ(p->dwgInFields(nullptr), Acad::eNullObjectPointer);
    EXPECT_EQ(p->dxfInFields(nullptr), Acad::eNullObjectPointer);

    DwgMemoryFiler dwg;
    dwg.writeInt16(2);
    dwg.writeHardPointerId(AcDbObjectId::kNull);
    dwg.rewind();
    EXPECT_EQ(p->dwgInFields(&dwg), kNotAccepted);
    EXPECT_EQ(record.dataId(), targetId);  // unchanged

    DwgMemoryFiler truncated;
    truncated.writeInt16(1);
    truncated.rewind();
    EXPECT_NE(p->dwgInFields(&truncated), Acad::eOk);
    EXPECT_EQ(record.dataId(), targetId);

    // DXF: the marker is required, a later version is refused.
    DxfMemoryFiler noMarker;
    noMarker.writeInt16(70, 1);
    noMarker.rewind();
    EXPECT_NE(p->dxfInFields(&noMarker), Acad::eOk);

    DxfMemoryFiler later;
    later.writeString(100, L"KxDbTagRepresentationData");
    later.writeInt16(70, 2);
    later.rewind();
    EXPECT_EQ(p->dxfInFields(&later), kNotAccepted);

    // A foreign group ends the record and is left for the next reader.
    DxfMemoryFiler foreign;
    foreign.writeString(100, L"KxDbTagRepresentationData");
    foreign.writeObjectId(340, AcDbObjectId::kNull);
    foreign.writeString(1, L"next");
    foreign.rewind();
    EXPECT_EQ(p->dxfInFields(&foreign), Acad::eOk);
    EXPECT_TRUE(record.dataId().isNull());
    resbuf rb{};
    ASSERT_EQ(foreign.readItem(&rb), Acad::eOk);
    EXPECT_EQ(rb.restype, 1);
    acutDelBuffer(rb.resval.rstring);
}

TEST_F(RecordsFilingTest, PurgePreventerHidesFromThePurgeFilerAndFilesOnlyItsVersionInDxf) {
    KxDbTagPurgePreventer record;
    ASSERT_EQ(record.setDataId(targetId), Acad::eOk);
    EXPECT_TRUE(record.isKindOf(KxDbTagRepresentationData::desc()));

    DwgMemoryFiler file;
    ASSERT_EQ(record.dwgOutFields(&file), Acad::eOk);
    file.rewind();
    KxDbTagPurgePreventer fromDwg;
    ASSERT_EQ(fromDwg.dwgInFields(&file), Acad::eOk);
    EXPECT_EQ(fromDwg.dataId(), targetId);

    // Its own part is absent for the purge filer, present for every other.
    DwgMemoryFiler purge(AcDb::kPurgeFiler);
    DwgMemoryFiler own;
    ASSERT_EQ(imp(&record)->dwgOutFields(&purge), Acad::eOk);
    ASSERT_EQ(imp(&record)->dwgOutFields(&own), Acad::eOk);
    EXPECT_EQ(purge.itemCount(), 0);
    EXPECT_EQ(own.itemCount(), 2);

    DxfMemoryFiler dxf;
    ASSERT_EQ(imp(&record)->dxfOutFields(&dxf), Acad::eOk);
    ASSERT_EQ(dxf.itemCount(), 2);
    EXPECT_EQ(dxf.items()[0].text, L"KxDbTagPurgePreventer");
    EXPECT_EQ(dxf.items()[1].code, 70);
    dxf.rewind();
    KxDbTagPurgePreventer fromDxf;
    ASSERT_EQ(imp(&fromDxf)->dxfInFields(&dxf), Acad::eOk);
    EXPECT_EQ(fromDxf.version(), 1);
    EXPECT_TRUE(fromDxf.dataId().isNull());  // DXF keeps no pointer

    // Whole-object DXF round trip.
    DxfMemoryFiler whole;
    ASSERT_EQ(record.dxfOutFields(&whole), Acad::eOk);
    whole.rewind();
    KxDbTagPurgePreventer fromWhole;
    EXPECT_EQ(fromWhole.dxfInFields(&whole), Acad::eOk);
}

TEST_F(RecordsFilingTest, PurgePreventerRefusesAMissingOrLaterVersion) {
    KxDbTagPurgePreventer record;
    KxDbImpTagRepresentationData* p = imp(&record);

    DxfMemoryFiler missing;
    missing.writeString(100, L"KxDbTagPurgePreventer");
    missing.writeInt32(90, 1);
    missing.rewind();
    EXPECT_EQ(p->dxfInFields(&missing), static_cast<Acad::ErrorStatus>(50));
    EXPECT_EQ(missing.filerStatus(), static_cast<Acad::ErrorStatus>(50));

    DxfMemoryFiler empty;
    empty.writeString(100, L"KxDbTagPurgePreventer");
    empty.rewind();
    EXPECT_EQ(p->dxfInFields(&empty), static_cast<Acad::ErrorStatus>(50));

    DxfMemoryFiler later;
    later.writeString(100, L"KxDbTagPurgePreventer");
    later.writeInt16(70, 3);
    later.rewind();
    EXPECT_EQ(p->dxfInFields(&later), kNotAccepted);

    DxfMemoryFiler wrongMarker;
    wrongMarker.writeString(100, L"KxDbTagRepresentationData");
    wrongMarker.writeInt16(70, 1);
    wrongMarker.rewind();
    EXPECT_NE(p->dxfInFields(&wrongMarker), Acad::eOk);

    DwgMemoryFiler dwg;
    dwg.writeInt16(0);
    dwg.writeHardPointerId(AcDbObjectId::kNull);
    dwg.rewind();
    EXPECT_EQ(p->dwgInFields(&dwg), kNotAccepted);
}

}  // namespace
