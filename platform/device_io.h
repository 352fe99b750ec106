// The module side of the seam to the operating system: find the host's disk
// interfaces, open and close one, and carry one pass-through request to it.
// Exactly one backend is linked into each build (Win32, Linux SG_IO, or the
// virtual module).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/pass_through_request.h"

namespace fpm::device {

using Handle = void *;

// All bits set, as Windows' INVALID_HANDLE_VALUE.
inline Handle invalidHandle() { return reinterpret_cast<Handle>(~std::uintptr_t{0}); }

// Called with the path of each present disk interface in enumeration order; returns
// false to end the enumeration there.
using InterfaceVisitor = std::function<bool(const std::u16string &path)>;

// Walks the present disk interfaces. False when the host's device list cannot be
// obtained (the visitor is then never called).
bool enumerateInterfaces(const InterfaceVisitor &visit);

// Opens a path for reading and writing; invalidHandle() on failure.
Handle open(const std::u16string &path);

// Closes a handle; false when the close failed (null, invalid or unknown handle).
bool close(Handle handle);

// The largest data phase, in bytes, that the host carries in one request on this
// handle, as found when it was opened; 0 when the host names no limit.
std::uint32_t transferLimit(Handle handle);

// Which backend this build carries: "host" (the product), "virtual module" (the build of
// the tests and the tool; "host" once the tool asked for the real devices) or "virtual
// library" (the drop-in). Named in the traffic trace and by the tool's doctor.
const char *backendName();

// Carries the request (input and output buffer: 80 bytes in 32-bit builds, 96 in 64-bit
// ones) and its data phase to the handle. True when the host reported success.
bool passThrough(Handle handle, transport::PassThroughRequest &request);

}  // namespace fpm::device
