// Basic types of the host's extension interface: integer widths, the character type, the status
// type every operation returns, and the enumerations shared by the database, the filers and the
// run-time class system.
#pragma once

#include <cstddef>
#include <cstdint>

typedef wchar_t ACHAR;

#define ACRX_T(x) L##x

namespace Adesk {
typedef int8_t Int8;
typedef uint8_t UInt8;
typedef int16_t Int16;
typedef uint16_t UInt16;
typedef int32_t Int32;
typedef uint32_t UInt32;
typedef int64_t Int64;
typedef uint64_t UInt64;
typedef bool Boolean;
typedef intptr_t IntPtr;
typedef uintptr_t UIntPtr;
typedef int64_t LongPtr;
typedef uint64_t ULongPtr;
constexpr bool kFalse = false;
constexpr bool kTrue = true;
}  // namespace Adesk

namespace Acad {
// The status type carries any integer: plug-ins return values of their own through it.
enum ErrorStatus : int {
    eOk = 0,
    eNotImplementedYet = 1,
    eNotHandled = 2,  // nothing to act on (no object behind a helper, an unknown record kind)
    eInvalidInput = 3,
    eAmbiguousInput = 4,
    eAmbiguousOutput = 5,
    eOutOfMemory = 6,
    eBufferTooSmall = 7,
    eInvalidOpenState = 8,
    eEntityInInactiveLayout = 9,
    eHandleExists = 10,
    eNullHandle = 11,
    eBrokenHandle = 12,
    eUnknownHandle = 13,
    eHandleInUse = 14,
    eNullObjectPointer = 15,
    eNullObjectId = 16,
    eNullBlockName = 17,
    eContainerNotEmpty = 18,
    eNullEntityPointer = 20,
    eIllegalEntityType = 21,
    eKeyNotFound = 22,
    eDuplicateKey = 23,
    eInvalidIndex = 24,
    eDuplicateIndex = 25,
    eAlreadyInDb = 26,
    eOutOfDisk = 27,
    eDeletedEntry = 28,
    eNegativeValueNotAllowed = 29,
    eInvalidExtents = 30,
    eInvalidAdsName = 31,
    eInvalidSymbolTableName = 32,
    eInvalidKey = 33,
    eWrongObjectType = 34,
    eWrongDatabase = 35,
    eObjectToBeDeleted = 36,
    eInvalidDwgVersion = 37,
    eAnonymousEntry = 38,
    eIllegalReplacement = 39,
    eEndOfObject = 40,
    eEndOfFile = 41,
    eIsReading = 42,
    eIsWriting = 43,
    eNotOpenForRead = 44,
    eNotOpenForWrite = 45,
    eNotThatKindOfClass = 46,
    eInvalidBlockName = 47,
    eMissingDxfField = 48,
    eDuplicateDxfField = 49,
    eInvalidDxfCode = 50,
    eInvalidResBuf = 51,
    eBadDxfSequence = 52,
    eFilerError = 53,
    eVertexAfterFace = 54,
    eInvalidFaceVertexIndex = 55,
    eInvalidMeshVertexIndex = 56,
    eOtherObjectsBusy = 57,
    eMustFirstAddBlockToDb = 58,
    eCannotNestBlockDefs = 59,
    eDwgRecoveredOK = 60,
    eDwgNotRecoverable = 61,
    eDxfPartiallyRead = 62,
    eDxfReadAborted = 63,
    eDxbPartiallyRead = 64,
    eDwgCRCDoesNotMatch = 65,
    eDwgSentinelDoesNotMatch = 66,
    eDwgObjectImproperlyRead = 67,
    eNoInputFiler = 68,
    eDwgNeedsAFullSave = 69,
    eDxbReadAborted = 70,
    eFileLockedByACAD = 71,
    eFileAccessErr = 72,
    eFileSystemErr = 73,
    eFileInternalErr = 74,
    eFileTooManyOpen = 75,
    eFileNotFound = 76,
    eDwkLockFileFound = 77,
    eWasErased = 78,
    ePermanentlyErased = 79,
    eWasOpenForWrite = 80,  // a read was asked of an object open for write
    eWasOpenForRead = 81,   // a write was asked of an object open for read
    eWasOpenForUndo = 82,
    eWasNotifying = 83,
    eWasOpenForNotify = 84,
    eOnLockedLayer = 85,
    eMustOpenThruOwner = 86,
    eSubentitiesStillOpen = 87,
    eAtMaxReaders = 88,
    eIsWriteProtected = 89,
    eIsXRefObject = 90,
    eNotAnEntity = 91,
    eHadMultipleReaders = 92,
    eDuplicateRecordName = 93,
    eXRefDependent = 94,
    eSelfReference = 95,
    eMissingSymbolTable = 96,
    eMissingSymbolTableRec = 97,
    eWasNotOpenForWrite = 98,
    eCloseWasNotifying = 99,
    eCloseModifyAborted = 100,
    eClosePartialFailure = 101,
    eCloseFailObjectDamaged = 102,
    eCannotBeErasedByCaller = 103,
    eCannotBeResurrected = 104,
    eWasNotErased = 105,
    eInsertAfter = 106,
    eFixedAllErrors = 107,
    eNoDatabase = 124,
    eInvalidContext = 221,
    eNotInDatabase = 340,
    eWasNotOpen = 360,
    eInvalidValue = 402,
    eNotInGroup = 404,
    // Host-only values with numbers of their own.
    eNotApplicable = 3001,
    eUnmatchedClose = 3002,
};
}  // namespace Acad

