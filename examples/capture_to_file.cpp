// Captures the sensor's raw image and saves it as a PGM file (8 or 16 bit).
// Build: c++ -std=c++17 capture_to_file.cpp $(pkg-config --cflags --libs fpmodule)
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "fpmodule.h"

int main(int argc, char **argv)
{
    const std::string file = argc > 1 ? argv[1] : "capture.pgm";
    if (CheckDeviceConnection() != 1) {
        std::puts("no module found");
        return 1;
    }
    int32_t width = 0, height = 0;
    unsigned char bytesPerPixel = 0;
    // The size query also sets the geometry that GetRawImage moves.
    if (QuerySizeEx(&width, &height, &bytesPerPixel) != 1) {
        std::puts("size query failed (see SmartCard_Log)");
        DeviceDisConnection();
        return 1;
    }
    std::vector<unsigned char> image(std::size_t(width) * height * bytesPerPixel);
    if (image.empty() || GetRawImage(image.data()) != 1) {
        std::puts("capture failed (see SmartCard_Log)");
        DeviceDisConnection();
        return 1;
    }
    DeviceDisConnection();

    // PGM keeps 16-bit samples high byte first; the module sends them low byte first.
    if (bytesPerPixel == 2)
        for (std::size_t i = 0; i + 1 < image.size(); i += 2) std::swap(image[i], image[i + 1]);
    std::ofstream out(file, std::ios::binary);
    out << "P5\n" << width << ' ' << height << '\n' << (bytesPerPixel == 2 ? 65535 : 255) << '\n';
    out.write(reinterpret_cast<const char *>(image.data()), std::streamsize(image.size()));
    if (!out) {
        std::printf("could not write %s\n", file.c_str());
        return 1;
    }
    std::printf("saved %s: %d x %d pixels, %d bit\n", file.c_str(), int(width), int(height), bytesPerPixel * 8);
    return 0;
}
