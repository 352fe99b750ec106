#include "sim/command_models.h"
#include "sim/fingerprint_synth.h"
#include "sim/image_model.h"

namespace fpm::sim {

namespace {

using Reply = std::optional<std::vector<std::uint8_t>>;

constexpr std::uint8_t kCurrentImage = 0x31;
constexpr std::uint8_t kBufferImage = 0x39;
constexpr std::uint8_t kBaseImage = 0x49;
constexpr std::uint8_t kFingerprint = 0x70;

void put(std::vector<std::uint8_t> &image, std::size_t index, int bytesPerPixel, std::uint32_t value)
{
    if (bytesPerPixel == 1) {
        image[index] = static_cast<std::uint8_t>(value);
    } else {
        image[2 * index] = static_cast<std::uint8_t>(value);
        image[2 * index + 1] = static_cast<std::uint8_t>(value >> 8);
    }
}

std::uint32_t sample(std::uint8_t code, std::uint8_t index, int x, int y, int bytesPerPixel)
{
    const std::uint32_t v = static_cast<std::uint32_t>(x * 3 + y * 5 + code * 7 + index * 11);
    return bytesPerPixel == 1 ? v & 0xFF : (v * 37) & 0xFFFF;
}

bool isFingerCapture(std::uint8_t code, int bytesPerPixel)
{
    return bytesPerPixel == 2 && (code == kCurrentImage || code == kBufferImage || code == kFingerprint);
}

std::vector<std::uint8_t> baseline(VirtualModule &m)
{
    ImageModel &model = m.part<ImageModel>();
    const int w = m.width, h = m.height, d = m.bytesPerPixel == 2 ? 2 : 1;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(w) * h * d);
    for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i) put(image, i, d, model.baselineLevel);
    for (const BaselinePixel &p : model.baselinePixels) {
        if (p.row >= 0 && p.row < h && p.column >= 0 && p.column < w)
            put(image, static_cast<std::size_t>(p.row) * w + p.column, d, p.value);
    }
    return image;
}

// Two-phase read: the request is accepted, the data phase brings the image.
VirtualModule::Handler imageRead()
{
    return [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        if (r.block[2] == 0) return VirtualModule::header(r.code(), 1);
        return modelImage(m, r.code(), r.block[3]);
    };
}

VirtualModule::Handler reply(std::vector<std::uint8_t> (*values)(VirtualModule &, const ReceivedRequest &))
{
    return [values](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        return VirtualModule::header(r.code(), 1, values(m, r));
    };
}

}  // namespace

std::vector<std::uint8_t> modelImage(VirtualModule &m, std::uint8_t code, std::uint8_t index)
{
    ImageModel &model = m.part<ImageModel>();
    if (auto it = model.imageOverride.find(code); it != model.imageOverride.end()) return it->second;
    if (code == kBaseImage) return baseline(m);
    const int w = m.width, h = m.height, d = m.bytesPerPixel == 2 ? 2 : 1;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(w) * h * d);
    if (isFingerCapture(code, d)) {
        auto &last = model.lastFinger;
        if (last.width != w || last.height != h || last.seed != model.fingerSeed)
            last = {w, h, model.fingerSeed, synthesizeFingerprint16(w, h, model.fingerSeed)};
        for (std::size_t i = 0; i < last.samples.size(); ++i) put(image, i, d, last.samples[i]);
        return image;
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) put(image, static_cast<std::size_t>(y) * w + x, d, sample(code, index, x, y, d));
    return image;
}

void installImageCommands(VirtualModule &module)
{
    for (std::uint8_t code : {0x31, 0x39, 0x47, 0x49, 0x4F, 0x64, 0x70}) module.setHandler(code, imageRead());

    module.setHandler(0x38, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        if (r.block[2] == 0) return VirtualModule::header(r.code(), 1);
        return VirtualModule::header(r.code(), 1, {m.part<ImageModel>().checkValue});
    });
    module.setHandler(0x3B, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        if (r.block[2] == 1 && r.dataIn == 0) {
            m.part<ImageModel>().uploads.push_back(r.dataOut);
            return std::vector<std::uint8_t>{};
        }
        return VirtualModule::header(r.code(), 1);
    });

    auto none = [](VirtualModule &, const ReceivedRequest &) { return std::vector<std::uint8_t>{}; };
    module.setHandler(0x44, reply(none));
    module.setHandler(0x59, reply(none));
    module.setHandler(0x78, reply(none));
    module.setHandler(0x45, reply([](VirtualModule &m, const ReceivedRequest &) {
        const auto &d = m.part<ImageModel>().currentData;
        return std::vector<std::uint8_t>(std::begin(d), std::end(d));
    }));
    module.setHandler(0x46, reply([](VirtualModule &m, const ReceivedRequest &) {
        const auto *v = m.part<ImageModel>().calibrationValues;
        return std::vector<std::uint8_t>{0, 0, static_cast<std::uint8_t>(v[0]), static_cast<std::uint8_t>(v[0] >> 8),
                                         static_cast<std::uint8_t>(v[1]), static_cast<std::uint8_t>(v[1] >> 8)};
    }));
    module.setHandler(0x48, reply([](VirtualModule &m, const ReceivedRequest &) {
        return std::vector<std::uint8_t>{m.part<ImageModel>().dac};
    }));
    module.setHandler(0x71, reply([](VirtualModule &m, const ReceivedRequest &) {
        return std::vector<std::uint8_t>{m.part<ImageModel>().vcb};
    }));
    module.setHandler(0x72, reply([](VirtualModule &m, const ReceivedRequest &r) {
        m.part<ImageModel>().vcb = r.block[3];
        return std::vector<std::uint8_t>{};
    }));
}

}  // namespace fpm::sim
