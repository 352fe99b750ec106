#include "support/convert_oracle.h"

#include <algorithm>

namespace fpm::test {
namespace {

template <typename Count>
std::vector<std::uint8_t> convertWith(const std::vector<std::uint16_t> &samples, int W, int H)
{
    using u16 = std::uint16_t;
    std::vector<u16> v(samples.begin(), samples.begin() + static_cast<long>(W) * H);
    auto at = [&](int x, int y) -> u16 & { return v[static_cast<std::size_t>(y) * W + x]; };

    // Threshold from the largest 16 x 16 block mean.
    int M = 0;
    for (int by = 0; by + 16 <= H; by += 16)
        for (int bx = 0; bx + 16 <= W; bx += 16) {
            long sum = 0;
            for (int y = by; y < by + 16; ++y)
                for (int x = bx; x < bx + 16; ++x) sum += at(x, y);
            M = std::max(M, static_cast<int>(sum / 256));
        }
    // Stored through a volatile double so that an x87 FPU rounds the product to double
    // precision, as every other FPU does, before it is truncated.
    volatile double product = M * 0.3;
    const int T = static_cast<int>(product);

    // Foreground mask, one bit per pixel.
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(W) * H / 8 + 1, 0);
    auto setBit = [&](int x, int y) {
        const int k = y * W + x;
        mask[k / 8] = static_cast<std::uint8_t>(mask[k / 8] | (1 << (k % 8)));
    };
    auto bit = [&](int x, int y) {
        const int k = y * W + x;
        return (mask[k / 8] >> (k % 8)) & 1;
    };
    for (int x = 0; x < W; ++x) {
        int top = H < 3 ? 0 : H - 3;
        for (int y = 0; y < H - 2; ++y)
            if (at(x, y) > T && at(x, y + 1) > T && at(x, y + 2) > T) {
                top = y;
                break;
            }
        int bottom = H < 3 ? H - 1 : 2;
        for (int y = H - 1; y >= 2; --y)
            if (at(x, y) > T && at(x, y - 1) > T && at(x, y - 2) > T) {
                bottom = y;
                break;
            }
        if (top < bottom)
            for (int y = top; y <= bottom; ++y) setBit(x, y);
    }
    for (int y = 0; y < H; ++y) {
        int left = W < 3 ? 0 : W - 3;
        for (int x = 0; x < W - 2; ++x)
            if (at(x, y) > T && at(x + 1, y) > T && at(x + 2, y) > T) {
                left = x;
                break;
            }
        int right = W < 3 ? W - 1 : 2;
        for (int x = W - 1; x >= 2; --x)
            if (at(x, y) > T && at(x - 1, y) > T && at(x - 2, y) > T) {
                right = x;
                break;
            }
        if (left < right)
            for (int x = left; x <= right; ++x) setBit(x, y);
    }

    // Row flattening.
    std::vector<int> R(H);
    for (int y = 0; y < H; ++y) {
        long sum = 0;
        for (int x = 0; x < W; ++x) sum += at(x, y);
        R[y] = static_cast<int>(sum / W);
    }
    for (int y = 0; y < H; ++y) {
        int first = y - 2;
        if (y < 2) first = 0;
        if (y >= H - 2) first = H - 5;
        const int A = (R[first] + R[first + 1] + R[first + 2] + R[first + 3] + R[first + 4]) / 5;
        const int c = A - R[y];
        for (int x = 0; x < W; ++x)
            if (bit(x, y)) {
                int value = at(x, y) + c;
                if (value < 0) value = 0;
                at(x, y) = static_cast<u16>(value);
            }
    }

    // Smoothing, then sharpening, each from a copy of the image before it.
    auto clampedFrom = [&](const std::vector<u16> &img, int x, int y) {
        x = std::clamp(x, 0, W - 1);
        y = std::clamp(y, 0, H - 1);
        return static_cast<int>(img[static_cast<std::size_t>(y) * W + x]);
    };
    std::vector<u16> before = v;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int sum = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) sum += clampedFrom(before, x + dx, y + dy);
            at(x, y) = static_cast<u16>(sum / 9);
        }
    before = v;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int S = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx != 0 || dy != 0) S += clampedFrom(before, x + dx, y + dy);
            const int value = 9 * clampedFrom(before, x, y) - S;
            at(x, y) = value <= 0 ? 0 : static_cast<u16>(value);
        }

    // Background clearing.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (!bit(x, y)) at(x, y) = 0;

    // Contrast stretch.
    std::vector<Count> histogram(4096, 0);
    long n = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (bit(x, y) && at(x, y) > 0) {
                ++n;
                int b = at(x, y) >> 2;
                if (b > 4095) b = 4095;
                ++histogram[b];
            }
    if (n == 0) {
        std::fill(v.begin(), v.end(), u16{0});
    } else {
        const long L = n * 2 / 100;
        int j = 4096;
        long running = 0;
        for (int b = 0; b < 4096; ++b) {
            running += histogram[b];
            if (running > L) {
                j = b;
                break;
            }
        }
        int k = -1;
        running = 0;
        for (int b = 4095; b >= 0; --b) {
            running += histogram[b];
            if (running > L) {
                k = b;
                break;
            }
        }
        const u16 low = static_cast<u16>(j * 4);
        const u16 high = static_cast<u16>(k * 4);
        for (u16 &value : v) {
            if (high <= low) value = 0;
            else if (value > high) value = 255;
            else if (value < low) value = 0;
            else value = static_cast<u16>((value - low) * 255 / (high - low));
        }
    }

    // Inversion.
    for (u16 &value : v) value = static_cast<u16>(255 - value);

    // Histogram equalisation of the foreground.
    std::vector<Count> count(256, 0), C(256, 0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (bit(x, y)) ++count[at(x, y)];
    C[0] = count[0];
    for (int i = 1; i < 256; ++i) C[i] = static_cast<Count>(C[i - 1] + count[i]);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (bit(x, y)) at(x, y) = C[255] == 0 ? 0 : static_cast<u16>(std::int64_t{C[at(x, y)]} * 255 / C[255]);

    // Output: the low byte of each value.
    std::vector<std::uint8_t> out(static_cast<std::size_t>(W) * H);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(v[i] & 0xFF);
    return out;
}

}  // namespace

std::vector<std::uint8_t> oracleConvert(const std::vector<std::uint16_t> &samples, int width, int height,
                                        OracleCounts counts)
{
    return counts == OracleCounts::Sixteen ? convertWith<std::uint16_t>(samples, width, height)
                                           : convertWith<std::uint32_t>(samples, width, height);
}

}  // namespace fpm::test
