// Extension records: objects that carry a chain of group items for applications, usually as an
// entry of a dictionary.
#pragma once

#include "host/core/resbuf.h"
#include "host/db/dbobject.h"

class AcDbXrecord : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbXrecord);

    AcDbXrecord();
    ~AcDbXrecord() override;

    // A copy of the items; the caller releases it with acutRelRb. An empty record gives null.
    // eNullObjectPointer for a null out-pointer, eOutOfMemory when the copy fails.
    Acad::ErrorStatus rbChain(resbuf** ppRb, AcDbDatabase* auxDb = nullptr) const;
    // Replaces the items with a copy of the chain starting at rb. Needs write (eNotOpenForWrite);
    // every code must be one the host classifies, other than the handle groups 5 and 105
    // (eInvalidResBuf, nothing changed). Values are kept as given: 16-bit codes in rint,
    // 32-bit ones (90-99, 1071, ...) in rlong, ids (330-369) as ads_name with rlname[0] the raw id.
    Acad::ErrorStatus setFromRbChain(const resbuf& rb, AcDbDatabase* auxDb = nullptr);
    // Empties the record (needs write).
    Acad::ErrorStatus clear();
    int numItems() const;

    // How deep-clone merges treat the record (a DuplicateRecordCloning value); default kDrcIgnore.
    AcDb::DuplicateRecordCloning mergeStyle() const { return m_mergeStyle; }
    void setMergeStyle(AcDb::DuplicateRecordCloning style);

    // Binary filing: the item count, then each item (see kxhost::detail::writeRbItem): ids by
    // the kind of their code range. Text filing: subclass marker, 280 merge style, the items.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    resbuf* m_items = nullptr;
    AcDb::DuplicateRecordCloning m_mergeStyle = AcDb::kDrcIgnore;
};
