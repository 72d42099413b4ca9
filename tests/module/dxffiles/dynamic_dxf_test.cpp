// A drawing with a dynamic definition written to a DXF file and read back: every object must come
// back as it was (same class, same fields, references to the same handles), and a reference of
// the read drawing must change exactly as the same reference of the drawing in memory does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/proxy.h"
#include "host/dxf/dxf_reader.h"
#include "host/dxf/dxf_writer.h"
#include "host/entities/blockref.h"
#include "host/entities/polyline.h"
#include "panel_drawing.h"
#include "support/module_loader.h"

namespace {

using kxdxftest::blockOf;
using kxdxftest::narrow;
using kxdxftest::Opened;

bool isIdKind(kxhost::DwgMemoryFiler::ItemKind kind) {
    using K = kxhost::DwgMemoryFiler::ItemKind;
    return kind == K::kHardOwnershipId || kind == K::kSoftOwnershipId ||
           kind == K::kHardPointerId || kind == K::kSoftPointerId;
}

// What an object files for a copy, with every id replaced by the handle it names, so streams of
// two databases compare.
struct Filed {
    std::string className;
    std::vector<kxhost::DwgMemoryFiler::Item> items;
    std::string text;
};

bool fileObject(const AcDbObjectId& id, Filed& out) {
    Opened<AcDbObject> obj(id, AcDb::kForRead);
    if (obj.get() == nullptr) {
        return false;
    }
    const std::wstring name(obj->isA()->name());
    out.className.assign(name.begin(), name.end());
    kxhost::DwgMemoryFiler filer(AcDb::kCopyFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                 id.database());
    if (obj->dwgOutFields(&filer) != Acad::eOk) {
        return false;
    }
    out.items = filer.items();
    out.text.clear();
    for (auto& item : out.items) {
        if (isIdKind(item.kind) && item.bits != 0) {
            AcDbObjectId named;
            named.setFromOldId(static_cast<Adesk::Int64>(item.bits));
            item.bits = named.handle().value();
        }
        out.text += narrow(item.description()) + "\n";
    }
    return true;
}

// Every live object of `expected` must be in `actual` under its handle, of the same class and
// filing the same fields; `actual` must hold nothing more.
void expectSameObjects(AcDbDatabase* expected, AcDbDatabase* actual) {
    int compared = 0;
    std::map<Adesk::UInt64, bool> expectedHandles;
    for (const AcDbObjectId& id : kxhost::objectIds(expected)) {
        if (id.isErased()) {
            continue;
        }
        const AcDbHandle handle = id.handle();
        expectedHandles[handle.value()] = true;
        AcDbObjectId other;
        ASSERT_EQ(actual->getAcDbObjectId(other, false, handle), Acad::eOk)
            << "missing handle " << narrow(handle.toString());
        Filed want;
        Filed got;
        ASSERT_TRUE(fileObject(id, want));
        ASSERT_TRUE(fileObject(other, got)) << want.className;
        EXPECT_EQ(got.className, want.className) << "handle " << handle.value();
        EXPECT_EQ(got.text, want.text) << want.className << " handle " << handle.value();
        EXPECT_TRUE(got.items == want.items) << want.className << " handle " << handle.value();
        ++compared;
    }
    for (const AcDbObjectId& id : kxhost::objectIds(actual)) {
        if (!id.isErased()) {
            EXPECT_TRUE(expectedHandles.count(id.handle().value()) != 0)
                << "extra object, handle " << id.handle().value();
        }
    }
    EXPECT_GT(compared, 20);
}

class DynamicDxfTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
        char name[] = "/tmp/kxdynamicdxfXXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
        wpath.assign(path.begin(), path.end());
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete readBack;
        delete db;
        // A failing run keeps its file for a look.
        if (HasFailure()) {
            std::printf("kept %s\n", path.c_str());
        } else {
            std::remove(path.c_str());
        }
        kxtest::ModuleTest::TearDown();
    }

    void build() {
        kxdxftest::PanelDrawing panel;
        kxdxftest::buildPanelDrawing(db, panel);
        definitionId = panel.definitionId;
        refIds = panel.refIds;
        parameterId = panel.parameterId;
        paramNode = panel.paramNode;
    }

    void writeAndRead() {
        AcString message;
        ASSERT_EQ(kxhost::dxf::writeDxfFile(db, wpath.c_str(), &message), Acad::eOk)
            << narrow(message);
        std::vector<AcString> warnings;
        ASSERT_EQ(kxhost::dxf::readDxfFile(wpath.c_str(), readBack, &message, &warnings), Acad::eOk)
            << narrow(message);
        ASSERT_NE(readBack, nullptr);
        // Every record of the drawing is read whole by its own class.
        for (const AcString& warning : warnings) {
            ADD_FAILURE() << narrow(warning);
        }
    }

    Acad::ErrorStatus setWidth(const AcDbObjectId& refId, double width) {
        return kxdxftest::setWidth(refId, paramNode, width);
    }
    // The corners of the panel in the reference's block.
    static std::vector<AcGePoint2d> panelOf(const AcDbObjectId& refId) {
        std::vector<AcGePoint2d> corners;
        Opened<AcDbBlockTableRecord> btr(blockOf(refId), AcDb::kForRead);
        if (btr.get() == nullptr) {
            return corners;
        }
        AcDbBlockTableRecordIterator* it = nullptr;
        if (btr->newIterator(it) != Acad::eOk) {
            return corners;
        }
        for (it->start(); !it->done(); it->step()) {
            AcDbObjectId id;
            it->getEntityId(id);
            Opened<AcDbPolyline> pline(id, AcDb::kForRead);
            for (unsigned int i = 0; pline.get() != nullptr && i < pline->numVerts(); ++i) {
                AcGePoint2d p;
                pline->getPointAt(i, p);
                corners.push_back(p);
            }
        }
        delete it;
        return corners;
    }
    // The same reference in the read drawing.
    AcDbObjectId inReadBack(const AcDbObjectId& id) const {
        AcDbObjectId other;
        readBack->getAcDbObjectId(other, false, id.handle());
        return other;
    }

    AcDbDatabase* db = nullptr;
    AcDbDatabase* readBack = nullptr;
    std::string path;
    std::wstring wpath;
    AcDbObjectId definitionId;
    AcDbObjectIdArray refIds;
    AcDbObjectId parameterId;
    KxNodeId paramNode = 0;
};

