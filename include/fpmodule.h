/**
 * @file fpmodule.h
 * @brief fpmodule: host library for the USB fingerprint module of a fingerprint smart card.
 *
 * Every function has C linkage and the C calling convention (the caller removes the
 * arguments); every argument is 32 bits wide in the 32-bit Windows build, and handles,
 * pointers and callbacks are 64 bits wide in the 64-bit one. Most functions
 * return a result byte: 1 success, 2 failure, other values where a function says so.
 * Failure detail never travels through the result: it goes to the diagnostic log in the
 * folder "SmartCard_Log" beside the calling executable (written once a connect function
 * or ExtractDevicePath has prepared it).
 *
 * Plain functions act on the one process-wide connection; a function whose name ends in
 * WithHandle takes a module handle of the caller's (see ObtainHandleFromPath) as its
 * first argument and otherwise behaves exactly as its plain twin.
 *
 * The result and event codes are listed on the page @ref codes; which function may be
 * called from which thread, and what the callbacks may do, on the page @ref threads.
 */
#ifndef FPMODULE_H
#define FPMODULE_H

#include <stdint.h>

/** @name Version of this header and of the library it belongs to
 *  A program can compare them at build time; `fpmodule --version` prints the same. @{ */
#define FPM_VERSION_MAJOR 1 /**< Changes when a program built against an older version could break. */
#define FPM_VERSION_MINOR 0 /**< Changes when functions or documented behaviour are added. */
#define FPM_VERSION_PATCH 0 /**< Changes for fixes only. */
/** @} */

#ifdef _WIN32
#include <wchar.h>
#define FPM_CALL __cdecl
typedef wchar_t FPM_WCHAR;   /* UTF-16 */
#else
/** The calling convention of every export and callback: cdecl on 32-bit Windows (64-bit
 * Windows has only one). */
#define FPM_CALL
#ifdef __cplusplus
typedef char16_t FPM_WCHAR;  /* UTF-16 */
#else
#include <uchar.h>
/** A UTF-16 code unit of paths and tags: wchar_t on Windows, char16_t elsewhere. */
typedef char16_t FPM_WCHAR;
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** A module handle: a Windows HANDLE in the Windows build, an opaque value elsewhere.
 * Null means "never connected or closed"; FPM_INVALID_HANDLE means "the last connect
 * attempt failed". */
typedef void *FPM_HANDLE;
/** The handle of a connection whose last connect attempt failed. */
#define FPM_INVALID_HANDLE ((FPM_HANDLE)(intptr_t)-1)

/** The result byte of most exports: 1 success, 2 failure, other values where a function
 * says so (see @ref codes). */
typedef unsigned char FPM_RESULT;

/** @name Status codes of the module's replies
 * Byte 1 of a reply; several functions return them as they came, and the background
 * procedures pass them to their callbacks as events. @{ */
#define CODE_OK           1 /**< The command succeeded. */
#define CODE_ERROR        2 /**< The command failed. */
#define CODE_BUSY         3 /**< The module is busy; the library asks again on the next 100 ms tick. */
#define CODE_MATCH        5 /**< Verification or identification: the finger matched. */
#define CODE_NO_MATCH     6 /**< Verification or identification: no match (in other commands: refused). */
#define CODE_FAKE_FINGER  7 /**< The finger was rejected as not genuine. */
#define CODE_CANCELING    8 /**< The command was cancelled (DoCancel()). */
#define CODE_UNKNOWN_CMD  9 /**< The module does not know the command. */
/** @} */

/** @name Events of the background procedures
 * Passed to the callbacks beside the module's own status codes. @{ */
#define EVENT_ENROLL_COMPLETE   17 /**< The enrolment finished; the last image comes with it. */
#define EVENT_WAIT_FINGER       18 /**< A capture was requested: the finger is awaited. */
#define EVENT_CAPTURE_ACCEPTED  19 /**< The module accepted a capture. */
#define EVENT_CANCELED          20 /**< A stop function ended the procedure. */
/** @} */

/** The enrolment callback. Called on the library's worker thread (never on the caller's)
 * with a pointer to the event byte and the capture as an 8-bit image, or null. Every
 * pointer is valid only during the call, except the image of a final event, which stays
 * valid until CompleteEnrollmentProcedure() is called. */
typedef void (FPM_CALL *EnrollmentCallback)(unsigned char *event, unsigned char *image);
/** The verification callback. Called on the library's worker thread with the event, the
 * matching finger index (CODE_MATCH) and the 8-bit image, or null; DoCancel() also calls it
 * once, on the cancelling thread, with CODE_CANCELING. Pointers as for EnrollmentCallback. */
typedef void (FPM_CALL *VerifyCallback)(unsigned char *event, unsigned char *fingerIndex,
                                        unsigned char *image);
/** The callback of the delete and card-issue procedures. Called once on the library's
 * worker thread with a pointer to the result byte, valid during the call. */
typedef void (FPM_CALL *ResultCallback)(unsigned char *result);

/** @defgroup transfers Transfers
 * One SCSI pass-through request carrying a 16-byte vendor command block, followed by a
 * data phase of `length` bytes to the module (Send) or from it (Recv). `buffer` is used
 * in place and must hold `length` bytes. Length and time-out (seconds) are passed
 * through unchanged. Result 1 when the request went through, 2 when it failed; the
 * outcome of the command itself is in the module's reply. No log line, no retry.
 * @{ */
/** Sends `length` bytes of `buffer` to the module with the 16-byte `commandBlock`, waiting at
 * most `timeoutSeconds`. 1 the request went through, 2 it failed. */
FPM_RESULT FPM_CALL SendDataTransaction(const unsigned char *commandBlock, unsigned char *buffer,
                                        uint32_t length, uint32_t timeoutSeconds);
/** Receives `length` bytes from the module into `buffer` for the 16-byte `commandBlock`,
 * waiting at most `timeoutSeconds`. 1 the request went through, 2 it failed. */
FPM_RESULT FPM_CALL RecvDataTransaction(const unsigned char *commandBlock, unsigned char *buffer,
                                        uint32_t length, uint32_t timeoutSeconds);
/** As SendDataTransaction(), on the caller's module handle `handle` (see
 * ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL SendDataTransactionWithHandle(FPM_HANDLE handle, const unsigned char *commandBlock,
                                                  unsigned char *buffer, uint32_t length,
                                                  uint32_t timeoutSeconds);
/** As RecvDataTransaction(), on the caller's module handle `handle` (see
 * ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL RecvDataTransactionWithHandle(FPM_HANDLE handle, const unsigned char *commandBlock,
                                                  unsigned char *buffer, uint32_t length,
                                                  uint32_t timeoutSeconds);

/** @} */

