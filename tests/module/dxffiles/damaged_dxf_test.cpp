// A saved dynamic drawing damaged on purpose: cut short at random places and with single groups
// changed at random (a fixed seed, so every run tries the same files). The reader must refuse
// each damaged file with a message naming a line, or give a drawing that can be opened, audited,
// drawn, edited and written again. Nothing may crash, hang or leak (the sanitizer build runs
// this too); the module's own text readers get most of the damage, since their records make up
// most of the file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/core/heap.h"
#include "host/db/auditinfo.h"
#include "host/db/database.h"
#include "host/dxf/dxf_reader.h"
#include "host/dxf/dxf_writer.h"
#include "host/entities/blockref.h"
#include "host/gi/recording.h"
#include "host/testing/regen.h"
#include "panel_drawing.h"
#include "support/module_loader.h"

namespace {

using kxdxftest::narrow;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += '\n';
    }
    return out;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

class DamagedDxfTest : public kxtest::ModuleTest {
  protected:
    void SetUp() override {
        kxtest::ModuleTest::SetUp();
        kxhost::resetUnmatchedCloses();
        db = new AcDbDatabase(true, true);
        ASSERT_NO_FATAL_FAILURE(kxdxftest::buildPanelDrawing(db, panel));
        // The third reference gets records of its own too.
        ASSERT_EQ(kxdxftest::setWidth(panel.refIds[2], panel.paramNode, 7.0), Acad::eOk);
        std::ostringstream out;
        AcString message;
        ASSERT_EQ(kxhost::dxf::writeDxf(db, out, &message), Acad::eOk) << narrow(message);
        text = out.str();
        lines = linesOf(text);
        ASSERT_EQ(lines.size() % 2, 0u);
        ASSERT_EQ(joined(lines), text);
        survey();
    }
    void TearDown() override {
        EXPECT_EQ(kxhost::unmatchedCloses(), 0);
        delete db;
        kxtest::ModuleTest::TearDown();
    }

    // Notes the handles the file defines and which groups belong to records of classes that
    // have a row in CLASSES (the module's records among them).
    void survey() {
        std::set<std::string> classRecords;
        std::string section;
        std::string record;
        for (size_t g = 0; 2 * g + 1 < lines.size(); ++g) {
            const std::string code = trimmed(lines[2 * g]);
            const std::string& value = lines[2 * g + 1];
            if (code == "0") {
                record = value;
            } else if (code == "2" && record == "SECTION") {
                section = value;
            } else if (code == "1" && section == "CLASSES" && record == "CLASS") {
                classRecords.insert(value);
            } else if (code == "5") {
                handles.push_back(value);
            }
            if (section != "CLASSES" && classRecords.count(record) != 0) {
                classGroups.push_back(g);
            }
        }
        ASSERT_GT(classGroups.size(), 200u);
        ASSERT_GT(handles.size(), 50u);
    }

    // One read of a damaged file: refused with a line, or read and put through its paces.
    void tryRead(const std::string& damaged, const std::string& what) {
        const bool failedBefore = HasFailure();
        const long heapBefore = kxhost::heapLiveBlocks();
        std::string outcome;
        {
            std::istringstream in(damaged);
            AcDbDatabase* read = nullptr;
            AcString message;
            const Acad::ErrorStatus es = kxhost::dxf::readDxf(in, read, &message);
            std::unique_ptr<AcDbDatabase> owned(read);
            outcome = "read status " + std::to_string(es) + " " + narrow(message);
            if (es != Acad::eOk) {
                ++refused;
                EXPECT_EQ(read, nullptr) << what;
                EXPECT_EQ(narrow(message).rfind("line ", 0), 0u) << what << ": " << narrow(message);
            } else {
                ++accepted;
                EXPECT_NE(read, nullptr) << what;
                if (read != nullptr) {
                    exercise(read, what);
                }
            }
        }
        EXPECT_EQ(kxhost::heapLiveBlocks(), heapBefore) << what << "; " << outcome;
        EXPECT_EQ(kxhost::unmatchedCloses(), 0) << what;
        kxhost::resetUnmatchedCloses();
        if (!failedBefore && HasFailure()) {
            // The first file that fails is kept for a look.
            char name[] = "/tmp/kxdamagedXXXXXX";
            const int fd = mkstemp(name);
            if (fd >= 0) {
                close(fd);
                std::ofstream(name, std::ios::binary) << damaged;
                std::printf("kept %s\n", name);
            }
        }
    }

