// The host's disks as the library sees them through the virtual device backend: any
// number of virtual modules among decoy disks, opens that can be refused, and the record
// of every request that reached a disk.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/virtual_module.h"

namespace fpm::sim {

inline const std::u16string kModulePath =
    u"\\\\?\\usbstor#cdrom&ven_wexa&prod_finger_module&rev_1.00#7&2a8f1c3e&0&000001#"
    u"{53f56308-b6bf-11d0-94f2-00a0c91efb8b}";
inline const std::u16string kDecoyPath =
    u"\\\\?\\usbstor#cdrom&ven_generic&prod_usb_cd-rom&rev_1.00#7&19ab22c1&0&000000#"
    u"{53f56308-b6bf-11d0-94f2-00a0c91efb8b}";

class VirtualHost {
public:
    static VirtualHost &instance();

    // Removes every disk, open handle, recorded request and failure setting.
    void reset();

    // Adds a module disk (in enumeration order) and returns its firmware model.
    VirtualModule &addModule(const std::u16string &path = kModulePath);
    // Adds a disk that is not a module; requests to it fail.
    void addDecoy(const std::u16string &path = kDecoyPath);
    VirtualModule *module(const std::u16string &path = kModulePath);

    void setDeviceListUnavailable(bool unavailable);
    // From now on the library reaches the host's real devices instead of these disks
    // (the tool's --real); reset() does not change it.
    void useHostDevices(bool use) { hostDevices_.store(use); }
    bool usesHostDevices() const { return hostDevices_.load(); }
    void refuseOpen(const std::u16string &path, bool refuse = true);
    // The largest data phase the host carries (0: no limit); a longer request fails
    // before any disk sees it, as a USB 2.0 mass-storage host does.
    void setTransferLimit(std::uint32_t bytes) { transferLimit_.store(bytes); }
    std::uint32_t transferLimit() const { return transferLimit_.load(); }

    // Opens a disk as the library would (for the demo and the handle tests).
    device::Handle open(const std::u16string &path);

    std::vector<ReceivedRequest> requests() const;
    std::vector<ReceivedRequest> requestsWithCode(std::uint8_t code) const;
    void clearRequests();
    std::size_t openHandleCount() const;

    // The device backend's side.
    std::optional<std::vector<std::u16string>> listPaths() const;
    device::Handle openPath(const std::u16string &path);
    bool closeHandle(device::Handle handle);
    bool passThrough(device::Handle handle, void *requestRecord);

private:
    struct Disk {
        std::u16string path;
        std::unique_ptr<VirtualModule> module;  // null for a decoy
        bool refuseOpen = false;
    };
    struct OpenHandle {
        device::Handle handle;
        std::size_t disk;
    };

    mutable std::mutex mutex_;
    std::vector<Disk> disks_;
    std::vector<OpenHandle> open_;
    std::vector<ReceivedRequest> requests_;
    bool listUnavailable_ = false;
    std::atomic<bool> hostDevices_{false};
    std::atomic<std::uint32_t> transferLimit_{0};
    // Above 4 GiB where handles are 64 bits wide: a handle cut to 32 bits anywhere on its
    // way reaches no module.
    std::uintptr_t nextHandle_ = sizeof(void *) == 8 ? static_cast<std::uintptr_t>(0x1'0000'1000ull) : 0x1000;
};

}  // namespace fpm::sim