namespace AcRx {
enum AppMsgCode { kNullMsg = 0, kInitAppMsg = 1, kUnloadAppMsg = 2 };
enum AppRetCode { kRetOK = 0, kRetError = 3 };
}  // namespace AcRx

namespace AcDb {
enum OpenMode { kForRead = 0, kForWrite = 1, kForNotify = 2 };

enum FilerType {
    kFileFiler = 0,
    kCopyFiler = 1,
    kUndoFiler = 2,
    kBagFiler = 3,
    kIdXlateFiler = 4,
    kPageFiler = 5,
    kDeepCloneFiler = 6,
    kIdFiler = 7,
    kPurgeFiler = 8,
    kWblockCloneFiler = 9
};

// Drawing-format versions as the run-time class system and the filers report them.
enum AcDbDwgVersion {
    kDHL_MC0_0 = 0,
    kDHL_1800a = 23,
    kDHL_1800 = 25,  // 2004 format
    kDHL_2100a = 26,
    kDHL_1021 = 27,  // 2007 format
    kDHL_2400a = 28,
    kDHL_1024 = 29,  // 2010 format
    kDHL_1027 = 31,  // 2013 format
    kDHL_1032 = 33,  // 2018 format
    kDHL_CURRENT = kDHL_1032,
    kDHL_Unknown = 32766,
    kDHL_Max = 32767
};

enum MaintenanceReleaseVersion {
    kMRelease0 = 0,
    kMReleaseCurrent = 226,
    kMReleaseUnknown = 126,
    kMReleaseMax = 255
};

enum DeepCloneType {
    kDcCopy = 0,
    kDcExplode = 1,
    kDcBlock = 2,
    kDcXrefBind = 3,
    kDcSymTableMerge = 4,
    kDcSaveAs = 5,
    kDcInsert = 6,
    kDcWblock = 7,
    kDcObjects = 8,
    kDcXrefInsert = 9,
    kDcInsertCopy = 10,
    kDcWblkObjects = 11
};

enum DuplicateRecordCloning {
    kDrcNotApplicable = 0,
    kDrcIgnore = 1,
    kDrcReplace = 2,
    kDrcXrefMangleName = 3,
    kDrcMangleName = 4,
    kDrcUnmangleName = 5
};

enum Visibility { kVisible = 0, kInvisible = 1 };

enum GripStat { kGripsDone = 0, kGripsToBeDeleted = 1, kDimDataToBeDeleted = 2 };

enum DwgDataType {
    kDwgNull = 0,
    kDwgReal = 1,
    kDwgInt32 = 2,
    kDwgInt16 = 3,
    kDwgInt8 = 4,
    kDwgText = 5,
    kDwgBChunk = 6,
    kDwgHandle = 7,
    kDwgHardOwnershipId = 8,
    kDwgSoftOwnershipId = 9,
    kDwgHardPointerId = 10,
    kDwgSoftPointerId = 11,
    kDwg3Real = 12,
    kDwgInt64 = 13,
    kDwgNotRecognized = 19
};

enum FilerSeekType { kSeekFromStart = 0, kSeekFromCurrent = 1, kSeekFromEnd = 2 };
}  // namespace AcDb

namespace AcGe {
// Unused marker kept for call shapes that take a geometry kind.
enum EntityId { kEntity2d = 0, kEntity3d = 1 };
}  // namespace AcGe
