// Test mode, hardware checks, sensor registers and the WOE mode.
#include "connection/module_handle.h"
#include "exports/export.h"
#include "factory/register_commands.h"
#include "factory/test_commands.h"

using namespace fpm::factory;
using fpm::connection::connectedHandle;
using fpm::transport::runRow;

// ---- Test mode and hardware checks ------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL EnterTestMode(void) { return EnterTestModeWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL EnterTestModeWithHandle(FPM_HANDLE handle) { return runRow(kEnterTestMode, handle); }

// The same entry points under their second export names.
FPM_EXPORT FPM_RESULT FPM_CALL SE_Test(void) __attribute__((alias("EnterTestMode")));
FPM_EXPORT FPM_RESULT FPM_CALL SE_TestWithHandle(FPM_HANDLE handle) __attribute__((alias("EnterTestModeWithHandle")));

FPM_EXPORT FPM_RESULT FPM_CALL ExitTestMode(void) { return ExitTestModeWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL ExitTestModeWithHandle(FPM_HANDLE handle) { return runRow(kExitTestMode, handle); }

FPM_EXPORT FPM_RESULT FPM_CALL GetG55Status(void) { return GetG55StatusWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL GetG55StatusWithHandle(FPM_HANDLE handle) { return runRow(kGetG55Status, handle); }

FPM_EXPORT FPM_RESULT FPM_CALL GetICtype(uint16_t *first, uint16_t *second, unsigned char *third)
{
    return GetICtypeWithHandle(connectedHandle(), first, second, third);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetICtypeWithHandle(FPM_HANDLE handle, uint16_t *first, uint16_t *second,
                                                   unsigned char *third)
{
    return runRow(kGetIcType, handle, {}, {first, second, third});
}

FPM_EXPORT FPM_RESULT FPM_CALL SensorIOCheck(unsigned char *detail)
{
    return SensorIOCheckWithHandle(connectedHandle(), detail);
}

FPM_EXPORT FPM_RESULT FPM_CALL SensorIOCheckWithHandle(FPM_HANDLE handle, unsigned char *detail)
{
    return runRow(kSensorIoCheck, handle, {}, {detail});
}

FPM_EXPORT FPM_RESULT FPM_CALL ModuleIOCheck(unsigned char *detail)
{
    return ModuleIOCheckWithHandle(connectedHandle(), detail);
}

FPM_EXPORT FPM_RESULT FPM_CALL ModuleIOCheckWithHandle(FPM_HANDLE handle, unsigned char *detail)
{
    return runRow(kModuleIoCheck, handle, {}, {detail});
}

FPM_EXPORT FPM_RESULT FPM_CALL CheckCTModule(unsigned char *value)
{
    return runRow(kCheckCtModule, connectedHandle(), {}, {value});
}

FPM_EXPORT FPM_RESULT FPM_CALL AcfBondingIoCheck(void) { return acfBondingIoCheck(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL AcfBondingIoCheckWithHandle(FPM_HANDLE handle) { return acfBondingIoCheck(handle); }

// ---- Sensor registers -------------------------------------------------------------
// Group 0 unless the function lets the caller choose it.

FPM_EXPORT FPM_RESULT FPM_CALL ReadRegister(unsigned char address, unsigned char *value)
{
    return runRow(kReadRegister, connectedHandle(), {address}, {value});
}

FPM_EXPORT FPM_RESULT FPM_CALL ReadRegisterEx(unsigned char group, unsigned char address, unsigned char *value)
{
    return runRow(kReadRegister, connectedHandle(), {address, group}, {value});
}

FPM_EXPORT FPM_RESULT FPM_CALL ReadRegisterWithHandle(FPM_HANDLE handle, unsigned char address, unsigned char *value)
{
    return runRow(kReadRegister, handle, {address}, {value});
}

FPM_EXPORT FPM_RESULT FPM_CALL WriteRegister(unsigned char address, unsigned char value)
{
    return runRow(kWriteRegister, connectedHandle(), {address, value});
}

FPM_EXPORT FPM_RESULT FPM_CALL WriteRegisterEx(unsigned char group, unsigned char address, unsigned char value)
{
    return runRow(kWriteRegister, connectedHandle(), {address, value, group});
}

FPM_EXPORT FPM_RESULT FPM_CALL WriteRegisterWithHandle(FPM_HANDLE handle, unsigned char address, unsigned char value)
{
    return runRow(kWriteRegister, handle, {address, value});
}

FPM_EXPORT FPM_RESULT FPM_CALL WriteRegisterAsDefault(unsigned char group, unsigned char address, unsigned char value)
{
    return runRow(kWriteRegisterAsDefault, connectedHandle(), {address, value, group});
}

FPM_EXPORT FPM_RESULT FPM_CALL WriteRegisterAsDefaultWithHandle(FPM_HANDLE handle, unsigned char address,
                                                                unsigned char value)
{
    return runRow(kWriteRegisterAsDefault, handle, {address, value});
}

// ---- WOE mode ---------------------------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL EnterWOE(void) { return EnterWOEWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL EnterWOEWithHandle(FPM_HANDLE handle) { return runRow(kEnterWoe, handle); }

FPM_EXPORT FPM_RESULT FPM_CALL ExitWOE(void) { return ExitWOEWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL ExitWOEWithHandle(FPM_HANDLE handle) { return runRow(kExitWoe, handle); }

FPM_EXPORT FPM_RESULT FPM_CALL ReadWOEstatus(unsigned char *first, unsigned char *second, unsigned char *third)
{
    return ReadWOEstatusWithHandle(connectedHandle(), first, second, third);
}

FPM_EXPORT FPM_RESULT FPM_CALL ReadWOEstatusWithHandle(FPM_HANDLE handle, unsigned char *first,
                                                       unsigned char *second, unsigned char *third)
{
    return runRow(kReadWoeStatus, handle, {}, {first, second, third});
}
