// Value sets: acceptance with the reference value, the nearest allowed value for every kind of
// set (lists, increment grids, ranges, angular ranges through 0, reversed angles), editing that
// keeps a set consistent, the lists offered to the user, and the DWG and DXF forms with damaged
// input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/ed/sysvars.h"
#include "module/display/labels.h"
#include "module/params/value_set.h"
#include "module/params/value_set_imp.h"
#include "support/module_loader.h"

namespace {

using Set = KxDbBlockTagValueSet;
using Imp = KxDbImpBlockTagValueSet;
using Dwg = kxhost::DwgMemoryFiler;
using Dxf = kxhost::DxfMemoryFiler;

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

double deg(double d) {
    return d * kPi / 180.0;
}

AcGeDoubleArray values(std::initializer_list<double> v) {
    return AcGeDoubleArray(v);
}

// A distance set with an increment (and the default lower bound 0).
Set incrementSet(double inc) {
    Set s;
    s.setIncrement(inc);
    return s;
}

// An angular set between two bounds given in degrees (the range may run through 0).
Set angularRange(double fromDeg, double toDeg) {
    Set s;
    s.setAngular();
    s.setHasMinimum(false);
    s.setMaximum(deg(toDeg));
    s.setMinimum(deg(fromDeg));
    return s;
}

// Writes the linear parameter's group codes in the order given by `order` (indices into flags,
// minimum, maximum, increment, count-with-values).
void writeDxfSet(Dxf& f, std::initializer_list<int> order, Adesk::Int16 flags, double mn, double mx,
                 double inc, std::initializer_list<double> list) {
    for (int part : order) {
        switch (part) {
            case 0:
                f.writeInt16(96, flags);
                break;
            case 1:
                f.writeDouble(141, mn);
                break;
            case 2:
                f.writeDouble(142, mx);
                break;
            case 3:
                f.writeDouble(143, inc);
                break;
            case 4:
                f.writeInt16(175, static_cast<Adesk::Int16>(list.size()));
                for (double v : list) {
                    f.writeDouble(144, v);
                }
                break;
        }
    }
}

Acad::ErrorStatus readDxf(Set& s, Dxf& f) {
    f.rewind();
    return s.dxfInFields(&f, 96, 141, 142, 143, 175, 144);
}

void expectSameSet(const Set& a, const Set& b) {
    EXPECT_EQ(a.flags(), b.flags());
    EXPECT_EQ(a.minimum(), b.minimum());
    EXPECT_EQ(a.maximum(), b.maximum());
    EXPECT_EQ(a.increment(), b.increment());
    ASSERT_EQ(a.list().length(), b.list().length());
    for (int i = 0; i < a.list().length(); ++i) {
        EXPECT_EQ(a.list()[i], b.list()[i]) << i;
    }
}

// --- Acceptance and nearest value ---------------------------------------------------------------

TEST(ValueSetTest, DefaultSetAllowsEveryValueOfZeroOrMore) {
    Set s;
    EXPECT_EQ(s.flags(), 1);
    EXPECT_TRUE(s.hasMinimum());
    EXPECT_FALSE(s.hasMaximum() || s.hasIncrement() || s.isList() || s.isAngular());
    EXPECT_TRUE(s.isValid(0.0, 5.0));
    EXPECT_TRUE(s.isValid(1e9, 5.0));
    EXPECT_FALSE(s.isValid(-0.5, 5.0));
    EXPECT_EQ(s.nearestValid(-0.5, 5.0), 0.0);
    EXPECT_EQ(s.nearestValid(7.25, 5.0), 7.25);
}

TEST(ValueSetTest, ListSetSnapsToNearerValueAndAlwaysAcceptsReference) {
    Set s;
    ASSERT_EQ(s.setList(values({10.0, 20.0, 40.0})), Acad::eOk);
    EXPECT_TRUE(s.isList());
    EXPECT_FALSE(s.hasMinimum() || s.hasMaximum() || s.hasIncrement());

    // The reference is allowed although the list does not hold it; list values are exact.
    EXPECT_TRUE(s.isValid(5.0, 5.0));
    EXPECT_TRUE(s.isValid(20.0, 5.0));
    EXPECT_FALSE(s.isValid(20.000001, 5.0));
    EXPECT_FALSE(s.isValid(0.0, 5.0));

    EXPECT_EQ(s.nearestValid(13.0, 5.0), 10.0);
    EXPECT_EQ(s.nearestValid(16.0, 5.0), 20.0);
    EXPECT_EQ(s.nearestValid(100.0, 5.0), 40.0);
    EXPECT_EQ(s.nearestValid(-3.0, 5.0), 5.0);
    // Halfway between the reference and a list value: the reference wins the tie.
    EXPECT_EQ(s.nearestValid(7.5, 5.0), 5.0);
    // Halfway between two list values: the one stored first.
    EXPECT_EQ(s.nearestValid(30.0, 5.0), 20.0);
    Set reordered;
    reordered.setList(values({40.0, 20.0}));
    EXPECT_EQ(reordered.nearestValid(30.0, 5.0), 40.0);
}

TEST(ValueSetTest, IncrementSnapsOnGridAnchoredAtReference) {
    Set s = incrementSet(10.0);
    EXPECT_TRUE(s.hasIncrement());
    EXPECT_TRUE(s.isValid(15.0, 5.0));
    EXPECT_TRUE(s.isValid(5.0, 5.0));
    EXPECT_FALSE(s.isValid(10.0, 5.0));
    EXPECT_EQ(s.nearestValid(17.0, 5.0), 15.0);
    // Halfway goes to the lower grid value.
    EXPECT_EQ(s.nearestValid(20.0, 5.0), 15.0);
    EXPECT_EQ(s.nearestValid(21.0, 5.0), 25.0);
    // The grid reaches below the reference down to the minimum.
    EXPECT_EQ(s.nearestValid(2.0, 12.0), 2.0);
    EXPECT_EQ(s.nearestValid(0.5, 12.0), 2.0);

    s.setMinimum(20.0);
    EXPECT_EQ(s.nearestValid(17.0, 5.0), 25.0);
    EXPECT_EQ(s.nearestValid(20.0, 5.0), 25.0);
    // A minimum on the grid is itself allowed.
    s.setMinimum(15.0);
    EXPECT_EQ(s.nearestValid(11.0, 5.0), 15.0);

    s.setMaximum(42.0);
    EXPECT_FALSE(s.isValid(45.0, 5.0));
    EXPECT_EQ(s.nearestValid(50.0, 5.0), 35.0);
    s.setMaximum(45.0);
    EXPECT_EQ(s.nearestValid(50.0, 5.0), 45.0);
}

TEST(ValueSetTest, ValuesOnTheGridSurviveRoundingOfTheRemainder) {
    // 0.3 - 0 is not an exact multiple of 0.1 in binary: its remainder is nearly a whole step.
    Set s = incrementSet(0.1);
    EXPECT_TRUE(s.isValid(0.3, 0.0));
    EXPECT_TRUE(s.isValid(0.7, 0.0));
    EXPECT_FALSE(s.isValid(0.35, 0.0));
    EXPECT_NEAR(s.nearestValid(0.34, 0.0), 0.3, 1e-12);
}

TEST(ValueSetTest, OddIncrementsNeverHang) {
    // A negative increment steps by its size; a tiny one and NaN are handled without walking.
    Set negative = incrementSet(-10.0);
    EXPECT_EQ(negative.nearestValid(17.0, 5.0), 15.0);
    EXPECT_TRUE(negative.isValid(25.0, 5.0));

    Set tiny = incrementSet(1e-9);
    const double snapped = tiny.nearestValid(3.14159265, 0.0);
    EXPECT_NEAR(snapped, 3.14159265, 1e-9);

    Set none = incrementSet(std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(none.isValid(3.3, 0.0));
    EXPECT_EQ(none.nearestValid(-1.0, 0.0), 0.0);

    // Too small to count as an increment.
    Set zero = incrementSet(1e-11);
    EXPECT_TRUE(zero.isValid(3.3, 0.0));

    for (double inc : {-0.1, 1e-9, std::numeric_limits<double>::quiet_NaN()}) {
        Set a = incrementSet(inc);
        a.setAngular();
        a.setMinimum(deg(10));
        a.setMaximum(deg(350));
        const double r = a.nearestValid(deg(5), deg(90));
        EXPECT_FALSE(std::isinf(r)) << inc;
    }
}

TEST(ValueSetTest, RangeWithoutIncrementClampsToItsBounds) {
    Set s;
    s.setMinimum(10.0);
    s.setMaximum(20.0);
    EXPECT_TRUE(s.isValid(10.0, 15.0));
    EXPECT_TRUE(s.isValid(20.0, 15.0));
    EXPECT_FALSE(s.isValid(20.5, 15.0));
    EXPECT_EQ(s.nearestValid(25.0, 15.0), 20.0);
    EXPECT_EQ(s.nearestValid(3.0, 15.0), 10.0);
    EXPECT_EQ(s.nearestValid(12.5, 15.0), 12.5);

    // Bounds crossed through the flags directly: nothing is allowed, not even the reference.
    Set crossed;
    crossed.setMinimum(30.0);
    crossed.imp()->setFlags(Imp::kHasMinimum | Imp::kHasMaximum);
    EXPECT_EQ(crossed.maximum(), 0.0);
    EXPECT_FALSE(crossed.isValid(30.0, 30.0));
    EXPECT_FALSE(crossed.isValid(0.0, 0.0));
    EXPECT_FALSE(crossed.isValid(15.0, 15.0));
}

TEST(ValueSetTest, AngularRangeThroughZero) {
    Set s = angularRange(300, 60);
    ASSERT_TRUE(s.hasMinimum() && s.hasMaximum());
    EXPECT_NEAR(s.minimum(), deg(300), 1e-12);
    EXPECT_NEAR(s.maximum(), deg(60), 1e-12);
    EXPECT_TRUE(s.isValid(deg(330), 0.0));
    EXPECT_TRUE(s.isValid(deg(10), 0.0));
    EXPECT_FALSE(s.isValid(deg(180), 0.0));
    // Refused angles go to the bound nearer round the circle.
    EXPECT_NEAR(s.nearestValid(deg(170), 0.0), deg(60), 1e-12);
    EXPECT_NEAR(s.nearestValid(deg(200), 0.0), deg(300), 1e-12);
    // Equally far from both bounds: the maximum.
    Set tie;
    tie.setAngular();
    tie.setHasMinimum(false);
    tie.setMaximum(1.0);
    tie.setMinimum(4.0);
    EXPECT_EQ(tie.nearestValid(2.5, 0.0), 1.0);

    // A plain angular range measures the distance round the circle too.
    Set plain = angularRange(30, 90);
    EXPECT_NEAR(plain.nearestValid(deg(350), deg(45)), deg(30), 1e-12);
    EXPECT_NEAR(plain.nearestValid(deg(200), deg(45)), deg(90), 1e-12);
    // An empty angular range allows nothing.
    Set empty;
    empty.setAngular();
    empty.imp()->setFlags(Imp::kHasMinimum | Imp::kHasMaximum);
    EXPECT_FALSE(empty.isValid(0.0, 0.0));
}

TEST(ValueSetTest, AngularIncrementSnapsWithinTheCircularRange) {
    Set s = incrementSet(deg(15));
    s.setAngular();
    EXPECT_TRUE(s.isValid(deg(45), 0.0));
    EXPECT_NEAR(s.nearestValid(deg(50), 0.0), deg(45), 1e-9);
    EXPECT_NEAR(s.nearestValid(deg(53), 0.0), deg(60), 1e-9);
    // Near a full turn the nearest grid angle is 0, round the circle.
    EXPECT_NEAR(s.nearestValid(deg(359), 0.0), 0.0, 1e-9);

    // A range through 0 with the grid anchored at the reference.
    Set wrap = angularRange(300, 60);
    wrap.setIncrement(deg(20));
    EXPECT_TRUE(wrap.isValid(deg(10), deg(10)));
    EXPECT_TRUE(wrap.isValid(deg(330), deg(10)));
    EXPECT_FALSE(wrap.isValid(deg(335), deg(10)));
    EXPECT_NEAR(wrap.nearestValid(deg(335), deg(10)), deg(330), 1e-9);
    // Outside the range: the last grid angle before the upper bound (50) or the first after the
    // lower bound (310).
    EXPECT_NEAR(wrap.nearestValid(deg(100), deg(10)), deg(50), 1e-9);
    EXPECT_NEAR(wrap.nearestValid(deg(250), deg(10)), deg(310), 1e-9);
}

TEST(ValueSetTest, ReversedAnglesRunTheOtherWay) {
    // Running clockwise from 300 to 60 covers the angles through 180: the grid snaps there.
    Set s = angularRange(300, 60);
    s.setIncrement(deg(30));
    s.imp()->setFlags(s.flags() | Imp::kReversed);
    EXPECT_TRUE(s.isReversed());
    EXPECT_NEAR(s.nearestValid(deg(100), deg(90)), deg(90), 1e-9);
    EXPECT_NEAR(s.nearestValid(deg(130), deg(90)), deg(120), 1e-9);
    // Outside (near 0): the nearer end of the clockwise range.
    EXPECT_NEAR(s.nearestValid(deg(10), deg(90)), deg(60), 1e-9);
    const double r = s.nearestValid(deg(350), deg(90));
    EXPECT_NEAR(r, deg(300), 1e-9);
    EXPECT_LT(r, kTwoPi);
}

// --- Editing
// ----------------------------------------------------------------------------------------

TEST(ValueSetTest, EditingKeepsDistanceRangesConsistent) {
    Set s;
    s.setMinimum(-4.0);
    EXPECT_EQ(s.minimum(), 0.0);
    EXPECT_EQ(s.flags(), 1);
    s.setMaximum(-1.0);
    EXPECT_FALSE(s.hasMaximum());

    s.setMinimum(5.0);
    s.setMaximum(3.0);
    // A maximum below the minimum resets the minimum to 0.
    EXPECT_TRUE(s.hasMaximum());
    EXPECT_EQ(s.minimum(), 0.0);
    EXPECT_EQ(s.maximum(), 3.0);
    // A minimum above the maximum drops the maximum.
    s.setMinimum(8.0);
    EXPECT_FALSE(s.hasMaximum());
    EXPECT_EQ(s.minimum(), 8.0);
    // Nearly equal bounds merge instead.
    s.setMaximum(8.0 - 1e-9);
    EXPECT_TRUE(s.hasMaximum());
    EXPECT_EQ(s.minimum(), 8.0);
    EXPECT_EQ(s.maximum(), 8.0);

    // A distance range always has a lower bound: switching it off means 0.
    s.setHasMinimum(false);
    EXPECT_TRUE(s.hasMinimum());
    EXPECT_EQ(s.minimum(), 0.0);
}

TEST(ValueSetTest, EditingAngularSetsNormalisesAngles) {
    Set s;
    s.setAngular();
    s.setMinimum(-kPi / 2);
    EXPECT_NEAR(s.minimum(), 1.5 * kPi, 1e-12);
    // An upper bound at 0 is a full turn.
    s.setMaximum(0.0);
    EXPECT_EQ(s.maximum(), kTwoPi);
    s.setMaximum(4 * kPi + 1.0);
    EXPECT_NEAR(s.maximum(), 1.0, 1e-12);
    // A range through 0 is kept.
    EXPECT_TRUE(s.hasMinimum() && s.hasMaximum());
    // Equal bounds drop the other one.
    s.setMinimum(1.0);
    EXPECT_TRUE(s.hasMinimum());
    EXPECT_FALSE(s.hasMaximum());
    s.setMaximum(1.0);
    EXPECT_FALSE(s.hasMinimum());
    EXPECT_TRUE(s.hasMaximum());
}

TEST(ValueSetTest, ListsReplaceRangesAndAreBoundedInLength) {
    Set s = incrementSet(2.0);
    s.setMaximum(50.0);
    ASSERT_EQ(s.setList(values({3.0, 1.0})), Acad::eOk);
    EXPECT_EQ(s.flags(), Imp::kIsList);
    // A bound makes it a range again.
    s.setMinimum(1.0);
    EXPECT_FALSE(s.isList());
    EXPECT_TRUE(s.hasMinimum());
    // A grid too, with the lower bound a distance range needs.
    s.setList(values({3.0}));
    s.setIncrement(1.5);
    EXPECT_FALSE(s.isList());
    EXPECT_TRUE(s.hasMinimum());
    EXPECT_EQ(s.minimum(), 0.0);

    // The longest list that can be filed, and one more.
    AcGeDoubleArray longest;
    longest.setLogicalLength(32767);
    Set l;
    EXPECT_EQ(l.setList(longest), Acad::eOk);
    EXPECT_EQ(l.list().length(), 32767);
    AcGeDoubleArray tooLong;
    tooLong.setLogicalLength(32768);
    Set m;
    m.setList(values({1.0, 2.0}));
    EXPECT_EQ(m.setList(tooLong), Acad::eInvalidInput);
    EXPECT_EQ(m.list().length(), 2);
    EXPECT_TRUE(m.isList());
}

TEST(ValueSetTest, ListWithReferenceIsSortedWithoutDuplicatesOfTheReference) {
    Set s;
    s.setList(values({30.0, 10.0, 20.0 + 1e-8, 5.0}));
    const AcGeDoubleArray l = s.listWithReference(20.0);
    ASSERT_EQ(l.length(), 4);
    EXPECT_EQ(l[0], 5.0);
    EXPECT_EQ(l[1], 10.0);
    EXPECT_EQ(l[2], 20.0);
    EXPECT_EQ(l[3], 30.0);
    // The stored list is untouched.
    EXPECT_EQ(s.list().length(), 4);
    EXPECT_EQ(Set().listWithReference(7.0).length(), 1);
}

TEST(ValueSetTest, ReferenceValueWidensTheRange) {
    Set s;
    s.setMinimum(10.0);
    s.setMaximum(20.0);
    s.setReferenceValue(4.0);
    EXPECT_EQ(s.minimum(), 4.0);
    EXPECT_EQ(s.maximum(), 20.0);
    s.setReferenceValue(25.0);
    EXPECT_EQ(s.maximum(), 25.0);
    EXPECT_TRUE(s.isValid(25.0, 25.0));

    // Angular: the bound nearer to the reference moves to it.
    Set a = angularRange(30, 90);
    a.setReferenceValue(deg(100));
    EXPECT_NEAR(a.minimum(), deg(30), 1e-12);
    EXPECT_NEAR(a.maximum(), deg(100), 1e-12);
    a.setReferenceValue(deg(10));
    EXPECT_NEAR(a.minimum(), deg(10), 1e-12);
    // Inside a range through 0 nothing changes.
    Set w = angularRange(300, 60);
    w.setReferenceValue(deg(5));
    EXPECT_NEAR(w.minimum(), deg(300), 1e-12);
    EXPECT_NEAR(w.maximum(), deg(60), 1e-12);
}

TEST(ValueSetTest, CopiesAreIndependent) {
    Set a = incrementSet(3.0);
    a.setAngular();
    Set b(a);
    b.setIncrement(4.0);
    EXPECT_EQ(a.increment(), 3.0);
    EXPECT_TRUE(b.isAngular());
    Set c;
    c = b;
    c.setList(values({1.0}));
    EXPECT_FALSE(b.isList());
    const Set& alias = c;
    c = alias;
    EXPECT_TRUE(c.isList());

    AcRxObject* copy = a.clone();
    ASSERT_NE(copy, nullptr);
    auto* set = dynamic_cast<Set*>(copy);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->increment(), 3.0);
    delete copy;
    EXPECT_EQ(c.copyFrom(&a), Acad::eOk);
    EXPECT_EQ(c.increment(), 3.0);
    AcRxObject plain;
    EXPECT_EQ(c.copyFrom(&plain), Acad::eWrongObjectType);
}

// --- Filing
// -----------------------------------------------------------------------------------------

Set fullSet() {
    Set s = incrementSet(2.5);
    s.setMinimum(1.0);
    s.setMaximum(9.0);
    // Fields a list set also keeps in its record.
    s.imp()->setFlags(s.flags() | Imp::kReversed);
    return s;
}

TEST(ValueSetTest, DwgRoundTripKeepsEveryField) {
    Set s = fullSet();
    Dwg f;
    ASSERT_EQ(s.dwgOutFields(&f), Acad::eOk);
    ASSERT_EQ(f.itemCount(), 5);
    Set back;
    back.setList(values({4.0}));
    f.rewind();
    ASSERT_EQ(back.dwgInFields(&f), Acad::eOk);
    expectSameSet(back, s);

    Set l;
    l.setList(values({3.0, 1.0, 2.0}));
    Dwg g;
    l.dwgOutFields(&g);
    EXPECT_EQ(g.itemCount(), 8);
    Set back2;
    g.rewind();
    ASSERT_EQ(back2.dwgInFields(&g), Acad::eOk);
    expectSameSet(back2, l);
}

TEST(ValueSetTest, DamagedDwgRecordsChangeNothing) {
    Set l;
    l.setList(values({3.0, 1.0, 2.0}));
    Dwg full;
    l.dwgOutFields(&full);
    // Every truncation fails with the filer's status and leaves the set as it was.
    for (int cut = 0; cut < full.itemCount(); ++cut) {
        Dwg f;
        for (int i = 0; i < cut; ++i) {
            const auto& item = full.items()[i];
            if (item.kind == Dwg::ItemKind::kInt32) {
                f.writeInt32(static_cast<Adesk::Int32>(item.bits));
            } else if (item.kind == Dwg::ItemKind::kInt16) {
                f.writeInt16(static_cast<Adesk::Int16>(item.bits));
            } else {
                f.writeDouble(item.v[0]);
            }
        }
        Set s = fullSet();
        EXPECT_EQ(s.dwgInFields(&f), Acad::eFilerError) << cut;
        expectSameSet(s, fullSet());
    }

    // A negative count is refused outright.
    Dwg neg;
    neg.writeInt32(8);
    neg.writeDouble(0.0);
    neg.writeDouble(0.0);
    neg.writeDouble(0.0);
    neg.writeInt16(-3);
    Set s = fullSet();
    EXPECT_EQ(s.dwgInFields(&neg), Acad::eBadDxfSequence);
    EXPECT_EQ(neg.filerStatus(), Acad::eBadDxfSequence);
    expectSameSet(s, fullSet());
}

TEST(ValueSetTest, DxfRoundTripWithTheOwnersCodes) {
    Set l;
    l.setList(values({3.0, 1.0, 2.0}));
    Dxf f;
    ASSERT_EQ(l.dxfOutFields(&f, 96, 141, 142, 143, 175, 144), Acad::eOk);
    ASSERT_EQ(f.itemCount(), 8);
    EXPECT_EQ(f.items()[0].code, 96);
    EXPECT_EQ(f.items()[0].kind, Dxf::ItemKind::kInt16);
    EXPECT_EQ(f.items()[4].code, 175);
    EXPECT_EQ(f.items()[4].kind, Dxf::ItemKind::kInt16);
    EXPECT_EQ(f.items()[7].code, 144);
    // The owner's next group follows.
    f.writeString(1, L"next");
    Set back = fullSet();
    ASSERT_EQ(readDxf(back, f), Acad::eOk);
    expectSameSet(back, l);
    resbuf rb{};
    ASSERT_EQ(f.readItem(&rb), Acad::eOk);
    EXPECT_EQ(rb.restype, 1);
    acutDelBuffer(rb.resval.rstring);

    // Another owner's codes.
    Set s = fullSet();
    Dxf g;
    s.dxfOutFields(&g, 97, 146, 147, 148, 176, 149);
    Set back2;
    g.rewind();
    ASSERT_EQ(back2.dxfInFields(&g, 97, 146, 147, 148, 176, 149), Acad::eOk);
    expectSameSet(back2, s);
}

TEST(ValueSetTest, DxfGroupsInAnyOrder) {
    Dxf f;
    writeDxfSet(f, {4, 3, 0, 2, 1}, 7, 1.0, 9.0, 2.0, {4.0, 6.0});
    Set s;
    ASSERT_EQ(readDxf(s, f), Acad::eOk);
    EXPECT_EQ(s.flags(), 7);
    EXPECT_EQ(s.minimum(), 1.0);
    EXPECT_EQ(s.maximum(), 9.0);
    EXPECT_EQ(s.increment(), 2.0);
    ASSERT_EQ(s.list().length(), 2);
    EXPECT_EQ(s.list()[1], 6.0);
}

TEST(ValueSetTest, DamagedDxfRecordsAreRefused) {
    // Each group missing in turn.
    for (int missing = 0; missing < 5; ++missing) {
        Dxf f;
        std::initializer_list<int> all = {0, 1, 2, 3, 4};
        for (int part : all) {
            if (part != missing) {
                writeDxfSet(f, {part}, 1, 0.0, 0.0, 0.0, {});
            }
        }
        Set s = fullSet();
        EXPECT_EQ(readDxf(s, f), Acad::eMissingDxfField) << missing;
        expectSameSet(s, fullSet());
    }

    // A value under another code: pushed back, and the sequence is broken.
    {
        Dxf f;
        writeDxfSet(f, {0, 1, 2, 3}, 8, 0.0, 0.0, 0.0, {});
        f.writeInt16(175, 2);
        f.writeDouble(144, 1.0);
        f.writeDouble(141, 2.0);
        Set s = fullSet();
        EXPECT_EQ(readDxf(s, f), Acad::eBadDxfSequence);
        expectSameSet(s, fullSet());
        resbuf rb{};
        ASSERT_EQ(f.readItem(&rb), Acad::eOk);
        EXPECT_EQ(rb.restype, 141);
    }
    // Fewer values than announced at the end of the data, and negative counts.
    for (Adesk::Int16 count : {3, -1}) {
        Dxf f;
        writeDxfSet(f, {0, 1, 2, 3}, 8, 0.0, 0.0, 0.0, {});
        f.writeInt16(175, count);
        f.writeDouble(144, 1.0);
        Set s = fullSet();
        EXPECT_EQ(readDxf(s, f), Acad::eBadDxfSequence) << count;
        expectSameSet(s, fullSet());
    }
    // A filer already failing.
    {
        Dxf f;
        writeDxfSet(f, {0, 1, 2, 3, 4}, 1, 0.0, 0.0, 0.0, {});
        f.setErrorMessage(Acad::eInvalidResBuf, AcString(L"broken"));
        Set s = fullSet();
        EXPECT_EQ(readDxf(s, f), Acad::eFilerError);
    }
}

// --- Description
// -------------------------------------------------------------------------------------

class ValueSetLabelTest : public kxtest::ModuleTest {};

TEST_F(ValueSetLabelTest, DescribePrintsKindAndPresentValues) {
    kxhost::takeCommandLineOutput();
    Set s = incrementSet(2.5);
    s.setMaximum(9.0);
    s.imp()->describe(L"[%s]", L" min %g", L" max %g", L" inc %g");
    EXPECT_EQ(kxhost::takeCommandLineOutput(),
              L"[" + std::wstring(kxdisplay::loadLabel(1148).kwszPtr()) + L"] min 0 max 9 inc 2.5");

    Set l;
    l.setList(values({1.0}));
    l.imp()->describe(L"%s", L"%g", L"%g", L"%g");
    EXPECT_EQ(kxhost::takeCommandLineOutput(), std::wstring(kxdisplay::loadLabel(1147).kwszPtr()));
    Set none;
    none.setHasMinimum(false);
    none.imp()->describe(L"<%s>", nullptr, nullptr, nullptr);
    EXPECT_EQ(kxhost::takeCommandLineOutput(),
              L"<" + std::wstring(kxdisplay::loadLabel(1146).kwszPtr()) + L">");
    EXPECT_FALSE(kxdisplay::loadLabel(1146).isEmpty());

    // Formats that would read arguments they are not given print nothing.
    s.imp()->describe(L"%s %s", L"%s", L"%d", L"%*g");
    EXPECT_EQ(kxhost::takeCommandLineOutput(), L"");
}

}  // namespace
