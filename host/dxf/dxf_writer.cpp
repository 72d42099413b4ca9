#include "host/dxf/dxf_writer.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/dbobject.h"
#include "host/db/dictionary.h"
#include "host/db/layer.h"
#include "host/db/layout.h"
#include "host/db/proxy.h"
#include "host/db/regapp.h"
#include "host/db/symboltable.h"
#include "host/entities/blockref.h"
#include "host/entities/entity.h"
#include "host/entities/objectiterator.h"
#include "host/entities/proxyentity.h"

namespace kxhost {
namespace dxf {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Closes what it opened on every path.
struct ReadOpen {
    AcDbObject* obj = nullptr;
    Acad::ErrorStatus open(AcDbObjectId id) { return acdbOpenObject(obj, id, AcDb::kForRead); }
    ~ReadOpen() {
        if (obj != nullptr) {
            obj->close();
        }
    }
};

// Control characters cannot stand in a value line; the file format spells them as a caret and
// the character 64 above (a line feed is "^J"), and a caret itself as "^ ".
std::string encodeText(const std::wstring& text) {
    std::string utf8 = AcString(text.c_str()).utf8();
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32) {
            out.push_back('^');
            out.push_back(static_cast<char>(u + 64));
        } else if (c == '^') {
            out += "^ ";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Erased objects are not written, so a reference to one is written as none: the file must not
// name a handle it does not define.
std::string idText(Adesk::Int64 raw) {
    AcDbObjectId id;
    id.setFromOldId(raw);
    const Adesk::UInt64 h = id.isNull() || id.isErased() ? 0 : id.handle().value();
    return h == 0 ? std::string("0") : formatHandle(h);
}

Acad::ErrorStatus writeBinary(TokenWriter& out, int code, const char* data, std::size_t size) {
    static const char kHex[] = "0123456789ABCDEF";
    // One line holds at most 127 bytes; longer data continues under the same code.
    std::size_t pos = 0;
    do {
        std::string line;
        const std::size_t n = std::min<std::size_t>(127, size - pos);
        for (std::size_t i = 0; i < n; ++i) {
            const auto b = static_cast<unsigned char>(data[pos + i]);
            line.push_back(kHex[b >> 4]);
            line.push_back(kHex[b & 15]);
        }
        out.write(code, line);
        pos += n;
    } while (pos < size);
    return out.status();
}

Acad::ErrorStatus writeCoords(TokenWriter& out, int code, const double* v, int count) {
    for (int i = 0; i < count; ++i) {
        out.writeDouble(code + 10 * i, v[i]);
    }
    return out.status();
}

Acad::ErrorStatus writeResbufValue(TokenWriter& out, const resbuf& rb) {
    const int code = rb.restype;
    switch (acdbGroupCodeToType(code)) {
        case AcDb::kDwgReal:
            return out.writeDouble(code, rb.resval.rreal);
        case AcDb::kDwg3Real:
            return writeCoords(out, code, rb.resval.rpoint, 3);
        case AcDb::kDwgInt8:
        case AcDb::kDwgInt16:
            return out.writeInt(code, rb.resval.rint);
        case AcDb::kDwgInt32:
            return out.writeInt(code, rb.resval.rlong);
        case AcDb::kDwgInt64:
            return out.writeInt(code, rb.resval.mnInt64);
        case AcDb::kDwgText:
        case AcDb::kDwgHandle:
            return out.write(code,
                             encodeText(rb.resval.rstring != nullptr ? rb.resval.rstring : L""));
        case AcDb::kDwgBChunk:
            return writeBinary(out, code, rb.resval.rbinary.buf,
                               rb.resval.rbinary.buf != nullptr && rb.resval.rbinary.clen > 0
                                   ? static_cast<std::size_t>(rb.resval.rbinary.clen)
                                   : 0);
        case AcDb::kDwgHardOwnershipId:
        case AcDb::kDwgSoftOwnershipId:
        case AcDb::kDwgHardPointerId:
        case AcDb::kDwgSoftPointerId:
            return out.write(code, idText(rb.resval.rlname[0]));
        default:
            // A code the host's table does not list: the value is read as files give it.
            switch (unlistedGroupKind(code)) {
                case UnlistedKind::kReal:
                    return out.writeDouble(code, rb.resval.rreal);
                case UnlistedKind::kInt16:
                    return out.writeInt(code, rb.resval.rint);
                default:
                    return out.writeInt(code, rb.resval.rlong);
            }
    }
}

Acad::ErrorStatus writeFilerItem(TokenWriter& out, const DxfMemoryFiler::Item& item,
                                 bool anglesInDegrees);

bool isTextItem(const DxfMemoryFiler::Item& item, int code, const wchar_t* text) {
    using Kind = DxfMemoryFiler::ItemKind;
    return item.code == code && (item.kind == Kind::kString || item.kind == Kind::kName) &&
           item.text == text;
}

bool isStandardRecordName(const std::wstring& name) {
    // Records whose layout every reader knows without a CLASSES row.
    static const std::set<std::wstring> kStandard = {
        L"LINE",   L"ARC",          L"CIRCLE",     L"ELLIPSE",   L"LWPOLYLINE", L"POLYLINE",
        L"VERTEX", L"SEQEND",       L"TEXT",       L"MTEXT",     L"POINT",      L"SOLID",
        L"ATTDEF", L"ATTRIB",       L"INSERT",     L"DIMENSION", L"TABLE",      L"LAYER",
        L"APPID",  L"BLOCK_RECORD", L"DICTIONARY", L"XRECORD",   L"LTYPE",      L"STYLE",
        L"VIEW",   L"UCS",          L"VPORT",      L"DIMSTYLE",  L"BLOCK",      L"ENDBLK"};
    return kStandard.count(name) != 0;
}

bool isTable(const AcDbObject* obj) {
    return obj->isKindOf(AcDbSymbolTable::desc()) || obj->isKindOf(AcDbRegAppTable::desc());
}

const ACHAR* recordNameOf(const AcDbObject* obj) {
    if (const auto* p = AcDbProxyObject::cast(obj)) {
        return p->originalDxfName();
    }
    if (const auto* p = AcDbProxyEntity::cast(obj)) {
        return p->originalDxfName();
    }
    return obj->isA() != nullptr ? obj->isA()->dxfName() : nullptr;
}

// What the writer needs to know of every object before it starts.
struct Info {
    AcDbObjectId id;
    AcDbObjectId owner;
    AcRxClass* cls = nullptr;
    bool entity = false;
    bool tableOrRecord = false;
};

// What the file says of an object that the object does not file itself: 67 = 1 for an entity of
// paper space (in its AcDbEntity part) and, for the block record of a space, its layout (the
// value of the record's group 340, which the record itself leaves null).
struct FileGroups {
    bool paperSpace = false;
    AcDbObjectId layout;
};

class DatabaseWriter {
  public:
    DatabaseWriter(AcDbDatabase* db, AcString* message) : m_db(db), m_message(message) {}

    Acad::ErrorStatus run(std::ostream& out) {
        Acad::ErrorStatus es = survey();
        if (es != Acad::eOk) {
            return es;
        }
        m_nextHandle = m_db->handseed().value();
        // The body comes first: the BLOCK/ENDBLK markers, which are not objects of the
        // database, take handles above the seed, and the header has to name the seed after them.
        std::ostringstream body;
        TokenWriter w(body);
        if ((es = writeClasses(w)) != Acad::eOk || (es = writeTables(w)) != Acad::eOk ||
            (es = writeBlocks(w)) != Acad::eOk || (es = writeEntities(w)) != Acad::eOk ||
            (es = writeObjects(w)) != Acad::eOk) {
            return es;
        }
        w.write(0, "EOF");
        if ((es = w.finish()) != Acad::eOk) {
            return fail(es, L"writing failed");
        }
        TokenWriter head(out);
        writeHeader(head);
        if ((es = head.finish()) != Acad::eOk) {
            return fail(es, L"writing failed");
        }
        out << body.str();
        out.flush();
        return out ? Acad::eOk : fail(Acad::eFileAccessErr, L"writing failed");
    }

  private:
    Acad::ErrorStatus fail(Acad::ErrorStatus es, const AcString& what) {
        if (m_message != nullptr && m_message->isEmpty()) {
            *m_message = what;
        }
        return es;
    }

    Acad::ErrorStatus survey() {
        for (const AcDbObjectId& id : objectIds(m_db)) {
            if (id.isErased()) {
                continue;
            }
            ReadOpen o;
            const Acad::ErrorStatus es = o.open(id);
            if (es != Acad::eOk) {
                return fail(es,
                            AcString().format(L"cannot open object %s",
                                              AcString::fromUtf8(idText(id.asOldId())).kwszPtr()));
            }
            Info info;
            info.id = id;
            info.owner = o.obj->ownerId();
            info.cls = o.obj->isA();
            info.entity = o.obj->isKindOf(AcDbEntity::desc());
            info.tableOrRecord = o.obj->isKindOf(AcDbSymbolTable::desc()) ||
                                 o.obj->isKindOf(AcDbSymbolTableRecord::desc()) ||
                                 o.obj->isKindOf(AcDbRegAppTable::desc()) ||
                                 o.obj->isKindOf(AcDbRegAppTableRecord::desc());
            if (const auto* layout = AcDbLayout::cast(o.obj)) {
                m_layoutOf[layout->getBlockTableRecordId().asOldId()] = id;
            }
            m_byOwner[info.owner.asOldId()].push_back(id);
            m_infos.push_back(info);
        }
        return Acad::eOk;
    }

    void writeHeader(TokenWriter& w) {
        w.write(0, "SECTION");
        w.write(2, "HEADER");
        w.write(9, "$ACADVER");
        w.write(1, kAcadVer);
        w.write(9, "$DWGCODEPAGE");
        w.write(3, "ANSI_1252");
        w.write(9, "$HANDSEED");
        w.writeHandle(5, m_nextHandle);
        w.write(9, "$ATTMODE");
        w.writeInt(70, m_db->attmode());
        w.write(9, "$FILLMODE");
        w.writeInt(70, m_db->fillmode() ? 1 : 0);
        w.write(9, "$AUNITS");
        w.writeInt(70, m_db->aunits());
        w.write(9, "$AUPREC");
        w.writeInt(70, m_db->auprec());
        w.write(9, "$LUNITS");
        w.writeInt(70, m_db->lunits());
        w.write(9, "$LUPREC");
        w.writeInt(70, m_db->luprec());
        const AcGePoint3d org = m_db->ucsorg();
        const AcGeVector3d xd = m_db->ucsxdir();
        const AcGeVector3d yd = m_db->ucsydir();
        const double o[3] = {org.x, org.y, org.z};
        const double x[3] = {xd.x, xd.y, xd.z};
        const double y[3] = {yd.x, yd.y, yd.z};
        w.write(9, "$UCSORG");
        writeCoords(w, 10, o, 3);
        w.write(9, "$UCSXDIR");
        writeCoords(w, 10, x, 3);
        w.write(9, "$UCSYDIR");
        writeCoords(w, 10, y, 3);
        w.write(0, "ENDSEC");
    }

    // One row per record name the drawing uses that readers cannot know without it: the
    // registered classes of the objects, and for proxies the row their file gave them.
    struct ClassRow {
        AcString record;
        AcString className;
        AcString appName;
        Adesk::UInt32 proxyFlags = 0;
        bool wasProxy = false;
        bool entity = false;
        long count = 0;
    };

    template <class Proxy>
    static bool proxyRow(const Proxy* proxy, ClassRow& row) {
        row.record = AcString(proxy->originalDxfName());
        row.className = AcString(proxy->originalClassName());
        row.appName = AcString(proxy->originalAppName());
        row.proxyFlags = proxy->originalProxyFlags();
        row.wasProxy = proxy->originalWasProxy();
        return !row.className.isEmpty();
    }

    Acad::ErrorStatus writeClasses(TokenWriter& w) {
        std::vector<ClassRow> rows;
        std::map<std::wstring, std::size_t> index;
        for (const Info& info : m_infos) {
            AcRxClass* cls = info.cls;
            ClassRow row;
            bool have = false;
            if (cls == AcDbProxyObject::desc() || cls == AcDbProxyEntity::desc()) {
                ReadOpen o;
                if (o.open(info.id) == Acad::eOk) {
                    if (const auto* p = AcDbProxyObject::cast(o.obj)) {
                        have = proxyRow(p, row);
                    } else if (const auto* e = AcDbProxyEntity::cast(o.obj)) {
                        have = proxyRow(e, row);
                    }
                }
            } else if (cls != nullptr && cls->dxfName() != nullptr) {
                row.record = AcString(cls->dxfName());
                row.className = AcString(cls->name());
                row.appName =
                    AcString(cls->appName() != nullptr ? cls->appName() : L"ObjectDBX Classes");
                row.proxyFlags = static_cast<Adesk::UInt32>(cls->proxyFlags());
                have = true;
            }
            if (!have || row.record.isEmpty() || isStandardRecordName(row.record.kwszPtr())) {
                continue;
            }
            auto it = index.find(row.record.kwszPtr());
            if (it != index.end()) {
                ++rows[it->second].count;
                continue;
            }
            row.entity = info.entity;
            row.count = 1;
            index[row.record.kwszPtr()] = rows.size();
            rows.push_back(row);
        }
        w.write(0, "SECTION");
        w.write(2, "CLASSES");
        for (const ClassRow& row : rows) {
            w.write(0, "CLASS");
            w.write(1, row.record);
            w.write(2, encodeText(row.className.kwszPtr()));
            w.write(3, encodeText(row.appName.kwszPtr()));
            w.writeInt(90, row.proxyFlags);
            w.writeInt(91, row.count);
            w.writeInt(280, row.wasProxy ? 1 : 0);
            w.writeInt(281, row.entity ? 1 : 0);
        }
        w.write(0, "ENDSEC");
        return w.status();
    }

    const std::vector<AcDbObjectId>& owned(const AcDbObjectId& owner) const {
        static const std::vector<AcDbObjectId> kNone;
        auto it = m_byOwner.find(owner.asOldId());
        return it != m_byOwner.end() ? it->second : kNone;
    }

    Acad::ErrorStatus writeTable(TokenWriter& w, const AcDbObjectId& tableId,
                                 const char* tableName) {
        if (tableId.isNull()) {
            return Acad::eOk;
        }
        ReadOpen table;
        Acad::ErrorStatus es = table.open(tableId);
        if (es != Acad::eOk) {
            return fail(es, AcString::fromUtf8(std::string("cannot open table ") + tableName));
        }
        if ((es = writeRecord(w, table.obj, L"TABLE", tableName)) != Acad::eOk) {
            return es;
        }
        for (const AcDbObjectId& id : owned(tableId)) {
            ReadOpen rec;
            if ((es = rec.open(id)) != Acad::eOk) {
                return fail(es, L"cannot open a table record");
            }
            if (isTable(rec.obj)) {
                continue;  // a table has a place of its own, whatever its owner says
            }
            FileGroups extra;
            auto layout = m_layoutOf.find(id.asOldId());
            if (layout != m_layoutOf.end() && AcDbBlockTableRecord::cast(rec.obj) != nullptr) {
                extra.layout = layout->second;
            }
            if ((es = writeRecord(w, rec.obj, recordNameOf(rec.obj), nullptr, extra)) !=
                Acad::eOk) {
                return es;
            }
        }
        w.write(0, "ENDTAB");
        return w.status();
    }

    // Tables the host does not model are written with the minimal records readers expect
    // (the active viewport, the three basic linetypes, the Standard text and dimension styles).
    // Like the BLOCK markers they take handles above the seed; the reader passes them over.
    std::string fixedTableHead(TokenWriter& w, const char* name, int count) {
        const std::string handle = formatHandle(m_nextHandle++);
        w.write(0, "TABLE");
        w.write(2, name);
        w.write(5, handle);
        w.write(330, "0");
        w.write(100, "AcDbSymbolTable");
        w.writeInt(70, count);
        return handle;
    }

    void fixedRecordHead(TokenWriter& w, const char* record, const std::string& table,
                         const char* subclass, const char* name, int handleCode = 5) {
        w.write(0, record);
        w.writeHandle(handleCode, m_nextHandle++);
        w.write(330, table);
        w.write(100, "AcDbSymbolTableRecord");
        w.write(100, subclass);
        w.write(2, name);
        w.writeInt(70, 0);
    }

    void writeFixedTablesBeforeLayers(TokenWriter& w) {
        std::string table = fixedTableHead(w, "VPORT", 1);
        fixedRecordHead(w, "VPORT", table, "AcDbViewportTableRecord", "*Active");
        const double zero[2] = {0.0, 0.0};
        const double one[2] = {1.0, 1.0};
        const double ten[2] = {10.0, 10.0};
        const double up[3] = {0.0, 0.0, 1.0};
        const double origin[3] = {0.0, 0.0, 0.0};
        writeCoords(w, 10, zero, 2);  // lower left corner
        writeCoords(w, 11, one, 2);   // upper right corner
        writeCoords(w, 12, zero, 2);  // view centre
        writeCoords(w, 13, zero, 2);  // snap base
        writeCoords(w, 14, ten, 2);   // snap spacing
        writeCoords(w, 15, ten, 2);   // grid spacing
        writeCoords(w, 16, up, 3);    // view direction
        writeCoords(w, 17, origin, 3);
        w.writeDouble(40, 100.0);  // view height
        w.writeDouble(41, 1.0);    // aspect ratio
        w.writeDouble(42, 50.0);   // lens length
        w.writeDouble(43, 0.0);
        w.writeDouble(44, 0.0);
        w.writeDouble(50, 0.0);
        w.writeDouble(51, 0.0);
        w.writeInt(71, 0);
        w.writeInt(72, 100);
        w.writeInt(73, 1);
        w.writeInt(74, 3);
        w.writeInt(75, 0);
        w.writeInt(76, 0);
        w.writeInt(77, 0);
        w.writeInt(78, 0);
        w.write(0, "ENDTAB");

        table = fixedTableHead(w, "LTYPE", 3);
        for (const char* name : {"ByBlock", "ByLayer", "Continuous"}) {
            fixedRecordHead(w, "LTYPE", table, "AcDbLinetypeTableRecord", name);
            w.write(3, std::string(name) == "Continuous" ? "Solid line" : "");
            w.writeInt(72, 65);
            w.writeInt(73, 0);
            w.writeDouble(40, 0.0);
        }
        w.write(0, "ENDTAB");
    }

    void writeFixedTablesAfterLayers(TokenWriter& w) {
        const std::string table = fixedTableHead(w, "STYLE", 1);
        fixedRecordHead(w, "STYLE", table, "AcDbTextStyleTableRecord", "Standard");
        w.writeDouble(40, 0.0);  // fixed height: none
        w.writeDouble(41, 1.0);  // width factor
        w.writeDouble(50, 0.0);  // oblique angle
        w.writeInt(71, 0);
        w.writeDouble(42, 2.5);  // last height used
        w.write(3, "txt");
        w.write(4, "");
        w.write(0, "ENDTAB");
        fixedTableHead(w, "VIEW", 0);
        w.write(0, "ENDTAB");
        fixedTableHead(w, "UCS", 0);
        w.write(0, "ENDTAB");
    }

    void writeFixedDimStyles(TokenWriter& w) {
        const std::string table = fixedTableHead(w, "DIMSTYLE", 1);
        w.write(100, "AcDbDimStyleTable");
        w.writeInt(71, 0);
        // Dimension styles carry their handle under 105.
        fixedRecordHead(w, "DIMSTYLE", table, "AcDbDimStyleTableRecord", "Standard", 105);
        w.write(0, "ENDTAB");
    }

    Acad::ErrorStatus writeTables(TokenWriter& w) {
        w.write(0, "SECTION");
        w.write(2, "TABLES");
        Acad::ErrorStatus es;
        writeFixedTablesBeforeLayers(w);
        if ((es = writeTable(w, m_db->layerTableId(), "LAYER")) != Acad::eOk) {
            return es;
        }
        writeFixedTablesAfterLayers(w);
        if ((es = writeTable(w, m_db->regAppTableId(), "APPID")) != Acad::eOk) {
            return es;
        }
        writeFixedDimStyles(w);
        if ((es = writeTable(w, m_db->blockTableId(), "BLOCK_RECORD")) != Acad::eOk) {
            return es;
        }
        w.write(0, "ENDSEC");
        return w.status();
    }

    Acad::ErrorStatus writeBlockEntities(TokenWriter& w, AcDbBlockTableRecord* block,
                                         bool paperSpace = false) {
        FileGroups extra;
        extra.paperSpace = paperSpace;
        AcDbBlockTableRecordIterator* it = nullptr;
        Acad::ErrorStatus es = block->newIterator(it);
        if (es != Acad::eOk || it == nullptr) {
            return fail(es != Acad::eOk ? es : Acad::eOutOfMemory, L"cannot walk a block");
        }
        for (it->start(); !it->done() && es == Acad::eOk; it->step()) {
            AcDbObjectId id;
            if (it->getEntityId(id) != Acad::eOk) {
                continue;
            }
            ReadOpen ent;
            if ((es = ent.open(id)) != Acad::eOk) {
                fail(es, L"cannot open an entity");
                break;
            }
            es = writeRecord(w, ent.obj, recordNameOf(ent.obj), nullptr, extra);
            if (es == Acad::eOk) {
                if (const auto* ref = AcDbBlockReference::cast(ent.obj)) {
                    es = writeAttributes(w, ref, extra);
                }
            }
        }
        delete it;
        return es;
    }

    // A reference's attributes follow it as ATTRIB records closed by a SEQEND (the reference
    // says so with its group 66); they are owned by the reference, so their 330 names it.
    Acad::ErrorStatus writeAttributes(TokenWriter& w, const AcDbBlockReference* ref,
                                      const FileGroups& extra) {
        bool any = false;
        Acad::ErrorStatus es = Acad::eOk;
        std::unique_ptr<AcDbObjectIterator> it(ref->attributeIterator());
        if (it == nullptr) {
            return fail(Acad::eOutOfMemory, L"cannot walk attributes");
        }
        for (it->start(); !it->done(); it->step()) {
            const AcDbObjectId id = it->objectId();
            if (id.isNull() || id.isErased()) {
                continue;
            }
            ReadOpen att;
            if ((es = att.open(id)) != Acad::eOk) {
                return fail(es, L"cannot open an attribute");
            }
            if ((es = writeRecord(w, att.obj, recordNameOf(att.obj), nullptr, extra)) !=
                Acad::eOk) {
                return es;
            }
            any = true;
        }
        if (any) {
            w.write(0, "SEQEND");
            w.writeHandle(5, m_nextHandle++);
            w.write(330, formatHandle(ref->objectId().handle().value()));
            w.write(100, "AcDbEntity");
            if (extra.paperSpace) {
                w.writeInt(67, 1);
            }
            w.write(8, encodeText(layerNameOf(ref)));
        }
        return w.status();
    }

    static std::wstring layerNameOf(const AcDbEntity* ent) {
        ReadOpen layer;
        if (layer.open(ent->layerId()) == Acad::eOk) {
            if (const auto* rec = AcDbLayerTableRecord::cast(layer.obj)) {
                return rec->name();
            }
        }
        return L"0";
    }

    Acad::ErrorStatus writeBlocks(TokenWriter& w) {
        w.write(0, "SECTION");
        w.write(2, "BLOCKS");
        const AcDbObjectId model = m_db->modelSpaceId();
        const AcDbObjectId paper = paperSpaceId();
        for (const AcDbObjectId& id : owned(m_db->blockTableId())) {
            ReadOpen o;
            Acad::ErrorStatus es = o.open(id);
            if (es != Acad::eOk) {
                return fail(es, L"cannot open a block");
            }
            auto* block = AcDbBlockTableRecord::cast(o.obj);
            if (block == nullptr) {
                continue;
            }
            const std::string handle = formatHandle(id.handle().value());
            const AcGePoint3d org = block->origin();
            const double v[3] = {org.x, org.y, org.z};
            w.write(0, "BLOCK");
            w.writeHandle(5, m_nextHandle++);
            w.write(330, handle);
            w.write(100, "AcDbEntity");
            w.write(8, "0");
            w.write(100, "AcDbBlockBegin");
            w.write(2, encodeText(block->name()));
            // The origin and the external reference flags live here, not on the block record.
            w.writeInt(70, (block->isAnonymous() ? 1 : 0) |
                               (block->isFromExternalReference() ? 4 : 0) |
                               (block->isFromOverlayReference() ? 8 : 0));
            writeCoords(w, 10, v, 3);
            w.write(3, encodeText(block->name()));
            w.write(1, "");
            // The entities of model space and paper space go to the ENTITIES section.
            if (id != model && id != paper && (es = writeBlockEntities(w, block)) != Acad::eOk) {
                return es;
            }
            w.write(0, "ENDBLK");
            w.writeHandle(5, m_nextHandle++);
            w.write(330, handle);
            w.write(100, "AcDbEntity");
            w.write(8, "0");
            w.write(100, "AcDbBlockEnd");
        }
        w.write(0, "ENDSEC");
        return w.status();
    }

    AcDbObjectId paperSpaceId() const {
        AcDbBlockTable* table = nullptr;
        if (m_db->getBlockTable(table, AcDb::kForRead) != Acad::eOk) {
            return AcDbObjectId::kNull;
        }
        const AcDbObjectId id = table->findRecord(ACDB_PAPER_SPACE, false);
        table->close();
        return id;
    }

    // Model space, then paper space, whose entities say so with their group 67.
    Acad::ErrorStatus writeEntities(TokenWriter& w) {
        w.write(0, "SECTION");
        w.write(2, "ENTITIES");
        const AcDbObjectId spaces[2] = {m_db->modelSpaceId(), paperSpaceId()};
        for (int i = 0; i < 2; ++i) {
            if (spaces[i].isNull()) {
                continue;
            }
            ReadOpen o;
            Acad::ErrorStatus es = o.open(spaces[i]);
            if (es != Acad::eOk) {
                return fail(
                    es, i == 0 ? L"cannot open the model space" : L"cannot open the paper space");
            }
            if (auto* block = AcDbBlockTableRecord::cast(o.obj)) {
                if ((es = writeBlockEntities(w, block, i == 1)) != Acad::eOk) {
                    return es;
                }
            }
        }
        w.write(0, "ENDSEC");
        return w.status();
    }

    Acad::ErrorStatus writeObjects(TokenWriter& w) {
        w.write(0, "SECTION");
        w.write(2, "OBJECTS");
        // Readers take the first object for the named objects dictionary.
        const AcDbObjectId nod = m_db->namedObjectsDictionaryId();
        std::vector<AcDbObjectId> order;
        order.push_back(nod);
        for (const Info& info : m_infos) {
            if (!info.entity && !info.tableOrRecord && info.id != nod) {
                order.push_back(info.id);
            }
        }
        for (const AcDbObjectId& id : order) {
            ReadOpen o;
            Acad::ErrorStatus es = o.open(id);
            if (es != Acad::eOk) {
                return fail(es, L"cannot open an object");
            }
            if ((es = writeRecord(w, o.obj, recordNameOf(o.obj), nullptr)) != Acad::eOk) {
                return es;
            }
        }
        w.write(0, "ENDSEC");
        return w.status();
    }

    Acad::ErrorStatus writeRecord(TokenWriter& w, const AcDbObject* obj, const ACHAR* recordName,
                                  const char* tableName, const FileGroups& extra = FileGroups()) {
        // An object a table owns but does not model (a proxy among its records) is written with
        // the table's records; the OBJECTS section must not write it again.
        if (!m_written.insert(obj->objectId().asOldId()).second) {
            return Acad::eOk;
        }
        const Acad::ErrorStatus es = writeOne(w, obj, recordName, tableName, extra);
        if (es != Acad::eOk) {
            return fail(es, AcString().format(
                                L"object %s (%s) cannot be written",
                                AcString::fromUtf8(formatHandle(obj->handle().value())).kwszPtr(),
                                obj->isA() != nullptr ? obj->isA()->name() : L"?"));
        }
        return es;
    }

  public:
    static Acad::ErrorStatus writeOne(TokenWriter& w, const AcDbObject* obj,
                                      const ACHAR* recordName, const char* tableName,
                                      const FileGroups& extra = FileGroups()) {
        if (recordName == nullptr || *recordName == 0) {
            return Acad::eNotImplementedYet;
        }
        DxfMemoryFiler fields(AcDb::kFileFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                              obj->database());
        Acad::ErrorStatus es = obj->dxfOutFields(&fields);
        if (es == Acad::eOk) {
            es = fields.filerStatus();
        }
        if (es != Acad::eOk) {
            return es;
        }
        w.write(0, AcString(recordName));
        if (tableName != nullptr) {
            w.write(2, tableName);
        }
        w.writeHandle(5, obj->handle().value());
        const AcDbObjectIdArray reactors = obj->persistentReactors();
        if (!reactors.isEmpty()) {
            w.write(102, "{ACAD_REACTORS");
            for (const AcDbObjectId& id : reactors) {
                w.write(330, idText(id.asOldId()));
            }
            w.write(102, "}");
        }
        const AcDbObjectId ext = obj->extensionDictionary();
        if (!ext.isNull() && !ext.isErased()) {
            w.write(102, "{ACAD_XDICTIONARY");
            w.write(360, idText(ext.asOldId()));
            w.write(102, "}");
        }
        w.write(330, idText(obj->ownerId().asOldId()));
        const bool degrees = obj->isKindOf(AcDbEntity::desc());
        bool inBlockRecord = false;
        for (const DxfMemoryFiler::Item& item : fields.items()) {
            if (item.code == 100) {
                inBlockRecord = isTextItem(item, 100, L"AcDbBlockTableRecord");
            }
            if (inBlockRecord && item.code == 340 && !extra.layout.isNull()) {
                es = w.write(340, idText(extra.layout.asOldId()));
            } else {
                es = writeFilerItem(w, item, degrees);
            }
            if (es != Acad::eOk) {
                return es;
            }
            if (extra.paperSpace && isTextItem(item, 100, L"AcDbEntity")) {
                w.writeInt(67, 1);
            }
        }
        resbuf* xdata = obj->xData();
        es = writeResbufChain(w, xdata);
        acutRelRb(xdata);
        return es;
    }

  private:
    AcDbDatabase* m_db;
    AcString* m_message;
    std::vector<Info> m_infos;
    std::map<Adesk::Int64, std::vector<AcDbObjectId>> m_byOwner;
    std::set<Adesk::Int64> m_written;
    // Block record -> the layout presenting it.
    std::map<Adesk::Int64, AcDbObjectId> m_layoutOf;
    Adesk::UInt64 m_nextHandle = 1;
};

}  // namespace

namespace {

Acad::ErrorStatus writeFilerItem(TokenWriter& out, const DxfMemoryFiler::Item& item,
                                 bool anglesInDegrees) {
    using Kind = DxfMemoryFiler::ItemKind;
    {
        const int code = item.code;
        switch (item.kind) {
            case Kind::kBool:
            case Kind::kInt8:
            case Kind::kUInt8:
            case Kind::kInt16:
            case Kind::kUInt16:
            case Kind::kInt32:
            case Kind::kUInt32:
            case Kind::kInt64:
                out.writeInt(code, item.integer);
                break;
            case Kind::kUInt64:
                out.write(code, std::to_string(static_cast<unsigned long long>(item.integer)));
                break;
            case Kind::kDouble:
                out.writeDouble(code, item.v[0]);
                break;
            case Kind::kAngle:
                out.writeDouble(code, anglesInDegrees && code >= 50 && code <= 58
                                          ? item.v[0] * 180.0 / kPi
                                          : item.v[0]);
                break;
            case Kind::kString:
            case Kind::kName:
                out.write(code, encodeText(item.text));
                break;
            case Kind::kHandle:
                out.write(code, item.integer == 0
                                    ? std::string("0")
                                    : formatHandle(static_cast<Adesk::UInt64>(item.integer)));
                break;
            case Kind::kPoint2d:
            case Kind::kVector2d:
                writeCoords(out, code, item.v, 2);
                break;
            case Kind::kPoint3d:
            case Kind::kVector3d:
            case Kind::kScale3d:
                writeCoords(out, code, item.v, 3);
                break;
            case Kind::kObjectId:
                out.write(code, idText(item.integer));
                break;
            case Kind::kBinaryChunk:
                writeBinary(out, code, item.bytes.data(), item.bytes.size());
                break;
            case Kind::kRaw: {
                resbuf rb{};
                rb.restype = static_cast<short>(code);
                rb.resval = item.raw;
                writeResbufValue(out, rb);
                break;
            }
        }
    }
    return out.status();
}

}  // namespace

Acad::ErrorStatus writeFilerItems(TokenWriter& out, const DxfMemoryFiler& filer,
                                  bool anglesInDegrees) {
    for (const DxfMemoryFiler::Item& item : filer.items()) {
        if (writeFilerItem(out, item, anglesInDegrees) != Acad::eOk) {
            break;
        }
    }
    return out.status();
}

Acad::ErrorStatus writeResbufChain(TokenWriter& out, const resbuf* chain) {
    for (const resbuf* rb = chain; rb != nullptr && out.status() == Acad::eOk; rb = rb->rbnext) {
        writeResbufValue(out, *rb);
    }
    return out.status();
}

Acad::ErrorStatus writeObjectRecord(TokenWriter& out, const AcDbObject* obj,
                                    const ACHAR* recordName) {
    if (obj == nullptr) {
        return Acad::eNullObjectPointer;
    }
    return DatabaseWriter::writeOne(out, obj, recordName, nullptr);
}

Acad::ErrorStatus writeDxf(AcDbDatabase* db, std::ostream& out, AcString* message) {
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    DatabaseWriter writer(db, message);
    return writer.run(out);
}

Acad::ErrorStatus writeDxfFile(AcDbDatabase* db, const ACHAR* path, AcString* message) {
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    std::ofstream file(AcString(path).utf8(), std::ios::binary | std::ios::trunc);
    if (!file.is_open()) {
        if (message != nullptr) {
            message->format(L"cannot create %s", AcString(path).kwszPtr());
        }
        return Acad::eFileAccessErr;
    }
    Acad::ErrorStatus es = writeDxf(db, file, message);
    file.close();
    if (es == Acad::eOk && file.fail()) {
        es = Acad::eFileAccessErr;
    }
    return es;
}

}  // namespace dxf
}  // namespace kxhost
