// The background enrolment: clear the finger index, then take the requested number of
// accepted captures, reporting each step.
#include "connection/connect.h"
#include "connection/connection_state.h"
#include "connection/led_wait.h"
#include "connection/module_handle.h"
#include "finger/delete_fingers.h"
#include "finger/enroll_commands.h"
#include "finger/procedure_capture.h"
#include "finger/procedures.h"
#include "worker/procedure_worker.h"

namespace fpm::procedure {

namespace {

class EnrollmentReports {
public:
    explicit EnrollmentReports(EnrollmentCallback callback) : callback_(callback) {}
    void operator()(std::uint8_t event, std::uint8_t *image = nullptr) const
    {
        callback_(&event, image);
    }

private:
    EnrollmentCallback callback_;
};

enum class Ending : std::uint8_t { Completed, Canceled, Failed };

// The capture loop. On Failed, `last` holds the result the final event reports.
Ending takeCaptures(Run &run, const EnrollmentReports &report, std::uint8_t finger, std::uint8_t count,
                    CaptureBuffers &capture, std::uint8_t &last)
{
    Image image = capture.makeImage();
    std::uint8_t accepted = 0;
    while (accepted < count) {
        last = finger::doEnrollRequest(connection::connectedHandle(), finger);
        if (last != kSuccess) return Ending::Failed;
        report(kEventWaitFinger);
        last = finger::checkEnrollStatus(connection::connectedHandle());
        switch (last) {
        case CODE_OK:
            report(kEventCaptureAccepted);
            // A capture that cannot be read or converted is a failed read.
            if (finger::getEnrollImage(connection::connectedHandle(), capture.raw.data(), capture.geometry) != kSuccess ||
                !capture.toEightBits(image))
                return Ending::Failed;
            if (accepted + 1 == count) {
                pause(kFinalPauseMs);
                run.finalEventReached();
                report(kEventEnrollComplete, image.handOver().pixels());
                connection::runLedWait(run.connection());
                return Ending::Completed;
            }
            report(CODE_OK, image.data());
            ++accepted;
            break;
        case CODE_FAKE_FINGER:
            // Shown to the user, then the same capture again.
            report(CODE_FAKE_FINGER);
            if (finger::getEnrollImage(connection::connectedHandle(), capture.raw.data(), capture.geometry) != kSuccess ||
                !capture.toEightBits(image)) {
                pause(kFinalPauseMs);
                return Ending::Failed;
            }
            report(CODE_FAKE_FINGER, image.data());
            break;
        case CODE_CANCELING:
            report(CODE_CANCELING);
            // A new enrolment may start during the pause; the module stays open.
            run.release();
            pause(kFinalPauseMs);
            report(kEventCanceled);
            return Ending::Canceled;
        default:
            report(last);
            pause(kFinalPauseMs);
            return Ending::Failed;
        }
    }
    return Ending::Failed;  // a capture count of 0
}

void enrollProcedure(Run &run)
{
    ConnectionState &s = state();
    // Taken once: a new enrolment may overwrite them after this one gave its guard back.
    const EnrollParameters started = s.procedures.enroll();
    const EnrollmentReports report(started.callback);
    const std::uint8_t finger = started.finger;
    const std::uint8_t count = started.captureCount;

    std::int32_t enrolled = 0;
    if (finger::queryEnrollAmount(connection::connectedHandle(), finger, &enrolled) == kSuccess && enrolled > 0)
        finger::deleteFinger(finger);

    std::uint8_t last = kFailure;
    CaptureBuffers capture;
    if (capture.querySize()) {
        const Ending ending = takeCaptures(run, report, finger, count, capture, last);
        if (ending != Ending::Failed) return;
    }
    // A failed enrolment reports its last result and leaves the module switched off and
    // closed.
    connection::runLedWait(run.connection());
    run.finalEventReached();
    report(last);
    connection::closeDevice();
}

}  // namespace

ResultByte beginEnrollment(std::uint8_t fingerIndex, std::uint8_t captureCount, EnrollmentCallback callback)
{
    if (!callback) return kFailure;
    ConnectionState &s = state();
    Run *run = Run::claim(s.enrollWorker);
    if (!run) return kFailure;
    s.procedures.storeEnroll({callback, fingerIndex, captureCount});
    return run->launch(enrollProcedure) ? kSuccess : kFailure;
}

ResultByte connectAndEnroll(std::uint8_t fingerIndex, std::uint8_t captureCount, std::int32_t *width,
                            std::int32_t *height, EnrollmentCallback callback)
{
    const ResultByte connected = connectForProcedure(width, height);
    return connected == kSuccess ? beginEnrollment(fingerIndex, captureCount, callback) : connected;
}

}  // namespace fpm::procedure
