#include "connection/connection_state.h"

#include <mutex>

#include "platform/no_destroy.h"

namespace fpm {

namespace {

// Never destroyed: a worker may still poll while the process exits.
struct Shared {
    ConnectionState state;
    std::mutex geometryMutex;
    Geometry geometryKind;  // sideScale and depthFromModule of the last query
    std::mutex defectMapMutex;
};

Shared &shared()
{
    static NoDestroy<Shared> instance;
    return *instance;
}

}  // namespace

ConnectionState &state() { return shared().state; }

Geometry ConnectionState::geometry() const
{
    std::lock_guard lock(shared().geometryMutex);
    Geometry g = shared().geometryKind;
    g.width = imageWidth;
    g.height = imageHeight;
    g.bytesPerPixel = bytesPerPixel;
    return g;
}

void ConnectionState::setDefectMap(std::vector<std::uint8_t> baseline, std::int32_t width, std::int32_t height,
                                   std::vector<DefectPixel> pixels)
{
    std::lock_guard lock(shared().defectMapMutex);
    baseImage = std::move(baseline);
    baseWidth = width;
    baseHeight = height;
    defectPixels = std::move(pixels);
}

std::optional<std::vector<DefectPixel>> ConnectionState::defectPixelsFor(std::int32_t width, std::int32_t height,
                                                                         std::int32_t depth) const
{
    std::lock_guard lock(shared().defectMapMutex);
    if (baseImage.empty() || width != baseWidth || height != baseHeight ||
        baseImage.size() != static_cast<std::size_t>(width) * height * depth)
        return std::nullopt;
    return defectPixels;
}

std::size_t ConnectionState::defectPixelCount() const
{
    std::lock_guard lock(shared().defectMapMutex);
    return defectPixels.size();
}

void ConnectionState::setGeometry(const Geometry &g)
{
    std::lock_guard lock(shared().geometryMutex);
    imageWidth = g.width;
    imageHeight = g.height;
    bytesPerPixel = g.bytesPerPixel;
    shared().geometryKind = g;
}

}  // namespace fpm
