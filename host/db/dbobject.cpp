#include "host/db/dbobject.h"

#include <algorithm>

#include "host/core/heap.h"

#include "host/db/clone_internal.h"
#include "host/db/database.h"
#include "host/db/dictionary.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"
#include "host/db/regapp.h"

ACRX_HOST_CLASS(AcDbObject, AcGiDrawable);
ACRX_HOST_CLASS(AcDbObjectReactor, AcRxObject);

using kxhost::detail::isXDataCode;

// --- Shared helpers
// -------------------------------------------------------------------------------

AcDbObject::State::~State() {
    for (AppData& app : xdata) {
        acutRelRb(app.items);
    }
}

namespace kxhost {
namespace detail {

bool isXDataCode(int code) {
    return code == 1001 ||
           (code >= 1000 && code <= 1071 && acdbGroupCodeToType(code) != AcDb::kDwgNotRecognized);
}

void releaseItemValue(resbuf& item) {
    if (acutRbOwnsString(item.restype)) {
        acHeapFree(item.resval.rstring);
        item.resval.rstring = nullptr;
    } else if (acutRbOwnsBinary(item.restype)) {
        acHeapFree(item.resval.rbinary.buf);
        item.resval.rbinary.buf = nullptr;
        item.resval.rbinary.clen = 0;
    }
}

resbuf* copyOneRb(const resbuf& rb) {
    resbuf single = rb;
    single.rbnext = nullptr;
    return acutCopyRb(&single);
}

Acad::ErrorStatus writeRbItem(AcDbDwgFiler* filer, const resbuf& rb) {
    const int code = rb.restype;
    filer->writeInt16(static_cast<Adesk::Int16>(code));
    const ads_u_val& v = rb.resval;
    AcDbObjectId id;
    id.setFromOldId(v.rlname[0]);
    switch (acdbGroupCodeToType(code)) {
        case AcDb::kDwgText:
        case AcDb::kDwgHandle:
            filer->writeString(v.rstring);
            break;
        case AcDb::kDwgBChunk:
            filer->writeBinaryChunk(v.rbinary);
            break;
        case AcDb::kDwgReal:
            filer->writeDouble(v.rreal);
            break;
        case AcDb::kDwg3Real:
            filer->writePoint3d(AcGePoint3d(v.rpoint[0], v.rpoint[1], v.rpoint[2]));
            break;
        case AcDb::kDwgInt16:
        case AcDb::kDwgInt8:
            filer->writeInt16(v.rint);
            break;
        case AcDb::kDwgInt32:
            filer->writeInt32(v.rlong);
            break;
        case AcDb::kDwgInt64:
            filer->writeInt64(v.mnInt64);
            break;
        case AcDb::kDwgSoftPointerId:
            filer->writeSoftPointerId(id);
            break;
        case AcDb::kDwgHardPointerId:
            filer->writeHardPointerId(id);
            break;
        case AcDb::kDwgSoftOwnershipId:
            filer->writeSoftOwnershipId(id);
            break;
        case AcDb::kDwgHardOwnershipId:
            filer->writeHardOwnershipId(id);
            break;
        default:
            // Chains are checked when they are stored, so this is a damaged buffer.
            filer->setFilerStatus(Acad::eFilerError);
            break;
    }
    return filer->filerStatus();
}

Acad::ErrorStatus readRbItem(AcDbDwgFiler* filer, resbuf*& out, bool (*accept)(int code)) {
    out = nullptr;
    Adesk::Int16 code = 0;
    Acad::ErrorStatus es = filer->readInt16(&code);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::DwgDataType kind = acdbGroupCodeToType(code);
    if (kind == AcDb::kDwgNotRecognized || kind == AcDb::kDwgNull ||
        (accept != nullptr && !accept(code))) {
        filer->setFilerStatus(Acad::eFilerError);
        return Acad::eFilerError;
    }
    resbuf* rb = acutNewRb(code);
    if (rb == nullptr) {
        return Acad::eOutOfMemory;
    }
    ads_u_val& v = rb->resval;
    AcDbHardOwnershipId hardOwner;
    AcDbSoftOwnershipId softOwner;
    AcDbHardPointerId hardPointer;
    AcDbSoftPointerId softPointer;
    switch (kind) {
        case AcDb::kDwgText:
        case AcDb::kDwgHandle:
            es = filer->readString(&v.rstring);
            break;
        case AcDb::kDwgBChunk:
            es = filer->readBinaryChunk(&v.rbinary);
            break;
        case AcDb::kDwgReal:
            es = filer->readDouble(&v.rreal);
            break;
        case AcDb::kDwg3Real: {
            AcGePoint3d p;
            es = filer->readPoint3d(&p);
            v.rpoint[0] = p.x;
            v.rpoint[1] = p.y;
            v.rpoint[2] = p.z;
            break;
        }
        case AcDb::kDwgInt16:
        case AcDb::kDwgInt8:
            es = filer->readInt16(&v.rint);
            break;
        case AcDb::kDwgInt32:
            es = filer->readInt32(&v.rlong);
            break;
        case AcDb::kDwgInt64:
            es = filer->readInt64(&v.mnInt64);
            break;
        case AcDb::kDwgSoftPointerId:
            es = filer->readSoftPointerId(&softPointer);
            v.rlname[0] = softPointer.asOldId();
            break;
        case AcDb::kDwgHardPointerId:
            es = filer->readHardPointerId(&hardPointer);
            v.rlname[0] = hardPointer.asOldId();
            break;
        case AcDb::kDwgSoftOwnershipId:
            es = filer->readSoftOwnershipId(&softOwner);
            v.rlname[0] = softOwner.asOldId();
            break;
        case AcDb::kDwgHardOwnershipId:
            es = filer->readHardOwnershipId(&hardOwner);
            v.rlname[0] = hardOwner.asOldId();
            break;
        default:
            es = Acad::eFilerError;
            break;
    }
    if (es != Acad::eOk) {
        acutRelRb(rb);
        return es;
    }
    out = rb;
    return Acad::eOk;
}

Acad::ErrorStatus readCount(AcDbDwgFiler* filer, Adesk::Int32& count) {
    Adesk::Int32 n = 0;
    const Acad::ErrorStatus es = filer->readInt32(&n);
    if (es != Acad::eOk) {
        return es;
    }
    if (n < 0 || n > kMaxFiledCount) {
        filer->setFilerStatus(Acad::eFilerError);
        return Acad::eFilerError;
    }
    count = n;
    return Acad::eOk;
}

}  // namespace detail
}  // namespace kxhost

