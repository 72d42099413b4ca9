// kxblock: the command-line host. It loads the dynamic-block plug-in into a host process and
// drives it.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "tools/kxblock/classes_command.h"
#include "tools/kxblock/drawing_commands.h"

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

    std::string renderFile;
    std::string renderOut;
    CLI::App* render =
        app.add_subcommand("render", "Draw model space through the overrules as SVG or PNG");
    render->add_option("FILE", renderFile, "DXF drawing to read")->required();
    render->add_option("-o,--output", renderOut, "OUT.svg, or OUT.png (through rsvg-convert)")
        ->required();

    std::string infoFile;
    bool infoJson = false;
    CLI::App* info =
        app.add_subcommand("info", "List the dynamic definitions and block references");
    info->add_option("FILE", infoFile, "DXF drawing to read")->required();
    info->add_flag("--json", infoJson, "Print JSON");

    CLI11_PARSE(app, argc, argv);

    if (demo->parsed()) {
        return kxtool::runDemo(demoOut, std::cout, std::cerr);
    }
    if (render->parsed()) {
        return kxtool::runRender(renderFile, renderOut, std::cerr);
    }
    if (info->parsed()) {
        return kxtool::runInfo(infoFile, infoJson, std::cout, std::cerr);
    }

    if (classes->parsed()) {
        return kxtool::runClasses(json, std::cout, std::cerr);
    }
    return 2;
}
