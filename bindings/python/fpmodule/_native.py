"""Loading the fpmodule library and the prototypes of its 137 exports (ctypes)."""

import ctypes
import logging
import os
import struct
import sys
import threading
from ctypes import CFUNCTYPE, POINTER, c_int32, c_ubyte, c_uint16, c_uint32, c_void_p

# The library's callbacks use the C calling convention on every platform.
EnrollmentCallback = CFUNCTYPE(None, POINTER(c_ubyte), POINTER(c_ubyte))
VerifyCallback = CFUNCTYPE(None, POINTER(c_ubyte), POINTER(c_ubyte), POINTER(c_ubyte))
ResultCallback = CFUNCTYPE(None, POINTER(c_ubyte))

# Name: (result type, argument types), in the order of the module-definition file.
PROTOTYPES = {
    "SendDataTransaction": (c_ubyte, [c_void_p, c_void_p, c_uint32, c_uint32]),
    "RecvDataTransaction": (c_ubyte, [c_void_p, c_void_p, c_uint32, c_uint32]),
    "SendDataTransactionWithHandle": (c_ubyte, [c_void_p, c_void_p, c_void_p, c_uint32, c_uint32]),
    "RecvDataTransactionWithHandle": (c_ubyte, [c_void_p, c_void_p, c_void_p, c_uint32, c_uint32]),
    "QuerySize": (c_ubyte, [POINTER(c_int32), POINTER(c_int32)]),
    "QuerySize_16": (c_ubyte, [POINTER(c_int32), POINTER(c_int32)]),
    "QuerySizeEx": (c_ubyte, [POINTER(c_int32), POINTER(c_int32), c_void_p]),
    "QuerySizeWithHandle": (c_ubyte, [c_void_p, POINTER(c_int32), POINTER(c_int32)]),
    "QuerySizeWithHandle_16": (c_ubyte, [c_void_p, POINTER(c_int32), POINTER(c_int32)]),
    "InititalDevice": (c_ubyte, []),
    "GetFirmwareVersion": (c_ubyte, [c_int32, c_int32, c_void_p]),
    "GetFirmwareVersionWithHandle": (c_ubyte, [c_void_p, c_int32, c_int32, c_void_p]),
    "DoCancel": (c_ubyte, []),
    "QueryEnrollAmount": (c_ubyte, [c_int32, POINTER(c_int32)]),
    "DoEnrollRequest": (c_ubyte, [c_int32]),
    "CheckEnrollStatus": (c_ubyte, []),
    "GetEnrollImage": (c_ubyte, [c_void_p]),
    "max_enroll_per_finger": (c_ubyte, [c_void_p]),
    "DoVerifyRequest": (c_ubyte, [c_int32]),
    "GetVerifyImage": (c_ubyte, [c_void_p]),
    "DoIdentifyRequest": (c_ubyte, [c_void_p]),
    "DoIdentifyRequestEx": (c_ubyte, [c_void_p, c_void_p]),
    "GetIdentifyImage": (c_ubyte, [c_void_p]),
    "IsFingerOn": (c_int32, []),
    "FingerStatus": (c_int32, [c_void_p]),
    "GetVerifyPeriod": (c_ubyte, [POINTER(c_uint32), POINTER(c_uint32)]),
    "GetRawImage": (c_ubyte, [c_void_p]),
    "GetRawImageWithHandle": (c_ubyte, [c_void_p, c_void_p]),
    "GetCurrentImage": (c_ubyte, [c_void_p]),
    "GetCurrentImageWithHandle": (c_ubyte, [c_void_p, c_void_p]),
    "DumpFlashImage": (c_ubyte, [c_void_p]),
    "DumpFlashImageWithHandle": (c_ubyte, [c_void_p, c_void_p]),
    "GetBufferImage": (c_ubyte, [c_int32, c_int32, c_void_p]),
    "SimpleGetImage": (c_int32, [c_void_p, POINTER(c_int32)]),
    "SimpleGetImageWithHandle": (c_int32, [c_void_p, c_void_p, POINTER(c_int32)]),
    "SimpleGetFingerprint": (c_int32, [c_void_p]),
    "CheckImage": (c_ubyte, [c_void_p]),
    "SimpleSentImage": (c_ubyte, [c_void_p]),
    "SimpleSentImageWithHandle": (c_ubyte, [c_void_p, c_void_p]),
    "sew_patch_enable": (None, [c_ubyte]),
    "OutputBaseImage": (c_ubyte, [c_void_p]),
    "OutputBaseImageWithHandle": (c_ubyte, [c_void_p, c_void_p]),
    "OutputCalibrationImage": (c_ubyte, [c_void_p, c_ubyte]),
    "OutputCalibrationImageWithHandle": (c_ubyte, [c_void_p, c_void_p, c_ubyte]),
    "EnterSensingMode": (c_ubyte, []),
    "EnterSensingModeWithHandle": (c_ubyte, [c_void_p]),
    "GetCurrentData": (c_ubyte, [c_void_p]),
    "GetCurrentDataWithHandle": (c_ubyte, [c_void_p, c_void_p]),
    "DoCalibration": (c_ubyte, [c_uint16, c_uint16, c_uint16, POINTER(c_uint16), POINTER(c_uint16), c_void_p]),
    "DoCalibrationWithHandle": (c_ubyte, [c_void_p, c_uint16, c_uint16, c_uint16, POINTER(c_uint16), POINTER(c_uint16), c_void_p]),
    "OutputDAC": (c_ubyte, [c_void_p]),
    "OutputDACWithHandle": (c_ubyte, [c_void_p, c_void_p]),
    "UpdateBaseImage": (c_ubyte, []),
    "GetVCB": (c_ubyte, [c_void_p]),
    "SetVCB": (c_ubyte, [c_int32]),
    "smartcard_auto_test": (c_ubyte, [c_void_p]),
    "ChangeLEDsStatus": (c_ubyte, [c_int32]),
    "ChangeLEDsStatusWithHandle": (c_ubyte, [c_void_p, c_int32]),
    "ChangeDevStatus": (c_ubyte, [c_int32]),
    "SwitchToBoot": (c_ubyte, []),
    "RfConnection": (c_ubyte, []),
    "RfConnectionWithHandle": (c_ubyte, [c_void_p]),
    "EnterTestMode": (c_ubyte, []),
    "SE_Test": (c_ubyte, []),
    "EnterTestModeWithHandle": (c_ubyte, [c_void_p]),
    "SE_TestWithHandle": (c_ubyte, [c_void_p]),
    "ExitTestMode": (c_ubyte, []),
    "ExitTestModeWithHandle": (c_ubyte, [c_void_p]),
    "GetG55Status": (c_ubyte, []),
    "GetG55StatusWithHandle": (c_ubyte, [c_void_p]),
    "GetICtype": (c_ubyte, [POINTER(c_uint16), POINTER(c_uint16), c_void_p]),
    "GetICtypeWithHandle": (c_ubyte, [c_void_p, POINTER(c_uint16), POINTER(c_uint16), c_void_p]),
    "SensorIOCheck": (c_ubyte, [c_void_p]),
    "SensorIOCheckWithHandle": (c_ubyte, [c_void_p, c_void_p]),
    "ModuleIOCheck": (c_ubyte, [c_void_p]),
    "ModuleIOCheckWithHandle": (c_ubyte, [c_void_p, c_void_p]),
    "CheckCTModule": (c_ubyte, [c_void_p]),
    "AcfBondingIoCheck": (c_ubyte, []),
    "AcfBondingIoCheckWithHandle": (c_ubyte, [c_void_p]),
    "ReadRegister": (c_ubyte, [c_ubyte, c_void_p]),
    "ReadRegisterEx": (c_ubyte, [c_ubyte, c_ubyte, c_void_p]),
    "ReadRegisterWithHandle": (c_ubyte, [c_void_p, c_ubyte, c_void_p]),
    "WriteRegister": (c_ubyte, [c_ubyte, c_ubyte]),
    "WriteRegisterEx": (c_ubyte, [c_ubyte, c_ubyte, c_ubyte]),
    "WriteRegisterWithHandle": (c_ubyte, [c_void_p, c_ubyte, c_ubyte]),
    "WriteRegisterAsDefault": (c_ubyte, [c_ubyte, c_ubyte, c_ubyte]),
    "WriteRegisterAsDefaultWithHandle": (c_ubyte, [c_void_p, c_ubyte, c_ubyte]),
    "EnterWOE": (c_ubyte, []),
    "EnterWOEWithHandle": (c_ubyte, [c_void_p]),
    "ExitWOE": (c_ubyte, []),
    "ExitWOEWithHandle": (c_ubyte, [c_void_p]),
    "ReadWOEstatus": (c_ubyte, [c_void_p, c_void_p, c_void_p]),
    "ReadWOEstatusWithHandle": (c_ubyte, [c_void_p, c_void_p, c_void_p, c_void_p]),
    "VendorCodeOperation": (c_ubyte, [c_ubyte, POINTER(c_uint16), c_ubyte]),
    "VendorCodeOperationWithHandle": (c_ubyte, [c_void_p, c_ubyte, POINTER(c_uint16), c_ubyte]),
    "VendorCodeOperationEx": (c_ubyte, [c_ubyte, c_void_p]),
    "VendorCodeOperationWithHandleEx": (c_ubyte, [c_void_p, c_ubyte, c_void_p]),
    "WriteVendorCode": (c_int32, [c_void_p, c_int32]),
    "GetSecureVendorCode": (c_ubyte, [c_void_p]),
    "GetSecureVendorCodeWithHandle": (c_ubyte, [c_void_p, c_void_p]),
    "ConfirmSecureVendorCode": (c_ubyte, [c_uint16]),
    "ConfirmSecureVendorCodeWithHandle": (c_ubyte, [c_void_p, c_uint16]),
    "ConfirmSecureVendorCodeEx": (c_int32, [c_void_p, c_uint32]),
    "ConfirmSecureVendorCodeWithHandleEx": (c_ubyte, [c_void_p, c_void_p]),
    "FlashOperation": (c_ubyte, [c_ubyte, c_uint16, c_void_p]),
    "FlashOperationWithHandle": (c_ubyte, [c_void_p, c_ubyte, c_uint16, c_void_p]),
    "ProductInfoOperation": (c_ubyte, [c_ubyte, c_uint16, c_void_p]),
    "ProductInfoOperationWithHandle": (c_ubyte, [c_void_p, c_ubyte, c_uint16, c_void_p]),
    "RegModuleEx": (c_ubyte, [c_void_p, c_ubyte, c_void_p]),
    "Trans16To8Img": (c_int32, [c_void_p, c_void_p, c_int32, c_int32]),
    "DeviceConnection": (c_ubyte, [c_void_p, c_void_p]),
    "CheckDeviceConnection": (c_ubyte, []),
    "CheckDeviceConnectionNoFwCheck": (c_ubyte, []),
    "CheckDeviceConnectionWithFirmwareVer": (c_ubyte, [c_void_p]),
    "GetDevConnectionByVendorCode": (c_ubyte, [c_uint32]),
    "OpenDevice": (c_ubyte, []),
    "CloseDevice": (c_ubyte, []),
    "DeviceDisConnection": (c_ubyte, []),
    "ExtractDevicePath": (c_ubyte, [c_void_p, c_void_p, POINTER(c_void_p), c_int32, POINTER(c_int32)]),
    "ObtainHandleFromPath": (c_ubyte, [POINTER(c_void_p), c_void_p]),
    "DoDeleteFingerRequest": (c_ubyte, [c_int32]),
    "SmartCard_delete_finger": (c_ubyte, [c_int32]),
    "BeginDeleteEnrolledFingerProcedure": (c_ubyte, [ResultCallback]),
    "BeginDeleteEnrolledByFingerIdProcedure": (c_ubyte, [c_int32, ResultCallback]),
    "SmartCard_Enrollment": (c_ubyte, [c_int32, c_int32, POINTER(c_int32), POINTER(c_int32), EnrollmentCallback]),
    "BeginEnrollmentProcedure": (c_ubyte, [c_int32, c_int32, EnrollmentCallback]),
    "SmartCard_Verify": (c_ubyte, [POINTER(c_int32), POINTER(c_int32), VerifyCallback]),
    "BeginVerifyProcedure": (c_ubyte, [VerifyCallback]),
    "StopEnrollmentProcedure": (c_ubyte, []),
    "StopVerifyProcedure": (c_ubyte, []),
    "SmartCard_StopEnroll": (c_ubyte, []),
    "SmartCard_StopVerify": (c_ubyte, []),
    "CompleteEnrollmentProcedure": (c_ubyte, []),
    "CompleteVerifyProcedure": (c_ubyte, []),
    "IssueCard": (c_ubyte, []),
    "CheckCardIssued": (c_ubyte, [c_void_p]),
    "BeginIssueCardProcedure": (c_ubyte, [ResultCallback]),
}

