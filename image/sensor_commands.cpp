#include "image/sensor_commands.h"

namespace fpm::image {

using transport::CommandRow;
using transport::ReplyField;

namespace {

constexpr std::uint8_t kCmdEnterSensingMode = 0x44;
constexpr std::uint8_t kCmdGetCurrentData = 0x45;
constexpr std::uint8_t kCmdDoCalibration = 0x46;
constexpr std::uint8_t kCmdOutputDac = 0x48;
constexpr std::uint8_t kCmdUpdateBaseImage = 0x59;
constexpr std::uint8_t kCmdGetVcb = 0x71;
constexpr std::uint8_t kCmdSetVcb = 0x72;
constexpr std::uint8_t kCmdAutoTest = 0x78;

// Busy is polled without limit; every status but busy is the caller's result.
transport::Command passStatus(std::uint32_t timeoutSeconds)
{
    return {.options = {.timeoutSeconds = timeoutSeconds}, .statuses = {}, .unlistedStatusIsResult = true};
}

constexpr ReplyField kDetailByte{.from = 2, .statuses = {kStatusWithDetail, kStatusWithDetail}};

}  // namespace

const CommandRow kEnterSensingMode{.code = kCmdEnterSensingMode, .command = passStatus(10)};
const CommandRow kGetCurrentData{
    .code = kCmdGetCurrentData, .command = passStatus(10), .outputs = {ReplyField{.from = 2, .size = 5}}};
const CommandRow kDoCalibration{
    .code = kCmdDoCalibration,
    .parameters = {1},
    .argumentAt = {3, 4, 5, 6, 7, 8},
    .command = passStatus(10),
    .outputs = {ReplyField{.from = 4, .size = 2, .anyEchoedReply = true, .optional = true},
                ReplyField{.from = 6, .size = 2, .anyEchoedReply = true, .optional = true}, kDetailByte},
};
const CommandRow kOutputDac{
    .code = kCmdOutputDac, .parameters = {1}, .command = passStatus(10), .outputs = {ReplyField{.from = 2}}};
const CommandRow kUpdateBaseImage{.code = kCmdUpdateBaseImage, .command = passStatus(10)};
const CommandRow kGetVcb{.code = kCmdGetVcb,
                         .parameters = {1},
                         .command = passStatus(10),
                         .outputs = {ReplyField{.from = 2, .anyEchoedReply = true}}};
const CommandRow kSetVcb{.code = kCmdSetVcb, .parameters = {1}, .argumentAt = {3}, .command = passStatus(10)};
const CommandRow kAutoTest{.code = kCmdAutoTest, .parameters = {1}, .command = passStatus(5), .outputs = {kDetailByte}};

}  // namespace fpm::image
