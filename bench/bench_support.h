// What the benchmarks share: the plug-in loaded for the whole run, a generated drawing with one
// stretchable dynamic definition, and a grip held on a database reference across drag steps.
#pragma once

#include <vector>

#include "host/db/database.h"
#include "host/grips/gripoverrule.h"

namespace kxbench {

// Loads the plug-in through the host's loader ($KXBLOCKS_MODULE, else kxblocks.so beside this
// executable). False when it cannot be loaded.
bool loadModule();
void unloadModule();

// A drawing whose definition "STRETCH" holds `lines` horizontal lines of length 10 (line i runs
// from (0, i) to (10, i)), a linear parameter "Width" from (0, -1) to (10, -1) with a grip on
// its end, and a stretch action on every line whose frame takes the right ends of the lower half
// of them (the upper half moves whole). `references` references are inserted in model space,
// all showing the definition.
struct StretchDrawing {
    AcDbDatabase* db = nullptr;
    AcDbObjectId definitionId;
    AcDbObjectIdArray definitionEntities;
    AcDbObjectIdArray references;

    StretchDrawing() = default;
    ~StretchDrawing();
    StretchDrawing(const StretchDrawing&) = delete;
    StretchDrawing& operator=(const StretchDrawing&) = delete;

    Acad::ErrorStatus build(int lines, int references);
    // One more reference of the definition, appended to `references`.
    Acad::ErrorStatus insert(AcDbObjectId& referenceId);
};

// The module's width grip of one database reference, asked for once and held as the host's grip
// editor holds it while a grip is hot. Each drag() is one step as the editor's release makes
// it: the reference open for write, moveGripPointsAt with the grip's application data.
class HeldGrip {
  public:
    HeldGrip() = default;
    ~HeldGrip();
    HeldGrip(const HeldGrip&) = delete;
    HeldGrip& operator=(const HeldGrip&) = delete;

    // eNotApplicable when the reference offers no grip of the module.
    Acad::ErrorStatus collect(const AcDbObjectId& referenceId);
    Acad::ErrorStatus drag(double dx);
    // Tells the reference its grips go (kGripsToBeDeleted) and frees the records.
    void release();

  private:
    AcDbObjectId m_ref;
    AcDbGripDataPtrArray m_records;
    AcDbVoidPtrArray m_appData;
};

// The right end of the first line of the reference's block (the stretched width), or a huge
// negative value when it cannot be read.
double firstLineRight(const AcDbObjectId& referenceId);

// Moves every entity of the list by (dx, 0, 0), each opened for write and closed.
Acad::ErrorStatus transformEntities(const AcDbObjectIdArray& ids, double dx);

}  // namespace kxbench
