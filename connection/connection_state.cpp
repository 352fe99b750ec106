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

void ConnectionState::setGeometry(const Geometry &g)
{
    std::lock_guard lock(shared().geometryMutex);
    imageWidth = g.width;
    imageHeight = g.height;
    bytesPerPixel = g.bytesPerPixel;
    shared().geometryKind = g;
}

}  // namespace fpm
