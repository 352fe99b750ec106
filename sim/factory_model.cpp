// Test mode, IC type, hardware checks, sensor registers and the WOE mode.
#include "sim/command_models.h"
#include "sim/factory_model.h"

namespace fpm::sim {

namespace {

using Reply = std::optional<std::vector<std::uint8_t>>;

constexpr std::uint8_t kOk = 1;
constexpr std::uint8_t kError = 2;
constexpr std::uint8_t kBusy = 3;

// A sensor register's value after reset: a few tuning registers are set, the rest are 0.
std::uint8_t resetValue(std::uint8_t group, std::uint8_t address)
{
    if (group != 0) return 0;
    switch (address) {
    case 0x00: return 0x35;  // chip id
    case 0x10: return 0x44;  // gain
    case 0x21: return 0x80;  // offset
    default: return 0;
    }
}

Reply answer(const ReceivedRequest &r, std::uint8_t status, const std::vector<std::uint8_t> &values = {})
{
    return VirtualModule::header(r.code(), status, values);
}

}  // namespace

void installFactoryCommands(VirtualModule &module)
{
    auto factory = [](VirtualModule &m) -> FactoryState & { return m.part<FactoryState>(); };

    module.setHandler(0x4D, [=](VirtualModule &m, const ReceivedRequest &r) {
        factory(m).testMode = true;
        return answer(r, kOk);
    });
    module.setHandler(0x4E, [=](VirtualModule &m, const ReceivedRequest &r) {
        factory(m).testMode = false;
        return answer(r, kOk);
    });
    module.setHandler(0x40, [](VirtualModule &, const ReceivedRequest &r) { return answer(r, kOk); });
    module.setHandler(0x41, [=](VirtualModule &m, const ReceivedRequest &r) {
        const auto &ic = factory(m).icType;
        return answer(r, kOk, {0, ic[0], 0, ic[1], ic[2]});
    });
    module.setHandler(0x42, [=](VirtualModule &m, const ReceivedRequest &r) {
        return answer(r, factory(m).sensorIoDetail == 0 ? kOk : 6, {factory(m).sensorIoDetail});
    });
    module.setHandler(0x43, [=](VirtualModule &m, const ReceivedRequest &r) {
        return answer(r, factory(m).moduleIoDetail == 0 ? kOk : 6, {factory(m).moduleIoDetail});
    });
    module.setHandler(0x63, [=](VirtualModule &m, const ReceivedRequest &r) {
        return answer(r, kOk, {factory(m).ctValue});
    });
    // Byte 2 = 0 starts the check, 1 asks how it went.
    module.setHandler(0x54, [=](VirtualModule &m, const ReceivedRequest &r) {
        FactoryState &f = factory(m);
        if (r.block[2] == 0) {
            f.acfRunning = f.acfQueriesBeforeDone;
            return answer(r, kOk);
        }
        if (f.acfRunning < 0) return answer(r, kError);
        if (f.acfRunning > 0) {
            --f.acfRunning;
            return answer(r, kBusy);
        }
        f.acfRunning = -1;
        return answer(r, kOk);
    });

    module.setHandler(0x50, [=](VirtualModule &m, const ReceivedRequest &r) {
        FactoryState &f = factory(m);
        const auto key = std::make_pair(r.block[6], r.block[3]);
        auto value = f.registers.find(key);
        return answer(r, kOk, {value != f.registers.end() ? value->second : resetValue(key.first, key.second)});
    });
    module.setHandler(0x51, [=](VirtualModule &m, const ReceivedRequest &r) {
        FactoryState &f = factory(m);
        const auto key = std::make_pair(r.block[6], r.block[3]);
        f.registers[key] = r.block[4];
        if (r.block[5] == 1) f.defaults[key] = r.block[4];
        return answer(r, kOk);
    });

    module.setHandler(0x4A, [=](VirtualModule &m, const ReceivedRequest &r) {
        factory(m).woeMode = true;
        return answer(r, kOk);
    });
    module.setHandler(0x4B, [=](VirtualModule &m, const ReceivedRequest &r) {
        FactoryState &f = factory(m);
        if (f.woeMode) ++f.woeWakeCount;
        f.woeMode = false;
        return answer(r, kOk);
    });
    module.setHandler(0x4C, [=](VirtualModule &m, const ReceivedRequest &r) {
        FactoryState &f = factory(m);
        return answer(r, kOk, {static_cast<std::uint8_t>(f.woeMode ? 1 : 0), f.woeThreshold, f.woeWakeCount});
    });
}

}  // namespace fpm::sim
