// The two-phase image read: a polled request, then one data phase that moves the whole
// image. Every image read of the library is one ImageRead description run through
// readImage().
#pragma once

#include <cstdint>
#include <functional>

#include "platform/device_io.h"
#include "transport/exchange.h"

namespace fpm::image {

inline constexpr std::uint8_t kCmdFlag = 0;     // request phase
inline constexpr std::uint8_t kStatusFlag = 1;  // status or data phase

// Largest image the library's geometry can describe: a size query stores at most twice
// 255 in each direction, at two bytes per pixel.
inline constexpr std::int64_t kMaxImageBytes = transport::kMaxDataBytes;

struct ImageRead {
    // The export's own name, for the line that says why a read was refused before
    // anything was sent: a host that cannot carry the image fails every read the same
    // way, so even the reads that log nothing else say so.
    const char *name;
    std::uint8_t code;
    // Polling, statuses and request-phase lines; null: no request phase, the data phase
    // goes out at once (for a capture the module has just reported ready).
    const transport::Command *request;
    std::uint8_t parameter = 0;         // command block byte 3
    std::uint32_t dataTimeoutSeconds = 10;
    // "<prefix> : RecvDataTransaction Fail(CMD_FLAG)" / "(STATUS_FLAG)" lines; null: none.
    const char *phaseLogPrefix = nullptr;
    // "<prefix> : RecvDataTransaction Fail" when the data phase fails; null: none.
    const char *dataLogPrefix = nullptr;
    bool zeroBeforeData = true;     // clear the working buffer again before the data phase
    bool copyFailedData = false;    // the caller's buffer gets the working buffer even when the data phase fails
};

enum class ReadEnding : std::uint8_t { Delivered, RequestFailed, DataFailed };

struct ReadOutcome {
    ReadEnding ending;
    transport::CommandOutcome request;  // valid unless nothing was sent
    bool delivered() const { return ending == ReadEnding::Delivered; }
};

// Works on the delivered image in the library's working buffer before the caller sees it
// (a repair, a check against the module); false refuses the image: the read then ends as
// DataFailed and nothing is copied, whatever `copyFailedData` says.
using FinishStep = std::function<bool(std::uint8_t *image)>;

// Reads `byteCount` bytes (1 to kMaxImageBytes) into `buffer`. The working buffer is the
// library's own (8-byte aligned, zeroed, at least 8 bytes) and is released on every path;
// `buffer` is written only by the final copy, after `finish` (when given) has accepted
// the image, so a step that can still fail never leaves the caller half an answer.
ReadOutcome readImage(const ImageRead &read, device::Handle handle, std::uint8_t *buffer, std::int64_t byteCount,
                      const FinishStep &finish = {});

// The image size of the connected geometry; 0 when no size query has set it.
std::int64_t currentImageBytes();

// The plain reads' result: 1 delivered, 2 otherwise (also for a null buffer or no
// geometry, with nothing sent).
ResultByte readPlain(const ImageRead &read, device::Handle handle, std::uint8_t *buffer);
// The same for an image of `bytes` bytes (a geometry the caller took beforehand).
ResultByte readPlain(const ImageRead &read, device::Handle handle, std::uint8_t *buffer, std::int64_t bytes,
                     const FinishStep &finish = {});

}  // namespace fpm::image
