// The subcommands of the fpmodule tool, one file each. Each adds itself to the app and
// returns the action to run when it was the one given on the command line.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>

namespace fpm::cli {

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the module refused or failed, or no module answered
constexpr int kExitUsage = 2;   // the command line was wrong

using Action = std::function<int()>;

// Registers a subcommand; `action` runs when it was parsed.
void addCommand(CLI::App &app, const std::string &name, const std::string &description,
                const std::function<void(CLI::App &)> &options, Action action);

// Registers a subcommand whose options live in a fresh T for this run of the tool.
template <typename T>
void addCommandWith(CLI::App &app, const std::string &name, const std::string &description,
                    void (*options)(CLI::App &, T &), int (*action)(T &))
{
    auto values = std::make_shared<T>();
    addCommand(
        app, name, description, [values, options](CLI::App &sub) { options(sub, *values); },
        [values, action] { return action(*values); });
}

// Runs the tool on a command line, as main() does; returns the exit code.
int runTool(int argc, const char *const *argv);

// Text of a byte string up to its first zero, non-printable bytes as dots.
std::string printable(const unsigned char *bytes, std::size_t size);

void addInfoCommand(CLI::App &app);
void addListCommand(CLI::App &app);
void addCaptureCommand(CLI::App &app);
void addSelftestCommand(CLI::App &app);
void addRegisterCommand(CLI::App &app);
void addVendorCommand(CLI::App &app);
void addJourneyCommands(CLI::App &app);
void addDemoCommand(CLI::App &app);
void addLogCommand(CLI::App &app);
void addTraceCommand(CLI::App &app);
void addDoctorCommand(CLI::App &app);

}  // namespace fpm::cli
