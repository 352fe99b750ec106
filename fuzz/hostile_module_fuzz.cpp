// A module that answers with whatever the input says: every reply (status, echo, values,
// the data phase's bytes and length, a failed transfer, busy for a while or for ever) is
// scripted from the input, then the input calls a sequence of exports, background
// procedures included, with arguments of its choosing. Caller buffers are allocated at
// exactly the size the library's contract gives them, so that AddressSanitizer reports
// any write or read past them.
#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "sim/virtual_host.h"
#include "support/export_calls.h"
#include "support/library_state.h"
#include "worker/procedure_worker.h"

namespace fpm::fuzz {
namespace {

using sim::ScriptedReply;

constexpr std::int64_t kLargestCallerBuffer = 1 << 20;
// Clock time one case may wait in all before the module is pulled out: far beyond every
// legitimate wait (2-second pauses, 5- and 10-second limits), so only a module that
// keeps the library waiting for ever reaches it.
constexpr std::uint64_t kCaseBudgetMs = 60'000;
// Transfers one case may make: every export's own path needs far fewer; only a procedure
// that the module keeps capturing (up to 255 captures, or a fake finger for ever) gets
// there, and by then it repeats itself.
constexpr std::int64_t kCaseTransfers = 150;
// With the real log folder every call costs file work (the folder chosen again on each
// connect, the folder listed for each line): such a case makes fewer calls and ends
// sooner. The log's paths, rotation and failures are all reached within a few calls;
// files rotate across cases, since the folder stays.
constexpr int kCaseCalls = 12;
constexpr int kRealLogCaseCalls = 3;
constexpr std::int64_t kRealLogCaseTransfers = 30;
// Data-in bytes one case may receive: one of the largest images (255 x 255 x 2), some
// smaller ones, and the answer that crosses the line. Every capture is read, repaired
// and converted under the sanitizers, so a procedure on large images would otherwise
// spend a whole case's worth of time on each repetition of the same path.
constexpr std::int64_t kCaseDataBytes = 150'000;

std::atomic<sim::VirtualModule *> g_module{nullptr};

void pullModule()
{
    if (sim::VirtualModule *m = g_module.load()) m->unplugged.store(true);
}

std::uint8_t commandCode(FuzzedDataProvider &in)
{
    // Mostly codes the library sends; any byte now and then.
    return in.ConsumeBool() ? static_cast<std::uint8_t>(0x10 + in.ConsumeIntegralInRange(0, 0x6F))
                            : in.ConsumeIntegral<std::uint8_t>();
}

std::uint8_t status(FuzzedDataProvider &in)
{
    static constexpr std::uint8_t kStatuses[] = {1, 2, 3, 5, 6, 7, 8, 9, 13, 14, 15, 0, 255};
    return in.ConsumeBool() ? in.PickValueInArray(kStatuses) : in.ConsumeIntegral<std::uint8_t>();
}

std::uint8_t sizeValue(FuzzedDataProvider &in)
{
    // Mostly small sides, so that a run tries many cases (a procedure reads and converts
    // every capture); now and then a sensor's size or the largest answer.
    static constexpr std::uint8_t kSmall[] = {0, 1, 2, 4, 5, 10, 16, 20};
    static constexpr std::uint8_t kLarge[] = {120, 200, 255};
    return in.ConsumeIntegralInRange(0, 15) == 0 ? in.PickValueInArray(kLarge) : in.PickValueInArray(kSmall);
}

ScriptedReply reply(FuzzedDataProvider &in)
{
    ScriptedReply r;
    switch (in.ConsumeIntegralInRange(0, 6)) {
    case 0:  // a status with values
        r.status = status(in);
        r.values = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 12));
        break;
    case 1:  // a size answer
        r.values = {sizeValue(in), sizeValue(in), static_cast<std::uint8_t>(in.ConsumeIntegralInRange(0, 3))};
        break;
    case 2: {  // a data phase of any length: input bytes, then a filler
        std::vector<std::uint8_t> data = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 64));
        // Now and then longer than the largest image.
        const std::size_t length = in.ConsumeIntegralInRange(0, 3) == 0
                                       ? in.ConsumeIntegralInRange<std::size_t>(0, 140'000)
                                       : in.ConsumeIntegralInRange<std::size_t>(0, 300);
        data.resize(std::max(length, data.size()), in.ConsumeIntegral<std::uint8_t>());
        r.raw = std::move(data);
        break;
    }
    case 3:
        r.failTransfer = true;
        break;
    case 4:
        r.echo = in.ConsumeIntegral<std::uint8_t>();
        r.status = status(in);
        break;
    case 5:
        r.busyFirst = in.ConsumeIntegralInRange(1, 400);
        r.status = status(in);
        break;
    default:
        r.delayMs = in.ConsumeIntegralInRange(0, 20'000);
        r.status = status(in);
        break;
    }
    return r;
}

void scriptReplies(FuzzedDataProvider &in, sim::VirtualModule &module, int count)
{
    for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
        const std::uint8_t code = commandCode(in);
        // Rarely a standing answer: busy for ever, or the same reply to every request.
        if (in.ConsumeIntegralInRange(0, 15) == 0) module.answerAlways(code, reply(in));
        else module.script(code, reply(in));
    }
}

class InputArguments : public test::Arguments {
public:
    explicit InputArguments(FuzzedDataProvider &in) : in_(in) {}

