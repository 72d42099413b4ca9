#include "host/db/dictionary.h"

#include <memory>

#include "host/db/database.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"

ACRX_HOST_DXF_CLASS(AcDbDictionary, AcDbObject, "DICTIONARY");
ACRX_HOST_CLASS(AcDbDictionaryIterator, AcRxObject);

namespace {

// Opens an object for write for the dictionary's own bookkeeping and closes it on every path.
class WriteOpen {
  public:
    explicit WriteOpen(AcDbObjectId id) {
        m_status = acdbOpenAcDbObject(m_obj, id, AcDb::kForWrite, true);
    }
    ~WriteOpen() {
        if (m_obj != nullptr) {
            m_obj->close();
        }
    }
    WriteOpen(const WriteOpen&) = delete;
    WriteOpen& operator=(const WriteOpen&) = delete;

    Acad::ErrorStatus status() const { return m_status; }
    AcDbObject* get() const { return m_obj; }

  private:
    AcDbObject* m_obj = nullptr;
    Acad::ErrorStatus m_status;
};

bool dropsErased(AcDb::FilerType type) {
    return type == AcDb::kFileFiler || type == AcDb::kDeepCloneFiler ||
           type == AcDb::kWblockCloneFiler;
}

}  // namespace

AcDbDictionary::AcDbDictionary() = default;
AcDbDictionary::~AcDbDictionary() = default;

const AcDbDictionary::Entry* AcDbDictionary::findLive(const ACHAR* key) const {
    if (key == nullptr) {
        return nullptr;
    }
    auto it = m_entries.find(acFoldString(key));
    if (it == m_entries.end() || it->second.id.isErased()) {
        return nullptr;
    }
    return &it->second;
}

