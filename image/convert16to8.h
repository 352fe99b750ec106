// Turns a 16-bit sensor image into the 8-bit fingerprint image that callers show and
// match: finger area, row flattening, smoothing, sharpening, contrast stretch,
// inversion (ridges dark on white) and histogram equalisation (steps in
// image/convert_steps.h).
//
// Where the conversion's own rules would read or write outside a caller's buffers, or
// break later calls, it refuses instead:
// - Fewer than 5 rows or 3 columns: the flattening needs five row means and the spans
//   three values in a row; such a call gives kBadImageArguments.
// - The working size is fixed by the first call that converts, not by a call that is
//   refused: a stray call with a null buffer or a size of 0 would otherwise leave every
//   later conversion unusable.
// - A later call converts with the working size only when that many pixels fit in the
//   buffers its own width and height describe (kBuffersTooSmall otherwise).
// - Histogram counts are 32-bit (see convert_steps.h).
// A conversion returns kConverted (0).
#pragma once

#include <cstdint>

namespace fpm::image {

// Results of trans16To8 (and of the export Trans16To8Img).
inline constexpr std::int32_t kConverted = 0;
inline constexpr std::int32_t kNotSixteenBit = -1;     // the module's pixels are not 16-bit
inline constexpr std::int32_t kBadImageArguments = -2;  // null buffer, size out of range, no memory
inline constexpr std::int32_t kBuffersTooSmall = -3;    // the fixed working size needs more pixels

// Largest image side the conversion takes: twice the largest sensor side a size query
// can report, with room to spare.
inline constexpr int kMaxConversionSide = 1024;

// The whole pipeline on `width` x `height` pixels: reads width * height * 2 bytes of
// `input` (low byte first) and writes width * height bytes of `output`. The input is
// never written. Needs width >= 3 and height >= 5 (and both up to kMaxConversionSide).
// May throw std::bad_alloc.
void convert16To8(const std::uint8_t *input, std::uint8_t *output, int width, int height);

// The export's rules around the pipeline. Only a connection with 2 bytes per pixel
// converts. The first usable call fixes the working size for the life of the process,
// and later calls convert with that size, as long as it fits in the buffers the call's
// own width and height describe; nothing is written when it does not.
std::int32_t trans16To8(const std::uint8_t *input, std::uint8_t *output, std::int32_t width, std::int32_t height);

// The background procedures' conversion: their own capture at its own size, whatever
// working size the export fixed. False (nothing written) for a size the pipeline cannot
// take or when memory runs out.
bool convertCapture(const std::uint8_t *input, std::uint8_t *output, std::int32_t width, std::int32_t height);

}  // namespace fpm::image