// The application's extended data of an object as text, one group a line.
std::string xdataOf(const AcDbObjectId& id) {
    Opened<AcDbObject> obj(id, AcDb::kForRead);
    if (obj.get() == nullptr) {
        return "not opened";
    }
    resbuf* chain = obj->xData(L"KXDXFTEST");
    std::string text;
    for (const resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
        text += std::to_string(rb->restype) + " ";
        if (rb->restype == 1001 || rb->restype == 1000) {
            text += narrow(AcString(rb->resval.rstring));
        } else if (rb->restype == 1071) {
            text += std::to_string(rb->resval.rlong);
        } else if (rb->restype == 1040) {
            text += std::to_string(rb->resval.rreal);
        }
        text += "\n";
    }
    acutRelRb(chain);
    return text;
}

TEST_F(DynamicDxfTest, EveryObjectComesBackFromTheFile) {
    ASSERT_NO_FATAL_FAILURE(build());
    writeAndRead();
    expectSameObjects(db, readBack);
    EXPECT_EQ(xdataOf(inReadBack(parameterId)),
              "1001 KXDXFTEST\n1000 panel\n1071 77\n1040 2.500000\n");

    // And a second trip from the read drawing gives the same drawing again.
    AcDbDatabase* first = readBack;
    readBack = nullptr;
    {
        AcString message;
        ASSERT_EQ(kxhost::dxf::writeDxfFile(first, wpath.c_str(), &message), Acad::eOk);
        ASSERT_EQ(kxhost::dxf::readDxfFile(wpath.c_str(), readBack, &message), Acad::eOk);
    }
    expectSameObjects(first, readBack);
    delete first;
}

