// fpmodule capture: connects to the module, reads its current image and saves it as PNG;
// a 16-bit image also as the library's 8-bit conversion.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "fpmodule.h"
#include "sim/virtual_host.h"
#include "tools/cli_commands.h"
#include "tools/module_choice.h"

namespace fpm::cli {

namespace {

struct CaptureOptions {
    ModuleChoice module;
    std::string output = "capture.png";
    int depth = 8;  // the virtual sensor's
    int width = 120;
    int height = 100;
};

CaptureOptions g_options;

bool savePng(const std::string &path, const std::vector<std::uint8_t> &gray, int width, int height)
{
    if (!stbi_write_png(path.c_str(), width, height, 1, gray.data(), width)) {
        std::fprintf(stderr, "fpmodule: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("saved     %s (%d x %d)\n", path.c_str(), width, height);
    return true;
}

// 16-bit samples as they are: the lowest sample black, the highest white.
std::vector<std::uint8_t> stretched(const std::vector<std::uint8_t> &image16)
{
    std::vector<unsigned> v(image16.size() / 2);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = image16[2 * i] | image16[2 * i + 1] << 8;
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    const unsigned low = *lo, span = std::max(1u, *hi - low);
    std::vector<std::uint8_t> out(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) out[i] = static_cast<std::uint8_t>((v[i] - low) * 255u / span);
    return out;
}

std::string withSuffix(const std::string &path, const std::string &suffix)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

void setUpVirtualSensor(const CaptureOptions &o)
{
    if (o.module.real) return;
    if (sim::VirtualModule *m = sim::VirtualHost::instance().module()) {
        m->width = static_cast<std::uint8_t>(o.width);
        m->height = static_cast<std::uint8_t>(o.height);
        m->bytesPerPixel = o.depth == 16 ? 2 : 1;
    }
}

int saveCapture(const CaptureOptions &o)
{
    int32_t width = 0, height = 0;
    unsigned char bytesPerPixel = 0;
    if (QuerySizeEx(&width, &height, &bytesPerPixel) != 1) {
        std::fprintf(stderr, "fpmodule: the module did not give its image size\n");
        return 1;
    }
    std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height * bytesPerPixel);
    if (image.empty() || GetCurrentImage(image.data()) != 1) {
        std::fprintf(stderr, "fpmodule: the module did not give its current image\n");
        return 1;
    }
    std::printf("image     %d x %d pixels, %d bit\n", width, height, 8 * bytesPerPixel);
    if (bytesPerPixel == 1) return savePng(o.output, image, width, height) ? 0 : 1;
    if (!savePng(o.output, stretched(image), width, height)) return 1;

    std::vector<std::uint8_t> converted(static_cast<std::size_t>(width) * height);
    if (Trans16To8Img(image.data(), converted.data(), width, height) != 0) {
        std::fprintf(stderr, "fpmodule: the 16-bit image could not be converted\n");
        return 1;
    }
    return savePng(withSuffix(o.output, "-8bit"), converted, width, height) ? 0 : 1;
}

int capture()
{
    prepareModules(g_options.module);
    setUpVirtualSensor(g_options);
    if (CheckDeviceConnectionNoFwCheck() != 1) {
        DeviceDisConnection();
        std::fprintf(stderr, "fpmodule: no module connected; see SmartCard_Log beside this program\n");
        return 1;
    }
    const int status = saveCapture(g_options);
    DeviceDisConnection();
    return status;
}

}  // namespace

void addCaptureCommand(CLI::App &app)
{
    addCommand(
        app, "capture", "Save the module's current image as PNG",
        [](CLI::App &sub) {
            CaptureOptions &o = g_options;
            addModuleOption(sub, o.module);
            sub.add_option("-o,--output", o.output, "PNG file to write")->capture_default_str();
            sub.add_option("--depth", o.depth, "Bits per pixel of the virtual sensor")
                ->check(CLI::IsMember({8, 16}))
                ->capture_default_str();
            sub.add_option("--width", o.width, "Width of the virtual sensor")->check(CLI::Range(8, 255))->capture_default_str();
            sub.add_option("--height", o.height, "Height of the virtual sensor")->check(CLI::Range(8, 255))->capture_default_str();
        },
        capture);
}

}  // namespace fpm::cli
