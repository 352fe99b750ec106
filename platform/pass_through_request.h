// The 16-byte vendor command block and the pass-through record around it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
#endif

namespace fpm::transport {

inline constexpr std::uint8_t kVendorOpcode = 0xE0;
inline constexpr std::uint32_t kIoctlScsiPassThroughDirect = 0x4D014;

struct VendorCommandBlock {
    std::array<std::uint8_t, 16> bytes{};

    // Byte 0 is the vendor opcode, byte 1 the command code; `parameters` fill bytes 2 on.
    static VendorCommandBlock make(std::uint8_t code, std::initializer_list<std::uint8_t> parameters = {})
    {
        VendorCommandBlock block;
        block.bytes[0] = kVendorOpcode;
        block.bytes[1] = code;
        std::size_t i = 2;
        for (std::uint8_t p : parameters) {
            if (i < block.bytes.size()) block.bytes[i++] = p;
        }
        return block;
    }
    std::uint8_t code() const { return bytes[1]; }
};

#ifdef _WIN32
// The host's own structure: Windows drivers read exactly this layout.
using ScsiPassThroughDirect = SCSI_PASS_THROUGH_DIRECT;
#else
// The same fields under the same names, so that the portable code and the other
// backends build and read the request the same way (laid out as a Windows process of
// the same pointer width lays out the SDK's).
struct ScsiPassThroughDirect {
    std::uint16_t Length;
    std::uint8_t ScsiStatus;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t CdbLength;
    std::uint8_t SenseInfoLength;
    std::uint8_t DataIn;
    std::uint32_t DataTransferLength;
    std::uint32_t TimeOutValue;
    void *DataBuffer;
    std::uint32_t SenseInfoOffset;
    std::uint8_t Cdb[16];
};
#endif

// The SDK's structure, a 4-byte filler and the sense area: 80 bytes in a 32-bit process,
// 96 in a 64-bit one (the data buffer is a pointer there).
struct PassThroughRequest {
    ScsiPassThroughDirect sptd;
    std::uint32_t filler;
    std::uint8_t sense[32];
};

inline constexpr std::uint8_t kDataOut = 0;
inline constexpr std::uint8_t kDataIn = 1;
inline constexpr std::uint8_t kTargetId = 1;
inline constexpr std::uint8_t kSenseInfoLength = 24;

// Where the driver reads each field of the record, for each pointer width.
struct RecordLayout {
    std::size_t dataBuffer;       // the data buffer's address, as wide as a pointer
    std::size_t senseInfoOffset;  // the field that holds the sense area's offset
    std::size_t cdb;
    std::size_t sptdSize;         // also the record's Length field; the filler follows
    std::size_t sense;
    std::size_t size;
};
inline constexpr RecordLayout kRecordLayout32{20, 24, 28, 44, 48, 80};
inline constexpr RecordLayout kRecordLayout64{24, 32, 36, 56, 60, 96};
inline constexpr RecordLayout kRecordLayout = sizeof(void *) == 8 ? kRecordLayout64 : kRecordLayout32;

inline constexpr std::uint16_t kSptdLength = kRecordLayout.sptdSize;
inline constexpr std::uint32_t kSenseInfoOffset = kRecordLayout.sense;
inline constexpr std::size_t kRecordSize = kRecordLayout.size;

// The driver reads these offsets; a header change must not move them silently. The
// structure as either pointer width lays it out, checked in every build...
namespace layout_check {
struct alignas(8) Address64 {
    std::uint64_t value;
};
template <class Address> struct Sptd {
    std::uint16_t Length;
    std::uint8_t ScsiStatus, PathId, TargetId, Lun, CdbLength, SenseInfoLength, DataIn;
    std::uint32_t DataTransferLength, TimeOutValue;
    Address DataBuffer;
    std::uint32_t SenseInfoOffset;
    std::uint8_t Cdb[16];
};
template <class Address> struct Request {
    Sptd<Address> sptd;
    std::uint32_t filler;
    std::uint8_t sense[32];
};
template <class Record> constexpr bool laidOutAs(const RecordLayout &l)
{
    using S = decltype(Record::sptd);
    return offsetof(S, Length) == 0 && offsetof(S, ScsiStatus) == 2 && offsetof(S, PathId) == 3 &&
           offsetof(S, TargetId) == 4 && offsetof(S, Lun) == 5 && offsetof(S, CdbLength) == 6 &&
           offsetof(S, SenseInfoLength) == 7 && offsetof(S, DataIn) == 8 &&
           offsetof(S, DataTransferLength) == 12 && offsetof(S, TimeOutValue) == 16 &&
           offsetof(S, DataBuffer) == l.dataBuffer && sizeof(S::DataBuffer) == l.senseInfoOffset - l.dataBuffer &&
           offsetof(S, SenseInfoOffset) == l.senseInfoOffset && offsetof(S, Cdb) == l.cdb &&
           sizeof(S) == l.sptdSize && offsetof(Record, filler) == l.sptdSize && offsetof(Record, sense) == l.sense &&
           sizeof(Record) == l.size;
}
static_assert(laidOutAs<Request<std::uint32_t>>(kRecordLayout32));
static_assert(laidOutAs<Request<Address64>>(kRecordLayout64));
}  // namespace layout_check
// ...and the record of this build, the SDK's own structure in the Windows builds.
static_assert(layout_check::laidOutAs<PassThroughRequest>(kRecordLayout));
#ifdef _WIN32
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == kIoctlScsiPassThroughDirect);
#endif

// The record byte for byte, as the driver receives it. Used to record and compare requests.
std::array<std::uint8_t, kRecordSize> wireBytes(const PassThroughRequest &request);

}  // namespace fpm::transport
