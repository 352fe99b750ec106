/*
 * fpmodule: host library for the USB fingerprint module of a fingerprint smart card.
 *
 * Every function has C linkage and the C calling convention (the caller removes the
 * arguments); every argument is 32 bits wide in the 32-bit Windows build. Most functions
 * return a result byte: 1 success, 2 failure, other values where a function says so.
 * Failure detail never travels through the result: it goes to the diagnostic log in the
 * folder "SmartCard_Log" beside the calling executable (written once a connect function
 * or ExtractDevicePath has prepared it).
 *
 * Plain functions act on the one process-wide connection; a function whose name ends in
 * WithHandle takes a module handle of the caller's (see ObtainHandleFromPath) as its
 * first argument and otherwise behaves exactly as its plain twin.
 */
#ifndef FPMODULE_H
#define FPMODULE_H

#include <stdint.h>

#ifdef _WIN32
#include <wchar.h>
#define FPM_CALL __cdecl
typedef wchar_t FPM_WCHAR;   /* UTF-16 */
#else
#define FPM_CALL
#ifdef __cplusplus
typedef char16_t FPM_WCHAR;  /* UTF-16 */
#else
#include <uchar.h>
typedef char16_t FPM_WCHAR;
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A module handle: a Windows HANDLE in the Windows build, an opaque value elsewhere.
 * Null means "never connected or closed"; FPM_INVALID_HANDLE means "the last connect
 * attempt failed". */
typedef void *FPM_HANDLE;
#define FPM_INVALID_HANDLE ((FPM_HANDLE)(intptr_t)-1)

/* The result byte of most exports. */
typedef unsigned char FPM_RESULT;

/* Status codes of the module's replies (byte 1 of a reply). */
#define CODE_OK           1
#define CODE_ERROR        2
#define CODE_BUSY         3
#define CODE_MATCH        5
#define CODE_NO_MATCH     6
#define CODE_FAKE_FINGER  7
#define CODE_CANCELING    8
#define CODE_UNKNOWN_CMD  9

/* Events of the background procedures beyond the module's own status codes. */
#define EVENT_ENROLL_COMPLETE   17
#define EVENT_WAIT_FINGER       18
#define EVENT_CAPTURE_ACCEPTED  19
#define EVENT_CANCELED          20

/* Callbacks run on the library's worker thread. Every pointer is valid only during the
 * call, except the image of a final event, which stays valid until the matching
 * complete function is called. */
typedef void (FPM_CALL *EnrollmentCallback)(unsigned char *event, unsigned char *image);
typedef void (FPM_CALL *VerifyCallback)(unsigned char *event, unsigned char *fingerIndex,
                                        unsigned char *image);
typedef void (FPM_CALL *ResultCallback)(unsigned char *result);

/* ---- Transfers ------------------------------------------------------------------
 * One SCSI pass-through request carrying a 16-byte vendor command block, followed by a
 * data phase of `length` bytes to the module (Send) or from it (Recv). `buffer` is used
 * in place and must hold `length` bytes. Length and time-out (seconds) are passed
 * through unchanged. Result 1 when the request went through, 2 when it failed; the
 * outcome of the command itself is in the module's reply. No log line, no retry. */
FPM_RESULT FPM_CALL SendDataTransaction(const unsigned char *commandBlock, unsigned char *buffer,
                                        uint32_t length, uint32_t timeoutSeconds);
FPM_RESULT FPM_CALL RecvDataTransaction(const unsigned char *commandBlock, unsigned char *buffer,
                                        uint32_t length, uint32_t timeoutSeconds);
FPM_RESULT FPM_CALL SendDataTransactionWithHandle(FPM_HANDLE handle, const unsigned char *commandBlock,
                                                  unsigned char *buffer, uint32_t length,
                                                  uint32_t timeoutSeconds);
FPM_RESULT FPM_CALL RecvDataTransactionWithHandle(FPM_HANDLE handle, const unsigned char *commandBlock,
                                                  unsigned char *buffer, uint32_t length,
                                                  uint32_t timeoutSeconds);

/* ---- Size queries, initialisation, firmware version, cancel ----------------------
 * The size queries write the sensor's width and height (0 to 255) and keep the image
 * geometry that the image functions use. They poll while the module is busy, with no
 * overall limit, and log "QuerySize : <reason>" on failure.
 *   QuerySize / QuerySizeEx: bytes per pixel 2 when the module says so, else 1
 *   (QuerySizeEx also writes it to *bytesPerPixel).
 *   QuerySize_16: bytes per pixel 2 whatever the module says.
 *   QuerySizeWithHandle: keeps the bytes per pixel of the last plain query.
 *   QuerySizeWithHandle_16: writes the module's values to the caller but keeps twice
 *   each as the library's geometry.
 * A null output pointer gives 2 without any transfer. */
FPM_RESULT FPM_CALL QuerySize(int32_t *width, int32_t *height);
FPM_RESULT FPM_CALL QuerySize_16(int32_t *width, int32_t *height);
FPM_RESULT FPM_CALL QuerySizeEx(int32_t *width, int32_t *height, unsigned char *bytesPerPixel);
FPM_RESULT FPM_CALL QuerySizeWithHandle(FPM_HANDLE handle, int32_t *width, int32_t *height);
FPM_RESULT FPM_CALL QuerySizeWithHandle_16(FPM_HANDLE handle, int32_t *width, int32_t *height);

