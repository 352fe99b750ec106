// fpmodule: a station's command-line view of the module, through the library's exports.
// It runs on the virtual module, so that it works on any machine; --real uses the host's
// own devices.
#include <memory>
#include <vector>

#include "fpmodule.h"
#include "tools/cli_commands.h"

// The version comes from the header, which the build checks against the project version.
#define FPM_STRINGIFY_TEXT(x) #x
#define FPM_STRINGIFY(x) FPM_STRINGIFY_TEXT(x)

namespace fpm::cli {

namespace {
std::vector<std::pair<CLI::App *, Action>> &actions()
{
    static std::vector<std::pair<CLI::App *, Action>> list;
    return list;
}
}  // namespace

void addCommand(CLI::App &app, const std::string &name, const std::string &description,
                const std::function<void(CLI::App &)> &options, Action action)
{
    CLI::App *sub = app.add_subcommand(name, description);
    if (options) options(*sub);
    actions().emplace_back(sub, std::move(action));
}

std::string printable(const unsigned char *bytes, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size && bytes[i]; ++i) text += (bytes[i] >= 32 && bytes[i] < 127) ? char(bytes[i]) : '.';
    return text;
}

}  // namespace fpm::cli

int main(int argc, char **argv)
{
    CLI::App app{"fpmodule: the fingerprint module from the command line"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "fpmodule " FPM_STRINGIFY(FPM_VERSION_MAJOR) "." FPM_STRINGIFY(
                                          FPM_VERSION_MINOR) "." FPM_STRINGIFY(FPM_VERSION_PATCH));
    fpm::cli::addInfoCommand(app);
    fpm::cli::addListCommand(app);
    fpm::cli::addCaptureCommand(app);
    fpm::cli::addSelftestCommand(app);
    fpm::cli::addRegisterCommand(app);
    fpm::cli::addVendorCommand(app);
    CLI11_PARSE(app, argc, argv);
    for (auto &[sub, action] : fpm::cli::actions())
        if (sub->parsed()) return action();
    return 0;
}