namespace {

using AppData = AcDbObject::State::AppData;

void releaseApps(std::vector<AppData>& apps) {
    for (AppData& app : apps) {
        acutRelRb(app.items);
        app.items = nullptr;
    }
    apps.clear();
}

// Splits an extended-data chain at its 1001 groups into per-application copies. A 1001 group
// followed directly by another (or by the end) gives an application with no items. On failure
// nothing is left allocated.
Acad::ErrorStatus splitXData(const resbuf* chain, std::vector<AppData>& out) {
    out.clear();
    if (chain == nullptr || chain->restype != 1001) {
        return Acad::eInvalidInput;
    }
    resbuf** tail = nullptr;
    for (const resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
        if (rb->restype == 1001) {
            if (rb->resval.rstring == nullptr || rb->resval.rstring[0] == 0) {
                releaseApps(out);
                return Acad::eInvalidInput;
            }
            out.push_back(AppData{rb->resval.rstring, nullptr});
            tail = &out.back().items;
            continue;
        }
        if (!isXDataCode(rb->restype)) {
            releaseApps(out);
            return Acad::eInvalidResBuf;
        }
        resbuf* copy = kxhost::detail::copyOneRb(*rb);
        if (copy == nullptr) {
            releaseApps(out);
            return Acad::eOutOfMemory;
        }
        *tail = copy;
        tail = &copy->rbnext;
    }
    return Acad::eOk;
}

std::vector<AppData>::iterator findApp(std::vector<AppData>& apps, const ACHAR* name) {
    return std::find_if(apps.begin(), apps.end(), [name](const AppData& a) {
        return acCompareNoCase(a.app.c_str(), name) == 0;
    });
}

// The application's data as a chain starting with its 1001 group; null when out of memory.
resbuf* appChain(const AppData& app) {
    resbuf* head = acutNewRb(1001);
    if (head == nullptr) {
        return nullptr;
    }
    head->resval.rstring = acutNewString(app.app.c_str());
    if (head->resval.rstring == nullptr) {
        acutRelRb(head);
        return nullptr;
    }
    if (app.items != nullptr) {
        head->rbnext = acutCopyRb(app.items);
        if (head->rbnext == nullptr) {
            acutRelRb(head);
            return nullptr;
        }
    }
    return head;
}

bool writesIds(AcDb::FilerType type) {
    return type != AcDb::kCopyFiler;
}

bool writesXData(AcDb::FilerType type) {
    return type != AcDb::kIdXlateFiler && type != AcDb::kIdFiler && type != AcDb::kPurgeFiler;
}

// Files, clones and wblocks leave erased objects behind, so references to them go out as null.
bool dropsErased(AcDb::FilerType type) {
    return type == AcDb::kFileFiler || type == AcDb::kDeepCloneFiler ||
           type == AcDb::kWblockCloneFiler;
}

}  // namespace

