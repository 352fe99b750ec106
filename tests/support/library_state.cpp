#include "support/library_state.h"

#include "connection/connection_state.h"
#include "image/two_phase_read.h"

namespace fpm::test {

void resetLibraryState()
{
    ConnectionState &s = state();
    s.deviceHandle.store(nullptr);
    s.setGeometry(Geometry{});
    s.baseImage.clear();
    s.baseWidth = 0;
    s.baseHeight = 0;
    s.defectPixels.clear();
    s.defectRepairEnabled.store(1);
    s.devicePath.store({});
    s.cancelRequested.store(0);
    s.commandInProgress.store(0);
    s.procedures.storeVerify(nullptr);
    log::paths().prepared.store(false);
    log::paths().currentLogFile.clear();
    s.conversionWorkingSize.store(0);
}

std::int64_t libraryImageBytes() { return image::currentImageBytes(); }

std::int64_t libraryImagePixels()
{
    const Geometry g = state().geometry();
    return g.bytes() / g.bytesPerPixel;
}

void setLibraryGeometry(std::int32_t width, std::int32_t height, std::int32_t bytesPerPixel)
{
    state().setGeometry({width, height, bytesPerPixel, 1, true});
}

}  // namespace fpm::test
