#include "host/dxf/dxf_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/dictionary.h"
#include "host/db/dwgfiler.h"
#include "host/db/layout.h"
#include "host/db/proxy.h"
#include "host/db/xrecord.h"
#include "host/dxf/dxf_writer.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/circle.h"
#include "host/entities/line.h"
#include "host/entities/objectiterator.h"
#include "host/entities/proxyentity.h"

namespace {

template <class T>
struct Open {
    Open(AcDbObjectId id, AcDb::OpenMode mode) { status = acdbOpenObject(obj, id, mode); }
    ~Open() {
        if (obj != nullptr) {
            obj->close();
        }
    }
    Open(const Open&) = delete;
    Open& operator=(const Open&) = delete;
    T* operator->() const { return obj; }
    T* obj = nullptr;
    Acad::ErrorStatus status = Acad::eOk;
};

AcDbObjectId append(AcDbEntity* ent, AcDbObjectId block) {
    Open<AcDbBlockTableRecord> rec(block, AcDb::kForWrite);
    EXPECT_EQ(rec.status, Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(rec->appendAcDbEntity(id, ent), Acad::eOk);
    ent->close();
    return id;
}

// Lines (one with extended data and an extension dictionary), a block with a circle, a
// reference to it, an xrecord in the named objects dictionary.
// The handles the damage cases work on.
struct Built {
    std::string line1;
    std::string line2;
    std::string xrecord;
};

std::string hexOf(const AcDbObjectId& id) {
    return kxhost::dxf::formatHandle(id.handle().value());
}

void buildDrawing(AcDbDatabase& db, Built* handles = nullptr) {
    Built built;
    const AcDbObjectId model = db.modelSpaceId();
    const AcDbObjectId line1 =
        append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0.1, 0)), model);
    built.line1 = hexOf(line1);
    built.line2 =
        hexOf(append(new AcDbLine(AcGePoint3d(1.0 / 3.0, 2, 3), AcGePoint3d(4, 5, 6)), model));
    AcDbObjectId block;
    {
        AcDbBlockTable* table = nullptr;
        ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        auto* rec = new AcDbBlockTableRecord();
        rec->setName(L"PART");
        rec->setOrigin(AcGePoint3d(1, 1, 0));
        ASSERT_EQ(table->add(block, rec), Acad::eOk);
        rec->close();
        table->close();
    }
    append(new AcDbCircle(AcGePoint3d(1, 1, 0), AcGeVector3d::kZAxis, 2.5), block);
    const AcDbObjectId reference =
        append(new AcDbBlockReference(AcGePoint3d(20, 5, 0), block), model);
    {
        Open<AcDbLine> line(line1, AcDb::kForWrite);
        resbuf* xd = acutBuildList(1001, L"KXAPP", 1000, L"a^b\nc", 1070, 7, 0);
        EXPECT_EQ(line->setXData(xd), Acad::eOk);
        acutRelRb(xd);
        EXPECT_EQ(line->createExtensionDictionary(), Acad::eOk);
    }
    AcDbDictionary* nod = nullptr;
    ASSERT_EQ(db.getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
    auto* xrec = new AcDbXrecord();
    resbuf* data = acutBuildList(1, L"two\nlines", 40, 0.1, 50, 0.3, 70, 3, 0);
    EXPECT_EQ(xrec->setFromRbChain(*data), Acad::eOk);
    acutRelRb(data);
    AcDbObjectId xid;
    EXPECT_EQ(nod->setAt(L"KX_DATA", xrec, xid), Acad::eOk);
    built.xrecord = hexOf(xid);
    xrec->close();
    nod->close();
    Open<AcDbBlockReference> ref(reference, AcDb::kForWrite);
    ASSERT_EQ(ref.status, Acad::eOk);
    for (const wchar_t* tag : {L"NUMBER", L"NAME"}) {
        auto* att = new AcDbAttribute(AcGePoint3d(21, 5, 0), L"value", tag);
        EXPECT_EQ(ref->appendAttribute(att), Acad::eOk);
        att->close();
    }
    if (handles != nullptr) {
        *handles = built;
    }
}

