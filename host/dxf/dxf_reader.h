// Reading an ASCII DXF file into a new database. Objects are made by their DXF record name
// through the class registry and read through their own text filing; the reader handles what
// belongs to the file: handles (objects keep theirs), owners, persistent reactors, extension
// dictionaries and extended data. References are resolved through reserved handles, so an object
// may name one that comes later in the file; after the whole file every reference must name an
// object the file defined. Records of unknown names are kept as proxies with their groups and
// the row CLASSES gave their name. Entities of paper space (67 = 1) join the block their owner
// names, like every other entity.
#pragma once

#include <istream>
#include <vector>

#include "host/core/acstring.h"
#include "host/core/types.h"

class AcDbDatabase;

namespace kxhost {
namespace dxf {

// On success *db is a new database the caller deletes. On failure *db is null, the status says
// what kind of damage was found and *message (when given) names the line. A file of another
// version ($ACADVER other than the writer's) is refused with eInvalidDwgVersion; a file that
// does not name its version is read as this one.
//
// A record is kept as a proxy (AcDbProxyObject, or AcDbProxyEntity for entities) with its groups
// and record name when no class reads that record name, or when its class accepts the record
// but leaves some of its groups unread (a layout it does not know). *warnings (when given) is
// set to one line per such record: its line, record name, handle and why. Records whose kind
// others depend on (tables, block records, attributes) are not replaced; a warning says their
// unread groups were left out.
Acad::ErrorStatus readDxf(std::istream& in, AcDbDatabase*& db, AcString* message = nullptr,
                          std::vector<AcString>* warnings = nullptr);
Acad::ErrorStatus readDxfFile(const ACHAR* path, AcDbDatabase*& db, AcString* message = nullptr,
                              std::vector<AcString>* warnings = nullptr);

}  // namespace dxf
}  // namespace kxhost