    std::int32_t integer() override
    {
        switch (in_.ConsumeIntegralInRange(0, 7)) {
        case 0: return 1;
        case 1: return 0;
        case 2: return -1;
        case 3: return in_.ConsumeIntegralInRange(0, 20);
        case 4: return 255;
        case 5: return in_.ConsumeBool() ? INT_MAX : INT_MIN;
        case 6: return in_.ConsumeIntegralInRange(0, 70'000);
        default: return in_.ConsumeIntegral<std::int32_t>();
        }
    }
    std::uint8_t *buffer(std::int64_t bytes) override
    {
        if (bytes < 0 || bytes > kLargestCallerBuffer || in_.ConsumeIntegralInRange(0, 15) == 0) return nullptr;
        // Exactly as large as promised: one byte more is a sanitizer report.
        // Not zeroed: a large buffer's every page would be touched for nothing.
        buffers_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(bytes)));
        return buffers_.back().get();
    }
    FPM_HANDLE handle() override
    {
        sim::VirtualHost &host = sim::VirtualHost::instance();
        switch (in_.ConsumeIntegralInRange(0, 3)) {
        case 0: return host.open(sim::kModulePath);
        case 1: return nullptr;
        case 2: return FPM_INVALID_HANDLE;
        default: {
            FPM_HANDLE closed = host.open(sim::kModulePath);
            host.closeHandle(closed);
            return closed;
        }
        }
    }
    const FPM_WCHAR *text() override
    {
        static const std::u16string kTexts[] = {u"wexa", u"finger_module", u"WA", u"WAWBWCWD", u"", std::u16string(300, u'x')};
        if (in_.ConsumeIntegralInRange(0, 7) == 0) return nullptr;
        return kTexts[in_.ConsumeIntegralInRange<std::size_t>(0, std::size(kTexts) - 1)].c_str();
    }
    bool callback() override { return in_.ConsumeIntegralInRange(0, 7) != 0; }
    // What a caller sizes its buffers from: the geometry its last size query (or the
    // connect's) reported, which is the one the library reads with.
    std::int64_t imageBytes() override { return test::libraryImageBytes(); }
    std::int64_t pixels() override { return test::libraryImagePixels(); }
    void sizeReported(FPM_RESULT, const std::int32_t *, const std::int32_t *, const unsigned char *, int) override {}

private:
    FuzzedDataProvider &in_;
    std::vector<std::unique_ptr<std::uint8_t[]>> buffers_;
};

}  // namespace
}  // namespace fpm::fuzz

using namespace fpm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    sim::VirtualHost &host = sim::VirtualHost::instance();
    test::resetLibraryState();
    host.reset();
    test::g_callbackImageBytes.store(0);
    // The real log folder only when the input asks for it (first byte's top four bits and
    // a flag: one input in 32). With 12 calls such a case cost five times an ordinary
    // one, and at one input in sixteen these cases took a quarter of the target's time.
    const bool realLog = size > 0 && (data[0] & 0xF0) == 0xF0 && in.ConsumeBool();
    fuzz::useInstantSystem(realLog);

    sim::VirtualModule &module = host.addModule();
    fuzz::g_module.store(&module);
    fuzz::instantClock().startCase(fuzz::kCaseBudgetMs, fuzz::pullModule);
    module.width = fuzz::sizeValue(in);
    module.height = fuzz::sizeValue(in);
    module.bytesPerPixel = static_cast<std::uint8_t>(in.ConsumeIntegralInRange(1, 2));
    module.transfersBeforeUnplug.store(realLog ? fuzz::kRealLogCaseTransfers : fuzz::kCaseTransfers);
    module.dataBytesBeforeUnplug.store(fuzz::kCaseDataBytes);
    fuzz::scriptReplies(in, module, in.ConsumeIntegralInRange(0, 40));

    {
        fuzz::InputArguments arguments(in);
        const auto calls = test::exportCalls();
        const int count = in.ConsumeIntegralInRange(1, realLog ? fuzz::kRealLogCaseCalls : fuzz::kCaseCalls);
        int made = 0;
        for (; made < count && in.remaining_bytes() > 0; ++made) {
            const test::ExportCall &call = calls[in.ConsumeIntegralInRange<std::size_t>(0, calls.size() - 1)];
            // A procedure's images have the size of the geometry it starts with, which a
            // connect-and-start call only learns from the module while it runs: the
            // callbacks here read the first pixel (the image is alive), the hostile-caller
            // test reads whole images of a known size.
            if (procedure::activeWorkers() == 0) test::g_callbackImageBytes.store(std::min<std::int64_t>(1, test::libraryImagePixels()));
            call.call(arguments);
            // Mostly the procedure runs to its end before the next call; sometimes the
            // next calls meet it running.
            if (call.startsWorker && in.ConsumeBool()) fuzz::waitForWorkers();
            // More replies may be queued between calls.
            if (in.ConsumeIntegralInRange(0, 3) == 0) fuzz::scriptReplies(in, module, in.ConsumeIntegralInRange(1, 8));
        }
        // Whatever still runs ends on the module's default answers or by a cancel.
        if (procedure::activeWorkers() != 0 && in.ConsumeBool()) DoCancel();
        fuzz::waitForWorkers();
        CompleteEnrollmentProcedure();
        // A kept input that reaches no export any more has lost its finding to a change in
        // how inputs are read: the replay in the test command fails on it.
        if (made == 0 && size > 0 && std::getenv("FPM_FUZZ_EVERY_INPUT_CALLS")) {
            std::fprintf(stderr, "this input calls no export\n");
            std::abort();
        }
    }
    fuzz::g_module.store(nullptr);
    host.reset();
    return 0;
}
