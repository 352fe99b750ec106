// What the fpmodule tool may see of the library beyond the public header: a few reads of
// the connection for its messages, whether a background procedure still runs, and where
// the log goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fpmodule.h"

namespace fpm::tool {

// The connection's handle: null when none, FPM_INVALID_HANDLE after a failed open.
FPM_HANDLE connectedHandle();

// The interface path of the last module found by a connect.
std::u16string connectedPath();

std::size_t defectPixelCount();

// The image size of the connected geometry in bytes (0 before a size query), and the
// largest data phase the host carries on the connection's handle (0: no known limit).
std::int64_t imageByteCount();
std::uint32_t transferLimit();


// Whether a worker of a background procedure is still running (it may outlive its final
// callback by its LED wait).
bool proceduresRunning();

// The folder the diagnostic log writes to, prepared (and created) as a connect does;
// empty when it cannot be prepared.
std::u16string logFolder();

}  // namespace fpm::tool
