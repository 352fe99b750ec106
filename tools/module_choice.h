// Which module the tool talks to: the virtual module (a module among decoy disks, the
// default) or, with --real, the host's own devices through the platform backend; and
// the tool's one way of connecting to it.
#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fpm::cli {

struct ModuleChoice {
    bool real = false;
};

// Adds --real to a subcommand.
void addModuleOption(CLI::App &command, ModuleChoice &choice);

// Sets the library's device side up for the choice; call before the first export. On
// the virtual module it says so on stderr, so that nobody takes its answers for a real
// module's.
void prepareModules(const ModuleChoice &choice);

// The interface paths of the modules the host shows; nothing when its device list is
// unavailable.
std::optional<std::vector<std::string>> listModules();

enum class FirmwareCheck { Families, None };

// Connects the library to the one module present. On failure it prints one message that
// says why (no device list, no module, several, cannot be opened or rejected) and
// returns false with the connection closed.
bool connectModule(const ModuleChoice &choice, FirmwareCheck check = FirmwareCheck::Families);

// Why the host's device list could not be read, and what to do about it.
const char *deviceListAdvice();

// The connected module's interface path and the count of its listed defect pixels.
std::string connectedPath();
std::size_t defectPixelCount();

// Whether a background procedure of the library is still running.
bool proceduresRunning();
// Waits (a few seconds at most) until every background procedure of the library has
// ended, so that the tool does not exit under a worker thread.
void waitForProcedures();

// The folder the library logs to when the tool connects.
std::filesystem::path toolLogFolder();

// UTF-16 text of a device path, for printing.
std::string narrow(const std::u16string &text);

}  // namespace fpm::cli
