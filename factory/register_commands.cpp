#include "factory/register_commands.h"

namespace fpm::factory {

using transport::Command;
using transport::CommandRow;
using transport::ReplyField;

namespace {

// 1 and 2 as usual; every other status is the module's own answer and goes to the caller.
const Command kPassStatus{.options = {.timeoutSeconds = 10}, .statuses = {}, .unlistedStatusIsResult = true};

constexpr std::uint8_t kRegisterBlock = 1;  // block byte 2 of every register command

}  // namespace

const CommandRow kReadRegister{
    .code = kCmdReadRegister,
    .parameters = {kRegisterBlock},
    .argumentAt = {3, 6},
    .command = kPassStatus,
    .outputs = {ReplyField{.from = 2}},
};
const CommandRow kWriteRegister{
    .code = kCmdWriteRegister,
    .parameters = {kRegisterBlock},
    .argumentAt = {3, 4, 6},
    .command = kPassStatus,
};
const CommandRow kWriteRegisterAsDefault{
    .code = kCmdWriteRegister,
    .parameters = {kRegisterBlock, 0, 0, 1},
    .argumentAt = {3, 4, 6},
    .command = kPassStatus,
};
const CommandRow kEnterWoe{.code = kCmdEnterWoe, .command = kPassStatus};
const CommandRow kExitWoe{.code = kCmdExitWoe, .parameters = {1}, .command = kPassStatus};
const CommandRow kReadWoeStatus{
    .code = kCmdReadWoeStatus,
    .command = kPassStatus,
    .outputs = {ReplyField{.from = 2}, ReplyField{.from = 3}, ReplyField{.from = 4}},
};

}  // namespace fpm::factory