/** @defgroup size Size queries, initialisation, firmware version, cancel
 * The size queries write the sensor's width and height (0 to 255) and keep the image
 * geometry that the image functions use. They poll while the module is busy, with no
 * overall limit, and log "QuerySize : <reason>" on failure.
 *   QuerySize / QuerySizeEx: bytes per pixel 2 when the module says so, else 1
 *   (QuerySizeEx also writes it to *bytesPerPixel).
 *   QuerySize_16: bytes per pixel 2 whatever the module says.
 *   QuerySizeWithHandle: keeps the bytes per pixel of the last plain query.
 *   QuerySizeWithHandle_16: writes the module's values to the caller but keeps twice
 *   each as the library's geometry.
 * A null output pointer gives 2 without any transfer.
 * @{ */
/** The sensor's width and height into *width and *height; the bytes per pixel kept for the
 * image functions are 2 when the module says so, else 1. 1 stored, 2 failure. */
FPM_RESULT FPM_CALL QuerySize(int32_t *width, int32_t *height);
/** As QuerySize(), keeping 2 bytes per pixel whatever the module says. */
FPM_RESULT FPM_CALL QuerySize_16(int32_t *width, int32_t *height);
/** As QuerySize(), and the bytes per pixel (1 or 2) into *bytesPerPixel. */
FPM_RESULT FPM_CALL QuerySizeEx(int32_t *width, int32_t *height, unsigned char *bytesPerPixel);
/** As QuerySize(), on the caller's module handle `handle` (see ObtainHandleFromPath()),
 * keeping the bytes per pixel of the last plain size query. */
FPM_RESULT FPM_CALL QuerySizeWithHandle(FPM_HANDLE handle, int32_t *width, int32_t *height);
/** On the caller's module handle `handle`: writes the module's width and height to the
 * caller and keeps twice each as the library's geometry. */
FPM_RESULT FPM_CALL QuerySizeWithHandle_16(FPM_HANDLE handle, int32_t *width, int32_t *height);

/** Initialises the module. 1 on CODE_OK, 2 otherwise. Polls while busy. */
FPM_RESULT FPM_CALL InititalDevice(void);

/** Copies `length` bytes of the module's 128-byte firmware version record, starting at
 * `offset`, into `buffer`. 1 when the module's record was read, 2 when the transfer
 * failed ("GetFirmwareVersion : RecvDataTransaction Fail"). A null buffer, a negative
 * offset or length, or a range reaching past byte 127 gives 2 with nothing sent and
 * nothing copied. */
FPM_RESULT FPM_CALL GetFirmwareVersion(int32_t offset, int32_t length, unsigned char *buffer);
/** As GetFirmwareVersion(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL GetFirmwareVersionWithHandle(FPM_HANDLE handle, int32_t offset, int32_t length,
                                                 unsigned char *buffer);

/** Asks the module to abandon the command another thread is waiting on: the waiting
 * command returns with its cancel result, then the module gets the cancel command.
 * Calls the running verification's callback with the event CODE_CANCELING. Waits, without
 * a limit, while a cancellable command is still exchanging and while the module is busy.
 * 1 on CODE_OK, 2 otherwise. */
FPM_RESULT FPM_CALL DoCancel(void);

/** @} */

/** @defgroup enrolment Enrolment
 * One capture is DoEnrollRequest, then CheckEnrollStatus, then GetEnrollImage when
 * CheckEnrollStatus gave 1 or 7; repeat for each capture the finger takes. A finger index
 * is an int32 of which the module gets the low byte; its range is the module's affair.
 * The exchanges poll while the module is busy, with no overall limit. DoEnrollRequest
 * and CheckEnrollStatus can be stopped from another thread with DoCancel. Failures are
 * logged as "<function name> : <reason>".
 * @{ */

/** The number of captures the module holds for `finger` into *amount (0 to 255). 1
 * stored, 2 failure (nothing stored). A null amount gives 2 with nothing sent. */
FPM_RESULT FPM_CALL QueryEnrollAmount(int32_t finger, int32_t *amount);
/** Starts one capture for `finger`. 1 started; 2 failure, or cancelled (not logged). */
FPM_RESULT FPM_CALL DoEnrollRequest(int32_t finger);
/** Waits for the capture's outcome. 1 accepted; 7 rejected as not genuine (logged as
 * "CheckEnrollStatus : CODE_FAKE_FINGER"); 8 cancelled by DoCancel (not logged); 2
 * failure. */
FPM_RESULT FPM_CALL CheckEnrollStatus(void);
/** The image of the capture just reported, whole in one transfer (10-second time-out),
 * with the defective sensor pixels repaired (see sew_patch_enable); 16-bit images stay
 * 16-bit. 1 delivered, 2 failure ("GetEnrollImage : RecvDataTransaction Fail"), the
 * buffer then untouched. A null buffer or no size query yet gives 2 with nothing sent. */
FPM_RESULT FPM_CALL GetEnrollImage(unsigned char *buffer);
/** The number of captures one finger takes: 16 when the module's firmware version text
 * contains "83KV", else 8. 1 stored, 2 the version could not be read (nothing stored; a
 * null count gives 2 with nothing sent). */
FPM_RESULT FPM_CALL max_enroll_per_finger(unsigned char *count);

/** @} */

/** @defgroup verification Verification and identification
 * Results CODE_MATCH (5), CODE_NO_MATCH (6) and CODE_FAKE_FINGER (7) are the module's
 * verdicts, passed on. Outputs are written only where a function says.
 * @{ */

/** Verifies the finger on the sensor against `finger`: 5, 6 or 7 as the module decides;
 * 8 or 9 when the module answers a request with CODE_CANCELING or CODE_UNKNOWN_CMD; 8 also
 * when DoCancel stops the wait for the verdict; 2 any other failure. Busy answers to the
 * two requests are failures; the waits after them poll while busy and ask again after a
 * failed transfer, giving up (2) after 30 seconds without any answer. Nothing logged. */
FPM_RESULT FPM_CALL DoVerifyRequest(int32_t finger);
/** The image of the last verification capture, repaired like GetEnrollImage. 1 delivered,
 * 2 failure (buffer untouched, nothing logged). */
