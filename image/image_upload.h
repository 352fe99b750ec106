// The upload of a host image to the module: request, data, status poll, completion poll.
#pragma once

#include <cstdint>

#include "connection/result.h"
#include "platform/device_io.h"

namespace fpm::image {

inline constexpr std::uint8_t kCmdSendImage = 0x3B;
inline constexpr std::uint8_t kUploadRefused = 6;     // the module's answer to the request
inline constexpr std::uint8_t kUploadCompleted14 = 14; // the module's second completion answer

// How an upload addresses the module: block byte 3 of every stage, and whether the
// module is asked for its completion after the status poll.
struct UploadTarget {
    std::uint8_t selector = 1;
    bool awaitCompletion = true;
};

// Sends `length` bytes of `image`. 1 done, 14 the module's other completion answer, 6 the
// request was refused, 2 any failure or a stage that ran out of its 5 seconds.
// A null image or a length of 0 gives 2 with nothing sent.
ResultByte uploadImage(device::Handle handle, const std::uint8_t *image, std::uint32_t length,
                       UploadTarget target = {});

}  // namespace fpm::image
