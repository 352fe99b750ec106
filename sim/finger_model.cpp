#include "sim/finger_model.h"

#include "sim/command_models.h"
#include "sim/image_model.h"

namespace fpm::sim {

namespace {

using Reply = std::optional<std::vector<std::uint8_t>>;

constexpr std::uint8_t kOk = 1, kError = 2, kBusy = 3, kMatch = 5, kNoMatch = 6, kFake = 7;

FingerModel &model(VirtualModule &m) { return m.part<FingerModel>(); }

// A status poll answers busy for the model's number of polls after its request.
bool stillBusy(FingerModel &f)
{
    if (f.busyLeft <= 0) return false;
    --f.busyLeft;
    return true;
}

bool matches(const FingerModel &f, std::uint8_t finger)
{
    return f.fingerOnSensor && *f.fingerOnSensor == finger && f.enrolled[finger] > 0;
}

VirtualModule::Handler request()
{
    return [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        model(m).busyLeft = model(m).busyPolls;
        return VirtualModule::header(r.code(), kOk);
    };
}

// Request (byte 2 = 0) and status poll (byte 2 = 1) of one verification step.
VirtualModule::Handler twoPhase(std::uint8_t (*verdict)(FingerModel &, std::uint8_t finger))
{
    return [verdict](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        FingerModel &f = model(m);
        if (r.block[2] == 0) return request()(m, r);
        if (stillBusy(f)) return VirtualModule::header(r.code(), kBusy);
        return VirtualModule::header(r.code(), verdict(f, r.block[3]));
    };
}

VirtualModule::Handler imageData()
{
    return [](VirtualModule &m, const ReceivedRequest &r) -> Reply { return modelImage(m, r.code()); };
}

}  // namespace

void installFingerCommands(VirtualModule &module)
{
    module.setHandler(0x10, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        model(m).enrolling = r.block[3];
        return request()(m, r);
    });
    module.setHandler(0x11, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        FingerModel &f = model(m);
        if (!f.enrolling) return VirtualModule::header(r.code(), kError);
        if (stillBusy(f)) return VirtualModule::header(r.code(), kBusy);
        if (f.fakeFinger) return VirtualModule::header(r.code(), kFake);
        std::uint8_t &amount = f.enrolled[*f.enrolling];
        if (amount < 255) ++amount;
        f.enrolling.reset();
        return VirtualModule::header(r.code(), kOk);
    });
    module.setHandler(0x12, imageData());
    module.setHandler(0x13, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        return VirtualModule::header(r.code(), kOk, {model(m).enrolled[r.block[3]]});
    });

    module.setHandler(0x20, twoPhase([](FingerModel &, std::uint8_t) { return kOk; }));
    module.setHandler(0x21, twoPhase([](FingerModel &f, std::uint8_t finger) {
                          if (f.fakeFinger) return kFake;
                          return matches(f, finger) ? kMatch : kNoMatch;
                      }));
    module.setHandler(0x22, imageData());

    module.setHandler(0x23, request());
    module.setHandler(0x35, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        FingerModel &f = model(m);
        if (stillBusy(f)) return VirtualModule::header(r.code(), kBusy);
        if (f.fingerOnSensor && matches(f, *f.fingerOnSensor))
            return VirtualModule::header(r.code(), kMatch, {*f.fingerOnSensor});
        return VirtualModule::header(r.code(), kNoMatch);
    });
    module.setHandler(0x24, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        if (r.block[2] == 0) return VirtualModule::header(r.code(), kOk);
        return modelImage(m, r.code());
    });

    module.setHandler(0x69, [](VirtualModule &m, const ReceivedRequest &r) -> Reply {
        std::vector<std::uint8_t> record = VirtualModule::header(r.code(), kOk);
        for (std::uint32_t value : model(m).verifyPeriod)
            for (int shift = 0; shift < 32; shift += 8) record.push_back(static_cast<std::uint8_t>(value >> shift));
        return record;
    });
}

}  // namespace fpm::sim
