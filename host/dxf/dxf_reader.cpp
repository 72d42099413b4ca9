#include "host/dxf/dxf_reader.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/core/resbuf.h"
#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/dbobject.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/layer.h"
#include "host/db/proxy.h"
#include "host/db/regapp.h"
#include "host/db/symboltable.h"
#include "host/dxf/dxf_tokens.h"
#include "host/dxf/dxf_writer.h"
#include "host/entities/attrib.h"
#include "host/entities/blockref.h"
#include "host/entities/entity.h"
#include "host/entities/proxyentity.h"
#include "host/rx/rxobject.h"

namespace kxhost {
namespace dxf {

namespace {

constexpr double kPi = 3.14159265358979323846;
// No record of the host has anywhere near this many groups; a record that does is damage, and
// stopping keeps memory bounded by something other than the file size.
constexpr std::size_t kMaxGroupsPerRecord = 1u << 20;

// The inverse of the writer's spelling of control characters ("^J") and carets ("^ ").
std::wstring decodeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '^' && i + 1 < text.size()) {
            const char next = text[i + 1];
            if (next == ' ') {
                out.push_back('^');
                ++i;
                continue;
            }
            if (next >= '@' && next <= '_') {
                out.push_back(static_cast<char>(next - 64));
                ++i;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return AcString::fromUtf8(out).kwszPtr();
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool isPointCode(int code) {
    return (code >= 10 && code <= 18) || (code >= 110 && code <= 112) || code == 210 ||
           (code >= 1010 && code <= 1013);
}

bool isAngleCode(int code) {
    return code >= 50 && code <= 58;
}

bool decodeHex(const std::string& text, std::vector<char>& out) {
    if (text.size() % 2 != 0) {
        return false;
    }
    out.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int v = 0;
        for (int k = 0; k < 2; ++k) {
            const char c = text[i + k];
            int d = 0;
            if (c >= '0' && c <= '9') {
                d = c - '0';
            } else if (c >= 'A' && c <= 'F') {
                d = c - 'A' + 10;
            } else if (c >= 'a' && c <= 'f') {
                d = c - 'a' + 10;
            } else {
                return false;
            }
            v = v * 16 + d;
        }
        out.push_back(static_cast<char>(v));
    }
    return true;
}

struct RbDeleter {
    void operator()(resbuf* rb) const { acutRelRb(rb); }
};
using Chain = std::unique_ptr<resbuf, RbDeleter>;

// A row of the CLASSES section.
struct ClassRow {
    AcString className;
    AcString appName;
    Adesk::UInt32 proxyFlags = 0;
    bool wasProxy = false;
};

struct RxDeleter {
    void operator()(AcRxObject* p) const { delete p; }
};

class Reader {
  public:
    Reader(TokenReader& tokens, AcString* message, std::vector<AcString>* warnings)
        : m_tokens(tokens), m_message(message), m_warnings(warnings) {}

    Acad::ErrorStatus run(AcDbDatabase*& out) {
        out = nullptr;
        if (m_warnings != nullptr) {
            m_warnings->clear();
        }
        m_db.reset(new AcDbDatabase(false, true));
        buildClassMap();
        Acad::ErrorStatus es = readSections();
        if (es == Acad::eOk) {
            es = finish();
        }
        if (es != Acad::eOk) {
            if (m_message != nullptr) {
                *m_message = m_tokens.errorMessage();
            }
            m_db.reset();
            return es;
        }
        out = m_db.release();
        return Acad::eOk;
    }

  private:
    Acad::ErrorStatus fail(Acad::ErrorStatus es, long line, const std::string& what) {
        return m_tokens.fail(es, line, what);
    }

    void buildClassMap() {
        for (AcRxClass* cls : kxhost::registeredClasses()) {
            if (cls == nullptr || cls->dxfName() == nullptr || cls->constructor() == nullptr) {
                continue;
            }
            AcRxClass*& slot = m_classes[cls->dxfName()];
            // Several classes may share a record name (an array insert is an insert); the most
            // basic one reads the plain record.
            if (slot == nullptr || slot->isDerivedFrom(cls)) {
                slot = cls;
            }
        }
    }

    Acad::ErrorStatus readSections() {
        Group g;
        Acad::ErrorStatus es;
        for (;;) {
            if ((es = m_tokens.next(g)) != Acad::eOk) {
                if (es == Acad::eEndOfFile) {
                    return fail(Acad::eBadDxfSequence, m_tokens.line() + 1,
                                "file ends without EOF");
                }
                return es;
            }
            if (g.code == 999) {
                continue;
            }
            if (g.code != 0) {
                return fail(Acad::eBadDxfSequence, g.line, "expected group 0 SECTION or EOF");
            }
            if (g.value == "EOF") {
                return Acad::eOk;
            }
            if (g.value != "SECTION") {
                return fail(Acad::eBadDxfSequence, g.line,
                            "expected SECTION, found \"" + g.value.substr(0, 40) + "\"");
            }
            Group name;
            if ((es = m_tokens.next(name)) != Acad::eOk) {
                return es == Acad::eEndOfFile
                           ? fail(Acad::eBadDxfSequence, g.line, "section without a name")
                           : es;
            }
            if (name.code != 2) {
                return fail(Acad::eBadDxfSequence, name.line, "section without a name");
            }
            m_section = name.value;
            m_entitySection = m_section == "ENTITIES" || m_section == "BLOCKS";
            if (m_section == "HEADER") {
                es = readHeader();
            } else if (m_section == "CLASSES") {
                es = readClasses();
            } else if (m_section == "TABLES" || m_section == "BLOCKS" || m_section == "ENTITIES" ||
                       m_section == "OBJECTS") {
                es = readRecords();
            } else {
                es = skipSection();
            }
            if (es != Acad::eOk) {
                return es;
            }
        }
    }

    // Reads up to and including ENDSEC.
    Acad::ErrorStatus skipSection() {
        Group g;
        Acad::ErrorStatus es;
        while ((es = m_tokens.next(g)) == Acad::eOk) {
            if (g.code == 0 && g.value == "ENDSEC") {
                return Acad::eOk;
            }
        }
        return es == Acad::eEndOfFile
                   ? fail(Acad::eBadDxfSequence, m_tokens.line() + 1, "file ends inside a section")
                   : es;
    }

    Acad::ErrorStatus readHeader() {
        Group g;
        Acad::ErrorStatus es;
        std::string variable;
        while ((es = m_tokens.next(g)) == Acad::eOk) {
            if (g.code == 0) {
                if (g.value == "ENDSEC") {
                    return Acad::eOk;
                }
                return fail(Acad::eBadDxfSequence, g.line, "unexpected record in HEADER");
            }
            if (g.code == 9) {
                variable = g.value;
                continue;
            }
            Adesk::Int64 i = 0;
            const bool isInt = parseInt64(g.value, i);
            if (variable == "$ACADVER") {
                // Other versions lay records out differently (older ones lack handles, owners
                // and subclass markers); reading one as this version would misplace its groups.
                if (trimmed(g.value) != kAcadVer) {
                    return fail(Acad::eInvalidDwgVersion, g.line,
                                "DXF version " + trimmed(g.value).substr(0, 40) +
                                    " is not supported (only " + kAcadVer + ")");
                }
            } else if (variable == "$HANDSEED" && g.code == 5) {
                if (!parseHandle(g.value, m_seed)) {
                    return fail(Acad::eBadDxfSequence, g.line, "bad $HANDSEED");
                }
            } else if (variable == "$ATTMODE" && isInt) {
                m_db->setAttmode(static_cast<Adesk::Int16>(i));
            } else if (variable == "$FILLMODE" && isInt) {
                m_db->setFillmode(i != 0);
            } else if (variable == "$AUNITS" && isInt) {
                m_db->setAunits(static_cast<Adesk::Int16>(i));
            } else if (variable == "$AUPREC" && isInt) {
                m_db->setAuprec(static_cast<Adesk::Int16>(i));
            } else if (variable == "$LUNITS" && isInt) {
                m_db->setLunits(static_cast<Adesk::Int16>(i));
            } else if (variable == "$LUPREC" && isInt) {
                m_db->setLuprec(static_cast<Adesk::Int16>(i));
            }
        }
        return es == Acad::eEndOfFile
                   ? fail(Acad::eBadDxfSequence, m_tokens.line() + 1, "file ends inside HEADER")
                   : es;
    }

    // The class rows: what each record name stands for. Records no class reads keep their row
    // through their proxy, so it can be written back.
    Acad::ErrorStatus readClasses() {
        Group g;
        Acad::ErrorStatus es;
        std::vector<Group> groups;
        while ((es = m_tokens.next(g)) == Acad::eOk) {
            if (g.code != 0) {
                return fail(Acad::eBadDxfSequence, g.line, "expected group 0");
            }
            if (g.value == "ENDSEC") {
                return Acad::eOk;
            }
            if (g.value != "CLASS") {
                return fail(Acad::eBadDxfSequence, g.line, "expected CLASS");
            }
            if ((es = collect(groups)) != Acad::eOk) {
                return es;
            }
            std::string record;
            ClassRow row;
            for (const Group& m : groups) {
                Adesk::Int64 n = 0;
                bool ok = true;
                if (m.code == 1) {
                    record = m.value;
                } else if (m.code == 2) {
                    row.className = AcString(decodeText(m.value).c_str());
                } else if (m.code == 3) {
                    row.appName = AcString(decodeText(m.value).c_str());
                } else if (m.code == 90) {
                    ok = parseInt64(m.value, n) && n >= 0 && n <= UINT32_MAX;
                    row.proxyFlags = static_cast<Adesk::UInt32>(n);
                } else if (m.code == 280) {
                    ok = parseInt64(m.value, n) && (n == 0 || n == 1);
                    row.wasProxy = n == 1;
                } else if (m.code == 91 || m.code == 281) {
                    ok = parseInt64(m.value, n);
                }
                if (!ok) {
                    return fail(Acad::eBadDxfSequence, m.line, "bad value in CLASS");
                }
            }
            if (trimmed(record).empty()) {
                return fail(Acad::eBadDxfSequence, g.line, "CLASS without a record name");
            }
            m_classRows[record] = row;
        }
        return es == Acad::eEndOfFile
                   ? fail(Acad::eBadDxfSequence, m_tokens.line() + 1, "file ends inside CLASSES")
                   : es;
    }

    // The groups of one record, up to the next group 0 (left unread).
    Acad::ErrorStatus collect(std::vector<Group>& groups) {
        groups.clear();
        Group g;
        Acad::ErrorStatus es;
        while ((es = m_tokens.next(g)) == Acad::eOk) {
            if (g.code == 0) {
                m_tokens.pushBack();
                return Acad::eOk;
            }
            if (g.code == 999) {
                continue;
            }
            if (groups.size() >= kMaxGroupsPerRecord) {
                return fail(Acad::eBadDxfSequence, g.line, "record too long");
            }
            groups.push_back(g);
        }
        return es == Acad::eEndOfFile
                   ? fail(Acad::eBadDxfSequence, m_tokens.line() + 1, "file ends inside a record")
                   : es;
    }

    Acad::ErrorStatus readRecords() {
        Group g;
        Acad::ErrorStatus es;
        std::vector<Group> groups;
        // Neither a table nor a sequence of attributes runs on into the next section.
        m_skippingTable = false;
        m_attributesOf.setNull();
        while ((es = m_tokens.next(g)) == Acad::eOk) {
            if (g.code != 0) {
                return fail(Acad::eBadDxfSequence, g.line, "expected group 0");
            }
            if (g.value == "ENDSEC") {
                return Acad::eOk;
            }
            if (trimmed(g.value).empty()) {
                return fail(Acad::eBadDxfSequence, g.line, "record without a name");
            }
            if ((es = collect(groups)) != Acad::eOk || (es = takeFileGroups(groups)) != Acad::eOk) {
                return es;
            }
            // Tables the host does not model (viewports, linetypes, styles, views, coordinate
            // systems, dimension styles) are passed over with their records.
            if (g.value == "TABLE" && !groups.empty() && groups[0].code == 2 &&
                groups[0].value != "LAYER" && groups[0].value != "APPID" &&
                groups[0].value != "BLOCK_RECORD") {
                m_skippingTable = true;
            }
            if (m_skippingTable) {
                noteMarker(groups);
                if (g.value == "ENDTAB") {
                    m_skippingTable = false;
                }
                continue;
            }
            if (g.value == "SEQEND") {
                m_attributesOf.setNull();
            } else if (g.value != "ATTRIB") {
                // Only attributes continue a reference's sequence; anything else ends it.
                m_attributesOf.setNull();
            }
            if (g.value == "BLOCK" && (es = readBlockBegin(g, groups)) != Acad::eOk) {
                return es;
            }
            if (g.value == "ENDTAB" || g.value == "BLOCK" || g.value == "ENDBLK" ||
                g.value == "SEQEND") {
                noteMarker(groups);
                continue;
            }
            if ((es = readRecord(g, groups)) != Acad::eOk) {
                return es;
            }
        }
        return es == Acad::eEndOfFile
                   ? fail(Acad::eBadDxfSequence, m_tokens.line() + 1, "file ends inside a section")
                   : es;
    }

    // A group the writer adds for other readers that the entities do not file themselves: 67
    // in an entity's AcDbEntity part (1: in paper space, which its owner says already).
    Acad::ErrorStatus takeFileGroups(std::vector<Group>& groups) {
        if (!m_entitySection) {
            return Acad::eOk;
        }
        std::string subclass;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const Group& grp = groups[i];
            if (grp.code == 100) {
                subclass = grp.value;
            }
            if (grp.code == 67 && subclass == "AcDbEntity") {
                Adesk::Int64 space = 0;
                if (!parseInt64(grp.value, space) || (space != 0 && space != 1)) {
                    return fail(Acad::eBadDxfSequence, grp.line, "bad space flag");
                }
                continue;
            }
            if (kept != i) {
                groups[kept] = std::move(groups[i]);
            }
            ++kept;
        }
        groups.resize(kept);
        return Acad::eOk;
    }

    // Markers and records the host keeps no object for. Their handles were taken above the
    // drawing's seed by the writer; they are noted so the seed can go back there.
    void noteMarker(const std::vector<Group>& groups) {
        for (const Group& m : groups) {
            Adesk::UInt64 h = 0;
            if ((m.code == 5 || m.code == 105) && parseHandle(m.value, h) &&
                (m_minMarker == 0 || h < m_minMarker)) {
                m_minMarker = h;
            }
        }
    }

    // A BLOCK record gives its block record (named by 330, else by 2) the origin and the
    // external reference flags; the record itself came with the tables.
    Acad::ErrorStatus readBlockBegin(const Group& start, const std::vector<Group>& groups) {
        AcDbObjectId owner;
        std::string name;
        double origin[3] = {0.0, 0.0, 0.0};
        Adesk::Int64 flags = 0;
        Acad::ErrorStatus es;
        for (const Group& m : groups) {
            bool ok = true;
            if (m.code == 330) {
                if ((es = idFor(m, owner)) != Acad::eOk) {
                    return es;
                }
            } else if (m.code == 2) {
                name = m.value;
            } else if (m.code == 10 || m.code == 20 || m.code == 30) {
                ok = parseDouble(m.value, origin[m.code / 10 - 1]);
            } else if (m.code == 70) {
                ok = parseInt64(m.value, flags);
            }
            if (!ok) {
                return fail(Acad::eBadDxfSequence, m.line, "bad value in BLOCK");
            }
        }
        if (owner.isNull() && !name.empty()) {
            AcDbBlockTable* table = nullptr;
            if (acdbOpenObject(table, m_blockTable, AcDb::kForRead) == Acad::eOk) {
                owner = table->findRecord(decodeText(name).c_str(), false);
                table->close();
            }
        }
        AcDbBlockTableRecord* block = nullptr;
        if (owner.isNull() || acdbOpenObject(block, owner, AcDb::kForWrite) != Acad::eOk) {
            return fail(Acad::eBadDxfSequence, start.line, "BLOCK without its block record");
        }
        es = block->setOrigin(AcGePoint3d(origin[0], origin[1], origin[2]));
        if (es == Acad::eOk) {
            es = block->setIsFromExternalReference((flags & 4) != 0);
        }
        if (es == Acad::eOk) {
            es = block->setIsFromOverlayReference((flags & 8) != 0);
        }
        block->close();
        return es == Acad::eOk ? Acad::eOk
                               : fail(es, start.line, "BLOCK not accepted by its block record");
    }

    // The id for a handle in the file, reserved when its object has not been read yet.
    Acad::ErrorStatus idFor(const Group& g, AcDbObjectId& id) {
        id.setNull();
        if (g.value == "0" || g.value.empty()) {
            return Acad::eOk;
        }
        Adesk::UInt64 h = 0;
        if (!parseHandle(g.value, h)) {
            return fail(Acad::eBadDxfSequence, g.line,
                        "bad handle \"" + g.value.substr(0, 40) + "\"");
        }
        if (m_db->getAcDbObjectId(id, true, AcDbHandle(h)) != Acad::eOk) {
            return fail(Acad::eBadDxfSequence, g.line, "cannot use handle " + g.value);
        }
        if (m_referenced.count(h) == 0) {
            m_referenced[h] = g.line;
        }
        return Acad::eOk;
    }

    AcRxClass* classFor(const std::string& recordName, const std::string& tableName) {
        if (recordName == "TABLE") {
            if (tableName == "LAYER") {
                return AcDbLayerTable::desc();
            }
            if (tableName == "BLOCK_RECORD") {
                return AcDbBlockTable::desc();
            }
            if (tableName == "APPID") {
                return AcDbRegAppTable::desc();
            }
            return nullptr;
        }
        auto it = m_classes.find(AcString::fromUtf8(recordName).kwszPtr());
        return it != m_classes.end() ? it->second : nullptr;
    }

    // The object's own groups as filer items.
    Acad::ErrorStatus fillFields(const std::vector<Group>& g, std::size_t from, std::size_t to,
                                 DxfMemoryFiler& filer) {
        for (std::size_t i = from; i < to; ++i) {
            const int code = g[i].code;
            const std::string& v = g[i].value;
            const AcDb::DwgDataType type = acdbGroupCodeToType(code);
            Adesk::Int64 n = 0;
            double d = 0.0;
            if (isPointCode(code)) {
                double c[3] = {0.0, 0.0, 0.0};
                if (!parseDouble(v, c[0])) {
                    return fail(Acad::eBadDxfSequence, g[i].line, "bad coordinate");
                }
                for (int k = 1; k < 3; ++k) {
                    if (i + 1 < to && g[i + 1].code == code + 10 * k) {
                        ++i;
                        if (!parseDouble(g[i].value, c[k])) {
                            return fail(Acad::eBadDxfSequence, g[i].line, "bad coordinate");
                        }
                    } else if (k == 1) {
                        return fail(Acad::eBadDxfSequence, g[i].line, "point without Y");
                    }
                }
                filer.writePoint3d(code, AcGePoint3d(c[0], c[1], c[2]));
                continue;
            }
            switch (type) {
                case AcDb::kDwgReal:
                    if (!parseDouble(v, d)) {
                        return fail(Acad::eBadDxfSequence, g[i].line, "bad real");
                    }
                    filer.writeDouble(code,
                                      isAngleCode(code) && m_entitySection ? d * kPi / 180.0 : d);
                    break;
                case AcDb::kDwgInt8:
                case AcDb::kDwgInt16:
                    if (!parseInt64(v, n) || n < -32768 || n > 32767) {
                        return fail(Acad::eBadDxfSequence, g[i].line, "bad 16-bit integer");
                    }
                    filer.writeInt16(code, static_cast<Adesk::Int16>(n));
                    break;
                case AcDb::kDwgInt32:
                    if (!parseInt64(v, n) || n < INT32_MIN ||
                        n > static_cast<Adesk::Int64>(UINT32_MAX)) {
                        return fail(Acad::eBadDxfSequence, g[i].line, "bad 32-bit integer");
                    }
                    filer.writeInt32(code, static_cast<Adesk::Int32>(n));
                    break;
                case AcDb::kDwgInt64:
                    if (!parseInt64(v, n)) {
                        return fail(Acad::eBadDxfSequence, g[i].line, "bad 64-bit integer");
                    }
                    filer.writeInt64(code, n);
                    break;
                case AcDb::kDwgBChunk: {
                    std::vector<char> bytes;
                    if (!decodeHex(v, bytes) || bytes.size() > 32767) {
                        return fail(Acad::eBadDxfSequence, g[i].line, "bad binary data");
                    }
                    ads_binary chunk{static_cast<short>(bytes.size()), bytes.data()};
                    filer.writeBinaryChunk(code, chunk);
                    break;
                }
                case AcDb::kDwgHardOwnershipId:
                case AcDb::kDwgSoftOwnershipId:
                case AcDb::kDwgHardPointerId:
                case AcDb::kDwgSoftPointerId: {
                    AcDbObjectId id;
                    Acad::ErrorStatus es = idFor(g[i], id);
                    if (es != Acad::eOk) {
                        return es;
                    }
                    filer.writeObjectId(code, id);
                    break;
                }
                default: {
                    if (type != AcDb::kDwgNotRecognized) {
                        filer.writeString(code, decodeText(v).c_str());
                        break;
                    }
                    // Codes the host's table leaves out still have a kind in files (a Y or Z
                    // coordinate whose X is missing is a real): an object that files a 32-bit
                    // value under 190, say, gets it back as one.
                    const UnlistedKind kind = unlistedGroupKind(code);
                    if (kind == UnlistedKind::kReal) {
                        if (!parseDouble(v, d)) {
                            return fail(Acad::eBadDxfSequence, g[i].line, "bad real");
                        }
                        filer.writeDouble(code, d);
                    } else if (kind == UnlistedKind::kInt16) {
                        if (!parseInt64(v, n) || n < -32768 || n > 32767) {
                            return fail(Acad::eBadDxfSequence, g[i].line, "bad 16-bit integer");
                        }
                        filer.writeInt16(code, static_cast<Adesk::Int16>(n));
                    } else if (parseInt64(v, n) && n >= INT32_MIN && n <= INT32_MAX) {
                        filer.writeInt32(code, static_cast<Adesk::Int32>(n));
                    } else if (kind == UnlistedKind::kInt32) {
                        return fail(Acad::eBadDxfSequence, g[i].line, "bad 32-bit integer");
                    } else {
                        filer.writeString(code, decodeText(v).c_str());
                    }
                    break;
                }
            }
            if (filer.filerStatus() != Acad::eOk) {
                return fail(Acad::eBadDxfSequence, g[i].line,
                            "group " + std::to_string(code) +
                                " not accepted: " + filer.errorMessage().utf8());
            }
        }
        return Acad::eOk;
    }

    Acad::ErrorStatus xdataChain(const std::vector<Group>& g, std::size_t from, resbuf*& head) {
        head = nullptr;
        resbuf** tail = &head;
        for (std::size_t i = from; i < g.size(); ++i) {
            const int code = g[i].code;
            if (code < 1000) {
                return fail(Acad::eBadDxfSequence, g[i].line, "object group after extended data");
            }
            resbuf* rb = acutNewRb(code);
            if (rb == nullptr) {
                return fail(Acad::eOutOfMemory, g[i].line, "out of memory");
            }
            *tail = rb;
            tail = &rb->rbnext;
            bool ok = true;
            Adesk::Int64 n = 0;
            if (code >= 1010 && code <= 1013) {
                ok = parseDouble(g[i].value, rb->resval.rpoint[0]);
                for (int k = 1; k < 3 && ok; ++k) {
                    if (i + 1 < g.size() && g[i + 1].code == code + 10 * k) {
                        ++i;
                        ok = parseDouble(g[i].value, rb->resval.rpoint[k]);
                    }
                }
            } else if (code >= 1040 && code <= 1042) {
                ok = parseDouble(g[i].value, rb->resval.rreal);
            } else if (code == 1070) {
                ok = parseInt64(g[i].value, n) && n >= -32768 && n <= 32767;
                rb->resval.rint = static_cast<short>(n);
            } else if (code == 1071) {
                ok = parseInt64(g[i].value, n) && n >= INT32_MIN && n <= INT32_MAX;
                rb->resval.rlong = static_cast<Adesk::Int32>(n);
            } else if (code == 1004) {
                std::vector<char> bytes;
                ok = decodeHex(g[i].value, bytes) && bytes.size() <= 32767;
                if (ok) {
                    char* buf = new char[bytes.empty() ? 1 : bytes.size()];
                    std::copy(bytes.begin(), bytes.end(), buf);
                    rb->resval.rbinary.buf = buf;
                    rb->resval.rbinary.clen = static_cast<short>(bytes.size());
                }
            } else if (code >= 1000 && code <= 1009) {
                rb->resval.rstring = acutNewString(decodeText(g[i].value).c_str());
                ok = rb->resval.rstring != nullptr;
            } else {
                ok = false;
            }
            if (!ok) {
                return fail(Acad::eBadDxfSequence, g[i].line, "bad extended data");
            }
        }
        return Acad::eOk;
    }

    Acad::ErrorStatus readRecord(const Group& start, const std::vector<Group>& g) {
        std::size_t i = 0;
        std::string tableName;
        if (start.value == "TABLE") {
            if (g.empty() || g[0].code != 2) {
                return fail(Acad::eBadDxfSequence, start.line, "table without a name");
            }
            tableName = g[0].value;
            i = 1;
        }
        if (i >= g.size() || g[i].code != 5) {
            return fail(Acad::eBadDxfSequence, start.line, "record without a handle");
        }
        Adesk::UInt64 handle = 0;
        if (!parseHandle(g[i].value, handle)) {
            return fail(Acad::eBadDxfSequence, g[i].line, "bad handle");
        }
        const long handleLine = g[i].line;
        ++i;
        AcDbObjectIdArray reactors;
        AcDbObjectId ext;
        AcDbObjectId owner;
        Acad::ErrorStatus es;
        while (i < g.size() && g[i].code == 102) {
            const std::string which = g[i].value;
            const long line = g[i].line;
            ++i;
            for (; i < g.size() && g[i].code != 102; ++i) {
                AcDbObjectId id;
                if ((es = idFor(g[i], id)) != Acad::eOk) {
                    return es;
                }
                if (which == "{ACAD_REACTORS" && g[i].code == 330) {
                    reactors.append(id);
                } else if (which == "{ACAD_XDICTIONARY" && g[i].code == 360) {
                    ext = id;
                }
            }
            if (i >= g.size() || g[i].value != "}") {
                return fail(Acad::eBadDxfSequence, line, "unclosed 102 group");
            }
            ++i;
        }
        if (i < g.size() && g[i].code == 330) {
            if ((es = idFor(g[i], owner)) != Acad::eOk) {
                return es;
            }
            // The tables belong to the drawing itself; one owned by an object would be written
            // among that object's records.
            if (!tableName.empty() && !owner.isNull()) {
                return fail(Acad::eBadDxfSequence, g[i].line, "table with an owner");
            }
            ++i;
        }
        // Extended data starts with its application name (1001). Objects file groups of the
        // 1010-1071 range among their own fields, so only 1001 ends them.
        std::size_t end = i;
        while (end < g.size() && g[end].code != 1001) {
            ++end;
        }

        // The database made its named objects dictionary and application table already; the
        // file's take their place when they carry the same handles.
        AcDbObjectId existing;
        const bool inUse =
            m_db->getAcDbObjectId(existing, false, AcDbHandle(handle)) == Acad::eOk &&
            existing.isValid();
        AcDbObject* obj = nullptr;
        std::unique_ptr<AcDbObject, RxDeleter> made;
        AcRxClass* cls = classFor(start.value, tableName);
        if (inUse) {
            if (m_defined.count(handle) != 0 || (existing != m_db->namedObjectsDictionaryId() &&
                                                 existing != m_db->regAppTableId())) {
                return fail(Acad::eBadDxfSequence, handleLine, "handle defined twice");
            }
            if ((es = acdbOpenObject(obj, existing, AcDb::kForWrite)) != Acad::eOk) {
                return fail(es, handleLine, "cannot open object");
            }
            if (cls == nullptr || obj->isA() != cls) {
                obj->close();
                return fail(Acad::eBadDxfSequence, handleLine,
                            "record does not match the drawing's own object of that handle");
            }
        } else {
            const bool entity = m_section == "ENTITIES" || m_section == "BLOCKS";
            if (cls == nullptr) {
                made.reset(makeProxy(entity, start.value, rowOf(start.value)));
                warn(start.line, handle, start.value, "kept as a proxy: no class reads it");
            } else {
                made.reset(AcDbObject::cast(cls->create()));
            }
            if (!made) {
                return fail(Acad::eBadDxfSequence, start.line, "cannot create " + start.value);
            }
            if (kxhost::assignHandle(made.get(), AcDbHandle(handle)) != Acad::eOk) {
                return fail(Acad::eBadDxfSequence, handleLine, "handle not usable");
            }
            obj = made.get();
        }
        // Attributes belong to the reference they follow and join the drawing through it.
        auto* attribute = inUse ? nullptr : AcDbAttribute::cast(obj);
        if (attribute != nullptr &&
            (m_attributesOf.isNull() || (!owner.isNull() && owner != m_attributesOf))) {
            return fail(Acad::eBadDxfSequence, start.line,
                        "attribute outside the attributes of a block reference");
        }
        // An entity lives in a block (an attribute in its reference); one owned by anything
        // else could be neither drawn nor written back.
        if (!inUse && attribute == nullptr && AcDbEntity::cast(obj) != nullptr &&
            !isBlockRecord(owner)) {
            return fail(Acad::eBadDxfSequence, start.line, "entity not owned by a block");
        }
        bool unread = false;
        es = fillObject(obj, g, i, end, owner, ext, reactors, start.line, unread);
        if (es == Acad::eOk && unread) {
            // The class read what it knows and left the rest: a layout it does not know (a
            // later version's, or damage). Keeping the record as read would drop those groups
            // on the next save, so the object is kept whole as a proxy instead. Objects others
            // depend on by kind (the tables, block records, attributes, the drawing's own
            // dictionary) stay what they are.
            const bool replaceable = !inUse && attribute == nullptr && start.value != "TABLE" &&
                                     AcDbBlockTableRecord::cast(obj) == nullptr;
            if (!replaceable) {
                warn(start.line, handle, start.value,
                     "groups its class does not read were left out");
            } else {
                const bool entity = AcDbEntity::cast(obj) != nullptr;
                ClassRow own;
                own.className = AcString(obj->isA()->name());
                own.appName =
                    AcString(obj->isA()->appName() != nullptr ? obj->isA()->appName() : L"");
                own.proxyFlags = static_cast<Adesk::UInt32>(obj->isA()->proxyFlags());
                const ClassRow* row = rowOf(start.value);
                made.reset(makeProxy(entity, start.value, row != nullptr ? row : &own));
                obj = made.get();
                if (!made || kxhost::assignHandle(obj, AcDbHandle(handle)) != Acad::eOk) {
                    return fail(Acad::eOutOfMemory, start.line, "cannot create a proxy");
                }
                es = fillObject(obj, g, i, end, owner, ext, reactors, start.line, unread);
                warn(start.line, handle, start.value,
                     "kept as a proxy: its class left groups unread");
            }
        }
        const bool isReference = AcDbBlockReference::cast(obj) != nullptr;
        if (inUse) {
            obj->close();
        } else if (es == Acad::eOk && attribute != nullptr) {
            AcDbBlockReference* ref = nullptr;
            if ((es = acdbOpenObject(ref, m_attributesOf, AcDb::kForWrite)) != Acad::eOk) {
                return fail(es, handleLine, "cannot open the attribute's reference");
            }
            AcDbObjectId id;
            es = ref->appendAttribute(id, attribute);
            ref->close();
            if (es != Acad::eOk) {
                return fail(es, handleLine, "attribute cannot be added");
            }
            made.release()->close();
        } else if (es == Acad::eOk && AcDbEntity::cast(obj) != nullptr && isBlockRecord(owner)) {
            // Entities join the block that owns them in the order the file lists them.
            AcDbBlockTableRecord* block = nullptr;
            if ((es = acdbOpenObject(block, owner, AcDb::kForWrite)) != Acad::eOk) {
                return fail(es, handleLine, "cannot open the entity's block");
            }
            AcDbObjectId id;
            es = block->appendAcDbEntity(id, AcDbEntity::cast(obj));
            block->close();
            if (!id.isNull()) {
                made.release()->close();  // resident now, even when a later step failed
            }
            if (es != Acad::eOk) {
                return fail(es, handleLine, "entity cannot be added to its block");
            }
        } else if (es == Acad::eOk) {
            AcDbObjectId id;
            if ((es = addObject(id, obj, owner)) != Acad::eOk) {
                return fail(es, handleLine, "object cannot be added");
            }
            made.release()->close();
        }
        if (es != Acad::eOk) {
            return es;
        }
        m_defined.insert(handle);
        if (isReference) {
            // Group 66 = 1: ATTRIB records up to a SEQEND follow.
            for (std::size_t k = i; k < end; ++k) {
                Adesk::Int64 follow = 0;
                if (g[k].code == 66 && parseInt64(g[k].value, follow) && follow == 1) {
                    m_db->getAcDbObjectId(m_attributesOf, false, AcDbHandle(handle));
                }
            }
        }
        // Later records look blocks and layers up by name (a reference names its block), so the
        // tables are installed as soon as they are read.
        if (start.value == "TABLE" && (tableName == "BLOCK_RECORD" || tableName == "LAYER")) {
            AcDbObjectId tableId;
            m_db->getAcDbObjectId(tableId, false, AcDbHandle(handle));
            (tableName == "LAYER" ? m_layerTable : m_blockTable) = tableId;
            if ((es = kxhost::setSymbolTables(m_db.get(), m_blockTable, m_layerTable)) !=
                Acad::eOk) {
                return fail(es, handleLine, "table not usable");
            }
        }
        return Acad::eOk;
    }

    bool isBlockRecord(const AcDbObjectId& id) {
        AcDbObject* obj = nullptr;
        if (id.isNull() || acdbOpenObject(obj, id, AcDb::kForRead) != Acad::eOk) {
            return false;
        }
        const bool block = AcDbBlockTableRecord::cast(obj) != nullptr;
        obj->close();
        return block;
    }

    // Table records join their table (which lists them); everything else joins the database
    // and is listed by its owner's own groups.
    Acad::ErrorStatus addObject(AcDbObjectId& id, AcDbObject* obj, const AcDbObjectId& owner) {
        if (auto* rec = AcDbSymbolTableRecord::cast(obj)) {
            AcDbSymbolTable* table = nullptr;
            Acad::ErrorStatus es = acdbOpenObject(table, owner, AcDb::kForWrite);
            if (es != Acad::eOk) {
                return es == Acad::eNotThatKindOfClass ? Acad::eBadDxfSequence : es;
            }
            es = table->add(id, rec);
            table->close();
            return es;
        }
        if (auto* rec = AcDbRegAppTableRecord::cast(obj)) {
            AcDbRegAppTable* table = nullptr;
            Acad::ErrorStatus es = acdbOpenObject(table, owner, AcDb::kForWrite);
            if (es != Acad::eOk) {
                return es == Acad::eNotThatKindOfClass ? Acad::eBadDxfSequence : es;
            }
            es = table->add(id, rec);
            table->close();
            return es;
        }
        return m_db->addAcDbObject(id, obj);
    }

    // The row CLASSES gave a record name (null when it gave none).
    const ClassRow* rowOf(const std::string& recordName) const {
        auto it = m_classRows.find(recordName);
        return it != m_classRows.end() ? &it->second : nullptr;
    }

    // A proxy for a record: an entity proxy for entities, an object proxy otherwise, with the
    // record name to write it back under and what is known of its class (a row of CLASSES).
    template <class Proxy>
    static Proxy* makeProxyOf(const std::string& recordName, const ClassRow* row) {
        auto* p = new Proxy();
        if (p != nullptr) {
            p->setOriginalDxfName(AcString::fromUtf8(recordName).kwszPtr());
            if (row != nullptr) {
                p->setOriginalClassName(row->className.kwszPtr());
                p->setOriginalClassRow(row->appName.kwszPtr(), row->proxyFlags, row->wasProxy);
            }
        }
        return p;
    }
    static AcDbObject* makeProxy(bool entity, const std::string& recordName, const ClassRow* row) {
        if (entity) {
            return makeProxyOf<AcDbProxyEntity>(recordName, row);
        }
        return makeProxyOf<AcDbProxyObject>(recordName, row);
    }

    void warn(long line, Adesk::UInt64 handle, const std::string& recordName,
              const std::string& why) {
        if (m_warnings != nullptr) {
            m_warnings->push_back(AcString::fromUtf8("line " + std::to_string(line) + ": " +
                                                     recordName.substr(0, 40) + " " +
                                                     formatHandle(handle) + " " + why));
        }
    }

    // unread tells whether the object's reader ended before its groups did.
    Acad::ErrorStatus fillObject(AcDbObject* obj, const std::vector<Group>& g, std::size_t from,
                                 std::size_t end, const AcDbObjectId& owner,
                                 const AcDbObjectId& ext, const AcDbObjectIdArray& reactors,
                                 long line, bool& unread) {
        unread = false;
        // The base object's part (owner, extension dictionary, persistent reactors) goes in
        // through its binary filing, the only way in for an existing extension dictionary.
        DwgMemoryFiler base(AcDb::kFileFiler);
        base.writeSoftPointerId(owner);
        base.writeHardOwnershipId(ext);
        base.writeInt32(reactors.length());
        for (const AcDbObjectId& id : reactors) {
            base.writeSoftPointerId(id);
        }
        base.writeInt32(0);
        base.rewind();
        Acad::ErrorStatus es = obj->AcDbObject::dwgInFields(&base);
        if (es != Acad::eOk) {
            return fail(es, line, "common groups not accepted");
        }
        DxfMemoryFiler fields(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                              m_db.get());
        if ((es = fillFields(g, from, end, fields)) != Acad::eOk) {
            return es;
        }
        fields.rewind();
        es = obj->dxfInFields(&fields);
        if (es != Acad::eOk) {
            AcString what = fields.errorMessage();
            return fail(es, line,
                        "object does not accept its groups" +
                            (what.isEmpty() ? std::string() : ": " + what.utf8()));
        }
        if (!fields.atEOF()) {
            unread = true;
            return Acad::eOk;
        }
        if (end < g.size()) {
            resbuf* head = nullptr;
            es = xdataChain(g, end, head);
            Chain chain(head);
            if (es != Acad::eOk) {
                return es;
            }
            if (head != nullptr && (es = obj->setXData(head)) != Acad::eOk) {
                return fail(es, g[end].line, "extended data not accepted");
            }
        }
        return Acad::eOk;
    }

    Acad::ErrorStatus finish() {
        for (const auto& [h, line] : m_referenced) {
            if (m_defined.count(h) == 0) {
                AcDbObjectId id;
                if (m_db->getAcDbObjectId(id, false, AcDbHandle(h)) != Acad::eOk || !id.isValid()) {
                    return fail(Acad::eBadDxfSequence, line,
                                "handle " + formatHandle(h) + " is referenced but never defined");
                }
            }
        }
        // Markers above every object: the drawing's seed was where they start.
        if (m_minMarker != 0 && (m_defined.empty() || m_minMarker > *m_defined.rbegin()) &&
            (m_seed == 0 || m_minMarker < m_seed)) {
            m_seed = m_minMarker;
        }
        if (m_seed > m_db->handseed().value()) {
            m_db->setHandseed(AcDbHandle(m_seed));
        }
        return Acad::eOk;
    }

    TokenReader& m_tokens;
    AcString* m_message;
    std::vector<AcString>* m_warnings;
    std::unique_ptr<AcDbDatabase> m_db;
    std::map<std::wstring, AcRxClass*> m_classes;
    std::map<std::string, ClassRow> m_classRows;
    std::string m_section;
    // Entity records file angles in degrees (see writeFilerItems).
    bool m_entitySection = false;
    std::map<Adesk::UInt64, long> m_referenced;
    std::set<Adesk::UInt64> m_defined;
    AcDbObjectId m_blockTable;
    AcDbObjectId m_layerTable;
    // Inside a table the host does not model.
    bool m_skippingTable = false;
    // The reference whose ATTRIB records are being read (null outside such a sequence).
    AcDbObjectId m_attributesOf;
    Adesk::UInt64 m_seed = 0;
    Adesk::UInt64 m_minMarker = 0;
};

}  // namespace

Acad::ErrorStatus readDxf(std::istream& in, AcDbDatabase*& db, AcString* message,
                          std::vector<AcString>* warnings) {
    TokenReader tokens(in);
    Reader reader(tokens, message, warnings);
    return reader.run(db);
}

Acad::ErrorStatus readDxfFile(const ACHAR* path, AcDbDatabase*& db, AcString* message,
                              std::vector<AcString>* warnings) {
    db = nullptr;
    TokenReader tokens(path);
    if (tokens.status() != Acad::eOk) {
        if (message != nullptr) {
            *message = tokens.errorMessage();
        }
        return tokens.status();
    }
    Reader reader(tokens, message, warnings);
    return reader.run(db);
}

}  // namespace dxf
}  // namespace kxhost
