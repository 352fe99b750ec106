"""The fingerprint module from Python: a `Module` object over the fpmodule library.

    import fpmodule
    with fpmodule.Module(virtual=True).connect() as module:
        module.enroll(1)
        print(module.identify())        # 1

The library is found as `fpmodule.load` says (an argument, FPMODULE_LIBRARY, or the
usual file name). Only ctypes is used; images are bytes with their width and height.
The connection is the library's one process-wide connection: use one `Module` at a time.
Every export stays reachable, with its prototype, as `Module.lib.<name>`.
"""

import ctypes
import threading
import time
from ctypes import byref, c_int32, c_ubyte, c_void_p
from dataclasses import dataclass

from ._native import (ARCHITECTURE, EnrollmentCallback, ResultCallback, VerifyCallback,
                      describe, library_path, load)
from ._version import version as _version

__version__ = _version()

__all__ = [
    "Module", "Image", "Procedure", "load", "library_path", "describe", "ARCHITECTURE",
    "FpModuleError", "NoModuleError", "DeviceListUnavailableError", "FakeFingerError",
    "CancelledError", "ProcedureRunningError",
]

CODE_OK = 1
CODE_ERROR = 2
CODE_BUSY = 3
CODE_MATCH = 5
CODE_NO_MATCH = 6
CODE_FAKE_FINGER = 7
CODE_CANCELING = 8
CODE_UNKNOWN_CMD = 9
EVENT_ENROLL_COMPLETE = 17
EVENT_WAIT_FINGER = 18
EVENT_CAPTURE_ACCEPTED = 19
EVENT_CANCELED = 20

ALL_FINGERS = 0xFF
_PROCEDURE_RUNNING = 16
_TICK_SECONDS = 0.1
_FINISHING_SECONDS = 2.0
_PATH_CHARACTERS = 256


class FpModuleError(Exception):
    """An export refused or failed; `function` names it and `result` is what it returned.
    The library's diagnostic log (SmartCard_Log beside the executable) has the detail."""

    def __init__(self, function, result, message=None):
        self.function = function
        self.result = result
        super().__init__(message or f"{function} failed (result {result})")


class NoModuleError(FpModuleError):
    """No module was connected: none present, more than one, or one that a test refused."""


class DeviceListUnavailableError(NoModuleError):
    """The host's device list could not be read (on Linux: the sg driver or permissions)."""


class FakeFingerError(FpModuleError):
    """The module rejected the finger as not genuine; `image` is its capture, if read."""

    def __init__(self, function, result, image=None):
        super().__init__(function, result, f"{function}: the finger was rejected as not genuine")
        self.image = image


class CancelledError(FpModuleError):
    """A stop function ended the wait."""


class ProcedureRunningError(FpModuleError):
    """A background procedure of the same kind is still running."""


@dataclass(frozen=True)
class Image:
    """width x height pixels, rows top to bottom; 16-bit pixels are low byte first."""

    width: int
    height: int
    bytes_per_pixel: int
    data: bytes

    def pixel(self, x, y):
        at = (y * self.width + x) * self.bytes_per_pixel
        return int.from_bytes(self.data[at:at + self.bytes_per_pixel], "little")

    def save_png(self, path):
        """Saves a greyscale PNG (16-bit for a 16-bit image). Needs Pillow."""
        try:
            from PIL import Image as PillowImage
        except ImportError as missing:
            raise RuntimeError("saving PNG needs Pillow (python3-pil)") from missing
        mode = "L" if self.bytes_per_pixel == 1 else "I;16"
        PillowImage.frombytes(mode, (self.width, self.height), self.data).save(path, format="PNG")


def _wide(text):
    """A NUL-terminated UTF-16 string, as the library takes names and paths."""
    return ctypes.create_string_buffer((text + "\0").encode("utf-16-le"))


def _narrow(buffer):
    raw = bytes(buffer)
    end = next((i for i in range(0, len(raw), 2) if raw[i:i + 2] == b"\0\0"), len(raw))
    return raw[:end].decode("utf-16-le", errors="replace")


# Procedures whose callbacks the library may still call, by kind. A procedure stays here
# until the next one of its kind has started, which the library allows only once the
# previous one is over: its callback object is never collected while it can be called.
_running = {}


