// The background verification: one identification against every enrolled finger,
// reported with the matching finger index and the capture's image.
#include "connection/connection_state.h"
#include "connection/led_wait.h"
#include "connection/module_handle.h"
#include "finger/identify_commands.h"
#include "finger/procedure_capture.h"
#include "finger/procedures.h"
#include "transport/cancel_flags.h"
#include "transport/exchange.h"
#include "transport/protocol_commands.h"
#include "worker/procedure_worker.h"

namespace fpm::procedure {

namespace {

// Reads the identified capture and hands its 8-bit image to the caller; false when the
// read failed.
bool reportIdentified(VerifyCallback callback, std::uint8_t outcome, std::uint8_t &finger, CaptureBuffers &capture)
{
    Image image = capture.makeImage();
    if (finger::getIdentifyImage(connection::connectedHandle(), capture.raw.data(), capture.geometry) != kSuccess ||
        !capture.toEightBits(image))
        return false;
    capture.raw = {};
    const HandedImage handed = image.handOver();
    callback(&outcome, &finger, handed.pixels());
    return true;
}

void identify(VerifyCallback callback, CaptureBuffers &capture)
{
    std::uint8_t finger = 0;
    std::uint8_t event = kEventWaitFinger;
    callback(&event, nullptr, nullptr);
    const ResultByte outcome = finger::doIdentifyRequest(connection::connectedHandle(), &finger);
    switch (outcome) {
    case CODE_MATCH:
    case CODE_NO_MATCH:
        reportIdentified(callback, outcome, finger, capture);
        return;
    case CODE_CANCELING:
        event = kEventCanceled;
        break;
    default:
        // A cancel can also end the identification as a plain failure.
        event = transport::cancelRequested() ? kEventCanceled : outcome;
        if (event == kEventCanceled) transport::clearCancelRequest();
        break;
    }
    callback(&event, &finger, nullptr);
}

void verifyProcedure(Run &run)
{
    ConnectionState &s = state();
    const VerifyCallback callback = s.procedures.verify();
    CaptureBuffers capture;
    if (capture.querySize()) identify(callback, capture);
    // Cleared before the guard is given back: once it is, a new verification may store
    // its own callback, which can be the same function and must not be cleared by this run.
    s.procedures.forgetVerify(callback);
    run.release();
    connection::runLedWait(run.connection());
}

}  // namespace

ResultByte beginVerification(VerifyCallback callback)
{
    if (!callback) return kFailure;
    ConnectionState &s = state();
    Run *run = Run::claim(s.verifyWorker);
    if (!run) return kFailure;
    s.procedures.storeVerify(callback);
    if (run->launch(verifyProcedure)) return kSuccess;
    // Nothing runs: a cancel must not report to this callback.
    s.procedures.forgetVerify(callback);
    return kFailure;
}

ResultByte cancel()
{
    // Told before the request is seen: the verification's own cancel event must follow
    // this one, and its worker reacts to the flag at once.
    if (VerifyCallback callback = state().procedures.verify()) {
        std::uint8_t event = transport::kStatusCanceling;
        callback(&event, nullptr, nullptr);
    }
    return transport::cancelCommand();
}

ResultByte connectAndVerify(std::int32_t *width, std::int32_t *height, VerifyCallback callback)
{
    const ResultByte connected = connectForProcedure(width, height);
    return connected == kSuccess ? beginVerification(callback) : connected;
}

}  // namespace fpm::procedure
