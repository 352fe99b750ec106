// The one process-wide record of the library: the open module, the sensor geometry,
// the two flags that a cancel uses, the background procedures, the baseline and
// defect pixels, and the connected interface's path. The log keeps its own paths.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fpmodule.h"
#include "log/diagnostic_log.h"
#include "platform/device_io.h"

namespace fpm {

struct DefectPixel {
    std::int32_t row;
    std::int32_t column;
};

struct ConnectionState {
    // Device and geometry. The handle is read by worker threads (the LED wait) while a
    // caller may close it, so it is atomic; the geometry is not shared that way.
    std::atomic<device::Handle> deviceHandle{nullptr};
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    std::int32_t bytesPerPixel = 1;
    std::vector<std::uint8_t> baseImage;
    std::int32_t baseWidth = 0;   // the geometry baseImage and defectPixels were made for
    std::int32_t baseHeight = 0;
    std::vector<DefectPixel> defectPixels;
    std::uint8_t defectRepairEnabled = 1;
    // The 16-bit conversion's working size, (width << 16) | height, fixed by its first
    // usable call; 0 until then. Atomic: workers and callers may convert at once.
    std::atomic<std::uint32_t> conversionWorkingSize{0};

    // Command coordination: the only fields one thread writes while another waits.
    std::atomic<std::uint8_t> cancelRequested{0};
    std::atomic<std::uint8_t> commandInProgress{0};

    // Background procedures: a worker's handle is the guard of its procedure.
    std::atomic<void *> enrollWorker{nullptr};
    std::atomic<void *> verifyWorker{nullptr};
    std::atomic<void *> deleteWorker{nullptr};
    std::atomic<void *> issueCardWorker{nullptr};
    EnrollmentCallback enrollCallback = nullptr;
    std::uint8_t enrollFinger = 0;
    std::uint8_t enrollCount = 0;
    std::atomic<VerifyCallback> verifyCallback{nullptr};
    ResultCallback deleteCallback = nullptr;
    std::uint8_t deleteFinger = 0;
    ResultCallback issueCardCallback = nullptr;
    std::atomic<std::uint8_t *> procedureImage{nullptr};  // the last image handed to the caller
    std::int32_t ledRetryCount = 0;

    // The connected interface's path, at most kPathCapacity characters with its zero.
    std::u16string devicePath;

    std::int32_t imageByteCount() const { return imageWidth * imageHeight * bytesPerPixel; }
};

using log::kPathCapacity;

// The single instance. It is built at load with the initial values above: nothing is
// opened, created or written until a caller asks for it.
ConnectionState &state();

}  // namespace fpm
