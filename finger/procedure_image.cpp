#include "finger/procedure_image.h"

#include <atomic>

#include "connection/connection_state.h"

namespace fpm::procedure {

namespace {

// Handed images wait here for a complete function. Workers push, the complete function
// takes the whole list at once, so no entry is ever taken twice.
struct Handed {
    Handed *next;
    std::uint8_t *pixels;
};
std::atomic<Handed *> g_handed{nullptr};

}  // namespace

Image::Image(std::size_t bytes) : pixels_(new std::uint8_t[bytes ? bytes : 1]()), size_(bytes) {}

std::uint8_t *Image::handOver()
{
    std::uint8_t *pixels = pixels_.release();
    // Published before it is listed: a complete function running meanwhile then either
    // frees it and clears the pointer after, or leaves both for the next one.
    state().procedureImage.store(pixels);
    auto *entry = new Handed{g_handed.load(), pixels};
    while (!g_handed.compare_exchange_weak(entry->next, entry)) {
    }
    return pixels;
}

void releaseHandedImages()
{
    Handed *entry = g_handed.exchange(nullptr);
    state().procedureImage.store(nullptr);
    while (entry) {
        Handed *next = entry->next;
        delete[] entry->pixels;
        delete entry;
        entry = next;
    }
}

}  // namespace fpm::procedure
