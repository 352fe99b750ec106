#include "factory/test_commands.h"

namespace fpm::factory {

using transport::Command;
using transport::CommandRow;
using transport::ReplyField;
using transport::StatusRule;

namespace {

constexpr StatusRule kIcTypeStatuses[] = {{1, kIcTypeResult, nullptr}};
// Callers know 6 as "check failed"; the module's 9 reaches them the same way.
constexpr StatusRule kCtStatuses[] = {{9, 6, nullptr}};
constexpr StatusRule kAcfStartStatuses[] = {{1, 1, nullptr}, {8, 8, nullptr}, {9, 9, nullptr}};
constexpr StatusRule kAcfQueryStatuses[] = {{1, 1, nullptr}};

// Status 1 gives 1, every other status 2.
Command okOrFailure() { return {.options = {.timeoutSeconds = 10}, .clearsCancel = false}; }

Command withStatuses(std::span<const StatusRule> statuses, bool otherStatusIsResult, std::uint32_t timeoutSeconds = 10)
{
    return {.options = {.timeoutSeconds = timeoutSeconds},
            .statuses = statuses,
            .unlistedStatusIsResult = otherStatusIsResult,
            .clearsCancel = false};
}

const CommandRow kAcfStart{
    .code = kCmdAcfBondingIoCheck,
    .parameters = {0},
    .command = {.options = {.timeoutSeconds = 10, .pollWhileBusy = false}, .statuses = kAcfStartStatuses},
};
const CommandRow kAcfQuery{
    .code = kCmdAcfBondingIoCheck,
    .parameters = {1},
    .command = {.options = {.timeoutSeconds = 10, .retryFailedTransfer = true, .failureLimitMs = kAcfFailureLimitMs},
                .statuses = kAcfQueryStatuses,
                .clearsCancel = false},
};

}  // namespace

const CommandRow kEnterTestMode{.code = kCmdEnterTestMode, .command = okOrFailure()};
const CommandRow kExitTestMode{.code = kCmdExitTestMode, .command = okOrFailure()};
const CommandRow kGetG55Status{.code = kCmdGetG55Status, .command = okOrFailure()};
const CommandRow kGetIcType{
    .code = kCmdGetIcType,
    .command = withStatuses(kIcTypeStatuses, false),
    .outputs = {ReplyField{3}, ReplyField{5}, ReplyField{6, 0x03}},
};
const CommandRow kSensorIoCheck{
    .code = kCmdSensorIoCheck,
    .command = withStatuses({}, true),
    .outputs = {ReplyField{2}},
    .outputStatuses = {1, 6},
};
const CommandRow kModuleIoCheck{
    .code = kCmdModuleIoCheck,
    .command = withStatuses({}, true),
    .outputs = {ReplyField{2}},
    .outputStatuses = {1, 6},
};
const CommandRow kCheckCtModule{
    .code = kCmdCheckCtModule,
    .parameters = {0, 8},
    .command = withStatuses(kCtStatuses, true, 3),
    .outputs = {ReplyField{2}},
};

ResultByte acfBondingIoCheck(device::Handle handle)
{
    const ResultByte started = transport::runRow(kAcfStart, handle);
    if (started != kSuccess) return started;
    return transport::runRow(kAcfQuery, handle);
}

}  // namespace fpm::factory
