// The background enrolment and verification: each runs on a worker thread, drives the
// single enrolment or identification commands in order, and reports every step with its
// 8-bit image to the caller's callback.
#pragma once

#include <cstdint>

#include "connection/result.h"
#include "fpmodule.h"

namespace fpm::procedure {

// The library's own events; the others are the module's status codes passed on.
inline constexpr std::uint8_t kEventEnrollComplete = EVENT_ENROLL_COMPLETE;
inline constexpr std::uint8_t kEventWaitFinger = EVENT_WAIT_FINGER;
inline constexpr std::uint8_t kEventCaptureAccepted = EVENT_CAPTURE_ACCEPTED;
inline constexpr std::uint8_t kEventCanceled = EVENT_CANCELED;

// The pause before a procedure's last report, so that the module's LEDs and the user
// see the outcome before the next step.
inline constexpr std::uint32_t kFinalPauseMs = 2000;

// 1 started; 2 null callback, a procedure of the kind still running, or no thread.
ResultByte beginEnrollment(std::uint8_t fingerIndex, std::uint8_t captureCount, EnrollmentCallback callback);
ResultByte beginVerification(VerifyCallback callback);

// DoCancel and the stop functions: a running verification's callback is told first,
// then the cancel is requested and sent.
ResultByte cancel();

// Connect, switch the device on, query the size (stored through the pointers), start.
ResultByte connectAndEnroll(std::uint8_t fingerIndex, std::uint8_t captureCount, std::int32_t *width,
                            std::int32_t *height, EnrollmentCallback callback);
ResultByte connectAndVerify(std::int32_t *width, std::int32_t *height, VerifyCallback callback);

}  // namespace fpm::procedure
