// The shipped libfpmodule.so end to end against the fake SCSI generic layer: what the
// kernel would be asked, and what the module behind each node receives. Besides the
// tests, two modes run a worker through an unload and through the process's exit.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "fpmodule.h"
#include "tests/linux/fake_sg.h"

namespace {

namespace fs = std::filesystem;

constexpr auto kTick = std::chrono::milliseconds(100);
constexpr unsigned char kFirmwareVersion = 0x32;
constexpr unsigned char kInitialize = 0x30;
constexpr unsigned char kCheckEnrollStatus = 0x11;
constexpr unsigned char kBaseImage = 0x49;
constexpr unsigned char kBusy = 3;
const std::u16string kClassSuffix = u"#{53f56308-b6bf-11d0-94f2-00a0c91efb8b}";

// The library's exports, looked up in the loaded .so.
struct Library {
    void *handle = nullptr;

    template <typename F>
    F get(const char *name) const
    {
        void *symbol = dlsym(handle, name);
        if (!symbol) {
            std::fprintf(stderr, "libfpmodule.so lacks %s\n", name);
            std::abort();
        }
        return reinterpret_cast<F>(symbol);
    }
#define FPM_FUNCTION(name) \
    decltype(&::name) name() const { return get<decltype(&::name)>(#name); }
    FPM_FUNCTION(CheckDeviceConnection)
    FPM_FUNCTION(DeviceDisConnection)
    FPM_FUNCTION(ExtractDevicePath)
    FPM_FUNCTION(ObtainHandleFromPath)
    FPM_FUNCTION(CloseObtainedHandle)
    FPM_FUNCTION(GetFirmwareVersionWithHandle)
    FPM_FUNCTION(SendDataTransactionWithHandle)
    FPM_FUNCTION(RecvDataTransactionWithHandle)
    FPM_FUNCTION(BeginEnrollmentProcedure)
#undef FPM_FUNCTION
};

Library load() { return {dlopen(FPM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL)}; }

const Library &library()
{
    static const Library loaded = load();
    return loaded;
}

// A test folder standing in for sysfs and /dev.
class FakeHost {
public:
    FakeHost() : root_(fs::temp_directory_path() / ("fpm-fake-sg-" + std::to_string(::getpid())))
    {
        fs::remove_all(root_);
        fs::create_directories(root_ / "dev");
        fake_sg_reset(root_.c_str());
    }
    ~FakeHost()
    {
        fake_sg_reset("");
        fs::remove_all(root_);
    }

    // A node as the kernel shows it, INQUIRY strings space-padded; a later call for the
    // same name is a replug.
    void node(const std::string &name, int type, const std::string &vendor, const std::string &model, int kind)
    {
        const fs::path device = folder(name) / "device";
        fs::remove_all(folder(name));
        fs::create_directories(device);
        write(device / "type", std::to_string(type));
        write(device / "vendor", vendor);
        write(device / "model", model);
        write(device / "rev", "1.00");
        write(root_ / "dev" / name, "");
        fake_sg_attach(name.c_str(), kind);
    }
    void module(const std::string &name) { node(name, 5, "WEXA    ", "Finger Module   ", FAKE_SG_MODULE); }

    void limitKb(const std::string &name, int kb)
    {
        const fs::path queue = folder(name) / "device" / "block" / "sr0" / "queue";
        fs::create_directories(queue);
        write(queue / "max_hw_sectors_kb", std::to_string(kb));
    }

private:
    fs::path folder(const std::string &name) const { return root_ / "sys/class/scsi_generic" / name; }
    static void write(const fs::path &file, const std::string &text) { std::ofstream(file) << text << "\n"; }

    fs::path root_;
};

const char16_t *u16(const char16_t *text) { return text; }

class SharedLibrary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(lib.handle, nullptr) << dlerror(); }
    void TearDown() override { lib.DeviceDisConnection()(); }

    std::vector<std::u16string> modulePaths(int maxCount)
    {
        std::vector<std::u16string> storage(8, std::u16string(256, u'\0'));
        std::vector<char16_t *> pointers;
        for (auto &s : storage) pointers.push_back(s.data());
        int32_t found = 0;
        if (lib.ExtractDevicePath()(u16(u"wexa"), u16(u"finger_module"), pointers.data(), maxCount, &found) != 1)
            return {};
        std::vector<std::u16string> paths;
        for (int i = 0; i < found; ++i) paths.emplace_back(pointers[i]);
        return paths;
    }

