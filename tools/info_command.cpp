// fpmodule info: connect to the module and show its firmware version, image size and
// defect pixels.
#include <cstdio>
#include <string>

#include "exports/tool_interface.h"
#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/json.h"
#include "tools/module_choice.h"

namespace fpm::cli {

namespace {

struct InfoOptions {
    ModuleChoice module;
    bool json = false;
};

// The host's limit on one transfer, when it names one, and what to do when the image
// does not fit it (USB 2.0 mass storage carries 120 KiB per request by default).
void reportTransferLimit(std::int64_t imageBytes)
{
    const std::uint32_t limit = tool::transferLimit();
    if (limit == 0) return;
    std::printf("transfer  at most %u bytes per request\n", limit);
    std::fflush(stdout);  // before the advice on stderr
    if (imageBytes <= limit) return;
    const std::string path = connectedPath();
    const std::size_t start = path.find("#sg");
    const std::string node = start == std::string::npos ? "sgN" : path.substr(start + 1, path.find('#', start + 1) - start - 1);
    std::fprintf(stderr,
                 "fpmodule: an image of %lld bytes does not fit; raise the limit (until the next replug) with\n"
                 "  echo 1024 | sudo tee /sys/class/scsi_generic/%s/device/max_sectors\n"
                 "or install packaging/udev/70-fpmodule.rules (see docs/linux.md)\n",
                 static_cast<long long>(imageBytes), node.c_str());
}

int info(InfoOptions &o)
{
    prepareModules(o.module);
    if (!connectModule(o.module)) return kExitFailed;
    unsigned char version[128] = {};
    int32_t width = 0, height = 0;
    unsigned char bytesPerPixel = 0;
    int status = kExitOk;
    if (GetFirmwareVersion(0, 128, version) != 1) {
        std::fprintf(stderr, "fpmodule: the module did not give its firmware version\n");
        status = kExitFailed;
    } else if (QuerySizeEx(&width, &height, &bytesPerPixel) != 1) {
        std::fprintf(stderr, "fpmodule: the module did not give its image size\n");
        status = kExitFailed;
    } else {
        const std::string firmware = printable(version, sizeof version);
        const std::string family = printable(version + 9, 2);
        if (o.json) {
            std::printf("%s\n", JsonObject()
                                    .add("virtual", !o.module.real)
                                    .addText("module", connectedPath())
                                    .addText("firmware", firmware)
                                    .addText("family", family)
                                    .add("width", static_cast<long long>(width))
                                    .add("height", static_cast<long long>(height))
                                    .add("bytesPerPixel", static_cast<long long>(bytesPerPixel))
                                    .add("defectPixels", static_cast<long long>(defectPixelCount()))
                                    .str()
                                    .c_str());
        } else {
            std::printf("module    %s\n", connectedPath().c_str());
            std::printf("firmware  %s\n", firmware.c_str());
            std::printf("family    %s\n", family.c_str());
            std::printf("image     %d x %d pixels, %d byte(s) per pixel\n", width, height, bytesPerPixel);
            std::printf("defects   %zu pixel(s)\n", defectPixelCount());
            reportTransferLimit(static_cast<std::int64_t>(width) * height * bytesPerPixel);
        }
    }
    DeviceDisConnection();
    return status;
}

void options(CLI::App &command, InfoOptions &o)
{
    addModuleOption(command, o.module);
    command.add_flag("--json", o.json, "Print the details as JSON");
}

}  // namespace

void addInfoCommand(CLI::App &app)
{
    addCommandWith<InfoOptions>(app, "info", "Connect to the module and show its firmware, image size and defect pixels",
                                options, info);
}

}  // namespace fpm::cli