// The reference's attribute ids in order, with their tags.
std::vector<std::pair<Adesk::UInt64, std::string>> attributesOf(AcDbDatabase& db) {
    std::vector<std::pair<Adesk::UInt64, std::string>> out;
    AcDbBlockTableRecord* model = nullptr;
    if (acdbOpenObject(model, db.modelSpaceId(), AcDb::kForRead) != Acad::eOk) {
        return out;
    }
    AcDbBlockTableRecordIterator* it = nullptr;
    model->newIterator(it);
    model->close();
    for (it->start(); !it->done(); it->step()) {
        AcDbObjectId id;
        it->getEntityId(id);
        Open<AcDbBlockReference> ref(id, AcDb::kForRead);
        if (ref.obj == nullptr) {
            continue;
        }
        std::unique_ptr<AcDbObjectIterator> atts(ref->attributeIterator());
        for (atts->start(); !atts->done(); atts->step()) {
            Open<AcDbAttribute> att(atts->objectId(), AcDb::kForRead);
            EXPECT_EQ(att.status, Acad::eOk);
            if (att.obj != nullptr) {
                EXPECT_EQ(att->ownerId(), id);
                out.emplace_back(atts->objectId().handle().value(), att->tag().utf8());
            }
        }
    }
    delete it;
    return out;
}

std::string write(AcDbDatabase& db) {
    std::ostringstream out;
    AcString message;
    EXPECT_EQ(kxhost::dxf::writeDxf(&db, out, &message), Acad::eOk) << message.utf8();
    return out.str();
}

// What an object files, common part included, in the binary file filer: equal bytes mean equal
// state, ids compared through handles by the caller's choice of database.
struct State {
    AcRxClass* cls = nullptr;
    std::string fields;
    AcDbHandle owner;
    std::string xdata;
};

State stateOf(AcDbObjectId id) {
    State s;
    Open<AcDbObject> obj(id, AcDb::kForRead);
    if (obj.obj == nullptr) {
        return s;
    }
    s.cls = obj->isA();
    kxhost::DxfMemoryFiler filer(AcDb::kFileFiler);
    obj->dxfOutFields(&filer);
    for (const kxhost::DxfMemoryFiler::Item& item : filer.items()) {
        if (item.kind == kxhost::DxfMemoryFiler::ItemKind::kObjectId) {
            AcDbObjectId ref;
            ref.setFromOldId(item.integer);
            s.fields += std::to_string(item.code) + " id " +
                        std::to_string(ref.isNull() ? 0 : ref.handle().value()) + "\n";
        } else {
            s.fields += item.description().utf8() + "\n";
        }
    }
    s.owner = obj->ownerId().handle();
    resbuf* xd = obj->xData();
    kxhost::DxfMemoryFiler x;
    for (const resbuf* rb = xd; rb != nullptr; rb = rb->rbnext) {
        x.writeItem(*rb);
    }
    acutRelRb(xd);
    s.xdata = x.describe().utf8();
    return s;
}

TEST(DxfReader, DrawingRoundTripsObjectForObject) {
    AcDbDatabase db(true, true);
    buildDrawing(db);
    const std::string text = write(db);
    AcDbDatabase* read = nullptr;
    AcString message;
    std::istringstream in(text);
    ASSERT_EQ(kxhost::dxf::readDxf(in, read, &message), Acad::eOk) << message.utf8();
    std::unique_ptr<AcDbDatabase> owned(read);
    const AcDbObjectIdArray ids = kxhost::objectIds(&db);
    EXPECT_EQ(kxhost::objectCount(read), kxhost::objectCount(&db));
    for (const AcDbObjectId& id : ids) {
        AcDbObjectId other;
        ASSERT_EQ(read->getAcDbObjectId(other, false, id.handle()), Acad::eOk)
            << id.handle().value();
        const State a = stateOf(id);
        const State b = stateOf(other);
        EXPECT_EQ(a.cls, b.cls) << id.handle().value();
        EXPECT_EQ(a.fields, b.fields) << id.handle().value();
        EXPECT_EQ(a.owner, b.owner) << id.handle().value();
        EXPECT_EQ(a.xdata, b.xdata) << id.handle().value();
    }
    // The attributes come back owned by their reference, in their order.
    const auto attributes = attributesOf(db);
    ASSERT_EQ(attributes.size(), 2u);
    EXPECT_EQ(attributesOf(*read), attributes);
    EXPECT_GE(read->handseed().value(), db.handseed().value());
    // Writing what was read gives the same file.
    EXPECT_EQ(write(*read), text);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines, size_t count) {
    std::string out;
    for (size_t i = 0; i < count && i < lines.size(); ++i) {
        out += lines[i] + "\n";
    }
    return out;
}

