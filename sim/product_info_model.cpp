// Product-information block: read whole, or written whole followed by a status read.
#include <algorithm>

#include "sim/command_models.h"
#include "sim/product_info_model.h"

namespace fpm::sim {

void installProductInfoCommands(VirtualModule &module)
{
    module.setHandler(0x68, [](VirtualModule &m, const ReceivedRequest &r) -> std::optional<std::vector<std::uint8_t>> {
        auto &block = m.part<ProductInfoBlock>().bytes;
        const std::uint8_t stage = r.block[2], operation = r.block[3];
        const std::size_t length = r.block[4] | (r.block[5] << 8);
        if (stage == 1) return VirtualModule::header(r.code(), 1);
        if (operation == 0) {
            std::vector<std::uint8_t> reply = VirtualModule::header(r.code(), 1);
            for (std::size_t i = 0; i < length; ++i) reply.push_back(i < block.size() ? block[i] : 0);
            return reply;
        }
        std::copy_n(r.dataOut.begin(), std::min(r.dataOut.size(), block.size()), block.begin());
        return std::vector<std::uint8_t>{};
    });
}

}  // namespace fpm::sim
