#include "sim/virtual_host.h"

#include <algorithm>
#include <cstring>

#include "platform/no_destroy.h"
#include "platform/system.h"
#include "platform/pass_through_request.h"

namespace fpm::sim {

VirtualHost &VirtualHost::instance()
{
    // Never destroyed, like the library's own state: workers may outlive main.
    static NoDestroy<VirtualHost> host;
    return *host;
}

void VirtualHost::reset()
{
    std::lock_guard lock(mutex_);
    disks_.clear();
    open_.clear();
    requests_.clear();
    listUnavailable_ = false;
    transferLimit_.store(0);
}

VirtualModule &VirtualHost::addModule(const std::u16string &path)
{
    std::lock_guard lock(mutex_);
    disks_.push_back({path, std::make_unique<VirtualModule>()});
    return *disks_.back().module;
}

void VirtualHost::addDecoy(const std::u16string &path)
{
    std::lock_guard lock(mutex_);
    disks_.push_back({path, nullptr});
}

VirtualModule *VirtualHost::module(const std::u16string &path)
{
    std::lock_guard lock(mutex_);
    for (auto &disk : disks_) {
        if (disk.path == path && disk.module) return disk.module.get();
    }
    return nullptr;
}

void VirtualHost::setDeviceListUnavailable(bool unavailable)
{
    std::lock_guard lock(mutex_);
    listUnavailable_ = unavailable;
}

void VirtualHost::refuseOpen(const std::u16string &path, bool refuse)
{
    std::lock_guard lock(mutex_);
    for (auto &disk : disks_) {
        if (disk.path == path) disk.refuseOpen = refuse;
    }
}

device::Handle VirtualHost::open(const std::u16string &path) { return openPath(path); }

std::vector<ReceivedRequest> VirtualHost::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<ReceivedRequest> VirtualHost::requestsWithCode(std::uint8_t code) const
{
    std::lock_guard lock(mutex_);
    std::vector<ReceivedRequest> out;
    std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(out),
                 [code](const ReceivedRequest &r) { return r.code() == code; });
    return out;
}

void VirtualHost::clearRequests()
{
    std::lock_guard lock(mutex_);
    requests_.clear();
}

std::size_t VirtualHost::openHandleCount() const
{
    std::lock_guard lock(mutex_);
    return open_.size();
}

std::optional<std::vector<std::u16string>> VirtualHost::listPaths() const
{
    std::lock_guard lock(mutex_);
    if (listUnavailable_) return std::nullopt;
    std::vector<std::u16string> paths;
    for (const auto &disk : disks_) paths.push_back(disk.path);
    return paths;
}

device::Handle VirtualHost::openPath(const std::u16string &path)
{
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < disks_.size(); ++i) {
        if (disks_[i].path != path) continue;
        if (disks_[i].refuseOpen) return device::invalidHandle();
        auto handle = reinterpret_cast<device::Handle>(nextHandle_);
        nextHandle_ += 0x10;
        open_.push_back({handle, i});
        return handle;
    }
    return device::invalidHandle();
}

bool VirtualHost::closeHandle(device::Handle handle)
{
    std::lock_guard lock(mutex_);
    auto it = std::find_if(open_.begin(), open_.end(), [&](const OpenHandle &h) { return h.handle == handle; });
    if (it == open_.end()) return false;
    open_.erase(it);
    return true;
}

bool VirtualHost::passThrough(device::Handle handle, void *requestRecord)
{
    auto &request = *static_cast<transport::PassThroughRequest *>(requestRecord);
    const auto &sptd = request.sptd;
    const std::uint32_t limit = transferLimit_.load();
    if (limit != 0 && sptd.DataTransferLength > limit) return false;
    ReceivedRequest received;
    received.timeMs = sys::nowMs();
    received.handle = handle;
    received.record = transport::wireBytes(request);
    std::memcpy(received.block.data(), sptd.Cdb, 16);
    received.dataIn = sptd.DataIn;
    received.length = sptd.DataTransferLength;
    received.timeoutSeconds = sptd.TimeOutValue;
    received.bufferAddress = reinterpret_cast<std::uintptr_t>(sptd.DataBuffer);
    auto *buffer = static_cast<std::uint8_t *>(sptd.DataBuffer);
    if (sptd.DataIn == transport::kDataOut && buffer) received.dataOut.assign(buffer, buffer + sptd.DataTransferLength);

    VirtualModule::Answer answer{false, {}, 0};
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(open_.begin(), open_.end(), [&](const OpenHandle &h) { return h.handle == handle; });
        if (it != open_.end()) received.path = disks_[it->disk].path;
        requests_.push_back(received);
        if (it == open_.end() || !disks_[it->disk].module) return false;
        answer = disks_[it->disk].module->respond(received);
    }
    // A slow transfer holds only the caller's thread, not the whole host.
    if (answer.delayMs) sys::sleepUntil(sys::nowMs() + answer.delayMs);
    if (!answer.transferOk) return false;
    if (sptd.DataIn == transport::kDataIn) {
        // The length written back is what reached the buffer, as a host driver reports it.
        const auto delivered = buffer ? std::min<std::size_t>(answer.data.size(), sptd.DataTransferLength) : 0;
        if (delivered) std::memcpy(buffer, answer.data.data(), delivered);
        request.sptd.DataTransferLength = static_cast<std::uint32_t>(delivered);
    }
    return true;
}

}  // namespace fpm::sim
