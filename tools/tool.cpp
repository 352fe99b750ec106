// fpmodule: a station's command-line view of the module, through the library's exports.
// It runs on the virtual module, so that it works on any machine; --real uses the host's
// own devices.
#include <cstdio>
#include <iostream>
#include <utility>
#include <vector>

#include "tools/cli_commands.h"

namespace fpm::cli {

namespace {
// The commands of the run under way; runTool builds them afresh each time.
std::vector<std::pair<CLI::App *, Action>> *g_actions = nullptr;
}  // namespace

void addCommand(CLI::App &app, const std::string &name, const std::string &description,
                const std::function<void(CLI::App &)> &options, Action action)
{
    CLI::App *sub = app.add_subcommand(name, description);
    if (options) options(*sub);
    g_actions->emplace_back(sub, std::move(action));
}

std::string printable(const unsigned char *bytes, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size && bytes[i]; ++i) text += (bytes[i] >= 32 && bytes[i] < 127) ? char(bytes[i]) : '.';
    return text;
}

int runTool(int argc, const char *const *argv)
{
    std::vector<std::pair<CLI::App *, Action>> actions;
    g_actions = &actions;
    CLI::App app{"fpmodule: the fingerprint module from the command line.\n"
                 "Every command runs on the virtual module unless --real is given."};
    app.name("fpmodule");
    app.set_version_flag("--version", "fpmodule " FPM_TOOL_VERSION);
    app.require_subcommand(1);
    addListCommand(app);
    addInfoCommand(app);
    addJourneyCommands(app);
    addDemoCommand(app);
    addCaptureCommand(app);
    addSelftestCommand(app);
    addRegisterCommand(app);
    addVendorCommand(app);
    addLogCommand(app);
    addTraceCommand(app);
    addDoctorCommand(app);

    if (argc <= 1) {
        std::cout << app.help();
        return kExitOk;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        const int code = app.exit(e);
        // Help and version are successes; every other complaint of the parser is a usage error.
        return code == static_cast<int>(CLI::ExitCodes::Success) ? kExitOk : kExitUsage;
    }
    std::fflush(stdout);
    for (auto &[sub, action] : actions)
        if (sub->parsed()) return action();
    return kExitOk;
}

}  // namespace fpm::cli