    const Library &lib = library();
    FakeHost host;
};

TEST_F(SharedLibrary, AModuleIsListedOnceAndTheHostsDisksNotAtAll)
{
    host.node("sg0", 0, "ATA     ", "Samsung SSD 860 ", FAKE_SG_USB_DISK);
    // The module's disk unit carries the same INQUIRY strings as its CD-ROM unit.
    host.node("sg1", 0, "WEXA    ", "Finger Module   ", FAKE_SG_MODULE);
    host.module("sg2");

    auto paths = modulePaths(8);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_TRUE(paths[0].ends_with(u"#sg2" + kClassSuffix));
    // The host's disks do not count against the number of interfaces examined.
    EXPECT_EQ(modulePaths(1).size(), 1u);

    EXPECT_EQ(lib.CheckDeviceConnection()(), 1);
    EXPECT_GE(fake_sg_count("sg2", kFirmwareVersion), 1);
    EXPECT_EQ(fake_sg_count("sg1", kFirmwareVersion), 0);
}

TEST_F(SharedLibrary, AKeptPathOpensOnlyTheUnitItWasFoundOn)
{
    host.module("sg1");
    auto paths = modulePaths(8);
    ASSERT_EQ(paths.size(), 1u);
    FPM_HANDLE handle = nullptr;
    ASSERT_EQ(lib.ObtainHandleFromPath()(&handle, paths[0].c_str()), 1);
    EXPECT_EQ(lib.CloseObtainedHandle()(handle), 1);
    EXPECT_EQ(lib.CloseObtainedHandle()(handle), 2);

    // Replugs give sg1 to a USB stick, then to another CD-ROM drive.
    for (auto [type, vendor, model] : {std::tuple{0, "Kingston", "DataTraveler 3.0"}, std::tuple{5, "GENERIC ", "USB CD-ROM      "}}) {
        host.node("sg1", type, vendor, model, FAKE_SG_USB_DISK);
        FPM_HANDLE untouched = reinterpret_cast<FPM_HANDLE>(0x5A5A);
        EXPECT_EQ(lib.ObtainHandleFromPath()(&untouched, paths[0].c_str()), 2) << model;
        EXPECT_EQ(untouched, reinterpret_cast<FPM_HANDLE>(0x5A5A));
        EXPECT_EQ(fake_sg_open_nodes(), 0) << "the refused node was left open";
        EXPECT_EQ(fake_sg_count("sg1", kFirmwareVersion), 0);
    }
    // A plain node path names no unit and stays accepted.
    ASSERT_EQ(lib.ObtainHandleFromPath()(&handle, u16(u"/dev/sg1")), 1);
    EXPECT_EQ(lib.CloseObtainedHandle()(handle), 1);
    EXPECT_EQ(lib.CloseObtainedHandle()(nullptr), 2);
    EXPECT_EQ(lib.CloseObtainedHandle()(FPM_INVALID_HANDLE), 2);
}

TEST_F(SharedLibrary, TransfersWithoutDataCarryNoDataPointer)
{
    host.module("sg1");
    FPM_HANDLE handle = nullptr;
    ASSERT_EQ(lib.ObtainHandleFromPath()(&handle, u16(u"/dev/sg1")), 1);
    const unsigned char block[16] = {0xE0, kInitialize};
    unsigned char buffer[8] = {};
    EXPECT_EQ(lib.SendDataTransactionWithHandle()(handle, block, buffer, 0, 3), 1);
    EXPECT_EQ(lib.RecvDataTransactionWithHandle()(handle, block, buffer, 0, 3), 1);
    EXPECT_EQ(fake_sg_refused(), 0);
    EXPECT_EQ(fake_sg_count("sg1", kInitialize), 2);
    lib.CloseObtainedHandle()(handle);
}

TEST_F(SharedLibrary, ANodeHeldByAnotherProcessIsRefusedWithoutWaiting)
{
    host.module("sg1");
    fake_sg_hold("sg1", 1);
    FPM_HANDLE handle = nullptr;
    EXPECT_EQ(lib.ObtainHandleFromPath()(&handle, u16(u"/dev/sg1")), 2);
    EXPECT_EQ(lib.CheckDeviceConnection()(), 2);
}

std::string logText()
{
    char exe[4096] = {};
    if (readlink("/proc/self/exe", exe, sizeof exe - 1) <= 0) return {};
    std::string text;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(fs::path(exe).parent_path() / "SmartCard_Log", ec)) {
        std::ifstream in(entry.path());
        text += std::string(std::istreambuf_iterator<char>(in), {});
    }
    return text;
}

