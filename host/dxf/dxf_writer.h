// Writing a drawing as ASCII DXF. Every object is written through its own text filing
// (dxfOutFields into a memory filer); the writer adds what belongs to the file rather than to the
// object: the record name, the handle (5), persistent reactors (102 {ACAD_REACTORS), the extension
// dictionary (102 {ACAD_XDICTIONARY), the owner (330) and, after the object's own groups, its
// extended data.
#pragma once

#include <ostream>

#include "host/core/acstring.h"
#include "host/core/types.h"
#include "host/db/dxffiler.h"
#include "host/dxf/dxf_tokens.h"

class AcDbDatabase;
class AcDbObject;

namespace kxhost {
namespace dxf {

// The version the writer files ($ACADVER) and the one its objects are filed for.
constexpr const char* kAcadVer = "AC1032";

// Writes the whole database: HEADER, CLASSES (a row per record name of a registered class the
// drawing uses, and the rows proxies came with), TABLES, BLOCKS, ENTITIES (model space, then
// paper space with 67 = 1), OBJECTS. A space's block record names its layout (340). Erased
// objects are left out, and references to them are written as null. On failure the status says
// why and *message (when given) names the object.
Acad::ErrorStatus writeDxf(AcDbDatabase* db, std::ostream& out, AcString* message = nullptr);
Acad::ErrorStatus writeDxfFile(AcDbDatabase* db, const ACHAR* path, AcString* message = nullptr);

// One object as a record: "0 <recordName>", the common groups, its own fields, its extended data.
// The object must be open for read.
Acad::ErrorStatus writeObjectRecord(TokenWriter& out, const AcDbObject* obj,
                                    const ACHAR* recordName);

// The items of a memory filer as file groups (coordinates spread over code, code+10, code+20;
// ids and handles as hexadecimal handles, null as "0"; binary data as hexadecimal chunks of at
// most 127 bytes). Entities file their angles (codes 50-58) in degrees, as every reader expects
// of them; other objects file every real as it is, so data an object keeps under those codes is
// not altered on the way.
Acad::ErrorStatus writeFilerItems(TokenWriter& out, const DxfMemoryFiler& items,
                                  bool anglesInDegrees);
// A resbuf chain (extended data) the same way.
Acad::ErrorStatus writeResbufChain(TokenWriter& out, const resbuf* chain);

}  // namespace dxf
}  // namespace kxhost
