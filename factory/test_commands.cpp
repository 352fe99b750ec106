#include "factory/test_commands.h"

namespace fpm::factory {

using transport::Command;
using transport::CommandRow;
using transport::ReplyField;
using transport::StatusRule;
using transport::kStatusCanceling;
using transport::kStatusOk;
using transport::kStatusUnknownCommand;

namespace {

constexpr StatusRule kIcTypeStatuses[] = {{kStatusOk, kIcTypeResult, nullptr}};
// Callers know 6 as "check failed"; the module's unknown-command answer reaches them the same way.
constexpr StatusRule kCtStatuses[] = {{kStatusUnknownCommand, kStatusCheckFailed, nullptr}};
constexpr StatusRule kAcfStartStatuses[] = {{kStatusOk, kSuccess, nullptr},
                                            {kStatusCanceling, kStatusCanceling, nullptr},
                                            {kStatusUnknownCommand, kStatusUnknownCommand, nullptr}};
constexpr StatusRule kAcfQueryStatuses[] = {{kStatusOk, kSuccess, nullptr}};

// The checks' detail byte: reply byte 2, on success and on a failed check.
constexpr ReplyField kCheckDetail{.from = 2, .statuses = {kStatusOk, kStatusCheckFailed}};

// Status 1 gives 1, every other status 2.
Command okOrFailure() { return {.options = {.timeoutSeconds = 10}}; }

Command withStatuses(std::span<const StatusRule> statuses, bool otherStatusIsResult, std::uint32_t timeoutSeconds = 10)
{
    return {.options = {.timeoutSeconds = timeoutSeconds},
            .statuses = statuses,
            .unlistedStatusIsResult = otherStatusIsResult};
}

const CommandRow kAcfStart{
    .code = kCmdAcfBondingIoCheck,
    .parameters = {0},
    .command = {.options = {.timeoutSeconds = 10, .pollWhileBusy = false},
                .statuses = kAcfStartStatuses,
                .clearsCancel = true},
};
const CommandRow kAcfQuery{
    .code = kCmdAcfBondingIoCheck,
    .parameters = {1},
    .command = {.options = {.timeoutSeconds = 10, .retryFailedTransfer = true, .failureLimitMs = kAcfFailureLimitMs},
                .statuses = kAcfQueryStatuses},
};

}  // namespace

const CommandRow kEnterTestMode{.code = kCmdEnterTestMode, .command = okOrFailure()};
const CommandRow kExitTestMode{.code = kCmdExitTestMode, .command = okOrFailure()};
const CommandRow kGetG55Status{.code = kCmdGetG55Status, .command = okOrFailure()};
const CommandRow kGetIcType{
    .code = kCmdGetIcType,
    .command = withStatuses(kIcTypeStatuses, false),
    .outputs = {ReplyField{.from = 3}, ReplyField{.from = 5}, ReplyField{.from = 6, .mask = 0x03}},
};
const CommandRow kSensorIoCheck{
    .code = kCmdSensorIoCheck,
    .command = withStatuses({}, true),
    .outputs = {kCheckDetail},
};
const CommandRow kModuleIoCheck{
    .code = kCmdModuleIoCheck,
    .command = withStatuses({}, true),
    .outputs = {kCheckDetail},
};
const CommandRow kCheckCtModule{
    .code = kCmdCheckCtModule,
    .parameters = {0, 8},
    .command = withStatuses(kCtStatuses, true, 3),
    .outputs = {ReplyField{.from = 2}},
};

ResultByte acfBondingIoCheck(device::Handle handle)
{
    const ResultByte started = transport::runRow(kAcfStart, handle);
    if (started != kSuccess) return started;
    return transport::runRow(kAcfQuery, handle);
}

}  // namespace fpm::factory
