// Deleting enrolled fingers, and the background enrolment, verification and deletion.
#include "connection/connection_state.h"
#include "connection/led_wait.h"
#include "connection/module_handle.h"
#include "exports/export.h"
#include "finger/delete_fingers.h"
#include "finger/procedure_image.h"
#include "finger/procedures.h"
#include "worker/procedure_worker.h"

using namespace fpm::finger;
using fpm::connection::connectedHandle;
using fpm::transport::runRow;

// ---- Deletion -----------------------------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL DoDeleteFingerRequest(int32_t fingerIndex)
{
    FPM_TRACED;
    return deleteFinger(static_cast<uint32_t>(fingerIndex));
}

FPM_EXPORT FPM_RESULT FPM_CALL SmartCard_delete_finger(int32_t fingerIndex)
{
    FPM_TRACED;
    if (deleteFingers(static_cast<uint8_t>(fingerIndex)) != fpm::kSuccess) return fpm::kFailure;
    fpm::connection::runLedWait();
    return fpm::kSuccess;
}

FPM_EXPORT FPM_RESULT FPM_CALL BeginDeleteEnrolledFingerProcedure(ResultCallback callback)
{
    FPM_TRACED;
    return beginDeleteProcedure(kAllFingers, callback);
}

FPM_EXPORT FPM_RESULT FPM_CALL BeginDeleteEnrolledByFingerIdProcedure(int32_t fingerIndex, ResultCallback callback)
{
    FPM_TRACED;
    return beginDeleteProcedure(static_cast<uint8_t>(fingerIndex), callback);
}

// ---- Background enrolment and verification ------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL BeginEnrollmentProcedure(int32_t fingerIndex, int32_t captureCount,
                                                        EnrollmentCallback callback)
{
    FPM_TRACED;
    return fpm::procedure::beginEnrollment(static_cast<uint8_t>(fingerIndex), static_cast<uint8_t>(captureCount),
                                           callback);
}

FPM_EXPORT FPM_RESULT FPM_CALL SmartCard_Enrollment(int32_t fingerIndex, int32_t captureCount, int32_t *width,
                                                    int32_t *height, EnrollmentCallback callback)
{
    FPM_TRACED;
    return fpm::procedure::connectAndEnroll(static_cast<uint8_t>(fingerIndex), static_cast<uint8_t>(captureCount),
                                            width, height, callback);
}

FPM_EXPORT FPM_RESULT FPM_CALL BeginVerifyProcedure(VerifyCallback callback)
{
    FPM_TRACED;
    return fpm::procedure::beginVerification(callback);
}

FPM_EXPORT FPM_RESULT FPM_CALL SmartCard_Verify(int32_t *width, int32_t *height, VerifyCallback callback)
{
    FPM_TRACED;
    return fpm::procedure::connectAndVerify(width, height, callback);
}

FPM_EXPORT FPM_RESULT FPM_CALL CompleteEnrollmentProcedure(void)
{
    FPM_TRACED;
    fpm::procedure::releaseHandedImages();
    fpm::procedure::Run::clearGuardAfterFinalEvent(fpm::state().enrollWorker);
    return fpm::kSuccess;
}

// The same entry point under its second export name.
FPM_EXPORT FPM_RESULT FPM_CALL CompleteVerifyProcedure(void) __attribute__((alias("CompleteEnrollmentProcedure")));