FPM_RESULT FPM_CALL GetVerifyImage(unsigned char *buffer);
/** Identifies the finger on the sensor among every enrolled finger: 5 with the matching
 * index in *finger, 6 no match, 8 stopped by DoCancel, 2 failure (logged as
 * "DoIdentifyRequest(CMD_IDENTIFY_REQUEST) : <reason>" or
 * "DoIdentifyRequest(CMD_CHECK_IDENTIFY_STATUS) : <reason>"). *finger is written only on
 * 5; a null finger gives 2 with nothing sent. */
FPM_RESULT FPM_CALL DoIdentifyRequest(unsigned char *finger);
/** As DoIdentifyRequest for `image` (the stored geometry's size), which is uploaded as
 * SimpleSentImage does; an upload result other than 1 (2, 6 or 14) is returned as it is.
 * A null finger or image, or no size query yet, gives 2 with nothing sent. */
FPM_RESULT FPM_CALL DoIdentifyRequestEx(unsigned char *finger, const unsigned char *image);
/** The image of the last identification capture (3-second time-outs), repaired like
 * GetEnrollImage. 1 delivered, 2 failure; a refused request is logged as
 * "GetIdentifyImage : <reason>", a failed data phase is not. */
FPM_RESULT FPM_CALL GetIdentifyImage(unsigned char *buffer);
/** 1 when a finger is on the sensor, 0 otherwise, -1 when the module did not answer. */
int32_t FPM_CALL IsFingerOn(void);
/** The finger state into *fingerState: 1 (finger on), 15, or 13 for any other state; result
 * 0. -1 when the module did not answer or fingerState is null (nothing written). */
int32_t FPM_CALL FingerStatus(unsigned char *fingerState);
/** The module's two verification timing values (its own units). 1 stored, 2 failure
 * ("GetVerifyLatency : RecvDataTransaction Fail"); null pointers give 2 with nothing
 * sent. */
FPM_RESULT FPM_CALL GetVerifyPeriod(uint32_t *first, uint32_t *second);

/** @} */

/** @defgroup images Images
 * An image is imageHeight rows of imageWidth pixels, each pixel 1 or 2 bytes (16-bit
 * pixels low byte first), as the last size query reported; its size is
 * width x height x bytes per pixel. Every image moves whole in one transfer (10-second
 * time-out). A read polls while the module is busy, with no overall limit, and writes the
 * caller's buffer only when it returns success (SimpleGetImage and SimpleGetFingerprint:
 * also after a failed data phase, as they say). A null buffer, or no size query yet,
 * gives the failure result with nothing sent. None of these functions touches a pending
 * cancel request.
 * @{ */

/** The sensor's raw image. 1 delivered, 2 failure; failures are logged as
 * "GetRawImage : <reason>". */
FPM_RESULT FPM_CALL GetRawImage(unsigned char *buffer);
/** As GetRawImage(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL GetRawImageWithHandle(FPM_HANDLE handle, unsigned char *buffer);

/** The current image and the image stored in the module's flash. 1 delivered, 2 failure;
 * nothing logged. */
FPM_RESULT FPM_CALL GetCurrentImage(unsigned char *buffer);
/** As GetCurrentImage(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL GetCurrentImageWithHandle(FPM_HANDLE handle, unsigned char *buffer);
/** The image stored in the module's flash into `buffer`, read like GetCurrentImage(). 1
 * delivered, 2 failure; nothing logged. */
FPM_RESULT FPM_CALL DumpFlashImage(unsigned char *buffer);
/** As DumpFlashImage(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL DumpFlashImageWithHandle(FPM_HANDLE handle, unsigned char *buffer);

/** The image in the module's image buffer, sizeA x sizeB bytes (the caller's buffer
 * size, independent of the stored geometry). 1 delivered, 2 failure; sizes of 0 or less,
 * or larger than any image of the module, give 2 with nothing sent. Logs
 * "GetBufferImage : RecvDataTransaction Fail(CMD_FLAG)" or "(STATUS_FLAG)". */
FPM_RESULT FPM_CALL GetBufferImage(int32_t sizeA, int32_t sizeB, unsigned char *buffer);

/** The image in the module's image buffer. 0 (not 1) when delivered, 2 on failure. Once
 * the module has accepted the request, the buffer receives what the data phase brought
 * (zeros where it failed) and *length the image size, even when the data phase failed.
 * Same log lines as GetBufferImage. */
int32_t FPM_CALL SimpleGetImage(unsigned char *buffer, int32_t *length);
/** As SimpleGetImage(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
int32_t FPM_CALL SimpleGetImageWithHandle(FPM_HANDLE handle, unsigned char *buffer, int32_t *length);

/** One fingerprint image, without waiting on a busy module:
 *   1 delivered; 0 the module has no image (its statuses 13 and 15); -1 null buffer or no
 *   size query yet (nothing sent); 251 a transfer failed; 252 wrong echo; 253 any other
 *   status (busy included).
 * After an accepted request the buffer receives the data phase's bytes even when it
 * failed. Logs "SimpleGetFingerprint : RecvDataTransaction Fail(CMD_FLAG)" or
 * "(STATUS_FLAG)". */
int32_t FPM_CALL SimpleGetFingerprint(unsigned char *buffer);

/** Asks the module to check its image. 1 with the module's value in *value; 7 the finger
 * was rejected as not genuine; 2 any other failure (logged as
 * "CheckImage(CMD_FLAG) : <reason>" or "CheckImage(STATUS_FLAG) : <reason>"). A request
 * answered with a status other than 1, 2 or busy is asked again on the next tick, at most
 * 50 times. *value is written only on 1. A null value pointer gives 2 with nothing sent. */
FPM_RESULT FPM_CALL CheckImage(unsigned char *value);

/** Uploads an image of the stored geometry's size to the module: request, data, status
 * poll, completion poll, each waiting stage limited to 5 seconds. 1 done; 14 the module's
 * other completion answer; 6 the module refused the request; 2 any failure or time-out.
 * Nothing is logged. A null image or no size query yet gives 2 with nothing sent. */
FPM_RESULT FPM_CALL SimpleSentImage(const unsigned char *image);
/** Does nothing and returns 0. */
FPM_RESULT FPM_CALL SimpleSentImageWithHandle(FPM_HANDLE handle, const unsigned char *image);

/** @} */

/** @defgroup sensing Sensor baseline, calibration, sensing
 * @{ */

