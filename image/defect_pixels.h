// The sensor's defect-pixel map: built from the baseline image at every connect, and used
// to repair the images that enrolment, verification and identification return.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "connection/connection_state.h"

namespace fpm::image {

// Test mode in, size query, baseline read into the connection's baseImage, test mode
// out, and the list of inner pixels outside the accepted band, on the connected module.
// 0 on success, -1 when the baseline could not be read (the connect then fails).
std::int32_t buildDefectPixelMap();

// Replaces each listed pixel of `image`, read with the geometry `inUse`, by the mean of
// its nearest unlisted neighbours in the same row. Asks the module for its size first
// and stores the answer nowhere. 0 done or switched off; -1 size query failed,
// kGeometryChanged the module's answer no longer describes `inUse` (the image must not
// be trusted), -3 no image, -4 no baseline for this geometry, -5 a listed pixel has no
// usable neighbour (the image is then left as it was).
inline constexpr std::int32_t kGeometryChanged = -2;
std::int32_t repairDefectPixels(std::uint8_t *image, const Geometry &inUse);

// The pieces of the two above that need no module.

// Inner pixels (2 or more away from every edge) of a baseline whose value lies outside
// 30..180, rows top to bottom, columns left to right. 16-bit values are low byte first.
std::vector<DefectPixel> findDefectPixels(const std::uint8_t *baseline, std::int32_t width, std::int32_t height,
                                          std::int32_t bytesPerPixel);

// Repairs `image` in place from the list: 0, or -5 with the image unchanged. Time grows
// with the number of listed pixels, not with the image.
std::int32_t repairListedPixels(std::uint8_t *image, std::int32_t width, std::int32_t height,
                                std::int32_t bytesPerPixel, std::span<const DefectPixel> defects);

}  // namespace fpm::image
