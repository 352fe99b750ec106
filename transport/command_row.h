// A command that one table row describes in full: its code and block bytes, which of the
// function's arguments go into which block bytes, the exchange and status table, and
// which reply bytes reach the caller's outputs on which replies. Every command that is one
// exchange with an 8-byte reply and fixed outputs is such a row and one call of runRow().
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "transport/exchange.h"

namespace fpm::transport {

// Which reply bytes reach one output, and on which replies.
struct ReplyField {
    std::uint8_t from = 0;     // first reply byte
    std::uint8_t size = 1;     // 1: one byte (masked); 2: a 16-bit value, low byte first; more: bytes as they stand
    std::uint8_t mask = 0xFF;  // applied to a one-byte field
    // The field is stored on a reply with one of these statuses ...
    std::array<std::uint8_t, 2> statuses{kStatusOk, kStatusOk};
    // ... or, when set, on every reply that echoed the code, busy ones and failures
    // included: the last such reply is what the caller gets.
    bool anyEchoedReply = false;
    bool optional = false;  // the caller may pass no pointer for it
};

// A caller's output: a byte pointer takes the field's bytes as they stand, a 16-bit
// pointer takes the field's value.
class Output {
public:
    Output(std::uint8_t *bytes) : bytes_(bytes) {}
    Output(std::uint16_t *value) : word_(value) {}

    bool missing() const { return !bytes_ && !word_; }
    void store(const ReplyField &field, const Reply &reply) const;

private:
    std::uint8_t *bytes_ = nullptr;
    std::uint16_t *word_ = nullptr;
};

inline constexpr std::size_t kRowArguments = 6;
inline constexpr std::size_t kRowOutputs = 3;

struct CommandRow {
    std::uint8_t code = 0;
    std::array<std::uint8_t, 6> parameters{};             // block bytes 2 to 7 before the arguments
    std::array<std::uint8_t, kRowArguments> argumentAt{};  // block byte of each argument, in order
    Command command;
    std::array<ReplyField, kRowOutputs> outputs{};        // reply bytes of each output, in order
};

// Builds the row's block with the low byte of each argument in its place, runs the
// exchange (8-byte reply) on `handle` and stores each output's field on the replies the
// field names. A missing output that is not optional gives 2 with nothing sent.
ResultByte runRow(const CommandRow &row, device::Handle handle, std::initializer_list<std::uint32_t> arguments = {},
                  std::initializer_list<Output> outputs = {});

// The block runRow() sends for these arguments.
VendorCommandBlock rowBlock(const CommandRow &row, std::initializer_list<std::uint32_t> arguments);

}  // namespace fpm::transport
