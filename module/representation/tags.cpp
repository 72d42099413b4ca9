// Block and entity tags on extended data.
#include "module/representation/tags.h"

#include <set>

#include "host/core/resbuf.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/entities/attdef.h"
#include "host/entities/entity.h"

namespace kxtags {
namespace {

// Owns a result-buffer chain.
struct Chain {
    resbuf* head = nullptr;
    resbuf* tail = nullptr;
    Chain() = default;
    explicit Chain(resbuf* rb) : head(rb) {}
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    ~Chain() {
        if (head != nullptr) {
            acutRelRb(head);
        }
    }
    resbuf* append(int type) {
        resbuf* rb = acutNewRb(type);
        if (rb == nullptr) {
            return nullptr;
        }
        (tail == nullptr ? head : tail->rbnext) = rb;
        tail = rb;
        return rb;
    }
    bool appendString(int type, const ACHAR* text) {
        resbuf* rb = append(type);
        if (rb == nullptr) {
            return false;
        }
        rb->resval.rstring = acutNewString(text);
        return rb->resval.rstring != nullptr;
    }
    bool appendShort(int type, short value) {
        resbuf* rb = append(type);
        if (rb != nullptr) {
            rb->resval.rint = value;
        }
        return rb != nullptr;
    }
    bool appendLong(int type, Adesk::Int32 value) {
        resbuf* rb = append(type);
        if (rb != nullptr) {
            rb->resval.rlong = value;
        }
        return rb != nullptr;
    }
};

// The application's data of an object, checked for the 1001 group and the 1070 1 version.
// Returns the item after the version, or null when the data is missing or malformed.
const resbuf* tagBody(const Chain& chain, const ACHAR* app) {
    const resbuf* rb = chain.head;
    if (rb == nullptr || rb->restype != 1001 || rb->resval.rstring == nullptr ||
        acCompareNoCase(rb->resval.rstring, app) != 0) {
        return nullptr;
    }
    rb = rb->rbnext;
    if (rb == nullptr || rb->restype != 1070 || rb->resval.rint != 1) {
        return nullptr;
    }
    return rb->rbnext;
}

bool readHandle(const resbuf* rb, AcDbHandle& handle) {
    if (rb == nullptr || rb->restype != 1005 || rb->resval.rstring == nullptr) {
        return false;
    }
    handle = AcDbHandle(rb->resval.rstring);
    return true;
}

AcString handleText(const AcDbHandle& handle) {
    return handle.isNull() ? AcString(L"0") : handle.getIntoAsciiBuffer();
}

}  // namespace

Acad::ErrorStatus writeBlockTag(AcDbObject* block, const AcDbObjectId& definitionId) {
    if (block == nullptr) {
        return Acad::eNullObjectPointer;
    }
    AcDbHandle handle;
    if (!definitionId.isNull()) {
        handle = definitionId.handle();
    }
    Chain chain;
    if (!chain.appendString(1001, kBlockTagApp) || !chain.appendShort(1070, 1) ||
        !chain.appendString(1005, handleText(handle).kwszPtr())) {
        return Acad::eOutOfMemory;
    }
    return block->setXData(chain.head);
}

Acad::ErrorStatus readBlockTag(const AcDbObject* block, AcDbObjectId& definitionId) {
    definitionId = AcDbObjectId();
    if (block == nullptr) {
        return Acad::eNullObjectPointer;
    }
    Chain chain(block->xData(kBlockTagApp));
    const resbuf* rb = tagBody(chain, kBlockTagApp);
    AcDbHandle handle;
    if (!readHandle(rb, handle) || rb->rbnext != nullptr) {
        return Acad::eInvalidKey;
    }
    AcDbDatabase* db = block->database();
    if (!handle.isNull() && db != nullptr) {
        AcDbObjectId id;
        if (db->getAcDbObjectId(id, false, handle) == Acad::eOk) {
            definitionId = id;
        }
    }
    return Acad::eOk;
}

bool hasBlockTag(const AcDbObject* block) {
    AcDbObjectId ignored;
    return readBlockTag(block, ignored) == Acad::eOk;
}

Acad::ErrorStatus writeEntityTag(AcDbObject* entity, Adesk::Int32 index,
                                 const AcDbHandle& definitionEntity) {
    if (entity == nullptr) {
        return kNullEntity;
    }
    if (index < 0) {
        return Acad::eInvalidKey;
    }
    Chain chain;
    if (!chain.appendString(1001, kEntityTagApp) || !chain.appendShort(1070, 1) ||
        !chain.appendLong(1071, index) ||
        !chain.appendString(1005, handleText(definitionEntity).kwszPtr())) {
        return Acad::eOutOfMemory;
    }
    return entity->setXData(chain.head);
}

Acad::ErrorStatus readEntityTag(const AcDbObject* entity, Adesk::Int32& index,
                                AcDbHandle& definitionEntity) {
    index = -1;
    definitionEntity.setNull();
    if (entity == nullptr) {
        return kNullEntity;
    }
    Chain chain(entity->xData(kEntityTagApp));
    const resbuf* rb = tagBody(chain, kEntityTagApp);
    if (rb == nullptr || rb->restype != 1071 || rb->resval.rlong < 0) {
        return Acad::eInvalidKey;
    }
    const Adesk::Int32 value = rb->resval.rlong;
    AcDbHandle handle;
    if (!readHandle(rb->rbnext, handle) || rb->rbnext->rbnext != nullptr) {
        return Acad::eInvalidKey;
    }
    index = value;
    definitionEntity = handle;
    return Acad::eOk;
}

Acad::ErrorStatus copyEntityTag(const AcDbObject* from, AcDbObject* to) {
    if (to == nullptr) {
        return kNullEntity;
    }
    Adesk::Int32 index = -1;
    AcDbHandle handle;
    const Acad::ErrorStatus es = readEntityTag(from, index, handle);
    return es != Acad::eOk ? es : writeEntityTag(to, index, handle);
}

Acad::ErrorStatus removeEntityTag(AcDbObject* entity) {
    if (entity == nullptr) {
        return kNullEntity;
    }
    Chain existing(entity->xData(kEntityTagApp));
    if (existing.head == nullptr) {
        return Acad::eOk;
    }
    Chain chain;
    if (!chain.appendString(1001, kEntityTagApp)) {
        return Acad::eOutOfMemory;
    }
    return entity->setXData(chain.head);
}

Acad::ErrorStatus writeNextIndexTag(AcDbObject* block, Adesk::Int32 nextIndex) {
    if (block == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (nextIndex < 0) {
        return Acad::eInvalidKey;
    }
    Chain chain;
    if (!chain.appendString(1001, kEntityTagApp) || !chain.appendShort(1070, 1) ||
        !chain.appendLong(1071, nextIndex)) {
        return Acad::eOutOfMemory;
    }
    return block->setXData(chain.head);
}

Acad::ErrorStatus readNextIndexTag(const AcDbObject* block, Adesk::Int32& nextIndex) {
    nextIndex = 0;
    if (block == nullptr) {
        return Acad::eNullObjectPointer;
    }
    Chain chain(block->xData(kEntityTagApp));
    const resbuf* rb = tagBody(chain, kEntityTagApp);
    if (rb == nullptr || rb->restype != 1071 || rb->resval.rlong < 0) {
        return Acad::eInvalidKey;
    }
    nextIndex = rb->resval.rlong;
    return Acad::eOk;
}

Acad::ErrorStatus tagDefinition(const AcDbObjectId& definitionId) {
    if (definitionId.isNull()) {
        return Acad::eNullObjectId;
    }
    AcDbBlockTableRecord* block = nullptr;
    Acad::ErrorStatus es = acdbOpenObject(block, definitionId, AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    Adesk::Int32 next = 0;
    const bool hadNext = readNextIndexTag(block, next) == Acad::eOk;  // none: start at 0
    const Adesk::Int32 recordedNext = next;

    // First pass: which entities keep their tags. An index is kept by the first entity that
    // carries it and whose tag names the entity itself, so fresh indices can then start above
    // every kept one and never collide with an index still in use.
    const AcDbObjectIdArray ids = kxhost::blockEntityIds(definitionId);
    std::set<Adesk::Int32> seen;
    std::vector<bool> keeps(static_cast<size_t>(ids.length()), false);
    for (int i = 0; i < ids.length(); ++i) {
        AcDbEntity* ent = nullptr;
        if (acdbOpenAcDbEntity(ent, ids[i], AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        Adesk::Int32 index = -1;
        AcDbHandle handle;
        // An index at the top of the range (damage: no tagger hands it out) leaves no room
        // for the next one; that entity gets a fresh tag instead.
        if (readEntityTag(ent, index, handle) == Acad::eOk && index < INT32_MAX &&
            (handle == ent->handle() || AcDbAttributeDefinition::cast(ent) != nullptr) &&
            seen.insert(index).second) {
            keeps[static_cast<size_t>(i)] = true;
            if (index >= next) {
                next = index + 1;
            }
        }
        ent->close();
    }

    // Second pass: fresh tags for the others.
    for (int i = 0; i < ids.length() && es == Acad::eOk; ++i) {
        if (keeps[static_cast<size_t>(i)]) {
            continue;
        }
        AcDbEntity* ent = nullptr;
        if (acdbOpenAcDbEntity(ent, ids[i], AcDb::kForWrite, false, true) != Acad::eOk) {
            continue;
        }
        const AcDbHandle own =
            AcDbAttributeDefinition::cast(ent) != nullptr ? AcDbHandle() : ent->handle();
        es = next < INT32_MAX ? writeEntityTag(ent, next, own) : Acad::eInvalidIndex;
        if (es == Acad::eOk) {
            ++next;
        }
        ent->close();
    }
    // An already tagged definition is left unmodified.
    if (es == Acad::eOk && (!hadNext || next != recordedNext)) {
        es = writeNextIndexTag(block, next);
    }
    block->close();
    return es;
}

}  // namespace kxtags
