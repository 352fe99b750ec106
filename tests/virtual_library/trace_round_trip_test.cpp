// Round trips through the drop-in library: calls recorded with FPMODULE_TRACE on the
// virtual module, then the same calls on a module that replays that trace, must give the
// same results and the same buffers; a call that differs stops the replay.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "fpmodule.h"

namespace {

namespace fs = std::filesystem;
using Transcript = std::vector<std::string>;

void setVariable(const char *name, const std::string &value)
{
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty()) {
        unsetenv(name);
    } else {
        setenv(name, value.c_str(), 1);
    }
#endif
}

std::string hex(const unsigned char *bytes, std::size_t count)
{
    std::string out;
    char pair[3];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        out += pair;
    }
    return out;
}

// Images are compared by a digest, so that a difference stays readable.
std::string digest(const unsigned char *bytes, std::size_t count)
{
    if (!bytes) return "null";
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < count; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return std::to_string(count) + ":" + std::to_string(h);
}

void note(Transcript &t, const std::string &call, int result, const std::string &out = {})
{
    t.push_back(call + " -> " + std::to_string(result) + (out.empty() ? "" : " " + out));
}

// What the procedures' callbacks report, gathered on the worker thread.
struct Events {
    std::mutex mutex;
    std::condition_variable changed;
    Transcript lines;
    bool finished = false;
    int width = 0, height = 0;

    // The image is read under the lock: its size is stored once the start call returned.
    void add(const std::string &line, const unsigned char *image, bool final)
    {
        std::lock_guard lock(mutex);
        lines.push_back(line + " " + digest(image, static_cast<std::size_t>(width) * height));
        finished = finished || final;
        changed.notify_all();
    }
    void waitFinal()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return finished; });
    }
    void reset(int w, int h)
    {
        std::lock_guard lock(mutex);
        lines.clear();
        finished = false;
        width = w;
        height = h;
    }
};
Events events;

void FPM_CALL onEnroll(unsigned char *event, unsigned char *image)
{
    const bool final = *event == EVENT_ENROLL_COMPLETE || *event == EVENT_CANCELED || *event == 2;
    events.add("enroll event " + std::to_string(*event), image, final);
}

void FPM_CALL onVerify(unsigned char *event, unsigned char *finger, unsigned char *image)
{
    const bool final = *event != EVENT_WAIT_FINGER;
    events.add("verify event " + std::to_string(*event) + " finger " + std::to_string(finger ? *finger : 0), image,
               final);
}

void FPM_CALL onResult(unsigned char *result)
{
    events.add("result " + std::to_string(*result), nullptr, true);
}

void connection(Transcript &t)
{
    note(t, "CheckDeviceConnection", CheckDeviceConnection());
    unsigned char version[18] = {};
    note(t, "GetFirmwareVersion", GetFirmwareVersion(0, 18, version), hex(version, 18));
    int32_t width = 0, height = 0;
    unsigned char bytes = 0;
    note(t, "QuerySizeEx", QuerySizeEx(&width, &height, &bytes),
         std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bytes));
    note(t, "InititalDevice", InititalDevice());
    note(t, "CloseDevice", CloseDevice());
    note(t, "OpenDevice", OpenDevice());
    note(t, "DeviceDisConnection", DeviceDisConnection());
}

void control(Transcript &t)
{
    note(t, "CheckDeviceConnection", CheckDeviceConnection());
    note(t, "ChangeLEDsStatus", ChangeLEDsStatus(3));
    note(t, "ChangeDevStatus", ChangeDevStatus(1));
    unsigned char issued = 9;
    note(t, "CheckCardIssued", CheckCardIssued(&issued), std::to_string(issued));
    note(t, "IssueCard", IssueCard());
    note(t, "CheckCardIssued", CheckCardIssued(&issued), std::to_string(issued));
    note(t, "RfConnection", RfConnection());
    note(t, "DeviceDisConnection", DeviceDisConnection());
}

void enrolment(Transcript &t)
{
    note(t, "CheckDeviceConnection", CheckDeviceConnection());
    int32_t width = 0, height = 0;
    note(t, "QuerySize", QuerySize(&width, &height));
    std::vector<unsigned char> image(static_cast<std::size_t>(width) * height * 2, 0x5A);
    int32_t amount = -1;
    note(t, "QueryEnrollAmount", QueryEnrollAmount(3, &amount), std::to_string(amount));
    note(t, "DoEnrollRequest", DoEnrollRequest(3));
    note(t, "CheckEnrollStatus", CheckEnrollStatus());
    note(t, "GetEnrollImage", GetEnrollImage(image.data()), digest(image.data(), image.size()));
    note(t, "DoVerifyRequest", DoVerifyRequest(3));
    note(t, "GetVerifyImage", GetVerifyImage(image.data()), digest(image.data(), image.size()));
    unsigned char finger = 0;
    note(t, "DoIdentifyRequest", DoIdentifyRequest(&finger), std::to_string(finger));
    note(t, "DeviceDisConnection", DeviceDisConnection());
}

