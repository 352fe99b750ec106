// fpmodule info: connect to the module and show its firmware version, image size and
// defect pixels.
#include <cstdio>
#include <string>

#include "exports/tool_interface.h"
#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/module_choice.h"

namespace fpm::cli {

namespace {

ModuleChoice g_choice;

int info()
{
    prepareModules(g_choice);
    if (CheckDeviceConnection() != 1) {
        const FPM_HANDLE left = tool::connectedHandle();
        if (!left) {
            std::fprintf(stderr, "fpmodule: no module connected: none present, or more than one\n");
        } else if (left == FPM_INVALID_HANDLE) {
            std::fprintf(stderr,
                         "fpmodule: a module was found but could not be opened (on Linux: permissions, see "
                         "docs/linux.md) or its firmware family is not accepted\n");
        } else {
            std::fprintf(stderr, "fpmodule: the module is open but its sensor baseline could not be read\n");
        }
        DeviceDisConnection();
        return 1;
    }
    int status = 0;
    unsigned char version[128] = {};
    int32_t width = 0, height = 0;
    unsigned char bytesPerPixel = 0;
    if (GetFirmwareVersion(0, 128, version) != 1) {
        std::fprintf(stderr, "fpmodule: the module did not give its firmware version\n");
        status = 1;
    } else if (QuerySizeEx(&width, &height, &bytesPerPixel) != 1) {
        std::fprintf(stderr, "fpmodule: the module did not give its image size\n");
        status = 1;
    } else {
        std::printf("module    %s\n", narrow(tool::connectedPath()).c_str());
        std::printf("firmware  %s\n", printable(version, sizeof version).c_str());
        std::printf("family    %c%c\n", version[9], version[10]);
        std::printf("image     %d x %d pixels, %d byte(s) per pixel\n", width, height, bytesPerPixel);
        std::printf("defects   %zu pixel(s)\n", tool::defectPixelCount());
    }
    DeviceDisConnection();
    return status;
}

}  // namespace

void addInfoCommand(CLI::App &app)
{
    addCommand(app, "info", "Connect to the module and show its firmware, image size and defect pixels",
               [](CLI::App &command) { addModuleOption(command, g_choice); }, info);
}

}  // namespace fpm::cli