/** Switches the repair of defective sensor pixels in enrolment, verification and
 * identification images off (0) or on (any other value; on at load). */
void FPM_CALL sew_patch_enable(unsigned char enable);

/** The sensor's baseline image into `buffer` (10-second time-outs), read like
 * GetCurrentImage(). 1 delivered, 2 failure. */
FPM_RESULT FPM_CALL OutputBaseImage(unsigned char *buffer);
/** As OutputBaseImage(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL OutputBaseImageWithHandle(FPM_HANDLE handle, unsigned char *buffer);
/** The sensor's calibration image number `index` into `buffer` (3-second time-outs), read like
 * GetCurrentImage(). 1 delivered, 2 failure. */
FPM_RESULT FPM_CALL OutputCalibrationImage(unsigned char *buffer, unsigned char index);
/** As OutputCalibrationImage(), on the caller's module handle `handle` (see
 * ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL OutputCalibrationImageWithHandle(FPM_HANDLE handle, unsigned char *buffer,
                                                     unsigned char index);

/** The following send one command, poll while the module is busy (no overall limit) and
 * return the module's status itself: 1 success, 6 and others as the module defines them;
 * 2 also for a failed transfer or a wrong echo. Values pass through as numbers. A null
 * output pointer gives 2 with nothing sent (DoCalibration's two value pointers may be
 * null). Nothing is logged. Time-out 10 seconds, smartcard_auto_test 5 seconds. */
FPM_RESULT FPM_CALL EnterSensingMode(void);
/** As EnterSensingMode(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL EnterSensingModeWithHandle(FPM_HANDLE handle);
/** On status 1: the module's five current-data bytes into record[0..4]. */
FPM_RESULT FPM_CALL GetCurrentData(unsigned char *record);
/** As GetCurrentData(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL GetCurrentDataWithHandle(FPM_HANDLE handle, unsigned char *record);
/** Runs a calibration with a, b and c (c is sent only when both value pointers are given).
 * Every answer of the module writes its two 16-bit values to the given pointers; on status
 * 6 *status6Value receives the module's byte. */
FPM_RESULT FPM_CALL DoCalibration(uint16_t a, uint16_t b, uint16_t c, uint16_t *value1, uint16_t *value2,
                                  unsigned char *status6Value);
/** As DoCalibration(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL DoCalibrationWithHandle(FPM_HANDLE handle, uint16_t a, uint16_t b, uint16_t c,
                                            uint16_t *value1, uint16_t *value2, unsigned char *status6Value);
/** On status 1: the DAC value into *dac. */
FPM_RESULT FPM_CALL OutputDAC(unsigned char *dac);
/** As OutputDAC(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL OutputDACWithHandle(FPM_HANDLE handle, unsigned char *dac);
/** Asks the module to take a new baseline. */
FPM_RESULT FPM_CALL UpdateBaseImage(void);
/** The VCB value; written on every answer of the module, busy and failures included. */
FPM_RESULT FPM_CALL GetVCB(unsigned char *vcb);
/** Sets the VCB value to the low byte of `value`. */
FPM_RESULT FPM_CALL SetVCB(int32_t value);
/** Runs the module's self test; on status 6 its detail byte into *result. */
FPM_RESULT FPM_CALL smartcard_auto_test(unsigned char *result);
/** @} */

/** @defgroup devicecontrol Device control
 * One command each; 1 when the module answered CODE_OK, 2 otherwise (any other status,
 * a failed transfer, a reply to another command). Busy replies are asked again on each
 * 100 ms tick with no overall limit. Only the low byte of an int32_t argument is sent.
 *   ChangeLEDsStatus: sets the LEDs (the library itself sends 3 at the end of a
 *   procedure); logs "ChangeLEDsStatus : <reason>" on failure.
 *   ChangeDevStatus: 1 when the module is taken into use, 0 before its handle is
 *   closed; logs "ChangeDevStatus : <reason>" on failure.
 *   SwitchToBoot: starts the module's boot loader; the library keeps its handle as it
 *   is. RfConnection: makes the module's RF connection. Neither writes a log line.
 * @{ */
/** Sets the module's LEDs to the low byte of `ledState`. 1 on CODE_OK, 2 otherwise; logs
 * "ChangeLEDsStatus : <reason>" on failure. */
FPM_RESULT FPM_CALL ChangeLEDsStatus(int32_t ledState);
/** As ChangeLEDsStatus(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL ChangeLEDsStatusWithHandle(FPM_HANDLE handle, int32_t ledState);
/** Sets the module's device status to the low byte of `deviceStatus`: 1 when the module is
 * taken into use, 0 before its handle is closed. 1 on CODE_OK, 2 otherwise; logs
 * "ChangeDevStatus : <reason>" on failure. */
FPM_RESULT FPM_CALL ChangeDevStatus(int32_t deviceStatus);
/** Starts the module's boot loader; the library keeps its handle as it is. 1 on CODE_OK, 2
 * otherwise; no log line. */
FPM_RESULT FPM_CALL SwitchToBoot(void);
/** Makes the module's RF connection. 1 on CODE_OK, 2 otherwise; no log line. */
FPM_RESULT FPM_CALL RfConnection(void);
/** As RfConnection(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL RfConnectionWithHandle(FPM_HANDLE handle);

/** @} */

/** @defgroup testmode Test mode and hardware checks
 * For factory test stations. One command each (the ACF check: a start and status
 * queries); no log lines. A failed transfer or a reply to another command gives 2.
 * Outputs are written only on the statuses named below and are otherwise left as they
 * were; a null output pointer gives 2 with nothing sent. Busy replies are asked again on
 * each 100 ms tick with no overall limit.
 *   EnterTestMode (also exported as SE_Test), ExitTestMode, GetG55Status: 1 on CODE_OK,
 *   2 otherwise; the G55 status is the result itself.
 *   GetICtype: on CODE_OK writes the three IC values (first and second 0 to 255, third 0
 *   to 3) and returns 5; 2 otherwise.
 *   SensorIOCheck, ModuleIOCheck: on status 1 or 6 write the check's detail byte; the
 *   module's status is the result (1 passed, 6 failed, others as the module says).
 *   CheckCTModule: on CODE_OK writes the check's value and returns 1; status 6 or
 *   CODE_UNKNOWN_CMD gives 6; any other status is the result.
 *   AcfBondingIoCheck: clears a pending cancel request, starts the check (CODE_CANCELING
 *   gives 8, CODE_UNKNOWN_CMD 9, anything but CODE_OK 2, busy included), then asks for
 *   its outcome on each tick while it runs: 1 passed, 2 failed. A failed status query is
 *   sent again on the next tick; after 30 seconds of status queries failing in a row
 *   (a module that stopped answering) the check gives up with 2.
 * @{ */
