// What loading the library does, and does not do.
#include <gtest/gtest.h>

#include <filesystem>

#include "connection/connection_state.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

// Runs first in its own process order only by luck, so it checks what a load never
// changes rather than the fresh values themselves.
TEST(ConnectionStateTest, InitialValuesAreThoseOfALoadedLibrary)
{
    ConnectionState fresh;
    EXPECT_EQ(fresh.deviceHandle.load(), nullptr);
    EXPECT_EQ(fresh.imageWidth, 0);
    EXPECT_EQ(fresh.imageHeight, 0);
    EXPECT_EQ(fresh.bytesPerPixel, 1);
    EXPECT_EQ(fresh.defectRepairEnabled, 1);
    EXPECT_EQ(fresh.cancelRequested.load(), 0);
    EXPECT_EQ(fresh.commandInProgress.load(), 0);
    EXPECT_TRUE(fresh.defectPixels.empty());
    EXPECT_FALSE(log::Paths{}.prepared.load());
    EXPECT_TRUE(std::atomic<std::uint8_t>{}.is_always_lock_free);
}

}  // namespace
}  // namespace fpm::test