Acad::ErrorStatus readText(const std::string& text, std::unique_ptr<AcDbDatabase>& db,
                           AcString& message) {
    std::istringstream in(text);
    AcDbDatabase* read = nullptr;
    const Acad::ErrorStatus es = kxhost::dxf::readDxf(in, read, &message);
    db.reset(read);
    return es;
}

// Every cut of a good file is refused with the line where it went wrong, and nothing is built.
TEST(DxfReader, TruncatedFilesAreRefusedWithALineNumber) {
    AcDbDatabase db(true, true);
    buildDrawing(db);
    const std::vector<std::string> lines = linesOf(write(db));
    ASSERT_GT(lines.size(), 100u);
    for (size_t keep = 0; keep + 1 < lines.size(); ++keep) {
        std::unique_ptr<AcDbDatabase> read;
        AcString message;
        const Acad::ErrorStatus es = readText(joined(lines, keep), read, message);
        EXPECT_NE(es, Acad::eOk) << keep;
        EXPECT_EQ(read, nullptr) << keep;
        EXPECT_EQ(message.utf8().rfind("line ", 0), 0u) << keep << ": " << message.utf8();
    }
    std::unique_ptr<AcDbDatabase> read;
    AcString message;
    EXPECT_EQ(readText(joined(lines, lines.size()), read, message), Acad::eOk) << message.utf8();
}

// Damage inside records: each case names the line of the damaged group.
TEST(DxfReader, DamagedRecordsAreRefusedAtTheirLine) {
    AcDbDatabase db(true, true);
    Built built;
    buildDrawing(db, &built);
    const std::vector<std::string> lines = linesOf(write(db));
    auto find = [&](const std::string& code, const std::string& value) {
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            if (lines[i] == code && lines[i + 1] == value) {
                return i;
            }
        }
        return lines.size();
    };
    struct Case {
        const char* what;
        size_t at;          // index of the code line to change
        std::string value;  // new value line
        size_t line = 0;    // index of the code line the message names, when not `at`
    };
    const size_t line2 = find("  5", built.line2);
    const size_t coord = find(" 10", "0.3333333333333333");
    const size_t owner = line2 + 2;
    const size_t ref = find("350", built.xrecord);
    ASSERT_LT(coord, lines.size());
    ASSERT_LT(ref, lines.size());
    const Case cases[] = {
        {"bad coordinate", coord, "1.2.3"},
        {"handle defined twice", line2, built.line1},
        {"bad handle", owner, "XYZ"},
        {"referenced but never defined", ref, "7FFF"},
        // A line owned by the xrecord: neither drawn nor written back, so refused at its record.
        {"entity not owned by a block", owner, built.xrecord, line2 - 2},
        {"record without a name", line2 - 2, ""},
        {"table with an owner", find("  2", "APPID") + 4, "1"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> damaged = lines;
        damaged[c.at + 1] = c.value;
        std::unique_ptr<AcDbDatabase> read;
        AcString message;
        EXPECT_NE(readText(joined(damaged, damaged.size()), read, message), Acad::eOk) << c.what;
        EXPECT_EQ(read, nullptr);
        EXPECT_NE(message.utf8().find(c.what), std::string::npos) << message.utf8();
        const size_t line = c.line != 0 ? c.line : c.at;
        EXPECT_NE(message.utf8().find("line " + std::to_string(line + 1) + ":"), std::string::npos)
            << c.what << ": " << message.utf8();
    }
}

