// Every export of the library as one call whose arguments come from an Arguments source:
// the hostile-caller test walks the table with fixed argument sets, the hostile-module
// fuzz target with arguments chosen by its input.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "fpmodule.h"

namespace fpm::test {

class Arguments {
public:
    virtual ~Arguments() = default;
    // Sizes, counts, finger indexes and other integers.
    virtual std::int32_t integer() = 0;
    // A caller buffer that holds `bytes` bytes (negative: none), or null.
    virtual std::uint8_t *buffer(std::int64_t bytes) = 0;
    virtual FPM_HANDLE handle() = 0;
    // A zero-terminated UTF-16 text, or null.
    virtual const FPM_WCHAR *text() = 0;
    // Whether a callback is passed (the recording ones below) or null.
    virtual bool callback() = 0;
    // The size of an image as the caller's last size query described it; the
    // 8-bit image of that size (width x height) for the procedures and the conversion.
    virtual std::int64_t imageBytes() = 0;
    virtual std::int64_t pixels() = 0;
    // A size query returned `result` with these outputs (null when not asked for).
    virtual void sizeReported(FPM_RESULT result, const std::int32_t *width, const std::int32_t *height,
                              const unsigned char *bytesPerPixel, int fixedBytesPerPixel) = 0;
};

struct ExportCall {
    const char *name;
    bool startsWorker;  // may leave a procedure running
    void (*call)(Arguments &arguments);
};

std::span<const ExportCall> exportCalls();

// The image size the recording callbacks read, as a caller would: the width x height
// it was told. Every callback reads each image byte (so that a sanitizer sees a read
// past an image) and counts its calls.
extern std::atomic<std::int64_t> g_callbackImageBytes;
extern std::atomic<std::uint64_t> g_callbackCalls;
extern std::atomic<std::uint32_t> g_callbackChecksum;

void FPM_CALL readingEnrollment(unsigned char *event, unsigned char *image);
void FPM_CALL readingVerify(unsigned char *event, unsigned char *fingerIndex, unsigned char *image);
void FPM_CALL readingResult(unsigned char *result);

}  // namespace fpm::test
