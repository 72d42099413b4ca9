// kxblock demo, render and info: commands that work on a drawing with the plug-in loaded.
#pragma once

#include <ostream>
#include <string>

namespace kxtool {

// Builds the sample drawing, drags one reference's end grip and writes DIR/demo.dxf and
// DIR/demo.svg. Prints what it did.
int runDemo(const std::string& outDir, std::ostream& out, std::ostream& err);
// Model space of FILE as SVG (or PNG through rsvg-convert when OUT ends in ".png").
int runRender(const std::string& file, const std::string& outPath, std::ostream& err);
// The dynamic definitions and block references of FILE.
int runInfo(const std::string& file, bool json, std::ostream& out, std::ostream& err);

}  // namespace kxtool