// What the writer must not do with a drawing it was given: name an erased object (its record is
// not written), or write a record twice (a proxy among a table's records is written with them).
TEST(DxfReader, WrittenFilesNameOnlyWhatTheyDefineAndDefineItOnce) {
    AcDbDatabase db(true, true);
    buildDrawing(db);
    AcDbObjectId pointing;
    AcDbObjectId erased;
    {
        AcDbDictionary* nod = nullptr;
        ASSERT_EQ(db.getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
        auto* target = new AcDbXrecord();
        EXPECT_EQ(nod->setAt(L"KX_GONE", target, erased), Acad::eOk);
        target->close();
        auto* xrec = new AcDbXrecord();
        ads_name name;
        acdbGetAdsName(name, erased);
        resbuf* data = acutBuildList(340, name, 70, 1, 0);
        EXPECT_EQ(xrec->setFromRbChain(*data), Acad::eOk);
        acutRelRb(data);
        EXPECT_EQ(nod->setAt(L"KX_POINTING", xrec, pointing), Acad::eOk);
        xrec->close();
        EXPECT_EQ(nod->remove(L"KX_GONE"), Acad::eOk);
        nod->close();
        Open<AcDbXrecord> gone(erased, AcDb::kForWrite);
        ASSERT_EQ(gone.status, Acad::eOk);
        EXPECT_EQ(gone->erase(), Acad::eOk);
    }
    std::string text = write(db);
    // An application record of a kind no class reads, among the table's records.
    const size_t appid = text.find("  0\nAPPID\n  5\n3\n");
    ASSERT_NE(appid, std::string::npos);
    text.replace(appid, 10, "  0\nKX_APPX\n");
    std::unique_ptr<AcDbDatabase> read;
    AcString message;
    ASSERT_EQ(readText(text, read, message), Acad::eOk) << message.utf8();
    const std::string again = write(*read);
    EXPECT_EQ(again.find("  0\nKX_APPX\n  5\n3\n"), again.rfind("  0\nKX_APPX\n  5\n3\n"));
    std::unique_ptr<AcDbDatabase> second;
    ASSERT_EQ(readText(again, second, message), Acad::eOk) << message.utf8();
    AcDbObjectId other;
    ASSERT_EQ(second->getAcDbObjectId(other, false, pointing.handle()), Acad::eOk);
    Open<AcDbXrecord> xrec(other, AcDb::kForRead);
    ASSERT_EQ(xrec.status, Acad::eOk);
    resbuf* chain = nullptr;
    ASSERT_EQ(xrec->rbChain(&chain), Acad::eOk);
    ASSERT_NE(chain, nullptr);
    AcDbObjectId named;
    acdbGetObjectId(named, chain->resval.rlname);
    EXPECT_TRUE(named.isNull());
    acutRelRb(chain);
}

// Only the version the reader lays records out for is read; a file that does not say which
// version it is gets the benefit of the doubt.
TEST(DxfReader, OtherVersionsAreRefusedByName) {
    AcDbDatabase db(true, true);
    buildDrawing(db);
    const std::string text = write(db);
    const std::string version = "  9\n$ACADVER\n  1\nAC1032\n";
    const size_t at = text.find(version);
    ASSERT_NE(at, std::string::npos);
    const long codeLine =
        1 + static_cast<long>(std::count(text.begin(), text.begin() + at, '\n')) + 2;
    for (const std::string& other :
         {std::string("AC1015"), std::string("AC1009"), std::string(""), std::string("AC10320")}) {
        std::string damaged = text;
        damaged.replace(at, version.size(), "  9\n$ACADVER\n  1\n" + other + "\n");
        std::unique_ptr<AcDbDatabase> read;
        AcString message;
        EXPECT_EQ(readText(damaged, read, message), Acad::eInvalidDwgVersion) << other;
        EXPECT_EQ(read, nullptr);
        EXPECT_EQ(message.utf8(), "line " + std::to_string(codeLine) + ": DXF version " + other +
                                      " is not supported (only AC1032)");
    }
    std::string unnamed = text;
    unnamed.erase(at, version.size());
    std::unique_ptr<AcDbDatabase> read;
    AcString message;
    ASSERT_EQ(readText(unnamed, read, message), Acad::eOk) << message.utf8();
    EXPECT_EQ(kxhost::objectCount(read.get()), kxhost::objectCount(&db));
}

// The handles of a block's entities, in the block's order.
std::vector<Adesk::UInt64> contentsOf(AcDbObjectId blockId) {
    std::vector<Adesk::UInt64> out;
    Open<AcDbBlockTableRecord> block(blockId, AcDb::kForRead);
    if (block.obj == nullptr) {
        return out;
    }
    AcDbBlockTableRecordIterator* it = nullptr;
    EXPECT_EQ(block->newIterator(it), Acad::eOk);
    for (it->start(); !it->done(); it->step()) {
        AcDbObjectId id;
        it->getEntityId(id);
        out.push_back(id.handle().value());
    }
    delete it;
    return out;
}

// Block records file no origin and no contents: both come back from the BLOCKS and ENTITIES
// sections (paper space entities among those of ENTITIES), and so do the external reference
// flags.
TEST(DxfReader, BlocksComeBackWithOriginFlagsAndContents) {
    AcDbDatabase db(true, true);
    buildDrawing(db);
    AcDbObjectId part;
    AcDbObjectId paper;
    {
        AcDbBlockTable* table = nullptr;
        ASSERT_EQ(db.getBlockTable(table, AcDb::kForRead), Acad::eOk);
        part = table->findRecord(L"PART", false);
        paper = table->findRecord(ACDB_PAPER_SPACE, false);
        table->close();
        append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(100, 50, 0)), paper);
        append(new AcDbCircle(AcGePoint3d(5, 5, 0), AcGeVector3d::kZAxis, 1.0), paper);
        Open<AcDbBlockTableRecord> block(part, AcDb::kForWrite);
        ASSERT_EQ(block.status, Acad::eOk);
        EXPECT_EQ(block->setOrigin(AcGePoint3d(1.5, -2, 0.25)), Acad::eOk);
        EXPECT_EQ(block->setIsFromExternalReference(true), Acad::eOk);
    }
    std::unique_ptr<AcDbDatabase> read;
    AcString message;
    ASSERT_EQ(readText(write(db), read, message), Acad::eOk) << message.utf8();
    for (const AcDbObjectId& id : {db.modelSpaceId(), part, paper}) {
        AcDbObjectId other;
        ASSERT_EQ(read->getAcDbObjectId(other, false, id.handle()), Acad::eOk);
        const std::vector<Adesk::UInt64> contents = contentsOf(id);
        EXPECT_FALSE(contents.empty());
        EXPECT_EQ(contentsOf(other), contents);
        Open<AcDbBlockTableRecord> a(id, AcDb::kForRead);
        Open<AcDbBlockTableRecord> b(other, AcDb::kForRead);
        ASSERT_NE(b.obj, nullptr);
        EXPECT_EQ(b->origin(), a->origin());
        EXPECT_EQ(b->isFromExternalReference(), a->isFromExternalReference());
        EXPECT_EQ(b->isFromOverlayReference(), a->isFromOverlayReference());
    }
    // A BLOCK whose block record is missing cannot be placed.
    std::string text = write(db);
    const size_t block = text.find("  0\nBLOCK\n");
    ASSERT_NE(block, std::string::npos);
    const size_t owner = text.find("330\n", block);
    text.replace(owner, text.find('\n', owner + 4) - owner, "330\n0");
    const size_t name = text.find("  2\n", block);
    text.replace(name, text.find('\n', name + 4) - name, "  2\nNO_SUCH_BLOCK");
    EXPECT_EQ(readText(text, read, message), Acad::eBadDxfSequence);
    EXPECT_NE(message.utf8().find("BLOCK without its block record"), std::string::npos)
        << message.utf8();
}

