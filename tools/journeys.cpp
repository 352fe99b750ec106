#include "tools/journeys.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <vector>

#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/image_files.h"

namespace fpm::cli {

namespace {

// How often the wait for a procedure looks whether its worker ended without a final event.
constexpr auto kWorkerCheck = std::chrono::milliseconds(200);

// What a procedure's callback hands the waiting main thread.
struct Watch {
    const JourneyContext *context = nullptr;
    int width = 0, height = 0;

    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
    bool waitingForFinger = false;
    int exitCode = kExitFailed;

    // Enrolment: the finger, the captures asked for and taken, the event before.
    int finger = 0, captures = 0, accepted = 0;
    const CancelPlan *cancel = nullptr;
    std::uint8_t previous = 0;
    // Identification: the matched finger index.
    int matched = 0;

    void end(int code)
    {
        std::lock_guard lock(mutex);
        exitCode = code;
        ended = true;
        changed.notify_all();
    }
    void sawWaitForFinger()
    {
        std::lock_guard lock(mutex);
        waitingForFinger = true;
        changed.notify_all();
    }
    // Until the final event; a worker that ends without one ends the wait too.
    void waitForEnd()
    {
        std::unique_lock lock(mutex);
        while (!changed.wait_for(lock, kWorkerCheck, [&] { return ended; })) {
            if (!proceduresRunning()) {
                context->progress->line("the procedure ended without a result");
                return;
            }
        }
    }
};

// The watch of the procedure under way; the library's callbacks carry no user data.
std::atomic<Watch *> g_watch{nullptr};

class WatchScope {
public:
    explicit WatchScope(Watch &watch) { g_watch.store(&watch); }
    ~WatchScope() { g_watch.store(nullptr); }
};

std::string imagePath(const JourneyContext &context, const std::string &name)
{
    return (std::filesystem::path(context.imageDir) / (name + ".png")).string();
}

void saveImage(const JourneyContext &context, const std::string &name, const unsigned char *image, int width,
               int height)
{
    if (context.imageDir.empty() || !image) return;
    GreyImage grey{width, height, 8, std::vector<std::uint8_t>(image, image + static_cast<std::size_t>(width) * height)};
    std::string error;
    if (!writeImage(imagePath(context, name), grey, error)) context.progress->line("fpmodule: " + error);
}

bool prepareImageDir(const JourneyContext &context)
{
    if (context.imageDir.empty()) return true;
    std::error_code error;
    std::filesystem::create_directories(context.imageDir, error);
    if (!error) return true;
    std::fprintf(stderr, "fpmodule: cannot create %s: %s\n", context.imageDir.c_str(), error.message().c_str());
    return false;
}

// Connects, switches the module on and reads its image size, as a procedure needs it.
bool startSession(const JourneyContext &context, Watch &watch)
{
    if (!prepareImageDir(context) || !connectModule(context.module)) return false;
    ChangeDevStatus(1);
    unsigned char bytesPerPixel = 0;
    if (QuerySizeEx(&watch.width, &watch.height, &bytesPerPixel) != 1 || watch.width <= 0 || watch.height <= 0) {
        std::fprintf(stderr, "fpmodule: the module did not give its image size\n");
        DeviceDisConnection();
        return false;
    }
    return true;
}

// Ends the tool's part in a procedure: the module closed and no worker left running.
void closeAfterProcedure(bool workerClosesModule)
{
    if (workerClosesModule) {
        waitForProcedures();
        DeviceDisConnection();
    } else {
        // Closing ends the worker's LED wait at once.
        DeviceDisConnection();
        waitForProcedures();
    }
}

std::string captureLabel(const Watch &w)
{
    return "capture " + std::to_string(w.accepted + 1) + " of " + std::to_string(w.captures);
}

void FPM_CALL onEnrollment(unsigned char *eventByte, unsigned char *image)
{
    Watch *w = g_watch.load();
    if (!w) return;
    const std::uint8_t event = *eventByte;
    const bool final = endsEnrollment(event, image != nullptr, w->previous);
    const std::uint8_t previous = w->previous;
    w->previous = event;
    Progress &progress = *w->context->progress;
    const std::string name = "enroll-finger" + std::to_string(w->finger) + "-";

    if (!final) {
        switch (event) {
        case EVENT_WAIT_FINGER:
            progress.status(captureLabel(*w) + ": put the finger on the sensor");
            if (w->cancel && w->cancel->atCapture == w->accepted + 1) {
                if (w->cancel->lifted) w->cancel->lifted();
                w->sawWaitForFinger();
            }
            break;
        case EVENT_CAPTURE_ACCEPTED:
            progress.status(captureLabel(*w) + ": accepted, reading the image");
            break;
        case CODE_OK:
            saveImage(*w->context, name + std::to_string(w->accepted + 1), image, w->width, w->height);
            progress.status(captureLabel(*w) + ": done");
            ++w->accepted;
            break;
        case CODE_FAKE_FINGER:
            if (image) saveImage(*w->context, name + "fake" + std::to_string(w->accepted + 1), image, w->width, w->height);
            else progress.status(captureLabel(*w) + ": not a genuine finger, once more");
            break;
        case CODE_CANCELING:
            progress.status("cancelling the enrolment");
            break;
        default:
            progress.status(captureLabel(*w) + ": the module reported an error (" + std::to_string(event) + ")");
            break;
        }
        return;
    }
    if (event == EVENT_ENROLL_COMPLETE) {
        saveImage(*w->context, name + std::to_string(w->captures), image, w->width, w->height);
        progress.line("finger " + std::to_string(w->finger) + " enrolled with " + std::to_string(w->captures) +
                      " captures");
        w->end(kExitOk);
    } else if (event == EVENT_CANCELED) {
        progress.line("enrolment cancelled after " + std::to_string(w->accepted) + " of " +
                      std::to_string(w->captures) + " captures");
        w->end(kExitFailed);
    } else {
        std::string why = "the module reported an error or did not answer";
        if (event == CODE_OK && previous == EVENT_CAPTURE_ACCEPTED) why = "the image of an accepted capture could not be read";
        if (event == CODE_FAKE_FINGER) why = "the image of a rejected capture could not be read";
        progress.line("enrolment failed at " + captureLabel(*w) + ": " + why);
        w->end(kExitFailed);
    }
}

void FPM_CALL onIdentification(unsigned char *eventByte, unsigned char *finger, unsigned char *image)
{
    Watch *w = g_watch.load();
    if (!w) return;
    Progress &progress = *w->context->progress;
    switch (*eventByte) {
    case EVENT_WAIT_FINGER:
        progress.status("identifying: put the finger on the sensor");
        return;
    case CODE_CANCELING:
        progress.status("cancelling the identification");
        return;
    case CODE_MATCH:
        w->matched = finger ? *finger : 0;
        saveImage(*w->context, "identify-match-finger" + std::to_string(w->matched), image, w->width, w->height);
        progress.line("match: finger " + std::to_string(w->matched));
        w->end(kExitOk);
        return;
    case CODE_NO_MATCH:
        saveImage(*w->context, "identify-no-match", image, w->width, w->height);
        progress.line("no match: the finger is not enrolled");
        w->end(kExitFailed);
        return;
    case EVENT_CANCELED:
        progress.line("identification cancelled");
        w->end(kExitFailed);
        return;
    default:
        progress.line("identification failed: the module reported an error or did not answer");
        w->end(kExitFailed);
        return;
    }
}

// The delete and card-issue procedures report one result byte.
void FPM_CALL onResult(unsigned char *result)
{
    if (Watch *w = g_watch.load()) w->end(*result == 1 ? kExitOk : kExitFailed);
}

std::vector<std::uint8_t> toEightBits(std::vector<std::uint8_t> raw, int width, int height, unsigned char bytesPerPixel)
{
    if (bytesPerPixel != 2) return raw;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height);
    if (Trans16To8Img(raw.data(), image.data(), width, height) != 0) return {};
    return image;
}

}  // namespace