_WINDOWS = sys.platform == "win32"
PRODUCT_NAME = "fpmodule.dll" if _WINDOWS else "libfpmodule.so"
VIRTUAL_NAME = "fpmodule-virtual.dll" if _WINDOWS else "libfpmodule-virtual.so"
# The build a process can load is the one of its own pointer size: the SDK's x64 folder
# for a 64-bit interpreter, its x86 folder for a 32-bit one.
BITS = struct.calcsize("P") * 8
ARCHITECTURE = "x64" if BITS == 64 else "x86"

_loaded = {}
_loading = threading.Lock()


def library_path(path=None, virtual=False):
    """The file to load: `path`, else FPMODULE_LIBRARY, else, when FPMODULE_SDK names the
    unpacked Windows SDK, the DLL of its folder for this interpreter's pointer size
    (x64/bin or x86/bin), else the product's (or, with `virtual`, the virtual library's)
    name on the loader's search path."""
    if path:
        return os.fspath(path)
    if os.environ.get("FPMODULE_LIBRARY"):
        return os.environ["FPMODULE_LIBRARY"]
    name = VIRTUAL_NAME if virtual else PRODUCT_NAME
    if _WINDOWS and os.environ.get("FPMODULE_SDK"):
        return os.path.join(os.environ["FPMODULE_SDK"], ARCHITECTURE, "bin", name)
    return name