class Procedure:
    """A background procedure: the events it reported so far and its final result."""

    def __init__(self, module, kind, stop_function):
        self.module = module
        self.kind = kind
        self.events = []            # event codes in the order they came
        self.images = []            # copies of the images that came with them
        self.result = None          # the final event or result
        self.finger = None          # a verification's matching finger index
        self.error = None           # the first exception raised by the caller's callback
        self._stop = stop_function
        self._done = threading.Event()
        self._callback = None       # the ctypes callback object, kept alive
        self._size = None           # width and height of its images (c_int32 each)

    @property
    def done(self):
        return self._done.is_set()

    def wait(self, timeout=None):
        """Waits for the final event and returns it; re-raises what the caller's callback
        raised. TimeoutError when it did not end within `timeout` seconds."""
        if not self._done.wait(timeout):
            raise TimeoutError(f"the {self.kind} procedure did not end within {timeout} s")
        if self.error:
            raise self.error
        return self.result

    def stop(self):
        """Ends the wait for the finger (enrolment, verification)."""
        if self._stop is None:
            raise TypeError(f"a {self.kind} procedure cannot be stopped")
        return getattr(self.module.lib, self._stop)()

    def _record(self, event, image, user_callback, *arguments):
        self.events.append(event)
        if image is not None:
            self.images.append(image)
        if user_callback is not None:
            try:
                user_callback(*arguments)
            except BaseException as raised:  # an exception must not unwind into the library
                self.error = self.error or raised

    def _image(self, pointer):
        """A copy of an 8-bit image the library handed to the callback, or None."""
        if not pointer or self._size is None:
            return None
        width, height = self._size[0].value, self._size[1].value
        return Image(width, height, 1, ctypes.string_at(pointer, width * height))

    def _finish(self, result):
        self.result = result
        self._done.set()


def _enrollment_final(previous, event, has_image):
    """Whether an enrolment event ends the procedure (the event order of fpmodule.h)."""
    if event in (EVENT_ENROLL_COMPLETE, EVENT_CANCELED):
        return True
    if event in (EVENT_WAIT_FINGER, EVENT_CAPTURE_ACCEPTED, CODE_CANCELING) or has_image:
        return False
    if event == CODE_OK:
        return True                  # the accepted capture's image could not be read
    if event == CODE_FAKE_FINGER:
        return previous == CODE_FAKE_FINGER
    # A status answered to a capture is reported as it comes and again at the end; a
    # failure before any capture is reported once.
    return previous != EVENT_WAIT_FINGER


