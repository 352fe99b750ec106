// The pass-through record, byte for byte, as the module's driver receives it.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "support/library_fixture.h"

namespace fpm::test {
namespace {

// The SDK's SCSI_PASS_THROUGH_DIRECT, a 4-byte filler and 32 sense bytes, as a 32-bit
// and as a 64-bit process lays them out (the data buffer is a pointer).
struct Layout {
    std::size_t size, length, buffer, bufferWidth, senseOffsetField, senseOffset, cdb;
};
constexpr Layout kLayout = sizeof(void *) == 8 ? Layout{96, 56, 24, 8, 32, 60, 36} : Layout{80, 44, 20, 4, 24, 48, 28};

using Record = std::vector<std::uint8_t>;

Record expectedRecord(std::uint8_t dataIn, std::uint32_t length, std::uint32_t timeout, const void *buffer,
                      const std::uint8_t *block)
{
    Record r(kLayout.size);
    auto put = [&](std::size_t at, std::uint64_t v, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) r[at + i] = (v >> (8 * i)) & 0xFF;
    };
    put(0, kLayout.length, 2);
    r[4] = 1;   // target
    r[6] = 16;  // command block length
    r[7] = 24;  // sense length
    r[8] = dataIn;
    put(12, length, 4);
    put(16, timeout, 4);
    put(kLayout.buffer, reinterpret_cast<std::uintptr_t>(buffer), kLayout.bufferWidth);
    put(kLayout.senseOffsetField, kLayout.senseOffset, 4);
    std::memcpy(&r[kLayout.cdb], block, 16);
    return r;
}

Record received(const sim::ReceivedRequest &request) { return Record(request.record.begin(), request.record.end()); }

class TransportTest : public LibraryTest {};

TEST_F(TransportTest, EachTransferSendsTheRecordByteForByte)
{
    sim::VirtualModule &module = connectModule();
    module.answerAlways(0x55, sim::ScriptedReply::bytes({9, 8, 7}));
    const std::uint8_t block[16] = {0xE0, 0x55, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    alignas(8) std::uint8_t in[4] = {};
    alignas(8) std::uint8_t out[3] = {0xAA, 0xBB, 0xCC};

    EXPECT_EQ(RecvDataTransaction(block, in, 4, 3), 1);
    EXPECT_EQ(SendDataTransaction(block, out, 3, 10), 1);
    EXPECT_EQ(RecvDataTransactionWithHandle(connected(), block, in, 4, 7), 1);
    EXPECT_EQ(SendDataTransactionWithHandle(connected(), block, out, 3, 0), 1);

    auto requests = host().requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(received(requests[0]), expectedRecord(1, 4, 3, in, block));
    EXPECT_EQ(received(requests[1]), expectedRecord(0, 3, 10, out, block));
    EXPECT_EQ(received(requests[2]), expectedRecord(1, 4, 7, in, block));
    EXPECT_EQ(received(requests[3]), expectedRecord(0, 3, 0, out, block));
    EXPECT_EQ(requests[1].dataOut, (std::vector<std::uint8_t>{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ((std::vector<std::uint8_t>(in, in + 3)), (std::vector<std::uint8_t>{9, 8, 7}));
    for (const auto &r : requests) EXPECT_EQ(r.handle, connected());
}

// Adapters with an alignment mask refuse a data buffer off their boundary: a caller's
// byte array at any address reaches the host 8-byte aligned, with the same bytes.
TEST_F(TransportTest, AnUnalignedBufferReachesTheHostAligned)
{
    sim::VirtualModule &module = connectModule();
    module.answerAlways(0x55, sim::ScriptedReply::bytes({9, 8, 7}));
    const std::uint8_t block[16] = {0xE0, 0x55};
    alignas(8) std::uint8_t storage[16];
    std::memset(storage, 0xEE, sizeof storage);
    for (std::size_t offset = 1; offset < 8; ++offset) {
        std::uint8_t *buffer = storage + offset;
        std::memset(storage, 0xEE, sizeof storage);
        EXPECT_EQ(RecvDataTransaction(block, buffer, 5, 3), 1);
        // The module's three bytes arrive; the two it did not send keep their value.
        EXPECT_EQ((std::vector<std::uint8_t>(buffer, buffer + 5)), (std::vector<std::uint8_t>{9, 8, 7, 0xEE, 0xEE}));
        EXPECT_EQ(storage[offset - 1], 0xEE);
        buffer[0] = 1, buffer[1] = 2, buffer[2] = 3;
        EXPECT_EQ(SendDataTransactionWithHandle(connected(), block, buffer, 3, 3), 1);
    }
    module.script(0x55, sim::ScriptedReply::failure());
    std::memset(storage, 0xEE, sizeof storage);
    EXPECT_EQ(RecvDataTransaction(block, storage + 3, 5, 3), 2);
    for (std::uint8_t b : storage) EXPECT_EQ(b, 0xEE);

    auto requests = host().requests();
    ASSERT_EQ(requests.size(), 15u);
    for (const auto &r : requests) EXPECT_EQ(r.bufferAddress % 8, 0u);
    EXPECT_EQ(requests[1].dataOut, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(TransportTest, LengthAndTimeoutPassThroughWithoutBounds)
{
    connectModule();
    const std::uint8_t block[16] = {0xE0, 0x30};
    alignas(8) std::uint8_t buffer[8] = {};
    RecvDataTransaction(block, buffer, 0, 0xFFFFFFFFu);
    auto r = host().requests().at(0);
    EXPECT_EQ(r.length, 0u);
    EXPECT_EQ(r.timeoutSeconds, 0xFFFFFFFFu);
}

TEST_F(TransportTest, NoModuleMeansFailureAndAnUntouchedBuffer)
{
    const std::uint8_t block[16] = {0xE0, 0x34};
    std::uint8_t buffer[8];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(RecvDataTransaction(block, buffer, 8, 3), 2);  // null handle
    EXPECT_EQ(RecvDataTransactionWithHandle(FPM_INVALID_HANDLE, block, buffer, 8, 3), 2);
    EXPECT_EQ(SendDataTransactionWithHandle(nullptr, block, buffer, 8, 3), 2);
    EXPECT_EQ(RecvDataTransactionWithHandle(connected(), nullptr, buffer, 8, 3), 2);  // no block
    for (std::uint8_t b : buffer) EXPECT_EQ(b, 0x5A);
}

TEST_F(TransportTest, AFailingModuleFailsTheTransfer)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x34, sim::ScriptedReply::failure());
    const std::uint8_t block[16] = {0xE0, 0x34};
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(RecvDataTransaction(block, buffer, 8, 3), 2);
    EXPECT_EQ(RecvDataTransaction(block, buffer, 8, 3), 1);
}

}  // namespace
}  // namespace fpm::test
