// The whole 16-bit to 8-bit conversion against the plain step-by-step oracle, the rules
// of the export around it, and the synthetic captures it is usually fed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>

#include "connection/connection_state.h"
#include "image/convert16to8.h"
#include "sim/fingerprint_synth.h"
#include "support/convert_oracle.h"
#include "support/library_fixture.h"

namespace fpm::test {
namespace {

const std::uint8_t *bytesOf(const std::vector<std::uint16_t> &samples)
{
    return reinterpret_cast<const std::uint8_t *>(samples.data());
}

std::vector<std::uint8_t> libraryConvert(const std::vector<std::uint16_t> &samples, int width, int height)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height);
    image::convert16To8(bytesOf(samples), out.data(), width, height);
    return out;
}

// The kinds of capture the comparison runs on.
enum class Kind { Noise, LowNoise, Flat, Zero, Full, Checker, Spikes, Fingerprint, SaturatedFinger };

std::vector<std::uint16_t> capture(Kind kind, int width, int height, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint16_t> s(static_cast<std::size_t>(width) * height);
    auto uniform = [&](int lo, int hi) { return static_cast<std::uint16_t>(lo + random() % (hi - lo + 1)); };
    switch (kind) {
    case Kind::Noise: for (auto &v : s) v = uniform(0, 65535); break;
    case Kind::LowNoise: for (auto &v : s) v = uniform(0, 40); break;
    case Kind::Flat: std::fill(s.begin(), s.end(), 1000); break;
    case Kind::Zero: break;
    case Kind::Full: std::fill(s.begin(), s.end(), 65535); break;
    case Kind::Checker:
        for (int i = 0; i < width * height; ++i) s[i] = ((i % width + i / width) % 2) ? 65535 : 0;
        break;
    case Kind::Spikes:
        for (auto &v : s) {
            const unsigned r = random() % 10;
            v = r == 0 ? 0 : r == 1 ? 65535 : uniform(2000, 9000);
        }
        break;
    case Kind::Fingerprint: s = sim::synthesizeFingerprint16(width, height, seed); break;
    case Kind::SaturatedFinger:
        s = sim::synthesizeFingerprint16(width, height, seed);
        for (auto &v : s) v = static_cast<std::uint16_t>(std::min<std::uint32_t>(v * 5u, 65535u));
        break;
    }
    return s;
}

TEST(ConvertOracle, AgreesByteForByteOnManySizesAndKinds)
{
    const std::vector<std::pair<int, int>> sizes = {
        {3, 5},   {4, 5},   {5, 5},    {3, 17},  {17, 5},   {16, 16},  {17, 33},  {31, 16},
        {33, 47}, {48, 48}, {64, 64},  {100, 37}, {120, 100}, {255, 5}, {3, 255}, {192, 192},
        {255, 255},
        // The largest image whose counts fit 16 bits (a flat one puts 65535 pixels on one
        // value) and the smallest whose counts need 32.
        {257, 255}, {256, 256}};
    const Kind kinds[] = {Kind::Noise, Kind::LowNoise,    Kind::Flat,   Kind::Zero,           Kind::Full,
                          Kind::Checker, Kind::Spikes, Kind::Fingerprint, Kind::SaturatedFinger};
    std::uint32_t seed = 1;
    for (auto [w, h] : sizes)
        for (Kind kind : kinds) {
            const auto samples = capture(kind, w, h, seed++);
            const OracleCounts counts = w * h > 0xFFFF ? OracleCounts::ThirtyTwo : OracleCounts::Sixteen;
            ASSERT_EQ(libraryConvert(samples, w, h), oracleConvert(samples, w, h, counts))
                << w << " x " << h << " kind " << static_cast<int>(kind);
        }
}