class Module:
    """The module, on the library's process-wide connection."""

    def __init__(self, library=None, *, virtual=False):
        """`library`: a path, a loaded library, or None (FPMODULE_LIBRARY or the usual
        name; `virtual` picks fpmodule-virtual)."""
        self.lib = library if isinstance(library, ctypes.CDLL) else load(library, virtual)
        self.library = describe(self.lib)   # which file, 32- or 64-bit
        self.width = None
        self.height = None
        self.bytes_per_pixel = 1

    # ---- finding and connecting ----------------------------------------------------

    def paths(self, vendor="wexa", product="finger_module", limit=64):
        """The paths of the interfaces that hold "ven_<vendor>" and "prod_<product>"."""
        buffers = [ctypes.create_string_buffer(_PATH_CHARACTERS * 2) for _ in range(limit)]
        slots = (c_void_p * limit)(*[ctypes.addressof(b) for b in buffers])
        found = c_int32(0)
        result = self.lib.ExtractDevicePath(_wide(vendor), _wide(product), slots, limit, byref(found))
        if result == 0:
            raise DeviceListUnavailableError("ExtractDevicePath", result)
        if result != 1:
            return []
        return [_narrow(buffers[i]) for i in range(min(found.value, limit))]

    def connect(self, *, firmware_check=True, families=None, vendor_code=None, switch_on=False):
        """Connects to the one module present and queries its size. `families` ("WA WB")
        replaces the build's accepted firmware families, `firmware_check=False` skips the
        test, `vendor_code` also requires that code; `switch_on` connects with OpenDevice.
        Returns the module, for `with Module().connect() as module:`."""
        if switch_on:
            name, result = "OpenDevice", self.lib.OpenDevice()
        elif vendor_code is not None:
            name, result = "GetDevConnectionByVendorCode", self.lib.GetDevConnectionByVendorCode(vendor_code)
        elif families is not None:
            name = "CheckDeviceConnectionWithFirmwareVer"
            result = self.lib.CheckDeviceConnectionWithFirmwareVer(_wide(families))
        elif not firmware_check:
            name, result = "CheckDeviceConnectionNoFwCheck", self.lib.CheckDeviceConnectionNoFwCheck()
        else:
            name, result = "CheckDeviceConnection", self.lib.CheckDeviceConnection()
        if result != 1:
            raise NoModuleError(name, result, f"{name}: no module connected (result {result})")
        self.size()
        return self

    def connect_by_name(self, vendor="wexa", product="finger_module"):
        """Connects to the first interface with those names (DeviceConnection)."""
        result = self.lib.DeviceConnection(_wide(vendor), _wide(product))
        if result == 0:
            raise DeviceListUnavailableError("DeviceConnection", result)
        if result != 1:
            raise NoModuleError("DeviceConnection", result)
        self.size()
        return self

    def close(self):
        """Switches the device status off and closes the module (CloseDevice)."""
        self.width = self.height = None
        return self.lib.CloseDevice() == 1

    def disconnect(self):
        """Closes the module without sending it anything."""
        self.width = self.height = None
        return self.lib.DeviceDisConnection() == 1

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()
        return False

    # ---- what the module is ------------------------------------------------------------

    def firmware_version(self):
        """The 128-byte firmware version record."""
        record = (c_ubyte * 128)()
        self._check("GetFirmwareVersion", self.lib.GetFirmwareVersion(0, 128, record))
        return bytes(record)

    @property
    def firmware_text(self):
        return self.firmware_version().split(b"\0", 1)[0].decode("ascii", errors="replace")

    @property
    def family(self):
        """The firmware family code: bytes 9 and 10 of the version record."""
        return self.firmware_version()[9:11].decode("ascii", errors="replace")

    def size(self):
        """(width, height, bytes per pixel) of the sensor; kept for the image reads."""
        width, height, depth = c_int32(), c_int32(), c_ubyte()
        self._check("QuerySizeEx", self.lib.QuerySizeEx(byref(width), byref(height), byref(depth)))
        self.width, self.height, self.bytes_per_pixel = width.value, height.value, depth.value
        return self.width, self.height, self.bytes_per_pixel

    def captures_per_finger(self):
        count = c_ubyte()
        self._check("max_enroll_per_finger", self.lib.max_enroll_per_finger(byref(count)))
        return count.value

    # ---- enrolment, verification, identification, deletion -------------------------

    def enrolled_captures(self, finger):
        """How many captures the module holds for a finger index."""
        amount = c_int32()
        self._check("QueryEnrollAmount", self.lib.QueryEnrollAmount(finger, byref(amount)))
        return amount.value

    def enroll_capture(self, finger):
        """One enrolment capture; returns its image. FakeFingerError, CancelledError."""
        self._check("DoEnrollRequest", self.lib.DoEnrollRequest(finger))
        status = self.lib.CheckEnrollStatus()
        if status == CODE_CANCELING:
            raise CancelledError("CheckEnrollStatus", status)
        if status == CODE_FAKE_FINGER:
            raise FakeFingerError("CheckEnrollStatus", status, self._read("GetEnrollImage", quiet=True))
        self._check("CheckEnrollStatus", status)
        return self._read("GetEnrollImage")

    def enroll(self, finger, captures=None):
        """All captures of one finger (as many as the module takes when not given)."""
        count = self.captures_per_finger() if captures is None else captures
        return [self.enroll_capture(finger) for _ in range(count)]

    def verify(self, finger):
        """True when the finger on the sensor is the enrolled `finger`."""
        result = self.lib.DoVerifyRequest(finger)
        return self._verdict("DoVerifyRequest", result)

    def identify(self, image=None):
        """The enrolled finger index that the finger on the sensor (or `image`, uploaded)
        matches, or None."""
        finger = c_ubyte()
        if image is None:
            result = self.lib.DoIdentifyRequest(byref(finger))
        else:
            result = self.lib.DoIdentifyRequestEx(byref(finger), self._buffer_of(image))
        name = "DoIdentifyRequest" if image is None else "DoIdentifyRequestEx"
        return finger.value if self._verdict(name, result) else None

    def finger_on(self):
        result = self.lib.IsFingerOn()
        if result < 0:
            raise FpModuleError("IsFingerOn", result)
        return result == 1

    def delete(self, finger=ALL_FINGERS):
        """Deletes one finger index, or every finger."""
        if finger == ALL_FINGERS:
            self._check("SmartCard_delete_finger", self.lib.SmartCard_delete_finger(ALL_FINGERS))
        else:
            self._check("DoDeleteFingerRequest", self.lib.DoDeleteFingerRequest(finger))

    def cancel(self):
        """Stops the enrolment or identification command another thread waits in."""
        return self.lib.DoCancel() == 1

    # ---- card ---------------------------------------------------------------------

    def issue_card(self):
        self._check("IssueCard", self.lib.IssueCard())

    @property
    def card_issued(self):
        issued = c_ubyte()
        self._check("CheckCardIssued", self.lib.CheckCardIssued(byref(issued)))
        return issued.value == 1

    # ---- images -----------------------------------------------------------------------

    def current_image(self):
        return self._read("GetCurrentImage")

    def raw_image(self):
        return self._read("GetRawImage")

    def base_image(self):
        return self._read("OutputBaseImage")

    def convert_to_8bit(self, image):
        """The 8-bit fingerprint image of a 16-bit capture (Trans16To8Img)."""
        if image.bytes_per_pixel != 2:
            raise ValueError("only a 16-bit image converts to 8 bits")
        out = (c_ubyte * (image.width * image.height))()
        result = self.lib.Trans16To8Img(image.data, out, image.width, image.height)
        if result != 0:
            raise FpModuleError("Trans16To8Img", result)
        return Image(image.width, image.height, 1, bytes(out))

    # ---- background procedures --------------------------------------------------------

    def start_enrollment(self, finger, captures, callback=None, *, connect=False):
        """Enrols on a worker thread of the library. `callback(event, image)` runs there
        for every step (image: an 8-bit Image or None). With `connect`, the library
        connects, switches the module on and queries the size itself
        (SmartCard_Enrollment). The final event's image is released for you."""
        procedure = Procedure(self, "enrollment", "StopEnrollmentProcedure")
        previous = [None]

        def report(event_pointer, image_pointer):
            event = event_pointer[0]
            image = procedure._image(image_pointer)
            procedure._record(event, image, callback, event, image)
            final = _enrollment_final(previous[0], event, image is not None)
            previous[0] = event
            if final:
                self.lib.CompleteEnrollmentProcedure()
                procedure._finish(event)

        procedure._callback = EnrollmentCallback(report)
        return self._launch(procedure, connect,
                            ("BeginEnrollmentProcedure",
                             lambda: self.lib.BeginEnrollmentProcedure(finger, captures, procedure._callback)),
                            ("SmartCard_Enrollment",
                             lambda width, height: self.lib.SmartCard_Enrollment(finger, captures, width, height,
                                                                                 procedure._callback)))

    def start_verification(self, callback=None, *, connect=False):
        """Identifies the finger on the sensor on a worker thread. `callback(event,
        finger, image)`; the procedure's `result` is CODE_MATCH (with `finger`),
        CODE_NO_MATCH, EVENT_CANCELED or CODE_ERROR."""
        procedure = Procedure(self, "verification", "SmartCard_StopVerify")

        def report(event_pointer, finger_pointer, image_pointer):
            event = event_pointer[0]
            finger = finger_pointer[0] if finger_pointer else None
            image = procedure._image(image_pointer)
            procedure._record(event, image, callback, event, finger, image)
            if event not in (EVENT_WAIT_FINGER, CODE_CANCELING):
                procedure.finger = finger if event == CODE_MATCH else None
                self.lib.CompleteVerifyProcedure()
                procedure._finish(event)

        procedure._callback = VerifyCallback(report)
        return self._launch(procedure, connect,
                            ("BeginVerifyProcedure", lambda: self.lib.BeginVerifyProcedure(procedure._callback)),
                            ("SmartCard_Verify",
                             lambda width, height: self.lib.SmartCard_Verify(width, height, procedure._callback)))

    def start_delete(self, finger=ALL_FINGERS, callback=None):
        """Deletes one finger index (or all) on a worker thread; `callback(result)`."""
        procedure = self._result_procedure("delete", callback)
        if finger == ALL_FINGERS:
            return self._started("BeginDeleteEnrolledFingerProcedure",
                                 lambda: self.lib.BeginDeleteEnrolledFingerProcedure(procedure._callback),
                                 procedure, started=2)
        return self._started("BeginDeleteEnrolledByFingerIdProcedure",
                             lambda: self.lib.BeginDeleteEnrolledByFingerIdProcedure(finger, procedure._callback),
                             procedure, started=2)

    def start_card_issue(self, callback=None):
        """Issues the card on a worker thread; `callback(result)`. The library closes
        the module afterwards: connect again for further commands."""
        procedure = self._result_procedure("card issue", callback)
        self.width = self.height = None
        return self._started("BeginIssueCardProcedure",
                             lambda: self.lib.BeginIssueCardProcedure(procedure._callback), procedure, started=2)

    # ---- helpers ------------------------------------------------------------------------

    def _result_procedure(self, kind, callback):
        procedure = Procedure(self, kind, None)

        def report(result_pointer):
            result = result_pointer[0]
            procedure._record(result, None, callback, result)
            procedure._finish(result)

        procedure._callback = ResultCallback(report)
        return procedure

    def _launch(self, procedure, connect, plain, connecting):
        """Starts an enrolment or verification: `plain` (name, start()) on the open module,
        or with `connect`, `connecting` (name, start(width, height)), which connects,
        switches the module on and reports the size itself (before its worker starts)."""
        width, height = c_int32(), c_int32()
        procedure._size = (width, height)
        if connect:
            self.width = self.height = None  # the library's own connection: asked again when needed
            name, start = connecting
            return self._started(name, lambda: start(byref(width), byref(height)), procedure)
        self._require_size()
        width.value, height.value = self.width, self.height
        return self._started(*plain, procedure)

    def _started(self, name, start, procedure, started=1):
        """Starts a procedure with `start()`. A previous one of its kind that has already
        reported its result still counts as running until its callback has returned: it
        is given a moment to do so (the verification's start then answers 2, not 16)."""
        previous = _running.get(procedure.kind)
        deadline = time.monotonic() + _FINISHING_SECONDS
        result = start()
        while result != started and previous and previous.done and time.monotonic() < deadline:
            time.sleep(_TICK_SECONDS)
            result = start()
        if result == started:
            _running[procedure.kind] = procedure
            return procedure
        if result == _PROCEDURE_RUNNING:
            raise ProcedureRunningError(name, result, f"{name}: a {procedure.kind} procedure is still running")
        raise FpModuleError(name, result)

    def _require_size(self):
        if self.width is None:
            self.size()

    def _read(self, function, quiet=False):
        """One image read into a buffer of the stored geometry."""
        self._require_size()
        buffer = (c_ubyte * (self.width * self.height * self.bytes_per_pixel))()
        result = getattr(self.lib, function)(buffer)
        if result != 1:
            if quiet:
                return None
            raise FpModuleError(function, result)
        return Image(self.width, self.height, self.bytes_per_pixel, bytes(buffer))

    def _buffer_of(self, image):
        self._require_size()
        if (image.width, image.height, image.bytes_per_pixel) != (self.width, self.height, self.bytes_per_pixel):
            raise ValueError(f"the module takes {self.width} x {self.height} x {self.bytes_per_pixel} images")
        return image.data

    @staticmethod
    def _verdict(function, result):
        if result == CODE_MATCH:
            return True
        if result == CODE_NO_MATCH:
            return False
        if result == CODE_FAKE_FINGER:
            raise FakeFingerError(function, result)
        if result == CODE_CANCELING:
            raise CancelledError(function, result)
        raise FpModuleError(function, result)

    @staticmethod
    def _check(function, result):
        if result != 1:
            raise FpModuleError(function, result)
