// Finding the module among the host's disk interfaces: the vendor and product patterns
// and the one enumeration that applies them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace fpm::connection {

// Room for a pattern, its terminating zero included.
inline constexpr std::size_t kPatternCapacity = 128;

struct Patterns {
    std::u16string vendor;   // "ven_..."
    std::u16string product;  // "prod_..."
};

// The module's own tags.
const Patterns &modulePatterns();

// "ven_<vendor>" and "prod_<product>" from a caller's zero-terminated strings; nothing
// when a string is null or its pattern does not fit kPatternCapacity (a shortened
// pattern would select other devices).
std::optional<Patterns> callerPatterns(const char16_t *vendor, const char16_t *product);

// Both patterns occur somewhere in the path, character for character.
bool matches(const Patterns &patterns, std::u16string_view path);

// Walks at most `interfaceLimit` present disk interfaces in enumeration order and calls
// `onMatch` for each whose path matches (and fits the connection's path buffer, where
// it is kept as devicePath); `onMatch` returns false to end the walk. False when the
// host's device list cannot be obtained.
bool findInterfaces(const Patterns &patterns, const std::function<bool(const std::u16string &path)> &onMatch,
                    std::size_t interfaceLimit = std::numeric_limits<std::size_t>::max());

// Reads a caller's zero-terminated string, at most `maxLength` characters; nothing when
// it is null or longer.
std::optional<std::u16string> callerString(const char16_t *text, std::size_t maxLength);

}  // namespace fpm::connection
