// The vendor code in plain and through the secure handshake, the flash and
// product-information blocks, and the image registration upload.
#include <array>

#include "connection/module_handle.h"
#include "exports/export.h"
#include "image/image_upload.h"
#include "image/two_phase_read.h"
#include "transport/exchange.h"
#include "vendor/data_blocks.h"
#include "vendor/secure_handshake.h"
#include "vendor/vendor_code.h"

using namespace fpm::vendor;
using fpm::connection::connectedHandle;

// ---- Vendor code ---------------------------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL VendorCodeOperation(unsigned char operation, uint16_t *code,
                                                   unsigned char writeParameter)
{
    FPM_TRACED;
    return shortCodeOperation(connectedHandle(), operation, code, writeParameter);
}

FPM_EXPORT FPM_RESULT FPM_CALL VendorCodeOperationWithHandle(FPM_HANDLE handle, unsigned char operation,
                                                             uint16_t *code, unsigned char writeParameter)
{
    FPM_TRACED;
    return shortCodeOperation(handle, operation, code, writeParameter);
}

FPM_EXPORT FPM_RESULT FPM_CALL VendorCodeOperationEx(unsigned char operation, unsigned char *code)
{
    FPM_TRACED;
    return longCodeOperation(connectedHandle(), operation, code);
}

FPM_EXPORT FPM_RESULT FPM_CALL VendorCodeOperationWithHandleEx(FPM_HANDLE handle, unsigned char operation,
                                                               unsigned char *code)
{
    FPM_TRACED;
    return longCodeOperation(handle, operation, code);
}

FPM_EXPORT int32_t FPM_CALL WriteVendorCode(const unsigned char *code, int32_t count)
{
    FPM_TRACED;
    return writeVendorCode(code, count);
}

// ---- Secure vendor-code handshake ----------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL GetSecureVendorCode(unsigned char *challenge)
{
    FPM_TRACED;
    return GetSecureVendorCodeWithHandle(connectedHandle(), challenge);
}

FPM_EXPORT FPM_RESULT FPM_CALL GetSecureVendorCodeWithHandle(FPM_HANDLE handle, unsigned char *challenge)
{
    FPM_TRACED;
    return readChallenge(handle, challenge) ? fpm::kSuccess : fpm::kFailure;
}

FPM_EXPORT FPM_RESULT FPM_CALL ConfirmSecureVendorCode(uint16_t code)
{
    FPM_TRACED;
    return ConfirmSecureVendorCodeWithHandle(connectedHandle(), code);
}

FPM_EXPORT FPM_RESULT FPM_CALL ConfirmSecureVendorCodeWithHandle(FPM_HANDLE handle, uint16_t code)
{
    FPM_TRACED;
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
    return confirmVendorCode(handle, bytes, sizeof bytes);
}

// Connects first, and tells the caller which step failed.
FPM_EXPORT int32_t FPM_CALL ConfirmSecureVendorCodeEx(const unsigned char *code, uint32_t count)
{
    FPM_TRACED;
    if (count > kMaxProofCodeLength) return -1;
    if (!code) return -2;
    if (CheckDeviceConnection() != fpm::kSuccess) return 2;
    ChangeDevStatus(1);  // the handshake does not depend on it
    std::array<std::uint8_t, 32> challenge{};
    if (GetSecureVendorCode(challenge.data()) != fpm::kSuccess) return -3;
    switch (answerChallenge(connectedHandle(), challenge.data(), code, count)) {
    case Proof::Accepted: return 0;
    case Proof::ResponseNotSent: return 2;
    case Proof::NoConfirmation: return 250;
    case Proof::ConfirmationEcho: return 251;
    case Proof::Refused: return 252;
    }
    return 2;
}

FPM_EXPORT FPM_RESULT FPM_CALL ConfirmSecureVendorCodeWithHandleEx(FPM_HANDLE handle, const unsigned char *code)
{
    FPM_TRACED;
    if (!code) return fpm::kFailure;
    return confirmVendorCode(handle, code, kMaxProofCodeLength);
}

// ---- Flash and product-information blocks ----------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL FlashOperation(unsigned char operation, uint16_t length, unsigned char *buffer)
{
    FPM_TRACED;
    return blockOperation(connectedHandle(), kCmdFlashBlock, operation, length, buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL FlashOperationWithHandle(FPM_HANDLE handle, unsigned char operation, uint16_t length,
                                                        unsigned char *buffer)
{
    FPM_TRACED;
    return blockOperation(handle, kCmdFlashBlock, operation, length, buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL ProductInfoOperation(unsigned char operation, uint16_t length, unsigned char *buffer)
{
    FPM_TRACED;
    return blockOperation(connectedHandle(), kCmdProductInfo, operation, length, buffer);
}

FPM_EXPORT FPM_RESULT FPM_CALL ProductInfoOperationWithHandle(FPM_HANDLE handle, unsigned char operation,
                                                              uint16_t length, unsigned char *buffer)
{
    FPM_TRACED;
    return blockOperation(handle, kCmdProductInfo, operation, length, buffer);
}

// ---- Image registration ----------------------------------------------------------------

FPM_EXPORT FPM_RESULT FPM_CALL RegModuleEx(FPM_HANDLE handle, unsigned char selector, const unsigned char *image)
{
    FPM_TRACED;
    // The geometry of the connection's last size query, whichever handle is used.
    const std::int64_t bytes = fpm::image::currentImageBytes();
    if (bytes <= 0 || bytes > UINT32_MAX) return fpm::kFailure;
    return fpm::image::uploadImage(handle, image, static_cast<std::uint32_t>(bytes),
                                   {.selector = selector, .awaitCompletion = false});
}
