// Puts the library and the virtual host back to their load-time state around a test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fpmodule.h"
#include "sim/virtual_host.h"
#include "support/library_state.h"

namespace fpm::test {

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    sim::VirtualHost &host() { return sim::VirtualHost::instance(); }
    // Adds a module and connects the plain functions to it.
    sim::VirtualModule &connectModule();
    FPM_HANDLE connected() const;
};


// The vendor command block bytes 0..15 as a vector, for readable comparisons.
std::vector<std::uint8_t> blockOf(const sim::ReceivedRequest &request);

}  // namespace fpm::test
