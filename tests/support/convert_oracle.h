// A plain, step-by-step version of the 16-bit to 8-bit conversion, written for reading,
// not for speed: every value is stored the way the module's reference behaviour stores
// it, one step after the other, with nothing fused. The library's fast version must
// agree with it byte for byte.
#pragma once

#include <cstdint>
#include <vector>

namespace fpm::test {

// The histogram counts: 16-bit as the reference keeps them (they wrap beyond 65535
// pixels), or 32-bit as the library keeps them.
enum class OracleCounts { Sixteen, ThirtyTwo };

std::vector<std::uint8_t> oracleConvert(const std::vector<std::uint16_t> &samples, int width, int height,
                                        OracleCounts counts = OracleCounts::Sixteen);

}  // namespace fpm::test
