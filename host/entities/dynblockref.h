// The host's own dynamic blocks. The stand-in has none of its own: a block counts as one only
// when a test marks it (kxhost::markHostDynamicBlock), so plug-in code can be tested leaving such
// references to the host.
#pragma once

#include "host/db/objectid.h"
#include "host/rx/rxobject.h"

class AcDbBlockReference;

class AcDbDynBlockReference {
  public:
    ACRX_HEAP_OPERATORS()

    explicit AcDbDynBlockReference(const AcDbObjectId& blockRefId);
    // The reference is only looked at here; the caller keeps it open.
    explicit AcDbDynBlockReference(AcDbBlockReference* blockRef);
    ~AcDbDynBlockReference();
    AcDbDynBlockReference(const AcDbDynBlockReference&) = delete;
    AcDbDynBlockReference& operator=(const AcDbDynBlockReference&) = delete;

    // True when the block table record is marked as one of the host's dynamic blocks.
    static bool isDynamicBlock(const AcDbObjectId& blockTableRecordId);
    // True when the reference's block is.
    bool isDynamicBlock() const;
    // The reference's id (null for one outside the database).
    AcDbObjectId blockId() const;
    // The block the reference points at: with no anonymous blocks of its own, the host's
    // dynamic block is the reference's block itself.
    AcDbObjectId dynamicBlockTableRecord() const;
    // Null: the stand-in makes no anonymous blocks for its dynamic blocks.
    AcDbObjectId anonymousBlockTableRecord() const;

  private:
    AcDbObjectId m_ref;
    AcDbObjectId m_block;
};

namespace kxhost {
// Marks (or unmarks) a block as one of the host's dynamic blocks. Marks are by id and last
// until removed.
void markHostDynamicBlock(const AcDbObjectId& blockTableRecordId, bool dynamic);
}  // namespace kxhost
