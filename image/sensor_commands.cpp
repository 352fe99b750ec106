#include "image/sensor_commands.h"

#include <cstring>

#include "transport/exchange.h"
#include "transport/little_endian.h"

namespace fpm::image {

const SensorCommand kEnterSensingMode{0x44, 0, 10, {}};
const SensorCommand kGetCurrentData{0x45, 0, 10, {{{StoreWhen::StatusOk, 2, 5}}}};
const SensorCommand kDoCalibration{
    0x46, 1, 10, {{{StoreWhen::AnyReply, 4, 2, true}, {StoreWhen::AnyReply, 6, 2, true}, {StoreWhen::Status6, 2, 1}}}};
const SensorCommand kOutputDac{0x48, 1, 10, {{{StoreWhen::StatusOk, 2, 1}}}};
const SensorCommand kUpdateBaseImage{0x59, 0, 10, {}};
const SensorCommand kGetVcb{0x71, 1, 10, {{{StoreWhen::AnyReply, 2, 1}}}};
const SensorCommand kSetVcb{0x72, 1, 10, {}};
const SensorCommand kAutoTest{0x78, 1, 5, {{{StoreWhen::Status6, 2, 1}}}};

namespace {

bool applies(StoreWhen when, const transport::CommandOutcome &outcome, const std::uint8_t *reply, std::uint8_t code)
{
    switch (when) {
    case StoreWhen::AnyReply:
        // Busy replies count too; the buffer keeps the last reply that echoed the code.
        return reply[0] == code;
    case StoreWhen::StatusOk:
        return outcome.ok(1);
    case StoreWhen::Status6:
        return outcome.ok(6);
    }
    return false;
}

void store(const ReplyStore &s, const std::uint8_t *reply, void *out)
{
    if (s.size == 2) {
        const auto value = static_cast<std::uint16_t>(transport::littleEndian(reply + s.from, 2));
        std::memcpy(out, &value, sizeof value);
    } else {
        std::memcpy(out, reply + s.from, s.size);
    }
}

}  // namespace

ResultByte runSensorCommand(const SensorCommand &command, device::Handle handle,
                            std::initializer_list<std::uint8_t> parameters, std::initializer_list<void *> outputs)
{
    void *const *given = outputs.begin();
    for (const ReplyStore &s : command.stores) {
        if (s.size == 0 || given == outputs.end()) break;
        if (!*given++ && !s.optional) return kFailure;
    }

    const transport::Command exchange{.options = {.timeoutSeconds = command.timeoutSeconds},
                                      .statuses = {},
                                      .unlistedStatusIsResult = true,
                                      .clearsCancel = false};
    std::uint8_t bytes[14] = {command.phase};
    std::size_t n = 1;
    for (std::uint8_t p : parameters) {
        if (n < sizeof bytes) bytes[n++] = p;
    }
    transport::VendorCommandBlock block = transport::VendorCommandBlock::make(command.code);
    std::memcpy(&block.bytes[2], bytes, sizeof bytes);

    alignas(8) std::uint8_t reply[8];
    transport::CommandOutcome outcome = transport::run(exchange, handle, block, reply);

    void *const *out = outputs.begin();
    for (const ReplyStore &s : command.stores) {
        if (s.size == 0 || out == outputs.end()) break;
        if (*out && applies(s.when, outcome, reply, command.code)) store(s, reply, *out);
        ++out;
    }
    return outcome.result;
}

}  // namespace fpm::image
