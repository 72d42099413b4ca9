// The graph's typed value: construction, ownership of text and chains, copies and moves,
// allocation failures, and its DWG and DXF forms (including damaged input).
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "host/core/heap.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_variant.h"
#include "support/module_loader.h"

namespace {

using V = KxDbTagEvalVariant;

bool valueIsZero(const V& v) {
    static const ads_u_val zero{};
    ads_u_val copy;
    std::memset(&copy, 0, sizeof(copy));
    copy = v.resval;
    return std::memcmp(&copy, &zero, sizeof(copy)) == 0;
}

void expectNull(const V& v) {
    EXPECT_EQ(v.type(), V::kNullType);
    EXPECT_TRUE(v.isNull());
    EXPECT_EQ(v.next(), nullptr);
    EXPECT_TRUE(valueIsZero(v));
}

// A chain text -> real -> point built through copies of single values.
void makeChain(V& head) {
    head.setText(L"first");
    auto* second = new V(2.5);
    auto* third = new V(AcGePoint3d(1, 2, 3));
    head.rbnext = second;
    second->rbnext = third;
}

int chainLength(const V& v) {
    int n = 0;
    for (const V* p = &v; p != nullptr; p = p->next()) {
        ++n;
    }
    return n;
}

// Checks host-heap balance over the life of a test.
class HeapBalance {
  public:
    HeapBalance() : m_before(kxhost::heapLiveBlocks()) {}
    ~HeapBalance() {
        kxhost::heapFailAfter(0);
        EXPECT_EQ(kxhost::heapLiveBlocks(), m_before);
    }

