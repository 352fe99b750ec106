// LEDs, device status, boot-loader switch and RF connection: the module takes each and
// remembers it.
#include "sim/command_models.h"
#include "sim/device_control_model.h"

namespace fpm::sim {

void installDeviceControlCommands(VirtualModule &module)
{
    using Reply = std::optional<std::vector<std::uint8_t>>;
    module.setHandler(0x3D, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        m.part<DeviceControlState>().ledState = r.block[3];
        return VirtualModule::header(r.code(), 1);
    });
    module.setHandler(0x3E, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        m.part<DeviceControlState>().deviceStatus = r.block[3];
        return VirtualModule::header(r.code(), 1);
    });
    module.setHandler(0x52, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        m.part<DeviceControlState>().inBootLoader = true;
        return VirtualModule::header(r.code(), 1);
    });
    module.setHandler(0x53, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        m.part<DeviceControlState>().rfConnected = true;
        return VirtualModule::header(r.code(), 1);
    });
}

}  // namespace fpm::sim
