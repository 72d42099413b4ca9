// Offers the grips of dynamic block references and turns their drags into parameter changes.
//
// For a block reference whose definition carries a graph, the overrule offers one grip record per
// visible grip node of the graph, in front of the reference's ordinary grips, and turns a drag of
// those grips into a new grip location that the reference context evaluates on its copy of the
// graph. Every other reference (ordinary blocks, the host's own dynamic blocks, references whose
// block transform is not uniformly scaled) gets exactly what the host's grip overrule base does.
//
// The overrule owns the application data it hands to the host inside the grip records and frees
// them when the host says the grips of a reference are no longer needed.
#pragma once

#include <map>

#include "host/core/array.h"
#include "host/db/objectid.h"
#include "host/grips/gripoverrule.h"
#include "module/frame/export.h"

class KxDbNimbleBlockNBAppData;

typedef AcArray<KxDbNimbleBlockNBAppData*> KxDbNBAppDataArray;

class KXDB_EXPORT KxDbNimbleBlockGripOverrule : public AcDbGripOverrule {
  public:
    ACRX_DECLARE_MEMBERS(KxDbNimbleBlockGripOverrule);

    KxDbNimbleBlockGripOverrule();
    // Frees every application data still held.
    ~KxDbNimbleBlockGripOverrule() override;
    KxDbNimbleBlockGripOverrule(const KxDbNimbleBlockGripOverrule&) = delete;
    KxDbNimbleBlockGripOverrule& operator=(const KxDbNimbleBlockGripOverrule&) = delete;

    // Block references that the host's own dynamic-block support does not claim.
    bool isApplicable(const AcRxObject* pOverruledSubject) const override;

    // A bound reference gets one record per grip the reference context lists (position mapped by
    // the block transform, application data, the grip type's callbacks), then the host's own.
    // Anything else gets the host's grips only.
    Acad::ErrorStatus getGripPoints(const AcDbEntity* pSubject, AcDbGripDataPtrArray& grips,
                                    double curViewUnitSize, int gripSize,
                                    const AcGeVector3d& curViewDir, int bitFlags) override;
    // Each dragged grip of the module gets its own "GRIPLOC" evaluation with the in-plane part
    // of the offset in definition coordinates; the host's own grips are passed on. eInvalidInput
    // for a zero offset, no grips or an entity that is not a block reference.
    Acad::ErrorStatus moveGripPointsAt(AcDbEntity* pSubject, const AcDbVoidPtrArray& gripAppData,
                                       const AcGeVector3d& offset, int bitFlags) override;
    // kGripsToBeDeleted frees the reference's application data and drops its drag image;
    // kDimDataToBeDeleted forgets the dimension records handed to the editor.
    void gripStatus(AcDbEntity* pSubject, AcDb::GripStat status) override;
    using AcDbGripOverrule::getGripPoints;
    using AcDbGripOverrule::moveGripPointsAt;

    // The application data held for a reference (null when none).
    const KxDbNBAppDataArray* appDataOf(const AcDbObjectId& referenceId) const;
    // Number of references with application data held.
    int heldReferenceCount() const { return static_cast<int>(m_appData.size()); }

    // The overrule installed by the loaded module, or null.
    static KxDbNimbleBlockGripOverrule* instance();

  private:
    // Takes over the application data of the list (which is emptied) for the reference.
    void keepAppData(const AcDbObjectId& referenceId, KxDbNBAppDataArray& list);
    // Frees the application data of a reference.
    void releaseAppData(const AcDbObjectId& referenceId);

    std::map<AcDbObjectId, KxDbNBAppDataArray*> m_appData;
};
