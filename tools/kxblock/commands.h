// The kxblock subcommands that work on drawings. Each returns the process's exit status: 0 on
// success, 1 when the drawing or the request is at fault (the reason on `err`), 2 when the
// plug-in cannot be loaded.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kxtool {

// Builds the sample drawing, drags one reference's end grip and writes DIR/demo.dxf and
// DIR/demo.svg. Prints what it did.
int runDemo(const std::string& outDir, std::ostream& out, std::ostream& err);
// Model space of FILE as SVG (or PNG through rsvg-convert when OUT ends in ".png"), with the
// grip glyphs of the references named by `gripHandles`.
int runRender(const std::string& file, const std::string& outPath,
              const std::vector<std::string>& gripHandles, std::ostream& out, std::ostream& err);
// The dynamic definitions and block references of FILE.
int runInfo(const std::string& file, bool json, std::ostream& out, std::ostream& err);
// The grips offered on one reference, in the host's order.
int runGrips(const std::string& file, const std::string& ref, bool json, std::ostream& out,
             std::ostream& err);
// Drags grip `grip` of one reference by a world offset ("DX,DY[,DZ]") and writes OUT.
int runDrag(const std::string& file, const std::string& ref, int grip, const std::string& by,
            const std::string& outPath, bool json, std::ostream& out, std::ostream& err);
// Sets properties ("[NODE:]NAME=VALUE") of one reference as a properties palette would and
// writes OUT.
int runSet(const std::string& file, const std::string& ref,
           const std::vector<std::string>& assignments, const std::string& outPath, bool json,
           std::ostream& out, std::ostream& err);
// The evaluation graph of one definition.
int runGraph(const std::string& file, const std::string& block, bool dot, bool json,
             std::ostream& out, std::ostream& err);
// Audits every object of FILE; with `fix`, repairs what can be and writes OUT.
int runAudit(const std::string& file, bool fix, const std::string& outPath, bool json,
             std::ostream& out, std::ostream& err);

}  // namespace kxtool