def _machine_bits(name):
    """32 or 64 for a Windows DLL file's machine, None when it cannot be read."""
    try:
        with open(name, "rb") as f:
            header = f.read(4096)
    except OSError:
        return None
    if len(header) < 0x40 or header[:2] != b"MZ":
        return None
    pe = struct.unpack_from("<I", header, 0x3C)[0]
    if pe + 6 > len(header) or header[pe:pe + 4] != b"PE\0\0":
        return None
    machine = struct.unpack_from("<H", header, pe + 4)[0]
    return {0x14C: 32, 0x8664: 64}.get(machine)


def _loaded_path(library, name):
    """The file the loader mapped for `library` (found on its search path, perhaps)."""
    if _WINDOWS:
        buffer = ctypes.create_unicode_buffer(32768)
        get_name = ctypes.windll.kernel32.GetModuleFileNameW
        get_name.argtypes = [c_void_p, ctypes.c_wchar_p, c_uint32]
        get_name.restype = c_uint32
        if get_name(library._handle, buffer, len(buffer)):
            return buffer.value
    return os.path.abspath(name) if os.path.exists(name) else name


def _wrong_size(what):
    return OSError(f"{what} and this Python is {BITS}-bit: load the {ARCHITECTURE} fpmodule DLL "
                   f"(the SDK's {ARCHITECTURE} folder)")


def describe(library):
    """Which library a process loaded: its file and pointer size."""
    path = getattr(library, "fpmodule_path", library._name)
    return f"{path} ({getattr(library, 'fpmodule_bits', BITS)}-bit)"


def load(path=None, virtual=False):
    """Loads the library once per file and declares every export's prototype."""
    name = library_path(path, virtual)
    with _loading:
        if name in _loaded:
            return _loaded[name]
        bits = _machine_bits(name) if _WINDOWS else None
        if bits is not None and bits != BITS:
            raise _wrong_size(f"{name} is the {bits}-bit fpmodule DLL")
        try:
            library = ctypes.CDLL(name)
        except OSError as error:
            # 193: the loader found a DLL of the other pointer size on its search path.
            if getattr(error, "winerror", None) == 193:
                raise _wrong_size(f"{name} is of the other pointer size") from error
            raise
        # Which build this process took: the file the loader mapped and its pointer size.
        library.fpmodule_path = _loaded_path(library, name)
        library.fpmodule_bits = BITS
        logging.getLogger("fpmodule").info("loaded %s", describe(library))
        for export, (result, arguments) in PROTOTYPES.items():
            function = getattr(library, export)
            function.restype = result
            function.argtypes = arguments
        _loaded[name] = library
        return library
