// Shared set-up of the root data suites: the plug-in loaded, one drawing database, and helpers
// that look at the database from outside the root data.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/db/database.h"
#include "host/db/dictionary.h"
#include "host/db/xrecord.h"
#include "module/graph/eval_graph.h"
#include "module/rootdata/root_data.h"
#include "module/rootdata/root_data_imp.h"
#include "support/module_loader.h"

namespace kxrdtest {

inline const KxDbImpTagRootData* impOf(const KxDbTagRootData* rd) {
    return kxImpOf<KxDbImpTagRootData>(rd);
}

// Both maps as text, entries sorted by key, so two root data compare by their contents.
inline std::wstring describe(const KxDbTagRootData* rd) {
    const KxDbImpTagRootData* imp = impOf(rd);
    if (imp == nullptr) {
        return L"<no implementation>";
    }
    std::vector<std::wstring> graphs;
    for (const auto& g : imp->graphs()) {
        graphs.push_back(std::to_wstring(g.first.asOldId()) + L"->" +
                         std::to_wstring(g.second.asOldId()));
    }
    std::vector<std::wstring> records;
    for (const auto& r : imp->records()) {
        std::wstring line = std::to_wstring(r.first.asOldId()) + L": v" +
                            std::to_wstring(r.second.value) + L" src" +
                            std::to_wstring(r.second.sourceDefinition.asOldId()) + L" hist" +
                            std::to_wstring(r.second.history.asOldId()) + L" data{";
        for (const auto& e : r.second.data) {
            line +=
                std::wstring(e.first.kwszPtr()) + L"=" + std::to_wstring(e.second.asOldId()) + L";";
        }
        line += L"} hdata{";
        for (const auto& e : r.second.hdata) {
            line +=
                std::wstring(e.first.kwszPtr()) + L"=" + std::to_wstring(e.second.asOldId()) + L";";
        }
        records.push_back(line + L"}");
    }
    std::sort(graphs.begin(), graphs.end());
    std::sort(records.begin(), records.end());
    std::wstring out = L"graphs:";
    for (const auto& g : graphs) {
        out += L" " + g;
    }
    out += L"\nrecords:";
    for (const auto& r : records) {
        out += L"\n  " + r;
    }
    return out;
}

class RootDataTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetAssertionViolations();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
    }
    void TearDown() override {
        EXPECT_TRUE(allClosed(db));
        EXPECT_EQ(kxhost::assertionViolations(), 0);
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        // The database goes while the plug-in that made its objects is still loaded.
        delete db;
        db = nullptr;
        kxtest::ModuleTest::TearDown();
    }

    // A resident object standing for a block definition or a block reference: the root data
    // only indexes ids.
    AcDbObjectId newKey(AcDbDatabase* where = nullptr) {
        auto* obj = new AcDbXrecord();
        AcDbObjectId id;
        EXPECT_EQ((where != nullptr ? where : db)->addAcDbObject(id, obj), Acad::eOk);
        obj->close();
        return id;
    }

    // The database's root data, created and left open for write.
    KxDbTagRootData* openRootData() {
        KxDbTagRootData* rd = nullptr;
        EXPECT_EQ(KxDbTagRootData::openRootData(db, AcDb::kForWrite, true, rd), Acad::eOk);
        return rd;
    }

    static AcDbXrecord* newXrecord(int marker) {
        auto* xrec = new AcDbXrecord();
        resbuf rb{};
        rb.restype = 90;
        rb.resval.rlong = marker;
        xrec->setFromRbChain(rb);
        return xrec;
    }

    // An id that names no object of any database.
    static AcDbObjectId strayId() {
        AcDbObjectId id;
        id.setFromOldId(0x7FFFFFFF0001LL);
        return id;
    }

    // True when no object of the database is still open: with strict opens a write open of an
    // object someone holds fails.
    static bool allClosed(AcDbDatabase* where) {
        bool ok = true;
        kxhost::setStrictOpens(true);
        for (const AcDbObjectId& id : kxhost::objectIds(where)) {
            AcDbObject* obj = nullptr;
            const Acad::ErrorStatus es = acdbOpenObject(obj, id, AcDb::kForWrite, true);
            if (es == Acad::eOk) {
                obj->close();
            } else {
                ADD_FAILURE() << "object " << id.asOldId() << " still open (" << es << ")";
                ok = false;
            }
        }
        kxhost::setStrictOpens(false);
        return ok;
    }

    static bool isErased(const AcDbObjectId& id) { return id.isErased(); }

    // Live (not erased) objects of the database owned by `owner`.
    static int liveOwnedBy(AcDbDatabase* where, const AcDbObjectId& owner) {
        int n = 0;
        for (const AcDbObjectId& id : kxhost::objectIds(where)) {
            AcDbObject* obj = nullptr;
            if (acdbOpenObject(obj, id, AcDb::kForRead) == Acad::eOk) {
                n += obj->ownerId() == owner ? 1 : 0;
                obj->close();
            }
        }
        return n;
    }

    AcDbDatabase* db = nullptr;
};

}  // namespace kxrdtest
