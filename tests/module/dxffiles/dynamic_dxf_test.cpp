// A drawing with a dynamic definition written to a DXF file and read back: every object must come
// back as it was (same class, same fields, references to the same handles), and a reference of
// the read drawing must change exactly as the same reference of the drawing in memory does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/dxf/dxf_reader.h"
#include "host/dxf/dxf_writer.h"
#include "host/entities/blockref.h"
#include "host/entities/polyline.h"
#include "module/params/linear_tag.h"
#include "module/representation/ref_context.h"
#include "support/module_loader.h"
#include "tools/authoring/authoring.h"

namespace {

constexpr const ACHAR* kWidth = L"Width";

template <class T>
class Opened {
  public:
    Opened(AcDbObjectId id, AcDb::OpenMode mode) {
        AcDbObject* obj = nullptr;
        m_status = acdbOpenObject(obj, id, mode);
        m_obj = T::cast(obj);
        if (m_status == Acad::eOk && m_obj == nullptr) {
            obj->close();
            m_status = Acad::eWrongObjectType;
        }
    }
    ~Opened() {
        if (m_obj != nullptr) {
            m_obj->close();
        }
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    T* operator->() const { return m_obj; }
    T* get() const { return m_obj; }
    Acad::ErrorStatus status() const { return m_status; }

  private:
    T* m_obj = nullptr;
    Acad::ErrorStatus m_status = Acad::eOk;
};

std::string narrow(const AcString& text) {
    const std::wstring wide(text.kwszPtr());
    std::string out;
    for (wchar_t c : wide) {
        out += c < 128 ? static_cast<char>(c) : '?';
    }
    return out;
}

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

    // A 10 x 5 panel whose width (on a grid of 1 between 2 and 40) stretches its right edge,
    // three references, the second one widened through the reference context.
    void build() {
        kxauthor::Author author(db);
        author.rootData()
            .definition(L"PANEL", {kxauthor::rectangle(AcGePoint2d(0, 0), 10, 5)})
            .graph()
            .linear(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0), kWidth, 2)
            .valueSet(kxauthor::ValueSetSpec::grid(1.0, 2.0, 40.0))
            .reference(AcGePoint3d(0, 0, 0))
            .reference(AcGePoint3d(50, 0, 0), 0.5, 2.0)
            .reference(AcGePoint3d(0, 40, 0));
        ASSERT_TRUE(author.ok()) << author.status();
        definitionId = author.definitionId();
        refIds = author.referenceIds();
        AcDbObjectIdArray selection;
        {
            Opened<AcDbBlockTableRecord> btr(definitionId, AcDb::kForRead);
            ASSERT_EQ(btr.status(), Acad::eOk);
            AcDbBlockTableRecordIterator* it = nullptr;
            ASSERT_EQ(btr->newIterator(it), Acad::eOk);
            for (it->start(); !it->done(); it->step()) {
                AcDbObjectId id;
                it->getEntityId(id);
                selection.append(id);
            }
            delete it;
        }
        AcDbObjectId actionId;
        ASSERT_EQ(kxauthor::addStretchAction(db, author.graphId(), author.parameterId(), selection,
                                             AcGePoint2d(5, -1), AcGePoint2d(11, 6), L"Stretch",
                                             actionId),
                  Acad::eOk);
        {
            // Extended data after a parameter's own groups of the 1010-1071 range: the file must
            // tell the two apart.
            Opened<KxDbBlockLinearTag> linear(author.parameterId(), AcDb::kForWrite);
            ASSERT_EQ(linear.status(), Acad::eOk);
            paramNode = linear->getNodeId();
            resbuf* xd = acutBuildList(1001, L"KXDXFTEST", 1000, L"panel", 1071, 77, 1040, 2.5, 0);
            EXPECT_EQ(linear->setXData(xd), Acad::eOk);
            acutRelRb(xd);
        }
        parameterId = author.parameterId();
        ASSERT_EQ(setWidth(refIds[1], 14.0 * 2.0), Acad::eOk);
        // The change gave the reference an anonymous block of its own.
        ASSERT_NE(blockOf(refIds[1]), definitionId);
        Opened<AcDbBlockTableRecord> own(blockOf(refIds[1]), AcDb::kForRead);
        ASSERT_EQ(own.status(), Acad::eOk);
        EXPECT_TRUE(own->isAnonymous());
    }

    void writeAndRead() {
        AcString message;
        ASSERT_EQ(kxhost::dxf::writeDxfFile(db, wpath.c_str(), &message), Acad::eOk)
            << narrow(message);
        ASSERT_EQ(kxhost::dxf::readDxfFile(wpath.c_str(), readBack, &message), Acad::eOk)
            << narrow(message);
        ASSERT_NE(readBack, nullptr);
    }

    Acad::ErrorStatus setWidth(const AcDbObjectId& refId, double width) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForWrite);
        if (ref.status() != Acad::eOk) {
            return ref.status();
        }
        KxDbTagRefContext context(kxref::kDefaultKey, ref.get());
        Acad::ErrorStatus es = context.activateNode(paramNode);
        if (es == Acad::eOk) {
            es = context.setPropertyAndEvaluate(kWidth, KxDbTagEvalVariant(width));
        }
        return es;
    }
    static AcDbObjectId blockOf(const AcDbObjectId& refId) {
        Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
        return ref.get() != nullptr ? ref->blockTableRecord() : AcDbObjectId();
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
    build();
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
    build();
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

}  // namespace
