#include "host/db/sortents.h"

#include <algorithm>
#include <set>
#include <vector>

#include "host/db/blocktablerecord.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"
#include "host/db/symboltable.h"
#include "host/entities/entity_filing.h"

ACRX_HOST_DXF_CLASS(AcDbSortentsTable, AcDbObject, "SORTENTSTABLE");

AcDbSortentsTable::AcDbSortentsTable() = default;
AcDbSortentsTable::~AcDbSortentsTable() = default;

AcDbObjectId AcDbSortentsTable::blockId() const {
    assertReadEnabled();
    return m_block;
}

Acad::ErrorStatus AcDbSortentsTable::setBlockId(AcDbObjectId blockId) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    assertWriteEnabled();
    m_block = blockId;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSortentsTable::currentOrder(AcDbObjectIdArray& order) const {
    order.setLogicalLength(0);
    if (m_block.isNull()) {
        return Acad::eNullObjectId;
    }
    if (AcDbBlockTableRecord::cast(kxhost::detail::residentObject(m_block)) == nullptr) {
        return Acad::eKeyNotFound;
    }
    const AcDbObjectIdArray live = kxhost::blockEntityIds(m_block);
    const std::set<AcDbObjectId> members(live.begin(), live.end());
    std::set<AcDbObjectId> placed;
    for (const AcDbObjectId& id : m_order) {
        if (members.count(id) != 0 && placed.insert(id).second) {
            order.append(id);
        }
    }
    for (const AcDbObjectId& id : live) {
        if (placed.count(id) == 0) {
            order.append(id);
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSortentsTable::checkEntities(const AcDbObjectIdArray& ids,
                                                   const AcDbObjectIdArray& order) const {
    const std::set<AcDbObjectId> members(order.begin(), order.end());
    std::set<AcDbObjectId> seen;
    for (const AcDbObjectId& id : ids) {
        if (id.isNull() || members.count(id) == 0 || !seen.insert(id).second) {
            return Acad::eInvalidInput;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSortentsTable::getFullDrawOrder(AcDbObjectIdArray& ids,
                                                      Adesk::UInt8 honorMask) const {
    assertReadEnabled();
    return currentOrder(ids);
}

Acad::ErrorStatus AcDbSortentsTable::getRelativeDrawOrder(AcDbObjectIdArray& ids,
                                                          Adesk::UInt8 honorMask) const {
    assertReadEnabled();
    AcDbObjectIdArray order;
    Acad::ErrorStatus es = currentOrder(order);
    if (es != Acad::eOk) {
        return es;
    }
    if ((es = checkEntities(ids, order)) != Acad::eOk) {
        return es;
    }
    std::sort(ids.begin(), ids.end(), [&order](const AcDbObjectId& a, const AcDbObjectId& b) {
        return order.find(a) < order.find(b);
    });
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSortentsTable::setRelativeDrawOrder(const AcDbObjectIdArray& ids) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    AcDbObjectIdArray order;
    Acad::ErrorStatus es = currentOrder(order);
    if (es != Acad::eOk) {
        return es;
    }
    if ((es = checkEntities(ids, order)) != Acad::eOk) {
        return es;
    }
    // The places the given entities hold now, in draw order, are handed out in the given order.
    std::vector<int> places;
    for (const AcDbObjectId& id : ids) {
        places.push_back(order.find(id));
    }
    std::sort(places.begin(), places.end());
    for (size_t i = 0; i < places.size(); ++i) {
        order[places[i]] = ids[static_cast<int>(i)];
    }
    assertWriteEnabled();
    m_order = order;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSortentsTable::moveToTop(const AcDbObjectIdArray& ids) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    AcDbObjectIdArray order;
    Acad::ErrorStatus es = currentOrder(order);
    if (es != Acad::eOk || (es = checkEntities(ids, order)) != Acad::eOk) {
        return es;
    }
    AcDbObjectIdArray result;
    for (const AcDbObjectId& id : order) {
        if (!ids.contains(id)) {
            result.append(id);
        }
    }
    result.append(ids);
    assertWriteEnabled();
    m_order = result;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSortentsTable::moveToBottom(const AcDbObjectIdArray& ids) {
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    AcDbObjectIdArray order;
    Acad::ErrorStatus es = currentOrder(order);
    if (es != Acad::eOk || (es = checkEntities(ids, order)) != Acad::eOk) {
        return es;
    }
    AcDbObjectIdArray result = ids;
    for (const AcDbObjectId& id : order) {
        if (!ids.contains(id)) {
            result.append(id);
        }
    }
    assertWriteEnabled();
    m_order = result;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSortentsTable::firstEntityIsDrawnBeforeSecond(AcDbObjectId first,
                                                                    AcDbObjectId second,
                                                                    bool& result) const {
    assertReadEnabled();
    result = false;
    AcDbObjectIdArray order;
    const Acad::ErrorStatus es = currentOrder(order);
    if (es != Acad::eOk) {
        return es;
    }
    const int a = order.find(first);
    const int b = order.find(second);
    if (a < 0 || b < 0) {
        return Acad::eInvalidInput;
    }
    result = a < b;
    return Acad::eOk;
}

// --- Filing -------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbSortentsTable::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    const AcDb::FilerType type = filer->filerType();
    const bool dropErased = type == AcDb::kFileFiler || type == AcDb::kDeepCloneFiler ||
                            type == AcDb::kWblockCloneFiler;
    AcDbObjectIdArray filed;
    for (const AcDbObjectId& id : m_order) {
        if (!id.isNull() && !(dropErased && id.isErased())) {
            filed.append(id);
        }
    }
    filer->writeSoftPointerId(m_block);
    filer->writeInt32(filed.length());
    for (const AcDbObjectId& id : filed) {
        filer->writeSoftPointerId(id);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSortentsTable::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbSoftPointerId block;
    AcDbObjectIdArray order;
    if ((es = filer->readSoftPointerId(&block)) != Acad::eOk ||
        (es = kxhost::detail::readIdList(filer, order, false)) != Acad::eOk) {
        return es;
    }
    // Entities that did not come along (translated to null) have no place any more.
    AcDbObjectIdArray kept;
    for (const AcDbObjectId& id : order) {
        if (!id.isNull()) {
            kept.append(id);
        }
    }
    m_block = block;
    m_order = kept;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSortentsTable::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, L"AcDbSortentsTable");
    filer->writeObjectId(330, m_block);
    for (const AcDbObjectId& id : m_order) {
        if (!id.isNull() && !id.isErased()) {
            filer->writeObjectId(331, id);
        }
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbSortentsTable::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if ((es = kxhost::detail::dxfExpectSubclass(filer, L"AcDbSortentsTable")) != Acad::eOk) {
        return es;
    }
    AcDbObjectId block;
    AcDbObjectIdArray order;
    es = kxhost::detail::dxfReadGroups(filer, [&](const resbuf& rb) {
        AcDbObjectId id;
        switch (rb.restype) {
            case 330:
                acdbGetObjectId(block, rb.resval.rlname);
                return true;
            case 331:
                acdbGetObjectId(id, rb.resval.rlname);
                if (!id.isNull()) {
                    order.append(id);
                }
                return true;
            case 5:  // sort handles of older writers: the 331 order is what counts
                return true;
            default:
                return false;
        }
    });
    if (es != Acad::eOk) {
        return es;
    }
    m_block = block;
    m_order = order;
    return filer->filerStatus();
}