bool endsEnrollment(std::uint8_t event, bool withImage, std::uint8_t previous)
{
    if (event == EVENT_ENROLL_COMPLETE || event == EVENT_CANCELED) return true;
    if (withImage || event == EVENT_WAIT_FINGER || event == EVENT_CAPTURE_ACCEPTED || event == CODE_CANCELING)
        return false;
    // While the module waits for the finger: a fake finger, or a failure reported as it
    // comes, with the final event to follow.
    return previous != EVENT_WAIT_FINGER;
}

int enrollJourney(const JourneyContext &context, int finger, int captures, const CancelPlan &cancel)
{
    Watch watch;
    watch.context = &context;
    watch.finger = finger;
    watch.cancel = &cancel;
    if (!startSession(context, watch)) return kExitFailed;
    if (captures == 0) {
        unsigned char perFinger = 0;
        if (max_enroll_per_finger(&perFinger) != 1) {
            std::fprintf(stderr, "fpmodule: the module did not say how many captures a finger takes\n");
            DeviceDisConnection();
            return kExitFailed;
        }
        captures = perFinger;
    }
    watch.captures = captures;
    context.progress->line("enrolling finger " + std::to_string(finger) + " with " + std::to_string(captures) +
                           " captures");
    WatchScope scope(watch);
    if (BeginEnrollmentProcedure(finger, captures, onEnrollment) != 1) {
        std::fprintf(stderr, "fpmodule: the enrolment could not be started\n");
        DeviceDisConnection();
        return kExitFailed;
    }
    if (cancel.atCapture > 0) {
        std::unique_lock lock(watch.mutex);
        watch.changed.wait(lock, [&] { return watch.waitingForFinger || watch.ended; });
        if (!watch.changed.wait_for(lock, std::chrono::milliseconds(cancel.afterMs), [&] { return watch.ended; })) {
            const std::string label = captureLabel(watch);
            lock.unlock();
            context.progress->status(label + ": no finger came, the station cancels");
            StopEnrollmentProcedure();
        }
    }
    watch.waitForEnd();
    const bool completed = watch.ended && watch.exitCode == kExitOk;
    if (completed) CompleteEnrollmentProcedure();
    // Only a failed enrolment closes the module itself.
    closeAfterProcedure(!completed && watch.previous != EVENT_CANCELED);
    return watch.ended ? watch.exitCode : kExitFailed;
}

