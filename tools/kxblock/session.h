// What every kxblock command that works on a drawing shares: the plug-in loaded for the
// command's lifetime, objects held open on every path, drawings read and written, and the small
// conversions between the host's values and the command line's text.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "host/core/acstring.h"
#include "host/db/database.h"
#include "host/db/dbobject.h"
#include "host/db/opened.h"

class KxDbTagEvalVariant;

namespace kxtool {

using kxhost::Opened;

// The plug-in loaded for the command's lifetime; databases must be gone before it unloads.
class PluginSession {
  public:
    explicit PluginSession(std::ostream& err);
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;
    bool loaded() const { return m_loaded; }

  private:
    AcString m_path;
    bool m_loaded = false;
};

// A drawing read from a DXF file, deleted with the holder. Null (with the reason on `err`) when
// the file cannot be read.
class Drawing {
  public:
    Drawing(const std::string& file, std::ostream& err);
    ~Drawing() { delete m_db; }
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;
    AcDbDatabase* get() const { return m_db; }

  private:
    AcDbDatabase* m_db = nullptr;
};

// Loads the plug-in, reads FILE and runs `body` on the drawing; the drawing is gone and the
// plug-in unloaded when it returns. The exit status: body's, 1 when FILE cannot be read, 2 when
// the plug-in cannot be loaded.
int withDrawing(const std::string& file, std::ostream& err,
                const std::function<int(AcDbDatabase*)>& body);
// The same for one block reference of FILE named by its handle (1 when it names none).
int withReference(const std::string& file, const std::string& handle, std::ostream& err,
                  const std::function<int(AcDbDatabase*, const AcDbObjectId&)>& body);

// Writes the drawing as DXF; false (with the reason on `err`) when it cannot.
bool writeDrawing(AcDbDatabase* db, const std::string& path, std::ostream& err);

std::string text(const AcString& s);
std::string handleOf(const AcDbObjectId& id);
std::string blockName(const AcDbObjectId& btrId);
std::string statusText(Acad::ErrorStatus es);
// "status N", with what it means to the user where that is not obvious.
std::string refusal(Acad::ErrorStatus es);
// The entities of a block, in the block's order.
AcDbObjectIdArray entitiesOf(const AcDbObjectId& btrId);
// The block a reference shows now; the null id when it cannot be opened.
AcDbObjectId blockOfReference(const AcDbObjectId& refId);
// Every block record of the drawing, in the table's order.
AcDbObjectIdArray blocksOf(AcDbDatabase* db);

// The block reference a handle names; the null id (with the reason on `err`) when the handle is
// malformed, unknown, or names something else.
AcDbObjectId referenceByHandle(AcDbDatabase* db, const std::string& handle, std::ostream& err);

// A property value as JSON: number, [x, y, z], string or null, by the value's group code.
nlohmann::json valueJson(const KxDbTagEvalVariant& v);

// A dynamic block reference as info lists it: handle, block, definition, position and
// properties; null for anything else.
nlohmann::json referenceJson(const AcDbObjectId& refId);
// The properties of such a row, one a line.
void printProperties(const nlohmann::json& row, std::ostream& out);

}  // namespace kxtool
