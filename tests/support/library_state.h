// Puts the library's process-wide state back to its load-time values (tests and the
// fuzz targets, between cases), and the few views of it that a harness needs.
#pragma once

#include <cstdint>

namespace fpm::test {

void resetLibraryState();

// The image size the library's reads use now (width x height x bytes per pixel of the
// caller's last size query); 0 without one.
std::int64_t libraryImageBytes();
// Its width x height: the size of an 8-bit image of it.
std::int64_t libraryImagePixels();

// As after a size query that reported this geometry, without a module.
void setLibraryGeometry(std::int32_t width, std::int32_t height, std::int32_t bytesPerPixel);

}  // namespace fpm::test
