#include "tools/kxblock/session.h"

#include <cstdlib>
#include <vector>

#include "host/db/blocktable.h"
#include "host/db/blocktablerecord.h"
#include "host/dxf/dxf_reader.h"
#include "host/dxf/dxf_writer.h"
#include "host/entities/blockref.h"
#include "host/rx/services.h"
#include "module/graph/eval_variant.h"
#include "module/representation/ref_context.h"
#include "tools/kxblock/plugin.h"

namespace kxtool {

PluginSession::PluginSession(std::ostream& err) : m_path(AcString::fromUtf8(pluginPath())) {
    AcRxDynamicLinker* linker = acrxDynamicLinker();
    if (linker == nullptr || !linker->loadModule(m_path.kwszPtr(), false)) {
        err << "kxblock: cannot load the plug-in " << pluginPath() << "\n";
        return;
    }
    m_loaded = true;
}

PluginSession::~PluginSession() {
    if (m_loaded) {
        acrxDynamicLinker()->unloadModule(m_path.kwszPtr());
    }
}

Drawing::Drawing(const std::string& file, std::ostream& err) {
    AcString message;
    std::vector<AcString> warnings;
    const Acad::ErrorStatus es =
        kxhost::dxf::readDxfFile(AcString::fromUtf8(file).kwszPtr(), m_db, &message, &warnings);
    // Records the host could not read are kept as they are and written back unchanged; the
    // user hears which, since a definition holding one cannot be changed.
    for (const AcString& warning : warnings) {
        err << "kxblock: " << file << ": " << text(warning) << "\n";
    }
    if (es != Acad::eOk || m_db == nullptr) {
        err << "kxblock: cannot read " << file << " (status " << statusText(es) << ")";
        if (!message.isEmpty()) {
            err << ": " << text(message);
        }
        err << "\n";
        delete m_db;
        m_db = nullptr;
    }
}

int withDrawing(const std::string& file, std::ostream& err,
                const std::function<int(AcDbDatabase*)>& body) {
    PluginSession plugin(err);
    if (!plugin.loaded()) {
        return 2;
    }
    Drawing drawing(file, err);
    return drawing.get() != nullptr ? body(drawing.get()) : 1;
}

int withReference(const std::string& file, const std::string& handle, std::ostream& err,
                  const std::function<int(AcDbDatabase*, const AcDbObjectId&)>& body) {
    return withDrawing(file, err, [&](AcDbDatabase* db) {
        const AcDbObjectId refId = referenceByHandle(db, handle, err);
        return refId.isNull() ? 1 : body(db, refId);
    });
}

bool writeDrawing(AcDbDatabase* db, const std::string& path, std::ostream& err) {
    AcString message;
    const Acad::ErrorStatus es =
        kxhost::dxf::writeDxfFile(db, AcString::fromUtf8(path).kwszPtr(), &message);
    if (es != Acad::eOk) {
        err << "kxblock: cannot write " << path << " (status " << statusText(es) << ")";
        if (!message.isEmpty()) {
            err << ": " << text(message);
        }
        err << "\n";
        return false;
    }
    return true;
}

std::string text(const AcString& s) {
    return s.utf8();
}

std::string handleOf(const AcDbObjectId& id) {
    return text(id.handle().getIntoAsciiBuffer());
}

std::string blockName(const AcDbObjectId& btrId) {
    Opened<AcDbBlockTableRecord> btr(btrId, AcDb::kForRead);
    AcString name;
    if (btr.get() != nullptr) {
        btr->getName(name);
    }
    return text(name);
}

std::string statusText(Acad::ErrorStatus es) {
    return std::to_string(static_cast<int>(es));
}

std::string refusal(Acad::ErrorStatus es) {
    std::string out = "status " + statusText(es);
    if (es == kxref::kCannotChange) {
        out +=
            ": the definition holds entities the host does not model, so its references "
            "cannot change";
    }
    return out;
}

AcDbObjectIdArray entitiesOf(const AcDbObjectId& btrId) {
    AcDbObjectIdArray ids;
    Opened<AcDbBlockTableRecord> btr(btrId, AcDb::kForRead);
    if (btr.get() == nullptr) {
        return ids;
    }
    AcDbBlockTableRecordIterator* it = nullptr;
    if (btr->newIterator(it) == Acad::eOk) {
        for (it->start(); !it->done(); it->step()) {
            AcDbObjectId id;
            if (it->getEntityId(id) == Acad::eOk) {
                ids.append(id);
            }
        }
        delete it;
    }
    return ids;
}

AcDbObjectId blockOfReference(const AcDbObjectId& refId) {
    Opened<AcDbBlockReference> ref(refId, AcDb::kForRead);
    return ref.get() != nullptr ? ref->blockTableRecord() : AcDbObjectId();
}

AcDbObjectIdArray blocksOf(AcDbDatabase* db) {
    AcDbObjectIdArray blocks;
    AcDbBlockTable* table = nullptr;
    if (db->getBlockTable(table, AcDb::kForRead) != Acad::eOk) {
        return blocks;
    }
    AcDbBlockTableIterator* it = nullptr;
    if (table->newIterator(it) == Acad::eOk) {
        for (it->start(); !it->done(); it->step()) {
            AcDbObjectId id;
            if (it->getRecordId(id) == Acad::eOk) {
                blocks.append(id);
            }
        }
        delete it;
    }
    table->close();
    return blocks;
}

AcDbObjectId referenceByHandle(AcDbDatabase* db, const std::string& handle, std::ostream& err) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(handle.c_str(), &end, 16);
    if (handle.empty() || handle.size() > 16 || end == nullptr || *end != 0 || value == 0) {
        err << "kxblock: \"" << handle
            << "\" is not a handle (hexadecimal digits, as info shows)\n";
        return AcDbObjectId();
    }
    AcDbObjectId id;
    if (db->getAcDbObjectId(id, false, AcDbHandle(value)) != Acad::eOk || !id.isValid() ||
        id.isErased()) {
        err << "kxblock: the drawing has no object with handle " << handle << "\n";
        return AcDbObjectId();
    }
    Opened<AcDbBlockReference> ref(id, AcDb::kForRead);
    if (ref.get() == nullptr) {
        err << "kxblock: object " << handle << " is not a block reference\n";
        return AcDbObjectId();
    }
    return id;
}

nlohmann::json valueJson(const KxDbTagEvalVariant& v) {
    if (v.isNull()) {
        return nullptr;
    }
    const int t = v.type();
    if ((t >= 10 && t <= 19) || (t >= 110 && t <= 112) || (t >= 1010 && t <= 1013)) {
        const AcGePoint3d p = v.point();
        return nlohmann::json::array({p.x, p.y, p.z});
    }
    if ((t >= 38 && t <= 59) || (t >= 140 && t <= 149) || (t >= 1040 && t <= 1042)) {
        return v.resval.rreal;
    }
    if ((t >= 60 && t <= 79) || (t >= 170 && t <= 179) || (t >= 270 && t <= 289) ||
        (t >= 400 && t <= 409) || t == 1070) {
        return v.resval.rint;
    }
    if ((t >= 90 && t <= 99) || t == 1071) {
        return v.resval.rlong;
    }
    if ((t >= 0 && t <= 9) || (t >= 300 && t <= 309) || t == 1000) {
        return AcString(v.text()).utf8();
    }
    return nullptr;
}

}  // namespace kxtool
