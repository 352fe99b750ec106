// fpmodule info: the module's firmware version and image size.
#include <cstdio>
#include <string>

#include "fpmodule.h"
#include "sim/virtual_host.h"
#include "tools/cli_commands.h"

namespace fpm::cli {

namespace {

int info()
{
    auto &host = sim::VirtualHost::instance();
    host.addDecoy();
    host.addModule();
    FPM_HANDLE module = host.open(sim::kModulePath);

    unsigned char version[128] = {};
    if (GetFirmwareVersionWithHandle(module, 0, 128, version) != 1) {
        std::fprintf(stderr, "fpmodule: the module did not give its firmware version\n");
        return 1;
    }
    int32_t width = 0, height = 0;
    if (QuerySizeWithHandle(module, &width, &height) != 1) {
        std::fprintf(stderr, "fpmodule: the module did not give its image size\n");
        return 1;
    }
    std::printf("module    virtual (%s)\n", std::string(sim::kModulePath.begin(), sim::kModulePath.end()).c_str());
    std::printf("firmware  %s\n", printable(version, sizeof version).c_str());
    std::printf("family    %c%c\n", version[9], version[10]);
    std::printf("image     %d x %d pixels\n", width, height);
    return 0;
}

}  // namespace

void addInfoCommand(CLI::App &app)
{
    addCommand(app, "info", "Show the module's firmware version and image size", nullptr, info);
}

}  // namespace fpm::cli
