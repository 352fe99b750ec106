// The module's default answers, one group of commands per file.
#pragma once

#include "sim/virtual_module.h"

namespace fpm::sim {

// Size query, initialisation, firmware version, cancel.
void installProtocolCommands(VirtualModule &module);
// LEDs, device status, boot loader, RF connection.
void installDeviceControlCommands(VirtualModule &module);
// Test mode, hardware checks, sensor registers, WOE mode.
void installFactoryCommands(VirtualModule &module);
// Image reads, image check and upload, baseline, calibration and sensing.
void installImageCommands(VirtualModule &module);
// Enrolment, verification and identification.
void installFingerCommands(VirtualModule &module);
// Card issuing; deleting enrolled fingers.
void installCardCommands(VirtualModule &module);
void installDeleteCommands(VirtualModule &module);
// Vendor code, secure handshake, flash and product-information blocks (the block's
// vendor code selects a module at connect time).
void installVendorCommands(VirtualModule &module);

// Every group, in the order the module's firmware knows them.
inline void installCommandModels(VirtualModule &module)
{
    installProtocolCommands(module);
    installDeviceControlCommands(module);
    installFactoryCommands(module);
    installImageCommands(module);
    installFingerCommands(module);
    installCardCommands(module);
    installDeleteCommands(module);
    installVendorCommands(module);
}

}  // namespace fpm::sim