    void exercise(AcDbDatabase* read, const std::string& what) {
        for (const AcDbObjectId& id : kxhost::objectIds(read)) {
            AcDbObject* obj = nullptr;
            if (acdbOpenObject(obj, id, AcDb::kForRead) == Acad::eOk) {
                obj->close();
            }
        }
        AcDbAuditInfo info;
        info.setFixErrors(true);
        EXPECT_EQ(kxhost::auditDatabase(read, info), Acad::eOk) << what;
        {
            kxhost::RecordingWorldDraw wd;
            kxhost::regenerate(read, wd);
        }
        // Edits go through the damaged graph and records.
        for (const AcDbObjectId& ref : panel.refIds) {
            AcDbObjectId other;
            if (read->getAcDbObjectId(other, false, ref.handle()) == Acad::eOk) {
                kxdxftest::setWidth(other, panel.paramNode, 9.0);
            }
        }
        std::ostringstream out;
        AcString message;
        if (kxhost::dxf::writeDxf(read, out, &message) == Acad::eOk) {
            ++written;
            // What was accepted and written reads again.
            std::istringstream in(out.str());
            AcDbDatabase* again = nullptr;
            EXPECT_EQ(kxhost::dxf::readDxf(in, again, &message), Acad::eOk)
                << what << ": " << narrow(message);
            delete again;
        } else {
            ADD_FAILURE() << what << ": not written: " << narrow(message);
        }
    }

    AcDbDatabase* db = nullptr;
    kxdxftest::PanelDrawing panel;
    std::string text;
    std::vector<std::string> lines;
    std::vector<std::string> handles;
    std::vector<size_t> classGroups;
    int refused = 0;
    int accepted = 0;
    int written = 0;
};

// A file cut anywhere before its end marker is refused; nothing is built from it.
TEST_F(DamagedDxfTest, TruncatedFilesAreRefused) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<size_t> offset(0, text.size() - 2);
    for (int round = 0; round < 64; ++round) {
        const size_t at = offset(random);
        tryRead(text.substr(0, at), "cut at byte " + std::to_string(at));
    }
    EXPECT_EQ(refused, 64);
}

// One group changed in each file: its value replaced by something of the wrong kind or range, a
// handle of another object, its code swapped with the next group's, or the group dropped or
// doubled.
TEST_F(DamagedDxfTest, SingleGroupCorruptionsAreRefusedOrRead) {
    std::mt19937 random(8122026);
    const std::vector<std::string> values = {"",
                                             "#junk~text",
                                             "99999999999999999999",
                                             "-1",
                                             "-2147483648",
                                             "2147483647",
                                             "0",
                                             "NaN",
                                             "1e309",
                                             "-1e309",
                                             "4294967295",
                                             std::string(3000, 'W'),
                                             std::string(5000, 'W')};
    const std::vector<std::string> codes = {"5",  "330", "360", "70",   "90",   "10",
                                            "40", "1",   "100", "1071", "1001", "102"};
    const size_t groups = lines.size() / 2;
    for (int round = 0; round < 500; ++round) {
        // Most of the damage goes to the records of registered classes.
        const size_t g =
            random() % 5 < 3 ? classGroups[random() % classGroups.size()] : random() % (groups - 1);
        std::vector<std::string> damaged = lines;
        std::string what = "group at line " + std::to_string(2 * g + 1) + " (" +
                           trimmed(lines[2 * g]) + " " + lines[2 * g + 1].substr(0, 30) + "): ";
        const unsigned kind = random() % 6;
        if (kind <= 1) {
            const std::string& v = values[random() % values.size()];
            damaged[2 * g + 1] = v;
            what += "value \"" + v.substr(0, 20) + "\"";
        } else if (kind == 2) {
            const std::string& h = handles[random() % handles.size()];
            damaged[2 * g + 1] = h;
            what += "handle " + h;
        } else if (kind == 3) {
            std::swap(damaged[2 * g], damaged[2 * g + 2]);
            what += "code swapped with the next group's";
        } else if (kind == 4) {
            const std::string& c = codes[random() % codes.size()];
            damaged[2 * g] = c;
            what += "code " + c;
        } else if (random() % 2 == 0) {
            damaged.erase(damaged.begin() + 2 * g, damaged.begin() + 2 * g + 2);
            what += "dropped";
        } else {
            damaged.insert(damaged.begin() + 2 * g, lines.begin() + 2 * g,
                           lines.begin() + 2 * g + 2);
            what += "doubled";
        }
        tryRead(joined(damaged), what);
    }
    // Both outcomes are common: the test reaches the readers' checks and what lies past them.
    EXPECT_GT(refused, 50);
    EXPECT_GT(accepted, 50);
    EXPECT_EQ(written, accepted);
}

}  // namespace
