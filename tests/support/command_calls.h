// Table-driven checks for one-command exports: a named call on a handle, the block and
// time-out the module must receive for it.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "fpmodule.h"
#include "sim/virtual_host.h"

namespace fpm::test {

struct CommandCall {
    std::string name;
    std::function<FPM_RESULT(FPM_HANDLE)> call;  // plain forms ignore the handle
    bool usesGivenHandle;                        // the twin: sends on the handle it was given
    std::vector<std::uint8_t> block;             // bytes 0.. of the command block, the rest zero
    std::uint32_t timeoutSeconds;
};

// The 16-byte block with `prefix` first and zeros after it.
std::vector<std::uint8_t> block16(const std::vector<std::uint8_t> &prefix);

// Expects exactly one request: an 8-byte data-in transfer of `call`'s block and time-out,
// on `handle`.
void expectOneRequest(const CommandCall &call, FPM_HANDLE handle);

}  // namespace fpm::test