/* Initialises the module. 1 on CODE_OK, 2 otherwise. Polls while busy. */
FPM_RESULT FPM_CALL InititalDevice(void);

/* Copies `length` bytes of the module's 128-byte firmware version record, starting at
 * `offset`, into `buffer`. 1 when the module's record was read, 2 when the transfer
 * failed ("GetFirmwareVersion : RecvDataTransaction Fail"). A null buffer, a negative
 * offset or length, or a range reaching past byte 127 gives 2 with nothing sent and
 * nothing copied. */
FPM_RESULT FPM_CALL GetFirmwareVersion(int32_t offset, int32_t length, unsigned char *buffer);
FPM_RESULT FPM_CALL GetFirmwareVersionWithHandle(FPM_HANDLE handle, int32_t offset, int32_t length,
                                                 unsigned char *buffer);

/* Asks the module to abandon the command another thread is waiting on: the waiting
 * command returns with its cancel result, then the module gets the cancel command.
 * Calls the running verification's callback with the event CODE_CANCELING. Waits, without
 * a limit, while a cancellable command is still exchanging and while the module is busy.
 * 1 on CODE_OK, 2 otherwise. */
FPM_RESULT FPM_CALL DoCancel(void);


/* ---- Finding, connecting and closing the module -----------------------------------
 * The module is the host's disk interface whose path holds both "ven_wexa" and
 * "prod_finger_module" (compared case-sensitively, anywhere in the path). Each connect
 * function first prepares the log folder and writes the line "DeviceConnection"; on
 * success the plain functions use the module, and the sensor's defect-pixel map has
 * been rebuilt. The connection is then Open; a connect whose open fails or whose module
 * a test rejects leaves it Failed (FPM_INVALID_HANDLE); CloseDevice and
 * DeviceDisConnection leave it Closed (null). A connect that finds no module leaves it
 * as it was.
 *
 * Vendor and product strings fit in 123 and 122 characters; longer or null strings are
 * refused with 2. */

/* Connects to the first interface whose path holds "ven_<vendor>" and
 * "prod_<product>", closing a module held before. 1 connected; 2 no such interface,
 * open failed, or the defect-pixel map failed (the module then stays open); 0 the host's
 * device list is unavailable. */
FPM_RESULT FPM_CALL DeviceConnection(const FPM_WCHAR *vendor, const FPM_WCHAR *product);

/* Connects to the module when exactly one is present and its firmware family (bytes 9
 * and 10 of the firmware version record) is one of the four this build accepts.
 * Two modules present: a held module is closed and 2 returned. 1 connected, 2 otherwise
 * (no module, open failed, family not accepted, defect-pixel map failed). */
FPM_RESULT FPM_CALL CheckDeviceConnection(void);
/* As CheckDeviceConnection, without the firmware test. */
FPM_RESULT FPM_CALL CheckDeviceConnectionNoFwCheck(void);
/* As CheckDeviceConnection, accepting the module when its two-character family code
 * occurs anywhere in `acceptedCodes` (e.g. L"WA WB"). A null string gives 2. */
FPM_RESULT FPM_CALL CheckDeviceConnectionWithFirmwareVer(const FPM_WCHAR *acceptedCodes);
/* As CheckDeviceConnection, and the vendor code in the first two bytes of the module's
 * product-information block (low byte first) must equal the low 16 bits of
 * `vendorCode`. */
FPM_RESULT FPM_CALL GetDevConnectionByVendorCode(uint32_t vendorCode);

/* CheckDeviceConnection, then switches the module's device status on (the status
 * command's own result is ignored). 1 connected, 2 otherwise. */
FPM_RESULT FPM_CALL OpenDevice(void);
/* Switches the device status off, then closes the module. 1 when a module was closed,
 * 0 when there was none (the status command then fails and logs its line). */
FPM_RESULT FPM_CALL CloseDevice(void);
/* Closes the module without sending it anything. 1 when a module was closed, 0 when
 * there was none. */
FPM_RESULT FPM_CALL DeviceDisConnection(void);

/* Copies the paths of the interfaces holding "ven_<vendor>" and "prod_<product>" among
 * the first `maxCount` disk interfaces (all interfaces count, not only matches) into
 * paths[0], paths[1], ...; each buffer must hold 256 characters and is written whole
 * (the path, then zeros). *foundCount is set to the number copied after each copy and
 * left alone when nothing matches. Writes the log line "ExtractSpecificDevice"; opens
 * nothing. 1 at least one path; 2 none, maxCount below 1, or a null argument (or a
 * null buffer where a path was due); 0 the host's device list is unavailable. */
FPM_RESULT FPM_CALL ExtractDevicePath(const FPM_WCHAR *vendor, const FPM_WCHAR *product, FPM_WCHAR **paths,
                                      int32_t maxCount, int32_t *foundCount);
/* Opens a path (from ExtractDevicePath) for the WithHandle functions. The caller owns
 * the handle and closes it (CloseHandle on Windows); the connection is not touched.
 * 1 opened, 2 failed (*handle untouched). */
FPM_RESULT FPM_CALL ObtainHandleFromPath(FPM_HANDLE *handle, const FPM_WCHAR *path);

#ifdef __cplusplus
}
#endif

#endif /* FPMODULE_H */