// After its final event a procedure sends "done" to the LEDs at its next half-second step
// while the module is open; closing it at once ends that wait with nothing sent, so the
// traffic is the same in both runs.
void closeAfterFinalEvent(Transcript &t)
{
    events.waitFinal();
    note(t, "DeviceDisConnection", DeviceDisConnection());
    std::lock_guard lock(events.mutex);
    t.insert(t.end(), events.lines.begin(), events.lines.end());
}

void procedures(Transcript &t)
{
    int32_t width = 0, height = 0;
    int started = 0;
    // The size is stored before the worker's first image needs it: the callback's report
    // waits for the lock held across the start call.
    auto start = [&](const std::function<int()> &call) {
        events.reset(0, 0);
        std::lock_guard lock(events.mutex);
        started = call();
        events.width = width;
        events.height = height;
    };
    start([&] { return SmartCard_Enrollment(4, 2, &width, &height, onEnroll); });
    note(t, "SmartCard_Enrollment", started, std::to_string(width) + "x" + std::to_string(height));
    if (started == 1) closeAfterFinalEvent(t);
    note(t, "CompleteEnrollmentProcedure", CompleteEnrollmentProcedure());

    start([&] { return SmartCard_Verify(&width, &height, onVerify); });
    note(t, "SmartCard_Verify", started);
    if (started == 1) closeAfterFinalEvent(t);
    note(t, "CompleteVerifyProcedure", CompleteVerifyProcedure());

    note(t, "CheckDeviceConnection", CheckDeviceConnection());
    start([&] { return BeginDeleteEnrolledByFingerIdProcedure(4, onResult); });
    note(t, "BeginDeleteEnrolledByFingerIdProcedure", started);
    if (started == 2) closeAfterFinalEvent(t);
}

void images(Transcript &t)
{
    note(t, "CheckDeviceConnection", CheckDeviceConnection());
    int32_t width = 0, height = 0;
    unsigned char bytes = 0;
    note(t, "QuerySizeEx", QuerySizeEx(&width, &height, &bytes));
    std::vector<unsigned char> image(static_cast<std::size_t>(width) * height * bytes, 0xA5);
    note(t, "GetCurrentImage", GetCurrentImage(image.data()), digest(image.data(), image.size()));
    note(t, "GetRawImage", GetRawImage(image.data()), digest(image.data(), image.size()));
    note(t, "OutputBaseImage", OutputBaseImage(image.data()), digest(image.data(), image.size()));
    unsigned char value = 0;
    note(t, "CheckImage", CheckImage(&value), std::to_string(value));
    note(t, "DeviceDisConnection", DeviceDisConnection());
}

void factory(Transcript &t)
{
    note(t, "CheckDeviceConnection", CheckDeviceConnection());
    note(t, "EnterTestMode", EnterTestMode());
    uint16_t first = 0, second = 0;
    unsigned char third = 0, detail = 0, value = 0;
    note(t, "GetICtype", GetICtype(&first, &second, &third),
         std::to_string(first) + "," + std::to_string(second) + "," + std::to_string(third));
    note(t, "SensorIOCheck", SensorIOCheck(&detail), std::to_string(detail));
    note(t, "WriteRegister", WriteRegister(0x21, 0x40));
    note(t, "ReadRegister", ReadRegister(0x21, &value), std::to_string(value));
    note(t, "ExitTestMode", ExitTestMode());
    note(t, "DeviceDisConnection", DeviceDisConnection());
}

void vendor(Transcript &t)
{
    note(t, "CheckDeviceConnection", CheckDeviceConnection());
    uint16_t code = 0;
    note(t, "VendorCodeOperation", VendorCodeOperation(0, &code, 0), std::to_string(code));
    unsigned char block[64] = {};
    note(t, "ProductInfoOperation", ProductInfoOperation(0, sizeof block, block), hex(block, sizeof block));
    note(t, "ConfirmSecureVendorCode", ConfirmSecureVendorCode(0x0102));
    note(t, "ConfirmSecureVendorCode", ConfirmSecureVendorCode(0x0bad));
    unsigned char flash[64] = {};
    note(t, "FlashOperation", FlashOperation(0, sizeof flash, flash), hex(flash, sizeof flash));
    note(t, "DeviceDisConnection", DeviceDisConnection());
}

