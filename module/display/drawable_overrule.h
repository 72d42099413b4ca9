// Draws block references being dragged from private copies of their entities.
//
// While a grip is dragged the host edits and draws a temporary copy of the block reference that
// lives in no database (the drag image). Such a copy cannot own an anonymous block, so the
// overrule keeps, per drag image, a private list of entity copies that stands in for the
// contents of its block: the representation update adds and erases entities in that list instead
// of in a block table record, and worldDraw draws the list in place of the block. References
// without such a list are drawn by the host.
#pragma once

#include <map>

#include "host/core/array.h"
#include "host/db/objectid.h"
#include "host/gi/drawable.h"
#include "module/frame/export.h"

class AcDbBlockReference;
class AcDbEntity;

typedef AcArray<AcDbEntity*> KxGiEntityCopyArray;

class KXDB_EXPORT KxGiNimbleBlockDrawableOverrule : public AcGiDrawableOverrule {
  public:
    ACRX_DECLARE_MEMBERS(KxGiNimbleBlockDrawableOverrule);

    // Status of a block whose definition holds proxy entities: it cannot be copied.
    static constexpr Acad::ErrorStatus kProxyEntities = static_cast<Acad::ErrorStatus>(303);

    KxGiNimbleBlockDrawableOverrule();
    // Deletes every drag image's copies.
    ~KxGiNimbleBlockDrawableOverrule() override;
    KxGiNimbleBlockDrawableOverrule(const KxGiNimbleBlockDrawableOverrule&) = delete;
    KxGiNimbleBlockDrawableOverrule& operator=(const KxGiNimbleBlockDrawableOverrule&) = delete;

    // True for any block reference.
    bool isApplicable(const AcRxObject* pOverruledSubject) const override;
    // A drag image with copies is drawn from them under its block transform; everything else as
    // the host draws it.
    bool worldDraw(AcGiDrawable* pSubject, AcGiWorldDraw* wd) override;

    // Called by the grip overrule for each dragged grip before anything moves, with the
    // reference the host passed and the database reference it was made from. An older drag
    // image of the same source is dropped with its copies; a stale record left at the same
    // address by another source's image is dropped too. A database reference is never entered.
    Acad::ErrorStatus noteDraggedReference(const AcDbBlockReference* reference,
                                           AcDbObjectId sourceId);
    // Drops the drag image of a database reference (when the host deletes its grips).
    void dropImageOf(AcDbObjectId sourceId);

    // The source reference of a drag image, or the null id.
    AcDbObjectId cloneSourceId(const AcDbBlockReference* reference) const;
    // The current drag image of a source reference, or null.
    const AcDbBlockReference* imageOf(AcDbObjectId sourceId) const;
    bool isDragImage(const AcDbBlockReference* reference) const;
    int cloneEntityCount(const AcDbBlockReference* reference) const;
    AcDbEntity* cloneEntityAt(const AcDbBlockReference* reference, int index) const;
    // The private list of a drag image (null when it has none). The overrule owns the entities.
    KxGiEntityCopyArray* cloneEntities(const AcDbBlockReference* reference) const;

    // Gives a drag image its copies of the entities of its block (once). eWrongDatabase for a
    // database reference; eOk without doing anything for a reference without block; 303 when
    // the block holds a proxy entity and eNullObjectPointer when an entity cannot be copied
    // (both drop the whole list, so the image is drawn by the host).
    Acad::ErrorStatus makeCloneEntities(const AcDbBlockReference* reference);
    // Deletes the copies of the drag image and forgets it.
    void releaseClone(const AcDbBlockReference* reference);

    // Appends a new entity (not database resident) to the reference's block: the block table
    // record of a database reference, the private list of a drag image (which then owns it).
    // Any failure is returned and the entity stays the caller's. Appended to a block table
    // record, the entity comes back open for write, as appendAcDbEntity leaves it: the caller
    // closes it.
    Acad::ErrorStatus appendToReferenceBlock(const AcDbBlockReference* reference,
                                             AcDbEntity* entity);
    // Erases an entity of the reference's block. For a drag image the entity is only taken out
    // of the private list: on success it belongs to the caller, who deletes it. eKeyNotFound
    // when the entity is not in the block; a failed upgrade or erase is returned.
    Acad::ErrorStatus eraseFromReferenceBlock(const AcDbBlockReference* reference,
                                              AcDbEntity* entity);

    // The overrule installed by the loaded module, or null.
    static KxGiNimbleBlockDrawableOverrule* instance();

  private:
    struct Image {
        AcDbObjectId sourceId;
        KxGiEntityCopyArray* entities = nullptr;
    };
    void deleteCopies(const AcDbBlockReference* reference, Image& image);
    void dropImage(const AcDbBlockReference* reference);

    std::map<const AcDbBlockReference*, Image> m_images;
    std::map<AcDbObjectId, const AcDbBlockReference*> m_imagesBySource;
};
