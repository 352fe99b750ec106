#include "tools/virtual_setup.h"

#include <climits>

#include "sim/factory_model.h"
#include "sim/finger_model.h"
#include "sim/fingerprint_synth.h"
#include "sim/image_model.h"
#include "sim/virtual_host.h"

namespace fpm::cli {

namespace {

constexpr std::uint8_t kEnrollImage = 0x12, kVerifyImage = 0x22, kIdentifyImage = 0x24;
// Status polls answered busy per capture: a finger put down in a few ticks.
constexpr int kCaptureBusyPolls = 2;
constexpr int kNeverPlaced = INT_MAX / 2;

sim::VirtualModule *virtualModule()
{
    auto &host = sim::VirtualHost::instance();
    return host.usesHostDevices() ? nullptr : host.module();
}

}  // namespace

void setVirtualSensor(int width, int height, int bytesPerPixel)
{
    if (sim::VirtualModule *m = virtualModule()) {
        m->width = static_cast<std::uint8_t>(width);
        m->height = static_cast<std::uint8_t>(height);
        m->bytesPerPixel = static_cast<std::uint8_t>(bytesPerPixel);
    }
}

void placeVirtualFinger(int onSensor)
{
    sim::VirtualModule *m = virtualModule();
    if (!m) return;
    auto &fingers = m->part<sim::FingerModel>();
    if (onSensor == kUnknownFinger) {
        fingers.fingerOnSensor.reset();
    } else {
        fingers.fingerOnSensor = static_cast<std::uint8_t>(onSensor);
    }
    // Each finger has its own ridges; the one never seen gets a seed no index gives.
    const auto seed = static_cast<std::uint32_t>(onSensor == kUnknownFinger ? 1000 : onSensor);
    const auto samples = sim::synthesizeFingerprint16(m->width, m->height, seed);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (std::uint16_t v : samples) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    auto &images = m->part<sim::ImageModel>().imageOverride;
    for (std::uint8_t code : {kEnrollImage, kVerifyImage, kIdentifyImage}) images[code] = bytes;
}

void setVirtualFingers(const std::vector<int> &enrolled, int onSensor)
{
    sim::VirtualModule *m = virtualModule();
    if (!m) return;
    // A capacitive sensor's 16-bit captures, which the library turns into 8-bit images.
    m->bytesPerPixel = 2;
    auto &fingers = m->part<sim::FingerModel>();
    fingers.enrolled.fill(0);
    for (int finger : enrolled) fingers.enrolled[static_cast<std::uint8_t>(finger)] = 8;
    fingers.busyPolls = kCaptureBusyPolls;
    placeVirtualFinger(onSensor);
}

void setVirtualFingerPresent(bool present)
{
    sim::VirtualModule *m = virtualModule();
    if (!m) return;
    auto &fingers = m->part<sim::FingerModel>();
    fingers.busyPolls = present ? kCaptureBusyPolls : kNeverPlaced;
    // Also the capture already requested.
    if (!present) fingers.busyLeft = kNeverPlaced;
}

void injectVirtualFault(const std::string &check)
{
    sim::VirtualModule *m = virtualModule();
    if (!m) return;
    auto &f = m->part<sim::FactoryState>();
    if (check == "sensor") f.sensorIoDetail = 0x0A;
    if (check == "module") f.moduleIoDetail = 0x21;
    if (check == "acf") {
        m->script(0x54, sim::ScriptedReply::ok());           // started
        m->script(0x54, sim::ScriptedReply::withStatus(2));  // and failed
    }
    if (check == "testmode") m->script(0x4D, sim::ScriptedReply::withStatus(2));
}

}  // namespace fpm::cli