// Attributes stand only inside their reference's sequence, and owned by it.
TEST(DxfReader, AttributesOutsideTheirReferenceAreRefused) {
    AcDbDatabase db(true, true);
    buildDrawing(db);
    const std::string text = write(db);
    const size_t attrib = text.find("  0\nATTRIB\n");
    const size_t seqend = text.find("  0\nSEQEND\n");
    ASSERT_NE(attrib, std::string::npos);
    ASSERT_NE(seqend, std::string::npos);
    const size_t seqendEnd = text.find("  0\n", seqend + 1);
    std::vector<std::string> damaged;
    // The reference no longer announces its attributes.
    std::string noFlag = text;
    const size_t flag = noFlag.find(" 66\n1\n");
    ASSERT_NE(flag, std::string::npos);
    noFlag.replace(flag, 7, " 66\n0\n");
    damaged.push_back(noFlag);
    // The SEQEND comes before the attributes.
    std::string early = text;
    const std::string marker = text.substr(seqend, seqendEnd - seqend);
    early.erase(seqend, seqendEnd - seqend);
    early.insert(attrib, marker);
    damaged.push_back(early);
    // An attribute names another owner.
    std::string owner = text;
    const size_t ownerAt = owner.find("330\n", attrib);
    owner.replace(ownerAt, owner.find('\n', ownerAt + 4) - ownerAt, "330\n1");
    damaged.push_back(owner);
    for (const std::string& d : damaged) {
        std::unique_ptr<AcDbDatabase> read;
        AcString message;
        EXPECT_EQ(readText(d, read, message), Acad::eBadDxfSequence) << message.utf8();
        EXPECT_EQ(read, nullptr);
        EXPECT_NE(message.utf8().find("attribute outside"), std::string::npos) << message.utf8();
    }
}