TEST(ConvertOracle, AgreesOnRandomSizesAndFingers)
{
    std::mt19937 random(2026);
    for (int i = 0; i < 60; ++i) {
        const int w = 3 + static_cast<int>(random() % 140);
        const int h = 5 + static_cast<int>(random() % 140);
        const Kind kind = i % 3 == 0 ? Kind::Noise : i % 3 == 1 ? Kind::Fingerprint : Kind::Spikes;
        const auto samples = capture(kind, w, h, random());
        ASSERT_EQ(libraryConvert(samples, w, h), oracleConvert(samples, w, h)) << w << " x " << h;
    }
}

TEST(ConvertOracle, WidenedCountsKeepLargeImagesMeaningful)
{
    // 300 x 280 pixels: 16-bit counts would wrap; the library counts in 32 bits.
    const auto samples = sim::synthesizeFingerprint16(300, 280, 9);
    const auto out = libraryConvert(samples, 300, 280);
    EXPECT_EQ(out, oracleConvert(samples, 300, 280, OracleCounts::ThirtyTwo));
    EXPECT_LT(*std::min_element(out.begin(), out.end()), 16);
    EXPECT_EQ(out[0], 255);
}

class ConvertExportTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        state().bytesPerPixel = 2;
    }
};

TEST_F(ConvertExportTest, RefusesEightBitModulesWithoutTouchingAnything)
{
    state().bytesPerPixel = 1;
    auto samples = sim::synthesizeFingerprint16(40, 30, 1);
    const auto before = samples;
    std::vector<std::uint8_t> out(1200, 0xAB);
    EXPECT_EQ(Trans16To8Img(bytesOf(samples), out.data(), 40, 30), -1);
    EXPECT_EQ(out, std::vector<std::uint8_t>(1200, 0xAB));
    EXPECT_EQ(samples, before);
    EXPECT_EQ(state().conversionWorkingSize.load(), 0u);
}

TEST_F(ConvertExportTest, ConvertsAndLeavesTheInputAsItWas)
{
    const auto samples = sim::synthesizeFingerprint16(64, 48, 3);
    auto input = samples;
    std::vector<std::uint8_t> out(64 * 48);
    EXPECT_EQ(Trans16To8Img(bytesOf(input), out.data(), 64, 48), 0);
    EXPECT_EQ(input, samples);
    EXPECT_EQ(out, oracleConvert(samples, 64, 48));

    const std::vector<std::uint16_t> zeros(64 * 48, 0);
    EXPECT_EQ(Trans16To8Img(bytesOf(zeros), out.data(), 64, 48), 0);
    EXPECT_EQ(out, std::vector<std::uint8_t>(64 * 48, 255));
}

TEST_F(ConvertExportTest, FirstCallFixesTheWorkingSizeWithinTheCallersBuffers)
{
    const auto first = sim::synthesizeFingerprint16(40, 30, 4);
    std::vector<std::uint8_t> out(40 * 30);
    ASSERT_EQ(Trans16To8Img(bytesOf(first), out.data(), 40, 30), 0);

    // A larger call converts the first 40 x 30 pixels and leaves the rest alone.
    const auto larger = sim::synthesizeFingerprint16(50, 40, 5);
    std::vector<std::uint8_t> largeOut(50 * 40, 0xCD);
    ASSERT_EQ(Trans16To8Img(bytesOf(larger), largeOut.data(), 50, 40), 0);
    const std::vector<std::uint16_t> head(larger.begin(), larger.begin() + 40 * 30);
    const auto expected = oracleConvert(head, 40, 30);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), largeOut.begin()));
    EXPECT_TRUE(std::all_of(largeOut.begin() + 40 * 30, largeOut.end(), [](std::uint8_t b) { return b == 0xCD; }));

    // A smaller call cannot hold the working size: nothing read past it, nothing written.
    const auto smaller = sim::synthesizeFingerprint16(20, 20, 6);
    std::vector<std::uint8_t> smallOut(20 * 20, 0xEF);
    EXPECT_EQ(Trans16To8Img(bytesOf(smaller), smallOut.data(), 20, 20), -3);
    EXPECT_EQ(smallOut, std::vector<std::uint8_t>(20 * 20, 0xEF));
}

