// What the virtual module remembers of finger deletions.
#pragma once

#include <cstdint>
#include <vector>

namespace fpm::sim {

struct FingerDeleteState {
    std::vector<std::uint8_t> deleted;  // finger indices, in the order they were deleted
};

}  // namespace fpm::sim
