// P/Invoke declarations of the fpmodule library: every export of fpmodule.h with the C
// calling convention.
//
// The library is "fpmodule": fpmodule.dll on Windows, libfpmodule.so on Linux (Mono maps
// the name). The DLL must match the process: the x64 fpmodule.dll for an AnyCPU or x64
// process on 64-bit Windows, the 32-bit one for an x86 process; these declarations serve
// both (handles and pointers are IntPtr). To run against the virtual
// library instead, map the name in the program's .config file (Mono):
//   <dllmap dll="fpmodule" target="libfpmodule-virtual.so"/>
// or, on .NET, with NativeLibrary.SetDllImportResolver.
//
// Callbacks run on a worker thread of the library. The delegate handed to the library
// must stay reachable for as long as the procedure can call it, or the garbage collector
// frees the thunk under the library's feet: start procedures through the Start...
// methods below, which keep each delegate until the next procedure of its kind starts.
using System;
using System.Runtime.InteropServices;

namespace Fpm
{
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    public delegate void EnrollmentCallback(IntPtr eventCode, IntPtr image);

    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    public delegate void VerifyCallback(IntPtr eventCode, IntPtr fingerIndex, IntPtr image);

    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    public delegate void ResultCallback(IntPtr result);

    public static class FpModule
    {
        public const string Library = "fpmodule";

        public const byte CODE_OK = 1, CODE_ERROR = 2, CODE_BUSY = 3, CODE_MATCH = 5, CODE_NO_MATCH = 6,
                          CODE_FAKE_FINGER = 7, CODE_CANCELING = 8, CODE_UNKNOWN_CMD = 9;
        public const byte EVENT_ENROLL_COMPLETE = 17, EVENT_WAIT_FINGER = 18, EVENT_CAPTURE_ACCEPTED = 19,
                          EVENT_CANCELED = 20;
        public const int ALL_FINGERS = 0xFF;
        /// <summary>Characters of one path buffer of ExtractDevicePath.</summary>
        public const int PathCharacters = 256;
        public static readonly IntPtr InvalidHandle = new IntPtr(-1);

        // ---- Procedures whose delegates stay alive -------------------------------------

        private static readonly object keepAliveLock = new object();
#pragma warning disable 414  // held so that the collector keeps them, never read
        private static EnrollmentCallback enrollment;
        private static VerifyCallback verification;
        private static ResultCallback deletion, cardIssue;
#pragma warning restore 414

        /// <summary>BeginEnrollmentProcedure, keeping the delegate alive.</summary>
        public static byte StartEnrollment(int fingerIndex, int captureCount, EnrollmentCallback callback)
        {
            lock (keepAliveLock) {
                byte result = BeginEnrollmentProcedure(fingerIndex, captureCount, callback);
                if (result == 1) enrollment = callback;
                return result;
            }
        }

        /// <summary>SmartCard_Enrollment, keeping the delegate alive.</summary>
        public static byte StartEnrollment(int fingerIndex, int captureCount, out int width, out int height,
                                           EnrollmentCallback callback)
        {
            lock (keepAliveLock) {
                byte result = SmartCard_Enrollment(fingerIndex, captureCount, out width, out height, callback);
                if (result == 1) enrollment = callback;
                return result;
            }
        }

        /// <summary>BeginVerifyProcedure, keeping the delegate alive.</summary>
        public static byte StartVerification(VerifyCallback callback)
        {
            lock (keepAliveLock) {
                byte result = BeginVerifyProcedure(callback);
                if (result == 1) verification = callback;
                return result;
            }
        }

        /// <summary>SmartCard_Verify, keeping the delegate alive.</summary>
        public static byte StartVerification(out int width, out int height, VerifyCallback callback)
        {
            lock (keepAliveLock) {
                byte result = SmartCard_Verify(out width, out height, callback);
                if (result == 1) verification = callback;
                return result;
            }
        }

        /// <summary>BeginDeleteEnrolledByFingerIdProcedure (ALL_FINGERS: every finger),
        /// keeping the delegate alive. 2 started, 16 a deletion is still running.</summary>
        public static byte StartDelete(int fingerIndex, ResultCallback callback)
        {
            lock (keepAliveLock) {
                byte result = BeginDeleteEnrolledByFingerIdProcedure(fingerIndex, callback);
                if (result == 2) deletion = callback;
                return result;
            }
        }

