#include "host/db/layout.h"

#include "host/core/resbuf.h"
#include "host/db/blocktablerecord.h"
#include "host/db/database.h"
#include "host/db/dictionary.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "host/db/objectstate.h"

ACRX_HOST_DXF_CLASS(AcDbLayout, AcDbObject, "LAYOUT");

namespace {

constexpr const ACHAR* kPlotSettings = L"AcDbPlotSettings";
constexpr const ACHAR* kLayout = L"AcDbLayout";

bool anyClassifiedCode(int code) {
    return acdbGroupCodeToType(code) != AcDb::kDwgNotRecognized &&
           acdbGroupCodeToType(code) != AcDb::kDwgNull;
}

// The plot settings a layout files when it has none of its own: no device, no margins, the
// whole layout at 1:1 in millimetres.
Acad::ErrorStatus writeDefaultPlotSettings(AcDbDxfFiler* filer) {
    filer->writeString(1, L"");
    filer->writeString(2, L"none_device");
    filer->writeString(4, L"");
    filer->writeString(6, L"");
    for (int code = 40; code <= 49; ++code) {
        filer->writeDouble(code, 0.0);
    }
    filer->writeDouble(140, 0.0);
    filer->writeDouble(141, 0.0);
    filer->writeDouble(142, 1.0);
    filer->writeDouble(143, 1.0);
    filer->writeInt16(70, 688);
    filer->writeInt16(72, 0);
    filer->writeInt16(73, 0);
    filer->writeInt16(74, 5);
    filer->writeString(7, L"");
    filer->writeInt16(75, 16);
    filer->writeInt16(76, 0);
    filer->writeInt16(77, 2);
    filer->writeInt16(78, 300);
    filer->writeDouble(147, 1.0);
    filer->writeDouble(148, 0.0);
    filer->writeDouble(149, 0.0);
    return filer->filerStatus();
}

AcGePoint3d pointOf(const resbuf& rb) {
    return AcGePoint3d(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
}

}  // namespace

AcDbLayout::AcDbLayout() {
    // A new layout has the default plot settings, kept like those a file gives.
    kxhost::DxfMemoryFiler defaults;
    writeDefaultPlotSettings(&defaults);
    m_plotItems = defaults.toChain();
}

AcDbLayout::~AcDbLayout() {
    acutRelRb(m_plotItems);
}

Acad::ErrorStatus AcDbLayout::getLayoutName(AcString& name) const {
    assertReadEnabled();
    name = m_name;
    return Acad::eOk;
}

const ACHAR* AcDbLayout::layoutName() const {
    assertReadEnabled();
    return m_name.kwszPtr();
}

Acad::ErrorStatus AcDbLayout::setLayoutName(const ACHAR* name) {
    if (name == nullptr || *name == 0) {
        return Acad::eInvalidInput;
    }
    assertWriteEnabled();
    m_name = AcString(name);
    return Acad::eOk;
}

int AcDbLayout::getTabOrder() const {
    assertReadEnabled();
    return m_tabOrder;
}

Acad::ErrorStatus AcDbLayout::setTabOrder(int order) {
    if (order < 0 || order > 32767) {
        return Acad::eInvalidInput;
    }
    assertWriteEnabled();
    m_tabOrder = static_cast<Adesk::Int16>(order);
    return Acad::eOk;
}

AcDbObjectId AcDbLayout::getBlockTableRecordId() const {
    assertReadEnabled();
    return m_block;
}

Acad::ErrorStatus AcDbLayout::setBlockTableRecordId(const AcDbObjectId& id) {
    assertWriteEnabled();
    m_block = id;
    return Acad::eOk;
}

bool AcDbLayout::modelType() const {
    assertReadEnabled();
    return m_tabOrder == 0;
}

Acad::ErrorStatus AcDbLayout::dwgOutFields(AcDbDwgFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dwgOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(m_name);
    filer->writeInt16(m_flags);
    filer->writeInt16(m_tabOrder);
    filer->writePoint2d(m_limMin);
    filer->writePoint2d(m_limMax);
    filer->writePoint3d(m_insBase);
    filer->writePoint3d(m_extMin);
    filer->writePoint3d(m_extMax);
    filer->writeSoftPointerId(m_block);
    filer->writeHardPointerId(m_viewport);
    Adesk::Int32 count = 0;
    for (const resbuf* rb = m_plotItems; rb != nullptr; rb = rb->rbnext) {
        ++count;
    }
    filer->writeInt32(count);
    for (const resbuf* rb = m_plotItems; rb != nullptr; rb = rb->rbnext) {
        kxhost::detail::writeRbItem(filer, *rb);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbLayout::dwgInFields(AcDbDwgFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dwgInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    AcString name;
    Adesk::Int16 flags = 0;
    Adesk::Int16 tabOrder = 0;
    AcGePoint2d limMin;
    AcGePoint2d limMax;
    AcGePoint3d insBase;
    AcGePoint3d extMin;
    AcGePoint3d extMax;
    AcDbSoftPointerId block;
    AcDbHardPointerId viewport;
    Adesk::Int32 count = 0;
    if ((es = filer->readString(name)) != Acad::eOk ||
        (es = filer->readInt16(&flags)) != Acad::eOk ||
        (es = filer->readInt16(&tabOrder)) != Acad::eOk ||
        (es = filer->readPoint2d(&limMin)) != Acad::eOk ||
        (es = filer->readPoint2d(&limMax)) != Acad::eOk ||
        (es = filer->readPoint3d(&insBase)) != Acad::eOk ||
        (es = filer->readPoint3d(&extMin)) != Acad::eOk ||
        (es = filer->readPoint3d(&extMax)) != Acad::eOk ||
        (es = filer->readSoftPointerId(&block)) != Acad::eOk ||
        (es = filer->readHardPointerId(&viewport)) != Acad::eOk ||
        (es = kxhost::detail::readCount(filer, count)) != Acad::eOk) {
        return es;
    }
    resbuf* head = nullptr;
    resbuf** tail = &head;
    for (Adesk::Int32 i = 0; i < count; ++i) {
        resbuf* rb = nullptr;
        if ((es = kxhost::detail::readRbItem(filer, rb, &anyClassifiedCode)) != Acad::eOk) {
            acutRelRb(head);
            return es;
        }
        *tail = rb;
        tail = &rb->rbnext;
    }
    m_name = name;
    m_flags = flags;
    m_tabOrder = tabOrder;
    m_limMin = limMin;
    m_limMax = limMax;
    m_insBase = insBase;
    m_extMin = extMin;
    m_extMax = extMax;
    m_block = block;
    m_viewport = viewport;
    acutRelRb(m_plotItems);
    m_plotItems = head;
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbLayout::dxfOutFields(AcDbDxfFiler* filer) const {
    Acad::ErrorStatus es = AcDbObject::dxfOutFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    filer->writeString(100, kPlotSettings);
    if (m_plotItems != nullptr) {
        for (const resbuf* rb = m_plotItems; rb != nullptr; rb = rb->rbnext) {
            filer->writeItem(*rb);
        }
    } else {
        writeDefaultPlotSettings(filer);
    }
    filer->writeString(100, kLayout);
    filer->writeString(1, m_name);
    filer->writeInt16(70, m_flags);
    filer->writeInt16(71, m_tabOrder);
    filer->writePoint2d(10, m_limMin);
    filer->writePoint2d(11, m_limMax);
    filer->writePoint3d(12, m_insBase);
    filer->writePoint3d(14, m_extMin);
    filer->writePoint3d(15, m_extMax);
    filer->writeDouble(146, 0.0);
    filer->writePoint3d(13, AcGePoint3d(0.0, 0.0, 0.0));
    filer->writePoint3d(16, AcGePoint3d(1.0, 0.0, 0.0));
    filer->writePoint3d(17, AcGePoint3d(0.0, 1.0, 0.0));
    filer->writeInt16(76, 1);
    filer->writeObjectId(330, m_block);
    filer->writeObjectId(331, m_viewport);
    return filer->filerStatus();
}

Acad::ErrorStatus AcDbLayout::dxfInFields(AcDbDxfFiler* filer) {
    Acad::ErrorStatus es = AcDbObject::dxfInFields(filer);
    if (es != Acad::eOk) {
        return es;
    }
    if (!filer->atSubclassData(kPlotSettings)) {
        return filer->filerStatus() != Acad::eOk ? filer->filerStatus() : Acad::eBadDxfSequence;
    }
    // The plot settings are kept as they came, up to the layout's own marker.
    resbuf* head = nullptr;
    resbuf** tail = &head;
    struct Release {
        resbuf*& chain;
        ~Release() { acutRelRb(chain); }
    } release{head};
    while (!filer->atSubclassData(kLayout)) {
        if (filer->filerStatus() != Acad::eOk) {
            return filer->filerStatus();
        }
        resbuf* rb = acutNewRb(0);
        if (rb == nullptr) {
            return Acad::eOutOfMemory;
        }
        es = filer->readItem(rb);
        if (es != Acad::eOk) {
            acutRelRb(rb);
            return es == Acad::eEndOfFile ? Acad::eMissingDxfField : es;
        }
        rb->rbnext = nullptr;
        *tail = rb;
        tail = &rb->rbnext;
        if (!anyClassifiedCode(rb->restype)) {
            return Acad::eInvalidDxfCode;  // its value could not be released or filed again
        }
    }
    AcString name;
    Adesk::Int16 flags = 0;
    Adesk::Int16 tabOrder = 0;
    AcGePoint2d limMin = m_limMin;
    AcGePoint2d limMax = m_limMax;
    AcGePoint3d insBase = m_insBase;
    AcGePoint3d extMin = m_extMin;
    AcGePoint3d extMax = m_extMax;
    AcDbObjectId block;
    AcDbObjectId viewport;
    bool haveName = false;
    for (;;) {
        resbuf item{};
        es = filer->readItem(&item);
        if (es == Acad::eEndOfFile) {
            break;
        }
        if (es != Acad::eOk) {
            return es;
        }
        bool used = true;
        switch (item.restype) {
            case 1:
                name = AcString(item.resval.rstring);
                haveName = true;
                break;
            case 70:
                flags = item.resval.rint;
                break;
            case 71:
                tabOrder = item.resval.rint;
                break;
            case 10:
                limMin.set(item.resval.rpoint[0], item.resval.rpoint[1]);
                break;
            case 11:
                limMax.set(item.resval.rpoint[0], item.resval.rpoint[1]);
                break;
            case 12:
                insBase = pointOf(item);
                break;
            case 14:
                extMin = pointOf(item);
                break;
            case 15:
                extMax = pointOf(item);
                break;
            case 330:
            case 331: {
                AcDbObjectId id;
                acdbGetObjectId(id, item.resval.rlname);
                (item.restype == 330 ? block : viewport) = id;
                break;
            }
            // The layout's UCS is not modelled: a layout presents its space in world
            // coordinates.
            case 13:
            case 16:
            case 17:
            case 76:
            case 146:
            case 345:
            case 346:
                break;
            default:
                used = false;
                break;
        }
        kxhost::detail::releaseItemValue(item);
        if (!used) {
            filer->pushBackItem();
            break;
        }
    }
    if (!haveName || name.isEmpty() || tabOrder < 0) {
        return Acad::eMissingDxfField;
    }
    assertWriteEnabled();
    m_name = name;
    m_flags = flags;
    m_tabOrder = tabOrder;
    m_limMin = limMin;
    m_limMax = limMax;
    m_insBase = insBase;
    m_extMin = extMin;
    m_extMax = extMax;
    m_block = block;
    m_viewport = viewport;
    acutRelRb(m_plotItems);
    m_plotItems = head;
    head = nullptr;
    return filer->filerStatus();
}

namespace kxhost {

AcDbObjectId layoutOfBlock(const AcDbDatabase* db, const AcDbObjectId& blockId) {
    if (db == nullptr || blockId.isNull()) {
        return AcDbObjectId::kNull;
    }
    AcDbDictionary* nod = nullptr;
    if (db->getNamedObjectsDictionary(nod, AcDb::kForRead) != Acad::eOk) {
        return AcDbObjectId::kNull;
    }
    AcDbObjectId layoutsId;
    const Acad::ErrorStatus es = nod->getAt(L"ACAD_LAYOUT", layoutsId);
    nod->close();
    AcDbDictionary* layouts = nullptr;
    if (es != Acad::eOk || acdbOpenObject(layouts, layoutsId, AcDb::kForRead) != Acad::eOk) {
        return AcDbObjectId::kNull;
    }
    AcDbObjectId found;
    AcDbDictionaryIterator* it = layouts->newIterator();
    for (; it != nullptr && !it->done() && found.isNull(); it->next()) {
        AcDbLayout* layout = nullptr;
        if (acdbOpenObject(layout, it->objectId(), AcDb::kForRead) == Acad::eOk) {
            if (layout->getBlockTableRecordId() == blockId) {
                found = it->objectId();
            }
            layout->close();
        }
    }
    delete it;
    layouts->close();
    return found;
}

Acad::ErrorStatus makeStandardLayouts(AcDbDatabase* db, const AcDbObjectId& modelSpace,
                                      const AcDbObjectId& paperSpace) {
    if (db == nullptr) {
        return Acad::eNoDatabase;
    }
    AcDbDictionary* nod = nullptr;
    Acad::ErrorStatus es = db->getNamedObjectsDictionary(nod, AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbObjectId id;
    if (nod->getAt(L"ACAD_GROUP", id) != Acad::eOk) {
        auto* groups = new AcDbDictionary();
        if (groups == nullptr || (es = nod->setAt(L"ACAD_GROUP", groups, id)) != Acad::eOk) {
            delete groups;
            nod->close();
            return es != Acad::eOk ? es : Acad::eOutOfMemory;
        }
        groups->close();
    }
    AcDbDictionary* layouts = nullptr;
    if (nod->getAt(L"ACAD_LAYOUT", id) == Acad::eOk) {
        nod->close();
        return Acad::eOk;
    }
    layouts = new AcDbDictionary();
    if (layouts == nullptr || (es = nod->setAt(L"ACAD_LAYOUT", layouts, id)) != Acad::eOk) {
        delete layouts;
        nod->close();
        return es != Acad::eOk ? es : Acad::eOutOfMemory;
    }
    nod->close();
    struct Space {
        const ACHAR* name;
        AcDbObjectId block;
        int tabOrder;
    };
    for (const Space& space : {Space{L"Model", modelSpace, 0}, Space{L"Layout1", paperSpace, 1}}) {
        if (space.block.isNull()) {
            continue;
        }
        auto* layout = new AcDbLayout();
        if (layout == nullptr) {
            es = Acad::eOutOfMemory;
            break;
        }
        layout->m_name = AcString(space.name);
        layout->m_flags = 1;
        layout->m_tabOrder = static_cast<Adesk::Int16>(space.tabOrder);
        layout->m_block = space.block;
        if (space.tabOrder != 0) {
            // A paper layout starts as an A4 landscape sheet in millimetres.
            layout->m_limMax.set(420.0, 297.0);
        }
        if ((es = layouts->setAt(space.name, layout, id)) != Acad::eOk) {
            delete layout;
            break;
        }
        layout->close();
    }
    layouts->close();
    return es;
}

}  // namespace kxhost
