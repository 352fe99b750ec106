// Deleting enrolled fingers: the module forgets the finger index and says so.
#include "sim/command_models.h"
#include "sim/delete_model.h"
#include "sim/finger_model.h"

namespace fpm::sim {

void installDeleteCommands(VirtualModule &module)
{
    using Reply = std::optional<std::vector<std::uint8_t>>;
    module.setHandler(0x14, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        m.part<FingerDeleteState>().deleted.push_back(r.block[3]);
        m.part<FingerModel>().enrolled[r.block[3]] = 0;
        return VirtualModule::header(r.code(), 1);
    });
}

}  // namespace fpm::sim