TEST_F(DynamicDxfTest, AReadReferenceChangesAsTheOneInMemory) {
    ASSERT_NO_FATAL_FAILURE(build());
    writeAndRead();
    EXPECT_EQ(panelOf(inReadBack(refIds[1])), panelOf(refIds[1]));

    // The changed reference goes on from its stored state; an unchanged one starts one.
    for (int index : {1, 2}) {
        const double width = index == 1 ? 21.0 * 2.0 : 7.0;
        ASSERT_EQ(setWidth(refIds[index], width), Acad::eOk);
        ASSERT_EQ(setWidth(inReadBack(refIds[index]), width), Acad::eOk);
        const std::vector<AcGePoint2d> inMemory = panelOf(refIds[index]);
        ASSERT_EQ(inMemory.size(), 4u);
        // The right edge follows the width in the block's own units (the second reference is
        // scaled by 2).
        double right = -1e300;
        for (const AcGePoint2d& p : inMemory) {
            right = std::max(right, p.x);
        }
        EXPECT_NEAR(right, index == 1 ? 21.0 : 7.0, 1e-9);
        EXPECT_NE(blockOf(refIds[index]), definitionId);
        EXPECT_NE(blockOf(inReadBack(refIds[index])), inReadBack(definitionId));
        EXPECT_EQ(panelOf(inReadBack(refIds[index])), inMemory);
    }
    // Same geometry, same records, same new objects under the same handles.
    expectSameObjects(db, readBack);
}

// A module record with a group its class does not know is kept whole, as a proxy with its
// groups, reported, and written back as it came. The drawing stays usable: the reference whose
// parameter it was refuses the change instead of failing in some other way.
TEST_F(DynamicDxfTest, AModuleRecordWithAnUnknownGroupIsKeptWhole) {
    ASSERT_NO_FATAL_FAILURE(build());
    std::ostringstream out;
    AcString message;
    ASSERT_EQ(kxhost::dxf::writeDxf(db, out, &message), Acad::eOk);
    std::string text = out.str();
    const std::string handle = kxhost::dxf::formatHandle(parameterId.handle().value());
    const size_t at = text.find("\n  5\n" + handle + "\n");
    ASSERT_NE(at, std::string::npos);
    const size_t start = text.rfind("  0\n", at);
    const size_t xdata = text.find("1001\nKXDXFTEST\n", at);
    const size_t end = text.find("  0\n", at);
    ASSERT_LT(xdata, end);
    text.insert(xdata, " 90\n4242\n");
    const std::string record = text.substr(start, end + 10 - start);

    std::istringstream in(text);
    std::vector<AcString> warnings;
    ASSERT_EQ(kxhost::dxf::readDxf(in, readBack, &message, &warnings), Acad::eOk)
        << narrow(message);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(narrow(warnings[0]).find("BLOCKLINEARTAG " + handle + " kept as a proxy"),
              std::string::npos)
        << narrow(warnings[0]);
    {
        Opened<AcDbProxyObject> proxy(inReadBack(parameterId), AcDb::kForRead);
        ASSERT_EQ(proxy.status(), Acad::eOk);
        EXPECT_EQ(AcString(proxy->originalClassName()), AcString(L"KxDbBlockLinearTag"));
        // The extended data is the object's, not part of its unread groups.
        EXPECT_EQ(xdataOf(proxy->objectId()),
                  "1001 KXDXFTEST\n1000 panel\n1071 77\n1040 2.500000\n");
    }
    EXPECT_NE(setWidth(inReadBack(refIds[2]), 9.0), Acad::eOk);
    std::ostringstream again;
    ASSERT_EQ(kxhost::dxf::writeDxf(readBack, again, &message), Acad::eOk) << narrow(message);
    EXPECT_NE(again.str().find(record), std::string::npos);
}

}  // namespace
