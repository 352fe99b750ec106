// The subcommands of the fpmodule tool, one file each. Each adds itself to the app and
// returns the action to run when it was the one given on the command line.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

namespace fpm::cli {

using Action = std::function<int()>;

// Registers a subcommand; `action` runs when it was parsed.
void addCommand(CLI::App &app, const std::string &name, const std::string &description,
                const std::function<void(CLI::App &)> &options, Action action);

// Text of a byte string up to its first zero, non-printable bytes as dots.
std::string printable(const unsigned char *bytes, std::size_t size);

void addInfoCommand(CLI::App &app);
void addListCommand(CLI::App &app);
void addCaptureCommand(CLI::App &app);
void addSelftestCommand(CLI::App &app);
void addRegisterCommand(CLI::App &app);
void addVendorCommand(CLI::App &app);

}  // namespace fpm::cli
