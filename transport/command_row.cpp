#include "transport/command_row.h"

#include <algorithm>

namespace fpm::transport {

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
    if (std::any_of(outputs.begin(), outputs.end(), [](const Output &o) { return o.missing(); })) return kFailure;
    Command command = row.command;
    command.options.replyLength = 8;
    alignas(8) std::uint8_t reply[8];
    const CommandOutcome outcome = run(command, handle, rowBlock(row, arguments), reply);
    if (outcome.reply.ending != Ending::Replied) return outcome.result;
    if (std::find(row.outputStatuses.begin(), row.outputStatuses.end(), outcome.reply.status) ==
        row.outputStatuses.end())
        return outcome.result;
    std::size_t i = 0;
    for (const Output &output : outputs) {
        if (i == kRowOutputs) break;
        const ReplyField &field = row.outputs[i++];
        output.store(static_cast<std::uint8_t>(reply[field.replyByte % sizeof reply] & field.mask));
    }
    return outcome.result;
}

}  // namespace fpm::transport
