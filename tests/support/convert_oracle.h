// A plain, step-by-step version of the 16-bit to 8-bit conversion, written for reading,
// not for speed: every intermediate value is stored as an unsigned 16-bit number, one
// whole-image step after the other, with nothing fused and no tables. The library's fast
// version must agree with it byte for byte.
#pragma once

#include <cstdint>
#include <vector>

namespace fpm::test {

// The histogram counts: 16-bit counters (they wrap beyond 65535 pixels), or 32-bit as
// the library keeps them.
enum class OracleCounts { Sixteen, ThirtyTwo };

std::vector<std::uint8_t> oracleConvert(const std::vector<std::uint16_t> &samples, int width, int height,
                                        OracleCounts counts = OracleCounts::Sixteen);

}  // namespace fpm::test