// --- Identity -----------------------------------------------------------------------------------

AcDbObject::AcDbObject() : m_state(new State()) {}

AcDbObject::~AcDbObject() {
    if (m_state->db != nullptr) {
        kxhost::detail::forgetObject(this);
    }
    delete m_state;
}

AcDbObjectId AcDbObject::objectId() const {
    return m_state->db != nullptr ? m_state->id : AcDbObjectId::kNull;
}

AcDbObjectId AcDbObject::ownerId() const {
    return m_state->owner;
}

Acad::ErrorStatus AcDbObject::setOwnerId(AcDbObjectId ownerId) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    m_state->owner = ownerId;
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

AcDbDatabase* AcDbObject::database() const {
    return m_state->db;
}

AcDbHandle AcDbObject::handle() const {
    return m_state->handle;
}

bool AcDbObject::isModified() const {
    return m_state->modified;
}
bool AcDbObject::isNewObject() const {
    return m_state->newObject;
}
bool AcDbObject::isErased() const {
    return m_state->erased;
}

bool AcDbObject::isAProxy() const {
    int depth = 0;
    for (const AcRxClass* c = isA(); c != nullptr && depth < 256; c = c->myParent(), ++depth) {
        if (acCompareNoCase(c->name(), L"AcDbProxyObject") == 0 ||
            acCompareNoCase(c->name(), L"AcDbProxyEntity") == 0) {
            return true;
        }
    }
    return false;
}

// --- Erasure ------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbObject::erase(bool erasing) {
    State* st = m_state;
    if (st->db == nullptr) {
        return Acad::eNotInDatabase;
    }
    if (!st->hasWriteOpen()) {
        return Acad::eNotOpenForWrite;
    }
    if (erasing && st->erased) {
        return Acad::eWasErased;
    }
    if (!erasing && !st->erased) {
        return Acad::eWasNotErased;
    }
    Acad::ErrorStatus es = subErase(erasing);
    if (es != Acad::eOk) {
        return es;
    }
    // The extension dictionary belongs to the object and shares its fate.
    if (st->extDict.isValid() && st->extDict.isErased() != erasing) {
        AcDbObject* dict = nullptr;
        if (acdbOpenAcDbObject(dict, st->extDict, AcDb::kForWrite, true) == Acad::eOk) {
            dict->erase(erasing);
            dict->close();
        }
    }
    st->erased = erasing;
    assertWriteEnabled(false, true);
    kxhost::detail::announceErased(this, erasing);
    return Acad::eOk;
}

// --- Filing -------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbObject::dwgIn(AcDbDwgFiler* filer) {
    return filer != nullptr ? dwgInFields(filer) : Acad::eInvalidInput;
}

Acad::ErrorStatus AcDbObject::dwgOut(AcDbDwgFiler* filer) const {
    return filer != nullptr ? dwgOutFields(filer) : Acad::eInvalidInput;
}

