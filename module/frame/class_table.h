// The module's run-time classes in registration order. FULL rows are persistent classes with
// their filing identity (DXF record name, drawing version, maintenance version, proxy flags);
// SHORT rows are abstract bases and transient classes. The display defaults are applied between
// the two halves.
#pragma once

#define KX_APP_NAME L"ZIZIZARAZODEVUVEVEZOZARE"
#define KX_PROXY_FLAGS 1153  // erase allowed | cloning allowed | no proxy warning

#define KX_CLASSES_BEFORE_DISPLAY(FULL, SHORT)                                                    \
    SHORT(AcDbObjectWrapper, AcDbObject)                                                          \
    FULL(KxDbTagRootData, AcDbObjectWrapper, "TAGROOTDATA", 33, 55, 0)                            \
    SHORT(KxDbTagEvalVariant, AcRxObject)                                                         \
    FULL(KxDbTagEvalGraph, AcDbObjectWrapper, "TAG_EVALGRAPH", 33, 55, KX_PROXY_FLAGS)            \
    FULL(KxDbTagEvalExpr, AcDbObjectWrapper, "TAG_EVALEXPR", 33, 55, KX_PROXY_FLAGS)              \
    SHORT(KxDbTagEvalConnectable, KxDbTagEvalExpr)                                                \
    SHORT(KxDbTagEvalContext, AcRxObject)                                                         \
    SHORT(KxDbTagEvalContextIterator, AcRxObject)                                                 \
    FULL(KxDbTagGripExpr, KxDbTagEvalExpr, "TAGGRIPEXPR", 25, 20, KX_PROXY_FLAGS)                 \
    SHORT(KxDbNimbleBlockNBAppData, AcRxObject)                                                   \
    SHORT(KxDbTagElement, KxDbTagEvalConnectable)                                                 \
    SHORT(KxDbBlockTag, KxDbTagElement)                                                           \
    SHORT(KxDbBlock1PtTag, KxDbBlockTag)                                                          \
    FULL(KxDbBlockUserTag, KxDbBlock1PtTag, "BLOCKUSERTAG", 28, 1, KX_PROXY_FLAGS)                \
    SHORT(KxDbBlock2PtTag, KxDbBlockTag)                                                          \
    FULL(KxDbBlockAlignmentTag, KxDbBlock2PtTag, "BLOCKALIGNMENTTAG", 25, 55, KX_PROXY_FLAGS)     \
    FULL(KxDbBlockBasepointTag, KxDbBlock1PtTag, "BLOCKBASEPOINTTAG", 25, 55, KX_PROXY_FLAGS)     \
    FULL(KxDbBlockPointTag, KxDbBlock1PtTag, "BLOCKPOINTTAG", 25, 55, KX_PROXY_FLAGS)             \
    FULL(KxDbBlockLinearTag, KxDbBlock2PtTag, "BLOCKLINEARTAG", 25, 55, KX_PROXY_FLAGS)           \
    FULL(KxDbBlockPolarTag, KxDbBlock2PtTag, "BLOCKPOLARTAG", 25, 55, KX_PROXY_FLAGS)             \
    FULL(KxDbBlockXYTag, KxDbBlock2PtTag, "BLOCKXYTAG", 25, 55, KX_PROXY_FLAGS)                   \
    FULL(KxDbBlockRotationTag, KxDbBlock2PtTag, "BLOCKROTATIONTAG", 25, 55, KX_PROXY_FLAGS)       \
    FULL(KxDbBlockFlipTag, KxDbBlock2PtTag, "BLOCKFLIPTAG", 25, 55, KX_PROXY_FLAGS)               \
    FULL(KxDbBlockVisibilityTag, KxDbBlock1PtTag, "BLOCKVISIBILITYTAG", 25, 55, KX_PROXY_FLAGS)   \
    FULL(KxDbBlockLookupTag, KxDbBlock1PtTag, "BLOCKLOOKUPTAG", 25, 55, KX_PROXY_FLAGS)           \
    FULL(KxDbTagPropertiesTable, KxDbBlock1PtTag, "TAGPROPERTIESTABLE", 28, 55, KX_PROXY_FLAGS)   \
    FULL(KxDbTagBlockProxyNode, KxDbTagEvalExpr, "KXDB_TAGBLOCKPROXYNODE", 28, 2, KX_PROXY_FLAGS) \
    SHORT(KxDbTagGrip, KxDbTagElement)                                                            \
    FULL(KxDbTagAlignmentGrip, KxDbTagGrip, "TAGALIGNMENTGRIP", 25, 55, KX_PROXY_FLAGS)           \
    FULL(KxDbTagXYGrip, KxDbTagGrip, "TAGXYGRIP", 25, 55, KX_PROXY_FLAGS)                         \
    FULL(KxDbTagLinearGrip, KxDbTagGrip, "TAGLINEARGRIP", 33, 55, KX_PROXY_FLAGS)                 \
    FULL(KxDbTagPolarGrip, KxDbTagGrip, "TAGPOLARGRIP", 33, 55, KX_PROXY_FLAGS)                   \
    FULL(KxDbTagRotationGrip, KxDbTagGrip, "TAGROTATIONGRIP", 25, 55, KX_PROXY_FLAGS)             \
    FULL(KxDbTagFlipGrip, KxDbTagGrip, "TAGFLIPGRIP", 33, 55, KX_PROXY_FLAGS)                     \
    FULL(KxDbTagVisibilityGrip, KxDbTagGrip, "TAGVISIBILITYGRIP", 25, 55, KX_PROXY_FLAGS)         \
    FULL(KxDbTagLookupGrip, KxDbTagGrip, "TAGLOOKUPGRIP", 33, 55, KX_PROXY_FLAGS)                 \
    FULL(KxDbTagPropertiesTableGrip, KxDbTagGrip, "TAGPROPERTIESTABLEGRIP", 28, 55,               \
         KX_PROXY_FLAGS)                                                                          \
    SHORT(KxDbTagAction, KxDbTagElement)                                                          \
    FULL(KxDbTagStretchAction, KxDbTagAction, "TAGSTRETCHACTION", 33, 55, KX_PROXY_FLAGS)         \
    FULL(KxDbTagArrayAction, KxDbTagAction, "TAGARRAYACTION", 33, 55, KX_PROXY_FLAGS)             \
    FULL(KxDbTagFlipAction, KxDbTagAction, "TAGFLIPACTION", 33, 55, KX_PROXY_FLAGS)               \
    FULL(KxDbTagLookupAction, KxDbTagAction, "TAGLOOKUPACTION", 33, 55, KX_PROXY_FLAGS)           \
    FULL(KxDbTagMoveAction, KxDbTagAction, "TAGMOVEACTION", 33, 55, KX_PROXY_FLAGS)               \
    FULL(KxDbTagPolarStretchAction, KxDbTagAction, "TAGPOLARSTRETCHACTION", 33, 55,               \
         KX_PROXY_FLAGS)                                                                          \
    SHORT(KxDbTagActionWithBasePt, KxDbTagAction)                                                 \
    FULL(KxDbTagRotateAction, KxDbTagActionWithBasePt, "TAGROTATEACTION", 33, 55, KX_PROXY_FLAGS) \
    FULL(KxDbTagScaleAction, KxDbTagActionWithBasePt, "TAGSCALEACTION", 33, 55, KX_PROXY_FLAGS)   \
    SHORT(KxDbTagLookupColumnDesc, AcRxObject)

#define KX_CLASSES_AFTER_DISPLAY(FULL, SHORT)                                           \
    SHORT(KxDbTagRefContext, AcRxObject)                                                \
    SHORT(KxDbCachedTagRefContext, AcRxObject)                                          \
    SHORT(KxDbTagRepresentation, AcRxObject)                                            \
    SHORT(KxDbTagRepresentationContext, AcRxObject)                                     \
    FULL(KxDbTagRepresentationData, AcDbObjectWrapper, "TAGREPRESENTATIONDATA", 25, 58, \
         KX_PROXY_FLAGS)                                                                \
    FULL(KxDbTagPurgePreventer, KxDbTagRepresentationData, "TAGPURGEPREVENTER", 25, 61, \
         KX_PROXY_FLAGS)                                                                \
    SHORT(KxDbNimbleBlockGripOverrule, AcDbGripOverrule)                                \
    SHORT(KxGiNimbleBlockDrawableOverrule, AcGiDrawableOverrule)                        \
    SHORT(KxDbTagRepresentationEquivalence, AcRxProtocolReactor)                        \
    SHORT(KxDbImpTagRepresentationEquivalence, KxDbTagRepresentationEquivalence)
