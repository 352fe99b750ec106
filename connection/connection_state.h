// The one process-wide record of the library: the open module, the sensor geometry,
// the two flags that a cancel uses, the background procedures, the baseline and
// defect pixels, and the connected interface's path. The log keeps its own paths.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
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

// The image geometry of the caller's last size query: what callers size their buffers
// from, and so what every image read uses.
struct Geometry {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bytesPerPixel = 1;
    // How the query that set it stored the module's answer: sides doubled (the
    // WithHandle_16 twin), and whether the depth came from the answer (the plain queries).
    std::int32_t sideScale = 1;
    bool depthFromModule = true;

    // width x height x bytes per pixel; 0 when no size query has set it.
    std::int64_t bytes() const
    {
        if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return 0;
        return static_cast<std::int64_t>(width) * height * bytesPerPixel;
    }
    // The geometry the same kind of query would store from this answer of the module.
    Geometry fromAnswer(std::int32_t answerWidth, std::int32_t answerHeight, std::int32_t answerDepth) const
    {
        Geometry g = *this;
        g.width = answerWidth * sideScale;
        g.height = answerHeight * sideScale;
        if (depthFromModule) g.bytesPerPixel = answerDepth;
        return g;
    }
    bool sameImage(const Geometry &o) const
    {
        return width == o.width && height == o.height && bytesPerPixel == o.bytesPerPixel;
    }
};

// What the background procedures were started with, one part per procedure. A start
// function stores its part only once it holds its procedure's guard (the store functions
// are the only writers); its worker takes a copy when it starts, so a later start cannot
// change a running procedure.
struct EnrollParameters {
    EnrollmentCallback callback = nullptr;
    std::uint8_t finger = 0;
    std::uint8_t captureCount = 0;
};

struct DeleteParameters {
    ResultCallback callback = nullptr;
    std::uint8_t finger = 0;
};

class ProcedureParameters {
public:
    void storeEnroll(const EnrollParameters &p) { enroll_ = p; }
    EnrollParameters enroll() const { return enroll_; }

    void storeDelete(const DeleteParameters &p) { delete_ = p; }
    DeleteParameters deletion() const { return delete_; }

    void storeIssueCard(ResultCallback callback) { issueCard_ = callback; }
    ResultCallback issueCard() const { return issueCard_; }

    // The verification's callback is also read by a cancel from any thread while the
    // procedure runs, so it is atomic; its run clears it only while it still holds its own
    // (a newer verification may have stored the same function).
    void storeVerify(VerifyCallback callback) { verify_.store(callback); }
    VerifyCallback verify() const { return verify_.load(); }
    void forgetVerify(VerifyCallback own) { verify_.compare_exchange_strong(own, nullptr); }

private:
    EnrollParameters enroll_;
    DeleteParameters delete_;
    ResultCallback issueCard_ = nullptr;
    std::atomic<VerifyCallback> verify_{nullptr};
};

// The connected interface's path. Two threads may connect at once (callers are asked to
// serialise commands, but a second connect must not corrupt memory): the string is only
// copied in or out under its lock.
class DevicePath {
public:
    void store(std::u16string path)
    {
        std::lock_guard lock(mutex_);
        path_ = std::move(path);
    }
    std::u16string load() const
    {
        std::lock_guard lock(mutex_);
        return path_;
    }

private:
    mutable std::mutex mutex_;
    std::u16string path_;
};

struct ConnectionState {
    // Device and geometry. The handle is read by worker threads (the LED wait) while a
    // caller may close it, so it is atomic. The geometry fields are written only through
    // setGeometry and read by the library only through geometry() (both under one lock),
    // since workers and callers query and read at the same time.
    std::atomic<device::Handle> deviceHandle{nullptr};
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    std::int32_t bytesPerPixel = 1;
    // The baseline and its defect list: a connect rebuilds them on the caller's thread
    // while a worker may be repairing a capture with them, so the library writes them only
    // through setDefectMap and reads them only through defectPixelsFor (one lock).
    std::vector<std::uint8_t> baseImage;
    std::int32_t baseWidth = 0;   // the geometry baseImage and defectPixels were made for
    std::int32_t baseHeight = 0;
    std::vector<DefectPixel> defectPixels;
    // Switched on the caller's thread while a worker's repair reads it.
    std::atomic<std::uint8_t> defectRepairEnabled{1};
    // The 16-bit conversion's working size, (width << 16) | height, fixed by its first
    // usable call; 0 until then. Atomic: workers and callers may convert at once.
    std::atomic<std::uint32_t> conversionWorkingSize{0};

    // Command coordination: the only fields one thread writes while another waits;
    // written only through transport/cancel_flags.h.
    std::atomic<std::uint8_t> cancelRequested{0};
    std::atomic<std::uint8_t> commandInProgress{0};

    // Background procedures: a worker's handle is the guard of its procedure.
    std::atomic<void *> enrollWorker{nullptr};
    std::atomic<void *> verifyWorker{nullptr};
    std::atomic<void *> deleteWorker{nullptr};
    std::atomic<void *> issueCardWorker{nullptr};
    ProcedureParameters procedures;
    std::atomic<std::uint8_t *> procedureImage{nullptr};  // the last image handed to the caller

    // The connected interface's path, at most kPathCapacity characters with its zero.
    DevicePath devicePath;

    Geometry geometry() const;
    void setGeometry(const Geometry &g);

    void setDefectMap(std::vector<std::uint8_t> baseline, std::int32_t width, std::int32_t height,
                      std::vector<DefectPixel> pixels);
    // A copy of the defect list for an image of this geometry; none when there is no
    // baseline or it was made for another geometry.
    std::optional<std::vector<DefectPixel>> defectPixelsFor(std::int32_t width, std::int32_t height,
                                                            std::int32_t depth) const;
    std::size_t defectPixelCount() const;
};

using log::kPathCapacity;

// The single instance. It is built at load with the initial values above: nothing is
// opened, created or written until a caller asks for it.
ConnectionState &state();

}  // namespace fpm
