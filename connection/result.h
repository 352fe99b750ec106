// Result bytes shared by the exports.
#pragma once

#include <cstdint>

namespace fpm {

using ResultByte = std::uint8_t;
inline constexpr ResultByte kSuccess = 1;
inline constexpr ResultByte kFailure = 2;

}  // namespace fpm
