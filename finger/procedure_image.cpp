#include "finger/procedure_image.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "connection/connection_state.h"

namespace fpm::procedure {

namespace {

// Handed images wait here for a complete function; the mutex is their one owner.
struct Handed {
    std::uint8_t *pixels;
    bool reporting;   // its final event is being reported
    bool completed;   // a complete function came during that report
};
// Never destroyed: a worker may still report or release an image while the process
// runs its exit-time destructors.
std::mutex &g_mutex = *new std::mutex;
std::vector<Handed> &g_handed = *new std::vector<Handed>;

}  // namespace

Image::Image(std::size_t bytes) : pixels_(new std::uint8_t[bytes ? bytes : 1]()), size_(bytes) {}

HandedImage Image::handOver()
{
    std::uint8_t *pixels = pixels_.release();
    std::lock_guard lock(g_mutex);
    g_handed.push_back({pixels, true, false});
    state().procedureImage.store(pixels);
    return HandedImage(pixels);
}

HandedImage::~HandedImage()
{
    std::lock_guard lock(g_mutex);
    auto it = std::find_if(g_handed.begin(), g_handed.end(), [&](const Handed &h) { return h.pixels == pixels_; });
    if (it == g_handed.end()) return;
    it->reporting = false;
    if (!it->completed) return;
    delete[] it->pixels;
    g_handed.erase(it);
}

void releaseHandedImages()
{
    std::lock_guard lock(g_mutex);
    state().procedureImage.store(nullptr);
    std::erase_if(g_handed, [](Handed &h) {
        if (h.reporting) {
            h.completed = true;
            return false;
        }
        delete[] h.pixels;
        return true;
    });
}

}  // namespace fpm::procedure