Acad::ErrorStatus AcDbDictionary::getAt(const ACHAR* key, AcDbObjectId& id) const {
    assertReadEnabled();
    const Entry* e = findLive(key);
    if (e == nullptr) {
        id.setNull();
        return Acad::eKeyNotFound;
    }
    id = e->id;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDictionary::getAt(const ACHAR* key, AcDbObject*& obj,
                                        AcDb::OpenMode mode) const {
    obj = nullptr;
    AcDbObjectId id;
    const Acad::ErrorStatus es = getAt(key, id);
    return es != Acad::eOk ? es : acdbOpenAcDbObject(obj, id, mode);
}

bool AcDbDictionary::has(const ACHAR* key) const {
    assertReadEnabled();
    return findLive(key) != nullptr;
}

bool AcDbDictionary::has(AcDbObjectId id) const {
    assertReadEnabled();
    if (id.isNull() || id.isErased()) {
        return false;
    }
    for (const auto& [folded, e] : m_entries) {
        if (e.id == id) {
            return true;
        }
    }
    return false;
}

int AcDbDictionary::numEntries() const {
    assertReadEnabled();
    int n = 0;
    for (const auto& [folded, e] : m_entries) {
        if (!e.id.isErased()) {
            ++n;
        }
    }
    return n;
}

Acad::ErrorStatus AcDbDictionary::nameAt(AcDbObjectId id, AcString& key) const {
    assertReadEnabled();
    for (const auto& [folded, e] : m_entries) {
        if (e.id == id && !id.isNull()) {
            key = e.key;
            return Acad::eOk;
        }
    }
    return Acad::eKeyNotFound;
}

std::vector<AcDbDictionary::Entry> AcDbDictionary::entries() const {
    assertReadEnabled();
    std::vector<Entry> out;
    for (const auto& [folded, e] : m_entries) {
        if (!e.id.isErased()) {
            out.push_back(e);
        }
    }
    return out;
}

AcDbDictionaryIterator* AcDbDictionary::newIterator() const {
    return new AcDbDictionaryIterator(entries());
}

Acad::ErrorStatus AcDbDictionaryIterator::getObject(AcDbObject*& obj, AcDb::OpenMode mode) const {
    obj = nullptr;
    if (done()) {
        return Acad::eInvalidIndex;
    }
    return acdbOpenAcDbObject(obj, m_entries[m_pos].id, mode);
}

Acad::ErrorStatus AcDbDictionary::setAt(const ACHAR* key, AcDbObject* obj, AcDbObjectId& id) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (key == nullptr || *key == 0) {
        return Acad::eInvalidKey;
    }
    if (obj == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (obj == this) {
        return Acad::eSelfReference;
    }
    AcDbDatabase* db = database();
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    if (obj->database() != nullptr && obj->database() != db) {
        return Acad::eWrongDatabase;
    }
    const std::wstring folded = acFoldString(key);
    auto existing = m_entries.find(folded);
    const bool resident = obj->database() != nullptr;
    if (resident) {
        if (existing != m_entries.end() && existing->second.id == obj->objectId()) {
            existing->second.key = AcString(key);  // same entry, new spelling
            id = obj->objectId();
            assertWriteEnabled(false, true);
            return Acad::eOk;
        }
        for (const auto& [otherKey, e] : m_entries) {
            if (e.id == obj->objectId()) {
                return Acad::eAlreadyInDb;
            }
        }
        if (!obj->isWriteEnabled()) {
            return Acad::eNotOpenForWrite;
        }
    }
    // The replaced object is opened before anything changes, so a refusal leaves everything as
    // it was.
    AcDbObjectId replaced;
    if (existing != m_entries.end() && existing->second.id.isValid() &&
        !existing->second.id.isErased()) {
        replaced = existing->second.id;
    }
    WriteOpen old(replaced);
    if (!replaced.isNull() && old.status() != Acad::eOk) {
        return old.status();
    }
    Acad::ErrorStatus es = Acad::eOk;
    if (!resident) {
        // The owner is known before the object joins the database, so its first write session
        // already carries it.
        obj->setOwnerId(objectId());
        AcDbObjectId added;
        es = db->addAcDbObject(added, obj);
        if (es != Acad::eOk) {
            obj->setOwnerId(AcDbObjectId::kNull);
            return es;
        }
    } else if ((es = obj->setOwnerId(objectId())) != Acad::eOk) {
        return es;
    }
    if (old.get() != nullptr) {
        old.get()->erase(true);
    }
    m_entries[folded] = Entry{AcString(key), obj->objectId()};
    id = obj->objectId();
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDictionary::remove(const ACHAR* key, AcDbObjectId& id) {
    id.setNull();
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (key == nullptr) {
        return Acad::eKeyNotFound;
    }
    auto it = m_entries.find(acFoldString(key));
    if (it == m_entries.end()) {
        return Acad::eKeyNotFound;
    }
    const AcDbObjectId target = it->second.id;
    {
        WriteOpen entry(target);
        if (entry.status() == Acad::eOk) {
            if (entry.get()->ownerId() == objectId()) {
                entry.get()->setOwnerId(AcDbObjectId::kNull);
            }
        } else if (entry.status() != Acad::eUnknownHandle &&
                   entry.status() != Acad::eNullObjectId) {
            return entry.status();  // still there, but not ours to change right now
        }
    }
    m_entries.erase(it);
    id = target;
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDictionary::remove(const ACHAR* key) {
    AcDbObjectId ignored;
    return remove(key, ignored);
}

Acad::ErrorStatus AcDbDictionary::remove(AcDbObjectId id) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    for (const auto& [folded, e] : m_entries) {
        if (e.id == id && !id.isNull()) {
            const AcString key = e.key;
            AcDbObjectId ignored;
            return remove(key.kwszPtr(), ignored);
        }
    }
    return Acad::eKeyNotFound;
}

Acad::ErrorStatus AcDbDictionary::setName(const ACHAR* oldKey, const ACHAR* newKey) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (newKey == nullptr || *newKey == 0) {
        return Acad::eInvalidKey;
    }
    auto it = oldKey != nullptr ? m_entries.find(acFoldString(oldKey)) : m_entries.end();
    if (it == m_entries.end()) {
        return Acad::eKeyNotFound;
    }
    const std::wstring folded = acFoldString(newKey);
    if (folded == it->first) {
        it->second.key = AcString(newKey);
    } else {
        if (m_entries.count(folded) != 0) {
            return Acad::eDuplicateKey;
        }
        Entry moved{AcString(newKey), it->second.id};
        m_entries.erase(it);
        m_entries[folded] = moved;
    }
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDictionary::subErase(Adesk::Boolean erasing) {
    // Every entry is opened before any is changed, so a refusal leaves them all as they were.
    std::vector<std::unique_ptr<WriteOpen>> opened;
    for (const auto& [folded, e] : m_entries) {
        if (!e.id.isValid() || e.id.isErased() == erasing) {
            continue;
        }
        auto entry = std::make_unique<WriteOpen>(e.id);
        if (entry->status() != Acad::eOk) {
            return entry->status();
        }
        opened.push_back(std::move(entry));
    }
    for (const auto& entry : opened) {
        entry->get()->erase(erasing);
    }
    return Acad::eOk;
}

// --- Filing -------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbDictionary::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    std::vector<const Entry*> filed;
    if (type != AcDb::kCopyFiler) {
        for (const auto& [folded, e] : m_entries) {
            if (!(dropsErased(type) && e.id.isErased())) {
                filed.push_back(&e);
            }
        }
    }
    filer->writeInt32(static_cast<Adesk::Int32>(filed.size()));
    for (const Entry* e : filed) {
        filer->writeString(e->key);
        filer->writeHardOwnershipId(e->id);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbDictionary::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    Adesk::Int32 n = 0;
    if ((es = kxhost::detail::readCount(filer, n)) != Acad::eOk) {
        return es;
    }
    std::map<std::wstring, Entry> read;
    for (Adesk::Int32 i = 0; i < n; ++i) {
        AcString key;
        AcDbHardOwnershipId id;
        if ((es = filer->readString(key)) != Acad::eOk ||
            (es = filer->readHardOwnershipId(&id)) != Acad::eOk) {
            return es;
        }
        if (key.isEmpty()) {
            filer->setFilerStatus(Acad::eFilerError);
            return Acad::eFilerError;
        }
        read[acFoldString(key.kwszPtr())] = Entry{key, id};
    }
    m_entries.swap(read);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbDictionary::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbDictionary");
    filer->writeInt8(280, 0);
    filer->writeInt8(281, static_cast<Adesk::Int8>(AcDb::kDrcIgnore));
    for (const auto& [folded, e] : m_entries) {
        if (dropsErased(filer->filerType()) && e.id.isErased()) {
            continue;
        }
        filer->writeString(3, e.key);
        filer->writeObjectId(350, e.id);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbDictionary::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(L"AcDbDictionary")) {
        return filer->filerStatus() != Acad::eOk ? filer->filerStatus() : Acad::eBadDxfSequence;
    }
    std::map<std::wstring, Entry> read;
    AcString pendingKey;
    bool haveKey = false;
    for (;;) {
        resbuf item{};
        es = filer->readItem(&item);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        const int code = item.restype;
        if (code == 3) {
            pendingKey = AcString(item.resval.rstring);
            haveKey = true;
            kxhost::detail::releaseItemValue(item);
        } else if (code == 350 || code == 360) {
            if (!haveKey || pendingKey.isEmpty()) {
                return Acad::eBadDxfSequence;
            }
            AcDbObjectId id;
            id.setFromOldId(item.resval.rlname[0]);
            read[acFoldString(pendingKey.kwszPtr())] = Entry{pendingKey, id};
            haveKey = false;
        } else if (code != 280 && code != 281) {
            // Not ours: a subclass's data follows.
            kxhost::detail::releaseItemValue(item);
            filer->pushBackItem();
            break;
        }
    }
    m_entries.swap(read);
    return filer->filerStatus();
}
