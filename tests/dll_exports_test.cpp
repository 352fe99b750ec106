// Loads the shipped fpmodule.dll and calls its exports through their addresses with the
// exact cdecl signatures a caller declares. No module is present: only failure results.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Result = unsigned char;

class DllTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dll = LoadLibraryW(L"fpmodule.dll"); }
    static void TearDownTestSuite()
    {
        if (dll) FreeLibrary(dll);
    }

    template <typename F>
    static F get(const char *name)
    {
        return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(dll, name)));
    }

    static HMODULE dll;
};
HMODULE DllTest::dll = nullptr;

TEST_F(DllTest, LoadsWithoutTouchingAnything)
{
    ASSERT_NE(dll, nullptr);
    EXPECT_EQ(GetFileAttributesW(L"SmartCard_Log"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DllTest, TransfersFailWithoutAModule)
{
    using Transfer = Result(__cdecl *)(const unsigned char *, unsigned char *, std::uint32_t, std::uint32_t);
    using TransferWithHandle =
        Result(__cdecl *)(HANDLE, const unsigned char *, unsigned char *, std::uint32_t, std::uint32_t);
    const unsigned char block[16] = {0xE0, 0x34};
    unsigned char buffer[8] = {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11};
    for (const char *name : {"SendDataTransaction", "RecvDataTransaction"}) {
        auto f = get<Transfer>(name);
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(f(block, buffer, 8, 3), 2) << name;
    }
    for (const char *name : {"SendDataTransactionWithHandle", "RecvDataTransactionWithHandle"}) {
        auto f = get<TransferWithHandle>(name);
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(f(INVALID_HANDLE_VALUE, block, buffer, 8, 3), 2) << name;
        EXPECT_EQ(f(nullptr, block, buffer, 8, 3), 2) << name;
    }
    for (unsigned char b : buffer) EXPECT_EQ(b, 0x11);
}

TEST_F(DllTest, QueriesFailWithoutAModule)
{
    using Size = Result(__cdecl *)(std::int32_t *, std::int32_t *);
    using SizeEx = Result(__cdecl *)(std::int32_t *, std::int32_t *, unsigned char *);
    using SizeWithHandle = Result(__cdecl *)(HANDLE, std::int32_t *, std::int32_t *);
    using NoArgs = Result(__cdecl *)();
    using Firmware = Result(__cdecl *)(std::int32_t, std::int32_t, unsigned char *);
    using FirmwareWithHandle = Result(__cdecl *)(HANDLE, std::int32_t, std::int32_t, unsigned char *);

    std::int32_t w = -7, h = -7;
    unsigned char bpp = 0x77;
    unsigned char version[128] = {};
    EXPECT_EQ(get<Size>("QuerySize")(&w, &h), 2);
    EXPECT_EQ(get<Size>("QuerySize_16")(&w, &h), 2);
    EXPECT_EQ(get<SizeEx>("QuerySizeEx")(&w, &h, &bpp), 2);
    EXPECT_EQ(get<SizeWithHandle>("QuerySizeWithHandle")(INVALID_HANDLE_VALUE, &w, &h), 2);
    EXPECT_EQ(get<SizeWithHandle>("QuerySizeWithHandle_16")(nullptr, &w, &h), 2);
    EXPECT_EQ(get<NoArgs>("InititalDevice")(), 2);
    EXPECT_EQ(get<NoArgs>("DoCancel")(), 2);
    EXPECT_EQ(get<Firmware>("GetFirmwareVersion")(0, 18, version), 2);
    EXPECT_EQ(get<Firmware>("GetFirmwareVersion")(120, 9, version), 2);
    EXPECT_EQ(get<FirmwareWithHandle>("GetFirmwareVersionWithHandle")(nullptr, 0, 18, version), 2);
    EXPECT_EQ(w, -7);
    EXPECT_EQ(bpp, 0x77);
    // Failures before any connect write no log.
    EXPECT_EQ(GetFileAttributesW(L"SmartCard_Log"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DllTest, ImageFunctionsFailWithoutAModuleAndLeaveBuffersAlone)
{
    using Read = Result(__cdecl *)(unsigned char *);
    using ReadWithHandle = Result(__cdecl *)(HANDLE, unsigned char *);
    using Simple = std::int32_t(__cdecl *)(unsigned char *, std::int32_t *);
    using Fingerprint = std::int32_t(__cdecl *)(unsigned char *);
    using Buffer = Result(__cdecl *)(std::int32_t, std::int32_t, unsigned char *);
    using NoArgs = Result(__cdecl *)();
    using Calibration = Result(__cdecl *)(std::uint16_t, std::uint16_t, std::uint16_t, std::uint16_t *,
                                          std::uint16_t *, unsigned char *);

    unsigned char buffer[64];
    std::memset(buffer, 0x5C, sizeof buffer);
    std::int32_t length = -3;
    for (const char *name : {"GetRawImage", "GetCurrentImage", "DumpFlashImage", "OutputBaseImage", "SimpleSentImage",
                             "CheckImage", "GetCurrentData", "OutputDAC", "GetVCB", "smartcard_auto_test"})
        EXPECT_EQ(get<Read>(name)(buffer), 2) << name;
    for (const char *name : {"GetRawImageWithHandle", "GetCurrentImageWithHandle", "DumpFlashImageWithHandle",
                             "OutputBaseImageWithHandle", "GetCurrentDataWithHandle", "OutputDACWithHandle"})
        EXPECT_EQ(get<ReadWithHandle>(name)(INVALID_HANDLE_VALUE, buffer), 2) << name;
    for (const char *name : {"EnterSensingMode", "UpdateBaseImage"}) EXPECT_EQ(get<NoArgs>(name)(), 2) << name;
    EXPECT_EQ(get<Buffer>("GetBufferImage")(8, 8, buffer), 2);
    EXPECT_EQ(get<Simple>("SimpleGetImage")(buffer, &length), 2);
    EXPECT_EQ(get<Fingerprint>("SimpleGetFingerprint")(buffer), -1);
    EXPECT_EQ(get<ReadWithHandle>("SimpleSentImageWithHandle")(nullptr, buffer), 0);
    std::uint16_t v1 = 7, v2 = 7;
    EXPECT_EQ(get<Calibration>("DoCalibration")(1, 2, 3, &v1, &v2, buffer), 2);
    EXPECT_EQ(v1, 7);
    EXPECT_EQ(length, -3);
    for (unsigned char b : buffer) EXPECT_EQ(b, 0x5C);
    get<void(__cdecl *)(unsigned char)>("sew_patch_enable")(0);
}

TEST_F(DllTest, SecondNamesShareTheEntryPoint)
{
    using NoArgs = Result(__cdecl *)();
    using WithHandle = Result(__cdecl *)(HANDLE);
    ASSERT_NE(get<NoArgs>("SE_Test"), nullptr);
    EXPECT_EQ(get<NoArgs>("SE_Test"), get<NoArgs>("EnterTestMode"));
    EXPECT_EQ(get<WithHandle>("SE_TestWithHandle"), get<WithHandle>("EnterTestModeWithHandle"));
    EXPECT_EQ(get<NoArgs>("SE_Test")(), 2);
    EXPECT_EQ(get<WithHandle>("SE_TestWithHandle")(INVALID_HANDLE_VALUE), 2);
    EXPECT_EQ(get<NoArgs>("ExitTestMode")(), 2);
}

TEST_F(DllTest, ControlsChecksAndRegistersFailWithoutAModule)
{
    using IntArg = Result(__cdecl *)(std::int32_t);
    using HandleInt = Result(__cdecl *)(HANDLE, std::int32_t);
    using IcType = Result(__cdecl *)(std::uint16_t *, std::uint16_t *, unsigned char *);
    using ReadEx = Result(__cdecl *)(unsigned char, unsigned char, unsigned char *);
    using WriteWithHandle = Result(__cdecl *)(HANDLE, unsigned char, unsigned char);
    using NoArgs = Result(__cdecl *)();

    EXPECT_EQ(get<IntArg>("ChangeDevStatus")(1), 2);
    EXPECT_EQ(get<HandleInt>("ChangeLEDsStatusWithHandle")(INVALID_HANDLE_VALUE, 3), 2);
    EXPECT_EQ(get<NoArgs>("SwitchToBoot")(), 2);
    EXPECT_EQ(get<NoArgs>("AcfBondingIoCheck")(), 2);
    std::uint16_t first = 0x7777, second = 0x7777;
    unsigned char third = 0x77, value = 0x77;
    EXPECT_EQ(get<IcType>("GetICtype")(&first, &second, &third), 2);
    EXPECT_EQ(get<IcType>("GetICtype")(nullptr, &second, &third), 2);
    EXPECT_EQ(get<ReadEx>("ReadRegisterEx")(2, 0x10, &value), 2);
    EXPECT_EQ(get<WriteWithHandle>("WriteRegisterAsDefaultWithHandle")(nullptr, 0x21, 0x40), 2);
    EXPECT_EQ(first, 0x7777);
    EXPECT_EQ(third, 0x77);
    EXPECT_EQ(value, 0x77);
}

TEST_F(DllTest, VendorCodeAndBlocksFailWithoutAModuleAndLeaveBuffersAlone)
{
    using ShortCode = Result(__cdecl *)(unsigned char, std::uint16_t *, unsigned char);
    using LongCodeWithHandle = Result(__cdecl *)(HANDLE, unsigned char, unsigned char *);
    using Write = std::int32_t(__cdecl *)(const unsigned char *, std::int32_t);
    using Challenge = Result(__cdecl *)(unsigned char *);
    using Confirm = Result(__cdecl *)(std::uint16_t);
    using ConfirmWithHandleEx = Result(__cdecl *)(HANDLE, const unsigned char *);
    using Block = Result(__cdecl *)(unsigned char, std::uint16_t, unsigned char *);
    using BlockWithHandle = Result(__cdecl *)(HANDLE, unsigned char, std::uint16_t, unsigned char *);
    using Register = Result(__cdecl *)(HANDLE, unsigned char, const unsigned char *);

    unsigned char buffer[64];
    std::memset(buffer, 0x3E, sizeof buffer);
    std::uint16_t code = 0x7777;
    EXPECT_EQ(get<ShortCode>("VendorCodeOperation")(0x00, &code, 0), 2);
    EXPECT_EQ(get<LongCodeWithHandle>("VendorCodeOperationWithHandleEx")(INVALID_HANDLE_VALUE, 0x80, buffer), 2);
    EXPECT_EQ(get<Write>("WriteVendorCode")(buffer, 9), -1);
    EXPECT_EQ(get<Write>("WriteVendorCode")(nullptr, 8), -2);
    EXPECT_EQ(get<Write>("WriteVendorCode")(buffer, 8), -3);
    EXPECT_EQ(get<Challenge>("GetSecureVendorCode")(buffer), 2);
    EXPECT_EQ(get<Confirm>("ConfirmSecureVendorCode")(0x0102), 2);
    EXPECT_EQ(get<ConfirmWithHandleEx>("ConfirmSecureVendorCodeWithHandleEx")(nullptr, buffer), 2);
    using ConfirmEx = std::int32_t(__cdecl *)(const unsigned char *, std::uint32_t);
    EXPECT_EQ(get<ConfirmEx>("ConfirmSecureVendorCodeEx")(buffer, 9), -1);
    EXPECT_EQ(get<ConfirmEx>("ConfirmSecureVendorCodeEx")(nullptr, 8), -2);
    EXPECT_EQ(get<ConfirmEx>("ConfirmSecureVendorCodeEx")(buffer, 8), 2);  // no module to connect
    EXPECT_EQ(get<Block>("ProductInfoOperation")(0, 62, buffer), 2);
    EXPECT_EQ(get<BlockWithHandle>("FlashOperationWithHandle")(INVALID_HANDLE_VALUE, 1, 16, buffer), 2);
    EXPECT_EQ(get<Register>("RegModuleEx")(INVALID_HANDLE_VALUE, 1, buffer), 2);
    EXPECT_EQ(code, 0x7777);
    for (unsigned char b : buffer) EXPECT_EQ(b, 0x3E);
}

TEST_F(DllTest, ConversionRefusesWithoutASixteenBitModule)
{
    // A full 32-bit result, not a byte: -1 while no size query has reported 16-bit pixels.
    using Convert = std::int32_t(__cdecl *)(const unsigned char *, unsigned char *, std::int32_t, std::int32_t);
    unsigned char image16[2 * 16 * 8] = {};
    unsigned char image8[16 * 8];
    for (unsigned char &b : image8) b = 0x66;
    EXPECT_EQ(get<Convert>("Trans16To8Img")(image16, image8, 16, 8), -1);
    for (unsigned char b : image8) EXPECT_EQ(b, 0x66);
}

TEST_F(DllTest, FingerCommandsFailWithoutAModuleAndLeaveOutputsAlone)
{
    using FingerArg = Result(__cdecl *)(std::int32_t);
    using Amount = Result(__cdecl *)(std::int32_t, std::int32_t *);
    using ByteOut = Result(__cdecl *)(unsigned char *);
    using Presence = std::int32_t(__cdecl *)(void);
    using State = std::int32_t(__cdecl *)(unsigned char *);
    using Period = Result(__cdecl *)(std::uint32_t *, std::uint32_t *);
    using IdentifyEx = Result(__cdecl *)(unsigned char *, const unsigned char *);

    std::int32_t amount = 0x5151;
    EXPECT_EQ(get<Amount>("QueryEnrollAmount")(1, &amount), 2);
    EXPECT_EQ(amount, 0x5151);
    for (const char *name : {"DoEnrollRequest", "DoVerifyRequest"}) EXPECT_EQ(get<FingerArg>(name)(1), 2) << name;
    EXPECT_EQ(get<Result(__cdecl *)(void)>("CheckEnrollStatus")(), 2);

    unsigned char out = 0x33;
    for (const char *name : {"max_enroll_per_finger", "DoIdentifyRequest", "GetEnrollImage", "GetVerifyImage",
                             "GetIdentifyImage"})
        EXPECT_EQ(get<ByteOut>(name)(&out), 2) << name;
    EXPECT_EQ(get<IdentifyEx>("DoIdentifyRequestEx")(&out, &out), 2);
    EXPECT_EQ(out, 0x33);

    // Full 32-bit results: -1, not a byte.
    EXPECT_EQ(get<Presence>("IsFingerOn")(), -1);
    EXPECT_EQ(get<State>("FingerStatus")(&out), -1);
    EXPECT_EQ(out, 0x33);

    std::uint32_t first = 7, second = 9;
    EXPECT_EQ(get<Period>("GetVerifyPeriod")(&first, &second), 2);
    EXPECT_EQ(first, 7u);
    EXPECT_EQ(second, 9u);
}

TEST_F(DllTest, ConnectingFindsNoModuleAndSaysSoInTheLog)
{
    using NoArgs = Result(__cdecl *)();
    using Names = Result(__cdecl *)(const wchar_t *, const wchar_t *);
    using Codes = Result(__cdecl *)(const wchar_t *);
    using VendorCode = Result(__cdecl *)(std::uint32_t);
    using Extract = Result(__cdecl *)(const wchar_t *, const wchar_t *, wchar_t **, std::int32_t, std::int32_t *);
    using Obtain = Result(__cdecl *)(HANDLE *, const wchar_t *);

    EXPECT_EQ(get<NoArgs>("CheckDeviceConnection")(), 2);
    EXPECT_EQ(get<NoArgs>("CheckDeviceConnectionNoFwCheck")(), 2);
    EXPECT_EQ(get<Codes>("CheckDeviceConnectionWithFirmwareVer")(L"WAWB"), 2);
    EXPECT_EQ(get<VendorCode>("GetDevConnectionByVendorCode")(0x0102), 2);
    EXPECT_NE(get<Names>("DeviceConnection")(L"wexa", L"finger_module"), 1);
    EXPECT_EQ(get<NoArgs>("OpenDevice")(), 2);
    EXPECT_EQ(get<NoArgs>("CloseDevice")(), 0);
    EXPECT_EQ(get<NoArgs>("DeviceDisConnection")(), 0);

    wchar_t path[256] = L"untouched";
    wchar_t *paths[1] = {path};
    std::int32_t found = -5;
    EXPECT_NE(get<Extract>("ExtractDevicePath")(L"wexa", L"finger_module", paths, 1, &found), 1);
    EXPECT_EQ(get<Extract>("ExtractDevicePath")(L"wexa", L"finger_module", nullptr, 1, &found), 2);
    EXPECT_EQ(get<Extract>("ExtractDevicePath")(L"wexa", L"finger_module", paths, 1, nullptr), 2);
    EXPECT_EQ(get<Extract>("ExtractDevicePath")(nullptr, L"finger_module", paths, 1, &found), 2);
    EXPECT_EQ(found, -5);
    EXPECT_STREQ(path, L"untouched");
    HANDLE handle = reinterpret_cast<HANDLE>(0x77);
    EXPECT_EQ(get<Obtain>("ObtainHandleFromPath")(&handle, L"\\\\?\\usbstor#no-such-device"), 2);
    EXPECT_EQ(get<Obtain>("ObtainHandleFromPath")(nullptr, L"x"), 2);
    EXPECT_EQ(handle, reinterpret_cast<HANDLE>(0x77));

    // The connects prepared the log beside this program and wrote their lines.
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe);
    folder = folder.substr(0, folder.find_last_of(L'\\')) + L"\\SmartCard_Log";
    // Every log file: other programs beside this one (the tool's tests) log there too.
    std::string text;
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\SmartCard_Log[*].txt").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do files.push_back(folder + L"\\" + entry.cFileName);
        while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    for (const std::wstring &file : files) {
        if (FILE *f = _wfopen(file.c_str(), L"rb")) {
            char chunk[512];
            for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
            fclose(f);
        }
    }
    EXPECT_NE(text.find(" => DeviceConnection\r\n"), std::string::npos);
    EXPECT_NE(text.find(" => ExtractSpecificDevice\r\n"), std::string::npos);
    EXPECT_NE(text.find(" => ChangeDevStatus : RecvDataTransaction Fail\r\n"), std::string::npos);
    for (const std::wstring &file : files) DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

namespace {

std::atomic<int> g_dllResult{-1};
void __cdecl dllResultCallback(unsigned char *result) { g_dllResult = *result; }

TEST_F(DllTest, DeletionCardAndProcedureFunctionsWithoutAModule)
{
    using NoArgs = Result(__cdecl *)();
    using Index = Result(__cdecl *)(std::int32_t);
    using Byte = Result(__cdecl *)(unsigned char *);
    using Start = Result(__cdecl *)(std::int32_t, void(__cdecl *)(unsigned char *));
    for (const char *name : {"IssueCard", "StopEnrollmentProcedure", "SmartCard_StopVerify"}) {
        ASSERT_NE(get<NoArgs>(name), nullptr) << name;
        EXPECT_EQ(get<NoArgs>(name)(), 2) << name;
    }
    EXPECT_EQ(get<NoArgs>("CompleteVerifyProcedure"), get<NoArgs>("CompleteEnrollmentProcedure"));
    EXPECT_EQ(get<NoArgs>("StopVerifyProcedure"), get<NoArgs>("DoCancel"));
    EXPECT_EQ(get<NoArgs>("CompleteVerifyProcedure")(), 1);
    EXPECT_EQ(get<Index>("DoDeleteFingerRequest")(1), 2);
    EXPECT_EQ(get<Index>("SmartCard_delete_finger")(0xFF), 2);
    unsigned char issued = 0x55;
    EXPECT_EQ(get<Byte>("CheckCardIssued")(&issued), 2);
    EXPECT_EQ(issued, 0x55);

    // Without a module the one-call starts fail; a null callback starts nothing.
    using EnrollStart = Result(__cdecl *)(std::int32_t, std::int32_t, void(__cdecl *)(unsigned char *, unsigned char *));
    using SmartEnroll = Result(__cdecl *)(std::int32_t, std::int32_t, std::int32_t *, std::int32_t *,
                                          void(__cdecl *)(unsigned char *, unsigned char *));
    using VerifyStart = Result(__cdecl *)(void(__cdecl *)(unsigned char *, unsigned char *, unsigned char *));
    using SmartVerify = Result(__cdecl *)(std::int32_t *, std::int32_t *,
                                          void(__cdecl *)(unsigned char *, unsigned char *, unsigned char *));
    std::int32_t width = -1, height = -1;
    EXPECT_EQ(get<EnrollStart>("BeginEnrollmentProcedure")(1, 3, nullptr), 2);
    EXPECT_EQ(get<VerifyStart>("BeginVerifyProcedure")(nullptr), 2);
    EXPECT_EQ(get<SmartEnroll>("SmartCard_Enrollment")(1, 3, &width, &height, nullptr), 2);
    EXPECT_EQ(get<SmartVerify>("SmartCard_Verify")(&width, &height, nullptr), 2);
    EXPECT_EQ(width, -1);

    // The background deletion starts (2) and reports its failure on its own thread.
    g_dllResult = -1;
    EXPECT_EQ(get<Start>("BeginDeleteEnrolledByFingerIdProcedure")(3, dllResultCallback), 2);
    for (int i = 0; i < 500 && g_dllResult.load() < 0; ++i) Sleep(10);
    EXPECT_EQ(g_dllResult.load(), 2);
}

}  // namespace

namespace {

// A worker holds the DLL: a FreeLibrary while it runs leaves the code in place, and the
// DLL goes once the worker has ended.
HANDLE g_releaseWorker = nullptr;
std::atomic<int> g_workerReported{-1};
void __cdecl blockingResultCallback(unsigned char *result)
{
    g_workerReported = *result;
    WaitForSingleObject(g_releaseWorker, 10000);
}

TEST(DllUnload, ARunningWorkerKeepsTheDllLoadedUntilItEnds)
{
    ASSERT_EQ(GetModuleHandleW(L"fpmodule.dll"), nullptr) << "the DLL is still loaded from an earlier test";
    HMODULE dll = LoadLibraryW(L"fpmodule.dll");
    ASSERT_NE(dll, nullptr);
    using Start = Result(__cdecl *)(std::int32_t, void(__cdecl *)(unsigned char *));
    auto start = reinterpret_cast<Start>(reinterpret_cast<void *>(
        GetProcAddress(dll, "BeginDeleteEnrolledByFingerIdProcedure")));
    g_releaseWorker = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_workerReported = -1;
    start(3, blockingResultCallback);
    for (int i = 0; i < 500 && g_workerReported.load() < 0; ++i) Sleep(10);
    ASSERT_EQ(g_workerReported.load(), 2);

    // The worker is inside the callback, called from the DLL's code.
    FreeLibrary(dll);
    EXPECT_NE(GetModuleHandleW(L"fpmodule.dll"), nullptr);
    SetEvent(g_releaseWorker);
    bool unloaded = false;
    for (int i = 0; i < 500 && !unloaded; ++i) {
        unloaded = GetModuleHandleW(L"fpmodule.dll") == nullptr;
        if (!unloaded) Sleep(10);
    }
    EXPECT_TRUE(unloaded);
    CloseHandle(g_releaseWorker);
}

}  // namespace
