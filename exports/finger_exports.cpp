// Enrolment, verification and identification, one command at a time.
#include "connection/module_handle.h"
#include "exports/export.h"
#include "finger/enroll_commands.h"
#include "finger/identify_commands.h"
#include "finger/verify_commands.h"
#include "transport/exchange.h"

using namespace fpm::finger;
using fpm::connection::connectedHandle;

namespace {
// A finger index travels as a 32-bit argument of which the module gets the low byte.
std::uint8_t fingerByte(int32_t finger) { return static_cast<std::uint8_t>(finger); }
}  // namespace

// ---- Enrolment -----------------------------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL QueryEnrollAmount(int32_t finger, int32_t *amount)
{
    FPM_TRACED;
    return queryEnrollAmount(connectedHandle(), fingerByte(finger), amount);
}

FPM_EXPORT FPM_RESULT FPM_CALL DoEnrollRequest(int32_t finger)
{
    FPM_TRACED;
    return doEnrollRequest(connectedHandle(), fingerByte(finger));
}

FPM_EXPORT FPM_RESULT FPM_CALL CheckEnrollStatus(void) { FPM_TRACED; return checkEnrollStatus(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL GetEnrollImage(unsigned char *buffer)
{
    FPM_TRACED;
    return getEnrollImage(connectedHandle(), buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL max_enroll_per_finger(unsigned char *count)
{
    FPM_TRACED;
    return maxEnrollPerFinger(connectedHandle(), count);
}

// ---- Verification and identification --------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL DoVerifyRequest(int32_t finger)
{
    FPM_TRACED;
    return doVerifyRequest(connectedHandle(), fingerByte(finger));
}

FPM_EXPORT FPM_RESULT FPM_CALL GetVerifyImage(unsigned char *buffer)
{
    FPM_TRACED;
    return getVerifyImage(connectedHandle(), buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL DoIdentifyRequest(unsigned char *finger)
{
    FPM_TRACED;
    return doIdentifyRequest(connectedHandle(), finger);
}

FPM_EXPORT FPM_RESULT FPM_CALL DoIdentifyRequestEx(unsigned char *finger, const unsigned char *image)
{
    FPM_TRACED;
    return doIdentifyRequestEx(connectedHandle(), finger, image);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetIdentifyImage(unsigned char *buffer)
{
    FPM_TRACED;
    return getIdentifyImage(connectedHandle(), buffer);
}

FPM_EXPORT int32_t FPM_CALL IsFingerOn(void) { FPM_TRACED; return isFingerOn(connectedHandle()); }

FPM_EXPORT int32_t FPM_CALL FingerStatus(unsigned char *fingerState)
{
    FPM_TRACED;
    return fingerStatus(connectedHandle(), fingerState);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetVerifyPeriod(uint32_t *first, uint32_t *second)
{
    FPM_TRACED;
    return getVerifyPeriod(connectedHandle(), first, second);
}