Acad::ErrorStatus AcDbObject::dxfIn(AcDbDxfFiler* filer) {
    return filer != nullptr ? dxfInFields(filer) : Acad::eInvalidInput;
}

Acad::ErrorStatus AcDbObject::dxfOut(AcDbDxfFiler* filer) const {
    return filer != nullptr ? dxfOutFields(filer) : Acad::eInvalidInput;
}

Acad::ErrorStatus AcDbObject::dwgOutFields(AcDbDwgFiler* filer) const {
    assertReadEnabled();
    const State* st = m_state;
    const AcDb::FilerType type = filer->filerType();
    if (writesIds(type)) {
        filer->writeSoftPointerId(st->owner);
        AcDbObjectId ext = st->extDict;
        if (dropsErased(type) && ext.isErased()) {
            ext.setNull();
        }
        filer->writeHardOwnershipId(ext);
        filer->writeInt32(st->persistent.length());
        for (const AcDbObjectId& id : st->persistent) {
            filer->writeSoftPointerId(id);
        }
    }
    if (writesXData(type)) {
        Adesk::Int32 count = 0;
        for (const AppData& app : st->xdata) {
            ++count;
            for (const resbuf* rb = app.items; rb != nullptr; rb = rb->rbnext) {
                ++count;
            }
        }
        filer->writeInt32(count);
        for (const AppData& app : st->xdata) {
            resbuf group{};
            group.restype = 1001;
            group.resval.rstring = const_cast<ACHAR*>(app.app.c_str());
            kxhost::detail::writeRbItem(filer, group);
            for (const resbuf* rb = app.items; rb != nullptr; rb = rb->rbnext) {
                kxhost::detail::writeRbItem(filer, *rb);
            }
        }
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbObject::dwgInFields(AcDbDwgFiler* filer) {
    assertWriteEnabled(false, false);
    const AcDb::FilerType type = filer->filerType();
    // Everything is read before anything is stored, so a damaged stream leaves the object as it
    // was.
    AcDbSoftPointerId owner;
    AcDbHardOwnershipId ext;
    AcDbObjectIdArray reactors;
    Acad::ErrorStatus es = Acad::eOk;
    if (writesIds(type)) {
        Adesk::Int32 n = 0;
        if ((es = filer->readSoftPointerId(&owner)) != Acad::eOk ||
            (es = filer->readHardOwnershipId(&ext)) != Acad::eOk ||
            (es = kxhost::detail::readCount(filer, n)) != Acad::eOk) {
            return es;
        }
        for (Adesk::Int32 i = 0; i < n; ++i) {
            AcDbSoftPointerId id;
            if ((es = filer->readSoftPointerId(&id)) != Acad::eOk) {
                return es;
            }
            reactors.append(id);
        }
    }
    std::vector<AppData> apps;
    if (writesXData(type)) {
        Adesk::Int32 n = 0;
        if ((es = kxhost::detail::readCount(filer, n)) != Acad::eOk) {
            return es;
        }
        resbuf* head = nullptr;
        resbuf** tail = &head;
        for (Adesk::Int32 i = 0; i < n; ++i) {
            resbuf* rb = nullptr;
            if ((es = kxhost::detail::readRbItem(filer, rb, &isXDataCode)) != Acad::eOk) {
                acutRelRb(head);
                return es;
            }
            *tail = rb;
            tail = &rb->rbnext;
        }
        if (head != nullptr) {
            es = splitXData(head, apps);
            acutRelRb(head);
            if (es != Acad::eOk) {
                if (es != Acad::eOutOfMemory) {
                    filer->setFilerStatus(Acad::eFilerError);
                    es = Acad::eFilerError;
                }
                return es;
            }
        }
    }
    State* st = m_state;
    if (writesIds(type)) {
        st->owner = owner;
        st->extDict = ext;
        st->persistent = reactors;
    }
    if (writesXData(type)) {
        releaseApps(st->xdata);
        // An application named with nothing after it carries no data.
        for (AppData& app : apps) {
            if (app.items != nullptr) {
                st->xdata.push_back(app);
            }
        }
        // Copies and clones into a drawing bring their application names along.
        if (st->db != nullptr && type != AcDb::kFileFiler && type != AcDb::kUndoFiler) {
            for (const AppData& app : st->xdata) {
                kxhost::ensureRegApp(st->db, app.app.c_str());
            }
        }
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbObject::dxfOutFields(AcDbDxfFiler* filer) const {
    assertReadEnabled();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::dxfInFields(AcDbDxfFiler* filer) {
    assertWriteEnabled(false, false);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::audit(AcDbAuditInfo* info) {
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::decomposeForSave(AcDb::AcDbDwgVersion ver, AcDbObject*& replaceObj,
                                               AcDbObjectId& replaceId,
                                               Adesk::Boolean& exchangeXData) {
    replaceObj = nullptr;
    replaceId.setNull();
    exchangeXData = false;
    return Acad::eOk;
}

// --- Copying ------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbObject::copyFrom(const AcRxObject* other) {
    if (other == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (other->isA() != isA() || !other->isKindOf(AcDbObject::desc())) {
        return Acad::eWrongObjectType;
    }
    if (other == this) {
        return Acad::eOk;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    const auto* source = static_cast<const AcDbObject*>(other);
    kxhost::DwgMemoryFiler filer(AcDb::kCopyFiler, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                                 source->database());
    Acad::ErrorStatus es = source->dwgOutFields(&filer);
    if (es == Acad::eOk) {
        es = filer.filerStatus();
    }
    if (es != Acad::eOk) {
        return es;
    }
    filer.rewind();
    es = dwgInFields(&filer);
    if (es == Acad::eOk) {
        es = filer.filerStatus();
    }
    if (es == Acad::eOk) {
        assertWriteEnabled(false, true);
    }
    return es;
}

AcRxObject* AcDbObject::clone() const {
    const AcRxClass* cls = isA();
    if (cls == nullptr || cls->constructor() == nullptr) {
        return nullptr;
    }
    AcRxObject* made = cls->create();
    AcDbObject* copy = AcDbObject::cast(made);
    if (copy == nullptr) {
        delete made;
        return nullptr;
    }
    if (copy->copyFrom(this) != Acad::eOk) {
        delete copy;
        return nullptr;
    }
    return copy;
}

Acad::ErrorStatus AcDbObject::deepClone(AcDbObject* pOwner, AcDbObject*& pClone,
                                        AcDbIdMapping& idMap, Adesk::Boolean isPrimary) const {
    return kxhost::detail::cloneObject(this, pOwner, pClone, idMap, isPrimary,
                                       AcDb::kDeepCloneFiler);
}

Acad::ErrorStatus AcDbObject::wblockClone(AcRxObject* pOwner, AcDbObject*& pClone,
                                          AcDbIdMapping& idMap, Adesk::Boolean isPrimary) const {
    return kxhost::detail::cloneObject(this, pOwner, pClone, idMap, isPrimary,
                                       AcDb::kWblockCloneFiler);
}

// --- Reactors -----------------------------------------------------------------------------------

void AcDbObject::addReactor(AcDbObjectReactor* reactor) const {
    if (reactor == nullptr) {
        return;
    }
    assertReadEnabled();
    std::vector<AcDbObjectReactor*>& list = m_state->reactors;
    if (std::find(list.begin(), list.end(), reactor) == list.end()) {
        list.push_back(reactor);
    }
}

void AcDbObject::removeReactor(AcDbObjectReactor* reactor) const {
    std::vector<AcDbObjectReactor*>& list = m_state->reactors;
    list.erase(std::remove(list.begin(), list.end(), reactor), list.end());
}

void AcDbObject::addPersistentReactor(AcDbObjectId id) {
    if (!isWriteEnabled()) {
        assertWriteEnabled(false, false);  // counts the violation
        return;
    }
    if (id.isNull() || m_state->persistent.contains(id)) {
        return;
    }
    m_state->persistent.append(id);
    assertWriteEnabled(false, true);
}

Acad::ErrorStatus AcDbObject::removePersistentReactor(AcDbObjectId id) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (!m_state->persistent.remove(id)) {
        return Acad::eKeyNotFound;
    }
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

bool AcDbObject::hasPersistentReactor(AcDbObjectId id) const {
    return m_state->persistent.contains(id);
}

AcDbObjectIdArray AcDbObject::persistentReactors() const {
    return m_state->persistent;
}

std::vector<AcDbObjectReactor*> AcDbObject::transientReactors() const {
    return m_state->reactors;
}

// --- Extended data ------------------------------------------------------------------------------

resbuf* AcDbObject::xData(const ACHAR* regappName) const {
    assertReadEnabled();
    std::vector<AppData>& apps = m_state->xdata;
    if (regappName != nullptr) {
        auto it = findApp(apps, regappName);
        return it != apps.end() ? appChain(*it) : nullptr;
    }
    resbuf* head = nullptr;
    resbuf* last = nullptr;
    for (const AppData& app : apps) {
        resbuf* chain = appChain(app);
        if (chain == nullptr) {
            acutRelRb(head);
            return nullptr;
        }
        if (last == nullptr) {
            head = chain;
        } else {
            last->rbnext = chain;
        }
        for (last = chain; last->rbnext != nullptr; last = last->rbnext) {
        }
    }
    return head;
}

Acad::ErrorStatus AcDbObject::setXData(const resbuf* xdata) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    std::vector<AppData> incoming;
    Acad::ErrorStatus es = splitXData(xdata, incoming);
    if (es != Acad::eOk) {
        return es;
    }
    State* st = m_state;
    // Callers attach data under names they never registered; the host registers them rather
    // than refusing the data.
    if (st->db != nullptr) {
        for (const AppData& app : incoming) {
            es = kxhost::ensureRegApp(st->db, app.app.c_str());
            if (es != Acad::eOk) {
                releaseApps(incoming);
                return es;
            }
        }
    }
    for (AppData& app : incoming) {
        auto it = findApp(st->xdata, app.app.c_str());
        if (app.items == nullptr) {
            if (it != st->xdata.end()) {
                acutRelRb(it->items);
                st->xdata.erase(it);
            }
        } else if (it != st->xdata.end()) {
            acutRelRb(it->items);
            *it = app;
        } else {
            st->xdata.push_back(app);
        }
        app.items = nullptr;  // moved into the object (or there was none)
    }
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

// --- Extension dictionary -----------------------------------------------------------------------

AcDbObjectId AcDbObject::extensionDictionary() const {
    return m_state->extDict;
}

Acad::ErrorStatus AcDbObject::createExtensionDictionary() {
    State* st = m_state;
    if (st->db == nullptr) {
        return Acad::eNoDatabase;
    }
    if (!st->hasWriteOpen()) {
        return Acad::eNotOpenForWrite;
    }
    if (st->extDict.isValid() && !st->extDict.isErased()) {
        return Acad::eAlreadyInDb;
    }
    auto* dict = new AcDbDictionary();
    if (dict == nullptr) {
        return Acad::eOutOfMemory;
    }
    dict->setOwnerId(st->id);
    AcDbObjectId id;
    const Acad::ErrorStatus es = st->db->addAcDbObject(id, dict);
    if (es != Acad::eOk) {
        delete dict;
        return es;
    }
    dict->close();
    st->extDict = id;
    assertWriteEnabled(false, true);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::releaseExtensionDictionary() {
    State* st = m_state;
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (st->extDict.isNull()) {
        return Acad::eOk;
    }
    AcDbDictionary* dict = nullptr;
    Acad::ErrorStatus es = acdbOpenObject(dict, st->extDict, AcDb::kForWrite, true);
    if (es == Acad::eOk) {
        if (dict->numEntries() > 0) {
            dict->close();
            return Acad::eContainerNotEmpty;
        }
        if (!dict->isErased()) {
            es = dict->erase(true);
        }
        dict->close();
        if (es != Acad::eOk) {
            return es;
        }
    } else if (es != Acad::eUnknownHandle) {
        return es;  // still there but cannot be opened now
    }
    st->extDict.setNull();
    assertWriteEnabled(false, true);
    return Acad::eOk;
}
