// The module's image commands: the images it serves, its sensor baseline, the uploads it
// received, and the values of its calibration and sensing commands.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "sim/virtual_module.h"

namespace fpm::sim {

struct BaselinePixel {
    std::int32_t row, column;
    std::uint16_t value;
};

struct ImageModel {
    // Baseline: every pixel at `baselineLevel` except these (positions outside the
    // sensor are ignored). The defaults on the 120 x 100 sensor list (5,7), (5,8), (8,117)
    // and (9,2); the ones in the two outer rows and columns and the in-band 30 and 180
    // are not listed.
    std::uint16_t baselineLevel = 100;
    std::vector<BaselinePixel> baselinePixels{{5, 7, 20},   {5, 8, 200},  {8, 117, 181}, {9, 2, 29},
                                              {10, 10, 30}, {10, 11, 180}, {0, 4, 0},    {6, 1, 250},
                                              {98, 50, 255}, {40, 118, 3}};
    // Replaces the generated image of one command code (the data phase sends it as is).
    std::map<std::uint8_t, std::vector<std::uint8_t>> imageOverride;
    std::uint32_t fingerSeed = 1;                    // which finger the 16-bit captures show
    std::vector<std::vector<std::uint8_t>> uploads;  // data phases of image uploads
    std::uint8_t checkValue = 87;                    // reply byte 2 of the image check
    std::uint8_t dac = 0x5A;
    std::uint8_t vcb = 0x20;
    std::uint8_t currentData[5] = {11, 22, 33, 44, 55};
    std::uint16_t calibrationValues[2] = {0x1234, 0xBEEF};
    // The last finger made: making one takes far longer than copying it, and a procedure
    // asks for the same finger capture after capture.
    struct {
        int width = 0, height = 0;
        std::uint32_t seed = 0;
        std::vector<std::uint16_t> samples;
    } lastFinger;
};

// The image a command serves on the module's geometry (the calibration image depends on
// its index). The 16-bit current, buffer and fingerprint images are a synthetic finger.
std::vector<std::uint8_t> modelImage(VirtualModule &module, std::uint8_t code, std::uint8_t index = 0);

}  // namespace fpm::sim