TEST_F(ConvertExportTest, BadArgumentsGiveACodeAndDoNotFixTheWorkingSize)
{
    const auto samples = sim::synthesizeFingerprint16(40, 30, 7);
    std::vector<std::uint8_t> out(40 * 30, 0x5A);
    EXPECT_EQ(Trans16To8Img(nullptr, out.data(), 40, 30), -2);
    EXPECT_EQ(Trans16To8Img(bytesOf(samples), nullptr, 40, 30), -2);
    for (auto [w, h] : std::vector<std::pair<int, int>>{{0, 30}, {40, 0}, {-40, -30}, {2, 30}, {40, 4}, {1025, 5}})
        EXPECT_EQ(Trans16To8Img(bytesOf(samples), out.data(), w, h), -2) << w << " x " << h;
    EXPECT_EQ(out, std::vector<std::uint8_t>(40 * 30, 0x5A));
    EXPECT_EQ(state().conversionWorkingSize.load(), 0u);

    // The smallest usable image converts.
    std::vector<std::uint8_t> tiny(3 * 5);
    EXPECT_EQ(Trans16To8Img(bytesOf(samples), tiny.data(), 3, 5), 0);
}

TEST_F(ConvertExportTest, ConcurrentConversionsAgree)
{
    // Callers of the export and conversions of other sizes share the kept buffers.
    const auto samples = sim::synthesizeFingerprint16(96, 80, 8);
    const auto expected = oracleConvert(samples, 96, 80);
    const auto other = sim::synthesizeFingerprint16(50, 130, 9);
    const auto otherExpected = oracleConvert(other, 50, 130);
    std::vector<std::vector<std::uint8_t>> outs(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                if (t % 2 == 0) {
                    outs[t].assign(96 * 80, 0);
                    EXPECT_EQ(Trans16To8Img(bytesOf(samples), outs[t].data(), 96, 80), 0);
                } else {
                    outs[t] = libraryConvert(other, 50, 130);
                }
            }
        });
    for (auto &t : threads) t.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(outs[t], t % 2 == 0 ? expected : otherExpected) << t;
}

TEST(FingerprintSynth, IsDeterministicPerSeed)
{
    EXPECT_EQ(sim::synthesizeFingerprint16(60, 50, 11), sim::synthesizeFingerprint16(60, 50, 11));
    EXPECT_NE(sim::synthesizeFingerprint16(60, 50, 11), sim::synthesizeFingerprint16(60, 50, 12));
    EXPECT_TRUE(sim::synthesizeFingerprint16(0, 50, 11).empty());
}

TEST(FingerprintSynth, LooksLikeAFingerOnALowBackground)
{
    const int w = 192, h = 192;
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        const auto s = sim::synthesizeFingerprint16(w, h, seed);
        auto at = [&](int x, int y) { return s[static_cast<std::size_t>(y) * w + x]; };
        EXPECT_LT(at(1, 1), 1500);
        EXPECT_LT(at(w - 2, 1), 1500);
        // Ridges across the middle row: many crossings of the finger's mean level.
        const int y = h / 2;
        double mean = 0;
        for (int x = w / 4; x < 3 * w / 4; ++x) mean += at(x, y);
        mean /= w / 2;
        EXPECT_GT(mean, 4000);
        int crossings = 0;
        for (int x = w / 4 + 1; x < 3 * w / 4; ++x) crossings += (at(x - 1, y) < mean) != (at(x, y) < mean);
        EXPECT_GE(crossings, 10);

        // The conversion shows white background and dark and light ridges in the finger.
        const auto out = libraryConvert(s, w, h);
        EXPECT_EQ(out[0], 255);
        int dark = 0, light = 0;
        for (int x = w / 4; x < 3 * w / 4; ++x) {
            dark += out[static_cast<std::size_t>(y) * w + x] < 64;
            light += out[static_cast<std::size_t>(y) * w + x] > 192;
        }
        EXPECT_GT(dark, 10);
        EXPECT_GT(light, 10);
    }
}

}  // namespace
}  // namespace fpm::test