/** Puts the module into test mode. 1 on CODE_OK, 2 otherwise. */
FPM_RESULT FPM_CALL EnterTestMode(void);
/** The same entry point as EnterTestMode(), under a second name. */
FPM_RESULT FPM_CALL SE_Test(void);
/** As EnterTestMode(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL EnterTestModeWithHandle(FPM_HANDLE handle);
/** As SE_Test(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL SE_TestWithHandle(FPM_HANDLE handle);
/** Takes the module out of test mode. 1 on CODE_OK, 2 otherwise. */
FPM_RESULT FPM_CALL ExitTestMode(void);
/** As ExitTestMode(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL ExitTestModeWithHandle(FPM_HANDLE handle);
/** The module's G55 status as the result itself (CODE_OK 1, otherwise 2). */
FPM_RESULT FPM_CALL GetG55Status(void);
/** As GetG55Status(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL GetG55StatusWithHandle(FPM_HANDLE handle);
/** The sensor IC's three type values into *first, *second (0 to 255) and *third (0 to 3) on
 * CODE_OK, then 5; 2 otherwise. */
FPM_RESULT FPM_CALL GetICtype(uint16_t *first, uint16_t *second, unsigned char *third);
/** As GetICtype(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL GetICtypeWithHandle(FPM_HANDLE handle, uint16_t *first, uint16_t *second,
                                        unsigned char *third);
/** Runs the sensor I/O check: the module's status is the result (1 passed, 6 failed); on 1 or 6
 * the check's detail byte goes to *detail. */
FPM_RESULT FPM_CALL SensorIOCheck(unsigned char *detail);
/** As SensorIOCheck(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL SensorIOCheckWithHandle(FPM_HANDLE handle, unsigned char *detail);
/** Runs the module I/O check: the module's status is the result (1 passed, 6 failed); on 1 or 6
 * the check's detail byte goes to *detail. */
FPM_RESULT FPM_CALL ModuleIOCheck(unsigned char *detail);
/** As ModuleIOCheck(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL ModuleIOCheckWithHandle(FPM_HANDLE handle, unsigned char *detail);
/** Runs the CT module check: on CODE_OK its value into *value and 1; status 6 or
 * CODE_UNKNOWN_CMD gives 6; any other status is the result. */
FPM_RESULT FPM_CALL CheckCTModule(unsigned char *value);
/** Runs the ACF bonding check and waits for its outcome: 1 passed, 2 failed (also after 30
 * seconds of failing status queries); 8 or 9 when the start is answered with CODE_CANCELING or
 * CODE_UNKNOWN_CMD. Clears a pending cancel. */
FPM_RESULT FPM_CALL AcfBondingIoCheck(void);
/** As AcfBondingIoCheck(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL AcfBondingIoCheckWithHandle(FPM_HANDLE handle);

/** @} */

/** @defgroup registers Sensor registers and WOE mode
 * One 8-bit sensor register per call, and the module's WOE mode. No log lines. 1 on
 * CODE_OK; 2 on CODE_ERROR, a failed transfer or a reply to another command; any other
 * status (CODE_CANCELING, CODE_UNKNOWN_CMD, ...) is passed on as the result. Outputs are
 * written on CODE_OK only; a null output pointer gives 2 with nothing sent. Busy replies
 * are asked again on each 100 ms tick with no overall limit.
 * The register group is 0 except in the Ex and plain AsDefault functions, whose first
 * argument it is; note the twins' argument lists. AsDefault writes also make the value
 * the register's default. ReadWOEstatus writes the module's three WOE status bytes.
 * @{ */
/** Reads sensor register `address` of group 0 into *value. */
FPM_RESULT FPM_CALL ReadRegister(unsigned char address, unsigned char *value);
/** Reads sensor register `address` of `group` into *value. */
FPM_RESULT FPM_CALL ReadRegisterEx(unsigned char group, unsigned char address, unsigned char *value);
/** As ReadRegister(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL ReadRegisterWithHandle(FPM_HANDLE handle, unsigned char address, unsigned char *value);
/** Writes `value` to sensor register `address` of group 0. */
FPM_RESULT FPM_CALL WriteRegister(unsigned char address, unsigned char value);
/** Writes `value` to sensor register `address` of `group`. */
FPM_RESULT FPM_CALL WriteRegisterEx(unsigned char group, unsigned char address, unsigned char value);
/** As WriteRegister(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL WriteRegisterWithHandle(FPM_HANDLE handle, unsigned char address, unsigned char value);
/** Writes `value` to sensor register `address` of `group` and makes it the register's default. */
FPM_RESULT FPM_CALL WriteRegisterAsDefault(unsigned char group, unsigned char address, unsigned char value);
/** As WriteRegisterAsDefault(), on the caller's module handle `handle` (see
 * ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL WriteRegisterAsDefaultWithHandle(FPM_HANDLE handle, unsigned char address,
                                                     unsigned char value);
/** Puts the module into WOE mode. */
FPM_RESULT FPM_CALL EnterWOE(void);
/** As EnterWOE(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL EnterWOEWithHandle(FPM_HANDLE handle);
/** Takes the module out of WOE mode. */
FPM_RESULT FPM_CALL ExitWOE(void);
/** As ExitWOE(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL ExitWOEWithHandle(FPM_HANDLE handle);
/** The module's three WOE status bytes into *first, *second and *third. */
FPM_RESULT FPM_CALL ReadWOEstatus(unsigned char *first, unsigned char *second, unsigned char *third);
/** As ReadWOEstatus(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL ReadWOEstatusWithHandle(FPM_HANDLE handle, unsigned char *first, unsigned char *second,
                                            unsigned char *third);

/** @} */