        /// <summary>BeginIssueCardProcedure, keeping the delegate alive. 2 started, 16 an
        /// issue is still running.</summary>
        public static byte StartCardIssue(ResultCallback callback)
        {
            lock (keepAliveLock) {
                byte result = BeginIssueCardProcedure(callback);
                if (result == 2) cardIssue = callback;
                return result;
            }
        }

        /// <summary>A copy of a procedure's 8-bit image (width x height bytes), or null.</summary>
        public static byte[] CopyImage(IntPtr image, int width, int height)
        {
            if (image == IntPtr.Zero) return null;
            var copy = new byte[width * height];
            Marshal.Copy(image, copy, 0, copy.Length);
            return copy;
        }

        // ---- The exports, in the order of fpmodule.def --------------------------------

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SendDataTransaction(byte[] commandBlock, byte[] buffer, uint length, uint timeoutSeconds);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte RecvDataTransaction(byte[] commandBlock, byte[] buffer, uint length, uint timeoutSeconds);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SendDataTransactionWithHandle(IntPtr handle, byte[] commandBlock, byte[] buffer, uint length, uint timeoutSeconds);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte RecvDataTransactionWithHandle(IntPtr handle, byte[] commandBlock, byte[] buffer, uint length, uint timeoutSeconds);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte QuerySize(out int width, out int height);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte QuerySize_16(out int width, out int height);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte QuerySizeEx(out int width, out int height, out byte bytesPerPixel);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte QuerySizeWithHandle(IntPtr handle, out int width, out int height);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte QuerySizeWithHandle_16(IntPtr handle, out int width, out int height);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte InititalDevice();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetFirmwareVersion(int offset, int length, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetFirmwareVersionWithHandle(IntPtr handle, int offset, int length, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DoCancel();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte QueryEnrollAmount(int finger, out int amount);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DoEnrollRequest(int finger);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte CheckEnrollStatus();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetEnrollImage(byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte max_enroll_per_finger(out byte count);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DoVerifyRequest(int finger);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetVerifyImage(byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DoIdentifyRequest(out byte finger);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DoIdentifyRequestEx(out byte finger, byte[] image);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetIdentifyImage(byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern int IsFingerOn();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern int FingerStatus(out byte fingerState);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetVerifyPeriod(out uint first, out uint second);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetRawImage(byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetRawImageWithHandle(IntPtr handle, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetCurrentImage(byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetCurrentImageWithHandle(IntPtr handle, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DumpFlashImage(byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DumpFlashImageWithHandle(IntPtr handle, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetBufferImage(int sizeA, int sizeB, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern int SimpleGetImage(byte[] buffer, out int length);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern int SimpleGetImageWithHandle(IntPtr handle, byte[] buffer, out int length);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern int SimpleGetFingerprint(byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte CheckImage(out byte value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SimpleSentImage(byte[] image);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SimpleSentImageWithHandle(IntPtr handle, byte[] image);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern void sew_patch_enable(byte enable);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte OutputBaseImage(byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte OutputBaseImageWithHandle(IntPtr handle, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte OutputCalibrationImage(byte[] buffer, byte index);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte OutputCalibrationImageWithHandle(IntPtr handle, byte[] buffer, byte index);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte EnterSensingMode();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte EnterSensingModeWithHandle(IntPtr handle);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetCurrentData(byte[] record);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetCurrentDataWithHandle(IntPtr handle, byte[] record);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DoCalibration(ushort a, ushort b, ushort c, out ushort value1, out ushort value2, out byte status6Value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DoCalibrationWithHandle(IntPtr handle, ushort a, ushort b, ushort c, out ushort value1, out ushort value2, out byte status6Value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte OutputDAC(out byte dac);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte OutputDACWithHandle(IntPtr handle, out byte dac);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte UpdateBaseImage();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetVCB(out byte vcb);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SetVCB(int value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte smartcard_auto_test(out byte result);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ChangeLEDsStatus(int ledState);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ChangeLEDsStatusWithHandle(IntPtr handle, int ledState);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ChangeDevStatus(int deviceStatus);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SwitchToBoot();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte RfConnection();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte RfConnectionWithHandle(IntPtr handle);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte EnterTestMode();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SE_Test();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte EnterTestModeWithHandle(IntPtr handle);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SE_TestWithHandle(IntPtr handle);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ExitTestMode();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ExitTestModeWithHandle(IntPtr handle);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetG55Status();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetG55StatusWithHandle(IntPtr handle);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetICtype(out ushort first, out ushort second, out byte third);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetICtypeWithHandle(IntPtr handle, out ushort first, out ushort second, out byte third);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SensorIOCheck(out byte detail);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SensorIOCheckWithHandle(IntPtr handle, out byte detail);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ModuleIOCheck(out byte detail);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ModuleIOCheckWithHandle(IntPtr handle, out byte detail);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte CheckCTModule(out byte value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte AcfBondingIoCheck();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte AcfBondingIoCheckWithHandle(IntPtr handle);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ReadRegister(byte address, out byte value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ReadRegisterEx(byte group, byte address, out byte value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ReadRegisterWithHandle(IntPtr handle, byte address, out byte value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte WriteRegister(byte address, byte value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte WriteRegisterEx(byte group, byte address, byte value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte WriteRegisterWithHandle(IntPtr handle, byte address, byte value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte WriteRegisterAsDefault(byte group, byte address, byte value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte WriteRegisterAsDefaultWithHandle(IntPtr handle, byte address, byte value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte EnterWOE();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte EnterWOEWithHandle(IntPtr handle);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ExitWOE();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ExitWOEWithHandle(IntPtr handle);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ReadWOEstatus(out byte first, out byte second, out byte third);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ReadWOEstatusWithHandle(IntPtr handle, out byte first, out byte second, out byte third);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte VendorCodeOperation(byte operation, ref ushort code, byte writeParameter);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte VendorCodeOperationWithHandle(IntPtr handle, byte operation, ref ushort code, byte writeParameter);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte VendorCodeOperationEx(byte operation, byte[] code);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte VendorCodeOperationWithHandleEx(IntPtr handle, byte operation, byte[] code);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern int WriteVendorCode(byte[] code, int count);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetSecureVendorCode(byte[] challenge);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetSecureVendorCodeWithHandle(IntPtr handle, byte[] challenge);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ConfirmSecureVendorCode(ushort code);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ConfirmSecureVendorCodeWithHandle(IntPtr handle, ushort code);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern int ConfirmSecureVendorCodeEx(byte[] code, uint count);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ConfirmSecureVendorCodeWithHandleEx(IntPtr handle, byte[] code);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte FlashOperation(byte operation, ushort length, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte FlashOperationWithHandle(IntPtr handle, byte operation, ushort length, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ProductInfoOperation(byte operation, ushort length, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ProductInfoOperationWithHandle(IntPtr handle, byte operation, ushort length, byte[] buffer);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte RegModuleEx(IntPtr handle, byte selector, byte[] image);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern int Trans16To8Img(byte[] image16, byte[] image8, int width, int height);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DeviceConnection([MarshalAs(UnmanagedType.LPWStr)] string vendor, [MarshalAs(UnmanagedType.LPWStr)] string product);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte CheckDeviceConnection();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte CheckDeviceConnectionNoFwCheck();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte CheckDeviceConnectionWithFirmwareVer([MarshalAs(UnmanagedType.LPWStr)] string acceptedCodes);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte GetDevConnectionByVendorCode(uint vendorCode);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte OpenDevice();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte CloseDevice();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DeviceDisConnection();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ExtractDevicePath([MarshalAs(UnmanagedType.LPWStr)] string vendor, [MarshalAs(UnmanagedType.LPWStr)] string product, IntPtr[] paths, int maxCount, out int foundCount);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte ObtainHandleFromPath(out IntPtr handle, [MarshalAs(UnmanagedType.LPWStr)] string path);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte DoDeleteFingerRequest(int fingerIndex);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SmartCard_delete_finger(int fingerIndex);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte BeginDeleteEnrolledFingerProcedure(ResultCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte BeginDeleteEnrolledByFingerIdProcedure(int fingerIndex, ResultCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SmartCard_Enrollment(int fingerIndex, int captureCount, out int width, out int height, EnrollmentCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte BeginEnrollmentProcedure(int fingerIndex, int captureCount, EnrollmentCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SmartCard_Verify(out int width, out int height, VerifyCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte BeginVerifyProcedure(VerifyCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte StopEnrollmentProcedure();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte StopVerifyProcedure();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SmartCard_StopEnroll();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte SmartCard_StopVerify();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte CompleteEnrollmentProcedure();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte CompleteVerifyProcedure();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte IssueCard();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte CheckCardIssued(out byte issued);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        public static extern byte BeginIssueCardProcedure(ResultCallback callback);
    }
}
