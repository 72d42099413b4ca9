// Model space drawn through the overrules as SVG, optionally with the grip glyphs the plug-in
// shows on some references.
#pragma once

#include <ostream>
#include <string>

#include "host/core/types.h"
#include "host/db/database.h"

namespace kxtool {

// World y points up and SVG y down, so every y is negated. Each element names the top-level
// entity it was drawn for (data-entity); grip glyphs are drawn in a group of class "grips" whose
// elements name their reference (data-reference) and grip index (data-grip).
Acad::ErrorStatus renderSvg(AcDbDatabase* db, std::string& svg,
                            const AcDbObjectIdArray& gripReferences = AcDbObjectIdArray());

// Writes the SVG, or converts it to PNG through rsvg-convert when the path ends in ".png".
// 0 on success; otherwise the reason is on `err`.
int writeRendering(const std::string& svg, const std::string& outPath, std::ostream& err);

bool writeText(const std::string& path, const std::string& content);

}  // namespace kxtool