// A record of a class the session does not have survives as a proxy with its groups and the
// class row its file gave it; both are written back as they came, and the record is reported.
TEST(DxfReader, UnknownRecordsAreKeptAsProxies) {
    AcDbDatabase db(true, true);
    buildDrawing(db);
    std::string text = write(db);
    // Groups of codes the host's type table leaves out keep their values too.
    const std::string unknown =
        "  0\nKX_UNKNOWN\n  5\n7A\n330\n1\n100\nKxThing\n 90\n5\n  1\nhello\n"
        " 20\n1.5\n190\n-7\n";
    const std::string row =
        "  0\nCLASS\n  1\nKX_UNKNOWN\n  2\nKxThing\n  3\nKx Tools 7\n"
        " 90\n1153\n 91\n1\n280\n1\n281\n0\n";
    const size_t end = text.rfind("  0\nENDSEC\n");
    ASSERT_NE(end, std::string::npos);
    text.insert(end, unknown);
    const size_t classes = text.find("  2\nCLASSES\n");
    ASSERT_NE(classes, std::string::npos);
    text.insert(classes + 12, row);
    std::unique_ptr<AcDbDatabase> read;
    {
        std::istringstream in(text);
        AcDbDatabase* got = nullptr;
        AcString message;
        std::vector<AcString> warnings;
        ASSERT_EQ(kxhost::dxf::readDxf(in, got, &message, &warnings), Acad::eOk) << message.utf8();
        read.reset(got);
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].utf8().find("KX_UNKNOWN 7A kept as a proxy"), std::string::npos)
            << warnings[0].utf8();
    }
    AcDbObjectId id;
    ASSERT_EQ(read->getAcDbObjectId(id, false, AcDbHandle(0x7A)), Acad::eOk);
    {
        Open<AcDbProxyObject> proxy(id, AcDb::kForRead);
        ASSERT_EQ(proxy.status, Acad::eOk);
        EXPECT_EQ(AcString(proxy->originalDxfName()), AcString(L"KX_UNKNOWN"));
        EXPECT_EQ(AcString(proxy->originalClassName()), AcString(L"KxThing"));
        EXPECT_EQ(AcString(proxy->originalAppName()), AcString(L"Kx Tools 7"));
        EXPECT_EQ(proxy->originalProxyFlags(), 1153u);
    }
    const std::string again = write(*read);
    EXPECT_NE(again.find(unknown), std::string::npos);
    EXPECT_NE(again.find(row), std::string::npos);
}

// The text of the record whose handle group is "  5\n<handle>", from its 0 group up to the next.
std::string recordText(const std::string& text, const std::string& handle) {
    const size_t h = text.find("\n  5\n" + handle + "\n");
    if (h == std::string::npos) {
        return std::string();
    }
    const size_t start = text.rfind("  0\n", h);
    const size_t end = text.find("  0\n", h);
    return text.substr(start, end - start);
}

