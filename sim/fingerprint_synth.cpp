#include "sim/fingerprint_synth.h"

#include <algorithm>
#include <cmath>

namespace fpm::sim {
namespace {

// splitmix64: small, fast and the same on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi).
    double uniform(double lo, double hi) { return lo + (hi - lo) * static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Roughly normal, mean 0, standard deviation 1 (sum of four uniforms).
    double normal()
    {
        double s = 0;
        for (int i = 0; i < 4; ++i) s += uniform(-0.5, 0.5);
        return s * std::sqrt(3.0);
    }

private:
    std::uint64_t state_;
};

double smoothstep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

}  // namespace

std::vector<std::uint16_t> synthesizeFingerprint16(int width, int height, std::uint32_t seed)
{
    std::vector<std::uint16_t> image(static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0));
    if (image.empty()) return image;
    Random random(0xF1A9E2B1ull ^ (std::uint64_t{seed} << 17) ^ seed);
    const double pi = 3.14159265358979323846;

    // The finger: an ellipse, taller than wide, that may run off the sensor's bottom edge.
    const double centreX = width * random.uniform(0.42, 0.58);
    const double centreY = height * random.uniform(0.50, 0.65);
    const double halfWidth = width * random.uniform(0.34, 0.44);
    const double halfHeight = height * random.uniform(0.48, 0.60);

    // Ridges are the level lines of a loop around the core plus a gentle arch and a slow
    // warp, so their orientation changes smoothly over the finger.
    const double coreX = centreX + width * random.uniform(-0.08, 0.08);
    const double coreY = centreY - height * random.uniform(0.0, 0.15);
    const double period = random.uniform(7.0, 9.5);
    const double stretch = random.uniform(1.2, 1.6);
    const double arch = random.uniform(0.2, 0.5);
    const double warpAmount = random.uniform(2.0, 5.0);
    const double warpX = random.uniform(25.0, 45.0), warpY = random.uniform(25.0, 45.0);
    const double warpPhase1 = random.uniform(0, 2 * pi), warpPhase2 = random.uniform(0, 2 * pi);

    // Ridge endings and bifurcations: each adds one turn of phase around its point, so
    // that one ridge more starts there while the pattern stays continuous elsewhere.
    struct Minutia {
        double x, y, turns;
    };
    Minutia minutiae[6];
    for (Minutia &m : minutiae)
        m = {centreX + halfWidth * random.uniform(-0.6, 0.6), centreY + halfHeight * random.uniform(-0.6, 0.6),
             random.uniform(0, 1) < 0.5 ? -1.0 : 1.0};

    // Signal levels of a capacitive sensor: a low background, a contact level, ridges
    // above valleys, a per-row offset of the read-out, and pixel noise.
    // The read-out uses about 14 bits.
    const double background = random.uniform(300, 700);
    const double contact = random.uniform(2500, 4500);
    const double ridge = random.uniform(3000, 5500);
    const double noise = random.uniform(80, 200);

    for (int y = 0; y < height; ++y) {
        const double rowOffset = random.normal() * 60 + 40 * std::sin(y * 0.21);
        for (int x = 0; x < width; ++x) {
            const double dx = (x - centreX) / halfWidth;
            const double dy = (y - centreY) / halfHeight;
            const double edge = dx * dx + dy * dy;
            const double inContact = 1.0 - smoothstep(0.80, 1.05, edge);

            const double cx = x - coreX;
            const double cy = (y - coreY) * stretch;
            double level = std::sqrt(cx * cx + cy * cy) + arch * (y - coreY) +
                           warpAmount * std::sin(x / warpX + warpPhase1) * std::sin(y / warpY + warpPhase2);
            for (const Minutia &m : minutiae) level += m.turns * period / (2 * pi) * std::atan2(y - m.y, x - m.x);
            const double wave = 0.5 + 0.5 * std::cos(2 * pi * level / period);

            const double value = background + rowOffset + inContact * (contact + ridge * wave) + random.normal() * noise;
            image[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint16_t>(std::clamp(std::lround(value), 0L, 65535L));
        }
    }
    return image;
}

}  // namespace fpm::sim
