// Transfers, size queries, initialisation, firmware version and cancel.
#include "connection/module_handle.h"
#include "exports/export.h"
#include "finger/procedures.h"
#include "transport/exchange.h"
#include "transport/protocol_commands.h"

using namespace fpm::transport;
using fpm::connection::connectedHandle;

FPM_EXPORT FPM_RESULT FPM_CALL SendDataTransaction(const unsigned char *block, unsigned char *buffer,
                                                   uint32_t length, uint32_t timeout)
{
    FPM_TRACED;
    return SendDataTransactionWithHandle(connectedHandle(), block, buffer, length, timeout);
}

FPM_EXPORT FPM_RESULT FPM_CALL RecvDataTransaction(const unsigned char *block, unsigned char *buffer,
                                                   uint32_t length, uint32_t timeout)
{
    FPM_TRACED;
    return RecvDataTransactionWithHandle(connectedHandle(), block, buffer, length, timeout);
}

FPM_EXPORT FPM_RESULT FPM_CALL SendDataTransactionWithHandle(FPM_HANDLE handle, const unsigned char *block,
                                                             unsigned char *buffer, uint32_t length,
                                                             uint32_t timeout)
{
    FPM_TRACED;
    if (!block || length > kMaxDataBytes || (!buffer && length)) return fpm::kFailure;
    return transfer(handle, block, Direction::ToModule, buffer, length, timeout) ? fpm::kSuccess : fpm::kFailure;
}

FPM_EXPORT FPM_RESULT FPM_CALL RecvDataTransactionWithHandle(FPM_HANDLE handle, const unsigned char *block,
                                                             unsigned char *buffer, uint32_t length,
                                                             uint32_t timeout)
{
    FPM_TRACED;
    if (!block || length > kMaxDataBytes || (!buffer && length)) return fpm::kFailure;
    return transfer(handle, block, Direction::FromModule, buffer, length, timeout) ? fpm::kSuccess : fpm::kFailure;
}

FPM_EXPORT FPM_RESULT FPM_CALL QuerySize(int32_t *width, int32_t *height)
{
    FPM_TRACED;
    return querySize(connectedHandle(), SizeQueryKind::Plain, width, height);
}

FPM_EXPORT FPM_RESULT FPM_CALL QuerySize_16(int32_t *width, int32_t *height)
{
    FPM_TRACED;
    return querySize(connectedHandle(), SizeQueryKind::Force16, width, height);
}

FPM_EXPORT FPM_RESULT FPM_CALL QuerySizeEx(int32_t *width, int32_t *height, unsigned char *bytesPerPixel)
{
    FPM_TRACED;
    if (!bytesPerPixel) return fpm::kFailure;
    return querySize(connectedHandle(), SizeQueryKind::Plain, width, height, bytesPerPixel);
}

FPM_EXPORT FPM_RESULT FPM_CALL QuerySizeWithHandle(FPM_HANDLE handle, int32_t *width, int32_t *height)
{
    FPM_TRACED;
    return querySize(handle, SizeQueryKind::WithHandle, width, height);
}

FPM_EXPORT FPM_RESULT FPM_CALL QuerySizeWithHandle_16(FPM_HANDLE handle, int32_t *width, int32_t *height)
{
    FPM_TRACED;
    return querySize(handle, SizeQueryKind::WithHandleDouble, width, height);
}

FPM_EXPORT FPM_RESULT FPM_CALL InititalDevice(void) { FPM_TRACED; return initializeDevice(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL GetFirmwareVersion(int32_t offset, int32_t length, unsigned char *buffer)
{
    FPM_TRACED;
    return getFirmwareVersion(connectedHandle(), offset, length, buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetFirmwareVersionWithHandle(FPM_HANDLE handle, int32_t offset, int32_t length,
                                                            unsigned char *buffer)
{
    FPM_TRACED;
    return getFirmwareVersion(handle, offset, length, buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL DoCancel(void) { FPM_TRACED; return fpm::procedure::cancel(); }

// The stop functions of the background procedures are the cancel under further names.
FPM_EXPORT FPM_RESULT FPM_CALL StopEnrollmentProcedure(void) __attribute__((alias("DoCancel")));
FPM_EXPORT FPM_RESULT FPM_CALL StopVerifyProcedure(void) __attribute__((alias("DoCancel")));
FPM_EXPORT FPM_RESULT FPM_CALL SmartCard_StopEnroll(void) __attribute__((alias("DoCancel")));
FPM_EXPORT FPM_RESULT FPM_CALL SmartCard_StopVerify(void) __attribute__((alias("DoCancel")));
