#include "card/device_control.h"

#include "connection/module_handle.h"

namespace fpm::card {

using transport::Command;
using transport::CommandRow;

namespace {

// Status 1 succeeds, anything else fails; busy is polled without limit.
Command control(const char *logPrefix, std::uint32_t timeoutSeconds)
{
    return {.logPrefix = logPrefix, .options = {.timeoutSeconds = timeoutSeconds}};
}

}  // namespace

const CommandRow kSetLeds{.code = kCmdSetLeds, .argumentAt = {3}, .command = control("ChangeLEDsStatus", 10)};
const CommandRow kSetDevStatus{.code = kCmdSetDevStatus, .argumentAt = {3}, .command = control("ChangeDevStatus", 10)};
const CommandRow kSwitchToBoot{.code = kCmdSwitchToBoot, .command = control(nullptr, 3)};
const CommandRow kRfConnection{.code = kCmdRfConnection, .command = control(nullptr, 3)};

ResultByte setLeds(device::Handle handle, std::int32_t ledState)
{
    return transport::runRow(kSetLeds, handle, {static_cast<std::uint32_t>(ledState)});
}

ResultByte setDeviceStatus(std::int32_t deviceStatus)
{
    return transport::runRow(kSetDevStatus, connection::connectedHandle(), {static_cast<std::uint32_t>(deviceStatus)});
}

}  // namespace fpm::card
