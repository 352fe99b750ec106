// Card issuing: the module issues the card once asked and reports the state afterwards.
#include "sim/card_model.h"
#include "sim/command_models.h"

namespace fpm::sim {

void installCardCommands(VirtualModule &module)
{
    using Reply = std::optional<std::vector<std::uint8_t>>;
    module.setHandler(0x36, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        CardState &card = m.part<CardState>();
        card.issued = true;
        ++card.issueRequests;
        return VirtualModule::header(r.code(), 1);
    });
    module.setHandler(0x37, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        return VirtualModule::header(r.code(), 1, {static_cast<std::uint8_t>(m.part<CardState>().issued ? 1 : 0)});
    });
}

}  // namespace fpm::sim