TEST_F(SharedLibrary, AnImageOverTheHostsTransferLimitIsNotAskedFor)
{
    host.module("sg1");
    fake_sg_geometry("sg1", 255, 255, 2);
    host.limitKb("sg1", 120);  // usb-storage on a USB 2.0 port
    // The baseline image of the defect-pixel map does not fit: the connect fails with
    // the module open, and the module is never asked for the image.
    EXPECT_EQ(lib.CheckDeviceConnection()(), 2);
    EXPECT_EQ(fake_sg_count("sg1", kBaseImage), 0);
    EXPECT_EQ(fake_sg_refused(), 0);
    EXPECT_NE(logText().find("image of 130050 bytes over the host's transfer limit of 122880 bytes"), std::string::npos);

    host.limitKb("sg1", 512);
    EXPECT_EQ(lib.CheckDeviceConnection()(), 1);
    EXPECT_GE(fake_sg_count("sg1", kBaseImage), 1);
    EXPECT_EQ(fake_sg_refused(), 0);
}

std::atomic<int> g_signals{0};
void countSignal(int) { g_signals.fetch_add(1); }

TEST_F(SharedLibrary, ASignalDuringATransferNeitherFailsNorRepeatsIt)
{
    for (int flags : {SA_RESTART, 0}) {
        host.module("sg1");
        struct sigaction action{}, previous{};
        action.sa_handler = countSignal;
        action.sa_flags = flags;
        sigaction(SIGUSR1, &action, &previous);
        g_signals = 0;
        FPM_HANDLE handle = nullptr;
        ASSERT_EQ(lib.ObtainHandleFromPath()(&handle, u16(u"/dev/sg1")), 1);
        unsigned char version[18] = {};
        fake_sg_signal_next_transfer(SIGUSR1);
        EXPECT_EQ(lib.GetFirmwareVersionWithHandle()(handle, 0, 18, version), 1) << "SA_RESTART " << flags;
        EXPECT_EQ(fake_sg_count("sg1", kFirmwareVersion), 1) << "SA_RESTART " << flags;
        EXPECT_EQ(g_signals.load(), 1);  // delivered once the transfer was over
        lib.CloseObtainedHandle()(handle);
        sigaction(SIGUSR1, &previous, nullptr);
    }
}

TEST_F(SharedLibrary, WithoutTheExecutablesPathTheLogStaysOffTheRoot)
{
    host.module("sg1");
    fake_sg_hide_executable(1);
    EXPECT_EQ(lib.CheckDeviceConnection()(), 1);  // the connect goes on without a log
    lib.DeviceDisConnection()();
    host.node("sg1", 5, "GENERIC ", "USB CD-ROM      ", FAKE_SG_USB_DISK);
    EXPECT_EQ(lib.CheckDeviceConnection()(), 2);  // and so does a failing one
    EXPECT_EQ(fake_sg_root_log_attempts(), 0);
}

// ---- A worker through an unload and through the process's exit ---------------------

void FPM_CALL ignoreEnrollment(unsigned char *, unsigned char *) {}

// Connects to a module that keeps the enrolment's capture busy, so that the worker
// polls on every tick, and starts the enrolment.
bool startPollingWorker(const Library &lib)
{
    if (!lib.handle || lib.CheckDeviceConnection()() != 1) return false;
    fake_sg_answer_always("sg1", kCheckEnrollStatus, kBusy);
    if (lib.BeginEnrollmentProcedure()(1, 3, ignoreEnrollment) != 1) return false;
    while (fake_sg_count("sg1", kCheckEnrollStatus) < 2) std::this_thread::sleep_for(kTick);
    return true;
}

// dlclose while the worker polls: the library must stay mapped.
int unloadWhileWorkerRuns()
{
    FakeHost host;
    host.module("sg1");
    Library lib = load();
    if (!startPollingWorker(lib)) return 2;
    dlclose(lib.handle);
    if (!dlopen(FPM_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD)) {
        std::fprintf(stderr, "dlclose unmapped the library under a running worker\n");
        return 1;
    }
    const int before = fake_sg_count("sg1", kCheckEnrollStatus);
    std::this_thread::sleep_for(5 * kTick);
    return fake_sg_count("sg1", kCheckEnrollStatus) > before ? 0 : 3;
}

// Return from main while the worker polls. Registered before the library is loaded,
// the pause runs after the library's exit-time destructors: the worker keeps polling
// through it and must find everything it uses still there.
int exitWhileWorkerPolls()
{
    static FakeHost *host = new FakeHost;  // its folder outlives main
    std::atexit([] { std::this_thread::sleep_for(5 * kTick); });
    host->module("sg1");
    const Library lib = load();
    return startPollingWorker(lib) ? 0 : 2;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "unload") == 0) return unloadWhileWorkerRuns();
    if (argc == 2 && std::strcmp(argv[1], "exit") == 0) return exitWhileWorkerPolls();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
