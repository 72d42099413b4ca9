#include "tests/host/entities/entities_test_support.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "host/db/objectstate.h"

namespace enttest {

::testing::AssertionResult samePoint(const AcGePoint3d& e, const AcGePoint3d& a, double tol) {
    if (e.distanceTo(a) <= tol) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "expected (" << e.x << ", " << e.y << ", " << e.z
                                         << ") got (" << a.x << ", " << a.y << ", " << a.z << ")";
}

::testing::AssertionResult sameVector(const AcGeVector3d& e, const AcGeVector3d& a, double tol) {
    if ((e - a).length() <= tol) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "expected (" << e.x << ", " << e.y << ", " << e.z
                                         << ") got (" << a.x << ", " << a.y << ", " << a.z << ")";
}

::testing::AssertionResult sameMatrix(const AcGeMatrix3d& e, const AcGeMatrix3d& a, double tol) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (std::fabs(e(r, c) - a(r, c)) > tol) {
                return ::testing::AssertionFailure()
                       << "entry (" << r << ", " << c << "): expected " << e(r, c) << " got "
                       << a(r, c);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult sameExtents(const AcGePoint3d& min, const AcGePoint3d& max,
                                       const AcDbExtents& actual, double tol) {
    ::testing::AssertionResult lo = samePoint(min, actual.minPoint(), tol);
    if (!lo) {
        return ::testing::AssertionFailure() << "minimum: " << lo.message();
    }
    ::testing::AssertionResult hi = samePoint(max, actual.maxPoint(), tol);
    if (!hi) {
        return ::testing::AssertionFailure() << "maximum: " << hi.message();
    }
    return ::testing::AssertionSuccess();
}

void EntityTest::SetUp() {
    kxhost::setStrictOpens(false);
    kxhost::resetAssertionViolations();
    kxhost::resetUnmatchedCloses();
}

void EntityTest::TearDown() {
    kxhost::setStrictOpens(false);
    EXPECT_EQ(kxhost::assertionViolations(), 0);
    EXPECT_EQ(kxhost::unmatchedCloses(), 0);
    if (checkOpens) {
        for (const AcDbObjectId& id : kxhost::objectIds(&db)) {
            const AcDbObject* obj = kxhost::detail::residentObject(id);
            EXPECT_TRUE(obj == nullptr || obj->hostState()->opens.empty())
                << "left open: " << AcString(obj->isA()->name()).utf8();
        }
    }
}

AcDbObjectId EntityTest::append(AcDbEntity* ent, AcDbObjectId block) {
    Open<AcDbBlockTableRecord> rec(block.isNull() ? modelSpace() : block, AcDb::kForWrite);
    EXPECT_EQ(rec.status, Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(rec->appendAcDbEntity(id, ent), Acad::eOk);
    ent->close();
    return id;
}

AcDbObjectId EntityTest::addBlock(const ACHAR* name, const AcGePoint3d& origin) {
    AcDbBlockTable* table = nullptr;
    EXPECT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    auto* rec = new AcDbBlockTableRecord();
    rec->setName(name);
    rec->setOrigin(origin);
    AcDbObjectId id;
    EXPECT_EQ(table->add(id, rec), Acad::eOk);
    rec->close();
    table->close();
    return id;
}

namespace {

AcDbObject* fresh(const AcDbObject* like) {
    AcRxObject* made = like->isA()->create();
    AcDbObject* obj = AcDbObject::cast(made);
    if (obj == nullptr) {
        delete made;
    }
    return obj;
}

}  // namespace

::testing::AssertionResult dwgRoundTrip(const AcDbObject* obj, AcDb::FilerType type,
                                        Owned<AcDbObject>* copyOut) {
    kxhost::DwgMemoryFiler first(type, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent, obj->database());
    if (obj->dwgOutFields(&first) != Acad::eOk) {
        return ::testing::AssertionFailure() << "filing out failed";
    }
    Owned<AcDbObject> copy(fresh(obj));
    if (!copy) {
        return ::testing::AssertionFailure() << "class cannot be created";
    }
    first.rewind();
    const Acad::ErrorStatus es = copy->dwgInFields(&first);
    if (es != Acad::eOk) {
        return ::testing::AssertionFailure() << "filing in failed: " << es;
    }
    if (first.tell() != first.itemCount()) {
        return ::testing::AssertionFailure()
               << "read " << first.tell() << " of " << first.itemCount() << " items";
    }
    kxhost::DwgMemoryFiler second(type, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                  obj->database());
    copy->dwgOutFields(&second);
    if (!first.sameItems(second)) {
        return ::testing::AssertionFailure() << "streams differ:\n"
                                             << first.describe().utf8() << "---\n"
                                             << second.describe().utf8();
    }
    if (copyOut != nullptr) {
        *copyOut = std::move(copy);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult dxfRoundTrip(const AcDbObject* obj, AcDbDatabase* db,
                                        Owned<AcDbObject>* copyOut) {
    kxhost::DxfMemoryFiler first(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent, db);
    if (obj->dxfOutFields(&first) != Acad::eOk) {
        return ::testing::AssertionFailure() << "filing out failed";
    }
    Owned<AcDbObject> copy(fresh(obj));
    if (!copy) {
        return ::testing::AssertionFailure() << "class cannot be created";
    }
    first.rewind();
    const Acad::ErrorStatus es = copy->dxfInFields(&first);
    if (es != Acad::eOk) {
        return ::testing::AssertionFailure() << "filing in failed: " << es << "\n"
                                             << first.describe().utf8();
    }
    if (!first.atEOF()) {
        return ::testing::AssertionFailure() << "items left unread:\n" << first.describe().utf8();
    }
    kxhost::DxfMemoryFiler second(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent, db);
    copy->dxfOutFields(&second);
    if (!first.sameItems(second)) {
        return ::testing::AssertionFailure() << "items differ:\n"
                                             << first.describe().utf8() << "---\n"
                                             << second.describe().utf8();
    }
    if (copyOut != nullptr) {
        *copyOut = std::move(copy);
    }
    return ::testing::AssertionSuccess();
}

void replay(const kxhost::DwgMemoryFiler& from, kxhost::DwgMemoryFiler& to, int keep,
            const std::function<void(int, kxhost::DwgMemoryFiler::Item&)>& edit) {
    using Kind = kxhost::DwgMemoryFiler::ItemKind;
    const int n = keep < 0 ? from.itemCount() : std::min(keep, from.itemCount());
    for (int i = 0; i < n; ++i) {
        kxhost::DwgMemoryFiler::Item item = from.items()[static_cast<size_t>(i)];
        if (edit) {
            edit(i, item);
        }
        const AcDbObjectId id = AcDbObjectId().setFromOldId(static_cast<Adesk::Int64>(item.bits));
        switch (item.kind) {
            case Kind::kBool:
                to.writeBool(item.bits != 0);
                break;
            case Kind::kInt8:
                to.writeInt8(static_cast<Adesk::Int8>(item.bits));
                break;
            case Kind::kUInt8:
                to.writeUInt8(static_cast<Adesk::UInt8>(item.bits));
                break;
            case Kind::kInt16:
                to.writeInt16(static_cast<Adesk::Int16>(item.bits));
                break;
            case Kind::kUInt16:
                to.writeUInt16(static_cast<Adesk::UInt16>(item.bits));
                break;
            case Kind::kInt32:
                to.writeInt32(static_cast<Adesk::Int32>(item.bits));
                break;
            case Kind::kUInt32:
                to.writeUInt32(static_cast<Adesk::UInt32>(item.bits));
                break;
            case Kind::kInt64:
                to.writeInt64(static_cast<Adesk::Int64>(item.bits));
                break;
            case Kind::kUInt64:
                to.writeUInt64(item.bits);
                break;
            case Kind::kDouble:
                to.writeDouble(item.v[0]);
                break;
            case Kind::kString:
                to.writeString(item.text.c_str());
                break;
            case Kind::kBytes:
                to.writeBytes(item.bytes.data(), item.bytes.size());
                break;
            case Kind::kBinaryChunk:
                to.writeBinaryChunk(reinterpret_cast<const char*>(item.bytes.data()),
                                    item.bytes.size());
                break;
            case Kind::kHandle:
                to.writeHandle(AcDbHandle(item.bits));
                break;
            case Kind::kPoint2d:
                to.writePoint2d(AcGePoint2d(item.v[0], item.v[1]));
                break;
            case Kind::kPoint3d:
                to.writePoint3d(AcGePoint3d(item.v[0], item.v[1], item.v[2]));
                break;
            case Kind::kVector2d:
                to.writeVector2d(AcGeVector2d(item.v[0], item.v[1]));
                break;
            case Kind::kVector3d:
                to.writeVector3d(AcGeVector3d(item.v[0], item.v[1], item.v[2]));
                break;
            case Kind::kScale3d:
                to.writeScale3d(AcGeScale3d(item.v[0], item.v[1], item.v[2]));
                break;
            case Kind::kHardOwnershipId:
                to.writeHardOwnershipId(id);
                break;
            case Kind::kSoftOwnershipId:
                to.writeSoftOwnershipId(id);
                break;
            case Kind::kHardPointerId:
                to.writeHardPointerId(id);
                break;
            case Kind::kSoftPointerId:
                to.writeSoftPointerId(id);
                break;
        }
    }
}

Acad::ErrorStatus readDamaged(const AcDbObject* obj, AcDbObject* target, int keep,
                              const std::function<void(int, kxhost::DwgMemoryFiler::Item&)>& edit) {
    kxhost::DwgMemoryFiler full(AcDb::kFileFiler);
    obj->dwgOutFields(&full);
    kxhost::DwgMemoryFiler damaged(AcDb::kFileFiler);
    replay(full, damaged, keep, edit);
    damaged.rewind();
    return target->dwgInFields(&damaged);
}

// --- Recording graphics -------------------------------------------------------------------------

namespace {

class RecordingTraits : public AcGiSubEntityTraits {
  public:
    void setColor(const Adesk::UInt16 color) override { m_color = color; }
    Adesk::UInt16 color() const override { return m_color; }
    void setFillType(const AcGiFillType fillType) override { m_fill = fillType; }
    AcGiFillType fillType() const override { return m_fill; }
    void setDrawFlags(Adesk::UInt32 flags) override { m_flags = flags; }
    Adesk::UInt32 drawFlags() const override { return m_flags; }

  private:
    Adesk::UInt16 m_color = 256;
    AcGiFillType m_fill = kAcGiFillNever;
    Adesk::UInt32 m_flags = 0;
};

class RecordingGeometry : public AcGiWorldGeometry {
  public:
    explicit RecordingGeometry(AcGiWorldDraw* owner) : m_owner(owner) {}

    void getModelToWorldTransform(AcGeMatrix3d& xform) const override { xform = current(); }
    void getWorldToModelTransform(AcGeMatrix3d& xform) const override {
        xform = current().inverse();
    }
    Adesk::Boolean pushModelTransform(const AcGeVector3d& normal) override {
        return pushModelTransform(AcGeMatrix3d::planeToWorld(normal));
    }
    Adesk::Boolean pushModelTransform(const AcGeMatrix3d& xform) override {
        m_stack.push_back(current() * xform);
        return true;
    }
    Adesk::Boolean popModelTransform() override {
        if (m_stack.empty()) {
            return false;
        }
        m_stack.pop_back();
        return true;
    }
    Adesk::Boolean circle(const AcGePoint3d& center, const double radius,
                          const AcGeVector3d& normal) const override {
        add(L"circle", {center}, radius * current().scale());
        return false;
    }
    Adesk::Boolean circle(const AcGePoint3d& p1, const AcGePoint3d& p2,
                          const AcGePoint3d& p3) const override {
        add(L"circle", {p1, p2, p3});
        return false;
    }
    Adesk::Boolean circularArc(const AcGePoint3d& center, const double radius,
                               const AcGeVector3d& normal, const AcGeVector3d& startVector,
                               const double sweepAngle, const AcGiArcType) const override {
        AcGeVector3d end = startVector.normal();
        end.rotateBy(sweepAngle, normal);
        add(L"arc", {center, center + startVector.normal() * radius, center + end * radius},
            radius * current().scale());
        return false;
    }
    Adesk::Boolean circularArc(const AcGePoint3d& start, const AcGePoint3d& point,
                               const AcGePoint3d& end, const AcGiArcType) const override {
        add(L"arc", {start, point, end});
        return false;
    }
    Adesk::Boolean polyline(const Adesk::UInt32 n, const AcGePoint3d* pts, const AcGeVector3d*,
                            Adesk::LongPtr) const override {
        add(L"polyline", std::vector<AcGePoint3d>(pts, pts + n));
        return false;
    }
    Adesk::Boolean polygon(const Adesk::UInt32 n, const AcGePoint3d* pts) const override {
        add(L"polygon", std::vector<AcGePoint3d>(pts, pts + n));
        return false;
    }
    Adesk::Boolean text(const AcGePoint3d& position, const AcGeVector3d&, const AcGeVector3d&,
                        const double, const double, const double, const ACHAR* msg) const override {
        add(L"text", {position}, 0.0, msg != nullptr ? msg : L"");
        return false;
    }
    Adesk::Boolean draw(AcGiDrawable* drawable) const override {
        if (drawable != nullptr) {
            drawable->worldDraw(m_owner);
        }
        return false;
    }

    mutable std::vector<Primitive> prims;
    std::vector<AcGeMatrix3d> m_stack;

  private:
    AcGeMatrix3d current() const { return m_stack.empty() ? AcGeMatrix3d() : m_stack.back(); }
    void add(const wchar_t* kind, std::vector<AcGePoint3d> points, double radius = 0.0,
             const std::wstring& text = L"") const {
        Primitive p;
        p.kind = kind;
        for (AcGePoint3d& pt : points) {
            pt.transformBy(current());
        }
        p.points = std::move(points);
        p.radius = radius;
        p.text = text;
        prims.push_back(std::move(p));
    }
    AcGiWorldDraw* m_owner;
};

}  // namespace

struct RecordingDraw::Impl {
    explicit Impl(AcGiWorldDraw* owner) : geometry(owner) {}
    RecordingGeometry geometry;
    RecordingTraits traits;
};

RecordingDraw::RecordingDraw() : m(new Impl(this)) {}
RecordingDraw::~RecordingDraw() = default;

AcGiWorldGeometry& RecordingDraw::geometry() const {
    return m->geometry;
}
AcGiSubEntityTraits& RecordingDraw::subEntityTraits() const {
    return m->traits;
}
std::vector<Primitive>& RecordingDraw::primitives() const {
    return m->geometry.prims;
}
int RecordingDraw::depth() const {
    return static_cast<int>(m->geometry.m_stack.size());
}
int RecordingDraw::count(const std::wstring& kind) const {
    int n = 0;
    for (const Primitive& p : m->geometry.prims) {
        n += p.kind == kind ? 1 : 0;
    }
    return n;
}
std::vector<std::wstring> RecordingDraw::texts() const {
    std::vector<std::wstring> out;
    for (const Primitive& p : m->geometry.prims) {
        if (p.kind == L"text") {
            out.push_back(p.text);
        }
    }
    return out;
}

}  // namespace enttest