/** @defgroup vendorcode Vendor code and secure vendor-code handshake
 * The module holds a short vendor code of 16 bits and a long one of 8 bytes. No log lines.
 *   VendorCodeOperation: operation 0x00 reads the short code into *code, 0x01 writes *code
 *   (high byte first on the wire) with the write parameter byte. VendorCodeOperationEx:
 *   0x80 reads the 8 bytes of the long code into code, 0x81 writes them. Other operation
 *   values are sent as they are and copy nothing. A null code for a read or a write gives
 *   2 with nothing sent. Results: 1 on CODE_OK; 6 on status 6 or CODE_UNKNOWN_CMD; 2 on a
 *   failed transfer or a reply to another command; any other status as it came (2 for
 *   CODE_ERROR, 8 for CODE_CANCELING). Busy replies are asked again on each 100 ms tick;
 *   a module still busy after 10 seconds gives 2. These four clear a pending cancel.
 *   WriteVendorCode: writes the 8 bytes at code as the long code, whatever the count (the
 *   count is only checked, so code must always point to 8 bytes). 0 written; -1 count not
 *   within 1..8; -2 null code; -3 the write failed.
 *   GetSecureVendorCode: copies the module's 32-byte scrambled challenge into challenge,
 *   as it came. 1 done; 2 the transfer failed or challenge is null.
 *   ConfirmSecureVendorCode: the whole handshake with the short code (high byte at byte 8
 *   of the answered challenge, low byte at 9); ConfirmSecureVendorCodeWithHandleEx with
 *   the 8 bytes of code at bytes 8 to 15 (a null code gives 2 with nothing sent).
 *   1 the module accepted the proof; 2 a failed transfer or a refusal (any confirmation
 *   but CODE_OK, busy included; nothing is asked again). Each transfer waits 3 seconds.
 * @{ */
/** Reads (operation 0x00) or writes (0x01, with `writeParameter`) the short vendor code *code.
 * Results as in the group description. */
FPM_RESULT FPM_CALL VendorCodeOperation(unsigned char operation, uint16_t *code, unsigned char writeParameter);
/** As VendorCodeOperation(), on the caller's module handle `handle` (see
 * ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL VendorCodeOperationWithHandle(FPM_HANDLE handle, unsigned char operation, uint16_t *code,
                                                  unsigned char writeParameter);
/** Reads (operation 0x80) or writes (0x81) the 8 bytes of the long vendor code at `code`.
 * Results as in the group description. */
FPM_RESULT FPM_CALL VendorCodeOperationEx(unsigned char operation, unsigned char *code);
/** As VendorCodeOperationEx(), on the caller's module handle `handle` (see
 * ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL VendorCodeOperationWithHandleEx(FPM_HANDLE handle, unsigned char operation, unsigned char *code);
/** Writes the 8 bytes at `code` as the long vendor code; `count` must be 1 to 8 but does not
 * shorten the write. 0 written; -1 bad count; -2 null code; -3 the write failed. */
int32_t FPM_CALL WriteVendorCode(const unsigned char *code, int32_t count);
/** Copies the module's 32-byte scrambled challenge into `challenge`. 1 done; 2 the transfer
 * failed or `challenge` is null. */
FPM_RESULT FPM_CALL GetSecureVendorCode(unsigned char *challenge);
/** As GetSecureVendorCode(), on the caller's module handle `handle` (see
 * ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL GetSecureVendorCodeWithHandle(FPM_HANDLE handle, unsigned char *challenge);
/** Runs the secure handshake with the short vendor code `code`. 1 the module accepted the
 * proof; 2 a failed transfer or a refusal. */
FPM_RESULT FPM_CALL ConfirmSecureVendorCode(uint16_t code);
/** As ConfirmSecureVendorCode(), on the caller's module handle `handle` (see
 * ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL ConfirmSecureVendorCodeWithHandle(FPM_HANDLE handle, uint16_t code);
/** As ConfirmSecureVendorCodeEx(), on the caller's module handle `handle` (see
 * ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL ConfirmSecureVendorCodeWithHandleEx(FPM_HANDLE handle, const unsigned char *code);
/** The handshake with the first count bytes (0 to 8) of code at byte 8 onward, after
 * connecting with CheckDeviceConnection and sending device status 1 (whose result does not
 * matter). 0 accepted; -1 count above 8; -2 null code; 2 no module connected or the
 * response could not be sent; -3 the challenge read failed; 250 the confirmation read
 * failed; 251 the confirmation answers another command; 252 the module refused (busy
 * included). */
int32_t FPM_CALL ConfirmSecureVendorCodeEx(const unsigned char *code, uint32_t count);

/** @} */

/** @defgroup flash Flash and product-information blocks, image registration
 * FlashOperation and ProductInfoOperation: operation 0 reads length bytes of the block
 * into buffer; any other value writes length bytes from buffer (the value is sent as
 * given) and then reads the module's status. The product-information block is 62 bytes;
 * its bytes 0 and 1 hold the vendor code, low byte first. buffer must hold length bytes;
 * it is written only by a successful read. 1 done; 2 a failed transfer, a reply to
 * another command, any status but CODE_OK (busy included: nothing is asked again), or a
 * null buffer with a length (nothing sent). No log lines.
 *   RegModuleEx: uploads image (the geometry of the last size query: width x height x
 *   bytes per pixel) under the caller's selector byte. 1 accepted; 6 the module refused
 *   the request; 2 otherwise (also without a size query or image, with nothing sent).
 * @{ */
/** Reads (operation 0) or writes (any other value) `length` bytes of the module's flash block
 * through `buffer`. 1 done, 2 failure. */
FPM_RESULT FPM_CALL FlashOperation(unsigned char operation, uint16_t length, unsigned char *buffer);
/** As FlashOperation(), on the caller's module handle `handle` (see ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL FlashOperationWithHandle(FPM_HANDLE handle, unsigned char operation, uint16_t length,
                                             unsigned char *buffer);
/** Reads (operation 0) or writes (any other value) `length` bytes of the 62-byte product-
 * information block through `buffer`. 1 done, 2 failure. */
FPM_RESULT FPM_CALL ProductInfoOperation(unsigned char operation, uint16_t length, unsigned char *buffer);
/** As ProductInfoOperation(), on the caller's module handle `handle` (see
 * ObtainHandleFromPath()). */
FPM_RESULT FPM_CALL ProductInfoOperationWithHandle(FPM_HANDLE handle, unsigned char operation, uint16_t length,
                                                   unsigned char *buffer);
/** Uploads `image` (the geometry of the last size query) on the caller's `handle` under the
 * `selector` byte. 1 accepted; 6 the module refused the request; 2 otherwise. */
FPM_RESULT FPM_CALL RegModuleEx(FPM_HANDLE handle, unsigned char selector, const unsigned char *image);

