// fpmodule capture: connects to the module, reads its current image and saves it as PNG
// (8 or 16 bits, as the sensor gives it) or PGM; a 16-bit image also as the library's
// 8-bit conversion beside it.
#include <cstdio>
#include <string>
#include <vector>

#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/image_files.h"
#include "tools/module_choice.h"
#include "tools/virtual_setup.h"

namespace fpm::cli {

namespace {

struct CaptureOptions {
    ModuleChoice module;
    std::string output = "capture.png";
    int depth = 8;  // the virtual sensor's
    int width = 120;
    int height = 100;
};

bool save(const std::string &path, const GreyImage &image)
{
    std::string error;
    if (!writeImage(path, image, error)) {
        std::fprintf(stderr, "fpmodule: %s\n", error.c_str());
        return false;
    }
    std::printf("saved     %s (%d x %d, %d bit)\n", path.c_str(), image.width, image.height, image.bits);
    return true;
}

int saveCapture(const CaptureOptions &o)
{
    int32_t width = 0, height = 0;
    unsigned char bytesPerPixel = 0;
    if (QuerySizeEx(&width, &height, &bytesPerPixel) != 1 || width <= 0 || height <= 0 ||
        (bytesPerPixel != 1 && bytesPerPixel != 2)) {
        std::fprintf(stderr, "fpmodule: the module did not give a usable image size\n");
        return kExitFailed;
    }
    GreyImage image{width, height, 8 * bytesPerPixel,
                    std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * bytesPerPixel)};
    if (GetCurrentImage(image.samples.data()) != 1) {
        std::fprintf(stderr, "fpmodule: the module did not give its current image\n");
        return kExitFailed;
    }
    std::printf("image     %d x %d pixels, %d bit\n", width, height, image.bits);
    if (!save(o.output, image)) return kExitFailed;
    if (bytesPerPixel == 1) return kExitOk;

    GreyImage converted{width, height, 8, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height)};
    if (Trans16To8Img(image.samples.data(), converted.samples.data(), width, height) != 0) {
        std::fprintf(stderr, "fpmodule: the 16-bit image could not be converted\n");
        return kExitFailed;
    }
    return save(withSuffix(o.output, "-8bit"), converted) ? kExitOk : kExitFailed;
}

int capture(CaptureOptions &o)
{
    if (!formatFor(o.output)) {
        std::fprintf(stderr, "fpmodule: %s: capture writes .png or .pgm files only\n", o.output.c_str());
        return kExitUsage;
    }
    prepareModules(o.module);
    if (!o.module.real) setVirtualSensor(o.width, o.height, o.depth / 8);
    if (!connectModule(o.module, FirmwareCheck::None)) return kExitFailed;
    const int status = saveCapture(o);
    DeviceDisConnection();
    return status;
}

void options(CLI::App &sub, CaptureOptions &o)
{
    addModuleOption(sub, o.module);
    sub.add_option("-o,--output", o.output, "Image file to write: .png, or .pgm")->capture_default_str();
    sub.add_option("--depth", o.depth, "Bits per pixel of the virtual sensor")
        ->check(CLI::IsMember({8, 16}))
        ->capture_default_str();
    sub.add_option("--width", o.width, "Width of the virtual sensor")->check(CLI::Range(8, 255))->capture_default_str();
    sub.add_option("--height", o.height, "Height of the virtual sensor")->check(CLI::Range(8, 255))->capture_default_str();
}

}  // namespace

void addCaptureCommand(CLI::App &app)
{
    addCommandWith<CaptureOptions>(app, "capture", "Save the module's current image as PNG or PGM", options, capture);
}

}  // namespace fpm::cli
