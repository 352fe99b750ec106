// fpmodule: a station's command-line view of the module, through the library's exports.
// It runs on the virtual module, so that it works on any machine.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "fpmodule.h"
#include "sim/virtual_host.h"

namespace {

std::string printable(const unsigned char *bytes, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size && bytes[i]; ++i) text += (bytes[i] >= 32 && bytes[i] < 127) ? char(bytes[i]) : '.';
    return text;
}

int info()
{
    auto &host = fpm::sim::VirtualHost::instance();
    host.addDecoy();
    host.addModule();
    FPM_HANDLE module = host.open(fpm::sim::kModulePath);

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
    std::printf("module    virtual (%s)\n", std::string(fpm::sim::kModulePath.begin(), fpm::sim::kModulePath.end()).c_str());
    std::printf("firmware  %s\n", printable(version, sizeof version).c_str());
    std::printf("family    %c%c\n", version[9], version[10]);
    std::printf("image     %d x %d pixels\n", width, height);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    CLI::App app{"fpmodule: the fingerprint module from the command line"};
    app.require_subcommand(1);
    auto *infoCommand = app.add_subcommand("info", "Show the module's firmware version and image size");
    CLI11_PARSE(app, argc, argv);
    if (infoCommand->parsed()) return info();
    return 0;
}
