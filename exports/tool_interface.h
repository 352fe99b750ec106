// What the fpmodule tool may see of the library beyond the public header: a few reads of
// the connection for its messages, and a way to make a virtual module the connection.
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

// Makes `handle` the connection of the plain functions, closing the one held before.
void useHandle(FPM_HANDLE handle);

}  // namespace fpm::tool
