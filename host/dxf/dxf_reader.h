// Reading an ASCII DXF file into a new database. Objects are made by their DXF record name
// through the class registry and read through their own text filing; the reader handles what
// belongs to the file: handles (objects keep theirs), owners, persistent reactors, extension
// dictionaries and extended data. References are resolved through reserved handles, so an object
// may name one that comes later in the file; after the whole file every reference must name an
// object the file defined. Records of unknown names are kept as proxies with their groups.
#pragma once

#include <istream>

#include "host/core/acstring.h"
#include "host/core/types.h"

class AcDbDatabase;

namespace kxhost {
namespace dxf {

// On success *db is a new database the caller deletes. On failure *db is null, the status says
// what kind of damage was found and *message (when given) names the line.
Acad::ErrorStatus readDxf(std::istream& in, AcDbDatabase*& db, AcString* message = nullptr);
Acad::ErrorStatus readDxfFile(const ACHAR* path, AcDbDatabase*& db, AcString* message = nullptr);

}  // namespace dxf
}  // namespace kxhost
