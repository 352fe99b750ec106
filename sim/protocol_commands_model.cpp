#include "sim/command_models.h"

namespace fpm::sim {

void installProtocolCommands(VirtualModule &module)
{
    using Reply = std::optional<std::vector<std::uint8_t>>;
    auto ok = [](VirtualModule &, const ReceivedRequest &r) -> Reply { return VirtualModule::header(r.code(), 1); };
    module.setHandler(0x30, ok);  // initialise
    module.setHandler(0x33, ok);  // cancel
    module.setHandler(0x34, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        return VirtualModule::header(r.code(), 1, {m.width, m.height, m.bytesPerPixel});
    });
    module.setHandler(0x32, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        std::vector<std::uint8_t> reply{r.code()};
        reply.insert(reply.end(), m.firmwareRecord.begin(), m.firmwareRecord.end());
        return reply;
    });
}

}  // namespace fpm::sim