/** @} */

/** @defgroup conversion Image conversion
 * Trans16To8Img turns a 16-bit sensor image (`width` x `height` pixels, two bytes each,
 * low byte first) into an 8-bit fingerprint image of `width` x `height` bytes: ridges
 * dark, background 255, the finger area equalised over 0 to 255. The 16-bit image is
 * never changed.
 * The first call that converts fixes the working size for the life of the process;
 * later calls convert that many pixels whatever size they pass, provided their buffers
 * (sized by their own width and height) hold them.
 * Results: 0 converted; -1 the connected module's pixels are not 16-bit (nothing read or
 * written); -2 a null buffer, a width below 3 or a height below 5, a side above 1024, or
 * no memory (nothing written, the working size not fixed); -3 the fixed working size
 * needs more pixels than this call's buffers hold (nothing written).
 * Histograms count in 32 bits: identical results up to 65535 pixels (255 x 255), and
 * no wrapped counts on larger images. Safe to call from several threads at once; one
 * set of working buffers is kept between calls.
 * @{ */
/** Converts the 16-bit `image16` into the 8-bit `image8`, both `width` x `height` pixels. 0
 * converted; -1, -2 or -3 as in the group description. */
int32_t FPM_CALL Trans16To8Img(const unsigned char *image16, unsigned char *image8, int32_t width,
                               int32_t height);

/** @} */

/** @defgroup connection Finding, connecting and closing the module
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
 * refused with 2.
 * @{ */

/** Connects to the first interface whose path holds "ven_<vendor>" and
 * "prod_<product>", closing a module held before. 1 connected; 2 no such interface,
 * open failed, or the defect-pixel map failed (the module then stays open); 0 the host's
 * device list is unavailable. */
FPM_RESULT FPM_CALL DeviceConnection(const FPM_WCHAR *vendor, const FPM_WCHAR *product);

/** Connects to the module when exactly one is present and its firmware family (bytes 9
 * and 10 of the firmware version record) is one of the four this build accepts.
 * Two modules present: a held module is closed and 2 returned. 1 connected, 2 otherwise
 * (no module, open failed, family not accepted, defect-pixel map failed). */
FPM_RESULT FPM_CALL CheckDeviceConnection(void);
/** As CheckDeviceConnection, without the firmware test. */
FPM_RESULT FPM_CALL CheckDeviceConnectionNoFwCheck(void);
/** As CheckDeviceConnection, accepting the module when its two-character family code
 * occurs anywhere in `acceptedCodes` (e.g. L"WA WB"). A null string gives 2. */
FPM_RESULT FPM_CALL CheckDeviceConnectionWithFirmwareVer(const FPM_WCHAR *acceptedCodes);
/** As CheckDeviceConnection, and the vendor code in the first two bytes of the module's
 * product-information block (low byte first) must equal the low 16 bits of
 * `vendorCode`. */
FPM_RESULT FPM_CALL GetDevConnectionByVendorCode(uint32_t vendorCode);

/** CheckDeviceConnection, then switches the module's device status on (the status
 * command's own result is ignored). 1 connected, 2 otherwise. */
FPM_RESULT FPM_CALL OpenDevice(void);
/** Switches the device status off, then closes the module. 1 when a module was closed,
 * 0 when there was none (the status command then fails and logs its line). */
FPM_RESULT FPM_CALL CloseDevice(void);
/** Closes the module without sending it anything. 1 when a module was closed, 0 when
 * there was none. */
FPM_RESULT FPM_CALL DeviceDisConnection(void);

/** Copies the paths of the interfaces holding "ven_<vendor>" and "prod_<product>" among
 * the first `maxCount` disk interfaces (all interfaces count, not only matches) into
 * paths[0], paths[1], ...; each buffer must hold 256 characters and is written whole
 * (the path, then zeros). *foundCount is set to the number copied after each copy and
 * left alone when nothing matches. Writes the log line "ExtractSpecificDevice"; opens
 * nothing. 1 at least one path; 2 none, maxCount below 1, or a null argument (or a
 * null buffer where a path was due); 0 the host's device list is unavailable. */
FPM_RESULT FPM_CALL ExtractDevicePath(const FPM_WCHAR *vendor, const FPM_WCHAR *product, FPM_WCHAR **paths,
                                      int32_t maxCount, int32_t *foundCount);
/** Opens a path (from ExtractDevicePath) for the WithHandle functions. The caller owns
 * the handle and closes it (CloseHandle on Windows, CloseObtainedHandle on Linux); the
 * connection is not touched. On Linux an interface path must still name the same unit:
 * after a replug has given its node to another device, the open is refused.
 * 1 opened, 2 failed (*handle untouched). */
FPM_RESULT FPM_CALL ObtainHandleFromPath(FPM_HANDLE *handle, const FPM_WCHAR *path);
#ifndef _WIN32
/** Linux only (Windows callers use CloseHandle): closes a handle from
 * ObtainHandleFromPath. 1 closed; 2 when the handle is not one the library opened and
 * still holds open (null, FPM_INVALID_HANDLE, already closed). Closing the handle of the
 * process-wide connection is refused too: CloseDevice and DeviceDisConnection close it. */
FPM_RESULT FPM_CALL CloseObtainedHandle(FPM_HANDLE handle);
#endif
/** @} */

/** @defgroup deletion Deleting enrolled fingers
 * A finger index names an enrolled-finger slot; the low byte of the argument is sent to
 * the module as it is. 0xFF stands for all fingers: the slots 1 to 5 are deleted in this
 * order, stopping at the first deletion that fails (the slots before it stay deleted).
 * @{ */

/** Deletes what the module holds for one finger index. 1 deleted, 2 failure, logged as
 * "DoDeleteFingerRequest : <reason>" ("RecvDataTransaction" for a failed transfer).
 * Polls while the module is busy, with no overall limit; clears a pending cancel. */
FPM_RESULT FPM_CALL DoDeleteFingerRequest(int32_t fingerIndex);

/** Deletes one finger index or all (0xFF) on the calling thread, then sets the LEDs to
 * "done" (retried every half second, at most ten times). 1 every deletion succeeded;
 * 2 a deletion failed (no LED change). */
FPM_RESULT FPM_CALL SmartCard_delete_finger(int32_t fingerIndex);

