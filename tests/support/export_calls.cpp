#include "support/export_calls.h"

#include <algorithm>
#include <array>

namespace fpm::test {

std::atomic<std::int64_t> g_callbackImageBytes{0};
std::atomic<std::uint64_t> g_callbackCalls{0};
std::atomic<std::uint32_t> g_callbackChecksum{0};

namespace {

void readImage(const unsigned char *image)
{
    if (!image) return;
    std::uint32_t sum = 0;
    const std::int64_t bytes = g_callbackImageBytes.load();
    for (std::int64_t i = 0; i < bytes; ++i) sum += image[i];
    g_callbackChecksum.fetch_add(sum);
}

}  // namespace

void FPM_CALL readingEnrollment(unsigned char *event, unsigned char *image)
{
    g_callbackCalls.fetch_add(1 + *event);
    readImage(image);
}

void FPM_CALL readingVerify(unsigned char *event, unsigned char *fingerIndex, unsigned char *image)
{
    g_callbackCalls.fetch_add(1 + *event + (fingerIndex ? *fingerIndex : 0));
    readImage(image);
}

void FPM_CALL readingResult(unsigned char *result) { g_callbackCalls.fetch_add(1 + *result); }

namespace {

using A = Arguments;

unsigned char u8(A &a) { return static_cast<unsigned char>(a.integer()); }
std::uint16_t u16(A &a) { return static_cast<std::uint16_t>(a.integer()); }
template <typename T>
T *out(A &a)
{
    return reinterpret_cast<T *>(a.buffer(sizeof(T)));
}
unsigned char *image(A &a) { return a.buffer(a.imageBytes()); }
EnrollmentCallback enrollCb(A &a) { return a.callback() ? readingEnrollment : nullptr; }
VerifyCallback verifyCb(A &a) { return a.callback() ? readingVerify : nullptr; }
ResultCallback resultCb(A &a) { return a.callback() ? readingResult : nullptr; }

// A 16-byte command block and a buffer of the length the call states.
template <FPM_RESULT (*F)(const unsigned char *, unsigned char *, std::uint32_t, std::uint32_t)>
void transfer(A &a)
{
    const unsigned char *block = a.buffer(16);
    const std::int32_t length = a.integer();
    F(block, a.buffer(static_cast<std::uint32_t>(length)), static_cast<std::uint32_t>(length), u8(a));
}
template <FPM_RESULT (*F)(FPM_HANDLE, const unsigned char *, unsigned char *, std::uint32_t, std::uint32_t)>
void transferWithHandle(A &a)
{
    FPM_HANDLE h = a.handle();
    const unsigned char *block = a.buffer(16);
    const std::int32_t length = a.integer();
    F(h, block, a.buffer(static_cast<std::uint32_t>(length)), static_cast<std::uint32_t>(length), u8(a));
}

template <FPM_RESULT (*F)(std::int32_t *, std::int32_t *)>
void size(A &a, int fixedBytesPerPixel)
{
    std::int32_t *w = out<std::int32_t>(a);
    std::int32_t *h = out<std::int32_t>(a);
    a.sizeReported(F(w, h), w, h, nullptr, fixedBytesPerPixel);
}
template <FPM_RESULT (*F)(FPM_HANDLE, std::int32_t *, std::int32_t *)>
void sizeWithHandle(A &a, int fixedBytesPerPixel)
{
    FPM_HANDLE handle = a.handle();
    std::int32_t *w = out<std::int32_t>(a);
    std::int32_t *h = out<std::int32_t>(a);
    a.sizeReported(F(handle, w, h), w, h, nullptr, fixedBytesPerPixel);
}

void firmware(A &a, bool withHandle)
{
    FPM_HANDLE h = withHandle ? a.handle() : nullptr;
    const std::int32_t offset = a.integer();
    const std::int32_t length = a.integer();
    unsigned char *buffer = a.buffer(length);
    if (withHandle) GetFirmwareVersionWithHandle(h, offset, length, buffer);
    else GetFirmwareVersion(offset, length, buffer);
}

void extractPaths(A &a)
{
    const FPM_WCHAR *vendor = a.text();
    const FPM_WCHAR *product = a.text();
    const std::int32_t maxCount = a.integer();
    const std::int32_t slots = std::clamp(maxCount, 0, 4);
    auto **paths = reinterpret_cast<FPM_WCHAR **>(a.buffer(slots * static_cast<std::int64_t>(sizeof(void *))));
    if (paths)
        for (std::int32_t i = 0; i < slots; ++i) paths[i] = reinterpret_cast<FPM_WCHAR *>(a.buffer(256 * 2));
    ExtractDevicePath(vendor, product, paths, maxCount, out<std::int32_t>(a));
}

void convert(A &a)
{
    const std::int32_t width = a.integer();
    const std::int32_t height = a.integer();
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    // Two sides of 2^31 make 2^62 pixels: twice that does not fit.
    const std::int64_t bytes16 = pixels > INT64_MAX / 2 ? INT64_MAX : 2 * pixels;
    const unsigned char *image16 = a.buffer(bytes16);
    Trans16To8Img(image16, a.buffer(pixels), width, height);
}

#define CALL(name, ...) {#name, false, [](A &a) { (void)a; __VA_ARGS__; }}
#define WORKER(name, ...) {#name, true, [](A &a) { __VA_ARGS__; }}

const ExportCall kCalls[] = {
    // Transfers
    {"SendDataTransaction", false, transfer<SendDataTransaction>},
    {"RecvDataTransaction", false, transfer<RecvDataTransaction>},
    {"SendDataTransactionWithHandle", false, transferWithHandle<SendDataTransactionWithHandle>},
    {"RecvDataTransactionWithHandle", false, transferWithHandle<RecvDataTransactionWithHandle>},
    // Size queries, initialisation, firmware version, cancel
    CALL(QuerySize, size<QuerySize>(a, 0)),
    CALL(QuerySize_16, size<QuerySize_16>(a, 2)),
    CALL(QuerySizeEx, {
        std::int32_t *w = out<std::int32_t>(a);
        std::int32_t *h = out<std::int32_t>(a);
        unsigned char *d = out<unsigned char>(a);
        a.sizeReported(QuerySizeEx(w, h, d), w, h, d, 0);
    }),
    CALL(QuerySizeWithHandle, sizeWithHandle<QuerySizeWithHandle>(a, -1)),
    CALL(QuerySizeWithHandle_16, sizeWithHandle<QuerySizeWithHandle_16>(a, -1)),
    CALL(InititalDevice, InititalDevice()),
    CALL(GetFirmwareVersion, firmware(a, false)),
    CALL(GetFirmwareVersionWithHandle, firmware(a, true)),
    CALL(DoCancel, DoCancel()),
    // Enrolment
    CALL(QueryEnrollAmount, {
        const std::int32_t finger = a.integer();
        QueryEnrollAmount(finger, out<std::int32_t>(a));
    }),
    CALL(DoEnrollRequest, DoEnrollRequest(a.integer())),
    CALL(CheckEnrollStatus, CheckEnrollStatus()),
    CALL(GetEnrollImage, GetEnrollImage(image(a))),
    CALL(max_enroll_per_finger, max_enroll_per_finger(out<unsigned char>(a))),
    // Verification and identification
    CALL(DoVerifyRequest, DoVerifyRequest(a.integer())),
    CALL(GetVerifyImage, GetVerifyImage(image(a))),
    CALL(DoIdentifyRequest, DoIdentifyRequest(out<unsigned char>(a))),
    CALL(DoIdentifyRequestEx, {
        unsigned char *finger = out<unsigned char>(a);
        DoIdentifyRequestEx(finger, image(a));
    }),
    CALL(GetIdentifyImage, GetIdentifyImage(image(a))),
    CALL(IsFingerOn, IsFingerOn()),
    CALL(FingerStatus, FingerStatus(out<unsigned char>(a))),
    CALL(GetVerifyPeriod, {
        std::uint32_t *first = out<std::uint32_t>(a);
        GetVerifyPeriod(first, out<std::uint32_t>(a));
    }),
    // Images
    CALL(GetRawImage, GetRawImage(image(a))),
    CALL(GetRawImageWithHandle, {
        FPM_HANDLE h = a.handle();
        GetRawImageWithHandle(h, image(a));
    }),
    CALL(GetCurrentImage, GetCurrentImage(image(a))),
    CALL(GetCurrentImageWithHandle, {
        FPM_HANDLE h = a.handle();
        GetCurrentImageWithHandle(h, image(a));
    }),
    CALL(DumpFlashImage, DumpFlashImage(image(a))),
    CALL(DumpFlashImageWithHandle, {
        FPM_HANDLE h = a.handle();
        DumpFlashImageWithHandle(h, image(a));
    }),
    CALL(GetBufferImage, {
        const std::int32_t sizeA = a.integer();
        const std::int32_t sizeB = a.integer();
        GetBufferImage(sizeA, sizeB, a.buffer(static_cast<std::int64_t>(sizeA) * sizeB));
    }),
    CALL(SimpleGetImage, {
        unsigned char *buffer = image(a);
        SimpleGetImage(buffer, out<std::int32_t>(a));
    }),
    CALL(SimpleGetImageWithHandle, {
        FPM_HANDLE h = a.handle();
        unsigned char *buffer = image(a);
        SimpleGetImageWithHandle(h, buffer, out<std::int32_t>(a));
    }),
    CALL(SimpleGetFingerprint, SimpleGetFingerprint(image(a))),
    CALL(CheckImage, CheckImage(out<unsigned char>(a))),
    CALL(SimpleSentImage, SimpleSentImage(image(a))),
    CALL(SimpleSentImageWithHandle, {
        FPM_HANDLE h = a.handle();
        SimpleSentImageWithHandle(h, image(a));
    }),
    // Baseline, calibration, sensing
    CALL(sew_patch_enable, sew_patch_enable(u8(a))),
    CALL(OutputBaseImage, OutputBaseImage(image(a))),
    CALL(OutputBaseImageWithHandle, {
        FPM_HANDLE h = a.handle();
        OutputBaseImageWithHandle(h, image(a));
    }),
    CALL(OutputCalibrationImage, {
        unsigned char *buffer = image(a);
        OutputCalibrationImage(buffer, u8(a));
    }),
    CALL(OutputCalibrationImageWithHandle, {
        FPM_HANDLE h = a.handle();
        unsigned char *buffer = image(a);
        OutputCalibrationImageWithHandle(h, buffer, u8(a));
    }),
    CALL(EnterSensingMode, EnterSensingMode()),
    CALL(EnterSensingModeWithHandle, EnterSensingModeWithHandle(a.handle())),
    CALL(GetCurrentData, GetCurrentData(a.buffer(5))),
    CALL(GetCurrentDataWithHandle, {
        FPM_HANDLE h = a.handle();
        GetCurrentDataWithHandle(h, a.buffer(5));
    }),
    CALL(DoCalibration, {
        const std::uint16_t x = u16(a), y = u16(a), z = u16(a);
        std::uint16_t *v1 = out<std::uint16_t>(a);
        std::uint16_t *v2 = out<std::uint16_t>(a);
        DoCalibration(x, y, z, v1, v2, out<unsigned char>(a));
    }),
    CALL(DoCalibrationWithHandle, {
        FPM_HANDLE h = a.handle();
        const std::uint16_t x = u16(a), y = u16(a), z = u16(a);
        std::uint16_t *v1 = out<std::uint16_t>(a);
        std::uint16_t *v2 = out<std::uint16_t>(a);
        DoCalibrationWithHandle(h, x, y, z, v1, v2, out<unsigned char>(a));
    }),
    CALL(OutputDAC, OutputDAC(out<unsigned char>(a))),
    CALL(OutputDACWithHandle, {
        FPM_HANDLE h = a.handle();
        OutputDACWithHandle(h, out<unsigned char>(a));
    }),
    CALL(UpdateBaseImage, UpdateBaseImage()),
    CALL(GetVCB, GetVCB(out<unsigned char>(a))),
    CALL(SetVCB, SetVCB(a.integer())),
    CALL(smartcard_auto_test, smartcard_auto_test(out<unsigned char>(a))),
    // Device control
    CALL(ChangeLEDsStatus, ChangeLEDsStatus(a.integer())),
    CALL(ChangeLEDsStatusWithHandle, {
        FPM_HANDLE h = a.handle();
        ChangeLEDsStatusWithHandle(h, a.integer());
    }),
    CALL(ChangeDevStatus, ChangeDevStatus(a.integer())),
    CALL(SwitchToBoot, SwitchToBoot()),
    CALL(RfConnection, RfConnection()),
    CALL(RfConnectionWithHandle, RfConnectionWithHandle(a.handle())),
    // Test mode and hardware checks
    CALL(EnterTestMode, EnterTestMode()),
    CALL(SE_Test, SE_Test()),
    CALL(EnterTestModeWithHandle, EnterTestModeWithHandle(a.handle())),
    CALL(SE_TestWithHandle, SE_TestWithHandle(a.handle())),
    CALL(ExitTestMode, ExitTestMode()),
    CALL(ExitTestModeWithHandle, ExitTestModeWithHandle(a.handle())),
    CALL(GetG55Status, GetG55Status()),
    CALL(GetG55StatusWithHandle, GetG55StatusWithHandle(a.handle())),
    CALL(GetICtype, {
        std::uint16_t *first = out<std::uint16_t>(a);
        std::uint16_t *second = out<std::uint16_t>(a);
        GetICtype(first, second, out<unsigned char>(a));
    }),
    CALL(GetICtypeWithHandle, {
        FPM_HANDLE h = a.handle();
        std::uint16_t *first = out<std::uint16_t>(a);
        std::uint16_t *second = out<std::uint16_t>(a);
        GetICtypeWithHandle(h, first, second, out<unsigned char>(a));
    }),
    CALL(SensorIOCheck, SensorIOCheck(out<unsigned char>(a))),
    CALL(SensorIOCheckWithHandle, {
        FPM_HANDLE h = a.handle();
        SensorIOCheckWithHandle(h, out<unsigned char>(a));
    }),
    CALL(ModuleIOCheck, ModuleIOCheck(out<unsigned char>(a))),
    CALL(ModuleIOCheckWithHandle, {
        FPM_HANDLE h = a.handle();
        ModuleIOCheckWithHandle(h, out<unsigned char>(a));
    }),
    CALL(CheckCTModule, CheckCTModule(out<unsigned char>(a))),
    CALL(AcfBondingIoCheck, AcfBondingIoCheck()),
    CALL(AcfBondingIoCheckWithHandle, AcfBondingIoCheckWithHandle(a.handle())),
    // Registers and WOE mode
    CALL(ReadRegister, {
        const unsigned char address = u8(a);
        ReadRegister(address, out<unsigned char>(a));
    }),
    CALL(ReadRegisterEx, {
        const unsigned char group = u8(a), address = u8(a);
        ReadRegisterEx(group, address, out<unsigned char>(a));
    }),
    CALL(ReadRegisterWithHandle, {
        FPM_HANDLE h = a.handle();
        const unsigned char address = u8(a);
        ReadRegisterWithHandle(h, address, out<unsigned char>(a));
    }),
    CALL(WriteRegister, {
        const unsigned char address = u8(a);
        WriteRegister(address, u8(a));
    }),
    CALL(WriteRegisterEx, {
        const unsigned char group = u8(a), address = u8(a);
        WriteRegisterEx(group, address, u8(a));
    }),
    CALL(WriteRegisterWithHandle, {
        FPM_HANDLE h = a.handle();
        const unsigned char address = u8(a);
        WriteRegisterWithHandle(h, address, u8(a));
    }),
    CALL(WriteRegisterAsDefault, {
        const unsigned char group = u8(a), address = u8(a);
        WriteRegisterAsDefault(group, address, u8(a));
    }),
    CALL(WriteRegisterAsDefaultWithHandle, {
        FPM_HANDLE h = a.handle();
        const unsigned char address = u8(a);
        WriteRegisterAsDefaultWithHandle(h, address, u8(a));
    }),
    CALL(EnterWOE, EnterWOE()),
    CALL(EnterWOEWithHandle, EnterWOEWithHandle(a.handle())),
    CALL(ExitWOE, ExitWOE()),
    CALL(ExitWOEWithHandle, ExitWOEWithHandle(a.handle())),
    CALL(ReadWOEstatus, {
        unsigned char *first = out<unsigned char>(a);
        unsigned char *second = out<unsigned char>(a);
        ReadWOEstatus(first, second, out<unsigned char>(a));
    }),
    CALL(ReadWOEstatusWithHandle, {
        FPM_HANDLE h = a.handle();
        unsigned char *first = out<unsigned char>(a);
        unsigned char *second = out<unsigned char>(a);
        ReadWOEstatusWithHandle(h, first, second, out<unsigned char>(a));
    }),
    // Vendor code and handshake
    CALL(VendorCodeOperation, {
        const unsigned char operation = u8(a);
        std::uint16_t *code = out<std::uint16_t>(a);
        VendorCodeOperation(operation, code, u8(a));
    }),
    CALL(VendorCodeOperationWithHandle, {
        FPM_HANDLE h = a.handle();
        const unsigned char operation = u8(a);
        std::uint16_t *code = out<std::uint16_t>(a);
        VendorCodeOperationWithHandle(h, operation, code, u8(a));
    }),
    CALL(VendorCodeOperationEx, {
        const unsigned char operation = u8(a);
        VendorCodeOperationEx(operation, a.buffer(8));
    }),
    CALL(VendorCodeOperationWithHandleEx, {
        FPM_HANDLE h = a.handle();
        const unsigned char operation = u8(a);
        VendorCodeOperationWithHandleEx(h, operation, a.buffer(8));
    }),
    CALL(WriteVendorCode, {
        const unsigned char *code = a.buffer(8);
        WriteVendorCode(code, a.integer());
    }),
    CALL(GetSecureVendorCode, GetSecureVendorCode(a.buffer(32))),
    CALL(GetSecureVendorCodeWithHandle, {
        FPM_HANDLE h = a.handle();
        GetSecureVendorCodeWithHandle(h, a.buffer(32));
    }),
    CALL(ConfirmSecureVendorCode, ConfirmSecureVendorCode(u16(a))),
    CALL(ConfirmSecureVendorCodeWithHandle, {
        FPM_HANDLE h = a.handle();
        ConfirmSecureVendorCodeWithHandle(h, u16(a));
    }),
    CALL(ConfirmSecureVendorCodeWithHandleEx, {
        FPM_HANDLE h = a.handle();
        ConfirmSecureVendorCodeWithHandleEx(h, a.buffer(8));
    }),
    CALL(ConfirmSecureVendorCodeEx, {
        const std::int32_t count = a.integer();
        ConfirmSecureVendorCodeEx(a.buffer(count), static_cast<std::uint32_t>(count));
    }),
    // Flash, product information, image registration
    CALL(FlashOperation, {
        const unsigned char operation = u8(a);
        const std::uint16_t length = u16(a);
        FlashOperation(operation, length, a.buffer(length));
    }),
    CALL(FlashOperationWithHandle, {
        FPM_HANDLE h = a.handle();
        const unsigned char operation = u8(a);
        const std::uint16_t length = u16(a);
        FlashOperationWithHandle(h, operation, length, a.buffer(length));
    }),
    CALL(ProductInfoOperation, {
        const unsigned char operation = u8(a);
        const std::uint16_t length = u16(a);
        ProductInfoOperation(operation, length, a.buffer(length));
    }),
    CALL(ProductInfoOperationWithHandle, {
        FPM_HANDLE h = a.handle();
        const unsigned char operation = u8(a);
        const std::uint16_t length = u16(a);
        ProductInfoOperationWithHandle(h, operation, length, a.buffer(length));
    }),
    CALL(RegModuleEx, {
        FPM_HANDLE h = a.handle();
        const unsigned char selector = u8(a);
        RegModuleEx(h, selector, image(a));
    }),
    // Conversion
    CALL(Trans16To8Img, convert(a)),
    // Finding, connecting, closing
    CALL(DeviceConnection, {
        const FPM_WCHAR *vendor = a.text();
        DeviceConnection(vendor, a.text());
    }),
    CALL(CheckDeviceConnection, CheckDeviceConnection()),
    CALL(CheckDeviceConnectionNoFwCheck, CheckDeviceConnectionNoFwCheck()),
    CALL(CheckDeviceConnectionWithFirmwareVer, CheckDeviceConnectionWithFirmwareVer(a.text())),
    CALL(GetDevConnectionByVendorCode, GetDevConnectionByVendorCode(static_cast<std::uint32_t>(a.integer()))),
    CALL(OpenDevice, OpenDevice()),
    CALL(CloseDevice, CloseDevice()),
    CALL(DeviceDisConnection, DeviceDisConnection()),
    CALL(ExtractDevicePath, extractPaths(a)),
    CALL(ObtainHandleFromPath, {
        FPM_HANDLE *handle = out<FPM_HANDLE>(a);
        ObtainHandleFromPath(handle, a.text());
    }),
    // Deleting fingers
    CALL(DoDeleteFingerRequest, DoDeleteFingerRequest(a.integer())),
    CALL(SmartCard_delete_finger, SmartCard_delete_finger(a.integer())),
    WORKER(BeginDeleteEnrolledFingerProcedure, BeginDeleteEnrolledFingerProcedure(resultCb(a))),
    WORKER(BeginDeleteEnrolledByFingerIdProcedure, {
        const std::int32_t finger = a.integer();
        BeginDeleteEnrolledByFingerIdProcedure(finger, resultCb(a));
    }),
    // Background enrolment and verification
    WORKER(BeginEnrollmentProcedure, {
        const std::int32_t finger = a.integer(), count = a.integer();
        BeginEnrollmentProcedure(finger, count, enrollCb(a));
    }),
    WORKER(SmartCard_Enrollment, {
        const std::int32_t finger = a.integer(), count = a.integer();
        std::int32_t *w = out<std::int32_t>(a);
        std::int32_t *h = out<std::int32_t>(a);
        a.sizeReported(SmartCard_Enrollment(finger, count, w, h, enrollCb(a)), w, h, nullptr, 0);
    }),
    WORKER(BeginVerifyProcedure, BeginVerifyProcedure(verifyCb(a))),
    WORKER(SmartCard_Verify, {
        std::int32_t *w = out<std::int32_t>(a);
        std::int32_t *h = out<std::int32_t>(a);
        a.sizeReported(SmartCard_Verify(w, h, verifyCb(a)), w, h, nullptr, 0);
    }),
    CALL(StopEnrollmentProcedure, StopEnrollmentProcedure()),
    CALL(StopVerifyProcedure, StopVerifyProcedure()),
    CALL(SmartCard_StopEnroll, SmartCard_StopEnroll()),
    CALL(SmartCard_StopVerify, SmartCard_StopVerify()),
    CALL(CompleteEnrollmentProcedure, CompleteEnrollmentProcedure()),
    CALL(CompleteVerifyProcedure, CompleteVerifyProcedure()),
    // Card issuing
    CALL(IssueCard, IssueCard()),
    CALL(CheckCardIssued, CheckCardIssued(out<unsigned char>(a))),
    WORKER(BeginIssueCardProcedure, BeginIssueCardProcedure(resultCb(a))),
};

#undef CALL
#undef WORKER

}  // namespace

std::span<const ExportCall> exportCalls() { return kCalls; }

}  // namespace fpm::test
