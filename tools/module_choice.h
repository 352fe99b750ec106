// Which module the tool talks to: the virtual module (a module among decoy disks, the
// default) or, with --real, the host's own devices through the platform backend.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace fpm::cli {

struct ModuleChoice {
    bool real = false;
};

// Adds --real to a subcommand.
void addModuleOption(CLI::App &command, ModuleChoice &choice);

// Sets the library's device side up for the choice; call before the first export.
void prepareModules(const ModuleChoice &choice);

// UTF-16 text of a device path, for printing.
std::string narrow(const std::u16string &text);

}  // namespace fpm::cli
