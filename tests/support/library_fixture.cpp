#include "support/library_fixture.h"

#include "connection/connection_state.h"
#include "support/library_state.h"

namespace fpm::test {

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
