// A command that one table row describes in full: its code and block bytes, which of the
// function's arguments go into which block bytes, the exchange and status table, and
// which reply bytes reach the caller's outputs on which statuses. The one-command
// controls, checks and register functions are each such a row and one call of runRow().
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "transport/exchange.h"

namespace fpm::transport {

// A caller's output: one unsigned 8-bit or 16-bit value.
class Output {
public:
    Output(std::uint8_t *value) : byte_(value) {}
    Output(std::uint16_t *value) : word_(value) {}

    bool missing() const { return !byte_ && !word_; }
    void store(std::uint8_t value) const
    {
        if (byte_) *byte_ = value;
        else *word_ = value;
    }

private:
    std::uint8_t *byte_ = nullptr;
    std::uint16_t *word_ = nullptr;
};

// A reply byte as one output receives it.
struct ReplyField {
    std::uint8_t replyByte = 0;
    std::uint8_t mask = 0xFF;
};

inline constexpr std::size_t kRowArguments = 3;
inline constexpr std::size_t kRowOutputs = 3;

struct CommandRow {
    std::uint8_t code = 0;
    std::array<std::uint8_t, 6> parameters{};             // block bytes 2 to 7 before the arguments
    std::array<std::uint8_t, kRowArguments> argumentAt{};  // block byte of each argument, in order
    Command command;
    std::array<ReplyField, kRowOutputs> outputs{};        // reply byte of each output, in order
    std::array<std::uint8_t, 2> outputStatuses{kStatusOk, kStatusOk};  // statuses that write them
};

// Builds the row's block with the low byte of each argument in its place, runs the
// exchange (8-byte reply) on `handle` and, on the row's output statuses, stores the reply
// fields. A missing output gives 2 with nothing sent.
ResultByte runRow(const CommandRow &row, device::Handle handle, std::initializer_list<std::uint32_t> arguments = {},
                  std::initializer_list<Output> outputs = {});

// The block runRow() sends for these arguments.
VendorCommandBlock rowBlock(const CommandRow &row, std::initializer_list<std::uint32_t> arguments);

}  // namespace fpm::transport
