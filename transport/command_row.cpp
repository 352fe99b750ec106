#include "transport/command_row.h"

#include <algorithm>
#include <cstring>

#include "transport/little_endian.h"

namespace fpm::transport {

namespace {

bool stores(const ReplyField &field, const CommandOutcome &outcome, std::uint8_t code)
{
    // The buffer keeps the last reply that reached it, also when the exchange then failed.
    if (field.anyEchoedReply) return outcome.bytes[0] == code;
    return outcome.reply.ending == Ending::Replied &&
           std::find(field.statuses.begin(), field.statuses.end(), outcome.reply.status) != field.statuses.end();
}

}  // namespace

void Output::store(const ReplyField &field, const Reply &reply) const
{
    // A table field past the reply's end stores nothing rather than reading beyond it.
    if (field.size == 0 || field.from + field.size > reply.size()) return;
    const std::uint8_t *bytes = reply.data() + field.from;
    if (word_) {
        *word_ = static_cast<std::uint16_t>(field.size == 1 ? bytes[0] & field.mask : littleEndian(bytes, 2));
    } else if (field.size == 1) {
        *bytes_ = static_cast<std::uint8_t>(bytes[0] & field.mask);
    } else {
        std::memcpy(bytes_, bytes, field.size);
    }
}

VendorCommandBlock rowBlock(const CommandRow &row, std::initializer_list<std::uint32_t> arguments)
{
    VendorCommandBlock block = VendorCommandBlock::make(row.code);
    std::copy(row.parameters.begin(), row.parameters.end(), block.bytes.begin() + 2);
    std::size_t i = 0;
    for (std::uint32_t argument : arguments) {
        if (i == kRowArguments) break;
        const std::uint8_t at = row.argumentAt[i++];
        if (at >= 2 && at < block.bytes.size()) block.bytes[at] = static_cast<std::uint8_t>(argument);
    }
    return block;
}

ResultByte runRow(const CommandRow &row, device::Handle handle, std::initializer_list<std::uint32_t> arguments,
                  std::initializer_list<Output> outputs)
{
    const std::size_t count = std::min(outputs.size(), row.outputs.size());
    const Output *output = outputs.begin();
    for (std::size_t i = 0; i < count; ++i) {
        if (output[i].missing() && !row.outputs[i].optional) return kFailure;
    }
    const CommandOutcome outcome = run(row.command, handle, rowBlock(row, arguments));
    for (std::size_t i = 0; i < count; ++i) {
        const ReplyField &field = row.outputs[i];
        if (!output[i].missing() && stores(field, outcome, row.code)) output[i].store(field, outcome.bytes);
    }
    return outcome.result;
}

}  // namespace fpm::transport
