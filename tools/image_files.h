// Greyscale images to files: PNG (8- or 16-bit) or PGM, chosen by the file's extension.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fpm::cli {

enum class ImageFormat { Png, Pgm };

// The format a file name asks for (.png or .pgm, any case); nothing for other names.
std::optional<ImageFormat> formatFor(const std::string &path);

struct GreyImage {
    int width = 0;
    int height = 0;
    int bits = 8;                       // 8 or 16
    std::vector<std::uint8_t> samples;  // rows top to bottom; 16-bit samples low byte first
};

// Writes the image in the format its name asks for. On failure returns false with the
// reason in `error`.
bool writeImage(const std::string &path, const GreyImage &image, std::string &error);

// `path` with `suffix` put before its extension: a.png + "-8bit" = a-8bit.png.
std::string withSuffix(const std::string &path, const std::string &suffix);

}  // namespace fpm::cli
