// Test mode, hardware checks, sensor registers and the WOE mode.
#include "connection/module_handle.h"
#include "exports/export.h"
#include "factory/register_commands.h"
#include "factory/test_commands.h"

using namespace fpm::factory;
using fpm::connection::connectedHandle;
using fpm::transport::runRow;

// ---- Test mode and hardware checks ------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL EnterTestMode(void) { FPM_TRACED; return EnterTestModeWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL EnterTestModeWithHandle(FPM_HANDLE handle) { FPM_TRACED; return runRow(kEnterTestMode, handle); }

// The same entry points under their second export names.
FPM_EXPORT FPM_RESULT FPM_CALL SE_Test(void) __attribute__((alias("EnterTestMode")));
FPM_EXPORT FPM_RESULT FPM_CALL SE_TestWithHandle(FPM_HANDLE handle) __attribute__((alias("EnterTestModeWithHandle")));

FPM_EXPORT FPM_RESULT FPM_CALL ExitTestMode(void) { FPM_TRACED; return ExitTestModeWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL ExitTestModeWithHandle(FPM_HANDLE handle) { FPM_TRACED; return runRow(kExitTestMode, handle); }

FPM_EXPORT FPM_RESULT FPM_CALL GetG55Status(void) { FPM_TRACED; return GetG55StatusWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL GetG55StatusWithHandle(FPM_HANDLE handle) { FPM_TRACED; return runRow(kGetG55Status, handle); }

FPM_EXPORT FPM_RESULT FPM_CALL GetICtype(uint16_t *first, uint16_t *second, unsigned char *third)
{
    FPM_TRACED;
    return GetICtypeWithHandle(connectedHandle(), first, second, third);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetICtypeWithHandle(FPM_HANDLE handle, uint16_t *first, uint16_t *second,
                                                   unsigned char *third)
{
    FPM_TRACED;
    return runRow(kGetIcType, handle, {}, {first, second, third});
}

FPM_EXPORT FPM_RESULT FPM_CALL SensorIOCheck(unsigned char *detail)
{
    FPM_TRACED;
    return SensorIOCheckWithHandle(connectedHandle(), detail);
}

FPM_EXPORT FPM_RESULT FPM_CALL SensorIOCheckWithHandle(FPM_HANDLE handle, unsigned char *detail)
{
    FPM_TRACED;
    return runRow(kSensorIoCheck, handle, {}, {detail});
}

FPM_EXPORT FPM_RESULT FPM_CALL ModuleIOCheck(unsigned char *detail)
{
    FPM_TRACED;
    return ModuleIOCheckWithHandle(connectedHandle(), detail);
}

FPM_EXPORT FPM_RESULT FPM_CALL ModuleIOCheckWithHandle(FPM_HANDLE handle, unsigned char *detail)
{
    FPM_TRACED;
    return runRow(kModuleIoCheck, handle, {}, {detail});
}

FPM_EXPORT FPM_RESULT FPM_CALL CheckCTModule(unsigned char *value)
{
    FPM_TRACED;
    return runRow(kCheckCtModule, connectedHandle(), {}, {value});
}

FPM_EXPORT FPM_RESULT FPM_CALL AcfBondingIoCheck(void) { FPM_TRACED; return acfBondingIoCheck(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL AcfBondingIoCheckWithHandle(FPM_HANDLE handle) { FPM_TRACED; return acfBondingIoCheck(handle); }

// ---- Sensor registers -------------------------------------------------------------
// Group 0 unless the function lets the caller choose it.

FPM_EXPORT FPM_RESULT FPM_CALL ReadRegister(unsigned char address, unsigned char *value)
{
    FPM_TRACED;
    return runRow(kReadRegister, connectedHandle(), {address}, {value});
}

FPM_EXPORT FPM_RESULT FPM_CALL ReadRegisterEx(unsigned char group, unsigned char address, unsigned char *value)
{
    FPM_TRACED;
    return runRow(kReadRegister, connectedHandle(), {address, group}, {value});
}

FPM_EXPORT FPM_RESULT FPM_CALL ReadRegisterWithHandle(FPM_HANDLE handle, unsigned char address, unsigned char *value)
{
    FPM_TRACED;
    return runRow(kReadRegister, handle, {address}, {value});
}

FPM_EXPORT FPM_RESULT FPM_CALL WriteRegister(unsigned char address, unsigned char value)
{
    FPM_TRACED;
    return runRow(kWriteRegister, connectedHandle(), {address, value});
}

FPM_EXPORT FPM_RESULT FPM_CALL WriteRegisterEx(unsigned char group, unsigned char address, unsigned char value)
{
    FPM_TRACED;
    return runRow(kWriteRegister, connectedHandle(), {address, value, group});
}

FPM_EXPORT FPM_RESULT FPM_CALL WriteRegisterWithHandle(FPM_HANDLE handle, unsigned char address, unsigned char value)
{
    FPM_TRACED;
    return runRow(kWriteRegister, handle, {address, value});
}

FPM_EXPORT FPM_RESULT FPM_CALL WriteRegisterAsDefault(unsigned char group, unsigned char address, unsigned char value)
{
    FPM_TRACED;
    return runRow(kWriteRegisterAsDefault, connectedHandle(), {address, value, group});
}

FPM_EXPORT FPM_RESULT FPM_CALL WriteRegisterAsDefaultWithHandle(FPM_HANDLE handle, unsigned char address,
                                                                unsigned char value)
{
    FPM_TRACED;
    return runRow(kWriteRegisterAsDefault, handle, {address, value});
}

// ---- WOE mode ---------------------------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL EnterWOE(void) { FPM_TRACED; return EnterWOEWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL EnterWOEWithHandle(FPM_HANDLE handle) { FPM_TRACED; return runRow(kEnterWoe, handle); }

FPM_EXPORT FPM_RESULT FPM_CALL ExitWOE(void) { FPM_TRACED; return ExitWOEWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL ExitWOEWithHandle(FPM_HANDLE handle) { FPM_TRACED; return runRow(kExitWoe, handle); }

FPM_EXPORT FPM_RESULT FPM_CALL ReadWOEstatus(unsigned char *first, unsigned char *second, unsigned char *third)
{
    FPM_TRACED;
    return ReadWOEstatusWithHandle(connectedHandle(), first, second, third);
}

FPM_EXPORT FPM_RESULT FPM_CALL ReadWOEstatusWithHandle(FPM_HANDLE handle, unsigned char *first,
                                                       unsigned char *second, unsigned char *third)
{
    FPM_TRACED;
    return runRow(kReadWoeStatus, handle, {}, {first, second, third});
}
