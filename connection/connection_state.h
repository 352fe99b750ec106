// The one process-wide record of the library: the open module, the sensor geometry,
// the two flags that a cancel uses, the background procedures, the baseline and
// defect pixels, and the paths of the connection and of the diagnostic log.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fpmodule.h"
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
    std::uint8_t *procedureImage = nullptr;
    std::int32_t ledRetryCount = 0;

    // Paths, each limited to kPathCapacity characters including the terminating zero.
    std::u16string exeDirectory;
    std::u16string logFolder;
    std::array<std::u16string, 10> logFileNames;
    std::u16string currentLogFile;
    std::u16string devicePath;
    std::atomic<bool> logPathsPrepared{false};

    std::int32_t imageByteCount() const { return imageWidth * imageHeight * bytesPerPixel; }
};

inline constexpr std::size_t kPathCapacity = 256;

// The single instance. It is built at load with the initial values above: nothing is
// opened, created or written until a caller asks for it.
ConnectionState &state();

}  // namespace fpm
