// The representation of one block reference while its values change.
//
// Actions reach the entities of the reference's representation through this context during an
// evaluation. Every operation that changes the representation, and every request for entities
// open for write, first gives the reference a representation block of its own (once per
// context), so a change never reaches the definition or another reference's block.
//
// Entity lists handed out hold open objects: the caller closes each one (for a drag image the
// entities are its private copies, and closing them is harmless).
#pragma once

#include <vector>

#include "host/db/dbobject.h"
#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class AcDbBlockReference;
class AcDbEntity;
class AcDbIdMapping;
class KxDbImpTagRepresentationContext;

typedef std::vector<AcDbEntity*> KxDbTagEntityList;

class KXDB_EXPORT KxDbTagRepresentationContext : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagRepresentationContext);

    // The reference is not owned; it must outlive the context.
    explicit KxDbTagRepresentationContext(AcDbBlockReference* ref = nullptr);
    // When touched, marks a resident reference modified; when changed (and the change did not
    // fail), offers the reference to share an equivalent representation block.
    ~KxDbTagRepresentationContext() override;
    KxDbTagRepresentationContext(const KxDbTagRepresentationContext&) = delete;
    KxDbTagRepresentationContext& operator=(const KxDbTagRepresentationContext&) = delete;

    AcDbBlockReference* blockReference() const;

    // True when the definition block (the source definition, else the reference's block) holds an
    // AcDbProxyEntity; computed once.
    bool definitionHasProxyEntities();
    // Never set by this module.
    bool hasSecondRestriction() const;

    // Appends `entity` (not in any database) to the reference's representation and gives it the
    // entity tag of `replacedId` (a definition entity or one of its representation copies).
    // The entity becomes resident and is closed here for a database reference; for a drag image
    // it joins the image's private copies.
    Acad::ErrorStatus addEntity(AcDbEntity* entity, const AcDbObjectId& replacedId);
    // Deep-clones `entityId` into the representation and tags the clone like
    // `definitionEntityId`. Both ids must be valid ids of the reference's database (eInvalidInput,
    // eWrongDatabase); 124 without a database. The clone comes back open for write; the caller
    // closes it.
    Acad::ErrorStatus cloneIntoRepresentation(const AcDbObjectId& entityId, AcDbEntity*& clone,
                                              AcDbIdMapping& idMap,
                                              const AcDbObjectId& definitionEntityId);
    // Every entity of the representation, then the reference's attributes, opened in `mode`
    // (entities on locked layers included); objects already open in a conflicting mode are
    // skipped.
    Acad::ErrorStatus getRepresentationObjects(AcDb::OpenMode mode, KxDbTagEntityList& objects);
    // The representation entities that stand for the definition entity (same entity index) and,
    // for a non-constant attribute definition, the reference's attribute made from it.
    Acad::ErrorStatus getObjectsForDefinitionEntity(const AcDbObjectId& definitionEntityId,
                                                    AcDb::OpenMode mode,
                                                    KxDbTagEntityList& objects);
    // Removes the entity (handed out by this context) from the representation and takes it over:
    // a database entity is erased and closed, a drag image's copy is taken out of the private
    // copies and deleted. The caller must not use the entity afterwards, whatever the status,
    // unless the status is eKeyNotFound (the entity is not in the representation).
    Acad::ErrorStatus removeEntity(AcDbEntity* entity);
    // Marks the context touched and the representation unique.
    Acad::ErrorStatus update();

    // Gives the reference its own representation once per context (see
    // KxDbTagRepresentation::makeRepresentationUnique) and marks the context changed.
    Acad::ErrorStatus makeUnique();
    // Called when the change made through this context failed: a representation block created by
    // this context is dropped (the reference points at its former block again and the new block
    // is erased), and the context is no longer offered for sharing.
    Acad::ErrorStatus abandonChange();

    bool isChanged() const;
    bool isUnique() const;
    bool isTouched() const;

    KxDbImpTagRepresentationContext* imp() const { return m_pImp; }

  private:
    KxDbImpTagRepresentationContext* m_pImp;
};