/** Start the deletion of all fingers, or of one finger index (0xFF: all), on a worker
 * thread of the library. The callback is called on that thread with a pointer to the
 * result (1 deleted, 2 a deletion failed), valid during the call; then the LEDs are set
 * to "done". Results: 2 the worker was started (not 1); 16 a deletion is still running,
 * and it keeps its own callback and finger index; 0 no worker thread could be started. A deletion counts as running until its
 * callback has returned, so a start call from inside the callback gives 16. A null
 * callback is accepted: the deletion runs without a report. */
FPM_RESULT FPM_CALL BeginDeleteEnrolledFingerProcedure(ResultCallback callback);
/** As BeginDeleteEnrolledFingerProcedure(), for one finger index (0xFF: all). */
FPM_RESULT FPM_CALL BeginDeleteEnrolledByFingerIdProcedure(int32_t fingerIndex, ResultCallback callback);

/** @} */

/** @defgroup procedures Background enrolment and verification
 * An enrolment or a verification runs on a worker thread of the library and reports
 * each step to the caller's callback on that thread: the event byte (a module status
 * code or one of the EVENT_ codes above) and, where there is one, the capture as an
 * 8-bit image of width x height bytes (16-bit captures are converted with
 * Trans16To8Img). At most one enrolment and one verification run at a time.
 *
 * Enrolment events: EVENT_WAIT_FINGER (a capture was requested), EVENT_CAPTURE_ACCEPTED,
 * CODE_OK with the image of every capture but the last, CODE_FAKE_FINGER first without
 * and then with the image of the rejected capture (the capture is then repeated and not
 * counted), and one final event: EVENT_ENROLL_COMPLETE with the last image, two seconds
 * after the last capture (the module stays open); or CODE_CANCELING and, two seconds
 * later, EVENT_CANCELED after a stop function (the module stays open); or, when a step
 * fails, the failing result as the final event: CODE_ERROR (a failed size query, a
 * capture count of 0, a failed capture request, or the module's CODE_ERROR, which is
 * first reported as it comes and then, two seconds later, once more as the final
 * event), CODE_OK when the image of an accepted capture could not be read, or
 * CODE_FAKE_FINGER when that of a rejected one could not (two seconds later). After a
 * failure the module is switched off and closed. A finger index that already holds
 * enrolment data is deleted first.
 *
 * Verification events: EVENT_WAIT_FINGER, then one final event: CODE_MATCH with the
 * matching finger index and the image, CODE_NO_MATCH with the index byte 0 and the
 * image, EVENT_CANCELED after a stop function (a stop function also reports
 * CODE_CANCELING itself, on the caller's thread, before), or CODE_ERROR. A failed size
 * query or image read ends it without an event. The module stays open.
 *
 * After the final event each procedure sets the LEDs to "done" (at most ten attempts,
 * half a second apart). The image of a final event stays valid until a complete
 * function is called (also from inside the callback); every other pointer is valid
 * only during the call. Do not send other commands to the module while a procedure
 * runs, except a stop function.
 * @{ */

/** Start an enrolment of `captureCount` accepted captures for a finger index (low bytes
 * of both used) on an open module whose size was queried. 1 started; 2 a null
 * callback, an enrolment still running (it keeps its parameters), or no worker thread
 * could be started. */
FPM_RESULT FPM_CALL BeginEnrollmentProcedure(int32_t fingerIndex, int32_t captureCount,
                                             EnrollmentCallback callback);
/** Connect (CheckDeviceConnection), switch the device on, query the size, write it
 * through `width` and `height`, and start the enrolment. 1 started; 2 no module, or as
 * BeginEnrollmentProcedure; otherwise the size query's failing result. */
FPM_RESULT FPM_CALL SmartCard_Enrollment(int32_t fingerIndex, int32_t captureCount, int32_t *width,
                                         int32_t *height, EnrollmentCallback callback);

/** Start a verification (an identification against every enrolled finger) on an open
 * module. 1 started; 2 a null callback, a verification still running, or no worker
 * thread could be started. */
FPM_RESULT FPM_CALL BeginVerifyProcedure(VerifyCallback callback);
/** As SmartCard_Enrollment, for a verification. */
FPM_RESULT FPM_CALL SmartCard_Verify(int32_t *width, int32_t *height, VerifyCallback callback);

/** The stop functions: DoCancel under four names. The command the procedure waits in
 * ends, the procedure reports its cancel events, and the module gets the cancel
 * command. */
FPM_RESULT FPM_CALL StopEnrollmentProcedure(void);
/** The same entry point as StopEnrollmentProcedure(), under a second name. */
FPM_RESULT FPM_CALL StopVerifyProcedure(void);
/** The same entry point as StopEnrollmentProcedure(), under a second name. */
FPM_RESULT FPM_CALL SmartCard_StopEnroll(void);
/** The same entry point as StopEnrollmentProcedure(), under a second name. */
FPM_RESULT FPM_CALL SmartCard_StopVerify(void);

/** The complete functions, one entry point under two names: free the images handed to
 * the caller with final events (of either procedure) and mark the enrolment as no
 * longer running. Always 1. */
FPM_RESULT FPM_CALL CompleteEnrollmentProcedure(void);
/** The same entry point as CompleteEnrollmentProcedure(), under a second name. */
FPM_RESULT FPM_CALL CompleteVerifyProcedure(void);

/** @} */

/** @defgroup card Card issuing
 * Both commands poll while the module is busy, with no overall limit, and clear a
 * pending cancel.
 * @{ */

/** Issues the card. 1 issued; 2 failure, logged as "IssueCard : <reason>"
 * ("RecvDataTransaction" for a failed transfer). */
FPM_RESULT FPM_CALL IssueCard(void);

/** Asks whether the card is issued: *issued becomes 1 (issued) or 0 (not issued) and the
 * result is 1; 2 on failure with nothing stored (a null pointer: nothing sent). No log
 * lines. */
FPM_RESULT FPM_CALL CheckCardIssued(unsigned char *issued);

/** Issues the card on a worker thread of the library, calls the callback there with a
 * pointer to IssueCard's result (valid during the call), then switches the module's
 * device status off and closes the module whatever the result: later commands need a
 * new connection. Results: 2 the worker was started (not 1); 16 an issue procedure is
 * still running (it keeps its callback; a start call from inside the callback gives 16);
 * 0 no worker thread could be started.
 * A null callback is accepted: the card is issued and the module closed without a
 * report. */
FPM_RESULT FPM_CALL BeginIssueCardProcedure(ResultCallback callback);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* FPMODULE_H */
