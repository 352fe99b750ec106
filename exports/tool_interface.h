// What the fpmodule tool may see of the library beyond the public header: a few reads of
// the connection for its messages, whether a background procedure still runs, and where
// the log goes.
#pragma once

#include <cstddef>
#include <string>

#include "fpmodule.h"

namespace fpm::tool {

// The connection's handle: null when none, FPM_INVALID_HANDLE after a failed open.
FPM_HANDLE connectedHandle();

// The interface path of the last module found by a connect.
std::u16string connectedPath();

std::size_t defectPixelCount();

// Whether a worker of a background procedure is still running (it may outlive its final
// callback by its LED wait).
bool proceduresRunning();

// The folder the diagnostic log writes to, prepared (and created) as a connect does;
// empty when it cannot be prepared.
std::u16string logFolder();

}  // namespace fpm::tool
