#include "connection/connection_state.h"

#include <mutex>

namespace fpm {

namespace {
ConnectionState g_state;
std::mutex g_geometryMutex;
Geometry g_geometryKind;  // sideScale and depthFromModule of the last query
}

Geometry ConnectionState::geometry() const
{
    std::lock_guard lock(g_geometryMutex);
    Geometry g = g_geometryKind;
    g.width = imageWidth;
    g.height = imageHeight;
    g.bytesPerPixel = bytesPerPixel;
    return g;
}

void ConnectionState::setGeometry(const Geometry &g)
{
    std::lock_guard lock(g_geometryMutex);
    imageWidth = g.width;
    imageHeight = g.height;
    bytesPerPixel = g.bytesPerPixel;
    g_geometryKind = g;
}

ConnectionState &state() { return g_state; }

}  // namespace fpm
