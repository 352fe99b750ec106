// LEDs, device status, boot-loader switch and RF connection.
#include "card/device_control.h"
#include "connection/module_handle.h"
#include "exports/export.h"

using namespace fpm::card;
using fpm::connection::connectedHandle;
using fpm::transport::runRow;

FPM_EXPORT FPM_RESULT FPM_CALL ChangeLEDsStatus(int32_t ledState)
{
    FPM_TRACED;
    return setLeds(connectedHandle(), ledState);
}

FPM_EXPORT FPM_RESULT FPM_CALL ChangeLEDsStatusWithHandle(FPM_HANDLE handle, int32_t ledState)
{
    FPM_TRACED;
    return setLeds(handle, ledState);
}

FPM_EXPORT FPM_RESULT FPM_CALL ChangeDevStatus(int32_t deviceStatus)
{
    FPM_TRACED;
    return setDeviceStatus(deviceStatus);
}

FPM_EXPORT FPM_RESULT FPM_CALL SwitchToBoot(void) { FPM_TRACED; return runRow(kSwitchToBoot, connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL RfConnection(void) { FPM_TRACED; return RfConnectionWithHandle(connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL RfConnectionWithHandle(FPM_HANDLE handle) { FPM_TRACED; return runRow(kRfConnection, handle); }
