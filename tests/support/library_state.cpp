#include "support/library_state.h"

#include "connection/connection_state.h"
#include "image/image_read.h"

namespace fpm::test {

void resetLibraryState()
{
    ConnectionState &s = state();
    s.deviceHandle.store(nullptr);
    s.imageWidth = 0;
    s.imageHeight = 0;
    s.bytesPerPixel = 1;
    s.baseImage.clear();
    s.baseWidth = 0;
    s.baseHeight = 0;
    s.defectPixels.clear();
    s.defectRepairEnabled = 1;
    s.cancelRequested.store(0);
    s.commandInProgress.store(0);
    s.verifyCallback.store(nullptr);
    s.logPathsPrepared.store(false);
    s.currentLogFile.clear();
    s.conversionWorkingSize.store(0);
}

std::int64_t libraryImageBytes() { return image::currentImageBytes(); }

void setLibraryGeometry(std::int32_t width, std::int32_t height, std::int32_t bytesPerPixel)
{
    ConnectionState &s = state();
    s.imageWidth = width;
    s.imageHeight = height;
    s.bytesPerPixel = bytesPerPixel;
}

}  // namespace fpm::test