  private:
    long m_before;
};

class VariantTest : public kxtest::ModuleTest {};

// ---- Construction, clearing, identity ----

TEST_F(VariantTest, ConstructorsGiveTheirTypesAndClearingLeavesNull) {
    HeapBalance balance;
    V null;
    expectNull(null);
    EXPECT_STREQ(null.text(), L"");

    V real(2.5);
    EXPECT_EQ(real.type(), 40);
    EXPECT_EQ(real.resval.rreal, 2.5);
    V i32(Adesk::Int32(-70000));
    EXPECT_EQ(i32.type(), 90);
    EXPECT_EQ(i32.resval.rlong, -70000);
    V i16(Adesk::Int16(-7));
    EXPECT_EQ(i16.type(), 70);
    EXPECT_EQ(i16.resval.rint, -7);
    V pt(AcGePoint3d(1, 2, 3));
    EXPECT_EQ(pt.type(), 11);
    EXPECT_EQ(pt.point().z, 3.0);
    const ACHAR source[] = L"abc";
    V text(source);
    EXPECT_EQ(text.type(), 1);
    EXPECT_STREQ(text.text(), L"abc");
    EXPECT_NE(text.resval.rstring, source);
    // Text of a non-text value, or a null string, reads as "".
    EXPECT_STREQ(real.text(), L"");
    V nullText(static_cast<const ACHAR*>(nullptr));
    EXPECT_EQ(nullText.type(), 1);
    EXPECT_STREQ(nullText.text(), L"");

    for (V* v : {&real, &i32, &i16, &pt, &text}) {
        v->clear();
        expectNull(*v);
    }
    makeChain(text);
    text.clear();
    expectNull(text);

    text.setText(L"x");
    text.setPoint(AcGePoint3d(4, 5, 6));
    EXPECT_EQ(text.type(), 11);
    EXPECT_EQ(text.point().x, 4.0);
}

TEST_F(VariantTest, RunTimeIdentityIsTheVariantClass) {
    V v;
    ASSERT_NE(V::desc(), nullptr);
    EXPECT_EQ(v.isA(), V::desc());
    EXPECT_EQ(V::cast(&v), &v);
}

TEST_F(VariantTest, DestroyingALongChainReleasesEveryNode) {
    HeapBalance balance;
    auto* head = new V(L"head");
    V* tail = head;
    for (int i = 0; i < 20000; ++i) {
        auto* node = new V(L"node");
        ASSERT_NE(node, nullptr);
        tail->rbnext = node;
        tail = node;
    }
    delete head;
}

// ---- copyFrom ----

TEST_F(VariantTest, CopyFromRefusesOtherClassesAndChainedTargets) {
    HeapBalance balance;
    V target(1.0);
    EXPECT_EQ(target.copyFrom(nullptr), Acad::eWrongObjectType);
    KxDbTagEvalContext notAVariant;
    EXPECT_EQ(target.copyFrom(&notAVariant), Acad::eWrongObjectType);
    EXPECT_EQ(target.type(), 40);

    V chained;
    makeChain(chained);
    V source(7.0);
    EXPECT_EQ(chained.copyFrom(&source), Acad::eInvalidResBuf);
    EXPECT_STREQ(chained.text(), L"first");
    EXPECT_EQ(chainLength(chained), 3);
}

TEST_F(VariantTest, CopyFromFollowsTheTypeTable) {
    HeapBalance balance;
    V two;
    two.restype = 10;
    two.resval.rpoint[0] = 1;
    two.resval.rpoint[1] = 2;
    two.resval.rpoint[2] = 99;
    V copy(L"old text");  // released by the copy
    ASSERT_EQ(copy.copyFrom(&two), Acad::eOk);
    EXPECT_EQ(copy.type(), 10);
    EXPECT_EQ(copy.point().x, 1.0);
    EXPECT_EQ(copy.point().y, 2.0);
    EXPECT_EQ(copy.point().z, 0.0);

    V name;
    name.restype = 330;
    name.resval.rlname[0] = 0x1234;
    name.resval.rlname[1] = 0x5678;
    ASSERT_EQ(copy.copyFrom(&name), Acad::eOk);
    EXPECT_EQ(copy.resval.rlname[0], 0x1234);
    EXPECT_EQ(copy.resval.rlname[1], 0x5678);

    V null;
    ASSERT_EQ(copy.copyFrom(&null), Acad::eOk);
    expectNull(copy);
}

TEST_F(VariantTest, ChainOfThreeCopiesNodeByNode) {
    HeapBalance balance;
    V source;
    makeChain(source);
    V copy;
    ASSERT_EQ(copy.copyFrom(&source), Acad::eOk);
    ASSERT_EQ(chainLength(copy), 3);
    EXPECT_NE(copy.resval.rstring, source.resval.rstring);
    EXPECT_NE(copy.next(), source.next());
    EXPECT_STREQ(copy.text(), L"first");
    EXPECT_EQ(copy.next()->resval.rreal, 2.5);
    EXPECT_EQ(copy.next()->next()->point().z, 3.0);
    EXPECT_EQ(copy.next()->next()->isA(), V::desc());

    // The copy stands alone once the source is gone; copy construction and assignment agree.
    source.clear();
    V constructed(copy);
    V assigned(5.0);
    assigned = copy;
    for (V* v : {&constructed, &assigned}) {
        ASSERT_EQ(chainLength(*v), 3);
        EXPECT_STREQ(v->text(), L"first");
        EXPECT_EQ(v->next()->next()->point().y, 2.0);
    }
}

TEST_F(VariantTest, SelfCopiesChangeNothing) {
    HeapBalance balance;
    V v(L"keep me");
    EXPECT_EQ(v.copyFrom(&v), Acad::eOk);
    EXPECT_STREQ(v.text(), L"keep me");
    v = static_cast<const V&>(v);
    EXPECT_STREQ(v.text(), L"keep me");
    V& alias = v;
    v = std::move(alias);
    EXPECT_STREQ(v.text(), L"keep me");
    // Setting a variant's text from its own text.
    EXPECT_EQ(v.setText(v.text()), Acad::eOk);
    EXPECT_STREQ(v.text(), L"keep me");
    EXPECT_EQ(v.setFromResbuf(&v), Acad::eOk);
    EXPECT_STREQ(v.text(), L"keep me");
}

TEST_F(VariantTest, CopiesBetweenValuesOfOneChainStaySound) {
    HeapBalance balance;
    // A value copied from its own predecessor: the source's chain runs through the target.
    V head(L"first");
    head.rbnext = new V(2.5);
    V* second = head.next();
    ASSERT_EQ(second->copyFrom(&head), Acad::eOk);
    ASSERT_EQ(chainLength(head), 3);
    EXPECT_STREQ(second->text(), L"first");
    EXPECT_EQ(second->next()->resval.rreal, 2.5);

    // Assigning a value of the target's own chain to it.
    V other;
    makeChain(other);
    other = *other.next();
    EXPECT_EQ(other.type(), 40);
    ASSERT_EQ(chainLength(other), 2);
    EXPECT_EQ(other.next()->type(), 11);

    V moved;
    makeChain(moved);
    moved = std::move(*moved.next());
    EXPECT_EQ(moved.type(), 40);
    EXPECT_EQ(chainLength(moved), 2);
    // Moving a value into one of its own chained values is refused.
    V owner;
    makeChain(owner);
    *owner.next() = std::move(owner);
    EXPECT_STREQ(owner.text(), L"first");
    EXPECT_EQ(chainLength(owner), 3);
}

// ---- Moves ----

TEST_F(VariantTest, MoveLeavesTheSourceNullAndBothDestroyCleanly) {
    HeapBalance balance;
    {
        V source(L"moved text");
        V target(std::move(source));
        expectNull(source);
        EXPECT_STREQ(target.text(), L"moved text");
        V assigned(L"replaced");
        assigned = std::move(target);
        expectNull(target);
        EXPECT_STREQ(assigned.text(), L"moved text");
    }
    {
        V chain;
        makeChain(chain);
        V taken(std::move(chain));
        expectNull(chain);
        EXPECT_EQ(chainLength(taken), 3);
    }
    {
        V numeric(Adesk::Int32(5));
        V target(std::move(numeric));
        EXPECT_EQ(target.resval.rlong, 5);
        expectNull(numeric);
    }
}

// ---- Text kinds and refused kinds ----

TEST_F(VariantTest, EveryTextCodeOwnsItsStringAndPointerKindsAreRefused) {
    HeapBalance balance;
    resbuf* chain = acutBuildList(300, L"three hundred", 1000, L"xdata text", 1005, L"1F", 0);
    ASSERT_NE(chain, nullptr);
    V fromChain;
    ASSERT_EQ(fromChain.setFromResbuf(chain), Acad::eOk);
    V xdata;
    ASSERT_EQ(xdata.setFromResbuf(chain->rbnext), Acad::eOk);
    V handle(1.0);
    EXPECT_EQ(handle.setFromResbuf(chain->rbnext->rbnext), Acad::eInvalidResBuf);
    expectNull(handle);
    acutRelRb(chain);
    EXPECT_EQ(fromChain.type(), 300);
    EXPECT_STREQ(fromChain.text(), L"three hundred");
    EXPECT_EQ(fromChain.next(), nullptr);
    EXPECT_STREQ(xdata.text(), L"xdata text");

    V copy;
    ASSERT_EQ(copy.copyFrom(&fromChain), Acad::eOk);
    fromChain.clear();
    EXPECT_STREQ(copy.text(), L"three hundred");

    char bytes[4] = {1, 2, 3, 4};
    resbuf binary{};
    binary.restype = 310;
    binary.resval.rbinary.clen = 4;
    binary.resval.rbinary.buf = bytes;
    V refused(L"x");
    EXPECT_EQ(refused.setFromResbuf(&binary), Acad::eInvalidResBuf);
    expectNull(refused);
    // A variant holding a pointer kind (set by hand) does not spread it through copies.
    V byHand;
    byHand.restype = 310;
    byHand.resval.rbinary = binary.resval.rbinary;
    V target(2.0);
    EXPECT_EQ(target.copyFrom(&byHand), Acad::eInvalidResBuf);
    expectNull(target);
    byHand.restype = V::kNullType;

    EXPECT_EQ(copy.setFromResbuf(nullptr), Acad::eInvalidInput);
    expectNull(copy);
}

TEST_F(VariantTest, ResultBufferConversionsRoundTrip) {
    HeapBalance balance;
    V text(L"value");
    resbuf* rb = text.toResbuf();
    ASSERT_NE(rb, nullptr);
    EXPECT_EQ(rb->restype, 1);
    EXPECT_NE(rb->resval.rstring, text.resval.rstring);
    EXPECT_EQ(rb->rbnext, nullptr);
    V back;
    ASSERT_EQ(back.setFromResbuf(rb), Acad::eOk);
    EXPECT_STREQ(back.text(), L"value");
    acutRelRb(rb);

    V nullText(static_cast<const ACHAR*>(nullptr));
    rb = nullText.toResbuf();
    ASSERT_NE(rb, nullptr);
    EXPECT_STREQ(rb->resval.rstring, L"");
    acutRelRb(rb);

    V chained;
    makeChain(chained);
    chained.clear();
    chained.setReal(4.25);
    rb = chained.toResbuf();
    ASSERT_NE(rb, nullptr);
    EXPECT_EQ(rb->restype, 40);
    EXPECT_EQ(rb->resval.rreal, 4.25);
    acutRelRb(rb);
}

// ---- Allocation failures ----

TEST_F(VariantTest, AllocationFailuresReportOutOfMemoryAndLeaveNull) {
    HeapBalance balance;
    V source;
    makeChain(source);
    source.next()->setText(L"second text");  // drops the third node
    auto* third = new V(L"third text");
    source.next()->rbnext = third;

    bool sawFailure = false;
    for (long n = 1; n <= 8; ++n) {
        V target(9.0);
        kxhost::heapFailAfter(n);
        const Acad::ErrorStatus es = target.copyFrom(&source);
        kxhost::heapFailAfter(0);
        if (es == Acad::eOk) {
            EXPECT_EQ(chainLength(target), 3);
            EXPECT_STREQ(target.next()->next()->text(), L"third text");
        } else {
            sawFailure = true;
            EXPECT_EQ(es, Acad::eOutOfMemory) << n;
            expectNull(target);
        }
    }
    EXPECT_TRUE(sawFailure);

    kxhost::heapFailAfter(1);
    V failedText(L"no room");
    kxhost::heapFailAfter(0);
    expectNull(failedText);

    V setter(1.0);
    kxhost::heapFailAfter(1);
    EXPECT_EQ(setter.setText(L"no room"), Acad::eOutOfMemory);
    kxhost::heapFailAfter(0);
    expectNull(setter);

    // Copy construction and assignment fail whole, wherever in the chain the heap refuses.
    for (long n = 1; n <= 8; ++n) {
        kxhost::heapFailAfter(n);
        V copied(source);
        kxhost::heapFailAfter(0);
        EXPECT_TRUE(copied.isNull() ? copied.next() == nullptr : chainLength(copied) == 3) << n;
        V assigned(L"before");
        kxhost::heapFailAfter(n);
        assigned = source;
        kxhost::heapFailAfter(0);
        EXPECT_TRUE(assigned.isNull() ? assigned.next() == nullptr : chainLength(assigned) == 3)
            << n;
    }

    V text(L"t");
    kxhost::heapFailAfter(2);  // the buffer succeeds, its string fails
    EXPECT_EQ(text.toResbuf(), nullptr);
    kxhost::heapFailAfter(0);
}

// ---- DWG form ----

TEST_F(VariantTest, DwgRoundTripsKeepValuesOfFiledKinds) {
    HeapBalance balance;
    V int8;
    int8.restype = 280;
    int8.resval.rint = 5;
    V xdataText;
    resbuf r300{};
    r300.restype = 300;
    r300.resval.rstring = const_cast<ACHAR*>(L"three hundred");
    ASSERT_EQ(xdataText.setFromResbuf(&r300), Acad::eOk);
    V two;
    two.restype = 10;
    two.resval.rpoint[0] = 7;
    two.resval.rpoint[1] = 8;

    const V real(1.5e-7), i32(Adesk::Int32(-123456)), i16(Adesk::Int16(-12)), text(L"text value"),
        point(AcGePoint3d(1, -2, 3.5));
    const V* cases[] = {&real, &i32, &i16, &int8, &text, &xdataText, &point, &two};
    for (const V* value : cases) {
        kxhost::DwgMemoryFiler filer;
        ASSERT_EQ(value->dwgOutFields(&filer), Acad::eOk);
        EXPECT_EQ(filer.itemCount(), 2) << filer.describe().kwszPtr();
        filer.rewind();
        V back(L"previous");
        ASSERT_EQ(back.dwgInFields(&filer), Acad::eOk) << value->type();
        EXPECT_EQ(back.type(), value->type());
        EXPECT_STREQ(back.text(), value->text());
        if (V::ownsText(value->type())) {
            EXPECT_NE(back.resval.rstring, value->resval.rstring);
        } else {
            EXPECT_EQ(std::memcmp(&back.resval, &value->resval, sizeof(back.resval)), 0)
                << value->type();
        }
    }
}

TEST_F(VariantTest, DwgFormOfNullIdsAnd64BitValuesIsTheTypeCodeOnly) {
    HeapBalance balance;
    V null;
    V id;
    id.restype = 330;
    id.resval.rlname[0] = 42;
    V wide;
    wide.restype = 160;
    wide.resval.mnInt64 = 1234567890123LL;
    for (const V* value : {&null, &id, &wide}) {
        kxhost::DwgMemoryFiler filer;
        ASSERT_EQ(value->dwgOutFields(&filer), Acad::eOk);
        ASSERT_EQ(filer.itemCount(), 1);
        EXPECT_EQ(static_cast<short>(filer.items()[0].bits), value->type());
        filer.rewind();
        V back(L"previous");
        ASSERT_EQ(back.dwgInFields(&filer), Acad::eOk);
        EXPECT_EQ(back.type(), value->type());
        EXPECT_TRUE(valueIsZero(back));
    }
}

TEST_F(VariantTest, DamagedDwgInputLeavesNull) {
    HeapBalance balance;
    // Truncated: a real's type code without its value.
    kxhost::DwgMemoryFiler truncated;
    truncated.writeInt16(40);
    truncated.rewind();
    V v(L"previous");
    EXPECT_NE(v.dwgInFields(&truncated), Acad::eOk);
    expectNull(v);

    // A text type followed by a double.
    kxhost::DwgMemoryFiler wrongKind;
    wrongKind.writeInt16(1);
    wrongKind.writeDouble(2.0);
    wrongKind.rewind();
    EXPECT_NE(v.dwgInFields(&wrongKind), Acad::eOk);
    expectNull(v);

    // A binary-chunk type code is refused, and the stream stays in step.
    kxhost::DwgMemoryFiler binary;
    binary.writeInt16(310);
    binary.writeInt16(90);
    binary.writeInt32(77);
    binary.rewind();
    EXPECT_EQ(v.dwgInFields(&binary), Acad::eInvalidResBuf);
    expectNull(v);
    ASSERT_EQ(v.dwgInFields(&binary), Acad::eOk);
    EXPECT_EQ(v.resval.rlong, 77);

    kxhost::DwgMemoryFiler empty;
    EXPECT_NE(v.dwgInFields(&empty), Acad::eOk);
    expectNull(v);
    EXPECT_EQ(v.dwgInFields(nullptr), Acad::eNullObjectPointer);
}

// ---- DXF form ----

// Reads the announcing group 1 (which must be there), then the variant.
Acad::ErrorStatus readDxfVariant(kxhost::DxfMemoryFiler& filer, V& v) {
    filer.rewind();
    resbuf announce{};
    EXPECT_EQ(filer.readItem(&announce), Acad::eOk);
    EXPECT_EQ(announce.restype, 1);
    acutDelBuffer(announce.resval.rstring);
    return v.dxfInFields(&filer);
}

TEST_F(VariantTest, DxfRoundTripsUseTheValueGroupOfEachKind) {
    HeapBalance balance;
    struct Case {
        V* value;
        int valueCode;  // 0: no value group
    };
    V int8;
    int8.restype = 290;
    int8.resval.rint = 1;
    V id;
    id.restype = 330;
    id.resval.rlname[0] = 9;
    V nullText(static_cast<const ACHAR*>(nullptr));
    V real(0.1), i32(Adesk::Int32(1 << 30)), i16(Adesk::Int16(300)), text(L"some text"),
        point(AcGePoint3d(1.25, 2.5, -3)), null;
    const Case cases[] = {{&real, 140},     {&i32, 90},     {&i16, 70}, {&int8, 70}, {&text, 300},
                          {&nullText, 300}, {&point, 1010}, {&null, 0}, {&id, 0}};
    for (const Case& c : cases) {
        kxhost::DxfMemoryFiler filer;
        ASSERT_EQ(c.value->dxfOutFields(&filer), Acad::eOk);
        const auto& items = filer.items();
        ASSERT_EQ(filer.itemCount(), c.valueCode == 0 ? 2 : 3) << filer.describe().kwszPtr();
        EXPECT_EQ(items[0].code, 1);
        EXPECT_EQ(items[0].text, L"");
        EXPECT_EQ(items[1].code, 70);
        EXPECT_EQ(items[1].integer, c.value->type());
        if (c.valueCode != 0) {
            EXPECT_EQ(items[2].code, c.valueCode);
        }
        V back(L"previous");
        ASSERT_EQ(readDxfVariant(filer, back), Acad::eOk) << c.value->type();
        EXPECT_EQ(back.type(), c.value->type());
        EXPECT_STREQ(back.text(), c.value->text());
        if (!V::ownsText(back.type()) && c.valueCode != 0) {
            EXPECT_EQ(std::memcmp(&back.resval, &c.value->resval, sizeof(back.resval)), 0);
        }
        if (c.value == &id) {
            EXPECT_TRUE(valueIsZero(back));  // ids keep their type only
        }
        EXPECT_TRUE(filer.atEOF());
    }
}

TEST_F(VariantTest, DamagedDxfPairsAreRefusedWithoutACrash) {
    HeapBalance balance;
    struct Damage {
        const char* what;
        void (*build)(kxhost::DxfMemoryFiler&);
        Acad::ErrorStatus expected;
    };
    const Damage cases[] = {
        {"text type followed by a real",
         [](kxhost::DxfMemoryFiler& f) {
             f.writeInt16(70, 1);
             f.writeDouble(140, 2.5);
         },
         Acad::eInvalidResBuf},
        {"real type followed by text",
         [](kxhost::DxfMemoryFiler& f) {
             f.writeInt16(70, 40);
             f.writeString(300, L"not a real");
         },
         Acad::eInvalidResBuf},
        {"point type followed by a 32-bit integer",
         [](kxhost::DxfMemoryFiler& f) {
             f.writeInt16(70, 11);
             f.writeInt32(90, 3);
         },
         Acad::eInvalidResBuf},
        {"type group missing", [](kxhost::DxfMemoryFiler& f) { f.writeInt32(90, 1); },
         Acad::eBadDxfSequence},
        {"type group replaced by text",
         [](kxhost::DxfMemoryFiler& f) { f.writeString(300, L"seventy"); }, Acad::eBadDxfSequence},
        {"data ends after the announcing group", [](kxhost::DxfMemoryFiler&) {},
         Acad::eBadDxfSequence},
        {"data ends after the type group", [](kxhost::DxfMemoryFiler& f) { f.writeInt16(70, 90); },
         Acad::eInvalidResBuf},
        {"binary-chunk type", [](kxhost::DxfMemoryFiler& f) { f.writeInt16(70, 310); },
         Acad::eInvalidResBuf},
        {"handle type", [](kxhost::DxfMemoryFiler& f) { f.writeInt16(70, 1005); },
         Acad::eInvalidResBuf},
    };
    for (const Damage& c : cases) {
        kxhost::DxfMemoryFiler filer;
        filer.writeString(1, L"");
        c.build(filer);
        V v(L"previous");
        EXPECT_EQ(readDxfVariant(filer, v), c.expected) << c.what;
        expectNull(v);
    }

    // A refused value group is pushed back for the enclosing reader.
    kxhost::DxfMemoryFiler filer;
    filer.writeString(1, L"");
    filer.writeInt16(70, 40);
    filer.writeString(300, L"next group");
    V v;
    ASSERT_EQ(readDxfVariant(filer, v), Acad::eInvalidResBuf);
    resbuf item{};
    ASSERT_EQ(filer.readItem(&item), Acad::eOk);
    EXPECT_EQ(item.restype, 300);
    EXPECT_STREQ(item.resval.rstring, L"next group");
    acutDelBuffer(item.resval.rstring);

    EXPECT_EQ(v.dxfInFields(nullptr), Acad::eNullObjectPointer);
}

TEST_F(VariantTest, DxfTextIsCopiedOutOfTheFilerAndFailuresLeaveNull) {
    HeapBalance balance;
    V text(L"copied");
    kxhost::DxfMemoryFiler filer;
    ASSERT_EQ(text.dxfOutFields(&filer), Acad::eOk);
    bool sawFailure = false;
    for (long n = 1; n <= 4; ++n) {
        V back;
        filer.rewind();
        resbuf announce{};
        ASSERT_EQ(filer.readItem(&announce), Acad::eOk);
        acutDelBuffer(announce.resval.rstring);
        kxhost::heapFailAfter(n);
        const Acad::ErrorStatus es = back.dxfInFields(&filer);
        kxhost::heapFailAfter(0);
        if (es == Acad::eOk) {
            EXPECT_STREQ(back.text(), L"copied");
        } else {
            sawFailure = true;
            expectNull(back);
        }
    }
    EXPECT_TRUE(sawFailure);
}

}  // namespace