// A record whose class reads only part of it (a group the class does not know follows its own)
// is kept whole as a proxy and reported, and written back group for group; so is an entity of a
// type no class reads. The drawing written from a clean read has nothing to report.
TEST(DxfReader, RecordsTheirClassDoesNotReadWhollyAreKeptAsProxies) {
    AcDbDatabase db(true, true);
    Built built;
    buildDrawing(db, &built);
    std::string text = write(db);
    std::vector<AcString> warnings;
    {
        std::unique_ptr<AcDbDatabase> read;
        std::istringstream in(text);
        AcDbDatabase* got = nullptr;
        AcString message;
        ASSERT_EQ(kxhost::dxf::readDxf(in, got, &message, &warnings), Acad::eOk);
        delete got;
        EXPECT_TRUE(warnings.empty()) << warnings.front().utf8();
    }
    // The second line (handle A) gets a group no line files; before its extended data, if any.
    const std::string line = recordText(text, built.line2);
    ASSERT_NE(line.find("100\nAcDbLine\n"), std::string::npos);
    const std::string longer = line + " 90\n12345\n";
    text.replace(text.find(line), line.size(), longer);
    // An entity type the host does not model, with the common entity groups a line has.
    const size_t entityPart = line.find("100\nAcDbEntity\n");
    const std::string common = line.substr(entityPart, line.find("100\nAcDbLine\n") - entityPart);
    const std::string shape = "  0\nKX_SHAPE\n  5\n7B\n330\n" +
                              kxhost::dxf::formatHandle(db.modelSpaceId().handle().value()) + "\n" +
                              common + "100\nKxShape\n 40\n1.5\n  1\nround\n";
    text.insert(text.find(longer) + longer.size(), shape);

    std::unique_ptr<AcDbDatabase> read;
    {
        std::istringstream in(text);
        AcDbDatabase* got = nullptr;
        AcString message;
        ASSERT_EQ(kxhost::dxf::readDxf(in, got, &message, &warnings), Acad::eOk) << message.utf8();
        read.reset(got);
    }
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].utf8().find("LINE " + built.line2 + " kept as a proxy"),
              std::string::npos)
        << warnings[0].utf8();
    EXPECT_NE(warnings[1].utf8().find("KX_SHAPE 7B kept as a proxy"), std::string::npos)
        << warnings[1].utf8();
    for (const std::string& h : {built.line2, std::string("7B")}) {
        AcDbObjectId id;
        ASSERT_EQ(read->getAcDbObjectId(id, false, AcDbHandle(AcString::fromUtf8(h).kwszPtr())),
                  Acad::eOk);
        Open<AcDbProxyEntity> proxy(id, AcDb::kForRead);
        ASSERT_EQ(proxy.status, Acad::eOk) << h;
        EXPECT_EQ(AcString(proxy->originalDxfName()),
                  AcString(h == built.line2 ? L"LINE" : L"KX_SHAPE"));
        EXPECT_EQ(AcString(proxy->originalClassName()),
                  AcString(h == built.line2 ? L"AcDbLine" : L""));
        EXPECT_EQ(proxy->ownerId(), read->modelSpaceId());
        // A copy keeps the groups too: binary filing carries them.
        kxhost::DwgMemoryFiler copy(AcDb::kCopyFiler);
        ASSERT_EQ(proxy->dwgOutFields(&copy), Acad::eOk);
        copy.rewind();
        AcDbProxyEntity twin;
        ASSERT_EQ(twin.dwgInFields(&copy), Acad::eOk);
        resbuf* kept = proxy->rawDxfItems();
        resbuf* copied = twin.rawDxfItems();
        ASSERT_NE(kept, nullptr);
        EXPECT_TRUE(kxhost::DxfMemoryFiler::fromChain(kept).sameItems(
            kxhost::DxfMemoryFiler::fromChain(copied)));
        acutRelRb(kept);
        acutRelRb(copied);
    }
    // Both stay in model space, in their place, and go back out as they came in.
    EXPECT_EQ(contentsOf(read->modelSpaceId()).size(), contentsOf(db.modelSpaceId()).size() + 1);
    const std::string again = write(*read);
    EXPECT_EQ(recordText(again, built.line2), longer);
    EXPECT_EQ(recordText(again, "7B"), shape);
}

