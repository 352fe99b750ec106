// The 8-bit image that the enrolment and verification procedures show their callback.
// The worker owns its image while it runs and frees it on every path, except with the
// final image event: then the image goes to the caller, stays valid until a complete
// function is called, and ConnectionState::procedureImage points at it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace fpm::procedure {

// A handed image while its final event is being reported. A complete function called
// meanwhile (from the callback or from another thread) cannot free it: the image goes
// when the report ends instead.
class HandedImage {
public:
    explicit HandedImage(std::uint8_t *pixels) : pixels_(pixels) {}
    ~HandedImage();
    HandedImage(const HandedImage &) = delete;
    HandedImage &operator=(const HandedImage &) = delete;
    std::uint8_t *pixels() const { return pixels_; }

private:
    std::uint8_t *pixels_;
};

class Image {
public:
    explicit Image(std::size_t bytes);
    std::uint8_t *data() const { return pixels_.get(); }
    std::size_t size() const { return size_; }
    // Gives the image to the caller for a final event; the worker must not write it
    // any more. Keep the result until the callback has returned.
    [[nodiscard]] HandedImage handOver();

private:
    std::unique_ptr<std::uint8_t[]> pixels_;
    std::size_t size_;
};

// The complete functions: frees every image handed to the caller so far (an image whose
// final event is still being reported goes when that report ends). Images of finished
// procedures that were never completed are freed here too, never leaked.
void releaseHandedImages();

}  // namespace fpm::procedure
