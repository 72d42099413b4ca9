// The implementation of KxDbTagLinearGrip.
#pragma once

#include "host/ge/vector3d.h"
#include "module/grips/grip_imp.h"
#include "module/grips/linear_grip.h"

class KXDB_EXPORT KxDbImpTagLinearGrip : public KxDbImpTagGrip {
  public:
    explicit KxDbImpTagLinearGrip(AcDbObjectWrapper* pub);
    KxDbImpTagLinearGrip(AcDbObjectWrapper* pub, const ACHAR* name, const AcGePoint3d& point);
    ~KxDbImpTagLinearGrip() override = default;

    virtual AcGeVector3d orientation() const;
    virtual Acad::ErrorStatus setOrientation(const AcGeVector3d& direction);

    // The source of "X"/"Y" must be a linear parameter.
    Acad::ErrorStatus connectTo(const ACHAR* name, KxNodeId otherId,
                                const ACHAR* otherName) override;
    Acad::ErrorStatus disconnectFrom(const ACHAR* name, KxNodeId otherId,
                                     const ACHAR* otherName) override;
    bool canConnectTo(const ACHAR* name, KxNodeId otherId, const ACHAR* otherName) const override;

    // Projects the drag onto the parameter's line (nothing while stored state is replayed).
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;
    // The offset from the parameter point, turned with the parameter.
    AcGeVector3d gripOffset() const override;
    // Glyph direction (away from the parameter's other end) and callbacks of the record.
    Acad::ErrorStatus fillGripData(AcDbGripData* data) override;

    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    AcGeVector3d m_orientation{1.0, 0.0, 0.0};
};