// Layouts come back as layouts of their spaces, with the plot settings the file gave them.
TEST(DxfReader, LayoutsKeepTheirSpaceAndPlotSettings) {
    AcDbDatabase db(true, true);
    buildDrawing(db);
    std::string text = write(db);
    const std::string none = "  2\nnone_device\n";
    const size_t device = text.find(none);
    ASSERT_NE(device, std::string::npos);
    text.replace(device, none.size(), "  2\nPlotter.pc3\n");
    std::unique_ptr<AcDbDatabase> read;
    AcString message;
    ASSERT_EQ(readText(text, read, message), Acad::eOk) << message.utf8();
    AcDbObjectId layoutId = kxhost::layoutOfBlock(read.get(), read->modelSpaceId());
    ASSERT_FALSE(layoutId.isNull());
    {
        Open<AcDbLayout> layout(layoutId, AcDb::kForRead);
        ASSERT_EQ(layout.status, Acad::eOk);
        EXPECT_EQ(AcString(layout->layoutName()), AcString(L"Model"));
    }
    const std::string again = write(*read);
    EXPECT_NE(again.find("  2\nPlotter.pc3\n"), std::string::npos);
    EXPECT_EQ(again, text);
}

// Angles are filed in degrees, as other readers expect, and come back in radians.
TEST(DxfReader, AnglesTravelInDegrees) {
    AcDbDatabase db(true, true);
    buildDrawing(db);
    AcDbObjectId refId;
    {
        AcDbBlockTable* table = nullptr;
        ASSERT_EQ(db.getBlockTable(table, AcDb::kForRead), Acad::eOk);
        AcDbObjectId block;
        ASSERT_EQ(table->getAt(L"PART", block), Acad::eOk);
        table->close();
        auto* ref = new AcDbBlockReference(AcGePoint3d(), block);
        ref->setRotation(0.75);
        refId = append(ref, db.modelSpaceId());
    }
    const std::string text = write(db);
    EXPECT_NE(text.find(" 50\n42.97183463481174"), std::string::npos);
    std::unique_ptr<AcDbDatabase> read;
    AcString message;
    ASSERT_EQ(readText(text, read, message), Acad::eOk) << message.utf8();
    AcDbObjectId other;
    ASSERT_EQ(read->getAcDbObjectId(other, false, refId.handle()), Acad::eOk);
    Open<AcDbBlockReference> ref(other, AcDb::kForRead);
    ASSERT_EQ(ref.status, Acad::eOk);
    EXPECT_NEAR(ref->rotation(), 0.75, 1e-15);
}

// Values changed at random (deterministically) either read or are refused with a line; the
// reader and the objects' own filing must never crash on them (run under the sanitizers).
TEST(DxfReader, ScrambledValuesNeverCrash) {
    AcDbDatabase db(true, true);
    buildDrawing(db);
    const std::vector<std::string> lines = linesOf(write(db));
    const char* replacements[] = {
        "", "-1", "0", "99999999999", "1e308", "FFFFFFFFFFFFFFFF", "x", "}", "{ACAD_REACTORS", "5"};
    unsigned seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFFFF;
    };
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> damaged = lines;
        for (int k = 0; k < 3; ++k) {
            const size_t at = (next() % (damaged.size() / 2)) * 2 + 1;  // a value line
            damaged[at] = replacements[next() % (sizeof replacements / sizeof *replacements)];
        }
        std::unique_ptr<AcDbDatabase> read;
        AcString message;
        if (readText(joined(damaged, damaged.size()), read, message) != Acad::eOk) {
            ++refused;
            EXPECT_EQ(read, nullptr);
            EXPECT_EQ(message.utf8().rfind("line ", 0), 0u) << message.utf8();
        }
    }
    EXPECT_GT(refused, 0);
}

}  // namespace
