// The host's regeneration and audit, played for tests and tools: a space's entities drawn into a
// recording context in draw order through the drawable entry points (so drawable overrules take
// part), and an audit walk over every object of a database.
#pragma once

#include <vector>

#include "host/db/auditinfo.h"
#include "host/db/database.h"
#include "host/gi/recording.h"

namespace kxhost {

// What a regeneration did, entity by entity.
struct RegenReport {
    AcDbObjectIdArray drawn;      // in drawing order
    AcDbObjectIdArray invisible;  // live but invisible: not drawn
    AcDbObjectIdArray notOpened;  // could not be opened for read (statuses alongside)
    std::vector<Acad::ErrorStatus> notOpenedStatus;
    AcDbObjectIdArray unbalanced;     // left the model-transform stack other than they found it
    AcDbObjectIdArray viewportDrawn;  // given viewportDraw in a viewport pass
    bool aborted = false;             // the context asked to abandon; later entities not drawn
};

// The live entities of a block in draw order: the order of the block's draw-order table when it
// has one (entities it does not list follow in the block's order), else the block's own order.
// eNullObjectId for a null block, eNotThatKindOfClass for an id that is not a block table record,
// and the open's status when the block cannot be opened.
Acad::ErrorStatus drawOrder(AcDbObjectId blockId, AcDbObjectIdArray& ids);

// Draws every live, visible entity of the space (the model space for a null id) in draw order:
// each is opened for read, drawn with RecordingWorldDraw::drawEntity (AcGiDrawable::worldDraw,
// overrules included) and closed. An entity that leaves model transforms pushed has them popped
// before the next one is drawn. Stops when the context asks to abandon the regeneration.
// eNullObjectPointer for a null database, eWrongDatabase for a space of another database,
// eMissingSymbolTableRec when the database has no model space; otherwise as drawOrder.
// Entities that cannot be opened are reported, not fatal.
Acad::ErrorStatus regenerate(AcDbDatabase* db, AcDbObjectId spaceId, RecordingWorldDraw& wd,
                             RegenReport* report = nullptr);
inline Acad::ErrorStatus regenerate(AcDbDatabase* db, RecordingWorldDraw& wd,
                                    RegenReport* report = nullptr) {
    return regenerate(db, AcDbObjectId::kNull, wd, report);
}

// The same in a viewport: each entity is drawn through the context's world pass and then given
// viewportDraw when its worldDraw answers false (always with alwaysViewportDraw).
Acad::ErrorStatus regenerateViewport(AcDbDatabase* db, AcDbObjectId spaceId,
                                     RecordingViewportDraw& vd, RegenReport* report = nullptr,
                                     bool alwaysViewportDraw = false);

// What an audit walk did.
struct AuditReport {
    int audited = 0;              // objects whose audit ran
    int erased = 0;               // erased objects, left alone
    AcDbObjectIdArray notOpened;  // could not be opened (statuses alongside)
    std::vector<Acad::ErrorStatus> notOpenedStatus;
    AcDbObjectIdArray failed;  // audit answered a status other than eOk (statuses alongside)
    std::vector<Acad::ErrorStatus> failedStatus;
};

// Audits every live object of the database in handle order: opened for read, or for write when
// the info asks for fixes, given audit(&info) and closed. Objects the walk adds meanwhile are not
// visited; objects erased before their turn are skipped. An object that cannot be opened counts
// as one error found (not fixed) and gets a report line in the info; an audit answering a failure
// gets a report line. The info's totals are what the objects reported plus those errors.
// eNullObjectPointer for a null database.
Acad::ErrorStatus auditDatabase(AcDbDatabase* db, AcDbAuditInfo& info,
                                AuditReport* report = nullptr);

}  // namespace kxhost
