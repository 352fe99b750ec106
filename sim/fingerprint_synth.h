// Synthetic 16-bit captures for the virtual module: what a finger looks like on a
// capacitive sensor, so that the 8-bit conversion's output can be looked at and tested.
#pragma once

#include <cstdint>
#include <vector>

namespace fpm::sim {

// A width x height capture, row after row: a finger-shaped contact area well above a low
// background, ridges (high) and valleys (lower) following a smooth orientation field
// around a core, a per-row sensor offset and pixel noise. The same arguments always
// give the same image; different seeds move the finger, the core and the ridge pattern.
std::vector<std::uint16_t> synthesizeFingerprint16(int width, int height, std::uint32_t seed);

}  // namespace fpm::sim
