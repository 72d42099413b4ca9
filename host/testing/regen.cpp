#include "host/testing/regen.h"

#include "host/db/blocktablerecord.h"
#include "host/db/sortents.h"
#include "host/entities/entity.h"

namespace kxhost {

namespace {

// The space to draw: the given one (of this database) or the model space.
Acad::ErrorStatus resolveSpace(AcDbDatabase* db, AcDbObjectId& spaceId) {
    if (db == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (spaceId.isNull()) {
        spaceId = db->modelSpaceId();
        return spaceId.isNull() ? Acad::eMissingSymbolTableRec : Acad::eOk;
    }
    return spaceId.database() == db ? Acad::eOk : Acad::eWrongDatabase;
}

// Opens, draws with `draw` and closes each entity in draw order, filling the report.
template <class DrawFn>
Acad::ErrorStatus drawSpace(AcDbDatabase* db, AcDbObjectId spaceId, GiRecording& rec,
                            RegenReport* report, DrawFn draw) {
    RegenReport ignored;
    RegenReport& out = report != nullptr ? *report : ignored;
    Acad::ErrorStatus es = resolveSpace(db, spaceId);
    AcDbObjectIdArray ids;
    if (es != Acad::eOk || (es = drawOrder(spaceId, ids)) != Acad::eOk) {
        return es;
    }
    for (const AcDbObjectId& id : ids) {
        if (rec.aborted()) {
            break;
        }
        AcDbEntity* ent = nullptr;
        es = acdbOpenAcDbEntity(ent, id, AcDb::kForRead);
        if (es != Acad::eOk) {
            out.notOpened.append(id);
            out.notOpenedStatus.push_back(es);
            continue;
        }
        if (ent->visibility() == AcDb::kInvisible) {
            ent->close();
            out.invisible.append(id);
            continue;
        }
        draw(ent);
        ent->close();
        out.drawn.append(id);
        if (const GiEntityDraw* drawn = rec.entityDraw(id)) {
            if (!drawn->balanced()) {
                out.unbalanced.append(id);
            }
            if (drawn->viewportDrawn) {
                out.viewportDrawn.append(id);
            }
        }
    }
    out.aborted = rec.aborted();
    return Acad::eOk;
}

AcString handleName(const AcDbObjectId& id) {
    return id.handle().toString();
}

}  // namespace

Acad::ErrorStatus drawOrder(AcDbObjectId blockId, AcDbObjectIdArray& ids) {
    ids.removeAll();
    if (blockId.isNull()) {
        return Acad::eNullObjectId;
    }
    AcDbBlockTableRecord* block = nullptr;
    Acad::ErrorStatus es = acdbOpenObject(block, blockId, AcDb::kForRead);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbSortentsTable* table = nullptr;
    if (block->getSortentsTable(table, AcDb::kForRead) == Acad::eOk) {
        AcDbObjectIdArray order;
        es = table->getFullDrawOrder(order);
        table->close();
        if (es == Acad::eOk) {
            block->close();
            ids = order;
            return Acad::eOk;
        }
    }
    block->close();
    // No usable draw-order table: the block's own order.
    ids = blockEntityIds(blockId);
    return Acad::eOk;
}

Acad::ErrorStatus regenerate(AcDbDatabase* db, AcDbObjectId spaceId, RecordingWorldDraw& wd,
                             RegenReport* report) {
    return drawSpace(db, spaceId, wd.recording(), report,
                     [&wd](AcDbEntity* ent) { wd.drawEntity(ent); });
}

Acad::ErrorStatus regenerateViewport(AcDbDatabase* db, AcDbObjectId spaceId,
                                     RecordingViewportDraw& vd, RegenReport* report,
                                     bool alwaysViewportDraw) {
    return drawSpace(
        db, spaceId, vd.recording(), report,
        [&vd, alwaysViewportDraw](AcDbEntity* ent) { vd.drawEntity(ent, alwaysViewportDraw); });
}

Acad::ErrorStatus auditDatabase(AcDbDatabase* db, AcDbAuditInfo& info, AuditReport* report) {
    if (db == nullptr) {
        return Acad::eNullObjectPointer;
    }
    AuditReport ignored;
    AuditReport& out = report != nullptr ? *report : ignored;
    const AcDb::OpenMode mode = info.fixErrors() ? AcDb::kForWrite : AcDb::kForRead;
    // A snapshot: what fixes add is new and needs no audit.
    const AcDbObjectIdArray ids = objectIds(db);
    for (const AcDbObjectId& id : ids) {
        if (id.isErased()) {
            ++out.erased;
            continue;
        }
        AcDbObject* obj = nullptr;
        Acad::ErrorStatus es = acdbOpenObject(obj, id, mode);
        if (es != Acad::eOk) {
            out.notOpened.append(id);
            out.notOpenedStatus.push_back(es);
            info.errorsFound(1);
            AcString value;
            value.format(L"%d", static_cast<int>(es));
            info.printError((AcString(L"Object ") + handleName(id)).kwszPtr(), value.kwszPtr(),
                            L"could not be opened for audit", L"");
            continue;
        }
        AcString name = obj->isA() != nullptr ? AcString(obj->isA()->name()) : AcString(L"Object");
        es = obj->audit(&info);
        obj->close();
        ++out.audited;
        if (es != Acad::eOk) {
            out.failed.append(id);
            out.failedStatus.push_back(es);
            AcString value;
            value.format(L"%d", static_cast<int>(es));
            info.printError((name + L" " + handleName(id)).kwszPtr(), value.kwszPtr(),
                            L"audit failed", L"");
        }
    }
    return Acad::eOk;
}

}  // namespace kxhost