class TraceRoundTrip : public ::testing::Test {
protected:
    fs::path folder = fs::temp_directory_path() / "fpmodule-round-trip";
    fs::path config = folder / "module.ini";
    fs::path trace = folder / "station.jsonl";

    void SetUp() override
    {
        fs::create_directories(folder);
        fs::remove(trace);
    }
    void TearDown() override
    {
        // A connect reads the variable again and so closes the trace: Windows removes no
        // file that is still open.
        setVariable("FPMODULE_TRACE", "");
        configure("");
        CheckDeviceConnection();
        DeviceDisConnection();
        if (!HasFailure()) fs::remove_all(folder);
    }
    void configure(const std::string &text)
    {
        static int generation = 0;
        std::ofstream(config, std::ios::trunc) << "# run " << ++generation << "\n" << text;
        setVariable("FPMODULE_VIRTUAL_CONFIG", config.string());
    }
    // Recorded on the scripted module, then replayed from the trace alone.
    void roundTrip(const std::string &module, const std::function<void(Transcript &)> &calls)
    {
        configure(module);
        setVariable("FPMODULE_TRACE", trace.string());
        Transcript recorded;
        calls(recorded);
        setVariable("FPMODULE_TRACE", "");

        configure("replay = " + trace.filename().string() + "\n");
        // The replay is traced too: a failing test leaves both traces in the folder.
        setVariable("FPMODULE_TRACE", (folder / "replayed.jsonl").string());
        Transcript replayed;
        calls(replayed);
        EXPECT_EQ(recorded, replayed);
        EXPECT_GT(recorded.size(), 3u);
        EXPECT_NE(recorded.front().find("-> 1"), std::string::npos) << recorded.front();
    }
};

TEST_F(TraceRoundTrip, Connection) { roundTrip("", connection); }
TEST_F(TraceRoundTrip, Control) { roundTrip("", control); }
TEST_F(TraceRoundTrip, EnrolmentAndVerification) { roundTrip("enrolled = 1:8\nfinger = 3\n", enrolment); }
TEST_F(TraceRoundTrip, BackgroundProcedures)
{
    roundTrip("busy_ticks = 1\nfinger = 4\n", procedures);
    // The worker's transfers carry the export that started it.
    std::ifstream in(trace);
    int requests = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.find("\"cdb\":\"e010") == std::string::npos) continue;
        ++requests;
        EXPECT_NE(line.find("\"export\":\"SmartCard_Enrollment\""), std::string::npos) << line;
        EXPECT_EQ(line.find("\"thread\":1,"), std::string::npos) << line;
    }
    EXPECT_EQ(requests, 2);
}

TEST_F(TraceRoundTrip, Images) { roundTrip("bytes_per_pixel = 2\nwidth = 64\nheight = 48\n", images); }
TEST_F(TraceRoundTrip, Factory) { roundTrip("", factory); }
TEST_F(TraceRoundTrip, Vendor) { roundTrip("vendor_code = 0x0102\n", vendor); }

TEST_F(TraceRoundTrip, ACallTheTraceDoesNotHoldStopsTheReplay)
{
    configure("");
    setVariable("FPMODULE_TRACE", trace.string());
    ASSERT_EQ(CheckDeviceConnection(), 1);
    int32_t width = 0, height = 0;
    ASSERT_EQ(QuerySize(&width, &height), 1);
    DeviceDisConnection();
    setVariable("FPMODULE_TRACE", "");

    configure("replay = " + trace.string() + "\n");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    unsigned char issued = 7;
    EXPECT_EQ(CheckCardIssued(&issued), 2);  // recorded: a size query
    EXPECT_EQ(issued, 7);
    // From then on every transfer fails, even the one the trace held next.
    width = height = -1;
    EXPECT_NE(QuerySize(&width, &height), 1);
    EXPECT_EQ(width, -1);
}

TEST_F(TraceRoundTrip, ADamagedTraceIsRefusedWhenTheConfigurationIsRead)
{
    std::ofstream(trace) << R"({"trace":"fpmodule","version":1,"library":"1.0.0")" << "\n";
    configure("replay = station.jsonl\n");
    EXPECT_EQ(CheckDeviceConnection(), 2);
    std::ofstream(trace, std::ios::trunc) << R"({"trace":"fpmodule","version":7})" << "\n";
    configure("replay = station.jsonl\n");
    EXPECT_EQ(CheckDeviceConnection(), 2);
}

}  // namespace
