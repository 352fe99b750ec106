#include "support/library_fixture.h"

#include "connection/connection_state.h"

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
    log::paths().prepared.store(false);
    log::paths().currentLogFile.clear();
    s.conversionWorkingSize.store(0);
}

void LibraryTest::SetUp()
{
    resetLibraryState();
    host().reset();
}

void LibraryTest::TearDown()
{
    host().reset();
    resetLibraryState();
}

sim::VirtualModule &LibraryTest::connectModule()
{
    sim::VirtualModule &module = host().addModule();
    state().deviceHandle.store(host().open(sim::kModulePath));
    return module;
}

FPM_HANDLE LibraryTest::connected() const { return state().deviceHandle.load(); }

std::vector<std::uint8_t> blockOf(const sim::ReceivedRequest &request)
{
    return {request.block.begin(), request.block.end()};
}

}  // namespace fpm::test
