#include "bench/bench_support.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

#include "host/core/acstring.h"
#include "host/db/blocktablerecord.h"
#include "host/db/opened.h"
#include "host/entities/blockref.h"
#include "host/entities/line.h"
#include "host/ge/matrix3d.h"
#include "host/rx/services.h"
#include "module/grips/grip_callbacks.h"
#include "tools/authoring/authoring.h"

namespace kxbench {
namespace {

constexpr double kLength = 10.0;

AcString& modulePath() {
    static AcString path;
    return path;
}

std::string pluginFile() {
    if (const char* env = std::getenv("KXBLOCKS_MODULE"); env != nullptr && *env != 0) {
        return env;
    }
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    const size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
    return dir + "/kxblocks.so";
}

using kxhost::Opened;

}  // namespace

bool loadModule() {
    AcRxDynamicLinker* linker = acrxDynamicLinker();
    modulePath() = AcString::fromUtf8(pluginFile().c_str());
    return linker != nullptr && linker->loadModule(modulePath().kwszPtr());
}

void unloadModule() {
    if (AcRxDynamicLinker* linker = acrxDynamicLinker()) {
        linker->unloadModule(modulePath().kwszPtr());
    }
}

StretchDrawing::~StretchDrawing() {
    delete db;
}

Acad::ErrorStatus StretchDrawing::build(int lines, int referenceCount) {
    delete db;
    db = new AcDbDatabase(true, true);
    std::vector<AcDbEntity*> entities;
    entities.reserve(static_cast<size_t>(lines));
    for (int i = 0; i < lines; ++i) {
        entities.push_back(kxauthor::line(AcGePoint3d(0, i, 0), AcGePoint3d(kLength, i, 0)));
    }
    kxauthor::Author author(db);
    author.rootData().definition(L"STRETCH", entities).graph();
    author.linear(AcGePoint3d(0, -1, 0), AcGePoint3d(kLength, -1, 0), L"Width", 1);
    if (!author.ok()) {
        return author.status();
    }
    definitionId = author.definitionId();
    definitionEntities = kxhost::blockEntityIds(definitionId);
    // The frame takes the parameter's end and the right ends of lines 0 .. lines/2 - 1.
    const double top = lines / 2 - 0.5;
    AcDbObjectId actionId;
    Acad::ErrorStatus es = kxauthor::addStretchAction(
        db, author.graphId(), author.parameterId(), definitionEntities,
        AcGePoint2d(kLength - 1, -2), AcGePoint2d(kLength + 1, top), L"Stretch", actionId);
    if (es != Acad::eOk) {
        return es;
    }
    references.setLogicalLength(0);
    for (int i = 0; i < referenceCount && es == Acad::eOk; ++i) {
        AcDbObjectId refId;
        es = insert(refId);
    }
    return es;
}

Acad::ErrorStatus StretchDrawing::insert(AcDbObjectId& referenceId) {
    const int i = references.length();
    const Acad::ErrorStatus es = kxauthor::insertReference(
        db, definitionId, AcGePoint3d(20.0 * (i % 100), 20.0 * (i / 100), 0), 0.0, 1.0,
        referenceId);
    if (es == Acad::eOk) {
        references.append(referenceId);
    }
    return es;
}

HeldGrip::~HeldGrip() {
    release();
}

Acad::ErrorStatus HeldGrip::collect(const AcDbObjectId& referenceId) {
    release();
    m_ref = referenceId;
    {
        Opened<AcDbBlockReference> ref(referenceId, AcDb::kForRead);
        if (ref.status() != Acad::eOk) {
            return ref.status();
        }
        const Acad::ErrorStatus es = ref->getGripPoints(m_records, 1.0, 5, AcGeVector3d::kZAxis, 0);
        if (es != Acad::eOk) {
            return es;
        }
    }
    for (int i = 0; i < m_records.length(); ++i) {
        if (kxgrips::appDataOf(m_records[i]) != nullptr) {
            m_appData.append(m_records[i]->appData());
            return Acad::eOk;
        }
    }
    return Acad::eNotApplicable;
}

Acad::ErrorStatus HeldGrip::drag(double dx) {
    Opened<AcDbBlockReference> ref(m_ref, AcDb::kForWrite);
    if (ref.status() != Acad::eOk) {
        return ref.status();
    }
    return ref->moveGripPointsAt(m_appData, AcGeVector3d(dx, 0, 0), 0);
}

void HeldGrip::release() {
    if (!m_ref.isNull()) {
        Opened<AcDbBlockReference> ref(m_ref, AcDb::kForRead);
        if (ref.status() == Acad::eOk) {
            ref->gripStatus(AcDb::kGripsToBeDeleted);
        }
    }
    for (int i = 0; i < m_records.length(); ++i) {
        delete m_records[i];
    }
    m_records.setLogicalLength(0);
    m_appData.setLogicalLength(0);
    m_ref = AcDbObjectId();
}

double firstLineRight(const AcDbObjectId& referenceId) {
    AcDbObjectId blockId;
    {
        Opened<AcDbBlockReference> ref(referenceId, AcDb::kForRead);
        if (ref.status() != Acad::eOk) {
            return -1e300;
        }
        blockId = ref->blockTableRecord();
    }
    const AcDbObjectIdArray ids = kxhost::blockEntityIds(blockId);
    if (ids.isEmpty()) {
        return -1e300;
    }
    Opened<AcDbLine> line(ids[0], AcDb::kForRead);
    if (line.status() != Acad::eOk) {
        return -1e300;
    }
    return std::max(line->startPoint().x, line->endPoint().x);
}

Acad::ErrorStatus transformEntities(const AcDbObjectIdArray& ids, double dx) {
    const AcGeMatrix3d move = AcGeMatrix3d::translation(AcGeVector3d(dx, 0, 0));
    for (const AcDbObjectId& id : ids) {
        Opened<AcDbEntity> entity(id, AcDb::kForWrite);
        if (entity.status() != Acad::eOk) {
            return entity.status();
        }
        const Acad::ErrorStatus es = entity->transformBy(move);
        if (es != Acad::eOk) {
            return es;
        }
    }
    return Acad::eOk;
}

}  // namespace kxbench
