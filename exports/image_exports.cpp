// Image reads, the image check and upload, the defect-repair switch, and the baseline,
// calibration and sensing commands.
#include "connection/connection_state.h"
#include "connection/module_handle.h"
#include "exports/export.h"
#include "image/image_read_commands.h"
#include "image/image_upload.h"
#include "image/sensor_commands.h"
#include "image/two_phase_read.h"
#include "transport/exchange.h"

using namespace fpm::image;
using fpm::connection::connectedHandle;
using fpm::transport::runRow;

// ---- Image reads ---------------------------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL GetRawImage(unsigned char *buffer) { FPM_TRACED; return GetRawImageWithHandle(connectedHandle(), buffer); }

FPM_EXPORT FPM_RESULT FPM_CALL GetRawImageWithHandle(FPM_HANDLE handle, unsigned char *buffer)
{
    FPM_TRACED;
    return readPlain(kRawImage, handle, buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetCurrentImage(unsigned char *buffer)
{
    FPM_TRACED;
    return GetCurrentImageWithHandle(connectedHandle(), buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetCurrentImageWithHandle(FPM_HANDLE handle, unsigned char *buffer)
{
    FPM_TRACED;
    return readPlain(kCurrentImage, handle, buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL DumpFlashImage(unsigned char *buffer)
{
    FPM_TRACED;
    return DumpFlashImageWithHandle(connectedHandle(), buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL DumpFlashImageWithHandle(FPM_HANDLE handle, unsigned char *buffer)
{
    FPM_TRACED;
    return readPlain(kFlashImage, handle, buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetBufferImage(int32_t sizeA, int32_t sizeB, unsigned char *buffer)
{
    FPM_TRACED;
    return getBufferImage(connectedHandle(), sizeA, sizeB, buffer);
}

FPM_EXPORT int32_t FPM_CALL SimpleGetImage(unsigned char *buffer, int32_t *length)
{
    FPM_TRACED;
    return SimpleGetImageWithHandle(connectedHandle(), buffer, length);
}

FPM_EXPORT int32_t FPM_CALL SimpleGetImageWithHandle(FPM_HANDLE handle, unsigned char *buffer, int32_t *length)
{
    FPM_TRACED;
    return simpleGetImage(handle, buffer, length);
}

FPM_EXPORT int32_t FPM_CALL SimpleGetFingerprint(unsigned char *buffer)
{
    FPM_TRACED;
    return simpleGetFingerprint(connectedHandle(), buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL CheckImage(unsigned char *value) { FPM_TRACED; return checkImage(connectedHandle(), value); }

FPM_EXPORT FPM_RESULT FPM_CALL SimpleSentImage(const unsigned char *image)
{
    FPM_TRACED;
    const std::int64_t bytes = currentImageBytes();
    return uploadImage(connectedHandle(), image, static_cast<std::uint32_t>(bytes));
}

// Kept for callers that link against it; it has never sent anything.
FPM_EXPORT FPM_RESULT FPM_CALL SimpleSentImageWithHandle(FPM_HANDLE, const unsigned char *) { FPM_TRACED; return 0; }

// ---- Baseline, calibration, sensing --------------------------------------------------

FPM_EXPORT void FPM_CALL sew_patch_enable(unsigned char enable)
{
    FPM_TRACED;
    fpm::state().defectRepairEnabled.store(enable);
}

FPM_EXPORT FPM_RESULT FPM_CALL OutputBaseImage(unsigned char *buffer)
{
    FPM_TRACED;
    return OutputBaseImageWithHandle(connectedHandle(), buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL OutputBaseImageWithHandle(FPM_HANDLE handle, unsigned char *buffer)
{
    FPM_TRACED;
    return readPlain(kBaseImage, handle, buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL OutputCalibrationImage(unsigned char *buffer, unsigned char index)
{
    FPM_TRACED;
    return OutputCalibrationImageWithHandle(connectedHandle(), buffer, index);
}

FPM_EXPORT FPM_RESULT FPM_CALL OutputCalibrationImageWithHandle(FPM_HANDLE handle, unsigned char *buffer,
                                                                unsigned char index)
{
    FPM_TRACED;
    return outputCalibrationImage(handle, buffer, index);
}

FPM_EXPORT FPM_RESULT FPM_CALL EnterSensingMode(void) { FPM_TRACED; return EnterSensingModeWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL EnterSensingModeWithHandle(FPM_HANDLE handle)
{
    FPM_TRACED;
    return runRow(kEnterSensingMode, handle);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetCurrentData(unsigned char *record)
{
    FPM_TRACED;
    return GetCurrentDataWithHandle(connectedHandle(), record);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetCurrentDataWithHandle(FPM_HANDLE handle, unsigned char *record)
{
    FPM_TRACED;
    return runRow(kGetCurrentData, handle, {}, {record});
}

FPM_EXPORT FPM_RESULT FPM_CALL DoCalibration(uint16_t a, uint16_t b, uint16_t c, uint16_t *value1, uint16_t *value2,
                                             unsigned char *status6Value)
{
    FPM_TRACED;
    return DoCalibrationWithHandle(connectedHandle(), a, b, c, value1, value2, status6Value);
}

FPM_EXPORT FPM_RESULT FPM_CALL DoCalibrationWithHandle(FPM_HANDLE handle, uint16_t a, uint16_t b, uint16_t c,
                                                       uint16_t *value1, uint16_t *value2,
                                                       unsigned char *status6Value)
{
    FPM_TRACED;
    // The third parameter goes out only to a caller that takes both values back.
    if (!value1 || !value2) c = 0;
    auto hi = [](uint16_t v) -> std::uint32_t { return v >> 8; };
    return runRow(kDoCalibration, handle, {a, hi(a), b, hi(b), c, hi(c)}, {value1, value2, status6Value});
}

FPM_EXPORT FPM_RESULT FPM_CALL OutputDAC(unsigned char *dac) { FPM_TRACED; return OutputDACWithHandle(connectedHandle(), dac); }

FPM_EXPORT FPM_RESULT FPM_CALL OutputDACWithHandle(FPM_HANDLE handle, unsigned char *dac)
{
    FPM_TRACED;
    return runRow(kOutputDac, handle, {}, {dac});
}

FPM_EXPORT FPM_RESULT FPM_CALL UpdateBaseImage(void) { FPM_TRACED; return runRow(kUpdateBaseImage, connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL GetVCB(unsigned char *vcb) { FPM_TRACED; return runRow(kGetVcb, connectedHandle(), {}, {vcb}); }

FPM_EXPORT FPM_RESULT FPM_CALL SetVCB(int32_t value)
{
    FPM_TRACED;
    return runRow(kSetVcb, connectedHandle(), {static_cast<std::uint32_t>(value)});
}

FPM_EXPORT FPM_RESULT FPM_CALL smartcard_auto_test(unsigned char *result)
{
    FPM_TRACED;
    return runRow(kAutoTest, connectedHandle(), {}, {result});
}
