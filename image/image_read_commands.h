// The image reads and the image check: each a description of the two-phase read.
#pragma once

#include <cstdint>

#include "connection/result.h"
#include "image/two_phase_read.h"
#include "platform/device_io.h"

namespace fpm::image {

inline constexpr std::uint8_t kCmdGetCurrentImage = 0x31;
inline constexpr std::uint8_t kCmdCheckImage = 0x38;
inline constexpr std::uint8_t kCmdGetBufferImage = 0x39;
inline constexpr std::uint8_t kCmdOutputCalibrationImage = 0x47;
inline constexpr std::uint8_t kCmdOutputBaseImage = 0x49;
inline constexpr std::uint8_t kCmdGetRawImage = 0x4F;
inline constexpr std::uint8_t kCmdDumpFlashImage = 0x64;
inline constexpr std::uint8_t kCmdGetFingerprint = 0x70;

extern const ImageRead kRawImage;
extern const ImageRead kCurrentImage;
extern const ImageRead kFlashImage;
extern const ImageRead kBaseImage;

ResultByte outputCalibrationImage(device::Handle handle, std::uint8_t *buffer, std::uint8_t index);
ResultByte getBufferImage(device::Handle handle, std::int32_t sizeA, std::int32_t sizeB, std::uint8_t *buffer);
std::int32_t simpleGetImage(device::Handle handle, std::uint8_t *buffer, std::int32_t *length);
std::int32_t simpleGetFingerprint(device::Handle handle, std::uint8_t *buffer);
ResultByte checkImage(device::Handle handle, std::uint8_t *value);

}  // namespace fpm::image