int identifyJourney(const JourneyContext &context, int *matched)
{
    Watch watch;
    watch.context = &context;
    if (!startSession(context, watch)) return kExitFailed;
    WatchScope scope(watch);
    if (BeginVerifyProcedure(onIdentification) != 1) {
        std::fprintf(stderr, "fpmodule: the identification could not be started\n");
        DeviceDisConnection();
        return kExitFailed;
    }
    watch.waitForEnd();
    CompleteVerifyProcedure();
    closeAfterProcedure(false);
    if (matched) *matched = watch.matched;
    return watch.ended ? watch.exitCode : kExitFailed;
}

int verifyJourney(const JourneyContext &context, int finger)
{
    if (!prepareImageDir(context) || !connectModule(context.module)) return kExitFailed;
    int32_t width = 0, height = 0;
    unsigned char bytesPerPixel = 0;
    if (QuerySizeEx(&width, &height, &bytesPerPixel) != 1 || width <= 0 || height <= 0 ||
        (bytesPerPixel != 1 && bytesPerPixel != 2)) {
        std::fprintf(stderr, "fpmodule: the module did not give a usable image size\n");
        DeviceDisConnection();
        return kExitFailed;
    }
    context.progress->status("verifying finger " + std::to_string(finger) + ": put the finger on the sensor");
    const FPM_RESULT result = DoVerifyRequest(finger);
    const std::string subject = "finger " + std::to_string(finger);
    switch (result) {
    case CODE_MATCH: context.progress->line("match: the finger on the sensor is " + subject); break;
    case CODE_NO_MATCH: context.progress->line("no match: the finger on the sensor is not " + subject); break;
    case CODE_FAKE_FINGER: context.progress->line("refused: not a genuine finger"); break;
    default: context.progress->line("verification failed (result " + std::to_string(result) + ")"); break;
    }
    if (result == CODE_MATCH || result == CODE_NO_MATCH || result == CODE_FAKE_FINGER) {
        std::vector<std::uint8_t> raw(static_cast<std::size_t>(width) * height * bytesPerPixel);
        if (!context.imageDir.empty() && GetVerifyImage(raw.data()) == 1) {
            const auto image = toEightBits(std::move(raw), width, height, bytesPerPixel);
            if (!image.empty()) saveImage(context, "verify-finger" + std::to_string(finger), image.data(), width, height);
        }
    }
    DeviceDisConnection();
    return result == CODE_MATCH ? kExitOk : kExitFailed;
}

int deleteJourney(const JourneyContext &context, int finger)
{
    if (!connectModule(context.module)) return kExitFailed;
    const std::string subject = finger == kAllFingers ? "all fingers" : "finger " + std::to_string(finger);
    Watch watch;
    watch.context = &context;
    WatchScope scope(watch);
    context.progress->status("deleting " + subject);
    if (BeginDeleteEnrolledByFingerIdProcedure(finger, onResult) != 2) {
        std::fprintf(stderr, "fpmodule: the deletion could not be started\n");
        DeviceDisConnection();
        return kExitFailed;
    }
    watch.waitForEnd();
    closeAfterProcedure(false);
    context.progress->line(watch.exitCode == kExitOk ? subject + " deleted" : "the module did not delete " + subject);
    return watch.exitCode;
}

int issueJourney(const JourneyContext &context)
{
    if (!connectModule(context.module)) return kExitFailed;
    Watch watch;
    watch.context = &context;
    WatchScope scope(watch);
    context.progress->status("issuing the card");
    if (BeginIssueCardProcedure(onResult) != 2) {
        std::fprintf(stderr, "fpmodule: the card issue could not be started\n");
        DeviceDisConnection();
        return kExitFailed;
    }
    watch.waitForEnd();
    closeAfterProcedure(true);
    context.progress->line(watch.exitCode == kExitOk ? "card issued" : "the module did not issue the card");
    return watch.exitCode;
}

}  // namespace fpm::cli
