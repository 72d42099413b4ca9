// kxblock: the command-line host. It loads the dynamic-block plug-in into a host process and
// drives it.
#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/kxblock/classes_command.h"

int main(int argc, char** argv) {
    CLI::App app{"kxblock: see and drive the dynamic blocks of a drawing"};
    app.require_subcommand(1);

    bool json = false;
    CLI::App* classes =
        app.add_subcommand("classes", "List the run-time classes the plug-in registers");
    classes->add_flag("--json", json, "Print a JSON array");

    CLI11_PARSE(app, argc, argv);

    if (classes->parsed()) {
        return kxtool::runClasses(json, std::cout, std::cerr);
    }
    return 2;
}
