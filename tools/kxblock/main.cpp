// kxblock: the command-line host. It loads the dynamic-block plug-in into a host process and
// drives it.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "tools/kxblock/classes_command.h"
#include "tools/kxblock/commands.h"

namespace {

// Commands that change a drawing never overwrite their input unless -o names it.
constexpr const char* kOutputHelp = "Where to write the changed drawing (DXF)";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kxblock: see and drive the dynamic blocks of a drawing"};
    app.require_subcommand(1);

    bool json = false;
    CLI::App* classes =
        app.add_subcommand("classes", "List the run-time classes the plug-in registers");
    classes->add_flag("--json", json, "Print a JSON array");

    std::string demoOut = ".";
    CLI::App* demo = app.add_subcommand(
        "demo", "Build the sample drawing, drag one reference's grip, write demo.dxf and demo.svg");
    demo->add_option("--out", demoOut, "Folder to write demo.dxf and demo.svg into")
        ->capture_default_str();

    std::string file;
    std::string output;
    std::string ref;

    CLI::App* info =
        app.add_subcommand("info", "List the dynamic definitions and block references");
    info->add_option("FILE", file, "DXF drawing to read")->required();
    info->add_flag("--json", json, "Print JSON");

    CLI::App* grips = app.add_subcommand(
        "grips", "List the grips a reference offers: the dynamic grips, then the host's own");
    grips->add_option("FILE", file, "DXF drawing to read")->required();
    grips->add_option("--ref", ref, "Handle of the block reference (as info shows)")->required();
    grips->add_flag("--json", json, "Print JSON");

    int gripIndex = -1;
    std::string by;
    CLI::App* drag =
        app.add_subcommand("drag", "Drag one grip of a reference through the host's grip editor");
    drag->add_option("FILE", file, "DXF drawing to read")->required();
    drag->add_option("--ref", ref, "Handle of the block reference")->required();
    drag->add_option("--grip", gripIndex, "Index of the grip, as grips lists it")->required();
    drag->add_option("--by", by, "World offset DX,DY[,DZ]")->required();
    drag->add_option("-o,--output", output, kOutputHelp)->required();
    drag->add_flag("--json", json, "Print JSON");

    std::vector<std::string> properties;
    CLI::App* set = app.add_subcommand(
        "set", "Set properties of a reference as a properties palette would, and evaluate");
    set->add_option("FILE", file, "DXF drawing to read")->required();
    set->add_option("--ref", ref, "Handle of the block reference")->required();
    set->add_option("--property", properties,
                    "[NODE:]NAME=VALUE (NODE when NAME is not unique); repeatable")
        ->required();
    set->add_option("-o,--output", output, kOutputHelp)->required();
    set->add_flag("--json", json, "Print JSON");

    std::vector<std::string> gripRefs;
    CLI::App* render =
        app.add_subcommand("render", "Draw model space through the overrules as SVG or PNG");
    render->add_option("FILE", file, "DXF drawing to read")->required();
    render->add_option("-o,--output", output, "OUT.svg, or OUT.png (through rsvg-convert)")
        ->required();
    render->add_option("--grips", gripRefs, "Also draw the grip glyphs of these references");

    std::string block;
    bool dot = false;
    CLI::App* graph = app.add_subcommand("graph", "Show the evaluation graph of a definition");
    graph->add_option("FILE", file, "DXF drawing to read")->required();
    graph->add_option("--block", block, "Name of the dynamic definition")->required();
    graph->add_flag("--dot", dot, "Print Graphviz dot");
    graph->add_flag("--json", json, "Print JSON");

    bool fix = false;
    CLI::App* audit = app.add_subcommand(
        "audit", "Audit every object; with --fix, write the repaired drawing to -o OUT");
    audit->add_option("FILE", file, "DXF drawing to read")->required();
    audit->add_flag("--fix", fix, "Repair what can be repaired");
    audit->add_option("-o,--output", output, "Where to write the repaired drawing (with --fix)");
    audit->add_flag("--json", json, "Print JSON");

    CLI11_PARSE(app, argc, argv);

    if (classes->parsed()) {
        return kxtool::runClasses(json, std::cout, std::cerr);
    }
    if (demo->parsed()) {
        return kxtool::runDemo(demoOut, std::cout, std::cerr);
    }
    if (info->parsed()) {
        return kxtool::runInfo(file, json, std::cout, std::cerr);
    }
    if (grips->parsed()) {
        return kxtool::runGrips(file, ref, json, std::cout, std::cerr);
    }
    if (drag->parsed()) {
        return kxtool::runDrag(file, ref, gripIndex, by, output, json, std::cout, std::cerr);
    }
    if (set->parsed()) {
        return kxtool::runSet(file, ref, properties, output, json, std::cout, std::cerr);
    }
    if (render->parsed()) {
        return kxtool::runRender(file, output, gripRefs, std::cout, std::cerr);
    }
    if (graph->parsed()) {
        return kxtool::runGraph(file, block, dot, json, std::cout, std::cerr);
    }
    if (audit->parsed()) {
        return kxtool::runAudit(file, fix, output, json, std::cout, std::cerr);
    }
    return 2;
}
