// The protocol extension of block references that keeps their representation blocks.
//
// A changed dynamic block reference points at an anonymous "*U" block of its own (its
// representation) holding tagged copies of its definition's entities, which the actions then
// transform. One object of this class is attached to AcDbBlockReference at load; it carries the
// block-level operations and the list of references whose block is being switched.
//
// Every operation takes the reference open (read or write) or, for a drag image, out of any
// database; an operation that must change the reference opens it for write for the moment.
#pragma once

#include "host/db/dbobject.h"
#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class AcDbBlockReference;
class KxDbImpTagRepresentation;
class KxDbTagRepresentationContext;

namespace kxrep {
inline constexpr Acad::ErrorStatus kNoDatabase = static_cast<Acad::ErrorStatus>(124);
// The definition holds a proxy entity: its references cannot be changed.
inline constexpr Acad::ErrorStatus kHasProxyEntities = static_cast<Acad::ErrorStatus>(303);
// The reference already has a representation.
inline constexpr Acad::ErrorStatus kAlreadyRepresented = static_cast<Acad::ErrorStatus>(20058);
}  // namespace kxrep

class KXDB_EXPORT KxDbTagRepresentation : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagRepresentation);

    KxDbTagRepresentation();
    ~KxDbTagRepresentation() override;
    KxDbTagRepresentation(const KxDbTagRepresentation&) = delete;
    KxDbTagRepresentation& operator=(const KxDbTagRepresentation&) = delete;

    // The extension attached to the reference's class; null when the module is not loaded.
    static KxDbTagRepresentation* of(const AcDbBlockReference* ref);

    // Moves a database-resident reference (and every other reference of its former block) to an
    // anonymous block of the same definition that the registered equivalence reactors judge
    // equivalent. Candidates need the same entity count, equal extents and a live reference.
    // eNullObjectId without a source definition, eInvalidInput without a current block; eOk
    // when nothing equivalent is found.
    Acad::ErrorStatus shareEquivalentRepresentation(AcDbBlockReference* ref);
    // Gives the reference a representation block of its own: the first change of a reference
    // creates its representation from the definition; a representation shared with other
    // references is copied. eNullObjectPointer for a null reference, eWrongObjectType for a block
    // from an external or overlay reference, 303 when the definition holds a proxy entity.
    Acad::ErrorStatus makeRepresentationUnique(AcDbBlockReference* ref);
    // Same checks; creates the reference's first representation (the definition is tagged, a
    // "*U" copy made, the reference pointed at it and the source definition recorded). 20058
    // when the reference already has a source definition. `createdBlock` receives the new block.
    Acad::ErrorStatus createRepresentation(AcDbBlockReference* ref,
                                           AcDbObjectId* createdBlock = nullptr);
    // A new context for the reference; the caller deletes it.
    KxDbTagRepresentationContext* newRepresentationContext(AcDbBlockReference* ref);
    // The source definition recorded in the root data; for a drag image, that of the database
    // reference it was made from.
    bool hasSourceDefinition(const AcDbBlockReference* ref) const;
    AcDbObjectId getSourceDefinition(const AcDbBlockReference* ref) const;

    // Points the reference at the block, with the reference entered in the switching list while
    // the host switches it.
    Acad::ErrorStatus setReferenceBlock(AcDbBlockReference* ref, const AcDbObjectId& blockId);
    // True while the reference's block is being switched by setReferenceBlock.
    bool isSwitchingBlock(const AcDbBlockReference* ref) const;

    // Creates an anonymous block copied from `sourceBlockId` (a definition or a representation):
    // block tag naming the definition, explodable and scaling settings, live entities deep-cloned
    // with their tags, draw order copied. eNullObjectId for a null id, 124 without a database.
    static Acad::ErrorStatus createRepresentationBlock(const AcDbObjectId& sourceBlockId,
                                                       AcDbObjectId& newBlockId);
    // The definition a block stands for: the one named by its block tag, else the block itself.
    static AcDbObjectId definitionOfBlock(const AcDbObjectId& blockId);

    KxDbImpTagRepresentation* imp() const { return m_pImp; }

  private:
    KxDbImpTagRepresentation* m_pImp;
};
