// The 8-bit image that the enrolment and verification procedures show their callback.
// The worker owns its image while it runs and frees it on every path, except with the
// final image event: then the image goes to the caller, stays valid until a complete
// function is called, and ConnectionState::procedureImage points at it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace fpm::procedure {

class Image {
public:
    explicit Image(std::size_t bytes);
    std::uint8_t *data() const { return pixels_.get(); }
    std::size_t size() const { return size_; }
    // Gives the image to the caller; the worker must not write it any more.
    std::uint8_t *handOver();

private:
    std::unique_ptr<std::uint8_t[]> pixels_;
    std::size_t size_;
};

// The complete functions: frees every image handed to the caller so far. Images of
// finished procedures that were never completed are freed here too, never leaked.
void releaseHandedImages();

}  // namespace fpm::procedure
